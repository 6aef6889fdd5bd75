// The templates of the system's common dialogs (open and save file, font, colour, print,
// printer set-up, find and replace), with the standard control identifiers every program
// that reaches into those dialogs relies on (stc1, cmb1, edt1, psh1, IDOK, …), and their
// captions in English as the system shows them.
//
// The layouts (positions and sizes in dialog units) are this window manager's own; the
// controls, their order, classes, ids and texts are those of the system's templates.
#pragma once

#include "platform/win32/dialogs.h"
#include "platform/win32/msgbox.h"  // IDOK, IDCANCEL

namespace quintrel::win32 {

// Template resource numbers.
constexpr WORD FILEOPENORD = 1536;
constexpr WORD MULTIFILEOPENORD = 1537;
constexpr WORD PRINTDLGORD = 1538;
constexpr WORD PRNSETUPDLGORD = 1539;
constexpr WORD FINDDLGORD = 1540;
constexpr WORD REPLACEDLGORD = 1541;
constexpr WORD FONTDLGORD = 1542;
constexpr WORD FORMATDLGORD31 = 1543;
constexpr WORD FORMATDLGORD30 = 1544;
constexpr WORD PAGESETUPDLGORD = 1546;
constexpr WORD NEWFILEOPENORD = 1547;
constexpr WORD DLG_COLOR = 10;

// Control identifiers: push buttons, check boxes, radio buttons, groups, frames,
// rectangles, icons, static texts, list boxes, combo boxes, edit boxes, scroll bars.
constexpr WORD ctlFirst = 0x0400;
constexpr WORD ctlLast = 0x04FF;
constexpr WORD psh1 = 0x0400, psh2 = 0x0401, psh3 = 0x0402, psh4 = 0x0403, psh5 = 0x0404, psh6 = 0x0405,
               psh7 = 0x0406, psh8 = 0x0407, psh9 = 0x0408, psh10 = 0x0409, psh11 = 0x040A, psh12 = 0x040B,
               psh13 = 0x040C, psh14 = 0x040D, psh15 = 0x040E, psh16 = 0x040F;
constexpr WORD pshHelp = psh15;
constexpr WORD chx1 = 0x0410, chx2 = 0x0411, chx3 = 0x0412, chx4 = 0x0413, chx5 = 0x0414, chx6 = 0x0415,
               chx7 = 0x0416, chx8 = 0x0417, chx9 = 0x0418, chx10 = 0x0419, chx11 = 0x041A, chx12 = 0x041B,
               chx13 = 0x041C, chx14 = 0x041D, chx15 = 0x041E, chx16 = 0x041F;
constexpr WORD rad1 = 0x0420, rad2 = 0x0421, rad3 = 0x0422, rad4 = 0x0423, rad5 = 0x0424, rad6 = 0x0425,
               rad7 = 0x0426, rad8 = 0x0427, rad9 = 0x0428, rad10 = 0x0429, rad11 = 0x042A, rad12 = 0x042B,
               rad13 = 0x042C, rad14 = 0x042D, rad15 = 0x042E, rad16 = 0x042F;
constexpr WORD grp1 = 0x0430, grp2 = 0x0431, grp3 = 0x0432, grp4 = 0x0433;
constexpr WORD frm1 = 0x0434, frm2 = 0x0435, frm3 = 0x0436, frm4 = 0x0437;
constexpr WORD rct1 = 0x0438, rct2 = 0x0439, rct3 = 0x043A, rct4 = 0x043B;
constexpr WORD ico1 = 0x043C, ico2 = 0x043D, ico3 = 0x043E, ico4 = 0x043F;
// stcN = 0x043F + N for N = 1 … 32.
constexpr WORD stc1 = 0x0440, stc2 = 0x0441, stc3 = 0x0442, stc4 = 0x0443, stc5 = 0x0444, stc6 = 0x0445,
               stc7 = 0x0446, stc8 = 0x0447, stc9 = 0x0448, stc10 = 0x0449, stc11 = 0x044A, stc12 = 0x044B,
               stc13 = 0x044C, stc14 = 0x044D, stc15 = 0x044E, stc16 = 0x044F, stc17 = 0x0450, stc18 = 0x0451,
               stc19 = 0x0452, stc20 = 0x0453, stc21 = 0x0454, stc22 = 0x0455, stc23 = 0x0456, stc24 = 0x0457,
               stc25 = 0x0458, stc26 = 0x0459, stc27 = 0x045A, stc28 = 0x045B, stc29 = 0x045C, stc30 = 0x045D,
               stc31 = 0x045E, stc32 = 0x045F;
constexpr WORD lst1 = 0x0460, lst2 = 0x0461, lst3 = 0x0462, lst4 = 0x0463, lst5 = 0x0464, lst6 = 0x0465,
               lst7 = 0x0466, lst8 = 0x0467, lst9 = 0x0468, lst10 = 0x0469, lst11 = 0x046A, lst12 = 0x046B,
               lst13 = 0x046C, lst14 = 0x046D, lst15 = 0x046E, lst16 = 0x046F;
constexpr WORD cmb1 = 0x0470, cmb2 = 0x0471, cmb3 = 0x0472, cmb4 = 0x0473, cmb5 = 0x0474, cmb6 = 0x0475,
               cmb7 = 0x0476, cmb8 = 0x0477, cmb9 = 0x0478, cmb10 = 0x0479, cmb11 = 0x047A, cmb12 = 0x047B,
               cmb13 = 0x047C, cmb14 = 0x047D, cmb15 = 0x047E, cmb16 = 0x047F;
constexpr WORD edt1 = 0x0480, edt2 = 0x0481, edt3 = 0x0482, edt4 = 0x0483, edt5 = 0x0484, edt6 = 0x0485,
               edt7 = 0x0486, edt8 = 0x0487, edt9 = 0x0488, edt10 = 0x0489, edt11 = 0x048A, edt12 = 0x048B,
               edt13 = 0x048C, edt14 = 0x048D, edt15 = 0x048E, edt16 = 0x048F;
constexpr WORD scr1 = 0x0490, scr2 = 0x0491, scr3 = 0x0492, scr4 = 0x0493, scr5 = 0x0494, scr6 = 0x0495,
               scr7 = 0x0496, scr8 = 0x0497;
constexpr WORD ctl1 = 0x04A0;

// The colour dialog's own identifiers.
constexpr WORD COLOR_HUESCROLL = 700, COLOR_SATSCROLL = 701, COLOR_LUMSCROLL = 702, COLOR_HUE = 703,
               COLOR_SAT = 704, COLOR_LUM = 705, COLOR_RED = 706, COLOR_GREEN = 707, COLOR_BLUE = 708,
               COLOR_CURRENT = 709, COLOR_RAINBOW = 710, COLOR_SAVE = 711, COLOR_ADD = 712, COLOR_SOLID = 713,
               COLOR_TUNE = 714, COLOR_SCHEMES = 715, COLOR_ELEMENT = 716, COLOR_SAMPLES = 717,
               COLOR_PALETTE = 718, COLOR_MIX = 719, COLOR_BOX1 = 720, COLOR_CUSTOM1 = 721,
               COLOR_HUEACCEL = 723, COLOR_SATACCEL = 724, COLOR_LUMACCEL = 725, COLOR_REDACCEL = 726,
               COLOR_GREENACCEL = 727, COLOR_BLUEACCEL = 728, COLOR_SOLID_LEFT = 730, COLOR_SOLID_RIGHT = 731;

enum class TCommonDialogKind { cdOpen, cdSave, cdFont, cdColor, cdPrint, cdPrintSetup, cdFind, cdReplace };

// The template of a common dialog: DS_MODALFRAME | DS_3DLOOK | DS_SETFONT popups with
// caption and system menu, 8-point "MS Sans Serif"; the find and replace dialogs are
// modeless, all others modal. The caption is the system's default one ("Open",
// "Save As", "Font", "Color", "Print", "Print Setup", "Find", "Replace").
const TDialogTemplate& CommonDialogTemplate(TCommonDialogKind kind);
// The resource number of the template (NEWFILEOPENORD, FORMATDLGORD31, DLG_COLOR, …).
WORD CommonDialogTemplateId(TCommonDialogKind kind);

}  // namespace quintrel::win32
