#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>

namespace quintrel::cli {

// quintrel term get|set|remove|list|new-id, quintrel dict on|off, quintrel translate and
// quintrel module clean (after RegisterModuleCommands): the texts of a module.
void RegisterTermCommands(CLI::App& app);

// An identifier given as a decimal number or 0x and hex digits; fails with a message.
uint32_t ParseIdent(const std::string& text);
// "untranslated", "review", "signed-off" and back.
std::string StatusName(uint8_t status);
uint8_t ParseStatus(const std::string& text);
// A control class given as its enumeration name (ucButton) or a component class name (TButton).
uint8_t ParseClass(const std::string& text);
// The command's subcommand of that name registered before; null when none.
CLI::App* FindSubcommand(CLI::App& app, const std::string& name);

}  // namespace quintrel::cli
