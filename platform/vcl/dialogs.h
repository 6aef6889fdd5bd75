// The common dialogs: their published texts and options, and their execution.
//
// Executing a dialog builds its window from the system's template for it (win32
// commdlg.h: the standard control ids and English captions), fills the controls from
// the component's properties and reads them back when the user confirms. Modal dialogs
// run in the window manager's modal loop, owned by the application window, so what the
// user does comes from the dialog driver (win32 dialogs.h). The find and replace dialogs
// are modeless: Execute shows them and returns.
//
// Message hooks. While a modal dialog runs, every message of the application window
// passes through the dialog's message hook; a find or replace dialog's hook receives the
// messages of its own hidden owner window (created by Execute, so the hook sees its
// WM_CREATE, and holding the focus until the dialog takes it, so the hook sees its
// WM_KILLFOCUS naming the dialog window). The hook is a slot of each class, not of each
// instance: replacing it changes every dialog of exactly that class (descendant classes
// keep their own slot), and putting back the displaced entry restores the class.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/vcl/stdctrls.h"
#include "platform/win32/commdlg.h"

namespace quintrel::vcl {

class TCommonDialog : public TComponent {
  QUINTREL_CLASS(TCommonDialog)
  TCommonDialog() = default;
  ~TCommonDialog() override;

  // Shows the dialog. Modal dialogs return true when the user confirmed (OK, Open,
  // Save); the find and replace dialogs return true once shown. A dialog that is already
  // shown, and the abstract dialog, return false.
  virtual bool Execute();
  // The dialog window while the dialog is shown, else null.
  win32::HWND Handle() const { return handle_; }
  // The class's own handling of the messages routed to its hook: none (false).
  virtual bool MessageHook(TMessage& message);

  // The per-class hook slot. An entry receives the dialog and the message and returns
  // whether it handled it. ClassMessageHook gives the current entry of exactly that class
  // (the class's own MessageHook when nothing replaced it); SetClassMessageHook installs
  // an entry and returns the one it displaced; installing the displaced entry again, or
  // an empty function, restores the class's own behaviour.
  using TMessageHookEntry = std::function<bool(TCommonDialog&, TMessage&)>;
  static TMessageHookEntry ClassMessageHook(const TMetaClass& cls);
  static TMessageHookEntry SetClassMessageHook(const TMetaClass& cls, TMessageHookEntry entry);
  static bool HasOwnMessageHook(const TMetaClass& cls);
  // Runs a message through the entry of this dialog's class.
  bool DispatchMessageHook(TMessage& message);

  // The template the dialog is built from, with this component's caption and options
  // applied; nullopt for the abstract dialog.
  std::optional<win32::TDialogTemplate> DialogTemplate() const;

protected:
  virtual std::optional<win32::TCommonDialogKind> DialogKind() const { return std::nullopt; }
  // The caption (a Title, or the system's default caption); the visible controls.
  virtual std::u16string DialogCaption() const;
  virtual void AdjustTemplate(win32::TDialogTemplate&) const {}
  // WM_INITDIALOG: fill the controls.
  virtual void InitDialog(win32::HWND) {}
  // The user confirmed: take the values from the controls.
  virtual void Confirmed(win32::HWND) {}
  // A command other than OK and Cancel; true when handled.
  virtual bool Command(win32::HWND, int) { return false; }
  // Modal dialogs: whether the component's options ask for the help button.
  bool ShowsHelp() const;
  int64_t Options() const;
  bool HasOption(int bit) const { return (Options() >> bit) & 1; }
  static void ShowItem(win32::TDialogTemplate& t, win32::WORD id, bool show);

  static win32::INT_PTR DialogProc(win32::HWND dialog, win32::UINT message, win32::WPARAM wParam,
                                   win32::LPARAM lParam);
  win32::HWND handle_{};
  bool modeless_ = false;

private:
  friend class TFindDialog;
};

class TOpenDialog : public TCommonDialog {
  QUINTREL_CLASS(TOpenDialog)

protected:
  std::optional<win32::TCommonDialogKind> DialogKind() const override { return win32::TCommonDialogKind::cdOpen; }
  std::u16string DialogCaption() const override;
  void AdjustTemplate(win32::TDialogTemplate& t) const override;
  void InitDialog(win32::HWND dialog) override;
  void Confirmed(win32::HWND dialog) override;
};
class TSaveDialog : public TOpenDialog {
  QUINTREL_CLASS(TSaveDialog)

protected:
  std::optional<win32::TCommonDialogKind> DialogKind() const override { return win32::TCommonDialogKind::cdSave; }
};
class TOpenPictureDialog : public TOpenDialog {
  QUINTREL_CLASS(TOpenPictureDialog)
};
class TSavePictureDialog : public TOpenPictureDialog {
  QUINTREL_CLASS(TSavePictureDialog)
};

class TFontDialog : public TCommonDialog {
  QUINTREL_CLASS(TFontDialog)
  TFont* Font() const { return font_.get(); }

protected:
  std::optional<win32::TCommonDialogKind> DialogKind() const override { return win32::TCommonDialogKind::cdFont; }
  void AdjustTemplate(win32::TDialogTemplate& t) const override;
  void InitDialog(win32::HWND dialog) override;
  void Confirmed(win32::HWND dialog) override;

private:
  std::unique_ptr<TFont> font_ = std::make_unique<TFont>();
};

class TColorDialog : public TCommonDialog {
  QUINTREL_CLASS(TColorDialog)
  TStrings* CustomColors() const { return colors_.List(); }

protected:
  std::optional<win32::TCommonDialogKind> DialogKind() const override { return win32::TCommonDialogKind::cdColor; }
  void AdjustTemplate(win32::TDialogTemplate& t) const override;

private:
  TStringsHolder colors_;
};

class TPrintDialog : public TCommonDialog {
  QUINTREL_CLASS(TPrintDialog)

protected:
  std::optional<win32::TCommonDialogKind> DialogKind() const override { return win32::TCommonDialogKind::cdPrint; }
  void InitDialog(win32::HWND dialog) override;
  void Confirmed(win32::HWND dialog) override;
};
class TPrinterSetupDialog : public TCommonDialog {
  QUINTREL_CLASS(TPrinterSetupDialog)

protected:
  std::optional<win32::TCommonDialogKind> DialogKind() const override {
    return win32::TCommonDialogKind::cdPrintSetup;
  }
};
// The name older forms give the printer set-up dialog.
class TPrintSetupDialog : public TPrinterSetupDialog {
  QUINTREL_CLASS(TPrintSetupDialog)
};

class TFindDialog : public TCommonDialog {
  QUINTREL_CLASS(TFindDialog)
  ~TFindDialog() override;

  // Creates the hidden owner window (its WM_CREATE reaches the hook), gives it the focus,
  // then creates and shows the dialog (which takes the focus: the owner's WM_KILLFOCUS
  // names the dialog window) and draws its background (WM_CTLCOLORDLG). A dialog already
  // shown is activated again. Returns true when the dialog was shown (also when its
  // first messages closed it again).
  bool Execute() override;
  // Destroys the dialog and its owner window.
  void CloseDialog();

  // Called when the user presses Find Next (FindText and Options already updated), and
  // for the replace dialog Replace and Replace All (Options has frReplace or
  // frReplaceAll).
  std::function<void(TFindDialog&)> OnFindHandler;
  std::function<void(TFindDialog&)> OnReplaceHandler;

protected:
  std::optional<win32::TCommonDialogKind> DialogKind() const override { return win32::TCommonDialogKind::cdFind; }
  void AdjustTemplate(win32::TDialogTemplate& t) const override;
  void InitDialog(win32::HWND dialog) override;
  void Confirmed(win32::HWND dialog) override;
  bool Command(win32::HWND dialog, int id) override;
  // Takes the find text and options from the controls.
  virtual void ReadControls(win32::HWND dialog);

private:
  static win32::LRESULT OwnerProcedure(win32::HWND window, win32::UINT message, win32::WPARAM wParam,
                                       win32::LPARAM lParam);
  win32::HWND owner_{};
};
class TReplaceDialog : public TFindDialog {
  QUINTREL_CLASS(TReplaceDialog)

protected:
  std::optional<win32::TCommonDialogKind> DialogKind() const override { return win32::TCommonDialogKind::cdReplace; }
  void InitDialog(win32::HWND dialog) override;
  bool Command(win32::HWND dialog, int id) override;
  void ReadControls(win32::HWND dialog) override;
};

}  // namespace quintrel::vcl
