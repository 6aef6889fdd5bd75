#include "cli/charset_commands.h"

#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>

#include "cli/common.h"
#include "cli/zod_common.h"
#include "platform/rtl/sysutils.h"
#include "strings/qconsts.h"
#include "text/codepages.h"
#include "text/unicode.h"

namespace quintrel::cli {

namespace {

namespace qs = quintrel::strings;

struct TCharsetOptions {
  int charset = 0;
  int acp = 0;
};

// Reads all of standard input as bytes.
std::string ReadInput() {
  std::cin >> std::noskipws;
  std::string input((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
  if (input.size() > static_cast<size_t>(INT32_MAX))
    throw ECommandFailed(rtl::Format(qs::_SCliInputTooLarge, static_cast<int64_t>(input.size())));
  return input;
}

// Applies --acp and refuses a charset no code page stands for.
void Prepare(const TCharsetOptions& o) {
  if (o.acp != 0) setenv("QUINTREL_ACP", std::to_string(o.acp).c_str(), 1);
  RequireCharsetWithCodePage(o.charset);
}

CLI::App* AddCommand(CLI::App* parent, const char* name, const char* help, const std::shared_ptr<TCharsetOptions>& o) {
  CLI::App* command = parent->add_subcommand(name, help);
  command->add_option("CHARSET", o->charset,
                      "Windows character set: 0 ANSI (1252), 1 default (the ANSI code page), 128 Shift-JIS, "
                      "129 Hangeul, 134 GB2312, 136 Big5, 161 Greek, 162 Turkish, 177 Hebrew, 178 Arabic, "
                      "186 Baltic, 204 Russian, 222 Thai, 238 East Europe")
      ->required()
      ->check(CLI::Range(0, 255));
  command->add_option("--acp", o->acp, "ANSI code page that charset 1 stands for (default $QUINTREL_ACP or 1252)")
      ->check(CLI::Range(1, 65535));
  return command;
}

}  // namespace

void RegisterCharsetCommands(CLI::App& app) {
  CLI::App* charset = app.add_subcommand(
      "charset", "Convert text between the bytes of a Windows character set and UTF-8, as modules convert the "
                 "texts of each language");
  charset->require_subcommand(1);

  auto decode = std::make_shared<TCharsetOptions>();
  AddCommand(charset, "decode",
             "Read the charset's bytes from standard input and write them as UTF-8 to standard output. Bytes the "
             "code page does not define become U+FFFD",
             decode)
      ->callback([decode]() {
        Prepare(*decode);
        std::string input = ReadInput();
        std::cout << text::WideToUtf8(text::ByteToUnicode(input, decode->charset));
      });

  auto encode = std::make_shared<TCharsetOptions>();
  AddCommand(charset, "encode",
             "Read UTF-8 from standard input and write the charset's bytes to standard output. The text is taken "
             "as UTF-16 units first; a unit the own tables cannot represent becomes 0x7F, one the double-byte and "
             "Thai code pages cannot represent becomes '?'",
             encode)
      ->callback([encode]() {
        Prepare(*encode);
        std::string input = ReadInput();
        std::cout << text::UnicodeToByte(text::Utf8ToWide(input), encode->charset);
      });
}

}  // namespace quintrel::cli
