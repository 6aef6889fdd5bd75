// quintrel terms on a copy of the example project: walking its untranslated texts, storing,
// taking back and refusing translations, pictures, and the JSON the web editor and scripts
// read.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>

#include "tests/cli/example_project.h"

namespace quintrel::cli::test {
namespace {

using nlohmann::json;

class TermsCliTest : public ExampleProjectFixture {
protected:
  json Json(std::vector<std::string> args) {
    args.push_back("--json");
    const TRunResult r = In(args);
    EXPECT_EQ(r.code, 0) << r.err;
    return json::parse(r.out, nullptr, false);
  }
  std::string German(const std::string& object) {
    return Json({"terms", "show", object, "--target", "de"})["target"]["text"].get<std::string>();
  }
};

TEST_F(TermsCliTest, NextAndPrevCrossFormsAndStopAtBothEnds) {
  // The untranslated objects in tree order, and where the first form's end.
  std::vector<std::pair<uint32_t, std::string>> untranslated;
  for (const json& form : Json({"terms", "tree", "--target", "de", "--untranslated"}))
    for (const json& component : form["components"])
      for (const json& entry : component["entries"]) untranslated.emplace_back(entry["id"], form["form"]);
  ASSERT_GE(untranslated.size(), 2u);
  size_t boundary = 1;
  while (boundary < untranslated.size() && untranslated[boundary].second == untranslated[0].second) ++boundary;
  ASSERT_LT(boundary, untranslated.size()) << "the example has untranslated texts on one form only";

  auto walk = [&](const char* verb, std::optional<uint32_t> from) -> std::optional<uint32_t> {
    std::vector<std::string> args = {"terms", verb, "--target", "de"};
    if (from) args.insert(args.end(), {"--from", std::to_string(*from)});
    const TRunResult r = In(args);
    if (r.code == 0) return static_cast<uint32_t>(std::stoul(r.out));
    EXPECT_EQ(r.code, 1);
    EXPECT_THAT(r.err, HasSubstr("no untranslated object"));
    return std::nullopt;
  };
  const uint32_t lastOfFirstForm = untranslated[boundary - 1].first, firstOfNext = untranslated[boundary].first;
  EXPECT_EQ(walk("next", std::nullopt), untranslated.front().first);
  EXPECT_EQ(walk("next", lastOfFirstForm), firstOfNext);
  EXPECT_EQ(walk("prev", firstOfNext), lastOfFirstForm);
  EXPECT_EQ(walk("next", untranslated.back().first), std::nullopt);
  EXPECT_EQ(walk("prev", untranslated.front().first), std::nullopt);
  EXPECT_EQ(walk("prev", std::nullopt), untranslated.back().first);
}

TEST_F(TermsCliTest, TreeAndShowJsonShapes) {
  const json tree = Json({"terms", "tree", "--target", "de"});
  ASSERT_TRUE(tree.is_array());
  const json& entry = tree[0]["components"][0]["entries"][0];
  for (const char* key : {"id", "path", "form", "component", "property", "type", "class", "state"})
    EXPECT_TRUE(entry.contains(key)) << key;

  const json shown = Json({"terms", "show", "MainForm.TitleLabel.Caption", "--base", "en", "--target", "de"});
  EXPECT_EQ(shown["path"], "MainForm.TitleLabel.Caption");
  EXPECT_EQ(shown["type"], "utString");
  EXPECT_EQ(shown["base"]["lang"], "en");
  EXPECT_EQ(shown["base"]["text"], "My addresses");
  EXPECT_EQ(shown["target"]["text"], "Meine Adressen");
  EXPECT_EQ(shown["target"]["exists"], true);
  EXPECT_TRUE(shown["suggestion"].is_null());
  EXPECT_EQ(shown["picture"], false);
  // The object by its number is the same object.
  EXPECT_EQ(Json({"terms", "show", std::to_string(shown["id"].get<uint32_t>())})["path"], shown["path"]);
}

TEST_F(TermsCliTest, SetStoresLongTextsAndRefusesAnEditOfAChangedText) {
  const std::string title = "MainForm.TitleLabel.Caption";
  // The example's translation is signed off: refused until it is set back to review.
  Refused(In({"terms", "set", title, "--lang", "de", "x"}));
  Ok(In({"terms", "status", title, "--lang", "de", "review"}));
  // No length limit: 5000 bytes of UTF-8 round-trip.
  std::string longText;
  while (longText.size() < 5000) longText += "Größe ";
  longText.resize(5000);
  std::ofstream(Path("long.txt"), std::ios::binary) << longText;
  EXPECT_THAT(Ok(In({"terms", "set", title, "--lang", "de", "--file", Path("long.txt")})), HasSubstr("changed "));
  EXPECT_EQ(German(title), longText);

  // Shown, then changed by someone else: the edit carrying the shown text is refused.
  Ok(In({"terms", "set", title, "--lang", "de", "Adressen"}));
  EXPECT_THAT(Refused(In({"terms", "set", title, "--lang", "de", "Meine Kontakte", "--expect", longText})),
              HasSubstr("changed by someone else"));
  EXPECT_EQ(German(title), "Adressen");
  Ok(In({"terms", "set", title, "--lang", "de", "Meine Kontakte", "--expect", "Adressen"}));
  EXPECT_EQ(German(title), "Meine Kontakte");

  // A dry run changes nothing; an empty text is a translation, and clear takes it back.
  auto r = In({"terms", "set", title, "--lang", "de", "x", "--dry-run"});
  EXPECT_THAT(r.out, HasSubstr("would change "));
  EXPECT_EQ(German(title), "Meine Kontakte");
  Ok(In({"terms", "set", title, "--lang", "de", ""}));
  json shown = Json({"terms", "show", title, "--target", "de"});
  EXPECT_EQ(shown["state"], "review");
  EXPECT_EQ(shown["target"]["text"], "");
  Ok(In({"terms", "clear", title, "--lang", "de"}));
  EXPECT_EQ(Json({"terms", "show", title, "--target", "de"})["state"], "untranslated");

  Refused(In({"terms", "set", "MainForm.NoSuch.Caption", "--lang", "de", "x"}));
  Refused(In({"terms", "set", title, "--lang", "xx", "x"}));
}

TEST_F(TermsCliTest, PicturesOfTheirOwnClassOnlyAndSavedBack) {
  const std::string logo = "MainForm.LogoImage.Picture.Data";
  const json shown = Json({"terms", "show", logo, "--target", "de"});
  ASSERT_EQ(shown["picture"], true) << shown.dump();
  EXPECT_EQ(shown["pictureClass"], "TBitmap");

  // The design picture saved, loaded as the German one, and saved again, byte for byte.
  TRunResult r = In({"terms", "picture", "save", logo, "--lang", "en", Path("logo.bmp")});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string bitmap = Slurp(Path("logo.bmp"));
  ASSERT_EQ(bitmap.substr(0, 2), "BM");
  EXPECT_EQ(In({"terms", "picture", "save", logo, "--lang", "en", Path("logo.bmp")}).code, 1);  // no --force

  std::ofstream(Path("logo.ico"), std::ios::binary) << bitmap;
  EXPECT_THAT(Refused(In({"terms", "picture", "set", logo, "--lang", "de", Path("logo.ico")})), HasSubstr("TBitmap"));
  Ok(In({"terms", "picture", "set", logo, "--lang", "de", Path("logo.bmp")}));
  Ok(In({"terms", "picture", "save", logo, "--lang", "de", Path("de.bmp")}));
  EXPECT_EQ(Slurp(Path("de.bmp")), bitmap);

  Ok(In({"terms", "picture", "clear", logo, "--lang", "de"}));
  const json cleared = Json({"terms", "show", logo, "--target", "de"});
  EXPECT_EQ(cleared["target"]["exists"], true);
  EXPECT_EQ(cleared["target"]["size"], 0);
  Refused(In({"terms", "picture", "save", logo, "--lang", "de", Path("none.bmp")}));
}

}  // namespace
}  // namespace quintrel::cli::test
