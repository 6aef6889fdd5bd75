// Message table of the component model and the form-stream filer. Every text the
// platform/vcl layer shows is here, formatted with rtl::Format.
#pragma once

namespace quintrel::strings {

// Binary component streams. Offsets are byte offsets from the start of the data handed
// to the reader (a resource header, when present, counts).
inline constexpr const char* _SInvalidImage = "Invalid stream format: %s";
inline constexpr const char* _SNoSignature = "the data starts with neither the TPF0 signature nor a resource header";
inline constexpr const char* _SStreamTruncated = "Stream read error at byte offset %d: the stream ends inside %s";
inline constexpr const char* _SUnknownValueType = "Invalid stream format at byte offset %d: unknown value type %d";
inline constexpr const char* _SUnexpectedValueType =
    "Invalid stream format at byte offset %d: value type %d cannot stand here (%s expected)";
inline constexpr const char* _SAbsurdLength =
    "Invalid stream format at byte offset %d: a length of %d exceeds the %d bytes that remain";
inline constexpr const char* _SNestingTooDeep =
    "Invalid stream format at byte offset %d: values nested deeper than %d levels";
inline constexpr const char* _SResourceHeaderBad = "Invalid stream format at byte offset %d: damaged resource header (%s)";
inline constexpr const char* _SStreamWriteBad = "Stream write error: %s";

// Text form notation. Lines count from 1.
inline constexpr const char* _SParseError = "%s on line %d";
inline constexpr const char* _SIdentifierExpected = "Identifier expected";
inline constexpr const char* _SStringExpected = "String expected";
inline constexpr const char* _SNumberExpected = "Number expected";
inline constexpr const char* _SCharExpected = "'%s' expected";
inline constexpr const char* _SValueExpected = "Property value expected";
inline constexpr const char* _SInvalidBinary = "Invalid binary value";
inline constexpr const char* _SInvalidString = "Invalid string constant";
inline constexpr const char* _SInvalidCharCode = "Character code #%s out of range";
inline constexpr const char* _SInvalidNumber = "Invalid number %s";
inline constexpr const char* _SObjectExpected = "'object', 'inherited' or 'inline' expected";
inline constexpr const char* _STextNestingTooDeep = "Nesting deeper than %d levels";
inline constexpr const char* _SUnexpectedEnd = "Unexpected end of text";
inline constexpr const char* _SExtraText = "Text after the final 'end'";
inline constexpr const char* _SInvalidChar = "Invalid character $%s";

// Component model.
inline constexpr const char* _SClassNotFound = "Class %s not found";
inline constexpr const char* _SDuplicateName = "A component named %s already exists";
inline constexpr const char* _SInvalidName = "''%s'' is not a valid component name";
inline constexpr const char* _SListIndexError = "List index out of bounds (%d)";
inline constexpr const char* _SUnknownProperty = "Property %s does not exist";
inline constexpr const char* _SPropertyReadOnly = "Property %s is read-only";
inline constexpr const char* _SPropertyKind = "Property %s is not of the kind %s";
inline constexpr const char* _SInvalidPropertyValue = "Invalid property value %s for %s";
inline constexpr const char* _SAssignError = "Cannot assign a %s to a %s";
inline constexpr const char* _SControlParentSelf = "A control cannot be its own parent";

}  // namespace quintrel::strings
