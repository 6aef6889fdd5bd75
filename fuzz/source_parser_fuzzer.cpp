// libFuzzer target: the source tokenizer on arbitrary bytes in each of its languages, and
// the literal and line helpers built on it. The tokenizer may refuse an unterminated
// literal with its one message, nothing else; every token lies inside the text, after the
// one before it, on a line that only grows; the stream's position comes back.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/rtl/classes.h"
#include "platform/vcl/filer.h"
#include "tools/sourceparser.h"
#include "tools/sourcetext.h"

using namespace quintrel;
using namespace quintrel::tools;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

size_t LineEnds(std::string_view text) {
  size_t count = 0;
  for (size_t at = 0; at < text.size(); at = NextLineStart(text, at)) {
    const size_t end = FindLineEnd(text, at);
    Check(end >= at && end <= text.size());
    Check(LineStart(text, end) == at);
    const size_t next = NextLineStart(text, at);
    Check(next > at || next == text.size());
    if (LineEndLength(text, end) > 0) ++count;
    if (next == text.size()) break;
  }
  return count;
}

void Tokenize(rtl::TMemoryStream& stream, std::string_view text, TSourceLanguage language, size_t lineEnds) {
  const int64_t size = static_cast<int64_t>(text.size());
  try {
    TSourceParser parser(stream, language);
    int64_t lastEnd = 0;
    int lastLine = 1;
    while (parser.Token() != toEOF) {
      Check(parser.SourcePos() >= lastEnd && parser.SourceEnd() > parser.SourcePos() && parser.SourceEnd() <= size);
      Check(parser.SourceLine() >= lastLine && static_cast<size_t>(parser.SourceLine()) <= lineEnds + 1);
      lastEnd = parser.SourceEnd();
      lastLine = parser.SourceLine();
      if (language == TSourceLanguage::Pascal && AtPascalLiteral(parser)) {
        const TPascalLiteral literal = ReadPascalLiteral(parser, 0);
        Check(literal.Start < literal.End && literal.End <= size && literal.Parts > 0);
        lastEnd = literal.End;
        continue;
      }
      parser.NextToken();
    }
    Check(parser.SourcePos() <= size);
  } catch (const vcl::EParserError& e) {
    Check(e.Message().rfind("Invalid string constant on line ", 0) == 0);
    Check(e.Line() >= 1 && static_cast<size_t>(e.Line()) <= lineEnds + 1);
  }
  Check(stream.Position() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const size_t lineEnds = LineEnds(text);
  rtl::TMemoryStream stream;
  stream.WriteBuffer(data, size);
  for (auto language : {TSourceLanguage::Pascal, TSourceLanguage::C, TSourceLanguage::ResourceScript}) {
    stream.SetPosition(0);
    Tokenize(stream, text, language, lineEnds);
  }
  return 0;
}
