// Wide strings: null-terminated sequences of 16-bit UTF-16 code units, one unit per
// character, with no surrogate handling in any routine here. A null pointer is a valid
// empty string everywhere. Indexes are 0-based unless a routine says otherwise.
//
// Buffers come from StrAllocW and go back through StrDisposeW. Each allocated buffer is
// remembered in a process-wide registry (a THashList created at first use) under the bytes
// of its address, with its size in bytes as the value, so that StrSizeW can tell the
// capacity of any buffer. All sizeof(void*) address bytes form the key: two live buffers
// can share the low four bytes of their addresses on a 64-bit system, never all eight.
// The registry is guarded by a lock, so buffers may be allocated and disposed on any
// thread. At the end of the process every buffer still registered is released.
//
// The std::u16string conveniences at the end are for code that owns its strings; the
// UTF-8 conversions serve output (the command line prints wide strings as UTF-8 and JSON).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/utf8.h"

namespace quintrel::text {

// A buffer of capacity n: n + 1 units, unit n set to 0, the others not initialised.
// n <= 0 gives null.
char16_t* StrAllocW(int32_t n);
// Releases a buffer from StrAllocW and sets s to null. A null s does nothing. A buffer
// the registry does not know (one the caller owns in some other way) is not released,
// since this unit did not allocate it; s is still set to null.
void StrDisposeW(char16_t*& s);
// The capacity a buffer was allocated with; 0 for null or a buffer not from StrAllocW.
int32_t StrSizeW(const char16_t* s);
// Sets dest to empty, then copies at most n units of source, stopping after copying a 0
// unit. When n units are copied without reaching the terminator, dest is not terminated
// beyond them. A null dest does nothing; a null source leaves dest empty.
void StrCopyW(char16_t* dest, const char16_t* source, int32_t n);
// Units before the first 0; 0 for null. Counts at most 2^31 - 1 units.
int32_t LenW(const char16_t* s);
// 0-based index of the first occurrence of substr in s; -1 when either is null, substr is
// empty or it does not occur.
int32_t PosW(const char16_t* substr, const char16_t* s);
// True for null or a first unit of 0.
bool IsEmptyW(const char16_t* s);
// Removes up to count units starting at the 1-based index. The result is a fresh buffer
// from StrAllocW (null when nothing is left) and the old one is disposed. A null s, count
// <= 0, or an index outside 1 .. LenW(s) + 1 does nothing.
void DeleteW(char16_t*& s, int32_t index, int32_t count);
// Inserts the first count units of substr before the 1-based index, into a fresh buffer of
// LenW(s) + count units; the old one is disposed. A null substr or count <= 0 does
// nothing; count is cut to LenW(substr), an index below 1 inserts at the front and one
// past LenW(s) + 1 appends.
void InsertW(char16_t*& s, const char16_t* substr, int32_t index, int32_t count);
// Orders two wide strings of lenA and lenB units, as the B-tree keys of wide text fields:
//  - -65535 when min(lenA, lenB) <= 0 or either pointer is null, so an empty string never
//    compares equal, not even to another empty string;
//  - else a[i] - b[i] (as unsigned 16-bit numbers) at the first of the min(lenA, lenB)
//    positions where the units differ;
//  - else lenA - lenB.
// No unit past a 0 both strings have at the same position is read.
int32_t CompareW(const char16_t* a, const char16_t* b, int32_t lenA, int32_t lenB);
int32_t Min(int32_t a, int32_t b);
// A pointer advanced by a number of bytes, or by n units; null stays null.
void* IncPtr(void* p, std::ptrdiff_t bytes);
const void* IncPtr(const void* p, std::ptrdiff_t bytes);
char16_t* IncPtrW(char16_t* p, std::ptrdiff_t n);
const char16_t* IncPtrW(const char16_t* p, std::ptrdiff_t n);
// True for a unit that draws something: not a control character, not white space, not a
// surrogate half, not a format or non-character unit.
bool IsVisibleW(char16_t c);
// True for a unit that separates words: white space, control characters and the
// punctuation of ASCII and of CJK text.
bool IsDelimiterW(char16_t c);

// Number of buffers the registry holds.
int32_t RegisteredCountW();

// Owns a buffer from StrAllocW and disposes it.
struct TWideBufferDeleter {
  void operator()(char16_t* s) const noexcept { StrDisposeW(s); }
};
using TWideBuffer = std::unique_ptr<char16_t, TWideBufferDeleter>;

// A registered copy of s (null for an empty s).
char16_t* StrNewW(std::u16string_view s);
// The units of s up to its terminator; empty for null.
std::u16string ToU16(const char16_t* s);

// UTF-8 is converted by the runtime's one codec (platform/rtl/utf8.h): an unpaired
// surrogate becomes U+FFFD on the way out, and each maximal ill-formed subsequence one
// U+FFFD on the way in. The names are offered here too, since text code calls them
// with the wide strings of this unit.
using rtl::AppendUtf8;
using rtl::Utf8ToWide;
using rtl::WideToUtf8;
// The zero-terminated wide string s (null: empty) as UTF-8.
std::string WideToUtf8(const char16_t* s);

// The units as UTF-16 little-endian bytes, the way modules store wide texts.
std::vector<uint8_t> Utf16LeBytes(std::u16string_view s);

}  // namespace quintrel::text
