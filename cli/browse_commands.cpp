#include "cli/browse_commands.h"

#include <filesystem>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli/common.h"
#include "cli/output_file.h"
#include "cli/project_commands.h"
#include "cli/target.h"
#include "cli/zod_common.h"
#include "module/modulefile.h"
#include "platform/ide/project.h"
#include "platform/vcl/textutil.h"
#include "tools/selection.h"

namespace quintrel::cli {

namespace {

namespace qs = quintrel::strings;
namespace fs = std::filesystem;
using nlohmann::json;
using tools::TSelectedForm;
using tools::TSelectedProperty;
using tools::TSelection;

struct TBrowseOptions {
  TTarget Target;
  bool Json = false;
  int CodePage = 0;
  std::string Form;
  std::vector<std::string> Paths;
  std::string Output;
  bool KeepEmpty = false;
  bool Yes = false;
  bool DryRun = false;
};

std::string Dump(const json& j) { return j.dump(2, ' ', false, json::error_handler_t::replace) + "\n"; }

// Forms whose head cannot be read are named on stderr; the command then fails at its end.
bool ReportProblems(const tools::TComponentBrowser& browser) {
  for (const std::string& p : browser.Problems()) std::cerr << "quintrel: " << p << "\n";
  return !browser.Problems().empty();
}

const tools::TBrowserForm& RequireForm(const TProjectBrowser& b, const std::string& name) {
  if (const tools::TBrowserForm* f = b.Browser->FindForm(name)) return *f;
  std::string known;
  for (const tools::TBrowserForm& f : b.Browser->Forms()) known += (known.empty() ? "" : ", ") + f.Head.Name;
  throw ECommandFailed(
      rtl::Format(qs::_SCliNoProjectForm, b.Host->Project()->ProjectFile(), name, known.empty() ? "none" : known));
}

TSelectedForm LoadOrFail(TProjectBrowser& b, const tools::TBrowserForm& form) {
  std::string problem;
  std::optional<TSelectedForm> tree = b.Browser->LoadForm(form, &problem);
  if (!tree) throw ECommandFailed(problem);
  return std::move(*tree);
}

json LeavesJson(const std::vector<TSelectedProperty>& leaves) {
  json out = json::array();
  for (const TSelectedProperty& p : leaves) {
    json j = {{"path", p.Path}, {"value", p.Value}};
    if (!p.Data.empty()) {
      j["size"] = p.Data.size();
      j["data"] = tools::EncodeBase64(p.Data);
    }
    out.push_back(std::move(j));
  }
  return out;
}

void PrintLeaves(const std::vector<TSelectedProperty>& leaves, const char* indent) {
  for (const TSelectedProperty& p : leaves) {
    std::cout << indent << p.NodeText();
    if (!p.Data.empty()) std::cout << "  " << rtl::Format(qs::_SCliAttachedBytes, p.Data.size());
    std::cout << "\n";
  }
}

void PrintTree(const TSelection& selection) {
  for (const TSelectedForm& f : selection.Forms) {
    std::cout << f.Name << (f.ClassName.empty() ? "" : ": " + f.ClassName) << "\n";
    PrintLeaves(f.Properties, "  ");
    for (const tools::TSelectedComponent& c : f.Components) {
      std::cout << "  " << c.Name << (c.ClassName.empty() ? "" : ": " + c.ClassName) << "\n";
      PrintLeaves(c.Properties, "    ");
    }
  }
}

// --- listing ----------------------------------------------------------------------------

void Forms(const TBrowseOptions& o) {
  TProjectBrowser b = OpenProjectBrowser(o.Target.ProjectArgument(), o.CodePage);
  const std::string folder = b.Host->Project()->Folder();
  json list = json::array();
  for (const tools::TBrowserForm& f : b.Browser->Forms()) {
    const char* notation = f.Head.Binary ? "binary" : "text";
    if (o.Json) {
      list.push_back({{"name", f.Head.Name}, {"class", f.Head.ClassName}, {"unitIndex", f.UnitIndex},
                      {"unit", f.UnitFile}, {"formFile", f.Head.FormFile}, {"notation", notation}});
    } else {
      std::cout << f.NodeText() << "  " << f.UnitIndex << "  " << Relative(folder, f.Head.FormFile) << " (" << notation
                << ")\n";
    }
  }
  if (o.Json) std::cout << Dump(list);
  if (ReportProblems(*b.Browser)) throw TExitCode{kExitFailure};
}

void Form(const TBrowseOptions& o) {
  TProjectBrowser b = OpenProjectBrowser(o.Target.ProjectArgument(), o.CodePage);
  const tools::TBrowserForm& form = RequireForm(b, o.Form);
  const TSelectedForm tree = LoadOrFail(b, form);
  if (o.Json) {
    json comps = json::array();
    for (const tools::TSelectedComponent& c : tree.Components)
      comps.push_back({{"name", c.Name}, {"class", c.ClassName}, {"properties", LeavesJson(c.Properties)}});
    std::cout << Dump({{"name", tree.Name}, {"class", tree.ClassName}, {"unitIndex", form.UnitIndex},
                       {"unit", form.UnitFile}, {"formFile", form.Head.FormFile},
                       {"properties", LeavesJson(tree.Properties)}, {"components", comps}});
    return;
  }
  TSelection one;
  one.Forms.push_back(tree);
  PrintTree(one);
}

// The module's catalogue as the destination tree starts; empty when the project has no
// module yet and none was named.
TSelection ModuleSelection(const TTarget& target) {
  if (!target.ModuleGiven() && module::FindIgnoringCase(target.ModuleFileToCreate()).empty()) return {};
  TModuleFile file(target.ModuleFile(), TModuleFile::TAccess::ReadOnly);
  return tools::SelectionFromModule(file.Zod(), file.Index());
}

void Selected(const TBrowseOptions& o) {
  const TSelection selection = ModuleSelection(o.Target);
  if (o.Json) {
    std::cout << tools::SelectionToJson(selection);
    return;
  }
  PrintTree(selection);
}

// --- selection files --------------------------------------------------------------------

TSelection ReadSelection(const std::string& fileName) {
  try {
    return tools::ReadSelectionFile(fileName);
  } catch (const rtl::Exception& e) {
    throw ECommandFailed(e.Message());
  }
}

// A selection an edit starts from: the file when it exists, else the module's catalogue.
TSelection StartingSelection(const TBrowseOptions& o) {
  std::error_code ec;
  if (fs::exists(o.Output, ec)) return ReadSelection(o.Output);
  return ModuleSelection(o.Target);
}

void WriteSelection(const TBrowseOptions& o, const TSelection& selection) {
  if (!o.DryRun) WriteOutputFile(o.Output, tools::SelectionToJson(selection));
  std::cout << rtl::Format(o.DryRun ? qs::_SCliSelectionWouldWrite : qs::_SCliSelectionWritten, o.Output,
                           selection.Forms.size(), selection.PropertyCount())
            << "\n";
}

void Auto(const TBrowseOptions& o) {
  TSelection selection = StartingSelection(o);
  std::vector<std::string> includes = module::DefaultAutoIncludes();
  if (o.Target.ModuleGiven() || !module::FindIgnoringCase(o.Target.ModuleFileToCreate()).empty()) {
    TModuleFile file(o.Target.ModuleFile(), TModuleFile::TAccess::ReadOnly);
    includes = file.Zod().GetAutoIncludeList(file.Index());
  }
  TProjectBrowser b = OpenProjectBrowser(o.Target.ProjectArgument(), o.CodePage);
  tools::TAutoOptions options;
  options.SkipEmpty = !o.KeepEmpty;
  if (!o.Form.empty()) options.OnlyForm = RequireForm(b, o.Form).Head.Name;
  bool failed = ReportProblems(*b.Browser);
  TProgressBar bar;
  const tools::TAutoResult result = b.Browser->Auto(includes, options, selection, LoadingForms(bar), [&](const std::string& problem) {
    bar.Clear();
    std::cerr << "quintrel: " << problem << "\n";
    failed = true;
  });
  bar.Clear();
  std::cout << rtl::Format(qs::_SCliAutoCounts, result.Scanned, result.Included) << "\n";
  WriteSelection(o, selection);
  if (failed) throw TExitCode{kExitFailure};
}

void Select(const TBrowseOptions& o) {
  TSelection selection = StartingSelection(o);
  TProjectBrowser b = OpenProjectBrowser(o.Target.ProjectArgument(), o.CodePage);
  std::map<const tools::TBrowserForm*, TSelectedForm> loaded;  // each form is loaded once
  for (const std::string& path : o.Paths) {
    const std::string formName = path.substr(0, path.find('.'));
    const tools::TBrowserForm& form = RequireForm(b, formName);
    auto it = loaded.find(&form);
    if (it == loaded.end()) it = loaded.emplace(&form, LoadOrFail(b, form)).first;
    const TSelectedForm& tree = it->second;
    std::vector<std::string> names;
    for (const tools::TSelectedComponent& c : tree.Components) names.push_back(c.Name);
    const tools::TSelectionPath at = tools::SplitTreePath(path, names);
    // Everything below the node named is copied, as including a node of the tree does.
    const auto include = [&](const std::string& comp, const std::string& cls, const std::vector<TSelectedProperty>& leaves) {
      bool any = false;
      for (const TSelectedProperty& p : leaves)
        if (at.Property.empty() || p.Path == at.Property) {
          selection.Add(tree.Name, tree.ClassName, comp, cls, p);
          any = true;
        }
      return any;
    };
    bool found = false;
    if (at.Component.empty()) found = include("", "", tree.Properties);
    for (const tools::TSelectedComponent& c : tree.Components)
      if (at.Property.empty() ? (at.Component.empty() || c.Name == at.Component) : c.Name == at.Component)
        found = include(c.Name, c.ClassName, c.Properties) || found;
    if (!found) throw ECommandFailed(rtl::Format(qs::_SCliNoTreeNode, form.Head.FormFile, path));
  }
  WriteSelection(o, selection);
}

void Unselect(const TBrowseOptions& o) {
  TSelection selection = ReadSelection(o.Output);
  bool catalogued = false;
  for (const std::string& path : o.Paths) {
    const std::string formName = path.substr(0, path.find('.'));
    const TSelectedForm* form = selection.FindForm(formName);
    if (form == nullptr) throw ECommandFailed(rtl::Format(qs::_SCliNoTreeNode, o.Output, path));
    std::vector<std::string> names;
    for (const tools::TSelectedComponent& c : form->Components) names.push_back(c.Name);
    const tools::TSelectionPath at = tools::SplitTreePath(path, names);
    // A property without a value is one the module catalogues: removing it removes its
    // translations at the next update.
    const auto check = [&](const std::vector<TSelectedProperty>& leaves) {
      for (const TSelectedProperty& p : leaves)
        if ((at.Property.empty() || p.Path == at.Property) && !p.HasValue()) catalogued = true;
    };
    bool removed = false;
    if (!at.Property.empty()) {
      if (const TSelectedProperty* p = selection.FindProperty(at)) {
        catalogued = catalogued || !p->HasValue();
        removed = selection.Remove(at);
      }
    } else if (!at.Component.empty()) {
      if (const auto* leaves = selection.FindProperties(at.Form, at.Component)) check(*leaves);
      removed = selection.RemoveComponent(at.Form, at.Component);
    } else {
      check(form->Properties);
      for (const tools::TSelectedComponent& c : form->Components) check(c.Properties);
      removed = selection.RemoveForm(at.Form);
    }
    if (!removed) throw ECommandFailed(rtl::Format(qs::_SCliNoTreeNode, o.Output, path));
  }
  if (catalogued && !o.Yes) {
    std::cerr << "quintrel: " << qs::_SCliRemoveInternationalized << "\n"
              << "quintrel: " << qs::_SCliAnswerWithYes << "\n";
    throw TExitCode{kExitFailure};
  }
  WriteSelection(o, selection);
}

}  // namespace

tools::TFormHeadReader ProjectFormHeads() {
  return [](const std::string& unitFile) -> std::optional<tools::TFormFileHead> {
    const std::string ext = host::ExtensionOf(unitFile);
    if (ext != ".cpp" && ext != ".pas" && ext != ".c") return std::nullopt;
    const std::string formFile = host::CompanionFile(unitFile, ".dfm");
    if (formFile.empty()) return std::nullopt;
    const host::TFormHead head = host::ReadFormHead(formFile);
    return tools::TFormFileHead{formFile, head.Name, head.ClassName, head.Binary};
  };
}

std::function<void(const tools::TBrowserForm&, std::size_t, std::size_t)> LoadingForms(TProgressBar& bar) {
  return [&bar](const tools::TBrowserForm& f, std::size_t number, std::size_t count) {
    bar.Show(rtl::Format(qs::_SCliLoadingForm, f.NodeText()), number, count);
  };
}

std::string Relative(const std::string& folder, const std::string& fileName) {
  const std::string rel = std::filesystem::path(fileName).lexically_relative(folder).string();
  return rel.empty() || rel.rfind("..", 0) == 0 ? fileName : rel;
}

TProjectBrowser OpenProjectBrowser(const std::string& project, int codePage) {
  TProjectBrowser b;
  b.Host = std::make_unique<host::TDevelopmentHost>(host::THostOptions{codePage});
  try {
    b.Host->OpenProject(project.empty() ? "." : project);
  } catch (const rtl::Exception& e) {
    throw ECommandFailed(e.Message());
  }
  tools::TBrowserOptions options;
  options.Display = &b.Host->Codec();
  b.Browser = std::make_unique<tools::TComponentBrowser>(*b.Host, ProjectFormHeads(), options);
  return b;
}

void RegisterBrowseCommands(CLI::App& app) {
  CLI::App* cmd = app.add_subcommand(
      "browse", "The component browser: the project's forms with their components and properties, and selections");
  cmd->require_subcommand(1);
  const auto verb = [cmd](const char* name, const char* description, void (*run)(const TBrowseOptions&)) {
    auto o = std::make_shared<TBrowseOptions>();
    CLI::App* sub = cmd->add_subcommand(name, description);
    sub->callback([o, run] { run(*o); });
    return std::make_pair(sub, o);
  };
  const auto codePage = [](CLI::App* sub, TBrowseOptions& o) {
    sub->add_option("--codepage", o.CodePage, "Code page of the forms' 8-bit texts (default: the ANSI code page)")
        ->check(CLI::Range(1, 65535));
  };

  auto [forms, fo] = verb("forms", "List the project's forms: name and class from the form file's head, unit position", Forms);
  fo->Target.AddProject(forms);
  forms->add_flag("--json", fo->Json, "Write JSON");

  auto [form, fm] = verb("form",
                         "List a form's properties and those of its components, as path = value text; long texts and "
                         "graphics show their attached data's size (--json: the data in base64)",
                         Form);
  fm->Target.AddProject(form);
  form->add_option("FORM", fm->Form, "The form's name")->required();
  form->add_flag("--json", fm->Json, "Write JSON");
  codePage(form, *fm);

  auto [selected, se] = verb("selected", "Show the properties the module catalogues, as a selection", Selected);
  se->Target.AddModule(selected, false);
  selected->add_flag("--json", se->Json, "Write the selection file's JSON");

  const auto output = [](CLI::App* sub, TBrowseOptions& o) {
    sub->add_option("-o,--output", o.Output, "Selection file (JSON); an existing one is edited")->required();
    sub->add_flag("--dry-run", o.DryRun, "Say what would be written without writing");
  };
  auto [autoSel, au] = verb("auto",
                            "Select every property the module's auto-include list names (indexes match [*]), adding to "
                            "the selection file, or to the module's catalogue when the file does not exist",
                            Auto);
  au->Target.AddModule(autoSel, false);
  autoSel->add_option("--form", au->Form, "Only this form");
  autoSel->add_flag("--keep-empty", au->KeepEmpty, "Also include properties with an empty value");
  output(autoSel, *au);
  codePage(autoSel, *au);

  auto [select, sl] = verb("select",
                           "Add properties to a selection: PATH is Form, Form.Component, Form.Property or "
                           "Form.Component.Property as 'browse form' shows them; a form or component brings all below it",
                           Select);
  sl->Target.AddModule(select, false);
  select->add_option("PATH", sl->Paths, "Form[.Component][.Property]")->required();
  output(select, *sl);
  codePage(select, *sl);

  auto [unselect, us] = verb("unselect",
                             "Remove properties, components or forms from a selection file; removing a property the "
                             "module catalogues needs --yes",
                             Unselect);
  unselect->add_option("PATH", us->Paths, "Form[.Component][.Property]")->required();
  output(unselect, *us);
  unselect->add_flag("--yes", us->Yes, "Answer yes: remove properties the module catalogues too");
}

}  // namespace quintrel::cli
