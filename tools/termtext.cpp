#include "tools/termtext.h"

#include <algorithm>

#include "text/unicode.h"

namespace quintrel::tools {

std::optional<TStoredTerm> ReadStoredTerm(module::TZod& zod, int module, module::TLanguageId language,
                                          uint32_t ident) {
  if (ident == 0 || module < 0 || module >= zod.GetModuleCount()) return std::nullopt;
  module::TModuleLock lock(zod.GetModuleInterface(module), false);
  module::TZodTerm term;
  term.Language = language;
  term.Ident = ident;
  if (!zod.GetTerm(module, term)) return std::nullopt;
  TStoredTerm stored;
  stored.Status = term.Status;
  stored.Style = term.Style;
  stored.Data.resize(static_cast<size_t>(std::max(term.Size, 0)));
  if (!stored.Data.empty()) {
    term.Data = stored.Data.data();
    if (!zod.GetTerm(module, term)) return std::nullopt;
    // Never more than the first read said, whatever the second one found.
    stored.Data.resize(std::min(stored.Data.size(), static_cast<size_t>(std::max(term.Size, 0))));
  }
  return stored;
}

bool WriteStoredTerm(module::TZod& zod, int module, module::TLanguageId language, uint32_t ident,
                     const TStoredTerm& term) {
  std::vector<uint8_t> bytes = term.Data;
  // A size of 0 would keep the stored text.
  if (bytes.empty()) bytes.push_back(0);
  module::TZodTerm record{language, ident, term.Status, term.Style, bytes.data(), static_cast<int32_t>(bytes.size())};
  return zod.SetTerm(module, record);
}

std::optional<std::vector<uint8_t>> ReadTermBytes(module::TZod& zod, int module, module::TLanguageId language,
                                                  uint32_t ident) {
  std::optional<TStoredTerm> stored = ReadStoredTerm(zod, module, language, ident);
  if (!stored) return std::nullopt;
  return std::move(stored->Data);
}

std::optional<TTermText> ReadTermText(module::TZod& zod, int module, module::TLanguageId language, uint32_t ident) {
  const std::optional<TStoredTerm> stored = ReadStoredTerm(zod, module, language, ident);
  if (!stored) return std::nullopt;
  TTermText result;
  result.Status = stored->Status;
  const std::vector<uint8_t>& bytes = stored->Data;
  result.Text.resize(bytes.size() / 2);
  for (size_t i = 0; i < result.Text.size(); ++i)
    result.Text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return result;
}

bool StoreTermText(module::TZod& zod, int module, module::TLanguageId language, uint32_t ident,
                   std::u16string_view text, uint8_t status, TSignedOff signedOff) {
  module::TZodTerm existing;
  existing.Language = language;
  existing.Ident = ident;
  const bool exists = zod.GetTerm(module, existing);
  if (exists && signedOff == TSignedOff::Keep && existing.Status == module::usSignedOff) return false;
  return WriteStoredTerm(zod, module, language, ident,
                         {status, exists ? existing.Style : uint8_t(0), text::Utf16LeBytes(text)});
}

bool StoreObjectText(module::TZod& zod, int module, module::TZodObject& object, module::TLanguageId language,
                     std::u16string_view text, uint8_t status, TSignedOff signedOff) {
  if (object.Localization == 0) {
    object.Localization = zod.GetNewTermID(module);
    zod.SetObject(module, object);
  }
  return StoreTermText(zod, module, language, object.Localization, text, status, signedOff);
}

void StoreObjectComment(module::TZod& zod, int module, module::TZodObject& object, std::u16string_view text) {
  if (object.Comment == 0) {
    object.Comment = zod.GetNewTermID(module);
    zod.SetObject(module, object);
  }
  StoreTermText(zod, module, module::kCommentLanguage, object.Comment, text, 0, TSignedOff::Overwrite);
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
