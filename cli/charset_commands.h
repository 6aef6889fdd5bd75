#pragma once

#include <CLI/CLI.hpp>

namespace quintrel::cli {

// quintrel charset decode|encode: converts standard input between a charset's bytes and
// UTF-8.
void RegisterCharsetCommands(CLI::App& app);

}  // namespace quintrel::cli
