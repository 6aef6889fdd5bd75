// TZod: the one gateway to language modules. It keeps the ordered list of open modules
// (each a record database on a ".zod" file), addressed everywhere by their position in
// that list, the module index (-1: none), and gives typed access to what a module holds:
// named properties, the module settings, the version record and the languages
// (module/languages.h). GlobalZOD() is the instance every other part of the system uses.
//
// Module identity. A module's name is its file name without folder, cut to 12 characters;
// two files whose names agree there, ignoring case, are the same module: registering the
// second returns the first's index.
//
// Permanent registration. The per-user registry key "Software\Talvorine", section "ZOD",
// holds the values "0" to "19", each the full path of one module file or empty for a free
// place. GlobalZOD() opens those modules again when it is created.
//
// Properties. A module's table "Properties" ("Properties Name B Data B", field 1 indexed
// unique) maps a name (bytes, no terminator) to a value (any bytes). The table is added by
// the first SetProperty. docs/formats/module.md lists every property.
//
// Errors. Ordinary outcomes are boolean, 0, -1 or the setting's default; a bad module
// index is one of them for most operations. GetModuleName, IsModulePermanent,
// GetModuleInterface and Begin/EndModuleUpdate take the module from the list without a
// check and raise EListError for a bad index. Faults of the file itself come from the
// record database as its exceptions.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "module/languages.h"
#include "module/objects.h"
#include "module/terms.h"
#include "platform/rtl/classes.h"
#include "platform/rtl/dateutils.h"
#include "storage/vardbs.h"

namespace quintrel::module {

constexpr int kMaxModules = 20;
constexpr int kMaxPermanentModules = 20;
constexpr int kModuleNameLength = 12;
// The format version of modules created now; a module below it (or without one) is old.
constexpr int32_t kZodVersion = 110;

inline constexpr const char* kRegistryKey = "Software\\Talvorine";
inline constexpr const char* kRegistrySection = "ZOD";
inline constexpr const char* kPropertiesTable = "Properties";
inline constexpr const char* kPropertiesDefinition = " Name B Data B";

// Property names.
inline constexpr const char* kPropDateCreated = "DateCreated";
inline constexpr const char* kPropZodVer = "ZodVer";
inline constexpr const char* kPropVersionInfo = "VersionInfo";
inline constexpr const char* kPropDesignTimeLanguage = "ZodDesignTimeLanguage";
inline constexpr const char* kPropRunTimeLanguage = "ZodRunTimeLanguage";
inline constexpr const char* kPropSwitchResStr = "ZodSwitchResStr";  // followed by the kind's digit
inline constexpr const char* kPropGetWin32Locale = "ZodGetWin32Locale";
inline constexpr const char* kPropShowLangList = "ZodShowLangList";
inline constexpr const char* kPropSaveSessionLanguage = "ZodSaveSessionLanguage";
inline constexpr const char* kPropUseOriginalIfUntranslated = "ZodUseOriginalIfUntranslated";
inline constexpr const char* kPropStatusAutoInclude = "ZodStatusAutoInclude";
inline constexpr const char* kPropAutoIncludes = "ZodAutoIncludes";
inline constexpr const char* kPropLanguage = "ZodLanguage";
inline constexpr const char* kPropLangCode = "ZodLangCode";
inline constexpr const char* kPropCountry = "ZodCountry";

// Kinds of GetSwitchResStr / SetSwitchResStr.
constexpr int kSwitchResourceStrings = 0;  // resource-string constants of the sources
constexpr int kSwitchScriptStrings = 1;    // string tables of resource scripts

// A module index taken from the list without a check.
class EListError : public rtl::Exception {
public:
  explicit EListError(int index);
};

// A table of a module (properties, objects, terms) whose fields differ from those the
// module layer writes: the module's records are read by these types and lengths, so such
// a table is refused rather than read.
class EZodLayout : public rtl::Exception {
public:
  using rtl::Exception::Exception;
};

// The field list (after the table name) the module layer defines for a table of this name
// ("Properties", "ZodObj" and the older "ZodObjXXXX", "ZodTerms" and two bytes); empty for
// a table it does not define.
std::string_view ModuleTableDefinition(std::string_view tableName);
// Raises EZodLayout, naming the file and the table, when a table the module layer defines
// lacks one of its fields or holds one with another type or length. Other fields and
// tables are left to their users.
void CheckModuleTable(storage::TCustomVarDB& db, int table);

// Holds a module database's lock for one operation, so that what it reads and writes is
// one step for every other process sharing the file. Locks nest; an exclusive one is a
// write transaction, committed when it ends and rolled back when an exception ends it.
using TModuleLock = storage::TDbLock;

// The version record (276 bytes as stored, then the attached data).
struct TZodVersion {
  static constexpr size_t kSize = 276;
  // Caller-defined content, stored and returned as it is.
  std::array<uint8_t, 256> HeaderText{};
  // SetVersion: the password that protects the record (its CRC is stored), and the one
  // that must match when the stored record is protected. nullopt: none.
  std::optional<std::u16string> Password;
  // GetVersion: whether the stored record is protected (its password field is nonzero).
  bool Protected = false;
  uint16_t PasswordCRC = 0;
  std::array<uint8_t, 6> Reserved{};
  // The attached data; nullopt stores none (276 bytes in all).
  std::optional<std::vector<uint8_t>> Data;
  // SetVersion: remove the record instead of writing it.
  bool Remove = false;
};

// The password CRC: CRC-16/MODBUS over the password's UTF-16 little-endian units.
uint16_t PasswordCRC(const std::optional<std::u16string>& password);

// The module name of a file: its name without folder, cut to 12 characters.
std::string ModuleNameOf(std::string_view fileName);
// Whether two files are the same module (names equal ignoring case).
bool SameModuleName(std::string_view a, std::string_view b);

// The permanent registrations: the 20 values "0".."19" of the registry (empty for free).
std::array<std::string, kMaxPermanentModules> GetPermanentModules();
// Empties the first value naming the module of fileName; false when none does.
bool RemovePermanentModule(std::string_view fileName);

class TZod {
public:
  enum class TStart {
    OpenPermanent,  // re-open the permanently registered modules
    Empty,          // start with no module (tools that work on one file)
  };
  explicit TZod(TStart start = TStart::OpenPermanent);
  ~TZod();
  TZod(const TZod&) = delete;
  TZod& operator=(const TZod&) = delete;

  // --- module list ---------------------------------------------------------------------
  int GetModuleCount() const { return static_cast<int>(modules_.size()); }
  // Copies the name (at most 12 characters and a 0) into a buffer of at least 13 bytes.
  bool GetModuleName(int index, char* buffer) const;
  std::string GetModuleName(int index) const;
  bool IsModulePermanent(int index) const;
  void BeginModuleUpdate(int index);
  void EndModuleUpdate(int index);
  storage::TCustomVarDB& GetModuleInterface(int index);
  // Opens the module of fileName (or finds it open) and returns its index; -1 when the
  // file does not exist, or when 20 modules are open and it is not one of them. A file
  // that exists but cannot be opened as a database still takes a place in the list (an
  // empty database in memory); one whose module tables have another layout raises
  // EZodLayout and is not opened. With permanent, the path goes into the first free registry
  // value unless a value names the module already. The password is not used.
  // With rtl::fmOpenRead the file is opened for reading only: nothing that reads it
  // changes it, and a write raises the storage layer's write error naming the file.
  int RegisterModule(const std::string& fileName, bool permanent, const std::string& password = "",
                     uint16_t mode = rtl::fmOpenReadWrite);
  // Closes the module; later modules move down by one. With removePermanent the first
  // registry value naming it is emptied. False for a bad index.
  bool UnRegisterModule(int index, bool removePermanent);
  // Creates (or replaces) the file as an empty module, registers it, and sets its
  // "DateCreated" to now and "ZodVer" to 110. The index, or -1 when the file cannot be
  // created or no place is free.
  int NewModule(const std::string& fileName);
  // Swaps the module with the one before it (index >= 1).
  bool MoveModuleUp(int index);
  int64_t GetModuleSize(int index);
  // "DateCreated"; 0 when missing.
  rtl::TDateTime GetDateCreated(int index);
  // "ZodVer"; 0 when missing.
  int32_t GetZodVersion(int index);

  // --- properties ----------------------------------------------------------------------
  // Two-call form: size := the stored length; the bytes are copied when data is given
  // (the buffer must hold size bytes). False (size 0) when the module or property is
  // missing.
  bool GetProperty(int index, std::string_view name, void* data, int32_t& size);
  std::optional<std::vector<uint8_t>> GetProperty(int index, std::string_view name);
  // Writes the property; size < 1 deletes it. False for a bad index or an empty name.
  bool SetProperty(std::string_view name, const void* data, int index, int32_t size);
  // The names of all properties in table order.
  std::vector<std::string> GetPropertyNames(int index);

  // --- version record --------------------------------------------------------------------
  bool GetVersion(int index, TZodVersion& version);
  // False (nothing changes) when the stored record is protected and the password does not
  // match.
  bool SetVersion(int index, const TZodVersion& version);

  // --- settings (each getter gives the default when the property is missing) ------------
  TLanguageId GetDesignTimeLanguage(int index);
  bool SetDesignTimeLanguage(int index, TLanguageId language);
  TLanguageId GetDefaultLanguage(int index);
  bool SetDefaultLanguage(int index, TLanguageId language);
  bool GetSwitchResStr(int index, int kind);
  bool SetSwitchResStr(int index, int kind, bool value);
  bool GetWin32Locale(int index);
  bool SetWin32Locale(int index, bool value);
  bool GetShowLangList(int index);
  bool SetShowLangList(int index, bool value);
  bool GetSaveSessionLanguage(int index);
  bool SetSaveSessionLanguage(int index, bool value);
  bool GetUseOriginalIfUntranslated(int index);
  bool SetUseOriginalIfUntranslated(int index, bool value);
  bool GetAutoIncludeStatus(int index);
  bool SetAutoIncludeStatus(int index, bool value);
  // Two-call form: returns the stored size and copies the text when a buffer is given.
  int32_t GetAutoIncludes(int index, char* buffer);
  std::string GetAutoIncludes(int index);
  bool SetAutoIncludes(int index, int32_t size, const char* text);

  // The language the user sees: the one set for the session, else the language of the
  // user's locale (when the module asks for it), else the default language, falling back
  // to the design-time language when that is not one of the module's languages.
  TLanguageId GetCurrentLanguage(int index);
  // Sets the session's language (0 when index is -1).
  void SetCurrentLanguage(int index, TLanguageId language);

  // --- languages (languages.cpp) -------------------------------------------------------
  // Fills the record of the identifier given in it.
  bool GetLanguage(int module, TZodLanguage& language);
  // Adds or replaces the language (it moves to the front), or removes it when its
  // PrimaryLanguage is kRemoveMarker.
  bool SetLanguage(int module, const TZodLanguage& language);
  // The distinct identifiers in stored order and, when names is given, their names.
  int GetLanguageList(int module, std::vector<TLanguageId>& ids, std::vector<TZodText>* names = nullptr);
  // Clears strings and fills it in one update with the languages' names (as bytes of
  // charset 0) and identifiers.
  void GetLangList(int module, TLangStrings& strings);
  // GetLangList of GlobalZOD().
  void RefreshLangList(int module, TLangStrings& strings);
  // The first of "00", "01", ... "FF" that is no language of the module; "??" when all are.
  TLanguageId GetFreeLanguageID(int module);
  // The language's charset; 0 when missing.
  uint8_t GetCharsetOfLanguage(int module, TLanguageId language);
  // The entries of the packed value's walk, for reporting damage.
  TPackedList GetPackedList(int module, std::string_view property);

  bool GetLangCode(int module, TZodLangCode& code);
  bool SetLangCode(int module, const TZodLangCode& code);
  // A negative module gathers the codes of every open module in list order, skipping
  // codes seen before.
  int GetLangCodeList(int module, std::vector<uint16_t>& codes, std::vector<TZodText>* texts = nullptr);

  // A module >= 0 searches that module; a negative value v searches every open module
  // except the one at index -1 - v, in list order.
  bool GetCountry(int module, TZodCountry& country);
  bool SetCountry(int module, const TZodCountry& country);
  // A negative module gathers every open module's countries, as GetLangCodeList.
  int GetCountryList(int module, std::vector<uint16_t>& codes, std::vector<TZodText>* names = nullptr);

  // --- terms (terms.cpp, records in module/terms.h) -------------------------------------
  // False for a bad module index or when the language has no term table or no such term.
  // ETermIndex when the index leads to a record of another identifier. Two-call form:
  // without Data, Size receives the text's byte size; with Data, Size is the buffer's size
  // on entry, at most that many bytes are copied, and Size receives the text's size again
  // (larger than the buffer when the term grew between the calls: the text was cut).
  bool GetTerm(int module, TZodTerm& term);
  // Adds the language's table on first use. EListError for a bad module index.
  bool SetTerm(int module, const TZodTerm& term);
  // Packs all terms of the language in table order (see kPackedTermHeader) into buffer,
  // or only counts without one; the total byte count, 0 without a table.
  int32_t GetTerms(int module, TLanguageId language, uint8_t* buffer);
  std::vector<uint8_t> GetTerms(int module, TLanguageId language);
  bool RemoveTerm(int module, const TZodTerm& term);
  uint32_t GetNewTermID(int module);
  void RemoveTerms(int module, TLanguageId language);
  // Rebuilds the Ident index of the language's table; false without one.
  bool PackTerms(int module, TLanguageId language);
  // Removes, in every language of the module, the terms no object of a catalogued form
  // uses; comments stay. The count removed per language goes to removed when given.
  // Returns false, as callers of old expect.
  bool RemoveOldTerms(int module, std::vector<std::pair<TLanguageId, int32_t>>* removed = nullptr);
  // The text (length in units) of a translated term, else with fallback and
  // "ZodUseOriginalIfUntranslated" the design-time language's text, else 0. With a buffer
  // (length + 1 units) the text and a 0 unit are written.
  int32_t GetLongStringW(int module, uint32_t ident, TLanguageId language, char16_t* buffer, bool fallback);
  std::u16string GetLongStringW(int module, uint32_t ident, TLanguageId language, bool fallback);
  // The same text as bytes of a charset. A call without buffer counts and keeps the text
  // in the long-string cache; the following call with a buffer (count + 1 bytes) converts
  // the cached text, adds a 0 byte and releases the cache.
  int32_t GetLongString(int module, uint32_t ident, TLanguageId language, int32_t charset, char* buffer,
                        bool fallback);
  // The comment of an object (term ident of kCommentLanguage); the two-call form as above.
  int32_t GetCommentW(int module, uint32_t ident, char16_t* buffer);
  // An empty text leaves an existing comment unchanged.
  bool SetCommentW(int module, uint32_t ident, std::u16string_view text);
  // Indexes (on) or stops indexing (off) the texts of the language's table and the term
  // identifiers of the object table; false without either table.
  bool SetDictionary(int module, TLanguageId language, bool on);
  bool IsLanguageDictionary(int module, TLanguageId language);
  // Looks for an object whose text in fromLanguage is source and whose class is zodClass
  // (any class with kTranslateAnyClass in flags) in the open modules in list order, and
  // gives its text in toLanguage: the length in units with the text and a 0 unit in dest,
  // or -1 (dest untouched) when no module has one.
  int32_t TranslateW(std::u16string_view source, char16_t* dest, TLanguageId fromLanguage, TLanguageId toLanguage,
                     uint8_t zodClass, int flags);
  std::optional<std::u16string> TranslateW(std::u16string_view source, TLanguageId fromLanguage,
                                           TLanguageId toLanguage, uint8_t zodClass, int flags);

  // --- object catalogue (objects.cpp, records in module/objects.h) -----------------------
  // Registers the names that are new (catalogue lines with fresh identifiers) and adds a
  // new object; returns its identifier. Each call adds an object (FindObject first). An
  // empty compName is the form itself: the object's CompName is 0.
  uint32_t AddObject(int module, std::string_view formName, std::string_view compName, std::string_view propName,
                     uint8_t kind, uint8_t zodClass);
  // The same for an object of a source unit, whose component field holds a number, the
  // string's identifier in the executable's string table (0 = not known yet).
  uint32_t AddUnitObject(int module, std::string_view unitName, uint32_t resourceId, std::string_view propName,
                         uint8_t kind, uint8_t zodClass);
  // Writes or adds the object and puts it on its form's list; PropertyName 0 deletes it.
  bool SetObject(int module, const TZodObject& object);
  // Reads the object object.Ident (older modules: from the table of object.FormID).
  bool GetObject(int module, TZodObject& object);
  // The object of the same form, component and property; 0 when none.
  uint32_t FindObject(int module, const TZodObject& object);
  // Two-call form: the number of identifiers on the form's list; with a buffer of that
  // many elements the objects found, in list order, the rest zeroed.
  int32_t GetObjects(int module, uint16_t form, TZodObject* buffer);
  std::vector<TZodObject> GetObjects(int module, uint16_t form);
  // Replaces every object of the form of the first element by the given ones.
  bool SetObjects(int module, int32_t count, const TZodObject* objects);
  void RemoveObjects(int module, uint16_t form);
  int32_t GetObjectCount(int module);
  void SetObjIdent(int module, uint16_t form, uint32_t ident);
  void RemoveObjIdent(int module, uint16_t form, uint32_t ident);
  uint16_t GetFormOfObjectID(int module, uint32_t ident);
  bool RemoveForm(int module, uint16_t form);
  uint32_t GetNewObjectID(int module);
  uint16_t GetNewFormID(int module);
  uint32_t GetNewCompID(int module);
  uint16_t GetNewPropID(int module);
  // The catalogue texts, two-call form as GetAutoIncludes.
  TCatalogueList GetForms(int module) { return CatalogueText(module, kPropForms); }
  TCatalogueList GetComps(int module) { return CatalogueText(module, kPropComps); }
  TCatalogueList GetProps(int module) { return CatalogueText(module, kPropObjectProperties); }
  bool SetForms(int module, const TCatalogueList& list) { return SetCatalogueText(module, kPropForms, list); }
  bool SetComps(int module, const TCatalogueList& list) { return SetCatalogueText(module, kPropComps, list); }
  bool SetProps(int module, const TCatalogueList& list) {
    return SetCatalogueText(module, kPropObjectProperties, list);
  }
  // The module's auto-include list, or the default list when it has none.
  std::vector<std::string> GetAutoIncludeList(int module);

private:
  // A catalogue text split into lines, kept while the module is unchanged: adding an object
  // looks up three names, and a large module's form list has thousands of lines, so reading
  // and splitting it for every object would make building a module quadratic. It is valid
  // for the engine state it was read at (engine, catalogue and ChangeCount), or to the end
  // of the table update it was read in (objects.cpp says why); every write of the property
  // through SetProperty drops it.
  struct TCatalogueCache {
    struct THash {
      using is_transparent = void;
      size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    uint64_t Engine = 0, Generation = 0;
    int32_t Stamp = 0;
    TCatalogueList Lines;
    // Name to identifier of the first line naming it; valid only while every line holds at
    // most one space, so that a name can only be found as a whole line's name.
    std::unordered_map<std::string, uint32_t, THash, std::equal_to<>> Ids;
    bool Indexed = true;
    // Takes in one more line at the end.
    void Add(const std::string& line);
    // IdOfName's answer for the lines.
    uint32_t IdOf(std::string_view name) const;
    // Whether it was read at the state the engine is in now (the caller holds the lock),
    // and keying it to that state.
    bool Holds(storage::TCustomVarDB& db) const;
    void KeyTo(const storage::TCustomVarDB& db);
  };

  // The identifier lists of forms changed in the table update under way, written once at
  // its end instead of once per object (objects.cpp).
  struct TKeptIdents;
  struct TKeptList;

  struct TModule {
    std::string Name;  // module name: file name without folder, at most 12 characters
    std::unique_ptr<storage::TCustomVarDB> Db;
    std::unordered_map<std::string, TCatalogueCache, TCatalogueCache::THash, std::equal_to<>> Catalogues;
    // Shared with the work the engine runs at the update's end, which may outlive the entry.
    std::shared_ptr<TKeptIdents> KeptIdents;
  };

  bool ValidIndex(int index) const { return index >= 0 && index < GetModuleCount(); }
  TModule& At(int index);
  const TModule& At(int index) const;
  bool GetBoolSetting(int index, std::string_view name, bool defaultValue);
  bool SetBoolSetting(int index, std::string_view name, bool value);
  TLanguageId GetLanguageSetting(int index, std::string_view name);
  bool SetLanguageSetting(int index, std::string_view name, TLanguageId language);
  // Reads a packed property and rebuilds it with `first` (may be empty) in front of every
  // stored entry whose id differs, under the module's write lock.
  bool RebuildPacked(int module, std::string_view property, TPackedList (*walk)(std::span<const uint8_t>),
                     uint16_t id, const std::vector<uint8_t>& first);

  // The wide text of a term: status and UTF-16 bytes; nullopt when missing.
  struct TTermText {
    uint8_t Status = 0;
    std::vector<uint8_t> Data;
  };
  std::optional<TTermText> ReadTerm(int module, TLanguageId language, uint32_t ident);
  std::optional<std::u16string> LongText(int module, uint32_t ident, TLanguageId language, bool fallback);

  TCatalogueList CatalogueText(int module, std::string_view property);
  // The catalogue text of the property, split and indexed; the reference holds until the
  // next call that writes the module. The caller holds the module's lock.
  const TCatalogueCache& CachedCatalogue(int module, std::string_view property);
  bool SetCatalogueText(int module, std::string_view property, const TCatalogueList& list);
  uint32_t NextId(int module, std::string_view counter, int size, uint32_t first, uint32_t last);
  // The catalogue identifier of name, a fresh line when the name is new.
  uint32_t CatalogueId(int module, std::string_view property, std::string_view name, bool form, bool comp);
  std::vector<uint32_t> ObjIdents(int module, uint16_t form);
  // The form's list kept back in the update under way; null when none is.
  TKeptList* KeptIdentList(int module, uint16_t form);
  // Stores a form's changed list: kept for the end of the update under way (wait), or
  // written now (removed when empty).
  void StoreIdents(int module, uint16_t form, std::vector<uint32_t> ids, bool wait);
  // The kept list of a property name as its stored bytes would be; nullopt when none is kept.
  std::optional<std::vector<uint8_t>> KeptIdentBytes(int module, std::string_view property);
  // Drops the kept list of a property name written directly.
  void ForgetKeptIdents(int module, std::string_view property);
  // Writes (or, given no bytes, removes) a property; the caller holds the exclusive lock.
  static bool WriteProperty(storage::TCustomVarDB& db, std::string_view name, const void* data, int32_t size);

  TLanguageId currentLanguage_ = 0;
  // The text of the last counting GetLongString, until the converting call.
  std::optional<std::u16string> longStringCache_;
  std::vector<TModule> modules_;
};

// The instance every part of the system uses, created (and the permanent modules opened)
// at its first use and destroyed at the end of the process.
TZod& GlobalZOD();

}  // namespace quintrel::module
