#include "text/ustringlist.h"

#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <exception>
#include <limits>
#include <optional>

#include "strings/textconsts.h"
#include "strings/vclconsts.h"
#include "text/codepages.h"

namespace quintrel::text {

namespace S = quintrel::strings;
using rtl::Format;

namespace {

constexpr int kStrField = 1;
constexpr int kDataField = 2;
constexpr int32_t kCursorUnknown = -1;
// Field lengths are 32-bit byte counts: an item and its terminator must fit one.
constexpr size_t kMaxItemUnits = std::numeric_limits<int32_t>::max() / 2 - 1;
constexpr size_t kReadChunk = 65536;

std::u16string_view ViewOf(const char16_t* s) { return s ? std::u16string_view(s, LenW(s)) : std::u16string_view(); }

std::u16string_view UpToTerminator(std::u16string_view s) { return s.substr(0, s.find(u'\0')); }

// Units as UTF-16 little-endian bytes, optionally followed by the terminating 0.
std::vector<uint8_t> UnitBytes(std::u16string_view s, bool terminate) {
  std::vector<uint8_t> bytes;
  bytes.reserve((s.size() + 1) * 2);
  for (char16_t c : s) {
    bytes.push_back(static_cast<uint8_t>(c));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  if (terminate) bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

// UTF-16 little-endian bytes as units; an odd trailing byte is dropped.
std::u16string UnitsOf(const uint8_t* bytes, size_t count) {
  std::u16string s(count / 2, u'\0');
  for (size_t i = 0; i < s.size(); ++i)
    s[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return s;
}

// The value of field Str for an item: its units up to the first 0, then the terminator.
std::vector<uint8_t> StrFieldOf(std::u16string_view s) {
  s = UpToTerminator(s);
  if (s.size() > kMaxItemUnits)
    throw rtl::Exception(Format(S::_SListItemTooLong, static_cast<uint64_t>(s.size()), static_cast<uint64_t>(kMaxItemUnits)));
  return UnitBytes(s, true);
}

std::string ReadToEnd(rtl::TStream& stream) {
  std::string bytes;
  char chunk[kReadChunk];
  for (size_t n; (n = stream.Read(chunk, sizeof chunk)) > 0;) bytes.append(chunk, n);
  return bytes;
}

void WriteUnits(rtl::TStream& stream, std::u16string_view s) {
  std::vector<uint8_t> bytes = UnitBytes(s, false);
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), bytes.size());
}

}  // namespace

EListIndexError::EListIndexError(int32_t index)
    : rtl::Exception(Format(S::_SListIndexError, index)), index_(index) {}

// Holds an update open for a scope. Ending it can raise (the catalogue is written then),
// which must not replace an exception already on its way.
class TUStringList::TUpdateScope {
public:
  explicit TUpdateScope(TUStringList& list) : list_(list), pending_(std::uncaught_exceptions()) {
    list_.BeginUpdate();
  }
  ~TUpdateScope() noexcept(false) {
    if (std::uncaught_exceptions() == pending_) {
      list_.EndUpdate();
      return;
    }
    try {
      list_.EndUpdate();
    } catch (...) {
    }
  }
  TUpdateScope(const TUpdateScope&) = delete;
  TUpdateScope& operator=(const TUpdateScope&) = delete;

private:
  TUStringList& list_;
  int pending_;
};

TUStringList::TUStringList() : db_(std::make_unique<storage::TCustomVarDB>("StrList")) {
  table_ = db_->AddTable("ROWS Str V Data N");
}

TUStringList::~TUStringList() = default;

int32_t TUStringList::GetCount() const { return db_->Table(table_).Header.RecordCount; }

// ---------------------------------------------------------------------------------------
// Events and updates

void TUStringList::Changed() {
  if (updateCount_ == 0 && OnChange) OnChange(*this);
}

void TUStringList::Changing() {
  if (updateCount_ == 0 && OnChanging) OnChanging(*this);
}

void TUStringList::SetUpdateState(bool updating) {
  if (updating) {
    Changing();
    db_->BeginTableUpdate();
  } else {
    db_->EndTableUpdate();
    Changed();
  }
}

void TUStringList::BeginUpdate() {
  if (updateCount_ == 0) SetUpdateState(true);
  ++updateCount_;
}

void TUStringList::EndUpdate() {
  if (updateCount_ == 0) return;
  if (--updateCount_ == 0) SetUpdateState(false);
}

// ---------------------------------------------------------------------------------------
// Positions

void TUStringList::CheckIndex(int32_t index, int32_t limit) const {
  if (index < 0 || index >= limit) throw EListIndexError(index);
}

// Moves the table cursor to a valid index. Each block crossed costs a block load, so the
// walk starts from the nearest of the known cursor, the first and the last record.
void TUStringList::SeekTo(int32_t index) const {
  const int64_t last = GetCount() - 1;
  const int64_t fromCursor = cursor_ == kCursorUnknown ? std::numeric_limits<int64_t>::max()
                                                       : std::abs(static_cast<int64_t>(index) - cursor_);
  if (fromCursor == 0) return;
  const int32_t from = cursor_;
  cursor_ = kCursorUnknown;
  bool reached;
  if (fromCursor <= index && fromCursor <= last - index) {
    reached = db_->Step(table_, index - from);
  } else if (index <= last - index) {
    reached = db_->Top(table_) && (index == 0 || db_->Step(table_, index));
  } else {
    reached = db_->Bottom(table_) && (index == last || db_->Step(table_, static_cast<int>(index - last)));
  }
  // The table holds fewer records than the list counts: its blocks disagree with the
  // catalogue.
  if (!reached) throw storage::EBlockInconsistent();
  cursor_ = index;
}

std::vector<uint8_t> TUStringList::ReadField(int32_t index, int field) const {
  CheckIndex(index, GetCount());
  SeekTo(index);
  return db_->GetField(table_, field);
}

std::u16string TUStringList::ReadItem(int32_t index) const {
  std::vector<uint8_t> field = ReadField(index, kStrField);
  std::u16string s = UnitsOf(field.data(), field.size());
  s.resize(UpToTerminator(s).size());
  return s;
}

// ---------------------------------------------------------------------------------------
// Objects

uint32_t TUStringList::ObjectNumber(void* object) {
  if (!object) return 0;
  auto [it, added] = numbers_.try_emplace(object, static_cast<uint32_t>(objects_.size() + 1));
  if (added) objects_.push_back(object);
  return it->second;
}

void* TUStringList::ObjectOf(const std::vector<uint8_t>& field) const {
  uint32_t number = 0;
  std::memcpy(&number, field.data(), std::min<size_t>(field.size(), 4));
  return number >= 1 && number <= objects_.size() ? objects_[number - 1] : nullptr;
}

void TUStringList::ForgetObjects() {
  objects_.clear();
  numbers_.clear();
}

void* TUStringList::GetObject(int32_t index) const { return ObjectOf(ReadField(index, kDataField)); }

void TUStringList::PutObject(int32_t index, void* object) {
  CheckIndex(index, GetCount());
  Changing();
  const uint32_t number = ObjectNumber(object);
  const uint8_t bytes[4] = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                            static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
  SeekTo(index);
  db_->SetField(table_, kDataField, bytes, 4);
  Changed();
}

int32_t TUStringList::IndexOfObject(const void* object) const {
  uint32_t wanted = 0;
  if (object) {
    auto it = numbers_.find(object);
    if (it == numbers_.end()) return -1;
    wanted = it->second;
  }
  for (int32_t i = 0, n = GetCount(); i < n; ++i) {
    std::vector<uint8_t> field = ReadField(i, kDataField);
    uint32_t number = 0;
    std::memcpy(&number, field.data(), std::min<size_t>(field.size(), 4));
    if (number == wanted) return i;
  }
  return -1;
}

// ---------------------------------------------------------------------------------------
// Adding, changing and removing items

int32_t TUStringList::AddUnits(std::u16string_view s) {
  std::vector<uint8_t> field = StrFieldOf(s);
  Changing();
  cursor_ = kCursorUnknown;
  db_->AddRecord(table_);
  const int32_t index = GetCount() - 1;
  cursor_ = index;
  db_->SetField(table_, kStrField, field.data(), static_cast<int32_t>(field.size()));
  Changed();
  return index;
}

int32_t TUStringList::Add(const char16_t* s) { return AddUnits(ViewOf(s)); }
int32_t TUStringList::Add(std::u16string_view s) { return AddUnits(s); }
int32_t TUStringList::AddA(std::string_view bytes) { return AddUnits(ByteToUnicode(bytes, charset_)); }

int32_t TUStringList::AddObject(const char16_t* s, void* object) { return AddObject(ViewOf(s), object); }

int32_t TUStringList::AddObject(std::u16string_view s, void* object) {
  const int32_t index = AddUnits(s);
  PutObject(index, object);
  return index;
}

void TUStringList::AddStrings(const TUStringList& list) {
  TUpdateScope update(*this);
  // Counted first, so that adding a list to itself copies it once.
  for (int32_t i = 0, n = list.GetCount(); i < n; ++i) AddObject(list.ReadItem(i), list.GetObject(i));
}

void TUStringList::Assign(const TUStringList& source) {
  if (&source == this) return;
  TUpdateScope update(*this);
  Clear();
  AddStrings(source);
}

void TUStringList::InsertUnits(int32_t index, std::u16string_view s) {
  const int32_t count = GetCount();
  CheckIndex(index, count + 1);
  std::vector<uint8_t> field = StrFieldOf(s);
  Changing();
  if (index == count) {
    cursor_ = kCursorUnknown;
    db_->InsertRecord(table_, storage::kInsertLast);
  } else {
    SeekTo(index);
    cursor_ = kCursorUnknown;
    db_->InsertRecord(table_, storage::kInsertBefore);
  }
  cursor_ = index;
  db_->SetField(table_, kStrField, field.data(), static_cast<int32_t>(field.size()));
  Changed();
}

void TUStringList::Insert(int32_t index, const char16_t* s) { InsertUnits(index, ViewOf(s)); }
void TUStringList::Insert(int32_t index, std::u16string_view s) { InsertUnits(index, s); }

void TUStringList::InsertObject(int32_t index, const char16_t* s, void* object) {
  InsertObject(index, ViewOf(s), object);
}

void TUStringList::InsertObject(int32_t index, std::u16string_view s, void* object) {
  InsertUnits(index, s);
  PutObject(index, object);
}

void TUStringList::PutUnits(int32_t index, std::u16string_view s) {
  CheckIndex(index, GetCount());
  std::vector<uint8_t> field = StrFieldOf(s);
  Changing();
  SeekTo(index);
  db_->SetField(table_, kStrField, field.data(), static_cast<int32_t>(field.size()));
  Changed();
}

void TUStringList::Put(int32_t index, const char16_t* s) { PutUnits(index, ViewOf(s)); }
void TUStringList::Put(int32_t index, std::u16string_view s) { PutUnits(index, s); }
void TUStringList::PutA(int32_t index, std::string_view bytes) { PutUnits(index, ByteToUnicode(bytes, charset_)); }

void TUStringList::Delete(int32_t index) {
  CheckIndex(index, GetCount());
  Changing();
  SeekTo(index);
  // The engine leaves its cursor on the following record when that lies in the same
  // block, and on the new last record when the last one went. A record that ended its
  // block leaves the cursor on either neighbour, depending on how the blocks rebalance.
  const storage::TTable& table = db_->Table(table_);
  const bool followerInBlock = table.CurBuffer && table.Header.CurPos < table.CurBuffer->Count();
  cursor_ = kCursorUnknown;
  db_->DeleteRecord(table_, true);
  const int32_t count = GetCount();
  if (count == 0) {
    ForgetObjects();
  } else if (index == count) {
    cursor_ = count - 1;
  } else if (followerInBlock) {
    cursor_ = index;
  }
  Changed();
}

void TUStringList::Exchange(int32_t index1, int32_t index2) {
  const int32_t count = GetCount();
  CheckIndex(index1, count);
  CheckIndex(index2, count);
  Changing();
  std::vector<uint8_t> str1 = ReadField(index1, kStrField), data1 = ReadField(index1, kDataField);
  std::vector<uint8_t> str2 = ReadField(index2, kStrField), data2 = ReadField(index2, kDataField);
  auto store = [&](int32_t index, std::vector<uint8_t>& str, std::vector<uint8_t>& data) {
    const storage::TFindRec fields[2] = {{kStrField, str.data(), static_cast<int32_t>(str.size())},
                                         {kDataField, data.data(), static_cast<int32_t>(data.size())}};
    SeekTo(index);
    db_->SetFields(table_, fields, 2);
  };
  store(index1, str2, data2);
  store(index2, str1, data1);
  Changed();
}

void TUStringList::Move(int32_t from, int32_t to) {
  if (from == to) return;
  const int32_t count = GetCount();
  CheckIndex(from, count);
  CheckIndex(to, count);
  TUpdateScope update(*this);
  std::u16string s = ReadItem(from);
  void* object = GetObject(from);
  Delete(from);
  InsertObject(to, s, object);
}

void TUStringList::Clear() {
  if (GetCount() == 0) return;
  Changing();
  cursor_ = kCursorUnknown;
  // One catalogue write for the whole run, unless an update already defers it.
  const bool deferHere = updateCount_ == 0;
  std::optional<storage::TUpdateBracket> update;
  if (deferHere) update.emplace(*db_);
  while (GetCount() > 0)
    if (!db_->Top(table_) || !db_->DeleteRecord(table_, true)) throw storage::EBlockInconsistent();
  if (update) update->Commit();
  cursor_ = 0;
  ForgetObjects();
  Changed();
}

// ---------------------------------------------------------------------------------------
// Reading items and searching

const char16_t* TUStringList::Get(int32_t index) const {
  std::vector<uint8_t> field = ReadField(index, kStrField);
  const int32_t units = static_cast<int32_t>(field.size() / 2);
  lastString_.reset();
  lastString_.reset(StrAllocW(units));
  if (lastString_) {
    std::memcpy(lastString_.get(), field.data(), static_cast<size_t>(units) * 2);
    lastString_.get()[units] = 0;
  }
  return lastString_.get();
}

std::u16string TUStringList::Strings(int32_t index) const { return ReadItem(index); }

std::string TUStringList::GetA(int32_t index) const { return UnicodeToByte(ReadItem(index), charset_); }

int32_t TUStringList::IndexOf(const char16_t* s) const { return IndexOf(ViewOf(s)); }

int32_t TUStringList::IndexOf(std::u16string_view s) const {
  if (GetCount() == 0) return -1;
  // The key carries the terminator, so that an empty item compares equal to an empty key.
  std::vector<uint8_t> key = StrFieldOf(s);
  storage::TFindRec field{kStrField, key.data(), static_cast<int32_t>(key.size())};
  int32_t recNo = 0;
  cursor_ = kCursorUnknown;
  const bool found = db_->Lookup(table_, &field, 1, recNo);
  cursor_ = found ? recNo : GetCount() - 1;
  return found ? recNo : -1;
}

bool TUStringList::Find(const char16_t* s, int32_t& index) const {
  const int32_t length = LenW(s);
  bool result = false;
  int32_t low = 0, high = GetCount() - 1;
  while (low <= high) {
    const int32_t middle = low + (high - low) / 2;
    const std::u16string item = ReadItem(middle);
    const int32_t c = CompareW(item.c_str(), s, static_cast<int32_t>(item.size()), length);
    if (c < 0) {
      low = middle + 1;
    } else {
      high = middle - 1;
      if (c == 0) {
        result = true;
        if (duplicates_ != dupAccept) low = middle;
      }
    }
  }
  index = low;
  return result;
}

// ---------------------------------------------------------------------------------------
// Text form

void TUStringList::AppendTextLine(std::u16string& text, std::u16string_view item) {
  for (char16_t c : item) {
    switch (c) {
      case u'\t': text += u"\\t"; break;
      case u'\n': text += u"\\n"; break;
      case u'\r': text += u"\\r"; break;
      case u'\\': text += u"\\\\"; break;
      default: text += c;
    }
  }
  text += u"\r\n";
}

std::u16string TUStringList::Text() const {
  std::u16string text;
  for (int32_t i = 0, n = GetCount(); i < n; ++i) AppendTextLine(text, ReadItem(i));
  return text;
}

char16_t* TUStringList::GetTextStr() const { return StrNewW(Text()); }

void TUStringList::SetTextStr(const char16_t* text) {
  TUpdateScope update(*this);
  Clear();
  if (!text) return;
  std::u16string line;
  const char16_t* p = text;
  auto endsLine = [](char16_t c) { return c == 0 || c == u'\r' || c == u'\n'; };
  while (*p != 0) {
    line.clear();
    for (; !endsLine(*p); ++p) {
      if (*p != u'\\' || endsLine(p[1])) {
        line += *p;
        continue;
      }
      switch (*++p) {
        case u'n': line += u'\n'; break;
        case u'r': line += u'\r'; break;
        case u't': line += u'\t'; break;
        default: line += *p;
      }
    }
    AddUnits(line);
    if (*p == u'\r') ++p;
    if (*p == u'\n') ++p;
  }
}

void TUStringList::SetText(std::u16string_view text) { SetTextStr(std::u16string(text).c_str()); }

// ---------------------------------------------------------------------------------------
// Stream and file forms

void TUStringList::SaveToStream(rtl::TStream& stream) const { WriteUnits(stream, Text()); }

void TUStringList::LoadFromStream(rtl::TStream& stream) {
  const std::string bytes = ReadToEnd(stream);
  SetTextStr(UnitsOf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()).c_str());
}

void TUStringList::SaveToStreamA(rtl::TStream& stream) const {
  const std::string bytes = UnicodeToByte(Text(), charset_);
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), bytes.size());
}

void TUStringList::LoadFromStreamA(rtl::TStream& stream) {
  SetTextStr(ByteToUnicode(ReadToEnd(stream), charset_).c_str());
}

void TUStringList::SaveToFile(const std::string& fileName) const {
  rtl::TFileStream file(fileName, rtl::fmCreate);
  SaveToStream(file);
}

void TUStringList::LoadFromFile(const std::string& fileName) {
  rtl::TFileStream file(fileName, rtl::fmOpenRead | rtl::fmShareDenyWrite);
  LoadFromStream(file);
}

void TUStringList::SaveToFileA(const std::string& fileName) const {
  rtl::TFileStream file(fileName, rtl::fmCreate);
  SaveToStreamA(file);
}

void TUStringList::LoadFromFileA(const std::string& fileName) {
  rtl::TFileStream file(fileName, rtl::fmOpenRead | rtl::fmShareDenyWrite);
  LoadFromStreamA(file);
}

// ---------------------------------------------------------------------------------------
// Streamed property

void TUStringList::DefineProperties(TPropertyFiler& filer) {
  filer.DefineProperty(
      "Strings", [this](TListReader& reader) { ReadData(reader); },
      [this](TListWriter& writer) { WriteData(writer); }, GetCount() > 0);
}

void TUStringList::WriteData(TListWriter& writer) const {
  writer.WriteListBegin();
  for (int32_t i = 0, n = GetCount(); i < n; ++i) {
    std::vector<uint8_t> units = UnitBytes(ReadItem(i), false);
    const auto count = static_cast<uint32_t>(units.size());
    const uint8_t prefix[4] = {static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8),
                               static_cast<uint8_t>(count >> 16), static_cast<uint8_t>(count >> 24)};
    writer.Write(prefix, 4);
    writer.Write(units.data(), units.size());
  }
  writer.WriteListEnd();
}

void TUStringList::ReadData(TListReader& reader) {
  reader.ReadListBegin();
  {
    TUpdateScope update(*this);
    Clear();
    std::vector<uint8_t> bytes;
    while (!reader.EndOfList()) {
      uint8_t prefix[4];
      reader.Read(prefix, 4);
      const uint32_t count = static_cast<uint32_t>(prefix[0]) | (static_cast<uint32_t>(prefix[1]) << 8) |
                             (static_cast<uint32_t>(prefix[2]) << 16) | (static_cast<uint32_t>(prefix[3]) << 24);
      // Read in pieces, so that a damaged count fails at the end of the data instead of
      // asking for gigabytes first.
      bytes.clear();
      for (size_t done = 0; done < count;) {
        const size_t piece = std::min<size_t>(kReadChunk, count - done);
        bytes.resize(done + piece);
        reader.Read(bytes.data() + done, piece);
        done += piece;
      }
      AddUnits(UnitsOf(bytes.data(), bytes.size()));
    }
  }
  reader.ReadListEnd();
}

std::vector<storage::TCheckFinding> TUStringList::CheckStorage() const { return db_->Check(); }

}  // namespace quintrel::text
