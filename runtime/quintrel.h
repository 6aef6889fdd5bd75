// The translator: the one object per process that makes an application multilingual.
//
// It opens the language module that lies beside the executable (Sales -> Sales.ZOD),
// knows the design language and the current language with their charsets, walks the live
// forms and data modules and writes the current language's texts into their components
// (or, in the development environment, reads the components' values back into the
// module), copies the language's locale into the formatting variables, and serves the
// resource-string loader, the system-menu language list and the mirroring of
// right-to-left forms.
//
// Lifetime. InitializeTranslator creates GlobalQuintrel and installs the redirections;
// FinalizeTranslator undoes them in reverse order and frees it. A TTranslatorUnit on the
// stack of main() (or of a test) does both. The language-module manager (GlobalZOD) must
// outlive the translator.
//
// Redirections. Every form of the process runs THookForm's handlers of WM_SHOWWINDOW and
// WM_SYSCOMMAND before its own: the translator replaces the form class's two handler
// slots and puts the previous handlers back when it is destroyed. Inside the development
// environment (executable BCB.EXE or DELPHI32.EXE) nothing is redirected: the designer's
// forms are never switched behind the designer's back.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "module/zod.h"
#include "platform/vcl/forms.h"
#include "platform/vcl/resstrings.h"
#include "runtime/proptransfer.h"
#include "runtime/textcache.h"
#include "text/hashlist.h"

namespace quintrel::runtime {

// Status values of the switch event.
constexpr uint8_t kSwitchStarting = 0;       // Component: the translator
constexpr uint8_t kSwitchingForm = 1;        // Component: the form or data module
constexpr uint8_t kDesignedFormSwitched = 2; // Component: a form with a designer attached
constexpr uint8_t kSwitchFinished = 3;       // Component: the translator

class TQuintrel;

// How the translator opens its module. An application opens it for reading and writing:
// on its own it stores the string-table numbers of resource strings it matched at its
// first start, and the session's language when it ends. A preview opens it for reading
// only; the objects are then changed in memory alone (TQuintrel::UnsavedObjects) and the
// language is not stored, so that a preview can say what the application would store.
enum class TModuleAccess { ReadWrite, ReadOnly };

// Called around every language switch. Component is either a vcl::TComponent (statuses 1
// and 2) or null with the translator given (statuses 0 and 3).
struct TSwitchEventArgs {
  vcl::TComponent* Component = nullptr;  // null for 0 and 3
  TQuintrel* Translator = nullptr;
  uint16_t ID = 0;
  uint8_t Status = 0;
};
using TSwitchLanguageEvent = std::function<void(const TSwitchEventArgs&)>;

// The system-menu command ids of the language list.
constexpr unsigned kLangListSeparator = 5000;
constexpr unsigned kLangListFirst = 5001;
constexpr unsigned kLangListLastChoice = 5029;  // 29 languages can be chosen
constexpr unsigned kLangListLastDeleted = 5030;
// Language entries beyond the choosable ones are shown too; a rebuild removes them all.
constexpr unsigned kMaxLangListEntries = 0x10000;
// WM_SYSCOMMAND: the system menu opened with the mouse.
constexpr unsigned kSysMenuMouseOpen = 0xF093;

class TQuintrel : public TPropertyTransfer {
public:
  explicit TQuintrel(module::TZod& zod = module::GlobalZOD());
  ~TQuintrel() override;

  TSwitchLanguageEvent OnSwitchLanguage;

  // --- the module ------------------------------------------------------------------------
  // Opens the module of FileName: its extension replaced by ".ZOD" (looked up ignoring
  // case when that exact name does not exist). -1 when there is none.
  int OpenProject(const std::string& fileName, TModuleAccess access = TModuleAccess::ReadWrite);
  // Creates and opens a new module for FileName, with the placeholder design language
  // "##" ("Original Language"). False while a module is open.
  bool NewProject(const std::string& fileName);
  bool CloseProject(bool deleteFile);
  const std::string& GetProjectFile() const { return FProjectFile; }

  // --- switching -------------------------------------------------------------------------
  // Switches to the language stored as the object of Strings[Index] (as the module's
  // language list fills it).
  bool SelectLanguage(const module::TLangStringList& strings, int index);
  // formNames: names separated by commas or blanks; empty means every form. True when at
  // least one form or data module was processed.
  bool SwitchLanguage(module::TLanguageId id, bool getMode, bool includeHidden, std::string_view formNames);
  // Transfers the catalogued properties of one form or data module. Outside GetMode the
  // inline frames it embeds first get the texts catalogued for the frames' own forms: a
  // frame's own texts apply to every form that embeds it, and what the form catalogues
  // for itself comes after.
  void SwitchForm(uint16_t formId, module::TLanguageId id, vcl::TComponent& form, bool getMode);
  // Reads the catalogued properties of one root component (a form, a data module or a
  // frame's own form, on the screen or not) into the design language's terms. False when
  // the catalogue lacks it.
  bool CaptureRoot(vcl::TComponent& root);
  void SetLocale(module::TLanguageId id);

  bool IsCurrentRightToLeft();
  void DesignLangChanged();
  void DesignTermChanged(const module::TZodTerm& term);

  // The language the application stores as the module's default when it ends (the
  // session's language, when the module asks for that); nullopt when it stores none.
  std::optional<module::TLanguageId> SessionLanguageToSave();
  // The objects, as they would be stored, that the translator changed but could not
  // store because its module was opened read-only; in the order it changed them.
  const std::vector<module::TZodObject>& UnsavedObjects() const { return unsaved_; }
  bool ModuleReadOnly() const { return readOnly_; }

  module::TLanguageId DesignLanguage() const { return FDesignLanguage; }
  uint8_t DesignCharset() const { return FDesignCharset; }

  // --- system menu and mirroring -----------------------------------------------------------
  // THookForm's two handlers: the translator's part runs around the form's normal handling
  // (`previous`).
  void WMShowWindow(vcl::TCustomForm& form, vcl::TMessage& message, const vcl::TFormMessageHandler& previous);
  void WMSysCommand(vcl::TCustomForm& form, vcl::TMessage& message, const vcl::TFormMessageHandler& previous);
  void BuildSystemLangList(vcl::TCustomForm& form, uint32_t termId, bool lookup);
  uint32_t GetTermIDOfSystemList(std::string_view formName);
  void FlipForm(vcl::TWinControl& control);
  void FlipMenuItems(vcl::TCustomForm& form);

  // True when this process is the development environment, where nothing is redirected.
  static bool IsDevelopmentEnvironment(std::string_view exeName);
  bool HandlersRedirected() const { return redirected_; }

  // --- resource strings ------------------------------------------------------------------
  // Builds the map of resource identifiers to terms from the module's resource-string
  // units ("#" entries of the form list) of the kinds the module switches, re-matching the
  // identifiers of Pascal units when the executable was rebuilt since.
  void LoadDesignConsts();
  // Whether the units' stored identifiers still name the same texts in the executable:
  // only the first object with an identifier is compared.
  bool IsResStrValid(uint16_t formId, int count, const module::TZodObject* objects);
  // Gives every object whose design text the executable holds that text's identifier
  // (texts: text, cut to 255 bytes, to identifier), and writes it to the module.
  void UpdateResStrID(uint16_t formId, int count, module::TZodObject* objects, text::THashList& texts);
  // The executable's string table from 65535 down to 35000, text to identifier, stopping
  // after more than 10 missing identifiers in a row.
  static void LoadResourceTexts(text::THashList& texts);
  text::THashList& ResStrMap() { return FResStrMap; }
  // The texts the resource-string loader read, kept while the module is unchanged.
  TTextCache& LoadedTexts() { return loadedTexts_; }

  // Make every form run THookForm's handlers first, and undo it (the destructor does).
  void RedirectFormHandlers();
  void RestoreFormHandlers();

  // The catalogue name of an inline frame's own form: its class name without the "T"
  // (a TAddressFrame's form is AddressFrame), as the designer names a frame's form.
  static std::string FrameFormName(const vcl::TComponent& frame);

private:
  // The path of the module that belongs to fileName, case-insensitively found.
  static std::string ModuleFileName(const std::string& fileName);
  // Writes (or, in GetMode, reads) the catalogued properties of one form, data module or
  // frame: the objects of formId whose component is the root or one the root owns.
  void TransferObjects(uint16_t formId, vcl::TComponent& form, bool getMode);
  // The frames the owner embeds (and those they embed, innermost first) get the texts
  // catalogued for their own forms; a frame of a form the catalogue lacks keeps its own.
  void SwitchFrames(vcl::TComponent& owner, int depth);
  // Reading back: every catalogued object of the form, each read through the module and
  // given a term when it has none.
  void ReadBackObjects(uint16_t formId, vcl::TComponent& form);
  // Setting texts: the objects and texts kept from the last switch while the module is
  // unchanged, read in the form's read bracket otherwise.
  void SetObjectTexts(uint16_t formId, vcl::TComponent& form);
  // The catalogued objects of the form that have a term, with their names resolved.
  std::vector<TSwitchCache::TObject> ReadSwitchObjects(uint16_t formId);
  // The identifier of a form (or frame's form) by its catalogue name, -1 when the module's
  // form list lacks it; the list is kept in the switch cache.
  int64_t SwitchFormId(const std::string& name);
  // The language's record, kept in the switch cache; false when the module lacks it.
  bool SwitchLanguageRecord(module::TLanguageId id, module::TZodLanguage& language);
  // Copies the record's locale groups that its flags select into the format settings.
  void ApplyLocale(const module::TZodLanguage& language);

  std::string FProjectFile;
  module::TLanguageId FDesignLanguage = 0;
  uint8_t FDesignCharset = 0;
  text::THashList FResStrMap;
  TTextCache loadedTexts_;
  TSwitchCache switchCache_;
  bool readOnly_ = false;
  std::vector<module::TZodObject> unsaved_;
  bool redirected_ = false;
  vcl::TFormMessageHandler FOldShowWindow;
  vcl::TFormMessageHandler FOldSysCommand;
};

// The loader of resource strings while the translator is installed: the current
// language's text of the string, or the compiled-in text.
std::string CustomLoadResString(const vcl::TResStringRec* rec);
// What the loader slot holds while the hook is in: it only forwards to
// CustomLoadResString.
std::string WrapLoadResString(const vcl::TResStringRec* rec);
// Puts WrapLoadResString into the platform's loader slot, and the previous loader back.
void InstallResStrHook();
void RemoveResStrHook();

// The translator of the process; null before InitializeTranslator and after
// FinalizeTranslator.
TQuintrel* GlobalQuintrel();

// Start-up and shutdown of the translator, counted: only the first initialisation and the
// matching last finalisation act. exeName defaults to the application's executable.
void InitializeTranslator(const std::string& exeName = {}, TModuleAccess access = TModuleAccess::ReadWrite);
void FinalizeTranslator();

class TTranslatorUnit {
public:
  explicit TTranslatorUnit(const std::string& exeName = {}, TModuleAccess access = TModuleAccess::ReadWrite) {
    InitializeTranslator(exeName, access);
  }
  ~TTranslatorUnit() { FinalizeTranslator(); }
  TTranslatorUnit(const TTranslatorUnit&) = delete;
  TTranslatorUnit& operator=(const TTranslatorUnit&) = delete;
};

// The time formats built from a language's time settings.
struct TTimeFormats {
  std::string Short, Long;
};
TTimeFormats BuildTimeFormats(bool twentyFourHour, bool markerFirst, bool leadingZero);

}  // namespace quintrel::runtime
