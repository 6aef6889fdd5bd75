#include "text/listfiler.h"

#include <algorithm>

#include "strings/textconsts.h"

namespace quintrel::text {

namespace S = quintrel::strings;
using rtl::Format;

void TStreamListWriter::WriteListBegin() { stream_.WriteBuffer(&kListBeginMarker, 1); }

void TStreamListWriter::WriteListEnd() { stream_.WriteBuffer(&kListEndMarker, 1); }

void TStreamListWriter::Write(const void* buffer, size_t count) {
  if (count > 0) stream_.WriteBuffer(buffer, count);
}

TStreamListReader::TStreamListReader(rtl::TStream& stream, int64_t end) : stream_(stream), end_(end) {
  const int64_t size = stream_.Size();
  if (end_ < 0 || end_ > size) end_ = size;
}

void TStreamListReader::ReadMarker(uint8_t expected, const char* message) {
  const int64_t at = stream_.Position();
  uint8_t marker = 0;
  Read(&marker, 1);
  if (marker != expected) throw rtl::EReadError(Format(message, at, static_cast<int>(marker)));
}

void TStreamListReader::ReadListBegin() { ReadMarker(kListBeginMarker, S::_SListBeginExpected); }

void TStreamListReader::ReadListEnd() { ReadMarker(kListEndMarker, S::_SListEndExpected); }

bool TStreamListReader::EndOfList() { return end_ - stream_.Position() <= 1; }

void TStreamListReader::Read(void* buffer, size_t count) {
  const int64_t at = stream_.Position();
  const int64_t left = std::max<int64_t>(end_ - at, 0);
  if (static_cast<uint64_t>(left) < count)
    throw rtl::EReadError(Format(S::_SListDataTruncated, at, static_cast<uint64_t>(count), left));
  if (count > 0) stream_.ReadBuffer(buffer, count);
}

}  // namespace quintrel::text
