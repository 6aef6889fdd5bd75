#include "module/regional.h"

#include <algorithm>

#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"
#include "strings/localeconsts.h"

namespace quintrel::module {

namespace {

namespace qs = quintrel::strings;

bool HasText(const TZodText& text) { return text && !text->empty(); }

template <size_t N>
bool AnyText(const std::array<TZodText, N>& texts) {
  return std::any_of(texts.begin(), texts.end(), HasText);
}

template <size_t N>
void Copy(std::array<TZodText, N>& to, const std::vector<std::u16string>& from) {
  for (size_t i = 0; i < N; ++i) to[i] = from[i];
}

uint16_t TwoLetters(const std::string& code) {
  return code.size() == 2 ? MakeLanguageId(code[0], code[1]) : 0;
}

class TFiller {
public:
  TFiller(const win32::TLocaleInfo& locale, TLocaleFill& fill) : locale_(locale), fill_(fill) {}

  // A fixed field holds `units` characters before its terminator; a longer text is cut
  // (never inside a surrogate pair), with a note naming the field.
  void Fixed(std::u16string& field, const std::u16string& text, size_t units, const char* what) {
    if (text.size() <= units) {
      field = text;
      return;
    }
    size_t cut = units;
    if (cut > 0 && text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF) --cut;
    field = text.substr(0, cut);
    fill_.Notes.push_back(rtl::Format(qs::_SLocaleCut, locale_.Name, what, rtl::WideToUtf8(text),
                                      static_cast<int>(units), rtl::WideToUtf8(field)));
  }

private:
  const win32::TLocaleInfo& locale_;
  TLocaleFill& fill_;
};

}  // namespace

uint16_t RegionalGroups(const TZodLanguage& l) {
  uint16_t groups = 0;
  if (AnyText(l.LongDayNames) || AnyText(l.ShortDayNames)) groups |= kApplyDayNames;
  if (AnyText(l.LongMonthNames) || AnyText(l.ShortMonthNames)) groups |= kApplyMonthNames;
  // A 24-hour clock needs no AM and PM strings, but every clock has a separator.
  if (!l.TimeSeparator.empty()) groups |= kApplyTime;
  if (HasText(l.ShortDateFormat) || HasText(l.LongDateFormat)) groups |= kApplyDate;
  if (!l.CurrencyString.empty() || !l.DecimalSeparator.empty()) groups |= kApplyCurrency;
  return groups;
}

uint16_t AppliedGroupsWithoutData(const TZodLanguage& l) {
  return static_cast<uint16_t>(l.ApplyFlags & kApplyAll & ~kApplyWin32 & ~RegionalGroups(l));
}

std::string RegionalGroupNames(uint16_t flags) {
  static constexpr std::pair<uint16_t, const char*> kNames[] = {{kApplyDayNames, qs::_SGroupDayNames},
                                                                {kApplyMonthNames, qs::_SGroupMonthNames},
                                                                {kApplyTime, qs::_SGroupTime},
                                                                {kApplyDate, qs::_SGroupDate},
                                                                {kApplyCurrency, qs::_SGroupCurrency}};
  std::string names;
  for (const auto& [flag, name] : kNames) {
    if (!(flags & flag)) continue;
    if (!names.empty()) names += ", ";
    names += name;
  }
  return names;
}

TLocaleFill FillFromLocale(TZodLanguage& l, const win32::TLocaleInfo& locale) {
  TLocaleFill fill;
  TFiller filler(locale, fill);
  if (!locale.EnglishName.empty()) l.Name = locale.EnglishName;
  if (!locale.NativeName.empty()) l.NativeName = locale.NativeName;
  if (const uint16_t code = TwoLetters(locale.LanguageCode)) l.PrimaryLanguage = code;
  if (const uint16_t code = TwoLetters(locale.CountryCode)) l.Country = code;
  l.Win32Locale = locale.LangId;
  l.Charset = locale.Charset;
  if (!locale.LangId) fill.Notes.push_back(rtl::Format(qs::_SLocaleNoLangId, locale.Name));

  if (locale.LongDayNames.size() == 7 && locale.ShortDayNames.size() == 7) {
    Copy(l.LongDayNames, locale.LongDayNames);
    Copy(l.ShortDayNames, locale.ShortDayNames);
    fill.Groups |= kApplyDayNames;
  }
  if (locale.LongMonthNames.size() == 12 && locale.ShortMonthNames.size() == 12) {
    Copy(l.LongMonthNames, locale.LongMonthNames);
    Copy(l.ShortMonthNames, locale.ShortMonthNames);
    fill.Groups |= kApplyMonthNames;
  }
  if (locale.HasTime) {
    l.TwentyFourHour = locale.TwentyFourHour;
    l.MarkerBeforeTime = locale.MarkerBeforeTime;
    l.LeadingZeroInHours = locale.LeadingZeroInHours;
    filler.Fixed(l.AMString, locale.AMString, TZodLanguage::kAmPmUnits - 1, "AM string");
    filler.Fixed(l.PMString, locale.PMString, TZodLanguage::kAmPmUnits - 1, "PM string");
    filler.Fixed(l.TimeSeparator, locale.TimeSeparator, TZodLanguage::kTimeSeparatorUnits - 1, "time separator");
    fill.Groups |= kApplyTime;
  }
  for (const auto& [keyword, format] : locale.UnconvertedFormats)
    fill.Notes.push_back(rtl::Format(qs::_SLocaleNoFormat, locale.Name, keyword, rtl::WideToUtf8(format)));
  if (locale.ShortDateFormat || locale.LongDateFormat) {
    l.ShortDateFormat = locale.ShortDateFormat;
    l.LongDateFormat = locale.LongDateFormat;
    filler.Fixed(l.DateSeparator, locale.DateSeparator, TZodLanguage::kSeparatorUnits - 1, "date separator");
    fill.Groups |= kApplyDate;
  }
  if (locale.HasCurrency) {
    constexpr size_t kCurrencyChars = TZodLanguage::kCurrencyUnits - 1;
    std::u16string symbol = locale.CurrencyString;
    if (symbol.size() > kCurrencyChars && !locale.IntlCurrencyString.empty() &&
        locale.IntlCurrencyString.size() <= kCurrencyChars) {
      fill.Notes.push_back(rtl::Format(qs::_SLocaleIntlCurrency, locale.Name, rtl::WideToUtf8(symbol),
                                       static_cast<int>(kCurrencyChars), rtl::WideToUtf8(locale.IntlCurrencyString)));
      symbol = locale.IntlCurrencyString;
    }
    filler.Fixed(l.CurrencyString, symbol, kCurrencyChars, "currency symbol");
    l.CurrencyFormat = locale.CurrencyFormat;
    l.NegCurrFormat = locale.NegCurrFormat;
    l.CurrencyDecimals = locale.CurrencyDecimals;
    filler.Fixed(l.ThousandSeparator, locale.ThousandSeparator, TZodLanguage::kSeparatorUnits - 1,
                 "thousand separator");
    filler.Fixed(l.DecimalSeparator, locale.DecimalSeparator, TZodLanguage::kSeparatorUnits - 1,
                 "decimal separator");
    fill.Groups |= kApplyCurrency;
  }
  return fill;
}

}  // namespace quintrel::module
