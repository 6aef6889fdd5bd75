// quintrel form: the forms of a module's catalogue, and how form files' 8-bit texts are
// read.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/cli/run.h"

namespace quintrel::cli {
namespace {

namespace fs = std::filesystem;

class FormCatalogue : public test::CliFixture {};

TEST_F(FormCatalogue, ListAndRemoveNameTheModuleAsEveryCommandDoes) {
  // A project whose module is spelled in lower case, as it arrives from elsewhere.
  fs::create_directories(dir_ / "app");
  std::ofstream(dir_ / "app" / "App.dpr") << "program App;\n\nuses\n  Forms;\n\nbegin\nend.\n";
  const std::string module = (dir_ / "app" / "app.zod").string();
  Ok({"module", "new", module});
  Ok({"object", "add", module, "Main", "OkButton", "Caption"});
  Ok({"object", "add", module, "Main", "CancelButton", "Caption"});
  Ok({"object", "add", module, "About", "About", "Caption"});

  const std::string project = (dir_ / "app").string();
  EXPECT_EQ(Ok({"form", "list", "--project", project}), "0001\tMain\t2\n0002\tAbout\t1\n");
  EXPECT_EQ(nlohmann::json::parse(Ok({"form", "list", "--module", module, "--json"}))[1],
            nlohmann::json::parse(R"({"id": 2, "name": "About", "objects": 1})"));

  // Listing reads only; removing says that it cannot write.
  ASSERT_EQ(::chmod(module.c_str(), 0444), 0);
  EXPECT_EQ(Ok({"form", "list", module}), "0001\tMain\t2\n0002\tAbout\t1\n");
  EXPECT_THAT(Refused({"form", "remove", module, "Main"}), HasSubstr("the module is read-only"));
  ASSERT_EQ(::chmod(module.c_str(), 0644), 0);

  // Form names compare ignoring case; a missing one is named with those there are.
  Ok({"form", "remove", "--project", project, "main"});
  EXPECT_THAT(Refused({"form", "remove", module, "Main"}),
              HasSubstr(module + ": no form Main; the catalogue has: About"));
  EXPECT_EQ(Ok({"form", "list", module}), "0002\tAbout\t1\n");
}

TEST_F(FormCatalogue, TreeReadsEightBitTextsInTheFormsCodePage) {
  // No specific charset: code page 1252, as the forms' designers had it.
  std::ofstream(Path("fr.dfm"), std::ios::binary) << "object Results: TForm\n  Caption = 'R\xe9sultats'\nend\n";
  EXPECT_THAT(Ok({"form", "tree", Path("fr.dfm")}), HasSubstr("Caption = 'Résultats'"));
  EXPECT_EQ(nlohmann::json::parse(Ok({"form", "tree", Path("fr.dfm"), "--json"}))["codePage"], 1252);
  EXPECT_NE(Ok({"form", "tree", Path("fr.dfm"), "--codepage", "1251"}).find("Caption = 'Rйsultats'"),
            std::string::npos);

  // A specific charset names the code page itself.
  std::ofstream(Path("ru.dfm"), std::ios::binary)
      << "object Results: TForm\n  Caption = '\xd0\xe5\xe7\xf3\xeb\xfc\xf2\xe0\xf2\xfb'\n"
         "  Font.Charset = RUSSIAN_CHARSET\nend\n";
  EXPECT_NE(Ok({"form", "tree", Path("ru.dfm")}).find("Caption = 'Результаты'"), std::string::npos);
}

}  // namespace
}  // namespace quintrel::cli
