// The add-in inside the real host: its menu as the module comes and goes, and the
// catalogue kept in step with what the designer does (components inserted, renamed,
// deleted, forms saved, the project renamed).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>

#include "addin/addin.h"
#include "module/modulefile.h"
#include "module/objects.h"
#include "module/terms.h"
#include "module/zod.h"
#include "platform/ide/host.h"
#include "platform/vcl/menus.h"
#include "platform/vcl/typinfo.h"
#include "strings/addinconsts.h"
#include "tests/ide/project_fixture.h"
#include "tests/module/module_fixture.h"

namespace quintrel::ide {
namespace {

using host::TDevelopmentHost;
using module::TZodObject;
namespace fs = std::filesystem;

constexpr module::TLanguageId kEn = 0x6E65;  // "en"
constexpr module::TLanguageId kDe = 0x6564;  // "de"

class AddIn : public host::test::ProjectFixture {
protected:
  void SetUp() override {
    ProjectFixture::SetUp();
    // No registered modules: the language definitions come from the add-in's caller.
    setenv("QUINTREL_CONFIG", Path("registry.ini").c_str(), 1);
    WriteCppBuilderProject();
  }
  void TearDown() override {
    addIn_ = nullptr;
    host_.reset();
    translator_.reset();
    ProjectFixture::TearDown();
  }

  // The host with the project open and the add-in registered, as at the environment's
  // start.
  void Start() {
    translator_ = std::make_unique<runtime::TQuintrel>(module::GlobalZOD());
    host_ = std::make_unique<TDevelopmentHost>();
    host_->OpenProject(Path("Project1.bpr"));
    ASSERT_TRUE(RegisterQuintrelAddIn(*translator_));
    addIn_ = QuintrelAddIn();
    ASSERT_NE(addIn_, nullptr);
  }

  // Globalizes the project in English with a German translation of the main form's
  // caption, its button's caption (with a comment) and the about box's button.
  void Globalize() {
    module::TZodLanguage en;
    en.Identifier = kEn;
    en.Name = u"English";
    addIn_->AddGlobalization(en);
    ASSERT_TRUE(module::test::AddLanguage(Zod(), Index(), "de", u"German"));
    Zod().SetAutoIncludeStatus(Index(), false);
    formCaption_ = Catalogue("MainForm", "", u"Main window", u"Hauptfenster");
    button_ = Catalogue("MainForm", "Button1", u"&OK", u"&OK");
    Zod().SetCommentW(Index(), button_.Comment = Zod().GetNewTermID(Index()), u"the default button");
    Zod().SetObject(Index(), button_);
    aboutButton_ = Catalogue("AboutBox", "Button1", u"Close", u"Schließen");
  }

  TZodObject Catalogue(const char* form, const char* comp, std::u16string_view en, std::u16string_view de) {
    const TZodObject object = module::test::AddObjectWithTerm(Zod(), Index(), form, comp, "Caption");
    EXPECT_TRUE(module::test::PutTerm(Zod(), Index(), kEn, object.Localization, en, module::usUnTranslated));
    EXPECT_TRUE(module::test::PutTerm(Zod(), Index(), kDe, object.Localization, de, module::usSignedOff));
    return object;
  }

  // The term's status; -1 when the language has no such term.
  int Status(module::TLanguageId language, uint32_t ident) {
    const auto term = module::test::ReadTerm(Zod(), Index(), language, ident);
    return term ? term->Status : -1;
  }

  std::vector<TZodObject> Objects(const char* form) {
    return Zod().GetObjects(Index(), addIn_->FormIdOf(form));
  }
  std::string CompNameOf(uint32_t id) {
    for (const std::string& line : Zod().GetComps(Index()))
      if (module::GetCompID({line}, module::CatalogueName(line)) == id) return module::CatalogueName(line);
    return "";
  }

  module::TZod& Zod() { return translator_->Zod(); }
  int Index() { return addIn_->Module(); }

  std::shared_ptr<host::THostMenuItem> Item(const char* name) { return host_->HostMenu().Find(name); }

  std::unique_ptr<runtime::TQuintrel> translator_;
  std::unique_ptr<TDevelopmentHost> host_;
  TQuintrelAddIn* addIn_ = nullptr;
  TZodObject formCaption_, button_, aboutButton_;
};

// Which of the thirteen items are enabled, as a string of 0 and 1.
std::string EnabledStates(host::THostMenuItem& menu) {
  std::string states;
  for (int i = 0; i < menu.Count(); ++i) states += menu.Item(i)->Enabled() ? '1' : '0';
  return states;
}

TEST_F(AddIn, MenuFollowsTheModule) {
  Start();
  EXPECT_EQ(addIn_->GetIDString(), "Talvorine.Quintrel");
  EXPECT_EQ(addIn_->GetName(), "Quintrel Suite 2 Expert");
  EXPECT_EQ(addIn_->GetStyle(), 3);
  EXPECT_EQ(host_->ExpertCount(), 1u);

  auto menu = Item(kGlobalizationMenuName);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->Caption(), "Globali&zation");
  EXPECT_EQ(menu->GetIndex(), Item(kToolsMenuName)->GetIndex() + 1);
  ASSERT_EQ(menu->Count(), kGlobalizationItemCount);
  for (int i = 0; i < kGlobalizationItemCount; ++i) EXPECT_EQ(menu->Item(i)->Name(), kGlobalizationItems[i].Name);
  EXPECT_EQ(vcl::ShortCutToText(Item("GlobalizationInternatGetIdentMenu")->ShortCut()), "Ctrl+Ins");
  EXPECT_EQ(Item("GlobalizationFollowMeMenu")->HelpContext(), 20);

  // No module: only the project item, help and about can be used.
  EXPECT_EQ(menu->Item(0)->Caption(), "Add &globalization support");
  EXPECT_EQ(EnabledStates(*menu), "1100010001111");

  Globalize();
  EXPECT_EQ(menu->Item(0)->Caption(), "Project settings");
  EXPECT_EQ(EnabledStates(*menu), "1111111111111");
  EXPECT_EQ(Zod().GetDesignTimeLanguage(Index()), kEn);
  std::vector<module::TLanguageId> languages;
  Zod().GetLanguageList(Index(), languages);
  std::sort(languages.begin(), languages.end());
  EXPECT_EQ(languages, (std::vector<module::TLanguageId>{kDe, kEn})) << "the placeholder language is gone";

  // The project closes: the module is closed, not deleted, and the project item is
  // disabled until a project is open again.
  const std::string moduleFile = translator_->GetProjectFile();
  host_->CloseProject();
  EXPECT_FALSE(addIn_->ModuleOpen());
  EXPECT_TRUE(fs::exists(moduleFile));
  EXPECT_EQ(menu->Item(0)->Caption(), "Add &globalization support");
  EXPECT_EQ(EnabledStates(*menu), "0100010001111");
  host_->OpenProject(Path("Project1.bpr"));
  EXPECT_TRUE(addIn_->ModuleOpen());
  EXPECT_EQ(Item(kGlobalizationItems[0].Name)->Caption(), "Project settings");

  // The add-in takes its menu with it.
  host_.reset();
  EXPECT_EQ(QuintrelAddIn(), nullptr);
}

TEST_F(AddIn, DeletingComponentsTakesOnlyTheirRecords) {
  Start();
  Globalize();
  const std::string main = Path("Main.cpp");
  host_->OpenFile(main);
  // A component dropped while auto-include is off was never catalogued: deleting it
  // leaves the form's own records alone.
  host_->InsertComponent(main, "TButton", "Button2");
  host_->DeleteComponent(main, "Button2");
  ASSERT_EQ(Objects("MainForm").size(), 2u);
  EXPECT_EQ(Status(kDe, formCaption_.Localization), module::usSignedOff);

  // A catalogued one takes its records, its terms in every language and its comment.
  host_->DeleteComponent(main, "Button1");
  const std::vector<TZodObject> left = Objects("MainForm");
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].Ident, formCaption_.Ident);
  EXPECT_EQ(Status(kEn, button_.Localization), -1);
  EXPECT_EQ(Status(kDe, button_.Localization), -1);
  EXPECT_EQ(Status(module::kCommentLanguage, button_.Comment), -1) << "the comment went with it";
  EXPECT_EQ(Objects("AboutBox").size(), 1u) << "another form's component of that name stays";
}

TEST_F(AddIn, InsertedComponentsAreCataloguedOnce) {
  Start();
  Globalize();
  Zod().SetAutoIncludeStatus(Index(), true);
  const std::string main = Path("Main.cpp");
  host_->OpenFile(main);
  vcl::TComponent& added = host_->InsertComponent(main, "TButton", "SaveButton");
  auto recordsOf = [&](const std::string& name) {
    std::vector<TZodObject> found;
    for (const TZodObject& o : Objects("MainForm"))
      if (CompNameOf(o.CompName) == name) found.push_back(o);
    return found;
  };
  const std::vector<TZodObject> first = recordsOf("SaveButton");
  ASSERT_FALSE(first.empty());
  for (const TZodObject& o : first) {
    EXPECT_NE(o.Localization, 0u);
    EXPECT_EQ(o.ZodClass, module::ucButton);
  }
  // The designer reports the same component again (an undone delete): nothing doubles.
  addIn_->NewCompInserted(added, "SaveButton", addIn_->FormIdOf("MainForm"));
  EXPECT_EQ(recordsOf("SaveButton").size(), first.size());
}

TEST_F(AddIn, RenamingComponentsKeepsTheirIds) {
  Start();
  Globalize();
  const std::string main = Path("Main.cpp"), about = Path("About.cpp");
  host_->OpenFile(main);
  const uint32_t shared = button_.CompName;
  ASSERT_EQ(aboutButton_.CompName, shared) << "one name, one id across forms";

  // Button1 is on the about box's catalogue too: this form's records get a new id.
  host_->RenameComponent(main, "Button1", "OkButton");
  TZodObject moved = button_;
  ASSERT_TRUE(Zod().GetObject(Index(), moved));
  EXPECT_NE(moved.CompName, shared);
  EXPECT_EQ(CompNameOf(moved.CompName), "OkButton");
  EXPECT_EQ(CompNameOf(shared), "Button1");

  // Only this form uses OkButton's id now: renaming keeps the id.
  const uint32_t okId = moved.CompName;
  host_->RenameComponent(main, "OkButton", "DoneButton");
  ASSERT_TRUE(Zod().GetObject(Index(), moved));
  EXPECT_EQ(moved.CompName, okId);
  EXPECT_EQ(CompNameOf(okId), "DoneButton");

  // To a name the table has: the records move to that name's id.
  host_->RenameComponent(main, "DoneButton", "Button1");
  ASSERT_TRUE(Zod().GetObject(Index(), moved));
  EXPECT_EQ(moved.CompName, shared);
  EXPECT_EQ(CompNameOf(okId), "");

  // The form itself.
  host_->RenameComponent(main, "MainForm", "FrontForm");
  EXPECT_EQ(addIn_->FormIdOf("FrontForm"), formCaption_.FormID);
  EXPECT_EQ(addIn_->FormIdOf("MainForm"), 0);
}

TEST_F(AddIn, SavingCapturesChangedTextsForReview) {
  Start();
  Globalize();
  const std::string main = Path("Main.cpp");
  host_->OpenFile(main);
  vcl::SetStrProp(host_->Form(main).FindComponent("Button1"), "Caption", "&Accept");
  ASSERT_TRUE(host_->GetModuleInterface(main)->Save(false));
  EXPECT_EQ(Zod().GetLongStringW(Index(), button_.Localization, kEn, false), u"&Accept");
  EXPECT_EQ(Status(kDe, button_.Localization), module::usForReview);
  EXPECT_EQ(Status(kDe, formCaption_.Localization), module::usSignedOff) << "unchanged texts stay signed off";
}

// The editor opened from the menu shows what the designer holds, saved or not.
TEST_F(AddIn, TheEditorItemCapturesUnsavedForms) {
  Start();
  Globalize();
  const std::string main = Path("Main.cpp");
  host_->OpenFile(main);
  vcl::SetStrProp(host_->Form(main).FindComponent("Button1"), "Caption", "&Accept");
  std::u16string seen;
  addIn_->SetItemHandler([&](const std::string& item) {
    if (item == "GlobalizationLocalDialogMenu") seen = Zod().GetLongStringW(Index(), button_.Localization, kEn, false);
  });
  ASSERT_TRUE(host_->ClickMenuItem("GlobalizationLocalDialogMenu"));
  EXPECT_EQ(seen, u"&Accept");
  EXPECT_EQ(Status(kDe, button_.Localization), module::usForReview);
  // Other items leave the module as the last save left it.
  vcl::SetStrProp(host_->Form(main).FindComponent("Button1"), "Caption", "&Take");
  ASSERT_TRUE(host_->ClickMenuItem("GlobalizationQualityWizardMenu"));
  EXPECT_EQ(Zod().GetLongStringW(Index(), button_.Localization, kEn, false), u"&Accept");
}

TEST_F(AddIn, RenamedProjectTakesItsModule) {
  Start();
  Globalize();
  const std::string project = Path("Project1.bpr");
  ASSERT_EQ(translator_->GetProjectFile(), Path("Project1.ZOD"));
  // The project file open in the editor is watched like a unit.
  host_->OpenFile(project);
  ASSERT_NE(std::find(addIn_->NotifiedFiles().begin(), addIn_->NotifiedFiles().end(), project),
            addIn_->NotifiedFiles().end());
  fs::rename(project, Path("Sales.bpr"));
  host_->Module(project)->Rename(Path("Sales.bpr"), "");
  host_->Module(Path("Sales.bpr"))->Notify(ncModuleRenamed);
  EXPECT_EQ(translator_->GetProjectFile(), Path("Sales.ZOD"));
  EXPECT_TRUE(fs::exists(Path("Sales.ZOD")));
  EXPECT_FALSE(fs::exists(Path("Project1.ZOD")));
  EXPECT_EQ(Objects("MainForm").size(), 2u);
}

TEST_F(AddIn, RemovingGlobalizationKeepsTheModuleAside) {
  Start();
  Globalize();
  const std::string moduleFile = translator_->GetProjectFile();
  addIn_->RemoveGlobalization(Path("Project1.~lm"));
  EXPECT_FALSE(addIn_->ModuleOpen());
  EXPECT_FALSE(fs::exists(moduleFile));
  EXPECT_TRUE(fs::exists(Path("Project1.~lm")));
  EXPECT_EQ(Item(kGlobalizationItems[0].Name)->Caption(), "Add &globalization support");
}

}  // namespace
}  // namespace quintrel::ide
