// Narrow text of the component model and how it meets wide text.
//
// String properties hold bytes in a code page, as 8-bit applications do; form streams
// also carry UTF-16 and UTF-8 strings. The two meet through a TTextCodec. Code page 1252
// is a table of this layer (with the euro sign and the other characters the platform
// maps at 0x80..0x9F); the double-byte and Thai code pages come from the window
// manager's converter, and 1250, 1251 and 1253 to 1257 from the text layer's tables. A
// provider slot lets a caller substitute any code page.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quintrel::vcl {

struct TTextCodec {
  int CodePage = 1252;
  std::function<std::u16string(std::string_view)> ToWide;
  // Characters the code page lacks become '?'.
  std::function<std::string(std::u16string_view)> ToNarrow;
};

// Windows code page 1252.
const TTextCodec& Cp1252Codec();

// The code page of a font character set from the platform's table
// (win32::CharsetToCodePage: 0 ANSI → 1252, 204 Russian → 1251, …); 1 (default) and
// sets without a code page give the ANSI code page.
int CharsetToCodePage(uint8_t charset);

// UTF-8 as a code page, for narrow strings that must keep every character of a form. It
// converts with the runtime's one codec (platform/rtl/utf8.h): an unpaired surrogate is
// written as U+FFFD, and ill-formed bytes read as U+FFFD.
constexpr int kUtf8CodePage = 65001;

// A codec for a code page: the one the installed provider returns, else the built-in
// conversion of that code page, else code page 1252.
TTextCodec CodecForCodePage(int codePage);
using TCodecProvider = std::function<bool(int codePage, TTextCodec& codec)>;
// Installs a provider (an empty function removes it); returns the previous one.
TCodecProvider SetCodecProvider(TCodecProvider provider);

// The ANSI code page of the process (the platform's GetACP). Narrow strings the model
// converts without a charset of their own use it.
int AnsiCodePage();
TTextCodec AnsiCodec();

}  // namespace quintrel::vcl
