// Component streams, the format forms are stored in, and the lossless tree both of its
// notations are read into.
//
// A component stream is a tree of objects. Each object has filer flags, a class name,
// an instance name, an ordered list of properties (name = value) and child objects.
// Values are typed by the streaming system's value types below. The binary notation
// (signature "TPF0") and the text notation of .dfm files carry the same content; see
// docs/formats/form-streams.md for both layouts.
//
// TStreamValue keeps every detail needed to write a value back exactly as it was read:
// the value type it had in a binary stream (integer width, string kind), the raw bytes
// of floating-point numbers, and, for values read from text, the verbatim source text
// with the indentation level it stood at. Nothing is normalised on reading.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/classes.h"

namespace quintrel::vcl {

// Value types of the streaming system, with their stored numbers.
enum TValueType : uint8_t {
  vaNull = 0,        // end of a list; also the value Null
  vaList = 1,        // values up to vaNull
  vaInt8 = 2,
  vaInt16 = 3,
  vaInt32 = 4,
  vaExtended = 5,    // 10-byte extended float
  vaString = 6,      // length byte + bytes
  vaIdent = 7,       // length byte + identifier
  vaFalse = 8,
  vaTrue = 9,
  vaBinary = 10,     // 32-bit length + bytes
  vaSet = 11,        // identifiers up to an empty one
  vaLString = 12,    // 32-bit length + bytes
  vaNil = 13,
  vaCollection = 14, // items ([order] vaList properties vaNull) up to vaNull
  vaSingle = 15,
  vaCurrency = 16,   // 64-bit integer scaled by 10000
  vaDate = 17,       // 8-byte double, days since 1899-12-30
  vaWString = 18,    // 32-bit count + UTF-16LE code units
  vaInt64 = 19,
  vaUTF8String = 20, // 32-bit length + UTF-8 bytes
  vaDouble = 21,
};
constexpr uint8_t vaLast = vaDouble;

// Filer flags: the high nibble of a prefix byte 0xF0 | flags before an object.
enum TFilerFlag : uint8_t {
  ffInherited = 0x01,  // the object exists in the ancestor form
  ffChildPos = 0x02,   // an integer child position follows the prefix
  ffInline = 0x04,     // an inline frame
};

class EFilerError : public rtl::EStreamError {
public:
  using rtl::EStreamError::EStreamError;
};
// Damaged or foreign input; the message names the byte offset or the line.
class EReadError : public EFilerError {
public:
  using EFilerError::EFilerError;
};
class EWriteError : public EFilerError {
public:
  using EFilerError::EFilerError;
};
// A syntax error in the text notation; Line() is 1-based.
class EParserError : public EReadError {
public:
  EParserError(std::string message, int line) : EReadError(std::move(message)), line_(line) {}
  int Line() const { return line_; }

private:
  int line_;
};

struct TStreamCollectionItem;

// One value. Which members matter depends on Type:
//   integers (vaInt8..vaInt32, vaInt64) and vaCurrency (the scaled integer): Int
//   vaExtended, vaSingle, vaDouble, vaDate: Float, the raw little-endian bytes
//   vaString, vaLString, vaIdent, vaUTF8String, vaBinary: Bytes
//   vaWString: Wide
//   vaSet: Names;  vaList: List;  vaCollection: Items
class TStreamValue {
public:
  // Defined below, where TStreamCollectionItem is complete.
  TStreamValue();
  TStreamValue(const TStreamValue&);
  TStreamValue(TStreamValue&&) noexcept;
  TStreamValue& operator=(const TStreamValue&);
  TStreamValue& operator=(TStreamValue&&) noexcept;
  ~TStreamValue();

  TValueType Type = vaNull;
  int64_t Int = 0;
  std::array<uint8_t, 10> Float{};
  std::string Bytes;
  std::u16string Wide;
  std::vector<std::string> Names;
  std::vector<TStreamValue> List;
  std::vector<TStreamCollectionItem> Items;

  // The exact text the value was read from (text notation only) and the indentation
  // level of the property it belongs to; -1 when the value did not come from text or
  // was changed since. The text writer reuses it at the same level.
  std::string SourceText;
  int SourceLevel = -1;

  static TStreamValue Integer(int64_t value);  // the narrowest integer type
  static TStreamValue IntegerOfType(TValueType type, int64_t value);
  static TStreamValue String(std::string bytes);  // vaString, or vaLString above 255
  static TStreamValue WideString(std::u16string text, TValueType type = vaWString);
  static TStreamValue Ident(std::string name);
  static TStreamValue Boolean(bool value) { return Simple(value ? vaTrue : vaFalse); }
  static TStreamValue Simple(TValueType type);
  static TStreamValue Binary(std::string bytes);
  static TStreamValue Set(std::vector<std::string> names);
  static TStreamValue Extended(long double value);
  static TStreamValue Float8(TValueType type, double value);  // vaDouble or vaDate
  static TStreamValue Single(float value);
  static TStreamValue Currency(int64_t scaled);

  bool IsInteger() const;
  bool IsFloat() const;
  // vaString, vaLString, vaWString, vaUTF8String.
  bool IsString() const;
  // The value of a float type as a long double (vaCurrency: divided by 10000).
  long double AsFloat() const;
  // A string value as UTF-16: vaWString as is, vaUTF8String decoded, the 8-bit kinds
  // one code unit per byte unless a decoder is given.
  std::u16string AsWide() const;

  // Drops the remembered source text, here and in nested values.
  void ForgetSource();
};

// Equal content; SourceText and SourceLevel are layout, not content.
bool operator==(const TStreamValue& a, const TStreamValue& b);

struct TStreamProperty {
  std::string Name;  // may be a dotted path: Font.Name, Items.Strings
  TStreamValue Value;
  friend bool operator==(const TStreamProperty&, const TStreamProperty&) = default;
};

struct TStreamCollectionItem {
  std::optional<TStreamValue> Order;  // an integer value when the item carries one
  std::vector<TStreamProperty> Properties;
  friend bool operator==(const TStreamCollectionItem&, const TStreamCollectionItem&) = default;
};

inline TStreamValue::TStreamValue() = default;
inline TStreamValue::TStreamValue(const TStreamValue&) = default;
inline TStreamValue::TStreamValue(TStreamValue&&) noexcept = default;
inline TStreamValue& TStreamValue::operator=(const TStreamValue&) = default;
inline TStreamValue& TStreamValue::operator=(TStreamValue&&) noexcept = default;
inline TStreamValue::~TStreamValue() = default;

struct TStreamObject {
  uint8_t Flags = 0;                      // TFilerFlag bits
  std::optional<TStreamValue> Position;   // child position, present with ffChildPos
  std::string ClassName;
  std::string Name;
  std::vector<TStreamProperty> Properties;
  std::vector<TStreamObject> Children;

  const TStreamProperty* FindProperty(std::string_view name) const;
  friend bool operator==(const TStreamObject&, const TStreamObject&) = default;
};

enum class TFormNotation { fnBinary, fnText };

// How floating-point values are spelt in the text notation. Neither notation records
// which one a file uses, so conversions carry it along.
enum class TFloatStyle {
  fsGeneral,  // shortest text of at most 15 significant digits: 0.75, 1E-5
  fsFixed18,  // 16 significant digits with 18 decimals: 0.750000000000000000
};

// The 16-bit resource header binary forms carry on disk: 0xFF 0x0A 0x00 (type RT_RCDATA
// by number), the resource name (upper-case text ending in 0x00, or 0xFF and a 16-bit
// number), the memory flags (usually 0x1030) and the 32-bit size of the stream.
struct TResourceHeader {
  std::string Name;             // the name bytes without the terminating 0x00
  std::optional<uint16_t> NameId;  // set when the name is a number instead
  uint16_t MemoryFlags = 0x1030;
  std::string Following;        // bytes after the resource data, kept as read
  friend bool operator==(const TResourceHeader&, const TResourceHeader&) = default;
};

// One form file: the root object and what is needed to write it back as it was read.
struct TFormStream {
  TStreamObject Root;
  TFormNotation Notation = TFormNotation::fnBinary;
  std::optional<TResourceHeader> Header;  // binary: the resource header, when present
  // Binary: bytes after the root object inside the stream data. Text: everything
  // after the root's final "end", its line break included.
  std::string Trailer;
  std::string LineBreak = "\r\n";         // text: the line end of the file
  // Text: the file starts with a UTF-8 byte-order mark and its quoted text is UTF-8.
  bool Utf8Text = false;
  TFloatStyle FloatStyle = TFloatStyle::fsGeneral;
  // Text: the value type wide strings (those with character codes above 127) get when
  // the form is written in binary: vaWString or vaUTF8String.
  TValueType WideStringType = vaWString;
};

// Options of the text reader.
struct TTextReadOptions {
  TValueType WideStringType = vaWString;  // vaWString or vaUTF8String
};

// Binary notation. ReadBinaryForm accepts a stream with or without a resource header
// and raises EReadError with the byte offset on damaged input.
TFormStream ReadBinaryForm(std::string_view data);
// Writes the resource header when the form has one.
std::string WriteBinaryForm(const TFormStream& form);
// Only the TPF0 stream, never a header.
std::string WriteBinaryObject(const TStreamObject& root);

// Text notation. ReadTextForm raises EParserError with the line on damaged input.
TFormStream ReadTextForm(std::string_view text, const TTextReadOptions& options = {});
std::string WriteTextForm(const TFormStream& form);

// Either notation, told apart by the first bytes.
bool LooksLikeBinaryForm(std::string_view data);
TFormStream ReadForm(std::string_view data, const TTextReadOptions& options = {});

// The float style and wide-string type a form suggests: fsFixed18 when a float of the
// text has 18 decimals, vaUTF8String when a binary form holds UTF-8 strings.
void DetectStyle(TFormStream& form);

// The same form in the other notation, carrying layout options along: a binary form
// gains a resource header named after the root class when it is written from text.
TFormStream ToBinaryNotation(const TFormStream& textForm);
TFormStream ToTextNotation(const TFormStream& binaryForm);

// Stream-to-stream conversions in the manner of the runtime library.
void ObjectBinaryToText(rtl::TStream& input, rtl::TStream& output);
void ObjectTextToBinary(rtl::TStream& input, rtl::TStream& output);
void ObjectResourceToText(rtl::TStream& input, rtl::TStream& output);
void ObjectTextToResource(rtl::TStream& input, rtl::TStream& output);

// Reads and writes form files on disk in whichever notation they are in.
TFormStream LoadFormFile(const std::string& fileName);
void SaveFormFile(const std::string& fileName, const TFormStream& form);

}  // namespace quintrel::vcl
