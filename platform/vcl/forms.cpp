#include "platform/vcl/forms.h"
#include "platform/vcl/textutil.h"

#include <unistd.h>

#include <algorithm>
#include <utility>
#include <climits>

#include "platform/vcl/charsets.h"
#include "platform/vcl/publish.h"
#include "platform/win32/menus.h"
#include "strings/vclconsts.h"

namespace quintrel::vcl {

namespace {

using rtl::Format;
namespace S = quintrel::strings;

TFormMessageHandler& ShowWindowSlot() {
  static TFormMessageHandler handler = [](TCustomForm& form, TMessage& m) { form.DefaultHandler(m); };
  return handler;
}

TFormMessageHandler& SysCommandSlot() {
  static TFormMessageHandler handler = [](TCustomForm& form, TMessage& m) { form.DefaultHandler(m); };
  return handler;
}

// Appends the items of a menu item to a window-manager menu, drop-downs included.
void AppendItems(win32::HMENU menu, const TMenuItem& parent) {
  for (int i = 0; i < parent.Count(); ++i) {
    const TMenuItem* item = parent.Items(i);
    if (!item->Visible()) continue;
    std::u16string caption = AnsiCodec().ToWide(item->Caption());
    if (item->IsLine()) {
      win32::AppendMenu(menu, win32::MF_SEPARATOR, 0);
      continue;
    }
    win32::UINT flags = win32::MF_STRING;
    if (item->Checked()) flags |= win32::MF_CHECKED;
    if (!item->Enabled()) flags |= win32::MF_GRAYED;
    if (item->Count() > 0) {
      win32::HMENU popup = win32::CreatePopupMenu();
      AppendItems(popup, *item);
      win32::AppendMenu(menu, flags | win32::MF_POPUP, static_cast<win32::UINT_PTR>(popup), caption);
    } else {
      win32::AppendMenu(menu, flags, item->Command(), caption);
    }
  }
}

}  // namespace

const TMetaClass& TScrollingWinControl::StaticClass() {
  return DefineClass<TScrollingWinControl>("TScrollingWinControl", TWinControl::StaticClass());
}

const TMetaClass& TScrollBox::StaticClass() {
  return DefineClass<TScrollBox>("TScrollBox", TScrollingWinControl::StaticClass(), [](TClassBuilder<TScrollBox>& b) {
    PublishControl(b, pWindowed, true);
    b.Bag("AutoScroll", StandardType("Boolean"), 1);
    b.Bag("BorderStyle", EnumType("TBorderStyle", {"bsNone", "bsSingle"}), 1);
  });
}

// --- TCustomForm -----------------------------------------------------------------------

const TMetaClass& TCustomForm::StaticClass() {
  return DefineClass<TCustomForm>("TCustomForm", TScrollingWinControl::StaticClass(), [](TClassBuilder<TCustomForm>& b) {
    // The client size is what forms store; Width and Height follow from it.
    b.Default("Width", kNoDefault).NotStored();
    b.Default("Height", kNoDefault).NotStored();
    PublishControl(b, pWindowed & ~(pAlign | pTab | pVisible));
    b.Default("ParentFont", 0);
    b.BagRef("ActiveControl", TWinControl::StaticClass());
    b.Bag("AutoScroll", StandardType("Boolean"), 1);
    b.Ord("BorderIcons",
          SetType("TBorderIcons", EnumType("TBorderIcon", {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"})),
          &TCustomForm::BorderIcons, &TCustomForm::SetBorderIcons, 7);
    b.Ord("BorderStyle",
          EnumType("TFormBorderStyle", {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"}),
          &TCustomForm::BorderStyle, &TCustomForm::SetBorderStyle, bsSizeable);
    b.Str("Caption", CaptionType(), &TControl::Caption, &TControl::SetCaption);
    b.Ord("ClientHeight", StandardType("Integer"), &TCustomForm::FormClientHeight, &TCustomForm::SetFormClientHeight);
    b.Ord("ClientWidth", StandardType("Integer"), &TCustomForm::FormClientWidth, &TCustomForm::SetFormClientWidth);
    b.Ord("FormStyle", EnumType("TFormStyle", {"fsNormal", "fsMDIChild", "fsMDIForm", "fsStayOnTop"}),
          &TCustomForm::FormStyle, &TCustomForm::SetFormStyle, fsNormal);
    b.BagStr("HelpFile");
    b.Obj("Icon", &TCustomForm::Icon);
    b.Bag("KeyPreview", StandardType("Boolean"), 0);
    b.BagRef("Menu", TMainMenu::StaticClass());
    b.BagNoDefault("OldCreateOrder", StandardType("Boolean"), 0);
    b.Ord("PixelsPerInch", StandardType("Integer"), &TCustomForm::PixelsPerInch, &TCustomForm::SetPixelsPerInch);
    b.Bag("Position",
          EnumType("TPosition", {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter",
                                 "poDesktopCenter", "poMainFormCenter", "poOwnerFormCenter"}),
          poDesigned);
    b.Bag("Scaled", StandardType("Boolean"), 1);
    b.BagNoDefault("TextHeight", StandardType("Integer"), 13);
    b.Ord("Visible", StandardType("Boolean"), &TControl::Visible, &TControl::SetVisible, 0);
    b.Bag("WindowState", EnumType("TWindowState", {"wsNormal", "wsMinimized", "wsMaximized"}), wsNormal);
    b.Events({"OnActivate", "OnCreate", "OnDeactivate", "OnDestroy", "OnHide", "OnPaint", "OnResize", "OnShow"});
    b.Event("OnClose", "TCloseEvent");
    b.Event("OnCloseQuery", "TCloseQueryEvent");
  });
}

TCustomForm::TCustomForm() : icon_(std::make_unique<TIcon>()) {
  TControl::SetVisible(false);
  SetParentFont(false);
  SetColor(clBtnFace);
  SetBounds(0, 0, 320, 240);
  Screen().forms_.push_back(this);
}

TCustomForm::~TCustomForm() {
  std::erase(Screen().forms_, this);
  if (Application().MainForm() == this) Application().SetMainForm(nullptr);
}

TMainMenu* TCustomForm::Menu() const {
  PPropInfo p = TCustomForm::StaticClass().FindProperty("Menu");
  const auto* o = std::get_if<TObject*>(&BagValue(p));
  return o ? dynamic_cast<TMainMenu*>(*o) : nullptr;
}

void TCustomForm::SetMenu(TMainMenu* menu) {
  SetBagValue(TCustomForm::StaticClass().FindProperty("Menu"), static_cast<TObject*>(menu));
  RebuildMenuBar();
}

void TCustomForm::SetVisible(bool visible) {
  if (visible == Visible()) return;
  // A form read from a stream shows once it is loaded, not while.
  if (visible && !InState(csLoading)) Handle();
  TScrollingWinControl::SetVisible(visible);
  if (visible) Screen().Activate(this);
}

win32::HMENU TCustomForm::SystemMenu() { return win32::GetSystemMenu(Handle(), 0); }

void TCustomForm::RebuildMenuBar() {
  if (!HandleAllocated()) return;
  win32::HMENU old = win32::GetMenu(Handle());
  win32::HMENU bar{};
  if (TMainMenu* menu = Menu()) {
    bar = win32::CreateMenu();
    AppendItems(bar, *menu->Items());
  }
  win32::SetMenu(Handle(), bar);
  if (old) win32::DestroyMenu(old);
  win32::DrawMenuBar(Handle());
}

void TCustomForm::CreateParams(TCreateParams& params) const {
  TScrollingWinControl::CreateParams(params);
  params.Style &= ~win32::WS_VISIBLE;  // shown by SetVisible, which sends WM_SHOWWINDOW
  if (borderStyle_ != bsNone) params.Style |= win32::WS_CAPTION;
  if (borderStyle_ == bsSizeable || borderStyle_ == bsSizeToolWin) params.Style |= win32::WS_THICKFRAME;
  if (borderIcons_ & (1u << biSystemMenu)) params.Style |= win32::WS_SYSMENU;
  if (borderIcons_ & (1u << biMinimize)) params.Style |= win32::WS_MINIMIZEBOX;
  if (borderIcons_ & (1u << biMaximize)) params.Style |= win32::WS_MAXIMIZEBOX;
  if (borderStyle_ == bsToolWindow || borderStyle_ == bsSizeToolWin) params.ExStyle |= win32::WS_EX_TOOLWINDOW;
  if (formStyle_ == fsMDIChild) params.ExStyle |= win32::WS_EX_MDICHILD;
  if (formStyle_ == fsStayOnTop) params.ExStyle |= win32::WS_EX_TOPMOST;
}

void TCustomForm::HandleCreated() {
  if (Menu()) RebuildMenuBar();
}

void TCustomForm::WndProc(TMessage& message) {
  if (message.Msg == win32::WM_SHOWWINDOW || message.Msg == win32::WM_SYSCOMMAND)
    Dispatch(message);
  else
    TScrollingWinControl::WndProc(message);
}

void TCustomForm::Dispatch(TMessage& message) {
  if (message.Msg == win32::WM_SHOWWINDOW && ShowWindowSlot()) ShowWindowSlot()(*this, message);
  else if (message.Msg == win32::WM_SYSCOMMAND && SysCommandSlot()) SysCommandSlot()(*this, message);
  else DefaultHandler(message);
}

TFormMessageHandler TCustomForm::ShowWindowHandler() { return ShowWindowSlot(); }
TFormMessageHandler TCustomForm::SetShowWindowHandler(TFormMessageHandler handler) {
  return std::exchange(ShowWindowSlot(), std::move(handler));
}
TFormMessageHandler TCustomForm::SysCommandHandler() { return SysCommandSlot(); }
TFormMessageHandler TCustomForm::SetSysCommandHandler(TFormMessageHandler handler) {
  return std::exchange(SysCommandSlot(), std::move(handler));
}

void TCustomForm::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) const {
  // Components without a parent first (menus, dialogs, timers), then the controls.
  if (root == this)
    for (int i = 0; i < ComponentCount(); ++i)
      if (!Components(i)->HasParent()) proc(Components(i));
  TScrollingWinControl::GetChildren(proc, root);
}

// The frame around the client area is what the window manager gives a window of the
// form's styles (AdjustWindowRectEx, from the system metrics), so ClientWidth and
// ClientHeight agree with GetClientRect of the form's window, also after the metrics
// change.
win32::RECT TCustomForm::FrameInsets() const {
  TCreateParams params;
  CreateParams(params);
  win32::RECT r{};
  win32::AdjustWindowRectEx(r, params.Style, Menu() ? 1 : 0, params.ExStyle);
  return r;
}

int TCustomForm::NonClientWidth() const {
  win32::RECT r = FrameInsets();
  return r.right - r.left;
}

int TCustomForm::NonClientHeight() const {
  win32::RECT r = FrameInsets();
  return r.bottom - r.top;
}

int TCustomForm::FormClientWidth() const { return pendingClientWidth_ ? *pendingClientWidth_ : ClientWidth(); }
int TCustomForm::FormClientHeight() const { return pendingClientHeight_ ? *pendingClientHeight_ : ClientHeight(); }

// While a stream is read the frame is not known yet (the border style or the menu may
// follow the client size), so the client size waits for Loaded.
void TCustomForm::SetFormClientWidth(int v) {
  if (InState(csLoading))
    pendingClientWidth_ = v;
  else
    SetClientWidth(v);
}

void TCustomForm::SetFormClientHeight(int v) {
  if (InState(csLoading))
    pendingClientHeight_ = v;
  else
    SetClientHeight(v);
}

void TCustomForm::Loaded() {
  // Still loading: the new size does not realign the controls, which keep the bounds
  // their stream gives.
  if (auto w = std::exchange(pendingClientWidth_, std::nullopt)) SetClientWidth(*w);
  if (auto h = std::exchange(pendingClientHeight_, std::nullopt)) SetClientHeight(*h);
  TScrollingWinControl::Loaded();
}

const TMetaClass& TForm::StaticClass() { return DefineClass<TForm>("TForm", TCustomForm::StaticClass()); }

// --- TDataModule -----------------------------------------------------------------------

const TMetaClass& TDataModule::StaticClass() {
  return DefineClass<TDataModule>("TDataModule", TComponent::StaticClass(), [](TClassBuilder<TDataModule>& b) {
    b.BagNoDefault("OldCreateOrder", StandardType("Boolean"), 0);
    b.Events({"OnCreate", "OnDestroy"});
  });
}

TDataModule::TDataModule() { Screen().dataModules_.push_back(this); }
TDataModule::~TDataModule() { std::erase(Screen().dataModules_, this); }

void TDataModule::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) const {
  for (int i = 0; i < ComponentCount(); ++i)
    if (!Components(i)->HasParent() && Components(i)->Owner() == root) proc(Components(i));
}

bool TDataModule::ReadDefined(std::string_view name, const TStreamValue& value, const TFilerContext& ctx) {
  if (!value.IsInteger() || value.Int < INT_MIN || value.Int > INT_MAX) return TComponent::ReadDefined(name, value, ctx);
  int v = static_cast<int>(value.Int);
  if (SameText(name, "Left")) left_ = v;
  else if (SameText(name, "Top")) top_ = v;
  else if (SameText(name, "Width")) width_ = v;
  else if (SameText(name, "Height")) height_ = v;
  else return TComponent::ReadDefined(name, value, ctx);
  return true;
}

std::vector<std::string> TDataModule::DefinedNames() const { return {"Left", "Top", "Height", "Width"}; }

std::optional<TStreamValue> TDataModule::WriteDefined(std::string_view name, const TStreamValue*,
                                                      const TFilerContext&) const {
  if (SameText(name, "Left")) return TStreamValue::Integer(left_);
  if (SameText(name, "Top")) return TStreamValue::Integer(top_);
  if (SameText(name, "Width")) return TStreamValue::Integer(width_);
  if (SameText(name, "Height")) return TStreamValue::Integer(height_);
  return std::nullopt;
}

// --- frames ----------------------------------------------------------------------------

const TMetaClass& TCustomFrame::StaticClass() {
  return DefineClass<TCustomFrame>("TCustomFrame", TScrollingWinControl::StaticClass());
}

void TCustomFrame::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) const {
  TScrollingWinControl::GetChildren(proc, root);
  if (root == this)
    for (int i = 0; i < ComponentCount(); ++i)
      if (!Components(i)->HasParent()) proc(Components(i));
}

const TMetaClass& TFrame::StaticClass() {
  return DefineClass<TFrame>("TFrame", TCustomFrame::StaticClass(), [](TClassBuilder<TFrame>& b) {
    PublishControl(b, pWindowed, true);
    b.Bag("AutoScroll", StandardType("Boolean"), 1);
  });
}

// --- screen and application ------------------------------------------------------------

TCustomForm* TScreen::Forms(int index) const {
  if (index < 0 || index >= FormCount()) throw EListError(Format(S::_SListIndexError, index));
  return forms_[static_cast<size_t>(index)];
}

TDataModule* TScreen::DataModules(int index) const {
  if (index < 0 || index >= DataModuleCount()) throw EListError(Format(S::_SListIndexError, index));
  return dataModules_[static_cast<size_t>(index)];
}

void TScreen::Activate(TCustomForm* form) {
  auto it = std::find(forms_.begin(), forms_.end(), form);
  if (it == forms_.end()) return;
  forms_.erase(it);
  forms_.insert(forms_.begin(), form);
}

TScreen& Screen() {
  static TScreen screen;
  return screen;
}

std::string TApplication::ExeName() const {
  if (!exeName_.empty()) return exeName_;
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

void TApplication::ProcessMessages() {
  // Posted window messages first, then queued work; what either posts or queues while
  // running waits for the next call.
  std::vector<win32::MSG> posted;
  for (win32::MSG m; win32::PeekMessage(m, win32::HWND{}, 0, 0, win32::PM_REMOVE);) posted.push_back(m);
  for (const auto& m : posted) {
    if (m.message == win32::WM_QUIT) terminated_ = true;
    win32::DispatchMessage(m);
  }
  std::vector<std::function<void()>> work = std::move(queue_);
  queue_.clear();
  for (auto& w : work) w();
}

win32::HWND TApplication::Handle() {
  if (win32::IsWindow(handle_)) return handle_;
  static const bool registered = [] {
    win32::WNDCLASSW wc;
    wc.lpfnWndProc = &TApplication::WindowProcedure;
    wc.lpszClassName = u"TApplication";
    return win32::RegisterClass(wc) != 0;
  }();
  if (!registered) return {};
  handle_ = win32::CreateWindowEx(0, u"TApplication", AnsiCodec().ToWide(title_),
                                  win32::WS_POPUP | win32::WS_CAPTION | win32::WS_CLIPSIBLINGS | win32::WS_SYSMENU |
                                      win32::WS_MINIMIZEBOX,
                                  0, 0, 0, 0, win32::HWND{}, win32::HMENU{}, win32::HINSTANCE{}, nullptr);
  return handle_;
}

int TApplication::HookMainWindow(TWindowHook hook) {
  hooks_.emplace_back(nextHookKey_, std::move(hook));
  return nextHookKey_++;
}

void TApplication::UnhookMainWindow(int key) {
  std::erase_if(hooks_, [key](const auto& entry) { return entry.first == key; });
}

win32::LRESULT TApplication::WindowProcedure(win32::HWND window, win32::UINT message, win32::WPARAM wParam,
                                             win32::LPARAM lParam) {
  TApplication& app = Application();
  TMessage m{message, wParam, lParam, 0};
  // A hook may remove itself or add others while it runs: walk a copy.
  auto hooks = app.hooks_;
  for (auto it = hooks.rbegin(); it != hooks.rend(); ++it)
    if (it->second && it->second(m)) return m.Result;
  return win32::DefWindowProc(window, message, wParam, lParam);
}

TApplication& Application() {
  static TApplication application;
  return application;
}

}  // namespace quintrel::vcl
