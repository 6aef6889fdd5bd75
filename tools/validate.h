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
#include <string>
#include <string_view>
#include <vector>

#include "ide/toolintf.h"
#include "module/zod.h"
#include "platform/vcl/classes.h"
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

// The live form of a unit open in the development environment; null when it has none.
vcl::TComponent* ShownForm(ide::TIToolServices& services, const std::string& unit);

// Every unit of the project with a catalogued form (or only `onlyForm`, ignoring case):
// the unit is opened when it is not, its live form validated, and the unit closed again.
// Progress: "Initializing ...", then the form's name per form.
TValidateReport ValidateProject(ide::TIToolServices& services, module::TZod& zod, int module,
                                const TValidateOptions& options, const std::string& onlyForm = {},
                                const TProgress& progress = {});

}  // namespace quintrel::tools
