// Locale definitions: the system's own files, and crafted ones for the faults a reader of
// outside data must survive.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/rtl/utf8.h"
#include "platform/win32/localedef.h"
#include "platform/win32/localeinfo.h"

namespace quintrel::win32 {
namespace {

namespace fs = std::filesystem;

std::string U8(const std::u16string& s) { return rtl::WideToUtf8(s); }
std::string U8(const std::optional<std::u16string>& s) { return s ? rtl::WideToUtf8(*s) : "(none)"; }

class SystemLocales : public ::testing::Test {
protected:
  void SetUp() override {
    if (!fs::is_directory(kLocaleDirectory)) FAIL() << kLocaleDirectory << " is absent (scripts/install-deps installs Debian package locales)";
  }
  static TLocaleInfo Info(const std::string& name) {
    return LocaleInfoFromDefinition(ReadLocaleDefinition(LocaleDefinitionPath(name)), name);
  }
};

TEST_F(SystemLocales, GermanFrenchJapaneseHebrewRussian) {
  TLocaleInfo de = Info("de_DE.UTF-8");
  EXPECT_EQ(U8(de.EnglishName), "German");
  EXPECT_EQ(U8(de.NativeName), "Deutsch");
  EXPECT_EQ(de.LangId, 0x0407);
  EXPECT_EQ(de.Charset, 0);
  ASSERT_EQ(de.LongDayNames.size(), 7u);
  EXPECT_EQ(U8(de.LongDayNames[0]), "Montag") << "Monday first";
  EXPECT_EQ(U8(de.LongDayNames[6]), "Sonntag");
  EXPECT_EQ(U8(de.ShortMonthNames[2]), "Mär");
  EXPECT_EQ(U8(de.ShortDateFormat), "dd.MM.yyyy");
  EXPECT_EQ(U8(de.LongDateFormat), "dddd d. MMMM yyyy");
  EXPECT_EQ(U8(de.DateSeparator), ".");
  EXPECT_TRUE(de.TwentyFourHour && de.LeadingZeroInHours);
  EXPECT_EQ(U8(de.TimeSeparator), ":");
  EXPECT_EQ(U8(de.CurrencyString), "€");
  EXPECT_EQ(de.CurrencyFormat, 3) << "1 €";
  EXPECT_EQ(de.NegCurrFormat, 8) << "-1 €";
  EXPECT_EQ(U8(de.DecimalSeparator), ",");
  EXPECT_EQ(U8(de.ThousandSeparator), ".");

  // fr_FR writes its slashes escaped ("%d//%m//%Y") and separates thousands with the
  // narrow no-break space, which no code page holds.
  TLocaleInfo fr = Info("fr_FR");
  EXPECT_EQ(U8(fr.ShortDateFormat), "dd/MM/yyyy");
  EXPECT_EQ(U8(fr.DateSeparator), "/");
  EXPECT_EQ(fr.ThousandSeparator, u"\u00A0");
  EXPECT_EQ(U8(fr.NativeName), "français");
  EXPECT_EQ(fr.LangId, 0x040C);

  TLocaleInfo ja = Info("ja_JP");
  EXPECT_EQ(U8(ja.ShortDateFormat), "yyyy'年'MM'月'dd'日'");
  EXPECT_EQ(U8(ja.TimeSeparator), ":") << "時, 分 and 秒 are units, not a separator";
  EXPECT_EQ(U8(ja.DateSeparator), "/");
  EXPECT_EQ(ja.Charset, 128);
  EXPECT_EQ(ja.LangId, 0x0411);
  EXPECT_EQ(ja.CurrencyFormat, 0);
  EXPECT_EQ(ja.NegCurrFormat, 2) << "sign right after the symbol";
  EXPECT_EQ(ja.CurrencyDecimals, 0);
  EXPECT_EQ(U8(ja.ShortMonthNames[0]), "1月") << "the padding blank of abmon is not part of the name";
  EXPECT_EQ(U8(ja.AMString), "午前");

  TLocaleInfo he = Info("he_IL");
  EXPECT_EQ(he.Charset, 177);
  EXPECT_EQ(U8(he.ShortDateFormat), "dd/MM/yy");
  EXPECT_EQ(he.CurrencyFormat, 2);
  EXPECT_EQ(he.NegCurrFormat, 11) << "$ 1.1-";

  // Russian month names are inflected; the nominative (alt_mon) is the name of a month.
  TLocaleInfo ru = Info("ru_RU");
  EXPECT_EQ(U8(ru.LongMonthNames[0]), "Январь");
  EXPECT_EQ(ru.Charset, 204);
  EXPECT_EQ(U8(ru.CurrencyString), "₽");

  TLocaleInfo us = Info("en_US");
  EXPECT_FALSE(us.TwentyFourHour) << "t_fmt %r is the 12-hour format";
  EXPECT_FALSE(us.MarkerBeforeTime);
  EXPECT_EQ(U8(us.PMString), "PM");
  EXPECT_EQ(us.NegCurrFormat, 1) << "-$1";
}

// Every definition the system has reads, with 7 day and 12 month names where it has times.
TEST_F(SystemLocales, EveryDefinitionReads) {
  int count = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(kLocaleDirectory)) {
    if (!entry.is_regular_file()) continue;
    const std::string name = entry.path().filename().string();
    if (name.starts_with("iso14651") || name.starts_with("translit")) continue;  // collation and tables only
    try {
      const TLocaleDefinition definition = ReadLocaleDefinition(entry.path().string());
      if (!definition.HasCategory("LC_TIME")) continue;
      const TLocaleInfo info = LocaleInfoFromDefinition(definition, name);
      EXPECT_EQ(info.LongDayNames.size(), 7u) << name;
      EXPECT_EQ(info.LongMonthNames.size(), 12u) << name;
      EXPECT_TRUE(info.ShortDateFormat || !info.UnconvertedFormats.empty()) << name;
      EXPECT_TRUE(!info.HasTime || !info.TimeSeparator.empty()) << name;
      ++count;
    } catch (const ELocaleError& e) {
      ADD_FAILURE() << e.Message();
    }
  }
  EXPECT_GT(count, 100);
}

TEST(LocaleFormats, DatePictures) {
  struct TCase {
    std::u16string posix;
    bool dateOnly;
    const char* picture;  // nullptr: none
  };
  const TCase cases[] = {
      {u"%d.%m.%Y", false, "dd.MM.yyyy"},
      {u"%e/%-m/%y", false, "d/M/yy"},
      {u"%d de %B", false, "dd 'de' MMMM"},
      {u"it's %F", false, "'it''s' yyyy-MM-dd"},
      {u"%Y年%m月", false, "yyyy'年'MM'月'"},
      {u"%Od %b %EY", false, "dd MMM gg y"},
      {u"%j", false, nullptr},
      {u"%d %", false, nullptr},
      {u"%a %-d. %b %H:%M:%S %Z %Y", true, "dddd d. MMMM yyyy"},
      {u"%A %-d %B %Y, %H:%M:%S (UTC%z)", true, "dddd d MMMM yyyy"},
      {u"%Z %H:%M:%S %Y %b %d %a", true, "yyyy MMMM dd dddd"},
      {u"%T", true, nullptr},
  };
  for (const TCase& c : cases) {
    std::optional<std::u16string> picture = DatePictureOfStrftime(c.posix, c.dateOnly);
    EXPECT_EQ(U8(picture), c.picture ? c.picture : "(none)") << U8(c.posix);
  }
}

TEST(LocaleFormats, CurrencyCodesCoverEveryPlacement) {
  // Each of the 16 negative formats comes from some placement.
  std::set<int> seen;
  for (bool precedes : {false, true})
    for (int space : {0, 1})
      for (int posn = 0; posn <= 4; ++posn) seen.insert(NegCurrFormatCode(precedes, space, posn));
  EXPECT_EQ(seen.size(), 16u);
  EXPECT_EQ(NegCurrFormatCode(true, 0, 3), NegCurrFormatCode(true, 0, 1)) << "sign before symbol first: -$1";
  EXPECT_EQ(NegCurrFormatCode(false, 1, 3), 13) << "1 -$";
  EXPECT_EQ(NegCurrFormatCode(true, 0, 127), 1) << "unspecified: sign first";
  EXPECT_EQ(CurrencyFormatCode(true, 2), 0) << "a space only between sign and symbol";
}

class CraftedLocales : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("quintrel-localedef-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return (dir_ / name).string();
  }
  // The message of the fault reading `name`, or "" when it reads.
  std::string Fault(const std::string& name) {
    try {
      ReadLocaleDefinition((dir_ / name).string());
      return "";
    } catch (const ELocaleError& e) {
      return e.Message();
    }
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

constexpr const char* kHeader = "comment_char %\nescape_char /\n";

TEST_F(CraftedLocales, CopyLaysTheOwnKeywordsOverTheCopied) {
  Write("base", std::string(kHeader) +
                    "LC_TIME\nd_fmt \"%d//%m\"\nt_fmt \"%T\"\nam_pm \"a\";\"p\"\nEND LC_TIME\n"
                    "LC_CTYPE\nthis is not read \"\nEND LC_CTYPE\n");
  Write("child", std::string(kHeader) +
                     "% a comment\nLC_TIME\ncopy \"base\"\nd_fmt \"<U0041>/\"x<U0042>///<\" % trailing comment\n"
                     "day \"Sun\"; % comment inside a continued line /\n  \"Mon\" /\n\nEND LC_TIME\n");
  TLocaleDefinition d = ReadLocaleDefinition(Path("child"));
  EXPECT_EQ(U8(d.Text("LC_TIME", "d_fmt")), "A\"xB/<");
  EXPECT_EQ(U8(d.Text("LC_TIME", "t_fmt")), "%T");
  ASSERT_NE(d.Values("LC_TIME", "day"), nullptr);
  EXPECT_EQ(d.Values("LC_TIME", "day")->size(), 2u);
  EXPECT_EQ(d.Values("LC_TIME", "am_pm")->size(), 2u);
  EXPECT_FALSE(d.HasCategory("LC_NUMERIC"));

  // The default characters: # comments, \ escapes.
  Write("plain", "LC_NUMERIC\ndecimal_point \"\\\"\" # comment\ngrouping 3;3\nEND LC_NUMERIC\n");
  TLocaleDefinition p = ReadLocaleDefinition(Path("plain"));
  EXPECT_EQ(U8(p.Text("LC_NUMERIC", "decimal_point")), "\"");
  EXPECT_EQ(p.Number("LC_NUMERIC", "grouping"), 3);
}

TEST_F(CraftedLocales, CopyChainsAreBounded) {
  const auto copying = [](const std::string& target) {
    return std::string(kHeader) + "LC_TIME\ncopy \"" + target + "\"\nEND LC_TIME\n";
  };
  Write("a", copying("b"));
  Write("b", copying("a"));
  EXPECT_NE(Fault("a").find("b:4: copy \"a\" leads back"), std::string::npos) << Fault("a");
  Write("self", copying("self"));
  EXPECT_NE(Fault("self").find("leads back"), std::string::npos);

  for (int i = 0; i < 12; ++i) Write("n" + std::to_string(i), copying("n" + std::to_string(i + 1)));
  Write("n12", std::string(kHeader) + "LC_TIME\nEND LC_TIME\n");
  EXPECT_NE(Fault("n0").find("nests more than 8"), std::string::npos) << Fault("n0");
  EXPECT_EQ(Fault("n5"), "") << "a chain of 7 copies is fine";

  Write("nocat", std::string(kHeader) + "LC_NUMERIC\nEND LC_NUMERIC\n");
  Write("c", copying("nocat"));
  EXPECT_NE(Fault("c").find("c:4: copy \"nocat\": that definition has no LC_TIME"), std::string::npos) << Fault("c");
  Write("d", copying("../etc/passwd"));
  EXPECT_NE(Fault("d").find("d:4: copy takes one quoted locale name"), std::string::npos) << Fault("d");
  Write("e", copying("missing"));
  EXPECT_NE(Fault("e").find("e:4: copy \"missing\": "), std::string::npos) << Fault("e");
}

TEST_F(CraftedLocales, DamagedTextIsRefusedNamingFileAndLine) {
  struct TCase {
    std::string body;
    const char* fault;
  };
  const TCase cases[] = {
      {"d_fmt \"<U12>\"", "'<U12>' is not a character symbol"},
      {"d_fmt \"<UD800>\"", "'<UD800>' is not a character symbol"},
      {"d_fmt \"<U110000>\"", "'<U110000>' is not a character symbol"},
      {"d_fmt \"<U0041\"", "'<U0041\"' is not a character symbol"},
      {"d_fmt \"/x41\"", "byte escape '/x4' is not supported"},
      {"d_fmt \"abc", "string not closed"},
      {"d_fmt \"abc/", "string not closed"},
      {"d_fmt \"a\xff\"", "not UTF-8 at column 9"},
      {"d_fmt \"a<U0007>\"", "control character $07"},
      {std::string("am_pm \x19x\0y;\"PM\"", 15), "control character $19"},
      {"d_fmt \"a\" \"b\"", "'\"b\"' is not expected here"},
      {"END LC_NUMERIC", "END LC_NUMERIC inside LC_TIME"},
      {"d_fmt \"" + std::string(1100, 'x') + "\"", "string longer than 1024 characters"},
  };
  for (const TCase& c : cases) {
    Write("bad", std::string(kHeader) + "LC_TIME\n" + c.body + "\nEND LC_TIME\n");
    const std::string fault = Fault("bad");
    EXPECT_NE(fault.find(Path("bad") + ":4: " + c.fault), std::string::npos) << c.body << " -> " << fault;
  }
  Write("open", std::string(kHeader) + "\nLC_TIME\nd_fmt \"x\"\n");
  EXPECT_NE(Fault("open").find("open:4: LC_TIME is not closed by END LC_TIME"), std::string::npos) << Fault("open");
  Write("stray", "LC_TIME\nEND LC_TIME\nday \"x\"\n");
  EXPECT_NE(Fault("stray").find("stray:3: 'day \"x\"' is not expected here"), std::string::npos);
}

TEST_F(CraftedLocales, LinesAreBounded) {
  Write("long", std::string(kHeader) + "LC_TIME\n% " + std::string(5000, 'x') + "\nEND LC_TIME\n");
  EXPECT_NE(Fault("long").find("long:4: line longer than 4096 bytes"), std::string::npos) << Fault("long");
  std::string continued = std::string(kHeader) + "LC_TIME\nday ";
  for (int i = 0; i < 40; ++i) continued += "\"" + std::string(2000, 'y') + "\";/\n";
  Write("continued", continued + "\"z\"\nEND LC_TIME\n");
  EXPECT_NE(Fault("continued").find("continued:4: continued line longer than 65536"), std::string::npos)
      << Fault("continued");
  std::string many = std::string(kHeader) + "LC_TIME\nalt_digits ";
  for (int i = 0; i < 300; ++i) many += "\"" + std::to_string(i) + "\";";
  Write("many", many + "\"\"\nEND LC_TIME\n");
  EXPECT_NE(Fault("many").find("many:4: more than 256 values"), std::string::npos) << Fault("many");
}

// A FIFO, named directly or through copy, is refused without waiting for a writer.
TEST_F(CraftedLocales, OnlyRegularFilesAreOpened) {
  ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
  Write("viafifo", std::string(kHeader) + "LC_TIME\ncopy \"fifo\"\nEND LC_TIME\n");
  const pid_t child = fork();
  if (child == 0) {
    alarm(10);
    const bool direct = Fault("fifo").find("not a regular file") != std::string::npos;
    const bool copied = Fault("viafifo").find("viafifo:4: copy \"fifo\": not a regular file") != std::string::npos;
    _exit(direct && copied ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "refused at once, naming the file";
  EXPECT_NE(Fault(".").find("not a regular file"), std::string::npos);
}

TEST_F(CraftedLocales, LocaleNames) {
  Write("xx_YY@latin", "");
  EXPECT_EQ(LocaleDefinitionPath("xx_YY.UTF-8@latin", dir_.string()), Path("xx_YY@latin"));
  EXPECT_EQ(LocaleDefinitionPath("./any/path"), "./any/path");
  EXPECT_THROW(LocaleDefinitionPath("xx_ZZ", dir_.string()), ELocaleError);
  EXPECT_THROW(LocaleDefinitionPath("..", dir_.string()), ELocaleError);
  EXPECT_THROW(LocaleDefinitionPath("", dir_.string()), ELocaleError);
}

}  // namespace
}  // namespace quintrel::win32
