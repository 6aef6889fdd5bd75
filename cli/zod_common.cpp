#include "cli/zod_common.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <variant>

#include "cli/badlanguage.h"
#include "cli/common.h"
#include "cli/jsonl.h"
#include "platform/rtl/classes.h"
#include "strings/qconsts.h"
#include "text/codepages.h"
#include "text/unicode.h"

namespace quintrel::cli {

namespace qs = quintrel::strings;
using module::TLanguageId;
using module::TZod;
using module::TZodLanguage;
using module::TZodText;
using nlohmann::json;

// ---------------------------------------------------------------------------------------
// Files and identifiers

TModuleFile::TModuleFile(const std::string& fileName, TAccess access) : fileName_(fileName) {
  RequireModuleFile(fileName);
  std::string problem = storage::TCustomVarDB::DiagnoseFile(fileName);
  if (!problem.empty()) throw ECommandFailed(problem);
  const bool readOnly = access == TAccess::ReadOnly;
  if (!readOnly) {
    // A file without any write permission was made read-only on purpose, even for a user
    // the system would let write it.
    struct stat st {};
    if (::access(fileName.c_str(), W_OK) != 0)
      throw ECommandFailed(rtl::Format(qs::_SCliModuleReadOnly, fileName, std::strerror(errno)));
    if (::stat(fileName.c_str(), &st) == 0 && (st.st_mode & 0222) == 0)
      throw ECommandFailed(rtl::Format(qs::_SCliModuleReadOnly, fileName, "no write permission"));
  }
  index_ = zod_.RegisterModule(fileName, false, "", readOnly ? rtl::fmOpenRead : rtl::fmOpenReadWrite);
  if (index_ < 0 || !zod_.GetModuleInterface(index_).IsFile())
    throw ECommandFailed(rtl::Format(readOnly ? qs::_SCliNotOpenedForReading : qs::_SCliNotOpened, fileName));
}

void TModuleFile::RequireLanguage(TLanguageId id) {
  std::vector<TLanguageId> ids;
  zod_.GetLanguageList(index_, ids);
  for (TLanguageId known : ids)
    if (known == id) return;
  throw ECommandFailed(rtl::Format(qs::_SCliNoSuchLanguageIn, fileName_, FormatLanguageId(id), LanguageList()));
}

TLanguageId TModuleFile::Language(const std::string& text) {
  const TLanguageId id = ParseLanguageId(text);
  RequireLanguage(id);
  return id;
}

std::string TModuleFile::LanguageList() { return LanguageListText(LanguageIds(zod_, index_)); }

void TModuleFile::WarnNoDesignLanguage() {
  if (warnedDesignLanguage_) return;
  warnedDesignLanguage_ = true;
  if (zod_.GetDesignTimeLanguage(index_) != module::kNoLanguage) return;
  std::cerr << "quintrel: " << rtl::Format(qs::_SCliNoDesignLanguage, fileName_) << "\n";
}

void TModuleFile::WarnDamage() {
  for (const char* property : {module::kPropLanguage, module::kPropLangCode, module::kPropCountry}) {
    module::TPackedList list = zod_.GetPackedList(index_, property);
    if (!list.Damaged) continue;
    std::cerr << "quintrel: "
              << rtl::Format(qs::_SCliDamageWarning,
                             rtl::Format(qs::_SPackedValueDamaged, fileName_, std::string(property),
                                         static_cast<int64_t>(list.DamageOffset), list.DamageReason))
              << "\n";
  }
}

void TModuleArguments::Add(CLI::App* command, const std::string& names, std::vector<size_t> counts,
                           const std::string& help) {
  counts_ = std::move(counts);
  target_.AddModule(command, false);
  const size_t most = *std::max_element(counts_.begin(), counts_.end()) + 1;
  command->add_option("[FILE] " + names, values_,
                      "The module file (as --module; default: the project's module), then " + help)
      ->expected(0, static_cast<int>(most));
}

bool TModuleArguments::HasFile() const {
  auto takes = [this](size_t n) { return std::find(counts_.begin(), counts_.end(), n) != counts_.end(); };
  const size_t n = values_.size();
  if (takes(n)) return false;
  // With --module there is no FILE among them, so the count alone is wrong.
  if (n > 0 && takes(n - 1) && !target_.ModuleGiven()) return true;
  std::string expected;
  for (size_t c : counts_) expected += (expected.empty() ? "" : " or ") + std::to_string(c);
  throw CLI::ArgumentMismatch(rtl::Format(target_.ModuleGiven() ? qs::_SCliArgumentCountModule : qs::_SCliArgumentCount,
                                          expected, static_cast<int64_t>(n)));
}

const std::string& TModuleArguments::operator[](size_t i) const {
  static const std::string none;
  const size_t at = i + (HasFile() ? 1 : 0);
  return at < values_.size() ? values_[at] : none;
}

size_t TModuleArguments::Count() const { return values_.size() - (HasFile() ? 1 : 0); }

std::string TModuleArguments::ModuleFile() const {
  if (!HasFile()) return target_.ModuleFile();
  return RequireModuleFile(values_.front());
}

std::string TModuleArguments::ModuleFileToCreate() const {
  return HasFile() ? values_.front() : target_.ModuleFileToCreate();
}

std::string CharsetList() {
  std::string list;
  for (int32_t c = 0; c <= 255; ++c)
    if (text::CharsetToCodePage(c) != 0) list += (list.empty() ? "" : " ") + std::to_string(c);
  return list;
}

void RequireCharsetWithCodePage(int64_t charset) {
  if (charset < 0 || charset > 255 || text::CharsetToCodePage(static_cast<int32_t>(charset)) == 0)
    throw ECommandFailed(rtl::Format(qs::_SCliUnknownCharset, static_cast<int>(charset), CharsetList()));
}

TLanguageId ParseLanguageId(const std::string& text) {
  if (text.size() == 2) return module::MakeLanguageId(text[0], text[1]);
  int64_t value = 0;
  bool hex = (text.size() > 1 && text[0] == '$') || (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'));
  if (hex && rtl::TryStrToInt(text, value) && value >= 0 && value <= 0xFFFF) return static_cast<TLanguageId>(value);
  throw EBadLanguageId(rtl::Format(qs::_SCliBadLanguageId, text));
}

std::string FormatLanguageId(TLanguageId id) {
  auto printable = [](int c) { return c >= 0x20 && c < 0x7F; };
  if (printable(id & 0xFF) && printable(id >> 8)) return module::LanguageIdToText(id);
  return "$" + rtl::IntToHex(id, 4);
}

std::vector<TLanguageId> LanguageIds(module::TZod& zod, int module) {
  std::vector<TLanguageId> ids;
  zod.GetLanguageList(module, ids);
  return ids;
}

std::string LanguageListText(const std::vector<TLanguageId>& ids) {
  std::string list;
  for (TLanguageId id : ids) list += (list.empty() ? "" : ", ") + FormatLanguageId(id);
  return list.empty() ? std::string("none") : list;
}

bool ParseBool(const std::string& text) {
  std::string t;
  for (char c : text) t += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (t == "on" || t == "true" || t == "yes" || t == "1") return true;
  if (t == "off" || t == "false" || t == "no" || t == "0") return false;
  throw ECommandFailed(rtl::Format(qs::_SCliBadBoolean, text));
}

std::string Utf8(const std::u16string& text) { return text::WideToUtf8(text); }

namespace {

int64_t ParseNumber(const std::string& text, int64_t low, int64_t high) {
  int64_t value = 0;
  if (!rtl::TryStrToInt(text, value) || value < low || value > high)
    throw ECommandFailed(rtl::Format(qs::_SCliBadNumber, text, low, high));
  return value;
}

uint32_t ParseHex(const std::string& text, int digits) {
  std::string t = text;
  if (t.size() > 1 && t[0] == '$') t.erase(0, 1);
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t.erase(0, 2);
  bool ok = !t.empty() && t.size() <= static_cast<size_t>(digits) &&
            t.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
  if (!ok) throw ECommandFailed(rtl::Format(qs::_SCliBadHex, text, digits));
  return static_cast<uint32_t>(std::stoul(t, nullptr, 16));
}

// Boolean settings: name, property getter and setter.
template <bool (TZod::*Getter)(int), bool (TZod::*Setter)(int, bool)>
TSetting BoolSetting(const char* name, const char* help) {
  return {name, help, [](TZod& zod, int index) -> json { return (zod.*Getter)(index); },
          [](TZod& zod, int index, const std::string& value) { return (zod.*Setter)(index, ParseBool(value)); }};
}

template <int Kind>
TSetting SwitchSetting(const char* name, const char* help) {
  return {name, help, [](TZod& zod, int index) -> json { return zod.GetSwitchResStr(index, Kind); },
          [](TZod& zod, int index, const std::string& value) {
            return zod.SetSwitchResStr(index, Kind, ParseBool(value));
          }};
}

}  // namespace

const std::vector<TSetting>& Settings() {
  static const std::vector<TSetting> settings = {
      {"design-language", "language of the texts as designed (two characters; ?? for none)",
       [](TZod& zod, int index) -> json { return FormatLanguageId(zod.GetDesignTimeLanguage(index)); },
       [](TZod& zod, int index, const std::string& value) {
         return zod.SetDesignTimeLanguage(index, ParseLanguageId(value));
       }},
      {"default-language", "language shown first at run time (?? for none)",
       [](TZod& zod, int index) -> json { return FormatLanguageId(zod.GetDefaultLanguage(index)); },
       [](TZod& zod, int index, const std::string& value) {
         return zod.SetDefaultLanguage(index, ParseLanguageId(value));
       }},
      SwitchSetting<module::kSwitchResourceStrings>("switch-resstr-pas",
                                                    "switch the resource-string constants of the sources at run time"),
      SwitchSetting<module::kSwitchScriptStrings>("switch-resstr-rc",
                                                  "switch the string tables of resource scripts at run time"),
      BoolSetting<&TZod::GetWin32Locale, &TZod::SetWin32Locale>(
          "win32-locale", "start in the language of the user's system locale"),
      BoolSetting<&TZod::GetShowLangList, &TZod::SetShowLangList>(
          "show-lang-list", "show the language list in each form's system menu"),
      BoolSetting<&TZod::GetSaveSessionLanguage, &TZod::SetSaveSessionLanguage>(
          "save-session-language", "keep the language chosen in a session for the next one"),
      BoolSetting<&TZod::GetUseOriginalIfUntranslated, &TZod::SetUseOriginalIfUntranslated>(
          "use-original-if-untranslated", "show the design-time text of every untranslated item"),
      BoolSetting<&TZod::GetAutoIncludeStatus, &TZod::SetAutoIncludeStatus>(
          "auto-include", "include the auto-include list's properties of components dropped onto forms"),
      {"auto-includes", "the auto-include list itself, as text (empty removes it)",
       [](TZod& zod, int index) -> json {
         std::string list = zod.GetAutoIncludes(index);
         return Utf8(text::ByteToUnicode(list, 0));
       },
       [](TZod& zod, int index, const std::string& value) {
         std::string bytes = text::UnicodeToByte(text::Utf8ToWide(value), 0);
         return zod.SetAutoIncludes(index, static_cast<int32_t>(bytes.size()), bytes.data());
       }},
  };
  return settings;
}

std::string SettingNames() {
  std::string names;
  for (const TSetting& s : Settings()) names += (names.empty() ? "" : ", ") + std::string(s.Name);
  return names;
}

std::string SettingText(const json& value) {
  if (value.is_boolean()) return value.get<bool>() ? "on" : "off";
  if (value.is_string()) return value.get<std::string>();
  return value.dump();
}

// ---------------------------------------------------------------------------------------
// Language records

namespace {

enum class TKind { Text, Fixed, Byte, Charset, Hex16, Hex32, Bool, Pair, InputMethod, Names, Flags };

using TRef = std::variant<TZodText*, std::u16string*, uint8_t*, uint16_t*, uint32_t*, bool*, std::string*,
                          std::span<TZodText>>;

struct TLangField {
  const char* Key;     // JSON key
  const char* Option;  // command-line option without its dashes
  const char* Label;   // text output
  TKind Kind;
  size_t Size;  // fixed texts: units with the terminator; name lists: count
  TRef (*Ref)(TZodLanguage& l);
  const char* Help;
};

const std::vector<TLangField>& Fields() {
  using T = TZodLanguage;
  static const std::vector<TLangField> fields = {
      {"name", "name", "Name", TKind::Text, 0, [](T& l) -> TRef { return &l.Name; }, "name shown in language lists"},
      {"nativeName", "native", "Native name", TKind::Text, 0, [](T& l) -> TRef { return &l.NativeName; },
       "name in the language itself"},
      {"charset", "charset", "Charset", TKind::Charset, 0, [](T& l) -> TRef { return &l.Charset; },
       "Windows character set of the language's texts (0 ANSI, 204 Russian, 128 Shift-JIS, ...): one of those "
       "`charset encode` converts with, since the texts of any other could not be converted"},
      {"primaryLanguage", "primary", "Primary language", TKind::Pair, 0,
       [](T& l) -> TRef { return &l.PrimaryLanguage; }, "two-letter code of the primary language"},
      {"country", "country", "Country", TKind::Pair, 0, [](T& l) -> TRef { return &l.Country; },
       "two-letter country code"},
      {"win32Locale", "win32-locale", "Win32 locale", TKind::Hex32, 0, [](T& l) -> TRef { return &l.Win32Locale; },
       "Windows locale identifier in hexadecimal (0407)"},
      {"sortMethod", "sort-method", "Sort method", TKind::Byte, 0, [](T& l) -> TRef { return &l.SortMethod; },
       "identifier of the sort method"},
      {"longDayNames", "long-day-names", "Long day names", TKind::Names, 7,
       [](T& l) -> TRef { return std::span<TZodText>(l.LongDayNames); }, "7 names, Monday to Sunday"},
      {"shortDayNames", "short-day-names", "Short day names", TKind::Names, 7,
       [](T& l) -> TRef { return std::span<TZodText>(l.ShortDayNames); }, "7 names, Monday to Sunday"},
      {"longMonthNames", "long-month-names", "Long month names", TKind::Names, 12,
       [](T& l) -> TRef { return std::span<TZodText>(l.LongMonthNames); }, "12 names, January to December"},
      {"shortMonthNames", "short-month-names", "Short month names", TKind::Names, 12,
       [](T& l) -> TRef { return std::span<TZodText>(l.ShortMonthNames); }, "12 names, January to December"},
      {"twentyFourHour", "twenty-four-hour", "24-hour clock", TKind::Bool, 0,
       [](T& l) -> TRef { return &l.TwentyFourHour; }, "on or off"},
      {"markerBeforeTime", "marker-before-time", "AM/PM before time", TKind::Bool, 0,
       [](T& l) -> TRef { return &l.MarkerBeforeTime; }, "on or off: the AM/PM marker precedes the time"},
      {"leadingZeroInHours", "leading-zero", "Leading zero in hours", TKind::Bool, 0,
       [](T& l) -> TRef { return &l.LeadingZeroInHours; }, "on or off"},
      {"amString", "am", "AM string", TKind::Fixed, T::kAmPmUnits, [](T& l) -> TRef { return &l.AMString; },
       "up to 8 characters"},
      {"pmString", "pm", "PM string", TKind::Fixed, T::kAmPmUnits, [](T& l) -> TRef { return &l.PMString; },
       "up to 8 characters"},
      {"timeSeparator", "time-separator", "Time separator", TKind::Fixed, T::kTimeSeparatorUnits,
       [](T& l) -> TRef { return &l.TimeSeparator; }, "up to 3 characters"},
      {"shortDateFormat", "short-date", "Short date format", TKind::Text, 0,
       [](T& l) -> TRef { return &l.ShortDateFormat; }, "e.g. dd.MM.yyyy"},
      {"longDateFormat", "long-date", "Long date format", TKind::Text, 0,
       [](T& l) -> TRef { return &l.LongDateFormat; }, "e.g. dddd, d. MMMM yyyy"},
      {"dateSeparator", "date-separator", "Date separator", TKind::Fixed, T::kSeparatorUnits,
       [](T& l) -> TRef { return &l.DateSeparator; }, "up to 3 characters"},
      {"currencyString", "currency", "Currency string", TKind::Fixed, T::kCurrencyUnits,
       [](T& l) -> TRef { return &l.CurrencyString; }, "up to 5 characters"},
      {"currencyFormat", "currency-format", "Currency format", TKind::Byte, 0,
       [](T& l) -> TRef { return &l.CurrencyFormat; }, "placement of the currency string (0-3)"},
      {"negCurrFormat", "neg-currency-format", "Negative currency format", TKind::Byte, 0,
       [](T& l) -> TRef { return &l.NegCurrFormat; }, "format of negative amounts (0-15)"},
      {"currencyDecimals", "currency-decimals", "Currency decimals", TKind::Byte, 0,
       [](T& l) -> TRef { return &l.CurrencyDecimals; }, "digits after the decimal separator"},
      {"thousandSeparator", "thousand-separator", "Thousand separator", TKind::Fixed, T::kSeparatorUnits,
       [](T& l) -> TRef { return &l.ThousandSeparator; }, "up to 3 characters"},
      {"decimalSeparator", "decimal-separator", "Decimal separator", TKind::Fixed, T::kSeparatorUnits,
       [](T& l) -> TRef { return &l.DecimalSeparator; }, "up to 3 characters"},
      {"inputMethod", "input-method", "Input method", TKind::InputMethod, T::kInputMethodLength,
       [](T& l) -> TRef { return &l.InputMethod; }, "name of the input method editor, up to 15 characters"},
      {"keyboardLayout", "keyboard", "Keyboard layout", TKind::Hex16, 0,
       [](T& l) -> TRef { return &l.KeyboardLayout; }, "keyboard layout identifier in hexadecimal (0407)"},
      {"applyFlags", "apply-flags", "Apply flags", TKind::Flags, 0, [](T& l) -> TRef { return &l.ApplyFlags; },
       "regional settings the translator installs: a number 0-63 or names joined by commas from days, months, "
       "time, date, currency, win32, all, none"},
  };
  return fields;
}

json TextJson(const TZodText& text) { return text ? json(Utf8(*text)) : json(nullptr); }

constexpr std::pair<const char*, uint16_t> kFlagNames[] = {
    {"days", module::kApplyDayNames}, {"months", module::kApplyMonthNames}, {"time", module::kApplyTime},
    {"date", module::kApplyDate},     {"currency", module::kApplyCurrency}, {"win32", module::kApplyWin32}};

std::string FlagsText(uint16_t flags) {
  if (flags == 0) return "0 (none)";
  std::string names;
  for (const auto& [name, bit] : kFlagNames)
    if (flags & bit) names += (names.empty() ? "" : ",") + std::string(name);
  return std::to_string(flags) + " (" + names + ")";
}

uint16_t ParseFlags(const std::string& text) {
  int64_t number = 0;
  if (rtl::TryStrToInt(text, number)) {
    if (number < 0 || number > module::kApplyAll) throw ECommandFailed(rtl::Format(qs::_SCliBadApplyFlags, text));
    return static_cast<uint16_t>(number);
  }
  uint16_t flags = 0;
  std::stringstream parts(text);
  for (std::string part; std::getline(parts, part, ',');) {
    if (part == "all") {
      flags |= module::kApplyAll;
      continue;
    }
    if (part == "none") continue;
    bool known = false;
    for (const auto& [name, bit] : kFlagNames)
      if (part == name) {
        flags |= bit;
        known = true;
      }
    if (!known) throw ECommandFailed(rtl::Format(qs::_SCliBadApplyFlags, text));
  }
  return flags;
}

json FieldJson(const TLangField& f, const TZodLanguage& language) {
  TRef ref = f.Ref(const_cast<TZodLanguage&>(language));
  switch (f.Kind) {
    case TKind::Text: return TextJson(*std::get<TZodText*>(ref));
    case TKind::Fixed: return Utf8(*std::get<std::u16string*>(ref));
    case TKind::Byte:
    case TKind::Charset: return *std::get<uint8_t*>(ref);
    case TKind::Hex16: return rtl::IntToHex(*std::get<uint16_t*>(ref), 4);
    case TKind::Hex32: return rtl::IntToHex(*std::get<uint32_t*>(ref), 4);
    case TKind::Bool: return *std::get<bool*>(ref);
    case TKind::Pair: return FormatLanguageId(*std::get<uint16_t*>(ref));
    case TKind::InputMethod: return Utf8(text::ByteToUnicode(*std::get<std::string*>(ref), 0));
    case TKind::Names: {
      json names = json::array();
      for (const TZodText& t : std::get<std::span<TZodText>>(ref)) names.push_back(TextJson(t));
      return names;
    }
    case TKind::Flags: return *std::get<uint16_t*>(ref);
  }
  return nullptr;
}

// A JSON value as the text an option would give, so that both take one path. The options
// hand every value in as a string; a JSON input gives numbers and switches as such, but
// never a number or a switch where a text is expected (it would be stored as its digits).
// `what` names the field in messages: the option, or the field of the JSON input.
std::string ScalarText(const json& value, const TLangField& f, const std::string& what) {
  if (value.is_string()) return value.get<std::string>();
  const bool number = f.Kind == TKind::Byte || f.Kind == TKind::Charset || f.Kind == TKind::Flags;
  if (value.is_boolean() && f.Kind == TKind::Bool) return value.get<bool>() ? "on" : "off";
  if (value.is_number_integer() && number) return std::to_string(value.get<int64_t>());
  const char* expected = number ? qs::_SCliWantNumber : f.Kind == TKind::Bool ? qs::_SCliWantBool : qs::_SCliWantText;
  throw ECommandFailed(what + ": " + rtl::Format(qs::_SCliJsonWrongType, expected, ShortMessage(value.dump())));
}

TZodText TextOf(const json& value, const TLangField& f, const std::string& what) {
  if (value.is_null()) return std::nullopt;
  return StoredText(ScalarText(value, f, what), what);
}

void SetFixed(std::u16string& to, const std::string& utf8, size_t units, const std::string& what) {
  std::u16string wide = StoredText(utf8, what);
  if (wide.size() >= units)
    throw ECommandFailed(rtl::Format(qs::_SCliTextTooLong, what, utf8, static_cast<int>(units - 1)));
  to = wide;
}

// A value parsed by one of the shared parsers, whose messages do not know the field.
template <typename TParse>
auto Parsed(const std::string& what, const std::string& text, TParse parse) {
  try {
    return parse(text);
  } catch (const ECommandFailed& e) {
    throw ECommandFailed(what + ": " + e.what());
  }
}

// Sets one field from its JSON value (the options hand their texts in as JSON too).
void SetField(const TLangField& f, TZodLanguage& language, const json& value, const std::string& what) {
  TRef ref = f.Ref(language);
  auto scalar = [&] { return ScalarText(value, f, what); };
  switch (f.Kind) {
    case TKind::Text: *std::get<TZodText*>(ref) = TextOf(value, f, what); return;
    case TKind::Fixed: SetFixed(*std::get<std::u16string*>(ref), scalar(), f.Size, what); return;
    case TKind::Byte:
      *std::get<uint8_t*>(ref) = static_cast<uint8_t>(Parsed(what, scalar(), [](const std::string& t) {
        return ParseNumber(t, 0, 255);
      }));
      return;
    case TKind::Charset:
      *std::get<uint8_t*>(ref) = static_cast<uint8_t>(Parsed(what, scalar(), [](const std::string& t) {
        const int64_t charset = ParseNumber(t, 0, 255);
        RequireCharsetWithCodePage(charset);
        return charset;
      }));
      return;
    case TKind::Hex16:
      *std::get<uint16_t*>(ref) =
          static_cast<uint16_t>(Parsed(what, scalar(), [](const std::string& t) { return ParseHex(t, 4); }));
      return;
    case TKind::Hex32:
      *std::get<uint32_t*>(ref) = Parsed(what, scalar(), [](const std::string& t) { return ParseHex(t, 8); });
      return;
    case TKind::Bool: *std::get<bool*>(ref) = Parsed(what, scalar(), ParseBool); return;
    case TKind::Pair: *std::get<uint16_t*>(ref) = Parsed(what, scalar(), ParseLanguageId); return;
    case TKind::InputMethod: {
      std::string bytes = text::UnicodeToByte(StoredText(scalar(), what), 0);
      if (bytes.size() > f.Size)
        throw ECommandFailed(rtl::Format(qs::_SCliTextTooLong, what, bytes, static_cast<int>(f.Size)));
      *std::get<std::string*>(ref) = bytes;
      return;
    }
    case TKind::Names: {
      auto names = std::get<std::span<TZodText>>(ref);
      if (!value.is_array() || value.size() != names.size())
        throw ECommandFailed(what + ": " + rtl::Format(qs::_SCliWantNames, static_cast<int>(names.size())));
      for (size_t i = 0; i < names.size(); ++i) names[i] = TextOf(value[i], f, what);
      return;
    }
    case TKind::Flags: *std::get<uint16_t*>(ref) = Parsed(what, scalar(), ParseFlags); return;
  }
}

}  // namespace

json LanguageJson(const TZodLanguage& language) {
  json j = json::object();
  j["id"] = FormatLanguageId(language.Identifier);
  for (const TLangField& f : Fields()) j[f.Key] = FieldJson(f, language);
  return j;
}

json LanguageSummaryJson(const TZodLanguage& language) {
  return {{"id", FormatLanguageId(language.Identifier)},
          {"name", TextJson(language.Name)},
          {"nativeName", TextJson(language.NativeName)},
          {"charset", language.Charset},
          {"win32Locale", rtl::IntToHex(language.Win32Locale, 4)},
          {"keyboardLayout", rtl::IntToHex(language.KeyboardLayout, 4)},
          {"applyFlags", language.ApplyFlags}};
}

std::string LanguageSummaryLine(const TZodLanguage& l) {
  std::ostringstream line;
  line << FormatLanguageId(l.Identifier) << "  " << (l.Name ? Utf8(*l.Name) : "(no name)");
  if (l.NativeName && !l.NativeName->empty()) line << " (" << Utf8(*l.NativeName) << ")";
  line << "  charset " << static_cast<int>(l.Charset) << "  locale " << rtl::IntToHex(l.Win32Locale, 4)
       << "  keyboard " << rtl::IntToHex(l.KeyboardLayout, 4) << "  apply " << FlagsText(l.ApplyFlags);
  return line.str();
}

void PrintLanguage(std::ostream& out, const TZodLanguage& language) {
  auto show = [](const json& v) -> std::string {
    if (v.is_null()) return "(none)";
    if (v.is_string()) return v.get<std::string>().empty() ? "\"\"" : v.get<std::string>();
    if (v.is_boolean()) return v.get<bool>() ? "on" : "off";
    return v.dump();
  };
  out << std::left << std::setw(26) << "Identifier:" << FormatLanguageId(language.Identifier) << "\n";
  for (const TLangField& f : Fields()) {
    json value = FieldJson(f, language);
    std::string label = std::string(f.Label) + ":";
    if (f.Kind == TKind::Names) {
      for (size_t i = 0; i < value.size(); ++i)
        out << std::setw(26) << (i == 0 ? label : std::string()) << i + 1 << "  " << show(value[i]) << "\n";
    } else if (f.Kind == TKind::Flags) {
      out << std::setw(26) << label << FlagsText(language.ApplyFlags) << "\n";
    } else {
      out << std::setw(26) << label << show(value) << "\n";
    }
  }
}

void TLanguageOptions::Register(CLI::App& command) {
  command.add_option("--from-json", jsonFile_,
                     "Take the fields from a JSON object as `lang show --json` prints it (the options given beside "
                     "it win); null stands for an absent text");
  for (const TLangField& f : Fields()) {
    std::vector<std::string>& slot = values_[f.Key];
    CLI::Option* option = command.add_option("--" + std::string(f.Option), slot, f.Help);
    option->expected(f.Kind == TKind::Names ? static_cast<int>(f.Size) : 1);
    option->allow_extra_args(false);
  }
}

void TLanguageOptions::Apply(TZodLanguage& language) const {
  if (!jsonFile_.empty()) {
    json j = ReadJsonFile(jsonFile_);
    if (!j.is_object()) throw ECommandFailed(rtl::Format(qs::_SCliBadJson, jsonFile_, "a JSON object expected"));
    for (const auto& item : j.items()) {
      // A named local, not a structured binding: the fuzz build's clang cannot capture those.
      const std::string& key = item.key();
      const json& value = item.value();
      if (key == "id") continue;  // the identifier on the command line decides
      auto f = std::find_if(Fields().begin(), Fields().end(), [&](const TLangField& x) { return key == x.Key; });
      if (f == Fields().end())
        throw ECommandFailed(rtl::Format(qs::_SCliBadJson, jsonFile_, rtl::Format(qs::_SCliJsonField, key, "unknown field")));
      SetField(*f, language, value, rtl::Format(qs::_SCliJsonFieldName, jsonFile_, key));
    }
  }
  for (const TLangField& f : Fields()) {
    const std::vector<std::string>& given = values_.at(f.Key);
    if (given.empty()) continue;
    json value = f.Kind == TKind::Names ? json(given) : json(given.front());
    SetField(f, language, value, "--" + std::string(f.Option));
  }
}

}  // namespace quintrel::cli
