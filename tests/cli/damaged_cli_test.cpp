// Commands reading files that another writer laid out differently or that were damaged:
// they print what can be read, or one line naming the file, and never read through a
// null pointer or past a buffer.
#include <gtest/gtest.h>

#include "storage/vardbs.h"
#include "tests/cli/run.h"
#include "tests/storage/raw_records.h"

namespace quintrel::cli {
namespace {

class DamagedFiles : public test::CliFixture {};

// Fields a record does not reach are dumped as zeros and empty texts.
TEST_F(DamagedFiles, RecordsEndingEarlyDumpAndListAsEmpty) {
  std::string db = Path("d.zod");
  Ok({"db", "create", db, "--define", "T Num N Real R Flag L Text V"});
  {
    storage::TCustomVarDB writer("w");
    ASSERT_TRUE(writer.OpenFile(db, rtl::fmOpenReadWrite));
    writer.AddRecord(0);
    writer.AddRecord(0);
  }
  storage::test::LayTableRecords(db, "T", {{1, 0, 0, 0}, {2, 0, 0, 0, 9, 0, 0, 0}});
  EXPECT_EQ(Ok({"db", "dump", db, "T"}), "_RECNO\tNum\tReal\tFlag\tText\n1\t0\t0\tfalse\t\"\"\n2\t9\t0\tfalse\t\"\"\n");
  Ok({"db", "dump", "--json", db, "T"});

  std::string module = Path("m.zod");
  Ok({"module", "new", module});
  Ok({"lang", "add", module, "de", "--name", "German"});
  Ok({"term", "set", module, "de", "458745", "Größe"});
  storage::test::LayTableRecords(module, "ZodTermsde", {{1, 0, 0, 0}});
  EXPECT_EQ(Ok({"term", "list", module, "de"}), "0\tuntranslated\t0\t\n");
}

}  // namespace
}  // namespace quintrel::cli
