// The block cache: the 8192-byte blocks of one database file that this process has
// recently read or written, found by block number, so that a block is read from the
// file once while no other process changes it. It also holds the block geometry every
// other unit builds on (block size, header size, payload positions, the block grid).
//
// Invariants:
//   - Only a block that starts on the block grid (IsBlockAddress) is cached; Put ignores
//     any other address and Find gives null for it.
//   - A cached block is a whole copy of one block. A clean entry holds the bytes the file
//     had when this process last read or wrote them; it is only right while the file's
//     change counter has not moved, and the engine empties the cache whenever it moves.
//   - A dirty entry is newer than the file. Dirty entries exist only inside a write transaction,
//     while the engine holds the exclusive lock so no other process can look; they leave
//     the cache only by being written: by Flush (in address order) or, when evicted to make
//     room, by being handed to the caller's spill - or by Clear, when the transaction they
//     belong to is given up. DropClean keeps them.
//   - The checked bits of an entry describe its current bytes only: every Put clears them,
//     so a block is tested again whenever it is replaced, and once while it stays cached.
//   - At most `capacity` entries are held; when full, the least recently used eighth (at
//     least one) goes at once. Evicted entries are kept for reuse, at most 64 of them.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace quintrel::storage {

constexpr uint32_t kBlockSize = 8192;
constexpr uint32_t kBlockHeaderSize = 16;
constexpr int kLastPosition = 8175;        // last usable payload position of a block
constexpr uint32_t kFileHeaderSize = 64;

// Whether an address is where a block starts: past the file header, on the block grid.
constexpr bool IsBlockAddress(uint32_t address) {
  return address >= kFileHeaderSize && (address - kFileHeaderSize) % kBlockSize == 0;
}

// One loaded 8192-byte block with typed access to its header.
struct TBlock {
  std::array<uint8_t, kBlockSize> Bytes{};

  uint32_t Next() const { return Get32(0); }
  uint32_t Prev() const { return Get32(4); }
  uint16_t Count() const { return Get16(8); }
  uint16_t Used() const { return Get16(10); }
  void SetNext(uint32_t v) { Put32(0, v); }
  void SetPrev(uint32_t v) { Put32(4, v); }
  void SetCount(uint16_t v) { Put16(8, v); }
  void SetUsed(uint16_t v) { Put16(10, v); }
  // Payload position p (1..8175) is byte 16 + p.
  uint8_t* At(int position) { return Bytes.data() + kBlockHeaderSize + position; }
  const uint8_t* At(int position) const { return Bytes.data() + kBlockHeaderSize + position; }
  void Clear() { Bytes.fill(0); }

  uint32_t Get32(size_t offset) const {
    uint32_t v;
    std::memcpy(&v, Bytes.data() + offset, 4);
    return v;
  }
  uint16_t Get16(size_t offset) const {
    uint16_t v;
    std::memcpy(&v, Bytes.data() + offset, 2);
    return v;
  }
  void Put32(size_t offset, uint32_t v) { std::memcpy(Bytes.data() + offset, &v, 4); }
  void Put16(size_t offset, uint16_t v) { std::memcpy(Bytes.data() + offset, &v, 2); }
};
using PBlock = std::unique_ptr<TBlock>;

// Recently read and written blocks of a file, so that a block is read from the file once
// while no other process changes it. The engine empties it whenever the file's change
// counter moves. Inside a write transaction (while the engine holds the exclusive lock, so no
// other process can look) written blocks may stay here, dirty, until the update ends.
// Entries are found by block number in a table (no hashing) and aged by a stamp rather
// than a linked list: a look-up is a few loads, and room is made in batches of the least
// recently used.
class TBlockCache {
public:
  explicit TBlockCache(size_t capacity) : capacity_(capacity) {}
  // What a cached block has been found to be since it was cached (bits the caller sets), so
  // that a block is tested once while it stays cached.
  static constexpr uint8_t kCheckedData = 1;  // passed the data-block test
  static constexpr uint8_t kCheckedNode = 2;  // has an index node's shape
  // The cached copy, or null, with the bits of what it was found to be.
  const TBlock* Find(uint32_t address, uint8_t** checked = nullptr) {
    TEntry* e = Slot(address);
    if (!e) return nullptr;
    e->stamp = ++clock_;
    if (checked) *checked = &e->checked;
    return &e->block;
  }
  // The cached copy to change in place before it is put back with Put (no copy then), or null.
  TBlock* FindForWrite(uint32_t address) {
    TEntry* e = Slot(address);
    return e ? &e->block : nullptr;
  }
  // Caches a block; a dirty block evicted to make room is handed to `spill` to be written.
  template <typename Spill>
  void Put(uint32_t address, const TBlock& block, bool dirty, Spill&& spill);
  // Hands every dirty block to `write`, in address order, and marks them clean.
  template <typename Write>
  void Flush(Write&& write);
  bool HasDirty() const { return dirtyCount_ > 0; }
  size_t DirtyCount() const { return dirtyCount_; }
  // Calls `visit(address)` for every dirty block.
  template <typename Visit>
  void ForEachDirty(Visit&& visit) const {
    for (const auto& slot : slots_)
      if (slot && slot->dirty) visit(slot->address);
  }
  // Forgets every block that is not waiting to be written.
  void DropClean() {
    for (auto& slot : slots_)
      if (slot && !slot->dirty) {
        spare_.push_back(std::move(slot));
        --size_;
      }
    if (spare_.size() > kKeepSpare) spare_.resize(kKeepSpare);
  }
  // Forgets everything, dirty blocks too (a transaction given up, or none left).
  void Clear() {
    for (auto& slot : slots_)
      if (slot) spare_.push_back(std::move(slot));
    slots_.clear();
    size_ = 0;
    dirtyCount_ = 0;
    if (spare_.size() > kKeepSpare) spare_.resize(kKeepSpare);
  }

private:
  struct TEntry {
    uint32_t address = 0;
    bool dirty = false;
    uint8_t checked = 0;
    uint64_t stamp = 0;
    TBlock block;
  };
  static constexpr size_t kKeepSpare = 64;
  static bool Number(uint32_t address, size_t& n) {
    if (!IsBlockAddress(address)) return false;
    n = (address - kFileHeaderSize) / kBlockSize;
    return true;
  }
  TEntry* Slot(uint32_t address) const {
    size_t n;
    if (!Number(address, n) || n >= slots_.size()) return nullptr;
    return slots_[n].get();
  }
  template <typename Spill>
  void Evict(Spill&& spill);

  size_t capacity_;
  size_t size_ = 0;
  size_t dirtyCount_ = 0;
  uint64_t clock_ = 0;
  std::vector<std::unique_ptr<TEntry>> slots_;  // by block number
  std::vector<std::unique_ptr<TEntry>> spare_;  // evicted entries, reused
};

template <typename Spill>
void TBlockCache::Evict(Spill&& spill) {
  // The oldest eighth goes at once, so making room costs little per block.
  std::vector<uint64_t> stamps;
  stamps.reserve(size_);
  for (const auto& slot : slots_)
    if (slot) stamps.push_back(slot->stamp);
  size_t drop = std::max<size_t>(1, stamps.size() / 8);
  std::nth_element(stamps.begin(), stamps.begin() + static_cast<long>(drop - 1), stamps.end());
  uint64_t limit = stamps[drop - 1];
  for (auto& slot : slots_) {
    if (!slot || slot->stamp > limit) continue;
    if (slot->dirty) {
      --dirtyCount_;
      spill(slot->address, slot->block);
    }
    spare_.push_back(std::move(slot));
    --size_;
  }
}

template <typename Spill>
void TBlockCache::Put(uint32_t address, const TBlock& block, bool dirty, Spill&& spill) {
  size_t n;
  if (!Number(address, n)) return;
  if (TEntry* e = Slot(address)) {
    if (dirty && !e->dirty) ++dirtyCount_;
    if (!dirty && e->dirty) --dirtyCount_;
    if (&e->block != &block) e->block = block;
    e->dirty = dirty;
    e->checked = 0;
    e->stamp = ++clock_;
    return;
  }
  if (size_ >= capacity_) Evict(spill);
  if (n >= slots_.size()) slots_.resize(std::max(n + 1, slots_.size() * 2));
  std::unique_ptr<TEntry> e;
  if (!spare_.empty()) {
    e = std::move(spare_.back());
    spare_.pop_back();
  } else {
    e = std::make_unique<TEntry>();
  }
  e->address = address;
  e->dirty = dirty;
  e->checked = 0;
  e->stamp = ++clock_;
  e->block = block;
  slots_[n] = std::move(e);
  ++size_;
  if (dirty) ++dirtyCount_;
}

template <typename Write>
void TBlockCache::Flush(Write&& write) {
  for (auto& slot : slots_) {
    if (!slot || !slot->dirty) continue;
    write(slot->address, slot->block);
    slot->dirty = false;
  }
  dirtyCount_ = 0;
}

}  // namespace quintrel::storage
