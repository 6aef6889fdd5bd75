// Forms, data modules and frames; the screen that lists them and the application.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/vcl/controls.h"
#include "platform/vcl/menus.h"

namespace quintrel::vcl {

class TScrollingWinControl : public TWinControl {
  QUINTREL_CLASS(TScrollingWinControl)
};

class TScrollBox : public TScrollingWinControl {
  QUINTREL_CLASS(TScrollBox)
};

enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = uint32_t;
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TPosition {
  poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter, poMainFormCenter,
  poOwnerFormCenter
};

// The form designer a form is edited in, when it is.
class IDesigner {
public:
  virtual ~IDesigner() = default;
  // The form changed outside the designer's own editing.
  virtual void Modified() = 0;
};

class TCustomForm;
// A class-level message handler of the form class. Handlers are slots the whole
// process shares: replacing one changes the behaviour of every form, and the previous
// handler is what the replacement passes unhandled messages on to.
using TFormMessageHandler = std::function<void(TCustomForm&, TMessage&)>;

class TCustomForm : public TScrollingWinControl {
  QUINTREL_CLASS(TCustomForm)
  TCustomForm();
  ~TCustomForm() override;

  TFormStyle FormStyle() const { return formStyle_; }
  void SetFormStyle(TFormStyle style) { formStyle_ = style; }
  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle style) { borderStyle_ = style; }
  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons icons) { borderIcons_ = icons; }
  TMainMenu* Menu() const;
  void SetMenu(TMainMenu* menu);
  TIcon* Icon() const { return icon_.get(); }
  int PixelsPerInch() const { return pixelsPerInch_; }
  void SetPixelsPerInch(int ppi) { pixelsPerInch_ = ppi; }

  IDesigner* Designer() const { return designer_; }
  void SetDesigner(IDesigner* designer) { designer_ = designer; }

  // Showing creates the form's window and shows it: the window manager sends
  // WM_SHOWWINDOW (wParam 1, or 0 when hiding), which reaches the class handler.
  void SetVisible(bool visible) override;
  // The window's system menu (the window is created when it does not exist yet).
  win32::HMENU SystemMenu();
  // Builds the window's menu bar anew from the main menu (Menu).
  void RebuildMenuBar();

  void WndProc(TMessage& message) override;
  // Runs a message through the form class's handler for it.
  void Dispatch(TMessage& message);

  // The class-level handlers of WM_SHOWWINDOW and WM_SYSCOMMAND; Set… returns the
  // handler it replaced. The default handlers pass the message to the window
  // manager's default processing.
  static TFormMessageHandler ShowWindowHandler();
  static TFormMessageHandler SetShowWindowHandler(TFormMessageHandler handler);
  static TFormMessageHandler SysCommandHandler();
  static TFormMessageHandler SetSysCommandHandler(TFormMessageHandler handler);

  bool HasParent() const override { return Parent() != nullptr; }
  void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) const override;
  void Loaded() override;

  // The published ClientWidth and ClientHeight: while the form is read from a stream the
  // values wait for Loaded, when the frame (border style, menu) is known.
  int FormClientWidth() const;
  int FormClientHeight() const;
  void SetFormClientWidth(int v);
  void SetFormClientHeight(int v);

protected:
  int NonClientWidth() const override;
  int NonClientHeight() const override;
  // What the window's frame, caption and menu bar take on each side.
  win32::RECT FrameInsets() const;
  void CreateParams(TCreateParams& params) const override;
  void HandleCreated() override;

private:
  TFormStyle formStyle_ = fsNormal;
  TFormBorderStyle borderStyle_ = bsSizeable;
  TBorderIcons borderIcons_ = (1u << biSystemMenu) | (1u << biMinimize) | (1u << biMaximize);
  std::unique_ptr<TIcon> icon_;
  int pixelsPerInch_ = 96;
  IDesigner* designer_ = nullptr;
  std::optional<int> pendingClientWidth_;
  std::optional<int> pendingClientHeight_;
};

class TForm : public TCustomForm {
  QUINTREL_CLASS(TForm)
};

class TDataModule : public TComponent {
  QUINTREL_CLASS(TDataModule)
  TDataModule();
  ~TDataModule() override;
  void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) const override;
  // The design surface's size and place, streamed as Height, Width, Left and Top.
  bool ReadDefined(std::string_view name, const TStreamValue& value, const TFilerContext& ctx) override;
  std::vector<std::string> DefinedNames() const override;
  std::optional<TStreamValue> WriteDefined(std::string_view name, const TStreamValue* hint,
                                           const TFilerContext& ctx) const override;

private:
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};

class TCustomFrame : public TScrollingWinControl {
  QUINTREL_CLASS(TCustomFrame)
  void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) const override;
};

class TFrame : public TCustomFrame {
  QUINTREL_CLASS(TFrame)
};

// The forms and data modules of the process, in screen order (the most recently
// activated form first), and the screen's cursor.
class TScreen {
public:
  int FormCount() const { return static_cast<int>(forms_.size()); }
  TCustomForm* Forms(int index) const;
  int DataModuleCount() const { return static_cast<int>(dataModules_.size()); }
  TDataModule* DataModules(int index) const;
  TCustomForm* ActiveForm() const { return forms_.empty() ? nullptr : forms_.front(); }
  // Moves a form to the front of the screen order.
  void Activate(TCustomForm* form);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor) { cursor_ = cursor; }

private:
  friend class TCustomForm;
  friend class TDataModule;
  std::vector<TCustomForm*> forms_;
  std::vector<TDataModule*> dataModules_;
  TCursor cursor_ = 0;
};

TScreen& Screen();

class TApplication {
public:
  TApplication() = default;
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // The application's own window: hidden, top-level, of class "TApplication", created on
  // first use. It owns the windows of modal dialogs. Its messages pass through the
  // hooks first, the most recent first; the first hook that returns true handles the
  // message (its Result is returned), otherwise the default processing runs.
  win32::HWND Handle();
  using TWindowHook = std::function<bool(TMessage&)>;
  // Returns a key for UnhookMainWindow.
  int HookMainWindow(TWindowHook hook);
  void UnhookMainWindow(int key);

  // The path of the executable (/proc/self/exe when not set).
  std::string ExeName() const;
  void SetExeName(std::string name) { exeName_ = std::move(name); }
  const std::string& Title() const { return title_; }
  void SetTitle(std::string title) { title_ = std::move(title); }
  TCustomForm* MainForm() const { return mainForm_; }
  void SetMainForm(TCustomForm* form) { mainForm_ = form; }
  // Dispatches the window messages posted so far and runs the work queued for the
  // user-interface thread; a WM_QUIT among them terminates the application.
  void ProcessMessages();
  void QueueMessage(std::function<void()> work) { queue_.push_back(std::move(work)); }
  bool Terminated() const { return terminated_; }
  void Terminate() { terminated_ = true; }

private:
  std::string exeName_;
  std::string title_;
  TCustomForm* mainForm_ = nullptr;
  std::vector<std::function<void()>> queue_;
  bool terminated_ = false;
  win32::HWND handle_{};
  std::vector<std::pair<int, TWindowHook>> hooks_;
  int nextHookKey_ = 1;
  static win32::LRESULT WindowProcedure(win32::HWND window, win32::UINT message, win32::WPARAM wParam,
                                        win32::LPARAM lParam);
};

TApplication& Application();

}  // namespace quintrel::vcl
