// Where a command works: which project and which module. Every command names them the same
// way: --project P (a project file or a folder holding exactly one; default the current
// folder) and --module FILE (default the project's module, <project>.ZOD found ignoring
// case). The low-level commands keep a positional FILE as a synonym of --module.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace quintrel::cli {

class TTarget {
public:
  // Adds --project to the command. With `positional` the command also takes the project
  // as its first positional argument (the project commands' PROJECT).
  void AddProject(CLI::App* command, bool positional = false);
  // Adds --module, and with `positional` an optional positional FILE meaning the same (the
  // two exclude each other). Adds --project too unless the command has it.
  void AddModule(CLI::App* command, bool positional = true, const std::string& help = "Language module");

  bool ProjectGiven() const { return !project_.empty(); }
  void SetProject(std::string project) { project_ = std::move(project); }
  bool ModuleGiven() const { return !module_.empty(); }
  // The project argument as given ("." when none).
  std::string ProjectArgument() const { return project_.empty() ? "." : project_; }
  // The project file (--project, else the one project of the current folder); fails naming
  // the folder when there is none or more than one.
  std::string ProjectFile() const;
  // The module the command works on: the one named, else the project's. Fails naming the
  // file when it does not exist, and when no module is named and no project found.
  std::string ModuleFile() const;
  // The file a new module goes to: the one named, else <project>.ZOD (the spelling that
  // exists, ignoring case, when there is one).
  std::string ModuleFileToCreate() const;

private:
  std::string project_;
  std::string module_;
  bool hasProject_ = false;
};

}  // namespace quintrel::cli
