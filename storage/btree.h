// B-tree index nodes, shared by the engine, the index code and the structure check.
//
// A node is one 8192-byte block:
//   offset 0        4 bytes 0 (the Next of a block header)
//   offset 8        Count, the number of keys n (0..510)
//   offset 12*i     key i, i = 1..510 (KeyBlock u32, KeyRecNo i32, KeyHead 4 bytes)
//   offset 6128+4*j child j, j = 1..511 (0 in a leaf)
// Keys ascend; key i lies between child i (smaller) and child i + 1 (larger). A node is a
// leaf when child 1 is 0. A split leaves 255 keys in each half and pushes key 256 up; a
// node other than the root underflows below 255 keys.
#pragma once

#include <array>
#include <cstdint>

#include "storage/vardbs.h"

namespace quintrel::storage {

constexpr int kNodeKeys = 510;
constexpr int kNodeHalf = 255;
constexpr size_t kChildOffset = 6128;
constexpr int kMaxTreeDepth = 40;  // far beyond any tree a 4 GiB file can hold

struct TIndexNode {
  int Count = 0;
  // 1-based, one spare slot each for the moment of a split.
  std::array<TIndexKey, kNodeKeys + 2> Keys{};
  std::array<uint32_t, kNodeKeys + 3> Children{};

  // Values of keys fetched while the node stays cached and unchanged, for values of up to
  // 8 bytes: a search of a cached node then reads no record twice. A record's indexed
  // value only changes after its key has left the node (every record change deletes and
  // re-adds its keys), so the values are forgotten whenever the node is written.
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

}  // namespace quintrel::storage
