// The quintrel command meeting a command line it cannot run: unknown commands and options
// named with the closest that exists, parser errors as one line, and `quintrel help`.
#include <gtest/gtest.h>

#include <string>

#include "tests/cli/run.h"

namespace quintrel::cli {
namespace {

using test::CliFixture;
using test::TRunResult;

class FrontDoor : public CliFixture {
protected:
  // A usage error: exit 2, nothing on stdout, the message and the way to `command`'s help.
  static void ExpectUsage(const TRunResult& r, const std::string& message, const std::string& command) {
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "quintrel: " + message + "\nRun '" + command + " --help' for more.\n");
  }
};

TEST_F(FrontDoor, UnknownCommandsNameTheClosestOneAtEveryLevel) {
  ExpectUsage(Run({"modul"}), "unknown command 'modul' (did you mean 'module'?)", "quintrel");
  // --help after a mistyped command is not a request for the top help.
  ExpectUsage(Run({"modul", "--help"}), "unknown command 'modul' (did you mean 'module'?)", "quintrel");
  ExpectUsage(Run({"--help", "modul"}), "unknown command 'modul' (did you mean 'module'?)", "quintrel");
  ExpectUsage(Run({"term", "lsit", "--help"}), "unknown command 'term lsit' (did you mean 'term list'?)",
              "quintrel term");
  ExpectUsage(Run({"preveiw"}), "unknown command 'preveiw' (did you mean 'preview'?)", "quintrel");
  ExpectUsage(Run({"obj"}), "unknown command 'obj' (did you mean 'object'?)", "quintrel");  // abbreviation

  // Nothing close: the commands there are.
  auto r = Run({"dict", "xyzzy"});
  ExpectUsage(r, "unknown command 'dict xyzzy'; the commands of 'quintrel dict' are: on, off", "quintrel dict");

  // A group without a command says which it has; with --help it shows its help.
  r = Run({});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err.rfind("quintrel: 'quintrel' needs a command: db, module, lang, ", 0), 0u) << r.err;
  ExpectUsage(Run({"dict"}), "'quintrel dict' needs a command: on, off", "quintrel dict");
  EXPECT_THAT(Ok({"dict", "--help"}), HasSubstr("quintrel dict"));
  Ok({"--version"});
}

TEST_F(FrontDoor, UnknownOptionsAreReportedInTheOrderTyped) {
  const std::string m = Path("m.zod");
  Ok({"module", "new", m});
  ExpectUsage(Run({"lang", "add", m, "xx", "--nmae", "X"}), "unknown option '--nmae' (did you mean '--name'?)",
              "quintrel lang add");
  // The first typed, although the parser would object to a missing argument first.
  ExpectUsage(Run({"module", "info", "--jsno", "--nmae"}), "unknown option '--jsno' (did you mean '--json'?)",
              "quintrel module info");
  ExpectUsage(Run({"term", "set", m, "de", "1", "x", "--style", "300", "--jsno"}),
              "--style: value 300 not in range 0 to 255", "quintrel term set");
  ExpectUsage(Run({"form", "tree", m, "--codepage=0", "--jsno"}), "--codepage: value 0 not in range 1 to 65535",
              "quintrel form tree");
  ExpectUsage(Run({"lang", "add", m, "xx", "--charst=204", "--help"}),
              "unknown option '--charst' (did you mean '--charset'?)", "quintrel lang add");
  // A command that takes texts: a text starting with '-' has its place after "--".
  ExpectUsage(Run({"term", "set", "-Dash"}), "unknown option '-Dash' (a text that starts with '-' goes after '--')",
              "quintrel term set");
  ExpectUsage(Run({"--frobnicate"}), "unknown option '--frobnicate'", "quintrel");

  // The values an option takes are not options, whatever they look like; nor is what
  // follows "--", nor a negative number: those reach the command.
  auto r = Run({"lang", "add", m, "xx", "--name", "--json", "--native", "-x"});
  ASSERT_NE(r.code, 2) << r.err;
  r = Run({"lang", "show", m, "xx", "--json"});
  EXPECT_THAT(r.out, HasSubstr("\"--json\""));
  EXPECT_THAT(r.out, HasSubstr("\"-x\""));
  Ok({"lang", "set", m, "xx", "--short-day-names", "-1", "-2", "-3", "-4", "-5", "-6", "-7"});
  EXPECT_THAT(Refused({"term", "get", m, "xx", "-5"}), HasSubstr("'-5'"));
  EXPECT_THAT(Refused({"term", "get", m, "--", "xx", "--5"}), HasSubstr("'--5'"));
}

TEST_F(FrontDoor, ParserErrorsAreOneLineInTheCommandsWords) {
  const std::string m = Path("m.zod");
  ExpectUsage(Run({"module", "info", m, "extra"}), "unexpected argument 'extra'", "quintrel module info");
  ExpectUsage(Run({"module", "info", m, "one", "two"}), "unexpected arguments 'one' 'two'", "quintrel module info");
  ExpectUsage(Run({"form", "convert", "-o"}), "--output needs a value", "quintrel form convert");
  ExpectUsage(Run({"form", "convert", m, "--binary", "--text"}),
              "--text and --binary exclude each other; give one of them", "quintrel form convert");
  ExpectUsage(Run({"lang", "set", m, "xx", "--long-day-names", "a", "b"}), "--long-day-names takes 7 values, not 2",
              "quintrel lang set");
  ExpectUsage(Run({"charset", "decode", "300"}), "CHARSET: value 300 not in range 0 to 255",
              "quintrel charset decode");
  // The pseudo language's identifier alone is taken for the end of the options: the error
  // says how to write it.
  ExpectUsage(Run({"lang", "remove", "--"}),
              "takes 1 argument(s) after the optional FILE; 0 were given (a lone -- ends the options; write the "
              "pseudo language -- as $2D2D)",
              "quintrel lang remove");
  // With the module named before it, the module's name arrives as the identifier.
  EXPECT_EQ(Refused({"lang", "remove", m, "--"}),
            "quintrel: '" + m +
                "' is not a language identifier (two characters such as de or ##, or $HHHH) (a lone -- ends "
                "the options; write the pseudo language -- as $2D2D)\n");
}

TEST_F(FrontDoor, AnOptionsHelpGivesItsDefaultOnce) {
  for (const auto& command : {std::vector<std::string>{"edit"}, {"preview"}, {"lang", "add"}}) {
    std::vector<std::string> args = command;
    args.push_back("--help");
    const auto r = Succeeds(Run(args));
    for (size_t at = 0; at < r.out.size(); at = r.out.find('\n', at) + 1) {
      const std::string line = r.out.substr(at, r.out.find('\n', at) - at);
      const size_t first = line.find("(default");
      EXPECT_TRUE(first == std::string::npos || line.find("(default", first + 1) == std::string::npos) << line;
      if (r.out.find('\n', at) == std::string::npos) break;
    }
  }
}

TEST_F(FrontDoor, EveryLineOnStderrStartsWithTheProgramName) {
  // A module whose language list ends inside its first entry: the listing warns.
  const std::string m = Path("m.zod");
  Ok({"module", "new", m});
  ASSERT_EQ(Run({"db", "load", m, "--define", "Properties Name B Data B"},
                R"({"Name": {"hex": "5a6f644c616e6775616765"}, "Data": {"hex": "656e00"}})")
                .code,
            0);
  for (const auto& args : {std::vector<std::string>{"lang", "list", m}, {"module", "info", m}}) {
    auto r = Succeeds(Run(args));
    ASSERT_NE(r.err, "");
    for (size_t at = 0; at < r.err.size(); at = r.err.find('\n', at) + 1)
      EXPECT_EQ(r.err.compare(at, 18, "quintrel: warning:"), 0) << r.err;
  }
}

TEST_F(FrontDoor, HelpNamesAnyCommand) {
  auto top = Run({"--help"});
  ASSERT_EQ(top.code, 0);
  auto r = Succeeds(Run({"help"}));
  EXPECT_EQ(r.out, top.out);
  EXPECT_THAT(r.out, HasSubstr("Usage: quintrel "));

  auto direct = Run({"term", "set", "--help"});
  ASSERT_EQ(direct.code, 0);
  r = Succeeds(Run({"help", "term", "set"}));
  EXPECT_EQ(r.out, direct.out);
  EXPECT_THAT(r.out, HasSubstr("Usage: quintrel term set "));

  ExpectUsage(Run({"help", "term", "sett"}), "unknown command 'term sett' (did you mean 'term set'?)",
              "quintrel term");
  ExpectUsage(Run({"help", "term", "set", "now"}), "unexpected argument 'now'", "quintrel term set");
}

}  // namespace
}  // namespace quintrel::cli
