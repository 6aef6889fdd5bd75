// Conversion between wide strings and the byte strings of Windows code pages, selected by
// a character-set number (the charset a font and every language of a module carry), and
// three small helpers that live beside it: a 16-bit CRC, a hexadecimal parser and a wide
// formatter.
//
// Charsets. 0 ANSI (1252), 161 Greek (1253), 162 Turkish (1254), 177 Hebrew (1255),
// 178 Arabic (1256), 186 Baltic (1257), 204 Russian (1251) and 238 East Europe (1250) are
// converted with the system's own tables (codepagetables.cpp). 128 Shift-JIS (932),
// 129 Hangeul (949), 134 GB2312 (936), 136 Big5 (950) and 222 Thai (874) go to the
// platform converter. Charset 1 (default) stands for the charset of the process's ANSI
// code page (win32::GetACP); an ANSI code page none of these charsets has is taken as
// 1252, so that default-charset text is never dropped. Any other charset converts only
// ASCII (see the routines).
//
// Own tables. Bytes below 0x80 are the units of the same value. Above, each table holds
// the code page's mapping as this system has always read it: no euro sign, and U+FFFD at
// the positions that were unassigned then, even where later revisions of the code page
// put a character. The way back uses a reverse map per table (unit -> byte), built on the
// first conversion into that code page and kept for the life of the process; the table
// is read in byte order from 0x80 and the first byte of a unit wins, so U+FFFD converts to
// the lowest byte holding it. A unit no byte stands for becomes 0x7F.
//
// Two-call pattern. ByteToUnicode and UnicodeToByte write no terminating zero and take
// the count of source elements. Called with a null destination they only count; the
// destination of the second call must have room for that count. Code that owns its
// strings uses the std::string / std::u16string overloads instead.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/rtl/sysutils.h"

namespace quintrel::text {

// A platform code page this process cannot convert (its converter is not installed).
class ECodePageNotInstalled : public rtl::Exception {
public:
  explicit ECodePageNotInstalled(uint32_t codePage);
  uint32_t CodePage() const { return codePage_; }

private:
  uint32_t codePage_;
};

// Charset 1 replaced by the charset of the ANSI code page (0 when the code page has none);
// every other charset unchanged.
int32_t ResolveCharset(int32_t charset);
// The code page a charset converts with, after resolving charset 1; 0 for a charset
// outside the conversion.
uint32_t CharsetToCodePage(int32_t charset);
// True when the charset is converted with one of the own tables (after resolving 1).
bool IsOwnTableCharset(int32_t charset);

// Decodes `count` bytes of `source` into `dest` (null: only counts) and returns the number
// of units. Own tables give one unit per byte. Platform charsets copy bytes below 0x80
// one per unit up to the first byte from 0x80 on and hand the rest to the platform
// converter. When that code page is not installed, each byte from 0x80 on becomes U+FFFD
// and the message _SCodePageNotInstalled is shown once per converting call (a counting
// call shows nothing, since the real call follows it). Other charsets: 0.
int32_t ByteToUnicode(char16_t* dest, const char* source, int32_t count, int32_t charset);
std::u16string ByteToUnicode(std::string_view source, int32_t charset);

// Encodes `count` units of `source` into `dest` (null: only counts) and returns the number
// of bytes. Own tables give one byte per unit (0x7F for a unit without a byte). Platform
// charsets convert the whole input, '?' standing for what the code page cannot
// represent; ECodePageNotInstalled when the code page is not installed. Other charsets:
// units below 0x80 give their low byte, all others 0x7F.
int32_t UnicodeToByte(char* dest, const char16_t* source, int32_t count, int32_t charset);
std::string UnicodeToByte(std::u16string_view source, int32_t charset);

// The zero-terminated wide string s (null: empty) as a byte string of the charset.
std::string GetStringFromWide(const char16_t* s, int32_t charset);

// The first `count` units of text, converted with charset 0, read as an integer the way
// rtl::StrToInt reads it (decimal, or hexadecimal after '$' or "0x"). Raises
// rtl::EConvertError when the text is not a number or lies outside the 32-bit range.
int32_t StrToIntW(const char16_t* text, int32_t count);

// Copies format, replacing "%s" by the next argument in order (the first "%s" by
// args[0], the second by args[1], ...) and "%" followed by a decimal digit n by args[n];
// "%" followed by any other unit is dropped and that unit copied, a "%" at the very end
// dropped. An argument beyond `last` (or a null one) inserts nothing. The result is a
// buffer of StrAllocW the caller disposes, null for an empty format or an empty result.
char16_t* FormatW(const char16_t* format, const char16_t* const* args, int32_t last);
std::u16string FormatW(std::u16string_view format, std::span<const std::u16string_view> args);

// CRC-16 with the reflected polynomial 0x8005 (table from 0xA001), no final XOR, over
// `count` bytes from `start`. With start 0xFFFF this is CRC-16/MODBUS; a count of 0
// returns start.
uint16_t GetCRC(const void* buffer, uint16_t start, int32_t count);

// The hexadecimal digits of s (0-9, A-F, a-f) read as one number; every other character
// is skipped and an empty string gives 0. The value wraps at 32 bits and is returned as a
// signed 32-bit number, so only the last eight digits count and "FFFFFFFF" is -1.
int32_t HexToInt(std::string_view s);

}  // namespace quintrel::text
