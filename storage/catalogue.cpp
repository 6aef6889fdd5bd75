#include "storage/catalogue.h"

#include <cstring>

#include "storage/coding.h"
#include "storage/vardbs.h"

namespace quintrel::storage {

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
  Put32(out + 48, static_cast<uint32_t>(ChangeCount));
}

TFileHeader TFileHeader::Decode(const uint8_t* in) {
  TFileHeader h;
  h.Version = static_cast<int32_t>(Get32(in + 0));
  h.Created = GetDouble(in + 12);
  h.AvailList = Get32(in + 20);
  h.TableBlock = Get32(in + 24);
  h.TableCount = static_cast<int32_t>(Get32(in + 28));
  h.DbName = GetShortString(in + 32);
  h.ChangeCount = static_cast<int32_t>(Get32(in + 48));
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

}  // namespace quintrel::storage
