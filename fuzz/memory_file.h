// The file a fuzz target hands to the engine: one anonymous in-memory file for the
// session, refilled for every run, so that nothing is left behind when a run crashes.
//
// The engine writes through a rollback journal beside the file it opens, which cannot lie
// beside /proc/self/fd/N. The file is therefore opened through a link of a given name in a
// folder of its own in the temporary folder; the journal lies there, and the folder goes
// with the object.
#pragma once

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace quintrel::fuzz {

class TMemoryFile {
public:
  explicit TMemoryFile(const std::string& name) {
    namespace fs = std::filesystem;
    fd_ = ::memfd_create(name.c_str(), 0);
    if (fd_ < 0) {
      std::perror("memfd_create");
      std::abort();
    }
    folder_ = fs::temp_directory_path() / ("quintrel-fuzz-" + std::to_string(::getpid()) + "-" + name);
    std::error_code ec;
    fs::remove_all(folder_, ec);
    fs::create_directories(folder_);
    const fs::path link = folder_ / name;
    fs::create_symlink("/proc/self/fd/" + std::to_string(fd_), link);
    path_ = link.string();
  }
  TMemoryFile(const TMemoryFile&) = delete;
  TMemoryFile& operator=(const TMemoryFile&) = delete;
  ~TMemoryFile() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
    ::close(fd_);
  }

  // Replaces the content; a journal an earlier run left beside it goes too, so that no run
  // starts by rolling back another's write.
  void Fill(const uint8_t* data, size_t size) {
    std::error_code ec;
    std::filesystem::remove(path_ + "-journal", ec);
    if (::ftruncate(fd_, 0) != 0) std::abort();
    for (size_t done = 0; done < size;) {
      ssize_t n = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
      if (n <= 0) std::abort();
      done += static_cast<size_t>(n);
    }
  }
  int64_t Size() const {
    struct stat st {};
    ::fstat(fd_, &st);
    return st.st_size;
  }
  // The first unwritten gap at or after `offset` (the file size when there is none).
  int64_t HoleFrom(int64_t offset) const {
    if (offset >= Size()) return Size();
    off_t hole = ::lseek(fd_, offset, SEEK_HOLE);
    return hole < 0 ? Size() : hole;
  }
  // The link the engine opens.
  const std::string& Path() const { return path_; }

private:
  int fd_ = -1;
  std::filesystem::path folder_;
  std::string path_;
};

}  // namespace quintrel::fuzz
