#include "text/hashlist.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstring>
#include <utility>

#include "strings/vconsts.h"

namespace quintrel::text {

namespace {

constexpr uint32_t HashModulus = 2147483647u;

// A directory of up to 2^16 slots may always double. Beyond that it may double only while
// it keeps fewer than this many slots per entry: keys whose hashes agree in many low bits
// would otherwise double it until memory runs out. Their bucket overflows instead.
constexpr int32_t FreeDepth = 16;
constexpr int64_t SlotsPerEntry = 8;

std::atomic<int32_t> releaseFaults{0};

// The 4 bytes a value is hashed by, in little-endian order on every platform.
std::array<uint8_t, 4> ValueBytes(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
          static_cast<uint8_t>(value >> 24)};
}

int32_t OverflowBytes(size_t entries) {
  return entries > THashList::BucketCapacity
             ? static_cast<int32_t>(entries - THashList::BucketCapacity) * THashList::OverflowEntrySize
             : 0;
}

}  // namespace

EHashListError::EHashListError() : rtl::Exception(rtl::Format(strings::_SHashListError)) {}

// ---------------------------------------------------------------------------------------
// Hashing and addressing

uint32_t THashList::Hash(const void* key, uint8_t len) {
  const auto* bytes = static_cast<const uint8_t*>(key);
  uint32_t h = 0;
  for (int i = 0; i < len; ++i) {
    h = (h << 2) + bytes[i];
    const uint32_t g = h & 0xF0000000u;
    if (g != 0) {
      h ^= g >> 24;
      h &= ~g;
    }
  }
  return h % HashModulus;
}

uint32_t THashList::Hash2(const void* key, uint8_t len) {
  const auto* bytes = static_cast<const uint8_t*>(key);
  uint64_t h = 0;
  // Bytes go in pairs; an odd key repeats its first byte to complete the last pair.
  for (int i = 0; i < len; i += 2) {
    const uint64_t a = bytes[i];
    const uint64_t b = i + 1 < len ? bytes[i + 1] : bytes[0];
    h = (a * 100 + h + b) % HashModulus;
  }
  return static_cast<uint32_t>(h);
}

uint32_t THashList::MakeAddress(uint32_t hash, int bits) {
  uint32_t address = 0;
  for (int i = 0; i < bits; ++i) {
    address = (address << 1) | (hash & 1u);
    hash >>= 1;
  }
  return address;
}

THashList::TProbe THashList::KeyProbe(const void* key, uint8_t len) const {
  return {static_cast<const uint8_t*>(key), len, 0, Hash(key, len), Hash2(key, len)};
}

THashList::TProbe THashList::ValueProbe(uint32_t value) const {
  const auto bytes = ValueBytes(value);
  return {nullptr, 4, value, Hash(bytes.data(), 4), Hash2(bytes.data(), 4)};
}

THashList::TProbe THashList::EntryProbe(const TEntry& entry) const {
  return hashOnValue_ ? ValueProbe(entry.Value) : KeyProbe(entry.Key.get(), entry.Len);
}

uint32_t THashList::EntryHash(const TEntry& entry, bool second) const {
  if (hashOnValue_) {
    const auto bytes = ValueBytes(entry.Value);
    return second ? Hash2(bytes.data(), 4) : Hash(bytes.data(), 4);
  }
  return second ? Hash2(entry.Key.get(), entry.Len) : Hash(entry.Key.get(), entry.Len);
}

bool THashList::Matches(const TEntry& entry, const TProbe& probe) const {
  if (hashOnValue_) return entry.Value == probe.Value;
  return entry.Len == probe.Len && std::memcmp(entry.Key.get(), probe.Bytes, probe.Len) == 0;
}

int THashList::Find(const TProbe& probe, THashBucket*& bucket) const {
  bucket = nullptr;
  if (directory_.empty()) return -1;
  std::array<THashBucket*, 2> candidates{};
  for (int pass = 0; pass < 2; ++pass) {
    THashBucket* candidate = directory_[MakeAddress(pass == 1 ? probe.H2 : probe.H1, depth_)];
    candidates[pass] = candidate;
    for (int index = 0; index < candidate->Count(); ++index) {
      if (Matches(candidate->Entries[index], probe)) {
        bucket = candidate;
        return index;
      }
    }
  }
  bucket = candidates[0]->Count() < candidates[1]->Count() ? candidates[0] : candidates[1];
  return -1;
}

// ---------------------------------------------------------------------------------------
// Buckets and accounting

void THashList::Append(THashBucket& bucket, TEntry entry) {
  bucket.Entries.push_back(std::move(entry));
  if (bucket.Count() > BucketCapacity) memUsed_ += OverflowEntrySize;
}

THashList::TEntry THashList::TakeOut(THashBucket& bucket, int index) {
  // The last entry moves into the place of the one taken out.
  if (bucket.Count() > BucketCapacity) memUsed_ -= OverflowEntrySize;
  TEntry entry = std::move(bucket.Entries[index]);
  if (index + 1 != bucket.Count()) bucket.Entries[index] = std::move(bucket.Entries.back());
  bucket.Entries.pop_back();
  return entry;
}

std::vector<THashList::TEntry> THashList::TakeAll(THashBucket& bucket) {
  memUsed_ -= OverflowBytes(bucket.Entries.size());
  std::vector<TEntry> entries = std::move(bucket.Entries);
  bucket.Entries.clear();
  bucket.Entries.reserve(BucketCapacity);
  return entries;
}

void THashList::DropKey(TEntry& entry) {
  if (entry.Key) memUsed_ -= entry.Len;
  entry.Key.reset();
}

void THashList::InitDirectory() {
  directory_.assign(1, NewBucket());
  memUsed_ += SlotSize;
  depth_ = 0;
}

THashList::THashBucket* THashList::NewBucket() {
  auto bucket = std::make_unique<THashBucket>();
  bucket->Entries.reserve(BucketCapacity);
  bucket->PoolIndex = buckets_.size();
  buckets_.push_back(std::move(bucket));
  memUsed_ += BucketSize;
  return buckets_.back().get();
}

void THashList::FreeBucket(THashBucket* bucket) {
  for (TEntry& entry : TakeAll(*bucket)) DropKey(entry);
  // The last bucket of the pool takes the freed one's place.
  const size_t index = bucket->PoolIndex;
  if (index + 1 != buckets_.size()) {
    std::swap(buckets_[index], buckets_.back());
    buckets_[index]->PoolIndex = index;
  }
  buckets_.pop_back();
  memUsed_ -= BucketSize;
}

int32_t THashList::OverflowCount() const {
  int32_t overflow = 0;
  for (const auto& bucket : buckets_) overflow += std::max(0, bucket->Count() - BucketCapacity);
  return overflow;
}

// ---------------------------------------------------------------------------------------
// Construction and release

THashList::THashList() { InitDirectory(); }

THashList::~THashList() {
  try {
    Release();
  } catch (const EHashListError&) {
    releaseFaults.fetch_add(1, std::memory_order_relaxed);
  }
}

int32_t THashList::ReleaseFaults() { return releaseFaults.load(std::memory_order_relaxed); }

void THashList::ReleaseAll() {
  // Every bucket is in the pool exactly once, however many slots refer to it.
  while (!buckets_.empty()) FreeBucket(buckets_.back().get());
  memUsed_ -= SlotSize * static_cast<int32_t>(directory_.size());
  directory_.clear();
  depth_ = 0;
  entryCount_ = 0;
  Top();
}

void THashList::Release() {
  ReleaseAll();
  const int32_t left = std::exchange(memUsed_, 0);
  if (left != 0) throw EHashListError();
}

// ---------------------------------------------------------------------------------------
// Adding

bool THashList::AddEntry(const TProbe& probe, const void* key, uint8_t len, uint32_t value) {
  if (directory_.empty()) InitDirectory();
  for (;;) {
    THashBucket* bucket = nullptr;
    if (Find(probe, bucket) >= 0) return false;
    // Both candidates are full: split and look again, or overflow the chosen bucket.
    if (bucket->Count() >= BucketCapacity && SplitForRoom(probe)) continue;
    TEntry entry{std::make_unique_for_overwrite<uint8_t[]>(len), len, value};
    std::memcpy(entry.Key.get(), key, len);
    Append(*bucket, std::move(entry));
    memUsed_ += len;
    ++entryCount_;
    return true;
  }
}

bool THashList::Add(const void* key, uint8_t len, uint32_t value) {
  if (len == 0 || key == nullptr) return false;
  return AddEntry(hashOnValue_ ? ValueProbe(value) : KeyProbe(key, len), key, len, value);
}

bool THashList::Add(std::string_view key, uint32_t value) {
  if (key.size() > MaxKeyLength) return false;
  return Add(key.data(), static_cast<uint8_t>(key.size()), value);
}

int THashList::AllowedDepth() const {
  int depth = depth_;
  while (depth < MaxDepth && (depth < FreeDepth || (int64_t{1} << depth) < SlotsPerEntry * entryCount_)) ++depth;
  return depth;
}

int THashList::SplitsNeeded(const THashBucket& bucket, const TProbe& probe) const {
  // When the bucket splits, each entry follows the hash whose address leads into the
  // bucket (Hash first); the arriving entry counts with each of its hashes that leads
  // here. The first address bit past the bucket's prefix on which they disagree is the
  // one whose split makes room.
  bool any = false;
  uint32_t anchor = 0;
  uint32_t differing = 0;
  const auto note = [&](uint32_t hash) {
    if (!any) anchor = hash;
    any = true;
    differing |= hash ^ anchor;
  };
  for (const TEntry& entry : bucket.Entries) {
    const uint32_t hash = EntryHash(entry, false);
    note(MakeAddress(hash, bucket.LocalDepth) == bucket.Address ? hash : EntryHash(entry, true));
  }
  for (const uint32_t hash : {probe.H1, probe.H2}) {
    if (MakeAddress(hash, bucket.LocalDepth) == bucket.Address) note(hash);
  }
  differing >>= bucket.LocalDepth;
  if (differing == 0) return Unsplittable;
  const int bit = bucket.LocalDepth + std::countr_zero(differing);
  return bit < AllowedDepth() ? bit - bucket.LocalDepth + 1 : Unsplittable;
}

bool THashList::SplitForRoom(const TProbe& probe) {
  // The Hash2 bucket splits, as a tie goes to it everywhere else, unless the Hash bucket
  // makes room in fewer splits: keys of equal Hash2 would otherwise split the same bucket
  // again and again without ever parting.
  THashBucket* first = directory_[MakeAddress(probe.H1, depth_)];
  THashBucket* second = directory_[MakeAddress(probe.H2, depth_)];
  const int secondSplits = SplitsNeeded(*second, probe);
  const int firstSplits = first == second ? Unsplittable : SplitsNeeded(*first, probe);
  if (secondSplits == Unsplittable && firstSplits == Unsplittable) return false;
  Split(secondSplits <= firstSplits ? second : first);
  return true;
}

void THashList::DoubleDirectory() {
  std::vector<THashBucket*> doubled(directory_.size() * 2);
  for (size_t slot = 0; slot < directory_.size(); ++slot) doubled[2 * slot] = doubled[2 * slot + 1] = directory_[slot];
  memUsed_ += SlotSize * static_cast<int32_t>(doubled.size() - directory_.size());
  directory_ = std::move(doubled);
  ++depth_;
}

void THashList::InsertBucket(THashBucket* bucket, uint32_t first, uint32_t last) {
  for (uint32_t slot = first; slot <= last; ++slot) directory_[slot] = bucket;
}

void THashList::Split(THashBucket* bucket) {
  if (bucket->LocalDepth == depth_) DoubleDirectory();
  THashBucket* fresh = NewBucket();
  // The bucket owns the slots of its address prefix; the new bucket takes their upper
  // half, the run whose next address bit is 1 (FindNewRange).
  const int shift = depth_ - (bucket->LocalDepth + 1);
  const uint32_t first = (2 * bucket->Address + 1) << shift;
  InsertBucket(fresh, first, first | ((1u << shift) - 1));
  bucket->LocalDepth = fresh->LocalDepth = static_cast<uint8_t>(bucket->LocalDepth + 1);
  fresh->Address = 2 * bucket->Address + 1;
  bucket->Address = 2 * bucket->Address;

  // Every entry goes, in its old order, to whichever of the two buckets its Hash address
  // names, else to the one its Hash2 address names.
  std::vector<TEntry> entries = TakeAll(*bucket);
  std::vector<THashBucket*> targets;
  for (const TEntry& entry : entries) {
    THashBucket* target = directory_[MakeAddress(EntryHash(entry, false), depth_)];
    if (target != bucket && target != fresh) target = directory_[MakeAddress(EntryHash(entry, true), depth_)];
    targets.push_back(target == bucket || target == fresh ? target : nullptr);
  }
  const bool placed = std::find(targets.begin(), targets.end(), nullptr) == targets.end();
  for (size_t index = 0; index < entries.size(); ++index) {
    Append(placed ? *targets[index] : *bucket, std::move(entries[index]));
  }
  if (!placed) throw EHashListError();
}

// ---------------------------------------------------------------------------------------
// Looking up

void THashList::CopyOut(const TEntry& entry, void* key, uint8_t& len, uint32_t& value) {
  len = entry.Len;
  std::memcpy(key, entry.Key.get(), len);
  value = entry.Value;
}

bool THashList::Get(void* key, uint8_t& len, uint32_t& value) {
  if (key == nullptr) return false;
  THashBucket* bucket = nullptr;
  if (hashOnValue_) {
    const int index = Find(ValueProbe(value), bucket);
    if (index < 0) return false;
    CopyOut(bucket->Entries[index], key, len, value);
    return true;
  }
  if (len == 0) return false;
  const int index = Find(KeyProbe(key, len), bucket);
  if (index < 0) return false;
  value = bucket->Entries[index].Value;
  return true;
}

std::optional<uint32_t> THashList::Find(std::string_view key) const {
  if (hashOnValue_ || key.empty() || key.size() > MaxKeyLength) return std::nullopt;
  THashBucket* bucket = nullptr;
  const int index = Find(KeyProbe(key.data(), static_cast<uint8_t>(key.size())), bucket);
  if (index < 0) return std::nullopt;
  return bucket->Entries[index].Value;
}

std::optional<std::string> THashList::KeyOf(uint32_t value) const {
  if (!hashOnValue_) return std::nullopt;
  THashBucket* bucket = nullptr;
  const int index = Find(ValueProbe(value), bucket);
  if (index < 0) return std::nullopt;
  const TEntry& entry = bucket->Entries[index];
  return std::string(reinterpret_cast<const char*>(entry.Key.get()), entry.Len);
}

// ---------------------------------------------------------------------------------------
// Deleting, merging and shrinking

bool THashList::DeleteEntry(const TProbe& probe) {
  THashBucket* bucket = nullptr;
  const int index = Find(probe, bucket);
  if (index < 0) return false;
  TEntry entry = TakeOut(*bucket, index);
  DropKey(entry);
  --entryCount_;
  TryCombine(bucket);
  return true;
}

bool THashList::Delete(const void* key, uint8_t len) {
  if (key == nullptr) return false;
  if (hashOnValue_) {
    uint32_t value = 0;
    std::memcpy(&value, key, sizeof value);
    return DeleteEntry(ValueProbe(value));
  }
  if (len == 0) return false;
  return DeleteEntry(KeyProbe(key, len));
}

bool THashList::Delete(std::string_view key) {
  if (hashOnValue_ || key.empty() || key.size() > MaxKeyLength) return false;
  return DeleteEntry(KeyProbe(key.data(), static_cast<uint8_t>(key.size())));
}

bool THashList::DeleteValue(uint32_t value) { return hashOnValue_ && DeleteEntry(ValueProbe(value)); }

THashList::THashBucket* THashList::FindBuddy(const THashBucket& bucket) const {
  // Only a bucket of full depth owns a single slot, and its buddy the neighbouring one.
  if (depth_ == 0 || bucket.LocalDepth != depth_) return nullptr;
  return directory_[bucket.Address ^ 1u];
}

void THashList::Combine(THashBucket* bucket, THashBucket* buddy) {
  for (TEntry& entry : TakeAll(*buddy)) Append(*bucket, std::move(entry));
  --bucket->LocalDepth;
  bucket->Address >>= 1;
  const int shift = depth_ - buddy->LocalDepth;
  const uint32_t first = buddy->Address << shift;
  InsertBucket(bucket, first, first | ((1u << shift) - 1));
  FreeBucket(buddy);
}

void THashList::TryCombine(THashBucket* bucket) {
  for (;;) {
    THashBucket* buddy = FindBuddy(*bucket);
    if (buddy == nullptr || bucket->Count() + buddy->Count() > BucketCapacity) return;
    Combine(bucket, buddy);
    // A shrunken directory may have made the merged bucket one of full depth again.
    if (!TryCollapse()) return;
  }
}

bool THashList::TryCollapse() {
  if (depth_ == 0) return false;
  for (size_t slot = 0; slot < directory_.size(); slot += 2) {
    THashBucket* left = directory_[slot];
    THashBucket* right = directory_[slot + 1];
    if (left == right) continue;
    if (left->Count() + right->Count() > BucketCapacity) return false;
    Combine(left, right);
  }
  std::vector<THashBucket*> halved(directory_.size() / 2);
  for (size_t slot = 0; slot < halved.size(); ++slot) halved[slot] = directory_[2 * slot];
  memUsed_ -= SlotSize * static_cast<int32_t>(directory_.size() - halved.size());
  directory_ = std::move(halved);
  --depth_;
  return true;
}

void THashList::Clear() {
  // Each round deletes the first entry in iteration order, as Top and Next would find it.
  // Every slot below `from` is known to hold an empty bucket: a merged bucket still owns
  // the slots its entries came from, and a halving halves the slot numbers.
  int32_t from = 0;
  while (entryCount_ > 0) {
    int32_t slot = from;
    while (directory_[slot]->Entries.empty()) ++slot;
    const TEntry& first = directory_[slot]->Entries.front();
    const int32_t oldDepth = depth_;
    if (hashOnValue_) {
      DeleteEntry(ValueProbe(first.Value));
    } else {
      // The probe must not point into the entry it deletes.
      std::array<uint8_t, MaxKeyLength> key{};
      const uint8_t len = first.Len;
      std::memcpy(key.data(), first.Key.get(), len);
      DeleteEntry(KeyProbe(key.data(), len));
    }
    from = slot >> (oldDepth - depth_);
  }
  Top();
}

// ---------------------------------------------------------------------------------------
// Iterating

void THashList::Top() {
  iterSlot_ = 0;
  iterEntry_ = 0;
}

bool THashList::Next(void* key, uint8_t& len, uint32_t& value) {
  const auto slots = static_cast<int32_t>(directory_.size());
  if (key == nullptr || iterSlot_ >= slots) return false;
  const int32_t start = iterSlot_;
  ++iterEntry_;
  while (iterSlot_ < slots) {
    const THashBucket* bucket = directory_[iterSlot_];
    if (bucket->Count() < iterEntry_) {
      ++iterSlot_;
      iterEntry_ = 1;
    } else if (iterSlot_ == start || bucket != directory_[start]) {
      CopyOut(bucket->Entries[iterEntry_ - 1], key, len, value);
      return true;
    } else {
      // A later slot of the bucket this call started in: its entries were returned already.
      iterEntry_ = bucket->Count() + 1;
    }
  }
  return false;
}

// ---------------------------------------------------------------------------------------
// Integrity

bool THashList::CheckIntegrity() const {
  if (directory_.empty()) return buckets_.empty() && depth_ == 0 && entryCount_ == 0 && memUsed_ == 0;
  if (depth_ < 0 || depth_ > MaxDepth || directory_.size() != (size_t{1} << depth_)) return false;

  int64_t bytes = int64_t{SlotSize} * static_cast<int64_t>(directory_.size());
  int64_t entries = 0;
  size_t ownedSlots = 0;
  for (size_t index = 0; index < buckets_.size(); ++index) {
    const THashBucket& bucket = *buckets_[index];
    if (bucket.PoolIndex != index || bucket.LocalDepth > depth_ || bucket.Address >> bucket.LocalDepth != 0) {
      return false;
    }
    const int shift = depth_ - bucket.LocalDepth;
    const size_t first = size_t{bucket.Address} << shift;
    for (size_t slot = first; slot < first + (size_t{1} << shift); ++slot) {
      if (directory_[slot] != &bucket) return false;
    }
    ownedSlots += size_t{1} << shift;
    bytes += BucketSize + OverflowBytes(bucket.Entries.size());
    for (const TEntry& entry : bucket.Entries) {
      if (!entry.Key || entry.Len == 0) return false;
      bytes += entry.Len;
      ++entries;
      // Reachable from one of its two addresses, and the only entry of its key there.
      const THashBucket* byHash = directory_[MakeAddress(EntryHash(entry, false), depth_)];
      const THashBucket* byHash2 = directory_[MakeAddress(EntryHash(entry, true), depth_)];
      if (byHash != &bucket && byHash2 != &bucket) return false;
      const TProbe probe = EntryProbe(entry);
      int matches = 0;
      for (const TEntry& other : byHash->Entries) matches += Matches(other, probe);
      if (byHash2 != byHash) {
        for (const TEntry& other : byHash2->Entries) matches += Matches(other, probe);
      }
      if (matches != 1) return false;
    }
  }
  return ownedSlots == directory_.size() && entries == entryCount_ && bytes == memUsed_;
}

}  // namespace quintrel::text
