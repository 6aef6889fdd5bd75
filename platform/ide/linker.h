// The executable's string table as the project's compiler and linker build it.
//
// Two kinds of source feed it. Resource scripts (.rc) hold STRINGTABLE blocks whose
// identifiers the script fixes, as numbers or as constants of an included Pascal unit or
// C header. Pascal units hold resourcestring sections; the linker numbers those strings
// itself, from 65535 downwards in project order and declaration order, passing over the
// identifiers the scripts took. A translator that catalogued those identifiers once must
// therefore expect them to shift whenever a string is added or removed.
//
// The scripts a project links are the ones its project source names (USERC), and for
// every linked Pascal unit (and a Delphi project source) each {$R NAME.RES} directive
// whose NAME.rc is beside it, or {$R NAME.RES NAME.RC} naming the script outright.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ide/project.h"
#include "platform/win32/windef.h"

namespace quintrel::host {

struct TLinkedString {
  std::string Unit;        // file name of the unit or script, without folder ("AppText.pas")
  std::string Identifier;  // the constant's name; empty for a script entry given as a number
  unsigned Resource = 0;   // identifier in the string table; 0 until linked for Pascal units
  std::u16string Text;
  int Line = 0;  // of the declaration
  // Script entries: the bytes of the entry, from its identifier's first byte to just
  // past its last quoted text.
  size_t Offset = 0;
  size_t End = 0;
};

struct TStringTable {
  // Script strings first (in script order), then Pascal strings, units in project order.
  std::vector<TLinkedString> Strings;
  // The string a constant names; with an empty unit the first of that name in any unit.
  // Names compare without regard to ASCII case, as both languages' constants do.
  const TLinkedString* Find(std::string_view identifier, std::string_view unit = {}) const;
};

// Raises EProjectError naming file and line when a source cannot be read, a declaration
// is malformed, a symbol is undefined, two script strings share an identifier, or the
// Pascal strings do not fit into the identifiers left. Narrow texts are decoded with
// `codePage`, as the compiler and the resource compiler do with the system code page.
TStringTable LinkStringTable(const TProject& project, unsigned codePage);

// Writes the table into an instance's string table, as the linker puts it into the
// executable; returns the number of strings written (an empty text counts as none).
int InstallStringTable(win32::HINSTANCE instance, const TStringTable& table);

// --- the readers, one source at a time (Resource left 0 for Pascal strings) ------------

// Text constants by name (upper-cased).
using TTextConstants = std::map<std::string, std::u16string>;

// The resourcestring declarations of a Pascal unit. Their values may join literals with
// sLineBreak, with the unit's own text constants declared before them, and with `others`
// (other units' constants, as a project's compiler knows them); any other name fails.
std::vector<TLinkedString> ReadPascalResourceStrings(std::string_view source, const std::string& fileName,
                                                     unsigned codePage, const TTextConstants* others = nullptr);
// The text constants of a Pascal unit's const sections: values made of literals, #-codes,
// sLineBreak and constants declared before them, joined by '+'.
TTextConstants ReadPascalTextConstants(std::string_view source, const std::string& fileName, unsigned codePage);
// Integer constants by name (upper-cased); a constant whose value 64 bits do not hold is
// there without a value, so that only a string identifier that uses it fails.
using TConstants = std::map<std::string, std::optional<long long>>;

// Integer constants of a Pascal unit's const sections, and the resource files its {$R}
// directives name, as written.
struct TPascalUnitFacts {
  TConstants Constants;
  std::vector<std::pair<std::string, std::string>> Resources;  // (.res, .rc or empty)
};
TPascalUnitFacts ReadPascalUnitFacts(std::string_view source);

// The STRINGTABLE entries of a resource script. Included files are read relative to the
// script's folder: Pascal units (.pas, .inc) for their constants, anything else as a
// C header for its #define lines.
std::vector<TLinkedString> ReadScriptStringTables(std::string_view script, const std::string& fileName,
                                                  unsigned codePage);

// The same read for a tool that edits the script in place: the entries with their byte
// spans, and where each STRINGTABLE's block begins (just past its BEGIN or '{'). An
// entry named by a constant this reader cannot resolve (its unit is missing, or is about
// to change) keeps its name with Resource 0 instead of failing the read.
struct TScriptTables {
  std::vector<TLinkedString> Strings;
  std::vector<size_t> Blocks;
};
TScriptTables ReadScriptLayout(std::string_view script, const std::string& fileName, unsigned codePage);

}  // namespace quintrel::host
