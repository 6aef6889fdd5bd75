#include "platform/vcl/comctrls.h"

#include "platform/vcl/publish.h"
#include "strings/vclconsts.h"

namespace quintrel::vcl {

namespace {

PTypeInfo Bool() { return StandardType("Boolean"); }
PTypeInfo Int() { return StandardType("Integer"); }
PTypeInfo ImageIndexType() { return IntegerType("TImageIndex"); }
PTypeInfo OrientationType() { return EnumType("TTrackBarOrientation", {"trHorizontal", "trVertical"}); }

}  // namespace

// --- collection items ------------------------------------------------------------------

const TMetaClass& TStatusPanel::StaticClass() {
  return DefineClass<TStatusPanel>("TStatusPanel", TCollectionItem::StaticClass(), [](TClassBuilder<TStatusPanel>& b) {
    b.Bag("Alignment", AlignmentType(), taLeftJustify);
    b.Bag("Bevel", EnumType("TStatusPanelBevel", {"pbNone", "pbLowered", "pbRaised"}), 1);
    b.Bag("BiDiMode", BiDiModeType(), 0);
    b.Bag("ParentBiDiMode", Bool(), 1);
    b.Bag("Style", EnumType("TStatusPanelStyle", {"psText", "psOwnerDraw"}), 0);
    b.BagStr("Text");
    b.Bag("Width", Int(), 50);
  });
}

std::string TStatusPanel::DisplayName() const {
  std::string text = GetStrProp(this, "Text");
  return text.empty() ? TCollectionItem::DisplayName() : text;
}

const TMetaClass& TStatusPanels::StaticClass() {
  return DefineClass<TStatusPanels>("TStatusPanels", TCollection::StaticClass());
}

const TMetaClass& TListColumn::StaticClass() {
  return DefineClass<TListColumn>("TListColumn", TCollectionItem::StaticClass(), [](TClassBuilder<TListColumn>& b) {
    b.Bag("Alignment", AlignmentType(), taLeftJustify);
    b.Bag("AutoSize", Bool(), 0);
    b.BagStr("Caption");
    b.Bag("ImageIndex", ImageIndexType(), -1);
    b.Bag("MaxWidth", IntegerType("TWidth"), 0);
    b.Bag("MinWidth", IntegerType("TWidth"), 0);
    b.Bag("Tag", Int(), 0);
    b.Bag("Width", IntegerType("TWidth"), 50);
  });
}

const TMetaClass& TListColumns::StaticClass() {
  return DefineClass<TListColumns>("TListColumns", TCollection::StaticClass());
}

const TMetaClass& THeaderSection::StaticClass() {
  return DefineClass<THeaderSection>("THeaderSection", TCollectionItem::StaticClass(),
                                     [](TClassBuilder<THeaderSection>& b) {
                                       b.Bag("Alignment", AlignmentType(), taLeftJustify);
                                       b.Bag("AllowClick", Bool(), 1);
                                       b.Bag("AutoSize", Bool(), 0);
                                       b.Bag("ImageIndex", ImageIndexType(), -1);
                                       b.Bag("MaxWidth", Int(), 10000);
                                       b.Bag("MinWidth", Int(), 0);
                                       b.Bag("Style", EnumType("THeaderSectionStyle", {"hsText", "hsOwnerDraw"}), 0);
                                       b.BagStr("Text");
                                       b.Bag("Width", Int(), 50);
                                     });
}

const TMetaClass& THeaderSections::StaticClass() {
  return DefineClass<THeaderSections>("THeaderSections", TCollection::StaticClass());
}

const TMetaClass& TCoolBand::StaticClass() {
  return DefineClass<TCoolBand>("TCoolBand", TCollectionItem::StaticClass(), [](TClassBuilder<TCoolBand>& b) {
    b.Obj("Bitmap", &TCoolBand::Bitmap);
    b.Bag("BorderStyle", EnumType("TBorderStyle", {"bsNone", "bsSingle"}), 0);
    b.Bag("Break", Bool(), 1);
    b.BagRef("Control", TWinControl::StaticClass());
    b.Bag("FixedBackground", Bool(), 1);
    b.Bag("FixedSize", Bool(), 0);
    b.Bag("HorizontalOnly", Bool(), 0);
    b.Bag("ImageIndex", ImageIndexType(), -1);
    b.Bag("MinHeight", Int(), 25);
    b.Bag("MinWidth", Int(), 0);
    b.Bag("ParentBitmap", Bool(), 1);
    b.Bag("ParentColor", Bool(), 1);
    b.BagStr("Text");
    b.Bag("Visible", Bool(), 1);
    b.BagNoDefault("Width", Int(), 0);
  });
}

const TMetaClass& TCoolBands::StaticClass() { return DefineClass<TCoolBands>("TCoolBands", TCollection::StaticClass()); }

// --- controls --------------------------------------------------------------------------

const TMetaClass& TStatusBar::StaticClass() {
  return DefineClass<TStatusBar>("TStatusBar", TWinControl::StaticClass(), [](TClassBuilder<TStatusBar>& b) {
    PublishControl(b, pWindowed & ~pTab);
    b.Default("Align", alBottom);
    b.Bag("AutoHint", Bool(), 0);
    b.Obj("Panels", &TStatusBar::Panels);
    b.Bag("SimplePanel", Bool(), 0);
    b.BagStr("SimpleText");
    b.Bag("SizeGrip", Bool(), 1);
    b.Event("OnHint");
  });
}

const TMetaClass& TCustomListView::StaticClass() {
  return DefineClass<TCustomListView>("TCustomListView", TWinControl::StaticClass());
}

const TMetaClass& TListView::StaticClass() {
  return DefineClass<TListView>("TListView", TCustomListView::StaticClass(), [](TClassBuilder<TListView>& b) {
    PublishControl(b, pWindowed | pChange, true);
    b.Obj("Columns", &TCustomListView::Columns);
    b.Bag("ColumnClick", Bool(), 1);
    b.Bag("GridLines", Bool(), 0);
    b.Bag("HideSelection", Bool(), 1);
    b.BagRef("LargeImages", TCustomImageList::StaticClass());
    b.Bag("MultiSelect", Bool(), 0);
    b.Bag("ReadOnly", Bool(), 0);
    b.Bag("RowSelect", Bool(), 0);
    b.BagRef("SmallImages", TCustomImageList::StaticClass());
    b.Bag("ViewStyle", EnumType("TViewStyle", {"vsIcon", "vsSmallIcon", "vsList", "vsReport"}), 0);
  });
}

const TMetaClass& THeaderControl::StaticClass() {
  return DefineClass<THeaderControl>("THeaderControl", TWinControl::StaticClass(), [](TClassBuilder<THeaderControl>& b) {
    PublishControl(b, pWindowed & ~pTab);
    b.Default("Align", alTop);
    b.BagRef("Images", TCustomImageList::StaticClass());
    b.Obj("Sections", &THeaderControl::Sections);
    b.Bag("Style", EnumType("THeaderStyle", {"hsButtons", "hsFlat"}), 0);
  });
}

const TMetaClass& TCustomTabControl::StaticClass() {
  return DefineClass<TCustomTabControl>("TCustomTabControl", TWinControl::StaticClass());
}

template <class T>
static void PublishTabs(TClassBuilder<T>& b) {
  PublishControl(b, pWindowed | pChange, true);
  b.Bag("HotTrack", Bool(), 0);
  b.BagRef("Images", TCustomImageList::StaticClass());
  b.Bag("MultiLine", Bool(), 0);
  b.Bag("OwnerDraw", Bool(), 0);
  b.Bag("RaggedRight", Bool(), 0);
  b.Bag("Style", EnumType("TTabStyle", {"tsTabs", "tsButtons", "tsFlatButtons"}), 0);
  b.Bag("TabHeight", StandardType("SmallInt"), 0);
  b.Bag("TabPosition", EnumType("TTabPosition", {"tpTop", "tpBottom", "tpLeft", "tpRight"}), 0);
  b.Bag("TabWidth", StandardType("SmallInt"), 0);
  b.Event("OnChanging", "TTabChangingEvent");
}

const TMetaClass& TTabControl::StaticClass() {
  return DefineClass<TTabControl>("TTabControl", TCustomTabControl::StaticClass(), [](TClassBuilder<TTabControl>& b) {
    PublishTabs(b);
    b.Bag("TabIndex", Int(), -1);
    b.Obj("Tabs", &TTabControl::Tabs);
  });
}

const TMetaClass& TPageControl::StaticClass() {
  return DefineClass<TPageControl>("TPageControl", TCustomTabControl::StaticClass(), [](TClassBuilder<TPageControl>& b) {
    PublishTabs(b);
    b.BagRef("ActivePage", TTabSheet::StaticClass());
  });
}

int TPageControl::PageCount() const {
  int n = 0;
  for (int i = 0; i < ControlCount(); ++i)
    if (dynamic_cast<TTabSheet*>(Controls(i))) ++n;
  return n;
}

TTabSheet* TPageControl::Pages(int index) const {
  for (int i = 0; i < ControlCount(); ++i)
    if (auto* sheet = dynamic_cast<TTabSheet*>(Controls(i)); sheet && index-- == 0) return sheet;
  throw EListError(rtl::Format(strings::_SListIndexError, index));
}

const TMetaClass& TTabSheet::StaticClass() {
  return DefineClass<TTabSheet>("TTabSheet", TWinControl::StaticClass(), [](TClassBuilder<TTabSheet>& b) {
    PublishControl(b, (pWindowed & ~(pAlign | pAnchors | pTab | pVisible | pMouse)) | pCaption);
    b.Bag("Highlighted", Bool(), 0);
    b.Bag("ImageIndex", ImageIndexType(), 0);
    b.Bag("PageIndex", Int(), 0).NotStored();
    b.Bag("TabVisible", Bool(), 1);
    b.Events({"OnHide", "OnShow"});
  });
}

const TMetaClass& TCustomRichEdit::StaticClass() {
  return DefineClass<TCustomRichEdit>("TCustomRichEdit", TCustomMemo::StaticClass());
}

const TMetaClass& TRichEdit::StaticClass() {
  return DefineClass<TRichEdit>("TRichEdit", TCustomRichEdit::StaticClass(), [](TClassBuilder<TRichEdit>& b) {
    PublishControl(b, pWindowed | pChange, true);
    b.Bag("Alignment", AlignmentType(), taLeftJustify);
    b.Bag("HideSelection", Bool(), 1);
    b.Obj("Lines", &TCustomMemo::Lines);
    b.Bag("MaxLength", Int(), 0);
    b.Bag("PlainText", Bool(), 0);
    b.Bag("ReadOnly", Bool(), 0);
    b.Bag("ScrollBars", EnumType("TScrollStyle", {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"}), 0);
    b.Bag("WantReturns", Bool(), 1);
    b.Bag("WantTabs", Bool(), 0);
    b.Bag("WordWrap", Bool(), 1);
  });
}

const TMetaClass& TTrackBar::StaticClass() {
  return DefineClass<TTrackBar>("TTrackBar", TWinControl::StaticClass(), [](TClassBuilder<TTrackBar>& b) {
    PublishControl(b, pWindowed | pChange, true);
    b.Bag("Frequency", Int(), 1);
    b.Bag("LineSize", Int(), 1);
    b.Bag("Max", Int(), 10);
    b.Bag("Min", Int(), 0);
    b.Bag("Orientation", OrientationType(), 0);
    b.Bag("PageSize", Int(), 2);
    b.Bag("Position", Int(), 0);
    b.Bag("TickMarks", EnumType("TTickMark", {"tmBottomRight", "tmTopLeft", "tmBoth"}), 0);
    b.Bag("TickStyle", EnumType("TTickStyle", {"tsNone", "tsAuto", "tsManual"}), 1);
  });
}

const TMetaClass& TProgressBar::StaticClass() {
  return DefineClass<TProgressBar>("TProgressBar", TWinControl::StaticClass(), [](TClassBuilder<TProgressBar>& b) {
    PublishControl(b, pWindowed & ~pKeys);
    b.Bag("Max", Int(), 100);
    b.Bag("Min", Int(), 0);
    b.Bag("Orientation", EnumType("TProgressBarOrientation", {"pbHorizontal", "pbVertical"}), 0);
    b.Bag("Position", Int(), 0);
    b.Bag("Smooth", Bool(), 0);
    b.Bag("Step", Int(), 10);
  });
}

const TMetaClass& TCustomUpDown::StaticClass() {
  return DefineClass<TCustomUpDown>("TCustomUpDown", TWinControl::StaticClass());
}

const TMetaClass& TUpDown::StaticClass() {
  return DefineClass<TUpDown>("TUpDown", TCustomUpDown::StaticClass(), [](TClassBuilder<TUpDown>& b) {
    PublishControl(b, pWindowed & ~pKeys, true);
    b.Bag("AlignButton", EnumType("TUDAlignButton", {"udLeft", "udRight"}), 1);
    b.Bag("ArrowKeys", Bool(), 1);
    b.BagRef("Associate", TWinControl::StaticClass());
    b.Bag("Increment", Int(), 1);
    b.Bag("Max", StandardType("SmallInt"), 100);
    b.Bag("Min", StandardType("SmallInt"), 0);
    b.Bag("Orientation", EnumType("TUDOrientation", {"udHorizontal", "udVertical"}), 1);
    b.Bag("Position", StandardType("SmallInt"), 0);
    b.Bag("Thousands", Bool(), 1);
    b.Bag("Wrap", Bool(), 0);
  });
}

const TMetaClass& THotKey::StaticClass() {
  return DefineClass<THotKey>("THotKey", TWinControl::StaticClass(), [](TClassBuilder<THotKey>& b) {
    PublishControl(b, pWindowed, true);
    b.Bag("AutoSize", Bool(), 1);
    b.Bag("HotKey", ShortCutType(), 0x41 | scAlt);
    b.Bag("InvalidKeys",
          SetType("THKInvalidKeys", EnumType("THKInvalidKey", {"hcNone", "hcShift", "hcCtrl", "hcAlt", "hcShiftCtrl",
                                                               "hcShiftAlt", "hcCtrlAlt", "hcShiftCtrlAlt"})),
          3);
    b.Bag("Modifiers", SetType("THKModifiers", EnumType("THKModifier", {"hkShift", "hkCtrl", "hkAlt", "hkExt"})), 4);
  });
}

const TMetaClass& TAnimate::StaticClass() {
  return DefineClass<TAnimate>("TAnimate", TWinControl::StaticClass(), [](TClassBuilder<TAnimate>& b) {
    PublishControl(b, pAlign | pAnchors | pColor | pHint | pVisible);
    b.Bag("Active", Bool(), 0);
    b.Bag("Center", Bool(), 1);
    b.Bag("CommonAVI", EnumType("TCommonAVI", {"aviNone", "aviFindFolder", "aviFindFile", "aviFindComputer",
                                               "aviCopyFiles", "aviCopyFile", "aviRecycleFile", "aviEmptyRecycle",
                                               "aviDeleteFile"}),
          0);
    b.BagStr("FileName");
    b.Bag("Repetitions", Int(), 0);
    b.Bag("Transparent", Bool(), 1);
  });
}

const TMetaClass& TDateTimePicker::StaticClass() {
  return DefineClass<TDateTimePicker>("TDateTimePicker", TWinControl::StaticClass(), [](TClassBuilder<TDateTimePicker>& b) {
    PublishControl(b, pWindowed | pChange, true);
    b.Bag("CalAlignment", EnumType("TDTCalAlignment", {"dtaLeft", "dtaRight"}), 0);
    b.Bag("Checked", Bool(), 1);
    b.BagFloat("Date", NamedFloatType("TDate", ftDouble));
    b.Bag("DateFormat", EnumType("TDTDateFormat", {"dfShort", "dfLong"}), 0);
    b.Bag("DateMode", EnumType("TDTDateMode", {"dmComboBox", "dmUpDown"}), 0);
    b.BagStr("Format");
    b.Bag("Kind", EnumType("TDateTimeKind", {"dtkDate", "dtkTime"}), 0);
    b.BagFloat("MaxDate", NamedFloatType("TDate", ftDouble));
    b.BagFloat("MinDate", NamedFloatType("TDate", ftDouble));
    b.Bag("ShowCheckbox", Bool(), 0);
    b.BagFloat("Time", NamedFloatType("TTime", ftDouble));
  });
}

const TMetaClass& TCustomTreeView::StaticClass() {
  return DefineClass<TCustomTreeView>("TCustomTreeView", TWinControl::StaticClass());
}

const TMetaClass& TTreeView::StaticClass() {
  return DefineClass<TTreeView>("TTreeView", TCustomTreeView::StaticClass(), [](TClassBuilder<TTreeView>& b) {
    PublishControl(b, pWindowed | pChange, true);
    b.Bag("HideSelection", Bool(), 1);
    b.BagRef("Images", TCustomImageList::StaticClass());
    b.Bag("Indent", Int(), 19);
    b.Bag("ReadOnly", Bool(), 0);
    b.Bag("RowSelect", Bool(), 0);
    b.Bag("ShowButtons", Bool(), 1);
    b.Bag("ShowLines", Bool(), 1);
    b.Bag("ShowRoot", Bool(), 1);
    b.Bag("SortType", EnumType("TSortType", {"stNone", "stData", "stText", "stBoth"}), 0);
  });
}

const TMetaClass& TToolBar::StaticClass() {
  return DefineClass<TToolBar>("TToolBar", TWinControl::StaticClass(), [](TClassBuilder<TToolBar>& b) {
    PublishControl(b, pWindowed | pCaption);
    b.Default("Align", alTop);
    b.Bag("AutoSize", Bool(), 0);
    b.Bag("ButtonHeight", Int(), 22);
    b.Bag("ButtonWidth", Int(), 23);
    b.Bag("Flat", Bool(), 0);
    b.BagRef("Images", TCustomImageList::StaticClass());
    b.Bag("List", Bool(), 0);
    b.Bag("ShowCaptions", Bool(), 0);
    b.Bag("Wrapable", Bool(), 1);
  });
}

const TMetaClass& TToolButton::StaticClass() {
  return DefineClass<TToolButton>("TToolButton", TGraphicControl::StaticClass(), [](TClassBuilder<TToolButton>& b) {
    PublishControl(b, pHint | pVisible | pEnabled | pPopup | pMouse | pCaption);
    b.BagRef("Action", TComponent::StaticClass());
    b.Bag("AllowAllUp", Bool(), 0);
    b.Bag("AutoSize", Bool(), 0);
    b.Bag("Down", Bool(), 0);
    b.BagRef("DropdownMenu", TPopupMenu::StaticClass());
    b.Bag("Grouped", Bool(), 0);
    b.Bag("ImageIndex", ImageIndexType(), -1);
    b.Bag("Indeterminate", Bool(), 0);
    b.Bag("Marked", Bool(), 0);
    b.BagRef("MenuItem", TMenuItem::StaticClass());
    b.Bag("Style", EnumType("TToolButtonStyle", {"tbsButton", "tbsCheck", "tbsDropDown", "tbsSeparator", "tbsDivider"}),
          0);
    b.Bag("Wrap", Bool(), 0);
  });
}

const TMetaClass& TCoolBar::StaticClass() {
  return DefineClass<TCoolBar>("TCoolBar", TWinControl::StaticClass(), [](TClassBuilder<TCoolBar>& b) {
    PublishControl(b, pWindowed & ~pTab);
    b.Default("Align", alTop);
    b.Bag("AutoSize", Bool(), 0);
    b.Bag("BandBorderStyle", EnumType("TBorderStyle", {"bsNone", "bsSingle"}), 1);
    b.Obj("Bands", &TCoolBar::Bands);
    b.Bag("FixedOrder", Bool(), 0);
    b.Bag("FixedSize", Bool(), 0);
    b.BagRef("Images", TCustomImageList::StaticClass());
    b.Bag("ShowText", Bool(), 1);
    b.Bag("Vertical", Bool(), 0);
  });
}

}  // namespace quintrel::vcl
