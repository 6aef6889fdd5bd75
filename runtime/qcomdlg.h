// Translation of the common dialogs (open and save file, font, colour, print, printer
// set-up, find and replace).
//
// Their windows are built from the system's templates, so no component property reaches
// their captions and control texts. Instead the translator deposits the translated values
// here, keyed by "owner.dialog.property", and registers the dialog's class: its message
// hook is replaced (the displaced entry still runs first and gives the result), so when
// a dialog of that class shows its window, the window is subclassed with ComDlgProc and
// the values are applied to it and to its controls on every activation, every
// WM_CTLCOLORDLG and every command 1024/1025. The same subclass, in gathering mode, lists
// what a dialog shows so the design-time browser can offer its items for translation.
//
// Property names, in keys and in gathered lines ("id" is a decimal control id, negative
// for the n-th child of a control without an id of its own):
//   Caption             the dialog window's title
//   Caption[id]         a control's text
//   Font.Name           face of every control's font
//   Font.Charset        character set of every control's font (decimal)
//   Width, Height       the dialog window, pixels
//   Left[id], Top[id]   a control's corner in the dialog's client coordinates
//   Width[id], Height[id]
//
// Everything runs on the thread of the dialog's message loop; one dialog window is
// subclassed at a time.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/vcl/dialogs.h"
#include "platform/win32/winuser.h"

namespace quintrel::runtime {

// Replaces the message hook of exactly this class (descendants keep theirs) with the
// find-dialog hook for TFindDialog and its descendants, else with the general hook. False,
// changing nothing, when the class is already registered.
bool RegisterDialogClass(const vcl::TMetaClass& dialogClass);
// Puts the displaced hook entry back exactly as it was; false when not registered.
bool UnRegisterDialogClass(const vcl::TMetaClass& dialogClass);
bool IsDialogClassRegistered(const vcl::TMetaClass& dialogClass);
int RegisteredDialogClassCount();

// Stores "owner.dialog.property=value": the text before the first '=' is the key, the
// rest the value, kept unchanged (quotes included) and replacing an earlier value under
// the same key. False, storing nothing, for a line without '=', with an empty key or a
// key longer than 255 characters.
bool SetDlgProp(std::string_view line);
// The value stored under a key.
std::optional<std::string> PendingDlgProp(std::string_view key);

// The property-transfer entry point: registers the dialog's class and stores the entry.
void SetCommonDialogProp(vcl::TCommonDialog& dialog, const std::string& entry);

// Runs the dialog in gathering mode (it closes itself on its first activation) and
// returns the gathered lines, each followed by "\r\n". Registers the dialog's class.
// The abstract dialog gives "".
std::string GetDlgProps(vcl::TCommonDialog& dialog);
// The same into a caller's buffer of bufferSize bytes: as much of the text as fits with
// a terminating zero (nothing when buffer is null or bufferSize is 0). Returns the length
// of the whole text, so a caller can size the buffer with a first call.
size_t GetDlgProps(vcl::TCommonDialog& dialog, char* buffer, size_t bufferSize);

// The window procedure of a subclassed dialog window. Passes every message except 1324
// to the displaced procedure and returns its result (1 when it is not called); restores
// the window on WM_CLOSE and WM_DESTROY; applies (or gathers and closes) on WM_ACTIVATE
// and WM_CTLCOLORDLG, applies on WM_COMMAND 1024 and 1025. A numeric value that is not
// an integer raises rtl::EConvertError.
win32::LRESULT ComDlgProc(win32::HWND window, win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam);
// The dialog window subclassed with ComDlgProc, null when none.
win32::HWND SubclassedDialogWindow();

// The unit's exit: unregisters every class (first one first), drops every stored value
// and deletes the fonts made for dialogs. Also run at process exit; calling it again is
// harmless, and the unit starts over on its next use.
void FinalizeQcomdlg();

}  // namespace quintrel::runtime
