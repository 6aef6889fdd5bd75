// libFuzzer target: the text form reader on arbitrary bytes.
// Anything it accepts must write back to text that reads as the same tree, and must
// survive the binary notation unchanged (names too long for it excepted).
#include <cstdlib>
#include <string_view>

#include "platform/vcl/filer.h"

using namespace quintrel::vcl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  TFormStream form;
  try {
    form = ReadTextForm(input);
  } catch (const EReadError&) {
    return 0;
  }
  try {
    TFormStream again = ReadTextForm(WriteTextForm(form));
    if (!(again.Root == form.Root)) std::abort();
  } catch (const EReadError&) {
    std::abort();
  }
  std::string binary;
  try {
    binary = WriteBinaryObject(form.Root);
  } catch (const EWriteError&) {
    return 0;  // identifiers or strings beyond what the binary notation can hold
  }
  try {
    TFormStream fromBinary = ReadBinaryForm(binary);
    if (!(fromBinary.Root == form.Root)) std::abort();
    // The writer's own spelling must read back as well.
    (void)ReadTextForm(WriteTextForm(ToTextNotation(fromBinary)));
  } catch (const EReadError&) {
    std::abort();
  }
  return 0;
}
