// Floating-point numbers of component streams: the 10-byte extended format of binary
// streams and the two decimal spellings of the text notation.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quintrel::vcl {

// 80-bit extended (sign, 15-bit exponent, 64-bit mantissa with explicit integer bit),
// little-endian. Conversions are exact where long double is at least that wide.
long double ExtendedToLongDouble(const std::array<uint8_t, 10>& bytes);
std::array<uint8_t, 10> LongDoubleToExtended(long double value);

// The shortest decimal text of at most `precision` significant digits; fixed notation
// for values from 0.00001 up to 10^precision, scientific (1.5E20, 1E-6) otherwise.
// Non-finite values give NAN, INF and -INF.
std::string FloatToStrGeneral(long double value, int precision = 15);

// Rounded to `precision` significant digits and at most `decimals` decimals, written
// with exactly `decimals` decimals (falls back to the general text for huge values).
std::string FloatToStrFixed(long double value, int precision = 16, int decimals = 18);

// Parses [-]digits[.digits][(e|E)[+|-]digits]; false when the text is not such a number.
bool TextToFloat(std::string_view text, long double& value);

}  // namespace quintrel::vcl
