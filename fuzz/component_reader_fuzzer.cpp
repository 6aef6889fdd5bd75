// libFuzzer target: form streams (either notation) read into live components.
// Whatever reads must write back, unchanged, to the same tree; a stream that renames a
// component through its Name property (read, never written) writes back under the new
// name, and that must then stay as it is.
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/vcl/streaming.h"

using namespace quintrel::vcl;

namespace {

bool SetsAName(const TStreamObject& root) {
  std::vector<const TStreamObject*> open = {&root};
  while (!open.empty()) {
    const TStreamObject* object = open.back();
    open.pop_back();
    if (object->FindProperty("Name")) return true;
    for (const TStreamObject& child : object->Children) open.push_back(&child);
  }
  return false;
}

}  // namespace

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
  if (!SetsAName(form.Root)) {
    if (!(again.Root == form.Root)) std::abort();
    return 0;
  }
  std::unique_ptr<TComponent> renamed;
  try {
    renamed = ReadComponent(again);
  } catch (const EFilerError&) {
    std::abort();  // what was written must read
  }
  if (!(WriteComponent(*renamed, &again).Root == again.Root)) std::abort();
  return 0;
}
