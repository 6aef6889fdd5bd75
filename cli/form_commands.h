#pragma once

#include <CLI/CLI.hpp>

namespace quintrel::cli {

// quintrel form convert|tree: form files (.dfm) in either notation.
void RegisterFormCommands(CLI::App& app);

}  // namespace quintrel::cli
