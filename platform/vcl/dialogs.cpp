#include "platform/vcl/dialogs.h"

#include "platform/vcl/classbuilder.h"

namespace quintrel::vcl {

namespace {

PTypeInfo Bool() { return StandardType("Boolean"); }
PTypeInfo Int() { return StandardType("Integer"); }

PTypeInfo OpenOptionsType() {
  static PTypeInfo t = SetType(
      "TOpenOptions",
      EnumType("TOpenOption",
               {"ofReadOnly", "ofOverwritePrompt", "ofHideReadOnly", "ofNoChangeDir", "ofShowHelp", "ofNoValidate",
                "ofAllowMultiSelect", "ofExtensionDifferent", "ofPathMustExist", "ofFileMustExist", "ofCreatePrompt",
                "ofShareAware", "ofNoReadOnlyReturn", "ofNoTestFileCreate", "ofNoNetworkButton", "ofNoLongNames",
                "ofOldStyleDialog", "ofNoDereferenceLinks", "ofEnableIncludeNotify", "ofEnableSizing",
                "ofDontAddToRecent", "ofForceShowHidden"}));
  return t;
}

PTypeInfo FindOptionsType() {
  static PTypeInfo t = SetType(
      "TFindOptions",
      EnumType("TFindOption", {"frDown", "frFindNext", "frHideMatchCase", "frHideWholeWord", "frHideUpDown",
                               "frMatchCase", "frDisableMatchCase", "frDisableUpDown", "frDisableWholeWord",
                               "frReplace", "frReplaceAll", "frWholeWord", "frShowHelp"}));
  return t;
}

}  // namespace

const TMetaClass& TCommonDialog::StaticClass() {
  return DefineClass<TCommonDialog>("TCommonDialog", TComponent::StaticClass(), [](TClassBuilder<TCommonDialog>& b) {
    b.Bag("Ctl3D", Bool(), 1);
    b.Bag("HelpContext", IntegerType("THelpContext"), 0);
    b.Events({"OnClose", "OnShow"});
  });
}

const TMetaClass& TOpenDialog::StaticClass() {
  return DefineClass<TOpenDialog>("TOpenDialog", TCommonDialog::StaticClass(), [](TClassBuilder<TOpenDialog>& b) {
    b.BagStr("DefaultExt");
    b.BagStr("FileName", StringType("TFileName"));
    b.BagStr("Filter");
    b.Bag("FilterIndex", Int(), 1);
    b.BagStr("InitialDir");
    b.Bag("Options", OpenOptionsType(), (1 << 2) | (1 << 19));
    b.BagStr("Title");
    b.Events({"OnCanClose", "OnFolderChange", "OnSelectionChange", "OnTypeChange"});
  });
}

const TMetaClass& TSaveDialog::StaticClass() {
  return DefineClass<TSaveDialog>("TSaveDialog", TOpenDialog::StaticClass());
}
const TMetaClass& TOpenPictureDialog::StaticClass() {
  return DefineClass<TOpenPictureDialog>("TOpenPictureDialog", TOpenDialog::StaticClass());
}
const TMetaClass& TSavePictureDialog::StaticClass() {
  return DefineClass<TSavePictureDialog>("TSavePictureDialog", TOpenPictureDialog::StaticClass());
}

const TMetaClass& TFontDialog::StaticClass() {
  return DefineClass<TFontDialog>("TFontDialog", TCommonDialog::StaticClass(), [](TClassBuilder<TFontDialog>& b) {
    b.Bag("Device", EnumType("TFontDialogDevice", {"fdScreen", "fdPrinter", "fdBoth"}), 0);
    b.Obj("Font", &TFontDialog::Font);
    b.Bag("MaxFontSize", Int(), 0);
    b.Bag("MinFontSize", Int(), 0);
    b.Bag("Options",
          SetType("TFontDialogOptions",
                  EnumType("TFontDialogOption", {"fdAnsiOnly", "fdTrueTypeOnly", "fdEffects", "fdFixedPitchOnly",
                                                 "fdForceFontExist", "fdNoFaceSel", "fdNoOEMFonts", "fdNoSimulations",
                                                 "fdNoSizeSel", "fdNoStyleSel", "fdNoVectorFonts", "fdShowHelp",
                                                 "fdWysiwyg", "fdLimitSize", "fdScalableOnly", "fdApplyButton"})),
          1 << 2);
    b.Event("OnApply", "TFDApplyEvent");
  });
}

const TMetaClass& TColorDialog::StaticClass() {
  return DefineClass<TColorDialog>("TColorDialog", TCommonDialog::StaticClass(), [](TClassBuilder<TColorDialog>& b) {
    b.Bag("Color", ColorType(), clBlack);
    b.Obj("CustomColors", &TColorDialog::CustomColors);
    b.Bag("Options",
          SetType("TColorDialogOptions", EnumType("TColorDialogOption", {"cdFullOpen", "cdPreventFullOpen",
                                                                         "cdShowHelp", "cdSolidColor", "cdAnyColor"})),
          0);
  });
}

const TMetaClass& TPrintDialog::StaticClass() {
  return DefineClass<TPrintDialog>("TPrintDialog", TCommonDialog::StaticClass(), [](TClassBuilder<TPrintDialog>& b) {
    b.Bag("Collate", Bool(), 0);
    b.Bag("Copies", Int(), 0);
    b.Bag("FromPage", Int(), 0);
    b.Bag("MaxPage", Int(), 0);
    b.Bag("MinPage", Int(), 0);
    b.Bag("Options",
          SetType("TPrintDialogOptions", EnumType("TPrintDialogOption", {"poPrintToFile", "poPageNums", "poSelection",
                                                                         "poWarning", "poHelp", "poDisablePrintToFile"})),
          0);
    b.Bag("PrintRange", EnumType("TPrintRange", {"prAllPages", "prSelection", "prPageNums"}), 0);
    b.Bag("PrintToFile", Bool(), 0);
    b.Bag("ToPage", Int(), 0);
  });
}

const TMetaClass& TPrinterSetupDialog::StaticClass() {
  return DefineClass<TPrinterSetupDialog>("TPrinterSetupDialog", TCommonDialog::StaticClass());
}
const TMetaClass& TPrintSetupDialog::StaticClass() {
  return DefineClass<TPrintSetupDialog>("TPrintSetupDialog", TPrinterSetupDialog::StaticClass());
}

const TMetaClass& TFindDialog::StaticClass() {
  return DefineClass<TFindDialog>("TFindDialog", TCommonDialog::StaticClass(), [](TClassBuilder<TFindDialog>& b) {
    b.BagStr("FindText");
    b.Bag("Options", FindOptionsType(), 1);
    b.Event("OnFind");
  });
}

const TMetaClass& TReplaceDialog::StaticClass() {
  return DefineClass<TReplaceDialog>("TReplaceDialog", TFindDialog::StaticClass(), [](TClassBuilder<TReplaceDialog>& b) {
    b.BagStr("ReplaceText");
    b.Event("OnReplace");
  });
}

}  // namespace quintrel::vcl
