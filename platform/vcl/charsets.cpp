#include "platform/vcl/charsets.h"

#include "platform/rtl/utf8.h"
#include "platform/win32/codepage.h"
#include "platform/win32/gdi.h"
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

}  // namespace

const TTextCodec& Cp1252Codec() {
  static const TTextCodec codec{1252, Cp1252ToWide, Cp1252ToNarrow};
  return codec;
}

int CharsetToCodePage(uint8_t charset) {
  const win32::UINT codePage = win32::CharsetToCodePage(charset);
  return codePage ? static_cast<int>(codePage) : AnsiCodePage();
}

TTextCodec CodecForCodePage(int codePage) {
  if (Provider()) {
    TTextCodec codec;
    if (Provider()(codePage, codec) && codec.ToWide && codec.ToNarrow) return codec;
  }
  if (codePage == 1252) return Cp1252Codec();
  if (codePage == kUtf8CodePage)
    return TTextCodec{kUtf8CodePage, [](std::string_view t) { return rtl::Utf8ToWide(t); },
                      [](std::u16string_view t) { return rtl::WideToUtf8(t); }};
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
  const int32_t charset = win32::CodePageToCharset(cp);
  if (charset != win32::DEFAULT_CHARSET && text::IsOwnTableCharset(charset))
    return TTextCodec{codePage, [charset](std::string_view t) { return text::ByteToUnicode(t, charset); },
                      [charset](std::u16string_view t) { return text::UnicodeToByte(t, charset); }};
  return Cp1252Codec();
}

int AnsiCodePage() { return static_cast<int>(win32::GetACP()); }

TTextCodec AnsiCodec() { return CodecForCodePage(AnsiCodePage()); }

TCodecProvider SetCodecProvider(TCodecProvider provider) { return std::exchange(Provider(), std::move(provider)); }

}  // namespace quintrel::vcl
