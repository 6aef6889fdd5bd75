// Languages files read strictly (every damaged shape refused with one line naming the
// file) and leverage from them: names turned into the module's, classes guessed from
// component names, texts converted from their code page, signed-off terms kept.
#include "tools/leverage.h"

#include <gtest/gtest.h>

#include <fstream>

#include "lan_writer.h"
#include "named_objects.h"
#include "module/namelists.h"
#include "text/unicode.h"
#include "tools/toolsession.h"
#include "tools_fixture.h"

namespace quintrel::tools::test {
namespace {

using module::GlobalZOD;
using module::TZodObject;
using module::test::Id;

// A file with the languages list (one entry carrying the 766 further bytes) and two forms.
TLanWriter SampleFile() {
  TLanWriter w;
  w.Languages({{LanId("en"), "English"}, {LanId("ru"), "Russian"}}, true);
  w.Section("TForm1")
      .Entry(LanId("ru"), "\xCE\xEA", "Button1", "Caption")  // "Ок" in code page 1251
      .Entry(LanId("en"), "OK", "Button1", "Caption")
      .Entry(LanId("ru"), "\xD4\xEE\xF0\xEC\xE0", "TForm1", "Caption")
      .Entry(LanId("ru"), "\xCF\xF3\xED\xEA\xF2", "ListBox1", "Items", 3)
      .Entry(LanId("ru"), std::string(300, '\xE0'), "ScrollBox1", "Hint")
      .Entry(LanId("ru"), "x", "Timer1", "Tag")
      .End();
  w.Section("TMainQuintrelForm")
      .Entry(LanId("ru"), "\xCE", "Quintrel1", "SystemMenu")
      .Entry(LanId("ru"), "\xD0", "Quintrel1", "#SHello")
      .Entry(LanId("ru"), "\xD1", "TTMainQuintrelForm", "Caption")
      .End();
  return w;
}

TLanFile Parse(const std::vector<uint8_t>& bytes) { return ParseLanFile(bytes, "old.lan"); }

std::string ErrorOf(const std::vector<uint8_t>& bytes) {
  return module::test::MessageOf<ELanFile>([&] { Parse(bytes); });
}

TEST(LanFile, ReadsLanguagesFormsLongStringsAndFormNames) {
  const TLanFile file = Parse(SampleFile().Bytes());
  ASSERT_EQ(file.Languages.size(), 2u);
  EXPECT_EQ(file.Languages[1].Name, "Russian");
  EXPECT_EQ(file.Languages[0].Flag, 1);
  ASSERT_EQ(file.Forms.size(), 2u);
  EXPECT_EQ(file.EntryCount(), 9u);
  EXPECT_EQ(file.Forms[0].Entries[3].Index, 3);
  EXPECT_EQ(file.Forms[0].Entries[4].Text.size(), 300u);
  EXPECT_EQ(LanFormName("TForm1"), "Form1");
  EXPECT_EQ(LanFormName("TMainQuintrelForm"), "Main");
}

TEST(LanFile, RefusesEveryDamagedShapeWithOneLineNamingTheFile) {
  // Not a section at the start, and an empty file.
  EXPECT_NE(ErrorOf({0, 0, 1, 2}).find("old.lan: at byte 0: not a languages file"), std::string::npos);
  EXPECT_NE(ErrorOf({}).find("not a languages file"), std::string::npos);
  // A next-section position pointing back at the section itself, or before it.
  for (int32_t back : {0, 2}) {
    TLanWriter w = SampleFile();
    const size_t second = w.Bytes().size();
    w.Section("TLoop").Entry(LanId("en"), "a", "B", "C").End().PatchNext(back);
    EXPECT_NE(ErrorOf(w.Bytes()).find("at byte " + std::to_string(second) + ": the next section's position"),
              std::string::npos) << back;
  }
  // A pointer into the section's own head (found by fuzzing: the reader's limit fell
  // behind its position, and the next string was copied from past the buffer).
  EXPECT_NE(ErrorOf({1, 0, 1, 0, 0, 0, 0xA7, 0x80, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x60, 0xFF, 1, 0, 0x35, 3, 0, 0})
                .find("at byte 0: the next section's position"),
            std::string::npos);
  // A pointer past the end of the file.
  TLanWriter far;
  far.Section("TF").End().PatchNext(1000);
  EXPECT_NE(ErrorOf(far.Bytes()).find("outside the file"), std::string::npos);
  // Long strings of length -1 and of more than the file holds.
  for (int32_t m : {-1, 0x7FFFFFFF}) {
    TLanWriter w;
    w.Section("TF").Short(1).Short(0).Short(static_cast<int16_t>(LanId("en")));
    w.Bytes().push_back(255);
    w.Long(m).String("C").String("P").Short(-1).End();
    EXPECT_NE(ErrorOf(w.Bytes()).find("a string's length " + std::to_string(m)), std::string::npos) << m;
  }
  // Entries running into the next section.
  TLanWriter into;
  into.Section("TF").Entry(LanId("en"), "text", "C", "P").End().PatchNext(12);
  EXPECT_NE(ErrorOf(into.Bytes()).find("run past"), std::string::npos);
  // Every cut of a good file is refused or reads whole sections only.
  const std::vector<uint8_t> whole = SampleFile().Bytes();
  for (size_t n = 0; n < whole.size(); ++n) {
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
    try {
      const TLanFile file = Parse(cut);
      EXPECT_LE(file.EntryCount(), 6u) << n;
    } catch (const ELanFile& e) {
      EXPECT_EQ(e.Message().rfind("old.lan: at byte ", 0), 0u) << e.Message();
    }
  }
}

class LeverageTest : public ToolsFixture {
protected:
  void SetUp() override {
    ToolsFixture::SetUp();
    m_ = NewModule("Project1.ZOD");
    ASSERT_TRUE(module::test::AddLanguage(GlobalZOD(), m_, "en"));
    ASSERT_TRUE(module::test::AddLanguage(GlobalZOD(), m_, "ru", u"L", 204));
  }
  TZodObject Object(const char* form, const char* comp, const char* prop) {
    return FindByNames(GlobalZOD(), m_, form, comp, prop);
  }
  std::u16string Text(const TZodObject& o, const char* language = "ru") {
    auto term = ReadStoredTerm(GlobalZOD(), m_, Id(language), o.Localization);
    return term ? WideText(term->Data) : u"<none>";
  }
  int m_ = -1;
};

TEST_F(LeverageTest, NamesClassesAndTextsFollowTheFilesRules) {
  const TMergeResult r = LeverageLanguages(Parse(SampleFile().Bytes()), m_, Id("ru"), Id("ru"));
  EXPECT_EQ(r.Objects, 9);
  EXPECT_EQ(r.Taken, 8);
  EXPECT_EQ(r.Untranslated, 1);  // the English entry
  EXPECT_EQ(r.Created, 8);       // Button1.Caption once for both languages
  const TZodObject button = Object("Form1", "Button1", "Caption");
  EXPECT_EQ(button.ZodClass, module::ucButton);
  EXPECT_EQ(Text(button), u"Ок");
  EXPECT_EQ(Text(Object("Form1", "", "Caption")), u"Форма");
  EXPECT_EQ(Object("Form1", "", "Caption").ZodClass, module::ucForm);
  EXPECT_EQ(Text(Object("Form1", "ListBox1", "Items[3]")), u"Пункт");
  EXPECT_EQ(Object("Form1", "ScrollBox1", "Hint").ZodClass, module::ucScrollBox);
  EXPECT_EQ(Text(Object("Form1", "ScrollBox1", "Hint")), std::u16string(300, u'а'));
  EXPECT_EQ(Object("Form1", "Timer1", "Tag").ZodClass, module::ucUnknown);
  EXPECT_EQ(Text(Object("Main", "", "SystemMenuCaption")), u"О");
  EXPECT_EQ(Object("#ResStr.pas", "", "#SHello").ZodClass, module::ucResourceString);
  EXPECT_EQ(Text(Object("Main", "", "Caption")), u"С");
  EXPECT_FALSE(r.CharsetsDiffer);
}

TEST_F(LeverageTest, OtherLanguagesCreateObjectsAndSignedOffTermsStay) {
  TMergeResult r = LeverageLanguages(Parse(SampleFile().Bytes()), m_, Id("de"), Id("ru"));
  EXPECT_EQ(r.Taken, 0);
  EXPECT_EQ(r.Created, 8);
  TZodObject button = Object("Form1", "Button1", "Caption");
  EXPECT_EQ(button.Localization, 0u);
  // A reviewer's text is kept on the next run; the rest is taken again, for review.
  button.Localization = GlobalZOD().GetNewTermID(m_);
  GlobalZOD().SetObject(m_, button);
  ASSERT_TRUE(WriteStoredTerm(GlobalZOD(), m_, Id("ru"), button.Localization,
                              {module::usSignedOff, 0, text::Utf16LeBytes(u"Хорошо")}));
  r = LeverageLanguages(Parse(SampleFile().Bytes()), m_, Id("ru"), Id("ru"));
  EXPECT_EQ(r.Created, 0);
  EXPECT_EQ(r.SkippedSignedOff, 1);
  EXPECT_EQ(r.Taken, 7);
  EXPECT_EQ(Text(Object("Form1", "Button1", "Caption")), u"Хорошо");
  EXPECT_EQ(ReadStoredTerm(GlobalZOD(), m_, Id("ru"), Object("Form1", "", "Caption").Localization)->Status,
            module::usForReview);
  // Reading English texts into Russian: the two code pages differ.
  EXPECT_TRUE(LeverageLanguages(Parse(SampleFile().Bytes()), m_, Id("en"), Id("ru")).CharsetsDiffer);
}

TEST_F(LeverageTest, FilesOfOtherKindsAndTheProjectsModuleAreRefused) {
  EXPECT_THROW(LeverageKindOf(Path("x.txt")), EToolError);
  EXPECT_EQ(LeverageKindOf(Path("OLD.LAN")), TLeverageKind::LanguagesFile);
  EXPECT_THROW(Leverage(Path("Project1.ZOD"), m_, {Path("Project1.ZOD")}, Id("ru"), Id("ru")), EToolError);
  std::ofstream(Path("bad.lan"), std::ios::binary) << "garbage";
  EXPECT_THROW(Leverage(Path("bad.lan"), m_, {}, Id("ru"), Id("ru")), ELanFile);
  const TLeverageInfo info = InspectLeverage(Path("Project1.ZOD"), {});
  EXPECT_EQ(info.Languages.size(), 2u);
}

}  // namespace
}  // namespace quintrel::tools::test
