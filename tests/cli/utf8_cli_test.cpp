// UTF-8 at the command line: a text that is stored must be well-formed.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/cli/run.h"

namespace quintrel::cli {
namespace {

// None of these commands touches the registry, so the scratch folder is all they need.
using Utf8Commands = test::CliFixture;

// db load stores its strings, so an ill-formed sequence (an overlong '/', an encoded
// surrogate, a value above U+10FFFF, a sequence cut short by the closing quote) refuses the
// line, naming the column of the byte where it starts, instead of storing U+FFFD or a
// character that was never written.
TEST_F(Utf8Commands, DbLoadRefusesIllFormedStringsAtTheirFirstByte) {
  const std::string define = "T Key N Name V";
  for (const std::string bad : {"a\xC0\xAF", "a\xED\xA0\x80", "a\xF4\x90\x80\x80", "a\xE6\x9D"}) {
    const std::string line = "{\"Key\": 2, \"Name\": \"" + bad + "\"}\n";
    auto r = Run({"db", "load", Path("u.zod"), "--define", define}, "{\"Key\": 1, \"Name\": \"ok\"}\n" + line);
    EXPECT_EQ(r.code, 1) << bad;
    EXPECT_THAT(r.err, HasSubstr("input line 2"));
    EXPECT_THAT(r.err, HasSubstr("column 22: invalid UTF-8"));
    std::string dumped = Run({"db", "dump", Path("u.zod"), "T", "--json"}).out;
    EXPECT_EQ(std::count(dumped.begin(), dumped.end(), '\n'), 1) << dumped;
    std::filesystem::remove(Path("u.zod"));
  }
  Ok(Run({"db", "load", Path("u.zod"), "--define", define},
         "{\"Key\": 1, \"Name\": \"\xEF\xBF\xBD\xF4\x8F\xBF\xBF\"}\n"));
  EXPECT_NE(Run({"db", "dump", Path("u.zod"), "T", "--json"}).out.find("\xEF\xBF\xBD\xF4\x8F\xBF\xBF"), std::string::npos);
}

// A text given as an argument to be stored is read as strictly: the command names the
// argument and the offset of the bad byte, and stores nothing.
TEST_F(Utf8Commands, StoredArgumentsMustBeUtf8) {
  const std::string file = Path("t.zod");
  Ok({"module", "new", file});
  Ok({"lang", "add", file, "de", "--name", "German"});
  EXPECT_THAT(Refused({"term", "set", file, "de", "458745",
                       "Gr\xC3\xB6\xC3\x9F"
                       "e\xC0\xAF"}),
              HasSubstr("TEXT: not UTF-8 (an ill-formed sequence at byte offset 7)"));
  Refused({"term", "get", file, "de", "458745"});  // nothing was stored

  EXPECT_THAT(Refused({"object", "add", file, "Main", "Ok", "Caption", "--text", "OK", "--lang", "de", "--translation",
                       "en=\xED\xA0\x80"}),
              HasSubstr("--translation en: not UTF-8 (an ill-formed sequence at byte offset 0)"));
  auto r = Run({"object", "add", file, "Main", "Ok", "Caption", "--text", "O\xF4\x90\x80\x80", "--lang", "de"});
  EXPECT_THAT(r.err, HasSubstr("--text: not UTF-8 (an ill-formed sequence at byte offset 1)"));
  EXPECT_EQ(Run({"object", "list", file, "--json"}).out, "[]\n") << "no object was added";

  Ok({"term", "set", file, "de", "458745",
      "Gr\xC3\xB6\xC3\x9F"
      "e"});
  EXPECT_EQ(Run({"term", "get", file, "de", "458745"}).out, "Gr\xC3\xB6\xC3\x9F" "e\n");
}

}  // namespace
}  // namespace quintrel::cli
