// The catalogue records: the 64-byte file header and the fixed-size table, field and
// index records that the catalogue stream holds, with their byte-exact encoding.
//
// Invariants:
//   - Each record has one fixed size (file header 64, table 56, field 24, index 20 bytes),
//     all integers little-endian. Encode writes every byte of it, unused bytes as zero, so
//     the same record always gives the same bytes.
//   - Names are ShortString[12]: a length byte and up to 12 characters. Encode cuts a longer
//     name to 12; a stored length above 12 is read as 12 and reported to the caller that
//     asks (GetShortString's `bad`), who treats the catalogue as damaged.
//   - Decode trusts nothing and checks nothing: it copies the stored numbers as they are.
//     Whether a count, name or length makes sense is ReadCatalogue's test; whether a block
//     address does is tested where the block is used.
//   - A table's cursor position is stored but never read back: Decode gives position 1,
//     since another process may have moved the records under it.
//   - A field record does not hold its index definitions; they follow it in the catalogue
//     stream as records of their own.
//   - The catalogue stream is laid into a Next/Prev chain of blocks from TableBlock, from
//     position 1 of each: a record of n bytes goes at position p only when p + n <= 8175,
//     else at position 1 of the next block; a single marker byte may stand anywhere up to
//     8175. Per table: its record, then per field its record, for each index a marker 1 and
//     the index record, and a marker 0. Version 15 has a single skipped byte instead of the
//     index part, and after a "ZodTerms..." table whose next 8 bytes read as a double above
//     65535, 56 bytes more to skip.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/classes.h"
#include "platform/rtl/dateutils.h"
#include "storage/blockcache.h"

namespace quintrel::storage {

// Where ChangeCount lies in the file header.
constexpr uint64_t kChangeCountOffset = 48;

// The 64-byte file header.
struct TFileHeader {
  int32_t Version = 16;
  rtl::TDateTime Created = 0;
  uint32_t AvailList = 0;
  uint32_t TableBlock = 0;
  int32_t TableCount = 0;
  std::string DbName;
  int32_t ChangeCount = 0;

  void Encode(uint8_t* out) const;  // 64 bytes
  static TFileHeader Decode(const uint8_t* in);
};

// Definition of one index on a field (20 bytes in the catalogue).
struct TIndexHeader {
  uint32_t Root = 0;
  bool Unique = false;
  bool KeyPrefix = false;
  uint16_t IndexField = 0;
  uint16_t IndexTable = 0;
  uint16_t CompareId = 0;

  static constexpr size_t kSize = 20;
  void Encode(uint8_t* out) const;
  static TIndexHeader Decode(const uint8_t* in);
};

// One field of a table (24 bytes in the catalogue, then its index definitions).
struct TFieldHeader {
  std::string FieldName;
  char FieldType = 'N';
  int32_t FieldLength = 1;
  std::vector<TIndexHeader> Indexes;

  static constexpr size_t kSize = 24;
  void Encode(uint8_t* out) const;
  static TFieldHeader Decode(const uint8_t* in);
};

// One table (56 bytes in the catalogue). CurBlock/CurPos are the table's cursor.
struct TTableHeader {
  rtl::TDateTime Created = 0;
  std::string TableName;
  uint16_t TableNr = 0;
  int32_t RecordCount = 0;
  int32_t FieldCount = 0;
  uint32_t FirstBlock = 0;
  uint32_t LastBlock = 0;
  uint32_t CurBlock = 0;
  uint16_t CurPos = 1;

  static constexpr size_t kSize = 56;
  void Encode(uint8_t* out) const;
  static TTableHeader Decode(const uint8_t* in);
};

// ShortString[12]: a length byte and up to 12 characters; unused bytes written as zero.
void PutShortString(uint8_t* p, const std::string& s);
// Reads a ShortString[12]; a length above 12 is reported through `bad`.
std::string GetShortString(const uint8_t* p, bool* bad = nullptr);

// A table of the catalogue with its fields and the loaded copy of its cursor's block.
struct TTable {
  TTableHeader Header;
  std::vector<TFieldHeader> Fields;
  PBlock CurBuffer;
};

// The tables of the catalogue that `header` describes, read from `stream`; EDatabaseError
// naming `fileName` when the chain loops, leaves the stream or ends early, or a count,
// name, field length or marker cannot be right.
std::vector<TTable> ReadCatalogue(rtl::TStream& stream, const TFileHeader& header, const std::string& fileName);

// The catalogue's items in the order they are laid into its blocks: the bytes and whether
// the item is a marker byte.
struct TCatalogueItem {
  std::vector<uint8_t> bytes;
  bool marker = false;
};
std::vector<TCatalogueItem> SerializeCatalogue(const std::vector<TTable>& tables);

// The table-definition language: "NAME FIELD TYPE[len] FIELD TYPE[len] ...". Runs of blanks
// separate items; a length is read only right after a type letter, and a C field without
// one holds one character. A malformed definition raises EDatabaseError.
struct TFieldSpec {
  std::string name;
  char type;
  int32_t length;
};
void ParseDefinition(std::string_view definition, std::string& tableName, std::vector<TFieldSpec>& fields);

}  // namespace quintrel::storage
