// The term, object, form, dict, translate and module clean commands as a user runs them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "tests/cli/run.h"

namespace quintrel::cli {
namespace {

using nlohmann::json;

class CatalogueCommands : public test::CliFixture {
protected:
  void SetUp() override {
    CliFixture::SetUp();
    UseOwnRegistry();
  }
  std::string NewModule(const std::string& name) {
    std::string file = Path(name);
    Ok({"module", "new", file});
    Ok({"lang", "add", file, "en", "--name", "English"});
    Ok({"lang", "add", file, "de", "--name", "German"});
    return file;
  }
};

TEST_F(CatalogueCommands, TermsAreWrittenListedAndRemoved) {
  std::string file = NewModule("t.zod");
  EXPECT_EQ(Ok({"term", "new-id", file}), "458745\n");
  EXPECT_EQ(Ok({"term", "new-id", file}), "458746\n");
  Ok({"term", "set", file, "de", "458745", "Größe", "--status", "review", "--style", "7"});
  Ok({"term", "set", file, "de", "0x6FFFA", "Breite", "--status", "untranslated"});
  Ok({"term", "set", file, "de", "458745", "", "--status", "signed-off"});  // keeps the text and style
  EXPECT_EQ(json::parse(Ok({"term", "get", file, "de", "458745", "--json"})),
            (json{{"id", 458745}, {"status", "signed-off"}, {"style", 7}, {"text", "Größe"}}));
  EXPECT_EQ(Ok({"term", "list", file, "de"}), "458745\tsigned-off\t7\tGröße\n458746\tuntranslated\t0\tBreite\n");
  // Untranslated: nothing without the design-time text to fall back on.
  Ok({"module", "set", file, "design-language", "en"});
  Ok({"module", "set", file, "use-original-if-untranslated", "on"});
  Ok({"term", "set", file, "en", "458746", "Width"});
  EXPECT_EQ(Ok({"term", "get", file, "de", "458746", "--fallback"}), "Width\n");
  EXPECT_EQ(Ok({"term", "get", file, "de", "458746"}), "Breite\n");

  Ok({"term", "remove", file, "de", "458746"});
  test::TRunResult gone = Run({"term", "remove", file, "de", "458746"});
  EXPECT_EQ(gone.code, 1);
  EXPECT_THAT(gone.err, HasSubstr("no term 458746"));
  Refused({"term", "get", file, "de", "x1"});
  Refused({"term", "set", file, "de", "1", "a", "--status", "done"});
  EXPECT_EQ(Ok({"db", "check", file}).find("damage"), std::string::npos);
}

TEST_F(CatalogueCommands, ObjectsFormsAndCleaningBuildAWholeCatalogue) {
  std::string file = NewModule("o.zod");
  EXPECT_EQ(Ok({"object", "add", file, "Main", "OkButton", "Caption", "--class", "TButton", "--text", "OK", "--lang",
                "en"}),
            "1048560\n");
  EXPECT_EQ(Ok({"object", "add", file, "Main", "Title", "Caption", "--class", "ucLabel", "--kind", "utString"}),
            "1048561\n");
  EXPECT_EQ(Ok({"object", "add", file, "About", "Version", "Hint", "--class", "ucLabel", "--text", "v1", "--lang", "en"}),
            "1048562\n");
  Refused({"object", "add", file, "Main", "X", "Caption", "--kind", "utText"});
  Refused({"object", "add", file, "Main", "X", "Caption", "--text", "t"});
  Ok({"term", "set", file, "de", "458745", "Gut", "--status", "review"});

  json rows = json::parse(Ok({"object", "list", file, "--form", "Main", "--lang", "en", "--lang", "de", "--json"}));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0]["component"], "OkButton");
  EXPECT_EQ(rows[0]["property"], "Caption");
  EXPECT_EQ(rows[0]["class"], "ucButton");
  EXPECT_EQ(rows[0]["kind"], "utString");
  EXPECT_EQ(rows[0]["texts"]["en"], (json{{"text", "OK"}, {"status", "signed-off"}}));
  EXPECT_EQ(rows[0]["texts"]["de"], (json{{"text", "Gut"}, {"status", "review"}}));
  EXPECT_EQ(rows[1]["texts"]["de"]["status"], "missing");
  EXPECT_EQ(Ok({"form", "list", file}), "0001\tMain\t2\n0002\tAbout\t1\n");

  // A term no object uses goes; the removed object's term goes too.
  Ok({"term", "set", file, "en", "5", "orphan"});
  Ok({"object", "remove", file, "1048562"});
  Refused({"object", "remove", file, "1048562"});
  EXPECT_EQ(Ok({"module", "clean", file}), "en: 2 terms removed\nde: 0 terms removed\n");
  EXPECT_EQ(Ok({"term", "list", file, "en"}), "458745\tsigned-off\t0\tOK\n");

  Ok({"form", "remove", file, "Main"});
  Refused({"form", "remove", file, "Main"});
  EXPECT_EQ(Ok({"form", "list", file}), "0002\tAbout\t0\n");
  EXPECT_EQ(Ok({"object", "list", file}), "id\tterm\tform\tcomponent\tproperty\tkind\tclass\tlocked\tpriority\n");
}

TEST_F(CatalogueCommands, TranslateAsksTheModulesInOrder) {
  std::string a = NewModule("a.zod"), b = NewModule("b.zod");
  Ok({"object", "add", a, "F", "B", "Caption", "--class", "ucButton", "--text", "Close", "--lang", "en"});
  Ok({"term", "set", a, "de", "458745", "Zu"});
  Ok({"object", "add", b, "F", "B", "Caption", "--class", "ucLabel", "--text", "Close", "--lang", "en"});
  Ok({"term", "set", b, "de", "458745", "Schließen"});
  test::TRunResult none = Run({"translate", "--from", "en", "--to", "de", "--any-class", "Close", a, b});
  EXPECT_EQ(none.code, 1);  // no dictionaries yet
  EXPECT_EQ(none.out, "");
  Ok({"dict", "on", a, "en"});
  Ok({"dict", "on", b, "en"});
  EXPECT_EQ(Ok({"translate", "--from", "en", "--to", "de", "--class", "ucLabel", "Close", a, b}), "Schließen\n");
  EXPECT_EQ(Ok({"translate", "--from", "en", "--to", "de", "--any-class", "Close", a, b}), "Zu\n");
  EXPECT_EQ(Ok({"translate", "--from", "en", "--to", "de", "--any-class", "Close", b, a}), "Schließen\n");
  Ok({"dict", "off", b, "en"});
  Refused({"translate", "--from", "en", "--to", "de", "--class", "TLabel", "Close", a, b});
  Refused({"dict", "on", a, "fr"});
}

}  // namespace
}  // namespace quintrel::cli
