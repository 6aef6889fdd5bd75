// The rollback journal: a write transaction reaches the file whole or not at all - after an
// exception, a failed write, a full device, or a writer that died at any write.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "platform/win32/files.h"
#include "storage/vardbs.h"
#include "tests/storage/db_fixture.h"
#include "tests/storage/workload.h"

namespace quintrel::storage {
namespace {

using test::DbFixture;
using test::kText;
using test::RunBracket;
using test::Snapshot;

constexpr uint16_t kShared = rtl::fmOpenReadWrite | rtl::fmShareDenyNone;

// The file operation at which the hook acts (counted from 1), and what it does there.
int gCalls = 0;
int gAt = 0;
int gError = 0;  // 0: the process dies there
int CountingHook(unsigned /*kind*/) {
  if (++gCalls != gAt) return 0;
  if (gError == 0) ::_exit(7);
  return gError;
}
void HookAt(int at, int error) {
  gCalls = 0;
  gAt = at;
  gError = error;
  win32::SetFileHook(CountingHook);
}

class Journal : public DbFixture {
protected:
  void SetUp() override {
    DbFixture::SetUp();
    // Syncing on: its calls are among the points where a writer may die or fail.
    ::setenv("QUINTREL_SYNC", "on", 1);
    path_ = Path("m.zod");
    {
      TCustomVarDB db("m");
      ASSERT_TRUE(db.OpenFile(path_, rtl::fmCreate));
      test::CreateWorkloadTables(db);
      for (uint32_t n = 1; n <= 40; ++n) RunBracket(db, n);
    }
    before_ = ReadFile("m.zod");
    beforeSeen_ = Reopen();
  }
  void TearDown() override {
    win32::ClearFileFault();
    DbFixture::TearDown();
  }
  bool JournalExists() const { return std::filesystem::exists(path_ + "-journal"); }
  // Opens the file in a fresh engine (rolling back what a dead writer left), checks it
  // and gives its snapshot.
  std::string Reopen(uint16_t mode = kShared) {
    TCustomVarDB db("m");
    EXPECT_TRUE(db.OpenFile(path_, mode));
    ExpectSound(db);
    return Snapshot(db);
  }
  // Runs workload bracket `number` (or `run`) in a child that dies at file operation `at`;
  // true when it died there, false when the bracket finished first.
  bool CrashAt(int at, uint32_t number) {
    return CrashRunning(at, [number](TCustomVarDB& db) { RunBracket(db, number); });
  }
  template <typename TRun>
  bool CrashRunning(int at, TRun&& run) {
    const int code = Wait(Spawn([&] {
      TCustomVarDB db("m");
      db.OpenFile(path_, kShared);
      HookAt(at, 0);
      run(db);
      return 0;
    }));
    EXPECT_TRUE(code == 0 || code == 7) << "the writer ended with " << code;
    return code == 7;
  }

  // `count` records with a text of 1500 units, in one update.
  static void AddTexts(TCustomVarDB& db, int count) {
    int t = db.GetTableNr("T");
    std::u16string text(1500, u'x');
    db.BeginTableUpdate();
    for (int i = 0; i < count; ++i) {
      TFindRec field{kText, text.data(), static_cast<int32_t>(2 * text.size())};
      db.AddRecord(t, &field, 1);
    }
    db.EndTableUpdate();
  }

  std::string path_;
  std::string before_;      // the file's bytes after the set-up
  std::string beforeSeen_;  // and what a reader sees in it
};

TEST_F(Journal, ATransactionReachesTheFileAtItsEndAndLeavesNoJournal) {
  TCustomVarDB db("m");
  ASSERT_TRUE(db.OpenFile(path_, kShared));
  db.BeginTableUpdate();
  int t = db.GetTableNr("T");
  for (int i = 0; i < 300; ++i) db.AddRecord(t);
  EXPECT_EQ(ReadFile("m.zod"), before_) << "nothing is written before the commit";
  db.EndTableUpdate();
  EXPECT_NE(ReadFile("m.zod"), before_);
  EXPECT_FALSE(JournalExists());
  EXPECT_EQ(Reopen(), Snapshot(db));
}

TEST_F(Journal, AnExceptionLeavingTheOutermostLockUndoesTheWholeTransaction) {
  TCustomVarDB db("m");
  ASSERT_TRUE(db.OpenFile(path_, kShared));
  int t = db.GetTableNr("T");
  try {
    TDbLock lock(db, true);
    for (int i = 0; i < 300; ++i) db.AddRecord(t);
    db.DeleteTable(db.GetTableNr("Aux"));
    // Reading the catalogue again writes what waits, journal first: the rollback has
    // blocks in the file to undo, not only in memory.
    db.ReadTables();
    EXPECT_TRUE(JournalExists());
    throw std::runtime_error("stop");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(ReadFile("m.zod"), before_);
  EXPECT_FALSE(JournalExists());
  EXPECT_EQ(Snapshot(db), beforeSeen_) << "the engine reads the file again";
  RunBracket(db, 99);
  EXPECT_TRUE(db.Check().empty());
}

TEST_F(Journal, AnUpdateAbandonedByAnExceptionIsRolledBackWithItsEngine) {
  try {
    TCustomVarDB db("m");
    ASSERT_TRUE(db.OpenFile(path_, kShared));
    db.BeginTableUpdate();
    for (int i = 0; i < 500; ++i) db.AddRecord(db.GetTableNr("T"));
    db.ReadTables();  // some of it reaches the file
    throw std::runtime_error("stop");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(ReadFile("m.zod"), before_);
  EXPECT_FALSE(JournalExists());
}

TEST_F(Journal, AnErrorInsideABracketGivesUpItsWholeTransactionEvenWhenCaught) {
  TCustomVarDB db("m");
  ASSERT_TRUE(db.OpenFile(path_, kShared));
  int t = db.GetTableNr("T");
  auto unchanged = [&](const char* what) {
    EXPECT_TRUE(ReadFile("m.zod") == before_) << what;
    EXPECT_FALSE(JournalExists()) << what;
    EXPECT_TRUE(Snapshot(db) == beforeSeen_) << what;
  };
  // A bracket inside a lock, left by an error that the code around it catches: what it did
  // cannot be undone alone, so the outer commit rolls everything back and says so.
  try {
    TDbLock outer(db, true);
    for (int i = 0; i < 50; ++i) db.AddRecord(t);
    try {
      TUpdateBracket bracket(db);
      for (int i = 0; i < 300; ++i) db.AddRecord(t);
      db.ReadTables();  // some of it reaches the file
      throw std::runtime_error("stop");
    } catch (const std::runtime_error&) {
    }
    db.AddRecord(t);
  } catch (const EDatabaseError& e) {
    EXPECT_NE(std::string(e.Message()).find(path_ + ": the update was given up"), std::string::npos) << e.Message();
  }
  unchanged("nested bracket");

  // The outermost bracket left without its commit: rolled back at once, nothing raised.
  {
    TUpdateBracket bracket(db);
    for (int i = 0; i < 300; ++i) db.AddRecord(t);
    db.ReadTables();
  }
  unchanged("outermost bracket");

  // A write failing in the middle of an update, caught by the caller: the rest of the
  // update cannot be committed without the blocks that failed.
  db.BeginTableUpdate();
  for (int i = 0; i < 300; ++i) db.AddRecord(t);
  HookAt(1, ENOSPC);
  EXPECT_THROW(db.ReadTables(), EDatabaseError);
  win32::ClearFileFault();
  db.AddRecord(t);
  EXPECT_THROW(db.EndTableUpdate(), EDatabaseError);
  unchanged("failed write inside the update");

  RunBracket(db, 99);
  EXPECT_TRUE(db.Check().empty());
  EXPECT_NE(ReadFile("m.zod"), before_);
}

TEST_F(Journal, AWriterDyingAtAnyFileOperationLeavesTheStateBeforeOrAfter) {
  int crashes = 0;
  for (int at = 1; CrashAt(at, 1234); ++at) {
    ++crashes;
    // The dead writer's journal is rolled back by the next lock of any process.
    EXPECT_EQ(Reopen(), beforeSeen_) << "died at operation " << at;
    EXPECT_EQ(ReadFile("m.zod"), before_) << "died at operation " << at;
    EXPECT_FALSE(JournalExists());
  }
  EXPECT_GT(crashes, 5) << "journal, its sync, the blocks, the header, the file's sync";
  TCustomVarDB db("m");
  ASSERT_TRUE(db.OpenFile(path_, kShared));
  std::string after = Snapshot(db);
  EXPECT_NE(after, beforeSeen_);
}

// A transaction that changes a few hundred blocks: its journal is written in several
// pieces before the sync, and a writer dying between them, or anywhere among the blocks
// after them, still leaves the state before or after.
TEST_F(Journal, AJournalWrittenInPiecesRollsBackAsWhole) {
  {
    TCustomVarDB db("m");
    ASSERT_TRUE(db.OpenFile(path_, kShared));
    TUpdateBracket update(db);
    int t = db.GetTableNr("T");
    std::string blob(6000, 'x');
    for (int32_t key = 0; key < 170; ++key) {
      TFindRec fields[2] = {{test::kKey, &key, 4}, {test::kBlob, blob.data(), static_cast<int32_t>(blob.size())}};
      db.AddRecord(t, fields, 2);
    }
    update.Commit();
  }
  std::string before = ReadFile("m.zod");
  std::string beforeSeen = Reopen();
  auto deleteAll = [](TCustomVarDB& db) {
    TUpdateBracket update(db);
    int t = db.GetTableNr("T");
    while (db.Top(t) && db.DeleteRecord(t, true)) {
    }
    update.Commit();
  };
  int crashes = 0;
  for (int at = 1; CrashRunning(at, deleteAll); at += at < 12 ? 1 : 37) {
    ++crashes;
    EXPECT_EQ(Reopen(), beforeSeen) << "died at operation " << at;
    EXPECT_EQ(ReadFile("m.zod"), before) << "died at operation " << at;
  }
  EXPECT_GT(crashes, 14) << "several journal pieces and many blocks";
  TCustomVarDB db("m");
  ASSERT_TRUE(db.OpenFile(path_, kShared));
  EXPECT_EQ(db.Table(db.GetTableNr("T")).Header.RecordCount, 0);
}

TEST_F(Journal, DamagedOrForeignJournalsAreDiscardedAndReadOnlyOpensRollBack) {
  // Torn before its header was complete: the file was not written yet.
  WriteFile("m.zod-journal", std::string(40, 'J'));
  EXPECT_EQ(Reopen(), beforeSeen_);
  EXPECT_FALSE(JournalExists());

  // A journal whose records were cut short: every whole record is old content, so writing
  // them back is harmless, and the rest never reached the file.
  int at = 2;  // the journal's first write went out, its sync did not
  ASSERT_TRUE(CrashAt(at, 77));
  std::string journal = ReadFile("m.zod-journal");
  size_t cut = 64 + 16 + 8192 + 10;
  ASSERT_GT(journal.size(), cut);
  WriteFile("m.zod-journal", journal.substr(0, cut));
  EXPECT_EQ(Reopen(), beforeSeen_);
  EXPECT_EQ(ReadFile("m.zod"), before_);

  // A journal of another database (the file was replaced since) is not applied to this one.
  std::filesystem::rename(path_, Path("old.zod"));
  {
    TCustomVarDB other("m");
    ASSERT_TRUE(other.OpenFile(path_, rtl::fmCreate));
    other.AddTable("Other X N");
  }
  std::string replaced = ReadFile("m.zod");
  WriteFile("m.zod-journal", journal);
  Reopen();
  EXPECT_EQ(ReadFile("m.zod"), replaced);
  EXPECT_FALSE(JournalExists());
  std::filesystem::rename(Path("old.zod"), path_);

  // A reader finds a dead writer's journal: it rolls back before reading.
  for (at = 1; CrashAt(at, 5); ++at)
    if (ReadFile("m.zod") != before_) break;
  ASSERT_NE(ReadFile("m.zod"), before_) << "a crash with the file half written";
  EXPECT_EQ(Reopen(rtl::fmOpenRead), beforeSeen_);
  EXPECT_EQ(ReadFile("m.zod"), before_);
}

TEST_F(Journal, AFailedWriteOrSyncLeavesTheFileAsItWasAndTheNextWriteWorks) {
  bool finished = false;
  for (int at = 1; !finished && at < 200; ++at) {
    WriteFile("m.zod", before_);
    TCustomVarDB db("m");
    ASSERT_TRUE(db.OpenFile(path_, kShared));
    HookAt(at, at % 2 ? ENOSPC : EIO);
    try {
      RunBracket(db, 4321);
      finished = true;
    } catch (const EDatabaseError& e) {
      EXPECT_NE(std::string(e.Message()).find(path_), std::string::npos) << e.Message();
      EXPECT_EQ(ReadFile("m.zod"), before_) << "failed at operation " << at << ": " << e.Message();
      EXPECT_FALSE(JournalExists());
    }
    win32::ClearFileFault();
    RunBracket(db, 4322);
    EXPECT_TRUE(db.Check().empty());
  }
  EXPECT_TRUE(finished);

  // A device that stays full: even the rollback cannot write, so the journal stays and the
  // next lock, once there is room, undoes the transaction.
  WriteFile("m.zod", before_);
  for (int at = 3; at < 12; ++at) {
    TCustomVarDB db("m");
    ASSERT_TRUE(db.OpenFile(path_, kShared));
    win32::InjectFileFault(win32::kFaultWrite | win32::kFaultFlush | win32::kFaultTruncate, at, ENOSPC);
    EXPECT_THROW(RunBracket(db, 4321), EDatabaseError);
    win32::ClearFileFault();
    EXPECT_EQ(Snapshot(db), beforeSeen_) << at;
    EXPECT_EQ(ReadFile("m.zod"), before_) << at;
  }
}

TEST_F(Journal, AFileSizeLimitReachedMidUpdateChangesNothing) {
  int code = Wait(Spawn([&] {
    // The limit lets the journal through but stops the file growing: the failure comes
    // while the database is being written.
    std::signal(SIGXFSZ, SIG_IGN);
    const auto room = static_cast<rlim_t>(before_.size() + 3 * kBlockSize);
    rlimit limit{room, room};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    TCustomVarDB db("m");
    db.OpenFile(path_, kShared);
    try {
      AddTexts(db, 200);
    } catch (const EDatabaseError& e) {
      return std::string(e.Message()).find(path_) != std::string::npos ? 0 : 4;
    }
    return 5;
  }));
  EXPECT_EQ(code, 0) << "4: the error does not name the file, 5: no error";
  EXPECT_EQ(ReadFile("m.zod"), before_);
  EXPECT_FALSE(JournalExists());
  TCustomVarDB db("m");
  ASSERT_TRUE(db.OpenFile(path_, kShared));
  RunBracket(db, 8);
  EXPECT_TRUE(db.Check().empty());
}

// A real full device: a small memory file system, mounted in a mount namespace of a child
// of its own (skipped where the container does not allow mounting).
TEST_F(Journal, AFullFileSystemLosesNothingAndTheWriteWorksOnceThereIsRoom) {
  std::string mount = Path("small");
  std::filesystem::create_directories(mount);
  std::string file = mount + "/m.zod";
  // Room for the file and a little more: the journal fits, the new blocks do not.
  std::string size = "size=" + std::to_string(FileSize("m.zod") + 12 * kBlockSize);
  int code = Wait(Spawn([&] {
    if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", mount.c_str(), "tmpfs", 0, size.c_str()) != 0)
      return 10;
    std::filesystem::copy_file(path_, file);
    TCustomVarDB db("m");
    if (!db.OpenFile(file, kShared)) return 2;
    try {
      AddTexts(db, 400);
      return 7;  // it all fitted
    } catch (const EDatabaseError& e) {
      if (std::string(e.Message()).find(file) == std::string::npos) return 4;
    }
    if (ReadFile("small/m.zod") != before_ || std::filesystem::exists(file + "-journal")) return 5;
    if (::mount("tmpfs", mount.c_str(), "tmpfs", MS_REMOUNT, "size=64m") != 0) return 11;
    AddTexts(db, 400);
    return db.Check().empty() && db.Table(db.GetTableNr("T")).Header.RecordCount > 400 ? 0 : 6;
  }));
  if (code == 10) GTEST_SKIP() << "no small file system can be mounted here";
  EXPECT_EQ(code, 0) << "3: the write after it failed, 4: the error does not name the file, 5: the file changed, "
                        "6: the file is unsound after it, 7: no failure, 11: no remount";
}

}  // namespace
}  // namespace quintrel::storage
