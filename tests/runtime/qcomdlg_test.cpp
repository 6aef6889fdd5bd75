// Common dialog translation: registration through the class hook slot, gathering and
// applying on every dialog class, the find dialog's own rules.
#include "runtime/qcomdlg.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/sysutils.h"
#include "platform/vcl/forms.h"
#include "platform/win32/commdlg.h"
#include "platform/win32/dialogs.h"
#include "platform/win32/gdi.h"
#include "runtime/proptransfer.h"

using namespace quintrel;
using namespace quintrel::vcl;
namespace w = quintrel::win32;
namespace rt = quintrel::runtime;

namespace {

std::string Ascii(const std::u16string& s) { return std::string(s.begin(), s.end()); }

std::map<std::string, std::string> Lines(const std::string& text) {
  std::map<std::string, std::string> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "every line ends with a line break";
    if (end == std::string::npos) break;
    std::string line = text.substr(start, end - start);
    size_t eq = line.find('=');
    lines[line.substr(0, eq)] = line.substr(eq + 1);
    start = end + 2;
  }
  return lines;
}

w::HWND NthChild(w::HWND window, int n) {
  w::HWND c = w::GetWindow(window, w::GW_CHILD);
  for (int i = 1; c && i < n; ++i) c = w::GetWindow(c, w::GW_HWNDNEXT);
  return c;
}

w::LOGFONTW FontOf(w::HWND window) {
  w::LOGFONTW lf;
  auto font = w::HFONT(static_cast<uintptr_t>(w::SendMessage(window, w::WM_GETFONT, 0, 0)));
  EXPECT_EQ(w::GetObject(font, sizeof lf, &lf), static_cast<int>(sizeof lf));
  return lf;
}

class Qcomdlg : public ::testing::Test {
protected:
  Qcomdlg() { form_->SetName("Form1"); }
  ~Qcomdlg() override { rt::FinalizeQcomdlg(); }
  void Set(const std::string& dialog, const std::string& rest) { ASSERT_TRUE(rt::SetDlgProp("Form1." + dialog + "." + rest)); }

  std::unique_ptr<TForm> form_ = std::make_unique<TForm>();
};

bool PlainHook(TCommonDialog&, TMessage& m) {
  m.Result = 77;
  return m.Msg == w::WM_WINDOWPOSCHANGED;
}
int gPlainCalls = 0;
bool CountingHook(TCommonDialog&, TMessage&) {
  ++gPlainCalls;
  return false;
}

}  // namespace

TEST_F(Qcomdlg, RegistrationReplacesOneClassAndRestoresItsEntryExactly) {
  const TMetaClass& open = TOpenDialog::StaticClass();
  EXPECT_TRUE(rt::RegisterDialogClass(open));
  EXPECT_FALSE(rt::RegisterDialogClass(open));
  EXPECT_EQ(rt::RegisteredDialogClassCount(), 1);
  EXPECT_FALSE(TCommonDialog::HasOwnMessageHook(open));
  EXPECT_TRUE(TCommonDialog::HasOwnMessageHook(TSaveDialog::StaticClass()));
  EXPECT_FALSE(rt::UnRegisterDialogClass(TSaveDialog::StaticClass()));
  EXPECT_TRUE(rt::UnRegisterDialogClass(open));
  EXPECT_FALSE(rt::UnRegisterDialogClass(open));
  EXPECT_TRUE(TCommonDialog::HasOwnMessageHook(open));

  // An entry someone else installed runs first, keeps its result, and comes back as it was.
  using TPlain = bool (*)(TCommonDialog&, TMessage&);
  const TMetaClass& font = TFontDialog::StaticClass();
  TCommonDialog::SetClassMessageHook(font, &CountingHook);
  ASSERT_TRUE(rt::RegisterDialogClass(font));
  auto* dialog = form_->Add<TFontDialog>("FontDialog1");
  Set("FontDialog1", "Caption=Schrift");
  std::u16string shown;
  gPlainCalls = 0;
  {
    w::TScopedDialogDriver driver([&](w::HWND d) {
      shown = w::GetWindowText(d);
      return false;
    });
    dialog->Execute();
  }
  EXPECT_GT(gPlainCalls, 0);
  EXPECT_EQ(shown, u"Schrift");
  ASSERT_TRUE(rt::UnRegisterDialogClass(font));
  TCommonDialog::TMessageHookEntry back = TCommonDialog::ClassMessageHook(font);
  ASSERT_TRUE(back.target<TPlain>());
  EXPECT_EQ(*back.target<TPlain>(), &CountingHook);

  TCommonDialog::SetClassMessageHook(font, &PlainHook);
  ASSERT_TRUE(rt::RegisterDialogClass(font));
  TMessage m{w::WM_WINDOWPOSCHANGED, 0, 0, 0};
  EXPECT_TRUE(dialog->DispatchMessageHook(m));
  EXPECT_EQ(m.Result, 77);
  rt::FinalizeQcomdlg();
  EXPECT_EQ(rt::RegisteredDialogClassCount(), 0);
  EXPECT_EQ(*TCommonDialog::ClassMessageHook(font).target<TPlain>(), &PlainHook);
  TCommonDialog::SetClassMessageHook(font, {});
  EXPECT_TRUE(TCommonDialog::HasOwnMessageHook(font));
}

TEST_F(Qcomdlg, StoredValuesAreReplacedAndKeptAsGiven) {
  EXPECT_TRUE(rt::SetDlgProp("Form1.OpenDialog1.Caption='Öffnen'"));
  EXPECT_TRUE(rt::SetDlgProp("Form1.OpenDialog1.Caption=a=b"));
  EXPECT_EQ(rt::PendingDlgProp("Form1.OpenDialog1.Caption"), "a=b");
  EXPECT_TRUE(rt::SetDlgProp("Form1.OpenDialog1.Caption[1]='x'"));
  EXPECT_EQ(rt::PendingDlgProp("Form1.OpenDialog1.Caption[1]"), "'x'");
  EXPECT_FALSE(rt::SetDlgProp("no separator"));
  EXPECT_FALSE(rt::SetDlgProp("=value"));
  EXPECT_FALSE(rt::SetDlgProp(std::string(256, 'k') + "=v"));
  EXPECT_TRUE(rt::SetDlgProp(std::string(255, 'k') + "=v"));

  // The property-transfer slot registers the class and stores the entry.
  rt::TPropertyTransfer::TDialogPropProc slot = &rt::SetCommonDialogProp;
  auto* print = form_->Add<TPrintDialog>("PrintDialog1");
  slot(*print, "Form1.PrintDialog1.Caption=Drucken");
  EXPECT_TRUE(rt::IsDialogClassRegistered(TPrintDialog::StaticClass()));
  EXPECT_EQ(rt::PendingDlgProp("Form1.PrintDialog1.Caption"), "Drucken");
}

// Every dialog class: what is gathered names the controls by id and, for those without an
// id, by minus their position; values stored under those names show in the running dialog.
TEST_F(Qcomdlg, GatherThenApplyOnEveryDialogClass) {
  std::vector<TCommonDialog*> dialogs = {
      form_->Add<TOpenDialog>("OpenDialog1"),   form_->Add<TSaveDialog>("SaveDialog1"),
      form_->Add<TFontDialog>("FontDialog1"),   form_->Add<TColorDialog>("ColorDialog1"),
      form_->Add<TPrintDialog>("PrintDialog1"), form_->Add<TPrinterSetupDialog>("PrinterSetupDialog1"),
      form_->Add<TFindDialog>("FindDialog1"),   form_->Add<TReplaceDialog>("ReplaceDialog1")};
  int withStatics = 0;
  for (TCommonDialog* dialog : dialogs) {
    SCOPED_TRACE(dialog->Name());
    std::optional<w::TDialogTemplate> t = dialog->DialogTemplate();
    ASSERT_TRUE(t);
    std::string text = rt::GetDlgProps(*dialog);
    EXPECT_FALSE(dialog->Handle()) << "gathering closes the dialog";
    EXPECT_FALSE(rt::SubclassedDialogWindow());
    std::map<std::string, std::string> lines = Lines(text);
    EXPECT_EQ(lines["Caption"], "'" + Ascii(t->caption) + "'");
    EXPECT_EQ(lines["Font.Name"], "MS Sans Serif");
    EXPECT_EQ(lines.size(), 5 + 5 * t->items.size());

    // The first control without an id (gathered by its position), and the OK button.
    // Dialogs whose controls all have ids still take a value by position: the second.
    int staticAt = 0;
    for (size_t i = 0; i < t->items.size() && !staticAt; ++i)
      if (t->items[i].id == w::IDC_STATIC) staticAt = static_cast<int>(i) + 1;
    std::string staticKey = "Caption[-" + std::to_string(staticAt ? staticAt : 2) + "]";
    if (staticAt)
      EXPECT_EQ(lines[staticKey], "'" + Ascii(t->items[staticAt - 1].text) + "'");
    else
      EXPECT_FALSE(lines.count(staticKey));
    withStatics += staticAt ? 1 : 0;
    if (!staticAt) staticAt = 2;
    ASSERT_TRUE(lines.count("Caption[1]"));

    Set(dialog->Name(), "Caption=T " + dialog->Name());
    Set(dialog->Name(), staticKey + "=Static " + dialog->Name());
    Set(dialog->Name(), "Caption[1]=Go");
    std::u16string caption, staticText, okText;
    auto look = [&](w::HWND d) {
      caption = w::GetWindowText(d);
      staticText = w::GetWindowText(NthChild(d, staticAt));
      okText = w::GetDlgItemText(d, w::IDOK);
    };
    if (auto* find = dynamic_cast<TFindDialog*>(dialog)) {
      ASSERT_TRUE(find->Execute());
      // The dialog window took the focus from its hidden owner: that is the one subclassed.
      EXPECT_EQ(rt::SubclassedDialogWindow(), find->Handle());
      look(find->Handle());
      find->CloseDialog();
    } else {
      w::TScopedDialogDriver driver([&](w::HWND d) {
        EXPECT_EQ(rt::SubclassedDialogWindow(), d);
        look(d);
        return false;
      });
      dialog->Execute();
    }
    EXPECT_EQ(Ascii(caption), "T " + dialog->Name());
    EXPECT_EQ(Ascii(staticText), "Static " + dialog->Name());
    EXPECT_EQ(okText, u"Go");
    EXPECT_FALSE(rt::SubclassedDialogWindow()) << "closing the dialog ends the subclass";
  }
  EXPECT_EQ(withStatics, 3) << "colour, find and replace have texts without an id";
}

TEST_F(Qcomdlg, SizesPositionsAndFontsOfARunningDialog) {
  auto* open = form_->Add<TOpenDialog>("OpenDialog1");
  std::map<std::string, std::string> lines = Lines(rt::GetDlgProps(*open));
  w::RECT window{}, ok{};
  w::POINT okCorner{};
  w::LOGFONTW child{}, own{};
  auto measure = [&](w::HWND d) {
    w::GetWindowRect(d, window);
    w::GetWindowRect(w::GetDlgItem(d, w::IDOK), ok);
    okCorner = {ok.left, ok.top};
    w::ScreenToClient(d, okCorner);
    child = FontOf(w::GetDlgItem(d, w::IDOK));
    own = FontOf(d);
    return false;
  };
  {
    w::TScopedDialogDriver driver(measure);
    open->Execute();
  }
  // Sizes are gathered one larger than the rectangle.
  EXPECT_EQ(lines["Width"], std::to_string(window.right - window.left + 1));
  EXPECT_EQ(lines["Height"], std::to_string(window.bottom - window.top + 1));
  EXPECT_EQ(lines["Width[1]"], std::to_string(ok.right - ok.left + 1));
  EXPECT_EQ(lines["Left[1]"], std::to_string(okCorner.x));
  EXPECT_EQ(lines["Top[1]"], std::to_string(okCorner.y));
  int okWidth = ok.right - ok.left, height = window.bottom - window.top;

  Set("OpenDialog1", "Width=301");
  Set("OpenDialog1", "Left[1]=5");
  Set("OpenDialog1", "Top[1]=7");
  Set("OpenDialog1", "Font.Name=Arial");
  Set("OpenDialog1", "Font.Charset=204");
  // Values for another owner or another dialog stay away.
  ASSERT_TRUE(rt::SetDlgProp("Form2.OpenDialog1.Caption=Other"));
  ASSERT_TRUE(rt::SetDlgProp("Form1.OpenDialog2.Caption=Other"));
  ASSERT_TRUE(rt::SetDlgProp("Form1.OpenDialog1.Colour=Other"));
  std::u16string caption;
  {
    w::TScopedDialogDriver driver([&](w::HWND d) {
      caption = w::GetWindowText(d);
      return measure(d);
    });
    open->Execute();
  }
  EXPECT_EQ(caption, u"Open");
  EXPECT_EQ(window.right - window.left, 301);
  EXPECT_EQ(window.bottom - window.top, height);
  EXPECT_EQ(okCorner.x, 5);
  EXPECT_EQ(okCorner.y, 7);
  EXPECT_EQ(ok.right - ok.left, okWidth);
  // Face and character set given together both reach the controls; the dialog keeps its own.
  EXPECT_EQ(std::u16string(w::FaceName(child)), u"Arial");
  EXPECT_EQ(child.lfCharSet, 204);
  EXPECT_EQ(std::u16string(w::FaceName(own)), u"MS Sans Serif");
}

TEST_F(Qcomdlg, GatheredTextIntoACallersBuffer) {
  auto* color = form_->Add<TColorDialog>("ColorDialog1");
  size_t length = rt::GetDlgProps(*color, nullptr, 0);
  ASSERT_GT(length, 100u);
  std::vector<char> buffer(length + 1, 'x');
  EXPECT_EQ(rt::GetDlgProps(*color, buffer.data(), buffer.size()), length);
  EXPECT_EQ(buffer[length], '\0');
  EXPECT_EQ(std::string(buffer.data()).substr(0, 15), "Caption='Color'");
  char small[8];
  std::fill(std::begin(small), std::end(small), 'x');
  EXPECT_EQ(rt::GetDlgProps(*color, small, sizeof small), length);
  EXPECT_EQ(std::string(small), "Caption");
  TCommonDialog abstract;
  EXPECT_EQ(rt::GetDlgProps(abstract), "");
}

namespace {

std::vector<w::UINT> gSeen;
w::INT_PTR Recording(w::HWND, w::UINT message, w::WPARAM, w::LPARAM) {
  gSeen.push_back(message);
  return message == w::WM_CLOSE || message == w::WM_USER + 1 ? 1 : 0;
}

}  // namespace

// The find dialog is caught through its owner window: the window gaining the focus is
// subclassed, unless the last one has just closed and no new owner was created.
TEST_F(Qcomdlg, FindDialogFocusRuleWithheldMessageAndDefaultFont) {
  auto* find = form_->Add<TFindDialog>("FindDialog1");
  auto* open = form_->Add<TOpenDialog>("OpenDialog1");
  ASSERT_TRUE(rt::RegisterDialogClass(TFindDialog::StaticClass()));
  ASSERT_TRUE(rt::RegisterDialogClass(TOpenDialog::StaticClass()));
  w::TDialogTemplate t;
  t.cx = 100;
  t.cy = 60;
  t.faceName = u"Default";
  t.items = {{u"STATIC", u"First", w::IDC_STATIC, w::WS_VISIBLE, 0, 5, 5, 40, 8},
             {u"BUTTON", u"OK", w::IDOK, w::WS_VISIBLE, 0, 5, 20, 40, 14},
             {u"STATIC", u"Third", w::IDC_STATIC, w::WS_VISIBLE, 0, 5, 40, 40, 8}};
  w::HWND dialog = w::CreateDialogIndirectParam(w::HINSTANCE{}, t, w::HWND{}, &Recording, 0);
  ASSERT_TRUE(dialog);
  auto focusTo = [&](TCommonDialog& d) {
    TMessage m{w::WM_KILLFOCUS, static_cast<uintptr_t>(dialog), 0, 0};
    d.DispatchMessageHook(m);
  };
  focusTo(*open);
  EXPECT_FALSE(rt::SubclassedDialogWindow()) << "only the find dialog's hook follows the focus";
  focusTo(*find);
  ASSERT_EQ(rt::SubclassedDialogWindow(), dialog);

  gSeen.clear();
  EXPECT_EQ(w::SendMessage(dialog, 0x052C, 0, 0), 1);
  EXPECT_EQ(w::SendMessage(dialog, w::WM_USER + 1, 0, 0), 1);
  EXPECT_EQ(gSeen, std::vector<w::UINT>{w::WM_USER + 1}) << "1324 never reaches the dialog";

  Set("FindDialog1", "Caption[-3]=Drittes");
  Set("FindDialog1", "Caption[-9]=Nobody");
  Set("FindDialog1", "Font.Charset=161");
  w::SendMessage(dialog, w::WM_ACTIVATE, w::WA_ACTIVE, 0);
  EXPECT_EQ(w::GetWindowText(NthChild(dialog, 3)), u"Drittes");
  EXPECT_EQ(w::GetWindowText(NthChild(dialog, 1)), u"First");
  w::LOGFONTW child = FontOf(NthChild(dialog, 2));
  EXPECT_EQ(std::u16string(w::FaceName(child)), u"MS Sans Serif");
  EXPECT_EQ(child.lfCharSet, 161);
  // A size that is not a number is an error out of the window procedure.
  Set("FindDialog1", "Width=wide");
  EXPECT_THROW(w::SendMessage(dialog, w::WM_ACTIVATE, w::WA_ACTIVE, 0), rtl::EConvertError);

  // Closed: the window has its own procedure again, and later focus changes are ignored
  // until a new owner window is created.
  EXPECT_EQ(w::SendMessage(dialog, w::WM_CLOSE, 0, 0), 1);
  EXPECT_FALSE(rt::SubclassedDialogWindow());
  EXPECT_NE(w::GetWindowLong(dialog, w::GWL_WNDPROC), reinterpret_cast<w::LONG_PTR>(&rt::ComDlgProc));
  focusTo(*find);
  EXPECT_FALSE(rt::SubclassedDialogWindow());
  TMessage create{w::WM_CREATE, 0, 0, 0};
  find->DispatchMessageHook(create);
  focusTo(*find);
  EXPECT_EQ(rt::SubclassedDialogWindow(), dialog);
  w::DestroyWindow(dialog);
  EXPECT_FALSE(rt::SubclassedDialogWindow());
}
