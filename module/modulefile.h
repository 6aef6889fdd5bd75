// The names of a module's files. An application's module sits beside its executable and a
// project's beside its project file, named after it with the extension ".ZOD". Modules
// travel from systems whose file names ignore case, so "Sales.zod" beside "Sales" is the
// module too: every place that looks for a module or a file that goes with it finds it
// through these functions.
#pragma once

#include <string>
#include <string_view>

namespace quintrel::module {

inline constexpr std::string_view kModuleExtension = ".ZOD";

// fileName with its extension replaced (or added): the spelling a new file gets.
std::string CompanionName(const std::string& fileName, std::string_view extension);

// The existing regular file that `path` names, spelled exactly or else differing only in
// the ASCII case of its last part (the exact spelling wins; among case variants the first
// in name order). Empty when there is none.
std::string FindIgnoringCase(const std::string& path);

// The companion file of fileName with the extension, as it exists on disk (found ignoring
// case); the spelling CompanionName gives when there is none.
std::string CompanionFile(const std::string& fileName, std::string_view extension);

// The module of a project file or executable.
inline std::string ModuleFileFor(const std::string& fileName) {
  return CompanionFile(fileName, kModuleExtension);
}

}  // namespace quintrel::module
