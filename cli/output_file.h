// Files the command line writes for the user. A target is never truncated in place: the
// new content goes to a file of the same name in a fresh folder beside the target and is
// renamed over it only when it is complete, so a full disk, a crash or a failed check
// leaves the target as it was. Only what the command made is ever removed.
#pragma once

#include <string>
#include <string_view>

namespace quintrel::cli {

class TReplacement {
public:
  // Checks the target before anything is written: it must be missing or a regular file
  // the user may write (a symbolic link is followed), and missing unless mayReplace.
  // Then makes the staging folder beside it. Fails with a line naming the target.
  TReplacement(const std::string& target, bool mayReplace);
  TReplacement(const TReplacement&) = delete;
  TReplacement& operator=(const TReplacement&) = delete;
  // Removes the staging folder and whatever was written into it, unless committed.
  ~TReplacement();

  // Where to write: a path with the target's own file name, inside the staging folder.
  const std::string& StagingPath() const { return staging_; }
  // Moves the staged file over the target (with the old file's permissions), or beside
  // nothing when the target did not exist; fails if one appeared meanwhile and may not be
  // replaced.
  void Commit();

private:
  std::string target_;   // the given name, for messages
  std::string resolved_; // the file the rename replaces (a link's target)
  std::string folder_;
  std::string staging_;
  bool mayReplace_ = false;
  bool existed_ = false;
  unsigned mode_ = 0;
  bool committed_ = false;
};

// Writes data as the whole new content of fileName through a TReplacement. A target that
// exists and is a device or a pipe (/dev/null, /dev/stdout) is written straight to.
void WriteOutputFile(const std::string& fileName, std::string_view data);

}  // namespace quintrel::cli
