// Message table of the design-time utilities shared by the tools. Every text they raise
// is here, formatted with rtl::Format.
#pragma once

namespace quintrel::strings {

// CopyFile: the source cannot be opened (%s: the source), the target cannot be created
// (%s: the target).
inline constexpr const char* _SCopyCannotOpen = "Cannot open file %s";
inline constexpr const char* _SCopyCannotCreate = "Cannot create file %s";
// CopyFile onto the source itself, which creating the target would empty first.
inline constexpr const char* _SCopyOntoItself = "Cannot copy file %s onto itself";

// The component browser: a unit that the development environment cannot open, and a
// unit whose form it cannot show (%s: the unit, the form file).
inline constexpr const char* _SBrowserUnitNotOpened = "%s: cannot be opened";
inline constexpr const char* _SBrowserFormNotShown = "%s: the form cannot be shown";

// Selection files. Every problem is one line: the file, then what is wrong (%s).
inline constexpr const char* _SSelectionBad = "%s: %s";
inline constexpr const char* _SSelectionNotObject = "not a selection: the document is not an object";
// The format name and version a selection file must state.
inline constexpr const char* _SSelectionBadFormat = "not a selection: \"format\" must be \"%s\"";
inline constexpr const char* _SSelectionBadVersion = "\"version\" must be %d";
// The field that is missing (forms, forms[2].name).
inline constexpr const char* _SSelectionMissing = "field '%s' is missing";
// The field and what it must be ("an array", "a string").
inline constexpr const char* _SSelectionWrongType = "field '%s' must be %s";
inline constexpr const char* _SSelectionTooLong = "field '%s' is longer than %d bytes";
inline constexpr const char* _SSelectionTooDeep = "nested deeper than %d levels";
// What there are too many of (forms, components, properties, objects) and the limit.
inline constexpr const char* _SSelectionTooMany = "more %s than the %d allowed";
inline constexpr const char* _SSelectionEmptyName = "%s: a component needs a name";
inline constexpr const char* _SSelectionDuplicate = "%s: '%s' is listed twice";
inline constexpr const char* _SSelectionBadPath = "%s: a property path must be a name without blanks";
inline constexpr const char* _SSelectionBadBase64 = "field '%s' is not base64";
// A graphic's value that is not "{Class 0000ABCD}": the property and the value's start.
inline constexpr const char* _SSelectionBadGraphic = "%s: '%s' is not a graphic's value {Class 8-hex-digit count}";
// The property, the byte count its value states and the bytes attached.
inline constexpr const char* _SSelectionCountMismatch = "%s: the value counts %d bytes but %d are attached";
inline constexpr const char* _SSelectionStrayData = "%s: only graphics and long texts, numbers and sets carry data";
inline constexpr const char* _SSelectionDataDiffers = "%s: the attached text does not begin with the value shown";
// What a tool did to a file, one line per file (%s: the file, then its backup), and
// what it would do in a dry run.
inline constexpr const char* _SToolChanged = "changed %s (backup %s)";
inline constexpr const char* _SToolCreated = "created %s";
inline constexpr const char* _SToolDeleted = "deleted %s (backup %s)";
inline constexpr const char* _SToolChangedModule = "changed %s";
inline constexpr const char* _SToolWouldChange = "would change %s (backup %s)";
inline constexpr const char* _SToolWouldCreate = "would create %s";
inline constexpr const char* _SToolWouldDelete = "would delete %s (backup %s)";
inline constexpr const char* _SToolWouldChangeModule = "would change %s";
// A file a tool could not write (%s: the file, the reason), and what the tool did then
// (%s: that message).
inline constexpr const char* _SToolCannotWrite = "%s: cannot be written: %s";
inline constexpr const char* _SToolNothingWritten = "%s; the files written before it were put back";
// The resource-string manager.
inline constexpr const char* _SResStrInvalidIdent = "Invalid resource string identifier";
inline constexpr const char* _SResStrExists = "Resource String Constant already exist in this unit";
inline constexpr const char* _SResStrNoProjectSource = "%s: the project source is missing; the new unit cannot be named in it";
inline constexpr const char* _SResStrRemoveQuestion = "Do you want to remove the resource string '%s' ?";
inline constexpr const char* _SResStrRemoveError = "There was an error while trying to remove '%s'";
inline constexpr const char* _SResStrRemoveUnitQuestion = "Do you want to remove unit '%s' ?";
// The identifier shown for a string whose property row has no name.
inline constexpr const char* _SResStrUnknownIdent = "SUnknown";
// %s: the module, the unit asked for, the units it has.
inline constexpr const char* _SResStrNoUnit = "%s: no resource-string unit %s; the units are: %s";
inline constexpr const char* _SResStrUnitKind = "%s: a resource-string unit is a .pas or .rc file";
inline constexpr const char* _SResStrUnitExists = "%s: %s is a resource-string unit already";
// %s: the unit, the identifier.
inline constexpr const char* _SResStrNoString = "%s: no resource string %s";
// %s: the file, the section it lacks ("resourcestring", "const", "STRINGTABLE").
inline constexpr const char* _SResStrNoSection =
    "%s: has no %s section to add the declaration to, and is not a file this tool generated; nothing was changed";
// %s: the file; %d: the largest size a unit may have.
inline constexpr const char* _SResStrUnitTooLarge = "%s: larger than the %d bytes a resource-string unit may have";
// %s: the file, the identifier.
inline constexpr const char* _SResStrSkipped = "warning: %s: %s is not a plain text or number; left as it is";
// Compiling a script unit. %s: the unit; the compiler (and %d its time limit); the
// script and the compiler's messages; the compiled file.
inline constexpr const char* _SResStrNotScript = "%s: only a .rc unit is compiled";
inline constexpr const char* _SResStrNoCompiler =
    "no resource compiler: %s is not installed (scripts/install-deps installs it) and QUINTREL_WINDRES names none";
inline constexpr const char* _SResStrCannotRun = "%s cannot be started: %s";
inline constexpr const char* _SResStrCompilerTimeout = "%s did not finish within %d seconds; it was stopped";
inline constexpr const char* _SResStrCompileFailed = "%s: the resource compiler failed: %s";
inline constexpr const char* _SResStrCompiled = "compiled %s";
// A question the user did not answer.
inline constexpr const char* _SToolAnswerWithYes = "nothing was changed; --yes answers the question with yes";

// The catalogue update: the status window's titles and count, and the failures of its
// steps (%s: the form's name; the object as Form.Component.Property).
inline constexpr const char* _SInsertingNewProperties = "Inserting new properties";
inline constexpr const char* _SSearchingRemovedProperties = "Searching for removed properties";
inline constexpr const char* _STotalPropertiesUpdated = "Total nr of properties updated: %d";
inline constexpr const char* _SUnableToInitFormObjects = "Unable to initiate form objects for Form: %s";
inline constexpr const char* _SUnableToCreateObject = "Unable to create an object, due to an inconsistent database";
inline constexpr const char* _SCouldNotUpdateObject = "Could not update object %s";
inline constexpr const char* _SUnableToSetObject = "Unable to set an object, due to an inconsistent database";

// The object tree: a component or property identifier the name tables lack (%u: the
// identifier), and a path that names nothing (%s: the name, then what there is instead).
inline constexpr const char* _SUnnamedComponent = "<component %u>";
inline constexpr const char* _SUnnamedProperty = "<property %u>";
inline constexpr const char* _SNoFormInTree = "no form %s in the catalogue; it has: %s";
inline constexpr const char* _SNoNodeInTree = "form %s has no catalogued component or property %s; it has: %s";

}  // namespace quintrel::strings
