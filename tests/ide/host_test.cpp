// The host over a project on disk: editor buffers, live forms and saving them back,
// adding units, the main menu, and the tool services seen from a tool.
#include <gtest/gtest.h>

#include "ide/toolintf.h"
#include "platform/ide/host.h"
#include "platform/vcl/controls.h"
#include "platform/vcl/streaming.h"
#include "tests/ide/project_fixture.h"

namespace quintrel::host {
namespace {

using test::ProjectFixture;
namespace fs = std::filesystem;

class Host : public ProjectFixture {};

std::string Caption(vcl::TComponent& root, const std::string& name) {
  vcl::TComponent* c = name == root.Name() ? &root : root.FindComponent(name);
  return c ? vcl::GetStrProp(c, "Caption") : "<missing>";
}

TEST_F(Host, ToolServicesReportTheProjectAsAToolSeesIt) {
  WriteCppBuilderProject();
  EXPECT_EQ(ide::ToolServices(), nullptr);
  {
    TDevelopmentHost host;
    ide::TIToolServices* services = ide::ToolServices();
    ASSERT_EQ(services, &host);
    EXPECT_EQ(services->GetProjectName(), "");
    EXPECT_EQ(services->GetUnitCount(), 0);
    host.OpenProject(dir_.string());
    EXPECT_EQ(services->GetProjectName(), Path("Project1.bpr"));
    ASSERT_EQ(services->GetUnitCount(), 7);
    EXPECT_EQ(services->GetUnitName(3), Path("Main.cpp"));
    EXPECT_EQ(services->GetUnitName(7), "");
    EXPECT_EQ(services->GetUnitName(-1), "");
    ASSERT_EQ(services->GetFormCount(), 2);
    EXPECT_EQ(services->GetFormName(1), "AboutBox");

    // Module interfaces exist for open files only; the form is reached through them.
    EXPECT_EQ(services->GetModuleInterface(Path("Main.cpp")), nullptr);
    EXPECT_FALSE(services->IsFileOpen(Path("Main.cpp")));
    EXPECT_TRUE(services->OpenFile(Path("Main.cpp")));
    EXPECT_TRUE(services->IsFileOpen(Path("./Main.cpp")));
    auto module = services->GetModuleInterface(Path("Main.cpp"));
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->GetFileName(), Path("Main.cpp"));
    auto form = module->GetFormInterface();
    ASSERT_NE(form, nullptr);
    vcl::TComponent* live = form->GetFormComponent()->GetComponentHandle();
    ASSERT_NE(live, nullptr);
    EXPECT_EQ(live->Name(), "MainForm");
    EXPECT_EQ(live->ComponentCount(), 4);
    EXPECT_TRUE(live->InState(vcl::csDesigning));
    EXPECT_EQ(live, &host.Form(Path("Main.cpp"))) << "the designer's own instance";

    // Units without a form, files that are not there.
    ASSERT_TRUE(services->OpenFile(Path("Lib/Util.cpp")));
    EXPECT_EQ(services->GetModuleInterface(Path("Lib/Util.cpp"))->GetFormInterface(), nullptr);
    EXPECT_FALSE(services->GetModuleInterface(Path("Lib/Util.cpp"))->ShowForm());
    EXPECT_FALSE(services->OpenFile(Path("Missing.cpp")));

    // A handle outlives its file: once closed it answers without touching the form.
    auto formComponent = form->GetFormComponent();
    EXPECT_TRUE(services->CloseFile(Path("Main.cpp")));
    EXPECT_FALSE(services->IsFileOpen(Path("Main.cpp")));
    EXPECT_EQ(formComponent->GetComponentHandle(), nullptr);
    EXPECT_EQ(module->GetFormInterface(), nullptr);
    EXPECT_FALSE(module->Save(true));
    EXPECT_TRUE(services->CloseFile(Path("Main.cpp")));
  }
  EXPECT_EQ(ide::ToolServices(), nullptr) << "the host leaves with its services";
}

TEST_F(Host, SavingWritesFormsBackInTheNotationTheyWereReadIn) {
  WriteCppBuilderProject();
  std::string mainBefore = Read("Main.dfm"), aboutBefore = Read("About.dfm");
  {
    TDevelopmentHost host;
    host.OpenProject(Path("Project1.bpr"));
    vcl::TComponent& main = host.Form(Path("Main.cpp"));
    vcl::TComponent& about = host.Form(Path("About.cpp"));
    EXPECT_EQ(host.Module(Path("About.cpp"))->FormNotation(), vcl::TFormNotation::fnBinary);
    EXPECT_FALSE(host.Module(Path("Main.cpp"))->Modified());
    // An unchanged form written back is the file as it was, in both notations.
    ASSERT_TRUE(host.GetModuleInterface(Path("Main.cpp"))->Save(true));
    ASSERT_TRUE(host.GetModuleInterface(Path("About.cpp"))->Save(true));
    EXPECT_EQ(Read("Main.dfm"), mainBefore);
    EXPECT_EQ(Read("About.dfm"), aboutBefore);

    vcl::SetStrProp(main.FindComponent("Button1"), "Caption", "&Apply");
    vcl::SetStrProp(&about, "Caption", "About this program");
    EXPECT_TRUE(host.Module(Path("Main.cpp"))->Modified());
    host.SaveAll();
    EXPECT_FALSE(host.Module(Path("Main.cpp"))->Modified());
  }
  // Only the changed lines differ; the binary form stays binary with its header.
  std::string mainAfter = Read("Main.dfm");
  std::string expected = mainBefore;
  expected.replace(expected.find("'&OK'"), 5, "'&Apply'");
  EXPECT_EQ(mainAfter, expected);
  std::string aboutAfter = Read("About.dfm");
  ASSERT_GE(aboutAfter.size(), 3u);
  EXPECT_EQ(aboutAfter.substr(0, 3), std::string("\xFF\x0A\x00", 3));
  EXPECT_TRUE(vcl::LooksLikeBinaryForm(aboutAfter));

  // The saved forms reload as they were left.
  TDevelopmentHost again;
  again.OpenProject(Path("Project1.bpr"));
  EXPECT_EQ(Caption(again.Form(Path("Main.cpp")), "Button1"), "&Apply");
  EXPECT_EQ(Caption(again.Form(Path("About.cpp")), "AboutBox"), "About this program");
  EXPECT_EQ(Caption(again.Form(Path("About.cpp")), "Version"), "Version 1.0");
  EXPECT_EQ(again.Form(Path("Main.cpp")).ComponentCount(), 4);
  // Saved a second time without a change, the file stays byte for byte.
  ASSERT_TRUE(again.GetModuleInterface(Path("About.cpp"))->Save(true));
  EXPECT_EQ(Read("About.dfm"), aboutAfter);
}

TEST_F(Host, EditorBuffersSaveReloadAndClose) {
  WriteDelphiProject();
  TDevelopmentHost host;
  host.OpenProject(dir_.string());
  auto module = host.OpenModule(Path("Util.pas"));
  std::string original = Read("Util.pas");
  EXPECT_EQ(module->Text(), original);
  module->SetText("unit Util;\ninterface\nconst Greeting = 'Hi';\nimplementation\nend.\n");
  EXPECT_TRUE(module->Modified());
  EXPECT_EQ(Read("Util.pas"), original) << "nothing is written before a save";
  ASSERT_TRUE(module->Save(false));
  EXPECT_EQ(Read("Util.pas"), module->Text());

  // A tool rewrites the file on disk; reload shows it and drops unsaved edits.
  Write("Util.pas", "unit Util;\ninterface\nimplementation\nend. { rewritten }\n");
  module->SetText("edited in the editor");
  ASSERT_TRUE(host.ReloadFile(Path("Util.pas")));
  EXPECT_EQ(module->Text(), Read("Util.pas"));
  EXPECT_FALSE(module->Modified());

  // Reloading a form whose file was damaged keeps the form that was loaded.
  vcl::TComponent& form = host.Form(Path("Main.pas"));
  Write("Main.dfm", "object MainForm: TMainForm\r\n  Caption = 'unterminated\r\n");
  EXPECT_FALSE(host.ReloadFile(Path("Main.pas")));
  EXPECT_EQ(&host.Form(Path("Main.pas")), &form);
  EXPECT_THROW(
      {
        TDevelopmentHost other;
        other.OpenProject(dir_.string());
        other.Form(Path("Main.pas"));
      },
      EProjectError);
}

TEST_F(Host, UnitsJoinTheProjectThroughTheServices) {
  WriteCppBuilderProject();
  TDevelopmentHost host;
  host.OpenProject(Path("Project1.bpr"));
  ASSERT_TRUE(host.OpenFile(Path("Project1.cpp")));
  // A resource-string unit made by a tool: written to disk, read back through a stream.
  Write("Texts.pas", "unit Texts;\r\ninterface\r\nresourcestring\r\n  SBye = 'Bye';\r\nimplementation\r\nend.\r\n");
  rtl::TMemoryStream stream;
  stream.LoadFromFile(Path("Texts.pas"));
  auto module = host.CreateModule(Path("Texts.pas"), stream, ide::cmAddToProject);
  ASSERT_NE(module, nullptr);
  EXPECT_TRUE(host.IsFileOpen(Path("Texts.pas")));
  EXPECT_EQ(host.GetUnitName(host.GetUnitCount() - 1), Path("Texts.pas"));
  EXPECT_NE(Read("Project1.cpp").find("USEUNIT(\"Texts.pas\");"), std::string::npos);
  EXPECT_EQ(host.Module(Path("Project1.cpp"))->Text(), Read("Project1.cpp")) << "the open project source follows";
  EXPECT_EQ(host.CreateModule(Path("Texts.pas"), stream, ide::cmAddToProject), nullptr) << "already a unit";

  // A new unit with a form joins with its form's name; a new file is written at once.
  Write("Second.dfm", test::kAboutForm);
  rtl::TMemoryStream source;
  source.WriteBuffer("// second\r\n", 11);
  ASSERT_NE(host.CreateModule(Path("Second.cpp"), source, ide::cmAddToProject), nullptr);
  EXPECT_EQ(Read("Second.cpp"), "// second\r\n");
  EXPECT_NE(Read("Project1.cpp").find("USEFORM(\"Second.cpp\", AboutBox);"), std::string::npos);
  EXPECT_EQ(host.GetFormName(host.GetFormCount() - 1), "AboutBox");

  TProject reopened = TProject::Open(Path("Project1.bpr"));
  EXPECT_EQ(reopened.UnitNames(), host.Project()->UnitNames());
}

TEST_F(Host, RenamingADelphiUnitRenamesItsUsesEntry) {
  WriteDelphiProject();
  TDevelopmentHost host;
  host.OpenProject(Path("Demo.dpr"));
  host.RenameModule(Path("Sub/Data.pas"), Path("Sub/Store.pas"));
  EXPECT_NE(Read("Demo.dpr").find("  Store in 'Sub\\Store.pas' {DataModule1: TDataModule},\n"), std::string::npos)
      << Read("Demo.dpr");
  EXPECT_TRUE(fs::exists(Path("Sub/Store.dfm")));
  EXPECT_EQ(TProject::Open(Path("Demo.dpr")).UnitNames(), host.Project()->UnitNames());
  EXPECT_EQ(host.GetUnitName(2), Path("Sub/Store.pas"));
  EXPECT_THROW(host.RenameModule(Path("Util.pas"), Path("Main.pas")), EProjectError) << "the name is taken";
  EXPECT_THROW(host.RenameModule(Path("Demo.dpr"), Path("Other.dpr")), EProjectError) << "not a unit";
  EXPECT_TRUE(fs::exists(Path("Util.pas")));
}

TEST_F(Host, MainMenuItemsStayUntilReleased) {
  TDevelopmentHost host;
  auto menu = host.GetMainMenu();
  auto tools = menu->FindMenuItem("toolsmenu");
  ASSERT_NE(tools, nullptr);
  auto bar = tools->GetParent();
  ASSERT_NE(bar, nullptr);
  int clicks = 0;
  auto top = bar->InsertItem(tools->GetIndex() + 1, "Globali&zation", "GlobalizationMenu", "", 0, 0, 0,
                             ide::mfEnabled | ide::mfVisible, nullptr);
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(top->GetIndex(), tools->GetIndex() + 1);
  EXPECT_EQ(host.HostMenu().Bar()->Item(top->GetIndex() + 1)->Name(), "HelpMenu");
  auto item = top->InsertItem(-1, "&Resource Strings", "ResItem", "Resource strings of the project",
                              vcl::TextToShortCut("Ctrl+Ins"), 10, 0, ide::mfEnabled | ide::mfVisible,
                              [&](ide::TIMenuItemIntf& sender) {
                                ++clicks;
                                EXPECT_EQ(sender.GetIndex(), 0);
                              });
  auto off = top->InsertItem(-1, "Off", "OffItem", "", 0, 0, 0, ide::mfVisible, [&](ide::TIMenuItemIntf&) { ++clicks; });
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(top->InsertItem(0, "Again", "resitem", "", 0, 0, 0, ide::mfEnabled, nullptr), nullptr) << "names are unique";
  auto found = host.HostMenu().Find("ResItem");
  EXPECT_EQ(found->Caption(), "&Resource Strings");
  EXPECT_EQ(vcl::ShortCutToText(found->ShortCut()), "Ctrl+Ins");
  EXPECT_EQ(found->HelpContext(), 10);
  EXPECT_EQ(found->Hint(), "Resource strings of the project");

  EXPECT_TRUE(host.ClickMenuItem("ResItem"));
  EXPECT_FALSE(host.ClickMenuItem("OffItem")) << "disabled";
  EXPECT_FALSE(host.ClickMenuItem("NoSuchItem"));
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(item->SetShortCut(0));
  EXPECT_EQ(found->ShortCut(), 0);

  // Releasing the top item takes its sub-items with it; handles answer as released.
  top->Release();
  EXPECT_EQ(menu->FindMenuItem("GlobalizationMenu"), nullptr);
  EXPECT_EQ(menu->FindMenuItem("ResItem"), nullptr);
  EXPECT_EQ(item->GetIndex(), -1);
  EXPECT_EQ(item->GetParent(), nullptr);
  EXPECT_EQ(item->InsertItem(0, "x", "x", "", 0, 0, 0, ide::mfEnabled, nullptr), nullptr);
  EXPECT_FALSE(host.ClickMenuItem("ResItem"));
  EXPECT_EQ(clicks, 1);
  (void)off;
}

// The bundled example, copied so that saving it changes nothing in the source tree.
TEST_F(Host, TheExampleProjectLoadsAndSavesUnchanged) {
  fs::path example = fs::path(__FILE__).parent_path().parent_path().parent_path() / "examples" / "project";
  if (!fs::is_directory(example)) FAIL() << "no example project at " << example;
  fs::copy(example, dir_ / "example", fs::copy_options::recursive);
  TDevelopmentHost host;
  host.OpenProject(Path("example"));
  EXPECT_EQ(fs::path(host.GetProjectName()).filename(), "Sample.bpr");
  EXPECT_EQ(fs::path(host.GetUnitName(1)).filename(), "Sample.cpp");
  std::vector<std::string> forms;
  for (int i = 0; i < host.GetFormCount(); ++i) forms.push_back(host.GetFormName(i));
  EXPECT_EQ(forms, (std::vector<std::string>{"MainForm", "AboutBox", "DataModule1"}));
  int loaded = 0;
  for (int i = 0; i < host.GetUnitCount(); ++i) {
    std::string unit = host.GetUnitName(i);
    if (!host.OpenFile(unit)) continue;  // the compiled resource is no part of the sources
    auto module = host.Module(unit);
    if (!module->HasForm()) continue;
    std::string before = Read("example/" + fs::path(module->FormFile()).filename().string());
    vcl::TComponent* form = module->Form();
    ASSERT_NE(form, nullptr) << unit;
    EXPECT_GT(form->ComponentCount(), 0) << unit;
    ASSERT_TRUE(module->Save(true));
    EXPECT_EQ(Read("example/" + fs::path(module->FormFile()).filename().string()), before) << module->FormFile();
    ++loaded;
  }
  EXPECT_EQ(loaded, 3);
}

}  // namespace
}  // namespace quintrel::host
