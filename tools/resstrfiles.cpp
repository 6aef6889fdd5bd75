#include "tools/resstrfiles.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "platform/ide/linker.h"
#include "platform/ide/project.h"
#include "platform/rtl/classes.h"
#include "platform/vcl/charsets.h"
#include "platform/vcl/textutil.h"
#include "text/codepages.h"
#include "tools/sourceparser.h"
#include "tools/sourcetext.h"

namespace quintrel::tools {

namespace {

constexpr const char* kCrLf = "\r\n";

bool IsOneOf(std::string_view word, std::initializer_list<const char*> words) {
  return std::any_of(words.begin(), words.end(), [&](const char* w) { return vcl::SameText(word, w); });
}

vcl::TTextCodec CodecOf(int charset) {
  const uint32_t codePage = text::CharsetToCodePage(charset);
  return vcl::CodecForCodePage(codePage ? static_cast<int>(codePage) : 1252);
}

bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

std::string Normalized(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string Lines(std::initializer_list<std::string> lines) {
  std::string out;
  for (const std::string& line : lines) out += line + kCrLf;
  return out;
}

std::string Indented(const std::vector<std::string>& decls) {
  std::string out;
  for (const std::string& d : decls) out += "  " + d + kCrLf;
  return out;
}

// The Pascal reader: declarations "Ident = value;" in the sections of one keyword, the
// value a text (literals joined by '+') or an integer. Identifier tokens are compared
// ignoring case; the scan ends at "implementation".
class TPascalDeclReader {
public:
  TPascalDeclReader(std::string_view text, const char* section, bool texts, int charset)
      : section_(section), texts_(texts), charset_(charset) {
    stream_.Write(text.data(), text.size());
    stream_.SetPosition(0);
  }

  TDeclFile Read() {
    TDeclFile file;
    TSourceParser parser(stream_, TSourceLanguage::Pascal);
    bool inSection = false;
    bool atStart = false;  // the next identifier starts a declaration
    for (int t = parser.Token(); t != toEOF; t = parser.NextToken()) {
      if (t != toSymbol) {
        if (t == ';') atStart = inSection;
        continue;
      }
      const std::string& word = parser.TokenString();
      if (vcl::SameText(word, "implementation")) break;
      if (vcl::SameText(word, section_)) {
        inSection = atStart = true;
        if (!file.SectionBody) file.SectionBody = NextLineStart(Text(), static_cast<size_t>(parser.SourceEnd()));
        continue;
      }
      if (IsOneOf(word, {"const", "resourcestring", "type", "var", "threadvar", "uses", "label", "procedure",
                         "function", "constructor", "destructor", "begin", "exports", "initialization"})) {
        inSection = atStart = false;
        continue;
      }
      if (!inSection || !atStart) continue;
      atStart = false;
      ReadDecl(parser, file);
      atStart = parser.Token() == ';';
      if (parser.Token() == toEOF) break;
    }
    return file;
  }

private:
  std::string_view Text() const {
    return {reinterpret_cast<const char*>(stream_.Bytes().data()), stream_.Bytes().size()};
  }

  // A token a comment leaves behind ("}" or the ")" of "*)"), or a line end: no part of
  // a declaration.
  static bool Noise(int t) { return t == '}' || t == ')' || t == '\n'; }

  int Next(TSourceParser& parser) {
    int t = parser.NextToken();
    while (Noise(t)) t = parser.NextToken();
    return t;
  }

  // At the identifier; leaves the parser at the ';' that ends the declaration (or at the
  // end of the text).
  void ReadDecl(TSourceParser& parser, TDeclFile& file) {
    TResDecl decl;
    decl.Identifier = parser.TokenString();
    decl.Offset = static_cast<size_t>(parser.SourcePos());
    int t = Next(parser);
    bool understood = t == '=';
    if (understood) {
      t = Next(parser);
      understood = texts_ ? ReadText(parser, t, decl) : ReadNumber(parser, t, decl);
    }
    while (t != ';' && t != toEOF) t = parser.NextToken();
    if (t != ';') return;
    if (!understood) {
      file.Skipped.push_back(decl.Identifier);
      return;
    }
    decl.End = static_cast<size_t>(parser.SourceEnd());
    file.Decls.push_back(std::move(decl));
  }

  // Literals joined by '+' up to the ';'.
  bool ReadText(TSourceParser& parser, int& t, TResDecl& decl) {
    for (;;) {
      if (!AtPascalLiteral(parser)) return false;
      decl.Text += ReadPascalLiteral(parser, charset_).Text;
      t = parser.Token();
      while (Noise(t)) t = parser.NextToken();
      if (t != '+') return t == ';';
      t = Next(parser);
    }
  }

  bool ReadNumber(TSourceParser& parser, int& t, TResDecl& decl) {
    bool negative = false;
    if (t == '-') {  // "-5" arrives as one number token; a '-' alone is an expression
      negative = true;
      t = Next(parser);
    }
    if (t == toFloat && parser.TokenString().size() > 1 && parser.TokenString()[0] == '-') {
      const std::string digits = parser.TokenString().substr(1);
      if (!std::all_of(digits.begin(), digits.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return false;
      decl.Value = parser.TokenString();
      decl.Number = -std::stoll(digits.substr(0, 18));
      t = Next(parser);
      return t == ';';
    }
    if (t != toInteger || parser.TokenString().size() > 15) return false;
    const bool hex = parser.Hexadecimal();
    decl.Value = (negative ? "-" : "") + std::string(hex ? "$" : "") + parser.TokenString();
    decl.Number = std::stoll(parser.TokenString(), nullptr, hex ? 16 : 10) * (negative ? -1 : 1);
    t = Next(parser);
    return t == ';';
  }

  rtl::TMemoryStream stream_;
  const char* section_;
  bool texts_;
  int charset_;
};

}  // namespace

TResUnitKind ResUnitKind(std::string_view fileName) {
  const std::string ext = host::ExtensionOf(fileName);
  if (ext == ".pas") return TResUnitKind::Pascal;
  if (ext == ".rc") return TResUnitKind::Script;
  return TResUnitKind::None;
}

std::u16string DecodeText(std::string_view bytes, int charset) { return CodecOf(charset).ToWide(bytes); }
std::string EncodeText(std::u16string_view text, int charset) { return CodecOf(charset).ToNarrow(text); }

bool CharsetHolds(char16_t c, int charset) {
  thread_local int cachedCharset = -1;
  thread_local vcl::TTextCodec codec;
  if (cachedCharset != charset) {
    codec = CodecOf(charset);
    cachedCharset = charset;
  }
  const std::u16string one(1, c);
  return codec.ToWide(codec.ToNarrow(one)) == one &&
         text::ByteToUnicode(text::UnicodeToByte(one, charset), charset) == one;
}

std::string PascalLiteral(std::u16string_view text, int charset) {
  std::string out;
  bool quoted = false;
  size_t runStart = 0;
  const auto flushRun = [&](size_t end) {
    if (end == runStart) return;
    std::string bytes = text::UnicodeToByte(text.substr(runStart, end - runStart), charset);
    for (char c : bytes) {
      out += c;
      if (c == '\'') out += '\'';
    }
  };
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] >= 32) {
      if (!quoted) {
        out += '\'';
        quoted = true;
        runStart = i;
      }
      continue;
    }
    if (quoted) {
      flushRun(i);
      out += '\'';
      quoted = false;
    }
    out += "#" + std::to_string(static_cast<unsigned>(text[i]));
  }
  if (quoted) {
    flushRun(text.size());
    out += '\'';
  }
  return out.empty() ? "''" : out;
}

std::string ScriptLiteral(std::u16string_view text, int charset) {
  std::string out = "\"";
  size_t runStart = 0;
  const auto flushRun = [&](size_t end) {
    if (end > runStart) out += EncodeText(text.substr(runStart, end - runStart), charset);
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 32 && c != '\\' && c != '"') continue;
    flushRun(i);
    runStart = i + 1;
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(c));
        out += hex;
      }
    }
  }
  flushRun(text.size());
  return out + "\"";
}

TDeclFile ReadResourceStrings(std::string_view text, int charset) {
  return TPascalDeclReader(text, "resourcestring", true, charset).Read();
}

TDeclFile ReadConstants(std::string_view text) { return TPascalDeclReader(text, "const", false, 0).Read(); }

TDeclFile ReadStringTable(std::string_view text, const std::string& fileName, int charset) {
  const uint32_t codePage = text::CharsetToCodePage(charset);
  const host::TScriptTables tables = host::ReadScriptLayout(text, fileName, codePage ? codePage : 1252);
  TDeclFile file;
  for (const host::TLinkedString& s : tables.Strings) {
    if (s.Identifier.empty()) continue;  // numbered entries: no constant to keep in step with
    TResDecl decl;
    decl.Identifier = s.Identifier;
    decl.Text = s.Text;
    decl.Number = s.Resource;
    decl.Offset = s.Offset;
    decl.End = s.End;
    file.Decls.push_back(std::move(decl));
  }
  if (!tables.Blocks.empty()) file.SectionBody = NextLineStart(text, tables.Blocks.front());
  return file;
}

std::string GeneratedUnitName(const std::string& fileName) {
  std::string name = std::filesystem::path(fileName).stem().string();
  if (!name.empty()) name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
  return name;
}

std::string GeneratePascalUnit(const std::string& name, const std::vector<std::string>& decls) {
  return Lines({"unit " + name + ";", "", "interface", "", "resourcestring"}) + Indented(decls) +
         Lines({"", "implementation", "", "end."});
}

std::string GenerateScript(const std::string& name, const std::vector<std::string>& decls) {
  return Lines({"#include \"" + name + ".pas\"", "", "STRINGTABLE", "{", ""}) + Indented(decls) + Lines({"", "}", ""});
}

std::string GenerateConstantsUnit(const std::string& name, const std::vector<std::string>& decls) {
  return Lines({"unit " + name + ";", "", "interface", "", "{$R " + name + ".RES}", "", "const"}) + Indented(decls) +
         Lines({"", "implementation", "", "end."});
}

bool IsSkeleton(std::string_view text, const std::string& name,
                std::string (*generate)(const std::string&, const std::vector<std::string>&)) {
  return Normalized(text) == Normalized(generate(name, {}));
}

std::string PascalDecl(const std::string& ident, std::u16string_view text, int charset) {
  return ident + " = " + PascalLiteral(text, charset) + ";";
}
std::string ConstantDecl(const std::string& ident, std::string_view value) {
  return ident + " = " + std::string(value) + ";";
}
std::string ScriptDecl(const std::string& ident, std::u16string_view text, int charset) {
  return ident + ", " + ScriptLiteral(text, charset);
}

std::optional<std::string> InsertDecl(std::string_view text, const TDeclFile& file, const std::string& decl) {
  const std::string eol(LineEndOf(text));
  std::string out(text);
  if (!file.Decls.empty()) {
    const size_t at = file.Decls.front().Offset;
    const size_t start = LineStart(text, at);
    const std::string_view lead = text.substr(start, at - start);
    const bool ownLine = lead.find_first_not_of(" \t") == std::string_view::npos;
    out.insert(at, decl + eol + (ownLine ? std::string(lead) : std::string("  ")));
    return out;
  }
  if (!file.SectionBody) return std::nullopt;
  size_t at = *file.SectionBody;
  // A section keyword on the text's last line: the declaration needs a line of its own.
  const std::string before = at == text.size() && (text.empty() || !IsLineEnd(text.back())) ? eol : "";
  out.insert(at, before + "  " + decl + eol);
  return out;
}

std::string ReplaceDecl(std::string_view text, const TResDecl& old, const std::string& decl) {
  std::string out(text);
  out.replace(old.Offset, old.End - old.Offset, decl);
  return out;
}

std::string RemoveDecl(std::string_view text, const TResDecl& decl) {
  const size_t start = LineStart(text, decl.Offset);
  const std::string_view lead = text.substr(start, decl.Offset - start);
  size_t end = decl.End;
  while (end < text.size() && (text[end] == ' ' || text[end] == '\t')) ++end;
  const bool restIsComment = text.substr(end, 2) == "//";
  const bool ownLine = lead.find_first_not_of(" \t") == std::string_view::npos &&
                       (end == text.size() || IsLineEnd(text[end]) || restIsComment);
  std::string out(text);
  if (ownLine)
    out.erase(start, NextLineStart(text, end) - start);
  else
    out.erase(decl.Offset, end - decl.Offset);
  return out;
}

}  // namespace quintrel::tools
