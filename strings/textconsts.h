// Message table of the code-page conversion. Every text the conversion shows or raises is
// here, formatted with rtl::Format.
#pragma once

namespace quintrel::strings {

// %s is the code page's number in decimal ("932").
inline constexpr const char* _SCodePageNotInstalled =
    "Could not convert between Windows codepage %s and Unicode, please install this codepage.";
// %s is the text that was to be read as a number.
inline constexpr const char* _SInvalidInteger = "'%s' is not a valid integer value";

}  // namespace quintrel::strings
