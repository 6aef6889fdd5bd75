// quintrel completion bash and zsh, each loaded into a real shell and asked what follows the
// words typed so far, as the shell asks it when the user presses Tab.
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
    for (const char* shell : {"bash", "zsh"}) {
      const auto r = Succeeds(Run({"completion", shell}));
      std::ofstream(Path(std::string("quintrel.") + shell)) << r.out;
    }
    std::ofstream(Path("Sample.ZOD")) << "";
  }
  // The words `shell` offers after `line` (the last word being completed), sorted. zsh's
  // completion builtins exist only in its line editor: here compadd and _files print what
  // they are given that starts with the word typed, as the editor would offer it.
  std::set<std::string> Offered(const std::string& shell, const std::string& line) {
    std::ofstream ask(Path("ask.sh"));
    ask << "cd " << Quote(dir_.string()) << "\nCOMP_LINE=" << Quote(line) << "\n";
    if (shell == "bash") {
      ask << "source " << Quote(Path("quintrel.bash")) << "\nread -ra COMP_WORDS <<< \"$COMP_LINE\"\n"
          << "[[ $COMP_LINE == *' ' ]] && COMP_WORDS+=('')\n"
          << "COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n_quintrel\n"
          << "printf '%s\\n' \"${COMPREPLY[@]}\" > " << Quote(Path("offered.txt")) << "\n";
    } else {
      ask << "compadd() { [[ $1 == -- ]] && shift; local w; for w in \"$@\"; do [[ $w == \"$PREFIX\"* ]] && print -r -- "
             "$w; done; }\n"
          << "_files() { local f; for f in \"$PREFIX\"*(N); do print -r -- $f; done; }\n"
          << "words=(${(z)COMP_LINE}); [[ $COMP_LINE == *' ' ]] && words+=('')\n"
          << "CURRENT=${#words}; PREFIX=${words[CURRENT]}\n"
          << "source " << Quote(Path("quintrel.zsh")) << " > " << Quote(Path("offered.txt")) << "\ntrue\n";
    }
    ask.close();
    EXPECT_EQ(std::system((shell + " " + Quote(Path("ask.sh"))).c_str()), 0) << shell;
    std::set<std::string> words;
    std::istringstream in(Slurp(Path("offered.txt")));
    for (std::string word; std::getline(in, word);)
      if (!word.empty()) words.insert(word);
    return words;
  }
};

TEST_F(Completion, OffersTheCommandsAndOptionsOfTheWordsTyped) {
  for (const std::string shell : {"bash", "zsh"}) {
    SCOPED_TRACE(shell);
    EXPECT_EQ(Offered(shell, "quintrel ide in"), std::set<std::string>{"invoke"});
    EXPECT_EQ(Offered(shell, "quintrel db in"), std::set<std::string>{"info"});
    EXPECT_EQ(Offered(shell, "quintrel ide "), (std::set<std::string>{"invoke", "menu", "notify", "replay"}));
    // Options and their values on the way do not lose the command.
    EXPECT_EQ(Offered(shell, "quintrel export --base en --ta"), std::set<std::string>{"--target"});
    EXPECT_EQ(Offered(shell, "quintrel --version"), std::set<std::string>{"--version"});
    EXPECT_EQ(Offered(shell, "quintrel completion "), (std::set<std::string>{"bash", "zsh"}));
    // Where a command takes files, the folder's files are offered too.
    EXPECT_TRUE(Offered(shell, "quintrel lang list ").contains("Sample.ZOD"));
    EXPECT_FALSE(Offered(shell, "quintrel lang ").contains("Sample.ZOD"));
  }
}

// Every command `quintrel help` lists can be completed.
TEST_F(Completion, KnowsEveryCommandOfTheHelp) {
  const std::set<std::string> offered = Offered("bash", "quintrel ");
  EXPECT_EQ(Offered("zsh", "quintrel "), offered);
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
