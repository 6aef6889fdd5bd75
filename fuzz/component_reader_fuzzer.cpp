// libFuzzer target: form streams (either notation) read into live components.
// Whatever reads must write back, unchanged, to the same tree.
#include <cstdlib>
#include <string_view>

#include "platform/vcl/streaming.h"

using namespace quintrel::vcl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  TFormStream form;
  try {
    form = ReadForm(input);
  } catch (const EReadError&) {
    return 0;
  }
  std::unique_ptr<TComponent> root;
  try {
    root = ReadComponent(form);
  } catch (const EFilerError&) {
    return 0;  // a root class that is no component
  }
  TFormStream again = WriteComponent(*root, &form);
  if (!(again.Root == form.Root)) std::abort();
  return 0;
}
