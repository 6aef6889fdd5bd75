// The module's objects as a tree, and the per-object settings (class, lock, priority,
// comment) changed over a whole subtree of it.
//
// The tree has one node per catalogued form; under it the form's own properties (objects
// whose CompName is 0, or a component with an empty name as older modules wrote them) and
// one node per component, created at the component's first object, with that
// component's properties. Resource-string units ("#" forms) are left out: their objects
// are strings, not properties of components.
//
// A path into the tree is written as the trees show it, joined by dots:
//   Form                every property of the form
//   Form.Component      every property of that component
//   Form.Property       a property of the form itself (Form.Font.Name)
//   Form.Component.Property
// A path names a property exactly when it can; otherwise a component of the form. Form and
// component names compare ignoring case, as the language compares identifiers.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "module/zod.h"
#include "platform/rtl/sysutils.h"

namespace quintrel::tools {

struct TObjectLeaf {
  std::string Component;  // empty for the form itself
  std::string Property;
  module::TZodObject Object;
};

struct TObjectForm {
  std::string Name;
  uint16_t Id = 0;
  std::vector<TObjectLeaf> Leaves;  // in the order the module lists the form's objects
};

// The identifiers of the component lines without a name: older tools catalogued the
// form's own properties under such a component.
std::set<uint32_t> EmptyNamedComponents(const module::TCatalogueList& comps);

// Every catalogued form with its objects, in the order of the form catalogue.
std::vector<TObjectForm> ObjectTree(module::TZod& zod, int module);

// The leaves a path names (see above); fails with EObjectPathError naming what the tree
// holds instead.
class EObjectPathError : public rtl::Exception {
public:
  using rtl::Exception::Exception;
};
std::vector<const TObjectLeaf*> LeavesOfPath(const std::vector<TObjectForm>& tree, std::string_view path);

// The settings to change; what is not given stays.
struct TObjectSettings {
  std::optional<bool> Locked;
  std::optional<uint8_t> Priority;
  std::optional<uint8_t> ZodClass;
  std::optional<std::u16string> Comment;  // an empty text empties the comment
};

// Reads each leaf's object, changes the given fields and stores it again; a comment gets
// a term of its own the first time. Returns the number of objects changed.
int ApplyObjectSettings(module::TZod& zod, int module, const std::vector<const TObjectLeaf*>& leaves,
                        const TObjectSettings& settings);

// The comment of an object; empty when it has none.
std::u16string ObjectComment(module::TZod& zod, int module, const module::TZodObject& object);

}  // namespace quintrel::tools
