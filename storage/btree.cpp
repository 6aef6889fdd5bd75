// The index tree (storage/btree.h describes nodes, keys and the tree's invariants).
#include "storage/btree.h"
#include "storage/coding.h"
#include "storage/vardbs.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <unordered_set>

#include "storage/compare.h"
#include "strings/vconsts.h"

namespace quintrel::storage {

using rtl::Format;
namespace vc = quintrel::strings;

// On a little-endian machine a node's key and child areas are exactly the in-memory
// arrays (12-byte keys without padding, 4-byte children), so they are copied whole.
constexpr bool kNodeAsBytes = std::endian::native == std::endian::little && sizeof(TIndexKey) == 12;

bool TIndexNode::Decode(const TBlock& block) {
  int count = block.Count();
  if (count > kNodeKeys) return false;
  Count = count;
  ForgetValues();
  if constexpr (kNodeAsBytes) {
    std::memcpy(&Keys[1], block.Bytes.data() + 12, 12 * static_cast<size_t>(count));
    std::memcpy(&Children[1], block.Bytes.data() + kChildOffset + 4, 4 * static_cast<size_t>(count + 1));
    return true;
  }
  for (int i = 1; i <= count; ++i) {
    const uint8_t* p = block.Bytes.data() + 12 * i;
    Keys[i].KeyBlock = Get32(p);
    Keys[i].KeyRecNo = static_cast<int32_t>(Get32(p + 4));
    std::memcpy(Keys[i].KeyHead.data(), p + 8, 4);
  }
  for (int j = 1; j <= count + 1; ++j) Children[j] = Get32(block.Bytes.data() + kChildOffset + 4 * j);
  return true;
}

void TIndexNode::Encode(TBlock& block) const {
  if constexpr (kNodeAsBytes) {
    uint8_t* b = block.Bytes.data();
    size_t keysEnd = 12 + 12 * static_cast<size_t>(Count);
    size_t childrenEnd = kChildOffset + 4 + 4 * static_cast<size_t>(Count + 1);
    std::memset(b, 0, 12);
    std::memcpy(b + 12, &Keys[1], keysEnd - 12);
    std::memset(b + keysEnd, 0, kChildOffset + 4 - keysEnd);
    std::memcpy(b + kChildOffset + 4, &Children[1], childrenEnd - kChildOffset - 4);
    std::memset(b + childrenEnd, 0, kBlockSize - childrenEnd);
    block.SetCount(static_cast<uint16_t>(Count));
    return;
  }
  block.Clear();
  block.SetCount(static_cast<uint16_t>(Count));
  for (int i = 1; i <= Count; ++i) {
    uint8_t* p = block.Bytes.data() + 12 * i;
    Put32(p, Keys[i].KeyBlock);
    Put32(p + 4, static_cast<uint32_t>(Keys[i].KeyRecNo));
    std::memcpy(p + 8, Keys[i].KeyHead.data(), 4);
  }
  for (int j = 1; j <= Count + 1; ++j) Put32(block.Bytes.data() + kChildOffset + 4 * j, Children[j]);
}

// ---------------------------------------------------------------------------------------
// Nodes

void TIndexTree::Inconsistent() const { throw EIndexInconsistent(header_.IndexTable, header_.IndexField); }

// A block is taken for a node only with a node's whole shape, so that a root or child
// pointing at a record block, the catalogue or a free block is refused before anything is
// changed or freed through it: block header words 0 (Next, Prev, Used), at most 510 keys
// and at least one outside a root that no other structure starts at, children
// all 0 (a leaf) or all blocks of the file other than the node itself, and keys that name
// a block of the file with a record number above 0. Whether a key's block holds its
// record is learnt when the key is used (a fetch that misses raises EIndexInconsistent).
std::string TIndexTree::NodeFault(const TBlock& block, uint32_t address) {
  if (block.Next() != 0 || block.Prev() != 0 || block.Used() != 0) return vc::_SNodeHeader;
  int count = block.Count();
  if (count > kNodeKeys) return Format(vc::_SNodeCount, count);
  if (count == 0) {
    // Only an emptied root has no keys, and the first blocks of the catalogue, the avail
    // list and the tables look just like one.
    if (address != header_.Root) return vc::_SNodeEmpty;
    bool claimed = address == db_.pager_->Header().TableBlock || address == db_.pager_->Header().AvailList;
    for (const TTable& table : db_.tables_) claimed |= address == table.Header.FirstBlock;
    if (claimed) return vc::_SNodeClaimed;
  }
  auto usable = [&](uint32_t at) {
    return at != address && at >= kFileHeaderSize && (at - kFileHeaderSize) % kBlockSize == 0 && db_.InsideFile(at);
  };
  const uint8_t* children = block.Bytes.data() + kChildOffset;
  bool leaf = Get32(children + 4) == 0;
  for (int j = 1; j <= count + 1; ++j) {
    uint32_t child = Get32(children + 4 * j);
    if (leaf ? child != 0 : !usable(child)) return Format(vc::_SNodeChild, j, child);
  }
  for (int i = 1; i <= count; ++i) {
    const uint8_t* key = block.Bytes.data() + 12 * i;
    uint32_t keyBlock = Get32(key);
    auto recNo = static_cast<int32_t>(Get32(key + 4));
    if (!usable(keyBlock) || recNo <= 0) return Format(vc::_SNodeKey, i, keyBlock, recNo);
  }
  return {};
}


PIndexNode TIndexTree::Node(uint32_t address) {
  if (PIndexNode cached = db_.nodeCache_.Find(address)) return cached;
  // The node is decoded straight from the block cache, into the node object the cache
  // drops when nobody else holds it.
  PBlock loaded;
  uint8_t* checked = nullptr;
  const TBlock* block;
  if (db_.pager_->IsFile()) {
    block = &db_.pager_->Peek(address, &checked);
  } else {
    loaded = db_.LoadBlock(address);
    block = loaded.get();
  }
  PIndexNode node = db_.nodeCache_.Spare();
  // The shape is tested once while the block stays cached, and never for a database that
  // lives in memory (this engine wrote every byte of it). A node without keys is tested every
  // time: whether it may be one depends on where it is met.
  if (checked && !(*checked & TBlockCache::kCheckedNode)) {
    if (std::string fault = NodeFault(*block, address); !fault.empty())
      db_.Corrupt(address, Format(vc::_SNotANode, header_.IndexTable, header_.IndexField, fault));
    if (block->Count() > 0) *checked |= TBlockCache::kCheckedNode;
  }
  node->Decode(*block);
  db_.nodeCache_.Add(address, node);
  return node;
}

void TIndexTree::WriteNode(uint32_t address, const PIndexNode& node, int removedAt) {
  // Inside a transaction a node whose block is cached is encoded straight into it: a bulk
  // update writes a leaf for every key, and copying each encoded 8 KiB into the cache
  // showed in its profile. Only a failed flush of the transaction's blocks can stop the
  // write then, and that gives up the transaction with everything cached.
  TBlock* cached = db_.pager_->CachedForWrite(address);
  TBlock& block = cached ? *cached : db_.nodeCache_.Scratch();
  // A cached block holds its node as it was before this change (every change of a node is
  // written through, and the cache is dropped with any change it did not make). A leaf
  // that lost one key then differs from it only from that key on: the keys there move
  // down one slot, the freed last slot and the count change, a leaf's children stay 0.
  // A delete rewrote the whole 8 KiB for every key it removed.
  if (kNodeAsBytes && cached && removedAt >= 1 && node->IsLeaf() && block.Count() == node->Count + 1 &&
      removedAt <= block.Count()) {
    uint8_t* b = block.Bytes.data();
    if (removedAt <= node->Count)
      std::memcpy(b + 12 * removedAt, &node->Keys[removedAt], 12 * static_cast<size_t>(node->Count - removedAt + 1));
    std::memset(b + 12 * (node->Count + 1), 0, 12);
    block.SetCount(static_cast<uint16_t>(node->Count));
  } else {
    node->Encode(block);
  }
  try {
    db_.WriteBlock(address, block);
  } catch (...) {
    // A node changed in place but not written must not stay cached as the file's.
    db_.nodeCache_.Erase(address);
    throw;
  }
  db_.nodeCache_.Replace(address, node);
  // This engine encoded the node itself: decoding it again from the block cache (once it
  // left the few nodes kept decoded) need not test its shape. A node without keys is
  // tested every time, as in Node.
  if (node->Count > 0) db_.pager_->MarkChecked(address, TBlockCache::kCheckedNode);
}

void TIndexTree::FreeNode(uint32_t address) {
  db_.nodeCache_.Erase(address);
  TBlock scratch;
  db_.PutOnAvailList(address, scratch);
}

// ---------------------------------------------------------------------------------------
// Values and comparison

bool TIndexTree::Keyable(const std::vector<uint8_t>& value) const {
  const TFieldHeader& field = db_.tables_[header_.IndexTable].Fields[header_.IndexField];
  if ((field.FieldType == 'C' || field.FieldType == 'V') && !GetCompare(header_.CompareId, field.FieldType))
    return value.size() >= 2;
  return true;
}

int32_t TIndexTree::Compare(const uint8_t* a, size_t lenA, const uint8_t* b,
                                   size_t lenB) const {
  char type = db_.tables_[header_.IndexTable].Fields[header_.IndexField].FieldType;
  auto la = static_cast<int32_t>(lenA), lb = static_cast<int32_t>(lenB);
  if (TCompareFunc f = GetCompare(header_.CompareId, type)) return f(a, b, la, lb, header_.CompareId, type);
  if (GetUnitLength(type) == 0 || type == 'L') return CompareBinary(a, b, la, lb);
  return OnCompare(a, b, la, lb, type);
}


TIndexTree::TSearchShape TIndexTree::Shape(const std::vector<uint8_t>& value) const {
  TSearchShape shape;
  // A prefix key of a fixed field of at most 4 bytes carries the whole value: it is
  // compared from the key, as the record would give the same bytes.
  const TFieldHeader& field = db_.tables_[header_.IndexTable].Fields[header_.IndexField];
  if (header_.KeyPrefix) {
    int64_t size = static_cast<int64_t>(GetUnitLength(field.FieldType)) * field.FieldLength;
    if (!IsVariable(field.FieldType) && size >= 1 && size <= 4) shape.WholeInKey = static_cast<size_t>(size);
  }
  // Whole 4-byte integers (the identifiers of terms and objects) are compared here, as
  // the built-in comparison orders them, instead of finding the comparison for each key:
  // the search of a node makes a dozen comparisons, and a look-up several searches.
  shape.WholeIntegers = field.FieldType == 'N' && value.size() == 4 && !GetCompare(header_.CompareId, 'N');
  return shape;
}

bool TIndexTree::KeyValue(const TIndexNode& node, int i, const TSearchShape& shape, bool fetch, uint64_t& memo,
                          TValueView& keyValue) {
  const TIndexKey& key = node.Keys[i];
  if (shape.WholeInKey > 0) {
    keyValue = {key.KeyHead.data(), shape.WholeInKey};
  } else if (node.MemoLength[i] != TIndexNode::kUnknown) {
    memo = node.Memo[i];
    keyValue = {reinterpret_cast<const uint8_t*>(&memo), node.MemoLength[i]};
  } else if (uint8_t length; db_.valueMemo_.Find(header_.IndexTable, header_.IndexField, key.KeyBlock, key.KeyRecNo,
                                                 node.Memo[i], length)) {
    node.MemoLength[i] = length;
    memo = node.Memo[i];
    keyValue = {reinterpret_cast<const uint8_t*>(&memo), length};
  } else {
    if (!fetch) return false;
    int position;
    if (!db_.IndexGetData(header_, key.KeyBlock, key.KeyRecNo, keyValue, position)) Inconsistent();
    // Only a record found in the key's own block is remembered under that block.
    if (db_.lastDataBlock_ == key.KeyBlock)
      db_.valueMemo_.Put(header_.IndexTable, header_.IndexField, key.KeyBlock, key.KeyRecNo, keyValue.Data,
                         keyValue.Size);
    if (keyValue.Size <= TIndexNode::kMemoBytes) {
      node.Memo[i] = 0;
      if (keyValue.Size > 0) std::memcpy(&node.Memo[i], keyValue.Data, keyValue.Size);
      node.MemoLength[i] = static_cast<uint8_t>(keyValue.Size);
    }
  }
  return true;
}

int32_t TIndexTree::CompareTo(const std::vector<uint8_t>& value, const TValueView& keyValue,
                              const TSearchShape& shape) const {
  if (shape.WholeIntegers && keyValue.Size == 4) {
    int32_t a, b;
    std::memcpy(&a, value.data(), 4);
    std::memcpy(&b, keyValue.Data, 4);
    return (a > b) - (a < b);
  }
  return Compare(value.data(), value.size(), keyValue.Data, keyValue.Size);
}

// Binary search of one node. Returns the position of a matching key (found) or the child
// to descend into (not found). recNo -1 matches any record: the leftmost equal key.
int TIndexTree::Search(const TIndexNode& node, const std::vector<uint8_t>& value, int32_t recNo, bool& found) {
  return Search(node, value, recNo, Shape(value), found);
}

int TIndexTree::Search(const TIndexNode& node, const std::vector<uint8_t>& value, int32_t recNo,
                       const TSearchShape& shape, bool& found) {
  found = false;
  int lo = 1, hi = node.Count;
  TValueView keyValue;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    const TIndexKey& key = node.Keys[mid];
    uint64_t memo;
    KeyValue(node, mid, shape, true, memo, keyValue);
    int32_t c = CompareTo(value, keyValue, shape);
    if (c < 0) {
      hi = mid - 1;
    } else if (c > 0) {
      lo = mid + 1;
    } else if (header_.Unique) {
      found = true;
      return mid;
    } else if (recNo < 0) {
      if (lo == hi) {
        found = true;
        return mid;
      }
      hi = mid;
    } else if (recNo < key.KeyRecNo) {
      hi = mid - 1;
    } else if (recNo > key.KeyRecNo) {
      lo = mid + 1;
    } else {
      found = true;
      return mid;
    }
  }
  return lo;
}

// Every key of the value (the first of them, outside a unique index) lies in this leaf
// when the value lies within its first and last key: after the first outside a unique
// index, where equal keys may run on from the leaf before. Only values known without
// reading a record are used: a finger that would need a read is not worth it.
bool TIndexTree::Encloses(const TIndexNode& leaf, const std::vector<uint8_t>& value, const TSearchShape& shape) {
  if (leaf.Count < 1 || !leaf.IsLeaf()) return false;
  uint64_t memo;
  TValueView bound;
  if (!KeyValue(leaf, leaf.Count, shape, false, memo, bound) || CompareTo(value, bound, shape) > 0) return false;
  if (!KeyValue(leaf, 1, shape, false, memo, bound)) return false;
  int32_t c = CompareTo(value, bound, shape);
  return c > 0 || (c == 0 && header_.Unique);
}


// ---------------------------------------------------------------------------------------
// Inserting

namespace {

// A key with the value remembered for it: the two move together from slot to slot, so a
// node keeps what its searches learnt across its own changes. A key's record changes its
// value only after the key has left every node, and a key whose record moves keeps it.
struct TSlot {
  TIndexKey Key;
  uint64_t Memo = 0;
  uint8_t MemoLength = TIndexNode::kUnknown;
};

TSlot SlotAt(const TIndexNode& node, int i) { return {node.Keys[i], node.Memo[i], node.MemoLength[i]}; }

void PutSlot(TIndexNode& node, int i, const TSlot& slot) {
  node.Keys[i] = slot.Key;
  node.Memo[i] = slot.Memo;
  node.MemoLength[i] = slot.MemoLength;
}

// Copies n entries of an array from index `at` to index `place` of another or the same
// array (the ranges may overlap).
template <typename TArray>
void MoveEntries(TArray& to, int place, const TArray& from, int at, int n) {
  if (n <= 0) return;
  if (&to == &from && place > at) std::copy_backward(from.begin() + at, from.begin() + at + n, to.begin() + place + n);
  else std::copy(from.begin() + at, from.begin() + at + n, to.begin() + place);
}

// Moves n keys with their remembered values from slot `at` of `from` to slot `place` of `to`.
void MoveSlots(TIndexNode& to, int place, const TIndexNode& from, int at, int n) {
  MoveEntries(to.Keys, place, from.Keys, at, n);
  MoveEntries(to.Memo, place, from.Memo, at, n);
  MoveEntries(to.MemoLength, place, from.MemoLength, at, n);
}

// Makes room at `pos` for a key with its right child: keys pos.. and children pos+1.. move
// up one place.
void InsertInNode(TIndexNode& node, int pos, const TSlot& slot, uint32_t right) {
  MoveSlots(node, pos + 1, node, pos, node.Count - pos + 1);
  MoveEntries(node.Children, pos + 2, node.Children, pos + 1, node.Count - pos + 1);
  PutSlot(node, pos, slot);
  node.Children[pos + 1] = right;
  node.Count++;
}

// Splits a full node that a key with its right child joins at `pos`: of the 511 keys and
// 512 children, `left` takes keys 1..255 and children 1..256, key 256 is pushed up and
// `right` takes the rest. The full node itself is not changed.
TSlot SplitNode(const TIndexNode& full, int pos, const TSlot& slot, uint32_t child, TIndexNode& left,
                TIndexNode& right) {
  auto keyAt = [&](int i) { return i < pos ? SlotAt(full, i) : i == pos ? slot : SlotAt(full, i - 1); };
  auto childAt = [&](int j) { return j <= pos ? full.Children[j] : j == pos + 1 ? child : full.Children[j - 1]; };
  left.Count = right.Count = kNodeHalf;
  for (int i = 1; i <= kNodeHalf; ++i) {
    PutSlot(left, i, keyAt(i));
    PutSlot(right, i, keyAt(kNodeHalf + 1 + i));
  }
  for (int j = 1; j <= kNodeHalf + 1; ++j) {
    left.Children[j] = childAt(j);
    right.Children[j] = childAt(kNodeHalf + 1 + j);
  }
  return keyAt(kNodeHalf + 1);
}

}  // namespace

// The key goes into the leaf its search ends in; a full node on the way back up splits and
// a split root gets a new root above it. Every block this needs is allocated before any
// node changes, and split halves are built as new nodes: a failed allocation (a full disk,
// a damaged avail list) leaves the tree and the cached nodes as they were.
bool TIndexTree::Add(const TIndexKey& key, const std::vector<uint8_t>& value) {
  if (key.KeyRecNo <= 0 || !Keyable(value)) return false;
  struct TStep {
    uint32_t address = 0;
    PIndexNode node;
    int position = 0;
  };
  std::array<TStep, kMaxTreeDepth + 1> path;
  size_t depth = 0;
  for (uint32_t address = header_.Root; address != 0; ++depth) {
    if (depth == path.size()) Inconsistent();
    PIndexNode node = Node(address);
    bool found;
    int pos = Search(*node, value, key.KeyRecNo, found);
    if (found) return false;  // the key, or in a unique index its value, is there already
    path[depth] = {address, node, pos};
    address = node->Children[pos];
  }

  // Full nodes from the leaf up split; when the root splits too, a new root goes above it.
  size_t splits = 0;
  while (splits < depth && path[depth - 1 - splits].node->Count >= kNodeKeys) ++splits;
  std::vector<uint32_t> fresh;
  try {
    for (size_t i = 0; i < splits + (splits == depth ? 1 : 0); ++i) fresh.push_back(db_.GetNewBlock());
  } catch (...) {
    // Blocks taken before the failure go back where that is possible; else they stay unused.
    TBlock scratch;
    for (uint32_t address : fresh) {
      try {
        db_.PutOnAvailList(address, scratch);
      } catch (const rtl::Exception&) {
      }
    }
    throw;
  }

  // The new key comes with its value, which the next search of its leaf need not fetch.
  TSlot up{key};
  if (value.size() <= TIndexNode::kMemoBytes) {
    if (!value.empty()) std::memcpy(&up.Memo, value.data(), value.size());
    up.MemoLength = static_cast<uint8_t>(value.size());
  }
  uint32_t upRight = 0;
  auto block = fresh.begin();
  for (size_t level = depth; level-- > 0;) {
    TStep& step = path[level];
    if (step.node->Count < kNodeKeys) {
      InsertInNode(*step.node, step.position, up, upRight);
      WriteNode(step.address, step.node);
      return true;
    }
    auto left = std::make_shared<TIndexNode>();
    auto right = std::make_shared<TIndexNode>();
    up = SplitNode(*step.node, step.position, up, upRight, *left, *right);
    upRight = *block++;
    WriteNode(step.address, left);
    WriteNode(upRight, right);
  }
  auto root = std::make_shared<TIndexNode>();
  root->Count = 1;
  PutSlot(*root, 1, up);
  root->Children[1] = header_.Root;
  root->Children[2] = upRight;
  WriteNode(*block, root);
  header_.Root = *block;
  db_.WriteTables();
  return true;
}


// ---------------------------------------------------------------------------------------
// Deleting

namespace {

// Takes key `pos` and its right child out of a node: the keys and children after them move
// down one place and the freed last slots are cleared.
void RemoveFromNode(TIndexNode& node, int pos) {
  MoveSlots(node, pos, node, pos + 1, node.Count - pos);
  MoveEntries(node.Children, pos + 1, node.Children, pos + 2, node.Count - pos);
  PutSlot(node, node.Count, {});
  node.Children[node.Count + 1] = 0;
  node.Count--;
}

// Left lends right its last key through the parent: the separator p moves down to the front
// of right, left's last child becomes right's first, and left's last key replaces the
// separator.
void BorrowFromLeft(TIndexNode& parent, int p, TIndexNode& left, TIndexNode& right) {
  MoveSlots(right, 2, right, 1, right.Count);
  MoveEntries(right.Children, 2, right.Children, 1, right.Count + 1);
  PutSlot(right, 1, SlotAt(parent, p));
  right.Children[1] = left.Children[left.Count + 1];
  right.Count++;
  PutSlot(parent, p, SlotAt(left, left.Count));
  PutSlot(left, left.Count, {});
  left.Children[left.Count + 1] = 0;
  left.Count--;
}

// Right lends left its first key through the parent: the separator p moves down to the end
// of left with right's first child, and right's first key replaces the separator.
void BorrowFromRight(TIndexNode& parent, int p, TIndexNode& left, TIndexNode& right) {
  left.Count++;
  PutSlot(left, left.Count, SlotAt(parent, p));
  left.Children[left.Count + 1] = right.Children[1];
  PutSlot(parent, p, SlotAt(right, 1));
  MoveSlots(right, 1, right, 2, right.Count - 1);
  MoveEntries(right.Children, 1, right.Children, 2, right.Count);
  PutSlot(right, right.Count, {});
  right.Children[right.Count + 1] = 0;
  right.Count--;
}

// The separator p and all of right join left; false (nothing of the parent changed) when
// the result would not fit a node, which only a damaged tree gives.
bool MergeNodes(TIndexNode& parent, int p, TIndexNode& left, const TIndexNode& right) {
  int n = left.Count;
  if (n + 1 + right.Count > kNodeKeys) return false;
  PutSlot(left, n + 1, SlotAt(parent, p));
  left.Children[n + 2] = right.Children[1];
  MoveSlots(left, n + 2, right, 1, right.Count);
  MoveEntries(left.Children, n + 3, right.Children, 2, right.Count);
  left.Count = n + 1 + right.Count;
  RemoveFromNode(parent, p);
  return true;
}

}  // namespace

// A key found in a leaf leaves it; the root leaf that loses its last key goes back to the
// avail list and the index is empty.
bool TIndexTree::DeleteFromLeaf(uint32_t address,
                                       const PIndexNode& node, int pos) {
  RemoveFromNode(*node, pos);
  if (node->Count == 0 && address == header_.Root) {
    FreeNode(address);
    header_.Root = 0;
    db_.WriteTables();
    return false;
  }
  WriteNode(address, node, pos);
  return node->Count < kNodeHalf;
}

// A key found in an inner node changes places with its successor, the first key of the
// leftmost leaf right of it, so that the deletion goes on in a leaf.
void TIndexTree::SwapSuccessor(uint32_t address,
                                      const PIndexNode& node, int pos) {
  uint32_t leafAddress = node->Children[pos + 1];
  PIndexNode leaf = Node(leafAddress);
  for (int d = 0; !leaf->IsLeaf(); ++d) {
    if (d > kMaxTreeDepth || leaf->Count == 0) Inconsistent();
    leafAddress = leaf->Children[1];
    leaf = Node(leafAddress);
  }
  if (leaf->Count == 0) Inconsistent();
  TSlot successor = SlotAt(*leaf, 1);
  PutSlot(*leaf, 1, SlotAt(*node, pos));
  PutSlot(*node, pos, successor);
  WriteNode(leafAddress, leaf);
  WriteNode(address, node);
}

// Child `child` of the node at `address` fell below half: a neighbour with keys to spare
// lends one, else the two merge. False when the node itself, a root whose last key went
// into the merge, is gone and the merged child is the new root.
bool TIndexTree::RefillChild(uint32_t address, const PIndexNode& node,
                                    int child) {
  int p = child > node->Count ? child - 1 : child;
  uint32_t leftAddress = node->Children[p], rightAddress = node->Children[p + 1];
  PIndexNode left = Node(leftAddress);
  PIndexNode right = Node(rightAddress);
  if (right->Count > kNodeHalf || left->Count > kNodeHalf) {
    if (right->Count > kNodeHalf) BorrowFromRight(*node, p, *left, *right);
    else BorrowFromLeft(*node, p, *left, *right);
    WriteNode(leftAddress, left);
    WriteNode(rightAddress, right);
    WriteNode(address, node);
    return true;
  }
  if (!MergeNodes(*node, p, *left, *right)) Inconsistent();
  WriteNode(leftAddress, left);
  FreeNode(rightAddress);
  if (node->Count == 0) {
    if (address == header_.Root) header_.Root = leftAddress;
    FreeNode(address);
    db_.WriteTables();
    return false;
  }
  WriteNode(address, node);
  return true;
}

// Deletes the record's own key from the subtree at `address`; true when that node is left
// below half and its parent has to refill it.
bool TIndexTree::DeleteFrom(uint32_t address, const std::vector<uint8_t>& value,
                                  const TIndexKey& key, int depth) {
  if (address == 0 || key.KeyRecNo <= 0) return false;
  if (depth > kMaxTreeDepth) Inconsistent();
  PIndexNode node = Node(address);
  bool found;
  int pos = Search(*node, value, key.KeyRecNo, found);
  // In a unique index the search stops at any equal key; it is deleted only when it is
  // this record's own, or another record would lose its key.
  if (found && node->Keys[pos].KeyRecNo != key.KeyRecNo) return false;
  if (found && node->IsLeaf()) return DeleteFromLeaf(address, node, pos);
  int child = pos;
  if (found) {
    SwapSuccessor(address, node, pos);
    child = pos + 1;
  }
  bool underflow = DeleteFrom(node->Children[child], value, key, depth + 1);
  node = Node(address);
  if (underflow && !node->IsLeaf() && node->Count > 0 && !RefillChild(address, node, child)) return false;
  return node->Count < kNodeHalf;
}


// ---------------------------------------------------------------------------------------
// Keys, finding and freeing

TIndexKey TIndexTree::MakeKey(uint32_t address, int32_t recNo,
                                const std::vector<uint8_t>& value) const {
  TIndexKey key;
  key.KeyBlock = address;
  key.KeyRecNo = recNo;
  if (header_.KeyPrefix && !value.empty()) std::memcpy(key.KeyHead.data(), value.data(), std::min<size_t>(4, value.size()));
  return key;
}


bool TIndexTree::Find(const std::vector<uint8_t>& value, TIndexKey& key,
                             int& dataPosition) {
  if (!Keyable(value)) return false;
  const TSearchShape shape = Shape(value);
  auto take = [&](const TIndexNode& node, int pos) {
    key = node.Keys[pos];
    TValueView ignored;
    if (!db_.IndexGetData(header_, key.KeyBlock, key.KeyRecNo, ignored, dataPosition)) Inconsistent();
    return true;
  };
  // Look-ups in key order (a form's objects) mostly land in the leaf the last one ended in.
  const uint64_t generation = db_.CatalogueGeneration();
  if (const PIndexNode* finger = db_.nodeCache_.Finger(header_, generation); finger && Encloses(**finger, value, shape)) {
    bool found;
    int pos = Search(**finger, value, -1, shape, found);
    return found && take(**finger, pos);
  }
  uint32_t address = header_.Root;
  for (int depth = 0; address != 0; ++depth) {
    if (depth > kMaxTreeDepth) Inconsistent();
    PIndexNode node = Node(address);
    bool found;
    int pos = Search(*node, value, -1, shape, found);
    if (node->IsLeaf()) db_.nodeCache_.SetFinger(header_, generation, node);
    if (found) return take(*node, pos);
    address = node->Children[pos];
  }
  return false;
}


// Gives every node of a tree back to the avail list, but only a whole tree: every node has
// a node's shape, none is reached twice, and none is the first block of the catalogue, of
// the avail list, of a table's records or of another index (the blocks that a node without
// keys, an emptied root, could be confused with; every other block fails the node test).
// A damaged tree is left where it is, unused: the structure check reports its blocks, and
// nothing another structure holds is ever freed through it.
void TIndexTree::Free() {
  if (header_.Root == 0) return;
  std::vector<uint32_t> nodes;
  std::vector<std::pair<uint32_t, int>> pending{{header_.Root, 0}};
  std::unordered_set<uint32_t> seen;
  try {
    while (!pending.empty()) {
      auto [address, depth] = pending.back();
      pending.pop_back();
      if (depth > kMaxTreeDepth || !seen.insert(address).second) return;
      PIndexNode node = Node(address);
      nodes.push_back(address);
      if (!node->IsLeaf())
        for (int j = 1; j <= node->Count + 1; ++j) pending.emplace_back(node->Children[j], depth + 1);
    }
  } catch (const EBlockCorrupt&) {
    return;
  }
  std::unordered_set<uint32_t> claimed{db_.pager_->Header().TableBlock, db_.pager_->Header().AvailList};
  for (const TTable& table : db_.tables_) {
    claimed.insert({table.Header.FirstBlock, table.Header.LastBlock, table.Header.CurBlock});
    for (const TFieldHeader& field : table.Fields)
      for (const TIndexHeader& other : field.Indexes)
        if (&other != &header_) claimed.insert(other.Root);
  }
  for (uint32_t address : nodes)
    if (claimed.count(address)) return;
  for (uint32_t address : nodes) FreeNode(address);
}

}  // namespace quintrel::storage
