#include "cli/source_commands.h"

#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "cli/common.h"
#include "cli/texts.h"
#include "cli/zod_common.h"
#include "platform/rtl/classes.h"
#include "platform/rtl/filebytes.h"
#include "platform/vcl/filer.h"
#include "strings/qconsts.h"
#include "text/codepages.h"
#include "tools/sourceparser.h"
#include "tools/sourcetext.h"

namespace quintrel::cli {

namespace {

namespace qs = quintrel::strings;
using tools::TLiteralForm;
using tools::TSourceLanguage;
using tools::TSourceParser;

// The largest source the command reads; real units and scripts are far smaller.
constexpr size_t kMaxSourceSize = size_t{64} << 20;

struct TSourceOptions {
  std::string File;
  std::string Lang;
  std::optional<int> Charset;
  bool Json = false;
};

const char* KindName(int kind) {
  switch (kind) {
    case tools::toSymbol: return "symbol";
    case tools::toString: return "string";
    case tools::toInteger: return "integer";
    case tools::toFloat: return "float";
    case '\n': return "eol";
    default: return "char";
  }
}

const char* FormName(TLiteralForm form) {
  switch (form) {
    case TLiteralForm::SingleQuoted: return "quoted";
    case TLiteralForm::DoubleQuoted: return "double-quoted";
    case TLiteralForm::CharCode: return "code";
    case TLiteralForm::None: break;
  }
  return "";
}

// Turns the bytes of tokens into text: UTF-8 when the whole file is UTF-8 (then a
// character code is a code point), else the bytes of a charset's code page.
class TTokenText {
public:
  TTokenText(const std::string& source, std::optional<int> charset) {
    utf8_ = !charset && rtl::FindInvalidUtf8(source) == std::string::npos;
    charset_ = charset.value_or(0);
  }

  std::u16string Of(const TSourceParser& parser) const {
    const int kind = parser.Token();
    if (kind == '\n') return u"\n";
    if (kind == tools::toString && parser.LiteralForm() == TLiteralForm::CharCode &&
        (utf8_ || parser.TokenCode() > 0xFF)) {
      std::u16string text;
      rtl::AppendUtf16(text, parser.TokenCode());
      return text;
    }
    const std::string bytes = kind > tools::toFloat ? std::string(1, static_cast<char>(kind)) : parser.TokenString();
    return utf8_ ? rtl::Utf8ToWide(bytes) : text::ByteToUnicode(bytes, charset_);
  }

  // Whether the bytes are read as UTF-8; a byte from 0x80 on its own then stands for nothing.
  bool Utf8() const { return utf8_; }

private:
  bool utf8_ = false;
  int charset_ = 0;
};

TSourceLanguage LanguageOf(const TSourceOptions& o) {
  if (o.Lang == "pas") return TSourceLanguage::Pascal;
  if (o.Lang == "c") return TSourceLanguage::C;
  if (o.Lang == "rc") return TSourceLanguage::ResourceScript;
  if (auto language = tools::SourceLanguageOf(o.File)) return *language;
  throw ECommandFailed(rtl::Format(qs::_SCliSourceLanguage, o.File));
}

void Tokens(const TSourceOptions& o) {
  const TSourceLanguage language = LanguageOf(o);
  rtl::TFileBytes file = rtl::ReadRegularFile(o.File, kMaxSourceSize);
  if (!file) {
    if (file.Fault == rtl::TReadFault::rfSystem && file.Error == ENOENT)
      throw ECommandFailed(rtl::Format(qs::_SCliFileNotFound, o.File));
    throw ECommandFailed(rtl::Format(qs::_SCliReadFailed, o.File, file.Reason()));
  }
  if (o.Charset) RequireCharsetWithCodePage(*o.Charset);
  const TTokenText texts(file.Data, o.Charset);
  rtl::TMemoryStream stream;
  stream.WriteBuffer(file.Data.data(), file.Data.size());
  stream.SetPosition(0);

  nlohmann::json list = nlohmann::json::array();
  try {
    TSourceParser parser(stream, language);
    for (int kind = parser.Token(); kind != tools::toEOF; kind = parser.NextToken()) {
      const std::u16string text = texts.Of(parser);
      if (!o.Json) {
        std::cout << parser.SourceLine() << '\t' << parser.SourcePos() << '\t' << KindName(kind) << '\t'
                  << (texts.Utf8() && kind >= 0x80 ? "\\x" + rtl::IntToHex(kind, 2) : EscapedText(text)) << '\n';
        continue;
      }
      nlohmann::json token = {{"kind", KindName(kind)}, {"line", parser.SourceLine()},
                              {"offset", parser.SourcePos()}, {"end", parser.SourceEnd()},
                              {"text", rtl::WideToUtf8(text)}};
      if (kind == tools::toString) token["form"] = FormName(parser.LiteralForm());
      if (parser.LiteralForm() == TLiteralForm::CharCode) token["code"] = parser.TokenCode();
      if (kind == tools::toInteger) token["hex"] = parser.Hexadecimal();
      if (kind > tools::toFloat && kind != '\n') token["code"] = kind;
      list.push_back(std::move(token));
    }
    if (parser.SourcePos() < static_cast<int64_t>(file.Data.size()))
      throw ECommandFailed(rtl::Format(qs::_SCliSourceZeroByte, o.File, parser.SourcePos()));
  } catch (const vcl::EParserError& e) {
    std::cout.flush();
    throw ECommandFailed(rtl::Format(qs::_SCliSourceFault, o.File, e.Message()));
  }
  if (o.Json) std::cout << list.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

}  // namespace

void RegisterSourceCommands(CLI::App& app) {
  CLI::App* source = app.add_subcommand(
      "source", "Read the sources of a project as the design-time tools read them: Pascal units, C sources and "
                "resource scripts");
  source->require_subcommand(1);

  auto o = std::make_shared<TSourceOptions>();
  CLI::App* tokens = source->add_subcommand(
      "tokens",
      "List the tokens of a source, one per line: line, byte offset, kind (symbol, string, integer, float, char, "
      "eol) and text, with control characters and backslashes escaped. Comments leave the trace the tools see: "
      "the closing } or ) of a Pascal comment");
  tokens->add_option("FILE", o->File, "Source file")->required();
  tokens->add_option("--lang", o->Lang, "Language: pas, c or rc (default: from the file's extension)")
      ->check(CLI::IsMember({"pas", "c", "rc"}));
  tokens->add_option("--charset", o->Charset,
                     "Windows character set of the file's bytes (default: UTF-8 when the whole file is UTF-8, "
                     "else 0, code page 1252)")
      ->check(CLI::Range(0, 255));
  tokens->add_flag("--json", o->Json, "Write JSON: kind, line, offset, end, text, and form, code or hex");
  tokens->callback([o]() { Tokens(*o); });
}

}  // namespace quintrel::cli
