// Text measured with real glyph metrics.
//
// A logical font is resolved to a font file that stands in for its face (docs/fonts.md
// lists the mapping: the metric-compatible Liberation fonts for the classic Windows
// faces, DejaVu, Loma and VL Gothic for the scripts those lack). Text is measured the way
// the window system measures it: each glyph's advance from the font's horizontal metrics,
// scaled to the pixel size and rounded to whole pixels, with no kerning and no optional
// ligatures; scripts that are shaped when they are drawn (Arabic, Hebrew points, Thai,
// Indic) go through HarfBuzz, so that joining forms and marks measure as drawn. A
// character the chosen face lacks is measured in the first fall-back face that has it.
//
// "MS Sans Serif" is a bitmap font of a few fixed sizes. It is measured with the glyph
// shapes of Liberation Sans scaled so that its "x" is as wide as the bitmap font's average
// character at the bitmap size a request lands on (a table of the sizes, below and in
// docs/fonts.md).
//
// Faces, their files and the widths of characters are cached per font; measuring a short
// Latin caption is a few table look-ups. When no font file can be found for a face (nor
// for the fall-back faces), nothing is measured here and the caller uses the average-width
// model; that is said once per process on stderr.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/win32/gdi.h"

namespace quintrel::win32 {

// The font file chosen for a logical font: weight and italic pick the style; empty when
// none of the face's files exists in the font folders.
std::string FontFileFor(const LOGFONTW& font);

// Metrics and text extents from the font files; nullopt when no file stands in for the
// face (the caller then falls back to the average-width model).
std::optional<TEXTMETRICW> RealFontMetrics(const LOGFONTW& font);
std::optional<SIZE> RealMeasureText(const LOGFONTW& font, std::u16string_view text);

// The folders searched for font files: $QUINTREL_FONT_PATH (folders separated by ':')
// when set, else /usr/share/fonts and /usr/local/share/fonts. Each is searched to a depth
// of 6 folders and at most 50000 entries. Changing the variable takes effect after
// ResetFontCache.
void ResetFontCache();

}  // namespace quintrel::win32
