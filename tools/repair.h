// Rewriting a database that may be damaged without making it worse.
//
// A command that rewrites a whole database (re-indexing, packing) meets files that a
// killed process or a bad disk left half changed. Working on such a file in place can add
// damage of its own (an index node written into a block the free list also holds), and
// what it wrote cannot be taken back. So a rewrite never touches the file itself:
//   1. under a read bracket on the file (no writer is mid-update while it is copied), the
//      file is copied beside itself and every record it holds is noted;
//   2. the change runs on the copy, and blocks that nothing uses (left by a process killed
//      in the middle of an update) go to the copy's avail list;
//   3. the copy is checked: the record database's own check, the layout of the tables a
//      module keeps, and (when asked) every record of the file still there, byte for byte;
//   4. only a copy that passes replaces the file (rename), after the file as it was has
//      been copied to its backup. Anything else removes the copy and raises EToolError
//      naming the file and the first problem: not a byte of the file was written.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "storage/vardbs.h"
#include "tools/toolsession.h"

namespace quintrel::tools {

// A file this run creates beside `near` (near + tag + the process id), removed again
// unless kept.
class TScratchFile {
public:
  TScratchFile(const std::string& near, const char* tag);
  ~TScratchFile();
  TScratchFile(const TScratchFile&) = delete;
  TScratchFile& operator=(const TScratchFile&) = delete;
  const std::string& Path() const { return path_; }
  void Keep() { kept_ = true; }

private:
  std::string path_;
  bool kept_ = false;
};

// Every problem of an open database: what Check() finds, and for every table whose name
// is a module table's, what opening the module refuses in its layout. Empty for a sound
// file.
std::vector<storage::TCheckFinding> DatabaseProblems(storage::TCustomVarDB& db);
// A problem as one line starting with the file's name.
std::string ProblemLine(const std::string& fileName, const storage::TCheckFinding& problem);

// Raises EToolError naming the file, its first problem and how many there are, when the
// database has any: a command that adds to a file refuses to build on damage.
void RequireSoundDatabase(storage::TCustomVarDB& db);

// The backup a rewrite keeps of the file as it was (NAME.~ZO for NAME.ZOD).
std::string RewriteBackupName(const std::string& fileName);

// Runs `change` on a copy of the database `fileName` and puts the copy in its place as
// described above; `sameRecords` asks that the copy hold exactly the records the file
// held. Returns the backup's name. `fileName` must be a regular file.
std::string RewriteVerified(const std::string& fileName, bool sameRecords,
                            const std::function<void(const std::string& copy)>& change);

// Checks a finished copy: raises EToolError naming `fileName` (not the copy) with the first
// problem the copy has.
void RequireSoundCopy(const std::string& fileName, const std::string& copy);

}  // namespace quintrel::tools
