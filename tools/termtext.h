// Reading and writing the text of one term, as every tool that changes translations does
// it.
//
// An empty text is stored as one zero byte: a term of size 0 keeps its old text, so an
// emptied translation would otherwise survive. Reading takes size div 2 units, so that one
// zero byte reads as no characters.
//
// Sign-off protects finished work: a term whose status is usSignedOff is not overwritten by
// a tool that fills or changes translations in bulk (import, leverage, accelerator
// assignment) unless the user unlocks it first; StoreTermText says so by returning false.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "module/zod.h"

namespace quintrel::tools {

struct TTermText {
  std::u16string Text;
  uint8_t Status = module::usUnTranslated;
};

// The term's text and status in the language; nullopt when the language has no such term.
std::optional<TTermText> ReadTermText(module::TZod& zod, int module, module::TLanguageId language, uint32_t ident);

// The term's stored bytes as they are (pictures and other binary values); nullopt when the
// language has no such term.
std::optional<std::vector<uint8_t>> ReadTermBytes(module::TZod& zod, int module, module::TLanguageId language,
                                                  uint32_t ident);

enum class TSignedOff { Keep, Overwrite };

// Stores the text with the status. With TSignedOff::Keep a signed-off term is left as it is
// and false returned; otherwise true once stored.
bool StoreTermText(module::TZod& zod, int module, module::TLanguageId language, uint32_t ident,
                   std::u16string_view text, uint8_t status, TSignedOff signedOff = TSignedOff::Keep);

// Changes only the status of an existing term; false when there is no such term.
bool SetTermStatus(module::TZod& zod, int module, module::TLanguageId language, uint32_t ident, uint8_t status);

}  // namespace quintrel::tools
