// The quintrel command as a user runs it: output, JSON, exit codes and error lines.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "tests/cli/run.h"
#include "tests/testdata.h"

namespace quintrel::cli {
namespace {

using test::CliFixture;

class DbCommands : public CliFixture {};

TEST_F(DbCommands, CreateThenInfo) {
  auto r = Succeeds(Run({"db", "create", Path("m.zod"), "--define", "Props Name B Data B", "--define",
                         "ZodTermsEN Text V Status Y Title C20"}));
  EXPECT_EQ(r.out, "") << "quiet on success";

  r = Succeeds(Run({"db", "info", Path("m.zod")}));
  EXPECT_THAT(r.out, HasSubstr("Version:     16"));
  EXPECT_THAT(r.out, HasSubstr("Table 1: ZodTermsEN"));
  EXPECT_THAT(r.out, HasSubstr("Field 3: Title  C  20"));

  r = Succeeds(Run({"db", "info", "--json", Path("m.zod")}));
  auto j = nlohmann::json::parse(r.out);
  ExpectFields(j, {{"Version", 16}, {"DbName", "m.zod"}, {"TableCount", 2}, {"TableBlock", 64}, {"AvailList", 0}});
  EXPECT_GT(j["Created"].get<double>(), 40000.0);
  ASSERT_EQ(j["Tables"].size(), 2u);
  const auto& terms = j["Tables"][1];
  ExpectFields(terms,
               {{"TableName", "ZodTermsEN"}, {"TableNr", 1}, {"RecordCount", 0}, {"FieldCount", 4}, {"FirstBlock", 0}});
  EXPECT_EQ(terms["Fields"][0]["FieldName"], "_RECNO");
  EXPECT_EQ(terms["Fields"][3]["FieldType"], "C");
  EXPECT_EQ(terms["Fields"][3]["FieldLength"], 20);
  EXPECT_TRUE(terms["Fields"][1]["Indexes"].is_array());

  EXPECT_THAT(Refused({"db", "create", Path("m.zod")}), HasSubstr("file exists"));
}

TEST_F(DbCommands, FailuresAreOneLineNamingTheFile) {
  std::ofstream(Path("notes.txt")) << "plain text, certainly not a database file";
  std::ofstream(Path("tiny.zod")) << std::string("\x10\0\0", 3);
  for (const char* name : {"missing.zod", "notes.txt", "tiny.zod"}) {
    auto r = Run({"db", "info", Path(name)});
    EXPECT_EQ(r.code, 1) << name;
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, HasSubstr(Path(name)));
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  EXPECT_THAT(Refused({"db", "create", Path("bad.zod"), "--define", "T A C4x"}), HasSubstr("bad length"));
  EXPECT_FALSE(std::filesystem::exists(Path("bad.zod"))) << "a failed create leaves no file";

  EXPECT_THAT(Refused({"db", "info", "--project", dir_.string()}),
              HasSubstr("no module named (--module FILE) and no project to take it from"));  // no file, and no project
                                                                                             // to take the module from
  Refused({"db", "frobnicate"}, 2);
  auto help = Run({"db", "info", "--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_THAT(help.out, HasSubstr("--json"));
}

TEST_F(DbCommands, LoadDumpRoundTrip) {
  const std::string input =
      "{\"Key\": 1, \"Name\": \"eins\", \"Data\": {\"hex\": \"00ff\"}, \"Flag\": true, \"Amount\": 1.5}\n"
      "{\"Key\": -7, \"Name\": \"lone \\uD800 pair \\ud83d\\ude00 \\u00e4\", \"Title\": \"abc\"}\n"
      "\n"
      "{\"Key\": 3, \"Name\": \"\", \"Data\": {\"hex\": \"\"}}\n";
  const std::string define = "T Key N Name V Data B Flag L Amount R Title C5";
  Ok(Run({"db", "load", Path("a.zod"), "--define", define, "--index", "Key:unique:prefix", "--index", "Name"}, input));
  auto dumped = Succeeds(Run({"db", "dump", Path("a.zod"), "T", "--json"}));
  EXPECT_THAT(dumped.out, HasSubstr("\"Name\": \"lone \\uD800 pair \xF0\x9F\x98\x80 \xC3\xA4\""));
  EXPECT_THAT(dumped.out, HasSubstr("\"_RECNO\": 3, \"Key\": 3"));
  EXPECT_THAT(dumped.out, HasSubstr("\"Data\": {\"hex\": \"00ff\"}, \"Flag\": true, \"Amount\": 1.5"));

  // What dump writes, load reads back to the same records.
  Ok(Run({"db", "load", Path("b.zod"), "--define", define}, dumped.out));
  EXPECT_EQ(Run({"db", "dump", Path("b.zod"), "0", "--json"}).out, dumped.out);
  Ok({"db", "check", Path("a.zod")});

  auto plain = Run({"db", "dump", Path("a.zod"), "T"});
  EXPECT_EQ(plain.out.substr(0, plain.out.find('\n')), "_RECNO\tKey\tName\tData\tFlag\tAmount\tTitle");

  // A bad line stops the load; the records before it stay.
  auto r = Run({"db", "load", Path("a.zod"), "--define", define},
               "{\"Key\": 4}\n{\"Key\": 5}\n{\"Key\": 6, \"Nope\": 1}\n{\"Key\": 7}\n");
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr("input line 3"));
  EXPECT_THAT(r.err, HasSubstr("no field Nope"));
  auto after = Run({"db", "dump", Path("a.zod"), "T", "--json"}).out;
  EXPECT_EQ(std::count(after.begin(), after.end(), '\n'), 5);
  for (const char* bad : {"{\"Key\": 1.5}", "{\"Key\": 3000000000}", "{\"Title\": \"toolong\"}",
                          "{\"Flag\": 1}", "{\"Data\": \"text\"}", "{\"Key\": 1", "[1]", "{\"Name\": \"\\x\"}"}) {
    r = Run({"db", "load", Path("a.zod"), "--define", define}, std::string(bad) + "\n");
    EXPECT_EQ(r.code, 1) << bad;
    EXPECT_NE(r.err.find("input line 1"), std::string::npos) << bad << ": " << r.err;
  }
  // A line without end is refused once it passes the limit, not held in memory.
  r = Run({"db", "load", Path("a.zod"), "--define", define}, "{\"Key\": 8}\n{\"Name\": \"" + std::string(129 << 20, 'x'));
  EXPECT_EQ(r.err, "quintrel: " + Path("a.zod") + ": input line 2: longer than 128 MiB (1 records written before it)\n");
  Refused(Run({"db", "load", Path("a.zod"), "--define", define, "--index", "Key:fancy"}, ""));
  EXPECT_EQ(Refused({"db", "dump", Path("a.zod"), "Nope"}),
            "quintrel: " + Path("a.zod") + ": no table Nope; the tables are: T\n");
  r = Run({"db", "reindex", Path("a.zod"), "T", "Nope"});
  EXPECT_EQ(r.err, "quintrel: " + Path("a.zod") +
                       ": table T has no field Nope; its fields are: _RECNO, Key, Name, Data, Flag, Amount, Title\n");
}

TEST_F(DbCommands, CheckFindsDamageAndReindexRepairsAnIndex) {
  std::string input;
  for (int k = 1; k <= 600; ++k) input += "{\"Key\": " + std::to_string(k * 3) + "}\n";
  Ok(Run({"db", "load", Path("i.zod"), "--define", "T Key N", "--index", "Key:unique"}, input));
  EXPECT_EQ(Ok({"db", "check", Path("i.zod")}), "");

  // Point the first key of the root at a block that does not hold its record.
  auto info = nlohmann::json::parse(Run({"db", "info", "--json", Path("i.zod")}).out);
  uint32_t root = info["Tables"][0]["Fields"][1]["Indexes"][0]["Root"];
  {
    std::fstream f(Path("i.zod"), std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(root + 12);
    uint32_t wrong = 64;
    f.write(reinterpret_cast<const char*>(&wrong), 4);
  }
  auto r = Run({"db", "check", Path("i.zod")});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.out, HasSubstr("names block $40"));
  EXPECT_THAT(r.out, HasSubstr(Path("i.zod")));
  r = Run({"db", "check", "--json", Path("i.zod")});
  EXPECT_EQ(r.code, 1);
  EXPECT_FALSE(nlohmann::json::parse(r.out)["Findings"].empty());

  Ok({"db", "reindex", Path("i.zod"), "T", "Key"});
  r = Run({"db", "check", Path("i.zod")});
  EXPECT_EQ(r.code, 0) << r.out;

  std::ofstream(Path("junk.zod")) << std::string(100, 'j');
  EXPECT_THAT(Refused({"db", "check", Path("junk.zod")}), HasSubstr("not a database"));
  EXPECT_THAT(Refused({"db", "reindex", "--module", Path("i.zod"), "T"}, 2),
              HasSubstr("takes 0 or 2 argument(s) beside --module; 1 were given"));  // TABLE without FIELD
}

// Names in the scratch folder other than the expected ones: leftovers of a staged write.
std::vector<std::string> Leftovers(const std::filesystem::path& dir, std::initializer_list<std::string> expected) {
  std::vector<std::string> extra;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::string name = entry.path().filename().string();
    if (name[0] == '.' && (name == ".stdin" || name == ".stdout" || name == ".stderr")) continue;
    if (std::find(expected.begin(), expected.end(), name) == expected.end()) extra.push_back(name);
  }
  return extra;
}

TEST_F(DbCommands, CreateRemovesNothingItDidNotMake) {
  std::filesystem::create_directory(Path("dir.zod"));
  std::ofstream(Path("dir.zod/keep")) << "mine";
  EXPECT_THAT(Refused({"db", "create", "--force", Path("dir.zod"), "--define", "T A N"}),
              HasSubstr("not a regular file"));
  EXPECT_EQ(Slurp(Path("dir.zod/keep")), "mine");

  Ok({"db", "create", Path("m.zod"), "--define", "Old A N"});
  const std::string before = Slurp(Path("m.zod"));
  // A typo in the definition is found before the existing module is touched.
  auto r = Run({"db", "create", "--force", Path("m.zod"), "--define", "New A N", "--define", "T A C4x"});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr("bad length"));
  EXPECT_EQ(r.err.find("/.m.zod."), std::string::npos) << "names the target, not the staged file: " << r.err;
  EXPECT_EQ(Slurp(Path("m.zod")), before);

  std::filesystem::permissions(Path("m.zod"), std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  EXPECT_THAT(Refused({"db", "create", "--force", Path("m.zod"), "--define", "New A N"}),
              HasSubstr(Path("m.zod")));  // a read-only file is not replaced
  EXPECT_EQ(Slurp(Path("m.zod")), before);

  std::filesystem::permissions(Path("m.zod"), std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
  std::filesystem::create_symlink("m.zod", Path("link.zod"));
  Ok({"db", "create", "--force", Path("link.zod"), "--define", "New A N"});
  EXPECT_TRUE(std::filesystem::is_symlink(Path("link.zod"))) << "the file behind the link is replaced";
  auto j = nlohmann::json::parse(Run({"db", "info", "--json", Path("m.zod")}).out);
  EXPECT_EQ(j["Tables"][0]["TableName"], "New");
  EXPECT_EQ(j["DbName"], "link.zod") << "the name given";
  EXPECT_EQ(std::filesystem::status(Path("m.zod")).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write | std::filesystem::perms::group_read)
      << "the replaced file keeps its permissions";
  EXPECT_EQ(Leftovers(dir_, {"dir.zod", "m.zod", "link.zod"}), std::vector<std::string>{});
}

// A reader is not kept waiting while db load waits for its input.
TEST_F(DbCommands, LoadLocksOnlyToWrite) {
  Ok({"db", "create", Path("w.zod"), "--define", "T Key N"});
  int toLoad[2];
  ASSERT_EQ(::pipe(toLoad), 0);
  pid_t loader = ::fork();
  ASSERT_GE(loader, 0);
  if (loader == 0) {
    ::dup2(toLoad[0], 0);
    ::close(toLoad[0]);
    ::close(toLoad[1]);
    int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::execl(QUINTREL_CLI, QUINTREL_CLI, "db", "load", Path("w.zod").c_str(), "--define", "T Key N", nullptr);
    ::_exit(127);
  }
  ::close(toLoad[0]);
  const std::string first = "{\"Key\": 1}\n";
  ASSERT_EQ(::write(toLoad[1], first.data(), first.size()), static_cast<ssize_t>(first.size()));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the loader is waiting for more input now
  // Before the loader finishes, the dump has to end by itself; `timeout` ends a blocked one.
  std::string command = "timeout 20 " + Quote(QUINTREL_CLI) + " db dump " + Quote(Path("w.zod")) + " T >" +
                        Quote(Path("dump.txt")) + " 2>&1";
  auto started = std::chrono::steady_clock::now();
  int status = std::system(command.c_str());
  auto waited = std::chrono::steady_clock::now() - started;
  const std::string last = "{\"Key\": 2}\n";
  ASSERT_EQ(::write(toLoad[1], last.data(), last.size()), static_cast<ssize_t>(last.size()));
  ::close(toLoad[1]);
  int loadStatus = 0;
  ::waitpid(loader, &loadStatus, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0) << Slurp(Path("dump.txt"));
  EXPECT_LT(waited, std::chrono::seconds(15)) << "the dump waited for the load's input";
  EXPECT_TRUE(WIFEXITED(loadStatus) && WEXITSTATUS(loadStatus) == 0);
  EXPECT_EQ(Run({"db", "dump", Path("w.zod"), "T"}).out, "_RECNO\tKey\n1\t1\n2\t2\n");
}

// Hostile JSON: nesting the parser would recurse through, lines it would quote whole,
// and inputs that are not files.
TEST_F(DbCommands, JsonInputsFailWithOneShortLine) {
  Ok({"module", "new", Path("j.zod")});
  std::ofstream(Path("deep.json")) << std::string(100000, '[');
  std::ofstream(Path("deepstr.json")) << "{\"name\": \"" << std::string(100, '[') << "\"}";
  std::ofstream(Path("long.json")) << "{\"name\": " << std::string(60000, 'x') << "}";
  ASSERT_EQ(::mkfifo(Path("fifo.json").c_str(), 0600), 0);
  for (const char* name : {"deep.json", "long.json", "fifo.json", "missing.json"}) {
    auto r = Run({"lang", "add", Path("j.zod"), "de", "--from-json", Path(name)}, "", 60);  // a pipe is not waited for
    EXPECT_EQ(r.code, 1) << name;
    EXPECT_NE(r.err.find(Path(name)), std::string::npos) << r.err.substr(0, 300);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << name;
    EXPECT_LT(r.err.size(), 400u) << name;
  }
  // Brackets inside strings are text, not nesting.
  Ok({"lang", "add", Path("j.zod"), "de", "--from-json", Path("deepstr.json")});

  for (const std::string& line : {std::string(100000, '{'), "{\"Key\": " + std::string(60000, '9') + "}",
                                  "{\"" + std::string(60000, 'k') + "\": 1}"}) {
    auto r = Run({"db", "load", Path("l.zod"), "--define", "T Key N"}, line + "\n");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("input line 1"), std::string::npos) << r.err.substr(0, 300);
    EXPECT_LT(r.err.size(), 400u);
  }
}

}  // namespace
}  // namespace quintrel::cli

namespace quintrel::cli {
namespace {

class FormCommands : public test::CliFixture {};

TEST_F(FormCommands, ConvertBothWaysAndShowTheTree) {
  const std::string form = testdata::Data("dfm/rtklib__viewer.dfm").string();
  Ok({"form", "convert", form, "-o", Path("city.bin")});
  Ok({"form", "convert", Path("city.bin"), "-o", Path("city.dfm")});
  EXPECT_EQ(Slurp(Path("city.dfm")), Slurp(form)) << "text -> binary -> text is lossless";
  EXPECT_NE(Slurp(Path("city.bin")).substr(0, 1), "o") << "the other notation by default";

  auto r = Succeeds(Run({"form", "tree", "--json", form}));
  EXPECT_FALSE(nlohmann::json::parse(r.out).empty());
  r = Succeeds(Run({"form", "tree", form}));
  EXPECT_NE(r.out.find("Caption = '"), std::string::npos) << r.out.substr(0, 400);

  std::ofstream(Path("broken.dfm")) << "object Form1: TForm1\n  Caption = 'unterminated\n";
  EXPECT_THAT(Refused({"form", "tree", Path("broken.dfm")}), HasSubstr("broken.dfm"));
  Refused({"form", "tree", Path("missing.dfm")});
}

// A text form of `count` labels.
std::string LabelForm(int count) {
  std::string form = "object Form1: TForm\n  Caption = 'Many'\n";
  for (int i = 1; i <= count; ++i)
    form += "  object Label" + std::to_string(i) + ": TLabel\n    Left = 8\n    Top = " + std::to_string(i) +
            "\n    Caption = 'Label number " + std::to_string(i) + "'\n  end\n";
  return form + "end\n";
}

TEST_F(FormCommands, ConvertOnAFullDiskKeepsTheTarget) {
  std::ofstream(Path("many.dfm")) << LabelForm(300);
  const std::string old(20000, 'o');
  std::ofstream(Path("out.bin")) << old;
  // The file size limit stands in for a full disk: every write past 4 KB fails.
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    int err = ::open(Path("err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(err, 2);
    ::execl(QUINTREL_CLI, QUINTREL_CLI, "form", "convert", Path("many.dfm").c_str(), "-o", Path("out.bin").c_str(),
            nullptr);
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  const std::string err = Slurp(Path("err.txt"));
  EXPECT_THAT(err, HasSubstr(Path("out.bin") + ": cannot be written"));
  EXPECT_EQ(Slurp(Path("out.bin")), old) << "the target keeps its old content";
  EXPECT_EQ(Leftovers(dir_, {"many.dfm", "out.bin", "err.txt"}), std::vector<std::string>{});

  Ok({"form", "convert", Path("many.dfm"), "-o", Path("out.bin")});
  EXPECT_GT(Slurp(Path("out.bin")).size(), 4096u) << "larger than the limit above";
  Ok({"form", "convert", Path("many.dfm"), "-o", "/dev/null"});         // a device is written to
  Refused({"form", "convert", Path("many.dfm"), "-o", dir_.string()});  // a folder is not replaced
}

}  // namespace
}  // namespace quintrel::cli
