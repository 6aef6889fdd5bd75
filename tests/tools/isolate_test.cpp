// Resource automation over project folders: plans of real and small units, applied
// through a tool session, every rewritten unit compared with its backup byte by byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "module/objects.h"
#include "module/zod.h"
#include "tests/module/module_fixture.h"
#include "tests/testdata.h"
#include "tools/isolate.h"
#include "tools/isolatediff.h"
#include "tools/resstr.h"
#include "tools/sourcetext.h"

namespace quintrel::tools {
namespace {

using module::test::Id;
namespace fs = std::filesystem;

class IsolateTest : public module::test::ModuleFixture {
protected:
  // A Delphi project of the given units (copied from tests/data or written) whose module's
  // design language has the charset.
  void Project(const std::vector<std::pair<std::string, std::string>>& units, int charset = 0) {
    std::string dpr = "program Sample;\n\nuses\n";
    for (size_t i = 0; i < units.size(); ++i) {
      Put(units[i].first, units[i].second);
      dpr += "  " + fs::path(units[i].first).stem().string() + " in '" + units[i].first + "'" +
             (i + 1 < units.size() ? ",\n" : ";\n");
    }
    Put("Sample.dpr", dpr + "\nbegin\nend.\n");
    module_ = zod_.NewModule(P("Sample.ZOD"));
    ASSERT_GE(module_, 0);
    ASSERT_TRUE(module::test::AddLanguage(zod_, module_, "en", u"English", static_cast<uint8_t>(charset)));
    ASSERT_TRUE(zod_.SetDesignTimeLanguage(module_, Id("en")));
  }

  // A file of the project, which lives in the folder root_ of the scratch folder.
  std::string P(const std::string& name) const { return Path(root_ + name); }
  void Put(const std::string& name, const std::string& text) {
    fs::create_directories(fs::path(P(name)).parent_path());
    std::ofstream(P(name), std::ios::binary) << text;
  }
  std::string Get(const std::string& name) const { return testdata::Bytes(P(name)); }

  TIsolatePlan Plan(const std::string& target, TScanOptions options = {}) {
    TToolSession session(P("Sample.dpr"), P("Sample.ZOD"), {true, false});
    TResStringManager manager(session, zod_, module_);
    const TScanReport scan = ScanProject(session, {target}, manager.Charset(), options);
    EXPECT_TRUE(scan.Problems.empty()) << scan.Problems.front();
    TIsolatePlan plan = MakePlan(session, zod_, module_, scan, target, manager.Charset());
    session.Commit();
    // What a person does with the file: it is written and read back.
    return ParsePlan(PlanJson(plan), "plan.json");
  }

  TApplyReport Apply(const TIsolatePlan& plan, TOnUnquoted onUnquoted = TOnUnquoted::Cancel) {
    TToolSession session(P("Sample.dpr"), P("Sample.ZOD"), {true, false});
    TApplyReport report = ApplyPlan(session, zod_, module_, plan, onUnquoted);
    session.Commit();
    return report;
  }

  std::vector<TResString> Strings(const std::string& unit) {
    TToolSession session(P("Sample.dpr"), P("Sample.ZOD"), {true, false});
    TResStringManager manager(session, zod_, module_);
    return manager.Strings(manager.FindUnit(unit));
  }

  // The unit as rewritten, checked against its backup: outside the rows' spans every byte
  // is the backup's, but for the blanks and line end of a removed constant's line and the
  // uses clause entry; each isolated literal's span holds its identifier, each marked line
  // ends with the marker.
  void ExpectOnlyPlannedChanges(const TIsolatePlan& plan, const std::string& unit, const std::string& usesEntry) {
    const std::string before = Get(BackupName(unit));
    std::string after = Get(unit);
    ASSERT_NE(before, after) << unit;
    if (!usesEntry.empty()) {
      const size_t at = after.find(usesEntry);
      ASSERT_NE(at, std::string::npos) << unit;
      after.erase(at, usesEntry.size());
    }
    // Each row with the position its change starts at: a marker's is its line's end.
    std::vector<std::pair<size_t, const TPlanRow*>> rows;
    for (const TPlanRow& r : plan.Rows)
      if (r.Unit == unit && r.Action != TIsolateAction::Ignore && r.Place == TLiteralPlace::Code)
        rows.push_back({r.Action == TIsolateAction::Mark ? FindLineEnd(before, r.Start) : r.Start, &r});
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    size_t o = 0, n = 0;
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    const auto same = [&](size_t upTo) {
      ASSERT_GE(upTo, o) << unit;
      const size_t count = upTo - o;
      ASSERT_EQ(after.compare(n, count, before, o, count), 0) << unit << " at byte " << o;
      n += count;
      o = upTo;
    };
    size_t markedAt = std::string::npos;
    for (const auto& [at, row] : rows) {
      const TPlanRow& r = *row;
      if (r.Action == TIsolateAction::Mark) {
        if (at == markedAt) continue;  // one marker per line
        same(at);
        ASSERT_EQ(after.compare(n, 17, "//DO NOT LOCALIZE"), 0) << unit << ":" << r.Line;
        n += 17;
        markedAt = at;
      } else if (r.Kind == TFindingKind::Literal) {
        same(r.Start);
        ASSERT_EQ(after.compare(n, r.Identifier.size(), r.Identifier), 0) << unit << ":" << r.Line;
        n += r.Identifier.size();
        o = r.End;
      } else {
        // Only blanks and the line end go with a declaration, the line's when it stood alone.
        size_t lead = r.Start, tail = r.End;
        while (lead > o && blank(before[lead - 1])) --lead;
        while (tail < before.size() && blank(before[tail])) ++tail;
        const bool alone =
            lead == LineStart(before, r.Start) && (tail == before.size() || LineEndLength(before, tail) > 0);
        same(alone ? lead : r.Start);
        o = alone ? tail + LineEndLength(before, tail) : tail;
      }
    }
    same(before.size());
    EXPECT_EQ(n, after.size()) << unit;
  }

  module::TZod zod_{module::TZod::TStart::Empty};
  int module_ = -1;
  std::string root_;
};

// Real units, a CR LF one in code page 1251 and two LF ones: every literal isolated, every
// second constant moved, the rest marked; each unit compared with its backup, the strings
// catalogued once each under the object ids the plan reserved.
TEST_F(IsolateTest, RealUnitsChangeOnlyWhereThePlanSays) {
  const std::string dir = "src/pas-literals/";
  Project({{"Unit1.pas", testdata::Bytes(testdata::Data(dir + "quick-tester__unit1.pas"))},
           {"Dict.pas", testdata::Bytes(testdata::Data(dir + "delphiforfun__u_dictmaint.pas"))},
           {"FMain.pas", testdata::Bytes(testdata::Data(dir + "jvcl__fmain.pas"))}},
          204);
  TIsolatePlan plan = Plan("Texts.pas");
  ASSERT_GT(plan.Rows.size(), 100u);
  int literal = 0, constant = 0;
  for (TPlanRow& r : plan.Rows) {
    if (r.Place != TLiteralPlace::Code) continue;
    if (r.Identifier == "PadExt") {  // its section holds nothing else
      r.Action = TIsolateAction::Ignore;
      continue;
    }
    if (r.Kind == TFindingKind::Constant)
      r.Action = ++constant % 2 ? TIsolateAction::Isolate : TIsolateAction::Ignore;
    else
      r.Action = ++literal % 5 == 0 ? TIsolateAction::Mark : TIsolateAction::Isolate;
  }
  const TApplyReport report = Apply(plan);
  EXPECT_TRUE(report.Errors.empty()) << report.Errors.front();
  for (const std::string unit : {"Unit1.pas", "Dict.pas", "FMain.pas"}) ExpectOnlyPlannedChanges(plan, unit, ", Texts");

  // One string per identifier, each under the object its first row reserved.
  const std::vector<TResString> strings = Strings("Texts.pas");
  std::map<std::string, const TPlanRow*> first;
  for (const TPlanRow& r : plan.Rows)
    if (r.Action == TIsolateAction::Isolate && r.Place == TLiteralPlace::Code) first.emplace(r.Identifier, &r);
  ASSERT_EQ(strings.size(), first.size());
  for (const TResString& s : strings) {
    ASSERT_TRUE(first.count(s.Identifier)) << s.Identifier;
    EXPECT_EQ(s.Text, first[s.Identifier]->Text);
    EXPECT_EQ(s.Object, first[s.Identifier]->Object);
  }
  EXPECT_NE(Get("Texts.pas").find("'\xCF"), std::string::npos) << "texts stay in code page 1251";

  // The same plan again: every unit has changed since, so nothing changes.
  const std::string unit1 = Get("Unit1.pas"), texts = Get("Texts.pas");
  const TApplyReport again = Apply(plan);
  EXPECT_EQ(again.Errors.size(), 3u);
  EXPECT_TRUE(again.Units.empty());
  EXPECT_EQ(Get("Unit1.pas"), unit1);
  EXPECT_EQ(Get("Texts.pas"), texts);
  EXPECT_EQ(Strings("Texts.pas").size(), strings.size());
}

// The cases the first versions of this tool got wrong, in one unit whose rewrite is known
// byte for byte.
TEST_F(IsolateTest, LocalConstantsLaterConstantsMergedLiteralsAndMarkers) {
  const std::string unit =
      "unit Small;\n\ninterface\n\nuses SysUtils;\n\nimplementation\n\n"
      "procedure Show;\nconst\n  Title = 'Hello';\nbegin\n  ShowMessage('World');\n"
      "  Say('Don''t', 'a'#13'b');\n  Say('World');\n  Say('later'); //DO NOT LOCALIZE\n"
      "  Say('keep');\nend;\n\nconst\n  SAfter = 'after';\n  Count = 3;\n\nend.\n";
  Project({{"Small.pas", unit}});
  TIsolatePlan plan = Plan("Texts.pas");
  ASSERT_EQ(plan.Rows.size(), 7u);
  EXPECT_EQ(plan.Rows[0].Identifier, "Title");
  EXPECT_EQ(plan.Rows[1].Identifier, plan.Rows[4].Identifier) << "equal texts share their identifier";
  EXPECT_EQ(plan.Rows[6].Identifier, "SAfter");
  plan.Rows[3].Action = TIsolateAction::Mark;  // 'a'#13'b'
  plan.Rows[5].Action = TIsolateAction::Ignore;
  const std::string w = plan.Rows[1].Identifier, d = plan.Rows[2].Identifier;

  // Moving the local constant would leave its section empty: the unit keeps every byte and
  // nothing is catalogued.
  TApplyReport report = Apply(plan);
  ASSERT_EQ(report.Errors.size(), 1u);
  EXPECT_EQ(report.Errors[0].rfind("Error while updating " + Path("Small.pas") + ": ", 0), 0u) << report.Errors[0];
  EXPECT_EQ(Get("Small.pas"), unit);
  EXPECT_FALSE(fs::exists(Path("Small.~pa")));
  EXPECT_TRUE(Strings("Texts.pas").empty());

  plan.Rows[0].Action = TIsolateAction::Ignore;
  report = Apply(plan);
  ASSERT_TRUE(report.Errors.empty()) << report.Errors.front();
  EXPECT_EQ(Get("Small.pas"),
            "unit Small;\n\ninterface\n\nuses SysUtils, Texts;\n\nimplementation\n\n"
            "procedure Show;\nconst\n  Title = 'Hello';\nbegin\n  ShowMessage(" + w + ");\n"
            "  Say(" + d + ", 'a'#13'b');//DO NOT LOCALIZE\n  Say(" + w + ");\n  Say('later'); //DO NOT LOCALIZE\n"
            "  Say('keep');\nend;\n\nconst\n  Count = 3;\n\nend.\n");
  EXPECT_EQ(Get("Small.~pa"), unit);
  EXPECT_NE(Get("Sample.dpr").find("Texts in 'Texts.pas'"), std::string::npos) << "the new unit is in the project";
  std::vector<std::u16string> texts;
  for (const TResString& s : Strings("Texts.pas")) texts.push_back(s.Text);
  std::sort(texts.begin(), texts.end());
  EXPECT_EQ(texts, (std::vector<std::u16string>{u"Don't", u"World", u"after"}));
  EXPECT_EQ(Get("Texts.pas").find("  " + w + " = 'World';\r\n  " + d + " = 'Don''t';\r\n  SAfter = 'after';"),
            Get("Texts.pas").find("  " + w)) << Get("Texts.pas");
}

// A script target takes literals as LoadStr of a numbered entry; a unit that cannot be
// rewritten (no interface uses clause) keeps every byte while the others land, and only the
// strings of the units that landed are added.
TEST_F(IsolateTest, ScriptTargetsAndAUnitThatCannotBeRewritten) {
  const std::string lf = testdata::Bytes(testdata::Data("src/pas-literals/delphiforfun__u_dictmaint.pas"));
  const std::string bare = "unit Bare;\r\n\r\ninterface\r\n\r\nimplementation\r\n\r\nprocedure P;\r\nbegin\r\n"
                           "  Say('only here');\r\nend;\r\n\r\nend.\r\n";
  Project({{"Dict.pas", lf}, {"Bare.pas", bare}});
  Put("Errors.rc", "#include \"Errors.pas\"\r\n\r\nSTRINGTABLE\r\n{\r\n  SE_Old, \"old\"\r\n}\r\n");
  Put("Errors.pas", "unit Errors;\r\n\r\ninterface\r\n\r\nconst\r\n  SE_Old = 7;\r\n\r\nimplementation\r\n\r\nend.\r\n");
  TIsolatePlan plan = Plan("Errors.rc");
  size_t isolated = 0;
  for (const TPlanRow& r : plan.Rows) {
    if (r.Kind == TFindingKind::Constant) {
      EXPECT_EQ(r.Action, TIsolateAction::Ignore) << "a script holds numbers";
    }
    isolated += r.Action == TIsolateAction::Isolate && r.Unit == "Dict.pas";
  }
  ASSERT_GT(isolated, 5u);
  const TApplyReport report = Apply(plan);
  ASSERT_EQ(report.Errors.size(), 1u);
  EXPECT_NE(report.Errors[0].find("Error while updating " + Path("Bare.pas")), std::string::npos);
  EXPECT_NE(report.Errors[0].find("no uses clause"), std::string::npos);
  EXPECT_EQ(Get("Bare.pas"), bare);
  EXPECT_FALSE(fs::exists(Path("Bare.~pa")));

  const std::string dict = Get("Dict.pas");
  EXPECT_EQ(Get("Dict.~pa"), lf);
  EXPECT_EQ(dict.find('\r'), std::string::npos) << "an LF unit stays LF";
  EXPECT_NE(dict.find("LoadStr(S"), std::string::npos);
  const std::vector<TResString> strings = Strings("Errors.rc");
  for (const TResString& s : strings) {
    EXPECT_NE(s.Text, u"only here");
    if (s.Identifier != "SE_Old") {
      EXPECT_GT(s.Number, 7u);
      EXPECT_NE(dict.find("LoadStr(" + s.Identifier + ")"), std::string::npos) << s.Identifier;
      EXPECT_NE(Get("Errors.pas").find("  " + s.Identifier + " = " + std::to_string(s.Number) + ";"), std::string::npos);
    }
  }
  EXPECT_GT(strings.size(), 5u);
  EXPECT_NE(dict.find(", Errors;"), std::string::npos);
}

// A span that no longer holds its literal: cancel changes nothing at all, skip leaves the
// row (and its string), proceed replaces the bytes all the same.
TEST_F(IsolateTest, SpansThatDoNotHoldTheirText) {
  const std::string unit = "unit U;\r\ninterface\r\nuses Classes;\r\nimplementation\r\nbegin\r\n  A('first');\r\n"
                           "  B('second');\r\nend.\r\n";
  Project({{"U.pas", unit}});
  TIsolatePlan plan = Plan("Texts.pas");
  ASSERT_EQ(plan.Rows.size(), 2u);
  plan.Rows[0].Start -= 2;  // as a hand edit would: "A('first'" no longer a literal alone
  EXPECT_EQ(module::test::MessageOf<EToolError>([&] { Apply(plan); }),
            "Trying to replace a non quoted string: \"A('first'\". Do you want to proceed ?");
  EXPECT_EQ(Get("U.pas"), unit);
  TApplyReport report = Apply(plan, TOnUnquoted::Skip);
  ASSERT_EQ(report.Warnings.size(), 1u);
  const auto replaced = [&](std::string text, const std::string& old, const std::string& by) {
    return text.replace(text.find(old), old.size(), by);
  };
  const std::string uses = replaced(unit, "uses Classes;", "uses Classes, Texts;");
  EXPECT_EQ(Get("U.pas"), replaced(uses, "'second'", plan.Rows[1].Identifier));
  ASSERT_EQ(Strings("Texts.pas").size(), 1u);

  Put("U.pas", unit);
  plan.Rows[1].Action = TIsolateAction::Ignore;
  report = Apply(plan, TOnUnquoted::Proceed);
  EXPECT_EQ(Get("U.pas"), replaced(uses, "A('first'", plan.Rows[0].Identifier));
}

// Every Pascal unit of the outside corpus, alone in a project, every text isolated: a unit
// either changes only where the plan says or, when it cannot be rewritten so that it
// compiles, keeps every byte.
class CorpusExtraIsolate : public IsolateTest {};

TEST_F(CorpusExtraIsolate, EveryUnitChangesOnlyWhereThePlanSaysOrNotAtAll) {
  QUINTREL_REQUIRE_EXTRA_CORPUS();
  int rewritten = 0, refused = 0;
  for (const fs::path& file : testdata::FilesUnder(testdata::ExtraDir() / "src", ".pas")) {
    SCOPED_TRACE(file.string());
    root_ = "u" + std::to_string(rewritten + refused) + "/";
    const std::string original = testdata::Bytes(file);
    Project({{"Unit1.pas", original}});
    TIsolatePlan plan;
    try {
      plan = Plan("Texts.pas");
    } catch (const rtl::Exception& e) {
      ADD_FAILURE() << e.Message();
      continue;
    }
    TApplyReport report = Apply(plan);
    if (!report.Errors.empty()) {
      // Refused whole; once more with the constants left where they are.
      EXPECT_EQ(Get("Unit1.pas"), original);
      for (TPlanRow& r : plan.Rows)
        if (r.Kind == TFindingKind::Constant) r.Action = TIsolateAction::Ignore;
      report = Apply(plan);
    }
    zod_.UnRegisterModule(module_, false);
    if (!report.Errors.empty() || report.Units.empty()) {
      EXPECT_EQ(Get("Unit1.pas"), original);
      ++refused;
      continue;
    }
    ExpectOnlyPlannedChanges(plan, "Unit1.pas", ", Texts");
    ++rewritten;
  }
  EXPECT_GT(rewritten, 10);
  std::cout << rewritten << " units rewritten, " << refused << " left as they were\n";
}

TEST(IsolatePlanFile, RenamesAndRefusals) {
  TIsolatePlan plan;
  for (int i = 1; i <= 4; ++i) {
    TPlanRow r;
    r.Id = i;
    r.Unit = "U.pas";
    r.Start = static_cast<size_t>(i * 10);
    r.End = r.Start + 5;
    r.Text = u"same";
    r.Identifier = i == 4 ? "SOther" : "S100";
    r.Target = "Texts.pas";
    plan.Rows.push_back(r);
  }
  EXPECT_EQ(RenameIdentifier(plan, 1, "SNew", false), 2u);
  EXPECT_EQ(plan.Rows[1].Identifier, "S100");
  EXPECT_EQ(RenameIdentifier(plan, 2, "SBoth", true), 1u);
  EXPECT_EQ(plan.Rows[0].Identifier, "SNew");
  EXPECT_EQ(plan.Rows[2].Identifier, "SBoth");
  EXPECT_EQ(plan.Rows[3].Identifier, "SOther");
  EXPECT_THROW(RenameIdentifier(plan, 2, "9x", true), EToolError);
  EXPECT_THROW(RenameIdentifier(plan, 7, "SX", true), EToolError);

  const std::string json = PlanJson(plan);
  EXPECT_EQ(PlanJson(ParsePlan(json, "p.json")), json);
  const auto refused = [&](std::string text, const std::string& why) {
    try {
      ParsePlan(text, "p.json");
      ADD_FAILURE() << "accepted: " << why;
    } catch (const EToolError& e) {
      EXPECT_EQ(std::string(e.Message()).rfind("p.json: not a usable plan: ", 0), 0u) << e.Message();
      EXPECT_NE(std::string(e.Message()).find(why), std::string::npos) << e.Message();
    }
  };
  const auto with = [&](const std::string& from, const std::string& to) {
    std::string t = json;
    t.replace(t.find(from), from.size(), to);
    return t;
  };
  refused(with("\"end\": 15", "\"end\": 5"), "row 1: its end must lie after its start");
  refused(with("\"action\": \"isolate\"", "\"action\": \"drop\""), "'drop'");
  refused(with("\"id\": 2", "\"id\": 1"), "row 1 is listed twice");
  refused(with("\"start\": 10", "\"start\": -1"), "start must be a number");
  refused(with("\"version\": 1", "\"version\": 2"), "\"version\" must be 1");
  refused(std::string(100, '[') + std::string(100, ']'), "nested deeper");
  refused("{", "parse");
}

TEST(IsolateDiff, HunksOfChangedLines) {
  std::string a, b;
  for (int i = 1; i <= 20; ++i) {
    a += "line " + std::to_string(i) + "\r\n";
    b += (i == 5 ? "changed 5" : "line " + std::to_string(i)) + "\r\n";
    if (i == 15) b += "added\r\n";
  }
  EXPECT_EQ(UnifiedDiff(a, b, "a/U.pas", "b/U.pas", 2),
            "--- a/U.pas\n+++ b/U.pas\n@@ -3,5 +3,5 @@\n line 3\n line 4\n-line 5\n+changed 5\n line 6\n line 7\n"
            "@@ -14,4 +14,5 @@\n line 14\n line 15\n+added\n line 16\n line 17\n");
  EXPECT_EQ(UnifiedDiff(a, a, "x", "y"), "");
  EXPECT_EQ(UnifiedDiff("", "one", "a/N", "b/N"), "--- a/N\n+++ b/N\n@@ -0,0 +1,1 @@\n+one\n\\ No newline at end of file\n");
  // Far more changes than the traced edits still give a diff that holds every line.
  std::string many, others;
  for (size_t i = 0; i < 3 * kMaxDiffEdits; ++i) {
    many += "a" + std::to_string(i) + "\n";
    others += "b" + std::to_string(i) + "\n";
  }
  const std::string big = UnifiedDiff(many, others, "a", "b", 0);
  EXPECT_EQ(static_cast<size_t>(std::count(big.begin(), big.end(), '\n')), 2 + 1 + 6 * kMaxDiffEdits);
}

}  // namespace
}  // namespace quintrel::tools
