#include "cli/switchbase_commands.h"

#include <iostream>
#include <memory>

#include "cli/common.h"
#include "cli/progress.h"
#include "cli/tool_options.h"
#include "cli/zod_common.h"
#include "strings/toolconsts.h"
#include "tools/othermodule.h"
#include "tools/switchbase.h"

namespace quintrel::cli {

void RegisterSwitchBaseCommands(CLI::App& app) {
  struct TOptions {
    TToolOptions Tool;
    std::string Language;
  };
  auto o = std::make_shared<TOptions>();
  CLI::App* cmd = app.add_subcommand(
      "switch-base",
      "Switch the project's design language: every form gets the texts of --lang (a text it lacks keeps the "
      "previous design language's), every resource-string unit has its strings rewritten into it, and --lang "
      "becomes the module's design language. Forms keep their notation, string tables their numbers; each changed "
      "file gets its backup. A file that cannot be written stops the switch before anything changes. Switching "
      "back to the previous language gives the project as it was");
  cmd->add_option("--lang", o->Language, "The language to switch to (de, $0407, ...)")->required();
  o->Tool.Add(cmd, true, false);
  cmd->callback([o] {
    o->Tool.Run([&](tools::TToolSession& session) {
      const module::TLanguageId language = ParseLanguageId(o->Language);
      tools::TWorkModule module(session.WorkingModule());
      tools::TSwitchBaseResult r;
      {
        TProgressBar bar;
        r = tools::SwitchBaseLanguage(session, module.Index(), language, bar.Callback());
      }
      std::cout << (r.Update ? strings::_SSwitchDesignUpdate : strings::_SSwitchDesignSwitch) << ": "
                << rtl::Format(strings::_SSwitchedDesign, session.ModuleFile(), FormatLanguageId(language),
                               FormatLanguageId(r.Previous))
                << "\n";
    });
  });
}

}  // namespace quintrel::cli
