// The common dialogs: their published texts and options. Showing them is the window
// manager's business; the translator reads and writes their properties.
#pragma once

#include <memory>

#include "platform/vcl/stdctrls.h"

namespace quintrel::vcl {

class TCommonDialog : public TComponent {
  QUINTREL_CLASS(TCommonDialog)
};

class TOpenDialog : public TCommonDialog {
  QUINTREL_CLASS(TOpenDialog)
};
class TSaveDialog : public TOpenDialog {
  QUINTREL_CLASS(TSaveDialog)
};
class TOpenPictureDialog : public TOpenDialog {
  QUINTREL_CLASS(TOpenPictureDialog)
};
class TSavePictureDialog : public TOpenPictureDialog {
  QUINTREL_CLASS(TSavePictureDialog)
};

class TFontDialog : public TCommonDialog {
  QUINTREL_CLASS(TFontDialog)
  TFont* Font() const { return font_.get(); }

private:
  std::unique_ptr<TFont> font_ = std::make_unique<TFont>();
};

class TColorDialog : public TCommonDialog {
  QUINTREL_CLASS(TColorDialog)
  TStrings* CustomColors() const { return colors_.List(); }

private:
  TStringsHolder colors_;
};

class TPrintDialog : public TCommonDialog {
  QUINTREL_CLASS(TPrintDialog)
};
class TPrinterSetupDialog : public TCommonDialog {
  QUINTREL_CLASS(TPrinterSetupDialog)
};
// The name older forms give the printer set-up dialog.
class TPrintSetupDialog : public TPrinterSetupDialog {
  QUINTREL_CLASS(TPrintSetupDialog)
};

class TFindDialog : public TCommonDialog {
  QUINTREL_CLASS(TFindDialog)
};
class TReplaceDialog : public TFindDialog {
  QUINTREL_CLASS(TReplaceDialog)
};

}  // namespace quintrel::vcl
