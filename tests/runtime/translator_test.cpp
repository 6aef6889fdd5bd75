// The translator on live forms built in code and a module built through the module API.
#include "runtime/quintrel.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "../module/module_fixture.h"
#include "module/namelists.h"
#include "module/objects.h"
#include "module/terms.h"
#include "platform/vcl/extctrls.h"
#include "platform/vcl/formatvars.h"
#include "platform/vcl/stdctrls.h"
#include "platform/vcl/typinfo.h"
#include "platform/win32/menus.h"
#include "platform/win32/msgbox.h"
#include "platform/win32/sysparams.h"
#include "platform/win32/winuser.h"
#include "text/unicode.h"

namespace quintrel::runtime::test {
namespace {

using module::test::AddLanguage;
using module::test::Id;
using module::test::PutTerm;
using module::test::ReadTerm;
using module::TZod;
using module::TZodLanguage;
using module::TZodObject;
using module::TZodTerm;

void CloseAll(TZod& zod) {
  while (zod.GetModuleCount() > 0) zod.UnRegisterModule(0, false);
}

// A module with the design language en and German, and objects of form MainForm with their
// English and German texts.
class TranslatorTest : public module::test::ModuleFixture {
protected:
  void SetUp() override {
    ModuleFixture::SetUp();
    file_ = MakeModule("Sales.zod");
    m_ = zod_.RegisterModule(file_, false);
    ASSERT_EQ(m_, 0);
    ASSERT_TRUE(AddLanguage(zod_, m_, "en", u"English"));
    ASSERT_TRUE(AddLanguage(zod_, m_, "de", u"Deutsch"));
    ASSERT_TRUE(zod_.SetDesignTimeLanguage(m_, Id("en")));
    zod_.SetCurrentLanguage(m_, Id("en"));
    Catalogue("MainForm", "MainForm", "Caption", u"Sales", u"Verkauf");
    Catalogue("MainForm", "Button1", "Caption", u"Close", u"Schließen");
    Catalogue("MainForm", "Label1", "Hint", u"Total", u"Summe");
    Catalogue("Other", "Other", "Caption", u"Other", u"Andere");
    tr_ = std::make_unique<TQuintrel>(zod_);
    tr_->SetModule(m_);
    tr_->DesignLangChanged();
  }
  void TearDown() override {
    tr_.reset();
    forms_.clear();
    CloseAll(zod_);
    ModuleFixture::TearDown();
  }

  uint32_t Catalogue(const char* form, const char* comp, const char* prop, std::u16string en, std::u16string de) {
    // A property of the form itself has no component.
    const std::string compName = std::string(comp) == form ? "" : comp;
    const uint32_t term = module::test::AddObjectWithTerm(zod_, m_, form, compName, prop).Localization;
    EXPECT_TRUE(PutTerm(zod_, m_, Id("en"), term, en));
    if (!de.empty()) {
      EXPECT_TRUE(PutTerm(zod_, m_, Id("de"), term, de));
    }
    return term;
  }

  vcl::TForm* MakeForm(const std::string& name, bool visible) {
    auto form = std::make_unique<vcl::TForm>();
    form->SetName(name);
    form->SetCaption("design");
    auto* button = form->Add<vcl::TButton>("Button1");
    button->SetParent(form.get());
    button->SetCaption("Close");
    auto* label = form->Add<vcl::TLabel>("Label1");
    label->SetParent(form.get());
    if (visible) form->SetVisible(true);
    forms_.push_back(std::move(form));
    return forms_.back().get();
  }

  std::string Text(vcl::TComponent* c, const char* prop) { return vcl::GetStrProp(c, vcl::GetPropInfo(c, prop)); }

  // Runs change on the module in a child process with an engine of its own; the child
  // exits 0 when change returns true. The child's id, or -1 when fork failed.
  pid_t ForkChange(const std::function<bool(TZod&, int)>& change) {
    return module::test::StartChild([&] {
      TZod other(TZod::TStart::Empty);
      const int m = other.RegisterModule(file_, false);
      return m == 0 && change(other, m);
    });
  }

  // The name lists the translator reloads work on the modules of the process.
  TZod& zod_ = module::GlobalZOD();
  int m_ = -1;
  std::string file_;
  std::unique_ptr<TQuintrel> tr_;
  std::vector<std::unique_ptr<vcl::TForm>> forms_;
};

TEST_F(TranslatorTest, SwitchWritesEveryCataloguedPropertyAndReportsTheEventsInOrder) {
  vcl::TForm* main = MakeForm("MainForm", true);
  vcl::TForm* hidden = MakeForm("Other", false);
  std::vector<std::pair<std::string, uint8_t>> events;
  tr_->OnSwitchLanguage = [&](const TSwitchEventArgs& e) {
    events.emplace_back(e.Component ? e.Component->Name() : "translator", e.Status);
  };
  vcl::Screen().SetCursor(7);
  ASSERT_TRUE(tr_->SwitchLanguage(Id("de"), false, false, ""));
  EXPECT_EQ(main->Caption(), "Verkauf");
  EXPECT_EQ(Text(main->FindComponent("Button1"), "Caption"), "Schlie\xDF" "en");  // charset 0: code page 1252
  EXPECT_EQ(Text(main->FindComponent("Label1"), "Hint"), "Summe");
  EXPECT_EQ(hidden->Caption(), "design");  // hidden forms wait for IncludeHidden
  EXPECT_EQ(vcl::Screen().Cursor(), 7);
  EXPECT_EQ(zod_.GetCurrentLanguage(m_), Id("de"));
  EXPECT_EQ(tr_->CurrentLanguage(), Id("de"));
  const std::vector<std::pair<std::string, uint8_t>> expected = {
      {"translator", kSwitchStarting}, {"MainForm", kSwitchingForm}, {"translator", kSwitchFinished}};
  EXPECT_EQ(events, expected);
  tr_->OnSwitchLanguage = nullptr;
  // The name lists answer by name again after the switch.
  EXPECT_FALSE(module::CompList().HashOnValue());

  ASSERT_TRUE(tr_->SwitchLanguage(Id("en"), false, true, ""));
  EXPECT_EQ(main->Caption(), "Sales");
  EXPECT_EQ(hidden->Caption(), "Other");

  // A language the module does not have changes nothing and reports nothing.
  events.clear();
  EXPECT_FALSE(tr_->SwitchLanguage(Id("fr"), false, true, ""));
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(main->Caption(), "Sales");
  EXPECT_FALSE(module::PropList().HashOnValue());
}

TEST_F(TranslatorTest, FormNameListInstancesAndFormsWithoutCatalogue) {
  vcl::TForm* main = MakeForm("MainForm", true);
  vcl::TForm* other = MakeForm("Other", true);
  vcl::TForm* second = MakeForm("MainForm_1", true);
  vcl::TForm* unrelated = MakeForm("MainForm_X", true);
  ASSERT_TRUE(tr_->SwitchLanguage(Id("de"), false, false, "Other, MainForm_1"));
  EXPECT_EQ(other->Caption(), "Andere");
  EXPECT_EQ(second->Caption(), "Verkauf");  // the catalogue of MainForm
  EXPECT_EQ(main->Caption(), "design");     // not in the list
  EXPECT_FALSE(tr_->SwitchLanguage(Id("de"), false, false, "MainForm_X"));
  EXPECT_EQ(unrelated->Caption(), "design");  // looked up only under its full name
}

TEST_F(TranslatorTest, ObjectWithoutTermKeepsItsPropertyUntilReadBack) {
  const uint32_t ident = zod_.AddObject(m_, "MainForm", "Button1", "Hint", module::utString, module::ucButton);
  vcl::TForm* main = MakeForm("MainForm", true);
  auto* button = main->FindComponent("Button1");
  vcl::SetStrProp(button, vcl::GetPropInfo(button, "Hint"), "as designed");
  TZodObject object;
  object.Ident = ident;
  // Switching, to the design language as to another, leaves the property as the form has
  // it and the object as it was.
  for (const char* language : {"de", "en"}) {
    ASSERT_TRUE(tr_->SwitchLanguage(Id(language), false, false, ""));
    EXPECT_EQ(Text(button, "Hint"), "as designed") << language;
    ASSERT_TRUE(zod_.GetObject(m_, object));
    EXPECT_EQ(object.Localization, 0u);
  }
  // Reading the form back gives the object a term holding the live value.
  ASSERT_TRUE(tr_->SwitchLanguage(Id("en"), true, false, ""));
  ASSERT_TRUE(zod_.GetObject(m_, object));
  ASSERT_NE(object.Localization, 0u);
  EXPECT_EQ(zod_.GetLongStringW(m_, object.Localization, Id("en"), false), u"as designed");
}

// A frame's texts are catalogued under the frame's own form (its class name without the
// T) and apply wherever a form embeds it; the designer reads them from the frame's own
// form only.
TEST_F(TranslatorTest, EmbeddedFramesTakeTheTextsOfTheirOwnForm) {
  const uint32_t term = Catalogue("Frame", "TitleLabel", "Caption", u"Address", u"Anschrift");
  vcl::TForm* main = MakeForm("MainForm", true);
  auto* frame = main->Add<vcl::TFrame>("HomeAddress");
  frame->SetState(vcl::csInline, true);
  auto* title = frame->Add<vcl::TLabel>("TitleLabel");
  title->SetCaption("Address");
  auto* inner = frame->Add<vcl::TFrame>("Nested");
  inner->SetState(vcl::csInline, true);
  auto* innerTitle = inner->Add<vcl::TLabel>("TitleLabel");
  // A component of the form itself with a frame component's name is the form's own.
  auto* formTitle = main->Add<vcl::TLabel>("TitleLabel");
  formTitle->SetCaption("Address");
  // A form the catalogue lacks still shows its frames' texts.
  vcl::TForm* plain = MakeForm("Uncatalogued", true);
  auto* plainFrame = plain->Add<vcl::TFrame>("Billing");
  plainFrame->SetState(vcl::csInline, true);
  auto* plainTitle = plainFrame->Add<vcl::TLabel>("TitleLabel");

  ASSERT_TRUE(tr_->SwitchLanguage(Id("de"), false, false, ""));
  EXPECT_EQ(Text(title, "Caption"), "Anschrift");
  EXPECT_EQ(Text(innerTitle, "Caption"), "Anschrift");
  EXPECT_EQ(Text(plainTitle, "Caption"), "Anschrift");
  EXPECT_EQ(Text(formTitle, "Caption"), "Address");
  EXPECT_EQ(main->Caption(), "Verkauf");
  EXPECT_EQ(plain->Caption(), "design");

  title->SetCaption("Changed in the form");
  ASSERT_TRUE(tr_->SwitchLanguage(Id("de"), true, false, ""));
  EXPECT_EQ(zod_.GetLongStringW(m_, term, Id("de"), false), u"Anschrift");
}

// Setting a form's texts only reads the module, in one bracket: another process that
// rewrites all of the form's texts in one update is seen wholly or not at all by a switch,
// and its last change by the next switch after it.
TEST_F(TranslatorTest, SwitchShowsAnotherProcessesUpdateWhole) {
  vcl::TForm* main = MakeForm("MainForm", true);
  std::vector<uint32_t> terms;
  for (const TZodObject& object : zod_.GetObjects(m_, 1)) terms.push_back(object.Localization);
  ASSERT_EQ(terms.size(), 3u);
  constexpr int kRounds = 200;
  const pid_t pid = ForkChange([&](TZod& other, int m) {
    for (int round = 1; round <= kRounds; ++round) {
      const std::string text = "Round " + std::to_string(round);
      other.BeginModuleUpdate(m);
      for (uint32_t term : terms)
        if (!PutTerm(other, m, Id("de"), term, std::u16string(text.begin(), text.end()))) return false;
      other.EndModuleUpdate(m);
    }
    return true;
  });
  ASSERT_GE(pid, 0);
  const auto texts = [&] {
    return std::vector<std::string>{main->Caption(), Text(main->FindComponent("Button1"), "Caption"),
                                    Text(main->FindComponent("Label1"), "Hint")};
  };
  int status = 0;
  for (bool running = true; running;) {
    running = waitpid(pid, &status, WNOHANG) == 0;
    if (!tr_->SwitchLanguage(Id("de"), false, false, "MainForm")) ADD_FAILURE() << "switch failed";
    const std::vector<std::string> now = texts();
    if (now[0].starts_with("Round ") || now[1].starts_with("Round ") || now[2].starts_with("Round ")) {
      EXPECT_TRUE(now[0] == now[1] && now[1] == now[2]) << now[0] << " / " << now[1] << " / " << now[2];
    }
  }
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  ASSERT_TRUE(tr_->SwitchLanguage(Id("de"), false, false, "MainForm"));
  const std::string last = "Round " + std::to_string(kRounds);
  EXPECT_EQ(texts(), (std::vector<std::string>{last, last, last}));
  // Reading back writes, so it is not bracketed: it still gives a new term to an object
  // that has none.
  const uint32_t ident = zod_.AddObject(m_, "MainForm", "Button1", "Hint", module::utString, module::ucButton);
  ASSERT_TRUE(tr_->SwitchLanguage(Id("de"), true, false, "MainForm"));
  TZodObject object = module::test::StoredObject(zod_, m_, ident);
  EXPECT_NE(object.Localization, 0u);
}

// A switch keeps what it read for the next switch while the module is unchanged: a text,
// an object or a language another process (or this one) changes afterwards is seen at the
// next switch, and a component that moved among the form's components is still found.
TEST_F(TranslatorTest, KeptSwitchTextsFollowEveryChangeOfTheModule) {
  vcl::TForm* main = MakeForm("MainForm", true);
  const uint32_t caption = zod_.GetObjects(m_, 1).front().Localization;
  ASSERT_TRUE(tr_->SwitchLanguage(Id("de"), false, false, "MainForm"));
  ASSERT_TRUE(tr_->SwitchLanguage(Id("en"), false, false, "MainForm"));
  ASSERT_EQ(main->Caption(), "Sales");
  const auto inOtherProcess = [&](const std::function<bool(TZod&, int)>& change) {
    ASSERT_TRUE(module::test::ChildSucceeded(ForkChange(change)));
  };
  // One write outside a bracket, as a single edit makes it.
  inOtherProcess([&](TZod& other, int m) { return PutTerm(other, m, Id("de"), caption, u"Umsatz"); });
  ASSERT_TRUE(tr_->SwitchLanguage(Id("de"), false, false, "MainForm"));
  EXPECT_EQ(main->Caption(), "Umsatz");
  // A new object of the form, and a new language to switch to.
  inOtherProcess([&](TZod& other, int m) {
    const TZodObject object = module::test::AddObjectWithTerm(other, m, "MainForm", "Button1", "Hint");
    return PutTerm(other, m, Id("de"), object.Localization, u"Fenster schließen") &&
           AddLanguage(other, m, "fr", u"Français");
  });
  ASSERT_TRUE(tr_->SwitchLanguage(Id("de"), false, false, "MainForm"));
  EXPECT_EQ(Text(main->FindComponent("Button1"), "Hint"), "Fenster schlie\xDF" "en");
  EXPECT_TRUE(tr_->SwitchLanguage(Id("fr"), false, false, "MainForm"));
  // This process's own write.
  ASSERT_TRUE(PutTerm(zod_, m_, Id("de"), caption, u"Verkäufe"));
  ASSERT_TRUE(tr_->SwitchLanguage(Id("de"), false, false, "MainForm"));
  EXPECT_EQ(main->Caption(), "Verk\xE4ufe");

  // Button1 destroyed and made again after Label1: the same name at another place, and
  // another component where it was.
  main->DestroyComponent(main->FindComponent("Button1"));
  auto* button = main->Add<vcl::TButton>("Button1");
  button->SetParent(main);
  ASSERT_TRUE(tr_->SwitchLanguage(Id("de"), false, false, "MainForm"));
  EXPECT_EQ(Text(button, "Caption"), "Schlie\xDF" "en");
  EXPECT_EQ(Text(main->FindComponent("Label1"), "Hint"), "Summe");
}

TEST_F(TranslatorTest, ReadingBackMarksOtherLanguagesForReview) {
  const uint32_t term = Catalogue("MainForm", "Label1", "Caption", u"Amount", u"Betrag");
  ASSERT_TRUE(AddLanguage(zod_, m_, "fr", u"Français"));
  ASSERT_TRUE(PutTerm(zod_, m_, Id("fr"), term, u"", module::usUnTranslated));
  vcl::TForm* main = MakeForm("MainForm", true);
  vcl::SetStrProp(main->FindComponent("Label1"), vcl::GetPropInfo(main->FindComponent("Label1"), "Caption"),
                  "Sum");
  ASSERT_TRUE(tr_->SwitchLanguage(Id("en"), true, false, ""));
  auto en = ReadTerm(zod_, m_, Id("en"), term);
  ASSERT_TRUE(en);
  EXPECT_EQ(en->Status, module::usForReview);
  EXPECT_EQ(ReadTerm(zod_, m_, Id("de"), term)->Status, module::usForReview);
  EXPECT_EQ(ReadTerm(zod_, m_, Id("fr"), term)->Status, module::usUnTranslated);
  EXPECT_EQ(tr_->TermText(term), u"Sum");
}

TEST_F(TranslatorTest, LocaleGroupsFollowTheirFlags) {
  vcl::ResetFormatSettings();
  TZodLanguage de;
  de.Identifier = Id("de");
  ASSERT_TRUE(zod_.GetLanguage(m_, de));
  ASSERT_EQ(de.ApplyFlags, 0);
  tr_->SetLocale(Id("de"));
  EXPECT_EQ(vcl::FormatSettings().LongDayNames[1], "Sunday");  // flags 0: nothing changes

  const char16_t* days[] = {u"Montag", u"Dienstag", u"Mittwoch", u"Donnerstag", u"Freitag", u"Samstag", u"Sonntag"};
  for (size_t i = 0; i < 7; ++i) de.LongDayNames[i] = days[i];
  de.TwentyFourHour = true;
  de.TimeSeparator = u".";
  de.DecimalSeparator = u",";
  de.CurrencyString = u"DM";
  de.ShortDateFormat = u"dd.MM.yyyy";
  de.ApplyFlags = module::kApplyDayNames | module::kApplyTime | module::kApplyCurrency;
  ASSERT_TRUE(zod_.SetLanguage(m_, de));
  tr_->SetLocale(Id("de"));
  const vcl::TFormatSettings& fs = vcl::FormatSettings();
  EXPECT_EQ(fs.LongDayNames[1], "Sonntag");
  EXPECT_EQ(fs.LongDayNames[2], "Montag");
  EXPECT_EQ(fs.LongDayNames[7], "Samstag");
  EXPECT_EQ(fs.ShortTimeFormat, "h:mm");
  EXPECT_EQ(fs.LongTimeFormat, "h:mm:ss");
  EXPECT_EQ(fs.TimeSeparator, '.');
  EXPECT_EQ(fs.DecimalSeparator, ',');
  EXPECT_EQ(fs.CurrencyString, "DM");
  EXPECT_EQ(fs.ShortDateFormat, "M/d/yyyy");  // date group not flagged
  vcl::ResetFormatSettings();

  EXPECT_EQ(BuildTimeFormats(false, false, false).Short, "h:mm AMPM");
  EXPECT_EQ(BuildTimeFormats(false, false, true).Long, "hh:mm:ss AMPM");
  EXPECT_EQ(BuildTimeFormats(false, true, false).Long, "AMPM h:mm:ss");
}

TEST_F(TranslatorTest, RightToLeftDependsOnTheDesignLanguage) {
  EXPECT_FALSE(tr_->IsCurrentRightToLeft());
  ASSERT_TRUE(AddLanguage(zod_, m_, "IL", u"Hebrew", 177));
  ASSERT_TRUE(zod_.SetDesignTimeLanguage(m_, Id("IL")));
  EXPECT_TRUE(tr_->IsCurrentRightToLeft());
  tr_->DesignLangChanged();
  EXPECT_EQ(tr_->DesignLanguage(), Id("IL"));
  EXPECT_EQ(tr_->DesignCharset(), 177);
}

// The module beside the executable, new modules and closing.
class TranslatorProjectTest : public module::test::ModuleFixture {
protected:
  void TearDown() override {
    CloseAll(zod_);
    ModuleFixture::TearDown();
  }
  TZod& zod_ = module::GlobalZOD();
};

TEST_F(TranslatorProjectTest, ModuleBesideTheExecutableIsFoundIgnoringCase) {
  TQuintrel none(zod_);
  EXPECT_EQ(none.OpenProject(Path("Sales")), -1);
  EXPECT_EQ(none.GetProjectFile(), "");
  module::TLangStringList empty;
  EXPECT_FALSE(none.SelectLanguage(empty, 0));
  EXPECT_FALSE(none.SwitchLanguage(Id("de"), false, true, ""));

  MakeModule("sales.zod");
  TQuintrel tr(zod_);
  std::vector<std::string> shown;
  auto previous = win32::SetMessageBoxSink([&](const win32::TMessageBoxRequest& r) {
    shown.push_back(text::WideToUtf8(r.text));
    return 1;
  });
  const int m = tr.OpenProject(Path("Sales"));
  win32::SetMessageBoxSink(previous);
  ASSERT_GE(m, 0);
  EXPECT_EQ(tr.GetProjectFile(), Path("sales.zod"));
  EXPECT_TRUE(shown.empty());  // a new module is current
  EXPECT_TRUE(tr.CloseProject(false));
  EXPECT_FALSE(tr.CloseProject(false));
}

TEST_F(TranslatorProjectTest, OldModuleOpensAfterAWarning) {
  const std::string file = MakeModule("Old.ZOD");
  {
    TZod zod(TZod::TStart::Empty);
    const int m = zod.RegisterModule(file, false);
    const int32_t old = 100;
    ASSERT_TRUE(zod.SetProperty("ZodVer", &old, m, sizeof old));
  }
  std::vector<std::string> shown;
  auto previous = win32::SetMessageBoxSink([&](const win32::TMessageBoxRequest& r) {
    shown.push_back(text::WideToUtf8(r.text));
    return 1;
  });
  TQuintrel tr(zod_);
  EXPECT_GE(tr.OpenProject(Path("Old.exe")), 0);
  win32::SetMessageBoxSink(previous);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "This Universal Language Module is old, please re-pack it immediately");
}

TEST_F(TranslatorProjectTest, NewProjectCreatesTheOriginalLanguageOnlyWhenNoneIsOpen) {
  TQuintrel tr(zod_);
  ASSERT_TRUE(tr.NewProject(Path("App.exe")));
  EXPECT_EQ(tr.GetProjectFile(), Path("App.ZOD"));
  EXPECT_EQ(zod_.GetDesignTimeLanguage(tr.Module()), module::kDesignPlaceholder);
  TZodLanguage original;
  original.Identifier = module::kDesignPlaceholder;
  ASSERT_TRUE(zod_.GetLanguage(tr.Module(), original));
  EXPECT_EQ(original.Name, u"Original Language");
  EXPECT_FALSE(tr.NewProject(Path("Second.exe")));
  EXPECT_FALSE(std::filesystem::exists(Path("Second.ZOD")));
  EXPECT_TRUE(tr.CloseProject(true));
  EXPECT_FALSE(std::filesystem::exists(Path("App.ZOD")));
  EXPECT_EQ(tr.GetProjectFile(), "");
}

// The process-wide translator: redirected form handlers, switching on show, the system
// menu's language list and mirroring.
class TranslatorHookTest : public TranslatorTest {};

TEST_F(TranslatorHookTest, FormsAreSwitchedWhenShownAndHandlersComeBackAtShutdown) {
  const auto before = vcl::TCustomForm::ShowWindowHandler().target_type().name();
  EXPECT_TRUE(TQuintrel::IsDevelopmentEnvironment("/opt/cbuilder/bin/bcb.exe"));
  EXPECT_FALSE(TQuintrel::IsDevelopmentEnvironment("/opt/sales/Sales"));
  tr_->RedirectFormHandlers();
  EXPECT_TRUE(tr_->HandlersRedirected());

  vcl::TForm* first = MakeForm("MainForm", true);
  EXPECT_EQ(first->Caption(), "design");  // current language is the design language
  zod_.SetCurrentLanguage(m_, Id("de"));
  vcl::TForm* second = MakeForm("MainForm_1", false);
  second->SetVisible(true);
  EXPECT_EQ(second->Caption(), "Verkauf");
  EXPECT_EQ(first->Caption(), "design");  // only the form being shown

  tr_->RestoreFormHandlers();
  EXPECT_STREQ(vcl::TCustomForm::ShowWindowHandler().target_type().name(), before);
  vcl::TForm* third = MakeForm("Other", true);
  EXPECT_EQ(third->Caption(), "design");
}

TEST_F(TranslatorHookTest, SystemMenuListsLanguagesAndSwitchesOnChoice) {
  tr_->RedirectFormHandlers();
  vcl::TForm* form = MakeForm("MainForm", true);
  ASSERT_TRUE(zod_.SetShowLangList(m_, true));
  vcl::TMessage open{win32::WM_SYSCOMMAND, kSysMenuMouseOpen, 0, 0};
  form->Dispatch(open);
  module::TLangStringList languages;
  zod_.GetLangList(m_, languages);
  ASSERT_EQ(languages.Items().size(), 2u);
  const unsigned de = languages.Items()[0].second == Id("de") ? 0 : 1;
  const win32::HMENU menu = form->SystemMenu();
  EXPECT_NE(win32::GetMenuState(menu, kLangListSeparator, win32::MF_BYCOMMAND), win32::kMenuFailed);
  EXPECT_EQ(win32::GetMenuString(menu, kLangListFirst + de, win32::MF_BYCOMMAND), u"Deutsch");
  EXPECT_EQ(win32::GetMenuString(menu, kLangListFirst + 1 - de, win32::MF_BYCOMMAND), u"English");
  EXPECT_TRUE(win32::GetMenuState(menu, kLangListFirst + 1 - de, win32::MF_BYCOMMAND) & win32::MF_CHECKED);

  vcl::TMessage choose{win32::WM_SYSCOMMAND, kLangListFirst + de, 0, 0};
  form->Dispatch(choose);
  EXPECT_EQ(form->Caption(), "Verkauf");
  form->Dispatch(open);  // rebuilt: the check mark moved
  EXPECT_TRUE(win32::GetMenuState(form->SystemMenu(), kLangListFirst + de, win32::MF_BYCOMMAND) & win32::MF_CHECKED);
  EXPECT_FALSE(win32::GetMenuState(form->SystemMenu(), kLangListFirst + 1 - de, win32::MF_BYCOMMAND) &
               win32::MF_CHECKED);
}

TEST_F(TranslatorHookTest, EveryLanguageIsListedButOnlyTwentyNineCanBeChosen) {
  const auto addLanguages = [&](int from, int to) {
    for (int i = from; i < to; ++i) {
      const char id[3] = {static_cast<char>('a' + i % 26), static_cast<char>('0' + i / 26), 0};
      ASSERT_TRUE(AddLanguage(zod_, m_, id, std::u16string(id, id + 2)));
    }
  };
  addLanguages(0, 28);
  vcl::TForm* form = MakeForm("MainForm", true);
  ASSERT_TRUE(zod_.SetShowLangList(m_, true));
  tr_->BuildSystemLangList(*form, 0, true);
  const win32::HMENU menu = form->SystemMenu();
  EXPECT_NE(win32::GetMenuState(menu, kLangListFirst + 29, win32::MF_BYCOMMAND), win32::kMenuFailed);
  EXPECT_EQ(win32::GetMenuState(menu, kLangListFirst + 30, win32::MF_BYCOMMAND), win32::kMenuFailed);
  const module::TLanguageId before = zod_.GetCurrentLanguage(m_);
  vcl::TMessage last{win32::WM_SYSCOMMAND, kLangListFirst + 29, 0, 0};
  tr_->WMSysCommand(*form, last, nullptr);
  EXPECT_EQ(zod_.GetCurrentLanguage(m_), before);

  // Entries past the last id the fixed range covers are replaced, not piled up, on a rebuild.
  addLanguages(28, 40);
  tr_->BuildSystemLangList(*form, 0, true);
  const int count = win32::GetMenuItemCount(menu);
  tr_->BuildSystemLangList(*form, 0, true);
  EXPECT_EQ(win32::GetMenuItemCount(menu), count);
  EXPECT_NE(win32::GetMenuState(menu, kLangListFirst + 41, win32::MF_BYCOMMAND), win32::kMenuFailed);
  // The window's own commands stay in the menu the languages are added to.
  for (win32::UINT command : {win32::SC_RESTORE, win32::SC_MOVE, win32::SC_SIZE, win32::SC_MINIMIZE,
                              win32::SC_MAXIMIZE, win32::SC_CLOSE})
    EXPECT_NE(win32::GetMenuState(menu, command, win32::MF_BYCOMMAND), win32::kMenuFailed) << command;
}

TEST_F(TranslatorHookTest, DecisionTermOverridesTheModuleSetting) {
  const uint32_t term =
      Catalogue("MainForm", "MainForm", "ShowLanguageSelectionInSystemMenu", u" FALSE ", u"yes please");
  EXPECT_EQ(tr_->GetTermIDOfSystemList("MainForm"), term);
  EXPECT_EQ(tr_->GetTermIDOfSystemList(""), 0u);
  EXPECT_EQ(tr_->GetTermIDOfSystemList("Other"), 0u);
  vcl::TForm* form = MakeForm("MainForm", true);
  ASSERT_TRUE(zod_.SetShowLangList(m_, true));
  tr_->SetCurrentLanguage(Id("en"), 0);
  tr_->BuildSystemLangList(*form, 0, true);
  EXPECT_EQ(win32::GetMenuState(form->SystemMenu(), kLangListSeparator, win32::MF_BYCOMMAND), win32::kMenuFailed);
  ASSERT_TRUE(zod_.SetShowLangList(m_, false));
  tr_->SetCurrentLanguage(Id("de"), 0);
  tr_->BuildSystemLangList(*form, 0, true);
  EXPECT_NE(win32::GetMenuState(form->SystemMenu(), kLangListSeparator, win32::MF_BYCOMMAND), win32::kMenuFailed);
}

TEST_F(TranslatorHookTest, MirroringAPanelWithACheckBoxTwiceRestoresTheLayout) {
  vcl::TForm* form = MakeForm("MainForm", true);
  form->SetClientWidth(400);
  auto* panel = form->Add<vcl::TPanel>("Panel1");
  panel->SetParent(form);
  panel->SetBounds(0, 0, 120, 200);
  panel->SetAlign(vcl::alLeft);
  auto* check = form->Add<vcl::TCheckBox>("Check1");
  check->SetParent(panel);
  check->SetBounds(10, 10, 80, 17);
  auto* menu = form->Add<vcl::TMainMenu>("Menu1");
  for (const char* caption : {"&File", "&Edit", "&Help"}) {
    auto* item = form->Add<vcl::TMenuItem>();
    item->SetCaption(caption);
    menu->Items()->Add(item);
  }
  form->SetMenu(menu);
  const int panelWidth = panel->ClientWidth();
  const auto alignment = [&] { return vcl::GetOrdProp(check, vcl::GetPropInfo(check, "Alignment")); };
  const int64_t alignmentBefore = alignment();

  tr_->FlipForm(*form);
  tr_->SetFlipState(true);
  EXPECT_EQ(panel->Align(), vcl::alRight);
  EXPECT_EQ(panel->Left(), form->ClientWidth() - panel->Width());
  EXPECT_EQ(check->Left(), panelWidth - 80 - 10);
  EXPECT_NE(alignment(), alignmentBefore);
  EXPECT_TRUE(win32::GetWindowLong(check->Handle(), win32::GWL_STYLE) & win32::BS_LEFTTEXT);
  EXPECT_EQ(menu->Items()->Items(0)->Caption(), "&Help");
  EXPECT_EQ(menu->Items()->Items(2)->Caption(), "&File");
  const win32::HMENU bar = win32::GetMenu(form->Handle());
  EXPECT_TRUE(win32::GetMenuState(bar, 0, win32::MF_BYPOSITION) & win32::MFT_RIGHTJUSTIFY);
  win32::UINT drop = 0;
  win32::SystemParametersInfo(win32::SPI_GETMENUDROPALIGNMENT, 0, &drop, 0);
  EXPECT_EQ(drop, 1u);

  tr_->FlipForm(*form);
  tr_->SetFlipState(false);
  EXPECT_EQ(panel->Align(), vcl::alLeft);
  EXPECT_EQ(panel->Left(), 0);
  EXPECT_EQ(check->Left(), 10);
  EXPECT_EQ(alignment(), alignmentBefore);
  EXPECT_FALSE(win32::GetWindowLong(check->Handle(), win32::GWL_STYLE) & win32::BS_LEFTTEXT);
  EXPECT_EQ(menu->Items()->Items(0)->Caption(), "&File");
  EXPECT_FALSE(win32::GetMenuState(win32::GetMenu(form->Handle()), 0, win32::MF_BYPOSITION) & win32::MFT_RIGHTJUSTIFY);
  win32::SystemParametersInfo(win32::SPI_GETMENUDROPALIGNMENT, 0, &drop, 0);
  EXPECT_EQ(drop, 0u);
}

TEST_F(TranslatorHookTest, FlipStateTermMirrorsOnlyWhenItDiffersFromTheTranslatorState) {
  Catalogue("MainForm", "MainForm", "FlipState", u"false", u"TRUE");
  vcl::TForm* form = MakeForm("MainForm", true);
  auto* panel = form->Add<vcl::TPanel>("Panel1");
  panel->SetParent(form);
  panel->SetAlign(vcl::alLeft);
  ASSERT_TRUE(tr_->SwitchLanguage(Id("de"), false, false, ""));
  EXPECT_TRUE(tr_->FlipState());
  EXPECT_EQ(panel->Align(), vcl::alRight);
  ASSERT_TRUE(tr_->SwitchLanguage(Id("de"), false, false, ""));
  EXPECT_EQ(panel->Align(), vcl::alRight);  // already mirrored
  ASSERT_TRUE(tr_->SwitchLanguage(Id("en"), false, false, ""));
  EXPECT_FALSE(tr_->FlipState());
  EXPECT_EQ(panel->Align(), vcl::alLeft);
}

}  // namespace
}  // namespace quintrel::runtime::test
