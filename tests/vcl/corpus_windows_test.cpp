// Real forms on the window manager: every control of every corpus form gets its window,
// and the windows agree with the live objects (class, text, font, control id, client
// area, reading order) without changing a byte of what the form writes back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "platform/vcl/charsets.h"
#include "platform/vcl/comctrls.h"
#include "platform/vcl/dialogs.h"
#include "platform/vcl/filer.h"
#include "platform/vcl/forms.h"
#include "platform/vcl/streaming.h"
#include "platform/win32/commdlg.h"
#include "platform/win32/dialogs.h"
#include "platform/win32/gdi.h"
#include "tests/testdata.h"

using namespace quintrel::vcl;
namespace w = quintrel::win32;
namespace fs = std::filesystem;

namespace {

using quintrel::testdata::Bytes;
using quintrel::testdata::Extra;

std::string Written(const TComponent& root, const TFormStream& like) { return WriteComponentBytes(root, like); }

void ForEachWinControl(TWinControl* control, const std::function<void(TWinControl*)>& visit) {
  visit(control);
  for (int i = 0; i < control->ControlCount(); ++i)
    if (auto* child = dynamic_cast<TWinControl*>(control->Controls(i))) ForEachWinControl(child, visit);
}

template <class T = TComponent>
T* Find(TComponent* root, std::string_view name) {
  for (int i = 0; i < root->ComponentCount(); ++i) {
    TComponent* c = root->Components(i);
    if (c->Name() == name) return dynamic_cast<T*>(c);
  }
  return nullptr;
}

std::u16string FaceOf(w::HWND window) {
  auto font = static_cast<w::HFONT>(w::SendMessage(window, w::WM_GETFONT, 0, 0));
  w::LOGFONTW description;
  if (w::GetObject(font, sizeof description, &description) != sizeof description) return u"<no font>";
  return std::u16string(w::FaceName(description));
}

}  // namespace

namespace {

struct TWindowCount {
  int forms = 0;
  int windows = 0;
};

// Every control of every form of the list gets its window, and the window agrees with it.
TWindowCount CheckWindows(const std::vector<fs::path>& files) {
  TWindowCount count;
  int& forms = count.forms;
  int& windows = count.windows;
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    TFormStream stream;
    std::unique_ptr<TComponent> root = LoadComponentFile(file.string(), &stream);
    auto* top = dynamic_cast<TWinControl*>(root.get());
    if (!top) continue;  // data modules have no window
    ++forms;
    std::optional<int64_t> clientWidth, clientHeight;
    if (PPropInfo p = GetPropInfo(top, "ClientWidth")) clientWidth = GetOrdProp(top, p);
    if (PPropInfo p = GetPropInfo(top, "ClientHeight")) clientHeight = GetOrdProp(top, p);

    ForEachWinControl(top, [&](TWinControl* control) {
      SCOPED_TRACE(control->Name());
      w::HWND window = control->Handle();
      ASSERT_TRUE(window);
      ++windows;
      EXPECT_EQ(w::GetClassName(window), AnsiCodec().ToWide(control->ClassName()));
      EXPECT_EQ(TWinControl::FindControl(window), control);
      EXPECT_EQ(FaceOf(window), AnsiCodec().ToWide(control->Font()->Name()));
      w::RECT rect;
      w::GetWindowRect(window, rect);
      EXPECT_EQ(rect.right - rect.left, control->Width());
      EXPECT_EQ(rect.bottom - rect.top, control->Height());
      auto exStyle = static_cast<w::DWORD>(w::GetWindowLong(window, w::GWL_EXSTYLE));
      EXPECT_EQ((exStyle & w::WS_EX_RTLREADING) != 0, control->UseRightToLeftReading());
      if (control->Parent()) {
        EXPECT_EQ(w::GetParent(window), control->Parent()->Handle());
        EXPECT_EQ(w::GetDlgItem(control->Parent()->Handle(), control->ControlID()), window);
      }
    });
    // Control ids are unique among the children of each window.
    ForEachWinControl(top, [&](TWinControl* control) {
      std::set<int> ids;
      for (w::HWND c = w::GetWindow(control->Handle(), w::GW_CHILD); c; c = w::GetWindow(c, w::GW_HWNDNEXT))
        EXPECT_TRUE(ids.insert(w::GetDlgCtrlID(c)).second) << control->Name();
    });
    // The form's client area is the one its stream gives.
    w::RECT client;
    w::GetClientRect(top->Handle(), client);
    if (clientWidth) {
      EXPECT_EQ(client.right, *clientWidth);
    }
    if (clientHeight) {
      EXPECT_EQ(client.bottom, *clientHeight);
    }
    // Windows change nothing of what the form writes back.
    EXPECT_EQ(Written(*root, stream), Bytes(file));
  }
  return count;
}

}  // namespace

TEST(CorpusWindows, EveryControlOfEveryFormGetsAWindowThatAgreesWithIt) {
  TWindowCount count = CheckWindows(quintrel::testdata::DataForms());
  EXPECT_GT(count.forms, 10);
  EXPECT_GT(count.windows, 100);
}

TEST(CorpusExtraWindows, EveryControlOfEveryFormGetsAWindowThatAgreesWithIt) {
  QUINTREL_REQUIRE_EXTRA_CORPUS();
  TWindowCount count = CheckWindows(quintrel::testdata::ExtraForms());
  EXPECT_GT(count.forms, 0);
}

TEST(CorpusExtraWindows, RightToLeftFormsCarryTheReadingOrderInTheirWindows) {
  QUINTREL_REQUIRE_EXTRA_CORPUS();
  fs::path file = Extra("dfm/soorani__fmshowmg.dfm");
  std::unique_ptr<TComponent> root = LoadComponentFile(file.string());
  auto* form = dynamic_cast<TCustomForm*>(root.get());
  ASSERT_NE(form, nullptr);
  int rightToLeft = 0;
  ForEachWinControl(form, [&](TWinControl* control) {
    if (control->BiDiMode() != bdRightToLeft) return;
    ++rightToLeft;
    auto exStyle = static_cast<w::DWORD>(w::GetWindowLong(control->Handle(), w::GWL_EXSTYLE));
    constexpr w::DWORD kRtl = w::WS_EX_RIGHT | w::WS_EX_RTLREADING | w::WS_EX_LEFTSCROLLBAR;
    EXPECT_EQ(exStyle & kRtl, kRtl) << control->Name();
    // Mirroring clears the bits through the window's style; other bits stay.
    w::SetWindowLong(control->Handle(), w::GWL_EXSTYLE, exStyle & ~kRtl);
    EXPECT_EQ(static_cast<w::DWORD>(w::GetWindowLong(control->Handle(), w::GWL_EXSTYLE)), exStyle & ~kRtl);
  });
  EXPECT_GT(rightToLeft, 0);
}

TEST(CorpusWindows, ButtonWindowsShowWhichSideTheirTextIsOn) {
  auto form = std::make_unique<TForm>();
  auto* left = form->Add<TCheckBox>("Left1");
  left->SetParent(form.get());
  SetOrdProp(left, "Alignment", taLeftJustify);
  auto* right = form->Add<TCheckBox>("Right1");
  right->SetParent(form.get());
  auto* radio = form->Add<TRadioButton>("Radio1");
  radio->SetParent(form.get());
  radio->SetBiDiMode(bdRightToLeft);  // mirrored: the default right-hand text goes left
  auto* ok = form->Add<TButton>("OK1");
  ok->SetParent(form.get());
  SetOrdProp(ok, "Default", 1);
  auto style = [](TWinControl* c) { return static_cast<w::DWORD>(w::GetWindowLong(c->Handle(), w::GWL_STYLE)); };
  EXPECT_EQ(style(left) & (w::BS_TYPEMASK | w::BS_LEFTTEXT), w::BS_AUTOCHECKBOX | w::BS_LEFTTEXT);
  EXPECT_EQ(style(right) & (w::BS_TYPEMASK | w::BS_LEFTTEXT), w::BS_AUTOCHECKBOX);
  EXPECT_EQ(style(radio) & (w::BS_TYPEMASK | w::BS_LEFTTEXT), w::BS_AUTORADIOBUTTON | w::BS_LEFTTEXT);
  EXPECT_EQ(style(ok) & w::BS_TYPEMASK, w::BS_DEFPUSHBUTTON);

  // Toggling the text side and the horizontal alignment in the window style, as
  // mirroring does, and repainting.
  w::DWORD s = style(right) ^ w::BS_LEFTTEXT;
  s = (s & w::BS_LEFT) ? ((s & ~w::BS_LEFT) | w::BS_RIGHT) : (s | w::BS_RIGHT);
  w::SetWindowLong(right->Handle(), w::GWL_STYLE, s);
  right->Invalidate();
  EXPECT_EQ(style(right) & (w::BS_LEFTTEXT | w::BS_RIGHT), w::BS_LEFTTEXT | w::BS_RIGHT);
  EXPECT_EQ(right->InvalidateCount(), 1);
  // The up-down control's button side is a published enumeration.
  auto* updown = form->Add<TUpDown>("UpDown1");
  PPropInfo side = GetPropInfo(updown, "AlignButton");
  ASSERT_NE(side, nullptr);
  EXPECT_EQ(GetEnumName(side->PropType, static_cast<int>(GetOrdProp(updown, side))), "udRight");
  SetOrdProp(updown, side, GetEnumValue(side->PropType, "udLeft"));
  EXPECT_EQ(GetOrdProp(updown, side), 0);
}

TEST(CorpusWindows, TheFileDialogsOfARealFormExecute) {
  const fs::path file = quintrel::testdata::Data("dfm/rtklib__viewer.dfm");
  TFormStream stream;
  std::unique_ptr<TComponent> root = LoadComponentFile(file.string(), &stream);
  auto* open = Find<TOpenDialog>(root.get(), "OpenDialog");
  auto* save = Find<TSaveDialog>(root.get(), "SaveDialog");
  ASSERT_TRUE(open && save);
  std::vector<std::u16string> captions;
  w::TScopedDialogDriver driver([&](w::HWND dialog) {
    captions.push_back(w::GetWindowText(dialog));
    if (w::GetDlgItem(dialog, w::edt1)) w::SetDlgItemText(dialog, w::edt1, u"track.txt");
    return w::PressButtonDriver(w::IDOK)(dialog);
  });
  EXPECT_TRUE(open->Execute());
  EXPECT_TRUE(save->Execute());
  EXPECT_EQ(captions, (std::vector<std::u16string>{u"Open", u"Save As"}));
  EXPECT_EQ(GetStrProp(open, "FileName"), "track.txt");
  // The chosen name is what the form now writes; without it the form is as read.
  EXPECT_NE(WriteTextForm(ToTextNotation(WriteComponent(*root, &stream))).find("FileName = 'track.txt'"),
            std::string::npos);
  SetStrProp(open, "FileName", "");
  SetStrProp(save, "FileName", "");
  EXPECT_EQ(Written(*root, stream), Bytes(file));
}

TEST(CorpusExtraWindows, TheDialogsOfARealFormExecute) {
  QUINTREL_REQUIRE_EXTRA_CORPUS();
  fs::path file = Extra("dfm/masteringdelphi7__cdlgtest.dfm");
  TFormStream stream;
  std::unique_ptr<TComponent> root = LoadComponentFile(file.string(), &stream);
  auto* open = Find<TOpenDialog>(root.get(), "OpenDialog1");
  auto* save = Find<TSaveDialog>(root.get(), "SaveDialog1");
  auto* font = Find<TFontDialog>(root.get(), "FontDialog1");
  auto* color = Find<TColorDialog>(root.get(), "ColorDialog1");
  ASSERT_TRUE(open && save && font && color);

  std::vector<std::u16string> captions;
  std::u16string faceShown;
  w::TScopedDialogDriver driver([&](w::HWND dialog) {
    captions.push_back(w::GetWindowText(dialog));
    if (w::GetDlgItem(dialog, w::stc1) && w::GetDlgItem(dialog, w::cmb5)) faceShown = w::GetDlgItemText(dialog, w::cmb1);
    if (w::GetDlgItem(dialog, w::edt1) && w::GetDlgItem(dialog, w::lst1))
      w::SetDlgItemText(dialog, w::edt1, u"notes.txt");
    return w::PressButtonDriver(w::IDOK)(dialog);
  });
  EXPECT_TRUE(open->Execute());
  EXPECT_TRUE(save->Execute());
  EXPECT_TRUE(font->Execute());
  EXPECT_TRUE(color->Execute());
  EXPECT_EQ(captions, (std::vector<std::u16string>{u"Open", u"Save As", u"Font", u"Color"}));
  EXPECT_EQ(faceShown, u"System");
  EXPECT_EQ(GetStrProp(open, "FileName"), "notes.txt");
  EXPECT_EQ(font->Font()->Name(), "System");

  // What the user entered is what the form now writes; the rest is as read.
  TFormStream written = WriteComponent(*root, &stream);
  std::string text = WriteTextForm(ToTextNotation(written));
  EXPECT_NE(text.find("FileName = 'notes.txt'"), std::string::npos);
  SetStrProp(open, "FileName", "");
  SetStrProp(save, "FileName", "");
  EXPECT_EQ(Written(*root, stream), Bytes(file));
}

// --- typed access on every property of every real form -----------------------------------

namespace {

// Writes every stored, writable property of `object` with the value it reads, through
// the typed operation of its kind, and goes into the objects it owns (fonts, string
// lists, collections and their items, pictures). Returns how many properties it wrote.
int WriteEveryPropertyBack(TObject* object, std::set<const TObject*>& visited) {
  if (!object || !visited.insert(object).second) return 0;
  int written = 0;
  for (PPropInfo p : GetPropList(&object->ClassType())) {
    SCOPED_TRACE(object->ClassName() + "." + p->Name);
    switch (p->PropType->Kind) {
      case tkClass: {
        TObject* value = GetObjectProp(object, p);
        // References to other components are not the object's own.
        if (value && !dynamic_cast<TComponent*>(value)) written += WriteEveryPropertyBack(value, visited);
        if (auto* collection = dynamic_cast<TCollection*>(value))
          for (int i = 0; i < collection->Count(); ++i) written += WriteEveryPropertyBack(collection->Items(i), visited);
        continue;
      }
      default:
        break;
    }
    if (!IsWritableProp(p) || !p->Stored) continue;
    switch (p->PropType->Kind) {
      case tkInteger:
      case tkChar:
      case tkWChar:
      case tkEnumeration:
      case tkSet:
      case tkInt64:
        SetOrdProp(object, p, GetOrdProp(object, p));
        break;
      case tkFloat:
        SetFloatProp(object, p, GetFloatProp(object, p));
        break;
      case tkString:
      case tkLString:
        SetStrProp(object, p, GetStrProp(object, p));
        break;
      case tkWString:
        SetWideStrProp(object, p, GetWideStrProp(object, p));
        break;
      case tkMethod:
        SetMethodProp(object, p, GetMethodProp(object, p));
        break;
      default:
        continue;
    }
    ++written;
  }
  if (auto* component = dynamic_cast<TComponent*>(object))
    for (int i = 0; i < component->ComponentCount(); ++i)
      written += WriteEveryPropertyBack(component->Components(i), visited);
  return written;
}

// Every property of every form of the list takes its own value back; how many there were.
int WriteEveryFormBack(const std::vector<fs::path>& files) {
  int properties = 0;
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    TFormStream stream;
    std::unique_ptr<TComponent> root = LoadComponentFile(file.string(), &stream);
    std::set<const TObject*> visited;
    properties += WriteEveryPropertyBack(root.get(), visited);
    EXPECT_EQ(Written(*root, stream), Bytes(file));
  }
  return properties;
}

}  // namespace

TEST(CorpusProperties, EveryPropertyTakesItsOwnValueBackWithoutChangingTheForm) {
  EXPECT_GT(WriteEveryFormBack(quintrel::testdata::DataForms()), 1000);
}

TEST(CorpusExtraProperties, EveryPropertyTakesItsOwnValueBackWithoutChangingTheForm) {
  QUINTREL_REQUIRE_EXTRA_CORPUS();
  EXPECT_GT(WriteEveryFormBack(quintrel::testdata::ExtraForms()), 0);
}

TEST(CorpusExtraProperties, TypedValuesOfRealForms) {
  QUINTREL_REQUIRE_EXTRA_CORPUS();
  fs::path file = Extra("dfm/masteringdelphi7__cdlgtest.dfm");
  std::unique_ptr<TComponent> root = LoadComponentFile(file.string());
  // Fonts: the form's, a control's own, a dialog's.
  EXPECT_EQ(GetStrProp(GetObjectProp(root.get(), "Font"), "Name"), "MS Sans Serif");
  TComponent* memo = Find(root.get(), "Memo1");
  ASSERT_NE(memo, nullptr);
  TObject* memoFont = GetObjectProp(memo, "Font");
  EXPECT_EQ(GetStrProp(memoFont, "Name"), "Times New Roman");
  EXPECT_EQ(GetOrdProp(memoFont, "Color"), clBlack);
  EXPECT_EQ(GetOrdProp(memo, "ParentFont"), 0);
  PPropInfo align = GetPropInfo(memo, "Align");
  EXPECT_EQ(GetEnumName(align->PropType, GetOrdProp(memo, align)), "alClient");
  PPropInfo scroll = GetPropInfo(memo, "ScrollBars");
  ASSERT_NE(scroll, nullptr);
  EXPECT_EQ(GetEnumName(scroll->PropType, GetOrdProp(memo, scroll)), "ssBoth");
  TComponent* fontDialog = Find(root.get(), "FontDialog1");
  ASSERT_NE(fontDialog, nullptr);
  EXPECT_EQ(GetStrProp(GetObjectProp(fontDialog, "Font"), "Name"), "System");
  // The menu: captions, nesting, the form's reference to it.
  auto* menu = dynamic_cast<TMainMenu*>(Find(root.get(), "MainMenu1"));
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(dynamic_cast<TCustomForm*>(root.get())->Menu(), menu);
  TMenuItem* open = menu->Items()->Find("&Open");
  ASSERT_NE(open, nullptr);
  ASSERT_GT(open->Count(), 1);
  EXPECT_EQ(open->Items(0)->Caption(), "Existing &Text Files...");
  EXPECT_EQ(GetMethodProp(open->Items(0), GetPropInfo(open->Items(0), "OnClick")).Name, "TextFiles1Click");
}
