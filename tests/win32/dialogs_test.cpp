#include "platform/win32/dialogs.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/win32/commdlg.h"
#include "platform/win32/gdi.h"
#include "platform/win32/menus.h"
#include "platform/win32/msgbox.h"
#include "platform/win32/sysparams.h"
#include "tests/win32/recorder.h"

namespace quintrel::win32 {
namespace {

using testing::Log;
using testing::MessagesOf;
using testing::TopLevel;
using testing::TWindowGuard;

// A dialog procedure that ends the dialog on OK and Cancel and records what it saw.
struct TLoggedDialog {
  UINT message;
  WPARAM wParam;
  HWND active;
};
std::vector<TLoggedDialog>* gSeen = nullptr;

INT_PTR EndingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (gSeen) gSeen->push_back({message, wParam, GetActiveWindow()});
  if (message == WM_INITDIALOG) return 1;
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wParam));
    return 1;
  }
  return 0;
}

std::vector<UINT> Messages(const std::vector<TLoggedDialog>& seen, std::set<UINT> interesting) {
  std::vector<UINT> out;
  for (const auto& s : seen)
    if (interesting.count(s.message)) out.push_back(s.message);
  return out;
}

TDialogTemplate SmallTemplate() {
  TDialogTemplate t;
  t.caption = u"Options";
  t.cx = 200;
  t.cy = 80;
  t.items = {{WC_STATIC, u"&Name:", IDC_STATIC, WS_VISIBLE, 0, 4, 6, 40, 8},
             {WC_EDIT, u"", 0x480, WS_VISIBLE | WS_TABSTOP | WS_BORDER, 0, 48, 4, 100, 12},
             {WC_BUTTON, u"OK", IDOK, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 150, 4, 46, 14},
             {WC_BUTTON, u"Cancel", IDCANCEL, WS_VISIBLE | WS_TABSTOP, 0, 150, 22, 46, 14}};
  return t;
}

// Ignores every button.
INT_PTR DeafProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

class DialogTest : public ::testing::Test {
protected:
  void SetUp() override {
    Log().clear();
    seen_.clear();
    gSeen = &seen_;
  }
  void TearDown() override { gSeen = nullptr; }
  std::vector<TLoggedDialog> seen_;
};

// --- Creation from a template ----------------------------------------------------------------

TEST_F(DialogTest, ControlsComeInTemplateOrderWithTheirIdsAndTheDialogFont) {
  HWND dialog = CreateDialogIndirectParam(HINSTANCE{}, SmallTemplate(), HWND{}, EndingProc, 0);
  ASSERT_TRUE(dialog);
  TWindowGuard guard(dialog);
  EXPECT_EQ(GetClassName(dialog), WC_DIALOG);
  EXPECT_EQ(GetWindowText(dialog), u"Options");
  EXPECT_FALSE(IsWindowVisible(dialog));  // shown only with WS_VISIBLE in the template

  std::vector<std::u16string> texts;
  std::vector<int> ids;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    texts.push_back(GetWindowText(c));
    ids.push_back(GetDlgCtrlID(c));
  }
  EXPECT_EQ(texts, (std::vector<std::u16string>{u"&Name:", u"", u"OK", u"Cancel"}));
  // A control without an id of its own answers 65535, never -1.
  EXPECT_EQ(ids, (std::vector<int>{65535, 0x480, IDOK, IDCANCEL}));
  EXPECT_EQ(GetDlgItem(dialog, IDCANCEL), GetWindow(GetDlgItem(dialog, IDOK), GW_HWNDNEXT));

  // One font, 8-point MS Sans Serif, on the dialog and every control.
  auto font = static_cast<HFONT>(SendMessage(dialog, WM_GETFONT, 0, 0));
  LOGFONTW description;
  ASSERT_EQ(GetObject(font, sizeof description, &description), static_cast<int>(sizeof description));
  EXPECT_EQ(FaceName(description), u"MS Sans Serif");
  EXPECT_EQ(description.lfHeight, -11);
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    EXPECT_EQ(static_cast<HFONT>(SendMessage(c, WM_GETFONT, 0, 0)), font);

  // Dialog units follow the font's base units: 5 × 13 pixels for this font.
  EXPECT_EQ(DialogBaseUnits(font).cx, 5);
  EXPECT_EQ(DialogBaseUnits(font).cy, 13);
  RECT client;
  GetClientRect(dialog, client);
  EXPECT_EQ(client.right, 200 * 5 / 4);
  EXPECT_EQ(client.bottom, 80 * 13 / 8);
  RECT edit{48, 4, 148, 16};
  ASSERT_TRUE(MapDialogRect(dialog, edit));
  RECT placed;
  GetWindowRect(GetDlgItem(dialog, 0x480), placed);
  POINT corner{placed.left, placed.top};
  ScreenToClient(dialog, corner);
  EXPECT_EQ(corner.x, edit.left);
  EXPECT_EQ(corner.y, edit.top);
  EXPECT_EQ(placed.right - placed.left, edit.right - edit.left);

  // WM_INITDIALOG came once, naming the first tab stop.
  ASSERT_EQ(Messages(seen_, {WM_INITDIALOG}).size(), 1u);
  for (const auto& s : seen_) {
    if (s.message == WM_INITDIALOG) {
      EXPECT_EQ(static_cast<HWND>(s.wParam), GetDlgItem(dialog, 0x480));
    }
  }

  // The dialog's own font goes with it.
  DestroyWindow(dialog);
  EXPECT_EQ(GetObject(font, sizeof description, &description), 0);
}

TEST_F(DialogTest, CreationFailsCleanly) {
  HWND gone = TopLevel();
  DestroyWindow(gone);
  EXPECT_FALSE(CreateDialogIndirectParam(HINSTANCE{}, SmallTemplate(), gone, EndingProc, 0));
  EXPECT_EQ(DialogBoxIndirectParam(HINSTANCE{}, SmallTemplate(), gone, EndingProc, 0), -1);
  EXPECT_FALSE(EndDialog(gone, IDOK));
  TWindowGuard plain(TopLevel());
  EXPECT_FALSE(EndDialog(*plain, IDOK));  // not a dialog
  RECT r{};
  EXPECT_FALSE(MapDialogRect(*plain, r));
}

// --- The modal loop and the dialog driver ------------------------------------------------------

TEST_F(DialogTest, ModalLoopShowsActivatesAndHandsTheUserToTheDriver) {
  TWindowGuard owner(TopLevel());
  ShowWindow(*owner, SW_SHOW);
  Log().clear();
  HWND running{};
  bool ownerDisabled = false;
  TScopedDialogDriver driver([&](HWND dialog) {
    running = dialog;
    ownerDisabled = !IsWindowEnabled(*owner);
    SetDlgItemText(dialog, 0x480, u"typed");
    return PressButtonDriver(IDOK)(dialog);
  });
  EXPECT_EQ(DialogBoxIndirectParam(HINSTANCE{}, SmallTemplate(), *owner, EndingProc, 0), IDOK);
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(IsWindowEnabled(*owner));
  EXPECT_FALSE(IsWindow(running));  // destroyed after the loop
  EXPECT_EQ(GetActiveWindow(), *owner);

  // The dialog hears its creation, activation and background before the user acts.
  std::vector<UINT> order = Messages(seen_, {WM_INITDIALOG, WM_SHOWWINDOW, WM_ACTIVATE, WM_CTLCOLORDLG, WM_COMMAND});
  ASSERT_GE(order.size(), 5u);
  order.resize(5);
  EXPECT_EQ(order, (std::vector<UINT>{WM_INITDIALOG, WM_SHOWWINDOW, WM_ACTIVATE, WM_CTLCOLORDLG, WM_COMMAND}));
  // The owner is moved behind the dialog while the dialog is the active window.
  EXPECT_EQ(MessagesOf(*owner, {WM_ENABLE, WM_WINDOWPOSCHANGED}),
            (std::vector<UINT>{WM_ENABLE, WM_WINDOWPOSCHANGED, WM_ENABLE}));
  for (const auto& s : seen_) {
    if (s.message == WM_CTLCOLORDLG) {
      EXPECT_EQ(s.active, running);
    }
  }
}

TEST_F(DialogTest, WhatTheUserDoesDecidesTheResult) {
  TWindowGuard owner(TopLevel());
  // Nobody there: the dialog is cancelled at once.
  EXPECT_EQ(DialogBoxIndirectParam(HINSTANCE{}, SmallTemplate(), *owner, EndingProc, 0), IDCANCEL);
  {
    // Closing the window is pressing Cancel.
    TScopedDialogDriver driver(CloseDialogDriver());
    seen_.clear();
    EXPECT_EQ(DialogBoxIndirectParam(HINSTANCE{}, SmallTemplate(), *owner, EndingProc, 0), IDCANCEL);
    bool cancelled = false;
    for (const auto& s : seen_) cancelled |= s.message == WM_COMMAND && LOWORD(s.wParam) == IDCANCEL;
    EXPECT_TRUE(cancelled);
  }
  {
    // A driver that never stops and never ends the dialog is stopped, not obeyed for ever.
    int calls = 0;
    TScopedDialogDriver driver([&](HWND) { return ++calls > 0; });
    EXPECT_EQ(DialogBoxIndirectParam(HINSTANCE{}, SmallTemplate(), HWND{}, DeafProc, 0), IDCANCEL);
    EXPECT_GT(calls, 1);
  }
  // The scoped drivers are gone again.
  EXPECT_EQ(DialogBoxIndirectParam(HINSTANCE{}, SmallTemplate(), *owner, EndingProc, 0), IDCANCEL);
}

// A procedure installed the way a translator does it: on the owner's WM_WINDOWPOSCHANGED
// it subclasses the active window, then changes the dialog when its background is drawn
// and closes it, putting the old procedure back on WM_CLOSE.
WNDPROC gDisplaced = nullptr;
int gPainted = 0;

LRESULT TranslatingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = CallWindowProc(gDisplaced, window, message, wParam, lParam);
  if (message == WM_CLOSE || message == WM_DESTROY) {
    if (gDisplaced) SetWindowLong(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(gDisplaced));
    gDisplaced = nullptr;
  }
  if (message == WM_CTLCOLORDLG) {
    ++gPainted;
    SetWindowText(GetWindow(window, GW_CHILD), u"&Nom :");
    SendMessage(window, WM_CLOSE, 0, 0);
  }
  return result;
}

LRESULT OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_WINDOWPOSCHANGED && !gDisplaced && GetActiveWindow() != window)
    gDisplaced = SubclassWindow(GetActiveWindow(), TranslatingProc);
  return DefWindowProc(window, message, wParam, lParam);
}

TEST_F(DialogTest, ASubclassInstalledThroughTheOwnerSeesThePaintAndCanCloseTheDialog) {
  WNDCLASSW ownerClass;
  ownerClass.lpfnWndProc = OwnerProc;
  ownerClass.lpszClassName = u"QTranslatingOwner";
  RegisterClass(ownerClass);
  TWindowGuard owner(CreateWindowEx(0, u"QTranslatingOwner", u"", WS_POPUP, 0, 0, 10, 10, HWND{}, HMENU{},
                                    HINSTANCE{}, nullptr));
  gPainted = 0;
  int driverCalls = 0;
  TScopedDialogDriver driver([&](HWND) { return ++driverCalls, false; });
  EXPECT_EQ(DialogBoxIndirectParam(HINSTANCE{}, SmallTemplate(), *owner, EndingProc, 0), IDCANCEL);
  EXPECT_EQ(gPainted, 1);
  EXPECT_EQ(driverCalls, 0);  // closed before the user could act
  EXPECT_EQ(gDisplaced, nullptr);
}

TEST_F(DialogTest, FocusPassesThroughTheDialogWindowToItsFirstControl) {
  TWindowGuard other(TopLevel());
  SetFocus(*other);
  Log().clear();
  TDialogTemplate visible = SmallTemplate();
  visible.style |= WS_VISIBLE;
  HWND dialog = CreateDialogIndirectParam(HINSTANCE{}, visible, *other, EndingProc, 0);
  ASSERT_TRUE(dialog);
  TWindowGuard guard(dialog);
  // The window that had the focus learns that the dialog window took it.
  std::vector<HWND> takers;
  for (const auto& entry : Log())
    if (entry.window == *other && entry.message == WM_KILLFOCUS) takers.push_back(static_cast<HWND>(entry.wParam));
  EXPECT_EQ(takers, std::vector<HWND>{dialog});
  EXPECT_EQ(GetFocus(), GetDlgItem(dialog, 0x480));
  // Deactivated and activated again, it comes back to the control that had it.
  SetFocus(GetDlgItem(dialog, IDCANCEL));
  SetFocus(*other);
  SetActiveWindow(dialog);
  EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDCANCEL));
}

// --- Frames from the system metrics ------------------------------------------------------------

class FrameTest : public ::testing::Test {
protected:
  void SetUp() override { SystemParametersInfo(SPI_GETNONCLIENTMETRICS, sizeof saved_, &saved_, 0); }
  void TearDown() override { SystemParametersInfo(SPI_SETNONCLIENTMETRICS, sizeof saved_, &saved_, 0); }
  NONCLIENTMETRICSW saved_;
};

TEST_F(FrameTest, AdjustWindowRectAndTheClientAreaAgree) {
  struct {
    DWORD style, exStyle;
    bool menu;
  } cases[] = {{WS_OVERLAPPEDWINDOW, 0, true},
               {WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME, false},
               {WS_POPUP | WS_CAPTION | WS_THICKFRAME, WS_EX_TOOLWINDOW | WS_EX_CLIENTEDGE, false},
               {WS_POPUP | WS_BORDER, 0, false},
               {WS_POPUP, 0, false}};
  for (int round = 0; round < 2; ++round) {
    for (const auto& c : cases) {
      RECT r{0, 0, 300, 200};
      AdjustWindowRectEx(r, c.style, c.menu, c.exStyle);
      HMENU bar = c.menu ? CreateMenu() : HMENU{};
      TWindowGuard w(CreateWindowEx(c.exStyle, testing::RecordingClass(), u"", c.style, 10, 10, r.right - r.left,
                                    r.bottom - r.top, HWND{}, bar, HINSTANCE{}, nullptr));
      RECT client;
      GetClientRect(*w, client);
      EXPECT_EQ(client.right, 300) << std::hex << c.style;
      EXPECT_EQ(client.bottom, 200) << std::hex << c.style;
    }
    // Larger borders, captions and menu bars: the frame grows with them.
    NONCLIENTMETRICSW m = saved_;
    m.iBorderWidth = 5;
    m.iCaptionHeight = 30;
    m.iSmCaptionHeight = 20;
    m.iMenuHeight = 25;
    SystemParametersInfo(SPI_SETNONCLIENTMETRICS, sizeof m, &m, 0);
  }
  RECT r{0, 0, 100, 100};
  AdjustWindowRectEx(r, WS_OVERLAPPEDWINDOW, 1, 0);
  EXPECT_EQ(r.left, -(5 + 3));
  EXPECT_EQ(r.top, -(8 + 31 + 26));
  EXPECT_EQ(r.bottom, 100 + 8);
}

// --- The common dialog templates ---------------------------------------------------------------

const TDialogItem* ItemOf(const TDialogTemplate& t, WORD id) {
  for (const TDialogItem& item : t.items)
    if (item.id == id) return &item;
  return nullptr;
}

TEST(CommonDialogTemplates, StandardIdsAndEnglishCaptions) {
  using K = TCommonDialogKind;
  struct {
    K kind;
    const char16_t* caption;
    WORD id;
    const char16_t* text;
  } expected[] = {
      {K::cdOpen, u"Open", IDOK, u"&Open"},           {K::cdOpen, u"Open", stc3, u"File &name:"},
      {K::cdOpen, u"Open", stc2, u"Files of &type:"}, {K::cdOpen, u"Open", chx1, u"Open as &read-only"},
      {K::cdSave, u"Save As", IDOK, u"&Save"},        {K::cdSave, u"Save As", stc4, u"Save &in:"},
      {K::cdFont, u"Font", stc1, u"&Font:"},          {K::cdFont, u"Font", psh3, u"&Apply"},
      {K::cdFont, u"Font", grp1, u"Effects"},         {K::cdColor, u"Color", COLOR_MIX, u"&Define Custom Colors >>"},
      {K::cdPrint, u"Print", psh2, u"&Properties"},   {K::cdPrint, u"Print", chx2, u"C&ollate"},
      {K::cdPrintSetup, u"Print Setup", rad2, u"L&andscape"},
      {K::cdFind, u"Find", IDOK, u"&Find Next"},      {K::cdFind, u"Find", chx2, u"Match &case"},
      {K::cdReplace, u"Replace", psh1, u"&Replace"},  {K::cdReplace, u"Replace", psh2, u"Replace &All"},
  };
  for (const auto& e : expected) {
    const TDialogTemplate& t = CommonDialogTemplate(e.kind);
    EXPECT_EQ(t.caption, e.caption);
    const TDialogItem* item = ItemOf(t, e.id);
    ASSERT_NE(item, nullptr) << static_cast<int>(e.kind) << " " << e.id;
    EXPECT_EQ(item->text, e.text);
  }
  EXPECT_EQ(pshHelp, 0x040E);
  EXPECT_EQ(stc32, 0x045F);
  EXPECT_EQ(CommonDialogTemplateId(K::cdFind), 1540);
  EXPECT_EQ(CommonDialogTemplateId(K::cdReplace), 1541);

  for (int k = 0; k <= static_cast<int>(K::cdReplace); ++k) {
    const TDialogTemplate& t = CommonDialogTemplate(static_cast<K>(k));
    std::set<WORD> ids;
    for (const TDialogItem& item : t.items) {
      if (item.id == IDC_STATIC) continue;
      EXPECT_TRUE(ids.insert(item.id).second) << "id twice: " << item.id;
    }
    EXPECT_TRUE(ids.count(IDCANCEL)) << k;
    EXPECT_TRUE(t.style & DS_SETFONT);
    EXPECT_EQ(t.faceName, u"MS Sans Serif");
  }
}

TEST(CommonDialogTemplates, StaticTextsWithoutIdsCountByPosition) {
  // In the replace dialog the third child is a static text without an id of its own.
  HWND dialog =
      CreateDialogIndirectParam(HINSTANCE{}, CommonDialogTemplate(TCommonDialogKind::cdReplace), HWND{}, nullptr, 0);
  ASSERT_TRUE(dialog);
  TWindowGuard guard(dialog);
  HWND third = GetWindow(GetWindow(GetWindow(dialog, GW_CHILD), GW_HWNDNEXT), GW_HWNDNEXT);
  EXPECT_EQ(GetDlgCtrlID(third), 65535);
  EXPECT_EQ(GetWindowText(third), u"Re&place with:");
  EXPECT_EQ(GetDlgItemText(dialog, psh2), u"Replace &All");
  // Hidden controls are children all the same.
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, pshHelp)));
}

}  // namespace
}  // namespace quintrel::win32
