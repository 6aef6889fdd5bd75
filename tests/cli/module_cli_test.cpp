// The module, lang and charset commands as a user runs them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/cli/run.h"

namespace quintrel::cli {
namespace {

using nlohmann::json;

class ZodCommands : public test::CliFixture {
protected:
  void SetUp() override {
    CliFixture::SetUp();
    UseOwnRegistry();
  }
  json RunJson(const std::vector<std::string>& args) {
    const std::string out = Ok(args);
    try {
      return json::parse(out);
    } catch (const json::exception&) {
      ADD_FAILURE() << "not JSON: " << out;
      return nullptr;
    }
  }
  std::string NewModule(const std::string& name) {
    std::filesystem::create_directories(std::filesystem::path(Path(name)).parent_path());
    Ok({"module", "new", Path(name)});
    return Path(name);
  }
};

TEST_F(ZodCommands, NewModuleSettingsAndInfo) {
  std::string m = NewModule("app.zod");
  EXPECT_THAT(Refused({"module", "new", m}), HasSubstr("file exists"));
  Ok({"module", "new", "--force", m});

  json info = RunJson({"module", "info", "--json", m});
  ExpectFields(info, {{"zodVer", 110}, {"old", false}, {"name", "app.zod"}});
  ExpectFields(info["settings"], {{"design-language", "??"}, {"show-lang-list", true}, {"win32-locale", false}});
  EXPECT_EQ(info["properties"].size(), 2u);

  Ok({"lang", "add", m, "##", "--name", "Design"});
  Ok({"lang", "add", m, "de", "--name", "German"});
  const std::vector<std::pair<std::string, std::string>> changes = {
      {"design-language", "##"},       {"default-language", "de"},   {"switch-resstr-pas", "off"},
      {"switch-resstr-rc", "no"},      {"win32-locale", "on"},       {"show-lang-list", "false"},
      {"save-session-language", "1"},  {"use-original-if-untranslated", "0"}, {"auto-include", "off"},
      {"auto-includes", "TLabel.Caption"}};
  for (const auto& [name, value] : changes) Ok({"module", "set", m, name, value});
  info = RunJson({"module", "info", "--json", m});
  ExpectFields(info["settings"], {{"design-language", "##"}, {"default-language", "de"}, {"switch-resstr-pas", false},
                                  {"switch-resstr-rc", false}, {"show-lang-list", false}, {"auto-include", false},
                                  {"use-original-if-untranslated", false}, {"win32-locale", true},
                                  {"save-session-language", true}, {"auto-includes", "TLabel.Caption"}});

  const std::string text = Ok({"module", "info", m});
  EXPECT_THAT(text, HasSubstr("default-language:              de"));
  EXPECT_THAT(text, HasSubstr("ZodVer:                        110"));

  // An unknown setting is refused with the list of those there are.
  const std::string unknown = Refused({"module", "set", m, "colour", "blue"});
  EXPECT_THAT(unknown, HasSubstr("unknown setting 'colour'"));
  EXPECT_THAT(unknown, HasSubstr("use-original-if-untranslated"));
  EXPECT_THAT(Refused({"module", "set", m, "win32-locale", "maybe"}), HasSubstr("'maybe' is not on or off"));
  Refused({"module", "set", m, "default-language", "deu"});
}

TEST_F(ZodCommands, FilesThatAreNoModules) {
  EXPECT_THAT(Refused({"module", "info", Path("missing.zod")}), HasSubstr(Path("missing.zod") + ": file not found"));
  std::ofstream(Path("text.zod")) << "just some text that is long enough to hold a database header, or is it? no.";
  const std::string err = Refused({"lang", "list", Path("text.zod")});
  EXPECT_THAT(err, HasSubstr(Path("text.zod")));
  EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line";
}

TEST_F(ZodCommands, PermanentRegistration) {
  std::string a = NewModule("a/Proj.zod"), b = NewModule("b.zod");
  std::filesystem::create_directories(Path("c"));
  std::filesystem::copy_file(a, Path("c/PROJ.ZOD"));
  Ok({"module", "register", "--permanent", a});
  Ok({"module", "register", "--permanent", Path("c/PROJ.ZOD")});  // the same module
  Ok({"module", "register", "--permanent", b});
  json list = RunJson({"module", "list", "--json"});
  ASSERT_EQ(list.size(), 2u) << list.dump();
  EXPECT_EQ(list[0]["place"], 0);
  EXPECT_EQ(list[0]["path"], a);
  EXPECT_EQ(list[0]["state"], "open");
  EXPECT_EQ(list[1]["path"], b);

  Refused({"module", "register", "--permanent", Path("ghost.zod")});
  EXPECT_EQ(RunJson({"module", "list", "--json"}).size(), 2u) << "a missing file is not registered";

  std::filesystem::remove(b);
  list = RunJson({"module", "list", "--json"});
  EXPECT_EQ(list[1]["state"], "missing");
  Ok({"module", "unregister", "--permanent", b});           // also when the file is gone
  Ok({"module", "unregister", "--permanent", "proj.zod"});  // by file name alone
  EXPECT_EQ(RunJson({"module", "list", "--json"}).size(), 0u);
  EXPECT_THAT(Refused({"module", "unregister", "--permanent", a}), HasSubstr("not registered permanently"));
}

TEST_F(ZodCommands, LanguagesAddShowSetRemove) {
  std::string m = NewModule("l.zod");
  Ok({"lang", "add", m, "de", "--name", "German", "--native", "Deutsch", "--charset", "0", "--win32-locale", "0407",
      "--long-day-names", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag", "Sonntag", "--am", "",
      "--time-separator", ":", "--currency", "\u20AC", "--apply-flags", "days,currency", "--keyboard", "0407",
      "--twenty-four-hour", "on", "--input-method", "IME"});
  EXPECT_EQ(Refused({"lang", "add", m, "de", "--name", "Again"}),
            "quintrel: " + m + ": The language identifier already exist!\n");
  Refused({"lang", "add", m, "fr"});  // a new language needs a name

  json de = RunJson({"lang", "show", "--json", m, "de"});
  ExpectFields(de, {{"id", "de"}, {"name", "German"}, {"nativeName", "Deutsch"}, {"win32Locale", "0407"},
                   {"keyboardLayout", "0407"}, {"applyFlags", 17}, {"currencyString", "\u20AC"},
                   {"twentyFourHour", true}, {"inputMethod", "IME"}, {"shortDateFormat", nullptr}});
  EXPECT_EQ(de["longDayNames"][6], "Sonntag");
  EXPECT_TRUE(de["shortDayNames"][0].is_null());

  EXPECT_EQ(Ok({"lang", "set", m, "de", "--short-date", "dd.MM.yyyy", "--currency", "EUR", "--charset", "238"}),
            "changed " + m + " (language de)\n");
  EXPECT_THAT(Refused({"lang", "set", m, "de", "--currency", "TOOLONG"}), HasSubstr("longer than the 5 characters"));
  Refused({"lang", "set", m, "de", "--charset", "300"});
  EXPECT_THAT(Refused({"lang", "set", m, "xx", "--charset", "1"}), HasSubstr("no language xx"));

  // A whole record through JSON: what show prints, add takes back.
  std::ofstream(Path("de.json")) << Ok({"lang", "show", "--json", m, "de"});
  Ok({"lang", "add", m, "at", "--from-json", Path("de.json"), "--name", "Austrian"});
  json at = RunJson({"lang", "show", "--json", m, "at"});
  de = RunJson({"lang", "show", "--json", m, "de"});
  EXPECT_EQ(at["name"], "Austrian");
  EXPECT_EQ(de["shortDateFormat"], "dd.MM.yyyy");
  at.erase("id");
  at.erase("name");
  de.erase("id");
  de.erase("name");
  EXPECT_EQ(at, de);

  // Languages keep the order they were added in: a new one comes last, a changed one stays
  // where it is, with every other record as it was.
  ASSERT_EQ(Ok({"lang", "add", m, "ru", "--name", "Russian", "--charset", "204"}),
            "changed " + m + " (language ru added)\n");
  const json before = RunJson({"lang", "show", "--json", m, "at"});
  Ok({"lang", "set", m, "de", "--charset", "0"});
  EXPECT_EQ(RunJson({"lang", "show", "--json", m, "at"}), before);
  json list = RunJson({"lang", "list", "--json", m});
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0]["id"], "de");
  EXPECT_EQ(list[0]["charset"], 0);
  EXPECT_EQ(list[1]["id"], "at");
  EXPECT_EQ(list[2]["id"], "ru");
  EXPECT_EQ(Ok({"lang", "remove", m, "ru"}), "changed " + m + " (language ru removed)\n");
  const std::string shown = Ok({"lang", "show", m, "de"});
  EXPECT_THAT(shown, HasSubstr("Short date format:        dd.MM.yyyy"));
  EXPECT_THAT(shown, HasSubstr("AM string:                \"\""));

  Ok({"lang", "remove", m, "de"});
  Refused({"lang", "remove", m, "de"});
  list = RunJson({"lang", "list", "--json", m});
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0]["id"], "at");
}

TEST_F(ZodCommands, ProcessesAddingAtOnceLoseNoLanguage) {
  std::string m = NewModule("shared.zod");
  std::string command;
  for (int i = 0; i < 6; ++i) {
    std::string id = "l" + std::to_string(i);
    command += Quote(QUINTREL_CLI) + " lang add " + Quote(m) + " " + id + " --name " + id + " & ";
  }
  command += "wait";
  ASSERT_EQ(std::system(command.c_str()), 0);
  json list = RunJson({"lang", "list", "--json", m});
  EXPECT_EQ(list.size(), 6u) << list.dump();
  Ok({"db", "check", m});
}

TEST_F(ZodCommands, CharsetConversionOfLegacyText) {
  struct TCase {
    const char* charset;
    std::string bytes;
    std::string utf8;
  };
  const TCase cases[] = {
      {"204", "\xcf\xf0\xe8\xe2\xe5\xf2", "Привет"},
      {"128", "\x93\xfa\x96\x7b\x8c\xea\x83\x65\x83\x4c\x83\x58\x83\x67", "日本語テキスト"},
      {"129", "\xc7\xd1\xb1\xb9\xbe\xee", "한국어"},
      {"134", "\xd6\xd0\xce\xc4", "中文"},
      {"161", "\xc5\xeb\xeb\xe7\xed\xe9\xea\xdc", "Ελληνικά"},
      {"238", "\x8e\x6c\x75\x9d\x6f\x75\xe8\x6b\xfd", "Žluťoučký"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(Ok({"charset", "decode", c.charset}, c.bytes + "\r\nline 2\n"), c.utf8 + "\r\nline 2\n") << c.charset;
    EXPECT_EQ(Ok({"charset", "encode", c.charset}, c.utf8 + "\n"), c.bytes + "\n") << c.charset;
  }
  EXPECT_EQ(Ok({"charset", "decode", "1", "--acp", "1251"}, "\xcf\xf0"), "Пр");
  EXPECT_EQ(Ok({"charset", "encode", "0"}, "a\u20AC\u0416b"),
            "a\x7f\x7f"
            "b")
      << "no byte for them in the own table";
  EXPECT_EQ(Ok({"charset", "decode", "0"}, std::string("\x80\x00\xff", 3)), std::string("\uFFFD\0\u00FF", 6))
      << "no euro sign in the own 1252 table";
  EXPECT_THAT(Refused(Run({"charset", "decode", "77"}, "x")), HasSubstr("charset 77 has no code page"));
}

// Regional settings from the system's locale definitions: filled, flagged for applying,
// overridden by the options beside --locale.
TEST_F(ZodCommands, LangAddAndSetFromSystemLocale) {
  if (!std::filesystem::is_directory("/usr/share/i18n/locales")) FAIL() << "no /usr/share/i18n/locales (scripts/install-deps installs Debian package locales)";
  std::string m = NewModule("loc.zod");
  EXPECT_EQ(Run({"lang", "add", m, "de", "--locale", "de_DE.UTF-8"}).err, "") << "nothing missing, nothing cut";
  json de = RunJson({"lang", "show", "--json", m, "de"});
  ExpectFields(de, {{"name", "German"}, {"nativeName", "Deutsch"}, {"win32Locale", "0407"}, {"applyFlags", 31},
                   {"shortDateFormat", "dd.MM.yyyy"}, {"currencyString", "\u20AC"}, {"negCurrFormat", 8}});
  EXPECT_EQ(de["longDayNames"][0], "Montag");
  EXPECT_EQ(de["shortMonthNames"][2], "M\u00e4r");

  Ok({"lang", "set", m, "de", "--locale", "ru_RU", "--currency", "RUB", "--apply-flags", "days"});
  de = RunJson({"lang", "show", "--json", m, "de"});
  EXPECT_EQ(de["charset"], 204);
  EXPECT_EQ(de["longMonthNames"][0], "\u042F\u043D\u0432\u0430\u0440\u044C");
  EXPECT_EQ(de["currencyString"], "RUB") << "an option beside --locale wins";
  EXPECT_EQ(de["applyFlags"], 1);

  EXPECT_EQ(Refused({"lang", "add", m, "zz", "--locale", "zz_ZZ"}),
            "quintrel: no locale definition zz_ZZ in /usr/share/i18n/locales\n");
}

TEST_F(ZodCommands, LangAddSaysWhichRegionalGroupsAreEmpty) {
  std::string m = NewModule("groups.zod");
  auto r = Run({"lang", "add", m, "xx", "--name", "X"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err,
            "quintrel: warning: language xx has no day names, month names, time settings, date formats, currency and "
            "number settings (use --locale)\n");
  r = Run({"lang", "add", m, "yy", "--name", "Y", "--short-date", "d/M/y", "--time-separator", ":"});
  EXPECT_EQ(r.code, 0);
  EXPECT_THAT(r.err, HasSubstr("has no day names, month names, currency and number settings ("));

  // A definition that cannot be used changes nothing and says where it is wrong.
  std::ofstream(Path("bad_LC")) << "comment_char %\nLC_TIME\nday \"<U00ZZ>\"\nEND LC_TIME\n";
  EXPECT_EQ(
      Refused({"lang", "add", m, "zz", "--locale", Path("bad_LC")}),
      "quintrel: " + Path("bad_LC") + ":3: '<U00ZZ>' is not a character symbol <Uxxxx> of a Unicode scalar value\n");
  EXPECT_EQ(RunJson({"lang", "list", "--json", m}).size(), 2u);
}

// --force replaces a module and nothing else: whatever else has the name stays as it was.
TEST_F(ZodCommands, NewModuleForceReplacesOnlyAModule) {
  std::string m = NewModule("old.zod");
  Ok({"lang", "add", m, "de", "--name", "German"});
  Ok({"module", "new", "--force", m});
  EXPECT_EQ(RunJson({"lang", "list", "--json", m}).size(), 0u) << "the module was replaced by an empty one";
  EXPECT_EQ(RunJson({"module", "info", "--json", m})["name"], "old.zod");

  const std::string source = "unit Main;\ninterface\nimplementation\nend.\n";
  std::ofstream(Path("Main.pas")) << source;
  Ok({"db", "create", Path("rows.zod"), "--define", "ROWS Str V"});
  Ok({"db", "create", Path("bare.zod")});
  const std::string rows = Slurp(Path("rows.zod"));
  std::filesystem::create_directories(Path("folder.zod"));
  const std::pair<const char*, const char*> cases[] = {{"Main.pas", "other than a record database"},
                                                       {"rows.zod", "tables of its own (ROWS)"},
                                                       {"bare.zod", "without the module's Properties table"},
                                                       {"folder.zod", "a folder"}};
  for (const auto& [name, what] : cases)
    for (bool force : {false, true}) {
      const std::string err =
          Refused(force ? Run({"module", "new", "--force", Path(name)}) : Run({"module", "new", Path(name)}));
      EXPECT_THAT(err, StartsWith("quintrel: " + Path(name) + ": is "));
      EXPECT_THAT(err, HasSubstr(what));
    }
  EXPECT_EQ(Slurp(Path("Main.pas")), source);
  EXPECT_EQ(Slurp(Path("rows.zod")), rows);
  EXPECT_TRUE(std::filesystem::is_directory(Path("folder.zod")));
}

// The module is named the same way everywhere: a positional FILE, --module, or the
// project's own (<project>.ZOD in whatever case it exists).
TEST_F(ZodCommands, ModuleNamedByFileOptionOrProject) {
  std::filesystem::create_directories(Path("p"));
  std::ofstream(Path("p/TileFit3.dpr")) << "program TileFit3;\nbegin\nend.\n";
  const std::string project = Path("p");
  EXPECT_THAT(Refused({"lang", "list", "--project", project}),
              HasSubstr(Path("p/TileFit3.ZOD") + ": file not found (the module of project"));
  json info = RunJson({"project", "info", "--json", project});
  EXPECT_EQ(info["module"], Path("p/TileFit3.ZOD"));
  EXPECT_EQ(info["moduleExists"], false);

  // A module that came as TileFit3.zod is the project's module for every command.
  Ok({"module", "new", Path("p/TileFit3.zod")});
  info = RunJson({"project", "info", "--json", "--project", project});
  EXPECT_EQ(info["module"], Path("p/TileFit3.zod"));
  EXPECT_EQ(info["moduleExists"], true);
  EXPECT_THAT(Ok({"project", "info", project}), HasSubstr("Module:  TileFit3.zod\n"));
  Refused({"project", "info", project, "--project", project}, 2);  // PROJECT and --project exclude each other

  Ok({"lang", "add", "--project", project, "de", "--name", "German"});  // ID alone
  Ok({"lang", "add", "en", "--name", "English", "--project", project});
  Ok({"module", "set", "--project", project, "design-language", "en"});
  const std::string m = Path("p/TileFit3.zod");
  EXPECT_EQ(RunJson({"lang", "show", "--json", "--module", m, "de"})["name"], "German");
  EXPECT_EQ(RunJson({"lang", "show", "--json", m, "en"})["name"], "English");
  EXPECT_EQ(RunJson({"module", "info", "--json", "--project", project})["settings"]["design-language"], "en");
  EXPECT_EQ(RunJson({"lang", "list", "--json", "--module", m}).size(), 2u);
  Ok({"db", "check", "--project", project});
  EXPECT_THAT(Ok({"db", "dump", "--project", project, "Properties"}), StartsWith("_RECNO\tName\tData\n"));
  Ok({"db", "reindex", "--module", m, "Properties", "Name"});
  Ok({"db", "reindex", "Properties", "Name", "--project", project});

  Refused({"lang", "show", m, "de", "--module", m}, 2);  // FILE and --module exclude each other
  Refused({"lang", "show", m, "de", "en"}, 2);
  // The spelling that exists.
  EXPECT_THAT(Refused({"module", "new", "--project", project}), HasSubstr(m + ": file exists"));
}

// Languages the module does not have, and identifiers that differ from one it has only in
// case, are refused with the list of what the module has.
TEST_F(ZodCommands, LanguageIdentifiersAreCaseSensitive) {
  std::string m = NewModule("case.zod");
  Ok({"lang", "add", m, "de", "--name", "German"});
  Ok({"lang", "add", m, "en", "--name", "English"});
  EXPECT_EQ(Refused({"lang", "add", m, "DE", "--name", "Twin"}),
            "quintrel: " + m +
                ": the module has language de; identifiers are case-sensitive in the module, so DE would be "
                "a second language beside it\n");
  for (const char* verb : {"show", "set", "remove"})
    EXPECT_EQ(Refused({"lang", verb, m, "DE"}),
              "quintrel: " + m + ": no language DE; the module has: de, en (identifiers are case-sensitive)\n");
  for (const char* setting : {"design-language", "default-language"}) {
    EXPECT_THAT(Refused({"module", "set", m, setting, "xx"}), HasSubstr("no language xx; the module has: de, en"));
    Ok({"module", "set", m, setting, "de"});
    Ok({"module", "set", m, setting, "??"});  // none stays allowed
  }
  EXPECT_EQ(RunJson({"lang", "list", "--json", m}).size(), 2u);
}

// Values that do not fit a field are refused, naming it, and nothing is stored.
TEST_F(ZodCommands, LanguageFieldsRefuseValuesThatDoNotFit) {
  std::string m = NewModule("fields.zod");
  Ok({"lang", "add", m, "ru", "--name", "Russian", "--charset", "204"});
  for (const std::string charset : {"2", "77", "100", "130", "255"}) {
    EXPECT_THAT(Refused({"lang", "set", m, "ru", "--charset", charset}),
                StartsWith("quintrel: --charset: charset " + charset +
                           " has no code page; the charsets that have one: 0 1 128 "));
    Refused({"lang", "add", m, "xx", "--name", "X", "--charset", charset});
  }
  const std::pair<const char*, const char*> inputs[] = {
      {R"({"name": 5})", "field 'name': a text expected, not 5"},
      {R"({"currencyString": true})", "field 'currencyString': a text expected, not true"},
      {R"({"longDayNames": [1, 2, 3, 4, 5, 6, 7]})", "field 'longDayNames': a text expected, not 1"},
      {R"({"charset": 77})", "field 'charset': charset 77 has no code page"},
      {R"({"twentyFourHour": 1})", "field 'twentyFourHour': true or false expected, not 1"},
      {R"({"currencyDecimals": "two"})", "field 'currencyDecimals': 'two' is not a number"}};
  for (const auto& [input, message] : inputs) {
    std::ofstream(Path("in.json"), std::ios::trunc) << input;
    EXPECT_THAT(Refused({"lang", "set", m, "ru", "--from-json", Path("in.json")}),
                StartsWith("quintrel: " + Path("in.json") + ": " + message));
  }
  json ru = RunJson({"lang", "show", "--json", m, "ru"});
  EXPECT_EQ(ru["name"], "Russian");
  EXPECT_EQ(ru["charset"], 204);
  EXPECT_EQ(RunJson({"lang", "list", "--json", m}).size(), 1u);
}

// Apply flags never install a group the language has no data for.
TEST_F(ZodCommands, ApplyFlagsOnlyForGroupsWithData) {
  std::string m = NewModule("flags.zod");
  auto r = Succeeds(Run({"lang", "add", m, "xx", "--name", "X", "--apply-flags", "all"}));
  EXPECT_THAT(r.err, HasSubstr("quintrel: warning: the apply flags of language xx leave out day names, month names, "
                               "time settings, date formats, currency and number settings: it has no data for them"));
  EXPECT_EQ(RunJson({"lang", "show", "--json", m, "xx"})["applyFlags"], 32) << "only the Win32 settings";

  r = Succeeds(Run({"lang", "set", m, "xx", "--short-date", "d/M/y", "--apply-flags", "all"}));
  EXPECT_THAT(r.err, HasSubstr("leave out day names, month names, time settings, currency and number settings:"));
  EXPECT_EQ(RunJson({"lang", "show", "--json", m, "xx"})["applyFlags"], 8 | 32);
  r = Run({"lang", "set", m, "xx", "--apply-flags", "date"});
  EXPECT_EQ(r.err, "") << "nothing left out";
}

TEST_F(ZodCommands, ModuleListSaysWhenItIsEmpty) {
  EXPECT_EQ(Ok({"module", "list"}),
            "No modules are registered permanently ('quintrel module register --permanent FILE' registers one).\n");
  EXPECT_EQ(RunJson({"module", "list", "--json"}), json::array());
}

}  // namespace
}  // namespace quintrel::cli
