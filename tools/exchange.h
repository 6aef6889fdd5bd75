// The translators' exchange: a module's texts for one base and one target language taken
// out to a file a translator works on, and the translations taken back in; statistics of a
// language; translation from the dictionaries of the open modules.
//
// Every exchange format walks the module the same way (ExchangeForms: the forms in the order
// of the form catalogue, resource-string units included, each with its objects in list order)
// and takes translations back through the same rule (ImportTranslation), so that the text
// file, XLIFF and PO agree on what an import may touch:
//   - the entry must name an object of the module by its form and its name ("Comp.Prop",
//     or "Prop" for the form itself and for resource strings); a file made from another
//     module or an older catalogue is passed over and counted, never written into whatever
//     object happens to carry the same identifier;
//   - a locked object and a signed-off term are never changed (counted);
//   - an empty translation is a translation only when the caller says so: otherwise the
//     term stays as it is;
//   - a term written gets the status "to review" and is stored through tools/termtext.h
//     (empty texts, new term and comment identifiers).
//
// The external text file (docs/formats/exchange-text.md): a list of lines in the text form
// of text/ustringlist.h (CR LF, with TAB, LF, CR and backslash escaped), saved as UTF-16
// little-endian or as 8-bit text in the target language's charset.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "module/zod.h"
#include "tools/progress.h"
#include "tools/termtext.h"
#include "tools/toolsession.h"

namespace quintrel::tools {

// --- the module's objects ---------------------------------------------------------------

struct TExchangeObject {
  // "Component.Property"; the property alone for the form itself and for resource strings.
  std::string Name;
  std::string Component;  // empty for the form itself and for resource strings
  std::string Property;
  module::TZodObject Object;
};

struct TExchangeForm {
  std::string Name;
  uint16_t Id = 0;
  std::vector<TExchangeObject> Objects;
};

// Every catalogued form with its objects (resource-string units, "#Name", included).
std::vector<TExchangeForm> ExchangeForms(module::TZod& zod, int module);
// The same walk a form at a time, so that only one form's objects are held (the visitor may
// take the form's content).
void ForEachExchangeForm(module::TZod& zod, int module, const std::function<void(TExchangeForm&)>& visit);

// Whether an object is a picture (bitmap, icon, metafile): no text to translate.
bool IsPicture(const module::TZodObject& object);

// --- taking translations back -------------------------------------------------------------

enum class TImportOutcome {
  Written,       // the term (or its comment) was changed
  Unchanged,     // the module held this already
  Empty,         // an empty translation that does not count as one: left as it was
  NotFound,      // no object of that form and identifier or name
  NameMismatch,  // the identifier belongs to an object of another name or form
  Locked,        // the object is locked
  SignedOff,     // the term is signed off
};
constexpr int kImportOutcomeCount = 7;
std::string_view ImportOutcomeName(TImportOutcome outcome);

// What one import did: per outcome the count, and per entry a line (form, name, outcome).
struct TImportReport {
  module::TLanguageId Language = 0;
  std::array<int, kImportOutcomeCount> Counts{};
  struct TEntry {
    std::string Form;
    std::string Name;
    TImportOutcome Outcome;
  };
  std::vector<TEntry> Entries;
  int Count(TImportOutcome o) const { return Counts[static_cast<size_t>(o)]; }
  void Add(std::string form, std::string name, TImportOutcome outcome);
};

// The objects of a module looked up by form and identifier or by form and name.
class TObjectIndex {
public:
  TObjectIndex(module::TZod& zod, int module);
  // The form of that name (catalogue spelling), or null.
  const TExchangeForm* Form(std::string_view name) const;
  const TExchangeObject* ById(const TExchangeForm& form, uint32_t ident) const;
  const TExchangeObject* ByName(const TExchangeForm& form, std::string_view name) const;
  const std::vector<TExchangeForm>& Forms() const { return forms_; }

private:
  std::vector<TExchangeForm> forms_;
};

// One translation to take in.
struct TIncoming {
  std::u16string Text;
  bool EmptyIsTranslation = false;
  std::optional<std::u16string> Comment;  // stored when given
};
// Applies the rules above to `object` (which the caller found by form and identifier or
// name) and returns what happened.
TImportOutcome ImportTranslation(module::TZod& zod, int module, module::TZodObject object,
                                 module::TLanguageId language, const TIncoming& incoming);

// --- the external text file ----------------------------------------------------------------

struct TExportOptions {
  module::TLanguageId Base = 0;
  module::TLanguageId Target = 0;
  bool Comments = true;
  bool OnlyPrioritized = false;
  bool OnlyUntranslated = true;
  // The file as UTF-16 little-endian; otherwise 8-bit in the target language's charset.
  bool Unicode = false;
  // The value of "ZOD=": the project's module name, empty without a project.
  std::string ZodName;
  // What the project tells a translator beyond the module, where the format has room:
  // XLIFF's maxwidth, the pixels across the text of an object has on its control (by
  // object identifier; tools/validate.h CaptionWidths), and PO's "#:", the file a form
  // comes from relative to the project ("Main.dfm", "AppText.pas" for the resource-string
  // unit "#AppText.pas"; by form name). What they lack is left out.
  std::map<uint32_t, int64_t> MaxWidths;
  std::map<std::string, std::string> SourceFiles;
};

// Whether the export filters pass the object (pictures are the caller's business).
bool ExportFilter(module::TZod& zod, int module, const module::TZodObject& object, const TExportOptions& options);

// The lines of the text file (before their text form), and the file's bytes.
std::vector<std::u16string> ExportLines(module::TZod& zod, int module, const TExportOptions& options);
std::string ExportTextFile(module::TZod& zod, int module, const TExportOptions& options);
// The same, handed out as they are made: the lines one by one, the file's bytes in pieces
// of some 64 KiB that join to ExportTextFile's. Memory stays that of one form, however
// large the module.
void ExportLines(module::TZod& zod, int module, const TExportOptions& options,
                 const std::function<void(std::u16string_view line)>& emit);
void ExportTextFile(module::TZod& zod, int module, const TExportOptions& options,
                    const std::function<void(std::string_view bytes)>& write);

struct TTextImportOptions {
  bool Unicode = false;  // the file is UTF-16 little-endian
  bool Comments = false;
  bool EmptyAsTranslated = false;
};

// The decoded lines of a text file: with Unicode as UTF-16 (a file beginning ";" then a
// zero byte is taken as UTF-16 as well); otherwise as 8-bit text in the charset its
// "CHARSET=" line names, else the charset of the language its "TARGETID=" names, else 0.
// Raises EToolError naming the file when it cannot be read.
std::vector<std::u16string> ReadTextFileLines(module::TZod& zod, int module, const std::string& fileName,
                                              const std::string& bytes, bool unicode);
// The language "TARGETID=" names; EToolError naming the file when there is none or the
// module lacks it.
module::TLanguageId TextFileTarget(module::TZod& zod, int module, const std::string& fileName,
                                   const std::vector<std::u16string>& lines);
TImportReport ImportTextFile(module::TZod& zod, int module, const std::string& fileName, const std::string& bytes,
                             const TTextImportOptions& options);

// --- the reduced module ----------------------------------------------------------------------

// Fills the new, empty module `target` (of `targetZod`) for a translator: the base and the
// target language (the base its design language), and every object passing the export
// filters, pictures included, under the same form, component and property names and with
// the same term identifiers, its base and target terms with their status and, with
// Comments, its comment. Returns the number of objects copied.
int ExportModule(module::TZod& zod, int module, module::TZod& targetZod, int target, const TExportOptions& options);

// --- statistics ------------------------------------------------------------------------------

struct TStatistics {
  int Total = 0;
  int Locked = 0;
  int UnTranslated = 0;  // missing terms included
  int ForReview = 0;
  int SignedOff = 0;
};
TStatistics GetAmounts(module::TZod& zod, int module, module::TLanguageId language);
// count / total as a whole percentage, halves rounded to even; 0 for no total.
int Percentage(int count, int total);

// --- translation from dictionaries -----------------------------------------------------------

struct TAutoTranslateOptions {
  module::TLanguageId Base = 0;
  module::TLanguageId Target = 0;
  // Only objects whose target text is missing or empty are translated.
  bool OnlyEmpty = false;
  // A dictionary's text of an object of any class will do.
  bool IgnoreContext = false;
};
struct TAutoTranslateResult {
  int Considered = 0;
  int Translated = 0;
  int Locked = 0;
  int SignedOff = 0;
};
// Translates the string objects of `module` through the dictionaries among the open modules
// of zod. EToolError with "There are no dictionary installed for language %s" when no open
// module is a dictionary of the base or of the target language. Progress, after each text
// considered: "translated / considered" and the text, at the objects walked out of the
// module's object count.
TAutoTranslateResult AutoTranslate(module::TZod& zod, int module, const TAutoTranslateOptions& options,
                                   const TProgress& progress = {});

}  // namespace quintrel::tools
