#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/rtl/classes.h"
#include "platform/rtl/dateutils.h"
#include "platform/rtl/sysutils.h"

namespace quintrel::rtl {
namespace {

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

TEST(Streams, FileStreamModes) {
  auto dir = std::filesystem::temp_directory_path() / ("quintrel-rtl-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::string name = (dir / "f.bin").string();
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
    TFileStream missing((dir / "none").string(), fmOpenRead);
    FAIL() << "opened a missing file";
  } catch (const EFOpenError& e) {
    EXPECT_NE(e.Message().find("none"), std::string::npos) << e.Message();
  }
  EXPECT_THROW(TFileStream(dir.string(), fmOpenRead), EFOpenError);
  // A FIFO would block the open until a writer came and a device streams without end:
  // both are refused at once, whatever the mode.
  const std::string fifo = (dir / "pipe.zod").string();
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
  EXPECT_FALSE(FileExists(dir.string()));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace quintrel::rtl
