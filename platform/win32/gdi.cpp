#include "platform/win32/gdi.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>
#include <unordered_map>

#include "platform/win32/fontmetrics.h"
#include "platform/win32/internal.h"
#include "platform/win32/winuser.h"

namespace quintrel::win32 {

namespace {

constexpr LONG kLimit = 32767;
constexpr LONG kDefaultEm = 11;

struct TFontObject {
  LOGFONTW font;
  bool stock = false;
};

struct TDeviceContext {
  HWND window{};  // the window of GetDC; null for the screen
  bool memory = false;
  HFONT font{};
};

struct TGdi {
  std::unordered_map<HFONT, TFontObject> fonts;
  std::unordered_map<int, HFONT> stock;
  std::unordered_map<HDC, TDeviceContext> contexts;
};

LOGFONTW MakeFont(std::u16string_view face, LONG height, LONG weight, BYTE pitchAndFamily) {
  LOGFONTW font;
  font.lfHeight = height;
  font.lfWeight = weight;
  font.lfCharSet = ANSI_CHARSET;
  font.lfPitchAndFamily = pitchAndFamily;
  SetFaceName(font, face);
  return font;
}

TGdi& Gdi() {
  static TGdi gdi = [] {
    TGdi g;
    auto addStock = [&g](int which, const LOGFONTW& font) {
      HFONT handle = detail::NewHandle<HFONT>();
      g.fonts.emplace(handle, TFontObject{font, true});
      g.stock.emplace(which, handle);
    };
    addStock(SYSTEM_FONT, MakeFont(u"System", 16, FW_BOLD, VARIABLE_PITCH | FF_SWISS));
    addStock(DEFAULT_GUI_FONT, MakeFont(u"MS Sans Serif", -11, FW_NORMAL, VARIABLE_PITCH | FF_SWISS));
    addStock(ANSI_VAR_FONT, MakeFont(u"MS Sans Serif", 13, FW_NORMAL, VARIABLE_PITCH | FF_SWISS));
    addStock(ANSI_FIXED_FONT, MakeFont(u"Courier", 13, FW_NORMAL, FIXED_PITCH | FF_MODERN));
    addStock(OEM_FIXED_FONT, MakeFont(u"Terminal", 12, FW_NORMAL, FIXED_PITCH | FF_MODERN));
    return g;
  }();
  return gdi;
}

const TFontObject* FindFont(HFONT font) {
  auto& fonts = Gdi().fonts;
  auto it = fonts.find(font);
  return it == fonts.end() ? nullptr : &it->second;
}

TDeviceContext* FindContext(HDC dc) {
  auto& contexts = Gdi().contexts;
  auto it = contexts.find(dc);
  return it == contexts.end() ? nullptr : &it->second;
}

LONG Clamp(int64_t value) { return static_cast<LONG>(std::clamp<int64_t>(value, 0, kLimit)); }

HDC NewContext(HWND window, bool memory) {
  HDC dc = detail::NewHandle<HDC>();
  Gdi().contexts.emplace(dc, TDeviceContext{window, memory, GetStockFont(SYSTEM_FONT)});
  return dc;
}

int CopyObject(HFONT font, int bytes, void* buffer, const void* record, int size) {
  if (!FindFont(font)) return 0;
  if (!buffer) return size;
  if (bytes <= 0) return 0;
  int count = std::min(bytes, size);
  std::memcpy(buffer, record, static_cast<size_t>(count));
  return count;
}

}  // namespace

namespace {

// Everything but the face name, which each direction converts itself.
template <typename Target, typename Source>
Target CopyFontFields(const Source& font) {
  Target out;
  out.lfHeight = font.lfHeight;
  out.lfWidth = font.lfWidth;
  out.lfEscapement = font.lfEscapement;
  out.lfOrientation = font.lfOrientation;
  out.lfWeight = font.lfWeight;
  out.lfItalic = font.lfItalic;
  out.lfUnderline = font.lfUnderline;
  out.lfStrikeOut = font.lfStrikeOut;
  out.lfCharSet = font.lfCharSet;
  out.lfOutPrecision = font.lfOutPrecision;
  out.lfClipPrecision = font.lfClipPrecision;
  out.lfQuality = font.lfQuality;
  out.lfPitchAndFamily = font.lfPitchAndFamily;
  return out;
}

}  // namespace

LOGFONTW LogFontFromA(const LOGFONTA& font) {
  auto out = CopyFontFields<LOGFONTW>(font);
  const char* end = std::find(font.lfFaceName, font.lfFaceName + LF_FACESIZE, '\0');
  SetFaceName(out, detail::AnsiToWide(std::string_view(font.lfFaceName, end - font.lfFaceName)));
  return out;
}

LOGFONTA LogFontToA(const LOGFONTW& font) {
  auto out = CopyFontFields<LOGFONTA>(font);
  std::string face = detail::WideToAnsi(FaceName(font));
  std::copy_n(face.data(), std::min<size_t>(face.size(), LF_FACESIZE - 1), out.lfFaceName);
  return out;
}

void SetFaceName(LOGFONTW& font, std::u16string_view faceName) {
  std::fill(std::begin(font.lfFaceName), std::end(font.lfFaceName), u'\0');
  faceName = faceName.substr(0, faceName.find(u'\0'));
  std::copy_n(faceName.data(), std::min<size_t>(faceName.size(), LF_FACESIZE - 1), font.lfFaceName);
}

std::u16string_view FaceName(const LOGFONTW& font) {
  const char16_t* end = std::find(font.lfFaceName, font.lfFaceName + LF_FACESIZE, u'\0');
  return std::u16string_view(font.lfFaceName, end - font.lfFaceName);
}

int CharWidthUnits(char16_t c) {
  bool wide = (c >= 0x1100 && c <= 0x115F) ||                 // Hangul Jamo
              (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||  // CJK radicals .. Yi
              (c >= 0xAC00 && c <= 0xD7A3) ||                 // Hangul syllables
              (c >= 0xF900 && c <= 0xFAFF) ||                 // CJK compatibility ideographs
              (c >= 0xFE30 && c <= 0xFE4F) ||                 // CJK compatibility forms
              (c >= 0xFF00 && c <= 0xFF60) ||                 // full-width forms
              (c >= 0xFFE0 && c <= 0xFFE6);
  return wide ? 2 : 1;
}

TEXTMETRICW FontMetrics(const LOGFONTW& font) {
  TEXTMETRICW tm;
  int64_t height;
  int64_t leading;
  if (font.lfHeight > 0) {
    height = std::min<int64_t>(font.lfHeight, kLimit);
    leading = (height + 3) / 6;
  } else {
    int64_t em = font.lfHeight == 0 ? kDefaultEm : std::min<int64_t>(-static_cast<int64_t>(font.lfHeight), kLimit);
    leading = (em + 2) / 5;
    height = std::min<int64_t>(em + leading, kLimit);
  }
  tm.tmHeight = Clamp(height);
  tm.tmDescent = tm.tmHeight / 5;
  tm.tmAscent = tm.tmHeight - tm.tmDescent;
  tm.tmInternalLeading = Clamp(leading);
  int64_t average = font.lfWidth != 0 ? std::abs(static_cast<int64_t>(font.lfWidth)) : (2 * height + 2) / 5;
  average = std::max<int64_t>(average, 1);
  if (font.lfWeight >= FW_SEMIBOLD) ++average;
  tm.tmAveCharWidth = Clamp(average);
  tm.tmMaxCharWidth = Clamp(2 * static_cast<int64_t>(tm.tmAveCharWidth));
  tm.tmWeight = font.lfWeight == FW_DONTCARE ? FW_NORMAL : font.lfWeight;
  tm.tmDigitizedAspectX = 96;
  tm.tmDigitizedAspectY = 96;
  tm.tmFirstChar = 0x20;
  tm.tmLastChar = 0xFFFC;
  tm.tmDefaultChar = u'?';
  tm.tmBreakChar = u' ';
  tm.tmItalic = font.lfItalic;
  tm.tmUnderlined = font.lfUnderline;
  tm.tmStruckOut = font.lfStrikeOut;
  tm.tmPitchAndFamily = font.lfPitchAndFamily;
  tm.tmCharSet = font.lfCharSet;
  return tm;
}

SIZE AverageMeasureText(const LOGFONTW& font, std::u16string_view text) {
  TEXTMETRICW tm = FontMetrics(font);
  int64_t units = 0;
  for (char16_t c : text) units += CharWidthUnits(c);
  int64_t width = std::min<int64_t>(units * tm.tmAveCharWidth, INT32_MAX);
  return SIZE{static_cast<LONG>(width), tm.tmHeight};
}

TEXTMETRICW TextMetrics(const LOGFONTW& font) {
  if (std::optional<TEXTMETRICW> real = RealFontMetrics(font)) return *real;
  return FontMetrics(font);
}

SIZE MeasureText(const LOGFONTW& font, std::u16string_view text) {
  if (std::optional<SIZE> real = RealMeasureText(font, text)) return *real;
  return AverageMeasureText(font, text);
}

HFONT CreateFontIndirect(const LOGFONTW& font) {
  TFontObject object{font, false};
  SetFaceName(object.font, FaceName(font));
  HFONT handle = detail::NewHandle<HFONT>();
  Gdi().fonts.emplace(handle, object);
  return handle;
}

HFONT CreateFontIndirectA(const LOGFONTA& font) { return CreateFontIndirect(LogFontFromA(font)); }

int GetObject(HFONT font, int bytes, void* buffer) {
  const TFontObject* object = FindFont(font);
  return CopyObject(font, bytes, buffer, object ? &object->font : nullptr, sizeof(LOGFONTW));
}

int GetObjectA(HFONT font, int bytes, void* buffer) {
  const TFontObject* object = FindFont(font);
  LOGFONTA narrow = object ? LogFontToA(object->font) : LOGFONTA{};
  return CopyObject(font, bytes, buffer, &narrow, sizeof(LOGFONTA));
}

BOOL DeleteObject(HFONT font) {
  const TFontObject* object = FindFont(font);
  if (!object) return 0;
  if (object->stock) return 1;
  for (const auto& [dc, context] : Gdi().contexts)
    if (context.font == font) return 0;
  Gdi().fonts.erase(font);
  return 1;
}

HFONT GetStockFont(int which) {
  auto& stock = Gdi().stock;
  auto it = stock.find(which);
  return it == stock.end() ? HFONT{} : it->second;
}

HDC GetDC(HWND window) {
  if (window && !IsWindow(window)) return {};
  return NewContext(window, false);
}

int ReleaseDC(HWND window, HDC dc) {
  TDeviceContext* context = FindContext(dc);
  if (!context || context->memory || context->window != window) return 0;
  Gdi().contexts.erase(dc);
  return 1;
}

HDC CreateCompatibleDC(HDC dc) {
  if (dc && !FindContext(dc)) return {};
  return NewContext({}, true);
}

BOOL DeleteDC(HDC dc) {
  TDeviceContext* context = FindContext(dc);
  if (!context) return 0;
  Gdi().contexts.erase(dc);
  return 1;
}

HFONT SelectObject(HDC dc, HFONT font) {
  TDeviceContext* context = FindContext(dc);
  if (!context || !FindFont(font)) return {};
  return std::exchange(context->font, font);
}

BOOL GetTextExtentPoint32(HDC dc, std::u16string_view text, SIZE& size) {
  TDeviceContext* context = FindContext(dc);
  const TFontObject* object = context ? FindFont(context->font) : nullptr;
  if (!object) return 0;
  size = MeasureText(object->font, text);
  return 1;
}

BOOL GetTextMetrics(HDC dc, TEXTMETRICW& metrics) {
  TDeviceContext* context = FindContext(dc);
  const TFontObject* object = context ? FindFont(context->font) : nullptr;
  if (!object) return 0;
  metrics = TextMetrics(object->font);
  return 1;
}

}  // namespace quintrel::win32
