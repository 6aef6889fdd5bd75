// Compiling a resource-script unit with the machine's resource compiler.
//
// The compiler is $QUINTREL_WINDRES when set, else x86_64-w64-mingw32-windres on the PATH
// (Debian's binutils-mingw-w64). Its C preprocessor is not used (it is a further
// toolchain, and would read the included Pascal unit as C): the script is prepared here
// instead, with its directives and comments blanked, backslash-newlines joined and every
// string's constant replaced by the number the constants unit gives it, and the compiler
// reads that text as it is. Its output, NAME.res, replaces the one beside the script
// only when the compiler succeeded.
#pragma once

#include <string>
#include <string_view>

#include "tools/resstr.h"

namespace quintrel::tools {

// The code page the compiler reads the script in, from the design language's charset:
// 0 1252, 1 the system's ANSI code page, 128 932, 129 949, 134 936, 136 950, 161 1253,
// 162 1254, 177 1255, 178 1256, 186 1257, 204 1251, 222 874, 238 1250, any other 1252.
unsigned ResourceCodePage(int charset);

// The script as the compiler is given it (see above); numbers by identifier, ignoring
// case. Raises host::EProjectError when the script cannot be read.
std::string PrepareScript(std::string_view script, const std::string& fileName, int charset, const TDeclFile& constants);

struct TCompileResult {
  std::string ResFile;
  std::string Output;  // what the compiler printed (warnings)
};

// Compiles a .rc unit. Raises EToolError when the unit is no script, the compiler is
// missing, fails (with its messages) or takes longer than timeoutSeconds.
TCompileResult CompileScript(const TResUnit& unit, int charset, int timeoutSeconds);

}  // namespace quintrel::tools
