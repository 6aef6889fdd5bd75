// quintrel completion bash, sourced into a real bash and asked what follows the words
// typed so far, as bash asks it when the user presses Tab.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "tests/cli/run.h"

namespace quintrel::cli {
namespace {

class Completion : public test::CliFixture {
protected:
  void SetUp() override {
    CliFixture::SetUp();
    const auto r = Run({"completion", "bash"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::ofstream(Path("quintrel.bash")) << r.out;
    std::ofstream(Path("Sample.ZOD")) << "";
  }
  // The words bash offers after `line` (the last word being completed), sorted.
  std::set<std::string> Offered(const std::string& line) {
    std::ofstream(Path("ask.sh")) << "source " << Quote(Path("quintrel.bash")) << "\ncd " << Quote(dir_.string())
                                  << "\nCOMP_LINE=" << Quote(line) << "\nread -ra COMP_WORDS <<< \"$COMP_LINE\"\n"
                                  << "[[ $COMP_LINE == *' ' ]] && COMP_WORDS+=('')\n"
                                  << "COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n_quintrel\n"
                                  << "printf '%s\\n' \"${COMPREPLY[@]}\" > " << Quote(Path("offered.txt")) << "\n";
    EXPECT_EQ(std::system(("bash " + Quote(Path("ask.sh"))).c_str()), 0);
    std::set<std::string> words;
    std::istringstream in(Slurp(Path("offered.txt")));
    for (std::string word; std::getline(in, word);)
      if (!word.empty()) words.insert(word);
    return words;
  }
};

TEST_F(Completion, OffersTheCommandsAndOptionsOfTheWordsTyped) {
  EXPECT_EQ(Offered("quintrel ide in"), std::set<std::string>{"invoke"});
  EXPECT_EQ(Offered("quintrel db in"), std::set<std::string>{"info"});
  EXPECT_EQ(Offered("quintrel ide "), (std::set<std::string>{"invoke", "menu", "notify", "replay"}));
  // Options and their values on the way do not lose the command.
  EXPECT_EQ(Offered("quintrel export --base en --ta"), std::set<std::string>{"--target"});
  EXPECT_EQ(Offered("quintrel --version"), std::set<std::string>{"--version"});
  // Where a command takes files, the folder's files are offered too.
  EXPECT_TRUE(Offered("quintrel lang list ").contains("Sample.ZOD"));
  EXPECT_FALSE(Offered("quintrel lang ").contains("Sample.ZOD"));
}

// Every command `quintrel help` lists can be completed.
TEST_F(Completion, KnowsEveryCommandOfTheHelp) {
  const std::set<std::string> offered = Offered("quintrel ");
  std::istringstream help(Run({"--help"}).out);
  bool inCommands = false;
  size_t seen = 0;
  for (std::string line; std::getline(help, line);) {
    if (line.starts_with("Subcommands:")) inCommands = true;
    else if (inCommands && line.starts_with("  ")) {
      const std::string name = line.substr(2, line.find(' ', 2) - 2);
      EXPECT_TRUE(offered.contains(name)) << name;
      ++seen;
    } else if (inCommands && !line.empty()) {
      inCommands = false;
    }
  }
  EXPECT_GT(seen, 20u);
}

}  // namespace
}  // namespace quintrel::cli
