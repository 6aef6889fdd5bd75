#include "platform/vcl/menus.h"
#include "platform/vcl/textutil.h"

#include <algorithm>

#include "platform/vcl/classbuilder.h"
#include "platform/vcl/controls.h"
#include "strings/vclconsts.h"

namespace quintrel::vcl {

namespace {

using rtl::Format;
namespace S = quintrel::strings;

// Names of the virtual keys a shortcut text can hold.
struct TKeyName {
  uint16_t Key;
  const char* Name;
};
constexpr TKeyName kKeyNames[] = {
    {0x08, "BkSp"}, {0x09, "Tab"},  {0x0D, "Enter"}, {0x1B, "Esc"},  {0x20, "Space"}, {0x21, "PgUp"},
    {0x22, "PgDn"}, {0x23, "End"},  {0x24, "Home"},  {0x25, "Left"}, {0x26, "Up"},    {0x27, "Right"},
    {0x28, "Down"}, {0x2D, "Ins"},  {0x2E, "Del"},
};

std::string KeyName(uint16_t key) {
  for (const auto& k : kKeyNames)
    if (k.Key == key) return k.Name;
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::string(1, static_cast<char>(key));
  if (key >= 0x70 && key <= 0x87) return "F" + std::to_string(key - 0x70 + 1);
  return {};
}

}  // namespace

PTypeInfo ShortCutType() {
  static PTypeInfo t = IntegerType("TShortCut", 0, 65535);
  return t;
}

TShortCut ShortCut(uint16_t key, TShortCut shift) { return static_cast<TShortCut>((key & 0xFF) | shift); }

std::string ShortCutToText(TShortCut shortCut) {
  std::string name = KeyName(shortCut & 0xFF);
  if (name.empty()) return {};
  std::string out;
  if (shortCut & scShift) out += "Shift+";
  if (shortCut & scCtrl) out += "Ctrl+";
  if (shortCut & scAlt) out += "Alt+";
  return out + name;
}

TShortCut TextToShortCut(std::string_view text) {
  TShortCut shift = 0;
  for (;;) {
    if (StartsText("Shift+", text)) {
      shift |= scShift;
      text.remove_prefix(6);
    } else if (StartsText("Ctrl+", text)) {
      shift |= scCtrl;
      text.remove_prefix(5);
    } else if (StartsText("Alt+", text)) {
      shift |= scAlt;
      text.remove_prefix(4);
    } else {
      break;
    }
  }
  if (text.empty()) return 0;
  for (uint16_t key = 0x08; key <= 0xFF; ++key) {
    std::string name = KeyName(key);
    if (!name.empty() && name.size() == text.size() && StartsText(name, text)) return ShortCut(key, shift);
  }
  return 0;
}

// --- TMenuItem -------------------------------------------------------------------------

const TMetaClass& TMenuItem::StaticClass() {
  return DefineClass<TMenuItem>("TMenuItem", TComponent::StaticClass(), [](TClassBuilder<TMenuItem>& b) {
    b.BagRef("Action", TComponent::StaticClass());
    b.Bag("AutoCheck", StandardType("Boolean"), 0);
    b.Bag("Break", EnumType("TMenuBreak", {"mbNone", "mbBreak", "mbBarBreak"}), 0);
    b.Str("Caption", CaptionType(), &TMenuItem::Caption, &TMenuItem::SetCaption);
    b.Ord("Checked", StandardType("Boolean"), &TMenuItem::Checked, &TMenuItem::SetChecked, 0);
    b.Bag("Default", StandardType("Boolean"), 0);
    b.Ord("Enabled", StandardType("Boolean"), &TMenuItem::Enabled, &TMenuItem::SetEnabled, 1);
    b.Bag("GroupIndex", StandardType("Byte"), 0);
    b.Bag("HelpContext", IntegerType("THelpContext"), 0);
    b.Str("Hint", StandardType("String"), &TMenuItem::Hint, &TMenuItem::SetHint);
    b.Bag("ImageIndex", IntegerType("TImageIndex"), -1);
    b.Bag("RadioItem", StandardType("Boolean"), 0);
    b.Ord("ShortCut", ShortCutType(), &TMenuItem::GetShortCut, &TMenuItem::SetShortCut, 0);
    b.Ord("Visible", StandardType("Boolean"), &TMenuItem::Visible, &TMenuItem::SetVisible, 1);
    b.Event("OnClick");
  });
}

TMenuItem::~TMenuItem() {
  if (parent_) parent_->Remove(this);
  for (TMenuItem* item : items_) item->parent_ = nullptr;
}

uint32_t TMenuItem::Command() const {
  static uint32_t next = 1;
  if (command_ == 0) command_ = next++;
  return command_;
}

TMenuItem* TMenuItem::Items(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(S::_SListIndexError, index));
  return items_[static_cast<size_t>(index)];
}

void TMenuItem::Insert(int index, TMenuItem* item) {
  if (!item || item == this) return;
  if (index < 0 || index > Count()) throw EListError(Format(S::_SListIndexError, index));
  if (item->parent_) item->parent_->Remove(item);
  items_.insert(items_.begin() + index, item);
  item->parent_ = this;
  FreeNotification(item);  // an item that leaves its owner leaves this list too
}

void TMenuItem::Remove(TMenuItem* item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it == items_.end()) return;
  items_.erase(it);
  item->parent_ = nullptr;
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* top = this;
  while (top->parent_) top = top->parent_;
  return top->menu_;
}

TMenuItem* TMenuItem::Find(std::string_view caption) const {
  auto plain = [](std::string_view s) {
    std::string out;
    for (char c : s)
      if (c != '&') out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    return out;
  };
  std::string wanted = plain(caption);
  for (TMenuItem* item : items_)
    if (plain(item->caption_) == wanted) return item;
  return nullptr;
}

TComponent* TMenuItem::GetParentComponent() const {
  if (parent_ && parent_->menu_) return parent_->menu_;
  return parent_;
}

void TMenuItem::SetParentComponent(TComponent* parent) {
  if (auto* menu = dynamic_cast<TMenu*>(parent))
    menu->Items()->Add(this);
  else if (auto* item = dynamic_cast<TMenuItem*>(parent))
    item->Add(this);
}

void TMenuItem::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) const {
  for (TMenuItem* item : items_)
    if (item->Owner() == root) proc(item);
}

void TMenuItem::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove)
    if (auto* item = dynamic_cast<TMenuItem*>(component)) Remove(item);
}

// --- menus -----------------------------------------------------------------------------

const TMetaClass& TMenu::StaticClass() {
  return DefineClass<TMenu>("TMenu", TComponent::StaticClass(), [](TClassBuilder<TMenu>& b) {
    b.Bag("AutoHotkeys", EnumType("TMenuAutoFlag", {"maAutomatic", "maManual", "maParent"}), 0);
    b.BagRef("Images", TCustomImageList::StaticClass());
    b.Bag("OwnerDraw", StandardType("Boolean"), 0);
  });
}

TMenu::TMenu() : items_(std::make_unique<TMenuItem>()) { items_->menu_ = this; }

TMenu::~TMenu() {
  // The items belong to the form; they only lose their place in this menu.
  while (items_->Count() > 0) items_->Remove(items_->Items(items_->Count() - 1));
}

void TMenu::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) const {
  items_->GetChildren(proc, root);
}

void TMenu::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove)
    if (auto* item = dynamic_cast<TMenuItem*>(component)) items_->Remove(item);
}

const TMetaClass& TMainMenu::StaticClass() {
  return DefineClass<TMainMenu>("TMainMenu", TMenu::StaticClass());
}

const TMetaClass& TPopupMenu::StaticClass() {
  return DefineClass<TPopupMenu>("TPopupMenu", TMenu::StaticClass(), [](TClassBuilder<TPopupMenu>& b) {
    b.Bag("Alignment", EnumType("TPopupAlignment", {"paLeft", "paRight", "paCenter"}), 0);
    b.Bag("AutoPopup", StandardType("Boolean"), 1);
    b.Event("OnPopup");
  });
}

}  // namespace quintrel::vcl
