#pragma once

#include <CLI/CLI.hpp>

namespace quintrel::cli {

// quintrel globalization add|remove: what the add-in's project item does, creating the
// project's language module or putting it aside.
void RegisterGlobalizationCommands(CLI::App& app);

}  // namespace quintrel::cli
