#pragma once

#include <CLI/CLI.hpp>

namespace quintrel::cli {

// quintrel intl scan-sources: the hard-coded texts of the project's units (joins the
// "intl" command, which registers it).
void RegisterScanSourcesCommand(CLI::App* intl);

// quintrel isolate plan|rename|preview|apply: hard-coded texts moved into a resource-string
// unit that the module catalogues, planned in a file a person edits, previewed as a diff.
void RegisterIsolateCommands(CLI::App& app);

}  // namespace quintrel::cli
