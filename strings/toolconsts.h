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
// A second module a tool opens beside the one it works on (%s: the file, then the file it
// may not be, or the reason).
inline constexpr const char* _SOtherModuleIsSame = "%s: is the module %s itself; choose another module";
inline constexpr const char* _SOtherModuleMissing = "%s: no such module file";
inline constexpr const char* _SOtherModuleNotRegular = "%s: not a regular file";
inline constexpr const char* _SOtherModuleNotOpened = "%s: cannot be opened as a module";
inline constexpr const char* _SOtherModuleExists = "%s: exists already; a new module is never written over a file";
// The module list holds another module whose file name agrees in its first 12 characters.
inline constexpr const char* _SWorkModuleNameClash =
    "%s: cannot be opened beside %s, whose name agrees in its first 12 characters; close that module first";
inline constexpr const char* _SOtherModuleNotCreated = "%s: cannot be created as a module";
// Languages files: %s the file, %d the byte offset, %s what is wrong there.
inline constexpr const char* _SLanBad = "%s: at byte %d: %s";
inline constexpr const char* _SLanCannotRead = "%s: cannot be read: %s";
inline constexpr const char* _SLanNoSection = "not a languages file: it does not begin with a section (a short 1)";
inline constexpr const char* _SLanTruncated = "the file ends inside %s";
inline constexpr const char* _SLanNextBackward = "the next section's position %d does not lie after this section";
inline constexpr const char* _SLanNextOutside = "the next section's position %d lies outside the file of %d bytes";
inline constexpr const char* _SLanBadLength = "a string's length %d is negative or runs past its section";
inline constexpr const char* _SLanPastSection = "the entries run past the next section's position %d";
inline constexpr const char* _SLanTwoLanguageLists = "a second \"Languages:\" section";
// Leverage: its two outcomes, a file of another kind (%s: the file), a language the
// source lacks (%s: the file, the language, the languages it has).
inline constexpr const char* _SSuccessfulLeverage = "The leverage operation was successfull";
inline constexpr const char* _SUnSuccessfulLeverage = "Could not leverage specified file";
// %s: the file, its kind; %d: how many objects or entries it holds.
inline constexpr const char* _SLeverageInspected = "%s: %s";
inline constexpr const char* _SLeverageObjects = "objects: %d";
inline constexpr const char* _SLeverageEntries = "entries: %d";
// %d: texts taken, objects created, skipped in all (signed off, locked), without a text.
inline constexpr const char* _SLeverageCounts =
    "taken %d, created %d, skipped %d (signed off %d, locked %d), without a text %d";
// %s: the language read, the language written.
inline constexpr const char* _SLeverageCharsets =
    "warning: languages %s and %s have different charsets; the texts are taken as they are";
inline constexpr const char* _SLeverageKind = "%s: leverage takes a module (.zod) or a languages file (.lan)";
inline constexpr const char* _SLeverageNoLanguage = "%s: has no language %s; it has: %s";
// Module maintenance: the status texts of packing and re-indexing (%s: the numbers), and
// what a pack did (%s: the module, the backup; %d: the counts).
inline constexpr const char* _SPackingForm = "Packing form ";
inline constexpr const char* _SPackingProperty = "Packing property %s of %s";
inline constexpr const char* _SUpdatingZodProperties = "Updating ZOD Properties...";
inline constexpr const char* _SReIndexingTable = "Re-Indexing table %s";
inline constexpr const char* _SReIndexingField = "Field %s";
inline constexpr const char* _SPackFailed = "%s: not packed, the module is unchanged: %s";
inline constexpr const char* _SPacked = "packed %s: %d forms, %d objects, %d terms, %d comments";
inline constexpr const char* _SPackBackup = "backup of the module as it was: %s";
inline constexpr const char* _SPackBackupReplaced = "the previous backup %s was replaced";
inline constexpr const char* _SReindexed = "re-indexed %s: %d tables";
// A rewrite of a whole database that would not leave it sound (%s: the file, the reason;
// %d: how many problems), the backup it kept (%s: the backup), and a file a command will
// not add to because it is damaged.
inline constexpr const char* _SRewriteUnsound = "%s: left unchanged: the rewritten file would still have %d problem(s), the first: %s";
inline constexpr const char* _SRewriteLostRecords = "%s: left unchanged: the rewritten file would not hold the records of table %s as they are";
inline constexpr const char* _SRewriteUnreadable = "%s: left unchanged: %s";
inline constexpr const char* _SRewriteBackup = "backup of %s as it was: %s";
inline constexpr const char* _SDatabaseDamaged = "%s: not changed: the file has %d problem(s) (db check lists them), the first: %s";
// Migrating the forms' texts into a language: the question, the status text (%s: the
// unit), and what was done (%d: forms and units read, signed-off texts kept; %s: the
// language).
inline constexpr const char* _SMigrateCaution =
    "About to overwrite existing language translations, do you really want to proceed ?";
inline constexpr const char* _SMigrating = "Migrating %s";
inline constexpr const char* _SMigrated = "read %d forms and %d resource-string units into %s; %d signed-off texts kept";
// Switching the design language: a file that cannot be written (%s: the file), the
// button's two captions, the status text (%s: the file or form), and what was done (%s:
// the old and the new design language).
inline constexpr const char* _SReadOnlyFiles =
    "One or more files are \"Read Only\" (%s), cannot continue. If you are using Version Control System, please "
    "check in necessary files.";
inline constexpr const char* _SSwitchDesignSwitch = "Switch";
inline constexpr const char* _SSwitchDesignUpdate = "Update";
inline constexpr const char* _SSwitchingFile = "Switching %s";
inline constexpr const char* _SSwitchedDesign = "%s: the design language is now %s (was %s)";
inline constexpr const char* _SSwitchNoLanguage = "%s: has no language %s; it has: %s";
// The source scanner. %s: the unit; %d: the largest size it reads.
inline constexpr const char* _SScanUnitMissing = "%s: the project lists this unit but the file is missing";
inline constexpr const char* _SScanUnitTooLarge = "%s: larger than the %d bytes a unit may have to be scanned";
// A literal no resource string can stand for. %s: the unit; %d: the line.
inline constexpr const char* _SScanHeadingLiteral =
    "warning: %s:%d: a literal in a routine's heading (a default parameter, an external name, a directive) cannot "
    "take a resource string";
inline constexpr const char* _SScanCaseLabel = "warning: %s:%d: a literal in a case label cannot take a resource string";
// Resource automation: the plan file (%s: the file, then what is wrong with it).
inline constexpr const char* _SPlanBad = "%s: not a usable plan: %s";
inline constexpr const char* _SPlanBadFormat = "\"format\" must be \"%s\"";
inline constexpr const char* _SPlanBadVersion = "\"version\" must be %d";
inline constexpr const char* _SPlanTooDeep = "nested deeper than %d levels";
inline constexpr const char* _SPlanTooMany = "more than %d rows";
inline constexpr const char* _SPlanMissing = "%s must be %s";
inline constexpr const char* _SPlanBadValue = "%s: '%s' is not allowed";
inline constexpr const char* _SPlanBadSpan = "row %d: its end must lie after its start";
inline constexpr const char* _SPlanDuplicateRow = "row %d is listed twice";
inline constexpr const char* _SPlanNoRow = "the plan has no row %d";
// The identifier shared by other rows (%d: how many keep the old one).
inline constexpr const char* _SIsolateRenameQuestion =
    "This string have also been used on other places in the source code, do you want to update these identifiers "
    "as well?";
inline constexpr const char* _SIsolateRenameKept = "note: %d other rows keep the identifier %s; --rename-all renames them too";
// Applying a plan.
inline constexpr const char* _SIsolateCommitQuestion =
    "Be aware that these changes will immediately take affect in your current source code which suggest having a "
    "complete backup, are you sure you want to proceed ?";
inline constexpr const char* _SIsolateNonQuoted = "Trying to replace a non quoted string: \"%s\". Do you want to proceed ?";
inline constexpr const char* _SIsolateErrorUpdating = "Error while updating %s";
inline constexpr const char* _SIsolateUnitDone = "%s: %d texts isolated, %d lines marked";
inline constexpr const char* _SIsolateUnitChanged = "it has changed since the plan was made (make a new plan)";
inline constexpr const char* _SIsolateUnitMissing = "the file is missing";
inline constexpr const char* _SIsolateSpanOutside = "row %d lies outside the unit";
inline constexpr const char* _SIsolateOverlap = "rows %d and %d overlap";
inline constexpr const char* _SIsolateBadIdent = "row %d: '%s' is not an identifier";
inline constexpr const char* _SIsolateNoUses =
    "its interface part has no uses clause to name %s in, and a unit that would not compile is not written";
inline constexpr const char* _SIsolateNoInclude = "it has no #include line at its head to add %s after";
inline constexpr const char* _SIsolateEmptySection =
    "the removals would leave the const or resourcestring section of line %d empty; ignore one of its constants in "
    "the plan";
inline constexpr const char* _SIsolateConstantTaken = "%s declares %s with another text, and code names the constant";
inline constexpr const char* _SIsolateConstantToScript =
    "warning: %s:%d: the constant %s can move only from a Pascal unit into a .pas unit; left as it is";
inline constexpr const char* _SIsolateRenamed = "warning: row %d: %s is taken in %s by another text; it becomes %s";
inline constexpr const char* _SIsolateSkipped = "warning: %s:%d: skipped: %s";
inline constexpr const char* _SIsolateNoTarget =
    "the module has no resource-string unit for the texts: name one with --unit NAME.pas (or NAME.rc)";
inline constexpr const char* _SIsolateNoPlan = "%s: not written, since units could not be read";
// %s: the plan file; %d: rows; %d: units; %s: the target unit.
inline constexpr const char* _SIsolatePlanWritten = "%s: %d rows in %d units, into %s";
inline constexpr const char* _SIsolateRenamedRows = "%s: %d rows renamed to %s";
inline constexpr const char* _SIsolateActionSet = "%s: %d rows set to %s";
inline constexpr const char* _SIsolateSetNothing = "name the rows, or --unit";
inline constexpr const char* _SPlanNoUnit = "the plan has no row in unit %s";
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

// The translators' exchange: export, import, statistics, dictionary translation.
inline constexpr const char* _SExportDone = "The export operation has completed successfully";
inline constexpr const char* _SExportFailed = "There is a problem in the export operation";
inline constexpr const char* _SImportDone = "The import operation has completed successfully";
inline constexpr const char* _SImportFailed = "There is a problem in the import operation";
inline constexpr const char* _SNoDictionaryInstalled = "There are no dictionary installed for language %s";
inline constexpr const char* _SStatTotal = "Localization Items in total:";
inline constexpr const char* _SStatLocked = "Locked:";
inline constexpr const char* _SStatUnTranslated = "Un-Translated:";
inline constexpr const char* _SStatToReview = "To review:";
inline constexpr const char* _SStatCheckedOut = "Checked out:";
// The status window of dictionary translation: translated so far, considered so far.
inline constexpr const char* _SAutoTranslateCount = "%d / %d";
// An exchange file that cannot be taken in (%s: the file; then the language, the module's
// languages; the line number; what is wrong).
inline constexpr const char* _SExchangeNoTarget = "%s: names no target language (no line TARGETID=)";
inline constexpr const char* _SExchangeUnknownTarget = "%s: the module has no language %s; it has: %s";
inline constexpr const char* _SExchangeBad = "%s: %s";
inline constexpr const char* _SExchangeBadLine = "%s:%d: %s";
// An object left out of an XLIFF file: its text holds a character XML cannot carry.
inline constexpr const char* _SExchangeNotXml = "%s: %s holds a character XML 1.0 cannot carry; left out";

// Pseudo translation: the status window's lines, its refusals (%s: the form; %d: the
// expansion asked for) and its report (%d: terms, forms; %s: the language).
inline constexpr const char* _SPseudoRemovingOldTerms = "Removing old terms ...";
inline constexpr const char* _SPseudoTranslatingTerms = "Pseudo translating terms ...";
inline constexpr const char* _SPseudoEmptyText = "the replacement text is empty: it cannot fill a term";
inline constexpr const char* _SPseudoBadExpansion = "text expansion %d%% is not offered: 0, 20, 50 or 100";
inline constexpr const char* _SPseudoNoForm = "no form %s in the module's catalogue";
inline constexpr const char* _SPseudoLanguageNotStored = "the pseudo language could not be stored";
inline constexpr const char* _SPseudoBadCharset = "%s is not a character set of the list: %s";
inline constexpr const char* _SPseudoDone = "pseudo translated %d %s of %d %s and %d %s into language %s";

// Validation: the status window's first line, the findings (%s: the other control; the
// component holding the accelerator), a check not known (%s), and the report's summary
// (%d: findings, forms; %s: the language).
inline constexpr const char* _SValidateInitializing = "Initializing ...";
inline constexpr const char* _SValidateInvalidAmpersand = "Invalid ampersand position";
inline constexpr const char* _SValidateClippedLabel = "Caption will be clipped outside label boundary";
inline constexpr const char* _SValidateClippedImageButton = "Caption will be clipped outside image buttons boundary";
inline constexpr const char* _SValidateClippedCheckBox = "Caption will be clipped outside checkbox/radiobutton boundary";
inline constexpr const char* _SValidateClippedButton = "Caption will be clipped outside buttons boundary";
inline constexpr const char* _SValidateClippedGroupBox = "Caption will be clipped outside group box boundary";
inline constexpr const char* _SValidateAutoSizedOnto = "Component will be AutoSized onto %s";
inline constexpr const char* _SValidatePictureTooLarge = "Picture is larger than the Visual boundary";
inline constexpr const char* _SValidateDuplicateAccelerator = "Accellerator is duplicated in %s";
inline constexpr const char* _SValidateUnknownCheck = "unknown check %s: ampersand, clipping, accelerators, autosize, pictures";
inline constexpr const char* _SValidateSummary = "%d %s in %d %s for language %s";

// Sign-off: properties not translated yet (%d: how many; %s: the first of them), the
// question before unlocking, and the reports (%d: properties; %s: the language).
inline constexpr const char* _SSignOffUntranslated =
    "%d properties are not translated yet and cannot be signed off: %s";
inline constexpr const char* _SUnlockQuestion = "The resource is already checked out, do you want to unlock it ?";
inline constexpr const char* _SSignedOff = "signed off %d properties in language %s";
inline constexpr const char* _SUnlocked = "unlocked %d properties in language %s";

// Accelerators: a path that names no caption of the grid (%s: the path, the form's
// captions), a caption that is signed off, an edit that changes more than the accelerator
// (%s: the caption), and the report (%d: captions; %s: the language).
inline constexpr const char* _SAccelNoCaption = "%s is not a caption with accelerators; the form has: %s";
inline constexpr const char* _SAccelSignedOff = "%s is signed off; unlock it first";
inline constexpr const char* _SAccelTextChanged = "%s: the new text differs from the caption in more than its accelerator";
inline constexpr const char* _SAccelAssigned = "changed %d captions in language %s";

// The object tree: a component or property identifier the name tables lack (%u: the
// identifier), and a path that names nothing (%s: the name, then what there is instead).
inline constexpr const char* _SUnnamedComponent = "<component %u>";
inline constexpr const char* _SUnnamedProperty = "<property %u>";
inline constexpr const char* _SNoFormInTree = "no form %s in the catalogue; it has: %s";
inline constexpr const char* _SNoNodeInTree = "form %s has no catalogued component or property %s; it has: %s";

}  // namespace quintrel::strings
