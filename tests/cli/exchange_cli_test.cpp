// quintrel export, import, stats and autotranslate on a copy of the example project and the
// module its script builds.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>

#include "tests/cli/run.h"

namespace quintrel::cli {
namespace {

namespace fs = std::filesystem;

class ExchangeCommand : public test::CliFixture {
protected:
  static void SetUpTestSuite() {
    const fs::path root = fs::path(__FILE__).parent_path().parent_path().parent_path();
    module_ = (fs::temp_directory_path() / ("quintrel-exchange-" + std::to_string(getpid()) + ".ZOD")).string();
    const std::string command = Quote((root / "scripts" / "build-example-module").string()) + " " +
                                Quote(QUINTREL_CLI) + " " + Quote(module_) + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  static void TearDownTestSuite() { fs::remove(module_); }
  void SetUp() override {
    CliFixture::SetUp();
    const fs::path root = fs::path(__FILE__).parent_path().parent_path().parent_path();
    fs::copy(root / "examples" / "project", dir_ / "project");
    fs::copy_file(module_, Path("project/Sample.ZOD"));
    project_ = Path("project");
  }
  // Runs the command with --project after its name (and its verb, when it has one).
  test::TRunResult In(std::vector<std::string> args, size_t at = 1) {
    args.insert(args.begin() + static_cast<long>(at), {"--project", project_});
    return Run(args);
  }
  std::string Terms(const std::string& lang) {
    const auto r = Run({"term", "list", Path("project/Sample.ZOD"), lang});
    EXPECT_EQ(r.code, 0) << r.err;
    return r.out;
  }
  std::string project_;
  static inline std::string module_;
};

// Every text of a new language comes back from the translator's file, and nothing else in
// the module changes; a second import of the same file changes nothing.
TEST_F(ExchangeCommand, ATranslatedFileComesBackWithEveryTextInPlace) {
  ASSERT_EQ(Run({"lang", "add", Path("project/Sample.ZOD"), "ja", "--name", "Japanese", "--charset", "128"}).code, 0);
  const std::string de = Terms("de"), ru = Terms("ru"), en = Terms("en");
  auto r = In({"export", "--base", "en", "--target", "ja", "-o", Path("ja.txt")});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "created " + Path("ja.txt") + "\nThe export operation has completed successfully\n");
  std::string file = Slurp(Path("ja.txt"));
  // Every object's "#2 " gets a Shift-JIS text naming its identifier.
  const std::regex block("#I ([0-9A-F]{8})\r\n((?:#[TC1] [^\r\n]*\r\n)*)#2 \r\n");
  const std::string filled = std::regex_replace(file, block, "#I $1\r\n$2#2 \x93\xfa$1\r\n");
  int blocks = 0;
  for (auto it = std::sregex_iterator(file.begin(), file.end(), block); it != std::sregex_iterator(); ++it) ++blocks;
  ASSERT_GT(blocks, 40);
  std::ofstream(Path("ja.txt"), std::ios::binary) << filled;

  r = In({"import", Path("ja.txt"), "--json"});
  ASSERT_EQ(r.code, 0) << r.err;
  const auto report = nlohmann::json::parse(r.out.substr(0, r.out.rfind('}') + 1));
  EXPECT_EQ(report["language"], "ja");
  EXPECT_EQ(report["counts"]["written"], blocks);
  EXPECT_EQ(Terms("de"), de);
  EXPECT_EQ(Terms("ru"), ru);
  EXPECT_EQ(Terms("en"), en);
  const std::string ja = Terms("ja");
  EXPECT_NE(ja.find("\u65e5"), std::string::npos) << ja;
  r = In({"stats", "--lang", "ja"});
  ASSERT_EQ(r.code, 0) << r.err;
  // Pictures are counted but never exported.
  EXPECT_NE(r.out.find("To review: " + std::to_string(blocks) + " ("), std::string::npos) << r.out;

  r = In({"import", Path("ja.txt")});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("written 0, unchanged " + std::to_string(blocks)), std::string::npos) << r.out;
  EXPECT_EQ(Terms("ja"), ja);
}

// The example's Russian texts are signed off: no import changes them, and says so.
TEST_F(ExchangeCommand, SignedOffTextsSurviveAnImport) {
  const std::string ru = Terms("ru");
  ASSERT_NE(ru.find("\tsigned-off\t"), std::string::npos);
  auto r = In({"export", "--base", "en", "--target", "ru", "--all", "--unicode", "-o", Path("ru.txt")});
  ASSERT_EQ(r.code, 0) << r.err;
  std::string file = Slurp(Path("ru.txt"));
  for (size_t at = 0; (at = file.find(std::string("#\0002\0 \0", 6), at)) != std::string::npos; at += 8)
    file.insert(at + 6, std::string("X\0", 2));
  std::ofstream(Path("ru.txt"), std::ios::binary) << file;
  r = In({"import", Path("ru.txt"), "--unicode"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("signed off: MainForm Caption\n"), std::string::npos) << r.out;
  const std::string after = Terms("ru");
  for (size_t at = 0, end; (end = ru.find('\n', at)) != std::string::npos; at = end + 1)
    if (ru.substr(at, end - at).find("\tsigned-off\t") != std::string::npos) {
      EXPECT_NE(after.find(ru.substr(at, end + 1 - at)), std::string::npos) << ru.substr(at, end - at);
    }
}

TEST_F(ExchangeCommand, RefusalsNameTheFileAndTheOperationFails) {
  const std::string before = Slurp(Path("project/Sample.ZOD"));
  auto r = In({"export", "--base", "en", "--target", "de", "-o", Path("project/Sample.ZOD")});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "quintrel: " + Path("project/Sample.ZOD") +
                       ": is the module being exported\nquintrel: There is a problem in the export operation\n");
  EXPECT_EQ(Slurp(Path("project/Sample.ZOD")), before);

  std::ofstream(Path("x.txt"), std::ios::binary) << "BASEID=en\r\nTARGETID=fr\r\n";
  r = In({"import", Path("x.txt")});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "quintrel: " + Path("x.txt") + ": the module has no language fr; it has: en, de, ru, he" +
                       "\nquintrel: There is a problem in the import operation\n");
  r = In({"import", Path("x.doc")});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find(Path("x.doc") + ": the format comes from the extension"), std::string::npos) << r.err;
  fs::create_directory(Path("dir.txt"));
  r = In({"import", Path("dir.txt")});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find(Path("dir.txt")), std::string::npos) << r.err;

  r = In({"autotranslate", "--base", "en", "--target", "de"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "quintrel: There are no dictionary installed for language English\n");
  EXPECT_EQ(Slurp(Path("project/Sample.ZOD")), before);
}

}  // namespace
}  // namespace quintrel::cli
