#include "tools/maintenance.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <unordered_map>

#include "module/modulefile.h"
#include "module/namelists.h"
#include "module/objects.h"
#include "storage/catalogue.h"
#include "storage/vardbs.h"
#include "strings/toolconsts.h"
#include "text/codepages.h"
#include "text/unicode.h"
#include "platform/ide/host.h"
#include "runtime/quintrel.h"
#include "tools/othermodule.h"
#include "tools/repair.h"
#include "tools/resstr.h"
#include "tools/resstrfiles.h"
#include "tools/switchbase.h"
#include "tools/toolsession.h"

namespace quintrel::tools {

namespace fs = std::filesystem;
using module::TZod;
using module::TZodObject;

namespace {

struct TCatalogueLine {
  uint32_t Id;
  std::string Name;
};

std::vector<TCatalogueLine> Lines(const module::TCatalogueList& list) {
  std::vector<TCatalogueLine> lines;
  for (const std::string& line : list) {
    const size_t blank = line.find(' ');
    if (blank == std::string::npos || blank == 0 || blank > 8 || blank + 1 >= line.size()) continue;
    lines.push_back({static_cast<uint32_t>(text::HexToInt(std::string_view(line).substr(0, blank))), line.substr(blank + 1)});
  }
  return lines;
}

// The lines of the names in use, in ascending identifier order (as the name lists save
// them), each identifier once.
module::TCatalogueList UsedLines(const std::vector<TCatalogueLine>& lines, const std::set<uint32_t>& used) {
  std::vector<TCatalogueLine> kept;
  std::set<uint32_t> seen;
  for (const TCatalogueLine& l : lines)
    if (used.count(l.Id) && seen.insert(l.Id).second) kept.push_back(l);
  std::stable_sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) { return a.Id < b.Id; });
  module::TCatalogueList out;
  for (const TCatalogueLine& l : kept) out.push_back(module::CatalogueLine(l.Id, l.Name));
  return out;
}

bool CopyTerm(TZod& from, int f, TZod& to, int t, module::TLanguageId language, uint32_t ident) {
  auto term = ReadStoredTerm(from, f, language, ident);
  if (!term) return false;
  WriteStoredTerm(to, t, language, ident, *term);
  return true;
}

void Rewrite(TZod& src, int s, TZod& dst, int d, TPackResult& result, const TProgress& progress) {
  std::vector<module::TLanguageId> ids;
  src.GetLanguageList(s, ids);
  result.Languages = ids;

  const auto forms = Lines(src.GetForms(s));
  std::set<uint32_t> usedComps, usedProps;
  module::TCatalogueList formLines;
  std::set<uint32_t> formsDone;
  for (size_t i = 0; i < forms.size(); ++i) {
    const uint32_t formId = forms[i].Id;
    // A form listed twice keeps its first name, as the name lists read it.
    if (!formsDone.insert(formId).second) continue;
    std::string name = forms[i].Name;
    if (name.front() == module::kUnconfirmedMark && name.size() > 1) name.erase(0, 1);
    formLines.push_back(module::CatalogueLine(formId, name));
    ++result.Forms;
    Report(progress, strings::_SPackingForm + name, i + 1, forms.size());
    const bool unit = name.front() == '#';
    const std::vector<TZodObject> objects = src.GetObjects(s, static_cast<uint16_t>(formId));
    for (size_t k = 0; k < objects.size(); ++k) {
      TZodObject object = objects[k];
      if (object.Ident == 0) continue;
      Report(progress, rtl::Format(strings::_SPackingProperty, std::to_string(k + 1), std::to_string(objects.size())),
          i + 1, forms.size());
      object.FormID = static_cast<uint16_t>(formId);
      if (!unit && object.CompName != 0) usedComps.insert(object.CompName);
      usedProps.insert(object.PropertyName);
      if (object.Localization != 0)
        for (module::TLanguageId language : ids)
          if (language != module::kCommentLanguage && CopyTerm(src, s, dst, d, language, object.Localization))
            ++result.Terms;
      // Comments are terms of their own pseudo-language, which is no language of the list.
      if (object.Comment != 0 && CopyTerm(src, s, dst, d, module::kCommentLanguage, object.Comment))
        ++result.Comments;
      dst.SetObject(d, object);
      ++result.Objects;
    }
  }

  Report(progress, strings::_SUpdatingZodProperties, forms.size(), forms.size());
  for (const std::string& name : src.GetPropertyNames(s)) {
    // The catalogue texts and object lists are rebuilt, and the version is the current one:
    // copying them would bring back what packing replaced.
    if (name == module::kPropForms || name == module::kPropComps || name == module::kPropObjectProperties ||
        name == module::kPropZodVer || name.rfind(module::kPropObjIdents, 0) == 0)
      continue;
    auto value = src.GetProperty(s, name);
    if (value && !value->empty()) dst.SetProperty(name, value->data(), d, static_cast<int32_t>(value->size()));
  }
  dst.SetForms(d, formLines);
  dst.SetComps(d, UsedLines(Lines(src.GetComps(s)), usedComps));
  dst.SetProps(d, UsedLines(Lines(src.GetProps(s)), usedProps));
  // New term tables carry only their identifier index; a dictionary needs its text index.
  for (module::TLanguageId language : ids)
    if (src.IsLanguageDictionary(s, language) && dst.SetDictionary(d, language, true))
      result.Dictionaries.push_back(language);
}

}  // namespace

TPackResult PackModule(const std::string& moduleFile, const TProgress& progress) {
  const std::string module = CanonicalPath(moduleFile);
  TPackResult result;
  result.Backup = module::CompanionName(module, kPackBackupExtension);
  std::error_code ec;
  try {
    if (!fs::is_regular_file(module, ec)) throw EToolError(rtl::Format(strings::_SOtherModuleMissing, module));
    // A file that is no database at all would only replace an earlier, good backup.
    if (std::string problem = storage::TCustomVarDB::DiagnoseFile(module); !problem.empty()) throw EToolError(problem);
    result.BackupReplaced = fs::exists(result.Backup, ec);
    {
      // The backup is complete before it replaces an earlier one.
      TScratchFile copy(result.Backup, ".~tmp");
      if (!fs::copy_file(module, copy.Path(), ec) || ec)
        throw EToolError(rtl::Format(strings::_SToolCannotWrite, result.Backup, ec.message()));
      fs::rename(copy.Path(), result.Backup, ec);
      if (ec) throw EToolError(rtl::Format(strings::_SToolCannotWrite, result.Backup, ec.message()));
      copy.Keep();
    }
    TScratchFile packed(module, ".~pack");
    {
      TOtherModule source(result.Backup, TOtherModule::TAccess::Read, {module});
      TOtherModule target(packed.Path(), TOtherModule::TAccess::Create, {module, result.Backup});
      Rewrite(source.Zod(), source.Index(), target.Zod(), target.Index(), result, progress);
    }
    // A module that was damaged can pack into one that is no better; it does not replace
    // the module then.
    RequireSoundCopy(module, packed.Path());
    fs::permissions(packed.Path(), fs::status(module, ec).permissions(), ec);
    fs::rename(packed.Path(), module, ec);
    if (ec) throw EToolError(rtl::Format(strings::_SToolCannotWrite, module, ec.message()));
    packed.Keep();
  } catch (const rtl::Exception& e) {
    throw EToolError(rtl::Format(strings::_SPackFailed, module, e.Message()));
  } catch (const std::exception& e) {
    throw EToolError(rtl::Format(strings::_SPackFailed, module, std::string(e.what())));
  }
  return result;
}

TReindexResult ReindexModule(const std::string& moduleFile, const TProgress& progress) {
  TReindexResult result;
  result.Backup = RewriteVerified(moduleFile, true, [&](const std::string& copy) {
    TOtherModule file(copy, TOtherModule::TAccess::ReadWrite, {}, nullptr);
    storage::TCustomVarDB& db = file.Zod().GetModuleInterface(file.Index());
    module::TModuleLock lock(db, true);
    storage::TFileHeader header;
    db.GetDatabaseHeader(header);
    const int tables = std::max(header.TableCount, 0);
    for (int t = 0; t < tables; ++t) {
      Report(progress, rtl::Format(strings::_SReIndexingTable, std::to_string(t + 1) + " / " + std::to_string(tables)),
          static_cast<size_t>(t + 1), static_cast<size_t>(tables));
      storage::TTableHeader table;
      if (!db.GetTableHeader(t, table)) continue;
      const int fields = std::max(table.FieldCount, 0);
      for (int f = 0; f < fields; ++f) {
        Report(progress, rtl::Format(strings::_SReIndexingField, std::to_string(f) + " / " + std::to_string(fields)),
            static_cast<size_t>(t + 1), static_cast<size_t>(tables));
        db.IndexPack(t, f);
      }
    }
    result.Tables = tables;
  });
  return result;
}

TMigrateResult MigrateForms(TToolSession& session, int m, module::TLanguageId language, const TProgress& progress) {
  TZod& zod = module::GlobalZOD();
  TMigrateResult result;
  RequireLanguage(session, m, language);
  // What reviewers signed off stays as they left it.
  std::vector<module::TPackedTerm> signedOff;
  {
    const std::vector<uint8_t> packed = zod.GetTerms(m, language);
    for (module::TPackedTerm& t : module::UnpackTerms(packed.data(), static_cast<int32_t>(packed.size())))
      if (t.Status == module::usSignedOff) signedOff.push_back(std::move(t));
  }
  const int fileCharset = zod.GetCharsetOfLanguage(m, zod.GetDesignTimeLanguage(m));
  TResStringManager strings(session, zod, m);
  const std::vector<TResUnit> units = strings.Units();
  const host::TProject& project = session.Project();
  size_t total = units.size() + 1, step = 0;
  for (const host::TProjectEntry& entry : project.Entries()) total += entry.FormName.empty() ? 0 : 1;

  zod.SetDesignTimeLanguage(m, language);
  ForEachProjectForm(project, m, [&](const host::TProjectEntry& entry, host::THostModule&, vcl::TComponent& form,
                                     runtime::TQuintrel& translator) {
    Report(progress, rtl::Format(strings::_SMigrating, entry.FormName), ++step, total);
    if (translator.SwitchLanguage(language, true, true, form.Name())) ++result.Forms;
  });
  // The strings of the resource-string units, as their files declare them now.
  for (const TResUnit& unit : units) {
    Report(progress, rtl::Format(strings::_SMigrating, unit.Name), ++step, total);
    const std::optional<std::string> text = session.Read(unit.Path);
    if (!text) continue;
    const TDeclFile decls = unit.Kind == TResUnitKind::Script ? ReadStringTable(*text, unit.Path, fileCharset)
                                                              : ReadResourceStrings(*text, fileCharset);
    std::unordered_map<std::string, const TResDecl*> byIdent;
    for (const TResDecl& d : decls.Decls) byIdent.emplace(d.Identifier, &d);
    const auto props = zod.GetProps(m);
    for (TZodObject object : zod.GetObjects(m, unit.Id)) {
      const int line = module::GetPropIndex(props, object.PropertyName);
      if (object.Ident == 0 || line < 0) continue;
      const std::string ident = module::CatalogueName(props[static_cast<size_t>(line)]);
      const auto it = byIdent.find(ident.empty() ? ident : ident.substr(1));
      if (it == byIdent.end()) continue;
      const std::optional<TTermText> stored = ReadTermText(zod, m, language, object.Localization);
      if (stored && stored->Text == it->second->Text) continue;
      // Signed-off texts are put back below, after the forms have had their say.
      StoreObjectText(zod, m, object, language, it->second->Text, module::usForReview, TSignedOff::Overwrite);
    }
    ++result.Units;
  }
  for (const module::TPackedTerm& kept : signedOff) {
    auto now = ReadStoredTerm(zod, m, language, kept.Ident);
    if (now && now->Status == kept.Status && now->Style == kept.Style && now->Data == kept.Data) continue;
    WriteStoredTerm(zod, m, language, kept.Ident, {kept.Status, kept.Style, kept.Data});
    ++result.KeptSignedOff;
  }
  session.ModuleChanged();
  return result;
}

}  // namespace quintrel::tools
