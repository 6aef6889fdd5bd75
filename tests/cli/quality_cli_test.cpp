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
  auto r = In({"validate", "--lang", "en"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  // German gives two captions of one group box the same letter: N for Name and Notizen.
  r = In({"validate", "--lang", "de", "--checks", "accelerators"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("MainForm NotesLabel.Caption: Accellerator is duplicated in NameLabel\n"), std::string::npos)
      << r.out;
  // Hebrew gives the Edit and Help menus the same letter.
  r = In({"validate", "--lang", "he", "--json"});
  ASSERT_EQ(r.code, 1) << r.err;
  const nlohmann::json findings = nlohmann::json::parse(r.out);
  ASSERT_EQ(findings.size(), 1u) << r.out;
  EXPECT_EQ(findings[0]["component"], "HelpMenu");
  EXPECT_EQ(findings[0]["message"], "Accellerator is duplicated in EditMenu");

  r = In({"pseudo", "--expand", "100", "--charset", "cc"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "changed " + Path("project/Sample.ZOD") + "\n");
  r = In({"validate", "--lang", "--", "--form", "mainform", "--checks", "clipping,autosize"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("MainForm SearchLabel.Caption: Component will be AutoSized onto SearchEdit\n"),
            std::string::npos) << r.out;
  EXPECT_NE(r.out.find("MainForm BusinessRadio.Caption: Caption will be clipped outside checkbox/radiobutton "
                       "boundary\n"), std::string::npos) << r.out;

  r = In({"pseudo", "--text", ""});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("the replacement text is empty"), std::string::npos) << r.err;
  r = In({"validate", "--lang", "xx"});
  EXPECT_EQ(r.code, 1);
}

TEST_F(QualityCommands, SignedOffTranslationsAreShownAndUnlockedOnlyWhenAsked) {
  // The example's translations are finished: signed off.
  auto r = In({"status", "--lang", "de", "MainForm.NameLabel"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "MainForm.NameLabel: signed-off (1 properties)\n  NameLabel.Caption: signed-off\n");

  r = In({"unlock", "--lang", "de", "MainForm.NameLabel"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("quintrel: The resource is already checked out, do you want to unlock it ?\n"),
            std::string::npos) << r.err;
  r = In({"status", "--lang", "de", "MainForm.NameLabel.Caption"});
  EXPECT_NE(r.out.find(": signed-off"), std::string::npos) << "nothing changed without --yes: " << r.out;
  r = In({"unlock", "--lang", "de", "MainForm.NameLabel", "--yes"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "changed " + Path("project/Sample.ZOD") + "\n");
  r = In({"status", "--lang", "de", "--json"});
  ASSERT_EQ(r.code, 0) << r.err;
  const nlohmann::json forms = nlohmann::json::parse(r.out);
  ASSERT_FALSE(forms.empty());
  EXPECT_EQ(forms[0]["path"], "MainForm");
  EXPECT_TRUE(forms[0]["status"].is_null()) << "one for review among signed-off ones: " << r.out;

  r = In({"signoff", "--lang", "de", "MainForm.NameLabel", "MainForm.PhoneLabel.Caption"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("signed off 1 properties in language de"), std::string::npos) << r.err;
  r = In({"status", "--lang", "de", "MainForm.NameLabel.Caption"});
  EXPECT_NE(r.out.find(": signed-off"), std::string::npos) << r.out;
  r = In({"signoff", "--lang", "de", "NoSuchForm"});
  EXPECT_EQ(r.code, 1);
}

TEST_F(QualityCommands, AcceleratorsAreListedAssignedSetAndClearedWithoutBreakingCaptions) {
  // German gives NameLabel and NotesLabel of one group box the same N.
  auto r = In({"accel", "list", "--form", "mainform", "--lang", "de"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("NameLabel.Caption\t&Name:\t1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("NotesLabel.Caption\t&Notizen:\t1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("PhoneLabel.Caption\t&Telefon:\tOK\n"), std::string::npos) << r.out;

  r = In({"accel", "clear", "MainForm.NotesLabel", "--lang", "de"});
  EXPECT_EQ(r.code, 1) << "signed off: " << r.out;
  EXPECT_NE(r.err.find("MainForm.NotesLabel is signed off; unlock it first"), std::string::npos) << r.err;
  ASSERT_EQ(In({"unlock", "--lang", "de", "MainForm.NotesLabel", "--yes"}).code, 0);
  r = In({"accel", "set", "MainForm.NotesLabel.Caption", "--lang", "de", "Notiz&en"});
  EXPECT_EQ(r.code, 1) << "the text itself must stay";
  r = In({"accel", "set", "MainForm.NotesLabel.Caption", "--lang", "de", "N&otizen:"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "changed " + Path("project/Sample.ZOD") + "\n");
  r = In({"accel", "list", "--form", "MainForm", "--lang", "de", "--json"});
  ASSERT_EQ(r.code, 0) << r.err;
  for (const auto& row : nlohmann::json::parse(r.out))
    if (row["component"] == "NotesLabel") {
      EXPECT_EQ(row["text"], "N&otizen:");
      EXPECT_EQ(row["mark"], "OK");
      EXPECT_FALSE(row["signedOff"].get<bool>());
    } else if (row["component"] == "NameLabel") {
      EXPECT_EQ(row["mark"], "OK");
    }
  r = In({"accel", "clear", "MainForm.NotesLabel", "--lang", "de"});
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_EQ(In({"pseudo"}).code, 0);
  r = In({"accel", "assign-all", "--form", "MainForm", "--lang", "--"});
  ASSERT_EQ(r.code, 0) << r.err;
  r = In({"validate", "--lang", "--", "--form", "MainForm", "--checks", "ampersand"});
  EXPECT_EQ(r.code, 0) << "no caption broken: " << r.out;
}

TEST_F(QualityCommands, PseudoTextsOverflowARealProjectOnlyWhenExpanded) {
  const fs::path source = testdata::Data("src/projects/delphiforfun__tilefit3/TileFit3.dpr").parent_path();
  fs::copy(source, dir_ / "tilefit");
  project_ = Path("tilefit");
  const std::string module = Path("tilefit/TileFit3.ZOD");
  auto r = Run({"module", "new", module});
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_EQ(Run({"lang", "add", module, "en", "--name", "English"}).code, 0);
  ASSERT_EQ(Run({"module", "set", module, "design-language", "en"}).code, 0);
  r = In({"intl", "update", "--auto"});
  ASSERT_EQ(r.code, 0) << r.err;

  r = In({"validate", "--lang", "en"});
  EXPECT_EQ(r.code, 0) << "the project's own texts fit: " << r.out;
  ASSERT_EQ(In({"pseudo", "--expand", "0"}).code, 0);
  r = In({"validate", "--lang", "--", "--checks", "clipping"});
  EXPECT_EQ(r.out.find("buttons boundary"), std::string::npos) << r.out;
  ASSERT_EQ(In({"pseudo", "--expand", "100"}).code, 0);
  r = In({"validate", "--lang", "--", "--checks", "clipping"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("TileForm TileCancelBtn.Caption: Caption will be clipped outside buttons boundary\n"),
            std::string::npos) << r.out;
}

}  // namespace
}  // namespace quintrel::cli
