#include "text/unicode.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace quintrel::text {
namespace {

// A registered buffer holding `text`, owned by the test.
TWideBuffer Wide(std::u16string_view text) { return TWideBuffer(StrNewW(text)); }

TEST(WideRegistry, RemembersTheCapacityOfEveryBufferItAllocated) {
  const int32_t before = RegisteredCountW();
  EXPECT_EQ(StrAllocW(0), nullptr);
  EXPECT_EQ(StrAllocW(-4), nullptr);
  EXPECT_EQ(StrSizeW(nullptr), 0);

  char16_t* s = StrAllocW(5);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s[5], 0);
  EXPECT_EQ(StrSizeW(s), 5);
  EXPECT_EQ(RegisteredCountW(), before + 1);
  StrDisposeW(s);
  EXPECT_EQ(s, nullptr);
  EXPECT_EQ(RegisteredCountW(), before);
  StrDisposeW(s);  // null: nothing

  // Many live buffers at once, each with its own size.
  std::vector<char16_t*> buffers;
  for (int i = 1; i <= 5000; ++i) buffers.push_back(StrAllocW(i % 300 + 1));
  EXPECT_EQ(RegisteredCountW(), before + 5000);
  for (int i = 1; i <= 5000; ++i) ASSERT_EQ(StrSizeW(buffers[i - 1]), i % 300 + 1);
  for (char16_t*& buffer : buffers) StrDisposeW(buffer);
  EXPECT_EQ(RegisteredCountW(), before);

  // Buffers it did not allocate are left alone.
  char16_t own[] = u"mine";
  EXPECT_EQ(StrSizeW(own), 0);
  char16_t* alias = own;
  StrDisposeW(alias);
  EXPECT_EQ(alias, nullptr);
  EXPECT_EQ(std::u16string(own), u"mine");
  EXPECT_EQ(RegisteredCountW(), before);
  {
    TWideBuffer owned(StrAllocW(3));
    EXPECT_EQ(RegisteredCountW(), before + 1);
  }
  EXPECT_EQ(RegisteredCountW(), before);
}

TEST(WideRegistry, ReleasesLiveBuffersAtTheEndOfTheProcess) {
  // A child leaves buffers behind and ends normally: the registry's finalisation frees
  // them, or the leak checker of a sanitised build fails the child.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    for (int i = 1; i <= 100; ++i) StrAllocW(i);
    std::exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

TEST(WideString, NullIsTheEmptyString) {
  EXPECT_EQ(LenW(nullptr), 0);
  EXPECT_TRUE(IsEmptyW(nullptr));
  EXPECT_TRUE(IsEmptyW(u""));
  EXPECT_FALSE(IsEmptyW(u"a"));
  EXPECT_EQ(LenW(u"abc"), 3);
  EXPECT_EQ(ToU16(nullptr), u"");
  EXPECT_EQ(StrNewW(u""), nullptr);
  EXPECT_EQ(PosW(nullptr, u"abc"), -1);
  EXPECT_EQ(PosW(u"a", nullptr), -1);
  EXPECT_EQ(WideToUtf8(static_cast<const char16_t*>(nullptr)), "");
}

TEST(WideString, StrCopyWStopsAfterTheTerminatorOrAtN) {
  char16_t dest[8];
  std::u16string(7, u'Z').copy(dest, 7);
  dest[7] = 0;
  StrCopyW(dest, u"ab", 10);
  EXPECT_EQ(std::u16string(dest, 8), std::u16string(u"ab\0ZZZZ\0", 8));  // nothing past the 0
  StrCopyW(dest, u"wxyz", 2);
  EXPECT_EQ(std::u16string(dest, 4), std::u16string(u"wx\0Z", 4));  // n units, no terminator added
  StrCopyW(dest, nullptr, 5);
  EXPECT_EQ(dest[0], 0);
  StrCopyW(nullptr, u"ab", 2);  // nothing to write to
}

TEST(WideString, PosWFindsTheFirstOccurrence) {
  EXPECT_EQ(PosW(u"cd", u"abcdcd"), 2);
  EXPECT_EQ(PosW(u"ab", u"abcdcd"), 0);
  EXPECT_EQ(PosW(u"", u"abc"), -1);
  EXPECT_EQ(PosW(u"ce", u"abcdcd"), -1);
  EXPECT_EQ(PosW(u"abcdcdx", u"abcdcd"), -1);
}

TEST(WideString, DeleteWRemovesWithinTheString) {
  const int32_t before = RegisteredCountW();
  TWideBuffer s = Wide(u"abcdef");
  char16_t* raw = s.release();
  DeleteW(raw, 3, 2);
  EXPECT_EQ(ToU16(raw), u"abef");
  EXPECT_EQ(StrSizeW(raw), 4);
  DeleteW(raw, 3, 100);  // more than is left
  EXPECT_EQ(ToU16(raw), u"ab");
  char16_t* const kept = raw;
  DeleteW(raw, 4, 1);  // past the end
  DeleteW(raw, 0, 1);
  DeleteW(raw, 1, 0);
  EXPECT_EQ(raw, kept);
  DeleteW(raw, 1, 2);
  EXPECT_EQ(raw, nullptr);
  DeleteW(raw, 1, 1);
  EXPECT_EQ(raw, nullptr);
  EXPECT_EQ(RegisteredCountW(), before);  // every old buffer was disposed
}

TEST(WideString, InsertWPlacesUnitsBeforeTheIndex) {
  const int32_t before = RegisteredCountW();
  char16_t* s = StrNewW(u"abc");
  InsertW(s, u"XY", 2, 2);
  EXPECT_EQ(ToU16(s), u"aXYbc");
  EXPECT_EQ(StrSizeW(s), 5);
  InsertW(s, u"<", 1, 1);
  InsertW(s, u">!", 7, 1);  // at LenW + 1: appended
  EXPECT_EQ(ToU16(s), u"<aXYbc>");
  InsertW(s, u"#", 99, 1);  // beyond the end: appended as well
  InsertW(s, u"PQ", 2, 9);  // count cut to the substring
  EXPECT_EQ(ToU16(s), u"<PQaXYbc>#");
  char16_t* const kept = s;
  InsertW(s, nullptr, 1, 1);
  InsertW(s, u"Z", 1, 0);
  InsertW(s, u"", 1, 1);
  EXPECT_EQ(s, kept);
  StrDisposeW(s);
  InsertW(s, u"new", 5, 3);
  EXPECT_EQ(ToU16(s), u"new");
  StrDisposeW(s);
  EXPECT_EQ(RegisteredCountW(), before);
}

TEST(WideString, CompareWOrdersAsKeysDo) {
  EXPECT_EQ(CompareW(u"", u"", 0, 0), -65535);
  EXPECT_EQ(CompareW(nullptr, nullptr, 0, 0), -65535);
  EXPECT_EQ(CompareW(nullptr, u"a", 1, 1), -65535);
  EXPECT_EQ(CompareW(u"a", u"", 1, 0), -65535);  // empty on either side, never equal
  EXPECT_EQ(CompareW(u"abc", u"abd", 3, 3), -1);
  EXPECT_EQ(CompareW(u"ab", u"abc", 2, 3), -1);
  EXPECT_EQ(CompareW(u"abc", u"ab", 3, 2), 1);
  EXPECT_EQ(CompareW(u"abc", u"abc", 3, 3), 0);
  EXPECT_EQ(CompareW(u"\xFFFF", u"a", 1, 1), 0xFFFF - u'a');  // units are unsigned
  EXPECT_EQ(CompareW(u"ab", u"abc", 3, 4), -u'c');            // the terminator compares as 0
  EXPECT_EQ(CompareW(u"ab", u"ab", -1, 2), -65535);
  // Equal up to a common terminator: nothing after it is read, the lengths decide.
  const char16_t a[] = {u'a', 0, u'x'};
  const char16_t b[] = {u'a', 0, u'y'};
  EXPECT_EQ(CompareW(a, b, 3, 3), 0);
  EXPECT_EQ(CompareW(a, b, 3, 2), 1);
}

TEST(WideString, PointerStepsAndCharacterClasses) {
  const char16_t text[] = u"abcd";
  EXPECT_EQ(IncPtrW(text, 2), text + 2);
  EXPECT_EQ(IncPtr(static_cast<const void*>(text), 2), static_cast<const void*>(text + 1));
  EXPECT_EQ(IncPtrW(static_cast<const char16_t*>(nullptr), 3), nullptr);

  EXPECT_TRUE(IsVisibleW(u'A'));
  EXPECT_TRUE(IsVisibleW(u'\x4E2D'));
  for (const char16_t c : {u' ', u'\t', u'\x00A0', u'\x3000', u'\xD800', u'\xFEFF', u'\x200B'}) {
    EXPECT_FALSE(IsVisibleW(c)) << static_cast<int>(c);
  }
  for (const char16_t c : {u' ', u',', u'.', u'(', u'\n', u'\x3002'}) EXPECT_TRUE(IsDelimiterW(c));
  for (const char16_t c : {u'a', u'_', u'7', u'\x00E9'}) EXPECT_FALSE(IsDelimiterW(c));
}

}  // namespace
}  // namespace quintrel::text
