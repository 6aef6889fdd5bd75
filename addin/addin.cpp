#include "addin/addin.h"

#include <algorithm>
#include <filesystem>
#include <unordered_set>

#include "module/modulefile.h"
#include "module/namelists.h"
#include "module/objects.h"
#include "module/terms.h"
#include "platform/ide/project.h"
#include "platform/rtl/sysutils.h"
#include "platform/vcl/graphics.h"
#include "platform/vcl/menus.h"
#include "platform/vcl/typinfo.h"
#include "strings/addinconsts.h"
#include "tools/qutil.h"

namespace quintrel::ide {

namespace fs = std::filesystem;
using module::TCatalogueList;
using module::TZodObject;

const TAddInMenuItem kGlobalizationItems[kGlobalizationItemCount] = {
    {"GlobalizationProjectMenu", false},          {"GlobalizationSep1Menu", true},
    {"GlobalizationInternatWizardMenu", false},   {"GlobalizationLocalWizardMenu", false},
    {"GlobalizationQualityWizardMenu", false},    {"GlobalizationSep2Menu", true},
    {"GlobalizationInternatGetIdentMenu", false}, {"GlobalizationLocalChangeBaseMenu", false},
    {"GlobalizationLocalDialogMenu", false},      {"GlobalizationSep3Menu", true},
    {"GlobalizationFollowMeMenu", false},         {"GlobalizationHelpMenu", false},
    {"GlobalizationAboutMenu", false},
};

namespace {

TQuintrelAddIn*& Instance() {
  static TQuintrelAddIn* instance = nullptr;
  return instance;
}

// Captions of the items after the first, in menu order ("-" for separators).
const char* const kCaptions[kGlobalizationItemCount] = {
    nullptr,
    "-",
    strings::_SInternatWizard,
    strings::_SLocalWizard,
    strings::_SQualityWizard,
    "-",
    strings::_SResourceStrings,
    strings::_SSwitchBaseLanguage,
    strings::_STranslationEditor,
    "-",
    strings::_SFollowMe,
    strings::_SAddInHelp,
    strings::_SAddInAbout,
};
constexpr int kFollowMeHelp = 20;
constexpr int kHelpHelp = 10;

std::string Leaf(const std::string& path) { return fs::path(path).filename().string(); }

bool SamePath(const std::string& a, const std::string& b) {
  return !a.empty() && !b.empty() && host::FullPath(a) == host::FullPath(b);
}

// The kind of catalogue record a property of this type becomes.
uint8_t ZodTypeOf(const vcl::TObject& component, vcl::PPropInfo prop) {
  switch (prop->PropType ? prop->PropType->Kind : vcl::tkUnknown) {
    case vcl::tkString:
    case vcl::tkChar:
    case vcl::tkLString:
    case vcl::tkWChar:
    case vcl::tkWString: return module::utString;
    case vcl::tkEnumeration: return module::utConstant;
    case vcl::tkSet: return module::utSet;
    case vcl::tkInteger: return module::utInteger;
    case vcl::tkFloat: return module::utFloat;
    case vcl::tkClass: {
      const vcl::TObject* value = vcl::GetObjectProp(&component, prop);
      if (!value) return module::utUnknown;
      if (auto picture = dynamic_cast<const vcl::TPicture*>(value)) value = picture->Graphic();
      if (dynamic_cast<const vcl::TBitmap*>(value)) return module::utBitmap;
      if (dynamic_cast<const vcl::TIcon*>(value)) return module::utIcon;
      if (dynamic_cast<const vcl::TMetafile*>(value)) return module::utMetafile;
      return module::utUnknown;
    }
    default: return module::utUnknown;
  }
}

// The root component (form, data module) a designer component belongs to.
vcl::TComponent* RootOf(vcl::TComponent* component) {
  while (component && component->Owner()) component = component->Owner();
  return component;
}

}  // namespace

bool WatchedExtension(const std::string& fileName) {
  // The project file of either environment is watched too, so that a renamed project
  // takes its module along.
  static const char* const kWatched[] = {".pas", ".cpp", ".c",   ".rc",  ".dpr",
                                         ".mak", ".bpk", ".bpg", ".dpk", ".bpr"};
  const std::string ext = host::ExtensionOf(fileName);
  return std::any_of(std::begin(kWatched), std::end(kWatched), [&](const char* e) { return ext == e; });
}

// --- notifiers ----------------------------------------------------------------------------

TModuleNotify::TModuleNotify(TQuintrelAddIn& addIn, std::shared_ptr<TIModuleInterface> module, std::string fileName)
    : addIn_(addIn), module_(std::move(module)), fileName_(std::move(fileName)) {}

void TModuleNotify::Notify(TNotifyCode code) {
  // A module that goes takes its notifier along whether or not a language module is
  // open: the notifier would otherwise outlive the file it watches.
  if (code == ncModuleDeleted) {
    addIn_.RemoveNotifier(fileName_);  // destroys this notifier
    return;
  }
  if (!addIn_.ModuleOpen()) return;
  if (code == ncModuleRenamed) {
    const std::string newName = module_->GetFileName();
    const std::string oldName = fileName_;
    fileName_ = newName;
    addIn_.ChangeUnitName(oldName, newName);
  } else if (code == ncBeforeSave) {
    if (auto form = module_->GetFormInterface()) addIn_.GetFormValues(*form);
  }
}

void TModuleNotify::ComponentRenamed(vcl::TComponent* component, const std::string& oldName,
                                     const std::string& newName) {
  if (!addIn_.ModuleOpen() || !component) return;
  auto form = module_->GetFormInterface();
  auto root = form ? form->GetFormComponent() : nullptr;
  vcl::TComponent* rootComponent = root ? root->GetComponentHandle() : nullptr;
  if (!rootComponent) return;
  if (component == rootComponent) {
    // The designer renames the form itself: the form's name is the new one already.
    if (!oldName.empty() && !newName.empty()) addIn_.ChangeFormName(addIn_.FormIdOf(oldName), newName);
    return;
  }
  const uint16_t formId = addIn_.FormIdOf(rootComponent->Name());
  if (newName.empty()) {
    addIn_.CompDeleted(oldName, formId);
  } else if (oldName.empty()) {
    addIn_.NewCompInserted(*component, newName, formId);
  } else {
    addIn_.ChangeCompName(oldName, newName, formId);
  }
}

void TFileNotify::FileNotification(TFileNotification code, const std::string& fileName) {
  switch (code) {
    case fnFileOpened: addIn_.AddNotifier(fileName); break;
    case fnFileClosing: addIn_.RemoveNotifier(fileName); break;
    case fnProjectOpened:
      addIn_.CloseProject();
      addIn_.OpenProject();
      break;
    case fnProjectClosing: addIn_.CloseProject(); break;
  }
}

// --- lifecycle ------------------------------------------------------------------------------

TQuintrelAddIn::TQuintrelAddIn(runtime::TQuintrel& translator) : translator_(translator) {
  TIToolServices* services = ToolServices();
  if (translator_.Module() >= 0) translator_.CloseProject(false);
  if (services) translator_.OpenProject(services->GetProjectName());
  translator_.DesignLangChanged();
  CreateMainMenu();
  BuildSubMenu(false);
  Instance() = this;
  fileNotify_ = std::make_unique<TFileNotify>(*this);
  if (services) {
    services->AddNotifier(fileNotify_.get());
    for (int i = 0; i < services->GetUnitCount(); ++i) {
      const std::string unit = services->GetUnitName(i);
      if (services->IsFileOpen(unit)) AddNotifier(unit);
    }
  }
}

TQuintrelAddIn::~TQuintrelAddIn() {
  translator_.CloseProject(false);
  ReleaseNotifiers();
  if (TIToolServices* services = ToolServices()) services->RemoveNotifier(fileNotify_.get());
  if (Instance() == this) Instance() = nullptr;
  RemoveSubMenu();
  if (menu_) menu_->Release();
}

std::string TQuintrelAddIn::GetName() const { return strings::_SAddInName; }
std::string TQuintrelAddIn::GetIDString() const { return strings::_SAddInIDString; }

TQuintrelAddIn* QuintrelAddIn() { return Instance(); }

bool RegisterQuintrelAddIn(runtime::TQuintrel& translator) {
  if (!ToolServices()) return false;
  return RegisterLibraryExpert(std::make_unique<TQuintrelAddIn>(translator));
}

// --- the menu -------------------------------------------------------------------------------

void TQuintrelAddIn::CreateMainMenu() {
  TIToolServices* services = ToolServices();
  auto mainMenu = services ? services->GetMainMenu() : nullptr;
  auto tools = mainMenu ? mainMenu->FindMenuItem(kToolsMenuName) : nullptr;
  auto parent = tools ? tools->GetParent() : nullptr;
  if (!parent) return;  // no tools menu: the add-in works without a menu
  menu_ = parent->InsertItem(tools->GetIndex() + 1, strings::_SGlobalizationMenu, kGlobalizationMenuName, "", 0, 0, 0,
                             mfEnabled | mfVisible, nullptr);
}

void TQuintrelAddIn::BuildSubMenu(bool reset) {
  if (!menu_) return;
  const bool open = ModuleOpen() && !reset;
  for (int i = 0; i < kGlobalizationItemCount; ++i) {
    const std::string name = kGlobalizationItems[i].Name;
    std::string caption = kCaptions[i] ? kCaptions[i] : "";
    bool enabled = true;
    if (i == 0) {
      caption = open ? strings::_SProjectSettings : strings::_SAddGlobalization;
      enabled = open || !reset;
    } else if ((i >= 2 && i <= 4) || (i >= 6 && i <= 8)) {
      enabled = open;
    }
    const vcl::TShortCut shortCut = i == 6 ? vcl::TextToShortCut(strings::_SResourceStringsShortCut) : 0;
    const int help = i == 10 ? kFollowMeHelp : i == 11 ? kHelpHelp : 0;
    TIMenuClickEvent onClick;
    if (!kGlobalizationItems[i].Separator) onClick = [this, name](TIMenuItemIntf&) { ItemClick(name); };
    items_.push_back(menu_->InsertItem(-1, caption, name, "", shortCut, help, 0,
                                       (enabled ? TIMenuFlags{mfEnabled} : TIMenuFlags{0}) | mfVisible, std::move(onClick)));
  }
}

void TQuintrelAddIn::RemoveSubMenu() {
  for (auto& item : items_)
    if (item) item->Release();
  items_.clear();
}

void TQuintrelAddIn::Rebuild() {
  RemoveSubMenu();
  BuildSubMenu(false);
}

void TQuintrelAddIn::ItemClick(const std::string& name) {
  // The editor is to show the texts the designer holds now, not those of the last save.
  if (name == kGlobalizationItems[kTranslationEditorItem].Name) CaptureOpenForms();
  if (onItem_) onItem_(name);
  // The project settings may have removed the module.
  if (name == kGlobalizationItems[kProjectItem].Name) Rebuild();
}

// --- globalization --------------------------------------------------------------------------

void TQuintrelAddIn::AddGlobalization(const module::TZodLanguage& language) {
  TIToolServices* services = ToolServices();
  const std::string project = services ? services->GetProjectName() : std::string();
  const std::string existing = module::FindIgnoringCase(module::CompanionName(project, module::kModuleExtension));
  if (ModuleOpen() || !existing.empty())
    throw rtl::Exception(rtl::Format(strings::_SGlobalizationExists, existing.empty() ? project : existing));
  if (project.empty() || !translator_.NewProject(project))
    throw rtl::Exception(
        rtl::Format(strings::_SModuleNotCreated, module::CompanionName(project, module::kModuleExtension)));
  module::TZod& zod = translator_.Zod();
  const int target = Module();
  bool copied = false;
  for (int i = 0; i < zod.GetModuleCount() && !copied; ++i)
    if (i != target && zod.IsModulePermanent(i)) copied = tools::CopyLanguage(i, target, language.Identifier);
  if (!copied) zod.SetLanguage(target, language);
  zod.SetDesignTimeLanguage(target, language.Identifier);
  if (language.Identifier != module::kDesignPlaceholder) {
    module::TZodLanguage placeholder;
    placeholder.Identifier = module::kDesignPlaceholder;
    placeholder.PrimaryLanguage = module::kRemoveMarker;
    zod.SetLanguage(target, placeholder);
  }
  translator_.DesignLangChanged();
  Rebuild();
}

void TQuintrelAddIn::RemoveGlobalization(const std::string& backup) {
  const std::string file = translator_.GetProjectFile();
  if (!ModuleOpen() || file.empty()) return;
  translator_.CloseProject(false);
  std::error_code ec;
  fs::rename(file, backup, ec);
  Rebuild();
  if (ec) throw rtl::Exception(rtl::Format(strings::_SModuleMoveFailed, file, backup, ec.message()));
}

// --- following the host ---------------------------------------------------------------------

void TQuintrelAddIn::OpenProject() {
  TIToolServices* services = ToolServices();
  if (!services) return;
  translator_.OpenProject(services->GetProjectName());
  translator_.DesignLangChanged();
  Rebuild();
  for (int i = 0; i < services->GetUnitCount(); ++i) {
    const std::string unit = services->GetUnitName(i);
    if (services->IsFileOpen(unit)) AddNotifier(unit);
  }
}

void TQuintrelAddIn::CloseProject() {
  translator_.CloseProject(false);
  RemoveSubMenu();
  BuildSubMenu(true);
}

std::unique_ptr<TModuleNotify>* TQuintrelAddIn::FindNotifier(const std::string& fileName) {
  for (auto& n : notifiers_)
    if (n->FileName() == fileName) return &n;
  return nullptr;
}

void TQuintrelAddIn::AddNotifier(const std::string& fileName) {
  if (!WatchedExtension(fileName)) return;
  TIToolServices* services = ToolServices();
  if (!services) return;
  auto module = services->GetModuleInterface(fileName);
  if (auto* existing = FindNotifier(fileName)) {
    if (module && module.get() != &(*existing)->ModuleInterface()) {
      (*existing)->ModuleInterface().RemoveNotifier(existing->get());
      (*existing)->SetModuleInterface(module);
      module->AddNotifier(existing->get());
    }
    return;
  }
  if (!module) return;
  auto notifier = std::make_unique<TModuleNotify>(*this, module, fileName);
  module->AddNotifier(notifier.get());
  notifiers_.push_back(std::move(notifier));
}

void TQuintrelAddIn::RemoveNotifier(const std::string& fileName) {
  auto it = std::find_if(notifiers_.begin(), notifiers_.end(),
                         [&](const std::unique_ptr<TModuleNotify>& n) { return n->FileName() == fileName; });
  if (it == notifiers_.end()) return;
  std::unique_ptr<TModuleNotify> notifier = std::move(*it);
  notifiers_.erase(it);
  notifier->ModuleInterface().RemoveNotifier(notifier.get());
}

void TQuintrelAddIn::ReleaseNotifiers() {
  while (!notifiers_.empty()) RemoveNotifier(notifiers_.back()->FileName());
}

std::vector<std::string> TQuintrelAddIn::NotifiedFiles() const {
  std::vector<std::string> names;
  for (const auto& n : notifiers_) names.push_back(n->FileName());
  return names;
}

// --- keeping the catalogue in step ----------------------------------------------------------

uint16_t TQuintrelAddIn::FormIdOf(const std::string& formName) {
  if (!ModuleOpen() || formName.empty()) return 0;
  return static_cast<uint16_t>(module::GetFormIDIgnoringCase(translator_.Zod().GetForms(Module()), formName));
}

void TQuintrelAddIn::ChangeUnitName(const std::string& oldName, const std::string& newName) {
  if (!ModuleOpen() || oldName == newName) return;
  module::TZod& zod = translator_.Zod();
  const std::string project = translator_.GetProjectFile();
  const std::string projectFile = ToolServices() ? ToolServices()->GetProjectName() : std::string();
  if (SamePath(oldName, projectFile) || SamePath(module::ModuleFileFor(oldName), project)) {
    // The module follows the project: the file the translator opened (whatever the case
    // of its name) becomes the new project's module.
    const std::string target = module::CompanionName(newName, module::kModuleExtension);
    if (!module::FindIgnoringCase(target).empty())
      throw rtl::Exception(rtl::Format(strings::_SModuleRenameTaken, project, target));
    translator_.CloseProject(false);
    std::error_code ec;
    fs::rename(project, target, ec);
    translator_.OpenProject(ec ? oldName : newName);
    translator_.DesignLangChanged();
    Rebuild();
    if (ec) throw rtl::Exception(rtl::Format(strings::_SModuleMoveFailed, project, target, ec.message()));
    return;
  }
  // A resource-string unit is catalogued as "#" and its file name.
  TCatalogueList forms = zod.GetForms(Module());
  const std::string oldEntry = "#" + Leaf(oldName);
  for (std::string& line : forms) {
    if (module::CatalogueName(line) != oldEntry) continue;
    line = line.substr(0, 4) + " #" + Leaf(newName);
    zod.SetForms(Module(), forms);
    return;
  }
}

void TQuintrelAddIn::ChangeFormName(uint16_t formId, const std::string& newName) {
  if (!ModuleOpen() || formId == 0) return;
  module::TZod& zod = translator_.Zod();
  TCatalogueList forms = zod.GetForms(Module());
  const int at = module::GetFormIndex(forms, formId);
  if (at < 0) return;
  forms[static_cast<size_t>(at)] = module::CatalogueLine(formId, newName);
  zod.SetForms(Module(), forms);
}

bool TQuintrelAddIn::IsComponentReused(uint16_t formId, uint32_t compId) {
  module::TZod& zod = translator_.Zod();
  for (const std::string& line : zod.GetForms(Module())) {
    const std::string name = module::CatalogueName(line);
    // Resource-string units keep resource numbers where forms keep component ids.
    if (name.empty() || name[0] == '#') continue;
    const uint16_t other = static_cast<uint16_t>(module::GetFormID({line}, name));
    if (other == 0 || other == formId) continue;
    for (const TZodObject& object : zod.GetObjects(Module(), other))
      if (object.CompName == compId) return true;
  }
  return false;
}

void TQuintrelAddIn::ChangeCompName(const std::string& oldName, const std::string& newName, uint16_t formId) {
  if (!ModuleOpen() || formId == 0) return;
  module::TZod& zod = translator_.Zod();
  TCatalogueList comps = zod.GetComps(Module());
  const uint32_t oldId = module::GetCompID(comps, oldName);
  if (oldId == 0) return;
  uint32_t newId = module::GetCompID(comps, newName);
  bool moveRecords = true;
  if (!IsComponentReused(formId, oldId)) {
    comps.erase(comps.begin() + module::GetCompIndex(comps, oldId));
    if (newId == 0) {
      comps.push_back(module::CatalogueLine(oldId, newName));
      moveRecords = false;  // the id lives on under the new name
    }
  } else if (newId == 0) {
    newId = zod.GetNewCompID(Module());
    comps.push_back(module::CatalogueLine(newId, newName));
  }
  if (moveRecords)
    for (TZodObject object : zod.GetObjects(Module(), formId))
      if (object.CompName == oldId) {
        object.CompName = newId;
        zod.SetObject(Module(), object);
      }
  zod.SetComps(Module(), comps);
}

void TQuintrelAddIn::RemoveTerm(uint32_t termId) {
  if (termId == 0) return;
  module::TZod& zod = translator_.Zod();
  std::vector<module::TLanguageId> languages;
  zod.GetLanguageList(Module(), languages);
  for (module::TLanguageId language : languages) {
    module::TZodTerm term;
    term.Language = language;
    term.Ident = termId;
    zod.RemoveTerm(Module(), term);
  }
}

void TQuintrelAddIn::CompDeleted(const std::string& name, uint16_t formId) {
  if (!ModuleOpen() || name.empty() || formId == 0) return;
  module::TZod& zod = translator_.Zod();
  // A component that was never catalogued has no id; 0 would be the form's own records.
  const uint32_t compId = module::GetCompID(zod.GetComps(Module()), name);
  if (compId == 0) return;
  for (TZodObject object : zod.GetObjects(Module(), formId)) {
    if (object.CompName != compId) continue;
    RemoveTerm(object.Localization);
    if (object.Comment != 0) {
      module::TZodTerm comment;
      comment.Language = module::kCommentLanguage;
      comment.Ident = object.Comment;
      zod.RemoveTerm(Module(), comment);
    }
    object.PropertyName = 0;
    zod.SetObject(Module(), object);
  }
}

void TQuintrelAddIn::NewCompInserted(vcl::TComponent& component, const std::string& name, uint16_t formId) {
  if (!ModuleOpen()) return;
  module::TZod& zod = translator_.Zod();
  const int index = Module();
  if (!zod.GetAutoIncludeStatus(index)) return;
  const std::vector<std::string> included = zod.GetAutoIncludeList(index);
  const std::unordered_set<std::string> wanted(included.begin(), included.end());
  vcl::TComponent* root = RootOf(&component);
  const std::string formName = root ? root->Name() : std::string();
  if (formName.empty()) return;
  module::LoadFormList(module::FormList(), module::kMarkNone, index);
  module::LoadCompList(module::CompList(), module::kMarkNone, index);
  module::LoadPropList(module::PropList(), module::kMarkNone, index);
  bool added = false;
  for (vcl::PPropInfo prop : vcl::GetPropList(&component.ClassType())) {
    if (!wanted.contains(prop->Name)) continue;
    TZodObject object;
    object.FormID = static_cast<uint16_t>(formId ? formId : module::FormAdd(formName, index, false));
    object.CompName = module::CompAdd(name, index, false);
    object.PropertyName = static_cast<uint16_t>(module::PropAdd(prop->Name, index, false));
    if (object.FormID == 0 || object.CompName == 0 || object.PropertyName == 0) continue;
    object.Kind = ZodTypeOf(component, prop);
    object.ZodClass = module::GetZodClass(component.ClassName());
    // Inserting the same component again (an undo, a paste of the same name) must not
    // catalogue its properties twice.
    if (zod.FindObject(index, object) != 0) continue;
    object.Ident = zod.GetNewObjectID(index);
    object.Localization = zod.GetNewTermID(index);
    zod.SetObject(index, object);
    added = true;
  }
  if (added) {
    module::SaveFormList(module::FormList(), index);
    module::SaveCompList(module::CompList(), index);
    module::SavePropList(module::PropList(), index);
  }
  module::FormList().Clear();
  module::CompList().Clear();
  module::PropList().Clear();
}

void TQuintrelAddIn::CaptureOpenForms() {
  TIToolServices* services = ToolServices();
  if (!services || !ModuleOpen()) return;
  for (int i = 0; i < services->GetUnitCount(); ++i) {
    const std::string unit = services->GetUnitName(i);
    if (!services->IsFileOpen(unit)) continue;
    auto module = services->GetModuleInterface(unit);
    auto form = module ? module->GetFormInterface() : nullptr;
    if (form) GetFormValues(*form);
  }
}

void TQuintrelAddIn::GetFormValues(TIFormInterface& form) {
  auto root = form.GetFormComponent();
  vcl::TComponent* component = root ? root->GetComponentHandle() : nullptr;
  if (!component || !ModuleOpen()) return;
  runtime::GetFormValues(translator_, *component);
}

}  // namespace quintrel::ide
