#include "platform/win32/menus.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/rtl/utf8.h"
#include "platform/win32/internal.h"
#include "platform/win32/winuser.h"
#include "strings/winconsts.h"

namespace quintrel::win32 {

namespace {

constexpr UINT kTypeFlags = MF_BITMAP | MF_OWNERDRAW | MF_SEPARATOR | MF_MENUBARBREAK | MF_MENUBREAK | MF_RIGHTJUSTIFY;
constexpr UINT kStateFlags = MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_HILITE | MF_DEFAULT;

struct TMenuItem {
  UINT type = MFT_STRING;
  UINT state = 0;
  UINT id = 0;
  HMENU subMenu{};
  ULONG_PTR data = 0;
  std::u16string text;
  HBITMAP checkedBitmap{};
  HBITMAP uncheckedBitmap{};
  HBITMAP bitmap{};
};

struct TMenuRecord {
  std::vector<TMenuItem> items;
  bool popup = false;
  // Set by every change of the items, cleared when the menu is set as a bar or the bar
  // is drawn.
  bool stale = false;
};

struct TMenus {
  std::unordered_map<HMENU, TMenuRecord> menus;
  std::unordered_map<HWND, HMENU> bars;
  std::unordered_map<HWND, HMENU> systemMenus;
};

TMenus& Menus() {
  static TMenus menus;
  return menus;
}

TMenuRecord* Find(HMENU menu) {
  auto& menus = Menus().menus;
  auto it = menus.find(menu);
  return it == menus.end() ? nullptr : &it->second;
}

// An item found by position or by command: the menu that holds it and its index.
struct TLocation {
  HMENU menu{};
  TMenuRecord* record = nullptr;
  size_t index = 0;
  TMenuItem& Item() const { return record->items[index]; }
};

std::optional<TLocation> FindByCommand(HMENU menu, UINT id, std::unordered_set<HMENU>& visited) {
  TMenuRecord* record = Find(menu);
  if (!record || !visited.insert(menu).second) return std::nullopt;
  // A drop-down item whose own id matches is taken only when no plain item in or below
  // it has the command.
  std::optional<TLocation> fallback;
  for (size_t i = 0; i < record->items.size(); ++i) {
    const TMenuItem& item = record->items[i];
    if (item.subMenu) {
      if (auto found = FindByCommand(item.subMenu, id, visited)) return found;
      if (!fallback && item.id == id) fallback = TLocation{menu, record, i};
    } else if (item.id == id) {
      return TLocation{menu, record, i};
    }
  }
  return fallback;
}

std::optional<TLocation> Locate(HMENU menu, UINT item, UINT flags) {
  if (flags & MF_BYPOSITION) {
    TMenuRecord* record = Find(menu);
    if (!record || item >= record->items.size()) return std::nullopt;
    return TLocation{menu, record, item};
  }
  std::unordered_set<HMENU> visited;
  return FindByCommand(menu, item, visited);
}

// Whether `target` is `from` or lies below it; such a drop-down would make a cycle.
bool Reaches(HMENU from, HMENU target, std::unordered_set<HMENU>& visited) {
  if (from == target) return true;
  TMenuRecord* record = Find(from);
  if (!record || !visited.insert(from).second) return false;
  for (const TMenuItem& item : record->items)
    if (item.subMenu && Reaches(item.subMenu, target, visited)) return true;
  return false;
}

bool CanHoldSubMenu(HMENU menu, HMENU subMenu) {
  if (!subMenu) return true;
  std::unordered_set<HMENU> visited;
  return Find(subMenu) && !Reaches(subMenu, menu, visited);
}

bool IsStringType(UINT type) { return (type & (MFT_BITMAP | MFT_SEPARATOR | MFT_OWNERDRAW)) == 0; }

std::optional<TMenuItem> ItemFromFlags(UINT flags, UINT_PTR idNewItem, std::u16string_view text) {
  TMenuItem item;
  item.type = flags & kTypeFlags;
  item.state = flags & kStateFlags;
  item.id = static_cast<UINT>(idNewItem);
  if (flags & MF_POPUP) {
    item.subMenu = static_cast<HMENU>(idNewItem);
    if (!Find(item.subMenu)) return std::nullopt;
  }
  if (IsStringType(item.type)) item.text = text;
  return item;
}

BOOL InsertItem(HMENU menu, size_t index, const TMenuItem& item) {
  TMenuRecord* record = Find(menu);
  if (!record || !CanHoldSubMenu(menu, item.subMenu)) return 0;
  index = std::min(index, record->items.size());
  record->items.insert(record->items.begin() + static_cast<std::ptrdiff_t>(index), item);
  record->stale = true;
  return 1;
}

BOOL Remove(HMENU menu, UINT position, UINT flags, bool destroySubMenu) {
  auto location = Locate(menu, position, flags);
  if (!location) return 0;
  HMENU subMenu = location->Item().subMenu;
  location->record->items.erase(location->record->items.begin() + static_cast<std::ptrdiff_t>(location->index));
  location->record->stale = true;
  if (destroySubMenu && subMenu) DestroyMenu(subMenu);
  return 1;
}

HMENU NewMenu(bool popup) {
  HMENU menu = detail::NewHandle<HMENU>();
  Menus().menus[menu].popup = popup;
  return menu;
}

// The standard system menu for a window's styles. Commands the window cannot carry
// out are grayed; Close is the default item.
HMENU StandardSystemMenu(DWORD style, DWORD exStyle) {
  HMENU menu = NewMenu(true);
  bool mdiChild = exStyle & WS_EX_MDICHILD;
  bool minimized = style & WS_MINIMIZE;
  bool maximized = style & WS_MAXIMIZE;
  auto add = [menu](UINT command, const char* caption, bool enabled, UINT extra = 0) {
    AppendMenu(menu, MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED) | extra, command, rtl::Utf8ToWide(caption));
  };
  add(SC_RESTORE, strings::_SSysMenuRestore, minimized || maximized);
  add(SC_MOVE, strings::_SSysMenuMove, !maximized);
  add(SC_SIZE, strings::_SSysMenuSize, (style & WS_THICKFRAME) && !minimized && !maximized);
  add(SC_MINIMIZE, strings::_SSysMenuMinimize, (style & WS_MINIMIZEBOX) && !minimized);
  add(SC_MAXIMIZE, strings::_SSysMenuMaximize, (style & WS_MAXIMIZEBOX) && !maximized);
  AppendMenu(menu, MF_SEPARATOR, 0);
  add(SC_CLOSE, mdiChild ? strings::_SSysMenuCloseChild : strings::_SSysMenuClose, true, MF_DEFAULT);
  if (mdiChild) {
    AppendMenu(menu, MF_SEPARATOR, 0);
    add(SC_NEXTWINDOW, strings::_SSysMenuNextChild, true);
  }
  Find(menu)->stale = false;
  return menu;
}

template <typename Char>
UINT CopyCaption(std::basic_string_view<Char> text, Char* buffer, UINT bufferMax) {
  if (!buffer || bufferMax == 0) return static_cast<UINT>(text.size());
  return static_cast<UINT>(detail::CopyToBuffer<Char>(text, buffer, static_cast<int>(std::min<UINT>(bufferMax, INT_MAX))));
}

// The record forms differ only in the character type of their caption; the conversion
// functions bridge it.
template <typename Info, typename Char>
BOOL GetInfo(HMENU menu, UINT position, BOOL byPosition, Info& info,
             std::basic_string<Char> (*fromWide)(std::u16string_view)) {
  if (info.cbSize != sizeof(Info)) return 0;
  auto location = Locate(menu, position, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
  if (!location) return 0;
  const TMenuItem& item = location->Item();
  UINT mask = info.fMask;
  if (mask & (MIIM_TYPE | MIIM_FTYPE)) info.fType = item.type;
  if (mask & MIIM_STATE) info.fState = item.state;
  if (mask & MIIM_ID) info.wID = item.id;
  if (mask & MIIM_SUBMENU) info.hSubMenu = Find(item.subMenu) ? item.subMenu : HMENU{};
  if (mask & MIIM_DATA) info.dwItemData = item.data;
  if (mask & MIIM_CHECKMARKS) {
    info.hbmpChecked = item.checkedBitmap;
    info.hbmpUnchecked = item.uncheckedBitmap;
  }
  if (mask & MIIM_BITMAP) info.hbmpItem = item.bitmap;
  if ((mask & MIIM_STRING) || ((mask & MIIM_TYPE) && IsStringType(item.type))) {
    std::basic_string<Char> text = fromWide(item.text);
    info.cch = CopyCaption<Char>(text, info.dwTypeData, info.cch);
  } else if (mask & MIIM_TYPE) {
    info.cch = 0;
  }
  return 1;
}

template <typename Info, typename Char>
void ApplyInfo(TMenuItem& item, const Info& info, std::u16string (*toWide)(std::basic_string_view<Char>)) {
  UINT mask = info.fMask;
  if (mask & MIIM_TYPE) {
    item.type = info.fType;
    item.text = IsStringType(item.type) ? toWide(detail::ZeroTerminated(info.dwTypeData)) : std::u16string();
  }
  if (mask & MIIM_FTYPE) item.type = info.fType;
  if (mask & MIIM_STRING) item.text = toWide(detail::ZeroTerminated(info.dwTypeData));
  if (mask & MIIM_STATE) item.state = info.fState;
  if (mask & MIIM_ID) item.id = info.wID;
  if (mask & MIIM_SUBMENU) item.subMenu = info.hSubMenu;
  if (mask & MIIM_DATA) item.data = info.dwItemData;
  if (mask & MIIM_CHECKMARKS) {
    item.checkedBitmap = info.hbmpChecked;
    item.uncheckedBitmap = info.hbmpUnchecked;
  }
  if (mask & MIIM_BITMAP) item.bitmap = info.hbmpItem;
}

template <typename Info, typename Char>
BOOL SetInfo(HMENU menu, UINT position, BOOL byPosition, const Info& info,
             std::u16string (*toWide)(std::basic_string_view<Char>)) {
  if (info.cbSize != sizeof(Info)) return 0;
  auto location = Locate(menu, position, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
  if (!location) return 0;
  if ((info.fMask & MIIM_SUBMENU) && !CanHoldSubMenu(location->menu, info.hSubMenu)) return 0;
  ApplyInfo<Info, Char>(location->Item(), info, toWide);
  location->record->stale = true;
  return 1;
}

std::u16string SameWide(std::u16string_view text) { return std::u16string(text); }
std::u16string WideFromAnsi(std::string_view text) { return detail::AnsiToWide(text); }
std::string AnsiFromWide(std::u16string_view text) { return detail::WideToAnsi(text); }

}  // namespace

namespace detail {

void ReleaseWindowMenus(HWND window) {
  auto& menus = Menus();
  for (auto* slots : {&menus.bars, &menus.systemMenus}) {
    auto it = slots->find(window);
    if (it == slots->end()) continue;
    HMENU menu = it->second;
    slots->erase(it);
    DestroyMenu(menu);
  }
}

}  // namespace detail

HMENU CreateMenu() { return NewMenu(false); }
HMENU CreatePopupMenu() { return NewMenu(true); }

BOOL DestroyMenu(HMENU menu) {
  TMenuRecord* record = Find(menu);
  if (!record) return 0;
  std::vector<HMENU> subMenus;
  for (const TMenuItem& item : record->items)
    if (item.subMenu) subMenus.push_back(item.subMenu);
  auto& menus = Menus();
  menus.menus.erase(menu);
  for (auto* slots : {&menus.bars, &menus.systemMenus})
    std::erase_if(*slots, [menu](const auto& entry) { return entry.second == menu; });
  // A drop-down shared with another menu may already be gone; DestroyMenu just fails.
  for (HMENU subMenu : subMenus) DestroyMenu(subMenu);
  return 1;
}

BOOL IsMenu(HMENU menu) { return Find(menu) ? 1 : 0; }

HMENU GetMenu(HWND window) {
  auto& bars = Menus().bars;
  auto it = bars.find(window);
  return it == bars.end() || !IsWindow(window) ? HMENU{} : it->second;
}

BOOL SetMenu(HWND window, HMENU menu) {
  if (!IsWindow(window) || (GetWindowLong(window, GWL_STYLE) & WS_CHILD)) return 0;
  if (!menu) {
    Menus().bars.erase(window);
    return 1;
  }
  TMenuRecord* record = Find(menu);
  if (!record) return 0;
  Menus().bars[window] = menu;
  record->stale = false;
  return 1;
}

BOOL DrawMenuBar(HWND window) {
  TMenuRecord* record = Find(GetMenu(window));
  if (!record) return 0;
  record->stale = false;
  return 1;
}

BOOL MenuBarNeedsRedraw(HWND window) {
  TMenuRecord* record = Find(GetMenu(window));
  return record && record->stale ? 1 : 0;
}

HMENU GetSystemMenu(HWND window, BOOL revert) {
  if (!IsWindow(window)) return {};
  auto& systemMenus = Menus().systemMenus;
  auto it = systemMenus.find(window);
  if (revert) {
    if (it != systemMenus.end()) {
      HMENU copy = it->second;
      systemMenus.erase(it);
      DestroyMenu(copy);
    }
    return {};
  }
  auto style = static_cast<DWORD>(GetWindowLong(window, GWL_STYLE));
  if (!(style & WS_SYSMENU)) return {};
  if (it != systemMenus.end()) return it->second;
  HMENU menu = StandardSystemMenu(style, static_cast<DWORD>(GetWindowLong(window, GWL_EXSTYLE)));
  systemMenus.emplace(window, menu);
  return menu;
}

HMENU GetSubMenu(HMENU menu, int position) {
  if (position < 0) return {};
  auto location = Locate(menu, static_cast<UINT>(position), MF_BYPOSITION);
  return location && Find(location->Item().subMenu) ? location->Item().subMenu : HMENU{};
}

BOOL AppendMenu(HMENU menu, UINT flags, UINT_PTR idNewItem, std::u16string_view newItem) {
  auto item = ItemFromFlags(flags, idNewItem, newItem);
  return item ? InsertItem(menu, SIZE_MAX, *item) : 0;
}

BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR idNewItem, std::string_view newItem) {
  return AppendMenu(menu, flags, idNewItem, detail::AnsiToWide(newItem));
}

BOOL InsertMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem, std::u16string_view newItem) {
  auto item = ItemFromFlags(flags, idNewItem, newItem);
  if (!item) return 0;
  if (flags & MF_BYPOSITION) return InsertItem(menu, position, *item);
  auto location = Locate(menu, position, MF_BYCOMMAND);
  return location ? InsertItem(location->menu, location->index, *item) : 0;
}

BOOL InsertMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem, std::string_view newItem) {
  return InsertMenu(menu, position, flags, idNewItem, detail::AnsiToWide(newItem));
}

BOOL ModifyMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem, std::u16string_view newItem) {
  auto location = Locate(menu, position, flags);
  auto item = ItemFromFlags(flags, idNewItem, newItem);
  if (!location || !item || !CanHoldSubMenu(location->menu, item->subMenu)) return 0;
  HMENU displaced = location->Item().subMenu;
  location->Item() = *item;
  location->record->stale = true;
  if (displaced && displaced != item->subMenu) DestroyMenu(displaced);
  return 1;
}

BOOL ModifyMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem, std::string_view newItem) {
  return ModifyMenu(menu, position, flags, idNewItem, detail::AnsiToWide(newItem));
}

BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) { return Remove(menu, position, flags, true); }
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) { return Remove(menu, position, flags, false); }

int GetMenuItemCount(HMENU menu) {
  TMenuRecord* record = Find(menu);
  return record ? static_cast<int>(record->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
  if (position < 0) return kMenuFailed;
  auto location = Locate(menu, static_cast<UINT>(position), MF_BYPOSITION);
  if (!location || location->Item().subMenu) return kMenuFailed;
  return location->Item().id;
}

int GetMenuString(HMENU menu, UINT item, char16_t* buffer, int bufferMax, UINT flags) {
  auto location = Locate(menu, item, flags);
  if (!location) return 0;
  const std::u16string& text = location->Item().text;
  if (!buffer || bufferMax <= 0) return static_cast<int>(text.size());
  return detail::CopyToBuffer<char16_t>(text, buffer, bufferMax);
}

std::u16string GetMenuString(HMENU menu, UINT item, UINT flags) {
  auto location = Locate(menu, item, flags);
  return location ? location->Item().text : std::u16string();
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  auto location = Locate(menu, item, flags);
  if (!location) return kMenuFailed;
  const TMenuItem& it = location->Item();
  UINT bits = it.type | it.state;
  if (TMenuRecord* sub = Find(it.subMenu))
    return ((static_cast<UINT>(sub->items.size()) & 0xFF) << 8) | ((bits | MF_POPUP) & 0xFF);
  return bits;
}

UINT CheckMenuItem(HMENU menu, UINT item, UINT check) {
  auto location = Locate(menu, item, check);
  if (!location) return kMenuFailed;
  UINT& state = location->Item().state;
  UINT previous = state & MF_CHECKED;
  state = (state & ~MF_CHECKED) | (check & MF_CHECKED);
  location->record->stale = true;
  return previous;
}

UINT EnableMenuItem(HMENU menu, UINT item, UINT enable) {
  auto location = Locate(menu, item, enable);
  if (!location) return kMenuFailed;
  UINT& state = location->Item().state;
  UINT previous = state & (MF_GRAYED | MF_DISABLED);
  state = (state & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
  location->record->stale = true;
  return previous;
}

BOOL GetMenuItemInfo(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOW& info) {
  return GetInfo<MENUITEMINFOW, char16_t>(menu, item, byPosition, info, SameWide);
}

BOOL GetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOA& info) {
  return GetInfo<MENUITEMINFOA, char>(menu, item, byPosition, info, AnsiFromWide);
}

BOOL SetMenuItemInfo(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOW& info) {
  return SetInfo<MENUITEMINFOW, char16_t>(menu, item, byPosition, info, SameWide);
}

BOOL SetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOA& info) {
  return SetInfo<MENUITEMINFOA, char>(menu, item, byPosition, info, WideFromAnsi);
}

BOOL InsertMenuItem(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOW& info) {
  if (info.cbSize != sizeof(MENUITEMINFOW)) return 0;
  TMenuItem fresh;
  ApplyInfo<MENUITEMINFOW, char16_t>(fresh, info, SameWide);
  if (byPosition) return InsertItem(menu, item, fresh);
  auto location = Locate(menu, item, MF_BYCOMMAND);
  return location ? InsertItem(location->menu, location->index, fresh) : 0;
}

}  // namespace quintrel::win32
