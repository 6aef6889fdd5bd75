#include "tools/xliff.h"

#include <functional>
#include <map>

#include "strings/toolconsts.h"
#include "text/unicode.h"
#include "tools/intlobjects.h"

namespace quintrel::tools {

namespace {

constexpr size_t kMaxDepth = 64;

bool XmlCarries(std::u16string_view s) {
  for (size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') return false;
    if (c == 0xFFFE || c == 0xFFFF) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 == s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

std::string Escaped(std::u16string_view s) {
  std::string out;
  for (char c : text::WideToUtf8(s)) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\r': out += "&#13;"; break;
      default: out += c;
    }
  }
  return out;
}
std::string Escaped(const std::string& utf8) { return Escaped(text::Utf8ToWide(utf8)); }

// A bounded reader of the XML a translation tool writes: elements with attributes and
// text, without a document type.
class TXmlReader {
public:
  struct TElement {
    std::string Name;  // local name, prefix dropped
    std::map<std::string, std::string> Attributes;
  };
  struct THandler {
    std::function<void(const std::vector<TElement>& stack)> Start;
    std::function<void(const std::vector<TElement>& stack)> End;   // before the element leaves the stack
    std::function<void(const std::vector<TElement>& stack, const std::string& text)> Text;
  };

  TXmlReader(const std::string& fileName, const std::string& bytes) : fileName_(fileName), s_(bytes) {}

  void Parse(const THandler& h) {
    if (s_.starts_with("\xEF\xBB\xBF")) pos_ = 3;
    while (pos_ < s_.size()) {
      if (s_[pos_] != '<') {
        const size_t end = std::min(s_.find('<', pos_), s_.size());
        const std::string text = Decode(pos_, end);
        if (stack_.empty()) {
          if (text.find_first_not_of(" \t\r\n") != std::string::npos) Fail("text outside the document element");
        } else if (h.Text) {
          h.Text(stack_, text);
        }
        Advance(end);
      } else if (s_.compare(pos_, 4, "<!--") == 0) {
        Advance(Find("-->", pos_ + 4) + 3);
      } else if (s_.compare(pos_, 9, "<![CDATA[") == 0) {
        const size_t end = Find("]]>", pos_ + 9);
        if (stack_.empty()) Fail("text outside the document element");
        if (h.Text) h.Text(stack_, s_.substr(pos_ + 9, end - pos_ - 9));
        Advance(end + 3);
      } else if (s_.compare(pos_, 2, "<?") == 0) {
        Advance(Find("?>", pos_ + 2) + 2);
      } else if (s_.compare(pos_, 2, "<!") == 0) {
        Fail("a document type or declaration is not accepted");
      } else if (s_.compare(pos_, 2, "</") == 0) {
        const size_t end = Find(">", pos_);
        std::string name = LocalName(Trimmed(s_.substr(pos_ + 2, end - pos_ - 2)));
        if (stack_.empty() || stack_.back().Name != name) Fail("</" + name.substr(0, 40) + "> closes nothing open");
        if (h.End) h.End(stack_);
        stack_.pop_back();
        Advance(end + 1);
      } else {
        StartTag(h);
      }
    }
    if (!stack_.empty()) Fail("<" + stack_.back().Name + "> is not closed");
    if (!seenRoot_) Fail("no document element");
  }

private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw EToolError(rtl::Format(strings::_SExchangeBadLine, fileName_, line_, what));
  }
  size_t Find(const char* token, size_t from) const {
    const size_t at = s_.find(token, from);
    if (at == std::string::npos) Fail(std::string("no ") + token + " before the end of the file");
    return at;
  }
  void Advance(size_t to) {
    for (; pos_ < to && pos_ < s_.size(); ++pos_)
      if (s_[pos_] == '\n') ++line_;
  }
  static std::string Trimmed(std::string s) {
    const size_t first = s.find_first_not_of(" \t\r\n"), last = s.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
  }
  static std::string LocalName(const std::string& name) {
    const size_t colon = name.find(':');
    return colon == std::string::npos ? name : name.substr(colon + 1);
  }
  static bool NameChar(char c) { return c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '/' && c != '>' && c != '='; }

  void StartTag(const THandler& h) {
    size_t i = pos_ + 1;
    const auto skipBlanks = [&] {
      while (i < s_.size() && (s_[i] == ' ' || s_[i] == '\t' || s_[i] == '\r' || s_[i] == '\n')) ++i;
    };
    const size_t nameStart = i;
    while (i < s_.size() && NameChar(s_[i])) ++i;
    TElement element;
    element.Name = LocalName(s_.substr(nameStart, i - nameStart));
    if (element.Name.empty()) Fail("an element without a name");
    for (;;) {
      skipBlanks();
      if (i >= s_.size()) Fail("<" + element.Name.substr(0, 40) + " is not closed");
      if (s_[i] == '>' || s_.compare(i, 2, "/>") == 0) break;
      const size_t attrStart = i;
      while (i < s_.size() && NameChar(s_[i])) ++i;
      std::string attr = s_.substr(attrStart, i - attrStart);
      skipBlanks();
      if (attr.empty() || i >= s_.size() || s_[i] != '=') Fail("an attribute of <" + element.Name.substr(0, 40) + "> without a value");
      ++i;
      skipBlanks();
      if (i >= s_.size() || (s_[i] != '"' && s_[i] != '\'')) Fail("an attribute value must be quoted");
      const size_t close = s_.find(s_[i], i + 1);
      if (close == std::string::npos) Fail("an attribute value is not closed");
      // Attributes keep their prefix (xml:space), the element's name does not.
      std::string value = Decode(i + 1, close);
      for (char& c : value)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
      element.Attributes[attr] = std::move(value);
      i = close + 1;
    }
    const bool empty = s_[i] == '/';
    if (stack_.empty() && seenRoot_) Fail("a second document element");
    if (stack_.size() >= kMaxDepth) Fail("elements nested deeper than 64");
    seenRoot_ = true;
    stack_.push_back(std::move(element));
    if (h.Start) h.Start(stack_);
    if (empty) {
      if (h.End) h.End(stack_);
      stack_.pop_back();
    }
    Advance(i + (empty ? 2 : 1));
  }

  // Text between from and to with its references resolved; CR LF and CR read as LF.
  std::string Decode(size_t from, size_t to) const {
    std::string out;
    for (size_t i = from; i < to; ++i) {
      const char c = s_[i];
      if (c == '\r') {
        out += '\n';
        if (i + 1 < to && s_[i + 1] == '\n') ++i;
        continue;
      }
      if (c == '<') Fail("'<' inside a value");
      if (c != '&') {
        out += c;
        continue;
      }
      const size_t semi = s_.find(';', i);
      if (semi == std::string::npos || semi >= to || semi - i > 12) Fail("a reference without ';'");
      const std::string ref = s_.substr(i + 1, semi - i - 1);
      if (ref == "lt") out += '<';
      else if (ref == "gt") out += '>';
      else if (ref == "amp") out += '&';
      else if (ref == "quot") out += '"';
      else if (ref == "apos") out += '\'';
      else if (ref.size() > 1 && ref[0] == '#') {
        const bool hex = ref[1] == 'x';
        const std::string digits = ref.substr(hex ? 2 : 1);
        if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos)
          Fail("a bad character reference &" + ref + ";");
        const unsigned long code = std::stoul(digits, nullptr, hex ? 16 : 10);
        if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) Fail("a bad character reference &" + ref + ";");
        std::u16string unit;
        if (code >= 0x10000) {
          unit += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
          unit += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
          unit += static_cast<char16_t>(code);
        }
        out += text::WideToUtf8(unit);
      } else {
        Fail("an unknown entity &" + ref.substr(0, 20) + ";");
      }
      i = semi;
    }
    return out;
  }

  const std::string& fileName_;
  const std::string& s_;
  size_t pos_ = 0;
  int line_ = 1;
  bool seenRoot_ = false;
  std::vector<TElement> stack_;
};

}  // namespace

std::string ExportXliff(module::TZod& zod, int module, const TExportOptions& options, std::vector<std::string>* leftOut) {
  const std::string source = module::LanguageIdToText(options.Base), target = module::LanguageIdToText(options.Target);
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<xliff version=\"1.2\" xmlns=\"urn:oasis:names:tc:xliff:document:1.2\">\n";
  const auto fileElement = [&](const std::string& original, const std::string& units) {
    return "  <file original=\"" + Escaped(original) + "\" source-language=\"" + Escaped(source) +
           "\" target-language=\"" + Escaped(target) + "\" datatype=\"plaintext\">\n    <body>\n" + units +
           "    </body>\n  </file>\n";
  };
  int files = 0;
  for (const TExchangeForm& form : ExchangeForms(zod, module)) {
    std::string units;
    for (const TExchangeObject& item : form.Objects) {
      const module::TZodObject& object = item.Object;
      if (IsPicture(object) || !ExportFilter(zod, module, object, options)) continue;
      const std::u16string base = ReadTermText(zod, module, options.Base, object.Localization).value_or(TTermText{}).Text;
      const TTermText term = ReadTermText(zod, module, options.Target, object.Localization).value_or(TTermText{});
      const std::u16string comment = options.Comments ? ObjectComment(zod, module, object) : std::u16string();
      if (!XmlCarries(base) || !XmlCarries(term.Text) || !XmlCarries(comment) ||
          !XmlCarries(text::Utf8ToWide(item.Name))) {
        if (leftOut) leftOut->push_back(form.Name + " " + item.Name);
        continue;
      }
      char id[9];
      std::snprintf(id, sizeof id, "%08X", object.Ident);
      units += "      <trans-unit id=\"" + std::string(id) + "\" resname=\"" + Escaped(item.Name) +
               "\" xml:space=\"preserve\"" + (object.Locked ? " translate=\"no\"" : "");
      if (const auto width = options.MaxWidths.find(object.Ident); width != options.MaxWidths.end())
        units += " maxwidth=\"" + std::to_string(width->second) + "\" size-unit=\"pixel\"";
      units += ">\n";
      units += "        <source>" + Escaped(base) + "</source>\n";
      if (term.Status != module::usUnTranslated) {
        const char* state = object.Locked                          ? "final"
                            : term.Status == module::usSignedOff ? "signed-off"
                                                                 : "needs-review-translation";
        units += "        <target state=\"" + std::string(state) + "\">" + Escaped(term.Text) + "</target>\n";
      }
      if (!comment.empty()) units += "        <note>" + Escaped(comment) + "</note>\n";
      units += "      </trans-unit>\n";
    }
    if (units.empty()) continue;
    out += fileElement(form.Name, units);
    ++files;
  }
  // A document holds at least one <file>: with nothing to translate it is the module's, empty.
  if (files == 0) out += fileElement(options.ZodName, "");
  out += "</xliff>\n";
  return out;
}

TImportReport ImportXliff(module::TZod& zod, int module, const std::string& fileName, const std::string& bytes,
                          const TXliffImportOptions& options) {
  struct TUnit {
    std::string Form, Id, Name, Source, Target, Note;
    bool HasTarget = false, HasNote = false;
  };
  std::vector<TUnit> units;
  std::string language;
  bool languagesDiffer = false;
  TUnit current;
  // The trans-unit's own source, target and note, not those of alternatives inside it.
  const auto inUnitChild = [](const std::vector<TXmlReader::TElement>& stack, const char* name) {
    for (size_t i = 0; i + 1 < stack.size(); ++i)
      if (stack[i].Name == "trans-unit") {
        return i + 2 <= stack.size() && stack[i + 1].Name == name;
      }
    return false;
  };
  TXmlReader::THandler h;
  h.Start = [&](const std::vector<TXmlReader::TElement>& stack) {
    const TXmlReader::TElement& e = stack.back();
    const auto attr = [&](const char* name) {
      const auto it = e.Attributes.find(name);
      return it == e.Attributes.end() ? std::string() : it->second;
    };
    if (e.Name == "file") {
      const std::string lang = attr("target-language");
      if (!language.empty() && lang != language) languagesDiffer = true;
      language = lang;
    } else if (e.Name == "trans-unit") {
      current = TUnit{};
      for (auto it = stack.rbegin(); it != stack.rend(); ++it)
        if (it->Name == "file") {
          const auto o = it->Attributes.find("original");
          current.Form = o == it->Attributes.end() ? std::string() : o->second;
          break;
        }
      current.Id = attr("id");
      current.Name = attr("resname");
    } else if (inUnitChild(stack, "target") && stack[stack.size() - 2].Name == "trans-unit") {
      current.HasTarget = true;
    } else if (inUnitChild(stack, "note") && stack[stack.size() - 2].Name == "trans-unit") {
      current.HasNote = true;
    }
  };
  h.Text = [&](const std::vector<TXmlReader::TElement>& stack, const std::string& text) {
    if (inUnitChild(stack, "target"))
      current.Target += text;
    else if (inUnitChild(stack, "note"))
      current.Note += text;
  };
  h.End = [&](const std::vector<TXmlReader::TElement>& stack) {
    if (stack.back().Name == "trans-unit") units.push_back(std::move(current));
  };
  TXmlReader(fileName, bytes).Parse(h);
  if (languagesDiffer)
    throw EToolError(rtl::Format(strings::_SExchangeBad, fileName, "its files name different target languages"));

  TImportReport report;
  if (language.size() != 2)
    throw EToolError(rtl::Format(strings::_SExchangeBad, fileName, "names no target language (no target-language)"));
  const std::vector<std::u16string> settings = {u"TARGETID=" + text::Utf8ToWide(language)};
  report.Language =
      TextFileTarget(zod, module, fileName, language.size() == 2 ? settings : std::vector<std::u16string>{});
  const TObjectIndex index(zod, module);
  module::TModuleLock lock(zod.GetModuleInterface(module), true);
  for (const TUnit& unit : units) {
    const TExchangeForm* form = index.Form(unit.Form);
    const bool hex = unit.Id.size() == 8 && unit.Id.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
    const TExchangeObject* object = form && hex ? index.ById(*form, static_cast<uint32_t>(std::stoul(unit.Id, nullptr, 16))) : nullptr;
    if (!object) {
      report.Add(unit.Form, unit.Name, TImportOutcome::NotFound);
    } else if (object->Name != unit.Name) {
      report.Add(unit.Form, unit.Name, TImportOutcome::NameMismatch);
    } else if (!unit.HasTarget) {
      report.Add(unit.Form, unit.Name, TImportOutcome::Empty);
    } else {
      TIncoming incoming{text::Utf8ToWide(unit.Target), options.EmptyAsTranslated,
                         options.Comments && unit.HasNote ? std::optional<std::u16string>(text::Utf8ToWide(unit.Note))
                                                          : std::nullopt};
      report.Add(unit.Form, unit.Name, ImportTranslation(zod, module, object->Object, report.Language, incoming));
    }
  }
  return report;
}

}  // namespace quintrel::tools
