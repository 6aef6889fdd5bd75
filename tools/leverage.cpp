#include "tools/leverage.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <utility>

#include "module/languages.h"
#include "strings/toolconsts.h"
#include "text/codepages.h"
#include "text/unicode.h"
#include "tools/othermodule.h"
#include "tools/toolsession.h"

namespace quintrel::tools {

using module::TLanguageId;
using module::TZod;

TLeverageKind LeverageKindOf(const std::string& fileName) {
  std::string ext = std::filesystem::path(fileName).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ext == ".zod") return TLeverageKind::Module;
  if (ext == ".lan") return TLeverageKind::LanguagesFile;
  throw EToolError(rtl::Format(strings::_SLeverageKind, fileName));
}

namespace {

std::string IdText(TLanguageId id) {
  const char two[2] = {static_cast<char>(id & 0xFF), static_cast<char>(id >> 8)};
  return std::string(two, 2);
}

std::vector<TLeverageLanguage> ModuleLanguages(TZod& zod, int m) {
  std::vector<TLanguageId> ids;
  std::vector<module::TZodText> names;
  zod.GetLanguageList(m, ids, &names);
  std::vector<TLeverageLanguage> list;
  for (size_t i = 0; i < ids.size(); ++i)
    list.push_back({ids[i], i < names.size() && names[i] ? text::WideToUtf8(*names[i]) : std::string()});
  return list;
}

void RequireLanguage(const std::vector<TLeverageLanguage>& languages, TLanguageId id, const std::string& file) {
  std::string known;
  for (const TLeverageLanguage& l : languages) {
    if (l.Id == id) return;
    known += (known.empty() ? "" : ", ") + IdText(l.Id);
  }
  throw EToolError(rtl::Format(strings::_SLeverageNoLanguage, file, IdText(id), known.empty() ? "none" : known));
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

}  // namespace

module::TZodClass LanObjectClass(std::string_view form, std::string_view component) {
  using namespace module;
  // A resource string has no component either, but it is no form.
  if (form.find('#') != std::string_view::npos) return ucResourceString;
  if (component.empty()) return ucForm;
  static const std::array<std::pair<std::string_view, TZodClass>, 22> kPrefixes{{
      {"MainMenu", ucMainMenu},     {"Label", ucLabel},         {"Edit", ucEditBox},
      {"Memo", ucEditBox},          {"Button", ucButton},       {"BitBtn", ucButton},
      {"SpeedButton", ucButton},    {"CheckBox", ucCheckBox},   {"RadioButton", ucRadioButton},
      {"RadioGroup", ucRadioButton}, {"ListBox", ucListBox},    {"ComboBox", ucComboBox},
      {"ScrollBar", ucScrollBar},   {"GroupBox", ucGroupBox},   {"Panel", ucPanel},
      {"StringGrid", ucGrid},       {"DrawGrid", ucGrid},       {"Image", ucBitmap},
      {"Shape", ucShape},           {"Bevel", ucBevel},         {"ScrollBox", ucScrollBox},
      {"TabControl", ucTabControl},
  }};
  for (const auto& [prefix, zodClass] : kPrefixes)
    if (StartsWith(component, prefix)) return zodClass;
  if (StartsWith(component, "PageControl")) return ucPageControl;
  return ucUnknown;
}

TLeverageInfo InspectLeverage(const std::string& fileName, const std::vector<std::string>& refused) {
  TLeverageInfo info;
  info.Kind = LeverageKindOf(fileName);
  if (info.Kind == TLeverageKind::Module) {
    TOtherModule source(fileName, TOtherModule::TAccess::Read, refused);
    info.Languages = ModuleLanguages(source.Zod(), source.Index());
    info.Count = static_cast<size_t>(std::max(source.Zod().GetObjectCount(source.Index()), 0));
    return info;
  }
  const TLanFile file = ReadLanFile(fileName);
  for (const TLanLanguage& l : file.Languages)
    info.Languages.push_back({l.Id, text::WideToUtf8(text::ByteToUnicode(l.Name, 0))});
  info.Count = file.EntryCount();
  return info;
}

TMergeResult LeverageLanguages(const TLanFile& file, int targetModule, TLanguageId from, TLanguageId into,
                               const TProgress& progress) {
  TZod& zod = module::GlobalZOD();
  // The texts are in the code page of their own language: that of From when the module
  // knows it, else that of the language they are written into.
  const auto languages = ModuleLanguages(zod, targetModule);
  const bool knowsFrom =
      std::any_of(languages.begin(), languages.end(), [&](const TLeverageLanguage& l) { return l.Id == from; });
  const uint8_t charset = zod.GetCharsetOfLanguage(targetModule, knowsFrom ? from : into);
  TMergeResult result;
  result.CharsetsDiffer = charset != zod.GetCharsetOfLanguage(targetModule, into);
  TMergeTarget target(targetModule, true);
  const size_t total = file.EntryCount();
  try {
    for (const TLanSection& section : file.Forms) {
      const std::string formName = LanFormName(section.Name);
      for (const TLanEntry& entry : section.Entries) {
        ++result.Objects;
        std::string form = formName;
        std::string comp = entry.Component;
        std::string prop = entry.Property;
        if (comp == section.Name || comp == "T" + section.Name) comp.clear();
        if (entry.Index >= 0) prop += "[" + std::to_string(entry.Index) + "]";
        if (comp.find("Quintrel") != std::string::npos) {
          comp.clear();
          if (StartsWith(prop, "SystemMenu"))
            prop += "Caption";
          else if (StartsWith(prop, "#"))
            form = "#ResStr.pas";
        }
        if (progress) progress(comp.empty() ? form : comp, static_cast<size_t>(result.Objects), total);
        module::TZodObject model;
        model.Kind = module::utString;
        model.ZodClass = LanObjectClass(form, comp);
        std::optional<module::TZodObject> object = target.Object(form, comp, 0, prop, model, result);
        if (!object) continue;
        if (entry.Language != from) {
          ++result.Untranslated;
          continue;
        }
        TStoredTerm text;
        text.Status = module::usForReview;
        text.Data = text::Utf16LeBytes(text::ByteToUnicode(entry.Text, charset));
        target.WriteText(*object, into, text, result);
      }
    }
  } catch (...) {
    target.SaveNames();
    throw;
  }
  target.SaveNames();
  return result;
}

TMergeResult Leverage(const std::string& fileName, int targetModule, const std::vector<std::string>& refused,
                      TLanguageId from, TLanguageId into, const TProgress& progress) {
  if (LeverageKindOf(fileName) == TLeverageKind::LanguagesFile)
    return LeverageLanguages(ReadLanFile(fileName), targetModule, from, into, progress);
  TOtherModule source(fileName, TOtherModule::TAccess::Read, refused);
  RequireLanguage(ModuleLanguages(source.Zod(), source.Index()), from, fileName);
  TMergeOptions options;
  options.From = from;
  options.Into = into;
  options.Progress = progress;
  return MergeByNames(source.Zod(), source.Index(), targetModule, options);
}

}  // namespace quintrel::tools
