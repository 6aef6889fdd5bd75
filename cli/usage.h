// How the quintrel command meets a command line it cannot run: an unknown command or option
// is named with the closest one that exists, a usage error is one line starting with
// "quintrel:" followed by the way to the command's help, and `quintrel help COMMAND…` prints
// the help of any command. All of these end with exit status 2 (help itself with 0).
#pragma once

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quintrel::cli {

// A command line that does not say what to do: the one-line message and the command whose
// help explains how to say it.
class EUsage : public std::runtime_error {
public:
  EUsage(const std::string& message, const CLI::App* command) : std::runtime_error(message), command_(command) {}
  const CLI::App* Command() const { return command_; }

private:
  const CLI::App* command_;
};

// The number of single-character insertions, deletions, substitutions and swaps of two
// neighbours that turn one word into the other. Words longer than 64 bytes are never close
// to anything and give a large number without being compared.
size_t EditDistance(std::string_view a, std::string_view b);

// The candidate the user most probably meant by `word`: the nearest by EditDistance when it
// is near enough for its length, else the only candidate that `word` begins, else "".
std::string ClosestName(std::string_view word, const std::vector<std::string>& candidates);

// "quintrel term set" for the command `set` of `term`.
std::string CommandPath(const CLI::App* command);

// Walks the arguments level by level as the parser will read them and refuses, in the order
// they were typed, an unknown command or option (also when --help comes after it) and a
// group given without one of its commands. Returns the command the arguments lead to.
const CLI::App* CheckCommandLine(CLI::App& app, const std::vector<std::string>& args);

// The one line for an error of the parser, in this command's own words; `command` is the
// command the arguments led to, whose left-over arguments an unexpected-argument error names.
std::string UsageMessage(const CLI::ParseError& error, const CLI::App* command);

// Prints a usage error on stderr: "quintrel: MESSAGE" and the way to the command's help.
int ReportUsage(const std::string& message, const CLI::App* command);

// `group` and every command below it, depth first in the order they were added: the one walk
// of the command definitions that the command list, the completion and the man pages share.
std::vector<CLI::App*> CommandTree(CLI::App* group);

// Whether the command has commands of its own (and so does not run by itself).
bool IsGroup(CLI::App* command);

// Every command that runs below `group` (one without commands of its own): its words after
// "quintrel", its positional arguments and its options, each with its name, whether it is
// required and how many values it takes.
nlohmann::json CommandList(CLI::App* group);

// Adds `quintrel help [COMMAND…] [--list]`, which prints the help of that command (of
// quintrel without one), or with --list its CommandList.
void RegisterHelpCommand(CLI::App& app);

}  // namespace quintrel::cli
