#include "platform/ide/linker.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <limits>
#include <optional>
#include <set>

#include "platform/rtl/filebytes.h"
#include "platform/rtl/sysutils.h"
#include "platform/vcl/charsets.h"
#include "platform/win32/resources.h"
#include "strings/hostconsts.h"

namespace quintrel::host {

namespace fs = std::filesystem;

namespace {

constexpr unsigned kTopIdentifier = 0xFFFF;
constexpr size_t kMaxTextLength = 0xFFFF;
constexpr size_t kMaxConstantText = 1 << 22;  // characters of a unit's text constants held at once
constexpr int kMaxIncludeDepth = 32;
constexpr int kMaxExpressionDepth = 256;

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

[[noreturn]] void Fail(const std::string& file, int line, const std::string& what) {
  throw EProjectError(rtl::Format(strings::_SStringSyntax, file, line, what));
}

// Narrow source text in the compiler's code page, decoded piece by piece so that escapes
// can put single code units between the pieces.
class TTextBuilder {
public:
  explicit TTextBuilder(unsigned codePage) : codec_(vcl::CodecForCodePage(static_cast<int>(codePage))) {}
  void Byte(char b) { bytes_ += b; }
  void Unit(char16_t u) {
    Flush();
    text_ += u;
  }
  std::u16string Take() {
    Flush();
    return std::move(text_);
  }

private:
  void Flush() {
    if (bytes_.empty()) return;
    text_ += codec_.ToWide(bytes_);
    bytes_.clear();
  }
  vcl::TTextCodec codec_;
  std::string bytes_;
  std::u16string text_;
};

// --- Pascal ------------------------------------------------------------------------------

// Tokens of both source languages. A directive is a Pascal {$...} comment's body or a
// script's #-line without the '#'.
enum class TTok { End, Ident, Integer, Real, String, Symbol, Directive };

struct TToken {
  TTok Kind = TTok::End;
  std::string Text;  // identifier, symbol or directive
  long long Value = 0;
  bool TooLarge = false;  // a number whose value Value does not hold
  std::u16string Str;
  int Line = 1;
  size_t Offset = 0;  // of the token's first byte
};

// What both lexers share: the text, where they are in it, and single-character symbols.
class TLexerBase {
protected:
  TLexerBase(std::string_view text, const std::string& file, unsigned codePage)
      : text_(text), file_(file), codePage_(codePage) {}
  char Peek(size_t ahead) const { return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0'; }
  TToken Symbol(TToken t) {
    t.Kind = TTok::Symbol;
    t.Text = std::string(1, text_[pos_++]);
    return t;
  }

  std::string_view text_;
  const std::string& file_;
  unsigned codePage_;
  size_t pos_ = 0;
  int line_ = 1;
};

class TPascalLexer : public TLexerBase {
public:
  TPascalLexer(std::string_view text, const std::string& file, unsigned codePage)
      : TLexerBase(text, file, codePage) {}

  TToken Next() {
    TToken t;
    // Comments are passed over here, in a loop: a run of them costs no stack.
    for (;;) {
      SkipBlanks();
      t.Line = line_;
      if (pos_ >= text_.size()) return t;
      const char c = text_[pos_];
      if (!(c == '{' || (c == '(' && Peek(1) == '*'))) break;
      if (Comment(t, c == '{')) return t;
    }
    const char c = text_[pos_];
    if (c == '\'' || c == '#') return String(t);
    if (IsIdentStart(c)) {
      t.Kind = TTok::Ident;
      while (pos_ < text_.size() && IsIdentChar(text_[pos_])) t.Text += text_[pos_++];
      return t;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || (c == '$' && std::isxdigit(static_cast<unsigned char>(Peek(1))))) {
      t.Kind = TTok::Integer;
      t.Value = Number(t.TooLarge);
      if (pos_ + 1 < text_.size() && text_[pos_] == '.' && std::isdigit(static_cast<unsigned char>(Peek(1)))) {
        t.Kind = TTok::Real;
        ++pos_;
        while (pos_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[pos_])))) ++pos_;
      }
      return t;
    }
    return Symbol(t);
  }

private:

  void SkipBlanks() {
    for (;;) {
      while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) {
        if (text_[pos_] == '\n') ++line_;
        ++pos_;
      }
      if (pos_ + 1 < text_.size() && text_[pos_] == '/' && text_[pos_ + 1] == '/') {
        while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
        continue;
      }
      return;
    }
  }

  // Passes a comment; true when it was a compiler directive (a body that begins with
  // '$'), which is then put into `t`.
  bool Comment(TToken& t, bool brace) {
    pos_ += brace ? 1 : 2;
    const size_t start = pos_;
    for (;;) {
      if (pos_ >= text_.size()) Fail(file_, t.Line, "unterminated comment");
      if (brace ? text_[pos_] == '}' : (text_[pos_] == '*' && Peek(1) == ')')) break;
      if (text_[pos_] == '\n') ++line_;
      ++pos_;
    }
    const std::string_view body = text_.substr(start, pos_ - start);
    pos_ += brace ? 1 : 2;
    if (body.empty() || body.front() != '$') return false;
    t.Kind = TTok::Directive;
    t.Text = std::string(body.substr(1));
    return true;
  }

  // A number as the compiler holds it in 64 bits: hexadecimal ones as the bits of an
  // Int64 ($FFFFFFFFFFFFFFFF is -1), decimal ones up to High(Int64). A larger one is read
  // to its end and marked, not refused: units declare such constants for their own use,
  // and only an expression that needs the value (a string's identifier) fails on it.
  long long Number(bool& tooLarge) {
    uint64_t value = 0;
    tooLarge = false;
    if (text_[pos_] == '$') {
      ++pos_;
      while (pos_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[pos_]))) {
        const char d = static_cast<char>(std::tolower(static_cast<unsigned char>(text_[pos_++])));
        if (value >> 60) tooLarge = true;
        value = value * 16 + static_cast<unsigned>(d <= '9' ? d - '0' : d - 'a' + 10);
      }
      return static_cast<long long>(value);
    }
    constexpr uint64_t kMost = std::numeric_limits<long long>::max();
    while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
      const unsigned digit = static_cast<unsigned>(text_[pos_++] - '0');
      if (value > (kMost - digit) / 10) tooLarge = true;
      if (!tooLarge) value = value * 10 + digit;
    }
    return tooLarge ? 0 : static_cast<long long>(value);
  }

  // Quoted pieces and #-codes written next to each other form one string.
  TToken String(TToken t) {
    t.Kind = TTok::String;
    TTextBuilder out(codePage_);
    while (pos_ < text_.size() && (text_[pos_] == '\'' || text_[pos_] == '#')) {
      if (text_[pos_] == '#') {
        ++pos_;
        if (pos_ >= text_.size() || !(std::isdigit(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '$'))
          Fail(file_, line_, "a character code must follow '#'");
        bool tooLarge = false;
        const long long code = Number(tooLarge);
        if (tooLarge || code < 0 || code > 0xFFFF) Fail(file_, line_, "a character code is out of range");
        if (code < 0x100)
          out.Byte(static_cast<char>(code));
        else
          out.Unit(static_cast<char16_t>(code));
        continue;
      }
      ++pos_;
      for (;;) {
        if (pos_ >= text_.size() || text_[pos_] == '\n' || text_[pos_] == '\r') Fail(file_, t.Line, "unterminated string");
        if (text_[pos_] == '\'') {
          if (Peek(1) == '\'') {
            out.Byte('\'');
            pos_ += 2;
            continue;
          }
          ++pos_;
          break;
        }
        out.Byte(text_[pos_++]);
      }
    }
    t.Str = out.Take();
    return t;
  }

};

bool IsKeyword(const TToken& t, std::initializer_list<const char*> words) {
  if (t.Kind != TTok::Ident) return false;
  return std::any_of(words.begin(), words.end(), [&](const char* w) { return SameName(t.Text, w); });
}

// Words that open another section (or leave the declarations) of a unit.
bool EndsSection(const TToken& t) {
  return IsKeyword(t, {"const", "type", "var", "threadvar", "resourcestring", "uses", "label", "exports",
                       "procedure", "function", "constructor", "destructor", "class", "operator", "begin",
                       "initialization", "finalization", "implementation", "interface", "end", "property"});
}

// Resource files a {$R} / {$RESOURCE} directive names: (.res, .rc or empty). {$R+} and
// {$R-} are the range-check switch.
std::optional<std::pair<std::string, std::string>> ResourceDirective(const std::string& body) {
  size_t at = 0;
  if (body.size() >= 8 && SameName(body.substr(0, 8), "RESOURCE"))
    at = 8;
  else if (!body.empty() && (body[0] == 'R' || body[0] == 'r'))
    at = 1;
  else
    return std::nullopt;
  if (at >= body.size() || !std::isspace(static_cast<unsigned char>(body[at]))) return std::nullopt;
  std::vector<std::string> names;
  while (at < body.size()) {
    while (at < body.size() && std::isspace(static_cast<unsigned char>(body[at]))) ++at;
    if (at >= body.size()) break;
    std::string name;
    if (body[at] == '\'') {
      ++at;
      while (at < body.size() && body[at] != '\'') name += body[at++];
      ++at;
    } else {
      while (at < body.size() && !std::isspace(static_cast<unsigned char>(body[at]))) name += body[at++];
    }
    if (!name.empty()) names.push_back(name);
  }
  if (names.empty()) return std::nullopt;
  return std::make_pair(names[0], names.size() > 1 ? names[1] : std::string());
}

using TSymbols = TConstants;  // names upper-cased

// An integer constant expression of either language: terms joined by + - |, a term a
// number, a known name or a parenthesised expression, with unary plus, minus and ~. A
// strict expression (a script string's identifier) raises, naming file and line, where it
// does not read; a lenient one (a unit's constant, which need not be a number) gives
// nullopt, and says through TooLarge() when that was for a value 64 bits do not hold.
template <class TLexer>
class TConstExpr {
public:
  TConstExpr(TLexer& lexer, const TSymbols& symbols, const std::string* strictFile = nullptr)
      : lexer_(lexer), symbols_(symbols), strictFile_(strictFile) {}

  std::optional<long long> Parse(TToken& t) {
    std::optional<long long> value = Term(t);
    while (value && t.Kind == TTok::Symbol && (t.Text == "+" || t.Text == "-" || t.Text == "|")) {
      compound_ = true;
      const char op = t.Text[0];
      const TToken at = t;
      t = lexer_.Next();
      const std::optional<long long> rhs = Term(t);
      if (!rhs) return std::nullopt;
      long long sum = 0;
      if (op == '|')
        sum = *value | *rhs;
      else if (op == '+' ? __builtin_add_overflow(*value, *rhs, &sum) : __builtin_sub_overflow(*value, *rhs, &sum))
        return RefuseTooLarge(at);
      value = sum;
    }
    return value;
  }

  // True once the expression was more than a single number or name.
  bool Compound() const { return compound_; }
  bool TooLarge() const { return tooLarge_; }

private:
  std::optional<long long> Refuse(const TToken& t, const char* what) {
    if (strictFile_) Fail(*strictFile_, t.Line, what);
    return std::nullopt;
  }
  std::optional<long long> RefuseTooLarge(const TToken& t) {
    tooLarge_ = true;
    return Refuse(t, "the number is too large");
  }

  // Signs and parentheses nest by recursion, so their depth is bounded: a line of a
  // million '(' must be refused, not followed until the stack runs out.
  struct TNesting {
    explicit TNesting(int& depth) : depth_(depth) { ++depth_; }
    ~TNesting() { --depth_; }
    int& depth_;
  };

  std::optional<long long> Term(TToken& t) {
    if (t.Kind == TTok::Symbol && (t.Text == "-" || t.Text == "+" || t.Text == "~" || t.Text == "(")) {
      compound_ = true;
      if (depth_ >= kMaxExpressionDepth) {
        if (strictFile_) throw EProjectError(rtl::Format(strings::_SExpressionDepth, *strictFile_, t.Line));
        return std::nullopt;
      }
    }
    const TNesting nesting(depth_);
    if (t.Kind == TTok::Symbol && (t.Text == "-" || t.Text == "+" || t.Text == "~")) {
      const char sign = t.Text[0];
      const TToken at = t;
      t = lexer_.Next();
      const std::optional<long long> v = Term(t);
      if (!v) return std::nullopt;
      if (sign == '-' && *v == std::numeric_limits<long long>::min()) return RefuseTooLarge(at);
      return sign == '-' ? -*v : sign == '~' ? ~*v : *v;
    }
    if (t.Kind == TTok::Integer) {
      if (t.TooLarge) return RefuseTooLarge(t);
      const long long v = t.Value;
      t = lexer_.Next();
      return v;
    }
    if (t.Kind == TTok::Ident) {
      const auto it = symbols_.find(Upper(t.Text));
      if (it == symbols_.end()) {
        if (strictFile_) throw EProjectError(rtl::Format(strings::_SUnknownSymbol, *strictFile_, t.Line, t.Text));
        return std::nullopt;
      }
      if (!it->second) return RefuseTooLarge(t);  // declared, with a value 64 bits do not hold
      t = lexer_.Next();
      return *it->second;
    }
    if (t.Kind == TTok::Symbol && t.Text == "(") {
      t = lexer_.Next();
      const std::optional<long long> v = Parse(t);
      if (!v) return std::nullopt;
      if (!(t.Kind == TTok::Symbol && t.Text == ")")) return Refuse(t, "')' expected");
      t = lexer_.Next();
      return v;
    }
    return Refuse(t, t.Kind == TTok::End ? "a string identifier is missing at the end of the file"
                                          : "a string identifier (number or name) is expected");
  }

  TLexer& lexer_;
  const TSymbols& symbols_;
  const std::string* strictFile_;
  bool compound_ = false;
  bool tooLarge_ = false;
  int depth_ = 0;
};

void SkipPastSemicolon(TPascalLexer& lexer, TToken& t) {
  while (t.Kind != TTok::End && !(t.Kind == TTok::Symbol && t.Text == ";")) t = lexer.Next();
  if (t.Kind != TTok::End) t = lexer.Next();
}

// --- resource scripts --------------------------------------------------------------------

bool IsDoubleByteCodePage(unsigned codePage) {
  return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

// The first byte of a two-byte character of a double-byte code page.
bool IsLeadByte(unsigned codePage, char c) {
  const auto b = static_cast<unsigned char>(c);
  if (codePage == 932) return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
  return IsDoubleByteCodePage(codePage) && b >= 0x81 && b <= 0xFE;
}

class TScriptLexer : public TLexerBase {
public:
  TScriptLexer(std::string_view text, const std::string& file, unsigned codePage)
      : TLexerBase(text, file, codePage), doubleByte_(IsDoubleByteCodePage(codePage)) {}

  // Just past the token Next returned last.
  size_t Pos() const { return pos_; }

  TToken Next() {
    bool lineStart = pos_ == 0;
    for (;;) {
      while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) {
        if (text_[pos_] == '\n') {
          ++line_;
          lineStart = true;
        }
        ++pos_;
      }
      if (Peek(0) == '/' && Peek(1) == '/') {
        while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
        continue;
      }
      if (Peek(0) == '/' && Peek(1) == '*') {
        const int startLine = line_;
        pos_ += 2;
        while (pos_ < text_.size() && !(text_[pos_] == '*' && Peek(1) == '/')) {
          if (text_[pos_] == '\n') ++line_;
          ++pos_;
        }
        if (pos_ >= text_.size()) Fail(file_, startLine, "unterminated comment");
        pos_ += 2;
        continue;
      }
      break;
    }
    TToken t;
    t.Line = line_;
    t.Offset = pos_;
    if (pos_ >= text_.size()) return t;
    const char c = text_[pos_];
    if (c == '#' && lineStart) {
      t.Kind = TTok::Directive;
      ++pos_;
      while (pos_ < text_.size() && text_[pos_] != '\n') t.Text += text_[pos_++];
      while (!t.Text.empty() && std::isspace(static_cast<unsigned char>(t.Text.back()))) t.Text.pop_back();
      return t;
    }
    if ((c == 'L' || c == 'l') && Peek(1) == '"') {
      ++pos_;
      return String(t, true);
    }
    if (c == '"') return String(t, false);
    if (IsIdentStart(c)) {
      t.Kind = TTok::Ident;
      while (pos_ < text_.size() && IsIdentChar(text_[pos_])) t.Text += text_[pos_++];
      return t;
    }
    if (std::isdigit(static_cast<unsigned char>(c))) {
      t.Kind = TTok::Integer;
      int base = 10;
      if (c == '0' && (Peek(1) == 'x' || Peek(1) == 'X')) {
        base = 16;
        pos_ += 2;
      }
      while (pos_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[pos_]))) {
        const char d = static_cast<char>(std::tolower(static_cast<unsigned char>(text_[pos_])));
        const int digit = d <= '9' ? d - '0' : d - 'a' + 10;
        if (digit >= base) break;
        // The resource compiler's numbers are 32-bit; a larger one is marked, as in Pascal.
        if (t.Value > (0xFFFFFFFFLL - digit) / base) t.TooLarge = true;
        if (!t.TooLarge) t.Value = t.Value * base + digit;
        ++pos_;
      }
      while (pos_ < text_.size() && (text_[pos_] == 'L' || text_[pos_] == 'l' || text_[pos_] == 'U' || text_[pos_] == 'u'))
        ++pos_;
      return t;
    }
    return Symbol(t);
  }

private:

  TToken String(TToken t, bool wide) {
    t.Kind = TTok::String;
    TTextBuilder out(codePage_);
    const auto code = [&](char16_t unit) {
      if (wide || unit > 0xFF)
        out.Unit(unit);
      else
        out.Byte(static_cast<char>(unit));
    };
    ++pos_;
    for (;;) {
      if (pos_ >= text_.size() || text_[pos_] == '\n' || text_[pos_] == '\r') Fail(file_, t.Line, "unterminated string");
      const char c = text_[pos_++];
      // A lead byte's partner may be any byte, a backslash or quote included.
      if (doubleByte_ && IsLeadByte(codePage_, c) && pos_ < text_.size() && text_[pos_] != '\n' &&
          text_[pos_] != '\r') {
        out.Byte(c);
        out.Byte(text_[pos_++]);
        continue;
      }
      if (c == '"') {
        if (Peek(0) == '"') {  // the script's own way of writing a quote
          out.Byte('"');
          ++pos_;
          continue;
        }
        break;
      }
      if (c != '\\') {
        out.Byte(c);
        continue;
      }
      if (pos_ >= text_.size()) Fail(file_, t.Line, "unterminated string");
      // A backslash at the end of a line continues the text on the next one.
      if (text_[pos_] == '\n' || (text_[pos_] == '\r' && Peek(1) == '\n')) {
        pos_ += text_[pos_] == '\r' ? 2 : 1;
        ++line_;
        continue;
      }
      const char e = text_[pos_++];
      switch (e) {
        case 'n': code(u'\n'); break;
        case 'r': code(u'\r'); break;
        case 't': code(u'\t'); break;
        case 'a': code(u'\a'); break;
        case 'b': code(u'\b'); break;
        case 'f': code(u'\f'); break;
        case 'v': code(u'\v'); break;
        case '\\': code(u'\\'); break;
        case '"': code(u'"'); break;
        case '\'': code(u'\''); break;
        case 'x':
        case 'X': {
          unsigned value = 0;
          int digits = 0;
          const int most = wide ? 4 : 2;
          while (digits < most && std::isxdigit(static_cast<unsigned char>(Peek(0)))) {
            const char d = static_cast<char>(std::tolower(static_cast<unsigned char>(text_[pos_++])));
            value = value * 16 + static_cast<unsigned>(d <= '9' ? d - '0' : d - 'a' + 10);
            ++digits;
          }
          if (digits == 0) Fail(file_, t.Line, "\\x needs hexadecimal digits");
          code(static_cast<char16_t>(value));
          break;
        }
        default:
          if (e >= '0' && e <= '7') {
            unsigned value = static_cast<unsigned>(e - '0');
            for (int i = 0; i < 2 && Peek(0) >= '0' && Peek(0) <= '7'; ++i)
              value = value * 8 + static_cast<unsigned>(text_[pos_++] - '0');
            code(static_cast<char16_t>(value));
          } else {  // an unknown escape keeps both characters, as the resource compiler does
            out.Byte('\\');
            out.Byte(e);
          }
      }
    }
    t.Str = out.Take();
    return t;
  }

  bool doubleByte_;
};

std::string IncludeName(std::string_view rest) {
  size_t at = rest.find_first_not_of(" \t");
  if (at == std::string_view::npos) return {};
  const char open = rest[at];
  const char close = open == '"' ? '"' : open == '<' ? '>' : '\0';
  if (!close) return {};
  const size_t end = rest.find(close, at + 1);
  return end == std::string_view::npos ? std::string() : std::string(rest.substr(at + 1, end - at - 1));
}

// The texts of the files one link reads, each read once however often it is linked or
// included, and known by its identity on disk rather than by its spelling.
class TSourceCache {
public:
  const std::string& Text(const std::string& fileName) {
    const rtl::TFileId id = rtl::FileIdOf(fileName);
    auto it = texts_.find(id);
    if (it == texts_.end()) it = texts_.emplace(id, ReadFileBytes(fileName)).first;
    return it->second;
  }

private:
  std::map<rtl::TFileId, std::string> texts_;
};

// What one resource script's preprocessing gathers: its symbols and the files it has
// included. Each file is included once per script. The resource compiler reads a header
// again at every #include unless a guard (#ifndef NAME / #define NAME ... #endif, or
// #pragma once) keeps it out; what is taken here from a header (its integer #defines, a
// unit's constants) comes out the same at every reading, so one reading gives what a
// guarded header gives the compiler, and a second reading of an unguarded one would add
// nothing. Headers that include each other, and trees that include a file many times
// over, thus cost one reading per file.
struct TPreprocessor {
  TSymbols Symbols;
  std::set<rtl::TFileId> Included;
  TSourceCache& Sources;
};

void ReadDefines(std::string_view text, const std::string& file, TPreprocessor& pp, int depth);

// #include: Pascal units give their constants, other files their #defines. A file that
// is not there (the system's own headers, typically) gives nothing; a symbol that was to
// come from it is reported where it is used.
void Include(std::string_view rest, const std::string& file, int line, TPreprocessor& pp, int depth) {
  const std::string name = IncludeName(rest);
  if (name.empty()) return;
  const std::string path = ResolvePath(fs::path(file).parent_path().string(), name);
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return;
  if (!pp.Included.insert(rtl::FileIdOf(path)).second) return;
  if (depth >= kMaxIncludeDepth) throw EProjectError(rtl::Format(strings::_SIncludeDepth, file, line));
  const std::string& text = pp.Sources.Text(path);
  const std::string ext = ExtensionOf(path);
  if (ext == ".pas" || ext == ".inc" || ext == ".dpr") {
    for (const auto& [k, v] : ReadPascalUnitFacts(text).Constants) pp.Symbols[k] = v;
    return;
  }
  ReadDefines(text, path, pp, depth + 1);
}

// "#define NAME value" with an integer value; other definitions are not numbers and are
// left out.
void Define(std::string_view rest, const std::string& file, TSymbols& symbols) {
  std::string line(rest);
  TScriptLexer lexer(line, file, 1252);
  TToken name = lexer.Next();
  if (name.Kind != TTok::Ident) return;
  TToken t = lexer.Next();
  if (t.Kind == TTok::End) return;
  try {
    TConstExpr<TScriptLexer> expr(lexer, symbols);
    const std::optional<long long> value = expr.Parse(t);
    if (expr.TooLarge() || (value && t.Kind == TTok::End)) symbols[Upper(name.Text)] = value;
  } catch (const EProjectError&) {
    // Not a definition the lexer can read, so no integer either.
  }
}

bool DirectiveIs(const std::string& directive, std::string_view word, std::string_view& rest) {
  size_t at = directive.find_first_not_of(" \t");
  if (at == std::string::npos || directive.compare(at, word.size(), word) != 0) return false;
  at += word.size();
  if (at < directive.size() && IsIdentChar(directive[at])) return false;
  rest = std::string_view(directive).substr(at);
  return true;
}

void ReadDefines(std::string_view text, const std::string& file, TPreprocessor& pp, int depth) {
  size_t start = 0;
  int line = 1;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string content(text.substr(start, end - start));
    const size_t at = content.find_first_not_of(" \t");
    if (at != std::string::npos && content[at] == '#') {
      const std::string directive = content.substr(at + 1);
      std::string_view rest;
      if (DirectiveIs(directive, "include", rest)) Include(rest, file, line, pp, depth);
      if (DirectiveIs(directive, "define", rest)) Define(rest, file, pp.Symbols);
    }
    start = end + 1;
    ++line;
  }
}

bool IsBlockOpen(const TToken& t) {
  return (t.Kind == TTok::Symbol && t.Text == "{") || (t.Kind == TTok::Ident && SameName(t.Text, "BEGIN"));
}
bool IsBlockClose(const TToken& t) {
  return (t.Kind == TTok::Symbol && t.Text == "}") || (t.Kind == TTok::Ident && SameName(t.Text, "END"));
}

std::string BaseName(const std::string& path) { return fs::path(path).filename().string(); }

}  // namespace

// --- readers -------------------------------------------------------------------------------

namespace {

// The resource strings of a unit, or (given `constants`) its text constants alone, with
// resourcestring sections passed over as leniently as the const sections are read; names
// the unit does not declare are looked up in `others`.
std::vector<TLinkedString> ReadPascalTexts(std::string_view source, const std::string& fileName, unsigned codePage,
                                           const TTextConstants* others, TTextConstants* constants) {
  std::vector<TLinkedString> out;
  const std::string unit = BaseName(fileName);
  TPascalLexer lexer(source, fileName, codePage);
  // Compiler directives ({$IFDEF} and the like) may stand between declarations; this
  // reader takes both branches of a conditional, as it cannot know the defines.
  const auto next = [&lexer] {
    TToken t = lexer.Next();
    while (t.Kind == TTok::Directive) t = lexer.Next();
    return t;
  };
  // Values join literals with text constants: the system's line break, the unit's own
  // constants declared before the value (EOL = #13#10), and those of the other units, as
  // the compiler folds them. Their total is bounded: constants built from constants grow
  // fast, and a unit's own text constants need not fit a string table.
  TTextConstants texts{{"SLINEBREAK", u"\r\n"}};
  size_t held = 0;
  const auto find = [&](const std::string& name) -> const std::u16string* {
    if (const auto own = texts.find(name); own != texts.end()) return &own->second;
    if (others)
      if (const auto other = others->find(name); other != others->end()) return &other->second;
    return nullptr;
  };
  // A value: literals and known text constants joined by '+'; nullopt, with `t` where
  // the value stopped reading, when a part is neither. A resource string's value longer
  // than a string table holds raises; a constant's is passed over.
  const auto value = [&](TToken& t, bool resource) -> std::optional<std::u16string> {
    std::u16string text;
    for (;;) {
      if (t.Kind == TTok::String) {
        text += t.Str;
      } else if (const std::u16string* known = t.Kind == TTok::Ident ? find(Upper(t.Text)) : nullptr) {
        text += *known;
      } else {
        return std::nullopt;
      }
      if (text.size() > kMaxTextLength) {
        if (resource) throw EProjectError(rtl::Format(strings::_SStringTooLong, fileName, t.Line));
        return std::nullopt;
      }
      t = next();
      if (!(t.Kind == TTok::Symbol && t.Text == "+")) return text;
      t = next();
    }
  };
  TToken t = next();
  while (t.Kind != TTok::End) {
    const bool constant = IsKeyword(t, {"const"});
    if (constant || (constants && IsKeyword(t, {"resourcestring"}))) {
      // Text constants are taken when their whole value reads; anything else is passed.
      t = next();
      while (t.Kind == TTok::Ident && !EndsSection(t)) {
        const std::string name = Upper(t.Text);
        t = next();
        std::optional<std::u16string> text;
        if (t.Kind == TTok::Symbol && t.Text == "=") {
          t = next();
          text = value(t, false);
        }
        if (constant && text && t.Kind == TTok::Symbol && t.Text == ";" && held + text->size() <= kMaxConstantText) {
          held += text->size();
          texts[name] = std::move(*text);
        }
        while (t.Kind != TTok::End && !(t.Kind == TTok::Symbol && t.Text == ";")) t = next();
        if (t.Kind != TTok::End) t = next();
      }
      continue;
    }
    if (!IsKeyword(t, {"resourcestring"})) {
      t = next();
      continue;
    }
    t = next();
    while (t.Kind == TTok::Ident && !EndsSection(t)) {
      TLinkedString s;
      s.Unit = unit;
      s.Identifier = t.Text;
      s.Line = t.Line;
      t = next();
      if (!(t.Kind == TTok::Symbol && t.Text == "="))
        Fail(fileName, t.Line, rtl::Format("'=' expected after %s", s.Identifier));
      t = next();
      std::optional<std::u16string> text = value(t, true);
      if (!text) {
        if (t.Kind == TTok::Ident) throw EProjectError(rtl::Format(strings::_SUnknownSymbol, fileName, t.Line, t.Text));
        Fail(fileName, t.Line, rtl::Format("the value of %s is not a text", s.Identifier));
      }
      s.Text = std::move(*text);
      // Hint directives may follow the value.
      while (IsKeyword(t, {"platform", "deprecated", "library", "experimental"})) {
        t = next();
        if (t.Kind == TTok::String) t = next();
      }
      if (!(t.Kind == TTok::Symbol && t.Text == ";"))
        Fail(fileName, t.Line, rtl::Format("';' expected after the text of %s", s.Identifier));
      out.push_back(std::move(s));
      t = next();
    }
  }
  if (constants) {
    texts.erase("SLINEBREAK");
    *constants = std::move(texts);
  }
  return out;
}

}  // namespace

std::vector<TLinkedString> ReadPascalResourceStrings(std::string_view source, const std::string& fileName,
                                                     unsigned codePage, const TTextConstants* others) {
  return ReadPascalTexts(source, fileName, codePage, others, nullptr);
}

TTextConstants ReadPascalTextConstants(std::string_view source, const std::string& fileName, unsigned codePage) {
  TTextConstants constants;
  ReadPascalTexts(source, fileName, codePage, nullptr, &constants);
  return constants;
}

TPascalUnitFacts ReadPascalUnitFacts(std::string_view source) {
  TPascalUnitFacts facts;
  const std::string name = "unit";
  TPascalLexer lexer(source, name, 1252);
  bool inConst = false;
  TToken t;
  try {
    t = lexer.Next();
    while (t.Kind != TTok::End) {
      if (t.Kind == TTok::Directive) {
        if (auto resource = ResourceDirective(t.Text)) facts.Resources.push_back(*resource);
        t = lexer.Next();
        continue;
      }
      if (IsKeyword(t, {"const"})) {
        inConst = true;
        t = lexer.Next();
        continue;
      }
      if (EndsSection(t)) {
        inConst = false;
        t = lexer.Next();
        continue;
      }
      if (!inConst || t.Kind != TTok::Ident) {
        t = lexer.Next();
        continue;
      }
      const std::string constant = Upper(t.Text);
      t = lexer.Next();
      if (!(t.Kind == TTok::Symbol && t.Text == "=")) {  // a typed constant, or not a declaration
        SkipPastSemicolon(lexer, t);
        continue;
      }
      t = lexer.Next();
      TConstExpr<TPascalLexer> expr(lexer, facts.Constants);
      const std::optional<long long> value = expr.Parse(t);
      // A value too large to hold is kept as such, so that a script using it learns why.
      if (expr.TooLarge() || (value && t.Kind == TTok::Symbol && t.Text == ";")) facts.Constants[constant] = value;
      SkipPastSemicolon(lexer, t);
    }
  } catch (const EProjectError&) {
    // What was read up to a malformed spot is all a resource script can use of the unit.
  }
  return facts;
}

namespace {

TScriptTables ReadScript(std::string_view script, const std::string& fileName, unsigned codePage,
                         TSourceCache& sources, bool resolveNames = true) {
  TScriptTables tables;
  std::vector<TLinkedString>& out = tables.Strings;
  const std::string unit = BaseName(fileName);
  TPreprocessor pp{{}, {rtl::FileIdOf(fileName)}, sources};
  TSymbols& symbols = pp.Symbols;
  TScriptLexer lexer(script, fileName, codePage);
  TToken t = lexer.Next();
  while (t.Kind != TTok::End) {
    if (t.Kind == TTok::Directive) {
      std::string_view rest;
      if (DirectiveIs(t.Text, "include", rest)) Include(rest, fileName, t.Line, pp, 0);
      if (DirectiveIs(t.Text, "define", rest)) Define(rest, fileName, symbols);
      t = lexer.Next();
      continue;
    }
    if (!(t.Kind == TTok::Ident && SameName(t.Text, "STRINGTABLE"))) {
      t = lexer.Next();
      continue;
    }
    const int tableLine = t.Line;
    // Memory flags and LANGUAGE / CHARACTERISTICS / VERSION statements come before the block.
    do {
      t = lexer.Next();
      if (t.Kind == TTok::End) Fail(fileName, tableLine, "STRINGTABLE without BEGIN or '{'");
    } while (!IsBlockOpen(t));
    tables.Blocks.push_back(lexer.Pos());
    t = lexer.Next();
    while (!IsBlockClose(t)) {
      if (t.Kind == TTok::End) Fail(fileName, tableLine, "STRINGTABLE without END or '}'");
      if (t.Kind == TTok::Directive) {
        std::string_view rest;
        if (DirectiveIs(t.Text, "define", rest)) Define(rest, fileName, symbols);
        t = lexer.Next();
        continue;
      }
      TLinkedString s;
      s.Unit = unit;
      s.Line = t.Line;
      s.Offset = t.Offset;
      TToken first = t;
      long long id = 0;
      if (!resolveNames && first.Kind == TTok::Ident && !symbols.count(Upper(first.Text))) {
        // A name defined where this reader does not look: the entry is known by its name;
        // an expression of such names leaves the entry without one.
        t = lexer.Next();
        if ((t.Kind == TTok::Symbol && t.Text == ",") || t.Kind == TTok::String)
          s.Identifier = first.Text;
        else
          while (t.Kind != TTok::String && t.Kind != TTok::End && !IsBlockClose(t)) t = lexer.Next();
      } else {
        TConstExpr<TScriptLexer> expr(lexer, symbols, &fileName);
        id = *expr.Parse(t);  // strict: a failure raises
        if (first.Kind == TTok::Ident && !expr.Compound()) s.Identifier = first.Text;
      }
      if (id < 0 || id > kTopIdentifier)
        throw EProjectError(rtl::Format(strings::_SStringIdRange, fileName, s.Line, id));
      s.Resource = static_cast<unsigned>(id);
      if (t.Kind == TTok::Symbol && t.Text == ",") t = lexer.Next();
      if (t.Kind != TTok::String) Fail(fileName, t.Line, "a quoted text is expected");
      while (t.Kind == TTok::String) {  // adjacent literals form one text
        s.Text += t.Str;
        s.End = lexer.Pos();
        t = lexer.Next();
      }
      if (s.Text.size() > kMaxTextLength) throw EProjectError(rtl::Format(strings::_SStringTooLong, fileName, s.Line));
      out.push_back(std::move(s));
    }
    t = lexer.Next();
  }
  return tables;
}

}  // namespace

std::vector<TLinkedString> ReadScriptStringTables(std::string_view script, const std::string& fileName,
                                                  unsigned codePage) {
  TSourceCache sources;
  return ReadScript(script, fileName, codePage, sources).Strings;
}

TScriptTables ReadScriptLayout(std::string_view script, const std::string& fileName, unsigned codePage) {
  TSourceCache sources;
  return ReadScript(script, fileName, codePage, sources, false);
}

// --- linking -------------------------------------------------------------------------------

const TLinkedString* TStringTable::Find(std::string_view identifier, std::string_view unit) const {
  for (const TLinkedString& s : Strings)
    if (SameName(s.Identifier, identifier) && (unit.empty() || SameName(s.Unit, unit))) return &s;
  return nullptr;
}

TStringTable LinkStringTable(const TProject& project, unsigned codePage) {
  // Each file is linked once, however the project spells it (case, "Sub\..\", links).
  std::vector<std::string> pascal, scripts;
  std::set<rtl::TFileId> linked;
  const auto link = [&](std::vector<std::string>& list, const std::string& path) {
    if (linked.insert(rtl::FileIdOf(path)).second) list.push_back(path);
  };
  if (project.Kind() == TProjectKind::pkDelphi) link(pascal, project.ProjectSource());
  for (const TProjectEntry& entry : project.Entries()) {
    const std::string ext = ExtensionOf(entry.FileName);
    if (ext == ".pas") link(pascal, entry.FileName);
    if (ext == ".rc") link(scripts, entry.FileName);
  }
  TSourceCache sources;
  for (const std::string& file : pascal) {
    const std::string folder = fs::path(file).parent_path().string();
    for (const auto& [res, rc] : ReadPascalUnitFacts(sources.Text(file)).Resources) {
      if (res.find('*') != std::string::npos) continue;  // the project's own resources, never a script
      std::string script = rc.empty() ? CompanionFile(ResolvePath(folder, res), ".rc") : ResolvePath(folder, rc);
      std::error_code ec;
      if (!script.empty() && fs::is_regular_file(script, ec)) link(scripts, script);
    }
  }

  TStringTable table;
  std::map<unsigned, const TLinkedString*> taken;
  for (const std::string& file : scripts)
    for (TLinkedString& s : ReadScript(sources.Text(file), file, codePage, sources).Strings)
      table.Strings.push_back(std::move(s));
  for (const TLinkedString& s : table.Strings) {
    const auto [it, fresh] = taken.emplace(s.Resource, &s);
    if (!fresh)
      throw EProjectError(rtl::Format(strings::_SStringIdTaken, s.Unit, s.Line, s.Resource,
                                      it->second->Unit + " line " + std::to_string(it->second->Line)));
  }
  // Text constants of every unit, for the values that join another unit's (EOL of a
  // constants unit): the first unit in project order that declares a name gives it, and
  // the total is bounded as within one unit.
  TTextConstants constants;
  size_t held = 0;
  for (const std::string& file : pascal) {
    TTextConstants own;
    try {
      own = ReadPascalTextConstants(sources.Text(file), file, codePage);
    } catch (const EProjectError&) {
      continue;  // its resource strings report it below
    }
    for (auto& [name, text] : own) {
      const size_t size = text.size();
      if (held + size <= kMaxConstantText && constants.emplace(name, std::move(text)).second) held += size;
    }
  }
  unsigned next = kTopIdentifier;
  for (const std::string& file : pascal)
    for (TLinkedString& s : ReadPascalResourceStrings(sources.Text(file), file, codePage, &constants)) {
      while (next > 0 && taken.count(next)) --next;
      if (next == 0) throw EProjectError(rtl::Format(strings::_SStringTableFull, file, s.Line, s.Identifier));
      s.Resource = next--;
      table.Strings.push_back(std::move(s));
    }
  return table;
}

int InstallStringTable(win32::HINSTANCE instance, const TStringTable& table) {
  int written = 0;
  for (const TLinkedString& s : table.Strings)
    if (!s.Text.empty() && win32::SetResourceString(instance, s.Resource, s.Text)) ++written;
  return written;
}

}  // namespace quintrel::host
