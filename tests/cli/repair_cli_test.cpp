// Repairs on damaged files: modules left by a process killed in the middle of an update,
// and the damaged inputs the fuzzers found. A repair either leaves a file the check finds
// sound, holding every record it held (and the file as it was in its backup), or refuses
// with one line naming the file and leaves it byte for byte as it was. The check finds
// whatever reading refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "storage/vardbs.h"
#include "tests/cli/run.h"

namespace quintrel::cli {
namespace {

namespace fs = std::filesystem;

fs::path Root() { return fs::path(__FILE__).parent_path().parent_path().parent_path(); }

struct TDamaged {
  std::string Name;
  std::string Bytes;
};

// The damaged files: the killed modules of tests/data/damaged, the module inputs of the
// fuzzers, and the database part of the record database fuzzer's inputs (the file, then a
// script, then one byte giving the script's length).
std::vector<TDamaged> DamagedFiles() {
  std::vector<TDamaged> files;
  auto add = [&](const fs::path& path, bool script) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (script && !bytes.empty()) {
      const size_t length = std::min<size_t>(static_cast<uint8_t>(bytes.back()), bytes.size() - 1);
      bytes.resize(bytes.size() - 1 - length);
    }
    files.push_back({path.parent_path().filename().string() + "-" + path.filename().string(), bytes});
  };
  for (const char* folder : {"tests/data/damaged", "fuzz/regressions/module_fuzzer",
                             "fuzz/regressions/translator_switch_fuzzer", "fuzz/regressions/fuzz_database"})
    for (const auto& entry : fs::directory_iterator(Root() / folder))
      if (entry.path().extension() != ".md") add(entry.path(), std::string(folder).ends_with("fuzz_database"));
  std::sort(files.begin(), files.end(), [](const TDamaged& a, const TDamaged& b) { return a.Name < b.Name; });
  return files;
}

// Every record of every table by table, as the engine reads them; nullopt-like empty map
// with `readable` false when they cannot all be read.
std::map<std::string, std::vector<std::vector<uint8_t>>> Records(const std::string& file, bool& readable) {
  std::map<std::string, std::vector<std::vector<uint8_t>>> records;
  readable = false;
  try {
    storage::TCustomVarDB db("");
    if (!db.OpenFile(file, rtl::fmOpenRead | rtl::fmShareDenyNone)) return records;
    for (int t = 0; t < db.TableCount(); ++t) {
      auto& table = records[db.Table(t).Header.TableName];
      if (db.Top(t))
        do table.push_back(db.GetRecord(t));
        while (table.size() < 100000 && db.Step(t, 1));
      std::sort(table.begin(), table.end());
    }
    readable = true;
  } catch (const rtl::Exception&) {
  }
  return records;
}

class Repairs : public test::CliFixture {
protected:
  // Runs `repair` (with @ for the file, @@ for its folder, which holds a project) on a copy of each damaged file, several at once;
  // returns what went wrong, one line per fault.
  std::vector<std::string> Judge(const std::string& what, const std::vector<std::string>& repair,
                                 const std::string& backupExtension, bool sameRecords, const std::string& input = "") {
    const std::vector<TDamaged> files = DamagedFiles();
    std::vector<std::string> faults;
    std::mutex lock;
    std::vector<std::thread> workers;
    std::atomic<size_t> next{0};
    for (int w = 0; w < 4; ++w)
      workers.emplace_back([&] {
        for (size_t i; (i = next++) < files.size();) {
          const TDamaged& damaged = files[i];
          const fs::path folder = dir_ / (what + "-" + damaged.Name);
          fs::create_directories(folder);
          const std::string file = (folder / "Damaged.zod").string();
          std::ofstream(file, std::ios::binary) << damaged.Bytes;
          std::ofstream(folder / "P.dpr") << "program P;\nbegin\nend.\n";
          bool readable = false;
          const auto before = Records(file, readable);
          std::vector<std::string> args;
          for (const std::string& a : repair) args.push_back(a == "@" ? file : a == "@@" ? folder.string() : a);
          const test::TRunResult r = Run(args, input, 120);
          std::string fault;
          if (r.code == 0) {
            const test::TRunResult check = Run({"db", "check", file});
            bool after = false;
            if (check.code != 0) fault = "left damage: " + check.out.substr(0, 300);
            else if (Slurp((folder / ("Damaged" + backupExtension)).string()) != damaged.Bytes)
              fault = "kept no backup of the file as it was";
            else if (sameRecords && readable && Records(file, after) != before)
              fault = "changed the records";
          } else if (r.code != 1) {
            fault = "exit " + std::to_string(r.code) + ": " + r.err.substr(0, 300);
          } else if (Slurp(file) != damaged.Bytes) {
            fault = "refused but changed the file";
          } else if (std::count(r.err.begin(), r.err.end(), '\n') != 1 || r.err.find(file) == std::string::npos) {
            fault = "refused without one line naming the file: " + r.err.substr(0, 300);
          }
          std::lock_guard<std::mutex> guard(lock);
          if (!fault.empty()) faults.push_back(damaged.Name + ": " + what + " " + fault);
        }
      });
    for (std::thread& w : workers) w.join();
    return faults;
  }
};

std::string Lines(const std::vector<std::string>& faults) {
  std::string all;
  for (const std::string& f : faults) all += f + "\n";
  return all;
}

TEST_F(Repairs, EveryRepairRepairsOrRefusesWithoutWriting) {
  ASSERT_GE(DamagedFiles().size(), 15u);
  std::vector<std::string> faults = Judge("db-reindex", {"db", "reindex", "@"}, ".~zo", true);
  for (const std::string& f : Judge("module-reindex", {"module", "reindex", "--module", "@", "--project", "@@"}, ".~zo", true))
    faults.push_back(f);
  for (const std::string& f : Judge("module-pack", {"module", "pack", "--module", "@", "--project", "@@"}, ".~lm", false))
    faults.push_back(f);
  EXPECT_TRUE(faults.empty()) << Lines(faults);
}

// Records added to a damaged file would land on its damage: the load refuses before it
// writes, and loads into a sound file as before.
TEST_F(Repairs, LoadRefusesADamagedFile) {
  const std::vector<std::string> faults =
      Judge("db-load", {"db", "load", "@", "--define", "Added Name V"}, "", false, "{\"Name\": \"x\"}\n");
  std::vector<std::string> real;
  // A load that works adds a table and a record: no backup is kept, and that is no fault.
  for (const std::string& f : faults)
    if (f.find("kept no backup") == std::string::npos) real.push_back(f);
  EXPECT_TRUE(real.empty()) << Lines(real);
}

// Whatever reading refuses, the check reports: a module table of another layout, a
// chained value of an impossible length, a data chain that loops.
TEST_F(Repairs, CheckReportsEveryDamagedFile) {
  for (const TDamaged& damaged : DamagedFiles()) {
    const std::string file = Path(damaged.Name + ".zod");
    std::ofstream(file, std::ios::binary) << damaged.Bytes;
    const test::TRunResult r = Run({"db", "check", file});
    // The database target's inputs include sound files whose fault lay in an operation on
    // them; those may pass, as long as every record of them reads.
    bool readable = false;
    if (damaged.Name.starts_with("fuzz_database-") && r.code == 0 && (Records(file, readable), readable)) continue;
    EXPECT_EQ(r.code, 1) << damaged.Name << ": " << r.out << r.err;
    for (size_t at = 0; at < r.out.size(); at = r.out.find('\n', at) + 1)
      EXPECT_EQ(r.out.compare(at, file.size(), file), 0) << "a finding that does not start with the file: " << r.out;
  }
}

}  // namespace
}  // namespace quintrel::cli
