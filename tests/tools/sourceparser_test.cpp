#include "tools/sourceparser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/rtl/classes.h"
#include "platform/vcl/filer.h"
#include "tests/testdata.h"

namespace quintrel::tools {
namespace {

struct Tok {
  int kind;
  std::string text;
  int line;
  int64_t pos, end;
  bool operator==(const Tok&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Tok& t) {
  return os << "{" << t.kind << " '" << t.text << "' line " << t.line << " [" << t.pos << "," << t.end << ")}";
}

struct StreamOf : rtl::TMemoryStream {
  explicit StreamOf(std::string_view text) {
    WriteBuffer(text.data(), text.size());
    SetPosition(0);
  }
};

std::vector<Tok> Tokens(std::string_view text, TSourceLanguage language = TSourceLanguage::Pascal) {
  StreamOf stream(text);
  TSourceParser parser(stream, language);
  std::vector<Tok> out;
  for (int kind = parser.Token(); kind != toEOF; kind = parser.NextToken())
    out.push_back({kind, parser.TokenString(), parser.SourceLine(), parser.SourcePos(), parser.SourceEnd()});
  return out;
}

// Kinds and texts only.
std::vector<std::pair<int, std::string>> Kinds(std::string_view text,
                                               TSourceLanguage language = TSourceLanguage::Pascal) {
  std::vector<std::pair<int, std::string>> out;
  for (const Tok& t : Tokens(text, language)) out.emplace_back(t.kind, t.text);
  return out;
}

using KT = std::vector<std::pair<int, std::string>>;

TEST(SourceParser, PascalTokensKeepTheirTraceOfCommentsAndDropALoneParenthesis) {
  EXPECT_EQ(Kinds("x := (a)"), (KT{{toSymbol, "x"}, {':', ""}, {'=', ""}, {toSymbol, "a"}, {')', ""}}));
  EXPECT_EQ(Kinds("{ comment } y"), (KT{{'}', ""}, {toSymbol, "y"}}));
  EXPECT_EQ(Kinds("(* c *)"), (KT{{')', ""}}));
  EXPECT_EQ(Kinds("(* a *) b"), (KT{{')', ""}, {toSymbol, "b"}}));
  EXPECT_EQ(Kinds("a // rest\nb"), (KT{{toSymbol, "a"}, {'\n', ""}, {toSymbol, "b"}}));
  // Blanks after a dropped character are still blanks.
  EXPECT_EQ(Kinds("( a / b"), (KT{{toSymbol, "a"}, {toSymbol, "b"}}));
  // Unterminated comments run to the end.
  EXPECT_EQ(Kinds("a { open"), (KT{{toSymbol, "a"}}));
  EXPECT_EQ(Kinds("a (* open *"), (KT{{toSymbol, "a"}}));
  EXPECT_EQ(Kinds("_Id9 z"), (KT{{toSymbol, "_Id9"}, {toSymbol, "z"}}));
}

TEST(SourceParser, NoCommentsDeliversEveryCharacter) {
  StreamOf stream("x // {");
  TSourceParser parser(stream);
  parser.SetNoComments(true);
  std::vector<int> kinds;
  while (parser.NextToken() != toEOF) kinds.push_back(parser.Token());
  EXPECT_EQ(kinds, (std::vector<int>{'/', '/', '{'}));
}

TEST(SourceParser, CAndResourceScriptComments) {
  for (auto language : {TSourceLanguage::C, TSourceLanguage::ResourceScript}) {
    EXPECT_EQ(Kinds("a /* x \n y */ b // z\n{(c)/d}", language),
              (KT{{toSymbol, "a"}, {toSymbol, "b"}, {'\n', ""}, {'{', ""}, {'(', ""}, {toSymbol, "c"},
                  {')', ""}, {'/', ""}, {toSymbol, "d"}, {'}', ""}}));
    EXPECT_EQ(Kinds("a /* open", language), (KT{{toSymbol, "a"}}));
  }
  // A C comment ends at its first "*/", even one whose "*" also opened it.
  EXPECT_EQ(Kinds("/*/ x */ y", TSourceLanguage::C), (KT{{toSymbol, "y"}}));
}

TEST(SourceParser, NumbersAreDecidedByTheirOwnCharacters) {
  EXPECT_EQ(Kinds("42;"), (KT{{toInteger, "42"}, {';', ""}}));
  // Whatever follows the number, the kind is the same (it once depended on that byte).
  EXPECT_EQ(Kinds("7x")[0], (std::pair<int, std::string>{toInteger, "7"}));
  EXPECT_EQ(Kinds("7\n")[0], (std::pair<int, std::string>{toInteger, "7"}));
  EXPECT_EQ(Kinds("7")[0], (std::pair<int, std::string>{toInteger, "7"}));
  EXPECT_EQ(Kinds("-5 1.5 1e3 2E-3"),
            (KT{{toFloat, "-5"}, {toFloat, "1.5"}, {toFloat, "1e3"}, {toFloat, "2E-3"}}));
  EXPECT_EQ(Kinds("$1F,$"), (KT{{toInteger, "1F"}, {',', ""}, {toInteger, ""}}));
  EXPECT_EQ(Kinds("0x1f 0xg", TSourceLanguage::C),
            (KT{{toInteger, "1f"}, {toInteger, ""}, {toSymbol, "g"}}));
  EXPECT_EQ(Kinds("$12", TSourceLanguage::C), (KT{{'$', ""}, {toInteger, "12"}}));

  StreamOf stream("$10 10");
  TSourceParser parser(stream);
  EXPECT_TRUE(parser.Hexadecimal());
  parser.NextToken();
  EXPECT_FALSE(parser.Hexadecimal());
}

TEST(SourceParser, PascalLiteralsAndCharacterCodes) {
  EXPECT_EQ(Kinds("'It''s'"), (KT{{toString, "It"}, {toString, "s"}}));
  EXPECT_EQ(Kinds("''"), (KT{{toString, ""}}));
  EXPECT_EQ(Kinds("#13#10"), (KT{{toString, "\r"}, {toString, "\n"}}));
  EXPECT_EQ(Kinds("#$41#321 #x"), (KT{{toString, "A"}, {toString, "A"}, {toString, "#"}, {toSymbol, "x"}}));
  StreamOf stream("#8364#99999999999");
  TSourceParser parser(stream);
  EXPECT_EQ(parser.TokenCode(), 8364u);
  EXPECT_EQ(parser.LiteralForm(), TLiteralForm::CharCode);
  EXPECT_EQ(parser.SourceEnd(), 5);
  parser.NextToken();
  EXPECT_EQ(parser.TokenCode(), 0x110000u);
}

TEST(SourceParser, CEscapes) {
  EXPECT_EQ(Kinds("\"a\\tb\""), (KT{{toString, "a\tb"}}));
  EXPECT_EQ(Kinds("\"\\n\\r\\\\\\\"\\'\"", TSourceLanguage::C), (KT{{toString, "\n\r\\\"'"}}));
  // \x takes at most two hex digits; a character after it that is none is literal.
  EXPECT_EQ(Kinds("\"\\x414\\x4g\\xg\"", TSourceLanguage::C), (KT{{toString, "A4\x04g\\xg"}}));
  // An unknown escape keeps its backslash.
  EXPECT_EQ(Kinds("\"\\q\"", TSourceLanguage::C), (KT{{toString, "\\q"}}));
  // Line continuation in C and resource scripts, "" in resource scripts.
  EXPECT_EQ(Kinds("\"a\\\r\nb\\\nc\"", TSourceLanguage::C), (KT{{toString, "abc"}}));
  EXPECT_EQ(Kinds("\"say \"\"hi\"\"\"", TSourceLanguage::ResourceScript), (KT{{toString, "say \"hi\""}}));
  EXPECT_EQ(Kinds("\"a\"\"b\"", TSourceLanguage::C), (KT{{toString, "a"}, {toString, "b"}}));
  EXPECT_EQ(Kinds("'\\n'", TSourceLanguage::C), (KT{{toString, "\n"}}));
}

TEST(SourceParser, EscapesAtTheEndOfTheTextNeverReadPastIt) {
  for (std::string_view text : {"\"\\x", "\"\\x4", "\"\\", "\"\\x41"}) {
    EXPECT_THROW(Tokens(text, TSourceLanguage::C), vcl::EParserError) << text;
  }
}

TEST(SourceParser, UnterminatedLiteralsNameTheLineTheyStartOn) {
  for (std::string_view text : {"a\n'abc\n'", "a\n\"abc", "a\r\n'ab\r\nc'", "a\r'abc\rdef'", "a\n'x"}) {
    try {
      Tokens(text);
      ADD_FAILURE() << text;
    } catch (const vcl::EParserError& e) {
      EXPECT_STREQ(e.what(), "Invalid string constant on line 2") << text;
      EXPECT_EQ(e.Line(), 2);
    }
  }
}

TEST(SourceParser, LineEndsOfEveryConventionAreTokensAndCountLines) {
  for (std::string_view eol : {"\n", "\r\n", "\r"}) {
    std::string text = "a" + std::string(eol) + "b" + std::string(eol) + std::string(eol) + "c";
    auto toks = Tokens(text);
    ASSERT_EQ(toks.size(), 6u) << eol.size();
    EXPECT_EQ(toks[0].line, 1);
    EXPECT_EQ(toks[1].kind, '\n');
    EXPECT_EQ(toks[1].line, 1);  // a line end belongs to the line it ends
    EXPECT_EQ(toks[2].line, 2);
    EXPECT_EQ(toks[4].line, 3);
    EXPECT_EQ(toks[5].text, "c");
    EXPECT_EQ(toks[5].line, 4);
    EXPECT_EQ(toks[5].pos, static_cast<int64_t>(text.size() - 1));
  }
  // A comment ends at a CR-only line end.
  EXPECT_EQ(Kinds("a // x\rb"), (KT{{toSymbol, "a"}, {'\n', ""}, {toSymbol, "b"}}));
}

TEST(SourceParser, TokensStartOnTheirOwnLineAfterMultiLineComments) {
  auto toks = Tokens("{ one\ntwo\n} x\n(* a\n*) y");
  ASSERT_EQ(toks.size(), 5u);
  EXPECT_EQ(toks[0], (Tok{'}', "", 3, 10, 11}));
  EXPECT_EQ(toks[1], (Tok{toSymbol, "x", 3, 12, 13}));
  EXPECT_EQ(toks[4], (Tok{toSymbol, "y", 5, 22, 23}));
}

TEST(SourceParser, TheLastByteIsReadAndAZeroByteEndsTheText) {
  EXPECT_EQ(Kinds("ab"), (KT{{toSymbol, "ab"}}));
  EXPECT_EQ(Kinds("x;"), (KT{{toSymbol, "x"}, {';', ""}}));
  EXPECT_EQ(Kinds("'a'"), (KT{{toString, "a"}}));
  EXPECT_EQ(Kinds("9"), (KT{{toInteger, "9"}}));
  EXPECT_EQ(Kinds("#9"), (KT{{toString, "\t"}}));
  EXPECT_EQ(Kinds("x"), (KT{{toSymbol, "x"}}));
  EXPECT_TRUE(Kinds("").empty());
  // A zero byte ends the text.
  EXPECT_EQ(Kinds(std::string_view("a\0b", 3)), (KT{{toSymbol, "a"}}));
}

TEST(SourceParser, SpansAndPositionsFollowTheStreamOrigin) {
  StreamOf stream("skip'ab' c");
  stream.SetPosition(4);
  {
    TSourceParser parser(stream);
    EXPECT_EQ(parser.SourcePos(), 4);
    EXPECT_EQ(parser.SourceEnd(), 8);
    EXPECT_EQ(parser.LiteralForm(), TLiteralForm::SingleQuoted);
    EXPECT_EQ(parser.NextToken(), toSymbol);
    EXPECT_EQ(parser.SourcePos(), 9);
    EXPECT_EQ(parser.NextToken(), toEOF);
    EXPECT_EQ(parser.NextToken(), toEOF);
  }
  EXPECT_EQ(stream.Position(), 4);
  // Also when the very first token fails.
  StreamOf open("x 'a");
  open.SetPosition(2);
  EXPECT_THROW(TSourceParser{open}, vcl::EParserError);
  EXPECT_EQ(open.Position(), 2);
}

TEST(SourceParser, ReadsAcrossItsBufferAndLongTokens) {
  // A literal and an identifier that straddle the reader's buffer boundary.
  std::string text(65534, ' ');
  text += "'q''r' " + std::string(70000, 'z') + " \r\n#65";
  auto toks = Tokens(text);
  ASSERT_EQ(toks.size(), 5u);
  EXPECT_EQ(toks[0].text, "q");
  EXPECT_EQ(toks[1].text, "r");
  EXPECT_EQ(toks[0].end, toks[1].pos);
  EXPECT_EQ(toks[2].text.size(), 70000u);
  EXPECT_EQ(toks[3].kind, '\n');
  EXPECT_EQ(toks[4].text, "A");
  EXPECT_EQ(toks[4].line, 2);
}

// Real sources tokenize from start to end without a fault.
// Returns how many files of the four folders under root it read.
int TokenizeRealSources(const std::filesystem::path& root, bool extraOnly) {
  namespace fs = std::filesystem;
  const std::vector<std::pair<std::string, TSourceLanguage>> folders = {
      {"pas-resstr", TSourceLanguage::Pascal}, {"pas-literals", TSourceLanguage::Pascal},
      {"rc", TSourceLanguage::ResourceScript}, {"cpp-literals", TSourceLanguage::C}};
  int files = 0;
  for (const auto& [folder, language] : folders) {
    if (!fs::is_directory(root / folder)) continue;
    for (const auto& entry : fs::directory_iterator(root / folder)) {
      if (extraOnly && fs::exists(testdata::DataDir() / "src" / folder / entry.path().filename())) continue;
      rtl::TMemoryStream stream;
      stream.LoadFromFile(entry.path().string());
      const int64_t size = stream.Size();
      TSourceParser parser(stream, language);
      int64_t last = -1;
      int tokens = 0;
      try {
        while (parser.Token() != toEOF) {
          EXPECT_GT(parser.SourcePos(), last);
          last = parser.SourcePos();
          ++tokens;
          parser.NextToken();
        }
      } catch (const vcl::EParserError& e) {
        ADD_FAILURE() << entry.path() << ": " << e.what();
      }
      EXPECT_EQ(parser.SourcePos(), size) << entry.path();
      EXPECT_GT(tokens, 10) << entry.path();
      ++files;
    }
  }
  return files;
}

TEST(SourceParser, RealSources) { EXPECT_GE(TokenizeRealSources(testdata::DataDir() / "src", false), 15); }

TEST(CorpusExtraSourceParser, RealSources) {
  QUINTREL_REQUIRE_EXTRA_CORPUS();
  EXPECT_GT(TokenizeRealSources(testdata::ExtraDir() / "src", true), 0);
}

}  // namespace
}  // namespace quintrel::tools
