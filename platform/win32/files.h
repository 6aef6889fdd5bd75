// File locking of the Win32 subset the record database relies on.
//
// Byte-range locks are open-file-description locks: like the originals they belong to the
// open file (not to the process), so two handles of one process exclude each other, and
// they are released when the file is closed or the process ends. They are blocking: a
// request waits in the kernel until the range is granted; nothing here spins.
#pragma once

#include <cstdint>
#include <string>

namespace quintrel::win32 {

using HFILE = int;
constexpr HFILE HFILE_ERROR = -1;

constexpr uint32_t LOCKFILE_FAIL_IMMEDIATELY = 0x1;
constexpr uint32_t LOCKFILE_EXCLUSIVE_LOCK = 0x2;

// Locks `length` bytes at `offset` of the open file `handle`, shared or (with
// LOCKFILE_EXCLUSIVE_LOCK) exclusive. Without LOCKFILE_FAIL_IMMEDIATELY the call waits
// until the range is granted. Returns false when the lock cannot be had (or, with the
// fail-immediately flag, is held elsewhere).
bool LockFileEx(int handle, uint32_t flags, uint32_t lengthLow, uint32_t lengthHigh, uint64_t offset);
bool UnlockFileEx(int handle, uint32_t lengthLow, uint32_t lengthHigh, uint64_t offset);

// _lopen access and share words.
constexpr int OF_READ = 0x00;
constexpr int OF_WRITE = 0x01;
constexpr int OF_READWRITE = 0x02;
constexpr int OF_SHARE_COMPAT = 0x00;
constexpr int OF_SHARE_EXCLUSIVE = 0x10;
constexpr int OF_SHARE_DENY_WRITE = 0x20;
constexpr int OF_SHARE_DENY_READ = 0x30;
constexpr int OF_SHARE_DENY_NONE = 0x40;

// Opens a file with a share mode. The share mode is held as a whole-file lock on the
// opened file: exclusive for OF_SHARE_EXCLUSIVE, shared for the deny-write and deny-read
// modes, none otherwise. Where the original failed on a conflicting share (and its callers
// retried), this call waits until the conflicting opener closes. Returns HFILE_ERROR when
// the file cannot be opened or is not a regular file (a FIFO, device or folder).
HFILE _lopen(const std::string& path, int mode);
// Closes a handle of _lopen, releasing its share lock. Returns 0, or HFILE_ERROR.
HFILE _lclose(HFILE handle);

}  // namespace quintrel::win32
