#include "tools/resstrcompile.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "module/modulefile.h"
#include "platform/ide/project.h"
#include "platform/win32/codepage.h"
#include "platform/vcl/textutil.h"
#include "strings/toolconsts.h"

namespace quintrel::tools {

namespace fs = std::filesystem;

namespace {

constexpr const char* kCompilerName = "x86_64-w64-mingw32-windres";
constexpr size_t kMaxOutput = 64 * 1024;

// Comments and directive lines become blanks (line ends stay, so lines keep their
// numbers and entries their offsets).
void BlankCommentsAndDirectives(std::string& text) {
  bool lineStart = true;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n' || c == '\r') {
      lineStart = true;
      continue;
    }
    const auto blankUntil = [&](size_t end) {
      for (; i < end && i < text.size(); ++i)
        if (text[i] != '\n' && text[i] != '\r') text[i] = ' ';
      --i;
    };
    if (lineStart && c == '#') {
      blankUntil(text.find_first_of("\r\n", i));
      continue;
    }
    if (c == ' ' || c == '\t') continue;
    lineStart = false;
    if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
      blankUntil(text.find_first_of("\r\n", i));
    } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
      const size_t end = text.find("*/", i + 2);
      blankUntil(end == std::string::npos ? text.size() : end + 2);
    } else if (c == '"') {
      for (++i; i < text.size() && text[i] != '"' && text[i] != '\n'; ++i)
        if (text[i] == '\\') ++i;
    }
  }
}

// A backslash that ends a line inside a literal continues the literal: both go.
// Quotes escaped with a backslash become doubled quotes.
std::string JoinContinuations(const std::string& text) {
  std::string out;
  bool inString = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString && c == '\\' && i + 1 < text.size()) {
      if (text[i + 1] == '\n') {
        ++i;
        continue;
      }
      if (text[i + 1] == '\r' && i + 2 < text.size() && text[i + 2] == '\n') {
        i += 2;
        continue;
      }
      // The compiler takes \" but warns about it; "" is its own spelling of a quote.
      out += text[i + 1] == '"' ? '"' : c;
      out += text[++i];
      continue;
    }
    if (c == '"') inString = !inString;
    if (c == '\n') inString = false;
    out += c;
  }
  return out;
}

std::string FindCompiler() {
  if (const char* named = std::getenv("QUINTREL_WINDRES"); named && *named) return named;
  const char* path = std::getenv("PATH");
  std::string_view dirs = path ? path : "/usr/bin:/bin";
  while (!dirs.empty()) {
    const size_t colon = dirs.find(':');
    const std::string dir(dirs.substr(0, colon));
    dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
    const std::string candidate = (fs::path(dir.empty() ? "." : dir) / kCompilerName).string();
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

// Runs the program with its output (both streams) collected; kills it after the timeout.
// Returns its exit status (-1 when it did not exit normally).
int RunProcess(const std::vector<std::string>& args, int timeoutSeconds, std::string& output, bool& timedOut) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw EToolError(rtl::Format(strings::_SResStrCannotRun, args[0], std::strerror(errno)));
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    throw EToolError(rtl::Format(strings::_SResStrCannotRun, args[0], std::strerror(errno)));
  }
  if (pid == 0) {
    ::dup2(fds[1], 1);
    ::dup2(fds[1], 2);
    const int devNull = ::open("/dev/null", O_RDONLY);
    if (devNull >= 0) ::dup2(devNull, 0);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  timedOut = false;
  char buffer[4096];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      ::kill(pid, SIGKILL);
      break;
    }
    pollfd p{fds[0], POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n <= 0) break;  // the compiler closed its output: it is done
    if (output.size() < kMaxOutput) output.append(buffer, static_cast<size_t>(n));
  }
  ::close(fds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A scratch folder removed with everything in it.
struct TScratch {
  std::string Folder;
  TScratch() {
    std::string pattern = (fs::temp_directory_path() / "quintrel-rc-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw EToolError(rtl::Format(strings::_SToolCannotWrite, pattern, std::strerror(errno)));
    Folder = pattern;
  }
  ~TScratch() {
    std::error_code ec;
    fs::remove_all(Folder, ec);
  }
  std::string Write(const std::string& name, std::string_view data, bool executable = false) const {
    const std::string path = (fs::path(Folder) / name).string();
    host::WriteFileAtomic(path, data);
    if (executable) ::chmod(path.c_str(), 0700);
    return path;
  }
};

}  // namespace

unsigned ResourceCodePage(int charset) {
  switch (charset) {
    case 1: return win32::GetACP();
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    default: return 1252;
  }
}

std::string PrepareScript(std::string_view script, const std::string& fileName, int charset, const TDeclFile& constants) {
  std::string text(script);
  BlankCommentsAndDirectives(text);
  TDeclFile table = ReadStringTable(script, fileName, charset);
  // From the end, so that the offsets before each replacement stay valid.
  std::sort(table.Decls.begin(), table.Decls.end(), [](const TResDecl& a, const TResDecl& b) { return a.Offset > b.Offset; });
  for (const TResDecl& d : table.Decls) {
    long long number = d.Number;
    for (const TResDecl& c : constants.Decls)
      if (vcl::SameText(c.Identifier, d.Identifier)) number = c.Number;
    if (number > 0) text.replace(d.Offset, d.Identifier.size(), std::to_string(number));
  }
  return JoinContinuations(text);
}

TCompileResult CompileScript(const TResUnit& unit, int charset, int timeoutSeconds) {
  if (unit.Kind != TResUnitKind::Script) throw EToolError(rtl::Format(strings::_SResStrNotScript, unit.Name));
  const std::string compiler = FindCompiler();
  if (compiler.empty()) throw EToolError(rtl::Format(strings::_SResStrNoCompiler, kCompilerName));
  std::string script, constantsText;
  try {
    script = host::ReadFileBytes(unit.Path);
    std::string companion = host::CompanionFile(unit.Path, ".inc");
    if (companion.empty()) companion = host::CompanionFile(unit.Path, ".pas");
    if (!companion.empty()) constantsText = host::ReadFileBytes(companion);
  } catch (const host::EProjectError& e) {
    throw EToolError(e.Message());
  }
  TScratch scratch;
  std::string prepared;
  try {
    prepared = PrepareScript(script, unit.Path, charset, ReadConstants(constantsText));
  } catch (const host::EProjectError& e) {
    throw EToolError(e.Message());
  }
  const std::string input = scratch.Write(fs::path(unit.Path).filename().string(), prepared);
  // The compiler hands its preprocessor options and the file; this one passes the file on.
  const std::string passOn = scratch.Write("pass-on", "#!/bin/sh\nfor f; do :; done\nexec cat \"$f\"\n", true);
  const std::string output = (fs::path(scratch.Folder) / "out.res").string();
  TCompileResult result;
  bool timedOut = false;
  const int status = RunProcess({compiler, "--preprocessor=" + passOn, "-c", std::to_string(ResourceCodePage(charset)),
                                 "-O", "res", "-i", input, "-o", output},
                                timeoutSeconds, result.Output, timedOut);
  // Messages name the prepared copy; the user knows the script.
  for (size_t at = result.Output.find(input); at != std::string::npos; at = result.Output.find(input, at))
    result.Output.replace(at, input.size(), unit.Path);
  if (timedOut) throw EToolError(rtl::Format(strings::_SResStrCompilerTimeout, compiler, timeoutSeconds));
  if (status == 127 && !fs::exists(output)) throw EToolError(rtl::Format(strings::_SResStrNoCompiler, compiler));
  if (status != 0 || !fs::exists(output)) {
    std::string message = result.Output;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    for (char& c : message)
      if (c == '\n') c = ';';
    throw EToolError(rtl::Format(strings::_SResStrCompileFailed, unit.Path, message));
  }
  result.ResFile = module::CompanionFile(unit.Path, ".RES");
  try {
    host::WriteFileAtomic(result.ResFile, host::ReadFileBytes(output));
  } catch (const host::EProjectError& e) {
    throw EToolError(e.Message());
  }
  return result;
}

}  // namespace quintrel::tools
