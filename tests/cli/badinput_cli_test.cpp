// What scripts see of the command line: the list of commands they can run, and bad command
// lines and files a command cannot open refused on stderr, never on stdout.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/cli/run.h"

namespace quintrel::cli {
namespace {

class CommandLine : public test::CliFixture {};

// Every command that runs is listed with what it takes; groups are not.
TEST_F(CommandLine, HelpListsEveryCommandWithWhatItTakes) {
  const auto r = Run({"help", "--list"});
  ASSERT_EQ(r.code, 0) << r.err;
  const nlohmann::json list = nlohmann::json::parse(r.out);
  std::map<std::string, nlohmann::json> byName;
  for (const auto& c : list) byName[c["command"]] = c;
  EXPECT_GT(byName.size(), 60u);
  EXPECT_EQ(byName.count("db"), 0u);
  ASSERT_EQ(byName.count("export"), 1u);
  bool base = false;
  for (const auto& o : byName["export"]["options"])
    if (o["name"] == "--base") base = o["required"].get<bool>() && o["min"] == 1;
  EXPECT_TRUE(base) << byName["export"].dump();
  ASSERT_EQ(byName.count("form convert"), 1u);
  EXPECT_EQ(byName["form convert"]["positionals"][0]["name"], "IN");
  const auto db = Run({"help", "db", "--list"});
  EXPECT_EQ(nlohmann::json::parse(db.out)[0]["command"], "db info");
}

// A command or option that does not exist is refused by name, also when --help follows it,
// and a file a command cannot open is reported on stderr even where its findings go to
// stdout.
TEST_F(CommandLine, UnknownCommandsAndUnreadableFilesAreReportedOnStderr) {
  auto r = Run({"nosuch", "--help"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("nosuch"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  r = Run({"db", "check", "--nosuch", "--help"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("--nosuch"), std::string::npos) << r.err;

  std::ofstream(Path("empty.zod"), std::ios::binary).flush();
  r = Run({"db", "check", Path("empty.zod")});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("quintrel: " + Path("empty.zod")), std::string::npos) << r.err;

  // A folder where a module belongs is called what it is, not a missing file.
  std::filesystem::create_directories(Path("folder.zod"));
  r = Run({"lang", "list", Path("folder.zod")});
  EXPECT_EQ(r.err, "quintrel: " + Path("folder.zod") + ": is a folder, not a module\n");
  r = Run({"db", "check", Path("folder.zod")});
  EXPECT_NE(r.err.find(Path("folder.zod") + ": is a folder"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace quintrel::cli
