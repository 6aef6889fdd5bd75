#include "platform/vcl/extctrls.h"

#include "platform/vcl/publish.h"

namespace quintrel::vcl {

namespace {

PTypeInfo Bool() { return StandardType("Boolean"); }
PTypeInfo Int() { return StandardType("Integer"); }
PTypeInfo BevelCutType() { return EnumType("TBevelCut", {"bvNone", "bvLowered", "bvRaised", "bvSpace"}); }
PTypeInfo ButtonLayoutType() {
  return EnumType("TButtonLayout", {"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"});
}

template <class T>
void PublishGlyph(TClassBuilder<T>& b) {
  b.Obj("Glyph", &T::Glyph);
  b.Bag("Layout", ButtonLayoutType(), 0);
  b.Bag("Margin", Int(), -1);
  b.Bag("NumGlyphs", IntegerType("TNumGlyphs", 1, 4), 1);
  b.Bag("Spacing", Int(), 4);
}

}  // namespace

const TMetaClass& TCustomPanel::StaticClass() {
  return DefineClass<TCustomPanel>("TCustomPanel", TCustomControl::StaticClass());
}

const TMetaClass& TPanel::StaticClass() {
  return DefineClass<TPanel>("TPanel", TCustomPanel::StaticClass(), [](TClassBuilder<TPanel>& b) {
    PublishControl(b, pWindowed | pCaption);
    b.Bag("Alignment", AlignmentType(), taCenter);
    b.Bag("AutoSize", Bool(), 0);
    b.Bag("BevelInner", BevelCutType(), 0);
    b.Bag("BevelOuter", BevelCutType(), 2);
    b.Bag("BevelWidth", IntegerType("TBevelWidth", 1, INT32_MAX), 1);
    b.Bag("BorderStyle", EnumType("TBorderStyle", {"bsNone", "bsSingle"}), 0);
    b.Bag("BorderWidth", IntegerType("TBorderWidth", 0, INT32_MAX), 0);
    b.Bag("FullRepaint", Bool(), 1);
    b.Bag("Locked", Bool(), 0);
    b.Events({"OnResize"});
  });
}

const TMetaClass& TImage::StaticClass() {
  return DefineClass<TImage>("TImage", TGraphicControl::StaticClass(), [](TClassBuilder<TImage>& b) {
    PublishControl(b, pAlign | pAnchors | pHint | pVisible | pEnabled | pPopup | pMouse);
    b.Bag("AutoSize", Bool(), 0);
    b.Bag("Center", Bool(), 0);
    b.Bag("IncrementalDisplay", Bool(), 0);
    b.Obj("Picture", &TImage::Picture);
    b.Bag("Proportional", Bool(), 0);
    b.Bag("Stretch", Bool(), 0);
    b.Bag("Transparent", Bool(), 0);
  });
}

const TMetaClass& TShape::StaticClass() {
  return DefineClass<TShape>("TShape", TGraphicControl::StaticClass(), [](TClassBuilder<TShape>& b) {
    PublishControl(b, pAlign | pAnchors | pHint | pVisible | pEnabled | pMouse);
    b.Bag("Shape",
          EnumType("TShapeType", {"stRectangle", "stSquare", "stRoundRect", "stRoundSquare", "stEllipse", "stCircle"}),
          0);
  });
}

const TMetaClass& TBevel::StaticClass() {
  return DefineClass<TBevel>("TBevel", TGraphicControl::StaticClass(), [](TClassBuilder<TBevel>& b) {
    PublishControl(b, pAlign | pAnchors | pHint | pVisible);
    b.Bag("Shape",
          EnumType("TBevelShape", {"bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine", "bsRightLine",
                                   "bsSpacer"}),
          0);
    b.Bag("Style", EnumType("TBevelStyle", {"bsLowered", "bsRaised"}), 0);
  });
}

const TMetaClass& TSplitter::StaticClass() {
  return DefineClass<TSplitter>("TSplitter", TGraphicControl::StaticClass(), [](TClassBuilder<TSplitter>& b) {
    PublishControl(b, pAlign | pColor | pHint | pVisible);
    b.Bag("Beveled", Bool(), 0);
    b.Bag("MinSize", IntegerType("NaturalNumber", 1, INT32_MAX), 30);
    b.Bag("ResizeStyle", EnumType("TResizeStyle", {"rsNone", "rsLine", "rsUpdate", "rsPattern"}), 3);
    b.Events({"OnMoved"});
  });
}

const TMetaClass& TPaintBox::StaticClass() {
  return DefineClass<TPaintBox>("TPaintBox", TGraphicControl::StaticClass(), [](TClassBuilder<TPaintBox>& b) {
    PublishControl(b, pGraphic);
    b.Events({"OnPaint"});
  });
}

const TMetaClass& TTimer::StaticClass() {
  return DefineClass<TTimer>("TTimer", TComponent::StaticClass(), [](TClassBuilder<TTimer>& b) {
    b.Bag("Enabled", Bool(), 1);
    b.Bag("Interval", StandardType("Cardinal"), 1000);
    b.Events({"OnTimer"});
  });
}

const TMetaClass& TCustomRadioGroup::StaticClass() {
  return DefineClass<TCustomRadioGroup>("TCustomRadioGroup", TCustomGroupBox::StaticClass());
}

const TMetaClass& TRadioGroup::StaticClass() {
  return DefineClass<TRadioGroup>("TRadioGroup", TCustomRadioGroup::StaticClass(), [](TClassBuilder<TRadioGroup>& b) {
    PublishControl(b, pWindowed | pCaption);
    b.Bag("Columns", IntegerType("TColumns", 1, 16), 1);
    b.Bag("ItemIndex", Int(), -1);
    b.Obj("Items", &TCustomRadioGroup::Items);
  });
}

const TMetaClass& TBitBtn::StaticClass() {
  return DefineClass<TBitBtn>("TBitBtn", TButton::StaticClass(), [](TClassBuilder<TBitBtn>& b) {
    PublishGlyph(b);
    b.Bag("Kind",
          EnumType("TBitBtnKind", {"bkCustom", "bkOK", "bkCancel", "bkHelp", "bkYes", "bkNo", "bkClose", "bkAbort",
                                   "bkRetry", "bkIgnore", "bkAll"}),
          0);
    b.Bag("Style", EnumType("TButtonStyle", {"bsAutoDetect", "bsWin31", "bsNew"}), 0);
  });
}

const TMetaClass& TSpeedButton::StaticClass() {
  return DefineClass<TSpeedButton>("TSpeedButton", TGraphicControl::StaticClass(), [](TClassBuilder<TSpeedButton>& b) {
    PublishControl(b, pGraphic | pCaption);
    b.BagRef("Action", TComponent::StaticClass());
    b.Bag("AllowAllUp", Bool(), 0);
    b.Bag("Down", Bool(), 0);
    b.Bag("Flat", Bool(), 0);
    b.Bag("GroupIndex", Int(), 0);
    PublishGlyph(b);
    b.Bag("Transparent", Bool(), 1);
  });
}

const TMetaClass& TOutline::StaticClass() {
  return DefineClass<TOutline>("TOutline", TCustomControl::StaticClass(), [](TClassBuilder<TOutline>& b) {
    PublishControl(b, pWindowed, true);
    b.Obj("Lines", &TOutline::Lines);
  });
}

const TMetaClass& TMediaPlayer::StaticClass() {
  return DefineClass<TMediaPlayer>("TMediaPlayer", TCustomControl::StaticClass(), [](TClassBuilder<TMediaPlayer>& b) {
    PublishControl(b, pAnchors | pHint | pVisible | pEnabled | pTab | pPopup);
    b.Bag("AutoOpen", Bool(), 0);
    b.BagStr("FileName");
  });
}

const TMetaClass& TOleContainer::StaticClass() {
  return DefineClass<TOleContainer>("TOleContainer", TCustomControl::StaticClass(),
                                    [](TClassBuilder<TOleContainer>& b) { PublishControl(b, pWindowed, true); });
}

const TMetaClass& TQRLabel::StaticClass() {
  return DefineClass<TQRLabel>("TQRLabel", TGraphicControl::StaticClass(), [](TClassBuilder<TQRLabel>& b) {
    PublishControl(b, pColor | pFont | pVisible | pCaption);
    b.Bag("Alignment", AlignmentType(), taLeftJustify);
    b.Bag("AutoSize", Bool(), 1);
    b.Bag("WordWrap", Bool(), 1);
  });
}

const TMetaClass& TQRDBText::StaticClass() {
  return DefineClass<TQRDBText>("TQRDBText", TQRLabel::StaticClass(), [](TClassBuilder<TQRDBText>& b) {
    b.BagStr("DataField");
    b.BagRef("DataSet", TComponent::StaticClass());
  });
}

const TMetaClass& TQRImage::StaticClass() {
  return DefineClass<TQRImage>("TQRImage", TGraphicControl::StaticClass(), [](TClassBuilder<TQRImage>& b) {
    PublishControl(b, pVisible);
    b.Bag("AutoSize", Bool(), 0);
    b.Bag("Center", Bool(), 0);
    b.Obj("Picture", &TQRImage::Picture);
    b.Bag("Stretch", Bool(), 0);
  });
}

const TMetaClass& TQRDBImage::StaticClass() {
  return DefineClass<TQRDBImage>("TQRDBImage", TGraphicControl::StaticClass(), [](TClassBuilder<TQRDBImage>& b) {
    PublishControl(b, pVisible);
    b.BagStr("DataField");
    b.BagRef("DataSet", TComponent::StaticClass());
  });
}

const TMetaClass& TQRShape::StaticClass() {
  return DefineClass<TQRShape>("TQRShape", TGraphicControl::StaticClass(),
                               [](TClassBuilder<TQRShape>& b) { PublishControl(b, pVisible); });
}

}  // namespace quintrel::vcl
