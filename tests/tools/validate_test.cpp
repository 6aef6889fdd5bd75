// Validation of translated captions against live forms built in code: clipping measured
// with the controls' fonts, accelerators per parent and per menu level, autosized labels,
// image buttons and pictures, and controls of no size.
#include "tools/validate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "platform/vcl/extctrls.h"
#include "platform/vcl/forms.h"
#include "platform/vcl/menus.h"
#include "platform/vcl/stdctrls.h"
#include "platform/vcl/typinfo.h"
#include "platform/win32/gdi.h"
#include "quality_fixture.h"

namespace quintrel::tools::test {
namespace {

// A bitmap file's bytes as far as its size: file header and information header.
std::string BitmapOf(int width, int height) {
  std::string b(54, '\0');
  b[0] = 'B';
  b[1] = 'M';
  b[14] = 40;
  for (int i = 0; i < 4; ++i) {
    b[18 + i] = static_cast<char>((width >> (8 * i)) & 0xFF);
    b[22 + i] = static_cast<char>((height >> (8 * i)) & 0xFF);
  }
  return b;
}

class ValidateTest : public QualityFixture {
protected:
  void SetUp() override {
    QualityFixture::SetUp();
    form_ = std::make_unique<vcl::TForm>();
    form_->SetName("Main");
    form_->Font()->SetName("Arial");
    form_->Font()->SetHeight(-11);
  }
  void TearDown() override {
    form_.reset();
    QualityFixture::TearDown();
  }
  template <class T>
  T* Control(const char* name, int left, int top, int width, int height, vcl::TWinControl* parent = nullptr) {
    T* control = form_->Add<T>(name);
    control->SetParent(parent ? parent : form_.get());
    control->SetBounds(left, top, width, height);
    return control;
  }
  vcl::TMenuItem* Item(const char* name, vcl::TMenuItem* parent) {
    vcl::TMenuItem* item = form_->Add<vcl::TMenuItem>(name);
    parent->Add(item);
    return item;
  }
  static void Set(vcl::TObject* o, const char* property, int64_t value) {
    vcl::SetOrdProp(o, vcl::GetPropInfo(o, property), value);
  }
  // The width "text" takes in the form's font.
  long Width(std::u16string_view text) const { return win32::MeasureText(form_->Font()->LogFont(), text).cx; }

  std::vector<std::string> Findings(const char* language, unsigned checks = vcAllChecks) {
    const std::vector<TObjectForm> tree = ObjectTree(zod_, m_);
    EXPECT_EQ(tree.size(), 1u);
    std::vector<std::string> lines;
    if (tree.empty()) return lines;
    for (const TFinding& f : ValidateForm(zod_, m_, tree[0], *form_, {module::test::Id(language), checks}))
      lines.push_back(f.Component + "." + f.Property + ": " + f.Message);
    return lines;
  }

  std::unique_ptr<vcl::TForm> form_;
};

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST_F(ValidateTest, CaptionsThatDoNotFitTheirControlsAreFound) {
  const std::u16string cancel = u"Abbrechen";
  const long width = Width(cancel);
  // A button has 4 pixels of frame: one that is just wide enough, and one a pixel short.
  Control<vcl::TButton>("Fits", 0, 0, width + 4, 25);
  Control<vcl::TButton>("Short", 0, 30, width + 3, 25);
  Translated("Main", "Fits", "Caption", u"Cancel", "de", u"&" + cancel);
  Translated("Main", "Short", "Caption", u"Close", "de", cancel);
  auto* label = Control<vcl::TLabel>("Label1", 0, 60, 40, 13);
  Set(label, "AutoSize", 0);
  Translated("Main", "Label1", "Caption", u"Name", "de", u"Vollst\u00e4ndiger Name");
  Control<vcl::TCheckBox>("Check1", 0, 80, 80, 17);
  Translated("Main", "Check1", "Caption", u"Favourite", "de", u"Unter Favoriten zeigen");
  Control<vcl::TGroupBox>("Group1", 0, 100, 60, 40);
  Translated("Main", "Group1", "Caption", u"Details", "de", u"Einzelheiten des Kontakts");

  EXPECT_THAT(Findings("en"), IsEmpty()) << "the design texts fit";
  EXPECT_THAT(Findings("de"), ElementsAre("Short.Caption: Caption will be clipped outside buttons boundary",
                                          "Label1.Caption: Caption will be clipped outside label boundary",
                                          "Check1.Caption: Caption will be clipped outside checkbox/radiobutton boundary",
                                          "Group1.Caption: Caption will be clipped outside group box boundary"));
  EXPECT_THAT(Findings("de", vcAccelerators | vcAmpersand), IsEmpty()) << "only the checks asked for";

  // A word-wrapped label of two lines holds twice its width.
  Set(label, "WordWrap", 1);
  label->SetHeight(2 * win32::MeasureText(form_->Font()->LogFont(), u"x").cy);
  label->SetWidth((Width(u"Vollst\u00e4ndiger Name") + 1) / 2 + 1);
  EXPECT_EQ(Findings("de").size(), 3u);
}

TEST_F(ValidateTest, ControlsOfNoSizeGiveNoFinding) {
  auto* label = Control<vcl::TLabel>("Empty", 0, 0, 0, 13);
  Set(label, "AutoSize", 0);
  Translated("Main", "Empty", "Caption", u"A", "de", u"Ein langer Text");
  auto* wrapped = Control<vcl::TLabel>("Wrapped", 0, 20, 0, 0);
  Set(wrapped, "WordWrap", 1);
  Translated("Main", "Wrapped", "Caption", u"B", "de", u"Noch ein langer Text");
  Control<vcl::TButton>("Flat", 0, 40, 75, 0);
  Translated("Main", "Flat", "Caption", u"C", "de", u"Schaltfl\u00e4che");
  Control<vcl::TEdit>("Edit1", 0, 0, 100, 100);
  // Nothing shows on them, and nothing divides by their size.
  EXPECT_THAT(Findings("de", vcClipping), IsEmpty());
  EXPECT_THAT(Findings("de", vcAutoSize), IsEmpty());
}

TEST_F(ValidateTest, ImageButtonsLoseOneGlyphOfTheirBitmap) {
  auto* button = Control<vcl::TBitBtn>("Save", 0, 0, 0, 25);
  button->Glyph()->LoadFromStream(BitmapOf(64, 16));
  Set(button, "NumGlyphs", 4);  // four 16-pixel glyphs side by side
  const std::u16string text = u"Speichern";
  // 16 glyph + 4 spacing + 8 (half the glyph as margin) + 4 frame.
  button->SetWidth(Width(text) + 32);
  Translated("Main", "Save", "Caption", u"Save", "de", text);
  EXPECT_THAT(Findings("de"), IsEmpty());
  button->SetWidth(Width(text) + 31);
  EXPECT_THAT(Findings("de"), ElementsAre("Save.Caption: Caption will be clipped outside image buttons boundary"));
}

TEST_F(ValidateTest, AutosizedLabelsNameEveryControlTheyWouldCover) {
  Control<vcl::TLabel>("NameLabel", 8, 10, 30, 13);
  Control<vcl::TEdit>("NameEdit", 60, 8, 100, 21);
  Control<vcl::TButton>("Lookup", 165, 8, 60, 21);
  auto* panel = Control<vcl::TPanel>("Panel1", 300, 0, 100, 100);
  Control<vcl::TEdit>("Elsewhere", 0, 8, 100, 21, panel);
  const uint32_t term = Translated("Main", "NameLabel", "Caption", u"Name:", "de", u"Name:");
  EXPECT_THAT(Findings("de"), IsEmpty());
  StoreTermText(zod_, m_, module::test::Id("ru"), term,
             u"\u041f\u043e\u043b\u043d\u043e\u0435 \u0438\u043c\u044f \u043a\u043e\u043d\u0442\u0430\u043a\u0442\u0430 "
             u"\u0432 \u0441\u043f\u0438\u0441\u043a\u0435:",
                module::usForReview);
  EXPECT_THAT(Findings("ru"), ElementsAre("NameLabel.Caption: Component will be AutoSized onto NameEdit",
                                          "NameLabel.Caption: Component will be AutoSized onto Lookup"));
}

TEST_F(ValidateTest, AcceleratorsCollideOnlyAmongNeighbours) {
  auto* menu = form_->Add<vcl::TMainMenu>("MainMenu1");
  vcl::TMenuItem* file = Item("FileMenu", menu->Items());
  Item("WindowMenu", menu->Items());
  Item("CloseItem", file);
  Item("Line1", file);
  Item("FileItem", file);
  const uint32_t fileTerm = Translated("Main", "FileMenu", "Caption", u"&File", "de", u"&Fichier");
  const uint32_t windowTerm = Translated("Main", "WindowMenu", "Caption", u"&Window", "de", u"&fen\u00eatre");
  Translated("Main", "CloseItem", "Caption", u"&Close", "de", u"&Fermer");  // another level
  Translated("Main", "Line1", "Caption", u"-", "de", u"-");
  Translated("Main", "FileItem", "Caption", u"&Print", "de", u"&Imprimer");
  StoreTermText(zod_, m_, module::test::Id("ru"), fileTerm, u"&\u0424\u0430\u0439\u043b", module::usForReview);
  StoreTermText(zod_, m_, module::test::Id("ru"), windowTerm, u"&\u0444\u0430\u0439\u043b\u044b",
                module::usForReview);

  auto* panel = Control<vcl::TPanel>("Panel1", 0, 0, 200, 100);
  Control<vcl::TButton>("SaveButton", 0, 0, 120, 25);
  Control<vcl::TButton>("SendButton", 0, 30, 120, 25);
  Control<vcl::TButton>("ExitButton", 0, 60, 120, 25);
  Control<vcl::TButton>("PanelSave", 0, 0, 120, 25, panel);
  Translated("Main", "SaveButton", "Caption", u"&&&Save", "de", u"&&&Sichern");
  Translated("Main", "SendButton", "Caption", u"S&end", "de", u"&Senden");
  Translated("Main", "ExitButton", "Caption", u"Save && Exit", "de", u"Sichern && Beenden");
  Translated("Main", "PanelSave", "Caption", u"&Save", "de", u"&Sichern");

  EXPECT_THAT(Findings("en"), IsEmpty());
  EXPECT_THAT(Findings("de"), ElementsAre("WindowMenu.Caption: Accellerator is duplicated in FileMenu",
                                          "SendButton.Caption: Accellerator is duplicated in SaveButton"));
  // Cyrillic letters are accelerators, and compare ignoring their case.
  EXPECT_THAT(Findings("ru"), ElementsAre("WindowMenu.Caption: Accellerator is duplicated in FileMenu"));
}

TEST_F(ValidateTest, JapaneseMenusKeepTheirLatinAccelerators) {
  auto* menu = form_->Add<vcl::TMainMenu>("MainMenu1");
  for (const char* name : {"FileMenu", "EditMenu", "FontMenu", "ViewMenu"}) Item(name, menu->Items());
  Translated("Main", "FileMenu", "Caption", u"&File", "de", u"\u30d5\u30a1\u30a4\u30eb(&F)");
  Translated("Main", "EditMenu", "Caption", u"&Edit", "de", u"\u7de8\u96c6(&E)");
  Translated("Main", "FontMenu", "Caption", u"F&ont", "de", u"\u30d5\u30a9\u30f3\u30c8(&f)");
  Translated("Main", "ViewMenu", "Caption", u"&View", "de", u"&\u8868\u793a");
  EXPECT_THAT(Findings("de"), ElementsAre("FontMenu.Caption: Accellerator is duplicated in FileMenu"));
}

TEST_F(ValidateTest, AmpersandsMustPrecedeALetterOrDigit) {
  form_->SetCaption("Sales");
  Translated("Main", "", "Caption", u"Sales", "de", u"Verkauf &");
  for (const char* name : {"A", "B", "C", "D"}) Control<vcl::TButton>(name, 0, 0, 200, 25);
  Translated("Main", "A", "Caption", u"&1st", "de", u"&1.");
  Translated("Main", "B", "Caption", u"&-x", "de", u"&-x");
  Translated("Main", "C", "Caption", u"&\u00c4ndern", "de", u"&\u00c4ndern");
  Translated("Main", "D", "Caption", u"A && B", "de", u"A && B");
  EXPECT_THAT(Findings("de", vcAmpersand), ElementsAre("Main.Caption: Invalid ampersand position",
                                                       "B.Caption: Invalid ampersand position"));
}

TEST_F(ValidateTest, PicturesAreReadFromTheTermsOwnBytes) {
  auto* image = Control<vcl::TImage>("Logo", 0, 0, 32, 32);
  const uint32_t term = Text("Main", "Logo", "Picture.Data", u"", module::utBitmap);
  auto store = [&](const std::string& bytes) {
    std::vector<uint8_t> raw(bytes.begin(), bytes.end());
    module::TZodTerm t{module::test::Id("de"), term, module::usForReview, 0, raw.data(), static_cast<int32_t>(raw.size())};
    ASSERT_TRUE(zod_.SetTerm(m_, t));
  };
  store(BitmapOf(64, 16));
  EXPECT_THAT(Findings("de"), ElementsAre("Logo.Picture.Data: Picture is larger than the Visual boundary"));
  store(BitmapOf(32, 32));
  EXPECT_THAT(Findings("de"), IsEmpty());
  store(BitmapOf(33, 1));
  Set(image, "Stretch", 1);
  EXPECT_THAT(Findings("de"), IsEmpty()) << "a stretched picture fits any size";
}

TEST(ValidateChecks, NamesParseAndUnknownOnesAreRefused) {
  EXPECT_EQ(ParseChecks("clipping,Accelerators"), vcClipping | vcAccelerators);
  EXPECT_THROW(ParseChecks("clipping,spelling"), rtl::Exception);
}

}  // namespace
}  // namespace quintrel::tools::test
