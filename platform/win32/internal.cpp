#include "platform/win32/internal.h"

namespace quintrel::win32::detail {

uintptr_t NewHandleValue() {
  // Starts above every small value Win32 code passes where a handle is expected
  // (HWND_BOTTOM, HWND_BROADCAST = 0xFFFF, control ids cast to HMENU), and only grows.
  static uintptr_t next = 0x10000;
  return next++;
}

std::u16string AnsiToWide(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return out;
}

std::string WideToAnsi(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
  return out;
}

bool SameTextAscii(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
  for (size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

}  // namespace quintrel::win32::detail
