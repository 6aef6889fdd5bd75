#include "platform/rtl/registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/rtl/filebytes.h"
#include "strings/regconsts.h"

namespace quintrel::rtl {

namespace {

namespace rs = quintrel::strings;

// A registry is a few kilobytes; a file far beyond that is not one.
constexpr std::size_t kMaxRegistrySize = std::size_t{16} << 20;

// The file in memory: sections in file order, each with its values in file order.
struct TIniSection {
  std::string Name;
  std::vector<std::pair<std::string, std::string>> Values;
};
using TIniFile = std::vector<TIniSection>;

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

// Whether a text must be quoted to read back the same as a name or as a value.
bool NeedsQuotes(std::string_view s, bool isName) {
  if (s.empty()) return false;
  if (s.front() == ' ' || s.front() == '\t' || s.back() == ' ' || s.back() == '\t' || s.front() == '"') return true;
  if (isName && (s.front() == '[' || s.front() == ';' || s.front() == '#')) return true;
  for (char c : s) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    if (isName && (c == '=' || c == ']')) return true;
  }
  return false;
}

std::string Quote(std::string_view s, bool isName) {
  if (!NeedsQuotes(s, isName)) return std::string(s);
  std::string q = "\"";
  for (char c : s) {
    switch (c) {
      case '\\': q += "\\\\"; break;
      case '"': q += "\\\""; break;
      case '\n': q += "\\n"; break;
      case '\r': q += "\\r"; break;
      case '\t': q += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          q += "\\x" + IntToHex(static_cast<unsigned char>(c), 2);
        } else {
          q += c;
        }
    }
  }
  return q + "\"";
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The text of a name or value as written: a quoted text is unescaped, anything else is
// taken with surrounding blanks removed. An unknown escape keeps its character.
std::string Unquote(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  if (s.size() < 2 || s.front() != '"' || s.back() != '"') return std::string(s);
  s = s.substr(1, s.size() - 2);
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    char e = s[++i];
    switch (e) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'x':
        if (i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
          out += static_cast<char>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
          i += 2;
        } else {
          out += 'x';
        }
        break;
      default: out += e;
    }
  }
  return out;
}

// Splits "name=value" at the first '=' outside the quotes of a quoted name.
bool SplitValueLine(std::string_view line, std::string& name, std::string& value) {
  size_t start = line.find_first_not_of(" \t");
  if (start == std::string_view::npos) return false;
  size_t eq = std::string_view::npos;
  if (line[start] == '"') {
    for (size_t i = start + 1; i < line.size(); ++i) {
      if (line[i] == '\\') {
        ++i;
      } else if (line[i] == '"') {
        eq = line.find('=', i + 1);
        break;
      }
    }
  } else {
    eq = line.find('=');
  }
  if (eq == std::string_view::npos) return false;
  name = Unquote(line.substr(0, eq));
  value = Unquote(line.substr(eq + 1));
  return true;
}

TIniFile Parse(std::string_view text) {
  TIniFile file;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) continue;
    if (line[first] == ';' || line[first] == '#') continue;
    if (line[first] == '[') {
      size_t close = line.rfind(']');
      if (close == std::string_view::npos || close <= first) continue;
      file.push_back({Unquote(line.substr(first + 1, close - first - 1)), {}});
      continue;
    }
    std::string name, value;
    if (file.empty() || !SplitValueLine(line, name, value)) continue;
    file.back().Values.emplace_back(std::move(name), std::move(value));
  }
  return file;
}

std::string Render(const TIniFile& file) {
  std::string text;
  for (const TIniSection& section : file) {
    if (!text.empty()) text += "\n";
    text += "[" + Quote(section.Name, true) + "]\n";
    for (const auto& [name, value] : section.Values) text += Quote(name, true) + "=" + Quote(value, false) + "\n";
  }
  return text;
}

// The file as stored; a missing file is an empty registry.
TIniFile Load(const std::string& fileName) {
  TFileBytes file = ReadRegularFile(fileName, kMaxRegistrySize);
  if (file.Fault == TReadFault::rfSystem && (file.Error == ENOENT || file.Error == ENOTDIR)) return {};
  if (!file) throw ERegistryException(Format(rs::_SRegReadError, fileName, file.Reason()));
  return Parse(file.Data);
}

[[noreturn]] void WriteFailed(const std::string& fileName) {
  throw ERegistryException(Format(rs::_SRegWriteError, fileName, std::strerror(errno)));
}

// Writes the whole text to a temporary file beside fileName and renames it over the file.
void Store(const std::string& fileName, const std::string& text) {
  std::string temp = fileName + ".tmp" + std::to_string(::getpid());
  {
    TFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (fd.Get() < 0) WriteFailed(fileName);
    size_t done = 0;
    while (done < text.size()) {
      ssize_t n = ::write(fd.Get(), text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ::unlink(temp.c_str());
        WriteFailed(fileName);
      }
      done += static_cast<size_t>(n);
    }
    if (::fsync(fd.Get()) != 0) {
      ::unlink(temp.c_str());
      WriteFailed(fileName);
    }
  }
  if (::rename(temp.c_str(), fileName.c_str()) != 0) {
    int saved = errno;
    ::unlink(temp.c_str());
    errno = saved;
    WriteFailed(fileName);
  }
}

// Runs a change of the file under the exclusive lock of "<file>.lock": read, change,
// write back. Nothing is written when the change reports that it changed nothing.
template <typename TChange>
void Modify(const std::string& fileName, TChange change) {
  std::filesystem::path parent = std::filesystem::path(fileName).parent_path();
  std::error_code ec;
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  TFd lock(::open((fileName + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (lock.Get() < 0) WriteFailed(fileName);
  while (::flock(lock.Get(), LOCK_EX) != 0) {
    if (errno != EINTR) WriteFailed(fileName);
  }
  TIniFile file = Load(fileName);
  if (change(file)) Store(fileName, Render(file));
  // Closing the descriptor releases the lock.
}

TIniSection* FindSection(TIniFile& file, std::string_view name) {
  for (TIniSection& s : file)
    if (SameName(s.Name, name)) return &s;
  return nullptr;
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return ".";
}

}  // namespace

std::string RegistryFileName() {
  if (const char* config = std::getenv("QUINTREL_CONFIG"); config && *config) return config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
    return std::string(xdg) + "/quintrel/registry.ini";
  return HomeFolder() + "/.config/quintrel/registry.ini";
}

TRegIniFile::TRegIniFile(std::string key) : TRegIniFile(std::move(key), RegistryFileName()) {}

TRegIniFile::TRegIniFile(std::string key, std::string iniFileName)
    : key_(std::move(key)), fileName_(std::move(iniFileName)) {}

std::string TRegIniFile::SectionName(std::string_view section) const {
  if (section.empty()) return key_;
  if (key_.empty()) return std::string(section);
  return key_ + "\\" + std::string(section);
}

std::string TRegIniFile::ReadString(std::string_view section, std::string_view ident,
                                    std::string_view defaultValue) const {
  TIniFile file = Load(fileName_);
  if (const TIniSection* s = FindSection(file, SectionName(section))) {
    for (const auto& [name, value] : s->Values)
      if (SameName(name, ident)) return value;
  }
  return std::string(defaultValue);
}

namespace {

// Sets the value of ident in the file; with `expected`, only while the value stored
// (empty when missing) equals it. True when the value is now `value`.
bool PutValue(TIniFile& file, const std::string& sectionName, std::string_view ident, std::string_view value,
              const std::string_view* expected, bool& changed) {
  changed = false;
  TIniSection* s = FindSection(file, sectionName);
  std::string* old = nullptr;
  if (s) {
    for (auto& [name, v] : s->Values)
      if (SameName(name, ident)) {
        old = &v;
        break;
      }
  }
  std::string_view current = old ? std::string_view(*old) : std::string_view();
  if (expected && current != *expected) return current == value;
  if (old && *old == value) return true;
  if (old) {
    *old = value;
  } else {
    if (!s) {
      file.push_back({sectionName, {}});
      s = &file.back();
    }
    s->Values.emplace_back(std::string(ident), std::string(value));
  }
  changed = true;
  return true;
}

}  // namespace

void TRegIniFile::WriteString(std::string_view section, std::string_view ident, std::string_view value) {
  std::string sectionName = SectionName(section);
  Modify(fileName_, [&](TIniFile& file) {
    bool changed;
    PutValue(file, sectionName, ident, value, nullptr, changed);
    return changed;
  });
}

bool TRegIniFile::ReplaceString(std::string_view section, std::string_view ident, std::string_view expected,
                                std::string_view value) {
  std::string sectionName = SectionName(section);
  bool result = false;
  Modify(fileName_, [&](TIniFile& file) {
    bool changed;
    result = PutValue(file, sectionName, ident, value, &expected, changed);
    return changed;
  });
  return result;
}

int32_t TRegIniFile::ReadInteger(std::string_view section, std::string_view ident, int32_t defaultValue) const {
  int64_t value;
  std::string text = ReadString(section, ident, "");
  if (!TryStrToInt(text, value) || value < INT32_MIN || value > INT32_MAX) return defaultValue;
  return static_cast<int32_t>(value);
}

void TRegIniFile::WriteInteger(std::string_view section, std::string_view ident, int32_t value) {
  WriteString(section, ident, IntToStr(value));
}

bool TRegIniFile::ReadBool(std::string_view section, std::string_view ident, bool defaultValue) const {
  return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

void TRegIniFile::WriteBool(std::string_view section, std::string_view ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

bool TRegIniFile::ValueExists(std::string_view section, std::string_view ident) const {
  TIniFile file = Load(fileName_);
  const TIniSection* s = FindSection(file, SectionName(section));
  return s && std::any_of(s->Values.begin(), s->Values.end(), [&](const auto& v) { return SameName(v.first, ident); });
}

bool TRegIniFile::SectionExists(std::string_view section) const {
  TIniFile file = Load(fileName_);
  return FindSection(file, SectionName(section)) != nullptr;
}

std::vector<std::string> TRegIniFile::ReadSection(std::string_view section) const {
  std::vector<std::string> names;
  for (auto& [name, value] : ReadSectionValues(section)) names.push_back(name);
  return names;
}

std::vector<std::pair<std::string, std::string>> TRegIniFile::ReadSectionValues(std::string_view section) const {
  TIniFile file = Load(fileName_);
  const TIniSection* s = FindSection(file, SectionName(section));
  return s ? s->Values : std::vector<std::pair<std::string, std::string>>{};
}

std::vector<std::string> TRegIniFile::ReadSections() const {
  std::vector<std::string> sections;
  std::string prefix = key_.empty() ? "" : key_ + "\\";
  for (const TIniSection& s : Load(fileName_)) {
    if (s.Name.size() <= prefix.size() || !SameName(std::string_view(s.Name).substr(0, prefix.size()), prefix))
      continue;
    std::string rest = s.Name.substr(prefix.size());
    rest = rest.substr(0, rest.find('\\'));
    bool seen = std::any_of(sections.begin(), sections.end(), [&](const std::string& x) { return SameName(x, rest); });
    if (!seen) sections.push_back(rest);
  }
  return sections;
}

void TRegIniFile::EraseSection(std::string_view section) {
  std::string sectionName = SectionName(section);
  Modify(fileName_, [&](TIniFile& file) {
    auto it = std::remove_if(file.begin(), file.end(), [&](const TIniSection& s) { return SameName(s.Name, sectionName); });
    if (it == file.end()) return false;
    file.erase(it, file.end());
    return true;
  });
}

void TRegIniFile::DeleteKey(std::string_view section, std::string_view ident) {
  std::string sectionName = SectionName(section);
  Modify(fileName_, [&](TIniFile& file) {
    TIniSection* s = FindSection(file, sectionName);
    if (!s) return false;
    auto it = std::remove_if(s->Values.begin(), s->Values.end(), [&](const auto& v) { return SameName(v.first, ident); });
    if (it == s->Values.end()) return false;
    s->Values.erase(it, s->Values.end());
    return true;
  });
}

}  // namespace quintrel::rtl
