// Texts of the per-user registry file (platform/rtl/registry.h). The file name comes
// first, then the reason the operating system gave.
#pragma once

namespace quintrel::strings {

inline constexpr const char* _SRegReadError = "%s: the registry file cannot be read: %s";
inline constexpr const char* _SRegWriteError = "%s: the registry file cannot be written: %s";

}  // namespace quintrel::strings
