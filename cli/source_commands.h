#pragma once

#include <CLI/CLI.hpp>

namespace quintrel::cli {

// quintrel source tokens: the tokens the design-time tools read from a Pascal unit, a C
// source or a resource script.
void RegisterSourceCommands(CLI::App& app);

}  // namespace quintrel::cli
