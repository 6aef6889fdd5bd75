// Which files make a project, in what order, and how the project source changes when a
// unit joins it.
#include "platform/ide/project.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/ide/project_fixture.h"

namespace quintrel::host {
namespace {

using test::ProjectFixture;
using ::testing::AllOf;
using ::testing::HasSubstr;

class Projects : public ProjectFixture {};

TEST_F(Projects, CppBuilderUnitsInProjectOrderWithFullPaths) {
  WriteCppBuilderProject();
  TProject p = TProject::Open(Path("Project1.bpr"));
  EXPECT_EQ(p.Kind(), TProjectKind::pkCppBuilder);
  EXPECT_EQ(p.ProjectFile(), Path("Project1.bpr"));
  EXPECT_EQ(p.ProjectSource(), Path("Project1.cpp"));
  // Commented-out lines and packages are no files of the project; loose spellings find
  // the file that is there.
  std::vector<std::string> expected{Path("Project1.bpr"), Path("Project1.cpp"), Path("Project1.res"),
                                    Path("Main.cpp"),     Path("About.cpp"),    Path("Strings.pas"),
                                    Path("Lib/Util.cpp")};
  EXPECT_EQ(p.UnitNames(), expected);
  EXPECT_EQ(p.FormNames(), (std::vector<std::string>{"MainForm", "AboutBox"}));
  ASSERT_NE(p.FindEntry(Path("Strings.pas")), nullptr);
  EXPECT_EQ(p.FindEntry(Path("Strings.pas"))->Path, "strings.PAS");
  EXPECT_EQ(p.FindEntry(Path("Project1.res"))->Macro, "USERES");

  // The project source, the folder and the project file all open the same project.
  for (const std::string& way : {Path("Project1.cpp"), dir_.string(), dir_.string() + "/"}) {
    TProject q = TProject::Open(way);
    EXPECT_EQ(q.ProjectFile(), Path("Project1.bpr")) << way;
    EXPECT_EQ(q.UnitNames(), expected) << way;
  }
}

TEST_F(Projects, DelphiUsesClauseWithFormsAndDataModules) {
  WriteDelphiProject();
  TProject p = TProject::Open(dir_.string());
  EXPECT_EQ(p.Kind(), TProjectKind::pkDelphi);
  EXPECT_EQ(p.ProjectFile(), Path("Demo.dpr"));
  EXPECT_EQ(p.ProjectSource(), p.ProjectFile());
  EXPECT_EQ(p.UnitNames(),
            (std::vector<std::string>{Path("Demo.dpr"), Path("Main.pas"), Path("Sub/Data.pas"), Path("Util.pas")}));
  EXPECT_EQ(p.FormNames(), (std::vector<std::string>{"MainForm", "DataModule1"}));
  EXPECT_EQ(CompanionFile(Path("Sub/Data.pas"), ".dfm"), Path("Sub/Data.dfm"));
  EXPECT_EQ(CompanionFile(Path("Util.pas"), ".dfm"), "");
}

TEST_F(Projects, RefusalsNameTheFileAndTheProblem) {
  auto message = [](const std::string& path) { return test::MessageOf([&] { TProject::Open(path); }); };
  EXPECT_THAT(message(dir_.string()), HasSubstr("holds no project file"));
  EXPECT_THAT(message(Path("Nothing.bpr")), HasSubstr("no such project"));
  Write("notes.txt", "text");
  EXPECT_THAT(message(Path("notes.txt")), HasSubstr("not a project file"));
  Write("Lonely.bpr", "OBJFILES = Lonely.obj\r\n");
  EXPECT_THAT(message(Path("Lonely.bpr")), AllOf(HasSubstr("Lonely.bpr"), HasSubstr("Lonely.cpp is missing")));
  WriteDelphiProject();
  EXPECT_THAT(message(dir_.string()), HasSubstr("several projects (Demo.dpr, Lonely.bpr)"));
  Write("Demo.dpr", "program Demo;\nuses\n  Forms,\n  Main in ;\nbegin end.\n");
  EXPECT_THAT(message(Path("Demo.dpr")), HasSubstr("Demo.dpr: line 4"));
}

TEST_F(Projects, AddingUnitsRewritesTheProjectSource) {
  WriteCppBuilderProject();
  TProject p = TProject::Open(Path("Project1.bpr"));
  std::string before = Read("Project1.cpp");
  Write("Extra.cpp", "");
  std::string after = p.AddUnit(Path("Extra.cpp"), "ExtraForm", before);
  EXPECT_EQ(after, Read("Project1.cpp"));
  // Right after the last line naming a file, in the file's own line breaks.
  std::string line = "USEUNIT(\"Lib\\Util.cpp\");\r\nUSEFORM(\"Extra.cpp\", ExtraForm);\r\n";
  EXPECT_THAT(after, HasSubstr(line));
  EXPECT_EQ(after.size(), before.size() + std::string("USEFORM(\"Extra.cpp\", ExtraForm);\r\n").size());
  EXPECT_EQ(p.UnitNames().back(), Path("Extra.cpp"));
  EXPECT_EQ(p.FormNames().back(), "ExtraForm");
  // The object file joins the continued OBJFILES statement at its end.
  EXPECT_NE(Read("Project1.bpr").find("    Strings.obj Extra.obj\r\nRESFILES"), std::string::npos) << Read("Project1.bpr");

  Write("Res/Texts.rc", "");
  after = p.AddUnit(Path("Res/Texts.rc"), "", after);
  EXPECT_THAT(after, HasSubstr("USERC(\"Res\\Texts.rc\");"));
  EXPECT_EQ(TProject::Open(Path("Project1.bpr")).UnitNames(), p.UnitNames());
  EXPECT_THROW(p.AddUnit(Path("Main.cpp"), "", after), EProjectError);

  WriteDelphiProject();
  TProject d = TProject::Open(Path("Demo.dpr"));
  const std::string dprBefore = Read("Demo.dpr");
  Write("Sub/Extra.pas", "");
  std::string dpr = d.AddUnit(Path("Sub/Extra.pas"), "ExtraForm", Read("Demo.dpr"));
  EXPECT_THAT(dpr, HasSubstr("  Util in 'Util.pas',\n  Extra in 'Sub\\Extra.pas' {ExtraForm};\n"));
  EXPECT_EQ(TProject::Open(Path("Demo.dpr")).UnitNames().back(), Path("Sub/Extra.pas"));

  // A program without a uses clause gets one after its heading.
  Write("Bare.dpr", "program Bare;\r\n\r\nbegin\r\nend.\r\n");
  TProject bare = TProject::Open(Path("Bare.dpr"));
  std::string text = bare.AddUnit(Path("Util.pas"), "", Read("Bare.dpr"));
  EXPECT_EQ(text, "program Bare;\r\n\r\nuses\r\n  Util in 'Util.pas';\r\n\r\nbegin\r\nend.\r\n");
  EXPECT_EQ(TProject::Open(Path("Bare.dpr")).UnitNames().back(), Path("Util.pas"));

  // Taking a unit out again gives the text it had, whatever its place in the clause.
  EXPECT_EQ(bare.PlanRemoveUnit(Path("Util.pas"), text, "")->Source, "program Bare;\r\n\r\nbegin\r\nend.\r\n");
  EXPECT_EQ(d.PlanRemoveUnit(Path("Sub/Extra.pas"), dpr, "")->Source, dprBefore);
  std::string without = d.PlanRemoveUnit(Path("Main.pas"), dpr, "")->Source;
  EXPECT_THAT(without, HasSubstr("  Forms, { the library's own units name no file }\n  Data in 'Sub\\Data.pas'"));
  EXPECT_FALSE(d.PlanRemoveUnit(Path("Nowhere.pas"), dpr, ""));
  const std::optional<TProjectEdit> cpp = p.PlanRemoveUnit(Path("Extra.cpp"), after, Read("Project1.bpr"));
  ASSERT_TRUE(cpp && cpp->ProjectFile);
  EXPECT_EQ(cpp->Source.find("Extra.cpp"), std::string::npos);
  EXPECT_NE(cpp->ProjectFile->find("    Strings.obj\r\nRESFILES"), std::string::npos) << *cpp->ProjectFile;
}

TEST_F(Projects, FormHeadsOfBothNotations) {
  WriteCppBuilderProject();
  TFormHead text = ReadFormHead(Path("Main.dfm"));
  EXPECT_EQ(text.Name, "MainForm");
  EXPECT_EQ(text.ClassName, "TMainForm");
  EXPECT_FALSE(text.Binary);
  TFormHead binary = ReadFormHead(Path("About.dfm"));
  EXPECT_EQ(binary.Name, "AboutBox");
  EXPECT_EQ(binary.ClassName, "TAboutBox");
  EXPECT_TRUE(binary.Binary);
  // Truncated right after the class name: the head is incomplete.
  std::string data = Read("About.dfm");
  Write("Cut.dfm", data.substr(0, data.find("TAboutBox") + 9));
  EXPECT_THROW(ReadFormHead(Path("Cut.dfm")), EProjectError);
  Write("Junk.dfm", "this is not a form\r\n");
  EXPECT_THROW(ReadFormHead(Path("Junk.dfm")), EProjectError);
}

}  // namespace
}  // namespace quintrel::host
