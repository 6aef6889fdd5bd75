#include <gtest/gtest.h>

#include "platform/vcl/forms.h"
#include "platform/win32/menus.h"
#include "platform/win32/sysparams.h"
#include "platform/win32/winuser.h"
#include "tests/runtime/transfer_fixture.h"

using namespace quintrel;
using namespace quintrel::vcl;
using quintrel::runtime::testing::kGerman;
using quintrel::runtime::testing::kRussian;
using quintrel::runtime::testing::TransferTest;

namespace {

std::u16string MenuCaption(TForm& form, win32::UINT command) {
  return win32::GetMenuString(win32::GetSystemMenu(form.Handle(), 0), command, win32::MF_BYCOMMAND);
}

TEST_F(TransferTest, SystemMenuCaptionsBothWays) {
  TForm form;
  form.SetName("Main");
  win32::HMENU menu = win32::GetSystemMenu(form.Handle(), 0);
  ASSERT_TRUE(menu);
  win32::EnableMenuItem(menu, win32::SC_RESTORE, win32::MF_GRAYED);

  transfer_.SetProp(&form, "SystemMenuCloseCaption", Term(u"&Schlie\u00DFen\tAlt+F4"));
  transfer_.SetProp(&form, "SystemMenuRestoreCaption", Term(u"&Wiederherstellen"));
  EXPECT_EQ(MenuCaption(form, win32::SC_CLOSE), u"&Schlie\u00DFen\tAlt+F4");
  EXPECT_EQ(MenuCaption(form, win32::SC_RESTORE), u"&Wiederherstellen");
  // Only the caption changes: a grayed command stays grayed.
  EXPECT_TRUE(win32::GetMenuState(menu, win32::SC_RESTORE, win32::MF_BYCOMMAND) & win32::MF_GRAYED);

  // A language whose charset is not the process's keeps its letters.
  transfer_.SetCurrentLanguage(kRussian, 204);
  transfer_.SetProp(&form, "SystemMenuMoveCaption", Term(u"\u041F\u0435\u0440\u0435\u043C\u0435\u0441\u0442\u0438\u0442\u044C",
                                                         kRussian));
  EXPECT_EQ(MenuCaption(form, win32::SC_MOVE), u"\u041F\u0435\u0440\u0435\u043C\u0435\u0441\u0442\u0438\u0442\u044C");
  EXPECT_EQ(ReadBack(&form, "SystemMenuMoveCaption", kRussian),
            u"\u041F\u0435\u0440\u0435\u043C\u0435\u0441\u0442\u0438\u0442\u044C");

  // Texts are cut to 255 characters.
  transfer_.SetProp(&form, "SystemMenuSizeCaption", Term(std::u16string(300, u'x'), kRussian));
  EXPECT_EQ(MenuCaption(form, win32::SC_SIZE).size(), 255u);

  // Fonts, FlipState and the list decision are not read back.
  uint32_t flip = Term(u"unchanged", kRussian);
  transfer_.GetProp(&form, "FlipState", flip);
  EXPECT_EQ(Stored(flip, kRussian), u"unchanged");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(TransferTest, SystemFontsThroughTheNonClientMetrics) {
  win32::NONCLIENTMETRICSW before;
  ASSERT_TRUE(win32::SystemParametersInfo(win32::SPI_GETNONCLIENTMETRICS, sizeof before, &before, 0));
  TForm form;
  transfer_.SetCurrentLanguage(kRussian, 204);
  transfer_.SetProp(&form, "MenuFont.Name", Term(u"Arial Cyr", kRussian));
  transfer_.SetProp(&form, "MenuFont.Charset", Term(u"204", kRussian));
  transfer_.SetProp(&form, "CaptionFont.Charset", Term(u"RUSSIAN_CHARSET", kRussian));
  transfer_.SetProp(&form, "SmallCaptionFont.Name", Term(u"Tahoma", kRussian));
  transfer_.SetProp(&form, "SmallCaptionFont.Charset", Term(u"many", kRussian));

  win32::NONCLIENTMETRICSW after;
  ASSERT_TRUE(win32::SystemParametersInfo(win32::SPI_GETNONCLIENTMETRICS, sizeof after, &after, 0));
  win32::SystemParametersInfo(win32::SPI_SETNONCLIENTMETRICS, sizeof before, &before, 0);
  EXPECT_EQ(std::u16string(after.lfMenuFont.lfFaceName), u"Arial Cyr");
  EXPECT_EQ(after.lfMenuFont.lfCharSet, 204);
  EXPECT_EQ(after.lfCaptionFont.lfCharSet, 204);
  EXPECT_EQ(std::u16string(after.lfCaptionFont.lfFaceName), std::u16string(before.lfCaptionFont.lfFaceName));
  EXPECT_EQ(std::u16string(after.lfSmCaptionFont.lfFaceName), u"Tahoma");
  EXPECT_EQ(after.lfSmCaptionFont.lfCharSet, before.lfSmCaptionFont.lfCharSet);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], "Error while trying to set property SmallCaptionFont.Charset of TForm");
}

TEST_F(TransferTest, LanguageListDecisionPerForm) {
  std::vector<std::pair<TCustomForm*, uint32_t>> builds;
  transfer_.BuildSystemLangListProc = [&](TCustomForm& form, uint32_t termId, bool lookup) {
    EXPECT_FALSE(lookup);
    builds.emplace_back(&form, termId);
  };
  TForm form;
  uint32_t yes = Term(u"  TRUE ");
  transfer_.SetProp(&form, "ShowLanguageSelectionInSystemMenu", yes);
  transfer_.SetProp(&form, "ShowLanguageSelectionInSystemMenu", Term(u"false"));
  transfer_.SetProp(&form, "ShowLanguageSelectionInSystemMenu", Term(u"yes"));
  ASSERT_EQ(builds.size(), 1u);
  EXPECT_EQ(builds[0], (std::pair<TCustomForm*, uint32_t>{&form, yes}));
  EXPECT_TRUE(messages_.empty());
}

TEST_F(TransferTest, FlipStateMirrorsOnlyOnAChange) {
  TForm form;
  // Without the mirroring routine nothing happens, and the flag keeps saying so.
  transfer_.SetProp(&form, "FlipState", Term(u"true"));
  EXPECT_FALSE(transfer_.FlipState());

  std::vector<bool> flips;  // the flag as the routine saw it
  transfer_.FlipFormProc = [&](TWinControl& control) {
    EXPECT_EQ(&control, &form);
    flips.push_back(transfer_.FlipState());
  };
  transfer_.SetProp(&form, "FlipState", Term(u"TRUE"));
  EXPECT_TRUE(transfer_.FlipState());
  transfer_.SetProp(&form, "FlipState", Term(u"True"));
  transfer_.SetProp(&form, "FlipState", Term(u"maybe"));
  EXPECT_TRUE(transfer_.FlipState());
  transfer_.SetProp(&form, "FlipState", Term(u"False"));
  EXPECT_FALSE(transfer_.FlipState());
  transfer_.SetProp(&form, "FlipState", Term(u"false"));
  transfer_.SetProp(&form, "FlipState", Term(u""));
  EXPECT_EQ(flips, (std::vector<bool>{false, true}));
  // Unknown form paths are ignored.
  transfer_.SetProp(&form, "SystemMenuHelpCaption", Term(u"Hilfe"));
  EXPECT_TRUE(messages_.empty());
}

}  // namespace
