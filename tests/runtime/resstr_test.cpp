// The resource-string loader while the translator is installed.
#include <gtest/gtest.h>

#include "../module/module_fixture.h"
#include "module/namelists.h"
#include "module/objects.h"
#include "module/terms.h"
#include "platform/vcl/resstrings.h"
#include "platform/win32/resources.h"
#include "runtime/quintrel.h"
#include "text/codepages.h"

namespace quintrel::runtime::test {
namespace {

using module::test::Id;
using module::test::PutTerm;

// A module with a Pascal unit and a resource script, their strings in English and German,
// and the executable's string table as the linker left it.
class ResStrTest : public module::test::ModuleFixture {
protected:
  void SetUp() override {
    ModuleFixture::SetUp();
    // A running application has not loaded the shared form list; earlier tests may have.
    module::FormList().Clear();
    const std::string file = MakeModule("App.ZOD");
    m_ = zod_.RegisterModule(file, false);
    ASSERT_EQ(m_, 0);
    for (const char* id : {"en", "de"}) ASSERT_TRUE(module::test::AddLanguage(zod_, m_, id));
    ASSERT_TRUE(zod_.SetDesignTimeLanguage(m_, Id("en")));
    ASSERT_TRUE(zod_.SetSwitchResStr(m_, module::kSwitchResourceStrings, true));
    ASSERT_TRUE(zod_.SetSwitchResStr(m_, module::kSwitchScriptStrings, true));
    tr_ = std::make_unique<TQuintrel>(zod_);
    tr_->OpenProject(Path("App"));
    ASSERT_EQ(tr_->Module(), m_);
    tr_->DesignLangChanged();
    tr_->SetCurrentLanguage(Id("de"), 0);
  }
  void TearDown() override {
    RemoveResStrHook();
    for (unsigned id : used_) win32::RemoveResourceString(Exe(), id);
    tr_.reset();
    while (zod_.GetModuleCount() > 0) zod_.UnRegisterModule(0, false);
    ModuleFixture::TearDown();
  }

  static win32::HINSTANCE Exe() { return win32::GetModuleHandle(nullptr); }
  void Link(unsigned id, std::u16string text) {
    ASSERT_TRUE(win32::SetResourceString(Exe(), id, text));
    used_.push_back(id);
  }
  // A catalogued resource string of a unit; returns the object's ident.
  uint32_t String(const char* unit, const char* name, unsigned resourceId, std::u16string en, std::u16string de) {
    module::TZodObject object = module::test::AddObjectWithTerm(zod_, m_, unit, "", name, module::utString,
                                                                 module::ucResourceString);
    object.CompName = resourceId;
    EXPECT_TRUE(zod_.SetObject(m_, object));
    EXPECT_TRUE(PutTerm(zod_, m_, Id("en"), object.Localization, en));
    EXPECT_TRUE(PutTerm(zod_, m_, Id("de"), object.Localization, de));
    return object.Ident;
  }
  std::string Load(unsigned id) {
    win32::HINSTANCE exe = Exe();
    const vcl::TResStringRec rec{&exe, id};
    return vcl::LoadResString(&rec);
  }
  uint32_t StoredId(uint32_t ident) {
    module::TZodObject object = module::test::StoredObject(zod_, m_, ident);
    return object.CompName;
  }
  module::TZod& zod_ = module::GlobalZOD();
  int m_ = -1;
  std::unique_ptr<TQuintrel> tr_;
  std::vector<unsigned> used_;
};

// The hook answers through the process's translator.
class ResStrGlobalTest : public ResStrTest {};

TEST_F(ResStrTest, RebuiltExecutableIsRematchedByText) {
  // The module remembers 65535 and 65534; the rebuilt executable moved both down by two and
  // holds a duplicate and a long text.
  const std::u16string longText(300, u'x');
  const uint32_t a = String("#Consts.pas", "#SOpen", 65535, u"Open", u"Öffnen");
  const uint32_t b = String("#Consts.pas", "#SSave", 65534, u"Save", u"Sichern");
  const uint32_t c = String("#Consts.pas", "#SSave2", 65000, u"Save", u"Speichern");
  const uint32_t d = String("#Consts.pas", "#SLong", 64000, longText + u"tail", u"lang");
  Link(65533, u"Open");
  Link(65532, u"Save");
  Link(65531, longText);
  tr_->LoadDesignConsts();
  EXPECT_EQ(StoredId(a), 65533u);
  EXPECT_EQ(StoredId(b), 65532u);
  EXPECT_EQ(StoredId(c), 65532u);  // both records of one text get its identifier
  EXPECT_EQ(StoredId(d), 65531u);  // matched on the first 255 characters

  // Valid identifiers are left alone: a second build of the map changes nothing.
  win32::RemoveResourceString(Exe(), 65531);
  tr_->LoadDesignConsts();
  EXPECT_EQ(StoredId(d), 65531u);
  EXPECT_TRUE(tr_->ResStrMap().Find("65533"));
  EXPECT_FALSE(tr_->ResStrMap().Find("65535"));
}

TEST_F(ResStrTest, TextScanStopsAfterElevenMissesInARow) {
  Link(65535, u"a");
  Link(65524, u"b");  // after 10 misses: still found
  Link(65512, u"c");  // after 11 misses: not reached
  text::THashList texts;
  TQuintrel::LoadResourceTexts(texts);
  EXPECT_EQ(texts.Find("a"), 65535u);
  EXPECT_EQ(texts.Find("b"), 65524u);
  EXPECT_FALSE(texts.Find("c"));
}

TEST_F(ResStrGlobalTest, TranslatedThroughTheLoaderSlotUntilRemoved) {
  Link(65535, u"Hello");
  Link(4001, u"File not found");
  Link(4002, u"Untranslated");
  String("#Consts.pas", "#SHello", 65535, u"Hello", u"Hallo");
  String("#Sample.rc", "#IDS_NOTFOUND", 4001, u"File not found", u"Datei fehlt");
  String("#Sample.rc", "#IDS_OTHER", 4002, u"Untranslated", u"");
  tr_.reset();
  while (zod_.GetModuleCount() > 0) zod_.UnRegisterModule(0, false);

  const vcl::TResStringLoader platformLoader = vcl::ResStringLoader();
  {
    TTranslatorUnit unit(Path("App"));
    TQuintrel* tr = GlobalQuintrel();
    ASSERT_NE(tr, nullptr);
    ASSERT_GE(tr->Module(), 0);
    EXPECT_NE(vcl::ResStringLoader(), platformLoader);
    EXPECT_EQ(Load(65535), "Hello");  // no switch yet: the design language
    tr->SetCurrentLanguage(Id("de"), 0);
    EXPECT_EQ(Load(65535), "Hallo");
    EXPECT_EQ(Load(4001), "Datei fehlt");
    EXPECT_EQ(Load(4002), "Untranslated");  // an empty translation keeps the compiled-in text
    const char* literal = "literal text";
    const vcl::TResStringRec rec = vcl::LiteralResString(literal);
    EXPECT_EQ(vcl::LoadResString(&rec), "literal text");
    EXPECT_EQ(vcl::LoadResString(nullptr), "");

    // Pascal units off: their strings stay in the compiled-in language, scripts go on.
    zod_.SetSwitchResStr(tr->Module(), module::kSwitchResourceStrings, false);
    tr->LoadDesignConsts();
    EXPECT_EQ(Load(65535), "Hello");
    EXPECT_EQ(Load(4001), "Datei fehlt");
    zod_.SetSwitchResStr(tr->Module(), module::kSwitchResourceStrings, true);
    zod_.SetSwitchResStr(tr->Module(), module::kSwitchScriptStrings, false);
    tr->LoadDesignConsts();
    EXPECT_EQ(Load(65535), "Hallo");
    EXPECT_EQ(Load(4001), "File not found");
  }
  EXPECT_EQ(GlobalQuintrel(), nullptr);
  EXPECT_EQ(vcl::ResStringLoader(), platformLoader);
  EXPECT_EQ(Load(65535), "Hello");
}

// The loader keeps the texts it read; a text replaced afterwards, by this process or by
// another one sharing the module, is what the next load gives.
TEST_F(ResStrGlobalTest, LoadedTextsFollowChangesOfTheModule) {
  Link(65535, u"Hello");
  Link(65534, u"Bye");
  const uint32_t hello = String("#Consts.pas", "#SHello", 65535, u"Hello", u"Hallo");
  String("#Consts.pas", "#SBye", 65534, u"Bye", u"Tschüss");
  tr_.reset();
  while (zod_.GetModuleCount() > 0) zod_.UnRegisterModule(0, false);

  TTranslatorUnit unit(Path("App"));
  TQuintrel* tr = GlobalQuintrel();
  ASSERT_NE(tr, nullptr);
  tr->SetCurrentLanguage(Id("de"), 0);
  EXPECT_EQ(Load(65535), "Hallo");
  EXPECT_EQ(Load(65534), text::UnicodeToByte(u"Tschüss", 0));
  EXPECT_EQ(tr->LoadedTexts().Size(), 2u);
  EXPECT_EQ(Load(65535), "Hallo");

  module::TZodObject object = module::test::StoredObject(zod_, tr->Module(), hello);
  ASSERT_TRUE(PutTerm(zod_, tr->Module(), Id("de"), object.Localization, u"Guten Tag"));
  EXPECT_EQ(Load(65535), "Guten Tag") << "a change of this process";

  const std::string file = zod_.GetModuleInterface(tr->Module()).FileName();
  ASSERT_TRUE(module::test::InChild([&] {
    module::TZod other;
    const int m = other.RegisterModule(file, false);
    return m >= 0 && PutTerm(other, m, Id("de"), object.Localization, u"Servus");
  }));
  EXPECT_EQ(Load(65535), "Servus") << "a change of another process";

  tr->SetCurrentLanguage(Id("en"), 0);
  EXPECT_EQ(Load(65535), "Hello") << "another language";
}

}  // namespace
}  // namespace quintrel::runtime::test
