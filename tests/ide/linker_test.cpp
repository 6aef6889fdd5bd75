// The string table a project's executable gets: resource scripts and resourcestring
// sections read, numbered and written into an instance.
#include "platform/ide/linker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "platform/win32/resources.h"
#include "tests/ide/project_fixture.h"
#include "tests/testdata.h"

namespace quintrel::host {
namespace {

using test::MessageOf;
using test::ProjectFixture;

class StringTables : public ProjectFixture {};

TEST(PascalStrings, LiteralsCodesAndSections) {
  const std::string unit =
      "unit Texts;\r\n"
      "interface\r\n"
      "const SNotAString = 'const, not a resource string';\r\n"
      "resourcestring\r\n"
      "  { a comment } SQuote = 'It''s here';   // trailing comment\r\n"
      "  SLines = 'One'#13#10'Two'#$41 + (* joined *) ' and more';\r\n"
      "  SOld = 'old' deprecated 'use SNew';\r\n"
      "{$IFDEF DEBUG}\r\n"
      "  SCodes = #9'tab';\r\n"
      "{$ENDIF}\r\n"
      "type TThing = class end;\r\n"
      "implementation\r\n"
      "resourcestring SLater = 'declared in the implementation';\r\n"
      "end.\r\n";
  const std::vector<TLinkedString> s = ReadPascalResourceStrings(unit, "/p/Texts.pas", 1252);
  ASSERT_EQ(s.size(), 5u);
  EXPECT_EQ(s[0].Identifier, "SQuote");
  EXPECT_EQ(s[0].Text, u"It's here");
  EXPECT_EQ(s[0].Line, 5);
  EXPECT_EQ(s[0].Unit, "Texts.pas");
  EXPECT_EQ(s[1].Text, u"One\r\nTwoA and more");
  EXPECT_EQ(s[2].Text, u"old");
  EXPECT_EQ(s[3].Text, u"\ttab");
  EXPECT_EQ(s[4].Identifier, "SLater");
  for (const TLinkedString& one : s) EXPECT_EQ(one.Resource, 0u);

  // Narrow texts and #-codes above 127 are characters of the code page.
  const std::string cyrillic = "resourcestring SHello = '\xCF\xF0\xE8'#$E2'\xE5\xF2'#$2116;";
  EXPECT_EQ(ReadPascalResourceStrings(cyrillic, "u.pas", 1251)[0].Text, u"Привет№");
}

TEST(PascalStrings, MalformedDeclarationsNameFileAndLine) {
  for (const auto& [bad, message] : std::vector<std::pair<std::string, std::string>>{
           {"resourcestring\n  SA = 'a'\n  SB = 'b';", "A.pas: line 3: ';' expected after the text of SA"},
           {"resourcestring\nSA = 42;", "A.pas: line 2: the value of SA is not a text"},
           {"resourcestring\nSA = 'open\n;", "A.pas: line 2: unterminated string"},
           {"resourcestring { never closed", "A.pas: line 1: unterminated comment"}})
    EXPECT_EQ(MessageOf([&] { ReadPascalResourceStrings(bad, "/p/A.pas", 1252); }), "/p/" + message);
}

// Values join literals with sLineBreak and text constants, the unit's own or another
// unit's, as the compiler folds them; a name none of them declares is reported.
TEST(PascalStrings, ValuesJoinTextConstants) {
  const std::string unit =
      "unit Texts;\n"
      "interface\n"
      "const\n"
      "  EOL = #13#10;\n"
      "  EOL2 = EOL + EOL;\n"
      "  Limit = 10;\n"
      "  Names: array[0..1] of string = ('a', 'b');\n"
      "resourcestring\n"
      "  SLines = 'one' + sLineBreak + 'two' + EOL2 + 'three';\n"
      "  SShared = 'by ' + COPYRIGHT;\n"
      "implementation\n"
      "end.\n";
  const TTextConstants constants = ReadPascalTextConstants(unit, "Texts.pas", 1252);
  EXPECT_EQ(constants, (TTextConstants{{"EOL", u"\r\n"}, {"EOL2", u"\r\n\r\n"}}));
  EXPECT_EQ(MessageOf([&] { ReadPascalResourceStrings(unit, "Texts.pas", 1252); }),
            "Texts.pas: line 10: COPYRIGHT is not defined");
  const TTextConstants others{{"COPYRIGHT", u"(c) us"}, {"EOL", u"<not this one>"}};
  const std::vector<TLinkedString> s = ReadPascalResourceStrings(unit, "Texts.pas", 1252, &others);
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].Text, u"one\r\ntwo\r\n\r\nthree");  // the unit's own EOL comes first
  EXPECT_EQ(s[1].Text, u"by (c) us");

  // Constants built from constants stay bounded and do not fail the unit.
  std::string doubling = "const\n  C0 = 'xxxxxxxxxxxxxxxx';\n";
  for (int i = 1; i < 40; ++i)
    doubling += "  C" + std::to_string(i) + " = C" + std::to_string(i - 1) + " + C" + std::to_string(i - 1) + ";\n";
  doubling += "resourcestring S = C11;\n";
  EXPECT_EQ(ReadPascalResourceStrings(doubling, "D.pas", 1252).at(0).Text.size(), 16u << 11);
  EXPECT_EQ(ReadPascalTextConstants(doubling, "D.pas", 1252).count("C12"), 0u);
}

TEST(PascalStrings, ConstantsAndResourceDirectives) {
  const TPascalUnitFacts facts = ReadPascalUnitFacts(
      "unit Errors;\n"
      "interface\n"
      "{$R Errors.RES}{$R-}{$RESOURCE 'Extra.res' 'Extra.rc'}{$R *.res}\n"
      "const\n"
      "  SE_Base = $3E8;\n"
      "  SE_Read = SE_Base + 1;\n"
      "  SE_Typed: Integer = 7;\n"
      "  SE_Text = 'not a number';\n"
      "  SE_Back = -(SE_Read - 2);\n"
      "procedure P(const A: Integer);\n"
      "implementation\n"
      "end.\n");
  EXPECT_EQ(facts.Constants.at("SE_BASE"), 1000);
  EXPECT_EQ(facts.Constants.at("SE_READ"), 1001);
  EXPECT_EQ(facts.Constants.at("SE_BACK"), -999);
  EXPECT_EQ(facts.Constants.count("SE_TYPED"), 0u);
  EXPECT_EQ(facts.Constants.count("SE_TEXT"), 0u);
  ASSERT_EQ(facts.Resources.size(), 3u);  // {$R-} is the range-check switch
  EXPECT_EQ(facts.Resources[0], std::make_pair(std::string("Errors.RES"), std::string()));
  EXPECT_EQ(facts.Resources[1], std::make_pair(std::string("Extra.res"), std::string("Extra.rc")));
  EXPECT_EQ(facts.Resources[2].first, "*.res");
}

// Units declare 64-bit constants for their own use; only a string identifier that needs
// a value the 64 bits cannot hold fails, naming the script's line.
TEST_F(StringTables, SixtyFourBitConstantsFailOnlyWhereAStringNeedsThem) {
  const std::string unit =
      "unit Limits;\n"
      "interface\n"
      "const\n"
      "  Int64max = +9223372036854775807;\n"
      "  Int64min = -9223372036854775807 - 1;\n"
      "  AllBits = $FFFFFFFFFFFFFFFF;\n"
      "  Beyond = 99999999999999999999;\n"
      "  IDS_LIMIT = 300;\n"
      "{$R Limits.res}\n"
      "resourcestring SLimit = 'Limit'#$2116;\n"
      "implementation\n"
      "end.\n";
  Write("Limits.pas", unit);
  const TPascalUnitFacts facts = ReadPascalUnitFacts(unit);
  EXPECT_EQ(facts.Constants.at("INT64MAX"), std::numeric_limits<long long>::max());
  EXPECT_EQ(facts.Constants.at("INT64MIN"), std::numeric_limits<long long>::min());
  EXPECT_EQ(facts.Constants.at("ALLBITS"), -1);  // hexadecimal gives the bits of an Int64
  ASSERT_EQ(facts.Constants.count("BEYOND"), 1u);
  EXPECT_FALSE(facts.Constants.at("BEYOND").has_value());
  EXPECT_EQ(facts.Constants.at("IDS_LIMIT"), 300);  // read on past the large ones
  EXPECT_EQ(facts.Resources.size(), 1u);
  ASSERT_EQ(ReadPascalResourceStrings(unit, "Limits.pas", 1252).size(), 1u);

  // A script may hold numbers wider than its own 32 bits outside its strings.
  const auto script = [&](const std::string& id) {
    return "#include \"Limits.pas\"\n#define IDS_WIDE 0x1FFFFFFFF\nDATA RCDATA { 0x1FFFFFFFF }\n"
           "STRINGTABLE\nBEGIN\n  IDS_LIMIT, \"fits\"\n  " + id + ", \"x\"\nEND\n";
  };
  Write("ok.rc", script("IDS_LIMIT + 1"));
  EXPECT_EQ(ReadScriptStringTables(script("IDS_LIMIT + 1"), Path("ok.rc"), 1252).at(1).Resource, 301u);
  for (const char* id : {"Beyond", "IDS_WIDE", "0x1FFFFFFFF", "Int64max + 1"})
    EXPECT_EQ(MessageOf([&] { ReadScriptStringTables(script(id), Path("ok.rc"), 1252); }),
              Path("ok.rc") + ": line 7: the number is too large") << id;
  EXPECT_EQ(MessageOf([&] { ReadScriptStringTables(script("AllBits"), Path("ok.rc"), 1252); }),
            Path("ok.rc") + ": line 7: string identifier -1 is not between 0 and 65535");
  EXPECT_EQ(MessageOf([] { ReadPascalResourceStrings("resourcestring S = #99999999999999999999;", "A.pas", 1252); }),
            "A.pas: line 1: a character code is out of range");
}

// The resourcestring units of real projects link, values joined with sLineBreak and with
// a constants unit's EOL, EOL2 and COPYRIGHT included; the counts are the units' own.
TEST_F(StringTables, RealResourceStringUnitsLink) {
  std::string uses;
  Write("UConsts.pas", "unit UConsts;\ninterface\nconst\n  EOL = #13#10;\n  EOL2 = EOL + EOL;\n"
                       "  COPYRIGHT = '(c)';\nimplementation\nend.\n");
  const std::vector<std::pair<std::string, size_t>> units = {
      {"jvcl__jvresources.pas", 1418}, {"jvcl__mainfrm.pas", 21},       {"jvcl__jvuibconst.pas", 34},
      {"codesnip__usaveunitmgr.pas", 15}, {"codesnip__uuserdbmgr.pas", 11}};
  for (const auto& [name, count] : units) {
    Write(name, testdata::Bytes(testdata::Data("src/pas-resstr/" + name)));
    uses += ",\n  " + name.substr(0, name.size() - 4) + " in '" + name + "'";
  }
  Write("P.dpr", "program P;\nuses\n  UConsts in 'UConsts.pas'" + uses + ";\nbegin\nend.\n");
  const TStringTable table = LinkStringTable(TProject::Open(Path("P.dpr")), 1252);
  for (const auto& [name, count] : units)
    EXPECT_EQ(std::count_if(table.Strings.begin(), table.Strings.end(),
                            [&](const TLinkedString& s) { return s.Unit == name; }),
              static_cast<long>(count))
        << name;
  const TLinkedString* joined = table.Find("RsRootValueReplaceFmt");
  ASSERT_NE(joined, nullptr);
  EXPECT_EQ(joined->Text,
            u"The Default Root Value \"%0:s\" has been replaced with \"%1:s\".\r\n"
            u"Please change the value in the FileVersionInfo Project Properties.");
}

// A real unit of the example projects declares Int64max; the project links without a word.
TEST(StringTablesOfRealProjects, AUnitWithInt64ConstantsLinks) {
  const std::string folder = testdata::Data("src/projects/equas-calc__equations_calculette8/uConstPrecalculees.pas")
                                 .parent_path()
                                 .string();
  const TPascalUnitFacts facts = ReadPascalUnitFacts(testdata::Bytes(folder + "/uConstPrecalculees.pas"));
  EXPECT_EQ(facts.Constants.at("INT64MAX"), std::numeric_limits<long long>::max());
  const TStringTable table = LinkStringTable(TProject::Open(folder), 1252);
  EXPECT_TRUE(table.Strings.empty());
}

TEST_F(StringTables, ScriptsTakeNumbersFromIncludesAndDefines) {
  Write("Ids.pas", "unit Ids;\ninterface\nconst\n  IDS_OPEN = 1001;\n  IDS_SAVE = $3EA;\nimplementation\nend.\n");
  Write("ids.h", "#pragma once\n#define IDS_BASE 2000\n#define IDS_TITLE (IDS_BASE + 1)\n#define IDS_NAME \"text\"\n");
  const std::string script =
      "#include \"Ids.pas\"\n"
      "#include \"IDS.H\"\n"
      "#include <windows.h>\n"
      "#define IDS_LOCAL 0x10\n"
      "/* a comment with STRINGTABLE in it */\n"
      "STRINGTABLE DISCARDABLE\n"
      "LANGUAGE 9, 1\n"
      "BEGIN\n"
      "  IDS_OPEN, \"Open \\\"%s\\\"\"\n"
      "  IDS_SAVE \"Save\\tall\\n\" \"and close\"\n"
      "  IDS_TITLE, \"Title \"\"quoted\"\" \\x41\\101\"\n"
      "  IDS_LOCAL + 1, L\"wide \\x263A\"\n"
      "END\n"
      "STRINGTABLE { 3, \"second table\" }\n";
  Write("App.rc", script);
  const std::vector<TLinkedString> s = ReadScriptStringTables(script, Path("App.rc"), 1252);
  ASSERT_EQ(s.size(), 5u);
  EXPECT_EQ(s[0].Resource, 1001u);
  EXPECT_EQ(s[0].Identifier, "IDS_OPEN");
  EXPECT_EQ(s[0].Text, u"Open \"%s\"");
  EXPECT_EQ(s[0].Line, 9);
  EXPECT_EQ(s[1].Resource, 1002u);
  EXPECT_EQ(s[1].Text, u"Save\tall\nand close");
  EXPECT_EQ(s[2].Resource, 2001u);
  EXPECT_EQ(s[2].Text, u"Title \"quoted\" AA");
  EXPECT_EQ(s[3].Resource, 17u);
  EXPECT_EQ(s[3].Identifier, "");  // an expression names no constant
  EXPECT_EQ(s[3].Text, u"wide \u263A");
  EXPECT_EQ(s[4].Resource, 3u);
  EXPECT_EQ(s[4].Unit, "App.rc");

  for (const auto& [bad, message] : std::vector<std::pair<std::string, std::string>>{
           {"STRINGTABLE\n{\n  IDS_NOWHERE, \"x\"\n}", "a.rc: line 3: IDS_NOWHERE is not defined"},
           {"STRINGTABLE { 70000, \"x\" }", "a.rc: line 1: string identifier 70000 is not between 0 and 65535"},
           {"STRINGTABLE { 1, \"x\"\n", "a.rc: line 1: STRINGTABLE without END or '}'"},
           {"STRINGTABLE { 1, 2 }", "a.rc: line 1: a quoted text is expected"}})
    EXPECT_EQ(MessageOf([&] { ReadScriptStringTables(bad, "a.rc", 1252); }), message);
}

TEST_F(StringTables, LinkerNumbersPascalStringsAroundTheScripts) {
  Write("App.bpr", "VERSION = BCB.03\r\nPROJECT = App.exe\r\n");
  Write("App.cpp",
        "USEUNIT(\"First.pas\");\r\n"
        "USEUNIT(\"Second.pas\");\r\n"
        "USERC(\"Top.rc\");\r\n");
  Write("Top.rc", "STRINGTABLE { 65535, \"taken by the script\"\n 65533, \"this one too\" }\n");
  Write("First.pas", "unit First;\ninterface\n{$R Linked.RES}\nresourcestring\n  SOne = 'one';\n  STwo = 'two';\n"
                     "implementation\nend.\n");
  Write("Second.pas", "unit Second;\ninterface\nresourcestring SThree = 'three';\nimplementation\nend.\n");
  Write("Linked.rc", "STRINGTABLE { 7, \"pulled in by {$R}\" }\n");
  const TProject project = TProject::Open(Path("App.bpr"));
  const TStringTable table = LinkStringTable(project, 1252);
  ASSERT_EQ(table.Strings.size(), 6u);
  EXPECT_EQ(table.Strings[2].Text, u"pulled in by {$R}");
  ASSERT_NE(table.Find("sone"), nullptr);  // constants are found without regard to case
  EXPECT_EQ(table.Find("SOne")->Resource, 65534u);
  EXPECT_EQ(table.Find("STwo")->Resource, 65532u);
  EXPECT_EQ(table.Find("SThree", "second.pas")->Resource, 65531u);
  EXPECT_EQ(table.Find("SThree", "First.pas"), nullptr);

  // Into the instance, as the executable carries it.
  const win32::HINSTANCE instance = win32::RegisterModuleInstance(u"linked-app.exe");
  EXPECT_EQ(InstallStringTable(instance, table), 6);
  EXPECT_EQ(win32::LoadString(instance, 65532), u"two");
  EXPECT_EQ(win32::LoadString(instance, 65535), u"taken by the script");
  win32::UnregisterModuleInstance(instance);

  // A string added to the first unit shifts every later number.
  Write("First.pas", "unit First;\ninterface\nresourcestring\n  SZero = 'zero';\n  SOne = 'one';\n  STwo = 'two';\n"
                     "implementation\nend.\n");
  const TStringTable shifted = LinkStringTable(project, 1252);
  EXPECT_EQ(shifted.Find("SOne")->Resource, 65532u);
  EXPECT_EQ(shifted.Find("SThree")->Resource, 65530u);

  // Two scripts claiming one number: the linker refuses, naming both places.
  Write("Linked.rc", "STRINGTABLE\n{\n  65533, \"again\"\n}\n");
  Write("First.pas", "unit First;\ninterface\n{$R Linked.RES}\nimplementation\nend.\n");
  EXPECT_EQ(MessageOf([&] { LinkStringTable(project, 1252); }),
            "Linked.rc: line 3: string 65533 is already defined in Top.rc line 2");
}

// A Delphi project: the project source links a script by name and may declare strings of
// its own, which come first.
TEST_F(StringTables, DelphiProjectSourceLinksScriptsAndStrings) {
  Write("Prog.dpr",
        "program Prog;\r\nuses\r\n  Texts in 'Texts.pas';\r\n{$R *.RES}\r\n{$R 'Msgs.res' 'msgs.RC'}\r\n"
        "resourcestring SProgram = 'from the program';\r\nbegin\r\nend.\r\n");
  Write("Texts.pas", "unit Texts;\r\ninterface\r\nresourcestring SUnit = 'from the unit';\r\nimplementation\r\nend.\r\n");
  Write("Msgs.rc", "STRINGTABLE { 65535, \"script\" }\r\n");
  const TStringTable table = LinkStringTable(TProject::Open(Path("Prog.dpr")), 1252);
  ASSERT_EQ(table.Strings.size(), 3u);
  EXPECT_EQ(table.Strings[0].Unit, "Msgs.rc");
  EXPECT_EQ(table.Find("SProgram")->Resource, 65534u);
  EXPECT_EQ(table.Find("SUnit")->Resource, 65533u);
}

TEST(StringTablesOfTheExample, ErrorsAndAppText) {
  const auto root = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
  const TStringTable table = LinkStringTable(TProject::Open((root / "examples" / "project").string()), 1252);
  ASSERT_NE(table.Find("SE_CannotWrite"), nullptr);
  EXPECT_EQ(table.Find("SE_CannotWrite")->Resource, 1002u);
  EXPECT_EQ(table.Find("SE_CannotWrite")->Text,
            u"The address book could not be saved.\nCheck that the disk is not full or write-protected.");
  EXPECT_EQ(table.Find("SReady")->Resource, 65535u);
  EXPECT_EQ(table.Find("SDeleteContact")->Text, u"Delete the contact '%s'?");
  EXPECT_EQ(table.Strings.size(), 9u);
}

}  // namespace
}  // namespace quintrel::host
