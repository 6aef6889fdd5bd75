#include "platform/win32/localedef.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "platform/rtl/filebytes.h"
#include "platform/rtl/utf8.h"
#include "strings/localeconsts.h"

namespace quintrel::win32 {

namespace {

namespace qs = quintrel::strings;

// A category as one file writes it: its own keywords and the definition it copies.
struct TRawCategory {
  TLocaleCategory Keywords;
  std::string CopyName;
  int CopyLine = 0;
};

struct TParsedFile {
  std::map<std::string, TRawCategory, std::less<>> Categories;
};

[[noreturn]] void Fail(const std::string& file, int line, const std::string& reason) {
  throw ELocaleError(line > 0 ? rtl::Format(qs::_SLocaleFault, file, line, reason)
                              : rtl::Format(qs::_SLocaleFileFault, file, reason));
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}
std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool IsHex(char c) { return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'); }
int HexValue(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

// A plain file name: what copy may name and what a locale name may be.
bool IsPlainName(std::string_view name) {
  if (name.empty() || name.size() > 255 || name.front() == '.') return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '@' || c == '+' || c == '.';
  });
}

// Reads one file's categories. Lines are read one at a time and the work per line is
// proportional to its length; nothing backtracks.
class TFileParser {
public:
  TFileParser(const std::string& fileName, std::string_view data, const std::vector<std::string>& wanted)
      : fileName_(fileName), data_(data), wanted_(wanted) {}

  TParsedFile Parse() {
    TParsedFile result;
    std::string_view physical;
    TRawCategory* current = nullptr;
    std::string currentName, skipping;
    int categoryLine = 0, skippingLine = 0;
    while (NextPhysical(physical)) {
      std::string_view text = TrimLeft(physical);
      if (!skipping.empty()) {
        // A category we do not read is passed over without interpreting its lines.
        if (IsEndOf(text, skipping)) skipping.clear();
        continue;
      }
      if (text.empty() || text.front() == comment_) continue;
      at_ = line_;  // faults are reported at the line the statement starts on
      const std::string logical = Logical(text);
      statementLength_ = logical.size();
      std::string_view rest = logical;
      const std::string word = Word(rest);
      if (!current) {
        if (word == "comment_char" || word == "escape_char") {
          const std::string_view value = TrimRight(TrimLeft(rest));
          if (value.size() != 1) Fail(fileName_, at_, rtl::Format(qs::_SLocaleBadDeclaration, word));
          (word == "comment_char" ? comment_ : escape_) = value.front();
        } else if (word.starts_with("LC_") && AtEnd(rest)) {
          if (std::find(wanted_.begin(), wanted_.end(), word) == wanted_.end()) {
            skipping = word;
            skippingLine = at_;
          } else {
            if (result.Categories.contains(word)) Fail(fileName_, at_, rtl::Format(qs::_SLocaleUnexpected, word));
            current = &result.Categories[word];
            currentName = word;
            categoryLine = at_;
          }
        } else {
          Fail(fileName_, at_, rtl::Format(qs::_SLocaleUnexpected, Shown(logical)));
        }
      } else if (word == "END") {
        const std::string name = Word(rest);
        if (name != currentName || !AtEnd(rest))
          Fail(fileName_, at_, rtl::Format(qs::_SLocaleBadEnd, Shown(name), currentName));
        current = nullptr;
      } else if (word == "copy") {
        std::vector<TLocaleValue> values = Values(rest);
        if (values.size() != 1 || !values[0].Quoted) Fail(fileName_, at_, qs::_SLocaleBadCopy);
        const std::string name = rtl::WideToUtf8(values[0].Text);
        if (!IsPlainName(name)) Fail(fileName_, at_, qs::_SLocaleBadCopy);
        if (!current->CopyName.empty()) Fail(fileName_, at_, rtl::Format(qs::_SLocaleTwoCopies, currentName));
        current->CopyName = name;
        current->CopyLine = at_;
      } else {
        if (!IsKeyword(word)) Fail(fileName_, at_, rtl::Format(qs::_SLocaleUnexpected, Shown(logical)));
        std::vector<TLocaleValue> values = Values(rest);
        if (current->Keywords.size() >= kMaxLocaleKeywords && !current->Keywords.contains(word))
          Fail(fileName_, at_,
               rtl::Format(qs::_SLocaleTooManyKeywords, static_cast<int>(kMaxLocaleKeywords), currentName));
        current->Keywords[word] = std::move(values);
      }
    }
    if (current) Fail(fileName_, categoryLine, rtl::Format(qs::_SLocaleNotClosed, currentName, currentName));
    if (!skipping.empty()) Fail(fileName_, skippingLine, rtl::Format(qs::_SLocaleNotClosed, skipping, skipping));
    return result;
  }

private:
  // The next line of the file without its line end; false at the end of the data.
  bool NextPhysical(std::string_view& line) {
    if (pos_ >= data_.size()) return false;
    size_t end = data_.find('\n', pos_);
    if (end == std::string_view::npos) end = data_.size();
    line = data_.substr(pos_, end - pos_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = end + 1;
    ++line_;
    if (line.size() > kMaxLocaleLineLength)
      Fail(fileName_, line_, rtl::Format(qs::_SLocaleLineTooLong, static_cast<int>(kMaxLocaleLineLength)));
    return true;
  }

  // Whether a line ends with an escape character that is not itself escaped.
  bool Continues(std::string_view line) const {
    line = TrimRight(line);
    size_t run = 0;
    while (run < line.size() && line[line.size() - 1 - run] == escape_) ++run;
    return run % 2 == 1;
  }

  // The part of a line before its comment; `inString` carries whether a string continued
  // from the line before is open, and tells the next line whether one still is.
  std::string_view Uncommented(std::string_view line, bool& inString) const {
    for (size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      if (c == escape_) {
        ++i;
      } else if (c == '"') {
        inString = !inString;
      } else if (c == comment_ && !inString) {
        return line.substr(0, i);
      }
    }
    return line;
  }

  // The statement that starts on this line, with the lines it continues on joined to it.
  // Each line may end in a comment before the escape character that continues it.
  std::string Logical(std::string_view first) {
    std::string logical;
    bool inString = false;
    std::string_view piece = first;
    for (;;) {
      const bool continues = Continues(piece);
      if (continues) piece = TrimRight(piece).substr(0, TrimRight(piece).size() - 1);
      logical += Uncommented(piece, inString);
      if (logical.size() > kMaxLocaleLogicalLine)
        Fail(fileName_, at_, rtl::Format(qs::_SLocaleLogicalTooLong, static_cast<int>(kMaxLocaleLogicalLine)));
      if (!continues || !NextPhysical(piece)) return logical;
    }
  }

  static bool IsKeyword(std::string_view word) {
    return !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
      return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    });
  }

  bool IsEndOf(std::string_view text, std::string_view category) const {
    if (!text.starts_with("END")) return false;
    text.remove_prefix(3);
    if (text.empty() || !IsBlank(text.front())) return false;
    text = TrimLeft(text);
    return text.starts_with(category) && (text.size() == category.size() || IsBlank(text[category.size()]) ||
                                          text[category.size()] == comment_);
  }

  // The next run of characters up to a blank, a ';' or a comment.
  std::string Word(std::string_view& rest) const {
    rest = TrimLeft(rest);
    size_t n = 0;
    while (n < rest.size() && !IsBlank(rest[n]) && rest[n] != ';' && rest[n] != comment_) ++n;
    std::string word(rest.substr(0, n));
    rest.remove_prefix(n);
    return word;
  }

  bool AtEnd(std::string_view rest) const {
    rest = TrimLeft(rest);
    return rest.empty() || rest.front() == comment_;
  }

  // A piece of a faulty line for a message: short, so that the message stays one line.
  static std::string Shown(std::string_view text) {
    text = TrimRight(TrimLeft(text));
    if (text.size() <= 40) return std::string(text);
    size_t cut = 40;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return std::string(text.substr(0, cut)) + "...";
  }

  std::vector<TLocaleValue> Values(std::string_view& rest) {
    std::vector<TLocaleValue> values;
    rest = TrimLeft(rest);
    while (!AtEnd(rest)) {
      if (values.size() >= kMaxLocaleValues)
        Fail(fileName_, at_, rtl::Format(qs::_SLocaleTooManyValues, static_cast<int>(kMaxLocaleValues)));
      TLocaleValue value;
      if (rest.front() == '"') {
        value.Text = String(rest);
        value.Quoted = true;
      } else if (rest.front() == '<') {
        // Character symbols outside quotes are a text as well (the digits of alt_digits).
        while (!rest.empty() && rest.front() == '<') Append(value.Text, Symbol(rest));
        value.Quoted = true;
      } else {
        // A bare word takes the same characters a string does: a control character (a NUL
        // above all) would end the text early once it is stored in a fixed field.
        const std::string word = Word(rest);
        for (const char c : word)
          if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
            Fail(fileName_, at_, rtl::Format(qs::_SLocaleControl, static_cast<int>(c)));
        value.Text = rtl::Utf8ToWide(word);
      }
      values.push_back(std::move(value));
      rest = TrimLeft(rest);
      if (AtEnd(rest)) break;
      if (rest.front() != ';') Fail(fileName_, at_, rtl::Format(qs::_SLocaleUnexpected, Shown(rest)));
      rest.remove_prefix(1);
      rest = TrimLeft(rest);
    }
    return values;
  }

  void Append(std::u16string& text, char32_t c) {
    if (c < 0x20 && c != '\t')
      Fail(fileName_, at_, rtl::Format(qs::_SLocaleControl, static_cast<int>(c)));
    rtl::AppendUtf16(text, c);
    if (text.size() > kMaxLocaleStringUnits)
      Fail(fileName_, at_, rtl::Format(qs::_SLocaleStringTooLong, static_cast<int>(kMaxLocaleStringUnits)));
  }

  // <Uxxxx> with 4 to 8 hexadecimal digits naming a Unicode scalar value.
  char32_t Symbol(std::string_view& rest) {
    size_t n = 2;
    char32_t value = 0;
    bool valid = rest.size() > 1 && rest[1] == 'U';
    while (valid && n < rest.size() && n < 10 && IsHex(rest[n])) value = value * 16 + HexValue(rest[n++]);
    valid = valid && n >= 6 && n < rest.size() && rest[n] == '>' && value <= 0x10FFFF &&
            (value < 0xD800 || value > 0xDFFF);
    if (!valid) {
      const size_t close = rest.substr(0, 12).find('>');
      Fail(fileName_, at_, rtl::Format(qs::_SLocaleBadSymbol, Shown(rest.substr(0, close == std::string_view::npos ? 10 : close + 1))));
    }
    rest.remove_prefix(n + 1);
    return value;
  }

  // A "..." string; `rest` is the end of the statement, which gives a column.
  std::u16string String(std::string_view& rest) {
    std::u16string text;
    rest.remove_prefix(1);
    for (;;) {
      if (rest.empty()) Fail(fileName_, at_, qs::_SLocaleUnterminated);
      const char c = rest.front();
      if (c == '"') {
        rest.remove_prefix(1);
        return text;
      }
      if (c == '<') {
        Append(text, Symbol(rest));
        continue;
      }
      size_t at = 0;
      if (c == escape_) {
        if (rest.size() < 2) Fail(fileName_, at_, qs::_SLocaleUnterminated);
        const char kind = rest[1];
        const bool digit = rest.size() > 2 && rest[2] >= '0' && rest[2] <= '9';
        if ((kind == 'x' && rest.size() > 2 && IsHex(rest[2])) || ((kind == 'd' || kind == 'o') && digit))
          Fail(fileName_, at_, rtl::Format(qs::_SLocaleByteEscape, Shown(rest.substr(0, 3))));
        at = 1;
      }
      const rtl::TCodePointAt cp = rtl::DecodeUtf8At(rest, at);
      if (!cp.Valid)
        Fail(fileName_, at_, rtl::Format(qs::_SLocaleBadUtf8, static_cast<int>(statementLength_ - rest.size() + at + 1)));
      Append(text, cp.CodePoint);
      rest.remove_prefix(at + cp.Length);
    }
  }

  const std::string& fileName_;
  std::string_view data_;
  const std::vector<std::string>& wanted_;
  size_t pos_ = 0;
  int line_ = 0;  // the last line read
  int at_ = 0;    // the line the statement being interpreted starts on
  size_t statementLength_ = 0;
  char comment_ = '#';
  char escape_ = '\\';
};

// Reads definitions and resolves their copies, each file parsed once.
class TDefinitionReader {
public:
  explicit TDefinitionReader(const std::vector<std::string>& wanted) : wanted_(wanted) {}

  // Reads a file; a failure is reported at the line that copies it, when there is one.
  const TParsedFile& Load(const std::string& path, const std::string& referrer = {}, int refLine = 0,
                          const std::string& copyName = {}) {
    auto found = files_.find(path);
    if (found != files_.end()) return found->second;
    rtl::TFileBytes bytes = rtl::ReadRegularFile(path, kMaxLocaleFileSize);
    if (!bytes) {
      if (referrer.empty()) Fail(path, 0, bytes.Reason());
      Fail(referrer, refLine, rtl::Format(qs::_SLocaleCopyUnreadable, copyName, bytes.Reason()));
    }
    TParsedFile parsed = TFileParser(path, bytes.Data, wanted_).Parse();
    return files_.emplace(path, std::move(parsed)).first->second;
  }

  // The category as the file defines it with what it copies laid under it; nullopt when
  // the file does not define it. `chain` holds the files being read, outermost first.
  std::optional<TLocaleCategory> Resolve(const std::string& path, const std::string& category,
                                         std::vector<std::string>& chain) {
    const TParsedFile& file = files_.at(path);
    auto found = file.Categories.find(category);
    if (found == file.Categories.end()) return std::nullopt;
    const TRawCategory& raw = found->second;
    TLocaleCategory result;
    if (!raw.CopyName.empty()) {
      const std::string target = Canonical((std::filesystem::path(path).parent_path() / raw.CopyName).string());
      if (std::find(chain.begin(), chain.end(), target) != chain.end())
        Fail(path, raw.CopyLine, rtl::Format(qs::_SLocaleCopyCycle, raw.CopyName));
      if (chain.size() >= static_cast<size_t>(kMaxLocaleCopyDepth))
        Fail(path, raw.CopyLine, rtl::Format(qs::_SLocaleCopyDepth, raw.CopyName, kMaxLocaleCopyDepth));
      Load(target, path, raw.CopyLine, raw.CopyName);
      chain.push_back(target);
      std::optional<TLocaleCategory> copied = Resolve(target, category, chain);
      chain.pop_back();
      if (!copied) Fail(path, raw.CopyLine, rtl::Format(qs::_SLocaleCopyMissing, raw.CopyName, category));
      result = std::move(*copied);
    }
    for (const auto& [keyword, values] : raw.Keywords) result[keyword] = values;
    return result;
  }

  static std::string Canonical(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
  }

private:
  const std::vector<std::string>& wanted_;
  std::map<std::string, TParsedFile> files_;
};

}  // namespace

const std::vector<std::string>& RegionalCategories() {
  static const std::vector<std::string> categories = {"LC_IDENTIFICATION", "LC_ADDRESS", "LC_TIME", "LC_NUMERIC",
                                                      "LC_MONETARY"};
  return categories;
}

bool TLocaleDefinition::HasCategory(std::string_view category) const { return categories_.contains(category); }

const std::vector<TLocaleValue>* TLocaleDefinition::Values(std::string_view category, std::string_view keyword) const {
  auto c = categories_.find(category);
  if (c == categories_.end()) return nullptr;
  auto k = c->second.find(keyword);
  return k == c->second.end() ? nullptr : &k->second;
}

std::optional<std::u16string> TLocaleDefinition::Text(std::string_view category, std::string_view keyword) const {
  const std::vector<TLocaleValue>* values = Values(category, keyword);
  if (!values || values->empty()) return std::nullopt;
  return values->front().Text;
}

std::optional<int> TLocaleDefinition::Number(std::string_view category, std::string_view keyword) const {
  std::optional<std::u16string> text = Text(category, keyword);
  if (!text || text->empty() || text->size() > 10) return std::nullopt;
  std::u16string_view digits = *text;
  const bool negative = digits.front() == u'-';
  if (negative) digits.remove_prefix(1);
  if (digits.empty()) return std::nullopt;
  int value = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
  }
  return negative ? -value : value;
}

TLocaleDefinition ReadLocaleDefinition(const std::string& fileName, const std::vector<std::string>& categories) {
  TDefinitionReader reader(categories);
  const std::string path = TDefinitionReader::Canonical(fileName);
  reader.Load(path);
  TLocaleDefinition definition;
  definition.fileName_ = fileName;
  for (const std::string& category : categories) {
    std::vector<std::string> chain{path};
    std::optional<TLocaleCategory> resolved = reader.Resolve(path, category, chain);
    if (resolved) definition.categories_.emplace(category, std::move(*resolved));
  }
  return definition;
}

std::string LocaleDefinitionPath(const std::string& nameOrPath, const std::string& directory) {
  if (nameOrPath.find('/') != std::string::npos) return nameOrPath;
  // "de_DE.UTF-8@euro" names the definition de_DE@euro.
  std::string name = nameOrPath;
  const size_t dot = name.find('.');
  if (dot != std::string::npos) {
    const size_t at = name.find('@', dot);
    name = name.substr(0, dot) + (at == std::string::npos ? std::string() : name.substr(at));
  }
  if (!IsPlainName(name)) throw ELocaleError(rtl::Format(qs::_SLocaleBadName, nameOrPath));
  const std::string path = directory + "/" + name;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) throw ELocaleError(rtl::Format(qs::_SLocaleNotFound, name, directory));
  return path;
}

}  // namespace quintrel::win32
