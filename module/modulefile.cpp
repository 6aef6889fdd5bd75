#include "module/modulefile.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace quintrel::module {

namespace fs = std::filesystem;

namespace {

bool SameAsciiIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

bool IsRegular(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

}  // namespace

std::string CompanionName(const std::string& fileName, std::string_view extension) {
  return fs::path(fileName).replace_extension(std::string(extension)).string();
}

std::string FindIgnoringCase(const std::string& path) {
  const fs::path wanted(path);
  if (IsRegular(wanted)) return path;
  const std::string name = wanted.filename().string();
  if (name.empty()) return {};
  const fs::path folder = wanted.has_parent_path() ? wanted.parent_path() : fs::path(".");
  // Directory order differs between file systems; sorting makes the choice among several
  // case variants the same everywhere.
  std::vector<std::string> matches;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string entry = it->path().filename().string();
    if (SameAsciiIgnoringCase(entry, name) && IsRegular(it->path())) matches.push_back(std::move(entry));
  }
  if (matches.empty()) return {};
  const std::string& first = *std::min_element(matches.begin(), matches.end());
  return wanted.has_parent_path() ? (folder / first).string() : first;
}

std::string CompanionFile(const std::string& fileName, std::string_view extension) {
  std::string name = CompanionName(fileName, extension);
  std::string found = FindIgnoringCase(name);
  return found.empty() ? name : found;
}

}  // namespace quintrel::module
