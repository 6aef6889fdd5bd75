// The module's texts as a gettext PO file, the format every translation tool reads.
//
// Written (UTF-8, LF line ends): a header entry (msgid "") with Project-Id-Version (the
// module's file name), Language (the target's two characters), X-Source-Language (the
// base's), Content-Type "text/plain; charset=UTF-8" and the other fields gettext checks;
// then one entry per exported object, in the order of the text file:
//
//   #. the object's comment, one line per comment line
//   #: the form's file relative to the project ("Main.dfm"; the unit's file for a
//      resource-string unit) when the options name it, else the form's name
//   #, fuzzy                      (the target text is to review)
//   msgctxt "Form.Component.Property"   (unique in the file; "Form.Property" for the form)
//   msgid "base text"
//   msgstr "target text"          (empty while untranslated)
//
// Texts use the C escapes of PO (\" \\ \n \t \r and octal for other control characters)
// and are split after each \n. No plural forms.
//
// Read: entries are taken by msgctxt: "Form." then the object's name. The header's Language
// names the language written. Obsolete entries (#~) and entries without msgctxt are passed
// over; plural entries are refused. The reader bounds every count by the file's size (the
// file itself by host::kMaxSourceFileSize) and fails with one line naming the file and line.
#pragma once

#include <string>

#include "tools/exchange.h"

namespace quintrel::tools {

std::string ExportPo(module::TZod& zod, int module, const std::string& moduleName, const TExportOptions& options);

struct TPoImportOptions {
  bool Comments = false;           // also take the extracted comments (#.)
  bool EmptyAsTranslated = false;  // an empty msgstr is a translation
};
TImportReport ImportPo(module::TZod& zod, int module, const std::string& fileName, const std::string& bytes,
                       const TPoImportOptions& options);

}  // namespace quintrel::tools
