// Message table of the development-environment add-in: its identity, its menu, its
// question, and what the ide and globalization commands report.
#pragma once

namespace quintrel::strings {

// The add-in as the host lists it.
inline constexpr const char* _SAddInIDString = "Talvorine.Quintrel";
inline constexpr const char* _SAddInName = "Quintrel Suite 2 Expert";

// The menu, inserted after the host's tools menu.
inline constexpr const char* _SGlobalizationMenu = "Globali&zation";
inline constexpr const char* _SAddGlobalization = "Add &globalization support";
inline constexpr const char* _SProjectSettings = "Project settings";
inline constexpr const char* _SInternatWizard = "&Internationalization Wizard";
inline constexpr const char* _SLocalWizard = "&Localization Wizard";
inline constexpr const char* _SQualityWizard = "&Quality Assurance Wizard";
inline constexpr const char* _SResourceStrings = "&Resource Strings";
inline constexpr const char* _SSwitchBaseLanguage = "Switch Base Language";
inline constexpr const char* _STranslationEditor = "Translation Editor";
inline constexpr const char* _SFollowMe = "Follow Me ...";
inline constexpr const char* _SAddInHelp = "&Help";
inline constexpr const char* _SAddInAbout = "About ...";
inline constexpr const char* _SResourceStringsShortCut = "Ctrl+Ins";

// Removing globalization: asked before the module goes.
inline constexpr const char* _SConfirmRemoveGlobalization =
    "Confirm that you want to permanently remove all globalization work";

// Adding and removing globalization from the command line.
inline constexpr const char* _SGlobalizationExists = "%s: the project is globalized already";
inline constexpr const char* _SNotGlobalized = "%s: the project has no language module";
inline constexpr const char* _SModuleNotCreated = "%s: the language module could not be created";
inline constexpr const char* _SModuleMoveFailed = "%s: cannot be moved to %s: %s";
inline constexpr const char* _SModuleRenameTaken = "%s: cannot follow the project, %s exists";
inline constexpr const char* _SGlobalizationAdded = "created %s (design language %s)";
inline constexpr const char* _SGlobalizationRemoved = "moved %s to %s";
// A backup of an earlier removal is in the way; it is the user's to keep or delete.
inline constexpr const char* _SBackupExists = "%s: exists; move it away to remove globalization again";

// The ide commands.
inline constexpr const char* _SNoMenuItem = "no menu item %s";
inline constexpr const char* _SMenuItemDisabled = "the menu item %s is not enabled";
inline constexpr const char* _SInvokeNoItem = "name the menu item to click (ITEM)";
inline constexpr const char* _SNotAvailable = "%s: not available in this version";
// An item that runs one of several tools needs to be told which.
inline constexpr const char* _SItemChoices = "%s: name the tool to run: %s";
inline constexpr const char* _SToolNotStarted = "%s: cannot be started: %s";
// What the help items and the about box show.
inline constexpr const char* _SFollowMeText =
    "Follow Me: docs/getting-started.md walks from a project folder to a previewed translation, and 'make run' "
    "shows the whole workflow on the example project.";
inline constexpr const char* _SAddInHelpText =
    "Help: 'quintrel help COMMAND' shows the help of a command; docs/usage.md describes every command.";
inline constexpr const char* _SAddInAboutText =
    "%s\nversion %s, commit %s\n%s: keeps the project's language module in step with its forms and units";
inline constexpr const char* _SUnknownNotification = "unknown notification %s";
inline constexpr const char* _SNotificationArguments = "%s takes %s";
inline constexpr const char* _SNotATextProperty = "%s: %s.%s is not a text property";
inline constexpr const char* _SReplayUnclosedQuote = "a quoted word is not closed";
inline constexpr const char* _SReplayTooLarge = "%s: the script is longer than a replay takes (1 MiB, 10000 steps)";

}  // namespace quintrel::strings
