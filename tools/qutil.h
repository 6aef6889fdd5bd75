// Helpers the design-time tools share besides the name lists (module/namelists.h): copying
// a language between modules, catalogued property paths, font character sets, the folders
// of the development environment and the application, a plain file copy and trimming.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/vcl/graphics.h"

namespace quintrel::tools {

// Where the development environment's root folder is configured: the value "RootDir" of
// this key, else the value "BRCPath" of section "Quintrel" under "Software\Talvorine".
inline constexpr const char* kEnvironmentKey = "Software\\Borland\\C++Builder\\3.0";
inline constexpr const char* kEnvironmentRootValue = "RootDir";
inline constexpr const char* kToolsKey = "Software\\Talvorine";
inline constexpr const char* kToolsSection = "Quintrel";
inline constexpr const char* kToolsRootValue = "BRCPath";

// The file copy works in blocks of this size.
constexpr size_t kCopyBlockSize = 8192;

// Copies the language `id` from the module `source` to the module `target` (added, or
// replacing the target's record of that identifier). False when the source has no such
// language or the target refuses it.
bool CopyLanguage(int source, int target, uint16_t id);

// Replaces every bracketed index of a property path by "*" (Items[3].Caption becomes
// Items[*].Caption), so that all items of a list or collection share one catalogued
// property name. A "[" without a closing "]" is left as it is.
void RemoveIndex(std::string& path);

// The character set of the font; DEFAULT_CHARSET (1) without a font.
vcl::TFontCharset GetCharset(const vcl::TFont* font);
// Gives the font the character set; nothing without a font.
void SetCharset(vcl::TFont* font, vcl::TFontCharset charset);

// The development environment's root folder with a trailing "/", or empty when neither
// registry value names one.
std::string GetRootPath();
// Inside the development environment, the folder of the project's first unit whose
// extension is ".dpr" or ".bpr" (empty when there is none); in an application, the folder
// of the executable. A non-empty result ends with "/".
std::string GetAppPath();
// The first that exists of root/SOURCE/VCL/fileName, root/SOURCE/RTL/SYS/fileName and
// root/DOC/fileName with the extension ".int"; empty when none exists or no root folder is
// configured. Folder and file names are matched without regard to case where the exact
// spelling is missing, as the environment's own file system does.
std::string GetSystemFile(std::string_view fileName);

// Copies the file in blocks of kCopyBlockSize bytes until a read comes back short.
// Raises rtl::Exception with _SCopyCannotOpen (the source) or _SCopyCannotCreate (the
// target), or _SCopyOntoItself when both name the same file; a failing read or write
// raises the stream's error.
void CopyFile(const std::string& source, const std::string& target);

// The text without its leading and trailing characters of codes up to 32.
std::string Trim(std::string_view text);

}  // namespace quintrel::tools
