#include "cli/module_commands.h"

#include <filesystem>
#include <iomanip>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "cli/common.h"
#include "cli/progress.h"
#include "cli/output_file.h"
#include "cli/target.h"
#include "cli/tool_options.h"
#include "cli/zod_common.h"
#include "module/languages.h"
#include "platform/rtl/classes.h"
#include "platform/rtl/dateutils.h"
#include "strings/qconsts.h"
#include "strings/toolconsts.h"
#include "platform/rtl/filebytes.h"
#include "text/codepages.h"
#include "tools/maintenance.h"
#include "tools/othermodule.h"
#include "module/modulefile.h"

namespace quintrel::cli {

namespace {

namespace qs = quintrel::strings;
using module::TZod;
using nlohmann::json;

std::string AbsolutePath(const std::string& fileName) {
  std::error_code ec;
  std::filesystem::path path = std::filesystem::absolute(fileName, ec);
  return ec ? fileName : path.lexically_normal().string();
}

json Languages(TZod& zod, int m) {
  json list = json::array();
  std::vector<module::TLanguageId> ids;
  zod.GetLanguageList(m, ids);
  for (module::TLanguageId id : ids) {
    module::TZodLanguage language;
    language.Identifier = id;
    if (zod.GetLanguage(m, language)) list.push_back(LanguageSummaryJson(language));
  }
  return list;
}

json InfoJson(TModuleFile& file) {
  TZod& zod = file.Zod();
  int m = file.Index();
  json settings = json::object();
  for (const TSetting& s : Settings()) settings[s.Name] = s.Get(zod, m);
  json version = nullptr;
  module::TZodVersion record;
  if (zod.GetVersion(m, record)) {
    version = {{"protected", record.Protected},
               {"passwordCrc", record.PasswordCRC},
               {"dataSize", record.Data ? record.Data->size() : 0}};
  }
  json codes = json::array();
  std::vector<uint16_t> ids;
  std::vector<module::TZodText> texts;
  zod.GetLangCodeList(m, ids, &texts);
  for (size_t i = 0; i < ids.size(); ++i)
    codes.push_back({{"code", FormatLanguageId(ids[i])}, {"text", texts[i] ? json(Utf8(*texts[i])) : json(nullptr)}});
  json countries = json::array();
  zod.GetCountryList(m, ids, &texts);
  for (size_t i = 0; i < ids.size(); ++i) {
    module::TZodCountry country;
    country.CountryCode = ids[i];
    zod.GetCountry(m, country);
    countries.push_back({{"code", FormatLanguageId(ids[i])},
                         {"name", texts[i] ? json(Utf8(*texts[i])) : json(nullptr)},
                         {"dataSize", country.Data.size()}});
  }
  json properties = json::array();
  for (const std::string& name : zod.GetPropertyNames(m)) {
    auto value = zod.GetProperty(m, name);
    properties.push_back({{"name", name}, {"size", value ? value->size() : 0}});
  }
  int32_t zodVer = zod.GetZodVersion(m);
  rtl::TDateTime created = zod.GetDateCreated(m);
  return {{"file", file.FileName()},
          {"name", zod.GetModuleName(m)},
          {"size", zod.GetModuleSize(m)},
          {"created", created != 0 ? json(rtl::DateTimeToISO(created)) : json(nullptr)},
          {"zodVer", zodVer != 0 ? json(zodVer) : json(nullptr)},
          {"old", zodVer < module::kZodVersion},
          {"versionInfo", version},
          {"settings", settings},
          {"languages", Languages(zod, m)},
          {"languageCodes", codes},
          {"countries", countries},
          {"properties", properties}};
}

void PrintInfo(const json& info, TModuleFile& file) {
  auto line = [](const std::string& label, const std::string& value) {
    std::cout << std::left << std::setw(31) << label + ":" << value << "\n";
  };
  line("File", info["file"].get<std::string>());
  line("Name", info["name"].get<std::string>());
  line("Size", std::to_string(info["size"].get<int64_t>()) + " bytes");
  line("Created", info["created"].is_null() ? "(not recorded)" : info["created"].get<std::string>());
  line("ZodVer", info["zodVer"].is_null() ? "(missing)" : std::to_string(info["zodVer"].get<int>()));
  if (info["old"].get<bool>()) std::cout << "  " << qs::_SZodOld << "\n";
  const json& version = info["versionInfo"];
  line("VersionInfo", version.is_null() ? "(none)"
                                        : std::string(version["protected"].get<bool>() ? "protected" : "not protected") +
                                              ", " + std::to_string(version["dataSize"].get<size_t>()) +
                                              " bytes of data");
  for (const TSetting& s : Settings()) line(s.Name, SettingText(info["settings"][s.Name]));
  std::cout << "Languages: " << info["languages"].size() << "\n";
  std::vector<module::TLanguageId> ids;
  file.Zod().GetLanguageList(file.Index(), ids);
  for (module::TLanguageId id : ids) {
    module::TZodLanguage language;
    language.Identifier = id;
    if (file.Zod().GetLanguage(file.Index(), language)) std::cout << "  " << LanguageSummaryLine(language) << "\n";
  }
  std::cout << "Language codes: " << info["languageCodes"].size() << "\n";
  for (const json& c : info["languageCodes"])
    std::cout << "  " << c["code"].get<std::string>() << "  " << (c["text"].is_null() ? "" : c["text"].get<std::string>())
              << "\n";
  std::cout << "Countries: " << info["countries"].size() << "\n";
  for (const json& c : info["countries"])
    std::cout << "  " << c["code"].get<std::string>() << "  " << (c["name"].is_null() ? "" : c["name"].get<std::string>())
              << "  " << c["dataSize"].get<size_t>() << " bytes of data\n";
  std::cout << "Properties: " << info["properties"].size() << "\n";
  for (const json& p : info["properties"])
    std::cout << "  " << std::left << std::setw(29) << p["name"].get<std::string>() << p["size"].get<size_t>()
              << " bytes\n";
}

const TSetting& FindSetting(const std::string& name) {
  for (const TSetting& s : Settings())
    if (name == s.Name) return s;
  throw ECommandFailed(rtl::Format(qs::_SCliUnknownSetting, name, SettingNames()));
}

// The languages settings name must be languages of the module (?? stays allowed: none).
void RequireSettingLanguage(TModuleFile& file, const TSetting& setting, const std::string& value) {
  const std::string name = setting.Name;
  if (name != "design-language" && name != "default-language") return;
  const module::TLanguageId id = ParseLanguageId(value);
  if (id != module::kNoLanguage) file.RequireLanguage(id);
}

// Why `fileName` may not be replaced by a new module: empty when it is missing or a module.
// Anything else (a source, a database of other tables, a folder) is the user's own.
std::string NotAModule(const std::string& fileName) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status status = fs::status(fileName, ec);
  if (!fs::exists(status)) return {};
  if (fs::is_directory(status)) return qs::_SCliIsFolder;
  if (!fs::is_regular_file(status)) return qs::_SCliNotRegular;
  if (!storage::TCustomVarDB::DiagnoseFile(fileName).empty()) return qs::_SCliNoDatabase;
  storage::TCustomVarDB db("");
  try {
    if (!db.OpenFile(fileName, rtl::fmOpenRead | rtl::fmShareDenyNone)) return qs::_SCliNoDatabase;
  } catch (const rtl::Exception&) {
    return qs::_SCliNoDatabase;
  }
  std::string others;
  bool properties = false;
  for (int t = 0; t < db.TableCount(); ++t) {
    const std::string& table = db.Table(t).Header.TableName;
    if (table == module::kPropertiesTable) properties = true;
    if (module::ModuleTableDefinition(table).empty()) others += (others.empty() ? "" : ", ") + table;
  }
  if (!others.empty()) return rtl::Format(qs::_SCliOtherTables, others);
  return properties ? std::string() : std::string(qs::_SCliNoModuleTables);
}

// The index of the open module of fileName in the global instance, or -1.
int FindOpenModule(const std::string& fileName) {
  TZod& zod = module::GlobalZOD();
  for (int i = 0; i < zod.GetModuleCount(); ++i)
    if (module::SameModuleName(zod.GetModuleName(i), module::ModuleNameOf(fileName))) return i;
  return -1;
}

constexpr size_t kMaxAutoIncludeFile = 1u << 20;

// --- maintenance ---------------------------------------------------------------------------

void RegisterPack(CLI::App* cmd) {
  auto options = std::make_shared<TToolOptions>();
  CLI::App* pack = cmd->add_subcommand(
      "pack", "Rewrite the module into a fresh file: free space, deleted records, stale index nodes, names and texts "
              "no object uses are dropped; objects, their texts in every language, comments, dictionaries and "
              "settings stay, and the format version becomes the current one. The module as it was is kept as "
              "<module>.~lm (an earlier one is replaced, and the command says so); a failure leaves the module "
              "unchanged");
  options->Add(pack, true, false);
  pack->callback([options] {
    options->Run([&](tools::TToolSession& session) {
      const std::string backup = module::CompanionName(session.ModuleFile(), tools::kPackBackupExtension);
      const bool replaces = std::filesystem::exists(backup);
      tools::TPackResult r;
      {
        TProgressBar bar;
        r = tools::PackModule(session.WorkingModule(), bar.Callback());
      }
      session.ModuleChanged();
      std::cout << rtl::Format(strings::_SPacked, session.ModuleFile(), r.Forms, r.Objects, r.Terms, r.Comments)
                << "\n";
      if (!session.Options().DryRun) std::cout << rtl::Format(strings::_SPackBackup, backup) << "\n";
      if (replaces) std::cout << rtl::Format(strings::_SPackBackupReplaced, backup) << "\n";
    });
  });
}

void RegisterReindex(CLI::App* cmd) {
  auto options = std::make_shared<TToolOptions>();
  CLI::App* reindex = cmd->add_subcommand(
      "reindex", "Rebuild every index of every table of the module (for a module whose look-ups fail or slow down)");
  options->Add(reindex, true, false);
  reindex->callback([options] {
    options->Run([&](tools::TToolSession& session) {
      tools::TReindexResult r;
      {
        TProgressBar bar;
        r = tools::ReindexModule(session.WorkingModule(), bar.Callback());
      }
      session.ModuleChanged();
      std::cout << rtl::Format(strings::_SReindexed, session.ModuleFile(), r.Tables) << "\n";
      if (!session.Options().DryRun)
        std::cout << rtl::Format(strings::_SRewriteBackup, session.ModuleFile(), r.Backup) << "\n";
    });
  });
}

void RegisterMigrate(CLI::App* cmd) {
  struct TMigrateOptions {
    TToolOptions Tool;
    std::string Language;
  };
  auto o = std::make_shared<TMigrateOptions>();
  CLI::App* migrate = cmd->add_subcommand(
      "migrate", "Make --lang the design language and read the texts now on the project's forms and in its "
                 "resource-string units into it, for review. Texts of that language that are signed off are kept "
                 "as they are. Asks first: --yes answers");
  migrate->add_option("--lang", o->Language, "The language to read the texts into")->required();
  o->Tool.Add(migrate, true, true);
  migrate->callback([o] {
    o->Tool.Run([&](tools::TToolSession& session) {
      const module::TLanguageId language = ParseLanguageId(o->Language);
      {
        TModuleFile check(session.WorkingModule());
        check.RequireLanguage(language);
      }
      session.Confirm(strings::_SMigrateCaution);
      tools::TWorkModule module(session.WorkingModule());
      tools::TMigrateResult r;
      {
        TProgressBar bar;
        r = tools::MigrateForms(session, module.Index(), language, bar.Callback());
      }
      std::cout << rtl::Format(strings::_SMigrated, r.Forms, r.Units, FormatLanguageId(language), r.KeptSignedOff)
                << "\n";
    });
  });
}

// The module options of the project settings, each written only when given.
void RegisterSettings(CLI::App* cmd) {
  struct TSettingsOptions {
    TTarget Target;
    std::vector<std::pair<const char*, std::string>> Values{{"use-original-if-untranslated", ""},
                                                            {"switch-resstr-pas", ""},
                                                            {"switch-resstr-rc", ""},
                                                            {"show-lang-list", ""},
                                                            {"auto-include", ""}};
    bool Json = false;
  };
  auto o = std::make_shared<TSettingsOptions>();
  CLI::App* settings = cmd->add_subcommand(
      "settings", "Show the module's options, or change those given: the design-time text for untranslated "
                  "items, switching resource strings and string tables at run time, the language list in the "
                  "system menu, auto-including properties");
  o->Target.AddModule(settings, false);
  const char* options[] = {"--use-original", "--switch-resstr", "--switch-rc", "--show-lang-list", "--auto-include"};
  const char* helps[] = {"Use design-time value for all untranslated items",
                         "Switch all 'resourcestring' constants at run-time", "Switch all RC stringtables at run-time",
                         "Show language list in system menu as default", "Auto include specified properties"};
  for (size_t i = 0; i < o->Values.size(); ++i)
    settings->add_option(options[i], o->Values[i].second, std::string(helps[i]) + " (on/off)");
  settings->add_flag("--json", o->Json, "Print the options as one JSON object");
  settings->callback([o] {
    bool changes = false;
    for (const auto& [name, value] : o->Values) changes |= !value.empty();
    TModuleFile file(o->Target.ModuleFile(), changes ? TModuleFile::TAccess::ReadWrite : TModuleFile::TAccess::ReadOnly);
    for (const auto& [name, value] : o->Values)
      if (!value.empty() && !FindSetting(name).Set(file.Zod(), file.Index(), value))
        throw ECommandFailed(rtl::Format(qs::_SCliWriteFailed, file.FileName()));
    json all = json::object();
    for (const auto& [name, value] : o->Values) all[name] = FindSetting(name).Get(file.Zod(), file.Index());
    if (o->Json) {
      std::cout << all.dump(2) << "\n";
      return;
    }
    for (const auto& [name, value] : o->Values) std::cout << std::left << std::setw(31) << std::string(name) + ":"
                                                          << SettingText(all[name]) << "\n";
  });
}

// The auto-include list: property names, one a line.
void RegisterAutoInclude(CLI::App* cmd) {
  CLI::App* autoInclude = cmd->add_subcommand(
      "auto-include", "The properties that are included automatically when components are dropped onto forms");
  autoInclude->require_subcommand(1);
  struct TAutoOptions {
    TTarget Target;
    std::string File;
  };
  auto list = std::make_shared<TAutoOptions>();
  CLI::App* listCmd = autoInclude->add_subcommand(
      "list", "Print the module's list, one property a line (the default list when the module has none)");
  list->Target.AddModule(listCmd, false);
  listCmd->callback([list] {
    TModuleFile file(list->Target.ModuleFile(), TModuleFile::TAccess::ReadOnly);
    for (const std::string& name : file.Zod().GetAutoIncludeList(file.Index()))
      std::cout << Utf8(text::ByteToUnicode(name, 0)) << "\n";
  });
  auto set = std::make_shared<TAutoOptions>();
  CLI::App* setCmd = autoInclude->add_subcommand(
      "set", "Replace the module's list by the property names of FILE, one a line (blank lines are left out; a "
             "name holds no blanks)");
  set->Target.AddModule(setCmd, false);
  setCmd->add_option("FILE", set->File, "Text file (UTF-8) of property names")->required();
  setCmd->callback([set] {
    rtl::TFileBytes bytes = rtl::ReadRegularFile(set->File, kMaxAutoIncludeFile);
    if (!bytes) throw ECommandFailed(rtl::Format(strings::_SLanCannotRead, set->File, bytes.Reason()));
    std::vector<std::string> names;
    size_t line = 0;
    for (size_t at = 0; at <= bytes.Data.size();) {
      size_t end = bytes.Data.find_first_of("\r\n", at);
      if (end == std::string::npos) end = bytes.Data.size();
      ++line;
      std::string name = bytes.Data.substr(at, end - at);
      name.erase(0, name.find_first_not_of(" \t"));
      name.erase(name.find_last_not_of(" \t") + 1);
      if (!name.empty()) {
        if (name.find_first_of(" \t") != std::string::npos || name.size() > 255)
          throw ECommandFailed(rtl::Format(qs::_SCliAutoIncludeBadName, set->File, static_cast<int64_t>(line)));
        names.push_back(text::UnicodeToByte(StoredText(name, set->File), 0));
      }
      at = end + (end + 1 < bytes.Data.size() && bytes.Data[end] == '\r' && bytes.Data[end + 1] == '\n' ? 2 : 1);
    }
    const std::string text = module::JoinCatalogue(names);
    TModuleFile file(set->Target.ModuleFile());
    if (!file.Zod().SetAutoIncludes(file.Index(), static_cast<int32_t>(text.size()), text.data()))
      throw ECommandFailed(rtl::Format(qs::_SCliWriteFailed, file.FileName()));
    std::cout << rtl::Format(qs::_SCliAutoIncludeSet, file.FileName(), static_cast<int64_t>(names.size())) << "\n";
  });
}

}  // namespace

void RegisterModuleCommands(CLI::App& app) {
  CLI::App* cmd = app.add_subcommand("module", "Language modules: create them, show and change their settings, "
                                               "register them permanently");
  cmd->require_subcommand(1);

  struct TNewOptions {
    TTarget target;
    bool force = false;
  };
  auto create = std::make_shared<TNewOptions>();
  CLI::App* newCmd = cmd->add_subcommand(
      "new", "Create an empty language module: it records its creation time and format version 110 and holds "
             "nothing else; every setting reads its default");
  create->target.AddModule(newCmd, true, "Module file to create (.zod)");
  newCmd->add_flag("--force", create->force,
                   "Replace an existing module. Only a module is replaced: any other file, a database with other "
                   "tables or a folder is refused and left as it is");
  newCmd->callback([create]() {
    const std::string file = create->target.ModuleFileToCreate();
    const std::string problem = NotAModule(file);
    if (!problem.empty()) throw ECommandFailed(rtl::Format(qs::_SCliNotReplaced, file, problem));
    // The new module is made beside the old one and replaces it only when complete.
    TReplacement replacement(file, create->force);
    {
      TZod zod(TZod::TStart::Empty);
      if (zod.NewModule(replacement.StagingPath()) < 0) throw ECommandFailed(rtl::Format(qs::_SCliNotCreated, file));
    }
    replacement.Commit();
  });

  struct TInfoOptions {
    TTarget target;
    bool json = false;
  };
  auto info = std::make_shared<TInfoOptions>();
  CLI::App* infoCmd = cmd->add_subcommand(
      "info", "Show what a module holds: name, size, creation time, format version (ZodVer), version record, every "
              "setting with its value, the languages (identifier, name, native name, charset, locale, keyboard, "
              "apply flags), language codes, countries and the names and sizes of all properties");
  info->target.AddModule(infoCmd);
  infoCmd->add_flag("--json", info->json,
                    "Print one JSON object: file, name, size, created, zodVer, old, versionInfo, settings (by the "
                    "names of `module set`), languages, languageCodes, countries, properties");
  infoCmd->callback([info]() {
    TModuleFile file(info->target.ModuleFile(), TModuleFile::TAccess::ReadOnly);
    json result = InfoJson(file);
    if (info->json) {
      std::cout << result.dump(2) << "\n";
    } else {
      PrintInfo(result, file);
    }
    file.WarnDamage();
  });

  auto set = std::make_shared<TModuleArguments>();
  std::string settingHelp;
  for (const TSetting& s : Settings()) settingHelp += std::string("\n  ") + s.Name + ": " + s.Help;
  CLI::App* setCmd = cmd->add_subcommand(
      "set", "Change one module setting. Languages are two characters (de, ##) naming a language the module has, or "
             "?? for none; switches take on/off, true/false, yes/no or 1/0. The settings:" +
                 settingHelp);
  set->Add(setCmd, "SETTING VALUE", {2}, "the setting's name (e.g. default-language) and its new value");
  setCmd->callback([set]() {
    const TSetting& setting = FindSetting((*set)[0]);
    const std::string& value = (*set)[1];
    TModuleFile file(set->ModuleFile());
    RequireSettingLanguage(file, setting, value);
    if (!setting.Set(file.Zod(), file.Index(), value))
      throw ECommandFailed(rtl::Format(qs::_SCliWriteFailed, file.FileName()));
  });

  struct TRegisterOptions {
    TTarget target;
    bool permanent = false;
  };
  auto reg = std::make_shared<TRegisterOptions>();
  CLI::App* regCmd = cmd->add_subcommand(
      "register", "Open a module as the translator and the tools do. With --permanent its full path goes into the "
                  "first free of the 20 places of the per-user registry (section ZOD of Software\\Talvorine in "
                  "$QUINTREL_CONFIG or ~/.config/quintrel/registry.ini), so that it is opened at every start; a "
                  "module of the same file name (ignoring case and folder) counts as registered already. Without "
                  "--permanent it only checks that the module opens.");
  reg->target.AddModule(regCmd);
  regCmd->add_flag("--permanent", reg->permanent, "Register the module permanently");
  regCmd->callback([reg]() {
    const std::string file = reg->target.ModuleFile();
    std::string path = AbsolutePath(file);
    std::string problem = storage::TCustomVarDB::DiagnoseFile(path);
    if (!problem.empty()) throw ECommandFailed(problem);
    TZod& zod = module::GlobalZOD();
    int index = zod.RegisterModule(path, reg->permanent);
    if (index < 0) throw ECommandFailed(rtl::Format(qs::_SCliTooManyModules, file));
    if (!zod.GetModuleInterface(index).IsFile()) throw ECommandFailed(rtl::Format(qs::_SCliNotOpened, file));
    if (reg->permanent && !zod.IsModulePermanent(index))
      throw ECommandFailed(rtl::Format(qs::_SCliNoPermanentSlot, file));
  });

  auto unreg = std::make_shared<TRegisterOptions>();
  CLI::App* unregCmd = cmd->add_subcommand(
      "unregister", "Close a module. With --permanent the registry place naming it (by file name, ignoring case "
                    "and folder) is emptied, also when the file no longer exists. Without --permanent it only "
                    "checks that the module is registered (open at start).");
  unreg->target.AddModule(unregCmd, true, "Module file, or just its file name");
  unregCmd->add_flag("--permanent", unreg->permanent, "Remove the permanent registration");
  unregCmd->callback([unreg]() {
    // The file may be gone: only its name is needed.
    const std::string file = unreg->target.ModuleFileToCreate();
    int index = FindOpenModule(file);
    bool removed = false;
    if (index >= 0) {
      removed = module::GlobalZOD().IsModulePermanent(index);
      module::GlobalZOD().UnRegisterModule(index, unreg->permanent);
    } else if (unreg->permanent) {
      removed = module::RemovePermanentModule(file);
    }
    if (!removed) throw ECommandFailed(rtl::Format(qs::_SCliNotPermanent, file));
  });

  auto listJson = std::make_shared<bool>(false);
  CLI::App* listCmd = cmd->add_subcommand(
      "list", "List the permanently registered modules: place (0-19), path, and whether it opens (open, missing, "
              "not a module). Says so when there are none");
  listCmd->add_flag("--json", *listJson, "Print a JSON array of {place, path, state}");
  listCmd->callback([listJson]() {
    TZod& zod = module::GlobalZOD();
    json list = json::array();
    auto places = module::GetPermanentModules();
    for (int place = 0; place < module::kMaxPermanentModules; ++place) {
      const std::string& path = places[static_cast<size_t>(place)];
      if (path.empty()) continue;
      int index = FindOpenModule(path);
      std::string state = !rtl::FileExists(path)                                   ? "missing"
                          : index >= 0 && zod.GetModuleInterface(index).IsFile() ? "open"
                                                                                   : "not a module";
      list.push_back({{"place", place}, {"path", path}, {"state", state}});
    }
    if (*listJson) {
      std::cout << list.dump(2) << "\n";
      return;
    }
    if (list.empty()) std::cout << qs::_SCliNoPermanentModules << "\n";
    for (const json& entry : list)
      std::cout << std::setw(2) << entry["place"].get<int>() << "  " << entry["path"].get<std::string>() << "  ("
                << entry["state"].get<std::string>() << ")\n";
  });

  RegisterPack(cmd);
  RegisterReindex(cmd);
  RegisterMigrate(cmd);
  RegisterSettings(cmd);
  RegisterAutoInclude(cmd);
}

}  // namespace quintrel::cli
