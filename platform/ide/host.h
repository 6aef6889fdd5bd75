// The development-environment host: the tool services over a project folder on disk.
//
// The host holds one project (TProject), an editor of open files and a form designer.
// Opening a file reads its text into an editor buffer; a unit's form (the .dfm beside
// it, in either notation) is loaded into live objects the first time someone asks for
// it, and saving writes the buffer as it is and the form in the notation it was read
// in. The host raises the notifications its own operations cause (file opened and
// closing, project opened and closing, module deleted when its file closes, before
// save, module renamed) and offers the designer's operations (insert, rename, delete a
// component) so that what an add-in does in reply can be driven from the command line
// and from tests.
//
// A host installs itself as the process's tool services while it lives; hosts nest and
// must be destroyed in the reverse order of their construction. Add-ins registered
// with it are destroyed first when it goes, so they can still unregister themselves.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ide/toolintf.h"
#include "platform/ide/mainmenu.h"
#include "platform/ide/project.h"
#include "platform/vcl/charsets.h"
#include "platform/vcl/filer.h"

namespace quintrel::host {

struct THostOptions {
  // Code page the narrow texts of forms are held in; 0 takes the process's ANSI code page
  // as the environment itself would.
  int CodePage = 0;
};

class TDevelopmentHost;

// A file open in the editor, and the module interface handed out for it.
class THostModule : public ide::TIModuleInterface, public std::enable_shared_from_this<THostModule> {
public:
  THostModule(TDevelopmentHost* host, std::string fileName, std::string text, std::string savedText,
              std::string formFile);

  std::string GetFileName() const override { return fileName_; }
  // Raises EProjectError naming the file when it cannot be written.
  bool Save(bool forceSave) override;
  bool ShowForm() override;
  std::shared_ptr<ide::TIFormInterface> GetFormInterface() override;
  bool AddNotifier(ide::TIModuleNotifier* notifier) override;
  bool RemoveNotifier(ide::TIModuleNotifier* notifier) override;

  bool IsOpen() const { return host_ != nullptr; }
  const std::string& Text() const { return text_; }
  void SetText(std::string text) { text_ = std::move(text); }
  // The form file beside the unit; empty when it has none.
  const std::string& FormFile() const { return formFile_; }
  bool HasForm() const { return !formFile_.empty(); }
  bool FormLoaded() const { return form_ != nullptr; }
  // The live form, loaded on first use; nullptr without a form. Raises EProjectError
  // naming the form file when it cannot be read.
  vcl::TComponent* Form();
  // The notation the form was read in (binary when it is not loaded yet).
  vcl::TFormNotation FormNotation() const { return formStream_.Notation; }
  // The editor text or the live form differs from what was last read or written.
  bool Modified() const;
  // The live form as its file would hold it, in the notation it was read in; empty when
  // the form is not loaded. For tools that stage their writes instead of saving.
  std::string FormBytes() const { return form_ ? EncodeForm() : std::string(); }

  // Re-reads the file and, when it is loaded, the form; raises EProjectError.
  void Reload();
  void Rename(const std::string& fileName, const std::string& formFile);
  void Close();

  void Notify(ide::TNotifyCode code);
  void NotifyComponentRenamed(vcl::TComponent* component, const std::string& oldName, const std::string& newName);

private:
  std::unique_ptr<vcl::TComponent> ReadForm(vcl::TFormStream& stream) const;
  std::string EncodeForm() const;

  TDevelopmentHost* host_;
  std::string fileName_;
  std::string text_;
  std::string savedText_;
  std::string formFile_;
  std::unique_ptr<vcl::TComponent> form_;
  vcl::TFormStream formStream_;
  std::string formSaved_;  // the form's encoding when it was last read or written
  std::vector<ide::TIModuleNotifier*> notifiers_;
};

class TDevelopmentHost : public ide::TIToolServices {
public:
  explicit TDevelopmentHost(THostOptions options = {});
  ~TDevelopmentHost() override;
  TDevelopmentHost(const TDevelopmentHost&) = delete;
  TDevelopmentHost& operator=(const TDevelopmentHost&) = delete;

  // --- the project ---
  // Closes the open project first. Raises EProjectError naming the file.
  void OpenProject(const std::string& path);
  void CloseProject();
  const TProject* Project() const { return project_ ? &*project_ : nullptr; }
  // Names a file in the project (its form, when a form file lies beside it, in a
  // USEFORM line or a form comment); the project source is rewritten at once, in its
  // editor buffer too when it is open. Raises EProjectError.
  void AddUnit(const std::string& fileName);

  // --- the editor ---
  std::vector<std::string> OpenFileNames() const;
  // The module of an open file; nullptr when it is not open.
  std::shared_ptr<THostModule> Module(const std::string& fileName) const;
  // The module of a file, opening it when needed; raises EProjectError when it cannot.
  std::shared_ptr<THostModule> OpenModule(const std::string& fileName);
  // Saves every open file that changed; raises EProjectError on the first failure.
  void SaveAll();

  // --- the form designer ---
  // The live form of a unit, opening the unit and loading the form when needed.
  vcl::TComponent& Form(const std::string& fileName);
  // A new component of a registered class on the unit's form, nested under `parentName`
  // (the form when empty) as the designer drops it; the module's notifiers hear of it
  // as a rename from the empty name.
  vcl::TComponent& InsertComponent(const std::string& fileName, const std::string& className,
                                   const std::string& name, const std::string& parentName = {});
  // Renames a component or, given the form's own name, the form.
  void RenameComponent(const std::string& fileName, const std::string& oldName, const std::string& newName);
  // Deletes a component and the components nested under it, innermost first; each is
  // reported as a rename to the empty name before it goes.
  void DeleteComponent(const std::string& fileName, const std::string& name);
  // Renames a unit of the project on disk (with its header and form file) and in the
  // project source, and reports it to the module's notifiers when it is open.
  void RenameModule(const std::string& fileName, const std::string& newFileName);

  // --- the main menu ---
  THostMainMenu& HostMenu() { return *menu_; }
  // Clicks the item of that name; false when there is none or it is disabled.
  bool ClickMenuItem(const std::string& name);

  const vcl::TTextCodec& Codec() const { return codec_; }
  std::size_t ExpertCount() const { return experts_.size(); }

  // --- the tool services ---
  std::string GetProjectName() const override;
  int GetUnitCount() const override;
  std::string GetUnitName(int index) const override;
  int GetFormCount() const override;
  std::string GetFormName(int index) const override;
  bool IsFileOpen(const std::string& fileName) const override;
  bool OpenFile(const std::string& fileName) override;
  bool CloseFile(const std::string& fileName) override;
  bool ReloadFile(const std::string& fileName) override;
  std::shared_ptr<ide::TIModuleInterface> GetModuleInterface(const std::string& fileName) override;
  std::shared_ptr<ide::TIModuleInterface> CreateModule(const std::string& fileName, rtl::TStream& source,
                                                       ide::TCreateModuleFlags flags) override;
  std::shared_ptr<ide::TIMainMenuIntf> GetMainMenu() override { return menu_; }
  bool AddNotifier(ide::TIAddInNotifier* notifier) override;
  bool RemoveNotifier(ide::TIAddInNotifier* notifier) override;
  bool RegisterExpert(std::unique_ptr<ide::TIExpert> expert) override;

private:
  void NotifyAddIns(ide::TFileNotification code, const std::string& fileName);
  std::shared_ptr<THostModule> Open(const std::string& full, std::optional<std::string> text);
  void Drop(const std::shared_ptr<THostModule>& module);
  std::string ProjectSourceText() const;

  THostOptions options_;
  vcl::TTextCodec codec_;
  ide::TIToolServices* previous_;
  std::optional<TProject> project_;
  std::vector<std::shared_ptr<THostModule>> modules_;  // in the order they were opened
  std::vector<ide::TIAddInNotifier*> addIns_;
  std::shared_ptr<THostMainMenu> menu_;
  std::vector<std::unique_ptr<ide::TIExpert>> experts_;
};

}  // namespace quintrel::host
