// The system's own tables of the eight single-byte code pages; internal to the code-page
// conversion (codepages.cpp), data in codepagetables.cpp.
#pragma once

#include <array>
#include <cstdint>

namespace quintrel::text::detail {

// The UTF-16 unit of each byte 0x80..0xFF (entry b - 0x80).
using TCodePageTable = std::array<char16_t, 128>;

extern const TCodePageTable CodePage1250;
extern const TCodePageTable CodePage1251;
extern const TCodePageTable CodePage1252;
extern const TCodePageTable CodePage1253;
extern const TCodePageTable CodePage1254;
extern const TCodePageTable CodePage1255;
extern const TCodePageTable CodePage1256;
extern const TCodePageTable CodePage1257;

}  // namespace quintrel::text::detail
