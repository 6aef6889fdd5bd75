#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/target.h"
#include "module/objects.h"

namespace quintrel::cli {

class TModuleFile;

// quintrel term get|set|remove|list|new-id, quintrel dict on|off, quintrel translate and
// quintrel module clean (after RegisterModuleCommands): the texts of a module.
void RegisterTermCommands(CLI::App& app);

// An identifier given as a decimal number or 0x and hex digits; fails with a message.
uint32_t ParseIdent(const std::string& text);
// "untranslated", "review", "signed-off" and back.
std::string StatusName(uint8_t status);
uint8_t ParseStatus(const std::string& text);
// A control class given as its enumeration name (ucButton) or a component class name the
// class table lists (TButton); any other name is refused, listing the classes.
uint8_t ParseClass(const std::string& text);
// The command's subcommand of that name registered before; null when none.
CLI::App* FindSubcommand(CLI::App& app, const std::string& name);
// The object `ident` of the module; fails naming it when there is none.
module::TZodObject ReadObject(TModuleFile& file, uint32_t ident);

// The module and the positional arguments of a command on a module: an optional FILE
// (the module, as --module) followed by the command's own arguments. The parser hands
// positionals out in order, so FILE takes the first one given; Resolve() moves them on
// when there is one argument fewer than with FILE, so that `term get de 5` and
// `term get m.zod de 5` both mean what they say.
class TModuleArgs {
public:
  explicit TModuleArgs(CLI::App* command, const std::string& help = "Language module");
  // The parser keeps pointers into this object.
  TModuleArgs(const TModuleArgs&) = delete;
  TModuleArgs& operator=(const TModuleArgs&) = delete;
  // A positional after FILE, in order. `needed` (default: always) tells after parsing
  // whether the command expects it, which other options may change (--object for a
  // term ID, --text-file for TEXT).
  void Add(const std::string& name, std::string& value, const std::string& help, std::function<bool()> needed = {});
  // Call first in the callback: assigns the positionals given, or fails as a usage error.
  void Resolve();
  // The module named by FILE or --module, else the project's; fails naming the file.
  std::string ModuleFile() const;
  TTarget& Target() { return target_; }
  const TTarget& Target() const { return target_; }

private:
  struct TSlot {
    std::string Name;
    std::string* Value;
    CLI::Option* Option;
    std::function<bool()> Needed;
  };
  CLI::App* command_;
  TTarget target_;
  std::string file_;
  CLI::Option* fileOption_ = nullptr;
  CLI::Option* moduleOption_ = nullptr;
  std::vector<TSlot> slots_;
};

}  // namespace quintrel::cli
