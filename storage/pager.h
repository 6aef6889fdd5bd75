// The pager: a database's stream as a 64-byte header and 8192-byte blocks. It reads and
// writes blocks (through the block cache), hands out and takes back blocks of the free
// list, holds the cross-process lock and keeps the header and its change counter. It
// knows nothing of what a block holds beyond the free list's own blocks; the engine above
// it keeps the catalogue, the records and the indexes.
//
// Invariants:
//   - Every block read or written starts on the block grid (IsBlockAddress) and lies wholly
//     inside the stream; anything else raises EBlockCorrupt before a byte moves. The stream
//     only grows, a whole block at a time (Allocate), and never past 32-bit addresses.
//   - Header() is the header as this process last read or wrote it. Every header write
//     adds one to ChangeCount (from 2147483640 on it wraps to 0) and makes that count the
//     stamp; a header read whose count differs from the stamp tells the caller that another
//     process (or an older state) changed the file, and the caller reloads what it derived
//     from it before accepting the new stamp (AcceptStamp).
//   - HeaderCurrent(): a header read or written under the lock held now is current for as
//     long as that lock is held (no other process can write meanwhile); a database in memory
//     is always the only writer of its stream.
//   - Locks nest: only the outermost PlaceLock takes the byte-range lock on the 64 header
//     bytes (or opens the lock file "<path without extension>uln" when one exists) and only
//     the matching ReleaseLock gives it back. A file opened for reading takes a shared lock
//     even when asked for an exclusive one. A second lock of this process on the same file
//     that would wait for the first forever is refused with ELockBusy.
//   - Free list: a doubly linked chain of blocks from AvailList, each all zero but Next and
//     Prev. A block taken from it (and its successor, whose Prev changes) is tested to be
//     such a block first - inside the file, on the grid, not the catalogue's first block,
//     zero but its links - and a block given back must lie inside the file and be neither
//     the catalogue's first block nor the list's head; otherwise EBlockCorrupt names the
//     damage and nothing is written. Allocate and Free expect the caller to hold the
//     exclusive lock with the header current.
//   - Write transactions. On a file, everything written while the exclusive lock is held -
//     from the outermost PlaceLock(true) to the matching ReleaseLock - is one transaction:
//     blocks wait in the block cache, dirty, and the header in memory. Before any of it
//     reaches the file, the old content of every region about to be overwritten (and the
//     file's size) goes to the rollback journal "<file>-journal" (storage/journal.h), which
//     is synced first. Committing (the outermost ReleaseLock) writes the blocks, then the
//     header, syncs the file and deletes the journal. A transaction that fails - an
//     exception leaving its outermost lock, a failed write or sync while committing - is
//     rolled back at once: dirty blocks are dropped and what already reached the file is
//     written back from the journal, leaving the file byte for byte as it was. A crash
//     leaves the journal behind ("hot"); whoever locks the file next, for reading or
//     writing, rolls it back first under the exclusive lock. Blocks flushed before the end
//     (many dirty blocks, a catalogue read) go through the same journal-first path.
//   - An error that leaves an inner lock or bracket after it wrote something, or a failed
//     write of blocks before the end, gives up the whole transaction (Abandon): there are
//     no savepoints, and half an update must not reach the file with the rest. Its
//     outermost release rolls it back and, when asked to commit, raises EDatabaseError.
//   - The journal is deleted rather than kept empty: nothing but the database stays in the
//     user's folder. Losing that deletion in a power cut can only undo the last transaction
//     as a whole, never mix two: the next journal is not written to until its folder entry
//     is synced, which makes the deletion before it durable as well.
//   - Syncing (fsync of the journal, its folder and the file) is on unless QUINTREL_SYNC is
//     "off" (or SetSync(false)): the journal is still written, so a killed process still
//     rolls back, but a power cut may lose or tear what was not yet on the disk.
//   - A write needs the exclusive lock. Asking for it while this pager holds only a shared
//     one is refused (EDatabaseError) instead of raising the lock in place: two readers
//     raising theirs would wait for each other forever.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>

#include "platform/rtl/classes.h"
#include "storage/blockcache.h"
#include "storage/catalogue.h"
#include "storage/journal.h"

namespace quintrel::storage {

// Reads `count` bytes at `offset` of a stream; the number of bytes read.
size_t ReadAt(rtl::TStream& stream, uint64_t offset, void* buffer, size_t count);
// The block at `address` of a stream; EBlockCorrupt when the address is not the start of a
// whole block inside it.
PBlock ReadBlockFrom(rtl::TStream& stream, uint32_t address);

class TPager {
public:
  // A private in-memory stream (no locks, no other process).
  TPager();
  // The open file `fileName`; `device` and `inode` identify it among the files this process
  // holds locks on.
  TPager(std::unique_ptr<rtl::TFileStream> file, const std::string& fileName, uint16_t mode, uint64_t device,
         uint64_t inode);
  // Gives back a lock still held.
  ~TPager();
  TPager(const TPager&) = delete;
  TPager& operator=(const TPager&) = delete;

  bool IsFile() const { return isFile_; }
  const std::string& FileName() const { return fileName_; }
  uint16_t Mode() const { return mode_; }
  // The file's name, or the database's name for one in memory, for messages.
  std::string DisplayName() const { return isFile_ ? fileName_ : header_.DbName; }
  rtl::TStream& Stream() { return *stream_; }
  // The stream's size, counting the new blocks at its end that wait in the cache.
  int64_t Size() { return std::max<int64_t>(stream_->Size(), pendingEnd_); }

  // Header.
  TFileHeader& Header() { return header_; }
  const TFileHeader& Header() const { return header_; }
  int32_t Stamp() const { return stamp_; }
  bool HeaderCurrent() const { return headerFresh_ && (!isFile_ || lockCount_ > 0); }
  // Reads the 64 header bytes into Header() (EDatabaseError for a short file or another
  // version); `current` says whether the lock held now keeps it current. True when its
  // ChangeCount differs from the stamp.
  bool ReadHeader(bool current);
  // The header has been read again without deciding whether it stays current.
  bool ReadHeader() { return ReadHeaderBytes(); }
  void AcceptStamp() { stamp_ = header_.ChangeCount; }
  // Whether the file's ChangeCount is still the stamp: true while the header is current;
  // otherwise the 4 bytes of the count are read once, without the lock. An unchanged count
  // means no header write of any process completed since this one last read or wrote the
  // header, so what it read under the lock at that stamp is still what a locked read would
  // see, or what it saw just before a write still under way; a count read half written
  // only differs from the stamp, which sends the caller to a locked read.
  bool StampHolds();
  // Counts the change, keeps `header` as Header() and writes it (at the commit, inside a
  // transaction).
  void WriteHeader(TFileHeader& header);

  // Locks. The outermost exclusive lock of a file opens a write transaction; its release
  // commits it (`commit`, which may throw; the transaction is then rolled back and the lock
  // given back) or rolls it back (never throws).
  void PlaceLock(bool exclusive);
  void ReleaseLock(bool commit = true);
  bool InTransaction() const { return transaction_; }
  // Gives up the write transaction under way, from any depth of the lock: its release
  // rolls it back whatever it is asked to do, and one asked to commit then raises
  // EDatabaseError. Without savepoints, an error in the middle of a nested bracket cannot
  // be undone alone, and what it left behind must not reach the file with the rest.
  void Abandon() noexcept {
    if (transaction_) abandoned_ = true;
  }
  bool Abandoned() const { return abandoned_; }
  // Counts the writes (blocks, header, blocks taken) of this pager: a scope that ends by an
  // exception and saw the count move left a half-done write behind.
  uint64_t Writes() const { return writes_; }
  // Whether the file's writes are synced (see the top).
  void SetSync(bool sync) { sync_ = sync; }
  bool Sync() const { return sync_; }
  // Gives back the lock however deeply it is held (closing or switching files).
  void ReleaseAllLocks();
  int32_t LockCount() const { return lockCount_; }

  // Blocks.
  // A copy of the block at `address`, from the cache when it is there.
  PBlock LoadBlock(uint32_t address);
  // The block at `address` in place, valid until the next block is read or written; for a
  // file, `checked` points at the cached block's bits of what it was found to be (null for
  // a database in memory, whose blocks are read afresh every time).
  const TBlock& Peek(uint32_t address, uint8_t** checked) {
    if (!isFile_) {
      *checked = nullptr;
      peekScratch_ = *ReadBlock(address);
      return peekScratch_;
    }
    if (const TBlock* block = cache_.Find(address, checked)) return *block;
    LoadBlock(address);
    return *cache_.Find(address, checked);
  }
  // Writes a block; inside a write transaction it waits in the cache until Flush.
  void WriteBlock(uint32_t address, const TBlock& block);
  // Inside a write transaction, the cached block at `address` to be built in place and then
  // given to WriteBlock, which keeps it without a copy; null when it is not cached or
  // writes go to the file at once. Nothing may come between the two but building it.
  TBlock* CachedForWrite(uint32_t address) {
    return isFile_ && transaction_ ? cache_.FindForWrite(address) : nullptr;
  }
  // Records that the cached block at `address` passed a test (TBlockCache's checked bits);
  // nothing when it is not cached.
  void MarkChecked(uint32_t address, uint8_t bits) {
    uint8_t* checked = nullptr;
    if (isFile_ && cache_.Find(address, &checked)) *checked |= bits;
  }
  // Writes the blocks kept back, their old content journalled first.
  void Flush();
  // Forgets every cached block (none may be waiting to be written).
  void ClearCache() {
    sizeSeen_ = 0;
    pendingEnd_ = 0;
    cache_.Clear();
  }
  // Forgets the cached blocks that are not waiting to be written.
  void DropClean() {
    cache_.DropClean();
    sizeSeen_ = 0;
  }
  // Whether a whole block at `address` lies inside the file (the size is asked again only
  // for addresses beyond the size last seen: files only grow).
  bool InsideFile(uint32_t address) {
    int64_t end = static_cast<int64_t>(address) + kBlockSize;
    if (end <= sizeSeen_) return true;
    sizeSeen_ = Size();
    return end <= sizeSeen_;
  }
  // EBlockCorrupt naming the file, the block and the problem.
  [[noreturn]] void Corrupt(uint32_t address, const std::string& problem) const;

  // The free list.
  // A zeroed block: the free list's head, else a new block at the end of the file.
  uint32_t Allocate();
  // Puts the block at `address` at the head of the free list; `scratch` is cleared.
  void Free(uint32_t address, TBlock& scratch);

private:
  // Blocks kept in memory (8 KiB each): enough for a file of 128 MiB to be read once.
  static constexpr size_t kBlockCacheSize = 16384;

  bool ReadHeaderBytes();
  PBlock ReadBlock(uint32_t address);
  void WriteThrough(uint32_t address, const TBlock& block);
  // A dirty block that must leave the cache for room before the commit.
  void Spill(uint32_t address, const TBlock& block);
  PBlock LoadFreeBlock(uint32_t address);
  int AcquireFileLock(bool exclusive);
  // Takes the lock on the open file `fd` (the byte range, or the lock file when one exists).
  int LockOn(int fd, bool exclusive);
  void ReleaseFileLock();
  void ReleaseOn(int fd);
  bool Writable() const;
  int Handle() const;

  // Write transactions.
  void BeginTransaction();
  // Saves in the journal the old content of whatever dirty region has none there yet (the
  // header included), and syncs it: after this the dirty blocks may be written.
  void JournalDirty();
  void EnsureJournal();
  void Commit();
  void Rollback() noexcept;
  // Rolls back a journal found beside the file, under the exclusive lock, and comes back
  // holding the lock it held before.
  void RecoverJournal();

  std::unique_ptr<rtl::TStream> stream_;
  bool isFile_ = false;
  std::string fileName_;
  std::string lockFileName_;
  uint16_t mode_ = 0;
  uint64_t fileDevice_ = 0;  // identity of the open file, for locks held by this process
  uint64_t fileInode_ = 0;
  int32_t lockCount_ = 0;
  int lockHandle_ = -1;
  bool lockExclusive_ = false;
  bool locked_ = false;  // the file lock is held (by the outermost PlaceLock)
  std::string journalName_;
  bool sync_ = true;
  bool transaction_ = false;
  bool abandoned_ = false;
  uint64_t writes_ = 0;
  int64_t originalSize_ = 0;  // the file's size when the transaction began
  bool headerDirty_ = false;  // Header() waits to be written at the commit
  bool headerJournalled_ = false;
  std::unordered_set<uint32_t> journalled_;  // blocks whose old content is in the journal
  std::unique_ptr<TJournal> journal_;
  TFileHeader header_;
  int32_t stamp_ = 0;
  bool headerFresh_ = false;
  int64_t sizeSeen_ = 0;
  // The end of the stream including the blocks Allocate added while writes were deferred
  // (0 when none waits): they reach the file with their content when the cache is flushed,
  // instead of as zeros first.
  int64_t pendingEnd_ = 0;
  TBlock peekScratch_;
  TBlockCache cache_{kBlockCacheSize};
};

}  // namespace quintrel::storage
