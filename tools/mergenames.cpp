#include "tools/mergenames.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "module/namelists.h"
#include "module/objects.h"
#include "strings/toolconsts.h"
#include "text/codepages.h"
#include "tools/toolsession.h"

namespace quintrel::tools {

using module::TZod;
using module::TZodObject;

namespace {

// Identifier -> name of a catalogue text ("XXXX Name" lines; the identifier runs to the
// first blank, as the name lists read it).
std::unordered_map<uint32_t, std::string> NamesById(const module::TCatalogueList& lines) {
  std::unordered_map<uint32_t, std::string> names;
  for (const std::string& line : lines) {
    const size_t blank = line.find(' ');
    if (blank == std::string::npos || blank == 0 || blank > 8 || blank + 1 >= line.size()) continue;
    names.emplace(static_cast<uint32_t>(text::HexToInt(std::string_view(line).substr(0, blank))), line.substr(blank + 1));
  }
  return names;
}

size_t NameCount() {
  return static_cast<size_t>(module::FormList().EntryCount()) + static_cast<size_t>(module::CompList().EntryCount()) +
         static_cast<size_t>(module::PropList().EntryCount());
}

std::string Lookup(const std::unordered_map<uint32_t, std::string>& names, uint32_t id) {
  const auto it = names.find(id);
  return it == names.end() ? std::string() : it->second;
}

}  // namespace

TMergeTarget::TMergeTarget(int targetModule, bool createMissing)
    : module_(targetModule), existingOnly_(!createMissing) {
  // Unmarked, so that saving them removes nothing: only added names are new.
  module::LoadFormList(module::FormList(), module::kMarkNone, module_);
  module::LoadCompList(module::CompList(), module::kMarkNone, module_);
  module::LoadPropList(module::PropList(), module::kMarkNone, module_);
}

std::optional<TZodObject> TMergeTarget::Object(std::string_view form, std::string_view comp, uint32_t resourceNumber,
                                               std::string_view prop, const TZodObject& model, TMergeResult& result) {
  TZod& target = module::GlobalZOD();
  const bool unit = !form.empty() && form.front() == '#';
  const size_t before = NameCount();
  TZodObject probe;
  probe.FormID = static_cast<uint16_t>(module::FormAdd(form, module_, existingOnly_));
  probe.CompName = unit ? resourceNumber : comp.empty() ? 0 : module::CompAdd(comp, module_, existingOnly_);
  probe.PropertyName = static_cast<uint16_t>(module::PropAdd(prop, module_, existingOnly_));
  namesAdded_ |= NameCount() != before;
  if (probe.FormID == 0 || probe.PropertyName == 0 || (!unit && !comp.empty() && probe.CompName == 0)) {
    ++result.Missing;
    return std::nullopt;
  }
  TZodObject object = probe;
  object.Ident = target.FindObject(module_, probe);
  if (object.Ident != 0) {
    target.GetObject(module_, object);
    return object;
  }
  if (existingOnly_) {
    ++result.Missing;
    return std::nullopt;
  }
  object.Ident = target.GetNewObjectID(module_);
  object.Kind = model.Kind;
  object.ZodClass = model.ZodClass;
  object.Locked = model.Locked;
  object.Priority = model.Priority;
  target.SetObject(module_, object);
  ++result.Created;
  return object;
}

void TMergeTarget::WriteText(TZodObject& object, module::TLanguageId language, const TStoredTerm& text,
                             TMergeResult& result) {
  TZod& target = module::GlobalZOD();
  if (object.Locked) {
    ++result.SkippedLocked;
    return;
  }
  if (object.Localization == 0) {
    object.Localization = target.GetNewTermID(module_);
    target.SetObject(module_, object);
  } else if (auto existing = ReadStoredTerm(target, module_, language, object.Localization);
             existing && existing->Status == module::usSignedOff) {
    ++result.SkippedSignedOff;
    return;
  }
  WriteStoredTerm(target, module_, language, object.Localization, text);
  ++result.Taken;
}

void TMergeTarget::WriteComment(TZodObject& object, const TStoredTerm& comment, TMergeResult& result) {
  TZod& target = module::GlobalZOD();
  if (object.Locked) return;
  if (object.Comment == 0) {
    object.Comment = target.GetNewTermID(module_);
    target.SetObject(module_, object);
  }
  WriteStoredTerm(target, module_, module::kCommentLanguage, object.Comment, comment);
  ++result.Comments;
}

void TMergeTarget::SaveNames() {
  if (!namesAdded_) return;
  module::SaveFormList(module::FormList(), module_);
  module::SaveCompList(module::CompList(), module_);
  module::SavePropList(module::PropList(), module_);
  namesAdded_ = false;
}

namespace {

// The walk of MergeByNames.
void MergeObjects(TZod& source, int sourceModule, TMergeTarget& target, const TMergeOptions& options,
                  TMergeResult& result) {
  const auto forms = NamesById(source.GetForms(sourceModule));
  const auto comps = NamesById(source.GetComps(sourceModule));
  const auto props = NamesById(source.GetProps(sourceModule));
  std::vector<std::pair<uint32_t, std::string>> formOrder(forms.begin(), forms.end());
  std::sort(formOrder.begin(), formOrder.end());
  const size_t total = static_cast<size_t>(std::max(source.GetObjectCount(sourceModule), 0));
  for (const auto& [formId, formName] : formOrder) {
    const bool unit = formName.front() == '#';
    for (const TZodObject& from : source.GetObjects(sourceModule, static_cast<uint16_t>(formId))) {
      if (from.Ident == 0) continue;
      ++result.Objects;
      const std::string compName = unit || from.CompName == 0 ? std::string() : Lookup(comps, from.CompName);
      const std::string propName = Lookup(props, from.PropertyName);
      if (options.Progress)
        options.Progress(formName + "." + (unit ? std::to_string(from.CompName) : compName) + "." + propName,
                         static_cast<size_t>(result.Objects), std::max(total, static_cast<size_t>(result.Objects)));
      // A component or property the source's catalogue does not name cannot be matched; an
      // unnamed component is not taken for the form itself.
      if (propName.empty() || (!unit && from.CompName != 0 && compName.empty())) {
        ++result.Missing;
        continue;
      }
      std::optional<TZodObject> to = target.Object(formName, compName, from.CompName, propName, from, result);
      if (!to) continue;
      if (to->Locked) {
        ++result.SkippedLocked;
        continue;
      }
      if (options.Comments && from.Comment != 0) {
        auto comment = ReadStoredTerm(source, sourceModule, module::kCommentLanguage, from.Comment);
        if (comment && !(comment->Data.empty() || comment->Data == std::vector<uint8_t>{0}))
          target.WriteComment(*to, *comment, result);
      }
      auto text = ReadStoredTerm(source, sourceModule, options.From, from.Localization);
      if (!text || text->Status == module::usUnTranslated) {
        ++result.Untranslated;
        continue;
      }
      if (!options.KeepStatus) text->Status = module::usForReview;
      target.WriteText(*to, options.Into, *text, result);
    }
  }
}

}  // namespace

TMergeResult MergeByNames(TZod& source, int sourceModule, int targetModule, const TMergeOptions& options) {
  TZod& target = module::GlobalZOD();
  if (&source.GetModuleInterface(sourceModule) == &target.GetModuleInterface(targetModule))
    throw EToolError(rtl::Format(strings::_SOtherModuleIsSame, target.GetModuleInterface(targetModule).FileName(),
                                 target.GetModuleInterface(targetModule).FileName()));
  TMergeResult result;
  result.CharsetsDiffer =
      source.GetCharsetOfLanguage(sourceModule, options.From) != target.GetCharsetOfLanguage(targetModule, options.Into);
  TMergeTarget merge(targetModule, options.CreateMissing);
  try {
    MergeObjects(source, sourceModule, merge, options, result);
  } catch (...) {
    merge.SaveNames();
    throw;
  }
  merge.SaveNames();
  return result;
}

}  // namespace quintrel::tools
