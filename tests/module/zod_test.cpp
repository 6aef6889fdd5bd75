// The module list, permanent registration, properties, settings and the version record.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "module/modulefile.h"
#include "module/zod.h"
#include "platform/rtl/registry.h"
#include "tests/module/module_fixture.h"

namespace quintrel::module {
namespace {

using test::Id;

class ModuleList : public test::ModuleFixture {
protected:
  rtl::TRegIniFile Registry() const { return rtl::TRegIniFile(kRegistryKey); }
  std::string Slot(int i) const { return Registry().ReadString(kRegistrySection, std::to_string(i), ""); }
};

TEST_F(ModuleList, SameNameIgnoringCaseAndFolderIsOneModule) {
  std::string first = MakeModule("A/Proj.zod");
  std::string second = MakeModule("B/PROJ.ZOD");
  std::string other = MakeModule("A/Other.zod");
  TZod zod(TZod::TStart::Empty);
  EXPECT_EQ(zod.RegisterModule(first, false), 0);
  EXPECT_EQ(zod.RegisterModule(second, false), 0);
  EXPECT_EQ(zod.RegisterModule(other, false), 1);
  EXPECT_EQ(zod.GetModuleCount(), 2);
  EXPECT_EQ(zod.GetModuleName(0), "Proj.zod");
  // Names agree in their first 12 characters: one module.
  std::string longA = MakeModule("A/translations-1.zod");
  std::string longB = MakeModule("B/TRANSLATIONS-2.zod");
  EXPECT_EQ(zod.RegisterModule(longA, false), 2);
  EXPECT_EQ(zod.RegisterModule(longB, false), 2);
  char buffer[13];
  ASSERT_TRUE(zod.GetModuleName(2, buffer));
  EXPECT_STREQ(buffer, "translations");
}

TEST_F(ModuleList, AtMostTwentyModulesOpen) {
  TZod zod(TZod::TStart::Empty);
  for (int i = 0; i < kMaxModules; ++i) ASSERT_EQ(zod.NewModule(Path("m" + std::to_string(i) + ".zod")), i);
  std::string extra = MakeModule("extra.zod");
  EXPECT_EQ(zod.RegisterModule(extra, true), -1);
  EXPECT_EQ(zod.GetModuleCount(), kMaxModules);
  EXPECT_EQ(Slot(0), "") << "a refused module is not registered permanently either";
  EXPECT_EQ(zod.RegisterModule(Path("M7.ZOD"), false), 7) << "an open module is still found";
  EXPECT_EQ(zod.NewModule(Path("more.zod")), -1);
}

TEST_F(ModuleList, MissingFileOpensNothingButIsRegisteredPermanently) {
  TZod zod(TZod::TStart::Empty);
  Registry().WriteString(kRegistrySection, "0", "/elsewhere/taken.zod");
  EXPECT_EQ(zod.RegisterModule(Path("ghost.zod"), false), -1);
  EXPECT_EQ(Slot(1), "");
  EXPECT_EQ(zod.RegisterModule(Path("ghost.zod"), true), -1);
  EXPECT_EQ(Slot(1), Path("ghost.zod")) << "the path goes into the first free value, unchanged";
  EXPECT_EQ(zod.GetModuleCount(), 0);
}

TEST_F(ModuleList, PermanentRegistrationRules) {
  std::string a = MakeModule("a.zod");
  std::string b = MakeModule("sub/B.zod");
  TZod zod(TZod::TStart::Empty);
  Registry().WriteString(kRegistrySection, "0", "/old/place/A.ZOD");
  Registry().WriteString(kRegistrySection, "1", "");
  int ia = zod.RegisterModule(a, true);
  EXPECT_EQ(Slot(0), "/old/place/A.ZOD") << "a value naming the module already: nothing written";
  EXPECT_EQ(Slot(1), "");
  EXPECT_TRUE(zod.IsModulePermanent(ia));
  int ib = zod.RegisterModule(b, true);
  EXPECT_EQ(Slot(1), b);
  EXPECT_TRUE(zod.IsModulePermanent(ib));

  for (int i = 2; i < kMaxPermanentModules; ++i)
    Registry().WriteString(kRegistrySection, std::to_string(i), "/x/f" + std::to_string(i) + ".zod");
  std::string c = MakeModule("c.zod");
  int ic = zod.RegisterModule(c, true);
  EXPECT_EQ(ic, 2) << "the module opens even when no value is free";
  EXPECT_FALSE(zod.IsModulePermanent(ic));
  for (int i = 0; i < kMaxPermanentModules; ++i) EXPECT_NE(Slot(i), c);

  EXPECT_TRUE(zod.UnRegisterModule(ia, true));
  EXPECT_EQ(Slot(0), "") << "the first value naming the module is emptied";
  EXPECT_EQ(Slot(1), b);
  EXPECT_THROW(zod.IsModulePermanent(5), EListError);
}

TEST_F(ModuleList, UnregisteringMovesLaterModulesDown) {
  TZod zod(TZod::TStart::Empty);
  for (const char* name : {"one.zod", "two.zod", "three.zod"}) zod.NewModule(Path(name));
  Registry().WriteString(kRegistrySection, "4", Path("one.zod"));
  EXPECT_TRUE(zod.UnRegisterModule(0, false));
  EXPECT_EQ(Slot(4), Path("one.zod")) << "without removePermanent the registry is left alone";
  ASSERT_EQ(zod.GetModuleCount(), 2);
  EXPECT_EQ(zod.GetModuleName(0), "two.zod");
  EXPECT_EQ(zod.GetModuleName(1), "three.zod");
  EXPECT_FALSE(zod.UnRegisterModule(2, false));
  EXPECT_FALSE(zod.UnRegisterModule(-1, false));

  EXPECT_FALSE(zod.MoveModuleUp(0));
  EXPECT_FALSE(zod.MoveModuleUp(2));
  EXPECT_TRUE(zod.MoveModuleUp(1));
  EXPECT_EQ(zod.GetModuleName(0), "three.zod");
  EXPECT_EQ(zod.GetModuleName(1), "two.zod");
}

TEST_F(ModuleList, StartUpReopensThePermanentModules) {
  std::string a = MakeModule("a.zod"), b = MakeModule("b.zod");
  Registry().WriteString(kRegistrySection, "0", b);
  Registry().WriteString(kRegistrySection, "1", "");
  Registry().WriteString(kRegistrySection, "2", Path("deleted.zod"));
  Registry().WriteString(kRegistrySection, "3", a);
  Registry().WriteString(kRegistrySection, "20", Path("beyond.zod"));
  {
    TZod zod;
    ASSERT_EQ(zod.GetModuleCount(), 2);
    EXPECT_EQ(zod.GetModuleName(0), "b.zod");
    EXPECT_EQ(zod.GetModuleName(1), "a.zod");
    EXPECT_TRUE(zod.IsModulePermanent(1));
    EXPECT_TRUE(zod.GetModuleInterface(0).IsFile());
    zod.SetShowLangList(1, false);
  }
  EXPECT_EQ(Slot(0), b) << "closing the instance does not touch the registry";
  TZod again;
  EXPECT_FALSE(again.GetShowLangList(1));
}

TEST_F(ModuleList, BadIndexes) {
  TZod zod(TZod::TStart::Empty);
  zod.NewModule(Path("m.zod"));
  int32_t size = 77;
  EXPECT_FALSE(zod.GetProperty(1, "ZodVer", nullptr, size));
  EXPECT_EQ(size, 0);
  EXPECT_FALSE(zod.SetProperty("X", "v", -1, 1));
  EXPECT_EQ(zod.GetModuleSize(3), 0);
  EXPECT_EQ(zod.GetDesignTimeLanguage(3), kNoLanguage);
  EXPECT_TRUE(zod.GetShowLangList(3));
  EXPECT_THROW(zod.GetModuleName(1), EListError);
  EXPECT_THROW(zod.GetModuleInterface(-1), EListError);
  EXPECT_THROW(zod.BeginModuleUpdate(1), EListError);
  EXPECT_EQ(test::MessageOf<EListError>([&] { zod.EndModuleUpdate(4); }), "List index out of bounds (4)");
}

class Properties : public test::ModuleFixture {};

TEST_F(Properties, NewModuleHoldsVersionAndDateOnly) {
  TZod zod(TZod::TStart::Empty);
  rtl::TDateTime before = rtl::Now();
  int m = zod.NewModule(Path("new.zod"));
  ASSERT_EQ(m, 0);
  EXPECT_EQ(zod.GetPropertyNames(m), (std::vector<std::string>{"DateCreated", "ZodVer"}));
  EXPECT_EQ(zod.GetZodVersion(m), 110);
  EXPECT_GE(zod.GetDateCreated(m), before);
  EXPECT_LT(zod.GetDateCreated(m) - before, 1.0 / 24);
  auto ver = zod.GetProperty(m, "ZodVer");
  EXPECT_EQ(*ver, (std::vector<uint8_t>{110, 0, 0, 0}));
  EXPECT_GT(zod.GetModuleSize(m), 64);

  EXPECT_EQ(zod.GetDesignTimeLanguage(m), kNoLanguage);
  EXPECT_EQ(zod.GetDefaultLanguage(m), kNoLanguage);
  EXPECT_TRUE(zod.GetShowLangList(m));
  EXPECT_TRUE(zod.GetUseOriginalIfUntranslated(m));
  EXPECT_TRUE(zod.GetAutoIncludeStatus(m));
  EXPECT_TRUE(zod.GetSwitchResStr(m, kSwitchResourceStrings));
  EXPECT_TRUE(zod.GetSwitchResStr(m, kSwitchScriptStrings));
  EXPECT_FALSE(zod.GetWin32Locale(m));
  EXPECT_FALSE(zod.GetSaveSessionLanguage(m));
  EXPECT_EQ(zod.GetAutoIncludes(m, nullptr), 0);

  // Creating again replaces the file.
  zod.SetProperty("Extra", "x", m, 1);
  ASSERT_EQ(zod.NewModule(Path("new.zod")), m);
  EXPECT_FALSE(zod.GetProperty(m, "Extra").has_value());
}

TEST_F(Properties, EmptyValueRemovesAndNamesAreExactBytes) {
  TZod zod(TZod::TStart::Empty);
  int m = zod.NewModule(Path("p.zod"));
  EXPECT_TRUE(zod.SetProperty("Nothing", nullptr, m, 0));
  int32_t size = 5;
  EXPECT_FALSE(zod.GetProperty(m, "Nothing", nullptr, size));
  EXPECT_EQ(size, 0);

  std::vector<uint8_t> big(20000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
  EXPECT_TRUE(zod.SetProperty("Big", big.data(), m, static_cast<int32_t>(big.size())));
  EXPECT_TRUE(zod.SetProperty("big", "lower", m, 5));
  ASSERT_TRUE(zod.GetProperty(m, "Big", nullptr, size));
  EXPECT_EQ(size, 20000);
  std::vector<uint8_t> back(static_cast<size_t>(size));
  ASSERT_TRUE(zod.GetProperty(m, "Big", back.data(), size));
  EXPECT_EQ(back, big);
  EXPECT_EQ(zod.GetProperty(m, "big")->size(), 5u) << "names differ by case";
  EXPECT_FALSE(zod.GetProperty(m, "Bi").has_value());

  EXPECT_TRUE(zod.SetProperty("Big", "", m, 0));
  EXPECT_FALSE(zod.GetProperty(m, "Big").has_value());
  EXPECT_TRUE(zod.GetModuleInterface(m).Check().empty());
}

TEST_F(Properties, SettingsSurviveAReopen) {
  std::string file = MakeModule("s.zod");
  {
    TZod zod(TZod::TStart::Empty);
    int m = zod.RegisterModule(file, false);
    EXPECT_TRUE(zod.SetDesignTimeLanguage(m, Id("en")));
    EXPECT_TRUE(zod.SetDefaultLanguage(m, Id("de")));
    EXPECT_TRUE(zod.SetSwitchResStr(m, kSwitchResourceStrings, false));
    EXPECT_TRUE(zod.SetSwitchResStr(m, kSwitchScriptStrings, true));
    EXPECT_TRUE(zod.SetWin32Locale(m, true));
    EXPECT_TRUE(zod.SetShowLangList(m, false));
    EXPECT_TRUE(zod.SetSaveSessionLanguage(m, true));
    EXPECT_TRUE(zod.SetUseOriginalIfUntranslated(m, false));
    EXPECT_TRUE(zod.SetAutoIncludeStatus(m, false));
    EXPECT_TRUE(zod.SetAutoIncludes(m, 12, "TLabel.Capt\n"));
  }
  TZod zod(TZod::TStart::Empty);
  int m = zod.RegisterModule(file, false);
  EXPECT_EQ(zod.GetDesignTimeLanguage(m), Id("en"));
  EXPECT_EQ(zod.GetDefaultLanguage(m), Id("de"));
  EXPECT_FALSE(zod.GetSwitchResStr(m, kSwitchResourceStrings));
  EXPECT_TRUE(zod.GetSwitchResStr(m, kSwitchScriptStrings));
  EXPECT_TRUE(zod.GetWin32Locale(m));
  EXPECT_FALSE(zod.GetShowLangList(m));
  EXPECT_TRUE(zod.GetSaveSessionLanguage(m));
  EXPECT_FALSE(zod.GetUseOriginalIfUntranslated(m));
  EXPECT_FALSE(zod.GetAutoIncludeStatus(m));
  char buffer[12];
  ASSERT_EQ(zod.GetAutoIncludes(m, nullptr), 12);
  EXPECT_EQ(zod.GetAutoIncludes(m, buffer), 12);
  EXPECT_EQ(std::string(buffer, 12), "TLabel.Capt\n");
  // Stored sizes as the format has them.
  EXPECT_EQ(*zod.GetProperty(m, "ZodDesignTimeLanguage"), (std::vector<uint8_t>{'e', 'n'}));
  EXPECT_EQ(*zod.GetProperty(m, "ZodSwitchResStr0"), (std::vector<uint8_t>{0}));
  EXPECT_EQ(*zod.GetProperty(m, "ZodSwitchResStr1"), (std::vector<uint8_t>{1}));
  // A value of the wrong size reads as the default.
  zod.SetProperty("ZodShowLangList", "\0\0", m, 2);
  EXPECT_TRUE(zod.GetShowLangList(m));
}

TEST_F(Properties, VersionRecordAndItsPassword) {
  TZod zod(TZod::TStart::Empty);
  int m = zod.NewModule(Path("v.zod"));
  TZodVersion version;
  EXPECT_FALSE(zod.GetVersion(m, version));
  EXPECT_EQ(PasswordCRC(u"secret"), 0xF447) << "CRC-16/MODBUS of the UTF-16LE bytes";
  EXPECT_EQ(PasswordCRC(std::nullopt), 0xFFFF);

  version.HeaderText[0] = 'V';
  version.HeaderText[255] = 0xEE;
  version.Reserved = {1, 2, 3, 4, 5, 6};
  EXPECT_TRUE(zod.SetVersion(m, version));
  EXPECT_EQ(zod.GetProperty(m, "VersionInfo")->size(), 276u) << "no data: the record alone";

  version.Password = u"secret";
  version.Data = std::vector<uint8_t>{9, 8, 7};
  EXPECT_TRUE(zod.SetVersion(m, version)) << "an unprotected record may be overwritten";
  auto raw = *zod.GetProperty(m, "VersionInfo");
  ASSERT_EQ(raw.size(), 279u);
  EXPECT_NE(raw[256] | raw[257] | raw[258] | raw[259], 0);
  EXPECT_EQ(raw[260] | (raw[261] << 8), 0xF447);
  EXPECT_EQ(raw[272], 3);
  EXPECT_EQ(raw[276], 9);

  TZodVersion read;
  ASSERT_TRUE(zod.GetVersion(m, read));
  EXPECT_TRUE(read.Protected);
  EXPECT_FALSE(read.Password.has_value());
  EXPECT_EQ(read.PasswordCRC, 0xF447);
  EXPECT_EQ(read.HeaderText, version.HeaderText);
  EXPECT_EQ(read.Reserved, version.Reserved);
  EXPECT_EQ(read.Data, version.Data);

  TZodVersion intruder = version;
  intruder.Password = u"guess";
  intruder.Data.reset();
  EXPECT_FALSE(zod.SetVersion(m, intruder));
  intruder.Password.reset();
  EXPECT_FALSE(zod.SetVersion(m, intruder));
  intruder.Remove = true;
  EXPECT_FALSE(zod.SetVersion(m, intruder));
  EXPECT_EQ(*zod.GetProperty(m, "VersionInfo"), raw) << "a refused write changes nothing";

  TZodVersion owner = version;
  owner.Remove = true;
  EXPECT_TRUE(zod.SetVersion(m, owner));
  EXPECT_FALSE(zod.GetProperty(m, "VersionInfo").has_value());

  // A record cut below its fixed size is damaged: read as none, and may be replaced.
  zod.SetProperty("VersionInfo", "short", m, 5);
  EXPECT_FALSE(zod.GetVersion(m, read));
  EXPECT_TRUE(zod.SetVersion(m, TZodVersion{}));
}

class ModuleFiles : public test::ModuleFixture {};

// A module sent from a system whose file names ignore case keeps its spelling; the project
// beside it still finds it, and a real file always beats a folder of that name.
TEST_F(ModuleFiles, TheModuleOfAProjectIsFoundIgnoringCase) {
  std::ofstream(Path("Tile.zod")) << "x";
  EXPECT_EQ(ModuleFileFor(Path("Tile.bpr")), Path("Tile.zod"));
  EXPECT_EQ(ModuleFileFor(Path("Other.dpr")), Path("Other.ZOD")) << "the spelling a new module gets";
  std::filesystem::create_directories(Path("Dir.ZOD"));
  EXPECT_EQ(FindIgnoringCase(Path("dir.zod")), "") << "a folder is not a module";
  std::ofstream(Path("TILE.ZOD")) << "y";
  EXPECT_EQ(ModuleFileFor(Path("Tile.bpr")), Path("TILE.ZOD")) << "the exact spelling wins";
  std::ofstream(Path("tile.Zod")) << "z";
  EXPECT_EQ(ModuleFileFor(Path("tile.cpp")), Path("TILE.ZOD")) << "among variants the same one everywhere";
}

// Reading a module its user cannot write works, and leaves the file as it was.
TEST_F(ModuleFiles, AModuleOpenedForReadingIsReadAndNotChanged) {
  const std::string file = MakeModule("Ro.zod");
  {
    TZod zod(TZod::TStart::Empty);
    ASSERT_TRUE(test::AddLanguage(zod, zod.RegisterModule(file, false), "de"));
  }
  std::filesystem::permissions(file, std::filesystem::perms::owner_read);
  const auto before = std::filesystem::last_write_time(file);
  const auto size = std::filesystem::file_size(file);
  TZod zod(TZod::TStart::Empty);
  const int m = zod.RegisterModule(file, false, "", rtl::fmOpenRead);
  ASSERT_GE(m, 0);
  ASSERT_TRUE(zod.GetModuleInterface(m).IsFile());
  std::vector<TLanguageId> ids;
  EXPECT_EQ(zod.GetLanguageList(m, ids), 1);
  EXPECT_EQ(zod.GetZodVersion(m), 110);
  EXPECT_EQ(std::filesystem::last_write_time(file), before);
  EXPECT_EQ(std::filesystem::file_size(file), size);
}

}  // namespace
}  // namespace quintrel::module
