#include "tools/toolsession.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "module/modulefile.h"
#include "storage/vardbs.h"
#include "strings/toolconsts.h"

namespace quintrel::tools {

namespace fs = std::filesystem;

std::string BackupName(const std::string& fileName) {
  const fs::path path(fileName);
  const std::string ext = path.extension().string();
  return fs::path(path).replace_extension(".~" + (ext.size() > 1 ? ext.substr(1, 2) : std::string())).string();
}

TToolSession::TToolSession(const std::string& project, const std::string& moduleFile, TSessionOptions options)
    : project_([&] {
        try {
          return host::TProject::Open(project);
        } catch (const host::EProjectError& e) {
          throw EToolError(e.Message());
        }
      }()),
      options_(options),
      moduleFile_(moduleFile.empty() ? module::ModuleFileFor(project_.ProjectFile()) : moduleFile) {}

TToolSession::~TToolSession() {
  if (scratchFolder_.empty()) return;
  std::error_code ec;
  fs::remove_all(scratchFolder_, ec);
}

const std::string& TToolSession::WorkingModule() {
  if (!options_.DryRun) return moduleFile_;
  if (workingModule_.empty()) {
    std::string pattern = (fs::temp_directory_path() / "quintrel-dry-run-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
      throw EToolError(rtl::Format(strings::_SToolCannotWrite, pattern, std::strerror(errno)));
    scratchFolder_ = pattern;
    const std::string copy = (fs::path(scratchFolder_) / fs::path(moduleFile_).filename()).string();
    std::error_code ec;
    // What is wrong with the module is said of the user's file, not of the scratch copy.
    if (fs::exists(moduleFile_, ec))
      if (std::string problem = storage::TCustomVarDB::DiagnoseFile(moduleFile_); !problem.empty())
        throw EToolError(problem);
    if (fs::exists(moduleFile_, ec)) fs::copy_file(moduleFile_, copy, ec);
    if (ec) throw EToolError(rtl::Format(strings::_SToolCannotWrite, copy, ec.message()));
    workingModule_ = copy;
  }
  return workingModule_;
}

void TToolSession::Confirm(const std::string& question) const {
  if (!options_.Yes) throw ENotConfirmed(question);
}

std::optional<std::string> TToolSession::ReadDisk(const std::string& fileName) const {
  std::error_code ec;
  if (!fs::exists(fileName, ec)) return std::nullopt;
  try {
    return host::ReadFileBytes(fileName);
  } catch (const host::EProjectError& e) {
    throw EToolError(e.Message());
  }
}

TToolSession::TChange& TToolSession::Stage(const std::string& fileName) {
  const std::string full = host::FullPath(fileName);
  auto it = changes_.find(full);
  if (it == changes_.end()) {
    it = changes_.emplace(full, TChange{ReadDisk(full), std::nullopt}).first;
    it->second.Content = it->second.Original;
    order_.push_back(full);
  }
  return it->second;
}

std::optional<std::string> TToolSession::Read(const std::string& fileName) {
  const auto it = changes_.find(host::FullPath(fileName));
  if (it != changes_.end()) return it->second.Content;
  return ReadDisk(fileName);
}

bool TToolSession::Exists(const std::string& fileName) {
  const auto it = changes_.find(host::FullPath(fileName));
  if (it != changes_.end()) return it->second.Content.has_value();
  std::error_code ec;
  return fs::exists(fileName, ec);
}

void TToolSession::Write(const std::string& fileName, std::string content) { Stage(fileName).Content = std::move(content); }

void TToolSession::Remove(const std::string& fileName) { Stage(fileName).Content.reset(); }

std::vector<std::string> TToolSession::Commit() {
  std::vector<std::string> lines;
  const bool dry = options_.DryRun;
  const auto say = [&](const char* done, const char* would, const std::string& file, const std::string& backup = {}) {
    lines.push_back(rtl::Format(dry ? would : done, file, backup));
  };
  std::vector<std::string> written;  // in order, for putting back
  const auto putBack = [&] {
    for (const std::string& file : written) {
      const TChange& c = changes_.at(file);
      std::error_code ec;
      try {
        if (c.Original)
          host::WriteFileAtomic(file, *c.Original);
        else
          fs::remove(file, ec);
      } catch (const host::EProjectError&) {
        // The backup beside it still holds the old content.
      }
    }
  };
  for (const std::string& file : order_) {
    const TChange& c = changes_.at(file);
    if (c.Content == c.Original) continue;
    const std::string backup = BackupName(file);
    if (!c.Content)
      say(strings::_SToolDeleted, strings::_SToolWouldDelete, file, backup);
    else if (!c.Original)
      say(strings::_SToolCreated, strings::_SToolWouldCreate, file);
    else
      say(strings::_SToolChanged, strings::_SToolWouldChange, file, backup);
    if (dry) continue;
    try {
      if (c.Original) host::WriteFileAtomic(backup, *c.Original);
      written.push_back(file);
      if (c.Content) {
        host::WriteFileAtomic(file, *c.Content);
      } else {
        std::error_code ec;
        if (!fs::remove(file, ec) && ec) throw EToolError(rtl::Format(strings::_SToolCannotWrite, file, ec.message()));
      }
    } catch (const rtl::Exception& e) {
      putBack();
      throw EToolError(rtl::Format(strings::_SToolNothingWritten, e.Message()));
    }
  }
  if (moduleChanged_) lines.push_back(rtl::Format(dry ? strings::_SToolWouldChangeModule : strings::_SToolChangedModule, moduleFile_));
  changes_.clear();
  order_.clear();
  return lines;
}

}  // namespace quintrel::tools
