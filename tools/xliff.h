// The module's texts as an XLIFF 1.2 document, the exchange format of translation tools.
//
// Written (UTF-8):
//   <xliff version="1.2" xmlns="urn:oasis:names:tc:xliff:document:1.2">
//     <file original="FORM" source-language="en" target-language="de" datatype="plaintext">
//       <body>
//         <trans-unit id="000FFFF3" resname="Component.Property" xml:space="preserve"
//                     [translate="no"] [maxwidth="75" size-unit="pixel"]>
//           <source>base text</source>
//           <target state="...">target text</target>    (not while untranslated)
//           <note>comment</note>                         (when there is one)
//         </trans-unit>
// One <file> per form (or resource-string unit) that has exported objects, in catalogue
// order (with none, one empty <file> whose original is the module's name, as the schema
// wants at least one); one <trans-unit> per object: id the object identifier in 8 hexadecimal digits,
// resname its name as the text file's "#O " line. The state follows the term: to review
// "needs-review-translation", signed off "signed-off", a locked object "final" (and
// translate="no", locked objects are exported for context). maxwidth is the room of the
// control the text is shown on, where the options know it (TExportOptions::MaxWidths): a
// target wider than that would be clipped. A carriage return is written
// as &#13; so that it survives XML's line-end normalisation. An object whose texts hold a
// character XML 1.0 cannot carry (control characters other than tab, line feed and
// carriage return; U+FFFE, U+FFFF; unpaired surrogates) is left out and named.
//
// Read: a trans-unit is taken when its file's original names a form of the module, its id
// an object of that form, and its resname that object's name; the language is the files'
// target-language. The target's text (the text of any inline elements inside it) is the
// translation. The reader accepts the XML a translation tool writes (declaration,
// comments, processing instructions, CDATA, character and the five predefined entity
// references) and refuses document type declarations; it nests at most 64 elements deep
// and fails with one line naming the file and line.
#pragma once

#include <string>
#include <vector>

#include "tools/exchange.h"

namespace quintrel::tools {

// The document; `leftOut` receives "Form Name" of every object left out.
std::string ExportXliff(module::TZod& zod, int module, const TExportOptions& options,
                        std::vector<std::string>* leftOut = nullptr);

struct TXliffImportOptions {
  bool Comments = false;           // also take the notes as comments
  bool EmptyAsTranslated = false;  // an empty target is a translation
};
TImportReport ImportXliff(module::TZod& zod, int module, const std::string& fileName, const std::string& bytes,
                          const TXliffImportOptions& options);

}  // namespace quintrel::tools
