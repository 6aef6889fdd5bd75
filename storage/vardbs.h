// The record database: one stream of 8192-byte blocks after a 64-byte file header,
// holding any number of tables of variable-length records with B-tree indexes. The
// stream is a private in-memory stream until a disk file is opened; several processes
// may share a file.
//
// On-disk layout (all integers little-endian, addresses are byte offsets):
//   0      file header (64 bytes, TFileHeader)
//   64     block 0, then block k at 64 + 8192*k
// Every block starts with a 16-byte header (Next, Prev, Count, Used, reserved); payload
// position p is byte 16 + p, positions 1..8175. The catalogue (tables, fields, index
// definitions) is a byte stream laid into a Next/Prev chain of blocks from TableBlock;
// an item of n bytes goes at position p only when p + n <= 8175, single marker bytes may
// stand anywhere up to 8175. Free blocks form a doubly linked avail list from AvailList.
// docs/formats/database.md describes all of it.
//
// The engine is built from units of one concept each: storage/pager.h (the stream as a
// header and blocks: block I/O and cache, the avail list, locks, the change counter),
// storage/catalogue.h (the catalogue's records), storage/recordblock.h (how a data block
// holds records) and storage/btree.h (the index trees). This class keeps the catalogue in
// memory with each table's cursor, and the record (records.cpp) and index (indexes.cpp)
// operations over them.
//
// Cross-process protocol: the 64 header bytes are the lock range (or a lock file
// "<path without extension>uln" when one exists); writers hold it exclusive, readers
// shared; every header write bumps ChangeCount, and a process that reads a ChangeCount
// other than the one it last saw reloads its catalogue.
//
// Outcomes, the same for every operation:
//   - A table or field number that does not name one (numbers come from GetTableNr and
//     GetFieldNr, whose -1 must flow through harmlessly) is not an error: the operation
//     changes nothing and gives its empty result, false, 0, -1, an empty value or list, and
//     Table() an empty table.
//   - Damage found in the file raises EBlockCorrupt (a block that is not what its user
//     needs: a record block, an index node, a free block; the message names the file, the
//     block and what is wrong), EIndexInconsistent (a key without its record) or
//     EDatabaseError (a file, header or catalogue that cannot be used). A writer checks
//     what it is about to overwrite or free before the first byte goes out, so damage stops
//     a write instead of spreading.
//   - A failed write raises EDatabaseError naming the file and the system's reason.
//   - When an exception leaves an operation that holds the exclusive lock, the engine drops
//     what it keeps in memory besides the catalogue (index nodes, values, clean blocks, the
//     cursors' blocks), so nothing half changed is written later; the next use reads the
//     file again. When that lock was the outermost one, the whole write transaction is
//     rolled back: the file is byte for byte as before the operation. (Inside an update
//     bracket the bracket's earlier work stays, to be committed with it.)
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <exception>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <unordered_map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/classes.h"
#include "platform/rtl/dateutils.h"
#include "platform/rtl/sysutils.h"
#include "storage/blockcache.h"
#include "storage/btree.h"
#include "storage/catalogue.h"
#include "storage/pager.h"
#include "storage/valuememo.h"
#include "text/hashlist.h"

namespace quintrel::storage {

constexpr int64_t kMaxFileSize = int64_t{1} << 32;  // 32-bit block addresses reach no further
constexpr int32_t kChangeCountWrap = 2147483640;  // ChangeCount at or above this wraps to 0
constexpr int32_t kMaxFieldCount = 512;
constexpr int kShortNameLength = 12;       // ShortString[12] names of tables, fields, database

// Exceptions of the engine; the message is the text shown.
class EBlockCorrupt : public rtl::Exception {
public:
  explicit EBlockCorrupt(uint32_t address);
  // With the full text: the file, the block and what is wrong with it.
  EBlockCorrupt(uint32_t address, const std::string& message);
  uint32_t Address() const { return address_; }

private:
  uint32_t address_;
};
class EBlockInconsistent : public rtl::Exception {
public:
  EBlockInconsistent();
};
class EIndexInconsistent : public rtl::Exception {
public:
  EIndexInconsistent(int table, int field);
};
class ELockBusy : public rtl::Exception {
public:
  ELockBusy();
};
class EIndexDuplicate : public rtl::Exception {
public:
  EIndexDuplicate(int table, int field);
};
class ENil : public rtl::Exception {
public:
  ENil() : rtl::Exception("") {}
};
// A file that is not a database of this format, or whose header or catalogue is damaged
// or refers outside the file. The message names the file and the problem.
class EDatabaseError : public rtl::Exception {
public:
  using rtl::Exception::Exception;
};

// One field of a record operation: the field number, a value buffer (may be null) and
// its length in bytes.
struct TFindRec {
  int32_t Field = 0;
  void* Data = nullptr;
  int32_t Length = 0;
};

// A value in place: a record's field inside a cached block or a work buffer. It lasts
// until the next block is read or written.
struct TValueView {
  const uint8_t* Data = nullptr;
  size_t Size = 0;
};

// Where InsertRecord puts the new record.
constexpr int kInsertFirst = -1;   // before the first record of the table
constexpr int kInsertBefore = 0;   // before the cursor's record
constexpr int kInsertAfter = 1;    // after the cursor's record
constexpr int kInsertLast = 2;     // after the last record

// Record layout limits.
constexpr int kMaxInlineValue = 4087;   // longer variable values go to an overflow chain
constexpr int kMaxInlineStored = 4087;  // a stored record (flag + image) up to this stays inline
constexpr uint32_t kOversizedMarker = 65535;
constexpr int kHalfFill = 4088;         // a block whose fill is below this is under half

// One problem found by the structure check: where (table, field, block; -1 or 0 when
// not tied to one) and what.
struct TCheckFinding {
  int Table = -1;
  int Field = -1;
  uint32_t Block = 0;
  std::string Message;
  bool Lost = false;  // Block is used by nothing: a repair may give it to the avail list
};

// Unit length of a field type (B V C L Y S N D T M R); 0 for any other letter. Inline: every
// field of every record read is sliced with it.
inline int GetUnitLength(char type) {
  switch (type) {
    case 'B': case 'L': case 'Y': return 1;
    case 'V': case 'C': case 'S': return 2;
    case 'N': case 'D': case 'T': return 4;
    case 'M': case 'R': return 8;
    default: return 0;
  }
}
// B and V fields are stored with a length prefix.
inline bool IsVariable(char type) { return type == 'B' || type == 'V'; }
// Cuts a name to the 12 characters a ShortString[12] holds.
std::string ShortName(std::string_view name);

class TCustomVarDB {
public:
  // A usable, empty in-memory database named `name`.
  explicit TCustomVarDB(const std::string& name);
  virtual ~TCustomVarDB();
  TCustomVarDB(const TCustomVarDB&) = delete;
  TCustomVarDB& operator=(const TCustomVarDB&) = delete;

  // Opens (mode 0 read, 0x42 read-write shared, ...) or, with mode 65535, creates the file.
  // False when the file does not exist (and is not being created) or is not a database of
  // versions 15/16; the engine then keeps its previous stream and catalogue. A file whose
  // catalogue is damaged raises EDatabaseError, also leaving the previous state. An empty
  // fileName closes the open file and continues in memory (result false).
  bool OpenFile(const std::string& fileName, uint16_t mode, const std::string& extra = "");
  // Reads the first 4 bytes: true when they hold version 15 or 16.
  bool ValidateFile();
  int64_t GetSize();
  // The reason a file cannot be opened as a database ("" when it can), for diagnostics.
  static std::string DiagnoseFile(const std::string& fileName);

  // Header.
  void ReadFileHeader(TFileHeader& header);
  void WriteFileHeader(TFileHeader& header);
  bool GetDatabaseHeader(TFileHeader& header);

  // Catalogue.
  void ReadTables();
  void WriteTables();
  int GetTableNr(std::string_view name);
  int GetFieldNr(int table, std::string_view name);
  bool GetTableHeader(int table, TTableHeader& header);
  bool GetFieldHeader(int table, int field, TFieldHeader& header);
  // Adds a table from a definition such as "ROWS Str V Data N" (name, then field name and
  // type letter with an optional decimal length, separated by spaces); every table gets
  // field 0 "_RECNO" of type N first. Returns the table's number; an existing table of
  // that name is returned unchanged. A malformed definition raises EDatabaseError.
  int AddTable(std::string_view definition);
  void DeleteTable(int table);
  int AddField(int table, const TFieldHeader& header);
  void DeleteField(int table, int field);
  void BeginTableUpdate();
  void EndTableUpdate();
  // Ends an update bracket that failed without writing it: on a file the whole write
  // transaction it belongs to is rolled back (at once when the bracket holds the outermost
  // lock, else when that lock is given back), leaving the file as it was. Never throws.
  void AbandonTableUpdate() noexcept;
  // Work a layer above keeps back until the table update it runs in ends, so that a value
  // changed many times in one update is written once. `finish` runs once: with true when
  // the update ends to be written (first, still inside it, so what it writes joins the
  // update and a failure gives the update up), with false when the update is given up or
  // its transaction already was (it is to forget what it kept: nothing of the update
  // reaches the file). One slot: a later call replaces the work not yet run.
  void AtUpdateEnd(std::function<void(bool write)> finish) { updateEnd_ = std::move(finish); }

  // Blocks.
  PBlock LoadBlock(uint32_t address);
  void WriteBlock(uint32_t address, const TBlock& block);
  uint32_t GetNewBlock();
  void PutOnAvailList(uint32_t address, TBlock& block);

  // Locks (nested calls count; only the outermost acquires and releases). On a file the
  // outermost exclusive lock is a write transaction (storage/pager.h): nothing it writes
  // reaches the file before its release, which commits it - or, with `commit` false, rolls
  // it back, leaving the file as it was. A commit that fails (a full device, an I/O error)
  // raises EDatabaseError naming the file, after rolling back and giving up the lock. A file
  // that a killed writer left with a journal is rolled back by the next lock of any process.
  // Asking for the exclusive lock while holding the shared one raises EDatabaseError.
  void PlaceLock(bool exclusive);
  void ReleaseLock(bool commit = true);
  // Whether commits sync the file (fsync) - default on, off with QUINTREL_SYNC=off. Off,
  // a killed process still leaves a file that rolls back; a power cut may not.
  void SetSync(bool sync);

  // Read brackets: a read transaction over any number of operations. BeginRead takes the
  // shared lock and reads the header once (reloading the catalogue when ChangeCount moved);
  // until the matching EndRead no other process can write, so every operation inside sees
  // one state of the file and none of them reads the header or takes a lock again: a Step
  // or GetFields inside costs no system call. Brackets nest, also inside a table update
  // (which already excludes every other process). Asking for the exclusive lock inside a
  // read bracket that holds the shared one raises EDatabaseError: the shared lock cannot
  // be raised without risking a deadlock with another reader doing the same, so a write
  // must come before the bracket or after it. Outside a bracket every operation keeps
  // taking the lock and checking the header on its own.
  void BeginRead();
  void EndRead();
  bool InReadBracket() const { return readBrackets_ > 0; }

  // Cursor and records. Every operation takes the table number first; the cursor of each
  // table is its current record (CurBlock, CurPos).
  bool Top(int table);
  bool Bottom(int table);
  // Moves n records forward or back across blocks; false when it stopped at either end
  // before covering the distance, and for n = 0.
  bool Step(int table, int n);
  // The expanded image of the cursor's record (size 0 for none); with a null buffer only
  // the size.
  void GetRecord(int table, void* buffer, int32_t& size);
  std::vector<uint8_t> GetRecord(int table);
  // Lengths (and, where Data is given, values) of the requested fields of the cursor's record.
  void GetFields(int table, TFindRec* fields, int n);
  void GetField(int table, int field, void* data, int32_t& length);
  std::vector<uint8_t> GetField(int table, int field);
  // The values of several fields of the cursor's record, read from one image of it (empty
  // for a field that is absent or out of range; all empty without a record).
  std::vector<std::vector<uint8_t>> GetFieldValues(int table, const int* fields, int n);
  // Replaces the given fields of the cursor's record; the record keeps its place.
  void SetFields(int table, const TFindRec* fields, int n);
  void SetField(int table, int field, const void* data, int32_t length);
  void InsertRecord(int table, int where);
  // Appends a record numbered one above the last record's _RECNO.
  void AddRecord(int table);
  // Appends a record with the given field values in one write: the same record as
  // AddRecord followed by SetFields.
  void AddRecord(int table, const TFindRec* fields, int n);
  // Deletes the cursor's record; with removeOversized also its long field values.
  bool DeleteRecord(int table, bool removeOversized);
  // Finds a record whose fields equal the given values: through an index on the first
  // field when there is one (recNo is then the _RECNO), else by scanning (recNo is the
  // 0-based position).
  bool Lookup(int table, const TFindRec* fields, int n, int32_t& recNo);
  bool Seek(int table, const TFindRec* fields, int n, int32_t& recNo);

  // Indexes (B-trees over one field). IndexCreate returns the number of keys added after
  // the first; nothing happens when the field has an index with this compareId already.
  int IndexCreate(int table, int field, uint16_t compareId, bool unique, bool keyPrefix);
  // Removes the field's index with this compareId (every index of the field for 0).
  void IndexRemove(int table, int field, uint16_t compareId);
  bool IndexExists(int table, int field);
  // Rebuilds every index of the field.
  void IndexPack(int table, int field);

  // Verifies every invariant of the file read-only: header, block addresses, the avail
  // list, the catalogue chain, each table's data chain, record tables, counts and overflow
  // chains, every index tree, and that each block has exactly one use. Damage is reported,
  // never thrown. At most kMaxCheckFindings are listed; one more finding then counts the
  // rest ("... and N more").
  static constexpr size_t kMaxCheckFindings = 1000;
  std::vector<TCheckFinding> Check();
  // The uses of the file's blocks while a check runs (check.cpp).
  class TBlockMap;

  // State.
  bool IsFile() const { return pager_->IsFile(); }
  const std::string& FileName() const { return pager_->FileName(); }
  uint16_t Mode() const { return pager_->Mode(); }
  int32_t LockCount() const { return pager_->LockCount(); }
  int32_t HeaderStamp() const { return pager_->Stamp(); }
  // Whether the file's ChangeCount still equals HeaderStamp(): what this engine read under
  // the lock at that stamp is still current. Outside a lock one 4-byte read and no lock, so
  // a cache of values read at a stamp can answer with one system call and still see
  // another process's change at the next call (storage/pager.h says why that is sound).
  bool StampHolds() { return pager_->StampHolds(); }
  bool TablesWritable() const { return tablesWritable_; }
  int TableCount() const { return static_cast<int>(tables_.size()); }
  // The catalogue as last read or changed in memory (no header read); an empty table for a
  // number that names none.
  const TTable& Table(int table) const;
  // The header as last read or written (no header read).
  const TFileHeader& Header() const { return pager_->Header(); }
  // Distinguishes engines within the process (never reused), and counts the catalogue's
  // changes (including reloads after another process changed it): table and field numbers
  // looked up once stay valid while both are unchanged, provided the header was read
  // under the caller's lock first.
  uint64_t Identity() const { return identity_; }
  uint64_t CatalogueGeneration() const { return catalogueGeneration_; }

private:
  // A field's place in a record image.
  struct TFieldSlot {
    enum TKind { kAbsent, kFixed, kInline, kOversized } Kind = kAbsent;
    size_t Offset = 0;  // of the field's bytes in the image (length prefix included)
    size_t Size = 0;    // bytes the field takes in the image
    uint32_t Length = 0;  // value length
    uint32_t Chain = 0;   // overflow chain of an oversized value
  };

  // Records (records.cpp).
  TBlock& CursorBlock(TTable& table);
  // A data block, tested once while it stays cached; the reference lasts until the next
  // block is read or written.
  const TBlock& PeekDataBlock(uint32_t address);
  PBlock LoadDataBlock(uint32_t address) { return std::make_unique<TBlock>(PeekDataBlock(address)); }
  int32_t RecNoAt(const TBlock& block, uint32_t address, int position);
  std::vector<uint8_t> NewImage(const TTable& table, int32_t recNo, const TFindRec* fields, int n);
  void CheckDataBlock(uint32_t address, const TBlock& block) const;
  std::vector<uint8_t> ExpandRecord(const TBlock& block, uint32_t address, int position);
  std::vector<uint8_t> CompactRecord(const std::vector<uint8_t>& image);
  std::vector<TFieldSlot> SliceImage(const TTable& table, const std::vector<uint8_t>& image) const;
  void SliceImageInto(const TTable& table, const uint8_t* image, size_t size, std::vector<TFieldSlot>& slots) const;
  std::vector<uint8_t> FieldValue(const std::vector<uint8_t>& image, const TFieldSlot& slot);
  // Seek for a caller that holds the lock and brought the header up to date.
  bool SeekLocked(int table, const TFindRec* fields, int n, int32_t& recNo);
  // The image of the cursor's record (in place, or expanded into `expanded`) with its
  // fields sliced into slotScratch_; false when there is none. The image in place lasts
  // until the next block is read.
  bool CursorImage(int table, TValueView& image, std::vector<uint8_t>& expanded);
  // Copies a field's value into `data`, at most `capacity` bytes of it.
  void CopyValue(const TValueView& image, const TFieldSlot& slot, void* data, size_t capacity);
  // ReadFileHeader for the engine's own use: the header is brought up to date in header_.
  void RefreshHeader();
  // The place of one field in an image, walking only the fields before it; false when the
  // image ends before it.
  bool LocateField(const TTable& table, const uint8_t* image, size_t size, size_t field, TFieldSlot& slot) const;
  // The slot of field `field` starting at `offset` of an image; EBlockCorrupt when it
  // runs past the image.
  void SliceField(const TTable& table, size_t field, const uint8_t* image, size_t size, size_t offset,
                  TFieldSlot& slot) const;
  // The image of an inline record of a block, in place; false for a record kept in a chain.
  bool InlineImage(const TBlock& block, uint32_t address, int position, TValueView& image) const;
  // A field of a block's record, in place where possible, else through `scratch`.
  TValueView FieldView(const TTable& table, const TBlock& block, uint32_t address, int position, size_t field,
                       std::vector<uint8_t>& scratch);
  void InternalInsertRecord(int table, int where, const std::vector<uint8_t>& image);
  void PlaceStored(int table, int position, const std::vector<uint8_t>& stored);
  uint32_t SplitBlock(int table, int position);
  void StartOwnBlock(TTable& table);
  void LinkNewBlockAfter(TTable& table, TBlock& block, uint32_t address, TBlock& fresh, uint32_t freshAddress);
  void Rebalance(int table);
  void MergeNextBlock(int table, TBlock& b, TBlock& next);
  void MergePrevBlock(int table, TBlock& b, TBlock& prev);
  void BorrowFromPrevBlock(int table, TBlock& b, TBlock& prev);
  void BorrowFromNextBlock(int table, TBlock& b, TBlock& next);
  void DropEmptyBlock(int table, TBlock& b);
  // Links `before` and `after` to each other (a 0 end sets the table's first or last block),
  // taking the block between them out of the chain. A side given as a block held in memory
  // (written by the caller) is changed there rather than in the file.
  void LinkNeighbours(TTable& t, uint32_t before, uint32_t after, TBlock* heldBefore, TBlock* heldAfter);
  uint32_t SetOversizedField(const uint8_t* data, size_t length);
  std::vector<uint8_t> ReadChain(uint32_t address, int64_t length, uint32_t owner);
  void RemoveOversizedFields(const TTable& table, const std::vector<uint8_t>& image);
  void ClearExpandedBlock(uint32_t address);
  void FreeTableData(TTable& table);
  int32_t RecNoOf(const std::vector<uint8_t>& image) const;

  // Index maintenance for records (indexes.cpp).
  void AddRecordKeys(int table, uint32_t address, const std::vector<uint8_t>& image);
  void DeleteRecordKeys(int table, uint32_t address, const std::vector<uint8_t>& image);
  void UpdateBlockKeys(int table, const TBlock& block, uint32_t address, int from, int to, int mode);
  // Moving records from..to of `block` to the block at `to`: when every key of those
  // records sits in a leaf that keeps at least half its keys without them, deleting and
  // re-adding the keys leaves every node as it was but for the keys' block, so the keys
  // are changed where they stand instead. False (and nothing planned) otherwise.
  struct TKeyMove {
    uint32_t Leaf = 0;
    int Position = 0;
    TIndexKey Key;
    TIndexHeader Index;  // the leaf's tree
  };
  bool PlanKeyMove(int table, const TBlock& block, uint32_t address, int from, int to, uint32_t destination,
                   std::vector<TKeyMove>& plan);
  void ApplyKeyMove(std::vector<TKeyMove>& plan);

  // The value of field IndexField of the record that a key of `header` names (the record
  // numbered `recNo` in block `blockAddress`, or a neighbour of it outside a unique index),
  // in place, and its position; false when there is no such record.
  bool IndexGetData(const TIndexHeader& header, uint32_t blockAddress, int32_t recNo, TValueView& value,
                    int& position);
  void ClearCaches();

  void CheckIndexes(int table, TBlockMap& map);

  // The state that belongs to one open stream: its pager and its catalogue.
  struct TOpened {
    std::unique_ptr<TPager> Pager;
    std::vector<TTable> Tables;
  };
  // The pager of a database file, or null when the file does not exist (and is not being
  // created) or is not a database of versions 15/16.
  static std::unique_ptr<TPager> OpenPager(const std::string& fileName, uint16_t mode);
  // Exchanges the engine's opened state with `other`, giving up the lock held and every
  // cached block, node and value.
  void SwapOpened(TOpened& other);
  void CreateNew(const std::string& name);
  void Init();
  void ClearTableList();
  void LoadNameList();
  void ReloadCatalogue();
  bool LoadCursorBlock(TTable& table, uint32_t address);
  // Makes the data block at `address` the cursor's block, reusing the cursor's buffer.
  void SetCursorBlock(TTable& table, uint32_t address);
  // Writes the blocks a write transaction kept back (journalled first).
  void FlushBlocks() { pager_->Flush(); }
  std::string DisplayName() const { return pager_->DisplayName(); }
  bool InsideFile(uint32_t address) { return pager_->InsideFile(address); }
  // EBlockCorrupt naming the file, the block and the problem.
  [[noreturn]] void Corrupt(uint32_t address, const std::string& problem) const { pager_->Corrupt(address, problem); }
  // The block after `from` in the catalogue's old chain, when it is one (else 0): a block of
  // the file with a catalogue block's header (Count and Used 0, Prev `from`) that no table
  // or index starts at; `after` is its Next. A damaged link ends the old chain there, so a
  // catalogue write never overwrites or frees a block it does not own.
  uint32_t OldCatalogueBlock(uint32_t from, uint32_t next, uint32_t& after);
  // Called when an exception leaves an exclusively locked operation.
  void DropCaches();
  // Runs and clears the work kept back for the end of the update (AtUpdateEnd).
  void FinishUpdateWork(bool write);
  friend class TDbLock;
  friend class TIndexTree;

  uint64_t identity_ = NextIdentity();
  uint64_t catalogueGeneration_ = 0;
  static uint64_t NextIdentity() {
    static std::atomic<uint64_t> last{0};
    return ++last;
  }
  // The stream with its header, blocks, free list and lock; replaced as a whole when
  // another file is opened.
  std::unique_ptr<TPager> pager_;
  std::vector<TTable> tables_;
  bool tablesWritable_ = true;
  text::THashList names_;
  bool inHeaderRead_ = false;
  bool inRewrite_ = false;
  std::vector<uint8_t> fetchScratch_;
  std::vector<TFieldSlot> slotScratch_;
  TValueMemo valueMemo_;  // a key's value when it cannot be read in place
  TNodeCache nodeCache_;
  uint32_t lastDataBlock_ = 0;
  std::optional<bool> sync_;    // SetSync's choice, for every file opened
  std::function<void(bool)> updateEnd_;  // AtUpdateEnd's work
  int readBrackets_ = 0;        // open read brackets
  bool bracketShared_ = false;  // the outermost one took the shared lock itself
};

// Holds an engine's lock for a scope: shared or exclusive, released on every path.
// An exclusive hold that ends by an exception drops the engine's caches and, when it was
// the outermost lock, rolls the write transaction back (see the top).
class TDbLock {
public:
  TDbLock(TCustomVarDB& db, bool exclusive)
      : db_(db), exclusive_(exclusive), exceptions_(std::uncaught_exceptions()) {
    db_.PlaceLock(exclusive);
    writes_ = db_.pager_->Writes();
  }
  // Commits when it ends the write transaction, so it may throw (never while an exception
  // is already under way: the transaction is then rolled back). An exception that leaves
  // an inner lock after something was written gives up the whole transaction: the write
  // it cut short must not reach the file with the rest.
  ~TDbLock() noexcept(false) {
    bool failing = std::uncaught_exceptions() > exceptions_;
    if (exclusive_ && failing) {
      db_.DropCaches();
      if (db_.pager_->Writes() != writes_) db_.pager_->Abandon();
    }
    db_.ReleaseLock(!failing);
  }
  TDbLock(const TDbLock&) = delete;
  TDbLock& operator=(const TDbLock&) = delete;

private:
  TCustomVarDB& db_;
  bool exclusive_;
  int exceptions_;
  uint64_t writes_ = 0;
};

// An update bracket for a scope (BeginTableUpdate): Commit() ends it and writes it;
// leaving the scope without it - an exception, an early return - abandons the update
// (AbandonTableUpdate), so half of one never reaches the file. The destructor never throws.
class TUpdateBracket {
public:
  explicit TUpdateBracket(TCustomVarDB& db) : db_(&db) { db.BeginTableUpdate(); }
  ~TUpdateBracket() {
    if (db_) db_->AbandonTableUpdate();
  }
  void Commit() {
    TCustomVarDB* db = db_;
    db_ = nullptr;
    if (db) db->EndTableUpdate();
  }
  TUpdateBracket(const TUpdateBracket&) = delete;
  TUpdateBracket& operator=(const TUpdateBracket&) = delete;

private:
  TCustomVarDB* db_;
};

// A read bracket for a scope (BeginRead/EndRead), ended on every path.
class TReadBracket {
public:
  explicit TReadBracket(TCustomVarDB& db) : db_(db) { db_.BeginRead(); }
  ~TReadBracket() { db_.EndRead(); }
  TReadBracket(const TReadBracket&) = delete;
  TReadBracket& operator=(const TReadBracket&) = delete;

private:
  TCustomVarDB& db_;
};

}  // namespace quintrel::storage
