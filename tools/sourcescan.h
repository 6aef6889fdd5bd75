// The source scanner: the hard-coded texts of a project's units, the candidates for
// resource strings.
//
// Two kinds of finding:
//   - a string constant: a declaration "Ident = value;" of a Pascal const or
//     resourcestring section whose value is nothing but literals joined by "+" ('It''s',
//     'a'#13#10'b', ' '); typed constants and values with names, numbers or parentheses
//     are not texts this tool can move and are passed over;
//   - a literal: a Pascal literal outside those sections (its parts merged, so that its
//     span is exactly its bytes), or a C++ string literal outside comments and #include
//     and #pragma lines (adjacent literals, which the compiler joins, are one finding;
//     wide, raw and character literals and the "C" of extern "C" are passed over).
// A finding whose line carries "//DO NOT LOCALIZE" after it is left out; the line ends at
// the next LF, CR LF or CR, so the marker of a later line never counts.
//
// A section ends at every word that starts something else: type, var, uses, label,
// procedure, function, constructor, destructor, begin, initialization, finalization,
// implementation, end, and the visibility words of a class. A literal in a routine's
// heading (a default parameter, an external name or a directive) or in a case label
// cannot become a resource string; such findings carry their place so that tools warn
// instead of rewriting them.
//
// Texts are decoded in the code page of the charset given (the design language's): the
// bytes of a unit are 8-bit text in that code page.
//
// Bounds: one pass over the tokens, no recursion, no lookahead beyond the tokenizer's;
// a unit larger than kMaxScanUnitSize is refused naming the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/progress.h"
#include "tools/sourceparser.h"

namespace quintrel::tools {

class TToolSession;

// Offsets were six hexadecimal digits where the scanner's lists were first kept; a unit
// stays within what they address.
inline constexpr size_t kMaxScanUnitSize = 0xFFFFFF;
inline constexpr std::string_view kDoNotLocalize = "//DO NOT LOCALIZE";

enum class TFindingKind : uint8_t { Constant, Literal };
enum class TLiteralPlace : uint8_t { Code, Heading, CaseLabel };

struct TSourceFinding {
  TFindingKind Kind = TFindingKind::Literal;
  std::string Unit;       // the unit's full path (empty from ScanSource)
  size_t UnitIndex = 0;   // its position in the project's unit list
  size_t Start = 0;       // literal: its first byte; constant: its identifier's
  size_t End = 0;         // just past the literal, or past the constant's ';'
  int Line = 0;           // of Start
  std::string Identifier; // a constant's name
  std::u16string Text;    // the literal's text, or the constant's value
  TLiteralPlace Place = TLiteralPlace::Code;
};

struct TScanOptions {
  size_t MinLength = 2;  // a literal's text, trimmed, has at least this many characters
  bool Constants = true;
  bool Literals = true;
};

// Whether the line that holds `from` carries the marker at or after `from`.
bool DoNotLocalize(std::string_view text, size_t from);

// The findings of one unit's text, in file order. Raises vcl::EParserError for a literal
// the tokenizer cannot read.
std::vector<TSourceFinding> ScanSource(std::string_view text, TSourceLanguage language, int charset,
                                       const TScanOptions& options);

// Whether the scanner reads the file: a Pascal unit (.pas) or a C++ unit (.cpp).
bool IsScannedUnit(std::string_view fileName);

struct TScanReport {
  std::vector<TSourceFinding> Findings;  // constants and literals, unit by unit
  std::vector<std::string> Problems;     // one line per unit that could not be read
};

// Scans every unit of the session's project that is not a resource-string unit (or the
// constants unit of one): `skipped` holds their file names, compared ignoring case.
// `progress` (may be empty) is told each unit's file name and position in the project
// before the unit is read.
TScanReport ScanProject(TToolSession& session, const std::vector<std::string>& skipped, int charset,
                        const TScanOptions& options, const TProgress& progress = {});

}  // namespace quintrel::tools
