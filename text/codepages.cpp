#include "text/codepages.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/win32/codepage.h"
#include "platform/win32/gdi.h"
#include "platform/win32/msgbox.h"
#include "strings/textconsts.h"
#include "text/codepagetables.h"
#include "text/unicode.h"

namespace quintrel::text {

namespace {

using detail::TCodePageTable;

constexpr char16_t ReplacementUnit = 0xFFFD;
constexpr char NoByte = 0x7F;
constexpr int ReverseSlotCount = 21;

// The charsets this unit converts; their code pages come from the platform's one table
// of charsets and code pages (win32::CharsetToCodePage).
struct TCharsetInfo {
  int32_t charset;
  // The own table, or null for a code page of the platform converter.
  const TCodePageTable* table;
  // Slot of the reverse map among the ReverseSlotCount slots; -1 without a table.
  int slot;
};

constexpr TCharsetInfo Charsets[] = {
    {win32::ANSI_CHARSET, &detail::CodePage1252, 0},
    {win32::GREEK_CHARSET, &detail::CodePage1253, 5},
    {win32::TURKISH_CHARSET, &detail::CodePage1254, 6},
    {win32::HEBREW_CHARSET, &detail::CodePage1255, 7},
    {win32::ARABIC_CHARSET, &detail::CodePage1256, 8},
    {win32::BALTIC_CHARSET, &detail::CodePage1257, 9},
    {win32::RUSSIAN_CHARSET, &detail::CodePage1251, 10},
    {win32::EASTEUROPE_CHARSET, &detail::CodePage1250, 12},
    {win32::SHIFTJIS_CHARSET, nullptr, -1},
    {win32::HANGEUL_CHARSET, nullptr, -1},
    {win32::GB2312_CHARSET, nullptr, -1},
    {win32::CHINESEBIG5_CHARSET, nullptr, -1},
    {win32::THAI_CHARSET, nullptr, -1},
};

// The entry of a charset as given, without resolving charset 1.
const TCharsetInfo* FindExactCharset(int32_t charset) {
  for (const TCharsetInfo& info : Charsets) {
    if (info.charset == charset) return &info;
  }
  return nullptr;
}

const TCharsetInfo* FindCharset(int32_t charset) { return FindExactCharset(ResolveCharset(charset)); }

uint32_t CodePageOf(const TCharsetInfo& info) { return win32::CharsetToCodePage(static_cast<win32::BYTE>(info.charset)); }

// The reverse maps, one per own table, each built once on first use: the byte of every
// unit, 0 for a unit the table lacks (no byte from 0x80 on is 0), looked up by the unit
// itself, as a converted text of a language with such a table has most of its units above
// 0x7F. Building runs under call_once, so conversions from several threads are safe; after
// that the maps are only read.
struct TReverseSlot {
  std::once_flag built;
  std::unique_ptr<std::array<uint8_t, 0x10000>> map;
};

std::array<TReverseSlot, ReverseSlotCount> reverseSlots;

const std::array<uint8_t, 0x10000>& ReverseMap(const TCharsetInfo& info) {
  TReverseSlot& slot = reverseSlots[info.slot];
  std::call_once(slot.built, [&] {
    auto map = std::make_unique<std::array<uint8_t, 0x10000>>();
    map->fill(0);
    // In byte order, so that of several bytes with one unit (U+FFFD) the first is kept.
    for (int i = 0; i < 128; ++i) {
      uint8_t& byte = (*map)[(*info.table)[i]];
      if (byte == 0) byte = static_cast<uint8_t>(0x80 + i);
    }
    slot.map = std::move(map);
  });
  return *slot.map;
}

char UnitToByte(const TCharsetInfo* info, char16_t unit) {
  if (unit < 0x80) return static_cast<char>(unit);
  if (!info) return NoByte;
  const uint8_t byte = ReverseMap(*info)[unit];
  return byte ? static_cast<char>(byte) : NoByte;
}

void ShowNotInstalled(uint32_t codePage) {
  win32::MessageBoxA(win32::HWND{}, rtl::Format(strings::_SCodePageNotInstalled, rtl::IntToStr(codePage)), "",
                     win32::MB_OK | win32::MB_ICONWARNING);
}

// Decoding through the platform converter: bytes below 0x80 are copied up to the first
// byte from 0x80 on, and the converter takes the rest. Without the code page every byte
// from 0x80 on stands as U+FFFD.
std::u16string DecodePlatform(std::string_view source, uint32_t codePage, bool converting) {
  std::u16string result;
  size_t ascii = 0;
  while (ascii < source.size() && static_cast<uint8_t>(source[ascii]) < 0x80) ++ascii;
  result.assign(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(ascii));
  if (ascii == source.size()) return result;

  const std::string_view rest = source.substr(ascii);
  if (win32::IsValidCodePage(codePage)) {
    const int restCount = static_cast<int>(rest.size());
    const int units = win32::MultiByteToWideChar(codePage, win32::MB_PRECOMPOSED, rest.data(), restCount, nullptr, 0);
    if (units > 0) {
      result.resize(ascii + static_cast<size_t>(units));
      win32::MultiByteToWideChar(codePage, win32::MB_PRECOMPOSED, rest.data(), restCount, result.data() + ascii,
                                 units);
    }
    return result;
  }
  if (converting) ShowNotInstalled(codePage);
  for (char byte : rest) result.push_back(static_cast<uint8_t>(byte) < 0x80 ? static_cast<char16_t>(byte) : ReplacementUnit);
  return result;
}

std::string EncodePlatform(std::u16string_view source, uint32_t codePage) {
  if (!win32::IsValidCodePage(codePage)) throw ECodePageNotInstalled(codePage);
  const int count = static_cast<int>(source.size());
  const int bytes =
      win32::WideCharToMultiByte(codePage, win32::WC_SEPCHARS, source.data(), count, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(std::max(bytes, 0)), '\0');
  if (bytes > 0) {
    win32::WideCharToMultiByte(codePage, win32::WC_SEPCHARS, source.data(), count, result.data(), bytes, nullptr,
                               nullptr);
  }
  return result;
}

// View of count elements of a buffer that may be null or given a count below 1.
template <typename C>
std::basic_string_view<C> Counted(const C* source, int32_t count) {
  if (!source || count <= 0) return {};
  return std::basic_string_view<C>(source, static_cast<size_t>(count));
}

constexpr std::array<uint16_t, 256> MakeCrcTable() {
  std::array<uint16_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t crc = i;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    table[i] = static_cast<uint16_t>(crc);
  }
  return table;
}

constexpr std::array<uint16_t, 256> CrcTable = MakeCrcTable();

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

ECodePageNotInstalled::ECodePageNotInstalled(uint32_t codePage)
    : rtl::Exception(rtl::Format(strings::_SCodePageNotInstalled, rtl::IntToStr(codePage))), codePage_(codePage) {}

int32_t ResolveCharset(int32_t charset) {
  if (charset != win32::DEFAULT_CHARSET) return charset;
  const int32_t acpCharset = win32::CodePageToCharset(win32::GetACP());
  if (FindExactCharset(acpCharset)) return acpCharset;
  // An ANSI code page of no charset converted here: read default-charset text as ANSI rather than
  // dropping it, which is what a charset outside the conversion would do.
  return win32::ANSI_CHARSET;
}

uint32_t CharsetToCodePage(int32_t charset) {
  const TCharsetInfo* info = FindCharset(charset);
  return info ? CodePageOf(*info) : 0;
}

bool IsOwnTableCharset(int32_t charset) {
  const TCharsetInfo* info = FindCharset(charset);
  return info && info->table;
}

int32_t ByteToUnicode(char16_t* dest, const char* source, int32_t count, int32_t charset) {
  const std::string_view bytes = Counted(source, count);
  const TCharsetInfo* info = FindCharset(charset);
  if (bytes.empty() || !info) return 0;
  if (info->table) {
    if (dest) {
      for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        dest[i] = b < 0x80 ? b : (*info->table)[b - 0x80];
      }
    }
    return count;
  }
  const std::u16string units = DecodePlatform(bytes, CodePageOf(*info), dest != nullptr);
  if (dest) std::copy(units.begin(), units.end(), dest);
  return static_cast<int32_t>(units.size());
}

std::u16string ByteToUnicode(std::string_view source, int32_t charset) {
  if (source.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    source = source.substr(0, std::numeric_limits<int32_t>::max());
  }
  const TCharsetInfo* info = FindCharset(charset);
  if (source.empty() || !info) return {};
  if (!info->table) return DecodePlatform(source, CodePageOf(*info), true);
  std::u16string result(source.size(), u'\0');
  ByteToUnicode(result.data(), source.data(), static_cast<int32_t>(source.size()), charset);
  return result;
}

int32_t UnicodeToByte(char* dest, const char16_t* source, int32_t count, int32_t charset) {
  const std::u16string_view units = Counted(source, count);
  if (units.empty()) return 0;
  const TCharsetInfo* info = FindCharset(charset);
  if (info && !info->table) {
    const std::string bytes = EncodePlatform(units, CodePageOf(*info));
    if (dest) std::copy(bytes.begin(), bytes.end(), dest);
    return static_cast<int32_t>(bytes.size());
  }
  // An own table, or a charset outside the conversion, which keeps only ASCII.
  if (dest) {
    for (size_t i = 0; i < units.size(); ++i) dest[i] = UnitToByte(info, units[i]);
  }
  return count;
}

std::string UnicodeToByte(std::u16string_view source, int32_t charset) {
  if (source.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    source = source.substr(0, std::numeric_limits<int32_t>::max());
  }
  const TCharsetInfo* info = FindCharset(charset);
  if (info && !info->table) return source.empty() ? std::string() : EncodePlatform(source, CodePageOf(*info));
  std::string result(source.size(), '\0');
  UnicodeToByte(result.data(), source.data(), static_cast<int32_t>(source.size()), charset);
  return result;
}

std::string GetStringFromWide(const char16_t* s, int32_t charset) {
  return UnicodeToByte(s ? std::u16string_view(s) : std::u16string_view(), charset);
}

int32_t StrToIntW(const char16_t* text, int32_t count) {
  std::string bytes = UnicodeToByte(Counted(text, count), win32::ANSI_CHARSET);
  // The text ends at its first zero unit, as a terminated string would.
  bytes.resize(std::min(bytes.size(), bytes.find('\0')));
  int64_t value = 0;
  if (!rtl::TryStrToInt(bytes, value) || value < std::numeric_limits<int32_t>::min() ||
      value > std::numeric_limits<int32_t>::max()) {
    throw rtl::EConvertError(rtl::Format(strings::_SInvalidInteger, bytes));
  }
  return static_cast<int32_t>(value);
}

std::u16string FormatW(std::u16string_view format, std::span<const std::u16string_view> args) {
  std::u16string result;
  size_t next = 0;
  auto append = [&](size_t index) {
    if (index < args.size()) result += args[index];
  };
  for (size_t i = 0; i < format.size(); ++i) {
    const char16_t unit = format[i];
    if (unit != u'%') {
      result += unit;
      continue;
    }
    if (++i == format.size()) break;
    const char16_t code = format[i];
    if (code == u's') {
      append(next++);
    } else if (code >= u'0' && code <= u'9') {
      append(static_cast<size_t>(code - u'0'));
    } else {
      result += code;
    }
  }
  return result;
}

char16_t* FormatW(const char16_t* format, const char16_t* const* args, int32_t last) {
  if (IsEmptyW(format)) return nullptr;
  std::vector<std::u16string_view> views;
  if (args) {
    for (int32_t i = 0; i <= last; ++i) views.emplace_back(args[i] ? std::u16string_view(args[i]) : std::u16string_view());
  }
  // Sized to the result itself: a format that repeats an argument ("%0%0") needs more room
  // than the format and each argument once.
  return StrNewW(FormatW(std::u16string_view(format), views));
}

uint16_t GetCRC(const void* buffer, uint16_t start, int32_t count) {
  uint16_t crc = start;
  if (!buffer) return crc;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  for (int32_t i = 0; i < count; ++i) crc = CrcTable[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}

int32_t HexToInt(std::string_view s) {
  uint32_t value = 0;
  for (char c : s) {
    const int digit = HexDigit(c);
    if (digit >= 0) value = value * 16 + static_cast<uint32_t>(digit);
  }
  return static_cast<int32_t>(value);
}

}  // namespace quintrel::text
