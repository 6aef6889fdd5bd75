// The project readers on input built to hurt them: lines and runs long enough to exhaust
// a recursive matcher's stack, files that are not files, include trees that repeat and
// loop, and one unit spelt several ways. Each must cost about its size and fail, if at
// all, with one line naming the file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "platform/ide/host.h"
#include "platform/ide/linker.h"
#include "tests/ide/project_fixture.h"

namespace quintrel::host {
namespace {

using test::MessageOf;
using test::ProjectFixture;
namespace fs = std::filesystem;

class HostileInput : public ProjectFixture {
protected:
  void Fifo(const std::string& name) const { ASSERT_EQ(::mkfifo(Path(name).c_str(), 0600), 0) << name; }
};

std::string Repeat(std::string_view piece, size_t times) {
  std::string r;
  r.reserve(piece.size() * times);
  for (size_t i = 0; i < times; ++i) r += piece;
  return r;
}

// Far longer than any stack a character-by-character recursion could take.
constexpr size_t kLong = 200000;

TEST_F(HostileInput, LongLinesInProjectSourcesAndFormHeads) {
  Write("App.bpr", "OBJFILES = App.obj\r\n");
  Write("App.cpp", "// " + std::string(kLong, '=') + "\r\n" +                       // a long comment
                       "USEUNIT" + std::string(kLong, ' ') + "(\"Util.cpp\");\r\n" +  // blanks inside a macro
                       "USEFORM(\"Main.cpp\", MainForm);" + std::string(kLong, ' ') + "\r\n" +
                       "USEUNIT(\"" + std::string(kLong, 'a') + "\r\n");  // never closed
  const TProject p = TProject::Open(Path("App.bpr"));
  ASSERT_EQ(p.Entries().size(), 2u);
  EXPECT_EQ(p.Entries()[0].FileName, Path("Util.cpp"));
  EXPECT_EQ(p.Entries()[1].FormName, "MainForm");

  Write("Main.dfm", std::string(kLong, ' ') + "object MainForm: TMainForm" + std::string(kLong, ' ') + "\r\nend\r\n");
  const TFormHead head = ReadFormHead(Path("Main.dfm"));
  EXPECT_EQ(head.Name, "MainForm");
  EXPECT_EQ(head.ClassName, "TMainForm");
  Write("Main.dfm", "object " + std::string(kLong, 'A') + ": \r\nend\r\n");
  EXPECT_EQ(MessageOf([&] { ReadFormHead(Path("Main.dfm")); }), Path("Main.dfm") + ": no form head");

  // Renaming a unit finds its uses entry however far apart its words stand.
  Write("Demo.dpr", "program Demo;\nuses\n  Util" + std::string(kLong, ' ') + "in 'Util.pas';\nbegin\nend.\n");
  Write("Util.pas", "unit Util;\ninterface\nimplementation\nend.\n");
  TDevelopmentHost host;
  host.OpenProject(Path("Demo.dpr"));
  host.RenameModule(Path("Util.pas"), Path("Tools.pas"));
  EXPECT_NE(Read("Demo.dpr").find("  Tools" + std::string(kLong, ' ') + "in 'Tools.pas';\n"), std::string::npos);
}

TEST_F(HostileInput, RunsOfCommentsAndNestingInStringSources) {
  const std::string unit = "resourcestring" + Repeat("{c}", kLong) + Repeat("(*d*)", kLong) + " SOne = 'one';";
  const std::vector<TLinkedString> s = ReadPascalResourceStrings(unit, "U.pas", 1252);
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].Identifier, "SOne");

  EXPECT_EQ(MessageOf([] { ReadScriptStringTables("STRINGTABLE {\n" + std::string(kLong, '(') + "1", "a.rc", 1252); }),
            "a.rc: line 2: the expression nests too deeply");
  EXPECT_EQ(MessageOf([] { ReadScriptStringTables("STRINGTABLE {\n" + std::string(kLong, '-') + "1", "a.rc", 1252); }),
            "a.rc: line 2: the expression nests too deeply");
  // Definitions and constants that nest too deeply are no numbers, and no crash either.
  EXPECT_EQ(MessageOf([] {
              ReadScriptStringTables("#define X " + std::string(kLong, '~') + "1\nSTRINGTABLE { X, \"x\" }", "a.rc", 1252);
            }),
            "a.rc: line 2: X is not defined");
  const TPascalUnitFacts facts = ReadPascalUnitFacts("const A = " + std::string(kLong, '(') + "1; B = 2;");
  EXPECT_EQ(facts.Constants.count("A"), 0u);
  EXPECT_EQ(facts.Constants.at("B"), 2);

  // Sums beyond 64 bits are refused, not wrapped.
  std::string doubling = "#define A0 0xFFFFFFFF\n";
  for (int i = 0; i < 30; ++i)
    doubling += "#define A" + std::to_string(i + 1) + " (A" + std::to_string(i) + " + A" + std::to_string(i) + ")\n";
  EXPECT_EQ(MessageOf([&] { ReadScriptStringTables(doubling + "STRINGTABLE { A30 + A30 + A30, \"x\" }", "a.rc", 1252); }),
            "a.rc: line 32: the number is too large");
  EXPECT_EQ(MessageOf([&] { ReadScriptStringTables(doubling + "STRINGTABLE { -A30 - A30 - A30, \"x\" }", "a.rc", 1252); }),
            "a.rc: line 32: the number is too large");
}

TEST_F(HostileInput, UnitsThatAreNoRegularFilesAreRefusedWithoutWaiting) {
  Write("Demo.dpr", "program Demo;\nuses\n  Pipe in 'Pipe.pas';\nbegin\nend.\n");
  Fifo("Pipe.pas");
  const TProject pipe = TProject::Open(Path("Demo.dpr"));
  EXPECT_EQ(MessageOf([&] { LinkStringTable(pipe, 1252); }), Path("Pipe.pas") + ": cannot be read: not a regular file");

  Write("Demo.dpr", "program Demo;\nuses\n  Zero in 'Zero.pas';\nbegin\nend.\n");
  fs::create_symlink("/dev/zero", Path("Zero.pas"));
  EXPECT_EQ(MessageOf([&] { LinkStringTable(TProject::Open(Path("Demo.dpr")), 1252); }),
            Path("Zero.pas") + ": cannot be read: not a regular file");

  // A sparse file of a gigabyte is refused by its size, before a byte is read.
  Write("Demo.dpr", "program Demo;\nuses\n  Huge in 'Huge.pas';\nbegin\nend.\n");
  Write("Huge.pas", "");
  fs::resize_file(Path("Huge.pas"), std::uintmax_t{1} << 30);
  EXPECT_EQ(MessageOf([&] { LinkStringTable(TProject::Open(Path("Demo.dpr")), 1252); }),
            Path("Huge.pas") + ": cannot be read: larger than 64 MB");

  Write("App.bpr", "OBJFILES = App.obj\r\n");
  Write("App.cpp", "USERC(\"Msgs.rc\");\r\n");
  Fifo("Msgs.rc");
  EXPECT_EQ(MessageOf([&] { LinkStringTable(TProject::Open(Path("App.bpr")), 1252); }),
            Path("Msgs.rc") + ": cannot be read: not a regular file");
}

TEST_F(HostileInput, IncludesAreReadOncePerScriptAndGuardsHold) {
  // Two guarded headers that include each other, as headers of one library do.
  Write("a.h", "#ifndef A_H\n#define A_H\n#include \"b.h\"\n#define IDS_A (IDS_B + 1)\n#endif\n");
  Write("b.h", "#ifndef B_H\n#define B_H\n#include \"a.h\"\n#define IDS_B 100\n#endif\n");
  Write("once.h", "#pragma once\n#include \"once.h\"\n#define IDS_ONCE 7\n");
  Write("App.rc", "#include \"a.h\"\n#include \"once.h\"\n#include \"once.h\"\n"
                  "STRINGTABLE { IDS_A, \"a\"\n IDS_B, \"b\"\n IDS_ONCE, \"once\" }\n");
  std::vector<TLinkedString> s = ReadScriptStringTables(Read("App.rc"), Path("App.rc"), 1252);
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(s[0].Resource, 101u);
  EXPECT_EQ(s[1].Resource, 100u);
  EXPECT_EQ(s[2].Resource, 7u);

  // Sixteen levels, each including the next three times: 3^16 readings unless each file
  // is read once.
  for (int i = 0; i < 16; ++i) {
    const std::string next = "#include \"h" + std::to_string(i + 1) + ".h\"\n";
    Write("h" + std::to_string(i) + ".h", next + next + next);
  }
  Write("h16.h", "#define IDS_DEEP 16\n");
  Write("Deep.rc", "#include \"h0.h\"\nSTRINGTABLE { IDS_DEEP, \"deep\" }\n");
  const auto start = std::chrono::steady_clock::now();
  s = ReadScriptStringTables(Read("Deep.rc"), Path("Deep.rc"), 1252);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].Resource, 16u);

  // A chain of includes deeper than any real one is refused.
  for (int i = 0; i < 40; ++i)
    Write("c" + std::to_string(i) + ".h", "#include \"c" + std::to_string(i + 1) + ".h\"\n");
  EXPECT_EQ(MessageOf([&] { ReadScriptStringTables("#include \"c0.h\"\n", Path("Chain.rc"), 1252); }),
            Path("c31.h") + ": line 1: includes nest too deeply");

  // Each script of a link is compiled on its own: a header both include serves both.
  Write("App.bpr", "OBJFILES = App.obj\r\n");
  Write("App.cpp", "USERC(\"One.rc\");\r\nUSERC(\"Two.rc\");\r\n");
  Write("ids.h", "#define IDS_ONE 1\n#define IDS_TWO 2\n");
  Write("One.rc", "#include \"ids.h\"\nSTRINGTABLE { IDS_ONE, \"one\" }\n");
  Write("Two.rc", "#include \"ids.h\"\nSTRINGTABLE { IDS_TWO, \"two\" }\n");
  const TStringTable table = LinkStringTable(TProject::Open(Path("App.bpr")), 1252);
  ASSERT_EQ(table.Strings.size(), 2u);
  EXPECT_EQ(table.Strings[1].Resource, 2u);
}

TEST_F(HostileInput, OneUnitSpeltSeveralWaysIsLinkedOnce) {
  Write("App.bpr", "OBJFILES = App.obj\r\n");
  Write("App.cpp",
        "USEUNIT(\"Texts.pas\");\r\n"
        "USEUNIT(\"texts.PAS\");\r\n"
        "USEUNIT(\"Sub\\..\\Texts.pas\");\r\n"
        "USEUNIT(\"Alias.pas\");\r\n"
        "USEUNIT(\"Other.pas\");\r\n"
        "USERC(\"Msgs.rc\");\r\nUSERC(\"MSGS.RC\");\r\n");
  Write("Texts.pas", "unit Texts;\ninterface\nresourcestring SHello = 'Hello';\nimplementation\nend.\n");
  fs::create_symlink("Texts.pas", Path("Alias.pas"));
  Write("Other.pas", "unit Other;\ninterface\nresourcestring SBye = 'Bye';\nimplementation\nend.\n");
  Write("Msgs.rc", "STRINGTABLE { 1, \"one\" }\n");
  const TStringTable table = LinkStringTable(TProject::Open(Path("App.bpr")), 1252);
  ASSERT_EQ(table.Strings.size(), 3u);
  EXPECT_EQ(table.Strings[0].Resource, 1u);
  EXPECT_EQ(table.Find("SHello")->Resource, 65535u);
  EXPECT_EQ(table.Find("SBye")->Resource, 65534u);
}

}  // namespace
}  // namespace quintrel::host
