#include "tools/sourcetext.h"

#include <algorithm>
#include <cctype>

#include "platform/rtl/utf8.h"
#include "text/codepages.h"

namespace quintrel::tools {

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
      // A code names a UTF-16 unit, even a lone surrogate; above, a code point.
      const uint32_t code = parser.TokenCode();
      if (code <= 0xFFFF)
        literal.Text += static_cast<char16_t>(code);
      else
        rtl::AppendUtf16(literal.Text, code);
    }
    previous = parser.LiteralForm();
    literal.End = parser.SourceEnd();
    ++literal.Parts;
    parser.NextToken();
  }
  flush();
  return literal;
}

std::optional<TSourceLanguage> SourceLanguageOf(std::string_view fileName) {
  const size_t slash = fileName.find_last_of('/');
  const size_t dot = fileName.find_last_of('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return std::nullopt;
  std::string ext;
  for (char c : fileName.substr(dot + 1)) ext += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* e : {"pas", "dpr", "dpk", "inc", "pp", "lpr"})
    if (ext == e) return TSourceLanguage::Pascal;
  for (const char* e : {"rc", "rc2", "dlg"})
    if (ext == e) return TSourceLanguage::ResourceScript;
  for (const char* e : {"c", "cpp", "cc", "cxx", "h", "hpp", "hh", "hxx"})
    if (ext == e) return TSourceLanguage::C;
  return std::nullopt;
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
