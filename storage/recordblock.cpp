#include "storage/recordblock.h"

#include <cstring>
#include <iterator>

namespace quintrel::storage {

// Writes the record table after `used` bytes of records and clears what lies beyond it.
void WriteEntries(TBlock& b, const std::vector<uint16_t>& e, int used) {
  if (used + 2 * static_cast<int>(e.size()) > kLastPosition) throw EBlockInconsistent();
  b.SetUsed(static_cast<uint16_t>(used));
  b.SetCount(static_cast<uint16_t>(e.size()));
  uint8_t* table = b.At(used + 1);
  for (size_t i = 0; i < e.size(); ++i) Put16(table + 2 * i, e[i]);
  int end = used + 1 + 2 * static_cast<int>(e.size());
  if (end <= kLastPosition) std::memset(b.At(end), 0, kLastPosition + 1 - end);
}

// The last record of a block, counting down, that starts before the middle: the first
// record a lender gives away.
int MiddleRecord(const std::vector<uint16_t>& e) {
  for (int j = static_cast<int>(e.size()); j >= 1; --j)
    if (e[j - 1] + 2 * j < kHalfFill) return j;
  return 1;
}

// The stored records of a block, in order.
std::vector<std::vector<uint8_t>> DecodeRecords(const TBlock& b) {
  std::vector<uint16_t> e = ReadEntries(b);
  std::vector<std::vector<uint8_t>> records;
  for (size_t i = 0; i < e.size(); ++i) {
    int end = i + 1 < e.size() ? e[i + 1] : b.Used() + 1;
    records.emplace_back(b.At(e[i]), b.At(end));
  }
  return records;
}

void EncodeRecords(TBlock& b, const std::vector<std::vector<uint8_t>>& records) {
  std::vector<uint16_t> e;
  int position = 1;
  for (const auto& r : records) {
    if (position + static_cast<int>(r.size()) - 1 > kLastPosition) throw EBlockInconsistent();
    e.push_back(static_cast<uint16_t>(position));
    std::memcpy(b.At(position), r.data(), r.size());
    position += static_cast<int>(r.size());
  }
  WriteEntries(b, e, position - 1);
}

void InsertInBlock(TBlock& b, int position, const std::vector<uint8_t>& stored) {
  std::vector<uint16_t> e = ReadEntries(b);
  int used = b.Used();
  int s = static_cast<int>(stored.size());
  if (used + s + 2 * (static_cast<int>(e.size()) + 1) > kLastPosition) throw EBlockInconsistent();
  int start = position <= static_cast<int>(e.size()) ? e[position - 1] : used + 1;
  std::memmove(b.At(start + s), b.At(start), static_cast<size_t>(used + 1 - start));
  std::memcpy(b.At(start), stored.data(), stored.size());
  for (size_t i = static_cast<size_t>(position - 1); i < e.size(); ++i) e[i] = static_cast<uint16_t>(e[i] + s);
  e.insert(e.begin() + (position - 1), static_cast<uint16_t>(start));
  WriteEntries(b, e, used + s);
}

std::vector<uint8_t> DeleteFromBlock(TBlock& b, int position) {
  std::vector<uint16_t> e = ReadEntries(b);
  int used = b.Used();
  int start = e[position - 1];
  int end = position < static_cast<int>(e.size()) ? e[position] : used + 1;
  int s = end - start;
  std::vector<uint8_t> stored(b.At(start), b.At(end));
  std::memmove(b.At(start), b.At(end), static_cast<size_t>(used + 1 - end));
  e.erase(e.begin() + (position - 1));
  for (size_t i = static_cast<size_t>(position - 1); i < e.size(); ++i) e[i] = static_cast<uint16_t>(e[i] - s);
  WriteEntries(b, e, used - s);
  return stored;
}

void DistributeRecords(TBlock& source, TBlock& dest, int n, int destPos, int sourcePos) {
  auto from = DecodeRecords(source);
  auto to = DecodeRecords(dest);
  if (n < 0 || sourcePos < 1 || sourcePos - 1 + n > static_cast<int>(from.size()) || destPos < 1 ||
      destPos > static_cast<int>(to.size()) + 1)
    throw EBlockInconsistent();
  size_t bytes = 0;
  for (int i = 0; i < n; ++i) bytes += from[sourcePos - 1 + i].size();
  if (bytes > static_cast<size_t>(kLastPosition)) throw EBlockInconsistent();
  to.insert(to.begin() + (destPos - 1), std::make_move_iterator(from.begin() + (sourcePos - 1)),
            std::make_move_iterator(from.begin() + (sourcePos - 1 + n)));
  from.erase(from.begin() + (sourcePos - 1), from.begin() + (sourcePos - 1 + n));
  EncodeRecords(dest, to);
  EncodeRecords(source, from);
}

}  // namespace quintrel::storage
