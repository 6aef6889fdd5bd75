// Leverage: the translations of another module or of a languages file taken into the
// project's module, so that a new release starts from the old release's texts.
//
// From a module (".zod"), MergeByNames (tools/mergenames.h) does the work: objects are
// matched by form, component and property names, missing ones are made, and the source's
// text in language From becomes the target's term in language Into, for review.
//
// From a languages file (".lan", tools/lanfile.h), every entry names its form (the
// section), component and property; the names are turned into the module's names by the
// rules below, objects are found or made with a class guessed from the component's name,
// and the texts of language From are converted from their code page and written in Into:
//   - a component named as the section (the form's class) or "T" and the section's name is
//     the form itself;
//   - an item index of 0 or more is appended to the property as "[index]";
//   - a component whose name holds "Quintrel" (the old run-time component) is the form
//     itself; its properties "SystemMenu..." get "Caption" appended, and its properties
//     "#..." are resource strings of the unit "#ResStr.pas".
// Entries in other languages still create names and objects, as the old tool did, so a
// later leverage of another language finds them.
//
// Both write under the rules of the merge: locked objects and signed-off terms are left
// and counted, every text written is for review.
#pragma once

#include <string>
#include <vector>

#include "module/objects.h"
#include "tools/lanfile.h"
#include "tools/mergenames.h"

namespace quintrel::tools {

enum class TLeverageKind { Module, LanguagesFile };

// The kind of a file by its extension, in lower case (".zod", ".lan"); EToolError naming
// the file for any other.
TLeverageKind LeverageKindOf(const std::string& fileName);

struct TLeverageLanguage {
  module::TLanguageId Id = 0;
  std::string Name;  // UTF-8
};

// What a file offers: its languages and the number of objects (a module) or entries (a
// languages file).
struct TLeverageInfo {
  TLeverageKind Kind = TLeverageKind::Module;
  std::vector<TLeverageLanguage> Languages;
  size_t Count = 0;
};

// Reads what the file offers; `refused` as for TOtherModule. Failures are EToolError or
// ELanFile, one line naming the file.
TLeverageInfo InspectLeverage(const std::string& fileName, const std::vector<std::string>& refused);

// Takes the file's translations into the target module (of module::GlobalZOD()). The
// file is refused when it is one of `refused` (the project's module and the target).
TMergeResult Leverage(const std::string& fileName, int targetModule, const std::vector<std::string>& refused,
                      module::TLanguageId from, module::TLanguageId into, const TProgress& progress = {});

// The part of Leverage that takes a languages file already read.
TMergeResult LeverageLanguages(const TLanFile& file, int targetModule, module::TLanguageId from,
                               module::TLanguageId into, const TProgress& progress = {});

// The class of a new object made from a languages-file entry, from its form and component
// names (the first prefix of the component's name that names a class).
module::TZodClass LanObjectClass(std::string_view form, std::string_view component);

}  // namespace quintrel::tools
