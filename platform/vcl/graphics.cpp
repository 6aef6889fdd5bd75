#include "platform/vcl/graphics.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <map>

#include "platform/rtl/classes.h"
#include "platform/vcl/charsets.h"
#include "platform/vcl/classbuilder.h"
#include "strings/vclconsts.h"

namespace quintrel::vcl {

namespace {

using rtl::Format;
namespace S = quintrel::strings;

// In the order the runtime library lists them; the first identifier of a value wins.
const std::vector<TIdentMapEntry>& ColorIdents() {
  static const std::vector<TIdentMapEntry> map = {
      {clBlack, "clBlack"},
      {clMaroon, "clMaroon"},
      {clGreen, "clGreen"},
      {clOlive, "clOlive"},
      {clNavy, "clNavy"},
      {clPurple, "clPurple"},
      {clTeal, "clTeal"},
      {clGray, "clGray"},
      {clSilver, "clSilver"},
      {clRed, "clRed"},
      {clLime, "clLime"},
      {clYellow, "clYellow"},
      {clBlue, "clBlue"},
      {clFuchsia, "clFuchsia"},
      {clAqua, "clAqua"},
      {clWhite, "clWhite"},
      {clMoneyGreen, "clMoneyGreen"},
      {clSkyBlue, "clSkyBlue"},
      {clCream, "clCream"},
      {clMedGray, "clMedGray"},
      {clActiveBorder, "clActiveBorder"},
      {clActiveCaption, "clActiveCaption"},
      {clAppWorkSpace, "clAppWorkSpace"},
      {clBackground, "clBackground"},
      {clBtnFace, "clBtnFace"},
      {clBtnHighlight, "clBtnHighlight"},
      {clBtnShadow, "clBtnShadow"},
      {clBtnText, "clBtnText"},
      {clCaptionText, "clCaptionText"},
      {clDefault, "clDefault"},
      {clGradientActiveCaption, "clGradientActiveCaption"},
      {clGradientInactiveCaption, "clGradientInactiveCaption"},
      {clGrayText, "clGrayText"},
      {clHighlight, "clHighlight"},
      {clHighlightText, "clHighlightText"},
      {clHotLight, "clHotLight"},
      {clInactiveBorder, "clInactiveBorder"},
      {clInactiveCaption, "clInactiveCaption"},
      {clInactiveCaptionText, "clInactiveCaptionText"},
      {clInfoBk, "clInfoBk"},
      {clInfoText, "clInfoText"},
      {clMenu, "clMenu"},
      {clMenuBar, "clMenuBar"},
      {clMenuHighlight, "clMenuHighlight"},
      {clMenuText, "clMenuText"},
      {clNone, "clNone"},
      {clScrollBar, "clScrollBar"},
      {cl3DDkShadow, "cl3DDkShadow"},
      {cl3DLight, "cl3DLight"},
      {clWindow, "clWindow"},
      {clWindowFrame, "clWindowFrame"},
      {clWindowText, "clWindowText"},
  };
  return map;
}

uint32_t U32(std::string_view b, size_t at) {
  if (at + 4 > b.size()) return 0;
  return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) | static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}
uint16_t U16(std::string_view b, size_t at) {
  if (at + 2 > b.size()) return 0;
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}
uint32_t BigU32(std::string_view b, size_t at) {
  if (at + 4 > b.size()) return 0;
  return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) << 24 | static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 8 | static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3]));
}

std::string SizeBytes(size_t n) {
  std::string s(4, '\0');
  for (size_t i = 0; i < 4; ++i) s[i] = static_cast<char>((n >> (8 * i)) & 0xFF);
  return s;
}

}  // namespace

bool IdentToColor(std::string_view ident, int64_t& color) { return IdentToInt(ColorType(), ident, color); }
bool ColorToIdent(int64_t color, std::string& ident) { return IntToIdent(ColorType(), color, ident); }

TColor StringToColor(std::string_view text) {
  int64_t v = 0;
  if (IdentToColor(text, v)) return static_cast<TColor>(v);
  if (rtl::TryStrToInt(text, v)) return static_cast<TColor>(v);
  throw EConvertError(Format(S::_SInvalidPropertyValue, std::string(text), "TColor"));
}

std::string ColorToString(TColor color) {
  std::string ident;
  if (ColorToIdent(color, ident)) return ident;
  return "$" + rtl::IntToHex(static_cast<uint32_t>(color), 8);
}

PTypeInfo ColorType() {
  static PTypeInfo type = [] {
    PTypeInfo t = IntegerType("TColor", INT32_MIN, INT32_MAX);
    RegisterIntegerConsts(t, ColorIdents());
    return t;
  }();
  return type;
}

PTypeInfo FontCharsetType() {
  static PTypeInfo type = [] {
    PTypeInfo t = IntegerType("TFontCharset", 0, 255);
    RegisterIntegerConsts(t, {{0, "ANSI_CHARSET"},         {1, "DEFAULT_CHARSET"},    {2, "SYMBOL_CHARSET"},
                              {77, "MAC_CHARSET"},         {128, "SHIFTJIS_CHARSET"}, {129, "HANGEUL_CHARSET"},
                              {130, "JOHAB_CHARSET"},      {134, "GB2312_CHARSET"},   {136, "CHINESEBIG5_CHARSET"},
                              {161, "GREEK_CHARSET"},      {162, "TURKISH_CHARSET"},  {163, "VIETNAMESE_CHARSET"},
                              {177, "HEBREW_CHARSET"},     {178, "ARABIC_CHARSET"},   {186, "BALTIC_CHARSET"},
                              {204, "RUSSIAN_CHARSET"},    {222, "THAI_CHARSET"},     {238, "EASTEUROPE_CHARSET"},
                              {255, "OEM_CHARSET"}});
    return t;
  }();
  return type;
}

PTypeInfo CursorType() {
  static PTypeInfo type = [] {
    PTypeInfo t = IntegerType("TCursor", -32768, 32767);
    RegisterIntegerConsts(t, {{0, "crDefault"},    {-1, "crNone"},       {-2, "crArrow"},      {-3, "crCross"},
                              {-4, "crIBeam"},     {-22, "crSizeAll"},   {-6, "crSizeNESW"},   {-7, "crSizeNS"},
                              {-8, "crSizeNWSE"},  {-9, "crSizeWE"},     {-10, "crUpArrow"},   {-11, "crHourGlass"},
                              {-12, "crDrag"},     {-13, "crNoDrop"},    {-14, "crHSplit"},    {-15, "crVSplit"},
                              {-16, "crMultiDrag"}, {-17, "crSQLWait"},  {-18, "crNo"},        {-19, "crAppStart"},
                              {-20, "crHelp"},     {-21, "crHandPoint"}, {-22, "crSize"}});
    return t;
  }();
  return type;
}

// --- TFont -----------------------------------------------------------------------------

const TMetaClass& TFont::StaticClass() {
  return DefineClass<TFont>("TFont", TPersistent::StaticClass(), [](TClassBuilder<TFont>& b) {
    b.Ord("Charset", FontCharsetType(), &TFont::Charset, &TFont::SetCharset);
    b.Ord("Color", ColorType(), &TFont::Color, &TFont::SetColor);
    b.Ord("Height", StandardType("Integer"), &TFont::Height, &TFont::SetHeight);
    b.Str("Name", StringType("TFontName"), &TFont::Name, &TFont::SetName);
    b.Ord("Pitch", EnumType("TFontPitch", {"fpDefault", "fpVariable", "fpFixed"}), &TFont::Pitch, &TFont::SetPitch,
          fpDefault);
    b.Ord("Size", StandardType("Integer"), &TFont::Size, &TFont::SetSize).NotStored();
    b.Ord("Style", SetType("TFontStyles", EnumType("TFontStyle", {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"})),
          &TFont::Style, &TFont::SetStyle);
  });
}

TFont::TFont() = default;

TFont::~TFont() { ReleaseHandle(); }

void TFont::Changed() {
  ReleaseHandle();
  if (OnChange) OnChange(*this);
}

void TFont::ReleaseHandle() {
  if (handle_ && ownsHandle_) win32::DeleteObject(handle_);
  handle_ = {};
  ownsHandle_ = false;
}

win32::LOGFONTW TFont::LogFont() const {
  win32::LOGFONTW font;
  font.lfHeight = height_;
  font.lfWeight = (style_ & (1u << fsBold)) ? win32::FW_BOLD : win32::FW_NORMAL;
  font.lfItalic = (style_ & (1u << fsItalic)) ? 1 : 0;
  font.lfUnderline = (style_ & (1u << fsUnderline)) ? 1 : 0;
  font.lfStrikeOut = (style_ & (1u << fsStrikeOut)) ? 1 : 0;
  font.lfCharSet = charset_;
  font.lfPitchAndFamily = pitch_ == fpVariable ? win32::VARIABLE_PITCH
                          : pitch_ == fpFixed  ? win32::FIXED_PITCH
                                               : win32::DEFAULT_PITCH;
  win32::SetFaceName(font, AnsiCodec().ToWide(name_));
  return font;
}

win32::HFONT TFont::Handle() const {
  if (!handle_) {
    handle_ = win32::CreateFontIndirect(LogFont());
    ownsHandle_ = true;
  }
  return handle_;
}

void TFont::SetHandle(win32::HFONT font) {
  win32::LOGFONTW description;
  if (win32::GetObject(font, sizeof description, &description) != sizeof description) return;
  TFontStyles style = 0;
  if (description.lfWeight >= win32::FW_BOLD) style |= 1u << fsBold;
  if (description.lfItalic) style |= 1u << fsItalic;
  if (description.lfUnderline) style |= 1u << fsUnderline;
  if (description.lfStrikeOut) style |= 1u << fsStrikeOut;
  int pitch = description.lfPitchAndFamily & 0x0F;
  std::string name = AnsiCodec().ToNarrow(win32::FaceName(description));
  if (!name.empty()) name_ = name;
  height_ = description.lfHeight;
  style_ = style;
  charset_ = description.lfCharSet;
  pitch_ = pitch == win32::VARIABLE_PITCH ? fpVariable : pitch == win32::FIXED_PITCH ? fpFixed : fpDefault;
  ReleaseHandle();
  handle_ = font;
  ownsHandle_ = false;
  if (OnChange) OnChange(*this);
}

void TFont::SetName(const std::string& name) {
  if (name == name_ || name.empty()) return;
  name_ = name;
  Changed();
}
void TFont::SetHeight(int height) {
  if (height == height_) return;
  height_ = height;
  Changed();
}
int TFont::Size() const {
  return -static_cast<int>(std::lround(static_cast<double>(height_) * 72.0 / pixelsPerInch_));
}
void TFont::SetSize(int size) {
  SetHeight(-static_cast<int>(std::lround(static_cast<double>(size) * pixelsPerInch_ / 72.0)));
}
void TFont::SetStyle(TFontStyles style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}
void TFont::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}
void TFont::SetCharset(TFontCharset charset) {
  if (charset == charset_) return;
  charset_ = charset;
  Changed();
}
void TFont::SetPitch(TFontPitch pitch) {
  if (pitch == pitch_) return;
  pitch_ = pitch;
  Changed();
}

bool TFont::Equals(const TFont& o) const {
  return name_ == o.name_ && height_ == o.height_ && style_ == o.style_ && color_ == o.color_ &&
         charset_ == o.charset_ && pitch_ == o.pitch_;
}

void TFont::Assign(const TPersistent* source) {
  if (const auto* f = dynamic_cast<const TFont*>(source)) {
    if (Equals(*f)) return;
    name_ = f->name_;
    height_ = f->height_;
    style_ = f->style_;
    color_ = f->color_;
    charset_ = f->charset_;
    pitch_ = f->pitch_;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

// --- graphics --------------------------------------------------------------------------

const TMetaClass& TGraphic::StaticClass() { return DefineClass<TGraphic>("TGraphic", TPersistent::StaticClass()); }
const TMetaClass& TBitmap::StaticClass() { return DefineClass<TBitmap>("TBitmap", TGraphic::StaticClass()); }
const TMetaClass& TIcon::StaticClass() { return DefineClass<TIcon>("TIcon", TGraphic::StaticClass()); }
const TMetaClass& TMetafile::StaticClass() { return DefineClass<TMetafile>("TMetafile", TGraphic::StaticClass()); }
const TMetaClass& TForeignGraphic::StaticClass() {
  return DefineClass<TForeignGraphic>("TForeignGraphic", TGraphic::StaticClass());
}

void TGraphic::LoadFromStream(std::string_view bytes) {
  image_ = std::string(bytes);
  ReadDimensions();
}

void TGraphic::LoadFromFile(const std::string& fileName) {
  rtl::TMemoryStream m;
  m.LoadFromFile(fileName);
  LoadFromStream(std::string_view(reinterpret_cast<const char*>(m.Bytes().data()), m.Bytes().size()));
}

void TGraphic::SaveToFile(const std::string& fileName) const {
  rtl::TFileStream f(fileName, rtl::fmCreate);
  f.WriteBuffer(image_.data(), image_.size());
}

void TGraphic::ReadData(std::string_view data) {
  // A leading 32-bit size that matches the rest marks the size-prefixed layout.
  bool prefixed = data.size() >= 4 && U32(data, 0) == data.size() - 4;
  sizePrefixed_ = prefixed;
  LoadFromStream(prefixed ? data.substr(4) : data);
}

std::string TGraphic::WriteData() const { return sizePrefixed_ ? SizeBytes(image_.size()) + image_ : image_; }

void TGraphic::Assign(const TPersistent* source) {
  if (const auto* g = dynamic_cast<const TGraphic*>(source)) {
    image_ = g->image_;
    width_ = g->width_;
    height_ = g->height_;
    sizePrefixed_ = g->sizePrefixed_;
    return;
  }
  if (!source) {
    Clear();
    return;
  }
  TPersistent::Assign(source);
}

bool TGraphic::ReadDefined(std::string_view name, const TStreamValue& value, const TFilerContext& ctx) {
  if (name != "Data" || value.Type != vaBinary) return TPersistent::ReadDefined(name, value, ctx);
  ReadData(value.Bytes);
  return true;
}

std::vector<std::string> TGraphic::DefinedNames() const {
  if (Empty()) return {};
  return {"Data"};
}

std::optional<TStreamValue> TGraphic::WriteDefined(std::string_view name, const TStreamValue*, const TFilerContext&) const {
  if (name != "Data") return std::nullopt;
  return TStreamValue::Binary(WriteData());
}

void TGraphic::ReadDimensions() {
  width_ = height_ = 0;
  std::string_view b = image_;
  if (b.size() >= 26 && b.substr(0, 2) == "BM") {  // bitmap file: file header, then DIB header
    uint32_t header = U32(b, 14);
    if (header == 12) {
      width_ = U16(b, 18);
      height_ = U16(b, 20);
    } else {
      width_ = static_cast<int32_t>(U32(b, 18));
      // Negative: a top-down bitmap. The most negative value has no positive counterpart
      // and is no real height; a damaged picture measures 0 rather than overflowing.
      const int32_t h = static_cast<int32_t>(U32(b, 22));
      height_ = h == INT32_MIN ? 0 : std::abs(h);
    }
  } else if (b.size() >= 8 && U16(b, 0) == 0 && (U16(b, 2) == 1 || U16(b, 2) == 2) && U16(b, 4) > 0) {
    // Icon or cursor directory: the first entry's size, 0 meaning 256.
    width_ = static_cast<uint8_t>(b[6]) ? static_cast<uint8_t>(b[6]) : 256;
    height_ = static_cast<uint8_t>(b[7]) ? static_cast<uint8_t>(b[7]) : 256;
  } else if (b.size() >= 16 && U32(b, 0) == 0x9AC6CDD7u) {  // placeable metafile: box in units per inch
    int inch = U16(b, 14);
    if (inch > 0) {
      width_ = (static_cast<int16_t>(U16(b, 10)) - static_cast<int16_t>(U16(b, 6))) * 96 / inch;
      height_ = (static_cast<int16_t>(U16(b, 12)) - static_cast<int16_t>(U16(b, 8))) * 96 / inch;
    }
  } else if (b.size() >= 24 && U32(b, 0) == 1 && b.size() >= 44 && b.substr(40, 4) == " EMF") {
    width_ = static_cast<int32_t>(U32(b, 16)) - static_cast<int32_t>(U32(b, 8)) + 1;
    height_ = static_cast<int32_t>(U32(b, 20)) - static_cast<int32_t>(U32(b, 12)) + 1;
  } else if (b.size() >= 24 && b.substr(1, 3) == "PNG") {
    width_ = static_cast<int>(BigU32(b, 16));
    height_ = static_cast<int>(BigU32(b, 20));
  } else if (b.size() >= 4 && static_cast<uint8_t>(b[0]) == 0xFF && static_cast<uint8_t>(b[1]) == 0xD8) {
    // JPEG: the first start-of-frame segment holds the size.
    size_t at = 2;
    while (at + 9 < b.size() && static_cast<uint8_t>(b[at]) == 0xFF) {
      uint8_t marker = static_cast<uint8_t>(b[at + 1]);
      size_t length = static_cast<size_t>(static_cast<uint8_t>(b[at + 2]) << 8 | static_cast<uint8_t>(b[at + 3]));
      if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
        height_ = static_cast<uint8_t>(b[at + 5]) << 8 | static_cast<uint8_t>(b[at + 6]);
        width_ = static_cast<uint8_t>(b[at + 7]) << 8 | static_cast<uint8_t>(b[at + 8]);
        break;
      }
      if (length < 2) break;
      at += 2 + length;
    }
  }
  if (width_ < 0 || height_ < 0) width_ = height_ = 0;
}

bool TMetafile::Enhanced() const { return image_.size() >= 44 && image_.substr(40, 4) == " EMF"; }

TClass GraphicClass(std::string_view name) {
  for (TClass known : {&TBitmap::StaticClass(), &TIcon::StaticClass(), &TMetafile::StaticClass()})
    if (known->ClassName() == name) return known;
  if (TClass registered = GetClass(name); registered && registered->InheritsFrom(&TGraphic::StaticClass()))
    return registered;
  static std::map<std::string, std::unique_ptr<TMetaClass>> foreign;
  auto& cls = foreign[std::string(name)];
  if (!cls) cls = TMetaClass::MakeRunTimeClass(std::string(name), &TForeignGraphic::StaticClass(), false);
  return cls.get();
}

// --- TPicture --------------------------------------------------------------------------

const TMetaClass& TPicture::StaticClass() { return DefineClass<TPicture>("TPicture", TPersistent::StaticClass()); }

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::SetGraphic(const TGraphic* graphic) {
  if (!graphic) {
    graphic_.reset();
    return;
  }
  std::unique_ptr<TObject> copy = graphic->ClassType().CreateInstance();
  auto* g = dynamic_cast<TGraphic*>(copy.get());
  if (!g) return;
  copy.release();
  graphic_.reset(g);
  graphic_->Assign(graphic);
}

template <class G>
G* TPicture::As() {
  if (!graphic_ || &graphic_->ClassType() != &G::StaticClass()) graphic_ = std::make_unique<G>();
  return static_cast<G*>(graphic_.get());
}

TBitmap* TPicture::Bitmap() { return As<TBitmap>(); }
TIcon* TPicture::Icon() { return As<TIcon>(); }
TMetafile* TPicture::Metafile() { return As<TMetafile>(); }

void TPicture::Assign(const TPersistent* source) {
  if (!source) {
    graphic_.reset();
  } else if (const auto* p = dynamic_cast<const TPicture*>(source)) {
    SetGraphic(p->Graphic());
  } else if (const auto* g = dynamic_cast<const TGraphic*>(source)) {
    SetGraphic(g);
  } else {
    TPersistent::Assign(source);
  }
}

bool TPicture::ReadDefined(std::string_view name, const TStreamValue& value, const TFilerContext& ctx) {
  if (name != "Data" || value.Type != vaBinary) return TPersistent::ReadDefined(name, value, ctx);
  std::string_view data = value.Bytes;
  if (data.empty()) {
    graphic_.reset();
    return true;
  }
  size_t length = static_cast<uint8_t>(data[0]);
  if (length + 1 > data.size()) return false;
  std::string_view className = data.substr(1, length);
  if (className.empty()) {  // an empty picture written with an empty class name
    graphic_.reset();
    return data.size() == 1;
  }
  std::unique_ptr<TObject> obj = GraphicClass(className)->CreateInstance();
  auto* g = dynamic_cast<TGraphic*>(obj.get());
  if (!g) return false;
  obj.release();
  graphic_.reset(g);
  graphic_->ReadData(data.substr(length + 1));
  return true;
}

std::vector<std::string> TPicture::DefinedNames() const {
  if (!graphic_ || graphic_->Empty()) return {};
  return {"Data"};
}

std::optional<TStreamValue> TPicture::WriteDefined(std::string_view name, const TStreamValue*, const TFilerContext&) const {
  if (name != "Data") return std::nullopt;
  std::string className = graphic_ ? graphic_->ClassName() : std::string();
  std::string data(1, static_cast<char>(std::min<size_t>(className.size(), 255)));
  data += className.substr(0, 255);
  if (graphic_) data += graphic_->WriteData();
  return TStreamValue::Binary(std::move(data));
}

}  // namespace quintrel::vcl
