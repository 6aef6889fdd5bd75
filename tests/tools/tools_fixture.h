// The tools tests' scratch folder and per-user registry, with modules opened in the one
// module list the tools work on; every module a test opens is closed again after it.
#pragma once

#include "tests/module/module_fixture.h"

namespace quintrel::tools::test {

using ToolsFixture = module::test::GlobalModulesFixture;

}  // namespace quintrel::tools::test
