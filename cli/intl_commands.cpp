#include "cli/intl_commands.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "cli/browse_commands.h"
#include "cli/common.h"
#include "cli/isolate_commands.h"
#include "cli/target.h"
#include "cli/term_commands.h"
#include "cli/texts.h"
#include "cli/zod_common.h"
#include "module/objects.h"
#include "platform/vcl/textutil.h"
#include "platform/ide/host.h"
#include "strings/hostconsts.h"
#include "strings/qconsts.h"
#include "strings/toolconsts.h"
#include "tools/intlobjects.h"
#include "tools/browser.h"
#include "tools/intlupdate.h"
#include "tools/othermodule.h"
#include "tools/resstr.h"
#include "tools/toolsession.h"
#include "tools/selection.h"

namespace quintrel::cli {

namespace {

namespace qs = quintrel::strings;
using nlohmann::json;
using TAccess = TModuleFile::TAccess;

// --- module startup ------------------------------------------------------------------------

struct TStartupOptions {
  TTarget Target;
  std::string Default;
  std::string SaveSession;
  std::string Win32Locale;
  bool Json = false;
};

// The default language as the start-up page shows it: none for 0 (what unticking stores)
// and for ?? (what a module without the setting reads as).
json DefaultLanguageJson(module::TLanguageId id) {
  return id == 0 || id == module::kNoLanguage ? json(nullptr) : json(FormatLanguageId(id));
}

void RegisterStartup(CLI::App& app) {
  CLI::App* moduleCmd = FindSubcommand(app, "module");
  if (!moduleCmd) moduleCmd = app.add_subcommand("module", "Language module files");
  auto o = std::make_shared<TStartupOptions>();
  CLI::App* cmd = moduleCmd->add_subcommand(
      "startup", "Show or change how an application starts: the language shown first (--default ID, a language of "
                 "the module, or none), whether the language chosen in a session is kept for the next one "
                 "(--save-session) and whether the user's system locale chooses the language (--win32-locale). "
                 "Prints the options as they are afterwards");
  o->Target.AddModule(cmd);
  cmd->add_option("--default", o->Default, "The default language (two characters such as de), or none");
  cmd->add_option("--save-session", o->SaveSession, "on or off: save the language between sessions");
  cmd->add_option("--win32-locale", o->Win32Locale, "on or off: start in the language of the user's locale");
  cmd->add_flag("--json", o->Json, "Print a JSON object: defaultLanguage (null: none), saveSession, win32Locale, "
                                   "languages");
  cmd->callback([o]() {
    const bool change = !o->Default.empty() || !o->SaveSession.empty() || !o->Win32Locale.empty();
    std::optional<module::TLanguageId> defaultLanguage;
    if (!o->Default.empty()) defaultLanguage = o->Default == "none" ? 0 : ParseLanguageId(o->Default);
    std::optional<bool> saveSession, win32Locale;
    if (!o->SaveSession.empty()) saveSession = ParseBool(o->SaveSession);
    if (!o->Win32Locale.empty()) win32Locale = ParseBool(o->Win32Locale);

    TModuleFile file(o->Target.ModuleFile(), change ? TAccess::ReadWrite : TAccess::ReadOnly);
    module::TZod& zod = file.Zod();
    const int m = file.Index();
    if (defaultLanguage && *defaultLanguage != 0) file.RequireLanguage(*defaultLanguage);
    bool written = true;
    if (defaultLanguage) written = zod.SetDefaultLanguage(m, *defaultLanguage) && written;
    if (saveSession) written = zod.SetSaveSessionLanguage(m, *saveSession) && written;
    if (win32Locale) written = zod.SetWin32Locale(m, *win32Locale) && written;
    if (!written) throw ECommandFailed(rtl::Format(qs::_SCliWriteFailed, file.FileName()));
    if (change) std::cerr << "quintrel: " << rtl::Format(qs::_SCliStartupChanged, file.FileName()) << "\n";

    std::vector<module::TLanguageId> ids;
    zod.GetLanguageList(m, ids);
    json languages = json::array();
    for (module::TLanguageId id : ids) languages.push_back(FormatLanguageId(id));
    const json shown = {{"defaultLanguage", DefaultLanguageJson(zod.GetDefaultLanguage(m))},
                        {"saveSession", zod.GetSaveSessionLanguage(m)},
                        {"win32Locale", zod.GetWin32Locale(m)},
                        {"languages", languages}};
    if (o->Json) {
      std::cout << shown.dump(2) << "\n";
      return;
    }
    std::cout << "Default language: "
              << (shown["defaultLanguage"].is_null() ? "none" : shown["defaultLanguage"].get<std::string>()) << "\n"
              << "Save between sessions: " << (shown["saveSession"].get<bool>() ? "on" : "off") << "\n"
              << "Win32 user locale setting: " << (shown["win32Locale"].get<bool>() ? "on" : "off") << "\n"
              << "Languages: " << file.LanguageList() << "\n";
  });
}

// --- intl objects / object-set -----------------------------------------------------------

struct TObjectsOptions {
  TTarget Target;
  std::string Form;
  bool Json = false;
  std::string Path;
  std::string Locked;
  int Priority = -1;
  std::string ZodClass;
  std::string Comment;
  CLI::Option* CommentOption = nullptr;
};

json LeafJson(module::TZod& zod, int m, const tools::TObjectLeaf& leaf) {
  const module::TZodObject& o = leaf.Object;
  return {{"component", leaf.Component.empty() ? json(nullptr) : json(leaf.Component)},
          {"property", leaf.Property},
          {"object", o.Ident},
          {"term", o.Localization},
          {"kind", std::string(module::ZodTypeName(o.Kind))},
          {"class", std::string(module::ZodClassName(o.ZodClass))},
          {"locked", o.Locked},
          {"priority", o.Priority},
          {"comment", Utf8(tools::ObjectComment(zod, m, o))}};
}

std::string LeafLine(module::TZod& zod, int m, const tools::TObjectLeaf& leaf) {
  const module::TZodObject& o = leaf.Object;
  std::string line = leaf.Property + ": object " + std::to_string(o.Ident) + ", " +
                     std::string(module::ZodClassName(o.ZodClass)) + (o.Locked ? ", locked" : "") + ", priority " +
                     std::to_string(o.Priority);
  const std::u16string comment = tools::ObjectComment(zod, m, o);
  if (!comment.empty()) line += ", comment: " + EscapedText(comment);
  return line;
}

void PrintTree(module::TZod& zod, int m, const std::vector<tools::TObjectForm>& tree, const std::string& only,
               bool asJson) {
  json forms = json::array();
  for (const tools::TObjectForm& form : tree) {
    if (!only.empty() && !vcl::SameText(form.Name, only)) continue;
    if (asJson) {
      json leaves = json::array();
      for (const tools::TObjectLeaf& leaf : form.Leaves) leaves.push_back(LeafJson(zod, m, leaf));
      forms.push_back({{"form", form.Name}, {"id", form.Id}, {"count", form.Leaves.size()}, {"properties", leaves}});
      continue;
    }
    std::cout << form.Name << " (" << form.Leaves.size() << " properties)\n";
    // A component's node comes at its first property; its properties gather under it.
    std::vector<std::string> shown;
    for (const tools::TObjectLeaf& leaf : form.Leaves) {
      if (leaf.Component.empty()) {
        std::cout << "  " << LeafLine(zod, m, leaf) << "\n";
        continue;
      }
      if (std::find(shown.begin(), shown.end(), leaf.Component) != shown.end()) continue;
      shown.push_back(leaf.Component);
      std::cout << "  " << leaf.Component << "\n";
      for (const tools::TObjectLeaf& same : form.Leaves)
        if (same.Component == leaf.Component) std::cout << "    " << LeafLine(zod, m, same) << "\n";
    }
  }
  if (asJson) std::cout << forms.dump(2) << "\n";
}

void RegisterObjects(CLI::App* intl) {
  auto o = std::make_shared<TObjectsOptions>();
  CLI::App* cmd = intl->add_subcommand(
      "objects", "Show the module's objects as a tree: each form, its own properties, and each component with its "
                 "properties; per property its object, class, lock, priority and comment");
  o->Target.AddModule(cmd, false);
  cmd->add_option("--form", o->Form, "Only this form (compared ignoring case)");
  cmd->add_flag("--json", o->Json,
                "Print a JSON array of forms: form, id, count, properties (component, null for the form itself; "
                "property, object, term, kind, class, locked, priority, comment)");
  cmd->callback([o]() {
    TModuleFile file(o->Target.ModuleFile(), TAccess::ReadOnly);
    const std::vector<tools::TObjectForm> tree = tools::ObjectTree(file.Zod(), file.Index());
    if (!o->Form.empty()) {
      try {
        tools::LeavesOfPath(tree, o->Form);
      } catch (const tools::EObjectPathError& e) {
        throw ECommandFailed(rtl::Format(qs::_SCliObjectPath, file.FileName(), e.Message()));
      }
    }
    PrintTree(file.Zod(), file.Index(), tree, o->Form, o->Json);
  });

  auto s = std::make_shared<TObjectsOptions>();
  CLI::App* set = intl->add_subcommand(
      "object-set", "Change the settings of the objects under PATH, as `intl objects` shows the tree: Form (every "
                    "property of the form), Form.Component, Form.Property or Form.Component.Property");
  s->Target.AddModule(set, false);
  set->add_option("PATH", s->Path, "Form, Form.Component, Form.Property or Form.Component.Property")->required();
  set->add_option("--locked", s->Locked, "on or off: the translators may not change the text");
  set->add_option("--priority", s->Priority, "The priority, 0 to 255")->check(CLI::Range(0, 255));
  set->add_option("--class", s->ZodClass, "The control class (ucButton ...) or a component class such as TButton");
  s->CommentOption = set->add_option("--comment", s->Comment, "The comment for the translators ('' empties it)");
  set->callback([s]() {
    tools::TObjectSettings settings;
    if (!s->Locked.empty()) settings.Locked = ParseBool(s->Locked);
    if (s->Priority >= 0) settings.Priority = static_cast<uint8_t>(s->Priority);
    if (!s->ZodClass.empty()) settings.ZodClass = ParseClass(s->ZodClass);
    if (s->CommentOption->count() > 0) settings.Comment = StoredText(s->Comment, "--comment");
    if (!settings.Locked && !settings.Priority && !settings.ZodClass && !settings.Comment)
      throw ECommandFailed(qs::_SCliNoObjectSetting);
    TModuleFile file(s->Target.ModuleFile());
    const std::vector<tools::TObjectForm> tree = tools::ObjectTree(file.Zod(), file.Index());
    std::vector<const tools::TObjectLeaf*> leaves;
    try {
      leaves = tools::LeavesOfPath(tree, s->Path);
    } catch (const tools::EObjectPathError& e) {
      throw ECommandFailed(rtl::Format(qs::_SCliObjectPath, file.FileName(), e.Message()));
    }
    const int changed = tools::ApplyObjectSettings(file.Zod(), file.Index(), leaves, settings);
    std::cout << rtl::Format(qs::_SCliObjectsChanged, file.FileName(), changed) << "\n";
  });
}

// --- intl update -------------------------------------------------------------------------

struct TUpdateOptions {
  TTarget Target;
  std::string Selection;
  bool Auto = false;
  bool Prune = false;
  bool Json = false;
  bool DryRun = false;
};

// The project's forms as the browser lists them, each loaded live: every unit's form
// whose form file's head and form the host read. A form file that is missing (a warning)
// or cannot be read (a failure, exit 1) is named on stderr; its form is not listed, so the
// update keeps its catalogue.
struct TProjectForms {
  std::vector<std::string> Listed;
  std::vector<vcl::TComponent*> Live;
  bool Problems = false;
};

TProjectForms LoadProjectForms(TProjectBrowser& b) {
  TProjectForms forms;
  for (const std::string& problem : b.Browser->Problems()) {
    std::cerr << "quintrel: " << problem << "\n";
    forms.Problems = true;
  }
  for (const host::TProjectEntry& entry : b.Host->Project()->Entries())
    if (!entry.FormName.empty() && host::CompanionFile(entry.FileName, ".dfm").empty()) {
      // The update keeps such a form's catalogue: worth a note, not a failure.
      std::cerr << "quintrel: warning: " << rtl::Format(strings::_SFormFileMissing, entry.FileName, entry.FormName)
                << "\n";
    }
  for (const tools::TBrowserForm& form : b.Browser->Forms()) {
    try {
      vcl::TComponent& live = b.Host->Form(form.UnitFile);
      forms.Listed.push_back(form.Head.Name);
      forms.Live.push_back(&live);
    } catch (const rtl::Exception& e) {
      std::cerr << "quintrel: " << e.Message() << "\n";
      forms.Problems = true;
    }
  }
  return forms;
}

json ResultJson(const std::string& moduleFile, const tools::TIntlUpdateResult& r, bool dryRun) {
  return {{"module", moduleFile},          {"propertiesUpdated", r.PropertiesUpdated},
          {"objectsAdded", r.ObjectsAdded}, {"termsAdded", r.TermsAdded},
          {"termsCaptured", r.TermsCaptured}, {"objectsMoved", r.ObjectsMoved},
          {"removedProperties", r.RemovedProperties}, {"emptiedForms", r.EmptiedForms},
          {"prunedForms", r.PrunedForms},   {"keptForms", r.KeptForms},
          {"errors", r.Errors},             {"dryRun", dryRun}};
}

void PrintResult(const std::string& moduleFile, const tools::TIntlUpdateResult& r, bool dryRun) {
  std::cout << rtl::Format(strings::_STotalPropertiesUpdated, r.PropertiesUpdated) << "\n";
  for (const std::string& p : r.RemovedProperties) std::cout << rtl::Format(qs::_SCliIntlRemoved, p) << "\n";
  for (const std::string& f : r.EmptiedForms) std::cout << rtl::Format(qs::_SCliIntlEmptied, f) << "\n";
  for (const std::string& f : r.PrunedForms) std::cout << rtl::Format(qs::_SCliIntlPruned, f) << "\n";
  for (const std::string& f : r.KeptForms) std::cout << rtl::Format(qs::_SCliIntlKept, f) << "\n";
  const std::string line =
      r.Changed() ? rtl::Format(qs::_SCliIntlChanged, moduleFile, r.ObjectsAdded, r.TermsAdded, r.TermsCaptured,
                                r.PropertiesRemoved + static_cast<int>(r.EmptiedForms.size() + r.PrunedForms.size()),
                                r.ObjectsMoved)
                  : rtl::Format(qs::_SCliIntlUnchanged, moduleFile);
  std::cout << line << (dryRun ? qs::_SCliDryRunNote : "") << "\n";
}

void RunUpdate(const TUpdateOptions& o) {
  if (o.Selection.empty() && !o.Auto) throw ECommandFailed(qs::_SCliIntlNeedsSelection);
  const std::string moduleFile = o.Target.ModuleFile();
  tools::TSelection selection;
  std::vector<std::string> includes;
  {
    // Checked as every command checks a module it writes, and closed again: the update
    // works on the process's module list.
    TModuleFile check(moduleFile);
    const module::TLanguageId design = check.Zod().GetDesignTimeLanguage(check.Index());
    if (design == module::kNoLanguage) throw ECommandFailed(rtl::Format(qs::_SCliIntlNoDesignLanguage, moduleFile));
    check.RequireLanguage(design);
    // The browser starts from what the module catalogues, as the wizard preloads it.
    if (o.Auto) {
      selection = tools::SelectionFromModule(check.Zod(), check.Index());
      includes = check.Zod().GetAutoIncludeList(check.Index());
    }
  }
  if (!o.Selection.empty()) {
    try {
      selection = tools::ReadSelectionFile(o.Selection);
    } catch (const rtl::Exception& e) {
      throw ECommandFailed(e.Message());
    }
  }
  TProjectBrowser b = OpenProjectBrowser(o.Target.ProjectFile());
  const TProjectForms forms = LoadProjectForms(b);
  bool failed = forms.Problems;
  tools::TAutoResult automatic;
  TProgressBar bar;
  if (o.Auto)
    automatic = b.Browser->Auto(includes, tools::TAutoOptions{}, selection, LoadingForms(bar), [&](const std::string& problem) {
      bar.Clear();
      std::cerr << "quintrel: " << problem << "\n";
      failed = true;
    });

  // A dry run works on a copy beside nothing of the user's and throws it away.
  std::string target = moduleFile;
  std::filesystem::path scratch;
  if (o.DryRun) {
    scratch = std::filesystem::temp_directory_path() / ("quintrel-intl-" + std::to_string(::getpid()));
    std::filesystem::create_directories(scratch);
    target = (scratch / std::filesystem::path(moduleFile).filename()).string();
    std::filesystem::copy_file(moduleFile, target, std::filesystem::copy_options::overwrite_existing);
  }
  struct TRemoveScratch {
    std::filesystem::path dir;
    ~TRemoveScratch() {
      std::error_code ec;
      if (!dir.empty()) std::filesystem::remove_all(dir, ec);
    }
  } removeScratch{scratch};

  tools::TIntlUpdateResult result;
  std::vector<std::pair<std::string, size_t>> resourceUnits;  // registered, with the strings imported
  {
    const tools::TWorkModule module(target);
    tools::TIntlUpdateInput input;
    input.Selection = &selection;
    input.ListedForms = forms.Listed;
    input.LiveForms = forms.Live;
    input.Prune = o.Prune;
    input.Progress = bar.Callback();
    result = tools::UpdateObjects(module.Index(), input);
    bar.Clear();
    // Units with resource strings that the module does not know yet are registered and
    // their strings imported, as the resource-string manager does for a unit it is shown.
    try {
      tools::TToolSession session(o.Target.ProjectFile(), target, {});
      tools::TResStringManager strings(session, module::GlobalZOD(), module.Index());
      for (const std::string& path : strings.DiscoverUnits()) {
        const tools::TResUnit unit = strings.AddUnit(std::filesystem::path(path).filename().string());
        const tools::TSyncReport report = strings.Sync(unit);
        resourceUnits.push_back({unit.Name, report.Imported.size()});
      }
    } catch (const rtl::Exception& e) {
      result.Errors.push_back(e.Message());
    }
  }
  if (o.Json) {
    json out = ResultJson(moduleFile, result, o.DryRun);
    out["resourceStringUnits"] = json::array();
    for (const auto& [name, count] : resourceUnits)
      out["resourceStringUnits"].push_back({{"unit", name}, {"imported", count}});
    if (o.Auto) out["auto"] = {{"scanned", automatic.Scanned}, {"included", automatic.Included}};
    std::cout << out.dump(2) << "\n";
  } else {
    if (o.Auto) std::cout << rtl::Format(qs::_SCliAutoCounts, automatic.Scanned, automatic.Included) << "\n";
    for (const auto& [name, count] : resourceUnits)
      std::cout << rtl::Format(qs::_SCliIntlResourceUnit, name, static_cast<int>(count)) << "\n";
    PrintResult(moduleFile, result, o.DryRun);
  }
  for (const std::string& e : result.Errors) std::cerr << "quintrel: " << e << "\n";
  if (failed || !result.Errors.empty()) throw TExitCode{kExitFailure};
}

void RegisterUpdate(CLI::App* intl) {
  auto o = std::make_shared<TUpdateOptions>();
  CLI::App* cmd = intl->add_subcommand(
      "update",
      "Make a selection of the project's form properties the module's catalogue: selected properties become objects "
      "with their design-language texts, texts changed in the form files since are captured (and their "
      "translations marked for review), properties the selection no longer holds are removed with their texts. "
      "Forms whose form files are missing keep their objects unless --prune");
  o->Target.AddModule(cmd, false);
  CLI::Option* selection =
      cmd->add_option("--selection", o->Selection, "The selection file (browse auto, browse select)");
  CLI::Option* automatic = cmd->add_flag(
      "--auto", o->Auto,
      "Select as the browser's Auto does: the module's objects and every property its auto-include list names, "
      "empty values left out");
  selection->excludes(automatic);
  cmd->add_flag("--prune", o->Prune, "Also remove the objects of forms the project no longer shows");
  cmd->add_flag("--dry-run", o->DryRun, "Say what would change, on a copy; the module stays as it is");
  cmd->add_flag("--json", o->Json,
                "Print a JSON object: module, propertiesUpdated, objectsAdded, termsAdded, termsCaptured, "
                "objectsMoved, removedProperties, emptiedForms, prunedForms, keptForms, errors, dryRun");
  cmd->callback([o]() { RunUpdate(*o); });
}


}  // namespace

void RegisterIntlCommands(CLI::App& app) {
  RegisterStartup(app);
  CLI::App* intl = app.add_subcommand(
      "intl", "Internationalize a project: catalogue its forms' properties into its module and keep them in step, "
              "and the settings of the catalogued objects");
  intl->require_subcommand(1);
  RegisterUpdate(intl);
  RegisterObjects(intl);
  RegisterScanSourcesCommand(intl);
}

}  // namespace quintrel::cli
