// The database file and its catalogue: the block store, the table definitions, files
// written by an independent writer of the same layout (both versions), damaged files.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "storage/vardbs.h"
#include "tests/storage/db_fixture.h"

namespace quintrel::storage {
namespace {

using test::DbFixture;
using test::TRawWriter;

class Catalogue : public DbFixture {};

TEST_F(Catalogue, NewFileAndBlockAllocation) {
  TCustomVarDB db("x");
  ASSERT_TRUE(db.OpenFile(Path("new.zod"), rtl::fmCreate));
  EXPECT_EQ(FileSize("new.zod"), 64) << "a new file is just its header";
  TFileHeader h;
  db.GetDatabaseHeader(h);
  EXPECT_EQ(h.Version, 16);
  EXPECT_EQ(h.DbName, "new.zod");
  EXPECT_EQ(h.ChangeCount, 1);
  int32_t stamp = h.ChangeCount;

  EXPECT_EQ(db.GetNewBlock(), 64u);
  EXPECT_EQ(db.GetNewBlock(), 8256u);
  db.GetDatabaseHeader(h);
  EXPECT_EQ(h.ChangeCount, stamp) << "appending a block leaves the header alone";

  // Freeing A then B: B heads the list, linked both ways.
  TBlock scratch;
  db.PutOnAvailList(64, scratch);
  db.PutOnAvailList(8256, scratch);
  db.GetDatabaseHeader(h);
  EXPECT_EQ(h.AvailList, 8256u);
  EXPECT_EQ(db.LoadBlock(8256)->Next(), 64u);
  EXPECT_EQ(db.LoadBlock(64)->Prev(), 8256u);
  stamp = h.ChangeCount;
  EXPECT_EQ(db.GetNewBlock(), 8256u);
  db.GetDatabaseHeader(h);
  EXPECT_EQ(h.AvailList, 64u);
  EXPECT_EQ(db.LoadBlock(64)->Prev(), 0u);
  EXPECT_EQ(h.ChangeCount, stamp + 1);
  PBlock taken = db.LoadBlock(8256);
  EXPECT_EQ(taken->Next(), 0u);
  EXPECT_EQ(FileSize("new.zod"), 64 + 2 * 8192);

  EXPECT_THROW(db.LoadBlock(65), EBlockCorrupt);
  EXPECT_THROW(db.LoadBlock(64 + 2 * 8192), EBlockCorrupt) << "past the end";
  EXPECT_THROW(db.PutOnAvailList(100, scratch), EBlockCorrupt);
}

TEST_F(Catalogue, ChangeCountWraps) {
  TCustomVarDB db("x");
  TFileHeader h = db.Header();
  h.ChangeCount = 2147483639;
  db.WriteFileHeader(h);
  EXPECT_EQ(h.ChangeCount, 2147483640);
  db.WriteFileHeader(h);
  EXPECT_EQ(h.ChangeCount, 0);
  EXPECT_EQ(db.HeaderStamp(), 0);
}

TEST_F(Catalogue, TableDefinitions) {
  TCustomVarDB db("mem");
  int rows = db.AddTable("ROWS Str V Data N");
  EXPECT_EQ(rows, 0);
  EXPECT_EQ(db.AddTable("ROWS Other B"), 0) << "an existing table is returned unchanged";
  ASSERT_EQ(db.Table(0).Fields.size(), 3u);
  EXPECT_EQ(db.Table(0).Fields[0].FieldName, "_RECNO");
  EXPECT_EQ(db.Table(0).Fields[0].FieldType, 'N');
  EXPECT_EQ(db.Table(0).Fields[1].FieldType, 'V');
  EXPECT_EQ(db.Table(0).Fields[2].FieldName, "Data");

  int t = db.AddTable("AVeryLongTableName ALongerFieldNameHere C40 Count N4 Flag L Bare C");
  EXPECT_EQ(t, 1);
  EXPECT_EQ(db.Table(t).Header.TableName, "AVeryLongTab");
  EXPECT_EQ(db.AddTable("AVeryLongTableNameAgain X N"), t) << "names compare as stored, cut to 12";
  EXPECT_EQ(db.GetTableNr("AVeryLongTableName"), t);
  const auto& f = db.Table(t).Fields;
  ASSERT_EQ(f.size(), 5u);
  EXPECT_EQ(f[1].FieldName, "ALongerField");
  EXPECT_EQ(f[1].FieldLength, 40);
  EXPECT_EQ(f[2].FieldLength, 1) << "only C keeps its length";
  EXPECT_EQ(f[4].FieldName, "Bare");
  EXPECT_EQ(db.GetFieldNr(t, "Count"), 2);
  EXPECT_EQ(db.GetFieldNr(t, "count"), -1) << "names are case-sensitive";
  EXPECT_EQ(db.GetFieldNr(0, "Count"), -1);
  EXPECT_EQ(db.GetTableNr("NOPE"), -1);

  EXPECT_THROW(db.AddTable(""), EDatabaseError);
  EXPECT_THROW(db.AddTable("T A"), EDatabaseError);
  EXPECT_THROW(db.AddTable("T A 5"), EDatabaseError);
  EXPECT_THROW(db.AddTable("T A C4x"), EDatabaseError);
  EXPECT_EQ(db.TableCount(), 2) << "a refused definition adds nothing";
  EXPECT_EQ(db.AddTable("Solo"), 2) << "a table of no fields has its record number";
  EXPECT_EQ(db.Table(2).Fields.size(), 1u);
}

TEST_F(Catalogue, FieldAndTableDeletionRenumbers) {
  TCustomVarDB db("mem");
  db.AddTable("A x N");
  int b = db.AddTable("B p N q V r B");
  db.AddTable("C z N");
  TFieldHeader extra;
  extra.FieldName = "s";
  extra.FieldType = 'R';
  EXPECT_EQ(db.AddField(b, extra), 4);
  EXPECT_EQ(db.AddField(b, extra), 4) << "same name, same field";
  EXPECT_EQ(db.AddField(9, extra), -1);
  db.DeleteField(b, 2);
  EXPECT_EQ(db.GetFieldNr(b, "q"), -1);
  EXPECT_EQ(db.GetFieldNr(b, "r"), 2);
  EXPECT_EQ(db.GetFieldNr(b, "s"), 3);
  db.DeleteField(b, 0);
  EXPECT_EQ(db.GetFieldNr(b, "_RECNO"), 0) << "the record number stays";
  db.DeleteTable(0);
  EXPECT_EQ(db.GetTableNr("B"), 0);
  EXPECT_EQ(db.GetTableNr("C"), 1);
  EXPECT_EQ(db.GetFieldNr(0, "r"), 2);
  TTableHeader th;
  EXPECT_FALSE(db.GetTableHeader(2, th));
  ASSERT_TRUE(db.GetTableHeader(1, th));
  EXPECT_EQ(th.TableNr, 2) << "TableNr is the number at creation";
  db.DeleteTable(5);
  EXPECT_EQ(db.TableCount(), 2);
}

// A catalogue written by an independent writer of the layout reads back item by item,
// and the engine rewrites it byte for byte the same, across block boundaries.
TEST_F(Catalogue, LargeCatalogueMatchesAnIndependentWriter) {
  TRawWriter w(16);
  // Table 0 is sized so that its last field header ends at position 8174 and its end
  // marker stands on 8175: 1 + 56 + 312 fields of 25 bytes + 14 indexes of 21 bytes = 8151.
  auto& first = w.AddTable("Boundary", 0, 0);
  for (int f = 0; f < 313; ++f) {
    auto& field = first.AddField("B" + std::to_string(f), 'N', 1);
    if (f < 14) field.AddIndex(64, f % 2 == 0, f % 3 == 0, f, 0, f);
  }
  for (int t = 1; t < 40; ++t) {
    auto& table = w.AddTable("T" + std::to_string(t), 3 * t, 0);
    for (int f = 0; f < 1 + (t * 7) % 13; ++f) {
      auto& field = table.AddField("F" + std::to_string(t) + "_" + std::to_string(f), "NVBC"[f % 4], f % 4 == 3 ? 20 : 1);
      for (int i = 0; i < (t + f) % 3; ++i) field.AddIndex(8192u * (t + 1), i == 0, i == 1, f, t, i);
    }
  }
  w.Save(Path("raw.zod"));
  ASSERT_GE(w.CatalogueBlocks(), 3) << "the test must span several catalogue blocks";
  ASSERT_TRUE(w.PlacedAtBoundary()) << "the test must place a marker at the last position";

  TCustomVarDB db("x");
  ASSERT_TRUE(db.OpenFile(Path("raw.zod"), rtl::fmOpenReadWrite | rtl::fmShareDenyNone));
  w.ExpectSameCatalogue(db);

  std::string before = ReadFile("raw.zod");
  db.WriteTables();
  std::string after = ReadFile("raw.zod");
  EXPECT_TRUE(after.substr(64) == before.substr(64)) << "rewriting an unchanged catalogue changes no block";
  EXPECT_TRUE(after.substr(0, 48) == before.substr(0, 48));
  EXPECT_EQ(db.Header().ChangeCount, 8) << "but tells other processes it was written";

  // Growing and shrinking the catalogue keeps the chain exact and returns spare blocks.
  int added = db.AddTable("Extra a N b V c B");
  TCustomVarDB again("y");
  ASSERT_TRUE(again.OpenFile(Path("raw.zod"), rtl::fmOpenRead));
  EXPECT_EQ(again.GetTableNr("Extra"), added);
  ASSERT_EQ(again.Table(1).Fields.size(), w.TableAt(1).fields.size());
  EXPECT_EQ(again.Table(0).Fields[3].Indexes.size(), 1u);
  EXPECT_EQ(again.Table(1).Fields[1].Indexes.size(), w.TableAt(1).fields[1].indexes.size());
  db.BeginTableUpdate();
  for (int t = db.TableCount() - 1; t >= 1; --t) db.DeleteTable(t);
  db.EndTableUpdate();
  TFileHeader h;
  db.GetDatabaseHeader(h);
  EXPECT_NE(h.AvailList, 0u) << "the chain's spare blocks went to the avail list";
  TCustomVarDB third("z");
  ASSERT_TRUE(third.OpenFile(Path("raw.zod"), rtl::fmOpenRead));
  ASSERT_EQ(third.TableCount(), 1);
  EXPECT_EQ(third.Table(0).Header.TableName, "Boundary");
  EXPECT_EQ(third.Table(0).Fields.size(), 313u);
}

TEST_F(Catalogue, OlderVersionIsReadAndUpgradedOnWrite) {
  TRawWriter w(15);
  auto& terms = w.AddTable("ZodTermsEN", 5, 0);
  terms.AddField("_RECNO", 'N', 1);
  terms.AddField("Text", 'V', 1);
  terms.extra = 70000.0;  // the older layout carries 56 more bytes after such a table
  auto& plain = w.AddTable("ZodTermsDE", 0, 0);
  plain.AddField("_RECNO", 'N', 1);
  plain.extra = 12.0;  // not above 65535: nothing more follows
  auto& other = w.AddTable("Props", 1, 0);
  other.AddField("_RECNO", 'N', 1);
  other.AddField("Name", 'B', 1);
  w.Save(Path("old.zod"));

  TCustomVarDB db("x");
  ASSERT_TRUE(db.OpenFile(Path("old.zod"), rtl::fmOpenReadWrite | rtl::fmShareDenyNone));
  EXPECT_EQ(db.Header().Version, 15);
  w.ExpectSameCatalogue(db);

  db.AddTable("New v V");
  EXPECT_EQ(db.Header().Version, 16) << "a catalogue written in the current layout says so";
  TCustomVarDB again("y");
  ASSERT_TRUE(again.OpenFile(Path("old.zod"), rtl::fmOpenRead));
  EXPECT_EQ(again.TableCount(), 4);
  EXPECT_EQ(again.GetFieldNr(2, "Name"), 1);
  EXPECT_EQ(again.GetFieldNr(3, "v"), 1);
}

TEST_F(Catalogue, DamagedFilesAreRefusedAndTheEngineKeepsItsState) {
  TCustomVarDB db("mem");
  db.AddTable("Keep k N");

  WriteFile("text.zod", "This is not a database at all, just some text in a file.............");
  EXPECT_FALSE(db.OpenFile(Path("text.zod"), rtl::fmOpenRead));
  EXPECT_FALSE(db.OpenFile(Path("text.zod"), rtl::fmOpenReadWrite));
  EXPECT_NE(TCustomVarDB::DiagnoseFile(Path("text.zod")).find("not a database"), std::string::npos);
  WriteFile("short.zod", std::string("\x10\0\0\0", 4));
  EXPECT_THROW(db.OpenFile(Path("short.zod"), rtl::fmOpenRead), EDatabaseError);
  EXPECT_NE(TCustomVarDB::DiagnoseFile(Path("short.zod")).find("4 bytes"), std::string::npos);
  EXPECT_FALSE(db.OpenFile(Path("absent.zod"), rtl::fmOpenRead));
  EXPECT_NE(TCustomVarDB::DiagnoseFile(Path("absent.zod")).find("not found"), std::string::npos);

  auto damaged = [&](const char* name, auto mutate, const char* expected) {
    TRawWriter w(16);
    for (int t = 0; t < 100; ++t) {
      auto& table = w.AddTable("T" + std::to_string(t), 0, 0);
      for (int f = 0; f < 8; ++f) table.AddField("F" + std::to_string(f), 'N', 1);
    }
    std::string bytes = w.Bytes();
    mutate(bytes);
    WriteFile(name, bytes);
    try {
      db.OpenFile(Path(name), rtl::fmOpenRead);
      ADD_FAILURE() << name << " was accepted";
    } catch (const EDatabaseError& e) {
      EXPECT_NE(e.Message().find(Path(name)), std::string::npos) << e.Message();
      EXPECT_NE(e.Message().find(expected), std::string::npos) << e.Message();
    }
  };
  auto put32 = [](std::string& b, size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); };
  damaged("outside.zod", [&](std::string& b) { put32(b, 24, 64 + 8192 * 50); }, "outside the file");
  damaged("misaligned.zod", [&](std::string& b) { put32(b, 24, 100); }, "outside the file");
  damaged("loop.zod", [&](std::string& b) { put32(b, 64 + 8192, 64); }, "loops");
  damaged("early.zod", [&](std::string& b) { put32(b, 64 + 8192, 0); }, "ends before");
  damaged("fields.zod", [&](std::string& b) { put32(b, 64 + 17 + 28, 600); }, "600 fields");
  damaged("marker.zod", [&](std::string& b) { b[64 + 17 + 56 + 24] = 7; }, "marker");
  damaged("name.zod", [&](std::string& b) { b[64 + 17 + 8] = 40; }, "longer than 12");
  damaged("count.zod", [&](std::string& b) { put32(b, 28, 0xFFFFFFFF); }, "negative");

  EXPECT_FALSE(db.IsFile());
  EXPECT_EQ(db.GetTableNr("Keep"), 0) << "the engine still has its own catalogue";
  EXPECT_EQ(db.AddTable("More m N"), 1);
}

TEST_F(Catalogue, ClosingContinuesInMemory) {
  TCustomVarDB db("x");
  ASSERT_TRUE(db.OpenFile(Path("c.zod"), rtl::fmCreate));
  db.AddTable("A a N");
  EXPECT_FALSE(db.OpenFile("", 0));
  EXPECT_FALSE(db.IsFile());
  EXPECT_EQ(db.TableCount(), 0);
  EXPECT_EQ(db.AddTable("B b N"), 0) << "usable in memory";
  TCustomVarDB check("y");
  ASSERT_TRUE(check.OpenFile(Path("c.zod"), rtl::fmOpenRead));
  EXPECT_EQ(check.GetTableNr("A"), 0);
  EXPECT_EQ(check.GetTableNr("B"), -1);
}

// A write that needs a block from a damaged avail list fails, naming the file and the
// damage, before it writes anything: not over the catalogue, not over a record.
TEST_F(Catalogue, ADamagedAvailListStopsTheWriteBeforeItWrites) {
  uint32_t data;
  Build("a.zod", "T Text V", [&](TCustomVarDB& db, int t) {
    db.AddRecord(t);
    data = db.Table(t).Header.FirstBlock;
  });
  const std::string sound = ReadFile("a.zod");
  const uint32_t catalogue = 64, outside = 64 + 8192 * 100, misaligned = 100;
  for (uint32_t head : {catalogue, data, outside, misaligned}) {
    std::string file = sound;
    std::memcpy(&file[20], &head, 4);
    WriteFile("a.zod", file);
    TCustomVarDB db("y");
    ASSERT_TRUE(db.OpenFile(Path("a.zod"), rtl::fmOpenReadWrite));
    ASSERT_TRUE(db.Top(0)) << "reading does not touch the avail list";
    std::u16string text(5000, u'x');  // long enough for a block of its own
    try {
      db.SetField(0, 1, text.data(), static_cast<int32_t>(text.size() * 2));
      ADD_FAILURE() << "written with the avail list at " << head;
    } catch (const EBlockCorrupt& e) {
      EXPECT_NE(e.Message().find(Path("a.zod")), std::string::npos) << e.Message();
      EXPECT_NE(e.Message().find("avail list"), std::string::npos) << e.Message();
    }
    EXPECT_TRUE(ReadFile("a.zod") == file) << "bytes changed with the avail list at " << head;
  }
}

// Block addresses are 32 bits: a larger file (here a sparse one) is refused at once with one
// line naming it, and a file full of damage gives a bounded report.
TEST_F(Catalogue, FilesBeyondFourGiBAreRefusedAndCheckReportsAreBounded) {
  Build("big.zod", "T Key N", [](TCustomVarDB&, int) {});
  const int64_t size = FileSize("big.zod");
  std::filesystem::resize_file(dir_ / "big.zod", (uint64_t{1} << 32) + 8192);
  std::string problem = TCustomVarDB::DiagnoseFile(Path("big.zod"));
  EXPECT_NE(problem.find(Path("big.zod")), std::string::npos) << problem;
  EXPECT_NE(problem.find("4 GiB"), std::string::npos) << problem;
  TCustomVarDB db("y");
  try {
    db.OpenFile(Path("big.zod"), rtl::fmOpenRead);
    ADD_FAILURE() << "a file beyond 4 GiB was opened";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), problem);
  }
  EXPECT_FALSE(db.IsFile());

  std::filesystem::resize_file(dir_ / "big.zod", static_cast<uint64_t>(size) + 8192 * 3000);
  ASSERT_TRUE(db.OpenFile(Path("big.zod"), rtl::fmOpenRead));
  std::vector<TCheckFinding> findings = db.Check();
  ASSERT_EQ(findings.size(), TCustomVarDB::kMaxCheckFindings + 1);
  EXPECT_NE(findings[0].Message.find("lost"), std::string::npos);
  EXPECT_EQ(findings.back().Message, "... and 2000 more");
}

// A number that names no table or field changes nothing and gives the empty result,
// whatever the operation.
TEST_F(Catalogue, NumbersThatNameNothingGiveEmptyResults) {
  TCustomVarDB db("m");
  int t = db.AddTable("T Key N");
  int32_t seven = 7;
  AddKey(db, t, seven);
  TFieldHeader extra;
  extra.FieldName = "More";
  TTableHeader tableHeader;
  TFieldHeader fieldHeader;
  for (int bad : {-1, 1, 70000}) {
    EXPECT_TRUE(db.Table(bad).Fields.empty()) << bad;
    EXPECT_FALSE(db.GetTableHeader(bad, tableHeader));
    EXPECT_EQ(db.GetFieldNr(bad, "Key"), -1);
    EXPECT_FALSE(db.Top(bad));
    EXPECT_FALSE(db.Bottom(bad));
    EXPECT_FALSE(db.Step(bad, 1));
    EXPECT_TRUE(db.GetRecord(bad).empty());
    EXPECT_TRUE(db.GetField(bad, 1).empty());
    EXPECT_EQ(db.AddField(bad, extra), -1);
    EXPECT_EQ(db.IndexCreate(bad, 1, 1, true, false), 0);
    EXPECT_FALSE(db.IndexExists(bad, 1));
    EXPECT_FALSE(db.DeleteRecord(bad, true));
    db.SetField(bad, 1, &seven, 4);
    db.AddRecord(bad);
    db.InsertRecord(bad, kInsertFirst);
    db.IndexRemove(bad, 1, 0);
    db.IndexPack(bad, 1);
    db.DeleteField(bad, 1);
    db.DeleteTable(bad);
    // The same numbers as field numbers of a table that exists.
    int field = bad == 1 ? 2 : bad;
    EXPECT_FALSE(db.GetFieldHeader(t, field, fieldHeader));
    EXPECT_EQ(db.IndexCreate(t, field, 1, true, false), 0);
    EXPECT_FALSE(db.IndexExists(t, field));
    EXPECT_TRUE(db.GetField(t, field).empty());
    db.IndexRemove(t, field, 0);
    db.DeleteField(t, field);
  }
  ASSERT_EQ(db.TableCount(), 1);
  EXPECT_EQ(db.Table(t).Fields.size(), 2u);
  EXPECT_EQ(db.Table(t).Header.RecordCount, 1);
  ASSERT_TRUE(db.Top(t));
  EXPECT_EQ(db.GetField(t, 1), std::vector<uint8_t>({7, 0, 0, 0}));
}

// A write the system refuses names the file and the system's reason; what the file holds
// is still read as it is.
TEST_F(Catalogue, AFailedWriteNamesTheFileAndTheReason) {
  Build("w.zod", "T Key N", [](TCustomVarDB& db, int t) { AddKey(db, t, 7); });
  const std::string before = ReadFile("w.zod");
  TCustomVarDB db("y");
  ASSERT_TRUE(db.OpenFile(Path("w.zod"), rtl::fmOpenRead));  // a descriptor that cannot write
  try {
    db.AddRecord(0);
    ADD_FAILURE() << "a read-only file was written";
  } catch (const rtl::Exception& e) {
    EXPECT_NE(e.Message().find(Path("w.zod")), std::string::npos) << e.Message();
    EXPECT_NE(e.Message().find(std::strerror(EBADF)), std::string::npos) << e.Message();
  }
  EXPECT_TRUE(ReadFile("w.zod") == before);
  ASSERT_TRUE(db.Top(0));
  EXPECT_EQ(db.GetField(0, 1), std::vector<uint8_t>({7, 0, 0, 0}));
}

// A catalogue chain whose link leads into a table's records: rewriting the catalogue
// neither writes over that block nor frees it.
TEST_F(Catalogue, ACatalogueLinkIntoTheRecordsIsNotFollowed) {
  uint32_t catalogue, data;
  Build("l.zod", "T Key N", [&](TCustomVarDB& db, int t) {
    for (int32_t k = 1; k <= 3; ++k) AddKey(db, t, k);
    catalogue = db.Header().TableBlock;
    data = db.Table(t).Header.FirstBlock;
  });
  std::string file = ReadFile("l.zod");
  std::memcpy(&file[catalogue], &data, 4);  // the catalogue block's Next
  WriteFile("l.zod", file);
  {
    TCustomVarDB db("y");
    ASSERT_TRUE(db.OpenFile(Path("l.zod"), rtl::fmOpenReadWrite));
    db.AddTable("U Other N");
    EXPECT_EQ(db.Header().AvailList, 0u) << "a block was freed";
  }
  TCustomVarDB db("z");
  ASSERT_TRUE(db.OpenFile(Path("l.zod"), rtl::fmOpenRead));
  std::vector<std::vector<uint8_t>> keys;
  for (bool more = db.Top(0); more; more = db.Step(0, 1)) keys.push_back(db.GetField(0, 1));
  EXPECT_EQ(keys, (std::vector<std::vector<uint8_t>>{{1, 0, 0, 0}, {2, 0, 0, 0}, {3, 0, 0, 0}}));
  ExpectSound(db);
}

}  // namespace
}  // namespace quintrel::storage
