// The user guide (docs/guide/) as its reader follows it: every ```console block of its
// numbered pages is run, page by page and in order, in one scratch home folder with the
// build installed under it, and what each command prints must be what the page shows.
// The rules (what runs where, what is masked, how output is shortened) are written down in
// docs/guide/README.md, for the people who edit the guide; keep the two in step.
//
// QUINTREL_GUIDE_UPDATE=1 rewrites the output of every command whose output differs with
// what it printed (elisions included), so that a changed command's new output can be read
// in the page's diff and shortened again by hand.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/run.h"

namespace quintrel::cli {
namespace {

namespace fs = std::filesystem;
using test::CliFixture;

// A command of a page and the output lines shown under it; `first` and `last` are the
// page's lines of that output (0-based, `last` one past), for rewriting it.
struct TStep {
  std::string command;
  std::vector<std::string> expected;
  size_t line = 0;
  size_t first = 0, last = 0;
};

constexpr std::string_view kElision = "...";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The steps of a page's ```console blocks: `$ ` starts a command (a line ending in `\`
// continues on the next), every other line of the block up to the next command is its
// output. A block that is never closed ends the page.
std::vector<TStep> ReadSteps(const std::vector<std::string>& page) {
  std::vector<TStep> steps;
  bool inConsole = false, inOther = false, continued = false;
  for (size_t i = 0; i < page.size(); ++i) {
    const std::string& line = page[i];
    if (!inConsole && !inOther) {
      if (line.starts_with("```")) (line == "```console" ? inConsole : inOther) = true;
      continue;
    }
    if (line.starts_with("```")) {
      inConsole = inOther = continued = false;
      continue;
    }
    if (inOther) continue;
    if (continued) {
      steps.back().command += "\n" + line;
      continued = line.ends_with("\\");
      steps.back().first = steps.back().last = i + 1;
    } else if (line.starts_with("$ ")) {
      steps.push_back({line.substr(2), {}, i + 1, i + 1, i + 1});
      continued = line.ends_with("\\");
    } else if (!steps.empty()) {
      steps.back().expected.push_back(line);
      steps.back().last = i + 1;
    }
  }
  for (TStep& step : steps)
    while (!step.expected.empty() && step.expected.back().empty()) step.expected.pop_back();
  return steps;
}

// Replaces the run of characters of `kind` after each `prefix` with `mask`.
void MaskAfter(std::string& text, std::string_view prefix, const std::string& mask, int (*kind)(int)) {
  for (size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at)) {
    at += prefix.size();
    size_t end = at;
    while (end < text.size() && kind(static_cast<unsigned char>(text[end]))) ++end;
    if (end > at) text.replace(at, end - at, mask);
  }
}

// Masks what differs from run to run, the same way on the page and in the output: the
// editor's port and token, the build's commit, and dates with times (2026-12-07 19:49:51).
std::string Masked(std::string line) {
  MaskAfter(line, "127.0.0.1:", "PORT", isdigit);
  MaskAfter(line, "token=", "TOKEN", isxdigit);
  MaskAfter(line, "(commit ", "COMMIT", isxdigit);
  const std::string shape = "dddd-dd-dd dd:dd";
  for (size_t at = 0; at + shape.size() <= line.size(); ++at) {
    bool date = true;
    for (size_t k = 0; k < shape.size() && date; ++k) {
      const char c = line[at + k];
      date = shape[k] == 'd' ? std::isdigit(static_cast<unsigned char>(c)) != 0 : (c == shape[k] || (k == 10 && c == 'T'));
    }
    if (!date) continue;
    size_t end = at + shape.size();
    while (end < line.size() && (std::isdigit(static_cast<unsigned char>(line[end])) || line[end] == ':' || line[end] == '.'))
      ++end;
    line.replace(at, end - at, "TIME");
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

// Whether the output matches what the page shows: line by line after masking, where a
// line "..." stands for any number of lines (the next shown line is looked for from there
// on, so a match never backtracks).
bool Matches(const std::vector<std::string>& expected, const std::vector<std::string>& actual) {
  size_t a = 0;
  for (size_t e = 0; e < expected.size(); ++e) {
    if (expected[e] == kElision) {
      if (e + 1 == expected.size()) return true;
      const std::string next = Masked(expected[e + 1]);
      while (a < actual.size() && Masked(actual[a]) != next) ++a;
      if (a == actual.size()) return false;
      continue;
    }
    if (a == actual.size() || Masked(actual[a]) != Masked(expected[e])) return false;
    ++a;
  }
  return a == actual.size();
}

class Guide : public CliFixture {
protected:
  // The numbered pages of the guide, in the order of their names.
  static std::vector<fs::path> Pages() {
    std::vector<fs::path> pages;
    for (const auto& entry : fs::directory_iterator(Root() / "docs" / "guide")) {
      const std::string name = entry.path().filename().string();
      if (entry.is_regular_file() && name.ends_with(".md") && std::isdigit(static_cast<unsigned char>(name[0])))
        pages.push_back(entry.path());
    }
    std::sort(pages.begin(), pages.end());
    return pages;
  }

  // Runs a command as the reader's shell would, in `cwd` with the reader's environment;
  // stdout and stderr go to one file as they go to one terminal. A status other than 0 is
  // shown as the page shows it, on a line of its own.
  std::vector<std::string> Execute(const std::string& command, const fs::path& cwd) const {
    const std::string script = "cd " + Quote(cwd.string()) + " && HOME=" + Quote(home_.string()) + " PATH=" +
                               Quote((home_ / ".local" / "bin").string()) + ":\"$PATH\" QUINTREL_CONFIG=" +
                               Quote(Path("registry.ini")) + " bash -c " + Quote(command) + " >" +
                               Quote(Path(".out")) + " 2>&1 </dev/null";
    const int status = std::system(("timeout -s KILL 120 bash -c " + Quote(script)).c_str());
    std::string out = Slurp(Path(".out"));
    for (size_t at = out.find(home_.string()); at != std::string::npos; at = out.find(home_.string(), at))
      out.replace(at, home_.string().size(), "/home/you");
    std::vector<std::string> lines = Lines(out);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code != 0) lines.push_back("(exit status " + std::to_string(code) + ")");
    return lines;
  }

  void SetUp() override {
    CliFixture::SetUp();
    // The reader's home: the source tree as ~/quintrel with its build folder, and the build
    // installed under ~/.local as `make install PREFIX=~/.local` installs it, its bin on the
    // PATH.
    home_ = dir_ / "home";
    const fs::path build = fs::absolute(fs::path(QUINTREL_CLI)).parent_path();
    fs::create_directories(home_ / "quintrel" / "build");
    for (const char* name : {"examples", "docs", "scripts"}) fs::create_directory_symlink(Root() / name, home_ / "quintrel" / name);
    fs::create_directory_symlink(build, home_ / "quintrel" / "build" / "release");
    ASSERT_EQ(std::system(("cmake --install " + Quote(build.string()) + " --prefix " + Quote((home_ / ".local").string()) +
                           " --strip >" + Quote(Path("install.log")) + " 2>&1")
                              .c_str()),
              0)
        << Slurp(Path("install.log"));
  }

  fs::path home_;
};

TEST(GuideReader, StepsTheirOutputAndTheRules) {
  const std::vector<std::string> page = Lines(
      "Text\n```console\n$ quintrel a \\\n  --b\nout 1\n\n$ quintrel c\n```\n```sh\n$ not a step\n```\n"
      "```console\n$ quintrel d\n...\nlast\n\n");
  const std::vector<TStep> steps = ReadSteps(page);
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_EQ(steps[0].command, "quintrel a \\\n  --b");
  EXPECT_EQ(steps[0].expected, (std::vector<std::string>{"out 1"}));
  EXPECT_EQ(steps[0].line, 3u);
  EXPECT_TRUE(steps[1].expected.empty());
  EXPECT_EQ(steps[2].expected, (std::vector<std::string>{"...", "last"}));

  // Elisions stand for any lines, the other lines must all be there, in order.
  EXPECT_TRUE(Matches({"a", "...", "d"}, {"a", "b", "c", "d"}));
  EXPECT_TRUE(Matches({"a", "..."}, {"a"}));
  EXPECT_FALSE(Matches({"a", "...", "d"}, {"a", "b", "c"}));
  EXPECT_FALSE(Matches({"a"}, {"a", "b"}));
  EXPECT_FALSE(Matches({"a", "b"}, {"b", "a"}));
  // Volatile parts compare masked; the rest of the line still counts.
  EXPECT_TRUE(Matches({"at http://127.0.0.1:41234/?token=00ff (Ctrl-C stops it)"},
                      {"at http://127.0.0.1:5/?token=abcdef0123 (Ctrl-C stops it)"}));
  EXPECT_FALSE(Matches({"at http://127.0.0.1:41234/?token=00ff"}, {"at http://127.0.0.2:41234/?token=00ff"}));
  EXPECT_TRUE(Matches({"quintrel 0.1.0 (commit 810ef8abb4d2)"}, {"quintrel 0.1.0 (commit 0123456789ab)"}));
  EXPECT_FALSE(Matches({"quintrel 0.1.0 (commit 810ef8abb4d2)"}, {"quintrel 0.2.0 (commit 810ef8abb4d2)"}));
  EXPECT_TRUE(Matches({"created 2026-12-07 19:49:51 by"}, {"created 2027-01-02T03:04:05.25 by  "}));
}

TEST_F(Guide, EveryCommandPrintsWhatThePageShows) {
  const std::vector<fs::path> pages = Pages();
  ASSERT_GE(pages.size(), 5u) << "docs/guide/ holds the guide's numbered pages";
  const bool update = std::getenv("QUINTREL_GUIDE_UPDATE") != nullptr;
  fs::path cwd = home_;
  size_t commands = 0;
  for (const fs::path& file : pages) {
    std::vector<std::string> page = Lines(Slurp(file.string()));
    const std::vector<TStep> steps = ReadSteps(page);
    std::vector<std::pair<const TStep*, std::vector<std::string>>> rewrites;
    for (const TStep& step : steps) {
      ++commands;
      const std::string where = file.filename().string() + ":" + std::to_string(step.line) + ": $ " + step.command;
      if (step.command.starts_with("cd ")) {
        // The shell's folder carries over to the next command, as in a terminal.
        const std::vector<std::string> out = Execute(step.command + " && pwd", cwd);
        ASSERT_EQ(out.size(), 1u) << where;
        cwd = out[0].starts_with("/home/you") ? home_.string() + out[0].substr(9) : out[0];
        continue;
      }
      const std::vector<std::string> actual = Execute(step.command, cwd);
      if (Matches(step.expected, actual)) continue;
      std::string shown;
      for (const std::string& line : actual) shown += line + "\n";
      ADD_FAILURE() << where << "\nprints:\n" << shown.substr(0, 6000);
      if (update) rewrites.emplace_back(&step, actual);
    }
    if (rewrites.empty()) continue;
    // From the last step up, so that the earlier steps' line numbers still hold.
    for (auto it = rewrites.rbegin(); it != rewrites.rend(); ++it) {
      const TStep& step = *it->first;
      size_t last = step.last;
      while (last > step.first && page[last - 1].empty()) --last;
      page.erase(page.begin() + static_cast<std::ptrdiff_t>(step.first), page.begin() + static_cast<std::ptrdiff_t>(last));
      page.insert(page.begin() + static_cast<std::ptrdiff_t>(step.first), it->second.begin(), it->second.end());
    }
    std::ofstream out(file, std::ios::binary);
    for (const std::string& line : page) out << line << "\n";
  }
  EXPECT_GE(commands, 20u);
}

}  // namespace
}  // namespace quintrel::cli
