// A copy of the example project for each test, with the module its script builds (built
// once per test suite), and commands run on it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/run.h"

namespace quintrel::cli::test {

class ExampleProjectFixture : public CliFixture {
protected:
  static void SetUpTestSuite() {
    module_ = (std::filesystem::temp_directory_path() /
               ("quintrel-example-" + std::to_string(getpid()) + ".ZOD"))
                  .string();
    const std::string command = Quote((Root() / "scripts" / "build-example-module").string()) + " " +
                                Quote(QUINTREL_CLI) + " " + Quote(module_) + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  static void TearDownTestSuite() { std::filesystem::remove(module_); }
  void SetUp() override {
    CliFixture::SetUp();
    std::filesystem::copy(Root() / "examples" / "project", dir_ / "project");
    std::filesystem::copy_file(module_, Path("project/Sample.ZOD"));
    project_ = Path("project");
  }
  // The command with --project naming the copy.
  TRunResult In(std::vector<std::string> args, int seconds = 0) {
    args.insert(args.end(), {"--project", project_});
    return Run(args, "", seconds);
  }
  std::string File(const std::string& name) const { return Slurp(Path("project/" + name)); }

  std::string project_;
  static inline std::string module_;
};

}  // namespace quintrel::cli::test
