// The persistent object model: TPersistent, components with owners and names, string
// lists, collections, and the class table form streams create objects from.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/vcl/charsets.h"
#include "platform/vcl/filer.h"
#include "platform/vcl/typinfo.h"

namespace quintrel::vcl {

class EComponentError : public rtl::Exception {
public:
  using rtl::Exception::Exception;
};
// An index outside a list or collection.
class EListError : public rtl::Exception {
public:
  using rtl::Exception::Exception;
};
class EClassNotFound : public EFilerError {
public:
  using EFilerError::EFilerError;
};
// Assign between classes that cannot take each other's content.
class EConvertError : public rtl::EConvertError {
public:
  using rtl::EConvertError::EConvertError;
};

class TComponent;
struct TStreamMemory;

// What the filer needs while it converts between stream values and live values.
struct TFilerContext {
  // Narrow string properties meet wide stream strings through this code page.
  TTextCodec Codec = AnsiCodec();
};

// A string value of a stream as narrow text in the context's code page (8-bit strings as
// they are) or as wide text; false for values that are no strings.
bool StreamNarrowText(const TStreamValue& value, const TFilerContext& ctx, std::string& out);
bool StreamWideText(const TStreamValue& value, const TFilerContext& ctx, std::u16string& out);

class TPersistent : public TObject {
  QUINTREL_CLASS(TPersistent)
  TPersistent();
  ~TPersistent() override;

  // Copies another object's content; raises EConvertError when the classes do not fit.
  virtual void Assign(const TPersistent* source);
  virtual TPersistent* GetOwner() const { return nullptr; }
  // The path the object is known by in a property editor: Form1.Button1.Font.
  virtual std::string GetNamePath() const;

  // Properties the class streams itself besides its published ones (the "Strings" of a
  // string list, the "Data" of a graphic). ReadDefined returns false for a name it does
  // not know or a value it cannot take; DefinedNames lists what WriteDefined would
  // write now.
  virtual bool ReadDefined(std::string_view name, const TStreamValue& value, const TFilerContext& ctx);
  virtual std::vector<std::string> DefinedNames() const { return {}; }
  virtual std::optional<TStreamValue> WriteDefined(std::string_view name, const TStreamValue* hint,
                                                   const TFilerContext& ctx) const;

  // What the object was read with, so that writing it back keeps every property as it
  // was; nullptr for objects that were not read from a stream.
  TStreamMemory* StreamMemory() const { return memory_.get(); }
  TStreamMemory& EnsureStreamMemory();
  void ForgetStreamMemory();

  // Objects this one owns without a field for them: the nested objects of a generic
  // component, made up while its stream is read.
  TPersistent* AdoptPart(std::unique_ptr<TPersistent> part);

protected:
  virtual void AssignTo(TPersistent* dest) const;

private:
  std::unique_ptr<TStreamMemory> memory_;
  std::vector<std::unique_ptr<TPersistent>> parts_;
};

enum TOperation { opInsert, opRemove };

// Component states.
enum TComponentStateFlag : uint32_t {
  csLoading = 0x01,
  csReading = 0x02,
  csWriting = 0x04,
  csDestroying = 0x08,
  csDesigning = 0x10,
  csInline = 0x20,
};

class TComponent : public TPersistent {
  QUINTREL_CLASS(TComponent)
  TComponent();
  ~TComponent() override;

  const std::string& Name() const { return name_; }
  // Raises EComponentError for a name that is not an identifier or that another
  // component of the same owner has.
  virtual void SetName(const std::string& name);
  TComponent* Owner() const { return owner_; }
  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }
  uint32_t ComponentState() const { return state_; }
  bool InState(TComponentStateFlag flag) const { return (state_ & flag) != 0; }
  void SetState(TComponentStateFlag flag, bool on) { state_ = on ? (state_ | flag) : (state_ & ~flag); }
  // True while this component or one of its owners is being destroyed: it is going too,
  // so keeping its layout up to date is wasted work.
  bool BeingDestroyed() const;

  // Owned components, in the order they were inserted.
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const;
  int ComponentIndex() const;
  // Case-insensitive; nullptr when none.
  TComponent* FindComponent(std::string_view name) const;

  // Takes ownership; the component leaves its previous owner.
  TComponent* InsertComponent(std::unique_ptr<TComponent> component);
  std::unique_ptr<TComponent> RemoveComponent(TComponent* component);
  // Creates a component of class T owned by this one.
  template <class T>
  T* Add(const std::string& name = {}) {
    auto obj = std::make_unique<T>();
    T* raw = obj.get();
    InsertComponent(std::move(obj));
    if (!name.empty()) raw->SetName(name);
    return raw;
  }
  // Destroys an owned component.
  void DestroyComponent(TComponent* component);
  void DestroyComponents();

  // The component a stream nests this one under (a control's parent, a menu item's
  // menu); HasParent says whether such a relation exists for the class.
  virtual bool HasParent() const { return false; }
  virtual TComponent* GetParentComponent() const { return nullptr; }
  virtual void SetParentComponent(TComponent* parent) { (void)parent; }
  // The components a stream writes nested under this one, in stream order.
  virtual void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) const;

  // Called on every component of a loaded stream once all are read.
  virtual void Loaded();
  // Told about components inserted into or removed from this one, and about the removal
  // of a component it asked to hear about (FreeNotification); clears references to a
  // removed one.
  virtual void Notification(TComponent* component, TOperation operation);
  // Asks that this component be told (Notification with opRemove) when `component`
  // leaves its owner, whichever owners the two have. The request holds both ways and
  // ends when either is destroyed. A published reference (a bag property) asks by
  // itself; whoever keeps a component in a list of its own asks explicitly. A removal
  // tells only the owner and these, so tearing down a form costs as much as its size.
  void FreeNotification(TComponent* component);

  // The design position of a non-visual component (stream properties Left and Top).
  int32_t DesignInfo() const { return designInfo_; }
  void SetDesignInfo(int32_t info) { designInfo_ = info; }

  std::string GetNamePath() const override;
  TPersistent* GetOwner() const override { return owner_; }
  bool ReadDefined(std::string_view name, const TStreamValue& value, const TFilerContext& ctx) override;
  std::vector<std::string> DefinedNames() const override;
  std::optional<TStreamValue> WriteDefined(std::string_view name, const TStreamValue* hint,
                                           const TFilerContext& ctx) const override;

  // Sets the name without the checks of SetName (a stream may carry any name).
  void SetNameUnchecked(const std::string& name) { name_ = name; }

protected:
  void ReferenceStored(TObject* target) override;

private:
  void NotifyTree(TComponent* component, TOperation operation);

  std::string name_;
  TComponent* owner_ = nullptr;
  std::vector<std::unique_ptr<TComponent>> components_;
  int tag_ = 0;
  uint32_t state_ = 0;
  int32_t designInfo_ = 0;
  // Created on the first request: most components are never asked about.
  std::unique_ptr<std::unordered_set<TComponent*>> freeNotifies_;
};

bool IsValidIdent(std::string_view name);

// --- string lists ----------------------------------------------------------------------

class TStrings : public TPersistent {
  QUINTREL_CLASS(TStrings)
  virtual int Count() const = 0;
  virtual std::string Get(int index) const = 0;
  virtual void Put(int index, const std::string& s);
  virtual TObject* GetObject(int index) const;
  virtual void PutObject(int index, TObject* object);
  virtual void Insert(int index, const std::string& s) = 0;
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;

  std::string Strings(int index) const { return Get(index); }
  std::string operator[](int index) const { return Get(index); }
  virtual int Add(const std::string& s);
  int AddObject(const std::string& s, TObject* object);
  void AddStrings(const TStrings& strings);
  virtual int IndexOf(const std::string& s) const;
  int IndexOfName(const std::string& name) const;
  std::string Names(int index) const;
  std::string Values(const std::string& name) const;
  // Lines joined by CR LF, each followed by one.
  std::string Text() const;
  void SetText(std::string_view text);
  std::string CommaText() const;
  void SetCommaText(std::string_view text);
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate() { --updateCount_; }
  bool Equals(const TStrings& other) const;

  void Assign(const TPersistent* source) override;
  bool ReadDefined(std::string_view name, const TStreamValue& value, const TFilerContext& ctx) override;
  std::vector<std::string> DefinedNames() const override;
  std::optional<TStreamValue> WriteDefined(std::string_view name, const TStreamValue* hint,
                                           const TFilerContext& ctx) const override;

protected:
  void CheckIndex(int index, int limit) const;
  int updateCount_ = 0;
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList : public TStrings {
  QUINTREL_CLASS(TStringList)
  int Count() const override { return static_cast<int>(items_.size()); }
  std::string Get(int index) const override;
  void Put(int index, const std::string& s) override;
  TObject* GetObject(int index) const override;
  void PutObject(int index, TObject* object) override;
  void Insert(int index, const std::string& s) override;
  void Delete(int index) override;
  void Clear() override;
  int Add(const std::string& s) override;
  int IndexOf(const std::string& s) const override;

  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates d) { duplicates_ = d; }
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool on) { caseSensitive_ = on; }
  void Sort();
  // Binary search of a sorted list; false with the insertion point when absent.
  bool Find(const std::string& s, int& index) const;
  std::function<void(TStringList&)> OnChange;

private:
  int Compare(const std::string& a, const std::string& b) const;
  void Changed();
  std::vector<std::pair<std::string, TObject*>> items_;
  bool sorted_ = false;
  bool caseSensitive_ = false;
  TDuplicates duplicates_ = dupIgnore;
};

// --- collections -----------------------------------------------------------------------

class TCollection;

class TCollectionItem : public TPersistent {
  QUINTREL_CLASS(TCollectionItem)
  ~TCollectionItem() override;
  TCollection* Collection() const { return collection_; }
  int Index() const;
  void SetIndex(int index);
  int ID() const { return id_; }
  virtual std::string DisplayName() const;
  std::string GetNamePath() const override;
  TPersistent* GetOwner() const override;

private:
  friend class TCollection;
  TCollection* collection_ = nullptr;
  int id_ = 0;
};

class TCollection : public TPersistent {
  QUINTREL_CLASS(TCollection)
  // itemClass must derive from TCollectionItem.
  explicit TCollection(TClass itemClass = &TCollectionItem::StaticClass(), TPersistent* owner = nullptr);
  ~TCollection() override;

  TClass ItemClass() const { return itemClass_; }
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EListError for an index outside the collection.
  TCollectionItem* Items(int index) const;
  TCollectionItem* Add();
  TCollectionItem* Insert(int index);
  void Delete(int index);
  void Clear();
  TCollectionItem* FindItemID(int id) const;
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate() { --updateCount_; }
  void Assign(const TPersistent* source) override;
  TPersistent* GetOwner() const override { return owner_; }
  std::string GetNamePath() const override;
  // The property name the owner publishes this collection under.
  std::string PropName() const;

private:
  friend class TCollectionItem;
  TClass itemClass_;
  TPersistent* owner_;
  std::vector<std::unique_ptr<TCollectionItem>> items_;
  int nextId_ = 0;
  int updateCount_ = 0;
};

// --- the class table -------------------------------------------------------------------

void RegisterClass(TClass cls);
void UnRegisterClass(TClass cls);
// Registered classes by name (case-insensitive): GetClass gives nullptr when the name
// is unknown, FindClass raises EClassNotFound. The standard classes of the model are
// always registered.
TClass GetClass(std::string_view name);
TClass FindClass(std::string_view name);

}  // namespace quintrel::vcl
