// Message table of the language module and of the module, language and charset commands.
// Every text these show or raise is here, formatted with rtl::Format.
#pragma once

namespace quintrel::strings {

// The language-properties editor and `lang add` refuse an identifier a module has.
inline constexpr const char* _SLangIdExists = "The language identifier already exist!";
// Shown when a module without a current format version is opened.
inline constexpr const char* _SZodOld = "This Universal Language Module is old, please re-pack it immediately";
// A module index outside the list of open modules; %d is the index.
inline constexpr const char* _SListIndexError = "List index out of bounds (%d)";
// The index of a term table led to a record of another term; re-indexing cures it.
inline constexpr const char* _STermIndexCorrupt = "Term database index corrupt!";
// A packed property value whose entries run past its end: the module's name, the
// property, the byte offset of the entry that is damaged, and what is wrong with it.
inline constexpr const char* _SPackedValueDamaged = "Module %s: property %s is damaged at byte %d: %s";
inline constexpr const char* _SPackedHeaderCut = "an entry header is cut off";
inline constexpr const char* _SPackedTextsCut = "the texts of an entry run past the end of the value";
inline constexpr const char* _SPackedTooMany = "more entries than a list can hold";
// A table of a module whose fields are not those the module layer writes: the module's
// file, the table, and what differs (one of the two texts below).
inline constexpr const char* _SModuleTableLayout = "Module %s: table %s does not have a module table's layout: %s";
inline constexpr const char* _SModuleFieldMissing = "it has no field %s";
inline constexpr const char* _SModuleFieldType = "field %s is %s instead of %s";
// The packed terms of one language would not fit in the 2 GiB a packed list can hold.
inline constexpr const char* _STermsTooLarge = "Module %s: the terms of language $%x take more than 2 GiB";

// What --version prints: the release and the commit the build was configured from.
inline constexpr const char* _SCliVersion = "quintrel %s (commit %s)";

// The man pages (quintrel help --man): the section headings, the line under each command of
// quintrel(1) naming its own page (%s: "quintrel-db"), and the sections only quintrel(1) has.
inline constexpr const char* _SManName = "NAME";
inline constexpr const char* _SManSynopsis = "SYNOPSIS";
inline constexpr const char* _SManDescription = "DESCRIPTION";
inline constexpr const char* _SManOptions = "OPTIONS";
inline constexpr const char* _SManArguments = "ARGUMENTS";
inline constexpr const char* _SManCommands = "COMMANDS";
inline constexpr const char* _SManSeeAlso = "SEE ALSO";
inline constexpr const char* _SManEnvironment = "ENVIRONMENT";
inline constexpr const char* _SManFiles = "FILES";
inline constexpr const char* _SManExitStatus = "EXIT STATUS";
inline constexpr const char* _SManManual = "Quintrel Manual";
inline constexpr const char* _SManPageOf = "See %s(1).";
inline constexpr const char* _SManEnvConfig =
    "The per-user store of settings (the modules registered permanently, the add-in's state) "
    "instead of $XDG_CONFIG_HOME/quintrel/registry.ini or ~/.config/quintrel/registry.ini.";
inline constexpr const char* _SManEnvFontPath =
    "Folders, separated by colons, searched for the font files that text extents are measured with, "
    "instead of /usr/share/fonts and /usr/local/share/fonts.";
inline constexpr const char* _SManEnvWindres = "The resource compiler that resstr compile runs, instead of "
                                               "x86_64-w64-mingw32-windres found on the PATH.";
inline constexpr const char* _SManEnvBrowser = "The program edit --open starts with the editor's address, instead of xdg-open.";
inline constexpr const char* _SManFileLocales =
    "The system's locale definitions, which lang add --locale takes a language's regional settings from.";
inline constexpr const char* _SManFileFonts =
    "The Liberation, DejaVu, Loma and VL Gothic fonts standing in for the faces forms name.";
inline constexpr const char* _SManExitOk = "Success.";
inline constexpr const char* _SManExitFailure =
    "The command failed, or (db check, validate and the like) found what it looks for; the reason is on stderr.";
inline constexpr const char* _SManExitUsage = "The command line could not be understood; nothing was done.";

// Command line: files.
inline constexpr const char* _SCliFileNotFound = "%s: file not found";
inline constexpr const char* _SCliModuleIsFolder = "%s: is a folder, not a module";
inline constexpr const char* _SCliFileExists = "%s: file exists (use --force to replace it)";
inline constexpr const char* _SCliNotOpened = "%s: cannot be opened as a module for reading and writing";
inline constexpr const char* _SCliNotOpenedForReading = "%s: cannot be opened as a module";
inline constexpr const char* _SCliNotCreated = "%s: the module cannot be created";
// A new module would replace something that is not a module: the file, and what it is.
inline constexpr const char* _SCliNotReplaced =
    "%s: is %s, not a module; a new module replaces only a module (also with --force), so it is left as it is";
inline constexpr const char* _SCliIsFolder = "a folder";
inline constexpr const char* _SCliNotRegular = "a device, pipe or other special file";
inline constexpr const char* _SCliNoDatabase = "a file other than a record database";
inline constexpr const char* _SCliOtherTables = "a database with tables of its own (%s)";
inline constexpr const char* _SCliNoModuleTables = "a database without the module's Properties table";
inline constexpr const char* _SCliTooManyModules = "%s: 20 modules are open already";
inline constexpr const char* _SCliNoPermanentSlot = "%s: all 20 places for permanent modules are taken";
inline constexpr const char* _SCliNotPermanent = "%s: not registered permanently";
inline constexpr const char* _SCliNoPermanentModules =
    "No modules are registered permanently ('quintrel module register --permanent FILE' registers one).";
inline constexpr const char* _SCliWriteFailed = "%s: the module refused the change";
// module auto-include set: a name that cannot be a property (%s: the file, %d: the line),
// and the list written (%s: the module, %d: the number of names).
inline constexpr const char* _SCliAutoIncludeBadName =
    "%s: line %d: a property name holds no blanks and has at most 255 characters";
inline constexpr const char* _SCliAutoIncludeSet = "%s: %d properties in the auto-include list";
inline constexpr const char* _SCliReadFailed = "%s: cannot be read: %s";
// No --module and no project to take the module from: why the project was not found.
inline constexpr const char* _SCliNoModuleNamed =
    "no module named (--module FILE) and no project to take it from: %s";
// The project's module does not exist yet: the module's file and the project's.
inline constexpr const char* _SCliProjectHasNoModule =
    "%s: file not found (the module of project %s; 'quintrel module new' creates it)";
// A command that changes the module was given one the user cannot write.
inline constexpr const char* _SCliModuleReadOnly = "%s: the module is read-only (%s); this command changes it";
// Command line: usage errors (exit 2). Each is one line after "quintrel: ", followed by the
// hint naming the command's help ("quintrel term set").
inline constexpr const char* _SCliUsageHint = "Run '%s --help' for more.";
// The words typed ("module nwe") and those of the closest command ("module new").
inline constexpr const char* _SCliUnknownCommand = "unknown command '%s' (did you mean '%s'?)";
// The words typed, the group ("quintrel module") and its commands.
inline constexpr const char* _SCliUnknownCommandList = "unknown command '%s'; the commands of '%s' are: %s";
inline constexpr const char* _SCliNeedsCommand = "'%s' needs a command: %s";
inline constexpr const char* _SCliUnknownOption = "unknown option '%s' (did you mean '%s'?)";
inline constexpr const char* _SCliUnknownOptionPlain = "unknown option '%s'";
inline constexpr const char* _SCliUnknownOptionText =
    "unknown option '%s' (a text that starts with '-' goes after '--')";
inline constexpr const char* _SCliUnexpectedArgument = "unexpected argument '%s'";
inline constexpr const char* _SCliUnexpectedArguments = "unexpected arguments %s";
inline constexpr const char* _SCliUsageRequired = "%s is required";
inline constexpr const char* _SCliUsageExcludes = "%s and %s exclude each other; give one of them";
inline constexpr const char* _SCliUsageRequires = "%s needs %s";
inline constexpr const char* _SCliUsageValueMissing = "%s needs a value";
inline constexpr const char* _SCliUsageValuesMissing = "%s needs %d values";
inline constexpr const char* _SCliUsageValueCount = "%s takes %d values, not %s";
inline constexpr const char* _SCliUsageBadValue = "'%s' is not a value %s takes";
// Command line: arguments.
// The numbers of values a command takes after its optional module FILE, and how many came.
inline constexpr const char* _SCliArgumentCount = "takes %s argument(s) after the optional FILE; %d were given";
inline constexpr const char* _SCliArgumentCountModule = "takes %s argument(s) beside --module; %d were given";
// Added to a usage error when the command line holds a lone "--": the parser takes it for the
// end of the options, so the pseudo language's identifier never reaches the command.
inline constexpr const char* _SCliLoneDashes =
    "%s (a lone -- ends the options; write the pseudo language -- as $2D2D)";
inline constexpr const char* _SCliBadLanguageId =
    "'%s' is not a language identifier (two characters such as de or ##, or $HHHH)";
inline constexpr const char* _SCliNameRequired = "--name is required for a new language";
// A new language whose identifier differs from an existing one only in case: the file, the
// existing identifier, the new one.
inline constexpr const char* _SCliLanguageCaseTwin =
    "%s: the module has language %s; identifiers are case-sensitive in the module, so %s would be a second "
    "language beside it";
inline constexpr const char* _SCliNoSuchLanguage = "%s: no language %s";
// The module's file, the identifier asked for, and the module's identifiers.
inline constexpr const char* _SCliNoSuchLanguageIn =
    "%s: no language %s; the module has: %s (identifiers are case-sensitive)";
// The module has no design language (??): its catalogued texts read as empty.
inline constexpr const char* _SCliNoDesignLanguage =
    "warning: %s has no design language, so every catalogued text shows as empty "
    "('quintrel module set design-language XX' names it)";
inline constexpr const char* _SCliBadBoolean = "'%s' is not on or off (on, off, true, false, yes, no, 1, 0)";
inline constexpr const char* _SCliBadNumber = "'%s' is not a number from %d to %d";
inline constexpr const char* _SCliBadHex = "'%s' is not a hexadecimal number of up to %d digits";
inline constexpr const char* _SCliUnknownSetting = "unknown setting '%s'; the settings are: %s";
inline constexpr const char* _SCliTextTooLong = "%s: '%s' is longer than the %d characters the field holds";
// A text given on the command line to be stored that is not well-formed UTF-8: what the
// text is (an argument or option) and the offset of the byte where the bad sequence starts.
inline constexpr const char* _SCliNotUtf8 = "%s: not UTF-8 (an ill-formed sequence at byte offset %d)";
inline constexpr const char* _SCliBadApplyFlags =
    "'%s' is not a set of apply flags (a number 0-63, or names from days, months, time, date, currency, win32, all, none)";
inline constexpr const char* _SCliBadJson = "%s: %s";
inline constexpr const char* _SCliJsonField = "field '%s': %s";
// A field of a JSON input file, in messages about its value: the file and the field.
inline constexpr const char* _SCliJsonFieldName = "%s: field '%s'";
// What a field takes, and the JSON value given instead.
inline constexpr const char* _SCliJsonWrongType = "%s expected, not %s";
inline constexpr const char* _SCliWantNumber = "a number";
inline constexpr const char* _SCliWantBool = "true or false";
inline constexpr const char* _SCliWantText = "a text";
inline constexpr const char* _SCliWantNames = "a list of %d names expected";
// The charset, and those that have a code page.
inline constexpr const char* _SCliUnknownCharset = "charset %d has no code page; the charsets that have one: %s";
inline constexpr const char* _SCliInputTooLarge = "the input of %d bytes is larger than a conversion takes";
// Command line: notes printed beside results.
inline constexpr const char* _SCliDamageWarning = "warning: %s";
// Command line: terms, objects, forms and dictionaries.
inline constexpr const char* _SCliBadIdent = "'%s' is not an identifier (a decimal number or 0x followed by hex digits)";
inline constexpr const char* _SCliBadStatus = "'%s' is not a status; the statuses are untranslated, review, signed-off";
inline constexpr const char* _SCliNoSuchTerm = "%s: no term %u in language %s";
inline constexpr const char* _SCliNoSuchObject = "%s: no object %u";
inline constexpr const char* _SCliNoSuchForm = "%s: no form %s";
inline constexpr const char* _SCliNoCatalogueForm = "%s: no form %s; the catalogue has: %s";
inline constexpr const char* _SCliBadKind = "'%s' is not a value kind (utString ... utUnknown)";
inline constexpr const char* _SCliTextNeedsLang = "--text needs --lang";
inline constexpr const char* _SCliTranslationNeedsText = "--translation needs --text and --lang";
inline constexpr const char* _SCliBadTranslation = "'%s' is not LANG=TEXT";
// The module's file, the form asked for, and the forms of its catalogue.
inline constexpr const char* _SCliNoSuchFormIn = "%s: no form %s; the catalogue has: %s";
inline constexpr const char* _SCliUnknownClass =
    "unknown class '%s': give a control class (%s; ucUnknown for any other) or a component class they stand for "
    "(TButton, TLabel, TMenuItem, ...)";
// Names of the object catalogue: the argument and the name.
inline constexpr const char* _SCliBadFormName =
    "%s: '%s' is not a form name (a letter or _ followed by letters, digits and _)";
inline constexpr const char* _SCliBadComponentName =
    "%s: '%s' is not a component name (a letter or _ followed by letters, digits and _; empty for the form itself)";
inline constexpr const char* _SCliBadPropertyPath =
    "%s: '%s' is not a property path (names joined by dots, each with an optional [index]: Caption, Font.Name, "
    "Lines.Strings[0], Items[1].Caption)";
inline constexpr const char* _SCliTwoTranslations = "--translation: two texts for language %s";
inline constexpr const char* _SCliTranslationOfTextLanguage =
    "--translation %s: that is the language of --lang, whose text is --text";
// Characters a language's code page cannot hold: module file, language, charset, code
// page, and the characters.
inline constexpr const char* _SCliLostCharacters =
    "warning: %s: language %s (charset %d, code page %d) cannot hold %s; an application with 8-bit texts loses them";
// An object added without a text: the module's file and the object.
inline constexpr const char* _SCliNoTextYet =
    "%s: object %u has no text yet; it leaves its property as the form has it (--text, or --project to read the "
    "form, gives it one)";
inline constexpr const char* _SCliObjectHasNoTerm = "%s: object %u has no term yet (its property has no text)";
inline constexpr const char* _SCliNoFormInProject = "%s: the project has no form %s; it has: %s";
inline constexpr const char* _SCliNoComponentOnForm = "%s: form %s has no component %s; it has: %s";
// The form file, the form, the component (or the form) and the property path, and why.
inline constexpr const char* _SCliPropertyNotRead = "%s: %s.%s cannot be read: %s";
inline constexpr const char* _SCliTextFileTooLarge = "%s: larger than the %d bytes a text may have";
inline constexpr const char* _SCliTextTwice = "the text is given twice: TEXT and --text-file";
inline constexpr const char* _SCliIdAndObject = "give a term ID or --object ID, not both";
// The header of `object list`.
inline constexpr const char* _SCliObjectListHeader = "id\tterm\tform\tcomponent\tproperty\tkind\tclass\tlocked\tpriority";
// intl objects / object-set and module startup: the module's file and what changed.
inline constexpr const char* _SCliObjectsChanged = "%s: %d objects changed";
inline constexpr const char* _SCliNoObjectSetting = "give at least one of --locked, --priority, --class, --comment";
inline constexpr const char* _SCliStartupChanged = "%s: start-up options changed";
inline constexpr const char* _SCliObjectPath = "%s: %s";
// intl update: what it did to the module (%s: the module's file, a form, or a property
// as Form.Component.Property).
inline constexpr const char* _SCliIntlNeedsSelection = "give --selection FILE or --auto";
inline constexpr const char* _SCliIntlNoDesignLanguage =
    "%s: the module has no design language (quintrel module set design-language ID)";
inline constexpr const char* _SCliIntlRemoved = "removed %s";
inline constexpr const char* _SCliIntlEmptied = "form %s: nothing selected, its objects removed";
inline constexpr const char* _SCliIntlPruned = "form %s: not in the project, its objects removed (--prune)";
inline constexpr const char* _SCliIntlKept =
    "form %s: not in the project or its form file unreadable, its objects kept (--prune removes them)";
inline constexpr const char* _SCliIntlChanged =
    "%s: %d objects added, %d texts added, %d design texts captured, %d removed, %d moved to the form itself";
inline constexpr const char* _SCliIntlUnchanged = "%s: unchanged";
inline constexpr const char* _SCliIntlResourceUnit = "resource-string unit %s registered, %d strings imported";
inline constexpr const char* _SCliDryRunNote = " (dry run: nothing written)";
inline constexpr const char* _SCliNotDictionary =
    "%s: the language %s cannot be a dictionary here (it needs a term table and an object table)";
inline constexpr const char* _SCliNoTranslation = "no translation found";
// terms next and prev at either end of the tree, and terms picture save of a language without
// an image (%s: the object's path, the language).
inline constexpr const char* _SCliNoNextUntranslated = "no untranslated object after it";
inline constexpr const char* _SCliNoPrevUntranslated = "no untranslated object before it";
inline constexpr const char* _SCliNoPicture = "%s has no picture in %s";
inline constexpr const char* _SCliCleanLine = "%s: %d terms removed";
inline constexpr const char* _SCliNotAStringUnit = "%s: a resource-string unit is a .pas or .rc file";
inline constexpr const char* _SCliInvalidResIdent = "Invalid resource string identifier";
inline constexpr const char* _SCliStringExists = "Resource String Constant already exist in this unit";
inline constexpr const char* _SCliNoSuchString = "%s: %s declares no resource string %s";
inline constexpr const char* _SCliStringNeedsText = "the string needs --text or --project";
inline constexpr const char* _SCliScriptStringNeedsNumber =
    "%s: a string of a resource script needs its number (--number, or --project to read it)";
inline constexpr const char* _SCliNotAModule = "%s: cannot be opened as a module";
inline constexpr const char* _SCliCharsetWithoutCodePage =
    "warning: %s: language %s has charset %d, which has no code page; the translator gives its texts "
    "as ASCII, with 0x7F for every other character";
inline constexpr const char* _SCliNoProjectForm = "%s: the project has no form %s; its forms are: %s";
// The web editor (quintrel edit): its address, and the answers to requests it refuses.
inline constexpr const char* _SEditorListening = "Translation editor of %s at %s (Ctrl-C stops it)";
inline constexpr const char* _SEditorStopped = "the translation editor stopped";
inline constexpr const char* _SEditorCannotListen = "cannot listen on 127.0.0.1 port %d: %s";
inline constexpr const char* _SEditorNoRandom = "/dev/urandom: cannot read a token: %s";
inline constexpr const char* _SEditorNoBrowser = "warning: cannot start %s (%s); open the address yourself";
inline constexpr const char* _SEditorNoLanguages = "%s: the module has no languages to translate";
inline constexpr const char* _SEditorBadToken = "this request does not carry the editor's token";
inline constexpr const char* _SEditorBadHost = "this request is not addressed to the editor's own address";
inline constexpr const char* _SEditorBadRequest = "bad request: %s";
inline constexpr const char* _SEditorNoFormForStrings = "the strings of unit %s show on no form";
// The component browser. The size of a value's attached data.
inline constexpr const char* _SCliAttachedBytes = "(%d bytes attached)";
// The selection file written (or that would be), its forms and properties.
inline constexpr const char* _SCliSelectionWritten = "%s: %d forms, %d properties selected";
inline constexpr const char* _SCliSelectionWouldWrite = "%s: would hold %d forms, %d properties selected";
inline constexpr const char* _SCliAutoCounts = "%d properties scanned, %d properties included";
// The automatic selection's progress on a terminal: the form, its number and the count.
inline constexpr const char* _SCliLoadingForm = "Loading Form %s";
// A path of the trees that names nothing: the form file or selection file, the path.
inline constexpr const char* _SCliNoTreeNode = "%s: nothing at %s";
inline constexpr const char* _SCliRemoveInternationalized =
    "You are about to remove a property which you have internationalized, do you really want to remove it?";
inline constexpr const char* _SCliAnswerWithYes = "nothing was changed; give --yes to remove it";
inline constexpr const char* _SCliBadIndexFlag = "--index %s: unknown flag '%s' (unique, prefix)";
inline constexpr const char* _SCliIndexNoField = "--index %s: no field name";
// Command line: files it writes and input it reads.
inline constexpr const char* _SCliNotRegularFile = "%s: not a regular file";
inline constexpr const char* _SCliCannotWrite = "%s: cannot be written: %s";
// Sources the source commands read.
inline constexpr const char* _SCliSourceLanguage =
    "%s: the language cannot be told from the extension; give --lang pas, c or rc";
inline constexpr const char* _SCliSourceZeroByte =
    "%s: a zero byte at offset %d ends the text; a source holds none (is it UTF-16?)";
inline constexpr const char* _SCliSourceFault = "%s: %s";
inline constexpr const char* _SCliJsonTooDeep = "nested deeper than %d levels";
inline constexpr const char* _SCliJsonTooLarge = "larger than the %d bytes a JSON input may have";
// A table or field a db command names that the file does not have, and what it has.
inline constexpr const char* _SCliNoSuchTable = "%s: no table %s; the tables are: %s";
inline constexpr const char* _SCliNoSuchField = "%s: table %s has no field %s; its fields are: %s";
inline constexpr const char* _SCliLoadLine = "%s: input line %d: %s (%d records written before it)";

}  // namespace quintrel::strings
