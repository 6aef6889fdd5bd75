// quintrel export, import, stats and autotranslate on a copy of the example project and the
// module its script builds.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>

#include "tests/cli/example_project.h"
#include "tests/testdata.h"

namespace quintrel::cli {
namespace {

namespace fs = std::filesystem;

class ExchangeCommand : public test::ExampleProjectFixture {
protected:
  std::string Terms(const std::string& lang) {
    const auto r = Succeeds(Run({"term", "list", Path("project/Sample.ZOD"), lang}));
    return r.out;
  }
};

// Every text of a new language comes back from the translator's file, and nothing else in
// the module changes; a second import of the same file changes nothing.
TEST_F(ExchangeCommand, ATranslatedFileComesBackWithEveryTextInPlace) {
  Ok({"lang", "add", Path("project/Sample.ZOD"), "ja", "--name", "Japanese", "--charset", "128"});
  const std::string de = Terms("de"), ru = Terms("ru"), en = Terms("en");
  EXPECT_EQ(Ok(In({"export", "--base", "en", "--target", "ja", "-o", Path("ja.txt")})),
            "created " + Path("ja.txt") + "\nThe export operation has completed successfully\n");
  std::string file = Slurp(Path("ja.txt"));
  // Every object's "#2 " gets a Shift-JIS text naming its identifier.
  const std::regex block("#I ([0-9A-F]{8})\r\n((?:#[TC1] [^\r\n]*\r\n)*)#2 \r\n");
  const std::string filled = std::regex_replace(file, block, "#I $1\r\n$2#2 \x93\xfa$1\r\n");
  int blocks = 0;
  for (auto it = std::sregex_iterator(file.begin(), file.end(), block); it != std::sregex_iterator(); ++it) ++blocks;
  ASSERT_GT(blocks, 40);
  std::ofstream(Path("ja.txt"), std::ios::binary) << filled;

  auto r = Succeeds(In({"import", Path("ja.txt"), "--json"}));
  const auto report = nlohmann::json::parse(r.out.substr(0, r.out.rfind('}') + 1));
  EXPECT_EQ(report["language"], "ja");
  EXPECT_EQ(report["counts"]["written"], blocks);
  EXPECT_EQ(Terms("de"), de);
  EXPECT_EQ(Terms("ru"), ru);
  EXPECT_EQ(Terms("en"), en);
  const std::string ja = Terms("ja");
  EXPECT_THAT(ja, HasSubstr("\u65e5"));
  r = Succeeds(In({"stats", "--lang", "ja"}));
  // Pictures are counted but never exported.
  EXPECT_THAT(r.out, HasSubstr("To review: " + std::to_string(blocks) + " ("));

  EXPECT_THAT(Ok(In({"import", Path("ja.txt")})), HasSubstr("written 0, unchanged " + std::to_string(blocks)));
  EXPECT_EQ(Terms("ja"), ja);
}

// The example's Russian texts are signed off: no import changes them, and says so.
TEST_F(ExchangeCommand, SignedOffTextsSurviveAnImport) {
  const std::string ru = Terms("ru");
  ASSERT_NE(ru.find("\tsigned-off\t"), std::string::npos);
  Ok(In({"export", "--base", "en", "--target", "ru", "--all", "--unicode", "-o", Path("ru.txt")}));
  std::string file = Slurp(Path("ru.txt"));
  for (size_t at = 0; (at = file.find(std::string("#\0002\0 \0", 6), at)) != std::string::npos; at += 8)
    file.insert(at + 6, std::string("X\0", 2));
  std::ofstream(Path("ru.txt"), std::ios::binary) << file;
  EXPECT_THAT(Ok(In({"import", Path("ru.txt"), "--unicode"})), HasSubstr("signed off: MainForm Caption\n"));
  const std::string after = Terms("ru");
  for (size_t at = 0, end; (end = ru.find('\n', at)) != std::string::npos; at = end + 1)
    if (ru.substr(at, end - at).find("\tsigned-off\t") != std::string::npos) {
      EXPECT_NE(after.find(ru.substr(at, end + 1 - at)), std::string::npos) << ru.substr(at, end - at);
    }
}

// A reduced module goes to the translator and its form caption comes back; the module
// itself, and a module of the same short name beside it, stay out of reach.
TEST_F(ExchangeCommand, AFormCaptionComesBackThroughAReducedModule) {
  Ok({"lang", "add", Path("project/Sample.ZOD"), "ja", "--name", "Japanese", "--charset", "128"});
  auto r = Succeeds(Run({"object", "list", Path("project/Sample.ZOD"), "--form", "MainForm", "--json"}));
  const std::string term = std::to_string(nlohmann::json::parse(r.out)[0]["term"].get<int>());
  EXPECT_EQ(Ok(In({"export", "--base", "en", "--target", "ja", "-o", Path("Sample.zod")})),
            "created " + Path("Sample.zod") + "\nThe export operation has completed successfully\n");
  EXPECT_EQ(Ok({"import", "languages", Path("Sample.zod")}), "en\tEnglish\nja\tJapanese\n");
  EXPECT_EQ(Run({"term", "get", Path("Sample.zod"), "en", term}).out, "Sample Address Book\n");
  Ok({"term", "set", Path("Sample.zod"), "ja", term, "\u30b5\u30f3\u30d7\u30eb"});

  const std::string de = Terms("de");
  r = Succeeds(In({"import", Path("Sample.zod")}));
  EXPECT_THAT(r.out, HasSubstr("language ja, "));
  EXPECT_THAT(r.out, HasSubstr(", written 1, "));
  EXPECT_EQ(Run({"term", "get", Path("project/Sample.ZOD"), "ja", term}).out, "\u30b5\u30f3\u30d7\u30eb\n");
  EXPECT_EQ(Terms("de"), de);

  EXPECT_THAT(Refused(In({"import", Path("project/Sample.ZOD"), "--lang", "de"})),
              HasSubstr("There is a problem in the import operation"));
}

// A translation tool reads every unit of our XLIFF and PO files with its source, target,
// context and state, translates them, and the import takes exactly what it changed: every
// text of a new language, and none of the signed-off Russian and Hebrew ones.
TEST_F(ExchangeCommand, TranslateToolkitReadsAndTranslatesOurXliffAndPo) {
  const std::string script =
      (fs::path(__FILE__).parent_path().parent_path() / "tools" / "exchange_translate.py").string();
  const auto tool = [&](const std::string& file, bool change) {
    const std::string out = Path("units.json");
    const std::string command = "/usr/bin/python3 " + Quote(script) + " " + Quote(file) + (change ? " --change" : "") +
                                " >" + Quote(out) + " 2>" + Quote(Path("tool.err"));
    EXPECT_EQ(std::system(command.c_str()), 0) << Slurp(Path("tool.err"));
    return nlohmann::json::parse(Slurp(out));
  };
  const auto counts = [](const test::TRunResult& r) {
    return nlohmann::json::parse(r.out.substr(0, r.out.rfind('}') + 1))["counts"];
  };
  const std::string mark = "\u05d0\u0416\u65e5 ";
  // A new Japanese language for each format, and the signed-off Russian and Hebrew ones.
  for (const auto& [ext, fresh] : {std::pair<std::string, std::string>{"xlf", "ja"}, {"po", "jp"}}) {
    ASSERT_EQ(Run({"lang", "add", Path("project/Sample.ZOD"), fresh, "--name", "Japanese", "--charset", "128"}).code,
              0);
    for (const std::string& lang : {fresh, std::string("ru"), std::string("he")}) {
      SCOPED_TRACE(ext + " " + lang);
      const std::string file = Path(lang + "." + ext);
      const std::string before = Terms(lang), de = Terms("de");
      Ok(In({"export", "--base", "en", "--target", lang, "--all", "-o", file}));
      if (ext == "xlf") {
        EXPECT_EQ(testdata::XliffSchemaErrors(file), "");
      }
      if (ext == "po") {
        const std::string check = "msgfmt --check -o /dev/null " + Quote(file) + " 2>" + Quote(Path("msgfmt.err"));
        EXPECT_EQ(std::system(check.c_str()), 0) << Slurp(Path("msgfmt.err"));
      }
      const nlohmann::json units = tool(file, false);
      ASSERT_GT(units.size(), 40u);
      const auto caption = std::find_if(units.begin(), units.end(),
                                        [](const nlohmann::json& u) { return u["context"] == "MainForm.Caption"; });
      ASSERT_NE(caption, units.end());
      EXPECT_EQ((*caption)["source"], "Sample Address Book");
      if (lang == "ru") {
        EXPECT_EQ((*caption)["target"], "\u041f\u0440\u0438\u043c\u0435\u0440 \u0430\u0434\u0440\u0435\u0441\u043d\u043e\u0439 \u043a\u043d\u0438\u0433\u0438");
        if (ext == "xlf") {
          EXPECT_EQ((*caption)["state"], "signed-off");
        } else {
          EXPECT_FALSE((*caption)["fuzzy"].get<bool>());
        }
      }
      size_t untranslated = 0;
      for (const auto& u : units) untranslated += u["target"] == "" ? 1 : 0;
      if (lang == fresh) {
        EXPECT_EQ(untranslated, units.size());
      }

      // The tool translates every unit; only what had no translation is taken.
      tool(file, true);
      auto r = Succeeds(In({"import", file, "--json"}));
      EXPECT_EQ(counts(r)["written"], untranslated);
      // The rest are signed off, or texts to review that an earlier round gave the same.
      EXPECT_EQ(counts(r)["signed off"].get<size_t>() + counts(r)["unchanged"].get<size_t>(),
                units.size() - untranslated);
      EXPECT_EQ(Terms("de"), de);
      const std::string after = Terms(lang);
      EXPECT_THAT(after, HasSubstr("\treview\t0\t" + mark + "&Restore\n"));
      for (size_t at = 0, end; (end = before.find('\n', at)) != std::string::npos; at = end + 1)
        EXPECT_NE(after.find(before.substr(at, end + 1 - at)), std::string::npos) << before.substr(at, end - at);
      // A second import of the same file changes nothing.
      r = In({"import", file, "--json"});
      EXPECT_EQ(counts(r)["written"], 0);
      EXPECT_EQ(Terms(lang), after);
    }
  }
}

// What the project tells a translator beyond the module: in XLIFF the room a caption has on
// its control (the about box's OK button, 75 pixels wide less its border; a check box less
// its box), none for a resource string, which shows on no control; in PO the file each
// form and each resource-string unit comes from.
TEST_F(ExchangeCommand, ExportsCarryTheControlsRoomAndTheFormsFiles) {
  Ok(In({"export", "--base", "en", "--target", "de", "--all", "-o", Path("de.xlf")}));
  EXPECT_EQ(testdata::XliffSchemaErrors(Path("de.xlf")), "");
  const std::string xliff = Slurp(Path("de.xlf"));
  const auto unit = [&](const std::string& resname) {
    std::smatch m;
    const std::regex start("<trans-unit [^>]*resname=\"" + resname + "\"[^>]*>");
    return std::regex_search(xliff, m, start) ? m.str() : std::string("no unit " + resname);
  };
  EXPECT_NE(unit("OKButton\\.Caption").find(" maxwidth=\"71\" size-unit=\"pixel\""), std::string::npos)
      << unit("OKButton\\.Caption");
  EXPECT_NE(unit("FavouriteCheck\\.Caption").find(" maxwidth=\"152\" "), std::string::npos)
      << unit("FavouriteCheck\\.Caption");
  // Not a control's caption, or a control whose caption grows with it.
  EXPECT_EQ(unit("SearchEdit\\.Hint").find("maxwidth"), std::string::npos) << unit("SearchEdit\\.Hint");
  EXPECT_EQ(unit("TitleLabel\\.Caption").find("maxwidth"), std::string::npos) << unit("TitleLabel\\.Caption");
  const size_t strings = xliff.find("<file original=\"#AppText.pas\"");
  ASSERT_NE(strings, std::string::npos);
  const std::string unitFile = xliff.substr(strings, xliff.find("</file>", strings) - strings);
  EXPECT_THAT(unitFile, HasSubstr("<trans-unit "));
  EXPECT_EQ(unitFile.find("maxwidth"), std::string::npos) << unitFile;

  Ok(In({"export", "--base", "en", "--target", "de", "--all", "-o", Path("de.po")}));
  const std::string po = Slurp(Path("de.po"));
  EXPECT_TRUE(std::regex_search(po, std::regex("#: Main.dfm\n(#, fuzzy\n)?msgctxt \"MainForm.Caption\"")))
      << po.substr(0, 2000);
  EXPECT_TRUE(std::regex_search(po, std::regex("#: About.dfm\n(#, fuzzy\n)?msgctxt \"AboutBox.OKButton.Caption\"")));
  EXPECT_THAT(po, HasSubstr("#: AppText.pas\n"));
  EXPECT_THAT(po, HasSubstr("#: Errors.rc\n"));
}

TEST_F(ExchangeCommand, RefusalsNameTheFileAndTheOperationFails) {
  const std::string before = Slurp(Path("project/Sample.ZOD"));
  EXPECT_EQ(Refused(In({"export", "--base", "en", "--target", "de", "-o", Path("project/Sample.ZOD")})),
            "quintrel: There is a problem in the export operation: " + Path("project/Sample.ZOD") +
                ": is the module being exported\n");
  EXPECT_EQ(Slurp(Path("project/Sample.ZOD")), before);

  std::ofstream(Path("x.txt"), std::ios::binary) << "BASEID=en\r\nTARGETID=fr\r\n";
  EXPECT_EQ(Refused(In({"import", Path("x.txt")})),
            "quintrel: There is a problem in the import operation: " + Path("x.txt") +
                ": the module has no language fr; it has: en, de, ru, he\n");
  EXPECT_THAT(Refused(In({"import", Path("x.doc")})),
              HasSubstr(Path("x.doc") + ": the format comes from the extension"));
  fs::create_directory(Path("dir.txt"));
  EXPECT_THAT(Refused(In({"import", Path("dir.txt")})), HasSubstr(Path("dir.txt")));

  EXPECT_EQ(Refused(In({"autotranslate", "--base", "en", "--target", "de"})),
            "quintrel: There are no dictionary installed for language English\n");
  EXPECT_EQ(Slurp(Path("project/Sample.ZOD")), before);
}

}  // namespace
}  // namespace quintrel::cli
