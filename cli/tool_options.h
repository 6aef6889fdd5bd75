// The options every design-time tool command shares, and how it runs: --project and
// --module name where it works, --dry-run shows what it would change, --yes answers its
// question. The command's work runs on a tools::TToolSession; afterwards the files it
// changed are written and named, one line each on stdout. A question left unanswered
// ends the command with the question's text on stderr and exit status 1, nothing changed.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

#include "cli/target.h"
#include "tools/toolsession.h"

namespace quintrel::cli {

class TToolOptions {
public:
  // --project and --module always; --dry-run when the command changes files; --yes when
  // it asks before it does.
  void Add(CLI::App* command, bool changes, bool asks);
  // Opens the session (the module must exist), runs `work` on it, commits and prints the
  // changed files.
  void Run(const std::function<void(tools::TToolSession&)>& work) const;
  const TTarget& Target() const { return target_; }

private:
  TTarget target_;
  bool yes_ = false;
  bool dryRun_ = false;
};

}  // namespace quintrel::cli
