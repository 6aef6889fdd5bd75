// The form picture: controls where the window manager puts them, mirrored, the selected
// object's control outlined, clipped texts marked, menus opened down to the selection;
// and the example project's forms drawn through a translator in German and Hebrew.
#include "editors/formsvg.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>

#include "editors/formpreview.h"
#include "platform/vcl/menus.h"
#include "platform/vcl/stdctrls.h"
#include "platform/vcl/typinfo.h"
#include "platform/win32/winuser.h"
#include "tools/toolsession.h"

namespace quintrel::editors::test {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;

struct TBox {
  int X = -1, Y = -1, W = -1, H = -1;
  bool operator==(const TBox&) const = default;
};
std::ostream& operator<<(std::ostream& os, const TBox& b) {
  return os << "{" << b.X << "," << b.Y << "," << b.W << "," << b.H << "}";
}

// The markup of the control named `name`: from its <g> to the group's end.
std::string Group(const std::string& svg, const std::string& name) {
  const std::size_t at = svg.find("data-name=\"" + name + "\"");
  if (at == std::string::npos) return {};
  const std::size_t start = svg.rfind("<g ", at);
  return svg.substr(start, svg.find("</g>", at) - start);
}

TBox RectOf(const std::string& markup) {
  static const std::regex rect(R"re(<rect (?:class="[^"]*" )?x="(-?\d+)" y="(-?\d+)" width="(\d+)" height="(\d+)")re");
  std::smatch m;
  if (!std::regex_search(markup, m, rect)) return {};
  return {std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3]), std::stoi(m[4])};
}

// The rectangles drawn with a mark class (selected-mark, clipped-mark), in order.
std::vector<TBox> Marks(const std::string& svg, const std::string& cls) {
  std::vector<TBox> boxes;
  const std::string key = "<rect class=\"" + cls + "\"";
  for (std::size_t at = svg.find(key); at != std::string::npos; at = svg.find(key, at + 1))
    boxes.push_back(RectOf(svg.substr(at, svg.find("/>", at) - at)));
  return boxes;
}

class FormSvgTest : public ::testing::Test {
protected:
  void SetUp() override {
    form_ = std::make_unique<vcl::TForm>();
    form_->SetName("Main");
    form_->SetCaption("Settings");
    form_->SetBounds(100, 50, 300, 200);
    form_->Font()->SetName("Arial");
    form_->Font()->SetHeight(-11);
    ok_ = Control<vcl::TButton>("OkButton", 20, 130, 75, 25);
    ok_->SetCaption("&OK");
    label_ = Control<vcl::TLabel>("NameLabel", 10, 12, 60, 13);
    label_->SetCaption("Name:");
    catalogued_.Name = "Main";
    catalogued_.Leaves = {Leaf("OkButton", "Caption", 41), Leaf("NameLabel", "Caption", 42), Leaf("", "Caption", 43)};
  }
  template <class T>
  T* Control(const char* name, int left, int top, int width, int height) {
    T* control = form_->Add<T>(name);
    control->SetParent(form_.get());
    control->SetBounds(left, top, width, height);
    return control;
  }
  static tools::TObjectLeaf Leaf(const char* component, const char* property, uint32_t id) {
    tools::TObjectLeaf leaf;
    leaf.Component = component;
    leaf.Property = property;
    leaf.Object.Ident = id;
    return leaf;
  }
  // Where the window manager has a window, relative to the form's window.
  TBox WindowBox(vcl::TWinControl& control) {
    win32::RECT form{}, r{};
    win32::GetWindowRect(form_->Handle(), form);
    win32::GetWindowRect(control.Handle(), r);
    return {r.left - form.left, r.top - form.top, r.right - r.left, r.bottom - r.top};
  }
  int FormWidth() {
    win32::RECT form{};
    win32::GetWindowRect(form_->Handle(), form);
    return form.right - form.left;
  }
  // The name label's left edge in the picture: it has no window, its bounds are in the
  // form's client area.
  int LabelLeft() {
    win32::POINT client{0, 0};
    win32::ClientToScreen(form_->Handle(), client);
    win32::RECT form{};
    win32::GetWindowRect(form_->Handle(), form);
    return client.x - form.left + 10;
  }
  std::string Svg(TFormSvgOptions options = {}) { return FormSvg(*form_, catalogued_, options); }

  std::unique_ptr<vcl::TForm> form_;
  vcl::TButton* ok_ = nullptr;
  vcl::TLabel* label_ = nullptr;
  tools::TObjectForm catalogued_;
};

TEST_F(FormSvgTest, ControlsSitWhereTheWindowManagerPutsThemAndCarryTheirObjects) {
  const std::string svg = Svg();
  const TBox button = WindowBox(*ok_);
  EXPECT_EQ(RectOf(Group(svg, "OkButton")), button);
  const std::string label = Group(svg, "NameLabel");
  EXPECT_THAT(label, HasSubstr("data-object=\"42\""));
  EXPECT_THAT(label, HasSubstr(">Name:</text>"));
  const std::regex x(R"re(<text x="(\d+)" y="(\d+)")re");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(label, m, x)) << label;
  EXPECT_EQ(std::stoi(m[1]), LabelLeft());
  // The accelerator is underlined, the ampersand not drawn.
  const std::string ok = Group(svg, "OkButton");
  EXPECT_THAT(ok, HasSubstr("<tspan text-decoration=\"underline\">O</tspan>K"));
  // The form's caption is in its title bar, and the form carries its own objects.
  EXPECT_NE(Group(svg, "Main").find("data-object=\"43\""), std::string::npos);
  EXPECT_NE(Group(svg, "Main").find(">Settings</text>"), std::string::npos);
}

TEST_F(FormSvgTest, MirroringPutsEveryControlAtTheOtherSideAndTextsReadFromTheRight) {
  TFormSvgOptions options;
  options.Mirror = true;
  options.RightToLeft = true;
  const std::string svg = Svg(options);
  const TBox button = WindowBox(*ok_);
  EXPECT_EQ(RectOf(Group(svg, "OkButton")), (TBox{FormWidth() - button.X - button.W, button.Y, button.W, button.H}));
  const std::string label = Group(svg, "NameLabel");
  EXPECT_THAT(label, HasSubstr("direction=\"rtl\""));
  // The label's text ends at the label's right edge, which the mirror moved left.
  std::smatch m;
  ASSERT_TRUE(std::regex_search(label, m, std::regex(R"re(<text x="(\d+)")re"))) << label;
  EXPECT_EQ(std::stoi(m[1]), FormWidth() - LabelLeft());
}

TEST_F(FormSvgTest, TheSelectedObjectsControlIsOutlinedAndAClippedTextMarked) {
  TFormSvgOptions options;
  options.Selected = 41;
  options.Clipped = {"okbutton"};  // names compare ignoring case
  const std::string svg = Svg(options);
  const TBox button = WindowBox(*ok_);
  EXPECT_NE(Group(svg, "OkButton").find("class=\"control ctl selected clipped\""), std::string::npos);
  EXPECT_EQ(Group(svg, "NameLabel").find("selected"), std::string::npos);
  EXPECT_EQ(Marks(svg, "selected-mark"), (std::vector<TBox>{{button.X - 2, button.Y - 2, button.W + 4, button.H + 4}}));
  EXPECT_EQ(Marks(svg, "clipped-mark"), (std::vector<TBox>{{button.X - 1, button.Y - 1, button.W + 2, button.H + 2}}));
  // Nothing selected, nothing outlined.
  EXPECT_TRUE(Marks(Svg(), "selected-mark").empty());
}

TEST_F(FormSvgTest, ATextLongerThanItsControlIsCutAtTheControlsEdge) {
  label_->SetCaption("A caption far too long for a label of sixty pixels");
  vcl::SetOrdProp(label_, vcl::GetPropInfo(label_, "AutoSize"), 0);
  const std::string fixed = Group(Svg(), "NameLabel");
  EXPECT_THAT(fixed, HasSubstr("clip-path="));
  // An autosized label grows instead.
  vcl::SetOrdProp(label_, vcl::GetPropInfo(label_, "AutoSize"), 1);
  EXPECT_EQ(Group(Svg(), "NameLabel").find("clip-path="), std::string::npos);
}

TEST_F(FormSvgTest, TheMenuOfTheSelectedItemHangsOpenBeneathTheBar) {
  auto* menu = form_->Add<vcl::TMainMenu>("MainMenu1");
  form_->SetMenu(menu);
  auto item = [&](const char* name, const char* caption, vcl::TMenuItem* parent) {
    auto* i = form_->Add<vcl::TMenuItem>(name);
    i->SetCaption(caption);
    parent->Add(i);
    return i;
  };
  vcl::TMenuItem* file = item("FileMenu", "&File", menu->Items());
  item("FileOpen", "&Open...", file);
  item("FileSep", "-", file);
  item("FileExit", "E&xit", file);
  item("HelpMenu", "&Help", menu->Items());
  catalogued_.Leaves.push_back(Leaf("FileExit", "Caption", 50));
  catalogued_.Leaves.push_back(Leaf("HelpMenu", "Caption", 51));
  form_->RebuildMenuBar();

  // Closed: the bar's items only.
  std::string svg = Svg();
  EXPECT_FALSE(Group(svg, "HelpMenu").empty());
  EXPECT_TRUE(Group(svg, "FileExit").empty());
  // The bar lies between the title and the client area, above the first control.
  EXPECT_LT(RectOf(Group(svg, "FileMenu")).Y + RectOf(Group(svg, "FileMenu")).H, WindowBox(*ok_).Y);

  TFormSvgOptions options;
  options.Selected = 50;
  svg = Svg(options);
  EXPECT_FALSE(Group(svg, "FileOpen").empty());
  EXPECT_NE(Group(svg, "FileExit").find("selected"), std::string::npos);
  EXPECT_GT(RectOf(Group(svg, "FileExit")).Y, RectOf(Group(svg, "FileOpen")).Y);
}

TEST(XmlEscape, TextsCannotBreakTheMarkup) {
  EXPECT_EQ(XmlEscape("a<b>&\"c'\x01"), "a&lt;b&gt;&amp;&quot;c&#39;");
}

// The example project with the module its script builds.
class ExamplePreviewTest : public ::testing::Test {
protected:
  static std::filesystem::path Root() {
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
  }
  static void SetUpTestSuite() {
    dir_ = std::filesystem::temp_directory_path() / ("quintrel-editors-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    std::filesystem::copy(Root() / "examples" / "project", dir_ / "project");
    const std::string command = "'" + (Root() / "scripts" / "build-example-module").string() + "' '" +
                                QUINTREL_CLI + "' '" + (dir_ / "project" / "Sample.ZOD").string() + "' >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(dir_); }
  static std::string Render(const char* form, const char* language, uint32_t selected = 0) {
    const host::TProject project = host::TProject::Open((dir_ / "project").string());
    const std::string svg = RenderFormPreview(project, (dir_ / "project" / "Sample.ZOD").string(), form,
                                              module::MakeLanguageId(language[0], language[1]), selected);
    // Kept for a look in a browser when asked for.
    if (const char* keep = std::getenv("QUINTREL_KEEP_SVG"))
      std::ofstream(std::string(keep) + "/" + form + "-" + language + ".svg") << svg;
    return svg;
  }
  static inline std::filesystem::path dir_;
};

TEST_F(ExamplePreviewTest, TheFormIsSwitchedAndHebrewIsMirroredByTheTranslator) {
  const std::string german = Render("MainForm", "de");
  EXPECT_THAT(german, HasSubstr("Beispiel-Adressbuch"));
  EXPECT_NE(Group(german, "TitleLabel").find("Meine Adressen"), std::string::npos);
  EXPECT_NE(Group(german, "GroupList").find("Lieferanten"), std::string::npos);
  EXPECT_NE(Group(german, "StatusBar").find("Bereit"), std::string::npos);
  const std::string hebrew = Render("MainForm", "he");
  EXPECT_NE(Group(hebrew, "TitleLabel").find("הכתובות שלי"), std::string::npos);
  EXPECT_NE(Group(hebrew, "TitleLabel").find("direction=\"rtl\""), std::string::npos);
  // The module mirrors the form for Hebrew: the search box moves to the other side.
  const TBox de = RectOf(Group(german, "SearchEdit")), he = RectOf(Group(hebrew, "SearchEdit"));
  std::smatch m;
  ASSERT_TRUE(std::regex_search(german, m, std::regex(R"re(<svg [^>]*width="(\d+)")re")));
  const int width = std::stoi(m[1]);
  EXPECT_EQ(he.W, de.W);
  EXPECT_EQ(he.X, width - de.X - de.W);
}

TEST_F(ExamplePreviewTest, TheSelectedObjectOutlinesItsControlAndAnUnknownFormIsNamed) {
  // The object of the German title label's caption, found in the picture itself.
  const std::string plain = Render("MainForm", "de");
  std::smatch m;
  const std::string title = Group(plain, "TitleLabel");
  ASSERT_TRUE(std::regex_search(title, m, std::regex(R"re(data-object="(\d+))re"))) << title;
  const std::string svg = Render("MainForm", "de", static_cast<uint32_t>(std::stoul(m[1])));
  EXPECT_NE(Group(svg, "TitleLabel").find("selected"), std::string::npos);
  EXPECT_EQ(Marks(svg, "selected-mark").size(), 1u);
  // The data module is drawn as its designer surface.
  EXPECT_NE(Render("DataModule1", "de").find("<svg"), std::string::npos);
  try {
    Render("NoSuchForm", "de");
    FAIL() << "an unknown form was drawn";
  } catch (const tools::EToolError& e) {
    EXPECT_THAT(e.Message(), AllOf(HasSubstr("NoSuchForm"), HasSubstr("MainForm")));
  }
}

}  // namespace
}  // namespace quintrel::editors::test
