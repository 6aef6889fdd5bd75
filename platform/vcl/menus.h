// Menus: menu items in a tree under a main menu or a popup menu, with captions,
// shortcuts and check marks.
#pragma once

#include <string>
#include <vector>

#include "platform/vcl/classes.h"

namespace quintrel::vcl {

// A shortcut: a virtual-key code in the low byte with the shift flags above it.
using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000;
PTypeInfo ShortCutType();
TShortCut ShortCut(uint16_t key, TShortCut shift);
// "Ctrl+S", "Shift+F10", "Del"; "" for 0.
std::string ShortCutToText(TShortCut shortCut);
// The reverse; 0 for text that is no shortcut.
TShortCut TextToShortCut(std::string_view text);

class TMenu;

class TMenuItem : public TComponent {
  QUINTREL_CLASS(TMenuItem)
  TMenuItem() = default;
  ~TMenuItem() override;

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption) { caption_ = caption; }
  TShortCut GetShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut shortCut) { shortCut_ = shortCut; }
  bool Checked() const { return checked_; }
  void SetChecked(bool v) { checked_ = v; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v) { enabled_ = v; }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { visible_ = v; }
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint) { hint_ = hint; }
  // A separator is an item whose caption is "-".
  bool IsLine() const { return caption_ == "-"; }
  // The command id the item has in a window-manager menu, unique in the process.
  uint32_t Command() const;

  // Sub-items (owned by the form, not by the item).
  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int index) const;
  void Add(TMenuItem* item) { Insert(Count(), item); }
  void Insert(int index, TMenuItem* item);
  void Remove(TMenuItem* item);
  // Takes the item at `index` out of the list (the item itself lives on); raises
  // EListError outside the list.
  void Delete(int index) { Remove(Items(index)); }
  int IndexOf(const TMenuItem* item) const;
  TMenuItem* Parent() const { return parent_; }
  // The menu at the top of the item's tree, nullptr when it is not in one.
  TMenu* GetParentMenu() const;
  TMenuItem* Find(std::string_view caption) const;

  bool HasParent() const override { return true; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;
  void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) const override;
  void Notification(TComponent* component, TOperation operation) override;

private:
  friend class TMenu;
  std::string caption_;
  std::string hint_;
  TShortCut shortCut_ = 0;
  bool checked_ = false;
  bool enabled_ = true;
  bool visible_ = true;
  TMenuItem* parent_ = nullptr;
  TMenu* menu_ = nullptr;  // set on the root item of a menu
  mutable uint32_t command_ = 0;
  std::vector<TMenuItem*> items_;
};

class TMenu : public TComponent {
  QUINTREL_CLASS(TMenu)
  TMenu();
  ~TMenu() override;
  // The invisible root item whose sub-items are the menu's top-level items.
  TMenuItem* Items() const { return items_.get(); }
  TMenuItem* FindItem(std::string_view caption) const { return items_->Find(caption); }
  void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) const override;
  void Notification(TComponent* component, TOperation operation) override;

private:
  std::unique_ptr<TMenuItem> items_;
};

class TMainMenu : public TMenu {
  QUINTREL_CLASS(TMainMenu)
};

class TPopupMenu : public TMenu {
  QUINTREL_CLASS(TPopupMenu)
};

}  // namespace quintrel::vcl
