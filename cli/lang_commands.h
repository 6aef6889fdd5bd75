#pragma once

#include <CLI/CLI.hpp>

namespace quintrel::cli {

// quintrel lang list|show|add|set|remove: the languages of a module and their regional
// settings.
void RegisterLangCommands(CLI::App& app);

}  // namespace quintrel::cli
