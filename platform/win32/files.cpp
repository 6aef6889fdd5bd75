#include "platform/win32/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace quintrel::win32 {

namespace {

bool RangeLock(int handle, short type, bool wait, uint32_t lengthLow, uint32_t lengthHigh, uint64_t offset) {
  if (handle < 0) return false;
  uint64_t length = (static_cast<uint64_t>(lengthHigh) << 32) | lengthLow;
  if (offset > static_cast<uint64_t>(LLONG_MAX) || length > static_cast<uint64_t>(LLONG_MAX)) return false;
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  fl.l_pid = 0;  // required to be 0 for open-file-description locks
  int cmd = wait ? F_OFD_SETLKW : F_OFD_SETLK;
  for (;;) {
    if (::fcntl(handle, cmd, &fl) == 0) return true;
    if (errno != EINTR) return false;
  }
}

struct TFileFault {
  unsigned kinds = 0;
  uint64_t countdown = 0;  // calls of those kinds still to pass
  int error = 0;
};
TFileFault gFault;
TFileHook gHook = nullptr;

// Whether a call of `kind` is to fail now (errno is then set).
bool Faulted(unsigned kind) {
  if (gHook) {
    int error = gHook(kind);
    if (error != 0) {
      errno = error;
      return true;
    }
  }
  if (!(gFault.kinds & kind)) return false;
  if (gFault.countdown > 0) {
    --gFault.countdown;
    return false;
  }
  errno = gFault.error;
  return true;
}

}  // namespace

void InjectFileFault(unsigned kinds, uint64_t nth, int error) {
  gFault.kinds = kinds;
  gFault.countdown = nth > 0 ? nth - 1 : 0;
  gFault.error = error;
}

void SetFileHook(TFileHook hook) { gHook = hook; }

void ClearFileFault() {
  gFault = TFileFault{};
  gHook = nullptr;
}

bool WriteFileAt(int handle, uint64_t offset, const void* data, size_t count) {
  if (Faulted(kFaultWrite)) return false;
  const auto* in = static_cast<const uint8_t*>(data);
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::pwrite(handle, in + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool FlushFileBuffers(int handle) {
  if (Faulted(kFaultFlush)) return false;
  for (;;) {
    if (::fsync(handle) == 0) return true;
    if (errno != EINTR) return false;
  }
}

bool FlushFolderOf(const std::string& path) {
  if (Faulted(kFaultFlush)) return false;
  size_t slash = path.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  int saved = errno;
  ::close(fd);
  errno = saved;
  return ok;
}

bool SetEndOfFile(int handle, uint64_t size) {
  if (Faulted(kFaultTruncate)) return false;
  if (size > static_cast<uint64_t>(LLONG_MAX)) {
    errno = EINVAL;
    return false;
  }
  for (;;) {
    if (::ftruncate(handle, static_cast<off_t>(size)) == 0) return true;
    if (errno != EINTR) return false;
  }
}

bool LockFileEx(int handle, uint32_t flags, uint32_t lengthLow, uint32_t lengthHigh, uint64_t offset) {
  short type = (flags & LOCKFILE_EXCLUSIVE_LOCK) ? F_WRLCK : F_RDLCK;
  return RangeLock(handle, type, !(flags & LOCKFILE_FAIL_IMMEDIATELY), lengthLow, lengthHigh, offset);
}

bool UnlockFileEx(int handle, uint32_t lengthLow, uint32_t lengthHigh, uint64_t offset) {
  return RangeLock(handle, F_UNLCK, false, lengthLow, lengthHigh, offset);
}

HFILE _lopen(const std::string& path, int mode) {
  int access = mode & 0x03;
  int flags = access == OF_WRITE ? O_WRONLY : access == OF_READWRITE ? O_RDWR : O_RDONLY;
  int fd;
  // Without blocking: a FIFO planted where a file is expected would hold the open until
  // a writer came. Only a regular file is a file here.
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return HFILE_ERROR;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return HFILE_ERROR;
  }
  int share = mode & 0x70;
  int operation = share == OF_SHARE_EXCLUSIVE                                      ? LOCK_EX
                  : (share == OF_SHARE_DENY_WRITE || share == OF_SHARE_DENY_READ) ? LOCK_SH
                                                                                   : 0;
  if (operation != 0) {
    int r;
    do {
      r = ::flock(fd, operation);
    } while (r != 0 && errno == EINTR);
    if (r != 0) {
      ::close(fd);
      return HFILE_ERROR;
    }
  }
  return fd;
}

HFILE _lclose(HFILE handle) {
  if (handle < 0) return HFILE_ERROR;
  return ::close(handle) == 0 ? 0 : HFILE_ERROR;
}

}  // namespace quintrel::win32
