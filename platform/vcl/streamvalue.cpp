#include <cmath>
#include <cstring>

#include "platform/rtl/utf8.h"
#include "platform/vcl/charsets.h"
#include "platform/vcl/filer.h"
#include "platform/vcl/floattext.h"

namespace quintrel::vcl {

TStreamValue TStreamValue::Integer(int64_t value) {
  TValueType type = vaInt64;
  if (value >= -128 && value <= 127)
    type = vaInt8;
  else if (value >= -32768 && value <= 32767)
    type = vaInt16;
  else if (value >= INT32_MIN && value <= INT32_MAX)
    type = vaInt32;
  return IntegerOfType(type, value);
}

TStreamValue TStreamValue::IntegerOfType(TValueType type, int64_t value) {
  TStreamValue v;
  v.Type = type;
  v.Int = value;
  return v;
}

TStreamValue TStreamValue::String(std::string bytes) {
  TStreamValue v;
  v.Type = bytes.size() <= 255 ? vaString : vaLString;
  v.Bytes = std::move(bytes);
  return v;
}

TStreamValue TStreamValue::WideString(std::u16string text, TValueType type) {
  TStreamValue v;
  if (type == vaUTF8String) {
    v.Type = vaUTF8String;
    v.Bytes = rtl::WideToUtf8(text);
  } else {
    v.Type = vaWString;
    v.Wide = std::move(text);
  }
  return v;
}

TStreamValue TStreamValue::Ident(std::string name) {
  TStreamValue v;
  v.Type = vaIdent;
  v.Bytes = std::move(name);
  return v;
}

TStreamValue TStreamValue::Simple(TValueType type) {
  TStreamValue v;
  v.Type = type;
  return v;
}

TStreamValue TStreamValue::Binary(std::string bytes) {
  TStreamValue v;
  v.Type = vaBinary;
  v.Bytes = std::move(bytes);
  return v;
}

TStreamValue TStreamValue::Set(std::vector<std::string> names) {
  TStreamValue v;
  v.Type = vaSet;
  v.Names = std::move(names);
  return v;
}

TStreamValue TStreamValue::Extended(long double value) {
  TStreamValue v;
  v.Type = vaExtended;
  v.Float = LongDoubleToExtended(value);
  return v;
}

TStreamValue TStreamValue::Float8(TValueType type, double value) {
  TStreamValue v;
  v.Type = type;
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  for (size_t i = 0; i < 8; ++i) v.Float[i] = static_cast<uint8_t>(bits >> (8 * i));
  return v;
}

TStreamValue TStreamValue::Single(float value) {
  TStreamValue v;
  v.Type = vaSingle;
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  for (size_t i = 0; i < 4; ++i) v.Float[i] = static_cast<uint8_t>(bits >> (8 * i));
  return v;
}

TStreamValue TStreamValue::Currency(int64_t scaled) {
  TStreamValue v;
  v.Type = vaCurrency;
  v.Int = scaled;
  return v;
}

bool TStreamValue::IsInteger() const {
  return Type == vaInt8 || Type == vaInt16 || Type == vaInt32 || Type == vaInt64;
}

bool TStreamValue::IsFloat() const {
  return Type == vaExtended || Type == vaSingle || Type == vaDouble || Type == vaDate || Type == vaCurrency;
}

bool TStreamValue::IsString() const {
  return Type == vaString || Type == vaLString || Type == vaWString || Type == vaUTF8String;
}

long double TStreamValue::AsFloat() const {
  switch (Type) {
    case vaExtended:
      return ExtendedToLongDouble(Float);
    case vaSingle: {
      uint32_t bits = 0;
      for (size_t i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(Float[i]) << (8 * i);
      float f;
      std::memcpy(&f, &bits, sizeof f);
      return f;
    }
    case vaDouble:
    case vaDate: {
      uint64_t bits = 0;
      for (size_t i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(Float[i]) << (8 * i);
      double d;
      std::memcpy(&d, &bits, sizeof d);
      return d;
    }
    case vaCurrency:
      return static_cast<long double>(Int) / 10000.0L;
    default:
      return IsInteger() ? static_cast<long double>(Int) : 0.0L;
  }
}

std::u16string TStreamValue::AsWide() const {
  if (Type == vaWString) return Wide;
  if (Type == vaUTF8String) return rtl::Utf8ToWide(Bytes);
  std::u16string out;
  out.reserve(Bytes.size());
  for (unsigned char c : Bytes) out.push_back(c);
  return out;
}

void TStreamValue::ForgetSource() {
  SourceText.clear();
  SourceLevel = -1;
  for (auto& v : List) v.ForgetSource();
  for (auto& item : Items) {
    if (item.Order) item.Order->ForgetSource();
    for (auto& p : item.Properties) p.Value.ForgetSource();
  }
}

bool operator==(const TStreamValue& a, const TStreamValue& b) {
  if (a.Type != b.Type) return false;
  switch (a.Type) {
    case vaInt8:
    case vaInt16:
    case vaInt32:
    case vaInt64:
    case vaCurrency:
      return a.Int == b.Int;
    case vaExtended:
      return a.Float == b.Float;
    case vaSingle:
      return std::memcmp(a.Float.data(), b.Float.data(), 4) == 0;
    case vaDouble:
    case vaDate:
      return std::memcmp(a.Float.data(), b.Float.data(), 8) == 0;
    case vaString:
    case vaLString:
    case vaIdent:
    case vaUTF8String:
    case vaBinary:
      return a.Bytes == b.Bytes;
    case vaWString:
      return a.Wide == b.Wide;
    case vaSet:
      return a.Names == b.Names;
    case vaList:
      return a.List == b.List;
    case vaCollection:
      return a.Items == b.Items;
    default:
      return true;
  }
}

const TStreamProperty* TStreamObject::FindProperty(std::string_view name) const {
  for (const auto& p : Properties)
    if (p.Name == name) return &p;
  return nullptr;
}

}  // namespace quintrel::vcl
