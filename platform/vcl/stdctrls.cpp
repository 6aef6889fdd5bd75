#include "platform/vcl/stdctrls.h"

#include "platform/vcl/publish.h"

namespace quintrel::vcl {

namespace {

PTypeInfo Bool() { return StandardType("Boolean"); }
PTypeInfo Int() { return StandardType("Integer"); }

PTypeInfo CharCaseType() { return EnumType("TEditCharCase", {"ecNormal", "ecUpperCase", "ecLowerCase"}); }
PTypeInfo BorderStyleType() { return EnumType("TBorderStyle", {"bsNone", "bsSingle"}); }
PTypeInfo ScrollStyleType() { return EnumType("TScrollStyle", {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"}); }

// What edit boxes share.
template <class T>
void PublishEdit(TClassBuilder<T>& b) {
  PublishControl(b, pWindowed | pChange, true);
  b.Bag("AutoSelect", Bool(), 1);
  b.Bag("AutoSize", Bool(), 1);
  b.Bag("BorderStyle", BorderStyleType(), 1);
  b.Bag("CharCase", CharCaseType(), 0);
  b.Bag("HideSelection", Bool(), 1);
  b.BagStr("ImeName", StringType("TImeName"));
  b.Bag("MaxLength", Int(), 0);
  b.Bag("ReadOnly", Bool(), 0);
}

}  // namespace

PTypeInfo AlignmentType() {
  static PTypeInfo t = EnumType("TAlignment", {"taLeftJustify", "taRightJustify", "taCenter"});
  return t;
}

PTypeInfo ModalResultType() {
  static PTypeInfo t = [] {
    PTypeInfo type = IntegerType("TModalResult");
    RegisterIntegerConsts(type, {{0, "mrNone"}, {1, "mrOk"}, {2, "mrCancel"}, {3, "mrAbort"}, {4, "mrRetry"},
                                 {5, "mrIgnore"}, {6, "mrYes"}, {7, "mrNo"}, {8, "mrAll"}, {9, "mrNoToAll"},
                                 {10, "mrYesToAll"}});
    return type;
  }();
  return t;
}

const TMetaClass& TCustomLabel::StaticClass() {
  return DefineClass<TCustomLabel>("TCustomLabel", TGraphicControl::StaticClass());
}

const TMetaClass& TLabel::StaticClass() {
  return DefineClass<TLabel>("TLabel", TCustomLabel::StaticClass(), [](TClassBuilder<TLabel>& b) {
    PublishControl(b, pGraphic | pCaption);
    b.Bag("Alignment", AlignmentType(), taLeftJustify);
    b.Bag("AutoSize", Bool(), 1);
    b.BagRef("FocusControl", TWinControl::StaticClass());
    b.Bag("Layout", EnumType("TTextLayout", {"tlTop", "tlCenter", "tlBottom"}), 0);
    b.Bag("ShowAccelChar", Bool(), 1);
    b.Bag("Transparent", Bool(), 0);
    b.Bag("WordWrap", Bool(), 0);
  });
}

const TMetaClass& TCustomEdit::StaticClass() {
  return DefineClass<TCustomEdit>("TCustomEdit", TWinControl::StaticClass());
}

const TMetaClass& TEdit::StaticClass() {
  return DefineClass<TEdit>("TEdit", TCustomEdit::StaticClass(), [](TClassBuilder<TEdit>& b) {
    PublishEdit(b);
    b.Bag("PasswordChar", StandardType("Char"), 0);
    b.Str("Text", CaptionType(), &TControl::Text, &TControl::SetText);
  });
}

const TMetaClass& TCustomMaskEdit::StaticClass() {
  return DefineClass<TCustomMaskEdit>("TCustomMaskEdit", TCustomEdit::StaticClass());
}

const TMetaClass& TMaskEdit::StaticClass() {
  return DefineClass<TMaskEdit>("TMaskEdit", TCustomMaskEdit::StaticClass(), [](TClassBuilder<TMaskEdit>& b) {
    PublishEdit(b);
    b.BagStr("EditMask", StringType("TEditMask"));
    b.Bag("PasswordChar", StandardType("Char"), 0);
    b.Str("Text", CaptionType(), &TControl::Text, &TControl::SetText);
  });
}

const TMetaClass& TCustomMemo::StaticClass() {
  return DefineClass<TCustomMemo>("TCustomMemo", TCustomEdit::StaticClass());
}

const TMetaClass& TMemo::StaticClass() {
  return DefineClass<TMemo>("TMemo", TCustomMemo::StaticClass(), [](TClassBuilder<TMemo>& b) {
    PublishEdit(b);
    b.Bag("Alignment", AlignmentType(), taLeftJustify);
    b.Obj("Lines", &TCustomMemo::Lines);
    b.Bag("ScrollBars", ScrollStyleType(), 0);
    b.Bag("WantReturns", Bool(), 1);
    b.Bag("WantTabs", Bool(), 0);
    b.Bag("WordWrap", Bool(), 1);
  });
}

const TMetaClass& TButtonControl::StaticClass() {
  return DefineClass<TButtonControl>("TButtonControl", TWinControl::StaticClass());
}

const TMetaClass& TButton::StaticClass() {
  return DefineClass<TButton>("TButton", TButtonControl::StaticClass(), [](TClassBuilder<TButton>& b) {
    PublishControl(b, pWindowed | pCaption, true);
    b.BagRef("Action", TComponent::StaticClass());
    b.Bag("Cancel", Bool(), 0);
    b.Bag("Default", Bool(), 0);
    b.Bag("ModalResult", ModalResultType(), 0);
    b.Bag("WordWrap", Bool(), 0);
  });
}

namespace {

// BS_LEFTTEXT for text on the left: Alignment taLeftJustify, mirrored for right-to-left.
win32::DWORD TextSide(const TControl& control) {
  PPropInfo alignment = GetPropInfo(&control, "Alignment");
  bool left = alignment && GetOrdProp(&control, alignment) == taLeftJustify;
  return left != control.UseRightToLeftAlignment() ? win32::BS_LEFTTEXT : 0;
}

}  // namespace

void TButton::CreateParams(TCreateParams& params) const {
  TButtonControl::CreateParams(params);
  params.Style |= GetOrdProp(this, "Default") ? win32::BS_DEFPUSHBUTTON : win32::BS_PUSHBUTTON;
}

void TCustomCheckBox::CreateParams(TCreateParams& params) const {
  TButtonControl::CreateParams(params);
  params.Style |= win32::BS_AUTOCHECKBOX | TextSide(*this);
}

void TRadioButton::CreateParams(TCreateParams& params) const {
  TButtonControl::CreateParams(params);
  params.Style |= win32::BS_AUTORADIOBUTTON | TextSide(*this);
}

const TMetaClass& TCustomCheckBox::StaticClass() {
  return DefineClass<TCustomCheckBox>("TCustomCheckBox", TButtonControl::StaticClass());
}

const TMetaClass& TCheckBox::StaticClass() {
  return DefineClass<TCheckBox>("TCheckBox", TCustomCheckBox::StaticClass(), [](TClassBuilder<TCheckBox>& b) {
    PublishControl(b, pWindowed | pCaption, true);
    b.Bag("Alignment", EnumType("TLeftRight", {"taLeftJustify", "taRightJustify"}), taRightJustify);
    b.Bag("AllowGrayed", Bool(), 0);
    b.Bag("Checked", Bool(), 0);
    b.Bag("State", EnumType("TCheckBoxState", {"cbUnchecked", "cbChecked", "cbGrayed"}), 0);
    b.Bag("WordWrap", Bool(), 0);
  });
}

const TMetaClass& TRadioButton::StaticClass() {
  return DefineClass<TRadioButton>("TRadioButton", TButtonControl::StaticClass(), [](TClassBuilder<TRadioButton>& b) {
    PublishControl(b, pWindowed | pCaption);
    b.Bag("Alignment", EnumType("TLeftRight", {"taLeftJustify", "taRightJustify"}), taRightJustify);
    b.Bag("Checked", Bool(), 0);
    b.Bag("WordWrap", Bool(), 0);
  });
}

const TMetaClass& TCustomListBox::StaticClass() {
  return DefineClass<TCustomListBox>("TCustomListBox", TWinControl::StaticClass());
}

template <class T>
static void PublishListBox(TClassBuilder<T>& b) {
  PublishControl(b, pWindowed, true);
  b.Bag("BorderStyle", BorderStyleType(), 1);
  b.Bag("Columns", Int(), 0);
  b.Bag("ExtendedSelect", Bool(), 1);
  b.Bag("IntegralHeight", Bool(), 0);
  b.Bag("ItemHeight", Int(), 16);
  b.Obj("Items", &TCustomListBox::Items);
  b.Bag("MultiSelect", Bool(), 0);
  b.Bag("Sorted", Bool(), 0);
  b.Bag("Style", EnumType("TListBoxStyle", {"lbStandard", "lbOwnerDrawFixed", "lbOwnerDrawVariable", "lbVirtual",
                                            "lbVirtualOwnerDraw"}),
        0);
}

const TMetaClass& TListBox::StaticClass() {
  return DefineClass<TListBox>("TListBox", TCustomListBox::StaticClass(),
                               [](TClassBuilder<TListBox>& b) { PublishListBox(b); });
}

const TMetaClass& TCheckListBox::StaticClass() {
  return DefineClass<TCheckListBox>("TCheckListBox", TCustomListBox::StaticClass(), [](TClassBuilder<TCheckListBox>& b) {
    PublishListBox(b);
    b.Bag("AllowGrayed", Bool(), 0);
    b.Event("OnClickCheck");
  });
}

const TMetaClass& TCustomComboBox::StaticClass() {
  return DefineClass<TCustomComboBox>("TCustomComboBox", TWinControl::StaticClass());
}

const TMetaClass& TComboBox::StaticClass() {
  return DefineClass<TComboBox>("TComboBox", TCustomComboBox::StaticClass(), [](TClassBuilder<TComboBox>& b) {
    PublishControl(b, pWindowed | pChange, true);
    b.Bag("CharCase", CharCaseType(), 0);
    b.Bag("DropDownCount", Int(), 8);
    b.Bag("ItemHeight", Int(), 16);
    b.Bag("ItemIndex", Int(), -1);
    b.Obj("Items", &TCustomComboBox::Items);
    b.Bag("MaxLength", Int(), 0);
    b.Bag("Sorted", Bool(), 0);
    b.Bag("Style",
          EnumType("TComboBoxStyle", {"csDropDown", "csSimple", "csDropDownList", "csOwnerDrawFixed",
                                      "csOwnerDrawVariable"}),
          0);
    b.Str("Text", CaptionType(), &TControl::Text, &TControl::SetText);
  });
}

const TMetaClass& TScrollBar::StaticClass() {
  return DefineClass<TScrollBar>("TScrollBar", TWinControl::StaticClass(), [](TClassBuilder<TScrollBar>& b) {
    PublishControl(b, pWindowed | pChange, true);
    b.Bag("Kind", EnumType("TScrollBarKind", {"sbHorizontal", "sbVertical"}), 0);
    b.Bag("LargeChange", StandardType("SmallInt"), 1);
    b.Bag("Max", Int(), 100);
    b.Bag("Min", Int(), 0);
    b.Bag("PageSize", Int(), 0);
    b.Bag("Position", Int(), 0);
    b.Bag("SmallChange", StandardType("SmallInt"), 1);
  });
}

const TMetaClass& TCustomGroupBox::StaticClass() {
  return DefineClass<TCustomGroupBox>("TCustomGroupBox", TCustomControl::StaticClass());
}

const TMetaClass& TGroupBox::StaticClass() {
  return DefineClass<TGroupBox>("TGroupBox", TCustomGroupBox::StaticClass(),
                                [](TClassBuilder<TGroupBox>& b) { PublishControl(b, pWindowed | pCaption); });
}

const TMetaClass& TCustomStaticText::StaticClass() {
  return DefineClass<TCustomStaticText>("TCustomStaticText", TWinControl::StaticClass());
}

const TMetaClass& TStaticText::StaticClass() {
  return DefineClass<TStaticText>("TStaticText", TCustomStaticText::StaticClass(), [](TClassBuilder<TStaticText>& b) {
    PublishControl(b, pWindowed | pCaption);
    b.Bag("Alignment", AlignmentType(), taLeftJustify);
    b.Bag("AutoSize", Bool(), 1);
    b.Bag("BorderStyle", EnumType("TStaticBorderStyle", {"sbsNone", "sbsSingle", "sbsSunken"}), 0);
    b.BagRef("FocusControl", TWinControl::StaticClass());
    b.Bag("ShowAccelChar", Bool(), 1);
  });
}

}  // namespace quintrel::vcl
