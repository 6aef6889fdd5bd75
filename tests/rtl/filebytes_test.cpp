// Whole-file reads of outside data: only regular files, never more than the bound, and
// a FIFO or device refused at once instead of waited on or streamed without end.
#include "platform/rtl/filebytes.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/rtl/registry.h"

namespace quintrel::rtl {
namespace {

namespace fs = std::filesystem;

class FileBytes : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("quintrel-filebytes-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
            "-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

TEST_F(FileBytes, RegularFilesUpToTheBound) {
  std::ofstream(Path("ten"), std::ios::binary) << std::string("0123456789");
  TFileBytes r = ReadRegularFile(Path("ten"), 10);
  ASSERT_TRUE(r) << r.Reason();
  EXPECT_EQ(r.Data, "0123456789");
  r = ReadRegularFile(Path("ten"), 9);
  EXPECT_EQ(r.Fault, TReadFault::rfTooLarge);
  EXPECT_EQ(r.Reason(), "larger than 9 bytes");

  std::ofstream(Path("empty"), std::ios::binary);
  r = ReadRegularFile(Path("empty"), 10);
  ASSERT_TRUE(r);
  EXPECT_EQ(r.Data, "");

  // Files of the system report no size and are read to their end, within the bound.
  r = ReadRegularFile("/proc/self/status", 1 << 20);
  ASSERT_TRUE(r) << r.Reason();
  EXPECT_NE(r.Data.find("Pid:"), std::string::npos);
  EXPECT_EQ(ReadRegularFile("/proc/self/status", 16).Fault, TReadFault::rfTooLarge);

  r = ReadRegularFile(Path("missing"), 10);
  EXPECT_EQ(r.Fault, TReadFault::rfSystem);
  EXPECT_EQ(r.Reason(), "No such file or directory");
}

TEST_F(FileBytes, FifosDevicesFoldersAndHugeFilesAreRefusedUnread) {
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  for (const std::string& name : {Path("fifo"), std::string("/dev/zero"), dir_.string()}) {
    const TFileBytes r = ReadRegularFile(name, 1 << 20);
    EXPECT_EQ(r.Fault, TReadFault::rfNotRegular) << name;
    EXPECT_EQ(r.Reason(), "not a regular file");
  }
  std::ofstream(Path("sparse"), std::ios::binary);
  fs::resize_file(Path("sparse"), std::uintmax_t{1} << 40);
  EXPECT_EQ(ReadRegularFile(Path("sparse"), 64 << 20).Reason(), "larger than 64 MB");

  // Two spellings of one file are one file.
  fs::create_symlink("sparse", Path("alias"));
  EXPECT_EQ(FileIdOf(Path("alias")), FileIdOf(dir_.string() + "/./sparse"));
  EXPECT_NE(FileIdOf(Path("alias")), FileIdOf(Path("fifo")));
  EXPECT_NE(FileIdOf(Path("gone1")), FileIdOf(Path("gone2")));

  // The registry, too, refuses a FIFO planted as its file.
  TRegIniFile registry("Software\\Test", Path("fifo"));
  EXPECT_THROW(registry.ReadString("S", "V", ""), ERegistryException);
}

}  // namespace
}  // namespace quintrel::rtl
