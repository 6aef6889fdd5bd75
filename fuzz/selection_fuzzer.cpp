// libFuzzer target: selection files. The reader either refuses the bytes with its one
// error or gives a selection whose every graphic carries as many bytes as its value
// counts; written out and read again, that selection gives the same file.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tools/selection.h"

using namespace quintrel::tools;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckProperties(const std::vector<TSelectedProperty>& list) {
  for (const TSelectedProperty& p : list) {
    Check(!p.Path.empty() && p.Path.size() <= kMaxSelectionPath);
    if (!p.Value.empty() && p.Value[0] == '{')
      Check(GraphicByteCount(p.Value) == static_cast<long long>(p.Data.size()));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TSelection selection;
  try {
    selection = ParseSelection(text, "input.json");
  } catch (const ESelectionError&) {
    return 0;
  }
  Check(selection.Forms.size() <= kMaxSelectedForms);
  for (const TSelectedForm& f : selection.Forms) {
    CheckProperties(f.Properties);
    for (const TSelectedComponent& c : f.Components) CheckProperties(c.Properties);
  }
  const std::string written = SelectionToJson(selection);
  Check(SelectionToJson(ParseSelection(written, "written.json")) == written);
  return 0;
}
