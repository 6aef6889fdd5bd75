#include "runtime/quintrel.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <system_error>

#include "module/languages.h"
#include "module/modulefile.h"
#include "module/namelists.h"
#include "module/objects.h"
#include "platform/rtl/sysutils.h"
#include "platform/vcl/comctrls.h"
#include "platform/vcl/formatvars.h"
#include "platform/vcl/stdctrls.h"
#include "platform/vcl/typinfo.h"
#include "platform/win32/menus.h"
#include "platform/win32/msgbox.h"
#include "platform/win32/sysparams.h"
#include "platform/win32/winuser.h"
#include "runtime/qcomdlg.h"
#include "strings/qconsts.h"
#include "strings/translatorconsts.h"
#include "text/codepages.h"

namespace quintrel::runtime {

namespace {

// The module's component and property names of a form's objects, looked up by identifier.
struct TObjectNames {
  explicit TObjectNames(int module) {
    for (text::THashList* list : {&comps, &props}) list->SetHashOnValue(true);
    module::LoadCompList(comps, module::kMarkNone, module);
    module::LoadPropList(props, module::kMarkNone, module);
  }
  text::THashList comps, props;
};

std::string StripMark(std::string name) {
  if (!name.empty() && name.front() == module::kUnconfirmedMark) name.erase(0, 1);
  return name;
}

// The root's components by name, for the objects of one form: the root answers to its own
// name unless a component bears it too.
class TComponentNames {
public:
  explicit TComponentNames(vcl::TComponent& root) : root_(root) {}
  // The component of that name (hint: its index among the root's components last time,
  // -1 the root), and the hint for next time; null when the root has none of that name.
  vcl::TComponent* Find(const std::string& name, int& hint) {
    // An owner's components have distinct names, so a component found where the hint
    // points is the only one of that name; the root only when none of them bears it.
    if (hint >= 0 && hint < root_.ComponentCount() && root_.Components(hint)->Name() == name)
      return root_.Components(hint);
    if (hint == -1 && !name.empty() && root_.Name() == name && !root_.FindComponent(name)) return &root_;
    Build();
    const std::optional<uint32_t> found = index_.Find(name);
    if (!found) return nullptr;
    hint = static_cast<int>(*found) - 1;
    return hint < 0 ? &root_ : root_.Components(hint);
  }

private:
  // Component names of one form are unique; the last of a name wins, as it did.
  void Build() {
    if (built_) return;
    built_ = true;
    index_.Add(root_.Name(), 0);
    for (int i = 0; i < root_.ComponentCount(); ++i) {
      const std::string& name = root_.Components(i)->Name();
      if (name.empty()) continue;
      index_.Delete(name);
      index_.Add(name, static_cast<uint32_t>(i + 1));
    }
  }

  vcl::TComponent& root_;
  text::THashList index_;
  bool built_ = false;
};

std::string Upper(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

std::string_view TrimControls(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
  return s;
}

// The right-to-left languages, by the two characters of the design language's id.
constexpr const char* kRightToLeft[] = {"IL", "DZ", "BH", "EG", "IQ", "JO", "KW", "LB", "LY",
                                        "MA", "OM", "QA", "SA", "SY", "TN", "AE", "YE"};

// The cursor of the screen while a switch runs.
constexpr vcl::TCursor kHourGlass = -11;

std::unique_ptr<TQuintrel>& Instance() {
  static std::unique_ptr<TQuintrel> instance;
  return instance;
}
int& InitCount() {
  static int count = 0;
  return count;
}

}  // namespace

TTimeFormats BuildTimeFormats(bool twentyFourHour, bool markerFirst, bool leadingZero) {
  std::string prefix, suffix;
  if (!twentyFourHour) {
    if (markerFirst)
      prefix = "AMPM ";
    else
      suffix = " AMPM";
  }
  const std::string hours = leadingZero ? "hh" : "h";
  return {prefix + hours + ":mm" + suffix, prefix + hours + ":mm:ss" + suffix};
}

TQuintrel::TQuintrel(module::TZod& zod) : TPropertyTransfer(zod) {
  TPropertyTransfer::DesignTermChanged = [this](const module::TZodTerm& term) { this->DesignTermChanged(term); };
  BuildSystemLangListProc = [this](vcl::TCustomForm& form, uint32_t termId, bool lookup) {
    BuildSystemLangList(form, termId, lookup);
  };
  FlipFormProc = [this](vcl::TWinControl& control) { FlipForm(control); };
  SetDlgPropProc = &SetCommonDialogProp;
}

TQuintrel::~TQuintrel() { RestoreFormHandlers(); }

bool TQuintrel::IsDevelopmentEnvironment(std::string_view exeName) {
  const std::string name = Upper(std::filesystem::path(std::string(exeName)).filename().string());
  return name == "DELPHI32.EXE" || name == "BCB.EXE";
}

// ---------------------------------------------------------------------------------------
// The module

std::string TQuintrel::ModuleFileName(const std::string& fileName) { return module::ModuleFileFor(fileName); }

int TQuintrel::OpenProject(const std::string& fileName, TModuleAccess access) {
  int result = -1;
  readOnly_ = access == TModuleAccess::ReadOnly;
  unsaved_.clear();
  if (!fileName.empty()) {
    FProjectFile = ModuleFileName(fileName);
    std::error_code ec;
    if (std::filesystem::exists(FProjectFile, ec)) {
      const int module =
          zod_.RegisterModule(FProjectFile, false, "", readOnly_ ? rtl::fmOpenRead : rtl::fmOpenReadWrite);
      SetModule(module);
      result = module;
      if (module >= 0 && zod_.GetZodVersion(module) < 110)
        win32::MessageBoxA(win32::HWND{}, strings::_SZodOld, "", win32::MB_OK);
    } else {
      FProjectFile.clear();
    }
  }
  SetFlipState(!FProjectFile.empty() && IsCurrentRightToLeft());
  return result;
}

bool TQuintrel::NewProject(const std::string& fileName) {
  if (Module() != -1 || fileName.empty()) return false;
  std::string path = module::CompanionName(fileName, module::kModuleExtension);
  bool result = false;
  const int created = zod_.NewModule(path);
  if (created >= 0) {
    zod_.UnRegisterModule(created, false);
    result = OpenProject(fileName) >= 0;
  }
  if (result) {
    module::TZodLanguage language;
    language.Identifier = module::kDesignPlaceholder;
    language.Name = text::ByteToUnicode(strings::_SOriginalLanguage, 0);
    zod_.SetDesignTimeLanguage(Module(), module::kDesignPlaceholder);
    zod_.SetLanguage(Module(), language);
  } else {
    FProjectFile.clear();
  }
  return result;
}

bool TQuintrel::CloseProject(bool deleteFile) {
  if (Module() == -1) return false;
  if (!zod_.UnRegisterModule(Module(), false)) return false;
  SetModule(-1);
  bool result = true;
  if (deleteFile) {
    std::error_code ec;
    std::filesystem::remove(FProjectFile, ec);
    result = !std::filesystem::exists(FProjectFile, ec);
  }
  FProjectFile.clear();
  return result;
}

// ---------------------------------------------------------------------------------------
// Switching

bool TQuintrel::SelectLanguage(const module::TLangStringList& strings, int index) {
  if (index < 0 || index >= static_cast<int>(strings.Items().size())) return false;
  return SwitchLanguage(static_cast<module::TLanguageId>(strings.Items()[static_cast<size_t>(index)].second),
                        false, false, "");
}

bool TQuintrel::SwitchLanguage(module::TLanguageId id, bool getMode, bool includeHidden, std::string_view formNames) {
  std::vector<std::string> names;
  {
    std::string list(formNames);
    std::replace(list.begin(), list.end(), ',', ' ');
    size_t pos = 0;
    while (pos < list.size()) {
      const size_t end = std::min(list.find(' ', pos), list.size());
      if (end > pos) names.push_back(list.substr(pos, end - pos));
      pos = end + 1;
    }
  }
  const auto wanted = [&](const std::string& name) {
    return names.empty() || std::find(names.begin(), names.end(), name) != names.end();
  };

  if (Module() < 0) return false;
  // What the last switch kept is used only while the file still holds its state.
  if (!switchCache_.Holds(zod_.GetModuleInterface(Module()))) switchCache_.Clear();
  module::TZodLanguage language;
  if (!SwitchLanguageRecord(id, language)) return false;

  if (OnSwitchLanguage) OnSwitchLanguage({nullptr, this, id, kSwitchStarting});
  zod_.SetCurrentLanguage(Module(), id);
  SetCurrentLanguage(id, language.Charset);
  ApplyLocale(language);

  vcl::TScreen& screen = vcl::Screen();
  const vcl::TCursor savedCursor = screen.Cursor();
  screen.SetCursor(kHourGlass);
  bool result = false;
  try {
    // Switching may show, hide or create forms; walk a snapshot of the screen.
    std::vector<vcl::TCustomForm*> formsNow;
    for (int i = 0; i < screen.FormCount(); ++i) formsNow.push_back(screen.Forms(i));
    for (vcl::TCustomForm* form : formsNow) {
      if (!includeHidden && !form->Visible()) continue;
      if (!wanted(form->Name())) continue;
      int64_t formId = SwitchFormId(form->Name());
      if (formId < 0) {
        // Second and later instances of a form are named Form_1, Form_2, ...
        const size_t underscore = form->Name().find('_');
        if (underscore != std::string::npos && underscore + 1 < form->Name().size() &&
            std::isdigit(static_cast<unsigned char>(form->Name()[underscore + 1])))
          formId = SwitchFormId(form->Name().substr(0, underscore));
      }
      if (formId < 0) {
        // A form the catalogue lacks keeps its own texts, not those of its frames.
        if (!getMode) SwitchFrames(*form, 0);
        continue;
      }
      SwitchForm(static_cast<uint16_t>(formId), id, *form, getMode);
      if (!getMode && form->Designer()) form->Designer()->Modified();
      result = true;
    }
    std::vector<vcl::TDataModule*> modulesNow;
    for (int i = 0; i < screen.DataModuleCount(); ++i) modulesNow.push_back(screen.DataModules(i));
    for (vcl::TDataModule* dataModule : modulesNow) {
      if (!wanted(dataModule->Name())) continue;
      const int64_t formId = SwitchFormId(dataModule->Name());
      if (formId >= 0) SwitchForm(static_cast<uint16_t>(formId), id, *dataModule, getMode);
      result = true;
    }
  } catch (...) {
    screen.SetCursor(savedCursor);
    throw;
  }
  screen.SetCursor(savedCursor);
  if (OnSwitchLanguage) OnSwitchLanguage({nullptr, this, id, kSwitchFinished});
  return result;
}

bool TQuintrel::CaptureRoot(vcl::TComponent& root) {
  if (Module() < 0) return false;
  if (!switchCache_.Holds(zod_.GetModuleInterface(Module()))) switchCache_.Clear();
  const module::TLanguageId design = DesignLanguage();
  module::TZodLanguage language;
  if (!SwitchLanguageRecord(design, language)) return false;
  int64_t formId = SwitchFormId(root.Name());
  if (formId < 0) formId = SwitchFormId(FrameFormName(root));
  if (formId < 0) return false;
  zod_.SetCurrentLanguage(Module(), design);
  SetCurrentLanguage(design, language.Charset);
  SwitchForm(static_cast<uint16_t>(formId), design, root, true);
  return true;
}

void TQuintrel::SwitchForm(uint16_t formId, module::TLanguageId id, vcl::TComponent& form, bool getMode) {
  if (OnSwitchLanguage) OnSwitchLanguage({&form, this, id, kSwitchingForm});
  // The designer reads a frame's texts from the frame's own form, never from a form that
  // embeds it (which may change them).
  if (!getMode) SwitchFrames(form, 0);
  TransferObjects(formId, form, getMode);
  auto* asForm = dynamic_cast<vcl::TForm*>(&form);
  if (asForm && !getMode && asForm->Designer() && OnSwitchLanguage)
    OnSwitchLanguage({&form, this, id, kDesignedFormSwitched});
}

void TQuintrel::SwitchFrames(vcl::TComponent& owner, int depth) {
  // Frames inside frames come from form files, which nest them only so deep.
  constexpr int kMaxDepth = 32;
  if (depth >= kMaxDepth) return;
  for (int i = 0; i < owner.ComponentCount(); ++i) {
    vcl::TComponent* frame = owner.Components(i);
    if (!frame->InState(vcl::csInline)) continue;
    SwitchFrames(*frame, depth + 1);
    const int64_t formId = SwitchFormId(FrameFormName(*frame));
    if (formId >= 0) TransferObjects(static_cast<uint16_t>(formId), *frame, false);
  }
}

std::string TQuintrel::FrameFormName(const vcl::TComponent& frame) {
  std::string name = frame.ClassName();
  if (name.size() > 1 && (name.front() == 'T' || name.front() == 't')) name.erase(0, 1);
  return name;
}

void TQuintrel::TransferObjects(uint16_t formId, vcl::TComponent& form, bool getMode) {
  if (Module() < 0) return;
  if (getMode)
    ReadBackObjects(formId, form);
  else
    SetObjectTexts(formId, form);
}

void TQuintrel::ReadBackObjects(uint16_t formId, vcl::TComponent& form) {
  // Reading back writes terms, so it runs without a read bracket and keeps nothing.
  const TObjectNames names(Module());
  TComponentNames components(form);
  std::vector<module::TZodObject> objects = zod_.GetObjects(Module(), formId);
  for (module::TZodObject& object : objects) {
    int hint = -1;
    vcl::TComponent* component =
        components.Find(StripMark(names.comps.KeyOf(object.CompName).value_or(form.Name())), hint);
    if (!component) continue;
    if (object.Localization == 0) {
      object.Localization = zod_.GetNewTermID(Module());
      zod_.SetObject(Module(), object);
    }
    GetProp(component, StripMark(names.props.KeyOf(object.PropertyName).value_or("")), object.Localization);
  }
}

std::vector<TSwitchCache::TObject> TQuintrel::ReadSwitchObjects(uint16_t formId) {
  const TObjectNames names(Module());
  std::vector<TSwitchCache::TObject> kept;
  for (const module::TZodObject& object : zod_.GetObjects(Module(), formId)) {
    // An object without a term has no text in any language yet: its property keeps what
    // the form holds.
    if (object.Localization == 0) continue;
    TSwitchCache::TObject entry;
    if (std::optional<std::string> name = names.comps.KeyOf(object.CompName)) {
      entry.Named = true;
      entry.Component = StripMark(std::move(*name));
    }
    entry.Path = StripMark(names.props.KeyOf(object.PropertyName).value_or(""));
    entry.Term = object.Localization;
    kept.push_back(std::move(entry));
  }
  return kept;
}

void TQuintrel::SetObjectTexts(uint16_t formId, vcl::TComponent& form) {
  // Setting the texts only reads the module: in one read bracket the form gets one state of
  // it (another process's update lands before or after, never halfway through the form) and
  // its reads take no lock and read no header of their own. The bracket also makes any
  // write that could slip into setting texts fail loudly. What the switch reads is kept for
  // that state, so a form switched again against an unchanged module reads nothing.
  storage::TReadBracket read(zod_.GetModuleInterface(Module()));
  switchCache_.Adopt(zod_.GetModuleInterface(Module()));
  std::vector<TSwitchCache::TObject>* objects = switchCache_.Objects(formId);
  if (!objects) objects = &switchCache_.KeepObjects(formId, ReadSwitchObjects(formId));
  struct TKeptTexts {
    TKeptTexts(TQuintrel& translator, TSwitchCache::TTexts& texts) : translator_(translator) {
      translator_.keptTexts_ = &texts;
    }
    ~TKeptTexts() { translator_.keptTexts_ = nullptr; }
    TQuintrel& translator_;
  } kept(*this, switchCache_.Texts(CurrentLanguage()));
  TComponentNames components(form);
  for (TSwitchCache::TObject& object : *objects) {
    if (vcl::TComponent* component = components.Find(object.Named ? object.Component : form.Name(), object.Hint))
      SetProp(component, object.Path, object.Term);
  }
}

int64_t TQuintrel::SwitchFormId(const std::string& name) {
  if (!switchCache_.Forms()) {
    auto forms = std::make_unique<text::THashList>();
    module::LoadFormList(*forms, module::kMarkNone, Module());
    switchCache_.Adopt(zod_.GetModuleInterface(Module()));
    switchCache_.KeepForms(std::move(forms));
  }
  return module::GetIdentFromList(*switchCache_.Forms(), name);
}

bool TQuintrel::SwitchLanguageRecord(module::TLanguageId id, module::TZodLanguage& language) {
  if (const module::TZodLanguage* kept = switchCache_.Language(id)) {
    language = *kept;
    return true;
  }
  language = module::TZodLanguage();
  language.Identifier = id;
  if (!zod_.GetLanguage(Module(), language)) return false;
  switchCache_.Adopt(zod_.GetModuleInterface(Module()));
  switchCache_.KeepLanguage(language);
  return true;
}

void TQuintrel::SetLocale(module::TLanguageId id) {
  module::TZodLanguage language;
  language.Identifier = id;
  if (Module() < 0 || !zod_.GetLanguage(Module(), language)) return;
  ApplyLocale(language);
}

void TQuintrel::ApplyLocale(const module::TZodLanguage& language) {
  const int charset = language.Charset;
  const auto narrow = [charset](const module::TZodText& text) {
    return text::UnicodeToByte(text.value_or(u""), charset);
  };
  const auto fixed = [charset](const std::u16string& text, size_t limit) {
    return text::UnicodeToByte(std::u16string_view(text).substr(0, limit), charset);
  };
  const auto first = [](const std::string& s, char fallback) { return s.empty() ? fallback : s.front(); };
  vcl::TFormatSettings& fs = vcl::FormatSettings();
  const uint16_t flags = language.ApplyFlags;
  if (flags & module::kApplyDayNames) {
    // The record lists Monday first; the variables start the week on Sunday.
    for (int i = 0; i < 7; ++i) {
      const int entry = i < 6 ? i + 2 : 1;
      fs.LongDayNames[static_cast<size_t>(entry)] = narrow(language.LongDayNames[static_cast<size_t>(i)]);
      fs.ShortDayNames[static_cast<size_t>(entry)] = narrow(language.ShortDayNames[static_cast<size_t>(i)]);
    }
  }
  if (flags & module::kApplyMonthNames) {
    for (size_t i = 0; i < 12; ++i) {
      fs.LongMonthNames[i + 1] = narrow(language.LongMonthNames[i]);
      fs.ShortMonthNames[i + 1] = narrow(language.ShortMonthNames[i]);
    }
  }
  if (flags & module::kApplyTime) {
    const TTimeFormats formats =
        BuildTimeFormats(language.TwentyFourHour, language.MarkerBeforeTime, language.LeadingZeroInHours);
    fs.ShortTimeFormat = formats.Short;
    fs.LongTimeFormat = formats.Long;
    fs.TimeSeparator = first(fixed(language.TimeSeparator, 4), fs.TimeSeparator);
    fs.TimeAMString = fixed(language.AMString, 8);
    fs.TimePMString = fixed(language.PMString, 8);
  }
  if (flags & module::kApplyDate) {
    fs.DateSeparator = first(fixed(language.DateSeparator, 4), fs.DateSeparator);
    fs.ShortDateFormat = narrow(language.ShortDateFormat);
    fs.LongDateFormat = narrow(language.LongDateFormat);
  }
  if (flags & module::kApplyCurrency) {
    fs.CurrencyFormat = language.CurrencyFormat;
    fs.NegCurrFormat = language.NegCurrFormat;
    fs.CurrencyDecimals = language.CurrencyDecimals;
    fs.CurrencyString = fixed(language.CurrencyString, 6);
    fs.ThousandSeparator = first(fixed(language.ThousandSeparator, 4), fs.ThousandSeparator);
    fs.DecimalSeparator = first(fixed(language.DecimalSeparator, 4), fs.DecimalSeparator);
  }
}

std::optional<module::TLanguageId> TQuintrel::SessionLanguageToSave() {
  if (Module() < 0 || !zod_.GetSaveSessionLanguage(Module())) return std::nullopt;
  return zod_.GetCurrentLanguage(Module());
}

bool TQuintrel::IsCurrentRightToLeft() {
  if (Module() < 0) return false;
  const std::string design = module::LanguageIdToText(zod_.GetDesignTimeLanguage(Module()));
  return std::any_of(std::begin(kRightToLeft), std::end(kRightToLeft),
                     [&](const char* code) { return design == code; });
}

void TQuintrel::DesignLangChanged() {
  if (Module() < 0) return;
  FDesignLanguage = zod_.GetDesignTimeLanguage(Module());
  FDesignCharset = zod_.GetCharsetOfLanguage(Module(), FDesignLanguage);
}

void TQuintrel::DesignTermChanged(const module::TZodTerm& term) {
  if (Module() < 0) return;
  std::vector<module::TLanguageId> languages;
  zod_.GetLanguageList(Module(), languages);
  for (module::TLanguageId language : languages) {
    if (language == term.Language) continue;
    module::TZodTerm other;
    other.Language = language;
    other.Ident = term.Ident;
    if (!zod_.GetTerm(Module(), other) || other.Status == module::usUnTranslated) continue;
    other.Status = module::usForReview;
    other.Data = nullptr;
    other.Size = 0;  // keeps the text
    zod_.SetTerm(Module(), other);
  }
}

// ---------------------------------------------------------------------------------------
// The form hooks and the system menu

void TQuintrel::RedirectFormHandlers() {
  if (redirected_) return;
  FOldShowWindow = vcl::TCustomForm::ShowWindowHandler();
  FOldSysCommand = vcl::TCustomForm::SysCommandHandler();
  vcl::TCustomForm::SetShowWindowHandler([this, previous = FOldShowWindow](vcl::TCustomForm& form, vcl::TMessage& m) {
    WMShowWindow(form, m, previous);
  });
  vcl::TCustomForm::SetSysCommandHandler([this, previous = FOldSysCommand](vcl::TCustomForm& form, vcl::TMessage& m) {
    WMSysCommand(form, m, previous);
  });
  redirected_ = true;
}

void TQuintrel::RestoreFormHandlers() {
  if (!redirected_) return;
  vcl::TCustomForm::SetShowWindowHandler(FOldShowWindow);
  vcl::TCustomForm::SetSysCommandHandler(FOldSysCommand);
  FOldShowWindow = nullptr;
  FOldSysCommand = nullptr;
  redirected_ = false;
}

void TQuintrel::WMShowWindow(vcl::TCustomForm& form, vcl::TMessage& message,
                             const vcl::TFormMessageHandler& previous) {
  if (previous) previous(form, message);
  if (message.WParam == 0 || Module() < 0) return;
  const std::string name = form.Name().empty() ? "Noname" : form.Name();
  const module::TLanguageId current = zod_.GetCurrentLanguage(Module());
  if (current != zod_.GetDesignTimeLanguage(Module())) SwitchLanguage(current, false, true, name);
}

void TQuintrel::WMSysCommand(vcl::TCustomForm& form, vcl::TMessage& message,
                             const vcl::TFormMessageHandler& previous) {
  const uintptr_t command = message.WParam;
  if (command >= kLangListFirst && command <= kLangListLastChoice) {
    module::TLangStringList languages;
    zod_.GetLangList(Module(), languages);
    const size_t entry = command - kLangListFirst;
    if (Module() >= 0 && entry < languages.Items().size())
      SwitchLanguage(static_cast<module::TLanguageId>(languages.Items()[entry].second), false, false, "");
  } else if (command == kSysMenuMouseOpen) {
    BuildSystemLangList(form, 0, true);
  }
  if (previous) previous(form, message);
}

void TQuintrel::BuildSystemLangList(vcl::TCustomForm& form, uint32_t termId, bool lookup) {
  vcl::Application().ProcessMessages();
  const win32::HMENU menu = form.SystemMenu();
  // A module may have more languages than the ids up to kLangListLastDeleted cover; their
  // entries must go too, or every rebuild would add them once more. A module lists at most
  // module::kMaxListEntries languages, so their ids end below the window's own commands
  // (Restore, Move, ..., Close from SC_SIZE up), which stay.
  // (A separator has no id to read by position, so it goes by its command.)
  static_assert(kLangListFirst + module::kMaxListEntries <= win32::SC_SIZE);
  win32::DeleteMenu(menu, kLangListSeparator, win32::MF_BYCOMMAND);
  for (int position = win32::GetMenuItemCount(menu) - 1; position >= 0; --position) {
    const unsigned command = win32::GetMenuItemID(menu, position);
    if (command != win32::kMenuFailed && command >= kLangListFirst &&
        command - kLangListFirst < module::kMaxListEntries)
      win32::DeleteMenu(menu, static_cast<unsigned>(position), win32::MF_BYPOSITION);
  }
  if (termId == 0 && lookup) termId = GetTermIDOfSystemList(form.Name());
  std::string decision;
  if (termId != 0) {
    decision = NarrowTermText(termId);
    if (decision.size() > 255) decision.resize(255);
  } else if (Module() < 0 || !zod_.GetShowLangList(Module())) {
    return;
  }
  if (Lower(TrimControls(decision)) == "false") return;
  win32::AppendMenuA(menu, win32::MF_SEPARATOR, kLangListSeparator);
  module::TLangStringList languages;
  if (Module() >= 0) {
    // Kept while the module is unchanged: a switch rebuilds the list of every form that shows it.
    storage::TCustomVarDB& db = zod_.GetModuleInterface(Module());
    if (const module::TLangStringList* kept = switchCache_.Holds(db) ? switchCache_.LangList() : nullptr) {
      languages = *kept;
    } else {
      zod_.GetLangList(Module(), languages);
      switchCache_.Adopt(db);
      switchCache_.KeepLangList(languages);
    }
  }
  const module::TLanguageId current = Module() >= 0 ? zod_.GetCurrentLanguage(Module()) : 0;
  for (size_t i = 0; i < languages.Items().size(); ++i) {
    const auto& [name, id] = languages.Items()[i];
    win32::AppendMenuA(menu, win32::MF_STRING | (id == current ? win32::MF_CHECKED : 0u),
                       kLangListFirst + static_cast<unsigned>(i), name);
  }
}

uint32_t TQuintrel::GetTermIDOfSystemList(std::string_view formName) {
  if (formName.empty() || Module() < 0) return 0;
  const uint32_t propId = module::GetPropID(zod_.GetProps(Module()), "ShowLanguageSelectionInSystemMenu");
  if (propId == 0) return 0;
  const uint32_t formId = module::GetFormID(zod_.GetForms(Module()), formName);
  if (formId == 0) return 0;
  for (const module::TZodObject& object : zod_.GetObjects(Module(), static_cast<uint16_t>(formId)))
    if (object.PropertyName == propId) return object.Localization;
  return 0;
}

// ---------------------------------------------------------------------------------------
// Mirroring

namespace {

// Swaps two values of an ordinal published property when it holds one of them.
void SwapOrdinal(vcl::TObject& object, const char* property, int64_t a, int64_t b, bool otherToA) {
  vcl::PPropInfo info = vcl::GetPropInfo(&object, property);
  if (!info) return;
  const int64_t value = vcl::GetOrdProp(&object, info);
  if (value == a)
    vcl::SetOrdProp(&object, info, b);
  else if (value == b || otherToA)
    vcl::SetOrdProp(&object, info, a);
}

}  // namespace

void TQuintrel::FlipForm(vcl::TWinControl& control) {
  const int width = control.ClientWidth();
  control.DisableAlign();
  struct TAlignGuard {
    vcl::TWinControl& c;
    ~TAlignGuard() { c.EnableAlign(); }
  } guard{control};

  win32::SystemParametersInfoA(win32::SPI_SETMENUDROPALIGNMENT, FlipState() ? 0 : 1, nullptr, 0);
  for (int i = 0; i < control.ComponentCount(); ++i) {
    auto* menu = dynamic_cast<vcl::TMainMenu*>(control.Components(i));
    if (!menu) continue;
    vcl::TMenuItem* root = menu->Items();
    for (int j = root->Count() - 1; j >= 0; --j) {
      vcl::TMenuItem* item = root->Items(j);
      root->Remove(item);
      root->Add(item);
    }
    if (auto* form = dynamic_cast<vcl::TCustomForm*>(&control); form && form->Menu() == menu)
      form->RebuildMenuBar();
  }
  if (auto* form = dynamic_cast<vcl::TCustomForm*>(&control)) FlipMenuItems(*form);

  for (int i = 0; i < control.ControlCount(); ++i) {
    vcl::TControl* child = control.Controls(i);
    auto* windowed = dynamic_cast<vcl::TWinControl*>(child);
    if (windowed) FlipForm(*windowed);
    if (child->Align() == vcl::alLeft)
      child->SetAlign(vcl::alRight);
    else if (child->Align() == vcl::alRight)
      child->SetAlign(vcl::alLeft);
    child->SetLeft(width - child->Width() - child->Left());
    if (auto* button = dynamic_cast<vcl::TButtonControl*>(child)) {
      const bool checkBox = dynamic_cast<vcl::TCustomCheckBox*>(child) != nullptr;
      // The window takes its text side from Alignment when it is made: make it before the
      // swap, so that the style below is toggled from the side the user saw.
      const win32::HWND handle = button->Handle();
      if (checkBox) SwapOrdinal(*child, "Alignment", vcl::taLeftJustify, vcl::taRightJustify, true);
      auto style = static_cast<win32::DWORD>(win32::GetWindowLong(handle, win32::GWL_STYLE));
      style ^= win32::BS_LEFTTEXT;
      if (style & win32::BS_LEFT)
        style = (style & ~win32::BS_LEFT) | win32::BS_RIGHT;
      else if (style & win32::BS_RIGHT)
        style = (style & ~win32::BS_RIGHT) | win32::BS_LEFT;
      else if (checkBox)
        style |= win32::BS_RIGHT;
      win32::SetWindowLong(handle, win32::GWL_STYLE, static_cast<win32::LONG_PTR>(style));
    }
    if (windowed) {
      const win32::HWND handle = windowed->Handle();
      auto exStyle = static_cast<win32::DWORD>(win32::GetWindowLong(handle, win32::GWL_EXSTYLE));
      exStyle &= ~(win32::WS_EX_RIGHT | win32::WS_EX_RTLREADING | win32::WS_EX_LEFTSCROLLBAR);
      win32::SetWindowLong(handle, win32::GWL_EXSTYLE, static_cast<win32::LONG_PTR>(exStyle));
    }
    if (dynamic_cast<vcl::TCustomUpDown*>(child)) SwapOrdinal(*child, "AlignButton", 0, 1, false);
  }
}

void TQuintrel::FlipMenuItems(vcl::TCustomForm& form) {
  const win32::HWND window = form.Handle();
  const win32::HMENU bar = win32::GetMenu(window);
  if (!bar) return;
  for (unsigned position = 0;; ++position) {
    char caption[256] = {};
    win32::MENUITEMINFOA info;
    info.fMask = win32::MIIM_TYPE;
    info.dwTypeData = caption;
    info.cch = 255;
    if (!win32::GetMenuItemInfoA(bar, position, 1, info)) break;
    if (!FlipState())
      info.fType |= win32::MFT_RIGHTJUSTIFY;
    else
      info.fType &= ~win32::MFT_RIGHTJUSTIFY;
    win32::SetMenuItemInfoA(bar, position, 1, info);
  }
  win32::DrawMenuBar(window);
}

// ---------------------------------------------------------------------------------------
// The translator of the process

TQuintrel* GlobalQuintrel() { return Instance().get(); }

void InitializeTranslator(const std::string& exeName, TModuleAccess access) {
  if (InitCount()++ > 0) return;
  const std::string exe = exeName.empty() ? vcl::Application().ExeName() : exeName;
  auto translator = std::make_unique<TQuintrel>();
  if (!TQuintrel::IsDevelopmentEnvironment(exe)) translator->RedirectFormHandlers();
  Instance() = std::move(translator);
  // The module beside an executable travels between people: a damaged or foreign one must
  // not keep the application from starting. It runs untranslated and says why.
  try {
    Instance()->OpenProject(exe, access);
  } catch (const rtl::Exception& e) {
    win32::MessageBoxA(win32::HWND{}, e.Message(), "", win32::MB_OK);
  }
  InstallResStrHook();
  Instance()->DesignLangChanged();
  Instance()->LoadDesignConsts();
}

void FinalizeTranslator() {
  if (InitCount() == 0 || --InitCount() > 0) return;
  RemoveResStrHook();
  TQuintrel* translator = Instance().get();
  if (translator && translator->Module() >= 0) {
    // The shutdown runs from a destructor (TTranslatorUnit) at the end of the program: a
    // module that can no longer be read or written only loses the session's language, and
    // the translator is taken down all the same.
    try {
      const std::optional<module::TLanguageId> language = translator->SessionLanguageToSave();
      if (language && !translator->ModuleReadOnly()) translator->Zod().SetDefaultLanguage(translator->Module(), *language);
    } catch (const rtl::Exception&) {
    }
  }
  Instance().reset();
  // The dialog classes the switches registered get their own message handling back.
  FinalizeQcomdlg();
}

}  // namespace quintrel::runtime
