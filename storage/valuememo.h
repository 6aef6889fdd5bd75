// The value memo: the indexed values of records, up to 8 bytes, kept by table, field,
// data block and record number, so that an index search need not fetch each compared
// record's value from its data block.
//
// Invariants:
//   - An entry holds the whole value of one record's field, at most kMaxBytes bytes; a
//     longer value is never memorised (Put ignores it), so a hit is always the full value.
//   - An entry is right only while the record's keys stay where they are: the engine erases
//     it whenever it deletes or moves the record's keys (which every change of a record
//     does), and clears everything when the catalogue or the file's change counter moves,
//     or when an exception leaves an exclusive-locked operation.
//   - The table's size is a power of two and at most half of it is used, so every probe
//     ends at an empty slot. Deletion shifts later entries of the run back instead of
//     leaving tombstones, so every entry stays reachable from its home slot.
//   - Memory is bounded: beyond 2^21 slots the memo starts again empty instead of growing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace quintrel::storage {

// Indexed values of records, up to 8 bytes, by table, field, block and record number:
// every comparison of an index search needs the value of the record behind a key, and
// fetching it from its data block costs several cache misses. An entry is dropped
// whenever the engine deletes or moves the record's keys (which every change of a record
// does) and everything is dropped when the catalogue or the file's change counter moves.
// Open addressing with linear probing and backward-shift deletion.
class TValueMemo {
public:
  static constexpr size_t kMaxBytes = 8;
  bool Find(uint16_t table, uint16_t field, uint32_t block, int32_t recNo, uint64_t& value, uint8_t& length) const {
    if (size_ == 0) return false;
    for (size_t i = Home(table, field, block, recNo);; i = (i + 1) & mask_) {
      const TEntry& e = entries_[i];
      if (!e.used) return false;
      if (e.Matches(table, field, block, recNo)) {
        value = e.value;
        length = e.length;
        return true;
      }
    }
  }
  void Put(uint16_t table, uint16_t field, uint32_t block, int32_t recNo, const uint8_t* data, size_t length) {
    if (length > kMaxBytes) return;
    if (2 * (size_ + 1) > entries_.size()) Grow();
    size_t i = Home(table, field, block, recNo);
    while (entries_[i].used && !entries_[i].Matches(table, field, block, recNo)) i = (i + 1) & mask_;
    TEntry& e = entries_[i];
    if (!e.used) ++size_;
    e = TEntry{block, recNo, table, field, static_cast<uint8_t>(length), true, 0};
    if (length > 0) std::memcpy(&e.value, data, length);
  }
  void Erase(uint16_t table, uint16_t field, uint32_t block, int32_t recNo) {
    if (size_ == 0) return;
    size_t i = Home(table, field, block, recNo);
    while (entries_[i].used && !entries_[i].Matches(table, field, block, recNo)) i = (i + 1) & mask_;
    if (!entries_[i].used) return;
    // Later entries of the same run move back so that no search stops early.
    size_t hole = i;
    for (size_t j = (i + 1) & mask_; entries_[j].used; j = (j + 1) & mask_) {
      size_t home = Home(entries_[j].table, entries_[j].field, entries_[j].block, entries_[j].recNo);
      if (((j - home) & mask_) >= ((j - hole) & mask_)) {
        entries_[hole] = entries_[j];
        hole = j;
      }
    }
    entries_[hole].used = false;
    --size_;
  }
  void Clear() {
    if (size_ == 0) return;
    for (TEntry& e : entries_) e.used = false;
    size_ = 0;
  }

private:
  struct TEntry {
    uint32_t block = 0;
    int32_t recNo = 0;
    uint16_t table = 0;
    uint16_t field = 0;
    uint8_t length = 0;
    bool used = false;
    uint64_t value = 0;
    bool Matches(uint16_t t, uint16_t f, uint32_t b, int32_t r) const {
      return block == b && recNo == r && table == t && field == f;
    }
  };
  static constexpr size_t kMaxEntries = size_t{1} << 21;  // 48 MiB at most; emptied beyond
  size_t Home(uint16_t table, uint16_t field, uint32_t block, int32_t recNo) const {
    uint64_t k = (static_cast<uint64_t>(block) << 32) ^ static_cast<uint32_t>(recNo) ^
                 (static_cast<uint64_t>(table) << 48) ^ (static_cast<uint64_t>(field) << 20);
    k *= 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(k >> 40) & mask_;
  }
  void Grow() {
    size_t capacity = entries_.empty() ? 1024 : 2 * entries_.size();
    std::vector<TEntry> old;
    if (capacity > kMaxEntries) {
      capacity = entries_.size();  // full at the largest size: start again empty
    } else {
      old.swap(entries_);
    }
    entries_.assign(capacity, TEntry{});
    mask_ = capacity - 1;
    size_ = 0;
    for (const TEntry& e : old)
      if (e.used) Put(e.table, e.field, e.block, e.recNo, reinterpret_cast<const uint8_t*>(&e.value), e.length);
  }

  std::vector<TEntry> entries_;
  size_t mask_ = 0;
  size_t size_ = 0;
};

}  // namespace quintrel::storage
