// Where the tests find real files.
//
// tests/data/ holds real forms, units, resource scripts and projects whose licences let the
// repository carry them (tests/data/SOURCES.md): every clone has them, so a test that
// misses one fails. A larger corpus of real files whose licences are not known stays
// outside the repository (../shared/corpus on the developers' machines); only the test
// suites named CorpusExtra... read it, under the ctest label corpus-extra, and they skip
// when it is not there.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace quintrel::testdata {

namespace fs = std::filesystem;

inline fs::path DataDir() { return fs::path(QUINTREL_TEST_DATA_DIR); }
// QUINTREL_EXTRA_CORPUS names another folder for it (or a missing one, to see the suites
// as a clean clone runs them).
inline fs::path ExtraDir() {
  if (const char* other = std::getenv("QUINTREL_EXTRA_CORPUS"); other && *other) return fs::path(other);
  return fs::path(QUINTREL_CORPUS_DIR);
}

// The folder as a reader knows it: "../shared/corpus" beside the repository, or as given.
inline std::string ExtraDirShown() {
  if (const char* other = std::getenv("QUINTREL_EXTRA_CORPUS"); other && *other) return other;
  return ExtraDir().lexically_relative(DataDir().parent_path().parent_path()).string();
}

// A file of tests/data/ by its path there ("dfm/x.dfm", "src/rc/y.rc"); a test that goes
// on with a missing one fails at once.
inline fs::path Data(const std::string& relative) {
  fs::path path = DataDir() / relative;
  EXPECT_TRUE(fs::is_regular_file(path)) << "test data missing: " << path;
  return path;
}

// Whether the outside corpus is there at all.
inline bool ExtraPresent() { return fs::is_directory(ExtraDir()); }

#define QUINTREL_REQUIRE_EXTRA_CORPUS()                                                     \
  if (!::quintrel::testdata::ExtraPresent())                                                \
  GTEST_SKIP() << "0 files: " << ::quintrel::testdata::ExtraDirShown() << " not present"

// A file of the outside corpus (call after QUINTREL_REQUIRE_EXTRA_CORPUS): when the corpus
// is there, the file must be too.
inline fs::path Extra(const std::string& relative) {
  fs::path path = ExtraDir() / relative;
  EXPECT_TRUE(fs::is_regular_file(path)) << "corpus file missing: " << path;
  return path;
}

inline std::string Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The files under a folder (all of its subfolders) with the extension, sorted; none when
// the folder is missing.
inline std::vector<fs::path> FilesUnder(const fs::path& dir, const std::string& extension) {
  std::vector<fs::path> files;
  if (!fs::is_directory(dir)) return files;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (!e.is_regular_file()) continue;
    std::string ext = e.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == extension) files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Every form of tests/data/ (the single forms and those of the projects: text and
// binary); a test over them fails when there are none.
inline std::vector<fs::path> DataForms() {
  std::vector<fs::path> forms = FilesUnder(DataDir(), ".dfm");
  EXPECT_FALSE(forms.empty()) << "no forms under " << DataDir();
  return forms;
}

// The forms of the outside corpus that tests/data/ does not already hold.
inline std::vector<fs::path> ExtraForms() {
  std::set<fs::path> own;
  for (const fs::path& p : FilesUnder(DataDir(), ".dfm")) own.insert(fs::relative(p, DataDir()));
  std::vector<fs::path> forms;
  for (const fs::path& p : FilesUnder(ExtraDir(), ".dfm"))
    if (!own.count(fs::relative(p, ExtraDir()))) forms.push_back(p);
  return forms;
}

// What xmllint says of an XLIFF file checked against the XLIFF 1.2 strict schema kept in
// tests/data/xliff (its xml: attributes from the file beside it, so no network is needed):
// empty when the file is valid, else the messages.
inline std::string XliffSchemaErrors(const fs::path& file) {
  const fs::path errors = file.string() + ".xmllint";
  const std::string command = "xmllint --noout --nonet --schema '" + Data("xliff/xliff-core-1.2-strict.xsd").string() +
                              "' '" + file.string() + "' >'" + errors.string() + "' 2>&1";
  const int status = std::system(command.c_str());
  std::string said = Bytes(errors);
  fs::remove(errors);
  return status == 0 ? std::string() : said.empty() ? "xmllint failed: " + command : said;
}

}  // namespace quintrel::testdata
