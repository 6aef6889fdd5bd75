// Indexes: field comparison, the shape of the trees at their boundaries, unique and
// duplicate values, removal, and a randomized model test with several indexes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstring>
#include <map>
#include <random>

#include "storage/btree.h"
#include "storage/compare.h"
#include "storage/vardbs.h"
#include "tests/storage/db_fixture.h"

namespace quintrel::storage {
namespace {

using test::DbFixture;

TEST(Compare, BuiltInOrderOfEachType) {
  auto n = [](int32_t a, int32_t b) { return OnCompare(&a, &b, 4, 4, 'N'); };
  EXPECT_EQ(n(5, 7), -2);
  EXPECT_LT(n(INT32_MIN, INT32_MAX), 0) << "far apart values keep their order";
  EXPECT_GT(n(INT32_MAX, -5), 0);
  auto r = [](double a, double b, char type) { return OnCompare(&a, &b, 8, 8, type); };
  EXPECT_EQ(r(1.5, 1.5, 'R'), 0);
  EXPECT_EQ(r(1.5, 2.5, 'R'), -1);
  EXPECT_EQ(r(0.015, 0.01, 'M'), 0) << "0.5 rounds to the even 0";
  EXPECT_EQ(r(0.025, 0.01, 'M'), 2) << "1.5 rounds to the even 2";
  EXPECT_EQ(r(3.9, 1.1, 'D'), 2) << "whole days";
  EXPECT_EQ(r(1.25, 7.5, 'T'), -25) << "time of day";
  EXPECT_LT(r(-1e300, 1e300, 'M'), 0);
  uint8_t t = 1, f = 0;
  EXPECT_EQ(OnCompare(&t, &t, 1, 1, 'L'), -1) << "booleans never compare equal";
  EXPECT_EQ(OnCompare(&f, &t, 1, 1, 'Q'), -1);
  EXPECT_EQ(CompareBinary("ab", "abc", 2, 3), -1);
  uint8_t high = 128, low = 1;
  EXPECT_LT(CompareBinary(&high, &low, 1, 1), 0) << "bytes compare signed";
  EXPECT_EQ(OnCompare(u"abc", u"abd", 6, 6, 'V'), -1);
  EXPECT_EQ(OnCompare(u"", u"", 0, 0, 'V'), -65535);
  EXPECT_EQ(OnCompare(u"ab", u"abc", 4, 6, 'C'), -1);
  int16_t s1 = -3, s2 = 4;
  EXPECT_EQ(OnCompare(&s1, &s2, 2, 2, 'S'), -7);
}

TEST(Compare, Registry) {
  auto reversed = [](const void* a, const void* b, int32_t la, int32_t lb, uint16_t, char) {
    return -CompareBinary(a, b, la, lb);
  };
  auto other = [](const void*, const void*, int32_t, int32_t, uint16_t, char) { return 0; };
  EXPECT_EQ(GetCompare(7, 'B'), nullptr);
  RegisterCompare(reversed, 7, 'B');
  RegisterCompare(other, 8, 'B');
  EXPECT_EQ(GetCompare(7, 'B'), reversed);
  EXPECT_EQ(GetCompare(7, 'V'), nullptr);
  UnRegisterCompare(8, 'B');
  EXPECT_EQ(GetCompare(7, 'B'), reversed) << "removing one comparer keeps the others";
  UnRegisterCompare(7, 'B');
  EXPECT_EQ(GetCompare(7, 'B'), nullptr);
}

// The block cache keeps at most its capacity, hands every dirty block it drops to be
// written, and writes the rest in address order when flushed.
TEST(BlockCache, EvictsTheOldestAndSpillsDirtyBlocks) {
  TBlockCache cache(8);
  std::map<uint32_t, uint8_t> written;
  auto write = [&](uint32_t address, const TBlock& block) { written[address] = block.Bytes[100]; };
  auto address = [](uint32_t k) { return kFileHeaderSize + kBlockSize * k; };
  TBlock block;
  for (uint32_t k = 0; k < 8; ++k) {
    block.Bytes[100] = static_cast<uint8_t>(k + 1);
    cache.Put(address(k), block, k % 2 == 0, write);
  }
  EXPECT_TRUE(written.empty());
  ASSERT_NE(cache.Find(address(0)), nullptr);  // block 0 is now the most recently used
  EXPECT_EQ(cache.Find(address(0))->Bytes[100], 1);
  EXPECT_EQ(cache.Find(12345), nullptr) << "not a block address";
  block.Bytes[100] = 99;
  cache.Put(address(8), block, false, write);
  EXPECT_EQ(cache.Find(address(1)), nullptr) << "the least recently used goes first";
  EXPECT_NE(cache.Find(address(0)), nullptr);
  EXPECT_NE(cache.Find(address(8)), nullptr);
  for (uint32_t k = 9; k < 40; ++k) cache.Put(address(k), block, false, write);
  for (uint32_t k : {0u, 2u, 4u, 6u}) EXPECT_EQ(written.count(address(k)), 1u) << "dirty block " << k << " written";
  EXPECT_EQ(written[address(2)], 3);
  EXPECT_FALSE(cache.HasDirty());
  std::vector<uint32_t> order;
  cache.Put(address(41), block, true, write);
  cache.Put(address(40), block, true, write);
  cache.Flush([&](uint32_t a, const TBlock&) { order.push_back(a); });
  EXPECT_EQ(order, (std::vector<uint32_t>{address(40), address(41)}));
  EXPECT_FALSE(cache.HasDirty());
}

class Indexes : public DbFixture {
protected:
  TIndexNode Node(TCustomVarDB& db, uint32_t address) {
    TIndexNode node;
    EXPECT_TRUE(node.Decode(*db.LoadBlock(address)));
    return node;
  }
  uint32_t Root(TCustomVarDB& db, int table, int field) { return db.Table(table).Fields[field].Indexes[0].Root; }
  static bool Find(TCustomVarDB& db, int table, int32_t key, int32_t& recNo) {
    TFindRec f{1, &key, 4};
    return db.Seek(table, &f, 1, recNo);
  }
  // Every node's block holds exactly its node encoded whole (zeros past its keys and
  // children), however much of it its last change rewrote.
  void ExpectNodesWhole(TCustomVarDB& db, int table) {
    for (const TFieldHeader& field : db.Table(table).Fields)
      for (const TIndexHeader& index : field.Indexes)
        for (std::vector<uint32_t> pending{index.Root}; !pending.empty();) {
          uint32_t address = pending.back();
          pending.pop_back();
          if (address == 0) continue;
          PBlock block = db.LoadBlock(address);
          TIndexNode node;
          ASSERT_TRUE(node.Decode(*block));
          TBlock whole;
          node.Encode(whole);
          ASSERT_TRUE(whole.Bytes == block->Bytes) << "node at " << address;
          if (!node.IsLeaf()) pending.insert(pending.end(), &node.Children[1], &node.Children[node.Count + 2]);
        }
  }
};

TEST_F(Indexes, SplitsAndMergesAtTheBoundaries) {
  TCustomVarDB db("x");
  ASSERT_TRUE(db.OpenFile(Path("b.zod"), rtl::fmCreate));
  int t = db.AddTable("T Key N");
  EXPECT_EQ(db.IndexCreate(t, 1, 1, true, false), 0);
  EXPECT_EQ(Root(db, t, 1), 0u) << "an empty index has no root";
  EXPECT_EQ(db.IndexCreate(t, 1, 1, false, true), 0) << "one index per comparer id";
  EXPECT_EQ(db.Table(t).Fields[1].Indexes.size(), 1u);

  for (int32_t k = 1; k <= 510; ++k) AddKey(db, t, k * 10);
  TIndexNode root = Node(db, Root(db, t, 1));
  EXPECT_EQ(root.Count, 510);
  EXPECT_TRUE(root.IsLeaf()) << "the 510th key still fits the root";

  AddKey(db, t, 5110);
  root = Node(db, Root(db, t, 1));
  ASSERT_EQ(root.Count, 1) << "the 511th key splits the root";
  EXPECT_EQ(root.Keys[1].KeyRecNo, 256);
  EXPECT_EQ(Node(db, root.Children[1]).Count, 255);
  EXPECT_EQ(Node(db, root.Children[2]).Count, 255);
  ExpectSound(db);

  // Borrow: the right leaf lends when it holds 256.
  AddKey(db, t, 5120);
  ASSERT_TRUE(db.Top(t));
  ASSERT_TRUE(db.DeleteRecord(t, true));  // key 10 leaves the left leaf: 254
  root = Node(db, Root(db, t, 1));
  ASSERT_EQ(root.Count, 1);
  EXPECT_EQ(Node(db, root.Children[1]).Count, 255);
  EXPECT_EQ(Node(db, root.Children[2]).Count, 255);
  EXPECT_EQ(root.Keys[1].KeyRecNo, 257) << "the separator moved on by one";
  ExpectSound(db);

  // Merge: 254 + separator + 255 make one root leaf of 510.
  ASSERT_TRUE(db.Top(t));
  ASSERT_TRUE(db.DeleteRecord(t, true));
  root = Node(db, Root(db, t, 1));
  EXPECT_TRUE(root.IsLeaf());
  EXPECT_EQ(root.Count, 510);
  ExpectSound(db);

  int32_t recNo;
  ASSERT_TRUE(Find(db, t, 2560, recNo));
  EXPECT_EQ(recNo, 256);
  EXPECT_EQ(Int(db.GetField(t, 1)), 2560) << "Seek puts the cursor on the record";
  EXPECT_FALSE(Find(db, t, 2561, recNo));
  EXPECT_FALSE(Find(db, t, 10, recNo)) << "deleted";

  // Removing the index gives every node back; packing rebuilds the same keys.
  db.IndexPack(t, 1);
  ASSERT_TRUE(Find(db, t, 5120, recNo));
  EXPECT_EQ(recNo, 512);
  ExpectSound(db);
  db.IndexRemove(t, 1, 0);
  EXPECT_FALSE(db.IndexExists(t, 1));
  ExpectSound(db);
}

TEST_F(Indexes, UniqueAndDuplicateValues) {
  TCustomVarDB db("m");
  int t = db.AddTable("T Key N Name V");
  db.IndexCreate(t, 1, 1, true, true);
  db.IndexCreate(t, 2, 1, false, false);
  auto add = [&](int32_t key, const std::u16string& name) {
    db.AddRecord(t);
    TFindRec f[2] = {{1, &key, 4}, {2, const_cast<char16_t*>(name.data()), static_cast<int32_t>(name.size() * 2)}};
    db.SetFields(t, f, 2);
  };
  add(7, u"seven");
  add(7, u"seven again");  // a second equal value gets no key in the unique index
  add(8, u"seven");        // the non-unique index keeps both "seven"
  add(9, u"");             // an empty text is not indexed
  ExpectSound(db);
  int32_t recNo = 0;
  ASSERT_TRUE(Find(db, t, 7, recNo));
  EXPECT_EQ(recNo, 1);

  // Deleting the record without a key must not take the first record's key with it.
  ASSERT_TRUE(Find(db, t, 7, recNo));
  ASSERT_TRUE(db.Step(t, 1));
  ASSERT_EQ(Int(db.GetField(t, 0)), 2);
  ASSERT_TRUE(db.DeleteRecord(t, true));
  ASSERT_TRUE(Find(db, t, 7, recNo)) << "record 1 is still found";
  EXPECT_EQ(recNo, 1);
  ExpectSound(db);

  std::u16string seven = u"seven";
  TFindRec byName{2, seven.data(), 10};
  ASSERT_TRUE(db.Seek(t, &byName, 1, recNo));
  EXPECT_EQ(recNo, 1) << "the leftmost of equal keys";
  std::u16string none;
  TFindRec empty{2, none.data(), 0};
  EXPECT_FALSE(db.Seek(t, &empty, 1, recNo));
  int32_t pos;
  ASSERT_TRUE(db.Lookup(t, &byName, 1, pos));
  EXPECT_EQ(pos, 1) << "one field with an index: the record number";
  int32_t eight = 8;
  TFindRec both[2] = {{2, seven.data(), 10}, {1, &eight, 4}};
  ASSERT_TRUE(db.Lookup(t, both, 2, pos));
  EXPECT_EQ(pos, 1) << "several fields: scanned, the 0-based position";
}

TEST_F(Indexes, RecordNumberIndexFollowsInsertsAndDeletes) {
  TCustomVarDB db("m");
  int t = db.AddTable("T Key N");
  for (int32_t k = 0; k < 30; ++k) AddKey(db, t, k);
  db.IndexCreate(t, 0, 1, true, false);
  for (int32_t k = 30; k < 40; ++k) AddKey(db, t, k);
  ASSERT_TRUE(db.Top(t));
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(db.DeleteRecord(t, true));
  ExpectSound(db);
  int32_t recNo = 35, found;
  TFindRec byNumber{0, &recNo, 4};
  ASSERT_TRUE(db.Seek(t, &byNumber, 1, found));
  EXPECT_EQ(Int(db.GetField(t, 1)), 34);
  recNo = 5;
  EXPECT_FALSE(db.Seek(t, &byNumber, 1, found));
}

TEST_F(Indexes, IndexesFollowTheirTableWhenTablesAreRenumbered) {
  TCustomVarDB db("x");
  ASSERT_TRUE(db.OpenFile(Path("n.zod"), rtl::fmCreate));
  int first = db.AddTable("A Key N");
  int second = db.AddTable("B Key N");
  db.IndexCreate(second, 1, 1, true, false);
  for (int32_t k = 0; k < 50; ++k) {
    AddKey(db, first, k);
    AddKey(db, second, 1000 + k);
  }
  db.DeleteTable(first);
  ExpectSound(db);
  int32_t recNo;
  ASSERT_TRUE(Find(db, 0, 1007, recNo));
  EXPECT_EQ(recNo, 8);
  AddKey(db, 0, 2000);
  ASSERT_TRUE(Find(db, 0, 2000, recNo));
  TCustomVarDB again("y");
  ASSERT_TRUE(again.OpenFile(Path("n.zod"), rtl::fmOpenRead));
  EXPECT_EQ(again.Table(0).Fields[1].Indexes[0].IndexTable, 0);
  ASSERT_TRUE(Find(again, 0, 1049, recNo));
}

TEST_F(Indexes, ALoopingDataChainIsAnErrorNotAHang) {
  Build("loop.zod", "T Key N Text V", [](TCustomVarDB& db, int t) {
    std::u16string text(700, u'x');
    for (int32_t k = 0; k < 60; ++k) {
      TFindRec f[2] = {{1, &k, 4}, {2, text.data(), static_cast<int32_t>(text.size() * 2)}};
      db.AddRecord(t, f, 2);
    }
    ASSERT_GE(db.LoadBlock(db.Table(t).Header.LastBlock)->Prev(), 64u) << "several blocks";
  });
  TCustomVarDB probe("p");
  ASSERT_TRUE(probe.OpenFile(Path("loop.zod"), rtl::fmOpenRead));
  uint32_t first = probe.Table(0).Header.FirstBlock, last = probe.Table(0).Header.LastBlock;
  std::string file = ReadFile("loop.zod");
  std::memcpy(&file[last], &first, 4);  // the last block's Next leads back to the first
  WriteFile("loop.zod", file);
  TCustomVarDB db("y");
  ASSERT_TRUE(db.OpenFile(Path("loop.zod"), rtl::fmOpenReadWrite));
  int32_t missing = -1, pos;
  TFindRec find{1, &missing, 4};
  EXPECT_THROW(db.Lookup(0, &find, 1, pos), EBlockCorrupt);
  EXPECT_THROW(db.IndexCreate(0, 2, 1, false, false), EBlockCorrupt);
  EXPECT_FALSE(db.IndexExists(0, 2)) << "no half-built index stays";
  EXPECT_FALSE(db.Check().empty());
  EXPECT_EQ(db.LockCount(), 0);
}

// Thousands of random operations on a table with several indexes; after each batch
// every record is found through every index and the structure check is clean.
TEST_F(Indexes, RandomOperationsKeepEveryIndexExact) {
  TCustomVarDB db("x");
  ASSERT_TRUE(db.OpenFile(Path("r.zod"), rtl::fmCreate));
  int t = db.AddTable("T Id N Group N Name V Data B");
  db.IndexCreate(t, 1, 1, true, true);    // unique, prefix
  db.IndexCreate(t, 2, 1, false, false);  // duplicates
  db.IndexCreate(t, 3, 1, false, true);   // texts
  db.IndexCreate(t, 4, 0, true, false);   // bytes, unique
  std::mt19937 rng(77);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  struct Row {
    int32_t id, group;
    std::u16string name;
    std::vector<uint8_t> data;
  };
  std::map<int32_t, Row> model;  // by _RECNO
  int32_t nextId = 1;
  auto randomName = [&]() {
    std::u16string s(static_cast<size_t>(pick(0, 3) == 0 ? pick(2100, 2500) : pick(0, 12)), u'a');
    for (auto& c : s) c = static_cast<char16_t>(u'a' + pick(0, 3));
    return s;
  };
  auto write = [&](Row& row) {
    TFindRec f[4] = {{1, &row.id, 4},
                     {2, &row.group, 4},
                     {3, row.name.data(), static_cast<int32_t>(row.name.size() * 2)},
                     {4, row.data.data(), static_cast<int32_t>(row.data.size())}};
    db.SetFields(t, f, 4);
  };
  auto verify = [&]() {
    ExpectSound(db);
    ExpectNodesWhole(db, t);
    for (auto& [recNo, row] : model) {
      int32_t found;
      TFindRec byId{1, &row.id, 4};
      ASSERT_TRUE(db.Seek(t, &byId, 1, found)) << "id " << row.id;
      ASSERT_EQ(found, recNo);
      ASSERT_EQ(Int(db.GetField(t, 2)), row.group);
      TFindRec byGroup{2, &row.group, 4};
      ASSERT_TRUE(db.Seek(t, &byGroup, 1, found));
      ASSERT_EQ(model.at(found).group, row.group);
      if (!row.name.empty()) {
        TFindRec byName{3, row.name.data(), static_cast<int32_t>(row.name.size() * 2)};
        ASSERT_TRUE(db.Seek(t, &byName, 1, found));
        ASSERT_TRUE(model.at(found).name == row.name);
      }
    }
  };
  for (int batch = 0; batch < 12; ++batch) {
    db.BeginTableUpdate();
    for (int op = 0; op < 600; ++op) {
      int kind = pick(0, 9);
      if (kind < 5 || model.empty()) {
        // Negative numbers too: integers are ordered by their sign.
        const int32_t id = nextId % 2 ? nextId : -nextId;
        ++nextId;
        Row row{id, pick(-20, 20), randomName(), {}};
        row.data.resize(static_cast<size_t>(pick(1, 8)));
        for (auto& b : row.data) b = static_cast<uint8_t>(pick(0, 255));
        db.AddRecord(t);
        write(row);
        model[Int(db.GetField(t, 0))] = row;
      } else {
        auto it = model.begin();
        std::advance(it, pick(0, static_cast<int>(model.size()) - 1));
        int32_t found;
        ASSERT_TRUE(db.Seek(t, std::vector<TFindRec>{{1, &it->second.id, 4}}.data(), 1, found));
        ASSERT_EQ(found, it->first);
        if (kind < 8) {
          it->second.group = pick(-20, 20);
          it->second.name = randomName();
          write(it->second);
        } else {
          ASSERT_TRUE(db.DeleteRecord(t, true));
          model.erase(it);
        }
      }
    }
    db.EndTableUpdate();
    verify();
  }
  TCustomVarDB again("y");
  ASSERT_TRUE(again.OpenFile(Path("r.zod"), rtl::fmOpenRead));
  ExpectSound(again, "reopened");
}

// Two processes take turns adding to one indexed table; nothing is lost. Each looks up
// what the other added since its last turn, inside the one leaf its own last look-up
// ended in (Id's keys carry their values, so that leaf is tried first).
TEST_F(Indexes, TwoProcessesShareAnIndexedTable) {
  Build("s.zod", "T Key N Id N", [](TCustomVarDB& db, int t) {
    db.IndexCreate(t, 1, 1, true, false);
    db.IndexCreate(t, 2, 1, true, true);
  });
  test::TPipe toChild, toParent;
  constexpr int kRounds = 40;
  // A turn's keys spread over the range of all keys, between those of earlier turns.
  auto key = [](int round, int who, int k) { return (k * kRounds + round) * 2 + who; };
  auto play = [&](int first, int in, int out) {
    TCustomVarDB db("p");
    if (!db.OpenFile(Path("s.zod"), rtl::fmOpenReadWrite | rtl::fmShareDenyNone)) return false;
    for (int round = 0; round < kRounds; ++round) {
      char c;
      if (first == 1 && ::read(in, &c, 1) != 1) return false;
      int32_t recNo;
      for (int k = 0; k < 5 && round + first > 0; ++k) {
        int32_t id = key(round - 1 + first, 1 - first, k);
        TFindRec f{2, &id, 4};
        if (!db.Seek(0, &f, 1, recNo) || Int(db.GetField(0, 1)) != id) return false;
      }
      for (int k = 0; k < 5; ++k) {
        int32_t value = key(round, first, k);
        TFindRec f[2] = {{1, &value, 4}, {2, &value, 4}};
        db.AddRecord(0, f, 2);
      }
      int32_t own = key(round, first, 2);
      TFindRec f{2, &own, 4};
      if (!db.Seek(0, &f, 1, recNo)) return false;
      if (::write(out, "x", 1) != 1) return false;
      if (first == 0 && round + 1 < kRounds && ::read(in, &c, 1) != 1) return false;
    }
    return true;
  };
  pid_t child = Spawn([&] { return play(1, toChild[0], toParent[1]) ? 0 : 1; });
  // Only the child keeps its ends: its end ends the parent's wait for a turn, and a parent
  // that fails stops the child waiting for its own.
  toChild.Close(0);
  toParent.Close(1);
  bool played = play(0, toParent[0], toChild[1]);
  if (!played) ::kill(child, SIGKILL);
  int code = Wait(child);
  ASSERT_TRUE(played);
  ASSERT_EQ(code, 0);

  TCustomVarDB db("v");
  ASSERT_TRUE(db.OpenFile(Path("s.zod"), rtl::fmOpenRead));
  EXPECT_EQ(db.Table(0).Header.RecordCount, 2 * kRounds * 5);
  for (int round = 0; round < kRounds; ++round)
    for (int who = 0; who < 2; ++who)
      for (int k = 0; k < 5; ++k) {
        int32_t recNo;
        EXPECT_TRUE(Find(db, 0, key(round, who, k), recNo)) << round << " " << who << " " << k;
      }
  ExpectSound(db);
}

// Searches remember the values behind keys; a record whose indexed value changes, moves
// to another block or goes must never be found by a value it no longer has.
TEST_F(Indexes, RememberedValuesFollowRecordChanges) {
  TCustomVarDB db("x");
  ASSERT_TRUE(db.OpenFile(Path("m.zod"), rtl::fmCreate));
  int t = db.AddTable("T Key N Small S Pad B");
  db.IndexCreate(t, 1, 0, true, false);   // fetched from the records
  db.IndexCreate(t, 2, 0, false, true);   // whole value in the key
  std::vector<uint8_t> pad(150, 7);
  std::map<int32_t, int16_t> model;  // key -> small
  auto add = [&](int32_t key, int16_t small) {
    TFindRec f[3] = {{1, &key, 4}, {2, &small, 2}, {3, pad.data(), static_cast<int32_t>(pad.size())}};
    db.AddRecord(t, f, 3);
    model[key] = small;
  };
  for (int32_t k = 0; k < 3000; ++k) add(k * 7919 % 100003, static_cast<int16_t>(k % 300));
  int32_t recNo;
  for (int round = 0; round < 4; ++round) {
    // Rewrite some keys (the record is rewritten in place), delete others (blocks merge and
    // lend records), then look every old and new value up.
    std::mt19937 random(round);
    std::vector<std::pair<int32_t, int32_t>> renamed;
    for (int i = 0; i < 200; ++i) {
      auto it = std::next(model.begin(), static_cast<long>(random() % model.size()));
      int32_t old = it->first, now = 200000 + round * 1000 + i;
      ASSERT_TRUE(Find(db, t, old, recNo));
      db.SetField(t, 1, &now, 4);
      model[now] = it->second;
      model.erase(it);
      renamed.emplace_back(old, now);
    }
    for (int i = 0; i < 300; ++i) {
      auto it = std::next(model.begin(), static_cast<long>(random() % model.size()));
      ASSERT_TRUE(Find(db, t, it->first, recNo));
      ASSERT_TRUE(db.DeleteRecord(t, true));
      model.erase(it);
    }
    for (auto [old, now] : renamed) {
      EXPECT_FALSE(Find(db, t, old, recNo)) << "old value " << old << " still found";
      EXPECT_EQ(Find(db, t, now, recNo), model.count(now) == 1) << now;
    }
    for (auto [key, small] : model) {
      ASSERT_TRUE(Find(db, t, key, recNo)) << key;
      EXPECT_EQ(Int(db.GetField(t, 1)), key);
      TFindRec bySmall{2, &small, 2};
      ASSERT_TRUE(db.Seek(t, &bySmall, 1, recNo)) << small;
    }
    ExpectSound(db);
  }
}

// An index root that names a block of another structure is refused before anything is
// changed through it, and dropping that index frees nothing: no record, no catalogue lost.
TEST_F(Indexes, ARootThatIsNoNodeIsRefusedAndDroppingItLosesNothing) {
  for (bool intoCatalogue : {false, true}) {
    SCOPED_TRACE(intoCatalogue ? "root at the catalogue" : "root at the records");
    uint32_t root, data;
    TIndexHeader index;
    Build("root.zod", "T Key N", [&](TCustomVarDB& db, int t) {
      db.IndexCreate(t, 1, 1, true, false);
      for (int32_t k = 1; k <= 5; ++k) AddKey(db, t, k * 10);
      index = db.Table(t).Fields[1].Indexes[0];
      root = index.Root;
      data = db.Table(t).Header.FirstBlock;
    });
    // The index header as the catalogue holds it, with another root.
    std::string file = ReadFile("root.zod");
    uint8_t stored[TIndexHeader::kSize];
    index.Encode(stored);
    size_t at = file.find(std::string(reinterpret_cast<char*>(stored), sizeof stored));
    ASSERT_NE(at, std::string::npos);
    uint32_t bad = intoCatalogue ? 64 : data;
    std::memcpy(&file[at], &bad, 4);
    WriteFile("root.zod", file);

    TCustomVarDB db("y");
    ASSERT_TRUE(db.OpenFile(Path("root.zod"), rtl::fmOpenReadWrite));
    int32_t recNo;
    try {
      EXPECT_FALSE(Find(db, 0, 30, recNo));
      EXPECT_TRUE(intoCatalogue) << "records taken for keys";
    } catch (const EBlockCorrupt& e) {
      EXPECT_NE(e.Message().find(Path("root.zod")), std::string::npos) << e.Message();
    }
    db.IndexRemove(0, 1, 0);
    EXPECT_FALSE(db.IndexExists(0, 1));
    EXPECT_EQ(db.Header().AvailList, 0u) << "a block was freed";
    std::vector<int32_t> keys;
    for (bool more = db.Top(0); more; more = db.Step(0, 1)) keys.push_back(Int(db.GetField(0, 1)));
    EXPECT_EQ(keys, (std::vector<int32_t>{10, 20, 30, 40, 50}));
    TCustomVarDB again("z");
    ASSERT_TRUE(again.OpenFile(Path("root.zod"), rtl::fmOpenRead));
    std::vector<TCheckFinding> findings = again.Check();
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].Block, root) << "only the old tree's node is left unused";
  }
}

// A split whose new block cannot be had changes nothing: a later write of the node must not
// save half of it.
TEST_F(Indexes, AFailedSplitLeavesTheNodeWhole) {
  Build("split.zod", "T Key N", [&](TCustomVarDB& db, int t) {
    db.IndexCreate(t, 1, 1, true, false);
    for (int32_t k = 1; k <= 510; ++k) AddKey(db, t, k * 10);
    ASSERT_EQ(Node(db, Root(db, t, 1)).Count, 510);
    ASSERT_EQ(db.Table(t).Header.FirstBlock, db.Table(t).Header.LastBlock) << "one more record fits its block";
  });
  // The avail list's one block leads to an address that is no block: taking it fails.
  std::string file = ReadFile("split.zod");
  auto head = static_cast<uint32_t>(file.size());
  std::string freeBlock(8192, '\0');
  freeBlock[0] = 5;
  file += freeBlock;
  std::memcpy(&file[20], &head, 4);
  WriteFile("split.zod", file);

  TCustomVarDB db("y");
  ASSERT_TRUE(db.OpenFile(Path("split.zod"), rtl::fmOpenReadWrite));
  EXPECT_THROW(AddKey(db, 0, 5110), EBlockCorrupt);
  // Mend the avail list behind the engine's back (the change counter stays), then delete a
  // record: its key leaves the root leaf, which is written.
  file = ReadFile("split.zod");
  std::memset(&file[20], 0, 4);
  WriteFile("split.zod", file);
  ASSERT_TRUE(db.Top(0));
  ASSERT_TRUE(db.DeleteRecord(0, true));

  TCustomVarDB again("z");
  ASSERT_TRUE(again.OpenFile(Path("split.zod"), rtl::fmOpenRead));
  int32_t recNo;
  for (int32_t k = 2; k <= 510; ++k) ASSERT_TRUE(Find(again, 0, k * 10, recNo)) << "key " << k * 10 << " lost";
}

}  // namespace
}  // namespace quintrel::storage
