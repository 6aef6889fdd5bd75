#include <gtest/gtest.h>

#include "platform/vcl/classbuilder.h"
#include "platform/vcl/comctrls.h"
#include "platform/vcl/dialogs.h"
#include "platform/vcl/extctrls.h"
#include "platform/vcl/formatvars.h"
#include "platform/vcl/forms.h"
#include "platform/vcl/stdctrls.h"
#include "tests/runtime/transfer_fixture.h"
#include "text/codepages.h"

using namespace quintrel;
using namespace quintrel::vcl;
using quintrel::runtime::testing::kEnglish;
using quintrel::runtime::testing::kGerman;
using quintrel::runtime::testing::TransferTest;

namespace {

// A component with a published property of every simple type kind.
class TKinds : public TComponent {
  QUINTREL_CLASS(TKinds)
  int Fixed() const { return 7; }
};

PTypeInfo ControlType(const char* prop) { return GetPropInfo(&TButton::StaticClass(), prop)->PropType; }

}  // namespace

const TMetaClass& TKinds::StaticClass() {
  return DefineClass<TKinds>("TKinds", TComponent::StaticClass(), [](TClassBuilder<TKinds>& b) {
    b.BagStr("Text");
    b.BagStr("Short", StandardType("ShortString"));
    b.BagWide("Wide");
    b.Bag("Letter", StandardType("Char"), 0);
    b.Bag("WideLetter", StandardType("WideChar"), 0);
    b.Bag("Count", StandardType("Integer"), 0);
    b.Bag("Big", StandardType("Int64"), 0);
    b.Bag("Colour", ColorType(), clBlack);
    b.Bag("Charset", FontCharsetType(), DEFAULT_CHARSET);
    b.BagFloat("Ratio", StandardType("Double"));
    b.Bag("Align", ControlType("Align"), alNone);
    b.Bag("Anchors", ControlType("Anchors"), 0);
    b.Bag("Enabled", StandardType("Boolean"), 1);
    b.OrdReadOnly("Fixed", StandardType("Integer"), &TKinds::Fixed);
  });
}

namespace {

class Kinds : public TransferTest {
protected:
  // Writes the text into the property through a term, as a language switch does.
  void Write(const char* prop, std::u16string_view text) { transfer_.SetProp(&kinds_, prop, Term(text)); }
  int64_t Ord(const char* prop) { return GetOrdProp(&kinds_, prop); }
  std::u16string Read(const char* prop) { return ReadBack(&kinds_, prop); }
  TKinds kinds_;
};

// Each text written through a term sets its value; the value reads back as the text given
// (when one is given).
TEST_F(Kinds, OrdinalTextsSetTheirValueAndReadBack) {
  struct TCase {
    const char* prop;
    std::u16string text;
    int64_t value;
    std::optional<std::u16string> back;
  };
  const TCase cases[] = {
      {"Count", u"  $1F  ", 31, {}},
      {"Count", u"-12", -12, {}},
      {"Big", u"81985529216486895", 81985529216486895, u"81985529216486895"},
      {"Colour", u"clRed", clRed, u"clRed"},
      {"Colour", u"255", 255, {}},
      // A colour without a name is read as hexadecimal and comes back the same.
      {"Colour", u"$00123456", 0x123456, u"$00123456"},
      // Other integer types with identifiers take them too, and read back as numbers.
      {"Charset", u"RUSSIAN_CHARSET", 204, u"204"},
      {"Align", u"alClient", alClient, u"alClient"},
      {"Enabled", u"False", 0, u"False"},
      {"Anchors", u"[akLeft,akTop]", (1 << akLeft) | (1 << akTop), u"[akLeft,akTop]"},
      {"Anchors", u"", 0, u"[]"},
      {"Anchors", u"$A", (1 << akTop) | (1 << akBottom), {}},
      // Names are whole words in any case; unknown ones are passed over.
      {"Anchors", u"[ akright , AKBOTTOM, akNowhere ]", (1 << akRight) | (1 << akBottom), {}},
      {"Letter", u"*", '*', u"*"},
      // A character code of two or more digits, as older modules hold it.
      {"Letter", u"42", '*', {}},
      {"Letter", u"7", '7', {}},
      {"Letter", u"", 0, u""},
      {"WideLetter", u"\u05D0bc", 0x5D0, u"\u05D0"},
      // A read-only property is not written.
      {"Fixed", u"99", 7, u"7"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.prop) + " = '" + text::WideToUtf8(c.text) + "'");
    Write(c.prop, c.text);
    EXPECT_EQ(Ord(c.prop), c.value);
    if (c.back) {
      EXPECT_EQ(Read(c.prop), *c.back);
    }
  }
  EXPECT_TRUE(messages_.empty());
}

TEST_F(Kinds, ReadingKeepsAStoredTextOfTheSameValue) {
  // Another spelling of the live value is the same design text: no rewrite, no review.
  Write("Anchors", u"[akLeft,akTop]");
  Write("Colour", u"clRed");
  Write("Count", u"31");
  for (const auto& [prop, stored] : std::vector<std::pair<const char*, std::u16string>>{
           {"Anchors", u"akLeft, akTop"}, {"Colour", u"255"}, {"Count", u" $1F "}}) {
    const uint32_t id = Term(stored, kGerman, module::usSignedOff);
    transfer_.GetProp(&kinds_, prop, id);
    uint8_t status = 0;
    EXPECT_EQ(Stored(id, kGerman, &status), stored) << prop;
    EXPECT_EQ(status, module::usSignedOff) << prop;
  }
  // Another value, or a text that stands for none, is rewritten.
  const uint32_t other = Term(u"akLeft", kGerman, module::usSignedOff);
  transfer_.GetProp(&kinds_, "Anchors", other);
  EXPECT_EQ(Stored(other), u"[akLeft,akTop]");
  const uint32_t junk = Term(u"clNoSuchColour", kGerman, module::usSignedOff);
  transfer_.GetProp(&kinds_, "Colour", junk);
  EXPECT_EQ(Stored(junk), u"clRed");
}

TEST_F(Kinds, StringsAndFloats) {
  // Wide strings keep what no code page holds; narrow ones go through the charset.
  Write("Wide", u"\u05E9\u05DC\u05D5\u05DD \u041C\u0438\u0440");
  EXPECT_EQ(GetWideStrProp(&kinds_, GetPropInfo(&kinds_, "Wide")), u"\u05E9\u05DC\u05D5\u05DD \u041C\u0438\u0440");
  EXPECT_EQ(Read("Wide"), u"\u05E9\u05DC\u05D5\u05DD \u041C\u0438\u0440");
  transfer_.SetCurrentLanguage(kGerman, 204);
  Write("Text", u"\u041C\u0438\u0440");
  EXPECT_EQ(GetStrProp(&kinds_, "Text"), "\xCC\xE8\xF0");
  EXPECT_EQ(Read("Text"), u"\u041C\u0438\u0440");
  Write("Short", u"kurz");
  EXPECT_EQ(Read("Short"), u"kurz");

  Write("Ratio", u" 1.25 ");
  EXPECT_EQ(GetFloatProp(&kinds_, "Ratio"), 1.25L);
  EXPECT_EQ(Read("Ratio"), u"1.25");
  // Under a locale with a decimal comma both spellings are taken and the comma is read.
  FormatSettings().DecimalSeparator = ',';
  Write("Ratio", u"2,5");
  EXPECT_EQ(GetFloatProp(&kinds_, "Ratio"), 2.5L);
  Write("Ratio", u"0.1");
  EXPECT_EQ(Read("Ratio"), u"0,1");
  ResetFormatSettings();
  Write("Ratio", u"");
  EXPECT_EQ(GetFloatProp(&kinds_, "Ratio"), 0.0L);
  EXPECT_TRUE(messages_.empty());
}

// A text that does not fit its property is reported, leaves the property as it was, and
// the next property is written all the same.
TEST_F(Kinds, BadTextsAreReportedAndTheSwitchGoesOn) {
  Write("Align", u"alRight");
  Write("Align", u"alNowhere");
  Write("Count", u"twelve");
  Write("Ratio", u"1.2.3");
  Write("Text", u"still written");
  EXPECT_EQ(Ord("Align"), alRight);
  EXPECT_EQ(Ord("Count"), 0);
  EXPECT_EQ(GetStrProp(&kinds_, "Text"), "still written");
  ASSERT_EQ(messages_.size(), 3u);
  EXPECT_EQ(messages_[0], "Error while trying to set property Align of TKinds");
  EXPECT_EQ(messages_[1], "Error while trying to set property Count of TKinds");
  EXPECT_EQ(messages_[2], "Error while trying to set property Ratio of TKinds");
}

// --- paths ---------------------------------------------------------------------------------

TEST_F(TransferTest, DottedPathsThroughObjects) {
  TForm form;
  auto* label = form.Add<TLabel>("Label1");
  transfer_.SetProp(label, "Font.Name", Term(u"Arial"));
  transfer_.SetProp(label, "Font.Style", Term(u"[fsBold,fsItalic]"));
  EXPECT_EQ(label->Font()->Name(), "Arial");
  EXPECT_EQ(label->Font()->Style(), (1u << fsBold) | (1u << fsItalic));
  // No such property of the font: ignored without a word.
  transfer_.SetProp(label, "Font.Nothing", Term(u"x"));
  transfer_.SetProp(label, "Nothing.At.All", Term(u"x"));
  transfer_.SetProp(nullptr, "Caption", Term(u"x"));
  EXPECT_TRUE(messages_.empty());

  EXPECT_EQ(ReadBack(label, "Font.Name"), u"Arial");
}

TEST_F(TransferTest, StringListLines) {
  TForm form;
  auto* list = form.Add<TListBox>("List");
  list->Items()->SetText("one\r\ntwo\r\nthree");
  transfer_.SetProp(list, "Items.Strings[1]", Term(u"zwei"));
  EXPECT_EQ(list->Items()->Get(1), "zwei");
  // Lines outside the list are not added, and other forms of path change nothing.
  transfer_.SetProp(list, "Items.Strings[5]", Term(u"sechs"));
  transfer_.SetProp(list, "Items.Strings[-1]", Term(u"minus"));
  transfer_.SetProp(list, "Items.Lines[0]", Term(u"null"));
  transfer_.SetProp(list, "Items.Strings[0]x", Term(u"null"));
  EXPECT_EQ(list->Items()->Text(), "one\r\nzwei\r\nthree\r\n");
  EXPECT_TRUE(messages_.empty());

  list->Items()->Put(2, "drei");
  EXPECT_EQ(ReadBack(list, "Items.Strings[2]"), u"drei");
  EXPECT_EQ(ReadBack(list, "Items.Strings[3]"), u"");
}

TEST_F(TransferTest, CollectionItems) {
  TForm form;
  auto* bar = form.Add<TStatusBar>("Bar");
  bar->Panels()->Add();
  bar->Panels()->Add();
  transfer_.SetProp(bar, "Panels.Items[1].Text", Term(u"Bereit"));
  transfer_.SetProp(bar, "Panels.Items[0].Alignment", Term(u"taCenter"));
  EXPECT_EQ(GetStrProp(bar->Panels()->Items(1), "Text"), "Bereit");
  EXPECT_EQ(GetOrdProp(bar->Panels()->Items(0), "Alignment"), taCenter);
  EXPECT_TRUE(messages_.empty());

  // Outside the collection: the list's error, reported with the path inside it.
  transfer_.SetProp(bar, "Panels.Items[5].Text", Term(u"nie"));
  transfer_.SetProp(bar, "Panels.Items[x].Text", Term(u"nie"));
  ASSERT_EQ(messages_.size(), 2u);
  EXPECT_EQ(messages_[0], "Error while trying to set property Items[5].Text of TStatusPanels");
  // Another name before the bracket is no item.
  transfer_.SetProp(bar, "Panels.Things[0].Text", Term(u"nie"));
  EXPECT_EQ(messages_.size(), 2u);

  EXPECT_EQ(ReadBack(bar, "Panels.Items[1].Text"), u"Bereit");
}

// --- terms: fall-back and the read direction ------------------------------------------------

TEST_F(TransferTest, UntranslatedTextsFallBackOrEmpty) {
  TLabel label;
  uint32_t id = Term(u"Original", kEnglish);
  Term(u"Entwurf", kGerman, module::usUnTranslated, id);
  transfer_.SetProp(&label, "Caption", id);
  EXPECT_EQ(label.Caption(), "Original");
  zod_.SetUseOriginalIfUntranslated(module_, false);
  transfer_.SetProp(&label, "Caption", id);
  EXPECT_EQ(label.Caption(), "");
  Term(u"Fertig", kGerman, module::usSignedOff, id);
  transfer_.SetProp(&label, "Caption", id);
  EXPECT_EQ(label.Caption(), "Fertig");
}

TEST_F(TransferTest, ReadingRewritesChangedTermsForReview) {
  std::vector<std::pair<uint32_t, std::u16string>> changed;
  transfer_.DesignTermChanged = [&](const module::TZodTerm& term) {
    EXPECT_EQ(term.Status, module::usForReview);
    EXPECT_EQ(term.Language, kGerman);
    std::u16string text(static_cast<const char16_t*>(term.Data), static_cast<size_t>(term.Size) / 2);
    changed.emplace_back(term.Ident, text);
  };
  TLabel label;
  label.SetCaption("Neu");
  uint32_t id = Term(u"Alt", kGerman, module::usSignedOff);
  transfer_.GetProp(&label, "Caption", id);
  uint8_t status = 0;
  EXPECT_EQ(Stored(id, kGerman, &status), u"Neu");
  EXPECT_EQ(status, module::usForReview);
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0], (std::pair<uint32_t, std::u16string>{id, u"Neu"}));

  // The same value again: no change, no notice, the status stays.
  Term(u"Neu", kGerman, module::usSignedOff, id);
  transfer_.GetProp(&label, "Caption", id);
  EXPECT_EQ(changed.size(), 1u);
  Stored(id, kGerman, &status);
  EXPECT_EQ(status, module::usSignedOff);

  // An emptied value empties the term rather than keeping the old text.
  label.SetCaption("");
  transfer_.GetProp(&label, "Caption", id);
  EXPECT_EQ(Stored(id), u"");
  ASSERT_EQ(changed.size(), 2u);

  // A missing term is created; without a module nothing is read.
  EXPECT_EQ(ReadBack(&label, "Caption"), u"");
  transfer_.SetModule(-1);
  uint32_t none = zod_.GetNewTermID(module_);
  transfer_.GetProp(&label, "Caption", none);
  transfer_.SetModule(module_);
  EXPECT_EQ(Stored(none), u"<missing>");
}

// --- pictures -----------------------------------------------------------------------------

// Stand-ins for images: the transfer moves the bytes and never looks inside them.
std::vector<uint8_t> Bitmap(int width, uint8_t shade) { return std::vector<uint8_t>(static_cast<size_t>(width) * 8, shade); }

std::string AsString(const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); }

TEST_F(TransferTest, PicturesTakeTheNativeStreamImage) {
  TForm form;
  auto* image = form.Add<TImage>("Image1");
  ASSERT_EQ(image->Picture()->Graphic(), nullptr);
  std::vector<uint8_t> red = Bitmap(3, 0x40);
  transfer_.SetProp(image, "Picture.Data", Bytes(red));
  ASSERT_NE(image->Picture()->Graphic(), nullptr);
  EXPECT_EQ(image->Picture()->Graphic()->ClassName(), "TBitmap");
  EXPECT_EQ(image->Picture()->Graphic()->Image(), AsString(red));

  // A term of length 0 leaves an empty graphic.
  transfer_.SetProp(image, "Picture.Data", Bytes({}));
  ASSERT_NE(image->Picture()->Graphic(), nullptr);
  EXPECT_TRUE(image->Picture()->Graphic()->Empty());

  // A glyph is a graphic itself.
  auto* button = form.Add<TBitBtn>("Ok");
  transfer_.SetProp(button, "Glyph.Data", Bytes(red));
  EXPECT_EQ(button->Glyph()->Image(), AsString(red));
  transfer_.SetProp(button, "Glyph.Other", Bytes({}));
  EXPECT_EQ(button->Glyph()->Image(), AsString(red));
  EXPECT_TRUE(messages_.empty());
}

TEST_F(TransferTest, PicturesFallBackLikeTexts) {
  TImage image;
  std::vector<uint8_t> original = Bitmap(2, 0x10);
  uint32_t id = Bytes(original, kEnglish);
  transfer_.SetProp(&image, "Picture.Data", id);
  EXPECT_EQ(image.Picture()->Graphic()->Image(), AsString(original));
  zod_.SetUseOriginalIfUntranslated(module_, false);
  transfer_.SetProp(&image, "Picture.Data", id);
  EXPECT_TRUE(image.Picture()->Graphic()->Empty());
}

TEST_F(TransferTest, ReadingPicturesComparesTheBytes) {
  int notices = 0;
  transfer_.DesignTermChanged = [&](const module::TZodTerm&) { ++notices; };
  TImage image;
  uint32_t id = zod_.GetNewTermID(module_);
  // An empty picture reads as no data and stays without a graphic.
  transfer_.GetProp(&image, "Picture.Data", id);
  EXPECT_EQ(image.Picture()->Graphic(), nullptr);
  EXPECT_EQ(notices, 0);

  std::vector<uint8_t> first = Bitmap(2, 0x10), second = Bitmap(2, 0x20);
  image.Picture()->Bitmap()->LoadFromStream(AsString(first));
  transfer_.GetProp(&image, "Picture.Data", id);
  EXPECT_EQ(transfer_.StoredTermBytes(kGerman, id), first);
  // Another image of the same size is a change too.
  image.Picture()->Bitmap()->LoadFromStream(AsString(second));
  transfer_.GetProp(&image, "Picture.Data", id);
  EXPECT_EQ(transfer_.StoredTermBytes(kGerman, id), second);
  EXPECT_EQ(notices, 2);
}

// --- common dialogs -----------------------------------------------------------------------

TEST_F(TransferTest, DialogTextsGoToTheDialogUnit) {
  std::vector<std::pair<TCommonDialog*, std::string>> entries;
  TForm form;
  form.SetName("MainForm");
  auto* open = form.Add<TOpenDialog>("OpenDialog1");
  // Published texts are properties like any other.
  transfer_.SetProp(open, "Title", Term(u"Datei \u00F6ffnen"));
  EXPECT_EQ(GetStrProp(open, "Title"), "Datei \xF6" "ffnen");
  // Without the dialog unit the rest is dropped; with it, it becomes one entry.
  transfer_.SetProp(open, "1", Term(u"\u00D6ffnen"));
  transfer_.SetDlgPropProc = [&](TCommonDialog& d, const std::string& e) { entries.emplace_back(&d, e); };
  transfer_.SetProp(open, "1", Term(u"\u00D6ffnen"));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].first, open);
  EXPECT_EQ(entries[0].second, "MainForm.OpenDialog1.1=\xD6" "ffnen");
  // Nothing is read back from a dialog's own texts.
  EXPECT_EQ(ReadBack(open, "1"), u"");
  EXPECT_TRUE(messages_.empty());
}

}  // namespace
