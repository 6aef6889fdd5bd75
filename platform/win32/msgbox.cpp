#include "platform/win32/msgbox.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"
#include "platform/win32/internal.h"
#include "platform/win32/winuser.h"
#include "strings/winconsts.h"

namespace quintrel::win32 {

namespace {

int PrintToStderr(const TMessageBoxRequest& request) {
  std::string line = rtl::Format(strings::_SMsgBoxPrinted, rtl::WideToUtf8(request.caption),
                                 rtl::WideToUtf8(request.text));
  std::fprintf(stderr, "%s\n", line.c_str());
  return DefaultButton(request.type);
}

TMessageBoxSink& Sink() {
  static TMessageBoxSink sink = PrintToStderr;
  return sink;
}

}  // namespace

TMessageBoxSink SetMessageBoxSink(TMessageBoxSink sink) {
  if (!sink) sink = PrintToStderr;
  return std::exchange(Sink(), std::move(sink));
}

int DefaultButton(UINT type) {
  static const std::vector<std::vector<int>> buttons = {
      {IDOK},           {IDOK, IDCANCEL},  {IDABORT, IDRETRY, IDIGNORE},        {IDYES, IDNO, IDCANCEL},
      {IDYES, IDNO},    {IDRETRY, IDCANCEL}, {IDCANCEL, IDTRYAGAIN, IDCONTINUE},
  };
  UINT set = type & MB_TYPEMASK;
  if (set >= buttons.size()) return IDOK;
  const std::vector<int>& choice = buttons[set];
  size_t index = (type & MB_DEFMASK) >> 8;
  return index < choice.size() ? choice[index] : choice.front();
}

int MessageBox(HWND owner, std::u16string_view text, std::u16string_view caption, UINT type) {
  if (owner && !IsWindow(owner)) return 0;
  TMessageBoxRequest request{owner, std::u16string(text),
                             caption.empty() ? rtl::Utf8ToWide(strings::_SMsgBoxDefaultCaption)
                                             : std::u16string(caption),
                             type};
  // A copy, so that a sink which replaces itself while it runs stays alive until it returns.
  TMessageBoxSink sink = Sink();
  return sink(request);
}

int MessageBoxA(HWND owner, std::string_view text, std::string_view caption, UINT type) {
  return MessageBox(owner, detail::AnsiToWide(text), detail::AnsiToWide(caption), type);
}

}  // namespace quintrel::win32
