// One-record-per-line JSON as `db dump` writes and `db load` reads it: a flat object per
// line whose values are numbers, true/false, strings or {"hex": "..."}. Strings are kept
// as UTF-16 units, so that text that is not valid Unicode (an unpaired surrogate, which
// wide strings may hold) survives a dump and a load: such a unit is written as \uXXXX.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace quintrel::cli {

struct TJsonHex {
  std::vector<uint8_t> bytes;
};
using TJsonValue = std::variant<std::nullptr_t, bool, double, std::u16string, TJsonHex>;
using TJsonRecord = std::vector<std::pair<std::string, TJsonValue>>;

// A JSON string literal (quotes included) of UTF-16 units.
std::string JsonString(std::u16string_view units);
// A JSON string literal of UTF-8 text (keys).
std::string JsonString(std::string_view utf8);

// Parses one line; throws std::runtime_error with the column and the problem.
TJsonRecord ParseJsonRecord(std::string_view line);

}  // namespace quintrel::cli
