#include "tools/isolate.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <nlohmann/json.hpp>
#include <set>
#include <tuple>

#include "module/modulefile.h"
#include "module/objects.h"
#include "platform/ide/project.h"
#include "platform/rtl/classes.h"
#include "platform/rtl/filebytes.h"
#include "platform/rtl/utf8.h"
#include "platform/vcl/classes.h"
#include "platform/vcl/filer.h"
#include "platform/vcl/textutil.h"
#include "strings/toolconsts.h"
#include "tools/resstr.h"
#include "tools/sourcetext.h"

namespace quintrel::tools {

namespace fs = std::filesystem;
using nlohmann::json;
using ordered = nlohmann::ordered_json;

namespace {

constexpr const char* kFormatName = "quintrel-isolate-plan";
constexpr int kFormatVersion = 1;
constexpr int kMaxPlanDepth = 4;

const char* KindName(TFindingKind kind) { return kind == TFindingKind::Constant ? "constant" : "literal"; }
const char* ActionName(TIsolateAction a) {
  return a == TIsolateAction::Isolate ? "isolate" : a == TIsolateAction::Ignore ? "ignore" : "mark";
}
const char* PlaceName(TLiteralPlace p) {
  return p == TLiteralPlace::Heading ? "heading" : p == TLiteralPlace::CaseLabel ? "case-label" : "code";
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string RelativeUnit(const TToolSession& session, const std::string& path) {
  const fs::path relative = fs::path(path).lexically_relative(session.Project().Folder());
  return relative.empty() ? path : relative.generic_string();
}

bool IsPascalUnit(const std::string& unit) { return host::ExtensionOf(unit) == ".pas"; }

// The stem a uses clause or #include names a unit by: the file name up to its first dot.
std::string UnitStem(const std::string& fileName) {
  const std::string name = fs::path(fileName).filename().string();
  return name.substr(0, name.find('.'));
}

// --- the plan file ---------------------------------------------------------------------------

class TPlanReader {
public:
  explicit TPlanReader(const std::string& fileName) : fileName_(fileName) {}

  TIsolatePlan Read(std::string_view text) {
    json doc;
    size_t values = 0;
    try {
      doc = json::parse(text, [&](int depth, json::parse_event_t event, json&) {
        if ((event == json::parse_event_t::object_start || event == json::parse_event_t::array_start) &&
            depth >= kMaxPlanDepth)
          Fail(rtl::Format(strings::_SPlanTooDeep, kMaxPlanDepth));
        if (event == json::parse_event_t::object_start && ++values > kMaxPlanRows + 16)
          Fail(rtl::Format(strings::_SPlanTooMany, static_cast<int>(kMaxPlanRows)));
        return true;
      });
    } catch (const json::exception& e) {
      std::string what = e.what();
      Fail(what.substr(0, 200));
    }
    if (!doc.is_object() || !doc.contains("format") || doc["format"] != kFormatName)
      Fail(rtl::Format(strings::_SPlanBadFormat, kFormatName));
    if (!doc.contains("version") || doc["version"] != kFormatVersion) Fail(rtl::Format(strings::_SPlanBadVersion, kFormatVersion));
    TIsolatePlan plan;
    plan.Charset = static_cast<int>(Number(doc, "charset", "plan", 255));
    for (const json& u : Array(doc, "units")) {
      TPlanUnit unit;
      unit.Unit = Text(u, "unit", "units", 4096);
      unit.Size = Number(u, "size", "units", kMaxScanUnitSize);
      unit.Hash = Text(u, "hash", "units", 16);
      plan.Units.push_back(std::move(unit));
    }
    std::set<int> ids;
    for (const json& r : Array(doc, "rows")) {
      TPlanRow row;
      row.Id = static_cast<int>(Number(r, "id", "rows", 0x7FFFFFFF));
      const std::string where = "row " + std::to_string(row.Id);
      if (!ids.insert(row.Id).second) Fail(rtl::Format(strings::_SPlanDuplicateRow, row.Id));
      const std::string kind = Text(r, "kind", where, 16);
      if (kind != "literal" && kind != "constant") Fail(rtl::Format(strings::_SPlanBadValue, where + ".kind", kind));
      row.Kind = kind == "constant" ? TFindingKind::Constant : TFindingKind::Literal;
      row.Unit = Text(r, "unit", where, 4096);
      row.Line = static_cast<int>(Number(r, "line", where, kMaxScanUnitSize));
      row.Start = Number(r, "start", where, kMaxScanUnitSize);
      row.End = Number(r, "end", where, kMaxScanUnitSize);
      if (row.End <= row.Start) Fail(rtl::Format(strings::_SPlanBadSpan, row.Id));
      const std::optional<std::u16string> text16 = rtl::Utf8ToWideStrict(Text(r, "text", where, kMaxPlanText));
      if (!text16) Fail(rtl::Format(strings::_SPlanBadValue, where + ".text", "ill-formed UTF-8"));
      row.Text = *text16;
      row.Identifier = Text(r, "identifier", where, 255);
      row.Object = static_cast<uint32_t>(Number(r, "object", where, 0x7FFFFFFF));
      row.Target = Text(r, "target", where, 4096);
      const std::string action = Text(r, "action", where, 16);
      const std::optional<TIsolateAction> parsed = ParseAction(action);
      if (!parsed) Fail(rtl::Format(strings::_SPlanBadValue, where + ".action", action));
      row.Action = *parsed;
      const std::string place = r.contains("place") ? Text(r, "place", where, 16) : "code";
      row.Place = place == "heading" ? TLiteralPlace::Heading
                  : place == "case-label" ? TLiteralPlace::CaseLabel
                                          : TLiteralPlace::Code;
      plan.Rows.push_back(std::move(row));
    }
    return plan;
  }

private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw EToolError(rtl::Format(strings::_SPlanBad, fileName_, what));
  }
  const json& Array(const json& doc, const char* key) const {
    if (!doc.contains(key) || !doc[key].is_array()) Fail(rtl::Format(strings::_SPlanMissing, key, "an array"));
    if (doc[key].size() > kMaxPlanRows) Fail(rtl::Format(strings::_SPlanTooMany, static_cast<int>(kMaxPlanRows)));
    return doc[key];
  }
  std::string Text(const json& object, const char* key, const std::string& where, size_t limit) const {
    if (!object.is_object() || !object.contains(key) || !object[key].is_string())
      Fail(rtl::Format(strings::_SPlanMissing, where + "." + key, "a string"));
    const std::string& s = object[key].get_ref<const std::string&>();
    if (s.size() > limit) Fail(rtl::Format(strings::_SPlanBadValue, where + "." + key, "too long"));
    return s;
  }
  uint64_t Number(const json& object, const char* key, const std::string& where, uint64_t limit) const {
    if (!object.is_object() || !object.contains(key) || !object[key].is_number_unsigned() ||
        object[key].get<uint64_t>() > limit)
      Fail(rtl::Format(strings::_SPlanMissing, where + "." + key, "a number from 0 to " + std::to_string(limit)));
    return object[key].get<uint64_t>();
  }

  std::string fileName_;
};

// --- rewriting one unit ----------------------------------------------------------------------

// A unit that cannot be rewritten as planned; it keeps every byte.
class EUnitFailed : public rtl::Exception {
public:
  using rtl::Exception::Exception;
};

struct TEditAt {
  size_t Pos = 0;
  size_t Length = 0;
  std::string Text;
  int Row = 0;
};

// Whether the span holds the literal or the declaration the row names.
bool SpanHolds(std::string_view text, const TPlanRow& row, bool pascal, int charset) {
  const std::string_view span = text.substr(row.Start, row.End - row.Start);
  try {
    if (row.Kind == TFindingKind::Literal) {
      const auto found = ScanSource(span, pascal ? TSourceLanguage::Pascal : TSourceLanguage::C, charset, {1, false, true});
      return found.size() == 1 && found[0].Start == 0 && found[0].End == span.size() && found[0].Text == row.Text;
    }
    const std::string decl = "const " + std::string(span);
    const auto found = ScanSource(decl, TSourceLanguage::Pascal, charset, {1, true, false});
    return found.size() == 1 && found[0].Start == 6 && found[0].End == decl.size() &&
           vcl::SameText(found[0].Identifier, row.Identifier) && found[0].Text == row.Text;
  } catch (const rtl::Exception&) {
    return false;
  }
}

// The bytes a removed declaration takes: itself, the blanks after it, and when nothing else
// stands on its line, the whole line with its line end. A comment after it stays.
std::pair<size_t, size_t> DeclarationBytes(std::string_view text, size_t start, size_t end) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  size_t after = end;
  while (after < text.size() && blank(text[after])) ++after;
  const size_t lineStart = LineStart(text, start);
  const bool alone = std::all_of(text.begin() + static_cast<long>(lineStart), text.begin() + static_cast<long>(start), blank) &&
                     (after == text.size() || LineEndLength(text, after) > 0);
  if (alone) return {lineStart, after + LineEndLength(text, after)};
  return {start, after};
}

bool IsSectionEnd(std::string_view word) {
  static const char* const kWords[] = {"const", "resourcestring", "type", "var", "threadvar", "uses", "label",
                                       "exports", "begin", "asm", "initialization", "finalization", "implementation",
                                       "interface", "end", "procedure", "function", "constructor", "destructor",
                                       "property", "private", "protected", "public", "published", "strict", "class"};
  return std::any_of(std::begin(kWords), std::end(kWords), [&](const char* w) { return vcl::SameText(word, w); });
}

// The lines of const and resourcestring sections that hold no declaration.
std::vector<int> EmptySections(std::string_view text) {
  rtl::TMemoryStream stream;
  stream.Write(text.data(), text.size());
  stream.SetPosition(0);
  TSourceParser parser(stream, TSourceLanguage::Pascal);
  std::vector<int> lines;
  int sectionLine = 0;
  for (int t = parser.Token(); t != toEOF; t = parser.NextToken()) {
    if (t == '}' || t == ')' || t == '\n') continue;
    if (sectionLine && (t != toSymbol || IsSectionEnd(parser.TokenString()))) lines.push_back(sectionLine);
    sectionLine = 0;
    // "const" in a parameter list is followed by a name, never by a section's end.
    if (t == toSymbol && (vcl::SameText(parser.TokenString(), "const") || vcl::SameText(parser.TokenString(), "resourcestring")))
      sectionLine = parser.SourceLine();
  }
  if (sectionLine) lines.push_back(sectionLine);
  return lines;
}

// The text with the unit named in its interface uses clause, or as it is when a uses
// clause names it already. Raises EUnitFailed when there is no interface uses clause.
std::string AddToUses(const std::string& text, const std::string& name) {
  rtl::TMemoryStream stream;
  stream.Write(text.data(), text.size());
  stream.SetPosition(0);
  TSourceParser parser(stream, TSourceLanguage::Pascal);
  bool inUses = false, inImplementation = false;
  std::optional<size_t> insertAt;
  for (int t = parser.Token(); t != toEOF; t = parser.NextToken()) {
    if (t == ';' && inUses) {
      if (!inImplementation && !insertAt) insertAt = static_cast<size_t>(parser.SourcePos());
      inUses = false;
      continue;
    }
    if (t != toSymbol) continue;
    const std::string& word = parser.TokenString();
    if (!inUses) {
      if (vcl::SameText(word, "uses")) inUses = true;
      if (vcl::SameText(word, "implementation")) inImplementation = true;
      continue;
    }
    if (vcl::SameText(word, name)) return text;
    if (IsSectionEnd(word)) inUses = false;
  }
  if (!insertAt) throw EUnitFailed(rtl::Format(strings::_SIsolateNoUses, name));
  std::string out = text;
  out.insert(*insertAt, ", " + name);
  return out;
}

// The text with #include "Name.hpp" after the last #include of its head, or as it is when it
// includes that header. Raises EUnitFailed when its head has no #include line.
std::string AddInclude(const std::string& text, const std::string& name) {
  const std::string header = Lower(name + ".hpp");
  std::optional<size_t> lastInclude;
  bool inComment = false, inHead = true;
  for (size_t at = 0; at < text.size(); at = NextLineStart(text, at)) {
    const size_t end = FindLineEnd(text, at);
    std::string_view line = std::string_view(text).substr(at, end - at);
    const size_t first = line.find_first_not_of(" \t");
    line = first == std::string_view::npos ? std::string_view() : line.substr(first);
    if (line.starts_with("#")) {
      std::string_view rest = line.substr(1);
      rest.remove_prefix(std::min(rest.size(), rest.find_first_not_of(" \t")));
      if (rest.starts_with("include")) {
        std::string_view file = rest.substr(7);
        file.remove_prefix(std::min(file.size(), file.find_first_not_of(" \t")));
        if (file.size() > 2 && Lower(file.substr(1, file.find_first_of("\">", 1) - 1)) == header) return text;
        if (inHead) lastInclude = end;
      }
      continue;
    }
    if (inComment) {
      if (line.find("*/") != std::string_view::npos) inComment = false;
      continue;
    }
    if (line.empty() || line.starts_with("//")) continue;
    if (line.starts_with("/*")) {
      inComment = line.find("*/", 2) == std::string_view::npos;
      continue;
    }
    inHead = false;
  }
  if (!lastInclude) throw EUnitFailed(rtl::Format(strings::_SIsolateNoInclude, name + ".hpp"));
  std::string out = text;
  out.insert(*lastInclude, std::string(LineEndOf(text)) + "#include \"" + name + ".hpp\"");
  return out;
}

std::string SpanShown(std::string_view text, const TPlanRow& row, int charset) {
  std::string bytes(text.substr(row.Start, std::min<size_t>(row.End - row.Start, 200)));
  return rtl::WideToUtf8(DecodeText(bytes, charset));
}

// Objects keep the id reserved for them in the plan when it is still free.
void MoveObject(module::TZod& zod, int module, uint32_t from, uint32_t to) {
  if (to == 0 || to == from) return;
  module::TZodObject probe;
  probe.Ident = to;
  if (zod.GetObject(module, probe)) return;
  module::TZodObject object;
  object.Ident = from;
  if (!zod.GetObject(module, object)) return;
  module::TZodObject gone = object;
  gone.PropertyName = 0;
  zod.SetObject(module, gone);
  object.Ident = to;
  zod.SetObject(module, object);
}

}  // namespace

std::string UnitHash(std::string_view bytes) {
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ull;
  }
  char out[17];
  std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(h));
  return out;
}

TIsolatePlan MakePlan(TToolSession& session, module::TZod& zod, int module, const TScanReport& scan,
                      const std::string& target, int charset) {
  TIsolatePlan plan;
  plan.Charset = charset;
  std::map<std::u16string, std::string> byText;  // a literal's text -> its identifier
  const bool scriptTarget = ResUnitKind(target) == TResUnitKind::Script;
  for (const TSourceFinding& f : scan.Findings) {
    TPlanRow row;
    row.Id = static_cast<int>(plan.Rows.size()) + 1;
    row.Kind = f.Kind;
    row.Unit = RelativeUnit(session, f.Unit);
    row.Line = f.Line;
    row.Start = f.Start;
    row.End = f.End;
    row.Text = f.Text;
    row.Object = zod.GetNewObjectID(module);
    row.Target = target;
    row.Place = f.Place;
    if (f.Kind == TFindingKind::Constant) {
      row.Identifier = f.Identifier;
      // A script's identifiers are numbers: code that names the constant would not compile.
      if (scriptTarget) row.Action = TIsolateAction::Ignore;
    } else {
      auto [it, added] = byText.emplace(f.Text, "S" + std::to_string(row.Object));
      row.Identifier = it->second;
      if (f.Place != TLiteralPlace::Code) row.Action = TIsolateAction::Ignore;
    }
    if (plan.Units.empty() || plan.Units.back().Unit != row.Unit) {
      const std::optional<std::string> text = session.Read(f.Unit);
      plan.Units.push_back({row.Unit, text ? text->size() : 0, text ? UnitHash(*text) : std::string()});
    }
    plan.Rows.push_back(std::move(row));
  }
  // The ids reserved changed the module; the caller says so in words of its own, since
  // nothing but the numbers changed.
  return plan;
}

std::string PlanJson(const TIsolatePlan& plan) {
  ordered units = ordered::array(), rows = ordered::array();
  for (const TPlanUnit& u : plan.Units) units.push_back({{"unit", u.Unit}, {"size", u.Size}, {"hash", u.Hash}});
  for (const TPlanRow& r : plan.Rows)
    rows.push_back({{"id", r.Id},
                    {"kind", KindName(r.Kind)},
                    {"unit", r.Unit},
                    {"line", r.Line},
                    {"start", r.Start},
                    {"end", r.End},
                    {"text", rtl::WideToUtf8(r.Text)},
                    {"identifier", r.Identifier},
                    {"object", r.Object},
                    {"target", r.Target},
                    {"action", ActionName(r.Action)},
                    {"place", PlaceName(r.Place)}});
  const ordered doc = {{"format", kFormatName}, {"version", kFormatVersion}, {"charset", plan.Charset},
                       {"units", units},        {"rows", rows}};
  return doc.dump(2) + "\n";
}

TIsolatePlan ParsePlan(std::string_view text, const std::string& fileName) { return TPlanReader(fileName).Read(text); }

TIsolatePlan ReadPlanFile(const std::string& fileName) {
  rtl::TFileBytes file = rtl::ReadRegularFile(fileName, kMaxPlanFileSize);
  if (!file) throw EToolError(rtl::Format(strings::_SPlanBad, fileName, file.Reason()));
  return ParsePlan(file.Data, fileName);
}

size_t RenameIdentifier(TIsolatePlan& plan, int row, const std::string& identifier, bool all) {
  if (!vcl::IsValidIdent(identifier)) throw EToolError(strings::_SResStrInvalidIdent);
  const auto it = std::find_if(plan.Rows.begin(), plan.Rows.end(), [&](const TPlanRow& r) { return r.Id == row; });
  if (it == plan.Rows.end()) throw EToolError(rtl::Format(strings::_SPlanNoRow, row));
  const std::string old = it->Identifier;
  it->Identifier = identifier;
  size_t others = 0;
  for (TPlanRow& r : plan.Rows) {
    if (&r == &*it || !vcl::SameText(r.Identifier, old)) continue;
    ++others;
    if (all) r.Identifier = identifier;
  }
  return others;
}

size_t SetAction(TIsolatePlan& plan, TIsolateAction action, const std::vector<int>& rows,
                 const std::vector<std::string>& units) {
  std::vector<bool> chosen(plan.Rows.size(), false);
  for (const int id : rows) {
    const auto it = std::find_if(plan.Rows.begin(), plan.Rows.end(), [&](const TPlanRow& r) { return r.Id == id; });
    if (it == plan.Rows.end()) throw EToolError(rtl::Format(strings::_SPlanNoRow, id));
    chosen[static_cast<size_t>(it - plan.Rows.begin())] = true;
  }
  for (const std::string& unit : units) {
    bool any = false;
    for (size_t i = 0; i < plan.Rows.size(); ++i)
      if (vcl::SameText(plan.Rows[i].Unit, unit)) chosen[i] = any = true;
    if (!any) throw EToolError(rtl::Format(strings::_SPlanNoUnit, unit));
  }
  size_t count = 0;
  for (size_t i = 0; i < plan.Rows.size(); ++i)
    if (chosen[i]) {
      plan.Rows[i].Action = action;
      ++count;
    }
  return count;
}

std::optional<TIsolateAction> ParseAction(std::string_view name) {
  for (const TIsolateAction a : {TIsolateAction::Isolate, TIsolateAction::Ignore, TIsolateAction::Mark})
    if (name == ActionName(a)) return a;
  return std::nullopt;
}

// --- apply -----------------------------------------------------------------------------------

namespace {

class TApplier {
public:
  TApplier(TToolSession& session, module::TZod& zod, int module, const TIsolatePlan& plan, TOnUnquoted onUnquoted)
      : session_(session), zod_(zod), module_(module), plan_(plan), onUnquoted_(onUnquoted),
        manager_(session, zod, module), charset_(manager_.Charset()) {}

  TApplyReport Run() {
    // A cancel ends the command before the module is touched.
    if (onUnquoted_ == TOnUnquoted::Cancel) CheckSpans();
    ResolveTargets();
    ResolveIdentifiers();
    // The units in the order the plan first names them.
    std::vector<std::string> units;
    for (const TPlanRow& r : plan_.Rows)
      if (std::find(units.begin(), units.end(), r.Unit) == units.end()) units.push_back(r.Unit);
    for (const std::string& unit : units) RewriteUnit(unit);
    AddStrings();
    return std::move(report_);
  }

private:
  struct TTarget {
    TResUnit Unit;
    std::map<std::string, std::u16string> Strings;  // lower-cased identifier -> text
  };
  // A string to add: the rows that use it, the first of which reserved its object.
  struct TNewString {
    std::string Target;
    std::string Identifier;
    std::u16string Text;
    uint32_t Object = 0;
    bool Used = false;  // a unit that names it was rewritten
  };

  // Raises the question of the first row whose span does not hold its text, in a unit
  // that is as planned.
  void CheckSpans() {
    std::map<std::string, std::optional<std::string>> texts;
    for (const TPlanRow& r : plan_.Rows) {
      if (r.Action == TIsolateAction::Ignore || (r.Action == TIsolateAction::Isolate && r.Place != TLiteralPlace::Code))
        continue;
      auto it = texts.find(r.Unit);
      if (it == texts.end()) {
        std::optional<std::string> text = session_.Read(host::ResolvePath(session_.Project().Folder(), r.Unit));
        const auto planned =
            std::find_if(plan_.Units.begin(), plan_.Units.end(), [&](const TPlanUnit& u) { return u.Unit == r.Unit; });
        if (text && (planned == plan_.Units.end() || planned->Hash != UnitHash(*text))) text.reset();
        it = texts.emplace(r.Unit, std::move(text)).first;
      }
      if (!it->second || r.End > it->second->size()) continue;
      if (!SpanHolds(*it->second, r, IsPascalUnit(r.Unit), charset_))
        throw EToolError(rtl::Format(strings::_SIsolateNonQuoted, SpanShown(*it->second, r, charset_)));
    }
  }

  bool Isolated(const TPlanRow& r) const { return r.Action == TIsolateAction::Isolate && r.Place == TLiteralPlace::Code; }

  void ResolveTargets() {
    for (const TPlanRow& r : plan_.Rows) {
      if (!Isolated(r) || targets_.count(Lower(r.Target))) continue;
      TTarget target;
      try {
        target.Unit = manager_.FindUnit(r.Target);
      } catch (const EToolError&) {
        // Registered as intl update registers the units it finds, with what the files hold.
        target.Unit = manager_.AddUnit(r.Target);
      }
      manager_.Sync(target.Unit);
      for (const TResString& s : manager_.Strings(target.Unit)) target.Strings[Lower(s.Identifier)] = s.Text;
      targets_.emplace(Lower(r.Target), std::move(target));
    }
  }

  // Gives every isolated row the identifier it will have: one the target declares with the
  // same text is reused; a literal whose identifier the target holds with another text
  // takes the next free "_2", "_3" ...; a constant cannot be renamed (code names it).
  void ResolveIdentifiers() {
    std::map<std::tuple<std::string, std::string, std::u16string>, std::string> resolved;
    std::map<std::string, std::u16string> taken;  // "target|ident" -> text
    for (const auto& [name, target] : targets_)
      for (const auto& [ident, text] : target.Strings) taken[name + "|" + ident] = text;
    for (const TPlanRow& r : plan_.Rows) {
      if (!Isolated(r)) continue;
      const std::string target = Lower(r.Target);
      const auto key = std::make_tuple(target, Lower(r.Identifier), r.Text);
      if (const auto it = resolved.find(key); it != resolved.end()) {
        identifiers_[r.Id] = it->second;
        continue;
      }
      std::string ident = r.Identifier;
      const auto claim = [&](const std::string& candidate) {
        const auto it = taken.find(target + "|" + Lower(candidate));
        if (it == taken.end()) {
          taken[target + "|" + Lower(candidate)] = r.Text;
          newStrings_.push_back({r.Target, candidate, r.Text, r.Object, false});
          return true;
        }
        return it->second == r.Text;
      };
      if (!claim(ident)) {
        if (r.Kind == TFindingKind::Constant) {
          conflicts_[r.Id] = rtl::Format(strings::_SIsolateConstantTaken, r.Target, r.Identifier);
          continue;
        }
        for (int n = 2; !claim(ident = r.Identifier + "_" + std::to_string(n)); ++n) {
        }
        report_.Warnings.push_back(rtl::Format(strings::_SIsolateRenamed, r.Id, r.Identifier, r.Target, ident));
      }
      resolved[key] = ident;
      identifiers_[r.Id] = ident;
    }
  }

  std::string Replacement(const TPlanRow& r) const {
    const std::string& ident = identifiers_.at(r.Id);
    return ResUnitKind(r.Target) == TResUnitKind::Script ? "LoadStr(" + ident + ")" : ident;
  }

  void RewriteUnit(const std::string& unit) {
    const std::string path = host::ResolvePath(session_.Project().Folder(), unit);
    const bool pascal = IsPascalUnit(unit);
    const auto planned = std::find_if(plan_.Units.begin(), plan_.Units.end(), [&](const TPlanUnit& u) { return u.Unit == unit; });
    try {
      const std::optional<std::string> original = session_.Read(path);
      if (!original) throw EUnitFailed(strings::_SIsolateUnitMissing);
      if (planned == plan_.Units.end() || planned->Size != original->size() || planned->Hash != UnitHash(*original))
        throw EUnitFailed(strings::_SIsolateUnitChanged);
      std::vector<TEditAt> edits;
      std::vector<int> isolatedRows;
      std::set<size_t> markedLines;
      int marked = 0;
      for (const TPlanRow& r : plan_.Rows) {
        if (r.Unit != unit || r.Action == TIsolateAction::Ignore) continue;
        if (r.End > original->size()) throw EUnitFailed(rtl::Format(strings::_SIsolateSpanOutside, r.Id));
        if (r.Action == TIsolateAction::Isolate && r.Place != TLiteralPlace::Code) {
          report_.Warnings.push_back(rtl::Format(r.Place == TLiteralPlace::Heading ? strings::_SScanHeadingLiteral
                                                                                     : strings::_SScanCaseLabel,
                                                 path, r.Line));
          continue;
        }
        if (r.Action == TIsolateAction::Isolate) {
          if (r.Kind == TFindingKind::Constant && (!pascal || ResUnitKind(r.Target) != TResUnitKind::Pascal)) {
            report_.Warnings.push_back(rtl::Format(strings::_SIsolateConstantToScript, path, r.Line, r.Identifier));
            continue;
          }
          if (!vcl::IsValidIdent(r.Identifier))
            throw EUnitFailed(rtl::Format(strings::_SIsolateBadIdent, r.Id, r.Identifier));
          if (const auto c = conflicts_.find(r.Id); c != conflicts_.end()) throw EUnitFailed(c->second);
        }
        if (!SpanHolds(*original, r, pascal, charset_)) {
          const std::string question = rtl::Format(strings::_SIsolateNonQuoted, SpanShown(*original, r, charset_));
          if (onUnquoted_ == TOnUnquoted::Cancel) throw EToolError(question);
          if (onUnquoted_ == TOnUnquoted::Skip) {
            report_.Warnings.push_back(rtl::Format(strings::_SIsolateSkipped, path, r.Line, question));
            continue;
          }
        }
        if (r.Action == TIsolateAction::Mark) {
          // A line marked already, or by an earlier row, gets no second marker.
          const size_t lineEnd = FindLineEnd(*original, r.Start);
          if (DoNotLocalize(*original, r.End) || !markedLines.insert(lineEnd).second) continue;
          edits.push_back({lineEnd, 0, std::string(kDoNotLocalize), r.Id});
          ++marked;
          continue;
        }
        if (r.Kind == TFindingKind::Literal) {
          edits.push_back({r.Start, r.End - r.Start, Replacement(r), r.Id});
        } else {
          const auto [from, to] = DeclarationBytes(*original, r.Start, r.End);
          edits.push_back({from, to - from, {}, r.Id});
        }
        isolatedRows.push_back(r.Id);
      }
      if (edits.empty()) return;
      // From the last offset to the first, so that no edit moves the bytes of another.
      std::stable_sort(edits.begin(), edits.end(), [](const TEditAt& a, const TEditAt& b) { return a.Pos > b.Pos; });
      for (size_t i = 1; i < edits.size(); ++i)
        if (edits[i].Pos + edits[i].Length > edits[i - 1].Pos)
          throw EUnitFailed(rtl::Format(strings::_SIsolateOverlap, edits[i].Row, edits[i - 1].Row));
      std::string text = *original;
      for (const TEditAt& e : edits) text.replace(e.Pos, e.Length, e.Text);
      std::set<std::string> names;
      for (int id : isolatedRows) names.insert(UnitStem(Row(id).Target));
      for (const std::string& name : names)
        text = pascal ? AddToUses(text, name) : AddInclude(text, name);
      if (pascal) {
        const std::vector<int> before = EmptySections(*original), after = EmptySections(text);
        if (after.size() > before.size()) {
          // The first section that is empty now and was not (lines before the first removal
          // have not moved): its line in the new text.
          size_t i = 0;
          while (i < before.size() && before[i] == after[i]) ++i;
          throw EUnitFailed(rtl::Format(strings::_SIsolateEmptySection, after[i]));
        }
      }
      session_.Write(path, std::move(text));
      report_.Files.push_back(path);
      for (int id : isolatedRows) usedRows_.insert(id);
      report_.Units.push_back(rtl::Format(strings::_SIsolateUnitDone, path, static_cast<int>(isolatedRows.size()), marked));
    } catch (const EUnitFailed& e) {
      report_.Errors.push_back(rtl::Format(strings::_SIsolateErrorUpdating, path) + ": " + e.Message());
    }
  }

  const TPlanRow& Row(int id) const {
    return *std::find_if(plan_.Rows.begin(), plan_.Rows.end(), [&](const TPlanRow& r) { return r.Id == id; });
  }

  // The strings named by a unit that was rewritten, added in reverse so that the target
  // lists them in plan order (each goes ahead of the unit's first declaration).
  void AddStrings() {
    for (const TPlanRow& r : plan_.Rows) {
      if (!usedRows_.count(r.Id)) continue;
      for (TNewString& s : newStrings_)
        if (Lower(s.Target) == Lower(r.Target) && s.Identifier == identifiers_.at(r.Id) && s.Text == r.Text) s.Used = true;
    }
    std::set<std::string> files;
    for (auto it = newStrings_.rbegin(); it != newStrings_.rend(); ++it) {
      if (!it->Used) continue;
      const TResUnit& unit = targets_.at(Lower(it->Target)).Unit;
      const uint32_t object = manager_.Add(unit, it->Identifier, it->Text, u"");
      MoveObject(zod_, module_, object, it->Object);
      files.insert(unit.Path);
      if (unit.Kind == TResUnitKind::Script) {
        files.insert(module::CompanionFile(unit.Path, ".pas"));
        files.insert(module::CompanionFile(unit.Path, ".inc"));
      }
    }
    for (const TNewString& s : newStrings_)
      if (s.Used) report_.Added.push_back(s.Target + ": " + s.Identifier + " = " + rtl::WideToUtf8(s.Text));
    // A target the command creates is named in the project.
    if (!files.empty()) {
      files.insert(session_.Project().ProjectSource());
      files.insert(session_.Project().ProjectFile());
    }
    report_.Files.insert(report_.Files.end(), files.begin(), files.end());
  }

  TToolSession& session_;
  module::TZod& zod_;
  int module_;
  const TIsolatePlan& plan_;
  TOnUnquoted onUnquoted_;
  TResStringManager manager_;
  int charset_;
  TApplyReport report_;
  std::map<std::string, TTarget> targets_;  // by lower-cased file name
  std::map<int, std::string> identifiers_;  // row -> identifier it takes
  std::map<int, std::string> conflicts_;    // row -> why it cannot take its identifier
  std::vector<TNewString> newStrings_;
  std::set<int> usedRows_;
};

}  // namespace

TApplyReport ApplyPlan(TToolSession& session, module::TZod& zod, int module, const TIsolatePlan& plan,
                       TOnUnquoted onUnquoted) {
  return TApplier(session, zod, module, plan, onUnquoted).Run();
}

}  // namespace quintrel::tools
