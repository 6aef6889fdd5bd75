// quintrel export, import, stats and autotranslate: a module's texts out to a translator
// and back (the external text file, XLIFF 1.2, PO), the translation state of a language,
// and translation from dictionary modules.
#pragma once

#include <CLI/CLI.hpp>

namespace quintrel::cli {

void RegisterExchangeCommands(CLI::App& app);

}  // namespace quintrel::cli
