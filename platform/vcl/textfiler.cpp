// The text notation of component streams (.dfm text).
//
// The reader keeps, for every value, the exact source text it was read from; the writer
// reuses that text whenever the value still has the content it was read with, and spells
// everything else the way the development environment does: 2 blanks of indentation
// per level, strings cut into pieces of 64 characters joined by " +", control characters
// and the quote as #nnn codes (in wide strings every character above 127 too), binary
// data as 32 bytes of upper-case hexadecimal per line.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"
#include "platform/vcl/charsets.h"
#include "platform/vcl/textutil.h"
#include "platform/vcl/filer.h"
#include "platform/vcl/floattext.h"
#include "strings/vclconsts.h"

namespace quintrel::vcl {

namespace {

using rtl::Format;
namespace S = quintrel::strings;

constexpr int kMaxDepth = 200;
constexpr size_t kLineLength = 64;
constexpr size_t kBytesPerLine = 32;

bool IsIdentStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}
bool IsIdentChar(unsigned char c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// Whether the text reader reads `name` back as one identifier (dotted: parts joined by
// dots, as property names are); a binary stream may carry any bytes there, which written
// as they are would not read back.
bool IsTextIdentifier(std::string_view name, bool dotted) {
  if (name.empty()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    const bool partStart = i == 0 || name[i - 1] == '.';
    if (partStart ? !IsIdentStart(c) : !(IsIdentChar(c) || (dotted && c == '.' && i + 1 < name.size()))) return false;
  }
  return true;
}

// The words that end or open an object where a property's name would stand.
bool IsObjectWord(std::string_view name) {
  for (const char* word : {"end", "object", "inherited", "inline"})
    if (SameText(name, word)) return true;
  return false;
}
int HexDigit(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

class TTextParser {
public:
  TTextParser(std::string_view text, const TTextReadOptions& options, bool utf8)
      : text_(text), options_(options), utf8_(utf8) {}

  TStreamObject Object(int level, int depth);
  TStreamValue Value(int level, int depth);
  void SkipBlanks();
  size_t Pos() const { return pos_; }
  bool AtEnd() const { return pos_ >= text_.size(); }
  bool SawFixed18() const { return sawFixed18_; }
  [[noreturn]] void Error(const std::string& message) const;

private:
  unsigned char Peek() const { return pos_ < text_.size() ? static_cast<unsigned char>(text_[pos_]) : 0; }
  unsigned char PeekAt(size_t ahead) const {
    return pos_ + ahead < text_.size() ? static_cast<unsigned char>(text_[pos_ + ahead]) : 0;
  }
  void Expect(char c) {
    SkipBlanks();
    if (Peek() != static_cast<unsigned char>(c) || AtEnd()) Error(Format(S::_SCharExpected, std::string(1, c)));
    ++pos_;
  }
  void CheckDepth(int depth) const {
    if (depth > kMaxDepth) Error(Format(S::_STextNestingTooDeep, kMaxDepth));
  }
  std::string Ident(bool dotted);
  std::string PeekIdent();
  TStreamValue StringValue();
  TStreamValue NumberValue();
  TStreamValue IntegerToken();
  TStreamValue SetValue();
  TStreamValue BinaryValue();
  TStreamValue CollectionValue(int level, int depth);
  TStreamProperty Property(int level, int depth);

  std::string_view text_;
  const TTextReadOptions& options_;
  bool utf8_;
  size_t pos_ = 0;
  bool sawFixed18_ = false;
};

void TTextParser::Error(const std::string& message) const {
  size_t end = std::min(pos_, text_.size());
  int line = 1 + static_cast<int>(std::count(text_.begin(), text_.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
  throw EParserError(Format(S::_SParseError, message, line), line);
}

void TTextParser::SkipBlanks() {
  while (pos_ < text_.size()) {
    unsigned char c = Peek();
    if (c == 0) Error(Format(S::_SInvalidChar, "00"));
    if (c > ' ') return;
    ++pos_;
  }
}

std::string TTextParser::Ident(bool dotted) {
  SkipBlanks();
  if (!IsIdentStart(Peek()) || AtEnd()) Error(S::_SIdentifierExpected);
  size_t start = pos_;
  for (;;) {
    while (pos_ < text_.size() && IsIdentChar(Peek())) ++pos_;
    if (!dotted || Peek() != '.' || !IsIdentStart(PeekAt(1)) || pos_ + 1 >= text_.size()) break;
    ++pos_;
  }
  return std::string(text_.substr(start, pos_ - start));
}

std::string TTextParser::PeekIdent() {
  SkipBlanks();
  size_t save = pos_;
  std::string word = IsIdentStart(Peek()) && !AtEnd() ? Ident(false) : std::string();
  pos_ = save;
  return word;
}

TStreamValue TTextParser::StringValue() {
  // Units of the string: raw bytes from quotes (flagged) and #nnn codes.
  struct TUnit {
    uint32_t Code;
    bool Raw;
  };
  std::vector<TUnit> units;
  bool wide = false;
  auto token = [&]() {
    bool any = false;
    for (;;) {
      unsigned char c = Peek();
      if (AtEnd()) break;
      if (c == '\'') {
        ++pos_;
        for (;;) {
          if (AtEnd()) Error(S::_SInvalidString);
          unsigned char ch = Peek();
          if (ch == '\r' || ch == '\n') Error(S::_SInvalidString);
          ++pos_;
          if (ch == '\'') {
            if (Peek() != '\'' || AtEnd()) break;
            ++pos_;
          }
          units.push_back({ch, true});
        }
      } else if (c == '#') {
        ++pos_;
        size_t start = pos_;
        uint32_t code = 0;
        if (Peek() == '$') {
          ++pos_;
          while (!AtEnd() && HexDigit(Peek()) >= 0) {
            code = code * 16 + static_cast<uint32_t>(HexDigit(Peek()));
            ++pos_;
            if (code > 0xFFFF) Error(Format(S::_SInvalidCharCode, std::string(text_.substr(start, pos_ - start))));
          }
          if (pos_ == start + 1) Error(S::_SNumberExpected);
        } else {
          while (!AtEnd() && IsDigit(Peek())) {
            code = code * 10 + (Peek() - '0');
            ++pos_;
            if (code > 0xFFFF) Error(Format(S::_SInvalidCharCode, std::string(text_.substr(start, pos_ - start))));
          }
          if (pos_ == start) Error(S::_SNumberExpected);
        }
        if (code > 127) wide = true;
        units.push_back({code, false});
      } else {
        break;
      }
      any = true;
    }
    if (!any) Error(S::_SStringExpected);
  };
  token();
  for (;;) {
    size_t save = pos_;
    SkipBlanks();
    if (Peek() != '+' || AtEnd()) {
      pos_ = save;
      break;
    }
    ++pos_;
    SkipBlanks();
    if (Peek() != '\'' && Peek() != '#') Error(S::_SStringExpected);
    token();
  }
  if (utf8_) {
    // Quoted text of a UTF-8 file is UTF-8: decode runs of raw bytes into code units.
    std::vector<TUnit> decoded;
    std::string run;
    auto flush = [&]() {
      for (char16_t c : rtl::Utf8ToWide(run)) decoded.push_back({c, false});
      run.clear();
    };
    for (const auto& u : units) {
      if (u.Raw && u.Code >= 0x80) {
        run.push_back(static_cast<char>(u.Code));
        wide = true;
      } else {
        flush();
        decoded.push_back(u);
      }
    }
    flush();
    units = std::move(decoded);
  }
  if (!wide) {
    std::string bytes;
    bytes.reserve(units.size());
    for (const auto& u : units) bytes.push_back(static_cast<char>(u.Code));
    return TStreamValue::String(std::move(bytes));
  }
  std::u16string w;
  w.reserve(units.size());
  for (const auto& u : units) w.push_back(static_cast<char16_t>(u.Code));
  return TStreamValue::WideString(std::move(w), options_.WideStringType);
}

TStreamValue TTextParser::NumberValue() {
  size_t start = pos_;
  if (Peek() == '$') {
    ++pos_;
    uint64_t v = 0;
    size_t digits = 0;
    while (!AtEnd() && HexDigit(Peek()) >= 0) {
      if (++digits > 16) Error(Format(S::_SInvalidNumber, std::string(text_.substr(start, pos_ - start))));
      v = v * 16 + static_cast<uint64_t>(HexDigit(Peek()));
      ++pos_;
    }
    if (digits == 0) Error(S::_SNumberExpected);
    return TStreamValue::Integer(static_cast<int64_t>(v));
  }
  if (Peek() == '-') ++pos_;
  if (!IsDigit(Peek()) || AtEnd()) Error(S::_SNumberExpected);
  bool isFloat = false;
  while (!AtEnd() && IsDigit(Peek())) ++pos_;
  while (!AtEnd() && (IsDigit(Peek()) || Peek() == '.' || Peek() == 'e' || Peek() == 'E' || Peek() == '+' ||
                      Peek() == '-')) {
    isFloat = true;
    ++pos_;
  }
  std::string number(text_.substr(start, pos_ - start));
  char suffix = 0;
  unsigned char c = Peek();
  if (!AtEnd() && (c == 's' || c == 'S' || c == 'c' || c == 'C' || c == 'd' || c == 'D')) {
    suffix = static_cast<char>(c | 0x20);
    ++pos_;
    isFloat = true;
  }
  if (!isFloat) {
    int64_t v = 0;
    bool negative = number[0] == '-';
    for (size_t i = negative ? 1 : 0; i < number.size(); ++i) {
      int d = number[i] - '0';
      if (v > (INT64_MAX - d) / 10) Error(Format(S::_SInvalidNumber, number));
      v = v * 10 + d;
    }
    return TStreamValue::Integer(negative ? -v : v);
  }
  long double value = 0;
  if (!TextToFloat(number, value)) Error(Format(S::_SInvalidNumber, number));
  switch (suffix) {
    case 's':
      return TStreamValue::Single(static_cast<float>(value));
    case 'c':
      if (!(value > -9.2e18L && value < 9.2e18L)) Error(Format(S::_SInvalidNumber, number));
      return TStreamValue::Currency(static_cast<int64_t>(std::llround(value)));
    case 'd':
      return TStreamValue::Float8(vaDate, static_cast<double>(value));
    default: {
      size_t dot = number.find('.');
      if (dot != std::string::npos && number.find_first_of("eE") == std::string::npos &&
          number.size() - dot - 1 == 18)
        sawFixed18_ = true;
      return TStreamValue::Extended(value);
    }
  }
}

TStreamValue TTextParser::IntegerToken() {
  SkipBlanks();
  unsigned char c = Peek();
  if (AtEnd() || !(IsDigit(c) || c == '-' || c == '$')) Error(S::_SNumberExpected);
  TStreamValue v = NumberValue();
  if (!v.IsInteger() || v.Type == vaInt64) Error(S::_SNumberExpected);
  return v;
}

TStreamValue TTextParser::SetValue() {
  ++pos_;  // '['
  std::vector<std::string> names;
  SkipBlanks();
  if (Peek() == ']' && !AtEnd()) {
    ++pos_;
    return TStreamValue::Set({});
  }
  for (;;) {
    SkipBlanks();
    if (IsDigit(Peek()) && !AtEnd()) {
      size_t start = pos_;
      while (!AtEnd() && IsDigit(Peek())) ++pos_;
      names.emplace_back(text_.substr(start, pos_ - start));
    } else {
      names.push_back(Ident(false));
    }
    SkipBlanks();
    if (Peek() == ',' && !AtEnd()) {
      ++pos_;
      continue;
    }
    Expect(']');
    break;
  }
  return TStreamValue::Set(std::move(names));
}

TStreamValue TTextParser::BinaryValue() {
  ++pos_;  // '{'
  std::string bytes;
  int high = -1;
  for (;;) {
    if (AtEnd()) Error(S::_SInvalidBinary);
    unsigned char c = Peek();
    ++pos_;
    if (c == '}') break;
    if (c <= ' ' && c != 0) continue;
    int d = HexDigit(c);
    if (d < 0) Error(S::_SInvalidBinary);
    if (high < 0) {
      high = d;
    } else {
      bytes.push_back(static_cast<char>(high * 16 + d));
      high = -1;
    }
  }
  if (high >= 0) Error(S::_SInvalidBinary);
  return TStreamValue::Binary(std::move(bytes));
}

TStreamValue TTextParser::CollectionValue(int level, int depth) {
  ++pos_;  // '<'
  TStreamValue v;
  v.Type = vaCollection;
  for (;;) {
    SkipBlanks();
    if (AtEnd()) Error(Format(S::_SCharExpected, ">"));
    if (Peek() == '>') {
      ++pos_;
      break;
    }
    if (!SameText(Ident(false), "item")) Error(Format(S::_SCharExpected, "item"));
    TStreamCollectionItem item;
    SkipBlanks();
    if (Peek() == '[' && !AtEnd()) {
      ++pos_;
      item.Order = IntegerToken();
      Expect(']');
    }
    for (;;) {
      std::string word = PeekIdent();
      if (word.empty()) Error(S::_SIdentifierExpected);
      if (SameText(word, "end")) {
        Ident(false);
        break;
      }
      item.Properties.push_back(Property(level + 2, depth + 1));
    }
    v.Items.push_back(std::move(item));
  }
  return v;
}

TStreamValue TTextParser::Value(int level, int depth) {
  CheckDepth(depth);
  size_t start = pos_;  // the blanks before the value belong to its layout
  SkipBlanks();
  if (AtEnd()) Error(S::_SUnexpectedEnd);
  unsigned char c = Peek();
  TStreamValue v;
  if (c == '\'' || c == '#') {
    v = StringValue();
  } else if (IsDigit(c) || c == '-' || c == '$') {
    v = NumberValue();
  } else if (c == '[') {
    v = SetValue();
  } else if (c == '(') {
    ++pos_;
    v.Type = vaList;
    for (;;) {
      size_t element = pos_;  // each element keeps the line break before it
      SkipBlanks();
      if (AtEnd()) Error(Format(S::_SCharExpected, ")"));
      if (Peek() == ')') {
        ++pos_;
        break;
      }
      pos_ = element;
      v.List.push_back(Value(level + 1, depth + 1));
    }
  } else if (c == '<') {
    v = CollectionValue(level, depth);
  } else if (c == '{') {
    v = BinaryValue();
  } else if (IsIdentStart(c)) {
    std::string word = Ident(true);
    if (SameText(word, "True"))
      v = TStreamValue::Simple(vaTrue);
    else if (SameText(word, "False"))
      v = TStreamValue::Simple(vaFalse);
    else if (SameText(word, "nil"))
      v = TStreamValue::Simple(vaNil);
    else if (SameText(word, "Null"))
      v = TStreamValue::Simple(vaNull);
    else
      v = TStreamValue::Ident(std::move(word));
  } else {
    Error(S::_SValueExpected);
  }
  v.SourceText = std::string(text_.substr(start, pos_ - start));
  v.SourceLevel = level;
  return v;
}

TStreamProperty TTextParser::Property(int level, int depth) {
  TStreamProperty p;
  p.Name = Ident(true);
  Expect('=');
  p.Value = Value(level, depth);
  return p;
}

TStreamObject TTextParser::Object(int level, int depth) {
  CheckDepth(depth);
  TStreamObject obj;
  std::string keyword = PeekIdent();
  if (SameText(keyword, "object"))
    obj.Flags = 0;
  else if (SameText(keyword, "inherited"))
    obj.Flags = ffInherited;
  else if (SameText(keyword, "inline"))
    obj.Flags = ffInline;
  else
    Error(S::_SObjectExpected);
  Ident(false);
  std::string first = Ident(false);
  SkipBlanks();
  if (Peek() == ':' && !AtEnd()) {
    ++pos_;
    obj.Name = std::move(first);
    obj.ClassName = Ident(false);
  } else {
    obj.ClassName = std::move(first);
  }
  SkipBlanks();
  if (Peek() == '[' && !AtEnd()) {
    ++pos_;
    obj.Flags |= ffChildPos;
    obj.Position = IntegerToken();
    obj.Position->SourceText.clear();
    Expect(']');
  }
  for (;;) {
    std::string word = PeekIdent();
    if (word.empty()) Error(AtEnd() ? S::_SUnexpectedEnd : S::_SIdentifierExpected);
    if (SameText(word, "end")) {
      Ident(false);
      break;
    }
    if (SameText(word, "object") || SameText(word, "inherited") || SameText(word, "inline"))
      obj.Children.push_back(Object(level + 1, depth + 1));
    else
      obj.Properties.push_back(Property(level + 1, depth + 1));
  }
  return obj;
}

// --- writing ---------------------------------------------------------------------------

class TTextWriter {
public:
  TTextWriter(const TFormStream& form) : form_(form), lb_(form.LineBreak.empty() ? "\r\n" : form.LineBreak) {
    options_.WideStringType = form.WideStringType;
  }

  std::string Out;

  void Object(const TStreamObject& obj, int level);

private:
  void Indent(int level) { Out.append(static_cast<size_t>(level) * 2, ' '); }
  void NewLine(int level) {
    Out += lb_;
    Indent(level);
  }
  void Property(const TStreamProperty& p, int level) {
    Indent(level);
    Out += p.Name;
    Out += " =";
    if (!Verbatim(p.Value, level)) {
      Out += ' ';
      Value(p.Value, level);
    }
    Out += lb_;
  }
  // Writes the value's remembered source text, the blanks before it included.
  bool Verbatim(const TStreamValue& v, int level);
  void Value(const TStreamValue& v, int level);
  void StringUnits(const std::vector<uint32_t>& units, bool wide, int level);
  // An infinity (a binary form's, or a text literal beyond the extended range) is spelt
  // as a literal that reads back as the same infinity; "INF" would read as an identifier.
  // No literal reads as NaN, so a NaN is refused rather than written unreadable.
  std::string FloatText(long double value) const {
    if (std::isnan(value)) throw EWriteError(Format(S::_SStreamWriteBad, "a value that is not a number (NaN)"));
    if (std::isinf(value)) return value < 0 ? "-1E5000" : "1E5000";
    return form_.FloatStyle == TFloatStyle::fsFixed18 ? FloatToStrFixed(value) : FloatToStrGeneral(value);
  }

  const TFormStream& form_;
  std::string lb_;
  TTextReadOptions options_;
};

// The remembered source text is used only when it still reads as the value's content.
bool TTextWriter::Verbatim(const TStreamValue& v, int level) {
  if (v.SourceText.empty() || v.SourceLevel != level) return false;
  try {
    TTextParser p(v.SourceText, options_, form_.Utf8Text);
    TStreamValue again = p.Value(level, 0);
    if (p.Pos() != v.SourceText.size() || !(again == v)) return false;
  } catch (const EReadError&) {
    return false;
  }
  Out += v.SourceText;
  return true;
}

void TTextWriter::StringUnits(const std::vector<uint32_t>& s, bool wide, int level) {
  size_t length = s.size();
  if (length == 0) {
    Out += "''";
    return;
  }
  int nest = level + 1;
  if (length > kLineLength) NewLine(nest);
  auto plain = [&](uint32_t c) { return c >= ' ' && c != '\'' && (!wide || c <= 127); };
  size_t i = 0, k = 0;
  do {
    bool lineBreak = false;
    if (plain(s[i])) {
      size_t j = i;
      do ++i;
      while (i < length && plain(s[i]) && i - k < kLineLength);
      if (i - k >= kLineLength) lineBreak = true;
      Out += '\'';
      for (; j < i; ++j) Out.push_back(static_cast<char>(s[j]));
      Out += '\'';
    } else {
      Out += '#';
      Out += std::to_string(s[i]);
      ++i;
      if (i - k >= kLineLength) lineBreak = true;
    }
    if (lineBreak && i < length) {
      Out += " +";
      NewLine(nest);
      k = i;
    }
  } while (i < length);
}

void TTextWriter::Value(const TStreamValue& v, int level) {
  switch (v.Type) {
    case vaList:
      Out += '(';
      for (const auto& e : v.List) {
        if (Verbatim(e, level + 1)) continue;
        NewLine(level + 1);
        Value(e, level + 1);
      }
      Out += ')';
      break;
    case vaInt8:
    case vaInt16:
    case vaInt32:
    case vaInt64:
      Out += std::to_string(v.Int);
      break;
    case vaExtended:
    case vaDouble:
      Out += FloatText(v.AsFloat());
      break;
    case vaSingle:
      Out += FloatText(v.AsFloat()) + "s";
      break;
    case vaCurrency:
      Out += FloatToStrGeneral(static_cast<long double>(v.Int)) + "c";
      break;
    case vaDate:
      Out += FloatText(v.AsFloat()) + "d";
      break;
    case vaString:
    case vaLString: {
      std::vector<uint32_t> units(v.Bytes.begin(), v.Bytes.end());
      for (auto& u : units) u &= 0xFF;
      StringUnits(units, false, level);
      break;
    }
    case vaWString:
    case vaUTF8String: {
      std::u16string w = v.AsWide();
      StringUnits(std::vector<uint32_t>(w.begin(), w.end()), true, level);
      break;
    }
    case vaIdent:
      // An identifier value reads back as itself only when it is one and not a word the
      // reader takes for another value.
      if (!IsTextIdentifier(v.Bytes, true) || SameText(v.Bytes, "True") || SameText(v.Bytes, "False") ||
          SameText(v.Bytes, "nil") || SameText(v.Bytes, "Null"))
        throw EWriteError(Format(S::_SStreamWriteBad, "an identifier value that is not an identifier"));
      Out += v.Bytes;
      break;
    case vaFalse:
      Out += "False";
      break;
    case vaTrue:
      Out += "True";
      break;
    case vaNil:
      Out += "nil";
      break;
    case vaNull:
      Out += "Null";
      break;
    case vaBinary: {
      static constexpr char kHex[] = "0123456789ABCDEF";
      Out += '{';
      bool multiLine = v.Bytes.size() >= kBytesPerLine;
      for (size_t i = 0; i < v.Bytes.size(); ++i) {
        if (multiLine && i % kBytesPerLine == 0) NewLine(level + 1);
        unsigned char b = static_cast<unsigned char>(v.Bytes[i]);
        Out += kHex[b >> 4];
        Out += kHex[b & 15];
      }
      Out += '}';
      break;
    }
    case vaSet:
      Out += '[';
      for (size_t i = 0; i < v.Names.size(); ++i) {
        const std::string& name = v.Names[i];
        // A set element is an identifier or a number.
        if (!IsTextIdentifier(name, false) &&
            (name.empty() || !std::all_of(name.begin(), name.end(), [](char c) { return IsDigit(static_cast<unsigned char>(c)); })))
          throw EWriteError(Format(S::_SStreamWriteBad, "a set element that is not an identifier"));
        if (i > 0) Out += ", ";
        Out += name;
      }
      Out += ']';
      break;
    case vaCollection:
      Out += '<';
      for (const auto& item : v.Items) {
        NewLine(level + 1);
        Out += "item";
        if (item.Order) {
          Out += " [";
          Out += std::to_string(item.Order->Int);
          Out += ']';
        }
        Out += lb_;
        for (const auto& p : item.Properties) Property(p, level + 2);
        Indent(level + 1);
        Out += "end";
      }
      Out += '>';
      break;
  }
}

void TTextWriter::Object(const TStreamObject& obj, int level) {
  if (!IsTextIdentifier(obj.ClassName, false) || (!obj.Name.empty() && !IsTextIdentifier(obj.Name, false)))
    throw EWriteError(Format(S::_SStreamWriteBad, "an object whose class or name is not an identifier"));
  for (const auto& p : obj.Properties)
    if (!IsTextIdentifier(p.Name, true) || IsObjectWord(p.Name))
      throw EWriteError(Format(S::_SStreamWriteBad, "a property whose name is not an identifier"));
  Indent(level);
  Out += (obj.Flags & ffInherited) ? "inherited " : (obj.Flags & ffInline) ? "inline " : "object ";
  if (!obj.Name.empty()) Out += obj.Name + ": ";
  Out += obj.ClassName;
  if (obj.Position) Out += " [" + std::to_string(obj.Position->Int) + "]";
  Out += lb_;
  for (const auto& p : obj.Properties) Property(p, level + 1);
  for (const auto& child : obj.Children) Object(child, level + 1);
  Indent(level);
  Out += "end";
  if (level > 0) Out += lb_;
}

bool AllowedAfterEnd(std::string_view rest) {
  return std::all_of(rest.begin(), rest.end(), [](char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u <= ' ' || u == 0x1A;
  });
}

}  // namespace

TFormStream ReadTextForm(std::string_view text, const TTextReadOptions& options) {
  TFormStream form;
  form.Notation = TFormNotation::fnText;
  form.WideStringType = options.WideStringType == vaUTF8String ? vaUTF8String : vaWString;
  if (text.size() >= 3 && std::memcmp(text.data(), "\xEF\xBB\xBF", 3) == 0) {
    form.Utf8Text = true;
    text.remove_prefix(3);
  }
  size_t nl = text.find('\n');
  form.LineBreak = (nl != std::string_view::npos && nl > 0 && text[nl - 1] == '\r') ? "\r\n" : "\n";
  TTextReadOptions effective = options;
  effective.WideStringType = form.WideStringType;
  TTextParser parser(text, effective, form.Utf8Text);
  form.Root = parser.Object(0, 0);
  std::string_view rest = text.substr(parser.Pos());
  if (!AllowedAfterEnd(rest)) {
    parser.SkipBlanks();
    parser.Error(S::_SExtraText);
  }
  form.Trailer = std::string(rest);
  form.FloatStyle = parser.SawFixed18() ? TFloatStyle::fsFixed18 : TFloatStyle::fsGeneral;
  return form;
}

std::string WriteTextForm(const TFormStream& form) {
  TTextWriter w(form);
  if (form.Utf8Text) w.Out += "\xEF\xBB\xBF";
  w.Object(form.Root, 0);
  w.Out += form.Notation == TFormNotation::fnText ? form.Trailer : (form.LineBreak.empty() ? "\r\n" : form.LineBreak);
  return std::move(w.Out);
}

}  // namespace quintrel::vcl
