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
#include <string>
#include <unordered_map>

#include "module/zod.h"
#include "storage/vardbs.h"

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

}  // namespace quintrel::runtime
