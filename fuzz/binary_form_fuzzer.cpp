// libFuzzer target: the binary form reader on arbitrary bytes.
// Anything it accepts must write back and read again to the same tree, and its text
// notation, unless refused, must read.
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
  std::string text;
  try {
    text = WriteTextForm(ToTextNotation(form));
  } catch (const EWriteError&) {
    return 0;  // what the text notation cannot spell: a NaN, a name that is no identifier
  }
  try {
    (void)ReadTextForm(text);
  } catch (const EReadError&) {
    std::abort();  // the text written must read
  }
  return 0;
}
