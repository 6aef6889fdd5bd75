#include "cli/quality_commands.h"

#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/browse_commands.h"
#include "cli/common.h"
#include "cli/progress.h"
#include "cli/texts.h"
#include "cli/tool_options.h"
#include "cli/zod_common.h"
#include "strings/toolconsts.h"
#include "tools/pseudo.h"
#include "tools/validate.h"

namespace quintrel::cli {

namespace {

namespace qs = quintrel::strings;

// --- pseudo ----------------------------------------------------------------------------------

struct TPseudoCommand {
  TToolOptions Tool;
  std::string Text = "Sample text";
  std::string Charset = "00";
  std::string Form;
  bool All = false;
  int Expand = 20;
};

uint8_t PseudoCharset(const std::string& given) {
  std::string offered;
  for (const std::string& entry : tools::PseudoCharsets()) {
    if (given.size() == 2 && std::equal(given.begin(), given.end(), entry.begin(),
                                        [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; }))
      return static_cast<uint8_t>(std::stoul(entry.substr(0, 2), nullptr, 16));
    offered += (offered.empty() ? "" : ", ") + entry;
  }
  throw ECommandFailed(rtl::Format(qs::_SPseudoBadCharset, given, offered));
}

void RegisterPseudo(CLI::App& app) {
  auto o = std::make_shared<TPseudoCommand>();
  CLI::App* cmd = app.add_subcommand(
      "pseudo", "Pseudo translate: the language -- (\"Pseudo Test Language\") gets, for every text of the chosen "
                "forms, the replacement text repeated to the design text's length plus the expansion, for review");
  o->Tool.Add(cmd, true, false);
  cmd->add_option("--text", o->Text, "The replacement text (default \"Sample text\"); never empty");
  cmd->add_option("--charset", o->Charset, "The language's character set, two hexadecimal digits (00 ANSI, CC "
                                           "Russian, 80 Shift-JIS, ...; default 00)");
  auto* form = cmd->add_option("--form", o->Form, "Only this form of the module (ignoring case)");
  cmd->add_flag("--all", o->All, "Every form of the module (the default)")->excludes(form);
  cmd->add_option("--expand", o->Expand, "Text expansion in percent: 0, 20, 50 or 100 (default 20)")
      ->check(CLI::IsMember({0, 20, 50, 100}));
  cmd->callback([o] {
    tools::TPseudoOptions options;
    options.Text = StoredText(o->Text, "--text");
    if (options.Text.empty()) throw ECommandFailed(qs::_SPseudoEmptyText);
    options.Charset = PseudoCharset(o->Charset);
    options.Form = o->Form;
    options.Expansion = o->Expand;
    o->Tool.Run([&](tools::TToolSession& session) {
      TModuleFile file(session.WorkingModule());
      WarnLostCharacters(session.ModuleFile(), tools::kPseudoLanguage, options.Charset, options.Text);
      TProgressBar bar;
      const tools::TPseudoResult result = tools::PseudoTranslate(file.Zod(), file.Index(), options, bar.Callback());
      bar.Clear();
      session.ModuleChanged();
      std::cerr << "quintrel: "
                << rtl::Format(qs::_SPseudoDone, static_cast<int>(result.Terms), static_cast<int>(result.Forms), "--")
                << "\n";
    });
  });
}

// --- validate --------------------------------------------------------------------------------

struct TValidateCommand {
  TTarget Target;
  std::string Language;
  std::string Form;
  std::string Checks;
  bool Json = false;
};

void Validate(const TValidateCommand& o) {
  tools::TValidateOptions options;
  options.Language = ParseLanguageId(o.Language);
  if (!o.Checks.empty()) {
    try {
      options.Checks = tools::ParseChecks(o.Checks);
    } catch (const rtl::Exception& e) {
      throw ECommandFailed(e.Message());
    }
  }
  TModuleFile file(o.Target.ModuleFile(), TModuleFile::TAccess::ReadOnly);
  file.RequireLanguage(options.Language);
  TProjectBrowser project = OpenProjectBrowser(o.Target.ProjectArgument());
  tools::TValidateReport report;
  {
    TProgressBar bar;
    report = tools::ValidateProject(*project.Host, file.Zod(), file.Index(), options, o.Form, bar.Callback());
  }
  for (const std::string& problem : report.Problems) std::cerr << "quintrel: " << problem << "\n";
  if (!o.Form.empty() && report.Forms == 0)
    throw ECommandFailed(rtl::Format(qs::_SPseudoNoForm, o.Form));
  if (o.Json) {
    nlohmann::json list = nlohmann::json::array();
    for (const tools::TFinding& f : report.Findings)
      list.push_back({{"form", f.Form}, {"component", f.Component}, {"property", f.Property}, {"message", f.Message}});
    std::cout << list.dump(2) << "\n";
  } else {
    for (const tools::TFinding& f : report.Findings)
      std::cout << f.Form << " " << f.Component << "." << f.Property << ": " << f.Message << "\n";
  }
  std::cerr << "quintrel: "
            << rtl::Format(qs::_SValidateSummary, static_cast<int>(report.Findings.size()),
                           static_cast<int>(report.Forms), FormatLanguageId(options.Language))
            << "\n";
  if (!report.Findings.empty() || !report.Problems.empty()) throw TExitCode{kExitFailure};
}

void RegisterValidate(CLI::App& app) {
  auto o = std::make_shared<TValidateCommand>();
  CLI::App* cmd = app.add_subcommand(
      "validate", "Check a language against the project's forms: captions clipped by their controls (measured with "
                  "the controls' fonts), bad or duplicated accelerators, autosized labels growing onto other controls, "
                  "pictures larger than their images. One line per finding: form, component.property, message; exit "
                  "status 1 when anything is found");
  o->Target.AddModule(cmd, false);
  cmd->add_option("--lang", o->Language, "The language to check (two characters, -- for the pseudo language)")
      ->required();
  cmd->add_option("--form", o->Form, "Only this form (ignoring case)");
  cmd->add_option("--checks", o->Checks,
                  "The checks, separated by commas: ampersand, clipping, accelerators, autosize, pictures (default all)");
  cmd->add_flag("--json", o->Json, "Print a JSON array of findings: form, component, property, message");
  cmd->callback([o] { Validate(*o); });
}

}  // namespace

void RegisterQualityCommands(CLI::App& app) {
  RegisterPseudo(app);
  RegisterValidate(app);
}

}  // namespace quintrel::cli
