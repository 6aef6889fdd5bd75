// Comparison of field values: the built-in order of each field type, and the registry of
// comparers that an index may name by id instead.
#pragma once

#include <cstdint>

namespace quintrel::storage {

// Negative when a sorts before b, 0 when equal, positive otherwise.
using TCompareFunc = int32_t (*)(const void* a, const void* b, int32_t lenA, int32_t lenB, uint16_t id, char type);

// Bytes as signed 8-bit values; equal prefixes order by length.
int32_t CompareBinary(const void* a, const void* b, int32_t lenA, int32_t lenB);

// The built-in order of a field type:
//   B  CompareBinary
//   C V  CompareW over the UTF-16 units (an empty value is never equal to anything)
//   N S Y  the difference of the integers
//   R  -1, 0, 1
//   M  a*100 - b*100 rounded (halves to even); D whole days Int(a) - Int(b); T Frac(a)*100 -
//      Frac(b)*100 rounded
//   anything else (L included)  -1
// Differences are computed without overflow and clamped to the 32-bit range, so values far
// apart still order by their sign. D and T read up to 8 bytes of the value as a double;
// a shorter value is zero-extended rather than read past its end.
int32_t OnCompare(const void* a, const void* b, int32_t lenA, int32_t lenB, char type);

// Comparers registered by callers for (id, type). No part of the system registers one.
void RegisterCompare(TCompareFunc function, uint16_t id, char type);
void UnRegisterCompare(uint16_t id, char type);
TCompareFunc GetCompare(uint16_t id, char type);

}  // namespace quintrel::storage
