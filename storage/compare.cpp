#include "storage/compare.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "text/unicode.h"

namespace quintrel::storage {

namespace {

int32_t Clamp(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, -std::numeric_limits<int32_t>::max(),
                                                  std::numeric_limits<int32_t>::max()));
}

int32_t ClampDouble(double v) {
  if (std::isnan(v)) return 0;
  v = std::nearbyint(v);  // the default rounding mode: to nearest, halves to even
  if (v >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v <= -std::numeric_limits<int32_t>::max()) return -std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(v);
}

// Reads up to `size` bytes of a little-endian value; missing bytes are zero.
template <typename T>
T Read(const void* p, int32_t len) {
  uint8_t bytes[sizeof(T)] = {};
  if (p && len > 0) std::memcpy(bytes, p, std::min<size_t>(sizeof(T), static_cast<size_t>(len)));
  T v;
  std::memcpy(&v, bytes, sizeof(T));
  return v;
}

struct TRegistered {
  TCompareFunc function;
  uint16_t id;
  char type;
};

std::vector<TRegistered>& Registry() {
  static std::vector<TRegistered> registry;
  return registry;
}

}  // namespace

int32_t CompareBinary(const void* a, const void* b, int32_t lenA, int32_t lenB) {
  const auto* pa = static_cast<const int8_t*>(a);
  const auto* pb = static_cast<const int8_t*>(b);
  int32_t n = std::max(0, std::min(lenA, lenB));
  for (int32_t i = 0; i < n; ++i)
    if (pa[i] != pb[i]) return pa[i] - pb[i];
  return Clamp(static_cast<int64_t>(lenA) - lenB);
}

int32_t OnCompare(const void* a, const void* b, int32_t lenA, int32_t lenB, char type) {
  switch (type) {
    case 'B':
      return CompareBinary(a, b, lenA, lenB);
    case 'C':
    case 'V': {
      // Values come from anywhere in a record image; wide units are read from aligned copies.
      auto aligned = [](const void* p, int32_t len, std::u16string& copy) -> const char16_t* {
        if (!p || reinterpret_cast<uintptr_t>(p) % alignof(char16_t) == 0) return static_cast<const char16_t*>(p);
        copy.resize(static_cast<size_t>(std::max(len, 0)) / 2);
        std::memcpy(copy.data(), p, copy.size() * 2);
        return copy.c_str();
      };
      std::u16string copyA, copyB;
      return text::CompareW(aligned(a, lenA, copyA), aligned(b, lenB, copyB), lenA / 2, lenB / 2);
    }
    case 'N':
      return Clamp(static_cast<int64_t>(Read<int32_t>(a, lenA)) - Read<int32_t>(b, lenB));
    case 'S':
      return Read<int16_t>(a, lenA) - Read<int16_t>(b, lenB);
    case 'Y':
      return Read<uint8_t>(a, lenA) - Read<uint8_t>(b, lenB);
    case 'R': {
      double x = Read<double>(a, lenA), y = Read<double>(b, lenB);
      return x < y ? -1 : x > y ? 1 : 0;
    }
    case 'M':
      return ClampDouble(Read<double>(a, lenA) * 100 - Read<double>(b, lenB) * 100);
    case 'D':
      return ClampDouble(std::trunc(Read<double>(a, lenA)) - std::trunc(Read<double>(b, lenB)));
    case 'T': {
      double x = Read<double>(a, lenA), y = Read<double>(b, lenB);
      return ClampDouble((x - std::trunc(x)) * 100 - (y - std::trunc(y)) * 100);
    }
    default:
      return -1;
  }
}

void RegisterCompare(TCompareFunc function, uint16_t id, char type) { Registry().push_back({function, id, type}); }

// Only the pair asked for goes: dropping the whole list when it is small would also drop a
// comparer registered under another key.
void UnRegisterCompare(uint16_t id, char type) {
  auto& registry = Registry();
  auto it = std::find_if(registry.begin(), registry.end(),
                         [&](const TRegistered& r) { return r.id == id && r.type == type; });
  if (it != registry.end()) registry.erase(it);
}

TCompareFunc GetCompare(uint16_t id, char type) {
  for (const TRegistered& r : Registry())
    if (r.id == id && r.type == type) return r.function;
  return nullptr;
}

}  // namespace quintrel::storage
