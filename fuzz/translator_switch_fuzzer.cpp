// libFuzzer target: arbitrary bytes as the language module of a small application, which
// starts the translator, shows its main form (a smaller copy of the example's: labels,
// an edit, a list box, a list view, a status bar, a menu, a picture, an open dialog) and a
// data module, and then switches language as a user does: through the translator for
// each of the module's first languages, through the system menu's language list, back to
// the design language, and once in the other direction, reading the live values back into
// the module as the development environment does. Resource strings are loaded through the
// translator's loader after each switch.
//
// An input is the module file alone; the seeds are modules whose catalogue names this
// form's components. An rtl::Exception is the module or the record database reporting
// damage and ends that step quietly. Crashes, sanitizer reports, other exceptions and hangs
// are findings, which libFuzzer reports itself.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/module_input.h"
#include "module/zod.h"
#include "platform/vcl/comctrls.h"
#include "platform/vcl/dialogs.h"
#include "platform/vcl/extctrls.h"
#include "platform/vcl/formatvars.h"
#include "platform/vcl/forms.h"
#include "platform/vcl/menus.h"
#include "platform/vcl/resstrings.h"
#include "platform/vcl/stdctrls.h"
#include "platform/win32/msgbox.h"
#include "platform/win32/winuser.h"
#include "runtime/quintrel.h"
#include "text/hashlist.h"

using namespace quintrel;
using module::TLanguageId;

namespace {

constexpr size_t kMaxSwitches = 4;          // languages switched to through the translator
constexpr size_t kMaxResourceStrings = 16;  // resource strings loaded after a switch

template <typename F>
void Step(F&& step) {
  try {
    step();
  } catch (const rtl::Exception&) {
  }
}

// The application's main form, its about box (never shown) and its data module.
struct TApplicationForms {
  std::unique_ptr<vcl::TForm> Main;
  std::unique_ptr<vcl::TForm> About;
  std::unique_ptr<vcl::TDataModule> Data;

  TApplicationForms() {
    Main = std::make_unique<vcl::TForm>();
    vcl::TForm& form = *Main;
    form.SetName("MainForm");
    form.SetCaption("Sample Address Book");
    auto* panel = form.Add<vcl::TPanel>("TitlePanel");
    panel->SetParent(&form);
    form.Add<vcl::TImage>("LogoImage")->SetParent(panel);
    auto* title = form.Add<vcl::TLabel>("TitleLabel");
    title->SetParent(panel);
    title->SetCaption("My addresses");
    form.Add<vcl::TLabel>("SearchLabel")->SetParent(panel);
    form.Add<vcl::TEdit>("SearchEdit")->SetParent(panel);
    auto* groups = form.Add<vcl::TListBox>("GroupList");
    groups->SetParent(&form);
    for (const char* group : {"All contacts", "Family", "Friends"}) groups->Items()->Add(group);
    auto* contacts = form.Add<vcl::TListView>("ContactList");
    contacts->SetParent(&form);
    for (int i = 0; i < 3; ++i) contacts->Columns()->Add();
    auto* details = form.Add<vcl::TGroupBox>("DetailsBox");
    details->SetParent(&form);
    form.Add<vcl::TRadioButton>("PrivateRadio")->SetParent(details);
    form.Add<vcl::TCheckBox>("FavouriteCheck")->SetParent(details);
    form.Add<vcl::TMemo>("NotesMemo")->SetParent(details);
    auto* status = form.Add<vcl::TStatusBar>("StatusBar");
    status->SetParent(&form);
    status->Panels()->Add();
    auto* menu = form.Add<vcl::TMainMenu>("MainMenu1");
    auto* file = form.Add<vcl::TMenuItem>("FileMenu");
    file->SetCaption("&File");
    menu->Items()->Add(file);
    auto* open = form.Add<vcl::TMenuItem>("FileOpenItem");
    open->SetCaption("&Open...");
    file->Add(open);
    form.SetMenu(menu);
    form.Add<vcl::TOpenDialog>("OpenDialog1");

    About = std::make_unique<vcl::TForm>();
    About->SetName("AboutBox");
    About->Add<vcl::TLabel>("ProductName")->SetParent(About.get());
    About->Add<vcl::TButton>("OKButton")->SetParent(About.get());

    Data = std::make_unique<vcl::TDataModule>();
    Data->SetName("DataModule1");
    Data->Add<vcl::TSaveDialog>("SaveDialog1");
  }
};

// Loads the resource strings the translator maps, through its loader.
void LoadResourceStrings(runtime::TQuintrel& translator) {
  text::THashList& map = translator.ResStrMap();
  std::vector<uintptr_t> identifiers;
  uint8_t key[256];
  uint8_t length = 0;
  uint32_t value = 0;
  map.Top();
  while (identifiers.size() < kMaxResourceStrings && map.Next(key, length, value)) {
    const std::string name(reinterpret_cast<const char*>(key), length);
    if (!name.empty() && name.size() < 7 && name.find_first_not_of("0123456789") == std::string::npos)
      identifiers.push_back(std::stoul(name));
  }
  for (uintptr_t identifier : identifiers) {
    const vcl::TResStringRec rec{nullptr, identifier};
    (void)vcl::LoadResString(&rec);
  }
}

void Run(vcl::TForm& main) {
  runtime::TQuintrel* translator = runtime::GlobalQuintrel();
  if (!translator || translator->Module() < 0) return;
  module::TZod& zod = translator->Zod();
  const int m = translator->Module();
  std::vector<TLanguageId> languages;
  Step([&] {
    module::TLangStringList list;
    zod.GetLangList(m, list);
    for (const auto& [name, id] : list.Items())
      if (languages.size() < kMaxSwitches) languages.push_back(static_cast<TLanguageId>(id));
  });
  Step([&] { main.SetVisible(true); });  // switched to the current language as it is shown
  Step([&] { LoadResourceStrings(*translator); });
  for (TLanguageId language : languages) {
    Step([&] { translator->SwitchLanguage(language, false, true, ""); });
    Step([&] { LoadResourceStrings(*translator); });
  }
  // The system menu's list, and the user choosing its first entry.
  Step([&] {
    vcl::TMessage open{win32::WM_SYSCOMMAND, runtime::kSysMenuMouseOpen, 0, 0};
    main.Dispatch(open);
    vcl::TMessage choose{win32::WM_SYSCOMMAND, runtime::kLangListFirst, 0, 0};
    main.Dispatch(choose);
  });
  Step([&] { translator->SwitchLanguage(translator->DesignLanguage(), false, true, "MainForm, DataModule1"); });
  Step([&] { translator->SwitchLanguage(translator->DesignLanguage(), true, true, ""); });
}

}  // namespace

extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::TModuleInput input("App.ZOD");
  static const std::string exe = [] {
    std::string module = input.Path();
    win32::SetMessageBoxSink([](const win32::TMessageBoxRequest&) { return win32::IDOK; });
    return module.substr(0, module.size() - 4);
  }();
  input.Fill(data, size);
  vcl::ResetFormatSettings();
  {
    // The translator first, as its unit starts before the application creates its forms,
    // and its shutdown last, from a destructor as TTranslatorUnit does it. A start-up that
    // raises on a damaged module still counts, so the shutdown always follows.
    struct TShutdown {
      ~TShutdown() {
        runtime::FinalizeTranslator();
        fuzz::TModuleInput::CloseAll();
      }
    } shutdown;
    Step([&] { runtime::InitializeTranslator(exe); });
    if (!runtime::GlobalQuintrel()) fuzz::Finding("the translator did not start");
    // A module the module layer refused leaves the application untranslated (the module
    // target tells a refusal from a failure to register).
    if (runtime::GlobalQuintrel()->Module() < 0) return 0;
    TApplicationForms forms;
    Run(*forms.Main);
  }
  return 0;
}
