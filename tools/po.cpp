#include "tools/po.h"

#include <set>

#include "platform/rtl/utf8.h"
#include "platform/vcl/textutil.h"
#include "strings/toolconsts.h"
#include "text/unicode.h"
#include "tools/intlobjects.h"
#include "tools/qutil.h"

namespace quintrel::tools {

namespace {

std::string Utf8(std::u16string_view s) { return text::WideToUtf8(s); }

// The file a form comes from as the options name it (names compared ignoring case, as the
// development environment compares form and file names), else the form's own name.
std::string SourceFile(const TExportOptions& options, const std::string& form) {
  for (const auto& [name, file] : options.SourceFiles)
    if (vcl::SameText(name, form)) return file;
  return form.front() == '#' ? form.substr(1) : form;
}

// One PO string: quoted, escaped, split after each line feed.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n':
        out += "\\n";
        if (i + 1 < text.size()) out += "\"\n\"";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char octal[5];
          std::snprintf(octal, sizeof octal, "\\%03o", c);
          out += octal;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += "\"";
  // A text of several lines starts on its own line, as gettext writes it.
  if (out.find('\n') != std::string::npos) out = "\"\"\n" + out;
  return out;
}

class TPoReader {
public:
  TPoReader(const std::string& fileName, const std::string& bytes) : fileName_(fileName), bytes_(bytes) {}

  struct TEntry {
    std::string Context, Id, Str, Comment;
    bool HasContext = false, Obsolete = false, Plural = false;
    int Line = 0;
  };

  // The entries in file order.
  std::vector<TEntry> Entries() {
    std::vector<TEntry> entries;
    TEntry current;
    bool any = false, seenStr = false;
    std::string* last = nullptr;  // the string a continuation line extends
    const auto finish = [&] {
      if (any) entries.push_back(std::move(current));
      current = TEntry{};
      any = seenStr = false;
      last = nullptr;
    };
    for (size_t at = 0; at < bytes_.size();) {
      ++line_;
      size_t end = bytes_.find('\n', at);
      if (end == std::string::npos) end = bytes_.size();
      std::string_view text(bytes_.data() + at, end - at);
      at = end + 1;
      if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
      while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
      if (text.empty()) continue;
      if (text.starts_with("#~")) {
        // An obsolete entry: kept by tools, never imported.
        if (seenStr || (any && !current.Obsolete)) finish();
        current.Obsolete = any = true;
        continue;
      }
      if (seenStr || current.Obsolete)
        if (text.front() == '#' || text.starts_with("msgctxt") || text.starts_with("msgid")) finish();
      if (text.starts_with("#.")) {
        std::string_view c = text.substr(2);
        if (!c.empty() && c.front() == ' ') c.remove_prefix(1);
        current.Comment += (current.Comment.empty() ? "" : "\n") + std::string(c);
        any = true;
        continue;
      }
      if (text.front() == '#') continue;
      if (text.front() == '"') {
        if (!last) Fail("a string outside an entry");
        *last += Unquote(text);
        continue;
      }
      const size_t blank = text.find_first_of(" \t");
      const std::string_view keyword = text.substr(0, blank);
      const std::string_view value = blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1);
      if (!current.Line) current.Line = line_;
      any = true;
      if (keyword == "msgctxt") {
        current.HasContext = true;
        last = &current.Context;
      } else if (keyword == "msgid") {
        last = &current.Id;
      } else if (keyword == "msgid_plural" || keyword.starts_with("msgstr[")) {
        current.Plural = true;
        seenStr = seenStr || keyword != "msgid_plural";
        last = &scratch_;
      } else if (keyword == "msgstr") {
        seenStr = true;
        last = &current.Str;
      } else {
        Fail("unknown keyword " + std::string(keyword.substr(0, 40)));
      }
      *last = Unquote(value);
    }
    finish();
    return entries;
  }

private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw EToolError(rtl::Format(strings::_SExchangeBadLine, fileName_, line_, what));
  }

  std::string Unquote(std::string_view s) const {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    if (s.size() < 2 || s.front() != '"' || s.back() != '"') Fail("a string must be quoted");
    s = s.substr(1, s.size() - 2);
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
      if (s[i] != '\\') {
        if (s[i] == '"') Fail("a quote inside a string must be escaped");
        out += s[i];
        continue;
      }
      if (++i == s.size()) Fail("a string ends in a backslash");
      const char c = s[i];
      switch (c) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'a': out += '\a'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'v': out += '\v'; break;
        case '\\': case '"': case '\'': case '?': out += c; break;
        default:
          if (c >= '0' && c <= '7') {
            int value = 0;
            for (int n = 0; n < 3 && i < s.size() && s[i] >= '0' && s[i] <= '7'; ++n, ++i) value = value * 8 + (s[i] - '0');
            --i;
            out += static_cast<char>(value & 0xFF);
          } else {
            Fail(std::string("unknown escape \\") + c);
          }
      }
    }
    return out;
  }

  const std::string& fileName_;
  const std::string& bytes_;
  int line_ = 0;
  std::string scratch_;
};

std::u16string Wide(const std::string& utf8) { return text::Utf8ToWide(utf8); }

}  // namespace

std::string ExportPo(module::TZod& zod, int module, const std::string& moduleName, const TExportOptions& options) {
  const std::string target = module::LanguageIdToText(options.Target), base = module::LanguageIdToText(options.Base);
  std::string out = "msgid \"\"\nmsgstr \"\"\n";
  const std::string header = "Project-Id-Version: " + moduleName +
                             "\nReport-Msgid-Bugs-To: \nPOT-Creation-Date: \nPO-Revision-Date: \nLast-Translator: "
                             "\nLanguage-Team: \nLanguage: " +
                             target + "\nX-Source-Language: " + base +
                             "\nMIME-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\n"
                             "Content-Transfer-Encoding: 8bit\n";
  for (size_t at = 0; at < header.size();) {
    const size_t end = header.find('\n', at) + 1;
    out += Quoted(header.substr(at, end - at)) + "\n";
    at = end;
  }
  std::set<std::string> contexts;
  for (const TExchangeForm& form : ExchangeForms(zod, module)) {
    const std::string reference = "#: " + SourceFile(options, form.Name) + "\n";
    for (const TExchangeObject& item : form.Objects) {
      const module::TZodObject& object = item.Object;
      if (IsPicture(object) || object.Locked || !ExportFilter(zod, module, object, options)) continue;
      std::string context = form.Name + "." + item.Name;
      if (!contexts.insert(context).second) continue;  // a damaged catalogue names two objects alike
      out += "\n";
      const std::u16string comment = options.Comments ? ObjectComment(zod, module, object) : std::u16string();
      if (!comment.empty()) {
        std::string c = Utf8(comment);
        for (char& ch : c)
          if (ch == '\r') ch = ' ';
        for (size_t at = 0; at <= c.size();) {
          const size_t end = std::min(c.find('\n', at), c.size());
          out += "#. " + c.substr(at, end - at) + "\n";
          at = end + 1;
        }
      }
      out += reference;
      const TTermText targetTerm = ReadTermText(zod, module, options.Target, object.Localization).value_or(TTermText{});
      const bool translated = targetTerm.Status != module::usUnTranslated;
      if (translated && targetTerm.Status == module::usForReview) out += "#, fuzzy\n";
      out += "msgctxt " + Quoted(context) + "\n";
      out += "msgid " + Quoted(Utf8(ReadTermText(zod, module, options.Base, object.Localization).value_or(TTermText{}).Text)) + "\n";
      out += "msgstr " + Quoted(translated ? Utf8(targetTerm.Text) : std::string()) + "\n";
    }
  }
  return out;
}

TImportReport ImportPo(module::TZod& zod, int module, const std::string& fileName, const std::string& bytes,
                       const TPoImportOptions& options) {
  TPoReader reader(fileName, bytes);
  const std::vector<TPoReader::TEntry> entries = reader.Entries();
  TImportReport report;
  // The header names the language.
  std::string language;
  for (const auto& e : entries)
    if (!e.HasContext && !e.Obsolete && e.Id.empty()) {
      for (size_t at = 0; at < e.Str.size();) {
        const size_t end = std::min(e.Str.find('\n', at), e.Str.size());
        const std::string_view field = std::string_view(e.Str).substr(at, end - at);
        if (field.starts_with("Language:")) language = Trim(field.substr(9));
        at = end + 1;
      }
      break;
    }
  if (language.size() != 2)
    throw EToolError(rtl::Format(strings::_SExchangeBad, fileName, "names no target language (no header Language:)"));
  const std::vector<std::u16string> settings = {u"TARGETID=" + Wide(language)};
  report.Language = TextFileTarget(zod, module, fileName, language.size() == 2 ? settings : std::vector<std::u16string>{});
  const TObjectIndex index(zod, module);
  module::TModuleLock lock(zod.GetModuleInterface(module), true);
  for (const auto& e : entries) {
    if (e.Obsolete || !e.HasContext) continue;
    if (e.Plural) throw EToolError(rtl::Format(strings::_SExchangeBadLine, fileName, e.Line, "plural forms are not taken"));
    // The longest form name the context starts with ("#Errors.rc" holds a dot itself).
    const TExchangeForm* form = nullptr;
    for (const TExchangeForm& f : index.Forms())
      if (e.Context.size() > f.Name.size() && e.Context.compare(0, f.Name.size(), f.Name) == 0 &&
          e.Context[f.Name.size()] == '.' && (!form || f.Name.size() > form->Name.size()))
        form = &f;
    const std::string name = form ? e.Context.substr(form->Name.size() + 1) : e.Context;
    const TExchangeObject* object = form ? index.ByName(*form, name) : nullptr;
    if (!object) {
      report.Add(form ? form->Name : std::string(), name, TImportOutcome::NotFound);
      continue;
    }
    TIncoming incoming{Wide(e.Str), options.EmptyAsTranslated,
                       options.Comments ? std::optional<std::u16string>(Wide(e.Comment)) : std::nullopt};
    report.Add(form->Name, name, ImportTranslation(zod, module, object->Object, report.Language, incoming));
  }
  return report;
}

}  // namespace quintrel::tools
