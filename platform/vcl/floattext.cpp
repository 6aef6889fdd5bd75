#include "platform/vcl/floattext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace quintrel::vcl {

namespace {

constexpr int kExtendedBias = 16383;

// Decimal digits and exponent of a value: value = 0.d1d2d3... * 10^exponent, with
// `digits` significant digits rounded half-even by the C library, trailing zeros cut.
struct TDecimal {
  std::string Digits;
  int Exponent = 0;
};

TDecimal ToDecimal(long double value, int digits) {
  char buf[128];
  // %.*Le gives d.ddddde±xx with `digits` significant digits in total.
  int n = std::snprintf(buf, sizeof buf, "%.*Le", digits - 1, std::fabs(value));
  TDecimal d;
  if (n <= 0 || static_cast<size_t>(n) >= sizeof buf) return d;
  std::string_view text(buf, static_cast<size_t>(n));
  size_t e = text.find('e');
  for (size_t i = 0; i < e; ++i)
    if (text[i] != '.') d.Digits.push_back(text[i]);
  int exp10 = 0;
  std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(), exp10);
  d.Exponent = exp10 + 1;
  while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
  if (d.Digits.empty()) d.Exponent = 0;
  return d;
}

std::string NonFinite(long double value) {
  if (std::isnan(value)) return "NAN";
  return value < 0 ? "-INF" : "INF";
}

}  // namespace

long double ExtendedToLongDouble(const std::array<uint8_t, 10>& b) {
  uint64_t mantissa = 0;
  for (int i = 7; i >= 0; --i) mantissa = (mantissa << 8) | b[static_cast<size_t>(i)];
  int exponent = ((b[9] & 0x7F) << 8) | b[8];
  bool negative = (b[9] & 0x80) != 0;
  long double value;
  if (exponent == 0x7FFF) {
    value = (mantissa << 1) == 0 ? HUGE_VALL : NAN;
  } else {
    // Denormals use the exponent of the smallest normal number.
    int e = (exponent == 0 ? 1 : exponent) - kExtendedBias - 63;
    value = std::ldexp(static_cast<long double>(mantissa), e);
  }
  return negative ? -value : value;
}

std::array<uint8_t, 10> LongDoubleToExtended(long double value) {
  std::array<uint8_t, 10> b{};
  bool negative = std::signbit(value);
  uint64_t mantissa = 0;
  int exponent = 0;
  if (std::isnan(value)) {
    exponent = 0x7FFF;
    mantissa = 0xC000000000000000ull;
  } else if (std::isinf(value)) {
    exponent = 0x7FFF;
    mantissa = 0x8000000000000000ull;
  } else if (value != 0) {
    int e2 = 0;
    long double fraction = std::frexp(std::fabs(value), &e2);  // [0.5, 1)
    exponent = e2 - 1 + kExtendedBias;
    if (exponent <= 0) {  // denormal: shift the fraction into the fixed exponent
      fraction = std::ldexp(fraction, exponent - 1);
      exponent = 0;
    }
    if (exponent >= 0x7FFF) {
      exponent = 0x7FFF;
      mantissa = 0x8000000000000000ull;
    } else {
      mantissa = static_cast<uint64_t>(std::ldexp(fraction, 64));
    }
  }
  for (size_t i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(mantissa >> (8 * i));
  b[8] = static_cast<uint8_t>(exponent & 0xFF);
  b[9] = static_cast<uint8_t>(((exponent >> 8) & 0x7F) | (negative ? 0x80 : 0));
  return b;
}

std::string FloatToStrGeneral(long double value, int precision) {
  if (!std::isfinite(value)) return NonFinite(value);
  TDecimal d = ToDecimal(value, precision);
  if (d.Digits.empty()) return "0";
  std::string out = value < 0 ? "-" : "";
  int e = d.Exponent;
  int n = static_cast<int>(d.Digits.size());
  if (e > precision || e < -4) {
    out += d.Digits[0];
    if (n > 1) out += "." + d.Digits.substr(1);
    out += "E" + std::to_string(e - 1);
    return out;
  }
  if (e <= 0) {
    out += "0." + std::string(static_cast<size_t>(-e), '0') + d.Digits;
  } else if (n <= e) {
    out += d.Digits + std::string(static_cast<size_t>(e - n), '0');
  } else {
    out += d.Digits.substr(0, static_cast<size_t>(e)) + "." + d.Digits.substr(static_cast<size_t>(e));
  }
  return out;
}

std::string FloatToStrFixed(long double value, int precision, int decimals) {
  if (!std::isfinite(value)) return NonFinite(value);
  TDecimal d = ToDecimal(value, precision);
  if (d.Exponent > precision) return FloatToStrGeneral(value, precision);
  // Fewer significant digits when the decimals run out first.
  int significant = std::min(precision, d.Exponent + decimals);
  if (significant <= 0) {
    d = {};
  } else if (significant < precision) {
    d = ToDecimal(value, significant);
  }
  std::string intPart, fracPart;
  int e = d.Exponent;
  const std::string& s = d.Digits;
  if (s.empty()) {
    intPart = "0";
  } else if (e <= 0) {
    intPart = "0";
    fracPart = std::string(static_cast<size_t>(-e), '0') + s;
  } else if (static_cast<int>(s.size()) <= e) {
    intPart = s + std::string(static_cast<size_t>(e) - s.size(), '0');
  } else {
    intPart = s.substr(0, static_cast<size_t>(e));
    fracPart = s.substr(static_cast<size_t>(e));
  }
  if (static_cast<int>(fracPart.size()) < decimals) fracPart.append(static_cast<size_t>(decimals) - fracPart.size(), '0');
  fracPart.resize(static_cast<size_t>(decimals));
  std::string out = (value < 0 && !s.empty()) ? "-" : "";
  out += intPart;
  if (decimals > 0) out += "." + fracPart;
  return out;
}

bool TextToFloat(std::string_view text, long double& value) {
  if (text.empty()) return false;
  size_t i = 0;
  if (text[i] == '-' || text[i] == '+') ++i;
  size_t digitsBefore = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digitsBefore;
  size_t digitsAfter = 0;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digitsAfter;
  }
  if (digitsBefore + digitsAfter == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    size_t expDigits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  if (i != text.size()) return false;
  std::string_view body = text;
  if (body[0] == '+') body.remove_prefix(1);
  auto [ptr, ec] = std::from_chars(body.data(), body.data() + body.size(), value);
  if (ec == std::errc::result_out_of_range) {
    // Too large or too small: the decimal exponent of the first significant digit tells.
    long exp10 = 0;
    size_t e = body.find_first_of("eE");
    if (e != std::string_view::npos) {
      std::string_view digits = body.substr(e + 1);
      bool negative = !digits.empty() && digits[0] == '-';
      if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) digits.remove_prefix(1);
      for (char c : digits) exp10 = std::min(exp10 * 10 + (c - '0'), 100000L);
      if (negative) exp10 = -exp10;
    }
    std::string_view mantissa = body.substr(0, e);
    size_t dot = mantissa.find('.');
    size_t first = mantissa.find_first_of("123456789");
    if (dot == std::string_view::npos) dot = mantissa.size();
    long position = first == std::string_view::npos ? 0
                    : first < dot ? static_cast<long>(dot - first)
                                  : -static_cast<long>(first - dot - 1);
    bool huge = exp10 + position > 0;
    bool negative = body[0] == '-';
    value = huge ? (negative ? -HUGE_VALL : HUGE_VALL) : (negative ? -0.0L : 0.0L);
    return true;
  }
  return ec == std::errc() && ptr == body.data() + body.size();
}

}  // namespace quintrel::vcl
