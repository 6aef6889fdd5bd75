// The classes of the model that form streams find by name.
#include "platform/vcl/classes.h"
#include "platform/vcl/comctrls.h"
#include "platform/vcl/controls.h"
#include "platform/vcl/dbctrls.h"
#include "platform/vcl/dialogs.h"
#include "platform/vcl/extctrls.h"
#include "platform/vcl/forms.h"
#include "platform/vcl/graphics.h"
#include "platform/vcl/menus.h"
#include "platform/vcl/stdctrls.h"

namespace quintrel::vcl {

void RegisterStandardClasses() {
  for (TClass cls : {
           // persistent objects
           &TPersistent::StaticClass(), &TComponent::StaticClass(), &TStrings::StaticClass(),
           &TStringList::StaticClass(), &TCollection::StaticClass(), &TCollectionItem::StaticClass(),
           &TFont::StaticClass(), &TGraphic::StaticClass(), &TBitmap::StaticClass(), &TIcon::StaticClass(),
           &TMetafile::StaticClass(), &TPicture::StaticClass(),
           // controls and forms
           &TControl::StaticClass(), &TWinControl::StaticClass(), &TGraphicControl::StaticClass(),
           &TCustomControl::StaticClass(), &TCustomImageList::StaticClass(), &TImageList::StaticClass(),
           &TScrollingWinControl::StaticClass(), &TScrollBox::StaticClass(), &TCustomForm::StaticClass(),
           &TForm::StaticClass(), &TDataModule::StaticClass(), &TCustomFrame::StaticClass(), &TFrame::StaticClass(),
           // menus and actions
           &TMenuItem::StaticClass(), &TMenu::StaticClass(), &TMainMenu::StaticClass(), &TPopupMenu::StaticClass(),
           &TBasicAction::StaticClass(), &TContainedAction::StaticClass(), &TCustomAction::StaticClass(),
           &TAction::StaticClass(), &TActionList::StaticClass(),
           // standard controls
           &TCustomLabel::StaticClass(), &TLabel::StaticClass(), &TCustomEdit::StaticClass(), &TEdit::StaticClass(),
           &TCustomMaskEdit::StaticClass(), &TMaskEdit::StaticClass(), &TCustomMemo::StaticClass(),
           &TMemo::StaticClass(), &TButtonControl::StaticClass(), &TButton::StaticClass(),
           &TCustomCheckBox::StaticClass(), &TCheckBox::StaticClass(), &TRadioButton::StaticClass(),
           &TCustomListBox::StaticClass(), &TListBox::StaticClass(), &TCheckListBox::StaticClass(),
           &TCustomComboBox::StaticClass(), &TComboBox::StaticClass(), &TScrollBar::StaticClass(),
           &TCustomGroupBox::StaticClass(), &TGroupBox::StaticClass(), &TCustomStaticText::StaticClass(),
           &TStaticText::StaticClass(),
           // other controls
           &TCustomPanel::StaticClass(), &TPanel::StaticClass(), &TImage::StaticClass(), &TShape::StaticClass(),
           &TBevel::StaticClass(), &TSplitter::StaticClass(), &TPaintBox::StaticClass(), &TTimer::StaticClass(),
           &TCustomRadioGroup::StaticClass(), &TRadioGroup::StaticClass(), &TBitBtn::StaticClass(),
           &TSpeedButton::StaticClass(), &TOutline::StaticClass(), &TMediaPlayer::StaticClass(),
           &TOleContainer::StaticClass(), &TQRLabel::StaticClass(), &TQRDBText::StaticClass(),
           &TQRImage::StaticClass(), &TQRDBImage::StaticClass(), &TQRShape::StaticClass(),
           // common controls
           &TStatusPanel::StaticClass(), &TStatusPanels::StaticClass(), &TListColumn::StaticClass(),
           &TListColumns::StaticClass(), &THeaderSection::StaticClass(), &THeaderSections::StaticClass(),
           &TCoolBand::StaticClass(), &TCoolBands::StaticClass(), &TStatusBar::StaticClass(),
           &TCustomListView::StaticClass(), &TListView::StaticClass(), &THeaderControl::StaticClass(),
           &TCustomTabControl::StaticClass(), &TTabControl::StaticClass(), &TPageControl::StaticClass(),
           &TTabSheet::StaticClass(), &TCustomRichEdit::StaticClass(), &TRichEdit::StaticClass(),
           &TTrackBar::StaticClass(), &TProgressBar::StaticClass(), &TCustomUpDown::StaticClass(),
           &TUpDown::StaticClass(), &THotKey::StaticClass(), &TAnimate::StaticClass(),
           &TDateTimePicker::StaticClass(), &TCustomTreeView::StaticClass(), &TTreeView::StaticClass(),
           &TToolBar::StaticClass(), &TToolButton::StaticClass(), &TCoolBar::StaticClass(),
           // dialogs
           &TCommonDialog::StaticClass(), &TOpenDialog::StaticClass(), &TSaveDialog::StaticClass(),
           &TOpenPictureDialog::StaticClass(), &TSavePictureDialog::StaticClass(), &TFontDialog::StaticClass(),
           &TColorDialog::StaticClass(), &TPrintDialog::StaticClass(), &TPrinterSetupDialog::StaticClass(),
           &TPrintSetupDialog::StaticClass(), &TFindDialog::StaticClass(), &TReplaceDialog::StaticClass(),
           // grids and data-aware controls
           &TCustomGrid::StaticClass(), &TDrawGrid::StaticClass(), &TStringGrid::StaticClass(),
           &TColumnTitle::StaticClass(), &TColumn::StaticClass(), &TDBGridColumns::StaticClass(),
           &TDBGrid::StaticClass(), &TDBText::StaticClass(), &TDBEdit::StaticClass(), &TDBMemo::StaticClass(),
           &TDBCheckBox::StaticClass(), &TDBRadioGroup::StaticClass(), &TDBListBox::StaticClass(),
           &TDBComboBox::StaticClass(), &TDBLookupControl::StaticClass(), &TDBLookupListBox::StaticClass(),
           &TDBLookupComboBox::StaticClass(), &TDBImage::StaticClass(), &TDBNavigator::StaticClass(),
       })
    RegisterClass(cls);
}

}  // namespace quintrel::vcl
