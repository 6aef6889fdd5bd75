// Test support: record images laid into a data block by hand, as another writer of the
// format would lay them (records that end before their table's last field, for one).
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "storage/coding.h"
#include "storage/vardbs.h"

namespace quintrel::storage::test {

// Replaces the records of the data block at byte `block` of a file's bytes by inline
// records holding the given images; the block keeps its links.
inline void LayRecords(std::string& file, uint32_t block, const std::vector<std::vector<uint8_t>>& images) {
  (void)file.at(block + kBlockSize - 1);  // the whole block is in the file
  auto* b = reinterpret_cast<uint8_t*>(file.data()) + block;
  std::memset(b + 8, 0, kBlockSize - 8);
  std::vector<uint16_t> starts;
  int position = 1;
  for (const auto& image : images) {
    starts.push_back(static_cast<uint16_t>(position));
    b[kBlockHeaderSize + position] = 0;  // inline
    std::memcpy(b + kBlockHeaderSize + 1 + position, image.data(), image.size());
    position += 1 + static_cast<int>(image.size());
  }
  Put16(b + 8, static_cast<uint16_t>(starts.size()));
  Put16(b + 10, static_cast<uint16_t>(position - 1));
  for (size_t i = 0; i < starts.size(); ++i) Put16(b + kBlockHeaderSize + position + 2 * i, starts[i]);
}

// The same for the first data block of a table of the file at `path`, which must be the
// table's only one.
inline void LayTableRecords(const std::string& path, const std::string& table,
                            const std::vector<std::vector<uint8_t>>& images) {
  uint32_t block = 0;
  {
    TCustomVarDB db("probe");
    if (!db.OpenFile(path, rtl::fmOpenRead | rtl::fmShareDenyNone)) throw std::runtime_error(path + ": not opened");
    block = db.Table(db.GetTableNr(table)).Header.FirstBlock;
  }
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  std::string bytes = s.str();
  if (block == 0 || Get32(reinterpret_cast<const uint8_t*>(bytes.data()) + block) != 0)
    throw std::runtime_error(table + ": not a table of one data block");
  LayRecords(bytes, block, images);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace quintrel::storage::test
