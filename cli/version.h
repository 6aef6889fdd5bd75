// The program's version and the commit it was built from, as --version and the add-in's
// about text print them.
#pragma once

namespace quintrel::cli {

// The release number, "0.1.0".
extern const char* const kVersion;
// The abbreviated commit the build was configured from; "unknown" when the sources were
// not a git checkout then.
extern const char* const kCommit;

}  // namespace quintrel::cli
