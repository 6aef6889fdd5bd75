// Records: images, inline and overflow storage, the cursor, and a randomized model test
// of every record operation against a plain in-memory table.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>

#include "storage/recordblock.h"
#include "storage/vardbs.h"
#include "tests/storage/db_fixture.h"

namespace quintrel::storage {
namespace {

using test::DbFixture;

class Records : public DbFixture {};

// Editing a data block keeps its layout: the records back to back from position 1, the
// record table after them, the rest zero; a record that does not fit is refused with the
// block as it was.
TEST(RecordBlock, EditsKeepTheLayoutAndRefuseWhatDoesNotFit) {
  auto stored = [](size_t n, uint8_t fill) {
    std::vector<uint8_t> r(n, fill);
    r[0] = kFlagInline;
    return r;
  };
  TBlock a, b;
  InsertInBlock(a, 1, stored(10, 'c'));
  InsertInBlock(a, 1, stored(20, 'a'));
  InsertInBlock(a, 2, stored(30, 'b'));
  ASSERT_EQ(a.Count(), 3);
  EXPECT_EQ(a.Used(), 60);
  EXPECT_EQ(RecordTableFault(a), "");
  auto records = DecodeRecords(a);
  EXPECT_EQ(records[0], stored(20, 'a'));
  EXPECT_EQ(records[1], stored(30, 'b'));
  EXPECT_EQ(records[2], stored(10, 'c'));

  EXPECT_EQ(DeleteFromBlock(a, 2), stored(30, 'b'));
  DistributeRecords(a, b, 1, 1, 2);
  EXPECT_EQ(DecodeRecords(a), std::vector<std::vector<uint8_t>>{stored(20, 'a')});
  EXPECT_EQ(DecodeRecords(b), std::vector<std::vector<uint8_t>>{stored(10, 'c')});
  for (const TBlock* block : {&a, &b}) {
    EXPECT_EQ(RecordTableFault(*block), "");
    // Nothing of the moved or deleted records stays behind the record table.
    int end = block->Used() + 1 + 2 * block->Count();
    EXPECT_TRUE(std::all_of(block->At(end), block->At(kLastPosition + 1), [](uint8_t x) { return x == 0; }));
  }

  TBlock before = a;
  EXPECT_THROW(InsertInBlock(a, 1, stored(kLastPosition - a.Used() - 2 * a.Count() - 1, 'z')), EBlockInconsistent);
  EXPECT_EQ(a.Bytes, before.Bytes);
  InsertInBlock(a, 2, stored(kLastPosition - a.Used() - 2 * a.Count() - 2, 'z'));
  EXPECT_EQ(Fill(a), kLastPosition) << "a record that just fits is taken";
  EXPECT_THROW(DistributeRecords(b, a, 2, 1, 1), EBlockInconsistent) << "more records than the source holds";
}

TEST_F(Records, InlineAndOverflowThresholds) {
  TCustomVarDB db("x");
  ASSERT_TRUE(db.OpenFile(Path("t.zod"), rtl::fmCreate));
  int t = db.AddTable("T Data B");
  // An image of _RECNO (4) + length (4) + 4078 bytes is 4086 bytes: stored inline as 4087.
  db.AddRecord(t);
  SetBytes(db, t, 1, 4078, 'a');
  EXPECT_EQ(db.LoadBlock(db.Table(t).Header.FirstBlock)->Used(), 4087);
  // One byte more and the image goes to an overflow chain: 5 stored bytes.
  SetBytes(db, t, 1, 4079, 'b');
  EXPECT_EQ(db.LoadBlock(db.Table(t).Header.FirstBlock)->Used(), 5);
  EXPECT_EQ(db.GetField(t, 1), std::vector<uint8_t>(4079, 'b'));

  // A value of 4087 bytes stays in the image; 4088 becomes a 12-byte reference.
  SetBytes(db, t, 1, 4087, 'c');
  EXPECT_EQ(db.GetRecord(t).size(), 4u + 4 + 4087);
  SetBytes(db, t, 1, 4088, 'd');
  EXPECT_EQ(db.GetRecord(t).size(), 4u + 12);
  int32_t length = -1;
  db.GetField(t, 1, nullptr, length);
  EXPECT_EQ(length, 4088) << "an oversized value reports its true length";
  EXPECT_EQ(db.GetField(t, 1), std::vector<uint8_t>(4088, 'd'));
  // Several fields from one image: the oversized value whole, fields that do not exist empty.
  const int fields[] = {1, 7, -1, 0};
  const std::vector<std::vector<uint8_t>> values = db.GetFieldValues(t, fields, 4);
  ASSERT_EQ(values.size(), 4u);
  EXPECT_EQ(values[0], std::vector<uint8_t>(4088, 'd'));
  EXPECT_TRUE(values[1].empty());
  EXPECT_TRUE(values[2].empty());
  EXPECT_EQ(values[3].size(), 4u);  // _RECNO

  // A value of 8176 bytes takes two chain blocks (8175 + 1).
  int64_t before = db.GetSize();
  TFileHeader h;
  db.GetDatabaseHeader(h);
  SetBytes(db, t, 1, 8176, 'e');
  EXPECT_EQ(db.GetField(t, 1), std::vector<uint8_t>(8176, 'e'));
  db.GetDatabaseHeader(h);
  int64_t grown = (db.GetSize() - before) / 8192;
  EXPECT_LE(grown, 2) << "the freed one-block chain is reused";
  ExpectSound(db);

  // Deleting with RemoveOversized frees the chain; without, it stays (and is lost).
  ASSERT_TRUE(db.DeleteRecord(t, true));
  EXPECT_EQ(db.Table(t).Header.RecordCount, 0);
  ExpectSound(db);
  EXPECT_FALSE(db.Top(t)) << "an emptied table has no first record";
  EXPECT_FALSE(db.DeleteRecord(t, true));
}

TEST_F(Records, InsertPositionsAndLookupByScan) {
  TCustomVarDB db("m");
  int t = db.AddTable("T Num N");
  auto num = [&]() { return Int(db.GetField(t, 1)); };
  auto setNum = [&](int32_t v) { db.SetField(t, 1, &v, 4); };
  db.InsertRecord(t, kInsertLast);  // an empty table gets its first block
  EXPECT_EQ(db.Table(t).Header.FirstBlock, db.Table(t).Header.LastBlock);
  setNum(20);
  db.InsertRecord(t, kInsertFirst);
  setNum(10);
  db.InsertRecord(t, kInsertAfter);
  setNum(15);
  db.InsertRecord(t, kInsertBefore);
  setNum(12);
  db.AddRecord(t);
  setNum(30);
  std::vector<int32_t> order;
  for (bool more = db.Top(t); more; more = db.Step(t, 1)) order.push_back(num());
  EXPECT_EQ(order, (std::vector<int32_t>{10, 12, 15, 20, 30}));

  // Lookup by scan gives the 0-based position; an empty value never matches.
  int32_t key = 20, pos = -1;
  TFindRec find{1, &key, 4};
  ASSERT_TRUE(db.Lookup(t, &find, 1, pos));
  EXPECT_EQ(pos, 3);
  EXPECT_EQ(num(), 20);
  key = 99;
  EXPECT_FALSE(db.Lookup(t, &find, 1, pos));
  EXPECT_FALSE(db.Lookup(t, nullptr, 1, pos));
}

// Records laid out by hand, as another writer of the format would: an inline record and
// one whose text lives in an overflow chain of two blocks.
TEST_F(Records, ReadsRecordsWrittenByAnotherWriter) {
  Build("h.zod", "T Num N Text V", [](TCustomVarDB&, int) {});
  std::string file = ReadFile("h.zod");
  ASSERT_EQ(file.size(), 64u + 8192);
  auto put32 = [](std::string& b, size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); };
  auto put16 = [](std::string& b, size_t at, uint16_t v) { std::memcpy(&b[at], &v, 2); };
  const uint32_t data = 64 + 8192, chain1 = data + 8192, chain2 = chain1 + 8192;
  std::string block(8192, '\0'), c1(8192, '\0'), c2(8192, '\0');
  // Record 1: flag 0, _RECNO 1, Num 42, Text "hi" (4 bytes).
  std::string r1("\0", 1);
  r1 += std::string("\x01\0\0\0", 4) + std::string("\x2A\0\0\0", 4) + std::string("\x04\0\0\0", 4) +
        std::string("h\0i\0", 4);
  // Record 2: flag 0, _RECNO 2, Num -1, Text oversized: 65535, 8200 bytes, chain at chain1.
  std::string r2("\0", 1);
  r2 += std::string("\x02\0\0\0", 4) + std::string("\xFF\xFF\xFF\xFF", 4) + std::string(12, '\0');
  put32(r2, 9, 65535);
  put32(r2, 13, 8200);
  put32(r2, 17, chain1);
  block.replace(17, r1.size(), r1);
  block.replace(17 + r1.size(), r2.size(), r2);
  uint16_t used = static_cast<uint16_t>(r1.size() + r2.size());
  put16(block, 8, 2);
  put16(block, 10, used);
  put16(block, 16 + used + 1, 1);
  put16(block, 16 + used + 3, static_cast<uint16_t>(1 + r1.size()));
  std::string text;
  for (int i = 0; i < 4100; ++i) text += std::string(1, static_cast<char>('a' + i % 26)) + '\0';
  put32(c1, 0, chain2);
  put16(c1, 10, 8175);
  c1.replace(17, 8175, text.substr(0, 8175));
  put32(c2, 4, chain1);
  put16(c2, 10, 25);
  c2.replace(17, 25, text.substr(8175));
  file += block + c1 + c2;
  const size_t table = 64 + 17;  // the first table header of the catalogue
  put32(file, table + 24, 2);      // RecordCount
  put32(file, table + 32, data);   // FirstBlock
  put32(file, table + 36, data);   // LastBlock
  WriteFile("h.zod", file);

  TCustomVarDB db("y");
  ASSERT_TRUE(db.OpenFile(Path("h.zod"), rtl::fmOpenReadWrite));
  ASSERT_TRUE(db.Top(0));
  EXPECT_EQ(Int(db.GetField(0, 1)), 42);
  EXPECT_EQ(db.GetField(0, 2), std::vector<uint8_t>({'h', 0, 'i', 0}));
  ASSERT_TRUE(db.Step(0, 1));
  EXPECT_EQ(Int(db.GetField(0, 0)), 2);
  std::vector<uint8_t> long_text = db.GetField(0, 2);
  EXPECT_TRUE(long_text == std::vector<uint8_t>(text.begin(), text.end()));
  ExpectSound(db);
  // And what this engine adds to it stays readable the same way.
  db.AddRecord(0);
  EXPECT_EQ(Int(db.GetField(0, 0)), 3);
  ExpectSound(db);
}

TEST_F(Records, DamagedBlocksAreErrors) {
  TCustomVarDB db("x");
  ASSERT_TRUE(db.OpenFile(Path("d.zod"), rtl::fmCreate));
  int t = db.AddTable("T Data B");
  for (int i = 0; i < 3; ++i) {
    db.AddRecord(t);
    SetBytes(db, t, 1, i == 2 ? 20000 : 10, 'x');
  }
  uint32_t first = db.Table(t).Header.FirstBlock;
  auto corrupt = [&](const char* name, size_t offset, const std::vector<uint8_t>& bytes) {
    std::string copy = ReadFile("d.zod");
    std::memcpy(&copy[first + offset], bytes.data(), bytes.size());
    WriteFile(name, copy);
    TCustomVarDB other("o");
    ASSERT_TRUE(other.OpenFile(Path(name), rtl::fmOpenReadWrite));
    EXPECT_THROW(
        {
          other.Top(t);
          while (true) {
            other.GetField(t, 1);
            if (!other.Step(t, 1)) break;
          }
        },
        EBlockCorrupt)
        << name;
    EXPECT_FALSE(other.Check().empty()) << name;
    EXPECT_EQ(other.LockCount(), 0);
  };
  PBlock block = db.LoadBlock(first);
  int used = block->Used();
  corrupt("entry.zod", 16 + used + 1, {9, 0});                     // entry 1 must be 1
  corrupt("order.zod", 16 + used + 1 + 4, {2, 0});                 // entries must ascend
  corrupt("used.zod", 10, {0xFE, 0x1F});                           // Used 8190
  corrupt("flag.zod", 16 + 1, {77});                               // unknown record flag
  corrupt("length.zod", 16 + 1 + 4, {0xFF, 0x0F, 0, 0});           // a value longer than its record
}

// The length that comes with a buffer is its room: the file decides how long a value is,
// never how much of it is written into (or read from) the caller's memory.
TEST_F(Records, GivenLengthsBoundEveryCopy) {
  TCustomVarDB db("x");
  ASSERT_TRUE(db.OpenFile(Path("room.zod"), rtl::fmCreate));
  int t = db.AddTable("T Code C50 Text V");
  db.AddRecord(t);
  // A fixed field given fewer bytes than it holds takes those and zeros after them.
  const char16_t code[2] = {u'a', u'b'};
  std::vector<uint8_t> text(5000, 't');
  TFindRec given[2] = {{1, const_cast<char16_t*>(code), 4}, {2, text.data(), 5000}};
  db.SetFields(t, given, 2);
  std::vector<uint8_t> stored = db.GetField(t, 1);
  ASSERT_EQ(stored.size(), 100u);
  EXPECT_EQ(stored[0], 'a');
  EXPECT_EQ(stored[2], 'b');
  EXPECT_TRUE(std::all_of(stored.begin() + 4, stored.end(), [](uint8_t b) { return b == 0; }));

  // Reading into a smaller buffer fills only its room and still reports the whole length.
  std::array<uint8_t, 8> small{};
  std::array<uint8_t, 8> part{};
  small.fill(0xEE);
  part.fill(0xEE);
  TFindRec read[2] = {{1, small.data(), 1}, {2, part.data(), 3}};
  db.GetFields(t, read, 2);
  EXPECT_EQ(read[0].Length, 100);
  EXPECT_EQ(read[1].Length, 5000) << "an oversized value reports its true length";
  EXPECT_EQ(small[0], 'a');
  EXPECT_EQ(small[1], 0xEE);
  EXPECT_EQ(part[2], 't');
  EXPECT_EQ(part[3], 0xEE);
  int32_t length = 2;
  db.GetField(t, 2, part.data(), length);
  EXPECT_EQ(length, 5000);
  EXPECT_EQ(part[2], 't') << "untouched beyond the two bytes asked for";
}

// A long value's length is read before its chain is walked, and readers size buffers by
// it: a length no chain of the file can hold, or one that belongs inline, is damage.
TEST_F(Records, ChainedLengthsAreBounded) {
  Build("chain.zod", "T Data B", [](TCustomVarDB& db, int t) {
    db.AddRecord(t);
    SetBytes(db, t, 1, 5000, 'c');
  });
  // Block of the record: flag at 17, then _RECNO, the marker 65535, the length, the chain.
  const std::string sound = ReadFile("chain.zod");
  const size_t data = 64 + 8192, length = data + 17 + 1 + 4 + 4;
  uint32_t marker = 0;
  std::memcpy(&marker, &sound[length - 4], 4);
  ASSERT_EQ(marker, kOversizedMarker);
  for (uint32_t bad : {0xFFFFFFF0u, 0x7FFFFFF0u, 3u * 8175u + 1, 4087u, 0u}) {
    std::string copy = sound;
    std::memcpy(&copy[length], &bad, 4);
    WriteFile("bad.zod", copy);
    TCustomVarDB db("y");
    ASSERT_TRUE(db.OpenFile(Path("bad.zod"), rtl::fmOpenRead));
    ASSERT_TRUE(db.Top(0));
    TFindRec lengthOnly{1, nullptr, 0};
    EXPECT_THROW(db.GetFields(0, &lengthOnly, 1), EBlockCorrupt) << bad;
    EXPECT_THROW(db.GetField(0, 1), EBlockCorrupt) << bad;
    EXPECT_FALSE(db.Check().empty()) << bad;
  }
}

// Thousands of random operations on a file, compared with a plain vector after each one;
// the whole table, the structure check and a reopened copy are compared at intervals.
TEST_F(Records, RandomOperationsAgainstAModel) {
  struct Row {
    int32_t recno = 0;
    std::u16string str;
    int32_t id = 0;
    std::vector<uint8_t> blob;
  };
  std::vector<Row> model;
  size_t cur = 0;
  std::mt19937 rng(20261206);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto size = [&]() {
    switch (pick(0, 9)) {
      case 0: return 0;
      case 1: case 2: case 3: case 4: return pick(1, 60);
      case 5: case 6: return pick(1000, 4087);
      case 7: return pick(4088, 4200);
      default: return pick(5000, 20000);
    }
  };

  TCustomVarDB db("x");
  ASSERT_TRUE(db.OpenFile(Path("model.zod"), rtl::fmCreate));
  int t = db.AddTable("T Str V Id N Blob B");
  int32_t nextId = 1;

  auto setRandom = [&](Row& row, bool all) {
    std::vector<TFindRec> fields;
    std::u16string s;
    std::vector<uint8_t> b;
    if (all || pick(0, 1)) {
      s.resize(size() / 2);
      for (auto& c : s) c = static_cast<char16_t>(pick(1, 0xFFFF));
      row.str = s;
      fields.push_back({1, s.data(), static_cast<int32_t>(s.size() * 2)});
    }
    if (all || pick(0, 1)) {
      b.resize(size());
      for (auto& c : b) c = static_cast<uint8_t>(pick(0, 255));
      row.blob = b;
      fields.push_back({3, b.data(), static_cast<int32_t>(b.size())});
    }
    int32_t id = row.id;
    if (all) {
      row.id = id = nextId++;
      fields.push_back({2, &id, 4});
    }
    db.SetFields(t, fields.data(), static_cast<int>(fields.size()));
  };
  auto currentId = [&]() { return Int(db.GetField(t, 2)); };
  auto expectRow = [&](const Row& row, const char* where) {
    std::vector<uint8_t> s = db.GetField(t, 1);
    ASSERT_EQ(s.size(), row.str.size() * 2) << where << " id " << row.id;
    ASSERT_TRUE(s.empty() || std::memcmp(s.data(), row.str.data(), s.size()) == 0) << where << " id " << row.id;
    ASSERT_EQ(Int(db.GetField(t, 0)), row.recno) << where;
    ASSERT_TRUE(db.GetField(t, 3) == row.blob) << where << " id " << row.id;
  };
  auto compareAll = [&](TCustomVarDB& engine, const char* where) {
    ASSERT_EQ(engine.Table(t).Header.RecordCount, static_cast<int32_t>(model.size())) << where;
    if (model.empty()) {
      EXPECT_FALSE(engine.Top(t));
      return;
    }
    ASSERT_TRUE(engine.Top(t));
    for (size_t i = 0; i < model.size(); ++i) {
      ASSERT_EQ(Int(engine.GetField(t, 2)), model[i].id) << where << " at " << i;
      ASSERT_EQ(engine.Step(t, 1), i + 1 < model.size()) << where << " at " << i;
    }
    ExpectSound(engine, where);
  };

  bool inUpdate = false;
  for (int op = 0; op < 3000; ++op) {
    // Runs of operations inside table updates, whose blocks are written when they end.
    if (op % 100 == 0) {
      if (inUpdate) db.EndTableUpdate();
      inUpdate = pick(0, 1) == 1;
      if (inUpdate) db.BeginTableUpdate();
    }
    int kind = pick(0, 99);
    if (model.empty() && kind >= 40) kind = pick(0, 39);
    if (kind < 20) {  // insert somewhere
      int where = pick(-1, 2);
      size_t at = model.empty() ? 0 : where < 0 ? 0 : where >= 2 ? model.size() : where == 1 ? cur + 1 : cur;
      db.InsertRecord(t, where);
      model.insert(model.begin() + at, Row{});
      cur = at;
      setRandom(model[cur], true);
    } else if (kind < 40) {  // append
      Row row;
      row.recno = (model.empty() ? 0 : model.back().recno) + 1;
      db.AddRecord(t);
      model.push_back(row);
      cur = model.size() - 1;
      setRandom(model[cur], true);
    } else if (kind < 60) {  // change fields in place
      setRandom(model[cur], false);
    } else if (kind < 80) {  // delete
      ASSERT_TRUE(db.DeleteRecord(t, true));
      model.erase(model.begin() + cur);
      if (model.empty()) {
        cur = 0;
      } else {
        int32_t id = currentId();
        size_t found = std::find_if(model.begin(), model.end(), [&](const Row& r) { return r.id == id; }) - model.begin();
        ASSERT_TRUE(found == cur || found + 1 == cur) << "the cursor stays on the following or the previous record";
        cur = found;
      }
    } else if (kind < 95) {  // step
      int n = pick(-40, 40);
      int64_t target = static_cast<int64_t>(cur) + n;
      bool covered = n != 0 && target >= 0 && target < static_cast<int64_t>(model.size());
      EXPECT_EQ(db.Step(t, n), covered) << "step " << n << " from " << cur;
      if (n != 0) cur = static_cast<size_t>(std::clamp<int64_t>(target, 0, static_cast<int64_t>(model.size()) - 1));
    } else if (kind < 97) {
      ASSERT_TRUE(db.Top(t));
      cur = 0;
    } else {
      ASSERT_TRUE(db.Bottom(t));
      cur = model.size() - 1;
    }
    if (!model.empty()) {
      ASSERT_EQ(currentId(), model[cur].id) << "after operation " << op << " kind " << kind;
      if (op % 7 == 0) expectRow(model[cur], "cursor record");
    }
    if (op % 500 == 499) {
      if (inUpdate) {
        // What an update has written so far must not be visible from a file read yet, and
        // all of it once the update ends.
        db.EndTableUpdate();
        inUpdate = false;
        TCustomVarDB reader("r");
        ASSERT_TRUE(reader.OpenFile(Path("model.zod"), rtl::fmOpenRead));
        compareAll(reader, "reader after an update");
      }
      compareAll(db, "periodic");
      if (!model.empty()) {
        // compareAll moved the cursor: put it back where the model has it.
        ASSERT_TRUE(db.Top(t));
        if (cur > 0) db.Step(t, static_cast<int>(cur));
      }
    }
  }
  compareAll(db, "final");

  TCustomVarDB reopened("y");
  ASSERT_TRUE(reopened.OpenFile(Path("model.zod"), rtl::fmOpenRead));
  compareAll(reopened, "reopened");
  ASSERT_TRUE(reopened.Top(t));
  for (const Row& row : model) {
    std::vector<uint8_t> b = reopened.GetField(t, 3);
    ASSERT_TRUE(b == row.blob) << "id " << row.id;
    reopened.Step(t, 1);
  }

  // Deleting the table gives every block back.
  db.DeleteTable(t);
  db.AddTable("Empty e N");
  ExpectSound(db);
  TFileHeader h;
  db.GetDatabaseHeader(h);
  EXPECT_NE(h.AvailList, 0u);
}

// Appends at the end of a table inside an update: every block but the last is left full
// (the next record would not fit), new blocks and long values in them reach the file only
// when the update ends, and another engine then reads every record and the check finds
// nothing. Inserting in the middle still splits.
TEST_F(Records, AppendsFillBlocksAndNewBlocksReachTheFileOnce) {
  constexpr int kRecords = 400;
  const std::vector<uint8_t> text(200, 'a');
  const std::vector<uint8_t> longText(100000, 'b');  // more than the file held before
  TCustomVarDB db("x");
  ASSERT_TRUE(db.OpenFile(Path("a.zod"), rtl::fmCreate));
  int t = db.AddTable("T Num N Text B");
  db.IndexCreate(t, 1, 0, true, false);
  int64_t sizeBefore = FileSize("a.zod");
  db.BeginTableUpdate();
  for (int32_t i = 0; i < kRecords; ++i) {
    const std::vector<uint8_t>& value = i == 7 ? longText : text;
    TFindRec fields[2] = {{1, &i, 4}, {2, const_cast<uint8_t*>(value.data()), static_cast<int32_t>(value.size())}};
    db.AddRecord(t, fields, 2);
  }
  ASSERT_TRUE(db.Top(t));
  ASSERT_TRUE(db.Step(t, 7));
  EXPECT_EQ(db.GetField(t, 2), longText) << "a long value in blocks not yet written";
  EXPECT_EQ(FileSize("a.zod"), sizeBefore) << "the new blocks wait for the end of the update";
  db.EndTableUpdate();
  EXPECT_GE(FileSize("a.zod"), sizeBefore + 10 * int64_t{kBlockSize});
  ExpectSound(db);

  // Stored: a flag byte, the number, the text's length and the text; and a record-table entry.
  const int stored = 1 + 4 + 4 + 200;
  const int perBlock = kLastPosition / (stored + 2);
  TCustomVarDB other("o");
  ASSERT_TRUE(other.OpenFile(Path("a.zod"), rtl::fmOpenReadWrite | rtl::fmShareDenyNone));
  int ot = other.GetTableNr("T");
  ASSERT_TRUE(other.Top(ot));
  int32_t expected = 0;
  do {
    EXPECT_EQ(Int(other.GetField(ot, 1)), expected);
    EXPECT_EQ(other.GetField(ot, 2), expected == 7 ? longText : text);
    ++expected;
  } while (other.Step(ot, 1));
  EXPECT_EQ(expected, kRecords);
  uint32_t address = other.Table(ot).Header.FirstBlock;
  int blocks = 0;
  while (address != 0) {
    PBlock block = other.LoadBlock(address);
    ++blocks;
    if (block->Next() != 0) {
      EXPECT_GT(Fill(*block) + 2 + stored, kLastPosition) << "block " << blocks << " is full";
    }
    address = block->Next();
  }
  EXPECT_EQ(blocks, (kRecords + perBlock - 1) / perBlock);

  // An insert into a full block in the middle splits it in the middle.
  ASSERT_TRUE(other.Top(ot));
  other.InsertRecord(ot, kInsertAfter);
  const std::vector<uint8_t> wide(1000, 'c');
  other.SetField(ot, 2, wide.data(), static_cast<int32_t>(wide.size()));
  PBlock first = other.LoadBlock(other.Table(ot).Header.FirstBlock);
  EXPECT_LE(first->Count(), perBlock / 2 + 2);
  ExpectSound(other);
}

}  // namespace
}  // namespace quintrel::storage
