#pragma once

#include <CLI/CLI.hpp>

namespace quintrel::cli {

// quintrel leverage inspect|run: translations of another module or of a languages file
// taken into the project's module.
void RegisterLeverageCommands(CLI::App& app);

}  // namespace quintrel::cli
