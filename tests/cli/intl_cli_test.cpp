// Internationalizing a project from the command line: the start-up options, the object
// tree and its settings, and the catalogue update from a selection.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "tests/cli/run.h"

namespace quintrel::cli {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

class IntlCommands : public test::CliFixture {
protected:
  // A Delphi project of one form and its module with the languages en (design) and de.
  void WriteProject(const std::string& dfm) {
    Write("App.dpr", "program App;\r\nuses\r\n  Main in 'Main.pas' {MainForm};\r\nbegin\r\nend.\r\n");
    Write("Main.pas", "unit Main;\r\ninterface\r\nimplementation\r\nend.\r\n");
    Write("Main.dfm", dfm);
    project_ = Path("App.dpr");
    module_ = Path("App.zod");
    Ok({"module", "new", module_});
    Ok({"lang", "add", module_, "en", "--name", "English"});
    Ok({"lang", "add", module_, "de", "--name", "German"});
    Ok({"module", "set", module_, "design-language", "en"});
  }
  static constexpr const char* kMainForm =
      "object MainForm: TForm\r\n"
      "  Caption = 'Addresses'\r\n"
      "  object OkButton: TButton\r\n    Caption = 'OK'\r\n    Hint = 'Saves'\r\n  end\r\n"
      "  object NameLabel: TLabel\r\n    Caption = 'Name'\r\n  end\r\n"
      "end\r\n";
  std::string project_, module_;
};

TEST_F(IntlCommands, TheFormsOwnPropertiesAreCataloguedWithoutAComponent) {
  WriteProject(kMainForm);
  const std::string id = Ok({"object", "add", "--project", project_, "MainForm", "", "Caption"});
  // Found again under the form itself, not added a second time.
  EXPECT_EQ(Ok({"object", "add", "--project", project_, "MAINFORM", "", "Caption"}), id);
  const json tree = json::parse(Ok({"intl", "objects", "--project", project_, "--json"}));
  ASSERT_EQ(tree.size(), 1u);
  ASSERT_EQ(tree[0]["properties"].size(), 1u);
  EXPECT_TRUE(tree[0]["properties"][0]["component"].is_null());
  // The translator reads such an object: the caption previews translated.
  Ok({"term", "set", "--project", project_, "de", "--object", id.substr(0, id.find('\n')), "Adressen"});
  const std::string shown = Ok({"preview", "--project", project_, "--lang", "de"});
  EXPECT_THAT(shown, HasSubstr("Caption = 'Adressen'"));
}

TEST_F(IntlCommands, StartupOptionsAreShownAndChanged) {
  WriteProject(kMainForm);
  EXPECT_EQ(Ok({"module", "startup", module_}),
            "Default language: none\nSave between sessions: off\nWin32 user locale setting: off\nLanguages: en, de\n");
  test::TRunResult r = Run({"module", "startup", module_, "--default", "de", "--save-session", "on",
                            "--win32-locale", "yes", "--json"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_THAT(r.err, HasSubstr("start-up options changed"));
  EXPECT_EQ(json::parse(r.out),
            (json{{"defaultLanguage", "de"}, {"saveSession", true}, {"win32Locale", true}, {"languages", {"en", "de"}}}));
  const json none = json::parse(Ok({"module", "startup", "--module", module_, "--default", "none", "--json"}));
  EXPECT_TRUE(none["defaultLanguage"].is_null());
  EXPECT_EQ(none["saveSession"], true);
  EXPECT_NE(Refused({"module", "startup", module_, "--default", "fr"}).find("no language fr"), std::string::npos);
}

TEST_F(IntlCommands, ObjectSettingsApplyToTheWholeSubtree) {
  WriteProject(kMainForm);
  for (const auto& [comp, prop] : std::vector<std::pair<std::string, std::string>>{
           {"", "Caption"}, {"OkButton", "Caption"}, {"OkButton", "Hint"}, {"NameLabel", "Caption"}})
    Ok({"object", "add", "--module", module_, "MainForm", comp, prop});
  // A component: both of its properties, nothing of the next component.
  EXPECT_EQ(Ok({"intl", "object-set", "--module", module_, "MainForm.okbutton", "--locked", "on", "--priority", "7"}),
            module_ + ": 2 objects changed\n");
  // A property of the form itself; then every property of the form.
  Ok({"intl", "object-set", "--module", module_, "MainForm.Caption", "--comment", "Title bar"});
  Ok({"intl", "object-set", "--module", module_, "MainForm", "--class", "TLabel"});
  const std::string tree = Ok({"intl", "objects", "--module", module_});
  EXPECT_THAT(tree, HasSubstr("MainForm (4 properties)\n  Caption: object "));
  EXPECT_THAT(tree, HasSubstr(", ucLabel, priority 0, comment: Title bar\n  OkButton\n    Caption: object "));
  EXPECT_THAT(tree, HasSubstr(", ucLabel, locked, priority 7\n    Hint: object "));
  EXPECT_THAT(tree, HasSubstr("  NameLabel\n    Caption: object "));
  EXPECT_EQ(tree.find("NameLabel\n    Caption: object 1048563, ucLabel, locked"), std::string::npos) << tree;
  // An emptied comment is gone; a setting that changes nothing changes no object.
  Ok({"intl", "object-set", "--module", module_, "MainForm.Caption", "--comment", ""});
  EXPECT_EQ(Ok({"intl", "object-set", "--module", module_, "MainForm.Caption", "--class", "ucLabel"}),
            module_ + ": 0 objects changed\n");
  const json listed = json::parse(Ok({"intl", "objects", "--module", module_, "--form", "mainform", "--json"}));
  EXPECT_EQ(listed[0]["properties"][0]["comment"], "");

  EXPECT_NE(Refused({"intl", "object-set", "--module", module_, "MainForm.Nothing", "--locked", "on"})
                .find("form MainForm has no catalogued component or property Nothing; it has: Caption, OkButton, "
                      "NameLabel"),
            std::string::npos);
  EXPECT_NE(Refused({"intl", "object-set", "--module", module_, "Other", "--locked", "on"})
                .find("no form Other in the catalogue; it has: MainForm"),
            std::string::npos);
  EXPECT_NE(Refused({"intl", "object-set", "--module", module_, "MainForm"}).find("give at least one of"),
            std::string::npos);
}

// A selection of MainForm's caption and the button's caption (and hint).
std::string Selection(bool withHint = true) {
  return std::string(R"({"format": "quintrel-selection", "version": 1, "forms": [
  {"name": "MainForm", "class": "TForm", "properties": [{"path": "Caption", "value": "'Addresses'"}],
   "components": [{"name": "OkButton", "class": "TButton", "properties": [
     {"path": "Caption", "value": "'OK'"})") +
         (withHint ? R"(, {"path": "Hint", "value": "'Saves'"})" : "") + "]}]}]}";
}

TEST_F(IntlCommands, UpdateKeepsTheModuleInStepWithTheForms) {
  WriteProject(kMainForm);
  Write("sel.json", Selection());
  const std::vector<std::string> update{"intl", "update", "--project", project_, "--selection", Path("sel.json")};
  EXPECT_EQ(Ok(update), "Total nr of properties updated: 3\n" + module_ +
                            ": 3 objects added, 3 texts added, 0 design texts captured, 0 removed, 0 moved to the "
                            "form itself\n");
  EXPECT_EQ(Ok(update), "Total nr of properties updated: 3\n" + module_ + ": unchanged\n");

  json rows = json::parse(Ok({"object", "list", "--project", project_, "--json"}));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0]["component"], "");
  EXPECT_EQ(rows[0]["class"], "ucForm");
  EXPECT_EQ(rows[1]["class"], "ucButton");
  const std::string caption = std::to_string(rows[1]["id"].get<int>());
  Ok({"term", "set", "--project", project_, "de", "--object", caption, "Speichern"});

  // The form changes outside the designer: its new text reaches the module.
  std::string changed = kMainForm;
  changed.replace(changed.find("'OK'"), 4, "'Okay'");
  Write("Main.dfm", changed);
  EXPECT_NE(Ok(update).find(": 0 objects added, 0 texts added, 1 design texts captured"), std::string::npos);
  rows = json::parse(Ok({"object", "list", "--project", project_, "--lang", "en", "--lang", "de", "--json"}));
  EXPECT_EQ(rows[1]["texts"]["en"], (json{{"text", "Okay"}, {"status", "review"}}));
  EXPECT_EQ(rows[1]["texts"]["de"], (json{{"text", "Speichern"}, {"status", "review"}}));
  EXPECT_NE(Ok({"preview", "--project", project_, "--lang", "en"}).find("Caption = 'Okay'"), std::string::npos);

  // A property the selection no longer holds goes; --dry-run only says so.
  Write("sel.json", Selection(false));
  EXPECT_NE(Ok({"intl", "update", "--project", project_, "--selection", Path("sel.json"), "--dry-run"})
                .find("removed MainForm.OkButton.Hint\n"),
            std::string::npos);
  EXPECT_EQ(json::parse(Ok({"object", "list", "--project", project_, "--json"})).size(), 3u);
  const json result = json::parse(Ok({"intl", "update", "--project", project_, "--selection", Path("sel.json"),
                                      "--json"}));
  EXPECT_EQ(result["removedProperties"], json::array({"MainForm.OkButton.Hint"}));
  EXPECT_EQ(json::parse(Ok({"object", "list", "--project", project_, "--json"})).size(), 2u);
}

TEST_F(IntlCommands, AFormWhoseFileVanishedKeepsItsObjectsUnlessPruned) {
  WriteProject(kMainForm);
  Write("sel.json", Selection());
  Ok({"object", "add", "--module", module_, "Orders", "Grid", "Hint", "--text", "Orders"});
  // Orders' unit is in the project, but its form file is gone.
  Write("Orders.pas", "unit Orders;\r\ninterface\r\nimplementation\r\nend.\r\n");
  // A unit of resource strings the module does not know yet is found and imported.
  Write("App.dpr",
        "program App;\r\nuses\r\n  Main in 'Main.pas' {MainForm},\r\n  Orders in 'Orders.pas' {Orders},\r\n"
        "  Texts in 'Texts.pas';\r\nbegin\r\nend.\r\n");
  Write("Texts.pas", "unit Texts;\r\ninterface\r\nresourcestring\r\n  SHello = 'Hello';\r\n  SBye = 'Bye';\r\n"
                     "implementation\r\nend.\r\n");
  const std::vector<std::string> update{"intl", "update", "--project", project_, "--selection", Path("sel.json")};
  test::TRunResult r = Run(update);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("form Orders: not in the project or its form file unreadable, its objects kept"));
  EXPECT_THAT(r.err, HasSubstr("the form file of Orders is missing"));
  EXPECT_THAT(r.out, HasSubstr("resource-string unit Texts.pas registered, 2 strings imported"));
  EXPECT_EQ(json::parse(Ok({"object", "list", "--module", module_, "--form", "#Texts.pas", "--json"})).size(), 2u);
  EXPECT_EQ(json::parse(Ok({"object", "list", "--module", module_, "--form", "Orders", "--json"}))[0]["component"],
            "Grid");
  std::vector<std::string> prune = update;
  prune.push_back("--prune");
  EXPECT_NE(Run(prune).out.find("form Orders: not in the project, its objects removed (--prune)"),
            std::string::npos);
  EXPECT_NE(Refused({"object", "list", "--module", module_, "--form", "Orders"}).find("no form Orders"),
            std::string::npos);
}

// A frame's own form is catalogued like any form, and a text changed in its form file
// reaches the module as a form's does, though the frame is never one of the screen's forms.
TEST_F(IntlCommands, AFramesOwnFormIsCapturedLikeAForm) {
  const fs::path frames = fs::path(QUINTREL_TEST_DATA_DIR).parent_path() / "cli" / "frames";
  for (const auto& entry : fs::directory_iterator(frames)) fs::copy_file(entry.path(), Path(entry.path().filename()));
  module_ = Path("Frames.ZOD");
  Ok({"module", "new", module_});
  Ok({"lang", "add", module_, "en", "--name", "English"});
  Ok({"module", "set", module_, "design-language", "en"});
  const std::vector<std::string> update{"intl", "update", "--project", Path("Frames.bpr"), "--auto"};
  Ok(update);
  std::ifstream in(Path("AddressFrame.dfm"), std::ios::binary);
  std::string dfm((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  dfm.replace(dfm.find("'Address'"), 9, "'Postal address'");
  Write("AddressFrame.dfm", dfm);
  EXPECT_NE(Ok(update).find(": 0 objects added, 0 texts added, 1 design texts captured"), std::string::npos);
  const json rows =
      json::parse(Ok({"object", "list", "--module", module_, "--form", "AddressFrame", "--lang", "en", "--json"}));
  const auto title = std::find_if(rows.begin(), rows.end(), [](const json& row) {
    return row["component"] == "TitleLabel" && row["property"] == "Caption";
  });
  ASSERT_NE(title, rows.end()) << rows.dump();
  EXPECT_EQ((*title)["texts"]["en"]["text"], "Postal address");
}

// A Delphi project whose units have the forms of the test data, each a real form of
// another project (text notation, some inherited).
class IntlCorpus : public IntlCommands {
protected:
  void WriteCorpusProject() {
    std::string uses;
    int n = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(QUINTREL_TEST_DATA_DIR) / "dfm")) {
      if (entry.path().extension() != ".dfm") continue;
      const std::string unit = "Unit" + std::to_string(++n);
      fs::copy_file(entry.path(), Path(unit + ".dfm"));
      Write(unit + ".pas", "unit " + unit + ";\r\ninterface\r\nimplementation\r\nend.\r\n");
      // The project names each unit's form, as the form's first line does.
      std::ifstream dfm(entry.path());
      std::string head;
      std::getline(dfm, head);
      const size_t blank = head.find(' '), colon = head.find(':');
      ASSERT_TRUE(blank != std::string::npos && colon > blank) << entry.path();
      uses += std::string(uses.empty() ? "" : ",\r\n") + "  " + unit + " in '" + unit + ".pas' {" +
              head.substr(blank + 1, colon - blank - 1) + "}";
    }
    ASSERT_GE(n, 3) << "the test data's forms are missing";
    Write("App.dpr", "program App;\r\nuses\r\n" + uses + ";\r\nbegin\r\nend.\r\n");
    project_ = Path("App.dpr");
    module_ = Path("App.zod");
    Ok({"module", "new", module_});
    Ok({"lang", "add", module_, "en", "--name", "English"});
    Ok({"module", "set", module_, "design-language", "en"});
  }
};

TEST_F(IntlCorpus, AutoCataloguesRealFormsAndThePreviewShowsTheirDesignTexts) {
  WriteCorpusProject();
  const json first = json::parse(Ok({"intl", "update", "--project", project_, "--auto", "--json"}));
  EXPECT_TRUE(first["errors"].empty()) << first.dump();
  EXPECT_GT(first["objectsAdded"].get<int>(), 20);
  EXPECT_EQ(first["objectsAdded"], first["propertiesUpdated"]);
  const std::string again = Ok({"intl", "update", "--project", project_, "--auto"});
  EXPECT_THAT(again, HasSubstr(module_ + ": unchanged\n"));

  // Every catalogued text shows in the design language as the form holds it.
  const json preview = json::parse(Ok({"preview", "--project", project_, "--lang", "en", "--json"}));
  std::map<std::string, std::string> shown;  // Form.Component.Property -> value
  for (const json& form : preview["forms"])
    for (const json& node : form["components"])
      for (const json& leaf : node["properties"]) {
        const std::string comp = node["name"] == form["name"] ? "" : node["name"].get<std::string>() + ".";
        shown[form["name"].get<std::string>() + "." + comp + leaf["path"].get<std::string>()] = leaf["value"];
      }
  const json rows = json::parse(Ok({"object", "list", "--project", project_, "--lang", "en", "--json"}));
  size_t compared = 0;
  for (const json& row : rows) {
    if (row["kind"] != "utString" || row["class"] == "ucCommonDialog") continue;
    const std::string comp = row["component"] == "" ? "" : row["component"].get<std::string>() + ".";
    const std::string path = row["form"].get<std::string>() + "." + comp + row["property"].get<std::string>();
    const auto found = shown.find(path);
    if (found == shown.end() && comp.empty()) continue;  // the form's pseudo-properties
    ASSERT_NE(found, shown.end()) << path;
    EXPECT_EQ(row["texts"]["en"]["text"], found->second) << path;
    ++compared;
  }
  EXPECT_GT(compared, 20u);
}

// On a terminal the long work shows which form it is at; the bar is gone before the
// results are printed. (In a pipe nothing is drawn: every other test sees an empty stderr.)
TEST_F(IntlCorpus, ProgressIsDrawnOnATerminalAndClearedBeforeTheResults) {
  WriteCorpusProject();
  const std::string command = Quote(QUINTREL_CLI) + " intl update --auto --project " + Quote(project_);
  const std::string transcript = Path("transcript");
  ASSERT_EQ(std::system(("script -qec " + Quote(command) + " " + Quote(transcript) + " >/dev/null 2>&1").c_str()), 0);
  std::ifstream in(transcript, std::ios::binary);
  const std::string seen((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t loading = seen.find("quintrel: Loading Form ");
  ASSERT_NE(loading, std::string::npos) << seen;
  EXPECT_NE(seen.find("] 1 / ", loading), std::string::npos) << seen;
  const size_t results = seen.find("properties scanned");
  ASSERT_NE(results, std::string::npos) << seen;
  EXPECT_EQ(seen.rfind("\r\033[K", results), seen.rfind("\r", results)) << "the last bar was not cleared";
  EXPECT_EQ(seen.find("quintrel: ", results), std::string::npos) << "bar drawn after the results";
}

}  // namespace
}  // namespace quintrel::cli
