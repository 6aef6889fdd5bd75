#pragma once

#include <CLI/CLI.hpp>

namespace quintrel::cli {

// quintrel intl update|objects|object-set: a project's forms catalogued into its module and
// the settings of the catalogued objects; and quintrel module startup (joining the
// "module" command registered before): the module's start-up options.
void RegisterIntlCommands(CLI::App& app);

}  // namespace quintrel::cli
