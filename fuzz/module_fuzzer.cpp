// libFuzzer target: arbitrary bytes opened as a language module through the module layer,
// then read as an application and the tools read it: the module's settings and
// properties, its version record, languages, language codes and countries, the terms of
// every language with the translator's fall-back, the comments, the object catalogue of
// every form in both forms of its reading, dictionary translation, and the shared name
// lists built from the catalogue. Nothing is written.
//
// An input is the module file alone. An rtl::Exception is the module or the record
// database reporting damage and ends that step quietly; the next step reads on. A finding
// aborts the run with a line starting "==FINDING==": besides crashes, sanitizer reports,
// other exceptions and hangs (which libFuzzer reports itself), these are
//   - an existing file that neither takes a place in the module list nor is refused with
//     an exception;
//   - the two calls of a two-call read disagreeing on a file nobody changed in between.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/module_input.h"
#include "module/languages.h"
#include "module/namelists.h"
#include "module/objects.h"
#include "module/terms.h"
#include "module/zod.h"
#include "text/hashlist.h"

using namespace quintrel;
using module::TLanguageId;
using module::TZod;

namespace {

// Bounds of one run, so that a large or looping module cannot make a run slow.
constexpr size_t kMaxLanguages = 12;       // languages read in full, with their terms
constexpr size_t kMaxTermsPerLanguage = 48; // terms read one by one (GetTerms reads all)
constexpr size_t kMaxForms = 24;
constexpr size_t kMaxObjectsPerForm = 64;
constexpr size_t kMaxObjects = 256;
constexpr size_t kMaxProperties = 64;
constexpr size_t kMaxCodes = 16;
constexpr int32_t kMaxTwoCallBytes = 1 << 20;  // larger texts are read in the one-call form only

// Runs one step; damage the module reports ends only that step.
template <typename F>
void Step(F&& step) {
  try {
    step();
  } catch (const rtl::Exception&) {
  }
}

class TReader {
public:
  TReader(TZod& zod, int module) : zod_(zod), m_(module) {}

  void Run() {
    Step([&] { Module(); });
    Step([&] { Properties(); });
    Step([&] { Settings(); });
    Step([&] { Languages(); });
    Step([&] { CodesAndCountries(); });
    Step([&] { Catalogue(); });
    for (TLanguageId language : languages_) Step([&] { Terms(language); });
    Step([&] { Terms(module::kCommentLanguage); });
    Step([&] { Objects(); });
    Step([&] { NameLists(); });
    Step([&] { Translate(); });
  }

private:
  void Module() {
    (void)zod_.GetModuleName(m_);
    (void)zod_.GetModuleSize(m_);
    (void)zod_.GetDateCreated(m_);
    (void)zod_.GetZodVersion(m_);
    module::TZodVersion version;
    (void)zod_.GetVersion(m_, version);
  }

  void Properties() {
    std::vector<std::string> names = zod_.GetPropertyNames(m_);
    names.resize(std::min(names.size(), kMaxProperties));
    for (const std::string& name : names) {
      Step([&] {
        int32_t size = 0;
        if (!zod_.GetProperty(m_, name, nullptr, size) || size > kMaxTwoCallBytes) return;
        std::vector<uint8_t> bytes(static_cast<size_t>(std::max(size, 0)));
        int32_t again = size;
        zod_.GetProperty(m_, name, bytes.data(), again);
        if (again != size) fuzz::Finding("property \"" + name + "\" changed size between the two calls");
      });
    }
  }

  void Settings() {
    (void)zod_.GetDesignTimeLanguage(m_);
    (void)zod_.GetDefaultLanguage(m_);
    for (int kind : {module::kSwitchResourceStrings, module::kSwitchScriptStrings})
      (void)zod_.GetSwitchResStr(m_, kind);
    (void)zod_.GetWin32Locale(m_);
    (void)zod_.GetShowLangList(m_);
    (void)zod_.GetSaveSessionLanguage(m_);
    (void)zod_.GetUseOriginalIfUntranslated(m_);
    (void)zod_.GetAutoIncludeStatus(m_);
    int32_t size = zod_.GetAutoIncludes(m_, nullptr);
    if (size >= 0 && size <= kMaxTwoCallBytes) {
      std::vector<char> text(static_cast<size_t>(size) + 1);
      if (zod_.GetAutoIncludes(m_, text.data()) != size) fuzz::Finding("auto-includes changed size between the two calls");
    }
    (void)zod_.GetAutoIncludeList(m_);
    (void)zod_.GetCurrentLanguage(m_);
  }

  void Languages() {
    for (const char* property : {module::kPropLanguage, module::kPropLangCode, module::kPropCountry})
      (void)zod_.GetPackedList(m_, property);
    std::vector<TLanguageId> ids;
    std::vector<module::TZodText> names;
    zod_.GetLanguageList(m_, ids, &names);
    module::TLangStringList strings;
    zod_.GetLangList(m_, strings);
    (void)zod_.GetFreeLanguageID(m_);
    ids.resize(std::min(ids.size(), kMaxLanguages));
    for (TLanguageId id : ids) {
      module::TZodLanguage language;
      language.Identifier = id;
      if (zod_.GetLanguage(m_, language)) (void)module::PackLanguage(language);
      (void)zod_.GetCharsetOfLanguage(m_, id);
      languages_.push_back(id);
    }
    // The languages the settings name are read even when the list lacks them.
    for (TLanguageId id : {zod_.GetDesignTimeLanguage(m_), zod_.GetCurrentLanguage(m_)})
      if (std::find(languages_.begin(), languages_.end(), id) == languages_.end()) languages_.push_back(id);
  }

  void CodesAndCountries() {
    std::vector<uint16_t> codes;
    std::vector<module::TZodText> texts;
    zod_.GetLangCodeList(m_, codes, &texts);
    zod_.GetLangCodeList(-1, codes, &texts);
    for (size_t i = 0; i < std::min(codes.size(), kMaxCodes); ++i) {
      module::TZodLangCode code;
      code.Code = codes[i];
      if (zod_.GetLangCode(m_, code)) (void)module::PackLangCode(code);
    }
    std::vector<uint16_t> countries;
    zod_.GetCountryList(m_, countries, &texts);
    zod_.GetCountryList(-1, countries, &texts);
    for (size_t i = 0; i < std::min(countries.size(), kMaxCodes); ++i) {
      module::TZodCountry country;
      country.CountryCode = countries[i];
      if (zod_.GetCountry(m_, country)) (void)module::PackCountry(country);
      country.CountryCode = countries[i];
      (void)zod_.GetCountry(-1 - m_, country);  // every other module: none
    }
  }

  void Catalogue() {
    forms_ = zod_.GetForms(m_);
    comps_ = zod_.GetComps(m_);
    props_ = zod_.GetProps(m_);
    (void)module::JoinCatalogue(forms_);
  }

  // The packed terms of a language, then some of them one by one as the translator and the
  // tools read a term: by identifier, with and without fall-back, wide and narrow.
  void Terms(TLanguageId language) {
    std::vector<uint8_t> packed = zod_.GetTerms(m_, language);
    std::vector<module::TPackedTerm> terms =
        module::UnpackTerms(packed.data(), static_cast<int32_t>(std::min<size_t>(packed.size(), INT32_MAX)));
    (void)zod_.IsLanguageDictionary(m_, language);
    terms.resize(std::min(terms.size(), kMaxTermsPerLanguage));
    for (const module::TPackedTerm& packedTerm : terms) {
      Step([&] { Term(language, packedTerm.Ident); });
      if (sampleText_.empty() && !packedTerm.Data.empty() && packedTerm.Data.size() % 2 == 0) {
        sampleText_.resize(packedTerm.Data.size() / 2);
        for (size_t i = 0; i < sampleText_.size(); ++i)
          sampleText_[i] = static_cast<char16_t>(packedTerm.Data[2 * i] | (packedTerm.Data[2 * i + 1] << 8));
        sampleLanguage_ = language;
      }
    }
  }

  void Term(TLanguageId language, uint32_t ident) {
    module::TZodTerm term;
    term.Language = language;
    term.Ident = ident;
    if (zod_.GetTerm(m_, term) && term.Size <= kMaxTwoCallBytes) {
      const int32_t size = term.Size;
      std::vector<uint8_t> data(static_cast<size_t>(std::max(size, 0)));
      term.Data = data.data();
      zod_.GetTerm(m_, term);
      if (term.Size != size) fuzz::Finding("term " + std::to_string(ident) + " changed size between the two calls");
    }
    for (bool fallback : {false, true}) {
      int32_t units = zod_.GetLongStringW(m_, ident, language, nullptr, fallback);
      if (units >= 0 && units <= kMaxTwoCallBytes) {
        std::vector<char16_t> wide(static_cast<size_t>(units) + 1);
        if (zod_.GetLongStringW(m_, ident, language, wide.data(), fallback) != units)
          fuzz::Finding("long string " + std::to_string(ident) + " changed length between the two calls");
      }
      const int32_t charset = zod_.GetCharsetOfLanguage(m_, language);
      int32_t bytes = zod_.GetLongString(m_, ident, language, charset, nullptr, fallback);
      if (bytes >= 0 && bytes <= kMaxTwoCallBytes) {
        std::vector<char> narrow(static_cast<size_t>(bytes) + 1);
        if (zod_.GetLongString(m_, ident, language, charset, narrow.data(), fallback) != bytes)
          fuzz::Finding("narrow long string " + std::to_string(ident) + " changed length between the two calls");
      }
    }
    (void)zod_.GetCommentW(m_, ident, nullptr);
  }

  void Objects() {
    (void)zod_.GetObjectCount(m_);
    size_t read = 0;
    for (size_t i = 0; i < std::min(forms_.size(), kMaxForms) && read < kMaxObjects; ++i) {
      const std::string name = module::CatalogueName(forms_[i]);
      const uint16_t form = static_cast<uint16_t>(module::GetFormID(forms_, name));
      (void)module::GetFormIndex(forms_, form);
      Step([&] {
        int32_t count = zod_.GetObjects(m_, form, nullptr);
        std::vector<module::TZodObject> objects;
        if (count >= 0 && static_cast<size_t>(count) <= kMaxObjectsPerForm) {
          objects.resize(static_cast<size_t>(count));
          if (count > 0) zod_.GetObjects(m_, form, objects.data());
        }
        for (const module::TZodObject& listed : objects) {
          if (read++ >= kMaxObjects) break;
          Step([&] { Object(listed); });
        }
      });
    }
  }

  void Object(const module::TZodObject& listed) {
    module::TZodObject object;
    object.Ident = listed.Ident;
    object.FormID = listed.FormID;
    if (zod_.GetObject(m_, object)) (void)zod_.FindObject(m_, object);
    (void)zod_.GetFormOfObjectID(m_, listed.Ident);
    compIds_.push_back(listed.CompName);
    propIds_.push_back(listed.PropertyName);
    (void)module::GetCompIndex(comps_, listed.CompName);
    (void)module::GetPropIndex(props_, listed.PropertyName);
    (void)module::ZodClassName(listed.ZodClass);
    (void)module::ZodTypeName(listed.Kind);
    // The object's text as the translator takes it, in the first languages.
    for (size_t i = 0; i < std::min<size_t>(languages_.size(), 3); ++i)
      (void)zod_.GetLongStringW(m_, listed.Localization, languages_[i], true);
    (void)zod_.GetCommentW(m_, listed.Comment, nullptr);
  }

  // The name lists as the scanning tools and the translator load them.
  void NameLists() {
    text::THashList& forms = module::FormList();
    text::THashList& comps = module::CompList();
    text::THashList& props = module::PropList();
    module::LoadFormList(forms, module::kMarkForms, m_);
    for (size_t i = 0; i < std::min(forms_.size(), kMaxForms); ++i) {
      const std::string name = module::CatalogueName(forms_[i]);
      (void)module::FormAdd(name, m_, true);
      (void)module::GetIdentFromList(forms, name);
    }
    module::LoadCompList(comps, module::kMarkAll, m_);
    module::LoadPropList(props, module::kMarkResourceUnits, m_);
    for (uint32_t id : compIds_) (void)module::CompAddID(id);
    for (uint32_t id : propIds_) (void)module::PropAddID(id);
    // The translator's way: by value while it switches, by name again afterwards.
    comps.Clear();
    props.Clear();
    comps.SetHashOnValue(true);
    props.SetHashOnValue(true);
    module::LoadCompList(comps, module::kMarkNone, m_);
    module::LoadPropList(props, module::kMarkNone, m_);
    for (uint32_t id = 0; id < 16; ++id) {
      (void)comps.KeyOf(id);
      (void)props.KeyOf(id);
    }
    comps.Clear();
    props.Clear();
    comps.SetHashOnValue(false);
    props.SetHashOnValue(false);
    module::LoadFormList(forms, module::kMarkNone, m_);
  }

  void Translate() {
    if (languages_.empty()) return;
    const std::u16string source = sampleText_.empty() ? u"OK" : sampleText_;
    const TLanguageId from = sampleText_.empty() ? languages_.front() : sampleLanguage_;
    for (TLanguageId to : languages_) {
      (void)zod_.TranslateW(source, from, to, module::ucButton, 0);
      (void)zod_.TranslateW(source, from, to, 0, module::kTranslateAnyClass);
    }
  }

  TZod& zod_;
  int m_;
  std::vector<TLanguageId> languages_;
  module::TCatalogueList forms_, comps_, props_;
  std::vector<uint32_t> compIds_, propIds_;  // of the objects read
  std::u16string sampleText_;
  TLanguageId sampleLanguage_ = 0;
};

}  // namespace

extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::TModuleInput input;
  TZod& zod = module::GlobalZOD();
  const int m = input.Open(data, size);
  if (m == fuzz::TModuleInput::kRefused) return 0;
  if (m < 0) fuzz::Finding("the module file did not take a place in the module list");
  TReader(zod, m).Run();
  fuzz::TModuleInput::CloseAll();
  return 0;
}
