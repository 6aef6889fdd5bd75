// The languages, language codes and countries of a module, and how they are packed into
// the module properties "ZodLanguage", "ZodLangCode" and "ZodCountry".
//
// A packed value is a sequence of entries, each a fixed header followed by its variable
// items in field order; the header holds each variable item's byte count where the record
// in memory holds the item. A wide text is stored as UTF-16 little-endian units with its
// terminating 0 unit (2 x (length + 1) bytes); a text that is not there (nullopt) is
// stored as count 0 with no bytes, so "absent" and "empty" stay apart.
//
// Language entry: 300-byte header, then 42 texts (name, native name, long and short day
// names Monday to Sunday, long and short month names January to December, short and long
// date format). Language-code entry: 8-byte header, then its text. Country entry: 20-byte
// header, then its name, then its attached data. docs/formats/module.md lays out every
// byte.
//
// Reading never trusts the counts: an entry whose header or items would run past the end
// of the value ends the walk there. The entries before it are used; TPackedList says
// where and why it stopped, and the writers refuse to rebuild a damaged value
// (EZodDamaged) rather than drop what they cannot read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/sysutils.h"

namespace quintrel::module {

// A language identifier: two 8-bit characters, the first in the low byte.
using TLanguageId = uint16_t;
constexpr TLanguageId kNoLanguage = 0x3F3F;       // "??"
constexpr TLanguageId kCommentLanguage = 0xA7A7;  // the pseudo-language of comments
constexpr TLanguageId kDesignPlaceholder = 0x2323;  // "##"
constexpr uint16_t kRemoveMarker = 0xFFFF;
// The lists hand out at most this many identifiers.
constexpr size_t kMaxListEntries = 16384;

// Apply flags of a language: which regional settings the translator installs.
constexpr uint16_t kApplyDayNames = 1;
constexpr uint16_t kApplyMonthNames = 2;
constexpr uint16_t kApplyTime = 4;
constexpr uint16_t kApplyDate = 8;
constexpr uint16_t kApplyCurrency = 16;
constexpr uint16_t kApplyWin32 = 32;
constexpr uint16_t kApplyAll = 63;

// The identifier of two characters ("de" -> 0x6564).
constexpr TLanguageId MakeLanguageId(char first, char second) {
  return static_cast<TLanguageId>(static_cast<uint8_t>(first) | (static_cast<uint8_t>(second) << 8));
}
// The two characters of an identifier.
std::string LanguageIdToText(TLanguageId id);

// A variable wide text of a packed entry; nullopt is stored as count 0.
using TZodText = std::optional<std::u16string>;

// A language record. The fields marked "kept" are not interpreted: they are stored and
// read back unchanged (zero in new records).
struct TZodLanguage {
  static constexpr size_t kHeaderSize = 300;
  static constexpr size_t kTextCount = 42;
  // Capacities of the fixed wide texts in units, terminator included; longer texts are
  // cut so that the terminator always fits.
  static constexpr size_t kAmPmUnits = 9;
  static constexpr size_t kTimeSeparatorUnits = 4;
  static constexpr size_t kSeparatorUnits = 4;
  static constexpr size_t kCurrencyUnits = 6;
  static constexpr size_t kInputMethodLength = 15;

  TLanguageId Identifier = kNoLanguage;  // 0
  uint16_t Reserved2 = 0;                // 2, kept
  TZodText Name;                         // 4
  TZodText NativeName;                   // 8
  uint8_t Charset = 0;                   // 12
  uint8_t Reserved13 = 0;                // 13, kept
  // Two-letter code of the primary language; kRemoveMarker asks SetLanguage to remove
  // the language instead.
  uint16_t PrimaryLanguage = 0;          // 14
  uint16_t Country = 0;                  // 16
  uint16_t Reserved18 = 0;               // 18, kept
  uint32_t Win32Locale = 0;              // 20
  uint8_t SortMethod = 0;                // 24
  std::array<uint8_t, 3> Reserved25{};   // 25, kept
  std::array<TZodText, 7> LongDayNames;     // 28, Monday to Sunday
  std::array<TZodText, 7> ShortDayNames;    // 56
  std::array<TZodText, 12> LongMonthNames;  // 84, January to December
  std::array<TZodText, 12> ShortMonthNames; // 132
  bool TwentyFourHour = false;           // 180
  bool MarkerBeforeTime = false;         // 181: the AM/PM marker precedes the time
  bool LeadingZeroInHours = false;       // 182
  uint8_t Reserved183 = 0;               // 183, kept
  std::u16string AMString;               // 184, fixed 9 units
  std::u16string PMString;               // 202, fixed 9 units
  std::u16string TimeSeparator;          // 220, fixed 4 units
  TZodText ShortDateFormat;              // 228
  TZodText LongDateFormat;               // 232
  std::u16string DateSeparator;          // 236, fixed 4 units
  std::u16string CurrencyString;         // 244, fixed 6 units
  uint8_t CurrencyFormat = 0;            // 256
  uint8_t NegCurrFormat = 0;             // 257
  uint8_t CurrencyDecimals = 0;          // 258
  uint8_t Reserved259 = 0;               // 259, kept
  std::u16string ThousandSeparator;      // 260, fixed 4 units
  std::u16string DecimalSeparator;       // 268, fixed 4 units
  std::string InputMethod;               // 276, short string of up to 15 bytes
  uint16_t KeyboardLayout = 0;           // 292
  uint16_t ApplyFlags = 0;               // 294
  std::array<uint8_t, 4> Reserved296{};  // 296, kept

  // The 42 variable texts in their stored order.
  std::array<TZodText*, kTextCount> Texts();
  std::array<const TZodText*, kTextCount> Texts() const;
};

// A language-code record.
struct TZodLangCode {
  static constexpr size_t kHeaderSize = 8;
  uint16_t Code = 0;          // 0
  uint16_t RemoveMarker = 0;  // 2: kRemoveMarker asks SetLangCode to remove the entry
  TZodText Text;              // 4
};

// A country record; its attached data is up to its callers.
struct TZodCountry {
  static constexpr size_t kHeaderSize = 20;
  uint16_t CountryCode = 0;             // 0
  uint16_t RemoveMarker = 0;            // 2: kRemoveMarker asks SetCountry to remove the entry
  std::vector<uint8_t> Data;            // 4 (0 as stored) and 8 (its size)
  TZodText Name;                        // 12
  std::array<uint8_t, 4> Reserved16{};  // 16, kept
};

// A packed value that cannot be rebuilt because part of it cannot be read.
class EZodDamaged : public rtl::Exception {
public:
  using rtl::Exception::Exception;
};

// Where the entries of a packed value lie.
struct TPackedEntry {
  size_t Offset = 0;
  size_t Size = 0;
  uint16_t Id = 0;
};
struct TPackedList {
  std::vector<TPackedEntry> Entries;
  bool Damaged = false;
  size_t DamageOffset = 0;  // of the first entry that could not be read
  std::string DamageReason;
};

// The entries of each kind of packed value, up to the first damaged one.
TPackedList WalkLanguages(std::span<const uint8_t> value);
TPackedList WalkLangCodes(std::span<const uint8_t> value);
TPackedList WalkCountries(std::span<const uint8_t> value);

// One entry as stored, and back. The Unpack functions take exactly one entry's bytes as
// a walk found them.
std::vector<uint8_t> PackLanguage(const TZodLanguage& language);
TZodLanguage UnpackLanguage(std::span<const uint8_t> entry);
std::vector<uint8_t> PackLangCode(const TZodLangCode& code);
TZodLangCode UnpackLangCode(std::span<const uint8_t> entry);
std::vector<uint8_t> PackCountry(const TZodCountry& country);
TZodCountry UnpackCountry(std::span<const uint8_t> entry);

// The few operations of a platform string list that a language list is filled through:
// one entry per language, its name as bytes and its identifier as the entry's object.
class TLangStrings {
public:
  virtual ~TLangStrings() = default;
  virtual void BeginUpdate() = 0;
  virtual void EndUpdate() = 0;
  virtual void Clear() = 0;
  virtual void AddObject(const std::string& text, uintptr_t object) = 0;
};

// A TLangStrings that simply keeps the entries.
class TLangStringList : public TLangStrings {
public:
  void BeginUpdate() override { ++updateCount_; }
  void EndUpdate() override { --updateCount_; }
  void Clear() override { items_.clear(); }
  void AddObject(const std::string& text, uintptr_t object) override { items_.emplace_back(text, object); }

  const std::vector<std::pair<std::string, uintptr_t>>& Items() const { return items_; }
  int UpdateCount() const { return updateCount_; }

private:
  std::vector<std::pair<std::string, uintptr_t>> items_;
  int updateCount_ = 0;
};

}  // namespace quintrel::module
