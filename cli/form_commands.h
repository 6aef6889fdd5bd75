#pragma once

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "platform/vcl/proplist.h"

namespace quintrel::cli {

// quintrel form convert|tree: form files (.dfm) in either notation.
void RegisterFormCommands(CLI::App& app);

// One node of a component tree as the JSON outputs show it: {name, class, properties:
// [{path, value}]}.
nlohmann::json ComponentNodeJson(const vcl::TComponentNode& node);

}  // namespace quintrel::cli
