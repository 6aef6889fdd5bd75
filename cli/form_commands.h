#pragma once

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "platform/vcl/filer.h"
#include "platform/vcl/proplist.h"

namespace quintrel::cli {

// quintrel form convert|tree: form files (.dfm) in either notation; form list|remove: the
// forms of a module's catalogue.
void RegisterFormCommands(CLI::App& app);

// The code page a form's 8-bit texts are read in: the one asked for (> 0), else that of
// the form's first specific font charset (the charset it was designed in), else 1252. Form
// files carry no code page of their own; every command that shows a form's texts decides
// the same way.
inline constexpr int kDefaultFormCodePage = 1252;
int FormCodePage(const vcl::TStreamObject& root, int requested = 0);
inline constexpr const char* kCodePageHelp =
    "Code page of the form's 8-bit texts (default: that of its first specific font charset, else 1252)";

// One node of a component tree as the JSON outputs show it: {name, class, properties:
// [{path, value}]}.
nlohmann::json ComponentNodeJson(const vcl::TComponentNode& node);

}  // namespace quintrel::cli
