// Menus: menu bars, drop-down menus and the system menu of each window.
//
// A menu is a list of items; an item has a type (string, separator, right-justified,
// ...), a state (checked, grayed, default, ...), a command id, an optional drop-down
// menu, application data and a wide caption. Items are addressed by position
// (MF_BYPOSITION) or by command (MF_BYCOMMAND, the default), which searches drop-down
// menus depth first, as Win32 does. A menu cannot be made a drop-down of itself or of
// one of its own drop-downs.
//
// Every window with WS_SYSMENU has a system menu: GetSystemMenu(window, FALSE) gives the
// window's own copy of the standard one, made on first use, which may be changed freely;
// GetSystemMenu(window, TRUE) discards the copy so the next call starts from the
// standard menu again.
#pragma once

#include <string>
#include <string_view>

#include "platform/win32/windef.h"

namespace quintrel::win32 {

constexpr UINT MF_INSERT = 0x0000;
constexpr UINT MF_CHANGE = 0x0080;
constexpr UINT MF_APPEND = 0x0100;
constexpr UINT MF_DELETE = 0x0200;
constexpr UINT MF_REMOVE = 0x1000;
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_SEPARATOR = 0x0800;
constexpr UINT MF_ENABLED = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_DISABLED = 0x0002;
constexpr UINT MF_UNCHECKED = 0x0000;
constexpr UINT MF_CHECKED = 0x0008;
constexpr UINT MF_USECHECKBITMAPS = 0x0200;
constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_BITMAP = 0x0004;
constexpr UINT MF_OWNERDRAW = 0x0100;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_MENUBARBREAK = 0x0020;
constexpr UINT MF_MENUBREAK = 0x0040;
constexpr UINT MF_UNHILITE = 0x0000;
constexpr UINT MF_HILITE = 0x0080;
constexpr UINT MF_DEFAULT = 0x1000;
constexpr UINT MF_RIGHTJUSTIFY = 0x4000;
constexpr UINT MF_HELP = MF_RIGHTJUSTIFY;

constexpr UINT MFT_STRING = MF_STRING;
constexpr UINT MFT_BITMAP = MF_BITMAP;
constexpr UINT MFT_MENUBARBREAK = MF_MENUBARBREAK;
constexpr UINT MFT_MENUBREAK = MF_MENUBREAK;
constexpr UINT MFT_OWNERDRAW = MF_OWNERDRAW;
constexpr UINT MFT_RADIOCHECK = 0x0200;
constexpr UINT MFT_SEPARATOR = MF_SEPARATOR;
constexpr UINT MFT_RIGHTORDER = 0x2000;
constexpr UINT MFT_RIGHTJUSTIFY = MF_RIGHTJUSTIFY;

constexpr UINT MFS_GRAYED = 0x0003;
constexpr UINT MFS_DISABLED = MFS_GRAYED;
constexpr UINT MFS_CHECKED = MF_CHECKED;
constexpr UINT MFS_HILITE = MF_HILITE;
constexpr UINT MFS_ENABLED = MF_ENABLED;
constexpr UINT MFS_UNCHECKED = MF_UNCHECKED;
constexpr UINT MFS_UNHILITE = MF_UNHILITE;
constexpr UINT MFS_DEFAULT = MF_DEFAULT;

constexpr UINT MIIM_STATE = 0x0001;
constexpr UINT MIIM_ID = 0x0002;
constexpr UINT MIIM_SUBMENU = 0x0004;
constexpr UINT MIIM_CHECKMARKS = 0x0008;
constexpr UINT MIIM_TYPE = 0x0010;
constexpr UINT MIIM_DATA = 0x0020;
constexpr UINT MIIM_STRING = 0x0040;
constexpr UINT MIIM_BITMAP = 0x0080;
constexpr UINT MIIM_FTYPE = 0x0100;

// The result of GetMenuItemID for a drop-down item or a missing position, and of
// GetMenuState, CheckMenuItem and EnableMenuItem for a missing item.
constexpr UINT kMenuFailed = 0xFFFFFFFF;

// An item's description, wide or 8-bit: only the caption's character type differs.
template <typename Char>
struct TMenuItemInfo {
  UINT cbSize = sizeof(TMenuItemInfo);
  UINT fMask = 0;
  UINT fType = 0;
  UINT fState = 0;
  UINT wID = 0;
  HMENU hSubMenu{};
  HBITMAP hbmpChecked{};
  HBITMAP hbmpUnchecked{};
  ULONG_PTR dwItemData = 0;
  Char* dwTypeData = nullptr;
  UINT cch = 0;
  HBITMAP hbmpItem{};
};
using MENUITEMINFOW = TMenuItemInfo<char16_t>;
using MENUITEMINFOA = TMenuItemInfo<char>;
using MENUITEMINFO = MENUITEMINFOW;

HMENU CreateMenu();
HMENU CreatePopupMenu();
// Destroys the menu and, recursively, its drop-down menus.
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);

// The menu bar of a top-level window (child windows have none). SetMenu does not
// destroy the previous bar.
HMENU GetMenu(HWND window);
BOOL SetMenu(HWND window, HMENU menu);
// No pixels: redrawing marks the bar as up to date. MenuBarNeedsRedraw tells whether the
// items of the window's bar changed since it was last set or drawn.
BOOL DrawMenuBar(HWND window);
BOOL MenuBarNeedsRedraw(HWND window);

HMENU GetSystemMenu(HWND window, BOOL revert);
HMENU GetSubMenu(HMENU menu, int position);

// `idNewItem` is the command id, or with MF_POPUP the drop-down menu's handle
// (static_cast<UINT_PTR>(menu)). Bitmap and owner-drawn items keep their type but no
// caption. InsertMenu places the item before the one addressed; by position, a position
// past the end (or -1) appends.
BOOL AppendMenu(HMENU menu, UINT flags, UINT_PTR idNewItem, std::u16string_view newItem = {});
BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR idNewItem, std::string_view newItem = {});
BOOL InsertMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem, std::u16string_view newItem = {});
BOOL InsertMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem, std::string_view newItem = {});
// Replaces the item wholesale (type, state, id, caption, drop-down); a drop-down menu it
// displaces is destroyed.
BOOL ModifyMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem, std::u16string_view newItem = {});
BOOL ModifyMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem, std::string_view newItem = {});
// DeleteMenu destroys the item's drop-down menu, RemoveMenu keeps it.
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);

// -1 for an invalid menu.
int GetMenuItemCount(HMENU menu);
// The command id at a position; kMenuFailed for a drop-down item or no item.
UINT GetMenuItemID(HMENU menu, int position);
// Copies the caption with the Win32 buffer rule; with a null buffer returns its length.
// 0 when there is no such item.
int GetMenuString(HMENU menu, UINT item, char16_t* buffer, int bufferMax, UINT flags);
std::u16string GetMenuString(HMENU menu, UINT item, UINT flags);
// Type and state flags, for a drop-down item with its item count in bits 8-15 and
// MF_POPUP; kMenuFailed when there is no such item.
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
// Both return the previous MF_CHECKED / MF_GRAYED | MF_DISABLED bits, kMenuFailed when
// there is no such item.
UINT CheckMenuItem(HMENU menu, UINT item, UINT check);
UINT EnableMenuItem(HMENU menu, UINT item, UINT enable);

// The fields named by fMask. cbSize must be the record's size. Captions: with MIIM_TYPE
// (string items only) or MIIM_STRING, a null dwTypeData (or cch 0) receives nothing and
// cch is set to the caption's length; otherwise at most cch - 1 characters and a zero
// are copied and cch is set to the number copied. Setting a caption reads dwTypeData up
// to its zero (null is the empty caption).
BOOL GetMenuItemInfo(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOW& info);
BOOL GetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOA& info);
BOOL SetMenuItemInfo(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOW& info);
BOOL SetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOA& info);
BOOL InsertMenuItem(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOW& info);

}  // namespace quintrel::win32
