#include "platform/vcl/controls.h"

#include <algorithm>
#include <deque>
#include <utility>

#include "platform/vcl/publish.h"
#include "platform/vcl/textutil.h"
#include "strings/vclconsts.h"

namespace quintrel::vcl {

namespace {

using rtl::Format;
namespace S = quintrel::strings;

// The controls that own windows, by window.
std::vector<std::pair<win32::HWND, TWinControl*>>& WindowTable() {
  static std::vector<std::pair<win32::HWND, TWinControl*>> table;
  return table;
}

// Window classes are named after the control classes and registered on first use.
void EnsureWindowClass(const std::u16string& name, win32::WNDPROC procedure) {
  static std::deque<std::u16string> registered;
  if (std::find(registered.begin(), registered.end(), name) != registered.end()) return;
  registered.push_back(name);
  win32::WNDCLASSW wc;
  wc.lpfnWndProc = procedure;
  wc.lpszClassName = registered.back().c_str();
  win32::RegisterClass(wc);
}

std::u16string WindowText(const std::string& text) { return AnsiCodec().ToWide(text); }

// The smallest positive id no child of the window has.
int FreeControlID(win32::HWND parent) {
  std::vector<int> taken;
  for (win32::HWND c = win32::GetWindow(parent, win32::GW_CHILD); c; c = win32::GetWindow(c, win32::GW_HWNDNEXT))
    taken.push_back(win32::GetDlgCtrlID(c));
  std::sort(taken.begin(), taken.end());
  int id = 1;
  for (int t : taken)
    if (t == id) ++id;
  return id;
}

}  // namespace

PTypeInfo AlignType() {
  static PTypeInfo t =
      EnumType("TAlign", {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient", "alCustom"});
  return t;
}

PTypeInfo AnchorsType() {
  static PTypeInfo t = SetType("TAnchors", EnumType("TAnchorKind", {"akLeft", "akTop", "akRight", "akBottom"}));
  return t;
}

PTypeInfo BiDiModeType() {
  static PTypeInfo t =
      EnumType("TBiDiMode", {"bdLeftToRight", "bdRightToLeft", "bdRightToLeftNoAlign", "bdRightToLeftReadingOnly"});
  return t;
}

PTypeInfo CaptionType() {
  static PTypeInfo t = StringType("TCaption");
  return t;
}

// --- TControl --------------------------------------------------------------------------

const TMetaClass& TControl::StaticClass() {
  return DefineClass<TControl>("TControl", TComponent::StaticClass(), [](TClassBuilder<TControl>& b) {
    b.Ord("Left", StandardType("Integer"), &TControl::Left, &TControl::SetLeft);
    b.Ord("Top", StandardType("Integer"), &TControl::Top, &TControl::SetTop);
    b.Ord("Width", StandardType("Integer"), &TControl::Width, &TControl::SetWidth);
    b.Ord("Height", StandardType("Integer"), &TControl::Height, &TControl::SetHeight);
    b.Ord("Cursor", CursorType(), &TControl::Cursor, &TControl::SetCursor, 0);
    b.Str("Hint", StandardType("String"), &TControl::Hint, &TControl::SetHint);
    b.Ord("HelpContext", IntegerType("THelpContext"), &TControl::HelpContext, &TControl::SetHelpContext, 0);
  });
}

TControl::TControl() : font_(std::make_unique<TFont>()) {
  // A font changed on its own is no longer the parent's.
  font_->OnChange = [this](TFont&) {
    parentFont_ = false;
    FontChanged();
  };
}

TControl::~TControl() {
  if (parent_) SetParent(nullptr);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent == this) throw EComponentError(S::_SControlParentSelf);
  if (parent_) {
    // From the back: a form is torn down in reverse order, so the control is the last.
    auto& siblings = parent_->controls_;
    auto it = std::find(siblings.rbegin(), siblings.rend(), this);
    if (it != siblings.rend()) siblings.erase(std::next(it).base());
  }
  TWinControl* old = parent_;
  parent_ = parent;
  if (parent_) {
    parent_->controls_.push_back(this);
    ParentChanged();
    RequestAlign();
  }
  if (old && !old->BeingDestroyed()) old->Realign();
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (align_ != alNone) RequestAlign();
  if (auto* self = dynamic_cast<TWinControl*>(this)) {
    if (self->HandleAllocated()) win32::MoveWindow(self->handle_, left, top, width, height, 1);
    self->Realign();
  }
}

void TControl::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  RequestAlign();
}

void TControl::SetText(const std::string& text) { text_ = text; }

void TControl::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  if (auto* self = dynamic_cast<TWinControl*>(this); self && self->HandleAllocated())
    win32::EnableWindow(self->handle_, v ? 1 : 0);
}

void TControl::SetBiDiMode(TBiDiMode m) {
  if (m == biDiMode_) return;
  parentBiDiMode_ = false;
  biDiMode_ = m;
  BiDiModeChanged();
}

void TControl::SetParentFont(bool v) {
  parentFont_ = v;
  if (v) ParentChanged();
}

void TControl::SetParentColor(bool v) {
  parentColor_ = v;
  if (v) ParentChanged();
}

void TControl::SetParentBiDiMode(bool v) {
  parentBiDiMode_ = v;
  if (v) ParentChanged();
}

void TControl::SetVisible(bool v) {
  if (v == visible_) return;
  visible_ = v;
  if (auto* self = dynamic_cast<TWinControl*>(this); self && self->HandleAllocated())
    win32::ShowWindow(self->handle_, v ? win32::SW_SHOW : win32::SW_HIDE);
  RequestAlign();
}

TComponent* TControl::GetParentComponent() const { return parent_; }

void TControl::SetParentComponent(TComponent* parent) {
  if (auto* w = dynamic_cast<TWinControl*>(parent)) SetParent(w);
}

void TControl::Loaded() {
  TComponent::Loaded();
  ParentChanged();
}

void TControl::ParentChanged() {
  if (!parent_) return;
  if (parentFont_ && !font_->Equals(*parent_->Font())) {
    auto onChange = std::move(font_->OnChange);
    font_->OnChange = nullptr;
    font_->Assign(parent_->Font());
    font_->OnChange = std::move(onChange);
    FontChanged();
  }
  if (parentColor_) color_ = parent_->Color();
  if (parentShowHint_) showHint_ = parent_->ShowHint();
  if (parentBiDiMode_ && biDiMode_ != parent_->BiDiMode()) {
    biDiMode_ = parent_->BiDiMode();
    BiDiModeChanged();
  }
}

void TControl::RequestAlign() {
  if (parent_ && align_ != alNone) parent_->Realign();
}

// --- TWinControl -----------------------------------------------------------------------

const TMetaClass& TWinControl::StaticClass() {
  return DefineClass<TWinControl>("TWinControl", TControl::StaticClass());
}

TWinControl::TWinControl() = default;

TWinControl::~TWinControl() {
  for (TControl* c : controls_) c->parent_ = nullptr;
  controls_.clear();
  DestroyHandle();
}

TControl* TWinControl::Controls(int index) const {
  if (index < 0 || index >= ControlCount()) throw EListError(Format(S::_SListIndexError, index));
  return controls_[static_cast<size_t>(index)];
}

bool TWinControl::ContainsControl(const TControl* control) const {
  for (const TControl* c = control; c; c = c->Parent())
    if (c == this) return true;
  return false;
}

TControl* TWinControl::FindChildControl(std::string_view name) const {
  for (TControl* c : controls_)
    if (SameText(c->Name(), name)) return c;
  return nullptr;
}

win32::HWND TWinControl::Handle() {
  if (handle_) return handle_;
  win32::HWND parentWindow{};
  if (TWinControl* parent = Parent()) parentWindow = parent->Handle();
  TCreateParams params;
  CreateParams(params);
  if (parentWindow) params.Style |= win32::WS_CHILD;
  std::u16string className = WindowText(ClassName());
  EnsureWindowClass(className, &TWinControl::WindowProcedure);
  // The control waits in an open slot of the table, so that the window's first
  // messages find it before CreateWindowEx returns.
  WindowTable().emplace_back(win32::HWND{}, this);
  win32::HMENU id{};
  if (parentWindow) id = static_cast<win32::HMENU>(static_cast<uintptr_t>(FreeControlID(parentWindow)));
  win32::HWND window = win32::CreateWindowEx(params.ExStyle, className, WindowText(Text()), params.Style, Left(), Top(),
                                             Width(), Height(), parentWindow, id, win32::HINSTANCE{}, this);
  auto& table = WindowTable();
  std::erase_if(table, [&](const auto& e) { return e.second == this && !e.first; });
  if (!window) return handle_;
  handle_ = window;
  if (!FindControl(window)) table.emplace_back(window, this);
  win32::SendMessage(handle_, win32::WM_SETFONT, static_cast<win32::WPARAM>(Font()->Handle()), 0);
  HandleCreated();
  return handle_;
}

int TWinControl::ControlID() const { return handle_ ? win32::GetDlgCtrlID(handle_) : 0; }

void TWinControl::FontChanged() {
  if (handle_) win32::SendMessage(handle_, win32::WM_SETFONT, static_cast<win32::WPARAM>(Font()->Handle()), 1);
  if (!passingOn_)
    for (TControl* c : controls_)
      if (c->ParentFont()) c->ParentChanged();
}

void TWinControl::BiDiModeChanged() {
  if (handle_) {
    // Only the reading-order bits follow; other extended styles set on the window stay.
    constexpr win32::DWORD kReading = win32::WS_EX_RIGHT | win32::WS_EX_RTLREADING | win32::WS_EX_LEFTSCROLLBAR;
    TCreateParams params;
    CreateParams(params);
    auto current = static_cast<win32::DWORD>(win32::GetWindowLong(handle_, win32::GWL_EXSTYLE));
    win32::SetWindowLong(handle_, win32::GWL_EXSTYLE, (current & ~kReading) | (params.ExStyle & kReading));
  }
  if (!passingOn_)
    for (TControl* c : controls_)
      if (c->ParentBiDiMode()) c->ParentChanged();
}

void TWinControl::CreateParams(TCreateParams& params) const {
  params.Style = win32::WS_CLIPCHILDREN | win32::WS_CLIPSIBLINGS;
  if (Visible()) params.Style |= win32::WS_VISIBLE;
  if (!Enabled()) params.Style |= win32::WS_DISABLED;
  if (tabStop_) params.Style |= win32::WS_TABSTOP;
  if (UseRightToLeftReading()) params.ExStyle |= win32::WS_EX_RTLREADING;
  if (UseRightToLeftScrollBar()) params.ExStyle |= win32::WS_EX_LEFTSCROLLBAR;
  if (UseRightToLeftAlignment()) params.ExStyle |= win32::WS_EX_RIGHT;
}

void TWinControl::DestroyHandle() {
  if (handle_) win32::DestroyWindow(handle_);
  handle_ = {};
}

TWinControl* TWinControl::FindControl(win32::HWND window) {
  if (!window) return nullptr;
  for (const auto& [w, c] : WindowTable())
    if (w == window) return c;
  return nullptr;
}

win32::LRESULT TWinControl::WindowProcedure(win32::HWND window, win32::UINT message, win32::WPARAM wParam,
                                            win32::LPARAM lParam) {
  auto& table = WindowTable();
  auto entry = std::find_if(table.begin(), table.end(), [&](const auto& e) { return e.first == window; });
  if (entry == table.end()) {  // being created: the newest open slot is its control
    for (auto it = table.end(); it != table.begin();)
      if (!(--it)->first) {
        entry = it;
        break;
      }
  }
  if (entry == table.end()) return win32::DefWindowProc(window, message, wParam, lParam);
  TWinControl* control = entry->second;
  entry->first = window;
  control->handle_ = window;
  TMessage m{message, wParam, lParam, 0};
  control->WndProc(m);
  if (message == win32::WM_NCDESTROY) {
    control->handle_ = {};
    std::erase_if(table, [&](const auto& e) { return e.first == window; });
  }
  return m.Result;
}

void TWinControl::WndProc(TMessage& message) { DefaultHandler(message); }

void TWinControl::DefaultHandler(TMessage& message) {
  message.Result = win32::DefWindowProc(handle_, message.Msg, message.WParam, message.LParam);
}

void TWinControl::SetText(const std::string& text) {
  TControl::SetText(text);
  if (handle_) win32::SetWindowText(handle_, WindowText(text));
}

void TWinControl::EnableAlign() {
  if (alignLevel_ > 0 && --alignLevel_ == 0) Realign();
}

void TWinControl::Realign() {
  // Loaded forms keep the bounds their stream gives; alignment follows later changes.
  if (alignLevel_ > 0 || InState(csLoading)) return;
  ++alignLevel_;
  AlignControls();
  --alignLevel_;
}

void TWinControl::AlignControls() {
  int left = 0, top = 0, right = ClientWidth(), bottom = ClientHeight();
  auto place = [&](TAlign which) {
    for (TControl* c : controls_) {
      if (c->Align() != which || !c->Visible()) continue;
      int w = c->Width(), h = c->Height();
      switch (which) {
        case alTop:
          c->SetBounds(left, top, right - left, h);
          top += h;
          break;
        case alBottom:
          bottom -= h;
          c->SetBounds(left, bottom, right - left, h);
          break;
        case alLeft:
          c->SetBounds(left, top, w, bottom - top);
          left += w;
          break;
        case alRight:
          right -= w;
          c->SetBounds(right, top, w, bottom - top);
          break;
        case alClient:
          c->SetBounds(left, top, right - left, bottom - top);
          break;
        default:
          break;
      }
    }
  };
  for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) place(a);
}

void TWinControl::ParentChanged() {
  // The children hear of it once, below, not also from the font and reading-order changes.
  passingOn_ = true;
  TControl::ParentChanged();
  passingOn_ = false;
  for (TControl* c : controls_) c->ParentChanged();
}

void TWinControl::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) const {
  for (TControl* c : controls_)
    if (c->Owner() == root) proc(c);
}

const TMetaClass& TGraphicControl::StaticClass() {
  return DefineClass<TGraphicControl>("TGraphicControl", TControl::StaticClass());
}

const TMetaClass& TCustomControl::StaticClass() {
  return DefineClass<TCustomControl>("TCustomControl", TWinControl::StaticClass());
}

const TMetaClass& TCustomImageList::StaticClass() {
  return DefineClass<TCustomImageList>("TCustomImageList", TComponent::StaticClass());
}

const TMetaClass& TImageList::StaticClass() {
  return DefineClass<TImageList>("TImageList", TCustomImageList::StaticClass(), [](TClassBuilder<TImageList>& b) {
    b.Bag("AllocBy", StandardType("Integer"), 4);
    b.Bag("BkColor", ColorType(), clNone);
    b.Bag("Height", StandardType("Integer"), 16);
    b.Bag("Masked", StandardType("Boolean"), 1);
    b.Bag("Width", StandardType("Integer"), 16);
    b.Event("OnChange");
  });
}

}  // namespace quintrel::vcl
