#include "tools/repair.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "module/zod.h"
#include "platform/rtl/classes.h"
#include "strings/toolconsts.h"

namespace quintrel::tools {

namespace fs = std::filesystem;
using storage::TCustomVarDB;

TScratchFile::TScratchFile(const std::string& near, const char* tag)
    : path_(near + tag + std::to_string(::getpid())) {}

TScratchFile::~TScratchFile() {
  std::error_code ec;
  if (!kept_) fs::remove(path_, ec);
}

namespace {

// A message about the copy as one about the file the user named.
std::string AboutFile(std::string message, const std::string& copy, const std::string& fileName) {
  if (copy != fileName)
    for (size_t at = 0; (at = message.find(copy, at)) != std::string::npos; at += fileName.size())
      message.replace(at, copy.size(), fileName);
  return message.rfind(fileName, 0) == 0 ? message : fileName + ": " + message;
}

// A problem of the file as part of a line that names the file already.
std::string WithoutFileName(const std::string& message, const std::string& fileName) {
  return message.rfind(fileName + ": ", 0) == 0 ? message.substr(fileName.size() + 2) : message;
}

// Opens a database file shared, for reading; raises EToolError naming the file.
std::unique_ptr<TCustomVarDB> OpenShared(const std::string& fileName, uint16_t mode) {
  if (std::string problem = TCustomVarDB::DiagnoseFile(fileName); !problem.empty()) throw EToolError(problem);
  auto db = std::make_unique<TCustomVarDB>("");
  try {
    if (db->OpenFile(fileName, mode)) return db;
  } catch (const rtl::Exception& e) {
    throw EToolError(AboutFile(e.Message(), fileName, fileName));
  }
  throw EToolError(fileName + ": cannot be opened as a database");
}

// The records of every table, as a sorted list of digests of their images: a rewrite that
// only rebuilds indexes must give back the same lists. The walk is bounded by what the
// file's blocks can hold, so a data chain that loops cannot hold it up.
using TRecordDigests = std::vector<std::pair<std::string, std::vector<uint64_t>>>;

TRecordDigests RecordDigests(TCustomVarDB& db) {
  const int64_t bound = db.GetSize() / 2 + 1;
  TRecordDigests digests;
  storage::TReadBracket bracket(db);
  for (int t = 0; t < db.TableCount(); ++t) {
    std::vector<uint64_t> table;
    if (db.Top(t)) {
      do {
        uint64_t digest = 1469598103934665603ull;  // FNV-1a
        for (uint8_t byte : db.GetRecord(t)) digest = (digest ^ byte) * 1099511628211ull;
        table.push_back(digest);
      } while (static_cast<int64_t>(table.size()) < bound && db.Step(t, 1));
    }
    std::sort(table.begin(), table.end());
    digests.emplace_back(db.Table(t).Header.TableName, std::move(table));
  }
  return digests;
}

// Gives the blocks that nothing uses to the avail list: what a process killed in the
// middle of an update leaves behind (the nodes of an index being rebuilt, the blocks of a
// chain being written). A check lists a bounded number of findings, so it runs again
// while it still finds some, at most once per block of the file.
void ReclaimLostBlocks(const std::string& fileName) {
  TCustomVarDB db("");
  if (!db.OpenFile(fileName, rtl::fmOpenReadWrite)) throw rtl::Exception(fileName + ": cannot be opened as a database");
  const int64_t rounds = db.GetSize() / storage::kBlockSize + 1;
  for (int64_t round = 0; round < rounds; ++round) {
    std::vector<uint32_t> lost;
    for (const storage::TCheckFinding& finding : db.Check())
      if (finding.Lost) lost.push_back(finding.Block);
    if (lost.empty()) return;
    storage::TUpdateBracket update(db);
    for (uint32_t address : lost) {
      storage::TBlock scratch;
      db.PutOnAvailList(address, scratch);
    }
    update.Commit();
  }
}

}  // namespace

std::vector<storage::TCheckFinding> DatabaseProblems(TCustomVarDB& db) {
  std::vector<storage::TCheckFinding> problems;
  try {
    problems = db.Check();
  } catch (const rtl::Exception& e) {
    problems.push_back({-1, -1, 0, e.Message()});
  }
  // Opening a module refuses a module table of another layout; the file is not sound for
  // it, however whole its blocks are.
  for (int t = 0; t < db.TableCount(); ++t) {
    if (module::ModuleTableDefinition(db.Table(t).Header.TableName).empty()) continue;
    try {
      module::CheckModuleTable(db, t);
    } catch (const rtl::Exception& e) {
      problems.push_back({t, -1, 0, e.Message()});
    }
  }
  return problems;
}

std::string ProblemLine(const std::string& fileName, const storage::TCheckFinding& problem) {
  return AboutFile(problem.Message, fileName, fileName);
}

namespace {

// The first problem of a database file and how many it has (0: sound), or the reason it
// cannot be opened as one.
std::pair<size_t, std::string> FirstProblem(const std::string& fileName) {
  std::unique_ptr<TCustomVarDB> db;
  try {
    db = OpenShared(fileName, rtl::fmOpenRead | rtl::fmShareDenyNone);
  } catch (const rtl::Exception& e) {
    return {1, e.Message()};
  }
  const std::vector<storage::TCheckFinding> problems = DatabaseProblems(*db);
  return {problems.size(), problems.empty() ? std::string() : ProblemLine(fileName, problems.front())};
}

}  // namespace

void RequireSoundDatabase(TCustomVarDB& db) {
  const std::vector<storage::TCheckFinding> problems = DatabaseProblems(db);
  if (!problems.empty())
    throw EToolError(rtl::Format(strings::_SDatabaseDamaged, db.FileName(), static_cast<int>(problems.size()),
                                 WithoutFileName(ProblemLine(db.FileName(), problems.front()), db.FileName())));
}

std::string RewriteBackupName(const std::string& fileName) { return BackupName(fileName); }

void RequireSoundCopy(const std::string& fileName, const std::string& copy) {
  const auto [count, first] = FirstProblem(copy);
  if (count > 0)
    throw EToolError(rtl::Format(strings::_SRewriteUnsound, fileName, static_cast<int>(count),
                                 WithoutFileName(AboutFile(first, copy, fileName), fileName)));
}

std::string RewriteVerified(const std::string& fileName, bool sameRecords,
                            const std::function<void(const std::string& copy)>& change) {
  const std::string backup = RewriteBackupName(fileName);
  TScratchFile copy(fileName, ".~new");
  TRecordDigests before;
  std::error_code ec;
  {
    std::unique_ptr<TCustomVarDB> db = OpenShared(fileName, rtl::fmOpenRead | rtl::fmShareDenyNone);
    storage::TReadBracket bracket(*db);
    if (sameRecords) {
      try {
        before = RecordDigests(*db);
      } catch (const rtl::Exception& e) {
        throw EToolError(rtl::Format(strings::_SRewriteUnreadable, fileName, WithoutFileName(AboutFile(e.Message(), fileName, fileName), fileName)));
      }
    }
    if (!fs::copy_file(fileName, copy.Path(), fs::copy_options::overwrite_existing, ec) || ec)
      throw EToolError(rtl::Format(strings::_SToolCannotWrite, copy.Path(), ec.message()));
  }
  try {
    change(copy.Path());
    ReclaimLostBlocks(copy.Path());
  } catch (const rtl::Exception& e) {
    throw EToolError(rtl::Format(strings::_SRewriteUnreadable, fileName,
                                 WithoutFileName(AboutFile(e.Message(), copy.Path(), fileName), fileName)));
  }
  RequireSoundCopy(fileName, copy.Path());
  if (sameRecords) {
    std::unique_ptr<TCustomVarDB> db = OpenShared(copy.Path(), rtl::fmOpenRead | rtl::fmShareDenyNone);
    const TRecordDigests after = RecordDigests(*db);
    for (size_t t = 0; t < std::max(before.size(), after.size()); ++t)
      if (t >= before.size() || t >= after.size() || before[t] != after[t])
        throw EToolError(rtl::Format(strings::_SRewriteLostRecords, fileName,
                                     t < before.size() ? before[t].first : after[t].first));
  }
  {
    // The backup is complete before it replaces an earlier one.
    TScratchFile saved(backup, ".~tmp");
    if (!fs::copy_file(fileName, saved.Path(), fs::copy_options::overwrite_existing, ec) || ec)
      throw EToolError(rtl::Format(strings::_SToolCannotWrite, backup, ec.message()));
    fs::rename(saved.Path(), backup, ec);
    if (ec) throw EToolError(rtl::Format(strings::_SToolCannotWrite, backup, ec.message()));
    saved.Keep();
  }
  fs::permissions(copy.Path(), fs::status(fileName, ec).permissions(), ec);
  fs::rename(copy.Path(), fileName, ec);
  if (ec) throw EToolError(rtl::Format(strings::_SToolCannotWrite, fileName, ec.message()));
  copy.Keep();
  return backup;
}

}  // namespace quintrel::tools
