#include "cli/form_commands.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/common.h"
#include "cli/output_file.h"
#include "cli/target.h"
#include "cli/zod_common.h"
#include "module/objects.h"
#include "platform/rtl/classes.h"
#include "platform/vcl/filer.h"
#include "platform/vcl/forms.h"
#include "platform/vcl/proplist.h"
#include "platform/vcl/streaming.h"
#include "platform/vcl/textutil.h"
#include "strings/qconsts.h"
#include "strings/vconsts.h"
#include "text/codepages.h"

namespace quintrel::cli {

namespace {

using namespace quintrel::vcl;

struct TConvertOptions {
  std::string Input;
  std::string Output;
  bool Text = false;
  bool Binary = false;
};

struct TTreeOptions {
  std::string File;
  bool Json = false;
  int CodePage = 0;
};

struct TCatalogueOptions {
  TTarget Target;
  std::string Form;
  bool Json = false;
};

std::string WithFileName(const std::string& fileName, const std::string& message) {
  return message.find(fileName) != std::string::npos ? message : fileName + ": " + message;
}

// The JSON of form tree is written a component at a time, in the layout of an indented
// dump of the whole document (keys sorted, two spaces a level), without building it.
std::string JsonText(const std::string& text) {
  return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// A [{path, value}] array whose opening bracket stands `depth` spaces deep.
void WriteLeavesJson(std::ostream& out, const std::vector<TPropertyLeaf>& leaves, size_t depth) {
  if (leaves.empty()) {
    out << "[]";
    return;
  }
  const std::string item(depth + 2, ' '), field(depth + 4, ' ');
  out << "[";
  for (size_t i = 0; i < leaves.size(); ++i)
    out << (i ? ",\n" : "\n") << item << "{\n" << field << "\"path\": " << JsonText(leaves[i].Path) << ",\n"
        << field << "\"value\": " << JsonText(leaves[i].Value) << "\n" << item << "}";
  out << "\n" << std::string(depth, ' ') << "]";
}

// What ComponentNodeJson dumps to, with the opening brace `depth` spaces deep.
void WriteNodeJson(std::ostream& out, const TComponentNode& node, size_t depth) {
  const std::string field(depth + 2, ' ');
  out << "{\n" << field << "\"class\": " << JsonText(node.ClassName) << ",\n" << field << "\"name\": " << JsonText(node.Name)
      << ",\n" << field << "\"properties\": ";
  WriteLeavesJson(out, node.Properties, depth + 2);
  out << "\n" << std::string(depth, ' ') << "}";
}

TFormStream Load(const std::string& fileName) {
  if (!rtl::FileExists(fileName)) throw ECommandFailed(rtl::Format(strings::_SFileNotFound, fileName));
  try {
    return LoadFormFile(fileName);
  } catch (const rtl::Exception& e) {
    throw ECommandFailed(WithFileName(fileName, e.Message()));
  }
}

void Convert(const TConvertOptions& o) {
  TFormStream form = Load(o.Input);
  bool toBinary = o.Binary || (!o.Text && form.Notation == TFormNotation::fnText);
  std::string data;
  try {
    data = toBinary ? WriteBinaryForm(ToBinaryNotation(form)) : WriteTextForm(ToTextNotation(form));
  } catch (const rtl::Exception& e) {
    throw ECommandFailed(WithFileName(o.Input, e.Message()));
  }
  if (o.Output.empty() || o.Output == "-") {
    std::fwrite(data.data(), 1, data.size(), stdout);
    return;
  }
  WriteOutputFile(o.Output, data);
}

void Tree(const TTreeOptions& o) {
  TFormStream form = Load(o.File);
  TReadOptions read;
  read.Context.Codec = CodecForCodePage(FormCodePage(form.Root, o.CodePage));
  std::unique_ptr<TComponent> root;
  try {
    root = ReadComponent(form, read);
  } catch (const rtl::Exception& e) {
    throw ECommandFailed(WithFileName(o.File, e.Message()));
  }
  TValueTextOptions show;
  show.Display = &read.Context.Codec;
  // Each component is written as soon as it is listed; a large form is never held twice.
  if (o.Json) {
    std::vector<TPropertyLeaf> rootProperties;
    std::string rootName;
    bool atRoot = true, first = true;
    VisitComponentTree(*root, show, [&](const TComponentNode& node) {
      if (atRoot) {
        atRoot = false;
        rootName = node.Name;
        rootProperties = node.Properties;
        std::cout << "{\n  \"ancestor\": " << JsonText(root->ClassType().NativeClass()->ClassName())
                  << ",\n  \"class\": " << JsonText(node.ClassName) << ",\n  \"codePage\": " << read.Context.Codec.CodePage
                  << ",\n  \"components\": [";
        return;
      }
      std::cout << (first ? "\n" : ",\n") << "    ";
      WriteNodeJson(std::cout, node, 4);
      first = false;
    });
    std::cout << (first ? "]" : "\n  ]") << ",\n  \"file\": " << JsonText(o.File) << ",\n  \"name\": " << JsonText(rootName)
              << ",\n  \"properties\": ";
    WriteLeavesJson(std::cout, rootProperties, 2);
    std::cout << "\n}\n";
    return;
  }
  bool top = true;
  VisitComponentTree(*root, show, [&](const TComponentNode& node) {
    std::string indent = top ? "" : "  ";
    top = false;
    std::cout << indent << node.Name << ": " << node.ClassName << "\n";
    for (const auto& leaf : node.Properties) std::cout << indent << "  " << leaf.Path << " = " << leaf.Value << "\n";
  });
}

// The forms of a module's catalogue as lines "id name" (the id as its four stored hex
// digits).
struct TCatalogueForm {
  uint16_t Id = 0;
  std::string IdText, Name;
};

std::vector<TCatalogueForm> CatalogueForms(TModuleFile& file) {
  std::vector<TCatalogueForm> forms;
  for (const std::string& line : file.Zod().GetForms(file.Index())) {
    const std::string idText = line.substr(0, line.find(' '));
    forms.push_back({static_cast<uint16_t>(text::HexToInt(idText)), idText, module::CatalogueName(line)});
  }
  return forms;
}

void ListForms(const TCatalogueOptions& o) {
  TModuleFile file(o.Target.ModuleFile(), TModuleFile::TAccess::ReadOnly);
  nlohmann::json rows = nlohmann::json::array();
  for (const TCatalogueForm& form : CatalogueForms(file)) {
    const int objects = file.Zod().GetObjects(file.Index(), form.Id, nullptr);
    if (o.Json)
      rows.push_back({{"id", form.Id}, {"name", form.Name}, {"objects", objects}});
    else
      std::cout << form.IdText << "\t" << form.Name << "\t" << objects << "\n";
  }
  if (o.Json) std::cout << rows.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

// Form names compare as the language compares identifiers, ignoring case; the exact
// spelling wins when the catalogue holds twins.
void RemoveForm(const TCatalogueOptions& o) {
  TModuleFile file(o.Target.ModuleFile(), TModuleFile::TAccess::ReadWrite);
  const std::vector<TCatalogueForm> forms = CatalogueForms(file);
  const TCatalogueForm* found = nullptr;
  for (const TCatalogueForm& form : forms)
    if (form.Name == o.Form || (!found && SameText(form.Name, o.Form))) found = &form;
  if (!found || !file.Zod().RemoveForm(file.Index(), found->Id)) {
    std::string names;
    for (const TCatalogueForm& form : forms) names += (names.empty() ? "" : ", ") + form.Name;
    throw ECommandFailed(
        rtl::Format(strings::_SCliNoCatalogueForm, file.FileName(), o.Form, names.empty() ? "none" : names));
  }
}

}  // namespace

nlohmann::json ComponentNodeJson(const TComponentNode& node) {
  nlohmann::json props = nlohmann::json::array();
  for (const auto& leaf : node.Properties) props.push_back({{"path", leaf.Path}, {"value", leaf.Value}});
  return {{"name", node.Name}, {"class", node.ClassName}, {"properties", props}};
}

void RegisterFormCommands(CLI::App& app) {
  CLI::App* form = app.add_subcommand("form", "Form files (.dfm) in the text or the binary notation");
  form->require_subcommand(1);

  auto convert = std::make_shared<TConvertOptions>();
  CLI::App* c = form->add_subcommand("convert", "Convert a form file to the other notation (or the one asked for)");
  c->add_option("IN", convert->Input, "Form file to read")->required();
  c->add_option("-o,--output", convert->Output, "File to write (standard output when omitted)");
  auto* text = c->add_flag("--text", convert->Text, "Write the text notation");
  c->add_flag("--binary", convert->Binary, "Write the binary notation, with a resource header")->excludes(text);
  c->callback([convert] { Convert(*convert); });

  auto tree = std::make_shared<TTreeOptions>();
  CLI::App* t = form->add_subcommand("tree", "List the components of a form with every published property and value");
  t->add_option("FILE", tree->File, "Form file to read")->required();
  t->add_flag("--json", tree->Json, "Write JSON");
  t->add_option("--codepage", tree->CodePage, kCodePageHelp)->check(CLI::Range(1, 65535));
  t->callback([tree] { Tree(*tree); });

  auto list = std::make_shared<TCatalogueOptions>();
  CLI::App* l = form->add_subcommand("list", "List the forms of a module's catalogue: id, name, number of objects");
  list->Target.AddModule(l);
  l->add_flag("--json", list->Json, "Write a JSON array of {id, name, objects}");
  l->callback([list] { ListForms(*list); });

  auto remove = std::make_shared<TCatalogueOptions>();
  CLI::App* r = form->add_subcommand(
      "remove", "Remove a form and all its objects from a module's catalogue (the name compares ignoring case)");
  remove->Target.AddModule(r);
  r->add_option("NAME", remove->Form, "Form name")->required();
  // One positional is the name; FILE only comes before it.
  r->positionals_at_end();
  r->callback([remove] { RemoveForm(*remove); });
}

}  // namespace quintrel::cli
