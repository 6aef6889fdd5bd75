// System-wide parameters: the non-client metrics (frame, caption and menu sizes and the
// caption, small-caption, menu, status and message fonts), the menu-drop alignment, and
// the system metrics derived from them.
//
// The state is per process and starts from fixed defaults (borders of 1 pixel, captions
// and menu bars of 18, scroll bars of 16, every font "MS Sans Serif" with a character
// height of 11, the caption fonts bold; drop-down menus left-aligned). Nothing is
// persisted: SPIF_UPDATEINIFILE has no effect, SPIF_SENDCHANGE sends WM_SETTINGCHANGE
// (wParam = the action) to every top-level window.
#pragma once

#include "platform/win32/gdi.h"
#include "platform/win32/windef.h"

namespace quintrel::win32 {

constexpr UINT SPI_GETMENUDROPALIGNMENT = 0x001B;
constexpr UINT SPI_SETMENUDROPALIGNMENT = 0x001C;
constexpr UINT SPI_GETNONCLIENTMETRICS = 0x0029;
constexpr UINT SPI_SETNONCLIENTMETRICS = 0x002A;

constexpr UINT SPIF_UPDATEINIFILE = 0x0001;
constexpr UINT SPIF_SENDCHANGE = 0x0002;

// The non-client metrics record, wide or 8-bit (the 340-byte record callers fill with
// cbSize = 340).
template <typename Font>
struct TNonClientMetrics {
  UINT cbSize = sizeof(TNonClientMetrics);
  int iBorderWidth = 0;
  int iScrollWidth = 0;
  int iScrollHeight = 0;
  int iCaptionWidth = 0;
  int iCaptionHeight = 0;
  Font lfCaptionFont;
  int iSmCaptionWidth = 0;
  int iSmCaptionHeight = 0;
  Font lfSmCaptionFont;
  int iMenuWidth = 0;
  int iMenuHeight = 0;
  Font lfMenuFont;
  Font lfStatusFont;
  Font lfMessageFont;
};
using NONCLIENTMETRICSW = TNonClientMetrics<LOGFONTW>;
using NONCLIENTMETRICSA = TNonClientMetrics<LOGFONTA>;
using NONCLIENTMETRICS = NONCLIENTMETRICSW;
static_assert(sizeof(NONCLIENTMETRICSA) == 340 && sizeof(NONCLIENTMETRICSW) == 500);

// SPI_GETNONCLIENTMETRICS / SPI_SETNONCLIENTMETRICS: `param` is the record's size and
// `data` the record, whose cbSize must be that size. SPI_GETMENUDROPALIGNMENT: `data` is
// a BOOL, TRUE for drop-down menus right-aligned to their item. SPI_SETMENUDROPALIGNMENT:
// `param` TRUE or FALSE. Any other action, or a record of the wrong size, gives FALSE.
BOOL SystemParametersInfo(UINT action, UINT param, void* data, UINT winIni);
BOOL SystemParametersInfoA(UINT action, UINT param, void* data, UINT winIni);

constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXVSCROLL = 2;
constexpr int SM_CYHSCROLL = 3;
constexpr int SM_CYCAPTION = 4;
constexpr int SM_CXBORDER = 5;
constexpr int SM_CYBORDER = 6;
constexpr int SM_CXDLGFRAME = 7;
constexpr int SM_CYDLGFRAME = 8;
constexpr int SM_CYMENU = 15;
constexpr int SM_CXFRAME = 32;
constexpr int SM_CYFRAME = 33;
constexpr int SM_MENUDROPALIGNMENT = 40;
constexpr int SM_CXEDGE = 45;
constexpr int SM_CYEDGE = 46;
constexpr int SM_CYSMCAPTION = 51;
constexpr int SM_CXMENUSIZE = 54;
constexpr int SM_CYMENUSIZE = 55;

// A screen of 1024 × 768; borders 1, dialog frames 3, edges 2; sizing frames
// iBorderWidth + 3; caption and menu bars one more than their non-client heights;
// SM_MENUDROPALIGNMENT the current alignment. 0 for other indexes.
int GetSystemMetrics(int index);

}  // namespace quintrel::win32
