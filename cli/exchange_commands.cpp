#include "cli/exchange_commands.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "cli/browse_commands.h"
#include "cli/common.h"
#include "cli/output_file.h"
#include "cli/progress.h"
#include "cli/usage.h"
#include "cli/texts.h"
#include "cli/tool_options.h"
#include "cli/zod_common.h"
#include "module/modulefile.h"
#include "platform/ide/project.h"
#include "strings/qconsts.h"
#include "strings/toolconsts.h"
#include "text/unicode.h"
#include "tools/exchange.h"
#include "tools/mergenames.h"
#include "tools/othermodule.h"
#include "tools/po.h"
#include "tools/validate.h"
#include "tools/xliff.h"

namespace quintrel::cli {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using TAccess = TModuleFile::TAccess;

enum class TFormat { Text, Xliff, Po, Zod };

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// --format when given, else the file's extension; `strict`: an unknown extension fails.
TFormat FormatOf(const std::string& format, const std::string& fileName, bool strict) {
  const std::string f = Lower(format.empty() ? fs::path(fileName).extension().string() : "." + format);
  if (f == ".zod") return TFormat::Zod;
  if (f == ".xlf" || f == ".xliff") return TFormat::Xliff;
  if (f == ".po" || f == ".pot") return TFormat::Po;
  if (f == ".txt" || f == ".text" || !strict) return TFormat::Text;
  throw ECommandFailed(rtl::Format(strings::_SExchangeBad, fileName,
                                   "the format comes from the extension (.txt, .zod, .xlf, .xliff, .po) or --format"));
}

// Runs a tool command and ends it with the operation's own verdict: the success message on
// stdout, or the reason and the failure message on stderr.
void Verdict(const TToolOptions& options, const char* done, const char* failed,
             const std::function<void(tools::TToolSession&)>& work) {
  try {
    options.Run(work);
  } catch (const ECommandFailed& e) {
    // One line, so that a script shows the whole failure: the operation, then why.
    std::cerr << "quintrel: " << failed << ": " << e.what() << "\n";
    throw TExitCode{kExitFailure};
  }
  std::cout << done << "\n";
}

// --- export -------------------------------------------------------------------------------

// The reduced module is made in a folder beside the target and renamed over it when
// complete; a file it replaces keeps a backup.
void ExportReducedModule(tools::TToolSession& session, module::TZod& zod, int m, const std::string& output,
                         const tools::TExportOptions& options) {
  const bool dry = session.Options().DryRun;
  const bool existed = fs::exists(output);
  TReplacement replacement(output, true);
  try {
    tools::TOtherModule reduced(replacement.StagingPath(), tools::TOtherModule::TAccess::Create,
                                {session.ModuleFile()});
    tools::ExportModule(zod, m, reduced.Zod(), reduced.Index(), options);
  } catch (const rtl::Exception& e) {
    throw ECommandFailed(e.Message());
  }
  const std::string backup = tools::BackupName(output);
  if (!dry) {
    std::error_code ec;
    if (existed) fs::copy_file(output, backup, fs::copy_options::overwrite_existing, ec);
    if (ec) throw ECommandFailed(rtl::Format(strings::_SToolCannotWrite, backup, ec.message()));
    replacement.Commit();
  }
  std::cout << (existed ? rtl::Format(dry ? strings::_SToolWouldChange : strings::_SToolChanged, output, backup)
                        : rtl::Format(dry ? strings::_SToolWouldCreate : strings::_SToolCreated, output))
            << "\n";
}

// What the project tells beyond the module: the room of each caption on its live control
// (for XLIFF) and the file each form comes from (for PO). A form the host cannot load is
// named in a warning and only loses its widths.
void AddProjectContext(const tools::TToolSession& session, module::TZod& zod, int m, TFormat format,
                       tools::TExportOptions& options) {
  TProjectBrowser project = OpenProjectBrowser(session.Project().ProjectFile());
  const std::string folder = session.Project().Folder();
  if (format == TFormat::Xliff) {
    std::vector<std::string> problems;
    {
      TProgressBar bar;
      options.MaxWidths = tools::CaptionWidths(*project.Host, zod, m, options.Target, &problems, bar.Callback());
    }
    for (const std::string& problem : problems) std::cerr << "quintrel: warning: " << problem << "\n";
    return;
  }
  for (const tools::TBrowserForm& form : project.Browser->Forms())
    options.SourceFiles.emplace(form.Head.Name, Relative(folder, form.Head.FormFile));
  // A resource-string unit "#Name" is the project's file of that name.
  for (const host::TProjectEntry& entry : session.Project().Entries())
    options.SourceFiles.emplace("#" + fs::path(entry.FileName).filename().string(), Relative(folder, entry.FileName));
}

struct TExportCommand {
  TToolOptions Options;
  std::string Base, Target, Output, Format;
  bool NoComments = false, OnlyPrioritized = false, All = false, Unicode = false;
};

void RunExport(TExportCommand& o) {
  Verdict(o.Options, strings::_SExportDone, strings::_SExportFailed, [&](tools::TToolSession& session) {
    if (tools::SameFile(o.Output, session.ModuleFile()))
      throw ECommandFailed(rtl::Format(strings::_SExchangeBad, o.Output, "is the module being exported"));
    TModuleFile file(session.ModuleFile(), TAccess::ReadOnly);
    tools::TExportOptions options;
    options.Base = file.Language(o.Base);
    options.Target = file.Language(o.Target);
    options.Comments = !o.NoComments;
    options.OnlyPrioritized = o.OnlyPrioritized;
    options.OnlyUntranslated = !o.All;
    options.Unicode = o.Unicode;
    options.ZodName = module::CompanionName(session.Project().ProjectFile(), ".zod");
    module::TZod& zod = file.Zod();
    const int m = file.Index();
    std::string bytes;
    switch (FormatOf(o.Format, o.Output, false)) {
      case TFormat::Text:
        if (!o.Unicode) {
          // An 8-bit file holds only what the target's code page can.
          std::u16string all;
          for (const std::u16string& line : tools::ExportLines(zod, m, options)) all += line;
          const int charset = zod.GetCharsetOfLanguage(m, options.Target);
          const std::string lost = LostCharacters(all, charset);
          if (!lost.empty())
            std::cerr << "quintrel: warning: " << o.Output << ": charset " << charset << " cannot hold " << lost
                      << "; --unicode keeps them\n";
        }
        bytes = tools::ExportTextFile(zod, m, options);
        break;
      case TFormat::Xliff: {
        AddProjectContext(session, zod, m, TFormat::Xliff, options);
        std::vector<std::string> leftOut;
        bytes = tools::ExportXliff(zod, m, options, &leftOut);
        for (const std::string& object : leftOut)
          std::cerr << "quintrel: warning: " << rtl::Format(strings::_SExchangeNotXml, o.Output, object) << "\n";
        break;
      }
      case TFormat::Po:
        AddProjectContext(session, zod, m, TFormat::Po, options);
        bytes = tools::ExportPo(zod, m, fs::path(session.ModuleFile()).filename().string(), options);
        break;
      case TFormat::Zod:
        ExportReducedModule(session, zod, m, o.Output, options);
        return;
    }
    session.Write(o.Output, std::move(bytes));
  });
}

void RegisterExport(CLI::App& app) {
  auto o = std::make_shared<TExportCommand>();
  CLI::App* cmd = app.add_subcommand(
      "export", "Write a base and a target language of the module for a translator: the external text file (.txt), "
                "XLIFF 1.2 (.xlf), PO (.po), or a reduced module (.zod); by default only the objects whose target "
                "text is missing or untranslated");
  o->Options.Add(cmd, true, false);
  cmd->add_option("--base", o->Base, "The base language (two characters)")->required();
  cmd->add_option("--target", o->Target, "The target language, to be translated")->required();
  cmd->add_option("-o,--output", o->Output, "The file to write; its extension chooses the format")->required();
  cmd->add_option("--format", o->Format, "text, xliff, po or zod, whatever the extension")
      ->check(CLI::IsMember({"text", "xliff", "po", "zod"}));
  cmd->add_flag("--no-comments", o->NoComments, "Leave the objects' comments out");
  cmd->add_flag("--only-prioritized", o->OnlyPrioritized, "Only objects with a priority");
  cmd->add_flag("--all", o->All, "Also the objects translated already");
  cmd->add_flag("--unicode", o->Unicode, "A text file in UTF-16 (little-endian) rather than the target's charset");
  cmd->callback([o] { RunExport(*o); });
}

// --- import -------------------------------------------------------------------------------

struct TImportCommand {
  TToolOptions Options;
  std::vector<std::string> Files;
  std::string File, Format, Lang;
  bool Unicode = false, Comments = false, EmptyAsTranslated = false, Json = false;
};

void PrintReport(const tools::TImportReport& report, bool asJson) {
  if (asJson) {
    json counts = json::object(), entries = json::array();
    for (int i = 0; i < tools::kImportOutcomeCount; ++i)
      counts[std::string(tools::ImportOutcomeName(static_cast<tools::TImportOutcome>(i)))] =
          report.Counts[static_cast<size_t>(i)];
    for (const auto& e : report.Entries)
      entries.push_back({{"form", e.Form}, {"name", e.Name}, {"outcome", tools::ImportOutcomeName(e.Outcome)}});
    std::cout << json{{"language", FormatLanguageId(report.Language)}, {"counts", counts}, {"entries", entries}}.dump(2)
              << "\n";
    return;
  }
  for (const auto& e : report.Entries)
    if (e.Outcome != tools::TImportOutcome::Unchanged && e.Outcome != tools::TImportOutcome::Empty)
      std::cout << tools::ImportOutcomeName(e.Outcome) << ": " << e.Form << " " << e.Name << "\n";
  std::cout << "language " << FormatLanguageId(report.Language);
  for (int i = 0; i < tools::kImportOutcomeCount; ++i)
    std::cout << ", " << tools::ImportOutcomeName(static_cast<tools::TImportOutcome>(i)) << " "
              << report.Counts[static_cast<size_t>(i)];
  std::cout << "\n";
}

std::string ReadInput(const std::string& fileName) {
  try {
    return host::ReadFileBytes(fileName);
  } catch (const rtl::Exception& e) {
    throw ECommandFailed(e.Message());
  }
}

// Another module's translations of one language, taken by form, component and property
// names into the objects the module has.
void ImportModule(tools::TToolSession& session, const TImportCommand& o) {
  try {
    tools::TOtherModule source(o.File, tools::TOtherModule::TAccess::Read,
                               {session.ModuleFile(), session.WorkingModule()});
    const std::vector<module::TLanguageId> offered = LanguageIds(source.Zod(), source.Index());
    module::TLanguageId language = 0;
    if (!o.Lang.empty()) {
      language = ParseLanguageId(o.Lang);
      if (std::find(offered.begin(), offered.end(), language) == offered.end())
        throw ECommandFailed(rtl::Format(strings::_SExchangeUnknownTarget, o.File, o.Lang, LanguageListText(offered)));
    } else {
      // The one language besides the module's design language, as a reduced module has.
      const module::TLanguageId design = source.Zod().GetDesignTimeLanguage(source.Index());
      std::vector<module::TLanguageId> candidates;
      for (module::TLanguageId id : offered)
        if (id != design) candidates.push_back(id);
      if (candidates.size() != 1)
        throw ECommandFailed(rtl::Format(strings::_SExchangeBad, o.File,
                                         "offers the languages " + LanguageListText(offered) + "; --lang chooses one"));
      language = candidates.front();
    }
    tools::TWorkModule work(session.WorkingModule());
    const std::vector<module::TLanguageId> own = LanguageIds(module::GlobalZOD(), work.Index());
    if (std::find(own.begin(), own.end(), language) == own.end())
      throw ECommandFailed(rtl::Format(strings::_SExchangeUnknownTarget, session.ModuleFile(),
                                       FormatLanguageId(language), LanguageListText(own)));
    tools::TMergeOptions options;
    options.From = options.Into = language;
    options.CreateMissing = false;
    options.Comments = o.Comments;
    const tools::TMergeResult r = tools::MergeByNames(source.Zod(), source.Index(), work.Index(), options);
    if (r.Taken + r.Comments > 0) session.ModuleChanged();
    if (o.Json) {
      std::cout << json{{"language", FormatLanguageId(language)},
                        {"counts",
                         {{"written", r.Taken},
                          {"comments", r.Comments},
                          {"untranslated", r.Untranslated},
                          {"not found", r.Missing},
                          {"locked", r.SkippedLocked},
                          {"signed off", r.SkippedSignedOff}}}}
                       .dump(2)
                << "\n";
    } else {
      std::cout << "language " << FormatLanguageId(language) << ", objects " << r.Objects << ", written " << r.Taken
                << ", comments " << r.Comments << ", untranslated " << r.Untranslated << ", not found " << r.Missing
                << ", locked " << r.SkippedLocked << ", signed off " << r.SkippedSignedOff << "\n";
    }
  } catch (const rtl::Exception& e) {
    throw ECommandFailed(e.Message());
  }
}

void ListLanguages(const std::string& fileName) {
  try {
    tools::TOtherModule source(fileName, tools::TOtherModule::TAccess::Read, {});
    for (module::TLanguageId id : LanguageIds(source.Zod(), source.Index())) {
      module::TZodLanguage language;
      language.Identifier = id;
      source.Zod().GetLanguage(source.Index(), language);
      std::cout << FormatLanguageId(id) << "\t" << (language.Name ? Utf8(*language.Name) : std::string()) << "\n";
    }
  } catch (const rtl::Exception& e) {
    throw ECommandFailed(e.Message());
  }
}

void RunImport(TImportCommand& o) {
  Verdict(o.Options, strings::_SImportDone, strings::_SImportFailed, [&](tools::TToolSession& session) {
    if (tools::SameFile(o.File, session.ModuleFile()))
      throw ECommandFailed(rtl::Format(strings::_SExchangeBad, o.File, "is the module being imported into"));
    const TFormat format = FormatOf(o.Format, o.File, true);
    if (format == TFormat::Zod) {
      ImportModule(session, o);
      return;
    }
    const std::string bytes = ReadInput(o.File);
    TModuleFile file(session.WorkingModule(), TAccess::ReadWrite);
    tools::TImportReport report;
    try {
      switch (format) {
        case TFormat::Text:
          report = tools::ImportTextFile(file.Zod(), file.Index(), o.File, bytes,
                                         {o.Unicode, o.Comments, o.EmptyAsTranslated});
          break;
        case TFormat::Xliff:
          report = tools::ImportXliff(file.Zod(), file.Index(), o.File, bytes, {o.Comments, o.EmptyAsTranslated});
          break;
        case TFormat::Po:
          report = tools::ImportPo(file.Zod(), file.Index(), o.File, bytes, {o.Comments, o.EmptyAsTranslated});
          break;
        case TFormat::Zod:
          break;
      }
    } catch (const rtl::Exception& e) {
      throw ECommandFailed(e.Message());
    }
    if (report.Count(tools::TImportOutcome::Written) > 0) session.ModuleChanged();
    PrintReport(report, o.Json);
  });
}

void RegisterImport(CLI::App& app) {
  auto o = std::make_shared<TImportCommand>();
  CLI::App* cmd = app.add_subcommand(
      "import", "Take translations back into the module from an external text file (.txt), XLIFF (.xlf), PO (.po) "
                "or a module (.zod): an entry is taken only when its form, identifier and name match an object of "
                "the module; locked objects and signed-off texts stay as they are. Says what each entry did");
  o->Options.Add(cmd, true, false);
  // "import languages MODULE" lists what a module offers; any other single FILE is imported.
  cmd->add_option("FILE", o->Files, "The file to import (or: languages MODULE)")->expected(1, 2)->required();
  cmd->add_option("--format", o->Format, "text, xliff, po or zod, whatever the extension")
      ->check(CLI::IsMember({"text", "xliff", "po", "zod"}));
  cmd->add_flag("--unicode", o->Unicode, "The text file is UTF-16 (little-endian)");
  cmd->add_flag("--comments", o->Comments, "Also take the comments");
  cmd->add_flag("--empty-as-translated", o->EmptyAsTranslated,
                "An empty translation is a translation (otherwise the text stays as it is)");
  cmd->add_option("--lang", o->Lang, "The language to take from a module");
  cmd->add_flag("--json", o->Json, "Print a JSON object: language, counts, entries (form, name, outcome)");
  cmd->callback([o, cmd] {
    if (o->Files.size() == 2) {
      if (o->Files[0] != "languages") throw EUsage("import takes one FILE, or: languages MODULE", cmd);
      ListLanguages(o->Files[1]);
      return;
    }
    o->File = o->Files[0];
    RunImport(*o);
  });
}

// --- stats ----------------------------------------------------------------------------------

void RegisterStats(CLI::App& app) {
  struct TStatsCommand {
    TTarget Target;
    std::string Lang;
    bool Json = false;
  };
  auto o = std::make_shared<TStatsCommand>();
  CLI::App* cmd = app.add_subcommand(
      "stats", "The translation state of a language: the objects in total, and how many (and what share) are "
               "locked, untranslated, to review and signed off");
  o->Target.AddModule(cmd, false);
  cmd->add_option("--lang", o->Lang, "The language")->required();
  cmd->add_flag("--json", o->Json, "Print a JSON object: language, total, locked, untranslated, toReview, signedOff");
  cmd->callback([o] {
    TModuleFile file(o->Target.ModuleFile(), TAccess::ReadOnly);
    const module::TLanguageId language = file.Language(o->Lang);
    const tools::TStatistics s = tools::GetAmounts(file.Zod(), file.Index(), language);
    if (o->Json) {
      std::cout << json{{"language", FormatLanguageId(language)}, {"total", s.Total}, {"locked", s.Locked},
                        {"untranslated", s.UnTranslated}, {"toReview", s.ForReview}, {"signedOff", s.SignedOff}}
                       .dump(2)
                << "\n";
      return;
    }
    std::cout << strings::_SStatTotal << " " << s.Total << "\n";
    const std::pair<const char*, int> rows[] = {{strings::_SStatLocked, s.Locked},
                                                {strings::_SStatUnTranslated, s.UnTranslated},
                                                {strings::_SStatToReview, s.ForReview},
                                                {strings::_SStatCheckedOut, s.SignedOff}};
    for (const auto& [label, count] : rows)
      std::cout << label << " " << count << " (" << tools::Percentage(count, s.Total) << "%)\n";
  });
}

// --- autotranslate --------------------------------------------------------------------------

void RegisterAutoTranslate(CLI::App& app) {
  struct TAutoCommand {
    TToolOptions Options;
    std::string Base, Target;
    std::vector<std::string> Dictionaries;
    bool OnlyEmpty = false, IgnoreContext = false;
  };
  auto o = std::make_shared<TAutoCommand>();
  CLI::App* cmd = app.add_subcommand(
      "autotranslate", "Translate the module's texts from the dictionaries: the modules registered permanently "
                       "and those named with --dictionary. Locked objects and signed-off texts stay; a text "
                       "translated is marked for review");
  o->Options.Add(cmd, true, false);
  cmd->add_option("--base", o->Base, "The language translated from")->required();
  cmd->add_option("--target", o->Target, "The language translated into")->required();
  cmd->add_option("--dictionary", o->Dictionaries, "A dictionary module to use besides the registered ones");
  cmd->add_flag("--only-empty", o->OnlyEmpty, "Only texts whose translation is missing or empty");
  cmd->add_flag("--ignore-context", o->IgnoreContext, "A dictionary's text of any kind of control will do");
  cmd->callback([o] {
    o->Options.Run([&](tools::TToolSession& session) {
      {
        TModuleFile check(session.ModuleFile(), TAccess::ReadOnly);
        check.Language(o->Base);
        check.Language(o->Target);
      }
      std::vector<std::unique_ptr<tools::TWorkModule>> dictionaries;
      for (const std::string& d : o->Dictionaries) {
        if (tools::SameFile(d, session.ModuleFile()))
          throw ECommandFailed(rtl::Format(strings::_SExchangeBad, d, "is the module being translated"));
        try {
          dictionaries.push_back(std::make_unique<tools::TWorkModule>(d, rtl::fmOpenRead));
        } catch (const rtl::Exception& e) {
          throw ECommandFailed(e.Message());
        }
      }
      // The module itself last, so that a dictionary answers before it.
      const tools::TWorkModule work(session.WorkingModule());
      const int m = work.Index();
      module::TZod& zod = module::GlobalZOD();
      tools::TAutoTranslateOptions options;
      options.Base = ParseLanguageId(o->Base);
      options.Target = ParseLanguageId(o->Target);
      options.OnlyEmpty = o->OnlyEmpty;
      options.IgnoreContext = o->IgnoreContext;
      tools::TAutoTranslateResult r;
      try {
        TProgressBar bar;
        r = tools::AutoTranslate(zod, m, options, bar.Callback());
      } catch (const rtl::Exception& e) {
        throw ECommandFailed(e.Message());
      }
      if (r.Translated > 0) session.ModuleChanged();
      std::cout << rtl::Format(strings::_SAutoTranslateCount, r.Translated, r.Considered) << "\n";
      if (r.Locked + r.SignedOff > 0)
        std::cout << "locked " << r.Locked << ", signed off " << r.SignedOff << " (left as they are)\n";
    });
  });
}

}  // namespace

void RegisterExchangeCommands(CLI::App& app) {
  RegisterExport(app);
  RegisterImport(app);
  RegisterStats(app);
  RegisterAutoTranslate(app);
}

}  // namespace quintrel::cli
