// A scratch folder with its own per-user registry for module tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "module/zod.h"

namespace quintrel::module::test {

class ModuleFixture : public ::testing::Test {
protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("quintrel-module-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
            std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    if (const char* saved = std::getenv("QUINTREL_CONFIG")) savedConfig_ = saved;
    setenv("QUINTREL_CONFIG", Path("registry.ini").c_str(), 1);
  }
  void TearDown() override {
    if (savedConfig_.empty()) {
      unsetenv("QUINTREL_CONFIG");
    } else {
      setenv("QUINTREL_CONFIG", savedConfig_.c_str(), 1);
    }
    std::filesystem::remove_all(dir_);
  }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // A new module file, created through a private instance and closed again.
  std::string MakeModule(const std::string& name) {
    std::filesystem::create_directories(std::filesystem::path(Path(name)).parent_path());
    TZod zod(TZod::TStart::Empty);
    EXPECT_EQ(zod.NewModule(Path(name)), 0) << name;
    return Path(name);
  }

  std::filesystem::path dir_;
  std::string savedConfig_;
};

// Modules opened in the one global module list that the name lists and the tools work on;
// every module a test opens is closed again after it.
class GlobalModulesFixture : public ModuleFixture {
protected:
  void TearDown() override {
    auto& zod = GlobalZOD();
    while (zod.GetModuleCount() > 0) zod.UnRegisterModule(zod.GetModuleCount() - 1, false);
    ModuleFixture::TearDown();
  }

  // A new module file, open in the global list; its index.
  int NewModule(const std::string& name) {
    int index = GlobalZOD().NewModule(Path(name));
    EXPECT_GE(index, 0) << name;
    return index;
  }
  // Closes the module and opens its file again, so that what follows reads the file.
  int Reopen(int index, const std::string& name) {
    auto& zod = GlobalZOD();
    EXPECT_TRUE(zod.UnRegisterModule(index, false));
    int again = zod.RegisterModule(Path(name), false);
    EXPECT_GE(again, 0) << name;
    return again;
  }
};

inline TLanguageId Id(const char* two) { return MakeLanguageId(two[0], two[1]); }

}  // namespace quintrel::module::test
