// Reading and writing one term, as every tool that changes translations or comments does
// it: the one place that knows how a term's text is stored.
//
// An empty text is stored as one zero byte: a term of size 0 keeps its old text, so an
// emptied translation would otherwise survive. Reading takes size div 2 units, so that one
// zero byte reads as no characters. A text written over a stored term keeps the term's
// style byte, which belongs to the editors that set it, not to the text.
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

// A term as stored: status, style and bytes (a text's UTF-16 little-endian units, one zero
// byte for an empty text; a picture's stream).
struct TStoredTerm {
  uint8_t Status = module::usUnTranslated;
  uint8_t Style = 0;
  std::vector<uint8_t> Data;
};

// The term, read under one lock so that the size read is the size copied; nullopt when the
// language has no such term (or the identifier is 0).
std::optional<TStoredTerm> ReadStoredTerm(module::TZod& zod, int module, module::TLanguageId language,
                                          uint32_t ident);
// Writes the term as it is; empty Data is written as one zero byte.
bool WriteStoredTerm(module::TZod& zod, int module, module::TLanguageId language, uint32_t ident,
                     const TStoredTerm& term);

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

// The same for the object's term: an object without a term identifier gets a new one, and
// is stored with it before the text is written, so that the identifier is never lost.
bool StoreObjectText(module::TZod& zod, int module, module::TZodObject& object, module::TLanguageId language,
                     std::u16string_view text, uint8_t status, TSignedOff signedOff = TSignedOff::Keep);
// Stores the object's comment, a comment identifier allocated the same way.
void StoreObjectComment(module::TZod& zod, int module, module::TZodObject& object, std::u16string_view text);

// Changes only the status of an existing term; false when there is no such term.
bool SetTermStatus(module::TZod& zod, int module, module::TLanguageId language, uint32_t ident, uint8_t status);

}  // namespace quintrel::tools
