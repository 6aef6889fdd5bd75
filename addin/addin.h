// The add-in that keeps a project's language module in step with the development
// environment: it puts the "Globalization" menu after the host's tools menu, opens and
// closes the module of the host's current project, and turns what the developer does in
// the designer (components inserted, renamed, deleted, forms and units renamed, forms
// saved) into changes of the module's catalogue at once.
//
// It holds no translation logic of its own: the translator opens, creates and captures
// the module, the module layer keeps the name lists and the catalogue.
//
// The name tables. Forms and components are module-wide tables of "XXXX Name" lines;
// catalogue records refer to their ids. A component id may be shared by components of
// the same name on several forms, so renaming one moves only this form's records when
// another form still uses the id.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ide/toolintf.h"
#include "module/languages.h"
#include "runtime/quintrel.h"

namespace quintrel::ide {

// The thirteen items of the menu, in menu order.
inline constexpr int kGlobalizationItemCount = 13;
struct TAddInMenuItem {
  const char* Name;
  bool Separator;
};
extern const TAddInMenuItem kGlobalizationItems[kGlobalizationItemCount];
inline constexpr int kProjectItem = 0;
inline constexpr int kTranslationEditorItem = 8;
inline constexpr const char* kGlobalizationMenuName = "GlobalizationMenu";
inline constexpr const char* kToolsMenuName = "ToolsMenu";

// The source and project files whose modules get a notifier, by lower-cased extension.
bool WatchedExtension(const std::string& fileName);

class TQuintrelAddIn;

// Told about one file open in the editor.
class TModuleNotify : public TIModuleNotifier {
public:
  TModuleNotify(TQuintrelAddIn& addIn, std::shared_ptr<TIModuleInterface> module, std::string fileName);
  void Notify(TNotifyCode code) override;
  void ComponentRenamed(vcl::TComponent* component, const std::string& oldName, const std::string& newName) override;

  const std::string& FileName() const { return fileName_; }
  TIModuleInterface& ModuleInterface() { return *module_; }
  void SetModuleInterface(std::shared_ptr<TIModuleInterface> module) { module_ = std::move(module); }

private:
  TQuintrelAddIn& addIn_;
  std::shared_ptr<TIModuleInterface> module_;
  std::string fileName_;
};

// Told about files and projects opening and closing.
class TFileNotify : public TIAddInNotifier {
public:
  explicit TFileNotify(TQuintrelAddIn& addIn) : addIn_(addIn) {}
  void FileNotification(TFileNotification code, const std::string& fileName) override;

private:
  TQuintrelAddIn& addIn_;
};

class TQuintrelAddIn : public TIExpert {
public:
  // What a click on a menu item does besides what the add-in does itself (the project
  // item without a module adds nothing: the language must be chosen).
  using TItemHandler = std::function<void(const std::string& itemName)>;

  // Needs the host's tool services. Opens the module of the host's current project through
  // the translator (which must outlive the add-in), builds the menu and follows the host.
  explicit TQuintrelAddIn(runtime::TQuintrel& translator);
  ~TQuintrelAddIn() override;
  TQuintrelAddIn(const TQuintrelAddIn&) = delete;
  TQuintrelAddIn& operator=(const TQuintrelAddIn&) = delete;

  std::string GetName() const override;
  std::string GetIDString() const override;
  TExpertStyle GetStyle() const override { return esAddIn; }
  TExpertState GetState() const override { return 0; }

  void SetItemHandler(TItemHandler handler) { onItem_ = std::move(handler); }

  runtime::TQuintrel& Translator() { return translator_; }
  // The open module's index, -1 when none.
  int Module() const { return translator_.Module(); }
  bool ModuleOpen() const { return Module() >= 0; }

  // --- globalization ---
  // Creates the module beside the project with `language` as its design language: its
  // definition is copied from the first permanent module that has it, else `language`
  // itself is stored; the placeholder language goes. Raises rtl::Exception naming the
  // module when it exists already or cannot be created.
  void AddGlobalization(const module::TZodLanguage& language);
  // Closes the module and moves its file to `backup` (never deletes it).
  void RemoveGlobalization(const std::string& backup);

  // --- the menu ---
  void CreateMainMenu();
  void BuildSubMenu(bool reset);
  void RemoveSubMenu();

  // --- following the host ---
  void OpenProject();
  void CloseProject();
  void AddNotifier(const std::string& fileName);
  void RemoveNotifier(const std::string& fileName);
  void ReleaseNotifiers();
  // The file names that have a notifier, in the order they got it.
  std::vector<std::string> NotifiedFiles() const;

  // --- keeping the catalogue in step ---
  void ChangeUnitName(const std::string& oldName, const std::string& newName);
  void ChangeFormName(uint16_t formId, const std::string& newName);
  void ChangeCompName(const std::string& oldName, const std::string& newName, uint16_t formId);
  void CompDeleted(const std::string& name, uint16_t formId);
  void NewCompInserted(vcl::TComponent& component, const std::string& name, uint16_t formId);
  bool IsComponentReused(uint16_t formId, uint32_t compId);
  void GetFormValues(TIFormInterface& form);
  // Every project unit open in the editor that has a form, captured as GetFormValues does.
  void CaptureOpenForms();
  void RemoveTerm(uint32_t termId);
  // The catalogue id of a form by name; 0 when the module does not catalogue it.
  uint16_t FormIdOf(const std::string& formName);

private:
  void Rebuild();
  void ItemClick(const std::string& name);
  std::unique_ptr<TModuleNotify>* FindNotifier(const std::string& fileName);

  runtime::TQuintrel& translator_;
  std::shared_ptr<TIMenuItemIntf> menu_;
  std::vector<std::shared_ptr<TIMenuItemIntf>> items_;
  std::unique_ptr<TFileNotify> fileNotify_;
  std::vector<std::unique_ptr<TModuleNotify>> notifiers_;
  TItemHandler onItem_;
};

// The one add-in of the process, nullptr when none is registered.
TQuintrelAddIn* QuintrelAddIn();

// Creates the add-in and registers it with the host; false (and nothing created) when
// there is no host.
bool RegisterQuintrelAddIn(runtime::TQuintrel& translator);

}  // namespace quintrel::ide
