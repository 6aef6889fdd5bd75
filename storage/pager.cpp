#include "storage/pager.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>

#include "platform/win32/files.h"
#include "storage/coding.h"
#include "storage/vardbs.h"
#include "strings/vconsts.h"

namespace quintrel::storage {

using rtl::Format;
namespace vc = quintrel::strings;

namespace {

// Writes `count` bytes at `offset`; a failure names the file and the system's reason.
void WriteAt(rtl::TStream& stream, const std::string& name, uint64_t offset, const void* data, size_t count) {
  auto* file = dynamic_cast<rtl::TFileStream*>(&stream);
  if (!file) {
    stream.Seek(static_cast<int64_t>(offset), rtl::TSeekOrigin::soBeginning);
    stream.WriteBuffer(data, count);
    return;
  }
  // One positioned write instead of a seek and a write.
  if (!win32::WriteFileAt(file->Handle(), offset, data, count)) {
    std::string reason = errno == ENOSPC ? std::string(vc::_SWriteShort) : std::strerror(errno);
    throw EDatabaseError(Format(vc::_SWriteFailed, name, count, offset, reason));
  }
}

// Whether the files of this process are synced: QUINTREL_SYNC=off (or 0, no, false) turns
// it off for bulk jobs that accept losing their work to a power cut.
bool SyncByDefault() {
  const char* v = std::getenv("QUINTREL_SYNC");
  if (!v) return true;
  std::string s(v);
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return !(s == "off" || s == "0" || s == "no" || s == "false");
}

// Locks of this process on each database file. The byte-range locks belong to the open
// file, so a second engine of this process on the same file would wait for the first one
// forever on this single thread; such a request is refused with ELockBusy instead.
struct THeldLocks {
  int shared = 0;
  int exclusive = 0;
};
std::map<std::pair<uint64_t, uint64_t>, THeldLocks>& HeldLocks() {
  static std::map<std::pair<uint64_t, uint64_t>, THeldLocks> held;
  return held;
}

// The lock file of a database: its path with the extension dropped and "uln" appended.
std::string LockFileName(const std::string& fileName) {
  size_t slash = fileName.find_last_of('/');
  size_t dot = fileName.find_last_of('.');
  std::string base = (dot != std::string::npos && (slash == std::string::npos || dot > slash))
                         ? fileName.substr(0, dot)
                         : fileName;
  return base + "uln";
}

}  // namespace

// Reads at `offset`: one positioned read for a file (the stream's own position is not used
// by anyone between its Seek and Read calls), else Seek and Read.
size_t ReadAt(rtl::TStream& stream, uint64_t offset, void* buffer, size_t count) {
  if (auto* file = dynamic_cast<rtl::TFileStream*>(&stream)) {
    size_t done = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (done < count) {
      ssize_t n = ::pread(file->Handle(), out + done, count - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    return done;
  }
  stream.Seek(static_cast<int64_t>(offset), rtl::TSeekOrigin::soBeginning);
  return stream.Read(buffer, count);
}

PBlock ReadBlockFrom(rtl::TStream& stream, uint32_t address) {
  if (!IsBlockAddress(address)) throw EBlockCorrupt(address);
  auto block = std::make_unique<TBlock>();
  if (ReadAt(stream, address, block->Bytes.data(), kBlockSize) != kBlockSize) throw EBlockCorrupt(address);
  return block;
}

TPager::TPager() : stream_(std::make_unique<rtl::TMemoryStream>()) {}

TPager::TPager(std::unique_ptr<rtl::TFileStream> file, const std::string& fileName, uint16_t mode, uint64_t device,
               uint64_t inode)
    : stream_(std::move(file)),
      isFile_(true),
      fileName_(fileName),
      lockFileName_(LockFileName(fileName)),
      mode_(mode),
      fileDevice_(device),
      fileInode_(inode),
      journalName_(TJournal::NameFor(fileName)),
      sync_(SyncByDefault()) {}

TPager::~TPager() { ReleaseAllLocks(); }

int TPager::Handle() const { return static_cast<rtl::TFileStream&>(*stream_).Handle(); }

bool TPager::Writable() const { return !((mode_ & 3) == rtl::fmOpenRead && mode_ != rtl::fmCreate); }

// ---------------------------------------------------------------------------------------
// Header

bool TPager::ReadHeaderBytes() {
  // A header written in this transaction is newer than the file's until the commit.
  if (headerDirty_) return header_.ChangeCount != stamp_;
  uint8_t bytes[kFileHeaderSize];
  size_t n = ReadAt(*stream_, 0, bytes, kFileHeaderSize);
  if (n < kFileHeaderSize) throw EDatabaseError(Format(vc::_SFileTooShort, DisplayName(), static_cast<int>(n)));
  header_ = TFileHeader::Decode(bytes);
  if (header_.Version != 15 && header_.Version != 16)
    throw EDatabaseError(Format(vc::_SNotADatabase, DisplayName(), header_.Version));
  return header_.ChangeCount != stamp_;
}

bool TPager::ReadHeader(bool current) {
  bool moved = ReadHeaderBytes();
  headerFresh_ = current;
  return moved;
}

bool TPager::StampHolds() {
  if (HeaderCurrent()) return header_.ChangeCount == stamp_;
  uint8_t bytes[4];
  if (ReadAt(*stream_, kChangeCountOffset, bytes, 4) != 4) return false;
  return static_cast<int32_t>(Get32(bytes)) == stamp_;
}

void TPager::WriteHeader(TFileHeader& header) {
  ++writes_;
  headerFresh_ = !isFile_ || lockCount_ > 0;
  header.ChangeCount = header.ChangeCount >= kChangeCountWrap ? 0 : header.ChangeCount + 1;
  stamp_ = header.ChangeCount;
  header_ = header;
  if (transaction_) {
    headerDirty_ = true;
    return;
  }
  uint8_t bytes[kFileHeaderSize];
  header.Encode(bytes);
  WriteAt(*stream_, DisplayName(), 0, bytes, kFileHeaderSize);
}

// ---------------------------------------------------------------------------------------
// Locks

int TPager::AcquireFileLock(bool exclusive) {
  // A file opened for reading only cannot carry an exclusive byte-range lock here; it
  // cannot be written either, so a shared lock serialises it against writers just as well.
  if (!Writable()) exclusive = false;
  return LockOn(Handle(), exclusive);
}

int TPager::LockOn(int fd, bool exclusive) {
  THeldLocks& held = HeldLocks()[{fileDevice_, fileInode_}];
  if (held.exclusive > 0 || (exclusive && held.shared > 0)) throw ELockBusy();
  int handle = -1;
  if (rtl::FileExists(lockFileName_)) {
    handle = win32::_lopen(lockFileName_,
                           win32::OF_READ | (exclusive ? win32::OF_SHARE_EXCLUSIVE : win32::OF_SHARE_DENY_WRITE));
    if (handle == win32::HFILE_ERROR)
      throw EDatabaseError(Format(vc::_SCannotOpenLockFile, fileName_, lockFileName_));
  } else if (!win32::LockFileEx(fd, exclusive ? win32::LOCKFILE_EXCLUSIVE_LOCK : 0, kFileHeaderSize, 0, 0)) {
    throw EDatabaseError(Format(vc::_SCannotLock, fileName_));
  }
  (exclusive ? held.exclusive : held.shared)++;
  lockExclusive_ = exclusive;
  locked_ = true;
  return handle;
}

void TPager::ReleaseFileLock() {
  headerFresh_ = false;
  ReleaseOn(Handle());
}

void TPager::ReleaseOn(int fd) {
  if (!locked_) return;
  locked_ = false;
  if (lockHandle_ != -1) {
    win32::_lclose(lockHandle_);
    lockHandle_ = -1;
  } else {
    win32::UnlockFileEx(fd, kFileHeaderSize, 0, 0);
  }
  auto it = HeldLocks().find({fileDevice_, fileInode_});
  if (it != HeldLocks().end()) {
    // The entry stays (one per file ever locked), so the next lock finds it without
    // allocating.
    (lockExclusive_ ? it->second.exclusive : it->second.shared)--;
  }
}

void TPager::PlaceLock(bool exclusive) {
  if (!isFile_) return;
  if (lockCount_ == 0) {
    lockHandle_ = AcquireFileLock(exclusive);
    try {
      // One look for a journal per lock taken: a writer that died left it, and nothing of
      // the file may be read or written before it is rolled back.
      if (::access(journalName_.c_str(), F_OK) == 0) RecoverJournal();
    } catch (...) {
      ReleaseFileLock();
      throw;
    }
    if (lockExclusive_) BeginTransaction();
  } else if (exclusive && !lockExclusive_ && Writable()) {
    throw EDatabaseError(Format(vc::_SWriteUnderSharedLock, fileName_));
  }
  ++lockCount_;
}

void TPager::ReleaseLock(bool commit) {
  if (!isFile_ || lockCount_ < 1) return;
  if (lockCount_ > 1) {
    --lockCount_;
    return;
  }
  if (transaction_) {
    if (abandoned_) {
      Rollback();
      if (commit) {
        lockCount_ = 0;
        ReleaseFileLock();
        throw EDatabaseError(Format(vc::_SUpdateAbandoned, fileName_));
      }
    } else if (!commit) {
      Rollback();
    } else {
      try {
        Commit();
      } catch (...) {
        Rollback();
        lockCount_ = 0;
        ReleaseFileLock();
        throw;
      }
    }
  }
  lockCount_ = 0;
  ReleaseFileLock();
}

void TPager::ReleaseAllLocks() {
  if (!isFile_ || lockCount_ < 1) return;
  // Giving up the file in the middle of a transaction is giving up the transaction.
  if (transaction_) Rollback();
  lockCount_ = 0;
  ReleaseFileLock();
}

void TPager::RecoverJournal() {
  auto rollBack = [&](int fd) {
    if (TJournal::RollBack(fd, fileName_, sync_) != TJournal::TOutcome::kNone) {
      // Blocks read before may be from the abandoned transaction's writes.
      cache_.Clear();
      sizeSeen_ = 0;
      headerFresh_ = false;
    }
  };
  if (lockExclusive_) {
    rollBack(Handle());
    return;
  }
  // Held shared: the lock is let go and taken exclusive (by whichever process gets there
  // first; the journal is looked for again under it), then taken shared again.
  ReleaseFileLock();
  if (Writable()) {
    lockHandle_ = LockOn(Handle(), true);
    struct TBack {
      TPager& pager;
      ~TBack() { pager.ReleaseOn(pager.Handle()); }
    } back{*this};
    rollBack(Handle());
  } else {
    // Opened for reading: the rollback needs a handle that may write.
    int fd = ::open(fileName_.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throw EDatabaseError(Format(vc::_SJournalReadOnly, fileName_, journalName_, std::strerror(errno)));
    struct TBack {
      TPager& pager;
      int fd;
      ~TBack() {
        pager.ReleaseOn(fd);
        ::close(fd);
      }
    } back{*this, fd};
    lockHandle_ = LockOn(fd, true);
    rollBack(fd);
  }
  lockHandle_ = LockOn(Handle(), false);
}

// ---------------------------------------------------------------------------------------
// Write transactions

void TPager::BeginTransaction() {
  transaction_ = true;
  abandoned_ = false;
  struct stat st {};
  originalSize_ = ::fstat(Handle(), &st) == 0 ? static_cast<int64_t>(st.st_size) : stream_->Size();
  headerDirty_ = false;
  headerJournalled_ = false;
  journalled_.clear();
}

void TPager::EnsureJournal() {
  // Even a transaction that only appends needs the journal first: it holds the size to cut
  // the file back to.
  if (!journal_) {
    uint8_t created[8];
    bool named = originalSize_ >= static_cast<int64_t>(kFileHeaderSize) && ReadAt(*stream_, 12, created, 8) == 8;
    struct stat st {};
    unsigned permissions = ::fstat(Handle(), &st) == 0 ? static_cast<unsigned>(st.st_mode) : 0644;
    journal_ = std::make_unique<TJournal>(fileName_, originalSize_, named ? created : nullptr, sync_, permissions);
  }
}

void TPager::JournalDirty() {
  if (!headerDirty_ && !cache_.HasDirty()) return;
  EnsureJournal();
  TBlock old;
  auto save = [&](uint32_t address, uint32_t length) {
    // The file still holds the old content: nothing of this region has been written yet.
    old.Clear();
    ReadAt(*stream_, address, old.Bytes.data(), length);
    journal_->Add(address, old.Bytes.data(), length);
  };
  cache_.ForEachDirty([&](uint32_t address) {
    if (static_cast<int64_t>(address) < originalSize_ && journalled_.insert(address).second) save(address, kBlockSize);
  });
  if (headerDirty_ && !headerJournalled_ && originalSize_ >= static_cast<int64_t>(kFileHeaderSize)) {
    headerJournalled_ = true;
    save(0, kFileHeaderSize);
  }
  journal_->Write();
}

void TPager::Flush() {
  try {
    if (transaction_) JournalDirty();
    if (cache_.HasDirty()) cache_.Flush([&](uint32_t a, const TBlock& b) { WriteThrough(a, b); });
  } catch (...) {
    // Part of the transaction may be in the file, part only in the cache: it can only be
    // rolled back now.
    Abandon();
    throw;
  }
  pendingEnd_ = 0;
}

void TPager::Commit() {
  if (!headerDirty_ && !cache_.HasDirty() && !journal_) {
    transaction_ = false;
    return;
  }
  Flush();
  if (headerDirty_) {
    uint8_t bytes[kFileHeaderSize];
    header_.Encode(bytes);
    WriteAt(*stream_, DisplayName(), 0, bytes, kFileHeaderSize);
    headerDirty_ = false;
  }
  if (sync_ && !win32::FlushFileBuffers(Handle()))
    throw EDatabaseError(Format(vc::_SSyncFailed, fileName_, std::strerror(errno)));
  journal_->Remove();
  journal_.reset();
  transaction_ = false;
}

void TPager::Rollback() noexcept {
  transaction_ = false;
  abandoned_ = false;
  cache_.Clear();
  pendingEnd_ = 0;
  sizeSeen_ = 0;
  headerDirty_ = false;
  headerFresh_ = false;
  // No stamp matches: whatever this process derived from the abandoned state is read again.
  stamp_ = -1;
  if (!journal_) return;
  journal_.reset();
  try {
    TJournal::RollBack(Handle(), fileName_, sync_);
  } catch (...) {
    // The journal stays beside the file: the next lock of any process rolls it back.
  }
}

// ---------------------------------------------------------------------------------------
// Blocks

PBlock TPager::ReadBlock(uint32_t address) {
  try {
    return ReadBlockFrom(*stream_, address);
  } catch (const EBlockCorrupt&) {
    Corrupt(address, vc::_SBlockOutside);
  }
}

PBlock TPager::LoadBlock(uint32_t address) {
  if (!isFile_) return ReadBlock(address);
  if (const TBlock* cached = cache_.Find(address)) return std::make_unique<TBlock>(*cached);
  PBlock block = ReadBlock(address);
  cache_.Put(address, *block, false, [&](uint32_t a, const TBlock& b) { Spill(a, b); });
  return block;
}

void TPager::Spill(uint32_t address, const TBlock& block) {
  // Rare: Flush keeps the dirty blocks below half the cache. The block is still counted
  // dirty by nobody, so its old content is journalled here on its own.
  try {
    if (transaction_) {
      EnsureJournal();
      if (static_cast<int64_t>(address) < originalSize_ && journalled_.insert(address).second) {
        TBlock old;
        ReadAt(*stream_, address, old.Bytes.data(), kBlockSize);
        journal_->Add(address, old.Bytes.data(), kBlockSize);
      }
      journal_->Write();
    }
    WriteThrough(address, block);
  } catch (...) {
    // The block leaves the cache either way: without it the transaction cannot be committed.
    Abandon();
    throw;
  }
}

void TPager::WriteThrough(uint32_t address, const TBlock& block) {
  if (!IsBlockAddress(address)) throw EBlockCorrupt(address);
  WriteAt(*stream_, DisplayName(), address, block.Bytes.data(), kBlockSize);
}

void TPager::WriteBlock(uint32_t address, const TBlock& block) {
  if (!IsBlockAddress(address)) throw EBlockCorrupt(address);
  ++writes_;
  if (!isFile_) {
    WriteThrough(address, block);
    return;
  }
  if (!transaction_) WriteThrough(address, block);
  // Half the cache dirty: written now (journal first), so that room is made from clean
  // blocks and a dirty one rarely has to leave on its own.
  if (transaction_ && cache_.DirtyCount() >= kBlockCacheSize / 2) Flush();
  cache_.Put(address, block, transaction_, [&](uint32_t a, const TBlock& b) { Spill(a, b); });
}

void TPager::Corrupt(uint32_t address, const std::string& problem) const {
  throw EBlockCorrupt(address, Format(vc::_SBlockCorruptIn, DisplayName(), address, problem));
}

// ---------------------------------------------------------------------------------------
// The free list

PBlock TPager::LoadFreeBlock(uint32_t address) {
  auto damaged = [&](const std::string& what) { Corrupt(address, Format(vc::_SAvailDamaged, what)); };
  if (!IsBlockAddress(address) || !InsideFile(address)) damaged(Format(vc::_SAvailOutside, address));
  if (address == header_.TableBlock) damaged(Format(vc::_SAvailClaimed, address));
  PBlock block = LoadBlock(address);
  // Next and Prev are the only bytes a free block may hold.
  if (std::any_of(block->Bytes.begin() + 8, block->Bytes.end(), [](uint8_t b) { return b != 0; }))
    damaged(Format(vc::_SAvailNotFree, address));
  return block;
}

uint32_t TPager::Allocate() {
  if (header_.AvailList > 0) {
    // Both blocks this changes are tested first: a damaged list stops the write here,
    // before anything (the catalogue, a record) is written over.
    uint32_t head = header_.AvailList;
    PBlock block = LoadFreeBlock(head);
    uint32_t next = block->Next();
    PBlock nextBlock;
    if (next == head) Corrupt(head, Format(vc::_SAvailDamaged, Format(vc::_SAvailNotFree, next)));
    if (next > 0) nextBlock = LoadFreeBlock(next);
    header_.AvailList = next;
    block->Clear();
    WriteBlock(head, *block);
    if (nextBlock) {
      nextBlock->SetPrev(0);
      WriteBlock(next, *nextBlock);
    }
    WriteHeader(header_);
    return head;
  }
  int64_t end = std::max<int64_t>(stream_->Seek(0, rtl::TSeekOrigin::soEnd), pendingEnd_);
  if (end < static_cast<int64_t>(kFileHeaderSize))
    throw EDatabaseError(Format(vc::_SFileTooShort, DisplayName(), static_cast<int>(end)));
  // A file whose length is off the block grid (a foreign tail) grows from the next whole
  // block, so every address stays a block start.
  int64_t rest = (end - kFileHeaderSize) % kBlockSize;
  if (rest != 0) end += kBlockSize - rest;
  if (end + kBlockSize > 0xFFFFFFFFLL) throw EDatabaseError(Format(vc::_SDatabaseFull, DisplayName()));
  TBlock zero;
  auto spill = [&](uint32_t a, const TBlock& b) { Spill(a, b); };
  ++writes_;
  if (transaction_) {
    // While writes are deferred the new block waits in the cache like every other and is
    // written once, with its content; the pending end tells where the next one goes.
    cache_.Put(static_cast<uint32_t>(end), zero, true, spill);
    pendingEnd_ = end + kBlockSize;
    return static_cast<uint32_t>(end);
  }
  // Otherwise the file grows now: its size tells where the next block goes.
  WriteThrough(static_cast<uint32_t>(end), zero);
  if (isFile_) cache_.Put(static_cast<uint32_t>(end), zero, false, spill);
  return static_cast<uint32_t>(end);
}

void TPager::Free(uint32_t address, TBlock& block) {
  auto refused = [&](const std::string& why) { Corrupt(address, Format(vc::_SFreeRefused, address, why)); };
  if (!IsBlockAddress(address) || !InsideFile(address)) refused(Format(vc::_SAvailOutside, address));
  if (address == header_.TableBlock) refused(Format(vc::_SAvailClaimed, address));
  if (address == header_.AvailList) refused(vc::_SFreeTwice);
  block.Clear();
  if (header_.AvailList > 0) {
    block.SetNext(header_.AvailList);
    PBlock head = LoadFreeBlock(header_.AvailList);
    head->SetPrev(address);
    WriteBlock(header_.AvailList, *head);
  } else {
    block.SetNext(0);
  }
  WriteBlock(address, block);
  header_.AvailList = address;
  WriteHeader(header_);
}

}  // namespace quintrel::storage
