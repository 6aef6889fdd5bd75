// Inputs of the translator's fuzz target (fuzz/regressions/translator_switch_fuzzer) that
// found a fault, replayed through the steps of the application that failed on them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../module/module_fixture.h"
#include "platform/win32/msgbox.h"
#include "runtime/quintrel.h"
#include "text/unicode.h"

namespace quintrel::runtime::test {
namespace {

namespace fs = std::filesystem;

fs::path Regression(const char* name) {
  return fs::path(__FILE__).parent_path().parent_path().parent_path() / "fuzz/regressions/translator_switch_fuzzer" /
         name;
}

class TranslatorRegressionTest : public module::test::ModuleFixture {
protected:
  void TearDown() override {
    module::TZod& zod = module::GlobalZOD();
    while (zod.GetModuleCount() > 0) zod.UnRegisterModule(0, false);
    ModuleFixture::TearDown();
  }

  // The input as the module beside the application's executable, and the translator
  // started on it as the application starts it. Damage met on the way is the module's.
  void StartOn(const char* regression) {
    fs::copy_file(Regression(regression), Path("App.ZOD"));
    try {
      InitializeTranslator(Path("App"));
    } catch (const rtl::Exception&) {
    }
    ASSERT_NE(GlobalQuintrel(), nullptr);
  }
};

TEST_F(TranslatorRegressionTest, ShutdownSurvivesAModuleThatCannotKeepTheSessionLanguage) {
  // A module whose data blocks lie past its end: saving the session's language at
  // shutdown raised out of FinalizeTranslator, which TTranslatorUnit calls from its
  // destructor, and the application ended in std::terminate.
  StartOn("session-save-on-damaged-module");
  if (GlobalQuintrel()->Module() < 0) {
    FinalizeTranslator();
    GTEST_SKIP() << "the module layer refuses this file when opening it now";
  }
  EXPECT_NO_THROW(FinalizeTranslator());
  EXPECT_EQ(GlobalQuintrel(), nullptr);
  // Taken down completely: the next start is a first start again.
  InitializeTranslator(Path("Other"));
  EXPECT_NE(GlobalQuintrel(), nullptr);
  FinalizeTranslator();
  EXPECT_EQ(GlobalQuintrel(), nullptr);
}

TEST_F(TranslatorRegressionTest, StartUpChecksAResourceStringNumberBeyondTheStringTable) {
  // A Pascal unit's first string carries a number above 65535: the check whether the
  // executable still holds the unit's texts handed it to the string loader, which took it
  // for the address of a literal text and read there (SEGV in DefaultLoadResString).
  StartOn("resource-number-beyond-string-table");
  EXPECT_NE(GlobalQuintrel(), nullptr);
  FinalizeTranslator();
}

TEST_F(TranslatorRegressionTest, ARefusedModuleLeavesTheApplicationUntranslatedNotStopped) {
  // A term table of another layout beside the executable: opening refuses it, and the
  // refusal escaped InitializeTranslator with its start counter taken, so no later start
  // or shutdown did anything.
  fs::copy_file(Regression("../module_fuzzer/term-status-c50"), Path("App.ZOD"));
  std::vector<std::string> shown;
  auto previous = win32::SetMessageBoxSink([&](const win32::TMessageBoxRequest& r) {
    shown.push_back(text::WideToUtf8(r.text));
    return 1;
  });
  EXPECT_NO_THROW(InitializeTranslator(Path("App")));
  win32::SetMessageBoxSink(previous);
  ASSERT_NE(GlobalQuintrel(), nullptr);
  EXPECT_LT(GlobalQuintrel()->Module(), 0);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("ZodTerms"), std::string::npos) << shown[0];
  FinalizeTranslator();
  EXPECT_EQ(GlobalQuintrel(), nullptr);
  InitializeTranslator(Path("Other"));
  EXPECT_NE(GlobalQuintrel(), nullptr);
  FinalizeTranslator();
}

}  // namespace
}  // namespace quintrel::runtime::test
