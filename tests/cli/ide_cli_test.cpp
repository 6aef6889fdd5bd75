// quintrel globalization and ide on a copy of the example project: the module created and
// put aside, the add-in's menu, and designer changes reaching the module.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/cli/example_project.h"

namespace quintrel::cli {
namespace {

namespace fs = std::filesystem;

// The example project without its module, which a test copies in where it needs one.
class IdeCommand : public test::ExampleProjectFixture {
protected:
  void SetUp() override {
    ExampleProjectFixture::SetUp();
    fs::remove(Path("project/Sample.ZOD"));
  }
  // The ide commands take the project before the words they hand on.
  test::TRunResult In(std::vector<std::string> args) {
    args.insert(args.begin() + 2, {"--project", project_});
    return Run(args);
  }
  nlohmann::json Menu() { return nlohmann::json::parse(Ok(In({"ide", "menu", "--json"}))); }
};

TEST_F(IdeCommand, GlobalizationIsAddedAndPutAside) {
  nlohmann::json menu = Menu();
  EXPECT_EQ(menu["caption"], "Globali&zation");
  ASSERT_EQ(menu["items"].size(), 13u);
  EXPECT_EQ(menu["items"][0]["caption"], "Add &globalization support");
  EXPECT_EQ(menu["items"][2]["enabled"], false);
  EXPECT_EQ(menu["items"][6]["shortcut"], "Ctrl+Ins");

  // The design language has to be named: no module keeps a placeholder language.
  Refused(In({"globalization", "add"}), 2);
  EXPECT_EQ(Ok(In({"globalization", "add", "--language", "en", "--name", "English"})),
            "created " + Path("project/Sample.ZOD") + " (design language en)\n");
  auto r = Run({"lang", "list", Path("project/Sample.ZOD")});
  EXPECT_THAT(r.out, HasSubstr("English"));
  EXPECT_EQ(r.out.find("##"), std::string::npos) << r.out;
  menu = Menu();
  EXPECT_EQ(menu["items"][0]["caption"], "Project settings");
  EXPECT_EQ(menu["items"][2]["enabled"], true);
  EXPECT_EQ(Refused(In({"globalization", "add", "--language", "de"})),
            "quintrel: " + Path("project/Sample.ZOD") + ": the project is globalized already\n");

  // Removing asks first, and never deletes the module.
  EXPECT_EQ(Refused(In({"globalization", "remove"})),
            "quintrel: Confirm that you want to permanently remove all globalization work\n");
  EXPECT_TRUE(fs::exists(Path("project/Sample.ZOD")));
  Ok(In({"globalization", "remove", "--yes"}));
  EXPECT_FALSE(fs::exists(Path("project/Sample.ZOD")));
  EXPECT_TRUE(fs::exists(Path("project/Sample.~lm")));
  Refused(In({"globalization", "remove", "--yes"}));
}

// The module as the designer leaves it after a rename, a caption changed and a save.
TEST_F(IdeCommand, DesignerChangesReachTheModule) {
  fs::copy_file(module_, Path("project/sample.zod"));  // found ignoring case
  auto r = Succeeds(In({"ide", "notify", "component-renamed", "Main.cpp", "TitleLabel", "HeadingLabel"}));
  EXPECT_THAT(r.out, HasSubstr("changed " + Path("project/Main.dfm")));
  EXPECT_THAT(r.out, HasSubstr("changed " + Path("project/sample.zod")));
  r = Run({"object", "list", Path("project/sample.zod"), "--form", "MainForm", "--lang", "de"});
  EXPECT_THAT(r.out, HasSubstr("HeadingLabel"));
  EXPECT_EQ(r.out.find("TitleLabel"), std::string::npos) << r.out;

  // Deleting a component the module never catalogued keeps the form's texts.
  const std::string before = r.out;
  Ok(In({"ide", "notify", "component-inserted", "Main.cpp", "TButton", "HelpButton"}));
  Ok(In({"ide", "notify", "component-deleted", "Main.cpp", "HelpButton"}));
  EXPECT_EQ(Run({"object", "list", Path("project/sample.zod"), "--form", "MainForm", "--lang", "de"}).out, before);

  Refused(In({"ide", "notify", "component-renamed", "Main.cpp"}));
  Refused(In({"ide", "notify", "no-such-event"}));
}

// A replayed designer session: the button renamed, its caption changed, the form saved.
TEST_F(IdeCommand, AReplayedSessionKeepsTheModuleInStep) {
  fs::copy_file(module_, Path("project/Sample.ZOD"));
  std::ofstream(Path("session.txt")) << "# rename the about box's button and give it a new caption\n"
                                        "open About.cpp\n"
                                        "rename About.cpp OKButton CloseButton\n"
                                        "set About.cpp CloseButton Caption \"&Close it\"\n"
                                        "save About.cpp\n"
                                        "close About.cpp\n";
  auto r = Succeeds(In({"ide", "replay", Path("session.txt")}));
  EXPECT_THAT(r.out, HasSubstr("changed " + Path("project/About.dfm")));
  EXPECT_THAT(r.out, HasSubstr("changed " + Path("project/Sample.ZOD")));
  r = Succeeds(Run(
      {"object", "list", Path("project/Sample.ZOD"), "--form", "AboutBox", "--lang", "en", "--lang", "de", "--json"}));
  bool found = false;
  for (const auto& row : nlohmann::json::parse(r.out)) {
    if (row.dump().find("CloseButton") == std::string::npos) continue;
    found = true;
    EXPECT_THAT(row.dump(), HasSubstr("&Close it"));
  }
  EXPECT_TRUE(found) << r.out;
  EXPECT_EQ(r.out.find("OKButton"), std::string::npos) << r.out;

  // A mistake in a script is found before anything is done.
  std::ofstream(Path("bad.txt")) << "rename About.cpp CloseButton DoneButton\nrename About.cpp\n";
  EXPECT_EQ(Refused(In({"ide", "replay", Path("bad.txt")})),
            "quintrel: " + Path("bad.txt") + ":2: rename takes UNIT OLD NEW\n");
  EXPECT_EQ(Slurp(Path("project/About.dfm")).find("DoneButton"), std::string::npos);
}

// Menu items clicked from the command line run the tools behind them on the add-in's
// project, as their dialogs would.
TEST_F(IdeCommand, InvokedItemsRunTheirTools) {
  EXPECT_EQ(Refused(In({"ide", "invoke", "Resource Strings", "resstr", "units"})),
            "quintrel: the menu item Resource Strings is not enabled\n");
  Refused(In({"ide", "invoke", "Spell Checker"}));

  // Without a module the project item makes one; the arguments go to the tool.
  EXPECT_EQ(Ok(In({"ide", "invoke", "add globalization support", "--language", "en", "--name", "English"})),
            "created " + Path("project/Sample.ZOD") + " (design language en)\n");
  auto r = Succeeds(In({"ide", "invoke", "GlobalizationProjectMenu", "--auto-include", "off", "--json"}));
  EXPECT_EQ(nlohmann::json::parse(r.out)["auto-include"], false) << r.out;

  // A wizard of several tools is told which; the tool's own failures are the item's.
  EXPECT_THAT(Refused(In({"ide", "invoke", "quality assurance wizard"}), 2),
              HasSubstr("Quality Assurance Wizard: name the tool to run: pseudo, validate"));
  EXPECT_THAT(Ok(In({"ide", "invoke", "Internationalization Wizard", "update", "--auto"})), HasSubstr("objects added"));
  EXPECT_THAT(Ok(In({"ide", "invoke", "localization wizard", "stats", "--lang", "en"})),
              HasSubstr("Localization Items in total: 108"));
  Refused(In({"ide", "invoke", "localization wizard", "stats", "--lang", "xx"}));

  // The editor is there or says it is not; help and about show their texts.
  const bool editor = Run({"help", "edit"}).code == 0;
  r = In({"ide", "invoke", "Translation Editor", "--no-such-option"});
  if (editor) {
    EXPECT_EQ(r.code, 2) << "the editor itself refuses the option: " << r.err;
  } else {
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "quintrel: Translation Editor: not available in this version\n");
  }
  // Help after the item is the tool's; no item is a usage error.
  EXPECT_THAT(Ok(In({"ide", "invoke", "localization wizard", "stats", "--help"})), HasSubstr("quintrel stats"));
  Refused(In({"ide", "invoke"}), 2);
  r = Succeeds(In({"ide", "invoke", "about"}));
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "Quintrel Suite 2 Expert");
  const std::string commit = r.out.substr(r.out.find("commit ") + 7, r.out.find('\n', r.out.find("commit ")) - r.out.find("commit ") - 7);
  EXPECT_FALSE(commit.empty()) << r.out;
  EXPECT_NE(Run({"--version"}).out.find("(commit " + commit + ")"), std::string::npos) << "the same build as --version";
  EXPECT_NE(In({"ide", "invoke", "Follow Me"}).out.find("getting-started"), std::string::npos);
}

}  // namespace
}  // namespace quintrel::cli
