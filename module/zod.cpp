#include "module/zod.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/rtl/registry.h"
#include "platform/win32/codepage.h"
#include "storage/coding.h"
#include "strings/qconsts.h"
#include "text/codepages.h"

namespace quintrel::module {

namespace qs = quintrel::strings;
using storage::TCustomVarDB;
using storage::TFindRec;

EListError::EListError(int index) : rtl::Exception(rtl::Format(qs::_SListIndexError, index)) {}

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Registry values that hold one module path each.
std::string SlotName(int slot) { return std::to_string(slot); }

// Fills the first free registry value with fileName unless a value names its module
// already. Another process may take the same free value at the same time; the value is
// only taken while it is still empty, and otherwise the search starts again.
void AddPermanentModule(const std::string& fileName) {
  rtl::TRegIniFile reg(kRegistryKey);
  for (int attempt = 0; attempt < kMaxPermanentModules; ++attempt) {
    std::array<std::string, kMaxPermanentModules> slots = GetPermanentModules();
    int free = -1;
    for (int i = 0; i < kMaxPermanentModules && free < 0; ++i) {
      if (slots[i].empty()) {
        free = i;
      } else if (SameModuleName(ModuleNameOf(slots[i]), ModuleNameOf(fileName))) {
        return;
      }
    }
    if (free < 0) return;
    if (reg.ReplaceString(kRegistrySection, SlotName(free), "", fileName)) return;
  }
}

// A table name as text: bytes outside printable ASCII (a term table's language identifier
// may hold any) as \xNN.
std::string PrintableName(std::string_view name) {
  std::string text;
  for (char c : name) {
    auto byte = static_cast<uint8_t>(c);
    text += byte >= 0x20 && byte < 0x7F ? std::string(1, c) : "\\x" + rtl::IntToHex(byte, 2);
  }
  return text;
}

// A field's type as a definition writes it: the letter, and the length when it is not 1.
std::string TypeText(char type, int32_t length) {
  return std::string(1, type) + (length != 1 ? std::to_string(length) : std::string());
}

}  // namespace

std::string_view ModuleTableDefinition(std::string_view tableName) {
  const std::string_view objects = kObjTable, terms = kTermTablePrefix;
  if (tableName == kPropertiesTable) return kPropertiesDefinition;
  if (tableName == objects) return kObjTableDefinition;
  if (tableName.size() == objects.size() + 4 && tableName.starts_with(objects) &&
      std::all_of(tableName.begin() + 6, tableName.end(), [](char c) { return std::isxdigit(static_cast<uint8_t>(c)); }))
    return kObjTableDefinition;
  if (tableName.size() == terms.size() + 2 && tableName.starts_with(terms)) return kTermTableDefinition;
  return {};
}

void CheckModuleTable(TCustomVarDB& db, int table) {
  const std::string name = db.Table(table).Header.TableName;
  std::string_view definition = ModuleTableDefinition(name);
  auto refuse = [&](const std::string& what) {
    throw EZodLayout(rtl::Format(qs::_SModuleTableLayout, db.FileName(), PrintableName(name), what));
  };
  // The definition is pairs of a field name and its type letter with an optional length.
  std::vector<std::string_view> tokens;
  for (size_t at = 0; at < definition.size();) {
    size_t end = std::min(definition.find(' ', at), definition.size());
    if (end > at) tokens.push_back(definition.substr(at, end - at));
    at = end + 1;
  }
  for (size_t i = 0; i + 1 < tokens.size(); i += 2) {
    std::string field(tokens[i]);
    char type = tokens[i + 1][0];
    int32_t length = tokens[i + 1].size() > 1 ? std::stoi(std::string(tokens[i + 1].substr(1))) : 1;
    int nr = db.GetFieldNr(table, field);
    if (nr < 0) refuse(rtl::Format(qs::_SModuleFieldMissing, field));
    const storage::TFieldHeader& stored = db.Table(table).Fields.at(static_cast<size_t>(nr));
    if (stored.FieldType != type || stored.FieldLength != length)
      refuse(rtl::Format(qs::_SModuleFieldType, field, TypeText(stored.FieldType, stored.FieldLength),
                         TypeText(type, length)));
  }
}

uint16_t PasswordCRC(const std::optional<std::u16string>& password) {
  std::vector<uint8_t> bytes;
  if (password) {
    for (char16_t unit : *password) {
      if (unit == 0) break;
      bytes.push_back(static_cast<uint8_t>(unit));
      bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
  }
  return text::GetCRC(bytes.data(), 0xFFFF, static_cast<int32_t>(bytes.size()));
}

std::string ModuleNameOf(std::string_view fileName) {
  size_t slash = fileName.find_last_of("/\\");
  if (slash != std::string_view::npos) fileName.remove_prefix(slash + 1);
  return std::string(fileName.substr(0, kModuleNameLength));
}

bool SameModuleName(std::string_view a, std::string_view b) {
  a = a.substr(0, kModuleNameLength);
  b = b.substr(0, kModuleNameLength);
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

std::array<std::string, kMaxPermanentModules> GetPermanentModules() {
  std::array<std::string, kMaxPermanentModules> slots;
  rtl::TRegIniFile reg(kRegistryKey);
  for (const auto& [name, value] : reg.ReadSectionValues(kRegistrySection)) {
    for (int i = 0; i < kMaxPermanentModules; ++i)
      if (name == SlotName(i) && slots[i].empty()) slots[i] = value;
  }
  return slots;
}

bool RemovePermanentModule(std::string_view fileName) {
  rtl::TRegIniFile reg(kRegistryKey);
  std::string name = ModuleNameOf(fileName);
  for (int attempt = 0; attempt < kMaxPermanentModules; ++attempt) {
    std::array<std::string, kMaxPermanentModules> slots = GetPermanentModules();
    int found = -1;
    for (int i = 0; i < kMaxPermanentModules && found < 0; ++i)
      if (!slots[i].empty() && SameModuleName(ModuleNameOf(slots[i]), name)) found = i;
    if (found < 0) return false;
    if (reg.ReplaceString(kRegistrySection, SlotName(found), slots[found], "")) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------------------
// Construction and the module list

TZod::TZod(TStart start) {
  if (start == TStart::OpenPermanent) {
    for (const std::string& path : GetPermanentModules()) {
      if (path.empty()) continue;
      try {
        RegisterModule(path, false, "");
      } catch (const EZodLayout&) {
        // A module that is refused stays closed; the others open as usual.
      }
    }
  }
  currentLanguage_ = 0;
}

TZod::~TZod() {
  while (!modules_.empty()) modules_.pop_back();
}

TZod::TModule& TZod::At(int index) {
  if (!ValidIndex(index)) throw EListError(index);
  return modules_[static_cast<size_t>(index)];
}

const TZod::TModule& TZod::At(int index) const {
  if (!ValidIndex(index)) throw EListError(index);
  return modules_[static_cast<size_t>(index)];
}

bool TZod::GetModuleName(int index, char* buffer) const {
  const std::string& name = At(index).Name;
  if (!buffer) return false;
  std::memcpy(buffer, name.data(), name.size());
  buffer[name.size()] = 0;
  return true;
}

std::string TZod::GetModuleName(int index) const { return At(index).Name; }

bool TZod::IsModulePermanent(int index) const {
  const std::string& name = At(index).Name;
  for (const std::string& path : GetPermanentModules())
    if (!path.empty() && SameModuleName(ModuleNameOf(path), name)) return true;
  return false;
}

void TZod::BeginModuleUpdate(int index) { At(index).Db->BeginTableUpdate(); }

void TZod::EndModuleUpdate(int index) { At(index).Db->EndTableUpdate(); }

TCustomVarDB& TZod::GetModuleInterface(int index) { return *At(index).Db; }

int TZod::RegisterModule(const std::string& fileName, bool permanent, const std::string& password, uint16_t mode) {
  (void)password;  // accepted for the callers' sake; files carry no password
  std::string name = ModuleNameOf(fileName);
  int result = -1;
  for (int i = 0; i < GetModuleCount() && result < 0; ++i)
    if (SameModuleName(modules_[static_cast<size_t>(i)].Name, name)) result = i;
  if (GetModuleCount() >= kMaxModules) return result;
  if (result < 0 && rtl::FileExists(fileName)) {
    auto db = std::make_unique<TCustomVarDB>(name);
    try {
      db->OpenFile(fileName, mode | rtl::fmShareDenyNone);
    } catch (const rtl::Exception&) {
      // A damaged file leaves the database empty in memory, as any failed open does; the
      // module keeps its place so that indexes stay as the caller expects.
    }
    // Records of the module's own tables are read by the types and lengths the module
    // layer wrote them with: a file whose tables say otherwise is refused before anything
    // reads it.
    for (int table = 0; table < db->TableCount(); ++table) CheckModuleTable(*db, table);
    modules_.push_back({name, std::move(db), {}, {}});
    result = GetModuleCount() - 1;
  }
  if (permanent) AddPermanentModule(fileName);
  return result;
}

bool TZod::UnRegisterModule(int index, bool removePermanent) {
  if (!ValidIndex(index) || index >= kMaxModules) return false;
  std::string name = modules_[static_cast<size_t>(index)].Name;
  modules_.erase(modules_.begin() + index);
  if (removePermanent) RemovePermanentModule(name);
  return true;
}

int TZod::NewModule(const std::string& fileName) {
  {
    TCustomVarDB creator(ModuleNameOf(fileName));
    bool created = false;
    try {
      created = creator.OpenFile(fileName, rtl::fmCreate);
    } catch (const rtl::Exception&) {
      created = false;
    }
    if (!created) return -1;
  }
  // A module of the same name that is open already would otherwise keep its old file:
  // it now stands for the new one.
  std::string name = ModuleNameOf(fileName);
  int index = -1;
  for (int i = 0; i < GetModuleCount() && index < 0; ++i)
    if (SameModuleName(modules_[static_cast<size_t>(i)].Name, name)) index = i;
  if (index >= 0) {
    auto db = std::make_unique<TCustomVarDB>(name);
    if (!db->OpenFile(fileName, rtl::fmOpenReadWrite | rtl::fmShareDenyNone)) return -1;
    modules_[static_cast<size_t>(index)].Db = std::move(db);
  } else {
    index = RegisterModule(fileName, false, "");
    if (index < 0) return -1;
  }
  rtl::TDateTime now = rtl::Now();
  uint8_t date[8];
  std::memcpy(date, &now, sizeof date);
  uint8_t version[4];
  storage::Put32(version, static_cast<uint32_t>(kZodVersion));
  SetProperty(kPropDateCreated, date, index, 8);
  SetProperty(kPropZodVer, version, index, 4);
  return index;
}

bool TZod::MoveModuleUp(int index) {
  if (index < 1 || GetModuleCount() < 2 || index >= GetModuleCount()) return false;
  std::swap(modules_[static_cast<size_t>(index)], modules_[static_cast<size_t>(index) - 1]);
  return true;
}

int64_t TZod::GetModuleSize(int index) { return ValidIndex(index) ? At(index).Db->GetSize() : 0; }

rtl::TDateTime TZod::GetDateCreated(int index) {
  auto value = GetProperty(index, kPropDateCreated);
  if (!value || value->size() != sizeof(rtl::TDateTime)) return 0;
  rtl::TDateTime date;
  std::memcpy(&date, value->data(), sizeof date);
  return date;
}

int32_t TZod::GetZodVersion(int index) {
  auto value = GetProperty(index, kPropZodVer);
  if (!value || value->size() != 4) return 0;
  return static_cast<int32_t>(storage::Get32(value->data()));
}

// ---------------------------------------------------------------------------------------
// Properties

bool TZod::GetProperty(int index, std::string_view name, void* data, int32_t& size) {
  size = 0;
  auto value = GetProperty(index, name);
  if (!value) return false;
  size = static_cast<int32_t>(value->size());
  if (data && !value->empty()) std::memcpy(data, value->data(), value->size());
  return true;
}

std::optional<std::vector<uint8_t>> TZod::GetProperty(int index, std::string_view name) {
  if (!ValidIndex(index) || name.empty()) return std::nullopt;
  if (auto kept = KeptIdentBytes(index, name)) return kept;
  TCustomVarDB& db = *At(index).Db;
  TModuleLock lock(db, false);
  int table = db.GetTableNr(kPropertiesTable);
  if (table < 0) return std::nullopt;
  int nameField = db.GetFieldNr(table, "Name"), dataField = db.GetFieldNr(table, "Data");
  if (nameField < 0 || dataField < 0) return std::nullopt;
  TFindRec key{nameField, const_cast<char*>(name.data()), static_cast<int32_t>(name.size())};
  int32_t recNo = 0;
  if (!db.Lookup(table, &key, 1, recNo)) return std::nullopt;
  return db.GetField(table, dataField);
}

bool TZod::SetProperty(std::string_view name, const void* data, int index, int32_t size) {
  if (!ValidIndex(index) || name.empty()) return false;
  TCustomVarDB& db = *At(index).Db;
  TModuleLock lock(db, true);
  if (const auto kept = At(index).Catalogues.find(name); kept != At(index).Catalogues.end())
    At(index).Catalogues.erase(kept);
  ForgetKeptIdents(index, name);
  return WriteProperty(db, name, data, size);
}

bool TZod::WriteProperty(TCustomVarDB& db, std::string_view name, const void* data, int32_t size) {
  TModuleLock lock(db, true);
  int table = db.GetTableNr(kPropertiesTable);
  if (table < 0) {
    table = db.AddTable(kPropertiesTable + std::string(kPropertiesDefinition));
    db.IndexCreate(table, 1, 1, true, false);
  }
  int nameField = db.GetFieldNr(table, "Name"), dataField = db.GetFieldNr(table, "Data");
  if (nameField < 0 || dataField < 0) return false;
  TFindRec key{nameField, const_cast<char*>(name.data()), static_cast<int32_t>(name.size())};
  int32_t recNo = 0;
  bool found = db.Lookup(table, &key, 1, recNo);
  if (size < 1 || !data) {
    // An empty value removes the property; a missing one stays missing.
    if (found) db.DeleteRecord(table, true);
    return true;
  }
  if (found) {
    db.SetField(table, dataField, data, size);
  } else {
    db.AddRecord(table);
    TFindRec fields[2] = {key, {dataField, const_cast<void*>(data), size}};
    db.SetFields(table, fields, 2);
  }
  return true;
}

std::vector<std::string> TZod::GetPropertyNames(int index) {
  std::vector<std::string> names;
  if (!ValidIndex(index)) return names;
  TCustomVarDB& db = *At(index).Db;
  TModuleLock lock(db, false);
  int table = db.GetTableNr(kPropertiesTable);
  int nameField = table < 0 ? -1 : db.GetFieldNr(table, "Name");
  if (nameField < 0 || !db.Top(table)) return names;
  do {
    std::vector<uint8_t> name = db.GetField(table, nameField);
    names.emplace_back(name.begin(), name.end());
  } while (db.Step(table, 1));
  return names;
}

// ---------------------------------------------------------------------------------------
// Version record

namespace {

constexpr size_t kPasswordOffset = 256, kCrcOffset = 260, kReservedOffset = 262, kDataOffset = 268,
                 kDataSizeOffset = 272;

}  // namespace

bool TZod::GetVersion(int index, TZodVersion& version) {
  auto value = GetProperty(index, kPropVersionInfo);
  // A record shorter than its fixed part is damaged and reads as none.
  if (!value || value->size() < TZodVersion::kSize) return false;
  const uint8_t* p = value->data();
  std::copy_n(p, version.HeaderText.size(), version.HeaderText.begin());
  version.Password.reset();
  version.Protected = storage::Get32(p + kPasswordOffset) != 0;
  version.PasswordCRC = storage::Get16(p + kCrcOffset);
  std::copy_n(p + kReservedOffset, version.Reserved.size(), version.Reserved.begin());
  if (value->size() > TZodVersion::kSize) {
    version.Data.emplace(value->begin() + TZodVersion::kSize, value->end());
  } else {
    version.Data.reset();
  }
  version.Remove = false;
  return true;
}

bool TZod::SetVersion(int index, const TZodVersion& version) {
  if (!ValidIndex(index)) return false;
  TModuleLock lock(*At(index).Db, true);
  auto stored = GetProperty(index, kPropVersionInfo);
  if (stored && stored->size() >= TZodVersion::kSize && storage::Get32(stored->data() + kPasswordOffset) != 0 &&
      PasswordCRC(version.Password) != storage::Get16(stored->data() + kCrcOffset))
    return false;
  if (version.Remove) return SetProperty(kPropVersionInfo, nullptr, index, 0);
  size_t dataSize = version.Data ? version.Data->size() : 0;
  std::vector<uint8_t> buffer(TZodVersion::kSize + dataSize, 0);
  uint8_t* p = buffer.data();
  std::copy(version.HeaderText.begin(), version.HeaderText.end(), p);
  storage::Put32(p + kPasswordOffset, version.Password || version.Protected ? 1 : 0);
  storage::Put16(p + kCrcOffset, version.Password ? PasswordCRC(version.Password) : version.PasswordCRC);
  std::copy(version.Reserved.begin(), version.Reserved.end(), p + kReservedOffset);
  storage::Put32(p + kDataOffset, 0);
  storage::Put32(p + kDataSizeOffset, static_cast<uint32_t>(dataSize));
  if (dataSize) std::copy(version.Data->begin(), version.Data->end(), p + TZodVersion::kSize);
  return SetProperty(kPropVersionInfo, buffer.data(), index, static_cast<int32_t>(buffer.size()));
}

// ---------------------------------------------------------------------------------------
// Settings

bool TZod::GetBoolSetting(int index, std::string_view name, bool defaultValue) {
  auto value = GetProperty(index, name);
  return value && value->size() == 1 ? (*value)[0] != 0 : defaultValue;
}

bool TZod::SetBoolSetting(int index, std::string_view name, bool value) {
  uint8_t byte = value ? 1 : 0;
  return SetProperty(name, &byte, index, 1);
}

TLanguageId TZod::GetLanguageSetting(int index, std::string_view name) {
  auto value = GetProperty(index, name);
  return value && value->size() == 2 ? storage::Get16(value->data()) : kNoLanguage;
}

bool TZod::SetLanguageSetting(int index, std::string_view name, TLanguageId language) {
  uint8_t bytes[2];
  storage::Put16(bytes, language);
  return SetProperty(name, bytes, index, 2);
}

TLanguageId TZod::GetDesignTimeLanguage(int index) { return GetLanguageSetting(index, kPropDesignTimeLanguage); }
bool TZod::SetDesignTimeLanguage(int index, TLanguageId language) {
  return SetLanguageSetting(index, kPropDesignTimeLanguage, language);
}
TLanguageId TZod::GetDefaultLanguage(int index) { return GetLanguageSetting(index, kPropRunTimeLanguage); }
bool TZod::SetDefaultLanguage(int index, TLanguageId language) {
  return SetLanguageSetting(index, kPropRunTimeLanguage, language);
}
bool TZod::GetSwitchResStr(int index, int kind) {
  return GetBoolSetting(index, kPropSwitchResStr + std::to_string(kind), true);
}
bool TZod::SetSwitchResStr(int index, int kind, bool value) {
  return SetBoolSetting(index, kPropSwitchResStr + std::to_string(kind), value);
}
bool TZod::GetWin32Locale(int index) { return GetBoolSetting(index, kPropGetWin32Locale, false); }
bool TZod::SetWin32Locale(int index, bool value) { return SetBoolSetting(index, kPropGetWin32Locale, value); }
bool TZod::GetShowLangList(int index) { return GetBoolSetting(index, kPropShowLangList, true); }
bool TZod::SetShowLangList(int index, bool value) { return SetBoolSetting(index, kPropShowLangList, value); }
bool TZod::GetSaveSessionLanguage(int index) { return GetBoolSetting(index, kPropSaveSessionLanguage, false); }
bool TZod::SetSaveSessionLanguage(int index, bool value) {
  return SetBoolSetting(index, kPropSaveSessionLanguage, value);
}
bool TZod::GetUseOriginalIfUntranslated(int index) {
  return GetBoolSetting(index, kPropUseOriginalIfUntranslated, true);
}
bool TZod::SetUseOriginalIfUntranslated(int index, bool value) {
  return SetBoolSetting(index, kPropUseOriginalIfUntranslated, value);
}
bool TZod::GetAutoIncludeStatus(int index) { return GetBoolSetting(index, kPropStatusAutoInclude, true); }
bool TZod::SetAutoIncludeStatus(int index, bool value) {
  return SetBoolSetting(index, kPropStatusAutoInclude, value);
}

int32_t TZod::GetAutoIncludes(int index, char* buffer) {
  auto value = GetProperty(index, kPropAutoIncludes);
  if (!value) return 0;
  if (buffer && !value->empty()) std::memcpy(buffer, value->data(), value->size());
  return static_cast<int32_t>(value->size());
}

std::string TZod::GetAutoIncludes(int index) {
  auto value = GetProperty(index, kPropAutoIncludes);
  return value ? std::string(value->begin(), value->end()) : std::string();
}

bool TZod::SetAutoIncludes(int index, int32_t size, const char* text) {
  return SetProperty(kPropAutoIncludes, text, index, size);
}

// ---------------------------------------------------------------------------------------
// Current language

TLanguageId TZod::GetCurrentLanguage(int index) {
  if (currentLanguage_ != 0) return currentLanguage_;
  std::vector<TLanguageId> ids;
  GetLanguageList(index, ids);
  std::optional<TLanguageId> result;
  if (GetWin32Locale(index)) {
    uint32_t user = win32::GetUserDefaultLangID();
    for (TLanguageId id : ids) {
      TZodLanguage language;
      language.Identifier = id;
      if (GetLanguage(index, language) && language.Win32Locale == user) {
        result = id;
        break;
      }
    }
  }
  if (!result) result = GetDefaultLanguage(index);
  if (std::find(ids.begin(), ids.end(), *result) == ids.end()) result = GetDesignTimeLanguage(index);
  return *result;
}

void TZod::SetCurrentLanguage(int index, TLanguageId language) { currentLanguage_ = index == -1 ? 0 : language; }

TZod& GlobalZOD() {
  static TZod instance(TZod::TStart::OpenPermanent);
  return instance;
}

}  // namespace quintrel::module
