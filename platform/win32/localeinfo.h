// The regional settings of a locale as a Windows program reads them from the system: names
// of days and months Monday and January first, date formats as format pictures
// ("dd.MM.yyyy", "dddd, d. MMMM yyyy"), the time flags, separators, and the currency as
// the CurrencyFormat and NegCurrFormat codes, with the locale id and character set of the
// language. They are worked out from a locale definition (localedef.h), whose notation is
// POSIX's: strftime conversions and the p_cs_precedes / sep_by_space / sign_posn numbers.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/localedef.h"
#include "platform/win32/codepage.h"
#include "platform/win32/windef.h"

namespace quintrel::win32 {

struct TLocaleInfo {
  std::string Name;                 // as asked for: "de_DE"
  std::u16string EnglishName;       // "German"
  std::u16string NativeName;        // "Deutsch"
  std::string LanguageCode;         // "de"
  std::string CountryCode;          // "DE"
  LANGID LangId = 0;                // 0 when the language has no Windows locale here
  BYTE Charset = 0;                 // the character set of the language's ANSI code page

  // Empty when the definition has none (or not 7 / 12 of them).
  std::vector<std::u16string> LongDayNames, ShortDayNames;      // Monday first
  std::vector<std::u16string> LongMonthNames, ShortMonthNames;  // January first

  bool HasTime = false;  // the time format names an hour
  bool TwentyFourHour = false;
  bool MarkerBeforeTime = false;
  bool LeadingZeroInHours = false;
  std::u16string AMString, PMString, TimeSeparator;

  std::optional<std::u16string> ShortDateFormat, LongDateFormat;
  std::u16string DateSeparator;
  // The strftime formats that have no picture (a conversion such as %j).
  std::vector<std::pair<std::string, std::u16string>> UnconvertedFormats;

  bool HasCurrency = false;
  std::u16string CurrencyString;
  std::u16string IntlCurrencyString;  // "EUR", for a symbol too long for the platform
  uint8_t CurrencyFormat = 0;
  uint8_t NegCurrFormat = 0;
  uint8_t CurrencyDecimals = 2;
  std::u16string ThousandSeparator, DecimalSeparator;
};

// The regional settings of a definition; `name` is the locale's name as asked for.
TLocaleInfo LocaleInfoFromDefinition(const TLocaleDefinition& definition, std::string_view name);

// The format picture of a strftime date format ("%d.%m.%Y" -> "dd.MM.yyyy"). With
// `dateOnly` the time conversions and the separators after them are left out, which
// turns the date-and-time format of a locale into its long date format. nullopt when a
// conversion has no picture.
std::optional<std::u16string> DatePictureOfStrftime(std::u16string_view format, bool dateOnly = false);

// CurrencyFormat 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $" from the positive p_cs_precedes and
// p_sep_by_space; NegCurrFormat 0..15 from n_cs_precedes, n_sep_by_space, n_sign_posn.
uint8_t CurrencyFormatCode(bool symbolPrecedes, int sepBySpace);
uint8_t NegCurrFormatCode(bool symbolPrecedes, int sepBySpace, int signPosn);

// The ANSI code page of a language (LOCALE_IDEFAULTANSICODEPAGE); 0 for a language that
// has none here.
UINT AnsiCodePageOfLangId(LANGID id);

}  // namespace quintrel::win32
