#pragma once

#include <CLI/CLI.hpp>

namespace quintrel::cli {

// quintrel object add|list|remove and quintrel form list|remove: the object catalogue of
// a module. The form verbs join a "form" command registered before, if any.
void RegisterObjectCommands(CLI::App& app);

}  // namespace quintrel::cli
