// quintrel preview: a project's forms switched to a language as the application shows them.
#pragma once

#include <CLI/CLI.hpp>

namespace quintrel::cli {

void RegisterPreviewCommands(CLI::App& app);

}  // namespace quintrel::cli
