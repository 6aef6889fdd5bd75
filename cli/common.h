// Shared plumbing of the quintrel command: failures that end a command with a one-line
// message, the exit codes, and how texts to be stored are read from arguments.
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "platform/rtl/classes.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"
#include "strings/qconsts.h"

namespace quintrel::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Ends the running command: the message goes to stderr as one line, the exit code is 1.
class ECommandFailed : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Ends the running command with an exit code after it printed what it had to say.
struct TExitCode {
  int code;
};

// The module file the user named, refused with one line when there is no file of that
// name; a folder is said to be one, so that a path that names a folder does not read as a
// missing file.
inline const std::string& RequireModuleFile(const std::string& fileName) {
  if (rtl::FileExists(fileName)) return fileName;
  std::error_code ec;
  throw ECommandFailed(rtl::Format(std::filesystem::is_directory(fileName, ec) ? strings::_SCliModuleIsFolder
                                                                                : strings::_SCliFileNotFound,
                                   fileName));
}

// A text from the command line that is about to be stored, as UTF-16. Ill-formed UTF-8 is
// refused (naming the argument and the byte offset) rather than stored as U+FFFD.
// The noun for a count in a summary line ("1 finding", "4 findings").
inline const char* Noun(std::size_t count, const char* one, const char* many) { return count == 1 ? one : many; }

inline std::u16string StoredText(std::string_view utf8, std::string_view name) {
  size_t bad = 0;
  std::optional<std::u16string> wide = rtl::Utf8ToWideStrict(utf8, &bad);
  if (!wide) throw ECommandFailed(rtl::Format(strings::_SCliNotUtf8, name, bad));
  return std::move(*wide);
}

}  // namespace quintrel::cli
