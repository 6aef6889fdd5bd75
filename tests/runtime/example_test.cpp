// The translator end to end on the example project's forms: every kind of catalogued
// property written in another language and read back into the module.
#include <gtest/gtest.h>

#include <filesystem>

#include "../module/module_fixture.h"
#include "module/objects.h"
#include "module/terms.h"
#include "platform/vcl/comctrls.h"
#include "platform/vcl/dialogs.h"
#include "platform/vcl/stdctrls.h"
#include "platform/vcl/extctrls.h"
#include "platform/vcl/graphics.h"
#include "platform/vcl/streaming.h"
#include "platform/vcl/typinfo.h"
#include "runtime/qcomdlg.h"
#include "runtime/quintrel.h"
#include "text/codepages.h"

namespace quintrel::runtime::test {
namespace {

using module::test::Id;
namespace fs = std::filesystem;

fs::path ExampleProject() { return fs::path(__FILE__).parent_path().parent_path().parent_path() / "examples/project"; }

class ExampleSwitchTest : public module::test::ModuleFixture {
protected:
  void SetUp() override {
    ModuleFixture::SetUp();
    m_ = zod_.RegisterModule(MakeModule("Sample.ZOD"), false);
    ASSERT_EQ(m_, 0);
    for (const char* id : {"en", "de", "fr"}) ASSERT_TRUE(module::test::AddLanguage(zod_, m_, id));
    ASSERT_TRUE(zod_.SetDesignTimeLanguage(m_, Id("en")));
    tr_ = std::make_unique<TQuintrel>(zod_);
    tr_->SetModule(m_);
    tr_->DesignLangChanged();
    main_ = vcl::LoadComponentFile((ExampleProject() / "Main.dfm").string());
    form_ = dynamic_cast<vcl::TCustomForm*>(main_.get());
    ASSERT_NE(form_, nullptr);
  }
  void TearDown() override {
    main_.reset();
    tr_.reset();
    FinalizeQcomdlg();
    while (zod_.GetModuleCount() > 0) zod_.UnRegisterModule(0, false);
    ModuleFixture::TearDown();
  }

  // An object whose English term the translator fills from the live form (read direction);
  // the German text, when given, is stored signed off.
  uint32_t Catalogue(const std::string& comp, const std::string& prop, const std::u16string& de = {}) {
    const uint32_t term =
        module::test::AddObjectWithTerm(zod_, m_, "MainForm", comp, prop, module::utString, module::ucUnknown).Localization;
    if (!de.empty()) PutBytes(Id("de"), term, text::Utf16LeBytes(de));
    return term;
  }
  void PutBytes(module::TLanguageId language, uint32_t ident, std::vector<uint8_t> bytes) {
    ASSERT_TRUE(module::test::PutTermBytes(zod_, m_, language, ident, std::move(bytes)));
  }
  std::optional<module::test::TReadTerm> Term(module::TLanguageId language, uint32_t ident) {
    return module::test::ReadTerm(zod_, m_, language, ident);
  }
  std::u16string Text(module::TLanguageId language, uint32_t ident) {
    return zod_.GetLongStringW(m_, ident, language, false);
  }
  vcl::TComponent* Find(const char* name) { return form_->FindComponent(name); }
  std::string Str(vcl::TObject* c, const char* prop) { return vcl::GetStrProp(c, vcl::GetPropInfo(c, prop)); }
  int64_t Ord(vcl::TComponent* c, const char* prop) { return vcl::GetOrdProp(c, vcl::GetPropInfo(c, prop)); }

  module::TZod& zod_ = module::GlobalZOD();
  int m_ = -1;
  std::unique_ptr<TQuintrel> tr_;
  std::unique_ptr<vcl::TComponent> main_;
  vcl::TCustomForm* form_ = nullptr;
};

TEST_F(ExampleSwitchTest, EveryKindOfPropertyGoesBothWays) {
  const uint32_t caption = Catalogue("", "Caption", u"Beispiel-Adressbuch");
  const uint32_t hint = Catalogue("SearchEdit", "Hint", u"Namen suchen");
  const uint32_t line = Catalogue("GroupList", "Items.Strings[1]", u"Familie");
  const uint32_t column = Catalogue("ContactList", "Columns.Items[1].Caption", u"Telefon");
  const uint32_t panel = Catalogue("StatusBar", "Panels.Items[0].Text", u"Bereit");
  const uint32_t fontName = Catalogue("TitleLabel", "Font.Name", u"Arial");
  const uint32_t color = Catalogue("", "Color", u"clWindow");
  const uint32_t style = Catalogue("TitleLabel", "Font.Style", u"[fsItalic]");
  const uint32_t align = Catalogue("GroupList", "Align", u"alRight");
  const uint32_t menu = Catalogue("FileMenu", "Caption", u"&Datei");
  const uint32_t title = Catalogue("OpenDialog1", "Title", u"Adressbuch öffnen");
  const uint32_t picture = Catalogue("LogoImage", "Picture.Data");

  // The read direction fills the design language from the form as designed.
  ASSERT_TRUE(tr_->SwitchLanguage(Id("en"), true, true, "MainForm"));
  EXPECT_EQ(Text(Id("en"), caption), u"Sample Address Book");
  EXPECT_EQ(Text(Id("en"), line), u"Family");
  EXPECT_EQ(Text(Id("en"), column), u"Phone");
  EXPECT_EQ(Text(Id("en"), color), u"clBtnFace");
  EXPECT_EQ(Text(Id("en"), style), u"[fsBold]");
  EXPECT_EQ(Text(Id("en"), align), u"alLeft");
  const auto image = Term(Id("en"), picture);
  ASSERT_TRUE(image);
  ASSERT_FALSE(image->Data.empty());
  auto* logo = dynamic_cast<vcl::TImage*>(Find("LogoImage"));
  ASSERT_NE(logo, nullptr);
  const std::string designImage = logo->Picture()->Graphic()->SaveToStream();

  // German gets its own picture: the design image with other pixels.
  std::vector<uint8_t> germanImage(designImage.begin(), designImage.end());
  germanImage.back() ^= 0xFF;
  PutBytes(Id("de"), picture, germanImage);

  ASSERT_TRUE(tr_->SwitchLanguage(Id("de"), false, true, ""));
  EXPECT_EQ(form_->Caption(), "Beispiel-Adressbuch");
  EXPECT_EQ(Str(Find("SearchEdit"), "Hint"), "Namen suchen");
  EXPECT_EQ(Str(Find("FileMenu"), "Caption"), "&Datei");
  auto* list = dynamic_cast<vcl::TListBox*>(Find("GroupList"));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->Items()->Strings(1), "Familie");
  EXPECT_EQ(list->Items()->Strings(0), "All contacts");
  EXPECT_EQ(Ord(Find("GroupList"), "Align"), vcl::alRight);
  EXPECT_EQ(Ord(form_, "Color"), static_cast<int64_t>(vcl::clWindow));
  auto* label = dynamic_cast<vcl::TControl*>(Find("TitleLabel"));
  EXPECT_EQ(label->Font()->Name(), "Arial");
  EXPECT_EQ(label->Font()->Style(), 1u << vcl::fsItalic);
  EXPECT_EQ(logo->Picture()->Graphic()->SaveToStream(), std::string(germanImage.begin(), germanImage.end()));
  // A dialog's texts wait for the dialog to open; its Title is a property of its own.
  EXPECT_EQ(Str(Find("OpenDialog1"), "Title"), "Adressbuch \xF6" "ffnen");
  auto* columns = dynamic_cast<vcl::TListView*>(Find("ContactList"))->Columns();
  EXPECT_EQ(Str(columns->Items(1), "Caption"), "Telefon");
  EXPECT_EQ(Str(columns->Items(0), "Caption"), "Name");
  auto* panels = dynamic_cast<vcl::TStatusBar*>(Find("StatusBar"))->Panels();
  EXPECT_EQ(Str(panels->Items(0), "Text"), "Bereit");
  for (uint32_t term : {hint, fontName, menu, title, panel}) EXPECT_EQ(Term(Id("en"), term)->Status, module::usForReview);

  // Back to English; French has nothing: with fall-back the design texts, without empty.
  ASSERT_TRUE(zod_.SetUseOriginalIfUntranslated(m_, true));
  ASSERT_TRUE(tr_->SwitchLanguage(Id("fr"), false, true, ""));
  EXPECT_EQ(form_->Caption(), "Sample Address Book");
  EXPECT_EQ(logo->Picture()->Graphic()->SaveToStream(), designImage);
  ASSERT_TRUE(zod_.SetUseOriginalIfUntranslated(m_, false));
  ASSERT_TRUE(tr_->SwitchLanguage(Id("fr"), false, true, ""));
  EXPECT_EQ(form_->Caption(), "");

  // A designer change read back marks the German translation for review (the first
  // read marked them all, as their English texts were new).
  ASSERT_TRUE(tr_->SwitchLanguage(Id("en"), false, true, ""));
  PutBytes(Id("de"), caption, text::Utf16LeBytes(u"Beispiel-Adressbuch"));
  PutBytes(Id("de"), hint, text::Utf16LeBytes(u"Namen suchen"));
  form_->SetCaption("Address Book");
  ASSERT_TRUE(tr_->SwitchLanguage(Id("en"), true, true, ""));
  EXPECT_EQ(Text(Id("en"), caption), u"Address Book");
  EXPECT_EQ(Term(Id("de"), caption)->Status, module::usForReview);
  EXPECT_EQ(Term(Id("de"), hint)->Status, module::usSignedOff);
}

}  // namespace
}  // namespace quintrel::runtime::test
