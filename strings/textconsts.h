// Message table of the text layer (code-page conversion, streamed lists). Every text it shows or raises is
// here, formatted with rtl::Format.
#pragma once

namespace quintrel::strings {

// %s is the code page's number in decimal ("932").
inline constexpr const char* _SCodePageNotInstalled =
    "Could not convert between Windows codepage %s and Unicode, please install this codepage.";
// %s is the text that was to be read as a number.
inline constexpr const char* _SInvalidInteger = "'%s' is not a valid integer value";

// Streamed lists (text/listfiler.h). Offsets are stream positions; the found byte is in
// decimal.
inline constexpr const char* _SListBeginExpected = "List data damaged at byte offset %d: list start expected, found byte %d";
inline constexpr const char* _SListEndExpected = "List data damaged at byte offset %d: list end expected, found byte %d";
inline constexpr const char* _SListDataTruncated =
    "List data damaged at byte offset %d: %d more bytes expected, %d left";
// Wide string lists (text/ustringlist.h).
inline constexpr const char* _SListItemTooLong = "A list item of %d characters is longer than the %d an item can hold";

}  // namespace quintrel::strings
