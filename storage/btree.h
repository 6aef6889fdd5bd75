// The index tree: a B-tree over one field of a table, whose keys name records (their data
// block and _RECNO) and are ordered by the records' values, fetched for every comparison.
// The engine keeps the trees' definitions in its catalogue and their keys in step with the
// records; this unit keeps each tree's shape.
//
// A node is one 8192-byte block:
//   offset 0        4 bytes 0 (the Next of a block header)
//   offset 8        Count, the number of keys n (0..510)
//   offset 12*i     key i, i = 1..510 (KeyBlock u32, KeyRecNo i32, KeyHead 4 bytes)
//   offset 6128+4*j child j, j = 1..511 (0 in a leaf)
// Every other byte is 0.
//
// Invariants:
//   - Keys ascend: by the comparison of their records' values (a registered comparer of the
//     index's CompareId and field type, else the built-in one; L fields and types without a
//     unit length by their bytes), then, outside a unique index, by KeyRecNo. A unique index
//     holds one key per value. Key i lies between child i (smaller) and child i + 1 (larger).
//   - A node is a leaf when child 1 is 0; every leaf lies at the same depth, never deeper
//     than kMaxTreeDepth. A node other than the root holds 255..510 keys; the root holds at
//     least one, and an index without keys has Root 0. A split leaves 255 keys in each half
//     and pushes key 256 up; a node below 255 keys borrows from a neighbour with 256 or
//     more, else the two merge.
//   - A key names the data block that holds its record and a _RECNO above 0. Values a type's
//     comparison cannot order get no key, so that insert, search and delete always agree: a
//     record whose _RECNO is 0 or less, or whose C or V value is empty (the wide-string order
//     puts an empty value before everything and equal to nothing). With KeyPrefix a key
//     carries the value's first 4 bytes; a fixed field of at most 4 bytes is then compared
//     from the key alone.
//   - A block is taken for a node only with a node's whole shape (NodeFault), tested once
//     while it stays in the block cache, so a root or child that points at a record block,
//     the catalogue or a free block is refused before anything changes through it.
//   - A change allocates every block it needs before it changes a node, and split halves are
//     built as new nodes: a failed allocation leaves the tree and the cached nodes as they
//     were. A tree is given back to the avail list only whole and sound, and only when no
//     other structure starts at one of its nodes.
//   - The node cache holds at most 512 decoded nodes, most recently used first. A node is
//     changed there and written through at once; the engine empties the cache when the
//     file's change counter moves and when an exclusive operation fails.
//   - A look-up first tries the leaf the last look-up of its index ended in (a finger): no
//     key lies between two keys of one leaf except in that leaf, so a value within the
//     leaf's first and last key is searched there alone. A finger holds only while no node
//     changed since it was taken: every write or drop of a node, and every emptying of the
//     node cache, counts as a change.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "storage/blockcache.h"
#include "storage/catalogue.h"

namespace quintrel::storage {

class TCustomVarDB;
struct TValueView;

constexpr int kNodeKeys = 510;
constexpr int kNodeHalf = 255;
constexpr size_t kChildOffset = 6128;
constexpr int kMaxTreeDepth = 40;  // far beyond any tree a 4 GiB file can hold

// An index key: the record's data block, its record number and, for prefix indexes, the
// first 4 bytes of its value (12 bytes in a node).
struct TIndexKey {
  uint32_t KeyBlock = 0;
  int32_t KeyRecNo = 0;
  std::array<uint8_t, 4> KeyHead{};
};

struct TIndexNode {
  int Count = 0;
  // 1-based, one spare slot each for the moment of a split.
  std::array<TIndexKey, kNodeKeys + 2> Keys{};
  std::array<uint32_t, kNodeKeys + 3> Children{};

  // Values of keys fetched while the node stays cached, for values of up to 8 bytes, slot
  // by slot beside Keys: a search of a cached node then reads no record twice. A record's
  // indexed value only changes after its key has left the node (every record change
  // deletes and re-adds its keys), so a value stays right as long as it moves with its key
  // from slot to slot and node to node, which every change of a node's keys does.
  static constexpr uint8_t kUnknown = 0xFF;
  static constexpr size_t kMemoBytes = 8;
  mutable std::array<uint64_t, kNodeKeys + 2> Memo{};
  mutable std::array<uint8_t, kNodeKeys + 2> MemoLength{};

  TIndexNode() { ForgetValues(); }
  void ForgetValues() const { MemoLength.fill(kUnknown); }
  bool IsLeaf() const { return Children[1] == 0; }
  // False when the block is not a node (count out of range).
  bool Decode(const TBlock& block);
  void Encode(TBlock& block) const;
};

using PIndexNode = std::shared_ptr<TIndexNode>;

// The decoded nodes an engine used last, by block address, most recent first. Enough are
// kept for the upper levels and the leaves of the indexes one bulk update works on (random
// keys of a 100,000-record table touch some 300 leaves), found through a hash: decoding a
// node from its block copies 12 KiB. At most kCapacity nodes (about 6 MiB) are held.
class TNodeCache {
public:
  static constexpr size_t kCapacity = 512;

  // The cached node at `address` (now the most recent), or null.
  PIndexNode Find(uint32_t address) {
    auto found = index_.find(address);
    if (found == index_.end()) return nullptr;
    order_.splice(order_.begin(), order_, found->second);
    return found->second->second;
  }
  // A node object to decode a block into: the least recently used one when the cache is
  // full and nobody else holds it (it leaves the cache), else a new one.
  PIndexNode Spare() {
    if (order_.size() >= kCapacity && order_.back().second.use_count() == 1) {
      PIndexNode node = std::move(order_.back().second);
      index_.erase(order_.back().first);
      order_.pop_back();
      return node;
    }
    return std::make_shared<TIndexNode>();
  }
  // Caches a node just read as the most recent.
  void Add(uint32_t address, PIndexNode node) {
    auto found = index_.find(address);
    if (found != index_.end()) {
      ++changes_;
      found->second->second = std::move(node);
      order_.splice(order_.begin(), order_, found->second);
      return;
    }
    order_.emplace_front(address, std::move(node));
    index_[address] = order_.begin();
    while (order_.size() > kCapacity) {
      index_.erase(order_.back().first);
      order_.pop_back();
    }
  }
  // Caches a node just written: it replaces the entry of its address (whose remembered
  // values are then stale), else it becomes the most recent.
  void Replace(uint32_t address, const PIndexNode& node) {
    ++changes_;
    auto found = index_.find(address);
    if (found == index_.end()) {
      Add(address, node);
      return;
    }
    PIndexNode& entry = found->second->second;
    if (entry != node) entry->ForgetValues();
    entry = node;
  }
  void Erase(uint32_t address) {
    ++changes_;
    auto found = index_.find(address);
    if (found == index_.end()) return;
    order_.erase(found->second);
    index_.erase(found);
  }
  void Clear() {
    ++changes_;
    order_.clear();
    index_.clear();
  }

  // The leaf a look-up of one index (its table, field, comparison and root, under one
  // catalogue) ended in, and the count of node changes it was taken at.
  struct TFinger {
    uint16_t Table = 0, Field = 0, CompareId = 0;
    uint32_t Root = 0;
    uint64_t Generation = 0, Changes = 0;
    PIndexNode Leaf;
  };
  // The finger of that index while no node changed since it was taken, else null.
  const PIndexNode* Finger(const TIndexHeader& index, uint64_t generation) const {
    for (const TFinger& f : fingers_)
      if (f.Leaf && f.Changes == changes_ && f.Generation == generation && f.Root == index.Root &&
          f.Table == index.IndexTable && f.Field == index.IndexField && f.CompareId == index.CompareId)
        return &f.Leaf;
    return nullptr;
  }
  // Takes a finger for that index, replacing its old one (else the oldest of a few: a
  // module's look-ups alternate between a handful of indexes).
  void SetFinger(const TIndexHeader& index, uint64_t generation, PIndexNode leaf) {
    TFinger* slot = nullptr;
    for (TFinger& f : fingers_)
      if (f.Table == index.IndexTable && f.Field == index.IndexField && f.CompareId == index.CompareId) slot = &f;
    if (!slot) {
      slot = &fingers_[nextFinger_];
      nextFinger_ = (nextFinger_ + 1) % fingers_.size();
    }
    *slot = {index.IndexTable, index.IndexField, index.CompareId, index.Root, generation, changes_, std::move(leaf)};
  }
  // The block a node is encoded into for writing.
  TBlock& Scratch() { return scratch_; }

private:
  using TEntries = std::list<std::pair<uint32_t, PIndexNode>>;
  TEntries order_;
  std::unordered_map<uint32_t, TEntries::iterator> index_;
  TBlock scratch_;
  uint64_t changes_ = 0;
  std::array<TFinger, 4> fingers_;
  size_t nextFinger_ = 0;
};

// One index's tree, worked on through the engine that holds its records and its blocks:
// the engine gives the values of the records that keys name (IndexGetData), blocks (its
// pager), the avail list and the catalogue write that follows a change of the root.
class TIndexTree {
public:
  // `header` is the index's definition in the catalogue; its Root follows the tree.
  TIndexTree(TCustomVarDB& db, TIndexHeader& header) : db_(db), header_(header) {}

  // Whether a value gets a key (see the top).
  bool Keyable(const std::vector<uint8_t>& value) const;
  // The order of two values in this index.
  int32_t Compare(const uint8_t* a, size_t lenA, const uint8_t* b, size_t lenB) const;
  // The key of a record in this index.
  TIndexKey MakeKey(uint32_t address, int32_t recNo, const std::vector<uint8_t>& value) const;
  // What keeps the block at `address` from being a node of this tree; empty when nothing.
  std::string NodeFault(const TBlock& block, uint32_t address);
  // The node at `address`, from the node cache or tested and decoded (EBlockCorrupt when the
  // block has no node's shape).
  PIndexNode Node(uint32_t address);
  // Binary search of one node: the position of a matching key (found), else the child to
  // descend into. recNo -1 matches any record: the leftmost equal key.
  int Search(const TIndexNode& node, const std::vector<uint8_t>& value, int32_t recNo, bool& found);

  // Inserts a key; false when it got none (unkeyable value, or the key or in a unique
  // index its value is there already).
  bool Add(const TIndexKey& key, const std::vector<uint8_t>& value);
  // Deletes the record's own key, if it has one.
  void Delete(const std::vector<uint8_t>& value, const TIndexKey& key) { DeleteFrom(header_.Root, value, key, 0); }
  // The first key of a value with its record's position in its data block; false when none.
  bool Find(const std::vector<uint8_t>& value, TIndexKey& key, int& dataPosition);
  // Gives every node back to the avail list when the tree is whole and sound (see the top);
  // a damaged tree is left where it is.
  void Free();

  // Writes a changed node through and keeps it as the cached one. `removedAt` names the
  // key a leaf just lost, when that was its only change (see DeleteFromLeaf).
  void WriteNode(uint32_t address, const PIndexNode& node, int removedAt = 0);

private:
  // How a search compares this index's values with a value (see Shape).
  struct TSearchShape {
    size_t WholeInKey = 0;
    bool WholeIntegers = false;
  };
  TSearchShape Shape(const std::vector<uint8_t>& value) const;
  int Search(const TIndexNode& node, const std::vector<uint8_t>& value, int32_t recNo, const TSearchShape& shape,
             bool& found);
  // The value behind key i of a node, from the key, a remembered value or (with fetch)
  // its record; false when it is not known without a read. `memo` holds its bytes.
  bool KeyValue(const TIndexNode& node, int i, const TSearchShape& shape, bool fetch, uint64_t& memo,
                TValueView& keyValue);
  int32_t CompareTo(const std::vector<uint8_t>& value, const TValueView& keyValue, const TSearchShape& shape) const;
  bool Encloses(const TIndexNode& leaf, const std::vector<uint8_t>& value, const TSearchShape& shape);
  void FreeNode(uint32_t address);
  bool DeleteFrom(uint32_t address, const std::vector<uint8_t>& value, const TIndexKey& key, int depth);
  bool DeleteFromLeaf(uint32_t address, const PIndexNode& node, int pos);
  void SwapSuccessor(uint32_t address, const PIndexNode& node, int pos);
  bool RefillChild(uint32_t address, const PIndexNode& node, int child);
  // EIndexInconsistent for this index.
  [[noreturn]] void Inconsistent() const;

  TCustomVarDB& db_;
  TIndexHeader& header_;
};

}  // namespace quintrel::storage
