// Terms: one text of the application in one language. Each language has its own term
// table in the module, "ZodTerms" followed by the two characters of the language
// identifier ("ZodTermsXX Ident N Status Y Style Y Data B", Ident indexed unique); the
// text is UTF-16 little-endian without terminator. Comments on objects are terms of the
// pseudo-language kCommentLanguage. A term identifier names the same text in every
// language table of the module.
//
// The operations themselves are members of TZod (module/zod.h, implemented in
// module/terms.cpp); this header holds the records and constants they share.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "module/languages.h"
#include "platform/rtl/sysutils.h"

namespace quintrel::module {

// Translation status of a term, stored in its Status byte.
enum TZodStatus : uint8_t {
  usUnTranslated = 0,
  usForReview = 1,
  usSignedOff = 2,
};

inline constexpr const char* kPropTermCount = "ZodTermCount";
inline constexpr const char* kTermTablePrefix = "ZodTerms";
inline constexpr const char* kTermTableDefinition = " Ident N Status Y Style Y Data B";
// Term identifiers run from kFirstTermId to kLastTermId and then start again.
constexpr uint32_t kFirstTermId = 0x6FFF9;
constexpr uint32_t kLastTermId = 0x7FFFFFFE;
// Bit of TranslateW's flags: an object of any class qualifies.
constexpr int kTranslateAnyClass = 0x80;

// The term table's name for a language: "ZodTerms" and the identifier's two bytes.
std::string TermTableName(TLanguageId language);

// One term in memory. GetTerm fills Status, Style and Size, and copies the text into Data
// when Data is given (the buffer must hold Size bytes); SetTerm writes Size bytes from
// Data, and a Size of 0 keeps the stored text.
struct TZodTerm {
  TLanguageId Language = 0;
  uint32_t Ident = 0;
  uint8_t Status = usUnTranslated;
  uint8_t Style = 0;
  void* Data = nullptr;
  int32_t Size = 0;
};

// The packed form GetTerms writes: per term a 20-byte header and its text. The header
// holds Language (2 bytes), 2 zero bytes, Ident (4), Status (1), Style (1), 2 zero bytes,
// the offset of the text within the buffer (4; the text follows the header directly)
// and Size (4), all little-endian.
constexpr int32_t kPackedTermHeader = 20;

// A term read back from the packed form.
struct TPackedTerm {
  TLanguageId Language = 0;
  uint32_t Ident = 0;
  uint8_t Status = 0;
  uint8_t Style = 0;
  std::vector<uint8_t> Data;
};
// Walks a packed buffer of `size` bytes; a header or text that runs past the end ends it.
std::vector<TPackedTerm> UnpackTerms(const uint8_t* buffer, int32_t size);

// The Ident index returned a record with another identifier; re-indexing the module cures it.
class ETermIndex : public rtl::Exception {
public:
  ETermIndex();
};

}  // namespace quintrel::module
