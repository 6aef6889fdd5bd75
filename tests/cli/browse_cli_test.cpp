// quintrel browse on the bundled example project and on synthetic ones: forms, a form's
// tree, the module's catalogue as a selection, and editing selection files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>

#include "tests/cli/run.h"
#include "tests/testdata.h"

namespace quintrel::cli {
namespace {

using test::CliFixture;
namespace fs = std::filesystem;

class BrowseCommands : public CliFixture {
protected:
  void WriteProject() const {
    Write("App.bpr", "OBJFILES = App.obj\r\n");
    Write("App.cpp", "USEFORM(\"Main.cpp\", MainForm);\r\n");
    Write("Main.cpp", "");
    Write("Main.dfm",
          "object MainForm: TMainForm\r\n"
          "  Caption = 'Main'\r\n"
          "  object Label1: TLabel\r\n    Caption = 'A'\r\n    Hint = ''\r\n  end\r\n"
          "  object Image1: TImage\r\n    Picture.Data = {07544269746D61700400000001020304}\r\n  end\r\n"
          "end\r\n");
  }
  std::string Project() const { return Path("App.bpr"); }
};

TEST_F(BrowseCommands, FormsAndTheTreeOfOneForm) {
  WriteProject();
  EXPECT_EQ(Ok({"browse", "forms", "--project", Project()}), "MainForm: TMainForm  2  Main.dfm (text)\n");

  auto r = Succeeds(Run({"browse", "form", "mainform", "--project", Project()}));
  EXPECT_EQ(r.out.rfind("MainForm: TMainForm\n", 0), 0u) << r.out;
  EXPECT_THAT(r.out, HasSubstr("\n  Label1: TLabel\n    Name = 'Label1'\n"));
  EXPECT_THAT(r.out, HasSubstr("    Picture.Data = {TBitmap 00000004}  (4 bytes attached)\n"));

  r = Succeeds(Run({"browse", "form", "MainForm", "--json", "--project", Project()}));
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["unitIndex"], 2);
  bool picture = false;
  for (const auto& c : j["components"])
    for (const auto& p : c["properties"])
      if (p["path"] == "Picture.Data") {
        EXPECT_EQ(p["data"], "AQIDBA==");
        EXPECT_EQ(p["size"], 4);
        picture = true;
      }
  EXPECT_TRUE(picture);

  EXPECT_THAT(Refused({"browse", "form", "Nothing", "--project", Project()}),
              HasSubstr("the project has no form Nothing; its forms are: MainForm"));
}

TEST_F(BrowseCommands, AutoSelectUnselectEditOneSelectionFile) {
  WriteProject();
  const std::string sel = Path("sel.json");
  EXPECT_THAT(Ok({"browse", "auto", "--project", Project(), "-o", sel}), HasSubstr(sel + ": 1 forms, "));
  auto j = nlohmann::json::parse(Slurp(sel));
  ASSERT_EQ(j["forms"].size(), 1u);
  const auto& comps = j["forms"][0]["components"];
  ASSERT_EQ(comps.size(), 2u);
  EXPECT_EQ(comps[0]["name"], "Label1");
  ASSERT_EQ(comps[0]["properties"].size(), 1u) << "the empty hint is left out";
  EXPECT_EQ(comps[1]["properties"][0]["data"], "AQIDBA==");

  // --dry-run writes nothing; select adds to the file; a path that names nothing fails.
  const std::string before = Slurp(sel);
  Ok({"browse", "select", "MainForm.Label1.Hint", "--project", Project(), "-o", sel, "--dry-run"});
  EXPECT_EQ(Slurp(sel), before);
  Ok({"browse", "select", "MainForm.Label1.Hint", "MainForm.Tag", "--project", Project(), "-o", sel});
  j = nlohmann::json::parse(Slurp(sel));
  EXPECT_EQ(j["forms"][0]["components"][0]["properties"][1]["path"], "Hint");
  EXPECT_THAT(Refused({"browse", "select", "MainForm.Label1.Nope", "--project", Project(), "-o", sel}),
              HasSubstr("nothing at MainForm.Label1.Nope"));

  // A property with a value goes without a question; the file shrinks.
  Ok({"browse", "unselect", "MainForm.Label1.Hint", "-o", sel});
  EXPECT_EQ(Slurp(sel).find("\"Hint\""), std::string::npos);
}

TEST_F(BrowseCommands, RemovingACataloguedPropertyAsksFirst) {
  const std::string sel = Path("sel.json");
  Write("sel.json", R"({"format": "quintrel-selection", "version": 1, "forms": [
    {"name": "MainForm", "components": [{"name": "Label1", "class": "TLabel",
      "properties": [{"path": "Caption"}, {"path": "Hint", "value": "'h'"}]}]}]})");
  const std::string before = Slurp(sel);
  EXPECT_THAT(Refused({"browse", "unselect", "MainForm.Label1", "-o", sel}),
              HasSubstr("quintrel: You are about to remove a property which you have internationalized, do you "
                        "really want to remove it?\n"));
  EXPECT_EQ(Slurp(sel), before);
  Ok({"browse", "unselect", "MainForm.Label1", "-o", sel, "--yes"});
  EXPECT_EQ(nlohmann::json::parse(Slurp(sel))["forms"].size(), 0u) << "the form went with its last component";
}

TEST_F(BrowseCommands, HostileSelectionFilesAreRefusedWithOneLine) {
  WriteProject();
  const std::string sel = Path("sel.json");
  Write("sel.json", R"({"format": "quintrel-selection", "version": 1, "forms": [{"name": "MainForm",
    "properties": [{"path": "Icon.Data", "value": "{TIcon FFFFFFFF}", "data": "AA=="}]}]})");
  EXPECT_EQ(Refused({"browse", "select", "MainForm.Caption", "--project", Project(), "-o", sel}),
            "quintrel: " + sel + ": forms[0].properties[0]: the value counts 4294967295 bytes but 1 are attached\n");
  fs::create_directory(Path("dir.json"));
  auto r = Run({"browse", "unselect", "MainForm", "-o", Path("dir.json")});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

TEST_F(BrowseCommands, SelectedShowsTheModulesCatalogue) {
  WriteProject();
  Ok({"module", "new", "--project", Project()});
  Ok({"object", "add", "--project", Project(), "MainForm", "Label1", "Caption"});
  EXPECT_EQ(Ok({"browse", "selected", "--project", Project()}), "MainForm\n  Label1\n    Caption\n");
  auto r = Succeeds(Run({"browse", "selected", "--json", "--project", Project()}));
  EXPECT_EQ(nlohmann::json::parse(r.out)["forms"][0]["components"][0]["properties"][0], nlohmann::json({{"path", "Caption"}}));
}

// Real projects with text and binary forms: every form the browser lists is loaded and
// catalogued by the default list, the picked paths are all on it, and the file reads back.
TEST_F(BrowseCommands, AutoOnRealProjectsTakesEveryForm) {
  const std::set<std::string> defaults = {"Caption", "Caption[*]", "Columns.Items[*].Title", "DisplayLabel", "FileName",
                                          "Glyph.Data", "Hint", "Hints.Strings[*]", "Items.Strings[*]",
                                          "Lines.Strings[*]", "Picture.Data", "Panels.Items[*].Text",
                                          "ShowLanguageSelectionInSystemMenu", "SystemMenuCloseCaption",
                                          "SystemMenuMaximizeCaption", "SystemMenuMinimizeCaption",
                                          "SystemMenuMoveCaption", "SystemMenuNextWindowCaption",
                                          "SystemMenuPrevWindowCaption", "SystemMenuRestoreCaption",
                                          "SystemMenuSizeCaption", "SystemMenuTaskListCaption", "Tabs.Strings[*]", "Text"};
  const auto starred = [](std::string path) {
    for (size_t open = path.find('['); open != std::string::npos; open = path.find('[', open + 1))
      path.replace(open + 1, path.find(']', open) - open - 1, "*");
    return path;
  };
  int binary = 0, text = 0;
  for (const char* name : {"delphiforfun__tilefit3", "equas-calc__equations_calculette8"}) {
    SCOPED_TRACE(name);
    const std::string project = (testdata::DataDir() / "src/projects" / name).string();
    ASSERT_TRUE(fs::is_directory(project)) << "test data missing: " << project;
    auto r = Succeeds(Run({"browse", "forms", "--json", "--project", project}));
    const auto forms = nlohmann::json::parse(r.out);
    ASSERT_GE(forms.size(), 5u);
    for (const auto& f : forms) ++(f["notation"] == "binary" ? binary : text);

    const std::string sel = Path(std::string(name) + ".json");
    Ok({"browse", "auto", "--project", project, "-o", sel});
    const auto j = nlohmann::json::parse(Slurp(sel));
    ASSERT_EQ(j["forms"].size(), forms.size());
    for (size_t i = 0; i < forms.size(); ++i) {
      EXPECT_EQ(j["forms"][i]["name"], forms[i]["name"]);
      EXPECT_EQ(j["forms"][i]["class"], forms[i]["class"]);
      std::vector<nlohmann::json> owners = {j["forms"][i]};
      for (const auto& c : j["forms"][i]["components"]) owners.push_back(c);
      for (const auto& owner : owners)
        for (const auto& p : owner["properties"]) {
          EXPECT_TRUE(defaults.count(starred(p["path"]))) << p["path"];
          EXPECT_NE(p["value"], "''") << p["path"];
        }
    }
    // The file reads back: unselecting nothing that is there fails on the path, not the file.
    r = Run({"browse", "unselect", "NoSuchForm", "-o", sel});
    EXPECT_EQ(r.err, "quintrel: " + sel + ": nothing at NoSuchForm\n");
  }
  EXPECT_GT(binary, 0);
  EXPECT_GT(text, 0);
}

}  // namespace
}  // namespace quintrel::cli
