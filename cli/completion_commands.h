#pragma once

#include <CLI/CLI.hpp>

namespace quintrel::cli {

// quintrel completion bash: a shell's completion of the commands and options, generated
// from the command definitions when it runs, so that it never lags behind them.
void RegisterCompletionCommand(CLI::App& app);

}  // namespace quintrel::cli
