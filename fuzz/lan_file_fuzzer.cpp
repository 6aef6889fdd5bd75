// libFuzzer target: languages files. The reader either refuses the bytes with its one
// error, which names the file, or gives sections whose entries could all have come from
// the bytes: no more entries than the bytes could hold, no text longer than the input.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "tools/lanfile.h"

using namespace quintrel::tools;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TLanFile file;
  try {
    file = ParseLanFile(std::span<const uint8_t>(data, size), "input.lan");
  } catch (const ELanFile& e) {
    Check(e.Message().rfind("input.lan: at byte ", 0) == 0);
    return 0;
  }
  // An entry takes at least 13 bytes, a language 9.
  Check(file.EntryCount() * 13 <= size);
  Check(file.Languages.size() * 9 <= size);
  for (const TLanSection& section : file.Forms)
    for (const TLanEntry& entry : section.Entries)
      Check(entry.Text.size() + entry.Component.size() + entry.Property.size() <= size);
  return 0;
}
