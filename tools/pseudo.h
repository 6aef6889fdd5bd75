// Pseudo translation: a test language whose texts are filler text as long as a real
// translation is expected to be, so that forms switched to it show at a glance where a
// translation will not fit and which texts are not taken from the module at all.
//
// The language "--" ("Pseudo Test Language", the chosen character set, every other field
// zero) gets, for every string object of the chosen forms that has a term, a text of the
// design text's length L expanded by 0, 20, 50 or 100 percent (L x 1.2 and L x 1.5 rounded
// to the nearest integer, halves to the even neighbour), made by repeating the replacement
// text from its start and cutting it there, with status usForReview. Objects of other
// kinds (sets, numbers, pictures) get no pseudo term. A second run overwrites the terms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "module/zod.h"
#include "tools/progress.h"

namespace quintrel::tools {

constexpr module::TLanguageId kPseudoLanguage = 0x2D2D;  // "--"

struct TPseudoOptions {
  std::u16string Text = u"Sample text";  // never empty: it would be repeated for ever
  uint8_t Charset = 0;
  std::string Form;  // a catalogued form (ignoring case); empty for all
  int Expansion = 20;  // 0, 20, 50 or 100 percent
};

struct TPseudoResult {
  std::size_t Forms = 0;
  std::size_t Units = 0;  // resource-string units, catalogued as forms named "#FILE"
  std::size_t Terms = 0;
};

// The expanded length of a text of `length` characters.
std::size_t ExpandedLength(std::size_t length, int percent);
// The replacement text repeated and cut to `length` characters.
std::u16string FillerText(std::u16string_view replacement, std::size_t length);

// The character sets offered for the pseudo language, "00 ANSI_CHARSET" ... in the order
// shown; the two hexadecimal digits are the set.
const std::vector<std::string>& PseudoCharsets();

// Stores the language and its terms. Raises rtl::Exception (the message is the reason)
// for an empty replacement text, an expansion not offered, or a form not catalogued.
// Progress: "Removing old terms ..." then "Pseudo translating terms ..." per object.
TPseudoResult PseudoTranslate(module::TZod& zod, int module, const TPseudoOptions& options,
                              const TProgress& progress = {});

}  // namespace quintrel::tools
