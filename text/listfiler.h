// The seam through which an object streams a property of its own making (a "defined"
// property) as a list of raw items: a writer and a reader with list-begin and list-end
// markers, and the filer that offers such a property. The component-stream filer of the
// component model implements these interfaces over its streams; the stream-backed pair
// below serves everything else (and shows the layout).
//
// Layout written by TStreamListWriter, read by TStreamListReader:
//   list-begin marker  1 byte, kListBeginMarker
//   items              whatever the owner writes, raw
//   list-end marker    1 byte, kListEndMarker
//
// Telling the end of the list from an item. The owner's items are raw bytes, so an item
// may start with a zero byte (a length prefix of 0, or of a multiple of 256) and look like
// the list-end marker to a reader that judges by the next byte. The stream reader
// therefore judges by position instead: it reads a bounded stretch of data, the property's
// data and nothing else, and the list ends where exactly one byte, the list-end marker, is
// left of it. Any byte before that begins an item, whatever its value. A filer that
// adapts to this interface must hand the reader the extent of the property's data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/rtl/classes.h"

namespace quintrel::text {

// The value types a component stream uses for the two markers.
constexpr uint8_t kListBeginMarker = 1;  // vaList
constexpr uint8_t kListEndMarker = 0;    // vaNull

class TListWriter {
public:
  virtual ~TListWriter() = default;
  virtual void WriteListBegin() = 0;
  virtual void WriteListEnd() = 0;
  virtual void Write(const void* buffer, size_t count) = 0;
};

class TListReader {
public:
  virtual ~TListReader() = default;
  // Raise rtl::EReadError when the marker is not there.
  virtual void ReadListBegin() = 0;
  virtual void ReadListEnd() = 0;
  // True when the next thing to read is the list-end marker.
  virtual bool EndOfList() = 0;
  // Exactly count bytes, or rtl::EReadError.
  virtual void Read(void* buffer, size_t count) = 0;
};

using TListReaderProc = std::function<void(TListReader&)>;
using TListWriterProc = std::function<void(TListWriter&)>;

// What an object offers its defined properties to: a name, how to read the property's
// data, how to write it, and whether there is anything to write.
class TPropertyFiler {
public:
  virtual ~TPropertyFiler() = default;
  virtual void DefineProperty(std::string_view name, const TListReaderProc& readData,
                              const TListWriterProc& writeData, bool hasData) = 0;
};

// Writes the layout above to a stream from its current position.
class TStreamListWriter : public TListWriter {
public:
  explicit TStreamListWriter(rtl::TStream& stream) : stream_(stream) {}
  void WriteListBegin() override;
  void WriteListEnd() override;
  void Write(const void* buffer, size_t count) override;

private:
  rtl::TStream& stream_;
};

// Reads the layout above from the stream's current position up to `end` (a stream
// position; -1: the stream's end). Damaged data (a missing marker, an item that runs past
// the end) raises rtl::EReadError naming the byte offset within the stream.
class TStreamListReader : public TListReader {
public:
  explicit TStreamListReader(rtl::TStream& stream, int64_t end = -1);
  void ReadListBegin() override;
  void ReadListEnd() override;
  bool EndOfList() override;
  void Read(void* buffer, size_t count) override;

private:
  void ReadMarker(uint8_t expected, const char* message);

  rtl::TStream& stream_;
  int64_t end_;
};

}  // namespace quintrel::text
