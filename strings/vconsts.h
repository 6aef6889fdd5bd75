// Message table of the record database and the containers under it. Every text the
// storage and text layers show is here, formatted with rtl::Format.
#pragma once

namespace quintrel::strings {

inline constexpr const char* _SBlockCorrupt = "Database error, corrupt block at offset $%x";
inline constexpr const char* _SBlockInconsistent = "Database error, block data inconsistent";
inline constexpr const char* _SIndexInconsistent =
    "Index corrupt, please reconstruct the index for table %2d and field %2d";
inline constexpr const char* _SLockBusy = "The database timed out waiting for a lock release";
inline constexpr const char* _SIndexDuplicate = "Duplicated keys in a unique index, table %2d and field %2d";
inline constexpr const char* _SHashListError = "An internal Hash list problem occured";

// Refusals of damaged or foreign files. The file name comes first so that every line the
// command line prints names the file and the problem.
inline constexpr const char* _SNotADatabase = "%s: not a database file (version %d, expected 15 or 16)";
inline constexpr const char* _SFileTooShort = "%s: not a database file (%d bytes, a header needs 64)";
inline constexpr const char* _SFileNotFound = "%s: file not found";
inline constexpr const char* _SCatalogueDamaged = "%s: catalogue damaged: %s";

}  // namespace quintrel::strings
