#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/win32/files.h"

namespace quintrel::win32 {
namespace {

class FileLocks : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("quintrel-win32-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "data.bin").string();
    std::ofstream(path_) << std::string(128, 'x');
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
  std::string path_;
};

// The locks belong to the open file, not the process: a second open of the same file in
// this process is refused while the first holds the range, and closing releases it.
TEST_F(FileLocks, RangeLocksBelongToTheOpenFile) {
  int a = ::open(path_.c_str(), O_RDWR);
  int b = ::open(path_.c_str(), O_RDWR);
  ASSERT_TRUE(LockFileEx(a, LOCKFILE_EXCLUSIVE_LOCK, 64, 0, 0));
  EXPECT_FALSE(LockFileEx(b, LOCKFILE_FAIL_IMMEDIATELY, 64, 0, 0));
  EXPECT_TRUE(LockFileEx(b, LOCKFILE_FAIL_IMMEDIATELY, 64, 0, 64)) << "bytes beyond the range are free";
  ASSERT_TRUE(UnlockFileEx(a, 64, 0, 0));
  EXPECT_TRUE(LockFileEx(b, LOCKFILE_FAIL_IMMEDIATELY, 64, 0, 0)) << "shared after release";
  EXPECT_TRUE(LockFileEx(a, LOCKFILE_FAIL_IMMEDIATELY, 64, 0, 0)) << "two shared locks coexist";
  EXPECT_FALSE(LockFileEx(a, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 64, 0, 0));
  ::close(b);
  EXPECT_TRUE(LockFileEx(a, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 64, 0, 0)) << "close released b";
  ::close(a);
  EXPECT_FALSE(LockFileEx(-1, 0, 64, 0, 0));
}

// A blocking request waits for the holder in another process and then proceeds.
TEST_F(FileLocks, BlockingLockWaitsForAnotherProcess) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t child = ::fork();
  if (child == 0) {
    int fd = ::open(path_.c_str(), O_RDWR);
    LockFileEx(fd, LOCKFILE_EXCLUSIVE_LOCK, 64, 0, 0);
    ::write(ready[1], "1", 1);
    ::usleep(200 * 1000);
    // Written while holding the lock: the waiting parent must see it.
    ::pwrite(fd, "DONE", 4, 0);
    UnlockFileEx(fd, 64, 0, 0);
    ::_exit(0);
  }
  char c;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  int fd = ::open(path_.c_str(), O_RDWR);
  ASSERT_TRUE(LockFileEx(fd, 0, 64, 0, 0));
  char head[4];
  ASSERT_EQ(::pread(fd, head, 4, 0), 4);
  EXPECT_EQ(std::string(head, 4), "DONE");
  UnlockFileEx(fd, 64, 0, 0);
  ::close(fd);
  int status;
  ::waitpid(child, &status, 0);
  ::close(ready[0]);
  ::close(ready[1]);
}

TEST_F(FileLocks, LopenShareModes) {
  EXPECT_EQ(_lopen((dir_ / "missing").string(), OF_READ), HFILE_ERROR);
  HFILE exclusive = _lopen(path_, OF_READ | OF_SHARE_EXCLUSIVE);
  ASSERT_NE(exclusive, HFILE_ERROR);
  int probe = ::open(path_.c_str(), O_RDONLY);
  EXPECT_NE(::flock(probe, LOCK_SH | LOCK_NB), 0) << "exclusive share holds the whole file";
  EXPECT_EQ(_lclose(exclusive), 0);
  EXPECT_EQ(::flock(probe, LOCK_SH | LOCK_NB), 0);
  HFILE denyWrite = _lopen(path_, OF_READ | OF_SHARE_DENY_WRITE);
  ASSERT_NE(denyWrite, HFILE_ERROR) << "deny-write openers share";
  EXPECT_NE(::flock(probe, LOCK_EX | LOCK_NB), 0);
  _lclose(denyWrite);
  ::close(probe);
  EXPECT_EQ(_lclose(-1), HFILE_ERROR);
}

}  // namespace
}  // namespace quintrel::win32
