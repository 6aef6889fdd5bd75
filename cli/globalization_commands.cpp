#include "cli/globalization_commands.h"

#include <iostream>
#include <memory>

#include "cli/common.h"
#include "cli/ide_commands.h"
#include "cli/target.h"
#include "cli/zod_common.h"
#include "module/modulefile.h"
#include "strings/addinconsts.h"
#include "text/unicode.h"

namespace quintrel::cli {

namespace {

// The backup a removed module is moved to.
constexpr std::string_view kRemovedModuleExtension = ".~lm";

struct TGlobalizationOptions {
  TTarget Target;
  std::string Language;
  std::string Name;
  bool Yes = false;
};

void Add(const TGlobalizationOptions& o) {
  module::TZodLanguage language;
  language.Identifier = ParseLanguageId(o.Language);
  // A language no registered module defines is stored with its name alone.
  language.Name = StoredText(o.Name.empty() ? o.Language : o.Name, "--name");
  TAddInHost run(o.Target.ProjectArgument());
  run.AddIn().AddGlobalization(language);
  std::cout << rtl::Format(strings::_SGlobalizationAdded, run.AddIn().Translator().GetProjectFile(),
                           FormatLanguageId(language.Identifier))
            << "\n";
}

void Remove(const TGlobalizationOptions& o) {
  TAddInHost run(o.Target.ProjectArgument());
  const std::string moduleFile = run.AddIn().Translator().GetProjectFile();
  if (!run.AddIn().ModuleOpen() || moduleFile.empty())
    throw ECommandFailed(rtl::Format(strings::_SNotGlobalized, run.Host().GetProjectName()));
  if (!o.Yes) throw ECommandFailed(strings::_SConfirmRemoveGlobalization);
  const std::string backup = module::CompanionName(moduleFile, kRemovedModuleExtension);
  if (!module::FindIgnoringCase(backup).empty()) throw ECommandFailed(rtl::Format(strings::_SBackupExists, backup));
  run.AddIn().RemoveGlobalization(backup);
  std::cout << rtl::Format(strings::_SGlobalizationRemoved, moduleFile, backup) << "\n";
}

}  // namespace

void RegisterGlobalizationCommands(CLI::App& app) {
  CLI::App* group = app.add_subcommand(
      "globalization", "Give a project its language module, or put the module aside (the add-in's project item)");
  group->require_subcommand(1);

  auto add = std::make_shared<TGlobalizationOptions>();
  CLI::App* addCmd = group->add_subcommand(
      "add", "Create the project's language module (<project>.ZOD beside the project file) with the language the "
             "forms are designed in; its definition is copied from the first registered module that has it");
  add->Target.AddProject(addCmd);
  addCmd->add_option("--language", add->Language, "the design language: two characters (en, de) or $HHHH")
      ->required();
  addCmd->add_option("--name", add->Name, "the language's name when no registered module defines it");
  addCmd->callback([add]() { Add(*add); });

  auto remove = std::make_shared<TGlobalizationOptions>();
  CLI::App* removeCmd = group->add_subcommand(
      "remove", "Remove all globalization work: the module is closed and moved to <module>.~lm (never deleted)");
  remove->Target.AddProject(removeCmd);
  removeCmd->add_flag("--yes", remove->Yes, "answer the question yes");
  removeCmd->callback([remove]() { Remove(*remove); });
}

}  // namespace quintrel::cli
