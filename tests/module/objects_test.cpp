// Object catalogue: catalogue lines and identifiers, objects and their per-form lists,
// forms removed with their objects, older modules with one table per form, and a random
// sequence of changes checked against a model; the kept catalogue texts against writes of
// this module and of another process.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <optional>
#include <random>
#include <stdexcept>

#include "module_fixture.h"
#include "storage/coding.h"

namespace quintrel::module::test {
namespace {

class ObjectsTest : public ModuleFixture {
protected:
  void SetUp() override {
    ModuleFixture::SetUp();
    path_ = MakeModule("objects.zod");
    m_ = zod_.RegisterModule(path_, false);
    ASSERT_EQ(m_, 0);
  }
  std::string Text(const char* property) {
    auto value = zod_.GetProperty(m_, property);
    return value ? std::string(value->begin(), value->end()) : std::string();
  }
  TZod zod_{TZod::TStart::Empty};
  std::string path_;
  int m_ = -1;
};

TEST_F(ObjectsTest, AddingObjectsNamesFormsComponentsAndPropertiesOnce) {
  EXPECT_EQ(zod_.GetObjects(m_, 1, nullptr), 0);
  EXPECT_EQ(zod_.GetObjectCount(m_), 0);
  EXPECT_EQ(zod_.AddObject(m_, "Form1", "Button1", "Caption", utString, ucButton), 1048560u);
  EXPECT_EQ(Text(kPropForms), "0001 Form1\r\n");
  EXPECT_EQ(Text(kPropComps), "0001 Button1\r\n");
  EXPECT_EQ(Text(kPropObjectProperties), "0001 Caption\r\n");
  auto objects = zod_.GetObjects(m_, 1);
  ASSERT_EQ(objects.size(), 1u);
  EXPECT_EQ(objects[0].Ident, 1048560u);
  EXPECT_EQ(objects[0].FormID, 1);
  EXPECT_EQ(objects[0].CompName, 1u);
  EXPECT_EQ(objects[0].PropertyName, 1);
  EXPECT_EQ(objects[0].ZodClass, ucButton);
  EXPECT_EQ(objects[0].Kind, utString);

  EXPECT_EQ(zod_.AddObject(m_, "Form1", "Button1", "Caption", utString, ucButton), 1048561u);
  EXPECT_EQ(zod_.AddObject(m_, "Form2", "Button1", "Hint", utString, ucButton), 1048562u);
  EXPECT_EQ(Text(kPropForms), "0001 Form1\r\n0002 Form2\r\n");
  EXPECT_EQ(Text(kPropComps), "0001 Button1\r\n");
  EXPECT_EQ(Text(kPropObjectProperties), "0001 Caption\r\n0002 Hint\r\n");
  EXPECT_EQ(zod_.GetObjects(m_, 1, nullptr), 2);
  EXPECT_EQ(zod_.GetObjectCount(m_), 3);
  EXPECT_EQ(zod_.GetFormOfObjectID(m_, 1048562), 2);
  EXPECT_EQ(zod_.GetFormOfObjectID(m_, 5), 0);
  // A property of the form itself names no component: it is catalogued under 0.
  TZodObject own;
  own.Ident = zod_.AddObject(m_, "Form2", "", "Caption", utString, ucForm);
  ASSERT_TRUE(zod_.GetObject(m_, own));
  EXPECT_EQ(own.CompName, 0u);
  EXPECT_EQ(Text(kPropComps), "0001 Button1\r\n");

  TZodObject probe;
  probe.FormID = 2;
  probe.CompName = 1;
  probe.PropertyName = 2;
  EXPECT_EQ(zod_.FindObject(m_, probe), 1048562u);
  probe.PropertyName = 1;
  EXPECT_EQ(zod_.FindObject(m_, probe), 0u);
  EXPECT_THROW(zod_.FindObject(4, probe), EListError);
  EXPECT_FALSE(zod_.GetObject(4, probe));
}

TEST_F(ObjectsTest, ObjectsAreRewrittenAndDeletedWithTheirListEntry) {
  uint32_t a = zod_.AddObject(m_, "Main", "Edit1", "Text", utString, ucEditBox);
  uint32_t b = zod_.AddObject(m_, "Main", "Edit2", "Text", utString, ucEditBox);
  TZodObject object;
  object.Ident = a;
  ASSERT_TRUE(zod_.GetObject(m_, object));
  object.Localization = 458745;
  object.Comment = 458746;
  object.Locked = true;
  object.Priority = 200;
  object.Kind = utInteger;
  ASSERT_TRUE(zod_.SetObject(m_, object));
  TZodObject read;
  read.Ident = a;
  ASSERT_TRUE(zod_.GetObject(m_, read));
  EXPECT_EQ(read, object);
  EXPECT_EQ(zod_.GetObjects(m_, 1, nullptr), 2);  // rewriting does not list it twice

  object.PropertyName = 0;
  ASSERT_TRUE(zod_.SetObject(m_, object));
  EXPECT_FALSE(zod_.GetObject(m_, read));
  auto objects = zod_.GetObjects(m_, 1);
  ASSERT_EQ(objects.size(), 1u);
  EXPECT_EQ(objects[0].Ident, b);
  EXPECT_EQ(zod_.GetObjectCount(m_), 1);
}

TEST_F(ObjectsTest, RemovingAFormLeavesTheOthersAlone) {
  for (const char* form : {"F1", "F2", "F3"})
    for (const char* comp : {"A", "B"}) zod_.AddObject(m_, form, comp, "Caption", utString, ucLabel);
  ASSERT_TRUE(zod_.RemoveForm(m_, 2));
  EXPECT_FALSE(zod_.RemoveForm(m_, 2));
  EXPECT_EQ(Text(kPropForms), "0001 F1\r\n0003 F3\r\n");
  EXPECT_EQ(zod_.GetObjects(m_, 1).size(), 2u);
  EXPECT_EQ(zod_.GetObjects(m_, 2).size(), 0u);
  EXPECT_EQ(zod_.GetObjects(m_, 3).size(), 2u);
  EXPECT_EQ(zod_.GetObjectCount(m_), 4);
  EXPECT_TRUE(zod_.GetModuleInterface(m_).Check().empty());
}

TEST_F(ObjectsTest, SetObjectsReplacesTheFormsObjects) {
  zod_.AddObject(m_, "F1", "A", "Caption", utString, ucLabel);
  zod_.AddObject(m_, "F2", "A", "Caption", utString, ucLabel);
  std::vector<TZodObject> fresh(3);
  for (size_t i = 0; i < fresh.size(); ++i) {
    fresh[i].Ident = 700 + static_cast<uint32_t>(i);
    fresh[i].FormID = 1;
    fresh[i].CompName = 9;
    fresh[i].PropertyName = static_cast<uint16_t>(i + 1);
    fresh[i].Localization = 40 + static_cast<uint32_t>(i);
  }
  ASSERT_TRUE(zod_.SetObjects(m_, 3, fresh.data()));
  EXPECT_EQ(zod_.GetObjects(m_, 1), fresh);
  EXPECT_EQ(zod_.GetObjects(m_, 2).size(), 1u);
  EXPECT_EQ(zod_.GetObjectCount(m_), 4);
}

TEST_F(ObjectsTest, CountersStartWrapAndKeepTheirSize) {
  EXPECT_EQ(zod_.GetNewFormID(m_), 1);
  EXPECT_EQ(zod_.GetNewFormID(m_), 2);
  EXPECT_EQ(zod_.GetProperty(m_, kPropFormCount)->size(), 2u);
  uint8_t last[4];
  storage::Put16(last, 65534);
  zod_.SetProperty(kPropFormCount, last, m_, 2);
  EXPECT_EQ(zod_.GetNewFormID(m_), 1);
  storage::Put16(last, 65534);
  zod_.SetProperty(kPropPropertyCount, last, m_, 2);
  EXPECT_EQ(zod_.GetNewPropID(m_), 1);
  EXPECT_EQ(zod_.GetNewCompID(m_), 1u);
  storage::Put32(last, 0x7FFFFFFF);
  zod_.SetProperty(kPropCompCount, last, m_, 4);
  EXPECT_EQ(zod_.GetNewCompID(m_), 1u);
  zod_.SetProperty(kPropObjectCount, last, m_, 4);
  EXPECT_EQ(zod_.GetNewObjectID(m_), kFirstObjectId);
  EXPECT_EQ(zod_.GetNewObjectID(m_), kFirstObjectId + 1);
}

TEST(CatalogueLists, LinesAreFoundByIdentifierAndWholeName) {
  TCatalogueList list = SplitCatalogue("0001 Form1\r\n0002 Form10\r\n0010 About Box\r\n");
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(GetFormID(list, "Form10"), 2u);
  EXPECT_EQ(GetFormID(list, "Form"), 0u);
  EXPECT_EQ(GetFormID(list, "form1"), 0u);
  EXPECT_EQ(GetFormID(list, "Box"), 16u);
  EXPECT_EQ(GetFormIndex(list, 0x10), 2);
  EXPECT_EQ(GetFormIndex(list, 3), -1);
  EXPECT_EQ(GetCompIndex(list, 2), 1);
  EXPECT_EQ(GetPropIndex(list, 0x0100), -1);
  EXPECT_EQ(JoinCatalogue(list), "0001 Form1\r\n0002 Form10\r\n0010 About Box\r\n");
  EXPECT_EQ(CatalogueLine(0x1ABCD, "Big"), "1ABCD Big");
  EXPECT_EQ(SplitCatalogue("0001 A").size(), 1u);
  // Form names as the language compares them: the exact spelling wins, then any case, and
  // still only the whole name.
  list = SplitCatalogue("0001 MAINFORM\r\n0002 MainForm\r\n0003 About\r\n");
  EXPECT_EQ(GetFormIDIgnoringCase(list, "MainForm"), 2u);
  EXPECT_EQ(GetFormIDIgnoringCase(list, "mainform"), 1u);
  EXPECT_EQ(GetFormIDIgnoringCase(list, "ABOUT"), 3u);
  EXPECT_EQ(GetFormIDIgnoringCase(list, "Main"), 0u);
}

TEST(CatalogueClasses, NamesMapToTheirClass) {
  EXPECT_EQ(GetZodClass("TBitBtn"), ucButton);
  EXPECT_EQ(GetZodClass("TTabSheet"), ucPageControl);
  EXPECT_EQ(GetZodClass("TReplaceDialog"), ucCommonDialog);
  EXPECT_EQ(GetZodClass("QRDBImage"), ucBitmap);
  EXPECT_EQ(GetZodClass("TForm"), ucForm);
  EXPECT_EQ(GetZodClass("#SOpenError"), ucResourceString);
  EXPECT_EQ(GetZodClass("tbutton"), ucUnknown);
  EXPECT_EQ(GetZodClass("TForm1"), ucUnknown);
  EXPECT_EQ(GetZodClass(""), ucUnknown);
  EXPECT_EQ(ZodClassFromName("ucButton"), ucButton);
  EXPECT_EQ(ZodClassName(ucResourceString), "ucResourceString");
  EXPECT_EQ(ZodTypeFromName("utMetafile"), utMetafile);
  EXPECT_EQ(ZodTypeFromName("utNothing"), -1);
}

TEST_F(ObjectsTest, AutoIncludesFallBackToTheDefaultList) {
  auto list = zod_.GetAutoIncludeList(m_);
  ASSERT_EQ(list.size(), 24u);
  EXPECT_EQ(list.front(), "Caption");
  EXPECT_EQ(list.back(), "Text");
  std::string own = "Caption\r\nHint";
  ASSERT_TRUE(zod_.SetAutoIncludes(m_, static_cast<int32_t>(own.size()), own.data()));
  EXPECT_EQ(zod_.GetAutoIncludeList(m_), (std::vector<std::string>{"Caption", "Hint"}));
}

TEST_F(ObjectsTest, OlderModulesKeepOneTablePerForm) {
  auto& db = zod_.GetModuleInterface(m_);
  int table = db.AddTable(std::string("ZodObj0007") + kObjTableDefinition);
  db.IndexCreate(table, db.GetFieldNr(table, "Ident"), 1, true, true);
  for (uint32_t ident : {30u, 31u}) {
    uint32_t form = 7, prop = 1;
    storage::TFindRec fields[3] = {{db.GetFieldNr(table, "Ident"), &ident, 4},
                                   {db.GetFieldNr(table, "FormID"), &form, 4},
                                   {db.GetFieldNr(table, "PropertyName"), &prop, 4}};
    db.AddRecord(table, fields, 3);
  }
  std::string forms = "0003 Other\r\n0007 Old\r\n";
  zod_.SetProperty(kPropForms, forms.data(), m_, static_cast<int32_t>(forms.size()));
  EXPECT_EQ(zod_.GetObjects(m_, 7, nullptr), 2);
  EXPECT_EQ(zod_.GetObjects(m_, 7)[1].Ident, 31u);
  EXPECT_EQ(zod_.GetFormOfObjectID(m_, 31), 7);
  TZodObject object;
  object.Ident = 30;
  EXPECT_FALSE(zod_.GetObject(m_, object));  // without its form the table is unknown
  object.FormID = 7;
  EXPECT_TRUE(zod_.GetObject(m_, object));
  zod_.RemoveObjects(m_, 7);
  EXPECT_EQ(db.GetTableNr("ZodObj0007"), -1);
}

using TModel = std::map<uint16_t, std::vector<TZodObject>>;

// Objects added, rewritten and deleted and forms emptied at random, recorded in a model per
// form (list order).
void ChangeAtRandom(TZod& zod, int m, TModel& model) {
  std::mt19937 rng(6);
  for (int step = 0; step < 600; ++step) {
    int action = static_cast<int>(rng() % 20);
    std::string form = "Form" + std::to_string(rng() % 5);
    if (action < 12 || model.empty()) {
      uint32_t id = zod.AddObject(m, form, "C" + std::to_string(rng() % 30), "P" + std::to_string(rng() % 4),
                                  static_cast<uint8_t>(rng() % 9), static_cast<uint8_t>(rng() % 41));
      TZodObject object;
      object.Ident = id;
      ASSERT_TRUE(zod.GetObject(m, object));
      model[object.FormID].push_back(object);
      continue;
    }
    auto it = std::next(model.begin(), static_cast<long>(rng() % model.size()));
    if (action == 19) {
      zod.RemoveObjects(m, it->first);
      it->second.clear();
    }
    if (it->second.empty()) continue;
    size_t at = rng() % it->second.size();
    TZodObject object = it->second[at];
    if (action < 16) {
      object.Localization = static_cast<uint32_t>(rng());
      object.Locked = rng() % 2;
      ASSERT_TRUE(zod.SetObject(m, object));
      it->second[at] = object;
    } else {
      object.PropertyName = 0;
      ASSERT_TRUE(zod.SetObject(m, object));
      it->second.erase(it->second.begin() + static_cast<long>(at));
    }
  }
}

// Whether the module's objects and identifier lists are the model's; a message when not.
std::string Differences(TZod& zod, int m, const TModel& model) {
  std::string found;
  size_t total = 0;
  for (const auto& [form, objects] : model) {
    if (zod.GetObjects(m, form) != objects) found += " objects of form " + std::to_string(form);
    char name[16];
    std::snprintf(name, sizeof name, "ObjIdents%04X", form);
    // The stored list: the identifiers in list order, 4 bytes each; no property when empty.
    std::optional<std::vector<uint8_t>> expected;
    for (const TZodObject& o : objects) {
      if (!expected) expected.emplace();
      for (int b = 0; b < 4; ++b) expected->push_back(static_cast<uint8_t>(o.Ident >> (8 * b)));
    }
    if (zod.GetProperty(m, name) != expected) found += std::string(" ") + name;
    total += objects.size();
  }
  if (zod.GetObjectCount(m) != static_cast<int32_t>(total)) found += " object count";
  return found;
}

// Compared with the model before and after reopening; the same sequence inside one module
// update, where the forms' lists are written at its end, leaves the same module: the same
// properties in the same order with the same bytes, read here and by another process.
TEST_F(ObjectsTest, RandomCatalogueAgreesWithAModel) {
  TModel model, inside;
  ChangeAtRandom(zod_, m_, model);
  EXPECT_EQ(Differences(zod_, m_, model), "");

  const std::string other = MakeModule("inside.zod");
  const int n = zod_.RegisterModule(other, false);
  ASSERT_EQ(n, 1);
  zod_.BeginModuleUpdate(n);
  ChangeAtRandom(zod_, n, inside);
  EXPECT_EQ(Differences(zod_, n, inside), "");
  zod_.EndModuleUpdate(n);
  ASSERT_EQ(inside, model);
  const std::vector<std::string> names = zod_.GetPropertyNames(m_);
  EXPECT_EQ(zod_.GetPropertyNames(n), names);
  for (const std::string& name : names) {
    if (name == kPropDateCreated) continue;
    EXPECT_EQ(zod_.GetProperty(n, name), zod_.GetProperty(m_, name)) << name;
  }

  for (const std::string& path : {path_, other}) {
    EXPECT_TRUE(InChild([&] {
      TZod reopened(TZod::TStart::Empty);
      return reopened.RegisterModule(path, false) == 0 && Differences(reopened, 0, model).empty() &&
             reopened.GetModuleInterface(0).Check().empty();
    })) << path;
  }
}

// An update given up - left without its end, or ended after an error inside it gave up its
// transaction - takes the lists it kept along: they neither reach the file nor come back
// with the next update.
TEST_F(ObjectsTest, AGivenUpUpdateForgetsTheListsItKept) {
  const uint32_t first = zod_.AddObject(m_, "Main", "A", "Caption", utString, ucLabel);
  const uint32_t second = zod_.AddObject(m_, "Main", "B", "Caption", utString, ucLabel);
  const std::vector<uint8_t> before = zod_.GetProperty(m_, "ObjIdents0001").value_or(std::vector<uint8_t>{});
  ASSERT_EQ(before.size(), 8u);
  storage::TCustomVarDB& db = zod_.GetModuleInterface(m_);
  {
    storage::TUpdateBracket update(db);
    zod_.AddObject(m_, "Main", "C", "Caption", utString, ucLabel);
    EXPECT_EQ(zod_.GetObjects(m_, 1).size(), 3u);
  }
  EXPECT_EQ(zod_.GetProperty(m_, "ObjIdents0001"), before);
  zod_.BeginModuleUpdate(m_);
  zod_.AddObject(m_, "Main", "D", "Caption", utString, ucLabel);
  try {
    TModuleLock lock(db, true);
    zod_.SetObjIdent(m_, 1, 99);
    zod_.SetProperty("Scratch", "x", m_, 1);
    throw std::runtime_error("cut short");
  } catch (const std::runtime_error&) {
  }
  EXPECT_THROW(zod_.EndModuleUpdate(m_), storage::EDatabaseError);
  EXPECT_EQ(zod_.GetProperty(m_, "ObjIdents0001"), before);
  zod_.BeginModuleUpdate(m_);
  const uint32_t third = zod_.AddObject(m_, "Main", "E", "Caption", utString, ucLabel);
  zod_.EndModuleUpdate(m_);
  std::vector<uint32_t> ids;
  for (const TZodObject& o : zod_.GetObjects(m_, 1)) ids.push_back(o.Ident);
  EXPECT_EQ(ids, (std::vector<uint32_t>{first, second, third}));
}

// The catalogue texts are kept between objects. A list written behind their back - by
// SetForms inside one update, where the change counter stands still, or by another process
// - must be read again: a stale list hands out an old identifier for a removed form, or
// writes over the other process's new line.
TEST_F(ObjectsTest, KeptCatalogueTextsFollowEveryWriteOfTheList) {
  zod_.BeginModuleUpdate(m_);
  EXPECT_EQ(zod_.AddObject(m_, "Main", "Ok", "Caption", utString, ucButton), 1048560u);
  EXPECT_EQ(zod_.AddObject(m_, "About", "Ok", "Caption", utString, ucButton), 1048561u);
  ASSERT_TRUE(zod_.RemoveForm(m_, 1));
  TZodObject object;
  object.Ident = zod_.AddObject(m_, "Main", "Ok", "Caption", utString, ucButton);
  ASSERT_TRUE(zod_.GetObject(m_, object));
  EXPECT_EQ(object.FormID, 3);
  zod_.EndModuleUpdate(m_);
  EXPECT_EQ(Text(kPropForms), "0002 About\r\n0003 Main\r\n");

  // Another process adds a form between two of ours (the first one keeps the lists).
  EXPECT_EQ(zod_.AddObject(m_, "Main", "Ok", "Hint", utString, ucButton), 1048563u);
  ASSERT_TRUE(InChild([&] {
    TZod child(TZod::TStart::Empty);
    const int m = child.RegisterModule(path_, false);
    return m == 0 && child.AddObject(m, "Setup", "", "Caption", utString, ucForm) != 0;
  }));
  object.Ident = zod_.AddObject(m_, "Setup", "", "Hint", utString, ucForm);
  ASSERT_TRUE(zod_.GetObject(m_, object));
  EXPECT_EQ(object.FormID, 4);
  EXPECT_EQ(zod_.AddObject(m_, "Help", "", "Caption", utString, ucForm), 1048566u);
  EXPECT_EQ(Text(kPropForms), "0002 About\r\n0003 Main\r\n0004 Setup\r\n0005 Help\r\n");
}

// A name is found as a whole word of a line, so a form list holding a name of two words
// answers for either word; the kept list answers as the lines do.
TEST_F(ObjectsTest, KeptCatalogueTextsFindNamesAsWholeWords) {
  ASSERT_TRUE(zod_.SetForms(m_, {"0007 Order Entry", "0009 Entry"}));
  TZodObject object;
  object.Ident = zod_.AddObject(m_, "Entry", "", "Caption", utString, ucForm);
  ASSERT_TRUE(zod_.GetObject(m_, object));
  EXPECT_EQ(object.FormID, 7);
  ASSERT_TRUE(zod_.SetForms(m_, {"0008 Order", "0009 Entry", "000A Entry"}));
  object.Ident = zod_.AddObject(m_, "Entry", "", "Hint", utString, ucForm);
  ASSERT_TRUE(zod_.GetObject(m_, object));
  EXPECT_EQ(object.FormID, 9);
  object.Ident = zod_.AddObject(m_, "Order Entry", "", "Hint", utString, ucForm);
  ASSERT_TRUE(zod_.GetObject(m_, object));
  EXPECT_EQ(object.FormID, 1);
}

}  // namespace
}  // namespace quintrel::module::test
