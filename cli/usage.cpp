#include "cli/usage.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli/common.h"
#include "cli/manpage.h"
#include "cli/version.h"
#include "platform/rtl/sysutils.h"
#include "strings/qconsts.h"

namespace quintrel::cli {

namespace qs = quintrel::strings;

size_t EditDistance(std::string_view a, std::string_view b) {
  constexpr size_t kLongest = 64;
  if (a.size() > kLongest || b.size() > kLongest) return std::numeric_limits<size_t>::max();
  // Three rows of the table: the swap of two neighbours looks two rows back.
  std::vector<size_t> before(b.size() + 1), previous(b.size() + 1), current(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t substitute = previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, substitute});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        current[j] = std::min(current[j], before[j - 2] + 1);
    }
    std::swap(before, previous);
    std::swap(previous, current);
  }
  return previous[b.size()];
}

namespace {

std::string Lower(std::string_view s) {
  std::string lower(s);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

std::string_view WithoutDashes(std::string_view s) {
  while (!s.empty() && s.front() == '-') s.remove_prefix(1);
  return s;
}

}  // namespace

std::string ClosestName(std::string_view word, const std::vector<std::string>& candidates) {
  const std::string typed = Lower(word);
  // A third of the word may be wrong, at least one character and at most three: enough
  // for the usual slips without proposing an unrelated word for a short one.
  const size_t allowed = std::clamp<size_t>(WithoutDashes(typed).size() / 3, 1, 3);
  std::string best;
  size_t bestDistance = allowed + 1;
  for (const std::string& candidate : candidates) {
    const size_t distance = EditDistance(typed, Lower(candidate));
    if (distance < bestDistance) {
      bestDistance = distance;
      best = candidate;
    }
  }
  if (!best.empty()) return best;
  // An abbreviation: the one candidate the word begins.
  if (WithoutDashes(typed).size() < 2) return "";
  for (const std::string& candidate : candidates) {
    if (Lower(candidate).starts_with(typed)) {
      if (!best.empty()) return "";
      best = candidate;
    }
  }
  return best;
}

std::string CommandPath(const CLI::App* command) {
  std::string path = command->get_name();
  for (const CLI::App* up = command->get_parent(); up != nullptr; up = up->get_parent())
    path = up->get_name() + " " + path;
  return path;
}

namespace {

// The named commands of a group, in the order they were added.
std::vector<CLI::App*> Commands(CLI::App* group) {
  return group->get_subcommands([](CLI::App* sub) { return !sub->get_name().empty(); });
}

std::vector<std::string> CommandNames(CLI::App* group) {
  std::vector<std::string> names;
  for (const CLI::App* sub : Commands(group)) names.push_back(sub->get_name());
  return names;
}

std::string Join(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : ", ") + name;
  return joined;
}

CLI::App* FindCommand(CLI::App* group, const std::string& word) {
  for (CLI::App* sub : Commands(group))
    if (sub->check_name(word)) return sub;
  return nullptr;
}

// The words after "quintrel" that name the group: "" for quintrel itself, "term " for term.
std::string WordsOf(const CLI::App* group) {
  const std::string path = CommandPath(group);
  const size_t blank = path.find(' ');
  return blank == std::string::npos ? "" : path.substr(blank + 1) + " ";
}

EUsage UnknownCommand(CLI::App* group, const std::string& word) {
  const std::vector<std::string> names = CommandNames(group);
  if (names.empty()) return EUsage(rtl::Format(qs::_SCliUnexpectedArgument, word), group);
  const std::string words = WordsOf(group);
  const std::string meant = ClosestName(word, names);
  if (!meant.empty()) return EUsage(rtl::Format(qs::_SCliUnknownCommand, words + word, words + meant), group);
  return EUsage(rtl::Format(qs::_SCliUnknownCommandList, words + word, CommandPath(group), Join(names)), group);
}

EUsage UnknownOption(const CLI::App* command, const std::string& name) {
  std::vector<std::string> names;
  bool takesTexts = false;
  for (const CLI::Option* option : command->get_options()) {
    for (const std::string& n : option->get_lnames()) names.push_back("--" + n);
    for (const std::string& n : option->get_snames()) names.push_back("-" + n);
    takesTexts = takesTexts || !option->nonpositional();
  }
  const std::string meant = ClosestName(name, names);
  if (!meant.empty()) return EUsage(rtl::Format(qs::_SCliUnknownOption, name, meant), command);
  if (takesTexts) return EUsage(rtl::Format(qs::_SCliUnknownOptionText, name), command);
  return EUsage(rtl::Format(qs::_SCliUnknownOptionPlain, name), command);
}

// The values an option takes from the arguments after it whatever they look like.
size_t ValuesTaken(const CLI::Option* option) { return static_cast<size_t>(std::max(0, option->get_items_expected_min())); }

std::string LowerFirst(std::string text) {
  // A sentence starts lower-case after "quintrel: "; a name in capitals (TEXT, FILE) stays.
  const bool capitals = text.size() > 1 && std::isupper(static_cast<unsigned char>(text[1]));
  if (!text.empty() && !capitals) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

// Runs the option's checks on the values it takes (`first`, when not empty, given with the
// option itself, then those after it) as the parser will, so that a value it refuses is
// reported before a mistake typed after it.
void CheckValues(const CLI::App* command, CLI::Option* option, const std::optional<std::string>& first,
                 const std::vector<std::string>& args, size_t next, size_t count) {
  std::vector<std::string> values;
  if (first) values.push_back(*first);
  for (size_t k = next; k < next + count && k < args.size(); ++k) values.push_back(args[k]);
  // The option keeps its checks out of reach but by position; past the last it throws.
  for (int index = 0;; ++index) {
    const CLI::Validator* validator = nullptr;
    try {
      validator = option->get_validator(index);
    } catch (const CLI::OptionNotFound&) {
      return;
    }
    for (std::string& value : values) {
      const std::string objection = (*validator)(value);
      if (!objection.empty())
        throw EUsage(option->get_name() + ": " + LowerFirst(objection), command);
    }
  }
}

}  // namespace

const CLI::App* CheckCommandLine(CLI::App& app, const std::vector<std::string>& args) {
  CLI::App* command = &app;
  // --help or --version given to a group: it need not be followed by one of its commands.
  bool groupFlag = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") break;
    std::string name, value;
    CLI::Option* option = nullptr;
    if (CLI::detail::split_long(arg, name, value)) {
      option = command->get_option_no_throw("--" + name);
      if (option == nullptr) throw UnknownOption(command, "--" + name);
      const size_t taken = ValuesTaken(option);
      const bool inlineValue = arg.find('=') != std::string::npos && taken > 0;
      const size_t after = inlineValue ? taken - 1 : taken;
      CheckValues(command, option, inlineValue ? std::optional<std::string>(value) : std::nullopt, args, i + 1, after);
      i += after;
    } else if (CLI::detail::split_short(arg, name, value)) {
      // A negative number is a value unless the command has a digit option.
      if (std::isdigit(static_cast<unsigned char>(name[0])) && command->get_option_no_throw("-" + name) == nullptr)
        continue;
      // A run of one-letter flags ("-hx"); the first that takes a value takes the rest.
      for (size_t k = 1; k < arg.size(); ++k) {
        option = command->get_option_no_throw(std::string("-") + arg[k]);
        if (option == nullptr) throw UnknownOption(command, k == 1 ? arg : std::string("-") + arg[k]);
        const size_t taken = ValuesTaken(option);
        if (taken > 0) {
          const bool inlineValue = k + 1 < arg.size();
          const size_t after = inlineValue ? taken - 1 : taken;
          CheckValues(command, option, inlineValue ? std::optional<std::string>(arg.substr(k + 1)) : std::nullopt, args, i + 1,
                      after);
          i += after;
          break;
        }
      }
    } else if (!Commands(command).empty()) {
      CLI::App* next = FindCommand(command, arg);
      if (next == nullptr) throw UnknownCommand(command, arg);
      command = next;
      groupFlag = false;
      continue;
    } else if (command->get_prefix_command()) {
      break;  // what follows goes to another command, which checks it when it runs
    } else {
      continue;  // an argument of the command
    }
    if (!Commands(command).empty() && option->get_items_expected_max() == 0) groupFlag = true;
  }
  if (!Commands(command).empty() && !groupFlag)
    throw EUsage(rtl::Format(qs::_SCliNeedsCommand, CommandPath(command), Join(CommandNames(command))), command);
  return command;
}

namespace {

// Splits "LEFT<separator>RIGHT"; false when the separator is not there.
bool Split(const std::string& text, std::string_view separator, std::string& left, std::string& right) {
  const size_t at = text.find(separator);
  if (at == std::string::npos) return false;
  left = text.substr(0, at);
  right = text.substr(at + separator.size());
  return true;
}

std::string Quoted(const std::vector<std::string>& words) {
  std::string joined;
  for (const std::string& word : words) joined += (joined.empty() ? "'" : " '") + word + "'";
  return joined;
}

}  // namespace

// The parser's errors carry only their text; the forms below are those of the parser this
// command is built with, and any other text is passed on as it is.
std::string UsageMessage(const CLI::ParseError& error, const CLI::App* command) {
  const std::string text = error.what();
  std::string left, right;
  if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
    const CLI::App* root = command;
    while (root->get_parent() != nullptr) root = root->get_parent();
    const std::vector<std::string> extra = root->remaining(true);
    if (extra.size() == 1) return rtl::Format(qs::_SCliUnexpectedArgument, extra[0]);
    if (extra.size() > 1) return rtl::Format(qs::_SCliUnexpectedArguments, Quoted(extra));
  } else if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
    if (text.ends_with(" is required") && text.find(' ') == text.size() - 12)
      return rtl::Format(qs::_SCliUsageRequired, text.substr(0, text.size() - 12));
  } else if (dynamic_cast<const CLI::ExcludesError*>(&error) != nullptr) {
    if (Split(text, " excludes ", left, right)) return rtl::Format(qs::_SCliUsageExcludes, left, right);
  } else if (dynamic_cast<const CLI::RequiresError*>(&error) != nullptr) {
    if (Split(text, " requires ", left, right)) return rtl::Format(qs::_SCliUsageRequires, left, right);
  } else if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
    // "--name: 1 required TEXT missing", "--days: At least 7 required but received 2",
    // "Expected exactly 7 arguments to --days, got 3"
    if (Split(text, ": ", left, right) && right.ends_with(" missing")) {
      const int count = std::atoi(right.c_str());
      return count > 1 ? rtl::Format(qs::_SCliUsageValuesMissing, left, count)
                       : rtl::Format(qs::_SCliUsageValueMissing, left);
    }
    std::string count, got;
    if (Split(text, ": At least ", left, right) && Split(right, " required but received ", count, got))
      return rtl::Format(qs::_SCliUsageValueCount, left, std::atoi(count.c_str()), got);
    if (Split(text, "Expected exactly ", left, right) && Split(right, " arguments to ", left, right)) {
      const int count = std::atoi(left.c_str());
      std::string name, got;
      if (Split(right, ", got ", name, got)) return rtl::Format(qs::_SCliUsageValueCount, name, count, got);
    }
  } else if (dynamic_cast<const CLI::ConversionError*>(&error) != nullptr) {
    // "The value X is not an allowed value for NAME", "Could not convert: NAME = X"
    std::string value, name;
    if (Split(text, "The value ", left, right) && Split(right, " is not an allowed value for ", value, name))
      return rtl::Format(qs::_SCliUsageBadValue, value, name);
    if (Split(text, "Could not convert: ", left, right) && Split(right, " = ", name, value))
      return rtl::Format(qs::_SCliUsageBadValue, value, name);
  } else if (dynamic_cast<const CLI::ValidationError*>(&error) != nullptr) {
    if (Split(text, ": ", left, right)) return left + ": " + LowerFirst(right);
  }
  return LowerFirst(text);
}

int ReportUsage(const std::string& message, const CLI::App* command) {
  std::cerr << "quintrel: " << message << "\n" << rtl::Format(qs::_SCliUsageHint, CommandPath(command)) << "\n";
  return kExitUsage;
}

std::vector<CLI::App*> CommandTree(CLI::App* group) {
  std::vector<CLI::App*> tree;
  // Depth first in the order the commands were added; the tree is the program's own, a few
  // levels deep.
  std::vector<CLI::App*> pending{group};
  while (!pending.empty()) {
    CLI::App* command = pending.back();
    pending.pop_back();
    tree.push_back(command);
    const std::vector<CLI::App*> subs = Commands(command);
    pending.insert(pending.end(), subs.rbegin(), subs.rend());
  }
  return tree;
}

bool IsGroup(CLI::App* command) { return !Commands(command).empty(); }

nlohmann::json CommandList(CLI::App* group) {
  nlohmann::json list = nlohmann::json::array();
  for (CLI::App* command : CommandTree(group)) {
    if (IsGroup(command)) continue;
    nlohmann::json positionals = nlohmann::json::array(), options = nlohmann::json::array();
    for (const CLI::Option* option : command->get_options()) {
      const bool positional = !option->nonpositional();
      const std::string name = positional ? option->get_name()
                               : option->get_lnames().empty() ? "-" + option->get_snames().front()
                                                               : "--" + option->get_lnames().front();
      if (name == "--help") continue;
      nlohmann::json entry = {{"name", name},
                              {"required", option->get_required()},
                              {"min", std::max(0, option->get_items_expected_min())},
                              {"max", std::min(option->get_items_expected_max(), 1 << 20)}};
      (positional ? positionals : options).push_back(std::move(entry));
    }
    const std::string path = CommandPath(command);
    list.push_back({{"command", path.substr(std::min(path.find(' '), path.size() - 1) + 1)},
                    {"positionals", positionals},
                    {"options", options}});
  }
  return list;
}

void RegisterHelpCommand(CLI::App& app) {
  CLI::App* help = app.add_subcommand("help", "Show the help of a command (quintrel help term set)");
  auto words = std::make_shared<std::vector<std::string>>();
  auto list = std::make_shared<bool>(false);
  help->add_option("COMMAND", *words, "The command, as its words are typed before --help; none: quintrel itself");
  help->add_flag("--list", *list,
                 "Instead: every command that runs (below COMMAND) as a JSON array of objects: command (its words), "
                 "positionals and options (each name, required, min and max values), for scripts and completion");
  auto man = std::make_shared<bool>(false);
  help->add_flag("--man", *man,
                 "Instead: the man page of quintrel or of COMMAND, in the man(7) macros (quintrel help --man db | "
                 "man -l -); the build writes the installed pages with it")
      ->excludes("--list");
  help->callback([&app, words, list, man] {
    CLI::App* command = &app;
    for (const std::string& word : *words) {
      CLI::App* next = FindCommand(command, word);
      if (next == nullptr) throw UnknownCommand(command, word);
      command = next;
    }
    if (*list) {
      std::cout << CommandList(command).dump(2) << "\n";
      return;
    }
    if (*man) {
      std::cout << ManPage(command, kVersion);
      return;
    }
    std::cout << command->get_formatter()->make_help(command, CommandPath(command), CLI::AppFormatMode::Normal);
  });
}

}  // namespace quintrel::cli
