#include "platform/vcl/typinfo.h"
#include "platform/vcl/textutil.h"

#include <algorithm>
#include <atomic>
#include <map>

#include "platform/vcl/charsets.h"
#include "strings/vclconsts.h"

namespace quintrel::vcl {

namespace {

using rtl::Format;
namespace S = quintrel::strings;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

struct TLessNoCase {
  bool operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Lower(x) < Lower(y); });
  }
};

// Every type declared by name, for the life of the process.
struct TTypeTable {
  std::deque<TTypeInfo> Types;
  std::map<std::string, PTypeInfo, TLessNoCase> ByName;

  PTypeInfo Add(TTypeInfo info) {
    auto found = ByName.find(info.Name);
    if (found != ByName.end()) return found->second;
    Types.push_back(std::move(info));
    TTypeInfo& t = Types.back();
    if (t.Kind == tkEnumeration) t.Data.BaseType = &t;
    ByName[t.Name] = &t;
    return &t;
  }
};

TTypeTable& Types() {
  static TTypeTable table;
  return table;
}

PTypeInfo Ordinal(const char* name, TTypeKind kind, TOrdType ord, int64_t lo, int64_t hi) {
  TTypeInfo t;
  t.Kind = kind;
  t.Name = name;
  t.Data.OrdType = ord;
  t.Data.MinValue = lo;
  t.Data.MaxValue = hi;
  return Types().Add(std::move(t));
}

PTypeInfo Floating(const char* name, TFloatType ft) {
  TTypeInfo t;
  t.Kind = tkFloat;
  t.Name = name;
  t.Data.FloatType = ft;
  return Types().Add(std::move(t));
}

void EnsureStandardTypes() {
  static const bool done = [] {
    Ordinal("Integer", tkInteger, otSLong, INT32_MIN, INT32_MAX);
    Ordinal("Cardinal", tkInteger, otULong, 0, UINT32_MAX);
    Ordinal("SmallInt", tkInteger, otSWord, -32768, 32767);
    Ordinal("Word", tkInteger, otUWord, 0, 65535);
    Ordinal("ShortInt", tkInteger, otSByte, -128, 127);
    Ordinal("Byte", tkInteger, otUByte, 0, 255);
    Ordinal("Int64", tkInt64, otSLong, INT64_MIN, INT64_MAX);
    Ordinal("Char", tkChar, otUByte, 0, 255);
    Ordinal("WideChar", tkWChar, otUWord, 0, 65535);
    EnumType("Boolean", {"False", "True"});
    Floating("Extended", ftExtended);
    Floating("Double", ftDouble);
    Floating("Single", ftSingle);
    Floating("Currency", ftCurr);
    Floating("TDateTime", ftDouble);
    TTypeInfo s{tkLString, "String", {}};
    Types().Add(s);
    TTypeInfo ss{tkString, "ShortString", {}};
    Types().Add(ss);
    TTypeInfo ws{tkWString, "WideString", {}};
    Types().Add(ws);
    return true;
  }();
  (void)done;
}

[[noreturn]] void KindError(PPropInfo p, const char* kind) {
  throw EPropertyError(Format(S::_SPropertyKind, p ? p->Name : std::string("?"), kind));
}

PPropInfo Require(const TObject* instance, std::string_view name) {
  PPropInfo p = instance ? GetPropInfo(instance, name) : nullptr;
  if (!p) throw EPropertyError(Format(S::_SUnknownProperty, std::string(name)));
  return p;
}

TPropValue Read(const TObject* instance, PPropInfo p) {
  if (!instance || !p || !p->GetProc) throw EPropertyError(Format(S::_SUnknownProperty, p ? p->Name : ""));
  return p->GetProc(*instance);
}

void Write(TObject* instance, PPropInfo p, const TPropValue& value) {
  if (!instance || !p) throw EPropertyError(Format(S::_SUnknownProperty, p ? p->Name : ""));
  if (!p->SetProc) throw EPropertyError(Format(S::_SPropertyReadOnly, p->Name));
  p->SetProc(*instance, value);
}

bool IsOrdinalKind(TTypeKind k) {
  return k == tkInteger || k == tkChar || k == tkEnumeration || k == tkSet || k == tkWChar || k == tkInt64;
}

}  // namespace

// --- TMetaClass ------------------------------------------------------------------------

TMetaClass::TMetaClass(std::string name, TClass parent, TFactory factory)
    : name_(std::move(name)), parent_(parent), factory_(std::move(factory)) {
  typeInfo_.Kind = tkClass;
  typeInfo_.Name = name_;
  typeInfo_.Data.ClassType = this;
}

bool TMetaClass::InheritsFrom(TClass ancestor) const {
  for (TClass c = this; c; c = c->parent_)
    if (c == ancestor) return true;
  return false;
}

bool TMetaClass::InheritsFrom(std::string_view ancestorName) const {
  for (TClass c = this; c; c = c->parent_)
    if (SameText(c->name_, ancestorName)) return true;
  return false;
}

TClass TMetaClass::NativeClass() const {
  TClass c = this;
  while (c->runTime_ && c->parent_) c = c->parent_;
  return c;
}

namespace {

// Counts declarations (a property added, an inherited one shown) in any class; a class's
// list depends on its ancestors' too, so any declaration makes every list stale.
std::atomic<uint64_t>& Declarations() {
  static std::atomic<uint64_t> count{1};
  return count;
}

}  // namespace

std::vector<PPropInfo> TMetaClass::Properties() const {
  uint64_t now = Declarations().load(std::memory_order_acquire);
  std::lock_guard<std::mutex> lock(cacheLock_);
  if (propertiesAt_ == now) return properties_;
  std::vector<PPropInfo> list;
  if (parent_) {
    for (PPropInfo p : parent_->Properties())
      if (!generic_ || ShowsInherited(p->Name)) list.push_back(p);
  }
  for (const auto& p : props_) {
    // A redeclared property takes the place of the inherited one.
    auto same = std::find_if(list.begin(), list.end(), [&](PPropInfo q) { return SameText(q->Name, p.Name); });
    if (same != list.end())
      *same = &p;
    else
      list.push_back(&p);
  }
  properties_ = list;
  propertiesAt_ = now;
  return list;
}

PPropInfo TMetaClass::FindProperty(std::string_view name) const {
  for (const auto& p : props_)
    if (SameText(p.Name, name)) return &p;
  if (!parent_ || (generic_ && !ShowsInherited(name))) return nullptr;
  return parent_->FindProperty(name);
}

std::unique_ptr<TObject> TMetaClass::CreateInstance() const {
  TClass native = NativeClass();
  if (!native->factory_) return nullptr;
  std::unique_ptr<TObject> obj = native->factory_();
  if (obj && native != this) obj->runTimeClass_ = this;
  return obj;
}

TPropInfo& TMetaClass::AddProperty(TPropInfo info) {
  Declarations().fetch_add(1, std::memory_order_acq_rel);
  info.Owner = this;
  props_.push_back(std::move(info));
  return props_.back();
}

TPropInfo& TMetaClass::AddBagProperty(std::string name, PTypeInfo type, TPropValue defaultValue, int64_t ordDefault) {
  TPropInfo info;
  info.Name = std::move(name);
  info.PropType = type;
  info.InBag = true;
  info.BagDefault = std::move(defaultValue);
  info.Default = ordDefault;
  TPropInfo& added = AddProperty(std::move(info));
  PPropInfo self = &added;
  added.GetProc = [self](const TObject& o) { return o.BagValue(self); };
  added.SetProc = [self](TObject& o, const TPropValue& v) { o.SetBagValue(self, v); };
  return added;
}

std::unique_ptr<TMetaClass> TMetaClass::MakeRunTimeClass(std::string name, TClass parent, bool generic) {
  auto cls = std::make_unique<TMetaClass>(std::move(name), parent, nullptr);
  cls->runTime_ = true;
  cls->generic_ = generic;
  return cls;
}

void TMetaClass::ShowInherited(std::string_view name) {
  if (ShowsInherited(name)) return;
  shownInherited_.emplace_back(name);
  Declarations().fetch_add(1, std::memory_order_acq_rel);
}

bool TMetaClass::ShowsInherited(std::string_view name) const {
  return std::any_of(shownInherited_.begin(), shownInherited_.end(),
                     [&](const std::string& n) { return SameText(n, name); });
}

// --- TObject ---------------------------------------------------------------------------

const TMetaClass& TObject::StaticClass() {
  static const TMetaClass cls("TObject", nullptr, nullptr);
  return cls;
}

const TPropValue& TObject::BagValue(PPropInfo prop) const {
  for (const auto& [p, v] : bag_)
    if (p == prop) return v;
  return prop->BagDefault;
}

void TObject::SetBagValue(PPropInfo prop, TPropValue value) {
  if (const auto* target = std::get_if<TObject*>(&value); target && *target) ReferenceStored(*target);
  for (auto& [p, v] : bag_)
    if (p == prop) {
      v = std::move(value);
      return;
    }
  bag_.emplace_back(prop, std::move(value));
}

void TObject::ClearBagReferences(const TObject* target) {
  // The values set, not the class's property list: a removal tells many components, and
  // building the list for each would cost its length squared every time.
  for (auto& [p, v] : bag_)
    if (const auto* o = std::get_if<TObject*>(&v); o && *o == target && p->PropType->Kind == tkClass)
      v = static_cast<TObject*>(nullptr);
}

// --- types -----------------------------------------------------------------------------

PTypeInfo StandardType(std::string_view name) {
  EnsureStandardTypes();
  return FindType(name);
}

PTypeInfo EnumType(std::string name, std::vector<std::string> names) {
  TTypeInfo t;
  t.Kind = tkEnumeration;
  t.Name = std::move(name);
  t.Data.OrdType = names.size() <= 256 ? otUByte : otUWord;
  t.Data.MinValue = 0;
  t.Data.MaxValue = static_cast<int64_t>(names.size()) - 1;
  t.Data.NameList = std::move(names);
  return Types().Add(std::move(t));
}

PTypeInfo SetType(std::string name, PTypeInfo elementType) {
  TTypeInfo t;
  t.Kind = tkSet;
  t.Name = std::move(name);
  t.Data.CompType = elementType;
  return Types().Add(std::move(t));
}

PTypeInfo IntegerType(std::string name, int64_t minValue, int64_t maxValue) {
  TTypeInfo t;
  t.Kind = tkInteger;
  t.Name = std::move(name);
  t.Data.MinValue = minValue;
  t.Data.MaxValue = maxValue;
  t.Data.OrdType = minValue < 0 ? otSLong : otULong;
  return Types().Add(std::move(t));
}

PTypeInfo StringType(std::string name) {
  TTypeInfo t;
  t.Kind = tkLString;
  t.Name = std::move(name);
  return Types().Add(std::move(t));
}

PTypeInfo MethodType(std::string name) {
  TTypeInfo t;
  t.Kind = tkMethod;
  t.Name = std::move(name);
  return Types().Add(std::move(t));
}

PTypeInfo NamedFloatType(std::string name, TFloatType floatType) {
  TTypeInfo t;
  t.Kind = tkFloat;
  t.Name = std::move(name);
  t.Data.FloatType = floatType;
  return Types().Add(std::move(t));
}

PTypeInfo FindType(std::string_view name) {
  EnsureStandardTypes();
  auto found = Types().ByName.find(std::string(name));
  return found == Types().ByName.end() ? nullptr : found->second;
}

const TTypeData* GetTypeData(PTypeInfo typeInfo) { return typeInfo ? &typeInfo->Data : nullptr; }

// --- TypInfo operations ----------------------------------------------------------------

PPropInfo GetPropInfo(TClass cls, std::string_view propName) { return cls ? cls->FindProperty(propName) : nullptr; }

PPropInfo GetPropInfo(PTypeInfo classInfo, std::string_view propName) {
  return (classInfo && classInfo->Kind == tkClass) ? GetPropInfo(classInfo->Data.ClassType, propName) : nullptr;
}

PPropInfo GetPropInfo(const TObject* instance, std::string_view propName) {
  return instance ? GetPropInfo(&instance->ClassType(), propName) : nullptr;
}

std::vector<PPropInfo> GetPropList(TClass cls) { return cls ? cls->Properties() : std::vector<PPropInfo>{}; }

bool IsPublishedProp(const TObject* instance, std::string_view propName) {
  return GetPropInfo(instance, propName) != nullptr;
}

bool IsWritableProp(PPropInfo propInfo) { return propInfo && static_cast<bool>(propInfo->SetProc); }

TTypeKind PropType(const TObject* instance, std::string_view propName) {
  return Require(instance, propName)->PropType->Kind;
}

int64_t GetOrdProp(const TObject* instance, PPropInfo p) {
  if (!p || !IsOrdinalKind(p->PropType->Kind)) {
    // Objects read as ordinals give their address in the runtime library; here only
    // whether one is assigned is meaningful.
    if (p && p->PropType->Kind == tkClass) return GetObjectProp(instance, p) ? 1 : 0;
    KindError(p, "ordinal");
  }
  TPropValue v = Read(instance, p);
  if (const auto* i = std::get_if<int64_t>(&v)) return *i;
  KindError(p, "ordinal");
}

void SetOrdProp(TObject* instance, PPropInfo p, int64_t value) {
  if (!p || !IsOrdinalKind(p->PropType->Kind)) KindError(p, "ordinal");
  Write(instance, p, value);
}

int64_t GetInt64Prop(const TObject* instance, PPropInfo p) { return GetOrdProp(instance, p); }

std::string GetStrProp(const TObject* instance, PPropInfo p) {
  TTypeKind k = p ? p->PropType->Kind : tkUnknown;
  if (k == tkWString) return AnsiCodec().ToNarrow(GetWideStrProp(instance, p));
  if (k != tkString && k != tkLString) KindError(p, "string");
  TPropValue v = Read(instance, p);
  if (const auto* s = std::get_if<std::string>(&v)) return *s;
  KindError(p, "string");
}

void SetStrProp(TObject* instance, PPropInfo p, const std::string& value) {
  TTypeKind k = p ? p->PropType->Kind : tkUnknown;
  if (k == tkWString) return SetWideStrProp(instance, p, AnsiCodec().ToWide(value));
  if (k != tkString && k != tkLString) KindError(p, "string");
  Write(instance, p, value);
}

std::u16string GetWideStrProp(const TObject* instance, PPropInfo p) {
  TTypeKind k = p ? p->PropType->Kind : tkUnknown;
  if (k == tkString || k == tkLString) return AnsiCodec().ToWide(GetStrProp(instance, p));
  if (k != tkWString) KindError(p, "wide string");
  TPropValue v = Read(instance, p);
  if (const auto* s = std::get_if<std::u16string>(&v)) return *s;
  KindError(p, "wide string");
}

void SetWideStrProp(TObject* instance, PPropInfo p, const std::u16string& value) {
  TTypeKind k = p ? p->PropType->Kind : tkUnknown;
  if (k == tkString || k == tkLString) return SetStrProp(instance, p, AnsiCodec().ToNarrow(value));
  if (k != tkWString) KindError(p, "wide string");
  Write(instance, p, value);
}

long double GetFloatProp(const TObject* instance, PPropInfo p) {
  if (!p || p->PropType->Kind != tkFloat) KindError(p, "float");
  TPropValue v = Read(instance, p);
  if (const auto* f = std::get_if<long double>(&v)) return *f;
  KindError(p, "float");
}

void SetFloatProp(TObject* instance, PPropInfo p, long double value) {
  if (!p || p->PropType->Kind != tkFloat) KindError(p, "float");
  Write(instance, p, value);
}

TObject* GetObjectProp(const TObject* instance, PPropInfo p) {
  if (!p || p->PropType->Kind != tkClass) KindError(p, "class");
  TPropValue v = Read(instance, p);
  if (const auto* o = std::get_if<TObject*>(&v)) return *o;
  KindError(p, "class");
}

void SetObjectProp(TObject* instance, PPropInfo p, TObject* value) {
  if (!p || p->PropType->Kind != tkClass) KindError(p, "class");
  Write(instance, p, value);
}

TMethod GetMethodProp(const TObject* instance, PPropInfo p) {
  if (!p || p->PropType->Kind != tkMethod) KindError(p, "method");
  TPropValue v = Read(instance, p);
  if (const auto* m = std::get_if<TMethod>(&v)) return *m;
  KindError(p, "method");
}

void SetMethodProp(TObject* instance, PPropInfo p, const TMethod& value) {
  if (!p || p->PropType->Kind != tkMethod) KindError(p, "method");
  Write(instance, p, value);
}

int64_t GetOrdProp(const TObject* instance, std::string_view name) { return GetOrdProp(instance, Require(instance, name)); }
void SetOrdProp(TObject* instance, std::string_view name, int64_t value) {
  SetOrdProp(instance, Require(instance, name), value);
}
std::string GetStrProp(const TObject* instance, std::string_view name) { return GetStrProp(instance, Require(instance, name)); }
void SetStrProp(TObject* instance, std::string_view name, const std::string& value) {
  SetStrProp(instance, Require(instance, name), value);
}
long double GetFloatProp(const TObject* instance, std::string_view name) {
  return GetFloatProp(instance, Require(instance, name));
}
void SetFloatProp(TObject* instance, std::string_view name, long double value) {
  SetFloatProp(instance, Require(instance, name), value);
}
TObject* GetObjectProp(const TObject* instance, std::string_view name) {
  return GetObjectProp(instance, Require(instance, name));
}

std::string GetEnumName(PTypeInfo typeInfo, int64_t value) {
  if (!typeInfo) return {};
  if (typeInfo->Kind == tkInteger || typeInfo->Kind == tkInt64) return std::to_string(value);
  const TTypeInfo* base = typeInfo->Data.BaseType ? typeInfo->Data.BaseType : typeInfo;
  if (value < 0 || value >= static_cast<int64_t>(base->Data.NameList.size())) return {};
  return base->Data.NameList[static_cast<size_t>(value)];
}

int64_t GetEnumValue(PTypeInfo typeInfo, std::string_view name) {
  if (!typeInfo) return -1;
  if (typeInfo->Kind == tkInteger || typeInfo->Kind == tkInt64) {
    int64_t v = 0;
    return rtl::TryStrToInt(name, v) ? v : -1;
  }
  const TTypeInfo* base = typeInfo->Data.BaseType ? typeInfo->Data.BaseType : typeInfo;
  const auto& names = base->Data.NameList;
  for (size_t i = 0; i < names.size(); ++i)
    if (SameText(names[i], name)) return static_cast<int64_t>(i);
  return -1;
}

std::string SetToString(PPropInfo p, int64_t value, bool brackets) {
  if (!p || p->PropType->Kind != tkSet) KindError(p, "set");
  PTypeInfo element = p->PropType->Data.CompType;
  std::string out;
  for (int bit = 0; bit < 64; ++bit) {
    if (!(static_cast<uint64_t>(value) & (uint64_t{1} << bit))) continue;
    if (!out.empty()) out += ',';
    std::string name = GetEnumName(element, bit);
    out += name.empty() ? std::to_string(bit) : name;
  }
  return brackets ? "[" + out + "]" : out;
}

int64_t StringToSet(PPropInfo p, std::string_view value) {
  if (!p || p->PropType->Kind != tkSet) KindError(p, "set");
  PTypeInfo element = p->PropType->Data.CompType;
  uint64_t bits = 0;
  std::string word;
  auto flush = [&]() {
    if (word.empty()) return;
    int64_t v = GetEnumValue(element, word);
    if (v < 0 || v > 63) throw EPropertyError(Format(S::_SInvalidPropertyValue, word, p->Name));
    bits |= uint64_t{1} << v;
    word.clear();
  };
  for (char c : value) {
    if (c == '[' || c == ']' || c == ',' || c == ' ')
      flush();
    else
      word.push_back(c);
  }
  flush();
  return static_cast<int64_t>(bits);
}

bool IsStoredProp(const TObject* instance, PPropInfo p) {
  if (!p || !p->Stored || !p->GetProc) return false;
  if (p->StoredProc && !p->StoredProc(*instance)) return false;
  return !IsDefaultPropValue(instance, p);
}

namespace {

std::vector<std::pair<PTypeInfo, std::vector<TIdentMapEntry>>>& IdentMaps() {
  static std::vector<std::pair<PTypeInfo, std::vector<TIdentMapEntry>>> maps;
  return maps;
}

const std::vector<TIdentMapEntry>* IdentMap(PTypeInfo type) {
  for (const auto& [t, map] : IdentMaps())
    if (t == type) return &map;
  return nullptr;
}

}  // namespace

void RegisterIntegerConsts(PTypeInfo type, std::vector<TIdentMapEntry> map) {
  for (auto& [t, m] : IdentMaps())
    if (t == type) {
      m = std::move(map);
      return;
    }
  IdentMaps().emplace_back(type, std::move(map));
}

bool IdentToInt(PTypeInfo type, std::string_view ident, int64_t& value) {
  if (const auto* map = IdentMap(type))
    for (const auto& e : *map)
      if (SameText(e.Name, ident)) {
        value = e.Value;
        return true;
      }
  return false;
}

bool IntToIdent(PTypeInfo type, int64_t value, std::string& ident) {
  if (const auto* map = IdentMap(type))
    for (const auto& e : *map)
      if (e.Value == value) {
        ident = e.Name;
        return true;
      }
  return false;
}

bool IsDefaultPropValue(const TObject* instance, PPropInfo p) {
  if (!p || !p->GetProc) return true;
  switch (p->PropType->Kind) {
    case tkInteger:
    case tkChar:
    case tkEnumeration:
    case tkSet:
    case tkWChar:
    case tkInt64:
      return p->Default != kNoDefault && GetOrdProp(instance, p) == p->Default;
    case tkFloat:
      return GetFloatProp(instance, p) == 0;
    case tkString:
    case tkLString:
      return GetStrProp(instance, p).empty();
    case tkWString:
      return GetWideStrProp(instance, p).empty();
    case tkMethod:
      return !GetMethodProp(instance, p).IsAssigned();
    case tkClass:
      return GetObjectProp(instance, p) == nullptr;
    default:
      return true;
  }
}

}  // namespace quintrel::vcl
