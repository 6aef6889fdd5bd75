// The build as a user gets it: installed into a prefix (stripped, as the package is), the
// program runs the example job from there, an application builds against the installed
// translator both through find_package and through pkg-config, and the man pages say what
// --help says.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>

#include "tests/cli/run.h"

namespace quintrel::cli {
namespace {

namespace fs = std::filesystem;

const fs::path kBuild = fs::path(QUINTREL_CLI).parent_path();
const fs::path kRoot = fs::path(__FILE__).parent_path().parent_path().parent_path();

class Install : public test::CliFixture {
protected:
  // Runs a shell command with its output in log.txt; the exit code.
  int Shell(const std::string& command) {
    return std::system(("{ " + command + "; } >" + Quote(Path("log.txt")) + " 2>&1").c_str()) == 0 ? 0 : 1;
  }
  std::string Log() { return Slurp(Path("log.txt")); }
  static std::string Launcher() {
    return std::system("command -v ccache >/dev/null") == 0 ? " -DCMAKE_CXX_COMPILER_LAUNCHER=ccache" : "";
  }
};

TEST_F(Install, AnApplicationLinksTheInstalledTranslatorAndTheExampleJobRuns) {
  const std::string prefix = Path("prefix");
  ASSERT_EQ(Shell("cmake --install " + Quote(kBuild.string()) + " --prefix " + Quote(prefix) + " --strip"), 0) << Log();
  ASSERT_EQ(Shell(Quote(prefix + "/bin/quintrel") + " --version"), 0) << Log();
  EXPECT_EQ(Log(), Run({"--version"}).out);
  EXPECT_EQ(Slurp(prefix + "/share/bash-completion/completions/quintrel"), Run({"completion", "bash"}).out);
  EXPECT_EQ(Slurp(prefix + "/share/zsh/vendor-completions/_quintrel"), Run({"completion", "zsh"}).out);
  // The man pages compressed as Debian wants them: without a name or time stamp, so that two
  // builds of one source give the same bytes.
  const std::string page = prefix + "/share/man/man1/quintrel-db.1.gz";
  const std::string gz = Slurp(page);
  ASSERT_GE(gz.size(), 10u);
  EXPECT_EQ(gz[3] & 0x08, 0) << "a file name in the gzip header";
  EXPECT_EQ(gz.substr(4, 4), std::string(4, '\0')) << "a time stamp in the gzip header";
  ASSERT_EQ(Shell("gzip -dc " + Quote(page)), 0) << Log();
  EXPECT_EQ(Log(), Run({"help", "--man", "db"}).out);
  EXPECT_FALSE(fs::exists(prefix + "/share/man/man1/quintrel-db.1"));
  // The documentation, with the guide's pictures where its pages link to them.
  const fs::path doc = prefix + "/share/doc/quintrel";
  for (const char* file : {"usage.md", "copyright", "guide/README.md", "guide/08-preview.md"})
    EXPECT_TRUE(fs::exists(doc / file)) << file;
  for (const auto& page : fs::directory_iterator(doc / "guide")) {
    const std::string text = Slurp(page.path().string());
    for (size_t at = text.find("](../images/"); at != std::string::npos; at = text.find("](../images/", at + 1)) {
      const std::string picture = text.substr(at + 2, text.find(')', at) - at - 2);
      EXPECT_TRUE(fs::is_regular_file(page.path().parent_path() / picture)) << page.path() << ": " << picture;
    }
  }
  // The libraries in Debian's multiarch folder, as under /usr.
  ASSERT_EQ(Shell("c++ -print-multiarch"), 0) << Log();
  const std::string libdir = prefix + "/lib/" + Log().substr(0, Log().find('\n'));
  // Stripped: the libraries keep their symbols but not the debug build's debug information.
  ASSERT_EQ(Shell("objdump -h " + Quote(libdir + "/libquintrel_rtl.a")), 0) << Log();
  EXPECT_EQ(Log().find(".debug_info"), std::string::npos);

  // find_package(Quintrel): examples/app on its own, built beside the link to the installed
  // program, where the example job looks for the application it ships the module to.
  ASSERT_EQ(Shell("cmake -S " + Quote((kRoot / "examples/app").string()) + " -B " + Quote(Path("app")) +
                  " -G Ninja -DCMAKE_PREFIX_PATH=" + Quote(prefix) + Launcher() + " && cmake --build " +
                  Quote(Path("app")) + " && mkdir -p " + Quote(Path("examples")) + " && cp " +
                  Quote(Path("app/Sample")) + " " + Quote(Path("examples/Sample"))),
            0)
      << Log();
  fs::create_symlink(prefix + "/bin/quintrel", Path("quintrel"));
  ASSERT_EQ(Shell("cd " + Quote(kRoot.string()) + " && scripts/run-example " + Quote(Path("quintrel"))), 0) << Log();
  const std::string job = Log();
  EXPECT_THAT(job, HasSubstr("import                 the bundled translations by name: de 59, ru 59, he 59 texts"));
  EXPECT_THAT(job, HasSubstr("db check, ship         no problems found"));
  // The application built against the package switches itself with the module shipped.
  const std::string app = job.substr(std::min(job.find("(the example application switching"), job.size()));
  EXPECT_NE(app.find("Beispiel-Adressbuch"), std::string::npos) << job;
  EXPECT_EQ(job.find("quintrel: "), std::string::npos) << job;

  // pkg-config: the same source in one compiler line, run with that module beside it.
  const std::string pc = "PKG_CONFIG_PATH=" + Quote(libdir + "/pkgconfig") + " pkg-config --cflags --libs quintrel";
  ASSERT_EQ(Shell("mkdir -p " + Quote(Path("pc")) + " && c++ -std=c++20 -DQUINTREL_EXAMPLE_PROJECT='\"" +
                  (kRoot / "examples/project").string() + "\"' " + Quote((kRoot / "examples/app/main.cpp").string()) +
                  " -o " + Quote(Path("pc/Sample")) + " $(" + pc + ") && cp " + Quote(Path("examples/Sample.ZOD")) +
                  " " + Quote(Path("pc/Sample.ZOD")) + " && " + Quote(Path("pc/Sample")) + " de"),
            0)
      << Log();
  EXPECT_THAT(Log(), HasSubstr("Beispiel-Adressbuch"));
}

// Every word of a text, one blank apart: the man page wraps and indents where --help does not.
std::string Words(const std::string& text) {
  std::istringstream in(text);
  std::string words;
  for (std::string word; in >> word;) words += (words.empty() ? "" : " ") + word;
  return words;
}

// The option lines of a command's --help (positionals and options, each with the lines its
// description continues on), but --help itself.
std::vector<std::string> OptionLines(const std::string& help) {
  std::vector<std::string> lines;
  std::istringstream in(help);
  bool inOptions = false;
  for (std::string line; std::getline(in, line);) {
    if (line == "Options:" || line == "Positionals:") {
      inOptions = true;
    } else if (line.empty() || !line.starts_with(" ")) {
      inOptions = false;
    } else if (inOptions && line.starts_with("  ") && line[2] != ' ') {
      lines.push_back(line);
    } else if (inOptions && !lines.empty()) {
      lines.back() += " " + line;
    }
  }
  std::erase_if(lines, [](const std::string& l) { return l.starts_with("  -h,--help "); });
  return lines;
}

class ManPages : public test::CliFixture {};

// The pages the build wrote, one for the program and one for each command of its list, show
// every option of every command as --help prints it.
TEST_F(ManPages, EveryCommandHasAPageThatSaysWhatItsHelpSays) {
  const auto list = nlohmann::json::parse(Run({"help", "--list"}).out);
  std::set<std::string> expected{"quintrel.1"};
  for (const auto& entry : list) {
    const std::string command = entry["command"];
    expected.insert("quintrel-" + command.substr(0, command.find(' ')) + ".1");
  }
  std::set<std::string> written;
  for (const auto& file : fs::directory_iterator(kBuild / "man")) written.insert(file.path().filename().string());
  ASSERT_EQ(written, expected);

  std::map<std::string, std::string> rendered;
  std::set<std::string> compared;
  size_t checked = 0;
  for (const auto& entry : list) {
    const std::string command = entry["command"];
    const std::string page = "quintrel-" + command.substr(0, command.find(' ')) + ".1";
    if (!rendered.contains(page)) {
      const std::string out = Path("page.txt");
      ASSERT_EQ(std::system(("LC_ALL=C.UTF-8 MANWIDTH=100 man -l " + Quote((kBuild / "man" / page).string()) + " >" + Quote(out) +
                             " 2>&1").c_str()),
                0);
      rendered[page] = Words(Slurp(out));
    }
    // Every option of every command is on its page.
    for (const auto& option : entry["options"]) {
      const std::string name = option["name"];
      EXPECT_NE(rendered[page].find(name), std::string::npos) << page << " lacks " << command << " " << name;
    }
    // And each page shows its first command's help line by line (a process per command would
    // take minutes on the sanitizer build).
    if (!compared.insert(page).second) continue;
    std::vector<std::string> words;
    std::istringstream in(command);
    for (std::string word; in >> word;) words.push_back(word);
    words.push_back("--help");
    const std::string help = Run(words).out;
    // The command's description, then each of its options as --help shows them.
    EXPECT_NE(rendered[page].find(Words(help.substr(0, help.find('\n')))), std::string::npos) << command;
    for (const std::string& line : OptionLines(help)) {
      EXPECT_NE(rendered[page].find(Words(line)), std::string::npos) << page << " lacks: " << Words(line);
      ++checked;
    }
  }
  EXPECT_GT(checked, 100u);
  // quintrel(1) names every command's page and what every command shares.
  const std::string program = Words(Run({"help", "--man"}).out);
  for (const char* text : {"quintrel\\-db\\fR(1)", "QUINTREL_CONFIG", ".SH \"EXIT STATUS\""})
    EXPECT_NE(program.find(text), std::string::npos) << text;
}

}  // namespace
}  // namespace quintrel::cli
