#pragma once

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "platform/vcl/filer.h"
#include "platform/vcl/proplist.h"
#include "tools/liveforms.h"

namespace quintrel::cli {

// quintrel form convert|tree: form files (.dfm) in either notation; form list|remove: the
// forms of a module's catalogue.
void RegisterFormCommands(CLI::App& app);

// The code page a form's 8-bit texts are read in (tools/liveforms.h).
using tools::FormCodePage;
using tools::kDefaultFormCodePage;
inline constexpr const char* kCodePageHelp =
    "Code page of the form's 8-bit texts (default: that of its first specific font charset, else 1252)";

// One node of a component tree as the JSON outputs show it: {name, class, properties:
// [{path, value}]}.
nlohmann::json ComponentNodeJson(const vcl::TComponentNode& node);

}  // namespace quintrel::cli
