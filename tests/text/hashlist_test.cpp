#include "text/hashlist.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace quintrel::text {
namespace {

uint32_t HashOf(std::string_view key) { return THashList::Hash(key.data(), static_cast<uint8_t>(key.size())); }
uint32_t Hash2Of(std::string_view key) { return THashList::Hash2(key.data(), static_cast<uint8_t>(key.size())); }

// Everything Next hands out after a Top, in order.
std::vector<std::pair<std::string, uint32_t>> Entries(THashList& list) {
  std::vector<std::pair<std::string, uint32_t>> entries;
  std::array<char, 255> key{};
  uint8_t len = 0;
  uint32_t value = 0;
  list.Top();
  while (list.Next(key.data(), len, value)) entries.emplace_back(std::string(key.data(), len), value);
  return entries;
}

// The same as key -> value; an entry visited twice makes the test fail.
std::map<std::string, uint32_t> Walk(THashList& list) {
  const auto entries = Entries(list);
  std::map<std::string, uint32_t> seen(entries.begin(), entries.end());
  EXPECT_EQ(seen.size(), entries.size()) << "an entry was visited twice";
  return seen;
}

std::string RandomKey(std::mt19937& random) {
  std::uniform_int_distribution<int> length(1, 24);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string key(static_cast<size_t>(length(random)), '\0');
  for (char& c : key) c = static_cast<char>(byte(random));
  return key;
}

int32_t Baseline(const THashList& list) {
  return (THashList::SlotSize << list.Depth()) + THashList::BucketSize * list.BucketCount();
}

TEST(HashListHash, KnownValues) {
  EXPECT_EQ(HashOf("A"), 65u);
  EXPECT_EQ(HashOf("AB"), 65u * 4 + 66);
  EXPECT_EQ(Hash2Of("A"), 65u * 100 + 65);
  EXPECT_EQ(Hash2Of("AB"), 6566u);
  EXPECT_EQ(HashOf(""), 0u);
  EXPECT_EQ(Hash2Of(""), 0u);
  EXPECT_EQ(Hash2Of("abc"), Hash2Of("abca"));  // an odd key repeats its first byte
  EXPECT_LT(HashOf(std::string(255, '\xFF')), 1u << 28);  // the top nibble is folded away
}

TEST(HashListHash, AddressesReverseTheLowBits) {
  EXPECT_EQ(THashList::MakeAddress(0b110, 3), 3u);
  EXPECT_EQ(THashList::MakeAddress(0xFFFFFFFF, 0), 0u);
  EXPECT_EQ(THashList::MakeAddress(0xFFFFFFFF, -1), 0u);
  EXPECT_EQ(THashList::MakeAddress(1, 4), 8u);
  // One more bit refines slot i into 2i or 2i + 1, which directory doubling relies on.
  for (const uint32_t hash : {0x12345u, 0x7FFFFFFEu, 0x2AAAAAAAu}) {
    for (int bits = 0; bits < 30; ++bits) {
      EXPECT_EQ(THashList::MakeAddress(hash, bits + 1), 2 * THashList::MakeAddress(hash, bits) + ((hash >> bits) & 1));
    }
  }
}

TEST(HashList, SixthKeySplitsTheDirectoryAndNewKeysGoToTheLessLoadedCandidate) {
  THashList list;
  EXPECT_EQ(list.Depth(), 0);
  EXPECT_EQ(list.BucketCount(), 1);
  EXPECT_EQ(list.MemUsed(), THashList::SlotSize + THashList::BucketSize);
  for (const char* key : {"a", "b", "c", "d", "e"}) ASSERT_TRUE(list.Add(key, 1));
  EXPECT_EQ(list.Depth(), 0);
  EXPECT_EQ(list.BucketCount(), 1);
  ASSERT_TRUE(list.Add("f", 6));
  EXPECT_EQ(list.Depth(), 1);
  EXPECT_EQ(list.BucketCount(), 2);
  EXPECT_EQ(list.EntryCount(), 6);
  EXPECT_EQ(list.MemUsed(), 2 * THashList::SlotSize + 2 * THashList::BucketSize + 6);
  EXPECT_TRUE(list.CheckIntegrity());
  EXPECT_EQ(list.Find("f"), 6u);
  EXPECT_EQ(list.Find("c"), 1u);

  // New keys go to the less loaded candidate, on a tie to the Hash2 one. Slot 0 now holds
  // b, d, f and slot 1 holds a, c, e. A key of three bytes has the parity of its last byte
  // in Hash and that of its first two in Hash2: both keys below address slot 0 by Hash and
  // slot 1 by Hash2.
  for (const char* key : {"abh", "bah"}) {
    ASSERT_EQ(HashOf(key) & 1, 0u);
    ASSERT_EQ(Hash2Of(key) & 1, 1u);
  }
  ASSERT_TRUE(list.Add("abh", 0));  // 3 against 3: slot 1
  ASSERT_TRUE(list.Add("bah", 0));  // 3 against 4: slot 0
  std::vector<std::string> order;
  for (const auto& entry : Entries(list)) order.push_back(entry.first);
  EXPECT_EQ(order, (std::vector<std::string>{"b", "d", "f", "bah", "a", "c", "e", "abh"}));
}

TEST(HashList, RefusesDuplicatesEmptyAndOverlongKeys) {
  THashList list;
  ASSERT_TRUE(list.Add("name", 7));
  const int32_t memUsed = list.MemUsed();
  EXPECT_FALSE(list.Add("name", 8));
  EXPECT_EQ(list.Find("name"), 7u);
  EXPECT_EQ(list.MemUsed(), memUsed);
  EXPECT_EQ(list.EntryCount(), 1);

  EXPECT_FALSE(list.Add("", 1));
  EXPECT_FALSE(list.Add("x", 0, 1));
  EXPECT_FALSE(list.Add(std::string(256, 'k'), 1));
  EXPECT_TRUE(list.Add(std::string(255, 'k'), 1));
  EXPECT_EQ(list.Find(std::string(255, 'k')), 1u);
  EXPECT_FALSE(list.Find(std::string(256, 'k')).has_value());

  EXPECT_FALSE(list.Delete("absent"));
  EXPECT_FALSE(list.Delete("nam"));
  EXPECT_EQ(list.EntryCount(), 2);
  EXPECT_TRUE(list.Delete("name"));
  EXPECT_FALSE(list.Delete("name"));
  EXPECT_FALSE(list.Find("name").has_value());
}

// Random additions and deletions against std::map, with the structure checked throughout
// and the directory shrinking back once everything is gone.
TEST(HashList, FollowsAMapThroughRandomAddsAndDeletes) {
  const int32_t faultsBefore = THashList::ReleaseFaults();
  {
    std::mt19937 random(20240611);
    THashList list;
    std::map<std::string, uint32_t> model;
    std::vector<std::string> keys;
    int32_t peakDepth = 0;
    for (int round = 0; round < 6000; ++round) {
      const bool add = keys.empty() || random() % 3 != 0;
      if (add) {
        const std::string key = RandomKey(random);
        const uint32_t value = static_cast<uint32_t>(random());
        const bool fresh = model.emplace(key, value).second;
        ASSERT_EQ(list.Add(key, value), fresh);
        if (fresh) keys.push_back(key);
      } else {
        const size_t index = random() % keys.size();
        ASSERT_TRUE(list.Delete(keys[index]));
        ASSERT_FALSE(list.Delete(keys[index]));
        model.erase(keys[index]);
        keys[index] = keys.back();
        keys.pop_back();
      }
      peakDepth = std::max(peakDepth, list.Depth());
      ASSERT_EQ(list.EntryCount(), static_cast<int32_t>(model.size()));
      if (round % 500 == 0) {
        ASSERT_TRUE(list.CheckIntegrity()) << "round " << round;
        ASSERT_EQ(Walk(list), model);
      }
    }
    ASSERT_TRUE(list.CheckIntegrity());
    ASSERT_EQ(Walk(list), model);
    for (const auto& [key, value] : model) {
      std::string buffer = key;
      uint8_t len = static_cast<uint8_t>(key.size());
      uint32_t found = 0;
      ASSERT_TRUE(list.Get(buffer.data(), len, found));
      EXPECT_EQ(found, value);
    }
    EXPECT_GE(peakDepth, 8);

    std::shuffle(keys.begin(), keys.end(), random);
    for (const std::string& key : keys) ASSERT_TRUE(list.Delete(key));
    EXPECT_EQ(list.EntryCount(), 0);
    EXPECT_TRUE(list.CheckIntegrity());
    EXPECT_LT(list.Depth(), peakDepth);
    EXPECT_EQ(list.MemUsed(), Baseline(list));
    EXPECT_TRUE(Walk(list).empty());

    // Filled again and left for the destructor, whose release must balance.
    for (int i = 0; i < 300; ++i) ASSERT_TRUE(list.Add(RandomKey(random) + std::to_string(i), i));
  }
  EXPECT_EQ(THashList::ReleaseFaults(), faultsBefore);
}

TEST(HashList, ClearDeletesInIterationOrder) {
  std::mt19937 random(7);
  THashList cleared;
  THashList byHand;
  for (int i = 0; i < 2000; ++i) {
    const std::string key = RandomKey(random);
    cleared.Add(key, i);
    byHand.Add(key, i);
  }
  ASSERT_EQ(cleared.Depth(), byHand.Depth());

  // Clear must end exactly where deleting the first entry again and again ends.
  std::array<char, 255> key{};
  uint8_t len = 0;
  uint32_t value = 0;
  for (byHand.Top(); byHand.Next(key.data(), len, value); byHand.Top()) ASSERT_TRUE(byHand.Delete(key.data(), len));
  cleared.Clear();

  EXPECT_EQ(cleared.EntryCount(), 0);
  EXPECT_TRUE(cleared.CheckIntegrity());
  EXPECT_EQ(cleared.Depth(), byHand.Depth());
  EXPECT_EQ(cleared.BucketCount(), byHand.BucketCount());
  EXPECT_EQ(cleared.MemUsed(), byHand.MemUsed());
  EXPECT_EQ(cleared.MemUsed(), Baseline(cleared));
  EXPECT_TRUE(Walk(cleared).empty());
  EXPECT_TRUE(cleared.Add("again", 1));
  EXPECT_EQ(cleared.Find("again"), 1u);
}

TEST(HashList, ReleaseReturnsTheAccountingToZero) {
  THashList list;
  for (int i = 0; i < 500; ++i) list.Add("key" + std::to_string(i), i);
  list.Release();
  EXPECT_EQ(list.MemUsed(), 0);
  EXPECT_TRUE(list.CheckIntegrity());
  EXPECT_FALSE(list.Delete("key1"));
  EXPECT_TRUE(Walk(list).empty());
  // A released list starts a new directory on the next addition.
  ASSERT_TRUE(list.Add("key1", 1));
  EXPECT_EQ(list.MemUsed(), THashList::SlotSize + THashList::BucketSize + 4);
  EXPECT_EQ(list.Find("key1"), 1u);
}

TEST(HashList, KeysCollidingInBothHashesOverflowInsteadOfGrowing) {
  // Stepping (a, b, c, d) by (-1, +4, +1, -4) keeps both hashes of a 4-byte key, so
  // these keys cannot be spread over more than their two candidate buckets.
  std::vector<std::string> keys;
  for (int k = 0; k < 40; ++k) {
    keys.push_back({static_cast<char>(100 - k), static_cast<char>(4 * k), static_cast<char>(k),
                    static_cast<char>(200 - 4 * k)});
    ASSERT_EQ(HashOf(keys.back()), HashOf(keys.front()));
    ASSERT_EQ(Hash2Of(keys.back()), Hash2Of(keys.front()));
  }
  THashList list;
  for (int k = 0; k < 40; ++k) ASSERT_TRUE(list.Add(keys[k], k));
  EXPECT_TRUE(list.CheckIntegrity());
  EXPECT_EQ(list.OverflowCount(), 40 - 2 * THashList::BucketCapacity);
  EXPECT_LE(list.Depth(), 8);
  for (int k = 0; k < 40; ++k) EXPECT_EQ(list.Find(keys[k]), static_cast<uint32_t>(k));
  for (int k = 0; k < 40; ++k) EXPECT_TRUE(list.Delete(keys[k]));
  EXPECT_EQ(list.MemUsed(), Baseline(list));
}

TEST(HashList, HoldsSystematicNamesBeyondWhatTheirHashesSpread) {
  // "x0" .. "x9999" take a few hundred Hash2 values and under a thousand Hash values:
  // more keys than five per value, so some buckets must hold more than five.
  THashList list;
  for (int i = 0; i < 10000; ++i) ASSERT_TRUE(list.Add("x" + std::to_string(i), i));
  EXPECT_GT(list.OverflowCount(), 0);
  EXPECT_TRUE(list.CheckIntegrity());
  for (int i = 0; i < 10000; ++i) ASSERT_EQ(list.Find("x" + std::to_string(i)), static_cast<uint32_t>(i));
  EXPECT_FALSE(list.Find("x10000").has_value());
  for (int i = 0; i < 10000; i += 3) ASSERT_TRUE(list.Delete("x" + std::to_string(i)));
  EXPECT_TRUE(list.CheckIntegrity());
  EXPECT_EQ(Walk(list).size(), static_cast<size_t>(list.EntryCount()));
  list.Clear();
  EXPECT_EQ(list.OverflowCount(), 0);
  EXPECT_EQ(list.MemUsed(), Baseline(list));
}

TEST(HashListValueMode, FindsKeysByValue) {
  THashList list;
  list.SetHashOnValue(true);
  ASSERT_TRUE(list.Add("first", 10));
  ASSERT_TRUE(list.Add("second", 20));
  EXPECT_FALSE(list.Add("other", 10));  // the value is taken
  EXPECT_TRUE(list.Add("first", 30));   // keys may repeat; values may not

  std::array<char, 255> key{};
  uint8_t len = 0;
  uint32_t value = 20;
  ASSERT_TRUE(list.Get(key.data(), len, value));
  EXPECT_EQ(std::string(key.data(), len), "second");
  value = 40;
  EXPECT_FALSE(list.Get(key.data(), len, value));
  EXPECT_EQ(list.KeyOf(30), "first");

  const uint32_t doomed = 10;
  EXPECT_TRUE(list.Delete(&doomed, 4));
  EXPECT_FALSE(list.Delete(&doomed, 4));
  EXPECT_FALSE(list.KeyOf(10).has_value());
  EXPECT_TRUE(list.DeleteValue(20));
  EXPECT_EQ(list.EntryCount(), 1);
}

TEST(HashListValueMode, FollowsAMapOfValues) {
  std::mt19937 random(99);
  THashList list;
  list.SetHashOnValue(true);
  std::map<uint32_t, std::string> model;
  for (int round = 0; round < 3000; ++round) {
    const uint32_t value = random() % 2000;
    if (random() % 4 == 0) {
      ASSERT_EQ(list.DeleteValue(value), model.erase(value) == 1);
    } else {
      const std::string key = RandomKey(random);
      ASSERT_EQ(list.Add(key, value), model.emplace(value, key).second);
    }
  }
  ASSERT_TRUE(list.CheckIntegrity());
  ASSERT_EQ(list.EntryCount(), static_cast<int32_t>(model.size()));
  for (const auto& [value, key] : model) EXPECT_EQ(list.KeyOf(value), key);
  // Keys may repeat in value mode, so the walk is compared by value.
  const auto entries = Entries(list);
  std::map<uint32_t, std::string> walked;
  for (const auto& [key, value] : entries) walked.emplace(value, key);
  EXPECT_EQ(entries.size(), model.size());
  EXPECT_EQ(walked, model);
  list.Clear();
  EXPECT_EQ(list.EntryCount(), 0);
  EXPECT_EQ(list.MemUsed(), Baseline(list));
}

}  // namespace
}  // namespace quintrel::text
