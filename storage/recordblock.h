// The record-block layout: how a data block holds a table's records, and how a record
// too long for its block is kept in an overflow chain. The engine (records.cpp) and the
// structure check (check.cpp) both read blocks through these functions, so the two agree
// on what a sound block is.
//
// Data block. The payload (positions 1..8175, byte 16 + p) holds Count stored records back
// to back from position 1 to Used, and directly after them, at position Used + 1, the
// record table: Count u16 start positions. Entry 1 is 1, the entries ascend strictly, and
// the last one lies at or below Used; record i runs from entry i to entry i + 1 (or to
// Used + 1 for the last). Used + 2 x Count never exceeds 8175. A block of no records is
// sound whatever else it holds.
//
// Stored record. A flag byte, then
//   flag 0 (kFlagInline): the record's image;
//   flag 128 (kFlagChain): the 4-byte address of the first block of an overflow chain
//   holding the image (5 stored bytes).
// Any other flag, or a chain reference shorter than 5 bytes, is damage.
//
// Record image. The field values in field order: a fixed field as unit length x
// FieldLength bytes; a variable field (B, V) as a 4-byte length L and L bytes, or, for a
// value longer than 4087 bytes, the marker 65535, the true length and the address of the
// value's overflow chain (12 bytes). An image may end early: the fields after its end are
// absent.
//
// Overflow chain. Blocks linked by Next and Prev (0 at the ends); each holds Used bytes
// (at most 8175) of the value at positions 1... A record's chain ends at its last block or
// at a block with Used 0; a field value's chain holds exactly the value's length, so it can
// never be longer than the file's blocks can hold.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/sysutils.h"
#include "storage/coding.h"
#include "storage/vardbs.h"
#include "strings/vconsts.h"

namespace quintrel::storage {

constexpr uint8_t kFlagInline = 0;
constexpr uint8_t kFlagChain = 128;
constexpr size_t kChainReferenceSize = 5;      // flag and chain address
constexpr size_t kOversizedReferenceSize = 12;  // marker, length and chain address
constexpr int kChainPayload = kLastPosition;    // bytes of a value one chain block holds

// The start position of record i (1-based) of a data block.
inline int EntryAt(const TBlock& b, int i) { return Get16(b.At(b.Used() + 1 + 2 * (i - 1))); }

// The start positions of the records of a data block (index i: record i + 1).
inline std::vector<uint16_t> ReadEntries(const TBlock& b) {
  std::vector<uint16_t> e(b.Count());
  for (size_t i = 0; i < e.size(); ++i) e[i] = static_cast<uint16_t>(EntryAt(b, static_cast<int>(i) + 1));
  return e;
}

// Bytes of a data block's payload in use: its records and its record table.
inline int Fill(const TBlock& b) { return 2 * b.Count() + b.Used(); }

// Changing a data block. Each keeps the layout above (records back to back from position 1,
// the record table right after them, the rest of the payload zero) and raises
// EBlockInconsistent when the records would not fit the block.

// Writes the record table `e` after `used` bytes of records and clears what lies beyond it.
void WriteEntries(TBlock& b, const std::vector<uint16_t>& e, int used);
// The last record of a block, counting down, that starts before the middle (4088 bytes): the
// first record a lender gives away.
int MiddleRecord(const std::vector<uint16_t>& e);
// The stored records of a block, in order, and a block holding exactly `records`.
std::vector<std::vector<uint8_t>> DecodeRecords(const TBlock& b);
void EncodeRecords(TBlock& b, const std::vector<std::vector<uint8_t>>& records);
// Puts a stored record at `position` (1..Count + 1); the records from there move up one.
void InsertInBlock(TBlock& b, int position, const std::vector<uint8_t>& stored);
// Takes the stored record at `position` (one of the block's) out of the block and gives it back.
std::vector<uint8_t> DeleteFromBlock(TBlock& b, int position);
// Moves `n` records from `sourcePos` of `source` to `destPos` of `dest`, in order
// (EBlockInconsistent also when the positions name no records).
void DistributeRecords(TBlock& source, TBlock& dest, int n, int destPos, int sourcePos);

// EBlockCorrupt naming the file, the block and what breaks the layout.
[[noreturn]] inline void RecordBlockCorrupt(std::string_view file, uint32_t address, const std::string& problem) {
  throw EBlockCorrupt(address, rtl::Format(strings::_SBlockCorruptIn, std::string(file), address, problem));
}

// What breaks the layout of a data block's record table; empty when nothing does.
inline std::string RecordTableFault(const TBlock& b) {
  int count = b.Count(), used = b.Used();
  if (count == 0) return {};
  if (used >= kLastPosition - 1 || used + 2 * count > kLastPosition)
    return rtl::Format(strings::_SRecordTableSize, count, used);
  for (int i = 1, previous = 0; i <= count; ++i) {
    int entry = EntryAt(b, i);
    if ((i == 1 && entry != 1) || entry <= previous || entry > used)
      return rtl::Format(strings::_SRecordEntry, i, entry);
    previous = entry;
  }
  return {};
}

// Tests a data block's record table: EBlockCorrupt when it breaks the layout.
inline void CheckRecordTable(std::string_view file, uint32_t address, const TBlock& b) {
  std::string fault = RecordTableFault(b);
  if (!fault.empty()) RecordBlockCorrupt(file, address, fault);
}

// One stored record of a data block, in place: valid until the block changes.
struct TStoredRecord {
  const uint8_t* Data = nullptr;  // the flag byte, then the image or the chain address
  size_t Size = 0;                // stored bytes, flag included
  bool Chained() const { return Data[0] == kFlagChain; }
  // The image of an inline record.
  TValueView Image() const { return {Data + 1, Size - 1}; }
  // The first block of a chained record's image.
  uint32_t Chain() const { return Get32(Data + 1); }
};

// Record `position` of a data block of the file; EBlockCorrupt when the position, its
// record-table entries or its flag break the layout.
inline TStoredRecord StoredAt(std::string_view file, const TBlock& b, uint32_t address, int position) {
  int count = b.Count(), used = b.Used();
  if (position < 1 || position > count || used + 2 * count > kLastPosition)
    RecordBlockCorrupt(file, address, rtl::Format(strings::_SRecordMissing, position, count));
  int start = EntryAt(b, position);
  int end = position < count ? EntryAt(b, position + 1) : used + 1;
  if (start < 1 || end <= start || end > used + 1)
    RecordBlockCorrupt(file, address, rtl::Format(strings::_SRecordEntry, position, start));
  TStoredRecord record{b.At(start), static_cast<size_t>(end - start)};
  if (record.Data[0] == kFlagInline) return record;
  if (record.Data[0] == kFlagChain && record.Size >= kChainReferenceSize) return record;
  RecordBlockCorrupt(file, address, rtl::Format(strings::_SRecordFlag, position, static_cast<int>(record.Data[0])));
}

}  // namespace quintrel::storage
