// The properties of live objects as a component browser lists them: every writable
// published property by its path, with its value as text.
//
// Paths extend through nested objects ("Font.Name"), string lists ("Items.Strings[3]"),
// collections ("Panels.Items[1].Text") and graphics ("Picture.Data"). Values read:
//   integers in decimal, characters and strings between single quotes ('' for char 0),
//   enumerations by name, sets as [a, b], floats in the general float format, a
//   graphic as {TBitmap 0000012A} (class name and the size of its stream image), a
//   reference to another component by that component's name.
// Events and unassigned objects are not listed.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/vcl/classes.h"

namespace quintrel::vcl {

struct TPropertyLeaf {
  std::string Path;
  std::string Value;
  TTypeKind Kind = tkUnknown;
  std::string Data;  // a graphic's stream image
};

struct TComponentNode {
  std::string Name;
  std::string ClassName;
  std::vector<TPropertyLeaf> Properties;
};

struct TValueTextOptions {
  // When set, string contents are shown as UTF-8 decoded through this code page;
  // otherwise they stay the object's narrow bytes.
  const TTextCodec* Display = nullptr;
};

std::vector<TPropertyLeaf> ListProperties(const TPersistent& object, const TValueTextOptions& options = {});
// The root and then every component it owns (and those its components own), in
// ownership order.
std::vector<TComponentNode> ComponentTree(const TComponent& root, const TValueTextOptions& options = {});
// The same nodes handed over one at a time, so that a caller can write each out before
// the next is listed.
void VisitComponentTree(const TComponent& root, const TValueTextOptions& options,
                        const std::function<void(const TComponentNode&)>& visit);

}  // namespace quintrel::vcl
