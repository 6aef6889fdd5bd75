// The record database against SQLite on the same workloads, in one run: bulk append of
// 100,000 records under a unique key index, random look-ups by key, a full scan, deleting
// every second record, and a cold start (open the file, one look-up). Both work on files
// in the same temporary folder; writes go in one transaction (one update bracket for the
// record database). At the end a table gives each time and the ratio ours/SQLite.
//
//   bench_storage [--records=N] [Google Benchmark flags]
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/rtl/classes.h"
#include "storage/vardbs.h"

using namespace quintrel;
using storage::TCustomVarDB;
using TClock = std::chrono::steady_clock;

namespace {

int gRecords = 100000;
constexpr uint16_t kOpenShared = rtl::fmOpenReadWrite | rtl::fmShareDenyNone;
constexpr int kKeyField = 1;
constexpr int kTextField = 2;

// ---------------------------------------------------------------------------------------
// The data: distinct 32-bit keys in random order, and wide texts of 100 to 300 bytes.

struct TData {
  std::vector<int32_t> keys;                // in load order
  std::vector<std::u16string> texts;        // in load order
  std::vector<int32_t> probes;              // existing keys in random order, for look-ups
};

const TData& Data() {
  static const TData data = [] {
    TData d;
    std::mt19937 random(20240611);
    d.keys.reserve(gRecords);
    d.texts.reserve(gRecords);
    for (int i = 0; i < gRecords; ++i) {
      // An odd multiplier permutes the 32-bit values, so the keys are distinct and scattered.
      d.keys.push_back(static_cast<int32_t>(static_cast<uint32_t>(i + 1) * 2654435761u));
      std::u16string text(50 + random() % 101, u' ');
      for (char16_t& c : text) c = static_cast<char16_t>(u'a' + random() % 26);
      d.texts.push_back(std::move(text));
    }
    d.probes = d.keys;
    std::shuffle(d.probes.begin(), d.probes.end(), random);
    return d;
  }();
  return data;
}

// ---------------------------------------------------------------------------------------
// Files

std::filesystem::path Folder() {
  static const std::filesystem::path folder = [] {
    auto path = std::filesystem::temp_directory_path() / ("quintrel-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    return path;
  }();
  return folder;
}

struct TFolderCleanup {
  ~TFolderCleanup() {
    std::error_code ignored;
    std::filesystem::remove_all(Folder(), ignored);
  }
};

void Fresh(const std::filesystem::path& path) {
  std::filesystem::remove(path);
  std::filesystem::remove(path.string() + "-journal");
}

void CopyFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  Fresh(to);
  std::filesystem::copy_file(from, to);
}

// Writes the file's pages out and drops them from the page cache, so the next open reads
// from the device.
void DropFromCache(const std::filesystem::path& path) {
  int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return;
  ::fsync(fd);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  ::close(fd);
}

// Wall-clock and processor time of the measured part of an iteration. The processor time
// shows the engine's own work on a machine that other jobs keep busy; the wall-clock time
// includes waiting for the device (SQLite syncs its journal on commit, we do not sync).
class TStopwatch {
public:
  explicit TStopwatch(benchmark::State& state) : state_(state) {}
  void Start() {
    wall_ = TClock::now();
    cpu_ = CpuNow();
  }
  void Stop() {
    state_.SetIterationTime(std::chrono::duration<double>(TClock::now() - wall_).count());
    cpuTotal_ += CpuNow() - cpu_;
  }
  ~TStopwatch() { state_.counters["cpu_ms"] = benchmark::Counter(1e3 * cpuTotal_, benchmark::Counter::kAvgIterations); }
  TStopwatch(const TStopwatch&) = delete;
  TStopwatch& operator=(const TStopwatch&) = delete;

private:
  static double CpuNow() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
  }

  benchmark::State& state_;
  TClock::time_point wall_;
  double cpu_ = 0;
  double cpuTotal_ = 0;
};

// ---------------------------------------------------------------------------------------
// The record database

class TOurs {
public:
  static constexpr const char* kName = "Ours";

  explicit TOurs(const std::filesystem::path& path, bool create) {
    if (!db_.OpenFile(path.string(), create ? rtl::fmCreate : kOpenShared))
      throw std::runtime_error("cannot open " + path.string());
    if (create) {
      table_ = db_.AddTable("T Key N Text V");
      db_.IndexCreate(table_, kKeyField, 0, true, false);
    } else {
      table_ = db_.GetTableNr("T");
    }
  }

  void Append(const TData& d) {
    db_.BeginTableUpdate();
    for (int i = 0; i < gRecords; ++i) {
      int32_t key = d.keys[i];
      storage::TFindRec fields[2] = {
          {kKeyField, &key, 4},
          {kTextField, const_cast<char16_t*>(d.texts[i].data()), static_cast<int32_t>(2 * d.texts[i].size())}};
      db_.AddRecord(table_, fields, 2);
    }
    db_.EndTableUpdate();
  }

  // Finds the key and reads the record's text; the text's length, 0 when not found.
  int32_t Lookup(int32_t key) {
    storage::TFindRec find{kKeyField, &key, 4};
    int32_t recNo;
    if (!db_.Seek(table_, &find, 1, recNo)) return 0;
    storage::TFindRec text{kTextField, buffer_, sizeof buffer_};
    db_.GetFields(table_, &text, 1);
    return text.Length;
  }

  // Reads both fields of every record in one read bracket, as SQLite's statement reads in
  // one read transaction; the sum of the keys.
  int64_t Scan() {
    storage::TReadBracket read(db_);
    int64_t sum = 0;
    if (!db_.Top(table_)) return sum;
    do {
      int32_t key = 0;
      storage::TFindRec fields[2] = {{kKeyField, &key, sizeof key}, {kTextField, buffer_, sizeof buffer_}};
      db_.GetFields(table_, fields, 2);
      sum += key;
    } while (db_.Step(table_, 1));
    return sum;
  }

  // Deletes the first, third, fifth ... record; the number deleted.
  int DeleteEverySecond() {
    int deleted = 0;
    db_.BeginTableUpdate();
    if (db_.Top(table_)) {
      for (;;) {
        int32_t recNo = RecNo();
        if (!db_.DeleteRecord(table_, true)) break;
        ++deleted;
        // The cursor stands on the following record, or on the one before when the
        // deleted record ended its block.
        if (db_.Table(table_).Header.RecordCount == 0) break;
        if (RecNo() < recNo && !db_.Step(table_, 1)) break;
        if (RecNo() < recNo) break;  // the last record was deleted
        if (!db_.Step(table_, 1)) break;
      }
    }
    db_.EndTableUpdate();
    return deleted;
  }

  int RecordCount() { return db_.Table(table_).Header.RecordCount; }

  // True when only the even record numbers are left.
  bool OnlyEvenLeft() {
    if (!db_.Top(table_)) return true;
    do
      if (RecNo() % 2 != 0) return false;
    while (db_.Step(table_, 1));
    return true;
  }

private:
  int32_t RecNo() {
    int32_t recNo = 0;
    storage::TFindRec field{0, &recNo, sizeof recNo};
    db_.GetFields(table_, &field, 1);
    return recNo;
  }

  TCustomVarDB db_{""};
  int table_ = 0;
  uint8_t buffer_[storage::kMaxInlineValue + 1];
};

// ---------------------------------------------------------------------------------------
// SQLite: the same table with a unique index on the key, texts stored as UTF-16 like ours.

class TSqlite {
public:
  static constexpr const char* kName = "SQLite";

  TSqlite(const std::filesystem::path& path, bool create) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0), nullptr) !=
        SQLITE_OK)
      throw std::runtime_error("cannot open " + path.string());
    // Both sides sync alike: SQLite's default (synchronous FULL, a rollback journal) against
    // ours; with QUINTREL_SYNC=off neither syncs (synchronous OFF, journal still kept).
    if (const char* sync = std::getenv("QUINTREL_SYNC"); sync && std::string(sync) == "off")
      Exec("PRAGMA synchronous = OFF");
    if (create) {
      Exec("PRAGMA encoding = 'UTF-16le'");
      Exec("CREATE TABLE T (Key INTEGER NOT NULL, Text TEXT)");
      Exec("CREATE UNIQUE INDEX TKey ON T (Key)");
    }
    lookup_ = Prepare("SELECT Text FROM T WHERE Key = ?");
  }
  ~TSqlite() {
    sqlite3_finalize(lookup_);
    sqlite3_close(db_);
  }
  TSqlite(const TSqlite&) = delete;
  TSqlite& operator=(const TSqlite&) = delete;

  void Append(const TData& d) {
    sqlite3_stmt* insert = Prepare("INSERT INTO T (Key, Text) VALUES (?, ?)");
    Exec("BEGIN");
    for (int i = 0; i < gRecords; ++i) {
      sqlite3_bind_int(insert, 1, d.keys[i]);
      sqlite3_bind_text16(insert, 2, d.texts[i].data(), static_cast<int>(2 * d.texts[i].size()), SQLITE_STATIC);
      if (sqlite3_step(insert) != SQLITE_DONE) Fail("insert");
      sqlite3_reset(insert);
    }
    Exec("COMMIT");
    sqlite3_finalize(insert);
  }

  int32_t Lookup(int32_t key) {
    sqlite3_bind_int(lookup_, 1, key);
    int32_t length = 0;
    if (sqlite3_step(lookup_) == SQLITE_ROW) {
      const void* text = sqlite3_column_text16(lookup_, 0);
      length = text ? sqlite3_column_bytes16(lookup_, 0) : 0;
    }
    sqlite3_reset(lookup_);
    return length;
  }

  int64_t Scan() {
    sqlite3_stmt* scan = Prepare("SELECT Key, Text FROM T");
    int64_t sum = 0;
    while (sqlite3_step(scan) == SQLITE_ROW) {
      sum += sqlite3_column_int(scan, 0);
      benchmark::DoNotOptimize(sqlite3_column_text16(scan, 1));
    }
    sqlite3_finalize(scan);
    return sum;
  }

  int DeleteEverySecond() {
    Exec("BEGIN");
    Exec("DELETE FROM T WHERE rowid % 2 = 1");
    int deleted = sqlite3_changes(db_);
    Exec("COMMIT");
    return deleted;
  }

  int RecordCount() { return Count("SELECT count(*) FROM T"); }
  bool OnlyEvenLeft() { return Count("SELECT count(*) FROM T WHERE rowid % 2 = 1") == 0; }

private:
  int Count(const char* sql) {
    sqlite3_stmt* count = Prepare(sql);
    int n = sqlite3_step(count) == SQLITE_ROW ? sqlite3_column_int(count, 0) : -1;
    sqlite3_finalize(count);
    return n;
  }
  [[noreturn]] void Fail(const char* what) { throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db_)); }
  void Exec(const char* sql) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(sql);
  }
  sqlite3_stmt* Prepare(const char* sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) != SQLITE_OK) Fail(sql);
    return statement;
  }

  sqlite3* db_ = nullptr;
  sqlite3_stmt* lookup_ = nullptr;
};

// ---------------------------------------------------------------------------------------
// Workloads. Each iteration's time is taken by hand, so that building the file it works
// on is not counted.

template <typename TEngine>
std::filesystem::path PathOf(const char* use) {
  return Folder() / (std::string(TEngine::kName) + "-" + use + ".db");
}

// The loaded file the read-only workloads share and the destructive ones copy.
template <typename TEngine>
const std::filesystem::path& Loaded() {
  static const std::filesystem::path path = [] {
    std::filesystem::path p = PathOf<TEngine>("loaded");
    Fresh(p);
    TEngine(p, true).Append(Data());
    return p;
  }();
  return path;
}

template <typename TEngine>
void Append(benchmark::State& state) {
  const TData& d = Data();
  std::filesystem::path path = PathOf<TEngine>("append");
  TStopwatch watch(state);
  for (auto _ : state) {
    Fresh(path);
    TEngine engine(path, true);
    watch.Start();
    engine.Append(d);
    watch.Stop();
    if (engine.RecordCount() != gRecords) state.SkipWithError("records missing after the load");
  }
  state.SetItemsProcessed(state.iterations() * gRecords);
}

template <typename TEngine>
void Lookup(benchmark::State& state) {
  const TData& d = Data();
  TEngine engine(Loaded<TEngine>(), false);
  TStopwatch watch(state);
  for (auto _ : state) {
    int64_t bytes = 0;
    watch.Start();
    for (int32_t key : d.probes) bytes += engine.Lookup(key);
    watch.Stop();
    if (bytes < 100LL * gRecords) state.SkipWithError("a look-up failed");
  }
  state.SetItemsProcessed(state.iterations() * gRecords);
}

template <typename TEngine>
void Scan(benchmark::State& state) {
  TEngine engine(Loaded<TEngine>(), false);
  int64_t expected = 0;
  for (int32_t key : Data().keys) expected += key;
  TStopwatch watch(state);
  for (auto _ : state) {
    watch.Start();
    int64_t sum = engine.Scan();
    watch.Stop();
    if (sum != expected) state.SkipWithError("the scan missed records");
  }
  state.SetItemsProcessed(state.iterations() * gRecords);
}

template <typename TEngine>
void Delete(benchmark::State& state) {
  std::filesystem::path path = PathOf<TEngine>("delete");
  TStopwatch watch(state);
  for (auto _ : state) {
    CopyFile(Loaded<TEngine>(), path);
    TEngine engine(path, false);
    watch.Start();
    int deleted = engine.DeleteEverySecond();
    watch.Stop();
    int odd = (gRecords + 1) / 2;
    if (deleted != odd || engine.RecordCount() != gRecords - odd || !engine.OnlyEvenLeft())
      state.SkipWithError("not every second record was deleted");
  }
  state.SetItemsProcessed(state.iterations() * ((gRecords + 1) / 2));
}

template <typename TEngine>
void ColdStart(benchmark::State& state) {
  const std::filesystem::path& path = Loaded<TEngine>();
  int32_t key = Data().probes[gRecords / 2];
  TStopwatch watch(state);
  for (auto _ : state) {
    DropFromCache(path);
    watch.Start();
    TEngine engine(path, false);
    bool found = engine.Lookup(key) != 0;
    watch.Stop();
    if (!found) state.SkipWithError("the look-up failed");
  }
}

// ---------------------------------------------------------------------------------------
// The closing table: each workload's wall-clock and processor time on both engines (the
// median over repetitions) and the ratios ours/SQLite.

class TRatioReporter : public benchmark::ConsoleReporter {
public:
  TRatioReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      std::string name = run.run_name.function_name;
      size_t slash = name.find('/');
      if (slash == std::string::npos) continue;
      std::string workload = name.substr(0, slash);
      TTimes& times = times_[workload][name.substr(slash + 1)];
      times.wall.push_back(run.real_accumulated_time / static_cast<double>(run.iterations));
      auto cpu = run.counters.find("cpu_ms");
      if (cpu != run.counters.end()) times.cpu.push_back(cpu->second.value / 1e3);
      if (std::find(order_.begin(), order_.end(), workload) == order_.end()) order_.push_back(workload);
    }
  }

  void PrintTable() const {
    std::printf("\n%-10s %12s %12s %8s %12s %12s %8s\n", "workload", "ours ms", "SQLite ms", "ratio", "ours cpu",
                "SQLite cpu", "ratio");
    for (const std::string& workload : order_) {
      const auto& engines = times_.at(workload);
      auto get = [&](const char* engine, bool cpu) {
        auto it = engines.find(engine);
        return it == engines.end() ? 0.0 : Median(cpu ? it->second.cpu : it->second.wall);
      };
      double ours = get(TOurs::kName, false), sqlite = get(TSqlite::kName, false);
      double oursCpu = get(TOurs::kName, true), sqliteCpu = get(TSqlite::kName, true);
      std::printf("%-10s %12.3f %12.3f %8.2f %12.3f %12.3f %8.2f\n", workload.c_str(), 1e3 * ours, 1e3 * sqlite,
                  sqlite > 0 ? ours / sqlite : 0.0, 1e3 * oursCpu, 1e3 * sqliteCpu,
                  sqliteCpu > 0 ? oursCpu / sqliteCpu : 0.0);
    }
  }

private:
  struct TTimes {
    std::vector<double> wall, cpu;
  };
  static double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  }

  std::map<std::string, std::map<std::string, TTimes>> times_;
  std::vector<std::string> order_;
};

void RegisterAll() {
  auto both = [](const char* workload, auto ours, auto sqlite, int iterations) {
    benchmark::RegisterBenchmark((std::string(workload) + "/" + TOurs::kName).c_str(), ours)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(iterations);
    benchmark::RegisterBenchmark((std::string(workload) + "/" + TSqlite::kName).c_str(), sqlite)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(iterations);
  };
  both("Append", Append<TOurs>, Append<TSqlite>, 1);
  both("Lookup", Lookup<TOurs>, Lookup<TSqlite>, 1);
  both("Scan", Scan<TOurs>, Scan<TSqlite>, 3);
  both("Delete", Delete<TOurs>, Delete<TSqlite>, 1);
  both("ColdStart", ColdStart<TOurs>, ColdStart<TSqlite>, 20);
}

}  // namespace

int main(int argc, char** argv) {
  // Our own flag first; Google Benchmark refuses flags it does not know.
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--records=", 10) == 0) gRecords = std::max(2, std::atoi(argv[i] + 10));
    else args.push_back(argv[i]);
  }
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  TFolderCleanup cleanup;
  RegisterAll();
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintTable();
  benchmark::Shutdown();
  return 0;
}
