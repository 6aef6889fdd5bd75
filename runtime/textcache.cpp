#include "runtime/textcache.h"

#include <utility>

namespace quintrel::runtime {

const std::string* TTextCache::Find(storage::TCustomVarDB& db, module::TLanguageId language, uint8_t charset,
                                    uint32_t ident) {
  if (texts_.empty() || !Matches(db, language, charset)) return nullptr;
  if (!db.StampHolds()) {
    texts_.clear();
    return nullptr;
  }
  auto found = texts_.find(ident);
  return found == texts_.end() ? nullptr : &found->second;
}

void TTextCache::Put(storage::TCustomVarDB& db, module::TLanguageId language, uint8_t charset, uint32_t ident,
                     std::string text) {
  if (!Matches(db, language, charset)) {
    texts_.clear();
    engine_ = db.Identity();
    language_ = language;
    charset_ = charset;
    stamp_ = db.HeaderStamp();
  }
  texts_.insert_or_assign(ident, std::move(text));
}

}  // namespace quintrel::runtime
