// scripts/run-example, the job of `make run`, as a new user sees it: every step of the
// workflow succeeds on its copy of the example project and says what it did with counts
// that fit the example, and examples/project itself is left exactly as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>

#include "tests/cli/run.h"

namespace quintrel::cli {
namespace {

namespace fs = std::filesystem;

class RunExample : public test::CliFixture {
protected:
  // Every file of a folder tree with its bytes.
  static std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
      if (entry.is_regular_file()) files[entry.path().string()] = Slurp(entry.path().string());
    return files;
  }
};

TEST_F(RunExample, TheWorkflowRunsEndToEnd) {
  const fs::path root = Root();
  const auto before = Snapshot(root / "examples" / "project");
  // The script works beside the program it is given: here a link in the scratch folder.
  fs::create_symlink(QUINTREL_CLI, Path("quintrel"));
  const std::string command = "cd " + Quote(root.string()) + " && scripts/run-example " + Quote(Path("quintrel")) +
                              " >" + Quote(Path("out.txt")) + " 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << Slurp(Path("out.txt"));
  const std::string out = Slurp(Path("out.txt"));

  // One line per step, with the counts of the example: 3 forms, 2 string units, 6
  // hard-coded texts of Main.cpp isolated and 7 lines of Contacts.cpp's file format marked,
  // 8 properties added by hand, every language imported.
  for (const char* line : {
           "globalization add      created ",
           "lang add               English, German, Russian, Hebrew with their regional settings\n",
           "intl update --auto     99 properties of 3 forms and 2 resource-string units catalogued\n",
           "isolate plan, apply    6 hard-coded texts of 1 unit moved into AppText.pas, 7 lines of file-format data "
           "marked //DO NOT LOCALIZE",
           "object add             8 properties",
           "pseudo, validate       ",
           "findings: 1 in 3 forms\n",
           "MainForm SearchLabel.Caption: Component will be AutoSized onto SearchEdit",
           "texts for a German translator (XLIFF 1.2)\n",
           "import                 the bundled translations by name: de 59, ru 59, he 59 texts\n",
           "stats --lang de        ",
           "db check, ship         no problems found",
       })
    EXPECT_NE(out.find(line), std::string::npos) << "missing: " << line << "\n" << out;
  // The previews show the translations, the Hebrew form mirrored.
  EXPECT_THAT(out, HasSubstr("Caption = 'Beispiel-Adressbuch'"));
  EXPECT_THAT(out, HasSubstr("О программе"));
  const std::string hebrew = out.substr(std::min(out.find("Main.dfm in he"), out.size()));
  EXPECT_THAT(hebrew, HasSubstr("Font.Charset = HEBREW_CHARSET"));
  // The logo at the left edge of a 552 pixel wide panel moves to its right edge.
  const size_t logo = hebrew.find("object LogoImage: TImage");
  ASSERT_NE(logo, std::string::npos);
  EXPECT_EQ(hebrew.find("Left = 528", logo), hebrew.find("Left = ", logo)) << "not mirrored";
  EXPECT_EQ(out.find("quintrel: "), std::string::npos) << "no step complains:\n" << out;

  EXPECT_TRUE(Snapshot(root / "examples" / "project") == before) << "examples/project was written";
  EXPECT_TRUE(fs::exists(Path("examples/Sample.ZOD")));
  EXPECT_TRUE(fs::exists(Path("examples/workflow/project/Main.~cp")));
}

}  // namespace
}  // namespace quintrel::cli
