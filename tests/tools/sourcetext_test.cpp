#include "tools/sourcetext.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/rtl/classes.h"

namespace quintrel::tools {
namespace {

struct Source : rtl::TMemoryStream {
  explicit Source(std::string_view text) {
    WriteBuffer(text.data(), text.size());
    SetPosition(0);
  }
};

struct Read {
  TPascalLiteral literal;
  int next;             // the token after the literal
  std::string nextText;
};

// The literal at the first string token of the text.
Read LiteralIn(std::string_view text, int32_t charset = 0) {
  Source stream(text);
  TSourceParser parser(stream);
  while (parser.Token() != toEOF && !AtPascalLiteral(parser)) parser.NextToken();
  Read r{ReadPascalLiteral(parser, charset), parser.Token(), parser.TokenString()};
  return r;
}

TEST(PascalLiteral, MergesQuotedPartsAndCodesWithoutGaps) {
  struct Case {
    std::string_view source;
    std::u16string text;
    int64_t start, end;
    int parts;
  };
  const Case cases[] = {
      {"S = '';", u"", 4, 6, 1},
      {"S = 'It''s';", u"It's", 4, 11, 2},
      {"S = '''';", u"'", 4, 8, 2},
      {"S = '''x''';", u"'x'", 4, 11, 3},
      {"S = 'a'#13#10'b';", u"a\r\nb", 4, 16, 4},
      {"S = #$41#66'c';", u"ABc", 4, 14, 3},
      {"S = #$E9't'#233;", u"\u00e9t\u00e9", 4, 15, 3},
      {"S = 'x'#8364#128512;", u"x\u20ac\U0001F600", 4, 19, 3},
  };
  for (const Case& c : cases) {
    Read r = LiteralIn(c.source);
    EXPECT_EQ(r.literal.Text, c.text) << c.source;
    EXPECT_EQ(r.literal.Start, c.start) << c.source;
    EXPECT_EQ(r.literal.End, c.end) << c.source;
    EXPECT_EQ(r.literal.Parts, c.parts) << c.source;
    EXPECT_EQ(r.next, ';') << c.source;
  }
}

TEST(PascalLiteral, StopsAtAGap) {
  // A blank, a "+", a comment or a line end between parts ends the literal.
  for (std::string_view source : {"'a' 'b'", "'a'+'b'", "'a'{c}'b'", "'a'\n'b'", "'a' #13"}) {
    Read r = LiteralIn(source);
    EXPECT_EQ(r.literal.Text, u"a") << source;
    EXPECT_EQ(r.literal.End, 3) << source;
  }
  Read r = LiteralIn("x := 'a'\r\n  + 'b';");
  EXPECT_EQ(r.literal.Line, 1);
  EXPECT_EQ(r.next, '\n');
}

TEST(PascalLiteral, DecodesWithTheUnitsCodePage) {
  // Two bytes of one Shift-JIS character split over two codes.
  Read r = LiteralIn("'x'#$82#$A0", 128);
  EXPECT_EQ(r.literal.Text, u"x\u3042");
  EXPECT_EQ(LiteralIn("'\xC0'", 204).literal.Text, u"\u0410");  // Cyrillic A in 1251
}

TEST(LineEnds, EveryConventionEndsALine) {
  const std::string_view text = "a\r\nbb\rc\n\nd";
  EXPECT_EQ(FindLineEnd(text, 0), 1u);
  EXPECT_EQ(LineEndLength(text, 1), 2u);
  EXPECT_EQ(NextLineStart(text, 0), 3u);
  EXPECT_EQ(NextLineStart(text, 2), 3u);  // from the LF of a CR LF pair
  EXPECT_EQ(NextLineStart(text, 3), 6u);  // past a lone CR
  EXPECT_EQ(NextLineStart(text, 6), 8u);
  EXPECT_EQ(NextLineStart(text, 8), 9u);
  EXPECT_EQ(NextLineStart(text, 9), text.size());
  EXPECT_EQ(LineStart(text, 2), 0u);
  EXPECT_EQ(LineStart(text, 5), 3u);
  EXPECT_EQ(LineStart(text, 6), 6u);
  EXPECT_EQ(LineStart(text, 8), 8u);
  EXPECT_EQ(LineStart(text, text.size()), 9u);
  EXPECT_EQ(LineEndLength(text, 0), 0u);
  EXPECT_EQ(LineEndLength(text, 99), 0u);
  EXPECT_EQ(LineEndLength("\r", 0), 1u);
  EXPECT_EQ(FindLineEnd("abc", 1), 3u);

  EXPECT_EQ(LineEndOf("a\nb\r\n"), "\n");
  EXPECT_EQ(LineEndOf("a\rb\n"), "\r");
  EXPECT_EQ(LineEndOf("a\r\n"), "\r\n");
  EXPECT_EQ(LineEndOf("abc"), "\r\n");
}

}  // namespace
}  // namespace quintrel::tools
