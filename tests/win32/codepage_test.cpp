#include "platform/win32/codepage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace quintrel::win32 {
namespace {

// Sets (or, with nullopt, unsets) an environment variable and puts the old value back.
class TScopedEnv {
public:
  TScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  ~TScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

private:
  const char* name_;
  std::optional<std::string> old_;
};

class TScopedRemoval {
public:
  explicit TScopedRemoval(UINT codePage) : codePage_(codePage) { SetCodePageInstalled(codePage, false); }
  ~TScopedRemoval() { SetCodePageInstalled(codePage_, true); }

private:
  UINT codePage_;
};

std::u16string Decode(UINT codePage, std::string_view bytes, DWORD flags = MB_PRECOMPOSED) {
  const int count = static_cast<int>(bytes.size());
  const int units = MultiByteToWideChar(codePage, flags, bytes.data(), count, nullptr, 0);
  std::u16string result(static_cast<size_t>(units), u'\0');
  if (units > 0) {
    EXPECT_EQ(MultiByteToWideChar(codePage, flags, bytes.data(), count, result.data(), units), units);
  }
  return result;
}

std::string Encode(UINT codePage, std::u16string_view units, const char* defaultChar = nullptr,
                   BOOL* usedDefault = nullptr) {
  const int count = static_cast<int>(units.size());
  const int bytes = WideCharToMultiByte(codePage, WC_SEPCHARS, units.data(), count, nullptr, 0, defaultChar, nullptr);
  std::string result(static_cast<size_t>(bytes), '\0');
  if (bytes > 0) {
    EXPECT_EQ(WideCharToMultiByte(codePage, WC_SEPCHARS, units.data(), count, result.data(), bytes, defaultChar,
                                  usedDefault),
              bytes);
  }
  return result;
}

struct TSample {
  UINT codePage;
  std::u16string text;
  std::string bytes;  // the published encoding of the first characters of text
};

TEST(CodePageConverter, ConvertsRealTextBothWays) {
  const std::vector<TSample> samples = {
      {932, u"日本語のテキスト、カタカナ・ひらがな 123", "\x93\xfa\x96\x7b"},
      {949, u"한국어 텍스트입니다. 가나다", "\xc7\xd1\xb1\xb9"},
      {936, u"中文简体文本，汉字与标点。", "\xd6\xd0\xce\xc4"},
      {950, u"中文繁體文字，漢字與標點。", "\xa4\xa4\xa4\xe5"},
      {874, u"ภาษาไทย ทดสอบ", "\xc0\xd2\xc9\xd2"},
  };
  for (const TSample& sample : samples) {
    SCOPED_TRACE(sample.codePage);
    EXPECT_TRUE(IsValidCodePage(sample.codePage));
    const std::string bytes = Encode(sample.codePage, sample.text);
    EXPECT_EQ(bytes.substr(0, sample.bytes.size()), sample.bytes);
    EXPECT_EQ(Decode(sample.codePage, bytes), sample.text);
  }
}

TEST(CodePageConverter, KnowsOnlyItsCodePages) {
  for (UINT codePage : {1252u, 1251u, 65001u, 437u, 0xFFFFFFFFu}) EXPECT_FALSE(IsValidCodePage(codePage));
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 3, nullptr, 0), 0);
  {
    TScopedEnv acp("QUINTREL_ACP", "949");
    EXPECT_TRUE(IsValidCodePage(CP_ACP));
    EXPECT_EQ(Decode(CP_ACP, "\xc7\xd1"), u"한");
  }
  {
    TScopedRemoval removed(932);
    EXPECT_FALSE(IsValidCodePage(932));
    EXPECT_EQ(MultiByteToWideChar(932, 0, "\x93\xfa", 2, nullptr, 0), 0);
    EXPECT_EQ(WideCharToMultiByte(932, 0, u"日", 1, nullptr, 0, nullptr, nullptr), 0);
    EXPECT_TRUE(IsValidCodePage(949));
  }
  EXPECT_TRUE(IsValidCodePage(932));
}

TEST(CodePageConverter, FollowsTheBufferRules) {
  // -1 converts up to and including the terminating zero.
  EXPECT_EQ(MultiByteToWideChar(932, 0, "a\x93\xfa", -1, nullptr, 0), 3);
  EXPECT_EQ(WideCharToMultiByte(932, 0, u"a日", -1, nullptr, 0, nullptr, nullptr), 4);
  EXPECT_EQ(MultiByteToWideChar(932, 0, nullptr, 2, nullptr, 0), 0);

  // A destination that is too small fails and is left as it was.
  char16_t small[2] = {u'x', u'x'};
  EXPECT_EQ(MultiByteToWideChar(932, 0, "abc", 3, small, 2), 0);
  EXPECT_EQ(small[0], u'x');
  char narrow[2] = {'x', 'x'};
  EXPECT_EQ(WideCharToMultiByte(932, 0, u"日本", 2, narrow, 2, nullptr, nullptr), 0);
  EXPECT_EQ(narrow[0], 'x');
}

TEST(CodePageConverter, ReplacesWhatItCannotDecode) {
  // A lead byte cut off by the count; the trail byte after it must not be read.
  const char japanese[] = "A\x82\xa0";
  EXPECT_EQ(Decode(932, std::string_view(japanese, 2)), u"A\uFFFD");
  EXPECT_EQ(Decode(950, "\xa4"), u"\uFFFD");
  // A lead byte before a byte that cannot trail it: the line end survives.
  EXPECT_EQ(Decode(932, "\x82\n\x82\xa0"), u"\uFFFD\nあ");
  EXPECT_EQ(Decode(949, "\xb0\"x"), u"\uFFFD\"x");
  // Well-formed pairs the code page leaves unassigned count as one character.
  EXPECT_EQ(Decode(932, "\x85\x40z"), u"\uFFFDz");
  EXPECT_EQ(Decode(950, "\xa3\xe2z"), u"\uFFFDz");
  // Single bytes nothing is assigned to.
  EXPECT_EQ(Decode(932, "\xa0\xfd!"), u"\uFFFD\uFFFD!");
  EXPECT_EQ(Decode(874, "\xdb\xa1"), u"\uFFFDก");

  EXPECT_EQ(MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, "a\x85\x40", 3, nullptr, 0), 0);
  EXPECT_EQ(MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, "a\x82\xa0", 3, nullptr, 0), 2);
}

TEST(CodePageConverter, WritesTheDefaultCharacterForWhatItCannotEncode) {
  BOOL used = false;
  EXPECT_EQ(Encode(932, u"Aé日", nullptr, &used), "A?\x93\xfa");
  EXPECT_TRUE(used);
  used = false;
  EXPECT_EQ(Encode(932, u"A日", nullptr, &used), "A\x93\xfa");
  EXPECT_FALSE(used);
  // Each half of a pair outside the code page, and an unpaired half, is one character.
  EXPECT_EQ(Encode(949, u"\U0001F600x"), "??x");
  EXPECT_EQ(Encode(936, std::u16string(u"a\xDC00"
                                       u"b")),
            "a?b");
  EXPECT_EQ(Encode(950, std::u16string(1, u'\xD800')), "?");
  EXPECT_EQ(Encode(874, u"€ก", "*"), "\x80\xa1");
  EXPECT_EQ(Encode(874, u"日ก", "*"), "*\xa1");
}

TEST(Locale, AnsiCodePageComesFromTheEnvironment) {
  TScopedEnv unset("QUINTREL_ACP", std::nullopt);
  EXPECT_EQ(GetACP(), 1252u);
  const std::pair<const char*, UINT> cases[] = {{"1251", 1251}, {"932", 932},     {"abc", 1252},
                                                {"0", 1252},    {"0x4E4", 1252}, {"70000", 1252}};
  for (const auto& [text, expected] : cases) {
    TScopedEnv acp("QUINTREL_ACP", text);
    EXPECT_EQ(GetACP(), expected) << text;
  }
}

// Font charsets and code pages correspond one to one; charset 1 stands for the ANSI code
// page.
TEST(Locale, CharsetsNameTheirCodePages) {
  TScopedEnv acp("QUINTREL_ACP", "1251");
  const std::pair<BYTE, UINT> known[] = {{0, 1252},   {161, 1253}, {162, 1254}, {177, 1255}, {178, 1256},
                                         {186, 1257}, {204, 1251}, {238, 1250}, {128, 932},  {129, 949},
                                         {134, 936},  {136, 950},  {222, 874}};
  for (const auto& [charset, codePage] : known) EXPECT_EQ(CharsetToCodePage(charset), codePage) << int{charset};
  int withCodePage = 0;
  for (int charset = 0; charset <= 255; ++charset) {
    if (charset == 1) continue;
    const UINT codePage = CharsetToCodePage(static_cast<BYTE>(charset));
    if (codePage == 0) continue;
    ++withCodePage;
    EXPECT_EQ(CodePageToCharset(codePage), charset) << codePage;
  }
  EXPECT_GE(withCodePage, 13);
  EXPECT_EQ(CharsetToCodePage(1), 1251u);
  EXPECT_EQ(CharsetToCodePage(2), 0u);  // symbols have no code page
  EXPECT_EQ(CodePageToCharset(65001), 1);
}

TEST(Locale, UserLanguageComesFromTheEnvironment) {
  TScopedEnv all("LC_ALL", std::nullopt);
  TScopedEnv unset("QUINTREL_LANGID", std::nullopt);
  const std::pair<const char*, LANGID> names[] = {
      {"de_AT.UTF-8", 0x0C07}, {"de_XX", 0x0407}, {"de", 0x0407},    {"en-GB", 0x0809},       {"en_us", 0x0409},
      {"pt", 0x0416},          {"zh", 0x0804},    {"zh_TW.Big5", 0x0404}, {"sr_RS@latin", 0x0409}, {"C.UTF-8", 0x0409}};
  for (const auto& [name, expected] : names) {
    TScopedEnv lang("LANG", name);
    EXPECT_EQ(GetUserDefaultLangID(), expected) << name;
  }
  TScopedEnv lang("LANG", "fr_FR.UTF-8");
  {
    TScopedEnv overriding("LC_ALL", "ja_JP.eucJP");
    EXPECT_EQ(GetUserDefaultLangID(), 0x0411);
  }
  const std::pair<const char*, LANGID> ids[] = {{"0x0407", 0x0407}, {"$40C", 0x040C}, {"1033", 0x0409}, {"junk", 0x040C}};
  for (const auto& [text, expected] : ids) {
    TScopedEnv id("QUINTREL_LANGID", text);
    EXPECT_EQ(GetUserDefaultLangID(), expected) << text;
  }
  EXPECT_EQ(LangIdFromLocaleName("POSIX"), 0);
  EXPECT_EQ(MAKELANGID(0x07, 0x03), 0x0C07);
}

}  // namespace
}  // namespace quintrel::win32
