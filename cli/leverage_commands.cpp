#include "cli/leverage_commands.h"

#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "cli/common.h"
#include "cli/progress.h"
#include "cli/tool_options.h"
#include "cli/zod_common.h"
#include "strings/toolconsts.h"
#include "tools/leverage.h"
#include "tools/othermodule.h"

namespace quintrel::cli {

namespace {

using nlohmann::json;

struct TInspectOptions {
  TTarget Target;
  std::string File;
  bool Json = false;
};

struct TRunOptions {
  TToolOptions Tool;
  std::string File;
  std::string Into;
  std::string From;
  bool Json = false;
};

void Inspect(const TInspectOptions& o) {
  tools::TLeverageInfo info;
  try {
    info = tools::InspectLeverage(o.File, {});
  } catch (const rtl::Exception& e) {
    throw ECommandFailed(e.Message());
  }
  const bool isModule = info.Kind == tools::TLeverageKind::Module;
  if (o.Json) {
    json languages = json::array();
    for (const auto& l : info.Languages) languages.push_back({{"id", FormatLanguageId(l.Id)}, {"name", l.Name}});
    std::cout << json{{"file", o.File},
                      {"kind", isModule ? "module" : "languages"},
                      {"languages", languages},
                      {isModule ? "objects" : "entries", info.Count}}
                     .dump(2)
              << "\n";
    return;
  }
  std::cout << rtl::Format(strings::_SLeverageInspected, o.File, isModule ? "module" : "languages file") << "\n";
  for (const auto& l : info.Languages) std::cout << "  " << FormatLanguageId(l.Id) << "  " << l.Name << "\n";
  std::cout << rtl::Format(isModule ? strings::_SLeverageObjects : strings::_SLeverageEntries,
                           static_cast<int64_t>(info.Count))
            << "\n";
}

json ResultJson(const tools::TMergeResult& r) {
  return {{"walked", r.Objects},       {"taken", r.Taken},
          {"created", r.Created},      {"skippedSignedOff", r.SkippedSignedOff},
          {"skippedLocked", r.SkippedLocked}, {"untranslated", r.Untranslated},
          {"missing", r.Missing},      {"comments", r.Comments}};
}

void RunLeverage(const TRunOptions& o, tools::TToolSession& session) {
  const module::TLanguageId into = ParseLanguageId(o.Into);
  const module::TLanguageId from = o.From.empty() ? into : ParseLanguageId(o.From);
  tools::TMergeResult r;
  {
    TModuleFile check(session.WorkingModule());
    check.RequireLanguage(into);
  }
  try {
    tools::TWorkModule target(session.WorkingModule());
    TProgressBar bar;
    r = tools::Leverage(o.File, target.Index(), {session.ModuleFile(), session.WorkingModule()}, from, into,
                        bar.Callback());
  } catch (const rtl::Exception& e) {
    throw ECommandFailed(std::string(strings::_SUnSuccessfulLeverage) + ": " + e.Message());
  }
  if (r.Taken > 0 || r.Created > 0 || r.Comments > 0) session.ModuleChanged();
  if (r.CharsetsDiffer)
    std::cerr << "quintrel: " << rtl::Format(strings::_SLeverageCharsets, FormatLanguageId(from), FormatLanguageId(into))
              << "\n";
  if (o.Json) {
    json out = ResultJson(r);
    out["file"] = o.File;
    std::cout << out.dump(2) << "\n";
    return;
  }
  std::cout << rtl::Format(strings::_SLeverageCounts, r.Taken, r.Created, r.Skipped(), r.SkippedSignedOff,
                           r.SkippedLocked, r.Untranslated)
            << "\n"
            << strings::_SSuccessfulLeverage << "\n";
}

}  // namespace

void RegisterLeverageCommands(CLI::App& app) {
  CLI::App* cmd = app.add_subcommand(
      "leverage", "Take translations over from another module (.zod) or an old languages file (.lan) into the "
                  "project's module, matched by form, component and property names");
  cmd->require_subcommand(1);

  auto inspect = std::make_shared<TInspectOptions>();
  CLI::App* inspectCmd = cmd->add_subcommand(
      "inspect", "Show what a file offers: for a module its languages and number of objects, for a languages file "
                 "its languages and number of entries");
  inspectCmd->add_option("FILE", inspect->File, "A module (.zod) or languages file (.lan)")->required();
  inspectCmd->add_flag("--json", inspect->Json, "Print {file, kind, languages: [{id, name}], objects|entries}");
  inspectCmd->callback([inspect] { Inspect(*inspect); });

  auto run = std::make_shared<TRunOptions>();
  CLI::App* runCmd = cmd->add_subcommand(
      "run", "Take the file's texts of language --from (default: --into) as the module's texts of --into, for "
             "review. Missing forms, components, properties and objects are added; locked objects and signed-off "
             "texts are left as they are and counted. The project's own module is refused as a source");
  runCmd->add_option("FILE", run->File, "A module (.zod) or languages file (.lan)")->required();
  runCmd->add_option("--into", run->Into, "The module's language to write (de, $0407, ...)")->required();
  runCmd->add_option("--from", run->From, "The file's language to read; default the same as --into");
  runCmd->add_flag("--json", run->Json,
                   "Print the counts as JSON: walked, taken, created, skippedSignedOff, skippedLocked, "
                   "untranslated, missing, comments");
  run->Tool.Add(runCmd, true, false);
  runCmd->callback([run] { run->Tool.Run([&](tools::TToolSession& session) { RunLeverage(*run, session); }); });
}

}  // namespace quintrel::cli
