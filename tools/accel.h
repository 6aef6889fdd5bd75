// Keyboard accelerators of captions: the character after the '&' that the window system
// underlines, and the assignment of accelerators to the captions of one form in one
// language.
//
// In a caption "&&" is a literal ampersand, never an accelerator: the accelerator's '&' is
// the first one not paired with the next character. Letters and digits of every script are
// accelerators (what the language's code page holds reaches the caption); case is folded
// on the wide text, so that Cyrillic, Greek and full-width letters compare as the user
// types them, and a double-byte character is never split.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "module/zod.h"

namespace quintrel::tools {

// The position of the accelerator's '&' (possibly the last character); npos when the
// caption has none.
std::size_t AmpersandPosition(std::u16string_view caption);
// The accelerator character; 0 when there is none.
char16_t Accelerator(std::u16string_view caption);
// Letters and digits.
bool IsAcceleratorCharacter(char16_t c);
// Simple case folding of the alphabets that have case (Latin, Greek, Cyrillic, Armenian,
// full-width Latin); other characters are returned as they are.
char16_t UpperAccelerator(char16_t c);
char16_t LowerAccelerator(char16_t c);

}  // namespace quintrel::tools
