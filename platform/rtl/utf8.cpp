#include "platform/rtl/utf8.h"

namespace quintrel::rtl {

namespace {

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }
bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool IsScalarValue(char32_t c) { return c <= 0x10FFFF && !IsSurrogate(c); }

}  // namespace

TCodePointAt DecodeUtf8At(std::string_view s, size_t pos) {
  const auto lead = static_cast<uint8_t>(s[pos]);
  if (lead < 0x80) return {lead, 1, true};
  // The length a lead byte announces and the range its second byte must lie in. Narrowing
  // the second byte's range is what rules out overlong forms (E0 80..9F, F0 80..8F),
  // encoded surrogates (ED A0..BF) and values above U+10FFFF (F4 90..BF): those bytes
  // could not continue any well-formed sequence, so the subsequence ends before them.
  size_t length = 0;
  uint8_t low = 0x80;
  uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  }
  // C0, C1 (overlong two-byte forms), F5..FF and stray continuation bytes.
  if (length == 0) return {};
  char32_t c = lead & (0xFFu >> (length + 1));
  size_t taken = 1;
  for (; taken < length && pos + taken < s.size(); ++taken) {
    const auto next = static_cast<uint8_t>(s[pos + taken]);
    if (next < (taken == 1 ? low : 0x80) || next > (taken == 1 ? high : 0xBF)) break;
    c = (c << 6) | (next & 0x3Fu);
  }
  if (taken < length) return {kReplacementCharacter, taken, false};
  return {c, length, true};
}

TCodePointAt DecodeUtf16At(std::u16string_view s, size_t pos) {
  const char32_t unit = s[pos];
  if (!IsSurrogate(unit)) return {unit, 1, true};
  if (IsHighSurrogate(unit) && pos + 1 < s.size() && IsLowSurrogate(s[pos + 1]))
    return {0x10000 + ((unit - 0xD800) << 10) + (s[pos + 1] - 0xDC00u), 2, true};
  return {unit, 1, false};
}

void AppendUtf8(std::string& out, char32_t c) {
  if (!IsScalarValue(c)) c = kReplacementCharacter;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUtf16(std::u16string& out, char32_t c) {
  if (!IsScalarValue(c)) c = kReplacementCharacter;
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 | (c >> 10));
    out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
  }
}

std::string WideToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const TCodePointAt at = DecodeUtf16At(s, i);
    AppendUtf8(out, at.Valid ? at.CodePoint : kReplacementCharacter);
    i += at.Length;
  }
  return out;
}

std::u16string Utf8ToWide(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const TCodePointAt at = DecodeUtf8At(s, i);
    AppendUtf16(out, at.CodePoint);
    i += at.Length;
  }
  return out;
}

size_t FindInvalidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const TCodePointAt at = DecodeUtf8At(s, i);
    if (!at.Valid) return i;
    i += at.Length;
  }
  return std::string_view::npos;
}

std::optional<std::u16string> Utf8ToWideStrict(std::string_view s, size_t* badOffset) {
  const size_t bad = FindInvalidUtf8(s);
  if (bad != std::string_view::npos) {
    if (badOffset) *badOffset = bad;
    return std::nullopt;
  }
  return Utf8ToWide(s);
}

}  // namespace quintrel::rtl
