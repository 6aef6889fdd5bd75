// The translation editor's logic over modules built here: the tree and its order, walking to
// the next untranslated text, storing texts and pictures as the live forms read them, and
// refusing what would lose work.
#include "editors/termeditor.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/vcl/graphics.h"
#include "runtime/proptransfer.h"
#include "tests/module/module_fixture.h"
#include "tools/exchange.h"

namespace quintrel::editors {
namespace {

using module::test::AddLanguage;
using module::test::Id;
using module::TZodObject;

class TermEditorTest : public module::test::GlobalModulesFixture {
protected:
  void SetUp() override {
    GlobalModulesFixture::SetUp();
    m_ = NewModule("App.ZOD");
    for (const char* id : {"en", "de"}) ASSERT_TRUE(AddLanguage(zod_, m_, id));
    zod_.SetDesignTimeLanguage(m_, Id("en"));
  }
  // An object with its English text, and a German one when given.
  uint32_t Add(const char* form, const char* comp, const char* prop, const std::u16string& en,
               std::optional<std::u16string> de = std::nullopt, uint8_t status = module::usForReview,
               uint8_t kind = module::utString) {
    TZodObject object;
    object.Ident = zod_.AddObject(m_, form, comp, prop, kind, module::ucButton);
    EXPECT_TRUE(zod_.GetObject(m_, object));
    tools::StoreObjectText(zod_, m_, object, Id("en"), en, module::usSignedOff);
    if (de) tools::StoreObjectText(zod_, m_, object, Id("de"), *de, status);
    return object.Ident;
  }
  void Lock(uint32_t ident) {
    TZodObject object;
    object.Ident = ident;
    ASSERT_TRUE(zod_.GetObject(m_, object));
    object.Locked = true;
    ASSERT_TRUE(zod_.SetObject(m_, object));
  }
  std::u16string German(TTermEditor& editor, uint32_t ident) { return editor.Show(ident).Target.Text; }

  module::TZod& zod_ = module::GlobalZOD();
  int m_ = -1;
};

// A bitmap file of w x h pixels, 24 bits, all black.
std::string Bitmap(int w, int h) {
  const int row = (w * 3 + 3) / 4 * 4;
  const uint32_t size = 54 + static_cast<uint32_t>(row * h);
  std::string b(size, '\0');
  auto put = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  put(2, size);
  put(10, 54);
  put(14, 40);
  put(18, static_cast<uint32_t>(w));
  put(22, static_cast<uint32_t>(h));
  b[26] = 1;
  b[28] = 24;
  return b;
}

std::string Icon() {
  std::string b(6 + 16 + 40, '\0');
  b[2] = 1;
  b[4] = 1;
  b[6] = 32;
  b[7] = 32;
  return b;
}

TEST_F(TermEditorTest, TreeListsFormsThenOwnPropertiesThenComponentsInFirstUseOrder) {
  Add("Main", "OkButton", "Caption", u"OK");
  Add("Main", "", "Caption", u"Main");
  Add("Main", "Label1", "Caption", u"Name");
  Add("Main", "OkButton", "Hint", u"Accept", u"Annehmen");
  const uint32_t hello = zod_.AddUnitObject(m_, "#AppText.pas", 0, "SHello", module::utString, module::ucResourceString);
  TTermEditor editor(zod_, m_);
  EXPECT_EQ(editor.Base(), Id("en"));
  EXPECT_EQ(editor.Target(), Id("de"));

  const std::vector<TTreeForm> tree = editor.Tree();
  ASSERT_EQ(tree.size(), 2u);
  ASSERT_EQ(tree[0].Components.size(), 3u);
  EXPECT_EQ(tree[0].Components[0].Name, "");
  EXPECT_EQ(tree[0].Components[1].Name, "OkButton");
  EXPECT_EQ(tree[0].Components[2].Name, "Label1");
  ASSERT_EQ(tree[0].Components[1].Entries.size(), 2u);
  EXPECT_EQ(tree[0].Components[1].Entries[1].Path, "Main.OkButton.Hint");
  EXPECT_EQ(tree[0].Components[1].Entries[1].State, TEntryState::ForReview);
  EXPECT_EQ(tree[1].Components[0].Entries[0].Path, "#AppText.pas.SHello");

  const std::vector<TTreeForm> review = editor.Tree(TTreeFilter::ForReview);
  ASSERT_EQ(review.size(), 1u);
  ASSERT_EQ(review[0].Components.size(), 1u);
  EXPECT_EQ(review[0].Components[0].Entries.size(), 1u);

  // Paths compare as the language compares identifiers; numbers name objects.
  const uint32_t hint = tree[0].Components[1].Entries[1].Object;
  EXPECT_EQ(editor.Find("main.okbutton.hint"), hint);
  EXPECT_EQ(editor.Find(std::to_string(hint)), hint);
  EXPECT_EQ(editor.Find("#apptext.pas.SHello"), hello);
  EXPECT_THROW(editor.Find("Main.OkButton"), ETermEditorError);
  EXPECT_THROW(editor.Find("99"), ETermEditorError);
}

TEST_F(TermEditorTest, NextAndPrevWalkUntranslatedAcrossFormsAndStopAtTheEnds) {
  const uint32_t a1 = Add("A", "X", "Caption", u"a1");
  const uint32_t a2 = Add("A", "Y", "Caption", u"a2", u"", module::usForReview);  // empty translation
  const uint32_t a3 = Add("A", "Z", "Caption", u"a3");
  const uint32_t b1 = Add("B", "X", "Caption", u"b1", u"b", module::usSignedOff);
  const uint32_t b2 = Add("B", "Y", "Caption", u"b2", u"", module::usUnTranslated);
  const uint32_t b3 = Add("B", "Z", "Caption", u"b3");
  Lock(b3);
  TTermEditor editor(zod_, m_);

  EXPECT_EQ(editor.Next(std::nullopt), a1);
  // From an untranslated start the next untranslated one, never the start itself.
  EXPECT_EQ(editor.Next(a1), a3);
  EXPECT_EQ(editor.Next(a2), a3);
  EXPECT_EQ(editor.Next(a3), b2);  // across forms, past the signed-off one
  EXPECT_EQ(editor.Next(b2), std::nullopt);  // the locked one takes no translation
  EXPECT_EQ(editor.Next(b3), std::nullopt);

  EXPECT_EQ(editor.Prev(b2), a3);
  EXPECT_EQ(editor.Prev(a3), a1);
  EXPECT_EQ(editor.Prev(a1), std::nullopt);
  EXPECT_EQ(editor.Prev(std::nullopt), b2);
  EXPECT_EQ(editor.Prev(b1), a3);
  EXPECT_THROW(editor.Next(12345), ETermEditorError);

  // A translation stored moves the walk on; clearing it brings the object back.
  EXPECT_TRUE(editor.Set(a3, Id("de"), u"drei"));
  EXPECT_EQ(editor.Next(a1), b2);
  EXPECT_TRUE(editor.Clear(a3, Id("de")));
  EXPECT_EQ(editor.Next(a1), a3);
}

TEST_F(TermEditorTest, TextsOfAnyLengthAndEmptyTextsAreStored) {
  const uint32_t ok = Add("Main", "Ok", "Caption", u"OK");
  TTermEditor editor(zod_, m_);
  const std::u16string long_(2500, u'\u00e4');  // 5000 bytes as stored
  EXPECT_TRUE(editor.Set(ok, Id("de"), long_));
  EXPECT_EQ(German(editor, ok), long_);
  EXPECT_EQ(editor.Show(ok).Target.Size, 5000u);

  // The same text again changes nothing; an empty one is a translation for review.
  EXPECT_FALSE(editor.Set(ok, Id("de"), long_));
  EXPECT_TRUE(editor.Set(ok, Id("de"), u""));
  const TEntryView view = editor.Show(ok);
  EXPECT_TRUE(view.Target.Exists);
  EXPECT_EQ(view.Target.Text, u"");
  EXPECT_EQ(view.Target.Status, module::usForReview);
  EXPECT_EQ(view.Base.Text, u"OK");
  EXPECT_EQ(editor.Next(std::nullopt), std::nullopt);
}

TEST_F(TermEditorTest, RefusesLostUpdatesLockedObjectsAndSignedOffTerms) {
  const uint32_t ok = Add("Main", "Ok", "Caption", u"OK", u"Gut");
  const uint32_t locked = Add("Main", "Logo", "Caption", u"Q");
  Lock(locked);
  TTermEditor editor(zod_, m_);

  EXPECT_THROW(editor.Set(ok, Id("de"), u"Jawohl", std::u16string(u"Okay")), EEditConflict);
  EXPECT_EQ(German(editor, ok), u"Gut");
  EXPECT_TRUE(editor.Set(ok, Id("de"), u"Jawohl", std::u16string(u"Gut")));
  EXPECT_EQ(German(editor, ok), u"Jawohl");
  EXPECT_THROW(editor.Set(locked, Id("de"), u"x"), ETermEditorError);
  EXPECT_THROW(editor.Set(ok, Id("fr"), u"x"), ETermEditorError);

  EXPECT_TRUE(editor.SetStatus(ok, Id("de"), module::usSignedOff));
  EXPECT_THROW(editor.Set(ok, Id("de"), u"Nein"), ETermEditorError);
  EXPECT_THROW(editor.Clear(ok, Id("de")), ETermEditorError);
  EXPECT_TRUE(editor.SetStatus(ok, Id("de"), module::usForReview));  // unlocks
  EXPECT_TRUE(editor.Set(ok, Id("de"), u"Nein"));

  const uint32_t untranslated = Add("Main", "Help", "Caption", u"Help", u"", module::usUnTranslated);
  EXPECT_THROW(editor.SetStatus(untranslated, Id("de"), module::usSignedOff), ETermEditorError);
  EXPECT_FALSE(editor.Clear(untranslated, Id("de")));  // only a translation is taken back
}

// Another process changes the text between showing it and storing the edit: the edit is
// refused and the other process's text stays.
TEST_F(TermEditorTest, AnEditOfATextAnotherProcessChangedIsRefused) {
  const uint32_t ok = Add("Main", "Ok", "Caption", u"OK", u"Gut");
  TTermEditor editor(zod_, m_);
  const std::u16string shown = editor.Show(ok).Target.Text;

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const std::string module = Path("App.ZOD"), object = std::to_string(ok);
    if (!std::freopen("/dev/null", "w", stdout)) _exit(126);
    execl(QUINTREL_CLI, QUINTREL_CLI, "terms", "set", object.c_str(), "--lang", "de", "Prima", "--module",
          module.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

  try {
    editor.Set(ok, Id("de"), u"Super", shown);
    FAIL() << "the edit overwrote another process's text";
  } catch (const EEditConflict& e) {
    EXPECT_NE(e.Message().find("Main.Ok.Caption (de)"), std::string::npos) << e.Message();
  }
  EXPECT_EQ(German(editor, ok), u"Prima");
  EXPECT_TRUE(editor.Set(ok, Id("de"), u"Super", std::u16string(u"Prima")));
  EXPECT_EQ(German(editor, ok), u"Super");
}

TEST_F(TermEditorTest, TranslatesThroughTheDictionaries) {
  const uint32_t ok = Add("Main", "Ok", "Caption", u"Cancel");
  TTermEditor editor(zod_, m_);
  EXPECT_FALSE(editor.CanTranslate());
  EXPECT_THROW(editor.Translate(ok), ETermEditorError);

  const int dict = NewModule("Dict.ZOD");
  for (const char* id : {"en", "de"}) ASSERT_TRUE(AddLanguage(zod_, dict, id));
  TZodObject entry;
  entry.Ident = zod_.AddObject(dict, "F", "B", "Caption", module::utString, module::ucButton);
  ASSERT_TRUE(zod_.GetObject(dict, entry));
  tools::StoreObjectText(zod_, dict, entry, Id("en"), u"Cancel", module::usSignedOff);
  tools::StoreObjectText(zod_, dict, entry, Id("de"), u"Abbrechen", module::usSignedOff);
  ASSERT_TRUE(zod_.SetDictionary(dict, Id("en"), true));
  EXPECT_FALSE(editor.CanTranslate());  // only the base language is a dictionary
  ASSERT_TRUE(zod_.SetDictionary(dict, Id("de"), true));

  EXPECT_EQ(editor.Show(ok).Suggestion, u"Abbrechen");
  EXPECT_EQ(editor.Translate(ok), u"Abbrechen");
  EXPECT_EQ(editor.Show(ok).Target.Status, module::usForReview);
  EXPECT_EQ(German(editor, ok), u"Abbrechen");
}

TEST_F(TermEditorTest, PicturesAreStoredAsTheLiveGraphicReadsThem) {
  const uint32_t logo = Add("Main", "Logo", "Picture.Data", u"", std::nullopt, 0, module::utBitmap);
  const uint32_t icon = Add("Main", "", "Icon.Data", u"", std::nullopt, 0, module::utIcon);
  TTermEditor editor(zod_, m_);
  EXPECT_EQ(editor.PictureClass(logo), "TBitmap");
  EXPECT_EQ(editor.PictureClass(icon), "TIcon");

  // A file of another class, or whose content is not what its name says, is refused.
  EXPECT_THROW(editor.SetPicture(logo, Id("de"), Icon(), "flag.ico"), ETermEditorError);
  EXPECT_THROW(editor.SetPicture(logo, Id("de"), Icon(), "flag.bmp"), ETermEditorError);
  EXPECT_THROW(editor.SetPicture(icon, Id("de"), Bitmap(4, 4), "flag.bmp"), ETermEditorError);
  EXPECT_THROW(editor.SetPicture(logo, Id("de"), Bitmap(4, 4).substr(0, 20), "flag.bmp"), ETermEditorError);
  EXPECT_FALSE(editor.PictureBytes(logo, Id("de")));

  editor.SetPicture(logo, Id("de"), Bitmap(7, 3), "Flag.BMP");
  EXPECT_EQ(editor.PictureBytes(logo, Id("de")), Bitmap(7, 3));
  EXPECT_EQ(editor.Show(logo).Target.Status, module::usForReview);

  // The running application's transfer loads it into the live picture, and an emptied
  // picture as no picture at all.
  TZodObject object;
  object.Ident = logo;
  ASSERT_TRUE(zod_.GetObject(m_, object));
  runtime::TPropertyTransfer transfer(zod_);
  transfer.SetModule(m_);
  transfer.SetCurrentLanguage(Id("de"), 0);
  vcl::TPicture picture;
  transfer.SetPictureProp(picture, "Data", object.Localization);
  ASSERT_NE(picture.Graphic(), nullptr);
  EXPECT_EQ(picture.Width(), 7);
  EXPECT_EQ(picture.Height(), 3);

  editor.ClearPicture(logo, Id("de"));
  EXPECT_FALSE(editor.PictureBytes(logo, Id("de")));
  const TEntryView cleared = editor.Show(logo);
  EXPECT_TRUE(cleared.Target.Exists);
  EXPECT_EQ(cleared.Target.Size, 0u);
  transfer.SetPictureProp(picture, "Data", object.Localization);
  EXPECT_TRUE(picture.Graphic()->Empty());

  EXPECT_THROW(editor.Set(logo, Id("de"), u"text"), ETermEditorError);
  const uint32_t caption = Add("Main", "Ok", "Caption", u"OK");
  EXPECT_THROW(editor.ClearPicture(caption, Id("de")), ETermEditorError);
}

}  // namespace
}  // namespace quintrel::editors
