#include "platform/ide/host.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

#include "platform/vcl/streaming.h"
#include "strings/hostconsts.h"
#include "strings/vclconsts.h"

namespace quintrel::host {

namespace fs = std::filesystem;

namespace {

// Tells every listed notifier, in order. A notifier may add or remove notifiers while
// it is told: the ones removed meanwhile are skipped, the ones added hear from the next
// notification on.
template <class T, class F>
void Deliver(const std::vector<T*>& list, F&& tell) {
  std::vector<T*> snapshot = list;
  for (T* n : snapshot)
    if (std::find(list.begin(), list.end(), n) != list.end()) tell(n);
}

template <class T>
bool AddUnique(std::vector<T*>& list, T* item) {
  if (!item || std::find(list.begin(), list.end(), item) != list.end()) return false;
  list.push_back(item);
  return true;
}

template <class T>
bool RemoveOne(std::vector<T*>& list, T* item) {
  auto it = std::find(list.begin(), list.end(), item);
  if (it == list.end()) return false;
  list.erase(it);
  return true;
}

// Units that may carry a form: a form file beside another kind of file (a .dfm opened
// as text, a resource script) does not make it a form unit.
bool MayHaveForm(const std::string& fileName) {
  std::string ext = ExtensionOf(fileName);
  return ext == ".cpp" || ext == ".pas" || ext == ".c";
}

void MarkDesigning(vcl::TComponent& root) {
  root.SetState(vcl::csDesigning, true);
  for (int i = 0; i < root.ComponentCount(); ++i) MarkDesigning(*root.Components(i));
}

vcl::TComponent* FindInForm(vcl::TComponent& root, const std::string& name) {
  if (name.empty()) return nullptr;
  if (vcl::TComponent* c = root.FindComponent(name)) return c;
  return root.Name() == name ? &root : nullptr;
}

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

bool SameTextAt(std::string_view text, size_t at, std::string_view word) {
  if (at > text.size() || text.size() - at < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[at + i])) != std::tolower(static_cast<unsigned char>(word[i])))
      return false;
  return true;
}

size_t PassBlanks(std::string_view text, size_t at) {
  while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
  return at;
}

// Where a Delphi uses entry "Stem in 'Path'" is spelt (without regard to case, as the
// compiler reads it): the offsets of the stem and of the quoted path. Each candidate is
// looked at once, left to right, so a source of any shape costs its length.
std::optional<std::pair<size_t, size_t>> FindUsesEntry(std::string_view text, std::string_view stem,
                                                      std::string_view path) {
  for (size_t at = 0; !stem.empty() && at + stem.size() <= text.size(); ++at) {
    if ((at > 0 && IsWordChar(text[at - 1])) || !SameTextAt(text, at, stem)) continue;
    size_t p = at + stem.size();
    size_t q = PassBlanks(text, p);
    if (q == p || !SameTextAt(text, q, "in")) continue;
    size_t r = PassBlanks(text, q + 2);
    if (r == q + 2 || r >= text.size() || text[r] != '\'' || !SameTextAt(text, r + 1, path) ||
        r + 1 + path.size() >= text.size() || text[r + 1 + path.size()] != '\'')
      continue;
    return std::make_pair(at, r);
  }
  return std::nullopt;
}

class THostComponent : public ide::TIComponentInterface {
public:
  explicit THostComponent(std::shared_ptr<THostModule> module) : module_(std::move(module)) {}
  vcl::TComponent* GetComponentHandle() const override { return module_->IsOpen() ? module_->Form() : nullptr; }

private:
  std::shared_ptr<THostModule> module_;
};

class THostForm : public ide::TIFormInterface {
public:
  explicit THostForm(std::shared_ptr<THostModule> module) : module_(std::move(module)) {}
  std::shared_ptr<ide::TIComponentInterface> GetFormComponent() override {
    if (!module_->IsOpen() || !module_->Form()) return nullptr;
    return std::make_shared<THostComponent>(module_);
  }

private:
  std::shared_ptr<THostModule> module_;
};

}  // namespace

// --- modules -----------------------------------------------------------------------------

THostModule::THostModule(TDevelopmentHost* host, std::string fileName, std::string text, std::string savedText,
                         std::string formFile)
    : host_(host),
      fileName_(std::move(fileName)),
      text_(std::move(text)),
      savedText_(std::move(savedText)),
      formFile_(std::move(formFile)) {}

std::unique_ptr<vcl::TComponent> THostModule::ReadForm(vcl::TFormStream& stream) const {
  vcl::TReadOptions options;
  options.Context.Codec = host_->Codec();
  std::unique_ptr<vcl::TComponent> root;
  try {
    root = vcl::LoadComponentFile(formFile_, &stream, options);
  } catch (const rtl::Exception& e) {
    std::string message = e.Message();
    if (message.find(formFile_) == std::string::npos) message = rtl::Format(strings::_SFormUnreadable, formFile_, message);
    throw EProjectError(message);
  }
  MarkDesigning(*root);
  return root;
}

std::string THostModule::EncodeForm() const { return vcl::WriteComponentBytes(*form_, formStream_); }

vcl::TComponent* THostModule::Form() {
  if (form_ || !host_ || formFile_.empty()) return form_.get();
  vcl::TFormStream stream;
  form_ = ReadForm(stream);
  formStream_ = std::move(stream);
  formSaved_ = EncodeForm();
  return form_.get();
}

bool THostModule::Modified() const {
  if (text_ != savedText_) return true;
  return form_ && EncodeForm() != formSaved_;
}

bool THostModule::Save(bool forceSave) {
  if (!host_) return false;
  if (!forceSave && !Modified()) return true;
  // Keep this module alive even when a notifier closes the file meanwhile.
  auto self = shared_from_this();
  Notify(ide::ncBeforeSave);
  if (!host_) return false;
  if (forceSave || text_ != savedText_) {
    WriteFileAtomic(fileName_, text_);
    savedText_ = text_;
  }
  if (form_) {
    std::string data = EncodeForm();
    if (forceSave || data != formSaved_) {
      WriteFileAtomic(formFile_, data);
      formSaved_ = std::move(data);
    }
  }
  return true;
}

bool THostModule::ShowForm() { return host_ && Form() != nullptr; }

std::shared_ptr<ide::TIFormInterface> THostModule::GetFormInterface() {
  if (!host_ || formFile_.empty()) return nullptr;
  return std::make_shared<THostForm>(shared_from_this());
}

bool THostModule::AddNotifier(ide::TIModuleNotifier* notifier) { return AddUnique(notifiers_, notifier); }

bool THostModule::RemoveNotifier(ide::TIModuleNotifier* notifier) { return RemoveOne(notifiers_, notifier); }

void THostModule::Reload() {
  std::string text = ReadFileBytes(fileName_);
  std::unique_ptr<vcl::TComponent> form;
  vcl::TFormStream stream;
  // Both are read before either is replaced, so a damaged form leaves the module as it was.
  if (form_) form = ReadForm(stream);
  text_ = savedText_ = std::move(text);
  if (form) {
    form_ = std::move(form);
    formStream_ = std::move(stream);
    formSaved_ = EncodeForm();
  }
}

void THostModule::Rename(const std::string& fileName, const std::string& formFile) {
  fileName_ = fileName;
  formFile_ = formFile;
}

void THostModule::Close() {
  host_ = nullptr;
  form_.reset();
}

void THostModule::Notify(ide::TNotifyCode code) {
  auto self = shared_from_this();
  Deliver(notifiers_, [&](ide::TIModuleNotifier* n) { n->Notify(code); });
}

void THostModule::NotifyComponentRenamed(vcl::TComponent* component, const std::string& oldName,
                                         const std::string& newName) {
  auto self = shared_from_this();
  Deliver(notifiers_, [&](ide::TIModuleNotifier* n) { n->ComponentRenamed(component, oldName, newName); });
}

// --- the host ----------------------------------------------------------------------------

TDevelopmentHost::TDevelopmentHost(THostOptions options)
    : options_(options),
      codec_(options.CodePage > 0 ? vcl::CodecForCodePage(options.CodePage) : vcl::AnsiCodec()),
      previous_(ide::SetToolServices(this)),
      menu_(std::make_shared<THostMainMenu>()) {}

TDevelopmentHost::~TDevelopmentHost() {
  // Add-ins go first, latest first, while everything they unregister from still exists.
  while (!experts_.empty()) experts_.pop_back();
  for (auto& m : modules_) m->Close();
  modules_.clear();
  ide::SetToolServices(previous_);
}

void TDevelopmentHost::NotifyAddIns(ide::TFileNotification code, const std::string& fileName) {
  Deliver(addIns_, [&](ide::TIAddInNotifier* n) { n->FileNotification(code, fileName); });
}

void TDevelopmentHost::OpenProject(const std::string& path) {
  TProject project = TProject::Open(path);
  CloseProject();
  project_ = std::move(project);
  NotifyAddIns(ide::fnProjectOpened, project_->ProjectFile());
}

void TDevelopmentHost::CloseProject() {
  if (!project_) return;
  NotifyAddIns(ide::fnProjectClosing, project_->ProjectFile());
  while (!modules_.empty()) Drop(modules_.back());
  project_.reset();
}

std::string TDevelopmentHost::ProjectSourceText() const {
  if (auto m = Module(project_->ProjectSource())) return m->Text();
  return ReadFileBytes(project_->ProjectSource());
}

void TDevelopmentHost::AddUnit(const std::string& fileName) {
  if (!project_) throw EProjectError(strings::_SNoProjectOpen);
  std::string full = FullPath(fileName);
  std::string formName;
  if (MayHaveForm(full)) {
    if (std::string dfm = CompanionFile(full, ".dfm"); !dfm.empty()) {
      try {
        formName = ReadFormHead(dfm).Name;
      } catch (const EProjectError&) {
        // A unit whose form cannot be read joins as a plain unit.
      }
    }
  }
  std::string text = project_->AddUnit(full, formName, ProjectSourceText());
  if (auto m = Module(project_->ProjectSource())) m->Reload();
  if (project_->ProjectFile() != project_->ProjectSource())
    if (auto m = Module(project_->ProjectFile())) m->Reload();
}

std::vector<std::string> TDevelopmentHost::OpenFileNames() const {
  std::vector<std::string> names;
  for (const auto& m : modules_) names.push_back(m->GetFileName());
  return names;
}

std::shared_ptr<THostModule> TDevelopmentHost::Module(const std::string& fileName) const {
  std::string full = FullPath(fileName);
  for (const auto& m : modules_)
    if (m->GetFileName() == full) return m;
  return nullptr;
}

std::shared_ptr<THostModule> TDevelopmentHost::Open(const std::string& full, std::optional<std::string> text) {
  std::error_code ec;
  bool exists = fs::is_regular_file(full, ec);
  std::string saved;
  if (exists) {
    saved = ReadFileBytes(full);
  } else {
    // A new file is written at once, so that nothing names a file that is not there.
    saved = text.value_or(std::string());
    WriteFileAtomic(full, saved);
  }
  std::string formFile = MayHaveForm(full) ? CompanionFile(full, ".dfm") : std::string();
  auto module = std::make_shared<THostModule>(this, full, text ? *text : saved, saved, formFile);
  modules_.push_back(module);
  NotifyAddIns(ide::fnFileOpened, full);
  return module;
}

std::shared_ptr<THostModule> TDevelopmentHost::OpenModule(const std::string& fileName) {
  if (auto m = Module(fileName)) return m;
  std::string full = FullPath(fileName);
  std::error_code ec;
  if (!fs::is_regular_file(full, ec)) throw EProjectError(rtl::Format(strings::_SFileNotOpenable, full));
  return Open(full, std::nullopt);
}

void TDevelopmentHost::Drop(const std::shared_ptr<THostModule>& module) {
  auto keep = module;
  NotifyAddIns(ide::fnFileClosing, keep->GetFileName());
  keep->Notify(ide::ncModuleDeleted);
  std::erase(modules_, keep);
  keep->Close();
}

void TDevelopmentHost::SaveAll() {
  auto open = modules_;
  for (const auto& m : open)
    if (m->IsOpen()) m->Save(false);
}

vcl::TComponent& TDevelopmentHost::Form(const std::string& fileName) {
  auto module = OpenModule(fileName);
  vcl::TComponent* form = module->Form();
  if (!form) throw EProjectError(rtl::Format(strings::_SNoForm, module->GetFileName()));
  return *form;
}

vcl::TComponent& TDevelopmentHost::InsertComponent(const std::string& fileName, const std::string& className,
                                                   const std::string& name, const std::string& parentName) {
  vcl::TComponent& root = Form(fileName);
  auto module = Module(fileName);
  vcl::TClass cls = vcl::GetClass(className);
  std::unique_ptr<vcl::TObject> object = cls ? cls->CreateInstance() : nullptr;
  if (!object || !dynamic_cast<vcl::TComponent*>(object.get()))
    throw EProjectError(rtl::Format(strings::_SUnknownClass, module->FormFile(), className));
  std::unique_ptr<vcl::TComponent> component(static_cast<vcl::TComponent*>(object.release()));
  vcl::TComponent* parent = &root;
  if (!parentName.empty()) {
    parent = FindInForm(root, parentName);
    if (!parent) throw EProjectError(rtl::Format(strings::_SNoComponent, module->FormFile(), parentName));
  }
  vcl::TComponent* added = root.InsertComponent(std::move(component));
  try {
    added->SetName(name);
  } catch (const rtl::Exception& e) {
    root.DestroyComponent(added);
    throw EProjectError(rtl::Format(strings::_SBadComponentName, module->FormFile(), e.Message()));
  }
  if (added->HasParent()) added->SetParentComponent(parent);
  added->SetState(vcl::csDesigning, true);
  module->NotifyComponentRenamed(added, "", name);
  return *added;
}

void TDevelopmentHost::RenameComponent(const std::string& fileName, const std::string& oldName,
                                       const std::string& newName) {
  vcl::TComponent& root = Form(fileName);
  auto module = Module(fileName);
  vcl::TComponent* component = FindInForm(root, oldName);
  if (!component) throw EProjectError(rtl::Format(strings::_SNoComponent, module->FormFile(), oldName));
  if (newName.empty() || !vcl::IsValidIdent(newName))
    throw EProjectError(rtl::Format(strings::_SBadComponentName, module->FormFile(),
                                    rtl::Format(strings::_SInvalidName, newName)));
  try {
    component->SetName(newName);
  } catch (const rtl::Exception& e) {
    throw EProjectError(rtl::Format(strings::_SBadComponentName, module->FormFile(), e.Message()));
  }
  module->NotifyComponentRenamed(component, oldName, newName);
}

void TDevelopmentHost::DeleteComponent(const std::string& fileName, const std::string& name) {
  vcl::TComponent& root = Form(fileName);
  auto module = Module(fileName);
  vcl::TComponent* component = root.FindComponent(name);
  if (!component || name.empty()) throw EProjectError(rtl::Format(strings::_SNoComponent, module->FormFile(), name));
  // The components nested under it go with it, innermost first, as the designer does.
  std::function<void(vcl::TComponent*)> remove = [&](vcl::TComponent* c) {
    std::vector<vcl::TComponent*> nested;
    for (int i = 0; i < root.ComponentCount(); ++i)
      if (root.Components(i)->GetParentComponent() == c) nested.push_back(root.Components(i));
    for (vcl::TComponent* k : nested) remove(k);
    std::string gone = c->Name();
    module->NotifyComponentRenamed(c, gone, "");
    root.DestroyComponent(c);
  };
  remove(component);
}

void TDevelopmentHost::RenameModule(const std::string& fileName, const std::string& newFileName) {
  if (!project_) throw EProjectError(strings::_SNoProjectOpen);
  std::string full = FullPath(fileName), target = FullPath(newFileName);
  const TProjectEntry* entry = project_->FindEntry(full);
  if (!entry) throw EProjectError(rtl::Format(strings::_SNotAProjectUnit, full));
  std::error_code ec;
  if (fs::exists(target, ec)) throw EProjectError(rtl::Format(strings::_SUnitExists, target));
  auto module = Module(full);
  if (module) module->Save(false);

  // The project source first: when it cannot be written nothing on disk has moved.
  std::string text = ProjectSourceText();
  std::string rel = fs::path(target).lexically_relative(project_->Folder()).string();
  std::replace(rel.begin(), rel.end(), '/', '\\');
  std::string oldStem = fs::path(full).stem().string(), newStem = fs::path(target).stem().string();
  std::string changed = text;
  if (project_->Kind() == TProjectKind::pkDelphi) {
    if (auto at = FindUsesEntry(text, oldStem, entry->Path)) {
      changed.replace(at->second, entry->Path.size() + 2, "'" + rel + "'");
      changed.replace(at->first, oldStem.size(), newStem);
    }
  } else if (size_t at = text.find("\"" + entry->Path + "\""); at != std::string::npos) {
    changed.replace(at, entry->Path.size() + 2, "\"" + rel + "\"");
  }
  WriteFileAtomic(project_->ProjectSource(), changed);
  project_->Parse(changed);
  if (auto m = Module(project_->ProjectSource())) m->Reload();

  // The unit, its header and its form file move together.
  std::string newForm;
  for (const char* ext : {".h", ".dfm"}) {
    std::string companion = CompanionFile(full, ext);
    if (companion.empty()) continue;
    fs::path moved = fs::path(target).replace_extension(fs::path(companion).extension());
    fs::rename(companion, moved, ec);
    if (ec) throw EProjectError(rtl::Format(strings::_SCannotWrite, moved.string(), ec.message()));
    if (std::string(ext) == ".dfm") newForm = moved.string();
  }
  fs::rename(full, target, ec);
  if (ec) throw EProjectError(rtl::Format(strings::_SCannotWrite, target, ec.message()));
  if (module) {
    module->Rename(target, newForm);
    module->Notify(ide::ncModuleRenamed);
  }
}

bool TDevelopmentHost::ClickMenuItem(const std::string& name) {
  auto item = menu_->Find(name);
  return item && item->Click();
}

// --- the tool services -------------------------------------------------------------------

std::string TDevelopmentHost::GetProjectName() const { return project_ ? project_->ProjectFile() : std::string(); }

int TDevelopmentHost::GetUnitCount() const {
  return project_ ? static_cast<int>(project_->UnitNames().size()) : 0;
}

std::string TDevelopmentHost::GetUnitName(int index) const {
  if (!project_) return {};
  auto names = project_->UnitNames();
  return index >= 0 && index < static_cast<int>(names.size()) ? names[static_cast<size_t>(index)] : std::string();
}

int TDevelopmentHost::GetFormCount() const {
  return project_ ? static_cast<int>(project_->FormNames().size()) : 0;
}

std::string TDevelopmentHost::GetFormName(int index) const {
  if (!project_) return {};
  auto names = project_->FormNames();
  return index >= 0 && index < static_cast<int>(names.size()) ? names[static_cast<size_t>(index)] : std::string();
}

bool TDevelopmentHost::IsFileOpen(const std::string& fileName) const { return Module(fileName) != nullptr; }

bool TDevelopmentHost::OpenFile(const std::string& fileName) {
  try {
    OpenModule(fileName);
    return true;
  } catch (const EProjectError&) {
    return false;
  }
}

bool TDevelopmentHost::CloseFile(const std::string& fileName) {
  if (auto m = Module(fileName)) Drop(m);
  return true;
}

bool TDevelopmentHost::ReloadFile(const std::string& fileName) {
  auto m = Module(fileName);
  if (!m) return false;
  try {
    m->Reload();
    return true;
  } catch (const EProjectError&) {
    return false;
  }
}

std::shared_ptr<ide::TIModuleInterface> TDevelopmentHost::GetModuleInterface(const std::string& fileName) {
  return Module(fileName);
}

std::shared_ptr<ide::TIModuleInterface> TDevelopmentHost::CreateModule(const std::string& fileName,
                                                                       rtl::TStream& source,
                                                                       ide::TCreateModuleFlags flags) {
  std::string full = FullPath(fileName);
  bool add = (flags & ide::cmAddToProject) != 0;
  if (add && (!project_ || project_->IsUnit(full))) return nullptr;
  std::string text;
  source.SetPosition(0);
  int64_t size = source.Size();
  if (size > 0) {
    text.resize(static_cast<size_t>(size));
    source.ReadBuffer(text.data(), text.size());
  }
  auto module = Module(full);
  if (module)
    module->SetText(std::move(text));
  else
    module = Open(full, std::move(text));
  if (add) AddUnit(full);
  return module;
}

bool TDevelopmentHost::AddNotifier(ide::TIAddInNotifier* notifier) { return AddUnique(addIns_, notifier); }

bool TDevelopmentHost::RemoveNotifier(ide::TIAddInNotifier* notifier) { return RemoveOne(addIns_, notifier); }

bool TDevelopmentHost::RegisterExpert(std::unique_ptr<ide::TIExpert> expert) {
  if (!expert) return false;
  experts_.push_back(std::move(expert));
  return true;
}

}  // namespace quintrel::host
