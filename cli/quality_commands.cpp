#include "cli/quality_commands.h"

#include <iostream>
#include <functional>
#include <memory>
#include <optional>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/browse_commands.h"
#include "cli/common.h"
#include "cli/progress.h"
#include "cli/texts.h"
#include "cli/tool_options.h"
#include "cli/zod_common.h"
#include "platform/vcl/textutil.h"
#include "strings/toolconsts.h"
#include "cli/term_commands.h"
#include "tools/accel.h"
#include "tools/intlobjects.h"
#include "tools/pseudo.h"
#include "tools/signoff.h"
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
                << rtl::Format(qs::_SPseudoDone, static_cast<int>(result.Terms), Noun(result.Terms, "term", "terms"),
                               static_cast<int>(result.Forms), Noun(result.Forms, "form", "forms"),
                               static_cast<int>(result.Units),
                               Noun(result.Units, "resource-string unit", "resource-string units"), "--")
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
                           Noun(report.Findings.size(), "finding", "findings"), static_cast<int>(report.Forms),
                           Noun(report.Forms, "form", "forms"), FormatLanguageId(options.Language))
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

// --- status / signoff / unlock -----------------------------------------------------------------

// The leaves below a path of the object tree; fails naming what the tree holds instead.
std::vector<const tools::TObjectLeaf*> Leaves(const std::vector<tools::TObjectForm>& tree, const std::string& path,
                                              const std::string& moduleFile) {
  try {
    return tools::LeavesOfPath(tree, path);
  } catch (const tools::EObjectPathError& e) {
    throw ECommandFailed(rtl::Format(qs::_SCliObjectPath, moduleFile, e.Message()));
  }
}

std::string NodeStatusName(const std::optional<uint8_t>& status) { return status ? StatusName(*status) : "mixed"; }

struct TStatusCommand {
  TTarget Target;
  std::string Language;
  std::string Path;
  bool Json = false;
};

void Status(const TStatusCommand& o) {
  TModuleFile file(o.Target.ModuleFile(), TModuleFile::TAccess::ReadOnly);
  const module::TLanguageId language = file.Language(o.Language);
  const std::vector<tools::TObjectForm> tree = tools::ObjectTree(file.Zod(), file.Index());
  nlohmann::json nodes = nlohmann::json::array();
  auto show = [&](const std::string& path, const std::vector<const tools::TObjectLeaf*>& leaves, bool properties) {
    const std::vector<tools::TLeafStatus> statuses = tools::LeafStatuses(file.Zod(), file.Index(), language, leaves);
    const std::optional<uint8_t> common = tools::CommonStatus(statuses);
    nlohmann::json list = nlohmann::json::array();
    if (!o.Json)
      std::cout << path << ": " << NodeStatusName(common) << " (" << statuses.size() << " properties)\n";
    for (const tools::TLeafStatus& s : statuses) {
      if (!properties) break;
      const std::string name = s.Leaf->Component.empty() ? s.Leaf->Property : s.Leaf->Component + "." + s.Leaf->Property;
      if (o.Json)
        list.push_back({{"property", name}, {"status", StatusName(s.Status)}, {"term", s.HasTerm}});
      else
        std::cout << "  " << name << ": " << StatusName(s.Status) << (s.HasTerm ? "" : " (no term)") << "\n";
    }
    if (o.Json) {
      nlohmann::json node = {{"path", path}, {"status", common ? nlohmann::json(StatusName(*common)) : nullptr},
                             {"count", statuses.size()}};
      if (properties) node["properties"] = list;
      nodes.push_back(node);
    }
  };
  if (o.Path.empty()) {
    for (const tools::TObjectForm& form : tree) {
      std::vector<const tools::TObjectLeaf*> leaves;
      for (const tools::TObjectLeaf& leaf : form.Leaves) leaves.push_back(&leaf);
      show(form.Name, leaves, false);
    }
  } else {
    show(o.Path, Leaves(tree, o.Path, file.FileName()), true);
  }
  if (o.Json) std::cout << nodes.dump(2) << "\n";
}

struct TSignOffCommand {
  TToolOptions Tool;
  std::string Language;
  std::vector<std::string> Paths;
};

// Runs `change` on the leaves of every path and reports the count with `report`.
void ChangeStatus(const TSignOffCommand& o, const char* report,
                  const std::function<std::size_t(module::TZod&, int, module::TLanguageId,
                                                  const std::vector<const tools::TObjectLeaf*>&)>& change,
                  const char* question) {
  const module::TLanguageId language = ParseLanguageId(o.Language);
  o.Tool.Run([&](tools::TToolSession& session) {
    TModuleFile file(session.WorkingModule());
    file.RequireLanguage(language);
    const std::vector<tools::TObjectForm> tree = tools::ObjectTree(file.Zod(), file.Index());
    std::vector<const tools::TObjectLeaf*> leaves;
    for (const std::string& path : o.Paths) {
      const auto found = Leaves(tree, path, session.ModuleFile());
      leaves.insert(leaves.end(), found.begin(), found.end());
    }
    if (question) session.Confirm(question);
    const std::size_t changed = change(file.Zod(), file.Index(), language, leaves);
    if (changed > 0) session.ModuleChanged();
    std::cerr << "quintrel: " << rtl::Format(report, static_cast<int>(changed), FormatLanguageId(language)) << "\n";
  });
}

void RegisterSignOff(CLI::App& app) {
  auto st = std::make_shared<TStatusCommand>();
  CLI::App* status = app.add_subcommand(
      "status", "Show the translation status of a language: each form's status (when all its properties share one, "
                "else mixed) and property count, or with PATH (Form, Form.Component, Form.Component.Property) the "
                "node's and each property's");
  st->Target.AddModule(status, false);
  status->add_option("--lang", st->Language, "The language")->required();
  status->add_option("PATH", st->Path, "A form, component or property of the catalogue");
  status->add_flag("--json", st->Json, "Print a JSON array of nodes: path, status (null: mixed), count, properties");
  status->callback([st] { Status(*st); });

  auto so = std::make_shared<TSignOffCommand>();
  CLI::App* signoff = app.add_subcommand(
      "signoff", "Sign off the translations below each PATH in a language: they are finished, and importing or "
                 "leveraging leaves them alone until unlocked. Only translated properties can be signed off");
  so->Tool.Add(signoff, true, false);
  signoff->add_option("--lang", so->Language, "The language")->required();
  signoff->add_option("PATH", so->Paths, "Forms, components or properties of the catalogue")->required();
  signoff->callback([so] {
    ChangeStatus(*so, qs::_SSignedOff,
                 [](module::TZod& zod, int m, module::TLanguageId l, const std::vector<const tools::TObjectLeaf*>& v) {
                   return tools::SignOff(zod, m, l, v);
                 },
                 nullptr);
  });

  auto un = std::make_shared<TSignOffCommand>();
  CLI::App* unlock = app.add_subcommand(
      "unlock", "Unlock the signed-off translations below PATH in a language: they become for review again");
  un->Tool.Add(unlock, true, true);
  unlock->add_option("--lang", un->Language, "The language")->required();
  unlock->add_option("PATH", un->Paths, "A form, component or property of the catalogue")->required()->expected(1);
  unlock->callback([un] {
    ChangeStatus(*un, qs::_SUnlocked,
                 [](module::TZod& zod, int m, module::TLanguageId l, const std::vector<const tools::TObjectLeaf*>& v) {
                   return tools::Unlock(zod, m, l, v);
                 },
                 qs::_SUnlockQuestion);
  });
}

// --- accel --------------------------------------------------------------------------------------

struct TAccelCommand {
  TToolOptions Tool;
  std::string Form;
  std::string Path;
  std::string Language;
  std::string Text;
  bool Json = false;
};

// The rows of the form, grouped as its live form shows them when the project has it.
std::vector<tools::TAccelRow> Rows(tools::TToolSession& session, TModuleFile& file, const std::string& form,
                                   module::TLanguageId language) {
  const vcl::TComponent* live = nullptr;
  std::optional<TProjectBrowser> project;
  try {
    project.emplace(OpenProjectBrowser(session.Project().ProjectFile()));
    if (const tools::TBrowserForm* f = project->Browser->FindForm(form))
      if (project->Host->IsFileOpen(f->UnitFile) || project->Host->OpenFile(f->UnitFile))
        live = tools::ShownForm(*project->Host, f->UnitFile);
  } catch (const std::exception&) {
    live = nullptr;  // without the live form, menus and controls are one group each
  }
  try {
    return tools::AccelRows(file.Zod(), file.Index(), form, language, live);
  } catch (const rtl::Exception& e) {
    throw ECommandFailed(session.ModuleFile() + ": " + e.Message());
  }
}

void PrintRows(const std::vector<tools::TAccelRow>& rows, bool asJson) {
  nlohmann::json list = nlohmann::json::array();
  for (const tools::TAccelRow& row : rows) {
    if (asJson)
      list.push_back({{"component", row.Component}, {"property", "Caption"}, {"object", row.Object},
                      {"term", row.Term}, {"text", Utf8(row.Text)}, {"mark", row.Mark}, {"signedOff", row.SignedOff}});
    else
      std::cout << row.Component << ".Caption\t" << EscapedText(row.Text) << "\t" << row.Mark << "\n";
  }
  if (asJson) std::cout << list.dump(2) << "\n";
}

// The row a path (Form.Component or Form.Component.Caption) names.
tools::TAccelRow& RowOf(std::vector<tools::TAccelRow>& rows, const std::string& path) {
  const std::size_t dot = path.find('.');
  std::string component = dot == std::string::npos ? std::string() : path.substr(dot + 1);
  if (component.size() > 8 && vcl::SameText(component.substr(component.size() - 8), ".Caption"))
    component.resize(component.size() - 8);
  std::string names;
  for (tools::TAccelRow& row : rows) {
    if (vcl::SameText(row.Component, component)) return row;
    names += (names.empty() ? "" : ", ") + row.Component;
  }
  throw ECommandFailed(rtl::Format(qs::_SAccelNoCaption, path, names.empty() ? "none" : names));
}

void Store(tools::TToolSession& session, TModuleFile& file, module::TLanguageId language,
           std::vector<tools::TAccelRow>& rows) {
  const std::size_t stored = tools::StoreAccelerators(file.Zod(), file.Index(), language, rows);
  if (stored > 0) session.ModuleChanged();
  std::cerr << "quintrel: " << rtl::Format(qs::_SAccelAssigned, static_cast<int>(stored), FormatLanguageId(language))
            << "\n";
}

void RegisterAccel(CLI::App& app) {
  CLI::App* accel = app.add_subcommand(
      "accel", "Keyboard accelerators of one form's captions in one language: list them with their collisions, "
               "assign them, set or clear one");
  accel->require_subcommand(1);
  const auto verb = [accel](const char* name, const char* description, bool changes, bool path) {
    auto o = std::make_shared<TAccelCommand>();
    CLI::App* cmd = accel->add_subcommand(name, description);
    o->Tool.Add(cmd, changes, false);
    cmd->add_option("--lang", o->Language, "The language")->required();
    if (path)
      cmd->add_option("PATH", o->Path, "The caption: Form.Component or Form.Component.Caption")->required();
    else
      cmd->add_option("--form", o->Form, "The form (ignoring case)")->required();
    return std::make_pair(cmd, o);
  };

  auto [list, l] = verb("list", "One line per caption: component.Caption, the text, and OK, the number of its "
                                "collision, or nothing without an accelerator", false, false);
  list->add_flag("--json", l->Json, "Print a JSON array: component, property, object, term, text, mark, signedOff");
  list->callback([o = l] {
    const module::TLanguageId language = ParseLanguageId(o->Language);
    o->Tool.Run([&](tools::TToolSession& session) {
      TModuleFile file(session.WorkingModule(), TModuleFile::TAccess::ReadOnly);
      file.RequireLanguage(language);
      PrintRows(Rows(session, file, o->Form, language), o->Json);
    });
  });

  auto [assign, a] = verb("assign-all", "Give every caption without an accelerator one (its first character no "
                                        "caption of its menu level or parent took), moving another's when all are "
                                        "taken; signed-off captions and separators are left alone", true, false);
  assign->callback([o = a] {
    const module::TLanguageId language = ParseLanguageId(o->Language);
    o->Tool.Run([&](tools::TToolSession& session) {
      TModuleFile file(session.WorkingModule());
      file.RequireLanguage(language);
      std::vector<tools::TAccelRow> rows = Rows(session, file, o->Form, language);
      tools::AssignAccelerators(rows);
      Store(session, file, language, rows);
      PrintRows(rows, false);
    });
  });

  const auto single = [&verb](const char* name, const char* description, bool set) {
    auto [cmd, o] = verb(name, description, true, true);
    if (set) cmd->add_option("TEXT", o->Text, "The caption with its accelerator")->required();
    cmd->callback([o = o, set] {
      const module::TLanguageId language = ParseLanguageId(o->Language);
      o->Tool.Run([&](tools::TToolSession& session) {
        TModuleFile file(session.WorkingModule());
        file.RequireLanguage(language);
        std::vector<tools::TAccelRow> rows = Rows(session, file, o->Path.substr(0, o->Path.find('.')), language);
        tools::TAccelRow& row = RowOf(rows, o->Path);
        if (row.SignedOff) throw ECommandFailed(rtl::Format(qs::_SAccelSignedOff, o->Path));
        const std::u16string text = set ? StoredText(o->Text, "TEXT") : tools::ClearAccelerator(row.Text);
        if (tools::DisplayedCaption(text) != tools::DisplayedCaption(row.Text))
          throw ECommandFailed(rtl::Format(qs::_SAccelTextChanged, o->Path));
        row.Changed = text != row.Text;
        row.Text = text;
        Store(session, file, language, rows);
      });
    });
  };
  single("set", "Set a caption's accelerator: TEXT is the caption with '&' before another character", true);
  single("clear", "Remove a caption's accelerator ('&&', a literal ampersand, stays)", false);
}

}  // namespace

void RegisterQualityCommands(CLI::App& app) {
  RegisterPseudo(app);
  RegisterValidate(app);
  RegisterSignOff(app);
  RegisterAccel(app);
}

}  // namespace quintrel::cli
