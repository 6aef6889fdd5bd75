// The pseudo-properties of a form: texts that go into the window's system menu, the
// system's non-client fonts, the per-form decision on the system-menu language list
// and the right-to-left state of the form.
//
// Captions and face names are set through the wide window-manager calls, so that a
// language's text reaches the menu and the font whole whatever the process's ANSI
// code page is (through the 8-bit calls a Russian caption would arrive as Latin-1 on a
// Western system).

#include <algorithm>
#include <array>

#include "platform/rtl/sysutils.h"
#include "platform/vcl/textutil.h"
#include "platform/win32/menus.h"
#include "platform/win32/sysparams.h"
#include "platform/win32/winuser.h"
#include "runtime/proptransfer.h"
#include "text/codepages.h"

namespace quintrel::runtime {

using namespace quintrel::vcl;
using module::TZodTerm;

namespace {

// Texts of form pseudo-properties are cut to this many characters.
constexpr size_t kFormTextMax = 255;

struct TSystemMenuPath {
  const char* Path;
  win32::UINT Command;
};

constexpr std::array<TSystemMenuPath, 9> kSystemMenuPaths = {{
    {"SystemMenuRestoreCaption", win32::SC_RESTORE},
    {"SystemMenuMoveCaption", win32::SC_MOVE},
    {"SystemMenuSizeCaption", win32::SC_SIZE},
    {"SystemMenuMinimizeCaption", win32::SC_MINIMIZE},
    {"SystemMenuMaximizeCaption", win32::SC_MAXIMIZE},
    {"SystemMenuCloseCaption", win32::SC_CLOSE},
    {"SystemMenuTaskListCaption", win32::SC_TASKLIST},
    {"SystemMenuNextWindowCaption", win32::SC_NEXTWINDOW},
    {"SystemMenuPrevWindowCaption", win32::SC_PREVWINDOW},
}};

// The system-menu command of a caption path; 0 for other paths.
win32::UINT SystemMenuCommand(std::string_view path) {
  for (const auto& entry : kSystemMenuPaths)
    if (SameText(path, entry.Path)) return entry.Command;
  return 0;
}

enum class TFontField { Name, Charset };

// "MenuFont.Name" and the like: which font of the non-client metrics and which field.
win32::LOGFONTW* MetricsFont(win32::NONCLIENTMETRICSW& metrics, std::string_view path, TFontField& field) {
  auto dot = path.find('.');
  if (dot == std::string_view::npos) return nullptr;
  std::string_view font = path.substr(0, dot), member = path.substr(dot + 1);
  if (SameText(member, "Name"))
    field = TFontField::Name;
  else if (SameText(member, "Charset"))
    field = TFontField::Charset;
  else
    return nullptr;
  if (SameText(font, "MenuFont")) return &metrics.lfMenuFont;
  if (SameText(font, "CaptionFont")) return &metrics.lfCaptionFont;
  if (SameText(font, "SmallCaptionFont")) return &metrics.lfSmCaptionFont;
  return nullptr;
}

std::string TrimmedLower(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
  return LowerCase(text.substr(b, e - b));
}

win32::HMENU FormSystemMenu(TForm& form) { return win32::GetSystemMenu(form.Handle(), 0); }

}  // namespace

void TPropertyTransfer::SetFormProps(TForm& form, std::string_view path, uint32_t termId) {
  std::u16string wide = TermText(termId);
  if (wide.size() > kFormTextMax) wide.resize(kFormTextMax);
  std::string narrow = text::UnicodeToByte(wide, FCurrentCharset);
  std::string decision = TrimmedLower(narrow);

  if (SameText(path, "ShowLanguageSelectionInSystemMenu") && decision == "true") {
    if (BuildSystemLangListProc) BuildSystemLangListProc(form, termId, false);
    return;
  }

  if (win32::UINT command = SystemMenuCommand(path)) {
    // Only the caption changes: the item keeps its state and its place. A form without
    // a system menu, or a menu without the command, is left as it is.
    win32::MENUITEMINFOW info;
    info.fMask = win32::MIIM_STRING;
    info.dwTypeData = wide.data();
    win32::SetMenuItemInfo(FormSystemMenu(form), command, 0, info);
    return;
  }

  TFontField field{};
  win32::NONCLIENTMETRICSW metrics;
  if (win32::LOGFONTW* font = MetricsFont(metrics, path, field)) {
    if (!win32::SystemParametersInfo(win32::SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return;
    font = MetricsFont(metrics, path, field);
    if (field == TFontField::Name) {
      std::fill(std::begin(font->lfFaceName), std::end(font->lfFaceName), u'\0');
      std::copy_n(wide.begin(), std::min<size_t>(wide.size(), win32::LF_FACESIZE - 1), font->lfFaceName);
    } else {
      int64_t charset = 0;
      if (!IdentToInt(FontCharsetType(), TrimmedLower(narrow), charset)) charset = rtl::StrToInt(narrow);
      font->lfCharSet = static_cast<win32::BYTE>(charset);
    }
    // Windows re-read their fonts on the change notice.
    win32::SystemParametersInfo(win32::SPI_SETNONCLIENTMETRICS, sizeof metrics, &metrics, win32::SPIF_SENDCHANGE);
    return;
  }

  if (SameText(path, "FlipState")) {
    bool wanted = FFlipState ? decision != "false" : decision == "true";
    // Without a mirroring routine the form stays as it is, and so does the flag that
    // says whether forms are mirrored.
    if (wanted != FFlipState && FlipFormProc) {
      FlipFormProc(form);
      FFlipState = wanted;
    }
    return;
  }

  SetUnknown(&form, path, termId);
}

void TPropertyTransfer::GetFormProps(TForm& form, std::string_view path, TZodTerm& term) {
  // Fonts, FlipState and the language-list decision are not read back.
  win32::UINT command = SystemMenuCommand(path);
  if (!command) return GetUnknown(&form, path, term);
  std::u16string caption = win32::GetMenuString(FormSystemMenu(form), command, win32::MF_BYCOMMAND);
  if (caption.size() > kFormTextMax) caption.resize(kFormTextMax);
  if (!caption.empty()) StoreTermText(term, caption);
}

}  // namespace quintrel::runtime
