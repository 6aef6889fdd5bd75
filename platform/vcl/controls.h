// Controls: components with a place on a form, a parent, a font and a text; windowed
// controls that hold other controls and own a window of the window manager.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/vcl/classes.h"
#include "platform/vcl/graphics.h"
#include "platform/win32/winuser.h"

namespace quintrel::vcl {

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = uint32_t;  // bit (1 << TAnchorKind)
constexpr TAnchors kDefaultAnchors = (1u << akLeft) | (1u << akTop);
enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };
using TCursor = int16_t;

PTypeInfo AlignType();
PTypeInfo AnchorsType();
PTypeInfo BiDiModeType();
PTypeInfo CaptionType();  // TCaption

class TWinControl;
class TPopupMenu;

class TControl : public TComponent {
  QUINTREL_CLASS(TControl)
  TControl();
  ~TControl() override;

  TWinControl* Parent() const { return parent_; }
  // Moves the control into another parent's Controls (nullptr takes it out).
  virtual void SetParent(TWinControl* parent);

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  // The client area: the bounds less what the frame takes (nothing for most controls).
  int ClientWidth() const { return width_ - NonClientWidth(); }
  int ClientHeight() const { return height_ - NonClientHeight(); }
  void SetClientWidth(int v) { SetWidth(v + NonClientWidth()); }
  void SetClientHeight(int v) { SetHeight(v + NonClientHeight()); }

  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);
  TAnchors Anchors() const { return anchors_; }
  void SetAnchors(TAnchors anchors) { anchors_ = anchors; }

  // Caption and Text are the same string; each class publishes one of them.
  const std::string& Caption() const { return text_; }
  void SetCaption(const std::string& text) { SetText(text); }
  const std::string& Text() const { return text_; }
  virtual void SetText(const std::string& text);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint) { hint_ = hint; }
  bool ShowHint() const { return showHint_; }
  // Like the colour and the reading order, a new value (not the same one written
  // again) stops following the parent.
  void SetShowHint(bool v) {
    if (v == showHint_) return;
    showHint_ = v;
    parentShowHint_ = false;
  }
  bool ParentShowHint() const { return parentShowHint_; }
  void SetParentShowHint(bool v) { parentShowHint_ = v; }
  bool IsShowHintStored() const { return !parentShowHint_; }

  TFont* Font() const { return font_.get(); }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool v);
  bool IsFontStored() const { return !parentFont_; }
  TColor Color() const { return color_; }
  void SetColor(TColor c) {
    if (c == color_) return;
    color_ = c;
    parentColor_ = false;
  }
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool v);
  bool IsColorStored() const { return !parentColor_; }

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool v);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor c) { cursor_ = c; }
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int v) { helpContext_ = v; }
  TBiDiMode BiDiMode() const { return biDiMode_; }
  void SetBiDiMode(TBiDiMode m);
  bool ParentBiDiMode() const { return parentBiDiMode_; }
  bool IsBiDiModeStored() const { return !parentBiDiMode_; }
  void SetParentBiDiMode(bool v);
  bool UseRightToLeftAlignment() const { return biDiMode_ == bdRightToLeft; }
  bool UseRightToLeftReading() const { return biDiMode_ != bdLeftToRight; }
  bool UseRightToLeftScrollBar() const { return biDiMode_ == bdRightToLeft || biDiMode_ == bdRightToLeftNoAlign; }

  // Nothing is drawn: a repaint request is counted, so callers can see that it was made.
  void Invalidate() { ++invalidated_; }
  void Repaint() { Invalidate(); }
  int InvalidateCount() const { return invalidated_; }

  bool HasParent() const override { return true; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;
  void Loaded() override;

protected:
  virtual int NonClientWidth() const { return 0; }
  virtual int NonClientHeight() const { return 0; }
  // The parent's font, colour, hint flag or reading order changed.
  virtual void ParentChanged();
  // The control's font changed (by itself or from the parent's).
  virtual void FontChanged() {}
  // The reading order changed.
  virtual void BiDiModeChanged() {}
  void RequestAlign();

private:
  friend class TWinControl;
  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = alNone;
  TAnchors anchors_ = kDefaultAnchors;
  std::string text_;
  std::string hint_;
  bool showHint_ = false;
  bool parentShowHint_ = true;
  std::unique_ptr<TFont> font_;
  bool parentFont_ = true;
  TColor color_ = clWindow;
  bool parentColor_ = false;
  bool visible_ = true;
  bool enabled_ = true;
  TCursor cursor_ = 0;
  int helpContext_ = 0;
  TBiDiMode biDiMode_ = bdLeftToRight;
  bool parentBiDiMode_ = true;
  int invalidated_ = 0;
};

// A window message as a control's window procedure receives it.
struct TMessage {
  uint32_t Msg = 0;
  uintptr_t WParam = 0;
  intptr_t LParam = 0;
  intptr_t Result = 0;
};

// What a windowed control's window is created with. Besides what each class adds, the
// style has WS_VISIBLE, WS_DISABLED and WS_TABSTOP from Visible, Enabled and TabStop,
// and the extended style the reading order: WS_EX_RTLREADING for every right-to-left
// mode, WS_EX_LEFTSCROLLBAR for bdRightToLeft and bdRightToLeftNoAlign, WS_EX_RIGHT for
// bdRightToLeft.
struct TCreateParams {
  win32::DWORD Style = 0;
  win32::DWORD ExStyle = 0;
};

class TWinControl : public TControl {
  QUINTREL_CLASS(TWinControl)
  TWinControl();
  ~TWinControl() override;

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  // In z-order, the first at the bottom; raises EListError outside the list.
  TControl* Controls(int index) const;
  bool ContainsControl(const TControl* control) const;
  TControl* FindChildControl(std::string_view name) const;

  // The control's window in the window manager, created on first use (the parent's
  // first): its class is named after the control's class, its text is the control's
  // text, its rectangle the control's bounds, its font the control's font (WM_SETFONT
  // with Font()->Handle()). A child window gets a control id: the smallest positive id
  // no other child of the parent window carries, so GetDlgItem finds it. The window
  // follows later changes of text, bounds, visibility, enabled state, font and reading
  // order (the extended styles of CreateParams).
  win32::HWND Handle();
  bool HandleAllocated() const { return static_cast<bool>(handle_); }
  void DestroyHandle();
  // The window's control id (GetDlgCtrlID); 0 without a window or for a top-level one.
  int ControlID() const;
  // The control whose window this is; nullptr for other windows.
  static TWinControl* FindControl(win32::HWND window);
  // Messages sent to the window; the default is the window manager's default processing.
  virtual void WndProc(TMessage& message);
  void DefaultHandler(TMessage& message);

  int TabOrder() const { return tabOrder_; }
  void SetTabOrder(int order) { tabOrder_ = order; }
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool v) { tabStop_ = v; }

  // Alignment of the children by their Align values; nested Disable/Enable calls
  // postpone it to the last EnableAlign.
  void DisableAlign() { ++alignLevel_; }
  void EnableAlign();
  bool AlignDisabled() const { return alignLevel_ > 0; }
  void Realign();

  void SetText(const std::string& text) override;
  void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) const override;

protected:
  virtual void AlignControls();
  void ParentChanged() override;
  void FontChanged() override;
  void BiDiModeChanged() override;
  virtual void CreateParams(TCreateParams& params) const;
  // Called once the window exists.
  virtual void HandleCreated() {}

private:
  friend class TControl;
  static win32::LRESULT WindowProcedure(win32::HWND window, win32::UINT message, win32::WPARAM wParam,
                                        win32::LPARAM lParam);
  std::vector<TControl*> controls_;
  win32::HWND handle_{};
  int tabOrder_ = -1;
  bool tabStop_ = false;
  int alignLevel_ = 0;
  bool passingOn_ = false;
};

class TGraphicControl : public TControl {
  QUINTREL_CLASS(TGraphicControl)
};

class TCustomControl : public TWinControl {
  QUINTREL_CLASS(TCustomControl)
};

// Image lists: their bitmaps are streamed by the list itself and kept as read.
class TCustomImageList : public TComponent {
  QUINTREL_CLASS(TCustomImageList)
};
class TImageList : public TCustomImageList {
  QUINTREL_CLASS(TImageList)
};

}  // namespace quintrel::vcl
