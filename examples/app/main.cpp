// The example project's application, linked with the translator as a shipped application
// would be: it opens the language module beside its executable (Sample -> Sample.ZOD),
// creates its forms from the project's form files, shows the main form (which the
// translator switches to the module's current language as it appears) and switches
// language on request.
//
// Its string table is what the project's linker makes of Errors.rc and AppText.pas: the
// script's strings under the numbers Errors.pas gives them, the resourcestrings numbered
// from 65535 down. The status bar and the error message are loaded through the
// resource-string loader, as the main form's code does, so they follow the language too.
//
//   Sample [--forms DIR] [LANG...]
//
// Each LANG switches every form and prints what the user would see of the main form.
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "platform/ide/linker.h"
#include "platform/rtl/sysutils.h"
#include "platform/vcl/comctrls.h"
#include "platform/vcl/forms.h"
#include "platform/vcl/resstrings.h"
#include "platform/vcl/stdctrls.h"
#include "platform/vcl/streaming.h"
#include "platform/vcl/typinfo.h"
#include "platform/win32/codepage.h"
#include "platform/win32/resources.h"
#include "runtime/quintrel.h"
#include "text/codepages.h"
#include "text/unicode.h"

using namespace quintrel;

namespace {

std::string Show(const std::string& bytes) {
  runtime::TQuintrel* tr = runtime::GlobalQuintrel();
  return text::WideToUtf8(text::ByteToUnicode(bytes, tr ? tr->CurrentCharset() : 0));
}

win32::HINSTANCE hInstance = win32::GetModuleHandle(nullptr);
host::TStringTable stringTable;

// What the compiler makes of a reference to a resource-string constant: a record naming
// the executable and the identifier the linker gave the constant.
std::string LoadResourceString(std::string_view constant) {
  const host::TLinkedString* s = stringTable.Find(constant);
  if (!s) return std::string(constant);
  const vcl::TResStringRec rec{&hInstance, s->Resource};
  return vcl::LoadResString(&rec);
}

// The main form's ShowStatus: the message in the first panel, the number of contacts in
// the second.
void ShowStatus(vcl::TCustomForm& form, std::string_view message, int contacts) {
  auto* bar = dynamic_cast<vcl::TStatusBar*>(form.FindComponent("StatusBar"));
  if (!bar || bar->Panels()->Count() < 2) return;
  vcl::SetStrProp(bar->Panels()->Items(0), "Text", LoadResourceString(message));
  vcl::SetStrProp(bar->Panels()->Items(1), "Text", rtl::Format(LoadResourceString("SContactCount"), contacts));
}

void PrintMainForm(vcl::TCustomForm& form) {
  std::cout << "  caption:  " << Show(form.Caption()) << "\n";
  for (const char* name : {"TitleLabel", "SearchLabel", "DetailsBox", "FavouriteCheck"}) {
    vcl::TComponent* c = form.FindComponent(name);
    if (!c) continue;
    vcl::PPropInfo caption = vcl::GetPropInfo(c, "Caption");
    if (caption) std::cout << "  " << name << ": " << Show(vcl::GetStrProp(c, caption)) << "\n";
  }
  if (auto* bar = dynamic_cast<vcl::TStatusBar*>(form.FindComponent("StatusBar")); bar && bar->Panels()->Count() >= 2)
    std::cout << "  status:   " << Show(vcl::GetStrProp(bar->Panels()->Items(0), "Text")) << " | "
              << Show(vcl::GetStrProp(bar->Panels()->Items(1), "Text")) << "\n";
  // The main form's ShowError, as opening a damaged address book shows it.
  std::cout << "  error:    " << Show(LoadResourceString("SE_CannotRead")) << "\n";
  const vcl::TMainMenu* menu = form.Menu();
  if (menu) {
    std::cout << "  menu:    ";
    for (int i = 0; i < menu->Items()->Count(); ++i) std::cout << " " << Show(menu->Items()->Items(i)->Caption());
    std::cout << "\n";
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string formsDir = QUINTREL_EXAMPLE_PROJECT;
  std::vector<std::string> languages;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--forms") == 0 && i + 1 < argc) {
      formsDir = argv[++i];
    } else if (std::strcmp(argv[i], "--help") == 0) {
      std::cout << "usage: " << argv[0] << " [--forms DIR] [LANG...]\n"
                << "Opens the module beside the executable, shows the main form and switches to each LANG.\n";
      return 0;
    } else {
      languages.emplace_back(argv[i]);
    }
  }

  try {
    stringTable = host::LinkStringTable(host::TProject::Open(formsDir), win32::GetACP());
  } catch (const rtl::Exception& e) {
    std::cerr << "Sample: " << e.Message() << "\n";
    return 1;
  }
  host::InstallStringTable(hInstance, stringTable);

  runtime::TTranslatorUnit translator;  // before any form exists, as unit start-up runs
  runtime::TQuintrel* tr = runtime::GlobalQuintrel();
  if (tr->Module() < 0)
    std::cout << "no language module beside " << vcl::Application().ExeName() << ": running untranslated\n";

  std::vector<std::unique_ptr<vcl::TComponent>> forms;
  try {
    for (const char* file : {"Main.dfm", "About.dfm", "Data.dfm"})
      forms.push_back(vcl::LoadComponentFile((std::filesystem::path(formsDir) / file).string()));
  } catch (const rtl::Exception& e) {
    std::cerr << "Sample: " << e.Message() << "\n";
    return 1;
  }
  auto* main = dynamic_cast<vcl::TCustomForm*>(forms.front().get());
  if (!main) return 1;
  vcl::Application().SetMainForm(main);
  const int contacts = 0;  // a new address book
  // The form's language-changed handler sets the status again, since the switch wrote
  // the panels' designed texts back.
  tr->OnSwitchLanguage = [&](const runtime::TSwitchEventArgs& e) {
    if (e.Status == runtime::kSwitchFinished) ShowStatus(*main, "SReady", contacts);
  };
  ShowStatus(*main, "SReady", contacts);  // FormCreate
  main->SetVisible(true);
  std::cout << "main form shown:\n";
  PrintMainForm(*main);

  for (const std::string& language : languages) {
    if (language.size() != 2) {
      std::cerr << "Sample: '" << language << "' is not a language identifier\n";
      return 2;
    }
    const uint16_t id = module::MakeLanguageId(language[0], language[1]);
    if (!tr->SwitchLanguage(id, false, false, "")) {
      std::cout << "switch to " << language << ": the module has no such language\n";
      continue;
    }
    std::cout << "switched to " << language << (tr->FlipState() ? " (mirrored)" : "") << ":\n";
    PrintMainForm(*main);
  }
  return 0;
}
