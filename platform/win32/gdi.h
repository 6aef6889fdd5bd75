// Logical fonts, device contexts and text metrics.
//
// No glyph is ever rendered. A font is its logical description (LOGFONT). Text extents
// and text metrics come from the glyph metrics of a font file standing in for the face
// (platform/win32/fontmetrics.h, docs/fonts.md); only when no font file can be found do
// they follow the average-width model below (FontMetrics, AverageMeasureText), which
// also gives the dialog base units.
#pragma once

#include <string_view>

#include "platform/win32/windef.h"

namespace quintrel::win32 {

constexpr int LF_FACESIZE = 32;

constexpr LONG FW_DONTCARE = 0;
constexpr LONG FW_THIN = 100;
constexpr LONG FW_LIGHT = 300;
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_MEDIUM = 500;
constexpr LONG FW_SEMIBOLD = 600;
constexpr LONG FW_BOLD = 700;
constexpr LONG FW_HEAVY = 900;

constexpr BYTE ANSI_CHARSET = 0;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE SYMBOL_CHARSET = 2;
constexpr BYTE MAC_CHARSET = 77;
constexpr BYTE SHIFTJIS_CHARSET = 128;
constexpr BYTE HANGEUL_CHARSET = 129;
constexpr BYTE GB2312_CHARSET = 134;
constexpr BYTE JOHAB_CHARSET = 130;
constexpr BYTE CHINESEBIG5_CHARSET = 136;
constexpr BYTE OEM_CHARSET = 255;
constexpr BYTE GREEK_CHARSET = 161;
constexpr BYTE TURKISH_CHARSET = 162;
constexpr BYTE VIETNAMESE_CHARSET = 163;
constexpr BYTE HEBREW_CHARSET = 177;
constexpr BYTE ARABIC_CHARSET = 178;
constexpr BYTE BALTIC_CHARSET = 186;
constexpr BYTE RUSSIAN_CHARSET = 204;
constexpr BYTE THAI_CHARSET = 222;
constexpr BYTE EASTEUROPE_CHARSET = 238;

constexpr BYTE OUT_DEFAULT_PRECIS = 0;
constexpr BYTE CLIP_DEFAULT_PRECIS = 0;
constexpr BYTE DEFAULT_QUALITY = 0;
constexpr BYTE DEFAULT_PITCH = 0;
constexpr BYTE FIXED_PITCH = 1;
constexpr BYTE VARIABLE_PITCH = 2;
constexpr BYTE FF_DONTCARE = 0x00;
constexpr BYTE FF_ROMAN = 0x10;
constexpr BYTE FF_SWISS = 0x20;
constexpr BYTE FF_MODERN = 0x30;

// Stock fonts (GetStockFont).
constexpr int OEM_FIXED_FONT = 10;
constexpr int ANSI_FIXED_FONT = 11;
constexpr int ANSI_VAR_FONT = 12;
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_GUI_FONT = 17;

// The logical description of a font, wide (LOGFONTW) or 8-bit (LOGFONTA, the 60-byte
// record of the non-client metrics).
template <typename Char>
struct TLogFont {
  LONG lfHeight = 0;
  LONG lfWidth = 0;
  LONG lfEscapement = 0;
  LONG lfOrientation = 0;
  LONG lfWeight = 0;
  BYTE lfItalic = 0;
  BYTE lfUnderline = 0;
  BYTE lfStrikeOut = 0;
  BYTE lfCharSet = 0;
  BYTE lfOutPrecision = 0;
  BYTE lfClipPrecision = 0;
  BYTE lfQuality = 0;
  BYTE lfPitchAndFamily = 0;
  Char lfFaceName[LF_FACESIZE] = {};
};
using LOGFONTW = TLogFont<char16_t>;
using LOGFONTA = TLogFont<char>;
using LOGFONT = LOGFONTW;
static_assert(sizeof(LOGFONTA) == 60 && sizeof(LOGFONTW) == 92);

struct TEXTMETRICW {
  LONG tmHeight = 0;
  LONG tmAscent = 0;
  LONG tmDescent = 0;
  LONG tmInternalLeading = 0;
  LONG tmExternalLeading = 0;
  LONG tmAveCharWidth = 0;
  LONG tmMaxCharWidth = 0;
  LONG tmWeight = 0;
  LONG tmOverhang = 0;
  LONG tmDigitizedAspectX = 0;
  LONG tmDigitizedAspectY = 0;
  WCHAR tmFirstChar = 0;
  WCHAR tmLastChar = 0;
  WCHAR tmDefaultChar = 0;
  WCHAR tmBreakChar = 0;
  BYTE tmItalic = 0;
  BYTE tmUnderlined = 0;
  BYTE tmStruckOut = 0;
  BYTE tmPitchAndFamily = 0;
  BYTE tmCharSet = 0;
};
using TEXTMETRIC = TEXTMETRICW;

// Conversions between the two forms; face names are 8-bit byte for byte.
LOGFONTW LogFontFromA(const LOGFONTA& font);
LOGFONTA LogFontToA(const LOGFONTW& font);
// A logical font with the face name set (cut to LF_FACESIZE - 1 characters).
void SetFaceName(LOGFONTW& font, std::u16string_view faceName);
std::u16string_view FaceName(const LOGFONTW& font);

// --- The average-width model -----------------------------------------------------------
// Cell height: lfHeight > 0 is the cell height; lfHeight < 0 is the character (em)
// height, to which an internal leading of (em + 2) / 5 is added; 0 stands for an em of
// 11 (8 points at 96 dpi). Descent = height / 5, ascent = the rest. Average character
// width: |lfWidth| when it is not 0, else (2 × height + 2) / 5, at least 1; one more
// for a weight of FW_SEMIBOLD or above. A character of the East Asian wide ranges
// (Hangul Jamo and syllables, CJK radicals to Yi, CJK compatibility ideographs and forms,
// full-width forms) counts twice the average width, every other UTF-16 code unit once.
// Heights and widths are limited to 32767.
TEXTMETRICW FontMetrics(const LOGFONTW& font);
// Width: the sum of the character widths; height: the cell height (also for "").
SIZE AverageMeasureText(const LOGFONTW& font, std::u16string_view text);
// The width units (1 or 2) of one code unit.
int CharWidthUnits(char16_t c);

// --- Measuring with fonts --------------------------------------------------------------
// The text metric and the extent of a text (height: the cell height, also for ""), from
// the font file, else from the average-width model.
TEXTMETRICW TextMetrics(const LOGFONTW& font);
SIZE MeasureText(const LOGFONTW& font, std::u16string_view text);

// --- Font objects ----------------------------------------------------------------------
// Creates a font object from a description; the face name is kept up to its first zero
// and at most LF_FACESIZE - 1 characters.
HFONT CreateFontIndirect(const LOGFONTW& font);
HFONT CreateFontIndirectA(const LOGFONTA& font);
// Copies the font's description: with a null buffer returns the size of the record,
// otherwise copies min(bytes, size) bytes and returns how many; 0 for an invalid font.
int GetObject(HFONT font, int bytes, void* buffer);
int GetObjectA(HFONT font, int bytes, void* buffer);
// FALSE for an invalid font and for a font selected into a device context; stock fonts
// are never deleted (TRUE, nothing happens).
BOOL DeleteObject(HFONT font);
HFONT GetStockFont(int which);

// --- Device contexts -------------------------------------------------------------------
// A device context of a window (the screen when null); it starts with SYSTEM_FONT
// selected, as a window's device context does in Win32.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
// Returns the previously selected font; null when the context or the font is invalid.
HFONT SelectObject(HDC dc, HFONT font);
BOOL GetTextExtentPoint32(HDC dc, std::u16string_view text, SIZE& size);
BOOL GetTextMetrics(HDC dc, TEXTMETRICW& metrics);

}  // namespace quintrel::win32
