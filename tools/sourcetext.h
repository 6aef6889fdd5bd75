// Pieces of source text every design-time tool needs the same way: Pascal string literals
// read whole from the tokenizer's parts, and lines of sources written with any of the
// three line-end conventions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tools/sourceparser.h"

namespace quintrel::tools {

// One Pascal literal as the compiler sees it: 'It''s', 'a'#13#10'b', #$41 or ''. The
// tokenizer delivers its parts one by one; a tool that reads or rewrites the literal
// needs all of them, with the span from the first part's first byte to the last part's
// last, so that a rewrite replaces exactly the literal's bytes.
struct TPascalLiteral {
  std::u16string Text;
  int64_t Start = 0;  // stream position of the first part
  int64_t End = 0;    // just after the last part
  int Line = 0;       // of the first part
  int Parts = 0;      // quoted parts and character codes merged
};

// Reads the literal whose first part is the parser's current token: every following
// quoted part or character code that starts exactly where the previous one ended (no
// blank, comment or "+" between them; two quoted parts meeting are a doubled quote).
// Leaves the parser on the first token after the literal. Quoted parts and codes up to
// 255 are bytes of the charset's code page (text::ByteToUnicode); a code above 255 is the
// character of that value (two units above U+FFFF, U+FFFD past U+10FFFF).
// Precondition: the current token is a single-quoted string or a character code.
TPascalLiteral ReadPascalLiteral(TSourceParser& parser, int32_t charset);

// True when the parser's current token can start a Pascal literal.
bool AtPascalLiteral(const TSourceParser& parser);

// The language of a source by its extension, compared without regard to case: Pascal for
// .pas .dpr .dpk .inc .pp .lpr, resource scripts for .rc .rc2 .dlg, C for .c .cpp .cc .cxx
// .h .hpp .hh .hxx; none for any other.
std::optional<TSourceLanguage> SourceLanguageOf(std::string_view fileName);

// --- lines -------------------------------------------------------------------------------
// A line ends at a LF, a CR LF pair or a CR standing alone.

// The length of the line end starting at `pos`: 2 for CR LF, 1 for a lone CR or LF, 0
// when no line end starts there (or pos is past the text).
size_t LineEndLength(std::string_view text, size_t pos);
// The position of the first line end at or after `from`; text.size() when there is none.
size_t FindLineEnd(std::string_view text, size_t from);
// The start of the line after the one that holds `from` (just past its line end);
// text.size() on the last line.
size_t NextLineStart(std::string_view text, size_t from);
// The start of the line that holds `pos`.
size_t LineStart(std::string_view text, size_t pos);
// The line end the text uses first, so that inserted lines match the file; CR LF for a
// text without one.
std::string_view LineEndOf(std::string_view text);

}  // namespace quintrel::tools
