// Modules whose bytes were damaged or crafted, read as an application and the tools read
// them: tables of another layout, long texts whose stored length lies, records that end
// before their table's last field. Each gives an error naming what is wrong, or plain
// values, and never a write outside a buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "module_fixture.h"
#include "storage/coding.h"
#include "storage/vardbs.h"
#include "tests/storage/raw_records.h"
#include "tests/testdata.h"
#include "text/codepages.h"

namespace quintrel::module::test {
namespace {

using storage::TCustomVarDB;

constexpr uint16_t kShared = rtl::fmOpenReadWrite | rtl::fmShareDenyNone;

class Damaged : public ModuleFixture {
protected:
  static void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  // The first data block of a module's table, as a byte offset in the file.
  static uint32_t FirstBlock(const std::string& path, const std::string& table) {
    TCustomVarDB db("probe");
    EXPECT_TRUE(db.OpenFile(path, rtl::fmOpenRead | rtl::fmShareDenyNone));
    int t = db.GetTableNr(table);
    EXPECT_GE(t, 0) << table;
    return t < 0 ? 0 : db.Table(t).Header.FirstBlock;
  }
};

// Term, object and property records are copied by their definition's types: a table that
// declares other types (a one-byte Status of 100 bytes) is refused when the module opens,
// with the file, the table and the field named.
TEST_F(Damaged, TablesOfAnotherLayoutAreRefusedAtOpen) {
  struct TCase {
    std::string definition, table, what;
  };
  const std::vector<TCase> cases = {
      {"ZodTermsde Ident N Status C50 Style Y Data B", "ZodTermsde", "field Status is C50 instead of Y"},
      {"ZodTerms\xA7\xA7 Ident N Status Y Style Y Data V", "ZodTerms\\xA7\\xA7", "field Data is V instead of B"},
      {"ZodObj Ident N Kind C2 ZodClass N CompName N PropertyName N Localization N Comment N Locked L "
       "Priority Y FormID N",
       "ZodObj", "field Kind is C2 instead of N"},
      {"ZodObj0007 Ident N Kind N ZodClass N CompName N PropertyName N Localization N Comment N Locked L FormID N",
       "ZodObj0007", "it has no field Priority"},
      {"Properties Name B Data Y", "Properties", "field Data is Y instead of B"},
  };
  for (const TCase& c : cases) {
    std::string path = Path("crafted.zod");
    {
      TCustomVarDB db("crafted");
      ASSERT_TRUE(db.OpenFile(path, rtl::fmCreate));
      db.AddTable(c.definition);
    }
    TZod zod(TZod::TStart::Empty);
    const std::string message = MessageOf<EZodLayout>([&] { zod.RegisterModule(path, false); });
    EXPECT_NE(message.find(path), std::string::npos) << message;
    EXPECT_NE(message.find(c.table + " "), std::string::npos) << message;
    EXPECT_NE(message.find(c.what), std::string::npos) << message;
    EXPECT_EQ(zod.GetModuleCount(), 0) << c.table;
  }

  // Fields beyond the definition, and tables the module layer does not define, are left
  // to whoever made them.
  std::string path = MakeModule("extra.zod");
  {
    TCustomVarDB db("extra");
    ASSERT_TRUE(db.OpenFile(path, kShared));
    db.AddTable("ZodTermsen Ident N Status Y Style Y Data B Note V");
    db.AddTable("ZodObjectsX Kind C9");
  }
  TZod zod(TZod::TStart::Empty);
  EXPECT_EQ(zod.RegisterModule(path, false), 0);
}

// A term table another process adds to an open module is checked when it is first read:
// GetTerm would otherwise copy its 100-byte Status over the caller's one-byte field.
TEST_F(Damaged, TermTableAddedWhileOpenIsRefusedNotOverrun) {
  std::string path = MakeModule("m.zod");
  TZod zod(TZod::TStart::Empty);
  int m = zod.RegisterModule(path, false);
  ASSERT_TRUE(PutTermBytes(zod, m, Id("de"), 7, {'H', 0, 'i', 0}));
  {
    TCustomVarDB other("other");
    ASSERT_TRUE(other.OpenFile(path, kShared));
    int t = other.AddTable("ZodTermsfr Ident N Status C50 Style Y Data B");
    other.IndexCreate(t, 1, 1, true, true);
    uint32_t ident = 7;
    std::vector<uint8_t> status(100, 'x');
    storage::TFindRec fields[2] = {{1, &ident, 4}, {2, status.data(), 100}};
    other.AddRecord(t, fields, 2);
  }
  TZodTerm term;
  term.Language = Id("fr");
  term.Ident = 7;
  EXPECT_THROW(zod.GetTerm(m, term), EZodLayout);
  EXPECT_THROW(zod.GetLongStringW(m, 7, Id("fr"), false), EZodLayout);
  EXPECT_THROW(zod.GetTerms(m, Id("fr")), EZodLayout);
  EXPECT_EQ(zod.GetLongStringW(m, 7, Id("de"), false), u"Hi") << "the sound table reads on";
}

TEST_F(Damaged, RefusedPermanentModuleLeavesTheOthersOpen) {
  std::string good = MakeModule("good.zod"), bad = MakeModule("bad.zod");
  {
    TZod zod(TZod::TStart::Empty);
    ASSERT_EQ(zod.RegisterModule(good, true), 0);
    ASSERT_EQ(zod.RegisterModule(bad, true), 1);
  }
  {
    TCustomVarDB db("bad");
    ASSERT_TRUE(db.OpenFile(bad, kShared));
    db.AddTable("ZodTermsde Ident N Status C50 Style Y Data B");
  }
  TZod zod(TZod::TStart::OpenPermanent);
  ASSERT_EQ(zod.GetModuleCount(), 1);
  EXPECT_EQ(zod.GetModuleName(0), "good.zod");
}

// A text kept in an overflow chain carries its length in the record; a length that is
// negative as a 32-bit number, far beyond the file, or one that belongs inline is damage
// of that record, and the module's other terms still read.
TEST_F(Damaged, ChainedTextLengthIsBounded) {
  std::string path = MakeModule("chain.zod");
  {
    TZod zod(TZod::TStart::Empty);
    int m = zod.RegisterModule(path, false);
    ASSERT_TRUE(PutTermBytes(zod, m, Id("de"), 7, std::vector<uint8_t>(5000, 'a')));
    ASSERT_TRUE(PutTermBytes(zod, m, Id("de"), 8, {'o', 0, 'k', 0}));
  }
  // Record 1: flag, _RECNO, Ident, Status, Style, then the marker 65535 and the length.
  const uint32_t length = FirstBlock(path, "ZodTermsde") + 17 + 1 + 10 + 4;
  const std::string sound = testdata::Bytes(path);
  ASSERT_EQ(storage::Get32(reinterpret_cast<const uint8_t*>(&sound[length - 4])), storage::kOversizedMarker);
  for (uint32_t bad : {0xFFFFFFF0u, 0x7FFFFFF0u, 100u}) {
    std::string copy = sound;
    storage::Put32(reinterpret_cast<uint8_t*>(&copy[length]), bad);
    WriteBytes(path, copy);
    TZod zod(TZod::TStart::Empty);
    int m = zod.RegisterModule(path, false);
    EXPECT_NE(MessageOf([&] { zod.GetTerms(m, Id("de")); }).find(path), std::string::npos) << bad;
    EXPECT_THROW(zod.GetTerms(m, Id("de"), nullptr), rtl::Exception) << bad;
    TZodTerm term;
    term.Language = Id("de");
    term.Ident = 7;
    EXPECT_THROW(zod.GetTerm(m, term), rtl::Exception) << bad;
    EXPECT_THROW(zod.GetLongStringW(m, 7, Id("de"), false), rtl::Exception) << bad;
    EXPECT_EQ(zod.GetLongStringW(m, 8, Id("de"), false), u"ok") << bad;
  }
}

// An image may end before its table's last field; the fields it does not reach read as
// zero and empty (and no empty value is copied from a null pointer on the way).
TEST_F(Damaged, RecordsEndingEarlyReadAsZeros) {
  std::string path = MakeModule("short.zod");
  uint32_t object = 0;
  {
    TZod zod(TZod::TStart::Empty);
    int m = zod.RegisterModule(path, false);
    ASSERT_TRUE(PutTermBytes(zod, m, Id("de"), 7, {'a', 0}));
    ASSERT_TRUE(PutTermBytes(zod, m, Id("de"), 8, {'b', 0}));
    object = zod.AddObject(m, "Form", "Button1", "Caption", utString, ucButton);
  }
  storage::test::LayTableRecords(path, "ZodTermsde", {{1, 0, 0, 0}, {2, 0, 0, 0}});
  std::vector<uint8_t> objectImage(8);
  storage::Put32(objectImage.data(), 1);
  storage::Put32(objectImage.data() + 4, object);
  storage::test::LayTableRecords(path, kObjTable, {objectImage});

  TZod zod(TZod::TStart::Empty);
  int m = zod.RegisterModule(path, false);
  std::vector<uint8_t> packed = zod.GetTerms(m, Id("de"));
  std::vector<TPackedTerm> terms = UnpackTerms(packed.data(), static_cast<int32_t>(packed.size()));
  ASSERT_EQ(terms.size(), 2u);
  EXPECT_EQ(terms[0].Ident, 0u);
  EXPECT_TRUE(terms[1].Data.empty());
  TCatalogueList forms = zod.GetForms(m);
  ASSERT_EQ(forms.size(), 1u);
  std::vector<TZodObject> objects = zod.GetObjects(m, static_cast<uint16_t>(text::HexToInt(forms[0].substr(0, 4))));
  ASSERT_EQ(objects.size(), 1u);
  EXPECT_EQ(objects[0].Ident, object);
  EXPECT_EQ(objects[0].FormID, 0) << "the record ends before it";
}

}  // namespace
}  // namespace quintrel::module::test
