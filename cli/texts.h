// Texts and names on the command line: the texts a command stores (from an argument, a
// file or standard input), the names it catalogues, the characters a language's code
// page loses, and stored texts shown on one line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "module/languages.h"

namespace quintrel::cli {

// A stored text on one line: UTF-8, with line ends, tabs, backslashes and other control
// characters written as the resource compiler's escapes (\n, \r, \t, \\, \xHH).
std::string EscapedText(const std::u16string& text);

// The largest text file --text-file reads.
constexpr size_t kMaxTextFileSize = size_t{1} << 20;
// The text of a file ("-": standard input) as UTF-16: a regular file of at most
// kMaxTextFileSize bytes, well-formed UTF-8; one line end at its very end is not part of
// the text. Fails with one line naming the file.
std::u16string ReadTextFile(const std::string& fileName);

// The names of the object catalogue. A catalogue line is "id name" and names are found as
// whole blank-separated words, so a name is an identifier: a form (never empty), a
// component (empty: the form itself), a property path of identifiers joined by dots, each
// with an optional [index] (Caption, Font.Name, Lines.Strings[0], Items[1].Caption).
// Fails naming the argument: ill-formed UTF-8 with its byte offset, else what a name is.
enum class TNameKind { Form, Component, Property };
void CheckName(std::string_view name, TNameKind kind, std::string_view argName);
bool IsPropertyPath(std::string_view path);

// Warns on stderr, naming them, about the characters of `text` that the code page of the
// language's charset cannot hold: an application with 8-bit texts loses them.
void WarnLostCharacters(const std::string& fileName, module::TLanguageId language, int charset,
                        const std::u16string& text);
// The lost characters, each once, in order of appearance, as "✓ (U+2713)" items joined
// by ", "; empty when the code page holds them all.
std::string LostCharacters(const std::u16string& text, int charset);

}  // namespace quintrel::cli
