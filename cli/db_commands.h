#pragma once

#include <CLI/CLI.hpp>

namespace quintrel::cli {

// quintrel db info|...: direct tools on record database files.
void RegisterDbCommands(CLI::App& app);

}  // namespace quintrel::cli
