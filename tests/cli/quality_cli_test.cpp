// The quality commands on copies of the example project and of a real project of the test
// data: pseudo translation, validation, sign-off and accelerators.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "tests/cli/example_project.h"
#include "tests/testdata.h"

namespace quintrel::cli {
namespace {

namespace fs = std::filesystem;

class QualityCommands : public test::ExampleProjectFixture {};

TEST_F(QualityCommands, ValidationFindsRealCollisionsAndTheOverflowOfPseudoTexts) {
  EXPECT_EQ(Ok(In({"validate", "--lang", "en"})), "");
  // German gives two captions of one group box the same letter: N for Name and Notizen.
  auto r = In({"validate", "--lang", "de", "--checks", "accelerators"});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.out, HasSubstr("MainForm NotesLabel.Caption: Accellerator is duplicated in NameLabel\n"));
  // Hebrew gives the Edit and Help menus the same letter.
  r = In({"validate", "--lang", "he", "--json"});
  ASSERT_EQ(r.code, 1) << r.err;
  const nlohmann::json findings = nlohmann::json::parse(r.out);
  ASSERT_EQ(findings.size(), 1u) << r.out;
  EXPECT_EQ(findings[0]["component"], "HelpMenu");
  EXPECT_EQ(findings[0]["message"], "Accellerator is duplicated in EditMenu");

  EXPECT_EQ(Ok(In({"pseudo", "--expand", "100", "--charset", "cc"})), "changed " + Path("project/Sample.ZOD") + "\n");
  r = In({"validate", "--lang", "--", "--form", "mainform", "--checks", "clipping,autosize"});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.out, HasSubstr("MainForm SearchLabel.Caption: Component will be AutoSized onto SearchEdit\n"));
  EXPECT_THAT(r.out, HasSubstr("MainForm BusinessRadio.Caption: Caption will be clipped outside checkbox/radiobutton "
                               "boundary\n"));

  EXPECT_THAT(Refused(In({"pseudo", "--text", ""})), HasSubstr("the replacement text is empty"));
  r = In({"validate", "--lang", "xx"});
  EXPECT_EQ(r.code, 1);
}

TEST_F(QualityCommands, SignedOffTranslationsAreShownAndUnlockedOnlyWhenAsked) {
  // The example's translations are finished: signed off.
  EXPECT_EQ(Ok(In({"status", "--lang", "de", "MainForm.NameLabel"})),
            "MainForm.NameLabel: signed-off (1 properties)\n  NameLabel.Caption: signed-off\n");

  EXPECT_THAT(Refused(In({"unlock", "--lang", "de", "MainForm.NameLabel"})),
              HasSubstr("quintrel: The resource is already checked out, do you want to unlock it ?\n"));
  auto r = In({"status", "--lang", "de", "MainForm.NameLabel.Caption"});
  EXPECT_NE(r.out.find(": signed-off"), std::string::npos) << "nothing changed without --yes: " << r.out;
  EXPECT_EQ(Ok(In({"unlock", "--lang", "de", "MainForm.NameLabel", "--yes"})),
            "changed " + Path("project/Sample.ZOD") + "\n");
  r = Succeeds(In({"status", "--lang", "de", "--json"}));
  const nlohmann::json forms = nlohmann::json::parse(r.out);
  ASSERT_FALSE(forms.empty());
  EXPECT_EQ(forms[0]["path"], "MainForm");
  EXPECT_TRUE(forms[0]["status"].is_null()) << "one for review among signed-off ones: " << r.out;

  r = Succeeds(In({"signoff", "--lang", "de", "MainForm.NameLabel", "MainForm.PhoneLabel.Caption"}));
  EXPECT_THAT(r.err, HasSubstr("signed off 1 properties in language de"));
  r = In({"status", "--lang", "de", "MainForm.NameLabel.Caption"});
  EXPECT_THAT(r.out, HasSubstr(": signed-off"));
  r = In({"signoff", "--lang", "de", "NoSuchForm"});
  EXPECT_EQ(r.code, 1);
}

TEST_F(QualityCommands, AcceleratorsAreListedAssignedSetAndClearedWithoutBreakingCaptions) {
  // German gives NameLabel and NotesLabel of one group box the same N.
  auto r = Succeeds(In({"accel", "list", "--form", "mainform", "--lang", "de"}));
  EXPECT_THAT(r.out, HasSubstr("NameLabel.Caption\t&Name:\t1\n"));
  EXPECT_THAT(r.out, HasSubstr("NotesLabel.Caption\t&Notizen:\t1\n"));
  EXPECT_THAT(r.out, HasSubstr("PhoneLabel.Caption\t&Telefon:\tOK\n"));

  r = In({"accel", "clear", "MainForm.NotesLabel", "--lang", "de"});
  EXPECT_EQ(r.code, 1) << "signed off: " << r.out;
  EXPECT_THAT(r.err, HasSubstr("MainForm.NotesLabel is signed off; unlock it first"));
  Ok(In({"unlock", "--lang", "de", "MainForm.NotesLabel", "--yes"}));
  r = In({"accel", "set", "MainForm.NotesLabel.Caption", "--lang", "de", "Notiz&en"});
  EXPECT_EQ(r.code, 1) << "the text itself must stay";
  EXPECT_EQ(Ok(In({"accel", "set", "MainForm.NotesLabel.Caption", "--lang", "de", "N&otizen:"})),
            "changed " + Path("project/Sample.ZOD") + "\n");
  r = Succeeds(In({"accel", "list", "--form", "MainForm", "--lang", "de", "--json"}));
  for (const auto& row : nlohmann::json::parse(r.out))
    if (row["component"] == "NotesLabel") {
      EXPECT_EQ(row["text"], "N&otizen:");
      EXPECT_EQ(row["mark"], "OK");
      EXPECT_FALSE(row["signedOff"].get<bool>());
    } else if (row["component"] == "NameLabel") {
      EXPECT_EQ(row["mark"], "OK");
    }
  Ok(In({"accel", "clear", "MainForm.NotesLabel", "--lang", "de"}));
  Ok(In({"pseudo"}));
  Ok(In({"accel", "assign-all", "--form", "MainForm", "--lang", "--"}));
  r = In({"validate", "--lang", "--", "--form", "MainForm", "--checks", "ampersand"});
  EXPECT_EQ(r.code, 0) << "no caption broken: " << r.out;
}

TEST_F(QualityCommands, PseudoTextsOverflowARealProjectOnlyWhenExpanded) {
  const fs::path source = testdata::Data("src/projects/delphiforfun__tilefit3/TileFit3.dpr").parent_path();
  fs::copy(source, dir_ / "tilefit");
  project_ = Path("tilefit");
  const std::string module = Path("tilefit/TileFit3.ZOD");
  Ok({"module", "new", module});
  Ok({"lang", "add", module, "en", "--name", "English"});
  Ok({"module", "set", module, "design-language", "en"});
  Ok(In({"intl", "update", "--auto"}));

  auto r = In({"validate", "--lang", "en"});
  EXPECT_EQ(r.code, 0) << "the project's own texts fit: " << r.out;
  Ok(In({"pseudo", "--expand", "0"}));
  r = In({"validate", "--lang", "--", "--checks", "clipping"});
  EXPECT_EQ(r.out.find("buttons boundary"), std::string::npos) << r.out;
  Ok(In({"pseudo", "--expand", "100"}));
  r = In({"validate", "--lang", "--", "--checks", "clipping"});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.out, HasSubstr("TileForm TileCancelBtn.Caption: Caption will be clipped outside buttons boundary\n"));
}

}  // namespace
}  // namespace quintrel::cli
