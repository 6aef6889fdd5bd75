// Texts of the window manager: the captions of the standard system menu and the title
// of a message box shown without one; the warning when text cannot be measured with fonts.
#pragma once

namespace quintrel::strings {

inline constexpr const char* _SSysMenuRestore = "&Restore";
inline constexpr const char* _SSysMenuMove = "&Move";
inline constexpr const char* _SSysMenuSize = "&Size";
inline constexpr const char* _SSysMenuMinimize = "Mi&nimize";
inline constexpr const char* _SSysMenuMaximize = "Ma&ximize";
inline constexpr const char* _SSysMenuClose = "&Close\tAlt+F4";
// A multiple-document child window closes with Ctrl+F4 and offers the next child.
inline constexpr const char* _SSysMenuCloseChild = "&Close\tCtrl+F4";
inline constexpr const char* _SSysMenuNextChild = "Nex&t\tCtrl+F6";

// Text extents come from font files; without one the average-width model measures.
inline constexpr const char* _SFontFileMissing =
    "warning: no font file found for the face \"%s\" (see docs/fonts.md; set QUINTREL_FONT_PATH); text is "
    "measured with the average-width model";

inline constexpr const char* _SMsgBoxDefaultCaption = "Error";
// How the command line prints a message box: caption, then text.
inline constexpr const char* _SMsgBoxPrinted = "%s: %s";

}  // namespace quintrel::strings
