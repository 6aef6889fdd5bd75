// Helpers shared by the units of the Win32 subset; not part of its interface.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

#include "platform/win32/windef.h"

namespace quintrel::win32::detail {

// The next value of the one handle counter shared by every kind of handle.
uintptr_t NewHandleValue();

template <typename H>
H NewHandle() {
  return H(NewHandleValue());
}

// 8-bit text of the A forms is taken byte for byte: each byte is the code unit of the
// same value, and a code unit above 0xFF becomes '?'. Text stored through an A form
// therefore reads back unchanged through an A form.
std::u16string AnsiToWide(std::string_view text);
std::string WideToAnsi(std::u16string_view text);

// A zero-terminated text; a null pointer is the empty text.
template <typename C>
std::basic_string_view<C> ZeroTerminated(const C* text) {
  return text ? std::basic_string_view<C>(text) : std::basic_string_view<C>();
}

// The Win32 buffer rule: at most bufferMax - 1 units are copied and a zero follows;
// the result is the number of units copied. Nothing is written when the buffer is null
// or has no room at all.
template <typename C>
int CopyToBuffer(std::basic_string_view<C> text, C* buffer, int bufferMax) {
  if (!buffer || bufferMax <= 0) return 0;
  size_t count = std::min(text.size(), static_cast<size_t>(bufferMax) - 1);
  std::copy_n(text.data(), count, buffer);
  buffer[count] = C{};
  return static_cast<int>(count);
}

// Class and module names compare without regard to ASCII case, as in Win32.
bool SameTextAscii(std::u16string_view a, std::u16string_view b);

// Destroys the menu bar and the system menu copy of a window that is going away
// (menus.cpp).
void ReleaseWindowMenus(HWND window);

// Forgets the dialog state of a window that is going away and deletes the font the
// dialog made from its template (dialogs.cpp).
void ReleaseDialog(HWND window);

}  // namespace quintrel::win32::detail
