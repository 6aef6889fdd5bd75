#include "text/codepages.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/win32/codepage.h"
#include "platform/win32/msgbox.h"
#include "text/unicode.h"

namespace quintrel::text {
namespace {

// Sets the ANSI code page for the scope and puts the old setting back.
class TScopedAcp {
public:
  explicit TScopedAcp(const char* value) : old_(std::getenv("QUINTREL_ACP") ? std::getenv("QUINTREL_ACP") : "") {
    setenv("QUINTREL_ACP", value, 1);
  }
  ~TScopedAcp() { old_.empty() ? unsetenv("QUINTREL_ACP") : setenv("QUINTREL_ACP", old_.c_str(), 1); }

private:
  std::string old_;
};

// The unit glibc's converter gives a single byte, or nothing when it assigns none: an
// independent source for the own tables.
std::optional<char16_t> IconvUnit(uint32_t codePage, uint8_t byte) {
  const std::string name = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open("UTF-16LE", name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  char in[1] = {static_cast<char>(byte)};
  unsigned char out[8] = {};
  char* inPtr = in;
  char* outPtr = reinterpret_cast<char*>(out);
  size_t inLeft = 1;
  size_t outLeft = sizeof out;
  const bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) &&
                  iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != static_cast<size_t>(-1);
  iconv_close(cd);
  if (!ok || sizeof out - outLeft != 2) return std::nullopt;
  return static_cast<char16_t>(out[0] | (out[1] << 8));
}

// The positions where the system's own tables hold U+FFFD.
const std::map<int32_t, std::set<int>> ReplacedPositions = {
    {238, {0x80, 0x81, 0x83, 0x88, 0x90, 0x98, 0xAC}},
    {204, {0x88, 0x98}},
    {0, {0x80, 0x81, 0x8D, 0x8E, 0x8F, 0x90, 0x9D, 0x9E}},
    {161, {0x80, 0x81, 0x88, 0x8A, 0x8C, 0x8D, 0x8E, 0x8F, 0x90, 0x98, 0x9A, 0x9C, 0x9D, 0x9E, 0x9F, 0xAA, 0xD2, 0xFF}},
    {162, {0x80, 0x81, 0x8D, 0x8E, 0x8F, 0x90, 0x9D, 0x9E}},
    {177, {0x80, 0x81, 0x8A, 0x8C, 0x8D, 0x8E, 0x8F, 0x90, 0x9A, 0x9C, 0x9D, 0x9E, 0x9F, 0xA1, 0xAA,
           0xB8, 0xBA, 0xBF, 0xD7, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF, 0xFB, 0xFC, 0xFF}},
    {178, {0x80, 0x8A, 0x8F, 0x98, 0x9A, 0x9F, 0xAA, 0xC0, 0xFF}},
    {186, {0x80, 0x81, 0x83, 0x88, 0x8A, 0x8C, 0x90, 0x98, 0x9A, 0x9C, 0x9F, 0xA1, 0xA5}},
};

std::string AllBytes() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  return bytes;
}

TEST(OwnTables, MatchAnIndependentMappingExceptTheReplacedPositionsAndConvertBack) {
  const std::string bytes = AllBytes();
  for (const auto& [charset, replaced] : ReplacedPositions) {
    SCOPED_TRACE(charset);
    ASSERT_TRUE(IsOwnTableCharset(charset));
    const std::u16string units = ByteToUnicode(bytes, charset);
    ASSERT_EQ(units.size(), 256u);
    const std::string back = UnicodeToByte(units, charset);
    ASSERT_EQ(back.size(), 256u);
    for (int b = 0; b < 256; ++b) {
      SCOPED_TRACE(b);
      EXPECT_NE(units[b], u'\u20AC');
      if (b < 0x80) {
        EXPECT_EQ(units[b], b);
      } else if (replaced.count(b)) {
        EXPECT_EQ(units[b], u'\uFFFD');
      } else if (charset == 177 && b == 0xCA) {
        EXPECT_EQ(units[b], u'\u05BA');
      } else {
        EXPECT_EQ(std::optional<char16_t>(units[b]), IconvUnit(CharsetToCodePage(charset), static_cast<uint8_t>(b)));
      }
      // Through the reverse map every U+FFFD goes back to the first byte that holds it.
      EXPECT_EQ(static_cast<uint8_t>(back[b]), replaced.count(b) ? *replaced.begin() : b);
    }
    EXPECT_EQ(UnicodeToByte(u"\u20AC\u4E00\uFFFF", charset), "\x7F\x7F\x7F");
  }
}

TEST(OwnTables, ConvertTheDocumentedExamples) {
  char16_t units[3] = {};
  EXPECT_EQ(ByteToUnicode(units, "\x41\x80\xE9", 3, 0), 3);
  EXPECT_EQ(std::u16string(units, 3), u"\u0041\uFFFD\u00E9");
  EXPECT_EQ(UnicodeToByte(u"\u00E9\u4E00", 0), "\xE9\x7F");
  EXPECT_EQ(UnicodeToByte(u"\u0416", 204), "\xC6");
  EXPECT_EQ(UnicodeToByte(u"\u0416", 0), "\x7F");
  EXPECT_EQ(ByteToUnicode("\xCA", 177), u"\u05BA");
  EXPECT_EQ(UnicodeToByte(u"\u05BA", 177), "\xCA");

  // Counting calls give the same numbers and leave the source alone.
  EXPECT_EQ(ByteToUnicode(nullptr, "\x41\x80\xE9", 3, 0), 3);
  EXPECT_EQ(UnicodeToByte(nullptr, u"\u00E9\u4E00", 2, 0), 2);
  EXPECT_EQ(ByteToUnicode(units, nullptr, 3, 0), 0);
  EXPECT_EQ(ByteToUnicode(units, "abc", -1, 0), 0);
}

TEST(Charsets, DefaultFollowsTheAnsiCodePage) {
  const std::string bytes = AllBytes();
  {
    TScopedAcp acp("1251");
    EXPECT_EQ(ResolveCharset(1), 204);
    EXPECT_EQ(ByteToUnicode(bytes, 1), ByteToUnicode(bytes, 204));
    EXPECT_EQ(UnicodeToByte(u"Жж", 1), "\xC6\xE6");
  }
  {
    TScopedAcp acp("932");
    EXPECT_EQ(CharsetToCodePage(1), 932u);
    EXPECT_EQ(ByteToUnicode("\x93\xfa", 1), u"日");
  }
  {
    // An ANSI code page no charset stands for: default text is read as ANSI.
    TScopedAcp acp("437");
    EXPECT_EQ(ResolveCharset(1), 0);
    EXPECT_EQ(ByteToUnicode("\xE9", 1), u"é");
  }
  EXPECT_EQ(ResolveCharset(204), 204);
  EXPECT_EQ(CharsetToCodePage(238), 1250u);
}

TEST(Charsets, OthersConvertOnlyAscii) {
  for (int32_t charset : {2, 255, -5, 1000}) {
    EXPECT_EQ(ByteToUnicode(nullptr, "abc", 3, charset), 0);
    EXPECT_EQ(UnicodeToByte(u"ab\u00E9\u0416", charset), "ab\x7F\x7F");
  }
}

TEST(PlatformCharsets, ConvertRealTextBothWays) {
  const std::pair<int32_t, std::u16string> samples[] = {
      {128, u"Datei: 日本語のファイル名.txt"},
      {129, u"파일: 한국어 문서 (2) 입니다"},
      {134, u"文件：简体中文文档。"},
      {136, u"檔案：繁體中文文件。"},
      {222, u"ไฟล์: เอกสารภาษาไทย"},
  };
  for (const auto& [charset, text] : samples) {
    SCOPED_TRACE(charset);
    const int32_t count = static_cast<int32_t>(text.size());
    const int32_t byteCount = UnicodeToByte(nullptr, text.data(), count, charset);
    std::string bytes(static_cast<size_t>(byteCount), '\0');
    EXPECT_EQ(UnicodeToByte(bytes.data(), text.data(), count, charset), byteCount);
    EXPECT_EQ(bytes, GetStringFromWide(text.c_str(), charset));
    const int32_t unitCount = ByteToUnicode(nullptr, bytes.data(), byteCount, charset);
    std::u16string units(static_cast<size_t>(unitCount), u'\0');
    EXPECT_EQ(ByteToUnicode(units.data(), bytes.data(), byteCount, charset), unitCount);
    EXPECT_EQ(units, text);
  }
  // What a code page cannot hold becomes '?'; a cut-off character U+FFFD.
  EXPECT_EQ(UnicodeToByte(u"é日", 128), "?\x93\xfa");
  EXPECT_EQ(ByteToUnicode("ok\x93", 128), u"ok\uFFFD");
  EXPECT_EQ(GetStringFromWide(nullptr, 128), "");
}

TEST(PlatformCharsets, MissingCodePageIsReportedAndSkipped) {
  std::vector<std::u16string> shown;
  win32::TScopedMessageBoxSink sink([&](const win32::TMessageBoxRequest& request) {
    shown.push_back(request.text);
    return win32::IDOK;
  });
  win32::SetCodePageInstalled(949, false);
  const std::string bytes = "ab\xc7\xd1 c\xb1\xb9";
  EXPECT_EQ(ByteToUnicode(nullptr, bytes.data(), static_cast<int32_t>(bytes.size()), 129), 8);
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(ByteToUnicode(bytes, 129), u"ab\uFFFD\uFFFD c\uFFFD\uFFFD");
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], u"Could not convert between Windows codepage 949 and Unicode, please install this codepage.");
  // Plain ASCII never needs the converter.
  EXPECT_EQ(ByteToUnicode("plain", 129), u"plain");
  EXPECT_EQ(shown.size(), 1u);
  try {
    UnicodeToByte(u"abc", 129);
    ADD_FAILURE() << "no exception";
  } catch (const ECodePageNotInstalled& e) {
    EXPECT_EQ(e.CodePage(), 949u);
    EXPECT_EQ(e.Message(), "Could not convert between Windows codepage 949 and Unicode, please install this codepage.");
  }
  win32::SetCodePageInstalled(949, true);
  EXPECT_EQ(ByteToUnicode(bytes, 129), u"ab한 c국");
}

TEST(Helpers, StrToIntWReadsDecimalText) {
  EXPECT_EQ(StrToIntW(u"123", 3), 123);
  EXPECT_EQ(StrToIntW(u" -42", 4), -42);
  EXPECT_EQ(StrToIntW(u"12345", 3), 123);
  EXPECT_EQ(StrToIntW(u"$1F", 3), 31);
  EXPECT_EQ(StrToIntW(u"-2147483648", 11), INT32_MIN);
  const std::u16string stopsAtZero(u"77\0" u"99", 5);
  EXPECT_EQ(StrToIntW(stopsAtZero.data(), 5), 77);
  for (const std::u16string_view bad : {u"", u"12a", u"2147483648", u"\u0661\u0662", u"1\u00A02"}) {
    EXPECT_THROW(StrToIntW(bad.data(), static_cast<int32_t>(bad.size())), rtl::EConvertError)
        << WideToUtf8(bad);
  }
  EXPECT_THROW(StrToIntW(nullptr, 3), rtl::EConvertError);
}

TEST(Helpers, FormatWSubstitutesArguments) {
  const char16_t* args[] = {u"one", u"two", nullptr};
  auto format = [&](const char16_t* text, int32_t last) {
    TWideBuffer result(FormatW(text, args, last));
    return ToU16(result.get());
  };
  EXPECT_EQ(format(u"%s and %s", 2), u"one and two");
  EXPECT_EQ(format(u"%1 before %0, %s", 1), u"two before one, one");
  EXPECT_EQ(format(u"100%% %q%", 1), u"100% q");
  // More references than arguments, and a null argument, insert nothing.
  EXPECT_EQ(format(u"[%s|%s|%s|%s|%7]", 2), u"[one|two|||]");
  EXPECT_EQ(format(u"[%s]", -1), u"[]");
  // Repeating an argument needs more room than the format and the arguments once.
  EXPECT_EQ(format(u"%0%0%0%0", 1), u"oneoneoneone");
  EXPECT_EQ(FormatW(u"", args, 1), nullptr);
  EXPECT_EQ(FormatW(nullptr, args, 1), nullptr);
  EXPECT_EQ(FormatW(u"%2", args, 2), nullptr);
}

TEST(Helpers, GetCRCIsModbusWithItsStartValue) {
  const std::string check = "123456789";
  EXPECT_EQ(GetCRC(check.data(), 0xFFFF, 9), 0x4B37);
  EXPECT_EQ(GetCRC(check.data(), 0x0000, 9), 0xBB3D);  // CRC-16/ARC
  EXPECT_EQ(GetCRC(check.data(), 0x1234, 0), 0x1234);
  // Running on from a partial result gives the CRC of the whole.
  EXPECT_EQ(GetCRC(check.data() + 4, GetCRC(check.data(), 0xFFFF, 4), 5), 0x4B37);
}

TEST(Helpers, HexToIntSkipsOtherCharactersAndWraps) {
  EXPECT_EQ(HexToInt("1aF"), 431);
  EXPECT_EQ(HexToInt(""), 0);
  EXPECT_EQ(HexToInt("0x1F"), 31);
  EXPECT_EQ(HexToInt("-1F"), 31);
  EXPECT_EQ(HexToInt("7FFFFFFF"), INT32_MAX);
  EXPECT_EQ(HexToInt("80000000"), INT32_MIN);
  EXPECT_EQ(HexToInt("FFFFFFFF"), -1);
  EXPECT_EQ(HexToInt("123456789"), 0x23456789);
  EXPECT_EQ(HexToInt(std::string(300, 'f') + "1"), static_cast<int32_t>(0xFFFFFFF1));
}

}  // namespace
}  // namespace quintrel::text
