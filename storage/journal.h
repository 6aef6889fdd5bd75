// The rollback journal of a database file: "<file>-journal" beside it, holding the content
// that the blocks (and the 64-byte header) had when a write transaction began, and the
// file's size then. A transaction cut short by a crash, a kill or a failed write is undone
// by writing that content back and cutting the file to its old size. docs/formats/journal.md
// describes the layout; storage/pager.h the protocol around it.
//
// Layout (little-endian):
//   header, 64 bytes: 0 magic "QJOURNAL"; 8 version (u32, 1); 12 block size (u32, 8192);
//     16 file header size (u32, 64); 20 salt (u32, new for every journal); 24 the
//     database's size when the transaction began (u64); 32 the 8 bytes of the database
//     header's Created field, naming the database the journal belongs to; 40..59 zero;
//     60 checksum of bytes 0..59 (u32).
//   records, one after another: address (u32: 0 for the file header, else a block's
//     address), length (u32: 64 for the header, 8192 for a block), checksum (u32, of the
//     salt, the address, the length and the content), zero (u32); then `length` bytes of
//     content.
//
// Invariants:
//   - Only content older than the transaction is recorded: a region is recorded once, before
//     its first write, and only when it lay inside the file when the transaction began.
//   - Every record reaches the journal, and (when syncing) the disk, before the database
//     region it saves is written; so any record whose checksum holds is true old content.
//     Writing back a region that was never changed is harmless, so a rollback writes back
//     every record up to the first that is cut off or fails its checksum, then cuts the
//     file to its old size.
//   - A journal whose header is cut off or fails its checksum was never synced, so the
//     database was not yet written: it is discarded. So is one naming another database
//     (Created differs): it can only be a leftover of a file since replaced.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quintrel::storage {

class TJournal {
public:
  // The journal's name for a database file.
  static std::string NameFor(const std::string& fileName) { return fileName + "-journal"; }

  // Starts the journal `path` of the database `fileName` (its size now `originalSize`, its
  // header's Created bytes `created`, null when the file has no header yet), replacing what
  // may lie there; the file gets the permission bits `permissions`. Records are written in
  // pieces of about 1 MiB as they are added and the rest by Write; nothing is synced
  // before Write. EDatabaseError naming the file when it cannot be created.
  TJournal(const std::string& fileName, int64_t originalSize, const uint8_t* created, bool sync,
           unsigned permissions);
  ~TJournal();
  TJournal(const TJournal&) = delete;
  TJournal& operator=(const TJournal&) = delete;

  int64_t OriginalSize() const { return originalSize_; }
  // Records the old content of the region at `address` (the header at 0: 64 bytes; a block:
  // 8192 bytes; a region the file did not fully hold is padded with zeros). EDatabaseError
  // when a full piece cannot be written.
  void Add(uint32_t address, const uint8_t* content, uint32_t length);
  // Appends what was added and, when syncing, makes it durable (the first time the folder's
  // entry as well). Returns before the database may be written.
  void Write();
  // Closes and deletes the journal: the transaction is over.
  void Remove();

  enum class TOutcome { kNone, kDiscarded, kRolledBack };
  // Rolls the database `fileName`, open for writing as `handle` under the exclusive lock,
  // back from its journal when one lies beside it, and deletes the journal. kNone when
  // there is none. EDatabaseError naming the file when the journal cannot be read or the
  // database not written; the journal then stays for the next attempt.
  static TOutcome RollBack(int handle, const std::string& fileName, bool sync);

private:
  std::string fileName_;
  std::string path_;
  int fd_ = -1;
  bool sync_;
  bool synced_ = false;  // the folder entry has been made durable
  uint32_t salt_;
  int64_t originalSize_;
  // Appends what waits in pending_ (no sync).
  void WritePending();
  static constexpr size_t kPendingLimit = size_t{1} << 20;

  uint64_t end_ = 0;  // bytes of the journal written
  std::vector<uint8_t> pending_;
};

}  // namespace quintrel::storage
