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

void TSwitchCache::Adopt(const storage::TCustomVarDB& db) {
  if (db.Identity() == engine_ && db.HeaderStamp() == stamp_) return;
  Clear();
  engine_ = db.Identity();
  stamp_ = db.HeaderStamp();
}

void TSwitchCache::Clear() {
  engine_ = 0;
  forms_.reset();
  languages_.clear();
  langList_.reset();
  objects_.clear();
  texts_.clear();
}

const module::TZodLanguage* TSwitchCache::Language(module::TLanguageId id) const {
  auto found = languages_.find(id);
  return found == languages_.end() ? nullptr : &found->second;
}

std::vector<TSwitchCache::TObject>* TSwitchCache::Objects(uint16_t form) {
  auto found = objects_.find(form);
  return found == objects_.end() ? nullptr : &found->second;
}

}  // namespace quintrel::runtime
