// Taking translations from another module by names.
//
// Two modules of one application (an older release's module, a translator's copy, the
// module of a sister product) number the same form, component and property differently:
// identifiers are handed out per module in the order things were catalogued. What they
// share are the names. MergeByNames walks every object of the source module, names it as
// the source's catalogue texts do ("ZodForms", "ZodComps", "ZodObjectProperties"), finds
// the object of the same names in the target through the shared name lists
// (module/namelists.h), and writes the source's text of one language as the target's
// term of another.
//
// What is written and what is passed over:
//   - A target object that is locked is passed over (counted in SkippedLocked): its text
//     is the application's own and not meant to be translated.
//   - A target term that is signed off (usSignedOff) is never overwritten (counted in
//     SkippedSignedOff): a reviewer's decision outranks any other module.
//   - A source term that is missing or untranslated (usUnTranslated) carries no translation
//     and is passed over (counted in Untranslated).
//   - Everything else is written with the source's text and style and the status
//     usForReview (or the source's status with KeepStatus), counted in Taken. An empty
//     text is stored as one zero byte, so an older text never survives it.
//   - With CreateMissing, names the target lacks are added to its name lists and a missing
//     object is made (new identifier; the source's Kind, ZodClass, Locked and Priority),
//     counted in Created; without it, such an object is passed over (counted in Missing).
//   - With Comments, the source object's comment is copied (a comment term is allocated
//     when the target object has none).
// Objects of resource-string units (forms named "#...") hold the string's number in their
// component field, not a component name: that number is matched as it is.
//
// The target must be a module of the process's list (module::GlobalZOD()), where the name
// lists live; they are loaded without marking (kMarkNone), so saving them sweeps nothing,
// and saved only when names were added. The source may be in any module list: open it
// with TOtherModule (tools/othermodule.h), which refuses the target itself.
//
// The texts are UTF-16 in both modules; nothing is converted. When the two languages'
// charsets differ the result says so (CharsetsDiffer), for the caller to warn.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "module/zod.h"
#include "tools/termtext.h"
#include "tools/progress.h"

namespace quintrel::tools {

struct TMergeOptions {
  module::TLanguageId From = 0;  // the source's language that is read
  module::TLanguageId Into = 0;  // the target's language that is written
  bool CreateMissing = true;     // add missing names and objects (leverage); else pass over (import)
  bool Comments = true;          // copy the source objects' comments
  bool KeepStatus = false;       // write the source's status instead of usForReview
  // Steps once per source object, with the object as "Form.Component.Property".
  TProgress Progress;
};

struct TMergeResult {
  int Objects = 0;           // source objects walked
  int Taken = 0;             // terms written into the target
  int Created = 0;           // objects created in the target
  int SkippedSignedOff = 0;  // target terms left because they are signed off
  int SkippedLocked = 0;     // target objects left because they are locked
  int Untranslated = 0;      // source objects without a translation in From
  int Missing = 0;           // source objects the target has no object for (without CreateMissing)
  int Comments = 0;          // comments copied
  bool CharsetsDiffer = false;
  int Skipped() const { return SkippedSignedOff + SkippedLocked; }
};

TMergeResult MergeByNames(module::TZod& source, int sourceModule, int targetModule, const TMergeOptions& options);

// The target side of a merge, for sources that are not modules (a languages file): the
// objects found or made by names and the texts written, by the rules above.
class TMergeTarget {
public:
  // Loads the target's name lists unmarked.
  TMergeTarget(int targetModule, bool createMissing);
  TMergeTarget(const TMergeTarget&) = delete;
  TMergeTarget& operator=(const TMergeTarget&) = delete;
  // The target's object of these names (comp empty: the form itself; for a resource-string
  // unit, a form named "#...", the component is `resourceNumber`). When missing it is made
  // from `model` (Kind, ZodClass, Locked, Priority) with CreateMissing, else nullopt.
  // Counts Created and Missing.
  std::optional<module::TZodObject> Object(std::string_view form, std::string_view comp, uint32_t resourceNumber,
                                           std::string_view prop, const module::TZodObject& model,
                                           TMergeResult& result);
  // Writes the text as the object's term (allocating one), unless the object is locked or
  // its term signed off; counts Taken or the reason it was skipped.
  void WriteText(module::TZodObject& object, module::TLanguageId language, const TStoredTerm& text,
                 TMergeResult& result);
  // Writes the object's comment (allocating one); unless the object is locked.
  void WriteComment(module::TZodObject& object, const TStoredTerm& comment, TMergeResult& result);
  // Saves the name lists when names were added. Objects already written name what was
  // added, so this runs however the merge ends.
  void SaveNames();

private:
  int module_;
  bool existingOnly_;
  bool namesAdded_ = false;
};

}  // namespace quintrel::tools
