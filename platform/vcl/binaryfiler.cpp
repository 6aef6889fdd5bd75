// The binary notation of component streams.
//
// Every read is checked against the bytes that remain, every count against what the
// rest of the input can hold, and nesting is bounded, so a damaged stream ends in an
// EReadError naming the byte offset and never in a read past the buffer or a runaway
// recursion.
#include <cstring>
#include <utility>

#include "platform/rtl/sysutils.h"
#include "platform/vcl/filer.h"
#include "strings/vclconsts.h"

namespace quintrel::vcl {

namespace {

using rtl::Format;
namespace S = quintrel::strings;

constexpr int kMaxDepth = 200;
constexpr char kSignature[4] = {'T', 'P', 'F', '0'};

class TBinaryReader {
public:
  TBinaryReader(std::string_view data, size_t base) : data_(data), base_(base) {}

  size_t Offset() const { return base_ + pos_; }
  size_t Remaining() const { return data_.size() - pos_; }
  bool AtEnd() const { return pos_ >= data_.size(); }

  uint8_t Peek(const char* what) {
    Need(1, what);
    return static_cast<uint8_t>(data_[pos_]);
  }
  uint8_t Byte(const char* what) {
    uint8_t b = Peek(what);
    ++pos_;
    return b;
  }
  uint64_t Unsigned(size_t size, const char* what) {
    Need(size, what);
    uint64_t v = 0;
    for (size_t i = 0; i < size; ++i) v |= static_cast<uint64_t>(static_cast<uint8_t>(data_[pos_ + i])) << (8 * i);
    pos_ += size;
    return v;
  }
  int64_t Signed(size_t size, const char* what) {
    uint64_t v = Unsigned(size, what);
    if (size < 8 && (v >> (8 * size - 1)) != 0) v |= ~uint64_t{0} << (8 * size);
    return static_cast<int64_t>(v);
  }
  std::string Bytes(size_t count, const char* what) {
    Need(count, what);
    std::string s(data_.substr(pos_, count));
    pos_ += count;
    return s;
  }
  std::string ShortString(const char* what) { return Bytes(Byte(what), what); }
  // A 32-bit length of `unit`-byte elements, checked against what remains.
  size_t Length(size_t unit, const char* what) {
    size_t at = Offset();
    int64_t n = Signed(4, what);
    if (n < 0 || static_cast<uint64_t>(n) * unit > Remaining())
      throw EReadError(Format(S::_SAbsurdLength, static_cast<int64_t>(at), n, static_cast<int64_t>(Remaining())));
    return static_cast<size_t>(n);
  }
  std::string Rest() {
    std::string s(data_.substr(pos_));
    pos_ = data_.size();
    return s;
  }

  TStreamValue Value(int depth);
  TStreamObject Object(int depth);

private:
  void Need(size_t count, const char* what) {
    if (count > Remaining()) throw EReadError(Format(S::_SStreamTruncated, static_cast<int64_t>(Offset()), what));
  }
  void CheckDepth(int depth) {
    if (depth > kMaxDepth) throw EReadError(Format(S::_SNestingTooDeep, static_cast<int64_t>(Offset()), kMaxDepth));
  }
  TStreamValue IntegerValue(const char* what);

  std::string_view data_;
  size_t base_;
  size_t pos_ = 0;
};

TStreamValue TBinaryReader::IntegerValue(const char* what) {
  size_t at = Offset();
  uint8_t type = Byte(what);
  static constexpr size_t kSize[] = {0, 0, 1, 2, 4};
  if (type < vaInt8 || type > vaInt32)
    throw EReadError(Format(S::_SUnexpectedValueType, static_cast<int64_t>(at), type, "an integer"));
  return TStreamValue::IntegerOfType(static_cast<TValueType>(type), Signed(kSize[type], what));
}

TStreamValue TBinaryReader::Value(int depth) {
  CheckDepth(depth);
  size_t at = Offset();
  uint8_t type = Byte("a property value");
  TStreamValue v;
  v.Type = static_cast<TValueType>(type);
  switch (type) {
    case vaNull:
    case vaFalse:
    case vaTrue:
    case vaNil:
      break;
    case vaList:
      while (Peek("a list") != vaNull) v.List.push_back(Value(depth + 1));
      ++pos_;
      break;
    case vaInt8:
      v.Int = Signed(1, "an integer");
      break;
    case vaInt16:
      v.Int = Signed(2, "an integer");
      break;
    case vaInt32:
      v.Int = Signed(4, "an integer");
      break;
    case vaInt64:
    case vaCurrency:
      v.Int = Signed(8, "an integer");
      break;
    case vaExtended:
    case vaSingle:
    case vaDouble:
    case vaDate: {
      size_t size = type == vaExtended ? 10 : type == vaSingle ? 4 : 8;
      std::string raw = Bytes(size, "a floating-point number");
      std::memcpy(v.Float.data(), raw.data(), size);
      break;
    }
    case vaString:
    case vaIdent:
      v.Bytes = ShortString("a string");
      break;
    case vaLString:
    case vaUTF8String:
    case vaBinary: {
      size_t n = Length(1, "a string");
      v.Bytes = Bytes(n, "a string");
      break;
    }
    case vaWString: {
      size_t n = Length(2, "a wide string");
      v.Wide.resize(n);
      for (size_t i = 0; i < n; ++i) v.Wide[i] = static_cast<char16_t>(Unsigned(2, "a wide string"));
      break;
    }
    case vaSet:
      for (;;) {
        std::string name = ShortString("a set");
        if (name.empty()) break;
        v.Names.push_back(std::move(name));
      }
      break;
    case vaCollection:
      while (Peek("a collection") != vaNull) {
        TStreamCollectionItem item;
        uint8_t next = Peek("a collection");
        if (next >= vaInt8 && next <= vaInt32) item.Order = IntegerValue("a collection item");
        size_t listAt = Offset();
        uint8_t list = Byte("a collection item");
        if (list != vaList)
          throw EReadError(Format(S::_SUnexpectedValueType, static_cast<int64_t>(listAt), list, "a collection item"));
        while (Peek("a collection item") != vaNull) {
          TStreamProperty p;
          p.Name = ShortString("a property name");
          p.Value = Value(depth + 1);
          item.Properties.push_back(std::move(p));
        }
        ++pos_;
        v.Items.push_back(std::move(item));
      }
      ++pos_;
      break;
    default:
      throw EReadError(Format(S::_SUnknownValueType, static_cast<int64_t>(at), type));
  }
  return v;
}

TStreamObject TBinaryReader::Object(int depth) {
  CheckDepth(depth);
  TStreamObject obj;
  uint8_t prefix = Peek("an object");
  if ((prefix & 0xF0) == 0xF0) {
    ++pos_;
    obj.Flags = prefix & 0x0F;
    if (obj.Flags & ffChildPos) obj.Position = IntegerValue("a child position");
  }
  obj.ClassName = ShortString("a class name");
  obj.Name = ShortString("an object name");
  while (Peek("an object's properties") != vaNull) {
    TStreamProperty p;
    p.Name = ShortString("a property name");
    p.Value = Value(depth + 1);
    obj.Properties.push_back(std::move(p));
  }
  ++pos_;
  while (Peek("an object's children") != vaNull) obj.Children.push_back(Object(depth + 1));
  ++pos_;
  return obj;
}

// --- writing ---------------------------------------------------------------------------

class TBinaryWriter {
public:
  std::string Out;

  void Byte(uint8_t b) { Out.push_back(static_cast<char>(b)); }
  void Unsigned(uint64_t v, size_t size) {
    for (size_t i = 0; i < size; ++i) Byte(static_cast<uint8_t>(v >> (8 * i)));
  }
  void ShortString(const std::string& s, const char* what) {
    if (s.size() > 255) throw EWriteError(Format(S::_SStreamWriteBad, std::string(what) + " longer than 255 bytes"));
    Byte(static_cast<uint8_t>(s.size()));
    Out += s;
  }
  void LongBytes(const std::string& s) {
    Length(s.size());
    Out += s;
  }
  void Length(size_t n) {
    if (n > INT32_MAX) throw EWriteError(Format(S::_SStreamWriteBad, "a value longer than 2 GB"));
    Unsigned(n, 4);
  }
  void Integer(const TStreamValue& v) {
    TValueType type = v.Type;
    // A value that no longer fits the type it was read with takes the narrowest one.
    bool fits = (type == vaInt8 && v.Int >= -128 && v.Int <= 127) ||
                (type == vaInt16 && v.Int >= -32768 && v.Int <= 32767) ||
                (type == vaInt32 && v.Int >= INT32_MIN && v.Int <= INT32_MAX) || type == vaInt64;
    if (!fits) type = TStreamValue::Integer(v.Int).Type;
    Byte(type);
    Unsigned(static_cast<uint64_t>(v.Int), type == vaInt8 ? 1 : type == vaInt16 ? 2 : type == vaInt32 ? 4 : 8);
  }
  void Properties(const std::vector<TStreamProperty>& props) {
    for (const auto& p : props) {
      ShortString(p.Name, "a property name");
      Value(p.Value);
    }
    Byte(vaNull);
  }
  void Value(const TStreamValue& v);
  void Object(const TStreamObject& obj);
};

void TBinaryWriter::Value(const TStreamValue& v) {
  switch (v.Type) {
    case vaInt8:
    case vaInt16:
    case vaInt32:
    case vaInt64:
      Integer(v);
      return;
    case vaString:
      if (v.Bytes.size() > 255) {
        Byte(vaLString);
        LongBytes(v.Bytes);
      } else {
        Byte(vaString);
        ShortString(v.Bytes, "a string");
      }
      return;
    default:
      break;
  }
  Byte(v.Type);
  switch (v.Type) {
    case vaList:
      for (const auto& e : v.List) {
        // The zero byte of a Null item is the list's end: it would read back as a shorter list
        // followed by garbage. The text notation can say it; this one cannot.
        if (e.Type == vaNull) throw EWriteError(Format(S::_SStreamWriteBad, "a Null item in a list"));
        Value(e);
      }
      Byte(vaNull);
      break;
    case vaCurrency:
      Unsigned(static_cast<uint64_t>(v.Int), 8);
      break;
    case vaExtended:
      Out.append(reinterpret_cast<const char*>(v.Float.data()), 10);
      break;
    case vaSingle:
      Out.append(reinterpret_cast<const char*>(v.Float.data()), 4);
      break;
    case vaDouble:
    case vaDate:
      Out.append(reinterpret_cast<const char*>(v.Float.data()), 8);
      break;
    case vaIdent:
      ShortString(v.Bytes, "an identifier");
      break;
    case vaLString:
    case vaUTF8String:
    case vaBinary:
      LongBytes(v.Bytes);
      break;
    case vaWString:
      Length(v.Wide.size());
      for (char16_t c : v.Wide) Unsigned(c, 2);
      break;
    case vaSet:
      for (const auto& name : v.Names) {
        if (name.empty()) throw EWriteError(Format(S::_SStreamWriteBad, "an empty set element"));
        ShortString(name, "a set element");
      }
      Byte(0);
      break;
    case vaCollection:
      for (const auto& item : v.Items) {
        if (item.Order) Integer(*item.Order);
        Byte(vaList);
        Properties(item.Properties);
      }
      Byte(vaNull);
      break;
    default:  // vaNull, vaFalse, vaTrue, vaNil carry no data
      break;
  }
}

void TBinaryWriter::Object(const TStreamObject& obj) {
  uint8_t flags = obj.Flags & 0x0F;
  if (obj.Position) flags |= ffChildPos;
  // A class name whose length byte is 0 (the end of a list) or 240 and more (a prefix)
  // is only read back correctly behind a prefix.
  if (flags != 0 || obj.ClassName.empty() || obj.ClassName.size() >= 0xF0) {
    Byte(static_cast<uint8_t>(0xF0 | flags));
    if (flags & ffChildPos) {
      if (!obj.Position) throw EWriteError(Format(S::_SStreamWriteBad, "a child position flag without a position"));
      Integer(*obj.Position);
    }
  }
  ShortString(obj.ClassName, "a class name");
  ShortString(obj.Name, "an object name");
  Properties(obj.Properties);
  for (const auto& child : obj.Children) Object(child);
  Byte(vaNull);
}

}  // namespace

bool LooksLikeBinaryForm(std::string_view data) {
  if (data.size() >= 4 && std::memcmp(data.data(), kSignature, 4) == 0) return true;
  return !data.empty() && static_cast<uint8_t>(data[0]) == 0xFF;
}

TFormStream ReadBinaryForm(std::string_view data) {
  TFormStream form;
  form.Notation = TFormNotation::fnBinary;
  std::string_view stream = data;
  size_t base = 0;
  if (!data.empty() && static_cast<uint8_t>(data[0]) == 0xFF) {
    TBinaryReader h(data, 0);
    h.Byte("a resource header");
    uint16_t type = static_cast<uint16_t>(h.Unsigned(2, "a resource header"));
    if (type != 10)
      throw EReadError(Format(S::_SResourceHeaderBad, 1, "the resource type is " + std::to_string(type) + ", not 10"));
    TResourceHeader header;
    if (h.Peek("a resource header") == 0xFF) {
      h.Byte("a resource header");
      header.NameId = static_cast<uint16_t>(h.Unsigned(2, "a resource header"));
    } else {
      for (uint8_t c; (c = h.Byte("a resource name")) != 0;) header.Name.push_back(static_cast<char>(c));
    }
    header.MemoryFlags = static_cast<uint16_t>(h.Unsigned(2, "a resource header"));
    size_t sizeAt = h.Offset();
    uint64_t size = h.Unsigned(4, "a resource header");
    if (size > h.Remaining())
      throw EReadError(Format(S::_SAbsurdLength, static_cast<int64_t>(sizeAt), static_cast<int64_t>(size),
                              static_cast<int64_t>(h.Remaining())));
    base = h.Offset();
    stream = data.substr(base, static_cast<size_t>(size));
    header.Following = std::string(data.substr(base + static_cast<size_t>(size)));
    form.Header = std::move(header);
  }
  if (stream.size() < 4 || std::memcmp(stream.data(), kSignature, 4) != 0)
    throw EReadError(Format(S::_SInvalidImage, S::_SNoSignature));
  TBinaryReader r(stream.substr(4), base + 4);
  form.Root = r.Object(0);
  form.Trailer = r.Rest();
  form.FloatStyle = TFloatStyle::fsGeneral;
  return form;
}

std::string WriteBinaryObject(const TStreamObject& root) {
  TBinaryWriter w;
  w.Out.append(kSignature, 4);
  w.Object(root);
  return std::move(w.Out);
}

std::string WriteBinaryForm(const TFormStream& form) {
  // The trailer of a text form is layout of the text, not part of a stream.
  std::string stream = WriteBinaryObject(form.Root) + (form.Notation == TFormNotation::fnBinary ? form.Trailer : "");
  if (!form.Header) return stream;
  TBinaryWriter w;
  w.Byte(0xFF);
  w.Unsigned(10, 2);
  if (form.Header->NameId) {
    w.Byte(0xFF);
    w.Unsigned(*form.Header->NameId, 2);
  } else {
    if (form.Header->Name.find('\0') != std::string::npos)
      throw EWriteError(Format(S::_SStreamWriteBad, "a resource name with a zero byte"));
    w.Out += form.Header->Name;
    w.Byte(0);
  }
  w.Unsigned(form.Header->MemoryFlags, 2);
  if (stream.size() > UINT32_MAX) throw EWriteError(Format(S::_SStreamWriteBad, "a stream longer than 4 GB"));
  w.Unsigned(stream.size(), 4);
  return w.Out + stream + form.Header->Following;
}

}  // namespace quintrel::vcl
