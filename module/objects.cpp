// The object catalogue of TZod: catalogue texts, identifier counters, object records and
// the per-form object lists.
#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <optional>
#include <unordered_set>

#include "module/zod.h"
#include "storage/coding.h"
#include "text/codepages.h"

namespace quintrel::module {

using storage::TCustomVarDB;
using storage::TFindRec;

// ---------------------------------------------------------------------------------------
// Classes and kinds

namespace {

struct TClassNames {
  TZodClass Class;
  std::array<std::string_view, 10> Names;
};

constexpr TClassNames kClassTable[] = {
    {ucMainMenu, {"TMainMenu"}},
    {ucMenuItem, {"TMenuItem"}},
    {ucPopupMenu, {"TPopupMenu"}},
    {ucLabel, {"TLabel", "TStaticText", "TQRLabel", "TQRDBText", "TDBText"}},
    {ucEditBox, {"TEdit", "TMemo", "TMaskEdit", "TDBEdit", "TDBMemo"}},
    {ucButton, {"TButton", "TBitBtn", "TSpeedButton"}},
    {ucCheckBox, {"TCheckBox", "TDBCheckBox"}},
    {ucRadioButton, {"TRadioButton", "TDBRadioGroup", "TRadioGroup"}},
    {ucListBox, {"TListBox", "TListView", "TCheckListBox", "TDBListBox", "TDBLookupListBox"}},
    {ucComboBox, {"TComboBox", "TDBComboBox", "TDBLookupComboBox"}},
    {ucScrollBar, {"TScrollBar"}},
    {ucGroupBox, {"TGroupBox"}},
    {ucPanel, {"TPanel"}},
    {ucGrid, {"TStringGrid", "TDrawGrid", "TDBGrid"}},
    {ucBitmap, {"TImage", "TImageList", "TDBImage", "QRImage", "QRDBImage"}},
    {ucShape, {"TShape", "TQRShape"}},
    {ucBevel, {"TBevel"}},
    {ucScrollBox, {"TScrollBox"}},
    {ucSplitter, {"TSplitter"}},
    {ucTabControl, {"TTabControl"}},
    {ucPageControl, {"TPageControl", "TTabSheet"}},
    {ucRichEdit, {"TRichEdit"}},
    {ucSlideBar, {"TTrackBar"}},
    {ucProgressBar, {"TProgressBar"}},
    {ucSpinner, {"TUpDown"}},
    {ucHotKey, {"THotKey"}},
    {ucAnimate, {"TAnimate"}},
    {ucCalender, {"TDateTimePicker"}},
    {ucTreeView, {"TTreeView", "TOutline"}},
    {ucHeaderControl, {"THeaderControl"}},
    {ucStatusBar, {"TStatusBar"}},
    {ucToolBar, {"TToolBar"}},
    {ucCoolBar, {"TCoolBar"}},
    {ucTimer, {"TTimer"}},
    {ucPaintBox, {"TPaintBox"}},
    {ucMediaPlayer, {"TMediaPlayer"}},
    {ucOleContainer, {"TOleContainer"}},
    {ucCommonDialog,
     {"TOpenDialog", "TSaveDialog", "TOpenPictureDialog", "TSavePictureDialog", "TFontDialog", "TColorDialog",
      "TPrintDialog", "TPrintSetupDialog", "TFindDialog", "TReplaceDialog"}},
    {ucForm, {"TForm"}},
};

constexpr std::array<std::string_view, kZodClassCount> kClassNames = {
    "ucUnknown",     "ucMainMenu",     "ucMenuItem",    "ucPopupMenu",     "ucLabel",        "ucEditBox",
    "ucButton",      "ucCheckBox",     "ucRadioButton", "ucListBox",       "ucComboBox",     "ucScrollBar",
    "ucGroupBox",    "ucPanel",        "ucGrid",        "ucBitmap",        "ucShape",        "ucBevel",
    "ucScrollBox",   "ucSplitter",     "ucTabControl",  "ucPageControl",   "ucRichEdit",     "ucSlideBar",
    "ucProgressBar", "ucSpinner",      "ucHotKey",      "ucAnimate",       "ucCalender",     "ucTreeView",
    "ucHeaderControl", "ucStatusBar",  "ucToolBar",     "ucCoolBar",       "ucTimer",        "ucPaintBox",
    "ucMediaPlayer", "ucOleContainer", "ucCommonDialog", "ucForm",         "ucResourceString"};

constexpr std::array<std::string_view, kZodTypeCount> kTypeNames = {
    "utString", "utConstant", "utBitmap", "utSet", "utInteger", "utFloat", "utIcon", "utMetafile", "utUnknown"};

template <size_t N>
int IndexOf(const std::array<std::string_view, N>& names, std::string_view name) {
  auto it = std::find(names.begin(), names.end(), name);
  return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

std::string Hex4(uint32_t id) {
  char hex[12];
  std::snprintf(hex, sizeof hex, "%04X", id);
  return hex;
}

}  // namespace

TZodClass GetZodClass(std::string_view className) {
  for (const TClassNames& entry : kClassTable)
    for (std::string_view name : entry.Names)
      if (!name.empty() && name == className) return entry.Class;
  return !className.empty() && className[0] == '#' ? ucResourceString : ucUnknown;
}

std::string_view ZodClassName(uint8_t zodClass) { return zodClass < kZodClassCount ? kClassNames[zodClass] : ""; }
std::string_view ZodTypeName(uint8_t kind) { return kind < kZodTypeCount ? kTypeNames[kind] : ""; }
int ZodClassFromName(std::string_view name) { return IndexOf(kClassNames, name); }
int ZodTypeFromName(std::string_view name) { return IndexOf(kTypeNames, name); }

// ---------------------------------------------------------------------------------------
// Catalogue lists

TCatalogueList SplitCatalogue(std::string_view text) {
  TCatalogueList lines;
  while (!text.empty()) {
    size_t end = text.find("\r\n");
    lines.emplace_back(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 2);
  }
  return lines;
}

std::string JoinCatalogue(const TCatalogueList& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::string CatalogueLine(uint32_t id, std::string_view name) { return Hex4(id) + " " + std::string(name); }

std::string CatalogueName(const std::string& line) {
  size_t space = line.find(' ');
  return space == std::string::npos ? std::string() : line.substr(space + 1);
}

namespace {

int LineWith(const TCatalogueList& list, const std::string& needle) {
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i].find(needle) != std::string::npos) return static_cast<int>(i);
  return -1;
}

uint32_t IdOfName(const TCatalogueList& list, std::string_view name) {
  std::string needle = " " + std::string(name) + " ";
  for (const std::string& line : list)
    if ((line + " ").find(needle) != std::string::npos)
      return static_cast<uint32_t>(text::HexToInt(std::string_view(line).substr(0, 4)));
  return 0;
}

}  // namespace

int GetFormIndex(const TCatalogueList& list, uint16_t form) { return LineWith(list, Hex4(form)); }
int GetCompIndex(const TCatalogueList& list, uint32_t comp) { return LineWith(list, Hex4(comp) + " "); }
int GetPropIndex(const TCatalogueList& list, uint16_t prop) { return LineWith(list, Hex4(prop) + " "); }
uint32_t GetFormID(const TCatalogueList& list, std::string_view name) { return IdOfName(list, name); }
uint32_t GetCompID(const TCatalogueList& list, std::string_view name) { return IdOfName(list, name); }
uint32_t GetPropID(const TCatalogueList& list, std::string_view name) { return IdOfName(list, name); }

uint32_t GetFormIDIgnoringCase(const TCatalogueList& list, std::string_view name) {
  if (const uint32_t exact = IdOfName(list, name)) return exact;
  const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
  for (const std::string& line : list) {
    const std::string stored = CatalogueName(line);
    if (stored.size() == name.size() && std::equal(stored.begin(), stored.end(), name.begin(), [&](char a, char b) {
          return lower(static_cast<unsigned char>(a)) == lower(static_cast<unsigned char>(b));
        }))
      return static_cast<uint32_t>(text::HexToInt(std::string_view(line).substr(0, 4)));
  }
  return 0;
}

const std::vector<std::string>& DefaultAutoIncludes() {
  static const std::vector<std::string> list = {
      "Caption", "Caption[*]", "Columns.Items[*].Title", "DisplayLabel", "FileName", "Glyph.Data", "Hint",
      "Hints.Strings[*]", "Items.Strings[*]", "Lines.Strings[*]", "Picture.Data", "Panels.Items[*].Text",
      "ShowLanguageSelectionInSystemMenu", "SystemMenuCloseCaption", "SystemMenuMaximizeCaption",
      "SystemMenuMinimizeCaption", "SystemMenuMoveCaption", "SystemMenuNextWindowCaption",
      "SystemMenuPrevWindowCaption", "SystemMenuRestoreCaption", "SystemMenuSizeCaption",
      "SystemMenuTaskListCaption", "Tabs.Strings[*]", "Text"};
  return list;
}

// ---------------------------------------------------------------------------------------
// Object records

namespace {

// Field numbers of an object table in the order of TZodObject.
struct TObjFields {
  int Table = -1;
  std::array<int, 10> F{};
  bool Valid() const { return Table >= 0 && std::none_of(F.begin(), F.end(), [](int f) { return f < 0; }); }
};

constexpr std::array<const char*, 10> kObjFieldNames = {"Ident",        "Kind",    "ZodClass", "FormID",
                                                        "CompName",     "PropertyName", "Localization",
                                                        "Comment",      "Locked",  "Priority"};

// The field numbers of an object table, looked up once per catalogue: adding or reading an
// object needs all ten, and ten name look-ups cost more than the record's own work. The
// caller found the table by its name, which brought the header and with it the catalogue
// up to date, so the engine and its catalogue's generation key them.
struct TCachedObjFields {
  uint64_t Engine = 0, Generation = 0;
  TObjFields Fields;
};
constexpr size_t kObjFieldCacheSize = 16;

TObjFields ObjFields(TCustomVarDB& db, int table) {
  TObjFields f;
  if (table < 0) return f;
  thread_local std::vector<TCachedObjFields> cache;
  for (const TCachedObjFields& c : cache)
    if (c.Engine == db.Identity() && c.Generation == db.CatalogueGeneration() && c.Fields.Table == table)
      return c.Fields;
  for (size_t i = 0; i < kObjFieldNames.size(); ++i) f.F[i] = db.GetFieldNr(table, kObjFieldNames[i]);
  f.Table = table;
  const auto same = [&](const TCachedObjFields& c) { return c.Engine == db.Identity() && c.Fields.Table == table; };
  cache.erase(std::remove_if(cache.begin(), cache.end(), same), cache.end());
  if (cache.size() >= kObjFieldCacheSize) cache.erase(cache.begin());
  cache.push_back({db.Identity(), db.CatalogueGeneration(), f});
  return f;
}

void WriteObject(TCustomVarDB& db, const TObjFields& f, const TZodObject& o, bool append) {
  uint8_t n[8][4];
  const uint32_t values[8] = {o.Ident, o.Kind, o.ZodClass, o.FormID, o.CompName, o.PropertyName, o.Localization,
                              o.Comment};
  for (int i = 0; i < 8; ++i) storage::Put32(n[i], values[i]);
  uint8_t locked = o.Locked ? 1 : 0, priority = o.Priority;
  TFindRec fields[10];
  for (int i = 0; i < 8; ++i) fields[i] = {f.F[static_cast<size_t>(i)], n[i], 4};
  fields[8] = {f.F[8], &locked, 1};
  fields[9] = {f.F[9], &priority, 1};
  if (append) {
    db.AddRecord(f.Table, fields, 10);
  } else {
    db.SetFields(f.Table, fields, 10);
  }
}

// Reads the cursor's record (the walk tolerates short or missing values as 0).
TZodObject GatherObject(TCustomVarDB& db, const TObjFields& f) {
  // Each value lands in 4 zeroed bytes (a longer one is cut), read from one image of the
  // record without a buffer of its own: a form's objects are read by the hundred.
  uint8_t bytes[10][4] = {};
  TFindRec fields[10];
  for (size_t i = 0; i < 10; ++i) fields[i] = {f.F[i], bytes[i], 4};
  db.GetFields(f.Table, fields, 10);
  uint32_t v[10];
  for (size_t i = 0; i < 10; ++i) v[i] = storage::Get32(bytes[i]);
  TZodObject o;
  o.Ident = v[0];
  o.Kind = static_cast<uint8_t>(v[1]);
  o.ZodClass = static_cast<uint8_t>(v[2]);
  o.FormID = static_cast<uint16_t>(v[3]);
  o.CompName = v[4];
  o.PropertyName = static_cast<uint16_t>(v[5]);
  o.Localization = v[6];
  o.Comment = v[7];
  o.Locked = (v[8] & 0xFF) != 0;
  o.Priority = static_cast<uint8_t>(v[9]);
  return o;
}

bool FindIdent(TCustomVarDB& db, const TObjFields& f, uint32_t ident) {
  uint8_t key[4];
  storage::Put32(key, ident);
  TFindRec rec{f.F[0], key, 4};
  int32_t recNo = 0;
  return db.Lookup(f.Table, &rec, 1, recNo);
}

// The objects of the list that the table holds, in list order, into buffer (room for every
// identifier); the elements after them zeroed.
void FillObjects(TCustomVarDB& db, const TObjFields& f, const std::vector<uint32_t>& ids, TZodObject* buffer) {
  std::fill(buffer, buffer + ids.size(), TZodObject{});
  size_t next = 0;
  for (uint32_t id : ids)
    if (f.Valid() && FindIdent(db, f, id)) buffer[next++] = GatherObject(db, f);
}

int AddObjTable(TCustomVarDB& db, const std::string& name) {
  int table = db.AddTable(name + kObjTableDefinition);
  db.IndexCreate(table, db.GetFieldNr(table, "Ident"), 1, true, true);
  return table;
}

}  // namespace

namespace {
std::vector<uint8_t> IdentBytes(const std::vector<uint32_t>& ids) {
  std::vector<uint8_t> bytes(ids.size() * 4);
  for (size_t i = 0; i < ids.size(); ++i) storage::Put32(bytes.data() + 4 * i, ids[i]);
  return bytes;
}
}  // namespace

// While a table update is open, a form's identifier list that already exists is kept here
// and written once when the update ends, instead of being rewritten whole for every object
// added or removed (quadratic in the form's objects). Only the rewrites wait: a list that
// comes into being or goes is written at once, so the property records exist, in the order,
// that writing every change produces, and the values written at the end are the bytes the
// last of those writes would have left. Everything that reads a list in this engine
// (ObjIdents, GetProperty) sees the kept one; no other process can read the file before the
// update ends, as it holds the exclusive lock. An update given up forgets the kept lists
// with the rest of its writes.
// A form's list, and the identifiers on it, so that adding one already listed is found
// without a walk over the list.
struct TZod::TKeptList {
  std::vector<uint32_t> Ids;
  std::unordered_set<uint32_t> Listed;
};

struct TZod::TKeptIdents {
  std::map<uint16_t, TKeptList> Forms;

  void Finish(TCustomVarDB& db, bool write) {
    std::map<uint16_t, TKeptList> forms = std::move(Forms);
    Forms.clear();
    if (!write) return;
    for (const auto& [form, list] : forms) {
      const std::vector<uint8_t> bytes = IdentBytes(list.Ids);
      WriteProperty(db, kPropObjIdents + Hex4(form), bytes.data(), static_cast<int32_t>(bytes.size()));
    }
  }
};

namespace {

// The form of a list property's name ("ObjIdents" and the form in 4 upper-case hex digits).
std::optional<uint16_t> IdentListForm(std::string_view property) {
  const std::string_view prefix = kPropObjIdents;
  if (property.size() != prefix.size() + 4 || property.substr(0, prefix.size()) != prefix) return std::nullopt;
  uint32_t form = 0;
  for (char c : property.substr(prefix.size())) {
    if (c >= '0' && c <= '9') form = form * 16 + static_cast<uint32_t>(c - '0');
    else if (c >= 'A' && c <= 'F') form = form * 16 + static_cast<uint32_t>(c - 'A' + 10);
    else return std::nullopt;
  }
  return static_cast<uint16_t>(form);
}

}  // namespace

TZod::TKeptList* TZod::KeptIdentList(int module, uint16_t form) {
  TKeptIdents* kept = At(module).KeptIdents.get();
  if (!kept || kept->Forms.empty()) return nullptr;
  const auto found = kept->Forms.find(form);
  return found == kept->Forms.end() ? nullptr : &found->second;
}

std::optional<std::vector<uint8_t>> TZod::KeptIdentBytes(int module, std::string_view property) {
  const TKeptIdents* kept = At(module).KeptIdents.get();
  if (!kept || kept->Forms.empty()) return std::nullopt;
  const std::optional<uint16_t> form = IdentListForm(property);
  const TKeptList* list = form ? KeptIdentList(module, *form) : nullptr;
  if (!list) return std::nullopt;
  return IdentBytes(list->Ids);
}

void TZod::ForgetKeptIdents(int module, std::string_view property) {
  TKeptIdents* kept = At(module).KeptIdents.get();
  if (!kept || kept->Forms.empty()) return;
  if (const std::optional<uint16_t> form = IdentListForm(property)) kept->Forms.erase(*form);
}

std::vector<uint32_t> TZod::ObjIdents(int module, uint16_t form) {
  if (const TKeptList* kept = KeptIdentList(module, form)) return kept->Ids;
  std::vector<uint32_t> ids;
  auto list = GetProperty(module, kPropObjIdents + Hex4(form));
  if (list)
    for (size_t i = 0; i + 4 <= list->size(); i += 4) ids.push_back(storage::Get32(list->data() + i));
  return ids;
}

namespace {
// Whether a form's changed list can wait for the end of the update: one is open, and the
// list exists before and after the change (see TKeptIdents).
bool ListCanWait(const TCustomVarDB& db, size_t before, size_t after) {
  return !db.TablesWritable() && before > 0 && after > 0;
}
}  // namespace

void TZod::SetObjIdent(int module, uint16_t form, uint32_t ident) {
  TCustomVarDB& db = *At(module).Db;
  TModuleLock lock(db, true);
  if (TKeptList* kept = KeptIdentList(module, form)) {
    if (kept->Listed.insert(ident).second) kept->Ids.push_back(ident);
    return;
  }
  std::vector<uint32_t> ids = ObjIdents(module, form);
  if (std::find(ids.begin(), ids.end(), ident) != ids.end()) return;
  ids.push_back(ident);
  const bool wait = ListCanWait(db, ids.size() - 1, ids.size());
  StoreIdents(module, form, std::move(ids), wait);
}

void TZod::RemoveObjIdent(int module, uint16_t form, uint32_t ident) {
  TCustomVarDB& db = *At(module).Db;
  TModuleLock lock(db, true);
  std::vector<uint32_t> ids = ObjIdents(module, form);
  auto it = std::find(ids.begin(), ids.end(), ident);
  if (it == ids.end()) return;
  ids.erase(it);
  const bool wait = ListCanWait(db, ids.size() + 1, ids.size());
  StoreIdents(module, form, std::move(ids), wait);
}

void TZod::StoreIdents(int module, uint16_t form, std::vector<uint32_t> ids, bool wait) {
  TModule& entry = At(module);
  if (wait) {
    if (!entry.KeptIdents) entry.KeptIdents = std::make_shared<TKeptIdents>();
    if (entry.KeptIdents->Forms.empty())
      entry.Db->AtUpdateEnd([kept = entry.KeptIdents, db = entry.Db.get()](bool write) { kept->Finish(*db, write); });
    TKeptList& list = entry.KeptIdents->Forms[form];
    list.Listed = std::unordered_set<uint32_t>(ids.begin(), ids.end());
    list.Ids = std::move(ids);
    return;
  }
  if (entry.KeptIdents) entry.KeptIdents->Forms.erase(form);
  std::vector<uint8_t> bytes = IdentBytes(ids);
  WriteProperty(*entry.Db, kPropObjIdents + Hex4(form), bytes.data(), static_cast<int32_t>(bytes.size()));
}

bool TZod::SetObject(int module, const TZodObject& object) {
  TCustomVarDB& db = *At(module).Db;
  TModuleLock lock(db, true);
  int table = db.GetTableNr(kObjTable);
  if (table < 0) table = AddObjTable(db, kObjTable);
  TObjFields f = ObjFields(db, table);
  if (!f.Valid()) return false;
  bool found = FindIdent(db, f, object.Ident);
  if (object.PropertyName != 0) {
    WriteObject(db, f, object, !found);
    SetObjIdent(module, object.FormID, object.Ident);
  } else {
    RemoveObjIdent(module, object.FormID, object.Ident);
    if (found) db.DeleteRecord(f.Table, true);
  }
  return true;
}

bool TZod::GetObject(int module, TZodObject& object) {
  if (!ValidIndex(module)) return false;
  TCustomVarDB& db = *At(module).Db;
  TModuleLock lock(db, false);
  int table = db.GetTableNr(kObjTable);
  if (table < 0) table = db.GetTableNr(kObjTable + Hex4(object.FormID));
  TObjFields f = ObjFields(db, table);
  if (!f.Valid() || !FindIdent(db, f, object.Ident)) return false;
  object = GatherObject(db, f);
  return true;
}

uint32_t TZod::FindObject(int module, const TZodObject& object) {
  TCustomVarDB& db = *At(module).Db;
  TModuleLock lock(db, false);
  int table = db.GetTableNr(kObjTable);
  if (table < 0) table = db.GetTableNr(kObjTable + Hex4(object.FormID));
  TObjFields f = ObjFields(db, table);
  if (!f.Valid()) return 0;
  uint8_t form[4], comp[4], prop[4];
  storage::Put32(form, object.FormID);
  storage::Put32(comp, object.CompName);
  storage::Put32(prop, object.PropertyName);
  TFindRec keys[3] = {{f.F[3], form, 4}, {f.F[4], comp, 4}, {f.F[5], prop, 4}};
  int32_t recNo = 0;
  if (!db.Lookup(f.Table, keys, 3, recNo)) return 0;
  return GatherObject(db, f).Ident;
}

int32_t TZod::GetObjects(int module, uint16_t form, TZodObject* buffer) {
  TCustomVarDB& db = *At(module).Db;
  TModuleLock lock(db, false);
  int table = db.GetTableNr(kObjTable);
  if (table >= 0) {
    TObjFields f = ObjFields(db, table);
    std::vector<uint32_t> ids = ObjIdents(module, form);
    if (buffer) FillObjects(db, f, ids, buffer);
    return static_cast<int32_t>(ids.size());
  }
  TObjFields f = ObjFields(db, db.GetTableNr(kObjTable + Hex4(form)));
  if (!f.Valid() || !db.Top(f.Table)) return 0;
  int32_t count = 0;
  do {
    if (buffer) buffer[count] = GatherObject(db, f);
    ++count;
  } while (db.Step(f.Table, 1));
  return count;
}

std::vector<TZodObject> TZod::GetObjects(int module, uint16_t form) {
  TCustomVarDB& db = *At(module).Db;
  TModuleLock lock(db, false);
  const int table = db.GetTableNr(kObjTable);
  if (table < 0) {
    std::vector<TZodObject> objects(static_cast<size_t>(GetObjects(module, form, nullptr)));
    if (!objects.empty()) GetObjects(module, form, objects.data());
    return objects;
  }
  // The form's list is read once, not once to count and again to fill.
  const std::vector<uint32_t> ids = ObjIdents(module, form);
  std::vector<TZodObject> objects(ids.size());
  FillObjects(db, ObjFields(db, table), ids, objects.data());
  return objects;
}

bool TZod::SetObjects(int module, int32_t count, const TZodObject* objects) {
  if (count < 1 || !objects) return true;
  TCustomVarDB& db = *At(module).Db;
  TModuleLock lock(db, true);
  int table = db.GetTableNr(kObjTable);
  if (table >= 0) {
    RemoveObjects(module, objects[0].FormID);
  } else {
    table = AddObjTable(db, kObjTable);
  }
  TObjFields f = ObjFields(db, table);
  if (!f.Valid()) return false;
  storage::TUpdateBracket update(db);
  for (int32_t i = 0; i < count; ++i) {
    WriteObject(db, f, objects[i], true);
    SetObjIdent(module, objects[i].FormID, objects[i].Ident);
  }
  update.Commit();
  return true;
}

void TZod::RemoveObjects(int module, uint16_t form) {
  TCustomVarDB& db = *At(module).Db;
  TModuleLock lock(db, true);
  for (uint32_t id : ObjIdents(module, form)) {
    TZodObject gone;
    gone.Ident = id;
    gone.FormID = form;
    SetObject(module, gone);
  }
  int table = db.GetTableNr(kObjTable + Hex4(form));
  if (table >= 0) db.DeleteTable(table);
}

int32_t TZod::GetObjectCount(int module) {
  TCustomVarDB& db = *At(module).Db;
  TModuleLock lock(db, false);
  storage::TTableHeader header;
  int table = db.GetTableNr(kObjTable);
  return table >= 0 && db.GetTableHeader(table, header) ? header.RecordCount : 0;
}

uint16_t TZod::GetFormOfObjectID(int module, uint32_t ident) {
  TZodObject object;
  object.Ident = ident;
  if (!ValidIndex(module)) return 0;
  if (At(module).Db->GetTableNr(kObjTable) >= 0) return GetObject(module, object) ? object.FormID : 0;
  for (const std::string& line : GetForms(module)) {
    object.FormID = static_cast<uint16_t>(text::HexToInt(std::string_view(line).substr(0, 4)));
    uint16_t form = object.FormID;
    if (GetObject(module, object)) return form;
  }
  return 0;
}

bool TZod::RemoveForm(int module, uint16_t form) {
  TModuleLock lock(*At(module).Db, true);
  TCatalogueList forms = GetForms(module);
  int line = GetFormIndex(forms, form);
  if (line < 0) return false;
  forms.erase(forms.begin() + line);
  SetForms(module, forms);
  RemoveObjects(module, form);
  return true;
}

// ---------------------------------------------------------------------------------------
// Identifiers and catalogue texts

uint32_t TZod::NextId(int module, std::string_view counter, int size, uint32_t first, uint32_t last) {
  TModuleLock lock(*At(module).Db, true);
  uint32_t value = first;
  auto stored = GetProperty(module, counter);
  if (stored && static_cast<int>(stored->size()) == size) {
    uint32_t previous = size == 2 ? stored->at(0) | (stored->at(1) << 8) : storage::Get32(stored->data());
    value = previous == last ? first : previous + 1;
  }
  uint8_t bytes[4];
  storage::Put32(bytes, value);
  SetProperty(counter, bytes, module, size);
  return value;
}

uint32_t TZod::GetNewObjectID(int module) { return NextId(module, kPropObjectCount, 4, kFirstObjectId, 0x7FFFFFFF); }
uint16_t TZod::GetNewFormID(int module) {
  return static_cast<uint16_t>(NextId(module, kPropFormCount, 2, 1, 65534));
}
uint32_t TZod::GetNewCompID(int module) { return NextId(module, kPropCompCount, 4, 1, 0x7FFFFFFF); }
uint16_t TZod::GetNewPropID(int module) {
  return static_cast<uint16_t>(NextId(module, kPropPropertyCount, 2, 1, 65534));
}

TCatalogueList TZod::CatalogueText(int module, std::string_view property) {
  auto text = GetProperty(module, property);
  return text ? SplitCatalogue(std::string_view(reinterpret_cast<const char*>(text->data()), text->size()))
              : TCatalogueList{};
}

void TZod::TCatalogueCache::Add(const std::string& line) {
  Lines.push_back(line);
  if (!Indexed) return;
  const size_t space = line.find(' ');
  if (space == std::string::npos) return;  // such a line never holds " name "
  if (line.find(' ', space + 1) != std::string::npos) {
    // A name of several words could be found inside it: only the walk over the lines
    // answers as the list always did.
    Indexed = false;
    Ids.clear();
    return;
  }
  Ids.emplace(line.substr(space + 1), static_cast<uint32_t>(text::HexToInt(std::string_view(line).substr(0, 4))));
}

uint32_t TZod::TCatalogueCache::IdOf(std::string_view name) const {
  if (!Indexed) return IdOfName(Lines, name);
  const auto it = Ids.find(name);
  return it == Ids.end() ? 0 : it->second;
}

// A list read inside a table update stays valid to the update's end: the update holds the
// exclusive lock throughout, so only this engine writes, and its writes of the list go
// through SetProperty, which drops it. ChangeCount is no key there, as it moves inside an
// update whenever a block comes from or goes to the free list. Such a list is marked by a
// negative stamp (counts never are); every EndTableUpdate reloads the catalogue's names and
// so moves CatalogueGeneration, which ends it. A list read outside an update holds while
// the file's ChangeCount is the one it was read at.
bool TZod::TCatalogueCache::Holds(TCustomVarDB& db) const {
  if (Engine != db.Identity() || Generation != db.CatalogueGeneration()) return false;
  if (Stamp < 0) return !db.TablesWritable();
  return Stamp == db.HeaderStamp() && db.StampHolds();
}

void TZod::TCatalogueCache::KeyTo(const TCustomVarDB& db) {
  Engine = db.Identity();
  Generation = db.CatalogueGeneration();
  Stamp = db.TablesWritable() ? db.HeaderStamp() : -1;
}

const TZod::TCatalogueCache& TZod::CachedCatalogue(int module, std::string_view property) {
  TModule& entry = At(module);
  auto found = entry.Catalogues.find(property);
  if (found != entry.Catalogues.end() && found->second.Holds(*entry.Db)) return found->second;
  TCatalogueCache cache;
  for (std::string& line : CatalogueText(module, property)) cache.Add(line);
  // Keyed after the read, which brought the header up to date under the caller's lock.
  cache.KeyTo(*entry.Db);
  return entry.Catalogues.insert_or_assign(std::string(property), std::move(cache)).first->second;
}

bool TZod::SetCatalogueText(int module, std::string_view property, const TCatalogueList& list) {
  std::string text = JoinCatalogue(list);
  return SetProperty(property, text.data(), module, static_cast<int32_t>(text.size()));
}

uint32_t TZod::CatalogueId(int module, std::string_view property, std::string_view name, bool form, bool comp) {
  TModuleLock lock(*At(module).Db, true);
  if (const uint32_t id = CachedCatalogue(module, property).IdOf(name)) return id;
  const uint32_t id = form ? GetNewFormID(module) : comp ? GetNewCompID(module) : GetNewPropID(module);
  // Writing the text drops the kept list; it comes back with the new line, keyed to the
  // state the write left (a failed write leaves none).
  CachedCatalogue(module, property);
  auto& kept = At(module).Catalogues;
  const auto found = kept.find(property);
  TCatalogueCache cache = std::move(found->second);
  kept.erase(found);
  cache.Add(CatalogueLine(id, name));
  SetCatalogueText(module, property, cache.Lines);
  cache.KeyTo(*At(module).Db);
  kept.insert_or_assign(std::string(property), std::move(cache));
  return id;
}

uint32_t TZod::AddObject(int module, std::string_view formName, std::string_view compName,
                         std::string_view propName, uint8_t kind, uint8_t zodClass) {
  TModuleLock lock(*At(module).Db, true);
  // A property of the form itself has no component: it is looked for under 0, never under
  // an identifier of its own for an empty name.
  const uint32_t comp = compName.empty() ? 0 : CatalogueId(module, kPropComps, compName, false, true);
  return AddUnitObject(module, formName, comp, propName, kind, zodClass);
}

uint32_t TZod::AddUnitObject(int module, std::string_view unitName, uint32_t resourceId, std::string_view propName,
                             uint8_t kind, uint8_t zodClass) {
  TModuleLock lock(*At(module).Db, true);
  TZodObject object;
  object.FormID = static_cast<uint16_t>(CatalogueId(module, kPropForms, unitName, true, false));
  object.CompName = resourceId;
  object.PropertyName = static_cast<uint16_t>(CatalogueId(module, kPropObjectProperties, propName, false, false));
  object.Ident = GetNewObjectID(module);
  object.Kind = kind;
  object.ZodClass = zodClass;
  SetObject(module, object);
  return object.Ident;
}

std::vector<std::string> TZod::GetAutoIncludeList(int module) {
  auto text = GetProperty(module, kPropAutoIncludes);
  if (!text) return DefaultAutoIncludes();
  return SplitCatalogue(std::string_view(reinterpret_cast<const char*>(text->data()), text->size()));
}

}  // namespace quintrel::module
