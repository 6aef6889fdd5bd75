// Message table of the locale definitions a language's regional settings are filled from,
// and of the notes and warnings `lang add` and `lang set` print about them.
#pragma once

namespace quintrel::strings {

// A locale definition that cannot be used: the file, the line (0 when the problem is the
// file as a whole) and the reason, one of the texts below.
inline constexpr const char* _SLocaleFault = "%s:%d: %s";
inline constexpr const char* _SLocaleFileFault = "%s: %s";
inline constexpr const char* _SLocaleNotFound = "no locale definition %s in %s";
inline constexpr const char* _SLocaleBadName = "'%s' is not a locale name (such as de_DE) or a path";
inline constexpr const char* _SLocaleLineTooLong = "line longer than %d bytes";
inline constexpr const char* _SLocaleLogicalTooLong = "continued line longer than %d bytes";
inline constexpr const char* _SLocaleUnterminated = "string not closed before the end of the line";
inline constexpr const char* _SLocaleBadSymbol = "'%s' is not a character symbol <Uxxxx> of a Unicode scalar value";
inline constexpr const char* _SLocaleByteEscape = "byte escape '%s' is not supported (write the character as <Uxxxx>)";
inline constexpr const char* _SLocaleBadUtf8 = "not UTF-8 at column %d";
inline constexpr const char* _SLocaleControl = "control character $%.2x in a string";
inline constexpr const char* _SLocaleStringTooLong = "string longer than %d characters";
inline constexpr const char* _SLocaleTooManyValues = "more than %d values";
inline constexpr const char* _SLocaleTooManyKeywords = "more than %d keywords in %s";
inline constexpr const char* _SLocaleUnexpected = "'%s' is not expected here";
inline constexpr const char* _SLocaleBadDeclaration = "%s takes one character";
inline constexpr const char* _SLocaleBadEnd = "END %s inside %s";
inline constexpr const char* _SLocaleNotClosed = "%s is not closed by END %s";
inline constexpr const char* _SLocaleBadCopy = "copy takes one quoted locale name without a folder";
inline constexpr const char* _SLocaleTwoCopies = "a second copy in %s";
inline constexpr const char* _SLocaleCopyCycle = "copy \"%s\" leads back to a definition being read";
inline constexpr const char* _SLocaleCopyDepth = "copy \"%s\" nests more than %d definitions deep";
inline constexpr const char* _SLocaleCopyMissing = "copy \"%s\": that definition has no %s";
inline constexpr const char* _SLocaleCopyUnreadable = "copy \"%s\": %s";

// Notes on what a locale could not give a language record.
inline constexpr const char* _SLocaleNoLangId =
    "%s: no Windows locale is known for this locale; the locale id stays 0 and the charset 0 (ANSI)";
inline constexpr const char* _SLocaleCut = "%s: %s '%s' is longer than the %d characters the field holds; cut to '%s'";
inline constexpr const char* _SLocaleIntlCurrency = "%s: the currency symbol '%s' is longer than the %d characters the field holds; '%s' is used";
inline constexpr const char* _SLocaleNoFormat = "%s: the %s '%s' has no equivalent in date format pictures; left empty";

// The groups of regional settings, as warnings name them.
inline constexpr const char* _SGroupDayNames = "day names";
inline constexpr const char* _SGroupMonthNames = "month names";
inline constexpr const char* _SGroupTime = "time settings";
inline constexpr const char* _SGroupDate = "date formats";
inline constexpr const char* _SGroupCurrency = "currency and number settings";
// `lang add` of a language that lacks some groups: the language and the groups.
inline constexpr const char* _SLangNoRegional = "warning: language %s has no %s (use --locale)";
// Apply flags asked for groups the language has no data for: the language and those groups.
inline constexpr const char* _SLangFlagsLeftOut =
    "warning: the apply flags of language %s leave out %s: it has no data for them (use --locale or give the values)";
// What a language command changed: the module file, the language.
inline constexpr const char* _SLangAdded = "changed %s (language %s added)";
inline constexpr const char* _SLangChanged = "changed %s (language %s)";
inline constexpr const char* _SLangRemoved = "changed %s (language %s removed)";
// A note printed beside a successful command.
inline constexpr const char* _SLocaleNote = "warning: %s";

}  // namespace quintrel::strings
