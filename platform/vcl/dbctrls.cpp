#include "platform/vcl/dbctrls.h"

#include <algorithm>

#include "platform/vcl/publish.h"
#include "strings/vclconsts.h"

namespace quintrel::vcl {

namespace {

PTypeInfo Bool() { return StandardType("Boolean"); }
PTypeInfo Int() { return StandardType("Integer"); }

template <class T>
void PublishGrid(TClassBuilder<T>& b) {
  PublishControl(b, pWindowed, true);
  b.Bag("BorderStyle", EnumType("TBorderStyle", {"bsNone", "bsSingle"}), 1);
  b.Bag("ColCount", Int(), 5);
  b.Bag("DefaultColWidth", Int(), 64);
  b.Bag("DefaultRowHeight", Int(), 24);
  b.Bag("FixedColor", ColorType(), clBtnFace);
  b.Bag("FixedCols", Int(), 1);
  b.Bag("FixedRows", Int(), 1);
  b.Bag("Options",
        SetType("TGridOptions",
                EnumType("TGridOption", {"goFixedVertLine", "goFixedHorzLine", "goVertLine", "goHorzLine",
                                         "goRangeSelect", "goDrawFocusSelected", "goRowSizing", "goColSizing",
                                         "goRowMoving", "goColMoving", "goEditing", "goTabs", "goRowSelect",
                                         "goAlwaysShowEditor", "goThumbTracking"})),
        0x1F);
  b.Bag("RowCount", Int(), 5);
  b.Bag("ScrollBars", EnumType("TScrollStyle", {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"}), 3);
}

// What the data-aware controls add: the field they show and where it comes from.
template <class T>
void PublishData(TClassBuilder<T>& b) {
  b.BagStr("DataField");
  b.BagRef("DataSource", TComponent::StaticClass());
  b.Bag("ReadOnly", Bool(), 0);
}

}  // namespace

const TMetaClass& TCustomGrid::StaticClass() {
  return DefineClass<TCustomGrid>("TCustomGrid", TCustomControl::StaticClass());
}
const TMetaClass& TDrawGrid::StaticClass() {
  return DefineClass<TDrawGrid>("TDrawGrid", TCustomGrid::StaticClass(),
                                [](TClassBuilder<TDrawGrid>& b) { PublishGrid(b); });
}
const TMetaClass& TStringGrid::StaticClass() { return DefineClass<TStringGrid>("TStringGrid", TDrawGrid::StaticClass()); }

const TMetaClass& TColumnTitle::StaticClass() {
  return DefineClass<TColumnTitle>("TColumnTitle", TPersistent::StaticClass(), [](TClassBuilder<TColumnTitle>& b) {
    b.Bag("Alignment", AlignmentType(), taLeftJustify);
    b.BagStr("Caption");
    b.Bag("Color", ColorType(), clBtnFace);
    b.Obj("Font", &TColumnTitle::Font);
  });
}

const TMetaClass& TColumn::StaticClass() {
  return DefineClass<TColumn>("TColumn", TCollectionItem::StaticClass(), [](TClassBuilder<TColumn>& b) {
    b.Bag("Alignment", AlignmentType(), taLeftJustify);
    b.Bag("ButtonStyle", EnumType("TColumnButtonStyle", {"cbsAuto", "cbsEllipsis", "cbsNone"}), 0);
    b.Bag("Color", ColorType(), clWindow);
    b.Bag("DropDownRows", StandardType("Cardinal"), 7);
    b.Bag("Expanded", Bool(), 1);
    b.BagStr("FieldName");
    b.Obj("Font", &TColumn::Font);
    b.Obj("PickList", &TColumn::PickList);
    b.BagRef("PopupMenu", TPopupMenu::StaticClass());
    b.Bag("ReadOnly", Bool(), 0);
    b.Obj("Title", &TColumn::Title);
    b.Bag("Visible", Bool(), 1);
    b.BagNoDefault("Width", Int(), 64);
  });
}

std::string TColumn::DisplayName() const {
  std::string field = GetStrProp(this, "FieldName");
  return field.empty() ? TCollectionItem::DisplayName() : field;
}

const TMetaClass& TDBGridColumns::StaticClass() {
  return DefineClass<TDBGridColumns>("TDBGridColumns", TCollection::StaticClass());
}

const TMetaClass& TDBGrid::StaticClass() {
  return DefineClass<TDBGrid>("TDBGrid", TCustomGrid::StaticClass(), [](TClassBuilder<TDBGrid>& b) {
    PublishControl(b, pWindowed, true);
    b.Obj("Columns", &TDBGrid::Columns);
    b.BagRef("DataSource", TComponent::StaticClass());
    b.Bag("FixedColor", ColorType(), clBtnFace);
    b.Bag("Options",
          SetType("TDBGridOptions",
                  EnumType("TDBGridOption", {"dgEditing", "dgAlwaysShowEditor", "dgTitles", "dgIndicator",
                                             "dgColumnResize", "dgColLines", "dgRowLines", "dgTabs", "dgRowSelect",
                                             "dgAlwaysShowSelection", "dgConfirmDelete", "dgCancelOnExit",
                                             "dgMultiSelect"})),
          0xC7F);
    b.Bag("ReadOnly", Bool(), 0);
    b.Obj("TitleFont", &TDBGrid::TitleFont);
  });
}

const TMetaClass& TDBText::StaticClass() {
  return DefineClass<TDBText>("TDBText", TCustomLabel::StaticClass(), [](TClassBuilder<TDBText>& b) {
    PublishControl(b, pGraphic);
    b.Bag("Alignment", AlignmentType(), taLeftJustify);
    b.Bag("AutoSize", Bool(), 0);
    b.BagStr("DataField");
    b.BagRef("DataSource", TComponent::StaticClass());
    b.Bag("Transparent", Bool(), 0);
    b.Bag("WordWrap", Bool(), 0);
  });
}

const TMetaClass& TDBEdit::StaticClass() {
  return DefineClass<TDBEdit>("TDBEdit", TCustomMaskEdit::StaticClass(), [](TClassBuilder<TDBEdit>& b) {
    PublishControl(b, pWindowed | pChange, true);
    PublishData(b);
    b.Bag("CharCase", EnumType("TEditCharCase", {"ecNormal", "ecUpperCase", "ecLowerCase"}), 0);
    b.Bag("MaxLength", Int(), 0);
    b.Bag("PasswordChar", StandardType("Char"), 0);
  });
}

const TMetaClass& TDBMemo::StaticClass() {
  return DefineClass<TDBMemo>("TDBMemo", TCustomMemo::StaticClass(), [](TClassBuilder<TDBMemo>& b) {
    PublishControl(b, pWindowed | pChange, true);
    PublishData(b);
    b.Bag("ScrollBars", EnumType("TScrollStyle", {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"}), 0);
    b.Bag("WordWrap", Bool(), 1);
  });
}

const TMetaClass& TDBCheckBox::StaticClass() {
  return DefineClass<TDBCheckBox>("TDBCheckBox", TCustomCheckBox::StaticClass(), [](TClassBuilder<TDBCheckBox>& b) {
    PublishControl(b, pWindowed | pCaption, true);
    PublishData(b);
    b.Bag("Alignment", EnumType("TLeftRight", {"taLeftJustify", "taRightJustify"}), taRightJustify);
    b.BagStr("ValueChecked");
    b.BagStr("ValueUnchecked");
  });
}

const TMetaClass& TDBRadioGroup::StaticClass() {
  return DefineClass<TDBRadioGroup>("TDBRadioGroup", TCustomRadioGroup::StaticClass(), [](TClassBuilder<TDBRadioGroup>& b) {
    PublishControl(b, pWindowed | pCaption | pChange);
    PublishData(b);
    b.Bag("Columns", IntegerType("TColumns", 1, 16), 1);
    b.Obj("Items", &TCustomRadioGroup::Items);
    b.Obj("Values", &TDBRadioGroup::Values);
  });
}

const TMetaClass& TDBListBox::StaticClass() {
  return DefineClass<TDBListBox>("TDBListBox", TCustomListBox::StaticClass(), [](TClassBuilder<TDBListBox>& b) {
    PublishControl(b, pWindowed, true);
    PublishData(b);
    b.Bag("ItemHeight", Int(), 16);
    b.Obj("Items", &TCustomListBox::Items);
  });
}

const TMetaClass& TDBComboBox::StaticClass() {
  return DefineClass<TDBComboBox>("TDBComboBox", TCustomComboBox::StaticClass(), [](TClassBuilder<TDBComboBox>& b) {
    PublishControl(b, pWindowed | pChange, true);
    PublishData(b);
    b.Bag("DropDownCount", Int(), 8);
    b.Obj("Items", &TCustomComboBox::Items);
    b.Bag("Sorted", Bool(), 0);
  });
}

const TMetaClass& TDBLookupControl::StaticClass() {
  return DefineClass<TDBLookupControl>("TDBLookupControl", TCustomControl::StaticClass());
}

template <class T>
static void PublishLookup(TClassBuilder<T>& b) {
  PublishControl(b, pWindowed, true);
  PublishData(b);
  b.BagStr("KeyField");
  b.BagStr("ListField");
  b.BagRef("ListSource", TComponent::StaticClass());
}

const TMetaClass& TDBLookupListBox::StaticClass() {
  return DefineClass<TDBLookupListBox>("TDBLookupListBox", TDBLookupControl::StaticClass(),
                                       [](TClassBuilder<TDBLookupListBox>& b) { PublishLookup(b); });
}

const TMetaClass& TDBLookupComboBox::StaticClass() {
  return DefineClass<TDBLookupComboBox>("TDBLookupComboBox", TDBLookupControl::StaticClass(),
                                        [](TClassBuilder<TDBLookupComboBox>& b) {
                                          PublishLookup(b);
                                          b.Bag("DropDownRows", Int(), 7);
                                        });
}

const TMetaClass& TDBImage::StaticClass() {
  return DefineClass<TDBImage>("TDBImage", TCustomControl::StaticClass(), [](TClassBuilder<TDBImage>& b) {
    PublishControl(b, pWindowed, true);
    PublishData(b);
    b.Bag("Center", Bool(), 1);
    b.Bag("Stretch", Bool(), 0);
  });
}

const TMetaClass& TDBNavigator::StaticClass() {
  return DefineClass<TDBNavigator>("TDBNavigator", TCustomPanel::StaticClass(), [](TClassBuilder<TDBNavigator>& b) {
    PublishControl(b, pWindowed & ~pColor);
    b.BagRef("DataSource", TComponent::StaticClass());
    b.Bag("Flat", Bool(), 0);
    b.Obj("Hints", &TDBNavigator::Hints);
    b.Bag("VisibleButtons",
          SetType("TButtonSet", EnumType("TNavigateBtn", {"nbFirst", "nbPrior", "nbNext", "nbLast", "nbInsert",
                                                          "nbDelete", "nbEdit", "nbPost", "nbCancel", "nbRefresh"})),
          0x3FF);
  });
}

// --- actions ---------------------------------------------------------------------------

const TMetaClass& TBasicAction::StaticClass() {
  return DefineClass<TBasicAction>("TBasicAction", TComponent::StaticClass(),
                                   [](TClassBuilder<TBasicAction>& b) { b.Events({"OnExecute", "OnUpdate"}); });
}

const TMetaClass& TContainedAction::StaticClass() {
  return DefineClass<TContainedAction>("TContainedAction", TBasicAction::StaticClass(),
                                       [](TClassBuilder<TContainedAction>& b) { b.BagStr("Category"); });
}

TContainedAction::~TContainedAction() {
  if (list_) std::erase(list_->actions_, this);
}

TComponent* TContainedAction::GetParentComponent() const { return list_; }

void TContainedAction::SetParentComponent(TComponent* parent) {
  auto* list = dynamic_cast<TActionList*>(parent);
  if (list_ == list) return;
  if (list_) std::erase(list_->actions_, this);
  list_ = list;
  if (list_) list_->actions_.push_back(this);
}

const TMetaClass& TCustomAction::StaticClass() {
  return DefineClass<TCustomAction>("TCustomAction", TContainedAction::StaticClass());
}

const TMetaClass& TAction::StaticClass() {
  return DefineClass<TAction>("TAction", TCustomAction::StaticClass(), [](TClassBuilder<TAction>& b) {
    b.Bag("AutoCheck", Bool(), 0);
    b.BagStr("Caption", CaptionType());
    b.Bag("Checked", Bool(), 0);
    b.Bag("Enabled", Bool(), 1);
    b.Bag("GroupIndex", Int(), 0);
    b.Bag("HelpContext", IntegerType("THelpContext"), 0);
    b.BagStr("Hint");
    b.Bag("ImageIndex", IntegerType("TImageIndex"), -1);
    b.Obj("SecondaryShortCuts", &TCustomAction::SecondaryShortCuts);
    b.Bag("ShortCut", ShortCutType(), 0);
    b.Bag("Visible", Bool(), 1);
    b.Event("OnHint", "THintEvent");
  });
}

const TMetaClass& TActionList::StaticClass() {
  return DefineClass<TActionList>("TActionList", TComponent::StaticClass(), [](TClassBuilder<TActionList>& b) {
    b.BagRef("Images", TCustomImageList::StaticClass());
    b.Events({"OnChange"});
  });
}

TActionList::~TActionList() {
  for (TContainedAction* a : actions_) a->list_ = nullptr;
}

TContainedAction* TActionList::Actions(int index) const {
  if (index < 0 || index >= ActionCount())
    throw EListError(rtl::Format(strings::_SListIndexError, index));
  return actions_[static_cast<size_t>(index)];
}

void TActionList::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) const {
  for (TContainedAction* a : actions_)
    if (a->Owner() == root) proc(a);
}

}  // namespace quintrel::vcl
