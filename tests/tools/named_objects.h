// Objects of a module looked up by their form, component and property names, and the
// wide text of stored term bytes, for the tests of tools that match by names.
#pragma once

#include <string>
#include <vector>

#include "module/objects.h"
#include "module/zod.h"

namespace quintrel::tools::test {

// The object, read whole; Ident 0 when the module has none of these names.
inline module::TZodObject FindByNames(module::TZod& zod, int m, const char* form, const char* comp, const char* prop) {
  module::TZodObject o;
  o.FormID = static_cast<uint16_t>(module::GetFormID(zod.GetForms(m), form));
  o.CompName = *comp ? module::GetCompID(zod.GetComps(m), comp) : 0;
  o.PropertyName = static_cast<uint16_t>(module::GetPropID(zod.GetProps(m), prop));
  o.Ident = o.FormID && o.PropertyName ? zod.FindObject(m, o) : 0;
  if (o.Ident) zod.GetObject(m, o);
  return o;
}

inline std::u16string WideText(const std::vector<uint8_t>& bytes) {
  std::u16string text(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return text;
}

}  // namespace quintrel::tools::test
