#include "platform/vcl/classes.h"
#include "platform/vcl/textutil.h"

#include <algorithm>
#include <map>

#include "platform/vcl/classbuilder.h"
#include "platform/vcl/streaming.h"
#include "strings/vclconsts.h"

namespace quintrel::vcl {

namespace {

using rtl::Format;
namespace S = quintrel::strings;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

int CompareNoCase(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(Lower(a[i])), y = static_cast<unsigned char>(Lower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

bool StreamNarrowText(const TStreamValue& v, const TFilerContext& ctx, std::string& out) {
  switch (v.Type) {
    case vaString:
    case vaLString:
      out = v.Bytes;
      return true;
    case vaWString:
    case vaUTF8String:
      out = ctx.Codec.ToNarrow(v.AsWide());
      return true;
    default:
      return false;
  }
}

bool StreamWideText(const TStreamValue& v, const TFilerContext& ctx, std::u16string& out) {
  switch (v.Type) {
    case vaString:
    case vaLString:
      out = ctx.Codec.ToWide(v.Bytes);
      return true;
    case vaWString:
    case vaUTF8String:
      out = v.AsWide();
      return true;
    default:
      return false;
  }
}

// --- TPersistent -----------------------------------------------------------------------

TPersistent::TPersistent() = default;
TPersistent::~TPersistent() = default;

const TMetaClass& TPersistent::StaticClass() { return DefineClass<TPersistent>("TPersistent", TObject::StaticClass()); }

void TPersistent::Assign(const TPersistent* source) {
  if (source) {
    source->AssignTo(this);
    return;
  }
  AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* dest) const {
  std::string from = this == dest ? std::string("nil") : ClassName();
  throw EConvertError(Format(S::_SAssignError, from, dest->ClassName()));
}

std::string TPersistent::GetNamePath() const { return ClassName(); }

bool TPersistent::ReadDefined(std::string_view, const TStreamValue&, const TFilerContext&) { return false; }

std::optional<TStreamValue> TPersistent::WriteDefined(std::string_view, const TStreamValue*,
                                                      const TFilerContext&) const {
  return std::nullopt;
}

TStreamMemory& TPersistent::EnsureStreamMemory() {
  if (!memory_) memory_ = std::make_unique<TStreamMemory>();
  return *memory_;
}

void TPersistent::ForgetStreamMemory() { memory_.reset(); }

TPersistent* TPersistent::AdoptPart(std::unique_ptr<TPersistent> part) {
  parts_.push_back(std::move(part));
  return parts_.back().get();
}

// --- TComponent ------------------------------------------------------------------------

const TMetaClass& TComponent::StaticClass() {
  return DefineClass<TComponent>("TComponent", TPersistent::StaticClass(), [](TClassBuilder<TComponent>& b) {
    b.Str("Name", StringType("TComponentName"), &TComponent::Name, &TComponent::SetName).NotStored();
    b.Ord("Tag", StandardType("Integer"), &TComponent::Tag, &TComponent::SetTag, 0);
  });
}

TComponent::TComponent() = default;

TComponent::~TComponent() {
  state_ |= csDestroying;
  DestroyComponents();
  if (freeNotifies_)
    for (TComponent* other : *freeNotifies_)
      if (other->freeNotifies_) other->freeNotifies_->erase(this);
}

bool TComponent::BeingDestroyed() const {
  for (const TComponent* c = this; c; c = c->owner_)
    if (c->InState(csDestroying)) return true;
  return false;
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (!freeNotifies_) freeNotifies_ = std::make_unique<std::unordered_set<TComponent*>>();
  if (!component->freeNotifies_) component->freeNotifies_ = std::make_unique<std::unordered_set<TComponent*>>();
  freeNotifies_->insert(component);
  component->freeNotifies_->insert(this);
}

void TComponent::ReferenceStored(TObject* target) {
  if (auto* component = dynamic_cast<TComponent*>(target)) component->FreeNotification(this);
}

bool IsValidIdent(std::string_view name) {
  if (name.empty()) return false;
  auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!alpha(name[0])) return false;
  return std::all_of(name.begin(), name.end(), [&](char c) { return alpha(c) || (c >= '0' && c <= '9'); });
}

void TComponent::SetName(const std::string& name) {
  if (name == name_) return;
  if (!name.empty() && !IsValidIdent(name)) throw EComponentError(Format(S::_SInvalidName, name));
  if (!name.empty() && owner_) {
    TComponent* other = owner_->FindComponent(name);
    if (other && other != this) throw EComponentError(Format(S::_SDuplicateName, name));
  }
  name_ = name;
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount()) throw EListError(Format(S::_SListIndexError, index));
  return components_[static_cast<size_t>(index)].get();
}

int TComponent::ComponentIndex() const {
  if (!owner_) return -1;
  for (int i = 0; i < owner_->ComponentCount(); ++i)
    if (owner_->components_[static_cast<size_t>(i)].get() == this) return i;
  return -1;
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (const auto& c : components_)
    if (SameText(c->name_, name)) return c.get();
  return nullptr;
}

TComponent* TComponent::InsertComponent(std::unique_ptr<TComponent> component) {
  if (!component) return nullptr;
  TComponent* raw = component.get();
  // A stream may carry any names; looking each one up would make reading quadratic.
  if (!raw->name_.empty() && !InState(csReading) && FindComponent(raw->name_))
    throw EComponentError(Format(S::_SDuplicateName, raw->name_));
  raw->owner_ = this;
  components_.push_back(std::move(component));
  NotifyTree(raw, opInsert);
  return raw;
}

std::unique_ptr<TComponent> TComponent::RemoveComponent(TComponent* component) {
  auto it = std::find_if(components_.begin(), components_.end(),
                         [&](const std::unique_ptr<TComponent>& c) { return c.get() == component; });
  if (it == components_.end()) return nullptr;
  std::unique_ptr<TComponent> owned = std::move(*it);
  components_.erase(it);
  owned->owner_ = nullptr;
  NotifyTree(component, opRemove);
  return owned;
}

void TComponent::DestroyComponent(TComponent* component) { RemoveComponent(component).reset(); }

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* last = components_.back().get();
    last->state_ |= csDestroying;
    std::unique_ptr<TComponent> owned = std::move(components_.back());
    components_.pop_back();
    owned->owner_ = nullptr;
    NotifyTree(last, opRemove);
  }
}

void TComponent::NotifyTree(TComponent* component, TOperation operation) {
  // The owner learns about it, and on a removal whoever holds a reference to it. Asking
  // every other component of the owner would make each removal cost the size of the
  // form. A component that is going too (its owner is being destroyed) has nothing to
  // clear: its references die with it.
  if (!BeingDestroyed()) Notification(component, operation);
  if (operation != opRemove || !component->freeNotifies_) return;
  // A copy: a notified component may ask for or drop notifications meanwhile.
  std::vector<TComponent*> told(component->freeNotifies_->begin(), component->freeNotifies_->end());
  for (TComponent* c : told)
    if (c != this && !c->BeingDestroyed()) c->Notification(component, operation);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation != opRemove) return;
  ClearBagReferences(component);
  if (TStreamMemory* m = StreamMemory()) std::erase(m->Children, component);
}

void TComponent::GetChildren(const std::function<void(TComponent*)>&, TComponent*) const {}

void TComponent::Loaded() { state_ &= ~(csLoading | csReading); }

std::string TComponent::GetNamePath() const { return name_; }

// Non-visual components keep their place on the design surface as Left and Top.
bool TComponent::ReadDefined(std::string_view name, const TStreamValue& value, const TFilerContext& ctx) {
  if (!value.IsInteger() || HasParent()) return TPersistent::ReadDefined(name, value, ctx);
  auto word = static_cast<uint16_t>(value.Int);
  if (SameText(name, "Left")) {
    designInfo_ = static_cast<int32_t>((static_cast<uint32_t>(designInfo_) & 0xFFFF0000u) | word);
    return true;
  }
  if (SameText(name, "Top")) {
    designInfo_ = static_cast<int32_t>((static_cast<uint32_t>(designInfo_) & 0xFFFFu) | (uint32_t{word} << 16));
    return true;
  }
  return TPersistent::ReadDefined(name, value, ctx);
}

std::vector<std::string> TComponent::DefinedNames() const {
  if (HasParent() || designInfo_ == 0) return {};
  return {"Left", "Top"};
}

std::optional<TStreamValue> TComponent::WriteDefined(std::string_view name, const TStreamValue*,
                                                     const TFilerContext&) const {
  if (HasParent()) return std::nullopt;
  if (SameText(name, "Left")) return TStreamValue::Integer(static_cast<int16_t>(designInfo_ & 0xFFFF));
  if (SameText(name, "Top")) return TStreamValue::Integer(static_cast<int16_t>((designInfo_ >> 16) & 0xFFFF));
  return std::nullopt;
}

// --- TStrings --------------------------------------------------------------------------

const TMetaClass& TStrings::StaticClass() { return DefineClass<TStrings>("TStrings", TPersistent::StaticClass()); }

void TStrings::CheckIndex(int index, int limit) const {
  if (index < 0 || index >= limit) throw EListError(Format(S::_SListIndexError, index));
}

void TStrings::Put(int index, const std::string& s) {
  TObject* object = GetObject(index);
  Delete(index);
  Insert(index, s);
  PutObject(index, object);
}

TObject* TStrings::GetObject(int) const { return nullptr; }
void TStrings::PutObject(int, TObject*) {}

int TStrings::Add(const std::string& s) {
  int index = Count();
  Insert(index, s);
  return index;
}

int TStrings::AddObject(const std::string& s, TObject* object) {
  int index = Add(s);
  PutObject(index, object);
  return index;
}

void TStrings::AddStrings(const TStrings& strings) {
  for (int i = 0; i < strings.Count(); ++i) AddObject(strings.Get(i), strings.GetObject(i));
}

int TStrings::IndexOf(const std::string& s) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(Get(i), s)) return i;
  return -1;
}

int TStrings::IndexOfName(const std::string& name) const {
  for (int i = 0; i < Count(); ++i) {
    std::string line = Get(i);
    size_t eq = line.find('=');
    if (eq != std::string::npos && SameText(std::string_view(line).substr(0, eq), name)) return i;
  }
  return -1;
}

std::string TStrings::Names(int index) const {
  std::string line = Get(index);
  size_t eq = line.find('=');
  return eq == std::string::npos ? std::string() : line.substr(0, eq);
}

std::string TStrings::Values(const std::string& name) const {
  int i = IndexOfName(name);
  if (i < 0) return {};
  std::string line = Get(i);
  return line.substr(line.find('=') + 1);
}

std::string TStrings::Text() const {
  std::string out;
  for (int i = 0; i < Count(); ++i) out += Get(i) + "\r\n";
  return out;
}

void TStrings::SetText(std::string_view text) {
  BeginUpdate();
  Clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    Add(std::string(text.substr(start, end - start)));
    if (end < text.size() && text[end] == '\r') ++end;
    if (end < text.size() && text[end] == '\n') ++end;
    start = end;
  }
  EndUpdate();
}

std::string TStrings::CommaText() const {
  std::string out;
  for (int i = 0; i < Count(); ++i) {
    if (i > 0) out += ',';
    std::string s = Get(i);
    bool quote = s.empty() || s.find_first_of(" ,\"") != std::string::npos ||
                 std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < ' '; });
    if (!quote) {
      out += s;
      continue;
    }
    out += '"';
    for (char c : s) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  return out;
}

void TStrings::SetCommaText(std::string_view text) {
  BeginUpdate();
  Clear();
  size_t i = 0;
  auto blank = [&] { return i < text.size() && static_cast<unsigned char>(text[i]) <= ' '; };
  while (blank()) ++i;
  while (i < text.size()) {
    std::string item;
    if (text[i] == '"') {
      ++i;
      while (i < text.size()) {
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            item += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += text[i++];
      }
    } else {
      while (i < text.size() && text[i] != ',' && !blank()) item += text[i++];
    }
    Add(item);
    while (blank()) ++i;
    if (i < text.size() && text[i] == ',') {
      ++i;
      while (blank()) ++i;
    }
  }
  EndUpdate();
}

bool TStrings::Equals(const TStrings& other) const {
  if (Count() != other.Count()) return false;
  for (int i = 0; i < Count(); ++i)
    if (Get(i) != other.Get(i)) return false;
  return true;
}

void TStrings::Assign(const TPersistent* source) {
  if (const auto* strings = dynamic_cast<const TStrings*>(source)) {
    BeginUpdate();
    Clear();
    AddStrings(*strings);
    EndUpdate();
    return;
  }
  TPersistent::Assign(source);
}

bool TStrings::ReadDefined(std::string_view name, const TStreamValue& value, const TFilerContext& ctx) {
  if (!SameText(name, "Strings") || value.Type != vaList) return TPersistent::ReadDefined(name, value, ctx);
  std::vector<std::string> lines;
  for (const auto& item : value.List) {
    std::string line;
    if (!StreamNarrowText(item, ctx, line)) return false;
    lines.push_back(std::move(line));
  }
  BeginUpdate();
  Clear();
  for (auto& line : lines) Add(line);
  EndUpdate();
  return true;
}

std::vector<std::string> TStrings::DefinedNames() const {
  if (Count() == 0) return {};
  return {"Strings"};
}

std::optional<TStreamValue> TStrings::WriteDefined(std::string_view name, const TStreamValue* hint,
                                                   const TFilerContext& ctx) const {
  if (!SameText(name, "Strings")) return std::nullopt;
  TStreamValue list;
  list.Type = vaList;
  for (int i = 0; i < Count(); ++i) {
    // Lines keep the kind of string they were read as: wide lines stay wide.
    const TStreamValue* like = nullptr;
    if (hint && hint->Type == vaList && !hint->List.empty())
      like = &hint->List[std::min(static_cast<size_t>(i), hint->List.size() - 1)];
    std::string line = Get(i);
    if (like && (like->Type == vaWString || like->Type == vaUTF8String))
      list.List.push_back(TStreamValue::WideString(ctx.Codec.ToWide(line), like->Type));
    else
      list.List.push_back(TStreamValue::String(std::move(line)));
  }
  return list;
}

// --- TStringList -----------------------------------------------------------------------

const TMetaClass& TStringList::StaticClass() {
  return DefineClass<TStringList>("TStringList", TStrings::StaticClass());
}

std::string TStringList::Get(int index) const {
  CheckIndex(index, Count());
  return items_[static_cast<size_t>(index)].first;
}

void TStringList::Put(int index, const std::string& s) {
  CheckIndex(index, Count());
  items_[static_cast<size_t>(index)].first = s;
  Changed();
}

TObject* TStringList::GetObject(int index) const {
  CheckIndex(index, Count());
  return items_[static_cast<size_t>(index)].second;
}

void TStringList::PutObject(int index, TObject* object) {
  CheckIndex(index, Count());
  items_[static_cast<size_t>(index)].second = object;
}

void TStringList::Insert(int index, const std::string& s) {
  CheckIndex(index, Count() + 1);
  items_.insert(items_.begin() + index, {s, nullptr});
  Changed();
}

void TStringList::Delete(int index) {
  CheckIndex(index, Count());
  items_.erase(items_.begin() + index);
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  items_.clear();
  Changed();
}

int TStringList::Compare(const std::string& a, const std::string& b) const {
  return caseSensitive_ ? a.compare(b) : CompareNoCase(a, b);
}

bool TStringList::Find(const std::string& s, int& index) const {
  int lo = 0, hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    int c = Compare(items_[static_cast<size_t>(mid)].first, s);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (duplicates_ != dupAccept) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

int TStringList::Add(const std::string& s) {
  if (!sorted_) return TStrings::Add(s);
  int index = 0;
  if (Find(s, index)) {
    if (duplicates_ == dupIgnore) return index;
    if (duplicates_ == dupError) throw EListError(Format(S::_SDuplicateName, s));
  }
  items_.insert(items_.begin() + index, {s, nullptr});
  Changed();
  return index;
}

int TStringList::IndexOf(const std::string& s) const {
  if (!sorted_) return TStrings::IndexOf(s);
  int index = 0;
  return Find(s, index) ? index : -1;
}

void TStringList::SetSorted(bool sorted) {
  if (sorted && !sorted_) {
    sorted_ = true;
    Sort();
  }
  sorted_ = sorted;
}

void TStringList::Sort() {
  std::stable_sort(items_.begin(), items_.end(),
                   [this](const auto& a, const auto& b) { return Compare(a.first, b.first) < 0; });
  Changed();
}

void TStringList::Changed() {
  if (updateCount_ == 0 && OnChange) OnChange(*this);
}

// --- collections -----------------------------------------------------------------------

const TMetaClass& TCollectionItem::StaticClass() {
  return DefineClass<TCollectionItem>("TCollectionItem", TPersistent::StaticClass());
}

TCollectionItem::~TCollectionItem() = default;

int TCollectionItem::Index() const {
  if (!collection_) return -1;
  const auto& items = collection_->items_;
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].get() == this) return static_cast<int>(i);
  return -1;
}

void TCollectionItem::SetIndex(int index) {
  int current = Index();
  if (current < 0 || index == current) return;
  auto& items = collection_->items_;
  index = std::clamp(index, 0, static_cast<int>(items.size()) - 1);
  auto item = std::move(items[static_cast<size_t>(current)]);
  items.erase(items.begin() + current);
  items.insert(items.begin() + index, std::move(item));
}

std::string TCollectionItem::DisplayName() const { return ClassName(); }

std::string TCollectionItem::GetNamePath() const {
  if (!collection_) return ClassName();
  return collection_->GetNamePath() + "[" + std::to_string(Index()) + "]";
}

TPersistent* TCollectionItem::GetOwner() const { return collection_; }

const TMetaClass& TCollection::StaticClass() {
  return DefineClass<TCollection>("TCollection", TPersistent::StaticClass());
}

TCollection::TCollection(TClass itemClass, TPersistent* owner) : itemClass_(itemClass), owner_(owner) {
  if (!itemClass_ || !itemClass_->InheritsFrom(&TCollectionItem::StaticClass()))
    itemClass_ = &TCollectionItem::StaticClass();
}

TCollection::~TCollection() = default;

TCollectionItem* TCollection::Items(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(S::_SListIndexError, index));
  return items_[static_cast<size_t>(index)].get();
}

TCollectionItem* TCollection::Add() { return Insert(Count()); }

TCollectionItem* TCollection::Insert(int index) {
  if (index < 0 || index > Count()) throw EListError(Format(S::_SListIndexError, index));
  std::unique_ptr<TObject> obj = itemClass_->CreateInstance();
  auto* item = dynamic_cast<TCollectionItem*>(obj.get());
  if (!item) throw EComponentError(Format(S::_SClassNotFound, itemClass_->ClassName()));
  obj.release();
  item->collection_ = this;
  item->id_ = nextId_++;
  items_.insert(items_.begin() + index, std::unique_ptr<TCollectionItem>(item));
  return item;
}

void TCollection::Delete(int index) {
  if (index < 0 || index >= Count()) throw EListError(Format(S::_SListIndexError, index));
  items_.erase(items_.begin() + index);
}

void TCollection::Clear() { items_.clear(); }

TCollectionItem* TCollection::FindItemID(int id) const {
  for (const auto& item : items_)
    if (item->id_ == id) return item.get();
  return nullptr;
}

void TCollection::Assign(const TPersistent* source) {
  if (const auto* other = dynamic_cast<const TCollection*>(source)) {
    BeginUpdate();
    Clear();
    for (const auto& item : other->items_) Add()->Assign(item.get());
    EndUpdate();
    return;
  }
  TPersistent::Assign(source);
}

std::string TCollection::PropName() const {
  if (!owner_) return {};
  for (PPropInfo p : owner_->ClassType().Properties()) {
    if (p->PropType->Kind != tkClass || !p->GetProc) continue;
    TPropValue v = p->GetProc(*owner_);
    if (const auto* o = std::get_if<TObject*>(&v); o && *o == this) return p->Name;
  }
  return {};
}

std::string TCollection::GetNamePath() const {
  std::string prop = PropName();
  if (!owner_ || prop.empty()) return ClassName();
  std::string ownerPath = owner_->GetNamePath();
  return ownerPath.empty() ? prop : ownerPath + "." + prop;
}

// --- class table -----------------------------------------------------------------------

namespace {

struct TClassTable {
  std::vector<TClass> Classes;
};

TClassTable& ClassTable() {
  static TClassTable table;
  return table;
}

}  // namespace

void RegisterStandardClasses();  // stdreg.cpp

void RegisterClass(TClass cls) {
  if (!cls) return;
  auto& list = ClassTable().Classes;
  for (TClass& c : list)
    if (SameText(c->ClassName(), cls->ClassName())) {
      c = cls;
      return;
    }
  list.push_back(cls);
}

void UnRegisterClass(TClass cls) { std::erase(ClassTable().Classes, cls); }

TClass GetClass(std::string_view name) {
  static const bool standard = (RegisterStandardClasses(), true);
  (void)standard;
  for (TClass c : ClassTable().Classes)
    if (SameText(c->ClassName(), name)) return c;
  return nullptr;
}

TClass FindClass(std::string_view name) {
  TClass c = GetClass(name);
  if (!c) throw EClassNotFound(Format(S::_SClassNotFound, std::string(name)));
  return c;
}

}  // namespace quintrel::vcl
