// A module with the design language English for the quality tools' tests, and objects
// with texts catalogued in it.
#pragma once

#include <gtest/gtest.h>

#include "module/objects.h"
#include "tools/termtext.h"
#include "tools_fixture.h"

namespace quintrel::tools::test {

class QualityFixture : public ToolsFixture {
protected:
  void SetUp() override {
    ToolsFixture::SetUp();
    m_ = NewModule("App.zod");
    for (const char* id : {"en", "de", "ru"})
      ASSERT_TRUE(module::test::AddLanguage(zod_, m_, id, u"L", id[0] == 'r' ? 204 : 0));
    ASSERT_TRUE(zod_.SetDesignTimeLanguage(m_, module::test::Id("en")));
  }
  // An object with its design text (signed off, as a finished module has it); its term.
  uint32_t Text(const char* form, const char* comp, const char* prop, std::u16string_view text,
                uint8_t kind = module::utString, uint8_t zodClass = module::ucLabel) {
    const module::TZodObject o = module::test::AddObjectWithTerm(zod_, m_, form, comp, prop, kind, zodClass);
    EXPECT_TRUE(StoreTermText(zod_, m_, module::test::Id("en"), o.Localization, text, module::usSignedOff));
    return o.Localization;
  }
  // The same with a translation.
  uint32_t Translated(const char* form, const char* comp, const char* prop, std::u16string_view english,
                      const char* language, std::u16string_view translation) {
    const uint32_t term = Text(form, comp, prop, english);
    EXPECT_TRUE(StoreTermText(zod_, m_, module::test::Id(language), term, translation, module::usForReview));
    return term;
  }

  module::TZod& zod_ = module::GlobalZOD();
  int m_ = -1;
};

}  // namespace quintrel::tools::test
