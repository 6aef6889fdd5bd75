#include "cli/texts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <set>

#include "cli/common.h"
#include "cli/zod_common.h"
#include "platform/vcl/classes.h"
#include "strings/qconsts.h"
#include "text/codepages.h"
#include "text/unicode.h"

namespace quintrel::cli {

namespace qs = quintrel::strings;

std::string EscapedText(const std::u16string& text) {
  std::u16string shown;
  for (char16_t c : text) {
    switch (c) {
      case u'\\': shown += u"\\\\"; break;
      case u'\n': shown += u"\\n"; break;
      case u'\r': shown += u"\\r"; break;
      case u'\t': shown += u"\\t"; break;
      default:
        if (c < 0x20) {
          static const char16_t hex[] = u"0123456789ABCDEF";
          shown += u"\\x";
          shown += hex[c >> 4];
          shown += hex[c & 15];
        } else {
          shown += c;
        }
    }
  }
  return text::WideToUtf8(shown);
}

namespace {

// Reads at most `limit` + 1 bytes of an open descriptor; false with errno on failure.
bool ReadUpTo(int fd, size_t limit, std::string& bytes) {
  bytes.resize(limit + 1);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  bytes.resize(done);
  return true;
}

}  // namespace

std::u16string ReadTextFile(const std::string& fileName) {
  const bool standardInput = fileName == "-";
  const std::string shown = standardInput ? std::string("standard input") : fileName;
  std::string bytes;
  if (standardInput) {
    if (!ReadUpTo(STDIN_FILENO, kMaxTextFileSize, bytes))
      throw ECommandFailed(rtl::Format(qs::_SCliReadFailed, shown, std::strerror(errno)));
  } else {
    // Not blocking: a pipe or a device named as the file is refused, not waited for.
    int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      if (errno == ENOENT) throw ECommandFailed(rtl::Format(qs::_SCliFileNotFound, fileName));
      throw ECommandFailed(rtl::Format(qs::_SCliReadFailed, fileName, std::strerror(errno)));
    }
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const bool read = regular && ReadUpTo(fd, kMaxTextFileSize, bytes);
    const int error = errno;
    ::close(fd);
    if (!regular) throw ECommandFailed(rtl::Format(qs::_SCliNotRegularFile, fileName));
    if (!read) throw ECommandFailed(rtl::Format(qs::_SCliReadFailed, fileName, std::strerror(error)));
  }
  if (bytes.size() > kMaxTextFileSize)
    throw ECommandFailed(rtl::Format(qs::_SCliTextFileTooLarge, shown, static_cast<int>(kMaxTextFileSize)));
  // A file written by an editor or echo ends with a line end that is not part of the text.
  if (!bytes.empty() && bytes.back() == '\n') bytes.pop_back();
  if (!bytes.empty() && bytes.back() == '\r') bytes.pop_back();
  return StoredText(bytes, shown);
}

bool IsPropertyPath(std::string_view path) {
  // Segments "Name" or "Name[digits]", joined by single dots.
  while (true) {
    size_t end = path.find_first_of(".[");
    if (!vcl::IsValidIdent(path.substr(0, end))) return false;
    if (end == std::string_view::npos) return true;
    if (path[end] == '[') {
      size_t close = path.find(']', end);
      std::string_view digits = path.substr(end + 1, close == std::string_view::npos ? 0 : close - end - 1);
      if (close == std::string_view::npos || digits.empty() || digits.size() > 9 ||
          digits.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
      end = close + 1;
      if (end == path.size()) return true;
      if (path[end] != '.') return false;
    }
    path.remove_prefix(end + 1);
  }
}

void CheckName(std::string_view name, TNameKind kind, std::string_view argName) {
  StoredText(name, argName);  // ill-formed UTF-8 is named with its offset first
  bool ok = false;
  switch (kind) {
    case TNameKind::Form: ok = vcl::IsValidIdent(name); break;
    case TNameKind::Component: ok = name.empty() || vcl::IsValidIdent(name); break;
    case TNameKind::Property: ok = IsPropertyPath(name); break;
  }
  if (ok) return;
  const char* format = kind == TNameKind::Property    ? qs::_SCliBadPropertyPath
                       : kind == TNameKind::Component ? qs::_SCliBadComponentName
                                                      : qs::_SCliBadFormName;
  throw ECommandFailed(rtl::Format(format, argName, name));
}

std::string LostCharacters(const std::u16string& text, int charset) {
  const bool convertible = text::CharsetToCodePage(charset) != 0;
  try {
    if (convertible && text::ByteToUnicode(text::UnicodeToByte(text, charset), charset) == text) return {};
  } catch (const text::ECodePageNotInstalled&) {
    return {};  // nothing to tell without the converter
  }
  std::string list;
  std::set<char32_t> seen;
  for (size_t i = 0; i < text.size();) {
    size_t length = 1;
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      length = 2;
    }
    const std::u16string unit = text.substr(i, length);
    i += length;
    if (!seen.insert(c).second) continue;
    bool held = c < 0x80;
    if (convertible && !held) held = text::ByteToUnicode(text::UnicodeToByte(unit, charset), charset) == unit;
    if (held) continue;
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    list += (list.empty() ? "" : ", ") + text::WideToUtf8(unit) + " (" + code + ")";
  }
  return list;
}

void WarnLostCharacters(const std::string& fileName, module::TLanguageId language, int charset,
                        const std::u16string& text) {
  const std::string lost = LostCharacters(text, charset);
  if (lost.empty()) return;
  std::cerr << "quintrel: " << rtl::Format(qs::_SCliLostCharacters, fileName, FormatLanguageId(language), charset,
                           static_cast<int>(text::CharsetToCodePage(charset)), lost)
            << "\n";
}

}  // namespace quintrel::cli
