// Base types of the in-process Win32 subset: integer types with their Win32 widths,
// the opaque handles of windows, menus, fonts, device contexts and module instances,
// and the small geometry records.
//
// Handles are distinct types, so a menu handle cannot be passed where a
// window is expected, yet they convert to and from WPARAM/LPARAM with a static_cast the
// way messages carry them. Every handle of every kind comes from one process-wide
// counter and is never handed out twice, so a stale or foreign handle is recognised as
// invalid instead of aliasing a newer object.
#pragma once

#include <concepts>
#include <cstdint>
#include <functional>

namespace quintrel::win32 {

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using LONG = int32_t;
using BOOL = int32_t;
using ATOM = uint16_t;
using WCHAR = char16_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using LONG_PTR = intptr_t;
using UINT_PTR = uintptr_t;
using ULONG_PTR = uintptr_t;
using COLORREF = DWORD;

// An opaque handle of one kind. It tests as a boolean (non-null) and converts explicitly
// to and from the integers messages carry: static_cast<WPARAM>(font),
// static_cast<HWND>(lParam).
template <typename Kind>
class THandle {
public:
  constexpr THandle() = default;
  explicit constexpr THandle(uintptr_t value) : value_(value) {}
  template <std::integral T>
  explicit constexpr operator T() const {
    return static_cast<T>(value_);
  }
  friend constexpr bool operator==(THandle, THandle) = default;

private:
  uintptr_t value_ = 0;
};

using HWND = THandle<struct TWindowKind>;
using HMENU = THandle<struct TMenuKind>;
using HFONT = THandle<struct TFontKind>;
using HDC = THandle<struct TDeviceContextKind>;
using HINSTANCE = THandle<struct TInstanceKind>;
using HBITMAP = THandle<struct TBitmapKind>;

struct POINT {
  LONG x = 0;
  LONG y = 0;
};

struct SIZE {
  LONG cx = 0;
  LONG cy = 0;
};

struct RECT {
  LONG left = 0;
  LONG top = 0;
  LONG right = 0;
  LONG bottom = 0;
};

constexpr WORD LOWORD(uintptr_t value) { return static_cast<WORD>(value & 0xFFFF); }
constexpr WORD HIWORD(uintptr_t value) { return static_cast<WORD>((value >> 16) & 0xFFFF); }
constexpr DWORD MAKELONG(WORD low, WORD high) { return static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16); }
constexpr WPARAM MAKEWPARAM(WORD low, WORD high) { return MAKELONG(low, high); }
constexpr LPARAM MAKELPARAM(WORD low, WORD high) { return static_cast<LPARAM>(MAKELONG(low, high)); }

}  // namespace quintrel::win32

template <typename Kind>
struct std::hash<quintrel::win32::THandle<Kind>> {
  size_t operator()(quintrel::win32::THandle<Kind> handle) const noexcept {
    return std::hash<uintptr_t>()(static_cast<uintptr_t>(handle));
  }
};
