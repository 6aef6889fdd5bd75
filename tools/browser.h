// The component browser: every form of the project as a tree of its components and their
// published properties with their current values, and the selection of the properties
// that are to be catalogued (tools/selection.h), built by hand or automatically from the
// module's auto-include list.
//
// The forms are listed from the heads of their form files, without loading them. A
// form's properties come from the live form the development environment shows (the tool
// services open the unit, show its form and hand out the form component), loaded one
// form at a time and released again.
//
// A form's tree is a TSelectedForm: its own properties (with the pseudo-properties the
// translator knows for forms), then each component it owns, in ownership order, with its
// properties. Value texts are those of vcl/proplist.h, plus:
//   a common dialog's lines as it shows them ("Caption", "Caption[1]", "Font.Name", ...);
//   "BiDiMode" for a form or control whose class publishes none: bdRightToLeft when the
//     system is enabled for Middle-East languages (its ANSI code page is Hebrew or
//     Arabic), else bdLeftToRight;
//   under every form: "ShowLanguageSelectionInSystemMenu" = True, the names and
//     character sets of the system's menu, caption and small-caption fonts, the captions
//     of the system menu's restore, move, size, minimize, maximize and close items, the
//     next-window item of an MDI child ("Ne&xt Window" when it has no caption), and
//     "FlipState" while the translator shows a right-to-left language.
// Long texts are cut in the tree and attached whole (MakeSelectedProperty).
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ide/toolintf.h"
#include "module/zod.h"
#include "platform/vcl/charsets.h"
#include "tools/selection.h"

namespace quintrel::tools {

// A unit's form file and what its head says.
struct TFormFileHead {
  std::string FormFile;
  std::string Name;
  std::string ClassName;
  bool Binary = false;
};
// Finds the form file of a unit (the same name with ".dfm") and reads its head; nullopt
// when the unit has none. Raises rtl::Exception, naming the file, when the head cannot
// be read.
using TFormHeadReader = std::function<std::optional<TFormFileHead>(const std::string& unitFile)>;

// A form node of the browser.
struct TBrowserForm {
  int UnitIndex = -1;  // position in the project's unit list
  std::string UnitFile;
  TFormFileHead Head;
  std::string NodeText() const { return Head.Name + ": " + Head.ClassName; }
};

struct TBrowserOptions {
  // How narrow texts of the forms show (the design code page); nullptr keeps their bytes.
  const vcl::TTextCodec* Display = nullptr;
};

struct TAutoOptions {
  bool SkipEmpty = true;  // "Do not include properties with an empty value"
  std::string OnlyForm;   // "Only scan the selected form": that form's name; empty for all
};

struct TAutoResult {
  std::size_t Forms = 0;
  std::size_t Scanned = 0;
  std::size_t Included = 0;
};

class TComponentBrowser {
public:
  // Lists the forms of the project the services hold.
  TComponentBrowser(ide::TIToolServices& services, TFormHeadReader heads, TBrowserOptions options = {});

  // One node per unit with a readable form file, in unit order; a second node of the
  // same text is not added.
  const std::vector<TBrowserForm>& Forms() const { return forms_; }
  // Form files whose head could not be read, one line each naming the file.
  const std::vector<std::string>& Problems() const { return problems_; }
  // The form of that name, ignoring case as form names compare; nullptr when none.
  const TBrowserForm* FindForm(std::string_view name) const;

  // The form's components and properties, from its live form. Nullopt, with the reason
  // in `problem`, when the live form cannot be obtained. The unit is closed again when
  // the browser opened it.
  std::optional<TSelectedForm> LoadForm(const TBrowserForm& form, std::string* problem = nullptr);

  // Copies into `destination` every leaf of the forms whose path, its indexes replaced by
  // "*", is in `includeList`. `visit` hears of each form before it is loaded (its number
  // from 1, the count) and of each failure to load one.
  TAutoResult Auto(const std::vector<std::string>& includeList, const TAutoOptions& options, TSelection& destination,
                   const std::function<void(const TBrowserForm&, std::size_t, std::size_t)>& visit = {},
                   const std::function<void(const std::string&)>& warn = {});

private:
  ide::TIToolServices& services_;
  TBrowserOptions options_;
  std::vector<TBrowserForm> forms_;
  std::vector<std::string> problems_;
};

// The catalogue of an open module as a selection: every object of every form (not the
// resource-string units) by form, component and property name, without values, as the
// browser's destination tree is preloaded. A property of a component whose name is empty
// is taken as one of the form itself.
TSelection SelectionFromModule(module::TZod& zod, int module);

// A path as the trees show it, "Form.Component.Property" or "Form.Property" for the
// form's own property, "Form.Component" or "Form" for all below: split by what the form's
// tree holds (a second part that names a component of the form is the component).
// `components` are the form's component names.
TSelectionPath SplitTreePath(std::string_view path, const std::vector<std::string>& components);

}  // namespace quintrel::tools
