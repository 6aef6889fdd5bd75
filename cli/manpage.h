// The man pages of the command line, written from the same command definitions that --help
// prints, so that the two say the same: quintrel(1) lists the commands and what every command
// shares (environment, files, exit status); quintrel-COMMAND(1) gives each command that runs
// below COMMAND with its synopsis, its description and its options as --help shows them.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace quintrel::cli {

// The page's name: "quintrel" for the program, "quintrel-db" for its command db,
// "quintrel-term-set" for term set.
std::string ManPageName(const CLI::App* command);

// The man page of `command` (the program itself, or any command below it) in the man(7)
// macros, for section 1. Plain ASCII: every other character is written as an escape.
std::string ManPage(CLI::App* command, const std::string& version);

}  // namespace quintrel::cli
