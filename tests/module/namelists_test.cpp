// The name lists against real module files: loading with each marking mode, confirming,
// and saving with the sweep of unconfirmed forms and their catalogue records.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <string>

#include "module/namelists.h"
#include "module/zod.h"
#include "module_fixture.h"

namespace quintrel::module::test {
namespace {


// Every key of a list with its identifier.
std::map<std::string, uint32_t> Contents(text::THashList& list) {
  std::map<std::string, uint32_t> out;
  std::array<char, 255> key{};
  uint8_t len = 0;
  uint32_t value = 0;
  list.Top();
  while (list.Next(key.data(), len, value)) out[std::string(key.data(), len)] = value;
  return out;
}

class NameListsTest : public GlobalModulesFixture {
protected:
  // Three forms and a resource-string unit, each with catalogued objects, in a module
  // file that is then opened afresh.
  void SetUp() override {
    GlobalModulesFixture::SetUp();
    int m = NewModule("names.zod");
    ASSERT_GE(m, 0);
    auto& zod = GlobalZOD();
    form1Object_ = zod.AddObject(m, "Form1", "Button1", "Caption", module::utString, module::ucButton);
    zod.AddObject(m, "Form2", "Label1", "Caption", module::utString, module::ucLabel);
    zod.AddObject(m, "Form2", "Edit1", "Text", module::utString, module::ucEditBox);
    zod.AddObject(m, "Form3", "Edit1", "Hint", module::utString, module::ucEditBox);
    unitObject_ = zod.AddObject(m, "#AppText.pas", "Strings", "#SReady", module::utString, module::ucResourceString);
    ASSERT_EQ(zod.GetForms(m), (TCatalogueList{"0001 Form1", "0002 Form2", "0003 Form3", "0004 #AppText.pas"}));
    m_ = Reopen(m, "names.zod");
  }
  void TearDown() override {
    for (auto* list : {&FormList(), &CompList(), &PropList()}) list->Clear();
    GlobalModulesFixture::TearDown();
  }
  int m_ = -1;
  uint32_t form1Object_ = 0;
  uint32_t unitObject_ = 0;
};

TEST_F(NameListsTest, EachModeMarksItsKindOfEntry) {
  LoadFormList(FormList(), kMarkForms, m_);
  EXPECT_EQ(Contents(FormList()), (std::map<std::string, uint32_t>{
                                      {"*Form1", 1}, {"*Form2", 2}, {"*Form3", 3}, {"#AppText.pas", 4}}));
  // A marked entry is found under its plain name.
  EXPECT_EQ(GetIdentFromList(FormList(), "Form2"), 2);
  EXPECT_EQ(GetIdentFromList(FormList(), "#AppText.pas"), 4);
  EXPECT_EQ(GetIdentFromList(FormList(), "Form9"), -1);

  LoadFormList(FormList(), kMarkResourceUnits, m_);
  EXPECT_EQ(Contents(FormList()), (std::map<std::string, uint32_t>{
                                      {"Form1", 1}, {"Form2", 2}, {"Form3", 3}, {"*#AppText.pas", 4}}));
  LoadFormList(FormList(), kMarkAll, m_);
  EXPECT_EQ(Contents(FormList()).count("*#AppText.pas"), 1u);
  EXPECT_EQ(Contents(FormList()).count("*Form1"), 1u);
  LoadFormList(FormList(), 7, m_);
  EXPECT_EQ(Contents(FormList()), (std::map<std::string, uint32_t>{
                                      {"Form1", 1}, {"Form2", 2}, {"Form3", 3}, {"#AppText.pas", 4}}));

  // No module: an empty list, whatever it held before.
  LoadFormList(FormList(), kMarkForms, 9);
  EXPECT_EQ(FormList().EntryCount(), 0);
}

TEST_F(NameListsTest, ConfirmingKeepsIdentifiersAndNewNamesTakeFreshOnes) {
  LoadFormList(FormList(), kMarkForms, m_);
  EXPECT_EQ(FormAdd("Form1", m_, true), 1u);
  EXPECT_EQ(Contents(FormList()).count("Form1"), 1u);
  EXPECT_EQ(Contents(FormList()).count("*Form1"), 0u);
  EXPECT_EQ(FormAdd("Form1", m_, false), 1u);  // confirmed already
  EXPECT_EQ(FormAdd("#AppText.pas", m_, true), 4u);

  // A new name with existingOnly: nothing added, no identifier taken.
  EXPECT_EQ(FormAdd("AboutBox", m_, true), 0u);
  EXPECT_EQ(FormList().EntryCount(), 4);
  EXPECT_EQ(FormAdd("AboutBox", m_, false), 5u);
  EXPECT_EQ(FormAdd("", m_, false), 0u);
  EXPECT_EQ(FormAdd(std::string(256, 'F'), m_, false), 0u);
  EXPECT_EQ(FormAdd("Splash", m_, false), 6u);  // the two refusals took no identifier
}

TEST_F(NameListsTest, SavingSweepsUnconfirmedFormsWithTheirCatalogueRecords) {
  auto& zod = GlobalZOD();
  ASSERT_EQ(zod.GetObjectCount(m_), 5);
  LoadFormList(FormList(), kMarkForms, m_);
  ASSERT_EQ(FormAdd("Form1", m_, false), 1u);
  ASSERT_EQ(FormAdd("AboutBox", m_, false), 5u);
  SaveFormList(FormList(), m_);

  m_ = Reopen(m_, "names.zod");
  // Form2 and Form3 were not met: their lines and objects are gone; the resource-string
  // unit was not marked and stays.
  EXPECT_EQ(zod.GetForms(m_), (TCatalogueList{"0001 Form1", "0004 #AppText.pas", "0005 AboutBox"}));
  EXPECT_EQ(zod.GetObjectCount(m_), 2);
  EXPECT_EQ(zod.GetObjects(m_, 2, nullptr), 0);
  EXPECT_EQ(zod.GetObjects(m_, 3, nullptr), 0);
  EXPECT_FALSE(zod.GetProperty(m_, "ObjIdents0002").has_value());
  EXPECT_FALSE(zod.GetProperty(m_, "ObjIdents0003").has_value());
  module::TZodObject kept = StoredObject(zod, m_, form1Object_);
  EXPECT_EQ(kept.FormID, 1);
  kept.Ident = unitObject_;
  EXPECT_TRUE(zod.GetObject(m_, kept));
  // Components and properties are not swept with the forms.
  EXPECT_EQ(zod.GetComps(m_).size(), 4u);

  // The next scan of resource-string units finds none: the unit goes with its strings,
  // and the forms stay.
  LoadFormList(FormList(), kMarkResourceUnits, m_);
  SaveFormList(FormList(), m_);
  EXPECT_EQ(zod.GetForms(m_), (TCatalogueList{"0001 Form1", "0005 AboutBox"}));
  EXPECT_EQ(zod.GetObjectCount(m_), 1);

  // An emptied list writes an empty table.
  FormList().Clear();
  SaveFormList(FormList(), m_);
  EXPECT_TRUE(zod.GetForms(m_).empty());
  EXPECT_EQ(zod.GetObjectCount(m_), 1);
}

TEST_F(NameListsTest, ComponentAndPropertyListsKeepTheLastOfEqualNames) {
  auto& zod = GlobalZOD();
  ASSERT_TRUE(zod.SetComps(m_, {"0001 Button1", "0002 Label1", "0003 Button1", "0004 "}));
  ASSERT_TRUE(zod.SetProps(m_, {"0001 Caption", "0002 Hint", "0003 Caption"}));
  LoadCompList(CompList(), kMarkAll, m_);
  EXPECT_EQ(Contents(CompList()), (std::map<std::string, uint32_t>{{"*Button1", 3}, {"*Label1", 2}}));
  LoadPropList(PropList(), kMarkNone, m_);
  EXPECT_EQ(Contents(PropList()), (std::map<std::string, uint32_t>{{"Caption", 3}, {"Hint", 2}}));

  // By identifier: the marked entry is confirmed on the way.
  EXPECT_EQ(CompAddID(2), "Label1");
  EXPECT_EQ(Contents(CompList()).count("Label1"), 1u);
  EXPECT_EQ(CompAddID(1), "");
  EXPECT_EQ(CompAdd("", m_, false), 0u);
  EXPECT_EQ(PropAddID(2), "Hint");
  EXPECT_EQ(PropAdd("Items[*].Caption", m_, false), 5u);  // the counter stood at 4

  SaveCompList(CompList(), m_);
  SavePropList(PropList(), m_);
  EXPECT_EQ(zod.GetComps(m_), (TCatalogueList{"0002 Label1"}));
  EXPECT_EQ(zod.GetProps(m_), (TCatalogueList{"0002 Hint", "0003 Caption", "0005 Items[*].Caption"}));
}

TEST_F(NameListsTest, WideIdentifiersAndLongNamesSurviveALoadAndASave) {
  auto& zod = GlobalZOD();
  std::string longName(255, 'x');
  ASSERT_TRUE(zod.SetComps(m_, {"0001 Button1", "10000 Panel7", "0002 " + longName}));
  LoadCompList(CompList(), kMarkAll, m_);
  EXPECT_EQ(GetIdentFromList(CompList(), "Panel7"), 0x10000);
  // The name has no room for the mark: it is loaded confirmed rather than lost.
  EXPECT_EQ(GetIdentFromList(CompList(), longName), 2);
  EXPECT_EQ(CompAdd("Panel7", m_, true), 0x10000u);
  EXPECT_EQ(CompAdd("Button1", m_, true), 1u);
  SaveCompList(CompList(), m_);
  EXPECT_EQ(zod.GetComps(m_), (TCatalogueList{"0001 Button1", "0002 " + longName, "10000 Panel7"}));
}

}  // namespace
}  // namespace quintrel::module::test
