// The resource-string side of the translator: the map from the executable's string
// identifiers to terms, kept in step with the linker's numbering, and the loader that
// answers with the current language's text.
#include <cctype>
#include <filesystem>
#include <string>

#include "module/namelists.h"
#include "module/objects.h"
#include "runtime/quintrel.h"
#include "text/codepages.h"

namespace quintrel::runtime {

namespace {

// String identifiers the linker hands out to Pascal resource strings, from the top down.
constexpr unsigned kResourceTextsTop = 65535;
constexpr unsigned kResourceTextsBottom = 35000;
constexpr int kMaxMissesInARow = 10;
// A text-to-identifier key is at most what a hash-list key can hold.
constexpr size_t kTextKeyLimit = 255;

// True while CustomLoadResString translates: a string loaded meanwhile (by the module
// code itself) gets its compiled-in text.
bool reentrant = false;
vcl::TResStringLoader previousLoader = nullptr;
bool hookInstalled = false;

std::string LowerExtension(std::string_view name) {
  std::string ext = std::filesystem::path(std::string(name)).extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

}  // namespace

void TQuintrel::LoadResourceTexts(text::THashList& texts) {
  int misses = 0;
  for (unsigned id = kResourceTextsTop; id >= kResourceTextsBottom; --id) {
    std::string text = vcl::LoadStr(id);
    if (text.empty()) {
      if (++misses > kMaxMissesInARow) break;
      continue;
    }
    misses = 0;
    if (text.size() > kTextKeyLimit) text.resize(kTextKeyLimit);
    texts.Add(text, id);  // a duplicate text keeps the identifier found first
  }
}

bool TQuintrel::IsResStrValid(uint16_t, int count, const module::TZodObject* objects) {
  for (int i = 0; i < count; ++i) {
    const module::TZodObject& object = objects[i];
    if (object.CompName == 0) continue;
    const std::string design = text::UnicodeToByte(
        zod_.GetLongStringW(Module(), object.Localization, FDesignLanguage, false), FDesignCharset);
    // An identifier beyond the string table's range names none of its strings; the loader
    // would take it for the address of a literal text.
    if (object.CompName > 0xFFFF) return false;
    return design == vcl::LoadStr(object.CompName);
  }
  return false;
}

void TQuintrel::UpdateResStrID(uint16_t, int count, module::TZodObject* objects, text::THashList& texts) {
  for (int i = 0; i < count; ++i) {
    module::TZodObject& object = objects[i];
    std::string design = text::UnicodeToByte(
        zod_.GetLongStringW(Module(), object.Localization, FDesignLanguage, false), FDesignCharset);
    if (design.size() > kTextKeyLimit) design.resize(kTextKeyLimit);
    const std::optional<uint32_t> id = design.empty() ? std::nullopt : texts.Find(design);
    if (!id) continue;
    object.CompName = *id;
    if (readOnly_)
      unsaved_.push_back(object);
    else
      zod_.SetObject(Module(), object);
  }
}

void TQuintrel::LoadDesignConsts() {
  if (FProjectFile.empty() || Module() < 0) return;
  // In the development environment the add-in keeps the shared form list loaded; a running
  // application has never loaded it and reads the module's own.
  text::THashList own;
  text::THashList* forms = &module::FormList();
  if (forms->EntryCount() == 0) {
    module::LoadFormList(own, module::kMarkNone, Module());
    forms = &own;
  }
  FResStrMap.Clear();
  text::THashList texts;
  bool textsLoaded = false;
  const bool pascal = zod_.GetSwitchResStr(Module(), module::kSwitchResourceStrings);
  const bool script = zod_.GetSwitchResStr(Module(), module::kSwitchScriptStrings);

  std::vector<std::pair<std::string, uint32_t>> units;
  forms->Top();
  uint8_t key[256];
  uint8_t len = 0;
  uint32_t value = 0;
  while (forms->Next(key, len, value)) {
    std::string name(reinterpret_cast<const char*>(key), len);
    if (!name.empty() && name.front() == module::kUnconfirmedMark) name.erase(0, 1);
    if (!name.empty() && name.front() == '#') units.emplace_back(std::move(name), value);
  }
  for (const auto& [name, formId] : units) {
    const std::string ext = LowerExtension(name);
    const bool isPascal = ext == ".pas";
    if (!((isPascal && pascal) || (ext == ".rc" && script))) continue;
    const auto unit = static_cast<uint16_t>(formId);
    std::vector<module::TZodObject> objects = zod_.GetObjects(Module(), unit);
    const int count = static_cast<int>(objects.size());
    if (isPascal && !IsResStrValid(unit, count, objects.data())) {
      if (!textsLoaded) {
        LoadResourceTexts(texts);
        textsLoaded = true;
      }
      UpdateResStrID(unit, count, objects.data(), texts);
    }
    for (const module::TZodObject& object : objects)
      if (object.CompName != 0) {
        const std::string key = std::to_string(object.CompName);
        FResStrMap.Delete(key);
        FResStrMap.Add(key, object.Localization);
      }
  }
}

std::string CustomLoadResString(const vcl::TResStringRec* rec) {
  if (reentrant) return vcl::DefaultLoadResString(rec);
  reentrant = true;
  struct TClear {
    ~TClear() { reentrant = false; }
  } clear;
  if (!rec || rec->Identifier > 0xFFFF) return vcl::DefaultLoadResString(rec);
  TQuintrel* translator = GlobalQuintrel();
  if (!translator || translator->Module() < 0) return vcl::DefaultLoadResString(rec);
  const std::optional<uint32_t> term = translator->ResStrMap().Find(std::to_string(rec->Identifier));
  if (!term) return vcl::DefaultLoadResString(rec);
  module::TZod& zod = translator->Zod();
  const int m = translator->Module();
  storage::TCustomVarDB& db = zod.GetModuleInterface(m);
  const module::TLanguageId language = translator->CurrentLanguage();
  const uint8_t charset = translator->CurrentCharset();
  // A steady application loads the same strings again and again: each is read from the
  // module once and then served from memory while the module file is unchanged.
  TTextCache& cache = translator->LoadedTexts();
  if (const std::string* text = cache.Find(db, language, charset, *term))
    return text->empty() ? vcl::DefaultLoadResString(rec) : *text;
  std::u16string wide;
  {
    // The setting and the text of one state of the module, the stamp they are kept under.
    storage::TReadBracket read(db);
    wide = zod.GetLongStringW(m, *term, language, zod.GetUseOriginalIfUntranslated(m));
  }
  std::string text = wide.empty() ? std::string() : text::UnicodeToByte(wide, charset);
  cache.Put(db, language, charset, *term, text);
  return text.empty() ? vcl::DefaultLoadResString(rec) : text;
}

std::string WrapLoadResString(const vcl::TResStringRec* rec) { return CustomLoadResString(rec); }

void InstallResStrHook() {
  if (hookInstalled) return;
  previousLoader = vcl::SetResStringLoader(&WrapLoadResString);
  hookInstalled = true;
}

void RemoveResStrHook() {
  if (!hookInstalled) return;
  vcl::SetResStringLoader(previousLoader);
  previousLoader = nullptr;
  hookInstalled = false;
}

}  // namespace quintrel::runtime
