#include "cli/lang_commands.h"

#include <iostream>
#include <memory>
#include <optional>
#include <nlohmann/json.hpp>

#include "cli/common.h"
#include "cli/zod_common.h"
#include "module/regional.h"
#include "platform/win32/localedef.h"
#include "platform/win32/localeinfo.h"
#include "strings/localeconsts.h"
#include "strings/qconsts.h"

namespace quintrel::cli {

namespace {

namespace qs = quintrel::strings;
using module::TZodLanguage;
using nlohmann::json;

struct TLangOptions {
  std::string file, id, locale;
  bool json = false;
  TLanguageOptions fields;
};

// The regional settings of --locale, read before the module is opened so that a
// definition that cannot be used changes nothing.
std::optional<win32::TLocaleInfo> ReadLocale(const std::string& nameOrPath) {
  if (nameOrPath.empty()) return std::nullopt;
  const std::string path = win32::LocaleDefinitionPath(nameOrPath);
  return win32::LocaleInfoFromDefinition(win32::ReadLocaleDefinition(path), nameOrPath);
}

// Fills the record from the locale and turns on the apply flags of the groups it filled;
// what did not fit is said on stderr.
void FillRegional(TZodLanguage& language, const std::optional<win32::TLocaleInfo>& locale) {
  if (!locale) return;
  module::TLocaleFill fill = module::FillFromLocale(language, *locale);
  language.ApplyFlags |= fill.Groups;
  for (const std::string& note : fill.Notes) std::cerr << "quintrel: " << rtl::Format(qs::_SLocaleNote, note) << "\n";
}

void AddLocaleOption(CLI::App& command, const std::shared_ptr<TLangOptions>& o) {
  command.add_option(
      "--locale", o->locale,
      "Fill the names, day and month names, time, date and currency settings, separators, Win32 locale and charset "
      "from the system's locale definition of that name (de_DE, fr_CA, sr_RS@latin; read from " +
          std::string(win32::kLocaleDirectory) +
          ") or of a definition file given by its path, and turn on the apply flags of the groups it filled. The "
          "other options given beside it win");
}

// The stored record of the identifier, or a failure naming the file and the language.
TZodLanguage Existing(TModuleFile& file, const std::string& idText) {
  TZodLanguage language;
  language.Identifier = ParseLanguageId(idText);
  if (!file.Zod().GetLanguage(file.Index(), language))
    throw ECommandFailed(rtl::Format(qs::_SCliNoSuchLanguage, file.FileName(), idText));
  return language;
}

void Store(TModuleFile& file, const TZodLanguage& language) {
  if (!file.Zod().SetLanguage(file.Index(), language))
    throw ECommandFailed(rtl::Format(qs::_SCliWriteFailed, file.FileName()));
}

CLI::App* AddFileAndId(CLI::App* lang, const char* name, const char* help, const std::shared_ptr<TLangOptions>& o) {
  CLI::App* command = lang->add_subcommand(name, help);
  command->add_option("FILE", o->file, "Module file")->required();
  command->add_option("ID", o->id, "Language identifier: two characters (de, ##) or $HHHH")->required();
  return command;
}

}  // namespace

void RegisterLangCommands(CLI::App& app) {
  CLI::App* lang = app.add_subcommand("lang", "The languages of a module: names, character set, locale and the "
                                              "regional settings the translator installs");
  lang->require_subcommand(1);

  auto list = std::make_shared<TLangOptions>();
  CLI::App* listCmd = lang->add_subcommand(
      "list", "List the module's languages in stored order (the order language lists show them): identifier, name, "
              "native name, charset, locale, keyboard layout and apply flags");
  listCmd->add_option("FILE", list->file, "Module file")->required();
  listCmd->add_flag("--json", list->json,
                    "Print a JSON array of {id, name, nativeName, charset, win32Locale, keyboardLayout, applyFlags}");
  listCmd->callback([list]() {
    TModuleFile file(list->file);
    std::vector<module::TLanguageId> ids;
    file.Zod().GetLanguageList(file.Index(), ids);
    json result = json::array();
    for (module::TLanguageId id : ids) {
      TZodLanguage language;
      language.Identifier = id;
      if (!file.Zod().GetLanguage(file.Index(), language)) continue;
      if (list->json) {
        result.push_back(LanguageSummaryJson(language));
      } else {
        std::cout << LanguageSummaryLine(language) << "\n";
      }
    }
    if (list->json) std::cout << result.dump(2) << "\n";
    file.WarnDamage();
  });

  auto show = std::make_shared<TLangOptions>();
  CLI::App* showCmd = AddFileAndId(
      lang, "show",
      "Show every field of a language record: names, charset, primary language and country, locale, sort method, "
      "day and month names, time, date and currency settings, separators, input method, keyboard layout and apply "
      "flags. An absent text shows as (none), an empty one as \"\"",
      show);
  showCmd->add_flag("--json", show->json,
                    "Print one JSON object keyed like the options of `lang set` (camelCase); absent texts are null, "
                    "locale and keyboard are hexadecimal strings");
  showCmd->callback([show]() {
    TModuleFile file(show->file);
    TZodLanguage language = Existing(file, show->id);
    if (show->json) {
      std::cout << LanguageJson(language).dump(2) << "\n";
    } else {
      PrintLanguage(std::cout, language);
    }
  });

  auto add = std::make_shared<TLangOptions>();
  CLI::App* addCmd = AddFileAndId(
      lang, "add",
      "Add a language. --locale fills its regional settings from the system's locale data; otherwise they start "
      "empty and a warning names the groups (day names, month names, time, date, currency) the language lacks. "
      "--name is required unless --locale gives one (or a name in --from-json); every other field starts empty or "
      "zero and takes the options of `lang set`. The new language comes first in the module's list. An identifier "
      "the module has already is refused",
      add);
  AddLocaleOption(*addCmd, add);
  add->fields.Register(*addCmd);
  addCmd->callback([add]() {
    const std::optional<win32::TLocaleInfo> locale = ReadLocale(add->locale);
    TModuleFile file(add->file);
    TZodLanguage language;
    language.Identifier = ParseLanguageId(add->id);
    TZodLanguage existing = language;
    if (file.Zod().GetLanguage(file.Index(), existing)) throw ECommandFailed(qs::_SLangIdExists);
    FillRegional(language, locale);
    add->fields.Apply(language);
    if (!language.Name) throw ECommandFailed(qs::_SCliNameRequired);
    Store(file, language);
    const uint16_t missing = module::kApplyAll & ~module::kApplyWin32 & ~module::RegionalGroups(language);
    if (missing)
      std::cerr << "quintrel: "
                << rtl::Format(qs::_SLangNoRegional, FormatLanguageId(language.Identifier),
                               module::RegionalGroupNames(missing))
                << "\n";
  });

  auto set = std::make_shared<TLangOptions>();
  CLI::App* setCmd = AddFileAndId(
      lang, "set",
      "Change fields of a language: --locale fills the regional settings from the system's locale data, each "
      "other option sets one field, the day and month name options take 7 or 12 values, --from-json takes a whole "
      "or partial record. The language moves to the front of the module's list, as every change of a language does",
      set);
  AddLocaleOption(*setCmd, set);
  set->fields.Register(*setCmd);
  setCmd->callback([set]() {
    const std::optional<win32::TLocaleInfo> locale = ReadLocale(set->locale);
    TModuleFile file(set->file);
    TZodLanguage language = Existing(file, set->id);
    FillRegional(language, locale);
    set->fields.Apply(language);
    Store(file, language);
  });

  auto remove = std::make_shared<TLangOptions>();
  CLI::App* removeCmd = AddFileAndId(lang, "remove", "Remove a language from the module's list", remove);
  removeCmd->callback([remove]() {
    TModuleFile file(remove->file);
    TZodLanguage language = Existing(file, remove->id);
    language.PrimaryLanguage = module::kRemoveMarker;
    Store(file, language);
  });
}

}  // namespace quintrel::cli
