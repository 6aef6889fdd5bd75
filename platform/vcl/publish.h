// Publishing the properties controls share (for the .cpp files of the model). A control
// class lists what it publishes, as its counterpart of the runtime library does, so a
// label has a Caption and an edit box a Text, though both keep the same string.
#pragma once

#include "platform/vcl/classbuilder.h"
#include "platform/vcl/controls.h"
#include "platform/vcl/menus.h"

namespace quintrel::vcl {

enum TPublish : uint32_t {
  pAlign = 1u << 0,
  pAnchors = 1u << 1,
  pCaption = 1u << 2,
  pText = 1u << 3,
  pColor = 1u << 4,      // Color, ParentColor
  pFont = 1u << 5,       // Font, ParentFont
  pHint = 1u << 6,       // ShowHint, ParentShowHint
  pVisible = 1u << 7,
  pEnabled = 1u << 8,
  pBiDi = 1u << 9,       // BiDiMode, ParentBiDiMode
  pPopup = 1u << 10,     // PopupMenu
  pTab = 1u << 11,       // TabOrder, TabStop
  pMouse = 1u << 12,     // OnClick, OnDblClick, OnMouseDown/Move/Up
  pKeys = 1u << 13,      // OnEnter, OnExit, OnKeyDown/Press/Up
  pChange = 1u << 14,    // OnChange
  // The usual sets.
  pGraphic = pAlign | pAnchors | pColor | pFont | pHint | pVisible | pEnabled | pBiDi | pPopup | pMouse,
  pWindowed = pGraphic | pTab | pKeys,
};

template <class T>
void PublishControl(TClassBuilder<T>& b, uint32_t what, bool tabStop = false) {
  if (what & pAlign) b.Ord("Align", AlignType(), &TControl::Align, &TControl::SetAlign, alNone);
  if (what & pAnchors) b.Ord("Anchors", AnchorsType(), &TControl::Anchors, &TControl::SetAnchors, kDefaultAnchors);
  if (what & pBiDi) {
    b.Ord("BiDiMode", BiDiModeType(), &TControl::BiDiMode, &TControl::SetBiDiMode)
        .StoredWhen(&TControl::IsBiDiModeStored);
    b.Ord("ParentBiDiMode", StandardType("Boolean"), &TControl::ParentBiDiMode, &TControl::SetParentBiDiMode, 1);
  }
  if (what & pCaption) b.Str("Caption", CaptionType(), &TControl::Caption, &TControl::SetCaption);
  if (what & pText) b.Str("Text", CaptionType(), &TControl::Text, &TControl::SetText);
  if (what & pColor) {
    b.Ord("Color", ColorType(), &TControl::Color, &TControl::SetColor).StoredWhen(&TControl::IsColorStored);
    b.Ord("ParentColor", StandardType("Boolean"), &TControl::ParentColor, &TControl::SetParentColor);
  }
  if (what & pEnabled) b.Ord("Enabled", StandardType("Boolean"), &TControl::Enabled, &TControl::SetEnabled, 1);
  if (what & pFont) {
    b.Obj("Font", &TControl::Font).StoredWhen(&TControl::IsFontStored);
    b.Ord("ParentFont", StandardType("Boolean"), &TControl::ParentFont, &TControl::SetParentFont, 1);
  }
  if (what & pHint) {
    b.Ord("ParentShowHint", StandardType("Boolean"), &TControl::ParentShowHint, &TControl::SetParentShowHint, 1);
    b.Ord("ShowHint", StandardType("Boolean"), &TControl::ShowHint, &TControl::SetShowHint)
        .StoredWhen(&TControl::IsShowHintStored);
  }
  if (what & pPopup) b.BagRef("PopupMenu", TPopupMenu::StaticClass());
  if (what & pTab) {
    if constexpr (std::is_base_of_v<TWinControl, T>) {
      b.Ord("TabOrder", StandardType("Integer"), &TWinControl::TabOrder, &TWinControl::SetTabOrder, -1);
      b.Ord("TabStop", StandardType("Boolean"), &TWinControl::TabStop, &TWinControl::SetTabStop, tabStop ? 1 : 0);
    }
  }
  if (what & pVisible) b.Ord("Visible", StandardType("Boolean"), &TControl::Visible, &TControl::SetVisible, 1);
  if (what & pChange) b.Event("OnChange");
  if (what & pMouse) {
    b.Events({"OnClick", "OnDblClick"});
    b.Events({"OnMouseDown", "OnMouseUp"}, "TMouseEvent");
    b.Event("OnMouseMove", "TMouseMoveEvent");
  }
  if (what & pKeys) {
    b.Events({"OnEnter", "OnExit"});
    b.Events({"OnKeyDown", "OnKeyUp"}, "TKeyEvent");
    b.Event("OnKeyPress", "TKeyPressEvent");
  }
}

}  // namespace quintrel::vcl
