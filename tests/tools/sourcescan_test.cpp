// The source scanner: which constants and literals of Pascal and C++ units it lists, with
// spans that hold exactly their bytes, over small cases and the real units of tests/data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "tests/testdata.h"
#include "text/codepages.h"
#include "tools/sourcescan.h"

namespace quintrel::tools {
namespace {

std::vector<TSourceFinding> Pas(std::string_view text, TScanOptions options = {}) {
  return ScanSource(text, TSourceLanguage::Pascal, 0, options);
}

std::vector<std::string> Describe(std::string_view text, const std::vector<TSourceFinding>& findings) {
  std::vector<std::string> out;
  for (const TSourceFinding& f : findings) {
    std::string line = f.Kind == TFindingKind::Constant ? "C " + f.Identifier + "=" : "L ";
    line += text::UnicodeToByte(f.Text, 0) + " @" + std::to_string(f.Line) + " [" +
            std::string(text.substr(f.Start, f.End - f.Start)) + "]";
    if (f.Place == TLiteralPlace::Heading) line += " heading";
    if (f.Place == TLiteralPlace::CaseLabel) line += " label";
    out.push_back(line);
  }
  return out;
}

TEST(SourceScan, SectionsEndWhereCodeBegins) {
  const std::string unit =
      "unit U;\ninterface\nconst\n  SHello = 'Hello';\n  SCount = 3;\n  SJoin = 'a' + ' ' + #13#10;\n"
      "  STyped: string = 'typed';\n  SExpr = 'x' + SHello;\n  SEmpty = '';\n"
      "resourcestring\n  SRes = 'Don''t';\nimplementation\n"
      "procedure P;\nconst\n  Local = 'local';\nbegin\n  ShowMessage('World');\nend;\n"
      "constructor TX.Create;\nconst K = 'k1';\nbegin\n  Caption := 'It''s'#13'b';\nend;\n"
      "initialization\n  Title := 'Init';\nend.\n";
  EXPECT_EQ(Describe(unit, Pas(unit)),
            (std::vector<std::string>{"C SHello=Hello @4 [SHello = 'Hello';]",
                                      "C SJoin=a \r\n @6 [SJoin = 'a' + ' ' + #13#10;]",
                                      "C SRes=Don't @11 [SRes = 'Don''t';]",
                                      "C Local=local @15 [Local = 'local';]",
                                      "L World @17 ['World']",
                                      "C K=k1 @20 [K = 'k1';]",
                                      "L It's\rb @22 ['It''s'#13'b']",
                                      "L Init @25 ['Init']"}));
  const auto constantsOnly = Pas(unit, {2, true, false});
  EXPECT_EQ(constantsOnly.size(), 5u);
  EXPECT_EQ(Pas(unit, {2, false, true}).size(), 3u);
}

TEST(SourceScan, MarkersCountOnTheirOwnLineWhateverItsEnd) {
  for (const std::string eol : {"\n", "\r\n", "\r"}) {
    const std::string unit = "begin" + eol + "  A('one'); //DO NOT LOCALIZE" + eol + "  B('two');" + eol +
                             "  C('three');" + eol + "  X //DO NOT LOCALIZE" + eol + "end." + eol;
    EXPECT_EQ(Describe(unit, Pas(unit)), (std::vector<std::string>{"L two @3 ['two']", "L three @4 ['three']"}))
        << "line end " << eol.size();
  }
  const std::string constants = "const\n  A = 'a1'; //DO NOT LOCALIZE\n  B = 'b1';\n";
  EXPECT_EQ(Describe(constants, Pas(constants)), (std::vector<std::string>{"C B=b1 @3 [B = 'b1';]"}));
}

TEST(SourceScan, MinimumLengthAndPlacesNoResourceStringCanTake) {
  const std::string unit =
      "implementation\nfunction F(const S: string = 'dflt'): Integer; external 'lib.so' name 'fname';\n"
      "procedure P(X: string);\nbegin\n  case X[1] of\n    'ab', 'cd': Q('A');\n    'ef': Q('OK');\n  end;\n"
      "  Q('  x  ');\nend;\n";
  EXPECT_EQ(Describe(unit, Pas(unit)),
            (std::vector<std::string>{"L dflt @2 ['dflt'] heading", "L lib.so @2 ['lib.so'] heading",
                                      "L fname @2 ['fname'] heading", "L ab @6 ['ab'] label", "L cd @6 ['cd'] label",
                                      "L ef @7 ['ef'] label", "L OK @7 ['OK']"}));
  EXPECT_EQ(Pas(unit, {1, true, true}).size(), 9u);  // 'A' and '  x  ' too
}

TEST(SourceScan, CppLiteralsOutsideCommentsAndDirectives) {
  const std::string unit =
      "#include \"Main.h\"\n#pragma resource \"*.dfm\"\n// ShowMessage(\"comment\");\n/* \"block\" */\n"
      "extern \"C\" void f();\nvoid g() {\n  Caption = \"Sample \\\"Book\\\"\";\n  s = \"joined \"\n      \"text\";\n"
      "  w = L\"wide\"; c = 'ch'; d = \"OK\"; //DO NOT LOCALIZE\n  e = \"caf\\xE9\";\n}\n#define X \"macro\"\n";
  const auto found = ScanSource(unit, TSourceLanguage::C, 0, {});
  EXPECT_EQ(Describe(unit, found),
            (std::vector<std::string>{"L Sample \"Book\" @7 [\"Sample \\\"Book\\\"\"]",
                                      "L joined text @8 [\"joined \"\n      \"text\"]", "L caf\xE9 @11 [\"caf\\xE9\"]",
                                      "L macro @13 [\"macro\"]"}));
}

// Texts decode in the code page of the design language's charset; the real units of the
// test data keep every finding's span on a literal or a declaration of their own bytes.
TEST(SourceScan, RealUnitsInTheirCodePages) {
  bool sawCyrillic = false;
  size_t count = 0;
  for (const auto& [file, charset] : std::vector<std::pair<std::string, int>>{
           {"src/pas-literals/quick-tester__unit1.pas", 204},
           {"src/pas-literals/delphiforfun__u_dictmaint.pas", 0},
           {"src/pas-literals/jvcl__fmain.pas", 0},
           {"src/cpp-literals/rtklib__getmain.cpp", 0}}) {
    const std::string text = testdata::Bytes(testdata::Data(file));
    const bool cpp = file.ends_with(".cpp");
    const auto found = ScanSource(text, cpp ? TSourceLanguage::C : TSourceLanguage::Pascal, charset, {});
    EXPECT_GT(found.size(), 5u) << file;
    size_t previous = 0;
    for (const TSourceFinding& f : found) {
      ASSERT_LT(f.Start, f.End) << file;
      ASSERT_LE(f.End, text.size()) << file;
      EXPECT_GE(f.Start, previous) << file << ": findings in file order, never overlapping";
      previous = f.End;
      const char first = text[f.Start], last = text[f.End - 1];
      if (f.Kind == TFindingKind::Literal) {
        EXPECT_TRUE(first == '\'' || first == '#' || first == '"') << file << ":" << f.Line;
        EXPECT_TRUE(last == '\'' || last == '"' || std::isdigit(static_cast<unsigned char>(last))) << file << ":" << f.Line;
      } else {
        EXPECT_EQ(text.compare(f.Start, f.Identifier.size(), f.Identifier), 0);
        EXPECT_EQ(last, ';');
      }
      // The line is the one that holds the first byte, whatever the file's line ends.
      EXPECT_EQ(f.Line, 1 + std::count(text.begin(), text.begin() + static_cast<long>(f.Start), '\n')) << file;
      for (char16_t c : f.Text) sawCyrillic = sawCyrillic || (charset == 204 && c >= 0x410 && c <= 0x44F);
    }
    count += found.size();
  }
  EXPECT_TRUE(sawCyrillic) << "code page 1251 texts decode as Cyrillic";
  EXPECT_GT(count, 100u);
}

}  // namespace
}  // namespace quintrel::tools
