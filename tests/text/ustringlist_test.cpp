#include "text/ustringlist.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "text/unicode.h"

namespace quintrel::text {
namespace {

using Items = std::vector<std::u16string>;

Items ItemsOf(const TUStringList& list) {
  Items items;
  for (int32_t i = 0; i < list.Count(); ++i) items.push_back(list.Strings(i));
  return items;
}

void Fill(TUStringList& list, const Items& items) {
  for (const auto& s : items) list.Add(s);
}

std::vector<uint8_t> BytesOf(std::u16string_view s) {
  std::vector<uint8_t> bytes;
  for (char16_t c : s) bytes.insert(bytes.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
  return bytes;
}

// An item of n units whose content depends on `key`, so misplaced items show.
std::u16string Item(uint32_t key, size_t n) {
  std::u16string s(n, u'a');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char16_t>(u'a' + (key + i * 7) % 26);
  return s;
}

TEST(UStringListText, WritesEscapesAndReadsThemAndEveryLineBreakBack) {
  TUStringList list;
  Fill(list, {u"a\\b", u"x\ny", u""});
  EXPECT_EQ(list.Text(), u"a\\\\b\r\nx\\ny\r\n\r\n");
  TUStringList back;
  back.SetText(list.Text());
  EXPECT_EQ(ItemsOf(back), ItemsOf(list));

  const Items every = {u"", u"\t\n\r\\", u"", u"\\n is not a break", u"tail\\", u""};
  list.Clear();
  Fill(list, every);
  back.SetText(list.Text());
  EXPECT_EQ(ItemsOf(back), every);

  char16_t* text = list.GetTextStr();
  EXPECT_EQ(ToU16(text), list.Text());
  StrDisposeW(text);
  list.Clear();
  EXPECT_EQ(list.GetTextStr(), nullptr);

  // Every line break, and loose backslashes.
  list.SetText(u"a\rb\nc");
  EXPECT_EQ(ItemsOf(list), (Items{u"a", u"b", u"c"}));
  list.SetText(u"one\r\n\r\ntwo\n\rthree\r\n");
  EXPECT_EQ(ItemsOf(list), (Items{u"one", u"", u"two", u"", u"three"}));
  list.SetText(u"\\q\\\\\\\r\\");
  EXPECT_EQ(ItemsOf(list), (Items{u"q\\\\", u"\\"}));
  list.SetText(std::u16string(u"stops\0here", 10));
  EXPECT_EQ(ItemsOf(list), (Items{u"stops"}));
  list.SetTextStr(nullptr);
  EXPECT_EQ(list.Count(), 0);
}

TEST(UStringListItems, GetOwnsOneBufferAtATime) {
  const int32_t before = RegisteredCountW();
  {
    TUStringList list;
    Fill(list, {u"first", u"", u"third"});
    EXPECT_EQ(ToU16(list.Get(0)), u"first");
    const int32_t holding = RegisteredCountW();
    EXPECT_EQ(ToU16(list.Get(2)), u"third");
    EXPECT_TRUE(IsEmptyW(list.Get(1)));
    EXPECT_EQ(ToU16(list.Get(0)), u"first");
    EXPECT_EQ(RegisteredCountW(), holding);
  }
  EXPECT_EQ(RegisteredCountW(), before);
}

TEST(UStringListItems, IndexesOutsideTheListRaise) {
  TUStringList list;
  Fill(list, {u"a", u"b"});
  EXPECT_THROW(list.Get(2), EListIndexError);
  EXPECT_THROW(list.Get(-1), EListIndexError);
  EXPECT_THROW(list.Put(2, u"x"), EListIndexError);
  EXPECT_THROW(list.GetObject(2), EListIndexError);
  EXPECT_THROW(list.PutObject(-1, nullptr), EListIndexError);
  EXPECT_THROW(list.Delete(2), EListIndexError);
  EXPECT_THROW(list.Exchange(0, 2), EListIndexError);
  EXPECT_THROW(list.Insert(3, u"x"), EListIndexError);
  EXPECT_THROW(list.Move(0, 2), EListIndexError);
  try {
    list.Get(5);
    FAIL();
  } catch (const EListIndexError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (5)");
    EXPECT_EQ(e.Index(), 5);
  }
  EXPECT_EQ(ItemsOf(list), (Items{u"a", u"b"}));
}

TEST(UStringListItems, EditsAtBothEnds) {
  int objects[3];
  TUStringList list;
  list.Insert(0, u"m");
  list.Insert(0, u"first");
  list.Insert(2, u"last");
  list.AddObject(u"tail", &objects[0]);
  list.InsertObject(0, u"head", &objects[1]);
  EXPECT_EQ(ItemsOf(list), (Items{u"head", u"first", u"m", u"last", u"tail"}));
  list.Exchange(0, 4);
  EXPECT_EQ(list.GetObject(0), &objects[0]);
  EXPECT_EQ(list.GetObject(4), &objects[1]);
  list.Move(0, 4);
  list.Move(3, 0);
  EXPECT_EQ(ItemsOf(list), (Items{u"head", u"first", u"m", u"last", u"tail"}));
  EXPECT_EQ(list.IndexOfObject(&objects[0]), 4);
  EXPECT_EQ(list.IndexOfObject(&objects[2]), -1);
  EXPECT_EQ(list.IndexOfObject(nullptr), 1);
  list.Delete(4);
  list.Delete(0);
  EXPECT_EQ(ItemsOf(list), (Items{u"first", u"m", u"last"}));
  EXPECT_EQ(list.IndexOf(u"last"), 2);
  EXPECT_EQ(list.Strings(2), u"last");
  list.Put(1, std::u16string(u"cut\0off", 7));
  EXPECT_EQ(list.Strings(1), u"cut");
}

TEST(UStringListSearch, FindAndIndexOf) {
  TUStringList list;
  int32_t index = -1;
  EXPECT_FALSE(list.Find(u"a", index));
  EXPECT_EQ(index, 0);
  EXPECT_EQ(list.IndexOf(u""), -1);

  Fill(list, {u"", u"b", u"d", u"d", u"d", u"d", u"f"});
  EXPECT_EQ(list.IndexOf(u""), 0);
  EXPECT_EQ(list.IndexOf(u"d"), 2);
  EXPECT_EQ(list.IndexOf(u"c"), -1);
  EXPECT_TRUE(list.Find(u"b", index));
  EXPECT_EQ(index, 1);
  EXPECT_FALSE(list.Find(u"e", index));
  EXPECT_EQ(index, 6);
  EXPECT_FALSE(list.Find(u"", index));  // an empty key never compares equal
  list.SetDuplicates(dupAccept);
  EXPECT_TRUE(list.Find(u"d", index));
  EXPECT_EQ(index, 2);  // the first of the equal items
  list.SetDuplicates(dupIgnore);
  EXPECT_TRUE(list.Find(u"d", index));
  EXPECT_EQ(index, 3);  // the first match met
}

TEST(UStringListUpdates, NestingDefersEventsAndCatalogueWrites) {
  TUStringList list;
  std::string events;
  list.OnChanging = [&](TUStringList&) { events += '<'; };
  list.OnChange = [&](TUStringList&) { events += '>'; };
  list.Add(u"a");
  EXPECT_EQ(events, "<>");

  events.clear();
  const int32_t stamp = list.Database().Header().ChangeCount;
  list.BeginUpdate();
  list.BeginUpdate();
  for (int i = 0; i < 300; ++i) list.Add(Item(i, 40));
  list.EndUpdate();
  EXPECT_EQ(list.Database().Header().ChangeCount, stamp);
  EXPECT_FALSE(list.Database().TablesWritable());
  list.EndUpdate();
  EXPECT_TRUE(list.Database().TablesWritable());
  EXPECT_NE(list.Database().Header().ChangeCount, stamp);
  EXPECT_EQ(events, "<>");
  list.EndUpdate();  // unbalanced: ignored
  EXPECT_EQ(list.UpdateCount(), 0);

  events.clear();
  list.SetText(u"x\r\ny\r\n");
  list.Move(0, 1);
  EXPECT_EQ(events, "<><>");
}

// Random edits against a plain vector, with items long enough to spread over many blocks
// and to need overflow chains, so that cursor positions across block boundaries and
// rebalancing after deletes are exercised.
TEST(UStringListModel, RandomEditsMatchAVector) {
  std::mt19937 random(20240611);
  int objects[8];
  TUStringList list;
  std::vector<std::pair<std::u16string, void*>> model;
  auto pick = [&](size_t n) { return static_cast<int32_t>(random() % n); };
  auto items = [&] {
    Items result;
    for (const auto& entry : model) result.push_back(entry.first);
    return result;
  };
  for (int round = 0; round < 3000; ++round) {
    const size_t length = random() % 20 == 0 ? 2100 + random() % 3000 : random() % 300;
    const std::pair<std::u16string, void*> entry{Item(random(), length), &objects[random() % 8]};
    const int32_t count = static_cast<int32_t>(model.size());
    const int32_t at = pick(count + 1), other = pick(std::max(count, 1));
    switch (count < 40 ? random() % 3 : random() % 8) {
      case 0:
      case 1:
        list.InsertObject(at, entry.first, entry.second);
        model.insert(model.begin() + at, entry);
        break;
      case 2:
        list.Add(entry.first);
        model.emplace_back(entry.first, nullptr);
        break;
      case 3:
      case 4:
        list.Delete(other);
        model.erase(model.begin() + other);
        break;
      case 5:
        list.Put(other, entry.first);
        model[other].first = entry.first;
        break;
      case 6:
        list.Exchange(other, at % count);
        std::swap(model[other], model[at % count]);
        break;
      default: {
        list.Move(other, at % count);
        const auto moved = model[other];
        model.erase(model.begin() + other);
        model.insert(model.begin() + at % count, moved);
      }
    }
    const int32_t probe = pick(model.size());
    ASSERT_EQ(list.Strings(probe), model[probe].first) << "round " << round;
    ASSERT_EQ(list.GetObject(probe), model[probe].second) << "round " << round;
    if (round % 500 == 499) {
      ASSERT_EQ(ItemsOf(list), items()) << "round " << round;
      ASSERT_TRUE(list.CheckStorage().empty());
    }
  }
  const storage::TTableHeader& table = list.Database().Table(0).Header;
  EXPECT_NE(table.FirstBlock, table.LastBlock);
}

TEST(UStringListStreams, WideAndByteFormsRoundTrip) {
  TUStringList list;
  Fill(list, {u"\u0416\u0438\tz", u""});
  rtl::TMemoryStream wide;
  list.SaveToStream(wide);
  EXPECT_EQ(wide.Bytes(), BytesOf(u"\u0416\u0438\\tz\r\n\r\n"));

  // Reading starts at the stream's position and drops an odd trailing byte.
  rtl::TMemoryStream source;
  source.WriteBuffer("??", 2);
  std::vector<uint8_t> bytes = BytesOf(u"p\r\nq");
  bytes.push_back(0x41);
  source.WriteBuffer(bytes.data(), bytes.size());
  source.SetPosition(2);
  TUStringList back;
  back.LoadFromStream(source);
  EXPECT_EQ(ItemsOf(back), (Items{u"p", u"q"}));

  list.SetCharset(204);  // Cyrillic
  rtl::TMemoryStream narrow;
  list.SaveToStreamA(narrow);
  const std::vector<uint8_t> expected = {0xC6, 0xE8, '\\', 't', 'z', '\r', '\n', '\r', '\n'};
  EXPECT_EQ(narrow.Bytes(), expected);
  EXPECT_EQ(list.GetA(0), "\xC6\xE8\tz");
  back.SetCharset(204);
  narrow.SetPosition(0);
  back.LoadFromStreamA(narrow);
  EXPECT_EQ(ItemsOf(back), ItemsOf(list));
  back.PutA(1, "\xC6");
  back.AddA("");
  EXPECT_EQ(ItemsOf(back), (Items{u"\u0416\u0438\tz", u"\u0416", u""}));
}

TEST(UStringListStreams, LongListThroughFilesAndTheStreamedProperty) {
  TUStringList list;
  list.BeginUpdate();
  for (uint32_t i = 0; i < 3000; ++i) list.Add(Item(i, i % 500 == 0 ? 2500 + i : i % 97));
  list.Add(std::u16string(128, u'x'));  // byte count 256: its first byte is 0
  list.Add(u"");
  list.EndUpdate();

  const std::string dir = testing::TempDir();
  const std::string wide = dir + "ustringlist-" + std::to_string(getpid()) + ".txt";
  const std::string narrow = wide + "a";
  list.SaveToFile(wide);
  list.SaveToFileA(narrow);
  TUStringList fromWide, fromNarrow;
  fromWide.LoadFromFile(wide);
  fromNarrow.LoadFromFileA(narrow);
  std::remove(wide.c_str());
  std::remove(narrow.c_str());
  EXPECT_EQ(ItemsOf(fromWide), ItemsOf(list));
  EXPECT_EQ(ItemsOf(fromNarrow), ItemsOf(list));

  rtl::TMemoryStream data;
  TStreamListWriter writer(data);
  list.WriteData(writer);
  data.SetPosition(0);
  TStreamListReader reader(data);
  TUStringList streamed;
  streamed.ReadData(reader);
  EXPECT_EQ(ItemsOf(streamed), ItemsOf(list));
  EXPECT_TRUE(streamed.CheckStorage().empty());
}

TEST(UStringListStreams, StreamedPropertyLayoutAndDamage) {
  TUStringList list;
  Fill(list, {u"", u"ab"});
  rtl::TMemoryStream data;
  TStreamListWriter writer(data);
  list.WriteData(writer);
  const std::vector<uint8_t> expected = {1, 0, 0, 0, 0, 4, 0, 0, 0, 'a', 0, 'b', 0, 0};
  EXPECT_EQ(data.Bytes(), expected);

  // The data is read within its bounds; what follows it is left alone.
  data.WriteBuffer("\x07tail", 5);
  data.SetPosition(0);
  TStreamListReader bounded(data, static_cast<int64_t>(expected.size()));
  TUStringList back;
  back.ReadData(bounded);
  EXPECT_EQ(ItemsOf(back), ItemsOf(list));
  EXPECT_EQ(data.Position(), static_cast<int64_t>(expected.size()));

  auto read = [](std::vector<uint8_t> bytes) {
    rtl::TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), bytes.size());
    stream.SetPosition(0);
    TStreamListReader reader(stream);
    TUStringList target;
    target.ReadData(reader);
  };
  EXPECT_THROW(read({1, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 0, 0}), rtl::EReadError);  // count past the end
  EXPECT_THROW(read({1, 2, 0, 0, 0, 'a', 0, 9}), rtl::EReadError);             // no list end
  EXPECT_THROW(read({6, 0}), rtl::EReadError);                                  // no list begin

  struct TRecorder : TPropertyFiler {
    std::string name;
    bool hasData = true;
    void DefineProperty(std::string_view n, const TListReaderProc&, const TListWriterProc&, bool data) override {
      name = n;
      hasData = data;
    }
  } filer;
  TUStringList empty;
  empty.DefineProperties(filer);
  EXPECT_EQ(filer.name, "Strings");
  EXPECT_FALSE(filer.hasData);
}

TEST(UStringListCopies, AssignAndAddStringsCarryObjects) {
  int object = 0;
  TUStringList source, copy;
  Fill(source, {u"one", u"two"});
  source.PutObject(1, &object);
  copy.Add(u"old");
  copy.Assign(source);
  copy.Assign(copy);
  EXPECT_EQ(ItemsOf(copy), ItemsOf(source));
  EXPECT_EQ(copy.GetObject(1), &object);
  copy.AddStrings(copy);
  EXPECT_EQ(ItemsOf(copy), (Items{u"one", u"two", u"one", u"two"}));
  EXPECT_EQ(copy.IndexOfObject(&object), 1);
}

}  // namespace
}  // namespace quintrel::text
