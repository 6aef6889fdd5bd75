// Writes the seed corpora of module_fuzzer and translator_switch_fuzzer: small language
// modules made through the module layer, as the command line and the example job make
// them.
//
//   make_module_seeds OUT_DIR     (writes OUT_DIR/module/* and OUT_DIR/translator_switch/*)
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "module/languages.h"
#include "module/objects.h"
#include "module/terms.h"
#include "module/zod.h"

using namespace quintrel;
using module::TLanguageId;
using module::TZod;

namespace {

TLanguageId Id(const char* two) { return module::MakeLanguageId(two[0], two[1]); }

class TSeed {
public:
  TSeed(const std::filesystem::path& file) : zod_(TZod::TStart::Empty) {
    m_ = zod_.NewModule(file.string());
    if (m_ < 0) {
      std::cerr << file.string() << ": cannot create\n";
      std::exit(1);
    }
  }

  TZod& Zod() { return zod_; }
  int M() const { return m_; }

  void Language(const char* id, const std::u16string& name, uint8_t charset = 0, uint16_t apply = 0) {
    module::TZodLanguage language;
    language.Identifier = Id(id);
    language.Name = name;
    language.NativeName = name;
    language.Charset = charset;
    language.ApplyFlags = apply;
    if (apply) {
      language.LongDayNames[0] = u"Montag";
      language.ShortMonthNames[2] = u"Mär";
      language.ShortDateFormat = u"dd.MM.yyyy";
      language.TwentyFourHour = true;
      language.DecimalSeparator = u",";
      language.CurrencyString = u"DM";
    }
    zod_.SetLanguage(m_, language);
  }

  // An object with its texts (language, text) signed off; a text of "" is left untranslated.
  uint32_t Object(const char* form, const char* comp, const char* prop, uint8_t zodClass,
                  std::vector<std::pair<const char*, std::u16string>> texts) {
    const uint32_t ident = zod_.AddObject(m_, form, comp, prop, module::utString, zodClass);
    return Texts(ident, texts);
  }
  uint32_t UnitString(const char* unit, uint32_t resourceId, const char* ident,
                      std::vector<std::pair<const char*, std::u16string>> texts) {
    const uint32_t object = zod_.AddUnitObject(m_, unit, resourceId, ident, module::utString, module::ucResourceString);
    return Texts(object, texts);
  }

private:
  uint32_t Texts(uint32_t ident, const std::vector<std::pair<const char*, std::u16string>>& texts) {
    module::TZodObject object;
    object.Ident = ident;
    zod_.GetObject(m_, object);
    object.Localization = zod_.GetNewTermID(m_);
    zod_.SetObject(m_, object);
    for (const auto& [language, text] : texts) {
      std::vector<uint8_t> bytes;
      for (char16_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
      }
      module::TZodTerm term;
      term.Language = Id(language);
      term.Ident = object.Localization;
      term.Status = text.empty() ? module::usUnTranslated : module::usSignedOff;
      term.Data = bytes.data();
      term.Size = static_cast<int32_t>(bytes.size());
      zod_.SetTerm(m_, term);
    }
    return object.Localization;
  }

  TZod zod_;
  int m_ = -1;
};

// Languages with locale data, codes, countries, the version record, settings, two forms,
// a comment and a resource-string unit, and a dictionary.
void SmallModule(const std::filesystem::path& file) {
  TSeed seed(file);
  TZod& zod = seed.Zod();
  const int m = seed.M();
  seed.Language("en", u"English");
  seed.Language("de", u"Deutsch", 0, module::kApplyAll);
  zod.SetDesignTimeLanguage(m, Id("en"));
  zod.SetDefaultLanguage(m, Id("de"));
  zod.SetUseOriginalIfUntranslated(m, true);
  zod.SetShowLangList(m, true);
  const std::string includes = "Caption\r\nHint";
  zod.SetAutoIncludes(m, static_cast<int32_t>(includes.size()), includes.c_str());
  zod.SetLangCode(m, {0x0407, 0, u"German"});
  module::TZodCountry country;
  country.CountryCode = 49;
  country.Name = u"Deutschland";
  country.Data = {1, 2, 3};
  zod.SetCountry(m, country);
  module::TZodVersion version;
  version.HeaderText[0] = 'v';
  version.Data = std::vector<uint8_t>{9, 9};
  zod.SetVersion(m, version);
  seed.Object("Form1", "", "Caption", module::ucForm, {{"en", u"Orders"}, {"de", u"Bestellungen"}});
  seed.Object("Form1", "Button1", "Caption", module::ucButton, {{"en", u"&Close"}, {"de", u"&Schließen"}});
  const uint32_t hint = seed.Object("Form1", "Edit1", "Hint", module::ucEditBox, {{"en", u"Name"}, {"de", u""}});
  zod.SetCommentW(m, hint, u"shown on hover");
  seed.Object("Form2", "List", "Items.Strings[0]", module::ucListBox, {{"en", u"One"}, {"de", u"Eins"}});
  seed.UnitString("#AppText.pas", 65000, "SReady", {{"en", u"Ready"}, {"de", u"Bereit"}});
  zod.SetDictionary(m, Id("de"), true);
}

// The catalogue of the fuzz target's small application, in three languages, with its
// resource strings switched.
void ApplicationModule(const std::filesystem::path& file, bool rightToLeft) {
  TSeed seed(file);
  TZod& zod = seed.Zod();
  const int m = seed.M();
  const char* design = rightToLeft ? "IL" : "en";
  seed.Language(design, u"Original");
  seed.Language("de", u"Deutsch", 0, module::kApplyAll);
  seed.Language("ru", u"Русский", 204);
  zod.SetDesignTimeLanguage(m, Id(design));
  zod.SetDefaultLanguage(m, Id("de"));
  zod.SetUseOriginalIfUntranslated(m, true);
  zod.SetShowLangList(m, true);
  zod.SetSaveSessionLanguage(m, true);
  zod.SetSwitchResStr(m, module::kSwitchResourceStrings, true);
  const auto texts = [&](std::u16string original, std::u16string german, std::u16string russian) {
    return std::vector<std::pair<const char*, std::u16string>>{{design, original}, {"de", german}, {"ru", russian}};
  };
  seed.Object("MainForm", "", "Caption", module::ucForm, texts(u"Address Book", u"Adressbuch", u"Адресная книга"));
  seed.Object("MainForm", "", "Font.Charset", module::ucForm, texts(u"1", u"1", u"204"));
  seed.Object("MainForm", "", "FlipState", module::ucForm, texts(u"false", u"false", u"true"));
  seed.Object("MainForm", "TitleLabel", "Caption", module::ucLabel, texts(u"My addresses", u"Meine Adressen", u""));
  seed.Object("MainForm", "SearchEdit", "Hint", module::ucEditBox, texts(u"Find", u"Suchen", u"Поиск"));
  seed.Object("MainForm", "GroupList", "Items.Strings[1]", module::ucListBox, texts(u"Family", u"Familie", u"Семья"));
  seed.Object("MainForm", "ContactList", "Columns.Items[0].Caption", module::ucUnknown,
              texts(u"Name", u"Name", u"Имя"));
  seed.Object("MainForm", "DetailsBox", "Caption", module::ucGroupBox, texts(u"Details", u"Einzelheiten", u""));
  seed.Object("MainForm", "PrivateRadio", "Checked", module::ucRadioButton, texts(u"True", u"False", u"1"));
  seed.Object("MainForm", "NotesMemo", "Lines.Strings[0]", module::ucEditBox, texts(u"Notes", u"Notizen", u""));
  seed.Object("MainForm", "StatusBar", "Panels.Items[0].Text", module::ucStatusBar, texts(u"Ready", u"Bereit", u""));
  seed.Object("MainForm", "FileMenu", "Caption", module::ucMenuItem, texts(u"&File", u"&Datei", u"&Файл"));
  seed.Object("MainForm", "OpenDialog1", "Title", module::ucCommonDialog, texts(u"Open", u"Öffnen", u""));
  seed.Object("MainForm", "OpenDialog1", "Caption[1]", module::ucCommonDialog, texts(u"&Open", u"Ö&ffnen", u""));
  seed.Object("MainForm", "LogoImage", "Picture.Data", module::ucBitmap, texts(u"", u"", u""));
  seed.Object("AboutBox", "OKButton", "Caption", module::ucButton, texts(u"OK", u"OK", u"ОК"));
  seed.Object("DataModule1", "SaveDialog1", "Title", module::ucCommonDialog, texts(u"Save", u"Speichern", u""));
  seed.UnitString("#AppText.pas", 65001, "SReady", texts(u"Ready", u"Bereit", u"Готово"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_module_seeds OUT_DIR\n";
    return 2;
  }
  namespace fs = std::filesystem;
  const fs::path out = argv[1];
  fs::create_directories(out / "module");
  fs::create_directories(out / "translator_switch");
  ::setenv("QUINTREL_CONFIG", (out / "registry.ini").c_str(), 1);
  { TSeed empty(out / "module" / "empty"); }
  SmallModule(out / "module" / "small");
  ApplicationModule(out / "translator_switch" / "application", false);
  ApplicationModule(out / "translator_switch" / "right-to-left", true);
  return 0;
}
