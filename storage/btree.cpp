// B-tree indexes: keys that name a record (its block and _RECNO) ordered by the record's
// field value, fetched for every comparison.
//
// Values a type's comparison cannot order are kept out of the trees, so that insert,
// search and delete always agree: a record gets no key when its _RECNO is 0 or less, or
// when the indexed field is a C or V field with an empty value (the wide-string order puts
// an empty value before everything and equal to nothing). L fields, whose built-in
// comparison calls every pair different, are ordered by their bytes inside an index.
#include "storage/btree.h"
#include "storage/coding.h"

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
// Node cache

// A block is taken for a node only with a node's whole shape, so that a root or child
// pointing at a record block, the catalogue or a free block is refused before anything is
// changed or freed through it: block header words 0 (Next, Prev, Used), at most 510 keys
// and at least one outside a root that no other structure starts at, children
// all 0 (a leaf) or all blocks of the file other than the node itself, and keys that name
// a block of the file with a record number above 0. Whether a key's block holds its
// record is learnt when the key is used (a fetch that misses raises EIndexInconsistent).
std::string TCustomVarDB::NodeFault(const TBlock& block, uint32_t address, const TIndexHeader& header) {
  if (block.Next() != 0 || block.Prev() != 0 || block.Used() != 0) return vc::_SNodeHeader;
  int count = block.Count();
  if (count > kNodeKeys) return Format(vc::_SNodeCount, count);
  if (count == 0) {
    // Only an emptied root has no keys, and the first blocks of the catalogue, the avail
    // list and the tables look just like one.
    if (address != header.Root) return vc::_SNodeEmpty;
    bool claimed = address == pager_->Header().TableBlock || address == pager_->Header().AvailList;
    for (const TTable& table : tables_) claimed |= address == table.Header.FirstBlock;
    if (claimed) return vc::_SNodeClaimed;
  }
  auto usable = [&](uint32_t at) {
    return at != address && at >= kFileHeaderSize && (at - kFileHeaderSize) % kBlockSize == 0 && InsideFile(at);
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

std::shared_ptr<TIndexNode> TCustomVarDB::IndexGetBlock(uint32_t address, const TIndexHeader& header) {
  for (auto it = indexCache_.begin(); it != indexCache_.end(); ++it) {
    if (it->first == address) {
      if (it != indexCache_.begin()) std::rotate(indexCache_.begin(), it, it + 1);
      return indexCache_.front().second;
    }
  }
  // The node is decoded straight from the block cache, into the node object the cache
  // drops when nobody else holds it.
  PBlock loaded;
  uint8_t* checked = nullptr;
  const TBlock* block;
  if (pager_->IsFile()) {
    block = &pager_->Peek(address, &checked);
  } else {
    loaded = LoadBlock(address);
    block = loaded.get();
  }
  std::shared_ptr<TIndexNode> node;
  if (indexCache_.size() >= kIndexCacheSize && indexCache_.back().second.use_count() == 1) {
    node = std::move(indexCache_.back().second);
    indexCache_.pop_back();
  } else {
    node = std::make_shared<TIndexNode>();
  }
  // The shape is tested once while the block stays cached, and never for a database that
  // lives in memory (this engine wrote every byte of it). A node without keys is tested every
  // time: whether it may be one depends on where it is met.
  if (checked && !(*checked & TBlockCache::kCheckedNode)) {
    if (std::string fault = NodeFault(*block, address, header); !fault.empty())
      Corrupt(address, Format(vc::_SNotANode, header.IndexTable, header.IndexField, fault));
    if (block->Count() > 0) *checked |= TBlockCache::kCheckedNode;
  }
  node->Decode(*block);
  indexCache_.insert(indexCache_.begin(), {address, node});
  while (indexCache_.size() > kIndexCacheSize) indexCache_.pop_back();
  return node;
}

void TCustomVarDB::IndexWriteNode(uint32_t address, const std::shared_ptr<TIndexNode>& node) {
  node->ForgetValues();
  TBlock& block = nodeScratch_;
  node->Encode(block);
  auto cached = [&](const auto& entry) { return entry.first == address; };
  try {
    WriteBlock(address, block);
  } catch (...) {
    // A node changed in place but not written must not stay cached as the file's.
    indexCache_.erase(std::remove_if(indexCache_.begin(), indexCache_.end(), cached), indexCache_.end());
    throw;
  }
  for (auto it = indexCache_.begin(); it != indexCache_.end(); ++it) {
    if (it->first == address) {
      if (it->second != node) it->second->ForgetValues();
      it->second = node;
      return;
    }
  }
  indexCache_.insert(indexCache_.begin(), {address, node});
  while (indexCache_.size() > kIndexCacheSize) indexCache_.pop_back();
}

void TCustomVarDB::IndexFreeNode(uint32_t address) {
  indexCache_.erase(std::remove_if(indexCache_.begin(), indexCache_.end(),
                                   [&](const auto& entry) { return entry.first == address; }),
                    indexCache_.end());
  TBlock scratch;
  PutOnAvailList(address, scratch);
}

void TCustomVarDB::ClearCaches() {
  indexCache_.clear();
  valueMemo_.Clear();
  pager_->ClearCache();
}

// ---------------------------------------------------------------------------------------
// Values and comparison

bool TCustomVarDB::IndexKeyable(const TIndexHeader& header, const std::vector<uint8_t>& value) const {
  const TFieldHeader& field = tables_[header.IndexTable].Fields[header.IndexField];
  if ((field.FieldType == 'C' || field.FieldType == 'V') && !GetCompare(header.CompareId, field.FieldType))
    return value.size() >= 2;
  return true;
}

int32_t TCustomVarDB::IndexCompare(const TIndexHeader& header, const uint8_t* a, size_t lenA, const uint8_t* b,
                                   size_t lenB) const {
  char type = tables_[header.IndexTable].Fields[header.IndexField].FieldType;
  auto la = static_cast<int32_t>(lenA), lb = static_cast<int32_t>(lenB);
  if (TCompareFunc f = GetCompare(header.CompareId, type)) return f(a, b, la, lb, header.CompareId, type);
  if (GetUnitLength(type) == 0 || type == 'L') return CompareBinary(a, b, la, lb);
  return OnCompare(a, b, la, lb, type);
}

bool TCustomVarDB::IndexGetData(const TIndexHeader& header, uint32_t blockAddress, int32_t recNo,
                                TValueView& value, int& position) {
  position = 0;
  if (blockAddress == 0 || header.IndexTable >= tables_.size()) return false;
  const TTable& t = tables_[header.IndexTable];
  const TBlock* block;
  try {
    block = &PeekDataBlock(blockAddress);
    if (!header.Unique && block->Count() > 0 &&
        (RecNoAt(*block, blockAddress, block->Count()) < recNo || RecNoAt(*block, blockAddress, 1) > recNo)) {
      // Tolerate a key whose record moved to a neighbouring block.
      std::unordered_set<uint32_t> seen{blockAddress};
      while (block->Count() > 0 && RecNoAt(*block, blockAddress, block->Count()) < recNo && block->Next() != 0 &&
             seen.insert(block->Next()).second) {
        blockAddress = block->Next();
        block = &PeekDataBlock(blockAddress);
      }
      while (block->Count() > 0 && RecNoAt(*block, blockAddress, 1) > recNo && block->Prev() != 0 &&
             seen.insert(block->Prev()).second) {
        blockAddress = block->Prev();
        block = &PeekDataBlock(blockAddress);
      }
    }
  } catch (const EBlockCorrupt&) {
    return false;
  }
  auto found = [&](int pos) {
    value = FieldView(t, *block, blockAddress, pos, header.IndexField, fetchScratch_);
    position = pos;
    lastDataBlock_ = blockAddress;
    return true;
  };
  int lo = 1, hi = block->Count();
  if (hi > 0) {
    // Numbers usually run without gaps within a block: the record is first looked for
    // where that puts it, which saves most of the probes of the search.
    int64_t guess = static_cast<int64_t>(recNo) - RecNoAt(*block, blockAddress, 1) + 1;
    if (guess >= 1 && guess <= hi && RecNoAt(*block, blockAddress, static_cast<int>(guess)) == recNo)
      return found(static_cast<int>(guess));
  }
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    int32_t at = RecNoAt(*block, blockAddress, mid);
    if (at == recNo) return found(mid);
    if (at < recNo) lo = mid + 1;
    else hi = mid - 1;
  }
  // Records inserted without a number break the ascending order the search relies on.
  for (int pos = 1; pos <= block->Count(); ++pos)
    if (RecNoAt(*block, blockAddress, pos) == recNo) return found(pos);
  return false;
}

// Binary search of one node. Returns the position of a matching key (found) or the child
// to descend into (not found). recNo -1 matches any record: the leftmost equal key.
int TCustomVarDB::IndexSearchNode(const TIndexHeader& header, const TIndexNode& node,
                                  const std::vector<uint8_t>& value, int32_t recNo, bool& found) {
  found = false;
  int lo = 1, hi = node.Count;
  TValueView keyValue;
  // A prefix key of a fixed field of at most 4 bytes carries the whole value: it is
  // compared from the key, as the record would give the same bytes.
  size_t wholeInKey = 0;
  if (header.KeyPrefix) {
    const TFieldHeader& field = tables_[header.IndexTable].Fields[header.IndexField];
    int64_t size = static_cast<int64_t>(GetUnitLength(field.FieldType)) * field.FieldLength;
    if (!IsVariable(field.FieldType) && size >= 1 && size <= 4) wholeInKey = static_cast<size_t>(size);
  }
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    const TIndexKey& key = node.Keys[mid];
    uint64_t memo;
    if (wholeInKey > 0) {
      keyValue = {key.KeyHead.data(), wholeInKey};
    } else if (node.MemoLength[mid] != TIndexNode::kUnknown) {
      memo = node.Memo[mid];
      keyValue = {reinterpret_cast<const uint8_t*>(&memo), node.MemoLength[mid]};
    } else if (uint8_t length; valueMemo_.Find(header.IndexTable, header.IndexField, key.KeyBlock, key.KeyRecNo,
                                               node.Memo[mid], length)) {
      node.MemoLength[mid] = length;
      memo = node.Memo[mid];
      keyValue = {reinterpret_cast<const uint8_t*>(&memo), length};
    } else {
      int position;
      if (!IndexGetData(header, key.KeyBlock, key.KeyRecNo, keyValue, position))
        throw EIndexInconsistent(header.IndexTable, header.IndexField);
      // Only a record found in the key's own block is remembered under that block.
      if (lastDataBlock_ == key.KeyBlock)
        valueMemo_.Put(header.IndexTable, header.IndexField, key.KeyBlock, key.KeyRecNo, keyValue.Data, keyValue.Size);
      if (keyValue.Size <= TIndexNode::kMemoBytes) {
        node.Memo[mid] = 0;
        if (keyValue.Size > 0) std::memcpy(&node.Memo[mid], keyValue.Data, keyValue.Size);
        node.MemoLength[mid] = static_cast<uint8_t>(keyValue.Size);
      }
    }
    int32_t c = IndexCompare(header, value.data(), value.size(), keyValue.Data, keyValue.Size);
    if (c < 0) {
      hi = mid - 1;
    } else if (c > 0) {
      lo = mid + 1;
    } else if (header.Unique) {
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

// ---------------------------------------------------------------------------------------
// Inserting

namespace {

// Makes room at `pos` for a key with its right child: keys pos.. and children pos+1.. move
// up one place.
void InsertInNode(TIndexNode& node, int pos, const TIndexKey& key, uint32_t right) {
  for (int i = node.Count; i >= pos; --i) node.Keys[i + 1] = node.Keys[i];
  for (int j = node.Count + 1; j >= pos + 1; --j) node.Children[j + 1] = node.Children[j];
  node.Keys[pos] = key;
  node.Children[pos + 1] = right;
  node.Count++;
}

// Splits a full node that a key with its right child joins at `pos`: of the 511 keys and
// 512 children, `left` takes keys 1..255 and children 1..256, key 256 is pushed up and
// `right` takes the rest. The full node itself is not changed.
TIndexKey SplitNode(const TIndexNode& full, int pos, const TIndexKey& key, uint32_t child, TIndexNode& left,
                    TIndexNode& right) {
  auto keyAt = [&](int i) { return i < pos ? full.Keys[i] : i == pos ? key : full.Keys[i - 1]; };
  auto childAt = [&](int j) { return j <= pos ? full.Children[j] : j == pos + 1 ? child : full.Children[j - 1]; };
  left.Count = right.Count = kNodeHalf;
  for (int i = 1; i <= kNodeHalf; ++i) {
    left.Keys[i] = keyAt(i);
    right.Keys[i] = keyAt(kNodeHalf + 1 + i);
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
bool TCustomVarDB::IndexAddKey(TIndexHeader& header, const TIndexKey& key, const std::vector<uint8_t>& value) {
  if (key.KeyRecNo <= 0 || !IndexKeyable(header, value)) return false;
  struct TStep {
    uint32_t address = 0;
    std::shared_ptr<TIndexNode> node;
    int position = 0;
  };
  std::array<TStep, kMaxTreeDepth + 1> path;
  size_t depth = 0;
  for (uint32_t address = header.Root; address != 0; ++depth) {
    if (depth == path.size()) throw EIndexInconsistent(header.IndexTable, header.IndexField);
    std::shared_ptr<TIndexNode> node = IndexGetBlock(address, header);
    bool found;
    int pos = IndexSearchNode(header, *node, value, key.KeyRecNo, found);
    if (found) return false;  // the key, or in a unique index its value, is there already
    path[depth] = {address, node, pos};
    address = node->Children[pos];
  }

  // Full nodes from the leaf up split; when the root splits too, a new root goes above it.
  size_t splits = 0;
  while (splits < depth && path[depth - 1 - splits].node->Count >= kNodeKeys) ++splits;
  std::vector<uint32_t> fresh;
  try {
    for (size_t i = 0; i < splits + (splits == depth ? 1 : 0); ++i) fresh.push_back(GetNewBlock());
  } catch (...) {
    // Blocks taken before the failure go back where that is possible; else they stay unused.
    TBlock scratch;
    for (uint32_t address : fresh) {
      try {
        PutOnAvailList(address, scratch);
      } catch (const rtl::Exception&) {
      }
    }
    throw;
  }

  TIndexKey up = key;
  uint32_t upRight = 0;
  auto block = fresh.begin();
  for (size_t level = depth; level-- > 0;) {
    TStep& step = path[level];
    if (step.node->Count < kNodeKeys) {
      InsertInNode(*step.node, step.position, up, upRight);
      IndexWriteNode(step.address, step.node);
      return true;
    }
    auto left = std::make_shared<TIndexNode>();
    auto right = std::make_shared<TIndexNode>();
    up = SplitNode(*step.node, step.position, up, upRight, *left, *right);
    upRight = *block++;
    IndexWriteNode(step.address, left);
    IndexWriteNode(upRight, right);
  }
  auto root = std::make_shared<TIndexNode>();
  root->Count = 1;
  root->Keys[1] = up;
  root->Children[1] = header.Root;
  root->Children[2] = upRight;
  IndexWriteNode(*block, root);
  header.Root = *block;
  WriteTables();
  return true;
}

// ---------------------------------------------------------------------------------------
// Deleting

namespace {

// Takes key `pos` and its right child out of a node: the keys and children after them move
// down one place and the freed last slots are cleared.
void RemoveFromNode(TIndexNode& node, int pos) {
  for (int i = pos; i < node.Count; ++i) {
    node.Keys[i] = node.Keys[i + 1];
    node.Children[i + 1] = node.Children[i + 2];
  }
  node.Keys[node.Count] = {};
  node.Children[node.Count + 1] = 0;
  node.Count--;
}

// Left lends right its last key through the parent: the separator p moves down to the front
// of right, left's last child becomes right's first, and left's last key replaces the
// separator.
void BorrowFromLeft(TIndexNode& parent, int p, TIndexNode& left, TIndexNode& right) {
  for (int i = right.Count; i >= 1; --i) right.Keys[i + 1] = right.Keys[i];
  for (int j = right.Count + 1; j >= 1; --j) right.Children[j + 1] = right.Children[j];
  right.Keys[1] = parent.Keys[p];
  right.Children[1] = left.Children[left.Count + 1];
  right.Count++;
  parent.Keys[p] = left.Keys[left.Count];
  left.Keys[left.Count] = {};
  left.Children[left.Count + 1] = 0;
  left.Count--;
}

// Right lends left its first key through the parent: the separator p moves down to the end
// of left with right's first child, and right's first key replaces the separator.
void BorrowFromRight(TIndexNode& parent, int p, TIndexNode& left, TIndexNode& right) {
  left.Count++;
  left.Keys[left.Count] = parent.Keys[p];
  left.Children[left.Count + 1] = right.Children[1];
  parent.Keys[p] = right.Keys[1];
  for (int i = 1; i < right.Count; ++i) {
    right.Keys[i] = right.Keys[i + 1];
    right.Children[i] = right.Children[i + 1];
  }
  right.Children[right.Count] = right.Children[right.Count + 1];
  right.Keys[right.Count] = {};
  right.Children[right.Count + 1] = 0;
  right.Count--;
}

// The separator p and all of right join left; false (nothing of the parent changed) when
// the result would not fit a node, which only a damaged tree gives.
bool MergeNodes(TIndexNode& parent, int p, TIndexNode& left, const TIndexNode& right) {
  int n = left.Count;
  left.Keys[n + 1] = parent.Keys[p];
  left.Children[n + 2] = right.Children[1];
  for (int i = 1; i <= right.Count; ++i) {
    left.Keys[n + 1 + i] = right.Keys[i];
    left.Children[n + 2 + i] = right.Children[i + 1];
  }
  left.Count = n + 1 + right.Count;
  if (left.Count > kNodeKeys) return false;
  RemoveFromNode(parent, p);
  return true;
}

}  // namespace

// A key found in a leaf leaves it; the root leaf that loses its last key goes back to the
// avail list and the index is empty.
bool TCustomVarDB::IndexDeleteFromLeaf(TIndexHeader& header, uint32_t address,
                                       const std::shared_ptr<TIndexNode>& node, int pos) {
  RemoveFromNode(*node, pos);
  if (node->Count == 0 && address == header.Root) {
    IndexFreeNode(address);
    header.Root = 0;
    WriteTables();
    return false;
  }
  IndexWriteNode(address, node);
  return node->Count < kNodeHalf;
}

// A key found in an inner node changes places with its successor, the first key of the
// leftmost leaf right of it, so that the deletion goes on in a leaf.
void TCustomVarDB::IndexSwapSuccessor(const TIndexHeader& header, uint32_t address,
                                      const std::shared_ptr<TIndexNode>& node, int pos) {
  uint32_t leafAddress = node->Children[pos + 1];
  std::shared_ptr<TIndexNode> leaf = IndexGetBlock(leafAddress, header);
  for (int d = 0; !leaf->IsLeaf(); ++d) {
    if (d > kMaxTreeDepth || leaf->Count == 0) throw EIndexInconsistent(header.IndexTable, header.IndexField);
    leafAddress = leaf->Children[1];
    leaf = IndexGetBlock(leafAddress, header);
  }
  if (leaf->Count == 0) throw EIndexInconsistent(header.IndexTable, header.IndexField);
  std::swap(leaf->Keys[1], node->Keys[pos]);
  IndexWriteNode(leafAddress, leaf);
  IndexWriteNode(address, node);
}

// Child `child` of the node at `address` fell below half: a neighbour with keys to spare
// lends one, else the two merge. False when the node itself, a root whose last key went
// into the merge, is gone and the merged child is the new root.
bool TCustomVarDB::IndexRefillChild(TIndexHeader& header, uint32_t address, const std::shared_ptr<TIndexNode>& node,
                                    int child) {
  int p = child > node->Count ? child - 1 : child;
  uint32_t leftAddress = node->Children[p], rightAddress = node->Children[p + 1];
  std::shared_ptr<TIndexNode> left = IndexGetBlock(leftAddress, header);
  std::shared_ptr<TIndexNode> right = IndexGetBlock(rightAddress, header);
  if (right->Count > kNodeHalf || left->Count > kNodeHalf) {
    if (right->Count > kNodeHalf) BorrowFromRight(*node, p, *left, *right);
    else BorrowFromLeft(*node, p, *left, *right);
    IndexWriteNode(leftAddress, left);
    IndexWriteNode(rightAddress, right);
    IndexWriteNode(address, node);
    return true;
  }
  if (!MergeNodes(*node, p, *left, *right)) throw EIndexInconsistent(header.IndexTable, header.IndexField);
  IndexWriteNode(leftAddress, left);
  IndexFreeNode(rightAddress);
  if (node->Count == 0) {
    if (address == header.Root) header.Root = leftAddress;
    IndexFreeNode(address);
    WriteTables();
    return false;
  }
  IndexWriteNode(address, node);
  return true;
}

// Deletes the record's own key from the subtree at `address`; true when that node is left
// below half and its parent has to refill it.
bool TCustomVarDB::IndexDeleteKey(TIndexHeader& header, uint32_t address, const std::vector<uint8_t>& value,
                                  const TIndexKey& key, int depth) {
  if (address == 0 || key.KeyRecNo <= 0) return false;
  if (depth > kMaxTreeDepth) throw EIndexInconsistent(header.IndexTable, header.IndexField);
  std::shared_ptr<TIndexNode> node = IndexGetBlock(address, header);
  bool found;
  int pos = IndexSearchNode(header, *node, value, key.KeyRecNo, found);
  // In a unique index the search stops at any equal key; it is deleted only when it is
  // this record's own, or another record would lose its key.
  if (found && node->Keys[pos].KeyRecNo != key.KeyRecNo) return false;
  if (found && node->IsLeaf()) return IndexDeleteFromLeaf(header, address, node, pos);
  int child = pos;
  if (found) {
    IndexSwapSuccessor(header, address, node, pos);
    child = pos + 1;
  }
  bool underflow = IndexDeleteKey(header, node->Children[child], value, key, depth + 1);
  node = IndexGetBlock(address, header);
  if (underflow && !node->IsLeaf() && node->Count > 0 && !IndexRefillChild(header, address, node, child)) return false;
  return node->Count < kNodeHalf;
}

// ---------------------------------------------------------------------------------------
// Keys of records

TIndexKey TCustomVarDB::MakeKey(const TIndexHeader& header, uint32_t address, int32_t recNo,
                                const std::vector<uint8_t>& value) const {
  TIndexKey key;
  key.KeyBlock = address;
  key.KeyRecNo = recNo;
  if (header.KeyPrefix && !value.empty()) std::memcpy(key.KeyHead.data(), value.data(), std::min<size_t>(4, value.size()));
  return key;
}

// Every indexed field's keys follow the record, the record number's too: an index on
// field 0 is as real as any other once IndexCreate has filled it.
void TCustomVarDB::AddRecordKeys(int table, uint32_t address, const std::vector<uint8_t>& image) {
  TTable& t = tables_[table];
  std::vector<TFieldSlot> slots;
  for (size_t f = 0; f < t.Fields.size(); ++f) {
    if (t.Fields[f].Indexes.empty()) continue;
    if (slots.empty()) slots = SliceImage(t, image);
    std::vector<uint8_t> value = FieldValue(image, slots[f]);
    for (TIndexHeader& index : t.Fields[f].Indexes)
      IndexAddKey(index, MakeKey(index, address, RecNoOf(image), value), value);
  }
}

void TCustomVarDB::DeleteRecordKeys(int table, uint32_t address, const std::vector<uint8_t>& image) {
  TTable& t = tables_[table];
  std::vector<TFieldSlot> slots;
  for (size_t f = 0; f < t.Fields.size(); ++f) {
    if (t.Fields[f].Indexes.empty()) continue;
    if (slots.empty()) slots = SliceImage(t, image);
    // The record changes or moves: its remembered value goes with its keys.
    valueMemo_.Erase(static_cast<uint16_t>(table), static_cast<uint16_t>(f), address, RecNoOf(image));
    std::vector<uint8_t> value = FieldValue(image, slots[f]);
    for (TIndexHeader& index : t.Fields[f].Indexes) {
      if (!IndexKeyable(index, value)) continue;
      IndexDeleteKey(index, index.Root, value, MakeKey(index, address, RecNoOf(image), value), 0);
    }
    // The delete's own search met the record's key and remembered its value again.
    valueMemo_.Erase(static_cast<uint16_t>(table), static_cast<uint16_t>(f), address, RecNoOf(image));
  }
}

void TCustomVarDB::UpdateBlockKeys(int table, const TBlock& block, uint32_t address, int from, int to, int mode) {
  const TTable& t = tables_[table];
  bool indexed = false;
  for (size_t f = 0; f < t.Fields.size(); ++f) indexed |= !t.Fields[f].Indexes.empty();
  if (!indexed) return;
  for (int pos = from; pos <= to; ++pos) {
    std::vector<uint8_t> image = ExpandRecord(block, address, pos);
    if (mode == 0) DeleteRecordKeys(table, address, image);
    else AddRecordKeys(table, address, image);
  }
}

bool TCustomVarDB::PlanKeyMove(int table, const TBlock& block, uint32_t address, int from, int to,
                               uint32_t destination, std::vector<TKeyMove>& plan) {
  plan.clear();
  TTable& t = tables_[table];
  struct TLeafUse {
    uint32_t leaf;
    bool root;
    int removed;
    const TIndexHeader* index;
  };
  std::vector<TLeafUse> leaves;
  std::vector<std::pair<uint16_t, int32_t>> seen;  // (field, record number) of the moved records
  for (int pos = from; pos <= to; ++pos) {
    std::vector<uint8_t> image = ExpandRecord(block, address, pos);
    std::vector<TFieldSlot> slots;
    int32_t recNo = RecNoOf(image);
    for (size_t f = 0; f < t.Fields.size(); ++f) {
      if (t.Fields[f].Indexes.empty()) continue;
      if (slots.empty()) slots = SliceImage(t, image);
      std::vector<uint8_t> value = FieldValue(image, slots[f]);
      seen.emplace_back(static_cast<uint16_t>(f), recNo);
      for (TIndexHeader& index : t.Fields[f].Indexes) {
        // A record without a key gets none either way.
        if (recNo <= 0 || !IndexKeyable(index, value)) continue;
        uint32_t at = index.Root;
        for (int depth = 0;; ++depth) {
          if (at == 0 || depth > kMaxTreeDepth) return false;
          std::shared_ptr<TIndexNode> node = IndexGetBlock(at, index);
          bool found;
          int p = IndexSearchNode(index, *node, value, recNo, found);
          if (found) {
            // Only a record's own key in a leaf can be changed where it stands.
            if (!node->IsLeaf() || node->Keys[p].KeyRecNo != recNo) return false;
            for (const TKeyMove& m : plan)
              if (m.Leaf == at && m.Position == p) return false;
            plan.push_back({at, p, MakeKey(index, destination, recNo, value), index});
            auto use = std::find_if(leaves.begin(), leaves.end(), [&](const TLeafUse& u) { return u.leaf == at; });
            if (use == leaves.end()) leaves.push_back({at, at == index.Root, 1, &index});
            else use->removed++;
            break;
          }
          if (node->IsLeaf()) return false;  // the key is missing: re-adding would insert it
          at = node->Children[p];
        }
      }
    }
  }
  // No leaf may fall below half (the root leaf must keep a key) while its keys are out.
  for (const TLeafUse& use : leaves) {
    std::shared_ptr<TIndexNode> node = IndexGetBlock(use.leaf, *use.index);
    if (node->Count - use.removed < (use.root ? 1 : kNodeHalf)) return false;
  }
  // The searches remembered the moved records' values under their old block.
  for (auto [field, recNo] : seen) valueMemo_.Erase(static_cast<uint16_t>(table), field, address, recNo);
  return true;
}

void TCustomVarDB::ApplyKeyMove(std::vector<TKeyMove>& plan) {
  std::stable_sort(plan.begin(), plan.end(), [](const TKeyMove& a, const TKeyMove& b) { return a.Leaf < b.Leaf; });
  for (size_t i = 0; i < plan.size();) {
    uint32_t leaf = plan[i].Leaf;
    std::shared_ptr<TIndexNode> node = IndexGetBlock(leaf, plan[i].Index);
    for (; i < plan.size() && plan[i].Leaf == leaf; ++i) node->Keys[plan[i].Position] = plan[i].Key;
    IndexWriteNode(leaf, node);
  }
  plan.clear();
}

// ---------------------------------------------------------------------------------------
// Finding

bool TCustomVarDB::IndexFind(const TIndexHeader& header, const std::vector<uint8_t>& value, TIndexKey& key,
                             int& dataPosition) {
  if (!IndexKeyable(header, value)) return false;
  uint32_t address = header.Root;
  for (int depth = 0; address != 0; ++depth) {
    if (depth > kMaxTreeDepth) throw EIndexInconsistent(header.IndexTable, header.IndexField);
    std::shared_ptr<TIndexNode> node = IndexGetBlock(address, header);
    bool found;
    int pos = IndexSearchNode(header, *node, value, -1, found);
    if (found) {
      key = node->Keys[pos];
      TValueView ignored;
      if (!IndexGetData(header, key.KeyBlock, key.KeyRecNo, ignored, dataPosition))
        throw EIndexInconsistent(header.IndexTable, header.IndexField);
      return true;
    }
    address = node->Children[pos];
  }
  return false;
}

bool TCustomVarDB::Seek(int table, const TFindRec* fields, int n, int32_t& recNo) {
  if (!fields || n <= 0) return false;
  TDbLock lock(*this, false);
  RefreshHeader();
  if (table < 0 || table >= TableCount()) return false;
  TTable& t = tables_[table];
  if (t.Header.RecordCount == 0) return false;
  for (int i = 0; i < n; ++i) {
    int f = fields[i].Field;
    if (f < 0 || f >= static_cast<int>(t.Fields.size())) continue;
    const auto* data = static_cast<const uint8_t*>(fields[i].Data);
    std::vector<uint8_t> value(data, data + (data ? std::max(fields[i].Length, 0) : 0));
    for (const TIndexHeader& index : t.Fields[f].Indexes) {
      TIndexKey key;
      int position;
      if (!IndexFind(index, value, key, position)) continue;
      uint32_t block = lastDataBlock_;
      if (t.Header.CurBlock != block || !t.CurBuffer) {
        SetCursorBlock(t, block);
      }
      t.Header.CurPos = static_cast<uint16_t>(position);
      recNo = key.KeyRecNo;
      return true;
    }
  }
  return false;
}

// ---------------------------------------------------------------------------------------
// Creating and removing indexes

int TCustomVarDB::IndexCreate(int table, int field, uint16_t compareId, bool unique, bool keyPrefix) {
  TDbLock lock(*this, true);
  RefreshHeader();
  if (table < 0 || table >= TableCount()) return 0;
  TTable& t = tables_[table];
  if (field < 0 || field >= static_cast<int>(t.Fields.size())) return 0;
  for (const TIndexHeader& index : t.Fields[field].Indexes)
    if (index.CompareId == compareId) return 0;
  // Values of a field that had no index were not followed through record changes.
  valueMemo_.Clear();
  TIndexHeader header;
  header.IndexTable = static_cast<uint16_t>(table);
  header.IndexField = static_cast<uint16_t>(field);
  header.Unique = unique;
  header.KeyPrefix = keyPrefix;
  header.CompareId = compareId;
  t.Fields[field].Indexes.push_back(header);
  size_t which = t.Fields[field].Indexes.size() - 1;
  int added = 0;
  int64_t visited = 0;
  // A table that cannot be read to its end gets no half-built index.
  struct TUndo {
    TCustomVarDB& db;
    int table, field;
    size_t which;
    bool armed = true;
    ~TUndo() {
      if (!armed) return;
      try {
        auto& indexes = db.tables_[table].Fields[field].Indexes;
        db.FreeIndexTree(indexes[which]);
        indexes.erase(indexes.begin() + static_cast<long>(which));
      } catch (...) {
      }
    }
  } undo{*this, table, field, which};
  if (Top(table)) {
    do {
      if (++visited > tables_[table].Header.RecordCount) throw EBlockCorrupt(tables_[table].Header.CurBlock);
      std::vector<uint8_t> image = GetRecord(table);
      std::vector<TFieldSlot> slots = SliceImage(tables_[table], image);
      std::vector<uint8_t> value = FieldValue(image, slots[field]);
      TIndexHeader& index = tables_[table].Fields[field].Indexes[which];
      if (IndexAddKey(index, MakeKey(index, tables_[table].Header.CurBlock, RecNoOf(image), value), value)) ++added;
    } while (Step(table, 1));
  }
  undo.armed = false;
  WriteTables();
  return std::max(added - 1, 0);
}

// Gives every node of a tree back to the avail list, but only a whole tree: every node has
// a node's shape, none is reached twice, and none is the first block of the catalogue, of
// the avail list, of a table's records or of another index (the blocks that a node without
// keys, an emptied root, could be confused with; every other block fails the node test).
// A damaged tree is left where it is, unused: the structure check reports its blocks, and
// nothing another structure holds is ever freed through it.
void TCustomVarDB::FreeIndexTree(const TIndexHeader& header) {
  if (header.Root == 0) return;
  std::vector<uint32_t> nodes;
  std::vector<std::pair<uint32_t, int>> pending{{header.Root, 0}};
  std::unordered_set<uint32_t> seen;
  try {
    while (!pending.empty()) {
      auto [address, depth] = pending.back();
      pending.pop_back();
      if (depth > kMaxTreeDepth || !seen.insert(address).second) return;
      std::shared_ptr<TIndexNode> node = IndexGetBlock(address, header);
      nodes.push_back(address);
      if (!node->IsLeaf())
        for (int j = 1; j <= node->Count + 1; ++j) pending.emplace_back(node->Children[j], depth + 1);
    }
  } catch (const EBlockCorrupt&) {
    return;
  }
  std::unordered_set<uint32_t> claimed{pager_->Header().TableBlock, pager_->Header().AvailList};
  for (const TTable& table : tables_) {
    claimed.insert({table.Header.FirstBlock, table.Header.LastBlock, table.Header.CurBlock});
    for (const TFieldHeader& field : table.Fields)
      for (const TIndexHeader& other : field.Indexes)
        if (&other != &header) claimed.insert(other.Root);
  }
  for (uint32_t address : nodes)
    if (claimed.count(address)) return;
  for (uint32_t address : nodes) IndexFreeNode(address);
}

void TCustomVarDB::IndexRemove(int table, int field, uint16_t compareId) {
  TDbLock lock(*this, true);
  RefreshHeader();
  if (table < 0 || table >= TableCount()) return;
  TTable& t = tables_[table];
  if (field < 0 || field >= static_cast<int>(t.Fields.size())) return;
  auto& indexes = t.Fields[field].Indexes;
  std::vector<TIndexHeader> removed;
  for (auto it = indexes.begin(); it != indexes.end();) {
    if (compareId == 0 || it->CompareId == compareId) {
      removed.push_back(*it);
      it = indexes.erase(it);
    } else {
      ++it;
    }
  }
  if (removed.empty()) return;
  valueMemo_.Clear();
  // Walking the tree rather than deleting key by key also frees a damaged index.
  for (const TIndexHeader& index : removed) FreeIndexTree(index);
  WriteTables();
}

bool TCustomVarDB::IndexExists(int table, int field) {
  TDbLock lock(*this, false);
  RefreshHeader();
  if (table < 0 || table >= TableCount()) return false;
  const TTable& t = tables_[table];
  return field >= 0 && field < static_cast<int>(t.Fields.size()) && !t.Fields[field].Indexes.empty();
}

void TCustomVarDB::IndexPack(int table, int field) {
  TDbLock lock(*this, true);
  RefreshHeader();
  if (table < 0 || table >= TableCount()) return;
  if (field < 0 || field >= static_cast<int>(tables_[table].Fields.size())) return;
  std::vector<TIndexHeader> indexes = tables_[table].Fields[field].Indexes;
  for (const TIndexHeader& index : indexes) {
    IndexRemove(table, field, index.CompareId);
    IndexCreate(table, field, index.CompareId, index.Unique, index.KeyPrefix);
  }
  // A field with several indexes of CompareId 0 loses them all on the first removal;
  // create the rest again too.
  for (const TIndexHeader& index : indexes) {
    bool present = false;
    for (const TIndexHeader& now : tables_[table].Fields[field].Indexes) present |= now.CompareId == index.CompareId;
    if (!present) IndexCreate(table, field, index.CompareId, index.Unique, index.KeyPrefix);
  }
}

}  // namespace quintrel::storage
