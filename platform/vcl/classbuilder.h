// Declaring classes and their published properties (for the .cpp files of the model).
//
//   const TMetaClass& TLabel::StaticClass() {
//     return DefineClass<TLabel>("TLabel", TGraphicControl::StaticClass(), [](auto& b) {
//       b.Str("Caption", CaptionType(), &TLabel::Caption, &TLabel::SetCaption);
//       b.Bag("WordWrap", StandardType("Boolean"), 0);
//     });
//   }
//
// Member properties go through the class's accessor functions; bag properties keep
// their value in the instance and need no field.
#pragma once

#include <type_traits>

#include "platform/vcl/typinfo.h"

namespace quintrel::vcl {

template <class T>
class TClassBuilder {
public:
  explicit TClassBuilder(TMetaClass& cls) : cls_(cls) {}

  // An ordinal (integer, char, enumeration, set as bit mask) through accessors.
  template <class C, class G, class V>
  TClassBuilder& Ord(std::string name, PTypeInfo type, G (C::*get)() const, void (C::*set)(V),
                     int64_t def = kNoDefault) {
    static_assert(std::is_base_of_v<C, T>);
    TPropInfo p = Make(std::move(name), type, def);
    p.GetProc = [get](const TObject& o) { return TPropValue(static_cast<int64_t>((Self<C>(o).*get)())); };
    if (set)
      p.SetProc = [set](TObject& o, const TPropValue& v) {
        (Self<C>(o).*set)(static_cast<std::decay_t<V>>(std::get<int64_t>(v)));
      };
    last_ = &cls_.AddProperty(std::move(p));
    return *this;
  }
  template <class C, class G>
  TClassBuilder& OrdReadOnly(std::string name, PTypeInfo type, G (C::*get)() const) {
    return Ord<C, G, G>(std::move(name), type, get, nullptr);
  }

  // A narrow string through accessors.
  template <class C, class G>
  TClassBuilder& Str(std::string name, PTypeInfo type, G (C::*get)() const, void (C::*set)(const std::string&)) {
    static_assert(std::is_base_of_v<C, T>);
    TPropInfo p = Make(std::move(name), type, kNoDefault);
    p.GetProc = [get](const TObject& o) { return TPropValue(std::string((Self<C>(o).*get)())); };
    if (set) p.SetProc = [set](TObject& o, const TPropValue& v) { (Self<C>(o).*set)(std::get<std::string>(v)); };
    last_ = &cls_.AddProperty(std::move(p));
    return *this;
  }

  // A float through accessors.
  template <class C, class G, class V>
  TClassBuilder& Float(std::string name, PTypeInfo type, G (C::*get)() const, void (C::*set)(V)) {
    static_assert(std::is_base_of_v<C, T>);
    TPropInfo p = Make(std::move(name), type, kNoDefault);
    p.GetProc = [get](const TObject& o) { return TPropValue(static_cast<long double>((Self<C>(o).*get)())); };
    if (set)
      p.SetProc = [set](TObject& o, const TPropValue& v) {
        (Self<C>(o).*set)(static_cast<std::decay_t<V>>(std::get<long double>(v)));
      };
    last_ = &cls_.AddProperty(std::move(p));
    return *this;
  }

  // An object owned by the instance (a font, a string list, a collection): the setter
  // copies into it with Assign.
  template <class C, class O>
  TClassBuilder& Obj(std::string name, O* (C::*get)() const) {
    static_assert(std::is_base_of_v<C, T>);
    TPropInfo p = Make(std::move(name), O::StaticClass().ClassInfo(), kNoDefault);
    p.GetProc = [get](const TObject& o) { return TPropValue(static_cast<TObject*>((Self<C>(o).*get)())); };
    p.SetProc = [get](TObject& o, const TPropValue& v) {
      O* target = (Self<C>(o).*get)();
      auto* source = dynamic_cast<const TPersistent*>(std::get<TObject*>(v));
      if (target) target->Assign(source);
    };
    last_ = &cls_.AddProperty(std::move(p));
    return *this;
  }

  // Bag properties: ordinal, float, string, wide string, a reference to a component of
  // class `refClass`, an event.
  TClassBuilder& Bag(std::string name, PTypeInfo type, int64_t def) {
    last_ = &cls_.AddBagProperty(std::move(name), type, TPropValue(def), def);
    return *this;
  }
  TClassBuilder& BagNoDefault(std::string name, PTypeInfo type, int64_t initial) {
    last_ = &cls_.AddBagProperty(std::move(name), type, TPropValue(initial), kNoDefault);
    return *this;
  }
  TClassBuilder& BagFloat(std::string name, PTypeInfo type, long double initial = 0) {
    last_ = &cls_.AddBagProperty(std::move(name), type, TPropValue(initial), kNoDefault);
    return *this;
  }
  TClassBuilder& BagStr(std::string name, PTypeInfo type = StandardType("String")) {
    last_ = &cls_.AddBagProperty(std::move(name), type, TPropValue(std::string()), kNoDefault);
    return *this;
  }
  TClassBuilder& BagWide(std::string name) {
    last_ = &cls_.AddBagProperty(std::move(name), StandardType("WideString"), TPropValue(std::u16string()),
                                 kNoDefault);
    return *this;
  }
  TClassBuilder& BagRef(std::string name, const TMetaClass& refClass) {
    last_ = &cls_.AddBagProperty(std::move(name), refClass.ClassInfo(), TPropValue(static_cast<TObject*>(nullptr)),
                                 kNoDefault);
    return *this;
  }
  TClassBuilder& Event(std::string name, const char* type = "TNotifyEvent") {
    last_ = &cls_.AddBagProperty(std::move(name), MethodType(type), TPropValue(TMethod{}), kNoDefault);
    return *this;
  }
  // Several events of the same type at once.
  TClassBuilder& Events(std::initializer_list<const char*> names, const char* type = "TNotifyEvent") {
    for (const char* n : names) Event(n, type);
    return *this;
  }

  // The last property is never written to a stream.
  TClassBuilder& NotStored() {
    if (last_) last_->Stored = false;
    return *this;
  }
  // The last property is written only while `test` holds.
  template <class C>
  TClassBuilder& StoredWhen(bool (C::*test)() const) {
    static_assert(std::is_base_of_v<C, T>);
    if (last_) last_->StoredProc = [test](const TObject& o) { return (Self<C>(o).*test)(); };
    return *this;
  }
  // Redeclares an inherited property with another default.
  TClassBuilder& Default(std::string_view name, int64_t def) {
    PPropInfo inherited = cls_.ClassParent() ? cls_.ClassParent()->FindProperty(name) : nullptr;
    if (!inherited) return *this;
    TPropInfo p = *inherited;
    p.Default = def;
    if (p.InBag) p.BagDefault = def;
    last_ = &cls_.AddProperty(std::move(p));
    if (last_->InBag) {
      // A bag property keeps its slot: the redeclared one reads and writes the same value.
      last_->GetProc = [inherited, def](const TObject& o) {
        const TPropValue& v = o.BagValue(inherited);
        return &v == &inherited->BagDefault ? TPropValue(def) : v;
      };
      last_->SetProc = [inherited](TObject& o, const TPropValue& v) { o.SetBagValue(inherited, v); };
    }
    return *this;
  }

private:
  template <class C>
  static C& Self(TObject& o) {
    return static_cast<C&>(o);
  }
  template <class C>
  static const C& Self(const TObject& o) {
    return static_cast<const C&>(o);
  }
  TPropInfo Make(std::string name, PTypeInfo type, int64_t def) {
    TPropInfo p;
    p.Name = std::move(name);
    p.PropType = type;
    p.Default = def;
    return p;
  }

  TMetaClass& cls_;
  TPropInfo* last_ = nullptr;
};

// The metaclass of T, built once. Abstract classes get no factory.
template <class T, class Declare>
const TMetaClass& DefineClass(const char* name, const TMetaClass& parent, Declare declare) {
  static TMetaClass* cls = [&] {
    TMetaClass::TFactory factory;
    if constexpr (!std::is_abstract_v<T> && std::is_default_constructible_v<T>)
      factory = [] { return std::unique_ptr<TObject>(std::make_unique<T>()); };
    static TMetaClass storage(name, &parent, std::move(factory));
    TClassBuilder<T> builder(storage);
    declare(builder);
    return &storage;
  }();
  return *cls;
}

template <class T>
const TMetaClass& DefineClass(const char* name, const TMetaClass& parent) {
  return DefineClass<T>(name, parent, [](TClassBuilder<T>&) {});
}

}  // namespace quintrel::vcl
