#include "tools/intlobjects.h"

#include <algorithm>

#include "platform/vcl/textutil.h"
#include "strings/toolconsts.h"
#include "text/codepages.h"
#include "text/unicode.h"
#include "tools/termtext.h"

namespace quintrel::tools {

namespace {

using module::TCatalogueList;
using module::TZodObject;

std::string Names(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& n : names) list += (list.empty() ? "" : ", ") + n;
  return list.empty() ? std::string("none") : list;
}

}  // namespace

std::set<uint32_t> EmptyNamedComponents(const TCatalogueList& comps) {
  std::set<uint32_t> ids;
  for (const std::string& line : comps) {
    const size_t blank = line.find(' ');
    if (blank == std::string::npos || blank + 1 == line.size())
      ids.insert(static_cast<uint32_t>(text::HexToInt(std::string_view(line).substr(0, blank))));
  }
  return ids;
}

std::vector<TObjectForm> ObjectTree(module::TZod& zod, int module) {
  const TCatalogueList forms = zod.GetForms(module), comps = zod.GetComps(module), props = zod.GetProps(module);
  const std::set<uint32_t> formItself = EmptyNamedComponents(comps);
  std::vector<TObjectForm> tree;
  for (const std::string& line : forms) {
    TObjectForm form;
    form.Name = module::CatalogueName(line);
    if (form.Name.empty() || form.Name.front() == '#') continue;
    form.Id = static_cast<uint16_t>(text::HexToInt(std::string_view(line).substr(0, 4)));
    for (const TZodObject& object : zod.GetObjects(module, form.Id)) {
      if (object.Ident == 0) continue;
      TObjectLeaf leaf;
      leaf.Object = object;
      if (object.CompName != 0 && !formItself.contains(object.CompName)) {
        const int c = module::GetCompIndex(comps, object.CompName);
        leaf.Component = c < 0 ? rtl::Format(strings::_SUnnamedComponent, object.CompName)
                               : module::CatalogueName(comps[static_cast<size_t>(c)]);
      }
      const int p = module::GetPropIndex(props, object.PropertyName);
      leaf.Property = p < 0 ? rtl::Format(strings::_SUnnamedProperty, object.PropertyName)
                            : module::CatalogueName(props[static_cast<size_t>(p)]);
      form.Leaves.push_back(std::move(leaf));
    }
    tree.push_back(std::move(form));
  }
  return tree;
}

std::vector<const TObjectLeaf*> LeavesOfPath(const std::vector<TObjectForm>& tree, std::string_view path) {
  const size_t dot = path.find('.');
  const std::string_view formName = path.substr(0, dot);
  const auto form = std::find_if(tree.begin(), tree.end(),
                                 [&](const TObjectForm& f) { return vcl::SameText(f.Name, formName); });
  if (form == tree.end()) {
    std::vector<std::string> names;
    for (const TObjectForm& f : tree) names.push_back(f.Name);
    throw EObjectPathError(rtl::Format(strings::_SNoFormInTree, formName, Names(names)));
  }
  std::vector<const TObjectLeaf*> leaves;
  if (dot == std::string_view::npos) {
    for (const TObjectLeaf& leaf : form->Leaves) leaves.push_back(&leaf);
    return leaves;
  }
  const std::string_view rest = path.substr(dot + 1);
  // The property itself first: a form's Font.Name is not a component named Font.
  for (const TObjectLeaf& leaf : form->Leaves) {
    const std::string full = leaf.Component.empty() ? leaf.Property : leaf.Component + "." + leaf.Property;
    if (full.size() == rest.size() && vcl::SameText(leaf.Component, rest.substr(0, leaf.Component.size())) &&
        full.substr(leaf.Component.size()) == rest.substr(leaf.Component.size()))
      return {&leaf};
  }
  for (const TObjectLeaf& leaf : form->Leaves)
    if (!leaf.Component.empty() && vcl::SameText(leaf.Component, rest)) leaves.push_back(&leaf);
  if (leaves.empty()) {
    std::vector<std::string> names;
    for (const TObjectLeaf& leaf : form->Leaves) {
      const std::string name = leaf.Component.empty() ? leaf.Property : leaf.Component;
      if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    throw EObjectPathError(rtl::Format(strings::_SNoNodeInTree, form->Name, rest, Names(names)));
  }
  return leaves;
}

std::u16string ObjectComment(module::TZod& zod, int module, const TZodObject& object) {
  if (object.Comment == 0) return {};
  std::u16string text(static_cast<size_t>(std::max(zod.GetCommentW(module, object.Comment, nullptr), 0)), u'\0');
  if (!text.empty()) {
    std::vector<char16_t> buffer(text.size() + 1);
    zod.GetCommentW(module, object.Comment, buffer.data());
    text.assign(buffer.data(), text.size());
  }
  return text;
}

int ApplyObjectSettings(module::TZod& zod, int module, const std::vector<const TObjectLeaf*>& leaves,
                        const TObjectSettings& settings) {
  module::TModuleLock lock(zod.GetModuleInterface(module), true);
  int changed = 0;
  for (const TObjectLeaf* leaf : leaves) {
    TZodObject object = leaf->Object;
    if (!zod.GetObject(module, object)) continue;
    const TZodObject before = object;
    if (settings.Locked) object.Locked = *settings.Locked;
    if (settings.Priority) object.Priority = *settings.Priority;
    if (settings.ZodClass) object.ZodClass = *settings.ZodClass;
    bool commentChanged = false;
    if (settings.Comment && ObjectComment(zod, module, object) != *settings.Comment) {
      StoreObjectComment(zod, module, object, *settings.Comment);
      commentChanged = true;
    }
    if (!(object == before)) zod.SetObject(module, object);
    if (commentChanged || !(object == before)) ++changed;
  }
  return changed;
}

}  // namespace quintrel::tools
