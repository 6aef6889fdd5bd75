#include "cli/object_commands.h"

#include <iostream>
#include <memory>
#include <optional>
#include <nlohmann/json.hpp>

#include "cli/common.h"
#include "cli/project_commands.h"
#include "cli/term_commands.h"
#include "cli/zod_common.h"
#include "platform/vcl/classes.h"
#include "strings/qconsts.h"
#include "text/codepages.h"
#include "text/unicode.h"

namespace quintrel::cli {

namespace {

namespace qs = quintrel::strings;
using module::TZodObject;
using nlohmann::json;

struct TObjectOptions {
  std::string file, form, comp, prop, kind = "utString", zodClass = "ucUnknown", text, lang, id;
  std::vector<std::string> langs;
  std::vector<std::string> translations;  // LANG=TEXT
  bool json = false;
};

// The name of a catalogue line with the identifier, "" when none.
std::string NameOf(const module::TCatalogueList& list, int line) {
  return line < 0 ? std::string() : module::CatalogueName(list[static_cast<size_t>(line)]);
}

std::vector<std::pair<module::TLanguageId, std::u16string>> ParseTranslations(const std::vector<std::string>& list) {
  std::vector<std::pair<module::TLanguageId, std::u16string>> translations;
  for (const std::string& t : list) {
    const size_t eq = t.find('=');
    if (eq == std::string::npos) throw ECommandFailed(rtl::Format(qs::_SCliBadTranslation, t));
    translations.emplace_back(ParseLanguageId(t.substr(0, eq)), StoredText(t.substr(eq + 1), "--translation"));
  }
  return translations;
}

// A term's text in one language, stored as the module keeps it: UTF-16 little-endian.
void StoreText(module::TZod& zod, int index, uint32_t termId, module::TLanguageId language, const std::u16string& wide,
               module::TZodStatus status) {
  std::vector<uint8_t> bytes = text::Utf16LeBytes(wide);
  module::TZodTerm term{language, termId, status, 0, bytes.data(), static_cast<int32_t>(bytes.size())};
  zod.SetTerm(index, term);
}

// Reads the object just added (object.Ident) and gives it a fresh term for its texts.
void GiveNewTerm(module::TZod& zod, int index, TZodObject& object) {
  object.FormID = zod.GetFormOfObjectID(index, object.Ident);  // where older modules keep it
  zod.GetObject(index, object);
  object.Localization = zod.GetNewTermID(index);
  zod.SetObject(index, object);
}

void RegisterAdd(CLI::App* object) {
  auto o = std::make_shared<TObjectOptions>();
  CLI::App* add = object->add_subcommand("add", "Add an object for a property of a component on a form; prints its id");
  add->add_option("FILE", o->file, "Module file")->required();
  add->add_option("FORM", o->form, "Form name")->required();
  add->add_option("COMPONENT", o->comp, "Component name")->required();
  add->add_option("PROPERTY", o->prop, "Property name")->required();
  add->add_option("--kind", o->kind, "Value kind: utString, utConstant, ... utUnknown (default utString)");
  add->add_option("--class", o->zodClass, "Control class: ucButton ... or a component class name such as TButton");
  add->add_option("--text", o->text, "Also create the object's term with this text (signed off)");
  add->add_option("--lang", o->lang, "Language of --text");
  add->add_option("--translation", o->translations,
                  "LANG=TEXT: the term's text in a further language, signed off (repeatable; needs --text)");
  add->callback([o]() {
    int kind = module::ZodTypeFromName(o->kind);
    if (kind < 0) throw ECommandFailed(rtl::Format(qs::_SCliBadKind, o->kind));
    uint8_t zodClass = ParseClass(o->zodClass);
    if (!o->text.empty() && o->lang.empty()) throw ECommandFailed(qs::_SCliTextNeedsLang);
    if (!o->translations.empty() && o->text.empty()) throw ECommandFailed(qs::_SCliTranslationNeedsText);
    const std::vector<std::pair<module::TLanguageId, std::u16string>> translations =
        ParseTranslations(o->translations);
    const std::u16string designText = StoredText(o->text, "--text");
    TModuleFile file(o->file);
    module::TZod& zod = file.Zod();
    module::TModuleLock lock(zod.GetModuleInterface(file.Index()), true);
    TZodObject object;
    object.Ident = zod.AddObject(file.Index(), o->form, o->comp, o->prop, static_cast<uint8_t>(kind), zodClass);
    if (!o->text.empty()) {
      GiveNewTerm(zod, file.Index(), object);
      StoreText(zod, file.Index(), object.Localization, ParseLanguageId(o->lang), designText,
                module::usSignedOff);
      for (const auto& [language, wide] : translations)
        StoreText(zod, file.Index(), object.Localization, language, wide, module::usSignedOff);
    }
    std::cout << object.Ident << "\n";
  });
}

// A resource string of a unit, catalogued as the resource-string tools do: the unit is a
// form row "#" + file name, the constant a property row "#" + identifier, the object of
// class ucResourceString with the string's number in its component field. The text comes
// from --text or from the project's linked string table.
void RegisterAddString(CLI::App* object) {
  auto o = std::make_shared<TObjectOptions>();
  auto number = std::make_shared<long long>(-1);
  auto project = std::make_shared<std::string>();
  CLI::App* add = object->add_subcommand(
      "add-string", "Catalogue a resource string of a unit (a .pas resourcestring or a .rc string table); prints its id");
  add->add_option("FILE", o->file, "Module file")->required();
  add->add_option("UNIT", o->form, "The unit's file name, such as AppText.pas or Errors.rc")->required();
  add->add_option("IDENT", o->prop, "The string's constant")->required();
  add->add_option("--number", *number,
                  "Its identifier in the string table (default: from --project for a .rc unit; 0, matched at run "
                  "time, for a .pas unit)");
  add->add_option("--project", *project, "Take the text (and a script string's number) from this project's sources");
  add->add_option("--text", o->text, "Its text in the design language (default: from --project)");
  add->add_option("--translation", o->translations, "LANG=TEXT: its text in a further language, signed off (repeatable)");
  add->callback([o, number, project]() {
    std::string unit = o->form;
    if (!unit.empty() && unit.front() == '#') unit.erase(0, 1);
    const std::string ext = host::ExtensionOf(unit);
    if (ext != ".pas" && ext != ".rc") throw ECommandFailed(rtl::Format(qs::_SCliNotAStringUnit, unit));
    if (!vcl::IsValidIdent(o->prop)) throw ECommandFailed(qs::_SCliInvalidResIdent);
    std::optional<std::u16string> designText;
    if (!o->text.empty()) designText = StoredText(o->text, "--text");
    unsigned resource = 0;
    if (!project->empty()) {
      const host::TProject p = OpenProject(*project);
      const host::TStringTable table = LinkProjectStrings(p);
      const host::TLinkedString* s = table.Find(o->prop, unit);
      if (!s) throw ECommandFailed(rtl::Format(qs::_SCliNoSuchString, p.ProjectFile(), unit, o->prop));
      if (!designText) designText = s->Text;
      if (ext == ".rc") resource = s->Resource;
    }
    if (*number >= 0) {
      if (*number > 0xFFFF) throw ECommandFailed(rtl::Format(qs::_SCliBadNumber, std::to_string(*number), 0, 65535));
      resource = static_cast<unsigned>(*number);
    }
    if (!designText) throw ECommandFailed(qs::_SCliStringNeedsText);
    // A script string is found by its number alone; without one it could never be loaded.
    if (ext == ".rc" && resource == 0) throw ECommandFailed(rtl::Format(qs::_SCliScriptStringNeedsNumber, unit));
    std::vector<std::pair<module::TLanguageId, std::u16string>> translations = ParseTranslations(o->translations);

    TModuleFile file(o->file);
    module::TZod& zod = file.Zod();
    module::TModuleLock lock(zod.GetModuleInterface(file.Index()), true);
    const std::string unitName = "#" + unit, propName = "#" + o->prop;
    const auto unitId = static_cast<uint16_t>(module::GetFormID(zod.GetForms(file.Index()), unitName));
    const auto propId = static_cast<uint16_t>(module::GetPropID(zod.GetProps(file.Index()), propName));
    if (unitId != 0 && propId != 0)
      for (const TZodObject& existing : zod.GetObjects(file.Index(), unitId))
        if (existing.PropertyName == propId) throw ECommandFailed(qs::_SCliStringExists);
    TZodObject object;
    object.Ident = zod.AddUnitObject(file.Index(), unitName, resource, propName, module::utString, module::ucResourceString);
    GiveNewTerm(zod, file.Index(), object);
    StoreText(zod, file.Index(), object.Localization, zod.GetDesignTimeLanguage(file.Index()), *designText,
              designText->empty() ? module::usUnTranslated : module::usForReview);
    for (const auto& [language, wide] : translations)
      StoreText(zod, file.Index(), object.Localization, language, wide, module::usSignedOff);
    std::cout << object.Ident << "\n";
  });
}

void RegisterList(CLI::App* object) {
  auto o = std::make_shared<TObjectOptions>();
  CLI::App* list = object->add_subcommand(
      "list", "List the objects form by form: id, form, component, property, kind, class, locked, priority, and "
              "per --lang the text and its status");
  list->add_option("FILE", o->file, "Module file")->required();
  list->add_option("--form", o->form, "Only this form");
  list->add_option("--lang", o->langs, "Show the text in this language (repeatable)");
  list->add_flag("--json", o->json, "Print a JSON array of objects");
  list->callback([o]() {
    TModuleFile file(o->file);
    module::TZod& zod = file.Zod();
    int m = file.Index();
    module::TCatalogueList forms = zod.GetForms(m), comps = zod.GetComps(m), props = zod.GetProps(m);
    if (!o->form.empty() && module::GetFormID(forms, o->form) == 0)
      throw ECommandFailed(rtl::Format(qs::_SCliNoSuchForm, file.FileName(), o->form));
    json rows = json::array();
    for (const std::string& line : forms) {
      std::string formName = module::CatalogueName(line);
      if (!o->form.empty() && formName != o->form) continue;
      auto form = static_cast<uint16_t>(module::GetFormID({line}, formName));
      for (const TZodObject& obj : zod.GetObjects(m, form)) {
        if (obj.Ident == 0) continue;
        json row{{"id", obj.Ident},
                 {"form", formName},
                 // A unit's strings carry their string-table number there ("?" before it is known).
                 {"component", !formName.empty() && formName[0] == '#'
                                   ? (obj.CompName ? std::to_string(obj.CompName) : std::string("?"))
                                   : NameOf(comps, module::GetCompIndex(comps, obj.CompName))},
                 {"property", NameOf(props, module::GetPropIndex(props, obj.PropertyName))},
                 {"kind", std::string(module::ZodTypeName(obj.Kind))},
                 {"class", std::string(module::ZodClassName(obj.ZodClass))},
                 {"locked", obj.Locked},
                 {"priority", obj.Priority},
                 {"term", obj.Localization}};
        json texts = json::object();
        std::string line2 = std::to_string(obj.Ident) + "\t" + formName + "\t" + row["component"].get<std::string>() +
                            "\t" + row["property"].get<std::string>() + "\t" + row["kind"].get<std::string>() + "\t" +
                            row["class"].get<std::string>() + "\t" + (obj.Locked ? "locked" : "-") + "\t" +
                            std::to_string(obj.Priority);
        for (const std::string& langText : o->langs) {
          module::TZodTerm term{ParseLanguageId(langText), obj.Localization};
          std::vector<uint8_t> data;
          bool found = zod.GetTerm(m, term);
          if (found && term.Size > 0) {
            data.resize(static_cast<size_t>(term.Size));
            term.Data = data.data();
            zod.GetTerm(m, term);
          }
          std::u16string text(data.size() / 2, u'\0');
          for (size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
          std::string status = found ? StatusName(term.Status) : "missing";
          texts[langText] = {{"text", found ? json(Utf8(text)) : json(nullptr)}, {"status", status}};
          line2 += "\t" + langText + ":" + status + ":" + Utf8(text);
        }
        if (!o->langs.empty()) row["texts"] = texts;
        if (o->json) {
          rows.push_back(row);
        } else {
          std::cout << line2 << "\n";
        }
      }
    }
    if (o->json) std::cout << rows.dump(2) << "\n";
  });
}

void RegisterRemove(CLI::App* object) {
  auto o = std::make_shared<TObjectOptions>();
  CLI::App* remove = object->add_subcommand("remove", "Delete an object (its terms stay until module clean)");
  remove->add_option("FILE", o->file, "Module file")->required();
  remove->add_option("ID", o->id, "Object identifier")->required();
  remove->callback([o]() {
    TModuleFile file(o->file);
    TZodObject object;
    object.Ident = ParseIdent(o->id);
    object.FormID = file.Zod().GetFormOfObjectID(file.Index(), object.Ident);
    if (!file.Zod().GetObject(file.Index(), object))
      throw ECommandFailed(rtl::Format(qs::_SCliNoSuchObject, file.FileName(), object.Ident));
    object.PropertyName = 0;
    file.Zod().SetObject(file.Index(), object);
  });
}

void RegisterForms(CLI::App& app) {
  CLI::App* form = FindSubcommand(app, "form");
  if (!form) {
    form = app.add_subcommand("form", "Forms");
    form->require_subcommand(1);
  }
  auto o = std::make_shared<TObjectOptions>();
  CLI::App* list = form->add_subcommand("list", "List the forms of a module's catalogue: id, name, objects");
  list->add_option("FILE", o->file, "Module file")->required();
  list->callback([o]() {
    TModuleFile file(o->file);
    for (const std::string& line : file.Zod().GetForms(file.Index())) {
      auto id = static_cast<uint16_t>(text::HexToInt(std::string_view(line).substr(0, 4)));
      std::cout << line.substr(0, line.find(' ')) << "\t" << module::CatalogueName(line) << "\t"
                << file.Zod().GetObjects(file.Index(), id, nullptr) << "\n";
    }
  });
  auto r = std::make_shared<TObjectOptions>();
  CLI::App* remove = form->add_subcommand("remove", "Remove a form and all its objects from the catalogue");
  remove->add_option("FILE", r->file, "Module file")->required();
  remove->add_option("NAME", r->form, "Form name")->required();
  remove->callback([r]() {
    TModuleFile file(r->file);
    auto id = static_cast<uint16_t>(module::GetFormID(file.Zod().GetForms(file.Index()), r->form));
    if (id == 0 || !file.Zod().RemoveForm(file.Index(), id))
      throw ECommandFailed(rtl::Format(qs::_SCliNoSuchForm, file.FileName(), r->form));
  });
}

}  // namespace

void RegisterObjectCommands(CLI::App& app) {
  CLI::App* object = app.add_subcommand("object", "The object catalogue: the translatable properties of the forms");
  object->require_subcommand(1);
  RegisterAdd(object);
  RegisterAddString(object);
  RegisterList(object);
  RegisterRemove(object);
  RegisterForms(app);
}

}  // namespace quintrel::cli
