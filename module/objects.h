// The object catalogue: every translatable property of every component on every form.
// Forms, components and properties are named once in three catalogue texts ("ZodForms",
// "ZodComps", "ZodObjectProperties": lines of "XXXX Name" separated by CR LF, the
// identifier in at least 4 upper-case hexadecimal digits) and referred to by identifier.
// Objects are records of table "ZodObj" (older modules: one table "ZodObjXXXX" per form)
// and each form keeps the identifiers of its objects, in the order they were added, in
// property "ObjIdentsXXXX".
//
// The operations are members of TZod (module/zod.h, implemented in module/objects.cpp);
// this header holds the records, class table and catalogue list look-ups.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quintrel::module {

inline constexpr const char* kPropForms = "ZodForms";
inline constexpr const char* kPropComps = "ZodComps";
inline constexpr const char* kPropObjectProperties = "ZodObjectProperties";
inline constexpr const char* kPropFormCount = "ZodFormCount";
inline constexpr const char* kPropCompCount = "ZodCompCount";
inline constexpr const char* kPropPropertyCount = "ZodPropertyCount";
inline constexpr const char* kPropObjectCount = "ZodObjectCount";
inline constexpr const char* kPropObjIdents = "ObjIdents";  // followed by the form in 4 hex digits
inline constexpr const char* kObjTable = "ZodObj";
inline constexpr const char* kObjTableDefinition =
    " Ident N Kind N ZodClass N CompName N PropertyName N Localization N Comment N Locked L Priority Y FormID N";
constexpr uint32_t kFirstObjectId = 0xFFFF0;

// Kinds of property values.
enum TZodType : uint8_t {
  utString, utConstant, utBitmap, utSet, utInteger, utFloat, utIcon, utMetafile, utUnknown,
};

// Control classes.
enum TZodClass : uint8_t {
  ucUnknown, ucMainMenu, ucMenuItem, ucPopupMenu, ucLabel, ucEditBox, ucButton, ucCheckBox, ucRadioButton,
  ucListBox, ucComboBox, ucScrollBar, ucGroupBox, ucPanel, ucGrid, ucBitmap, ucShape, ucBevel, ucScrollBox,
  ucSplitter, ucTabControl, ucPageControl, ucRichEdit, ucSlideBar, ucProgressBar, ucSpinner, ucHotKey, ucAnimate,
  ucCalender, ucTreeView, ucHeaderControl, ucStatusBar, ucToolBar, ucCoolBar, ucTimer, ucPaintBox, ucMediaPlayer,
  ucOleContainer, ucCommonDialog, ucForm, ucResourceString,
};
constexpr int kZodClassCount = ucResourceString + 1;
constexpr int kZodTypeCount = utUnknown + 1;

// The class of a component's class name (exact comparison); a name beginning with "#" is
// a resource string, any other unknown name ucUnknown.
TZodClass GetZodClass(std::string_view className);
// The enumeration names ("ucButton", "utString") and back; -1 for an unknown name.
std::string_view ZodClassName(uint8_t zodClass);
std::string_view ZodTypeName(uint8_t kind);
int ZodClassFromName(std::string_view name);
int ZodTypeFromName(std::string_view name);

struct TZodObject {
  uint32_t Ident = 0;
  uint8_t Kind = utString;
  uint8_t ZodClass = ucUnknown;
  uint16_t FormID = 0;
  uint32_t CompName = 0;
  uint16_t PropertyName = 0;  // 0 in SetObject deletes the object
  uint32_t Localization = 0;  // term of the text
  uint32_t Comment = 0;       // term of the comment
  bool Locked = false;
  uint8_t Priority = 0;
  bool operator==(const TZodObject&) const = default;
};

// A catalogue text as lines (split at CR LF; a final CR LF ends the last line) and back.
using TCatalogueList = std::vector<std::string>;
TCatalogueList SplitCatalogue(std::string_view text);
std::string JoinCatalogue(const TCatalogueList& lines);
// "XXXX Name" for an identifier and a name.
std::string CatalogueLine(uint32_t id, std::string_view name);
// The first line holding the identifier's 4 hexadecimal digits anywhere (components and
// properties: the digits and a space); -1 when none.
int GetFormIndex(const TCatalogueList& list, uint16_t form);
int GetCompIndex(const TCatalogueList& list, uint32_t comp);
int GetPropIndex(const TCatalogueList& list, uint16_t prop);
// The identifier of the first line holding the name as a whole space-delimited word
// (case-sensitive); 0 when none.
uint32_t GetFormID(const TCatalogueList& list, std::string_view name);
uint32_t GetCompID(const TCatalogueList& list, std::string_view name);
uint32_t GetPropID(const TCatalogueList& list, std::string_view name);
// The identifier of the form named `name` ignoring case, as the language compares form
// names: the line of that exact spelling first, else the first line whose name differs
// from it in case only; 0 when none.
uint32_t GetFormIDIgnoringCase(const TCatalogueList& list, std::string_view name);
// The name of a line ("XXXX Name" -> "Name").
std::string CatalogueName(const std::string& line);

// The properties the scanning tools include when a module has no list of its own.
const std::vector<std::string>& DefaultAutoIncludes();

}  // namespace quintrel::module
