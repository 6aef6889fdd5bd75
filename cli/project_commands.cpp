#include "cli/project_commands.h"

#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli/common.h"
#include "cli/target.h"
#include "cli/texts.h"
#include "module/modulefile.h"
#include "platform/win32/codepage.h"
#include "strings/hostconsts.h"
#include "text/unicode.h"

namespace quintrel::cli {

namespace {

using namespace quintrel::host;
namespace fs = std::filesystem;

struct TProjectOptions {
  TTarget Target;
  bool Json = false;
  std::string Project() const { return Target.ProjectArgument(); }
};

const char* KindName(TProjectKind kind) { return kind == TProjectKind::pkDelphi ? "Delphi" : "C++Builder"; }

// Names inside the project folder are shown relative to it.
std::string Shown(const TProject& project, const std::string& fileName) {
  fs::path rel = fs::path(fileName).lexically_relative(project.Folder());
  std::string s = rel.string();
  return s.empty() || s.rfind("..", 0) == 0 ? fileName : s;
}

nlohmann::json OrNull(const std::string& s) { return s.empty() ? nlohmann::json(nullptr) : nlohmann::json(s); }

struct TUnitInfo {
  std::string FileName;
  std::string FormName;  // declared in the project source
  std::string FormFile;
  std::string Notation;
  std::optional<int> Components;
  std::string Problem;
  bool Missing = false;  // listed by the project but not on disk (a .res the compiler makes)
};

void Info(const TProjectOptions& o) {
  auto host = OpenProjectHost(o.Project());
  const TProject& project = *host->Project();
  std::vector<TUnitInfo> units;
  int problems = 0;
  for (const std::string& name : project.UnitNames()) {
    TUnitInfo u;
    u.FileName = name;
    std::error_code ec;
    u.Missing = !fs::exists(name, ec);
    if (const TProjectEntry* entry = project.FindEntry(name)) u.FormName = entry->FormName;
    std::string ext = ExtensionOf(name);
    if (ext == ".cpp" || ext == ".pas" || ext == ".c") u.FormFile = CompanionFile(name, ".dfm");
    if (!u.FormFile.empty()) {
      try {
        vcl::TComponent& form = host->Form(name);
        u.Components = form.ComponentCount();
        u.Notation = host->Module(name)->FormNotation() == vcl::TFormNotation::fnText ? "text" : "binary";
        host->CloseFile(name);
      } catch (const rtl::Exception& e) {
        u.Problem = e.Message();
        ++problems;
      }
    } else if (!u.FormName.empty()) {
      u.Problem = rtl::Format(strings::_SFormFileMissing, name, u.FormName);
      ++problems;
    }
    units.push_back(std::move(u));
  }
  // The module as the translator and every command find it: <project>.ZOD in any case.
  const std::string moduleFile = module::ModuleFileFor(project.ProjectFile());
  if (o.Json) {
    nlohmann::json list = nlohmann::json::array();
    for (size_t i = 0; i < units.size(); ++i) {
      const auto& u = units[i];
      nlohmann::json j = {{"index", i}, {"file", u.FileName}, {"form", OrNull(u.FormName)},
                          {"formFile", OrNull(u.FormFile)}};
      if (!u.Notation.empty()) j["notation"] = u.Notation;
      if (u.Components) j["components"] = *u.Components;
      if (!u.Problem.empty()) j["problem"] = u.Problem;
      if (u.Missing) j["missing"] = true;
      list.push_back(j);
    }
    nlohmann::json out = {{"project", project.ProjectFile()},
                          {"kind", KindName(project.Kind())},
                          {"source", project.ProjectSource()},
                          {"module", moduleFile},
                          {"moduleExists", !module::FindIgnoringCase(moduleFile).empty()},
                          {"units", list}};
    std::cout << out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  } else {
    std::cout << "Project: " << project.ProjectFile() << "\n"
              << "Kind:    " << KindName(project.Kind()) << "\n"
              << "Source:  " << Shown(project, project.ProjectSource()) << "\n"
              << "Module:  " << Shown(project, moduleFile)
              << (module::FindIgnoringCase(moduleFile).empty() ? " (not created yet)" : "") << "\n"
              << "Units:   " << units.size() << "\n";
    for (size_t i = 0; i < units.size(); ++i) {
      const auto& u = units[i];
      std::cout << "  " << i << "  " << Shown(project, u.FileName);
      if (!u.FormName.empty() || !u.FormFile.empty()) {
        std::cout << "  form " << (u.FormName.empty() ? "?" : u.FormName);
        if (!u.FormFile.empty()) std::cout << " in " << Shown(project, u.FormFile);
        if (u.Components) std::cout << " (" << u.Notation << ", " << *u.Components << " components)";
      }
      if (u.Missing) std::cout << "  (missing)";
      std::cout << "\n";
    }
  }
  for (const auto& u : units)
    if (!u.Problem.empty()) std::cerr << "quintrel: " << u.Problem << "\n";
  if (problems) throw TExitCode{kExitFailure};
}

void Forms(const TProjectOptions& o) {
  auto host = OpenProjectHost(o.Project());
  const TProject& project = *host->Project();
  nlohmann::json list = nlohmann::json::array();
  int problems = 0;
  for (const std::string& name : project.UnitNames()) {
    std::string ext = ExtensionOf(name);
    if (ext != ".cpp" && ext != ".pas" && ext != ".c") continue;
    std::string formFile = CompanionFile(name, ".dfm");
    if (formFile.empty()) continue;
    try {
      TFormHead head = ReadFormHead(formFile);
      if (o.Json) {
        list.push_back({{"name", head.Name}, {"class", head.ClassName}, {"unit", name}, {"formFile", formFile},
                        {"notation", head.Binary ? "binary" : "text"}});
      } else {
        std::cout << head.Name << "  " << head.ClassName << "  " << Shown(project, formFile) << "  ("
                  << (head.Binary ? "binary" : "text") << ")\n";
      }
    } catch (const rtl::Exception& e) {
      std::cerr << "quintrel: " << e.Message() << "\n";
      ++problems;
    }
  }
  if (o.Json) std::cout << list.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  if (problems) throw TExitCode{kExitFailure};
}

// The executable's string table: script strings, then the Pascal unit strings the
// linker numbered.
void Strings(const TProjectOptions& o) {
  const TStringTable table = LinkProjectStrings(OpenProject(o.Project()));
  if (o.Json) {
    nlohmann::json list = nlohmann::json::array();
    for (const TLinkedString& s : table.Strings)
      list.push_back({{"id", s.Resource}, {"unit", s.Unit}, {"identifier", OrNull(s.Identifier)},
                      {"line", s.Line}, {"text", text::WideToUtf8(s.Text)}});
    std::cout << list.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    return;
  }
  for (const TLinkedString& s : table.Strings)
    std::cout << s.Resource << "\t" << s.Unit << "\t" << (s.Identifier.empty() ? "-" : s.Identifier) << "\t"
              << EscapedText(s.Text) << "\n";
}

}  // namespace

host::TProject OpenProject(const std::string& project) {
  try {
    return host::TProject::Open(project.empty() ? "." : project);
  } catch (const rtl::Exception& e) {
    throw ECommandFailed(e.Message());
  }
}

host::TStringTable LinkProjectStrings(const host::TProject& project) {
  try {
    return host::LinkStringTable(project, win32::GetACP());
  } catch (const rtl::Exception& e) {
    throw ECommandFailed(e.Message());
  }
}

CLI::Option* AddProjectOption(CLI::App* command, std::string& project) {
  return command->add_option("--project", project,
                             "Project file (.bpr, .mak, .dpr or the project .cpp) or a folder holding exactly one; "
                             "default: the current folder");
}

std::unique_ptr<host::TDevelopmentHost> OpenProjectHost(const std::string& project) {
  auto host = std::make_unique<host::TDevelopmentHost>();
  try {
    host->OpenProject(project.empty() ? "." : project);
  } catch (const rtl::Exception& e) {
    throw ECommandFailed(e.Message());
  }
  return host;
}

void RegisterProjectCommands(CLI::App& app) {
  CLI::App* cmd = app.add_subcommand(
      "project", "C++Builder and Delphi projects: their units, forms and form files, as the tools see them");
  cmd->require_subcommand(1);

  // Each verb takes the project as its argument and may print JSON.
  const auto verb = [cmd](const char* name, const char* description, void (*run)(const TProjectOptions&)) {
    auto options = std::make_shared<TProjectOptions>();
    CLI::App* sub = cmd->add_subcommand(name, description);
    options->Target.AddProject(sub, true);
    sub->add_flag("--json", options->Json, "Write JSON");
    sub->callback([options, run] { run(*options); });
  };
  verb("info",
       "Show the project file, the units in project order with their forms and form files, and the number of "
       "components of each form",
       Info);
  verb("forms", "List the project's forms with their class names, read from the heads of their form files", Forms);
  verb("strings",
       "List the string table the project's executable gets: the STRINGTABLE entries of its resource scripts with "
       "their fixed identifiers, then the resourcestring constants of its Pascal units as the linker numbers them "
       "(from 65535 down). Columns: identifier, unit, constant, text with \\n-style escapes",
       Strings);
}

}  // namespace quintrel::cli
