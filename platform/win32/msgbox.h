// Message boxes routed to a replaceable sink.
//
// There is no screen to show a box on: MessageBox hands the request to the sink, which
// returns the button "pressed". The command line installs a sink that prints; tests
// install one that records. The default sink writes "caption: text" to stderr and
// answers with the box's default button, as pressing Enter would (IDOK for MB_OK).
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/win32/windef.h"

namespace quintrel::win32 {

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_ABORTRETRYIGNORE = 0x00000002;
constexpr UINT MB_YESNOCANCEL = 0x00000003;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_RETRYCANCEL = 0x00000005;
constexpr UINT MB_CANCELTRYCONTINUE = 0x00000006;
constexpr UINT MB_TYPEMASK = 0x0000000F;
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x00000040;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_ICONMASK = 0x000000F0;
constexpr UINT MB_DEFBUTTON1 = 0x00000000;
constexpr UINT MB_DEFBUTTON2 = 0x00000100;
constexpr UINT MB_DEFBUTTON3 = 0x00000200;
constexpr UINT MB_DEFBUTTON4 = 0x00000300;
constexpr UINT MB_DEFMASK = 0x00000F00;
constexpr UINT MB_APPLMODAL = 0x00000000;
constexpr UINT MB_SYSTEMMODAL = 0x00001000;
constexpr UINT MB_TASKMODAL = 0x00002000;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
constexpr int IDTRYAGAIN = 10;
constexpr int IDCONTINUE = 11;

struct TMessageBoxRequest {
  HWND owner{};
  std::u16string text;
  std::u16string caption;
  UINT type = MB_OK;
};

using TMessageBoxSink = std::function<int(const TMessageBoxRequest&)>;

// Installs a sink (an empty function restores the default) and returns the previous one.
TMessageBoxSink SetMessageBoxSink(TMessageBoxSink sink);

// Installs a sink for the lifetime of the object and puts the previous one back.
class TScopedMessageBoxSink {
public:
  explicit TScopedMessageBoxSink(TMessageBoxSink sink) : previous_(SetMessageBoxSink(std::move(sink))) {}
  ~TScopedMessageBoxSink() { SetMessageBoxSink(std::move(previous_)); }
  TScopedMessageBoxSink(const TScopedMessageBoxSink&) = delete;
  TScopedMessageBoxSink& operator=(const TScopedMessageBoxSink&) = delete;

private:
  TMessageBoxSink previous_;
};

// The button a box of this type has as its default (MB_DEFBUTTON1..4 of its button set).
int DefaultButton(UINT type);

// Returns the sink's answer; 0 when `owner` is given but is not a window. An empty
// caption stands for the default caption "Error".
int MessageBox(HWND owner, std::u16string_view text, std::u16string_view caption, UINT type);
int MessageBoxA(HWND owner, std::string_view text, std::string_view caption, UINT type);

}  // namespace quintrel::win32
