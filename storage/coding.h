// Little-endian encoding of the integers and doubles of every stored structure.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace quintrel::storage {

inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
// A stored value of up to 4 bytes as an integer: a shorter or empty value (a field the
// record does not reach) is taken as padded with zeros.
inline uint32_t Get32Padded(const std::vector<uint8_t>& value) {
  uint32_t v = 0;
  for (size_t i = 0; i < value.size() && i < 4; ++i) v |= static_cast<uint32_t>(value[i]) << (8 * i);
  return v;
}
inline double GetDouble(const uint8_t* p) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(p[i]) << (8 * i);
  double v;
  std::memcpy(&v, &bits, 8);
  return v;
}
inline void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutDouble(uint8_t* p, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(bits >> (8 * i));
}

}  // namespace quintrel::storage
