// A language record's regional settings filled from a locale, and the groups it holds.
#include <gtest/gtest.h>

#include "module/regional.h"

namespace quintrel::module {
namespace {

win32::TLocaleInfo FullLocale() {
  win32::TLocaleInfo info;
  info.Name = "xx_YY";
  info.EnglishName = u"Example";
  info.NativeName = u"Exemplum";
  info.LanguageCode = "xx";
  info.CountryCode = "YY";
  info.LangId = 0x0407;
  info.Charset = 238;
  for (int i = 0; i < 7; ++i) {
    info.LongDayNames.push_back(u"Day" + std::u16string(1, u'1' + i));
    info.ShortDayNames.push_back(u"D" + std::u16string(1, u'1' + i));
  }
  for (int i = 0; i < 12; ++i) {
    info.LongMonthNames.push_back(u"Month" + std::u16string(1, u'A' + i));
    info.ShortMonthNames.push_back(u"M" + std::u16string(1, u'A' + i));
  }
  info.HasTime = true;
  info.LeadingZeroInHours = true;
  info.AMString = u"morning!!";  // one more than the field holds
  info.PMString = u"pm";
  info.TimeSeparator = u":";
  info.ShortDateFormat = u"dd.MM.yyyy";
  info.LongDateFormat = u"dddd d. MMMM yyyy";
  info.DateSeparator = u".";
  info.HasCurrency = true;
  info.CurrencyString = u"Lambda$";  // too long: the international symbol stands in
  info.IntlCurrencyString = u"XYZ";
  info.CurrencyFormat = 3;
  info.NegCurrFormat = 8;
  info.CurrencyDecimals = 3;
  info.ThousandSeparator = u"\u00A0";
  info.DecimalSeparator = u",";
  return info;
}

TEST(RegionalSettings, FillFromLocaleFitsTheRecordAndSurvivesPacking) {
  TZodLanguage l;
  l.Identifier = MakeLanguageId('x', 'x');
  EXPECT_EQ(RegionalGroups(l), 0);
  TLocaleFill fill = FillFromLocale(l, FullLocale());
  EXPECT_EQ(fill.Groups, kApplyAll & ~kApplyWin32);
  EXPECT_EQ(RegionalGroups(l), fill.Groups);
  EXPECT_EQ(l.PrimaryLanguage, MakeLanguageId('x', 'x'));
  EXPECT_EQ(l.Country, MakeLanguageId('Y', 'Y'));
  EXPECT_EQ(l.Win32Locale, 0x0407u);
  EXPECT_EQ(l.Charset, 238);
  EXPECT_EQ(l.AMString, u"morning!") << "cut to the 8 characters the field holds";
  EXPECT_EQ(l.CurrencyString, u"XYZ");
  ASSERT_EQ(fill.Notes.size(), 2u);
  EXPECT_NE(fill.Notes[0].find("AM string 'morning!!'"), std::string::npos) << fill.Notes[0];
  EXPECT_NE(fill.Notes[1].find("'Lambda$'"), std::string::npos) << fill.Notes[1];

  // Whatever the locale filled, the packed record reads back the same.
  TZodLanguage back = UnpackLanguage(PackLanguage(l));
  EXPECT_EQ(back.AMString, l.AMString);
  EXPECT_EQ(back.CurrencyString, l.CurrencyString);
  EXPECT_EQ(back.ThousandSeparator, u"\u00A0");
  EXPECT_EQ(back.LongDayNames[6], u"Day7");
  EXPECT_EQ(back.ShortMonthNames[11], u"ML");
  EXPECT_EQ(back.LongDateFormat, u"dddd d. MMMM yyyy");
  EXPECT_EQ(back.CurrencyDecimals, 3);
}

TEST(RegionalSettings, GroupsTheLocaleLacksKeepTheRecordsData) {
  TZodLanguage l;
  l.CurrencyString = u"EUR";
  l.DecimalSeparator = u",";
  l.TwentyFourHour = true;  // a flag alone is no time setting
  EXPECT_EQ(RegionalGroups(l), kApplyCurrency);

  win32::TLocaleInfo partial = FullLocale();
  partial.HasCurrency = false;
  partial.LangId = 0;
  partial.Charset = 0;
  partial.ShortMonthNames.pop_back();  // not 12: no month names
  partial.AMString = u"am";
  TLocaleFill fill = FillFromLocale(l, partial);
  EXPECT_EQ(fill.Groups, kApplyDayNames | kApplyTime | kApplyDate);
  EXPECT_EQ(l.CurrencyString, u"EUR");
  EXPECT_FALSE(l.LongMonthNames[0]);
  ASSERT_EQ(fill.Notes.size(), 1u);
  EXPECT_NE(fill.Notes[0].find("no Windows locale is known"), std::string::npos) << fill.Notes[0];
  EXPECT_EQ(RegionalGroupNames(kApplyAll & ~RegionalGroups(l)), "month names");
}

}  // namespace
}  // namespace quintrel::module
