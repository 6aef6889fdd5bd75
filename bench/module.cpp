// Language module against SQLite on the same catalogue: 20,000 objects on 50 forms with
// their texts in 5 languages (100,000 terms) loaded in one update, then 100,000 random
// texts with fall-back and the objects of every form. Prints wall-clock and processor times
// and the ratios ours / SQLite; with --repetitions=N the medians of N runs.
//
//   bench_module [--repetitions=N]
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/timer.h"
#include "module/zod.h"

namespace {

using namespace quintrel::module;

constexpr int kForms = 50, kObjects = 20000, kLanguages = 5, kLookups = 100000;
const TLanguageId kLangs[kLanguages] = {MakeLanguageId('e', 'n'), MakeLanguageId('d', 'e'), MakeLanguageId('f', 'r'),
                                        MakeLanguageId('j', 'a'), MakeLanguageId('i', 't')};

using quintrel::bench::TSpan;
using quintrel::bench::TTimer;

// The three steps on both engines.
struct TRun {
  TSpan oursLoad, oursLookup, oursForms, liteLoad, liteLookup, liteForms;
};

std::u16string TextOf(int object, int lang) {
  std::string s = "Text " + std::to_string(object) + " in language " + std::to_string(lang);
  return std::u16string(s.begin(), s.end());
}

void Check(int rc, sqlite3* db) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) throw std::runtime_error(sqlite3_errmsg(db));
}

TRun RunOnce() {
  TRun run;
  auto dir = std::filesystem::temp_directory_path() / ("quintrel-bench-module-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  setenv("QUINTREL_CONFIG", (dir / "registry.ini").c_str(), 1);
  std::mt19937 rng(1);
  std::vector<std::pair<uint32_t, int>> probes(kLookups);  // (object number, language)
  for (auto& p : probes) p = {static_cast<uint32_t>(rng() % kObjects), static_cast<int>(rng() % kLanguages)};

  // --- ours ---
  TZod zod(TZod::TStart::Empty);
  int m = zod.NewModule((dir / "bench.zod").string());
  zod.SetDesignTimeLanguage(m, kLangs[0]);
  zod.SetUseOriginalIfUntranslated(m, true);
  TTimer timer;
  zod.BeginModuleUpdate(m);
  std::vector<uint32_t> termOf(kObjects);
  for (int i = 0; i < kObjects; ++i) {
    TZodObject o;
    o.Ident = kFirstObjectId + static_cast<uint32_t>(i);
    o.FormID = static_cast<uint16_t>(1 + i % kForms);
    o.CompName = static_cast<uint32_t>(1 + i / kForms);
    o.PropertyName = 1;
    o.ZodClass = ucButton;
    o.Localization = termOf[static_cast<size_t>(i)] = kFirstTermId + static_cast<uint32_t>(i);
    zod.SetObject(m, o);
    for (int l = 0; l < kLanguages; ++l) {
      std::u16string text = TextOf(i, l);
      std::vector<uint8_t> bytes(text.size() * 2);
      for (size_t k = 0; k < text.size(); ++k) bytes[2 * k] = static_cast<uint8_t>(text[k]);
      TZodTerm t{kLangs[l], o.Localization, static_cast<uint8_t>(i % 3 == 0 ? usUnTranslated : usSignedOff), 0,
                 bytes.data(), static_cast<int32_t>(bytes.size())};
      zod.SetTerm(m, t);
    }
  }
  zod.EndModuleUpdate(m);
  run.oursLoad = timer.Elapsed();
  timer = TTimer();
  size_t oursChars = 0;
  std::vector<char16_t> buffer(256);
  {
    TModuleLock lock(zod.GetModuleInterface(m), false);
    for (auto [object, lang] : probes)
      oursChars += static_cast<size_t>(zod.GetLongStringW(m, termOf[object], kLangs[lang], buffer.data(), true));
  }
  run.oursLookup = timer.Elapsed();
  timer = TTimer();
  size_t oursObjects = 0;
  for (uint16_t f = 1; f <= kForms; ++f) oursObjects += zod.GetObjects(m, f).size();
  run.oursForms = timer.Elapsed();

  // --- SQLite ---
  sqlite3* db = nullptr;
  Check(sqlite3_open((dir / "bench.sqlite").c_str(), &db), db);
  Check(sqlite3_exec(db,
                     "CREATE TABLE obj(ident INTEGER PRIMARY KEY, kind, zodclass, compname, propertyname, "
                     "localization, comment, locked, priority, formid);"
                     "CREATE INDEX obj_form ON obj(formid);"
                     "CREATE TABLE terms(lang INTEGER, ident INTEGER, status, style, data BLOB, "
                     "PRIMARY KEY(lang, ident)) WITHOUT ROWID;",
                     nullptr, nullptr, nullptr),
        db);
  timer = TTimer();
  sqlite3_stmt *insObj = nullptr, *insTerm = nullptr, *getTerm = nullptr, *getForm = nullptr;
  Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
  sqlite3_prepare_v2(db, "INSERT INTO obj VALUES(?,0,6,?,1,?,0,0,0,?)", -1, &insObj, nullptr);
  sqlite3_prepare_v2(db, "INSERT INTO terms VALUES(?,?,?,0,?)", -1, &insTerm, nullptr);
  for (int i = 0; i < kObjects; ++i) {
    sqlite3_bind_int64(insObj, 1, kFirstObjectId + i);
    sqlite3_bind_int64(insObj, 2, 1 + i / kForms);
    sqlite3_bind_int64(insObj, 3, kFirstTermId + i);
    sqlite3_bind_int64(insObj, 4, 1 + i % kForms);
    Check(sqlite3_step(insObj), db);
    sqlite3_reset(insObj);
    for (int l = 0; l < kLanguages; ++l) {
      std::u16string text = TextOf(i, l);
      sqlite3_bind_int(insTerm, 1, kLangs[l]);
      sqlite3_bind_int64(insTerm, 2, kFirstTermId + i);
      sqlite3_bind_int(insTerm, 3, i % 3 == 0 ? 0 : 2);
      sqlite3_bind_blob(insTerm, 4, text.data(), static_cast<int>(text.size() * 2), SQLITE_TRANSIENT);
      Check(sqlite3_step(insTerm), db);
      sqlite3_reset(insTerm);
    }
  }
  Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
  run.liteLoad = timer.Elapsed();
  sqlite3_prepare_v2(db, "SELECT status, data FROM terms WHERE lang=? AND ident=?", -1, &getTerm, nullptr);
  // One read transaction around the look-ups, as ours holds one lock around them.
  Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
  timer = TTimer();
  size_t liteChars = 0;
  auto fetch = [&](TLanguageId lang, uint32_t ident, bool anyStatus) -> int {
    sqlite3_bind_int(getTerm, 1, lang);
    sqlite3_bind_int64(getTerm, 2, ident);
    int result = -1;
    if (sqlite3_step(getTerm) == SQLITE_ROW && (anyStatus || sqlite3_column_int(getTerm, 0) != 0))
      result = sqlite3_column_bytes(getTerm, 1) / 2;
    sqlite3_reset(getTerm);
    return result;
  };
  for (auto [object, lang] : probes) {
    int n = fetch(kLangs[lang], termOf[object], false);
    if (n < 0) n = std::max(0, fetch(kLangs[0], termOf[object], true));
    liteChars += static_cast<size_t>(n);
  }
  run.liteLookup = timer.Elapsed();
  sqlite3_prepare_v2(db, "SELECT * FROM obj WHERE formid=? ORDER BY ident", -1, &getForm, nullptr);
  timer = TTimer();
  size_t liteObjects = 0;
  for (int f = 1; f <= kForms; ++f) {
    sqlite3_bind_int(getForm, 1, f);
    while (sqlite3_step(getForm) == SQLITE_ROW) ++liteObjects;
    sqlite3_reset(getForm);
  }
  run.liteForms = timer.Elapsed();
  Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
  for (sqlite3_stmt* s : {insObj, insTerm, getTerm, getForm}) sqlite3_finalize(s);
  sqlite3_close(db);

  std::filesystem::remove_all(dir);
  if (oursChars != liteChars || oursObjects != liteObjects)
    throw std::runtime_error("results differ: " + std::to_string(oursChars) + "/" + std::to_string(liteChars) +
                             " characters, " + std::to_string(oursObjects) + "/" + std::to_string(liteObjects) +
                             " objects");
  return run;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int repetitions = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--repetitions=", 14) == 0) {
      repetitions = std::max(1, std::atoi(argv[i] + 14));
    } else {
      std::fprintf(stderr, "usage: bench_module [--repetitions=N]\n");
      return 2;
    }
  }
  std::vector<TRun> runs;
  try {
    for (int r = 0; r < repetitions; ++r) runs.push_back(RunOnce());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  auto median = [&](TSpan TRun::*step, double TSpan::*part) {
    std::vector<double> v;
    for (const TRun& run : runs) v.push_back(run.*step.*part);
    return Median(v);
  };
  std::printf("%-34s %10s %10s %7s %10s %10s %7s\n", "step (median of runs)", "ours s", "SQLite s", "ratio",
              "ours cpu", "SQLite cpu", "ratio");
  auto row = [&](const char* name, TSpan TRun::*ours, TSpan TRun::*lite) {
    double ow = median(ours, &TSpan::wall), lw = median(lite, &TSpan::wall);
    double oc = median(ours, &TSpan::cpu), lc = median(lite, &TSpan::cpu);
    std::printf("%-34s %10.3f %10.3f %7.2f %10.3f %10.3f %7.2f\n", name, ow, lw, ow / lw, oc, lc, oc / lc);
  };
  row("load 20000 objects, 100000 terms", &TRun::oursLoad, &TRun::liteLoad);
  row("100000 texts with fall-back", &TRun::oursLookup, &TRun::liteLookup);
  row("objects of 50 forms", &TRun::oursForms, &TRun::liteForms);
  return 0;
}
