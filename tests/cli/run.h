// Runs the quintrel command in a scratch folder and captures what it prints.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace quintrel::cli::test {

struct TRunResult {
  int code = -1;
  std::string out;
  std::string err;
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

  static std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
  }

  std::filesystem::path dir_;
};

}  // namespace quintrel::cli::test
