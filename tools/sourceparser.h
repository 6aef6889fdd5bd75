// The small tokenizer with which the design-time tools read a project's sources: Pascal
// units (resource-string sections, uses clauses), C/C++ sources and resource scripts
// (string tables). It reads a byte stream one character at a time and delivers one token
// per call with its text, kind, byte span and line, so that a caller can find a token in
// the file and rewrite exactly its bytes. It knows the literals and comments of the three
// languages and nothing else: no keyword table, no grammar.
//
// Tokens. Blanks (bytes 1..9, 11..32, and the CR of a CR LF pair) separate tokens and are
// never delivered. Every line end is delivered as a token of kind 10 (LF): a LF, a CR LF
// pair (the LF) and a CR standing alone, so that callers can work line by line in files
// of any of the three conventions. Kinds:
//   toEOF     end of the text (also at a zero byte, which no source holds)
//   toSymbol  an identifier: a letter or "_", then letters, digits and "_"
//   toString  a literal's characters without quotes, escapes resolved; for a Pascal "#"
//             character code the one character (see TokenCode)
//   toInteger a run of decimal digits alone, or the digits of a hexadecimal number without
//             its "$" or "0x" (see Hexadecimal)
//   toFloat   a number with more than a digit run: "-5", "1.5", "1e3", "1.2.3"; a number
//             is a run of digits followed by a run of "+ - . E e" and digits, or such a run
//             starting at "-"; the kind depends only on the token's own characters
//   any other the character itself (punctuation, LF); TokenString is empty
//
// Comments are skipped but leave a trace, which callers of the Pascal reader rely on: a
// "{ ... }" comment delivers its closing "}" and a "(* ... *)" comment its closing ")" as
// tokens; a "//" comment ends before its line end, which is delivered. A "(" or "/" that
// does not start a Pascal comment is dropped. In C and resource scripts, "//" and
// "/* ... */" are comments that leave nothing, and every other character is a token.
// An unterminated comment runs to the end of the text. SetNoComments(true) turns all
// comment recognition off (every character is then a token of its own).
//
// Literals. Pascal: '...' up to the next quote, no escapes, so 'It''s' is two string
// tokens with no gap between them (sourcetext.h merges such runs); "#13" or "#$0D" is a
// character code (value modulo 256 as the text; TokenCode keeps the whole value). Double
// quotes in every language, and single quotes in C and resource scripts, read the C
// escapes \n \r \t \\ \" \' and \x with at most two hex digits; any other character after
// a backslash leaves the backslash as it is. In C and resource scripts a backslash before
// a line end continues the literal on the next line; in resource scripts "" inside a
// literal stands for one quote. A literal that meets a line end or the end of the text
// before its closing quote raises vcl::EParserError "Invalid string constant on line N".
//
// Bounds. One pass over the stream, one character of lookahead, no recursion; memory is
// the current token. The stream's position is restored at destruction.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/classes.h"

namespace quintrel::tools {

inline constexpr int toEOF = 0;
inline constexpr int toSymbol = 1;
inline constexpr int toString = 2;
inline constexpr int toInteger = 3;
inline constexpr int toFloat = 4;

// Which language's comments and literals the parser reads.
enum class TSourceLanguage : uint8_t { Pascal, C, ResourceScript };

// How a string token was written.
enum class TLiteralForm : uint8_t {
  None,          // the token is no string
  SingleQuoted,  // '...'
  DoubleQuoted,  // "..."
  CharCode,      // Pascal #n or #$n
};

class TSourceParser {
public:
  // Remembers the stream's position, to restore it at destruction, and reads the first
  // token from there. The stream is not owned and must outlive the parser.
  explicit TSourceParser(rtl::TStream& stream, TSourceLanguage language = TSourceLanguage::Pascal);
  ~TSourceParser();
  TSourceParser(const TSourceParser&) = delete;
  TSourceParser& operator=(const TSourceParser&) = delete;

  // Reads the next token and returns its kind; toEOF once the text is exhausted (and on
  // every call after that).
  int NextToken();

  int Token() const { return token_; }
  const std::string& TokenString() const { return tokenString_; }
  // Stream position of the token's first byte, and of the byte just after its last one
  // (for a literal, after its closing quote; for a code, after its last digit).
  int64_t SourcePos() const { return sourcePos_; }
  int64_t SourceEnd() const { return sourceEnd_; }
  // The line (from 1) on which the token starts. Every line end counts.
  int SourceLine() const { return sourceLine_; }

  TSourceLanguage Language() const { return language_; }
  TLiteralForm LiteralForm() const { return literalForm_; }
  // For a character code, its whole value (a code above 255 is a wide character in
  // a Pascal literal); values past 0x10FFFF read as 0x110000. 0 for other tokens.
  uint32_t TokenCode() const { return tokenCode_; }
  // For an integer token, whether it was written in hexadecimal.
  bool Hexadecimal() const { return hexadecimal_; }

  // Comment recognition, on after construction. Turning it off affects the tokens read
  // from then on.
  bool NoComments() const { return noComments_; }
  void SetNoComments(bool value) { noComments_ = value; }

private:
  static constexpr int64_t kBufferSize = 64 * 1024;

  // The character reader: ch_ is the character under the read position (0 at the end),
  // at stream position chPos_; Advance moves to the next one.
  void Advance();
  int PeekByte();
  bool FillBuffer();

  void SkipBlanks();
  bool SkipComments();
  void ReadNumber();
  void ReadHexDigits();
  void ReadPascalString();
  void ReadCString(char quote);
  void ReadControlToken();
  // Reads the escape at a backslash (the current character) and returns the character
  // it stands for; -1 for a line continuation, which stands for nothing.
  int ReadControlTokenC();
  [[noreturn]] void InvalidString() const;

  rtl::TStream& stream_;
  TSourceLanguage language_;
  int64_t origin_;
  std::vector<uint8_t> buffer_;
  size_t bufferPos_ = 0;
  size_t bufferLen_ = 0;
  bool streamDone_ = false;

  int ch_ = 1;
  int64_t chPos_ = 0;
  int64_t nextPos_ = 0;
  int line_ = 1;
  bool atEnd_ = false;

  int token_ = toSymbol;
  std::string tokenString_;
  int64_t sourcePos_ = 0;
  int64_t sourceEnd_ = 0;
  int sourceLine_ = 1;
  TLiteralForm literalForm_ = TLiteralForm::None;
  uint32_t tokenCode_ = 0;
  bool hexadecimal_ = false;
  bool noComments_ = false;
};

}  // namespace quintrel::tools
