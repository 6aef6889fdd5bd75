// A selection: which properties of a project's forms are to be catalogued in its module,
// each with the value it has in the form. It is what the component browser builds from
// the forms ("browse auto", "browse select") and what the internationalization update
// turns into the module's catalogue. As a file it is JSON (docs/formats/selection.md), so
// that a developer can edit it, diff it and keep it under version control.
//
// Three levels, as the browser's destination tree:
//   form       name and class (read from the form file's head)
//   component  name and class; the form's own properties hang on the form itself
//   property   property path ("Caption", "Font.Name", "Items.Strings[3]",
//              "Panels.Items[1].Text"), the value text and the attached data
// A property without a value text is one the module catalogues already: a selection
// preloaded from the module lists such properties by name only.
//
// Value texts are UTF-8, rendered as the browser renders them ('text', 123, taCenter,
// [akLeft, akTop], {TBitmap 0000012A}). A long text (256 characters or more) shows cut to
// its first 255 characters and carries the whole text as attached data: for a quoted text
// the characters between the quotes, otherwise the whole value. A graphic's value holds
// its class and byte count, and the attached data are the stream bytes; the count must
// match them. Attached data keep their length: a zero byte inside never cuts them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/sysutils.h"

namespace quintrel::tools {

// A selection file that cannot be read or that breaks the format; the message is one
// line naming the file.
class ESelectionError : public rtl::Exception {
public:
  using rtl::Exception::Exception;
};

struct TSelectedProperty {
  std::string Path;
  std::string Value;  // empty: catalogued already, no value carried
  std::string Data;   // attached data, empty when none

  bool HasValue() const { return !Value.empty(); }
  // The complete value text: for a cut text, the attached whole one (with its quotes
  // for a quoted text); otherwise Value itself. A graphic's value stays "{Class size}".
  std::string FullValue() const;
  // "Path = Value", or the path alone when there is no value (the tree's node text).
  std::string NodeText() const;
};

struct TSelectedComponent {
  std::string Name;
  std::string ClassName;
  std::vector<TSelectedProperty> Properties;
};

struct TSelectedForm {
  std::string Name;
  std::string ClassName;  // empty when not known (a form preloaded from the module)
  std::vector<TSelectedProperty> Properties;  // the form's own
  std::vector<TSelectedComponent> Components;
};

// Where a property sits: form, component ("" for the form itself) and property path.
struct TSelectionPath {
  std::string Form;
  std::string Component;
  std::string Property;
};

class TSelection {
public:
  std::vector<TSelectedForm> Forms;

  TSelectedForm* FindForm(std::string_view name);
  const TSelectedForm* FindForm(std::string_view name) const;
  // The properties of a component, or of the form itself when `component` is empty;
  // nullptr when the form or component is not selected.
  const std::vector<TSelectedProperty>* FindProperties(std::string_view form, std::string_view component) const;
  const TSelectedProperty* FindProperty(const TSelectionPath& path) const;
  size_t PropertyCount() const;

  // Adds a property with its form and component, reusing the form and component when
  // they are there (a class given takes the place of an unknown or older one). A
  // property that is there already takes the new value and data. Returns the property.
  TSelectedProperty& Add(std::string_view form, std::string_view formClass, std::string_view component,
                         std::string_view componentClass, const TSelectedProperty& property);
  // Removes a property, and then its component and form when they are left empty.
  // False when it is not there.
  bool Remove(const TSelectionPath& path);
  // Removes a whole component (or, with an empty component, the form's own properties)
  // or a whole form; false when not there.
  bool RemoveComponent(std::string_view form, std::string_view component);
  bool RemoveForm(std::string_view form);
};

// A property as the browser keeps it from a rendered value: a value text of 256
// characters or more that begins with a quote, "$", "-", a digit or "[" is cut to its
// first 255 characters and the whole text attached (between the quotes for a quoted
// one); a graphic's value "{Class size}" gets `graphicBytes` attached. Other values are
// kept whole.
inline constexpr std::size_t kLongValueChars = 256;
inline constexpr std::size_t kShownValueChars = 255;
TSelectedProperty MakeSelectedProperty(std::string path, std::string_view value, std::string_view graphicBytes = {});

// Byte count of a graphic's value text "{Class 0000ABCD}"; -1 when the text is not of
// that form (an opening brace, a class name or none, a blank, 8 hex digits, a closing
// brace).
long long GraphicByteCount(std::string_view value);

// The selection as a file's content, and back. Reading checks every count the file
// states against what it holds and bounds everything: the file is a regular file of at
// most kMaxSelectionFileSize bytes, nesting, numbers of forms, components and properties,
// and the lengths of names and texts are limited. ParseSelection names `fileName` in its
// messages.
inline constexpr std::size_t kMaxSelectionFileSize = std::size_t{64} << 20;
inline constexpr std::size_t kMaxSelectedForms = 0xFFFF;
inline constexpr std::size_t kMaxSelectedComponents = 0xFFFF;      // per form
inline constexpr std::size_t kMaxSelectedProperties = 1u << 20;    // in all
inline constexpr std::size_t kMaxSelectionName = 255;              // form, component, class
inline constexpr std::size_t kMaxSelectionPath = 1024;             // property path
inline constexpr std::size_t kMaxSelectionValue = 64u << 10;       // value text
std::string SelectionToJson(const TSelection& selection);
TSelection ParseSelection(std::string_view text, const std::string& fileName);
TSelection ReadSelectionFile(const std::string& fileName);

// Base64 of the standard alphabet with padding; DecodeBase64 is false on any other text.
std::string EncodeBase64(std::string_view bytes);
bool DecodeBase64(std::string_view text, std::string& bytes);

}  // namespace quintrel::tools
