// Projects on disk: which files make a project and in what order.
//
// A C++Builder project is its project file (Project1.bpr, or Project1.mak of older
// versions) and the project source beside it (Project1.cpp), whose macro lines name the
// project's files in order:
//     USEFORM("Unit1.cpp", Form1);
//     USEUNIT("Strings.pas");
//     USERES("Project1.res");
// A Delphi project is its project source Project1.dpr; the units are the entries of its
// uses clause that name a file, with the form in a comment:
//     uses Forms, Unit1 in 'Unit1.pas' {Form1}, Unit2 in 'Sub\Unit2.pas';
// Paths are relative to the project folder, with either separator. The unit list the
// host reports is the project file, then (C++Builder) the project source, then the
// named files in the order the project source names them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/sysutils.h"

namespace quintrel::host {

// A project that cannot be opened or changed; the message names the file.
class EProjectError : public rtl::Exception {
public:
  using rtl::Exception::Exception;
};

enum class TProjectKind { pkCppBuilder, pkDelphi };

// A file the project source names.
struct TProjectEntry {
  std::string Macro;     // USEFORM, USEUNIT, USERES, …; "uses" in a Delphi project
  std::string Path;      // as the project source spells it
  std::string FileName;  // full path
  std::string FormName;  // the form the entry declares, empty when none
};

struct TProjectEdit {
  std::string Source;
  std::optional<std::string> ProjectFile;
};

class TProject {
public:
  // Opens a project file (.bpr, .mak, .dpr), a C++Builder project source (.cpp), or a
  // folder holding exactly one project. Raises EProjectError naming the file.
  static TProject Open(const std::string& path);
  // The project file a path stands for, by the same rules, without reading it.
  static std::string Locate(const std::string& path);

  TProjectKind Kind() const { return kind_; }
  const std::string& ProjectFile() const { return projectFile_; }
  const std::string& ProjectSource() const { return projectSource_; }
  std::string Folder() const;
  const std::vector<TProjectEntry>& Entries() const { return entries_; }

  // Project file, project source (when it is another file), then the entries.
  std::vector<std::string> UnitNames() const;
  // Declared form names in project order.
  std::vector<std::string> FormNames() const;
  // The entry of a file (full path); nullptr when the project source does not name it.
  const TProjectEntry* FindEntry(std::string_view fileName) const;
  bool IsUnit(std::string_view fileName) const;

  // Names a further file in the project source (USEFORM when a form name is given,
  // USEUNIT for sources, USERC/USERES for resources, USEFILE otherwise; an entry of the
  // uses clause in a Delphi project) and, in a C++Builder project file, adds the unit's
  // object file to OBJFILES. `sourceText` is the project source as the editor holds it;
  // the changed text is returned and written to disk. Raises EProjectError when the
  // file is already named or the project source cannot be changed.
  std::string AddUnit(const std::string& fileName, const std::string& formName, const std::string& sourceText);
  // The same change as texts, nothing written and the entries unchanged, for a tool that
  // writes all its files at once: the project source's new text, and the project file's
  // (given as `projectFileText`) when it changes too.
  TProjectEdit PlanAddUnit(const std::string& fileName, const std::string& formName, const std::string& sourceText,
                           const std::string& projectFileText) const;
  // The reverse, for a file a tool deletes: the line (or uses entry) naming it goes, and
  // its object file from the project file. Nullopt when `sourceText` does not name it.
  std::optional<TProjectEdit> PlanRemoveUnit(const std::string& fileName, const std::string& sourceText,
                                             const std::string& projectFileText) const;

  // Re-reads the entries from the project source text.
  void Parse(const std::string& sourceText);

private:
  TProjectKind kind_ = TProjectKind::pkCppBuilder;
  std::string projectFile_;
  std::string projectSource_;
  std::vector<TProjectEntry> entries_;
};

// --- files and paths --------------------------------------------------------------------

// Absolute and without "." and ".." parts.
std::string FullPath(std::string_view path);
// A path of a project source (either separator, relative to `folder`) as a full path.
// When no file of that exact spelling exists, a file whose name differs only in case
// is taken, since projects written on case-insensitive systems spell names loosely.
std::string ResolvePath(const std::string& folder, std::string_view path);
// The same file with another extension (".dfm"), matched the same way; empty when it
// does not exist.
std::string CompanionFile(const std::string& fileName, std::string_view extension);
// Lower-cased extension with its dot.
std::string ExtensionOf(std::string_view fileName);

// Whole-file reads and writes. ReadFileBytes reads regular files of at most
// kMaxSourceFileSize bytes (a FIFO or device named as a unit is refused, not waited on).
// WriteFileAtomic writes beside the file and renames, so that a failing write leaves the
// old file intact. Both raise EProjectError naming the file.
inline constexpr std::size_t kMaxSourceFileSize = std::size_t{64} << 20;
std::string ReadFileBytes(const std::string& fileName);
void WriteFileAtomic(const std::string& fileName, std::string_view data);

// --- form file heads ---------------------------------------------------------------------

// The first object of a form file: its instance name and class name, read without
// reading the rest of the file.
struct TFormHead {
  std::string Name;
  std::string ClassName;
  bool Binary = false;
};
// Raises EProjectError naming the file when the head cannot be read.
TFormHead ReadFormHead(const std::string& fileName);

}  // namespace quintrel::host
