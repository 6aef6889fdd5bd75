#include "cli/jsonl.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "cli/common.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"
#include "strings/qconsts.h"
#include "text/unicode.h"

namespace quintrel::cli {

namespace {

void Escape(std::string& out, char32_t c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
  out += buf;
}

void AppendSimple(std::string& out, char32_t c) {
  switch (c) {
    case '"': out += "\\\""; break;
    case '\\': out += "\\\\"; break;
    case '\n': out += "\\n"; break;
    case '\r': out += "\\r"; break;
    case '\t': out += "\\t"; break;
    default:
      if (c < 0x20) Escape(out, c);
      else text::AppendUtf8(out, c);
  }
}

class TParser {
public:
  explicit TParser(std::string_view s) : s_(s) {}

  TJsonRecord Record() {
    TJsonRecord record;
    Blank();
    Expect('{');
    Blank();
    if (Peek() == '}') {
      ++i_;
    } else {
      for (;;) {
        Blank();
        std::u16string key = String();
        Blank();
        Expect(':');
        Blank();
        record.emplace_back(text::WideToUtf8(key), Value());
        Blank();
        if (Peek() == ',') {
          ++i_;
          continue;
        }
        Expect('}');
        break;
      }
    }
    Blank();
    if (i_ != s_.size()) Fail("text after the record");
    return record;
  }

private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw std::runtime_error("column " + std::to_string(i_ + 1) + ": " + what);
  }
  char Peek() const { return i_ < s_.size() ? s_[i_] : '\0'; }
  void Blank() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r')) ++i_;
  }
  void Expect(char c) {
    if (Peek() != c) Fail(std::string("expected '") + c + "'");
    ++i_;
  }
  bool Word(std::string_view w) {
    if (s_.substr(i_, w.size()) != w) return false;
    i_ += w.size();
    return true;
  }

  TJsonValue Value() {
    char c = Peek();
    if (c == '"') return String();
    if (c == '{') {
      ++i_;
      Blank();
      std::u16string key = String();
      if (key != u"hex") Fail("an object value must be {\"hex\": \"...\"}");
      Blank();
      Expect(':');
      Blank();
      std::u16string hex = String();
      Blank();
      Expect('}');
      if (hex.size() % 2 != 0) Fail("odd number of hex digits");
      TJsonHex bytes;
      for (size_t k = 0; k < hex.size(); k += 2) {
        int hi = Hex(hex[k]), lo = Hex(hex[k + 1]);
        if (hi < 0 || lo < 0) Fail("bad hex digit");
        bytes.bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
      }
      return bytes;
    }
    if (Word("true")) return true;
    if (Word("false")) return false;
    if (Word("null")) return nullptr;
    size_t start = i_;
    while (i_ < s_.size() && std::string_view("+-0123456789.eE").find(s_[i_]) != std::string_view::npos) ++i_;
    if (start == i_) Fail("expected a value");
    std::string number(s_.substr(start, i_ - start));
    char* end = nullptr;
    double v = std::strtod(number.c_str(), &end);
    if (end != number.c_str() + number.size() || !std::isfinite(v)) Fail(ShortMessage("bad number " + number));
    return v;
  }

  static int Hex(char16_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  // A string literal as UTF-16 units; \uXXXX gives the unit itself, paired or not.
  std::u16string String() {
    Expect('"');
    std::u16string out;
    for (;;) {
      if (i_ >= s_.size()) Fail("unterminated string");
      unsigned char c = static_cast<unsigned char>(s_[i_]);
      if (c == '"') {
        ++i_;
        return out;
      }
      if (c == '\\') {
        ++i_;
        char e = Peek();
        ++i_;
        switch (e) {
          case '"': out += u'"'; break;
          case '\\': out += u'\\'; break;
          case '/': out += u'/'; break;
          case 'b': out += u'\b'; break;
          case 'f': out += u'\f'; break;
          case 'n': out += u'\n'; break;
          case 'r': out += u'\r'; break;
          case 't': out += u'\t'; break;
          case 'u': {
            if (i_ + 4 > s_.size()) Fail("short \\u escape");
            int v = 0;
            for (int k = 0; k < 4; ++k) {
              int h = Hex(static_cast<char16_t>(s_[i_ + k]));
              if (h < 0) Fail("bad \\u escape");
              v = v * 16 + h;
            }
            i_ += 4;
            out += static_cast<char16_t>(v);
            break;
          }
          default:
            Fail("bad escape");
        }
        continue;
      }
      if (c < 0x20) Fail("control character in a string");
      // One UTF-8 sequence. The text is stored, so an ill-formed one refuses the line at
      // the byte where it starts.
      const rtl::TCodePointAt at = rtl::DecodeUtf8At(s_, i_);
      if (!at.Valid) Fail("invalid UTF-8");
      rtl::AppendUtf16(out, at.CodePoint);
      i_ += at.Length;
    }
  }

  std::string_view s_;
  size_t i_ = 0;
};

}  // namespace

std::string JsonString(std::u16string_view units) {
  std::string out = "\"";
  for (size_t i = 0; i < units.size();) {
    const rtl::TCodePointAt at = rtl::DecodeUtf16At(units, i);
    // An unpaired surrogate has no UTF-8 form; the escape keeps it through a dump and a load.
    if (at.Valid) {
      AppendSimple(out, at.CodePoint);
    } else {
      Escape(out, at.CodePoint);
    }
    i += at.Length;
  }
  return out + "\"";
}

std::string JsonString(std::string_view utf8) { return JsonString(text::Utf8ToWide(utf8)); }

TJsonRecord ParseJsonRecord(std::string_view line) { return TParser(line).Record(); }

int JsonDepth(std::string_view text) {
  int depth = 0, deepest = 0;
  bool inString = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (inString) {
      if (c == '\\') ++i;
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      deepest = std::max(deepest, ++depth);
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return deepest;
}

std::string ShortMessage(std::string_view message) {
  constexpr size_t kLimit = 160;
  std::string out;
  for (char c : message.substr(0, std::min(message.size(), kLimit)))
    out += (static_cast<unsigned char>(c) < 0x20) ? ' ' : c;
  if (message.size() <= kLimit) return out;
  // Cut before a partial UTF-8 sequence.
  size_t cut = out.size();
  while (cut > 0 && (static_cast<unsigned char>(out[cut - 1]) & 0xC0) == 0x80) --cut;
  if (cut > 0 && static_cast<unsigned char>(out[cut - 1]) >= 0xC0) --cut;
  out.resize(cut);
  return out + "...";
}

nlohmann::json ReadJsonFile(const std::string& fileName) {
  namespace qs = quintrel::strings;
  auto fail = [&](const std::string& what) { return ECommandFailed(rtl::Format(qs::_SCliBadJson, fileName, what)); };
  // Not blocking: a pipe or a device is refused, not waited for.
  int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) throw ECommandFailed(rtl::Format(qs::_SCliFileNotFound, fileName));
    throw ECommandFailed(rtl::Format(qs::_SCliReadFailed, fileName, std::strerror(errno)));
  }
  std::string text;
  struct stat st {};
  int error = 0;
  bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (regular && static_cast<uint64_t>(st.st_size) <= kMaxJsonFileSize) {
    text.resize(kMaxJsonFileSize + 1);
    size_t done = 0;
    while (done < text.size()) {
      ssize_t n = ::read(fd, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) error = errno;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    text.resize(done);
  }
  ::close(fd);
  if (!regular) throw ECommandFailed(rtl::Format(qs::_SCliNotRegularFile, fileName));
  if (error) throw ECommandFailed(rtl::Format(qs::_SCliReadFailed, fileName, std::strerror(error)));
  if (static_cast<uint64_t>(st.st_size) > kMaxJsonFileSize || text.size() > kMaxJsonFileSize)
    throw fail(rtl::Format(qs::_SCliJsonTooLarge, static_cast<int>(kMaxJsonFileSize)));
  if (JsonDepth(text) > kMaxJsonDepth) throw fail(rtl::Format(qs::_SCliJsonTooDeep, kMaxJsonDepth));
  try {
    return nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception& e) {
    throw fail(ShortMessage(e.what()));
  }
}

}  // namespace quintrel::cli
