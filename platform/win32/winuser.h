// Windows and messages, in process: window classes, windows with their class, text,
// rectangle, styles, control id, parent, owner and sibling order, window procedures with
// subclassing, SendMessage and a posted-message queue, activation and focus.
//
// Nothing is drawn. A window is a record with a handle; its procedure receives the same
// messages, in the same order, as a Win32 window procedure would for the operations
// offered here. All window procedures are wide: text messages carry zero-terminated
// char16_t strings, and SendMessageA translates the text messages at the boundary.
//
// The window manager belongs to the user-interface thread, like the windows of a Win32
// thread; it is not to be used from several threads at once.
//
// Robustness: every call on a destroyed or unknown handle fails cleanly (0, FALSE or a
// null handle), also when a window is destroyed from inside one of its own messages.
#pragma once

#include <string>
#include <string_view>

#include "platform/win32/windef.h"

namespace quintrel::win32 {

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

// --- Messages --------------------------------------------------------------------------
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_ENABLE = 0x000A;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_SETTINGCHANGE = 0x001A;
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_GETFONT = 0x0031;
constexpr UINT WM_WINDOWPOSCHANGING = 0x0046;
constexpr UINT WM_WINDOWPOSCHANGED = 0x0047;
constexpr UINT WM_STYLECHANGING = 0x007C;
constexpr UINT WM_STYLECHANGED = 0x007D;
constexpr UINT WM_NCCREATE = 0x0081;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_INITMENU = 0x0116;
constexpr UINT WM_INITMENUPOPUP = 0x0117;
constexpr UINT WM_CTLCOLORDLG = 0x0136;
constexpr UINT WM_NEXTDLGCTL = 0x0028;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

// WM_ACTIVATE, low word of wParam.
constexpr WORD WA_INACTIVE = 0;
constexpr WORD WA_ACTIVE = 1;
constexpr WORD WA_CLICKACTIVE = 2;

// WM_SIZE, wParam.
constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;
constexpr WPARAM SIZE_MAXIMIZED = 2;

// WM_SYSCOMMAND, wParam (the low four bits are used by the system and masked off).
constexpr UINT SC_SIZE = 0xF000;
constexpr UINT SC_MOVE = 0xF010;
constexpr UINT SC_MINIMIZE = 0xF020;
constexpr UINT SC_MAXIMIZE = 0xF030;
constexpr UINT SC_NEXTWINDOW = 0xF040;
constexpr UINT SC_PREVWINDOW = 0xF050;
constexpr UINT SC_CLOSE = 0xF060;
constexpr UINT SC_VSCROLL = 0xF070;
constexpr UINT SC_HSCROLL = 0xF080;
constexpr UINT SC_MOUSEMENU = 0xF090;
constexpr UINT SC_KEYMENU = 0xF100;
constexpr UINT SC_ARRANGE = 0xF110;
constexpr UINT SC_RESTORE = 0xF120;
constexpr UINT SC_TASKLIST = 0xF130;
constexpr UINT SC_SCREENSAVE = 0xF140;
constexpr UINT SC_HOTKEY = 0xF150;
constexpr UINT SC_DEFAULT = 0xF160;
constexpr UINT SC_MONITORPOWER = 0xF170;
constexpr UINT SC_CONTEXTHELP = 0xF180;

// --- Styles ----------------------------------------------------------------------------
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_MINIMIZE = 0x20000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_MAXIMIZE = 0x01000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_DLGFRAME = 0x00400000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD WS_POPUPWINDOW = WS_POPUP | WS_BORDER | WS_SYSMENU;

constexpr DWORD WS_EX_DLGMODALFRAME = 0x00000001;
constexpr DWORD WS_EX_NOPARENTNOTIFY = 0x00000004;
constexpr DWORD WS_EX_TOPMOST = 0x00000008;
constexpr DWORD WS_EX_ACCEPTFILES = 0x00000010;
constexpr DWORD WS_EX_TRANSPARENT = 0x00000020;
constexpr DWORD WS_EX_MDICHILD = 0x00000040;
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
constexpr DWORD WS_EX_WINDOWEDGE = 0x00000100;
constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
constexpr DWORD WS_EX_CONTEXTHELP = 0x00000400;
constexpr DWORD WS_EX_RIGHT = 0x00001000;
constexpr DWORD WS_EX_LEFT = 0x00000000;
constexpr DWORD WS_EX_RTLREADING = 0x00002000;
constexpr DWORD WS_EX_LTRREADING = 0x00000000;
constexpr DWORD WS_EX_LEFTSCROLLBAR = 0x00004000;
constexpr DWORD WS_EX_RIGHTSCROLLBAR = 0x00000000;
constexpr DWORD WS_EX_CONTROLPARENT = 0x00010000;
constexpr DWORD WS_EX_STATICEDGE = 0x00020000;
constexpr DWORD WS_EX_APPWINDOW = 0x00040000;
constexpr DWORD WS_EX_NOINHERITLAYOUT = 0x00100000;
constexpr DWORD WS_EX_LAYOUTRTL = 0x00400000;

// Button styles.
constexpr DWORD BS_PUSHBUTTON = 0x0000;
constexpr DWORD BS_DEFPUSHBUTTON = 0x0001;
constexpr DWORD BS_CHECKBOX = 0x0002;
constexpr DWORD BS_AUTOCHECKBOX = 0x0003;
constexpr DWORD BS_RADIOBUTTON = 0x0004;
constexpr DWORD BS_3STATE = 0x0005;
constexpr DWORD BS_AUTO3STATE = 0x0006;
constexpr DWORD BS_GROUPBOX = 0x0007;
constexpr DWORD BS_USERBUTTON = 0x0008;
constexpr DWORD BS_AUTORADIOBUTTON = 0x0009;
constexpr DWORD BS_OWNERDRAW = 0x000B;
constexpr DWORD BS_TYPEMASK = 0x000F;
constexpr DWORD BS_LEFTTEXT = 0x0020;
constexpr DWORD BS_RIGHTBUTTON = BS_LEFTTEXT;
constexpr DWORD BS_TEXT = 0x0000;
constexpr DWORD BS_ICON = 0x0040;
constexpr DWORD BS_BITMAP = 0x0080;
constexpr DWORD BS_LEFT = 0x0100;
constexpr DWORD BS_RIGHT = 0x0200;
constexpr DWORD BS_CENTER = 0x0300;
constexpr DWORD BS_TOP = 0x0400;
constexpr DWORD BS_BOTTOM = 0x0800;
constexpr DWORD BS_VCENTER = 0x0C00;
constexpr DWORD BS_PUSHLIKE = 0x1000;
constexpr DWORD BS_MULTILINE = 0x2000;
constexpr DWORD BS_NOTIFY = 0x4000;
constexpr DWORD BS_FLAT = 0x8000;

// Static and edit alignment styles.
constexpr DWORD SS_LEFT = 0x0000;
constexpr DWORD SS_CENTER = 0x0001;
constexpr DWORD SS_RIGHT = 0x0002;
constexpr DWORD ES_LEFT = 0x0000;
constexpr DWORD ES_CENTER = 0x0001;
constexpr DWORD ES_RIGHT = 0x0002;

// --- Window data -----------------------------------------------------------------------
constexpr int GWL_WNDPROC = -4;
constexpr int GWL_HINSTANCE = -6;
constexpr int GWL_HWNDPARENT = -8;
constexpr int GWL_ID = -12;
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr int GWL_USERDATA = -21;

// GetWindow.
constexpr UINT GW_HWNDFIRST = 0;
constexpr UINT GW_HWNDLAST = 1;
constexpr UINT GW_HWNDNEXT = 2;
constexpr UINT GW_HWNDPREV = 3;
constexpr UINT GW_OWNER = 4;
constexpr UINT GW_CHILD = 5;
constexpr UINT GW_ENABLEDPOPUP = 6;

// GetAncestor.
constexpr UINT GA_PARENT = 1;
constexpr UINT GA_ROOT = 2;
constexpr UINT GA_ROOTOWNER = 3;

// ShowWindow.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_NORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_MAXIMIZE = 3;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWMINNOACTIVE = 7;
constexpr int SW_SHOWNA = 8;
constexpr int SW_RESTORE = 9;
constexpr int SW_SHOWDEFAULT = 10;

// SetWindowPos.
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOREDRAW = 0x0008;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_FRAMECHANGED = 0x0020;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;
constexpr UINT SWP_NOOWNERZORDER = 0x0200;

constexpr HWND HWND_TOP = static_cast<HWND>(0);
constexpr HWND HWND_BOTTOM = static_cast<HWND>(1);
constexpr HWND HWND_TOPMOST = static_cast<HWND>(static_cast<uintptr_t>(-1));
constexpr HWND HWND_NOTOPMOST = static_cast<HWND>(static_cast<uintptr_t>(-2));
// SendMessage to every top-level window.
constexpr HWND HWND_BROADCAST = static_cast<HWND>(0xFFFF);

// PeekMessage.
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

// Window class styles are kept but have no effect here.
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_DBLCLKS = 0x0008;

struct WNDCLASSW {
  UINT style = 0;
  WNDPROC lpfnWndProc = nullptr;
  HINSTANCE hInstance{};
  const char16_t* lpszClassName = nullptr;
};

struct CREATESTRUCTW {
  void* lpCreateParams = nullptr;
  HINSTANCE hInstance{};
  HMENU hMenu{};
  HWND hwndParent{};
  int cy = 0;
  int cx = 0;
  int y = 0;
  int x = 0;
  LONG style = 0;
  const char16_t* lpszName = nullptr;
  const char16_t* lpszClass = nullptr;
  DWORD dwExStyle = 0;
};

struct WINDOWPOS {
  HWND hwnd{};
  HWND hwndInsertAfter{};
  int x = 0;
  int y = 0;
  int cx = 0;
  int cy = 0;
  UINT flags = 0;
};

struct STYLESTRUCT {
  DWORD styleOld = 0;
  DWORD styleNew = 0;
};

struct MSG {
  HWND hwnd{};
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

// Class names predefined as in Win32; their procedure is DefWindowProc.
inline constexpr const char16_t* WC_BUTTON = u"Button";
inline constexpr const char16_t* WC_STATIC = u"Static";
inline constexpr const char16_t* WC_EDIT = u"Edit";
inline constexpr const char16_t* WC_LISTBOX = u"ListBox";
inline constexpr const char16_t* WC_COMBOBOX = u"ComboBox";
inline constexpr const char16_t* WC_SCROLLBAR = u"ScrollBar";
inline constexpr const char16_t* WC_MDICLIENT = u"MDIClient";
inline constexpr const char16_t* WC_DIALOG = u"#32770";

// --- Classes ---------------------------------------------------------------------------
// Registers a class; 0 when the name is empty, the procedure missing or the name taken
// (names compare without regard to ASCII case).
ATOM RegisterClass(const WNDCLASSW& windowClass);
// Fails for predefined classes and for classes that still have windows.
BOOL UnregisterClass(std::u16string_view className, HINSTANCE instance);
std::u16string GetClassName(HWND window);

// --- Creation and destruction ----------------------------------------------------------
// Creates a window of a registered class. With WS_CHILD, `parent` must be a window and
// `menuOrId` carries the control id (static_cast<HMENU>(id)); the child is placed last
// in its parent's child order, so children come in creation order. Without WS_CHILD the
// window is top-level, placed first among top-level windows, owned by the top-level
// ancestor of `parent` when one is given, and `menuOrId` is its menu bar. x and y are in
// the parent's client coordinates (screen coordinates for a top-level window).
// Sends WM_NCCREATE (DefWindowProc takes the text from it) and WM_CREATE; FALSE from the
// one or -1 from the other destroys the window and the result is null. With WS_VISIBLE
// the window is shown afterwards as by ShowWindow(SW_SHOW).
HWND CreateWindowEx(DWORD exStyle, std::u16string_view className, std::u16string_view windowName, DWORD style,
                    int x, int y, int width, int height, HWND parent, HMENU menuOrId, HINSTANCE instance,
                    void* param);

// Destroys owned windows first, then sends WM_DESTROY to the window and to every
// descendant (parents before children), then WM_NCDESTROY to each from the deepest
// child up, destroying the menus of each window; every one of those handles is invalid
// afterwards. FALSE for an invalid handle, the desktop, or a window already being
// destroyed.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
HWND GetDesktopWindow();

// --- Messages --------------------------------------------------------------------------
// Calls the window's procedure and returns its result; 0 for an invalid handle.
// HWND_BROADCAST sends to every top-level window and returns 1.
LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// As SendMessage, with WM_SETTEXT taking and WM_GETTEXT filling 8-bit text.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProc(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The default handling: WM_NCCREATE (takes the text), WM_SETTEXT, WM_GETTEXT,
// WM_GETTEXTLENGTH, WM_SETFONT and WM_GETFONT (every window keeps a font handle, null
// until set), WM_CLOSE (destroys the window), WM_SYSCOMMAND (SC_CLOSE sends WM_CLOSE,
// SC_MINIMIZE/SC_MAXIMIZE/SC_RESTORE show the window that way), WM_WINDOWPOSCHANGED
// (sends WM_MOVE and WM_SIZE); everything else returns 0.
LRESULT DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The posted-message queue of the thread. Messages for a window are dropped when the
// window is destroyed.
BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// Takes (PM_REMOVE) or copies the oldest message for `window` (any when null) whose
// number lies in [filterMin, filterMax] (all when both are 0).
BOOL PeekMessage(MSG& message, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage);
LRESULT DispatchMessage(const MSG& message);

// --- Window data -----------------------------------------------------------------------
// GWL_STYLE and GWL_EXSTYLE (32 bits; setting sends WM_STYLECHANGING, whose handler may
// change the new style, and WM_STYLECHANGED), GWL_WNDPROC, GWL_ID, GWL_USERDATA,
// GWL_HINSTANCE and GWL_HWNDPARENT (the owner of a top-level window). The set form
// returns the previous value; both return 0 for an invalid window or index.
LONG_PTR GetWindowLong(HWND window, int index);
LONG_PTR SetWindowLong(HWND window, int index, LONG_PTR value);
// Installs a window procedure and returns the one it displaced, so a subclass can chain
// to it with CallWindowProc (the same as SetWindowLong with GWL_WNDPROC).
WNDPROC SubclassWindow(HWND window, WNDPROC procedure);

BOOL SetWindowText(HWND window, std::u16string_view text);
int GetWindowText(HWND window, char16_t* buffer, int bufferMax);
std::u16string GetWindowText(HWND window);
int GetWindowTextLength(HWND window);

// --- Relations -------------------------------------------------------------------------
HWND GetWindow(HWND window, UINT command);
// The parent of a child window, the owner of a top-level window.
HWND GetParent(HWND window);
HWND GetAncestor(HWND window, UINT flags);
BOOL IsChild(HWND parent, HWND window);
// Makes `newParent` (the desktop when null) the parent, at the top of its child order.
// Fails when that would put a window inside itself. Returns the previous parent.
HWND SetParent(HWND window, HWND newParent);
// The first direct child with that control id.
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND window);

// --- Geometry --------------------------------------------------------------------------
// The window rectangle in screen coordinates.
BOOL GetWindowRect(HWND window, RECT& rect);
// Grows a client rectangle into the window rectangle a window of these styles needs:
// the frame (a sizing frame with WS_THICKFRAME, a dialog frame with WS_DLGFRAME or
// WS_EX_DLGMODALFRAME, else a border with WS_BORDER; a client edge more with
// WS_EX_CLIENTEDGE), the caption with WS_CAPTION (small with WS_EX_TOOLWINDOW) and a menu
// bar when `menu` is TRUE and the window is not a child. Sizes from GetSystemMetrics.
BOOL AdjustWindowRectEx(RECT& rect, DWORD style, BOOL menu, DWORD exStyle);
// The client area: the window less what AdjustWindowRectEx adds, never negative.
BOOL GetClientRect(HWND window, RECT& rect);
BOOL ScreenToClient(HWND window, POINT& point);
BOOL ClientToScreen(HWND window, POINT& point);
// `repaint` has no effect here.
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
// Sends WM_WINDOWPOSCHANGING (which may change the WINDOWPOS) and WM_WINDOWPOSCHANGED.
// `insertAfter` is HWND_TOP, HWND_BOTTOM or a sibling.
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);

// --- State -----------------------------------------------------------------------------
// Returns whether the window was visible. A change of visibility is announced by
// WM_SHOWWINDOW first. Showing a top-level window (other than SW_SHOWNA,
// SW_SHOWNOACTIVATE, SW_SHOWMINNOACTIVE) activates it; hiding the active window
// activates its owner.
BOOL ShowWindow(HWND window, int command);
// WS_VISIBLE on the window and on each ancestor.
BOOL IsWindowVisible(HWND window);
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
// Only top-level windows are active; a child makes its top-level ancestor active. The
// window losing activation gets WM_ACTIVATE(WA_INACTIVE, new), the one gaining it
// WM_ACTIVATE(WA_ACTIVE, previous). Returns the previously active window.
HWND SetActiveWindow(HWND window);
HWND GetActiveWindow();
// WM_KILLFOCUS(new) to the window losing focus, WM_SETFOCUS(previous) to the one gaining
// it; activates its top-level ancestor. Returns the previous focus.
HWND SetFocus(HWND window);
HWND GetFocus();

}  // namespace quintrel::win32
