#include "platform/vcl/streaming.h"
#include "platform/vcl/textutil.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <deque>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/vcl/forms.h"
#include "platform/vcl/graphics.h"
#include "platform/vcl/menus.h"
#include "strings/vclconsts.h"

namespace quintrel::vcl {

namespace {

using rtl::Format;
namespace S = quintrel::strings;

std::pair<std::string_view, std::string_view> SplitPath(std::string_view path) {
  size_t dot = path.find('.');
  if (dot == std::string_view::npos) return {path, {}};
  return {path.substr(0, dot), path.substr(dot + 1)};
}

// --- run-time classes ------------------------------------------------------------------

// Classes made while reading streams, and the enumeration types of generic
// properties, live as long as the process: objects made from them may outlive any
// one stream.
struct TRunTimeTypes {
  std::map<std::string, std::unique_ptr<TMetaClass>> Classes;
  std::deque<TTypeInfo> Enums;
};

TRunTimeTypes& RunTimeTypes() {
  static TRunTimeTypes types;
  return types;
}

// `owner`: the generic class whose property the class serves. A nested object or a
// collection item learns its properties from the values it is given, so one made for
// TFooBar.Panels must never be the one of another class's Panels, whose Width may be a
// number where this one's is a string.
TMetaClass* RunTimeClass(const std::string& name, TClass parent, bool generic, const TMetaClass* owner = nullptr) {
  std::string key = LowerCase(name) + "|" + parent->ClassName() + (generic ? "|generic" : "");
  if (owner) key += "|" + std::to_string(reinterpret_cast<std::uintptr_t>(owner));
  auto& cls = RunTimeTypes().Classes[key];
  if (!cls) cls = TMetaClass::MakeRunTimeClass(name, parent, generic);
  return cls.get();
}

// The mutable metaclass behind a generic class.
TMetaClass* GenericClassOf(const TObject& object) {
  const TMetaClass& cls = object.ClassType();
  if (!cls.IsGeneric()) return nullptr;
  for (auto& [key, c] : RunTimeTypes().Classes)
    if (c.get() == &cls) return c.get();
  return nullptr;
}

// An enumeration whose names grow as a stream shows them.
TTypeInfo* GrowingEnum(const std::string& name) {
  auto& enums = RunTimeTypes().Enums;
  for (auto& t : enums)
    if (t.Name == name) return &t;
  TTypeInfo t;
  t.Kind = tkEnumeration;
  t.Name = name;
  t.Data.OrdType = otUByte;
  t.Data.MaxValue = -1;
  enums.push_back(std::move(t));
  enums.back().Data.BaseType = &enums.back();
  return &enums.back();
}

// The ordinal of a name; a generic property's enumeration learns names it lacks.
int64_t EnumOrdinal(PTypeInfo type, const std::string& name) {
  int64_t v = GetEnumValue(type, name);
  if (v >= 0 || !type) return v;
  auto& enums = RunTimeTypes().Enums;
  auto it = std::find_if(enums.begin(), enums.end(), [&](const TTypeInfo& t) { return &t == type; });
  if (it == enums.end()) return -1;
  TTypeInfo* growing = &*it;
  growing->Data.NameList.push_back(name);
  growing->Data.MaxValue = static_cast<int64_t>(growing->Data.NameList.size()) - 1;
  return growing->Data.MaxValue;
}


bool HasProp(const TStreamObject& o, std::initializer_list<const char*> names) {
  for (const auto& p : o.Properties)
    for (const char* n : names)
      if (SameText(p.Name, n)) return true;
  return false;
}

TClass GuessRootAncestor(const TStreamObject& o) {
  if (HasProp(o, {"Caption", "ClientHeight", "ClientWidth", "PixelsPerInch", "TextHeight", "BorderStyle",
                  "FormStyle", "Position", "Menu", "BorderIcons", "WindowState", "Icon.Data"}))
    return &TForm::StaticClass();
  if (HasProp(o, {"OldCreateOrder"})) return &TDataModule::StaticClass();
  bool controls = std::any_of(o.Children.begin(), o.Children.end(),
                              [](const TStreamObject& c) { return HasProp(c, {"Width", "Height"}); });
  if (controls) return &TFrame::StaticClass();
  return HasProp(o, {"Width", "Height"}) ? &TDataModule::StaticClass() : &TForm::StaticClass();
}

// --- values ----------------------------------------------------------------------------

bool IsBooleanType(PTypeInfo t) {
  const auto& names = (t->Data.BaseType ? t->Data.BaseType : t)->Data.NameList;
  return names.size() == 2 && names[0] == "False" && names[1] == "True";
}

void StoredProperties(const TPersistent& x, const TFilerContext& ctx, const std::string& prefix,
                      std::vector<TStreamProperty>& out, int depth = 0);

struct TFixup {
  TPersistent* Object;
  PPropInfo Prop;
  std::string Target;
  TComponent* LookupRoot;
};

class TLoader {
public:
  TLoader(const TFilerContext& ctx, TComponent* lookupRoot, TFrameFormFinder frameForms = {})
      : ctx_(ctx), lookupRoot_(lookupRoot), frameForms_(std::move(frameForms)) {}

  bool Apply(TPersistent& obj, std::string_view path, const TStreamValue& value);
  TComponent* ReadObject(const TStreamObject& o, TComponent* owner, TComponent* parent, TComponent* existing,
                         TClass rootAncestor);
  void Finish();
  void SetLookupRoot(TComponent* root) { lookupRoot_ = root; }

private:
  bool SetValue(TPersistent& obj, PPropInfo p, const TStreamValue& value);
  bool ReadCollection(TCollection& coll, const TStreamValue& value);
  PPropInfo GenericProperty(TPersistent& obj, std::string_view name, std::string_view rest, const TStreamValue& value);

  // Reads an inline frame's own form into the frame c; false when it is not known.
  bool ReadFrameForm(const TStreamObject& inlineObject, TComponent& c, TClass rootAncestor);

  const TFilerContext& ctx_;
  TComponent* lookupRoot_;
  std::vector<TFixup> fixups_;
  std::vector<TPersistent*> read_;
  std::vector<TComponent*> components_;
  TFrameFormFinder frameForms_;
  // The frame classes being built from their own forms, outermost first.
  std::vector<std::string> frameClasses_;
  // Components made from a frame's own form: the inline stream's inherited objects are
  // applied over them instead of making new ones.
  std::unordered_set<const TComponent*> inherited_;
};

TComponent* FindGlobalComponent(std::string_view name) {
  for (int i = 0; i < Screen().FormCount(); ++i)
    if (SameText(Screen().Forms(i)->Name(), name)) return Screen().Forms(i);
  for (int i = 0; i < Screen().DataModuleCount(); ++i)
    if (SameText(Screen().DataModules(i)->Name(), name)) return Screen().DataModules(i);
  return nullptr;
}

// A reference by name: a component of the root (or the root itself), else one of
// another form or data module written as Form.Component.
TComponent* ResolveReference(TComponent* root, std::string_view name) {
  if (!root) return nullptr;
  if (SameText(root->Name(), name)) return root;
  for (TComponent* r = root; r; r = r->Owner())
    if (TComponent* c = r->FindComponent(name)) return c;
  auto [head, rest] = SplitPath(name);
  if (rest.empty()) return FindGlobalComponent(name);
  TComponent* other = FindGlobalComponent(head);
  return other ? other->FindComponent(rest) : nullptr;
}

bool TLoader::SetValue(TPersistent& obj, PPropInfo p, const TStreamValue& value) {
  PTypeInfo type = p->PropType;
  switch (type->Kind) {
    case tkInteger:
    case tkInt64: {
      int64_t v = 0;
      if (value.IsInteger())
        v = value.Int;
      else if (value.Type != vaIdent || !IdentToInt(type, value.Bytes, v))
        return false;
      if (type->Kind == tkInteger && (v < type->Data.MinValue || v > type->Data.MaxValue) &&
          type->Data.MinValue < type->Data.MaxValue)
        return false;
      SetOrdProp(&obj, p, v);
      return true;
    }
    case tkChar:
    case tkWChar: {
      std::u16string w;
      if (value.IsInteger()) {
        SetOrdProp(&obj, p, value.Int);
      } else if ((value.Type == vaString || value.Type == vaLString) && value.Bytes.size() == 1) {
        SetOrdProp(&obj, p, static_cast<uint8_t>(value.Bytes[0]));
      } else if (StreamWideText(value, ctx_, w) && w.size() == 1) {
        SetOrdProp(&obj, p, type->Kind == tkChar ? static_cast<uint8_t>(ctx_.Codec.ToNarrow(w)[0]) : w[0]);
      } else {
        return false;
      }
      return true;
    }
    case tkEnumeration: {
      if (value.Type == vaFalse || value.Type == vaTrue) {
        if (!IsBooleanType(type)) return false;
        SetOrdProp(&obj, p, value.Type == vaTrue ? 1 : 0);
        return true;
      }
      if (value.Type != vaIdent) return false;
      int64_t v = EnumOrdinal(type, value.Bytes);
      if (v < 0) return false;
      SetOrdProp(&obj, p, v);
      return true;
    }
    case tkSet: {
      if (value.Type != vaSet) return false;
      uint64_t bits = 0;
      for (const auto& name : value.Names) {
        int64_t v = EnumOrdinal(type->Data.CompType, name);
        if (v < 0 || v > 63) return false;
        bits |= uint64_t{1} << v;
      }
      SetOrdProp(&obj, p, static_cast<int64_t>(bits));
      return true;
    }
    case tkFloat:
      if (value.IsFloat())
        SetFloatProp(&obj, p, value.AsFloat());
      else if (value.IsInteger())
        SetFloatProp(&obj, p, static_cast<long double>(value.Int));
      else
        return false;
      return true;
    case tkString:
    case tkLString: {
      std::string s;
      if (!StreamNarrowText(value, ctx_, s)) return false;
      SetStrProp(&obj, p, s);
      return true;
    }
    case tkWString: {
      std::u16string w;
      if (!StreamWideText(value, ctx_, w)) return false;
      SetWideStrProp(&obj, p, w);
      return true;
    }
    case tkMethod:
      if (value.Type == vaIdent)
        SetMethodProp(&obj, p, TMethod{value.Bytes});
      else if (value.Type == vaNil)
        SetMethodProp(&obj, p, TMethod{});
      else
        return false;
      return true;
    case tkClass: {
      if (p->InBag) {  // a reference to another component
        if (value.Type == vaNil) {
          SetObjectProp(&obj, p, nullptr);
          return true;
        }
        if (value.Type != vaIdent) return false;
        fixups_.push_back({&obj, p, value.Bytes, lookupRoot_});
        return true;
      }
      if (value.Type != vaCollection) return false;
      auto* coll = dynamic_cast<TCollection*>(GetObjectProp(&obj, p));
      return coll && ReadCollection(*coll, value);
    }
    default:
      return false;
  }
}

bool TLoader::ReadCollection(TCollection& coll, const TStreamValue& value) {
  coll.Clear();
  for (const auto& item : value.Items) {
    TCollectionItem* it = coll.Add();
    TStreamMemory& mem = it->EnsureStreamMemory();
    mem.Order = item.Order;
    for (const auto& prop : item.Properties) {
      mem.Properties.push_back({prop.Name, prop.Value, std::nullopt});
      Apply(*it, prop.Name, prop.Value);
    }
    read_.push_back(it);
  }
  return true;
}

// The property a generic class gets for a name its stream uses, typed from the value;
// nullptr for values that make no property (lists, binary data).
PPropInfo TLoader::GenericProperty(TPersistent& obj, std::string_view name, std::string_view rest,
                                   const TStreamValue& value) {
  TMetaClass* cls = GenericClassOf(obj);
  if (!cls) return nullptr;
  if (PPropInfo native = cls->NativeClass()->FindProperty(name)) {
    cls->ShowInherited(name);
    return native;
  }
  if (PPropInfo own = cls->FindProperty(name)) return own;
  std::string propName(name);
  if (!rest.empty()) {
    // A nested object: a string list, a picture or bitmap, a font, or a generic one.
    TClass partClass;
    if (rest == "Strings" && value.Type == vaList)
      partClass = &TStringList::StaticClass();
    else if (rest == "Data" && value.Type == vaBinary) {
      const std::string& d = value.Bytes;
      bool named = d.size() > 2 && static_cast<uint8_t>(d[0]) + 1u <= d.size() && d[1] == 'T';
      partClass = named ? &TPicture::StaticClass()
                        : (d.size() >= 4 && d.compare(0, 4, std::string("\0\0\1\0", 4)) == 0)
                              ? &TIcon::StaticClass()
                              : &TBitmap::StaticClass();
    } else if (name.size() >= 4 && SameText(name.substr(name.size() - 4), "Font")) {
      partClass = &TFont::StaticClass();
    } else {
      partClass = RunTimeClass("T" + propName, &TPersistent::StaticClass(), true, cls);
    }
    return &cls->AddBagProperty(propName, partClass->ClassInfo(), TPropValue(static_cast<TObject*>(nullptr)),
                                kNoDefault);
  }
  auto add = [&](PTypeInfo type, TPropValue initial, int64_t def = kNoDefault) {
    return &cls->AddBagProperty(propName, type, std::move(initial), def);
  };
  bool event = StartsText("On", name) && name.size() > 2;
  int64_t ident = 0;
  switch (value.Type) {
    case vaInt8:
    case vaInt16:
    case vaInt32:
      return add(StandardType("Integer"), int64_t{0}, 0);
    case vaInt64:
      return add(StandardType("Int64"), int64_t{0}, 0);
    case vaString:
    case vaLString:
      return add(StandardType("String"), std::string());
    case vaWString:
    case vaUTF8String:
      return add(StandardType("WideString"), std::u16string());
    case vaFalse:
    case vaTrue:
      return add(StandardType("Boolean"), int64_t{0}, 0);
    case vaExtended:
    case vaDouble:
      return add(StandardType("Extended"), 0.0L);
    case vaSingle:
      return add(StandardType("Single"), 0.0L);
    case vaCurrency:
      return add(StandardType("Currency"), 0.0L);
    case vaDate:
      return add(StandardType("TDateTime"), 0.0L);
    case vaNil:
      return event ? add(MethodType("TNotifyEvent"), TMethod{})
                   : add(TComponent::StaticClass().ClassInfo(), static_cast<TObject*>(nullptr));
    case vaIdent:
      if (event) return add(MethodType("TNotifyEvent"), TMethod{});
      if (IdentToInt(ColorType(), value.Bytes, ident)) return add(ColorType(), int64_t{0}, kNoDefault);
      if (IdentToInt(FontCharsetType(), value.Bytes, ident)) return add(FontCharsetType(), int64_t{0}, kNoDefault);
      if (IdentToInt(CursorType(), value.Bytes, ident)) return add(CursorType(), int64_t{0}, kNoDefault);
      return add(GrowingEnum("T" + cls->ClassName() + propName), int64_t{0}, kNoDefault);
    case vaSet: {
      TTypeInfo* element = GrowingEnum("T" + cls->ClassName() + propName + "Element");
      return add(SetType("T" + cls->ClassName() + propName, element), int64_t{0}, 0);
    }
    case vaCollection:
      return add(TCollection::StaticClass().ClassInfo(), static_cast<TObject*>(nullptr));
    default:
      return nullptr;
  }
}

bool TLoader::Apply(TPersistent& obj, std::string_view path, const TStreamValue& value) {
  auto [head, rest] = SplitPath(path);
  PPropInfo p = GetPropInfo(&obj, head);
  if (!p) p = GenericProperty(obj, head, rest, value);
  try {
    // Generic nested objects and collections are made on first use.
    if (p && p->InBag && p->PropType->Kind == tkClass && GenericClassOf(obj) &&
        p->Owner == &obj.ClassType() && (!rest.empty() || value.Type == vaCollection) &&
        !std::get<TObject*>(obj.BagValue(p))) {
      std::unique_ptr<TPersistent> part;
      if (value.Type == vaCollection && rest.empty()) {
        TClass itemClass =
            RunTimeClass("T" + std::string(head) + "Item", &TCollectionItem::StaticClass(), true, GenericClassOf(obj));
        part = std::make_unique<TCollection>(itemClass, &obj);
      } else {
        std::unique_ptr<TObject> made = p->PropType->Data.ClassType->CreateInstance();
        if (auto* persistent = dynamic_cast<TPersistent*>(made.get())) {
          made.release();
          part.reset(persistent);
        }
      }
      if (part) obj.SetBagValue(p, static_cast<TObject*>(obj.AdoptPart(std::move(part))));
    }
    if (!rest.empty()) {
      if (!p || p->PropType->Kind != tkClass) return false;
      auto* sub = dynamic_cast<TPersistent*>(GetObjectProp(&obj, p));
      if (!sub || dynamic_cast<TComponent*>(sub)) return false;
      return Apply(*sub, rest, value);
    }
    if (!p) return obj.ReadDefined(head, value, ctx_);
    if (p->InBag && p->PropType->Kind == tkClass && value.Type == vaCollection) {
      auto* coll = dynamic_cast<TCollection*>(std::get<TObject*>(obj.BagValue(p)));
      return coll && ReadCollection(*coll, value);
    }
    if (!p->SetProc && p->PropType->Kind != tkClass) return false;
    return SetValue(obj, p, value);
  } catch (const rtl::Exception&) {
    return false;  // a value the property refuses stays as it was read
  }
}

bool TLoader::ReadFrameForm(const TStreamObject& inlineObject, TComponent& c, TClass rootAncestor) {
  if (!frameForms_ || frameClasses_.size() >= static_cast<size_t>(kMaxFrameNesting)) return false;
  for (const std::string& outer : frameClasses_)
    if (SameText(outer, inlineObject.ClassName)) return false;
  const TFormStream* own = frameForms_(inlineObject.ClassName);
  if (!own) return false;
  frameClasses_.push_back(inlineObject.ClassName);
  TComponent* lookup = lookupRoot_;
  lookupRoot_ = &c;
  ReadObject(own->Root, &c, nullptr, &c, rootAncestor);
  lookupRoot_ = lookup;
  frameClasses_.pop_back();
  return true;
}

TComponent* TLoader::ReadObject(const TStreamObject& o, TComponent* owner, TComponent* parent, TComponent* existing,
                                TClass rootAncestor) {
  TComponent* c = existing;
  if (!c) {
    TClass cls = ResolveStreamClass(o, false, rootAncestor);
    std::unique_ptr<TObject> made = cls->CreateInstance();
    auto* component = dynamic_cast<TComponent*>(made.get());
    if (!component) {
      made = RunTimeClass(o.ClassName, &TComponent::StaticClass(), true)->CreateInstance();
      component = static_cast<TComponent*>(made.get());
    }
    made.release();
    component->SetNameUnchecked(o.Name);
    owner->SetState(csReading, true);
    owner->InsertComponent(std::unique_ptr<TComponent>(component));
    c = component;
  } else if (c->Name().empty()) {
    c->SetNameUnchecked(o.Name);
  }
  c->SetState(csLoading, true);
  c->SetState(csReading, true);
  if (o.Flags & ffInline) c->SetState(csInline, true);
  if (parent && !existing) c->SetParentComponent(parent);
  // o changes a component made from a frame's own form (read just now, for a new frame).
  const bool overInherited =
      existing ? inherited_.count(c) > 0 : (o.Flags & ffInline) && ReadFrameForm(o, *c, rootAncestor);
  // Inside a frame's own form every component is an inherited one of the embedding form.
  const bool fromFrameForm = !frameClasses_.empty();
  TStreamMemory& mem = c->EnsureStreamMemory();
  if (overInherited) {
    // The inline stream's values replace those of the frame's own form; what it does not
    // name stays as the frame's form has it, and is written back as such.
    mem.Flags = static_cast<uint8_t>((o.Flags & ~ffChildPos) | (c->InState(csInline) ? 0 : ffInherited));
    if (o.Position) mem.Position = o.Position;
  } else {
    components_.push_back(c);
    mem = TStreamMemory{};
    mem.ClassName = o.ClassName;
    mem.Flags = static_cast<uint8_t>((o.Flags & ~ffChildPos) | (fromFrameForm && c != lookupRoot_ ? ffInherited : 0));
    mem.Position = o.Position;
    if (fromFrameForm) inherited_.insert(c);
  }

  TComponent* lookup = lookupRoot_;
  if (o.Flags & ffInline) lookupRoot_ = c;
  for (const auto& prop : o.Properties) {
    auto same = std::find_if(mem.Properties.begin(), mem.Properties.end(),
                             [&](const TStreamedProperty& e) { return SameText(e.Path, prop.Name); });
    if (overInherited && same != mem.Properties.end())
      *same = {prop.Name, prop.Value, std::nullopt};
    else
      mem.Properties.push_back({prop.Name, prop.Value, std::nullopt});
    Apply(*c, prop.Name, prop.Value);
  }
  // Components inside an inline frame belong to the frame.
  TComponent* childOwner = (existing || (o.Flags & ffInline)) ? c : owner;
  for (const auto& child : o.Children) {
    TComponent* k = nullptr;
    if (overInherited && (child.Flags & ffInherited))
      if (TComponent* made = childOwner->FindComponent(child.Name); made && inherited_.count(made))
        k = ReadObject(child, childOwner, c, made, rootAncestor);
    if (!k) k = ReadObject(child, childOwner, c, nullptr, rootAncestor);
    if (std::find(mem.Children.begin(), mem.Children.end(), k) == mem.Children.end()) mem.Children.push_back(k);
    if (k->Owner() != c) c->FreeNotification(k);  // the owner hears of its removal anyway
  }
  lookupRoot_ = lookup;
  if (!overInherited) read_.push_back(c);
  return c;
}

void TLoader::Finish() {
  // Each lookup root's components by name, gathered once: searching the whole form for
  // each reference would cost its size times the number of references.
  std::map<TComponent*, std::unordered_map<std::string, TComponent*>> names;
  for (const auto& f : fixups_) {
    TComponent* target = nullptr;
    if (f.LookupRoot && !SameText(f.LookupRoot->Name(), f.Target)) {
      auto& index = names[f.LookupRoot];
      if (index.empty())
        for (int i = 0; i < f.LookupRoot->ComponentCount(); ++i) {
          TComponent* c = f.LookupRoot->Components(i);
          if (!c->Name().empty()) index.emplace(LowerCase(c->Name()), c);  // the first of a name, as FindComponent
        }
      if (auto it = index.find(LowerCase(f.Target)); it != index.end()) target = it->second;
    }
    if (!target) target = ResolveReference(f.LookupRoot, f.Target);
    if (target) f.Object->SetBagValue(f.Prop, static_cast<TObject*>(target));
  }
  for (TComponent* c : components_) c->Loaded();
  for (TComponent* c : components_) c->SetState(csReading, false);
  // What each object encodes to now is what "unchanged" means when it is written.
  for (auto it = read_.rbegin(); it != read_.rend(); ++it) {
    TPersistent* obj = *it;
    TStreamMemory* mem = obj->StreamMemory();
    if (!mem) continue;
    for (auto& e : mem->Properties) e.AtLoad = EncodeProperty(*obj, e.Path, &e.Original, ctx_);
  }
  // Properties the stream did not carry are written later only when they change.
  for (TPersistent* obj : read_) {
    TStreamMemory* mem = obj->StreamMemory();
    if (!mem) continue;
    std::vector<TStreamProperty> stored;
    StoredProperties(*obj, ctx_, "", stored);
    mem->Baseline.clear();
    for (auto& s : stored) {
      bool inStream = std::any_of(mem->Properties.begin(), mem->Properties.end(),
                                  [&](const TStreamedProperty& e) { return SameText(e.Path, s.Name); });
      if (!inStream) mem->Baseline.emplace_back(std::move(s.Name), std::move(s.Value));
    }
  }
}

}  // namespace

// --- encoding --------------------------------------------------------------------------

namespace {

std::vector<TStreamProperty> WriteProperties(const TPersistent& x, const TFilerContext& ctx);

std::optional<TStreamValue> EncodeReference(const TObject* target, const TPersistent& from) {
  const auto* c = dynamic_cast<const TComponent*>(target);
  if (!c || c->Name().empty()) return std::nullopt;
  // The component the reference is made from decides what is local.
  const TComponent* fromComponent = dynamic_cast<const TComponent*>(&from);
  for (const TPersistent* p = &from; !fromComponent && p; p = p->GetOwner())
    fromComponent = dynamic_cast<const TComponent*>(p);
  const TComponent* root = fromComponent ? fromComponent->Owner() : nullptr;
  if (!root && fromComponent) root = fromComponent;
  if (c == root || !c->Owner() || c->Owner() == root || (fromComponent && c->Owner() == fromComponent))
    return TStreamValue::Ident(c->Name());
  return TStreamValue::Ident(c->Owner()->Name() + "." + c->Name());
}

TStreamValue EncodeCollection(const TCollection& coll, const TFilerContext& ctx) {
  TStreamValue v;
  v.Type = vaCollection;
  for (int i = 0; i < coll.Count(); ++i) {
    const TCollectionItem* item = coll.Items(i);
    TStreamCollectionItem out;
    if (const TStreamMemory* mem = item->StreamMemory()) out.Order = mem->Order;
    out.Properties = WriteProperties(*item, ctx);
    v.Items.push_back(std::move(out));
  }
  return v;
}

TStreamValue EncodeSimple(const TPersistent& x, PPropInfo p, const TStreamValue* hint, const TFilerContext& ctx) {
  PTypeInfo type = p->PropType;
  switch (type->Kind) {
    case tkInteger:
    case tkInt64: {
      int64_t v = GetOrdProp(&x, p);
      std::string ident;
      bool numberWanted = hint && hint->IsInteger();
      if (!numberWanted && IntToIdent(type, v, ident)) return TStreamValue::Ident(ident);
      if (hint && hint->IsInteger()) return TStreamValue::IntegerOfType(hint->Type, v);
      return TStreamValue::Integer(v);
    }
    case tkChar: {
      int64_t v = GetOrdProp(&x, p);
      if (hint && hint->IsInteger()) return TStreamValue::IntegerOfType(hint->Type, v);
      return TStreamValue::String(std::string(1, static_cast<char>(v)));
    }
    case tkWChar: {
      int64_t v = GetOrdProp(&x, p);
      if (hint && hint->IsInteger()) return TStreamValue::IntegerOfType(hint->Type, v);
      std::u16string w(1, static_cast<char16_t>(v));
      if (v < 128) return TStreamValue::String(std::string(1, static_cast<char>(v)));
      return TStreamValue::WideString(w, hint && hint->Type == vaUTF8String ? vaUTF8String : vaWString);
    }
    case tkEnumeration: {
      int64_t v = GetOrdProp(&x, p);
      if (IsBooleanType(type)) return TStreamValue::Boolean(v != 0);
      std::string name = GetEnumName(type, v);
      return name.empty() ? TStreamValue::Integer(v) : TStreamValue::Ident(name);
    }
    case tkSet: {
      auto bits = static_cast<uint64_t>(GetOrdProp(&x, p));
      std::vector<std::string> names;
      for (int b = 0; b < 64; ++b)
        if (bits & (uint64_t{1} << b)) {
          std::string name = GetEnumName(type->Data.CompType, b);
          names.push_back(name.empty() ? std::to_string(b) : name);
        }
      return TStreamValue::Set(std::move(names));
    }
    case tkFloat: {
      long double v = GetFloatProp(&x, p);
      if (hint && hint->IsFloat()) {
        switch (hint->Type) {
          case vaSingle:
            return TStreamValue::Single(static_cast<float>(v));
          case vaCurrency:
            return TStreamValue::Currency(static_cast<int64_t>(std::llround(v * 10000.0L)));
          case vaDouble:
          case vaDate:
            return TStreamValue::Float8(hint->Type, static_cast<double>(v));
          default:
            return TStreamValue::Extended(v);
        }
      }
      if (type->Data.FloatType == ftSingle) return TStreamValue::Single(static_cast<float>(v));
      if (type->Data.FloatType == ftCurr) return TStreamValue::Currency(static_cast<int64_t>(std::llround(v * 10000.0L)));
      return TStreamValue::Extended(v);
    }
    case tkString:
    case tkLString: {
      std::string s = GetStrProp(&x, p);
      if (hint && (hint->Type == vaWString || hint->Type == vaUTF8String))
        return TStreamValue::WideString(ctx.Codec.ToWide(s), hint->Type);
      return TStreamValue::String(std::move(s));
    }
    case tkWString: {
      std::u16string w = GetWideStrProp(&x, p);
      if (hint && (hint->Type == vaString || hint->Type == vaLString) &&
          std::all_of(w.begin(), w.end(), [](char16_t c) { return c < 128; }))
        return TStreamValue::String(std::string(w.begin(), w.end()));
      return TStreamValue::WideString(std::move(w), hint && hint->Type == vaUTF8String ? vaUTF8String : vaWString);
    }
    case tkMethod: {
      TMethod m = GetMethodProp(&x, p);
      return m.IsAssigned() ? TStreamValue::Ident(m.Name) : TStreamValue::Simple(vaNil);
    }
    default:
      return TStreamValue::Simple(vaNil);
  }
}

bool Covered(const std::vector<TStreamProperty>& props, std::string_view path) {
  return std::any_of(props.begin(), props.end(), [&](const TStreamProperty& p) { return SameText(p.Name, path); });
}

// The stored properties of an object as a writer made from scratch would write them.
void StoredProperties(const TPersistent& x, const TFilerContext& ctx, const std::string& prefix,
                      std::vector<TStreamProperty>& out, int depth) {
  if (depth > 16) return;
  for (PPropInfo p : x.ClassType().Properties()) {
    if (!p->Stored || !p->GetProc) continue;
    if (p->StoredProc && !p->StoredProc(x)) continue;
    std::string path = prefix + p->Name;
    if (p->PropType->Kind == tkClass) {
      TObject* o = GetObjectProp(&x, p);
      if (!o) continue;
      if (p->InBag && !dynamic_cast<TCollection*>(o) && dynamic_cast<TComponent*>(o)) {
        if (auto ref = EncodeReference(o, x)) out.push_back({path, *ref});
        continue;
      }
      if (const auto* coll = dynamic_cast<const TCollection*>(o)) {
        if (coll->Count() > 0) out.push_back({path, EncodeCollection(*coll, ctx)});
        continue;
      }
      if (const auto* nested = dynamic_cast<const TPersistent*>(o); nested && !dynamic_cast<const TComponent*>(o)) {
        StoredProperties(*nested, ctx, path + ".", out, depth + 1);
        for (const auto& d : nested->DefinedNames())
          if (auto v = nested->WriteDefined(d, nullptr, ctx)) out.push_back({path + "." + d, *v});
      }
      continue;
    }
    if (IsDefaultPropValue(&x, p)) continue;
    out.push_back({path, EncodeSimple(x, p, nullptr, ctx)});
  }
  if (prefix.empty())
    for (const auto& d : x.DefinedNames())
      if (auto v = x.WriteDefined(d, nullptr, ctx)) out.push_back({d, *v});
}

TStreamValue MergeList(const TStreamValue& now, const TStreamValue& atLoad, const TStreamValue& original) {
  if (now.Type != vaList || atLoad.Type != vaList || original.Type != vaList || now.List.size() != atLoad.List.size() ||
      now.List.size() != original.List.size())
    return now;
  TStreamValue merged = now;
  for (size_t i = 0; i < now.List.size(); ++i)
    if (now.List[i] == atLoad.List[i]) merged.List[i] = original.List[i];
  return merged;
}

std::vector<TStreamProperty> WriteProperties(const TPersistent& x, const TFilerContext& ctx) {
  std::vector<TStreamProperty> out;
  const TStreamMemory* mem = x.StreamMemory();
  if (mem) {
    for (const auto& e : mem->Properties) {
      if (!e.AtLoad) {  // unknown to the model: as it was read
        out.push_back({e.Path, e.Original});
        continue;
      }
      std::optional<TStreamValue> now = EncodeProperty(x, e.Path, &e.Original, ctx);
      if (!now) continue;  // the value went away (a reference to a removed component)
      if (*now == *e.AtLoad)
        out.push_back({e.Path, e.Original});
      else
        out.push_back({e.Path, MergeList(*now, *e.AtLoad, e.Original)});
    }
  }
  std::vector<TStreamProperty> stored;
  StoredProperties(x, ctx, "", stored);
  for (auto& s : stored) {
    if (Covered(out, s.Name)) continue;
    if (mem) {
      auto base = std::find_if(mem->Baseline.begin(), mem->Baseline.end(),
                               [&](const auto& b) { return SameText(b.first, s.Name); });
      if (base != mem->Baseline.end() && base->second == s.Value) continue;
    }
    out.push_back(std::move(s));
  }
  return out;
}

TStreamObject WriteObject(const TComponent& c, const TComponent* root, const TFilerContext& ctx, int depth) {
  TStreamObject o;
  const TStreamMemory* mem = c.StreamMemory();
  o.ClassName = c.ClassName();
  o.Name = c.Name();
  if (mem) {
    // Class names compare case-insensitively; the stream's spelling is kept.
    if (SameText(mem->ClassName, o.ClassName)) o.ClassName = mem->ClassName;
    o.Flags = mem->Flags;
    o.Position = mem->Position;
    if (o.Position) o.Flags |= ffChildPos;
  } else if (c.InState(csInline)) {
    o.Flags = ffInline;
  }
  o.Properties = WriteProperties(c, ctx);
  if (depth > 200) return o;
  const TComponent* childRoot = (&c == root || (o.Flags & ffInline)) ? &c : root;
  std::vector<TComponent*> children;
  if (mem) children = mem->Children;
  // Components made after loading join where the runtime library's writer puts them;
  // those read from the stream stay where the stream had them.
  c.GetChildren(
      [&](TComponent* k) {
        if (!k->StreamMemory() && std::find(children.begin(), children.end(), k) == children.end())
          children.push_back(k);
      },
      const_cast<TComponent*>(childRoot));
  // Menu items go in the menu's live order, so that a menu reordered at run time (a main
  // menu mirrored for a right-to-left language) is written as it now stands. Reading
  // adds items in stream order, so an untouched menu keeps the stream's. Only the places
  // items held are reordered: a child that is no item of the menu (a component of a class
  // unknown here) keeps its own place among them.
  const TMenuItem* list = nullptr;
  if (const auto* menu = dynamic_cast<const TMenu*>(&c)) list = menu->Items();
  if (const auto* item = dynamic_cast<const TMenuItem*>(&c)) list = item;
  if (list) {
    std::vector<size_t> places;
    std::vector<std::pair<int, TComponent*>> items;
    for (size_t i = 0; i < children.size(); ++i) {
      const auto* item = dynamic_cast<const TMenuItem*>(children[i]);
      const int index = item ? list->IndexOf(item) : -1;
      if (index < 0) continue;
      places.push_back(i);
      items.emplace_back(index, children[i]);
    }
    std::stable_sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t n = 0; n < places.size(); ++n) children[places[n]] = items[n].second;
  }
  for (TComponent* k : children) o.Children.push_back(WriteObject(*k, childRoot, ctx, depth + 1));
  return o;
}

}  // namespace

std::optional<TStreamValue> EncodeProperty(const TPersistent& x, std::string_view path, const TStreamValue* hint,
                                           const TFilerContext& ctx) {
  auto [head, rest] = SplitPath(path);
  PPropInfo p = GetPropInfo(&x, head);
  if (!rest.empty()) {
    if (!p || p->PropType->Kind != tkClass) return std::nullopt;
    const auto* sub = dynamic_cast<const TPersistent*>(GetObjectProp(&x, p));
    if (!sub || dynamic_cast<const TComponent*>(sub)) return std::nullopt;
    return EncodeProperty(*sub, rest, hint, ctx);
  }
  if (!p) return x.WriteDefined(head, hint, ctx);
  if (!p->GetProc) return std::nullopt;
  if (p->PropType->Kind == tkClass) {
    TObject* o = GetObjectProp(&x, p);
    if (const auto* coll = dynamic_cast<const TCollection*>(o)) return EncodeCollection(*coll, ctx);
    if (p->InBag) return EncodeReference(o, x);
    return std::nullopt;
  }
  return EncodeSimple(x, p, hint, ctx);
}

bool ApplyProperty(TPersistent& object, std::string_view path, const TStreamValue& value, const TFilerContext& context) {
  auto* component = dynamic_cast<TComponent*>(&object);
  TComponent* root = component ? (component->Owner() ? component->Owner() : component) : nullptr;
  TLoader loader(context, root);
  bool ok = loader.Apply(object, path, value);
  loader.Finish();
  return ok;
}

TClass ResolveStreamClass(const TStreamObject& object, bool isRoot, TClass rootAncestor) {
  if (TClass c = GetClass(object.ClassName); c && c->InheritsFrom(&TComponent::StaticClass())) return c;
  if (isRoot) return RunTimeClass(object.ClassName, rootAncestor ? rootAncestor : GuessRootAncestor(object), false);
  if (object.Flags & ffInline) return RunTimeClass(object.ClassName, &TFrame::StaticClass(), false);
  bool visual = HasProp(object, {"Width", "Height"});
  return RunTimeClass(object.ClassName, visual ? &TWinControl::StaticClass() : &TComponent::StaticClass(), true);
}

std::unique_ptr<TComponent> ReadComponent(const TFormStream& form, const TReadOptions& options) {
  TClass cls = ResolveStreamClass(form.Root, true, options.RootAncestor);
  std::unique_ptr<TObject> made = cls->CreateInstance();
  auto* component = dynamic_cast<TComponent*>(made.get());
  if (!component) throw EClassNotFound(Format(S::_SClassNotFound, form.Root.ClassName));
  made.release();
  std::unique_ptr<TComponent> root(component);
  ReadComponentInto(*root, form, options);
  return root;
}

void ReadComponentInto(TComponent& root, const TFormStream& form, const TReadOptions& options) {
  TLoader loader(options.Context, &root, options.FrameForms);
  root.SetState(csReading, true);
  loader.ReadObject(form.Root, &root, nullptr, &root, options.RootAncestor);
  root.EnsureStreamMemory().Context = options.Context;
  loader.Finish();
}

TFormStream WriteComponent(const TComponent& root, const TFormStream* like, const TFilerContext* contextOrNull) {
  TFilerContext fallback;
  const TStreamMemory* rootMemory = root.StreamMemory();
  const TFilerContext& context = contextOrNull                             ? *contextOrNull
                                 : (rootMemory && rootMemory->Context) ? *rootMemory->Context
                                                                       : fallback;
  TFormStream form;
  if (like) {
    form.Notation = like->Notation;
    form.Header = like->Header;
    form.Trailer = like->Trailer;
    form.LineBreak = like->LineBreak;
    form.FloatStyle = like->FloatStyle;
    form.WideStringType = like->WideStringType;
    form.Utf8Text = like->Utf8Text;
  } else {
    form.Notation = TFormNotation::fnText;
    form.Trailer = form.LineBreak;
  }
  form.Root = WriteObject(root, &root, context, 0);
  return form;
}

std::unique_ptr<TComponent> LoadComponentFile(const std::string& fileName, TFormStream* form,
                                              const TReadOptions& options) {
  TFormStream stream = LoadFormFile(fileName);
  std::unique_ptr<TComponent> root = ReadComponent(stream, options);
  if (form) *form = std::move(stream);
  return root;
}

std::string WriteComponentBytes(const TComponent& root, const TFormStream& like) {
  TFormStream out = WriteComponent(root, &like);
  return out.Notation == TFormNotation::fnBinary ? WriteBinaryForm(out) : WriteTextForm(out);
}

}  // namespace quintrel::vcl
