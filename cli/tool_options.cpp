#include "cli/tool_options.h"

#include <iostream>

#include "cli/common.h"
#include "strings/toolconsts.h"

namespace quintrel::cli {

void TToolOptions::Add(CLI::App* command, bool changes, bool asks) {
  target_.AddModule(command, false);
  if (changes) command->add_flag("--dry-run", dryRun_, "Show what would change; write nothing");
  if (asks) command->add_flag("--yes", yes_, "Answer the command's question with yes");
}

void TToolOptions::Run(const std::function<void(tools::TToolSession&)>& work) const {
  const std::string module = target_.ModuleFile();
  try {
    tools::TToolSession session(target_.ProjectArgument(), module, {yes_, dryRun_});
    work(session);
    for (const std::string& line : session.Commit()) std::cout << line << "\n";
  } catch (const tools::ENotConfirmed& e) {
    std::cerr << "quintrel: " << e.Message() << "\n"
              << "quintrel: " << strings::_SToolAnswerWithYes << "\n";
    throw TExitCode{kExitFailure};
  } catch (const rtl::Exception& e) {
    throw ECommandFailed(e.Message());
  }
}

}  // namespace quintrel::cli
