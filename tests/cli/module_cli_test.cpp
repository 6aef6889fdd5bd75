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
    registry_.emplace(Path("registry.ini"));
  }
  void TearDown() override {
    registry_.reset();
    CliFixture::TearDown();
  }
  std::optional<test::TScratchRegistry> registry_;
  json RunJson(const std::vector<std::string>& args) {
    test::TRunResult r = Run(args);
    EXPECT_EQ(r.code, 0) << r.err;
    try {
      return json::parse(r.out);
    } catch (const json::exception&) {
      ADD_FAILURE() << "not JSON: " << r.out;
      return nullptr;
    }
  }
  std::string NewModule(const std::string& name) {
    std::filesystem::create_directories(std::filesystem::path(Path(name)).parent_path());
    test::TRunResult r = Run({"module", "new", Path(name)});
    EXPECT_EQ(r.code, 0) << r.err;
    return Path(name);
  }

};

TEST_F(ZodCommands, NewModuleSettingsAndInfo) {
  std::string m = NewModule("app.zod");
  auto r = Run({"module", "new", m});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("file exists"), std::string::npos) << r.err;
  EXPECT_EQ(Run({"module", "new", "--force", m}).code, 0);

  json info = RunJson({"module", "info", "--json", m});
  EXPECT_EQ(info["zodVer"], 110);
  EXPECT_EQ(info["old"], false);
  EXPECT_EQ(info["name"], "app.zod");
  EXPECT_EQ(info["settings"]["design-language"], "??");
  EXPECT_EQ(info["settings"]["show-lang-list"], true);
  EXPECT_EQ(info["settings"]["win32-locale"], false);
  EXPECT_EQ(info["properties"].size(), 2u);

  ASSERT_EQ(Run({"lang", "add", m, "##", "--name", "Design"}).code, 0);
  ASSERT_EQ(Run({"lang", "add", m, "de", "--name", "German"}).code, 0);
  const std::vector<std::pair<std::string, std::string>> changes = {
      {"design-language", "##"},       {"default-language", "de"},   {"switch-resstr-pas", "off"},
      {"switch-resstr-rc", "no"},      {"win32-locale", "on"},       {"show-lang-list", "false"},
      {"save-session-language", "1"},  {"use-original-if-untranslated", "0"}, {"auto-include", "off"},
      {"auto-includes", "TLabel.Caption"}};
  for (const auto& [name, value] : changes) {
    r = Run({"module", "set", m, name, value});
    EXPECT_EQ(r.code, 0) << name << ": " << r.err;
  }
  info = RunJson({"module", "info", "--json", m});
  const json& s = info["settings"];
  EXPECT_EQ(s["design-language"], "##");
  EXPECT_EQ(s["default-language"], "de");
  for (const char* name : {"switch-resstr-pas", "switch-resstr-rc", "show-lang-list", "use-original-if-untranslated",
                           "auto-include"})
    EXPECT_EQ(s[name], false) << name;
  EXPECT_EQ(s["win32-locale"], true);
  EXPECT_EQ(s["save-session-language"], true);
  EXPECT_EQ(s["auto-includes"], "TLabel.Caption");

  r = Run({"module", "info", m});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("default-language:              de"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("ZodVer:                        110"), std::string::npos) << r.out;

  r = Run({"module", "set", m, "colour", "blue"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("unknown setting 'colour'"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("use-original-if-untranslated"), std::string::npos) << "lists the settings";
  r = Run({"module", "set", m, "win32-locale", "maybe"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("'maybe' is not on or off"), std::string::npos) << r.err;
  r = Run({"module", "set", m, "default-language", "deu"});
  EXPECT_EQ(r.code, 1);
}

TEST_F(ZodCommands, FilesThatAreNoModules) {
  auto r = Run({"module", "info", Path("missing.zod")});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find(Path("missing.zod") + ": file not found"), std::string::npos) << r.err;
  std::ofstream(Path("text.zod")) << "just some text that is long enough to hold a database header, or is it? no.";
  r = Run({"lang", "list", Path("text.zod")});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find(Path("text.zod")), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line";
}

TEST_F(ZodCommands, PermanentRegistration) {
  std::string a = NewModule("a/Proj.zod"), b = NewModule("b.zod");
  std::filesystem::create_directories(Path("c"));
  std::filesystem::copy_file(a, Path("c/PROJ.ZOD"));
  EXPECT_EQ(Run({"module", "register", "--permanent", a}).code, 0);
  EXPECT_EQ(Run({"module", "register", "--permanent", Path("c/PROJ.ZOD")}).code, 0) << "the same module";
  EXPECT_EQ(Run({"module", "register", "--permanent", b}).code, 0);
  json list = RunJson({"module", "list", "--json"});
  ASSERT_EQ(list.size(), 2u) << list.dump();
  EXPECT_EQ(list[0]["place"], 0);
  EXPECT_EQ(list[0]["path"], a);
  EXPECT_EQ(list[0]["state"], "open");
  EXPECT_EQ(list[1]["path"], b);

  auto r = Run({"module", "register", "--permanent", Path("ghost.zod")});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(RunJson({"module", "list", "--json"}).size(), 2u) << "a missing file is not registered";

  std::filesystem::remove(b);
  list = RunJson({"module", "list", "--json"});
  EXPECT_EQ(list[1]["state"], "missing");
  EXPECT_EQ(Run({"module", "unregister", "--permanent", b}).code, 0) << "also when the file is gone";
  EXPECT_EQ(Run({"module", "unregister", "--permanent", "proj.zod"}).code, 0) << "by file name alone";
  EXPECT_EQ(RunJson({"module", "list", "--json"}).size(), 0u);
  r = Run({"module", "unregister", "--permanent", a});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("not registered permanently"), std::string::npos) << r.err;
}

TEST_F(ZodCommands, LanguagesAddShowSetRemove) {
  std::string m = NewModule("l.zod");
  auto r = Run({"lang", "add", m, "de", "--name", "German", "--native", "Deutsch", "--charset", "0", "--win32-locale",
                "0407", "--long-day-names", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag",
                "Sonntag", "--am", "", "--time-separator", ":", "--currency", "\u20AC", "--apply-flags",
                "days,currency", "--keyboard", "0407", "--twenty-four-hour", "on", "--input-method", "IME"});
  ASSERT_EQ(r.code, 0) << r.err;
  r = Run({"lang", "add", m, "de", "--name", "Again"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "quintrel: " + m + ": The language identifier already exist!\n");
  r = Run({"lang", "add", m, "fr"});
  EXPECT_EQ(r.code, 1) << "a new language needs a name";

  json de = RunJson({"lang", "show", "--json", m, "de"});
  EXPECT_EQ(de["id"], "de");
  EXPECT_EQ(de["name"], "German");
  EXPECT_EQ(de["nativeName"], "Deutsch");
  EXPECT_EQ(de["win32Locale"], "0407");
  EXPECT_EQ(de["keyboardLayout"], "0407");
  EXPECT_EQ(de["applyFlags"], 17);
  EXPECT_EQ(de["longDayNames"][6], "Sonntag");
  EXPECT_TRUE(de["shortDayNames"][0].is_null());
  EXPECT_EQ(de["currencyString"], "\u20AC");
  EXPECT_EQ(de["twentyFourHour"], true);
  EXPECT_EQ(de["inputMethod"], "IME");
  EXPECT_TRUE(de["shortDateFormat"].is_null());

  r = Run({"lang", "set", m, "de", "--short-date", "dd.MM.yyyy", "--currency", "EUR", "--charset", "238"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "changed " + m + " (language de)\n");
  r = Run({"lang", "set", m, "de", "--currency", "TOOLONG"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("longer than the 5 characters"), std::string::npos) << r.err;
  r = Run({"lang", "set", m, "de", "--charset", "300"});
  EXPECT_EQ(r.code, 1);
  r = Run({"lang", "set", m, "xx", "--charset", "1"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("no language xx"), std::string::npos) << r.err;

  // A whole record through JSON: what show prints, add takes back.
  r = Run({"lang", "show", "--json", m, "de"});
  std::ofstream(Path("de.json")) << r.out;
  r = Run({"lang", "add", m, "at", "--from-json", Path("de.json"), "--name", "Austrian"});
  ASSERT_EQ(r.code, 0) << r.err;
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
  ASSERT_EQ(Run({"lang", "add", m, "ru", "--name", "Russian", "--charset", "204"}).out,
            "changed " + m + " (language ru added)\n");
  const json before = RunJson({"lang", "show", "--json", m, "at"});
  ASSERT_EQ(Run({"lang", "set", m, "de", "--charset", "0"}).code, 0);
  EXPECT_EQ(RunJson({"lang", "show", "--json", m, "at"}), before);
  json list = RunJson({"lang", "list", "--json", m});
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0]["id"], "de");
  EXPECT_EQ(list[0]["charset"], 0);
  EXPECT_EQ(list[1]["id"], "at");
  EXPECT_EQ(list[2]["id"], "ru");
  EXPECT_EQ(Run({"lang", "remove", m, "ru"}).out, "changed " + m + " (language ru removed)\n");
  r = Run({"lang", "show", m, "de"});
  EXPECT_NE(r.out.find("Short date format:        dd.MM.yyyy"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("AM string:                \"\""), std::string::npos) << r.out;

  EXPECT_EQ(Run({"lang", "remove", m, "de"}).code, 0);
  EXPECT_EQ(Run({"lang", "remove", m, "de"}).code, 1);
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
  EXPECT_EQ(Run({"db", "check", m}).code, 0);
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
    auto r = Run({"charset", "decode", c.charset}, c.bytes + "\r\nline 2\n");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, c.utf8 + "\r\nline 2\n") << c.charset;
    r = Run({"charset", "encode", c.charset}, c.utf8 + "\n");
    EXPECT_EQ(r.out, c.bytes + "\n") << c.charset;
  }
  auto r = Run({"charset", "decode", "1", "--acp", "1251"}, "\xcf\xf0");
  EXPECT_EQ(r.out, "Пр");
  r = Run({"charset", "encode", "0"}, "a\u20AC\u0416b");
  EXPECT_EQ(r.out, "a\x7f\x7f" "b") << "no byte for them in the own table";
  r = Run({"charset", "decode", "0"}, std::string("\x80\x00\xff", 3));
  EXPECT_EQ(r.out, std::string("\uFFFD\0\u00FF", 6)) << "no euro sign in the own 1252 table";
  r = Run({"charset", "decode", "77"}, "x");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("charset 77 has no code page"), std::string::npos) << r.err;
}

// Regional settings from the system's locale definitions: filled, flagged for applying,
// overridden by the options beside --locale.
TEST_F(ZodCommands, LangAddAndSetFromSystemLocale) {
  if (!std::filesystem::is_directory("/usr/share/i18n/locales")) FAIL() << "no /usr/share/i18n/locales (scripts/install-deps installs Debian package locales)";
  std::string m = NewModule("loc.zod");
  auto r = Run({"lang", "add", m, "de", "--locale", "de_DE.UTF-8"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "") << "nothing missing, nothing cut";
  json de = RunJson({"lang", "show", "--json", m, "de"});
  EXPECT_EQ(de["name"], "German");
  EXPECT_EQ(de["nativeName"], "Deutsch");
  EXPECT_EQ(de["win32Locale"], "0407");
  EXPECT_EQ(de["applyFlags"], 31);
  EXPECT_EQ(de["longDayNames"][0], "Montag");
  EXPECT_EQ(de["shortMonthNames"][2], "M\u00e4r");
  EXPECT_EQ(de["shortDateFormat"], "dd.MM.yyyy");
  EXPECT_EQ(de["currencyString"], "\u20AC");
  EXPECT_EQ(de["negCurrFormat"], 8);

  r = Run({"lang", "set", m, "de", "--locale", "ru_RU", "--currency", "RUB", "--apply-flags", "days"});
  ASSERT_EQ(r.code, 0) << r.err;
  de = RunJson({"lang", "show", "--json", m, "de"});
  EXPECT_EQ(de["charset"], 204);
  EXPECT_EQ(de["longMonthNames"][0], "\u042F\u043D\u0432\u0430\u0440\u044C");
  EXPECT_EQ(de["currencyString"], "RUB") << "an option beside --locale wins";
  EXPECT_EQ(de["applyFlags"], 1);

  r = Run({"lang", "add", m, "zz", "--locale", "zz_ZZ"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "quintrel: no locale definition zz_ZZ in /usr/share/i18n/locales\n");
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
  EXPECT_NE(r.err.find("has no day names, month names, currency and number settings ("), std::string::npos) << r.err;

  // A definition that cannot be used changes nothing and says where it is wrong.
  std::ofstream(Path("bad_LC")) << "comment_char %\nLC_TIME\nday \"<U00ZZ>\"\nEND LC_TIME\n";
  r = Run({"lang", "add", m, "zz", "--locale", Path("bad_LC")});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "quintrel: " + Path("bad_LC") +
                       ":3: '<U00ZZ>' is not a character symbol <Uxxxx> of a Unicode scalar value\n");
  EXPECT_EQ(RunJson({"lang", "list", "--json", m}).size(), 2u);
}

// --force replaces a module and nothing else: whatever else has the name stays as it was.
TEST_F(ZodCommands, NewModuleForceReplacesOnlyAModule) {
  std::string m = NewModule("old.zod");
  ASSERT_EQ(Run({"lang", "add", m, "de", "--name", "German"}).code, 0);
  ASSERT_EQ(Run({"module", "new", "--force", m}).code, 0);
  EXPECT_EQ(RunJson({"lang", "list", "--json", m}).size(), 0u) << "the module was replaced by an empty one";
  EXPECT_EQ(RunJson({"module", "info", "--json", m})["name"], "old.zod");

  const std::string source = "unit Main;\ninterface\nimplementation\nend.\n";
  std::ofstream(Path("Main.pas")) << source;
  ASSERT_EQ(Run({"db", "create", Path("rows.zod"), "--define", "ROWS Str V"}).code, 0);
  ASSERT_EQ(Run({"db", "create", Path("bare.zod")}).code, 0);
  const std::string rows = Slurp(Path("rows.zod"));
  std::filesystem::create_directories(Path("folder.zod"));
  const std::pair<const char*, const char*> cases[] = {{"Main.pas", "other than a record database"},
                                                       {"rows.zod", "tables of its own (ROWS)"},
                                                       {"bare.zod", "without the module's Properties table"},
                                                       {"folder.zod", "a folder"}};
  for (const auto& [name, what] : cases) {
    for (bool force : {false, true}) {
      auto r = force ? Run({"module", "new", "--force", Path(name)}) : Run({"module", "new", Path(name)});
      EXPECT_EQ(r.code, 1) << name;
      EXPECT_EQ(r.err.rfind("quintrel: " + Path(name) + ": is ", 0), 0u) << r.err;
      EXPECT_NE(r.err.find(what), std::string::npos) << r.err;
    }
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
  auto r = Run({"lang", "list", "--project", project});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find(Path("p/TileFit3.ZOD") + ": file not found (the module of project"), std::string::npos)
      << r.err;
  json info = RunJson({"project", "info", "--json", project});
  EXPECT_EQ(info["module"], Path("p/TileFit3.ZOD"));
  EXPECT_EQ(info["moduleExists"], false);

  // A module that came as TileFit3.zod is the project's module for every command.
  ASSERT_EQ(Run({"module", "new", Path("p/TileFit3.zod")}).code, 0);
  info = RunJson({"project", "info", "--json", "--project", project});
  EXPECT_EQ(info["module"], Path("p/TileFit3.zod"));
  EXPECT_EQ(info["moduleExists"], true);
  r = Run({"project", "info", project});
  EXPECT_NE(r.out.find("Module:  TileFit3.zod\n"), std::string::npos) << r.out;
  r = Run({"project", "info", project, "--project", project});
  EXPECT_EQ(r.code, 2) << "PROJECT and --project exclude each other";

  ASSERT_EQ(Run({"lang", "add", "--project", project, "de", "--name", "German"}).code, 0) << "ID alone";
  ASSERT_EQ(Run({"lang", "add", "en", "--name", "English", "--project", project}).code, 0);
  ASSERT_EQ(Run({"module", "set", "--project", project, "design-language", "en"}).code, 0);
  const std::string m = Path("p/TileFit3.zod");
  EXPECT_EQ(RunJson({"lang", "show", "--json", "--module", m, "de"})["name"], "German");
  EXPECT_EQ(RunJson({"lang", "show", "--json", m, "en"})["name"], "English");
  EXPECT_EQ(RunJson({"module", "info", "--json", "--project", project})["settings"]["design-language"], "en");
  EXPECT_EQ(RunJson({"lang", "list", "--json", "--module", m}).size(), 2u);
  EXPECT_EQ(Run({"db", "check", "--project", project}).code, 0);
  r = Run({"db", "dump", "--project", project, "Properties"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.rfind("_RECNO\tName\tData\n", 0), 0u) << r.out;
  EXPECT_EQ(Run({"db", "reindex", "--module", m, "Properties", "Name"}).code, 0);
  EXPECT_EQ(Run({"db", "reindex", "Properties", "Name", "--project", project}).code, 0);

  r = Run({"lang", "show", m, "de", "--module", m});
  EXPECT_EQ(r.code, 2) << "FILE and --module exclude each other";
  r = Run({"lang", "show", m, "de", "en"});
  EXPECT_EQ(r.code, 2) << r.err;
  r = Run({"module", "new", "--project", project});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find(m + ": file exists"), std::string::npos) << "the spelling that exists: " << r.err;
}

// Languages the module does not have, and identifiers that differ from one it has only in
// case, are refused with the list of what the module has.
TEST_F(ZodCommands, LanguageIdentifiersAreCaseSensitive) {
  std::string m = NewModule("case.zod");
  ASSERT_EQ(Run({"lang", "add", m, "de", "--name", "German"}).code, 0);
  ASSERT_EQ(Run({"lang", "add", m, "en", "--name", "English"}).code, 0);
  auto r = Run({"lang", "add", m, "DE", "--name", "Twin"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "quintrel: " + m +
                       ": the module has language de; identifiers are case-sensitive in the module, so DE would be "
                       "a second language beside it\n");
  for (const char* verb : {"show", "set", "remove"}) {
    r = Run({"lang", verb, m, "DE"});
    EXPECT_EQ(r.code, 1) << verb;
    EXPECT_EQ(r.err, "quintrel: " + m + ": no language DE; the module has: de, en (identifiers are case-sensitive)\n")
        << verb;
  }
  for (const char* setting : {"design-language", "default-language"}) {
    r = Run({"module", "set", m, setting, "xx"});
    EXPECT_EQ(r.code, 1) << setting;
    EXPECT_NE(r.err.find("no language xx; the module has: de, en"), std::string::npos) << r.err;
    EXPECT_EQ(Run({"module", "set", m, setting, "de"}).code, 0) << setting;
    EXPECT_EQ(Run({"module", "set", m, setting, "??"}).code, 0) << "none stays allowed";
  }
  EXPECT_EQ(RunJson({"lang", "list", "--json", m}).size(), 2u);
}

// Values that do not fit a field are refused, naming it, and nothing is stored.
TEST_F(ZodCommands, LanguageFieldsRefuseValuesThatDoNotFit) {
  std::string m = NewModule("fields.zod");
  ASSERT_EQ(Run({"lang", "add", m, "ru", "--name", "Russian", "--charset", "204"}).code, 0);
  for (const char* charset : {"2", "77", "100", "130", "255"}) {
    auto r = Run({"lang", "set", m, "ru", "--charset", charset});
    EXPECT_EQ(r.code, 1) << charset;
    EXPECT_EQ(r.err.rfind("quintrel: --charset: charset " + std::string(charset) +
                              " has no code page; the charsets that have one: 0 1 128 ",
                          0),
              0u)
        << r.err;
    EXPECT_EQ(Run({"lang", "add", m, "xx", "--name", "X", "--charset", charset}).code, 1) << charset;
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
    auto r = Run({"lang", "set", m, "ru", "--from-json", Path("in.json")});
    EXPECT_EQ(r.code, 1) << input;
    EXPECT_EQ(r.err.rfind("quintrel: " + Path("in.json") + ": " + message, 0), 0u) << input << ": " << r.err;
  }
  json ru = RunJson({"lang", "show", "--json", m, "ru"});
  EXPECT_EQ(ru["name"], "Russian");
  EXPECT_EQ(ru["charset"], 204);
  EXPECT_EQ(RunJson({"lang", "list", "--json", m}).size(), 1u);
}

// Apply flags never install a group the language has no data for.
TEST_F(ZodCommands, ApplyFlagsOnlyForGroupsWithData) {
  std::string m = NewModule("flags.zod");
  auto r = Run({"lang", "add", m, "xx", "--name", "X", "--apply-flags", "all"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("quintrel: warning: the apply flags of language xx leave out day names, month names, time "
                       "settings, date formats, currency and number settings: it has no data for them"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(RunJson({"lang", "show", "--json", m, "xx"})["applyFlags"], 32) << "only the Win32 settings";

  r = Run({"lang", "set", m, "xx", "--short-date", "d/M/y", "--apply-flags", "all"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("leave out day names, month names, time settings, currency and number settings:"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(RunJson({"lang", "show", "--json", m, "xx"})["applyFlags"], 8 | 32);
  r = Run({"lang", "set", m, "xx", "--apply-flags", "date"});
  EXPECT_EQ(r.err, "") << "nothing left out";
}

TEST_F(ZodCommands, ModuleListSaysWhenItIsEmpty) {
  auto r = Run({"module", "list"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "No modules are registered permanently ('quintrel module register --permanent FILE' registers one).\n");
  EXPECT_EQ(RunJson({"module", "list", "--json"}), json::array());
}

}  // namespace
}  // namespace quintrel::cli
