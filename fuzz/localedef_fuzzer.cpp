// libFuzzer target: the locale-definition reader and the regional settings worked out of
// what it reads, on arbitrary bytes. The input may copy a valid definition beside it, or
// itself. A definition may be refused with a line naming a file, never anything else, and
// what it gives must fit the language record it fills.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "module/regional.h"
#include "platform/win32/localedef.h"
#include "platform/win32/localeinfo.h"

using namespace quintrel;

namespace {

std::filesystem::path folder;
std::string input;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  namespace fs = std::filesystem;
  folder = fs::temp_directory_path() / ("quintrel-localedef-fuzz-" + std::to_string(getpid()));
  fs::create_directories(folder);
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  });
  std::ofstream(folder / "base") << "comment_char %\nescape_char /\nLC_TIME\nday \"Sun\";\"Mon\";\"Tue\";\"Wed\";"
                                    "\"Thu\";\"Fri\";\"Sat\"\nd_fmt \"%d//%m//%Y\"\nt_fmt \"%r\"\nEND LC_TIME\n"
                                    "LC_MONETARY\ncurrency_symbol \"<U20AC>\"\nn_sign_posn 9\nEND LC_MONETARY\n";
  input = (folder / "input").string();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::ofstream(input, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                 static_cast<std::streamsize>(size));
  try {
    const win32::TLocaleDefinition definition = win32::ReadLocaleDefinition(input);
    const win32::TLocaleInfo info = win32::LocaleInfoFromDefinition(definition, "input");
    if (info.NegCurrFormat > 15 || info.CurrencyFormat > 3) std::abort();
    module::TZodLanguage language;
    module::FillFromLocale(language, info);
    if (module::UnpackLanguage(module::PackLanguage(language)).AMString != language.AMString) std::abort();
  } catch (const win32::ELocaleError& e) {
    if (e.Message().rfind(folder.string() + "/", 0) != 0) std::abort();
  }
  return 0;
}
