// Packing and re-indexing modules: a pack keeps every object, term, comment, dictionary
// and setting whatever the project's name, a pack that fails leaves the module as it
// was, and an old module comes out in the current layout.
#include "tools/maintenance.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "module/objects.h"
#include "tests/testdata.h"
#include "text/unicode.h"
#include "tools/othermodule.h"
#include "tools_fixture.h"

namespace quintrel::tools::test {
namespace {

using module::TZod;
using module::TZodObject;
using module::test::Id;
namespace fs = std::filesystem;

using testdata::Bytes;

// Everything a module says, by names: each object with its settings and its texts in
// every language and its comment, keyed by form, component and property names; and the
// module's properties other than those a pack rebuilds.
std::map<std::string, std::string> Snapshot(const std::string& file) {
  TOtherModule m(file, TOtherModule::TAccess::Read, {}, nullptr);
  TZod& zod = m.Zod();
  const int i = m.Index();
  std::map<std::string, std::string> out;
  std::vector<module::TLanguageId> languages;
  zod.GetLanguageList(i, languages);
  languages.push_back(module::kCommentLanguage);
  const auto comps = zod.GetComps(i), props = zod.GetProps(i);
  for (const std::string& line : zod.GetForms(i)) {
    const uint16_t form = static_cast<uint16_t>(std::stoul(line.substr(0, 4), nullptr, 16));
    std::string name = module::CatalogueName(line);
    if (name.front() == '*') name.erase(0, 1);
    for (const TZodObject& o : zod.GetObjects(i, form)) {
      const int c = module::GetCompIndex(comps, o.CompName), p = module::GetPropIndex(props, o.PropertyName);
      const std::string key = name + "." + (o.CompName == 0 ? "" : c >= 0 ? module::CatalogueName(comps[c]) : "?") +
                              "." + (p >= 0 ? module::CatalogueName(props[p]) : "?");
      std::ostringstream v;
      v << o.Ident << " " << int(o.Kind) << " " << int(o.ZodClass) << " " << o.Locked << " " << int(o.Priority);
      for (module::TLanguageId language : languages) {
        const uint32_t term = language == module::kCommentLanguage ? o.Comment : o.Localization;
        if (auto t = ReadStoredTerm(zod, i, language, term))
          v << " | " << language << ":" << int(t->Status) << ":" << int(t->Style) << ":"
            << std::string(t->Data.begin(), t->Data.end());
      }
      out[key] = v.str();
    }
  }
  for (const std::string& p : zod.GetPropertyNames(i)) {
    if (p == module::kPropForms || p == module::kPropComps || p == module::kPropObjectProperties ||
        p == module::kPropZodVer || p.rfind(module::kPropObjIdents, 0) == 0)
      continue;
    auto value = zod.GetProperty(i, p);
    out["property " + p] = value ? std::string(value->begin(), value->end()) : "";
  }
  return out;
}

class MaintenanceTest : public ToolsFixture {
protected:
  // A module of a project with a long name: two languages (German a dictionary), two forms,
  // texts, comments, a locked object, a removed object and an unused component name.
  void SetUp() override {
    ToolsFixture::SetUp();
    file_ = MakeModule("SalesReportingTool.ZOD");
    TZod zod(TZod::TStart::Empty);
    const int m = zod.RegisterModule(file_, false);
    ASSERT_GE(m, 0);
    for (const char* id : {"en", "de"}) ASSERT_TRUE(module::test::AddLanguage(zod, m, id));
    zod.SetDesignTimeLanguage(m, Id("en"));
    for (int k = 0; k < 30; ++k) {
      const std::string form = k % 2 ? "Orders" : "Main";
      const uint32_t ident = zod.AddObject(m, form, "Comp" + std::to_string(k), k % 3 ? "Caption" : "Hint",
                                           module::utString, module::ucLabel);
      TZodObject o;
      o.Ident = ident;
      o.FormID = zod.GetFormOfObjectID(m, ident);
      ASSERT_TRUE(zod.GetObject(m, o));
      o.Localization = zod.GetNewTermID(m);
      o.Locked = k == 4;
      o.Priority = static_cast<uint8_t>(k % 5);
      if (k % 4 == 0) {
        o.Comment = zod.GetNewTermID(m);
        zod.SetCommentW(m, o.Comment, u"note " + text::Utf8ToWide(std::to_string(k)));
      }
      zod.SetObject(m, o);
      WriteStoredTerm(zod, m, Id("en"), o.Localization, {0, 0, text::Utf16LeBytes(u"Text")});
      if (k % 3) WriteStoredTerm(zod, m, Id("de"), o.Localization, {uint8_t(k % 3), uint8_t(k), text::Utf16LeBytes(u"Text de")});
      if (k == 7) {  // gone again: its records leave free space and a stale term
        o.PropertyName = 0;
        zod.SetObject(m, o);
      }
    }
    ASSERT_TRUE(zod.SetDictionary(m, Id("de"), true));
    zod.SetProperty("MyOwnSetting", "abc", m, 3);
  }
  std::string file_;
};

TEST_F(MaintenanceTest, PackKeepsEverythingOfAProjectWithALongName) {
  const auto before = Snapshot(file_);
  const std::string original = Bytes(file_);
  ASSERT_GT(before.size(), 29u);
  // The project's module open in the process's list, as in the development environment.
  TWorkModule open(file_);
  std::vector<std::string> texts;
  const TPackResult r = PackModule(file_, [&](std::string_view t, size_t, size_t) { texts.emplace_back(t); });
  EXPECT_EQ(r.Objects, 29);
  EXPECT_EQ(r.Comments, 8);
  EXPECT_FALSE(r.BackupReplaced);
  EXPECT_EQ(Bytes(r.Backup), original);
  EXPECT_EQ(Snapshot(file_), before);
  EXPECT_EQ(texts.front(), "Packing form Main");
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Packing property 15 of 15"), texts.end());
  EXPECT_EQ(texts.back(), "Updating ZOD Properties...");
  TOtherModule packed(file_, TOtherModule::TAccess::Read, {}, nullptr);
  EXPECT_TRUE(packed.Zod().IsLanguageDictionary(packed.Index(), Id("de")));
  EXPECT_EQ(module::GetCompID(packed.Zod().GetComps(packed.Index()), "Comp7"), 0u);  // unused name dropped
  EXPECT_EQ(PackModule(file_).BackupReplaced, true);
}

TEST_F(MaintenanceTest, AFailureMidPackLeavesTheModuleAsItWas) {
  const std::string original = Bytes(file_);
  const auto fail = [](std::string_view text, size_t, size_t) {
    if (text == "Packing property 3 of 14") throw rtl::Exception("disk full");
  };
  const std::string message = module::test::MessageOf<EToolError>([&] { PackModule(file_, fail); });
  EXPECT_NE(message.find("not packed, the module is unchanged: disk full"), std::string::npos) << message;
  EXPECT_EQ(Bytes(file_), original);
  // Nothing of the run is left beside the module but the backup.
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(dir_))
    if (entry.path().filename().string().rfind("SalesReportingTool", 0) == 0)
      files.push_back(entry.path().filename().string());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"SalesReportingTool.ZOD", "SalesReportingTool.~lm"}));
}

TEST_F(MaintenanceTest, AnOldModulePacksToTheCurrentLayout) {
  const std::string old = MakeModule("Legacy.zod");
  {
    TZod zod(TZod::TStart::Empty);
    const int m = zod.RegisterModule(old, false);
    const int32_t version = 100;
    zod.SetProperty(module::kPropZodVer, &version, m, 4);
    // An object list of the old kind, naming an object that is gone.
    const uint32_t stale[2] = {30, 99};
    zod.SetProperty(std::string(module::kPropObjIdents) + "0007", stale, m, 8);
    storage::TCustomVarDB& db = zod.GetModuleInterface(m);
    const int table = db.AddTable(std::string("ZodObj0007") + module::kObjTableDefinition);
    db.IndexCreate(table, db.GetFieldNr(table, "Ident"), 1, true, true);
    for (uint32_t ident : {30u, 31u}) {
      uint32_t form = 7, comp = 2, prop = 1, term = ident + 100;
      storage::TFindRec fields[5] = {{db.GetFieldNr(table, "Ident"), &ident, 4},
                                     {db.GetFieldNr(table, "FormID"), &form, 4},
                                     {db.GetFieldNr(table, "CompName"), &comp, 4},
                                     {db.GetFieldNr(table, "PropertyName"), &prop, 4},
                                     {db.GetFieldNr(table, "Localization"), &term, 4}};
      db.AddRecord(table, fields, 5);
      WriteStoredTerm(zod, m, Id("en"), term, {1, 0, text::Utf16LeBytes(u"old")});
    }
    zod.SetForms(m, {"0007 Old"});
    zod.SetComps(m, {"0002 Btn"});
    zod.SetProps(m, {"0001 Caption"});
    module::test::AddLanguage(zod, m, "en");
    ASSERT_EQ(zod.GetZodVersion(m), 100);
  }
  PackModule(old);
  TOtherModule packed(old, TOtherModule::TAccess::Read, {}, nullptr);
  TZod& zod = packed.Zod();
  EXPECT_EQ(zod.GetZodVersion(packed.Index()), module::kZodVersion);
  storage::TCustomVarDB& db = zod.GetModuleInterface(packed.Index());
  EXPECT_EQ(db.GetTableNr("ZodObj0007"), -1);
  EXPECT_GE(db.GetTableNr(module::kObjTable), 0);
  std::vector<uint32_t> idents;
  for (const TZodObject& listed : zod.GetObjects(packed.Index(), 7)) idents.push_back(listed.Ident);
  EXPECT_EQ(idents, (std::vector<uint32_t>{30, 31}));
  TZodObject o = module::test::StoredObject(zod, packed.Index(), 31);
  EXPECT_EQ(o.FormID, 7);
  EXPECT_EQ(ReadStoredTerm(zod, packed.Index(), Id("en"), o.Localization)->Data, text::Utf16LeBytes(u"old"));
}

TEST_F(MaintenanceTest, ReindexNumbersTablesAndFieldsAndLeavesTheFileSound) {
  std::vector<std::string> texts;
  const int tables = ReindexModule(file_, [&](std::string_view t, size_t, size_t) { texts.emplace_back(t); }).Tables;
  ASSERT_GE(tables, 3);
  EXPECT_EQ(texts.front(), "Re-Indexing table 1 / " + std::to_string(tables));
  EXPECT_EQ(texts[1], "Field 0 / 3");  // Properties: _RECNO, Name, Data
  EXPECT_NE(std::find(texts.begin(), texts.end(),
                      "Re-Indexing table " + std::to_string(tables) + " / " + std::to_string(tables)),
            texts.end());
  TOtherModule m(file_, TOtherModule::TAccess::Read, {}, nullptr);
  EXPECT_TRUE(m.Zod().GetModuleInterface(m.Index()).Check().empty());
  EXPECT_TRUE(m.Zod().IsLanguageDictionary(m.Index(), Id("de")));
}

}  // namespace
}  // namespace quintrel::tools::test
