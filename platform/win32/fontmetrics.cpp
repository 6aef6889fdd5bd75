#include "platform/win32/fontmetrics.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <hb-ft.h>
#include <hb.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/rtl/sysutils.h"
#include "strings/winconsts.h"

namespace quintrel::win32 {

namespace {

constexpr LONG kLimit = 32767;
constexpr double kDefaultEm = 11;
constexpr int kMaxFolderDepth = 6;
constexpr std::size_t kMaxFolderEntries = 50000;
constexpr std::uintmax_t kMaxFontFileSize = 64u << 20;

// --- Faces and their files ------------------------------------------------------------

// The files of one family, by style: regular, bold, italic, bold italic. A missing style
// falls back to the regular file.
struct TFamily {
  const char* Files[4];
};

constexpr TFamily kLiberationSans{{"LiberationSans-Regular.ttf", "LiberationSans-Bold.ttf",
                                   "LiberationSans-Italic.ttf", "LiberationSans-BoldItalic.ttf"}};
constexpr TFamily kLiberationSerif{{"LiberationSerif-Regular.ttf", "LiberationSerif-Bold.ttf",
                                    "LiberationSerif-Italic.ttf", "LiberationSerif-BoldItalic.ttf"}};
constexpr TFamily kLiberationMono{{"LiberationMono-Regular.ttf", "LiberationMono-Bold.ttf",
                                   "LiberationMono-Italic.ttf", "LiberationMono-BoldItalic.ttf"}};
constexpr TFamily kDejaVuSans{
    {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSans-Oblique.ttf", "DejaVuSans-BoldOblique.ttf"}};
constexpr TFamily kDejaVuSansCondensed{{"DejaVuSansCondensed.ttf", "DejaVuSansCondensed-Bold.ttf",
                                        "DejaVuSansCondensed-Oblique.ttf", "DejaVuSansCondensed-BoldOblique.ttf"}};
constexpr TFamily kLoma{{"Loma.otf", "Loma-Bold.otf", "Loma-Oblique.otf", "Loma-BoldOblique.otf"}};
constexpr TFamily kVLPGothic{{"VL-PGothic-Regular.ttf", nullptr, nullptr, nullptr}};
constexpr TFamily kVLGothic{{"VL-Gothic-Regular.ttf", nullptr, nullptr, nullptr}};

// Where a character the face lacks is looked for, in this order.
constexpr const TFamily* kFallbacks[] = {&kDejaVuSans, &kLoma, &kVLPGothic};

struct TFaceMapping {
  const char* Face;  // lower case
  const TFamily* Family;
};
constexpr TFaceMapping kFaces[] = {
    {"arial", &kLiberationSans},
    {"helvetica", &kLiberationSans},
    {"ms sans serif", &kLiberationSans},
    {"microsoft sans serif", &kLiberationSans},
    {"ms shell dlg", &kLiberationSans},
    {"ms shell dlg 2", &kLiberationSans},
    {"default", &kLiberationSans},
    {"system", &kLiberationSans},
    {"small fonts", &kLiberationSans},
    {"segoe ui", &kLiberationSans},
    {"verdana", &kDejaVuSans},
    {"tahoma", &kDejaVuSansCondensed},
    {"times new roman", &kLiberationSerif},
    {"times", &kLiberationSerif},
    {"ms serif", &kLiberationSerif},
    {"georgia", &kLiberationSerif},
    {"courier new", &kLiberationMono},
    {"courier", &kLiberationMono},
    {"lucida console", &kLiberationMono},
    {"consolas", &kLiberationMono},
    {"fixedsys", &kLiberationMono},
    {"terminal", &kLiberationMono},
    {"ms gothic", &kVLGothic},
    {"ms mincho", &kVLGothic},
    {"ms pgothic", &kVLPGothic},
    {"ms pmincho", &kVLPGothic},
    {"ms ui gothic", &kVLPGothic},
    {"dejavu sans", &kDejaVuSans},
    {"liberation sans", &kLiberationSans},
    {"liberation serif", &kLiberationSerif},
    {"liberation mono", &kLiberationMono},
};

// The bitmap sizes of "MS Sans Serif" at 96 dpi (8, 10, 12, 14, 18 and 24 points):
// character height, cell height and average character width. A request (a character
// height for a negative lfHeight, a cell height for a positive one) takes the largest size
// not larger than asked for (the smallest for anything smaller); beyond the largest, the
// sizes grow in proportion.
struct TBitmapSize {
  int Em;
  int Cell;
  int Average;
};
constexpr TBitmapSize kSansSerifSizes[] = {{11, 13, 5},  {13, 16, 7},  {16, 20, 8},
                                           {19, 24, 10}, {24, 29, 12}, {32, 37, 16}};

std::string Lower(std::u16string_view face) {
  std::string out;
  for (char16_t c : face) out += c < 0x80 ? static_cast<char>(std::tolower(static_cast<unsigned char>(c))) : '?';
  return out;
}

const TFamily& FamilyOf(std::string_view lowerFace) {
  for (const TFaceMapping& m : kFaces)
    if (lowerFace == m.Face) return *m.Family;
  return kLiberationSans;
}

int StyleOf(const LOGFONTW& font) { return (font.lfWeight >= FW_SEMIBOLD ? 1 : 0) + (font.lfItalic ? 2 : 0); }

// --- FreeType and HarfBuzz objects --------------------------------------------------------

struct TFtLibrary {
  FT_Library Library = nullptr;
  TFtLibrary() {
    if (FT_Init_FreeType(&Library) != 0) Library = nullptr;
  }
  ~TFtLibrary() {
    if (Library) FT_Done_FreeType(Library);
  }
};

// One font file: its FreeType face for the tables and the character map, and a HarfBuzz
// font at a scale of one font unit per unit, so that shaped advances are in font units.
struct TFace {
  FT_Face Face = nullptr;
  hb_font_t* Font = nullptr;
  int UnitsPerEm = 0;
  int WinAscent = 0, WinDescent = 0, AverageWidth = 0, MaxWidth = 0, XWidth = 0;
  std::unordered_map<char32_t, int> Advances;  // font units, of the simple characters
  ~TFace() {
    if (Font) hb_font_destroy(Font);
    if (Face) FT_Done_Face(Face);
  }
  bool Has(char32_t c) const { return FT_Get_Char_Index(Face, c) != 0; }
  int Advance(char32_t c) {
    auto it = Advances.find(c);
    if (it != Advances.end()) return it->second;
    hb_codepoint_t glyph = 0;
    hb_font_get_nominal_glyph(Font, c, &glyph);
    const int advance = static_cast<int>(hb_font_get_glyph_h_advance(Font, glyph));
    // Only the simple characters are cached, so the table stays as small as the alphabets used.
    Advances.emplace(c, advance);
    return advance;
  }
};

struct TCache {
  std::mutex Lock;
  TFtLibrary Ft;
  bool Indexed = false;
  std::map<std::string, std::string> Files;  // file name -> full path
  std::map<std::string, std::unique_ptr<TFace>> Faces;  // by full path; null when unreadable
  bool Warned = false;
};

TCache& Cache() {
  static TCache cache;
  return cache;
}

std::vector<std::string> FontFolders() {
  std::vector<std::string> folders;
  const char* path = std::getenv("QUINTREL_FONT_PATH");
  std::string_view list = path ? path : "/usr/share/fonts:/usr/local/share/fonts";
  while (!list.empty()) {
    std::size_t colon = list.find(':');
    std::string_view folder = list.substr(0, colon);
    if (!folder.empty()) folders.emplace_back(folder);
    if (colon == std::string_view::npos) break;
    list.remove_prefix(colon + 1);
  }
  return folders;
}

// Every regular file below the font folders by its name, the first found winning; the
// walk is bounded in depth and entries and follows no links, so a looping or huge tree
// costs a bounded time.
void IndexFonts(TCache& cache) {
  cache.Indexed = true;
  namespace fs = std::filesystem;
  std::size_t entries = 0;
  for (const std::string& folder : FontFolders()) {
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
      if (++entries > kMaxFolderEntries) break;
      if (it.depth() >= kMaxFolderDepth) it.disable_recursion_pending();
      std::error_code typeError;
      if (!it->is_regular_file(typeError)) continue;
      cache.Files.emplace(it->path().filename().string(), it->path().string());
    }
  }
}

TFace* OpenFace(TCache& cache, const char* fileName) {
  if (!fileName || !cache.Ft.Library) return nullptr;
  if (!cache.Indexed) IndexFonts(cache);
  auto file = cache.Files.find(fileName);
  if (file == cache.Files.end()) return nullptr;
  auto known = cache.Faces.find(file->second);
  if (known != cache.Faces.end()) return known->second.get();
  std::unique_ptr<TFace> face;
  struct stat st {};
  if (::stat(file->second.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      static_cast<std::uintmax_t>(st.st_size) <= kMaxFontFileSize) {
    face = std::make_unique<TFace>();
    const auto* os2 = [&]() -> const TT_OS2* {
      if (FT_New_Face(cache.Ft.Library, file->second.c_str(), 0, &face->Face) != 0) return nullptr;
      return static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face->Face, FT_SFNT_OS2));
    }();
    if (os2 && face->Face->units_per_EM > 0 && FT_IS_SCALABLE(face->Face)) {
      face->UnitsPerEm = face->Face->units_per_EM;
      face->WinAscent = os2->usWinAscent;
      face->WinDescent = os2->usWinDescent;
      face->AverageWidth = os2->xAvgCharWidth;
      face->MaxWidth = face->Face->max_advance_width;
      hb_face_t* hbFace = hb_ft_face_create_referenced(face->Face);
      face->Font = hb_font_create(hbFace);
      hb_face_destroy(hbFace);
      hb_font_set_scale(face->Font, face->UnitsPerEm, face->UnitsPerEm);
      face->XWidth = face->Advance(U'x');
      if (face->WinAscent + face->WinDescent <= 0) {
        face->WinAscent = face->Face->ascender;
        face->WinDescent = -face->Face->descender;
      }
      if (face->WinAscent + face->WinDescent <= 0) face.reset();
    } else {
      face.reset();
    }
  }
  TFace* result = face.get();
  cache.Faces.emplace(file->second, std::move(face));
  return result;
}

TFace* FamilyFace(TCache& cache, const TFamily& family, int style) {
  if (TFace* face = OpenFace(cache, family.Files[style])) return face;
  if (style == 3)
    if (TFace* face = OpenFace(cache, family.Files[1])) return face;
  return OpenFace(cache, family.Files[0]);
}

// --- The size of a font -------------------------------------------------------------------

// How a logical font is drawn: the face, its pixels per em, and the cell it sits in.
struct TResolved {
  TFace* Face = nullptr;
  int Style = 0;
  double PixelsPerEm = 0;  // of the glyph shapes
  double Em = 0;           // the character height the font reports
  double HorizontalScale = 1;
  LONG Height = 0, Ascent = 0, Descent = 0, Average = 0;
};

LONG Round(double v) { return static_cast<LONG>(std::clamp(std::lround(v), 0L, static_cast<long>(kLimit))); }

std::optional<TResolved> Resolve(TCache& cache, const LOGFONTW& font) {
  const std::string face = Lower(FaceName(font));
  TResolved r;
  r.Style = StyleOf(font);
  r.Face = FamilyFace(cache, FamilyOf(face), r.Style);
  if (!r.Face) {
    for (const TFamily* family : kFallbacks)
      if ((r.Face = FamilyFace(cache, *family, r.Style))) break;
  }
  if (!r.Face) return std::nullopt;
  const TFace& f = *r.Face;
  const double units = f.UnitsPerEm;
  const double cellUnits = f.WinAscent + f.WinDescent;

  if (face == "ms sans serif" || face == "default" || face == "ms shell dlg") {
    const bool byCell = font.lfHeight > 0;
    const double asked = byCell ? std::min<double>(font.lfHeight, kLimit)
                                : font.lfHeight == 0 ? kDefaultEm
                                                     : std::min<double>(-static_cast<double>(font.lfHeight), kLimit);
    const TBitmapSize* size = &kSansSerifSizes[0];
    for (const TBitmapSize& s : kSansSerifSizes)
      if ((byCell ? s.Cell : s.Em) <= asked) size = &s;
    const TBitmapSize& largest = std::end(kSansSerifSizes)[-1];
    const double largestAsked = byCell ? largest.Cell : largest.Em;
    const double scale = asked > largestAsked ? asked / largestAsked : 1.0;
    r.Height = Round(size->Cell * scale);
    r.Average = Round(size->Average * scale);
    if (font.lfWeight >= FW_SEMIBOLD) ++r.Average;
    r.Descent = r.Height / 5;
    r.Ascent = r.Height - r.Descent;
    r.Em = size->Em * scale;
    r.PixelsPerEm = f.XWidth > 0 ? size->Average * scale * units / f.XWidth : r.Em;
    return r;
  }

  if (font.lfHeight > 0)
    r.PixelsPerEm = std::min<double>(font.lfHeight, kLimit) * units / cellUnits;
  else
    r.PixelsPerEm = font.lfHeight == 0 ? kDefaultEm : std::min<double>(-static_cast<double>(font.lfHeight), kLimit);
  r.Em = r.PixelsPerEm;
  // A pixel the glyphs reach into belongs to the cell.
  r.Ascent = Round(std::ceil(f.WinAscent * r.PixelsPerEm / units - 1e-6));
  r.Descent = Round(std::ceil(f.WinDescent * r.PixelsPerEm / units - 1e-6));
  r.Height = std::min<LONG>(r.Ascent + r.Descent, kLimit);
  r.Average = std::max<LONG>(Round(f.XWidth * r.PixelsPerEm / units), 1);
  // An explicit average width stretches the glyphs horizontally to it.
  if (font.lfWidth != 0 && f.XWidth > 0) {
    const double wanted = std::min<double>(std::abs(static_cast<double>(font.lfWidth)), kLimit);
    r.HorizontalScale = wanted / (f.XWidth * r.PixelsPerEm / units);
    r.Average = Round(wanted);
  }
  return r;
}

// --- Measuring ----------------------------------------------------------------------------

// Characters measured glyph by glyph: no script of these ranges changes an advance when it
// is drawn (with kerning and optional ligatures off, as the window system measures).
bool Simple(char32_t c) {
  return c < 0x0300 || (c >= 0x0370 && c < 0x0483) || (c >= 0x048A && c < 0x0590) || (c >= 0x1E00 && c < 0x2000) ||
         (c >= 0x2000 && c < 0x20D0) || (c >= 0x2100 && c < 0x2E80) ||
         (c >= 0x3000 && c < 0xA000 && (c < 0x302A || c > 0x302F) && c != 0x3099 && c != 0x309A) ||
         (c >= 0xAC00 && c < 0xD7A4) || (c >= 0xF900 && c < 0xFB00) || (c >= 0xFF00 && c < 0xFFF0);
}

std::vector<char32_t> CodePoints(std::u16string_view text) {
  std::vector<char32_t> out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    out.push_back(c);
  }
  return out;
}

// The width in pixels of a run shaped in one face.
int64_t ShapedWidth(TFace& face, const char32_t* run, std::size_t count, double scale) {
  hb_buffer_t* buffer = hb_buffer_create();
  hb_buffer_add_utf32(buffer, reinterpret_cast<const uint32_t*>(run), static_cast<int>(count), 0,
                      static_cast<int>(count));
  hb_buffer_guess_segment_properties(buffer);
  static const hb_feature_t features[] = {{HB_TAG('k', 'e', 'r', 'n'), 0, 0, ~0u},
                                          {HB_TAG('l', 'i', 'g', 'a'), 0, 0, ~0u}};
  hb_shape(face.Font, buffer, features, 2);
  unsigned int glyphs = 0;
  const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, &glyphs);
  int64_t width = 0;
  for (unsigned int i = 0; i < glyphs; ++i) width += std::lround(positions[i].x_advance * scale);
  hb_buffer_destroy(buffer);
  return width;
}

void WarnOnce(TCache& cache, const LOGFONTW& font) {
  if (cache.Warned) return;
  cache.Warned = true;
  std::string face;
  for (char16_t c : FaceName(font)) face += c < 0x80 ? static_cast<char>(c) : '?';
  std::cerr << "quintrel: " << rtl::Format(strings::_SFontFileMissing, face) << "\n";
}

std::optional<TResolved> ResolveOrWarn(TCache& cache, const LOGFONTW& font) {
  std::optional<TResolved> r = Resolve(cache, font);
  if (!r) WarnOnce(cache, font);
  return r;
}

}  // namespace

std::string FontFileFor(const LOGFONTW& font) {
  TCache& cache = Cache();
  std::lock_guard guard(cache.Lock);
  TFace* face = FamilyFace(cache, FamilyOf(Lower(FaceName(font))), StyleOf(font));
  if (!face) return {};
  for (const auto& [path, known] : cache.Faces)
    if (known.get() == face) return path;
  return {};
}

std::optional<TEXTMETRICW> RealFontMetrics(const LOGFONTW& font) {
  TCache& cache = Cache();
  std::lock_guard guard(cache.Lock);
  std::optional<TResolved> r = ResolveOrWarn(cache, font);
  if (!r) return std::nullopt;
  TEXTMETRICW tm = FontMetrics(font);  // the fields that do not depend on the glyphs
  tm.tmHeight = r->Height;
  tm.tmAscent = r->Ascent;
  tm.tmDescent = r->Descent;
  tm.tmInternalLeading = std::max<LONG>(r->Height - Round(r->Em), 0);
  tm.tmAveCharWidth = r->Average;
  tm.tmMaxCharWidth =
      std::max(Round(r->Face->MaxWidth * r->PixelsPerEm * r->HorizontalScale / r->Face->UnitsPerEm), r->Average);
  return tm;
}

std::optional<SIZE> RealMeasureText(const LOGFONTW& font, std::u16string_view text) {
  TCache& cache = Cache();
  std::lock_guard guard(cache.Lock);
  std::optional<TResolved> r = ResolveOrWarn(cache, font);
  if (!r) return std::nullopt;
  const std::vector<char32_t> points = CodePoints(text);
  int64_t width = 0;
  std::size_t i = 0;
  while (i < points.size()) {
    // The face of this character: the font's own, else the first fall-back that has it.
    auto faceOf = [&](char32_t c) {
      if (c < 0x80 || r->Face->Has(c)) return r->Face;
      for (const TFamily* family : kFallbacks)
        if (TFace* f = FamilyFace(cache, *family, r->Style); f && f->Has(c)) return f;
      return r->Face;
    };
    TFace* face = faceOf(points[i]);
    const double scale = r->PixelsPerEm * r->HorizontalScale / face->UnitsPerEm;
    if (Simple(points[i])) {
      width += std::lround(face->Advance(points[i]) * scale);
      ++i;
      continue;
    }
    // A run of characters of the same face that need shaping; combining marks and joiners
    // stay with what they follow.
    std::size_t end = i + 1;
    while (end < points.size() && !Simple(points[end]) && faceOf(points[end]) == face) ++end;
    width += ShapedWidth(*face, points.data() + i, end - i, scale);
    i = end;
  }
  return SIZE{static_cast<LONG>(std::min<int64_t>(width, INT32_MAX)), r->Height};
}

void ResetFontCache() {
  TCache& cache = Cache();
  std::lock_guard guard(cache.Lock);
  cache.Faces.clear();
  cache.Files.clear();
  cache.Indexed = false;
  cache.Warned = false;
}

}  // namespace quintrel::win32
