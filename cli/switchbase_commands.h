#pragma once

#include <CLI/CLI.hpp>

namespace quintrel::cli {

// quintrel switch-base: the project's forms and resource-string units rewritten into
// another language of its module, which becomes the design language.
void RegisterSwitchBaseCommands(CLI::App& app);

}  // namespace quintrel::cli
