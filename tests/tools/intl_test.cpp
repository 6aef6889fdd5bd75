// The internationalization update on live forms built in code: the capture of the
// designer's texts, the catalogue made from a selection, and what it keeps and removes.
#include "tools/intlupdate.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "module/objects.h"
#include "platform/vcl/forms.h"
#include "platform/vcl/stdctrls.h"
#include "platform/vcl/typinfo.h"
#include "runtime/proptransfer.h"
#include "runtime/quintrel.h"
#include "text/unicode.h"
#include "tools/intlobjects.h"
#include "tools_fixture.h"

namespace quintrel::tools::test {
namespace {

using module::GlobalZOD;
using module::test::Id;
using module::TZodObject;

class IntlUpdateTest : public ToolsFixture {
protected:
  void SetUp() override {
    ToolsFixture::SetUp();
    m_ = NewModule("App.zod");
    for (const char* id : {"en", "de"}) ASSERT_TRUE(module::test::AddLanguage(zod_, m_, id));
    ASSERT_TRUE(zod_.SetDesignTimeLanguage(m_, Id("en")));
    form_ = std::make_unique<vcl::TForm>();
    form_->SetName("MainForm");
    form_->SetCaption("Sales");
    button_ = form_->Add<vcl::TButton>("Button1");
    button_->SetParent(form_.get());
    button_->SetCaption("Close");
    vcl::SetOrdProp(button_, vcl::GetPropInfo(button_, "Anchors"), 0b101);  // akLeft, akRight
    label_ = form_->Add<vcl::TLabel>("Label1");
    label_->SetParent(form_.get());
    label_->SetHint(std::string(300, 'h'));
  }
  void TearDown() override {
    form_.reset();
    ToolsFixture::TearDown();
  }

  // The selection the browser makes of the form: caption, the button's caption and
  // anchors, and the label's long hint (cut in the tree, whole as attached data).
  TSelection Selection() const {
    TSelection s;
    s.Add("MainForm", "TForm", "", "", {"Caption", "'Sales'", ""});
    s.Add("MainForm", "TForm", "Button1", "TButton", {"Caption", "'" + button_->Caption() + "'", ""});
    s.Add("MainForm", "TForm", "Button1", "TButton", {"Anchors", "[akLeft, akRight]", ""});
    const std::string hint = "'" + label_->Hint() + "'";
    s.Add("MainForm", "TForm", "Label1", "TLabel", {"Hint", hint.substr(0, 255), label_->Hint()});
    return s;
  }
  TIntlUpdateResult Update(const TSelection& selection, std::vector<std::string> listed = {"MainForm"},
                           bool prune = false) {
    TIntlUpdateInput input;
    input.Selection = &selection;
    input.ListedForms = std::move(listed);
    input.LiveForms = {form_.get()};
    input.Prune = prune;
    TIntlUpdateResult result = UpdateObjects(m_, input);
    EXPECT_TRUE(result.Errors.empty()) << result.Errors.front();
    return result;
  }

  std::u16string Text(uint32_t term, const char* language = "en", uint8_t* status = nullptr) {
    const auto t = module::test::ReadTerm(zod_, m_, Id(language), term);
    if (t && status) *status = t->Status;
    return t ? t->Text : u"<missing>";
  }
  void Put(uint32_t term, const char* language, std::u16string text) {
    ASSERT_TRUE(module::test::PutTerm(zod_, m_, Id(language), term, text));
  }
  // "Component.Property" (or the property of the form) to object, per form.
  std::map<std::string, TZodObject> Objects(const std::string& form = "MainForm") {
    std::map<std::string, TZodObject> out;
    for (const TObjectForm& f : ObjectTree(zod_, m_))
      if (f.Name == form)
        for (const TObjectLeaf& leaf : f.Leaves)
          out[leaf.Component.empty() ? leaf.Property : leaf.Component + "." + leaf.Property] = leaf.Object;
    return out;
  }
  // Everything the update may change: the name tables, the objects and the terms.
  std::string Snapshot() {
    std::string s;
    for (const auto& list : {zod_.GetForms(m_), zod_.GetComps(m_), zod_.GetProps(m_)})
      s += module::JoinCatalogue(list) + "|";
    for (const TObjectForm& f : ObjectTree(zod_, m_))
      for (const TObjectLeaf& leaf : f.Leaves) {
        const TZodObject& o = leaf.Object;
        uint8_t en = 0, de = 0;
        s += std::to_string(o.Ident) + "/" + std::to_string(o.CompName) + "/" + std::to_string(o.Kind) + "/" +
             std::to_string(o.ZodClass) + "/" + std::to_string(o.Locked) + text::WideToUtf8(Text(o.Localization)) +
             text::WideToUtf8(Text(o.Localization, "de", &de));
        Text(o.Localization, "en", &en);
        s += std::to_string(en) + std::to_string(de) + ";";
      }
    return s;
  }

  module::TZod& zod_ = GlobalZOD();
  int m_ = -1;
  std::unique_ptr<vcl::TForm> form_;
  vcl::TButton* button_ = nullptr;
  vcl::TLabel* label_ = nullptr;
};

TEST_F(IntlUpdateTest, SelectionBecomesTheCatalogueAndASecondRunChangesNothing) {
  const TIntlUpdateResult first = Update(Selection());
  EXPECT_EQ(first.PropertiesUpdated, 4);
  EXPECT_EQ(first.ObjectsAdded, 4);
  EXPECT_EQ(first.TermsAdded, 4);
  auto objects = Objects();
  ASSERT_EQ(objects.size(), 4u);
  EXPECT_EQ(objects["Caption"].CompName, 0u);
  EXPECT_EQ(objects["Caption"].ZodClass, module::ucForm);
  EXPECT_EQ(objects["Button1.Caption"].ZodClass, module::ucButton);
  EXPECT_EQ(objects["Button1.Anchors"].Kind, module::utSet);
  uint8_t status = 0;
  EXPECT_EQ(Text(objects["Caption"].Localization, "en", &status), u"Sales");
  EXPECT_EQ(status, module::usForReview);
  EXPECT_EQ(Text(objects["Button1.Anchors"].Localization), u"akLeft, akRight");
  EXPECT_EQ(Text(objects["Label1.Hint"].Localization), std::u16string(300, u'h'));

  // The capture reads [akLeft,akRight] from the button: the same value, so the same text.
  const std::string before = Snapshot();
  const TIntlUpdateResult second = Update(Selection());
  EXPECT_FALSE(second.Changed());
  EXPECT_EQ(second.PropertiesUpdated, 4);
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(IntlUpdateTest, ADesignTextChangedInTheFormIsCapturedAndItsTranslationsReviewed) {
  Update(Selection());
  const uint32_t term = Objects()["Button1.Caption"].Localization;
  Put(term, "de", u"Schließen");
  button_->SetCaption("Shut");
  // The selection still holds the old value: an existing text is never taken from it.
  TSelection old = Selection();
  old.Add("MainForm", "TForm", "Button1", "TButton", {"Caption", "'Close'", ""});
  const TIntlUpdateResult result = Update(old);
  EXPECT_EQ(result.TermsCaptured, 1);
  uint8_t en = 0, de = 0;
  EXPECT_EQ(Text(term, "en", &en), u"Shut");
  EXPECT_EQ(en, module::usForReview);
  EXPECT_EQ(Text(term, "de", &de), u"Schließen");
  EXPECT_EQ(de, module::usForReview);
  EXPECT_EQ(Objects()["Button1.Caption"].Localization, term);
}

TEST_F(IntlUpdateTest, FormsTheSelectionLacksAreKeptUnlessListedOrPruned) {
  zod_.AddObject(m_, "Gone", "Edit1", "Text", module::utString, module::ucEditBox);
  zod_.AddObject(m_, "Listed", "Edit1", "Hint", module::utString, module::ucEditBox);
  zod_.AddUnitObject(m_, "#Strings.pas", 0, "#SHello", module::utString, module::ucResourceString);
  // Gone's form file vanished: the browser does not list it.
  TIntlUpdateResult result = Update(Selection(), {"MainForm", "Listed"});
  EXPECT_EQ(result.KeptForms, std::vector<std::string>{"Gone"});
  EXPECT_EQ(result.EmptiedForms, std::vector<std::string>{"Listed"});
  EXPECT_EQ(Objects("Gone").size(), 1u);
  EXPECT_EQ(Objects("Gone").begin()->first, "Edit1.Text");  // its names survive the save
  EXPECT_TRUE(Objects("Listed").empty());
  EXPECT_NE(module::GetFormID(zod_.GetForms(m_), "#Strings.pas"), 0u);

  // Pruning removes what the browser does not list even when the selection holds it, as a
  // selection preloaded from the module does.
  TSelection preloaded = Selection();
  preloaded.Add("Gone", "", "Edit1", "", {"Text", "", ""});
  result = Update(preloaded, {"MainForm"}, true);
  EXPECT_EQ(result.PrunedForms, std::vector<std::string>{"Gone"});
  EXPECT_EQ(module::GetFormID(zod_.GetForms(m_), "Gone"), 0u);
  EXPECT_NE(module::GetFormID(zod_.GetForms(m_), "#Strings.pas"), 0u);
}

TEST_F(IntlUpdateTest, UnselectedPropertiesGoWithTheirTextsAndSettingsSurvive) {
  Update(Selection());
  auto objects = Objects();
  Put(objects["Button1.Caption"].Localization, "de", u"Schließen");
  std::vector<TObjectForm> tree = ObjectTree(zod_, m_);
  TObjectSettings settings;
  settings.Locked = true;
  settings.Priority = 9;
  settings.Comment = u"Keep it short";
  ASSERT_EQ(ApplyObjectSettings(zod_, m_, LeavesOfPath(tree, "MainForm.Label1"), settings), 1);

  TSelection fewer = Selection();
  ASSERT_TRUE(fewer.Remove({"MainForm", "Button1", "Caption"}));
  const TIntlUpdateResult result = Update(fewer);
  EXPECT_EQ(result.RemovedProperties, std::vector<std::string>{"MainForm.Button1.Caption"});
  EXPECT_EQ(Text(objects["Button1.Caption"].Localization, "de"), u"<missing>");
  EXPECT_EQ(Text(objects["Button1.Caption"].Localization, "en"), u"<missing>");
  const TZodObject hint = Objects()["Label1.Hint"];
  EXPECT_TRUE(hint.Locked);
  EXPECT_EQ(hint.Priority, 9);
  EXPECT_EQ(ObjectComment(zod_, m_, hint), u"Keep it short");
}

TEST_F(IntlUpdateTest, AnEmptyNamedComponentMovesToTheFormItself) {
  // What older tools wrote for the form's caption: a component line with no name.
  TZodObject old =
      module::test::StoredObject(zod_, m_, zod_.AddObject(m_, "MainForm", "Temp", "Caption", module::utString, module::ucForm));
  zod_.SetComps(m_, {"0001 Temp", "0007 "});
  old.CompName = 7;
  old.Localization = zod_.GetNewTermID(m_);
  ASSERT_TRUE(zod_.SetObject(m_, old));
  Put(old.Localization, "de", u"Verkauf");

  const TIntlUpdateResult result = Update(Selection());
  EXPECT_EQ(result.ObjectsMoved, 1);
  const TZodObject caption = Objects()["Caption"];
  EXPECT_EQ(caption.Ident, old.Ident);  // the same object, found under 0
  EXPECT_EQ(caption.CompName, 0u);
  EXPECT_EQ(Text(caption.Localization, "de"), u"Verkauf");
  EXPECT_EQ(module::GetCompIndex(zod_.GetComps(m_), 7), -1);
}

TEST_F(IntlUpdateTest, NamesTheCatalogueCannotHoldAreRefusedOneByOne) {
  TSelection s = Selection();
  s.Add("MainForm", "TForm", "Bad Name", "TButton", {"Caption", "'x'", ""});
  s.Add("Main\r\nForm", "TForm", "", "", {"Caption", "'x'", ""});
  TIntlUpdateInput input;
  input.Selection = &s;
  input.ListedForms = {"MainForm"};
  const TIntlUpdateResult result = UpdateObjects(m_, input);
  EXPECT_EQ(result.Errors, (std::vector<std::string>{"Could not update object MainForm.Bad Name.Caption",
                                                     "Unable to initiate form objects for Form: Main\r\nForm"}));
  EXPECT_EQ(result.ObjectsAdded, 4);
  EXPECT_EQ(module::JoinCatalogue(zod_.GetForms(m_)), "0001 MainForm\r\n");
}

TEST_F(IntlUpdateTest, SelectedValuesBecomeTermsOfTheirKind) {
  const auto value = [](std::string v, std::string data = "") {
    return NodeValue({"P", std::move(v), std::move(data)});
  };
  EXPECT_EQ(value("'It''s'").Kind, module::utString);
  EXPECT_EQ(value("''").Bytes, std::vector<uint8_t>{0});  // empty: one zero byte
  EXPECT_EQ(value("[fsBold]").Bytes, text::Utf16LeBytes(u"fsBold"));
  EXPECT_EQ(value("12").Kind, module::utInteger);
  EXPECT_EQ(value("-1.5").Kind, module::utFloat);
  EXPECT_EQ(value("taCenter").Kind, module::utConstant);
  const std::string bytes("BM\0\1", 4);
  const TNodeValue icon = value("{TIcon 00000004}", bytes);
  EXPECT_EQ(icon.Kind, module::utIcon);
  EXPECT_EQ(icon.Bytes, std::vector<uint8_t>(bytes.begin(), bytes.end()));
  EXPECT_EQ(value("{TMetafile 00000004}", bytes).Kind, module::utMetafile);
  // A count that is not the attached data's length is refused.
  EXPECT_THROW(value("{TBitmap 00000009}", bytes), rtl::Exception);
}

}  // namespace
}  // namespace quintrel::tools::test
