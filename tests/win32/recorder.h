// Test helpers: a window class whose procedure records every message before handing it
// to DefWindowProc, and a guard that destroys a window at the end of a test.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/win32/winuser.h"

namespace quintrel::win32::testing {

struct TLogged {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

inline std::vector<TLogged>& Log() {
  static std::vector<TLogged> log;
  return log;
}

inline LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Log().push_back({window, message, wParam, lParam});
  return DefWindowProc(window, message, wParam, lParam);
}

inline const char16_t* RecordingClass() {
  static const bool registered = [] {
    WNDCLASSW windowClass;
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.lpszClassName = u"QRecording";
    return RegisterClass(windowClass) != 0;
  }();
  EXPECT_TRUE(registered);
  return u"QRecording";
}

// The messages `window` received, in order, among those in `interesting` (all when empty).
inline std::vector<UINT> MessagesOf(HWND window, std::vector<UINT> interesting = {}) {
  std::vector<UINT> out;
  for (const TLogged& entry : Log())
    if (entry.window == window &&
        (interesting.empty() || std::find(interesting.begin(), interesting.end(), entry.message) != interesting.end()))
      out.push_back(entry.message);
  return out;
}

class TWindowGuard {
public:
  explicit TWindowGuard(HWND window) : window_(window) {}
  ~TWindowGuard() { DestroyWindow(window_); }
  TWindowGuard(const TWindowGuard&) = delete;
  TWindowGuard& operator=(const TWindowGuard&) = delete;
  HWND operator*() const { return window_; }

private:
  HWND window_;
};

inline HWND TopLevel(DWORD style = WS_OVERLAPPEDWINDOW, std::u16string_view text = u"Form", HWND owner = {}) {
  return CreateWindowEx(0, RecordingClass(), text, style, 100, 50, 400, 300, owner, HMENU{}, HINSTANCE{}, nullptr);
}

inline HWND Child(HWND parent, int id, std::u16string_view text = u"", int x = 0, int y = 0, int width = 10,
                  int height = 10, DWORD style = 0) {
  return CreateWindowEx(0, RecordingClass(), text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                        static_cast<HMENU>(static_cast<uintptr_t>(id)), HINSTANCE{}, nullptr);
}

}  // namespace quintrel::win32::testing
