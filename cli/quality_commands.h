// The quality commands: quintrel pseudo, validate, status, signoff, unlock and accel.
#pragma once

#include <CLI/CLI.hpp>

namespace quintrel::cli {

void RegisterQualityCommands(CLI::App& app);

}  // namespace quintrel::cli
