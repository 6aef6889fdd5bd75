#include "platform/win32/sysparams.h"

#include <algorithm>

#include "platform/win32/winuser.h"

namespace quintrel::win32 {

namespace {

struct TSystemParameters {
  NONCLIENTMETRICSW metrics;
  bool menuDropRight = false;
};

LOGFONTW DefaultFont(LONG weight) {
  LOGFONTW font;
  font.lfHeight = -11;
  font.lfWeight = weight;
  font.lfCharSet = ANSI_CHARSET;
  font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
  SetFaceName(font, u"MS Sans Serif");
  return font;
}

TSystemParameters& Parameters() {
  static TSystemParameters parameters = [] {
    TSystemParameters p;
    NONCLIENTMETRICSW& m = p.metrics;
    m.cbSize = sizeof(NONCLIENTMETRICSW);
    m.iBorderWidth = 1;
    m.iScrollWidth = 16;
    m.iScrollHeight = 16;
    m.iCaptionWidth = 18;
    m.iCaptionHeight = 18;
    m.lfCaptionFont = DefaultFont(FW_BOLD);
    m.iSmCaptionWidth = 12;
    m.iSmCaptionHeight = 15;
    m.lfSmCaptionFont = DefaultFont(FW_BOLD);
    m.iMenuWidth = 18;
    m.iMenuHeight = 18;
    m.lfMenuFont = DefaultFont(FW_NORMAL);
    m.lfStatusFont = DefaultFont(FW_NORMAL);
    m.lfMessageFont = DefaultFont(FW_NORMAL);
    return p;
  }();
  return parameters;
}

// The record layouts differ only in their fonts; one template copies both directions.
template <typename Target, typename Source, typename ConvertFont>
Target CopyMetrics(const Source& source, ConvertFont convert) {
  Target target;
  target.cbSize = sizeof(Target);
  target.iBorderWidth = source.iBorderWidth;
  target.iScrollWidth = source.iScrollWidth;
  target.iScrollHeight = source.iScrollHeight;
  target.iCaptionWidth = source.iCaptionWidth;
  target.iCaptionHeight = source.iCaptionHeight;
  target.lfCaptionFont = convert(source.lfCaptionFont);
  target.iSmCaptionWidth = source.iSmCaptionWidth;
  target.iSmCaptionHeight = source.iSmCaptionHeight;
  target.lfSmCaptionFont = convert(source.lfSmCaptionFont);
  target.iMenuWidth = source.iMenuWidth;
  target.iMenuHeight = source.iMenuHeight;
  target.lfMenuFont = convert(source.lfMenuFont);
  target.lfStatusFont = convert(source.lfStatusFont);
  target.lfMessageFont = convert(source.lfMessageFont);
  return target;
}

LOGFONTW SameFont(const LOGFONTW& font) {
  LOGFONTW copy = font;
  SetFaceName(copy, FaceName(font));  // a face name without its zero is cut, not overrun
  return copy;
}

void Announce(UINT action, UINT winIni) {
  if (winIni & SPIF_SENDCHANGE) SendMessage(HWND_BROADCAST, WM_SETTINGCHANGE, action, 0);
}

// The actions that do not depend on the record form.
bool Common(UINT action, UINT param, void* data, UINT winIni, BOOL& result) {
  switch (action) {
    case SPI_GETMENUDROPALIGNMENT:
      if (!data) {
        result = 0;
      } else {
        *static_cast<BOOL*>(data) = Parameters().menuDropRight ? 1 : 0;
        result = 1;
      }
      return true;
    case SPI_SETMENUDROPALIGNMENT:
      Parameters().menuDropRight = param != 0;
      Announce(action, winIni);
      result = 1;
      return true;
    default:
      return false;
  }
}

template <typename Record, typename ToRecord, typename FromRecord>
BOOL Metrics(UINT action, UINT param, void* data, UINT winIni, ToRecord toRecord, FromRecord fromRecord) {
  if (!data || param != sizeof(Record)) return 0;
  auto* record = static_cast<Record*>(data);
  if (record->cbSize != sizeof(Record)) return 0;
  if (action == SPI_GETNONCLIENTMETRICS) {
    *record = CopyMetrics<Record>(Parameters().metrics, toRecord);
  } else {
    Parameters().metrics = CopyMetrics<NONCLIENTMETRICSW>(*record, fromRecord);
    Announce(action, winIni);
  }
  return 1;
}

}  // namespace

BOOL SystemParametersInfo(UINT action, UINT param, void* data, UINT winIni) {
  BOOL result = 0;
  if (Common(action, param, data, winIni, result)) return result;
  if (action != SPI_GETNONCLIENTMETRICS && action != SPI_SETNONCLIENTMETRICS) return 0;
  return Metrics<NONCLIENTMETRICSW>(action, param, data, winIni, SameFont, SameFont);
}

BOOL SystemParametersInfoA(UINT action, UINT param, void* data, UINT winIni) {
  BOOL result = 0;
  if (Common(action, param, data, winIni, result)) return result;
  if (action != SPI_GETNONCLIENTMETRICS && action != SPI_SETNONCLIENTMETRICS) return 0;
  return Metrics<NONCLIENTMETRICSA>(action, param, data, winIni, LogFontToA, LogFontFromA);
}

int GetSystemMetrics(int index) {
  const NONCLIENTMETRICSW& m = Parameters().metrics;
  // Bounded so that hostile metrics cannot overflow the sums built from them.
  auto nonNegative = [](int value) { return std::clamp(value, 0, 32767); };
  switch (index) {
    case SM_CXSCREEN:
      return 1024;
    case SM_CYSCREEN:
      return 768;
    case SM_CXVSCROLL:
      return nonNegative(m.iScrollWidth);
    case SM_CYHSCROLL:
      return nonNegative(m.iScrollHeight);
    case SM_CYCAPTION:
      return nonNegative(m.iCaptionHeight) + 1;
    case SM_CXBORDER:
    case SM_CYBORDER:
      return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
      return 3;
    case SM_CYMENU:
      return nonNegative(m.iMenuHeight) + 1;
    case SM_CXFRAME:
    case SM_CYFRAME:
      return nonNegative(m.iBorderWidth) + 3;
    case SM_MENUDROPALIGNMENT:
      return Parameters().menuDropRight ? 1 : 0;
    case SM_CXEDGE:
    case SM_CYEDGE:
      return 2;
    case SM_CYSMCAPTION:
      return nonNegative(m.iSmCaptionHeight) + 1;
    case SM_CXMENUSIZE:
      return nonNegative(m.iMenuWidth);
    case SM_CYMENUSIZE:
      return nonNegative(m.iMenuHeight);
    default:
      return 0;
  }
}

}  // namespace quintrel::win32
