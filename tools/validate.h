// Validation of a language against the project's live forms: every translated caption
// measured with its control's font (platform/win32 text extents from font files) against
// the control's size, bad and duplicated accelerators, autosized labels that would grow onto
// their neighbours, and pictures larger than their image control.
//
// Per form, the catalogued objects are matched by component name with the components of
// the live form (the form itself included, for its own caption); an object whose
// component is not on the form, whose term the language lacks, or whose class fits no check
// gives no finding. The checks, in this order, each give at most one finding per object,
// except the autosize check, which names every control the label would cover:
//   ampersand     a control's text whose accelerator '&' is last or followed by neither a
//                 letter nor a digit ("&&" is a literal ampersand)
//   clipping      Caption of a label without AutoSize (lines from WordWrap), an image
//                 button (less its glyph: bitmap width / NumGlyphs, Spacing and Margin), a
//                 check box or radio button, another button, a group box
//   autosize      Caption of an autosized label against the other controls of its parent
//   pictures      Picture.Data of an image without AutoSize and Stretch, read from the
//                 term's raw bytes
//   accelerators  Caption of controls with the same parent, and of menu items of the same
//                 menu level, whose accelerators are the same letter ignoring case
// A control or font of no size gives no clipping or autosize finding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ide/toolintf.h"
#include "module/zod.h"
#include "platform/vcl/classes.h"
#include "platform/vcl/controls.h"
#include "tools/intlobjects.h"
#include "tools/progress.h"

namespace quintrel::tools {

enum TValidateCheck : unsigned {
  vcAmpersand = 1,
  vcClipping = 2,
  vcAccelerators = 4,
  vcAutoSize = 8,
  vcPictures = 16,
  vcAllChecks = 31,
};
// "ampersand,clipping,..." to the checks; raises rtl::Exception naming an unknown one.
unsigned ParseChecks(std::string_view list);

struct TFinding {
  std::string Form;
  std::string Component;  // the form's name for its own properties
  std::string Property;
  std::string Message;
};

struct TValidateOptions {
  module::TLanguageId Language = 0;
  unsigned Checks = vcAllChecks;
};

// The findings of one live form; `catalogued` is the form's node of ObjectTree.
std::vector<TFinding> ValidateForm(module::TZod& zod, int module, const TObjectForm& catalogued,
                                   vcl::TComponent& form, const TValidateOptions& options);

struct TValidateReport {
  std::vector<TFinding> Findings;
  std::size_t Forms = 0;              // forms validated
  std::vector<std::string> Problems;  // forms that could not be loaded, one line each
};

// The room a control gives its caption, in pixels: the clipping check finds a caption
// clipped when its text is wider or taller than this. `lineHeight` is the height of one
// line of text in the control's font (a word-wrapped label holds as many lines as fit).
// Nullopt for a control whose caption is never clipped (an autosized label, a control the
// check does not know) and for a control of no size.
struct TCaptionRoom {
  int64_t Width = 0;
  int64_t Height = 0;
  const char* Clipped = "";  // the finding when the caption does not fit
};
std::optional<TCaptionRoom> CaptionRoom(const vcl::TControl& control, int64_t lineHeight);

// The live form of a unit open in the development environment; null when it has none.
vcl::TComponent* ShownForm(ide::TIToolServices& services, const std::string& unit);

// Every unit of the project with a catalogued form (or only `onlyForm`, ignoring case):
// the unit is opened when it is not, its live form validated, and the unit closed again.
// Progress: "Initializing ...", then the form's name per form.
// Every unit of the project whose live form the module catalogues (or only `onlyForm`,
// ignoring case): the unit is opened when it is not, `visit` called with the form's node of
// ObjectTree and the live form, and the unit closed again. Progress: the form's name per
// form. Returns the forms that could not be loaded, one line each.
using TLiveFormVisitor = std::function<void(const TObjectForm& catalogued, vcl::TComponent& form)>;
std::vector<std::string> ForEachLiveForm(ide::TIToolServices& services, module::TZod& zod, int module,
                                         const std::string& onlyForm, const TProgress& progress,
                                         const TLiveFormVisitor& visit);

TValidateReport ValidateProject(ide::TIToolServices& services, module::TZod& zod, int module,
                                const TValidateOptions& options, const std::string& onlyForm = {},
                                const TProgress& progress = {});

// The room (CaptionRoom) of the control each catalogued Caption is shown on, by object
// identifier, for the texts of `language` (its charset chooses the fonts' glyphs): what a
// translator may fill. Objects on no such control are missing. Forms that could not be
// loaded are added to `problems`.
std::map<uint32_t, int64_t> CaptionWidths(ide::TIToolServices& services, module::TZod& zod, int module,
                                          module::TLanguageId language, std::vector<std::string>* problems = nullptr,
                                          const TProgress& progress = {});

}  // namespace quintrel::tools
