// Sharing a database file between processes: the header lock, the lock-file variant, the
// change counter that makes every process reload its catalogue.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

#include <fstream>

#include "platform/win32/files.h"
#include "storage/vardbs.h"
#include "tests/storage/db_fixture.h"

namespace quintrel::storage {
namespace {

using test::DbFixture;

class Locks : public DbFixture {
protected:
  static bool RangeIsFree(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR);
    bool free = win32::LockFileEx(fd, win32::LOCKFILE_EXCLUSIVE_LOCK | win32::LOCKFILE_FAIL_IMMEDIATELY, 64, 0, 0);
    ::close(fd);
    return free;
  }
};

TEST_F(Locks, NestedLocksAcquireOnceAndReleaseOnTheLast) {
  TCustomVarDB db("x");
  ASSERT_TRUE(db.OpenFile(Path("n.zod"), rtl::fmCreate));
  db.PlaceLock(true);
  db.PlaceLock(false);
  EXPECT_EQ(db.LockCount(), 2);
  EXPECT_FALSE(RangeIsFree(Path("n.zod")));
  db.ReleaseLock();
  EXPECT_FALSE(RangeIsFree(Path("n.zod")));
  db.ReleaseLock();
  EXPECT_EQ(db.LockCount(), 0);
  EXPECT_TRUE(RangeIsFree(Path("n.zod")));
  db.ReleaseLock();
  EXPECT_EQ(db.LockCount(), 0) << "an extra release is ignored";

  // Operations release their locks on failure paths too.
  EXPECT_THROW(db.AddTable("T A 5"), EDatabaseError);
  EXPECT_THROW(db.LoadBlock(12345), EBlockCorrupt);
  EXPECT_EQ(db.LockCount(), 0);
  EXPECT_TRUE(RangeIsFree(Path("n.zod")));

  TCustomVarDB memory("m");
  memory.PlaceLock(true);
  EXPECT_EQ(memory.LockCount(), 0) << "an in-memory database takes no locks";
}

// While one process holds the exclusive lock, another's read waits, then sees the table
// the first one added before it let go.
TEST_F(Locks, ReaderWaitsForWriterAndSeesItsChange) {
  Build("shared.zod", "First a N", [](TCustomVarDB&, int) {});
  TCustomVarDB reader("r");
  ASSERT_TRUE(reader.OpenFile(Path("shared.zod"), rtl::fmOpenReadWrite | rtl::fmShareDenyNone));
  ASSERT_EQ(reader.GetTableNr("Second"), -1);
  int32_t stamp = reader.HeaderStamp();

  test::TPipe ready;
  pid_t child = Spawn([&] {
    TCustomVarDB writer("w");
    if (!writer.OpenFile(Path("shared.zod"), rtl::fmOpenReadWrite | rtl::fmShareDenyNone)) return 2;
    writer.BeginTableUpdate();
    if (::write(ready[1], "1", 1) != 1) return 4;
    ::usleep(150 * 1000);
    writer.AddTable("Second b V");
    writer.EndTableUpdate();
    return 0;
  });
  char c;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  // The writer holds the lock now; this read can only finish after EndTableUpdate.
  EXPECT_EQ(reader.GetTableNr("Second"), 1);
  EXPECT_NE(reader.HeaderStamp(), stamp);
  EXPECT_EQ(reader.GetFieldNr(1, "b"), 1);
  EXPECT_EQ(Wait(child), 0);
}

// A lock the engine still holds goes with its file: switching to another file, closing it or
// destroying the engine gives it back, on the file and in this process's own bookkeeping
// (another engine may then lock it exclusively).
TEST_F(Locks, AHeldLockGoesWithItsFile) {
  {
    TCustomVarDB second("s");
    ASSERT_TRUE(second.OpenFile(Path("two.zod"), rtl::fmCreate));
  }
  auto lockable = [&](const std::string& name) {
    TCustomVarDB other("o");
    if (!other.OpenFile(Path(name), rtl::fmOpenReadWrite | rtl::fmShareDenyNone)) return false;
    other.BeginTableUpdate();
    other.EndTableUpdate();
    return RangeIsFree(Path(name));
  };
  {
    TCustomVarDB db("x");
    ASSERT_TRUE(db.OpenFile(Path("one.zod"), rtl::fmCreate));
    db.PlaceLock(true);
    ASSERT_TRUE(db.OpenFile(Path("two.zod"), rtl::fmOpenReadWrite | rtl::fmShareDenyNone));
    EXPECT_EQ(db.LockCount(), 0);
    EXPECT_TRUE(lockable("one.zod"));

    db.PlaceLock(false);
    EXPECT_FALSE(db.OpenFile("", 0));
    EXPECT_EQ(db.LockCount(), 0);
    EXPECT_TRUE(lockable("two.zod"));

    ASSERT_TRUE(db.OpenFile(Path("one.zod"), rtl::fmOpenReadWrite | rtl::fmShareDenyNone));
    db.PlaceLock(true);
    db.PlaceLock(true);
  }
  EXPECT_TRUE(lockable("one.zod"));
}

// Two engines of one process on one file: a conflicting lock would wait forever on this
// single thread, so it is refused at once.
TEST_F(Locks, ConflictInsideOneProcessIsReportedNotAHang) {
  TCustomVarDB a("a");
  ASSERT_TRUE(a.OpenFile(Path("same.zod"), rtl::fmCreate));
  a.AddTable("T t N");
  TCustomVarDB b("b");
  ASSERT_TRUE(b.OpenFile(Path("same.zod"), rtl::fmOpenReadWrite | rtl::fmShareDenyNone));
  a.BeginTableUpdate();
  EXPECT_THROW(b.GetTableNr("T"), ELockBusy);
  EXPECT_EQ(b.LockCount(), 0);
  a.EndTableUpdate();
  EXPECT_EQ(b.GetTableNr("T"), 0);
  a.PlaceLock(false);
  EXPECT_EQ(b.GetTableNr("T"), 0) << "shared locks coexist";
  a.ReleaseLock();
}

// A write asked for under a shared lock cannot raise it in place: two readers doing so at
// once would wait for each other forever. Each is refused, neither hangs, nothing changes.
TEST_F(Locks, AWriteUnderASharedLockIsRefusedInEveryProcess) {
  Build("s.zod", "T t N", [](TCustomVarDB& db, int t) { db.AddRecord(t); });
  test::TPipe ready, go;
  auto reader = [&] {
    ::alarm(20);  // a hang ends the child by a signal, which fails the test
    TCustomVarDB db("r");
    if (!db.OpenFile(Path("s.zod"), rtl::fmOpenReadWrite | rtl::fmShareDenyNone)) return 2;
    db.PlaceLock(false);
    char c;
    if (::write(ready[1], "1", 1) != 1 || ::read(go[0], &c, 1) != 1) return 4;
    try {
      db.AddRecord(0);
    } catch (const EDatabaseError&) {
      db.ReleaseLock();
      db.AddRecord(0);  // and once the shared lock is given back, the write goes through
      return 0;
    }
    return 1;
  };
  pid_t a = Spawn(reader);
  pid_t b = Spawn(reader);
  char c;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  ASSERT_EQ(::write(go[1], "11", 2), 2);
  EXPECT_EQ(Wait(a), 0);
  EXPECT_EQ(Wait(b), 0);
  TCustomVarDB db("x");
  ASSERT_TRUE(db.OpenFile(Path("s.zod"), rtl::fmOpenReadWrite | rtl::fmShareDenyNone));
  EXPECT_EQ(db.Table(0).Header.RecordCount, 3);
  EXPECT_TRUE(db.Check().empty());
}

TEST_F(Locks, LockFileIsUsedWhenPresent) {
  {
    TCustomVarDB db("x");
    ASSERT_TRUE(db.OpenFile(Path("Base.zod"), rtl::fmCreate));
  }
  std::ofstream(Path("Baseuln")) << "";
  test::TPipe ready, done;
  pid_t child = Spawn([&] {
    TCustomVarDB db("w");
    if (!db.OpenFile(Path("Base.zod"), rtl::fmOpenReadWrite | rtl::fmShareDenyNone)) return 2;
    db.PlaceLock(true);
    if (::write(ready[1], "1", 1) != 1) return 4;
    char c;
    if (::read(done[0], &c, 1) != 1) return 5;
    db.ReleaseLock();
    return 0;
  });
  char c;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  int probe = ::open(Path("Baseuln").c_str(), O_RDONLY);
  EXPECT_NE(::flock(probe, LOCK_SH | LOCK_NB), 0) << "the lock file is held exclusively";
  EXPECT_TRUE(RangeIsFree(Path("Base.zod"))) << "and the header range is not used";
  ASSERT_EQ(::write(done[1], "1", 1), 1);
  EXPECT_EQ(Wait(child), 0);
  EXPECT_EQ(::flock(probe, LOCK_SH | LOCK_NB), 0);
  ::close(probe);
}

// A read bracket holds one state of the file: a writer of another process waits for its end,
// the reader sees the same records throughout (long strides across blocks landing where
// single steps do), and the writer's records appear at the next operation after it.
TEST_F(Locks, ReadBracketKeepsOneStateWhileAWriterWaits) {
  constexpr int kRecords = 3000;  // texts of 200 bytes: some 80 blocks
  Build("bracket.zod", "T Num N Text V", [](TCustomVarDB& db, int t) {
    std::u16string text(100, u'x');
    db.BeginTableUpdate();
    for (int32_t i = 0; i < kRecords; ++i) {
      TFindRec fields[2] = {{1, &i, 4}, {2, text.data(), 200}};
      db.AddRecord(t, fields, 2);
    }
    db.EndTableUpdate();
  });
  TCustomVarDB reader("r");
  ASSERT_TRUE(reader.OpenFile(Path("bracket.zod"), rtl::fmOpenReadWrite | rtl::fmShareDenyNone));
  int t = reader.GetTableNr("T");
  auto num = [&] {
    int32_t v = -1;
    TFindRec field{1, &v, 4};
    reader.GetFields(t, &field, 1);
    return v;
  };
  auto count = [&] {
    int n = 0;
    if (reader.Top(t)) do ++n; while (reader.Step(t, 1));
    return n;
  };

  // The writer is started before the bracket: a child forked inside it would inherit this
  // process's count of its own locks and refuse its write as a conflict within one process.
  test::TPipe go, started, finished;
  pid_t child = Spawn([&] {
    TCustomVarDB writer("w");
    if (!writer.OpenFile(Path("bracket.zod"), rtl::fmOpenReadWrite | rtl::fmShareDenyNone)) return 2;
    char c;
    if (::read(go[0], &c, 1) != 1) return 6;
    int wt = writer.GetTableNr("T");  // a read: shared locks coexist
    if (::write(started[1], "1", 1) != 1) return 4;
    writer.Top(wt);
    writer.DeleteRecord(wt, true);
    writer.AddRecord(wt);
    if (::write(finished[1], "1", 1) != 1) return 5;
    return 0;
  });
  // A child that dies closes its ends: the reads below then fail instead of waiting.
  go.Close(0);
  started.Close(1);
  finished.Close(1);
  reader.BeginRead();
  EXPECT_TRUE(reader.InReadBracket());
  ASSERT_EQ(::write(go[1], "1", 1), 1);
  char c;
  ASSERT_EQ(::read(started[0], &c, 1), 1);
  ::usleep(200 * 1000);
  pollfd done{finished[0], POLLIN, 0};
  EXPECT_EQ(::poll(&done, 1, 0), 0) << "the writer waits for the bracket";
  EXPECT_EQ(count(), kRecords);
  ASSERT_TRUE(reader.Top(t));
  EXPECT_EQ(num(), 0) << "the writer's delete is not seen inside the bracket";
  ASSERT_TRUE(reader.Step(t, 2500));
  EXPECT_EQ(num(), 2500);
  ASSERT_TRUE(reader.Step(t, -2499));
  EXPECT_EQ(num(), 1);
  EXPECT_FALSE(reader.Step(t, 5000)) << "a stride past the end stops on the last record";
  EXPECT_EQ(num(), kRecords - 1);
  EXPECT_FALSE(reader.Step(t, -5000));
  EXPECT_EQ(num(), 0);
  EXPECT_THROW(reader.AddRecord(t), EDatabaseError) << "no write under the bracket's shared lock";
  EXPECT_EQ(count(), kRecords);
  reader.EndRead();
  EXPECT_FALSE(reader.InReadBracket());

  ASSERT_EQ(::read(finished[0], &c, 1), 1);
  EXPECT_EQ(Wait(child), 0);
  ASSERT_TRUE(reader.Top(t));
  EXPECT_EQ(num(), 1) << "the first record was deleted by the other process";
  EXPECT_EQ(count(), kRecords);
  {
    TReadBracket again(reader);
    EXPECT_EQ(reader.Table(t).Header.RecordCount, kRecords) << "the bracket's start read the catalogue";
  }
  EXPECT_EQ(reader.LockCount(), 0);
  EXPECT_TRUE(RangeIsFree(Path("bracket.zod")));

  // Inside a table update a bracket runs under the exclusive lock, and writes go on.
  reader.BeginTableUpdate();
  {
    TReadBracket nested(reader);
    reader.AddRecord(t);
  }
  reader.EndTableUpdate();
  EXPECT_EQ(count(), kRecords + 1);
}

}  // namespace
}  // namespace quintrel::storage
