// The census of the real files kept outside the repository: how many there are beside the
// ones tests/data/ carries, and that each of them can be read (forms to their end). Its
// "corpus-extra:" line is the summary `make test` prints after the main suite.
#include <gtest/gtest.h>

#include <cstdio>
#include <exception>
#include <set>
#include <string>

#include "platform/vcl/filer.h"
#include "tests/testdata.h"

namespace fs = std::filesystem;
using namespace quintrel;

TEST(CorpusExtraCensus, EveryFileBesideTheRepositoryIsFoundAndRead) {
  const fs::path dir = testdata::ExtraDir();
  const std::string shown = testdata::ExtraDirShown();
  if (!testdata::ExtraPresent()) {
    std::printf("corpus-extra: 0 files: %s not present\n", shown.c_str());
    return;
  }
  std::set<fs::path> own;
  for (const auto& e : fs::recursive_directory_iterator(testdata::DataDir()))
    if (e.is_regular_file()) own.insert(fs::relative(e.path(), testdata::DataDir()));
  int found = 0, read = 0, forms = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (!e.is_regular_file() || e.path().filename() == "SOURCES.md") continue;
    if (own.count(fs::relative(e.path(), dir))) continue;
    ++found;
    SCOPED_TRACE(e.path().string());
    std::string bytes = testdata::Bytes(e.path());
    if (bytes.size() != e.file_size()) {
      ADD_FAILURE() << "not read whole";
      continue;
    }
    if (e.path().extension() != ".dfm") {
      ++read;
      continue;
    }
    try {
      (void)vcl::ReadForm(bytes);
      ++read;
      ++forms;
    } catch (const std::exception& error) {
      ADD_FAILURE() << error.what();
    }
  }
  std::printf("corpus-extra: %d files found in %s beside tests/data, %d read (%d of them forms)\n", found,
              shown.c_str(), read, forms);
  EXPECT_GT(found, 0);
  EXPECT_EQ(read, found);
}
