// Records of the record database: images, data blocks, overflow chains, the cursor.
//
// storage/recordblock.h describes the layout of records, data blocks and overflow chains.
// The engine keeps two rules beyond it: a stored record of 4087 bytes or more goes to an
// overflow chain (flag 128), and no block of a table with other blocks is ever left empty.
#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <unordered_set>

#include "storage/compare.h"
#include "storage/coding.h"
#include "storage/recordblock.h"
#include "storage/vardbs.h"

namespace quintrel::storage {

namespace {

// A given value of a fixed field: as much of it as its Length says, and as the field holds
// (the rest stays zero).
void CopyGiven(const TFindRec& given, uint8_t* field, size_t size) {
  size_t n = std::min(size, static_cast<size_t>(std::max(given.Length, 0)));
  if (given.Data && n > 0) std::memcpy(field, given.Data, n);
}

// The most bytes an overflow chain can hold in a file of `fileSize` bytes (every block of
// it in the chain), and never more than a length field reports.
uint32_t ChainCapacity(int64_t fileSize) {
  int64_t blocks = std::max<int64_t>(fileSize - kFileHeaderSize, 0) / kBlockSize;
  return static_cast<uint32_t>(std::min<int64_t>(blocks * kChainPayload, std::numeric_limits<int32_t>::max()));
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Blocks and images

void TCustomVarDB::CheckDataBlock(uint32_t address, const TBlock& b) const { CheckRecordTable(pager_->FileName(), address, b); }

TBlock& TCustomVarDB::CursorBlock(TTable& t) {
  if (t.Header.CurBlock == 0) t.Header.CurBlock = t.Header.FirstBlock;
  if (t.Header.CurBlock == 0) throw EBlockInconsistent();
  // Blocks are tested when they are loaded (LoadDataBlock); the operations here keep them sound.
  if (!t.CurBuffer) t.CurBuffer = LoadDataBlock(t.Header.CurBlock);
  return *t.CurBuffer;
}

std::vector<uint8_t> TCustomVarDB::ReadChain(uint32_t address, int64_t length, uint32_t owner) {
  std::vector<uint8_t> value;
  std::unordered_set<uint32_t> visited;
  uint32_t at = address;
  while (at != 0) {
    if (!visited.insert(at).second) throw EBlockCorrupt(at);
    PBlock block;
    try {
      block = LoadBlock(at);
    } catch (const EBlockCorrupt&) {
      throw EBlockCorrupt(owner);
    }
    int used = block->Used();
    if (used > kChainPayload) throw EBlockCorrupt(at);
    if (used == 0) {
      // A record's chain ends at an empty block; a value of known length must not.
      if (length >= 0) throw EBlockCorrupt(at);
      break;
    }
    size_t take = static_cast<size_t>(used);
    if (length >= 0) take = std::min<size_t>(take, static_cast<size_t>(length) - value.size());
    value.insert(value.end(), block->At(1), block->At(1) + take);
    if (length >= 0 && value.size() == static_cast<size_t>(length)) break;
    at = block->Next();
  }
  if (length >= 0 && value.size() != static_cast<size_t>(length)) throw EBlockCorrupt(owner);
  return value;
}

uint32_t TCustomVarDB::SetOversizedField(const uint8_t* data, size_t length) {
  size_t blocks = std::max<size_t>(1, (length + kChainPayload - 1) / kChainPayload);
  std::vector<uint32_t> addresses;
  for (size_t i = 0; i < blocks; ++i) addresses.push_back(GetNewBlock());
  for (size_t i = 0; i < blocks; ++i) {
    TBlock block;
    size_t offset = i * kChainPayload;
    size_t piece = std::min<size_t>(kChainPayload, length - offset);
    std::memcpy(block.At(1), data + offset, piece);
    block.SetUsed(static_cast<uint16_t>(piece));
    block.SetPrev(i > 0 ? addresses[i - 1] : 0);
    block.SetNext(i + 1 < blocks ? addresses[i + 1] : 0);
    WriteBlock(addresses[i], block);
  }
  return addresses[0];
}

void TCustomVarDB::ClearExpandedBlock(uint32_t address) {
  std::unordered_set<uint32_t> visited;
  TBlock scratch;
  while (address != 0 && visited.insert(address).second) {
    PBlock block = LoadBlock(address);
    if (block->Used() == 0) break;
    uint32_t next = block->Next();
    PutOnAvailList(address, scratch);
    address = next;
  }
}

std::vector<uint8_t> TCustomVarDB::ExpandRecord(const TBlock& b, uint32_t address, int position) {
  TStoredRecord record = StoredAt(pager_->FileName(), b, address, position);
  if (!record.Chained()) {
    TValueView image = record.Image();
    return std::vector<uint8_t>(image.Data, image.Data + image.Size);
  }
  return ReadChain(record.Chain(), -1, address);
}

std::vector<uint8_t> TCustomVarDB::CompactRecord(const std::vector<uint8_t>& image) {
  std::vector<uint8_t> stored;
  if (image.size() + 1 <= static_cast<size_t>(kMaxInlineStored)) {
    stored.reserve(image.size() + 1);
    stored.push_back(kFlagInline);
    stored.insert(stored.end(), image.begin(), image.end());
  } else {
    stored.assign(5, 0);
    stored[0] = kFlagChain;
    Put32(stored.data() + 1, SetOversizedField(image.data(), image.size()));
  }
  return stored;
}

std::vector<TCustomVarDB::TFieldSlot> TCustomVarDB::SliceImage(const TTable& t,
                                                              const std::vector<uint8_t>& image) const {
  std::vector<TFieldSlot> slots;
  SliceImageInto(t, image.data(), image.size(), slots);
  return slots;
}

void TCustomVarDB::SliceImageInto(const TTable& t, const uint8_t* image, size_t size,
                                  std::vector<TFieldSlot>& slots) const {
  slots.assign(t.Fields.size(), TFieldSlot{});
  size_t offset = 0;
  for (size_t f = 0; f < t.Fields.size(); ++f) {
    if (offset >= size) break;  // an image may end early: the rest is absent
    SliceField(t, f, image, size, offset, slots[f]);
    offset += slots[f].Size;
  }
}

std::vector<uint8_t> TCustomVarDB::FieldValue(const std::vector<uint8_t>& image, const TFieldSlot& slot) {
  switch (slot.Kind) {
    case TFieldSlot::kFixed:
      return std::vector<uint8_t>(image.begin() + slot.Offset, image.begin() + slot.Offset + slot.Size);
    case TFieldSlot::kInline:
      return std::vector<uint8_t>(image.begin() + slot.Offset + 4, image.begin() + slot.Offset + slot.Size);
    case TFieldSlot::kOversized:
      return ReadChain(slot.Chain, slot.Length, 0);
    default:
      return {};
  }
}

bool TCustomVarDB::LocateField(const TTable& t, const uint8_t* image, size_t size, size_t field,
                               TFieldSlot& slot) const {
  if (field >= t.Fields.size()) return false;
  size_t offset = 0;
  for (size_t f = 0;; ++f) {
    if (offset >= size) return false;
    SliceField(t, f, image, size, offset, slot);
    if (f == field) return true;
    offset += slot.Size;
  }
}

void TCustomVarDB::SliceField(const TTable& t, size_t f, const uint8_t* image, size_t size, size_t offset,
                              TFieldSlot& slot) const {
  const TFieldHeader& field = t.Fields[f];
  slot = TFieldSlot{};
  slot.Offset = offset;
  if (!IsVariable(field.FieldType)) {
    slot.Kind = TFieldSlot::kFixed;
    slot.Size = static_cast<size_t>(GetUnitLength(field.FieldType)) * static_cast<size_t>(field.FieldLength);
    slot.Length = static_cast<uint32_t>(slot.Size);
  } else {
    if (offset + 4 > size) throw EBlockCorrupt(t.Header.CurBlock);
    uint32_t length = Get32(image + offset);
    if (length == kOversizedMarker) {
      if (offset + kOversizedReferenceSize > size) throw EBlockCorrupt(t.Header.CurBlock);
      slot.Kind = TFieldSlot::kOversized;
      slot.Size = kOversizedReferenceSize;
      slot.Length = Get32(image + offset + 4);
      slot.Chain = Get32(image + offset + 8);
      // Readers size their buffers by this length before the chain is walked: a value kept
      // in a chain is longer than an inline one and no longer than the file can hold.
      uint32_t capacity = ChainCapacity(pager_->Size());
      if (slot.Length <= static_cast<uint32_t>(kMaxInlineValue) || slot.Length > capacity)
        Corrupt(t.Header.CurBlock, rtl::Format(strings::_SChainedLength, static_cast<int64_t>(slot.Length),
                                          static_cast<int64_t>(capacity)));
    } else {
      slot.Kind = TFieldSlot::kInline;
      slot.Size = 4 + static_cast<size_t>(length);
      slot.Length = length;
    }
  }
  if (offset + slot.Size > size) throw EBlockCorrupt(t.Header.CurBlock);
}

bool TCustomVarDB::InlineImage(const TBlock& b, uint32_t address, int position, TValueView& image) const {
  TStoredRecord record = StoredAt(pager_->FileName(), b, address, position);
  if (record.Chained()) return false;
  image = record.Image();
  return true;
}

TValueView TCustomVarDB::FieldView(const TTable& t, const TBlock& b, uint32_t address, int position, size_t field,
                                   std::vector<uint8_t>& scratch) {
  TValueView image;
  if (!InlineImage(b, address, position, image)) {
    scratch = ExpandRecord(b, address, position);
    TFieldSlot slot;
    if (!LocateField(t, scratch.data(), scratch.size(), field, slot)) return {};
    std::vector<uint8_t> value = FieldValue(scratch, slot);
    scratch = std::move(value);
    return {scratch.data(), scratch.size()};
  }
  TFieldSlot slot;
  if (!LocateField(t, image.Data, image.Size, field, slot)) return {};
  switch (slot.Kind) {
    case TFieldSlot::kFixed:
      return {image.Data + slot.Offset, slot.Size};
    case TFieldSlot::kInline:
      return {image.Data + slot.Offset + 4, slot.Size - 4};
    case TFieldSlot::kOversized:
      scratch = ReadChain(slot.Chain, slot.Length, 0);
      return {scratch.data(), scratch.size()};
    default:
      return {};
  }
}

void TCustomVarDB::RemoveOversizedFields(const TTable& t, const std::vector<uint8_t>& image) {
  for (const TFieldSlot& slot : SliceImage(t, image))
    if (slot.Kind == TFieldSlot::kOversized) ClearExpandedBlock(slot.Chain);
}

// A record's number without expanding it, where it is stored inline.
int32_t TCustomVarDB::RecNoAt(const TBlock& b, uint32_t address, int position) {
  TStoredRecord record = StoredAt(pager_->FileName(), b, address, position);
  if (!record.Chained() && record.Size >= 5) return static_cast<int32_t>(Get32(record.Image().Data));
  // An image kept in a chain starts in its first block: the number is read from there
  // without loading the rest.
  if (record.Chained()) {
    PBlock first = LoadBlock(record.Chain());
    if (first->Used() >= 4) return static_cast<int32_t>(Get32(first->At(1)));
  }
  return RecNoOf(ExpandRecord(b, address, position));
}

// The image of a new record: the given values, zeros and empty values elsewhere.
std::vector<uint8_t> TCustomVarDB::NewImage(const TTable& t, int32_t recNo, const TFindRec* fields, int n) {
  std::vector<uint8_t> image;
  for (size_t f = 0; f < t.Fields.size(); ++f) {
    const TFieldHeader& field = t.Fields[f];
    const TFindRec* given = nullptr;
    for (int i = 0; i < n && fields; ++i)
      if (fields[i].Field == static_cast<int32_t>(f)) {
        given = &fields[i];
        break;
      }
    if (f == 0) given = nullptr;  // the number is the table's to give
    if (!IsVariable(field.FieldType)) {
      size_t size = static_cast<size_t>(GetUnitLength(field.FieldType)) * static_cast<size_t>(field.FieldLength);
      size_t from = image.size();
      image.resize(from + size, 0);
      if (given) CopyGiven(*given, image.data() + from, size);
      if (f == 0 && size >= 4) Put32(image.data() + from, static_cast<uint32_t>(recNo));
      continue;
    }
    uint32_t length = given && given->Data ? static_cast<uint32_t>(std::max(given->Length, 0)) : 0;
    uint8_t head[12];
    if (length > static_cast<uint32_t>(kMaxInlineValue)) {
      Put32(head, kOversizedMarker);
      Put32(head + 4, length);
      Put32(head + 8, SetOversizedField(static_cast<const uint8_t*>(given->Data), length));
      image.insert(image.end(), head, head + 12);
    } else {
      Put32(head, length);
      image.insert(image.end(), head, head + 4);
      const auto* data = static_cast<const uint8_t*>(given ? given->Data : nullptr);
      if (length > 0) image.insert(image.end(), data, data + length);
    }
  }
  return image;
}

int32_t TCustomVarDB::RecNoOf(const std::vector<uint8_t>& image) const {
  return image.size() >= 4 ? static_cast<int32_t>(Get32(image.data())) : 0;
}

// ---------------------------------------------------------------------------------------
// Moving stored records

void TCustomVarDB::LinkNewBlockAfter(TTable& t, TBlock& block, uint32_t address, TBlock& fresh,
                                     uint32_t freshAddress) {
  fresh.SetNext(block.Next());
  fresh.SetPrev(address);
  block.SetNext(freshAddress);
  if (fresh.Next() != 0) {
    PBlock after = LoadBlock(fresh.Next());
    after->SetPrev(freshAddress);
    WriteBlock(fresh.Next(), *after);
  } else {
    t.Header.LastBlock = freshAddress;
  }
}

// Splits the cursor's block before inserting at `position`: a new block after it takes the
// records from the first one that lies past the middle. Returns the insert position in the
// block the cursor stands on afterwards.
uint32_t TCustomVarDB::SplitBlock(int table, int position) {
  TTable& t = tables_[table];
  TBlock& b = CursorBlock(t);
  uint32_t address = t.Header.CurBlock;
  uint32_t freshAddress = GetNewBlock();
  auto fresh = std::make_unique<TBlock>();
  LinkNewBlockAfter(t, b, address, *fresh, freshAddress);

  std::vector<uint16_t> e = ReadEntries(b);
  int count = static_cast<int>(e.size());
  int k = count;
  for (int j = 1; j <= count; ++j) {
    if (e[j - 1] + 2 * j > kMaxInlineStored) {
      k = j;
      break;
    }
  }
  int moved = count - k + 1;
  WriteBlock(address, b);
  std::vector<TKeyMove> plan;
  bool inPlace = PlanKeyMove(table, b, address, k, count, freshAddress, plan);
  if (!inPlace) UpdateBlockKeys(table, b, address, k, count, 0);
  DistributeRecords(b, *fresh, moved, 1, k);
  WriteBlock(address, b);
  WriteBlock(freshAddress, *fresh);
  if (inPlace) ApplyKeyMove(plan);
  else UpdateBlockKeys(table, *fresh, freshAddress, 1, moved, 1);
  if (position > b.Count()) {
    position -= b.Count();
    t.CurBuffer = std::move(fresh);
    t.Header.CurBlock = freshAddress;
  }
  return static_cast<uint32_t>(position);
}

// A new, empty block after the cursor's block becomes the cursor's block.
void TCustomVarDB::StartOwnBlock(TTable& t) {
  TBlock& b = CursorBlock(t);
  uint32_t address = t.Header.CurBlock;
  uint32_t ownAddress = GetNewBlock();
  auto own = std::make_unique<TBlock>();
  LinkNewBlockAfter(t, b, address, *own, ownAddress);
  WriteBlock(address, b);
  t.CurBuffer = std::move(own);
  t.Header.CurBlock = ownAddress;
}

// Puts a stored record at `position` of the cursor's block, splitting as needed, and
// leaves the cursor on it. A record always fits: when the regular split leaves too little
// room, the block is cut at the insert position, and failing that the record gets a block
// of its own, in table order either way.
void TCustomVarDB::PlaceStored(int table, int position, const std::vector<uint8_t>& stored) {
  TTable& t = tables_[table];
  int s = static_cast<int>(stored.size());
  auto fits = [&](const TBlock& b) { return b.Used() + 2 * (b.Count() + 1) + s <= kLastPosition; };
  // A record appended after the last record of the table starts a new last block and
  // leaves the full one as it is: splitting it would move half its records (and their
  // keys) only for the next appends to fill the space again.
  if (!fits(CursorBlock(t)) && position > CursorBlock(t).Count() && CursorBlock(t).Next() == 0) {
    StartOwnBlock(t);
    position = 1;
  } else if (!fits(CursorBlock(t))) {
    position = static_cast<int>(SplitBlock(table, position));
    if (!fits(CursorBlock(t))) {
      TBlock& b = CursorBlock(t);
      uint32_t address = t.Header.CurBlock;
      if (position <= b.Count()) {
        uint32_t tailAddress = GetNewBlock();
        TBlock tail;
        LinkNewBlockAfter(t, b, address, tail, tailAddress);
        int moved = b.Count() - position + 1;
        WriteBlock(address, b);
        UpdateBlockKeys(table, b, address, position, b.Count(), 0);
        DistributeRecords(b, tail, moved, 1, position);
        WriteBlock(address, b);
        WriteBlock(tailAddress, tail);
        UpdateBlockKeys(table, tail, tailAddress, 1, moved, 1);
      }
      if (!fits(b)) {
        StartOwnBlock(t);
        position = 1;
      }
    }
  }
  TBlock& b = CursorBlock(t);
  InsertInBlock(b, position, stored);
  t.Header.CurPos = static_cast<uint16_t>(position);
  WriteBlock(t.Header.CurBlock, b);
  if (b.Prev() == 0) t.Header.FirstBlock = t.Header.CurBlock;
  if (b.Next() == 0) t.Header.LastBlock = t.Header.CurBlock;
}

void TCustomVarDB::InternalInsertRecord(int table, int where, const std::vector<uint8_t>& image) {
  TTable& t = tables_[table];
  std::vector<uint8_t> stored = CompactRecord(image);
  if (t.Header.FirstBlock == 0) {
    uint32_t first = GetNewBlock();
    t.Header.FirstBlock = t.Header.LastBlock = t.Header.CurBlock = first;
    t.CurBuffer = std::make_unique<TBlock>();
    t.Header.CurPos = 1;
  }
  int position;
  if (where < 0) {
    if (t.Header.CurBlock != t.Header.FirstBlock || !t.CurBuffer) {
      t.CurBuffer = LoadDataBlock(t.Header.FirstBlock);
      t.Header.CurBlock = t.Header.FirstBlock;
    }
    position = 1;
  } else if (where >= 2) {
    if (t.Header.CurBlock != t.Header.LastBlock || !t.CurBuffer) {
      t.CurBuffer = LoadDataBlock(t.Header.LastBlock);
      t.Header.CurBlock = t.Header.LastBlock;
    }
    position = CursorBlock(t).Count() + 1;
  } else {
    position = t.Header.CurPos + (where == 1 ? 1 : 0);
  }
  position = std::clamp(position, 1, CursorBlock(t).Count() + 1);
  PlaceStored(table, position, stored);
  t.Header.RecordCount++;
  WriteTables();
  AddRecordKeys(table, t.Header.CurBlock, image);
}

// After a delete left the cursor's block under half: merge a neighbour that is under half
// too, else borrow records from one. A lender keeps at least one record and a borrower
// never takes more than it can hold; a block that still ends up empty while the table has
// other blocks leaves the chain.
void TCustomVarDB::Rebalance(int table) {
  TTable& t = tables_[table];
  TBlock& b = CursorBlock(t);
  PBlock next = b.Next() ? LoadDataBlock(b.Next()) : nullptr;
  PBlock prev = b.Prev() ? LoadDataBlock(b.Prev()) : nullptr;
  if (next && Fill(*next) < kHalfFill) MergeNextBlock(table, b, *next);
  else if (prev && Fill(*prev) < kHalfFill) MergePrevBlock(table, b, *prev);
  else if (prev) BorrowFromPrevBlock(table, b, *prev);
  else if (next) BorrowFromNextBlock(table, b, *next);
  if (b.Count() == 0 && (b.Prev() != 0 || b.Next() != 0)) DropEmptyBlock(table, b);
}

void TCustomVarDB::LinkNeighbours(TTable& t, uint32_t before, uint32_t after, TBlock* heldBefore,
                                  TBlock* heldAfter) {
  if (before == 0) {
    t.Header.FirstBlock = after;
  } else if (heldBefore) {
    heldBefore->SetNext(after);
  } else {
    PBlock block = LoadBlock(before);
    block->SetNext(after);
    WriteBlock(before, *block);
  }
  if (after == 0) {
    t.Header.LastBlock = before;
  } else if (heldAfter) {
    heldAfter->SetPrev(before);
  } else {
    PBlock block = LoadBlock(after);
    block->SetPrev(before);
    WriteBlock(after, *block);
  }
}

// Every record of the next block joins the end of the cursor's block; the next block leaves
// the chain.
void TCustomVarDB::MergeNextBlock(int table, TBlock& b, TBlock& next) {
  TTable& t = tables_[table];
  uint32_t address = t.Header.CurBlock, nextAddress = b.Next();
  int before = b.Count(), moved = next.Count();
  std::vector<TKeyMove> plan;
  bool inPlace = PlanKeyMove(table, next, nextAddress, 1, moved, address, plan);
  if (!inPlace) UpdateBlockKeys(table, next, nextAddress, 1, moved, 0);
  DistributeRecords(next, b, moved, before + 1, 1);
  LinkNeighbours(t, address, next.Next(), &b, nullptr);
  WriteBlock(address, b);
  if (inPlace) ApplyKeyMove(plan);
  else UpdateBlockKeys(table, b, address, before + 1, before + moved, 1);
  TBlock scratch;
  PutOnAvailList(nextAddress, scratch);
}

// Every record of the previous block joins the front of the cursor's block; the previous
// block leaves the chain.
void TCustomVarDB::MergePrevBlock(int table, TBlock& b, TBlock& prev) {
  TTable& t = tables_[table];
  uint32_t address = t.Header.CurBlock, prevAddress = b.Prev();
  int moved = prev.Count();
  std::vector<TKeyMove> plan;
  bool inPlace = PlanKeyMove(table, prev, prevAddress, 1, moved, address, plan);
  if (!inPlace) UpdateBlockKeys(table, prev, prevAddress, 1, moved, 0);
  DistributeRecords(prev, b, moved, 1, 1);
  t.Header.CurPos = static_cast<uint16_t>(t.Header.CurPos + moved);
  LinkNeighbours(t, prev.Prev(), address, nullptr, &b);
  WriteBlock(address, b);
  if (inPlace) ApplyKeyMove(plan);
  else UpdateBlockKeys(table, b, address, 1, moved, 1);
  TBlock scratch;
  PutOnAvailList(prevAddress, scratch);
}

// The previous block lends its records from about its middle on, as many as the cursor's
// block has room for, keeping at least one.
void TCustomVarDB::BorrowFromPrevBlock(int table, TBlock& b, TBlock& prev) {
  TTable& t = tables_[table];
  std::vector<uint16_t> e = ReadEntries(prev);
  int count = static_cast<int>(e.size());
  int k = std::max(MiddleRecord(e), 2);
  auto bytesFrom = [&](int from) { return prev.Used() + 1 - e[from - 1] + 2 * (count - from + 1); };
  while (k <= count && bytesFrom(k) > kLastPosition - Fill(b)) ++k;
  if (k > count) return;
  int moved = count - k + 1;
  uint32_t address = t.Header.CurBlock, prevAddress = b.Prev();
  std::vector<TKeyMove> plan;
  bool inPlace = PlanKeyMove(table, prev, prevAddress, k, count, address, plan);
  if (!inPlace) UpdateBlockKeys(table, prev, prevAddress, k, count, 0);
  DistributeRecords(prev, b, moved, 1, k);
  t.Header.CurPos = static_cast<uint16_t>(t.Header.CurPos + moved);
  WriteBlock(prevAddress, prev);
  WriteBlock(address, b);
  if (inPlace) ApplyKeyMove(plan);
  else UpdateBlockKeys(table, b, address, 1, moved, 1);
}

// The next block lends its records up to about its middle, as many as the cursor's block has
// room for, keeping at least one.
void TCustomVarDB::BorrowFromNextBlock(int table, TBlock& b, TBlock& next) {
  TTable& t = tables_[table];
  std::vector<uint16_t> e = ReadEntries(next);
  int count = static_cast<int>(e.size());
  int k = MiddleRecord(e);
  int moved = std::min(count - k + 1, count - 1);
  auto bytesOf = [&](int n) { return (n < count ? e[n] : next.Used() + 1) - 1 + 2 * n; };
  while (moved > 0 && bytesOf(moved) > kLastPosition - Fill(b)) --moved;
  if (moved <= 0) return;
  uint32_t address = t.Header.CurBlock, nextAddress = b.Next();
  int before = b.Count();
  std::vector<TKeyMove> plan;
  bool inPlace = PlanKeyMove(table, next, nextAddress, 1, moved, address, plan);
  if (!inPlace) UpdateBlockKeys(table, next, nextAddress, 1, moved, 0);
  DistributeRecords(next, b, moved, before + 1, 1);
  WriteBlock(nextAddress, next);
  WriteBlock(address, b);
  if (inPlace) ApplyKeyMove(plan);
  else UpdateBlockKeys(table, b, address, before + 1, before + moved, 1);
}

// The cursor's block, empty, leaves the chain; the cursor moves to the record after it, or
// to the last one before it.
void TCustomVarDB::DropEmptyBlock(int table, TBlock& b) {
  TTable& t = tables_[table];
  uint32_t address = t.Header.CurBlock, prevAddress = b.Prev(), nextAddress = b.Next();
  LinkNeighbours(t, prevAddress, nextAddress, nullptr, nullptr);
  TBlock scratch;
  PutOnAvailList(address, scratch);
  uint32_t to = nextAddress != 0 ? nextAddress : prevAddress;
  t.CurBuffer = LoadDataBlock(to);
  t.Header.CurBlock = to;
  t.Header.CurPos = nextAddress != 0 ? 1 : t.CurBuffer->Count();
}

// ---------------------------------------------------------------------------------------
// Navigation

bool TCustomVarDB::Top(int table) {
  TDbLock lock(*this, false);
  RefreshHeader();
  if (table < 0 || table >= TableCount()) return false;
  TTable& t = tables_[table];
  if (t.Header.RecordCount == 0 || t.Header.FirstBlock == 0) return false;
  if (t.Header.CurBlock != t.Header.FirstBlock || !t.CurBuffer) {
    SetCursorBlock(t, t.Header.FirstBlock);
  }
  t.Header.CurPos = 1;
  return true;
}

bool TCustomVarDB::Bottom(int table) {
  TDbLock lock(*this, false);
  RefreshHeader();
  if (table < 0 || table >= TableCount()) return false;
  TTable& t = tables_[table];
  if (t.Header.RecordCount == 0 || t.Header.LastBlock == 0) return false;
  if (t.Header.CurBlock != t.Header.LastBlock || !t.CurBuffer) {
    SetCursorBlock(t, t.Header.LastBlock);
  }
  t.Header.CurPos = std::max<uint16_t>(t.CurBuffer->Count(), 1);
  return true;
}


bool TCustomVarDB::Step(int table, int n) {
  TDbLock lock(*this, false);
  RefreshHeader();
  if (table < 0 || table >= TableCount() || n == 0) return false;
  TTable& t = tables_[table];
  if (t.Header.CurBlock == 0 && t.Header.FirstBlock == 0) return false;
  TBlock& b = CursorBlock(t);
  if (b.Count() == 0) return false;
  int pos = std::clamp<int>(t.Header.CurPos, 1, b.Count());
  // Within the cursor's block nothing needs loading.
  if ((n > 0 && n <= b.Count() - pos) || (n < 0 && -static_cast<int64_t>(n) <= pos - 1)) {
    t.Header.CurPos = static_cast<uint16_t>(pos + n);
    return true;
  }
  // Across blocks the chain is followed in the block cache, without copies; only the
  // block the cursor ends on is copied into the cursor's buffer (a scan inside a read
  // bracket allocates nothing and makes no system call once the blocks are cached).
  uint32_t address = t.Header.CurBlock;
  const TBlock* block = &b;
  bool forward = n > 0;
  int64_t left = forward ? n : -static_cast<int64_t>(n);
  for (;;) {
    int64_t room = forward ? block->Count() - pos : pos - 1;
    if (left <= room) break;
    uint32_t to = forward ? block->Next() : block->Prev();
    if (to == 0) break;
    if (to == address) throw EBlockCorrupt(address);
    const TBlock& probe = PeekDataBlock(to);
    // A chain is linked both ways; a block that does not point back is a loop or a stray link.
    if ((forward ? probe.Prev() : probe.Next()) != address) throw EBlockCorrupt(to);
    if (probe.Count() == 0) break;
    left -= room + 1;
    block = &probe;
    address = to;
    pos = forward ? 1 : block->Count();
  }
  int64_t room = forward ? block->Count() - pos : pos - 1;
  bool covered = left <= room;
  if (forward) pos = covered ? pos + static_cast<int>(left) : block->Count();
  else pos = covered ? pos - static_cast<int>(left) : 1;
  if (address != t.Header.CurBlock) {
    *t.CurBuffer = *block;
    t.Header.CurBlock = address;
  }
  t.Header.CurPos = static_cast<uint16_t>(pos);
  return covered;
}

// ---------------------------------------------------------------------------------------
// Reading and writing records

std::vector<uint8_t> TCustomVarDB::GetRecord(int table) {
  TDbLock lock(*this, false);
  RefreshHeader();
  if (table < 0 || table >= TableCount()) return {};
  TTable& t = tables_[table];
  if (t.Header.RecordCount == 0 || (t.Header.CurBlock == 0 && t.Header.FirstBlock == 0)) return {};
  TBlock& b = CursorBlock(t);
  if (b.Count() == 0) return {};
  if (t.Header.CurPos > b.Count()) t.Header.CurPos = b.Count();
  if (t.Header.CurPos < 1) t.Header.CurPos = 1;
  return ExpandRecord(b, t.Header.CurBlock, t.Header.CurPos);
}

void TCustomVarDB::GetRecord(int table, void* buffer, int32_t& size) {
  std::vector<uint8_t> image = GetRecord(table);
  size = static_cast<int32_t>(image.size());
  if (buffer && !image.empty()) std::memcpy(buffer, image.data(), image.size());
}

bool TCustomVarDB::CursorImage(int table, TValueView& image, std::vector<uint8_t>& expanded) {
  RefreshHeader();
  if (table < 0 || table >= TableCount()) return false;
  TTable& t = tables_[table];
  if (t.Header.RecordCount == 0 || (t.Header.CurBlock == 0 && t.Header.FirstBlock == 0)) return false;
  // A cursor without a copy of its block (a look-up only names it) reads a record stored
  // inline in the block cache's own block, which stays valid until another block is read:
  // a record that needs another block (expanded, or a value in a chain) is read from a copy.
  for (bool inPlace = !t.CurBuffer && t.Header.CurBlock != 0 && IsFile();; inPlace = false) {
    const TBlock& b = inPlace ? PeekDataBlock(t.Header.CurBlock) : CursorBlock(t);
    if (b.Count() == 0) return false;
    if (t.Header.CurPos > b.Count()) t.Header.CurPos = b.Count();
    if (t.Header.CurPos < 1) t.Header.CurPos = 1;
    // The values are read straight out of the block where the record is stored inline.
    if (InlineImage(b, t.Header.CurBlock, t.Header.CurPos, image)) {
      if (image.Size == 0) return false;
      SliceImageInto(t, image.Data, image.Size, slotScratch_);
      if (!inPlace || std::none_of(slotScratch_.begin(), slotScratch_.end(), [](const TFieldSlot& slot) {
            return slot.Kind == TFieldSlot::kOversized;
          }))
        return true;
    } else if (!inPlace) {
      expanded = ExpandRecord(b, t.Header.CurBlock, t.Header.CurPos);
      image = {expanded.data(), expanded.size()};
      if (image.Size == 0) return false;
      SliceImageInto(t, image.Data, image.Size, slotScratch_);
      return true;
    }
  }
}

void TCustomVarDB::CopyValue(const TValueView& image, const TFieldSlot& slot, void* data, size_t capacity) {
  TValueView value;
  std::vector<uint8_t> chained;
  switch (slot.Kind) {
    case TFieldSlot::kFixed:
      value = {image.Data + slot.Offset, slot.Size};
      break;
    case TFieldSlot::kInline:
      value = {image.Data + slot.Offset + 4, slot.Size - 4};
      break;
    case TFieldSlot::kOversized:
      chained = ReadChain(slot.Chain, slot.Length, 0);
      value = {chained.data(), chained.size()};
      break;
    default:
      return;
  }
  size_t n = std::min(value.Size, capacity);
  if (n > 0) std::memcpy(data, value.Data, n);
}

void TCustomVarDB::GetFields(int table, TFindRec* fields, int n) {
  if (!fields || n <= 0) return;
  TDbLock lock(*this, false);
  TValueView image;
  std::vector<uint8_t> expanded;
  if (!CursorImage(table, image, expanded)) return;
  for (int i = 0; i < n; ++i) {
    TFindRec& request = fields[i];
    if (request.Field < 0 || request.Field >= static_cast<int>(slotScratch_.size())) {
      request.Length = 0;
      continue;
    }
    const TFieldSlot slot = slotScratch_[request.Field];
    // The length asked with is the room in the buffer: the file decides how long a value
    // is, never how much of it lands in the caller's memory.
    size_t capacity = static_cast<size_t>(std::max(request.Length, 0));
    request.Length = static_cast<int32_t>(slot.Length);
    if (request.Data) CopyValue(image, slot, request.Data, capacity);
  }
}

void TCustomVarDB::GetField(int table, int field, void* data, int32_t& length) {
  TFindRec request{field, data, data ? length : 0};
  GetFields(table, &request, 1);
  length = request.Length;
}

std::vector<uint8_t> TCustomVarDB::GetField(int table, int field) {
  std::vector<std::vector<uint8_t>> values = GetFieldValues(table, &field, 1);
  return std::move(values[0]);
}

std::vector<std::vector<uint8_t>> TCustomVarDB::GetFieldValues(int table, const int* fields, int n) {
  std::vector<std::vector<uint8_t>> values(static_cast<size_t>(std::max(n, 0)));
  TDbLock lock(*this, false);
  TValueView image;
  std::vector<uint8_t> expanded;
  if (!fields || !CursorImage(table, image, expanded)) return values;
  for (int i = 0; i < n; ++i) {
    const int field = fields[i];
    if (field < 0 || field >= static_cast<int>(slotScratch_.size())) continue;
    const TFieldSlot slot = slotScratch_[field];
    std::vector<uint8_t>& value = values[static_cast<size_t>(i)];
    value.resize(slot.Kind == TFieldSlot::kAbsent ? 0 : slot.Length);
    CopyValue(image, slot, value.data(), value.size());
  }
  return values;
}

void TCustomVarDB::SetFields(int table, const TFindRec* fields, int n) {
  TDbLock lock(*this, true);
  std::vector<uint8_t> old = GetRecord(table);
  if (old.empty()) return;
  TTable& t = tables_[table];
  std::vector<TFieldSlot> slots = SliceImage(t, old);
  std::vector<uint8_t> image;
  image.reserve(old.size());
  // Long values being replaced are freed only after the old record's index keys are gone:
  // deleting a key reads the value it was made from.
  std::vector<uint32_t> replaced;
  for (size_t f = 0; f < t.Fields.size(); ++f) {
    const TFindRec* given = nullptr;
    for (int i = 0; i < n && fields; ++i) {
      if (fields[i].Field == static_cast<int32_t>(f)) {
        given = &fields[i];
        break;
      }
    }
    const TFieldSlot& slot = slots[f];
    const TFieldHeader& field = t.Fields[f];
    if (!given) {
      if (slot.Kind == TFieldSlot::kAbsent) break;
      image.insert(image.end(), old.begin() + slot.Offset, old.begin() + slot.Offset + slot.Size);
      continue;
    }
    if (!IsVariable(field.FieldType)) {
      size_t size = static_cast<size_t>(GetUnitLength(field.FieldType)) * static_cast<size_t>(field.FieldLength);
      size_t from = image.size();
      image.resize(from + size, 0);
      CopyGiven(*given, image.data() + from, size);
      continue;
    }
    if (slot.Kind == TFieldSlot::kOversized) replaced.push_back(slot.Chain);
    uint32_t length = given->Data ? static_cast<uint32_t>(std::max(given->Length, 0)) : 0;
    uint8_t head[12];
    if (length > static_cast<uint32_t>(kMaxInlineValue)) {
      Put32(head, kOversizedMarker);
      Put32(head + 4, length);
      Put32(head + 8, SetOversizedField(static_cast<const uint8_t*>(given->Data), length));
      image.insert(image.end(), head, head + 12);
    } else {
      Put32(head, length);
      image.insert(image.end(), head, head + 4);
      const auto* data = static_cast<const uint8_t*>(given->Data);
      if (length > 0) image.insert(image.end(), data, data + length);
    }
  }
  TBlock& b = CursorBlock(t);
  bool wasLast = t.Header.CurPos >= b.Count();
  bool rewriting = inRewrite_;
  inRewrite_ = true;
  try {
    DeleteRecord(table, false);
    for (uint32_t chain : replaced) ClearExpandedBlock(chain);
    InternalInsertRecord(table, wasLast ? kInsertAfter : kInsertBefore, image);
  } catch (...) {
    inRewrite_ = rewriting;
    throw;
  }
  inRewrite_ = rewriting;
}

void TCustomVarDB::SetField(int table, int field, const void* data, int32_t length) {
  TFindRec request{field, const_cast<void*>(data), length};
  SetFields(table, &request, 1);
}

void TCustomVarDB::InsertRecord(int table, int where) {
  TDbLock lock(*this, true);
  RefreshHeader();
  if (table < 0 || table >= TableCount()) return;
  InternalInsertRecord(table, where, NewImage(tables_[table], 0, nullptr, 0));
}

void TCustomVarDB::AddRecord(int table) { AddRecord(table, nullptr, 0); }

void TCustomVarDB::AddRecord(int table, const TFindRec* fields, int n) {
  TDbLock lock(*this, true);
  RefreshHeader();
  if (table < 0 || table >= TableCount()) return;
  int32_t number = 1;
  if (Bottom(table)) {
    TTable& t = tables_[table];
    number = RecNoAt(CursorBlock(t), t.Header.CurBlock, t.Header.CurPos) + 1;
  }
  // The new record carries its number from the start: the same record, in the same place,
  // as inserting it empty and setting the number afterwards, in one write.
  std::vector<uint8_t> image = NewImage(tables_[table], number, fields, n);
  bool rewriting = inRewrite_;
  inRewrite_ = true;
  try {
    InternalInsertRecord(table, kInsertLast, image);
  } catch (...) {
    inRewrite_ = rewriting;
    throw;
  }
  inRewrite_ = rewriting;
}

bool TCustomVarDB::DeleteRecord(int table, bool removeOversized) {
  TDbLock lock(*this, true);
  RefreshHeader();
  if (table < 0 || table >= TableCount()) return false;
  TTable& t = tables_[table];
  if (t.Header.CurBlock == 0) return false;
  TBlock& b = CursorBlock(t);
  if (b.Count() == 0) return false;
  int position = std::clamp<int>(t.Header.CurPos, 1, b.Count());
  std::vector<uint8_t> image = ExpandRecord(b, t.Header.CurBlock, position);
  TStoredRecord record = StoredAt(pager_->FileName(), b, t.Header.CurBlock, position);
  uint32_t chain = record.Chained() ? record.Chain() : 0;
  DeleteRecordKeys(table, t.Header.CurBlock, image);
  DeleteFromBlock(b, position);
  if (chain != 0) ClearExpandedBlock(chain);
  if (removeOversized) RemoveOversizedFields(t, image);
  t.Header.CurPos = static_cast<uint16_t>(position);
  if (!inRewrite_ && Fill(b) < kHalfFill) Rebalance(table);
  TBlock& current = CursorBlock(t);
  WriteBlock(t.Header.CurBlock, current);
  if (t.Header.CurPos > current.Count()) t.Header.CurPos = current.Count();
  if (current.Next() == 0) t.Header.LastBlock = t.Header.CurBlock;
  if (current.Prev() == 0) t.Header.FirstBlock = t.Header.CurBlock;
  t.Header.RecordCount--;
  WriteTables();
  return true;
}

// Frees every data block of a table with the overflow chains of its records.
void TCustomVarDB::FreeTableData(TTable& t) {
  std::unordered_set<uint32_t> visited;
  TBlock scratch;
  uint32_t address = t.Header.FirstBlock;
  t.CurBuffer.reset();
  while (address != 0 && visited.insert(address).second) {
    PBlock block = LoadDataBlock(address);
    t.Header.CurBlock = address;
    for (int pos = 1; pos <= block->Count(); ++pos) {
      std::vector<uint8_t> image = ExpandRecord(*block, address, pos);
      RemoveOversizedFields(t, image);
      TStoredRecord record = StoredAt(pager_->FileName(), *block, address, pos);
      if (record.Chained()) ClearExpandedBlock(record.Chain());
    }
    uint32_t next = block->Next();
    PutOnAvailList(address, scratch);
    address = next;
  }
  t.Header.FirstBlock = t.Header.LastBlock = t.Header.CurBlock = 0;
  t.Header.RecordCount = 0;
  t.Header.CurPos = 1;
}

// ---------------------------------------------------------------------------------------
// Finding records

bool TCustomVarDB::Lookup(int table, const TFindRec* fields, int n, int32_t& recNo) {
  if (!fields || n <= 0) return false;
  TDbLock lock(*this, false);
  RefreshHeader();
  if (table < 0 || table >= TableCount()) return false;
  const TTable& t = tables_[table];
  int first = fields[0].Field;
  if (first >= 0 && first < static_cast<int>(t.Fields.size()) && !t.Fields[first].Indexes.empty()) {
    bool found = SeekLocked(table, fields, n, recNo);
    if (n == 1) return found;
  }
  recNo = 0;
  if (!Top(table)) return false;
  for (;;) {
    std::vector<uint8_t> image = GetRecord(table);
    std::vector<TFieldSlot> slots = SliceImage(tables_[table], image);
    bool equal = true;
    for (int i = 0; i < n && equal; ++i) {
      int f = fields[i].Field;
      if (f < 0 || f >= static_cast<int>(slots.size())) {
        equal = false;
        break;
      }
      std::vector<uint8_t> value = FieldValue(image, slots[f]);
      equal = OnCompare(value.data(), fields[i].Data, static_cast<int32_t>(value.size()), fields[i].Length,
                        tables_[table].Fields[f].FieldType) == 0;
    }
    if (equal) return true;
    ++recNo;
    // More records than the table holds means the chain runs in a circle.
    if (recNo > tables_[table].Header.RecordCount) throw EBlockCorrupt(tables_[table].Header.CurBlock);
    if (!Step(table, 1)) return false;
  }
}

}  // namespace quintrel::storage
