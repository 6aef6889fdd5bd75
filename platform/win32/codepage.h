// The code-page converter of the Win32 subset and the two locale numbers the system reads
// from its environment.
//
// Converter. The double-byte code pages 932 (Japanese), 936 (Simplified Chinese),
// 949 (Korean), 950 (Traditional Chinese) and the single-byte 874 (Thai) are served by the
// C library's iconv under the names CP932, CP936, CP949, CP950 and CP874. No other code
// page is known here: the eight single-byte Western, Cyrillic, Greek, Turkish, Hebrew,
// Arabic and Baltic code pages are tables of the text layer, not of the platform. A code
// page iconv cannot open is "not installed": IsValidCodePage says false and the
// conversions fail (0).
//
// A conversion never fails as a whole for one bad character and never reads past the
// count it is given:
//  - decoding, a byte sequence the code page does not define gives one U+FFFD. A lead
//    byte followed by a byte of the code page's trail range stands for one character and
//    gives one U+FFFD for both; any other bad byte gives one U+FFFD for itself alone, so
//    that an ASCII byte after a stray lead byte (a line end, a quote) survives. A lead
//    byte cut off at the end of the input gives one U+FFFD.
//  - encoding, a unit the code page cannot represent (including an unpaired surrogate
//    half) gives the default character, '?' unless the caller passes another.
// With MB_ERR_INVALID_CHARS a decoding that meets a bad sequence fails instead (0).
//
// Locale. GetACP is the ANSI code page of the process: $QUINTREL_ACP in decimal, 1252
// when unset or not a number from 1 to 65535. GetUserDefaultLangID is the user's
// language: $QUINTREL_LANGID (decimal, or hexadecimal after "0x" or "$"), else derived
// from the POSIX locale name in $LC_ALL or $LANG (see LangIdFromLocaleName), else
// 0x0409 (English, United States). Both are read at every call, so a process (or a test)
// that changes its environment sees the new value at once.
#pragma once

#include <string_view>

#include "platform/win32/windef.h"

namespace quintrel::win32 {

using LANGID = WORD;

constexpr UINT CP_ACP = 0;

constexpr DWORD MB_PRECOMPOSED = 0x00000001;
constexpr DWORD MB_COMPOSITE = 0x00000002;
constexpr DWORD MB_USEGLYPHCHARS = 0x00000004;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x00000008;

constexpr DWORD WC_DISCARDNS = 0x00000010;
constexpr DWORD WC_SEPCHARS = 0x00000020;
constexpr DWORD WC_DEFAULTCHAR = 0x00000040;
constexpr DWORD WC_COMPOSITECHECK = 0x00000200;
constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x00000400;

// True for 874, 932, 936, 949 and 950 when iconv can open them (CP_ACP stands for GetACP).
BOOL IsValidCodePage(UINT codePage);

// Decodes `multiByteCount` bytes (-1: up to and including the terminating zero) into
// UTF-16 units. With wideCount 0 only counts, writing nothing. Returns the number of units
// written (or needed); 0 when the code page is not valid, the input is null or empty, the
// destination is too small (then nothing is written), or MB_ERR_INVALID_CHARS meets a bad
// sequence. MB_PRECOMPOSED and MB_COMPOSITE make no difference for these code pages,
// whose characters are all precomposed.
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* multiByte, int multiByteCount, WCHAR* wide,
                        int wideCount);

// Encodes `wideCount` units (-1: up to and including the terminating zero). With
// multiByteCount 0 only counts. A unit that has no encoding is written as `defaultChar`
// (its bytes up to the terminating zero; '?' when null) and sets *usedDefaultChar when
// that is given. Returns the number of bytes written (or needed); 0 on the same failures
// as MultiByteToWideChar. The WC_ flags make no difference to the result.
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wide, int wideCount, char* multiByte,
                        int multiByteCount, const char* defaultChar, BOOL* usedDefaultChar);

// Stands in for installing and removing a code page on the system: a removed code page
// behaves exactly like one iconv cannot open. Installing cannot make iconv open one it
// lacks. Meant for tests and diagnostics; all code pages start installed.
void SetCodePageInstalled(UINT codePage, bool installed);

UINT GetACP();

// The code page of a font character set, as the platform's character-set information
// gives it, the one table of charsets and code pages in the system: 0 ANSI 1252,
// 161 Greek 1253, 162 Turkish 1254, 163 Vietnamese 1258, 177 Hebrew 1255, 178 Arabic
// 1256, 186 Baltic 1257, 204 Russian 1251, 238 East Europe 1250, 128 Shift-JIS 932,
// 129 Hangeul 949, 130 Johab 1361, 134 GB2312 936, 136 Big5 950, 222 Thai 874, 77 Mac
// 10000, 255 OEM 437. DEFAULT_CHARSET gives GetACP(); SYMBOL_CHARSET and numbers no set
// has give 0. Which of these code pages can be converted is another matter (see above).
UINT CharsetToCodePage(BYTE charset);
// The character set of a code page (the inverse of the table above); DEFAULT_CHARSET
// for a code page no set has.
BYTE CodePageToCharset(UINT codePage);

constexpr LANGID MAKELANGID(WORD primary, WORD sub) { return static_cast<LANGID>((sub << 10) | primary); }
constexpr WORD PRIMARYLANGID(LANGID id) { return id & 0x3FF; }
constexpr WORD SUBLANGID(LANGID id) { return id >> 10; }

LANGID GetUserDefaultLangID();

// The language identifier of a POSIX locale name such as "de_DE.UTF-8", "pt_BR" or
// "sr_RS@latin": language and territory give the identifier of that country's variant
// (de_AT 0x0C07); a known language with an unknown or missing territory gives the
// language with its default sublanguage (de_LU 0x0407, "ja" 0x0411). 0 for "C", "POSIX",
// an empty name and languages not in the table; docs/codepages.md lists the table.
LANGID LangIdFromLocaleName(std::string_view name);

}  // namespace quintrel::win32
