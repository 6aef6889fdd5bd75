// quintrel intl scan-sources and isolate on a copy of the example project and its module:
// hard-coded texts of its C++ units planned, previewed, applied, and then listed by the
// string table and the preview as the module catalogues them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/cli/example_project.h"

namespace quintrel::cli {
namespace {

namespace fs = std::filesystem;

class IsolateCommand : public test::ExampleProjectFixture {};

TEST_F(IsolateCommand, ScanSourcesListsTheCppLiteralsOutsideTheResourceUnits) {
  auto r = In({"intl", "scan-sources", "--json"});
  ASSERT_EQ(r.code, 0) << r.err;
  const nlohmann::json found = nlohmann::json::parse(r.out);
  EXPECT_TRUE(found["constants"].empty());  // AppText.pas is a resource-string unit
  bool caption = false;
  for (const auto& l : found["literals"]) {
    EXPECT_NE(l["unit"], "AppText.pas");
    EXPECT_NE(l["text"], "Main.h") << "#include lines are no texts";
    if (l["unit"] == "Main.cpp" && l["text"] == "Sample Address Book") {
      caption = true;
      const std::string main = File("Main.cpp");
      EXPECT_EQ(main.substr(l["start"].get<size_t>(), l["end"].get<size_t>() - l["start"].get<size_t>()),
                "\"Sample Address Book\"");
    }
  }
  EXPECT_TRUE(caption) << r.out;
  r = In({"intl", "scan-sources", "--no-literals"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  r = In({"intl", "scan-sources", "--min-length", "7"});
  EXPECT_NE(r.out.find("literal\tMain.cpp\t"), std::string::npos);
  EXPECT_EQ(r.out.find("\tSample\n"), std::string::npos) << "Sample has 6 characters";
}

TEST_F(IsolateCommand, PlanPreviewApplyAndTheModuleCataloguesTheTexts) {
  const std::string plan = Path("plan.json");
  auto r = In({"isolate", "plan", "-o", plan});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("into AppText.pas"), std::string::npos) << r.out;
  const size_t rows = nlohmann::json::parse(Slurp(plan))["rows"].size();
  EXPECT_NE(r.out.find("changed " + Path("project/Sample.ZOD") + " (" + std::to_string(rows) +
                       " object numbers reserved for the plan's identifiers)"),
            std::string::npos)
      << r.out;
  // Only the main form's caption is isolated, under a name of the developer's choice; the
  // data strings of the address book's file are marked as not to be localised.
  int caption = 0;
  const nlohmann::json doc = nlohmann::json::parse(Slurp(plan));
  for (const auto& row : doc["rows"])
    if (row["unit"] == "Main.cpp" && row["text"] == "Sample Address Book") caption = row["id"];
  ASSERT_NE(caption, 0);
  r = Run({"isolate", "set", "--plan", plan, "ignore", "--unit", "main.cpp"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, plan + ": 6 rows set to ignore\n");
  ASSERT_EQ(Run({"isolate", "set", "--plan", plan, "mark", "--unit", "Contacts.cpp"}).code, 0);
  ASSERT_EQ(Run({"isolate", "set", "--plan", plan, "isolate", std::to_string(caption)}).code, 0);
  const std::string planned = Slurp(plan);
  r = Run({"isolate", "set", "--plan", plan, "ignore", std::to_string(caption), "9999"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "quintrel: the plan has no row 9999\n");
  EXPECT_EQ(Run({"isolate", "set", "--plan", plan, "ignore", "--unit", "Nowhere.cpp"}).code, 1);
  EXPECT_EQ(Run({"isolate", "set", "--plan", plan, "ignore"}).code, 2);
  EXPECT_EQ(Slurp(plan), planned) << "a refused set leaves the plan as it was";
  r = Run({"isolate", "rename", "--plan", plan, std::to_string(caption), "SAppTitle", "--rename-all"});
  ASSERT_EQ(r.code, 0) << r.err;

  const std::string main = File("Main.cpp");
  r = In({"isolate", "preview", "--plan", plan});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("--- a/Main.cpp\n+++ b/Main.cpp\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\n-    Caption = \"Sample Address Book\";\n+    Caption = SAppTitle;\n"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\n+  SAppTitle = 'Sample Address Book';\n"), std::string::npos) << r.out;
  EXPECT_EQ(File("Main.cpp"), main);

  r = In({"isolate", "apply", "--plan", plan});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("quintrel: Be aware that these changes will immediately take affect"), std::string::npos);
  EXPECT_EQ(File("Main.cpp"), main);
  r = In({"isolate", "apply", "--plan", plan, "--yes"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("changed " + Path("project/Main.cpp") + " (backup " + Path("project/Main.~cp") + ")"),
            std::string::npos) << r.out;
  EXPECT_EQ(File("Main.~cp"), main);
  EXPECT_NE(r.out.find("Contacts.cpp: 0 texts isolated, 7 lines marked"), std::string::npos) << r.out;
  EXPECT_NE(File("Contacts.cpp").find("== \"business\";//DO NOT LOCALIZE\r\n"), std::string::npos);
  EXPECT_EQ(File("Main.cpp").find("#include \"AppText.hpp\""), main.find("#include \"AppText.hpp\""))
      << "the header was included already";
  EXPECT_NE(File("AppText.pas").find("  SAppTitle = 'Sample Address Book';\r\n  SReady"), std::string::npos)
      << File("AppText.pas");

  r = Run({"project", "strings", project_});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("\tAppText.pas\tSAppTitle\tSample Address Book\n"), std::string::npos) << r.out;
  r = Run({"preview", "--project", project_, "--lang", "en", "--resstrings"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("AppText.pas SAppTitle = Sample Address Book"), std::string::npos) << r.out;

  // The same plan again changes nothing: the unit is no longer what was planned.
  const std::string applied = File("Main.cpp"), appText = File("AppText.pas");
  r = In({"isolate", "apply", "--plan", plan, "--yes"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("quintrel: Error while updating " + Path("project/Main.cpp") + ": "), std::string::npos) << r.err;
  EXPECT_EQ(File("Main.cpp"), applied);
  EXPECT_EQ(File("AppText.pas"), appText);
}

}  // namespace
}  // namespace quintrel::cli
