// quintrel preview on the example project, with the module its script builds.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

#include "module/zod.h"
#include "tests/cli/example_project.h"

namespace quintrel::cli {
namespace {

namespace fs = std::filesystem;

class PreviewCommand : public test::ExampleProjectFixture {
protected:
  void SetUp() override {
    ExampleProjectFixture::SetUp();
    module_ = Path("project/Sample.ZOD");
  }
  static size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  }
  std::string module_;
};

TEST_F(PreviewCommand, ShowsTheFormsAsTheTranslatorWroteThem) {
  auto r = Succeeds(
      Run({"preview", "--project", project_, "--module", module_, "--lang", "ru", "--form", "MainForm", "--dialogs"}));
  EXPECT_THAT(r.out, HasSubstr("object MainForm: TMainForm"));
  EXPECT_EQ(r.out.find("object AboutBox"), std::string::npos);  // only the form asked for
  EXPECT_THAT(r.out, HasSubstr("Caption = 'Пример адресной книги'"));
  EXPECT_THAT(r.out, HasSubstr("Font.Charset = RUSSIAN_CHARSET"));
  EXPECT_NE(r.out.find("'Все контакты'"), std::string::npos);  // a list line
  EXPECT_NE(r.out.find("Caption = 'Телефон'"), std::string::npos);  // a collection item
  EXPECT_THAT(r.out, HasSubstr("ShortDateFormat = dd.MM.yyyy"));
  EXPECT_THAT(r.out, HasSubstr("LongDayNames = [\"Воскресенье\",\"Понедельник\""));
  // The dialogs as they open: title and catalogued control texts translated, the rest as
  // the system has them.
  EXPECT_THAT(r.out, HasSubstr("// dialog OpenDialog1 (TOpenDialog) of MainForm: Открыть адресную книгу\n"));
  EXPECT_THAT(r.out, HasSubstr("//   1090 &Имя файла:\n"));
  EXPECT_THAT(r.out, HasSubstr("//   1 &Открыть\n//   2 Отмена\n"));
  EXPECT_THAT(r.out, HasSubstr("// dialog FontDialog1 (TFontDialog) of MainForm: Font\n"));

  // Hebrew mirrors the main form: the list on the left moves to the right.
  r = Succeeds(Run({"preview", "--project", project_, "--module", module_, "--lang", "he", "--form", "MainForm",
                    "--json", "--system-menu"}));
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
  // Printed as the user sees it: the window's own commands, then the languages, without ids.
  r = Run({"preview", "--project", project_, "--module", module_, "--lang", "he", "--form", "MainForm",
           "--system-menu"});
  const std::string printed = r.out.substr(std::min(r.out.find("// system menu of MainForm\n"), r.out.size()));
  EXPECT_THAT(printed, HasSubstr("//   &Move\n"));
  EXPECT_THAT(printed, HasSubstr("//   --------\n//   &Close\tAlt+F4\n//   --------\n"));
  EXPECT_THAT(printed, HasSubstr("//   Hebrew (checked)\n"));
  EXPECT_EQ(printed.find("5000"), std::string::npos) << printed;

  // The printed form shows the main menu in its mirrored order, the form as read did not.
  r = Succeeds(Run({"preview", "--project", project_, "--module", module_, "--lang", "he", "--form", "MainForm"}));
  EXPECT_LT(r.out.find("object HelpMenu: TMenuItem"), r.out.find("object FileMenu: TMenuItem"));
  r = Run({"preview", "--project", project_, "--module", module_, "--lang", "de", "--form", "MainForm"});
  EXPECT_GT(r.out.find("object HelpMenu: TMenuItem"), r.out.find("object FileMenu: TMenuItem"));
}

// The string table as the application loads it, the two kinds switched by their own
// settings; the AppText.pas strings were catalogued without numbers and are matched to the
// linker's on the first start.
TEST_F(PreviewCommand, ResourceStringsFollowTheLanguageAndTheirSwitches) {
  const auto strings = [&](const char* language) {
    auto r = Succeeds(Run({"preview", "--project", project_, "--module", module_, "--lang", language, "--form",
                           "AboutBox", "--resstrings", "--json"}));
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

  Ok({"module", "set", module_, "switch-resstr-pas", "off"});
  de = strings("de");
  EXPECT_EQ(de["SReady"].second, "Ready");
  EXPECT_EQ(de["SE_NoTable"].second, "Die Kontakttabelle ist nicht verfügbar; Änderungen werden nur in Dateien gehalten.");
  Ok({"module", "set", module_, "switch-resstr-pas", "on"});
  Ok({"module", "set", module_, "switch-resstr-rc", "off"});
  de = strings("de");
  EXPECT_EQ(de["SReady"].second, "Bereit");
  EXPECT_EQ(de["SE_NoTable"].second, "The contacts table is not available; changes are kept in files only.");

  // The text form lists them too, one line each.
  auto r = Run({"preview", "--project", project_, "--module", module_, "--lang", "de", "--form", "AboutBox",
                "--resstrings"});
  EXPECT_THAT(r.out, HasSubstr("//   65534 AppText.pas SOpened = Adressbuch geöffnet\n"));
}

// A preview shows what the application would store in its module, and stores nothing:
// the module may be one the user cannot write.
TEST_F(PreviewCommand, LeavesTheModuleAsItIs) {
  Ok({"module", "set", module_, "save-session-language", "on"});
  const std::string before = Slurp(module_);
  auto r = Succeeds(Run(
      {"preview", "--project", project_, "--module", module_, "--lang", "de", "--form", "AboutBox", "--resstrings"}));
  EXPECT_EQ(Slurp(module_), before) << "the preview wrote into the module";
  EXPECT_THAT(r.out, HasSubstr("//   65534 AppText.pas SOpened = Adressbuch geöffnet\n"));
  EXPECT_THAT(r.out, HasSubstr("// the application would store in " + module_));
  EXPECT_THAT(r.out, HasSubstr(" AppText.pas SOpened: string number 65534\n"));
  EXPECT_THAT(r.out, HasSubstr("//   default language de (the session's language"));

  ASSERT_EQ(::chmod(module_.c_str(), 0444), 0);
  r = Succeeds(
      Run({"preview", "--project", project_, "--module", module_, "--lang", "de", "--form", "MainForm", "--json"}));
  EXPECT_EQ(r.err, "");
  const nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["wouldStore"]["defaultLanguage"], "de");
  EXPECT_FALSE(j["wouldStore"]["resourceStringNumbers"].empty());
  EXPECT_EQ(Slurp(module_), before);
}

// The JSON's texts are the texts themselves, and every path in it is absolute; the
// project's module is found whatever the case of its name.
TEST_F(PreviewCommand, FindsTheModuleAndWritesPlainJson) {
  const fs::path copy = dir_ / "project";
  fs::rename(module_, copy / "sample.zod");
  const std::string relative = fs::relative(copy, fs::current_path()).string();
  auto r = Succeeds(Run({"preview", "--project", relative, "--lang", "de", "--form", "mainform", "--json"}));
  const nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["module"], (copy / "sample.zod").string());
  EXPECT_EQ(j["project"], (copy / "Sample.bpr").string());
  ASSERT_EQ(j["forms"].size(), 1u);
  EXPECT_EQ(j["forms"][0]["file"], (copy / "Main.dfm").string());
  std::map<std::string, nlohmann::json> props;
  for (const auto& c : j["forms"][0]["components"])
    for (const auto& p : c["properties"]) props[c["name"].get<std::string>() + "." + p["path"].get<std::string>()] = p["value"];
  EXPECT_EQ(props["MainForm.Caption"], "Beispiel-Adressbuch");
  EXPECT_EQ(props["GroupList.Items.Strings[1]"], "Familie");
}

// A module without a design language, and a language whose charset has no code page (as
// a module made elsewhere may have), preview with a warning.
TEST_F(PreviewCommand, WarnsAboutWhatTheModuleLacks) {
  Ok({"module", "set", module_, "design-language", "??"});
  auto r = Succeeds(Run({"preview", "--project", project_, "--module", module_, "--lang", "de", "--form", "MainForm"}));
  EXPECT_EQ(Count(r.err, "has no design language"), 1u) << r.err;
  Ok({"module", "set", module_, "design-language", "en"});

  {
    module::TZod zod(module::TZod::TStart::Empty);
    const int m = zod.RegisterModule(module_, false);
    ASSERT_GE(m, 0);
    module::TZodLanguage russian;
    russian.Identifier = module::MakeLanguageId('r', 'u');
    ASSERT_TRUE(zod.GetLanguage(m, russian));
    russian.Charset = 2;
    ASSERT_TRUE(zod.SetLanguage(m, russian));
  }
  r = Succeeds(Run({"preview", "--project", project_, "--module", module_, "--lang", "ru", "--form", "MainForm"}));
  EXPECT_THAT(r.err, HasSubstr("language ru has charset 2, which has no code page"));
  EXPECT_NE(r.out.find("object MainForm: TMainForm"), std::string::npos) << r.out.substr(0, 300);
  EXPECT_THAT(r.out, HasSubstr("object TitlePanel: TPanel"));
  EXPECT_THAT(r.out, HasSubstr("Caption = '\x7f\x7f")) << "what the translator gave the form";
}

// A frame's own texts, catalogued for its own form, show in every form that embeds it;
// what a form changes of its frame stays.
TEST_F(PreviewCommand, FramesShowTheirOwnTextsInEveryForm) {
  const std::string frames = (Root() / "tests" / "cli" / "frames").string();
  const std::string m = Path("Frames.zod");
  Ok({"module", "new", m});
  Ok({"lang", "add", m, "en", "--name", "English"});
  Ok({"lang", "add", m, "de", "--name", "German"});
  Ok({"module", "set", m, "design-language", "en"});
  Ok({"object", "add", m, "AddressFrame", "TitleLabel", "Caption", "--text", "Address", "--lang", "en",
      "--translation", "de=Anschrift"});
  Ok({"object", "add", m, "MainForm", "MainForm", "Caption", "--text", "Customer", "--lang", "en", "--translation",
      "de=Kunde"});

  const std::string out = Ok({"preview", "--project", frames, "--module", m, "--lang", "de"});
  const size_t order = out.find("object OrderForm: TOrderForm");
  ASSERT_NE(order, std::string::npos) << out;
  const std::string main = out.substr(0, order), orders = out.substr(order);
  EXPECT_THAT(main, HasSubstr("Caption = 'Kunde'"));
  EXPECT_THAT(main, HasSubstr("    inherited TitleLabel: TLabel"));
  EXPECT_THAT(main, HasSubstr("Caption = 'Anschrift'"));
  EXPECT_THAT(main, HasSubstr("Font.Color = clNavy"));
  EXPECT_EQ(Count(orders, "Caption = 'Anschrift'"), 2u) << orders;
  EXPECT_THAT(orders, HasSubstr("Width = 150"));
  // The frame is no form of its own at run time.
  EXPECT_EQ(out.find("object AddressFrame"), std::string::npos) << out;
}

TEST_F(PreviewCommand, RefusesWhatItCannotShow) {
  EXPECT_THAT(Refused({"preview", "--project", project_, "--module", module_, "--lang", "fr"}),
              HasSubstr("no language fr; the module has: "));
  EXPECT_THAT(Refused({"preview", "--project", project_, "--module", module_, "--lang", "de", "--form", "Nowhere"}),
              HasSubstr("the project has no form Nowhere; its forms are: MainForm, AboutBox, DataModule1"));
  EXPECT_THAT(Refused({"preview", "--project", project_, "--module", Path("missing.ZOD"), "--lang", "de"}),
              HasSubstr("missing.ZOD: file not found"));
}

}  // namespace
}  // namespace quintrel::cli
