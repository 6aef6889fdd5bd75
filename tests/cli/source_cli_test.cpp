#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "tests/cli/run.h"

namespace quintrel::cli::test {
namespace {

class SourceCli : public CliFixture {
protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    std::ofstream(Path(name), std::ios::binary) << bytes;
    return Path(name);
  }
};

TEST_F(SourceCli, TokensOfAPascalUnit) {
  const std::string file = Write("Texts.pas", "resourcestring\r\n  S = 'It''s'#9'\xE9';\r\n  N = $1F; { x }\r\n");
  EXPECT_EQ(Ok({"source", "tokens", file}),
            "1\t0\tsymbol\tresourcestring\n"
            "1\t15\teol\t\\n\n"
            "2\t18\tsymbol\tS\n"
            "2\t20\tchar\t=\n"
            "2\t22\tstring\tIt\n"
            "2\t26\tstring\ts\n"
            "2\t29\tstring\t\\t\n"
            "2\t31\tstring\t\xC3\xA9\n"  // code page 1252, shown as UTF-8
            "2\t34\tchar\t;\n"
            "2\t36\teol\t\\n\n"
            "3\t39\tsymbol\tN\n"
            "3\t41\tchar\t=\n"
            "3\t43\tinteger\t1F\n"
            "3\t46\tchar\t;\n"
            "3\t52\tchar\t}\n"
            "3\t54\teol\t\\n\n");

  // A UTF-8 file: its strings as they are, a stray byte of a sequence by its value.
  const std::string utf8 = Write("Utf8.pas", "\xEF\xBB\xBFS = '\xC3\xA9';");
  EXPECT_EQ(Ok({"source", "tokens", utf8}), "1\t0\tchar\t\\xEF\n1\t1\tchar\t\\xBB\n1\t2\tchar\t\\xBF\n1\t3\tsymbol\tS\n"
                                            "1\t5\tchar\t=\n1\t7\tstring\t\xC3\xA9\n1\t11\tchar\t;\n");

  auto r = Succeeds(Run({"source", "tokens", file, "--json"}));
  const auto tokens = nlohmann::json::parse(r.out);
  ASSERT_EQ(tokens.size(), 16u);
  EXPECT_EQ(tokens[4], (nlohmann::json{{"kind", "string"}, {"line", 2}, {"offset", 22}, {"end", 26},
                                       {"text", "It"}, {"form", "quoted"}}));
  EXPECT_EQ(tokens[6]["form"], "code");
  EXPECT_EQ(tokens[6]["code"], 9);
  EXPECT_EQ(tokens[12]["hex"], true);
}

TEST_F(SourceCli, LanguageFromExtensionOrOption) {
  const std::string rc = Write("app.RC", "STRINGTABLE { 1, \"a\\\"b\" } // c\n");
  TRunResult r = Run({"source", "tokens", rc, "--json"});
  ASSERT_EQ(r.code, 0) << r.err;
  const auto tokens = nlohmann::json::parse(r.out);
  ASSERT_EQ(tokens.size(), 7u);
  EXPECT_EQ(tokens[4]["text"], "a\"b");
  EXPECT_EQ(tokens[4]["form"], "double-quoted");
  EXPECT_EQ(tokens[6]["kind"], "eol");

  // The same text as Pascal: { } is a comment that leaves its "}".
  const std::string other = Write("app.txt", "STRINGTABLE { 1, \"a\" }\n");
  EXPECT_EQ(Refused({"source", "tokens", other}),
            "quintrel: " + other + ": the language cannot be told from the extension; give --lang pas, c or rc\n");
  EXPECT_EQ(Ok({"source", "tokens", other, "--lang", "pas"}),
            "1\t0\tsymbol\tSTRINGTABLE\n1\t21\tchar\t}\n1\t22\teol\t\\n\n");
}

TEST_F(SourceCli, FaultsNameTheFile) {
  const std::string open = Write("open.pas", "a\n'abc\n");
  TRunResult r = Run({"source", "tokens", open});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "1\t0\tsymbol\ta\n1\t1\teol\t\\n\n");
  EXPECT_EQ(r.err, "quintrel: " + open + ": Invalid string constant on line 2\n");
  r = Run({"source", "tokens", open, "--json"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");

  const std::string wide = Write("wide.c", std::string("a\0b\0", 4));
  r = Run({"source", "tokens", wide});  // the tokens before the fault are printed
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr(wide + ": a zero byte at offset 1"));

  EXPECT_EQ(Refused({"source", "tokens", Path("missing.pas")}),
            "quintrel: " + Path("missing.pas") + ": file not found\n");
  EXPECT_THAT(Refused({"source", "tokens", dir_.string(), "--lang", "c"}), HasSubstr(dir_.string() + ": "));
}

}  // namespace
}  // namespace quintrel::cli::test
