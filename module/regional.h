// The regional settings of a language record: which groups of them it holds, and filling
// them from a locale of the system.
//
// The groups are those the apply flags name (day names, month names, time, date,
// currency). A record "has" a group when it holds something the translator would
// install for it; a group without data, installed, would blank the application's names,
// formats or separators.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "module/languages.h"
#include "platform/win32/localeinfo.h"

namespace quintrel::module {

// The apply flags of the groups the record holds data for (kApplyDayNames ... kApplyCurrency).
uint16_t RegionalGroups(const TZodLanguage& language);
// The groups the record's apply flags name but it holds no data for. Installed, they would
// blank the application's names, formats or separators, so a language is stored without them.
uint16_t AppliedGroupsWithoutData(const TZodLanguage& language);
// The groups of `flags` by name, for messages: "day names, month names".
std::string RegionalGroupNames(uint16_t flags);

struct TLocaleFill {
  uint16_t Groups = 0;             // the groups the locale filled
  std::vector<std::string> Notes;  // what did not fit or is not known, one line each
};

// Fills the record from the locale: names (English and native), primary language and
// country, Win32 locale and charset, and each group the locale has. Texts longer than
// their fixed fields are cut, with a note. Groups the locale lacks keep what the record
// had.
TLocaleFill FillFromLocale(TZodLanguage& language, const win32::TLocaleInfo& locale);

}  // namespace quintrel::module
