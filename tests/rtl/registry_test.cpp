// The per-user registry file: values survive a round trip whatever they contain, names
// ignore case, and concurrent writers from several processes lose nothing.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/rtl/registry.h"

namespace quintrel::rtl {
namespace {

class Registry : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("quintrel-reg-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
            std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
    file_ = (dir_ / "deep" / "folder" / "registry.ini").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Slurp() const {
    std::ifstream in(file_, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::filesystem::path dir_;
  std::string file_;
};

TEST_F(Registry, ValuesOfAnyContentRoundTrip) {
  TRegIniFile reg("Software\\Talvorine", file_);
  EXPECT_EQ(reg.ReadString("ZOD", "0", "none"), "none") << "a missing file is an empty registry";
  const std::pair<std::string, std::string> cases[] = {
      {"0", "/home/ann/proj/app.zod"},
      {"path with = sign", "C:\\A\\Proj.zod"},
      {"  padded name ", "  padded value  "},
      {"lines", "one\ntwo\r\nthree\tend"},
      {"\"quoted\"", "\"quoted\""},
      {"[bracket", "; not a comment"},
      {"controls", std::string("a\x01\x7F" "b\\x41", 7)},
      {"empty", ""},
      {"trailing backslash", "C:\\"},
  };
  for (const auto& [name, value] : cases) reg.WriteString("ZOD", name, value);
  TRegIniFile again("Software\\Talvorine", file_);
  for (const auto& [name, value] : cases) EXPECT_EQ(again.ReadString("ZOD", name, "?"), value) << name;
  std::vector<std::string> names = again.ReadSection("ZOD");
  ASSERT_EQ(names.size(), std::size(cases));
  for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(names[i], cases[i].first);
  // Plain values stay readable in the file for a person editing it.
  EXPECT_NE(Slurp().find("[Software\\Talvorine\\ZOD]\n0=/home/ann/proj/app.zod\n"), std::string::npos) << Slurp();
}

TEST_F(Registry, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
  TRegIniFile reg("Software\\Talvorine", file_);
  reg.WriteString("Zod", "Value", "a");
  TRegIniFile other("SOFTWARE\\talvorine", file_);
  EXPECT_EQ(other.ReadString("zod", "VALUE", ""), "a");
  other.WriteString("ZOD", "value", "b");
  EXPECT_EQ(reg.ReadSectionValues("Zod"), (std::vector<std::pair<std::string, std::string>>{{"Value", "b"}}));
  EXPECT_TRUE(reg.ValueExists("zOd", "vAlue"));
  EXPECT_FALSE(reg.ValueExists("zOd", "other"));
}

TEST_F(Registry, SectionsBelowTheKeyAndRemoval) {
  TRegIniFile reg("Software\\Talvorine", file_);
  TRegIniFile foreign("Software\\Elsewhere", file_);
  reg.WriteString("ZOD", "0", "x");
  reg.WriteString("Quintrel", "Last", "y");
  reg.WriteString("Quintrel\\Deeper", "z", "1");
  foreign.WriteString("ZOD", "0", "kept");
  EXPECT_EQ(reg.ReadSections(), (std::vector<std::string>{"ZOD", "Quintrel"}));
  EXPECT_TRUE(reg.SectionExists("Quintrel"));

  reg.DeleteKey("ZOD", "0");
  reg.DeleteKey("ZOD", "missing");
  EXPECT_FALSE(reg.ValueExists("ZOD", "0"));
  reg.EraseSection("Quintrel");
  reg.EraseSection("NotThere");
  EXPECT_FALSE(reg.SectionExists("Quintrel"));
  EXPECT_TRUE(reg.SectionExists("Quintrel\\Deeper")) << "erasing a section leaves the sections below it";
  EXPECT_EQ(foreign.ReadString("ZOD", "0", ""), "kept");
}

TEST_F(Registry, ReplaceTakesOnlyTheValueItExpects) {
  TRegIniFile reg("K", file_);
  reg.WriteString("S", "0", "taken");
  EXPECT_FALSE(reg.ReplaceString("S", "0", "", "mine"));
  EXPECT_EQ(reg.ReadString("S", "0", ""), "taken");
  EXPECT_TRUE(reg.ReplaceString("S", "1", "", "mine")) << "a missing value counts as empty";
  EXPECT_TRUE(reg.ReplaceString("S", "0", "taken", ""));
  EXPECT_TRUE(reg.ValueExists("S", "0"));
  EXPECT_EQ(reg.ReadString("S", "0", "?"), "");
  EXPECT_TRUE(reg.ReplaceString("S", "1", "other", "mine")) << "already the wanted value";
}

TEST_F(Registry, NumbersAndBooleans) {
  TRegIniFile reg("K", file_);
  reg.WriteInteger("S", "n", -123456);
  reg.WriteBool("S", "on", true);
  reg.WriteBool("S", "off", false);
  reg.WriteString("S", "text", "twelve");
  reg.WriteString("S", "huge", "99999999999");
  EXPECT_EQ(reg.ReadInteger("S", "n", 7), -123456);
  EXPECT_EQ(reg.ReadInteger("S", "text", 7), 7);
  EXPECT_EQ(reg.ReadInteger("S", "huge", 7), 7);
  EXPECT_EQ(reg.ReadInteger("S", "missing", 7), 7);
  EXPECT_TRUE(reg.ReadBool("S", "on", false));
  EXPECT_FALSE(reg.ReadBool("S", "off", true));
  EXPECT_TRUE(reg.ReadBool("S", "n", false)) << "any nonzero number is true";
  EXPECT_TRUE(reg.ReadBool("S", "missing", true));
}

TEST_F(Registry, HandEditedFilesAreReadAsFarAsTheyMakeSense) {
  std::filesystem::create_directories(std::filesystem::path(file_).parent_path());
  std::ofstream(file_, std::ios::binary) << "orphan=before any section\r\n"
                                         << "; comment\n"
                                         << "[K\\S]\r\n"
                                         << "  spaced  =  value  \r\n"
                                         << "no equals sign here\n"
                                         << "[broken section\n"
                                         << std::string("bin\0ary=x\n", 10);
  TRegIniFile reg("K", file_);
  EXPECT_EQ(reg.ReadString("S", "spaced", ""), "value");
  EXPECT_EQ(reg.ReadSection("S").size(), 2u);
  reg.WriteString("S", "new", "1");
  EXPECT_EQ(Slurp().find("orphan"), std::string::npos) << "lines that belong nowhere are dropped by a write";
  EXPECT_EQ(reg.ReadString("S", "spaced", ""), "value");
}

TEST_F(Registry, FileFollowsTheEnvironment) {
  const char* saved = std::getenv("QUINTREL_CONFIG");
  std::string savedValue = saved ? saved : "";
  const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
  std::string savedXdgValue = savedXdg ? savedXdg : "";

  setenv("QUINTREL_CONFIG", file_.c_str(), 1);
  EXPECT_EQ(RegistryFileName(), file_);
  TRegIniFile("Software\\Talvorine").WriteString("ZOD", "3", "m.zod");
  EXPECT_TRUE(std::filesystem::exists(file_)) << "missing folders are created";

  unsetenv("QUINTREL_CONFIG");
  setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
  EXPECT_EQ(RegistryFileName(), (dir_ / "quintrel" / "registry.ini").string());
  setenv("XDG_CONFIG_HOME", "relative/path", 1);
  EXPECT_EQ(RegistryFileName().find("relative"), std::string::npos);

  if (saved) setenv("QUINTREL_CONFIG", savedValue.c_str(), 1);
  if (savedXdg) {
    setenv("XDG_CONFIG_HOME", savedXdgValue.c_str(), 1);
  } else {
    unsetenv("XDG_CONFIG_HOME");
  }
}

TEST_F(Registry, ConcurrentWritersLoseNothing) {
  constexpr int kProcesses = 4, kValues = 25;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      TRegIniFile reg("K", file_);
      for (int i = 0; i < kValues; ++i) reg.WriteInteger("S", std::to_string(p) + "-" + std::to_string(i), i);
      _exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  TRegIniFile reg("K", file_);
  EXPECT_EQ(reg.ReadSection("S").size(), static_cast<size_t>(kProcesses * kValues));
  EXPECT_EQ(reg.ReadInteger("S", "3-24", -1), 24);
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(file_).parent_path()))
    EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << "no temporary file is left behind";
}

TEST_F(Registry, UnwritableFileIsAClearError) {
  std::filesystem::create_directories(dir_);
  std::string blocked = (dir_ / "plain-file").string();
  std::ofstream(blocked) << "x";
  TRegIniFile reg("K", blocked + "/registry.ini");
  try {
    reg.WriteString("S", "a", "b");
    FAIL() << "a write below a plain file must fail";
  } catch (const ERegistryException& e) {
    EXPECT_NE(e.Message().find(blocked), std::string::npos) << e.Message();
  }
  EXPECT_EQ(reg.ReadString("S", "a", "default"), "default");
}

}  // namespace
}  // namespace quintrel::rtl
