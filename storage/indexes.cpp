// The engine's indexes: creating, removing and rebuilding them, keeping their keys in step
// with the records, and finding records through them. The trees themselves are
// storage/btree.h's.
#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "storage/btree.h"
#include "storage/coding.h"
#include "storage/vardbs.h"

namespace quintrel::storage {

// ---------------------------------------------------------------------------------------
// Values of keys

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


// ---------------------------------------------------------------------------------------
// Keys of records

// Every indexed field's keys follow the record, the record number's too: an index on
// field 0 is as real as any other once IndexCreate has filled it.
void TCustomVarDB::AddRecordKeys(int table, uint32_t address, const std::vector<uint8_t>& image) {
  TTable& t = tables_[table];
  std::vector<TFieldSlot> slots;
  for (size_t f = 0; f < t.Fields.size(); ++f) {
    if (t.Fields[f].Indexes.empty()) continue;
    if (slots.empty()) slots = SliceImage(t, image);
    std::vector<uint8_t> value = FieldValue(image, slots[f]);
    for (TIndexHeader& index : t.Fields[f].Indexes) {
      TIndexTree tree(*this, index);
      tree.Add(tree.MakeKey(address, RecNoOf(image), value), value);
    }
  }
}

void TCustomVarDB::DeleteRecordKeys(int table, uint32_t address, const std::vector<uint8_t>& image) {
  TTable& t = tables_[table];
  std::vector<TFieldSlot> slots;
  for (size_t f = 0; f < t.Fields.size(); ++f) {
    if (t.Fields[f].Indexes.empty()) continue;
    if (slots.empty()) slots = SliceImage(t, image);
    std::vector<uint8_t> value = FieldValue(image, slots[f]);
    for (TIndexHeader& index : t.Fields[f].Indexes) {
      TIndexTree tree(*this, index);
      if (!tree.Keyable(value)) continue;
      tree.Delete(value, tree.MakeKey(address, RecNoOf(image), value));
    }
    // The record changes or moves: its remembered value goes with its keys (the delete's
    // own search may have just remembered it).
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
    TIndexHeader* index;
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
        TIndexTree tree(*this, index);
        if (recNo <= 0 || !tree.Keyable(value)) continue;
        uint32_t at = index.Root;
        for (int depth = 0;; ++depth) {
          if (at == 0 || depth > kMaxTreeDepth) return false;
          PIndexNode node = tree.Node(at);
          bool found;
          int p = tree.Search(*node, value, recNo, found);
          if (found) {
            // Only a record's own key in a leaf can be changed where it stands.
            if (!node->IsLeaf() || node->Keys[p].KeyRecNo != recNo) return false;
            for (const TKeyMove& m : plan)
              if (m.Leaf == at && m.Position == p) return false;
            plan.push_back({at, p, tree.MakeKey(destination, recNo, value), index});
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
    PIndexNode node = TIndexTree(*this, *use.index).Node(use.leaf);
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
    TIndexTree tree(*this, plan[i].Index);
    PIndexNode node = tree.Node(leaf);
    for (; i < plan.size() && plan[i].Leaf == leaf; ++i) node->Keys[plan[i].Position] = plan[i].Key;
    tree.WriteNode(leaf, node);
  }
  plan.clear();
}


// ---------------------------------------------------------------------------------------
// Finding

bool TCustomVarDB::Seek(int table, const TFindRec* fields, int n, int32_t& recNo) {
  if (!fields || n <= 0) return false;
  TDbLock lock(*this, false);
  RefreshHeader();
  return SeekLocked(table, fields, n, recNo);
}

bool TCustomVarDB::SeekLocked(int table, const TFindRec* fields, int n, int32_t& recNo) {
  if (table < 0 || table >= TableCount()) return false;
  TTable& t = tables_[table];
  if (t.Header.RecordCount == 0) return false;
  // The value to find, copied into a buffer kept for the next look-up: look-ups come by
  // the hundred thousand, and the search makes no look-up of its own.
  thread_local std::vector<uint8_t> value;
  for (int i = 0; i < n; ++i) {
    int f = fields[i].Field;
    if (f < 0 || f >= static_cast<int>(t.Fields.size())) continue;
    const auto* data = static_cast<const uint8_t*>(fields[i].Data);
    value.assign(data, data + (data ? std::max(fields[i].Length, 0) : 0));
    for (TIndexHeader& index : t.Fields[f].Indexes) {
      TIndexKey key;
      int position;
      if (!TIndexTree(*this, index).Find(value, key, position)) continue;
      uint32_t block = lastDataBlock_;
      if (t.Header.CurBlock != block) {
        // The cursor only names its new block: reading the record found reads it in the
        // block cache (CursorImage), and a change loads a copy (CursorBlock). Look-ups
        // come by the hundred, and copying 8 KiB for each showed in their profile.
        t.CurBuffer.reset();
        t.Header.CurBlock = block;
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
        TIndexTree(db, indexes[which]).Free();
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
      TIndexTree tree(*this, index);
      if (tree.Add(tree.MakeKey(tables_[table].Header.CurBlock, RecNoOf(image), value), value)) ++added;
    } while (Step(table, 1));
  }
  undo.armed = false;
  WriteTables();
  return std::max(added - 1, 0);
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
  for (TIndexHeader& index : removed) TIndexTree(*this, index).Free();
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
