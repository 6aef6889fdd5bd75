#pragma once

#include <CLI/CLI.hpp>

namespace quintrel::cli {

// quintrel resstr units|unit-add|unit-remove|list|add|edit|remove|literal|compile: the
// project's resource-string units and their strings, kept in step with the module.
void RegisterResStrCommands(CLI::App& app);

}  // namespace quintrel::cli
