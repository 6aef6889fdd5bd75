// Terms, long strings, comments and dictionary translation of TZod.
#include <algorithm>
#include <cstring>
#include <limits>
#include <unordered_set>

#include "module/zod.h"
#include "storage/coding.h"
#include "strings/qconsts.h"
#include "text/codepages.h"

namespace quintrel::module {

namespace qs = quintrel::strings;
using storage::TCustomVarDB;
using storage::TFindRec;

ETermIndex::ETermIndex() : rtl::Exception(qs::_STermIndexCorrupt) {}

std::string TermTableName(TLanguageId language) {
  std::string name = kTermTablePrefix;
  name += static_cast<char>(language & 0xFF);
  name += static_cast<char>(language >> 8);
  return name;
}

std::vector<TPackedTerm> UnpackTerms(const uint8_t* buffer, int32_t size) {
  std::vector<TPackedTerm> terms;
  int64_t pos = 0;
  while (buffer && pos + kPackedTermHeader <= size) {
    const uint8_t* h = buffer + pos;
    int64_t length = static_cast<int32_t>(storage::Get32(h + 16));
    if (length < 0 || pos + kPackedTermHeader + length > size) break;
    TPackedTerm term;
    term.Language = static_cast<TLanguageId>(h[0] | (h[1] << 8));
    term.Ident = storage::Get32(h + 4);
    term.Status = h[8];
    term.Style = h[9];
    term.Data.assign(h + kPackedTermHeader, h + kPackedTermHeader + length);
    terms.push_back(std::move(term));
    pos += kPackedTermHeader + length;
  }
  return terms;
}

namespace {

// Field numbers of a term table; all -1 when the table is missing or lacks a field.
struct TTermFields {
  int Table = -1, Ident = -1, Status = -1, Style = -1, Data = -1;
  bool Valid() const { return Table >= 0 && Ident >= 0 && Status >= 0 && Style >= 0 && Data >= 0; }
};

// The field numbers of the term tables, looked up once per catalogue: every text read
// needs them, and five name look-ups cost more than the read itself.
struct TCachedTermFields {
  uint64_t Engine = 0, Generation = 0;
  TLanguageId Language = 0;
  TTermFields Fields;
};
constexpr size_t kTermFieldCacheSize = 64;

TTermFields TermFields(TCustomVarDB& db, TLanguageId language) {
  thread_local std::vector<TCachedTermFields> cache;
  // The header first: a catalogue changed by another process is reloaded here, which moves
  // the generation.
  storage::TFileHeader header;
  db.GetDatabaseHeader(header);
  for (const TCachedTermFields& c : cache)
    if (c.Engine == db.Identity() && c.Language == language && c.Generation == db.CatalogueGeneration())
      return c.Fields;
  TTermFields f;
  int table = db.GetTableNr(TermTableName(language));
  if (table >= 0) {
    // Texts are copied by the field types of the module's definition: a table that says
    // otherwise is refused here, also when it appeared after the module was opened.
    CheckModuleTable(db, table);
    f.Ident = db.GetFieldNr(table, "Ident");
    f.Status = db.GetFieldNr(table, "Status");
    f.Style = db.GetFieldNr(table, "Style");
    f.Data = db.GetFieldNr(table, "Data");
    f.Table = table;
  }
  auto same = [&](const TCachedTermFields& c) { return c.Engine == db.Identity() && c.Language == language; };
  cache.erase(std::remove_if(cache.begin(), cache.end(), same), cache.end());
  if (cache.size() >= kTermFieldCacheSize) cache.erase(cache.begin());
  cache.push_back({db.Identity(), db.CatalogueGeneration(), language, f});
  return f;
}

// Positions the cursor on the term's record.
bool FindTerm(TCustomVarDB& db, const TTermFields& f, uint32_t ident) {
  TFindRec key{f.Ident, &ident, 4};
  int32_t recNo = 0;
  return db.Lookup(f.Table, &key, 1, recNo);
}

uint32_t ReadIdent(TCustomVarDB& db, int table, int field) { return storage::Get32Padded(db.GetField(table, field)); }

// Term identifiers used by the objects of the forms listed in the form catalogue.
std::unordered_set<uint32_t> UsedTermIds(TZod& zod, int module) {
  std::unordered_set<uint32_t> used;
  for (const std::string& line : zod.GetForms(module)) {
    auto form = static_cast<uint16_t>(text::HexToInt(std::string_view(line).substr(0, 4)));
    for (const TZodObject& object : zod.GetObjects(module, form)) used.insert(object.Localization);
  }
  return used;
}

// Walks a language's term table in table order and returns the bytes its packed form
// takes; with `out`, appends that form there, each term's header and text in one read of
// its record. Lengths come from the file, so the total is counted where it cannot wrap and
// refused beyond what the packed form's 32-bit offsets and result can tell.
size_t PackedTerms(TCustomVarDB& db, const TTermFields& f, TLanguageId language, std::vector<uint8_t>* out) {
  constexpr size_t kLimit = static_cast<size_t>(std::numeric_limits<int32_t>::max());
  constexpr size_t kHeader = kPackedTermHeader;
  if (!f.Valid() || !db.Top(f.Table)) return 0;
  size_t total = 0;
  const int fields[4] = {f.Ident, f.Status, f.Style, f.Data};
  do {
    std::vector<std::vector<uint8_t>> values;
    size_t size = 0;
    if (out) {
      values = db.GetFieldValues(f.Table, fields, 4);
      size = values[3].size();
    } else {
      int32_t length = 0;
      db.GetField(f.Table, f.Data, nullptr, length);
      size = static_cast<size_t>(std::max(length, 0));
    }
    if (total > kLimit - kHeader || size > kLimit - kHeader - total)
      throw rtl::Exception(rtl::Format(qs::_STermsTooLarge, db.FileName(), static_cast<uint32_t>(language)));
    if (out) {
      out->resize(total + kHeader + size);
      uint8_t* h = out->data() + total;
      storage::Put16(h, language);
      storage::Put32(h + 4, storage::Get32Padded(values[0]));
      h[8] = values[1].empty() ? 0 : values[1][0];
      h[9] = values[2].empty() ? 0 : values[2][0];
      storage::Put32(h + 12, static_cast<uint32_t>(total + kHeader));
      storage::Put32(h + 16, static_cast<uint32_t>(size));
      if (size > 0) std::memcpy(h + kHeader, values[3].data(), size);
    }
    total += kHeader + size;
  } while (db.Step(f.Table, 1));
  return total;
}

std::vector<uint8_t> Utf16Bytes(std::u16string_view text) {
  std::vector<uint8_t> bytes(text.size() * 2);
  for (size_t i = 0; i < text.size(); ++i) {
    bytes[2 * i] = static_cast<uint8_t>(text[i]);
    bytes[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
  }
  return bytes;
}

std::u16string FromUtf16Bytes(const std::vector<uint8_t>& bytes) {
  std::u16string text(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return text;
}

int32_t PutText(const std::u16string& text, char16_t* buffer) {
  if (buffer) {
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
  }
  return static_cast<int32_t>(text.size());
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Single terms

bool TZod::GetTerm(int module, TZodTerm& term) {
  if (!ValidIndex(module)) return false;
  TCustomVarDB& db = *At(module).Db;
  TModuleLock lock(db, false);
  TTermFields f = TermFields(db, term.Language);
  if (!f.Valid() || !FindTerm(db, f, term.Ident)) return false;
  // Each length given is the room at Data: the text goes into the caller's buffer only as
  // far as it reaches (another process may have lengthened the term since the call that
  // measured it).
  uint8_t ident[4] = {};
  TFindRec fields[4] = {{f.Ident, ident, 4},
                        {f.Status, &term.Status, 1},
                        {f.Style, &term.Style, 1},
                        {f.Data, term.Data, term.Data ? term.Size : 0}};
  db.GetFields(f.Table, fields, 4);
  if (storage::Get32(ident) != term.Ident) throw ETermIndex();
  term.Size = fields[3].Length;
  return true;
}

std::optional<TZod::TTermText> TZod::ReadTerm(int module, TLanguageId language, uint32_t ident) {
  if (!ValidIndex(module)) return std::nullopt;
  TCustomVarDB& db = *At(module).Db;
  TModuleLock lock(db, false);
  TTermFields f = TermFields(db, language);
  if (!f.Valid() || !FindTerm(db, f, ident)) return std::nullopt;
  // The lengths first, then the values in one read.
  TFindRec fields[3] = {{f.Ident, nullptr, 0}, {f.Status, nullptr, 0}, {f.Data, nullptr, 0}};
  db.GetFields(f.Table, fields, 3);
  std::vector<uint8_t> identBytes(static_cast<size_t>(std::max(fields[0].Length, 4)));
  std::vector<uint8_t> statusBytes(static_cast<size_t>(std::max(fields[1].Length, 1)));
  TTermText text;
  text.Data.resize(static_cast<size_t>(std::max(fields[2].Length, 0)));
  fields[0].Data = identBytes.data();
  fields[1].Data = statusBytes.data();
  fields[2].Data = text.Data.empty() ? nullptr : text.Data.data();
  db.GetFields(f.Table, fields, 3);
  if (storage::Get32(identBytes.data()) != ident) throw ETermIndex();
  text.Status = fields[1].Length > 0 ? statusBytes[0] : 0;
  return text;
}

bool TZod::SetTerm(int module, const TZodTerm& term) {
  TCustomVarDB& db = *At(module).Db;
  TModuleLock lock(db, true);
  TTermFields f = TermFields(db, term.Language);
  if (f.Table < 0) {
    int table = db.AddTable(TermTableName(term.Language) + kTermTableDefinition);
    db.IndexCreate(table, db.GetFieldNr(table, "Ident"), 1, true, true);
    f = TermFields(db, term.Language);
  }
  if (!f.Valid()) return false;
  uint8_t ident[4];
  storage::Put32(ident, term.Ident);
  uint8_t status = term.Status, style = term.Style;
  bool withData = term.Size >= 1 && term.Data;
  TFindRec fields[4] = {{f.Ident, ident, 4}, {f.Status, &status, 1}, {f.Style, &style, 1},
                        {f.Data, term.Data, withData ? term.Size : 0}};
  int n = withData ? 4 : 3;
  if (FindTerm(db, f, term.Ident)) {
    db.SetFields(f.Table, fields, n);
  } else {
    db.AddRecord(f.Table, fields, n);
  }
  return true;
}

bool TZod::RemoveTerm(int module, const TZodTerm& term) {
  TCustomVarDB& db = *At(module).Db;
  TModuleLock lock(db, true);
  TTermFields f = TermFields(db, term.Language);
  if (!f.Valid() || !FindTerm(db, f, term.Ident)) return false;
  return db.DeleteRecord(f.Table, true);
}

int32_t TZod::GetTerms(int module, TLanguageId language, uint8_t* buffer) {
  TCustomVarDB& db = *At(module).Db;
  TModuleLock lock(db, false);
  TTermFields f = TermFields(db, language);
  if (!buffer) return static_cast<int32_t>(PackedTerms(db, f, language, nullptr));
  std::vector<uint8_t> packed;
  PackedTerms(db, f, language, &packed);
  if (!packed.empty()) std::memcpy(buffer, packed.data(), packed.size());
  return static_cast<int32_t>(packed.size());
}

std::vector<uint8_t> TZod::GetTerms(int module, TLanguageId language) {
  TCustomVarDB& db = *At(module).Db;
  TModuleLock lock(db, false);
  std::vector<uint8_t> packed;
  PackedTerms(db, TermFields(db, language), language, &packed);
  return packed;
}

uint32_t TZod::GetNewTermID(int module) {
  if (!ValidIndex(module)) return kFirstTermId;
  TModuleLock lock(*At(module).Db, true);
  uint32_t value = kFirstTermId;
  auto stored = GetProperty(module, kPropTermCount);
  if (stored && stored->size() == 4) {
    uint32_t last = storage::Get32(stored->data());
    value = last == kLastTermId ? kFirstTermId : last + 1;
  }
  uint8_t bytes[4];
  storage::Put32(bytes, value);
  SetProperty(kPropTermCount, bytes, module, 4);
  return value;
}

void TZod::RemoveTerms(int module, TLanguageId language) {
  TCustomVarDB& db = *At(module).Db;
  TModuleLock lock(db, true);
  int table = db.GetTableNr(TermTableName(language));
  if (table >= 0) db.DeleteTable(table);
}

bool TZod::PackTerms(int module, TLanguageId language) {
  if (!ValidIndex(module)) return false;
  TCustomVarDB& db = *At(module).Db;
  TModuleLock lock(db, true);
  TTermFields f = TermFields(db, language);
  if (!f.Valid()) return false;
  db.IndexPack(f.Table, f.Ident);
  return true;
}

bool TZod::RemoveOldTerms(int module, std::vector<std::pair<TLanguageId, int32_t>>* removed) {
  TCustomVarDB& db = *At(module).Db;
  TModuleLock lock(db, true);
  storage::TUpdateBracket update(db);
  std::unordered_set<uint32_t> used = UsedTermIds(*this, module);
  std::vector<TLanguageId> languages;
  GetLanguageList(module, languages);
  for (TLanguageId language : languages) {
    std::vector<uint8_t> packed = GetTerms(module, language);
    int32_t count = 0;
    for (const TPackedTerm& term : UnpackTerms(packed.data(), static_cast<int32_t>(packed.size()))) {
      if (used.contains(term.Ident)) continue;
      TZodTerm key;
      key.Language = language;
      key.Ident = term.Ident;
      if (RemoveTerm(module, key)) ++count;
    }
    PackTerms(module, language);
    if (removed) removed->emplace_back(language, count);
  }
  update.Commit();
  return false;
}

// ---------------------------------------------------------------------------------------
// Long strings and comments

std::optional<std::u16string> TZod::LongText(int module, uint32_t ident, TLanguageId language, bool fallback) {
  auto term = ReadTerm(module, language, ident);
  if (term && term->Status != usUnTranslated) return FromUtf16Bytes(term->Data);
  if (fallback && GetUseOriginalIfUntranslated(module)) {
    auto original = ReadTerm(module, GetDesignTimeLanguage(module), ident);
    if (original) return FromUtf16Bytes(original->Data);
  }
  return std::nullopt;
}

int32_t TZod::GetLongStringW(int module, uint32_t ident, TLanguageId language, char16_t* buffer, bool fallback) {
  auto text = LongText(module, ident, language, fallback);
  return PutText(text.value_or(u""), buffer);
}

std::u16string TZod::GetLongStringW(int module, uint32_t ident, TLanguageId language, bool fallback) {
  return LongText(module, ident, language, fallback).value_or(u"");
}

int32_t TZod::GetLongString(int module, uint32_t ident, TLanguageId language, int32_t charset, char* buffer,
                            bool fallback) {
  if (!buffer) {
    longStringCache_ = GetLongStringW(module, ident, language, fallback);
    return text::UnicodeToByte(nullptr, longStringCache_->data(), static_cast<int32_t>(longStringCache_->size()),
                               charset);
  }
  std::u16string wide =
      longStringCache_ ? std::move(*longStringCache_) : GetLongStringW(module, ident, language, fallback);
  longStringCache_.reset();
  int32_t count = text::UnicodeToByte(buffer, wide.data(), static_cast<int32_t>(wide.size()), charset);
  buffer[count] = 0;
  return count;
}

int32_t TZod::GetCommentW(int module, uint32_t ident, char16_t* buffer) {
  auto term = ReadTerm(module, kCommentLanguage, ident);
  return PutText(term ? FromUtf16Bytes(term->Data) : std::u16string(), buffer);
}

bool TZod::SetCommentW(int module, uint32_t ident, std::u16string_view text) {
  std::vector<uint8_t> bytes = Utf16Bytes(text);
  TZodTerm term;
  term.Language = kCommentLanguage;
  term.Ident = ident;
  term.Data = bytes.data();
  term.Size = static_cast<int32_t>(bytes.size());
  return SetTerm(module, term);
}

// ---------------------------------------------------------------------------------------
// Dictionaries

bool TZod::SetDictionary(int module, TLanguageId language, bool on) {
  if (!ValidIndex(module)) return false;
  TCustomVarDB& db = *At(module).Db;
  TModuleLock lock(db, true);
  TTermFields f = TermFields(db, language);
  int objTable = db.GetTableNr(kObjTable);
  int locField = objTable < 0 ? -1 : db.GetFieldNr(objTable, "Localization");
  if (f.Table < 0 || f.Data < 0 || locField < 0) return false;
  if (on) {
    db.IndexCreate(f.Table, f.Data, 1, false, false);
    db.IndexCreate(objTable, locField, 1, true, true);
  } else {
    db.IndexRemove(f.Table, f.Data, 0);
    db.IndexRemove(objTable, locField, 0);
  }
  return true;
}

bool TZod::IsLanguageDictionary(int module, TLanguageId language) {
  if (!ValidIndex(module)) return false;
  TCustomVarDB& db = *At(module).Db;
  TModuleLock lock(db, false);
  TTermFields f = TermFields(db, language);
  return f.Table >= 0 && f.Data >= 0 && db.IndexExists(f.Table, f.Data);
}

std::optional<std::u16string> TZod::TranslateW(std::u16string_view source, TLanguageId fromLanguage,
                                               TLanguageId toLanguage, uint8_t zodClass, int flags) {
  std::vector<uint8_t> key = Utf16Bytes(source);
  for (int module = 0; module < GetModuleCount(); ++module) {
    if (!IsLanguageDictionary(module, fromLanguage)) continue;
    TCustomVarDB& db = *At(module).Db;
    TModuleLock lock(db, false);
    if (db.GetTableNr(TermTableName(toLanguage)) < 0) continue;
    TTermFields from = TermFields(db, fromLanguage);
    TFindRec textKey{from.Data, key.data(), static_cast<int32_t>(key.size())};
    int32_t recNo = 0;
    if (!from.Valid() || !db.Lookup(from.Table, &textKey, 1, recNo)) continue;
    uint32_t ident = ReadIdent(db, from.Table, from.Ident);
    int objTable = db.GetTableNr(kObjTable);
    int locField = db.GetFieldNr(objTable, "Localization"), classField = db.GetFieldNr(objTable, "ZodClass");
    if (locField < 0 || classField < 0) continue;
    TFindRec objKey{locField, &ident, 4};
    if (!db.Lookup(objTable, &objKey, 1, recNo)) continue;
    uint8_t objectClass = static_cast<uint8_t>(ReadIdent(db, objTable, classField));
    if (objectClass != zodClass && !(flags & kTranslateAnyClass)) continue;
    auto target = ReadTerm(module, toLanguage, ReadIdent(db, objTable, locField));
    if (target) return FromUtf16Bytes(target->Data);
  }
  return std::nullopt;
}

int32_t TZod::TranslateW(std::u16string_view source, char16_t* dest, TLanguageId fromLanguage,
                         TLanguageId toLanguage, uint8_t zodClass, int flags) {
  auto text = TranslateW(source, fromLanguage, toLanguage, zodClass, flags);
  if (!text) return -1;
  return PutText(*text, dest);
}

}  // namespace quintrel::module
