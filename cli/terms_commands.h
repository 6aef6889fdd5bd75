#pragma once

#include <CLI/CLI.hpp>

namespace quintrel::cli {

// quintrel terms tree|show|set|clear|next|prev|translate|status|comment|picture: the
// translation editor on the command line, object by object (editors/termeditor.h). The
// low-level `term` group works on term identifiers; this one on the objects of the forms.
void RegisterTermsCommands(CLI::App& app);

}  // namespace quintrel::cli
