// Opening a second module beside the one a tool works on.
//
// The process's module list (module::GlobalZOD) recognises an open module by the first 12
// characters of its lower-cased file name. Two files of one project ("SalesReporting.ZOD"
// and its backup "SalesReporting.~lm") agree there, so registering the second hands back
// the first: a tool would read, write or close the wrong module. Every tool that needs a
// second module (leverage, pack, export to a module, import from one) opens it here:
//
//   - files are compared as full canonical paths (std::filesystem::weakly_canonical) and,
//     when both exist, as the same file on disk (hard links, bind mounts);
//   - a file on the caller's list of refused files (the module the session works on, the
//     target of a merge) is refused with one line naming both;
//   - when the shared module list already holds the very same file, that module is used
//     and left open afterwards: the helper never closes what it did not open;
//   - otherwise the file is opened in a module list of the helper's own, so no name match
//     of the shared list can reach it, and closed when the helper goes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "module/zod.h"

namespace quintrel::tools {

// The full canonical path of a file that may not exist yet: absolute, symbolic links of
// the existing part resolved, "." and ".." removed. The name as given when even that fails.
std::string CanonicalPath(const std::string& fileName);
// Whether two names lead to the same file: equal canonical paths, or, when both exist, the
// same file on disk.
bool SameFile(const std::string& a, const std::string& b);

class TOtherModule {
public:
  enum class TAccess {
    Read,       // reading only; the file is not changed by anything read
    ReadWrite,  // reading and writing
    Create,     // a new, empty module; an existing file is refused, never replaced
  };

  // Opens `fileName` as asked. `refused`: files it must not be (compared with SameFile).
  // `shared`: the process's module list, searched for the same file already open (may be
  // null). Raises EToolError with one line naming the file when it is refused, missing,
  // not a regular file, not a module database, or cannot be opened or created.
  TOtherModule(const std::string& fileName, TAccess access, const std::vector<std::string>& refused,
               module::TZod* shared = &module::GlobalZOD());
  ~TOtherModule();
  TOtherModule(const TOtherModule&) = delete;
  TOtherModule& operator=(const TOtherModule&) = delete;

  module::TZod& Zod() { return *zod_; }
  int Index() const { return index_; }
  // The canonical path of the module file.
  const std::string& FileName() const { return fileName_; }
  // Whether this helper opened the module (and will close it).
  bool OwnsModule() const { return own_ != nullptr; }
  // Closes the module now when this helper opened it (a no-op otherwise), so that its file
  // can be renamed or removed.
  void Close();

private:
  std::unique_ptr<module::TZod> own_;
  module::TZod* zod_ = nullptr;
  int index_ = -1;
  std::string fileName_;
};

// The module a tool works on, opened in the process's module list (module::GlobalZOD),
// where the name lists and the translator find it, and closed again with the object. When
// that list answers with a module of another file (one whose name agrees in its first 12
// characters), the tool is refused rather than let loose on the wrong module. A tool that
// only reads opens it with rtl::fmOpenRead, so that it works on a file the user cannot write.
class TWorkModule {
public:
  explicit TWorkModule(const std::string& fileName, uint16_t mode = rtl::fmOpenReadWrite);
  ~TWorkModule();
  TWorkModule(const TWorkModule&) = delete;
  TWorkModule& operator=(const TWorkModule&) = delete;
  int Index() const { return index_; }

private:
  int index_ = -1;
  bool opened_ = false;
};

}  // namespace quintrel::tools
