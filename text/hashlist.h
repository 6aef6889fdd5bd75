// THashList: the in-memory dictionary of the system. It maps a byte-string key of 1 to 255
// bytes to a 32-bit value or, in value mode, a 32-bit value to its key.
//
// Layout. An extendible hash table: a directory of 2^Depth slots refers to buckets of five
// entries. A slot number is built from the low bits of a key's hash in reversed order
// (bit 0 of the hash is the most significant address bit), so a bucket of local depth d
// owns the aligned run of 2^(Depth - d) consecutive slots that share its d-bit address
// prefix, and doubling the directory refines slot i into slots 2i and 2i + 1.
//
// Every key is hashed by two functions (Hash and Hash2) and may live in either of its two
// candidate buckets; a new entry goes to the less loaded one (the Hash2 bucket on a tie).
// When both are full, one of them splits, and the directory doubles when that bucket
// already owns a single slot.
//
// Overflow. Both hashes are weak on systematic keys: "x809", "x815" and "x821" share their
// Hash, and Hash2 (a sum of byte pairs) takes only a few hundred values over "x0".."x9999".
// All keys of one hash value land in one bucket at any depth, so no split can make room
// for a sixth key whose two hash values are both taken five times over. Such a key, and
// one whose split would need a directory deeper than AllowedDepth, overflows: its bucket
// holds more than five entries until deletions or splits bring it back. Lookups stay
// correct; only they compare more keys than the usual ten at most.
//
// Invariants kept by every operation (and verified by CheckIntegrity):
//  - each bucket owns exactly the aligned slot run of its address prefix, LocalDepth <= Depth;
//  - every entry is reachable from the full-depth address of its Hash or of its Hash2;
//  - no two entries share a key (in value mode: a value);
//  - MemUsed equals the accounting sizes below of directory, buckets and key copies.
//
// Memory accounting. MemUsed counts the bytes the list would use in a compact 32-bit
// layout, so that it is the same on every platform: a directory slot is a 4-byte
// reference, a bucket is LocalDepth (1) + EntryCount (1) + five 4-byte key references +
// five key lengths (1 each) + five 4-byte values = 47 bytes, an overflow entry beyond the
// fifth one more reference, length and value (9 bytes), and a key copy counts its length.
// A new list holds one slot and one bucket: 51 bytes. Release brings it to 0.
//
// Not synchronised: a list must not be used from two threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/sysutils.h"

namespace quintrel::text {

// An internal inconsistency of a hash list: an entry that fits neither bucket of a split,
// or accounting left over when the list is released.
class EHashListError : public rtl::Exception {
public:
  EHashListError();
};

class THashList {
public:
  static constexpr int BucketCapacity = 5;
  static constexpr int32_t BucketSize = 1 + 1 + BucketCapacity * 4 + BucketCapacity + BucketCapacity * 4;
  static constexpr int32_t OverflowEntrySize = 4 + 1 + 4;
  static constexpr int32_t SlotSize = 4;
  static constexpr int MaxKeyLength = 255;
  // Hash values have 31 bits; the accounting of a deeper directory would not fit MemUsed.
  static constexpr int MaxDepth = 28;

  THashList();
  ~THashList();
  THashList(const THashList&) = delete;
  THashList& operator=(const THashList&) = delete;

  // False when len is 0 or the key (in value mode: the value) is already present.
  bool Add(const void* key, uint8_t len, uint32_t value);
  // Key mode: looks key/len up and sets value. Value mode: looks `value` up, copies the
  // stored key into key (a caller buffer of 255 bytes) and sets len.
  bool Get(void* key, uint8_t& len, uint32_t& value);
  // Removes the entry when found. In value mode key points at the 4 bytes of the value
  // (as a uint32_t lies in memory) and len is not used.
  bool Delete(const void* key, uint8_t len);
  // Removes every entry the way single deletions do, first entry in iteration order
  // first, so buckets merge and the directory shrinks as far as the pairing rule allows.
  void Clear();

  // Iteration in slot order, then entry order, each bucket once. Any change to the list
  // restarts the order: a caller deleting while iterating calls Top after each deletion.
  void Top();
  // Copies the next entry's key (into a caller buffer of 255 bytes), length and value.
  bool Next(void* key, uint8_t& len, uint32_t& value);

  // Chooses value mode; to be set while the list is empty.
  void SetHashOnValue(bool on) { hashOnValue_ = on; }
  bool HashOnValue() const { return hashOnValue_; }

  int32_t MemUsed() const { return memUsed_; }
  int32_t Depth() const { return depth_; }
  int32_t EntryCount() const { return entryCount_; }
  int32_t BucketCount() const { return static_cast<int32_t>(buckets_.size()); }
  // Entries held beyond the five of their bucket.
  int32_t OverflowCount() const;

  // Frees every key copy, every bucket once and the directory, taking each size off
  // MemUsed, and raises EHashListError when the accounting does not come back to 0. The
  // list is empty and holds no directory afterwards; the next Add starts a new one. The
  // destructor performs the same release but must not raise: it counts a failed check in
  // ReleaseFaults instead.
  void Release();
  // Number of destructions in this process whose accounting did not come back to 0.
  static int32_t ReleaseFaults();

  // Verifies the invariants listed at the top of this file; true when all hold.
  bool CheckIntegrity() const;

  // Conveniences over string keys. A key longer than 255 bytes is refused (Add returns
  // false, the others find nothing). Find and Delete look keys up in key mode only.
  bool Add(std::string_view key, uint32_t value);
  std::optional<uint32_t> Find(std::string_view key) const;
  bool Delete(std::string_view key);
  // Value mode: the key stored with `value`, and removal by value.
  std::optional<std::string> KeyOf(uint32_t value) const;
  bool DeleteValue(uint32_t value);

  // The two hash functions; both give values below 2^31 and 0 for an empty key.
  static uint32_t Hash(const void* key, uint8_t len);
  static uint32_t Hash2(const void* key, uint8_t len);
  // The low `bits` bits of `hash` in reversed order; 0 when bits < 1.
  static uint32_t MakeAddress(uint32_t hash, int bits);

private:
  struct TEntry {
    std::unique_ptr<uint8_t[]> Key;  // the list's own copy
    uint8_t Len = 0;
    uint32_t Value = 0;
  };

  struct THashBucket {
    uint8_t LocalDepth = 0;
    // At most BucketCapacity, unless the bucket overflows.
    std::vector<TEntry> Entries;
    // The LocalDepth-bit address prefix of the slots this bucket owns. Kept here rather
    // than recomputed from the first key, so that an emptied bucket still knows its place.
    uint32_t Address = 0;
    // Position in buckets_, so that freeing a bucket costs no search.
    size_t PoolIndex = 0;

    int Count() const { return static_cast<int>(Entries.size()); }
  };

  // What lookups search for: a key, or in value mode a value, with both its hashes.
  struct TProbe {
    const uint8_t* Bytes;
    uint8_t Len;
    uint32_t Value;
    uint32_t H1;
    uint32_t H2;
  };

  TProbe KeyProbe(const void* key, uint8_t len) const;
  TProbe ValueProbe(uint32_t value) const;
  TProbe EntryProbe(const TEntry& entry) const;
  // Hash (second false) or Hash2 of what a stored entry is found by.
  uint32_t EntryHash(const TEntry& entry, bool second) const;
  bool Matches(const TEntry& entry, const TProbe& probe) const;
  // Entry index or -1; bucket is the match or, without one, the candidate bucket with
  // fewer entries (the Hash2 bucket on a tie).
  int Find(const TProbe& probe, THashBucket*& bucket) const;
  bool AddEntry(const TProbe& probe, const void* key, uint8_t len, uint32_t value);
  bool DeleteEntry(const TProbe& probe);
  static void CopyOut(const TEntry& entry, void* key, uint8_t& len, uint32_t& value);

  // Every change of a bucket's entries goes through these, which keep the overflow part
  // of MemUsed; key copies are accounted where they are made and dropped.
  void Append(THashBucket& bucket, TEntry entry);
  TEntry TakeOut(THashBucket& bucket, int index);
  std::vector<TEntry> TakeAll(THashBucket& bucket);
  void DropKey(TEntry& entry);

  void InitDirectory();
  THashBucket* NewBucket();
  void FreeBucket(THashBucket* bucket);

  // How deep the directory may grow with the present number of entries.
  int AllowedDepth() const;
  // How many splits of a full bucket it takes before the arriving entry finds room in its
  // lineage; Unsplittable when no split within AllowedDepth parts them.
  static constexpr int Unsplittable = 1 << 16;
  int SplitsNeeded(const THashBucket& bucket, const TProbe& probe) const;
  // Both candidates of the probe are full: splits the one that makes room soonest and
  // returns true, or returns false when no split can make room.
  bool SplitForRoom(const TProbe& probe);
  void Split(THashBucket* bucket);
  void DoubleDirectory();
  void InsertBucket(THashBucket* bucket, uint32_t first, uint32_t last);
  THashBucket* FindBuddy(const THashBucket& bucket) const;
  void TryCombine(THashBucket* bucket);
  void Combine(THashBucket* bucket, THashBucket* buddy);
  bool TryCollapse();
  void ReleaseAll();

  int32_t depth_ = 0;
  std::vector<THashBucket*> directory_;
  std::vector<std::unique_ptr<THashBucket>> buckets_;
  int32_t memUsed_ = 0;
  int32_t iterEntry_ = 0;
  int32_t iterSlot_ = 0;
  int32_t entryCount_ = 0;
  bool hashOnValue_ = false;
};

}  // namespace quintrel::text
