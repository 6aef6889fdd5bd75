// quintrel preview on the example project, with the module its script builds.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "tests/cli/run.h"

namespace quintrel::cli {
namespace {

namespace fs = std::filesystem;

class PreviewCommand : public test::CliFixture {
protected:
  void SetUp() override {
    CliFixture::SetUp();
    const fs::path root = fs::path(__FILE__).parent_path().parent_path().parent_path();
    project_ = (root / "examples" / "project").string();
    module_ = Path("Sample.ZOD");
    const std::string script = (root / "scripts" / "build-example-module").string();
    const std::string command = Quote(script) + " " + Quote(QUINTREL_CLI) + " " + Quote(module_) + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  std::string project_, module_;
};

TEST_F(PreviewCommand, ShowsTheFormsAsTheTranslatorWroteThem) {
  auto r = Run({"preview", "--project", project_, "--module", module_, "--lang", "ru", "--form", "MainForm"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("object MainForm: TMainForm"), std::string::npos);
  EXPECT_EQ(r.out.find("object AboutBox"), std::string::npos);  // only the form asked for
  EXPECT_NE(r.out.find("Caption = 'Пример адресной книги'"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Font.Charset = RUSSIAN_CHARSET"), std::string::npos);
  EXPECT_NE(r.out.find("'Все контакты'"), std::string::npos);  // a list line
  EXPECT_NE(r.out.find("Caption = 'Телефон'"), std::string::npos);  // a collection item
  EXPECT_NE(r.out.find("ShortDateFormat = dd.MM.yyyy"), std::string::npos);
  EXPECT_NE(r.out.find("LongDayNames = [\"Воскресенье\",\"Понедельник\""), std::string::npos);

  // Hebrew mirrors the main form: the list on the left moves to the right.
  r = Run({"preview", "--project", project_, "--module", module_, "--lang", "he", "--form", "MainForm", "--json",
           "--system-menu"});
  ASSERT_EQ(r.code, 0) << r.err;
  auto j = nlohmann::json::parse(r.out);
  EXPECT_TRUE(j["mirrored"].get<bool>());
  const auto& components = j["forms"][0]["components"];
  bool listMoved = false;
  for (const auto& c : components)
    if (c["name"] == "GroupList")
      for (const auto& p : c["properties"])
        if (p["path"] == "Align") listMoved = p["value"] == "alRight";
  EXPECT_TRUE(listMoved);
  std::vector<std::string> menu;
  for (const auto& item : j["forms"][0]["systemMenu"]) menu.push_back(item["caption"]);
  EXPECT_NE(std::find(menu.begin(), menu.end(), "Hebrew (checked)"), menu.end()) << r.out;
  EXPECT_NE(std::find(menu.begin(), menu.end(), "German"), menu.end());
}

TEST_F(PreviewCommand, RefusesWhatItCannotShow) {
  auto r = Run({"preview", "--project", project_, "--module", module_, "--lang", "fr"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("no language fr"), std::string::npos) << r.err;
  r = Run({"preview", "--project", project_, "--module", module_, "--lang", "de", "--form", "Nowhere"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("no form Nowhere"), std::string::npos) << r.err;
  r = Run({"preview", "--project", project_, "--module", Path("missing.ZOD"), "--lang", "de"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("missing.ZOD: file not found"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace quintrel::cli
