// The shared name lists and their mark-and-sweep protocol over the module's catalogue.
#include "module/namelists.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "module/zod.h"
#include "platform/rtl/sysutils.h"
#include "text/codepages.h"

namespace quintrel::module {

using text::THashList;

namespace {

constexpr size_t kMaxName = THashList::MaxKeyLength;

struct TEntry {
  std::string Key;
  uint32_t Value = 0;
};

// Every entry in the list's own order. Walking leaves the list untouched but for its
// iteration position, which every caller resets before use.
std::vector<TEntry> Entries(THashList& list) {
  std::vector<TEntry> out;
  std::array<char, THashList::MaxKeyLength> key{};
  uint8_t len = 0;
  uint32_t value = 0;
  list.Top();
  while (list.Next(key.data(), len, value)) out.push_back({std::string(key.data(), len), value});
  return out;
}

bool Marked(std::string_view key) { return !key.empty() && key.front() == kUnconfirmedMark; }

std::string Unmarked(std::string_view key) { return std::string(Marked(key) ? key.substr(1) : key); }

bool MarkFor(uint8_t mode, std::string_view name) {
  switch (mode) {
    case kMarkForms: return name.front() != '#';
    case kMarkResourceUnits: return name.front() == '#';
    case kMarkAll: return true;
    default: return false;
  }
}

enum class TTable { Forms, Comps, Props };

TCatalogueList ReadTable(TTable table, int module) {
  auto& zod = GlobalZOD();
  switch (table) {
    case TTable::Forms: return zod.GetForms(module);
    case TTable::Comps: return zod.GetComps(module);
    case TTable::Props: return zod.GetProps(module);
  }
  return {};
}

void WriteTable(TTable table, int module, const TCatalogueList& lines) {
  auto& zod = GlobalZOD();
  switch (table) {
    case TTable::Forms: zod.SetForms(module, lines); break;
    case TTable::Comps: zod.SetComps(module, lines); break;
    case TTable::Props: zod.SetProps(module, lines); break;
  }
}

// The identifier is read up to the first blank rather than from a fixed four columns, so
// that component identifiers above FFFF, which are written with more digits, come back
// whole; four-digit lines read the same either way.
void Load(THashList& list, uint8_t mode, int module, TTable table) {
  list.Clear();
  for (const std::string& line : ReadTable(table, module)) {
    size_t blank = line.find(' ');
    if (blank == std::string::npos) continue;
    uint32_t id = static_cast<uint32_t>(text::HexToInt(std::string_view(line).substr(0, blank)));
    std::string name = line.substr(blank + 1, kMaxName);
    if (name.empty()) continue;
    std::string key = MarkFor(mode, name) && name.size() < kMaxName ? kUnconfirmedMark + name : name;
    if (table != TTable::Forms) list.Delete(key);
    list.Add(key, id);
  }
}

uint32_t Confirm(THashList& list, std::string_view name, int module, bool existingOnly, TTable table) {
  if (name.empty() || name.size() > kMaxName) return 0;
  std::string marked = kUnconfirmedMark + std::string(name);
  if (auto id = list.Find(marked)) {
    list.Delete(marked);
    list.Add(name, *id);
    return *id;
  }
  if (auto id = list.Find(name)) return *id;
  if (existingOnly) return 0;
  auto& zod = GlobalZOD();
  uint32_t id = table == TTable::Forms   ? zod.GetNewFormID(module)
                : table == TTable::Comps ? zod.GetNewCompID(module)
                                         : zod.GetNewPropID(module);
  list.Add(name, id);
  return id;
}

std::string ConfirmId(THashList& list, uint32_t id) {
  for (const TEntry& e : Entries(list)) {
    if (e.Value != id) continue;
    std::string name = Unmarked(e.Key);
    if (Marked(e.Key)) {
      list.Delete(e.Key);
      list.Add(name, id);
    }
    return name;
  }
  return {};
}

void Save(THashList& list, int module, TTable table) {
  auto& zod = GlobalZOD();
  if (module < 0 || module >= zod.GetModuleCount()) return;
  // Other processes see the table and the swept objects change in one step.
  module::TModuleLock lock(zod.GetModuleInterface(module), true);
  std::vector<TEntry> entries = Entries(list);
  std::stable_sort(entries.begin(), entries.end(), [](const TEntry& a, const TEntry& b) { return a.Value < b.Value; });
  TCatalogueList lines;
  std::vector<uint16_t> unconfirmedForms;
  for (const TEntry& e : entries) {
    if (Marked(e.Key)) {
      if (table == TTable::Forms) unconfirmedForms.push_back(static_cast<uint16_t>(e.Value));
      continue;
    }
    if (e.Key.empty()) continue;
    lines.push_back(rtl::IntToHex(e.Value, 4) + " " + e.Key);
  }
  WriteTable(table, module, lines);
  for (uint16_t form : unconfirmedForms) zod.RemoveObjects(module, form);
}

}  // namespace

THashList& FormList() {
  static THashList list;
  return list;
}
THashList& CompList() {
  static THashList list;
  return list;
}
THashList& PropList() {
  static THashList list;
  return list;
}
THashList& ObjList() {
  static THashList list;
  return list;
}

void LoadFormList(THashList& list, uint8_t mode, int module) { Load(list, mode, module, TTable::Forms); }
void LoadCompList(THashList& list, uint8_t mode, int module) { Load(list, mode, module, TTable::Comps); }
void LoadPropList(THashList& list, uint8_t mode, int module) { Load(list, mode, module, TTable::Props); }

uint32_t FormAdd(std::string_view name, int module, bool existingOnly) {
  return Confirm(FormList(), name, module, existingOnly, TTable::Forms);
}
uint32_t CompAdd(std::string_view name, int module, bool existingOnly) {
  return Confirm(CompList(), name, module, existingOnly, TTable::Comps);
}
uint32_t PropAdd(std::string_view name, int module, bool existingOnly) {
  return Confirm(PropList(), name, module, existingOnly, TTable::Props);
}

std::string CompAddID(uint32_t id) { return ConfirmId(CompList(), id); }
std::string PropAddID(uint32_t id) { return ConfirmId(PropList(), id); }

void SaveFormList(THashList& list, int module) { Save(list, module, TTable::Forms); }
void SaveCompList(THashList& list, int module) { Save(list, module, TTable::Comps); }
void SavePropList(THashList& list, int module) { Save(list, module, TTable::Props); }

int64_t GetIdentFromList(THashList& list, std::string_view name) {
  auto plain = list.Find(name);
  auto marked = list.Find(kUnconfirmedMark + std::string(name));
  if (plain && marked) {
    // Both spellings present: the one met first in the list's order wins.
    for (const TEntry& e : Entries(list))
      if (e.Key == name || (Marked(e.Key) && std::string_view(e.Key).substr(1) == name)) return e.Value;
  }
  if (plain) return *plain;
  if (marked) return *marked;
  return -1;
}

}  // namespace quintrel::module
