// Inline frames read as the application builds them: the frame's own form first, then
// what the embedding form changes.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/vcl/filer.h"
#include "platform/vcl/forms.h"
#include "platform/vcl/graphics.h"
#include "platform/vcl/stdctrls.h"
#include "platform/vcl/streaming.h"
#include "platform/vcl/textutil.h"
#include "platform/vcl/typinfo.h"

namespace quintrel::vcl {
namespace {

constexpr const char* kFrame =
    "object AddressFrame: TAddressFrame\n  Width = 240\n"
    "  object TitleLabel: TLabel\n    Caption = 'Address'\n  end\n"
    "  object StreetEdit: TEdit\n    Hint = 'Street'\n  end\n"
    "end\n";
// One frame changes a label's font and its own position, the other only its position.
constexpr const char* kForm =
    "object CustomerForm: TCustomerForm\n  Caption = 'Customer'\n"
    "  inline HomeAddress: TAddressFrame\n    Left = 16\n"
    "    inherited TitleLabel: TLabel\n      Font.Color = clNavy\n    end\n  end\n"
    "  inline WorkAddress: TAddressFrame\n    Top = 100\n  end\n"
    "end\n";

class InlineFrames : public ::testing::Test {
protected:
  std::unique_ptr<TComponent> Read(const std::string& text, bool withFrameForms = true) {
    TReadOptions options;
    if (withFrameForms)
      options.FrameForms = [this](std::string_view className) {
        return SameText(className, frame_.Root.ClassName) ? &frame_ : nullptr;
      };
    form_ = ReadTextForm(text);
    return ReadComponent(form_, options);
  }
  std::string Written(const TComponent& root) { return WriteTextForm(WriteComponent(root, &form_)); }

  TFormStream frame_ = ReadTextForm(kFrame);
  TFormStream form_;
};

TEST_F(InlineFrames, TakeTheirOwnFormAndTheFormsChanges) {
  std::unique_ptr<TComponent> root = Read(kForm);
  TComponent* home = root->FindComponent("HomeAddress");
  TComponent* work = root->FindComponent("WorkAddress");
  ASSERT_TRUE(home && work);
  auto* homeTitle = dynamic_cast<TLabel*>(home->FindComponent("TitleLabel"));
  auto* workTitle = dynamic_cast<TLabel*>(work->FindComponent("TitleLabel"));
  ASSERT_TRUE(homeTitle && workTitle);
  // The frame's components belong to the frame, once each, with its own form's values
  // and only the form's changes added.
  EXPECT_EQ(home->ComponentCount(), 2);
  EXPECT_EQ(homeTitle->Caption(), "Address");
  EXPECT_EQ(workTitle->Caption(), "Address");
  EXPECT_EQ(GetStrProp(work->FindComponent("StreetEdit"), "Hint"), "Street");
  EXPECT_EQ(homeTitle->Font()->Color(), clNavy);
  EXPECT_NE(workTitle->Font()->Color(), clNavy);
  EXPECT_EQ(GetOrdProp(home, "Left"), 16);
  EXPECT_EQ(GetOrdProp(work, "Width"), 240);

  // Written back, the frames' components are inherited ones with their values, changes
  // made after reading included.
  homeTitle->SetCaption("Anschrift");
  const std::string text = Written(*root);
  const size_t work_at = text.find("inline WorkAddress: TAddressFrame");
  ASSERT_NE(work_at, std::string::npos) << text;
  const std::string homeText = text.substr(0, work_at), workText = text.substr(work_at);
  EXPECT_NE(homeText.find("inherited TitleLabel: TLabel"), std::string::npos) << text;
  EXPECT_NE(homeText.find("Caption = 'Anschrift'"), std::string::npos) << text;
  EXPECT_NE(homeText.find("Font.Color = clNavy"), std::string::npos) << text;
  EXPECT_NE(workText.find("Caption = 'Address'"), std::string::npos) << text;
  EXPECT_NE(workText.find("inherited StreetEdit: TEdit"), std::string::npos) << text;
}

TEST_F(InlineFrames, UnknownOnesAreTheInlineStreamAloneAndNestingEnds) {
  // Without the frame's form the form reads and writes as it always did, byte for byte.
  std::unique_ptr<TComponent> root = Read(kForm, false);
  EXPECT_EQ(root->FindComponent("HomeAddress")->FindComponent("StreetEdit"), nullptr);
  EXPECT_EQ(Written(*root), kForm);

  // A frame whose own form embeds the frame itself is built once; the inner one comes
  // from its inline stream alone.
  frame_ = ReadTextForm(std::string(kFrame).insert(std::string(kFrame).size() - 4,
                                                   "  inline Inner: TAddressFrame\n    Top = 50\n  end\n"));
  root = Read(kForm);
  TComponent* inner = root->FindComponent("HomeAddress")->FindComponent("Inner");
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->FindComponent("TitleLabel"), nullptr);
  EXPECT_EQ(GetOrdProp(inner, "Top"), 50);
}

}  // namespace
}  // namespace quintrel::vcl
