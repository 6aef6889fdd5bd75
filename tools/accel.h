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
#include "platform/vcl/classes.h"

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
// The caption as drawn: without the accelerator's '&', "&&" as one '&'.
std::u16string DisplayedCaption(std::u16string_view caption);
// The caption without its accelerator's '&' ("Save && Exit" stays as it is).
std::u16string ClearAccelerator(std::u16string_view caption);

// --- The accelerators of one form in one language ---------------------------------------------
//
// One row per caption: the objects of the form whose property is Caption and whose class is
// a menu, menu item, label, button, check box, radio button, group box, tab or page
// control, in the module's order. Accelerators compete within a group: the items of one
// menu level, the controls of one parent (as the live form shows them; without it, menus
// and controls are two groups). A row's mark is "OK" for an accelerator unique in its
// group, the collision's number (from 1, the same for every caption of one collision) when
// not, and empty without an accelerator.
struct TAccelRow {
  std::string Component;
  uint32_t Object = 0;
  uint32_t Term = 0;
  std::u16string Text;  // empty when the language has no text
  bool SignedOff = false;
  std::string Group;
  std::string Mark;
  bool Changed = false;
};

// The rows of the form (a catalogued name, ignoring case); `form` is the live form or null.
// Raises rtl::Exception when the form is not catalogued.
std::vector<TAccelRow> AccelRows(module::TZod& zod, int module, const std::string& formName,
                                 module::TLanguageId language, const vcl::TComponent* form);
void MarkAccelerators(std::vector<TAccelRow>& rows);
// Gives every caption without an accelerator one: its first character (not a blank, not a
// '&') that no caption of its group took in this run; when all are taken, moves the
// accelerator of a caption holding one of them onto a letter still free. Separators ("-"),
// empty and signed-off captions are left alone. Marks the rows again; returns how many
// changed.
std::size_t AssignAccelerators(std::vector<TAccelRow>& rows);
// Stores the changed rows (status usForReview); returns how many were stored.
std::size_t StoreAccelerators(module::TZod& zod, int module, module::TLanguageId language,
                              std::vector<TAccelRow>& rows);

}  // namespace quintrel::tools
