#pragma once

#include <CLI/CLI.hpp>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "cli/progress.h"
#include "platform/ide/host.h"
#include "tools/browser.h"

namespace quintrel::cli {

// quintrel browse forms|form|selected|auto|select|unselect: the component browser over a
// project's forms and the selection files it writes.
void RegisterBrowseCommands(CLI::App& app);

// The project open in a host, which is the tool services while it lives, and the browser
// over its forms. Narrow texts of the forms show through `codePage` (0: the process's
// ANSI code page, as the development environment reads them).
struct TProjectBrowser {
  std::unique_ptr<host::TDevelopmentHost> Host;
  std::unique_ptr<tools::TComponentBrowser> Browser;
};
TProjectBrowser OpenProjectBrowser(const std::string& project, int codePage = 0);

// What the browser's automatic selection tells of each form it loads, shown on the bar
// ("Loading Form Main").
std::function<void(const tools::TBrowserForm&, std::size_t, std::size_t)> LoadingForms(TProgressBar& bar);

// A file as the project names it: relative to the project's folder when it lies inside.
std::string Relative(const std::string& folder, const std::string& fileName);

// Where a unit's form file is (a .dfm beside a .cpp, .pas or .c of the same name, the
// spelling of its case taken as it is on disk) and what its head says.
tools::TFormHeadReader ProjectFormHeads();

}  // namespace quintrel::cli
