#pragma once

#include <CLI/CLI.hpp>

namespace quintrel::cli {

// quintrel module new|info|set|register|unregister|list: language module files, their
// settings and their permanent registration.
void RegisterModuleCommands(CLI::App& app);

}  // namespace quintrel::cli
