// The standard controls: labels, edit boxes, buttons, check boxes, lists.
#pragma once

#include <memory>

#include "platform/vcl/controls.h"

namespace quintrel::vcl {

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
PTypeInfo AlignmentType();
PTypeInfo ModalResultType();  // TModalResult with mrNone … mrYesToAll

// A control with a string list of its own (Items, Lines); the list is the control's
// and Assign copies into it.
class TStringsHolder {
public:
  TStrings* List() const { return list_.get(); }

private:
  std::unique_ptr<TStringList> list_ = std::make_unique<TStringList>();
};

class TCustomLabel : public TGraphicControl {
  QUINTREL_CLASS(TCustomLabel)
  TCustomLabel() { SetBounds(0, 0, 65, 17); }
};
class TLabel : public TCustomLabel {
  QUINTREL_CLASS(TLabel)
};

class TCustomEdit : public TWinControl {
  QUINTREL_CLASS(TCustomEdit)
  TCustomEdit() { SetBounds(0, 0, 121, 21); }
};
class TEdit : public TCustomEdit {
  QUINTREL_CLASS(TEdit)
};
class TCustomMaskEdit : public TCustomEdit {
  QUINTREL_CLASS(TCustomMaskEdit)
};
class TMaskEdit : public TCustomMaskEdit {
  QUINTREL_CLASS(TMaskEdit)
};

class TCustomMemo : public TCustomEdit {
  QUINTREL_CLASS(TCustomMemo)
  TStrings* Lines() const { return lines_.List(); }

private:
  TStringsHolder lines_;
};
class TMemo : public TCustomMemo {
  QUINTREL_CLASS(TMemo)
};

class TButtonControl : public TWinControl {
  QUINTREL_CLASS(TButtonControl)
};
// Button windows carry the button styles: BS_PUSHBUTTON (BS_DEFPUSHBUTTON for a Default
// button), BS_AUTOCHECKBOX and BS_AUTORADIOBUTTON, and BS_LEFTTEXT when a check box or
// radio button shows its text on the left (Alignment taLeftJustify; the other way round
// when the control is aligned right to left). The style is taken when the window is made;
// a later change of Alignment leaves the window's style to whoever changes it.
class TButton : public TButtonControl {
  QUINTREL_CLASS(TButton)
  TButton() { SetBounds(0, 0, 75, 25); }

protected:
  void CreateParams(TCreateParams& params) const override;
};

class TCustomCheckBox : public TButtonControl {
  QUINTREL_CLASS(TCustomCheckBox)

protected:
  void CreateParams(TCreateParams& params) const override;
};
class TCheckBox : public TCustomCheckBox {
  QUINTREL_CLASS(TCheckBox)
};
class TRadioButton : public TButtonControl {
  QUINTREL_CLASS(TRadioButton)

protected:
  void CreateParams(TCreateParams& params) const override;
};

class TCustomListBox : public TWinControl {
  QUINTREL_CLASS(TCustomListBox)
  TStrings* Items() const { return items_.List(); }

private:
  TStringsHolder items_;
};
class TListBox : public TCustomListBox {
  QUINTREL_CLASS(TListBox)
};
class TCheckListBox : public TCustomListBox {
  QUINTREL_CLASS(TCheckListBox)
};

class TCustomComboBox : public TWinControl {
  QUINTREL_CLASS(TCustomComboBox)
  TStrings* Items() const { return items_.List(); }

private:
  TStringsHolder items_;
};
class TComboBox : public TCustomComboBox {
  QUINTREL_CLASS(TComboBox)
};

class TScrollBar : public TWinControl {
  QUINTREL_CLASS(TScrollBar)
};

class TCustomGroupBox : public TCustomControl {
  QUINTREL_CLASS(TCustomGroupBox)
};
class TGroupBox : public TCustomGroupBox {
  QUINTREL_CLASS(TGroupBox)
};

class TCustomStaticText : public TWinControl {
  QUINTREL_CLASS(TCustomStaticText)
};
class TStaticText : public TCustomStaticText {
  QUINTREL_CLASS(TStaticText)
};

}  // namespace quintrel::vcl
