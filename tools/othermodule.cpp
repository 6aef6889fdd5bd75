#include "tools/othermodule.h"

#include <filesystem>

#include "platform/rtl/sysutils.h"
#include "storage/vardbs.h"
#include "strings/toolconsts.h"
#include "tools/toolsession.h"

namespace quintrel::tools {

namespace fs = std::filesystem;

std::string CanonicalPath(const std::string& fileName) {
  std::error_code ec;
  const fs::path path = fs::weakly_canonical(fs::absolute(fileName, ec), ec);
  return ec ? fileName : path.string();
}

bool SameFile(const std::string& a, const std::string& b) {
  if (CanonicalPath(a) == CanonicalPath(b)) return true;
  std::error_code ec;
  return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec) && !ec;
}

namespace {

// The index of the module of the shared list whose database is the file; -1 when none.
int FindOpen(module::TZod& zod, const std::string& fileName) {
  for (int i = 0; i < zod.GetModuleCount(); ++i) {
    const storage::TCustomVarDB& db = zod.GetModuleInterface(i);
    if (db.IsFile() && SameFile(db.FileName(), fileName)) return i;
  }
  return -1;
}

}  // namespace

TOtherModule::TOtherModule(const std::string& fileName, TAccess access, const std::vector<std::string>& refused,
                           module::TZod* shared)
    : fileName_(CanonicalPath(fileName)) {
  for (const std::string& other : refused)
    if (!other.empty() && SameFile(fileName_, other))
      throw EToolError(rtl::Format(strings::_SOtherModuleIsSame, fileName, CanonicalPath(other)));
  std::error_code ec;
  const fs::file_status status = fs::status(fileName_, ec);
  if (access == TAccess::Create) {
    if (fs::exists(status) || fs::is_symlink(fs::symlink_status(fileName_, ec)))
      throw EToolError(rtl::Format(strings::_SOtherModuleExists, fileName));
    own_ = std::make_unique<module::TZod>(module::TZod::TStart::Empty);
    zod_ = own_.get();
    index_ = own_->NewModule(fileName_);
    if (index_ < 0 || !own_->GetModuleInterface(index_).IsFile())
      throw EToolError(rtl::Format(strings::_SOtherModuleNotCreated, fileName));
    return;
  }
  if (!fs::exists(status)) throw EToolError(rtl::Format(strings::_SOtherModuleMissing, fileName));
  if (!fs::is_regular_file(status)) throw EToolError(rtl::Format(strings::_SOtherModuleNotRegular, fileName));
  if (shared) {
    const int open = FindOpen(*shared, fileName_);
    // A module opened for reading elsewhere cannot serve a writer: it is opened again here.
    if (open >= 0 && (access == TAccess::Read || (shared->GetModuleInterface(open).Mode() & 3) != rtl::fmOpenRead)) {
      zod_ = shared;
      index_ = open;
      return;
    }
  }
  const std::string problem = storage::TCustomVarDB::DiagnoseFile(fileName_);
  if (!problem.empty()) throw EToolError(problem);
  own_ = std::make_unique<module::TZod>(module::TZod::TStart::Empty);
  zod_ = own_.get();
  try {
    index_ = own_->RegisterModule(fileName_, false, "",
                                  access == TAccess::Read ? rtl::fmOpenRead : rtl::fmOpenReadWrite);
  } catch (const rtl::Exception& e) {
    throw EToolError(e.Message());
  }
  if (index_ < 0 || !own_->GetModuleInterface(index_).IsFile())
    throw EToolError(rtl::Format(strings::_SOtherModuleNotOpened, fileName));
}

TOtherModule::~TOtherModule() = default;

void TOtherModule::Close() {
  if (!own_) return;
  own_.reset();
  zod_ = nullptr;
  index_ = -1;
}

TWorkModule::TWorkModule(const std::string& fileName, uint16_t mode) {
  module::TZod& zod = module::GlobalZOD();
  const std::string problem = storage::TCustomVarDB::DiagnoseFile(fileName);
  if (!problem.empty()) throw EToolError(problem);
  const int open = FindOpen(zod, fileName);
  if (open >= 0) {
    index_ = open;
    return;
  }
  const int before = zod.GetModuleCount();
  try {
    index_ = zod.RegisterModule(fileName, false, "", mode);
  } catch (const rtl::Exception& e) {
    throw EToolError(e.Message());
  }
  opened_ = zod.GetModuleCount() > before;
  if (index_ < 0 || !zod.GetModuleInterface(index_).IsFile() ||
      !SameFile(zod.GetModuleInterface(index_).FileName(), fileName)) {
    const std::string other = index_ >= 0 ? zod.GetModuleInterface(index_).FileName() : std::string();
    if (opened_) zod.UnRegisterModule(index_, false);
    opened_ = false;
    throw EToolError(other.empty() ? rtl::Format(strings::_SOtherModuleNotOpened, fileName)
                                   : rtl::Format(strings::_SWorkModuleNameClash, fileName, other));
  }
}

TWorkModule::~TWorkModule() {
  if (opened_) module::GlobalZOD().UnRegisterModule(index_, false);
}

}  // namespace quintrel::tools
