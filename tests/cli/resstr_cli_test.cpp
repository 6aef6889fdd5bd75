// quintrel resstr on a copy of the example project and the module its script builds.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "tests/cli/example_project.h"

namespace quintrel::cli {
namespace {

namespace fs = std::filesystem;

using ResStrCommand = test::ExampleProjectFixture;

// A string added with its translations shows in the preview in every language given,
// and goes again with its declaration; the module and the unit say so, one line each.
TEST_F(ResStrCommand, AddedStringsReachThePreviewInEveryLanguage) {
  const std::string before = File("Errors.rc");
  auto r = In({"resstr", "add", "--unit", "errors.rc", "SE_Busy", "--text", "Busy \"now\"", "--translation",
               "de=Beschäftigt", "--translation", "ru=Занят"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("changed " + Path("project/Errors.rc") + " (backup " + Path("project/Errors.~rc") + ")"),
            std::string::npos) << r.out;
  EXPECT_NE(r.out.find("changed " + Path("project/Sample.ZOD")), std::string::npos);
  EXPECT_EQ(File("Errors.~rc"), before);
  EXPECT_LT(File("Errors.pas").find("  SE_Busy = 1004;"), File("Errors.pas").find("  SE_CannotRead = 1001;"));
  r = In({"resstr", "add", "--unit", "AppText.pas", "SBusy", "--text", "Busy", "--translation", "de=Belegt"});
  ASSERT_EQ(r.code, 0) << r.err;

  const std::map<std::string, std::vector<std::string>> expected = {
      {"en", {"1004 Errors.rc SE_Busy = Busy \"now\"", "AppText.pas SBusy = Busy"}},
      {"de", {"1004 Errors.rc SE_Busy = Beschäftigt", "AppText.pas SBusy = Belegt"}},
      {"ru", {"1004 Errors.rc SE_Busy = Занят", "AppText.pas SBusy = Busy"}}};
  for (const auto& [language, lines] : expected) {
    r = Run({"preview", "--project", project_, "--lang", language, "--resstrings"});
    ASSERT_EQ(r.code, 0) << r.err;
    for (const std::string& line : lines) EXPECT_NE(r.out.find(line), std::string::npos) << language << ": " << line;
  }

  r = In({"resstr", "list", "--unit", "Errors.rc", "--json"});
  ASSERT_EQ(r.code, 0) << r.err;
  const nlohmann::json rows = nlohmann::json::parse(r.out);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[3]["identifier"], "SE_Busy");
  EXPECT_EQ(rows[3]["number"], 1004);

  r = In({"resstr", "remove", "--unit", "Errors.rc", "SE_Busy"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("quintrel: Do you want to remove the resource string 'SE_Busy' ?\n"), std::string::npos);
  r = In({"resstr", "remove", "--unit", "Errors.rc", "SE_Busy", "--yes", "--dry-run"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("would change " + Path("project/Errors.rc")), std::string::npos);
  EXPECT_NE(File("Errors.rc").find("SE_Busy"), std::string::npos);
  r = In({"resstr", "list", "--unit", "Errors.rc"});
  EXPECT_NE(r.out.find("SE_Busy"), std::string::npos);  // the dry run left the module as it was
  r = In({"resstr", "remove", "--unit", "Errors.rc", "SE_Busy", "--yes"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(File("Errors.rc"), before);
}

TEST_F(ResStrCommand, UnitsLiteralsAndRefusals) {
  auto r = In({"resstr", "units"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("\tAppText.pas\tpas\t"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\tErrors.rc\trc\t"), std::string::npos);
  r = In({"resstr", "unit-add", "Messages"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("\tMessages.pas\tpas\t"), std::string::npos);
  EXPECT_FALSE(fs::exists(Path("project/Messages.pas")));  // written with its first string
  r = In({"resstr", "add", "--unit", "Messages.pas", "SOne", "--text", "one"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("created " + Path("project/Messages.pas")), std::string::npos);
  r = In({"resstr", "add", "--unit", "Messages.pas", "sone", "--text", "again"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "quintrel: Resource String Constant already exist in this unit\n");
  r = In({"resstr", "add", "--unit", "Messages.pas", "9x", "--text", "x"});
  EXPECT_EQ(r.err, "quintrel: Invalid resource string identifier\n");
  r = In({"resstr", "unit-remove", "Messages.pas", "--yes"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::exists(Path("project/Messages.pas")));  // the files stay

  r = Run({"resstr", "literal", "--kind", "pas", "It's\r\n"});
  EXPECT_EQ(r.out, "'It''s'#13#10\n");
  r = Run({"resstr", "literal", "--kind", "rc", "a\"b\\\tc"});
  EXPECT_EQ(r.out, "\"a\\\"b\\\\\\tc\"\n");
}

// A unit the command creates is named in the C++ project (source and object files), so
// its strings reach the string table; its last string takes it out again, byte for byte.
TEST_F(ResStrCommand, ANewUnitJoinsTheProjectAndLeavesItWithItsLastString) {
  const std::string source = File("Sample.cpp"), makefile = File("Sample.bpr");
  ASSERT_EQ(In({"resstr", "unit-add", "Notes.rc"}).code, 0);
  auto r = In({"resstr", "add", "--unit", "Notes.rc", "SNote", "--text", "A note"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("changed " + Path("project/Sample.cpp") + " (backup " + Path("project/Sample.~cp") + ")"),
            std::string::npos) << r.out;
  EXPECT_EQ(File("Sample.~cp"), source);
  EXPECT_NE(File("Sample.cpp").find("USERC(\"Errors.rc\");\r\nUSEUNIT(\"Notes.pas\");\r\nUSERC(\"Notes.rc\");\r\n"),
            std::string::npos);
  EXPECT_NE(File("Sample.bpr").find(" Errors.obj Notes.obj\r\n"), std::string::npos);
  r = Run({"project", "strings", project_});
  EXPECT_NE(r.out.find("1004\tNotes.rc\tSNote\tA note\n"), std::string::npos) << r.out;

  r = In({"resstr", "units", "--json"});
  const nlohmann::json units = nlohmann::json::parse(r.out);
  ASSERT_EQ(units.size(), 3u) << r.out;
  EXPECT_EQ(units[2], (nlohmann::json{{"id", units[2]["id"]}, {"kind", "rc"}, {"name", "Notes.rc"},
                                      {"path", Path("project/Notes.rc")}, {"registered", true}}));
  r = In({"resstr", "list", "--unit", "Notes.rc", "--json"});
  const nlohmann::json strings = nlohmann::json::parse(r.out);
  ASSERT_EQ(strings.size(), 1u) << r.out;
  EXPECT_EQ(strings[0]["identifier"], "SNote");
  EXPECT_EQ(strings[0]["number"], 1004);
  EXPECT_EQ(strings[0]["text"], "A note");

  ASSERT_EQ(In({"resstr", "remove", "--unit", "Notes.rc", "SNote", "--yes"}).code, 0);
  EXPECT_FALSE(fs::exists(Path("project/Notes.rc")));
  EXPECT_EQ(File("Sample.cpp"), source);
  EXPECT_EQ(File("Sample.bpr"), makefile);
}

TEST_F(ResStrCommand, CompilesAScriptUnit) {
  auto r = In({"resstr", "compile", "--unit", "Errors.rc"}, 60);
  ASSERT_EQ(r.code, 0) << r.err << "(scripts/install-deps installs the resource compiler)";
  const std::string res = File("Errors.RES");
  std::string wide;
  for (char c : std::string("could not be read")) wide += std::string{c, '\0'};
  EXPECT_NE(res.find(wide), std::string::npos);
  setenv("QUINTREL_WINDRES", "/nonexistent/windres", 1);
  r = In({"resstr", "compile", "--unit", "Errors.rc"});
  unsetenv("QUINTREL_WINDRES");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("no resource compiler"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace quintrel::cli
