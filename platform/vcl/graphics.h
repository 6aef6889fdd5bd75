// Colours, fonts and pictures.
//
// Graphics are kept as their native stream image (a .bmp, .ico, .wmf/.emf file image,
// or whatever a foreign graphic class streams); nothing is decoded beyond the header
// that gives the dimensions. That is all a localiser needs: the bytes to store as a
// term and to put back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/vcl/classes.h"
#include "platform/win32/gdi.h"

namespace quintrel::vcl {

// --- colours ---------------------------------------------------------------------------

using TColor = int32_t;
// System colours carry the high bit and the COLOR_* index of the system palette.
constexpr TColor SystemColor(int index) { return static_cast<TColor>(0x80000000u | static_cast<uint32_t>(index)); }

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF,
                 clMoneyGreen = 0xC0DCC0, clSkyBlue = 0xF0CAA6, clCream = 0xF0FBFF, clMedGray = 0xA4A0A0;
constexpr TColor clScrollBar = SystemColor(0), clBackground = SystemColor(1), clActiveCaption = SystemColor(2),
                 clInactiveCaption = SystemColor(3), clMenu = SystemColor(4), clWindow = SystemColor(5),
                 clWindowFrame = SystemColor(6), clMenuText = SystemColor(7), clWindowText = SystemColor(8),
                 clCaptionText = SystemColor(9), clActiveBorder = SystemColor(10),
                 clInactiveBorder = SystemColor(11), clAppWorkSpace = SystemColor(12),
                 clHighlight = SystemColor(13), clHighlightText = SystemColor(14), clBtnFace = SystemColor(15),
                 clBtnShadow = SystemColor(16), clGrayText = SystemColor(17), clBtnText = SystemColor(18),
                 clInactiveCaptionText = SystemColor(19), clBtnHighlight = SystemColor(20),
                 cl3DDkShadow = SystemColor(21), cl3DLight = SystemColor(22), clInfoText = SystemColor(23),
                 clInfoBk = SystemColor(24), clHotLight = SystemColor(26),
                 clGradientActiveCaption = SystemColor(27), clGradientInactiveCaption = SystemColor(28),
                 clMenuHighlight = SystemColor(29), clMenuBar = SystemColor(30);
constexpr TColor clNone = 0x1FFFFFFF, clDefault = 0x20000000;

// The colour identifiers (clRed, clBtnFace, …), case-insensitively.
bool IdentToColor(std::string_view ident, int64_t& color);
bool ColorToIdent(int64_t color, std::string& ident);
// An identifier or a number ($hex or decimal); raises EConvertError otherwise.
TColor StringToColor(std::string_view text);
// The identifier, else $00BBGGRR.
std::string ColorToString(TColor color);

PTypeInfo ColorType();         // TColor
PTypeInfo FontCharsetType();   // TFontCharset, with the *_CHARSET identifiers
PTypeInfo CursorType();        // TCursor, with the cr* identifiers

using TFontCharset = uint8_t;
constexpr TFontCharset ANSI_CHARSET = 0, DEFAULT_CHARSET = 1, SYMBOL_CHARSET = 2, RUSSIAN_CHARSET = 204,
                       ARABIC_CHARSET = 178, GB2312_CHARSET = 134, HANGEUL_CHARSET = 129,
                       SHIFTJIS_CHARSET = 128, CHINESEBIG5_CHARSET = 136, EASTEUROPE_CHARSET = 238;

// --- fonts -----------------------------------------------------------------------------

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = uint32_t;  // bit (1 << TFontStyle)
enum TFontPitch { fpDefault, fpVariable, fpFixed };

class TFont : public TPersistent {
  QUINTREL_CLASS(TFont)
  TFont();
  ~TFont() override;
  TFont(const TFont&) = delete;
  TFont& operator=(const TFont&) = delete;

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  int Height() const { return height_; }
  void SetHeight(int height);
  // Points, from the height at PixelsPerInch.
  int Size() const;
  void SetSize(int size);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TFontCharset Charset() const { return charset_; }
  void SetCharset(TFontCharset charset);
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch pitch);
  int PixelsPerInch() const { return pixelsPerInch_; }
  void SetPixelsPerInch(int ppi) { pixelsPerInch_ = ppi > 0 ? ppi : 96; }

  void Assign(const TPersistent* source) override;
  bool Equals(const TFont& other) const;
  // Called after every change (a control's ParentFont goes off).
  std::function<void(TFont&)> OnChange;

  // The font object of the window manager with this description, made on first use
  // (CreateFontIndirect: lfHeight = Height, weight 700 for fsBold else 400, italic,
  // underline and strike-out from Style, Charset, the face Name in the ANSI code page,
  // pitch 2 for fpVariable and 1 for fpFixed). Every change makes a new one; the font
  // deletes the objects it made.
  win32::HFONT Handle() const;
  // Takes the description of a font object (name, height, style, charset, pitch) and
  // uses that object as its handle until the next change. A handle made elsewhere stays
  // its maker's: the font never deletes it. An invalid handle changes nothing.
  void SetHandle(win32::HFONT font);
  // The logical font Handle is made from.
  win32::LOGFONTW LogFont() const;

private:
  void Changed();
  void ReleaseHandle();
  mutable win32::HFONT handle_{};
  mutable bool ownsHandle_ = false;
  std::string name_ = "MS Sans Serif";
  int height_ = -11;
  TFontStyles style_ = 0;
  TColor color_ = clWindowText;
  TFontCharset charset_ = DEFAULT_CHARSET;
  TFontPitch pitch_ = fpDefault;
  int pixelsPerInch_ = 96;
};

// --- graphics --------------------------------------------------------------------------

class TGraphic : public TPersistent {
  QUINTREL_CLASS(TGraphic)
  // The native stream image: what SaveToStream writes and LoadFromStream reads.
  const std::string& Image() const { return image_; }
  virtual void LoadFromStream(std::string_view bytes);
  std::string SaveToStream() const { return image_; }
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;
  bool Empty() const { return image_.empty(); }
  void Clear() { LoadFromStream({}); }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // The "Data" of a form stream: the image, behind a 32-bit size for the classes that
  // write one (bitmaps, metafiles, and foreign classes read that way).
  virtual void ReadData(std::string_view data);
  virtual std::string WriteData() const;

  void Assign(const TPersistent* source) override;
  bool ReadDefined(std::string_view name, const TStreamValue& value, const TFilerContext& ctx) override;
  std::vector<std::string> DefinedNames() const override;
  std::optional<TStreamValue> WriteDefined(std::string_view name, const TStreamValue* hint,
                                           const TFilerContext& ctx) const override;

protected:
  TGraphic() = default;
  // Reads the width and height from the image header; 0 x 0 when unknown.
  virtual void ReadDimensions();
  std::string image_;
  int width_ = 0;
  int height_ = 0;
  bool sizePrefixed_ = false;
};

class TBitmap : public TGraphic {
  QUINTREL_CLASS(TBitmap)
  TBitmap() { sizePrefixed_ = true; }
};

class TIcon : public TGraphic {
  QUINTREL_CLASS(TIcon)
};

class TMetafile : public TGraphic {
  QUINTREL_CLASS(TMetafile)
  TMetafile() { sizePrefixed_ = true; }
  // An enhanced metafile (.emf) rather than a Windows metafile (.wmf).
  bool Enhanced() const;
};

// A graphic of a class the model does not know (a PNG or JPEG image class), kept as
// the bytes its class streams.
class TForeignGraphic : public TGraphic {
  QUINTREL_CLASS(TForeignGraphic)
};

// The graphic class of a name: registered classes, else a run-time class deriving from
// TForeignGraphic.
TClass GraphicClass(std::string_view name);

class TPicture : public TPersistent {
  QUINTREL_CLASS(TPicture)
  TPicture();
  ~TPicture() override;

  TGraphic* Graphic() const { return graphic_.get(); }
  // Takes a copy of the graphic (nullptr empties the picture).
  void SetGraphic(const TGraphic* graphic);
  // The graphic as that class, replacing another one.
  TBitmap* Bitmap();
  TIcon* Icon();
  TMetafile* Metafile();
  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }

  void Assign(const TPersistent* source) override;
  // "Data": the graphic's class name (a short string) and its own data.
  bool ReadDefined(std::string_view name, const TStreamValue& value, const TFilerContext& ctx) override;
  std::vector<std::string> DefinedNames() const override;
  std::optional<TStreamValue> WriteDefined(std::string_view name, const TStreamValue* hint,
                                           const TFilerContext& ctx) const override;

private:
  template <class G>
  G* As();
  std::unique_ptr<TGraphic> graphic_;
};

}  // namespace quintrel::vcl
