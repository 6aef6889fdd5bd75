#include "platform/win32/gdi.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "platform/win32/fontmetrics.h"
#include "platform/win32/winuser.h"
#include "tests/win32/recorder.h"

namespace quintrel::win32 {
namespace {

LOGFONTW Font(std::u16string_view face, LONG height, LONG weight = FW_NORMAL, BYTE charset = ANSI_CHARSET) {
  LOGFONTW font;
  font.lfHeight = height;
  font.lfWeight = weight;
  font.lfCharSet = charset;
  font.lfPitchAndFamily = VARIABLE_PITCH;
  SetFaceName(font, face);
  return font;
}

TEST(Fonts, DescriptionRoundTripsThroughBothForms) {
  LOGFONTW original = Font(u"Tahoma", -13, FW_BOLD, RUSSIAN_CHARSET);
  original.lfItalic = 1;
  HFONT font = CreateFontIndirect(original);
  ASSERT_TRUE(font);

  EXPECT_EQ(GetObject(font, 0, nullptr), static_cast<int>(sizeof(LOGFONTW)));
  LOGFONTW back;
  ASSERT_EQ(GetObject(font, sizeof back, &back), static_cast<int>(sizeof back));
  EXPECT_EQ(std::memcmp(&back, &original, sizeof back), 0);

  // The 8-bit record is 60 bytes; rebuilding with another character set keeps the rest.
  LOGFONTA narrow;
  ASSERT_EQ(GetObjectA(font, sizeof narrow, &narrow), 60);
  EXPECT_STREQ(narrow.lfFaceName, "Tahoma");
  EXPECT_EQ(narrow.lfCharSet, RUSSIAN_CHARSET);
  narrow.lfCharSet = GREEK_CHARSET;
  HFONT rebuilt = CreateFontIndirectA(narrow);
  LOGFONTW rebuiltBack;
  GetObject(rebuilt, sizeof rebuiltBack, &rebuiltBack);
  EXPECT_EQ(FaceName(rebuiltBack), u"Tahoma");
  EXPECT_EQ(rebuiltBack.lfCharSet, GREEK_CHARSET);
  EXPECT_EQ(rebuiltBack.lfHeight, -13);
  EXPECT_EQ(rebuiltBack.lfItalic, 1);

  // A short buffer receives the leading part only.
  LONG height = 0;
  EXPECT_EQ(GetObject(font, sizeof height, &height), static_cast<int>(sizeof height));
  EXPECT_EQ(height, -13);

  ASSERT_TRUE(DeleteObject(font));
  EXPECT_EQ(GetObject(font, sizeof back, &back), 0);
  EXPECT_FALSE(DeleteObject(font));
  DeleteObject(rebuilt);
}

TEST(Fonts, FaceNamesAreCutNeverOverrun) {
  LOGFONTW font;
  std::fill(std::begin(font.lfFaceName), std::end(font.lfFaceName), u'W');  // no terminating zero
  HFONT handle = CreateFontIndirect(font);
  LOGFONTW back;
  GetObject(handle, sizeof back, &back);
  EXPECT_EQ(FaceName(back).size(), static_cast<size_t>(LF_FACESIZE - 1));
  DeleteObject(handle);

  LOGFONTW longName = Font(u"A face name well beyond thirty-one characters", 0);
  EXPECT_EQ(FaceName(longName), u"A face name well beyond thirty-");
}

TEST(Fonts, WindowFontIsAFontHandleRoundTrip) {
  testing::TWindowGuard dialog(testing::TopLevel(WS_POPUP | WS_CAPTION));
  HWND first = testing::Child(*dialog, 1);
  HFONT font = CreateFontIndirect(Font(u"Default", -11));
  for (HWND child = GetWindow(*dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    SendMessage(child, WM_SETFONT, static_cast<WPARAM>(font), 0);
  auto current = static_cast<HFONT>(SendMessage(first, WM_GETFONT, 0, 0));
  LOGFONTA narrow;
  ASSERT_EQ(GetObjectA(current, sizeof narrow, &narrow), 60);
  EXPECT_STREQ(narrow.lfFaceName, "Default");
  EXPECT_EQ(GetObjectA(static_cast<HFONT>(SendMessage(*dialog, WM_GETFONT, 0, 0)), sizeof narrow, &narrow), 0)
      << "a window without a font reads as nothing";
  DeleteObject(font);
}

TEST(Fonts, StockFontsSurviveDeletion) {
  HFONT system = GetStockFont(SYSTEM_FONT);
  ASSERT_TRUE(system);
  EXPECT_TRUE(DeleteObject(system));
  LOGFONTW font;
  EXPECT_GT(GetObject(system, sizeof font, &font), 0);
  EXPECT_EQ(FaceName(font), u"System");
  EXPECT_FALSE(GetStockFont(999));
}

// --- The average-width model (the fall-back) ---------------------------------------------

TEST(AverageModel, EightPointFontMatchesTheClassicDialogFont) {
  TEXTMETRICW tm = FontMetrics(Font(u"MS Sans Serif", -11));
  EXPECT_EQ(tm.tmHeight, 13);
  EXPECT_EQ(tm.tmAveCharWidth, 5);
  EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
  EXPECT_EQ(tm.tmInternalLeading, 2);
  // Cell height and character height describe the same font.
  EXPECT_EQ(FontMetrics(Font(u"MS Sans Serif", 13)).tmAveCharWidth, 5);
  EXPECT_EQ(FontMetrics(Font(u"MS Sans Serif", 0)).tmHeight, 13);
}

TEST(AverageModel, WidthGrowsWithTextSizeWeightAndWideCharacters) {
  LOGFONTW normal = Font(u"Arial", -11);
  SIZE hello = AverageMeasureText(normal, u"Hello");
  EXPECT_EQ(hello.cx, 5 * FontMetrics(normal).tmAveCharWidth);
  EXPECT_EQ(hello.cy, 13);
  EXPECT_EQ(AverageMeasureText(normal, u"").cx, 0);
  EXPECT_EQ(AverageMeasureText(normal, u"").cy, 13);

  EXPECT_GT(AverageMeasureText(Font(u"Arial", -11, FW_BOLD), u"Hello").cx, hello.cx);
  EXPECT_EQ(AverageMeasureText(normal, u"\u65E5\u672C").cx, AverageMeasureText(normal, u"abcd").cx) << "CJK counts twice";
  EXPECT_EQ(AverageMeasureText(normal, u"\uD55C").cx, AverageMeasureText(normal, u"ab").cx) << "Hangul counts twice";

  LOGFONTW fixed = normal;
  fixed.lfWidth = 9;
  EXPECT_EQ(AverageMeasureText(fixed, u"abc").cx, 27) << "an explicit average width is used as it is";
}

TEST(AverageModel, AbsurdSizesAreBoundedInBothMeasurements) {
  for (LONG height : {INT32_MIN, INT32_MAX, -1, 1, 0}) {
    LOGFONTW font = Font(u"Arial", height);
    font.lfWidth = INT32_MIN;
    for (const TEXTMETRICW& tm : {FontMetrics(font), TextMetrics(font)}) {
      EXPECT_GE(tm.tmHeight, 1) << height;
      EXPECT_LE(tm.tmHeight, 32767) << height;
      EXPECT_LE(tm.tmAveCharWidth, 32767) << height;
    }
    EXPECT_GE(AverageMeasureText(font, std::u16string(1000, u'x')).cx, 0) << height;
    EXPECT_GE(MeasureText(font, std::u16string(1000, u'x')).cx, 0) << height;
  }
}

// --- Measuring with font files ------------------------------------------------------------

// The advances of a font file read with FreeType alone, as the window system uses them:
// each glyph's advance in font units, scaled to the pixel size and rounded.
class TIndependentFont {
public:
  explicit TIndependentFont(const std::string& file) {
    if (FT_Init_FreeType(&library_) != 0) return;
    if (FT_New_Face(library_, file.c_str(), 0, &face_) != 0) face_ = nullptr;
  }
  ~TIndependentFont() {
    if (face_) FT_Done_Face(face_);
    if (library_) FT_Done_FreeType(library_);
  }
  bool Valid() const { return face_ != nullptr; }
  long Width(std::u16string_view text, double pixelsPerEm) const {
    long width = 0;
    for (char16_t c : text) {
      FT_Load_Glyph(face_, FT_Get_Char_Index(face_, c), FT_LOAD_NO_SCALE);
      width += std::lround(face_->glyph->metrics.horiAdvance * pixelsPerEm / face_->units_per_EM);
    }
    return width;
  }

private:
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
};

#define REQUIRE_FONT(font, file)                                                                 \
  const std::string file = FontFileFor(font);                                                     \
  if (file.empty()) FAIL() << "no font file for the face (scripts/install-deps installs it)"

TEST(FontFiles, CaptionsMeasureAsTheFontsAdvanceWidths) {
  const LOGFONTW arial = Font(u"Arial", -11);
  REQUIRE_FONT(arial, file);
  EXPECT_NE(file.find("LiberationSans-Regular"), std::string::npos) << file;
  TIndependentFont independent(file);
  ASSERT_TRUE(independent.Valid()) << file;
  for (LONG em : {11, 13, 16, 24, 40})
    for (std::u16string_view text : {u"Caption", u"&Open file...", u"Wij zijn 100% klaar", u"iiiiWWWW"}) {
      SIZE size = MeasureText(Font(u"Arial", -em), text);
      EXPECT_EQ(size.cx, independent.Width(text, em)) << em;
    }
  // The same face by its metric-compatible name, and a bold face measures wider.
  EXPECT_EQ(MeasureText(Font(u"arial", -16), u"Caption").cx, MeasureText(Font(u"Liberation Sans", -16), u"Caption").cx);
  EXPECT_GT(MeasureText(Font(u"Arial", -16, FW_BOLD), u"Caption").cx, MeasureText(Font(u"Arial", -16), u"Caption").cx);
  EXPECT_NE(FontFileFor(Font(u"Arial", -16, FW_BOLD)).find("Bold"), std::string::npos);
  // A fixed-pitch face gives every letter one width.
  EXPECT_EQ(MeasureText(Font(u"Courier New", -13), u"iiii").cx, MeasureText(Font(u"Courier New", -13), u"WWWW").cx);
  EXPECT_LT(MeasureText(Font(u"Arial", -13), u"iiii").cx, MeasureText(Font(u"Arial", -13), u"WWWW").cx);
  // Cell height: ascent and descent of the font, both whole pixels.
  TEXTMETRICW tm = TextMetrics(arial);
  EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
  EXPECT_EQ(MeasureText(arial, u"").cy, tm.tmHeight);
  EXPECT_GE(tm.tmHeight, 12);
  EXPECT_LE(tm.tmHeight, 14);
}

TEST(FontFiles, ClassicDialogFontKeepsItsBitmapSizes) {
  const LOGFONTW eight = Font(u"MS Sans Serif", -11);
  REQUIRE_FONT(eight, file);
  TEXTMETRICW tm = TextMetrics(eight);
  EXPECT_EQ(tm.tmHeight, 13);
  EXPECT_EQ(tm.tmAveCharWidth, 5);
  EXPECT_EQ(tm.tmInternalLeading, 2);
  EXPECT_EQ(MeasureText(eight, u"x").cx, 5) << "the average width is the width of x";
  EXPECT_EQ(TextMetrics(Font(u"MS Sans Serif", 13)).tmHeight, 13) << "a cell height asks for the same size";
  EXPECT_EQ(TextMetrics(Font(u"MS Sans Serif", -12)).tmHeight, 13) << "between sizes the smaller one is taken";
  EXPECT_EQ(TextMetrics(Font(u"MS Sans Serif", -13)).tmHeight, 16);
  EXPECT_EQ(TextMetrics(Font(u"Default", -13)).tmAveCharWidth, 7);
  EXPECT_GT(MeasureText(Font(u"MS Sans Serif", -13), u"Caption").cx, MeasureText(eight, u"Caption").cx);
}

TEST(FontFiles, ScriptsAreShapedAsDrawn) {
  const LOGFONTW arial = Font(u"Arial", -16);
  REQUIRE_FONT(arial, file);
  // Arabic letters join: three seens measure as their initial, medial and final forms,
  // not as three isolated letters.
  const SIZE joined = MeasureText(arial, u"\u0633\u0633\u0633");
  const SIZE forms = MeasureText(arial, u"\uFEB3");
  EXPECT_EQ(joined.cx, MeasureText(arial, u"\uFEB3").cx + MeasureText(arial, u"\uFEB4").cx +
                           MeasureText(arial, u"\uFEB2").cx);
  EXPECT_NE(joined.cx, 3 * MeasureText(arial, u"\u0633").cx);
  EXPECT_GT(forms.cx, 0);
  // Hebrew points sit on their letters and add no width.
  const long shalom = MeasureText(arial, u"\u05E9\u05DC\u05D5\u05DD").cx;
  EXPECT_GT(shalom, 0);
  EXPECT_EQ(MeasureText(arial, u"\u05E9\u05C1\u05B8\u05DC\u05D5\u05B9\u05DD").cx, shalom);
  // Thai above and below vowels take no room either.
  EXPECT_EQ(MeasureText(arial, u"\u0E01\u0E34").cx, MeasureText(arial, u"\u0E01").cx);
  EXPECT_GT(MeasureText(arial, u"\u0E01").cx, 0);
  // Japanese comes from a face that has it: ideographs are one em wide each.
  EXPECT_EQ(MeasureText(arial, u"\u65E5\u672C\u8A9E").cx, 48);
}

TEST(FontFiles, WithoutFontFilesTheAverageModelMeasuresAndSaysSoOnce) {
  const char* saved = std::getenv("QUINTREL_FONT_PATH");
  const std::string previous = saved ? saved : "";
  setenv("QUINTREL_FONT_PATH", "/nonexistent-font-folder", 1);
  ResetFontCache();
  const LOGFONTW arial = Font(u"Arial", -11);
  ::testing::internal::CaptureStderr();
  const SIZE measured = MeasureText(arial, u"Caption");
  const TEXTMETRICW tm = TextMetrics(arial);
  const std::string said = ::testing::internal::GetCapturedStderr();
  if (saved) setenv("QUINTREL_FONT_PATH", previous.c_str(), 1);
  else unsetenv("QUINTREL_FONT_PATH");
  ResetFontCache();

  EXPECT_EQ(measured.cx, AverageMeasureText(arial, u"Caption").cx);
  EXPECT_EQ(tm.tmAveCharWidth, FontMetrics(arial).tmAveCharWidth);
  EXPECT_EQ(said.find("quintrel: warning: no font file"), 0u) << said;
  EXPECT_EQ(said.find("quintrel:", 1), std::string::npos) << "said once: " << said;
}

// --- Device contexts -------------------------------------------------------------------

TEST(DeviceContext, MeasuresWithTheSelectedFont) {
  testing::TWindowGuard form(testing::TopLevel());
  HDC dc = GetDC(*form);
  ASSERT_TRUE(dc);
  SIZE size;
  ASSERT_TRUE(GetTextExtentPoint32(dc, u"Caption", size));
  EXPECT_EQ(size.cx, MeasureText(Font(u"System", 16, FW_BOLD), u"Caption").cx) << "starts with the system font";

  HFONT font = CreateFontIndirect(Font(u"MS Sans Serif", -11));
  EXPECT_EQ(SelectObject(dc, font), GetStockFont(SYSTEM_FONT));
  ASSERT_TRUE(GetTextExtentPoint32(dc, u"Caption", size));
  EXPECT_EQ(size.cx, MeasureText(Font(u"MS Sans Serif", -11), u"Caption").cx);
  TEXTMETRICW tm;
  ASSERT_TRUE(GetTextMetrics(dc, tm));
  EXPECT_EQ(tm.tmHeight, 13);

  EXPECT_FALSE(DeleteObject(font)) << "still selected";
  EXPECT_FALSE(ReleaseDC(HWND{}, dc)) << "not the screen's context";
  EXPECT_TRUE(ReleaseDC(*form, dc));
  EXPECT_FALSE(GetTextExtentPoint32(dc, u"x", size));
  EXPECT_FALSE(SelectObject(dc, font));
  EXPECT_TRUE(DeleteObject(font));

  HDC memory = CreateCompatibleDC(HDC{});
  EXPECT_TRUE(GetTextMetrics(memory, tm));
  EXPECT_TRUE(DeleteDC(memory));
  EXPECT_FALSE(DeleteDC(memory));
}

}  // namespace
}  // namespace quintrel::win32
