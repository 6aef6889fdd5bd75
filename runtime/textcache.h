// The decoded texts of one language that the resource-string loader served, so that an
// application that keeps loading the same strings reads each from its module once.
//
// Coherence. Every text is kept with the module's ChangeCount it was read under (the
// engine's stamp after the read). A look-up answers only while the module file still holds
// that count (TCustomVarDB::StampHolds: one 4-byte read, no lock), so a text that another
// process, or this one, replaced is read again at the next load after the change. A count
// that moved empties the cache; so does another language, charset or module engine.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "module/zod.h"
#include "storage/vardbs.h"
#include "text/hashlist.h"

namespace quintrel::runtime {

class TTextCache {
public:
  // The text of term `ident` kept for this engine, language and charset, while the file
  // is unchanged; null when it has to be read. An empty text stands for "none in the
  // module".
  const std::string* Find(storage::TCustomVarDB& db, module::TLanguageId language, uint8_t charset, uint32_t ident);
  // Keeps the text just read (under the engine's current stamp).
  void Put(storage::TCustomVarDB& db, module::TLanguageId language, uint8_t charset, uint32_t ident,
           std::string text);
  void Clear() { texts_.clear(); }
  size_t Size() const { return texts_.size(); }

private:
  bool Matches(const storage::TCustomVarDB& db, module::TLanguageId language, uint8_t charset) const {
    return db.Identity() == engine_ && language == language_ && charset == charset_ && db.HeaderStamp() == stamp_;
  }

  uint64_t engine_ = 0;
  module::TLanguageId language_ = 0;
  uint8_t charset_ = 0;
  int32_t stamp_ = 0;
  std::unordered_map<uint32_t, std::string> texts_;
};

// What a language switch reads from the module, kept for the next switch: the form list,
// the language records, each form's catalogued objects (component, property path, term)
// and the terms' texts per language with the module's fall-back applied. A form of a
// running application is switched again and again against a module that has not changed;
// this way it reads the module once.
//
// Coherence. Everything is kept with the engine and the ChangeCount it was read under, as
// TTextCache keeps its texts. Adopt, called right after a read under the lock (inside a
// read bracket, or after an operation outside one), drops everything read at another
// count; Holds answers outside a lock with one 4-byte read whether the file still holds
// it. A switch checks Holds when it starts and Adopts in each form's read bracket, so
// another process's change (and this process's own writes, which move the count too) is
// seen at the next switch, and each form still gets one state of the module.
class TSwitchCache {
public:
  // A catalogued object with a term. Without a component name the object belongs to the
  // root (the form itself, whatever the instance is called). Hint is where the component
  // was found among the root's components last time (-1: the root), tried first.
  struct TObject {
    bool Named = false;
    std::string Component;
    std::string Path;
    uint32_t Term = 0;
    int Hint = -1;
  };
  using TTexts = std::unordered_map<uint32_t, std::u16string>;

  bool Holds(storage::TCustomVarDB& db) const {
    return db.Identity() == engine_ && db.HeaderStamp() == stamp_ && db.StampHolds();
  }
  // Drops what was read at another state than the engine's current one, and takes that.
  void Adopt(const storage::TCustomVarDB& db);
  void Clear();

  // The form list, null when not kept; KeepForms takes one just read.
  text::THashList* Forms() { return forms_.get(); }
  void KeepForms(std::unique_ptr<text::THashList> forms) { forms_ = std::move(forms); }
  const module::TZodLanguage* Language(module::TLanguageId id) const;
  void KeepLanguage(const module::TZodLanguage& language) { languages_.insert_or_assign(language.Identifier, language); }
  // The module's languages as the system menu lists them, null when not kept.
  const module::TLangStringList* LangList() const { return langList_ ? &*langList_ : nullptr; }
  void KeepLangList(const module::TLangStringList& list) { langList_ = list; }
  std::vector<TObject>* Objects(uint16_t form);
  std::vector<TObject>& KeepObjects(uint16_t form, std::vector<TObject> objects) {
    return objects_.insert_or_assign(form, std::move(objects)).first->second;
  }
  TTexts& Texts(module::TLanguageId language) { return texts_[language]; }

private:
  uint64_t engine_ = 0;
  int32_t stamp_ = 0;
  std::unique_ptr<text::THashList> forms_;
  std::unordered_map<module::TLanguageId, module::TZodLanguage> languages_;
  std::optional<module::TLangStringList> langList_;
  std::unordered_map<uint16_t, std::vector<TObject>> objects_;
  std::unordered_map<module::TLanguageId, TTexts> texts_;
};

}  // namespace quintrel::runtime
