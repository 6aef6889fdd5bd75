#include "tools/browser.h"

#include <algorithm>
#include <unordered_set>

#include "ide/editintf.h"
#include "module/zod.h"
#include "platform/rtl/utf8.h"
#include "platform/vcl/controls.h"
#include "platform/vcl/dialogs.h"
#include "platform/vcl/forms.h"
#include "platform/vcl/proplist.h"
#include "platform/vcl/textutil.h"
#include "platform/vcl/typinfo.h"
#include "platform/win32/codepage.h"
#include "platform/win32/gdi.h"
#include "platform/win32/menus.h"
#include "platform/win32/sysparams.h"
#include "platform/win32/winuser.h"
#include "runtime/qcomdlg.h"
#include "runtime/quintrel.h"
#include "strings/toolconsts.h"
#include "tools/qutil.h"

namespace quintrel::tools {

namespace {

// Hebrew and Arabic systems are the ones enabled for Middle-East languages.
bool SystemMiddleEast() {
  const unsigned acp = win32::GetACP();
  return acp == 1255 || acp == 1256;
}

std::string Quoted(const std::u16string& text) { return "'" + rtl::WideToUtf8(text) + "'"; }

class TTreeBuilder {
public:
  explicit TTreeBuilder(const TBrowserOptions& options) : options_(options) {}

  std::vector<TSelectedProperty> Leaves(vcl::TComponent& object) const {
    vcl::TValueTextOptions show;
    show.Display = options_.Display;
    std::vector<TSelectedProperty> leaves;
    for (vcl::TPropertyLeaf& leaf : vcl::ListProperties(object, show))
      leaves.push_back(MakeSelectedProperty(std::move(leaf.Path), leaf.Value, leaf.Data));
    if (auto* dialog = dynamic_cast<vcl::TCommonDialog*>(&object)) DialogLines(*dialog, leaves);
    if (dynamic_cast<vcl::TControl*>(&object) && !vcl::GetPropInfo(&object, "BiDiMode"))
      leaves.push_back({"BiDiMode", SystemMiddleEast() ? "bdRightToLeft" : "bdLeftToRight", ""});
    return leaves;
  }

  // What the translator reads and writes of every form besides its properties.
  void FormPseudoProperties(vcl::TComponent& root, std::vector<TSelectedProperty>& leaves) const {
    leaves.push_back({"ShowLanguageSelectionInSystemMenu", "True", ""});
    win32::NONCLIENTMETRICSW metrics;
    if (win32::SystemParametersInfo(win32::SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
      const std::pair<const char*, const win32::LOGFONTW*> fonts[] = {
          {"MenuFont", &metrics.lfMenuFont}, {"CaptionFont", &metrics.lfCaptionFont}, {"SmallCaptionFont", &metrics.lfSmCaptionFont}};
      for (const auto& [name, font] : fonts) {
        leaves.push_back(MakeSelectedProperty(std::string(name) + ".Name", Quoted(std::u16string(win32::FaceName(*font)))));
        leaves.push_back({std::string(name) + ".Charset", std::to_string(font->lfCharSet), ""});
      }
    }
    auto* form = dynamic_cast<vcl::TCustomForm*>(&root);
    if (form == nullptr) return;
    const win32::HMENU menu = form->SystemMenu();
    const std::pair<const char*, win32::UINT> items[] = {
        {"SystemMenuRestoreCaption", win32::SC_RESTORE},   {"SystemMenuMoveCaption", win32::SC_MOVE},
        {"SystemMenuSizeCaption", win32::SC_SIZE},         {"SystemMenuMinimizeCaption", win32::SC_MINIMIZE},
        {"SystemMenuMaximizeCaption", win32::SC_MAXIMIZE}, {"SystemMenuCloseCaption", win32::SC_CLOSE}};
    for (const auto& [path, command] : items)
      leaves.push_back(MakeSelectedProperty(path, Quoted(win32::GetMenuString(menu, command, win32::MF_BYCOMMAND))));
    runtime::TQuintrel* translator = runtime::GlobalQuintrel();
    if (translator != nullptr && translator->IsCurrentRightToLeft()) leaves.push_back({"FlipState", "False", ""});
    if (form->FormStyle() == vcl::fsMDIChild) {
      std::u16string next = win32::GetMenuString(menu, win32::SC_NEXTWINDOW, win32::MF_BYCOMMAND);
      leaves.push_back(MakeSelectedProperty("SystemMenuNextWindowCaption", next.empty() ? "'Ne&xt Window'" : Quoted(next)));
    }
  }

private:
  // The lines a common dialog shows, gathered from its running window: "Name=value".
  void DialogLines(vcl::TCommonDialog& dialog, std::vector<TSelectedProperty>& leaves) const {
    const std::string text = runtime::GetDlgProps(dialog);
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      start = end + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::size_t eq = line.find('=');
      if (eq == std::string::npos || eq == 0) continue;
      // A dialog shows each line once however often its window is activated while it is
      // gathered; a published property of the same path keeps its place.
      std::string path = line.substr(0, eq);
      if (std::any_of(leaves.begin(), leaves.end(), [&](const TSelectedProperty& p) { return p.Path == path; })) continue;
      std::string value = line.substr(eq + 1);
      if (options_.Display) value = rtl::WideToUtf8(options_.Display->ToWide(value));
      leaves.push_back(MakeSelectedProperty(std::move(path), value));
    }
  }

  const TBrowserOptions& options_;
};

// The live form of a unit as the development environment shows it.
vcl::TComponent* LiveForm(ide::TIToolServices& services, const std::string& unit) {
  auto module = services.GetModuleInterface(unit);
  if (!module || !module->ShowForm()) return nullptr;
  auto formInterface = module->GetFormInterface();
  if (!formInterface) return nullptr;
  auto component = formInterface->GetFormComponent();
  return component ? component->GetComponentHandle() : nullptr;
}

}  // namespace

TComponentBrowser::TComponentBrowser(ide::TIToolServices& services, TFormHeadReader heads, TBrowserOptions options)
    : services_(services), options_(options) {
  const int count = services_.GetUnitCount();
  for (int i = 0; i < count; ++i) {
    const std::string unit = services_.GetUnitName(i);
    std::optional<TFormFileHead> head;
    try {
      head = heads(unit);
    } catch (const rtl::Exception& e) {
      problems_.push_back(e.Message());
      continue;
    }
    if (!head) continue;
    TBrowserForm form{i, unit, std::move(*head)};
    const bool known = std::any_of(forms_.begin(), forms_.end(),
                                   [&](const TBrowserForm& f) { return f.NodeText() == form.NodeText(); });
    if (!known) forms_.push_back(std::move(form));
  }
}

const TBrowserForm* TComponentBrowser::FindForm(std::string_view name) const {
  for (const TBrowserForm& f : forms_)
    if (f.Head.Name == name) return &f;
  for (const TBrowserForm& f : forms_)
    if (vcl::SameText(f.Head.Name, name)) return &f;
  return nullptr;
}

std::optional<TSelectedForm> TComponentBrowser::LoadForm(const TBrowserForm& form, std::string* problem) {
  const bool wasOpen = services_.IsFileOpen(form.UnitFile);
  // One form at a time: a unit the browser opened is closed again on every path.
  struct TRelease {
    ide::TIToolServices& services;
    const std::string& unit;
    bool close;
    ~TRelease() {
      if (close && services.IsFileOpen(unit)) services.CloseFile(unit);
    }
  } release{services_, form.UnitFile, !wasOpen};
  std::optional<TSelectedForm> tree;
  try {
    if (!wasOpen && !services_.OpenFile(form.UnitFile)) {
      if (problem) *problem = rtl::Format(strings::_SBrowserUnitNotOpened, form.UnitFile);
      return tree;
    }
    vcl::TComponent* root = LiveForm(services_, form.UnitFile);
    if (root == nullptr) {
      if (problem) *problem = rtl::Format(strings::_SBrowserFormNotShown, form.Head.FormFile);
      return tree;
    }
    const TTreeBuilder builder(options_);
    tree.emplace();
    tree->Name = form.Head.Name;
    tree->ClassName = form.Head.ClassName;
    tree->Properties = builder.Leaves(*root);
    builder.FormPseudoProperties(*root, tree->Properties);
    for (int i = 0; i < root->ComponentCount(); ++i) {
      vcl::TComponent* c = root->Components(i);
      // A component without a name cannot be found again by the translator.
      if (c->Name().empty()) continue;
      tree->Components.push_back({c->Name(), c->ClassName(), builder.Leaves(*c)});
    }
  } catch (const rtl::Exception& e) {
    if (problem) *problem = e.Message();
    tree.reset();
  }
  return tree;
}

TAutoResult TComponentBrowser::Auto(const std::vector<std::string>& includeList, const TAutoOptions& options,
                                    TSelection& destination,
                                    const std::function<void(const TBrowserForm&, std::size_t, std::size_t)>& visit,
                                    const std::function<void(const std::string&)>& warn) {
  const std::unordered_set<std::string> wanted(includeList.begin(), includeList.end());
  std::vector<const TBrowserForm*> forms;
  if (!options.OnlyForm.empty()) {
    if (const TBrowserForm* f = FindForm(options.OnlyForm)) forms.push_back(f);
  } else {
    for (const TBrowserForm& f : forms_) forms.push_back(&f);
  }
  TAutoResult result;
  const auto consider = [&](const TSelectedForm& tree, const std::string& compName, const std::string& compClass,
                            const TSelectedProperty& leaf) {
    ++result.Scanned;
    if (options.SkipEmpty && leaf.Value == "''") return;
    std::string name = leaf.Path;
    RemoveIndex(name);
    if (!wanted.count(name)) return;
    destination.Add(tree.Name, tree.ClassName, compName, compClass, leaf);
    ++result.Included;
  };
  for (std::size_t i = 0; i < forms.size(); ++i) {
    if (visit) visit(*forms[i], i + 1, forms.size());
    std::string problem;
    std::optional<TSelectedForm> tree = LoadForm(*forms[i], &problem);
    if (!tree) {
      if (warn) warn(problem);
      continue;
    }
    ++result.Forms;
    for (const TSelectedProperty& leaf : tree->Properties) consider(*tree, "", "", leaf);
    for (const TSelectedComponent& c : tree->Components)
      for (const TSelectedProperty& leaf : c.Properties) consider(*tree, c.Name, c.ClassName, leaf);
  }
  return result;
}

TSelection SelectionFromModule(module::TZod& zod, int module) {
  const module::TCatalogueList forms = zod.GetForms(module), comps = zod.GetComps(module), props = zod.GetProps(module);
  const auto nameOf = [](const module::TCatalogueList& list, int line) {
    return line < 0 ? std::string() : module::CatalogueName(list[static_cast<std::size_t>(line)]);
  };
  TSelection selection;
  for (const std::string& line : forms) {
    const std::string formName = module::CatalogueName(line);
    if (formName.empty() || formName[0] == '#' || line.size() < 4) continue;
    const uint32_t id = static_cast<uint32_t>(std::stoul(line.substr(0, 4), nullptr, 16));
    for (const module::TZodObject& object : zod.GetObjects(module, static_cast<uint16_t>(id))) {
      if (object.PropertyName == 0) continue;
      const std::string prop = nameOf(props, module::GetPropIndex(props, object.PropertyName));
      if (prop.empty()) continue;
      const std::string comp = object.CompName == 0 ? std::string() : nameOf(comps, module::GetCompIndex(comps, object.CompName));
      selection.Add(formName, "", comp, "", {prop, "", ""});
    }
  }
  return selection;
}

TSelectionPath SplitTreePath(std::string_view path, const std::vector<std::string>& components) {
  TSelectionPath out;
  const std::size_t dot = path.find('.');
  out.Form = std::string(path.substr(0, dot));
  if (dot == std::string_view::npos) return out;
  std::string_view rest = path.substr(dot + 1);
  const std::size_t next = rest.find('.');
  const std::string_view second = rest.substr(0, next);
  if (std::find(components.begin(), components.end(), second) != components.end()) {
    out.Component = std::string(second);
    if (next != std::string_view::npos) out.Property = std::string(rest.substr(next + 1));
  } else {
    out.Property = std::string(rest);
  }
  return out;
}

}  // namespace quintrel::tools
