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

inline TLanguageId Id(const char* two) { return MakeLanguageId(two[0], two[1]); }

}  // namespace quintrel::module::test
