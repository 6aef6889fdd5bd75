#pragma once

#include <CLI/CLI.hpp>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "addin/addin.h"
#include "platform/ide/host.h"
#include "runtime/quintrel.h"

namespace quintrel::cli {

// quintrel ide menu|notify|replay: the add-in inside the development-environment host, its
// menu as the host holds it, and the host's notifications and designer steps raised from
// the command line.
void RegisterIdeCommands(CLI::App& app);

// The project open in a host with the add-in registered, as the environment has it when
// it starts: the add-in has opened the project's module and built its menu.
class TAddInHost {
public:
  // Fails with a line naming the file when the project cannot be opened.
  explicit TAddInHost(const std::string& project);
  ~TAddInHost();
  TAddInHost(const TAddInHost&) = delete;
  TAddInHost& operator=(const TAddInHost&) = delete;

  host::TDevelopmentHost& Host() { return *host_; }
  ide::TQuintrelAddIn& AddIn() { return *addIn_; }
  // A unit named relative to the project folder (or by full path), as a full path.
  std::string Unit(const std::string& name) const;
  const std::string& ProjectArgument() const { return project_; }

private:
  std::string project_;
  runtime::TQuintrel translator_;
  std::unique_ptr<host::TDevelopmentHost> host_;
  ide::TQuintrelAddIn* addIn_ = nullptr;
};

// The regular files of a folder (not its subfolders) with their sizes and times, to say
// afterwards which a command changed: one line per file, "changed", "created" or
// "removed" and the path.
class TFolderChanges {
public:
  explicit TFolderChanges(const std::string& folder);
  std::vector<std::string> Lines() const;

private:
  struct TStamp {
    unsigned long long Size = 0;
    long long Time = 0;
    bool operator==(const TStamp&) const = default;
  };
  static std::map<std::string, TStamp> Scan(const std::string& folder);
  std::string folder_;
  std::map<std::string, TStamp> before_;
};

}  // namespace quintrel::cli
