#include "cli/term_commands.h"

#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "cli/common.h"
#include "cli/zod_common.h"
#include "platform/rtl/classes.h"
#include "platform/rtl/sysutils.h"
#include "strings/qconsts.h"
#include "text/unicode.h"

namespace quintrel::cli {

namespace qs = quintrel::strings;
using module::TLanguageId;
using module::TZodTerm;
using nlohmann::json;

uint32_t ParseIdent(const std::string& text) {
  int64_t value = 0;
  bool digits = !text.empty() && text.find_first_of(" -+") == std::string::npos;
  if (!digits || !rtl::TryStrToInt(text, value) || value < 0 || value > 0xFFFFFFFFLL)
    throw ECommandFailed(rtl::Format(qs::_SCliBadIdent, text));
  return static_cast<uint32_t>(value);
}

std::string StatusName(uint8_t status) {
  switch (status) {
    case module::usUnTranslated: return "untranslated";
    case module::usForReview: return "review";
    case module::usSignedOff: return "signed-off";
    default: return std::to_string(status);
  }
}

uint8_t ParseStatus(const std::string& text) {
  for (uint8_t status = 0; status < 3; ++status)
    if (StatusName(status) == text) return status;
  throw ECommandFailed(rtl::Format(qs::_SCliBadStatus, text));
}

uint8_t ParseClass(const std::string& text) {
  int zodClass = module::ZodClassFromName(text);
  if (zodClass >= 0) return static_cast<uint8_t>(zodClass);
  if (text.empty() || (text[0] != 'T' && text[0] != '#' && text[0] != 'Q'))
    throw ECommandFailed(rtl::Format(qs::_SCliBadClass, text));
  return module::GetZodClass(text);
}

CLI::App* FindSubcommand(CLI::App& app, const std::string& name) {
  for (CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; }))
    if (sub->get_name() == name) return sub;
  return nullptr;
}

namespace {

struct TTermOptions {
  std::string file, lang, id, text, status;
  int style = -1;
  bool fallback = false, json = false;
};

json TermJson(uint32_t ident, uint8_t status, uint8_t style, const std::u16string& text) {
  return json{{"id", ident}, {"status", StatusName(status)}, {"style", style}, {"text", Utf8(text)}};
}

std::u16string FromBytes(const std::vector<uint8_t>& bytes) {
  std::u16string text(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return text;
}

std::shared_ptr<TTermOptions> AddFileLang(CLI::App* command, bool withId) {
  auto o = std::make_shared<TTermOptions>();
  command->add_option("FILE", o->file, "Module file")->required();
  command->add_option("LANG", o->lang, "Language identifier: two characters (de, ##) or $HHHH")->required();
  if (withId) command->add_option("ID", o->id, "Term identifier (decimal or 0x hex)")->required();
  return o;
}

// The stored term, or a failure naming it.
TZodTerm ReadTerm(TModuleFile& file, TLanguageId lang, uint32_t ident, std::vector<uint8_t>& data,
                  const std::string& langText) {
  TZodTerm term;
  term.Language = lang;
  term.Ident = ident;
  if (!file.Zod().GetTerm(file.Index(), term))
    throw ECommandFailed(rtl::Format(qs::_SCliNoSuchTerm, file.FileName(), ident, langText));
  data.assign(static_cast<size_t>(term.Size), 0);
  term.Data = data.data();
  file.Zod().GetTerm(file.Index(), term);
  return term;
}

void RegisterTerm(CLI::App& app) {
  CLI::App* term = app.add_subcommand("term", "The texts of a module: one per term identifier and language");
  term->require_subcommand(1);

  CLI::App* get = term->add_subcommand("get", "Print a term's text (with --fallback as the translator finds it)");
  auto g = AddFileLang(get, true);
  get->add_flag("--fallback", g->fallback,
                "Give the text only when translated, else the design-time language's text when the module "
                "uses originals for untranslated texts");
  get->add_flag("--json", g->json, "Print {id, status, style, text}");
  get->callback([g]() {
    TModuleFile file(g->file);
    TLanguageId lang = ParseLanguageId(g->lang);
    uint32_t ident = ParseIdent(g->id);
    if (g->fallback) {
      int32_t length = file.Zod().GetLongStringW(file.Index(), ident, lang, nullptr, true);
      TZodTerm probe{lang, ident};
      if (length == 0 && !file.Zod().GetTerm(file.Index(), probe))
        throw ECommandFailed(rtl::Format(qs::_SCliNoSuchTerm, file.FileName(), ident, g->lang));
      std::u16string text = file.Zod().GetLongStringW(file.Index(), ident, lang, true);
      if (g->json) {
        std::cout << json{{"id", ident}, {"text", Utf8(text)}}.dump() << "\n";
      } else {
        std::cout << Utf8(text) << "\n";
      }
      return;
    }
    std::vector<uint8_t> data;
    TZodTerm t = ReadTerm(file, lang, ident, data, g->lang);
    if (g->json) {
      std::cout << TermJson(ident, t.Status, t.Style, FromBytes(data)).dump() << "\n";
    } else {
      std::cout << Utf8(FromBytes(data)) << "\n";
    }
  });

  CLI::App* set = term->add_subcommand("set", "Write a term's text; an empty TEXT keeps the stored one");
  auto s = AddFileLang(set, true);
  set->add_option("TEXT", s->text, "The text (UTF-8)")->required();
  set->add_option("--status", s->status, "untranslated, review or signed-off (default: kept, new terms untranslated)");
  set->add_option("--style", s->style, "Style byte 0-255 (default: kept, new terms 0)")->check(CLI::Range(0, 255));
  set->callback([s]() {
    const std::u16string wide = StoredText(s->text, "TEXT");
    TModuleFile file(s->file);
    TZodTerm term;
    term.Language = ParseLanguageId(s->lang);
    term.Ident = ParseIdent(s->id);
    file.Zod().GetTerm(file.Index(), term);  // keeps status and style of an existing term
    if (!s->status.empty()) term.Status = ParseStatus(s->status);
    if (s->style >= 0) term.Style = static_cast<uint8_t>(s->style);
    std::vector<uint8_t> bytes = text::Utf16LeBytes(wide);
    term.Data = bytes.data();
    term.Size = static_cast<int32_t>(bytes.size());
    if (!file.Zod().SetTerm(file.Index(), term))
      throw ECommandFailed(rtl::Format(qs::_SCliWriteFailed, file.FileName()));
  });

  CLI::App* remove = term->add_subcommand("remove", "Delete a term in one language");
  auto r = AddFileLang(remove, true);
  remove->callback([r]() {
    TModuleFile file(r->file);
    TZodTerm term;
    term.Language = ParseLanguageId(r->lang);
    term.Ident = ParseIdent(r->id);
    if (!file.Zod().RemoveTerm(file.Index(), term))
      throw ECommandFailed(rtl::Format(qs::_SCliNoSuchTerm, file.FileName(), term.Ident, r->lang));
  });

  CLI::App* list = term->add_subcommand("list", "List a language's terms in stored order: id, status, style, text");
  auto l = AddFileLang(list, false);
  list->add_flag("--json", l->json, "Print a JSON array of {id, status, style, text}");
  list->callback([l]() {
    TModuleFile file(l->file);
    std::vector<uint8_t> packed = file.Zod().GetTerms(file.Index(), ParseLanguageId(l->lang));
    json rows = json::array();
    for (const auto& t : module::UnpackTerms(packed.data(), static_cast<int32_t>(packed.size()))) {
      if (l->json) {
        rows.push_back(TermJson(t.Ident, t.Status, t.Style, FromBytes(t.Data)));
      } else {
        std::cout << t.Ident << "\t" << StatusName(t.Status) << "\t" << static_cast<int>(t.Style) << "\t"
                  << Utf8(FromBytes(t.Data)) << "\n";
      }
    }
    if (l->json) std::cout << rows.dump(2) << "\n";
  });

  CLI::App* newId = term->add_subcommand("new-id", "Hand out the module's next term identifier and print it");
  auto n = std::make_shared<TTermOptions>();
  newId->add_option("FILE", n->file, "Module file")->required();
  newId->callback([n]() {
    TModuleFile file(n->file);
    std::cout << file.Zod().GetNewTermID(file.Index()) << "\n";
  });
}

void RegisterDictionary(CLI::App& app) {
  CLI::App* dict = app.add_subcommand("dict", "Make a language a dictionary of the module, or stop it");
  dict->require_subcommand(1);
  for (bool on : {true, false}) {
    CLI::App* command = dict->add_subcommand(on ? "on" : "off", on ? "Index the language's texts for translate"
                                                                   : "Remove the index of the language's texts");
    auto o = AddFileLang(command, false);
    command->callback([o, on]() {
      TModuleFile file(o->file);
      if (!file.Zod().SetDictionary(file.Index(), ParseLanguageId(o->lang), on))
        throw ECommandFailed(rtl::Format(qs::_SCliNotDictionary, file.FileName(), o->lang));
    });
  }
}

struct TTranslateOptions {
  std::string from, to, zodClass, text;
  bool anyClass = false;
  std::vector<std::string> modules;
};

void RegisterTranslate(CLI::App& app) {
  auto o = std::make_shared<TTranslateOptions>();
  CLI::App* translate = app.add_subcommand(
      "translate", "Translate a text through the dictionaries of the modules, asked in the order given");
  translate->add_option("--from", o->from, "Language the text is in")->required();
  translate->add_option("--to", o->to, "Language to translate into")->required();
  auto* cls = translate->add_option("--class", o->zodClass, "Control class of the text's object (ucButton or TButton)");
  translate->add_flag("--any-class", o->anyClass, "Accept an object of any class")->excludes(cls);
  translate->add_option("TEXT", o->text, "The text (UTF-8)")->required();
  translate->add_option("MODULE", o->modules, "Module files, asked in this order")->required();
  translate->callback([o]() {
    module::TZod zod(module::TZod::TStart::Empty);
    for (const std::string& name : o->modules) {
      if (!rtl::FileExists(name)) throw ECommandFailed(rtl::Format(qs::_SCliFileNotFound, name));
      std::string problem = storage::TCustomVarDB::DiagnoseFile(name);
      if (!problem.empty()) throw ECommandFailed(problem);
      if (zod.RegisterModule(name, false) < 0) throw ECommandFailed(rtl::Format(qs::_SCliTooManyModules, name));
    }
    uint8_t zodClass = o->zodClass.empty() ? uint8_t{module::ucUnknown} : ParseClass(o->zodClass);
    auto text = zod.TranslateW(text::Utf8ToWide(o->text), ParseLanguageId(o->from), ParseLanguageId(o->to), zodClass,
                               o->anyClass ? module::kTranslateAnyClass : 0);
    if (!text) {
      std::cerr << "quintrel: " << qs::_SCliNoTranslation << "\n";
      throw TExitCode{kExitFailure};
    }
    std::cout << Utf8(*text) << "\n";
  });
}

void RegisterClean(CLI::App& app) {
  CLI::App* moduleCmd = FindSubcommand(app, "module");
  if (!moduleCmd) moduleCmd = app.add_subcommand("module", "Language module files");
  CLI::App* clean = moduleCmd->add_subcommand(
      "clean", "Remove the terms no object of a catalogued form uses, in every language; comments stay");
  auto o = std::make_shared<TTermOptions>();
  clean->add_option("FILE", o->file, "Module file")->required();
  clean->callback([o]() {
    TModuleFile file(o->file);
    std::vector<std::pair<TLanguageId, int32_t>> removed;
    file.Zod().RemoveOldTerms(file.Index(), &removed);
    for (const auto& [lang, count] : removed)
      std::cout << rtl::Format(qs::_SCliCleanLine, FormatLanguageId(lang), count) << "\n";
  });
}

}  // namespace

void RegisterTermCommands(CLI::App& app) {
  RegisterTerm(app);
  RegisterDictionary(app);
  RegisterTranslate(app);
  RegisterClean(app);
}

}  // namespace quintrel::cli
