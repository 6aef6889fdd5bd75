// Run-time type information: classes with names, ancestors and tables of published
// properties, the types those properties have, and the operations that read and write
// properties by name.
//
// Every class of the component model has one TMetaClass. Its table lists the published
// properties the class adds to its ancestor's, each with a type (kind, name, ordinal
// range, enumeration names, set element type, class) and an accessor pair; a property
// without a setter is read-only. Values travel as TPropValue: ordinals (integers, chars,
// enumerations, sets as bit masks) as int64_t, floats as long double, narrow strings as
// bytes in the current code page, wide strings as UTF-16, objects as pointers, events
// as the name of their handler.
//
// Classes met only in form streams (third-party components, the form classes of a
// project) get metaclasses at run time: a derived class that adds no properties of its
// own, or a generic class whose properties are made up from the values a stream carries.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/rtl/sysutils.h"

namespace quintrel::vcl {

// A property of the wrong kind, a read-only one, or one that does not exist.
class EPropertyError : public rtl::Exception {
public:
  using rtl::Exception::Exception;
};

enum TTypeKind : uint8_t {
  tkUnknown, tkInteger, tkChar, tkEnumeration, tkFloat, tkString, tkSet, tkClass, tkMethod,
  tkWChar, tkLString, tkWString, tkVariant, tkArray, tkRecord, tkInterface, tkInt64, tkDynArray
};
enum TOrdType : uint8_t { otSByte, otUByte, otSWord, otUWord, otSLong, otULong };
enum TFloatType : uint8_t { ftSingle, ftDouble, ftExtended, ftComp, ftCurr };

class TObject;
class TMetaClass;
class TPersistent;
using TClass = const TMetaClass*;
struct TTypeInfo;
using PTypeInfo = const TTypeInfo*;

struct TTypeData {
  TOrdType OrdType = otSLong;
  int64_t MinValue = 0;  // ordinal range
  int64_t MaxValue = 0;
  PTypeInfo BaseType = nullptr;        // enumerations: the type the names belong to
  std::vector<std::string> NameList;   // enumerations: the name of each ordinal
  PTypeInfo CompType = nullptr;        // sets: the element type
  TFloatType FloatType = ftExtended;
  TClass ClassType = nullptr;          // classes
  int MaxLength = 255;                 // short strings
};

struct TTypeInfo {
  TTypeKind Kind = tkUnknown;
  std::string Name;
  TTypeData Data;
};

// An event property's value: the name of the method that handles it, as streamed.
struct TMethod {
  std::string Name;
  bool IsAssigned() const { return !Name.empty(); }
  friend bool operator==(const TMethod&, const TMethod&) = default;
};

using TPropValue = std::variant<int64_t, long double, std::string, std::u16string, TObject*, TMethod>;
using TPropGetter = std::function<TPropValue(const TObject&)>;
using TPropSetter = std::function<void(TObject&, const TPropValue&)>;

// No default: an ordinal property so marked is always stored.
constexpr int64_t kNoDefault = INT64_MIN;

struct TPropInfo {
  PTypeInfo PropType = nullptr;
  std::string Name;
  TPropGetter GetProc;
  TPropSetter SetProc;          // empty: read-only
  int64_t Default = kNoDefault; // ordinals: the value that is not stored
  bool Stored = true;           // false: never written to a stream
  // When set, the property is written only while it returns true.
  std::function<bool(const TObject&)> StoredProc;
  TClass Owner = nullptr;       // the class that declared it
  // A bag property keeps its value in the instance (TObject::BagValue) and has no
  // field of its own; BagDefault is its value until set.
  bool InBag = false;
  TPropValue BagDefault;
};
using PPropInfo = const TPropInfo*;

// The metaclass: what "class of" names in the runtime library.
class TMetaClass {
public:
  using TFactory = std::function<std::unique_ptr<TObject>()>;

  TMetaClass(std::string name, TClass parent, TFactory factory);
  TMetaClass(const TMetaClass&) = delete;
  TMetaClass& operator=(const TMetaClass&) = delete;

  const std::string& ClassName() const { return name_; }
  TClass ClassParent() const { return parent_; }
  bool InheritsFrom(TClass ancestor) const;
  // By name, case-insensitively, through the whole ancestry.
  bool InheritsFrom(std::string_view ancestorName) const;
  // The class's own type information (kind tkClass).
  PTypeInfo ClassInfo() const { return &typeInfo_; }
  // The nearest class with compiled code: itself, or the ancestor a run-time class
  // derives from.
  TClass NativeClass() const;
  bool IsRunTimeClass() const { return runTime_; }
  bool IsGeneric() const { return generic_; }

  // Published properties, the ancestors' first, in declaration order. Built once and
  // kept until a property is declared or shown anywhere: listing and writing every
  // component of a form asks for it each time.
  std::vector<PPropInfo> Properties() const;
  const std::deque<TPropInfo>& OwnProperties() const { return props_; }
  // Case-insensitive lookup through the ancestry.
  PPropInfo FindProperty(std::string_view name) const;

  // A new instance; a run-time class creates its native class's object and stamps it.
  std::unique_ptr<TObject> CreateInstance() const;

  // Declaration of properties, while the class is built. A property with the name of
  // an inherited one redeclares it (a new default, say) in its place.
  TPropInfo& AddProperty(TPropInfo info);
  TPropInfo& AddBagProperty(std::string name, PTypeInfo type, TPropValue defaultValue, int64_t ordDefault);

  // A run-time class: derived from `parent` without own compiled code. A generic one
  // publishes only the inherited properties named by ShowInherited and the ones added.
  static std::unique_ptr<TMetaClass> MakeRunTimeClass(std::string name, TClass parent, bool generic);
  void ShowInherited(std::string_view name);
  bool ShowsInherited(std::string_view name) const;

private:
  std::string name_;
  TClass parent_;
  TFactory factory_;
  TTypeInfo typeInfo_;
  std::deque<TPropInfo> props_;
  bool runTime_ = false;
  bool generic_ = false;
  std::vector<std::string> shownInherited_;
  mutable std::mutex cacheLock_;
  mutable std::vector<PPropInfo> properties_;
  mutable uint64_t propertiesAt_ = 0;  // the declaration count they were built at; 0: never
};

// The root of every class with run-time type information.
class TObject {
public:
  virtual ~TObject() = default;
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;

  const TMetaClass& ClassType() const { return runTimeClass_ ? *runTimeClass_ : NativeClassType(); }
  const std::string& ClassName() const { return ClassType().ClassName(); }
  bool InheritsFrom(TClass ancestor) const { return ClassType().InheritsFrom(ancestor); }
  bool InheritsFrom(std::string_view ancestorName) const { return ClassType().InheritsFrom(ancestorName); }
  static const TMetaClass& StaticClass();

  // Values of bag properties (declared without a field of their own).
  const TPropValue& BagValue(PPropInfo prop) const;
  void SetBagValue(PPropInfo prop, TPropValue value);
  // Sets every bag property that refers to target to nil.
  void ClearBagReferences(const TObject* target);

protected:
  virtual const TMetaClass& NativeClassType() const { return StaticClass(); }
  // Called when a bag property is set to an object, so that a holder of references can
  // ask to hear when it goes.
  virtual void ReferenceStored(TObject* target) { (void)target; }

private:
  friend class TMetaClass;
  const TMetaClass* runTimeClass_ = nullptr;
  std::vector<std::pair<PPropInfo, TPropValue>> bag_;
};

// Declares the metaclass accessors of a class with compiled code.
#define QUINTREL_CLASS(Name)                                                   \
public:                                                                        \
  static const ::quintrel::vcl::TMetaClass& StaticClass();                     \
                                                                               \
protected:                                                                     \
  const ::quintrel::vcl::TMetaClass& NativeClassType() const override { return StaticClass(); } \
                                                                               \
public:

// --- types -----------------------------------------------------------------------------

// Types of the standard library: Integer, Cardinal, SmallInt, Word, Byte, ShortInt,
// Int64, Char, WideChar, Boolean, Extended, Double, Single, Currency, TDateTime,
// String (long string), ShortString, WideString.
PTypeInfo StandardType(std::string_view name);
// Declares a type once; later calls with the same name return the first declaration.
PTypeInfo EnumType(std::string name, std::vector<std::string> names);
PTypeInfo SetType(std::string name, PTypeInfo elementType);
PTypeInfo IntegerType(std::string name, int64_t minValue = INT32_MIN, int64_t maxValue = INT32_MAX);
PTypeInfo StringType(std::string name);  // a named long-string type such as TCaption
PTypeInfo MethodType(std::string name);  // an event type such as TNotifyEvent
PTypeInfo NamedFloatType(std::string name, TFloatType floatType);  // TDate, TTime
PTypeInfo FindType(std::string_view name);

const TTypeData* GetTypeData(PTypeInfo typeInfo);

// --- TypInfo operations ----------------------------------------------------------------

PPropInfo GetPropInfo(TClass cls, std::string_view propName);
PPropInfo GetPropInfo(PTypeInfo classInfo, std::string_view propName);
PPropInfo GetPropInfo(const TObject* instance, std::string_view propName);
std::vector<PPropInfo> GetPropList(TClass cls);
bool IsPublishedProp(const TObject* instance, std::string_view propName);
bool IsWritableProp(PPropInfo propInfo);
TTypeKind PropType(const TObject* instance, std::string_view propName);

// The operations raise EPropertyError on a property of the wrong kind, a read-only
// property and (the by-name forms) an unknown name.
int64_t GetOrdProp(const TObject* instance, PPropInfo propInfo);
void SetOrdProp(TObject* instance, PPropInfo propInfo, int64_t value);
std::string GetStrProp(const TObject* instance, PPropInfo propInfo);
void SetStrProp(TObject* instance, PPropInfo propInfo, const std::string& value);
std::u16string GetWideStrProp(const TObject* instance, PPropInfo propInfo);
void SetWideStrProp(TObject* instance, PPropInfo propInfo, const std::u16string& value);
long double GetFloatProp(const TObject* instance, PPropInfo propInfo);
void SetFloatProp(TObject* instance, PPropInfo propInfo, long double value);
TObject* GetObjectProp(const TObject* instance, PPropInfo propInfo);
void SetObjectProp(TObject* instance, PPropInfo propInfo, TObject* value);
TMethod GetMethodProp(const TObject* instance, PPropInfo propInfo);
void SetMethodProp(TObject* instance, PPropInfo propInfo, const TMethod& value);
int64_t GetInt64Prop(const TObject* instance, PPropInfo propInfo);

int64_t GetOrdProp(const TObject* instance, std::string_view propName);
void SetOrdProp(TObject* instance, std::string_view propName, int64_t value);
std::string GetStrProp(const TObject* instance, std::string_view propName);
void SetStrProp(TObject* instance, std::string_view propName, const std::string& value);
long double GetFloatProp(const TObject* instance, std::string_view propName);
void SetFloatProp(TObject* instance, std::string_view propName, long double value);
TObject* GetObjectProp(const TObject* instance, std::string_view propName);

// Enumeration names: GetEnumName gives "" for an ordinal outside the type;
// GetEnumValue is case-insensitive and gives -1 for an unknown name.
std::string GetEnumName(PTypeInfo typeInfo, int64_t value);
int64_t GetEnumValue(PTypeInfo typeInfo, std::string_view name);
// A set property as "[a,b]" (or "a,b" without brackets), and back.
std::string SetToString(PPropInfo propInfo, int64_t value, bool brackets = true);
int64_t StringToSet(PPropInfo propInfo, std::string_view value);

// The property's value is its default, which a stream writer does not store.
bool IsDefaultPropValue(const TObject* instance, PPropInfo propInfo);
// Whether a stream writer stores the property: declared stored, its stored-when test
// passes, and its value is not the default.
bool IsStoredProp(const TObject* instance, PPropInfo propInfo);

// Identifiers for values of an integer type (clRed for a TColor, DEFAULT_CHARSET for a
// TFontCharset), used where such values are streamed or shown.
struct TIdentMapEntry {
  int64_t Value;
  const char* Name;
};
void RegisterIntegerConsts(PTypeInfo type, std::vector<TIdentMapEntry> map);
// Case-insensitive; false when the type has no such identifier.
bool IdentToInt(PTypeInfo type, std::string_view ident, int64_t& value);
bool IntToIdent(PTypeInfo type, int64_t value, std::string& ident);

}  // namespace quintrel::vcl
