// Dialog boxes: windows of the dialog class built from a template of child controls,
// with a dialog procedure, a default dialog procedure, modal and modeless use.
//
// A template gives the dialog's style, caption and font and, in order, its controls:
// class, text, control id, style and rectangle in dialog units. Creating a dialog
// makes the font, creates the dialog window hidden and each control as a child in
// template order (so GetWindow walks them in template order), gives every one the font
// (WM_SETFONT) and sends WM_INITDIALOG. A control without an id of its own carries
// 0xFFFF, so GetDlgCtrlID answers 65535 for it, as for the static texts of real
// templates.
//
// Nobody sits in front of this screen: a modal dialog's message loop asks a replaceable
// dialog driver what the user does whenever it has nothing else to do (press a button,
// type into an edit box, close the dialog, or nothing more). Tests and the command line
// install the driver they need; the default one closes the dialog at once, as a user
// pressing Esc would.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32/winuser.h"

namespace quintrel::win32 {

using INT_PTR = intptr_t;
// Returns TRUE when it handled the message; for WM_INITDIALOG, TRUE lets the dialog put
// the focus on the control WM_INITDIALOG names once the dialog is activated.
using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

// Dialog styles.
constexpr DWORD DS_ABSALIGN = 0x0001;
constexpr DWORD DS_SYSMODAL = 0x0002;
constexpr DWORD DS_3DLOOK = 0x0004;
constexpr DWORD DS_LOCALEDIT = 0x0020;
constexpr DWORD DS_SETFONT = 0x0040;
constexpr DWORD DS_MODALFRAME = 0x0080;
constexpr DWORD DS_NOIDLEMSG = 0x0100;
constexpr DWORD DS_CONTROL = 0x0400;
constexpr DWORD DS_CENTER = 0x0800;
constexpr DWORD DS_CONTEXTHELP = 0x2000;

// Notifications and button messages.
constexpr WORD BN_CLICKED = 0;
constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr UINT BM_CLICK = 0x00F5;
constexpr WPARAM BST_UNCHECKED = 0;
constexpr WPARAM BST_CHECKED = 1;

// The id of controls that have none of their own (a static text, a group box).
constexpr WORD IDC_STATIC = 0xFFFF;

// Static, edit, list and combo box styles the templates use.
constexpr DWORD SS_ICON = 0x0003;
constexpr DWORD SS_BLACKRECT = 0x0004;
constexpr DWORD SS_NOPREFIX = 0x0080;
constexpr DWORD SS_SUNKEN = 0x1000;
constexpr DWORD ES_AUTOHSCROLL = 0x0080;
constexpr DWORD LBS_NOTIFY = 0x0001;
constexpr DWORD LBS_SORT = 0x0002;
constexpr DWORD CBS_SIMPLE = 0x0001;
constexpr DWORD CBS_DROPDOWN = 0x0002;
constexpr DWORD CBS_DROPDOWNLIST = 0x0003;

struct TDialogItem {
  std::u16string className;  // WC_BUTTON, WC_STATIC, WC_EDIT, … or a registered class
  std::u16string text;
  WORD id = IDC_STATIC;
  DWORD style = 0;           // WS_CHILD is implied; WS_VISIBLE is as given
  DWORD exStyle = 0;
  short x = 0, y = 0, cx = 0, cy = 0;  // dialog units
};

struct TDialogTemplate {
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
  DWORD exStyle = 0;
  short x = 0, y = 0, cx = 0, cy = 0;  // the client area, dialog units
  std::u16string caption;
  // With DS_SETFONT: the font of the dialog and its controls.
  WORD pointSize = 8;
  std::u16string faceName = u"MS Sans Serif";
  std::vector<TDialogItem> items;
};

// --- Creating and ending -----------------------------------------------------------------
// Creates a modeless dialog: the dialog window (class WC_DIALOG, hidden until the end),
// its font (with DS_SETFONT: the face at the point size, at 96 dpi; otherwise the
// system font) given to the dialog and to every control, the controls in template
// order, then WM_INITDIALOG (wParam: the first control with WS_TABSTOP, lParam:
// `initParam`). The template's x and y are dialog units from the owner's top-left corner
// (from the screen's without an owner); with DS_CENTER the dialog is centred on the
// screen. With WS_VISIBLE in the template the dialog is shown last. A null handle when the
// owner is not a window or WM_INITDIALOG destroyed the dialog.
HWND CreateDialogIndirectParam(HINSTANCE instance, const TDialogTemplate& dialogTemplate, HWND owner,
                               DLGPROC dialogProc, LPARAM initParam);
// Runs a modal dialog and returns the value given to EndDialog (-1 when the dialog could
// not be created). The owner is disabled while the dialog runs. The dialog is shown
// (WM_SHOWWINDOW, activation: WM_ACTIVATE, then the focus moves to the dialog window and
// on to its first tab-stop control); its owner is kept right behind it in the window
// order (SetWindowPos, so the owner hears WM_WINDOWPOSCHANGED); its background is
// drawn (WM_CTLCOLORDLG, wParam a device context, lParam the dialog). The loop then
// dispatches posted messages and, whenever none is left, calls the dialog driver, until
// EndDialog is called or the dialog is destroyed. A driver that has nothing more to do
// leaves the dialog as Esc does (WM_COMMAND IDCANCEL, and EndDialog(IDCANCEL) when the
// dialog procedure does not end it). Afterwards the owner is enabled and activated and
// the dialog destroyed.
INT_PTR DialogBoxIndirectParam(HINSTANCE instance, const TDialogTemplate& dialogTemplate, HWND owner,
                               DLGPROC dialogProc, LPARAM initParam);
// Ends a modal dialog with a result (its loop returns it); hides a modeless one.
// FALSE when the window is not a dialog.
BOOL EndDialog(HWND dialog, INT_PTR result);
// Whether the window was made from a template and EndDialog has not been called for it.
BOOL IsDialogRunning(HWND dialog);

// The window procedure of the dialog class: the dialog procedure first; what it leaves
// unhandled gets the default dialog handling: WM_CLOSE presses Cancel (WM_COMMAND
// IDCANCEL with BN_CLICKED and the button, when the dialog has an enabled one),
// WM_ACTIVATE gives the focus to the dialog window and from there to the control that had
// it when the dialog was last deactivated (at first the control WM_INITDIALOG named when
// the procedure returned TRUE, else the first tab stop), WM_NEXTDLGCTL moves the focus,
// everything else goes to DefWindowProc. WM_INITDIALOG and WM_CTLCOLORDLG return the
// dialog procedure's result.
LRESULT DefDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// --- Controls ------------------------------------------------------------------------------
BOOL SetDlgItemText(HWND dialog, int id, std::u16string_view text);
std::u16string GetDlgItemText(HWND dialog, int id);
// Check state of a button control, kept by the window manager (BM_GETCHECK/BM_SETCHECK).
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
// Converts a rectangle from dialog units to pixels with the dialog's base units.
BOOL MapDialogRect(HWND dialog, RECT& rect);
// The base units of a font: the average character width and the cell height of the text
// metric (gdi.h). Dialog units are a quarter of the one and an eighth of the other.
SIZE DialogBaseUnits(HFONT font);
// The template's controls counted, for callers that size lists by it.
int DialogItemCount(const TDialogTemplate& dialogTemplate);

// --- The dialog driver ---------------------------------------------------------------------
// Called with the dialog each time its modal loop is idle; acts as the user would and
// returns true to be called again, false when the user does nothing more.
using TDialogDriver = std::function<bool(HWND dialog)>;
// Installs a driver (an empty function restores the default) and returns the previous one.
TDialogDriver SetDialogDriver(TDialogDriver driver);

class TScopedDialogDriver {
public:
  explicit TScopedDialogDriver(TDialogDriver driver) : previous_(SetDialogDriver(std::move(driver))) {}
  ~TScopedDialogDriver() { SetDialogDriver(std::move(previous_)); }
  TScopedDialogDriver(const TScopedDialogDriver&) = delete;
  TScopedDialogDriver& operator=(const TScopedDialogDriver&) = delete;

private:
  TDialogDriver previous_;
};

// Drivers for the usual users: one that presses the button with that id (WM_COMMAND with
// BN_CLICKED, as a click does) once, and one that closes the dialog (WM_CLOSE) once.
TDialogDriver PressButtonDriver(int id);
TDialogDriver CloseDialogDriver();

}  // namespace quintrel::win32
