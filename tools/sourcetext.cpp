#include "tools/sourcetext.h"

#include <algorithm>

#include "text/codepages.h"

namespace quintrel::tools {

namespace {

void AppendCodePoint(std::u16string& out, uint32_t code) {
  if (code > 0x10FFFF) code = 0xFFFD;
  if (code <= 0xFFFF) {
    out += static_cast<char16_t>(code);
    return;
  }
  code -= 0x10000;
  out += static_cast<char16_t>(0xD800 + (code >> 10));
  out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
}

}  // namespace

bool AtPascalLiteral(const TSourceParser& parser) {
  return parser.Token() == toString && (parser.LiteralForm() == TLiteralForm::SingleQuoted ||
                                        parser.LiteralForm() == TLiteralForm::CharCode);
}

TPascalLiteral ReadPascalLiteral(TSourceParser& parser, int32_t charset) {
  TPascalLiteral literal;
  literal.Start = literal.End = parser.SourcePos();
  literal.Line = parser.SourceLine();
  // Bytes of the code page gather until a wide character code or the end of the literal,
  // so that a multi-byte character split over parts ('a'#$82#$A0) decodes as one.
  std::string bytes;
  const auto flush = [&] {
    if (bytes.empty()) return;
    literal.Text += text::ByteToUnicode(bytes, charset);
    bytes.clear();
  };
  TLiteralForm previous = TLiteralForm::None;
  while (AtPascalLiteral(parser) && (literal.Parts == 0 || parser.SourcePos() == literal.End)) {
    if (parser.LiteralForm() == TLiteralForm::SingleQuoted) {
      if (previous == TLiteralForm::SingleQuoted) bytes += '\'';
      bytes += parser.TokenString();
    } else if (parser.TokenCode() <= 0xFF) {
      bytes += static_cast<char>(parser.TokenCode());
    } else {
      flush();
      AppendCodePoint(literal.Text, parser.TokenCode());
    }
    previous = parser.LiteralForm();
    literal.End = parser.SourceEnd();
    ++literal.Parts;
    parser.NextToken();
  }
  flush();
  return literal;
}

size_t LineEndLength(std::string_view text, size_t pos) {
  if (pos >= text.size()) return 0;
  if (text[pos] == '\n') return 1;
  if (text[pos] != '\r') return 0;
  return pos + 1 < text.size() && text[pos + 1] == '\n' ? 2 : 1;
}

size_t FindLineEnd(std::string_view text, size_t from) {
  if (from >= text.size()) return text.size();
  const size_t at = text.find_first_of("\r\n", from);
  return at == std::string_view::npos ? text.size() : at;
}

size_t NextLineStart(std::string_view text, size_t from) {
  // From the LF of a CR LF pair, the pair's line is the one that ends here.
  if (from > 0 && from < text.size() && text[from] == '\n' && text[from - 1] == '\r') return from + 1;
  const size_t end = FindLineEnd(text, from);
  return end + LineEndLength(text, end);
}

size_t LineStart(std::string_view text, size_t pos) {
  pos = std::min(pos, text.size());
  if (pos > 0 && pos < text.size() && text[pos] == '\n' && text[pos - 1] == '\r') --pos;
  while (pos > 0 && text[pos - 1] != '\n' && text[pos - 1] != '\r') --pos;
  return pos;
}

std::string_view LineEndOf(std::string_view text) {
  const size_t at = FindLineEnd(text, 0);
  const size_t length = LineEndLength(text, at);
  return length == 0 ? std::string_view("\r\n") : text.substr(at, length);
}

}  // namespace quintrel::tools
