// One run of a design-time tool over a project: the project, the module it works on, the
// user's answers, and every file it changes.
//
// A tool never writes a source file as it goes. It reads files through the session, which
// gives back what the tool staged earlier in the same run, and stages whole new contents
// (or a deletion). Commit then writes them all at once:
//   - every file that existed gets its backup first (NAME.~pa for NAME.pas, NAME.~rc for
//     NAME.rc: "~" and the first two characters of the extension), once per file and
//     command, holding the file as it was before the command, never an intermediate state;
//   - every file is written beside itself and renamed over (never truncated in place);
//   - when a write fails, the files already written get their old contents back and the
//     files created are removed, so a command changes all of its files or none.
// A dry run stages the same, reports the same lines ("would change ..."), and writes
// nothing; the module it works on is then a scratch copy, so that the module's changes
// run for real and are thrown away.
//
// Questions of the tools' dialogs become the user's --yes: Confirm raises ENotConfirmed
// (its message the question's exact text) unless the answer was given.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ide/project.h"
#include "platform/rtl/sysutils.h"

namespace quintrel::tools {

// A question the user did not answer with --yes. Nothing was changed.
class ENotConfirmed : public rtl::Exception {
public:
  using rtl::Exception::Exception;
};

// A tool's refusal or failure, naming the file; the command ends and nothing is written.
class EToolError : public rtl::Exception {
public:
  using rtl::Exception::Exception;
};

struct TSessionOptions {
  bool Yes = false;     // every question is answered yes
  bool DryRun = false;  // report, write nothing
};

// The backup file name of a source: the extension's first two characters after "~"
// (Unit1.pas -> Unit1.~pa, Errors.rc -> Errors.~rc, Consts.inc -> Consts.~in).
std::string BackupName(const std::string& fileName);

class TToolSession {
public:
  // Opens the project (a project file, a project source or a folder holding one) and
  // names the module: `moduleFile`, or the project's own (<project>.ZOD found ignoring
  // case) when empty. Raises EToolError naming the file when the project cannot be read.
  TToolSession(const std::string& project, const std::string& moduleFile, TSessionOptions options);
  ~TToolSession();
  TToolSession(const TToolSession&) = delete;
  TToolSession& operator=(const TToolSession&) = delete;

  const host::TProject& Project() const { return project_; }
  const TSessionOptions& Options() const { return options_; }
  // The module file the user means.
  const std::string& ModuleFile() const { return moduleFile_; }
  // The file to open the module from: the module itself, or in a dry run a scratch copy
  // made on first use (removed with the session).
  const std::string& WorkingModule();
  // Tells the session the module was changed, for the report.
  void ModuleChanged() { moduleChanged_ = true; }

  // Raises ENotConfirmed with the question unless --yes was given.
  void Confirm(const std::string& question) const;

  // The file's content as the tool left it so far: staged content, else what is on disk;
  // nullopt when it does not exist (or was staged for deletion). Raises EToolError naming
  // the file when it exists but cannot be read (not a regular file, too large).
  std::optional<std::string> Read(const std::string& fileName);
  bool Exists(const std::string& fileName);
  // Stages new content for the file, or its deletion.
  void Write(const std::string& fileName, std::string content);
  void Remove(const std::string& fileName);

  // Writes what was staged (nothing in a dry run) and returns one line per changed file
  // and the module, in the order the files were first staged. Raises EToolError naming
  // the file that could not be written, after putting back what was written before it.
  std::vector<std::string> Commit();

private:
  struct TChange {
    std::optional<std::string> Original;  // on disk before the command; nullopt: absent
    std::optional<std::string> Content;   // staged; nullopt: deleted
  };
  TChange& Stage(const std::string& fileName);
  std::optional<std::string> ReadDisk(const std::string& fileName) const;

  host::TProject project_;
  TSessionOptions options_;
  std::string moduleFile_;
  std::string scratchFolder_;
  std::string workingModule_;
  bool moduleChanged_ = false;
  std::map<std::string, TChange> changes_;  // by full path
  std::vector<std::string> order_;
};

}  // namespace quintrel::tools
