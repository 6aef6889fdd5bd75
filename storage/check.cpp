// The structure check: walks everything the file holds and reports what breaks an
// invariant, without changing a byte.
#include <algorithm>
#include <map>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "storage/btree.h"
#include "storage/recordblock.h"
#include "storage/vardbs.h"
#include "strings/vconsts.h"

namespace quintrel::storage {

namespace vc = quintrel::strings;

namespace {

// Lists a finding while fewer than the limit are listed and counts the others, so a file
// full of damage (a sparse one of 4 GiB has half a million lost blocks) gives a short report.
void AddFinding(std::vector<TCheckFinding>& findings, size_t& omitted, TCheckFinding finding) {
  if (findings.size() < TCustomVarDB::kMaxCheckFindings) findings.push_back(std::move(finding));
  else ++omitted;
}

}  // namespace

// Which use each block has, to find blocks used twice and blocks used by nothing.
class TCustomVarDB::TBlockMap {
public:
  TBlockMap(TCustomVarDB& db, std::vector<TCheckFinding>& findings, size_t& omitted, int64_t size)
      : db_(db), findings_(findings), omitted_(omitted), size_(size) {}

  // Claims a block for a use; false (with a finding) when the address is bad or taken.
  bool Claim(uint32_t address, const std::string& use, int table = -1, int field = -1) {
    if (!IsBlockAddress(address) || static_cast<int64_t>(address) + kBlockSize > size_) {
      Report(table, field, address, rtl::Format(vc::_SCheckBadAddress, use, address));
      return false;
    }
    auto [it, fresh] = uses_.emplace(address, use);
    if (!fresh) {
      Report(table, field, address,
             rtl::Format(vc::_SCheckUsedTwice, use, address, it->second));
      return false;
    }
    return true;
  }
  PBlock Load(uint32_t address) { return db_.LoadBlock(address); }
  void Report(int table, int field, uint32_t block, std::string message) {
    AddFinding(findings_, omitted_, {table, field, block, std::move(message)});
  }
  bool Used(uint32_t address) const { return uses_.count(address) != 0; }

private:
  TCustomVarDB& db_;
  std::vector<TCheckFinding>& findings_;
  size_t& omitted_;
  int64_t size_;
  std::map<uint32_t, std::string> uses_;
};

namespace {

// Walks an overflow chain, claiming its blocks; returns the bytes it holds (-1 when broken).
int64_t WalkChain(TCustomVarDB::TBlockMap& map, uint32_t address, int64_t length, const std::string& use, int table, int field) {
  int64_t total = 0;
  uint32_t prev = 0;
  while (address != 0) {
    if (!map.Claim(address, use, table, field)) return -1;
    PBlock block = map.Load(address);
    if (block->Prev() != prev)
      map.Report(table, field, address, rtl::Format(vc::_SCheckChainPrev, use, address,
                                                    block->Prev(), prev));
    int used = block->Used();
    if (used > kLastPosition) {
      map.Report(table, field, address, rtl::Format(vc::_SCheckChainUsed, use, address, used));
      return -1;
    }
    if (used == 0) {
      if (length >= 0) map.Report(table, field, address, rtl::Format(vc::_SCheckChainEmpty, use, address));
      return length >= 0 ? -1 : total;
    }
    total += used;
    if (length >= 0 && total >= length) {
      if (block->Next() != 0 || total != length)
        map.Report(table, field, address, rtl::Format(vc::_SCheckChainLong, use,
                                                      static_cast<int>(length)));
      return total;
    }
    if (length >= 0 && used != kLastPosition)
      map.Report(table, field, address, rtl::Format(vc::_SCheckChainShort, use, address, used));
    prev = address;
    address = block->Next();
  }
  if (length >= 0 && total != length) {
    map.Report(table, field, 0, rtl::Format(vc::_SCheckChainLength, use, static_cast<int>(total),
                                            static_cast<int>(length)));
    return -1;
  }
  return total;
}

}  // namespace

std::vector<TCheckFinding> TCustomVarDB::Check() {
  std::vector<TCheckFinding> findings;
  size_t omitted = 0;
  auto report = [&](int table, int field, uint32_t block, std::string message) {
    AddFinding(findings, omitted, {table, field, block, std::move(message)});
  };
  try {
    TFileHeader header;
    ReadFileHeader(header);
  } catch (const rtl::Exception& e) {
    report(-1, -1, 0, e.Message());
    return findings;
  }
  PlaceLock(false);
  struct TRelease {
    TCustomVarDB& db;
    ~TRelease() { db.ReleaseLock(); }
  } release{*this};

  int64_t size = GetSize();
  if ((size - kFileHeaderSize) % kBlockSize != 0)
    report(-1, -1, 0, rtl::Format(vc::_SCheckFileSize, static_cast<int>(size)));
  TBlockMap map(*this, findings, omitted, size);

  // Catalogue chain.
  uint32_t prev = 0;
  for (uint32_t at = pager_->Header().TableBlock; at != 0;) {
    if (!map.Claim(at, vc::_SCheckCatalogueUse)) break;
    PBlock block = LoadBlock(at);
    if (block->Prev() != prev)
      report(-1, -1, at, rtl::Format(vc::_SCheckCataloguePrev, at, block->Prev(), prev));
    prev = at;
    at = block->Next();
  }

  // Avail list: a doubly linked chain of zeroed blocks.
  prev = 0;
  for (uint32_t at = pager_->Header().AvailList; at != 0;) {
    if (!map.Claim(at, vc::_SCheckAvailUse)) break;
    PBlock block = LoadBlock(at);
    if (block->Prev() != prev)
      report(-1, -1, at, rtl::Format(vc::_SCheckAvailPrev, at, block->Prev(), prev));
    bool zero = std::all_of(block->Bytes.begin() + 8, block->Bytes.end(), [](uint8_t b) { return b == 0; });
    if (!zero) report(-1, -1, at, rtl::Format(vc::_SCheckAvailDirty, at));
    prev = at;
    at = block->Next();
  }

  // Tables: data chains, record tables, counts, overflow chains.
  for (int t = 0; t < TableCount(); ++t) {
    const TTable& table = tables_[t];
    std::string use = rtl::Format(vc::_SCheckTable, t, table.Header.TableName);
    int64_t records = 0;
    int blocks = 0;
    int32_t lastRecNo = 0;
    bool indexed = std::any_of(table.Fields.begin() + (table.Fields.empty() ? 0 : 1), table.Fields.end(),
                               [](const TFieldHeader& f) { return !f.Indexes.empty(); });
    prev = 0;
    uint32_t last = 0;
    for (uint32_t at = table.Header.FirstBlock; at != 0;) {
      if (!map.Claim(at, rtl::Format(vc::_SCheckDataUse, use), t)) break;
      PBlock block = LoadBlock(at);
      ++blocks;
      if (block->Prev() != prev)
        report(t, -1, at, rtl::Format(vc::_SCheckDataPrev, use, at, block->Prev(), prev));
      if (std::string fault = RecordTableFault(*block); !fault.empty()) {
        report(t, -1, at, rtl::Format(vc::_SCheckRecordTable, use, at, fault));
        break;
      }
      int fill = Fill(*block);
      if (fill > kLastPosition) report(t, -1, at, rtl::Format(vc::_SCheckOverfull, use, at, fill));
      if (block->Count() == 0 && (block->Prev() != 0 || block->Next() != 0))
        report(t, -1, at, rtl::Format(vc::_SCheckDataEmpty, use, at));
      for (int pos = 1; pos <= block->Count(); ++pos) {
        ++records;
        std::vector<uint8_t> image;
        try {
          TStoredRecord record = StoredAt(pager_->FileName(), *block, at, pos);
          if (record.Chained() && WalkChain(map, record.Chain(), -1,
                                            use + rtl::Format(vc::_SCheckRecord, static_cast<int>(records)), t,
                                            -1) < 0)
            continue;
          image = ExpandRecord(*block, at, pos);
          const TTable* saved = &table;
          std::vector<TFieldSlot> slots = SliceImage(*saved, image);
          for (size_t f = 0; f < slots.size(); ++f)
            if (slots[f].Kind == TFieldSlot::kOversized)
              WalkChain(map, slots[f].Chain, slots[f].Length,
                        use + rtl::Format(vc::_SCheckRecordField, static_cast<int>(records), static_cast<int>(f)), t,
                        static_cast<int>(f));
        } catch (const rtl::Exception& e) {
          report(t, -1, at, rtl::Format(vc::_SCheckRecordError, use, pos, e.Message()));
          continue;
        }
        int32_t recNo = RecNoOf(image);
        if (indexed && recNo <= lastRecNo && recNo > 0)
          report(t, 0, at, rtl::Format(vc::_SCheckRecNoOrder, use,
                                       recNo, lastRecNo));
        if (recNo > 0) lastRecNo = std::max(lastRecNo, recNo);
      }
      prev = at;
      last = at;
      at = block->Next();
    }
    if (last != table.Header.LastBlock)
      report(t, -1, last, rtl::Format(vc::_SCheckLastBlock, use, table.Header.LastBlock, last));
    if (records != table.Header.RecordCount)
      report(t, -1, 0, rtl::Format(vc::_SCheckRecordCount, use,
                                   table.Header.RecordCount, static_cast<int>(records)));
    CheckIndexes(t, map);
  }

  // Every block has a use.
  for (int64_t at = kFileHeaderSize; at + kBlockSize <= size; at += kBlockSize)
    if (!map.Used(static_cast<uint32_t>(at)))
      AddFinding(findings, omitted,
                 {-1, -1, static_cast<uint32_t>(at), rtl::Format(vc::_SCheckLost, static_cast<uint32_t>(at)), true});
  if (omitted > 0) findings.push_back({-1, -1, 0, rtl::Format(vc::_SCheckMore, omitted)});
  return findings;
}

}  // namespace quintrel::storage

namespace quintrel::storage {

void TCustomVarDB::CheckIndexes(int t, TBlockMap& map) {
  const TTable& table = tables_[t];
  for (size_t f = 0; f < table.Fields.size(); ++f) {
    if (table.Fields[f].Indexes.empty()) continue;
    // The indexed values of the records, by _RECNO, and the block holding each.
    std::map<int32_t, std::pair<uint32_t, std::vector<uint8_t>>> records;
    bool readable = true;
    std::unordered_set<uint32_t> seen;
    for (uint32_t at = table.Header.FirstBlock; at != 0 && readable && seen.insert(at).second;) {
      try {
        PBlock block = LoadBlock(at);
        CheckRecordTable(pager_->FileName(), at, *block);
        for (int pos = 1; pos <= block->Count(); ++pos) {
          std::vector<uint8_t> image = ExpandRecord(*block, at, pos);
          std::vector<TFieldSlot> slots = SliceImage(table, image);
          int32_t recNo = RecNoOf(image);
          if (recNo <= 0) continue;
          if (!records.emplace(recNo, std::make_pair(at, FieldValue(image, slots[f]))).second)
            map.Report(t, static_cast<int>(f), at, rtl::Format(vc::_SCheckRecNoTwice, t, recNo));
        }
        at = block->Next();
      } catch (const rtl::Exception&) {
        readable = false;  // the data chain's damage is reported by the table check
      }
    }
    for (const TIndexHeader& index : table.Fields[f].Indexes) {
      std::string use = rtl::Format(vc::_SCheckIndex, t, static_cast<int>(f), index.CompareId);
      if (index.IndexTable != t || index.IndexField != f)
        map.Report(t, static_cast<int>(f), 0,
                   rtl::Format(vc::_SCheckIndexNames, use, index.IndexTable, index.IndexField));
      TIndexHeader header = index;
      header.IndexTable = static_cast<uint16_t>(t);
      header.IndexField = static_cast<uint16_t>(f);
      TIndexTree tree(*this, header);

      // Walk the tree: node sizes, child structure, leaf depth; keys in order.
      std::vector<TIndexKey> keys;
      int leafDepth = -1;
      bool sound = true;
      auto walk = [&](auto& self, uint32_t address, int depth) -> void {
        if (depth > kMaxTreeDepth) {
          map.Report(t, static_cast<int>(f), address, rtl::Format(vc::_SCheckTreeDeep, use));
          sound = false;
          return;
        }
        if (!map.Claim(address, rtl::Format(vc::_SCheckNodeUse, use), t, static_cast<int>(f))) {
          sound = false;
          return;
        }
        // A block the index code would refuse as a node is reported as such.
        PBlock block = LoadBlock(address);
        if (std::string fault = tree.NodeFault(*block, address); !fault.empty()) {
          map.Report(t, static_cast<int>(f), address, rtl::Format(vc::_SCheckNotANode, use, address, fault));
          sound = false;
          return;
        }
        TIndexNode node;
        node.Decode(*block);
        if (address != index.Root && node.Count < kNodeHalf)
          map.Report(t, static_cast<int>(f), address,
                     rtl::Format(vc::_SCheckNodeUnderfull, use, address, node.Count));
        if (node.IsLeaf()) {
          if (leafDepth < 0) leafDepth = depth;
          if (leafDepth != depth) {
            map.Report(t, static_cast<int>(f), address, rtl::Format(vc::_SCheckLeafDepth, use, leafDepth, depth));
            sound = false;
          }
          for (int i = 1; i <= node.Count; ++i) keys.push_back(node.Keys[i]);
          return;
        }
        for (int j = 1; j <= node.Count + 1; ++j) {
          if (node.Children[j] == 0) {
            map.Report(t, static_cast<int>(f), address, rtl::Format(vc::_SCheckNodeChild, use, address, j));
            sound = false;
            continue;
          }
          self(self, node.Children[j], depth + 1);
          if (j <= node.Count) keys.push_back(node.Keys[j]);
        }
      };
      if (index.Root != 0) walk(walk, index.Root, 0);
      if (!readable || !sound) continue;

      // Every key names a record that its block holds, carries its prefix, and the keys
      // ascend by value (then by _RECNO).
      const std::vector<uint8_t>* previous = nullptr;
      int32_t previousRecNo = 0;
      std::unordered_set<int32_t> keyed;
      for (const TIndexKey& key : keys) {
        auto it = records.find(key.KeyRecNo);
        if (it == records.end()) {
          map.Report(t, static_cast<int>(f), key.KeyBlock,
                     rtl::Format(vc::_SCheckKeyNoRecord, use, key.KeyRecNo));
          previous = nullptr;
          continue;
        }
        if (!keyed.insert(key.KeyRecNo).second)
          map.Report(t, static_cast<int>(f), key.KeyBlock, rtl::Format(vc::_SCheckTwoKeys, use, key.KeyRecNo));
        if (it->second.first != key.KeyBlock)
          map.Report(t, static_cast<int>(f), key.KeyBlock,
                     rtl::Format(vc::_SCheckKeyBlock, use, key.KeyRecNo,
                                 key.KeyBlock, it->second.first));
        const std::vector<uint8_t>& value = it->second.second;
        std::array<uint8_t, 4> head{};
        if (index.KeyPrefix && !value.empty()) std::memcpy(head.data(), value.data(), std::min<size_t>(4, value.size()));
        if (head != key.KeyHead)
          map.Report(t, static_cast<int>(f), key.KeyBlock, rtl::Format(vc::_SCheckKeyPrefix, use, key.KeyRecNo));
        if (previous) {
          int32_t c = tree.Compare(previous->data(), previous->size(), value.data(), value.size());
          if (c > 0 || (c == 0 && (index.Unique || previousRecNo >= key.KeyRecNo)))
            map.Report(t, static_cast<int>(f), key.KeyBlock,
                       rtl::Format(vc::_SCheckKeyOrder, use, key.KeyRecNo, previousRecNo));
        }
        previous = &value;
        previousRecNo = key.KeyRecNo;
      }

      // Every record has its key; in a unique index a value has at most one key (keys
      // ascend strictly, checked above), and a record whose value another record's key
      // already holds has none.
      if (!index.Unique) {
        for (const auto& [recNo, entry] : records)
          if (tree.Keyable(entry.second) && !keyed.count(recNo))
            map.Report(t, static_cast<int>(f), entry.first, rtl::Format(vc::_SCheckRecordNoKey, use, recNo));
      }
    }
  }
}

}  // namespace quintrel::storage
