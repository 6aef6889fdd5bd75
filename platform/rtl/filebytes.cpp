#include "platform/rtl/filebytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/rtl/sysutils.h"
#include "strings/fileconsts.h"

namespace quintrel::rtl {

TFd::~TFd() {
  if (fd_ >= 0) ::close(fd_);
}

std::string TFileBytes::Reason() const {
  switch (Fault) {
    case TReadFault::rfNone: break;
    case TReadFault::rfSystem: return std::strerror(Error);
    case TReadFault::rfNotRegular: return strings::_SNotARegularFile;
    case TReadFault::rfTooLarge:
      return MaxSize % (1u << 20) == 0 ? Format(strings::_SFileLargerThan, MaxSize >> 20)
                                       : Format(strings::_SFileLargerThanBytes, MaxSize);
  }
  return {};
}

TFileBytes ReadRegularFile(const std::string& fileName, std::size_t maxSize) {
  const auto failed = [maxSize](TReadFault fault, int error = 0) {
    TFileBytes r;
    r.Fault = fault;
    r.Error = error;
    r.MaxSize = maxSize;
    return r;
  };
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer. It has no
  // effect on the reads of a regular file.
  int fd;
  do {
    fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return failed(TReadFault::rfSystem, errno);
  TFd file(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) return failed(TReadFault::rfSystem, errno);
  if (!S_ISREG(st.st_mode)) return failed(TReadFault::rfNotRegular);
  if (st.st_size < 0 || static_cast<std::uint64_t>(st.st_size) > maxSize) return failed(TReadFault::rfTooLarge);

  TFileBytes r;
  r.MaxSize = maxSize;
  // One byte beyond the reported size shows whether the file holds more than it said;
  // files of the system's own (under /proc) report 0 and are read up to the bound.
  std::size_t capacity = static_cast<std::size_t>(st.st_size) + 1;
  r.Data.resize(capacity);
  std::size_t done = 0;
  for (;;) {
    if (done == r.Data.size()) {
      if (done > maxSize) return failed(TReadFault::rfTooLarge);
      r.Data.resize(std::min(maxSize + 1, std::max<std::size_t>(r.Data.size() * 2, 4096)));
    }
    ssize_t n = ::read(fd, r.Data.data() + done, r.Data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return failed(TReadFault::rfSystem, errno);
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  if (done > maxSize) return failed(TReadFault::rfTooLarge);
  r.Data.resize(done);
  return r;
}

TFileId FileIdOf(const std::string& fileName) {
  TFileId id;
  struct stat st {};
  if (::stat(fileName.c_str(), &st) == 0) {
    id.Device = static_cast<std::uint64_t>(st.st_dev);
    id.Inode = static_cast<std::uint64_t>(st.st_ino);
  } else {
    id.Path = fileName;
  }
  return id;
}

}  // namespace quintrel::rtl
