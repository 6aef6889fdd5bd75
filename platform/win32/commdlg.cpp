#include "platform/win32/commdlg.h"

#include "platform/win32/msgbox.h"

namespace quintrel::win32 {

namespace {

constexpr DWORD kVisible = WS_VISIBLE;
constexpr DWORD kTab = WS_VISIBLE | WS_TABSTOP;

// Controls by kind, as a template lists them: visible unless `hidden`.
struct TItems {
  std::vector<TDialogItem>& items;

  void Add(const char16_t* className, const char16_t* text, WORD id, DWORD style, short x, short y, short cx, short cy) {
    items.push_back(TDialogItem{className, text, id, style, 0, x, y, cx, cy});
  }
  void Text(const char16_t* text, WORD id, short x, short y, short cx, short cy, DWORD extra = 0) {
    Add(WC_STATIC, text, id, kVisible | SS_LEFT | extra, x, y, cx, cy);
  }
  void Button(const char16_t* text, WORD id, short x, short y, short cx, short cy, bool isDefault = false,
              bool hidden = false) {
    DWORD style = (hidden ? WS_TABSTOP : kTab) | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    Add(WC_BUTTON, text, id, style, x, y, cx, cy);
  }
  void Check(const char16_t* text, WORD id, short x, short y, short cx, short cy, bool hidden = false) {
    Add(WC_BUTTON, text, id, (hidden ? WS_TABSTOP : kTab) | BS_AUTOCHECKBOX, x, y, cx, cy);
  }
  void Radio(const char16_t* text, WORD id, short x, short y, short cx, short cy) {
    Add(WC_BUTTON, text, id, kTab | BS_AUTORADIOBUTTON, x, y, cx, cy);
  }
  void Group(const char16_t* text, WORD id, short x, short y, short cx, short cy) {
    Add(WC_BUTTON, text, id, kVisible | BS_GROUPBOX, x, y, cx, cy);
  }
  void Edit(WORD id, short x, short y, short cx, short cy, bool hidden = false) {
    Add(WC_EDIT, u"", id, (hidden ? WS_TABSTOP : kTab) | WS_BORDER | ES_AUTOHSCROLL, x, y, cx, cy);
  }
  void Combo(WORD id, DWORD kind, short x, short y, short cx, short cy) {
    Add(WC_COMBOBOX, u"", id, kTab | WS_VSCROLL | kind, x, y, cx, cy);
  }
  void List(WORD id, short x, short y, short cx, short cy) {
    Add(WC_LISTBOX, u"", id, kTab | WS_BORDER | WS_VSCROLL | LBS_SORT | LBS_NOTIFY, x, y, cx, cy);
  }
};

TDialogTemplate Frame(const char16_t* caption, short cx, short cy, bool contextHelp = false) {
  TDialogTemplate t;
  t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_3DLOOK | DS_SETFONT | DS_CENTER;
  if (contextHelp) t.style |= DS_CONTEXTHELP;
  t.cx = cx;
  t.cy = cy;
  t.caption = caption;
  return t;
}

TDialogTemplate FileDialog(bool save) {
  TDialogTemplate t = Frame(save ? u"Save As" : u"Open", 280, 164, true);
  TItems i{t.items};
  i.Text(save ? u"Save &in:" : u"Look &in:", stc4, 7, 6, 41, 8);
  i.Combo(cmb2, CBS_DROPDOWNLIST, 50, 3, 138, 100);
  i.List(lst1, 4, 20, 272, 85);
  i.Text(u"File &name:", stc3, 5, 112, 48, 8);
  i.Edit(edt1, 54, 110, 155, 12);
  i.Text(save ? u"Save as &type:" : u"Files of &type:", stc2, 5, 128, 48, 8);
  i.Combo(cmb1, CBS_DROPDOWNLIST, 54, 126, 155, 100);
  i.Check(u"Open as &read-only", chx1, 54, 145, 100, 10, save);
  i.Button(save ? u"&Save" : u"&Open", IDOK, 222, 110, 50, 14, true);
  i.Button(u"Cancel", IDCANCEL, 222, 128, 50, 14);
  i.Button(u"&Help", pshHelp, 222, 145, 50, 14, false, true);
  return t;
}

TDialogTemplate FontDialog() {
  TDialogTemplate t = Frame(u"Font", 282, 200, true);
  TItems i{t.items};
  i.Text(u"&Font:", stc1, 7, 7, 98, 9);
  i.Combo(cmb1, CBS_SIMPLE, 7, 16, 98, 76);
  i.Text(u"Font st&yle:", stc2, 110, 7, 74, 9);
  i.Combo(cmb2, CBS_SIMPLE, 110, 16, 74, 76);
  i.Text(u"&Size:", stc3, 189, 7, 30, 9);
  i.Combo(cmb3, CBS_SIMPLE, 190, 16, 36, 76);
  i.Button(u"OK", IDOK, 231, 16, 45, 14, true);
  i.Button(u"Cancel", IDCANCEL, 231, 32, 45, 14);
  i.Button(u"&Apply", psh3, 231, 48, 45, 14, false, true);
  i.Button(u"&Help", pshHelp, 231, 64, 45, 14, false, true);
  i.Group(u"Effects", grp1, 7, 97, 98, 72);
  i.Check(u"Stri&keout", chx1, 13, 110, 49, 10);
  i.Check(u"&Underline", chx2, 13, 123, 51, 10);
  i.Text(u"&Color:", stc4, 13, 136, 30, 9);
  i.Combo(cmb4, CBS_DROPDOWNLIST, 13, 146, 82, 100);
  i.Group(u"Sample", grp2, 110, 97, 116, 43);
  i.Text(u"AaBbYyZz", stc5, 118, 111, 100, 23, SS_CENTER | SS_NOPREFIX);
  i.Text(u"Sc&ript:", stc7, 110, 147, 30, 9);
  i.Combo(cmb5, CBS_DROPDOWNLIST, 110, 157, 116, 30);
  i.Text(u"", stc6, 7, 176, 219, 20, SS_NOPREFIX);
  return t;
}

TDialogTemplate ColorDialog() {
  // The right half (the custom colour mixer) is hidden until "Define Custom Colors"
  // widens the dialog.
  TDialogTemplate t = Frame(u"Color", 150, 186, true);
  TItems i{t.items};
  i.Text(u"&Basic colors:", IDC_STATIC, 4, 4, 140, 9);
  i.Add(WC_STATIC, u"", COLOR_BOX1, kTab | SS_BLACKRECT, 4, 14, 140, 86);
  i.Text(u"&Custom colors:", IDC_STATIC, 4, 106, 140, 9);
  i.Add(WC_STATIC, u"", COLOR_CUSTOM1, kTab | SS_BLACKRECT, 4, 116, 140, 28);
  i.Button(u"&Define Custom Colors >>", COLOR_MIX, 4, 150, 138, 14);
  i.Button(u"OK", IDOK, 4, 168, 44, 14, true);
  i.Button(u"Cancel", IDCANCEL, 52, 168, 44, 14);
  i.Button(u"&Help", pshHelp, 100, 168, 44, 14, false, true);
  i.Add(WC_STATIC, u"", COLOR_RAINBOW, SS_SUNKEN, 152, 4, 118, 116);
  i.Add(WC_STATIC, u"", COLOR_LUMSCROLL, SS_SUNKEN, 280, 4, 8, 116);
  i.Add(WC_STATIC, u"", COLOR_CURRENT, SS_SUNKEN, 152, 124, 40, 26);
  i.Add(WC_BUTTON, u"&o", COLOR_SOLID, WS_TABSTOP | BS_PUSHBUTTON, 300, 200, 4, 14);
  i.Add(WC_STATIC, u"Color|S&olid", COLOR_SOLID_LEFT, SS_CENTER, 152, 151, 40, 9);
  const struct {
    const char16_t* label;
    WORD accel;
    WORD edit;
    short x, y;
  } fields[] = {{u"Hu&e:", COLOR_HUEACCEL, COLOR_HUE, 194, 126},     {u"&Sat:", COLOR_SATACCEL, COLOR_SAT, 194, 140},
                {u"&Lum:", COLOR_LUMACCEL, COLOR_LUM, 194, 154},     {u"&Red:", COLOR_REDACCEL, COLOR_RED, 243, 126},
                {u"&Green:", COLOR_GREENACCEL, COLOR_GREEN, 243, 140}, {u"Bl&ue:", COLOR_BLUEACCEL, COLOR_BLUE, 243, 154}};
  for (const auto& f : fields) {
    i.Add(WC_STATIC, f.label, f.accel, SS_RIGHT, f.x, f.y, 20, 9);
    i.Edit(f.edit, static_cast<short>(f.x + 22), static_cast<short>(f.y - 2), 18, 12, true);
  }
  i.Button(u"&Add to Custom Colors", COLOR_ADD, 152, 168, 142, 14, false, true);
  return t;
}

// The printer group both print dialogs open with.
void PrinterGroup(TItems& i, WORD printerList) {
  i.Group(u"Printer", grp4, 8, 4, 272, 84);
  i.Text(u"&Name:", stc6, 16, 20, 36, 8);
  i.Combo(printerList, CBS_DROPDOWNLIST, 52, 18, 152, 152);
  i.Button(u"&Properties", psh2, 212, 17, 60, 14);
  i.Text(u"Status:", stc8, 16, 36, 36, 10);
  i.Text(u"", stc12, 52, 36, 224, 10, SS_NOPREFIX);
  i.Text(u"Type:", stc7, 16, 48, 36, 10);
  i.Text(u"", stc11, 52, 48, 224, 10, SS_NOPREFIX);
  i.Text(u"Where:", stc10, 16, 60, 36, 10);
  i.Text(u"", stc14, 52, 60, 224, 10, SS_NOPREFIX);
  i.Text(u"Comment:", stc9, 16, 72, 36, 10);
  i.Text(u"", stc13, 52, 72, 152, 10, SS_NOPREFIX);
}

TDialogTemplate PrintDialog() {
  TDialogTemplate t = Frame(u"Print", 288, 184, true);
  TItems i{t.items};
  PrinterGroup(i, cmb4);
  i.Check(u"Print to fi&le", chx1, 212, 72, 64, 12);
  i.Group(u"Print range", grp1, 8, 92, 144, 64);
  i.Radio(u"&All", rad1, 16, 106, 64, 12);
  i.Radio(u"Pa&ges", rad3, 16, 122, 36, 12);
  i.Radio(u"&Selection", rad2, 16, 138, 64, 12);
  i.Text(u"&from:", stc2, 52, 124, 20, 8);
  i.Edit(edt1, 74, 122, 26, 12);
  i.Text(u"&to:", stc3, 104, 124, 16, 8);
  i.Edit(edt2, 120, 122, 26, 12);
  i.Group(u"Copies", grp2, 160, 92, 120, 64);
  i.Text(u"Number of &copies:", stc5, 168, 108, 68, 8);
  i.Edit(edt3, 240, 106, 32, 12);
  i.Add(WC_STATIC, u"", ico3, kVisible | SS_ICON, 162, 124, 76, 24);
  i.Check(u"C&ollate", chx2, 240, 130, 36, 12);
  i.Button(u"OK", IDOK, 180, 164, 48, 14, true);
  i.Button(u"Cancel", IDCANCEL, 232, 164, 48, 14);
  return t;
}

TDialogTemplate PrintSetupDialog() {
  TDialogTemplate t = Frame(u"Print Setup", 288, 176, true);
  TItems i{t.items};
  PrinterGroup(i, cmb1);
  i.Group(u"Paper", grp2, 8, 92, 164, 56);
  i.Text(u"Si&ze:", stc2, 16, 108, 36, 8);
  i.Combo(cmb2, CBS_DROPDOWNLIST, 52, 106, 112, 112);
  i.Text(u"&Source:", stc3, 16, 128, 36, 8);
  i.Combo(cmb3, CBS_DROPDOWNLIST, 52, 126, 112, 112);
  i.Group(u"Orientation", grp1, 180, 92, 100, 56);
  i.Add(WC_STATIC, u"", ico1, kVisible | SS_ICON, 190, 110, 18, 20);
  i.Radio(u"P&ortrait", rad1, 224, 106, 52, 12);
  i.Radio(u"L&andscape", rad2, 224, 126, 52, 12);
  i.Button(u"OK", IDOK, 180, 156, 48, 14, true);
  i.Button(u"Cancel", IDCANCEL, 232, 156, 48, 14);
  return t;
}

TDialogTemplate FindDialog() {
  TDialogTemplate t = Frame(u"Find", 236, 62);
  t.style &= ~DS_CENTER;
  TItems i{t.items};
  i.Text(u"Fi&nd what:", IDC_STATIC, 4, 8, 42, 8);
  i.Edit(edt1, 47, 7, 128, 12);
  i.Check(u"Match &whole word only", chx1, 4, 26, 100, 12);
  i.Check(u"Match &case", chx2, 4, 42, 64, 12);
  i.Group(u"Direction", grp1, 107, 26, 68, 28);
  i.Radio(u"&Up", rad1, 111, 38, 25, 12);
  i.Radio(u"&Down", rad2, 138, 38, 35, 12);
  i.Button(u"&Find Next", IDOK, 182, 5, 50, 14, true);
  i.Button(u"Cancel", IDCANCEL, 182, 23, 50, 14);
  i.Button(u"&Help", pshHelp, 182, 45, 50, 14, false, true);
  return t;
}

TDialogTemplate ReplaceDialog() {
  TDialogTemplate t = Frame(u"Replace", 230, 94);
  t.style &= ~DS_CENTER;
  TItems i{t.items};
  i.Text(u"Fi&nd what:", IDC_STATIC, 4, 9, 48, 8);
  i.Edit(edt1, 54, 7, 114, 12);
  i.Text(u"Re&place with:", IDC_STATIC, 4, 26, 48, 8);
  i.Edit(edt2, 54, 24, 114, 12);
  i.Check(u"Match &whole word only", chx1, 5, 46, 104, 12);
  i.Check(u"Match &case", chx2, 5, 62, 59, 12);
  i.Button(u"&Find Next", IDOK, 174, 4, 50, 14, true);
  i.Button(u"&Replace", psh1, 174, 21, 50, 14);
  i.Button(u"Replace &All", psh2, 174, 38, 50, 14);
  i.Button(u"Cancel", IDCANCEL, 174, 55, 50, 14);
  i.Button(u"&Help", pshHelp, 174, 75, 50, 14, false, true);
  return t;
}

}  // namespace

const TDialogTemplate& CommonDialogTemplate(TCommonDialogKind kind) {
  static const TDialogTemplate templates[] = {FileDialog(false), FileDialog(true), FontDialog(),  ColorDialog(),
                                              PrintDialog(),     PrintSetupDialog(), FindDialog(), ReplaceDialog()};
  return templates[static_cast<int>(kind)];
}

WORD CommonDialogTemplateId(TCommonDialogKind kind) {
  switch (kind) {
    case TCommonDialogKind::cdOpen:
    case TCommonDialogKind::cdSave:
      return NEWFILEOPENORD;
    case TCommonDialogKind::cdFont:
      return FORMATDLGORD31;
    case TCommonDialogKind::cdColor:
      return DLG_COLOR;
    case TCommonDialogKind::cdPrint:
      return PRINTDLGORD;
    case TCommonDialogKind::cdPrintSetup:
      return PRNSETUPDLGORD;
    case TCommonDialogKind::cdFind:
      return FINDDLGORD;
    case TCommonDialogKind::cdReplace:
      return REPLACEDLGORD;
  }
  return 0;
}

}  // namespace quintrel::win32
