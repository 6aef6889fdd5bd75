#include "platform/vcl/dialogs.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/vcl/charsets.h"
#include "platform/vcl/classbuilder.h"
#include "platform/vcl/forms.h"

namespace quintrel::vcl {

namespace {

PTypeInfo Bool() { return StandardType("Boolean"); }
PTypeInfo Int() { return StandardType("Integer"); }

PTypeInfo OpenOptionsType() {
  static PTypeInfo t = SetType(
      "TOpenOptions",
      EnumType("TOpenOption",
               {"ofReadOnly", "ofOverwritePrompt", "ofHideReadOnly", "ofNoChangeDir", "ofShowHelp", "ofNoValidate",
                "ofAllowMultiSelect", "ofExtensionDifferent", "ofPathMustExist", "ofFileMustExist", "ofCreatePrompt",
                "ofShareAware", "ofNoReadOnlyReturn", "ofNoTestFileCreate", "ofNoNetworkButton", "ofNoLongNames",
                "ofOldStyleDialog", "ofNoDereferenceLinks", "ofEnableIncludeNotify", "ofEnableSizing",
                "ofDontAddToRecent", "ofForceShowHidden"}));
  return t;
}

PTypeInfo FindOptionsType() {
  static PTypeInfo t = SetType(
      "TFindOptions",
      EnumType("TFindOption", {"frDown", "frFindNext", "frHideMatchCase", "frHideWholeWord", "frHideUpDown",
                               "frMatchCase", "frDisableMatchCase", "frDisableUpDown", "frDisableWholeWord",
                               "frReplace", "frReplaceAll", "frWholeWord", "frShowHelp"}));
  return t;
}

}  // namespace

const TMetaClass& TCommonDialog::StaticClass() {
  return DefineClass<TCommonDialog>("TCommonDialog", TComponent::StaticClass(), [](TClassBuilder<TCommonDialog>& b) {
    b.Bag("Ctl3D", Bool(), 1);
    b.Bag("HelpContext", IntegerType("THelpContext"), 0);
    b.Events({"OnClose", "OnShow"});
  });
}

const TMetaClass& TOpenDialog::StaticClass() {
  return DefineClass<TOpenDialog>("TOpenDialog", TCommonDialog::StaticClass(), [](TClassBuilder<TOpenDialog>& b) {
    b.BagStr("DefaultExt");
    b.BagStr("FileName", StringType("TFileName"));
    b.BagStr("Filter");
    b.Bag("FilterIndex", Int(), 1);
    b.BagStr("InitialDir");
    b.Bag("Options", OpenOptionsType(), (1 << 2) | (1 << 19));
    b.BagStr("Title");
    b.Events({"OnCanClose", "OnFolderChange", "OnSelectionChange", "OnTypeChange"});
  });
}

const TMetaClass& TSaveDialog::StaticClass() {
  return DefineClass<TSaveDialog>("TSaveDialog", TOpenDialog::StaticClass());
}
const TMetaClass& TOpenPictureDialog::StaticClass() {
  return DefineClass<TOpenPictureDialog>("TOpenPictureDialog", TOpenDialog::StaticClass());
}
const TMetaClass& TSavePictureDialog::StaticClass() {
  return DefineClass<TSavePictureDialog>("TSavePictureDialog", TOpenPictureDialog::StaticClass());
}

const TMetaClass& TFontDialog::StaticClass() {
  return DefineClass<TFontDialog>("TFontDialog", TCommonDialog::StaticClass(), [](TClassBuilder<TFontDialog>& b) {
    b.Bag("Device", EnumType("TFontDialogDevice", {"fdScreen", "fdPrinter", "fdBoth"}), 0);
    b.Obj("Font", &TFontDialog::Font);
    b.Bag("MaxFontSize", Int(), 0);
    b.Bag("MinFontSize", Int(), 0);
    b.Bag("Options",
          SetType("TFontDialogOptions",
                  EnumType("TFontDialogOption", {"fdAnsiOnly", "fdTrueTypeOnly", "fdEffects", "fdFixedPitchOnly",
                                                 "fdForceFontExist", "fdNoFaceSel", "fdNoOEMFonts", "fdNoSimulations",
                                                 "fdNoSizeSel", "fdNoStyleSel", "fdNoVectorFonts", "fdShowHelp",
                                                 "fdWysiwyg", "fdLimitSize", "fdScalableOnly", "fdApplyButton"})),
          1 << 2);
    b.Event("OnApply", "TFDApplyEvent");
  });
}

const TMetaClass& TColorDialog::StaticClass() {
  return DefineClass<TColorDialog>("TColorDialog", TCommonDialog::StaticClass(), [](TClassBuilder<TColorDialog>& b) {
    b.Bag("Color", ColorType(), clBlack);
    b.Obj("CustomColors", &TColorDialog::CustomColors);
    b.Bag("Options",
          SetType("TColorDialogOptions", EnumType("TColorDialogOption", {"cdFullOpen", "cdPreventFullOpen",
                                                                         "cdShowHelp", "cdSolidColor", "cdAnyColor"})),
          0);
  });
}

const TMetaClass& TPrintDialog::StaticClass() {
  return DefineClass<TPrintDialog>("TPrintDialog", TCommonDialog::StaticClass(), [](TClassBuilder<TPrintDialog>& b) {
    b.Bag("Collate", Bool(), 0);
    b.Bag("Copies", Int(), 0);
    b.Bag("FromPage", Int(), 0);
    b.Bag("MaxPage", Int(), 0);
    b.Bag("MinPage", Int(), 0);
    b.Bag("Options",
          SetType("TPrintDialogOptions", EnumType("TPrintDialogOption", {"poPrintToFile", "poPageNums", "poSelection",
                                                                         "poWarning", "poHelp", "poDisablePrintToFile"})),
          0);
    b.Bag("PrintRange", EnumType("TPrintRange", {"prAllPages", "prSelection", "prPageNums"}), 0);
    b.Bag("PrintToFile", Bool(), 0);
    b.Bag("ToPage", Int(), 0);
  });
}

const TMetaClass& TPrinterSetupDialog::StaticClass() {
  return DefineClass<TPrinterSetupDialog>("TPrinterSetupDialog", TCommonDialog::StaticClass());
}
const TMetaClass& TPrintSetupDialog::StaticClass() {
  return DefineClass<TPrintSetupDialog>("TPrintSetupDialog", TPrinterSetupDialog::StaticClass());
}

const TMetaClass& TFindDialog::StaticClass() {
  return DefineClass<TFindDialog>("TFindDialog", TCommonDialog::StaticClass(), [](TClassBuilder<TFindDialog>& b) {
    b.BagStr("FindText");
    b.Bag("Options", FindOptionsType(), 1);
    b.Event("OnFind");
  });
}

const TMetaClass& TReplaceDialog::StaticClass() {
  return DefineClass<TReplaceDialog>("TReplaceDialog", TFindDialog::StaticClass(), [](TClassBuilder<TReplaceDialog>& b) {
    b.BagStr("ReplaceText");
    b.Event("OnReplace");
  });
}

}  // namespace quintrel::vcl

// --- execution ---------------------------------------------------------------------------

namespace quintrel::vcl {

namespace {

namespace W = quintrel::win32;

// The dialogs whose windows exist, by window.
std::vector<std::pair<W::HWND, TCommonDialog*>>& ShownDialogs() {
  static std::vector<std::pair<W::HWND, TCommonDialog*>> shown;
  return shown;
}

TCommonDialog* ShownDialog(W::HWND window) {
  for (const auto& [w, d] : ShownDialogs())
    if (w == window) return d;
  return nullptr;
}

std::vector<std::pair<const TMetaClass*, TCommonDialog::TMessageHookEntry>>& HookSlots() {
  static std::vector<std::pair<const TMetaClass*, TCommonDialog::TMessageHookEntry>> slots;
  return slots;
}

// The entry every class has until it is replaced: the class's own MessageHook.
bool OwnMessageHook(TCommonDialog& dialog, TMessage& message) { return dialog.MessageHook(message); }

std::u16string Wide(const std::string& text) { return AnsiCodec().ToWide(text); }
std::string Narrow(const std::u16string& text) { return AnsiCodec().ToNarrow(text); }

void SetItem(W::HWND dialog, int id, const std::string& text) { W::SetDlgItemText(dialog, id, Wide(text)); }
std::string Item(W::HWND dialog, int id) { return Narrow(W::GetDlgItemText(dialog, id)); }

void SetCheck(W::HWND dialog, int id, bool on) { W::CheckDlgButton(dialog, id, on ? W::BST_CHECKED : W::BST_UNCHECKED); }
bool Checked(W::HWND dialog, int id) { return W::IsDlgButtonChecked(dialog, id) == W::BST_CHECKED; }

// A whole number from a control, or `fallback` when it holds none.
int Number(W::HWND dialog, int id, int fallback) {
  std::string text = Item(dialog, id);
  try {
    size_t used = 0;
    int value = std::stoi(text, &used);
    return used == text.size() ? value : fallback;
  } catch (const std::exception&) {
    return fallback;
  }
}

// Option bits of the published Options sets.
enum : int { ofReadOnly = 0, ofHideReadOnly = 2, ofShowHelp = 4 };
enum : int { fdEffects = 2, fdShowHelp = 11, fdApplyButton = 15 };
enum : int { cdFullOpen = 0, cdShowHelp = 2 };
enum : int { poPrintToFile = 0, poHelp = 4 };
enum : int {
  frDown = 0, frFindNext = 1, frHideMatchCase = 2, frHideWholeWord = 3, frHideUpDown = 4, frMatchCase = 5,
  frReplace = 9, frReplaceAll = 10, frWholeWord = 11, frShowHelp = 12
};

}  // namespace

TCommonDialog::~TCommonDialog() {
  if (W::IsWindow(handle_)) W::DestroyWindow(handle_);
  std::erase_if(ShownDialogs(), [this](const auto& e) { return e.second == this; });
}

bool TCommonDialog::MessageHook(TMessage&) { return false; }

TCommonDialog::TMessageHookEntry TCommonDialog::ClassMessageHook(const TMetaClass& cls) {
  for (const auto& [c, entry] : HookSlots())
    if (c == &cls) return entry;
  return &OwnMessageHook;
}

TCommonDialog::TMessageHookEntry TCommonDialog::SetClassMessageHook(const TMetaClass& cls, TMessageHookEntry entry) {
  TMessageHookEntry displaced = ClassMessageHook(cls);
  auto& slots = HookSlots();
  std::erase_if(slots, [&cls](const auto& e) { return e.first == &cls; });
  auto* target = entry.target<bool (*)(TCommonDialog&, TMessage&)>();
  bool own = !entry || (target && *target == &OwnMessageHook);
  if (!own) slots.emplace_back(&cls, std::move(entry));
  return displaced;
}

bool TCommonDialog::HasOwnMessageHook(const TMetaClass& cls) {
  for (const auto& e : HookSlots())
    if (e.first == &cls) return false;
  return true;
}

bool TCommonDialog::DispatchMessageHook(TMessage& message) {
  TMessageHookEntry entry = ClassMessageHook(ClassType());
  return entry && entry(*this, message);
}

int64_t TCommonDialog::Options() const {
  PPropInfo options = GetPropInfo(this, "Options");
  return options && options->PropType->Kind == tkSet ? GetOrdProp(this, options) : 0;
}

bool TCommonDialog::ShowsHelp() const {
  if (ClassType().InheritsFrom(&TOpenDialog::StaticClass())) return HasOption(ofShowHelp);
  if (ClassType().InheritsFrom(&TFontDialog::StaticClass())) return HasOption(fdShowHelp);
  if (ClassType().InheritsFrom(&TColorDialog::StaticClass())) return HasOption(cdShowHelp);
  if (ClassType().InheritsFrom(&TPrintDialog::StaticClass())) return HasOption(poHelp);
  if (ClassType().InheritsFrom(&TFindDialog::StaticClass())) return HasOption(frShowHelp);
  return false;
}

void TCommonDialog::ShowItem(W::TDialogTemplate& t, W::WORD id, bool show) {
  for (W::TDialogItem& item : t.items)
    if (item.id == id) item.style = show ? (item.style | W::WS_VISIBLE) : (item.style & ~W::WS_VISIBLE);
}

std::u16string TCommonDialog::DialogCaption() const {
  auto kind = DialogKind();
  return kind ? W::CommonDialogTemplate(*kind).caption : std::u16string();
}

std::optional<W::TDialogTemplate> TCommonDialog::DialogTemplate() const {
  auto kind = DialogKind();
  if (!kind) return std::nullopt;
  W::TDialogTemplate t = W::CommonDialogTemplate(*kind);
  t.caption = DialogCaption();
  ShowItem(t, W::pshHelp, ShowsHelp());
  AdjustTemplate(t);
  return t;
}

bool TCommonDialog::Execute() {
  std::optional<W::TDialogTemplate> t = DialogTemplate();
  if (!t || handle_) return false;
  TApplication& app = Application();
  W::HWND owner = app.Handle();
  int key = app.HookMainWindow([this](TMessage& m) { return DispatchMessageHook(m); });
  struct TUnhook {
    int key;
    ~TUnhook() { Application().UnhookMainWindow(key); }
  } unhook{key};
  W::INT_PTR result =
      W::DialogBoxIndirectParam(W::HINSTANCE{}, *t, owner, &TCommonDialog::DialogProc, reinterpret_cast<W::LPARAM>(this));
  return result == W::IDOK;
}

W::INT_PTR TCommonDialog::DialogProc(W::HWND dialog, W::UINT message, W::WPARAM wParam, W::LPARAM lParam) {
  if (message == W::WM_INITDIALOG) {
    auto* self = reinterpret_cast<TCommonDialog*>(lParam);
    if (!self) return 0;
    ShownDialogs().emplace_back(dialog, self);
    self->handle_ = dialog;
    self->InitDialog(dialog);
    return 1;
  }
  TCommonDialog* self = ShownDialog(dialog);
  if (!self) return 0;
  switch (message) {
    case W::WM_COMMAND: {
      int id = W::LOWORD(wParam);
      if (id == W::IDOK) {
        self->Confirmed(dialog);
        if (!self->modeless_) W::EndDialog(dialog, W::IDOK);
        return 1;
      }
      if (id == W::IDCANCEL) {
        if (auto* find = dynamic_cast<TFindDialog*>(self); find && self->modeless_)
          find->CloseDialog();
        else
          W::EndDialog(dialog, W::IDCANCEL);
        return 1;
      }
      return self->Command(dialog, id) ? 1 : 0;
    }
    case W::WM_NCDESTROY:
      self->handle_ = {};
      std::erase_if(ShownDialogs(), [dialog](const auto& e) { return e.first == dialog; });
      return 0;
    default:
      return 0;
  }
}

// --- the file dialogs ------------------------------------------------------------------------

std::u16string TOpenDialog::DialogCaption() const {
  std::string title = GetStrProp(this, "Title");
  return title.empty() ? TCommonDialog::DialogCaption() : Wide(title);
}

void TOpenDialog::AdjustTemplate(W::TDialogTemplate& t) const {
  if (HasOption(ofHideReadOnly)) ShowItem(t, W::chx1, false);
}

void TOpenDialog::InitDialog(W::HWND dialog) {
  SetItem(dialog, W::edt1, GetStrProp(this, "FileName"));
  SetCheck(dialog, W::chx1, HasOption(ofReadOnly));
  // The filter's descriptions: "Text files|*.txt|All|*" lists "Text files" and "All";
  // the combo box shows the one FilterIndex (from 1) selects.
  std::string filter = GetStrProp(this, "Filter");
  std::vector<std::string> parts;
  for (size_t start = 0;;) {
    size_t bar = filter.find('|', start);
    parts.push_back(filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  int64_t index = GetOrdProp(this, "FilterIndex");
  size_t at = index >= 1 ? static_cast<size_t>(index - 1) * 2 : 0;
  if (!filter.empty() && at < parts.size()) SetItem(dialog, W::cmb1, parts[at]);
}

void TOpenDialog::Confirmed(W::HWND dialog) {
  SetStrProp(this, "FileName", Item(dialog, W::edt1));
  int64_t options = Options() & ~(int64_t{1} << ofReadOnly);
  if (Checked(dialog, W::chx1)) options |= int64_t{1} << ofReadOnly;
  SetOrdProp(this, "Options", options);
}

// --- font, colour and print dialogs ----------------------------------------------------------

void TFontDialog::AdjustTemplate(W::TDialogTemplate& t) const {
  ShowItem(t, W::psh3, HasOption(fdApplyButton));
  bool effects = HasOption(fdEffects);
  for (W::WORD id : {W::grp1, W::chx1, W::chx2, W::stc4, W::cmb4}) ShowItem(t, id, effects);
}

void TFontDialog::InitDialog(W::HWND dialog) {
  SetItem(dialog, W::cmb1, font_->Name());
  SetItem(dialog, W::cmb3, std::to_string(font_->Size()));
  SetCheck(dialog, W::chx1, font_->Style() & (1u << fsStrikeOut));
  SetCheck(dialog, W::chx2, font_->Style() & (1u << fsUnderline));
}

void TFontDialog::Confirmed(W::HWND dialog) {
  std::string name = Item(dialog, W::cmb1);
  if (!name.empty()) font_->SetName(name);
  int size = Number(dialog, W::cmb3, font_->Size());
  if (size > 0) font_->SetSize(size);
  TFontStyles style = font_->Style() & ~((1u << fsStrikeOut) | (1u << fsUnderline));
  if (Checked(dialog, W::chx1)) style |= 1u << fsStrikeOut;
  if (Checked(dialog, W::chx2)) style |= 1u << fsUnderline;
  font_->SetStyle(style);
}

void TColorDialog::AdjustTemplate(W::TDialogTemplate& t) const {
  if (!HasOption(cdFullOpen)) return;
  // Fully open from the start: the mixer half is shown and the dialog wide enough for it.
  for (W::TDialogItem& item : t.items)
    if (item.x >= 150 && item.id != W::COLOR_SOLID) item.style |= W::WS_VISIBLE;
  ShowItem(t, W::COLOR_MIX, false);
  t.cx = 300;
}

void TPrintDialog::InitDialog(W::HWND dialog) {
  SetItem(dialog, W::edt1, std::to_string(GetOrdProp(this, "FromPage")));
  SetItem(dialog, W::edt2, std::to_string(GetOrdProp(this, "ToPage")));
  SetItem(dialog, W::edt3, std::to_string(std::max<int64_t>(1, GetOrdProp(this, "Copies"))));
  SetCheck(dialog, W::chx1, GetOrdProp(this, "PrintToFile") != 0);
  SetCheck(dialog, W::chx2, GetOrdProp(this, "Collate") != 0);
}

void TPrintDialog::Confirmed(W::HWND dialog) {
  SetOrdProp(this, "FromPage", Number(dialog, W::edt1, static_cast<int>(GetOrdProp(this, "FromPage"))));
  SetOrdProp(this, "ToPage", Number(dialog, W::edt2, static_cast<int>(GetOrdProp(this, "ToPage"))));
  SetOrdProp(this, "Copies", Number(dialog, W::edt3, static_cast<int>(GetOrdProp(this, "Copies"))));
  SetOrdProp(this, "PrintToFile", Checked(dialog, W::chx1) ? 1 : 0);
  SetOrdProp(this, "Collate", Checked(dialog, W::chx2) ? 1 : 0);
}

// --- find and replace ------------------------------------------------------------------------

namespace {

// The find dialogs whose owner window exists, by window; the newest open slot is the one
// whose window is being created.
std::vector<std::pair<W::HWND, TFindDialog*>>& FindOwners() {
  static std::vector<std::pair<W::HWND, TFindDialog*>> owners;
  return owners;
}

}  // namespace

TFindDialog::~TFindDialog() { CloseDialog(); }

W::LRESULT TFindDialog::OwnerProcedure(W::HWND window, W::UINT message, W::WPARAM wParam, W::LPARAM lParam) {
  auto& owners = FindOwners();
  TFindDialog* self = nullptr;
  for (auto& e : owners)
    if (e.first == window) self = e.second;
  if (!self)  // being created: the newest open slot is its dialog
    for (auto it = owners.rbegin(); it != owners.rend(); ++it)
      if (!it->first) {
        it->first = window;
        self = it->second;
        break;
      }
  if (message == W::WM_NCDESTROY) std::erase_if(owners, [window](const auto& e) { return e.first == window; });
  if (self) {
    TMessage m{message, wParam, lParam, 0};
    if (self->DispatchMessageHook(m)) return m.Result;
  }
  return W::DefWindowProc(window, message, wParam, lParam);
}

bool TFindDialog::Execute() {
  if (W::IsWindow(handle_)) {
    W::ShowWindow(handle_, W::SW_SHOW);
    W::SetActiveWindow(handle_);
    return true;
  }
  std::optional<W::TDialogTemplate> t = DialogTemplate();
  if (!t) return false;
  CloseDialog();
  modeless_ = true;
  static const bool registered = [] {
    W::WNDCLASSW wc;
    wc.lpfnWndProc = &TFindDialog::OwnerProcedure;
    wc.lpszClassName = u"TRedirectorWindow";
    return W::RegisterClass(wc) != 0;
  }();
  if (!registered) return false;
  FindOwners().emplace_back(W::HWND{}, this);
  owner_ = W::CreateWindowEx(0, u"TRedirectorWindow", u"", W::WS_POPUP, 0, 0, 0, 0, Application().Handle(), W::HMENU{},
                             W::HINSTANCE{}, nullptr);
  std::erase_if(FindOwners(), [this](const auto& e) { return e.second == this && !e.first; });
  if (!owner_) return false;
  // The owner window holds the focus until the dialog takes it.
  W::SetFocus(owner_);
  W::HWND dialog = W::CreateDialogIndirectParam(W::HINSTANCE{}, *t, owner_, &TCommonDialog::DialogProc,
                                                reinterpret_cast<W::LPARAM>(static_cast<TCommonDialog*>(this)));
  if (!dialog) {
    CloseDialog();
    return false;
  }
  W::ShowWindow(dialog, W::SW_SHOW);
  if (W::IsWindow(dialog)) {
    W::HDC dc = W::GetDC(dialog);
    W::SendMessage(dialog, W::WM_CTLCOLORDLG, static_cast<W::WPARAM>(dc), static_cast<W::LPARAM>(static_cast<uintptr_t>(dialog)));
    W::ReleaseDC(dialog, dc);
  }
  // Shown, even when something closed it again at once.
  return true;
}

void TFindDialog::CloseDialog() {
  // The dialog goes with its owner window.
  W::HWND owner = std::exchange(owner_, W::HWND{});
  if (W::IsWindow(owner)) W::DestroyWindow(owner);
  if (W::IsWindow(handle_)) W::DestroyWindow(handle_);
  handle_ = {};
}

void TFindDialog::AdjustTemplate(W::TDialogTemplate& t) const {
  if (HasOption(frHideMatchCase)) ShowItem(t, W::chx2, false);
  if (HasOption(frHideWholeWord)) ShowItem(t, W::chx1, false);
  if (HasOption(frHideUpDown))
    for (W::WORD id : {W::grp1, W::rad1, W::rad2}) ShowItem(t, id, false);
}

void TFindDialog::InitDialog(W::HWND dialog) {
  SetItem(dialog, W::edt1, GetStrProp(this, "FindText"));
  SetCheck(dialog, W::chx1, HasOption(frWholeWord));
  SetCheck(dialog, W::chx2, HasOption(frMatchCase));
  SetCheck(dialog, HasOption(frDown) ? W::rad2 : W::rad1, true);
}

void TFindDialog::ReadControls(W::HWND dialog) {
  SetStrProp(this, "FindText", Item(dialog, W::edt1));
  int64_t options = Options() & ~((int64_t{1} << frWholeWord) | (int64_t{1} << frMatchCase) | (int64_t{1} << frDown) |
                                  (int64_t{1} << frReplace) | (int64_t{1} << frReplaceAll) | (int64_t{1} << frFindNext));
  if (Checked(dialog, W::chx1)) options |= int64_t{1} << frWholeWord;
  if (Checked(dialog, W::chx2)) options |= int64_t{1} << frMatchCase;
  if (!Checked(dialog, W::rad1)) options |= int64_t{1} << frDown;
  SetOrdProp(this, "Options", options);
}

void TFindDialog::Confirmed(W::HWND dialog) {
  ReadControls(dialog);
  SetOrdProp(this, "Options", Options() | (int64_t{1} << frFindNext));
  if (OnFindHandler) OnFindHandler(*this);
}

bool TFindDialog::Command(W::HWND, int) { return false; }

void TReplaceDialog::InitDialog(W::HWND dialog) {
  TFindDialog::InitDialog(dialog);
  SetItem(dialog, W::edt2, GetStrProp(this, "ReplaceText"));
}

void TReplaceDialog::ReadControls(W::HWND dialog) {
  TFindDialog::ReadControls(dialog);
  SetStrProp(this, "ReplaceText", Item(dialog, W::edt2));
}

bool TReplaceDialog::Command(W::HWND dialog, int id) {
  if (id != W::psh1 && id != W::psh2) return false;
  ReadControls(dialog);
  SetOrdProp(this, "Options", Options() | (int64_t{1} << (id == W::psh1 ? frReplace : frReplaceAll)));
  if (OnReplaceHandler) OnReplaceHandler(*this);
  return true;
}

}  // namespace quintrel::vcl
