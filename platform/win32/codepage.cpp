#include "platform/win32/codepage.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/rtl/sysutils.h"
#include "platform/win32/gdi.h"

namespace quintrel::win32 {

namespace {

constexpr char16_t ReplacementUnit = 0xFFFD;

// The iconv name of a code page this converter serves, or null.
const char* IconvName(UINT codePage) {
  switch (codePage) {
    case 874: return "CP874";
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    default: return nullptr;
  }
}

struct TCharsetCodePage {
  BYTE charset;
  UINT codePage;
};

constexpr TCharsetCodePage CharsetCodePages[] = {
    {ANSI_CHARSET, 1252},       {GREEK_CHARSET, 1253},    {TURKISH_CHARSET, 1254},   {VIETNAMESE_CHARSET, 1258},
    {HEBREW_CHARSET, 1255},     {ARABIC_CHARSET, 1256},   {BALTIC_CHARSET, 1257},    {RUSSIAN_CHARSET, 1251},
    {EASTEUROPE_CHARSET, 1250}, {SHIFTJIS_CHARSET, 932},  {HANGEUL_CHARSET, 949},    {JOHAB_CHARSET, 1361},
    {GB2312_CHARSET, 936},      {CHINESEBIG5_CHARSET, 950}, {THAI_CHARSET, 874},     {MAC_CHARSET, 10000},
    {OEM_CHARSET, 437},
};

std::mutex removedLock;
std::set<UINT> removedCodePages;

bool IsRemoved(UINT codePage) {
  std::lock_guard guard(removedLock);
  return removedCodePages.count(codePage) != 0;
}

// One iconv conversion descriptor, closed on every path.
class TIconv {
public:
  TIconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~TIconv() {
    if (Valid()) iconv_close(cd_);
  }
  TIconv(const TIconv&) = delete;
  TIconv& operator=(const TIconv&) = delete;

  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much of [in, in + inLeft) as fits into out and advances both. Returns 0
  // when all input was taken, else the errno that stopped the conversion.
  int Convert(const char*& in, size_t& inLeft, char* out, size_t& outLeft) {
    // iconv's interface takes a non-const input pointer but does not write through it.
    char* input = const_cast<char*>(in);
    char* output = out;
    size_t result = iconv(cd_, &input, &inLeft, &output, &outLeft);
    in = input;
    return result == static_cast<size_t>(-1) ? errno : 0;
  }

  // Back to the initial state after a skipped sequence.
  void Reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

private:
  iconv_t cd_;
};

UINT Resolve(UINT codePage) { return codePage == CP_ACP ? GetACP() : codePage; }

// The iconv name of a code page that is valid now, or null.
const char* UsableName(UINT codePage) {
  const char* name = IconvName(codePage);
  if (!name || IsRemoved(codePage)) return nullptr;
  return name;
}

struct TByteRange {
  uint8_t first;
  uint8_t last;
  bool Holds(uint8_t b) const { return b >= first && b <= last; }
};

bool InRanges(std::initializer_list<TByteRange> ranges, uint8_t b) {
  return std::any_of(ranges.begin(), ranges.end(), [b](const TByteRange& r) { return r.Holds(b); });
}

// Whether the two bytes have the shape of one double-byte character of the code page
// (a lead byte and a trail byte), whether or not the code page assigns a character to it.
bool IsDoubleByteShape(UINT codePage, uint8_t lead, uint8_t trail) {
  switch (codePage) {
    case 932:
      return InRanges({{0x81, 0x9F}, {0xE0, 0xFC}}, lead) && InRanges({{0x40, 0x7E}, {0x80, 0xFC}}, trail);
    case 936:
      return InRanges({{0x81, 0xFE}}, lead) && InRanges({{0x40, 0x7E}, {0x80, 0xFE}}, trail);
    case 949:
      return InRanges({{0x81, 0xFE}}, lead) && InRanges({{0x41, 0x5A}, {0x61, 0x7A}, {0x81, 0xFE}}, trail);
    case 950:
      return InRanges({{0x81, 0xFE}}, lead) && InRanges({{0x40, 0x7E}, {0xA1, 0xFE}}, trail);
    default:
      return false;
  }
}

// How many bytes one U+FFFD stands for at a sequence iconv refused.
size_t BadSequenceLength(UINT codePage, const char* in, size_t inLeft) {
  if (inLeft >= 2 && IsDoubleByteShape(codePage, static_cast<uint8_t>(in[0]), static_cast<uint8_t>(in[1]))) return 2;
  return 1;
}

// Decodes the whole input; false when MB_ERR_INVALID_CHARS meets a bad sequence.
bool Decode(UINT codePage, const char* name, DWORD flags, const char* in, size_t inLeft, std::u16string& result) {
  TIconv cd("UTF-16LE", name);
  if (!cd.Valid()) return false;
  unsigned char chunk[512];
  while (inLeft > 0) {
    size_t outLeft = sizeof chunk;
    const int error = cd.Convert(in, inLeft, reinterpret_cast<char*>(chunk), outLeft);
    const size_t produced = sizeof chunk - outLeft;
    for (size_t i = 0; i + 1 < produced; i += 2) result.push_back(static_cast<char16_t>(chunk[i] | (chunk[i + 1] << 8)));
    if (error == 0 || error == E2BIG) continue;
    if (error != EILSEQ && error != EINVAL) return false;
    if (flags & MB_ERR_INVALID_CHARS) return false;
    // EINVAL: the input ends inside a character, a lead byte without its trail byte.
    const size_t skip = error == EINVAL ? inLeft : BadSequenceLength(codePage, in, inLeft);
    result.push_back(ReplacementUnit);
    in += skip;
    inLeft -= skip;
    cd.Reset();
  }
  return true;
}

void Encode(const char* name, const WCHAR* wide, size_t count, std::string_view defaultChar, bool& usedDefault,
            std::string& result) {
  TIconv cd(name, "UTF-16LE");
  if (!cd.Valid()) return;
  std::vector<char> bytes(count * 2);
  for (size_t i = 0; i < count; ++i) {
    bytes[2 * i] = static_cast<char>(wide[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(wide[i] >> 8);
  }
  const char* in = bytes.data();
  size_t inLeft = bytes.size();
  char chunk[512];
  while (inLeft > 0) {
    size_t outLeft = sizeof chunk;
    const int error = cd.Convert(in, inLeft, chunk, outLeft);
    result.append(chunk, sizeof chunk - outLeft);
    if (error == 0 || error == E2BIG) continue;
    // A unit without an encoding, an unpaired surrogate half, or (EINVAL) a high
    // surrogate as the last unit: one default character each.
    result.append(defaultChar);
    usedDefault = true;
    const size_t skip = std::min<size_t>(2, inLeft);
    in += skip;
    inLeft -= skip;
    cd.Reset();
  }
}

// The environment variable's value, or an empty view when unset.
std::string_view Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string_view(value) : std::string_view();
}

struct TLocaleEntry {
  const char* language;
  const char* territory;
  LANGID id;
};

// The first entry of each language is its default sublanguage.
constexpr TLocaleEntry LocaleTable[] = {
    {"ar", "SA", 0x0401}, {"ar", "EG", 0x0C01}, {"ar", "AE", 0x3801},
    {"be", "BY", 0x0423}, {"bg", "BG", 0x0402}, {"ca", "ES", 0x0403},
    {"cs", "CZ", 0x0405}, {"da", "DK", 0x0406},
    {"de", "DE", 0x0407}, {"de", "CH", 0x0807}, {"de", "AT", 0x0C07}, {"de", "LU", 0x1007}, {"de", "LI", 0x1407},
    {"el", "GR", 0x0408},
    {"en", "US", 0x0409}, {"en", "GB", 0x0809}, {"en", "AU", 0x0C09}, {"en", "CA", 0x1009}, {"en", "NZ", 0x1409},
    {"en", "IE", 0x1809}, {"en", "ZA", 0x1C09},
    {"es", "ES", 0x0C0A}, {"es", "MX", 0x080A}, {"es", "CO", 0x240A}, {"es", "AR", 0x2C0A}, {"es", "CL", 0x340A},
    {"et", "EE", 0x0425}, {"eu", "ES", 0x042D}, {"fa", "IR", 0x0429}, {"fi", "FI", 0x040B},
    {"fr", "FR", 0x040C}, {"fr", "BE", 0x080C}, {"fr", "CA", 0x0C0C}, {"fr", "CH", 0x100C}, {"fr", "LU", 0x140C},
    {"he", "IL", 0x040D}, {"hr", "HR", 0x041A}, {"hu", "HU", 0x040E}, {"id", "ID", 0x0421},
    {"is", "IS", 0x040F}, {"it", "IT", 0x0410}, {"it", "CH", 0x0810},
    {"ja", "JP", 0x0411}, {"ko", "KR", 0x0412}, {"lt", "LT", 0x0427}, {"lv", "LV", 0x0426},
    {"nb", "NO", 0x0414}, {"nl", "NL", 0x0413}, {"nl", "BE", 0x0813}, {"nn", "NO", 0x0814}, {"no", "NO", 0x0414},
    {"pl", "PL", 0x0415}, {"pt", "BR", 0x0416}, {"pt", "PT", 0x0816}, {"ro", "RO", 0x0418},
    {"ru", "RU", 0x0419}, {"sk", "SK", 0x041B}, {"sl", "SI", 0x0424}, {"sv", "SE", 0x041D}, {"sv", "FI", 0x081D},
    {"th", "TH", 0x041E}, {"tr", "TR", 0x041F}, {"uk", "UA", 0x0422}, {"vi", "VN", 0x042A},
    {"zh", "CN", 0x0804}, {"zh", "TW", 0x0404}, {"zh", "HK", 0x0C04}, {"zh", "SG", 0x1004},
};

bool SameAscii(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return (x | 0x20) == (y | 0x20);
         });
}

}  // namespace

BOOL IsValidCodePage(UINT codePage) {
  const char* name = UsableName(Resolve(codePage));
  if (!name) return false;
  TIconv decoder("UTF-16LE", name);
  TIconv encoder(name, "UTF-16LE");
  return decoder.Valid() && encoder.Valid();
}

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* multiByte, int multiByteCount, WCHAR* wide,
                        int wideCount) {
  codePage = Resolve(codePage);
  const char* name = UsableName(codePage);
  if (!name || !multiByte || multiByteCount == 0 || multiByteCount < -1 || wideCount < 0) return 0;
  const size_t count = multiByteCount == -1 ? std::strlen(multiByte) + 1 : static_cast<size_t>(multiByteCount);
  std::u16string result;
  if (!Decode(codePage, name, flags, multiByte, count, result)) return 0;
  if (result.size() > static_cast<size_t>(INT32_MAX)) return 0;
  if (wideCount == 0) return static_cast<int>(result.size());
  if (!wide || result.size() > static_cast<size_t>(wideCount)) return 0;
  std::copy(result.begin(), result.end(), wide);
  return static_cast<int>(result.size());
}

int WideCharToMultiByte(UINT codePage, DWORD /*flags*/, const WCHAR* wide, int wideCount, char* multiByte,
                        int multiByteCount, const char* defaultChar, BOOL* usedDefaultChar) {
  codePage = Resolve(codePage);
  const char* name = UsableName(codePage);
  if (!name || !wide || wideCount == 0 || wideCount < -1 || multiByteCount < 0) return 0;
  size_t count = static_cast<size_t>(wideCount);
  if (wideCount == -1) count = std::char_traits<char16_t>::length(wide) + 1;
  std::string result;
  bool usedDefault = false;
  Encode(name, wide, count, defaultChar ? std::string_view(defaultChar) : std::string_view("?"), usedDefault,
         result);
  if (usedDefaultChar) *usedDefaultChar = usedDefault;
  if (result.empty() || result.size() > static_cast<size_t>(INT32_MAX)) return 0;
  if (multiByteCount == 0) return static_cast<int>(result.size());
  if (!multiByte || result.size() > static_cast<size_t>(multiByteCount)) return 0;
  std::copy(result.begin(), result.end(), multiByte);
  return static_cast<int>(result.size());
}

void SetCodePageInstalled(UINT codePage, bool installed) {
  std::lock_guard guard(removedLock);
  if (installed) {
    removedCodePages.erase(codePage);
  } else {
    removedCodePages.insert(codePage);
  }
}

UINT GetACP() {
  int64_t value = 0;
  const std::string_view text = Env("QUINTREL_ACP");
  // Decimal digits only: a code page is never written in hexadecimal.
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) return 1252;
  if (!rtl::TryStrToInt(text, value) || value < 1 || value > 0xFFFF) return 1252;
  return static_cast<UINT>(value);
}

UINT CharsetToCodePage(BYTE charset) {
  if (charset == DEFAULT_CHARSET) return GetACP();
  for (const TCharsetCodePage& entry : CharsetCodePages)
    if (entry.charset == charset) return entry.codePage;
  return 0;
}

BYTE CodePageToCharset(UINT codePage) {
  for (const TCharsetCodePage& entry : CharsetCodePages)
    if (entry.codePage == codePage) return entry.charset;
  return DEFAULT_CHARSET;
}

LANGID LangIdFromLocaleName(std::string_view name) {
  name = name.substr(0, name.find_first_of(".@"));
  const size_t separator = name.find_first_of("_-");
  const std::string_view language = name.substr(0, separator);
  const std::string_view territory = separator == std::string_view::npos ? std::string_view() : name.substr(separator + 1);
  LANGID fallback = 0;
  for (const TLocaleEntry& entry : LocaleTable) {
    if (!SameAscii(language, entry.language)) continue;
    if (SameAscii(territory, entry.territory)) return entry.id;
    if (!fallback) fallback = entry.id;
  }
  return fallback;
}

LANGID GetUserDefaultLangID() {
  int64_t value = 0;
  if (rtl::TryStrToInt(Env("QUINTREL_LANGID"), value) && value >= 1 && value <= 0xFFFF) {
    return static_cast<LANGID>(value);
  }
  // LC_ALL overrides LANG, as it does for every POSIX program.
  std::string_view locale = Env("LC_ALL");
  if (locale.empty()) locale = Env("LANG");
  const LANGID id = LangIdFromLocaleName(locale);
  return id ? id : MAKELANGID(0x09, 0x01);
}

}  // namespace quintrel::win32
