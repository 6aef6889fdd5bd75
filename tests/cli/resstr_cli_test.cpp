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
  auto r = Succeeds(In({"resstr", "add", "--unit", "errors.rc", "SE_Busy", "--text", "Busy \"now\"", "--translation",
                        "de=Beschäftigt", "--translation", "ru=Занят"}));
  EXPECT_THAT(r.out,
              HasSubstr("changed " + Path("project/Errors.rc") + " (backup " + Path("project/Errors.~rc") + ")"));
  EXPECT_THAT(r.out, HasSubstr("changed " + Path("project/Sample.ZOD")));
  EXPECT_EQ(File("Errors.~rc"), before);
  EXPECT_LT(File("Errors.pas").find("  SE_Busy = 1004;"), File("Errors.pas").find("  SE_CannotRead = 1001;"));
  Ok(In({"resstr", "add", "--unit", "AppText.pas", "SBusy", "--text", "Busy", "--translation", "de=Belegt"}));

  const std::map<std::string, std::vector<std::string>> expected = {
      {"en", {"1004 Errors.rc SE_Busy = Busy \"now\"", "AppText.pas SBusy = Busy"}},
      {"de", {"1004 Errors.rc SE_Busy = Beschäftigt", "AppText.pas SBusy = Belegt"}},
      {"ru", {"1004 Errors.rc SE_Busy = Занят", "AppText.pas SBusy = Busy"}}};
  for (const auto& [language, lines] : expected) {
    r = Succeeds(Run({"preview", "--project", project_, "--lang", language, "--resstrings"}));
    for (const std::string& line : lines) EXPECT_NE(r.out.find(line), std::string::npos) << language << ": " << line;
  }

  r = Succeeds(In({"resstr", "list", "--unit", "Errors.rc", "--json"}));
  const nlohmann::json rows = nlohmann::json::parse(r.out);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[3]["identifier"], "SE_Busy");
  EXPECT_EQ(rows[3]["number"], 1004);

  EXPECT_THAT(Refused(In({"resstr", "remove", "--unit", "Errors.rc", "SE_Busy"})),
              HasSubstr("quintrel: Do you want to remove the resource string 'SE_Busy' ?\n"));
  EXPECT_THAT(Ok(In({"resstr", "remove", "--unit", "Errors.rc", "SE_Busy", "--yes", "--dry-run"})),
              HasSubstr("would change " + Path("project/Errors.rc")));
  EXPECT_NE(File("Errors.rc").find("SE_Busy"), std::string::npos);
  r = In({"resstr", "list", "--unit", "Errors.rc"});
  EXPECT_NE(r.out.find("SE_Busy"), std::string::npos);  // the dry run left the module as it was
  Ok(In({"resstr", "remove", "--unit", "Errors.rc", "SE_Busy", "--yes"}));
  EXPECT_EQ(File("Errors.rc"), before);
}

TEST_F(ResStrCommand, UnitsLiteralsAndRefusals) {
  auto r = Succeeds(In({"resstr", "units"}));
  EXPECT_THAT(r.out, HasSubstr("\tAppText.pas\tpas\t"));
  EXPECT_THAT(r.out, HasSubstr("\tErrors.rc\trc\t"));
  EXPECT_THAT(Ok(In({"resstr", "unit-add", "Messages"})), HasSubstr("\tMessages.pas\tpas\t"));
  EXPECT_FALSE(fs::exists(Path("project/Messages.pas")));  // written with its first string
  EXPECT_THAT(Ok(In({"resstr", "add", "--unit", "Messages.pas", "SOne", "--text", "one"})),
              HasSubstr("created " + Path("project/Messages.pas")));
  EXPECT_EQ(Refused(In({"resstr", "add", "--unit", "Messages.pas", "sone", "--text", "again"})),
            "quintrel: Resource String Constant already exist in this unit\n");
  r = In({"resstr", "add", "--unit", "Messages.pas", "9x", "--text", "x"});
  EXPECT_EQ(r.err, "quintrel: Invalid resource string identifier\n");
  Ok(In({"resstr", "unit-remove", "Messages.pas", "--yes"}));
  EXPECT_TRUE(fs::exists(Path("project/Messages.pas")));  // the files stay

  EXPECT_EQ(Run({"resstr", "literal", "--kind", "pas", "It's\r\n"}).out, "'It''s'#13#10\n");
  EXPECT_EQ(Run({"resstr", "literal", "--kind", "rc", "a\"b\\\tc"}).out, "\"a\\\"b\\\\\\tc\"\n");
}

// A unit the command creates is named in the C++ project (source and object files), so
// its strings reach the string table; its last string takes it out again, byte for byte.
TEST_F(ResStrCommand, ANewUnitJoinsTheProjectAndLeavesItWithItsLastString) {
  const std::string source = File("Sample.cpp"), makefile = File("Sample.bpr");
  Ok(In({"resstr", "unit-add", "Notes.rc"}));
  EXPECT_THAT(Ok(In({"resstr", "add", "--unit", "Notes.rc", "SNote", "--text", "A note"})),
              HasSubstr("changed " + Path("project/Sample.cpp") + " (backup " + Path("project/Sample.~cp") + ")"));
  EXPECT_EQ(File("Sample.~cp"), source);
  EXPECT_NE(File("Sample.cpp").find("USERC(\"Errors.rc\");\r\nUSEUNIT(\"Notes.pas\");\r\nUSERC(\"Notes.rc\");\r\n"),
            std::string::npos);
  EXPECT_NE(File("Sample.bpr").find(" Errors.obj Notes.obj\r\n"), std::string::npos);
  auto r = Run({"project", "strings", project_});
  EXPECT_THAT(r.out, HasSubstr("1004\tNotes.rc\tSNote\tA note\n"));

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

  Ok(In({"resstr", "remove", "--unit", "Notes.rc", "SNote", "--yes"}));
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
  EXPECT_THAT(res, HasSubstr(wide));
  setenv("QUINTREL_WINDRES", "/nonexistent/windres", 1);
  r = In({"resstr", "compile", "--unit", "Errors.rc"});
  unsetenv("QUINTREL_WINDRES");
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr("no resource compiler"));
}

}  // namespace
}  // namespace quintrel::cli
