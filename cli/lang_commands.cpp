#include "cli/lang_commands.h"

#include <algorithm>
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

// The commands on one language: [FILE] ID.
struct TLangOptions {
  TModuleArguments args;
  std::string locale;
  bool json = false;
  TLanguageOptions fields;
  const std::string& Id() const { return args[0]; }
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

// The stored record of the identifier, or a failure naming the file and the languages it has.
TZodLanguage Existing(TModuleFile& file, const std::string& idText) {
  TZodLanguage language;
  language.Identifier = file.Language(idText);
  if (!file.Zod().GetLanguage(file.Index(), language))
    throw ECommandFailed(rtl::Format(qs::_SCliNoSuchLanguage, file.FileName(), idText));
  return language;
}

// A new identifier must be new, also ignoring case: the module tells "DE" from "de", but
// a second language that differs only in case is a typing error, not a language.
void RequireNewLanguage(TModuleFile& file, module::TLanguageId id) {
  auto lower = [](module::TLanguageId x) {
    auto low = [](int c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    return low(x & 0xFF) | low(x >> 8) << 8;
  };
  std::vector<module::TLanguageId> ids;
  file.Zod().GetLanguageList(file.Index(), ids);
  for (module::TLanguageId known : ids) {
    if (known == id) throw ECommandFailed(file.FileName() + ": " + qs::_SLangIdExists);
    if (lower(known) == lower(id))
      throw ECommandFailed(rtl::Format(qs::_SCliLanguageCaseTwin, file.FileName(), FormatLanguageId(known),
                                       FormatLanguageId(id)));
  }
}

// Apply flags only for the groups the record has data for; the others would blank the
// application's settings when the language is installed.
void LeaveOutEmptyGroups(TZodLanguage& language) {
  const uint16_t empty = module::AppliedGroupsWithoutData(language);
  if (!empty) return;
  language.ApplyFlags = static_cast<uint16_t>(language.ApplyFlags & ~empty);
  std::cerr << "quintrel: "
            << rtl::Format(qs::_SLangFlagsLeftOut, FormatLanguageId(language.Identifier),
                           module::RegionalGroupNames(empty))
            << "\n";
}

void Write(TModuleFile& file, const TZodLanguage& language) {
  if (!file.Zod().SetLanguage(file.Index(), language))
    throw ECommandFailed(rtl::Format(qs::_SCliWriteFailed, file.FileName()));
}

// Stores a language record that was added or changed, keeping the order the user gave the
// languages: a changed language stays in its place, a new one comes last. The module's
// order is the order of the application's language menu, and a record written goes to the
// front of it; so the languages are written again from the last up, each moving to the
// front, in one transaction.
void Store(TModuleFile& file, TZodLanguage& language) {
  LeaveOutEmptyGroups(language);
  module::TZod& zod = file.Zod();
  module::TModuleLock lock(zod.GetModuleInterface(file.Index()), true);
  std::vector<module::TLanguageId> order;
  zod.GetLanguageList(file.Index(), order);
  if (std::find(order.begin(), order.end(), language.Identifier) == order.end()) order.push_back(language.Identifier);
  Write(file, language);
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    TZodLanguage stored;
    stored.Identifier = *it;
    if (zod.GetLanguage(file.Index(), stored)) Write(file, stored);
  }
}

CLI::App* AddFileAndId(CLI::App* lang, const char* name, const char* help, const std::shared_ptr<TLangOptions>& o) {
  CLI::App* command = lang->add_subcommand(name, help);
  o->args.Add(command, "ID", {1}, "the language identifier: two characters (de, ##) or $HHHH");
  return command;
}

}  // namespace

void RegisterLangCommands(CLI::App& app) {
  CLI::App* lang = app.add_subcommand("lang", "The languages of a module: names, character set, locale and the "
                                              "regional settings the translator installs");
  lang->require_subcommand(1);

  struct TListOptions {
    TTarget target;
    bool json = false;
  };
  auto list = std::make_shared<TListOptions>();
  CLI::App* listCmd = lang->add_subcommand(
      "list", "List the module's languages in stored order (the order language lists show them): identifier, name, "
              "native name, charset, locale, keyboard layout and apply flags");
  list->target.AddModule(listCmd);
  listCmd->add_flag("--json", list->json,
                    "Print a JSON array of {id, name, nativeName, charset, win32Locale, keyboardLayout, applyFlags}");
  listCmd->callback([list]() {
    TModuleFile file(list->target.ModuleFile(), TModuleFile::TAccess::ReadOnly);
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
    ParseLanguageId(show->Id());  // a bad identifier is named before the module is looked for
    TModuleFile file(show->args.ModuleFile(), TModuleFile::TAccess::ReadOnly);
    TZodLanguage language = Existing(file, show->Id());
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
      "zero and takes the options of `lang set`. The new language comes last in the module's list (the order of the "
      "application's language menu). An identifier "
      "the module has already is refused, and so is one that differs from one it has only in case (DE beside de): "
      "identifiers are case-sensitive in the module. Apply flags for groups without data are left out, with a "
      "warning",
      add);
  AddLocaleOption(*addCmd, add);
  add->fields.Register(*addCmd);
  addCmd->callback([add]() {
    const std::optional<win32::TLocaleInfo> locale = ReadLocale(add->locale);
    TModuleFile file(add->args.ModuleFile());
    TZodLanguage language;
    language.Identifier = ParseLanguageId(add->Id());
    RequireNewLanguage(file, language.Identifier);
    FillRegional(language, locale);
    add->fields.Apply(language);
    if (!language.Name) throw ECommandFailed(qs::_SCliNameRequired);
    Store(file, language);
    std::cout << rtl::Format(qs::_SLangAdded, file.FileName(), FormatLanguageId(language.Identifier)) << "\n";
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
      "or partial record. The language keeps its place in the module's list. "
      "Apply flags for groups the language has no data for are left out, with a warning",
      set);
  AddLocaleOption(*setCmd, set);
  set->fields.Register(*setCmd);
  setCmd->callback([set]() {
    const std::optional<win32::TLocaleInfo> locale = ReadLocale(set->locale);
    ParseLanguageId(set->Id());  // a bad identifier is named before the module is looked for
    TModuleFile file(set->args.ModuleFile());
    TZodLanguage language = Existing(file, set->Id());
    FillRegional(language, locale);
    set->fields.Apply(language);
    Store(file, language);
    std::cout << rtl::Format(qs::_SLangChanged, file.FileName(), FormatLanguageId(language.Identifier)) << "\n";
  });

  auto remove = std::make_shared<TLangOptions>();
  CLI::App* removeCmd = AddFileAndId(lang, "remove", "Remove a language from the module's list", remove);
  removeCmd->callback([remove]() {
    ParseLanguageId(remove->Id());  // a bad identifier is named before the module is looked for
    TModuleFile file(remove->args.ModuleFile());
    TZodLanguage language = Existing(file, remove->Id());
    language.PrimaryLanguage = module::kRemoveMarker;
    Write(file, language);
    std::cout << rtl::Format(qs::_SLangRemoved, file.FileName(), FormatLanguageId(language.Identifier)) << "\n";
  });
}

}  // namespace quintrel::cli
