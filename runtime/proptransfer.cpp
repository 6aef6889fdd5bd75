#include "runtime/proptransfer.h"

#include <algorithm>
#include <type_traits>

#include "platform/rtl/sysutils.h"
#include "platform/vcl/floattext.h"
#include "platform/vcl/formatvars.h"
#include "platform/vcl/textutil.h"
#include "platform/win32/msgbox.h"
#include "runtime/quintrel.h"
#include "strings/runtimeconsts.h"
#include "text/codepages.h"
#include "text/unicode.h"

namespace quintrel::runtime {

using namespace quintrel::vcl;
using module::TZodTerm;

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && IsBlank(static_cast<unsigned char>(s[e - 1]))) --e;
  return std::string(s.substr(b, e - b));
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsColorType(PTypeInfo type) { return type && SameText(type->Name, "TColor"); }

// A character property's value from its text: the first character, or a decimal code
// of two or more digits, which is how older modules stored characters.
template <typename Text>
int64_t CharFromText(const Text& text, int64_t maxValue) {
  if (text.empty()) return 0;
  if (text.size() >= 2 && std::all_of(text.begin(), text.end(), [](auto c) { return c >= '0' && c <= '9'; })) {
    int64_t code = 0;
    for (auto c : text) {
      code = code * 10 + (c - '0');
      if (code > maxValue) break;
    }
    if (code <= maxValue) return code;
  }
  using Unit = std::make_unsigned_t<typename Text::value_type>;
  return static_cast<Unit>(text[0]);
}

int64_t IntegerFromText(PPropInfo p, std::string_view narrow) {
  std::string text = Trim(narrow);
  if (text.empty()) return 0;
  if (text[0] == '$' || text[0] == '-' || IsDigit(text[0])) return rtl::StrToInt(text);
  int64_t value = 0;
  if (IsColorType(p->PropType) ? IdentToColor(text, value) : IdentToInt(p->PropType, text, value)) return value;
  throw rtl::EConvertError(rtl::Format(strings::_SNotAnIntegerText, text, p->Name));
}

long double FloatFromText(PPropInfo p, std::string_view narrow) {
  std::string text = Trim(narrow);
  if (text.empty()) return 0;
  // Either separator: the text may have been read under another locale than the one the
  // switch has just set.
  std::string dotted = text;
  char separator = FormatSettings().DecimalSeparator;
  if (dotted.find('.') == std::string::npos) {
    std::replace(dotted.begin(), dotted.end(), separator, '.');
    std::replace(dotted.begin(), dotted.end(), ',', '.');
  }
  long double value = 0;
  if (!TextToFloat(dotted, value)) throw rtl::EConvertError(rtl::Format(strings::_SNotAFloatText, text, p->Name));
  return value;
}

int64_t EnumFromText(PPropInfo p, std::string_view narrow) {
  std::string text = Trim(narrow);
  int64_t value = GetEnumValue(p->PropType, text);
  if (value < 0) throw rtl::EConvertError(rtl::Format(strings::_SNotAnEnumName, text, p->Name));
  return value;
}

int64_t SetFromText(PPropInfo p, std::string_view narrow) {
  std::string text = Trim(narrow);
  if (text.empty()) return 0;
  if (text[0] == '$' || IsDigit(text[0])) return rtl::StrToInt(text);
  // Whole words, so that a name never matches inside a longer one.
  std::vector<std::string> words;
  std::string word;
  for (char c : text + " ") {
    if (c == ',' || c == '[' || c == ']' || IsBlank(static_cast<unsigned char>(c))) {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
    } else {
      word.push_back(c);
    }
  }
  PTypeInfo element = p->PropType->Data.CompType;
  const TTypeData* data = GetTypeData(element);
  if (!data) return 0;
  uint32_t bits = 0;
  for (int64_t v = std::max<int64_t>(data->MinValue, 0); v <= std::min<int64_t>(data->MaxValue, 31); ++v) {
    std::string name = GetEnumName(element, v);
    if (name.empty()) continue;
    if (std::any_of(words.begin(), words.end(), [&](const std::string& w) { return SameText(w, name); }))
      bits |= 1u << v;
  }
  return bits;
}

std::string SetText(PPropInfo p, int64_t value) {
  PTypeInfo element = p->PropType->Data.CompType;
  std::string out = "[";
  bool first = true;
  for (int bit = 0; bit < 32; ++bit) {
    if (!(static_cast<uint64_t>(value) & (uint64_t{1} << bit))) continue;
    std::string name = GetEnumName(element, bit);
    if (name.empty()) continue;
    if (!first) out += ',';
    out += name;
    first = false;
  }
  return out + "]";
}

std::string FloatText(long double value) {
  // The platform's 15 digits, or as many more as it takes to read back the same number
  // (a date and time stored in a form carries 17 or 18).
  std::string text = FloatToStrGeneral(value, 15);
  long double back = 0;
  for (int precision = 16; precision <= 21 && !(TextToFloat(text, back) && back == value); ++precision)
    text = FloatToStrGeneral(value, precision);
  char separator = FormatSettings().DecimalSeparator;
  if (separator != '.') std::replace(text.begin(), text.end(), '.', separator);
  return text;
}

// "Items[3].Caption": the name before the bracket, the index text and what follows the
// first dot.
struct TItemPath {
  std::string_view Name;
  std::string_view Index;
  std::string_view Rest;
};

std::optional<TItemPath> ParseItemPath(std::string_view path) {
  size_t open = path.find('[');
  if (open == std::string_view::npos) return std::nullopt;
  size_t close = path.find(']', open);
  if (close == std::string_view::npos) return std::nullopt;
  TItemPath item;
  item.Name = path.substr(0, open);
  item.Index = path.substr(open + 1, close - open - 1);
  size_t dot = path.find('.');
  item.Rest = dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1);
  return item;
}

}  // namespace

std::pair<std::string_view, std::string_view> SplitPath(std::string_view path) {
  size_t dot = path.find('.');
  if (dot == std::string_view::npos) return {path, {}};
  return {path.substr(0, dot), path.substr(dot + 1)};
}

bool ParseIndexed(std::string_view path, std::string_view& name, int& index) {
  size_t open = path.find('[');
  if (open == std::string_view::npos || path.size() < open + 2 || path.back() != ']') return false;
  std::string_view digits = path.substr(open + 1, path.size() - open - 2);
  bool negative = !digits.empty() && digits[0] == '-';
  if (negative) digits.remove_prefix(1);
  if (digits.empty() || digits.size() > 9 || !std::all_of(digits.begin(), digits.end(), IsDigit)) return false;
  int value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  name = path.substr(0, open);
  index = negative ? -value : value;
  return true;
}

TPropertyTransfer::TPropertyTransfer(module::TZod& zod) : zod_(zod) {}

// --- terms -------------------------------------------------------------------------------

std::u16string TPropertyTransfer::TermText(uint32_t termId) const {
  if (FModule < 0) return {};
  if (!keptTexts_) return zod_.GetLongStringW(FModule, termId, FCurrentLanguage, true);
  auto found = keptTexts_->find(termId);
  if (found == keptTexts_->end())
    found = keptTexts_->emplace(termId, zod_.GetLongStringW(FModule, termId, FCurrentLanguage, true)).first;
  return found->second;
}

std::string TPropertyTransfer::NarrowTermText(uint32_t termId) const {
  return text::UnicodeToByte(TermText(termId), FCurrentCharset);
}

namespace {

struct TStoredTerm {
  uint8_t Status = 0;
  uint8_t Style = 0;
  std::vector<uint8_t> Data;
};

std::optional<TStoredTerm> ReadStored(module::TZod& zod, int module, module::TLanguageId language, uint32_t id) {
  if (module < 0 || module >= zod.GetModuleCount()) return std::nullopt;
  // One lock over both calls, so that the size read first is the size copied.
  module::TModuleLock lock(zod.GetModuleInterface(module), false);
  TZodTerm term;
  term.Language = language;
  term.Ident = id;
  if (!zod.GetTerm(module, term)) return std::nullopt;
  TStoredTerm stored;
  stored.Data.resize(static_cast<size_t>(std::max(term.Size, 0)));
  if (!stored.Data.empty()) {
    term.Data = stored.Data.data();
    zod.GetTerm(module, term);
  }
  stored.Status = term.Status;
  stored.Style = term.Style;
  return stored;
}

std::u16string Utf16LeText(const std::vector<uint8_t>& bytes) {
  std::u16string text(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return text;
}

}  // namespace

std::optional<std::vector<uint8_t>> TPropertyTransfer::StoredTermBytes(module::TLanguageId language,
                                                                       uint32_t termId) const {
  auto stored = ReadStored(zod_, FModule, language, termId);
  if (!stored) return std::nullopt;
  return std::move(stored->Data);
}

std::vector<uint8_t> TPropertyTransfer::TermBytes(uint32_t termId) const {
  auto current = ReadStored(zod_, FModule, FCurrentLanguage, termId);
  if (current && current->Status != module::usUnTranslated) return std::move(current->Data);
  if (FModule >= 0 && zod_.GetUseOriginalIfUntranslated(FModule))
    if (auto original = ReadStored(zod_, FModule, zod_.GetDesignTimeLanguage(FModule), termId))
      return std::move(original->Data);
  return {};
}

void TPropertyTransfer::StoreTermBytes(TZodTerm& term, const std::vector<uint8_t>& bytes) {
  auto stored = ReadStored(zod_, FModule, term.Language, term.Ident);
  if (stored && stored->Data == bytes) return;
  TZodTerm changed = term;
  changed.Status = module::usForReview;
  if (stored) changed.Style = stored->Style;
  if (bytes.empty()) {
    // A size of 0 keeps a stored text, so an emptied value replaces the record.
    if (stored && !stored->Data.empty()) zod_.RemoveTerm(FModule, changed);
    changed.Data = nullptr;
    changed.Size = 0;
  } else {
    changed.Data = const_cast<uint8_t*>(bytes.data());
    changed.Size = static_cast<int32_t>(bytes.size());
  }
  zod_.SetTerm(FModule, changed);
  term.Status = changed.Status;
  term.Style = changed.Style;
  term.Size = changed.Size;
  if (DesignTermChanged) DesignTermChanged(changed);
  term.Data = nullptr;
}

void TPropertyTransfer::StoreTermText(TZodTerm& term, std::u16string_view text) {
  StoreTermBytes(term, text::Utf16LeBytes(text));
}

void TPropertyTransfer::ReportSetError(std::string_view path, const TObject& instance) const {
  win32::MessageBoxA(win32::HWND{}, rtl::Format(strings::_SSetPropertyError, path, instance.ClassName()),
                     Application().Title(), win32::MB_OK | win32::MB_ICONERROR);
}

// --- texts of simple properties ------------------------------------------------------------

std::u16string TPropertyTransfer::PropertyText(const TObject& instance, PPropInfo p) const {
  auto wide = [&](const std::string& narrow) { return text::ByteToUnicode(narrow, FCurrentCharset); };
  switch (p->PropType->Kind) {
    case tkString:
    case tkLString:
      return wide(GetStrProp(&instance, p));
    case tkWString:
      return GetWideStrProp(&instance, p);
    case tkChar: {
      int64_t c = GetOrdProp(&instance, p);
      return c == 0 ? std::u16string() : wide(std::string(1, static_cast<char>(c)));
    }
    case tkWChar: {
      int64_t c = GetOrdProp(&instance, p);
      return c == 0 ? std::u16string() : std::u16string(1, static_cast<char16_t>(c));
    }
    case tkInteger:
    case tkInt64: {
      int64_t v = GetOrdProp(&instance, p);
      if (IsColorType(p->PropType)) {
        std::string ident;
        // A colour without a name as $00BBGGRR, which the writer reads back.
        return wide(ColorToIdent(v, ident) ? ident : "$" + rtl::IntToHex(static_cast<uint32_t>(v), 8));
      }
      return wide(rtl::IntToStr(v));
    }
    case tkFloat:
      return wide(FloatText(GetFloatProp(&instance, p)));
    case tkEnumeration:
      return wide(GetEnumName(p->PropType, GetOrdProp(&instance, p)));
    case tkSet:
      return wide(SetText(p, GetOrdProp(&instance, p)));
    default:
      return {};
  }
}

void TPropertyTransfer::WritePropertyText(TObject& instance, PPropInfo p, std::u16string_view text) const {
  // A value equal to the live one is not written again: some setters have effects of their
  // own (a control's ParentShowHint goes off when ShowHint is set), which a translation
  // that changes nothing must not trigger.
  bool readable = static_cast<bool>(p->GetProc);
  auto ord = [&](int64_t value) {
    if (!readable || GetOrdProp(&instance, p) != value) SetOrdProp(&instance, p, value);
  };
  TTypeKind kind = p->PropType->Kind;
  if (kind == tkWString) {
    if (!readable || GetWideStrProp(&instance, p) != text) SetWideStrProp(&instance, p, std::u16string(text));
    return;
  }
  if (kind == tkWChar) return ord(CharFromText(std::u16string(text), 0xFFFF));
  std::string narrow = text::UnicodeToByte(text, FCurrentCharset);
  switch (kind) {
    case tkString:
    case tkLString:
      if (!readable || GetStrProp(&instance, p) != narrow) SetStrProp(&instance, p, narrow);
      break;
    case tkChar:
      ord(CharFromText(narrow, 0xFF));
      break;
    case tkInteger:
    case tkInt64:
      ord(IntegerFromText(p, narrow));
      break;
    case tkFloat: {
      long double value = FloatFromText(p, narrow);
      if (!readable || GetFloatProp(&instance, p) != value) SetFloatProp(&instance, p, value);
      break;
    }
    case tkEnumeration:
      ord(EnumFromText(p, narrow));
      break;
    case tkSet:
      ord(SetFromText(p, narrow));
      break;
    default:
      break;  // events, variants and the like carry no text
  }
}

// --- write direction ------------------------------------------------------------------------

void TPropertyTransfer::SetProp(TObject* instance, std::string_view path, uint32_t termId) {
  if (!instance) return;
  try {
    auto [head, rest] = SplitPath(path);
    PPropInfo p = head.empty() ? nullptr : GetPropInfo(instance, head);
    if (!p)
      SetOther(instance, path, termId);
    else if (p->PropType->Kind == tkClass)
      SetProp(GetObjectProp(instance, p), rest, termId);
    else
      SetRTTI(instance, p, termId);
  } catch (const std::exception&) {
    ReportSetError(path, *instance);
  }
}

void TPropertyTransfer::SetRTTI(TObject* instance, PPropInfo propInfo, uint32_t termId) {
  if (!instance || !propInfo) return;
  std::u16string text = TermText(termId);
  if (!IsWritableProp(propInfo)) return;
  WritePropertyText(*instance, propInfo, text);
}

void TPropertyTransfer::SetOther(TObject* instance, std::string_view path, uint32_t termId) {
  if (auto* strings = dynamic_cast<TStrings*>(instance))
    SetStrings(*strings, path, termId);
  else if (auto* collection = dynamic_cast<TCollection*>(instance))
    SetCollection(*collection, path, termId);
  else if (auto* dialog = dynamic_cast<TCommonDialog*>(instance))
    SetCommonDialog(*dialog, path, termId);
  else if (auto* form = dynamic_cast<TForm*>(instance))
    SetFormProps(*form, path, termId);
  else if (auto* graphic = dynamic_cast<TGraphic*>(instance))
    SetGraphicProp(*graphic, path, termId);
  else if (auto* picture = dynamic_cast<TPicture*>(instance))
    SetPictureProp(*picture, path, termId);
  else
    SetUnknown(instance, path, termId);
}

void TPropertyTransfer::SetStrings(TStrings& strings, std::string_view path, uint32_t termId) {
  std::string_view name;
  int index = 0;
  if (!ParseIndexed(path, name, index) || !SameText(name, "Strings")) return;
  std::string text = NarrowTermText(termId);
  // Lines outside the list are not added.
  if (index >= 0 && index < strings.Count()) strings.Put(index, text);
}

void TPropertyTransfer::SetCollection(TCollection& collection, std::string_view path, uint32_t termId) {
  auto item = ParseItemPath(path);
  if (!item || !SameText(item->Name, "Items")) return SetUnknown(&collection, path, termId);
  // An index outside the collection raises the list's error, which SetProp reports.
  int64_t index = rtl::StrToInt(item->Index);
  if (index < INT32_MIN || index > INT32_MAX) index = -1;
  SetProp(collection.Items(static_cast<int>(index)), item->Rest, termId);
}

void TPropertyTransfer::SetCommonDialog(TCommonDialog& dialog, std::string_view path, uint32_t termId) {
  std::string text = NarrowTermText(termId);
  std::string owner = dialog.Owner() ? dialog.Owner()->Name() : std::string();
  std::string entry = owner + "." + dialog.Name() + "." + std::string(path) + "=" + text;
  if (SetDlgPropProc) SetDlgPropProc(dialog, entry);
}

void TPropertyTransfer::SetPictureProp(TPicture& picture, std::string_view path, uint32_t termId) {
  if (!SameText(path, "Data")) return SetUnknown(&picture, path, termId);
  if (!picture.Graphic()) picture.Bitmap();
  SetGraphicProp(*picture.Graphic(), path, termId);
}

void TPropertyTransfer::SetGraphicProp(TGraphic& graphic, std::string_view path, uint32_t termId) {
  if (!SameText(path, "Data")) return SetUnknown(&graphic, path, termId);
  std::vector<uint8_t> bytes = TermBytes(termId);
  graphic.Clear();
  if (!bytes.empty())
    graphic.LoadFromStream(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void TPropertyTransfer::SetUnknown(TObject*, std::string_view, uint32_t) {}

// --- read direction -------------------------------------------------------------------------

void TPropertyTransfer::GetProp(TObject* instance, std::string_view path, uint32_t termId) {
  if (!instance || FModule < 0) return;
  TZodTerm term;
  term.Language = FCurrentLanguage;
  term.Ident = termId;
  if (!zod_.GetTerm(FModule, term)) {
    term.Status = module::usUnTranslated;
    term.Size = 0;
    zod_.SetTerm(FModule, term);
  }
  term.Data = nullptr;
  GetPath(instance, path, term);
}

void TPropertyTransfer::GetPath(TObject* instance, std::string_view path, TZodTerm& term) {
  if (!instance) return;
  auto [head, rest] = SplitPath(path);
  PPropInfo p = head.empty() ? nullptr : GetPropInfo(instance, head);
  if (!p)
    GetOther(instance, path, term);
  else if (p->PropType->Kind == tkClass)
    GetPath(GetObjectProp(instance, p), rest, term);
  else
    GetRTTI(instance, p, term);
}

void TPropertyTransfer::GetRTTI(TObject* instance, PPropInfo propInfo, TZodTerm& term) {
  if (!instance || !propInfo) return;
  switch (propInfo->PropType->Kind) {
    case tkString: case tkLString: case tkWString:
      StoreTermText(term, PropertyText(*instance, propInfo));
      break;
    case tkChar: case tkWChar: case tkInteger: case tkInt64: case tkFloat: case tkEnumeration: case tkSet:
      // A value has more than one text ([akLeft, akTop] and [akLeft,akTop], 255 and clRed):
      // a stored text that stands for the live value is the same design text and stays.
      if (auto stored = ReadStored(zod_, FModule, term.Language, term.Ident);
          stored && !stored->Data.empty() && SameValue(*instance, propInfo, Utf16LeText(stored->Data)))
        break;
      StoreTermText(term, PropertyText(*instance, propInfo));
      break;
    default:
      break;  // no text to compare
  }
}

bool TPropertyTransfer::SameValue(const TObject& instance, PPropInfo p, std::u16string_view text) const {
  try {
    const TTypeKind kind = p->PropType->Kind;
    if (kind == tkFloat) return FloatFromText(p, text::UnicodeToByte(text, FCurrentCharset)) == GetFloatProp(&instance, p);
    const int64_t live = GetOrdProp(&instance, p);
    if (kind == tkWChar) return CharFromText(std::u16string(text), 0xFFFF) == live;
    const std::string narrow = text::UnicodeToByte(text, FCurrentCharset);
    switch (kind) {
      case tkChar: return CharFromText(narrow, 0xFF) == live;
      case tkInteger: case tkInt64: return IntegerFromText(p, narrow) == live;
      case tkEnumeration: return EnumFromText(p, narrow) == live;
      case tkSet: return SetFromText(p, narrow) == live;
      default: return false;
    }
  } catch (const std::exception&) {
    return false;  // a text the writer refuses stands for no value
  }
}

void TPropertyTransfer::GetOther(TObject* instance, std::string_view path, TZodTerm& term) {
  // By class name up the ancestry, the first class that matches one of the six.
  for (TClass cls = &instance->ClassType(); cls; cls = cls->ClassParent()) {
    const std::string& name = cls->ClassName();
    if (SameText(name, "TStrings")) {
      if (auto* s = dynamic_cast<TStrings*>(instance)) return GetStrings(*s, path, term);
    } else if (SameText(name, "TCollection")) {
      if (auto* c = dynamic_cast<TCollection*>(instance)) return GetCollection(*c, path, term);
    } else if (SameText(name, "TCommonDialog")) {
      if (auto* d = dynamic_cast<TCommonDialog*>(instance)) return GetCommonDialog(*d, path, term);
    } else if (SameText(name, "TForm")) {
      if (auto* f = dynamic_cast<TForm*>(instance)) return GetFormProps(*f, path, term);
    } else if (SameText(name, "TGraphic")) {
      if (auto* g = dynamic_cast<TGraphic*>(instance)) return GetGraphicProp(*g, path, term);
    } else if (SameText(name, "TPicture")) {
      if (auto* p = dynamic_cast<TPicture*>(instance)) return GetPictureProp(*p, path, term);
    } else {
      continue;
    }
    break;
  }
  GetUnknown(instance, path, term);
}

void TPropertyTransfer::GetStrings(TStrings& strings, std::string_view path, TZodTerm& term) {
  std::string_view name;
  int index = 0;
  if (!ParseIndexed(path, name, index) || !SameText(name, "Strings")) return;
  if (index >= 0 && index < strings.Count())
    StoreTermText(term, text::ByteToUnicode(strings.Get(index), FCurrentCharset));
}

void TPropertyTransfer::GetCollection(TCollection& collection, std::string_view path, TZodTerm& term) {
  auto item = ParseItemPath(path);
  if (!item || !SameText(item->Name, "Items")) return GetUnknown(&collection, path, term);
  int64_t index = rtl::StrToInt(item->Index);
  if (index < INT32_MIN || index > INT32_MAX) index = -1;
  // The item's path may lead further (Items[0].Font.Name), as it may when writing.
  GetPath(collection.Items(static_cast<int>(index)), item->Rest, term);
}

void TPropertyTransfer::GetCommonDialog(TCommonDialog&, std::string_view, TZodTerm&) {}

void TPropertyTransfer::GetPictureProp(TPicture& picture, std::string_view path, TZodTerm& term) {
  if (!SameText(path, "Data")) return GetUnknown(&picture, path, term);
  // An empty picture reads as no data; it is not given a bitmap just to be read.
  if (!picture.Graphic()) return StoreTermBytes(term, {});
  GetGraphicProp(*picture.Graphic(), path, term);
}

void TPropertyTransfer::GetGraphicProp(TGraphic& graphic, std::string_view path, TZodTerm& term) {
  if (!SameText(path, "Data")) return GetUnknown(&graphic, path, term);
  std::string image = graphic.SaveToStream();
  StoreTermBytes(term, std::vector<uint8_t>(image.begin(), image.end()));
}

void TPropertyTransfer::GetUnknown(TObject*, std::string_view, TZodTerm&) {}

bool GetFormValues(TQuintrel& translator, TComponent& form) {
  if (translator.Module() < 0 || form.Name().empty()) return false;
  translator.DesignLangChanged();
  return translator.CaptureRoot(form);
}

}  // namespace quintrel::runtime
