#include "editors/formpreview.h"

#include <algorithm>

#include "editors/formsvg.h"
#include "module/languages.h"
#include "platform/vcl/forms.h"
#include "platform/vcl/textutil.h"
#include "runtime/quintrel.h"
#include "strings/qconsts.h"
#include "tools/intlobjects.h"
#include "tools/liveforms.h"
#include "tools/toolsession.h"
#include "tools/validate.h"

namespace quintrel::editors {

namespace {

constexpr uint8_t kHebrewCharset = 177, kArabicCharset = 178;
// Languages written right to left whose modules may still use another charset (a Unicode
// module, or Persian and Urdu with the Arabic script under another charset).
constexpr const char* kRightToLeftIds[] = {"he", "iw", "ar", "fa", "ur", "yi", "ps", "sd", "ug", "dv"};

std::string StripStar(std::string name) {
  if (!name.empty() && name.front() == '*') name.erase(0, 1);
  return name;
}

}  // namespace

bool IsRightToLeftLanguage(module::TZod& zod, int module, module::TLanguageId language) {
  const uint8_t charset = zod.GetCharsetOfLanguage(module, language);
  if (charset == kHebrewCharset || charset == kArabicCharset) return true;
  std::string id = module::LanguageIdToText(language);
  std::transform(id.begin(), id.end(), id.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return std::any_of(std::begin(kRightToLeftIds), std::end(kRightToLeftIds), [&](const char* r) { return id == r; });
}

std::string RenderFormPreview(const host::TProject& project, const std::string& moduleFile,
                              const std::string& formName, module::TLanguageId language, uint32_t selected) {
  // A translator of its own, which opens the module for reading in the process's module
  // manager (where the translator keeps its name lists) and closes it again: the editor's
  // open module is left alone, and every picture reads the module as it is now.
  runtime::TQuintrel translator;
  if (translator.OpenProject(moduleFile, runtime::TModuleAccess::ReadOnly) < 0)
    throw tools::EToolError(rtl::Format(strings::_SCliNotAModule, moduleFile));
  struct TClose {
    runtime::TQuintrel& translator;
    ~TClose() { translator.CloseProject(false); }
  } close{translator};
  module::TZod& zod = translator.Zod();
  const int module = translator.Module();

  const std::vector<tools::TFormFile> files = tools::ReadFormFiles(project);
  std::vector<tools::TLiveForm> forms = tools::CreateForms(files);
  const auto found = std::find_if(forms.begin(), forms.end(),
                                  [&](const tools::TLiveForm& f) { return vcl::SameText(f.Root->Name(), formName); });
  if (found == forms.end()) {
    std::string known;
    for (const tools::TLiveForm& f : forms) known += (known.empty() ? "" : ", ") + f.Root->Name();
    throw tools::EToolError(
        rtl::Format(strings::_SCliNoProjectForm, project.ProjectFile(), formName, known.empty() ? "none" : known));
  }
  vcl::TComponent& root = *found->Root;
  translator.SwitchLanguage(language, false, true, root.Name());

  const std::vector<tools::TObjectForm> tree = tools::ObjectTree(zod, module);
  const auto catalogued = std::find_if(tree.begin(), tree.end(), [&](const tools::TObjectForm& f) {
    return vcl::SameText(StripStar(f.Name), root.Name());
  });
  const tools::TObjectForm none;
  const tools::TObjectForm& objects = catalogued == tree.end() ? none : *catalogued;

  TFormSvgOptions options;
  options.Charset = zod.GetCharsetOfLanguage(module, language);
  options.RightToLeft = IsRightToLeftLanguage(zod, module, language);
  // A module that does not mirror its forms for the language still gets a mirrored
  // picture: the translator sees the layout a reader of the language expects.
  options.Mirror = options.RightToLeft && !translator.FlipState();
  options.Selected = selected;
  tools::TValidateOptions validate;
  validate.Language = language;
  validate.Checks = tools::vcClipping;
  for (const tools::TFinding& finding : tools::ValidateForm(zod, module, objects, root, validate))
    options.Clipped.insert(finding.Component);
  return FormSvg(root, objects, options);
}

}  // namespace quintrel::editors
