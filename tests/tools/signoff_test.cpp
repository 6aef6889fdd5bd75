// Sign-off over the object tree: node statuses, what can be signed off, and unlocking.
#include "tools/signoff.h"

#include <gtest/gtest.h>

#include "quality_fixture.h"

namespace quintrel::tools::test {
namespace {

using module::test::Id;

class SignOffTest : public QualityFixture {
protected:
  std::vector<const TObjectLeaf*> Path(const char* path) { return LeavesOfPath(tree_, path); }
  std::optional<uint8_t> Status(const char* path) { return CommonStatus(LeafStatuses(zod_, m_, Id("de"), Path(path))); }
  std::vector<TObjectForm> tree_;
};

TEST_F(SignOffTest, TranslatedNodesAreSignedOffAndUnlockedWithTheirTextsKept) {
  Translated("Main", "", "Caption", u"Sales", "de", u"Verkauf");
  Translated("Main", "OkButton", "Caption", u"OK", "de", u"OK");
  Translated("Main", "OkButton", "Hint", u"Accept", "de", u"Annehmen");
  const uint32_t open = Text("Main", "Label1", "Caption", u"Open");
  tree_ = ObjectTree(zod_, m_);

  EXPECT_EQ(Status("Main.OkButton"), module::usForReview);
  EXPECT_EQ(Status("Main"), std::nullopt) << "one property has no German text";
  EXPECT_EQ(Status("Main.Label1"), module::usUnTranslated);

  // A form with an untranslated property is refused whole.
  EXPECT_THROW(SignOff(zod_, m_, Id("de"), Path("Main")), rtl::Exception);
  EXPECT_EQ(Status("Main.OkButton"), module::usForReview);

  EXPECT_EQ(SignOff(zod_, m_, Id("de"), Path("Main.OkButton")), 2u);
  EXPECT_EQ(Status("Main.OkButton"), module::usSignedOff);
  EXPECT_EQ(ReadTermText(zod_, m_, Id("de"), Path("Main.OkButton.Hint")[0]->Object.Localization)->Text, u"Annehmen");
  EXPECT_EQ(SignOff(zod_, m_, Id("de"), Path("Main.OkButton")), 0u) << "already signed off";

  StoreTermText(zod_, m_, Id("de"), open, u"\u00d6ffnen", module::usForReview);
  EXPECT_EQ(SignOff(zod_, m_, Id("de"), Path("Main")), 2u);
  EXPECT_EQ(Status("Main"), module::usSignedOff);
  EXPECT_EQ(Unlock(zod_, m_, Id("de"), Path("Main.Caption")), 1u);
  EXPECT_EQ(Status("Main"), std::nullopt);
  EXPECT_EQ(Status("Main.OkButton"), module::usSignedOff);
}

}  // namespace
}  // namespace quintrel::tools::test
