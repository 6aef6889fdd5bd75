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
  auto r = Succeeds(In({"intl", "scan-sources", "--json"}));
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
  EXPECT_EQ(Ok(In({"intl", "scan-sources", "--no-literals"})), "");
  r = In({"intl", "scan-sources", "--min-length", "7"});
  EXPECT_THAT(r.out, HasSubstr("literal\tMain.cpp\t"));
  EXPECT_EQ(r.out.find("\tSample\n"), std::string::npos) << "Sample has 6 characters";
}

TEST_F(IsolateCommand, PlanPreviewApplyAndTheModuleCataloguesTheTexts) {
  const std::string plan = Path("plan.json");
  auto r = Succeeds(In({"isolate", "plan", "-o", plan}));
  EXPECT_THAT(r.out, HasSubstr("into AppText.pas"));
  const size_t rows = nlohmann::json::parse(Slurp(plan))["rows"].size();
  EXPECT_THAT(r.out, HasSubstr("changed " + Path("project/Sample.ZOD") + " (" + std::to_string(rows) +
                               " object numbers reserved for the plan's identifiers)"));
  // Only the main form's caption is isolated, under a name of the developer's choice; the
  // data strings of the address book's file are marked as not to be localised.
  int caption = 0;
  const nlohmann::json doc = nlohmann::json::parse(Slurp(plan));
  for (const auto& row : doc["rows"])
    if (row["unit"] == "Main.cpp" && row["text"] == "Sample Address Book") caption = row["id"];
  ASSERT_NE(caption, 0);
  EXPECT_EQ(Ok({"isolate", "set", "--plan", plan, "ignore", "--unit", "main.cpp"}), plan + ": 6 rows set to ignore\n");
  Ok({"isolate", "set", "--plan", plan, "mark", "--unit", "Contacts.cpp"});
  Ok({"isolate", "set", "--plan", plan, "isolate", std::to_string(caption)});
  const std::string planned = Slurp(plan);
  EXPECT_EQ(Refused({"isolate", "set", "--plan", plan, "ignore", std::to_string(caption), "9999"}),
            "quintrel: the plan has no row 9999\n");
  Refused({"isolate", "set", "--plan", plan, "ignore", "--unit", "Nowhere.cpp"});
  Refused({"isolate", "set", "--plan", plan, "ignore"}, 2);
  EXPECT_EQ(Slurp(plan), planned) << "a refused set leaves the plan as it was";
  Ok({"isolate", "rename", "--plan", plan, std::to_string(caption), "SAppTitle", "--rename-all"});

  const std::string main = File("Main.cpp");
  r = Succeeds(In({"isolate", "preview", "--plan", plan}));
  EXPECT_THAT(r.out, HasSubstr("--- a/Main.cpp\n+++ b/Main.cpp\n"));
  EXPECT_THAT(r.out, HasSubstr("\n-    Caption = \"Sample Address Book\";\n+    Caption = SAppTitle;\n"));
  EXPECT_THAT(r.out, HasSubstr("\n+  SAppTitle = 'Sample Address Book';\n"));
  EXPECT_EQ(File("Main.cpp"), main);

  EXPECT_THAT(Refused(In({"isolate", "apply", "--plan", plan})),
              HasSubstr("quintrel: Be aware that these changes will immediately take affect"));
  EXPECT_EQ(File("Main.cpp"), main);
  r = Succeeds(In({"isolate", "apply", "--plan", plan, "--yes"}));
  EXPECT_THAT(r.out, HasSubstr("changed " + Path("project/Main.cpp") + " (backup " + Path("project/Main.~cp") + ")"));
  EXPECT_EQ(File("Main.~cp"), main);
  EXPECT_THAT(r.out, HasSubstr("Contacts.cpp: 0 texts isolated, 7 lines marked"));
  EXPECT_NE(File("Contacts.cpp").find("== \"business\";//DO NOT LOCALIZE\r\n"), std::string::npos);
  EXPECT_EQ(File("Main.cpp").find("#include \"AppText.hpp\""), main.find("#include \"AppText.hpp\""))
      << "the header was included already";
  EXPECT_NE(File("AppText.pas").find("  SAppTitle = 'Sample Address Book';\r\n  SReady"), std::string::npos)
      << File("AppText.pas");

  EXPECT_THAT(Ok({"project", "strings", project_}), HasSubstr("\tAppText.pas\tSAppTitle\tSample Address Book\n"));
  EXPECT_THAT(Ok({"preview", "--project", project_, "--lang", "en", "--resstrings"}),
              HasSubstr("AppText.pas SAppTitle = Sample Address Book"));

  // The same plan again changes nothing: the unit is no longer what was planned.
  const std::string applied = File("Main.cpp"), appText = File("AppText.pas");
  EXPECT_THAT(Refused(In({"isolate", "apply", "--plan", plan, "--yes"})),
              HasSubstr("quintrel: Error while updating " + Path("project/Main.cpp") + ": "));
  EXPECT_EQ(File("Main.cpp"), applied);
  EXPECT_EQ(File("AppText.pas"), appText);
}

}  // namespace
}  // namespace quintrel::cli
