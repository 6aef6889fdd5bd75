// A second module beside the project's, and translations taken from it by names: modules
// whose names agree in their first 12 characters stay apart, the project's own module is
// refused, and the merge writes only what it may.
#include "tools/mergenames.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "module/namelists.h"
#include "module/objects.h"
#include "text/unicode.h"
#include "tools/othermodule.h"
#include "tools/toolsession.h"
#include "named_objects.h"
#include "tools_fixture.h"

namespace quintrel::tools::test {
namespace {

using module::GlobalZOD;
using module::TZod;
using module::TZodObject;
using module::test::Id;

std::u16string Text(const std::vector<uint8_t>& bytes) { return WideText(bytes); }

// The object as stored.
TZodObject Object(TZod& zod, int m, uint32_t ident) {
  TZodObject object;
  object.Ident = ident;
  object.FormID = zod.GetFormOfObjectID(m, ident);
  EXPECT_TRUE(zod.GetObject(m, object)) << ident;
  return object;
}

// Adds the language and an object with its text in it; the object's identifier.
uint32_t Put(TZod& zod, int m, const char* form, const char* comp, const char* prop, const char* language,
             const std::u16string& text, uint8_t status = module::usForReview) {
  TZodObject object = FindByNames(zod, m, form, comp, prop);
  if (object.Ident == 0) object = Object(zod, m, zod.AddObject(m, form, comp, prop, module::utString, module::ucButton));
  if (object.Localization == 0) {
    object.Localization = zod.GetNewTermID(m);
    zod.SetObject(m, object);
  }
  TStoredTerm term;
  term.Status = status;
  term.Data = text::Utf16LeBytes(text);
  EXPECT_TRUE(WriteStoredTerm(zod, m, Id(language), object.Localization, term));
  return object.Ident;
}

class MergeTest : public ToolsFixture {
protected:
  // The project's module (a name of 15 characters) and another module whose file name
  // agrees with it in the first 12: the two that a name match confuses.
  void SetUp() override {
    ToolsFixture::SetUp();
    target_ = NewModule("SalesReporting.ZOD");
    other_ = Path("SalesReporting.~lm");
    TZod zod(TZod::TStart::Empty);
    const int m = zod.NewModule(other_);
    ASSERT_GE(m, 0);
    // Catalogued in another order than the target, so every identifier differs.
    Put(zod, m, "Orders", "", "Caption", "de", u"Bestellungen");
    Put(zod, m, "Main", "BtnOk", "Caption", "de", u"Gut");
    Put(zod, m, "Main", "BtnCancel", "Caption", "de", u"Abbrechen");
    Put(zod, m, "Main", "BtnHelp", "Hint", "de", u"", module::usForReview);
    Put(zod, m, "Main", "BtnNew", "Caption", "de", u"Neu", module::usUnTranslated);
    const uint32_t commented = Put(zod, m, "Main", "", "Caption", "de", u"Hauptfenster");
    TZodObject object = Object(zod, m, commented);
    object.Comment = zod.GetNewTermID(m);
    zod.SetObject(m, object);
    zod.SetCommentW(m, object.Comment, u"window title");
    const uint32_t resource = zod.AddUnitObject(m, "#Consts.pas", 4711, "SHello", module::utString,
                                                module::ucResourceString);
    object = Object(zod, m, resource);
    object.Localization = zod.GetNewTermID(m);
    zod.SetObject(m, object);
    WriteStoredTerm(zod, m, Id("de"), object.Localization, {module::usForReview, 0, text::Utf16LeBytes(u"Hallo")});

    TZod& g = GlobalZOD();
    ok_ = Put(g, target_, "Main", "BtnOk", "Caption", "de", u"OK", module::usSignedOff);
    cancel_ = Put(g, target_, "Main", "BtnCancel", "Caption", "de", u"Cancel", module::usUnTranslated);
    help_ = Put(g, target_, "Main", "BtnHelp", "Hint", "de", u"old hint", module::usForReview);
    title_ = Put(g, target_, "Main", "", "Caption", "de", u"Main", module::usUnTranslated);
    TZodObject locked = Object(g, target_, title_);
    locked.Locked = true;
    g.SetObject(target_, locked);
  }

  std::optional<TStoredTerm> Term(uint32_t object, const char* language = "de") {
    return ReadStoredTerm(GlobalZOD(), target_, Id(language), Object(GlobalZOD(), target_, object).Localization);
  }
  uint32_t Find(const char* form, const char* comp, const char* prop) {
    return FindByNames(GlobalZOD(), target_, form, comp, prop).Ident;
  }

  int target_ = -1;
  std::string other_;
  uint32_t ok_ = 0, cancel_ = 0, help_ = 0, title_ = 0;
};

TEST_F(MergeTest, OtherModuleIsNeverTheProjectsOwnAndClosesOnlyWhatItOpened) {
  const std::string own = Path("SalesReporting.ZOD");
  {
    TOtherModule other(other_, TOtherModule::TAccess::Read, {own});
    EXPECT_TRUE(other.OwnsModule());
    EXPECT_NE(&other.Zod().GetModuleInterface(other.Index()), &GlobalZOD().GetModuleInterface(target_));
    EXPECT_EQ(other.Zod().GetObjectCount(other.Index()), 7);
  }
  // The own module by another spelling, through a link, or as the module list holds it.
  std::filesystem::create_directories(Path("sub"));
  std::filesystem::create_symlink(own, Path("link.zod"));
  for (const std::string& name : {Path("sub/../SalesReporting.ZOD"), Path("link.zod")})
    EXPECT_THROW(TOtherModule(name, TOtherModule::TAccess::Read, {own}), EToolError) << name;
  // Open in the shared list already: used, and left open.
  {
    TOtherModule same(own, TOtherModule::TAccess::Read, {});
    EXPECT_FALSE(same.OwnsModule());
    EXPECT_EQ(same.Index(), target_);
  }
  EXPECT_EQ(GlobalZOD().GetModuleCount(), 1);
  EXPECT_TRUE(GlobalZOD().GetModuleInterface(target_).IsFile());
  // A new module is never made over an existing file, and missing or foreign files fail.
  EXPECT_THROW(TOtherModule(other_, TOtherModule::TAccess::Create, {}), EToolError);
  EXPECT_THROW(TOtherModule(Path("none.zod"), TOtherModule::TAccess::Read, {}), EToolError);
  std::filesystem::create_directories(Path("folder.zod"));
  EXPECT_THROW(TOtherModule(Path("folder.zod"), TOtherModule::TAccess::Read, {}), EToolError);
  TOtherModule created(Path("new.zod"), TOtherModule::TAccess::Create, {own});
  EXPECT_EQ(created.Zod().GetZodVersion(created.Index()), module::kZodVersion);
}

TEST_F(MergeTest, LeverageTakesTranslationsByNamesAndKeepsSignedOffAndLockedOnes) {
  TOtherModule other(other_, TOtherModule::TAccess::Read, {Path("SalesReporting.ZOD")});
  std::vector<std::string> steps;
  TMergeOptions options;
  options.From = Id("de");
  options.Into = Id("de");
  options.Progress = [&](std::string_view text, size_t, size_t) { steps.emplace_back(text); };
  const TMergeResult r = MergeByNames(other.Zod(), other.Index(), target_, options);
  EXPECT_EQ(r.Objects, 7);
  EXPECT_EQ(r.Taken, 4);  // Cancel, the emptied hint, Orders, the resource string
  EXPECT_EQ(r.Created, 3);
  EXPECT_EQ(r.SkippedSignedOff, 1);
  EXPECT_EQ(r.SkippedLocked, 1);
  EXPECT_EQ(r.Untranslated, 1);
  EXPECT_EQ(steps.size(), 7u);
  EXPECT_EQ(Text(Term(ok_)->Data), u"OK");
  EXPECT_EQ(Term(cancel_)->Status, module::usForReview);
  EXPECT_EQ(Text(Term(cancel_)->Data), u"Abbrechen");
  // The emptied text replaces the old one, as one zero byte.
  EXPECT_EQ(Term(help_)->Data, std::vector<uint8_t>{0});
  EXPECT_EQ(Text(Term(title_)->Data), u"Main");
  const uint32_t orders = Find("Orders", "", "Caption");
  ASSERT_NE(orders, 0u);
  EXPECT_EQ(Text(Term(orders)->Data), u"Bestellungen");
  // The new names reached the catalogue, and the resource string kept its number.
  EXPECT_NE(module::GetCompID(GlobalZOD().GetComps(target_), "BtnNew"), 0u);
  TZodObject probe;
  probe.FormID = static_cast<uint16_t>(module::GetFormID(GlobalZOD().GetForms(target_), "#Consts.pas"));
  probe.CompName = 4711;
  probe.PropertyName = static_cast<uint16_t>(module::GetPropID(GlobalZOD().GetProps(target_), "SHello"));
  const uint32_t hello = GlobalZOD().FindObject(target_, probe);
  ASSERT_NE(hello, 0u);
  EXPECT_EQ(Text(Term(hello)->Data), u"Hallo");
}

TEST_F(MergeTest, ImportTakesOnlyExistingObjectsAndCopiesComments) {
  TZodObject title = Object(GlobalZOD(), target_, title_);
  title.Locked = false;
  GlobalZOD().SetObject(target_, title);
  const auto formsBefore = GlobalZOD().GetForms(target_);
  TOtherModule other(other_, TOtherModule::TAccess::Read, {});
  TMergeOptions options;
  options.From = Id("de");
  options.Into = Id("fr");
  options.CreateMissing = false;
  options.KeepStatus = true;
  const TMergeResult r = MergeByNames(other.Zod(), other.Index(), target_, options);
  EXPECT_EQ(r.Created, 0);
  EXPECT_EQ(r.Missing, 3);  // Orders, BtnNew, the resource unit
  EXPECT_EQ(r.Taken, 4);    // OK, Cancel, Hint, title: nothing is signed off in fr
  EXPECT_EQ(r.Comments, 1);
  EXPECT_EQ(GlobalZOD().GetForms(target_), formsBefore);
  EXPECT_EQ(Text(Term(title_, "fr")->Data), u"Hauptfenster");
  ASSERT_TRUE(GlobalZOD().GetObject(target_, title));
  EXPECT_EQ(GlobalZOD().GetCommentW(target_, title.Comment, nullptr), 12);
  // The target itself is never a source.
  EXPECT_THROW(MergeByNames(GlobalZOD(), target_, target_, options), EToolError);
}

}  // namespace
}  // namespace quintrel::tools::test
