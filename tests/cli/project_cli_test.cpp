// quintrel project info|forms|strings on synthetic projects and on the bundled example.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/cli/run.h"

namespace quintrel::cli {
namespace {

using test::CliFixture;
namespace fs = std::filesystem;

class ProjectCommands : public CliFixture {
protected:
  void WriteProject() const {
    Write("App.bpr", "OBJFILES = App.obj Main.obj\r\n");
    Write("App.cpp",
          "USEFORM(\"Main.cpp\", MainForm);\r\n"
          "USEUNIT(\"Util.cpp\");\r\n"
          "USEFORM(\"Dm.cpp\", DataModule1);\r\n"
          "WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }\r\n");
    Write("Main.cpp", "");
    Write("Main.dfm",
          "object MainForm: TMainForm\r\n"
          "  Caption = 'Main'\r\n"
          "  object Label1: TLabel\r\n    Caption = 'A'\r\n  end\r\n"
          "  object Button1: TButton\r\n    Caption = 'B'\r\n  end\r\n"
          "end\r\n");
    Write("Util.cpp", "");
    Write("Dm.cpp", "");
    Write("Dm.dfm", "object DataModule1: TDataModule1\r\nend\r\n");
  }
};

TEST_F(ProjectCommands, InfoListsUnitsFormsAndComponents) {
  WriteProject();
  auto r = Succeeds(Run({"project", "info", Path("App.cpp")}));
  EXPECT_THAT(r.out, HasSubstr("Project: " + Path("App.bpr") + "\n"));
  EXPECT_THAT(r.out, HasSubstr("  2  Main.cpp  form MainForm in Main.dfm (text, 2 components)\n  3  Util.cpp\n"
                               "  4  Dm.cpp  form DataModule1 in Dm.dfm (text, 0 components)\n"));

  r = Succeeds(Run({"project", "info", "--json", dir_.string()}));
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["project"], Path("App.bpr"));
  EXPECT_EQ(j["kind"], "C++Builder");
  EXPECT_EQ(j["module"], Path("App.ZOD")) << "the spelling a new module gets";
  EXPECT_EQ(j["moduleExists"], false);
  ASSERT_EQ(j["units"].size(), 5u);
  EXPECT_EQ(j["units"][1]["file"], Path("App.cpp"));
  EXPECT_EQ(j["units"][2]["form"], "MainForm");
  EXPECT_EQ(j["units"][2]["formFile"], Path("Main.dfm"));
  EXPECT_EQ(j["units"][2]["components"], 2);
  EXPECT_TRUE(j["units"][3]["form"].is_null());

  r = Succeeds(Run({"project", "forms", "--json", Path("App.bpr")}));
  j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j.size(), 2u);
  EXPECT_EQ(j[0]["name"], "MainForm");
  EXPECT_EQ(j[0]["class"], "TMainForm");
  EXPECT_EQ(j[1]["class"], "TDataModule1");
  EXPECT_EQ(j[1]["notation"], "text");
}

TEST_F(ProjectCommands, ProblemsNameTheFileAndStillShowTheRest) {
  WriteProject();
  Write("Dm.dfm", "object DataModule1: TDataModule1\r\n  Tag = 'unterminated\r\n");
  auto r = Run({"project", "info", Path("App.bpr")});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.out, HasSubstr("Main.dfm (text, 2 components)"));
  EXPECT_THAT(r.err, HasSubstr(Path("Dm.dfm")));

  Write("Other.dpr", "program Other;\nbegin end.\n");
  r = Run({"project", "forms", dir_.string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_THAT(r.err, HasSubstr("several projects (App.bpr, Other.dpr)"));
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line";

  EXPECT_THAT(Refused({"project", "info", Path("nowhere")}), HasSubstr("no such project"));
}

TEST_F(ProjectCommands, TheBundledExampleProject) {
  fs::path example = Root() / "examples" / "project";
  if (!fs::is_directory(example)) FAIL() << "no example project at " << example;
  auto r = Succeeds(Run({"project", "info", "--json", example.string()}));
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(fs::path(j["project"].get<std::string>()).filename(), "Sample.bpr");
  std::vector<std::string> forms;
  for (const auto& u : j["units"])
    if (u.contains("components")) {
      forms.push_back(u["form"]);
      EXPECT_GT(u["components"].get<int>(), 0) << u.dump();
    }
  EXPECT_EQ(forms, (std::vector<std::string>{"MainForm", "AboutBox", "DataModule1"}));
  // The resource file the compiler makes is listed, in its place, as missing; the others are there.
  for (const auto& u : j["units"])
    EXPECT_EQ(u.contains("missing"), u["file"].get<std::string>().ends_with("Sample.res")) << u.dump();
  r = Run({"project", "info", example.string()});
  EXPECT_THAT(r.out, HasSubstr("  2  Sample.res  (missing)\n"));
}

// The string table as listed, and resource strings catalogued from it: a script's keeps
// its number, a Pascal unit's waits for the linker's ("?").
TEST_F(ProjectCommands, StringTableListedAndCatalogued) {
  Write("App.bpr", "OBJFILES = App.obj\r\n");
  Write("App.cpp", "USEUNIT(\"Texts.pas\");\r\nUSERC(\"Msgs.rc\");\r\n");
  Write("Texts.pas", "unit Texts;\ninterface\nresourcestring\n  SHello = 'Hello'#9'there';\nimplementation\nend.\n");
  Write("Msgs.rc", "#define IDS_FULL 12\nSTRINGTABLE\nBEGIN\n  IDS_FULL, \"Disk full\\nTry again\"\nEND\n");
  EXPECT_EQ(Ok({"project", "strings", Path("App.bpr")}),
            "12\tMsgs.rc\tIDS_FULL\tDisk full\\nTry again\n65535\tTexts.pas\tSHello\tHello\\tthere\n");

  const std::string zod = Path("App.zod");
  Ok({"module", "new", zod});
  Ok({"lang", "add", zod, "en", "--name", "English"});
  Ok({"lang", "add", zod, "de", "--name", "German"});
  Ok({"module", "set", zod, "design-language", "en"});
  Ok({"object", "add-string", zod, "Msgs.rc", "IDS_FULL", "--project", Path("App.bpr"), "--translation",
      "de=Datenträger voll"});
  Ok({"object", "add-string", zod, "#Texts.pas", "SHello", "--project", Path("App.bpr")});
  auto r = Succeeds(Run({"object", "list", zod, "--lang", "en", "--lang", "de", "--json"}));
  auto j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j.size(), 2u);
  EXPECT_EQ(j[0]["form"], "#Msgs.rc");
  EXPECT_EQ(j[0]["component"], "12");
  EXPECT_EQ(j[0]["property"], "#IDS_FULL");
  EXPECT_EQ(j[0]["class"], "ucResourceString");
  EXPECT_EQ(j[0]["texts"]["en"]["text"], "Disk full\nTry again");
  EXPECT_EQ(j[0]["texts"]["en"]["status"], "review");
  EXPECT_EQ(j[0]["texts"]["de"]["text"], "Datenträger voll");
  EXPECT_EQ(j[1]["component"], "?");
  EXPECT_EQ(j[1]["texts"]["en"]["text"], "Hello\tthere");

  // Refusals: a second entry for the constant, a bad identifier, a unit of no string kind,
  // a constant the sources do not declare, a script that does not read.
  EXPECT_THAT(Refused({"object", "add-string", zod, "Msgs.rc", "IDS_FULL", "--text", "again", "--number", "13"}),
              HasSubstr("Resource String Constant already exist in this unit"));
  r = Run({"object", "add-string", zod, "Msgs.rc", "IDS_NEW", "--text", "x"});
  EXPECT_THAT(r.err, HasSubstr("Msgs.rc: a string of a resource script needs its number"));
  r = Run({"object", "add-string", zod, "Msgs.rc", "2Bad", "--text", "x"});
  EXPECT_THAT(r.err, HasSubstr("Invalid resource string identifier"));
  r = Run({"object", "add-string", zod, "Notes.txt", "SNote", "--text", "x"});
  EXPECT_THAT(r.err, HasSubstr("Notes.txt: a resource-string unit is a .pas or .rc file"));
  r = Run({"object", "add-string", zod, "Texts.pas", "SGone", "--project", Path("App.bpr")});
  EXPECT_THAT(r.err, HasSubstr("Texts.pas declares no resource string SGone"));
  Write("Msgs.rc", "STRINGTABLE\nBEGIN\n  IDS_NOWHERE, \"x\"\nEND\n");
  EXPECT_THAT(Refused({"project", "strings", Path("App.bpr")}),
              HasSubstr("Msgs.rc: line 3: IDS_NOWHERE is not defined"));
}

// Hostile projects: a comment line long enough to exhaust a recursive matcher, a unit
// that is a FIFO, a FIFO where a module's lock file goes. Each command ends at once, and
// a refusal is one line naming the file.
TEST_F(ProjectCommands, HostileFilesEndAtOnceWithOneLine) {
  WriteProject();
  Write("App.cpp", "// " + std::string(400000, '-') + "\r\n"
                   "USEFORM(\"Main.cpp\", MainForm);\r\nUSEUNIT(\"Pipe.pas\");\r\n");
  ASSERT_EQ(::mkfifo(Path("Pipe.pas").c_str(), 0600), 0);
  EXPECT_THAT(Ok(Run({"project", "info", Path("App.bpr")}, "", 60)),
              HasSubstr("  2  Main.cpp  form MainForm in Main.dfm (text, 2 components)\n  3  Pipe.pas\n"));
  EXPECT_EQ(Refused(Run({"project", "strings", Path("App.bpr")}, "", 60)),
            "quintrel: " + Path("Pipe.pas") + ": cannot be read: not a regular file\n");

  const std::string zod = Path("App.zod");
  Ok({"module", "new", zod});
  ASSERT_EQ(::mkfifo(Path("Appuln").c_str(), 0600), 0);
  auto r = Run({"db", "info", zod}, "", 60);
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr(Path("Appuln")));
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
}

}  // namespace
}  // namespace quintrel::cli
