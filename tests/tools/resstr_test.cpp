// The resource-string manager: literals, the unit readers, in-place edits of units the
// user wrote, and the module kept in step, through a tool session over a project folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "module/objects.h"
#include "module/zod.h"
#include "tests/module/module_fixture.h"
#include "tests/testdata.h"
#include "tools/resstr.h"
#include "tools/resstrcompile.h"

namespace quintrel::tools {
namespace {

using module::test::Id;
namespace fs = std::filesystem;

// `text` with `run` in place of the first `old` after `at`.
std::string Replaced(const std::string& text, const std::string& at, const std::string& old, const std::string& run) {
  std::string out = text;
  const size_t pos = out.find(old, out.find(at));
  EXPECT_NE(pos, std::string::npos) << old;
  return pos == std::string::npos ? out : out.replace(pos, old.size(), run);
}

TEST(ResStrLiterals, PascalAndScriptForms) {
  EXPECT_EQ(PascalLiteral(u"", 0), "''");
  EXPECT_EQ(PascalLiteral(u"It's", 0), "'It''s'");
  EXPECT_EQ(PascalLiteral(u"a\r\nb", 0), "'a'#13#10'b'");
  EXPECT_EQ(PascalLiteral(u"\r\n", 0), "#13#10");
  EXPECT_EQ(PascalLiteral(u"\tx", 0), "#9'x'");
  EXPECT_EQ(PascalLiteral(u"caf\u00E9", 0), "'caf\xE9'");
  EXPECT_EQ(ScriptLiteral(u"say \"hi\"\\\t\n\r\x01", 0), "\"say \\\"hi\\\"\\\\\\t\\n\\r\\x01\"");
  EXPECT_EQ(ScriptLiteral(u"", 0), "\"\"");
}

// Every character the charset's code page holds comes back from the script and the
// Pascal unit as it was written, double-byte code pages (whose second bytes may be a
// backslash) included.
TEST(ResStrLiterals, EveryCharacterOfTheCharsetRoundTrips) {
  for (const int charset : {0, 204, 238, 128}) {
    std::u16string all;
    for (char32_t c = 1; c <= 0xFFFF; ++c)
      if ((c < 0xD800 || c > 0xDFFF) && CharsetHolds(static_cast<char16_t>(c), charset)) all += static_cast<char16_t>(c);
    ASSERT_GT(all.size(), 100u) << charset;
    std::vector<std::string> scriptDecls, pascalDecls;
    std::vector<std::u16string> pieces;
    for (size_t at = 0; at < all.size(); at += 300) pieces.push_back(all.substr(at, 300));
    for (size_t i = 0; i < pieces.size(); ++i) {
      scriptDecls.push_back(ScriptDecl("S" + std::to_string(i), pieces[i], charset));
      pascalDecls.push_back(PascalDecl("S" + std::to_string(i), pieces[i], charset));
    }
    const TDeclFile script = ReadStringTable(GenerateScript("T", scriptDecls), "T.rc", charset);
    const TDeclFile pascal = ReadResourceStrings(GeneratePascalUnit("T", pascalDecls), charset);
    ASSERT_EQ(script.Decls.size(), pieces.size()) << charset;
    ASSERT_EQ(pascal.Decls.size(), pieces.size()) << charset;
    for (size_t i = 0; i < pieces.size(); ++i) {
      EXPECT_EQ(script.Decls[i].Text, pieces[i]) << "charset " << charset << " piece " << i;
      EXPECT_EQ(pascal.Decls[i].Text, pieces[i]) << "charset " << charset << " piece " << i;
    }
  }
}

TEST(ResStrReaders, PascalTakesOnlyWholeTextsOfResourcestringSections) {
  const std::string unit =
      "unit T;\r\ninterface\r\nconst\r\n  MaxLen = 10;\r\n  Name: string = 'typed';\r\n"
      "resourcestring\r\n  { first } SOne = 'a' + #13#10 + 'b';\r\n  SLine = 'x' + sLineBreak;\r\n"
      "  STwo = 'It''s'#9; // tab\r\n  (* between *) SThree =\r\n    'split' +\r\n    ' line';\r\n"
      "type\r\n  TX = Integer;\r\nimplementation\r\nresourcestring\r\n  SLate = 'late';\r\nend.\r\n";
  const TDeclFile file = ReadResourceStrings(unit, 0);
  ASSERT_EQ(file.Decls.size(), 3u);
  EXPECT_EQ(file.Decls[0].Identifier, "SOne");
  EXPECT_EQ(file.Decls[0].Text, u"a\r\nb");
  EXPECT_EQ(unit.substr(file.Decls[0].Offset, file.Decls[0].End - file.Decls[0].Offset), "SOne = 'a' + #13#10 + 'b';");
  EXPECT_EQ(file.Decls[1].Text, u"It's\t");
  EXPECT_EQ(file.Decls[2].Identifier, "SThree");
  EXPECT_EQ(file.Decls[2].Text, u"split line");
  EXPECT_EQ(file.Skipped, std::vector<std::string>{"SLine"});

  const TDeclFile constants = ReadConstants("unit C;\ninterface\nconst\n  A = $1000;\n  B = 1001; C = -2;\n  D = A + 1;\n"
                                            "  E: Integer = 3;\nresourcestring\n  F = 'f';\nimplementation\nend.\n");
  ASSERT_EQ(constants.Decls.size(), 3u);
  EXPECT_EQ(constants.Decls[0].Number, 0x1000);  // the radix is kept
  EXPECT_EQ(constants.Decls[0].Value, "$1000");
  EXPECT_EQ(constants.Decls[1].Number, 1001);
  EXPECT_EQ(constants.Decls[2].Number, -2);
  EXPECT_EQ(constants.Skipped, (std::vector<std::string>{"D", "E"}));
}

TEST(ResStrReaders, ScriptsAsRealOnesAreWritten) {
  const std::string script =
      "#include \"T.pas\"\n// a comment { with braces }\nSTRINGTABLE DISCARDABLE\nBEGIN\n"
      "  /* block\n     comment */ SA, \"first \\\n continued\"\n  SB \"no comma \\\"quoted\\\"\"\n"
      "  1005, \"numbered\"\nEND\n\nSTRINGTABLE\n{\n  SC, \"second table\"\n}\n";
  const TDeclFile file = ReadStringTable(script, "T.rc", 0);
  ASSERT_EQ(file.Decls.size(), 3u);
  EXPECT_EQ(file.Decls[0].Text, u"first  continued");
  EXPECT_EQ(file.Decls[1].Identifier, "SB");
  EXPECT_EQ(file.Decls[1].Text, u"no comma \"quoted\"");
  EXPECT_EQ(script.substr(file.Decls[1].Offset, file.Decls[1].End - file.Decls[1].Offset), "SB \"no comma \\\"quoted\\\"\"");
  EXPECT_EQ(file.Decls[2].Identifier, "SC");
  ASSERT_TRUE(file.SectionBody);
  EXPECT_EQ(script.substr(*file.SectionBody, 4), "  /*");
}

TEST(ResStrEdits, RemovalStopsAtTheEndOfTheEntrysLine) {
  const std::string unit = "resourcestring\n  SA = 'a'; // about a\n  { about b }\n  SB = 'b';\n\nconst\n  X = 1;\n";
  const TDeclFile file = ReadResourceStrings(unit, 0);
  ASSERT_EQ(file.Decls.size(), 2u);
  EXPECT_EQ(RemoveDecl(unit, file.Decls[0]), "resourcestring\n  { about b }\n  SB = 'b';\n\nconst\n  X = 1;\n");
  EXPECT_EQ(RemoveDecl(unit, file.Decls[1]), "resourcestring\n  SA = 'a'; // about a\n  { about b }\n\nconst\n  X = 1;\n");
  // Two on one line: only the one removed goes.
  const std::string shared = "resourcestring\r  SA = 'a'; SB = 'b';\r";
  const TDeclFile two = ReadResourceStrings(shared, 0);
  ASSERT_EQ(two.Decls.size(), 2u);
  EXPECT_EQ(RemoveDecl(shared, two.Decls[0]), "resourcestring\r  SB = 'b';\r");
  // Insertion keeps the first entry's indentation and the file's line ends.
  EXPECT_EQ(*InsertDecl(shared, two, "SN = 'n';"), "resourcestring\r  SN = 'n';\r  SA = 'a'; SB = 'b';\r");
}

// Real units and scripts: every named entry can be removed and a new one added, and the
// other entries read back the same, byte for byte around the change.
TEST(ResStrRealSources, EveryEntryComesOutAndAnotherGoesIn) {
  const fs::path data = fs::path(QUINTREL_TEST_DATA_DIR) / "src";
  int files = 0;
  for (const char* folder : {"rc", "pas-resstr"}) {
    ASSERT_TRUE(fs::is_directory(data / folder)) << (data / folder);
    for (const auto& entry : fs::directory_iterator(data / folder)) {
      const std::string name = entry.path().filename().string();
      const bool script = ResUnitKind(name) == TResUnitKind::Script;
      if (!script && ResUnitKind(name) != TResUnitKind::Pascal) continue;
      const std::string text = testdata::Bytes(entry.path());
      const auto read = [&](const std::string& t) {
        return script ? ReadStringTable(t, entry.path().string(), 0) : ReadResourceStrings(t, 0);
      };
      const TDeclFile file = read(text);
      if (file.Decls.empty()) continue;
      ++files;
      for (size_t i = 0; i < file.Decls.size(); i += 7) {
        const TDeclFile after = read(RemoveDecl(text, file.Decls[i]));
        ASSERT_EQ(after.Decls.size() + 1, file.Decls.size()) << name << " " << file.Decls[i].Identifier;
        for (size_t j = 0, k = 0; j < file.Decls.size(); ++j)
          if (j != i) {
            EXPECT_EQ(after.Decls[k++].Text, file.Decls[j].Text) << name;
          }
      }
      const std::string decl = script ? ScriptDecl("SAddedHere", u"added", 0) : PascalDecl("SAddedHere", u"added", 0);
      const std::optional<std::string> added = InsertDecl(text, file, decl);
      ASSERT_TRUE(added) << name;
      const TDeclFile more = read(*added);
      ASSERT_EQ(more.Decls.size(), file.Decls.size() + 1) << name;
      EXPECT_EQ(more.Decls.front().Identifier, "SAddedHere") << name;
      EXPECT_EQ(added->substr(0, file.Decls.front().Offset), text.substr(0, file.Decls.front().Offset)) << name;
      EXPECT_EQ(added->substr(added->size() - (text.size() - file.Decls.front().Offset)),
                text.substr(file.Decls.front().Offset)) << name;
    }
  }
  EXPECT_GE(files, 8);
}

class ResStrManagerTest : public module::test::ModuleFixture {
protected:
  void SetUp() override {
    ModuleFixture::SetUp();
    Put("Sample.dpr", "program Sample;\n\nuses\n  Texts in 'Texts.pas',\n  Errors in 'Errors.pas';\n\nbegin\nend.\n");
    module_ = zod_.NewModule(Path("Sample.ZOD"));
    ASSERT_GE(module_, 0);
    ASSERT_TRUE(module::test::AddLanguage(zod_, module_, "en", u"English"));
    ASSERT_TRUE(zod_.SetDesignTimeLanguage(module_, Id("en")));
  }

  void Put(const std::string& name, const std::string& text) { std::ofstream(Path(name), std::ios::binary) << text; }
  std::string Get(const std::string& name) const { return testdata::Bytes(Path(name)); }
  bool Has(const std::string& name) const { return fs::exists(Path(name)); }

  // One command: a session, the manager, the work, the commit.
  template <class F>
  void Command(F work, bool yes = true) {
    TToolSession session(Path("Sample.dpr"), Path("Sample.ZOD"), {yes, false});
    TResStringManager manager(session, zod_, module_);
    work(manager);
    session.Commit();
  }
  TResUnit Unit(TResStringManager& m, const std::string& name) {
    for (const TResUnit& u : m.Units())
      if (u.Name == name) return u;
    return m.AddUnit(name);
  }
  std::vector<std::string> Idents(const std::string& unit) {
    std::vector<std::string> out;
    Command([&](TResStringManager& m) {
      for (const TResString& s : m.Strings(Unit(m, unit))) out.push_back(s.Identifier);
    });
    return out;
  }

  module::TZod zod_{module::TZod::TStart::Empty};
  int module_ = -1;
};

TEST_F(ResStrManagerTest, NewUnitsAreGeneratedAndTheirLastStringTakesThemAway) {
  const std::string project = Get("Sample.dpr");
  Command([&](TResStringManager& m) {
    m.Add(Unit(m, "notes.pas"), "SHello", u"Hello", u"");
    m.Add(Unit(m, "Strs.rc"), "SOne", u"one", u"a note");
  });
  EXPECT_EQ(Get("notes.pas"),
            "unit Notes;\r\n\r\ninterface\r\n\r\nresourcestring\r\n  SHello = 'Hello';\r\n\r\nimplementation\r\n\r\nend.\r\n");
  EXPECT_EQ(Get("Strs.rc"), "#include \"Strs.pas\"\r\n\r\nSTRINGTABLE\r\n{\r\n\r\n  SOne, \"one\"\r\n\r\n}\r\n\r\n");
  EXPECT_EQ(Get("Strs.pas"),
            "unit Strs;\r\n\r\ninterface\r\n\r\n{$R Strs.RES}\r\n\r\nconst\r\n  SOne = 1;\r\n\r\nimplementation\r\n\r\nend.\r\n");
  // The project names what was created, so that the linker sees the strings; a script
  // through its constants unit.
  EXPECT_EQ(Get("Sample.dpr"), "program Sample;\n\nuses\n  Texts in 'Texts.pas',\n  Errors in 'Errors.pas',\n"
                               "  notes in 'notes.pas',\n  Strs in 'Strs.pas';\n\nbegin\nend.\n");
  Command([&](TResStringManager& m) {
    const TResUnit u = Unit(m, "notes.pas");
    m.Add(u, "SBye", u"Bye", u"");
    const std::vector<TResString> strings = m.Strings(u);
    ASSERT_EQ(strings.size(), 2u);
    EXPECT_EQ(strings[0].Text, u"Hello");
  });
  Command([&](TResStringManager& m) { m.Remove(Unit(m, "notes.pas"), "SHELLO"); });  // the language ignores case
  EXPECT_TRUE(Has("notes.pas"));
  Command([&](TResStringManager& m) {
    m.Remove(Unit(m, "notes.pas"), "SBye");
    m.Remove(Unit(m, "Strs.rc"), "SOne");
  });
  EXPECT_FALSE(Has("notes.pas"));
  EXPECT_FALSE(Has("Strs.rc"));
  EXPECT_FALSE(Has("Strs.pas"));
  EXPECT_EQ(Get("Sample.dpr"), project);
  EXPECT_TRUE(Has("notes.~pa"));  // the backups stay
  EXPECT_TRUE(Has("Strs.~rc"));
}

TEST_F(ResStrManagerTest, HandWrittenUnitsKeepEveryOtherByte) {
  const std::string original =
      "unit Texts;\n\n{ Messages }\n\ninterface\n\nuses SysUtils;\n\nresourcestring\n  // the first one\n"
      "  SFirst = 'first';\n\nconst\n  MaxLen = 10;\n\nfunction Twice(N: Integer): Integer;\n\nimplementation\n\n"
      "function Twice(N: Integer): Integer;\nbegin\n  Result := N * 2;\nend;\n\nend.\n";
  Put("Texts.pas", original);
  Command([&](TResStringManager& m) {
    const TResUnit u = Unit(m, "Texts.pas");
    const TSyncReport report = m.Sync(u);
    EXPECT_EQ(report.Imported, std::vector<std::string>{"SFirst"});  // MaxLen is no resource string
    m.Add(u, "SNew", u"new", u"");
  });
  EXPECT_EQ(Get("Texts.~pa"), original);
  const std::string added = Get("Texts.pas");
  EXPECT_EQ(added, Replaced(original, "the first one", "SFirst", "SNew = 'new';\n  SFirst"));
  Command([&](TResStringManager& m) {
    m.Edit(Unit(m, "Texts.pas"), "sfirst", u"It's", std::nullopt, u"c");
    m.Edit(Unit(m, "Texts.pas"), "sfirst", u"It's changed", std::nullopt, std::nullopt);
  });
  EXPECT_EQ(Get("Texts.~pa"), added);  // the backup holds the file as the command found it
  EXPECT_EQ(Get("Texts.pas"), Replaced(added, "SFirst", "'first'", "'It''s changed'"));
  Command([&](TResStringManager& m) {
    m.Remove(Unit(m, "Texts.pas"), "SFirst");
    m.Remove(Unit(m, "Texts.pas"), "SNew");
  });
  // The last string of a unit the user wrote leaves the unit in place, all but the two lines.
  EXPECT_EQ(Get("Texts.pas"), "unit Texts;\n\n{ Messages }\n\ninterface\n\nuses SysUtils;\n\nresourcestring\n"
                              "  // the first one\n\nconst\n  MaxLen = 10;\n\nfunction Twice(N: Integer): Integer;\n\n"
                              "implementation\n\nfunction Twice(N: Integer): Integer;\nbegin\n  Result := N * 2;\nend;\n\nend.\n");
}

TEST_F(ResStrManagerTest, AFileThatIsNoSkeletonIsNeverWrittenAnew) {
  const std::string text = "unit Texts;\ninterface\nprocedure P;\nimplementation\nprocedure P; begin end;\nend.\n";
  Put("Texts.pas", text);
  Command([&](TResStringManager& m) {
    EXPECT_THROW(m.Add(Unit(m, "Texts.pas"), "SX", u"x", u""), EToolError);
    EXPECT_TRUE(m.Strings(Unit(m, "Texts.pas")).empty());  // refused before the module changed
  });
  EXPECT_EQ(Get("Texts.pas"), text);
}

TEST_F(ResStrManagerTest, SyncFollowsChangesMadeOutside) {
  Put("Texts.pas", "unit Texts;\ninterface\nresourcestring\n  SA = 'a';\n  SB = 'b';\nimplementation\nend.\n");
  EXPECT_EQ(Idents("Texts.pas"), (std::vector<std::string>{}));
  Command([&](TResStringManager& m) { m.Sync(Unit(m, "Texts.pas")); });
  Command([&](TResStringManager& m) {
    const TSyncReport again = m.Sync(Unit(m, "Texts.pas"));
    EXPECT_TRUE(again.Imported.empty());  // nothing twice
  });
  Put("Texts.pas", "unit Texts;\ninterface\nresourcestring\n  SB = 'b';\n  SC = 'c';\nimplementation\nend.\n");
  Command([&](TResStringManager& m) {
    const TSyncReport report = m.Sync(Unit(m, "Texts.pas"));
    EXPECT_EQ(report.Imported, std::vector<std::string>{"SC"});
    EXPECT_EQ(report.Removed, std::vector<std::string>{"SA"});
  });
  EXPECT_EQ(Idents("Texts.pas"), (std::vector<std::string>{"SB", "SC"}));
}

TEST_F(ResStrManagerTest, ASharedIdentifierStaysWhileAnotherUnitUsesIt) {
  Command([&](TResStringManager& m) {
    m.Add(Unit(m, "A.pas"), "SShared", u"a", u"");
    m.Add(Unit(m, "B.pas"), "sshared", u"b", u"");
  });
  EXPECT_NE(module::GetPropID(zod_.GetProps(module_), "#SShared"), 0u);
  Command([&](TResStringManager& m) { m.Remove(Unit(m, "A.pas"), "SShared"); });
  EXPECT_NE(module::GetPropID(zod_.GetProps(module_), "#SShared"), 0u);
  EXPECT_EQ(Idents("B.pas"), std::vector<std::string>{"SShared"});
  Command([&](TResStringManager& m) { m.Remove(Unit(m, "B.pas"), "SShared"); });
  EXPECT_EQ(module::GetPropID(zod_.GetProps(module_), "#SShared"), 0u);
}

TEST_F(ResStrManagerTest, ScriptNumbersAreUniqueInTheModuleAndEditsFindTheIncFile) {
  Put("Errors.rc", "#include \"Errors.inc\"\nSTRINGTABLE\nBEGIN\n  SE_A, \"a\"\nEND\n");
  Put("Errors.inc", "const\n  SE_A = $3E9;\n");
  Put("Errors.pas", "unit Errors;\ninterface\n{$I Errors.inc}\nimplementation\nend.\n");
  Command([&](TResStringManager& m) {
    m.Add(Unit(m, "Other.rc"), "SO", u"o", u"");  // number 1
    const TResUnit errors = Unit(m, "Errors.rc");
    m.Sync(errors);
    EXPECT_EQ(m.Strings(errors).at(0).Number, 0x3E9u);
    EXPECT_THROW(m.Add(errors, "se_a", u"clash", u""), EToolError);
    m.Add(errors, "SE_B", u"b", u"");
    EXPECT_THROW(m.Edit(errors, "SE_B", std::nullopt, 1, std::nullopt), EToolError);  // Other.rc has 1
  });
  EXPECT_EQ(Get("Errors.inc"), "const\n  SE_B = 1002;\n  SE_A = $3E9;\n");
  EXPECT_EQ(Get("Errors.pas"), "unit Errors;\ninterface\n{$I Errors.inc}\nimplementation\nend.\n");
  EXPECT_EQ(Get("Errors.rc"), "#include \"Errors.inc\"\nSTRINGTABLE\nBEGIN\n  SE_B, \"b\"\n  SE_A, \"a\"\nEND\n");
}

TEST_F(ResStrManagerTest, RefusalsChangeNothing) {
  Put("Texts.pas", "unit Texts;\ninterface\nresourcestring\n  SA = 'a';\nimplementation\nend.\n");
  Command([&](TResStringManager& m) {
    const TResUnit u = Unit(m, "Texts.pas");
    m.Sync(u);
    EXPECT_THROW(m.Add(u, "1bad", u"x", u""), EToolError);
    EXPECT_THROW(m.Remove(u, "SA"), ENotConfirmed);
    EXPECT_THROW(m.AddUnit("Texts.PAS"), EToolError);
    EXPECT_THROW(m.AddUnit("Notes.txt"), EToolError);
  }, false);
  EXPECT_FALSE(Has("Texts.~pa"));
  Put("Big.pas", std::string(0x1000000, ' '));
  Command([&](TResStringManager& m) { EXPECT_THROW(m.Add(Unit(m, "Big.pas"), "SX", u"x", u""), EToolError); });
}

TEST_F(ResStrManagerTest, AFailedCommitPutsBackWhatItWrote) {
  Put("A.pas", "unit A;\ninterface\nresourcestring\n  SA = 'a';\nimplementation\nend.\n");
  TToolSession session(Path("Sample.dpr"), Path("Sample.ZOD"), {});
  session.Write(Path("A.pas"), "changed");
  session.Write(Path("C.pas"), "new");
  session.Write(Path("missing/B.pas"), "x");  // its folder does not exist
  EXPECT_THROW(session.Commit(), EToolError);
  EXPECT_EQ(Get("A.pas"), "unit A;\ninterface\nresourcestring\n  SA = 'a';\nimplementation\nend.\n");
  EXPECT_FALSE(Has("C.pas"));
}

TEST(ResStrCompile, PreparedScriptsHoldNumbersAndNoComments) {
  TDeclFile constants = ReadConstants("const\n  SA = 1001;\n");
  const std::string prepared = PrepareScript(
      "#include \"T.pas\"\n// note\nSTRINGTABLE\n{\n  SA, \"a \\\"q\\\" \\\n b\" /* c */\n}\n", "T.rc", 0, constants);
  EXPECT_EQ(prepared, "                \n       \nSTRINGTABLE\n{\n  1001, \"a \"\"q\"\"  b\"        \n}\n");
  EXPECT_EQ(ResourceCodePage(204), 1251u);
  EXPECT_EQ(ResourceCodePage(77), 1252u);
}

}  // namespace
}  // namespace quintrel::tools
