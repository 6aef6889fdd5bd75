// Panels, images, shapes, timers, radio groups, bitmap buttons and the other controls
// forms carry besides the standard ones.
#pragma once

#include <memory>

#include "platform/vcl/stdctrls.h"

namespace quintrel::vcl {

class TCustomPanel : public TCustomControl {
  QUINTREL_CLASS(TCustomPanel)
};
class TPanel : public TCustomPanel {
  QUINTREL_CLASS(TPanel)
};

class TImage : public TGraphicControl {
  QUINTREL_CLASS(TImage)
  TPicture* Picture() const { return picture_.get(); }

private:
  std::unique_ptr<TPicture> picture_ = std::make_unique<TPicture>();
};

class TShape : public TGraphicControl {
  QUINTREL_CLASS(TShape)
};
class TBevel : public TGraphicControl {
  QUINTREL_CLASS(TBevel)
};
class TSplitter : public TGraphicControl {
  QUINTREL_CLASS(TSplitter)
};
class TPaintBox : public TGraphicControl {
  QUINTREL_CLASS(TPaintBox)
};
class TTimer : public TComponent {
  QUINTREL_CLASS(TTimer)
};

class TCustomRadioGroup : public TCustomGroupBox {
  QUINTREL_CLASS(TCustomRadioGroup)
  TStrings* Items() const { return items_.List(); }

private:
  TStringsHolder items_;
};
class TRadioGroup : public TCustomRadioGroup {
  QUINTREL_CLASS(TRadioGroup)
};

// Buttons with a glyph.
class TBitBtn : public TButton {
  QUINTREL_CLASS(TBitBtn)
  TBitmap* Glyph() const { return glyph_.get(); }

private:
  std::unique_ptr<TBitmap> glyph_ = std::make_unique<TBitmap>();
};

class TSpeedButton : public TGraphicControl {
  QUINTREL_CLASS(TSpeedButton)
  TBitmap* Glyph() const { return glyph_.get(); }

private:
  std::unique_ptr<TBitmap> glyph_ = std::make_unique<TBitmap>();
};

// Controls of the class table that a localiser meets only for their texts.
class TOutline : public TCustomControl {
  QUINTREL_CLASS(TOutline)
  TStrings* Lines() const { return lines_.List(); }

private:
  TStringsHolder lines_;
};
class TMediaPlayer : public TCustomControl {
  QUINTREL_CLASS(TMediaPlayer)
};
class TOleContainer : public TCustomControl {
  QUINTREL_CLASS(TOleContainer)
};

// Report controls.
class TQRLabel : public TGraphicControl {
  QUINTREL_CLASS(TQRLabel)
};
class TQRDBText : public TQRLabel {
  QUINTREL_CLASS(TQRDBText)
};
class TQRImage : public TGraphicControl {
  QUINTREL_CLASS(TQRImage)
  TPicture* Picture() const { return picture_.get(); }

private:
  std::unique_ptr<TPicture> picture_ = std::make_unique<TPicture>();
};
class TQRDBImage : public TGraphicControl {
  QUINTREL_CLASS(TQRDBImage)
};
class TQRShape : public TGraphicControl {
  QUINTREL_CLASS(TQRShape)
};

}  // namespace quintrel::vcl
