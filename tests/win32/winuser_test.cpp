#include "platform/win32/winuser.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/menus.h"
#include "platform/win32/sysparams.h"
#include "tests/win32/recorder.h"

namespace quintrel::win32 {
namespace {

using testing::Child;
using testing::Log;
using testing::MessagesOf;
using testing::RecordingClass;
using testing::TopLevel;
using testing::TWindowGuard;

class WindowTest : public ::testing::Test {
protected:
  void SetUp() override { Log().clear(); }
};

// --- Messages and default handling -------------------------------------------------------

TEST_F(WindowTest, CreationSendsNcCreateThenCreateAndTakesTheText) {
  TWindowGuard form(TopLevel(WS_OVERLAPPEDWINDOW, u"Caption"));
  ASSERT_TRUE(*form);
  EXPECT_EQ(MessagesOf(*form, {WM_NCCREATE, WM_CREATE}), (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
  EXPECT_EQ(GetWindowText(*form), u"Caption");
  EXPECT_EQ(GetClassName(*form), u"QRecording");
}

TEST_F(WindowTest, TextMessagesFollowTheBufferRule) {
  TWindowGuard form(TopLevel());
  ASSERT_TRUE(SetWindowText(*form, u"Open file"));
  EXPECT_EQ(SendMessage(*form, WM_GETTEXTLENGTH, 0, 0), 9);

  char16_t buffer[5] = {u'x', u'x', u'x', u'x', u'x'};
  EXPECT_EQ(SendMessage(*form, WM_GETTEXT, 5, reinterpret_cast<LPARAM>(buffer)), 4);
  EXPECT_EQ(std::u16string(buffer), u"Open");
  EXPECT_EQ(SendMessage(*form, WM_GETTEXT, 0, reinterpret_cast<LPARAM>(buffer)), 0);
  EXPECT_EQ(GetWindowText(*form, buffer, 1), 0);
  EXPECT_EQ(buffer[0], u'\0');

  SendMessage(*form, WM_SETTEXT, 0, 0);  // a null text empties the caption
  EXPECT_EQ(GetWindowTextLength(*form), 0);
}

TEST_F(WindowTest, EightBitTextPassesByteForByte) {
  TWindowGuard form(TopLevel());
  const char narrow[] = "Caf\xE9 \x80";
  SendMessageA(*form, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(narrow));
  EXPECT_EQ(GetWindowText(*form), (std::u16string{u'C', u'a', u'f', 0xE9, u' ', 0x80}));

  char back[16] = {};
  EXPECT_EQ(SendMessageA(*form, WM_GETTEXT, sizeof back, reinterpret_cast<LPARAM>(back)), 6);
  EXPECT_STREQ(back, narrow);
  char shortBuffer[4] = {};
  EXPECT_EQ(SendMessageA(*form, WM_GETTEXT, sizeof shortBuffer, reinterpret_cast<LPARAM>(shortBuffer)), 3);
  EXPECT_STREQ(shortBuffer, "Caf");

  SetWindowText(*form, u"\u0416");  // not representable in 8 bits
  SendMessageA(*form, WM_GETTEXT, sizeof back, reinterpret_cast<LPARAM>(back));
  EXPECT_STREQ(back, "?");
}

LRESULT RefuseCreation(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  testing::Log().push_back({window, message, wParam, lParam});
  return message == WM_CREATE ? -1 : DefWindowProc(window, message, wParam, lParam);
}

TEST_F(WindowTest, CreationFailsCleanly) {
  WNDCLASSW refusing;
  refusing.lpfnWndProc = RefuseCreation;
  refusing.lpszClassName = u"QRefusing";
  ASSERT_NE(RegisterClass(refusing), 0);
  EXPECT_EQ(RegisterClass(refusing), 0) << "a class name is registered once";

  EXPECT_FALSE(CreateWindowEx(0, u"qrefusing", u"", WS_POPUP, 0, 0, 1, 1, {}, {}, {}, nullptr));
  ASSERT_FALSE(Log().empty());
  HWND refused = Log().front().window;
  EXPECT_FALSE(IsWindow(refused));
  EXPECT_EQ(MessagesOf(refused, {WM_DESTROY, WM_NCDESTROY}), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));

  EXPECT_FALSE(CreateWindowEx(0, u"NoSuchClass", u"", WS_POPUP, 0, 0, 1, 1, {}, {}, {}, nullptr));
  EXPECT_FALSE(CreateWindowEx(0, WC_BUTTON, u"", WS_CHILD, 0, 0, 1, 1, {}, {}, {}, nullptr)) << "child without parent";
  EXPECT_TRUE(UnregisterClass(u"QRefusing", {}));
  EXPECT_FALSE(UnregisterClass(WC_BUTTON, {})) << "predefined classes stay";
}

TEST_F(WindowTest, SystemCloseCommandDestroysThroughWmClose) {
  HWND form = TopLevel();
  SendMessage(form, WM_SYSCOMMAND, SC_CLOSE | 3, 0);
  EXPECT_FALSE(IsWindow(form));
  EXPECT_EQ(MessagesOf(form, {WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY, WM_NCDESTROY}),
            (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
}

// --- Subclassing -----------------------------------------------------------------------

std::vector<std::string> trace;
WNDPROC firstDisplaced = nullptr;
WNDPROC secondDisplaced = nullptr;

LRESULT FirstSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER) trace.push_back("first");
  return CallWindowProc(firstDisplaced, window, message, wParam, lParam);
}

LRESULT SecondSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER) trace.push_back("second");
  if (message == 0x52C) return 1;  // swallowed, never reaches the procedures below
  return CallWindowProc(secondDisplaced, window, message, wParam, lParam);
}

TEST_F(WindowTest, SubclassChainsRunNewestFirstAndUnwind) {
  trace.clear();
  TWindowGuard form(TopLevel());
  firstDisplaced = SubclassWindow(*form, FirstSubclass);
  EXPECT_EQ(firstDisplaced, &testing::RecordingProc);
  secondDisplaced = reinterpret_cast<WNDPROC>(
      SetWindowLong(*form, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&SecondSubclass)));
  EXPECT_EQ(secondDisplaced, &FirstSubclass);

  SendMessage(*form, WM_USER, 0, 0);
  EXPECT_EQ(trace, (std::vector<std::string>{"second", "first"}));
  EXPECT_EQ(MessagesOf(*form, {WM_USER}).size(), 1u) << "the class procedure runs last";

  Log().clear();
  EXPECT_EQ(SendMessage(*form, 0x52C, 0, 0), 1);
  EXPECT_TRUE(MessagesOf(*form).empty());

  // Default handling still works through the chain.
  SetWindowText(*form, u"Through");
  EXPECT_EQ(GetWindowText(*form), u"Through");

  // Restoring in reverse order leaves only the class procedure.
  EXPECT_EQ(SubclassWindow(*form, secondDisplaced), &SecondSubclass);
  EXPECT_EQ(SubclassWindow(*form, firstDisplaced), &FirstSubclass);
  trace.clear();
  SendMessage(*form, WM_USER, 0, 0);
  EXPECT_TRUE(trace.empty());
  EXPECT_EQ(GetWindowLong(*form, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(&testing::RecordingProc));

  EXPECT_EQ(SetWindowLong(*form, GWL_WNDPROC, 0), 0) << "a window always has a procedure";
  EXPECT_EQ(GetWindowLong(*form, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(&testing::RecordingProc));
}

// --- Relations -------------------------------------------------------------------------

std::vector<HWND> ChildOrder(HWND parent) {
  std::vector<HWND> order;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) order.push_back(child);
  return order;
}

TEST_F(WindowTest, ChildrenComeInCreationOrderAndCloseRanksOnDestroy) {
  TWindowGuard dialog(TopLevel(WS_POPUP | WS_CAPTION | WS_SYSMENU));
  HWND a = Child(*dialog, 1);
  HWND b = Child(*dialog, 65535);
  HWND c = Child(*dialog, 3);
  EXPECT_EQ(ChildOrder(*dialog), (std::vector<HWND>{a, b, c}));
  EXPECT_EQ(GetWindow(c, GW_HWNDPREV), b);
  EXPECT_EQ(GetWindow(b, GW_HWNDFIRST), a);
  EXPECT_EQ(GetWindow(a, GW_HWNDLAST), c);
  EXPECT_FALSE(GetWindow(a, GW_HWNDPREV));
  EXPECT_EQ(GetParent(b), *dialog);

  EXPECT_EQ(GetDlgItem(*dialog, 3), c);
  EXPECT_EQ(GetDlgCtrlID(b), 65535) << "static controls keep the 16-bit id -1";
  EXPECT_FALSE(GetDlgItem(*dialog, 2));

  ASSERT_TRUE(DestroyWindow(b));
  EXPECT_EQ(ChildOrder(*dialog), (std::vector<HWND>{a, c}));
  EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), c);
  HWND d = Child(*dialog, 4);
  EXPECT_EQ(ChildOrder(*dialog), (std::vector<HWND>{a, c, d}));

  ASSERT_TRUE(SetWindowPos(d, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(ChildOrder(*dialog), (std::vector<HWND>{d, a, c}));
  ASSERT_TRUE(SetWindowPos(d, c, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(ChildOrder(*dialog), (std::vector<HWND>{a, c, d}));
  ASSERT_TRUE(SetWindowPos(a, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(ChildOrder(*dialog), (std::vector<HWND>{c, d, a}));
  EXPECT_FALSE(SetWindowPos(a, *dialog, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE)) << "not a sibling";
}

TEST_F(WindowTest, TopLevelWindowsStackNewestFirstAndOwnersAreRoots) {
  TWindowGuard first(TopLevel());
  TWindowGuard second(TopLevel());
  EXPECT_EQ(GetWindow(*first, GW_HWNDPREV), *second);
  EXPECT_EQ(GetAncestor(*first, GA_PARENT), GetDesktopWindow());

  HWND child = Child(*first, 7);
  TWindowGuard owned(TopLevel(WS_POPUP, u"Owned", child));
  EXPECT_EQ(GetWindow(*owned, GW_OWNER), *first) << "the owner is the top-level ancestor";
  EXPECT_EQ(GetParent(*owned), *first);
  EXPECT_EQ(GetAncestor(child, GA_ROOT), *first);
  EXPECT_EQ(SetWindowLong(*first, GWL_HWNDPARENT, static_cast<LONG_PTR>(*owned)), 0) << "no ownership circle";
}

TEST_F(WindowTest, SetParentMovesAWindowButNeverIntoItself) {
  TWindowGuard left(TopLevel());
  TWindowGuard right(TopLevel());
  HWND panel = Child(*left, 1);
  HWND box = Child(panel, 2);
  EXPECT_FALSE(SetParent(panel, box));
  EXPECT_EQ(SetParent(panel, *right), *left);
  EXPECT_EQ(GetParent(box), panel);
  EXPECT_TRUE(IsChild(*right, box));
  EXPECT_FALSE(IsChild(*left, box));
  EXPECT_FALSE(GetWindow(*left, GW_CHILD));
}

// --- Destruction -----------------------------------------------------------------------

TEST_F(WindowTest, DestroyWindowTearsDownChildrenFirstAndInvalidatesEveryHandle) {
  HWND form = TopLevel();
  HWND panel = Child(form, 1);
  HWND button = Child(panel, 2);
  HWND edit = Child(form, 3);
  HMENU bar = CreateMenu();
  ASSERT_TRUE(SetMenu(form, bar));
  Log().clear();

  ASSERT_TRUE(DestroyWindow(form));
  std::vector<std::pair<HWND, UINT>> seen;
  for (const auto& entry : Log())
    if (entry.message == WM_DESTROY || entry.message == WM_NCDESTROY) seen.emplace_back(entry.window, entry.message);
  EXPECT_EQ(seen, (std::vector<std::pair<HWND, UINT>>{{form, WM_DESTROY},
                                                     {panel, WM_DESTROY},
                                                     {button, WM_DESTROY},
                                                     {edit, WM_DESTROY},
                                                     {button, WM_NCDESTROY},
                                                     {panel, WM_NCDESTROY},
                                                     {edit, WM_NCDESTROY},
                                                     {form, WM_NCDESTROY}}));
  for (HWND gone : {form, panel, button, edit}) {
    EXPECT_FALSE(IsWindow(gone));
    EXPECT_EQ(SendMessage(gone, WM_GETTEXTLENGTH, 0, 0), 0);
    EXPECT_EQ(GetWindowText(gone), u"");
    EXPECT_EQ(SetWindowLong(gone, GWL_STYLE, 0), 0);
    EXPECT_FALSE(GetWindow(gone, GW_CHILD));
    EXPECT_FALSE(DestroyWindow(gone));
    RECT rect;
    EXPECT_FALSE(GetWindowRect(gone, rect));
  }
  EXPECT_FALSE(IsMenu(bar)) << "a window's menu bar goes with it";

  HWND next = TopLevel();
  for (HWND gone : {form, panel, button, edit}) EXPECT_NE(next, gone) << "handles are never reused";
  DestroyWindow(next);
}

HWND reentered{};
LRESULT DestroyAgainOnDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_FALSE(DestroyWindow(reentered)) << "the parent is already on its way out";
    EXPECT_TRUE(IsWindow(reentered)) << "parents outlive their children's WM_DESTROY";
  }
  return DefWindowProc(window, message, wParam, lParam);
}

TEST_F(WindowTest, DestructionCannotBeReentered) {
  reentered = TopLevel();
  HWND child = Child(reentered, 1);
  SubclassWindow(child, DestroyAgainOnDestroy);
  EXPECT_TRUE(DestroyWindow(reentered));
  EXPECT_FALSE(IsWindow(child));
  EXPECT_FALSE(IsWindow(reentered));
}

TEST_F(WindowTest, OwnedWindowsGoBeforeTheirOwner) {
  HWND owner = TopLevel();
  HWND owned = TopLevel(WS_POPUP, u"Owned", owner);
  Log().clear();
  DestroyWindow(owner);
  EXPECT_FALSE(IsWindow(owned));
  ASSERT_GE(Log().size(), 2u);
  EXPECT_EQ(Log().front().window, owned);
}

// --- Styles ----------------------------------------------------------------------------

LRESULT KeepBorder(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_STYLECHANGING && static_cast<int>(wParam) == GWL_STYLE)
    reinterpret_cast<STYLESTRUCT*>(lParam)->styleNew |= WS_BORDER;
  return testing::RecordingProc(window, message, wParam, lParam);
}

TEST_F(WindowTest, StylesChangeThroughStyleMessages) {
  TWindowGuard form(TopLevel());
  HWND check = Child(*form, 1, u"Check", 0, 0, 10, 10, BS_AUTOCHECKBOX | BS_LEFT);
  DWORD style = static_cast<DWORD>(GetWindowLong(check, GWL_STYLE));
  EXPECT_EQ(style & (BS_LEFT | BS_RIGHT), BS_LEFT);
  DWORD flipped = ((style ^ BS_LEFTTEXT) & ~BS_LEFT) | BS_RIGHT;
  EXPECT_EQ(static_cast<DWORD>(SetWindowLong(check, GWL_STYLE, flipped)), style);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLong(check, GWL_STYLE)), flipped);
  EXPECT_EQ(MessagesOf(check, {WM_STYLECHANGING, WM_STYLECHANGED}),
            (std::vector<UINT>{WM_STYLECHANGING, WM_STYLECHANGED}));

  SetWindowLong(check, GWL_EXSTYLE, WS_EX_RIGHT | WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR | WS_EX_CLIENTEDGE);
  auto ex = static_cast<DWORD>(GetWindowLong(check, GWL_EXSTYLE));
  SetWindowLong(check, GWL_EXSTYLE, ex & ~(WS_EX_RIGHT | WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR));
  EXPECT_EQ(static_cast<DWORD>(GetWindowLong(check, GWL_EXSTYLE)), WS_EX_CLIENTEDGE);

  SubclassWindow(check, KeepBorder);
  SetWindowLong(check, GWL_STYLE, WS_CHILD);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLong(check, GWL_STYLE)), WS_CHILD | WS_BORDER);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLong(*form, GWL_STYLE)) & WS_POPUP, 0u);
  SetWindowLong(*form, GWL_STYLE, WS_POPUP | WS_CAPTION);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLong(*form, GWL_STYLE)), WS_POPUP | WS_CAPTION) << "full 32 bits kept";
}

// --- Geometry --------------------------------------------------------------------------

TEST_F(WindowTest, ClientAreaExcludesFrameCaptionAndMenuBar) {
  TWindowGuard dialog(TopLevel(WS_POPUP | WS_CAPTION | WS_SYSMENU));  // caption: dialog frame of 3
  HWND child = Child(*dialog, 5, u"", 10, 20, 30, 40);
  RECT client;
  ASSERT_TRUE(GetClientRect(*dialog, client));
  int caption = GetSystemMetrics(SM_CYCAPTION);
  EXPECT_EQ(client.right, 400 - 2 * 3);
  EXPECT_EQ(client.bottom, 300 - 2 * 3 - caption);

  RECT rect;
  ASSERT_TRUE(GetWindowRect(child, rect));
  EXPECT_EQ(rect.left, 100 + 3 + 10);
  EXPECT_EQ(rect.top, 50 + 3 + caption + 20);
  POINT corner{rect.left, rect.top};
  ASSERT_TRUE(ScreenToClient(*dialog, corner));
  EXPECT_EQ(corner.x, 10);
  EXPECT_EQ(corner.y, 20);

  HMENU bar = CreateMenu();
  SetMenu(*dialog, bar);
  GetClientRect(*dialog, client);
  EXPECT_EQ(client.bottom, 300 - 2 * 3 - caption - GetSystemMetrics(SM_CYMENU));
}

TEST_F(WindowTest, MoveWindowReportsThroughPositionMessages) {
  TWindowGuard form(TopLevel(WS_POPUP));
  HWND edit = Child(*form, 1, u"", 5, 5, 50, 20);
  Log().clear();
  ASSERT_TRUE(MoveWindow(edit, 5, 5, 301, 20, 0));
  RECT rect;
  GetWindowRect(edit, rect);
  EXPECT_EQ(rect.right - rect.left, 301);
  EXPECT_EQ(rect.bottom - rect.top, 20);
  EXPECT_EQ(MessagesOf(edit, {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}),
            (std::vector<UINT>{WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}));
  const auto& size = Log().back();
  EXPECT_EQ(size.message, WM_SIZE);
  EXPECT_EQ(LOWORD(static_cast<uintptr_t>(size.lParam)), 301);

  EXPECT_TRUE(MoveWindow(edit, 0, 0, -5, -5, 1));
  GetWindowRect(edit, rect);
  EXPECT_EQ(rect.right - rect.left, 0) << "sizes never go negative";
}

// --- Visibility, activation and focus --------------------------------------------------

TEST_F(WindowTest, ShowingAFormAnnouncesItAndActivatesIt) {
  TWindowGuard other(TopLevel());
  SetActiveWindow(*other);
  TWindowGuard form(TopLevel());
  Log().clear();

  EXPECT_FALSE(ShowWindow(*form, SW_SHOW));
  EXPECT_TRUE(IsWindowVisible(*form));
  EXPECT_EQ(GetActiveWindow(), *form);
  ASSERT_EQ(MessagesOf(*form, {WM_SHOWWINDOW, WM_ACTIVATE}), (std::vector<UINT>{WM_SHOWWINDOW, WM_ACTIVATE}));
  const auto& inactive = *std::find_if(Log().begin(), Log().end(),
                                       [&](const auto& e) { return e.window == *other && e.message == WM_ACTIVATE; });
  EXPECT_EQ(LOWORD(inactive.wParam), WA_INACTIVE);
  EXPECT_EQ(static_cast<HWND>(inactive.lParam), *form);

  Log().clear();
  EXPECT_TRUE(ShowWindow(*form, SW_SHOW));
  EXPECT_TRUE(MessagesOf(*form, {WM_SHOWWINDOW}).empty()) << "no change, no announcement";

  HWND hidden = Child(*form, 1, u"", 0, 0, 1, 1, 0);
  ShowWindow(hidden, SW_HIDE);
  EXPECT_FALSE(IsWindowVisible(hidden));
  ShowWindow(*form, SW_HIDE);
  EXPECT_NE(GetActiveWindow(), *form);
}

TEST_F(WindowTest, FocusMessagesNameTheOtherWindow) {
  TWindowGuard form(TopLevel());
  HWND first = Child(*form, 1);
  HWND second = Child(*form, 2);
  SetFocus(first);
  EXPECT_EQ(GetActiveWindow(), *form) << "focus activates the top-level window";
  Log().clear();
  EXPECT_EQ(SetFocus(second), first);
  ASSERT_EQ(Log().size(), 2u);
  EXPECT_EQ(Log()[0].window, first);
  EXPECT_EQ(Log()[0].message, WM_KILLFOCUS);
  EXPECT_EQ(static_cast<HWND>(Log()[0].wParam), second);
  EXPECT_EQ(Log()[1].message, WM_SETFOCUS);
  EXPECT_EQ(static_cast<HWND>(Log()[1].wParam), first);

  DestroyWindow(second);
  EXPECT_FALSE(GetFocus());
}

// --- Posted messages -------------------------------------------------------------------

TEST_F(WindowTest, PostedMessagesWaitForDispatchAndDieWithTheirWindow) {
  HWND form = TopLevel();
  HWND other = TopLevel();
  ASSERT_TRUE(PostMessage(form, WM_USER + 1, 7, 8));
  ASSERT_TRUE(PostMessage(other, WM_USER + 2, 0, 0));
  EXPECT_TRUE(MessagesOf(form, {WM_USER + 1}).empty());

  MSG message;
  ASSERT_TRUE(PeekMessage(message, other, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(message.message, WM_USER + 2u);
  DestroyWindow(other);
  ASSERT_TRUE(PeekMessage(message, {}, 0, 0, PM_REMOVE));
  DispatchMessage(message);
  EXPECT_EQ(MessagesOf(form, {WM_USER + 1}).size(), 1u);
  EXPECT_FALSE(PeekMessage(message, {}, 0, 0, PM_REMOVE)) << "the destroyed window's message was dropped";
  EXPECT_FALSE(PostMessage(other, WM_USER, 0, 0));
  DestroyWindow(form);
}

}  // namespace
}  // namespace quintrel::win32
