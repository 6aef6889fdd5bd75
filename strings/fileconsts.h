// Reasons a whole-file read of outside data fails (platform/rtl/filebytes.h), besides the
// operating system's own; each reader puts the reason into its message after the file.
#pragma once

namespace quintrel::strings {

inline constexpr const char* _SNotARegularFile = "not a regular file";
inline constexpr const char* _SFileLargerThan = "larger than %d MB";
inline constexpr const char* _SFileLargerThanBytes = "larger than %d bytes";

}  // namespace quintrel::strings
