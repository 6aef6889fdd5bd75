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

TEST_F(DbCommands, LoadDumpRoundTrip) {
  const std::string input =
      "{\"Key\": 1, \"Name\": \"eins\", \"Data\": {\"hex\": \"00ff\"}, \"Flag\": true, \"Amount\": 1.5}\n"
      "{\"Key\": -7, \"Name\": \"lone \\uD800 pair \\ud83d\\ude00 \\u00e4\", \"Title\": \"abc\"}\n"
      "\n"
      "{\"Key\": 3, \"Name\": \"\", \"Data\": {\"hex\": \"\"}}\n";
  const std::string define = "T Key N Name V Data B Flag L Amount R Title C5";
  auto r = Run({"db", "load", Path("a.zod"), "--define", define, "--index", "Key:unique:prefix", "--index", "Name"},
               input);
  ASSERT_EQ(r.code, 0) << r.err;
  auto dumped = Run({"db", "dump", Path("a.zod"), "T", "--json"});
  ASSERT_EQ(dumped.code, 0) << dumped.err;
  EXPECT_NE(dumped.out.find("\"Name\": \"lone \\uD800 pair \xF0\x9F\x98\x80 \xC3\xA4\""), std::string::npos)
      << dumped.out;
  EXPECT_NE(dumped.out.find("\"_RECNO\": 3, \"Key\": 3"), std::string::npos) << dumped.out;
  EXPECT_NE(dumped.out.find("\"Data\": {\"hex\": \"00ff\"}, \"Flag\": true, \"Amount\": 1.5"), std::string::npos);

  // What dump writes, load reads back to the same records.
  r = Run({"db", "load", Path("b.zod"), "--define", define}, dumped.out);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Run({"db", "dump", Path("b.zod"), "0", "--json"}).out, dumped.out);
  EXPECT_EQ(Run({"db", "check", Path("a.zod")}).code, 0);

  auto plain = Run({"db", "dump", Path("a.zod"), "T"});
  EXPECT_EQ(plain.out.substr(0, plain.out.find('\n')), "_RECNO\tKey\tName\tData\tFlag\tAmount\tTitle");

  // A bad line stops the load; the records before it stay.
  r = Run({"db", "load", Path("a.zod"), "--define", define},
          "{\"Key\": 4}\n{\"Key\": 5}\n{\"Key\": 6, \"Nope\": 1}\n{\"Key\": 7}\n");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("input line 3"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("no field Nope"), std::string::npos) << r.err;
  auto after = Run({"db", "dump", Path("a.zod"), "T", "--json"}).out;
  EXPECT_EQ(std::count(after.begin(), after.end(), '\n'), 5);
  for (const char* bad : {"{\"Key\": 1.5}", "{\"Key\": 3000000000}", "{\"Title\": \"toolong\"}",
                          "{\"Flag\": 1}", "{\"Data\": \"text\"}", "{\"Key\": 1", "[1]", "{\"Name\": \"\\x\"}"}) {
    r = Run({"db", "load", Path("a.zod"), "--define", define}, std::string(bad) + "\n");
    EXPECT_EQ(r.code, 1) << bad;
    EXPECT_NE(r.err.find("input line 1"), std::string::npos) << bad << ": " << r.err;
  }
  EXPECT_EQ(Run({"db", "load", Path("a.zod"), "--define", define, "--index", "Key:fancy"}, "").code, 1);
  EXPECT_EQ(Run({"db", "dump", Path("a.zod"), "Nope"}).code, 1);
}

TEST_F(DbCommands, CheckFindsDamageAndReindexRepairsAnIndex) {
  std::string input;
  for (int k = 1; k <= 600; ++k) input += "{\"Key\": " + std::to_string(k * 3) + "}\n";
  ASSERT_EQ(Run({"db", "load", Path("i.zod"), "--define", "T Key N", "--index", "Key:unique"}, input).code, 0);
  auto r = Run({"db", "check", Path("i.zod")});
  EXPECT_EQ(r.code, 0) << r.out;
  EXPECT_EQ(r.out, "");

  // Point the first key of the root at a block that does not hold its record.
  auto info = nlohmann::json::parse(Run({"db", "info", "--json", Path("i.zod")}).out);
  uint32_t root = info["Tables"][0]["Fields"][1]["Indexes"][0]["Root"];
  {
    std::fstream f(Path("i.zod"), std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(root + 12);
    uint32_t wrong = 64;
    f.write(reinterpret_cast<const char*>(&wrong), 4);
  }
  r = Run({"db", "check", Path("i.zod")});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("names block $40"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(Path("i.zod")), std::string::npos);
  r = Run({"db", "check", "--json", Path("i.zod")});
  EXPECT_EQ(r.code, 1);
  EXPECT_FALSE(nlohmann::json::parse(r.out)["Findings"].empty());

  ASSERT_EQ(Run({"db", "reindex", Path("i.zod"), "T", "Key"}).code, 0);
  r = Run({"db", "check", Path("i.zod")});
  EXPECT_EQ(r.code, 0) << r.out;

  std::ofstream(Path("junk.zod")) << std::string(100, 'j');
  r = Run({"db", "check", Path("junk.zod")});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("not a database"), std::string::npos) << r.out;
  EXPECT_EQ(Run({"db", "reindex", Path("i.zod"), "T"}).code, 1) << "TABLE without FIELD";
}

}  // namespace
}  // namespace quintrel::cli

namespace quintrel::cli {
namespace {

class FormCommands : public test::CliFixture {};

TEST_F(FormCommands, ConvertBothWaysAndShowTheTree) {
  const std::string form = std::string(QUINTREL_CORPUS_DIR) + "/dfm/chrp19-delphi__city.dfm";
  if (!std::filesystem::exists(form)) GTEST_SKIP() << "form corpus not found at " << form;
  auto r = Run({"form", "convert", form, "-o", Path("city.bin")});
  ASSERT_EQ(r.code, 0) << r.err;
  r = Run({"form", "convert", Path("city.bin"), "-o", Path("city.dfm")});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Slurp(Path("city.dfm")), Slurp(form)) << "text -> binary -> text is lossless";
  EXPECT_NE(Slurp(Path("city.bin")).substr(0, 1), "o") << "the other notation by default";

  r = Run({"form", "tree", "--json", form});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_FALSE(nlohmann::json::parse(r.out).empty());
  r = Run({"form", "tree", form});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Caption = '"), std::string::npos) << r.out.substr(0, 400);

  std::ofstream(Path("broken.dfm")) << "object Form1: TForm1\n  Caption = 'unterminated\n";
  r = Run({"form", "tree", Path("broken.dfm")});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("broken.dfm"), std::string::npos) << r.err;
  EXPECT_EQ(Run({"form", "tree", Path("missing.dfm")}).code, 1);
}

}  // namespace
}  // namespace quintrel::cli
