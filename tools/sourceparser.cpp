#include "tools/sourceparser.h"

#include <algorithm>

#include "platform/rtl/sysutils.h"
#include "platform/vcl/filer.h"
#include "strings/vclconsts.h"

namespace quintrel::tools {

namespace {

namespace S = quintrel::strings;

// Character codes beyond the last code point all read as this value.
constexpr uint32_t kCodeLimit = 0x110000;

bool IsDigit(int c) { return c >= '0' && c <= '9'; }
bool IsLetter(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsNumberTail(int c) { return IsDigit(c) || c == '+' || c == '-' || c == '.' || c == 'E' || c == 'e'; }

int HexValue(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

uint32_t AddDigit(uint32_t value, uint32_t radix, int digit) {
  value = value * radix + static_cast<uint32_t>(digit);
  return value < kCodeLimit ? value : kCodeLimit;
}

}  // namespace

TSourceParser::TSourceParser(rtl::TStream& stream, TSourceLanguage language)
    : stream_(stream), language_(language), origin_(stream.Position()) {
  // A small source needs no more buffer than it has bytes.
  const int64_t left = stream.Size() - origin_;
  buffer_.resize(static_cast<size_t>(std::clamp<int64_t>(left, 1, kBufferSize)));
  nextPos_ = origin_;
  chPos_ = origin_;
  try {
    Advance();
    NextToken();
  } catch (...) {
    // No destructor runs for a parser whose first token fails: restore the position here.
    stream_.SetPosition(origin_);
    throw;
  }
}

TSourceParser::~TSourceParser() {
  try {
    stream_.SetPosition(origin_);
  } catch (...) {
    // A stream that cannot seek back leaves its position where reading ended.
  }
}

bool TSourceParser::FillBuffer() {
  if (streamDone_) return false;
  size_t n = 0;
  try {
    n = stream_.Read(buffer_.data(), buffer_.size());
  } catch (...) {
    n = 0;  // a failed read ends the text, as the end of the stream does
  }
  bufferPos_ = 0;
  bufferLen_ = n;
  if (n == 0) streamDone_ = true;
  return n > 0;
}

int TSourceParser::PeekByte() {
  if (atEnd_) return -1;
  if (bufferPos_ == bufferLen_ && !FillBuffer()) return -1;
  return buffer_[bufferPos_];
}

void TSourceParser::Advance() {
  if (atEnd_) return;
  if (ch_ == '\n') ++line_;
  const int b = PeekByte();
  chPos_ = nextPos_;
  if (b <= 0) {
    // The end of the stream, or a zero byte, which no source text holds.
    atEnd_ = true;
    ch_ = 0;
    return;
  }
  ++bufferPos_;
  ++nextPos_;
  ch_ = b;
  // A CR standing alone ends a line as a LF does; the CR of a CR LF pair is a blank.
  if (ch_ == '\r' && PeekByte() != '\n') ch_ = '\n';
}

void TSourceParser::SkipBlanks() {
  while (ch_ != 0 && ch_ != '\n' && ch_ <= ' ') Advance();
}

bool TSourceParser::SkipComments() {
  if (noComments_) return false;
  if (language_ != TSourceLanguage::Pascal) {
    if (ch_ != '/') return false;
    const int next = PeekByte();
    if (next == '/') {
      while (ch_ != 0 && ch_ != '\n') Advance();
      return true;
    }
    if (next == '*') {
      Advance();
      Advance();
      while (ch_ != 0) {
        if (ch_ == '*' && PeekByte() == '/') {
          Advance();
          Advance();
          break;
        }
        Advance();
      }
      return true;
    }
    return false;
  }
  switch (ch_) {
    case '(':
      Advance();
      if (ch_ == '*') {
        Advance();
        while (ch_ != 0 && !(ch_ == '*' && PeekByte() == ')')) Advance();
        Advance();  // onto the ")", which is delivered
      }
      return true;
    case '/':
      Advance();
      if (ch_ == '/') {
        while (ch_ != 0 && ch_ != '\n') Advance();
      }
      return true;
    case '{':
      while (ch_ != 0 && ch_ != '}') Advance();
      return true;
    default:
      return false;
  }
}

int TSourceParser::NextToken() {
  if (token_ == toEOF) return toEOF;
  tokenString_.clear();
  literalForm_ = TLiteralForm::None;
  tokenCode_ = 0;
  hexadecimal_ = false;
  // Blanks may stand between comments as well as before them.
  do {
    SkipBlanks();
  } while (SkipComments());

  sourcePos_ = chPos_;
  sourceLine_ = line_;
  const bool pascal = language_ == TSourceLanguage::Pascal;
  if (ch_ == 0) {
    token_ = toEOF;
  } else if (IsLetter(ch_)) {
    while (IsLetter(ch_) || IsDigit(ch_)) {
      tokenString_ += static_cast<char>(ch_);
      Advance();
    }
    token_ = toSymbol;
  } else if (IsDigit(ch_) || ch_ == '-') {
    ReadNumber();
  } else if (ch_ == '$' && pascal) {
    Advance();
    ReadHexDigits();
  } else if (ch_ == '\'' && pascal) {
    ReadPascalString();
  } else if (ch_ == '"' || ch_ == '\'') {
    ReadCString(static_cast<char>(ch_));
  } else if (ch_ == '#' && pascal) {
    ReadControlToken();
  } else {
    token_ = ch_;
    Advance();
  }
  sourceEnd_ = chPos_;
  return token_;
}

void TSourceParser::ReadNumber() {
  while (IsDigit(ch_)) {
    tokenString_ += static_cast<char>(ch_);
    Advance();
  }
  if (language_ != TSourceLanguage::Pascal && tokenString_ == "0" && (ch_ == 'x' || ch_ == 'X')) {
    Advance();
    tokenString_.clear();
    ReadHexDigits();
    return;
  }
  const bool digitsOnly = !tokenString_.empty();
  bool appended = false;
  while (IsNumberTail(ch_)) {
    tokenString_ += static_cast<char>(ch_);
    appended = true;
    Advance();
  }
  token_ = digitsOnly && !appended ? toInteger : toFloat;
}

void TSourceParser::ReadHexDigits() {
  while (HexValue(ch_) >= 0) {
    tokenString_ += static_cast<char>(ch_);
    Advance();
  }
  hexadecimal_ = true;
  token_ = toInteger;
}

void TSourceParser::InvalidString() const {
  throw vcl::EParserError(rtl::Format(S::_SParseError, S::_SInvalidString, sourceLine_), sourceLine_);
}

void TSourceParser::ReadPascalString() {
  Advance();
  while (ch_ != '\'') {
    if (ch_ == 0 || ch_ == '\n' || ch_ == '\r') InvalidString();
    tokenString_ += static_cast<char>(ch_);
    Advance();
  }
  Advance();
  literalForm_ = TLiteralForm::SingleQuoted;
  token_ = toString;
}

void TSourceParser::ReadCString(char quote) {
  Advance();
  for (;;) {
    if (ch_ == quote) {
      Advance();
      if (language_ == TSourceLanguage::ResourceScript && ch_ == quote) {
        tokenString_ += quote;
        Advance();
        continue;
      }
      break;
    }
    if (ch_ == 0 || ch_ == '\n' || ch_ == '\r') InvalidString();
    if (ch_ == '\\') {
      const int c = ReadControlTokenC();
      if (c >= 0) tokenString_ += static_cast<char>(c);
      continue;
    }
    tokenString_ += static_cast<char>(ch_);
    Advance();
  }
  literalForm_ = quote == '"' ? TLiteralForm::DoubleQuoted : TLiteralForm::SingleQuoted;
  token_ = toString;
}

int TSourceParser::ReadControlTokenC() {
  const int next = PeekByte();
  int value = -1;
  switch (next) {
    case 'n': value = '\n'; break;
    case 'r': value = '\r'; break;
    case 't': value = '\t'; break;
    case '\\': value = '\\'; break;
    case '"': value = '"'; break;
    case '\'': value = '\''; break;
    default: break;
  }
  if (value >= 0) {
    Advance();
    Advance();
    return value;
  }
  if (next == 'x') {
    Advance();  // onto the "x"
    if (HexValue(PeekByte()) < 0) return '\\';  // the "x" is read next, as itself
    Advance();
    value = HexValue(ch_);
    Advance();
    if (HexValue(ch_) >= 0) {
      value = value * 16 + HexValue(ch_);
      Advance();
    }
    return value;
  }
  if ((next == '\n' || next == '\r') && language_ != TSourceLanguage::Pascal) {
    Advance();  // onto the line end (a CR of CR LF is a blank, the LF follows)
    if (ch_ == '\r') Advance();
    Advance();
    return -1;
  }
  Advance();  // the backslash stands for itself; the next character is read as usual
  return '\\';
}

void TSourceParser::ReadControlToken() {
  literalForm_ = TLiteralForm::CharCode;
  token_ = toString;
  const int next = PeekByte();
  uint32_t value = '#';
  if (IsDigit(next)) {
    Advance();
    value = 0;
    while (IsDigit(ch_)) {
      value = AddDigit(value, 10, ch_ - '0');
      Advance();
    }
  } else if (next == '$') {
    Advance();
    Advance();
    value = 0;
    while (HexValue(ch_) >= 0) {
      value = AddDigit(value, 16, HexValue(ch_));
      Advance();
    }
  } else {
    Advance();  // a "#" without a code is the character "#"
  }
  tokenCode_ = value;
  tokenString_ = std::string(1, static_cast<char>(value & 0xFF));
}

}  // namespace quintrel::tools
