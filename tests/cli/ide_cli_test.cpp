// quintrel globalization and ide on a copy of the example project: the module created and
// put aside, the add-in's menu, and designer changes reaching the module.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/cli/run.h"

namespace quintrel::cli {
namespace {

namespace fs = std::filesystem;

class IdeCommand : public test::CliFixture {
protected:
  static void SetUpTestSuite() {
    const fs::path root = fs::path(__FILE__).parent_path().parent_path().parent_path();
    module_ = (fs::temp_directory_path() / ("quintrel-ide-" + std::to_string(getpid()) + ".ZOD")).string();
    const std::string command = Quote((root / "scripts" / "build-example-module").string()) + " " +
                                Quote(QUINTREL_CLI) + " " + Quote(module_) + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  static void TearDownTestSuite() { fs::remove(module_); }
  void SetUp() override {
    CliFixture::SetUp();
    const fs::path root = fs::path(__FILE__).parent_path().parent_path().parent_path();
    fs::copy(root / "examples" / "project", dir_ / "project");
    project_ = Path("project");
  }
  test::TRunResult In(std::vector<std::string> args) {
    args.insert(args.begin() + 2, {"--project", project_});
    return Run(args);
  }
  nlohmann::json Menu() {
    const auto r = In({"ide", "menu", "--json"});
    EXPECT_EQ(r.code, 0) << r.err;
    return nlohmann::json::parse(r.out);
  }
  std::string project_;
  static inline std::string module_;
};

TEST_F(IdeCommand, GlobalizationIsAddedAndPutAside) {
  nlohmann::json menu = Menu();
  EXPECT_EQ(menu["caption"], "Globali&zation");
  ASSERT_EQ(menu["items"].size(), 13u);
  EXPECT_EQ(menu["items"][0]["caption"], "Add &globalization support");
  EXPECT_EQ(menu["items"][2]["enabled"], false);
  EXPECT_EQ(menu["items"][6]["shortcut"], "Ctrl+Ins");

  // The design language has to be named: no module keeps a placeholder language.
  EXPECT_EQ(In({"globalization", "add"}).code, 2);
  auto r = In({"globalization", "add", "--language", "en", "--name", "English"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "created " + Path("project/Sample.ZOD") + " (design language en)\n");
  r = Run({"lang", "list", Path("project/Sample.ZOD")});
  EXPECT_NE(r.out.find("English"), std::string::npos);
  EXPECT_EQ(r.out.find("##"), std::string::npos) << r.out;
  menu = Menu();
  EXPECT_EQ(menu["items"][0]["caption"], "Project settings");
  EXPECT_EQ(menu["items"][2]["enabled"], true);
  r = In({"globalization", "add", "--language", "de"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "quintrel: " + Path("project/Sample.ZOD") + ": the project is globalized already\n");

  // Removing asks first, and never deletes the module.
  r = In({"globalization", "remove"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "quintrel: Confirm that you want to permanently remove all globalization work\n");
  EXPECT_TRUE(fs::exists(Path("project/Sample.ZOD")));
  r = In({"globalization", "remove", "--yes"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_FALSE(fs::exists(Path("project/Sample.ZOD")));
  EXPECT_TRUE(fs::exists(Path("project/Sample.~lm")));
  EXPECT_EQ(In({"globalization", "remove", "--yes"}).code, 1);
}

// The module as the designer leaves it after a rename, a caption changed and a save.
TEST_F(IdeCommand, DesignerChangesReachTheModule) {
  fs::copy_file(module_, Path("project/sample.zod"));  // found ignoring case
  auto r = In({"ide", "notify", "component-renamed", "Main.cpp", "TitleLabel", "HeadingLabel"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("changed " + Path("project/Main.dfm")), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("changed " + Path("project/sample.zod")), std::string::npos) << r.out;
  r = Run({"object", "list", Path("project/sample.zod"), "--form", "MainForm", "--lang", "de"});
  EXPECT_NE(r.out.find("HeadingLabel"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("TitleLabel"), std::string::npos) << r.out;

  // Deleting a component the module never catalogued keeps the form's texts.
  const std::string before = r.out;
  r = In({"ide", "notify", "component-inserted", "Main.cpp", "TButton", "HelpButton"});
  ASSERT_EQ(r.code, 0) << r.err;
  r = In({"ide", "notify", "component-deleted", "Main.cpp", "HelpButton"});
  ASSERT_EQ(r.code, 0) << r.err;
  r = Run({"object", "list", Path("project/sample.zod"), "--form", "MainForm", "--lang", "de"});
  EXPECT_EQ(r.out, before);

  EXPECT_EQ(In({"ide", "notify", "component-renamed", "Main.cpp"}).code, 1);
  EXPECT_EQ(In({"ide", "notify", "no-such-event"}).code, 1);
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
  auto r = In({"ide", "replay", Path("session.txt")});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("changed " + Path("project/About.dfm")), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("changed " + Path("project/Sample.ZOD")), std::string::npos) << r.out;
  r = Run({"object", "list", Path("project/Sample.ZOD"), "--form", "AboutBox", "--lang", "en", "--lang", "de",
           "--json"});
  ASSERT_EQ(r.code, 0) << r.err;
  bool found = false;
  for (const auto& row : nlohmann::json::parse(r.out)) {
    if (row.dump().find("CloseButton") == std::string::npos) continue;
    found = true;
    EXPECT_NE(row.dump().find("&Close it"), std::string::npos) << row.dump();
  }
  EXPECT_TRUE(found) << r.out;
  EXPECT_EQ(r.out.find("OKButton"), std::string::npos) << r.out;

  // A mistake in a script is found before anything is done.
  std::ofstream(Path("bad.txt")) << "rename About.cpp CloseButton DoneButton\nrename About.cpp\n";
  r = In({"ide", "replay", Path("bad.txt")});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "quintrel: " + Path("bad.txt") + ":2: rename takes UNIT OLD NEW\n");
  EXPECT_EQ(Slurp(Path("project/About.dfm")).find("DoneButton"), std::string::npos);
}

// Menu items clicked from the command line run the tools behind them on the add-in's
// project, as their dialogs would.
TEST_F(IdeCommand, InvokedItemsRunTheirTools) {
  auto r = In({"ide", "invoke", "Resource Strings", "resstr", "units"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "quintrel: the menu item Resource Strings is not enabled\n");
  EXPECT_EQ(In({"ide", "invoke", "Spell Checker"}).code, 1);

  // Without a module the project item makes one; the arguments go to the tool.
  r = In({"ide", "invoke", "add globalization support", "--language", "en", "--name", "English"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "created " + Path("project/Sample.ZOD") + " (design language en)\n");
  r = In({"ide", "invoke", "GlobalizationProjectMenu", "--auto-include", "off", "--json"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(nlohmann::json::parse(r.out)["auto-include"], false) << r.out;

  // A wizard of several tools is told which; the tool's own failures are the item's.
  r = In({"ide", "invoke", "quality assurance wizard"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("Quality Assurance Wizard: name the tool to run: pseudo, validate"), std::string::npos) << r.err;
  r = In({"ide", "invoke", "Internationalization Wizard", "update", "--auto"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("objects added"), std::string::npos) << r.out;
  r = In({"ide", "invoke", "localization wizard", "stats", "--lang", "en"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Localization Items in total: 108"), std::string::npos) << r.out;
  EXPECT_EQ(In({"ide", "invoke", "localization wizard", "stats", "--lang", "xx"}).code, 1);

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
  r = In({"ide", "invoke", "localization wizard", "stats", "--help"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("quintrel stats"), std::string::npos) << r.out;
  EXPECT_EQ(In({"ide", "invoke"}).code, 2);
  r = In({"ide", "invoke", "about"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "Quintrel Suite 2 Expert");
  const std::string commit = r.out.substr(r.out.find("commit ") + 7, r.out.find('\n', r.out.find("commit ")) - r.out.find("commit ") - 7);
  EXPECT_FALSE(commit.empty()) << r.out;
  EXPECT_NE(Run({"--version"}).out.find("(commit " + commit + ")"), std::string::npos) << "the same build as --version";
  EXPECT_NE(In({"ide", "invoke", "Follow Me"}).out.find("getting-started"), std::string::npos);
}

}  // namespace
}  // namespace quintrel::cli
