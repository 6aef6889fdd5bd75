#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/rtl/classes.h"
#include "platform/rtl/dateutils.h"
#include "platform/rtl/filebytes.h"
#include "platform/rtl/registry.h"
#include "platform/rtl/sysutils.h"

namespace quintrel::rtl {
namespace {

namespace fs = std::filesystem;

// A scratch folder per test.
class Files : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("quintrel-rtl-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
            std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

TEST(Format, MessageConventions) {
  EXPECT_EQ(Format("Database error, corrupt block at offset $%x", 8256), "Database error, corrupt block at offset $2040");
  EXPECT_EQ(Format("table %2d and field %2d", 3, 12), "table  3 and field 12");
  EXPECT_EQ(Format("%s: %d", "x.zod", -5), "x.zod: -5");
  EXPECT_EQ(Format("[%-6s][%6s]", "ab", "cd"), "[ab    ][    cd]");
  EXPECT_EQ(Format("%.4d|%.2s|%4.1f", 7, "abcdef", 2.25), "0007|ab| 2.2");
  EXPECT_EQ(Format("%x", -1), "FFFFFFFF");
  EXPECT_EQ(Format("%.8x", 255), "000000FF");
  EXPECT_EQ(Format("%1:s %0:s %s", "a", "b"), "b a b");
  EXPECT_EQ(Format("%*d", 4, 42), "  42");
  EXPECT_EQ(Format("100%%"), "100%");
  EXPECT_EQ(Format("%n", 1234567.5), "1,234,567.50");
}

TEST(Format, MismatchedArgumentsAreErrorsNotCrashes) {
  EXPECT_THROW(Format("%d"), EConvertError);
  EXPECT_THROW(Format("%d", "text"), EConvertError);
  EXPECT_THROW(Format("%s", 3), EConvertError);
  EXPECT_THROW(Format("%q", 3), EConvertError);
  EXPECT_THROW(Format("trailing %"), EConvertError);
  EXPECT_THROW(Format("%5:s", "a"), EConvertError);
}

TEST(Conversions, IntegersAndHex) {
  EXPECT_EQ(IntToHex(0x2A, 4), "002A");
  EXPECT_EQ(IntToHex(0x12345, 2), "12345");
  EXPECT_EQ(StrToInt(" 42 "), 42);
  EXPECT_EQ(StrToInt("$FF"), 255);
  EXPECT_EQ(StrToInt("-0x10"), -16);
  int64_t v;
  EXPECT_FALSE(TryStrToInt("12a", v));
  EXPECT_FALSE(TryStrToInt("", v));
  EXPECT_FALSE(TryStrToInt("99999999999999999999", v));
  EXPECT_THROW(StrToInt("x"), EConvertError);
}

TEST(DateTime, DayCountFromTheEpoch) {
  EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 30, 0, 0, 0, 0), 0.0);
  EXPECT_DOUBLE_EQ(EncodeDateTime(2000, 1, 1, 0, 0, 0, 0), 36526.0);
  EXPECT_DOUBLE_EQ(EncodeDateTime(1900, 1, 1, 18, 0, 0, 0), 2.75);
  EXPECT_EQ(DateTimeToISO(EncodeDateTime(2026, 12, 6, 16, 5, 9, 0)), "2026-12-06 16:05:09");
  EXPECT_EQ(DateTimeToISO(1e300), "1.0000000000000001e+300");
  int y, mo, d, h, mi, s, ms;
  ASSERT_TRUE(DecodeDateTime(Now(), y, mo, d, h, mi, s, ms));
  EXPECT_GE(y, 2024);
}

TEST(Streams, MemoryStreamReadWriteSeek) {
  TMemoryStream m;
  m.WriteBuffer("abcdef", 6);
  EXPECT_EQ(m.Size(), 6);
  m.SetPosition(10);  // writing past the end fills the gap with zeros
  m.WriteBuffer("z", 1);
  EXPECT_EQ(m.Size(), 11);
  EXPECT_EQ(m.Bytes()[7], 0);
  m.SetPosition(4);
  char buf[10] = {};
  EXPECT_EQ(m.Read(buf, 10), 7u);
  EXPECT_EQ(std::string(buf, 2), "ef");
  m.SetPosition(9);
  EXPECT_THROW(m.ReadBuffer(buf, 5), EReadError);
  EXPECT_THROW(m.Seek(-1, TSeekOrigin::soBeginning), EStreamError);
  m.SetSize(3);
  EXPECT_EQ(m.Position(), 3);
}

TEST_F(Files, FileStreamModes) {
  std::string name = Path("f.bin");
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer("hello", 5);
  }
  {
    TFileStream f(name, fmOpenRead);
    EXPECT_EQ(f.Size(), 5);
    EXPECT_THROW(f.WriteBuffer("x", 1), EWriteError);
  }
  {
    TFileStream f(name, fmOpenReadWrite | fmShareDenyNone);
    f.Seek(0, TSeekOrigin::soEnd);
    f.WriteBuffer("!", 1);
  }
  TMemoryStream m;
  m.LoadFromFile(name);
  EXPECT_EQ(std::string(m.Bytes().begin(), m.Bytes().end()), "hello!");
  try {
    TFileStream missing(Path("none"), fmOpenRead);
    FAIL() << "opened a missing file";
  } catch (const EFOpenError& e) {
    EXPECT_NE(e.Message().find("none"), std::string::npos) << e.Message();
  }
  EXPECT_THROW(TFileStream(dir_.string(), fmOpenRead), EFOpenError);
  // A FIFO would block the open until a writer came and a device streams without end:
  // both are refused at once, whatever the mode.
  const std::string fifo = Path("pipe.zod");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& special : {fifo, std::string("/dev/zero")}) {
    for (uint16_t mode : {uint16_t(fmOpenRead), uint16_t(fmOpenReadWrite | fmShareDenyNone)}) {
      try {
        TFileStream f(special, mode);
        ADD_FAILURE() << "opened " << special;
      } catch (const EFOpenError& e) {
        EXPECT_NE(e.Message().find(special), std::string::npos) << e.Message();
      }
    }
  }
  EXPECT_TRUE(FileExists(name));
  EXPECT_FALSE(FileExists(dir_.string()));
}

// Whole-file reads of outside data: only regular files, never more than the bound, and
// a FIFO or device refused at once instead of waited on or streamed without end.
TEST_F(Files, RegularFilesUpToTheBound) {
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

TEST_F(Files, FifosDevicesFoldersAndHugeFilesAreRefusedUnread) {
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
