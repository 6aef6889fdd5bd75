#include "cli/resstr_commands.h"

#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli/common.h"
#include "cli/object_commands.h"
#include "cli/term_commands.h"
#include "cli/texts.h"
#include "cli/tool_options.h"
#include "cli/zod_common.h"
#include "strings/toolconsts.h"
#include "text/unicode.h"
#include "tools/resstr.h"
#include "tools/resstrcompile.h"

namespace quintrel::cli {

namespace {

using nlohmann::json;

const char* KindName(tools::TResUnitKind kind) {
  return kind == tools::TResUnitKind::Pascal ? "pas" : kind == tools::TResUnitKind::Script ? "rc" : "none";
}

void WarnSkipped(const tools::TResUnit& unit, const tools::TSyncReport& report) {
  for (const std::string& ident : report.Skipped)
    std::cerr << "quintrel: " << rtl::Format(strings::_SResStrSkipped, unit.Path, ident) << "\n";
}

void RegisterUnits(CLI::App* resstr) {
  auto options = std::make_shared<TToolOptions>();
  auto asJson = std::make_shared<bool>(false);
  CLI::App* units = resstr->add_subcommand(
      "units", "List the resource-string units: id, name, kind (pas or rc), path; then the project's units with "
               "resource strings that are not registered (id -)");
  options->Add(units, false, false);
  units->add_flag("--json", *asJson, "Print JSON");
  units->callback([options, asJson] {
    options->Run([&](tools::TToolSession& session) {
      TResStrRun run(session);
      json list = json::array();
      for (const tools::TResUnit& u : run.Manager.Units()) {
        if (*asJson)
          list.push_back({{"id", u.Id}, {"name", u.Name}, {"kind", KindName(u.Kind)}, {"path", u.Path}, {"registered", true}});
        else
          std::cout << u.Id << "\t" << u.Name << "\t" << KindName(u.Kind) << "\t" << u.Path << "\n";
      }
      for (const std::string& path : run.Manager.DiscoverUnits()) {
        const std::string name = std::filesystem::path(path).filename().string();
        const char* kind = KindName(tools::ResUnitKind(name));
        if (*asJson)
          list.push_back({{"id", nullptr}, {"name", name}, {"kind", kind}, {"path", path}, {"registered", false}});
        else
          std::cout << "-\t" << name << "\t" << kind << "\t" << path << "\n";
      }
      if (*asJson) std::cout << list.dump(2) << "\n";
    });
  });
}

void RegisterUnitAdd(CLI::App* resstr) {
  auto options = std::make_shared<TToolOptions>();
  auto name = std::make_shared<std::string>();
  CLI::App* add = resstr->add_subcommand(
      "unit-add", "Register a resource-string unit (NAME.pas or NAME.rc; a name without extension is .pas); its file "
                  "is written with its first string");
  add->add_option("NAME", *name, "The unit's file name")->required();
  options->Add(add, true, false);
  add->callback([options, name] {
    options->Run([&](tools::TToolSession& session) {
      TResStrRun run(session);
      const tools::TResUnit unit = run.Manager.AddUnit(*name);
      std::cout << unit.Id << "\t" << unit.Name << "\t" << KindName(unit.Kind) << "\t" << unit.Path << "\n";
    });
  });
}

void RegisterUnitRemove(CLI::App* resstr) {
  auto options = std::make_shared<TToolOptions>();
  auto name = std::make_shared<std::string>();
  CLI::App* remove = resstr->add_subcommand(
      "unit-remove", "Unregister a resource-string unit and drop the identifiers no other string uses; its files stay");
  remove->add_option("NAME", *name, "The unit's file name")->required();
  options->Add(remove, true, true);
  remove->callback([options, name] {
    options->Run([&](tools::TToolSession& session) { TResStrRun(session).Manager.RemoveUnit(*name); });
  });
}

std::string NumberText(const tools::TResUnit& unit, uint32_t number) {
  return unit.Kind == tools::TResUnitKind::Pascal || number == 0 ? "?" : std::to_string(number);
}

void RegisterList(CLI::App* resstr) {
  auto options = std::make_shared<TToolOptions>();
  auto unitName = std::make_shared<std::string>();
  auto asJson = std::make_shared<bool>(false);
  CLI::App* list = resstr->add_subcommand(
      "list", "List a unit's strings after bringing the module in step with its files: number (? when the linker "
              "numbers it), identifier, text, comment, object id");
  list->add_option("--unit", *unitName, "The unit's file name")->required();
  list->add_flag("--json", *asJson, "Print JSON");
  options->Add(list, true, false);
  list->callback([options, unitName, asJson] {
    options->Run([&](tools::TToolSession& session) {
      TResStrRun run(session);
      const tools::TResUnit unit = run.Manager.FindUnit(*unitName);
      WarnSkipped(unit, run.Manager.Sync(unit));
      json rows = json::array();
      for (const tools::TResString& s : run.Manager.Strings(unit)) {
        if (*asJson)
          rows.push_back({{"number", unit.Kind == tools::TResUnitKind::Pascal ? json(nullptr) : json(s.Number)},
                          {"identifier", s.Identifier},
                          {"text", text::WideToUtf8(s.Text)},
                          {"comment", text::WideToUtf8(s.Comment)},
                          {"object", s.Object}});
        else
          std::cout << NumberText(unit, s.Number) << "\t" << s.Identifier << "\t" << EscapedText(s.Text) << "\t"
                    << EscapedText(s.Comment) << "\t" << s.Object << "\n";
      }
      if (*asJson) std::cout << rows.dump(2) << "\n";
    });
  });
}

void RegisterAdd(CLI::App* resstr) {
  auto options = std::make_shared<TToolOptions>();
  auto unitName = std::make_shared<std::string>();
  auto ident = std::make_shared<std::string>();
  auto textArg = std::make_shared<std::string>();
  auto comment = std::make_shared<std::string>();
  auto translations = std::make_shared<std::vector<std::string>>();
  CLI::App* add = resstr->add_subcommand(
      "add", "Declare a new resource string first in the unit's files and catalogue it; prints its object id");
  add->add_option("--unit", *unitName, "The unit's file name")->required();
  add->add_option("IDENT", *ident, "The string's constant")->required();
  add->add_option("--text", *textArg, "Its text in the design language")->required();
  add->add_option("--comment", *comment, "A comment for the translators");
  add->add_option("--translation", *translations,
                  "LANG=TEXT: its text in a further language, signed off (repeatable, once per language)");
  options->Add(add, true, false);
  add->callback([=] {
    const std::u16string text = StoredText(*textArg, "--text");
    const std::u16string note = StoredText(*comment, "--comment");
    const TTranslations given = ParseTranslations(*translations);
    options->Run([&](tools::TToolSession& session) {
      TResStrRun run(session);
      RequireTranslationLanguages(run.File, given, run.Manager.DesignLanguage());
      const tools::TResUnit unit = run.Manager.FindUnit(*unitName);
      WarnSkipped(unit, run.Manager.Sync(unit));
      WarnLostCharacters(unit.Path, run.Manager.DesignLanguage(), run.Manager.Charset(), text);
      const uint32_t object = run.Manager.Add(unit, *ident, text, note);
      if (!given.empty()) {
        const module::TZodObject o = ReadObject(run.File, object);
        for (const auto& [language, wide] : given) StoreText(run.File, o.Localization, language, wide, module::usSignedOff);
      }
      std::cout << object << "\n";
    });
  });
}

void RegisterEdit(CLI::App* resstr) {
  auto options = std::make_shared<TToolOptions>();
  auto unitName = std::make_shared<std::string>();
  auto ident = std::make_shared<std::string>();
  auto textArg = std::make_shared<std::string>();
  auto comment = std::make_shared<std::string>();
  auto number = std::make_shared<long long>(-1);
  CLI::App* edit = resstr->add_subcommand(
      "edit", "Change a resource string's text, number (.rc units) or comment, in the module and where it is declared");
  edit->add_option("--unit", *unitName, "The unit's file name")->required();
  edit->add_option("IDENT", *ident, "The string's constant")->required();
  CLI::Option* textOption = edit->add_option("--text", *textArg, "Its new text in the design language");
  CLI::Option* numberOption = edit->add_option("--number", *number, "Its new number (a .rc unit's string), 1..65535");
  CLI::Option* commentOption = edit->add_option("--comment", *comment, "Its new comment");
  options->Add(edit, true, false);
  edit->callback([=] {
    std::optional<std::u16string> text, note;
    if (textOption->count()) text = StoredText(*textArg, "--text");
    if (commentOption->count()) note = StoredText(*comment, "--comment");
    std::optional<uint32_t> newNumber;
    if (numberOption->count()) {
      if (*number < 1 || *number > 0xFFFF) throw ECommandFailed(strings::_SResStrInvalidIdent);
      newNumber = static_cast<uint32_t>(*number);
    }
    options->Run([&](tools::TToolSession& session) {
      TResStrRun run(session);
      const tools::TResUnit unit = run.Manager.FindUnit(*unitName);
      WarnSkipped(unit, run.Manager.Sync(unit));
      if (text) WarnLostCharacters(unit.Path, run.Manager.DesignLanguage(), run.Manager.Charset(), *text);
      run.Manager.Edit(unit, *ident, text, newNumber, note);
    });
  });
}

void RegisterRemove(CLI::App* resstr) {
  auto options = std::make_shared<TToolOptions>();
  auto unitName = std::make_shared<std::string>();
  auto ident = std::make_shared<std::string>();
  CLI::App* remove = resstr->add_subcommand(
      "remove", "Remove a resource string from the module and its declarations from the unit's files");
  remove->add_option("--unit", *unitName, "The unit's file name")->required();
  remove->add_option("IDENT", *ident, "The string's constant")->required();
  options->Add(remove, true, true);
  remove->callback([=] {
    options->Run([&](tools::TToolSession& session) {
      TResStrRun run(session);
      const tools::TResUnit unit = run.Manager.FindUnit(*unitName);
      WarnSkipped(unit, run.Manager.Sync(unit));
      run.Manager.Remove(unit, *ident);
    });
  });
}

void RegisterLiteral(CLI::App* resstr) {
  auto kind = std::make_shared<std::string>();
  auto textArg = std::make_shared<std::string>();
  auto charset = std::make_shared<int>(0);
  CLI::App* literal = resstr->add_subcommand("literal", "Print a text as a unit declares it");
  literal->add_option("--kind", *kind, "pas or rc")->required()->check(CLI::IsMember({"pas", "rc"}));
  literal->add_option("TEXT", *textArg, "The text")->required();
  literal->add_option("--charset", *charset, "The charset whose code page the unit is written in (default 0)");
  literal->callback([=] {
    RequireCharsetWithCodePage(*charset);
    const std::u16string text = StoredText(*textArg, "TEXT");
    const std::string bytes =
        *kind == "pas" ? tools::PascalLiteral(text, *charset) : tools::ScriptLiteral(text, *charset);
    std::cout << text::WideToUtf8(tools::DecodeText(bytes, *charset)) << "\n";
  });
}

void RegisterCompile(CLI::App* resstr) {
  auto options = std::make_shared<TToolOptions>();
  auto unitName = std::make_shared<std::string>();
  auto timeout = std::make_shared<int>(60);
  CLI::App* compile = resstr->add_subcommand(
      "compile", "Compile a .rc unit with the resource compiler (x86_64-w64-mingw32-windres, or $QUINTREL_WINDRES) "
                 "into NAME.res beside it");
  compile->add_option("--unit", *unitName, "The unit's file name")->required();
  compile->add_option("--timeout", *timeout, "Seconds the compiler may take (default 60)")->check(CLI::Range(1, 3600));
  options->Add(compile, false, false);
  compile->callback([=] {
    options->Run([&](tools::TToolSession& session) {
      TResStrRun run(session);
      const tools::TResUnit unit = run.Manager.FindUnit(*unitName);
      const tools::TCompileResult result = tools::CompileScript(unit, run.Manager.Charset(), *timeout);
      std::cout << result.Output;
      if (!result.Output.empty() && result.Output.back() != '\n') std::cout << "\n";
      std::cout << rtl::Format(strings::_SResStrCompiled, result.ResFile) << "\n";
    });
  });
}

}  // namespace

void RegisterResStrCommands(CLI::App& app) {
  CLI::App* resstr = app.add_subcommand(
      "resstr", "Resource-string units of the project (.pas resourcestring sections, .rc string tables) and the "
                "module in step with them");
  resstr->require_subcommand(1);
  RegisterUnits(resstr);
  RegisterUnitAdd(resstr);
  RegisterUnitRemove(resstr);
  RegisterList(resstr);
  RegisterAdd(resstr);
  RegisterEdit(resstr);
  RegisterRemove(resstr);
  RegisterLiteral(resstr);
  RegisterCompile(resstr);
}

}  // namespace quintrel::cli
