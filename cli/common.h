// Shared plumbing of the quintrel command: failures that end a command with a one-line
// message, and the exit codes.
#pragma once

#include <stdexcept>
#include <string>

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

}  // namespace quintrel::cli
