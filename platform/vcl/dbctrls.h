// Grids, the data-aware controls and their grid columns, and action lists.
#pragma once

#include <memory>

#include "platform/vcl/comctrls.h"
#include "platform/vcl/extctrls.h"

namespace quintrel::vcl {

class TCustomGrid : public TCustomControl {
  QUINTREL_CLASS(TCustomGrid)
};
class TDrawGrid : public TCustomGrid {
  QUINTREL_CLASS(TDrawGrid)
};
class TStringGrid : public TDrawGrid {
  QUINTREL_CLASS(TStringGrid)
};

class TColumnTitle : public TPersistent {
  QUINTREL_CLASS(TColumnTitle)
  TFont* Font() const { return font_.get(); }

private:
  std::unique_ptr<TFont> font_ = std::make_unique<TFont>();
};

class TColumn : public TCollectionItem {
  QUINTREL_CLASS(TColumn)
  TColumnTitle* Title() const { return title_.get(); }
  TFont* Font() const { return font_.get(); }
  TStrings* PickList() const { return pickList_.List(); }
  std::string DisplayName() const override;

private:
  std::unique_ptr<TColumnTitle> title_ = std::make_unique<TColumnTitle>();
  std::unique_ptr<TFont> font_ = std::make_unique<TFont>();
  TStringsHolder pickList_;
};
class TDBGridColumns : public TItemCollection<TColumn> {
  QUINTREL_CLASS(TDBGridColumns)
  explicit TDBGridColumns(TPersistent* owner = nullptr) : TItemCollection(owner) {}
};

class TDBGrid : public TCustomGrid {
  QUINTREL_CLASS(TDBGrid)
  TDBGridColumns* Columns() const { return columns_.get(); }
  TFont* TitleFont() const { return titleFont_.get(); }

private:
  std::unique_ptr<TDBGridColumns> columns_ = std::make_unique<TDBGridColumns>(this);
  std::unique_ptr<TFont> titleFont_ = std::make_unique<TFont>();
};

class TDBText : public TCustomLabel {
  QUINTREL_CLASS(TDBText)
};
class TDBEdit : public TCustomMaskEdit {
  QUINTREL_CLASS(TDBEdit)
};
class TDBMemo : public TCustomMemo {
  QUINTREL_CLASS(TDBMemo)
};
class TDBCheckBox : public TCustomCheckBox {
  QUINTREL_CLASS(TDBCheckBox)
};
class TDBRadioGroup : public TCustomRadioGroup {
  QUINTREL_CLASS(TDBRadioGroup)
  TStrings* Values() const { return values_.List(); }

private:
  TStringsHolder values_;
};
class TDBListBox : public TCustomListBox {
  QUINTREL_CLASS(TDBListBox)
};
class TDBComboBox : public TCustomComboBox {
  QUINTREL_CLASS(TDBComboBox)
};
class TDBLookupControl : public TCustomControl {
  QUINTREL_CLASS(TDBLookupControl)
};
class TDBLookupListBox : public TDBLookupControl {
  QUINTREL_CLASS(TDBLookupListBox)
};
class TDBLookupComboBox : public TDBLookupControl {
  QUINTREL_CLASS(TDBLookupComboBox)
};
class TDBImage : public TCustomControl {
  QUINTREL_CLASS(TDBImage)
};
class TDBNavigator : public TCustomPanel {
  QUINTREL_CLASS(TDBNavigator)
  TStrings* Hints() const { return hints_.List(); }

private:
  TStringsHolder hints_;
};

// Actions: commands with captions, hints and shortcuts that menu items and buttons take
// over. An action list is a stream parent of its actions.
class TActionList;
class TBasicAction : public TComponent {
  QUINTREL_CLASS(TBasicAction)
};
class TContainedAction : public TBasicAction {
  QUINTREL_CLASS(TContainedAction)
  TActionList* ActionList() const { return list_; }
  bool HasParent() const override { return list_ != nullptr; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;
  ~TContainedAction() override;

private:
  friend class TActionList;
  TActionList* list_ = nullptr;
};
class TCustomAction : public TContainedAction {
  QUINTREL_CLASS(TCustomAction)
  TStrings* SecondaryShortCuts() const { return secondary_.List(); }

private:
  TStringsHolder secondary_;
};
class TAction : public TCustomAction {
  QUINTREL_CLASS(TAction)
};

class TActionList : public TComponent {
  QUINTREL_CLASS(TActionList)
  ~TActionList() override;
  int ActionCount() const { return static_cast<int>(actions_.size()); }
  TContainedAction* Actions(int index) const;
  void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) const override;

private:
  friend class TContainedAction;
  std::vector<TContainedAction*> actions_;
};

}  // namespace quintrel::vcl
