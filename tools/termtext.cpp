#include "tools/termtext.h"

#include <algorithm>
#include <vector>

#include "text/unicode.h"

namespace quintrel::tools {

namespace {

// The term's status and bytes.
std::optional<std::vector<uint8_t>> ReadTerm(module::TZod& zod, int module, module::TLanguageId language,
                                            uint32_t ident, uint8_t& status) {
  module::TZodTerm term;
  term.Language = language;
  term.Ident = ident;
  if (!zod.GetTerm(module, term)) return std::nullopt;
  status = term.Status;
  std::vector<uint8_t> bytes(static_cast<size_t>(std::max(term.Size, 0)));
  if (bytes.empty()) return bytes;
  term.Data = bytes.data();
  if (!zod.GetTerm(module, term)) return std::nullopt;
  // Another process may have shortened the term between the two reads.
  bytes.resize(std::min(bytes.size(), static_cast<size_t>(std::max(term.Size, 0))));
  return bytes;
}

}  // namespace

std::optional<std::vector<uint8_t>> ReadTermBytes(module::TZod& zod, int module, module::TLanguageId language,
                                                  uint32_t ident) {
  uint8_t status = 0;
  return ReadTerm(zod, module, language, ident, status);
}

std::optional<TTermText> ReadTermText(module::TZod& zod, int module, module::TLanguageId language, uint32_t ident) {
  TTermText result;
  const std::optional<std::vector<uint8_t>> bytes = ReadTerm(zod, module, language, ident, result.Status);
  if (!bytes) return std::nullopt;
  const size_t units = bytes->size() / 2;
  result.Text.resize(units);
  for (size_t i = 0; i < units; ++i)
    result.Text[i] = static_cast<char16_t>((*bytes)[2 * i] | ((*bytes)[2 * i + 1] << 8));
  return result;
}

bool StoreTermText(module::TZod& zod, int module, module::TLanguageId language, uint32_t ident,
                   std::u16string_view text, uint8_t status, TSignedOff signedOff) {
  if (signedOff == TSignedOff::Keep) {
    module::TZodTerm existing;
    existing.Language = language;
    existing.Ident = ident;
    if (zod.GetTerm(module, existing) && existing.Status == module::usSignedOff) return false;
  }
  std::vector<uint8_t> bytes = text::Utf16LeBytes(text);
  if (bytes.empty()) bytes.push_back(0);
  module::TZodTerm term{language, ident, status, 0, bytes.data(), static_cast<int32_t>(bytes.size())};
  return zod.SetTerm(module, term);
}

bool SetTermStatus(module::TZod& zod, int module, module::TLanguageId language, uint32_t ident, uint8_t status) {
  module::TZodTerm term;
  term.Language = language;
  term.Ident = ident;
  if (!zod.GetTerm(module, term)) return false;
  term.Status = status;
  term.Data = nullptr;
  term.Size = 0;  // keeps the text
  return zod.SetTerm(module, term);
}

}  // namespace quintrel::tools
