#include "platform/win32/gdi.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

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

// --- The text metric -------------------------------------------------------------------

TEST(TextMetric, EightPointFontMatchesTheClassicDialogFont) {
  TEXTMETRICW tm = FontMetrics(Font(u"MS Sans Serif", -11));
  EXPECT_EQ(tm.tmHeight, 13);
  EXPECT_EQ(tm.tmAveCharWidth, 5);
  EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
  EXPECT_EQ(tm.tmInternalLeading, 2);
  // Cell height and character height describe the same font.
  EXPECT_EQ(FontMetrics(Font(u"MS Sans Serif", 13)).tmAveCharWidth, 5);
  EXPECT_EQ(FontMetrics(Font(u"MS Sans Serif", 0)).tmHeight, 13);
}

TEST(TextMetric, WidthGrowsWithTextSizeWeightAndWideCharacters) {
  LOGFONTW normal = Font(u"Arial", -11);
  SIZE hello = MeasureText(normal, u"Hello");
  EXPECT_EQ(hello.cx, 5 * FontMetrics(normal).tmAveCharWidth);
  EXPECT_EQ(hello.cy, 13);
  EXPECT_EQ(MeasureText(normal, u"").cx, 0);
  EXPECT_EQ(MeasureText(normal, u"").cy, 13);

  EXPECT_GT(MeasureText(Font(u"Arial", -11, FW_BOLD), u"Hello").cx, hello.cx);
  EXPECT_GT(MeasureText(Font(u"Arial", -24), u"Hello").cx, hello.cx);
  EXPECT_EQ(MeasureText(normal, u"\u65E5\u672C").cx, MeasureText(normal, u"abcd").cx) << "CJK counts twice";
  EXPECT_EQ(MeasureText(normal, u"\uD55C").cx, MeasureText(normal, u"ab").cx) << "Hangul counts twice";
  EXPECT_EQ(MeasureText(normal, u"\u0416").cx, MeasureText(normal, u"a").cx);

  LOGFONTW fixed = normal;
  fixed.lfWidth = 9;
  EXPECT_EQ(MeasureText(fixed, u"abc").cx, 27) << "an explicit average width is used as it is";
}

TEST(TextMetric, AbsurdSizesAreBounded) {
  for (LONG height : {INT32_MIN, INT32_MAX, -1, 1}) {
    LOGFONTW font = Font(u"Arial", height);
    font.lfWidth = INT32_MIN;
    TEXTMETRICW tm = FontMetrics(font);
    EXPECT_GE(tm.tmHeight, 1) << height;
    EXPECT_LE(tm.tmHeight, 32767) << height;
    EXPECT_LE(tm.tmAveCharWidth, 32767) << height;
    EXPECT_GE(MeasureText(font, std::u16string(1000, u'x')).cx, 0) << height;
  }
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
  EXPECT_EQ(size.cx, 35);
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
