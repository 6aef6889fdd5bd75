// docs/getting-started.md as a new user follows it: every command of its ```sh blocks runs,
// in order, in a copy of the bundled example project, and succeeds; where a ```text block
// follows a ```sh block, each of its lines appears in what the block's last command printed.
#include <gtest/gtest.h>

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

struct TDocBlock {
  std::vector<std::string> commands;  // lines of a ```sh block, continuations joined
  std::vector<std::string> expected;  // lines of the ```text block right after it
  size_t line = 0;                    // where the block starts in the document
};

// The fenced blocks of a Markdown page. Bounded: the page, its lines and its blocks are
// small, and a block that is never closed ends the page.
std::vector<TDocBlock> ReadBlocks(const std::string& page) {
  constexpr size_t kMaxBlocks = 200;
  std::vector<TDocBlock> blocks;
  std::istringstream in(page);
  std::string line, fence;
  bool afterSh = false;  // only blank lines since the end of a ```sh block
  size_t number = 0;
  while (std::getline(in, line) && blocks.size() < kMaxBlocks) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (fence.empty()) {
      if (line.starts_with("```")) {
        fence = line.substr(3);
        if (fence == "sh") blocks.push_back({{}, {}, number});
        else if (!(fence == "text" && afterSh)) afterSh = false;
        if (fence.empty()) fence = "-";
      } else if (!line.empty()) {
        afterSh = false;
      }
      continue;
    }
    if (line == "```") {
      afterSh = fence == "sh";
      fence.clear();
      continue;
    }
    if (fence == "sh") {
      std::vector<std::string>& commands = blocks.back().commands;
      const bool continued = !commands.empty() && commands.back().ends_with("\\");
      if (continued) commands.back().pop_back();
      if (continued) commands.back() += line;
      else if (!line.empty() && line[0] != '#') commands.push_back(line);
    } else if (fence == "text" && afterSh && !blocks.empty()) {
      if (!line.empty()) blocks.back().expected.push_back(line);
    }
  }
  return blocks;
}

class GettingStarted : public CliFixture {};

TEST_F(GettingStarted, TheBlockReaderKeepsCommandsAndTheirOutput) {
  const auto blocks = ReadBlocks(
      "Text\n```sh\n# a comment\nquintrel a \\\n  --b\n\nquintrel c\n```\n\n```text\nout 1\nout 2\n```\n"
      "```text\nnot after sh\n```\n```sh\nquintrel d\n");
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0].commands, (std::vector<std::string>{"quintrel a   --b", "quintrel c"}));
  EXPECT_EQ(blocks[0].expected, (std::vector<std::string>{"out 1", "out 2"}));
  EXPECT_EQ(blocks[1].commands, (std::vector<std::string>{"quintrel d"}));
  EXPECT_TRUE(blocks[1].expected.empty());
}

TEST_F(GettingStarted, EveryCommandOfThePageRunsOnTheExampleProject) {
  const fs::path root = Root();
  std::ifstream file(root / "docs" / "getting-started.md", std::ios::binary);
  ASSERT_TRUE(file) << "docs/getting-started.md";
  std::string page(256 * 1024, '\0');
  file.read(page.data(), static_cast<std::streamsize>(page.size()));
  page.resize(static_cast<size_t>(file.gcount()));
  const std::vector<TDocBlock> blocks = ReadBlocks(page);
  ASSERT_GE(blocks.size(), 5u) << "the page shows its steps as ```sh blocks";

  // The user's project folder, and `quintrel` on the PATH as after an installation.
  const fs::path project = dir_ / "Sample";
  fs::copy(root / "examples" / "project", project, fs::copy_options::recursive);
  fs::create_directories(dir_ / "bin");
  fs::create_symlink(QUINTREL_CLI, dir_ / "bin" / "quintrel");
  const std::string environment = "PATH=" + Quote((dir_ / "bin").string()) + ":\"$PATH\" QUINTREL_CONFIG=" +
                                  Quote(Path("registry.ini")) + " ";

  size_t commands = 0;
  for (const TDocBlock& block : blocks) {
    std::string out;
    for (const std::string& command : block.commands) {
      ++commands;
      const std::string script = "cd " + Quote(project.string()) + " && " + environment + "sh -c " +
                                 Quote(command) + " >" + Quote(Path(".out")) + " 2>" + Quote(Path(".err"));
      const int status = std::system(("timeout -s KILL 60 sh -c " + Quote(script)).c_str());
      out = Slurp(Path(".out"));
      const std::string err = Slurp(Path(".err"));
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
          << "line " << block.line << ": " << command << "\n" << out.substr(0, 2000) << err.substr(0, 2000);
      EXPECT_EQ(err.find("warning"), std::string::npos) << "line " << block.line << ": " << command << "\n" << err;
    }
    for (const std::string& expected : block.expected)
      EXPECT_NE(out.find(expected), std::string::npos)
          << "line " << block.line << ": the output of " << block.commands.back() << " lacks\n"
          << expected << "\nit begins:\n" << out.substr(0, 2000);
  }
  EXPECT_GE(commands, 8u);
}

}  // namespace
}  // namespace quintrel::cli
