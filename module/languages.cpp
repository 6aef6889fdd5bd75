#include "module/languages.h"

#include <algorithm>

#include "module/zod.h"
#include "platform/rtl/sysutils.h"
#include "storage/coding.h"
#include "strings/qconsts.h"
#include "text/codepages.h"

namespace quintrel::module {

namespace qs = quintrel::strings;

std::string LanguageIdToText(TLanguageId id) {
  return std::string{static_cast<char>(id & 0xFF), static_cast<char>(id >> 8)};
}

std::array<TZodText*, TZodLanguage::kTextCount> TZodLanguage::Texts() {
  std::array<TZodText*, kTextCount> texts{};
  size_t n = 0;
  texts[n++] = &Name;
  texts[n++] = &NativeName;
  for (auto& t : LongDayNames) texts[n++] = &t;
  for (auto& t : ShortDayNames) texts[n++] = &t;
  for (auto& t : LongMonthNames) texts[n++] = &t;
  for (auto& t : ShortMonthNames) texts[n++] = &t;
  texts[n++] = &ShortDateFormat;
  texts[n++] = &LongDateFormat;
  return texts;
}

std::array<const TZodText*, TZodLanguage::kTextCount> TZodLanguage::Texts() const {
  auto texts = const_cast<TZodLanguage*>(this)->Texts();
  std::array<const TZodText*, kTextCount> result{};
  std::copy(texts.begin(), texts.end(), result.begin());
  return result;
}

namespace {

// Header offsets of a language entry.
constexpr size_t kLangName = 4, kLangNative = 8, kLangCharset = 12, kLangReserved13 = 13, kLangPrimary = 14,
                 kLangCountry = 16, kLangReserved18 = 18, kLangLocale = 20, kLangSort = 24, kLangReserved25 = 25,
                 kLangDays = 28, kLangTwentyFour = 180, kLangMarker = 181, kLangLeadingZero = 182,
                 kLangReserved183 = 183, kLangAM = 184, kLangPM = 202, kLangTimeSep = 220, kLangShortDate = 228,
                 kLangLongDate = 232, kLangDateSep = 236, kLangCurrency = 244, kLangCurrFormat = 256,
                 kLangNegCurrFormat = 257, kLangCurrDecimals = 258, kLangReserved259 = 259, kLangThousandSep = 260,
                 kLangDecimalSep = 268, kLangInputMethod = 276, kLangKeyboard = 292, kLangApply = 294,
                 kLangReserved296 = 296;

// Where the byte count of each of the 42 texts stands, in stored order.
constexpr std::array<size_t, TZodLanguage::kTextCount> kLangCountOffsets = [] {
  std::array<size_t, TZodLanguage::kTextCount> offsets{};
  offsets[0] = kLangName;
  offsets[1] = kLangNative;
  for (size_t i = 0; i < 38; ++i) offsets[2 + i] = kLangDays + 4 * i;
  offsets[40] = kLangShortDate;
  offsets[41] = kLangLongDate;
  return offsets;
}();
static_assert(kLangDays + 4 * 38 == kLangTwentyFour, "day and month names fill 28..179");

// Header offsets of language-code and country entries.
constexpr size_t kCodeText = 4;
constexpr size_t kCountryData = 4, kCountryDataSize = 8, kCountryName = 12, kCountryReserved16 = 16;

// The stored bytes of a variable text: its units and a terminating 0 unit; none for an
// absent text. Units after an embedded 0 are not part of the text.
std::vector<uint8_t> TextBytes(const TZodText& text) {
  std::vector<uint8_t> bytes;
  if (!text) return bytes;
  for (char16_t unit : *text) {
    if (unit == 0) break;
    bytes.push_back(static_cast<uint8_t>(unit));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

// The units of a stored text up to its terminator (or its last whole unit). Count 0 is an
// absent text.
TZodText ReadText(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return std::nullopt;
  std::u16string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char16_t unit = static_cast<char16_t>(storage::Get16(bytes.data() + i));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

// A fixed wide text of `units` units, cut so that its terminator fits.
void PutFixedText(uint8_t* p, const std::u16string& text, size_t units) {
  size_t n = std::min(text.size(), units - 1);
  for (size_t i = 0; i < n && text[i] != 0; ++i) storage::Put16(p + 2 * i, text[i]);
}

std::u16string GetFixedText(const uint8_t* p, size_t units) {
  std::u16string text;
  for (size_t i = 0; i < units; ++i) {
    char16_t unit = static_cast<char16_t>(storage::Get16(p + 2 * i));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

// Walks entries of `headerSize` bytes each followed by variableSize(header) bytes.
template <typename TVariableSize>
TPackedList Walk(std::span<const uint8_t> value, size_t headerSize, size_t idOffset, TVariableSize variableSize) {
  TPackedList list;
  size_t offset = 0;
  while (offset < value.size()) {
    auto fail = [&](const char* reason) {
      list.Damaged = true;
      list.DamageOffset = offset;
      list.DamageReason = reason;
    };
    if (list.Entries.size() >= kMaxListEntries) {
      fail(qs::_SPackedTooMany);
      break;
    }
    if (value.size() - offset < headerSize) {
      fail(qs::_SPackedHeaderCut);
      break;
    }
    // Counts are summed in 64 bits: four billion-byte counts cannot wrap the sum.
    uint64_t size = static_cast<uint64_t>(headerSize) + variableSize(value.data() + offset);
    if (size > value.size() - offset) {
      fail(qs::_SPackedTextsCut);
      break;
    }
    list.Entries.push_back({offset, static_cast<size_t>(size), storage::Get16(value.data() + offset + idOffset)});
    offset += static_cast<size_t>(size);
  }
  return list;
}

void AppendBytes(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) {
  to.insert(to.end(), bytes.begin(), bytes.end());
}

}  // namespace

TPackedList WalkLanguages(std::span<const uint8_t> value) {
  return Walk(value, TZodLanguage::kHeaderSize, 0, [](const uint8_t* header) {
    uint64_t sum = 0;
    for (size_t offset : kLangCountOffsets) sum += storage::Get32(header + offset);
    return sum;
  });
}

TPackedList WalkLangCodes(std::span<const uint8_t> value) {
  return Walk(value, TZodLangCode::kHeaderSize, 0,
              [](const uint8_t* header) { return static_cast<uint64_t>(storage::Get32(header + kCodeText)); });
}

TPackedList WalkCountries(std::span<const uint8_t> value) {
  return Walk(value, TZodCountry::kHeaderSize, 0, [](const uint8_t* header) {
    return static_cast<uint64_t>(storage::Get32(header + kCountryName)) + storage::Get32(header + kCountryDataSize);
  });
}

std::vector<uint8_t> PackLanguage(const TZodLanguage& l) {
  std::vector<uint8_t> entry(TZodLanguage::kHeaderSize, 0);
  uint8_t* h = entry.data();
  storage::Put16(h, l.Identifier);
  storage::Put16(h + 2, l.Reserved2);
  h[kLangCharset] = l.Charset;
  h[kLangReserved13] = l.Reserved13;
  storage::Put16(h + kLangPrimary, l.PrimaryLanguage);
  storage::Put16(h + kLangCountry, l.Country);
  storage::Put16(h + kLangReserved18, l.Reserved18);
  storage::Put32(h + kLangLocale, l.Win32Locale);
  h[kLangSort] = l.SortMethod;
  std::copy(l.Reserved25.begin(), l.Reserved25.end(), h + kLangReserved25);
  h[kLangTwentyFour] = l.TwentyFourHour ? 1 : 0;
  h[kLangMarker] = l.MarkerBeforeTime ? 1 : 0;
  h[kLangLeadingZero] = l.LeadingZeroInHours ? 1 : 0;
  h[kLangReserved183] = l.Reserved183;
  PutFixedText(h + kLangAM, l.AMString, TZodLanguage::kAmPmUnits);
  PutFixedText(h + kLangPM, l.PMString, TZodLanguage::kAmPmUnits);
  PutFixedText(h + kLangTimeSep, l.TimeSeparator, TZodLanguage::kTimeSeparatorUnits);
  PutFixedText(h + kLangDateSep, l.DateSeparator, TZodLanguage::kSeparatorUnits);
  PutFixedText(h + kLangCurrency, l.CurrencyString, TZodLanguage::kCurrencyUnits);
  h[kLangCurrFormat] = l.CurrencyFormat;
  h[kLangNegCurrFormat] = l.NegCurrFormat;
  h[kLangCurrDecimals] = l.CurrencyDecimals;
  h[kLangReserved259] = l.Reserved259;
  PutFixedText(h + kLangThousandSep, l.ThousandSeparator, TZodLanguage::kSeparatorUnits);
  PutFixedText(h + kLangDecimalSep, l.DecimalSeparator, TZodLanguage::kSeparatorUnits);
  size_t imeLength = std::min(l.InputMethod.size(), TZodLanguage::kInputMethodLength);
  h[kLangInputMethod] = static_cast<uint8_t>(imeLength);
  std::copy_n(l.InputMethod.begin(), imeLength, h + kLangInputMethod + 1);
  storage::Put16(h + kLangKeyboard, l.KeyboardLayout);
  storage::Put16(h + kLangApply, l.ApplyFlags);
  std::copy(l.Reserved296.begin(), l.Reserved296.end(), h + kLangReserved296);
  auto texts = l.Texts();
  for (size_t i = 0; i < texts.size(); ++i) {
    std::vector<uint8_t> bytes = TextBytes(*texts[i]);
    storage::Put32(entry.data() + kLangCountOffsets[i], static_cast<uint32_t>(bytes.size()));
    AppendBytes(entry, bytes);
  }
  return entry;
}

TZodLanguage UnpackLanguage(std::span<const uint8_t> entry) {
  TZodLanguage l;
  if (entry.size() < TZodLanguage::kHeaderSize) return l;
  const uint8_t* h = entry.data();
  l.Identifier = storage::Get16(h);
  l.Reserved2 = storage::Get16(h + 2);
  l.Charset = h[kLangCharset];
  l.Reserved13 = h[kLangReserved13];
  l.PrimaryLanguage = storage::Get16(h + kLangPrimary);
  l.Country = storage::Get16(h + kLangCountry);
  l.Reserved18 = storage::Get16(h + kLangReserved18);
  l.Win32Locale = storage::Get32(h + kLangLocale);
  l.SortMethod = h[kLangSort];
  std::copy_n(h + kLangReserved25, l.Reserved25.size(), l.Reserved25.begin());
  l.TwentyFourHour = h[kLangTwentyFour] != 0;
  l.MarkerBeforeTime = h[kLangMarker] != 0;
  l.LeadingZeroInHours = h[kLangLeadingZero] != 0;
  l.Reserved183 = h[kLangReserved183];
  l.AMString = GetFixedText(h + kLangAM, TZodLanguage::kAmPmUnits);
  l.PMString = GetFixedText(h + kLangPM, TZodLanguage::kAmPmUnits);
  l.TimeSeparator = GetFixedText(h + kLangTimeSep, TZodLanguage::kTimeSeparatorUnits);
  l.DateSeparator = GetFixedText(h + kLangDateSep, TZodLanguage::kSeparatorUnits);
  l.CurrencyString = GetFixedText(h + kLangCurrency, TZodLanguage::kCurrencyUnits);
  l.CurrencyFormat = h[kLangCurrFormat];
  l.NegCurrFormat = h[kLangNegCurrFormat];
  l.CurrencyDecimals = h[kLangCurrDecimals];
  l.Reserved259 = h[kLangReserved259];
  l.ThousandSeparator = GetFixedText(h + kLangThousandSep, TZodLanguage::kSeparatorUnits);
  l.DecimalSeparator = GetFixedText(h + kLangDecimalSep, TZodLanguage::kSeparatorUnits);
  size_t imeLength = std::min<size_t>(h[kLangInputMethod], TZodLanguage::kInputMethodLength);
  l.InputMethod.assign(reinterpret_cast<const char*>(h + kLangInputMethod + 1), imeLength);
  l.KeyboardLayout = storage::Get16(h + kLangKeyboard);
  l.ApplyFlags = storage::Get16(h + kLangApply);
  std::copy_n(h + kLangReserved296, l.Reserved296.size(), l.Reserved296.begin());
  // The texts follow in order; each stops at the end of the entry should the counts
  // promise more than the walk measured.
  size_t offset = TZodLanguage::kHeaderSize;
  auto texts = l.Texts();
  for (size_t i = 0; i < texts.size(); ++i) {
    size_t count = std::min<size_t>(storage::Get32(h + kLangCountOffsets[i]), entry.size() - offset);
    *texts[i] = ReadText(entry.subspan(offset, count));
    offset += count;
  }
  return l;
}

std::vector<uint8_t> PackLangCode(const TZodLangCode& code) {
  std::vector<uint8_t> entry(TZodLangCode::kHeaderSize, 0);
  storage::Put16(entry.data(), code.Code);
  storage::Put16(entry.data() + 2, code.RemoveMarker);
  // A code without a text is stored with an empty one.
  std::vector<uint8_t> bytes = TextBytes(code.Text ? code.Text : TZodText(u""));
  storage::Put32(entry.data() + kCodeText, static_cast<uint32_t>(bytes.size()));
  AppendBytes(entry, bytes);
  return entry;
}

TZodLangCode UnpackLangCode(std::span<const uint8_t> entry) {
  TZodLangCode code;
  if (entry.size() < TZodLangCode::kHeaderSize) return code;
  code.Code = storage::Get16(entry.data());
  code.RemoveMarker = storage::Get16(entry.data() + 2);
  size_t count = std::min<size_t>(storage::Get32(entry.data() + kCodeText), entry.size() - TZodLangCode::kHeaderSize);
  code.Text = ReadText(entry.subspan(TZodLangCode::kHeaderSize, count));
  return code;
}

std::vector<uint8_t> PackCountry(const TZodCountry& country) {
  std::vector<uint8_t> entry(TZodCountry::kHeaderSize, 0);
  uint8_t* h = entry.data();
  storage::Put16(h, country.CountryCode);
  storage::Put16(h + 2, country.RemoveMarker);
  storage::Put32(h + kCountryData, 0);
  storage::Put32(h + kCountryDataSize, static_cast<uint32_t>(country.Data.size()));
  std::vector<uint8_t> name = TextBytes(country.Name);
  storage::Put32(h + kCountryName, static_cast<uint32_t>(name.size()));
  std::copy(country.Reserved16.begin(), country.Reserved16.end(), h + kCountryReserved16);
  AppendBytes(entry, name);
  AppendBytes(entry, country.Data);
  return entry;
}

TZodCountry UnpackCountry(std::span<const uint8_t> entry) {
  TZodCountry country;
  if (entry.size() < TZodCountry::kHeaderSize) return country;
  const uint8_t* h = entry.data();
  country.CountryCode = storage::Get16(h);
  country.RemoveMarker = storage::Get16(h + 2);
  std::copy_n(h + kCountryReserved16, country.Reserved16.size(), country.Reserved16.begin());
  size_t rest = entry.size() - TZodCountry::kHeaderSize;
  size_t nameCount = std::min<size_t>(storage::Get32(h + kCountryName), rest);
  size_t dataSize = std::min<size_t>(storage::Get32(h + kCountryDataSize), rest - nameCount);
  country.Name = ReadText(entry.subspan(TZodCountry::kHeaderSize, nameCount));
  auto data = entry.subspan(TZodCountry::kHeaderSize + nameCount, dataSize);
  country.Data.assign(data.begin(), data.end());
  return country;
}

// ---------------------------------------------------------------------------------------
// TZod: languages, language codes and countries

namespace {

// The stored value of a packed property (empty when missing) and its walk.
struct TPackedValue {
  std::vector<uint8_t> Bytes;
  TPackedList List;

  std::span<const uint8_t> Entry(const TPackedEntry& e) const {
    return std::span<const uint8_t>(Bytes).subspan(e.Offset, e.Size);
  }
  const TPackedEntry* Find(uint16_t id) const {
    for (const TPackedEntry& e : List.Entries)
      if (e.Id == id) return &e;
    return nullptr;
  }
};

TPackedValue ReadPacked(TZod& zod, int module, std::string_view property,
                        TPackedList (*walk)(std::span<const uint8_t>)) {
  TPackedValue value;
  if (auto bytes = zod.GetProperty(module, property)) value.Bytes = std::move(*bytes);
  value.List = walk(value.Bytes);
  return value;
}

// The ids of a walk in stored order, each once, with `item` called for each new one.
template <typename TItem>
void ForEachDistinct(const TPackedValue& value, std::vector<uint16_t>& seen, TItem item) {
  for (const TPackedEntry& e : value.List.Entries) {
    if (seen.size() >= kMaxListEntries) return;
    if (std::find(seen.begin(), seen.end(), e.Id) != seen.end()) continue;
    seen.push_back(e.Id);
    item(e);
  }
}

// The distinct codes of one module, or of every open module in list order for a negative
// module, with the text of each code's first entry.
template <typename TTextOf>
int GatherCodes(TZod& zod, int module, std::string_view property, TPackedList (*walk)(std::span<const uint8_t>),
                std::vector<uint16_t>& codes, std::vector<TZodText>* texts, TTextOf textOf) {
  codes.clear();
  if (texts) texts->clear();
  int from = module < 0 ? 0 : module, to = module < 0 ? zod.GetModuleCount() - 1 : module;
  for (int m = from; m <= to; ++m) {
    TPackedValue value = ReadPacked(zod, m, property, walk);
    ForEachDistinct(value, codes, [&](const TPackedEntry& e) {
      if (texts) texts->push_back(textOf(value.Entry(e)));
    });
  }
  return static_cast<int>(codes.size());
}

}  // namespace

TPackedList TZod::GetPackedList(int module, std::string_view property) {
  auto walk = property == kPropLangCode ? WalkLangCodes : property == kPropCountry ? WalkCountries : WalkLanguages;
  return ReadPacked(*this, module, property, walk).List;
}

bool TZod::RebuildPacked(int module, std::string_view property, TPackedList (*walk)(std::span<const uint8_t>),
                         uint16_t id, const std::vector<uint8_t>& first) {
  if (!ValidIndex(module)) return false;
  // One write lock over reading and writing: a language another process adds meanwhile
  // is not lost.
  TModuleLock lock(GetModuleInterface(module), true);
  TPackedValue stored = ReadPacked(*this, module, property, walk);
  if (stored.List.Damaged) {
    throw EZodDamaged(rtl::Format(qs::_SPackedValueDamaged, GetModuleName(module), std::string(property),
                                  static_cast<int64_t>(stored.List.DamageOffset), stored.List.DamageReason));
  }
  std::vector<uint8_t> rebuilt = first;
  rebuilt.reserve(first.size() + stored.Bytes.size());
  for (const TPackedEntry& e : stored.List.Entries) {
    if (e.Id == id) continue;
    auto bytes = stored.Entry(e);
    rebuilt.insert(rebuilt.end(), bytes.begin(), bytes.end());
  }
  return SetProperty(property, rebuilt.data(), module, static_cast<int32_t>(rebuilt.size()));
}

bool TZod::GetLanguage(int module, TZodLanguage& language) {
  TPackedValue value = ReadPacked(*this, module, kPropLanguage, WalkLanguages);
  const TPackedEntry* e = value.Find(language.Identifier);
  if (!e) return false;
  language = UnpackLanguage(value.Entry(*e));
  return true;
}

bool TZod::SetLanguage(int module, const TZodLanguage& language) {
  std::vector<uint8_t> first;
  if (language.PrimaryLanguage != kRemoveMarker) first = PackLanguage(language);
  return RebuildPacked(module, kPropLanguage, WalkLanguages, language.Identifier, first);
}

int TZod::GetLanguageList(int module, std::vector<TLanguageId>& ids, std::vector<TZodText>* names) {
  // Languages are listed for one module only; GatherCodes would take a negative index as
  // every module.
  return GatherCodes(*this, module < 0 ? GetModuleCount() : module, kPropLanguage, WalkLanguages, ids, names,
                     [](std::span<const uint8_t> entry) { return UnpackLanguage(entry).Name; });
}

void TZod::GetLangList(int module, TLangStrings& strings) {
  std::vector<TLanguageId> ids;
  std::vector<TZodText> names;
  GetLanguageList(module, ids, &names);
  strings.Clear();
  strings.BeginUpdate();
  try {
    for (size_t i = 0; i < ids.size(); ++i)
      strings.AddObject(text::UnicodeToByte(names[i].value_or(u""), 0), ids[i]);
  } catch (...) {
    strings.EndUpdate();
    throw;
  }
  strings.EndUpdate();
}

void TZod::RefreshLangList(int module, TLangStrings& strings) { GlobalZOD().GetLangList(module, strings); }

TLanguageId TZod::GetFreeLanguageID(int module) {
  std::vector<TLanguageId> ids;
  GetLanguageList(module, ids);
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (int n = 0; n < 256; ++n) {
    TLanguageId id = MakeLanguageId(kDigits[n >> 4], kDigits[n & 15]);
    if (std::find(ids.begin(), ids.end(), id) == ids.end()) return id;
  }
  return kNoLanguage;
}

uint8_t TZod::GetCharsetOfLanguage(int module, TLanguageId language) {
  TZodLanguage record;
  record.Identifier = language;
  return GetLanguage(module, record) ? record.Charset : 0;
}

bool TZod::GetLangCode(int module, TZodLangCode& code) {
  TPackedValue value = ReadPacked(*this, module, kPropLangCode, WalkLangCodes);
  const TPackedEntry* e = value.Find(code.Code);
  if (!e) return false;
  code = UnpackLangCode(value.Entry(*e));
  return true;
}

bool TZod::SetLangCode(int module, const TZodLangCode& code) {
  std::vector<uint8_t> first;
  if (code.RemoveMarker != kRemoveMarker) first = PackLangCode(code);
  return RebuildPacked(module, kPropLangCode, WalkLangCodes, code.Code, first);
}

int TZod::GetLangCodeList(int module, std::vector<uint16_t>& codes, std::vector<TZodText>* texts) {
  return GatherCodes(*this, module, kPropLangCode, WalkLangCodes, codes, texts,
                     [](std::span<const uint8_t> entry) { return UnpackLangCode(entry).Text; });
}

bool TZod::GetCountry(int module, TZodCountry& country) {
  int from = module, to = module, skipped = -1;
  if (module < 0) {
    from = 0;
    to = GetModuleCount() - 1;
    skipped = -1 - module;
  }
  for (int m = from; m <= to; ++m) {
    if (m == skipped) continue;
    TPackedValue value = ReadPacked(*this, m, kPropCountry, WalkCountries);
    if (const TPackedEntry* e = value.Find(country.CountryCode)) {
      country = UnpackCountry(value.Entry(*e));
      return true;
    }
  }
  return false;
}

bool TZod::SetCountry(int module, const TZodCountry& country) {
  std::vector<uint8_t> first;
  if (country.RemoveMarker != kRemoveMarker) first = PackCountry(country);
  return RebuildPacked(module, kPropCountry, WalkCountries, country.CountryCode, first);
}

int TZod::GetCountryList(int module, std::vector<uint16_t>& codes, std::vector<TZodText>* names) {
  return GatherCodes(*this, module, kPropCountry, WalkCountries, codes, names,
                     [](std::span<const uint8_t> entry) { return UnpackCountry(entry).Name; });
}

}  // namespace quintrel::module
