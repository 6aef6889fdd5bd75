// Switching the project's design language: every designer form receives the texts of
// another language of the module, every resource-string unit has its strings rewritten
// into it, and that language becomes the module's design language. Used to see the
// impact of the translations, or to build an application fully in another language; a
// second switch back gives the project as it was.
//
// How it keeps the project whole:
//   - every file it may write (the forms, the resource-string units and their constant
//     units) and the module are checked first: a file that cannot be written stops the
//     switch before anything changes;
//   - the forms are loaded through the development-environment host, switched by the
//     run-time translator, and written in the notation they were read in; a text of the
//     new language that is missing or untranslated falls back to the previous design
//     language (the design language changes only after the switch, and the fall-back is
//     on while it runs), never to the new language itself;
//   - nothing captures the forms' texts into the module while switching: the module's
//     terms stay as they were;
//   - a resource-string unit is rewritten in one pass: each string's literal is replaced
//     where it stands, a string whose text does not change keeps its bytes, the order of
//     the declarations and the numbers of the string table stay;
//   - all files are staged in the session and written together with their backups.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "module/languages.h"
#include "tools/mergenames.h"
#include "tools/toolsession.h"

namespace quintrel::host {
class THostModule;
}
namespace quintrel::runtime {
class TQuintrel;
}
namespace quintrel::vcl {
class TComponent;
}

namespace quintrel::tools {

struct TSwitchBaseResult {
  module::TLanguageId Previous = 0;
  bool Update = false;                // the language was the design language already
  std::vector<std::string> Forms;     // forms switched (their names)
  std::vector<std::string> Units;     // resource-string units rewritten (their files)
};

// Switches the session's project and its module (open at `module` in module::GlobalZOD())
// to `language`, which must be a language of the module. Raises EToolError: a file that
// cannot be written (_SReadOnlyFiles, nothing changed), a language the module lacks, a
// form that cannot be read.
TSwitchBaseResult SwitchBaseLanguage(TToolSession& session, int module, module::TLanguageId language,
                                     const TProgress& progress = {});

// The module's record of the language (the module open at `module` in
// module::GlobalZOD()); EToolError naming the module and its languages when it has none.
module::TZodLanguage RequireLanguage(TToolSession& session, int module, module::TLanguageId language);

// Every form of the project (each unit with a form file, in project order) loaded live
// through the development-environment host and handed to `visit` with the unit's module
// interface and a run-time translator working on the module (open at `module` in
// module::GlobalZOD()). The host, its forms and the translator live until the walk ends.
using TFormVisitor = std::function<void(const host::TProjectEntry& entry, host::THostModule& unit,
                                        vcl::TComponent& form, runtime::TQuintrel& translator)>;
void ForEachProjectForm(const host::TProject& project, int module, const TFormVisitor& visit);

// The text of a resource-string declaration's literal replaced by `literal`, keeping the
// identifier, the blanks and the terminator as they are. `script`: a string-table entry
// ("Ident, literal"), else a Pascal declaration ("Ident = literal;").
std::string ReplaceLiteral(std::string_view text, size_t offset, size_t end, const std::string& identifier,
                           bool script, const std::string& literal);

}  // namespace quintrel::tools
