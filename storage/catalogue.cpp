#include "storage/catalogue.h"

#include <cstring>
#include <unordered_set>
#include <utility>

#include "storage/coding.h"
#include "storage/pager.h"
#include "storage/vardbs.h"
#include "strings/vconsts.h"

namespace quintrel::storage {

using rtl::Format;
namespace vc = quintrel::strings;

namespace {

// The catalogue items of one table chain, read with the placement rule.
class TCatalogueReader {
public:
  TCatalogueReader(rtl::TStream& stream, uint32_t first, std::string fileName)
      : stream_(stream), fileName_(std::move(fileName)) {
    Load(first);
  }

  const uint8_t* Item(size_t n) {
    if (position_ + static_cast<int>(n) > kLastPosition) Advance();
    const uint8_t* p = block_->At(position_);
    position_ += static_cast<int>(n);
    return p;
  }
  uint8_t Marker() {
    if (position_ > kLastPosition) Advance();
    return *block_->At(position_++);
  }
  // Bytes the older layout skips without the placement test.
  void Skip(int n) { position_ += n; }
  // The older layout peeks at 8 bytes as a double without the placement test; bytes
  // past the end of the block read as zero.
  double Peek8() {
    uint8_t bytes[8] = {};
    int offset = static_cast<int>(kBlockHeaderSize) + position_;
    for (int i = 0; i < 8; ++i)
      if (offset + i < static_cast<int>(kBlockSize)) bytes[i] = block_->Bytes[offset + i];
    return GetDouble(bytes);
  }
  [[noreturn]] void Damaged(const std::string& detail) const {
    throw EDatabaseError(Format(vc::_SCatalogueDamaged, fileName_, detail));
  }

private:
  void Load(uint32_t address) {
    if (!visited_.insert(address).second) Damaged(Format(vc::_SCatLoops, address));
    try {
      block_ = ReadBlockFrom(stream_, address);
    } catch (const EBlockCorrupt&) {
      Damaged(Format(vc::_SCatOutside, address));
    }
    position_ = 1;
  }
  void Advance() {
    uint32_t next = block_->Next();
    if (next == 0) Damaged(vc::_SCatEndsEarly);
    Load(next);
  }

  rtl::TStream& stream_;
  std::string fileName_;
  PBlock block_;
  int position_ = 1;
  std::unordered_set<uint32_t> visited_;
};

// A malformed table definition.
[[noreturn]] void BadDefinition(std::string_view definition, const std::string& detail) {
  throw EDatabaseError(Format(vc::_SDefInvalid, std::string(definition), detail));
}

}  // namespace

void PutShortString(uint8_t* p, const std::string& s) {
  std::string cut = ShortName(s);
  std::memset(p, 0, 13);
  p[0] = static_cast<uint8_t>(cut.size());
  std::memcpy(p + 1, cut.data(), cut.size());
}
std::string GetShortString(const uint8_t* p, bool* bad) {
  size_t len = p[0];
  if (len > kShortNameLength) {
    if (bad) *bad = true;
    len = kShortNameLength;
  }
  return std::string(reinterpret_cast<const char*>(p + 1), len);
}

void TFileHeader::Encode(uint8_t* out) const {
  std::memset(out, 0, kFileHeaderSize);
  Put32(out + 0, static_cast<uint32_t>(Version));
  PutDouble(out + 12, Created);
  Put32(out + 20, AvailList);
  Put32(out + 24, TableBlock);
  Put32(out + 28, static_cast<uint32_t>(TableCount));
  PutShortString(out + 32, DbName);
  Put32(out + kChangeCountOffset, static_cast<uint32_t>(ChangeCount));
}

TFileHeader TFileHeader::Decode(const uint8_t* in) {
  TFileHeader h;
  h.Version = static_cast<int32_t>(Get32(in + 0));
  h.Created = GetDouble(in + 12);
  h.AvailList = Get32(in + 20);
  h.TableBlock = Get32(in + 24);
  h.TableCount = static_cast<int32_t>(Get32(in + 28));
  h.DbName = GetShortString(in + 32);
  h.ChangeCount = static_cast<int32_t>(Get32(in + kChangeCountOffset));
  return h;
}

void TIndexHeader::Encode(uint8_t* out) const {
  std::memset(out, 0, kSize);
  Put32(out + 0, Root);
  out[4] = Unique ? 1 : 0;
  out[5] = KeyPrefix ? 1 : 0;
  Put16(out + 6, IndexField);
  Put16(out + 8, IndexTable);
  Put16(out + 10, CompareId);
}

TIndexHeader TIndexHeader::Decode(const uint8_t* in) {
  TIndexHeader h;
  h.Root = Get32(in + 0);
  h.Unique = in[4] != 0;
  h.KeyPrefix = in[5] != 0;
  h.IndexField = Get16(in + 6);
  h.IndexTable = Get16(in + 8);
  h.CompareId = Get16(in + 10);
  return h;
}

void TFieldHeader::Encode(uint8_t* out) const {
  std::memset(out, 0, kSize);
  PutShortString(out + 0, FieldName);
  out[13] = static_cast<uint8_t>(FieldType);
  Put32(out + 16, static_cast<uint32_t>(FieldLength));
}

TFieldHeader TFieldHeader::Decode(const uint8_t* in) {
  TFieldHeader h;
  h.FieldName = GetShortString(in + 0);
  h.FieldType = static_cast<char>(in[13]);
  h.FieldLength = static_cast<int32_t>(Get32(in + 16));
  return h;
}

void TTableHeader::Encode(uint8_t* out) const {
  std::memset(out, 0, kSize);
  PutDouble(out + 0, Created);
  PutShortString(out + 8, TableName);
  Put16(out + 22, TableNr);
  Put32(out + 24, static_cast<uint32_t>(RecordCount));
  Put32(out + 28, static_cast<uint32_t>(FieldCount));
  Put32(out + 32, FirstBlock);
  Put32(out + 36, LastBlock);
  Put32(out + 40, CurBlock);
  Put16(out + 48, CurPos);
}

TTableHeader TTableHeader::Decode(const uint8_t* in) {
  TTableHeader h;
  h.Created = GetDouble(in + 0);
  h.TableName = GetShortString(in + 8);
  h.TableNr = Get16(in + 22);
  h.RecordCount = static_cast<int32_t>(Get32(in + 24));
  h.FieldCount = static_cast<int32_t>(Get32(in + 28));
  h.FirstBlock = Get32(in + 32);
  h.LastBlock = Get32(in + 36);
  h.CurBlock = Get32(in + 40);
  h.CurPos = 1;  // the cursor position is not trusted across processes
  return h;
}

// ---------------------------------------------------------------------------------------
// The catalogue stream

std::vector<TTable> ReadCatalogue(rtl::TStream& stream, const TFileHeader& header, const std::string& fileName) {
  std::vector<TTable> tables;
  auto damaged = [&](const std::string& detail) -> void {
    throw EDatabaseError(Format(vc::_SCatalogueDamaged, fileName, detail));
  };
  if (header.TableCount < 0) damaged(Format(vc::_SCatNegativeCount, header.TableCount));
  if (header.TableCount == 0) return tables;
  if (header.TableBlock == 0) damaged(Format(vc::_SCatNoBlock, header.TableCount));

  TCatalogueReader reader(stream, header.TableBlock, fileName);
  bool older = header.Version == 15;
  for (int t = 0; t < header.TableCount; ++t) {
    TTable table;
    const uint8_t* item = reader.Item(TTableHeader::kSize);
    bool badName = false;
    GetShortString(item + 8, &badName);
    table.Header = TTableHeader::Decode(item);
    if (badName) damaged(Format(vc::_SCatTableName, t));
    // A field count past the limit cannot be read back item by item: everything after it
    // would be misread, so the catalogue is refused rather than guessed at.
    if (table.Header.FieldCount < 0 || table.Header.FieldCount > kMaxFieldCount)
      damaged(Format(vc::_SCatFieldCount, t, table.Header.FieldCount));
    if (table.Header.RecordCount < 0) damaged(Format(vc::_SCatRecordCount, t, table.Header.RecordCount));
    for (int f = 0; f < table.Header.FieldCount; ++f) {
      item = reader.Item(TFieldHeader::kSize);
      GetShortString(item, &badName);
      TFieldHeader field = TFieldHeader::Decode(item);
      if (badName) damaged(Format(vc::_SCatFieldName, f, t));
      // A fixed field larger than a block holds cannot come from a definition; it would
      // make every record of the table a chain of thousands of blocks.
      if (field.FieldLength < 0 ||
          static_cast<int64_t>(GetUnitLength(field.FieldType)) * field.FieldLength > kLastPosition)
        damaged(Format(vc::_SCatFieldLength, f, t, field.FieldLength));
      if (older) {
        reader.Skip(1);
      } else {
        for (;;) {
          uint8_t marker = reader.Marker();
          if (marker == 0) break;
          if (marker != 1) damaged(Format(vc::_SCatBadMarker, marker, f, t));
          field.Indexes.push_back(TIndexHeader::Decode(reader.Item(TIndexHeader::kSize)));
        }
      }
      table.Fields.push_back(std::move(field));
    }
    if (older && table.Header.TableName.rfind("ZodTerms", 0) == 0 && reader.Peek8() > 65535.0) reader.Skip(56);
    tables.push_back(std::move(table));
  }
  return tables;
}

std::vector<TCatalogueItem> SerializeCatalogue(const std::vector<TTable>& tables) {
  std::vector<TCatalogueItem> items;
  for (const TTable& table : tables) {
    TCatalogueItem th{std::vector<uint8_t>(TTableHeader::kSize), false};
    TTableHeader header = table.Header;
    header.FieldCount = static_cast<int32_t>(table.Fields.size());
    header.Encode(th.bytes.data());
    items.push_back(std::move(th));
    for (const TFieldHeader& field : table.Fields) {
      TCatalogueItem fh{std::vector<uint8_t>(TFieldHeader::kSize), false};
      field.Encode(fh.bytes.data());
      items.push_back(std::move(fh));
      for (const TIndexHeader& index : field.Indexes) {
        items.push_back({{1}, true});
        TCatalogueItem ih{std::vector<uint8_t>(TIndexHeader::kSize), false};
        index.Encode(ih.bytes.data());
        items.push_back(std::move(ih));
      }
      items.push_back({{0}, true});
    }
  }
  return items;
}

// ---------------------------------------------------------------------------------------
// Table definitions

void ParseDefinition(std::string_view definition, std::string& tableName, std::vector<TFieldSpec>& fields) {
  std::vector<std::string_view> tokens;
  size_t i = 0;
  while (i < definition.size()) {
    while (i < definition.size() && definition[i] == ' ') ++i;
    size_t start = i;
    while (i < definition.size() && definition[i] != ' ') ++i;
    if (i > start) tokens.push_back(definition.substr(start, i - start));
  }
  if (tokens.empty()) BadDefinition(definition, vc::_SDefNoName);
  tableName = std::string(tokens[0]);
  if ((tokens.size() - 1) % 2 != 0) BadDefinition(definition, vc::_SDefNoFieldType);
  for (size_t t = 1; t < tokens.size(); t += 2) {
    std::string_view spec = tokens[t + 1];
    char type = spec[0];
    if (!((type >= 'A' && type <= 'Z') || (type >= 'a' && type <= 'z')))
      BadDefinition(definition, Format(vc::_SDefNoType, std::string(tokens[t])));
    int32_t length = 0;
    bool hasLength = spec.size() > 1;
    for (size_t k = 1; k < spec.size(); ++k) {
      if (spec[k] < '0' || spec[k] > '9' || length > 100000)
        BadDefinition(definition, Format(vc::_SDefBadLength, std::string(tokens[t])));
      length = length * 10 + (spec[k] - '0');
    }
    if (static_cast<int64_t>(GetUnitLength(type)) * length > kLastPosition)
      BadDefinition(definition, Format(vc::_SDefBadLength, std::string(tokens[t])));
    // A C field without a length holds one character.
    fields.push_back({std::string(tokens[t]), type, hasLength ? length : 1});
  }
}

}  // namespace quintrel::storage
