// A language module in a temporary folder, a transfer working on it, and the message
// boxes the transfer shows.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "module/zod.h"
#include "tests/module/module_fixture.h"
#include "platform/win32/msgbox.h"
#include "runtime/proptransfer.h"
#include "text/unicode.h"

namespace quintrel::runtime::testing {

namespace fs = std::filesystem;

constexpr module::TLanguageId kEnglish = module::MakeLanguageId('e', 'n');
constexpr module::TLanguageId kGerman = module::MakeLanguageId('d', 'e');
constexpr module::TLanguageId kRussian = module::MakeLanguageId('r', 'u');

class TransferTest : public ::testing::Test {
protected:
  TransferTest()
      : zod_(module::TZod::TStart::Empty),
        sink_([this](const win32::TMessageBoxRequest& r) {
          messages_.push_back(text::WideToUtf8(r.text));
          return win32::IDOK;
        }) {
    // Memory-backed when there is such a folder: the corpus walk writes thousands of terms.
    dir_ = (fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) /
           ("quintrel-runtime-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    module_ = zod_.NewModule((dir_ / "test.zod").string());
    zod_.SetDesignTimeLanguage(module_, kEnglish);
    transfer_.SetModule(module_);
    transfer_.SetCurrentLanguage(kGerman, 0);
  }
  ~TransferTest() override {
    zod_.UnRegisterModule(module_, false);
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  // Stores a text as a term (translated unless told otherwise); returns its identifier.
  uint32_t Term(std::u16string_view text, module::TLanguageId language = kGerman,
                module::TZodStatus status = module::usForReview, uint32_t id = 0) {
    return Bytes(text::Utf16LeBytes(text), language, status, id);
  }
  uint32_t Bytes(std::vector<uint8_t> bytes, module::TLanguageId language = kGerman,
                 module::TZodStatus status = module::usForReview, uint32_t id = 0) {
    const uint32_t ident = id ? id : zod_.GetNewTermID(module_);
    EXPECT_TRUE(module::test::PutTermBytes(zod_, module_, language, ident, std::move(bytes), status));
    return ident;
  }
  // Reads the property into a fresh term; the term's text.
  std::u16string ReadBack(vcl::TObject* instance, std::string_view path, module::TLanguageId language = kGerman) {
    const uint32_t id = zod_.GetNewTermID(module_);
    transfer_.GetProp(instance, path, id);
    return Stored(id, language);
  }
  // The stored text and status of a term; "<missing>" when there is none.
  std::u16string Stored(uint32_t id, module::TLanguageId language = kGerman, uint8_t* status = nullptr) {
    const auto term = module::test::ReadTerm(zod_, module_, language, id);
    if (!term) return u"<missing>";
    if (status) *status = term->Status;
    return term->Text;
  }

  fs::path dir_;
  module::TZod zod_;
  int module_ = -1;
  TPropertyTransfer transfer_{zod_};
  std::vector<std::string> messages_;
  win32::TScopedMessageBoxSink sink_;
};

}  // namespace quintrel::runtime::testing
