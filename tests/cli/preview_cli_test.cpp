// quintrel preview on the example project, with the module its script builds.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

#include "tests/cli/run.h"

namespace quintrel::cli {
namespace {

namespace fs = std::filesystem;

class PreviewCommand : public test::CliFixture {
protected:
  void SetUp() override {
    CliFixture::SetUp();
    const fs::path root = fs::path(__FILE__).parent_path().parent_path().parent_path();
    project_ = (root / "examples" / "project").string();
    module_ = Path("Sample.ZOD");
    const std::string script = (root / "scripts" / "build-example-module").string();
    const std::string command = Quote(script) + " " + Quote(QUINTREL_CLI) + " " + Quote(module_) + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  std::string project_, module_;
};

TEST_F(PreviewCommand, ShowsTheFormsAsTheTranslatorWroteThem) {
  auto r = Run({"preview", "--project", project_, "--module", module_, "--lang", "ru", "--form", "MainForm",
                "--dialogs"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("object MainForm: TMainForm"), std::string::npos);
  EXPECT_EQ(r.out.find("object AboutBox"), std::string::npos);  // only the form asked for
  EXPECT_NE(r.out.find("Caption = 'Пример адресной книги'"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Font.Charset = RUSSIAN_CHARSET"), std::string::npos);
  EXPECT_NE(r.out.find("'Все контакты'"), std::string::npos);  // a list line
  EXPECT_NE(r.out.find("Caption = 'Телефон'"), std::string::npos);  // a collection item
  EXPECT_NE(r.out.find("ShortDateFormat = dd.MM.yyyy"), std::string::npos);
  EXPECT_NE(r.out.find("LongDayNames = [\"Воскресенье\",\"Понедельник\""), std::string::npos);
  // The dialogs as they open: title and catalogued control texts translated, the rest as
  // the system has them.
  EXPECT_NE(r.out.find("// dialog OpenDialog1 (TOpenDialog) of MainForm: Открыть адресную книгу\n"),
            std::string::npos);
  EXPECT_NE(r.out.find("//   1090 &Имя файла:\n"), std::string::npos);
  EXPECT_NE(r.out.find("//   1 &Открыть\n//   2 Отмена\n"), std::string::npos);
  EXPECT_NE(r.out.find("// dialog FontDialog1 (TFontDialog) of MainForm: Font\n"), std::string::npos);

  // Hebrew mirrors the main form: the list on the left moves to the right.
  r = Run({"preview", "--project", project_, "--module", module_, "--lang", "he", "--form", "MainForm", "--json",
           "--system-menu"});
  ASSERT_EQ(r.code, 0) << r.err;
  auto j = nlohmann::json::parse(r.out);
  EXPECT_TRUE(j["mirrored"].get<bool>());
  const auto& components = j["forms"][0]["components"];
  bool listMoved = false;
  for (const auto& c : components)
    if (c["name"] == "GroupList")
      for (const auto& p : c["properties"])
        if (p["path"] == "Align") listMoved = p["value"] == "alRight";
  EXPECT_TRUE(listMoved);
  std::vector<std::string> menu;
  for (const auto& item : j["forms"][0]["systemMenu"]) menu.push_back(item["caption"]);
  EXPECT_NE(std::find(menu.begin(), menu.end(), "Hebrew (checked)"), menu.end()) << r.out;
  EXPECT_NE(std::find(menu.begin(), menu.end(), "German"), menu.end());

  // The printed form shows the main menu in its mirrored order, the form as read did not.
  r = Run({"preview", "--project", project_, "--module", module_, "--lang", "he", "--form", "MainForm"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_LT(r.out.find("object HelpMenu: TMenuItem"), r.out.find("object FileMenu: TMenuItem"));
  r = Run({"preview", "--project", project_, "--module", module_, "--lang", "de", "--form", "MainForm"});
  EXPECT_GT(r.out.find("object HelpMenu: TMenuItem"), r.out.find("object FileMenu: TMenuItem"));
}

// The string table as the application loads it, the two kinds switched by their own
// settings; the AppText.pas strings were catalogued without numbers and are matched to the
// linker's on the first start.
TEST_F(PreviewCommand, ResourceStringsFollowTheLanguageAndTheirSwitches) {
  const auto strings = [&](const char* language) {
    auto r = Run({"preview", "--project", project_, "--module", module_, "--lang", language, "--form", "AboutBox",
                  "--resstrings", "--json"});
    EXPECT_EQ(r.code, 0) << r.err;
    std::map<std::string, std::pair<unsigned, std::string>> byName;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    for (const auto& s : j["resourceStrings"])
      byName[s["identifier"].get<std::string>()] = {s["id"].get<unsigned>(), s["text"].get<std::string>()};
    return byName;
  };
  auto de = strings("de");
  ASSERT_EQ(de.size(), 9u);
  EXPECT_EQ(de["SReady"], std::make_pair(65535u, std::string("Bereit")));
  EXPECT_EQ(de["SE_CannotRead"], std::make_pair(1001u, std::string("Das Adressbuch konnte nicht gelesen werden.")));
  EXPECT_EQ(de["SE_CannotWrite"].second,
            "Das Adressbuch konnte nicht gespeichert werden.\nPrüfen Sie, ob der Datenträger voll oder "
            "schreibgeschützt ist.");
  EXPECT_EQ(strings("ru")["SContactCount"].second, "Контактов: %d");

  ASSERT_EQ(Run({"module", "set", module_, "switch-resstr-pas", "off"}).code, 0);
  de = strings("de");
  EXPECT_EQ(de["SReady"].second, "Ready");
  EXPECT_EQ(de["SE_NoTable"].second, "Die Kontakttabelle ist nicht verfügbar; Änderungen werden nur in Dateien gehalten.");
  ASSERT_EQ(Run({"module", "set", module_, "switch-resstr-pas", "on"}).code, 0);
  ASSERT_EQ(Run({"module", "set", module_, "switch-resstr-rc", "off"}).code, 0);
  de = strings("de");
  EXPECT_EQ(de["SReady"].second, "Bereit");
  EXPECT_EQ(de["SE_NoTable"].second, "The contacts table is not available; changes are kept in files only.");

  // The text form lists them too, one line each.
  auto r = Run({"preview", "--project", project_, "--module", module_, "--lang", "de", "--form", "AboutBox",
                "--resstrings"});
  EXPECT_NE(r.out.find("//   65534 AppText.pas SOpened = Adressbuch geöffnet\n"), std::string::npos) << r.out;
}

TEST_F(PreviewCommand, RefusesWhatItCannotShow) {
  auto r = Run({"preview", "--project", project_, "--module", module_, "--lang", "fr"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("no language fr"), std::string::npos) << r.err;
  r = Run({"preview", "--project", project_, "--module", module_, "--lang", "de", "--form", "Nowhere"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("no form Nowhere"), std::string::npos) << r.err;
  r = Run({"preview", "--project", project_, "--module", Path("missing.ZOD"), "--lang", "de"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("missing.ZOD: file not found"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace quintrel::cli
