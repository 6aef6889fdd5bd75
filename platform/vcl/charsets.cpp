#include "platform/vcl/charsets.h"

#include "platform/win32/codepage.h"
#include "text/codepages.h"

#include <algorithm>
#include <array>
#include <climits>
#include <utility>

namespace quintrel::vcl {

namespace {

// Code page 1252 bytes 0x80..0x9F; the rest of the code page equals Latin-1. Bytes
// the code page leaves undefined map to the C1 control of the same number.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::u16string Cp1252ToWide(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (unsigned char c : text) out.push_back(c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c);
  return out;
}

std::string Cp1252ToNarrow(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    char mapped = '?';
    for (size_t i = 0; i < kCp1252High.size(); ++i)
      if (kCp1252High[i] == c) mapped = static_cast<char>(0x80 + i);
    out.push_back(mapped);
  }
  return out;
}

TCodecProvider& Provider() {
  static TCodecProvider provider;
  return provider;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

const TTextCodec& Cp1252Codec() {
  static const TTextCodec codec{1252, Cp1252ToWide, Cp1252ToNarrow};
  return codec;
}

int CharsetToCodePage(uint8_t charset) {
  switch (charset) {
    case 77: return 10000;   // Mac
    case 128: return 932;    // Shift-JIS
    case 129: return 949;    // Hangeul
    case 130: return 1361;   // Johab
    case 134: return 936;    // GB2312
    case 136: return 950;    // Big5
    case 161: return 1253;   // Greek
    case 162: return 1254;   // Turkish
    case 163: return 1258;   // Vietnamese
    case 177: return 1255;   // Hebrew
    case 178: return 1256;   // Arabic
    case 186: return 1257;   // Baltic
    case 204: return 1251;   // Russian
    case 222: return 874;    // Thai
    case 238: return 1250;   // Eastern Europe
    case 255: return 437;    // OEM
    default: return 1252;
  }
}

TTextCodec CodecForCodePage(int codePage) {
  if (Provider()) {
    TTextCodec codec;
    if (Provider()(codePage, codec) && codec.ToWide && codec.ToNarrow) return codec;
  }
  if (codePage == 1252) return Cp1252Codec();
  if (codePage == kUtf8CodePage)
    return TTextCodec{kUtf8CodePage, [](std::string_view t) { return Utf8ToUtf16(t); },
                      [](std::u16string_view t) { return Utf16ToUtf8(t); }};
  // The double-byte and Thai code pages of the platform converter.
  auto cp = static_cast<win32::UINT>(codePage);
  if (codePage > 0 && win32::IsValidCodePage(cp)) {
    auto toWide = [cp](std::string_view text) {
      std::u16string out;
      if (text.empty() || text.size() > INT32_MAX) return out;
      int n = win32::MultiByteToWideChar(cp, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
      out.resize(static_cast<size_t>(std::max(n, 0)));
      if (n > 0) win32::MultiByteToWideChar(cp, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
      return out;
    };
    auto toNarrow = [cp](std::u16string_view text) {
      std::string out;
      if (text.empty() || text.size() > INT32_MAX / 2) return out;
      int n = win32::WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
      out.resize(static_cast<size_t>(std::max(n, 0)));
      if (n > 0)
        win32::WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
      return out;
    };
    return TTextCodec{codePage, toWide, toNarrow};
  }
  // The other Windows code pages through the text layer's tables, by charset.
  static constexpr std::pair<int, int32_t> kTables[] = {{1250, 238}, {1251, 204}, {1253, 161}, {1254, 162},
                                                        {1255, 177}, {1256, 178}, {1257, 186}};
  for (const auto& table : kTables) {
    int32_t charset = table.second;
    if (table.first == codePage)
      return TTextCodec{codePage, [charset](std::string_view t) { return text::ByteToUnicode(t, charset); },
                        [charset](std::u16string_view t) { return text::UnicodeToByte(t, charset); }};
  }
  return Cp1252Codec();
}

int AnsiCodePage() { return static_cast<int>(win32::GetACP()); }

TTextCodec AnsiCodec() { return CodecForCodePage(AnsiCodePage()); }

TCodecProvider SetCodecProvider(TCodecProvider provider) { return std::exchange(Provider(), std::move(provider)); }

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || i + static_cast<size_t>(extra) >= text.size() + (extra == 0 ? 1 : 0)) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    uint32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1Fu) : extra == 2 ? (c & 0x0Fu) : (c & 0x07u);
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      unsigned char cc = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
      if ((cc & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (cc & 0x3Fu);
    }
    static constexpr uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (!ok || cp < kMin[extra] || cp > 0x10FFFF) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    i += static_cast<size_t>(extra) + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
      ++i;
    }
    AppendUtf8(out, c);
  }
  return out;
}

}  // namespace quintrel::vcl
