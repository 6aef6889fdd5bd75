#pragma once

#include <CLI/CLI.hpp>

#include "cli/zod_common.h"
#include "tools/resstr.h"

namespace quintrel::cli {

// quintrel resstr units|unit-add|unit-remove|list|add|edit|remove|literal|compile: the
// project's resource-string units and their strings, kept in step with the module.
void RegisterResStrCommands(CLI::App& app);

// The module of a tool session, opened with its design language required, and the
// resource-string manager over both.
struct TResStrRun {
  explicit TResStrRun(tools::TToolSession& session)
      : File(session.WorkingModule()), Manager(session, File.Zod(), File.Index()) {
    File.RequireLanguage(Manager.DesignLanguage());
  }
  TModuleFile File;
  tools::TResStringManager Manager;
};

}  // namespace quintrel::cli
