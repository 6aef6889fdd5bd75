#include "storage/journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <unordered_set>

#include "platform/rtl/sysutils.h"
#include "platform/win32/files.h"
#include "storage/blockcache.h"
#include "storage/coding.h"
#include "storage/vardbs.h"
#include "strings/vconsts.h"

namespace quintrel::storage {

using rtl::Format;
namespace vc = quintrel::strings;

namespace {

constexpr char kMagic[8] = {'Q', 'J', 'O', 'U', 'R', 'N', 'A', 'L'};
constexpr uint32_t kVersion = 1;
constexpr size_t kHeaderSize = 64;
constexpr size_t kRecordHead = 16;
constexpr size_t kCreatedOffset = 12;  // of the Created field in the database header

// A checksum that a torn or stale record fails: eight bytes at a time, mixed by
// multiplication, seeded with the journal's salt.
uint32_t Checksum(uint32_t salt, const uint8_t* data, size_t size, uint64_t seed) {
  uint64_t h = (0x9E3779B97F4A7C15ULL ^ salt) + seed;
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t w;
    std::memcpy(&w, data + i, 8);
    h = (h ^ w) * 0xBF58476D1CE4E5B9ULL;
    h ^= h >> 31;
  }
  for (; i < size; ++i) h = (h ^ data[i]) * 0x94D049BB133111EBULL;
  h ^= h >> 29;
  return static_cast<uint32_t>(h ^ (h >> 32));
}

uint32_t RecordChecksum(uint32_t salt, uint32_t address, uint32_t length, const uint8_t* content) {
  return Checksum(salt, content, length, (static_cast<uint64_t>(address) << 32) | length);
}

uint32_t NewSalt() {
  static std::mt19937 generator{std::random_device{}() ^ static_cast<uint32_t>(::getpid())};
  return static_cast<uint32_t>(generator());
}

std::string Reason() { return std::strerror(errno); }

// Reads exactly `count` bytes at `offset`; false when the file ends first.
bool ReadExactly(int fd, uint64_t offset, void* buffer, size_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::pread(fd, out + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Closes a descriptor when the scope ends.
struct TFd {
  int fd;
  ~TFd() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

TJournal::TJournal(const std::string& fileName, int64_t originalSize, const uint8_t* created, bool sync,
                   unsigned permissions)
    : fileName_(fileName), path_(NameFor(fileName)), sync_(sync), salt_(NewSalt()), originalSize_(originalSize) {
  // Not blocking and not following a link: only a regular file of ours is written here.
  do {
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK,
                 permissions & 0666);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) throw EDatabaseError(Format(vc::_SJournalWriteFailed, fileName_, path_, Reason()));
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw EDatabaseError(Format(vc::_SJournalNotAFile, fileName_, path_));
  }
  pending_.assign(kHeaderSize, 0);
  uint8_t* h = pending_.data();
  std::memcpy(h, kMagic, 8);
  Put32(h + 8, kVersion);
  Put32(h + 12, kBlockSize);
  Put32(h + 16, kFileHeaderSize);
  Put32(h + 20, salt_);
  Put32(h + 24, static_cast<uint32_t>(originalSize));
  Put32(h + 28, static_cast<uint32_t>(static_cast<uint64_t>(originalSize) >> 32));
  if (created) std::memcpy(h + 32, created, 8);
  Put32(h + 60, Checksum(salt_, h, 60, 0));
}

TJournal::~TJournal() {
  if (fd_ >= 0) ::close(fd_);
}

void TJournal::Add(uint32_t address, const uint8_t* content, uint32_t length) {
  // A large transaction's old content goes to the journal in pieces while it is added, so
  // the buffer stays small instead of growing (and being copied) to the size of all of it;
  // nothing is synced before Write, and the database is not written before Write either.
  if (pending_.size() + kRecordHead + length > kPendingLimit) WritePending();
  uint8_t head[kRecordHead] = {};
  Put32(head, address);
  Put32(head + 4, length);
  Put32(head + 8, RecordChecksum(salt_, address, length, content));
  pending_.insert(pending_.end(), head, head + kRecordHead);
  pending_.insert(pending_.end(), content, content + length);
}

void TJournal::WritePending() {
  if (pending_.empty()) return;
  if (!win32::WriteFileAt(fd_, end_, pending_.data(), pending_.size()))
    throw EDatabaseError(Format(vc::_SJournalWriteFailed, fileName_, path_, Reason()));
  end_ += pending_.size();
  pending_.clear();
}

void TJournal::Write() {
  if (pending_.empty() && end_ > 0) return;
  WritePending();
  if (!sync_) return;
  if (!win32::FlushFileBuffers(fd_))
    throw EDatabaseError(Format(vc::_SJournalWriteFailed, fileName_, path_, Reason()));
  // A journal that vanished from its folder in a power loss could not undo anything.
  if (!synced_ && !win32::FlushFolderOf(path_))
    throw EDatabaseError(Format(vc::_SJournalWriteFailed, fileName_, path_, Reason()));
  synced_ = true;
}

void TJournal::Remove() {
  int fd = fd_;
  fd_ = -1;
  TFd close{fd};
  if (::unlink(path_.c_str()) == 0 || errno == ENOENT) return;
  // A journal left whole would undo the finished transaction at the next open: emptied, it
  // is discarded instead.
  std::string reason = Reason();
  if (fd < 0 || !win32::SetEndOfFile(fd, 0) || (sync_ && !win32::FlushFileBuffers(fd)))
    throw EDatabaseError(Format(vc::_SJournalWriteFailed, fileName_, path_, reason));
}

TJournal::TOutcome TJournal::RollBack(int handle, const std::string& fileName, bool sync) {
  std::string path = NameFor(fileName);
  auto fail = [&](const std::string& why) {
    throw EDatabaseError(Format(vc::_SJournalRollbackFailed, fileName, path, why));
  };
  TFd journal{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK)};
  if (journal.fd < 0) {
    if (errno == ENOENT) return TOutcome::kNone;
    throw EDatabaseError(Format(vc::_SJournalOpenFailed, fileName, path, Reason()));
  }
  struct stat st {};
  if (::fstat(journal.fd, &st) != 0 || !S_ISREG(st.st_mode))
    throw EDatabaseError(Format(vc::_SJournalNotAFile, fileName, path));
  uint64_t size = static_cast<uint64_t>(st.st_size);

  auto discard = [&]() {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) fail(Reason());
    return TOutcome::kDiscarded;
  };
  uint8_t h[kHeaderSize];
  if (size < kHeaderSize || !ReadExactly(journal.fd, 0, h, kHeaderSize)) return discard();
  uint32_t salt = Get32(h + 20);
  uint64_t originalSize = Get32(h + 24) | (static_cast<uint64_t>(Get32(h + 28)) << 32);
  if (std::memcmp(h, kMagic, 8) != 0 || Get32(h + 8) != kVersion || Get32(h + 12) != kBlockSize ||
      Get32(h + 16) != kFileHeaderSize || Get32(h + 60) != Checksum(salt, h, 60, 0) ||
      originalSize > static_cast<uint64_t>(kMaxFileSize))
    return discard();
  if (originalSize >= kFileHeaderSize) {
    uint8_t created[8];
    if (!ReadExactly(handle, kCreatedOffset, created, 8) || std::memcmp(created, h + 32, 8) != 0) return discard();
  }

  // Each region once: the first record of an address is its content before the transaction.
  std::unordered_set<uint32_t> restored;
  std::vector<uint8_t> record(kRecordHead + kBlockSize);
  for (uint64_t at = kHeaderSize; at + kRecordHead <= size;) {
    uint8_t* r = record.data();
    if (!ReadExactly(journal.fd, at, r, kRecordHead)) break;
    uint32_t address = Get32(r);
    uint32_t length = Get32(r + 4);
    bool shape = address == 0 ? length == kFileHeaderSize : IsBlockAddress(address) && length == kBlockSize;
    if (!shape || address + static_cast<uint64_t>(length) > originalSize || at + kRecordHead + length > size) break;
    if (!ReadExactly(journal.fd, at + kRecordHead, r + kRecordHead, length)) break;
    if (Get32(r + 8) != RecordChecksum(salt, address, length, r + kRecordHead)) break;
    if (restored.insert(address).second && !win32::WriteFileAt(handle, address, r + kRecordHead, length))
      fail(Reason());
    at += kRecordHead + length;
  }
  struct stat db {};
  if (::fstat(handle, &db) != 0) fail(Reason());
  if (static_cast<uint64_t>(db.st_size) > originalSize && !win32::SetEndOfFile(handle, originalSize)) fail(Reason());
  // The database is durable in its old state before the journal that restores it goes.
  if (sync && !win32::FlushFileBuffers(handle)) fail(Reason());
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) fail(Reason());
  return TOutcome::kRolledBack;
}

}  // namespace quintrel::storage
