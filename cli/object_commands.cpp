#include "cli/object_commands.h"

#include <iostream>
#include <memory>
#include <optional>
#include <nlohmann/json.hpp>

#include "cli/common.h"
#include "cli/project_commands.h"
#include "cli/term_commands.h"
#include "cli/texts.h"
#include "cli/zod_common.h"
#include "platform/vcl/classes.h"
#include "platform/vcl/streaming.h"
#include "platform/vcl/textutil.h"
#include "runtime/proptransfer.h"
#include "strings/hostconsts.h"
#include "strings/qconsts.h"
#include "text/codepages.h"
#include "text/unicode.h"

namespace quintrel::cli {

namespace {

namespace qs = quintrel::strings;
using module::TZodObject;
using nlohmann::json;
using TAccess = TModuleFile::TAccess;

struct TObjectOptions {
  std::string file, form, comp, prop, kind = "utString", zodClass = "ucUnknown", text, textFile, lang, id;
  std::vector<std::string> langs;
  std::vector<std::string> translations;  // LANG=TEXT
  bool json = false;
};

// The name of a catalogue line with the identifier, "" when none.
std::string NameOf(const module::TCatalogueList& list, int line) {
  return line < 0 ? std::string() : module::CatalogueName(list[static_cast<size_t>(line)]);
}

// Names joined by ", ", the first `limit` of them and then "...".
std::string NameList(const std::vector<std::string>& names, size_t limit = 30) {
  std::string list;
  for (size_t i = 0; i < names.size() && i <= limit; ++i)
    list += (i ? ", " : "") + (i == limit ? std::string("...") : names[i]);
  return list.empty() ? std::string("none") : list;
}

std::string FormNames(const module::TCatalogueList& forms) {
  std::vector<std::string> names;
  for (const std::string& line : forms) names.push_back(module::CatalogueName(line));
  return NameList(names);
}

}  // namespace

TTranslations ParseTranslations(const std::vector<std::string>& list) {
  TTranslations translations;
  for (const std::string& t : list) {
    const size_t eq = t.find('=');
    if (eq == std::string::npos) throw ECommandFailed(rtl::Format(qs::_SCliBadTranslation, t));
    const module::TLanguageId language = ParseLanguageId(t.substr(0, eq));
    for (const auto& [known, text] : translations)
      if (known == language) throw ECommandFailed(rtl::Format(qs::_SCliTwoTranslations, FormatLanguageId(language)));
    translations.emplace_back(language, StoredText(t.substr(eq + 1), "--translation " + t.substr(0, eq)));
  }
  return translations;
}

void RequireTranslationLanguages(TModuleFile& file, const TTranslations& translations,
                                 std::optional<module::TLanguageId> textLanguage) {
  for (const auto& [language, text] : translations) {
    if (textLanguage == language)
      throw ECommandFailed(rtl::Format(qs::_SCliTranslationOfTextLanguage, FormatLanguageId(language)));
    file.RequireLanguage(language);
  }
}

void StoreText(TModuleFile& file, uint32_t termId, module::TLanguageId language, const std::u16string& wide,
               module::TZodStatus status) {
  WarnLostCharacters(file.FileName(), language, file.Zod().GetCharsetOfLanguage(file.Index(), language), wide);
  std::vector<uint8_t> bytes = text::Utf16LeBytes(wide);
  module::TZodTerm term{language, termId, status, 0, bytes.data(), static_cast<int32_t>(bytes.size())};
  file.Zod().SetTerm(file.Index(), term);
}

namespace {

// Gives the object (read with ReadObject) a fresh term for its texts when it has none.
void GiveTerm(module::TZod& zod, int index, TZodObject& object) {
  if (object.Localization != 0) return;
  object.Localization = zod.GetNewTermID(index);
  zod.SetObject(index, object);
}

// The object of the form, component and property when the catalogue has it; 0 when not.
// The form is found ignoring case; `formName` becomes its catalogued spelling.
uint32_t ExistingObject(module::TZod& zod, int index, std::string& formName, const std::string& comp,
                        const std::string& prop) {
  const module::TCatalogueList forms = zod.GetForms(index);
  TZodObject probe;
  probe.FormID = static_cast<uint16_t>(module::GetFormIDIgnoringCase(forms, formName));
  if (probe.FormID == 0) return 0;
  formName = module::CatalogueName(forms[static_cast<size_t>(module::GetFormIndex(forms, probe.FormID))]);
  probe.PropertyName = static_cast<uint16_t>(module::GetPropID(zod.GetProps(index), prop));
  if (probe.PropertyName == 0) return 0;
  // The form's own properties are under 0; modules written before that may hold them under
  // a component with an empty name, which is the same object.
  if (comp.empty()) {
    if (const uint32_t found = zod.FindObject(index, probe)) return found;
    probe.CompName = module::GetCompID(zod.GetComps(index), comp);
    return probe.CompName == 0 ? 0 : zod.FindObject(index, probe);
  }
  probe.CompName = module::GetCompID(zod.GetComps(index), comp);
  if (probe.CompName == 0) return 0;
  return zod.FindObject(index, probe);
}

// A component (or the form itself) of one of the project's forms, loaded from its form file.
struct TFormComponent {
  std::string FormFile;
  std::unique_ptr<vcl::TComponent> Root;
  vcl::TComponent* Instance = nullptr;
};

// Loads the project's form of that name (ignoring case) and finds the component; fails
// naming what the project or the form has instead.
TFormComponent LoadFormComponent(const std::string& projectFile, const std::string& formName,
                                 const std::string& comp) {
  const host::TProject project = OpenProject(projectFile);
  const host::TProjectEntry* entry = nullptr;
  std::vector<std::string> projectForms;
  for (const host::TProjectEntry& e : project.Entries()) {
    if (e.FormName.empty()) continue;
    projectForms.push_back(e.FormName);
    if (!entry && vcl::SameText(e.FormName, formName)) entry = &e;
  }
  if (!entry)
    throw ECommandFailed(
        rtl::Format(qs::_SCliNoFormInProject, project.ProjectFile(), formName, NameList(projectForms)));
  TFormComponent found;
  found.FormFile = host::CompanionFile(entry->FileName, ".dfm");
  if (found.FormFile.empty())
    throw ECommandFailed(rtl::Format(strings::_SFormFileMissing, entry->FileName, entry->FormName));
  try {
    found.Root = vcl::LoadComponentFile(found.FormFile);
  } catch (const rtl::Exception& e) {
    throw ECommandFailed(found.FormFile + ": " + e.Message());
  }
  vcl::TComponent& root = *found.Root;
  found.Instance = comp.empty() || vcl::SameText(comp, root.Name()) ? &root : root.FindComponent(comp);
  if (!found.Instance) {
    std::vector<std::string> names;
    for (int i = 0; i < root.ComponentCount(); ++i)
      if (!root.Components(i)->Name().empty()) names.push_back(root.Components(i)->Name());
    throw ECommandFailed(rtl::Format(qs::_SCliNoComponentOnForm, found.FormFile, root.Name(), comp, NameList(names)));
  }
  return found;
}

// The design-language text of the property as the form holds it, read as the development
// environment reads a designed form into the module: the object gets a term holding it.
// False (and no term) when the property reads as empty or names nothing the form holds.
bool ReadFormText(TModuleFile& file, const TFormComponent& source, const std::string& prop, TZodObject& object) {
  module::TZod& zod = file.Zod();
  const module::TLanguageId design = zod.GetDesignTimeLanguage(file.Index());
  runtime::TPropertyTransfer transfer(zod);
  transfer.SetModule(file.Index());
  transfer.SetCurrentLanguage(design, zod.GetCharsetOfLanguage(file.Index(), design));
  module::TZodTerm term;
  term.Language = design;
  term.Ident = zod.GetNewTermID(file.Index());
  try {
    transfer.GetProp(source.Instance, prop, term.Ident);
  } catch (const std::exception& e) {
    zod.RemoveTerm(file.Index(), term);
    throw ECommandFailed(rtl::Format(qs::_SCliPropertyNotRead, source.FormFile, source.Instance->Name(), prop,
                                     std::string(e.what())));
  }
  // The reader stores a value that differs from the empty term it starts with for review;
  // a term still untranslated read nothing.
  if (!zod.GetTerm(file.Index(), term) || term.Status == module::usUnTranslated) {
    zod.RemoveTerm(file.Index(), term);
    return false;
  }
  object.Localization = term.Ident;
  zod.SetObject(file.Index(), object);
  return true;
}

// The text --text or --text-file gives; nullopt when neither.
std::optional<std::u16string> GivenText(const TObjectOptions& o, const CLI::Option* textOption) {
  if (!o.textFile.empty()) {
    if (textOption->count() > 0) throw ECommandFailed(qs::_SCliTextTwice);
    return ReadTextFile(o.textFile);
  }
  if (textOption->count() > 0) return StoredText(o.text, "--text");
  return std::nullopt;
}

void RegisterAdd(CLI::App* object) {
  auto o = std::make_shared<TObjectOptions>();
  CLI::App* add = object->add_subcommand(
      "add",
      "Catalogue a property of a component on a form and print the object's id; an object the catalogue has "
      "already is updated and keeps its id. Without --text the design-language text is read from the project's "
      "form (--project, or the project in the current folder); without a project the object has no text yet "
      "and its property stays as the form has it");
  auto args = std::make_shared<TModuleArgs>(add);
  args->Add("FORM", o->form, "Form name (compared ignoring case)");
  args->Add("COMPONENT", o->comp, "Component name; '' for the form itself");
  args->Add("PROPERTY", o->prop, "Property path: Caption, Font.Name, Lines.Strings[0], Items[1].Caption");
  CLI::Option* kind = add->add_option("--kind", o->kind, "Value kind: utString, utConstant, ... utUnknown (default utString)");
  CLI::Option* cls = add->add_option(
      "--class", o->zodClass, "Control class: ucButton ... or a component class name such as TButton (default ucUnknown)");
  CLI::Option* text = add->add_option("--text", o->text, "The object's text (signed off), in --lang");
  add->add_option("--text-file", o->textFile, "Read the text from this file ('-': standard input)");
  add->add_option("--lang", o->lang, "Language of the text (default: the design language)");
  add->add_option("--translation", o->translations,
                  "LANG=TEXT: the text in a further language, signed off (repeatable, once per language; needs a "
                  "text)");
  add->callback([o, args, kind, cls, text]() {
    args->Resolve();
    CheckName(o->form, TNameKind::Form, "FORM");
    CheckName(o->comp, TNameKind::Component, "COMPONENT");
    CheckName(o->prop, TNameKind::Property, "PROPERTY");
    const int kindValue = module::ZodTypeFromName(o->kind);
    if (kindValue < 0) throw ECommandFailed(rtl::Format(qs::_SCliBadKind, o->kind));
    const uint8_t zodClass = ParseClass(o->zodClass);
    const std::optional<std::u16string> designText = GivenText(*o, text);
    if (!o->translations.empty() && !designText) throw ECommandFailed(qs::_SCliTranslationNeedsText);
    const TTranslations translations = ParseTranslations(o->translations);

    TModuleFile file(args->ModuleFile());
    module::TZod& zod = file.Zod();
    const int m = file.Index();
    std::optional<module::TLanguageId> textLanguage;
    if (designText) {
      textLanguage = o->lang.empty() ? zod.GetDesignTimeLanguage(m) : ParseLanguageId(o->lang);
      if (o->lang.empty() && *textLanguage == module::kNoLanguage) throw ECommandFailed(qs::_SCliTextNeedsLang);
      file.RequireLanguage(*textLanguage);
    } else if (!o->lang.empty()) {
      file.RequireLanguage(ParseLanguageId(o->lang));  // not used without a text, but never ignored
    }
    RequireTranslationLanguages(file, translations, textLanguage);

    module::TModuleLock lock(zod.GetModuleInterface(m), true);
    std::string formName = o->form;
    const uint32_t existing = ExistingObject(zod, m, formName, o->comp, o->prop);
    TZodObject object;
    if (existing) object = ReadObject(file, existing);
    // Without a text, the text as designed when the project is known and the module has a
    // design language; the form is read before anything changes.
    std::optional<TFormComponent> source;
    if (!designText && object.Localization == 0) {
      std::string project;
      try {
        project = args->Target().ProjectFile();
      } catch (const ECommandFailed&) {
        if (args->Target().ProjectGiven()) throw;
      }
      if (!project.empty()) {
        file.WarnNoDesignLanguage();
        if (zod.GetDesignTimeLanguage(m) != module::kNoLanguage)
          source = LoadFormComponent(project, formName, o->comp);
      }
    }
    if (existing) {
      if (kind->count() > 0) object.Kind = static_cast<uint8_t>(kindValue);
      if (cls->count() > 0) object.ZodClass = zodClass;
      zod.SetObject(m, object);
    } else {
      object = ReadObject(
          file, zod.AddObject(m, formName, o->comp, o->prop, static_cast<uint8_t>(kindValue), zodClass));
    }
    if (designText) {
      GiveTerm(zod, m, object);
      StoreText(file, object.Localization, *textLanguage, *designText, module::usSignedOff);
      for (const auto& [language, wide] : translations)
        StoreText(file, object.Localization, language, wide, module::usSignedOff);
    } else if (object.Localization == 0) {
      bool read = false;
      try {
        read = source && ReadFormText(file, *source, o->prop, object);
      } catch (const ECommandFailed&) {
        if (!existing) {
          object.PropertyName = 0;  // what failed adds nothing
          zod.SetObject(m, object);
        }
        throw;
      }
      if (!read) std::cerr << "quintrel: " << rtl::Format(qs::_SCliNoTextYet, file.FileName(), object.Ident) << "\n";
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
  CLI::App* add = object->add_subcommand(
      "add-string", "Catalogue a resource string of a unit (a .pas resourcestring or a .rc string table); prints its id");
  auto args = std::make_shared<TModuleArgs>(add);
  args->Add("UNIT", o->form, "The unit's file name, such as AppText.pas or Errors.rc");
  args->Add("IDENT", o->prop, "The string's constant");
  add->add_option("--number", *number,
                  "Its identifier in the string table (default: from the project for a .rc unit; 0, matched at run "
                  "time, for a .pas unit)");
  CLI::Option* text = add->add_option(
      "--text", o->text, "Its text in the design language (default: from the project's sources: --project, or the "
                         "project in the current folder)");
  add->add_option("--translation", o->translations,
                  "LANG=TEXT: its text in a further language, signed off (repeatable, once per language)");
  add->callback([o, number, args, text]() {
    args->Resolve();
    std::string unit = o->form;
    if (!unit.empty() && unit.front() == '#') unit.erase(0, 1);
    StoredText(unit, "UNIT");
    const std::string ext = host::ExtensionOf(unit);
    if (ext != ".pas" && ext != ".rc") throw ECommandFailed(rtl::Format(qs::_SCliNotAStringUnit, unit));
    StoredText(o->prop, "IDENT");  // ill-formed UTF-8 is named with its offset first
    if (!vcl::IsValidIdent(o->prop)) throw ECommandFailed(qs::_SCliInvalidResIdent);
    std::optional<std::u16string> designText = GivenText(*o, text);
    unsigned resource = 0;
    // The project is read when it is named, or when a text or number must come from it.
    const bool needProject = !designText || (ext == ".rc" && *number < 0);
    if (args->Target().ProjectGiven() || needProject) {
      std::string projectFile;
      try {
        projectFile = args->Target().ProjectFile();
      } catch (const ECommandFailed&) {
        if (args->Target().ProjectGiven() || !designText) throw;
      }
      if (!projectFile.empty()) {
        const host::TProject p = OpenProject(projectFile);
        const host::TStringTable table = LinkProjectStrings(p);
        const host::TLinkedString* s = table.Find(o->prop, unit);
        if (!s) throw ECommandFailed(rtl::Format(qs::_SCliNoSuchString, p.ProjectFile(), unit, o->prop));
        if (!designText) designText = s->Text;
        if (ext == ".rc") resource = s->Resource;
      }
    }
    if (*number >= 0) {
      if (*number > 0xFFFF) throw ECommandFailed(rtl::Format(qs::_SCliBadNumber, std::to_string(*number), 0, 65535));
      resource = static_cast<unsigned>(*number);
    }
    if (!designText) throw ECommandFailed(qs::_SCliStringNeedsText);
    // A script string is found by its number alone; without one it could never be loaded.
    if (ext == ".rc" && resource == 0) throw ECommandFailed(rtl::Format(qs::_SCliScriptStringNeedsNumber, unit));
    const TTranslations translations = ParseTranslations(o->translations);

    TModuleFile file(args->ModuleFile());
    module::TZod& zod = file.Zod();
    const int m = file.Index();
    const module::TLanguageId design = zod.GetDesignTimeLanguage(m);
    file.RequireLanguage(design);
    RequireTranslationLanguages(file, translations, design);
    module::TModuleLock lock(zod.GetModuleInterface(m), true);
    const std::string unitName = "#" + unit, propName = "#" + o->prop;
    const auto unitId = static_cast<uint16_t>(module::GetFormID(zod.GetForms(m), unitName));
    const auto propId = static_cast<uint16_t>(module::GetPropID(zod.GetProps(m), propName));
    if (unitId != 0 && propId != 0)
      for (const TZodObject& existing : zod.GetObjects(m, unitId))
        if (existing.PropertyName == propId) throw ECommandFailed(qs::_SCliStringExists);
    TZodObject added = ReadObject(
        file, zod.AddUnitObject(m, unitName, resource, propName, module::utString, module::ucResourceString));
    GiveTerm(zod, m, added);
    StoreText(file, added.Localization, design, *designText,
              designText->empty() ? module::usUnTranslated : module::usForReview);
    for (const auto& [language, wide] : translations)
      StoreText(file, added.Localization, language, wide, module::usSignedOff);
    std::cout << added.Ident << "\n";
  });
}

// One object's text in a language for `object list`: found, status and text.
struct TListedText {
  bool Found = false;
  uint8_t Status = 0;
  std::u16string Text;
};

TListedText ObjectText(module::TZod& zod, int m, uint32_t termId, module::TLanguageId language) {
  TListedText listed;
  module::TZodTerm term{language, termId};
  std::vector<uint8_t> data;
  listed.Found = termId != 0 && zod.GetTerm(m, term);
  if (listed.Found && term.Size > 0) {
    data.resize(static_cast<size_t>(term.Size));
    term.Data = data.data();
    zod.GetTerm(m, term);
  }
  listed.Status = term.Status;
  listed.Text.resize(data.size() / 2);
  for (size_t i = 0; i < listed.Text.size(); ++i)
    listed.Text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  return listed;
}

void RegisterList(CLI::App* object) {
  auto o = std::make_shared<TObjectOptions>();
  CLI::App* list = object->add_subcommand(
      "list", "List the objects form by form under a header: id, term, form, component, property, kind, class, "
              "locked, priority, and per --lang the text (line ends and tabs as \\n, \\t) and its status");
  auto args = std::make_shared<TModuleArgs>(list);
  list->add_option("--form", o->form, "Only this form (compared ignoring case)");
  list->add_option("--lang", o->langs, "Show the text in this language (repeatable)");
  list->add_flag("--json", o->json, "Print a JSON array of objects");
  list->callback([o, args]() {
    args->Resolve();
    TModuleFile file(args->ModuleFile(), TAccess::ReadOnly);
    module::TZod& zod = file.Zod();
    const int m = file.Index();
    std::vector<module::TLanguageId> languages;
    for (const std::string& lang : o->langs) {
      languages.push_back(file.Language(lang));
    }
    const module::TCatalogueList forms = zod.GetForms(m), comps = zod.GetComps(m), props = zod.GetProps(m);
    uint32_t onlyForm = 0;
    if (!o->form.empty()) {
      onlyForm = module::GetFormIDIgnoringCase(forms, o->form);
      if (onlyForm == 0) throw ECommandFailed(rtl::Format(qs::_SCliNoSuchFormIn, file.FileName(), o->form, FormNames(forms)));
    }
    json rows = json::array();
    if (!o->json) std::cout << qs::_SCliObjectListHeader;
    for (const std::string& lang : o->langs)
      if (!o->json) std::cout << "\t" << lang;
    if (!o->json) std::cout << "\n";
    for (const std::string& line : forms) {
      const std::string formName = module::CatalogueName(line);
      const auto form = static_cast<uint16_t>(text::HexToInt(std::string_view(line).substr(0, 4)));
      if (onlyForm != 0 && form != onlyForm) continue;
      for (const TZodObject& obj : zod.GetObjects(m, form)) {
        if (obj.Ident == 0) continue;
        // A unit's strings carry their string-table number there ("?" before it is known).
        const std::string component = !formName.empty() && formName[0] == '#'
                                          ? (obj.CompName ? std::to_string(obj.CompName) : std::string("?"))
                                      : obj.CompName == 0 ? std::string()
                                                          : NameOf(comps, module::GetCompIndex(comps, obj.CompName));
        const std::string property = NameOf(props, module::GetPropIndex(props, obj.PropertyName));
        const std::string kind(module::ZodTypeName(obj.Kind)), zodClass(module::ZodClassName(obj.ZodClass));
        json row{{"id", obj.Ident},     {"form", formName},   {"component", component},
                 {"property", property}, {"kind", kind},       {"class", zodClass},
                 {"locked", obj.Locked}, {"priority", obj.Priority}, {"term", obj.Localization}};
        std::string shown = std::to_string(obj.Ident) + "\t" + std::to_string(obj.Localization) + "\t" + formName +
                            "\t" + component + "\t" + property + "\t" + kind + "\t" + zodClass + "\t" +
                            (obj.Locked ? "locked" : "-") + "\t" + std::to_string(obj.Priority);
        json texts = json::object();
        for (size_t i = 0; i < languages.size(); ++i) {
          const TListedText t = ObjectText(zod, m, obj.Localization, languages[i]);
          const std::string status = t.Found ? StatusName(t.Status) : "missing";
          texts[o->langs[i]] = {{"text", t.Found ? json(Utf8(t.Text)) : json(nullptr)}, {"status", status}};
          shown += "\t" + status + ":" + EscapedText(t.Text);
        }
        if (!languages.empty()) row["texts"] = texts;
        if (o->json) {
          rows.push_back(row);
        } else {
          std::cout << shown << "\n";
        }
      }
    }
    if (o->json) std::cout << rows.dump(2) << "\n";
  });
}

void RegisterRemove(CLI::App* object) {
  auto o = std::make_shared<TObjectOptions>();
  CLI::App* remove = object->add_subcommand("remove", "Delete an object (its terms stay until module clean)");
  auto args = std::make_shared<TModuleArgs>(remove);
  args->Add("ID", o->id, "Object identifier, as object list shows it");
  remove->callback([o, args]() {
    args->Resolve();
    TModuleFile file(args->ModuleFile());
    TZodObject object = ReadObject(file, ParseIdent(o->id));
    object.PropertyName = 0;
    file.Zod().SetObject(file.Index(), object);
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
}

}  // namespace quintrel::cli
