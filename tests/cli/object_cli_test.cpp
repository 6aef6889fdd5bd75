// The object catalogue and terms as a new user meets them: names, languages, one handle per
// object, texts read from the project's forms.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/cli/run.h"

namespace quintrel::cli {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

class ObjectCommands : public test::CliFixture {
protected:
  // The one line a command printed, without its line end.
  static std::string Line(const std::string& out) { return out.substr(0, out.find('\n')); }
  std::string NewModule(const std::string& name) {
    const std::string file = Path(name);
    Ok({"module", "new", file});
    Ok({"lang", "add", file, "en", "--name", "English"});
    Ok({"lang", "add", file, "de", "--name", "German"});
    Ok({"module", "set", file, "design-language", "en"});
    return file;
  }
  // A Delphi project with one form whose button, list box and own caption hold texts.
  void WriteProject() const {
    Write("App.dpr", "program App;\r\nuses\r\n  Main in 'Main.pas' {MainForm};\r\nbegin\r\nend.\r\n");
    Write("Main.pas", "unit Main;\r\ninterface\r\nimplementation\r\nend.\r\n");
    Write("Main.dfm",
          "object MainForm: TMainForm\r\n"
          "  Caption = 'Addresses'\r\n"
          "  object OkButton: TButton\r\n    Caption = 'R'#233'sum'#233\r\n  end\r\n"
          "  object Groups: TListBox\r\n    Items.Strings = (\r\n      'All'\r\n      'Family')\r\n  end\r\n"
          "  object Blank: TLabel\r\n  end\r\n"
          "end\r\n");
  }
};

TEST_F(ObjectCommands, NamesAreIdentifiersAndFormsCompareIgnoringCase) {
  const std::string file = NewModule("n.zod");
  EXPECT_NE(Refused({"object", "add", file, "Main", "Save Btn", "Caption"}).find("COMPONENT: 'Save Btn'"),
            std::string::npos);
  EXPECT_NE(Refused({"object", "add", file, "F\xff", "C", "Caption"}).find("FORM: not UTF-8 (an ill-formed sequence "
                                                                         "at byte offset 1)"),
            std::string::npos);
  for (const char* bad : {"Caption[]", "Font..Name", "Items[1]Caption", "1Caption", "Lines.Strings[x]"})
    EXPECT_NE(Refused({"object", "add", file, "Main", "C", bad}).find("is not a property path"), std::string::npos)
        << bad;
  const std::string classError = Refused({"object", "add", file, "Main", "C", "Caption", "--class", "TNoSuchClass"});
  EXPECT_THAT(classError, HasSubstr("ucButton"));
  EXPECT_EQ(Ok({"object", "list", file}), "id\tterm\tform\tcomponent\tproperty\tkind\tclass\tlocked\tpriority\n")
      << "nothing refused was added";

  const std::string id = Ok({"object", "add", file, "Main", "Memo1", "Lines.Strings[0]", "--class", "TMemo"});
  Ok({"object", "add", file, "Main", "List", "Items[1].Caption"});
  Ok({"object", "add", file, "Main", "", "Font.Name", "--class", "TForm"});
  // The same form in other case, the same component and property: the same object.
  EXPECT_EQ(Ok({"object", "add", file, "MAIN", "Memo1", "Lines.Strings[0]", "--kind", "utConstant"}), id);
  const json rows = json::parse(Ok({"object", "list", file, "--form", "main", "--json"}));
  ASSERT_EQ(rows.size(), 3u);
  for (const json& row : rows) EXPECT_EQ(row["form"], "Main");
  EXPECT_EQ(rows[0]["kind"], "utConstant");  // updated
  EXPECT_EQ(rows[0]["class"], "ucEditBox");   // kept: --class was not given again
  EXPECT_EQ(rows[2]["component"], "");
  EXPECT_NE(Refused({"object", "list", file, "--form", "Form1"}).find("no form Form1; the catalogue has: Main"),
            std::string::npos);
}

TEST_F(ObjectCommands, LanguagesTheModuleLacksAreRefused) {
  const std::string file = NewModule("l.zod");
  const std::string missing = "no language DE; the module has: en, de (identifiers are case-sensitive)";
  EXPECT_NE(Refused({"term", "set", file, "DE", "458745", "x"}).find(missing), std::string::npos);
  EXPECT_NE(Refused({"term", "list", file, "DE"}).find(missing), std::string::npos);
  EXPECT_NE(Refused({"term", "get", file, "DE", "458745"}).find(missing), std::string::npos);
  EXPECT_NE(Refused({"object", "list", file, "--lang", "DE"}).find(missing), std::string::npos);
  EXPECT_NE(Refused({"object", "add", file, "F", "B", "Caption", "--text", "x", "--lang", "DE"}).find(missing),
            std::string::npos);
  EXPECT_NE(Refused({"object", "add", file, "F", "B", "Caption", "--text", "x", "--translation", "DE=y"}).find(missing),
            std::string::npos);
  EXPECT_NE(Refused({"object", "add", file, "F", "B", "Caption", "--text", "x", "--translation", "de=y",
                     "--translation", "de=z"})
                .find("two texts for language de"),
            std::string::npos);
  EXPECT_NE(Refused({"object", "add", file, "F", "B", "Caption", "--text", "x", "--translation", "en=y"})
                .find("--translation en"),
            std::string::npos);
  // Nothing of it reached the module: no object, and no hidden term table beside ZodTermsde.
  const json info = json::parse(Ok({"db", "info", file, "--json"}));
  EXPECT_EQ(info.dump().find("ZodTermsDE"), std::string::npos);
  EXPECT_EQ(info.dump().find("ZodTerms"), std::string::npos);
  EXPECT_EQ(json::parse(Ok({"object", "list", file, "--json"})).size(), 0u);
}

TEST_F(ObjectCommands, AnObjectHasOneHandleForItsTerm) {
  const std::string file = NewModule("h.zod");
  const std::string id = Line(Ok({"object", "add", file, "Main", "OkButton", "Caption", "--text", "OK"}));
  // Without a text or a project the object has no term yet, and says so.
  test::TRunResult bare = Run({"object", "add", file, "Main", "Title", "Caption"});
  ASSERT_EQ(bare.code, 0) << bare.err;
  EXPECT_THAT(bare.err, HasSubstr("has no text yet"));
  const std::string bareId = Line(bare.out);
  EXPECT_NE(Refused({"term", "get", file, "en", "--object", bareId}).find("has no term yet"), std::string::npos);

  // term set --object gives it a term; the translation goes for review by default.
  const std::string term = Line(Ok({"term", "set", file, "de", "--object", bareId, "Titel"}));
  EXPECT_EQ(Ok({"term", "get", file, "de", "--object", bareId, "--json"}),
            json({{"id", std::stoul(term)}, {"status", "review"}, {"style", 0}, {"text", "Titel"}}).dump() + "\n");
  // Adding the object again updates its text and keeps its id.
  EXPECT_EQ(Line(Ok({"object", "add", file, "Main", "OkButton", "Caption", "--text", "Okay"})), id);
  EXPECT_EQ(Ok({"object", "list", file, "--lang", "en", "--lang", "de"}),
            "id\tterm\tform\tcomponent\tproperty\tkind\tclass\tlocked\tpriority\ten\tde\n" + id +
                "\t458745\tMain\tOkButton\tCaption\tutString\tucUnknown\t-\t0\tsigned-off:Okay\tmissing:\n" + bareId +
                "\t" + term + "\tMain\tTitle\tCaption\tutString\tucUnknown\t-\t0\tmissing:\treview:Titel\n");
  EXPECT_EQ(Run({"term", "get", file, "en", "458745", "--object", id}).code, 2);  // one or the other
}

TEST_F(ObjectCommands, TermTextsFromFilesStandardInputAndAfterDoubleDash) {
  const std::string file = NewModule("t.zod");
  Ok({"lang", "add", file, "ru", "--name", "Russian", "--charset", "204"});
  Write("text.txt", "Zeile 1\r\nZeile\t2\\\n");
  Ok({"term", "set", file, "de", "458745", "--text-file", Path("text.txt")});
  Ok({"term", "set", file, "de", "458746", "--text-file", "-"}, "von stdin\n");
  Ok({"term", "set", file, "de", "458747", "--", "-5 %"});
  Ok({"term", "set", file, "en", "458747", "minus five", "--status", "signed-off"});
  Ok({"term", "set", file, "en", "458747", "minus 5"});  // an existing design text keeps its status
  EXPECT_EQ(Ok({"term", "list", file, "de"}),
            "458745\treview\t0\tZeile 1\\r\\nZeile\\t2\\\\\n458746\treview\t0\tvon stdin\n458747\treview\t0\t-5 %\n");
  EXPECT_EQ(Ok({"term", "list", file, "en"}), "458747\tsigned-off\t0\tminus 5\n");

  // Characters the language's code page lacks are named; the text is stored all the same.
  test::TRunResult lossy = Run({"term", "set", file, "ru", "458745", "Ä ✓ Я"});
  EXPECT_EQ(lossy.code, 0) << lossy.err;
  EXPECT_THAT(lossy.err, HasSubstr("cannot hold Ä (U+00C4), ✓ (U+2713);"));
  EXPECT_EQ(Run({"term", "set", file, "ru", "458746", "Я"}).err, "");

  Write("big.txt", std::string((1 << 20) + 1, 'x'));
  EXPECT_NE(Refused({"term", "set", file, "de", "1", "--text-file", Path("big.txt")}).find("larger than"),
            std::string::npos);
  EXPECT_NE(Refused({"term", "set", file, "de", "1", "--text-file", dir_.string()}).find("not a regular file"),
            std::string::npos);
  Write("bad.txt", "ok\xC3");
  EXPECT_NE(Refused({"term", "set", file, "de", "1", "--text-file", Path("bad.txt")}).find("byte offset 2"),
            std::string::npos);
}

TEST_F(ObjectCommands, TextsComeFromTheProjectsFormAndTheModuleFromItsProject) {
  WriteProject();
  const std::string file = NewModule("App.zod");
  const std::string project = Path("App.dpr");
  // No FILE: the module is the project's.
  const std::string id = Ok({"object", "add", "--project", project, "mainform", "OkButton", "Caption"});
  Ok({"object", "add", "--project", project, "MainForm", "", "Caption"});
  Ok({"object", "add", "--project", project, "MainForm", "Groups", "Items.Strings[1]"});
  test::TRunResult blank = Run({"object", "add", "--project", project, "MainForm", "Blank", "Caption"});
  EXPECT_EQ(blank.code, 0) << blank.err;
  EXPECT_THAT(blank.err, HasSubstr("has no text yet"));
  const json rows = json::parse(Ok({"object", "list", "--project", project, "--lang", "en", "--json"}));
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0]["form"], "mainform");  // the first spelling is the catalogue's
  EXPECT_EQ(rows[0]["texts"]["en"], (json{{"text", "Résumé"}, {"status", "review"}}));
  EXPECT_EQ(rows[1]["texts"]["en"]["text"], "Addresses");
  EXPECT_EQ(rows[2]["texts"]["en"]["text"], "Family");
  EXPECT_EQ(rows[3]["term"], 0);
  EXPECT_EQ(Ok({"term", "get", "--module", file, "en", "--object", Line(id)}), "Résumé\n");

  EXPECT_NE(Refused({"object", "add", "--project", project, "Other", "B", "Caption"})
                .find("the project has no form Other; it has: MainForm"),
            std::string::npos);
  EXPECT_NE(Refused({"object", "add", "--project", project, "MainForm", "Nope", "Caption"})
                .find("has no component Nope; it has: OkButton, Groups, Blank"),
            std::string::npos);
  // FILE and --module name the same thing once.
  Refused({"term", "list", file, "en", "--module", file}, 2);
  Refused({"term", "list"}, 2);
}

}  // namespace
}  // namespace quintrel::cli
