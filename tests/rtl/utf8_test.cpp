#include "platform/rtl/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace quintrel::rtl {
namespace {

const std::u16string R(1, u'\xFFFD');

std::string Utf8Of(char32_t c) {
  std::string s;
  AppendUtf8(s, c);
  return s;
}

// Scalar values go to UTF-8 and back unchanged, in the shortest form, and each reads as
// one well-formed sequence.
// The scalar values tried: all of the first plane, then a spread over the others that
// includes the last.
char32_t NextScalar(char32_t c) {
  if (c == 0xD7FF) return 0xE000;
  if (c < 0xFFFF || c >= 0x10FF00) return c + 1;
  return c + 251;
}

TEST(Utf8Codec, ScalarValuesRoundTrip) {
  std::string utf8;
  std::u16string wide;
  for (char32_t c = 0; c <= 0x10FFFF; c = NextScalar(c)) {
    AppendUtf8(utf8, c);
    AppendUtf16(wide, c);
  }
  EXPECT_EQ(WideToUtf8(wide), utf8);
  EXPECT_EQ(Utf8ToWide(utf8), wide);
  size_t pos = 0;
  for (char32_t c = 0; c <= 0x10FFFF; c = NextScalar(c)) {
    const size_t expected = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    ASSERT_LT(pos, utf8.size());
    const TCodePointAt at = DecodeUtf8At(utf8, pos);
    ASSERT_TRUE(at.Valid && at.CodePoint == c && at.Length == expected) << std::hex << static_cast<uint32_t>(c);
    pos += at.Length;
  }
  EXPECT_EQ(pos, utf8.size());
  EXPECT_EQ(WideToUtf8(u"K\u00F6ln \u6771\u4EAC \U0001F600"), "K\xC3\xB6ln \xE6\x9D\xB1\xE4\xBA\xAC \xF0\x9F\x98\x80");
  EXPECT_EQ(Utf8ToWide(std::string_view("\0z", 2)), std::u16string(u"\0z", 2));
}

// Whatever the decoder accepts is the one form the encoder writes: no second spelling of
// any character (an overlong '/' or a surrogate) gets through. All two-byte inputs are
// tried, and three-byte ones with every lead and second byte and the boundary values of the
// third.
TEST(Utf8Codec, AcceptsOnlyTheShortestFormOfAScalarValue) {
  for (uint32_t lead = 0xC0; lead <= 0xEF; ++lead) {
    const bool three = lead >= 0xE0;
    for (uint32_t second = 0; second <= 0xFF; ++second) {
      for (uint8_t third : {0x00, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xFF}) {
        std::string s{static_cast<char>(lead), static_cast<char>(second)};
        if (three) {
          s += static_cast<char>(third);
        } else if (third != 0) {
          break;
        }
        const TCodePointAt at = DecodeUtf8At(s, 0);
        if (at.Valid && at.Length == s.size()) {
          ASSERT_EQ(Utf8Of(at.CodePoint), s);
        } else {
          ASSERT_FALSE(at.Valid && at.Length == s.size());
          ASSERT_EQ(FindInvalidUtf8(s), 0u);
        }
      }
    }
  }
}

TEST(Utf8Codec, LenientDecodingReplacesEachMaximalIllFormedSubsequence) {
  EXPECT_EQ(Utf8ToWide("\xC0\xAF"), R + R);                         // overlong '/'
  EXPECT_EQ(Utf8ToWide("\xE0\x80\xAF"), R + R + R);                 // overlong, three bytes
  EXPECT_EQ(Utf8ToWide("\xF0\x80\x80\xAF"), R + R + R + R);         // overlong, four bytes
  EXPECT_EQ(Utf8ToWide("\xED\xA0\x80\xED\xBF\xBF"), R + R + R + R + R + R);  // encoded surrogates
  EXPECT_EQ(Utf8ToWide("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");         // the largest code point
  EXPECT_EQ(Utf8ToWide("\xF4\x90\x80\x80"), R + R + R + R);         // one above it
  EXPECT_EQ(Utf8ToWide("\xF5\xFE\xFF"), R + R + R);
  EXPECT_EQ(Utf8ToWide("a\x80" "b"), u"a" + R + u"b");              // stray continuation
  EXPECT_EQ(Utf8ToWide("\xE6\x9D" "x"), R + u"x");                  // truncated: one for both bytes
  EXPECT_EQ(Utf8ToWide("\xF0\x9F\x98"), R);                         // truncated at the end
  EXPECT_EQ(Utf8ToWide("\xC3("), R + u"(");                         // the next byte survives
  // The example the Unicode standard gives for this practice.
  EXPECT_EQ(Utf8ToWide("a\xF1\x80\x80\xE1\x80\xC2" "b\x80" "c\x80\xBF" "d"),
            u"a" + R + R + R + u"b" + R + u"c" + R + R + u"d");
}

TEST(Utf8Codec, StrictDecodingRefusesWithTheOffsetOfTheFirstBadByte) {
  size_t offset = 99;
  EXPECT_EQ(Utf8ToWideStrict("K\xC3\xB6ln", &offset), u"K\u00F6ln");
  EXPECT_EQ(offset, 99u);
  for (const auto& [text, bad] : std::initializer_list<std::pair<std::string_view, size_t>>{
           {"ab\xC0\xAF", 2}, {"\xED\xA0\x80", 0}, {"xy\xF4\x90\x80\x80", 2}, {"\xC3\xA9\xE6\x9D", 2}, {"\x80", 0}}) {
    EXPECT_EQ(Utf8ToWideStrict(text, &offset), std::nullopt) << text;
    EXPECT_EQ(offset, bad) << text;
    EXPECT_EQ(FindInvalidUtf8(text), bad) << text;
  }
  EXPECT_EQ(FindInvalidUtf8(""), std::string_view::npos);
}

TEST(Utf8Codec, UnpairedSurrogatesAreWrittenAsTheReplacementCharacter) {
  EXPECT_EQ(WideToUtf8(std::u16string{u'a', 0xDC00, u'b', 0xD800}), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
  EXPECT_EQ(WideToUtf8(std::u16string{0xD800, 0xD800, 0xDC00}), "\xEF\xBF\xBD\xF0\x90\x80\x80");
  EXPECT_EQ(WideToUtf8(std::u16string{0xDC00, 0xD800}), "\xEF\xBF\xBD\xEF\xBF\xBD");  // a pair the wrong way round
  EXPECT_EQ(Utf8Of(0xDFFF), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf8Of(0x110000), "\xEF\xBF\xBD");

  const std::u16string units{u'x', 0xD83D, 0xDE00, 0xDE00};
  const TCodePointAt pair = DecodeUtf16At(units, 1);
  EXPECT_TRUE(pair.Valid && pair.CodePoint == 0x1F600 && pair.Length == 2);
  const TCodePointAt lone = DecodeUtf16At(units, 3);
  EXPECT_TRUE(!lone.Valid && lone.CodePoint == 0xDE00 && lone.Length == 1);
  EXPECT_FALSE(DecodeUtf16At(std::u16string(1, 0xD83D), 0).Valid);  // cut off at the end
}

}  // namespace
}  // namespace quintrel::rtl
