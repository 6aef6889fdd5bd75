#include "cli/term_commands.h"

#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "cli/common.h"
#include "cli/texts.h"
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
  const int zodClass = module::ZodClassFromName(text);
  if (zodClass >= 0) return static_cast<uint8_t>(zodClass);
  // A component class counts when the class table lists it; "#…" names a resource string.
  const module::TZodClass mapped = module::GetZodClass(text);
  if (mapped != module::ucUnknown) return mapped;
  std::string classes;
  for (int c = 1; c < module::kZodClassCount; ++c) classes += (c > 1 ? ", " : "") + std::string(module::ZodClassName(c));
  throw ECommandFailed(rtl::Format(qs::_SCliUnknownClass, text, classes));
}

CLI::App* FindSubcommand(CLI::App& app, const std::string& name) {
  for (CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; }))
    if (sub->get_name() == name) return sub;
  return nullptr;
}

module::TZodObject ReadObject(TModuleFile& file, uint32_t ident) {
  module::TZodObject object;
  object.Ident = ident;
  object.FormID = file.Zod().GetFormOfObjectID(file.Index(), ident);  // where older modules keep it
  if (!file.Zod().GetObject(file.Index(), object))
    throw ECommandFailed(rtl::Format(qs::_SCliNoSuchObject, file.FileName(), ident));
  return object;
}

// ---------------------------------------------------------------------------------------
// Positional arguments of module commands

TModuleArgs::TModuleArgs(CLI::App* command, const std::string& help) : command_(command) {
  target_.AddModule(command, false, help);
  moduleOption_ = command->get_option("--module");
  fileOption_ = command->add_option("FILE", file_, help + " (as --module; may be left out)");
}

void TModuleArgs::Add(const std::string& name, std::string& value, const std::string& help,
                      std::function<bool()> needed) {
  CLI::Option* option = command_->add_option(name, value, help);
  slots_.push_back({name, &value, option, std::move(needed)});
}

void TModuleArgs::Resolve() {
  // The parser filled FILE and then the slots in order, one argument each.
  std::vector<std::string> given;
  if (fileOption_->count() > 0) given.push_back(file_);
  for (const TSlot& slot : slots_)
    if (slot.Option->count() > 0) given.push_back(*slot.Value);
  std::vector<const TSlot*> needed;
  for (const TSlot& slot : slots_)
    if (!slot.Needed || slot.Needed()) needed.push_back(&slot);
  if (given.size() > needed.size() + 1)
    throw CLI::ExtrasError(std::vector<std::string>(given.begin() + static_cast<long>(needed.size()) + 1, given.end()));
  if (given.size() < needed.size()) throw CLI::RequiredError(needed[given.size()]->Name);
  size_t next = 0;
  file_.clear();
  if (given.size() == needed.size() + 1) {
    file_ = given[next++];
    if (moduleOption_->count() > 0) throw CLI::ExcludesError("FILE", "--module");
  }
  for (const TSlot& slot : slots_) slot.Value->clear();
  for (const TSlot* slot : needed) *slot->Value = given[next++];
}

std::string TModuleArgs::ModuleFile() const {
  if (file_.empty()) return target_.ModuleFile();
  return RequireModuleFile(file_);
}

namespace {

using TAccess = TModuleFile::TAccess;

struct TTermOptions {
  std::string lang, id, text, textFile, status, object;
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

// A language the terms are read or written in: one of the module's, or the pseudo-language
// of comments. Anything else would read nothing, or create a term table no tool lists.
TLanguageId TermLanguage(TModuleFile& file, const std::string& text) {
  const TLanguageId language = ParseLanguageId(text);
  if (language != module::kCommentLanguage) file.RequireLanguage(language);
  return language;
}

// A command on the terms of one language: [FILE] LANG, and with `withId` the term as ID
// or --object.
struct TTermCommand {
  std::shared_ptr<TTermOptions> o = std::make_shared<TTermOptions>();
  std::shared_ptr<TModuleArgs> args;

  TTermCommand(CLI::App* command, bool withId, bool withObject) {
    args = std::make_shared<TModuleArgs>(command);
    args->Add("LANG", o->lang, "Language identifier: two characters (de, ##) or $HHHH");
    if (!withId) return;
    if (withObject) {
      auto options = o;
      command->add_option("--object", o->object, "The term of this object (its id as object list shows it)");
      args->Add("ID", o->id, "Term identifier (decimal or 0x hex); or give --object",
                [options] { return options->object.empty(); });
    } else {
      args->Add("ID", o->id, "Term identifier (decimal or 0x hex)");
    }
  }

  // The term identifier: ID, or the term of --object (which gets one when `give` is set
  // and it has none).
  uint32_t TermId(TModuleFile& file, bool give) const {
    if (o->object.empty()) return ParseIdent(o->id);
    module::TZodObject object = ReadObject(file, ParseIdent(o->object));
    if (object.Localization == 0) {
      if (!give) throw ECommandFailed(rtl::Format(qs::_SCliObjectHasNoTerm, file.FileName(), object.Ident));
      object.Localization = file.Zod().GetNewTermID(file.Index());
      file.Zod().SetObject(file.Index(), object);
    }
    return object.Localization;
  }
};

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

void RegisterGet(CLI::App* term) {
  CLI::App* get = term->add_subcommand("get", "Print a term's text (with --fallback as the translator finds it)");
  TTermCommand c(get, true, true);
  auto g = c.o;
  get->add_flag("--fallback", g->fallback,
                "Give the text only when translated, else the design-time language's text when the module "
                "uses originals for untranslated texts");
  get->add_flag("--json", g->json, "Print {id, status, style, text}");
  get->callback([c, g]() {
    c.args->Resolve();
    TModuleFile file(c.args->ModuleFile(), TAccess::ReadOnly);
    const TLanguageId lang = TermLanguage(file, g->lang);
    const uint32_t ident = c.TermId(file, false);
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
}

void RegisterSet(CLI::App* term) {
  CLI::App* set = term->add_subcommand(
      "set",
      "Write a term's text. Without --status a text is stored for review (translated, awaiting review), so the "
      "translator shows it at once; an existing design-language term keeps its status, and an empty TEXT keeps "
      "the stored text and status. A TEXT that starts with '-' goes after '--': term set de 5 -- -5%");
  TTermCommand c(set, true, true);
  auto s = c.o;
  c.args->Add("TEXT", s->text, "The text (UTF-8); or give --text-file", [s] { return s->textFile.empty(); });
  set->add_option("--text-file", s->textFile,
                  "Read the text from this file ('-': standard input; UTF-8, at most 1 MiB, a final line end is "
                  "not part of it)");
  set->add_option("--status", s->status, "untranslated, review or signed-off (default: see above)");
  set->add_option("--style", s->style, "Style byte 0-255 (default: kept, new terms 0)")->check(CLI::Range(0, 255));
  set->callback([c, s]() {
    c.args->Resolve();
    const std::u16string wide = s->textFile.empty() ? StoredText(s->text, "TEXT") : ReadTextFile(s->textFile);
    TModuleFile file(c.args->ModuleFile());
    TZodTerm term;
    term.Language = TermLanguage(file, s->lang);
    term.Ident = c.TermId(file, true);
    const bool exists = file.Zod().GetTerm(file.Index(), term);  // keeps status and style of an existing term
    if (!s->status.empty()) {
      term.Status = ParseStatus(s->status);
    } else if (!wide.empty() && !(exists && term.Language == file.Zod().GetDesignTimeLanguage(file.Index()))) {
      term.Status = module::usForReview;
    }
    if (s->style >= 0) term.Style = static_cast<uint8_t>(s->style);
    if (term.Language != module::kCommentLanguage)
      WarnLostCharacters(file.FileName(), term.Language, file.Zod().GetCharsetOfLanguage(file.Index(), term.Language),
                         wide);
    std::vector<uint8_t> bytes = text::Utf16LeBytes(wide);
    term.Data = bytes.data();
    term.Size = static_cast<int32_t>(bytes.size());
    if (!file.Zod().SetTerm(file.Index(), term))
      throw ECommandFailed(rtl::Format(qs::_SCliWriteFailed, file.FileName()));
    if (!s->object.empty()) std::cout << term.Ident << "\n";
  });
}

void RegisterTerm(CLI::App& app) {
  CLI::App* term = app.add_subcommand("term", "The texts of a module: one per term identifier and language");
  term->require_subcommand(1);
  RegisterGet(term);
  RegisterSet(term);

  CLI::App* remove = term->add_subcommand("remove", "Delete a term in one language");
  TTermCommand r(remove, true, false);
  remove->callback([r]() {
    r.args->Resolve();
    TModuleFile file(r.args->ModuleFile());
    TZodTerm term;
    term.Language = ParseLanguageId(r.o->lang);  // also a table of a language the module no longer has
    term.Ident = ParseIdent(r.o->id);
    if (!file.Zod().RemoveTerm(file.Index(), term))
      throw ECommandFailed(rtl::Format(qs::_SCliNoSuchTerm, file.FileName(), term.Ident, r.o->lang));
  });

  CLI::App* list = term->add_subcommand(
      "list", "List a language's terms in stored order: id, status, style, text (line ends and tabs as \\n, \\t)");
  TTermCommand l(list, false, false);
  list->add_flag("--json", l.o->json, "Print a JSON array of {id, status, style, text}");
  list->callback([l]() {
    l.args->Resolve();
    TModuleFile file(l.args->ModuleFile(), TAccess::ReadOnly);
    std::vector<uint8_t> packed = file.Zod().GetTerms(file.Index(), TermLanguage(file, l.o->lang));
    json rows = json::array();
    for (const auto& t : module::UnpackTerms(packed.data(), static_cast<int32_t>(packed.size()))) {
      if (l.o->json) {
        rows.push_back(TermJson(t.Ident, t.Status, t.Style, FromBytes(t.Data)));
      } else {
        std::cout << t.Ident << "\t" << StatusName(t.Status) << "\t" << static_cast<int>(t.Style) << "\t"
                  << EscapedText(FromBytes(t.Data)) << "\n";
      }
    }
    if (l.o->json) std::cout << rows.dump(2) << "\n";
  });

  CLI::App* newId = term->add_subcommand("new-id", "Hand out the module's next term identifier and print it");
  auto n = std::make_shared<TModuleArgs>(newId);
  newId->callback([n]() {
    n->Resolve();
    TModuleFile file(n->ModuleFile());
    std::cout << file.Zod().GetNewTermID(file.Index()) << "\n";
  });
}

void RegisterDictionary(CLI::App& app) {
  CLI::App* dict = app.add_subcommand("dict", "Make a language a dictionary of the module, or stop it");
  dict->require_subcommand(1);
  for (bool on : {true, false}) {
    CLI::App* command = dict->add_subcommand(on ? "on" : "off", on ? "Index the language's texts for translate"
                                                                   : "Remove the index of the language's texts");
    TTermCommand c(command, false, false);
    command->callback([c, on]() {
      c.args->Resolve();
      TModuleFile file(c.args->ModuleFile());
      if (!file.Zod().SetDictionary(file.Index(), TermLanguage(file, c.o->lang), on))
        throw ECommandFailed(rtl::Format(qs::_SCliNotDictionary, file.FileName(), c.o->lang));
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
      RequireModuleFile(name);
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
  auto args = std::make_shared<TModuleArgs>(clean);
  clean->callback([args]() {
    args->Resolve();
    TModuleFile file(args->ModuleFile());
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
