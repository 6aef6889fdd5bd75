// String tables, system parameters and message boxes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/win32/msgbox.h"
#include "platform/win32/resources.h"
#include "platform/win32/sysparams.h"
#include "platform/win32/winuser.h"
#include "tests/win32/recorder.h"

namespace quintrel::win32 {
namespace {

// --- String tables ---------------------------------------------------------------------

TEST(StringTable, LoadStringTruncatesAsWin32Does) {
  HINSTANCE instance = RegisterModuleInstance(u"/opt/app/strings.dll");
  ASSERT_TRUE(SetResourceString(instance, 65000, u"Hello"));

  char16_t buffer[8];
  EXPECT_EQ(LoadString(instance, 65000, buffer, 8), 5);
  EXPECT_EQ(std::u16string(buffer), u"Hello");
  EXPECT_EQ(LoadString(instance, 65000, buffer, 3), 2);
  EXPECT_EQ(std::u16string(buffer), u"He");
  buffer[0] = u'x';
  EXPECT_EQ(LoadString(instance, 65000, buffer, 1), 0);
  EXPECT_EQ(buffer[0], u'\0');
  buffer[0] = u'x';
  EXPECT_EQ(LoadString(instance, 65000, buffer, 0), 0);
  EXPECT_EQ(buffer[0], u'x') << "no room, nothing written";
  EXPECT_EQ(LoadString(instance, 65000, nullptr, 8), 0);

  buffer[0] = u'x';
  EXPECT_EQ(LoadString(instance, 65001, buffer, 8), 0) << "missing strings are empty";
  EXPECT_EQ(buffer[0], u'\0');
  EXPECT_EQ(LoadString(instance, 65000), u"Hello");
  UnregisterModuleInstance(instance);
}

TEST(StringTable, EightBitFormAndLimits) {
  HINSTANCE instance = RegisterModuleInstance(u"C:\\App\\Res.dll");
  SetResourceString(instance, 7, u"Gr\u00FC\u00DFe \u0416");
  char narrow[16];
  EXPECT_EQ(LoadStringA(instance, 7, narrow, sizeof narrow), 7);
  EXPECT_STREQ(narrow, "Gr\xFC\xDF" "e ?");
  EXPECT_EQ(LoadStringA(instance, 7, narrow, 4), 3);
  EXPECT_STREQ(narrow, "Gr\xFC");

  EXPECT_FALSE(SetResourceString(instance, 0x10000, u"too high"));
  EXPECT_FALSE(SetResourceString(instance, 8, std::u16string(65536, u'a')));
  EXPECT_TRUE(SetResourceString(instance, 8, std::u16string(65535, u'a')));
  EXPECT_TRUE(SetResourceString(instance, 8, u""));
  EXPECT_FALSE(RemoveResourceString(instance, 8)) << "an empty string is no string";

  // Instances keep separate tables and are found by name.
  EXPECT_EQ(GetModuleHandle(u"res.DLL"), instance);
  EXPECT_EQ(LoadString(GetModuleHandle(nullptr), 7), u"");
  ASSERT_TRUE(UnregisterModuleInstance(instance));
  EXPECT_EQ(LoadStringA(instance, 7, narrow, sizeof narrow), 0);
  EXPECT_FALSE(SetResourceString(instance, 7, u"x"));
  EXPECT_FALSE(GetModuleHandle(u"Res.dll"));
  EXPECT_FALSE(UnregisterModuleInstance(GetModuleHandle(nullptr)));
}

// The main instance's file is the executable, whose path is file-system bytes, not always
// UTF-8. An overlong form in it (C0 AF) must not read as '/', or the module looked for
// beside the executable would be looked for in another folder. The test runs a link of
// this executable from a folder with such a name and lets it check its own path.
TEST(StringTable, ExecutablePathGainsNoSeparatorFromIllFormedBytes) {
  if (std::getenv("QUINTREL_TEST_OWN_PATH")) {
    std::u16string path = GetModuleFileName(GetModuleHandle(nullptr));
    EXPECT_TRUE(path.ends_with(u"/x\uFFFD\uFFFDy/test_win32")) << std::string(path.begin(), path.end());
    return;
  }
  namespace fs = std::filesystem;
  const fs::path self = fs::read_symlink("/proc/self/exe");
  const fs::path folder = self.parent_path() / ("own-path-" + std::to_string(getpid()));
  const fs::path linked = folder / "x\xC0\xAFy" / "test_win32";
  fs::create_directories(linked.parent_path());
  std::error_code error;
  fs::create_hard_link(self, linked, error);
  if (error) fs::copy_file(self, linked);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setenv("QUINTREL_TEST_OWN_PATH", "1", 1);
    execl(linked.c_str(), linked.c_str(), "--gtest_filter=StringTable.ExecutablePathGainsNoSeparatorFromIllFormedBytes",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  fs::remove_all(folder);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// --- System parameters -----------------------------------------------------------------

class SystemParameters : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(SystemParametersInfo(SPI_GETNONCLIENTMETRICS, sizeof saved_, &saved_, 0));
    ASSERT_TRUE(SystemParametersInfo(SPI_GETMENUDROPALIGNMENT, 0, &savedDrop_, 0));
  }
  void TearDown() override {
    SystemParametersInfo(SPI_SETNONCLIENTMETRICS, sizeof saved_, &saved_, 0);
    SystemParametersInfo(SPI_SETMENUDROPALIGNMENT, savedDrop_, nullptr, 0);
  }

private:
  NONCLIENTMETRICSW saved_;
  BOOL savedDrop_ = 0;
};

TEST_F(SystemParameters, MenuFontChangesThroughThe340ByteRecord) {
  NONCLIENTMETRICSA metrics;
  metrics.cbSize = 340;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, 340, &metrics, 0));
  EXPECT_STREQ(metrics.lfMenuFont.lfFaceName, "MS Sans Serif");
  std::strcpy(metrics.lfMenuFont.lfFaceName, "Arial");
  metrics.lfMenuFont.lfCharSet = 178;
  metrics.iCaptionHeight += 10;
  ASSERT_TRUE(SystemParametersInfoA(SPI_SETNONCLIENTMETRICS, 340, &metrics, 0));

  NONCLIENTMETRICSW wide;
  wide.cbSize = sizeof wide;
  ASSERT_TRUE(SystemParametersInfo(SPI_GETNONCLIENTMETRICS, sizeof wide, &wide, 0));
  EXPECT_EQ(FaceName(wide.lfMenuFont), u"Arial");
  EXPECT_EQ(wide.lfMenuFont.lfCharSet, 178);
  EXPECT_EQ(FaceName(wide.lfCaptionFont), u"MS Sans Serif") << "only the changed field moves";
  EXPECT_EQ(GetSystemMetrics(SM_CYCAPTION), wide.iCaptionHeight + 1);

  // The caption height reaches the window layout.
  testing::TWindowGuard form(testing::TopLevel(WS_POPUP | WS_CAPTION));
  RECT client;
  GetClientRect(*form, client);
  EXPECT_EQ(client.bottom, 300 - 6 - (wide.iCaptionHeight + 1));
}

TEST_F(SystemParameters, RecordsOfTheWrongSizeAreRefused) {
  NONCLIENTMETRICSA metrics;
  metrics.cbSize = 340;
  EXPECT_FALSE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, 500, &metrics, 0));
  metrics.cbSize = 500;
  EXPECT_FALSE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, 340, &metrics, 0));
  EXPECT_FALSE(SystemParametersInfoA(SPI_SETNONCLIENTMETRICS, 340, nullptr, 0));
  EXPECT_FALSE(SystemParametersInfo(0x7777, 0, &metrics, 0));
}

TEST_F(SystemParameters, MenuDropAlignmentAndChangeNotice) {
  testing::Log().clear();
  testing::TWindowGuard form(testing::TopLevel());
  ASSERT_TRUE(SystemParametersInfoA(SPI_SETMENUDROPALIGNMENT, 1, nullptr, SPIF_SENDCHANGE));
  BOOL right = 0;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETMENUDROPALIGNMENT, 0, &right, 0));
  EXPECT_EQ(right, 1);
  EXPECT_EQ(GetSystemMetrics(SM_MENUDROPALIGNMENT), 1);
  auto notices = testing::MessagesOf(*form, {WM_SETTINGCHANGE});
  ASSERT_EQ(notices.size(), 1u);

  ASSERT_TRUE(SystemParametersInfo(SPI_SETMENUDROPALIGNMENT, 0, nullptr, 0));
  EXPECT_EQ(GetSystemMetrics(SM_MENUDROPALIGNMENT), 0);
  EXPECT_EQ(testing::MessagesOf(*form, {WM_SETTINGCHANGE}).size(), 1u) << "no notice without SPIF_SENDCHANGE";
}

// --- Message boxes ---------------------------------------------------------------------

TEST(MessageBoxes, SinkReceivesEveryBox) {
  std::vector<TMessageBoxRequest> shown;
  TScopedMessageBoxSink capture([&shown](const TMessageBoxRequest& request) {
    shown.push_back(request);
    return IDNO;
  });
  testing::TWindowGuard form(testing::TopLevel());
  EXPECT_EQ(MessageBox(*form, u"Unlock it ?", u"Checkout", MB_YESNO | MB_ICONQUESTION), IDNO);
  EXPECT_EQ(MessageBoxA({}, "Codepage 1250 \xE9", "", MB_OK), IDNO);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].owner, *form);
  EXPECT_EQ(shown[0].text, u"Unlock it ?");
  EXPECT_EQ(shown[0].caption, u"Checkout");
  EXPECT_EQ(shown[0].type, MB_YESNO | MB_ICONQUESTION);
  EXPECT_EQ(shown[1].text, u"Codepage 1250 \u00E9");
  EXPECT_EQ(shown[1].caption, u"Error") << "the default caption";

  HWND gone = testing::TopLevel();
  DestroyWindow(gone);
  EXPECT_EQ(MessageBox(gone, u"lost", u"", MB_OK), 0);
  EXPECT_EQ(shown.size(), 2u) << "a box for a destroyed owner is not shown";
}

TEST(MessageBoxes, ScopedSinksNestAndTheDefaultAnswersWithTheDefaultButton) {
  int outer = 0;
  int inner = 0;
  {
    TScopedMessageBoxSink first([&outer](const TMessageBoxRequest&) { return ++outer; });
    {
      TScopedMessageBoxSink second([&inner](const TMessageBoxRequest&) { return ++inner; });
      MessageBox({}, u"a", u"b", MB_OK);
    }
    MessageBox({}, u"a", u"b", MB_OK);
  }
  EXPECT_EQ(inner, 1);
  EXPECT_EQ(outer, 1);

  ::testing::internal::CaptureStderr();
  int answer = MessageBox({}, u"Problem when adding a record", u"Quintrel", MB_YESNO | MB_DEFBUTTON2);
  std::string printed = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(answer, IDNO);
  EXPECT_EQ(printed, "Quintrel: Problem when adding a record\n");

  EXPECT_EQ(DefaultButton(MB_OK), IDOK);
  EXPECT_EQ(DefaultButton(MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
  EXPECT_EQ(DefaultButton(MB_RETRYCANCEL | MB_DEFBUTTON4), IDRETRY) << "beyond the buttons: the first";
  EXPECT_EQ(DefaultButton(0xF), IDOK);
}

}  // namespace
}  // namespace quintrel::win32
