// The files of a resource-string unit: how texts are written as literals, how new units
// are generated, how their declarations are found, and how one declaration is inserted,
// replaced or removed while every other byte of the file stays as it was.
//
// A unit is a Pascal unit (NAME.pas) whose resourcestring sections hold the strings, or a
// resource script (NAME.rc) whose STRINGTABLE holds them, numbered by the integer
// constants of a companion Pascal unit (NAME.inc when there is one, else NAME.pas).
// Texts are 8-bit in the files, in the code page of the module's design language, and
// wide in the module.
//
// Generated files (lines end with CR LF; NAME is the file's base name with its first
// letter upper-cased):
//   NAME.pas              NAME.rc                      companion NAME.pas
//   unit NAME;            #include "NAME.pas"           unit NAME;
//                                                      
//   interface             STRINGTABLE                  interface
//                         {                            
//   resourcestring                                     {$R NAME.RES}
//     Ident = 'text';       Ident, "text"              
//                                                      const
//   implementation        }                              Ident = 1;
//                                                      
//   end.                                               implementation
//                                                      
//                                                      end.
// A file that holds exactly such a text without any declaration (whatever its line ends)
// is a skeleton: the only file a tool may delete or write anew as a whole.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quintrel::tools {

enum class TResUnitKind { None, Pascal, Script };
// By the extension, ignoring case: .pas, .rc, anything else none.
TResUnitKind ResUnitKind(std::string_view fileName);

// A text as a Pascal literal: quoted runs (quotes doubled) and #n for every character
// below 32, outside the quotes; '' for the empty text. Characters at or above 32 are
// bytes of the charset's code page ('?' for those it cannot hold).
std::string PascalLiteral(std::u16string_view text, int charset);
// A text as a resource-script literal in double quotes: \\ \" \n \r \t and \xHH for
// the other characters below 32; the rest as bytes of the charset's code page.
std::string ScriptLiteral(std::u16string_view text, int charset);
// A script's bytes as text and back, in the code page of the charset (as the script
// reader decodes them). Pascal literals go through the module's own conversion.
std::u16string DecodeText(std::string_view bytes, int charset);
std::string EncodeText(std::u16string_view text, int charset);
// Whether the code page of the charset holds the character (it comes back from a round
// trip through the code page), for scripts and Pascal units alike.
bool CharsetHolds(char16_t c, int charset);

// One declaration of a unit file.
struct TResDecl {
  std::string Identifier;
  std::u16string Text;   // a resourcestring's value or a string table entry's text
  std::string Value;     // a constant's value as written ("1001", "$3E9")
  long long Number = 0;  // a constant's value; a table entry's number (0: not known)
  size_t Offset = 0;     // the identifier's first byte
  size_t End = 0;        // just past the declaration: its ';', or a table entry's last literal
};

struct TDeclFile {
  std::vector<TResDecl> Decls;
  // Where a declaration goes when the file has none: the start of the line after the
  // first section keyword (resourcestring, const) or table block opening; nullopt when
  // the file has none.
  std::optional<size_t> SectionBody;
  // Declarations in the sections that are not a text (or a number) this reader can take
  // whole: an expression with a name in it, a typed constant. Left as they are.
  std::vector<std::string> Skipped;
};

// The resourcestring declarations of a Pascal unit up to its implementation part. A
// value is literals ('...', #n) joined by '+'.
TDeclFile ReadResourceStrings(std::string_view text, int charset);
// The integer constants of a Pascal unit's const sections up to its implementation part.
TDeclFile ReadConstants(std::string_view text);
// The entries of every STRINGTABLE of a script that carry a name. Raises
// host::EProjectError naming the file and line when the script cannot be read.
TDeclFile ReadStringTable(std::string_view text, const std::string& fileName, int charset);

// "Errors.rc" -> "Errors": the base name with its first letter upper-cased.
std::string GeneratedUnitName(const std::string& fileName);
// The generated files with the given declaration lines (already formatted, without
// indentation and line end); with none, the skeletons.
std::string GeneratePascalUnit(const std::string& name, const std::vector<std::string>& decls);
std::string GenerateScript(const std::string& name, const std::vector<std::string>& decls);
std::string GenerateConstantsUnit(const std::string& name, const std::vector<std::string>& decls);
// Whether text is the skeleton (any line ends) generated for `name` by `generate`.
bool IsSkeleton(std::string_view text, const std::string& name,
                std::string (*generate)(const std::string&, const std::vector<std::string>&));

// The declaration lines: "Ident = literal;", "Ident = number;", "Ident, literal".
std::string PascalDecl(const std::string& ident, std::u16string_view text, int charset);
std::string ConstantDecl(const std::string& ident, std::string_view value);
std::string ScriptDecl(const std::string& ident, std::u16string_view text, int charset);

// The file with `decl` as the new first declaration: before the first declaration, which
// keeps its indentation on its own line, or at SectionBody; nullopt when there is neither.
std::optional<std::string> InsertDecl(std::string_view text, const TDeclFile& file, const std::string& decl);
// The file with the declaration's bytes replaced by `decl`.
std::string ReplaceDecl(std::string_view text, const TResDecl& old, const std::string& decl);
// The file without the declaration: when nothing but blanks precede it on its line, the
// whole line up to its line end (a comment after it on the line goes with it); otherwise
// the declaration and the blanks after it. Nothing of the next line is touched.
std::string RemoveDecl(std::string_view text, const TResDecl& decl);

}  // namespace quintrel::tools
