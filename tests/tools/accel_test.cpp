// Accelerators: what counts as one, case folded on wide text, and the form's captions
// marked, assigned and moved within their menu level or parent.
#include "tools/accel.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/vcl/forms.h"
#include "platform/vcl/menus.h"
#include "platform/vcl/stdctrls.h"
#include "quality_fixture.h"

namespace quintrel::tools::test {
namespace {

using module::test::Id;

TEST(Accelerators, DoubledAmpersandsAreLiteralAndCaseFoldsPerAlphabet) {
  EXPECT_EQ(Accelerator(u"Save && Exit"), 0);
  EXPECT_EQ(Accelerator(u"&&&Save"), u'S');
  EXPECT_EQ(Accelerator(u"Sales &"), 0);
  EXPECT_EQ(AmpersandPosition(u"Sales &"), 6u);
  EXPECT_EQ(ClearAccelerator(u"Save && E&xit"), u"Save && Exit");
  EXPECT_EQ(ClearAccelerator(u"Save && Exit"), u"Save && Exit");
  EXPECT_EQ(DisplayedCaption(u"Save && E&xit"), u"Save & Exit");
  const std::pair<char16_t, char16_t> pairs[] = {{u'f', u'F'},       {u'\u0444', u'\u0424'}, {u'\u00e9', u'\u00c9'},
                                                 {u'\u03ac', u'\u0386'}, {u'\u03c9', u'\u03a9'}, {u'\u00ff', u'\u0178'},
                                                 {u'\u0151', u'\u0150'}, {u'\u017e', u'\u017d'}, {u'\uff46', u'\uff26'}};
  for (const auto& [lower, upper] : pairs) {
    EXPECT_EQ(UpperAccelerator(lower), upper) << static_cast<int>(lower);
    EXPECT_EQ(LowerAccelerator(upper), lower) << static_cast<int>(upper);
  }
  EXPECT_EQ(UpperAccelerator(u'\u30d5'), u'\u30d5') << "kana have no case";
  EXPECT_TRUE(IsAcceleratorCharacter(u'\u0436'));
  EXPECT_TRUE(IsAcceleratorCharacter(u'7'));
  EXPECT_FALSE(IsAcceleratorCharacter(u'-'));
  EXPECT_FALSE(IsAcceleratorCharacter(u'\u00d7'));
}

class AccelTest : public QualityFixture {
protected:
  uint32_t Caption(const char* comp, std::u16string_view text, uint8_t zodClass = module::ucButton,
                   uint8_t status = module::usForReview) {
    const uint32_t term = Text("Main", comp, "Caption", u"x", module::utString, zodClass);
    EXPECT_TRUE(StoreTermText(zod_, m_, Id("de"), term, text, status));
    return term;
  }
  std::vector<TAccelRow> Rows(const vcl::TComponent* form = nullptr) {
    return AccelRows(zod_, m_, "main", Id("de"), form);
  }
  static std::vector<std::string> Shown(const std::vector<TAccelRow>& rows) {
    std::vector<std::string> out;
    for (const TAccelRow& r : rows) {
      std::string text;
      for (char16_t c : r.Text) text += c < 0x80 ? static_cast<char>(c) : '?';
      out.push_back(r.Component + " " + text + " " + r.Mark);
    }
    return out;
  }
};

TEST_F(AccelTest, CollisionsAreNumberedAndClearingOneLeavesTheOtherOk) {
  Caption("FileMenu", u"&File", module::ucMenuItem);
  Caption("FontMenu", u"&font", module::ucMenuItem);
  Caption("SaveButton", u"&Save");
  Caption("SendButton", u"&Send");
  Caption("ExitButton", u"Save && Exit");
  Caption("Edit1", u"&Edit", module::ucEditBox);  // no accelerator class
  std::vector<TAccelRow> rows = Rows();
  EXPECT_EQ(Shown(rows), (std::vector<std::string>{"FileMenu &File 1", "FontMenu &font 1", "SaveButton &Save 2",
                                                    "SendButton &Send 2", "ExitButton Save && Exit "}));
  rows[1].Text = ClearAccelerator(rows[1].Text);
  rows[1].Changed = true;
  EXPECT_EQ(StoreAccelerators(zod_, m_, Id("de"), rows), 1u);
  EXPECT_EQ(Shown(Rows())[0], "FileMenu &File OK");
  EXPECT_EQ(ReadTermText(zod_, m_, Id("de"), rows[1].Term)->Status, module::usForReview);
}

TEST_F(AccelTest, AssignAllTakesFreeCharactersAndMovesOthersWhenNeeded) {
  Caption("Open", u"Open");
  Caption("Options", u"Options");
  Caption("Line", u"-", module::ucMenuItem);
  Caption("Empty", u"");
  Caption("Done", u"Done", module::ucButton, module::usSignedOff);
  std::vector<TAccelRow> rows = Rows();
  EXPECT_EQ(AssignAccelerators(rows), 2u);
  EXPECT_EQ(Shown(rows), (std::vector<std::string>{"Open &Open OK", "Options O&ptions OK", "Line - ", "Empty  ",
                                                    "Done Done "}));
  EXPECT_EQ(StoreAccelerators(zod_, m_, Id("de"), rows), 2u);
  EXPECT_EQ(Shown(Rows())[1], "Options O&ptions OK");

  // All of a caption's letters taken: the caption holding one moves to a free letter.
  Caption("Ab", u"Ab");
  Caption("A", u"A");
  Caption("X", u"X");
  Caption("Y", u"Y");
  Caption("Blank", u"x y");
  rows = Rows();
  AssignAccelerators(rows);
  const std::vector<std::string> shown = Shown(rows);
  EXPECT_EQ(std::vector<std::string>(shown.begin() + 5, shown.end()),
            (std::vector<std::string>{"Ab A&b OK", "A &A OK", "X &X OK", "Y &Y OK", "Blank x y "}))
      << "a caption whose letters are all taken stops at its blank";
}

TEST_F(AccelTest, MenuLevelsAndParentsAreGroupsOfTheirOwn) {
  vcl::TForm form;
  form.SetName("Main");
  auto* menu = form.Add<vcl::TMainMenu>("MainMenu1");
  auto* file = form.Add<vcl::TMenuItem>("FileMenu");
  auto* format = form.Add<vcl::TMenuItem>("FormatItem");
  menu->Items()->Add(file);
  file->Add(format);
  auto* button = form.Add<vcl::TButton>("FindButton");
  button->SetParent(&form);
  Caption("FileMenu", u"&File", module::ucMenuItem);
  Caption("FormatItem", u"&Format", module::ucMenuItem);
  Caption("FindButton", u"&Find");
  Caption("JapaneseMenu", u"\u30d5\u30a1\u30a4\u30eb", module::ucMenuItem);
  EXPECT_EQ(Shown(Rows(&form)), (std::vector<std::string>{"FileMenu &File OK", "FormatItem &Format OK",
                                                           "FindButton &Find OK", "JapaneseMenu ???? "}));
  std::vector<TAccelRow> rows = Rows(nullptr);
  EXPECT_EQ(rows[1].Mark, "1") << "without the live form all menu items are one group";
  EXPECT_EQ(rows[2].Mark, "OK");
  AssignAccelerators(rows);
  EXPECT_EQ(rows[3].Text, u"&\u30d5\u30a1\u30a4\u30eb");
}

}  // namespace
}  // namespace quintrel::tools::test
