#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

#include "cli/texts.h"  // EscapedText, shared with the term and object lists
#include "platform/ide/host.h"
#include "platform/ide/linker.h"

namespace quintrel::cli {

// quintrel project info|forms|strings: C++Builder and Delphi projects as the development
// environment's host opens them.
void RegisterProjectCommands(CLI::App& app);

// The common option by which tool commands name the project they work on: a project
// file (.bpr, .mak, .dpr, or the project source .cpp) or a folder holding exactly one.
// Defaults to the current folder.
CLI::Option* AddProjectOption(CLI::App* command, std::string& project);

// Opens the project in a new host, which becomes the process's tool services while it
// lives; fails with a line naming the file.
std::unique_ptr<host::TDevelopmentHost> OpenProjectHost(const std::string& project);
// Reads the project's file and source without a host; fails with a line naming the file.
host::TProject OpenProject(const std::string& project);

// The string table the project's executable would have, narrow sources read in the
// process's ANSI code page; fails with a line naming the file.
host::TStringTable LinkProjectStrings(const host::TProject& project);

}  // namespace quintrel::cli
