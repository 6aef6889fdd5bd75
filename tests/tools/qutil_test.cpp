// The shared helpers: languages copied between module files, catalogued property paths,
// font character sets, the folders found through the per-user registry, the file copy
// and trimming.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "module/zod.h"
#include "platform/ide/host.h"
#include "platform/rtl/registry.h"
#include "platform/vcl/forms.h"
#include "tests/testdata.h"
#include "tools/qutil.h"
#include "tools_fixture.h"

namespace quintrel::tools::test {
namespace {

using module::GlobalZOD;
using module::MakeLanguageId;
using module::TZodLanguage;

namespace fs = std::filesystem;

void WriteAll(const std::string& file, const std::string& bytes) {
  fs::create_directories(fs::path(file).parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

using QutilTest = ToolsFixture;

TEST_F(QutilTest, ALanguageIsCopiedWholeIntoAnotherModule) {
  TZodLanguage fr;
  fr.Identifier = MakeLanguageId('f', 'r');
  fr.Name = u"French";
  fr.NativeName = u"Fran\u00E7ais";
  fr.Charset = 0;
  fr.Win32Locale = 0x040C;
  for (int i = 0; i < 12; ++i) fr.LongMonthNames[i] = u"mois " + std::u16string(1, char16_t(u'a' + i));
  fr.ShortDateFormat = u"dd/MM/yyyy";
  fr.LongDateFormat = u"dddd d MMMM yyyy";  // the last of the texts
  fr.DecimalSeparator = u",";
  TZodLanguage de;
  de.Identifier = MakeLanguageId('d', 'e');
  de.Name = u"German";

  int source = NewModule("source.zod");
  int target = NewModule("target.zod");
  auto& zod = GlobalZOD();
  ASSERT_TRUE(zod.SetLanguage(source, fr));
  TZodLanguage oldFr;
  oldFr.Identifier = fr.Identifier;
  oldFr.Name = u"old French";
  ASSERT_TRUE(zod.SetLanguage(target, oldFr));
  ASSERT_TRUE(zod.SetLanguage(target, de));

  EXPECT_FALSE(CopyLanguage(source, target, MakeLanguageId('e', 's')));
  EXPECT_FALSE(CopyLanguage(7, target, fr.Identifier));
  ASSERT_TRUE(CopyLanguage(source, target, fr.Identifier));

  target = Reopen(target, "target.zod");
  TZodLanguage copied;
  copied.Identifier = fr.Identifier;
  ASSERT_TRUE(zod.GetLanguage(target, copied));
  auto a = copied.Texts();
  auto b = fr.Texts();
  for (size_t i = 0; i < a.size(); ++i) EXPECT_EQ(*a[i], *b[i]) << "text " << i;
  EXPECT_EQ(copied.Win32Locale, 0x040Cu);
  EXPECT_EQ(copied.DecimalSeparator, u",");
  std::vector<module::TLanguageId> ids;
  zod.GetLanguageList(target, ids);
  EXPECT_EQ(ids, (std::vector<module::TLanguageId>{fr.Identifier, de.Identifier}));
}

TEST(RemoveIndexTest, EveryIndexOfAPathBecomesAStar) {
  auto removed = [](std::string path) {
    RemoveIndex(path);
    return path;
  };
  EXPECT_EQ(removed("Items[3].Caption"), "Items[*].Caption");
  EXPECT_EQ(removed("Lines.Strings[12]"), "Lines.Strings[*]");
  EXPECT_EQ(removed("Columns.Items[2].Title.Items[10].Caption"), "Columns.Items[*].Title.Items[*].Caption");
  EXPECT_EQ(removed("Caption[]"), "Caption[*]");
  EXPECT_EQ(removed("Items[*].Text"), "Items[*].Text");
  EXPECT_EQ(removed("Hint"), "Hint");
  EXPECT_EQ(removed("Items[4.Caption"), "Items[4.Caption");
}

TEST(CharsetTest, TheFontCarriesTheCharsetItIsGiven) {
  vcl::TFont font;
  EXPECT_EQ(GetCharset(&font), vcl::DEFAULT_CHARSET);
  SetCharset(&font, vcl::RUSSIAN_CHARSET);
  EXPECT_EQ(GetCharset(&font), vcl::RUSSIAN_CHARSET);
  EXPECT_EQ(font.Charset(), vcl::RUSSIAN_CHARSET);
  SetCharset(nullptr, vcl::RUSSIAN_CHARSET);
  EXPECT_EQ(GetCharset(nullptr), vcl::DEFAULT_CHARSET);
}

TEST_F(QutilTest, TheRootFolderComesFromTheEnvironmentKeyElseTheToolsSetting) {
  EXPECT_EQ(GetRootPath(), "");
  EXPECT_EQ(GetSystemFile("Forms.pas"), "");
  rtl::TRegIniFile tools(kToolsKey);
  tools.WriteString(kToolsSection, kToolsRootValue, Path("tools"));
  EXPECT_EQ(GetRootPath(), Path("tools") + "/");
  rtl::TRegIniFile environment(kEnvironmentKey);
  environment.WriteString("", kEnvironmentRootValue, Path("cbuilder") + "/");
  EXPECT_EQ(GetRootPath(), Path("cbuilder") + "/");
  environment.WriteString("", kEnvironmentRootValue, "");
  EXPECT_EQ(GetRootPath(), Path("tools") + "/");
}

TEST_F(QutilTest, SystemFilesAreSoughtInTheVclSourcesThenTheRuntimeThenTheInterfaces) {
  rtl::TRegIniFile(kEnvironmentKey).WriteString("", kEnvironmentRootValue, Path("cb3"));
  WriteAll(Path("cb3/Source/Vcl/Forms.pas"), "unit Forms;");
  WriteAll(Path("cb3/Source/Rtl/Sys/System.pas"), "unit System;");
  WriteAll(Path("cb3/Source/Rtl/Sys/Forms.pas"), "unit Forms; { the runtime's copy }");
  WriteAll(Path("cb3/Doc/Dialogs.INT"), "unit Dialogs;");
  fs::create_directories(Path("cb3/Source/Vcl/Menus.pas"));  // a folder is no file

  EXPECT_EQ(GetSystemFile("Forms.pas"), Path("cb3/Source/Vcl/Forms.pas"));
  EXPECT_EQ(GetSystemFile("forms.PAS"), Path("cb3/Source/Vcl/Forms.pas"));
  EXPECT_EQ(GetSystemFile("System.pas"), Path("cb3/Source/Rtl/Sys/System.pas"));
  EXPECT_EQ(GetSystemFile("Dialogs.pas"), Path("cb3/Doc/Dialogs.INT"));
  EXPECT_EQ(GetSystemFile("Menus.pas"), "");
  EXPECT_EQ(GetSystemFile("Graphics.pas"), "");
}

TEST_F(QutilTest, TheApplicationsFolderIsTheProjectsInTheEnvironmentElseTheExecutables) {
  std::string exe = vcl::Application().ExeName();
  EXPECT_EQ(GetAppPath(), fs::path(exe).parent_path().string() + "/");
  {
    host::TDevelopmentHost host;
    EXPECT_EQ(GetAppPath(), "");  // no project open
    fs::path example = fs::path(__FILE__).parent_path() / "../../examples/project";
    fs::copy(example, Path("Sample Book"), fs::copy_options::recursive);
    host.OpenProject(Path("Sample Book/Sample.cpp"));
    EXPECT_EQ(GetAppPath(), Path("Sample Book") + "/");
  }
  EXPECT_EQ(GetAppPath(), fs::path(exe).parent_path().string() + "/");
}

TEST_F(QutilTest, FilesAreCopiedByteForByteInBlocks) {
  std::mt19937 random(8);
  for (size_t size : {size_t(0), size_t(1), kCopyBlockSize - 1, kCopyBlockSize, kCopyBlockSize + 1,
                      3 * kCopyBlockSize, size_t(50000)}) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    WriteAll(Path("in.bin"), bytes);
    WriteAll(Path("out.bin"), std::string(70000, 'x'));  // an older, longer target
    CopyFile(Path("in.bin"), Path("out.bin"));
    EXPECT_EQ(testdata::Bytes(Path("out.bin")), bytes) << size;
  }
}

TEST_F(QutilTest, ACopyThatCannotStartSaysWhichFileAndWhy) {
  WriteAll(Path("in.txt"), "unit AppText;");
  auto message = [](const std::string& from, const std::string& to) {
    return module::test::MessageOf([&] { CopyFile(from, to); });
  };
  EXPECT_EQ(message(Path("missing.txt"), Path("out.txt")), "Cannot open file " + Path("missing.txt"));
  EXPECT_FALSE(fs::exists(Path("out.txt")));
  EXPECT_EQ(message(Path("in.txt"), Path("no/such/folder/out.txt")),
            "Cannot create file " + Path("no/such/folder/out.txt"));
  // A copy onto itself would empty the source before reading it.
  EXPECT_EQ(message(Path("in.txt"), dir_.string() + "/./in.txt"), "Cannot copy file " + Path("in.txt") + " onto itself");
  EXPECT_EQ(testdata::Bytes(Path("in.txt")), "unit AppText;");
}

TEST(TrimTest, ControlCharactersAndBlanksGoFromBothEnds) {
  EXPECT_EQ(Trim(" \t\r\n Caption \x01\x1F "), "Caption");
  EXPECT_EQ(Trim("a b"), "a b");
  EXPECT_EQ(Trim(" \x20\x07"), "");
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(Trim("\xA0x\xA0"), "\xA0x\xA0");  // codes above 32 stay, 8-bit ones too
}

}  // namespace
}  // namespace quintrel::tools::test
