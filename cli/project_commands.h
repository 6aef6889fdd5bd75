#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

#include "platform/ide/host.h"

namespace quintrel::cli {

// quintrel project info|forms: C++Builder and Delphi projects as the development
// environment's host opens them.
void RegisterProjectCommands(CLI::App& app);

// The common option by which tool commands name the project they work on: a project
// file (.bpr, .mak, .dpr, or the project source .cpp) or a folder holding exactly one.
// Defaults to the current folder.
CLI::Option* AddProjectOption(CLI::App* command, std::string& project);

// Opens the project in a new host, which becomes the process's tool services while it
// lives; fails with a line naming the file.
std::unique_ptr<host::TDevelopmentHost> OpenProjectHost(const std::string& project);

}  // namespace quintrel::cli
