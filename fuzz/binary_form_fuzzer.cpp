// libFuzzer target: the binary form reader on arbitrary bytes.
// Anything it accepts must write back and read again to the same tree, and must be
// writable in the text notation without failing.
#include <cstdlib>
#include <string_view>

#include "platform/vcl/filer.h"

using namespace quintrel::vcl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  TFormStream form;
  try {
    form = ReadBinaryForm(input);
  } catch (const EReadError&) {
    return 0;
  }
  TFormStream again;
  try {
    again = ReadBinaryForm(WriteBinaryForm(form));
  } catch (const EFilerError&) {
    std::abort();  // what was read must be writable and readable again
  }
  if (!(again.Root == form.Root) || again.Trailer != form.Trailer) std::abort();
  (void)WriteTextForm(ToTextNotation(form));
  return 0;
}
