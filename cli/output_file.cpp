#include "cli/output_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "cli/common.h"
#include "platform/rtl/sysutils.h"
#include "strings/qconsts.h"

namespace quintrel::cli {

namespace {

namespace qs = quintrel::strings;

[[noreturn]] void CannotWrite(const std::string& fileName, int error) {
  throw ECommandFailed(rtl::Format(qs::_SCliCannotWrite, fileName, std::strerror(error)));
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void WriteAll(int fd, std::string_view data, const std::string& fileName) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) CannotWrite(fileName, n < 0 ? errno : ENOSPC);
    done += static_cast<size_t>(n);
  }
}

}  // namespace

TReplacement::TReplacement(const std::string& target, bool mayReplace)
    : target_(target), resolved_(target), mayReplace_(mayReplace) {
  if (target.empty() || target.back() == '/') throw ECommandFailed(rtl::Format(qs::_SCliNotRegularFile, target));
  struct stat st {};
  if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    // Replace the file the link names, not the link.
    char* real = ::realpath(target.c_str(), nullptr);
    if (real) {
      resolved_ = real;
      std::free(real);
    }
  }
  if (::stat(resolved_.c_str(), &st) == 0) {
    existed_ = true;
    if (!S_ISREG(st.st_mode)) throw ECommandFailed(rtl::Format(qs::_SCliNotRegularFile, target));
    if (!mayReplace) throw ECommandFailed(rtl::Format(qs::_SCliFileExists, target));
    // A rename would ignore the file's own protection; honour it as writing in place would.
    if (::access(resolved_.c_str(), W_OK) != 0) CannotWrite(target, errno);
    if ((st.st_mode & 0222) == 0) CannotWrite(target, EACCES);  // read-only even for the superuser
    mode_ = st.st_mode & 07777;
  } else if (errno != ENOENT) {
    CannotWrite(target, errno);
  }
  std::string pattern = FolderOf(resolved_) + "/." + BaseNameOf(resolved_) + ".XXXXXX";
  if (!::mkdtemp(pattern.data())) CannotWrite(target, errno);
  folder_ = pattern;
  // The staged file carries the target's own name: a module records its file name inside.
  staging_ = folder_ + "/" + BaseNameOf(target);
}

TReplacement::~TReplacement() {
  if (committed_) return;
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void TReplacement::Commit() {
  if (existed_ && ::chmod(staging_.c_str(), mode_) != 0) CannotWrite(target_, errno);
  int result;
  if (mayReplace_) {
    result = ::rename(staging_.c_str(), resolved_.c_str());
  } else {
    // Without leave to replace, a file that appeared since the check stays untouched.
    result = ::renameat2(AT_FDCWD, staging_.c_str(), AT_FDCWD, resolved_.c_str(), RENAME_NOREPLACE);
    if (result != 0 && errno == EINVAL) {
      result = ::link(staging_.c_str(), resolved_.c_str());
      if (result == 0) ::unlink(staging_.c_str());
    }
  }
  if (result != 0) {
    if (errno == EEXIST) throw ECommandFailed(rtl::Format(qs::_SCliFileExists, target_));
    CannotWrite(target_, errno);
  }
  committed_ = true;
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);  // what the staged file left behind (a lock file)
}

void WriteOutputFile(const std::string& fileName, std::string_view data) {
  struct stat st {};
  if (::stat(fileName.c_str(), &st) == 0 && (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))) {
    int fd = ::open(fileName.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) CannotWrite(fileName, errno);
    try {
      WriteAll(fd, data, fileName);
    } catch (...) {
      ::close(fd);
      throw;
    }
    ::close(fd);
    return;
  }
  TReplacement replacement(fileName, true);
  int fd = ::open(replacement.StagingPath().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) CannotWrite(fileName, errno);
  try {
    WriteAll(fd, data, fileName);
    if (::fsync(fd) != 0) CannotWrite(fileName, errno);
  } catch (...) {
    ::close(fd);
    throw;
  }
  if (::close(fd) != 0) CannotWrite(fileName, errno);
  replacement.Commit();
}

}  // namespace quintrel::cli
