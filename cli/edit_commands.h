// quintrel edit: the translation editor as a local web page.
#pragma once

#include <CLI/CLI.hpp>

namespace quintrel::cli {

void RegisterEditCommands(CLI::App& app);

}  // namespace quintrel::cli
