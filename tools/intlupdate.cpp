#include "tools/intlupdate.h"

#include <algorithm>
#include <set>

#include "module/namelists.h"
#include "module/zod.h"
#include "platform/vcl/textutil.h"
#include "runtime/proptransfer.h"
#include "runtime/quintrel.h"
#include "strings/toolconsts.h"
#include "text/codepages.h"
#include "text/unicode.h"
#include "tools/intlobjects.h"

namespace quintrel::tools {

namespace {

using module::TCatalogueList;
using module::TZodObject;
using module::FormList;
using module::CompList;
using module::PropList;
using module::FormAdd;
using module::CompAdd;
using module::PropAdd;
using module::CompAddID;
using module::PropAddID;

bool Contains(std::string_view value, std::string_view part) { return value.find(part) != std::string_view::npos; }

bool IsFormRow(const std::string& name) { return !name.empty() && name.front() != '#'; }

// A name the catalogue can hold: its lines are "id name" separated by CR LF, and names are
// found as blank-separated words.
bool StorableName(std::string_view name) {
  return !name.empty() && std::none_of(name.begin(), name.end(), [](char c) {
    return static_cast<unsigned char>(c) <= ' ';
  });
}

uint16_t LineId(const std::string& line) {
  return static_cast<uint16_t>(text::HexToInt(std::string_view(line).substr(0, 4)));
}

// Step 1: the form's own properties belong under CompName 0.
int MoveEmptyNamedComponents(module::TZod& zod, int module) {
  const std::set<uint32_t> empty = EmptyNamedComponents(zod.GetComps(module));
  if (empty.empty()) return 0;
  int moved = 0;
  for (const std::string& line : zod.GetForms(module)) {
    if (!IsFormRow(module::CatalogueName(line))) continue;
    for (TZodObject object : zod.GetObjects(module, LineId(line))) {
      if (object.Ident == 0 || !empty.contains(object.CompName)) continue;
      TZodObject probe = object;
      probe.CompName = 0;
      if (zod.FindObject(module, probe) != 0) {
        object.PropertyName = 0;  // the form has that property under 0 already
      } else {
        object.CompName = 0;
      }
      zod.SetObject(module, object);
      ++moved;
    }
  }
  return moved;
}

// Step 2: the designer's capture of every live form.
int CaptureForms(int module, const std::vector<vcl::TComponent*>& forms) {
  if (forms.empty()) return 0;
  runtime::TQuintrel translator(module::GlobalZOD());
  translator.SetModule(module);
  int captured = 0;
  runtime::TPropertyTransfer& transfer = translator;
  const auto markOthers = transfer.DesignTermChanged;
  transfer.DesignTermChanged = [&](const module::TZodTerm& term) {
    ++captured;
    if (markOthers) markOthers(term);
  };
  for (vcl::TComponent* form : forms)
    if (form) runtime::GetFormValues(translator, *form);
  return captured;
}

std::string NameOfId(const TCatalogueList& list, int line) {
  return line < 0 ? std::string() : module::CatalogueName(list[static_cast<size_t>(line)]);
}

std::string ObjectPath(const std::string& form, const std::string& comp, const std::string& prop) {
  return form + "." + (comp.empty() ? std::string() : comp + ".") + prop;
}

// Forgets the name lists however the update ends.
struct TForgetNames {
  ~TForgetNames() {
    FormList().Clear();
    CompList().Clear();
    PropList().Clear();
  }
};

}  // namespace

bool TIntlUpdateResult::Changed() const {
  return ObjectsAdded || TermsAdded || TermsCaptured || ObjectsMoved || PropertiesRemoved || !EmptiedForms.empty() ||
         !PrunedForms.empty();
}

TNodeValue NodeValue(const TSelectedProperty& property) {
  const std::string value = property.FullValue();
  TNodeValue result;
  std::string text = value;
  const char first = value.empty() ? '\0' : value.front();
  if (first == '{') {
    result.Kind = Contains(value, "TMetafile ") ? module::utMetafile
                  : Contains(value, "TIcon ")   ? module::utIcon
                                                : module::utBitmap;
    // The count the value states must be the bytes there are.
    if (GraphicByteCount(value) != static_cast<long long>(property.Data.size()))
      throw rtl::Exception(rtl::Format(strings::_SCouldNotUpdateObject, property.Path));
    result.Bytes.assign(property.Data.begin(), property.Data.end());
    return result;
  }
  if (first == '\'') {
    result.Kind = module::utString;
    text = value.size() >= 2 && value.back() == '\'' ? value.substr(1, value.size() - 2) : value.substr(1);
  } else if (first == '[') {
    result.Kind = module::utSet;
    text = value.size() >= 2 && value.back() == ']' ? value.substr(1, value.size() - 2) : value.substr(1);
  } else if (first == '$' || first == '-' || (first >= '0' && first <= '9')) {
    result.Kind = value.find_first_of("eE.") != std::string::npos ? module::utFloat : module::utInteger;
  } else {
    result.Kind = module::utConstant;
  }
  result.Bytes = text::Utf16LeBytes(text::Utf8ToWide(text));
  // An empty text is one zero byte: a term of no bytes would keep an older text.
  if (result.Bytes.empty()) result.Bytes.push_back(0);
  return result;
}

TIntlUpdateResult UpdateObjects(int module, const TIntlUpdateInput& input) {
  module::TZod& zod = module::GlobalZOD();
  const TSelection empty;
  const TSelection& selection = input.Selection ? *input.Selection : empty;
  TIntlUpdateResult result;
  const std::size_t steps = selection.Forms.size();
  const auto progress = [&](const std::string& status, std::size_t step) { Report(input.Progress, status, step, steps); };

  result.ObjectsMoved = MoveEmptyNamedComponents(zod, module);
  result.TermsCaptured = CaptureForms(module, input.LiveForms);

  // The catalogue as it stands, for the names of what goes and the forms to keep.
  const TCatalogueList formsBefore = zod.GetForms(module);
  const TCatalogueList compsBefore = zod.GetComps(module), propsBefore = zod.GetProps(module);
  std::vector<module::TLanguageId> languages;
  zod.GetLanguageList(module, languages);
  const module::TLanguageId design = zod.GetDesignTimeLanguage(module);

  module::LoadFormList(FormList(), module::kMarkForms, module);
  module::LoadCompList(CompList(), module::kMarkAll, module);
  module::LoadPropList(PropList(), module::kMarkForms, module);
  TForgetNames forget;
  // Written whole at the end, or - after an error that leaves this scope - not at all.
  storage::TUpdateBracket update(zod.GetModuleInterface(module));

  const auto listed = [&](const std::string& name) {
    return std::any_of(input.ListedForms.begin(), input.ListedForms.end(),
                       [&](const std::string& l) { return vcl::SameText(l, name); });
  };
  // Pruning takes every form the browser does not list, selected or not.
  const auto pruned = [&](const std::string& name) { return input.Prune && !listed(name); };

  for (size_t f = 0; f < selection.Forms.size(); ++f) {
    const TSelectedForm& form = selection.Forms[f];
    progress(strings::_SInsertingNewProperties, f + 1);
    if (pruned(form.Name)) continue;
    const auto formId =
        StorableName(form.Name) && form.Name.front() != '#' ? static_cast<uint16_t>(FormAdd(form.Name, module, false)) : 0;
    std::vector<TZodObject> objects;
    bool fetched = formId != 0;
    try {
      if (fetched) objects = zod.GetObjects(module, formId);
    } catch (const std::exception&) {
      fetched = false;
    }
    if (!fetched) {
      result.Errors.push_back(rtl::Format(strings::_SUnableToInitFormObjects, form.Name));
      continue;
    }
    std::set<uint32_t> seen;

    const auto leaf = [&](const std::string& comp, const std::string& compClass, const TSelectedProperty& prop) {
      ++result.PropertiesUpdated;
      progress(rtl::Format(strings::_STotalPropertiesUpdated, result.PropertiesUpdated), f + 1);
      const std::string path = ObjectPath(form.Name, comp, prop.Path);
      TZodObject object;
      object.FormID = formId;
      object.CompName = comp.empty() || !StorableName(comp) ? 0 : CompAdd(comp, module, false);
      object.PropertyName = StorableName(prop.Path) ? static_cast<uint16_t>(PropAdd(prop.Path, module, false)) : 0;
      object.ZodClass = module::GetZodClass(comp.empty() ? "TForm" : compClass);
      if ((!comp.empty() && (!StorableName(comp) || object.CompName == 0)) || !StorableName(prop.Path) ||
          object.PropertyName == 0) {
        result.Errors.push_back(rtl::Format(strings::_SCouldNotUpdateObject, path));
        return;
      }
      const auto found = std::find_if(objects.begin(), objects.end(), [&](const TZodObject& o) {
        return o.Ident != 0 && o.CompName == object.CompName && o.PropertyName == object.PropertyName;
      });
      if (found != objects.end()) object = *found;  // taken whole
      bool changed = false;
      if (object.Ident == 0) {
        try {
          object.Ident = zod.GetNewObjectID(module);
        } catch (const std::exception&) {
          result.Errors.push_back(strings::_SUnableToCreateObject);
          return;
        }
        changed = true;
        ++result.ObjectsAdded;
      }
      if (object.Localization == 0 && prop.HasValue()) {
        try {
          const TNodeValue value = NodeValue(prop);
          module::TZodTerm term;
          term.Language = design;
          term.Ident = zod.GetNewTermID(module);
          term.Status = module::usForReview;
          term.Data = const_cast<uint8_t*>(value.Bytes.data());
          term.Size = static_cast<int32_t>(value.Bytes.size());
          if (!zod.SetTerm(module, term)) throw rtl::Exception(path);
          object.Localization = term.Ident;
          object.Kind = value.Kind;
          ++result.TermsAdded;
        } catch (const std::exception&) {
          result.Errors.push_back(rtl::Format(strings::_SCouldNotUpdateObject, path));
        }
        changed = true;
      }
      if (changed) {
        try {
          if (!zod.SetObject(module, object)) throw rtl::Exception(path);
        } catch (const std::exception&) {
          result.Errors.push_back(strings::_SUnableToSetObject);
          return;
        }
        if (found == objects.end()) objects.push_back(object);
      }
      seen.insert(object.Ident);
    };
    for (const TSelectedProperty& prop : form.Properties) leaf("", "TForm", prop);
    for (const TSelectedComponent& comp : form.Components)
      for (const TSelectedProperty& prop : comp.Properties) leaf(comp.Name, comp.ClassName, prop);

    // What the selection no longer holds goes, with its texts in every language.
    progress(strings::_SSearchingRemovedProperties, f + 1);
    for (TZodObject& object : objects) {
      if (object.Ident == 0 || seen.contains(object.Ident)) continue;
      result.RemovedProperties.push_back(
          ObjectPath(form.Name, object.CompName ? NameOfId(compsBefore, module::GetCompIndex(compsBefore, object.CompName)) : "",
                     NameOfId(propsBefore, module::GetPropIndex(propsBefore, object.PropertyName))));
      if (object.Localization != 0)
        for (module::TLanguageId language : languages) {
          module::TZodTerm term;
          term.Language = language;
          term.Ident = object.Localization;
          zod.RemoveTerm(module, term);
        }
      object.PropertyName = 0;
      zod.SetObject(module, object);
      ++result.PropertiesRemoved;
    }
  }

  // Forms the selection lacks: the project's are emptied, others kept unless pruned.
  for (const std::string& line : formsBefore) {
    const std::string name = module::CatalogueName(line);
    if (!IsFormRow(name) || (selection.FindForm(name) && !pruned(name))) continue;
    if (listed(name)) {
      result.EmptiedForms.push_back(name);
    } else if (input.Prune) {
      result.PrunedForms.push_back(name);
    } else {
      result.KeptForms.push_back(name);
      FormAdd(name, module, true);
      for (const TZodObject& object : zod.GetObjects(module, LineId(line))) {
        if (object.Ident == 0) continue;
        if (object.CompName != 0) CompAddID(object.CompName);
        PropAddID(object.PropertyName);
      }
    }
  }

  module::SaveFormList(FormList(), module);
  module::SaveCompList(CompList(), module);
  module::SavePropList(PropList(), module);
  update.Commit();
  return result;
}

}  // namespace quintrel::tools
