// The quintrel command as a user runs it: output, JSON, exit codes and error lines.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/cli/run.h"

namespace quintrel::cli {
namespace {

using test::CliFixture;

class DbCommands : public CliFixture {};

TEST_F(DbCommands, CreateThenInfo) {
  auto r = Run({"db", "create", Path("m.zod"), "--define", "Props Name B Data B", "--define",
                "ZodTermsEN Text V Status Y Title C20"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "") << "quiet on success";

  r = Run({"db", "info", Path("m.zod")});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Version:     16"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Table 1: ZodTermsEN"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Field 3: Title  C  20"), std::string::npos) << r.out;

  r = Run({"db", "info", "--json", Path("m.zod")});
  ASSERT_EQ(r.code, 0) << r.err;
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["Version"], 16);
  EXPECT_EQ(j["DbName"], "m.zod");
  EXPECT_EQ(j["TableCount"], 2);
  EXPECT_EQ(j["TableBlock"], 64);
  EXPECT_EQ(j["AvailList"], 0);
  EXPECT_GT(j["Created"].get<double>(), 40000.0);
  ASSERT_EQ(j["Tables"].size(), 2u);
  const auto& terms = j["Tables"][1];
  EXPECT_EQ(terms["TableName"], "ZodTermsEN");
  EXPECT_EQ(terms["TableNr"], 1);
  EXPECT_EQ(terms["RecordCount"], 0);
  EXPECT_EQ(terms["FieldCount"], 4);
  EXPECT_EQ(terms["FirstBlock"], 0);
  EXPECT_EQ(terms["Fields"][0]["FieldName"], "_RECNO");
  EXPECT_EQ(terms["Fields"][3]["FieldType"], "C");
  EXPECT_EQ(terms["Fields"][3]["FieldLength"], 20);
  EXPECT_TRUE(terms["Fields"][1]["Indexes"].is_array());

  r = Run({"db", "create", Path("m.zod")});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("file exists"), std::string::npos) << r.err;
}

TEST_F(DbCommands, FailuresAreOneLineNamingTheFile) {
  std::ofstream(Path("notes.txt")) << "plain text, certainly not a database file";
  std::ofstream(Path("tiny.zod")) << std::string("\x10\0\0", 3);
  for (const char* name : {"missing.zod", "notes.txt", "tiny.zod"}) {
    auto r = Run({"db", "info", Path(name)});
    EXPECT_EQ(r.code, 1) << name;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(Path(name)), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  auto r = Run({"db", "create", Path("bad.zod"), "--define", "T A C4x"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("bad length"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(Path("bad.zod"))) << "a failed create leaves no file";

  EXPECT_EQ(Run({"db", "info"}).code, 2) << "missing argument is a usage error";
  EXPECT_EQ(Run({"db", "frobnicate"}).code, 2);
  auto help = Run({"db", "info", "--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("--json"), std::string::npos);
}

}  // namespace
}  // namespace quintrel::cli
