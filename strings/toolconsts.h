// Message table of the design-time utilities shared by the tools. Every text they raise
// is here, formatted with rtl::Format.
#pragma once

namespace quintrel::strings {

// CopyFile: the source cannot be opened (%s: the source), the target cannot be created
// (%s: the target).
inline constexpr const char* _SCopyCannotOpen = "Cannot open file %s";
inline constexpr const char* _SCopyCannotCreate = "Cannot create file %s";
// CopyFile onto the source itself, which creating the target would empty first.
inline constexpr const char* _SCopyOntoItself = "Cannot copy file %s onto itself";

}  // namespace quintrel::strings
