// Message table of the translation editor (editors/): what it refuses, formatted with
// rtl::Format. The module file comes first wherever the message names one.
#pragma once

namespace quintrel::strings {

// A language the module does not have (%s: module file, the identifier, the module's languages).
inline constexpr const char* _SEditorNoLanguage = "%s: the module has no language %s; it has: %s";
// An object named by identifier or path that the tree does not hold (%s: module file, the name).
inline constexpr const char* _SEditorNoObject = "%s: no object %s in the module's forms";
// Another process stored a different text since the editor read it (%s: the object's path,
// the language).
inline constexpr const char* _SEditorConflict =
    "%s (%s) was changed by someone else since you opened it; reload it and edit again";
// Changes the editor refuses (%s: the object's path, and the language where one is named).
inline constexpr const char* _SEditorLocked = "%s is locked: it takes no translation";
inline constexpr const char* _SEditorSignedOff = "%s (%s) is signed off; set its status to review to change it";
inline constexpr const char* _SEditorNoTerm = "%s has no text in %s yet";
inline constexpr const char* _SEditorNotTranslated = "%s (%s) is not translated yet: only a translation can be signed off";
inline constexpr const char* _SEditorBadStatus = "a status can be set to review or signed-off only";
inline constexpr const char* _SEditorNotText = "%s is a picture: set, clear or save it as a picture";
inline constexpr const char* _SEditorNotPicture = "%s is not a picture";
// A picture file of the wrong kind (%s: the file, the object's path, its graphic class, the
// extensions that class takes or "none").
inline constexpr const char* _SEditorPictureClass = "%s: %s holds a %s picture, loaded from %s files only";
// A picture file whose content is not what its extension says (%s: the file, the format).
inline constexpr const char* _SEditorPictureContent = "%s: not a %s image";

}  // namespace quintrel::strings
