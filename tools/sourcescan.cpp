#include "tools/sourcescan.h"

#include <algorithm>
#include <filesystem>

#include "platform/ide/project.h"
#include "platform/rtl/classes.h"
#include "platform/vcl/filer.h"
#include "platform/vcl/textutil.h"
#include "strings/toolconsts.h"
#include "text/codepages.h"
#include "tools/sourcetext.h"
#include "tools/toolsession.h"

namespace quintrel::tools {

namespace {

bool IsOneOf(std::string_view word, std::initializer_list<const char*> words) {
  return std::any_of(words.begin(), words.end(), [&](const char* w) { return vcl::SameText(word, w); });
}

// The length of the text without the blanks and control characters at either end.
size_t TrimmedLength(const std::u16string& text) {
  size_t first = 0, last = text.size();
  while (first < last && text[first] <= u' ') ++first;
  while (last > first && text[last - 1] <= u' ') --last;
  return last - first;
}

// A token a Pascal comment leaves behind ("}" or the ")" of "*)"), or a line end.
bool Noise(int t) { return t == '}' || t == ')' || t == '\n'; }

class TPascalScanner {
public:
  TPascalScanner(std::string_view text, int charset, const TScanOptions& options)
      : text_(text), charset_(charset), options_(options) {
    stream_.Write(text.data(), text.size());
    stream_.SetPosition(0);
  }

  std::vector<TSourceFinding> Scan() {
    TSourceParser parser(stream_, TSourceLanguage::Pascal);
    int t = parser.Token();
    while (t != toEOF) {
      Parentheses(static_cast<size_t>(parser.SourcePos()), t);
      if (AtPascalLiteral(parser)) {
        const int before = previous_;
        TPascalLiteral literal = ReadPascalLiteral(parser, charset_);
        t = parser.Token();  // the token after the literal, handled by the next round
        OnLiteral(literal, before, t);
        previous_ = toString;
        gapStart_ = static_cast<size_t>(literal.End);
        continue;
      }
      if (t == toSymbol)
        OnSymbol(parser);
      else
        OnOther(t, parser);
      if (!Noise(t)) previous_ = t;
      gapStart_ = static_cast<size_t>(parser.SourceEnd());
      t = parser.NextToken();
    }
    return std::move(findings_);
  }

private:
  // The tokenizer drops an opening parenthesis, so the depth is read from the bytes it
  // passed over before the token at `pos`: the "(" there before any comment opens, and
  // a ")" token that closes no comment. It tells a parameter list's "const" and "var"
  // from the sections those words open.
  void Parentheses(size_t pos, int t) {
    const std::string_view gap = text_.substr(gapStart_, pos - gapStart_);
    const size_t comment = std::min({gap.find('{'), gap.find("(*"), gap.find("//")});
    const std::string_view open = gap.substr(0, comment);
    depth_ += static_cast<int>(std::count(open.begin(), open.end(), '('));
    if (t == ')' && gap.find("(*") == std::string_view::npos && depth_ > 0) --depth_;
  }

  enum class TDecl { None, Name, Equals, Value, Plus, Broken };

  void EndDecl() {
    decl_ = TDecl::None;
    value_.clear();
  }

  void OnSymbol(const TSourceParser& parser) {
    const std::string& word = parser.TokenString();
    labels_.clear();
    if (depth_ > 0) {
      // Inside parentheses only a word that cannot stand there ends them (a lost ")").
      if (!IsOneOf(word, {"begin", "implementation", "initialization", "finalization", "end"})) {
        if (inSection_ && decl_ != TDecl::None) decl_ = TDecl::Broken;
        return;
      }
      depth_ = 0;
    }
    if (IsOneOf(word, {"const", "resourcestring"})) {
      inSection_ = atDeclStart_ = true;
      inHeading_ = false;
      EndDecl();
      return;
    }
    const bool routine = IsOneOf(word, {"procedure", "function", "constructor", "destructor", "operator"});
    if (routine ||
        IsOneOf(word, {"type", "var", "threadvar", "uses", "label", "exports", "begin", "asm", "initialization",
                       "finalization", "implementation", "interface", "end", "property", "private", "protected",
                       "public", "published", "strict"})) {
      inSection_ = atDeclStart_ = false;
      inHeading_ = routine;
      EndDecl();
      return;
    }
    if (!inSection_) return;
    if (atDeclStart_) {
      atDeclStart_ = false;
      decl_ = TDecl::Name;
      name_ = word;
      nameStart_ = static_cast<size_t>(parser.SourcePos());
      nameLine_ = parser.SourceLine();
      return;
    }
    if (decl_ != TDecl::None) decl_ = TDecl::Broken;  // a name in the value: an expression
  }

  void OnOther(int t, const TSourceParser& parser) {
    if (Noise(t)) return;
    if (t == ':' && !labels_.empty()) {
      for (size_t i : labels_) findings_[i].Place = TLiteralPlace::CaseLabel;
    }
    if (t != ',') labels_.clear();
    if (!inSection_) return;
    if (t == ';') {
      if (decl_ == TDecl::Value && !value_.empty() && options_.Constants) {
        const size_t end = static_cast<size_t>(parser.SourceEnd());
        if (!DoNotLocalize(text_, end)) {
          TSourceFinding f;
          f.Kind = TFindingKind::Constant;
          f.Start = nameStart_;
          f.End = end;
          f.Line = nameLine_;
          f.Identifier = name_;
          f.Text = value_;
          findings_.push_back(std::move(f));
        }
      }
      EndDecl();
      atDeclStart_ = true;
      return;
    }
    if (t == '=' && decl_ == TDecl::Name)
      decl_ = TDecl::Equals;
    else if (t == '+' && decl_ == TDecl::Value)
      decl_ = TDecl::Plus;
    else if (decl_ != TDecl::None)
      decl_ = TDecl::Broken;  // a type, a number, an operator: not a plain text
  }

  void OnLiteral(const TPascalLiteral& literal, int before, int after) {
    if (inSection_) {
      if (decl_ == TDecl::Equals || decl_ == TDecl::Plus) {
        value_ += literal.Text;
        decl_ = TDecl::Value;
      } else if (decl_ != TDecl::None) {
        decl_ = TDecl::Broken;
      }
      return;
    }
    const bool continuesLabels = before == ',' && !labels_.empty();
    if (!continuesLabels) labels_.clear();
    if (!options_.Literals || TrimmedLength(literal.Text) < std::max<size_t>(options_.MinLength, 1) ||
        DoNotLocalize(text_, static_cast<size_t>(literal.End))) {
      if (after != ',') labels_.clear();
      return;
    }
    TSourceFinding f;
    f.Kind = TFindingKind::Literal;
    f.Start = static_cast<size_t>(literal.Start);
    f.End = static_cast<size_t>(literal.End);
    f.Line = literal.Line;
    f.Text = literal.Text;
    if (inHeading_) f.Place = TLiteralPlace::Heading;
    findings_.push_back(std::move(f));
    if (after == ':') {
      labels_.push_back(findings_.size() - 1);
      for (size_t i : labels_) findings_[i].Place = TLiteralPlace::CaseLabel;
      labels_.clear();
    } else if (after == ',') {
      labels_.push_back(findings_.size() - 1);
    } else {
      labels_.clear();
    }
  }

  std::string_view text_;
  int charset_;
  const TScanOptions& options_;
  rtl::TMemoryStream stream_;
  std::vector<TSourceFinding> findings_;

  size_t gapStart_ = 0;  // where the bytes before the current token begin
  int depth_ = 0;        // parentheses open
  bool inSection_ = false;
  bool atDeclStart_ = false;
  bool inHeading_ = false;
  int previous_ = 0;
  TDecl decl_ = TDecl::None;
  std::string name_;
  size_t nameStart_ = 0;
  int nameLine_ = 0;
  std::u16string value_;
  // The literals of what may be a case label list ('ab', 'cd': ...), by finding.
  std::vector<size_t> labels_;
};

class TCppScanner {
public:
  TCppScanner(std::string_view text, int charset, const TScanOptions& options)
      : text_(text), charset_(charset), options_(options) {
    stream_.Write(text.data(), text.size());
    stream_.SetPosition(0);
  }

  std::vector<TSourceFinding> Scan() {
    TSourceParser parser(stream_, TSourceLanguage::C);
    bool lineStart = true;
    int previous = 0;
    int64_t previousEnd = -1;
    bool externBefore = false;
    int t = parser.Token();
    while (t != toEOF) {
      if (t == '#' && lineStart) {
        t = parser.NextToken();
        if (t == toSymbol && IsOneOf(parser.TokenString(), {"include", "pragma"}))
          while (t != '\n' && t != toEOF) t = parser.NextToken();
        lineStart = false;
        continue;
      }
      if (t == toString && parser.LiteralForm() == TLiteralForm::DoubleQuoted) {
        // A prefix (L, u8, R ...) touches the quote: a wide or raw literal, not a text of
        // the code page.
        const bool prefixed = previous == toSymbol && previousEnd == parser.SourcePos();
        const bool skip = prefixed || externBefore;
        t = ReadLiteral(parser, skip);
        lineStart = t == '\n' || sawLineEnd_;
        previous = toString;
        externBefore = false;
        continue;
      }
      lineStart = t == '\n';
      if (t != '\n') {
        externBefore = t == toSymbol && parser.TokenString() == "extern";
        previous = t;
        previousEnd = parser.SourceEnd();
      }
      t = parser.NextToken();
    }
    return std::move(findings_);
  }

private:
  // Reads the literal and every literal the compiler joins to it; returns the token after.
  int ReadLiteral(TSourceParser& parser, bool skip) {
    TSourceFinding f;
    f.Kind = TFindingKind::Literal;
    f.Start = static_cast<size_t>(parser.SourcePos());
    f.Line = parser.SourceLine();
    std::string bytes;
    int t = parser.Token();
    for (;;) {
      bytes += parser.TokenString();
      f.End = static_cast<size_t>(parser.SourceEnd());
      t = parser.NextToken();
      sawLineEnd_ = false;
      while (t == '\n') {
        sawLineEnd_ = true;
        t = parser.NextToken();
      }
      if (t != toString || parser.LiteralForm() != TLiteralForm::DoubleQuoted) break;
    }
    f.Text = text::ByteToUnicode(bytes, charset_);
    if (!skip && options_.Literals && TrimmedLength(f.Text) >= std::max<size_t>(options_.MinLength, 1) &&
        !DoNotLocalize(text_, f.End))
      findings_.push_back(std::move(f));
    return t;
  }

  std::string_view text_;
  int charset_;
  const TScanOptions& options_;
  rtl::TMemoryStream stream_;
  std::vector<TSourceFinding> findings_;
  bool sawLineEnd_ = false;  // line ends passed while joining literals
};

}  // namespace

bool DoNotLocalize(std::string_view text, size_t from) {
  if (from >= text.size()) return false;
  const size_t end = FindLineEnd(text, from);
  return text.substr(from, end - from).find(kDoNotLocalize) != std::string_view::npos;
}

std::vector<TSourceFinding> ScanSource(std::string_view text, TSourceLanguage language, int charset,
                                       const TScanOptions& options) {
  if (language == TSourceLanguage::Pascal) return TPascalScanner(text, charset, options).Scan();
  if (language == TSourceLanguage::C) return TCppScanner(text, charset, options).Scan();
  return {};
}

bool IsScannedUnit(std::string_view fileName) {
  const std::string ext = host::ExtensionOf(fileName);
  return ext == ".pas" || ext == ".cpp";
}

TScanReport ScanProject(TToolSession& session, const std::vector<std::string>& skipped, int charset,
                        const TScanOptions& options, const TProgress& progress) {
  namespace fs = std::filesystem;
  TScanReport report;
  const std::vector<host::TProjectEntry>& entries = session.Project().Entries();
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string& path = entries[i].FileName;
    const std::string name = fs::path(path).filename().string();
    if (!IsScannedUnit(name)) continue;
    if (std::any_of(skipped.begin(), skipped.end(), [&](const std::string& s) { return vcl::SameText(s, name); }))
      continue;
    Report(progress, name, i, entries.size());
    try {
      const std::optional<std::string> text = session.Read(path);
      if (!text) {
        report.Problems.push_back(rtl::Format(strings::_SScanUnitMissing, path));
        continue;
      }
      if (text->size() > kMaxScanUnitSize)
        throw EToolError(rtl::Format(strings::_SScanUnitTooLarge, path, static_cast<int>(kMaxScanUnitSize)));
      const TSourceLanguage language = host::ExtensionOf(name) == ".pas" ? TSourceLanguage::Pascal : TSourceLanguage::C;
      for (TSourceFinding& f : ScanSource(*text, language, charset, options)) {
        f.Unit = path;
        f.UnitIndex = i;
        report.Findings.push_back(std::move(f));
      }
    } catch (const vcl::EParserError& e) {
      report.Problems.push_back(path + ": " + e.Message());
    } catch (const rtl::Exception& e) {
      report.Problems.push_back(e.Message());
    }
  }
  return report;
}

}  // namespace quintrel::tools
