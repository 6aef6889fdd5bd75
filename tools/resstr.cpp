#include "tools/resstr.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

#include "module/modulefile.h"
#include "module/objects.h"
#include "module/terms.h"
#include "platform/vcl/classes.h"
#include "platform/vcl/textutil.h"
#include "strings/toolconsts.h"
#include "tools/termtext.h"

namespace quintrel::tools {

namespace fs = std::filesystem;
using module::TZodObject;

namespace {

// Offsets in the files were kept as six hexadecimal digits; a unit stays within what
// they address.
constexpr size_t kMaxUnitSize = 0xFFFFFF;

const TResDecl* FindDecl(const TDeclFile& file, std::string_view ident) {
  for (const TResDecl& d : file.Decls)
    if (vcl::SameText(d.Identifier, ident)) return &d;
  return nullptr;
}

bool Declares(const TDeclFile& file, std::string_view ident) {
  return FindDecl(file, ident) ||
         std::any_of(file.Skipped.begin(), file.Skipped.end(), [&](const std::string& s) { return vcl::SameText(s, ident); });
}

// The id of a catalogue line named `name`: the exact spelling first, else one that
// differs in case only (identifiers of the language ignore case).
uint32_t FindName(const module::TCatalogueList& list, std::string_view name) {
  return module::GetFormIDIgnoringCase(list, name);
}

}  // namespace

TResStringManager::TResStringManager(TToolSession& session, module::TZod& zod, int module)
    : session_(session),
      zod_(zod),
      module_(module),
      design_(zod.GetDesignTimeLanguage(module)),
      charset_(zod.GetCharsetOfLanguage(module, design_)) {}

// --- units -----------------------------------------------------------------------------------

std::string TResStringManager::UnitPath(const std::string& name) const {
  for (const host::TProjectEntry& e : session_.Project().Entries())
    if (vcl::SameText(fs::path(e.FileName).filename().string(), name)) return e.FileName;
  return host::ResolvePath(session_.Project().Folder(), name);
}

std::vector<TResUnit> TResStringManager::Units() {
  std::vector<TResUnit> units;
  for (const std::string& line : zod_.GetForms(module_)) {
    const std::string name = module::CatalogueName(line);
    if (name.size() < 2 || name[0] != '#') continue;
    TResUnit unit;
    unit.Id = static_cast<uint16_t>(std::stoul(line.substr(0, line.find(' ')), nullptr, 16));
    unit.Name = name.substr(1);
    unit.Kind = ResUnitKind(unit.Name);
    unit.Path = UnitPath(unit.Name);
    units.push_back(std::move(unit));
  }
  return units;
}

std::vector<std::string> TResStringManager::DiscoverUnits() {
  const std::vector<TResUnit> known = Units();
  std::vector<std::string> found;
  for (const host::TProjectEntry& e : session_.Project().Entries()) {
    const std::string name = fs::path(e.FileName).filename().string();
    if (std::any_of(known.begin(), known.end(), [&](const TResUnit& u) { return vcl::SameText(u.Name, name); })) continue;
    const TResUnitKind kind = ResUnitKind(name);
    if (kind == TResUnitKind::None) continue;
    try {
      const std::optional<std::string> text = session_.Read(e.FileName);
      if (!text) continue;
      const bool isUnit = kind == TResUnitKind::Pascal ? ReadResourceStrings(*text, charset_).SectionBody.has_value()
                                                       : ReadStringTable(*text, e.FileName, charset_).SectionBody.has_value();
      if (isUnit) found.push_back(e.FileName);
    } catch (const rtl::Exception&) {
      // A file that cannot be read is no unit this tool can keep.
    }
  }
  return found;
}

TResUnit TResStringManager::FindUnit(const std::string& name) {
  std::string wanted = name;
  if (!wanted.empty() && wanted[0] == '#') wanted.erase(0, 1);
  std::string names;
  for (TResUnit& unit : Units()) {
    if (vcl::SameText(unit.Name, wanted) || vcl::SameText(unit.Path, host::FullPath(wanted))) return unit;
    names += (names.empty() ? "" : ", ") + unit.Name;
  }
  throw EToolError(rtl::Format(strings::_SResStrNoUnit, session_.ModuleFile(), wanted, names.empty() ? "none" : names));
}

TResUnit TResStringManager::AddUnit(const std::string& name) {
  std::string file = fs::path(name).filename().string();
  if (file.empty() || file[0] == '#') throw EToolError(rtl::Format(strings::_SResStrUnitKind, name));
  if (fs::path(file).extension().empty()) file += ".pas";
  if (ResUnitKind(file) == TResUnitKind::None) throw EToolError(rtl::Format(strings::_SResStrUnitKind, name));
  for (const TResUnit& unit : Units())
    if (vcl::SameText(unit.Name, file)) throw EToolError(rtl::Format(strings::_SResStrUnitExists, session_.ModuleFile(), unit.Name));
  module::TCatalogueList forms = zod_.GetForms(module_);
  const uint16_t id = zod_.GetNewFormID(module_);
  forms.push_back(module::CatalogueLine(id, "#" + file));
  zod_.SetForms(module_, forms);
  session_.ModuleChanged();
  return FindUnit(file);
}

bool TResStringManager::PropertyUsed(uint16_t prop) {
  for (const std::string& line : zod_.GetForms(module_)) {
    const auto form = static_cast<uint16_t>(std::stoul(line.substr(0, line.find(' ')), nullptr, 16));
    for (const TZodObject& o : zod_.GetObjects(module_, form))
      if (o.PropertyName == prop) return true;
  }
  return false;
}

void TResStringManager::RemoveUnit(const std::string& name) {
  const TResUnit unit = FindUnit(name);
  session_.Confirm(rtl::Format(strings::_SResStrRemoveUnitQuestion, unit.Name));
  zod_.RemoveForm(module_, unit.Id);
  module::TCatalogueList props = zod_.GetProps(module_), kept;
  for (const std::string& line : props) {
    const std::string prop = module::CatalogueName(line);
    const auto id = static_cast<uint16_t>(std::stoul(line.substr(0, line.find(' ')), nullptr, 16));
    if (!prop.empty() && prop[0] == '#' && !PropertyUsed(id)) continue;
    kept.push_back(line);
  }
  if (kept.size() != props.size()) zod_.SetProps(module_, kept);
  session_.ModuleChanged();
}

// --- the unit's files ------------------------------------------------------------------------

TResStringManager::TUnitFiles TResStringManager::ReadFiles(const TResUnit& unit) {
  TUnitFiles files;
  const auto read = [&](const std::string& path) {
    std::optional<std::string> text = session_.Read(path);
    if (text && text->size() > kMaxUnitSize)
      throw EToolError(rtl::Format(strings::_SResStrUnitTooLarge, path, static_cast<int>(kMaxUnitSize)));
    return text;
  };
  if (unit.Kind == TResUnitKind::Pascal) {
    files.DeclPath = unit.Path;
    files.DeclText = read(files.DeclPath);
    if (files.DeclText) files.Decls = ReadResourceStrings(*files.DeclText, charset_);
    return files;
  }
  if (unit.Kind != TResUnitKind::Script) return files;
  files.ScriptPath = unit.Path;
  // The constants come from NAME.inc when there is one, else NAME.pas; edits go to the
  // file they were read from.
  files.DeclPath = host::CompanionFile(unit.Path, ".inc");
  if (files.DeclPath.empty()) files.DeclPath = module::CompanionFile(unit.Path, ".pas");
  files.DeclText = read(files.DeclPath);
  if (files.DeclText) files.Decls = ReadConstants(*files.DeclText);
  files.ScriptText = read(files.ScriptPath);
  if (files.ScriptText) {
    try {
      files.Table = ReadStringTable(*files.ScriptText, files.ScriptPath, charset_);
    } catch (const host::EProjectError& e) {
      throw EToolError(e.Message());
    }
  }
  return files;
}

// --- the module ------------------------------------------------------------------------------

std::u16string TResStringManager::TermText(uint32_t term) {
  if (term == 0) return {};
  module::TZodTerm t{design_, term};
  if (!zod_.GetTerm(module_, t) || t.Size <= 0) return {};
  std::vector<uint8_t> data(static_cast<size_t>(t.Size));
  t.Data = data.data();
  zod_.GetTerm(module_, t);
  std::u16string text(data.size() / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  return text;
}

std::u16string TResStringManager::CommentText(uint32_t comment) {
  if (comment == 0) return {};
  const int32_t size = zod_.GetCommentW(module_, comment, nullptr);
  if (size <= 0) return {};
  std::u16string text(static_cast<size_t>(size) + 1, u'\0');
  zod_.GetCommentW(module_, comment, text.data());
  text.resize(static_cast<size_t>(size));
  return text;
}

std::vector<TResString> TResStringManager::Strings(const TResUnit& unit) {
  const module::TCatalogueList props = zod_.GetProps(module_);
  std::vector<TResString> strings;
  for (const TZodObject& o : zod_.GetObjects(module_, unit.Id)) {
    if (o.PropertyName == 0) continue;
    TResString s;
    s.Object = o.Ident;
    s.Number = o.CompName;
    const int line = module::GetPropIndex(props, o.PropertyName);
    const std::string name = line < 0 ? std::string() : module::CatalogueName(props[static_cast<size_t>(line)]);
    s.Identifier = name.size() > 1 && name[0] == '#' ? name.substr(1) : strings::_SResStrUnknownIdent;
    s.Text = TermText(o.Localization);
    s.Comment = CommentText(o.Comment);
    strings.push_back(std::move(s));
  }
  return strings;
}

std::optional<TResString> TResStringManager::FindString(const TResUnit& unit, const std::string& ident) {
  for (TResString& s : Strings(unit))
    if (vcl::SameText(s.Identifier, ident)) return std::move(s);
  return std::nullopt;
}

void TResStringManager::SetText(TZodObject& object, const std::u16string& text) {
  // The design text is the source's own: the manager writes it whatever its status.
  StoreObjectText(zod_, module_, object, design_, text, text.empty() ? module::usUnTranslated : module::usForReview,
                  TSignedOff::Overwrite);
}

void TResStringManager::SetComment(TZodObject& object, const std::u16string& comment) {
  if (object.Comment == 0) {
    object.Comment = zod_.GetNewTermID(module_);
    zod_.SetObject(module_, object);
  }
  zod_.SetCommentW(module_, object.Comment, comment);
}

uint32_t TResStringManager::InsertInModule(const TResUnit& unit, const std::string& ident, const std::u16string& text,
                                           uint32_t number) {
  // An identifier row another unit made is shared, spelled as it was first catalogued.
  const module::TCatalogueList props = zod_.GetProps(module_);
  std::string propName = "#" + ident;
  if (const uint32_t id = FindName(props, propName); id != 0) {
    const int line = module::GetPropIndex(props, static_cast<uint16_t>(id));
    if (line >= 0) propName = module::CatalogueName(props[static_cast<size_t>(line)]);
  }
  const uint32_t ident32 = zod_.AddUnitObject(module_, "#" + unit.Name, number, propName, module::utString,
                                              module::ucResourceString);
  TZodObject object;
  object.Ident = ident32;
  zod_.GetObject(module_, object);
  SetText(object, text);
  session_.ModuleChanged();
  return ident32;
}

void TResStringManager::DropObject(const TZodObject& found) {
  TZodObject object = found;
  const uint16_t prop = object.PropertyName;
  object.PropertyName = 0;  // deletes it
  zod_.SetObject(module_, object);
  if (!PropertyUsed(prop)) {
    module::TCatalogueList props = zod_.GetProps(module_);
    const int line = module::GetPropIndex(props, prop);
    if (line >= 0) {
      props.erase(props.begin() + line);
      zod_.SetProps(module_, props);
    }
  }
  session_.ModuleChanged();
}

uint32_t TResStringManager::NextScriptNumber(const TUnitFiles& files) {
  // The run-time hook finds a script's string by its number alone, so a new number is
  // above every script string of the module, not only of this unit, and above what the
  // unit's files already use.
  long long highest = 0;
  for (const TResUnit& u : Units())
    if (u.Kind == TResUnitKind::Script)
      for (const TZodObject& o : zod_.GetObjects(module_, u.Id)) highest = std::max<long long>(highest, o.CompName);
  for (const TResDecl& d : files.Decls.Decls) highest = std::max(highest, d.Number);
  for (const TResDecl& d : files.Table.Decls) highest = std::max(highest, d.Number);
  return static_cast<uint32_t>(std::clamp<long long>(highest + 1, 1, 0xFFFF));
}

// --- sync ------------------------------------------------------------------------------------

TSyncReport TResStringManager::Sync(const TResUnit& unit) {
  TSyncReport report;
  if (unit.Kind == TResUnitKind::None) return report;
  const TUnitFiles files = ReadFiles(unit);
  const bool pascal = unit.Kind == TResUnitKind::Pascal;
  // The declarations that carry the texts; for a script, its table (numbered by the
  // constants unit).
  if (pascal ? !files.DeclText : !files.ScriptText) return report;
  const TDeclFile& texts = pascal ? files.Decls : files.Table;
  report.Skipped = texts.Skipped;
  if (!pascal) report.Skipped.insert(report.Skipped.end(), files.Decls.Skipped.begin(), files.Decls.Skipped.end());
  const std::vector<TResString> known = Strings(unit);
  for (const TResDecl& d : texts.Decls) {
    if (std::any_of(known.begin(), known.end(), [&](const TResString& s) { return vcl::SameText(s.Identifier, d.Identifier); }))
      continue;
    uint32_t number = 0;
    if (!pascal) {
      const TResDecl* constant = FindDecl(files.Decls, d.Identifier);
      const long long n = constant ? constant->Number : d.Number;
      number = n > 0 && n <= 0xFFFF ? static_cast<uint32_t>(n) : 0;
    }
    InsertInModule(unit, d.Identifier, d.Text, number);
    report.Imported.push_back(d.Identifier);
  }
  for (const TResString& s : known) {
    if (s.Identifier == strings::_SResStrUnknownIdent || Declares(texts, s.Identifier)) continue;
    TZodObject object;
    object.Ident = s.Object;
    if (!zod_.GetObject(module_, object)) continue;
    DropObject(object);
    report.Removed.push_back(s.Identifier);
  }
  return report;
}

// --- add, edit, remove -----------------------------------------------------------------------

uint32_t TResStringManager::Add(const TResUnit& unit, const std::string& ident, const std::u16string& text,
                                const std::u16string& comment) {
  if (unit.Kind == TResUnitKind::None) return 0;
  if (!vcl::IsValidIdent(ident)) throw EToolError(strings::_SResStrInvalidIdent);
  const TUnitFiles files = ReadFiles(unit);
  if (FindString(unit, ident) || Declares(files.Decls, ident) || Declares(files.Table, ident))
    throw EToolError(strings::_SResStrExists);
  const std::string name = GeneratedUnitName(unit.Path);

  // The files first: a file the tool cannot add to refuses the command before the module
  // changes.
  const auto addTo = [&](const std::string& path, const std::optional<std::string>& text, const TDeclFile& decls,
                         const std::string& decl, auto generate, const char* section) {
    if (!text || (decls.Decls.empty() && IsSkeleton(*text, name, generate))) {
      session_.Write(path, generate(name, {decl}));
      return;
    }
    std::optional<std::string> changed = InsertDecl(*text, decls, decl);
    if (!changed) throw EToolError(rtl::Format(strings::_SResStrNoSection, path, section));
    session_.Write(path, std::move(*changed));
  };
  uint32_t number = 0;
  if (unit.Kind == TResUnitKind::Pascal) {
    addTo(files.DeclPath, files.DeclText, files.Decls, PascalDecl(ident, text, charset_), GeneratePascalUnit,
          "resourcestring");
  } else {
    number = NextScriptNumber(files);
    addTo(files.DeclPath, files.DeclText, files.Decls, ConstantDecl(ident, std::to_string(number)),
          GenerateConstantsUnit, "const");
    addTo(files.ScriptPath, files.ScriptText, files.Table, ScriptDecl(ident, text, charset_), GenerateScript,
          "STRINGTABLE");
  }
  // A unit made by this command is named in the project, or the linker would never see
  // its strings (a script is linked through its constants unit's {$R} directive).
  // A C++Builder project names its scripts too, as it names every file it builds.
  const host::TProject& project = session_.Project();
  if (!files.DeclText && host::ExtensionOf(files.DeclPath) == ".pas" && !project.IsUnit(files.DeclPath))
    NameInProject(files.DeclPath);
  if (unit.Kind == TResUnitKind::Script && !files.ScriptText && project.Kind() == host::TProjectKind::pkCppBuilder &&
      !project.IsUnit(files.ScriptPath))
    NameInProject(files.ScriptPath);
  const uint32_t object = InsertInModule(unit, ident, text, number);
  if (!comment.empty()) {
    TZodObject o;
    o.Ident = object;
    zod_.GetObject(module_, o);
    SetComment(o, comment);
  }
  return object;
}

void TResStringManager::NameInProject(const std::string& fileName) {
  const host::TProject& project = session_.Project();
  const std::optional<std::string> source = session_.Read(project.ProjectSource());
  if (!source) throw EToolError(rtl::Format(strings::_SResStrNoProjectSource, project.ProjectSource()));
  const bool separateFile = project.ProjectFile() != project.ProjectSource();
  const std::string projectFileText = separateFile ? session_.Read(project.ProjectFile()).value_or("") : "";
  try {
    host::TProjectEdit edit = project.PlanAddUnit(fileName, "", *source, projectFileText);
    session_.Write(project.ProjectSource(), std::move(edit.Source));
    if (edit.ProjectFile) session_.Write(project.ProjectFile(), std::move(*edit.ProjectFile));
  } catch (const host::EProjectError& e) {
    throw EToolError(e.Message());
  }
}

void TResStringManager::NameOutOfProject(const std::string& fileName) {
  const host::TProject& project = session_.Project();
  const std::optional<std::string> source = session_.Read(project.ProjectSource());
  if (!source) return;
  const bool separateFile = project.ProjectFile() != project.ProjectSource();
  const std::string projectFileText = separateFile ? session_.Read(project.ProjectFile()).value_or("") : "";
  try {
    std::optional<host::TProjectEdit> edit = project.PlanRemoveUnit(fileName, *source, projectFileText);
    if (!edit) return;
    session_.Write(project.ProjectSource(), std::move(edit->Source));
    if (edit->ProjectFile) session_.Write(project.ProjectFile(), std::move(*edit->ProjectFile));
  } catch (const host::EProjectError& e) {
    throw EToolError(e.Message());
  }
}

void TResStringManager::Edit(const TResUnit& unit, const std::string& ident, const std::optional<std::u16string>& text,
                             std::optional<uint32_t> number, const std::optional<std::u16string>& comment) {
  if (unit.Kind == TResUnitKind::None) return;
  const std::optional<TResString> found = FindString(unit, ident);
  if (!found) throw EToolError(rtl::Format(strings::_SResStrNoString, unit.Name, ident));
  TZodObject object;
  object.Ident = found->Object;
  zod_.GetObject(module_, object);
  if (number && unit.Kind == TResUnitKind::Pascal) number.reset();  // the linker numbers Pascal strings
  if (number && *number != object.CompName) {
    // A number no other script string of the module has.
    bool taken = *number == 0 || *number > 0xFFFF;
    for (const TResUnit& u : Units())
      if (u.Kind == TResUnitKind::Script)
        for (const TZodObject& o : zod_.GetObjects(module_, u.Id))
          if (o.Ident != object.Ident && o.CompName == *number) taken = true;
    if (taken) throw EToolError(strings::_SResStrInvalidIdent);
  }
  const TUnitFiles files = ReadFiles(unit);
  const std::u16string newText = text ? *text : found->Text;
  if (unit.Kind == TResUnitKind::Pascal) {
    if (text && files.DeclText)
      if (const TResDecl* d = FindDecl(files.Decls, ident))
        session_.Write(files.DeclPath, ReplaceDecl(*files.DeclText, *d, PascalDecl(d->Identifier, newText, charset_)));
  } else {
    if (number && files.DeclText)
      if (const TResDecl* d = FindDecl(files.Decls, ident))
        session_.Write(files.DeclPath, ReplaceDecl(*files.DeclText, *d, ConstantDecl(d->Identifier, std::to_string(*number))));
    if (text && files.ScriptText)
      if (const TResDecl* d = FindDecl(files.Table, ident))
        session_.Write(files.ScriptPath, ReplaceDecl(*files.ScriptText, *d, ScriptDecl(d->Identifier, newText, charset_)));
  }
  if (number && *number != object.CompName) {
    object.CompName = *number;
    zod_.SetObject(module_, object);
  }
  if (text) SetText(object, *text);
  if (comment) SetComment(object, *comment);
  session_.ModuleChanged();
}

void TResStringManager::Remove(const TResUnit& unit, const std::string& ident) {
  if (unit.Kind == TResUnitKind::None) return;
  session_.Confirm(rtl::Format(strings::_SResStrRemoveQuestion, ident));
  const std::optional<TResString> found = FindString(unit, ident);
  TZodObject object;
  if (found) object.Ident = found->Object;
  if (!found || !zod_.GetObject(module_, object))
    throw EToolError(rtl::Format(strings::_SResStrRemoveError, ident));
  const TUnitFiles files = ReadFiles(unit);
  const std::string name = GeneratedUnitName(unit.Path);
  // A file is deleted only when what remains is the skeleton this tool generates; a
  // hand-written unit keeps everything but the declaration.
  const auto removeFrom = [&](const std::string& path, const std::optional<std::string>& text, const TDeclFile& decls,
                              auto generate) {
    const TResDecl* d = text ? FindDecl(decls, ident) : nullptr;
    if (!d) return;
    std::string changed = RemoveDecl(*text, *d);
    if (decls.Decls.size() == 1 && decls.Skipped.empty() && IsSkeleton(changed, name, generate)) {
      session_.Remove(path);
      NameOutOfProject(path);  // a project naming a deleted file would not build
    } else
      session_.Write(path, std::move(changed));
  };
  if (unit.Kind == TResUnitKind::Pascal) {
    removeFrom(files.DeclPath, files.DeclText, files.Decls, GeneratePascalUnit);
  } else {
    removeFrom(files.DeclPath, files.DeclText, files.Decls, GenerateConstantsUnit);
    removeFrom(files.ScriptPath, files.ScriptText, files.Table, GenerateScript);
  }
  DropObject(object);
}

}  // namespace quintrel::tools
