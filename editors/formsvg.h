// A live form drawn as SVG, as the translator sees it on the screen: the window with its
// title bar and menu bar, and every visible control at the rectangle the window manager
// gives it (graphic controls, which have no window, at their bounds in their parent's
// client area), with its texts as the control holds them now.
//
// Texts are measured with the control's font in the language's charset (win32
// MeasureText, the glyph metrics validation measures with) and drawn stretched to exactly
// that width, so that what the picture shows clipped is what validation calls clipped. A
// text that does not fit its control is cut at the control's edge.
//
// Each control is a <g class="control"> with data-name (the component's name) and, when
// the module catalogues properties of it, data-object: the object ids, separated by
// blanks. The selected object's control is outlined (class "selected"), a control with a
// clipped text gets a red dashed outline (class "clipped"). Menu items live in the menu
// bar; the drop-down of the selected item's menu is drawn open beneath it.
//
// Right-to-left: with RightToLeft texts read from the right (direction rtl, aligned to
// the right of their area); with Mirror the geometry is mirrored as well, for a form the
// translator did not mirror itself.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "platform/vcl/forms.h"
#include "tools/intlobjects.h"

namespace quintrel::editors {

struct TFormSvgOptions {
  uint8_t Charset = 0;       // the charset of the form's 8-bit texts (the language's)
  bool RightToLeft = false;  // texts read right to left
  bool Mirror = false;       // mirror the geometry
  uint32_t Selected = 0;     // the object to outline; 0: none
  // Components whose text is clipped, names compared ignoring case.
  std::set<std::string> Clipped;
};

// The root is a live form (its windows are made when they do not exist yet) or a data
// module (its components drawn as tiles at their design positions, as the designer
// shows them); `catalogued` is its node of tools::ObjectTree, for the object ids.
std::string FormSvg(vcl::TComponent& root, const tools::TObjectForm& catalogued, const TFormSvgOptions& options);

// Text escaped for XML character data and attribute values.
std::string XmlEscape(std::string_view text);

}  // namespace quintrel::editors
