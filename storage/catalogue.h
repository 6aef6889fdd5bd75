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
//     Whether a block address, count or type makes sense is the engine's test when it
//     loads the catalogue.
//   - A table's cursor position is stored but never read back: Decode gives position 1,
//     since another process may have moved the records under it.
//   - A field record does not hold its index definitions; they follow it in the catalogue
//     stream as records of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/dateutils.h"

namespace quintrel::storage {

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

}  // namespace quintrel::storage
