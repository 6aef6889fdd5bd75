// The host's main menu: the environment's own top-level menus ("FileMenu" … "ToolsMenu",
// "HelpMenu") and whatever add-ins insert, with click handlers the command line and
// tests can invoke.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ide/toolintf.h"

namespace quintrel::host {

class THostMainMenu;

class THostMenuItem : public ide::TIMenuItemIntf, public std::enable_shared_from_this<THostMenuItem> {
public:
  THostMenuItem(THostMainMenu* menu, std::string name, std::string caption);

  const std::string& Name() const { return name_; }
  const std::string& Caption() const { return caption_; }
  const std::string& Hint() const { return hint_; }
  vcl::TShortCut ShortCut() const { return shortCut_; }
  int HelpContext() const { return helpContext_; }
  int GroupIndex() const { return groupIndex_; }
  ide::TIMenuFlags Flags() const { return flags_; }
  bool Enabled() const { return (flags_ & ide::mfEnabled) != 0; }
  bool Released() const { return menu_ == nullptr; }
  int Count() const { return static_cast<int>(items_.size()); }
  std::shared_ptr<THostMenuItem> Item(int index) const;
  // This item or one under it by name, case-insensitively.
  std::shared_ptr<THostMenuItem> Find(const std::string& name);
  // Runs the click handler as a click on the menu would; false when the item is
  // released, disabled or has no handler.
  bool Click();

  int GetIndex() const override;
  std::shared_ptr<ide::TIMenuItemIntf> GetParent() const override;
  std::shared_ptr<ide::TIMenuItemIntf> InsertItem(int index, const std::string& caption, const std::string& name,
                                                  const std::string& hint, vcl::TShortCut shortCut, int helpContext,
                                                  int groupIndex, ide::TIMenuFlags flags,
                                                  ide::TIMenuClickEvent onClick) override;
  bool SetShortCut(vcl::TShortCut shortCut) override;
  void Release() override;

private:
  void Detach();

  THostMainMenu* menu_;
  std::weak_ptr<THostMenuItem> parent_;
  std::string name_;
  std::string caption_;
  std::string hint_;
  vcl::TShortCut shortCut_ = 0;
  int helpContext_ = 0;
  int groupIndex_ = 0;
  ide::TIMenuFlags flags_ = ide::mfEnabled | ide::mfVisible;
  ide::TIMenuClickEvent onClick_;
  std::vector<std::shared_ptr<THostMenuItem>> items_;
};

class THostMainMenu : public ide::TIMainMenuIntf {
public:
  THostMainMenu();
  ~THostMainMenu() override;
  THostMainMenu(const THostMainMenu&) = delete;
  THostMainMenu& operator=(const THostMainMenu&) = delete;

  std::shared_ptr<THostMenuItem> Bar() const { return bar_; }
  std::shared_ptr<THostMenuItem> Find(const std::string& name) const { return bar_->Find(name); }

  std::shared_ptr<ide::TIMenuItemIntf> GetMenuItems() override { return bar_; }
  std::shared_ptr<ide::TIMenuItemIntf> FindMenuItem(const std::string& name) override { return Find(name); }

private:
  std::shared_ptr<THostMenuItem> bar_;
};

}  // namespace quintrel::host
