// File locking of the Win32 subset the record database relies on.
//
// Byte-range locks are open-file-description locks: like the originals they belong to the
// open file (not to the process), so two handles of one process exclude each other, and
// they are released when the file is closed or the process ends. They are blocking: a
// request waits in the kernel until the range is granted; nothing here spins.
#pragma once

#include <cstddef>
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

// Writing the files the record database keeps (the database and its journal). Each call
// returns false with errno set on failure; an interrupted call is resumed.
// Writes all `count` bytes at `offset` (a write that stops short without an error sets
// ENOSPC, which is what a full device does to it).
bool WriteFileAt(int handle, uint64_t offset, const void* data, size_t count);
// Makes what was written to the file durable (fsync).
bool FlushFileBuffers(int handle);
// Makes the entries of the folder that holds `path` durable: a file just created or
// removed there survives a power loss.
bool FlushFolderOf(const std::string& path);
// Cuts the file to `size` bytes.
bool SetEndOfFile(int handle, uint64_t size);

// A test seam for failed writes: from the `nth` call on (counting from 1 after this call)
// every call of the chosen kinds above fails with `error` (ENOSPC, EIO, ...) until
// ClearFileFault, as on a device that filled up or broke. Process-wide, for tests only.
constexpr unsigned kFaultWrite = 1;  // WriteFileAt
constexpr unsigned kFaultFlush = 2;  // FlushFileBuffers, FlushFolderOf
constexpr unsigned kFaultTruncate = 4;  // SetEndOfFile
void InjectFileFault(unsigned kinds, uint64_t nth, int error);
// The general form: `hook(kind)` is asked before every call above; a non-zero result fails
// the call with that errno. A hook may also end the process there, to crash a writer at an
// exact point. Null removes it.
using TFileHook = int (*)(unsigned kind);
void SetFileHook(TFileHook hook);
void ClearFileFault();

}  // namespace quintrel::win32
