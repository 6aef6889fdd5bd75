// Message table of the development-environment host: opening project folders, their
// project sources and form files. The file name comes first so that every line the
// command line prints names the file and the problem.
#pragma once

namespace quintrel::strings {

inline constexpr const char* _SProjectNotFound = "%s: no such project file or folder";
inline constexpr const char* _SNotAProject = "%s: not a project file (expected .bpr, .mak, .cpp, .dpr or a folder)";
inline constexpr const char* _SNoProjectInFolder = "%s: the folder holds no project file";
inline constexpr const char* _SSeveralProjects = "%s: the folder holds several projects (%s); name one";
inline constexpr const char* _SProjectSourceMissing = "%s: the project source %s is missing";
inline constexpr const char* _SNoUsesClause = "%s: no uses clause in the project source";
inline constexpr const char* _SBadUsesClause = "%s: line %d: unreadable uses clause: %s";
inline constexpr const char* _SUnitInProject = "%s: %s is already a unit of the project";
inline constexpr const char* _SCannotRead = "%s: cannot be read: %s";
inline constexpr const char* _SCannotWrite = "%s: cannot be written: %s";
inline constexpr const char* _SFormUnreadable = "%s: %s";
inline constexpr const char* _SNoProjectOpen = "no project is open";
inline constexpr const char* _SFileNotOpenable = "%s: cannot be opened in the editor";
inline constexpr const char* _SFormFileMissing = "%s: the form file of %s is missing";
inline constexpr const char* _SNoForm = "%s: the unit has no form";
inline constexpr const char* _SNoComponent = "%s: the form has no component %s";
inline constexpr const char* _SUnknownClass = "%s: no component class %s";
inline constexpr const char* _SBadComponentName = "%s: %s";
inline constexpr const char* _SNotAProjectUnit = "%s: not a unit of the project";
inline constexpr const char* _SUnitExists = "%s: a file of that name exists";

// Linking the string table.
inline constexpr const char* _SStringSyntax = "%s: line %d: %s";
inline constexpr const char* _SStringIdTaken = "%s: line %d: string %u is already defined in %s";
inline constexpr const char* _SStringIdRange = "%s: line %d: string identifier %d is not between 0 and 65535";
inline constexpr const char* _SStringTooLong = "%s: line %d: the string is longer than 65535 characters";
inline constexpr const char* _SUnknownSymbol = "%s: line %d: %s is not defined";
inline constexpr const char* _SIncludeDepth = "%s: line %d: includes nest too deeply";
inline constexpr const char* _SExpressionDepth = "%s: line %d: the expression nests too deeply";
inline constexpr const char* _SStringTableFull = "%s: line %d: no string identifier is left for %s";

}  // namespace quintrel::strings
