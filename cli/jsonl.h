// One-record-per-line JSON as `db dump` writes and `db load` reads it: a flat object per
// line whose values are numbers, true/false, strings or {"hex": "..."}. Strings are kept
// as UTF-16 units, so that text that is not valid Unicode (an unpaired surrogate, which
// wide strings may hold) survives a dump and a load: such a unit is written as \uXXXX.
#pragma once

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
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

// JSON documents the command reads from files (--from-json). The parser recurses once per
// bracket, so nesting is measured first, without recursion, and refused above maxDepth.
constexpr int kMaxJsonDepth = 64;
constexpr size_t kMaxJsonFileSize = size_t{1} << 20;
// The deepest nesting of [ and { outside strings.
int JsonDepth(std::string_view text);
// Reads a regular file of at most kMaxJsonFileSize bytes and parses it; fails with one
// short line naming the file.
nlohmann::json ReadJsonFile(const std::string& fileName);
// A message that quotes its input, cut to one short line.
std::string ShortMessage(std::string_view message);

}  // namespace quintrel::cli
