#include "tools/switchbase.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <unordered_map>

#include "module/modulefile.h"
#include "module/objects.h"
#include "module/zod.h"
#include "platform/ide/host.h"
#include "runtime/quintrel.h"
#include "strings/toolconsts.h"
#include "text/codepages.h"
#include "tools/resstr.h"
#include "tools/resstrfiles.h"

namespace quintrel::tools {

using module::TLanguageId;
using module::TZod;

std::string ReplaceLiteral(std::string_view text, size_t offset, size_t end, const std::string& identifier,
                           bool script, const std::string& literal) {
  // The literal starts after the separator and the blanks that follow it; a Pascal
  // declaration's literal ends before its ';'.
  const size_t separator = text.find(script ? ',' : '=', offset + identifier.size());
  if (separator == std::string_view::npos || separator >= end) return std::string(text);
  const size_t start = text.find_first_not_of(" \t\r\n", separator + 1);
  size_t stop = end;
  if (!script && stop > 0 && text[stop - 1] == ';') --stop;
  if (start == std::string_view::npos || start > stop) return std::string(text);
  std::string out(text.substr(0, start));
  out += literal;
  out += text.substr(stop);
  return out;
}

namespace {

// Whether the file may be written: it is missing (it would be created), or the user may
// write it and it is not marked read-only for everyone.
bool Writable(const std::string& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return true;
  return ::access(file.c_str(), W_OK) == 0 && (st.st_mode & 0222) != 0;
}

// The module's stored setting, put back however the switch ends.
class TRestoreProperty {
public:
  TRestoreProperty(TZod& zod, int module, const char* name)
      : zod_(zod), module_(module), name_(name), saved_(zod.GetProperty(module, name)) {}
  // At the end of the scope the restore may fail like any write, and says so.
  void Restore() {
    restored_ = true;
    if (saved_)
      zod_.SetProperty(name_, saved_->data(), module_, static_cast<int32_t>(saved_->size()));
    else
      zod_.SetProperty(name_, nullptr, module_, 0);
  }
  // Left by an exception: put back if the file takes it; the error on its way is the one
  // to report, and a destructor must not raise another.
  ~TRestoreProperty() {
    if (restored_) return;
    try {
      Restore();
    } catch (...) {
    }
  }
  TRestoreProperty(const TRestoreProperty&) = delete;
  TRestoreProperty& operator=(const TRestoreProperty&) = delete;

private:
  TZod& zod_;
  int module_;
  const char* name_;
  std::optional<std::vector<uint8_t>> saved_;
  bool restored_ = false;
};

std::u16string Wide(const std::vector<uint8_t>& bytes) {
  std::u16string text(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return text;
}

struct TUnitTexts {
  // By identifier: the text in the new language, or the previous design language's.
  std::unordered_map<std::string, std::u16string> Texts;
};

// The texts a resource-string unit's strings take in `language`.
TUnitTexts UnitTexts(TZod& zod, int m, const TResUnit& unit, TLanguageId language, TLanguageId previous) {
  TUnitTexts result;
  const auto props = zod.GetProps(m);
  for (const module::TZodObject& object : zod.GetObjects(m, unit.Id)) {
    if (object.Ident == 0 || object.Localization == 0) continue;
    const int line = module::GetPropIndex(props, object.PropertyName);
    if (line < 0) continue;
    std::string ident = module::CatalogueName(props[static_cast<size_t>(line)]);
    if (ident.empty() || ident.front() != '#') continue;
    ident.erase(0, 1);
    auto term = ReadStoredTerm(zod, m, language, object.Localization);
    if (!term || term->Status == module::usUnTranslated) term = ReadStoredTerm(zod, m, previous, object.Localization);
    if (!term) continue;
    std::vector<uint8_t> data = term->Data;
    if (data.size() == 1) data.clear();  // an empty text stored as one zero byte
    result.Texts.emplace(std::move(ident), Wide(data));
  }
  return result;
}

// One unit file with every declaration the module has a text for rewritten, from the
// last declaration to the first so that the earlier offsets stay valid.
std::optional<std::string> RewriteUnitFile(const std::string& path, const std::string& text, bool script,
                                           const TUnitTexts& texts, int oldCharset, int newCharset) {
  const TDeclFile decls = script ? ReadStringTable(text, path, oldCharset) : ReadResourceStrings(text, oldCharset);
  std::vector<const TResDecl*> order;
  for (const TResDecl& d : decls.Decls) order.push_back(&d);
  std::sort(order.begin(), order.end(), [](const TResDecl* a, const TResDecl* b) { return a->Offset > b->Offset; });
  std::string out = text;
  for (const TResDecl* d : order) {
    const auto it = texts.Texts.find(d->Identifier);
    if (it == texts.Texts.end()) continue;
    if (it->second == d->Text && EncodeText(d->Text, oldCharset) == EncodeText(d->Text, newCharset)) continue;
    const std::string literal = script ? ScriptLiteral(it->second, newCharset) : PascalLiteral(it->second, newCharset);
    out = ReplaceLiteral(out, d->Offset, d->End, d->Identifier, script, literal);
  }
  if (out == text) return std::nullopt;
  return out;
}

std::string LanguageList(TZod& zod, int m) {
  std::vector<TLanguageId> ids;
  zod.GetLanguageList(m, ids);
  std::string list;
  for (TLanguageId id : ids)
    list += (list.empty() ? "" : ", ") + std::string{static_cast<char>(id & 0xFF), static_cast<char>(id >> 8)};
  return list.empty() ? "none" : list;
}

}  // namespace

module::TZodLanguage RequireLanguage(TToolSession& session, int m, TLanguageId language) {
  TZod& zod = module::GlobalZOD();
  module::TZodLanguage record;
  record.Identifier = language;
  if (!zod.GetLanguage(m, record))
    throw EToolError(rtl::Format(strings::_SSwitchNoLanguage, session.ModuleFile(),
                                 std::string{static_cast<char>(language & 0xFF), static_cast<char>(language >> 8)},
                                 LanguageList(zod, m)));
  return record;
}

void ForEachProjectForm(const host::TProject& project, int module, const TFormVisitor& visit) {
  host::TDevelopmentHost host;
  host.OpenProject(project.ProjectFile());
  runtime::TQuintrel translator(module::GlobalZOD());
  translator.SetModule(module);
  for (const host::TProjectEntry& entry : project.Entries()) {
    if (entry.FormName.empty() || host::CompanionFile(entry.FileName, ".dfm").empty()) continue;
    vcl::TComponent& form = host.Form(entry.FileName);
    const auto unit = host.Module(entry.FileName);
    if (unit) visit(entry, *unit, form, translator);
  }
}

TSwitchBaseResult SwitchBaseLanguage(TToolSession& session, int m, TLanguageId language, const TProgress& progress) {
  TZod& zod = module::GlobalZOD();
  TSwitchBaseResult result;
  const module::TZodLanguage target = RequireLanguage(session, m, language);
  result.Previous = zod.GetDesignTimeLanguage(m);
  result.Update = result.Previous == language;
  const int oldCharset = zod.GetCharsetOfLanguage(m, result.Previous);
  const int newCharset = target.Charset;

  // Everything that may be written, checked before anything is.
  TResStringManager strings(session, zod, m);
  const std::vector<TResUnit> units = strings.Units();
  const host::TProject& project = session.Project();
  std::vector<std::string> files{session.ModuleFile()};
  for (const host::TProjectEntry& entry : project.Entries())
    if (!entry.FormName.empty())
      if (std::string form = host::CompanionFile(entry.FileName, ".dfm"); !form.empty()) files.push_back(form);
  for (const TResUnit& unit : units) {
    files.push_back(unit.Path);
    if (unit.Kind == TResUnitKind::Script) files.push_back(module::CompanionFile(unit.Path, ".pas"));
  }
  std::string readOnly;
  for (const std::string& file : files)
    if (!Writable(file)) readOnly += (readOnly.empty() ? "" : ", ") + file;
  if (!readOnly.empty()) throw EToolError(rtl::Format(strings::_SReadOnlyFiles, readOnly));

  const size_t total = files.size();
  size_t step = 0;
  {
    // While switching, an untranslated text falls back to the design language, which is
    // still the previous one.
    TRestoreProperty fallback(zod, m, module::kPropUseOriginalIfUntranslated);
    zod.SetUseOriginalIfUntranslated(m, true);
    ForEachProjectForm(project, m, [&](const host::TProjectEntry& entry, host::THostModule& unit,
                                       vcl::TComponent& form, runtime::TQuintrel& translator) {
      Report(progress, rtl::Format(strings::_SSwitchingFile, entry.FormName), ++step, total);
      translator.SwitchLanguage(language, false, true, form.Name());
      const std::string bytes = unit.FormBytes();
      if (bytes.empty() || unit.FormFile().empty()) return;
      if (session.Read(unit.FormFile()) != bytes) {
        session.Write(unit.FormFile(), bytes);
        result.Forms.push_back(form.Name());
      }
    });
    for (const TResUnit& unit : units) {
      Report(progress, rtl::Format(strings::_SSwitchingFile, unit.Name), ++step, total);
      const std::optional<std::string> text = session.Read(unit.Path);
      if (!text) continue;
      const TUnitTexts texts = UnitTexts(zod, m, unit, language, result.Previous);
      const bool script = unit.Kind == TResUnitKind::Script;
      if (auto rewritten = RewriteUnitFile(unit.Path, *text, script, texts, oldCharset, newCharset)) {
        session.Write(unit.Path, std::move(*rewritten));
        result.Units.push_back(unit.Path);
      }
    }
    fallback.Restore();
  }
  zod.SetDesignTimeLanguage(m, language);
  session.ModuleChanged();
  return result;
}

}  // namespace quintrel::tools
