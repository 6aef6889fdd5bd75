#include "cli/isolate_commands.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/common.h"
#include "cli/output_file.h"
#include "cli/progress.h"
#include "cli/resstr_commands.h"
#include "cli/texts.h"
#include "cli/tool_options.h"
#include "cli/usage.h"
#include "cli/zod_common.h"
#include "strings/reportconsts.h"
#include "strings/toolconsts.h"
#include "platform/ide/project.h"
#include "platform/rtl/utf8.h"
#include "storage/vardbs.h"
#include "tools/isolate.h"
#include "tools/isolatediff.h"
#include "tools/resstr.h"
#include "tools/sourcescan.h"

namespace quintrel::cli {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// The scan options every command that scans shares.
struct TScanArguments {
  void Add(CLI::App* command) {
    command->add_option("--min-length", Options.MinLength,
                        "Literals whose text, trimmed, is shorter are passed over (default 2)")
        ->check(CLI::Range(1, 1 << 20));
    command->add_flag("--no-consts", NoConstants, "Leave out the string constants");
    command->add_flag("--no-literals", NoLiterals, "Leave out the hard-coded literals");
  }
  tools::TScanOptions Scan() const {
    tools::TScanOptions o = Options;
    o.Constants = !NoConstants;
    o.Literals = !NoLiterals;
    return o;
  }
  tools::TScanOptions Options;
  bool NoConstants = false;
  bool NoLiterals = false;
};

// The file names of the resource-string units and of the constants units of scripts.
std::vector<std::string> ResourceUnitFiles(tools::TResStringManager& manager) {
  std::vector<std::string> names;
  for (const tools::TResUnit& u : manager.Units()) {
    names.push_back(u.Name);
    if (u.Kind == tools::TResUnitKind::Script) {
      const std::string stem = fs::path(u.Name).stem().string();
      names.push_back(stem + ".pas");
      names.push_back(stem + ".inc");
    }
  }
  return names;
}

std::string ShownUnit(const tools::TToolSession& session, const std::string& path) {
  const fs::path relative = fs::path(path).lexically_relative(session.Project().Folder());
  return relative.empty() || relative.string().rfind("..", 0) == 0 ? path : relative.string();
}

const char* PlaceName(tools::TLiteralPlace place) {
  switch (place) {
    case tools::TLiteralPlace::Heading: return "heading";
    case tools::TLiteralPlace::CaseLabel: return "case-label";
    default: return "code";
  }
}

// Warns about a literal no resource string can stand for.
void WarnPlace(const std::string& unit, const tools::TSourceFinding& f) {
  if (f.Place == tools::TLiteralPlace::Code) return;
  std::cerr << "quintrel: "
            << rtl::Format(f.Place == tools::TLiteralPlace::Heading ? strings::_SScanHeadingLiteral
                                                                      : strings::_SScanCaseLabel,
                           unit, f.Line)
            << "\n";
}

void RegisterScanSources(CLI::App* intl) {
  auto options = std::make_shared<TToolOptions>();
  auto scan = std::make_shared<TScanArguments>();
  auto asJson = std::make_shared<bool>(false);
  CLI::App* cmd = intl->add_subcommand(
      "scan-sources",
      "List the hard-coded texts of the project's Pascal and C++ units: string constants (const and resourcestring "
      "declarations) and literals, leaving out the resource-string units and every text whose line carries "
      "//DO NOT LOCALIZE after it. Lines: const UNIT LINE IDENT VALUE, literal UNIT LINE OFFSET TEXT");
  options->Add(cmd, false, false);
  scan->Add(cmd);
  cmd->add_flag("--json", *asJson,
                "Print a JSON object: constants (unit, index, line, identifier, value, start, end) and literals (unit, "
                "index, line, start, end, text, place)");
  cmd->callback([=] {
    bool failed = false;
    options->Run([&](tools::TToolSession& session) {
      TResStrRun run(session);
      tools::TScanReport report;
      {
        TProgressBar bar;
        report = tools::ScanProject(session, ResourceUnitFiles(run.Manager), run.Manager.Charset(), scan->Scan(),
                                    bar.Callback());
      }
      json constants = json::array(), literals = json::array();
      for (const tools::TSourceFinding& f : report.Findings) {
        const std::string unit = ShownUnit(session, f.Unit);
        if (f.Kind == tools::TFindingKind::Constant) {
          if (*asJson)
            constants.push_back({{"unit", unit}, {"index", f.UnitIndex}, {"line", f.Line}, {"identifier", f.Identifier},
                                 {"value", Utf8(f.Text)}, {"start", f.Start}, {"end", f.End}});
          else
            std::cout << "const\t" << unit << "\t" << f.Line << "\t" << f.Identifier << "\t" << EscapedText(f.Text)
                      << "\n";
          continue;
        }
        WarnPlace(unit, f);
        if (*asJson)
          literals.push_back({{"unit", unit}, {"index", f.UnitIndex}, {"line", f.Line}, {"start", f.Start},
                              {"end", f.End}, {"text", Utf8(f.Text)}, {"place", PlaceName(f.Place)}});
        else
          std::cout << "literal\t" << unit << "\t" << f.Line << "\t" << f.Start << "\t" << EscapedText(f.Text) << "\n";
      }
      if (*asJson) std::cout << json{{"constants", constants}, {"literals", literals}}.dump(2) << "\n";
      for (const std::string& problem : report.Problems) std::cerr << "quintrel: " << problem << "\n";
      failed = !report.Problems.empty();
    });
    if (failed) throw TExitCode{kExitFailure};
  });
}

// --- isolate ---------------------------------------------------------------------------------

// The target a plan proposes: the unit asked for (registered when the plan is applied),
// else the module's first Pascal resource-string unit, else its first.
std::string DefaultTarget(tools::TResStringManager& manager, const std::string& asked) {
  if (!asked.empty()) {
    const std::string name = fs::path(asked).filename().string();
    if (tools::ResUnitKind(name) == tools::TResUnitKind::None)
      throw ECommandFailed(rtl::Format(strings::_SResStrUnitKind, asked));
    return name;
  }
  const std::vector<tools::TResUnit> units = manager.Units();
  for (const tools::TResUnit& u : units)
    if (u.Kind == tools::TResUnitKind::Pascal) return u.Name;
  if (!units.empty()) return units.front().Name;
  throw ECommandFailed(strings::_SIsolateNoTarget);
}

void RegisterPlan(CLI::App* isolate) {
  auto options = std::make_shared<TToolOptions>();
  auto scan = std::make_shared<TScanArguments>();
  auto output = std::make_shared<std::string>();
  auto target = std::make_shared<std::string>();
  CLI::App* cmd = isolate->add_subcommand(
      "plan", "Scan the project's units as intl scan-sources does and write the plan: one row per text with the "
              "identifier proposed (S and the object id reserved in the module for it, shared by equal texts; a "
              "constant keeps its name), the target unit and the action (isolate, ignore, mark). "
              "docs/formats/isolate-plan.md describes the file");
  options->Add(cmd, false, false);
  scan->Add(cmd);
  cmd->add_option("-o,--output", *output, "The plan file to write")->required();
  cmd->add_option("--unit", *target,
                  "The resource-string unit the texts go to (NAME.pas or NAME.rc; registered when the plan is "
                  "applied); default the module's first .pas resource-string unit");
  cmd->callback([=] {
    options->Run([&](tools::TToolSession& session) {
      TResStrRun run(session);
      const std::string unit = DefaultTarget(run.Manager, *target);
      tools::TScanReport report;
      {
        TProgressBar bar;
        report = tools::ScanProject(session, ResourceUnitFiles(run.Manager), run.Manager.Charset(), scan->Scan(),
                                    bar.Callback());
      }
      for (const std::string& problem : report.Problems) std::cerr << "quintrel: " << problem << "\n";
      if (!report.Problems.empty()) throw ECommandFailed(rtl::Format(strings::_SIsolateNoPlan, *output));
      // The ids the plan reserves are kept only when the plan that names them was written.
      storage::TUpdateBracket update(run.File.Zod().GetModuleInterface(run.File.Index()));
      const tools::TIsolatePlan plan =
          tools::MakePlan(session, run.File.Zod(), run.File.Index(), report, unit, run.Manager.Charset());
      for (const tools::TSourceFinding& f : report.Findings) WarnPlace(ShownUnit(session, f.Unit), f);
      WriteOutputFile(*output, tools::PlanJson(plan));
      update.Commit();
      std::cout << rtl::Format(strings::_SIsolatePlanWritten, *output, static_cast<int>(plan.Rows.size()),
                               static_cast<int>(plan.Units.size()), unit)
                << "\n";
      if (!plan.Rows.empty())
        std::cout << rtl::Format(strings::_SPlanReservedIds, run.File.FileName(), static_cast<int>(plan.Rows.size()))
                  << "\n";
    });
  });
}

void RegisterRename(CLI::App* isolate) {
  auto planFile = std::make_shared<std::string>();
  auto row = std::make_shared<int>(0);
  auto ident = std::make_shared<std::string>();
  auto all = std::make_shared<bool>(false);
  CLI::App* cmd = isolate->add_subcommand(
      "rename", "Give a row of the plan another identifier; --rename-all gives it to every row that shared the old one");
  cmd->add_option("--plan", *planFile, "The plan file")->required();
  cmd->add_option("ROW", *row, "The row's id")->required();
  cmd->add_option("IDENT", *ident, "The new identifier")->required();
  cmd->add_flag("--rename-all", *all, "Rename every row with the same identifier (the answer yes to: \"" +
                                          std::string(strings::_SIsolateRenameQuestion) + "\")");
  cmd->callback([=] {
    try {
      tools::TIsolatePlan plan = tools::ReadPlanFile(*planFile);
      std::string old;
      for (const tools::TPlanRow& r : plan.Rows)
        if (r.Id == *row) old = r.Identifier;
      const size_t others = tools::RenameIdentifier(plan, *row, *ident, *all);
      WriteOutputFile(*planFile, tools::PlanJson(plan));
      std::cout << rtl::Format(strings::_SIsolateRenamedRows, *planFile, static_cast<int>(*all ? others + 1 : 1), *ident)
                << "\n";
      if (others && !*all)
        std::cerr << "quintrel: " << rtl::Format(strings::_SIsolateRenameKept, static_cast<int>(others), old) << "\n";
    } catch (const rtl::Exception& e) {
      throw ECommandFailed(e.Message());
    }
  });
}

void RegisterSet(CLI::App* isolate) {
  auto planFile = std::make_shared<std::string>();
  auto action = std::make_shared<std::string>();
  auto rows = std::make_shared<std::vector<int>>();
  auto units = std::make_shared<std::vector<std::string>>();
  CLI::App* cmd = isolate->add_subcommand(
      "set", "Give rows of the plan an action: isolate (move the text), ignore (leave it) or mark (leave it and add "
             "//DO NOT LOCALIZE to its line, so later scans pass it over), by row id or every row of a unit");
  cmd->add_option("--plan", *planFile, "The plan file")->required();
  cmd->add_option("ACTION", *action, "isolate, ignore or mark")->required()->check(CLI::IsMember({"isolate", "ignore", "mark"}));
  cmd->add_option("ROW", *rows, "The rows' ids");
  cmd->add_option("--unit", *units, "Every row of this unit (as the plan names it; repeatable)");
  cmd->callback([=] {
    if (rows->empty() && units->empty()) throw EUsage(strings::_SIsolateSetNothing, cmd);
    try {
      tools::TIsolatePlan plan = tools::ReadPlanFile(*planFile);
      const size_t count = tools::SetAction(plan, *tools::ParseAction(*action), *rows, *units);
      WriteOutputFile(*planFile, tools::PlanJson(plan));
      std::cout << rtl::Format(strings::_SIsolateActionSet, *planFile, static_cast<int>(count), *action) << "\n";
    } catch (const rtl::Exception& e) {
      throw ECommandFailed(e.Message());
    }
  });
}

tools::TOnUnquoted ParseOnUnquoted(const std::string& value) {
  return value == "proceed" ? tools::TOnUnquoted::Proceed
         : value == "skip"  ? tools::TOnUnquoted::Skip
                            : tools::TOnUnquoted::Cancel;
}

void AddOnUnquoted(CLI::App* cmd, std::string& value) {
  cmd->add_option("--on-unquoted", value,
                  "When a planned span does not hold its literal or declaration (the unit was edited by hand, or the "
                  "plan): proceed (replace it all the same), skip (leave the row, catalogue included) or cancel "
                  "(change nothing at all; the default)")
      ->check(CLI::IsMember({"proceed", "skip", "cancel"}));
}

void PrintProblems(const tools::TApplyReport& report) {
  for (const std::string& w : report.Warnings) std::cerr << "quintrel: " << w << "\n";
  for (const std::string& e : report.Errors) std::cerr << "quintrel: " << e << "\n";
}

void RegisterPreview(CLI::App* isolate) {
  auto target = std::make_shared<TTarget>();
  auto planFile = std::make_shared<std::string>();
  auto onUnquoted = std::make_shared<std::string>("cancel");
  CLI::App* cmd = isolate->add_subcommand(
      "preview", "Show what isolate apply would change as a unified diff of every unit and resource-string unit "
                 "(texts shown as UTF-8); nothing is written");
  target->AddModule(cmd, false);
  cmd->add_option("--plan", *planFile, "The plan file")->required();
  AddOnUnquoted(cmd, *onUnquoted);
  cmd->callback([=] {
    bool failed = false;
    try {
      const tools::TIsolatePlan plan = tools::ReadPlanFile(*planFile);
      tools::TToolSession session(target->ProjectArgument(), target->ModuleFile(), {true, true});
      TResStrRun run(session);
      const tools::TApplyReport report =
          tools::ApplyPlan(session, run.File.Zod(), run.File.Index(), plan, ParseOnUnquoted(*onUnquoted));
      const int charset = run.Manager.Charset();
      const auto show = [charset](std::string_view line) {
        return rtl::WideToUtf8(tools::DecodeText(line, charset));
      };
      for (const std::string& file : report.Files) {
        const std::optional<std::string> now = session.Read(file);
        std::error_code ec;
        const std::string before = fs::is_regular_file(file, ec) ? host::ReadFileBytes(file) : std::string();
        const std::string name = ShownUnit(session, file);
        std::cout << tools::UnifiedDiff(before, now.value_or(std::string()), "a/" + name, "b/" + name, 3, show);
      }
      PrintProblems(report);
      failed = !report.Errors.empty();
    } catch (const rtl::Exception& e) {
      throw ECommandFailed(e.Message());
    }
    if (failed) throw TExitCode{kExitFailure};
  });
}

void RegisterApply(CLI::App* isolate) {
  auto options = std::make_shared<TToolOptions>();
  auto planFile = std::make_shared<std::string>();
  auto onUnquoted = std::make_shared<std::string>("cancel");
  CLI::App* cmd = isolate->add_subcommand(
      "apply", "Rewrite the units as the plan says (literal -> identifier, constant -> removed into the resource "
               "unit, marker at the line's end, the resource unit named in the interface uses clause or #included), "
               "add the strings to the resource-string units and catalogue them; each unit gets its backup (.~pa) "
               "and is rewritten whole or not at all");
  options->Add(cmd, true, true);
  cmd->add_option("--plan", *planFile, "The plan file")->required();
  AddOnUnquoted(cmd, *onUnquoted);
  cmd->callback([=] {
    bool failed = false;
    options->Run([&](tools::TToolSession& session) {
      session.Confirm(strings::_SIsolateCommitQuestion);
      const tools::TIsolatePlan plan = tools::ReadPlanFile(*planFile);
      TResStrRun run(session);
      const tools::TApplyReport report =
          tools::ApplyPlan(session, run.File.Zod(), run.File.Index(), plan, ParseOnUnquoted(*onUnquoted));
      for (const std::string& line : report.Units) std::cout << line << "\n";
      PrintProblems(report);
      failed = !report.Errors.empty();
    });
    if (failed) throw TExitCode{kExitFailure};
  });
}

}  // namespace

void RegisterScanSourcesCommand(CLI::App* intl) { RegisterScanSources(intl); }

void RegisterIsolateCommands(CLI::App& app) {
  CLI::App* isolate = app.add_subcommand(
      "isolate", "Move hard-coded texts of the project's units into a resource-string unit the module catalogues: "
                 "plan, rename, set, preview, apply");
  isolate->require_subcommand(1);
  RegisterPlan(isolate);
  RegisterRename(isolate);
  RegisterSet(isolate);
  RegisterPreview(isolate);
  RegisterApply(isolate);
}

}  // namespace quintrel::cli
