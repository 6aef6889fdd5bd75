#include "cli/target.h"

#include "cli/common.h"
#include "module/modulefile.h"
#include "platform/ide/project.h"
#include "platform/rtl/classes.h"
#include "platform/rtl/sysutils.h"
#include "strings/qconsts.h"

namespace quintrel::cli {

namespace qs = quintrel::strings;

namespace {

constexpr const char* kProjectHelp =
    "Project file (.bpr, .mak, .dpr or the project .cpp) or a folder holding exactly one; default: the current "
    "folder";

}  // namespace

void TTarget::AddProject(CLI::App* command, bool positional) {
  if (hasProject_) return;
  hasProject_ = true;
  CLI::Option* option = command->add_option("--project", project_, kProjectHelp);
  if (positional) {
    CLI::Option* synonym = command->add_option("PROJECT", project_, std::string(kProjectHelp) + " (as --project)");
    synonym->excludes(option);
  }
}

void TTarget::AddModule(CLI::App* command, bool positional, const std::string& help) {
  CLI::Option* option = command->add_option(
      "--module", module_, help + " (default: the project's module, <project>.ZOD beside the project file)");
  if (positional) {
    CLI::Option* synonym = command->add_option("FILE", module_, help + " (as --module)");
    synonym->excludes(option);
  }
  AddProject(command);
}

std::string TTarget::ProjectFile() const {
  try {
    return host::TProject::Locate(ProjectArgument());
  } catch (const rtl::Exception& e) {
    throw ECommandFailed(e.Message());
  }
}

std::string TTarget::ModuleFileToCreate() const {
  if (!module_.empty()) return module_;
  std::string project;
  try {
    project = host::TProject::Locate(ProjectArgument());
  } catch (const rtl::Exception& e) {
    throw ECommandFailed(rtl::Format(qs::_SCliNoModuleNamed, e.Message()));
  }
  return module::ModuleFileFor(project);
}

std::string TTarget::ModuleFile() const {
  if (!module_.empty()) {
    return RequireModuleFile(module_);
  }
  std::string file = ModuleFileToCreate();
  if (module::FindIgnoringCase(file).empty())
    throw ECommandFailed(rtl::Format(qs::_SCliProjectHasNoModule, file, ProjectFile()));
  return file;
}

}  // namespace quintrel::cli
