// The module tests' scratch folder and per-user registry, with modules opened in the one
// module list the tools work on; every module a test opens is closed again after it.
#pragma once

#include <string>

#include "module/zod.h"
#include "tests/module/module_fixture.h"

namespace quintrel::tools::test {

class ToolsFixture : public module::test::ModuleFixture {
protected:
  void TearDown() override {
    auto& zod = module::GlobalZOD();
    while (zod.GetModuleCount() > 0) zod.UnRegisterModule(zod.GetModuleCount() - 1, false);
    ModuleFixture::TearDown();
  }

  // A new module file, open in the global list; its index.
  int NewModule(const std::string& name) {
    int index = module::GlobalZOD().NewModule(Path(name));
    EXPECT_GE(index, 0) << name;
    return index;
  }
  // Closes the module and opens its file again, so that what follows reads the file.
  int Reopen(int index, const std::string& name) {
    auto& zod = module::GlobalZOD();
    EXPECT_TRUE(zod.UnRegisterModule(index, false));
    int again = zod.RegisterModule(Path(name), false);
    EXPECT_GE(again, 0) << name;
    return again;
  }
};

}  // namespace quintrel::tools::test
