// The component model on the window manager: fonts, control ids, frames and reading
// order of control windows, subclassing them, and the common dialogs.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/vcl/comctrls.h"
#include "platform/vcl/dialogs.h"
#include "platform/vcl/extctrls.h"
#include "platform/vcl/filer.h"
#include "platform/vcl/forms.h"
#include "platform/vcl/streaming.h"
#include "platform/win32/commdlg.h"
#include "platform/win32/dialogs.h"
#include "platform/win32/gdi.h"
#include "platform/win32/msgbox.h"
#include "platform/win32/sysparams.h"

using namespace quintrel::vcl;
namespace w = quintrel::win32;

namespace {

w::HFONT WindowFont(w::HWND window) { return static_cast<w::HFONT>(w::SendMessage(window, w::WM_GETFONT, 0, 0)); }

std::u16string FaceOf(w::HFONT font) {
  w::LOGFONTW description;
  if (w::GetObject(font, sizeof description, &description) != sizeof description) return u"<none>";
  return std::u16string(w::FaceName(description));
}

// Restores the system metrics a test changes.
class MetricsGuard {
public:
  MetricsGuard() { w::SystemParametersInfo(w::SPI_GETNONCLIENTMETRICS, sizeof saved_, &saved_, 0); }
  ~MetricsGuard() { w::SystemParametersInfo(w::SPI_SETNONCLIENTMETRICS, sizeof saved_, &saved_, 0); }
  w::NONCLIENTMETRICSW saved_;
};

}  // namespace

// --- fonts, ids, frames and reading order of control windows ------------------------------------

TEST(ControlWindows, CarryTheirFontAndFollowItsChanges) {
  auto form = std::make_unique<TForm>();
  form->Font()->SetName("Arial");
  auto* panel = form->Add<TPanel>("Panel1");
  panel->SetParent(form.get());
  auto* edit = form->Add<TEdit>("Edit1");
  edit->SetParent(panel);
  ASSERT_TRUE(edit->ParentFont());

  w::HWND window = edit->Handle();
  EXPECT_EQ(WindowFont(window), edit->Font()->Handle());
  EXPECT_EQ(FaceOf(WindowFont(window)), u"Arial");
  EXPECT_EQ(FaceOf(WindowFont(form->Handle())), u"Arial");

  // A change of the form's font reaches the children that take their parent's font.
  w::HFONT before = WindowFont(window);
  form->Font()->SetName("Tahoma");
  form->Font()->SetStyle(1u << fsBold);
  EXPECT_EQ(FaceOf(WindowFont(window)), u"Tahoma");
  w::LOGFONTW description;
  ASSERT_GT(w::GetObject(WindowFont(window), sizeof description, &description), 0);
  EXPECT_EQ(description.lfWeight, w::FW_BOLD);
  EXPECT_EQ(w::GetObject(before, 0, nullptr), 0) << "the replaced font object is deleted";

  // A font set on the control itself stays when the parent's changes.
  edit->Font()->SetCharset(RUSSIAN_CHARSET);
  EXPECT_FALSE(edit->ParentFont());
  form->Font()->SetName("Courier New");
  ASSERT_GT(w::GetObject(WindowFont(window), sizeof description, &description), 0);
  EXPECT_EQ(description.lfCharSet, RUSSIAN_CHARSET);
  EXPECT_EQ(w::FaceName(description), u"Tahoma");
  EXPECT_EQ(FaceOf(WindowFont(panel->Handle())), u"Courier New");
}

TEST(ControlWindows, FontsTakeTheDescriptionOfAFontObject) {
  w::LOGFONTW source;
  source.lfHeight = -13;
  source.lfWeight = w::FW_BOLD;
  source.lfItalic = 1;
  source.lfCharSet = 178;
  source.lfPitchAndFamily = w::FIXED_PITCH;
  w::SetFaceName(source, u"Courier New");
  w::HFONT object = w::CreateFontIndirect(source);
  {
    TFont font;
    int changes = 0;
    font.OnChange = [&](TFont&) { ++changes; };
    font.SetHandle(object);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(font.Name(), "Courier New");
    EXPECT_EQ(font.Height(), -13);
    EXPECT_EQ(font.Style(), (1u << fsBold) | (1u << fsItalic));
    EXPECT_EQ(font.Charset(), 178);
    EXPECT_EQ(font.Pitch(), fpFixed);
    EXPECT_EQ(font.Handle(), object);
    // Changing it makes a font object of its own; the borrowed one is left alone.
    font.SetCharset(ANSI_CHARSET);
    EXPECT_NE(font.Handle(), object);
    font.SetHandle(w::HFONT{});  // not a font: nothing happens
    EXPECT_EQ(font.Charset(), ANSI_CHARSET);
  }
  EXPECT_EQ(w::GetObject(object, 0, nullptr), static_cast<int>(sizeof(w::LOGFONTW)));
  w::DeleteObject(object);
}

TEST(ControlWindows, ChildWindowsHaveDistinctControlIds) {
  auto form = std::make_unique<TForm>();
  std::vector<TWinControl*> controls;
  for (const char* name : {"Edit1", "Edit2", "Button1"}) {
    TWinControl* c = std::string(name).starts_with("Edit") ? static_cast<TWinControl*>(form->Add<TEdit>(name))
                                                           : form->Add<TButton>(name);
    c->SetParent(form.get());
    controls.push_back(c);
  }
  std::vector<int> ids;
  for (TWinControl* c : controls) {
    ids.push_back(c->ControlID());  // no window yet
    EXPECT_EQ(ids.back(), 0);
  }
  ids.clear();
  for (TWinControl* c : controls) {
    c->Handle();
    ids.push_back(c->ControlID());
    EXPECT_EQ(w::GetDlgItem(form->Handle(), ids.back()), c->Handle());
  }
  EXPECT_EQ(ids, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(form->ControlID(), 0);  // a top-level window has none
  // A new window takes the id a destroyed one left.
  form->DestroyComponent(controls[1]);
  auto* late = form->Add<TEdit>("Edit3");
  late->SetParent(form.get());
  EXPECT_EQ(late->ControlID(), 0);
  late->Handle();
  EXPECT_EQ(late->ControlID(), 2);
}

TEST(ControlWindows, FormClientSizeFollowsTheSystemMetrics) {
  MetricsGuard guard;
  for (TFormBorderStyle border : {bsSizeable, bsSingle, bsDialog, bsToolWindow, bsNone}) {
    SCOPED_TRACE(border);
    auto form = std::make_unique<TForm>();
    form->SetBorderStyle(border);
    form->SetClientWidth(300);
    form->SetClientHeight(200);
    w::RECT client;
    ASSERT_TRUE(w::GetClientRect(form->Handle(), client));
    EXPECT_EQ(client.right, 300);
    EXPECT_EQ(client.bottom, 200);
    EXPECT_EQ(form->ClientWidth(), 300);

    // Thicker frames and captions take from the client area of a window of fixed size.
    w::NONCLIENTMETRICSW m = guard.saved_;
    m.iBorderWidth = 4;
    m.iCaptionHeight = 25;
    m.iSmCaptionHeight = 21;
    w::SystemParametersInfo(w::SPI_SETNONCLIENTMETRICS, sizeof m, &m, 0);
    ASSERT_TRUE(w::GetClientRect(form->Handle(), client));
    EXPECT_EQ(form->ClientWidth(), client.right);
    EXPECT_EQ(form->ClientHeight(), client.bottom);
    if (border != bsNone) {
      EXPECT_LT(form->ClientHeight(), 200);
    }
    w::SystemParametersInfo(w::SPI_SETNONCLIENTMETRICS, sizeof guard.saved_, &guard.saved_, 0);
  }
}

TEST(ControlWindows, AStreamsClientSizeIsKeptWhenTheMenuComesLater) {
  const char* text =
      "object Form1: TForm\r\n"
      "  Left = 10\r\n"
      "  Top = 20\r\n"
      "  Caption = 'Form1'\r\n"
      "  ClientHeight = 150\r\n"
      "  ClientWidth = 250\r\n"
      "  Menu = MainMenu1\r\n"
      "  PixelsPerInch = 96\r\n"
      "  TextHeight = 13\r\n"
      "  object MainMenu1: TMainMenu\r\n"
      "    object File1: TMenuItem\r\n"
      "      Caption = '&File'\r\n"
      "    end\r\n"
      "  end\r\n"
      "end\r\n";
  TFormStream stream = ReadTextForm(text);
  std::unique_ptr<TComponent> root = ReadComponent(stream);
  auto* form = dynamic_cast<TCustomForm*>(root.get());
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->ClientHeight(), 150);
  EXPECT_EQ(form->ClientWidth(), 250);
  w::RECT client;
  ASSERT_TRUE(w::GetClientRect(form->Handle(), client));
  EXPECT_EQ(client.bottom, 150);  // the menu bar is part of the frame
  EXPECT_EQ(WriteTextForm(WriteComponent(*root, &stream)), text);
}

TEST(ControlWindows, ReadingOrderSetsTheExtendedStyles) {
  constexpr w::DWORD kRtl = w::WS_EX_RIGHT | w::WS_EX_RTLREADING | w::WS_EX_LEFTSCROLLBAR;
  auto form = std::make_unique<TForm>();
  auto* box = form->Add<TCheckBox>("CheckBox1");
  box->SetParent(form.get());
  auto* edit = form->Add<TEdit>("Edit1");
  edit->SetParent(form.get());
  edit->SetBiDiMode(bdRightToLeftReadingOnly);
  form->SetBiDiMode(bdRightToLeft);
  EXPECT_EQ(box->BiDiMode(), bdRightToLeft);  // taken from the parent
  auto exStyle = [](TWinControl* c) { return static_cast<w::DWORD>(w::GetWindowLong(c->Handle(), w::GWL_EXSTYLE)); };
  EXPECT_EQ(exStyle(box) & kRtl, kRtl);
  EXPECT_EQ(exStyle(edit) & kRtl, w::WS_EX_RTLREADING);

  // The window's own bits can be cleared and set, others stay; a later change of the
  // reading order sets only the reading-order bits.
  w::SetWindowLong(box->Handle(), w::GWL_EXSTYLE, (exStyle(box) & ~kRtl) | w::WS_EX_CLIENTEDGE);
  EXPECT_EQ(exStyle(box) & kRtl, 0u);
  form->SetBiDiMode(bdLeftToRight);
  form->SetBiDiMode(bdRightToLeftNoAlign);
  EXPECT_EQ(exStyle(box) & kRtl, w::WS_EX_RTLREADING | w::WS_EX_LEFTSCROLLBAR);
  EXPECT_TRUE(exStyle(box) & w::WS_EX_CLIENTEDGE);
  w::SetWindowLong(form->Handle(), w::GWL_EXSTYLE, exStyle(form.get()) | w::WS_EX_LAYOUTRTL);
  EXPECT_TRUE(exStyle(form.get()) & w::WS_EX_LAYOUTRTL);
}

// --- subclassing control windows -----------------------------------------------------------------

namespace {

std::vector<std::string> gTrail;
w::WNDPROC gInner = nullptr;

w::LRESULT InnerProc(w::HWND window, w::UINT message, w::WPARAM wParam, w::LPARAM lParam) {
  if (message == w::WM_SETTEXT) gTrail.push_back("inner");
  return w::CallWindowProc(gInner, window, message, wParam, lParam);
}

class TRecordingEdit : public TEdit {
public:
  void WndProc(TMessage& message) override {
    if (message.Msg == w::WM_SETTEXT) gTrail.push_back("control");
    TEdit::WndProc(message);
  }
};

}  // namespace

// The order of several subclasses is the window manager's (WindowTest.SubclassChains...).
TEST(ControlWindows, ASubclassChainsInFrontOfTheControlAndUnwinds) {
  auto form = std::make_unique<TForm>();
  auto edit = std::make_unique<TRecordingEdit>();
  edit->SetParent(form.get());
  w::HWND window = edit->Handle();
  gTrail.clear();
  gInner = w::SubclassWindow(window, InnerProc);
  EXPECT_EQ(w::GetWindowLong(window, w::GWL_WNDPROC), reinterpret_cast<w::LONG_PTR>(InnerProc));
  w::SetWindowText(window, u"one");
  EXPECT_EQ(gTrail, (std::vector<std::string>{"inner", "control"}));
  EXPECT_EQ(w::GetWindowText(window), u"one");

  // Unwinding leaves the control's own procedure.
  w::SetWindowLong(window, w::GWL_WNDPROC, reinterpret_cast<w::LONG_PTR>(gInner));
  gTrail.clear();
  edit->SetText("two");
  EXPECT_EQ(gTrail, std::vector<std::string>{"control"});
  EXPECT_EQ(w::GetWindowText(window), u"two");
}

// --- common dialogs ------------------------------------------------------------------------------

TEST(CommonDialogs, ModalDialogsTakeWhatTheUserEntered) {
  auto form = std::make_unique<TForm>();
  auto* open = form->Add<TOpenDialog>("OpenDialog1");
  SetStrProp(open, "FileName", "first.txt");
  SetStrProp(open, "Filter", "Text files (*.txt)|*.txt|All files|*.*");
  SetOrdProp(open, "FilterIndex", 2);
  SetStrProp(open, "Title", "Pick a file");
  std::u16string caption, shownName, shownFilter;
  bool helpVisible = true;
  {
    w::TScopedDialogDriver driver([&](w::HWND dialog) {
      caption = w::GetWindowText(dialog);
      shownName = w::GetDlgItemText(dialog, w::edt1);
      shownFilter = w::GetDlgItemText(dialog, w::cmb1);
      helpVisible = w::IsWindowVisible(w::GetDlgItem(dialog, w::pshHelp));
      w::SetDlgItemText(dialog, w::edt1, u"second.txt");
      return w::PressButtonDriver(w::IDOK)(dialog);
    });
    EXPECT_TRUE(open->Execute());
  }
  EXPECT_EQ(caption, u"Pick a file");
  EXPECT_EQ(shownName, u"first.txt");
  EXPECT_EQ(shownFilter, u"All files");
  EXPECT_FALSE(helpVisible);
  EXPECT_EQ(GetStrProp(open, "FileName"), "second.txt");
  EXPECT_FALSE(open->Handle());

  // Cancelled: nothing changes. The save dialog has its own caption and button.
  auto* save = form->Add<TSaveDialog>("SaveDialog1");
  SetStrProp(save, "FileName", "keep.txt");
  SetOrdProp(save, "Options", GetOrdProp(save, "Options") | (1 << 4));  // ofShowHelp
  {
    w::TScopedDialogDriver driver([&](w::HWND dialog) {
      caption = w::GetWindowText(dialog);
      shownName = w::GetDlgItemText(dialog, w::IDOK);
      helpVisible = w::IsWindowVisible(w::GetDlgItem(dialog, w::pshHelp));
      w::SetDlgItemText(dialog, w::edt1, u"lost.txt");
      return w::PressButtonDriver(w::IDCANCEL)(dialog);
    });
    EXPECT_FALSE(save->Execute());
  }
  EXPECT_EQ(caption, u"Save As");
  EXPECT_EQ(shownName, u"&Save");
  EXPECT_TRUE(helpVisible);
  EXPECT_EQ(GetStrProp(save, "FileName"), "keep.txt");

  auto* fonts = form->Add<TFontDialog>("FontDialog1");
  fonts->Font()->SetName("Arial");
  {
    w::TScopedDialogDriver driver([&](w::HWND dialog) {
      shownName = w::GetDlgItemText(dialog, w::cmb1);
      w::SetDlgItemText(dialog, w::cmb1, u"Tahoma");
      w::SetDlgItemText(dialog, w::cmb3, u"12");
      w::CheckDlgButton(dialog, w::chx2, w::BST_CHECKED);
      return w::PressButtonDriver(w::IDOK)(dialog);
    });
    EXPECT_TRUE(fonts->Execute());
  }
  EXPECT_EQ(shownName, u"Arial");
  EXPECT_EQ(fonts->Font()->Name(), "Tahoma");
  EXPECT_EQ(fonts->Font()->Size(), 12);
  EXPECT_EQ(fonts->Font()->Style(), 1u << fsUnderline);

  auto* print = form->Add<TPrintDialog>("PrintDialog1");
  {
    w::TScopedDialogDriver driver([&](w::HWND dialog) {
      w::SetDlgItemText(dialog, w::edt3, u"3");
      return w::PressButtonDriver(w::IDOK)(dialog);
    });
    EXPECT_TRUE(print->Execute());
  }
  EXPECT_EQ(GetOrdProp(print, "Copies"), 3);

  // Without a driver nobody is there: every dialog is cancelled.
  for (TCommonDialog* d : std::initializer_list<TCommonDialog*>{form->Add<TColorDialog>("ColorDialog1"),
                                                                 form->Add<TPrinterSetupDialog>("PrinterSetupDialog1")})
    EXPECT_FALSE(d->Execute());
  TCommonDialog abstract;
  EXPECT_FALSE(abstract.Execute());
  EXPECT_FALSE(abstract.DialogTemplate());
}

namespace {

// What a class hook saw: the message, the active window at the time, and the dialog's
// window.
struct THookSeen {
  uint32_t message;
  w::HWND active;
  w::HWND dialog;
  uintptr_t wParam;
};

}  // namespace

TEST(CommonDialogs, TheClassHookSeesTheApplicationWindowWhileAModalDialogRuns) {
  std::vector<THookSeen> seen;
  int displacedCalls = 0;
  TCommonDialog::TMessageHookEntry displaced = TCommonDialog::SetClassMessageHook(
      TOpenDialog::StaticClass(), [&](TCommonDialog& d, TMessage& m) {
        seen.push_back({m.Msg, w::GetActiveWindow(), d.Handle(), m.WParam});
        ++displacedCalls;
        return displaced(d, m);
      });
  EXPECT_FALSE(TCommonDialog::HasOwnMessageHook(TOpenDialog::StaticClass()));
  EXPECT_TRUE(TCommonDialog::HasOwnMessageHook(TSaveDialog::StaticClass()));

  auto form = std::make_unique<TForm>();
  auto* open = form->Add<TOpenDialog>("OpenDialog1");
  auto* save = form->Add<TSaveDialog>("SaveDialog1");
  w::HWND shown{};
  {
    w::TScopedDialogDriver driver([&](w::HWND dialog) {
      shown = dialog;
      return false;
    });
    EXPECT_FALSE(open->Execute());
    w::HWND openShown = std::exchange(shown, w::HWND{});
    size_t openMessages = seen.size();
    EXPECT_FALSE(save->Execute());  // a descendant class keeps its own slot
    EXPECT_TRUE(shown);
    EXPECT_EQ(seen.size(), openMessages);
    shown = openShown;
  }
  bool positionChanged = false;
  for (const THookSeen& s : seen) {
    if (s.message != w::WM_WINDOWPOSCHANGED) continue;
    positionChanged = true;
    EXPECT_EQ(s.active, shown) << "the dialog is the active window when its owner moves behind it";
    EXPECT_EQ(s.dialog, shown);
  }
  EXPECT_TRUE(positionChanged);
  EXPECT_GT(displacedCalls, 0);

  TCommonDialog::SetClassMessageHook(TOpenDialog::StaticClass(), displaced);
  EXPECT_TRUE(TCommonDialog::HasOwnMessageHook(TOpenDialog::StaticClass()));
  seen.clear();
  EXPECT_FALSE(open->Execute());
  EXPECT_TRUE(seen.empty());
  // Nothing is left hooked to the application window.
  w::SendMessage(Application().Handle(), w::WM_WINDOWPOSCHANGED, 0, 0);
  EXPECT_TRUE(seen.empty());
}

namespace {

// A dialog subclass as a translator installs it: applies texts when the dialog is drawn
// and, when gathering, closes the dialog right after.
w::WNDPROC gDialogDisplaced = nullptr;
bool gGather = false;
std::vector<std::u16string> gGathered;

w::LRESULT DialogSubclass(w::HWND window, w::UINT message, w::WPARAM wParam, w::LPARAM lParam) {
  w::LRESULT result = 1;
  if (message != 0x052C && gDialogDisplaced) result = w::CallWindowProc(gDialogDisplaced, window, message, wParam, lParam);
  if ((message == w::WM_CLOSE || message == w::WM_DESTROY) && gDialogDisplaced) {
    w::SetWindowLong(window, w::GWL_WNDPROC, reinterpret_cast<w::LONG_PTR>(gDialogDisplaced));
    gDialogDisplaced = nullptr;
  }
  if (message == w::WM_ACTIVATE || message == w::WM_CTLCOLORDLG) {
    if (gGather) {
      int counter = 1;
      for (w::HWND c = w::GetWindow(window, w::GW_CHILD); c; c = w::GetWindow(c, w::GW_HWNDNEXT), ++counter) {
        int id = w::GetDlgCtrlID(c);
        gGathered.push_back(u"[" + (id == 65535 ? u"-" + std::u16string(1, u'0' + counter) : u"id") + u"]" +
                            w::GetWindowText(c));
      }
      w::SendMessage(window, w::WM_CLOSE, 0, 0);
    } else {
      w::SetWindowText(window, u"Rechercher");
      w::SetWindowText(w::GetWindow(w::GetWindow(window, w::GW_CHILD), w::GW_HWNDNEXT), u"x");
      w::SetDlgItemText(window, w::IDOK, u"&Suivant");
    }
  }
  return result;
}

}  // namespace

TEST(CommonDialogs, FindDialogsAreHookedThroughTheirOwnerAndCanBeGatheredOrTranslated) {
  std::vector<THookSeen> seen;
  bool closed = true;
  TCommonDialog::TMessageHookEntry displaced = TCommonDialog::SetClassMessageHook(
      TFindDialog::StaticClass(), [&](TCommonDialog& d, TMessage& m) {
        bool result = displaced(d, m);
        seen.push_back({m.Msg, w::GetActiveWindow(), d.Handle(), m.WParam});
        if (m.Msg == w::WM_CREATE) closed = false;
        if (m.Msg == w::WM_KILLFOCUS && !gDialogDisplaced && !closed)
          gDialogDisplaced = w::SubclassWindow(static_cast<w::HWND>(m.WParam), DialogSubclass);
        return result;
      });
  auto form = std::make_unique<TForm>();
  auto* find = form->Add<TFindDialog>("FindDialog1");
  SetStrProp(find, "FindText", "needle");

  // Gathering: the dialog closes itself on its first activation.
  gGather = true;
  gGathered.clear();
  EXPECT_TRUE(find->Execute());
  find->CloseDialog();
  ASSERT_FALSE(gGathered.empty());
  EXPECT_EQ(gGathered[0], u"[-1]Fi&nd what:");
  EXPECT_EQ(gGathered[1], u"[id]needle");
  EXPECT_FALSE(find->Handle());
  EXPECT_EQ(gDialogDisplaced, nullptr);
  // The hook hears the owner's creation before the focus moves to the dialog.
  auto position = [&](uint32_t message) {
    for (size_t i = 0; i < seen.size(); ++i)
      if (seen[i].message == message) return i;
    return seen.size();
  };
  EXPECT_LT(position(w::WM_CREATE), position(w::WM_KILLFOCUS));
  EXPECT_LT(position(w::WM_KILLFOCUS), seen.size());

  // Translating: texts change when the dialog is shown; the user then searches.
  gGather = false;
  seen.clear();
  std::string searched;
  find->OnFindHandler = [&](TFindDialog& d) { searched = GetStrProp(&d, "FindText"); };
  ASSERT_TRUE(find->Execute());
  w::HWND dialog = find->Handle();
  ASSERT_TRUE(w::IsWindow(dialog));
  bool killedForDialog = false;
  for (const THookSeen& s : seen) killedForDialog |= s.message == w::WM_KILLFOCUS && static_cast<w::HWND>(s.wParam) == dialog;
  EXPECT_TRUE(killedForDialog);
  EXPECT_EQ(w::GetWindowText(dialog), u"Rechercher");
  EXPECT_EQ(w::GetDlgItemText(dialog, w::IDOK), u"&Suivant");
  EXPECT_EQ(w::GetDlgItemText(dialog, w::edt1), u"x");
  // A message the subclass keeps from the dialog's own procedure.
  EXPECT_EQ(w::SendMessage(dialog, 0x052C, 0, 0), 1);

  w::SetDlgItemText(dialog, w::edt1, u"hay");
  w::CheckDlgButton(dialog, w::chx2, w::BST_CHECKED);
  w::SendMessage(dialog, w::WM_COMMAND, w::MAKEWPARAM(w::IDOK, w::BN_CLICKED), 0);
  EXPECT_EQ(searched, "hay");
  EXPECT_TRUE(GetOrdProp(find, "Options") & (1 << 5));  // frMatchCase
  EXPECT_TRUE(w::IsWindow(dialog));                     // modeless: stays open

  // Cancel closes it and its owner window; the subclass goes with it.
  w::SendMessage(dialog, w::WM_COMMAND, w::MAKEWPARAM(w::IDCANCEL, w::BN_CLICKED), 0);
  EXPECT_FALSE(w::IsWindow(dialog));
  EXPECT_FALSE(find->Handle());
  EXPECT_EQ(gDialogDisplaced, nullptr);
  TCommonDialog::SetClassMessageHook(TFindDialog::StaticClass(), displaced);
}

TEST(CommonDialogs, ReplaceDialogsReportTheirCommands) {
  auto form = std::make_unique<TForm>();
  auto* replace = form->Add<TReplaceDialog>("ReplaceDialog1");
  SetStrProp(replace, "ReplaceText", "new");
  std::vector<int64_t> options;
  replace->OnReplaceHandler = [&](TFindDialog& d) { options.push_back(GetOrdProp(&d, "Options")); };
  ASSERT_TRUE(replace->Execute());
  w::HWND dialog = replace->Handle();
  EXPECT_EQ(w::GetWindowText(dialog), u"Replace");
  EXPECT_EQ(w::GetDlgItemText(dialog, w::edt2), u"new");
  w::SetDlgItemText(dialog, w::edt2, u"newer");
  w::SendMessage(dialog, w::WM_COMMAND, w::MAKEWPARAM(w::psh1, w::BN_CLICKED), 0);
  w::SendMessage(dialog, w::WM_COMMAND, w::MAKEWPARAM(w::psh2, w::BN_CLICKED), 0);
  ASSERT_EQ(options.size(), 2u);
  EXPECT_TRUE(options[0] & (1 << 9));    // frReplace
  EXPECT_TRUE(options[1] & (1 << 10));   // frReplaceAll
  EXPECT_FALSE(options[1] & (1 << 9));
  EXPECT_EQ(GetStrProp(replace, "ReplaceText"), "newer");
  // Executing again while shown brings the same dialog back.
  EXPECT_TRUE(replace->Execute());
  EXPECT_EQ(replace->Handle(), dialog);
  // Destroying the component takes the dialog with it.
  form->DestroyComponent(replace);
  EXPECT_FALSE(w::IsWindow(dialog));
}

TEST(CommonDialogs, OptionsDecideWhichControlsTheTemplateShows) {
  auto visible = [](const w::TDialogTemplate& t, w::WORD id) {
    for (const w::TDialogItem& item : t.items)
      if (item.id == id) return (item.style & w::WS_VISIBLE) != 0;
    ADD_FAILURE() << "no control " << id;
    return false;
  };
  auto form = std::make_unique<TForm>();
  auto* open = form->Add<TOpenDialog>("OpenDialog1");
  EXPECT_FALSE(visible(*open->DialogTemplate(), w::chx1));  // ofHideReadOnly by default
  SetOrdProp(open, "Options", 0);
  EXPECT_TRUE(visible(*open->DialogTemplate(), w::chx1));
  EXPECT_EQ(open->DialogTemplate()->caption, u"Open");

  auto* font = form->Add<TFontDialog>("FontDialog1");
  EXPECT_TRUE(visible(*font->DialogTemplate(), w::grp1));  // fdEffects by default
  EXPECT_FALSE(visible(*font->DialogTemplate(), w::psh3));
  SetOrdProp(font, "Options", StringToSet(GetPropInfo(font, "Options"), "[fdApplyButton,fdShowHelp]"));
  EXPECT_FALSE(visible(*font->DialogTemplate(), w::chx1));
  EXPECT_TRUE(visible(*font->DialogTemplate(), w::psh3));
  EXPECT_TRUE(visible(*font->DialogTemplate(), w::pshHelp));

  auto* color = form->Add<TColorDialog>("ColorDialog1");
  EXPECT_EQ(color->DialogTemplate()->cx, 150);
  EXPECT_FALSE(visible(*color->DialogTemplate(), w::COLOR_ADD));
  SetOrdProp(color, "Options", StringToSet(GetPropInfo(color, "Options"), "[cdFullOpen]"));
  EXPECT_EQ(color->DialogTemplate()->cx, 300);
  EXPECT_TRUE(visible(*color->DialogTemplate(), w::COLOR_ADD));
  EXPECT_FALSE(visible(*color->DialogTemplate(), w::COLOR_MIX));

  auto* find = form->Add<TFindDialog>("FindDialog1");
  SetOrdProp(find, "Options", StringToSet(GetPropInfo(find, "Options"), "[frHideUpDown,frHideMatchCase]"));
  w::TDialogTemplate t = *find->DialogTemplate();
  EXPECT_FALSE(visible(t, w::grp1));
  EXPECT_FALSE(visible(t, w::rad2));
  EXPECT_FALSE(visible(t, w::chx2));
  EXPECT_TRUE(visible(t, w::chx1));
  // The template of the class, not of the instance, is left as it was.
  EXPECT_TRUE(visible(w::CommonDialogTemplate(w::TCommonDialogKind::cdFind), w::grp1));
}

TEST(Application, HooksSeeTheApplicationWindowsMessagesNewestFirst) {
  std::vector<std::string> order;
  int first = Application().HookMainWindow([&](TMessage& m) {
    if (m.Msg == w::WM_USER) order.push_back("first");
    return false;
  });
  int second = Application().HookMainWindow([&](TMessage& m) {
    if (m.Msg != w::WM_USER) return false;
    order.push_back("second");
    m.Result = 42;
    return m.WParam == 1;  // handles only this one
  });
  EXPECT_EQ(w::GetClassName(Application().Handle()), u"TApplication");
  EXPECT_FALSE(w::IsWindowVisible(Application().Handle()));
  EXPECT_EQ(w::SendMessage(Application().Handle(), w::WM_USER, 1, 0), 42);
  EXPECT_EQ(w::SendMessage(Application().Handle(), w::WM_USER, 0, 0), 0);
  EXPECT_EQ(order, (std::vector<std::string>{"second", "second", "first"}));
  Application().UnhookMainWindow(second);
  Application().UnhookMainWindow(first);
  order.clear();
  w::SendMessage(Application().Handle(), w::WM_USER, 1, 0);
  EXPECT_TRUE(order.empty());
}
