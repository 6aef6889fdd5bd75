// libFuzzer target: the string-table readers on arbitrary bytes, as a resource script and
// as a Pascal unit. They may refuse with a line naming file and line, never anything
// else, and what they accept must fit a string table.
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/ide/linker.h"

using namespace quintrel::host;

namespace {

void CheckFits(const std::vector<TLinkedString>& strings) {
  for (const TLinkedString& s : strings)
    if (s.Resource > 0xFFFF || s.Text.size() > 0xFFFF || s.Line < 1) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // Includes are looked up beside the script: a folder that does not exist keeps the run
  // independent of the files around it.
  const std::string script = "/nonexistent/fuzz.rc", unit = "/nonexistent/fuzz.pas";
  try {
    CheckFits(ReadScriptStringTables(input, script, 1252));
  } catch (const EProjectError& e) {
    if (e.Message().rfind(script + ": line ", 0) != 0) std::abort();
  }
  try {
    CheckFits(ReadPascalResourceStrings(input, unit, 1251));
  } catch (const EProjectError& e) {
    if (e.Message().rfind(unit + ": line ", 0) != 0) std::abort();
  }
  (void)ReadPascalUnitFacts(input);  // never refuses
  return 0;
}
