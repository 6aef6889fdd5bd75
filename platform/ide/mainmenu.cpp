#include "platform/ide/mainmenu.h"

#include <algorithm>

namespace quintrel::host {

namespace {

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
           return lower(x) == lower(y);
         });
}

}  // namespace

THostMenuItem::THostMenuItem(THostMainMenu* menu, std::string name, std::string caption)
    : menu_(menu), name_(std::move(name)), caption_(std::move(caption)) {}

std::shared_ptr<THostMenuItem> THostMenuItem::Item(int index) const {
  return index >= 0 && index < Count() ? items_[static_cast<size_t>(index)] : nullptr;
}

std::shared_ptr<THostMenuItem> THostMenuItem::Find(const std::string& name) {
  if (name.empty()) return nullptr;
  if (SameName(name_, name)) return shared_from_this();
  for (const auto& item : items_)
    if (auto found = item->Find(name)) return found;
  return nullptr;
}

bool THostMenuItem::Click() {
  if (Released() || !Enabled() || !onClick_) return false;
  // The handler may release this very item; keep it alive until the handler returns.
  auto self = shared_from_this();
  ide::TIMenuClickEvent handler = onClick_;
  handler(*self);
  return true;
}

int THostMenuItem::GetIndex() const {
  auto parent = parent_.lock();
  if (Released() || !parent) return -1;
  for (size_t i = 0; i < parent->items_.size(); ++i)
    if (parent->items_[i].get() == this) return static_cast<int>(i);
  return -1;
}

std::shared_ptr<ide::TIMenuItemIntf> THostMenuItem::GetParent() const {
  if (Released()) return nullptr;
  return parent_.lock();
}

std::shared_ptr<ide::TIMenuItemIntf> THostMenuItem::InsertItem(int index, const std::string& caption,
                                                               const std::string& name, const std::string& hint,
                                                               vcl::TShortCut shortCut, int helpContext,
                                                               int groupIndex, ide::TIMenuFlags flags,
                                                               ide::TIMenuClickEvent onClick) {
  if (Released() || (!name.empty() && menu_->Find(name))) return nullptr;
  auto item = std::make_shared<THostMenuItem>(menu_, name, caption);
  item->parent_ = weak_from_this();
  item->hint_ = hint;
  item->shortCut_ = shortCut;
  item->helpContext_ = helpContext;
  item->groupIndex_ = groupIndex;
  item->flags_ = flags;
  item->onClick_ = std::move(onClick);
  size_t at = index < 0 || index > Count() ? items_.size() : static_cast<size_t>(index);
  items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), item);
  return item;
}

bool THostMenuItem::SetShortCut(vcl::TShortCut shortCut) {
  if (Released()) return false;
  shortCut_ = shortCut;
  return true;
}

void THostMenuItem::Release() {
  if (Released()) return;
  auto self = shared_from_this();
  if (auto parent = parent_.lock()) std::erase(parent->items_, self);
  Detach();
}

void THostMenuItem::Detach() {
  menu_ = nullptr;
  parent_.reset();
  onClick_ = nullptr;
  for (auto& item : items_) item->Detach();
  items_.clear();
}

THostMainMenu::THostMainMenu() : bar_(std::make_shared<THostMenuItem>(this, "MainMenu", "")) {
  static const char* const menus[][2] = {
      {"FileMenu", "&File"},       {"EditMenu", "&Edit"},           {"SearchMenu", "&Search"},
      {"ViewMenu", "&View"},       {"ProjectMenu", "&Project"},     {"RunMenu", "&Run"},
      {"ComponentMenu", "&Component"}, {"DatabaseMenu", "&Database"}, {"ToolsMenu", "&Tools"},
      {"HelpMenu", "&Help"},
  };
  for (const auto& m : menus)
    bar_->InsertItem(-1, m[1], m[0], "", 0, 0, 0, ide::mfEnabled | ide::mfVisible, nullptr);
}

THostMainMenu::~THostMainMenu() { bar_->Release(); }

}  // namespace quintrel::host
