// Runs the quintrel command in a scratch folder and captures what it prints.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace quintrel::cli {
using ::testing::HasSubstr;
using ::testing::StartsWith;

// Every field `expected` names has that value in `actual`, which may have more.
inline void ExpectFields(const nlohmann::json& actual, const nlohmann::json& expected) {
  for (const auto& [key, value] : expected.items())
    EXPECT_EQ(actual.contains(key) ? actual.at(key) : nlohmann::json(), value) << key;
}
}  // namespace quintrel::cli

namespace quintrel::cli::test {

inline std::string Slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

struct TRunResult {
  int code = -1;
  std::string out;
  std::string err;
  std::string command;  // the arguments as typed, for the messages of a failed check
};

// Points QUINTREL_CONFIG at a registry file of the test's own while it lives, so that no
// command a test runs reads or registers the modules of the machine; the variable is as it
// was afterwards.
class TScratchRegistry {
public:
  explicit TScratchRegistry(const std::string& file) {
    if (const char* saved = std::getenv("QUINTREL_CONFIG")) saved_ = saved;
    setenv("QUINTREL_CONFIG", file.c_str(), 1);
  }
  ~TScratchRegistry() {
    if (saved_) {
      setenv("QUINTREL_CONFIG", saved_->c_str(), 1);
    } else {
      unsetenv("QUINTREL_CONFIG");
    }
  }
  TScratchRegistry(const TScratchRegistry&) = delete;
  TScratchRegistry& operator=(const TScratchRegistry&) = delete;

private:
  std::optional<std::string> saved_;
};

class CliFixture : public ::testing::Test {
protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("quintrel-cli-" + std::string(info->name()) + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  void Write(const std::string& name, const std::string& data) const {
    std::filesystem::create_directories(std::filesystem::path(Path(name)).parent_path());
    std::ofstream(Path(name), std::ios::binary) << data;
  }
  // The source tree.
  static std::filesystem::path Root() {
    return std::filesystem::absolute(std::filesystem::path(__FILE__)).parent_path().parent_path().parent_path();
  }
  // Commands that register modules register them in the test's own registry.
  void UseOwnRegistry() { registry_.emplace(Path("registry.ini")); }

  static std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
  }

  // With `seconds`, the command is killed after that long (and the code is not 0): a
  // command that waits where it must not fails its test instead of hanging it.
  TRunResult Run(const std::vector<std::string>& args, const std::string& input = "", int seconds = 0) const {
    std::string command = (seconds > 0 ? "timeout -s KILL " + std::to_string(seconds) + " " : "") + Quote(QUINTREL_CLI);
    for (const auto& a : args) command += " " + Quote(a);
    // Each run has files of its own, so that tests may run commands from several threads.
    static std::atomic<int> runs{0};
    const std::string n = std::to_string(++runs);
    std::string in = (dir_ / (".stdin" + n)).string(), out = (dir_ / (".stdout" + n)).string(),
                err = (dir_ / (".stderr" + n)).string();
    std::ofstream(in, std::ios::binary) << input;
    command += " <" + Quote(in) + " >" + Quote(out) + " 2>" + Quote(err);
    int status = std::system(command.c_str());
    TRunResult r;
    for (const auto& a : args) r.command += (r.command.empty() ? "" : " ") + a;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = Slurp(out);
    r.err = Slurp(err);
    for (const std::string& file : {in, out, err}) std::filesystem::remove(file);
    // Whatever a command says on stderr, a script tells its lines from other programs' by
    // the program's name; a usage error adds one line with the way to the help.
    if (r.code >= 0)
      for (size_t at = 0; at < r.err.size(); at = r.err.find('\n', at) + 1) {
        const bool named = r.err.compare(at, 10, "quintrel: ") == 0 || r.err.compare(at, 14, "Run 'quintrel ") == 0;
        EXPECT_TRUE(named) << "stderr line without the program's name: " << r.err.substr(at, r.err.find('\n', at) - at);
        if (r.err.find('\n', at) == std::string::npos) break;
      }
    return r;
  }

  // A command that has to succeed: what it printed on stdout.
  static std::string Ok(const TRunResult& r) {
    EXPECT_EQ(r.code, 0) << r.command << ": " << r.err;
    return r.out;
  }
  std::string Ok(const std::vector<std::string>& args, const std::string& input = "") const {
    return Ok(Run(args, input));
  }
  // The same, for a closer look at what it printed.
  static TRunResult Succeeds(TRunResult r) {
    Ok(r);
    return r;
  }
  // A command that has to fail with `code` and print nothing on stdout: its error lines.
  static std::string Refused(const TRunResult& r, int code = 1) {
    EXPECT_EQ(r.code, code) << r.command << ": " << r.err;
    EXPECT_EQ(r.out, "") << r.command;
    return r.err;
  }
  std::string Refused(const std::vector<std::string>& args, int code = 1) const { return Refused(Run(args), code); }

  static std::string Slurp(const std::string& path) { return test::Slurp(path); }

  std::filesystem::path dir_;
  std::optional<TScratchRegistry> registry_;
};

}  // namespace quintrel::cli::test
