// Whole-file reads of outside data, and the identity of a file on disk.
//
// Every reader of a file a user hands over (project sources, units, resource scripts,
// headers) reads it through ReadRegularFile: only a regular file is opened, and no more
// is read than the file holds and the caller allows. A FIFO, a device or a directory
// named where a source is expected would otherwise block the open, stream without end or
// fail obscurely, so they are refused before a byte is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quintrel::rtl {

// Why a whole-file read failed.
enum class TReadFault {
  rfNone,
  rfSystem,      // the system refused to open, examine or read it; Error holds errno
  rfNotRegular,  // a FIFO, device, socket or directory
  rfTooLarge,    // more than the caller's bound
};

struct TFileBytes {
  std::string Data;
  TReadFault Fault = TReadFault::rfNone;
  int Error = 0;             // errno, for rfSystem
  std::size_t MaxSize = 0;   // the bound the read was given
  explicit operator bool() const { return Fault == TReadFault::rfNone; }
  // Why the read failed, for a message that names the file first.
  std::string Reason() const;
};

// Reads the whole of a regular file of at most `maxSize` bytes. The open never blocks (a
// FIFO is refused, not waited on), and the read stops at the bound even when the file
// grows while it is read or reports a size smaller than what it yields.
TFileBytes ReadRegularFile(const std::string& fileName, std::size_t maxSize);

// A file descriptor closed on every path.
class TFd {
public:
  explicit TFd(int fd) : fd_(fd) {}
  ~TFd();
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return fd_; }

private:
  int fd_;
};

// A file as the file system resolves it: two spellings (case on a case-folding system,
// "a/../b", symbolic links, hard links) of one file have the same identity. A path that
// cannot be examined is identified by its spelling.
struct TFileId {
  std::uint64_t Device = 0;
  std::uint64_t Inode = 0;
  std::string Path;  // only when the file could not be examined
  auto operator<=>(const TFileId&) const = default;
};
TFileId FileIdOf(const std::string& fileName);

}  // namespace quintrel::rtl
