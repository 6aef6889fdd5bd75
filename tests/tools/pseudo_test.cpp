// Pseudo translation and the shared term writer it stores with: lengths, the filler,
// the language record, and sign-off protecting a finished translation.
#include "tools/pseudo.h"

#include <gtest/gtest.h>

#include "quality_fixture.h"

namespace quintrel::tools::test {
namespace {

using module::test::Id;

TEST(PseudoLength, ExpandsWithHalvesToTheEvenNeighbour) {
  // Lengths 1 to 5 (and the 10 of the classic example) at every setting.
  const std::size_t none[] = {1, 2, 3, 4, 5};
  const std::size_t twenty[] = {1, 2, 4, 5, 6};    // 1.2 2.4 3.6 4.8 6.0
  const std::size_t fifty[] = {2, 3, 4, 6, 8};     // 1.5 3 4.5 6 7.5: halves go to the even one
  const std::size_t hundred[] = {2, 4, 6, 8, 10};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(ExpandedLength(i + 1, 0), none[i]) << i + 1;
    EXPECT_EQ(ExpandedLength(i + 1, 20), twenty[i]) << i + 1;
    EXPECT_EQ(ExpandedLength(i + 1, 50), fifty[i]) << i + 1;
    EXPECT_EQ(ExpandedLength(i + 1, 100), hundred[i]) << i + 1;
  }
  EXPECT_EQ(ExpandedLength(10, 20), 12u);
  EXPECT_EQ(ExpandedLength(0, 100), 0u);
  EXPECT_EQ(FillerText(u"Sample text", 12), u"Sample textS");
  EXPECT_EQ(FillerText(u"ab", 5), u"ababa");
  EXPECT_EQ(FillerText(u"Sample text", 0), u"");
}

class PseudoTest : public QualityFixture {
protected:
  std::optional<TTermText> Pseudo(uint32_t term) { return ReadTermText(zod_, m_, kPseudoLanguage, term); }
};

TEST_F(PseudoTest, EveryStringOfTheChosenFormsGetsFillerForReview) {
  const uint32_t caption = Text("Main", "", "Caption", u"0123456789");
  const uint32_t empty = Text("Main", "Button1", "Caption", u"");
  const uint32_t number = Text("Main", "Button1", "Tag", u"12", module::utInteger);
  const uint32_t other = Text("About", "Label1", "Caption", u"abc");

  std::vector<std::string> lines;
  TPseudoOptions options;
  options.Charset = 0xCC;
  options.Form = "main";  // ignoring case
  const TPseudoResult result = PseudoTranslate(zod_, m_, options, [&](std::string_view text, std::size_t, std::size_t) {
    lines.emplace_back(text);
  });
  EXPECT_EQ(result.Terms, 2u);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "Removing old terms ...");
  EXPECT_EQ(lines.back(), "Pseudo translating terms ...");

  ASSERT_TRUE(Pseudo(caption));
  EXPECT_EQ(Pseudo(caption)->Text, u"Sample textS");
  EXPECT_EQ(Pseudo(caption)->Status, module::usForReview);
  ASSERT_TRUE(Pseudo(empty)) << "an empty design text gets an empty term";
  EXPECT_EQ(Pseudo(empty)->Text, u"");
  EXPECT_FALSE(Pseudo(number)) << "numbers keep no pseudo term";
  EXPECT_FALSE(Pseudo(other)) << "another form";

  module::TZodLanguage language;
  language.Identifier = kPseudoLanguage;
  ASSERT_TRUE(zod_.GetLanguage(m_, language));
  EXPECT_EQ(language.Name, std::u16string(u"Pseudo Test Language"));
  EXPECT_EQ(language.Charset, 0xCC);

  // A second run over all forms at 100 % overwrites with the same term ids.
  options.Form.clear();
  options.Expansion = 100;
  options.Text = u"xy";
  Text("#AppText.pas", "", "#SReady", u"Ready");
  const TPseudoResult all = PseudoTranslate(zod_, m_, options);
  EXPECT_EQ(all.Terms, 4u);
  EXPECT_EQ(all.Forms, 2u);
  EXPECT_EQ(all.Units, 1u) << "a resource-string unit is not counted as a form";
  EXPECT_EQ(Pseudo(caption)->Text, u"xyxyxyxyxyxyxyxyxyxy");
  EXPECT_EQ(Pseudo(other)->Text, u"xyxyxy");
}

TEST_F(PseudoTest, RefusesWhatCannotWorkAndChangesNothing) {
  const uint32_t caption = Text("Main", "", "Caption", u"Hello");
  TPseudoOptions options;
  options.Text.clear();
  EXPECT_THROW(PseudoTranslate(zod_, m_, options), rtl::Exception) << "an empty text would be repeated for ever";
  options.Text = u"x";
  options.Expansion = 30;
  EXPECT_THROW(PseudoTranslate(zod_, m_, options), rtl::Exception);
  options.Expansion = 20;
  options.Form = "Nowhere";
  EXPECT_THROW(PseudoTranslate(zod_, m_, options), rtl::Exception);
  EXPECT_FALSE(Pseudo(caption));
  module::TZodLanguage language;
  language.Identifier = kPseudoLanguage;
  EXPECT_FALSE(zod_.GetLanguage(m_, language));
}

TEST_F(PseudoTest, SignedOffTranslationsAreKeptUntilUnlocked) {
  const uint32_t term = Text("Main", "", "Caption", u"Hello");
  ASSERT_TRUE(StoreTermText(zod_, m_, Id("de"), term, u"Hallo", module::usSignedOff));
  // What a later import or leverage does: the signed-off text stays.
  EXPECT_FALSE(StoreTermText(zod_, m_, Id("de"), term, u"Guten Tag", module::usForReview));
  EXPECT_EQ(ReadTermText(zod_, m_, Id("de"), term)->Text, u"Hallo");
  // Unlocked, it can be overwritten, also with an empty text.
  ASSERT_TRUE(SetTermStatus(zod_, m_, Id("de"), term, module::usForReview));
  EXPECT_EQ(ReadTermText(zod_, m_, Id("de"), term)->Text, u"Hallo") << "a status change keeps the text";
  EXPECT_TRUE(StoreTermText(zod_, m_, Id("de"), term, u"", module::usForReview));
  EXPECT_EQ(ReadTermText(zod_, m_, Id("de"), term)->Text, u"") << "an emptied text does not keep the old one";
  EXPECT_FALSE(SetTermStatus(zod_, m_, Id("fr"), term, module::usSignedOff)) << "no such term";
}

}  // namespace
}  // namespace quintrel::tools::test
