// A language module in a temporary folder, a transfer working on it, and the message
// boxes the transfer shows.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "module/zod.h"
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
    return Bytes(Utf16(text), language, status, id);
  }
  uint32_t Bytes(const std::vector<uint8_t>& bytes, module::TLanguageId language = kGerman,
                 module::TZodStatus status = module::usForReview, uint32_t id = 0) {
    module::TZodTerm term;
    term.Language = language;
    term.Ident = id ? id : zod_.GetNewTermID(module_);
    term.Status = status;
    term.Data = const_cast<uint8_t*>(bytes.data());
    term.Size = static_cast<int32_t>(bytes.size());
    EXPECT_TRUE(zod_.SetTerm(module_, term));
    return term.Ident;
  }
  // The stored text and status of a term; "<missing>" when there is none.
  std::u16string Stored(uint32_t id, module::TLanguageId language = kGerman, uint8_t* status = nullptr) {
    module::TZodTerm term;
    term.Language = language;
    term.Ident = id;
    if (!zod_.GetTerm(module_, term)) return u"<missing>";
    std::vector<uint8_t> data(static_cast<size_t>(term.Size));
    term.Data = data.data();
    zod_.GetTerm(module_, term);
    if (status) *status = term.Status;
    std::u16string text(data.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    return text;
  }
  static std::vector<uint8_t> Utf16(std::u16string_view text) {
    std::vector<uint8_t> bytes;
    for (char16_t c : text) {
      bytes.push_back(static_cast<uint8_t>(c));
      bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    return bytes;
  }

  fs::path dir_;
  module::TZod zod_;
  int module_ = -1;
  TPropertyTransfer transfer_{zod_};
  std::vector<std::string> messages_;
  win32::TScopedMessageBoxSink sink_;
};

}  // namespace quintrel::runtime::testing
