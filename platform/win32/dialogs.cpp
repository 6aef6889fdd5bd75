#include "platform/win32/dialogs.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "platform/win32/gdi.h"
#include "platform/win32/internal.h"
#include "platform/win32/msgbox.h"
#include "platform/win32/sysparams.h"

// As in winuser.cpp, dialog procedures may destroy their dialog from inside any message,
// so no record pointer is kept across a message sent: state is looked up by handle again.

namespace quintrel::win32 {

namespace {

struct TDialogState {
  DLGPROC procedure = nullptr;
  HFONT font{};       // made from the template, deleted with the dialog
  bool ownsFont = false;
  bool ended = false;
  INT_PTR result = 0;
  HWND savedFocus{};  // the control that gets the focus when the dialog is activated
};

struct TDialogs {
  std::unordered_map<HWND, TDialogState> dialogs;
  std::unordered_map<HWND, UINT> checks;
  TDialogDriver driver;
};

TDialogs& Dialogs() {
  static TDialogs dialogs;
  return dialogs;
}

TDialogState* FindDialog(HWND dialog) {
  auto& all = Dialogs().dialogs;
  auto it = all.find(dialog);
  return it == all.end() ? nullptr : &it->second;
}

// A user who does nothing: the loop then leaves the dialog as Esc would.
bool NobodyThere(HWND) { return false; }

HWND FirstTabStop(HWND dialog) {
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    LONG_PTR style = GetWindowLong(child, GWL_STYLE);
    if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED)) return child;
  }
  return {};
}

HFONT TemplateFont(const TDialogTemplate& dialogTemplate) {
  if (!(dialogTemplate.style & DS_SETFONT)) return GetStockFont(SYSTEM_FONT);
  LOGFONTW font;
  // Points at 96 dots per inch, rounded as MulDiv rounds.
  font.lfHeight = -static_cast<LONG>((dialogTemplate.pointSize * 96 + 36) / 72);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  SetFaceName(font, dialogTemplate.faceName);
  return CreateFontIndirect(font);
}

RECT ToPixels(SIZE base, int x, int y, int cx, int cy) {
  auto scale = [](int units, int base, int divisor) {
    return static_cast<LONG>((int64_t{units} * base + (units >= 0 ? divisor / 2 : -(divisor / 2))) / divisor);
  };
  LONG left = scale(x, base.cx, 4);
  LONG top = scale(y, base.cy, 8);
  return RECT{left, top, left + scale(cx, base.cx, 4), top + scale(cy, base.cy, 8)};
}

}  // namespace

namespace detail {

void ReleaseDialog(HWND window) {
  TDialogs& d = Dialogs();
  d.checks.erase(window);
  auto it = d.dialogs.find(window);
  if (it == d.dialogs.end()) return;
  if (it->second.ownsFont) DeleteObject(it->second.font);
  d.dialogs.erase(it);
}

}  // namespace detail

SIZE DialogBaseUnits(HFONT font) {
  LOGFONTW description;
  if (GetObject(font, sizeof description, &description) != sizeof description) description = LOGFONTW{};
  TEXTMETRICW metrics = FontMetrics(description);
  return SIZE{std::max<LONG>(metrics.tmAveCharWidth, 1), std::max<LONG>(metrics.tmHeight, 1)};
}

BOOL MapDialogRect(HWND dialog, RECT& rect) {
  const TDialogState* state = FindDialog(dialog);
  if (!state) return 0;
  RECT pixels = ToPixels(DialogBaseUnits(state->font), rect.left, rect.top, rect.right - rect.left,
                         rect.bottom - rect.top);
  rect = pixels;
  return 1;
}

int DialogItemCount(const TDialogTemplate& dialogTemplate) { return static_cast<int>(dialogTemplate.items.size()); }

HWND CreateDialogIndirectParam(HINSTANCE instance, const TDialogTemplate& dialogTemplate, HWND owner,
                               DLGPROC dialogProc, LPARAM initParam) {
  if (owner && !IsWindow(owner)) return {};
  HFONT font = TemplateFont(dialogTemplate);
  SIZE base = DialogBaseUnits(font);
  RECT client = ToPixels(base, 0, 0, dialogTemplate.cx, dialogTemplate.cy);
  DWORD style = (dialogTemplate.style & ~WS_VISIBLE) & ~WS_CHILD;
  DWORD exStyle = dialogTemplate.exStyle;
  if (dialogTemplate.style & DS_MODALFRAME) exStyle |= WS_EX_DLGMODALFRAME;
  RECT frame = client;
  AdjustWindowRectEx(frame, style, 0, exStyle);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  RECT origin{};
  if (owner) GetWindowRect(owner, origin);
  RECT offset = ToPixels(base, dialogTemplate.x, dialogTemplate.y, 0, 0);
  int x = origin.left + offset.left;
  int y = origin.top + offset.top;
  if (dialogTemplate.style & DS_CENTER) {
    x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  }

  HWND dialog = CreateWindowEx(exStyle, WC_DIALOG, dialogTemplate.caption, style, x, y, width, height, owner, HMENU{},
                               instance, nullptr);
  if (!dialog) {
    if (dialogTemplate.style & DS_SETFONT) DeleteObject(font);
    return {};
  }
  TDialogState& state = Dialogs().dialogs[dialog];
  state.procedure = dialogProc;
  state.font = font;
  state.ownsFont = (dialogTemplate.style & DS_SETFONT) != 0;
  SendMessage(dialog, WM_SETFONT, static_cast<WPARAM>(font), 0);

  for (const TDialogItem& item : dialogTemplate.items) {
    if (!IsWindow(dialog)) return {};
    RECT r = ToPixels(base, item.x, item.y, item.cx, item.cy);
    HWND control = CreateWindowEx(item.exStyle, item.className, item.text, (item.style | WS_CHILD) & ~WS_POPUP, r.left,
                                  r.top, r.right - r.left, r.bottom - r.top, dialog,
                                  static_cast<HMENU>(static_cast<uintptr_t>(item.id)), instance, nullptr);
    if (control) SendMessage(control, WM_SETFONT, static_cast<WPARAM>(font), 0);
  }
  if (!IsWindow(dialog)) return {};
  HWND first = FirstTabStop(dialog);
  SendMessage(dialog, WM_INITDIALOG, static_cast<WPARAM>(first), initParam);
  if (!IsWindow(dialog)) return {};
  if (dialogTemplate.style & WS_VISIBLE) ShowWindow(dialog, SW_SHOW);
  return IsWindow(dialog) ? dialog : HWND{};
}

INT_PTR DialogBoxIndirectParam(HINSTANCE instance, const TDialogTemplate& dialogTemplate, HWND owner,
                               DLGPROC dialogProc, LPARAM initParam) {
  TDialogTemplate hidden = dialogTemplate;
  hidden.style &= ~WS_VISIBLE;
  HWND dialog = CreateDialogIndirectParam(instance, hidden, owner, dialogProc, initParam);
  if (!dialog) return -1;
  bool ownerWasEnabled = owner && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, 0);

  auto running = [dialog] {
    const TDialogState* state = FindDialog(dialog);
    return state && !state->ended;
  };
  if (running()) ShowWindow(dialog, SW_SHOW);
  if (running() && owner && IsWindow(owner))
    SetWindowPos(owner, dialog, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (running()) {
    HDC dc = GetDC(dialog);
    SendMessage(dialog, WM_CTLCOLORDLG, static_cast<WPARAM>(dc), static_cast<LPARAM>(static_cast<uintptr_t>(dialog)));
    ReleaseDC(dialog, dc);
  }

  // A driver that keeps acting without ever ending the dialog is stopped after this many
  // idle rounds, so that no loop runs for ever.
  constexpr int kMaxIdleRounds = 10000;
  int idleRounds = 0;
  while (running()) {
    MSG message;
    if (PeekMessage(message, HWND{}, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        // The quit request belongs to the application's own loop: leave it there.
        PostQuitMessage(static_cast<int>(message.wParam));
        EndDialog(dialog, IDCANCEL);
        break;
      }
      DispatchMessage(message);
      continue;
    }
    TDialogDriver driver = Dialogs().driver ? Dialogs().driver : TDialogDriver(NobodyThere);
    if (++idleRounds <= kMaxIdleRounds && driver(dialog)) continue;
    if (running()) {
      HWND cancel = GetDlgItem(dialog, IDCANCEL);
      SendMessage(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), static_cast<LPARAM>(static_cast<uintptr_t>(cancel)));
    }
    if (running()) EndDialog(dialog, IDCANCEL);
  }

  INT_PTR result = -1;
  if (const TDialogState* state = FindDialog(dialog)) result = state->result;
  if (ownerWasEnabled && IsWindow(owner)) EnableWindow(owner, 1);
  if (IsWindow(dialog)) {
    if (owner && IsWindow(owner) && GetActiveWindow() == dialog) SetActiveWindow(owner);
    DestroyWindow(dialog);
  }
  return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  TDialogState* state = FindDialog(dialog);
  if (!state) return 0;
  state->ended = true;
  state->result = result;
  ShowWindow(dialog, SW_HIDE);
  return 1;
}

BOOL IsDialogRunning(HWND dialog) {
  const TDialogState* state = FindDialog(dialog);
  return state && !state->ended ? 1 : 0;
}

LRESULT DefDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (const TDialogState* state = FindDialog(dialog); state && state->procedure) {
    INT_PTR handled = state->procedure(dialog, message, wParam, lParam);
    if (message == WM_INITDIALOG) {
      // The focus moves when the dialog is activated, not while it is still hidden.
      if (TDialogState* again = FindDialog(dialog); again && handled) again->savedFocus = static_cast<HWND>(wParam);
      return handled;
    }
    if (message == WM_CTLCOLORDLG) return handled;
    if (handled) return handled;
  }
  if (!IsWindow(dialog)) return 0;
  switch (message) {
    case WM_CLOSE: {
      HWND cancel = GetDlgItem(dialog, IDCANCEL);
      if (!cancel || IsWindowEnabled(cancel))
        SendMessage(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), static_cast<LPARAM>(static_cast<uintptr_t>(cancel)));
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        if (TDialogState* state = FindDialog(dialog); state && IsChild(dialog, GetFocus())) state->savedFocus = GetFocus();
      } else {
        // The dialog window takes the focus itself before handing it to a control, so the
        // window losing the focus learns which window took it: the dialog.
        if (GetFocus() != dialog && !IsChild(dialog, GetFocus())) SetFocus(dialog);
        const TDialogState* state = FindDialog(dialog);
        HWND target = state && IsChild(dialog, state->savedFocus) ? state->savedFocus : FirstTabStop(dialog);
        if (target && GetFocus() == dialog) SetFocus(target);
      }
      return 0;
    case WM_NEXTDLGCTL:
      if (lParam) {
        SetFocus(static_cast<HWND>(wParam));
      } else {
        HWND from = GetFocus();
        HWND next = IsChild(dialog, from) ? GetWindow(from, wParam ? GW_HWNDPREV : GW_HWNDNEXT) : HWND{};
        SetFocus(next ? next : FirstTabStop(dialog));
      }
      return 0;
    case WM_CTLCOLORDLG:
      return 0;
    default:
      return DefWindowProc(dialog, message, wParam, lParam);
  }
}

BOOL SetDlgItemText(HWND dialog, int id, std::u16string_view text) {
  HWND control = GetDlgItem(dialog, id);
  return control ? SetWindowText(control, text) : 0;
}

std::u16string GetDlgItemText(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control ? GetWindowText(control) : std::u16string();
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  HWND control = GetDlgItem(dialog, id);
  if (!control) return 0;
  Dialogs().checks[control] = check;
  return 1;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  auto& checks = Dialogs().checks;
  auto it = checks.find(control);
  return it == checks.end() ? 0 : it->second;
}

TDialogDriver SetDialogDriver(TDialogDriver driver) { return std::exchange(Dialogs().driver, std::move(driver)); }

TDialogDriver PressButtonDriver(int id) {
  return [id, pressed = false](HWND dialog) mutable {
    if (pressed) return false;
    pressed = true;
    HWND button = GetDlgItem(dialog, id);
    SendMessage(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                static_cast<LPARAM>(static_cast<uintptr_t>(button)));
    return true;
  };
}

TDialogDriver CloseDialogDriver() {
  return [closed = false](HWND dialog) mutable {
    if (closed) return false;
    closed = true;
    SendMessage(dialog, WM_CLOSE, 0, 0);
    return true;
  };
}

}  // namespace quintrel::win32
