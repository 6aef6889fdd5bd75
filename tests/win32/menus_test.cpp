#include "platform/win32/menus.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/winuser.h"
#include "tests/win32/recorder.h"

namespace quintrel::win32 {
namespace {

using testing::TopLevel;
using testing::TWindowGuard;

UINT_PTR AsItem(HMENU menu) { return static_cast<UINT_PTR>(menu); }

std::vector<std::u16string> Captions(HMENU menu) {
  std::vector<std::u16string> out;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) out.push_back(GetMenuString(menu, i, MF_BYPOSITION));
  return out;
}

// File (Open 101, Recent > (One 111, Two 112), Exit 102), Help 201 on a bar.
struct TMenuBar {
  HMENU bar = CreateMenu();
  HMENU file = CreatePopupMenu();
  HMENU recent = CreatePopupMenu();
  TMenuBar() {
    AppendMenu(recent, MF_STRING, 111, u"One");
    AppendMenu(recent, MF_STRING, 112, u"Two");
    AppendMenu(file, MF_STRING, 101, u"&Open");
    AppendMenu(file, MF_POPUP, AsItem(recent), u"&Recent");
    AppendMenu(file, MF_SEPARATOR, 0);
    AppendMenu(file, MF_STRING, 102, u"E&xit");
    AppendMenu(bar, MF_POPUP, AsItem(file), u"&File");
    AppendMenu(bar, MF_STRING, 201, u"&Help");
  }
  ~TMenuBar() { DestroyMenu(bar); }
};

TEST(Menus, ItemsByPositionAndByCommand) {
  TMenuBar m;
  EXPECT_EQ(GetMenuItemCount(m.file), 4);
  EXPECT_EQ(GetMenuItemID(m.file, 0), 101u);
  EXPECT_EQ(GetMenuItemID(m.file, 1), kMenuFailed) << "a drop-down item has no command";
  EXPECT_EQ(GetMenuItemID(m.file, 2), 0u) << "a separator's id";
  EXPECT_EQ(GetMenuItemID(m.file, 4), kMenuFailed);
  EXPECT_EQ(GetSubMenu(m.bar, 0), m.file);

  // By command, the search goes into drop-downs.
  EXPECT_EQ(GetMenuString(m.bar, 112, MF_BYCOMMAND), u"Two");
  EXPECT_EQ(GetMenuString(m.bar, 1, MF_BYPOSITION), u"&Help");
  char16_t buffer[4];
  EXPECT_EQ(GetMenuString(m.bar, 102, buffer, 4, MF_BYCOMMAND), 3);
  EXPECT_EQ(std::u16string(buffer), u"E&x");
  EXPECT_EQ(GetMenuString(m.bar, 102, nullptr, 0, MF_BYCOMMAND), 5);

  ASSERT_TRUE(InsertMenu(m.bar, 112, MF_BYCOMMAND | MF_STRING, 113, u"One and a half"));
  EXPECT_EQ(Captions(m.recent), (std::vector<std::u16string>{u"One", u"One and a half", u"Two"}));
  ASSERT_TRUE(InsertMenu(m.bar, 0xFFFFFFFF, MF_BYPOSITION, 202, u"&About"));
  EXPECT_EQ(Captions(m.bar), (std::vector<std::u16string>{u"&File", u"&Help", u"&About"}));
  EXPECT_FALSE(InsertMenu(m.bar, 999, MF_BYCOMMAND, 1, u"x")) << "no item with that command";

  ASSERT_TRUE(ModifyMenu(m.bar, 111, MF_BYCOMMAND | MF_STRING | MF_GRAYED, 121, u"First"));
  EXPECT_EQ(GetMenuItemID(m.recent, 0), 121u);
  EXPECT_EQ(GetMenuState(m.recent, 0, MF_BYPOSITION), MF_GRAYED);
  EXPECT_FALSE(ModifyMenu(m.bar, 111, MF_BYCOMMAND, 1, u"gone"));

  ASSERT_TRUE(DeleteMenu(m.bar, 113, MF_BYCOMMAND));
  EXPECT_EQ(Captions(m.recent), (std::vector<std::u16string>{u"First", u"Two"}));
  EXPECT_FALSE(DeleteMenu(m.bar, 113, MF_BYCOMMAND));
  EXPECT_FALSE(DeleteMenu(m.bar, 3, MF_BYPOSITION));
}

TEST(Menus, DeleteDestroysTheDropDownRemoveKeepsIt) {
  TMenuBar m;
  ASSERT_TRUE(RemoveMenu(m.file, 1, MF_BYPOSITION));
  EXPECT_TRUE(IsMenu(m.recent));
  EXPECT_EQ(GetMenuString(m.bar, 111, MF_BYCOMMAND), u"") << "no longer reachable from the bar";
  ASSERT_TRUE(AppendMenu(m.file, MF_POPUP, AsItem(m.recent), u"Recent"));
  EXPECT_EQ(GetMenuState(m.file, 3, MF_BYPOSITION), (2u << 8) | MF_POPUP);

  ASSERT_TRUE(DeleteMenu(m.file, 3, MF_BYPOSITION));
  EXPECT_FALSE(IsMenu(m.recent));
  ASSERT_TRUE(DestroyMenu(m.bar));
  EXPECT_FALSE(IsMenu(m.file)) << "destroying a menu destroys its drop-downs";
  EXPECT_EQ(GetMenuItemCount(m.bar), -1);
  EXPECT_FALSE(DestroyMenu(m.bar));
}

TEST(Menus, ADropDownCannotContainItself) {
  TMenuBar m;
  EXPECT_FALSE(AppendMenu(m.recent, MF_POPUP, AsItem(m.bar), u"Loop"));
  EXPECT_FALSE(AppendMenu(m.file, MF_POPUP, AsItem(m.file), u"Self"));
  EXPECT_FALSE(AppendMenu(m.file, MF_POPUP, 0x7777, u"Nothing"));
  MENUITEMINFOW info;
  info.fMask = MIIM_SUBMENU;
  info.hSubMenu = m.file;
  EXPECT_FALSE(SetMenuItemInfo(m.recent, 0, 1, info));
  EXPECT_FALSE(ModifyMenu(m.recent, 0, MF_BYPOSITION | MF_POPUP, AsItem(m.bar), u"Loop"));
  EXPECT_EQ(GetMenuString(m.bar, 111, MF_BYCOMMAND), u"One") << "the refused change left the item alone";
}

TEST(Menus, CheckMarksAndStates) {
  TMenuBar m;
  EXPECT_EQ(CheckMenuItem(m.bar, 111, MF_BYCOMMAND | MF_CHECKED), MF_UNCHECKED);
  EXPECT_EQ(CheckMenuItem(m.recent, 0, MF_BYPOSITION | MF_CHECKED), MF_CHECKED);
  EXPECT_EQ(GetMenuState(m.bar, 111, MF_BYCOMMAND), MF_CHECKED);
  EXPECT_EQ(CheckMenuItem(m.bar, 111, MF_BYCOMMAND | MF_UNCHECKED), MF_CHECKED);
  EXPECT_EQ(CheckMenuItem(m.bar, 999, MF_CHECKED), kMenuFailed);

  EXPECT_EQ(EnableMenuItem(m.bar, 201, MF_GRAYED), MF_ENABLED);
  EXPECT_EQ(EnableMenuItem(m.bar, 201, MF_ENABLED), MF_GRAYED);

  AppendMenu(m.bar, MF_STRING | MF_CHECKED | MF_RIGHTJUSTIFY, 300, u"Checked");
  MENUITEMINFOW info;
  info.fMask = MIIM_STATE | MIIM_FTYPE | MIIM_ID;
  ASSERT_TRUE(GetMenuItemInfo(m.bar, 300, 0, info));
  EXPECT_EQ(info.fState, MFS_CHECKED);
  EXPECT_EQ(info.fType, MFT_RIGHTJUSTIFY);
  EXPECT_EQ(info.wID, 300u);
}

// What mirroring does to a menu bar: every top-level item read with its type and a
// 255-character buffer, right-justified, written back, and the bar redrawn.
UINT TypeAt(HMENU menu, UINT position) {
  MENUITEMINFOW info;
  info.fMask = MIIM_FTYPE;
  return GetMenuItemInfo(menu, position, 1, info) ? info.fType : kMenuFailed;
}

void FlipBar(HWND form, bool rightJustify) {
  HMENU bar = GetMenu(form);
  for (UINT position = 0;; ++position) {
    char buffer[256] = {};
    MENUITEMINFOA info;
    info.fMask = MIIM_TYPE;
    info.dwTypeData = buffer;
    info.cch = 255;
    if (!GetMenuItemInfoA(bar, position, 1, info)) break;
    info.fType = rightJustify ? (info.fType | MFT_RIGHTJUSTIFY) : (info.fType & ~MFT_RIGHTJUSTIFY);
    ASSERT_TRUE(SetMenuItemInfoA(bar, position, 1, info));
  }
  DrawMenuBar(form);
}

TEST(Menus, RightJustifyingTheBarKeepsCaptionsAndDropDowns) {
  TMenuBar m;
  TWindowGuard form(TopLevel());
  ASSERT_TRUE(SetMenu(*form, m.bar));
  EXPECT_FALSE(MenuBarNeedsRedraw(*form));
  AppendMenuA(m.bar, MF_SEPARATOR, 0);
  EXPECT_TRUE(MenuBarNeedsRedraw(*form));

  FlipBar(*form, true);
  EXPECT_FALSE(MenuBarNeedsRedraw(*form));
  for (int i = 0; i < GetMenuItemCount(m.bar); ++i) EXPECT_TRUE(TypeAt(m.bar, i) & MFT_RIGHTJUSTIFY) << i;
  EXPECT_EQ(Captions(m.bar), (std::vector<std::u16string>{u"&File", u"&Help", u""}));
  EXPECT_EQ(GetSubMenu(m.bar, 0), m.file);
  EXPECT_EQ(TypeAt(m.bar, 2), MFT_SEPARATOR | MFT_RIGHTJUSTIFY);

  FlipBar(*form, false);
  for (int i = 0; i < GetMenuItemCount(m.bar); ++i) EXPECT_FALSE(TypeAt(m.bar, i) & MFT_RIGHTJUSTIFY) << i;
  SetMenu(*form, {});  // the bar belongs to the test, not to the window
}

TEST(Menus, ItemInfoCaptionsFollowTheBufferRule) {
  TMenuBar m;
  MENUITEMINFOW info;
  info.fMask = MIIM_STRING;
  ASSERT_TRUE(GetMenuItemInfo(m.file, 102, 0, info));
  EXPECT_EQ(info.cch, 5u) << "no buffer: the length";
  char16_t buffer[3];
  info.dwTypeData = buffer;
  info.cch = 3;
  ASSERT_TRUE(GetMenuItemInfo(m.file, 102, 0, info));
  EXPECT_EQ(info.cch, 2u);
  EXPECT_EQ(std::u16string(buffer), u"E&");

  info.fMask = MIIM_TYPE;
  info.cch = 3;
  ASSERT_TRUE(GetMenuItemInfo(m.file, 2, 1, info));
  EXPECT_EQ(info.fType, MFT_SEPARATOR);
  EXPECT_EQ(info.cch, 0u) << "a separator has no caption";

  MENUITEMINFOW wrongSize;
  wrongSize.cbSize = 12;
  wrongSize.fMask = MIIM_ID;
  EXPECT_FALSE(GetMenuItemInfo(m.file, 0, 1, wrongSize));
  EXPECT_FALSE(SetMenuItemInfo(m.file, 0, 1, wrongSize));

  char16_t caption[] = u"&Save";
  MENUITEMINFOW fresh;
  fresh.fMask = MIIM_TYPE | MIIM_ID | MIIM_STATE | MIIM_DATA;
  fresh.fType = MFT_STRING | MFT_RADIOCHECK;
  fresh.fState = MFS_DEFAULT;
  fresh.wID = 103;
  fresh.dwItemData = 42;
  fresh.dwTypeData = caption;
  ASSERT_TRUE(InsertMenuItem(m.file, 102, 0, fresh));
  MENUITEMINFOW back;
  back.fMask = MIIM_TYPE | MIIM_STATE | MIIM_DATA;
  ASSERT_TRUE(GetMenuItemInfo(m.file, 3, 1, back));
  EXPECT_EQ(back.fType, MFT_RADIOCHECK);
  EXPECT_EQ(back.fState, MFS_DEFAULT);
  EXPECT_EQ(back.dwItemData, 42u);
  EXPECT_EQ(back.cch, 5u);
}

// --- System menu -----------------------------------------------------------------------

TEST(SystemMenu, StandardCommandsAndCaptions) {
  TWindowGuard form(TopLevel(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
  HMENU menu = GetSystemMenu(*form, 0);
  ASSERT_TRUE(menu);
  EXPECT_EQ(GetSystemMenu(*form, 0), menu) << "one copy per window";
  std::vector<UINT> commands;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) commands.push_back(GetMenuItemID(menu, i));
  EXPECT_EQ(commands, (std::vector<UINT>{SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, 0, SC_CLOSE}));
  EXPECT_EQ(GetMenuString(menu, SC_CLOSE, MF_BYCOMMAND), u"&Close\tAlt+F4");
  EXPECT_EQ(GetMenuString(menu, SC_MINIMIZE, MF_BYCOMMAND), u"Mi&nimize");
  EXPECT_EQ(GetMenuState(menu, SC_MINIMIZE, MF_BYCOMMAND), MF_ENABLED);
  EXPECT_EQ(GetMenuState(menu, SC_MAXIMIZE, MF_BYCOMMAND), MF_GRAYED) << "no maximize box";
  EXPECT_EQ(GetMenuState(menu, SC_SIZE, MF_BYCOMMAND), MF_GRAYED) << "no sizing frame";
  EXPECT_EQ(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND), MF_DEFAULT);

  TWindowGuard child(CreateWindowEx(WS_EX_MDICHILD, testing::RecordingClass(), u"Doc",
                                    WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, {}, {}, {}, nullptr));
  HMENU childMenu = GetSystemMenu(*child, 0);
  EXPECT_EQ(GetMenuString(childMenu, SC_CLOSE, MF_BYCOMMAND), u"&Close\tCtrl+F4");
  EXPECT_EQ(GetMenuString(childMenu, SC_NEXTWINDOW, MF_BYCOMMAND), u"Nex&t\tCtrl+F6");

  TWindowGuard plain(TopLevel(WS_POPUP));
  EXPECT_FALSE(GetSystemMenu(*plain, 0)) << "no WS_SYSMENU, no system menu";
}

TEST(SystemMenu, LanguageEntriesAndRevert) {
  TWindowGuard form(TopLevel());
  HMENU menu = GetSystemMenu(*form, 0);
  int standard = GetMenuItemCount(menu);
  ASSERT_TRUE(ModifyMenuA(menu, SC_CLOSE, MF_BYCOMMAND | MF_STRING, SC_CLOSE, "&Schlie\xDF" "en"));
  EXPECT_EQ(GetMenuString(menu, SC_CLOSE, MF_BYCOMMAND), u"&Schlie\u00DFen");

  // Rebuilding a language list: the old entries are deleted (missing ones quietly), new
  // ones appended with the current language checked.
  for (UINT id = 5000; id <= 5030; ++id) DeleteMenu(menu, id, MF_BYCOMMAND);
  AppendMenuA(menu, MF_SEPARATOR, 5000);
  AppendMenuA(menu, MF_STRING, 5001, "English");
  AppendMenuA(menu, MF_STRING | MF_CHECKED, 5002, "Deutsch");
  for (UINT id = 5000; id <= 5030; ++id) DeleteMenu(menu, id, MF_BYCOMMAND);
  AppendMenuA(menu, MF_SEPARATOR, 5000);
  AppendMenuA(menu, MF_STRING | MF_CHECKED, 5001, "English");
  EXPECT_EQ(GetMenuItemCount(menu), standard + 2);
  EXPECT_EQ(GetMenuState(menu, 5001, MF_BYCOMMAND), MF_CHECKED);

  EXPECT_FALSE(GetSystemMenu(*form, 1));
  EXPECT_FALSE(IsMenu(menu)) << "the window's copy is discarded";
  HMENU fresh = GetSystemMenu(*form, 0);
  EXPECT_NE(fresh, menu);
  EXPECT_EQ(GetMenuItemCount(fresh), standard);
  EXPECT_EQ(GetMenuString(fresh, SC_CLOSE, MF_BYCOMMAND), u"&Close\tAlt+F4");

  HWND gone = *form;
  DestroyWindow(gone);
  EXPECT_FALSE(IsMenu(fresh));
  EXPECT_FALSE(GetSystemMenu(gone, 0));
}

TEST(SystemMenu, MenuBarsBelongToTopLevelWindows) {
  TWindowGuard form(TopLevel());
  HWND child = testing::Child(*form, 1);
  HMENU bar = CreateMenu();
  EXPECT_FALSE(SetMenu(child, bar));
  EXPECT_FALSE(DrawMenuBar(*form)) << "no bar to draw";
  EXPECT_TRUE(SetMenu(*form, bar));
  EXPECT_EQ(GetMenu(*form), bar);
  EXPECT_TRUE(DrawMenuBar(*form));
  DestroyMenu(bar);
  EXPECT_FALSE(GetMenu(*form));
}

}  // namespace
}  // namespace quintrel::win32
