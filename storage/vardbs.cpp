#include "storage/coding.h"
#include "storage/vardbs.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <unordered_set>
#include <utility>

#include "strings/vconsts.h"

namespace quintrel::storage {

using rtl::Format;
namespace vc = quintrel::strings;

// ---------------------------------------------------------------------------------------
// Exceptions

EBlockCorrupt::EBlockCorrupt(uint32_t address)
    : rtl::Exception(Format(vc::_SBlockCorrupt, address)), address_(address) {}
EBlockCorrupt::EBlockCorrupt(uint32_t address, const std::string& message)
    : rtl::Exception(message), address_(address) {}
EBlockInconsistent::EBlockInconsistent() : rtl::Exception(vc::_SBlockInconsistent) {}
EIndexInconsistent::EIndexInconsistent(int table, int field)
    : rtl::Exception(Format(vc::_SIndexInconsistent, table, field)) {}
ELockBusy::ELockBusy() : rtl::Exception(vc::_SLockBusy) {}
EIndexDuplicate::EIndexDuplicate(int table, int field)
    : rtl::Exception(Format(vc::_SIndexDuplicate, table, field)) {}

std::string ShortName(std::string_view name) {
  return std::string(name.substr(0, std::min<size_t>(name.size(), kShortNameLength)));
}

// ---------------------------------------------------------------------------------------
// Locks

void TCustomVarDB::PlaceLock(bool exclusive) {
  if (exclusive && bracketShared_) throw EDatabaseError(Format(vc::_SWriteInReadBracket, DisplayName()));
  pager_->PlaceLock(exclusive);
}

void TCustomVarDB::ReleaseLock(bool commit) { pager_->ReleaseLock(commit); }

void TCustomVarDB::SetSync(bool sync) {
  sync_ = sync;
  pager_->SetSync(sync);
}

void TCustomVarDB::BeginRead() {
  // Only the outermost bracket can take the lock itself (any bracket inside holds one), and
  // only then is it shared; a bracket inside a table update or another lock runs under
  // that lock, whatever kind it is.
  bool own = IsFile() && LockCount() == 0;
  pager_->PlaceLock(false);
  try {
    RefreshHeader();
  } catch (...) {
    pager_->ReleaseLock();
    throw;
  }
  if (own) bracketShared_ = true;
  ++readBrackets_;
}

void TCustomVarDB::EndRead() {
  if (readBrackets_ == 0) return;
  if (--readBrackets_ == 0) bracketShared_ = false;
  pager_->ReleaseLock();
}

// ---------------------------------------------------------------------------------------
// Construction and files

TCustomVarDB::TCustomVarDB(const std::string& name) : pager_(std::make_unique<TPager>()) {
  CreateNew(name);
  Init();
}

TCustomVarDB::~TCustomVarDB() {
  // An engine destroyed while an exception is on its way out abandons a pending update
  // rather than writing whatever part of it was done: the pager rolls it back when it
  // gives back the lock.
  if (std::uncaught_exceptions() > 0) return;
  try {
    if (!tablesWritable_) EndTableUpdate();
  } catch (...) {
    // A destructor cannot report; the update is rolled back as after a crash.
  }
  // The pager gives back a lock still held.
}

void TCustomVarDB::CreateNew(const std::string& name) {
  TFileHeader& header = pager_->Header();
  header = TFileHeader{};
  header.Version = 16;
  header.Created = rtl::Now();
  header.DbName = ShortName(name);
  header.ChangeCount = 0;
  tables_.clear();
  WriteFileHeader(header);
  WriteTables();
}

void TCustomVarDB::Init() {
  ReadTables();
  // A damaged data block must not keep the file from opening (the structure check has to
  // reach it); the table's cursor then stays unset and the first use reports the damage.
  for (int t = 0; t < TableCount(); ++t) {
    try {
      Top(t);
    } catch (const EBlockCorrupt&) {
      tables_[t].CurBuffer.reset();
      tables_[t].Header.CurBlock = 0;
    }
  }
  LoadNameList();
}

std::string TCustomVarDB::DiagnoseFile(const std::string& fileName) {
  if (!rtl::FileExists(fileName)) {
    std::error_code ec;
    return Format(std::filesystem::is_directory(fileName, ec) ? vc::_SFileIsFolder : vc::_SFileNotFound, fileName);
  }
  try {
    rtl::TFileStream file(fileName, rtl::fmOpenRead | rtl::fmShareDenyNone);
    uint8_t bytes[kFileHeaderSize];
    size_t n = file.Read(bytes, kFileHeaderSize);
    if (n >= 4) {
      int32_t version = static_cast<int32_t>(Get32(bytes));
      if (version != 15 && version != 16) return Format(vc::_SNotADatabase, fileName, version);
    }
    if (n < kFileHeaderSize) return Format(vc::_SFileTooShort, fileName, static_cast<int>(n));
    if (file.Size() > kMaxFileSize) return Format(vc::_SFileTooLarge, fileName, file.Size());
  } catch (const rtl::Exception& e) {
    return e.Message();
  }
  return "";
}

std::unique_ptr<TPager> TCustomVarDB::OpenPager(const std::string& fileName, uint16_t mode) {
  bool create = mode == rtl::fmCreate;
  if (!create && !rtl::FileExists(fileName)) return nullptr;
  auto file = std::make_unique<rtl::TFileStream>(fileName, mode);
  if (!create) {
    // Only files of the two known versions are taken, whatever the mode: anything else
    // would be read as a catalogue of garbage.
    uint8_t version[4];
    if (file->Read(version, 4) != 4) return nullptr;
    int32_t v = static_cast<int32_t>(Get32(version));
    if (v != 15 && v != 16) return nullptr;
  }
  struct stat st {};
  ::fstat(file->Handle(), &st);
  // Block addresses are 32 bits: nothing past 4 GiB can be reached, and walking such a file
  // (a sparse one of any apparent size) would only find lost blocks.
  if (!create && st.st_size > kMaxFileSize)
    throw EDatabaseError(Format(vc::_SFileTooLarge, fileName, static_cast<int64_t>(st.st_size)));
  return std::make_unique<TPager>(std::move(file), fileName, mode, static_cast<uint64_t>(st.st_dev),
                                  static_cast<uint64_t>(st.st_ino));
}

void TCustomVarDB::SwapOpened(TOpened& other) {
  pager_->ReleaseAllLocks();
  // Brackets open on the file given up end with its lock.
  readBrackets_ = 0;
  bracketShared_ = false;
  std::swap(pager_, other.Pager);
  std::swap(tables_, other.Tables);
  ClearCaches();
  // An update given up with its file takes the work kept back for its end along.
  try {
    FinishUpdateWork(false);
  } catch (...) {
  }
  tablesWritable_ = true;
}

bool TCustomVarDB::OpenFile(const std::string& fileName, uint16_t mode, const std::string& /*extra*/) {
  // A pending update belongs to the file open now: it is finished before anything changes.
  if (!tablesWritable_) EndTableUpdate();
  if (fileName.empty()) {
    if (!IsFile()) return false;
    // Continue on a fresh in-memory database rather than on a stream without a header.
    std::string name = pager_->Header().DbName;
    TOpened memory{std::make_unique<TPager>(), {}};
    SwapOpened(memory);
    names_.Clear();
    CreateNew(name);
    Init();
    return false;
  }
  bool create = mode == rtl::fmCreate;
  TOpened opened{OpenPager(fileName, mode), {}};
  if (!opened.Pager) return false;
  if (sync_) opened.Pager->SetSync(*sync_);

  // The new file's catalogue is read before the current state is given up: the current
  // one waits in `opened` and comes back whole when the new file turns out to be damaged.
  SwapOpened(opened);
  try {
    if (create) {
      size_t slash = fileName.find_last_of('/');
      TDbLock lock(*this, true);
      CreateNew(slash == std::string::npos ? fileName : fileName.substr(slash + 1));
    }
    TDbLock lock(*this, false);
    Init();
  } catch (...) {
    SwapOpened(opened);
    LoadNameList();
    throw;
  }
  return true;
}

bool TCustomVarDB::ValidateFile() {
  uint8_t bytes[4];
  rtl::TStream& stream = pager_->Stream();
  stream.Seek(0, rtl::TSeekOrigin::soBeginning);
  if (stream.Read(bytes, 4) != 4) return false;
  int32_t v = static_cast<int32_t>(Get32(bytes));
  return v == 15 || v == 16;
}

int64_t TCustomVarDB::GetSize() { return pager_->Size(); }

// ---------------------------------------------------------------------------------------
// Header

void TCustomVarDB::ReadFileHeader(TFileHeader& header) {
  RefreshHeader();
  header = pager_->Header();
}

void TCustomVarDB::RefreshHeader() {
  // While this engine holds the lock (or the database is its own, in memory), nobody else
  // can have written the header since it was last read.
  if (pager_->HeaderCurrent()) return;
  // Reads outside any operation still wait for a writer of another process to finish, so
  // a header is never seen half written.
  bool held = !IsFile() || LockCount() > 0;
  std::optional<TDbLock> lock;
  if (!held) lock.emplace(*this, false);
  if (pager_->ReadHeader(held) && !inHeaderRead_) ReloadCatalogue();
}

void TCustomVarDB::ReloadCatalogue() {
  inHeaderRead_ = true;
  try {
    FlushBlocks();
    std::vector<TTable> tables = ReadCatalogue(pager_->Stream(), pager_->Header(), DisplayName());
    tables_ = std::move(tables);
    ClearCaches();
    pager_->AcceptStamp();
    LoadNameList();
    for (size_t t = 0; t < tables_.size(); ++t) {
      TTable& table = tables_[t];
      if (table.Header.CurBlock == 0) continue;
      try {
        LoadCursorBlock(table, table.Header.CurBlock);
      } catch (const EBlockCorrupt&) {
        table.CurBuffer.reset();
        table.Header.CurBlock = 0;
      }
    }
  } catch (...) {
    inHeaderRead_ = false;
    throw;
  }
  inHeaderRead_ = false;
}

void TCustomVarDB::WriteFileHeader(TFileHeader& header) { pager_->WriteHeader(header); }

bool TCustomVarDB::GetDatabaseHeader(TFileHeader& header) {
  ReadFileHeader(header);
  return true;
}

// ---------------------------------------------------------------------------------------
// Catalogue

void TCustomVarDB::ReadTables() {
  std::optional<TDbLock> lock;
  if (IsFile() && LockCount() == 0) lock.emplace(*this, false);
  pager_->ReadHeader();
  ReloadCatalogue();
}

uint32_t TCustomVarDB::OldCatalogueBlock(uint32_t from, uint32_t next, uint32_t& after) {
  after = 0;
  if (next == 0 || !IsBlockAddress(next) || !InsideFile(next) || next == pager_->Header().AvailList) return 0;
  for (const TTable& table : tables_) {
    const TTableHeader& h = table.Header;
    if (next == h.FirstBlock || next == h.LastBlock || next == h.CurBlock) return 0;
    for (const TFieldHeader& field : table.Fields)
      for (const TIndexHeader& index : field.Indexes)
        if (next == index.Root) return 0;
  }
  PBlock block = LoadBlock(next);
  if (block->Prev() != from || block->Count() != 0 || block->Used() != 0) return 0;
  after = block->Next();
  return next;
}

void TCustomVarDB::WriteTables() {
  if (!tablesWritable_ || tables_.empty()) return;
  TDbLock lock(*this, true);
  if (pager_->Header().TableBlock == 0) {
    uint32_t first = GetNewBlock();
    pager_->Header().TableBlock = first;
    WriteFileHeader(pager_->Header());
  }
  std::vector<TCatalogueItem> items = SerializeCatalogue(tables_);

  uint32_t address = pager_->Header().TableBlock;
  PBlock old = LoadBlock(address);
  uint32_t oldAfter;
  uint32_t oldNext = OldCatalogueBlock(address, old->Next(), oldAfter);
  std::unordered_set<uint32_t> used{address};
  TBlock block;
  block.SetPrev(old->Prev());
  int position = 1;
  for (const TCatalogueItem& item : items) {
    int n = static_cast<int>(item.bytes.size());
    bool fits = item.marker ? position <= kLastPosition : position + n <= kLastPosition;
    if (!fits) {
      uint32_t next;
      if (oldNext != 0 && used.count(oldNext) == 0) {
        next = oldNext;
        oldNext = OldCatalogueBlock(next, oldAfter, oldAfter);
      } else {
        next = GetNewBlock();
        oldNext = 0;
      }
      block.SetNext(next);
      WriteBlock(address, block);
      used.insert(next);
      block.Clear();
      block.SetPrev(address);
      address = next;
      position = 1;
    }
    std::memcpy(block.At(position), item.bytes.data(), n);
    position += n;
  }
  block.SetNext(0);
  WriteBlock(address, block);

  // Give back the blocks of the old chain that the catalogue no longer needs.
  TBlock scratch;
  while (oldNext != 0 && used.insert(oldNext).second) {
    uint32_t at = oldNext;
    oldNext = OldCatalogueBlock(at, oldAfter, oldAfter);
    PutOnAvailList(at, scratch);
  }

  // The header is written after every catalogue write: an older file becomes current now
  // (the catalogue was written in the current layout), and the change counter moves, so
  // another process sharing the file reloads its catalogue and cursor blocks rather than
  // writing over records it has not seen.
  pager_->Header().Version = 16;
  WriteFileHeader(pager_->Header());
}

void TCustomVarDB::ClearTableList() { tables_.clear(); }

void TCustomVarDB::LoadNameList() {
  names_.Clear();
  // Table and field numbers may have moved: remembered values are keyed by them.
  valueMemo_.Clear();
  ++catalogueGeneration_;
  for (int t = 0; t < TableCount(); ++t) {
    TTable& table = tables_[t];
    // An index belongs to the field it is stored under: its header follows the table and
    // field numbers as deletions renumber them (a stale or damaged header would send the
    // index code to another table).
    for (size_t f = 0; f < table.Fields.size(); ++f)
      for (TIndexHeader& index : table.Fields[f].Indexes) {
        index.IndexTable = static_cast<uint16_t>(t);
        index.IndexField = static_cast<uint16_t>(f);
      }
    names_.Add(table.Header.TableName, static_cast<uint32_t>(t));
    std::string prefix = rtl::IntToHex(static_cast<uint32_t>(t), 4);
    for (size_t f = 0; f < table.Fields.size(); ++f)
      names_.Add(prefix + table.Fields[f].FieldName, static_cast<uint32_t>(f));
  }
}

int TCustomVarDB::GetTableNr(std::string_view name) {
  TFileHeader header;
  ReadFileHeader(header);
  auto found = names_.Find(ShortName(name));
  return found ? static_cast<int>(*found) : -1;
}

int TCustomVarDB::GetFieldNr(int table, std::string_view name) {
  TFileHeader header;
  ReadFileHeader(header);
  if (table < 0 || table > 0xFFFF) return -1;
  auto found = names_.Find(rtl::IntToHex(static_cast<uint32_t>(table), 4) + ShortName(name));
  return found ? static_cast<int>(*found) : -1;
}

bool TCustomVarDB::GetTableHeader(int table, TTableHeader& header) {
  RefreshHeader();
  if (table < 0 || table >= TableCount()) return false;
  header = tables_[table].Header;
  return true;
}

bool TCustomVarDB::GetFieldHeader(int table, int field, TFieldHeader& header) {
  RefreshHeader();
  if (table < 0 || table >= TableCount()) return false;
  const auto& fields = tables_[table].Fields;
  if (field < 0 || field >= static_cast<int>(fields.size())) return false;
  header = fields[field];
  return true;
}

const TTable& TCustomVarDB::Table(int table) const {
  static const TTable none;
  return table >= 0 && table < TableCount() ? tables_[static_cast<size_t>(table)] : none;
}

int TCustomVarDB::AddTable(std::string_view definition) {
  std::string name;
  std::vector<TFieldSpec> fields;
  ParseDefinition(definition, name, fields);
  // Names are stored cut to 12 characters, so they are compared cut as well: a long name
  // must find the table it created.
  name = ShortName(name);

  TDbLock lock(*this, true);
  RefreshHeader();
  for (int t = 0; t < TableCount(); ++t)
    if (tables_[t].Header.TableName == name) return t;

  TTable table;
  table.Header.Created = rtl::Now();
  table.Header.TableName = name;
  table.Header.TableNr = static_cast<uint16_t>(tables_.size());
  table.Header.CurPos = 1;
  tables_.push_back(std::move(table));
  int number = TableCount() - 1;
  // The fields go into the catalogue together with the table: one write, not one per field.
  bool writable = tablesWritable_;
  tablesWritable_ = false;
  try {
    TFieldHeader recno;
    recno.FieldName = "_RECNO";
    recno.FieldType = 'N';
    AddField(number, recno);
    for (const TFieldSpec& spec : fields) {
      TFieldHeader field;
      field.FieldName = spec.name;
      field.FieldType = spec.type;
      field.FieldLength = spec.length;
      AddField(number, field);
    }
  } catch (...) {
    tablesWritable_ = writable;
    tables_.pop_back();
    LoadNameList();
    throw;
  }
  tablesWritable_ = writable;
  pager_->Header().TableCount = TableCount();
  WriteFileHeader(pager_->Header());
  WriteTables();
  LoadNameList();
  return number;
}

int TCustomVarDB::AddField(int table, const TFieldHeader& header) {
  TDbLock lock(*this, true);
  if (table < 0 || table >= TableCount()) return -1;
  TTable& t = tables_[table];
  if (t.Header.RecordCount >= 1) return -1;
  std::string name = ShortName(header.FieldName);
  for (size_t f = 0; f < t.Fields.size(); ++f)
    if (t.Fields[f].FieldName == name) return static_cast<int>(f);
  if (t.Fields.size() >= static_cast<size_t>(kMaxFieldCount)) return -1;
  TFieldHeader field;
  field.FieldName = name;
  field.FieldType = header.FieldType;
  field.FieldLength = header.FieldType == 'C' ? std::max<int32_t>(header.FieldLength, 0) : 1;
  if (static_cast<int64_t>(GetUnitLength(field.FieldType)) * field.FieldLength > kLastPosition) return -1;
  t.Fields.push_back(std::move(field));
  t.Header.FieldCount = static_cast<int32_t>(t.Fields.size());
  WriteTables();
  LoadNameList();
  return t.Header.FieldCount - 1;
}

void TCustomVarDB::DeleteField(int table, int field) {
  TDbLock lock(*this, true);
  if (table < 0 || table >= TableCount()) return;
  TTable& t = tables_[table];
  // Field 0 is the record number every record operation relies on.
  if (t.Header.RecordCount >= 1 || field < 1 || field >= static_cast<int>(t.Fields.size())) return;
  IndexRemove(table, field, 0);
  t.Fields.erase(t.Fields.begin() + field);
  t.Header.FieldCount = static_cast<int32_t>(t.Fields.size());
  WriteTables();
  LoadNameList();
}

void TCustomVarDB::DeleteTable(int table) {
  TDbLock lock(*this, true);
  RefreshHeader();
  if (table < 0 || table >= TableCount()) return;
  for (int f = static_cast<int>(tables_[table].Fields.size()) - 1; f >= 0; --f) IndexRemove(table, f, 0);
  // Long values are freed with their records: nothing refers to them afterwards.
  FreeTableData(tables_[table]);
  tables_.erase(tables_.begin() + table);
  pager_->Header().TableCount = TableCount();
  WriteFileHeader(pager_->Header());
  WriteTables();
  LoadNameList();
}

void TCustomVarDB::BeginTableUpdate() {
  PlaceLock(true);
  tablesWritable_ = false;
}

void TCustomVarDB::EndTableUpdate() {
  try {
    FinishUpdateWork(!pager_->Abandoned());
    tablesWritable_ = true;
    // The blocks first, the catalogue and the header that point at them last.
    FlushBlocks();
    WriteTables();
    LoadNameList();
  } catch (...) {
    // An update that cannot be finished is given up whole, with the transaction around it.
    tablesWritable_ = true;
    DropCaches();
    pager_->Abandon();
    ReleaseLock(false);
    throw;
  }
  ReleaseLock();
}

void TCustomVarDB::AbandonTableUpdate() noexcept {
  // In memory nothing is rolled back, so what was kept back joins the writes already done.
  try {
    FinishUpdateWork(!IsFile());
  } catch (...) {
  }
  tablesWritable_ = true;
  if (!IsFile()) {
    // In memory every write has already happened: the catalogue follows them, as at the
    // end of any update.
    try {
      WriteTables();
      LoadNameList();
    } catch (...) {
    }
    return;
  }
  DropCaches();
  pager_->Abandon();
  pager_->ReleaseLock(false);
}

// ---------------------------------------------------------------------------------------
// Blocks

const TBlock& TCustomVarDB::PeekDataBlock(uint32_t address) {
  uint8_t* checked = nullptr;
  const TBlock& block = pager_->Peek(address, &checked);
  // A cached block is tested once while it stays cached; a block of a database in memory
  // every time it is read.
  if (!checked || !(*checked & TBlockCache::kCheckedData)) {
    CheckDataBlock(address, block);
    if (checked) *checked |= TBlockCache::kCheckedData;
  }
  return block;
}

PBlock TCustomVarDB::LoadBlock(uint32_t address) { return pager_->LoadBlock(address); }

void TCustomVarDB::WriteBlock(uint32_t address, const TBlock& block) {
  // Inside a write transaction nobody else can read the file, so blocks are written once,
  // when it ends (or when the cache needs the room).
  pager_->WriteBlock(address, block);
}

void TCustomVarDB::ClearCaches() {
  nodeCache_.Clear();
  valueMemo_.Clear();
  pager_->ClearCache();
}

void TCustomVarDB::FinishUpdateWork(bool write) {
  if (!updateEnd_) return;
  std::function<void(bool)> finish = std::move(updateEnd_);
  updateEnd_ = nullptr;
  finish(write);
}

void TCustomVarDB::DropCaches() {
  nodeCache_.Clear();
  valueMemo_.Clear();
  pager_->DropClean();
  for (TTable& table : tables_) table.CurBuffer.reset();
}

uint32_t TCustomVarDB::GetNewBlock() {
  TDbLock lock(*this, true);
  RefreshHeader();
  return pager_->Allocate();
}

void TCustomVarDB::PutOnAvailList(uint32_t address, TBlock& block) {
  TDbLock lock(*this, true);
  RefreshHeader();
  pager_->Free(address, block);
}

void TCustomVarDB::SetCursorBlock(TTable& table, uint32_t address) {
  const TBlock& block = PeekDataBlock(address);
  if (table.CurBuffer) *table.CurBuffer = block;
  else table.CurBuffer = std::make_unique<TBlock>(block);
  table.Header.CurBlock = address;
}

bool TCustomVarDB::LoadCursorBlock(TTable& table, uint32_t address) {
  if (table.CurBuffer && table.Header.CurBlock == address) return true;
  table.CurBuffer = LoadDataBlock(address);
  table.Header.CurBlock = address;
  return true;
}

}  // namespace quintrel::storage
