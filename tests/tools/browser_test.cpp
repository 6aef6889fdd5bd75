// The component browser's selections: the leaves it keeps from rendered values, the
// selection tree and its file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/ide/host.h"
#include "platform/ide/project.h"
#include "platform/vcl/filer.h"
#include "tests/module/module_fixture.h"
#include "tests/testdata.h"
#include "tools/browser.h"
#include "tools/selection.h"

namespace quintrel::tools {
namespace {

using module::test::ModuleFixture;
const auto Message = module::test::MessageOf<rtl::Exception>;

TEST(SelectedLeaves, LongValuesAreCutInTheTreeAndKeptWhole) {
  const std::string hint(300, 'h');
  TSelectedProperty p = MakeSelectedProperty("Hint", "'" + hint + "'");
  EXPECT_EQ(p.Value, "'" + hint.substr(0, 254));  // 255 characters shown, the quote first
  EXPECT_EQ(p.Data, hint);
  EXPECT_EQ(p.FullValue(), "'" + hint + "'");

  // A short text, a set and an enumeration are kept whole with nothing attached.
  EXPECT_EQ(MakeSelectedProperty("Caption", "'OK'").Data, "");
  EXPECT_EQ(MakeSelectedProperty("Caption", "'" + std::string(253, 'x') + "'").Data, "");  // 255 characters
  EXPECT_EQ(MakeSelectedProperty("Alignment", std::string(300, 't')).Value.size(), 300u);

  // A long set keeps its brackets in the attached text; characters, not bytes, count.
  std::string set = "[" + std::string(300, 'a') + "]";
  EXPECT_EQ(MakeSelectedProperty("Options", set).Data, set);
  std::string umlauts;
  for (int i = 0; i < 255; ++i) umlauts += "\xC3\xA4";
  EXPECT_EQ(MakeSelectedProperty("Caption", "'" + umlauts.substr(0, 253 * 2) + "'").Data, "");
  EXPECT_EQ(MakeSelectedProperty("Caption", "'" + umlauts + "'").Value, "'" + umlauts.substr(0, 254 * 2));

  // A graphic keeps "{Class size}" and its bytes, a zero byte included.
  TSelectedProperty g = MakeSelectedProperty("Picture.Data", "{TBitmap 00000003}", std::string("B\0M", 3));
  EXPECT_EQ(g.Value, "{TBitmap 00000003}");
  EXPECT_EQ(g.Data.size(), 3u);
  EXPECT_EQ(GraphicByteCount(g.Value), 3);
  EXPECT_EQ(GraphicByteCount("{ 00000000}"), 0);
  EXPECT_EQ(GraphicByteCount("{TBitmap 0000003}"), -1);
  EXPECT_EQ(GraphicByteCount("{TBitmap 0000003G}"), -1);
}

TEST(SelectionTree, AddReusesNodesAndRemovePrunesEmptyOnes) {
  TSelection s;
  s.Add("Form1", "", "", "", {"Caption", "'Main'", ""});
  s.Add("Form1", "TForm1", "Button1", "TButton", {"Caption", "'OK'", ""});
  s.Add("Form1", "", "Button1", "", {"Hint", "'Press'", ""});
  // A property known only by name does not wipe a value already selected.
  s.Add("Form1", "", "Button1", "", {"Caption", "", ""});
  ASSERT_EQ(s.Forms.size(), 1u);
  EXPECT_EQ(s.Forms[0].ClassName, "TForm1");
  ASSERT_EQ(s.Forms[0].Components.size(), 1u);
  EXPECT_EQ(s.Forms[0].Components[0].ClassName, "TButton");
  EXPECT_EQ(s.FindProperty({"Form1", "Button1", "Caption"})->Value, "'OK'");
  EXPECT_EQ(s.PropertyCount(), 3u);

  EXPECT_TRUE(s.Remove({"Form1", "Button1", "Caption"}));
  EXPECT_TRUE(s.Remove({"Form1", "Button1", "Hint"}));
  EXPECT_EQ(s.FindProperties("Form1", "Button1"), nullptr);
  EXPECT_FALSE(s.Remove({"Form1", "Button1", "Hint"}));
  EXPECT_TRUE(s.Remove({"Form1", "", "Caption"}));
  EXPECT_TRUE(s.Forms.empty());
}

// The browser lists a form by the head of its file; the head must name what the full
// reader finds, text and binary alike.
void ExpectHeadsAgree(const std::vector<std::filesystem::path>& forms, bool needBoth) {
  int text = 0, binary = 0;
  for (const auto& path : forms) {
    const host::TFormHead head = host::ReadFormHead(path.string());
    const vcl::TFormStream form = vcl::LoadFormFile(path.string());
    EXPECT_EQ(head.Name, form.Root.Name) << path;
    EXPECT_EQ(head.ClassName, form.Root.ClassName) << path;
    EXPECT_EQ(head.Binary, form.Notation == vcl::TFormNotation::fnBinary) << path;
    ++(head.Binary ? binary : text);
  }
  EXPECT_GT(text, 0);
  if (needBoth) {
    EXPECT_GT(binary, 0);
  }
}

TEST(FormHeads, EveryFormOfTheTestDataGivesItsNameAndClass) { ExpectHeadsAgree(testdata::DataForms(), false); }

TEST(CorpusExtraFormHeads, EveryFormOfTheCorpusGivesItsNameAndClass) {
  QUINTREL_REQUIRE_EXTRA_CORPUS();
  ExpectHeadsAgree(testdata::ExtraForms(), true);
}

class FormHeadFiles : public ModuleFixture {
protected:
  host::TFormHead Head(const std::string& bytes) {
    std::ofstream(Path("Form.dfm"), std::ios::binary) << bytes;
    return host::ReadFormHead(Path("Form.dfm"));
  }
};

TEST_F(FormHeadFiles, BinaryHeadsAreReadFieldByField) {
  const std::string stream = std::string("TPF0\x06TForm1\x05" "Form1\x00\x00", 18);
  // A resource name holding the signature itself.
  const std::string header = std::string("\xFF\x0A\x00XTPF0\x00\x30\x10", 11) + std::string("\x10\x00\x00\x00", 4);
  host::TFormHead h = Head(header + stream);
  EXPECT_EQ(h.Name, "Form1");
  EXPECT_EQ(h.ClassName, "TForm1");
  EXPECT_TRUE(h.Binary);
  // Flags of an inherited root with a child position (a 16-bit integer).
  h = Head(std::string("TPF0\xF3\x03\x01\x00\x06TForm1\x05" "Form1\x00\x00", 22));
  EXPECT_EQ(h.ClassName, "TForm1");
  EXPECT_EQ(h.Name, "Form1");
  // 0xF8 and above are lengths, not flags.
  const std::string longClass(0xF8, 'C');
  h = Head("TPF0\xF8" + longClass + std::string("\x01X\x00\x00", 4));
  EXPECT_EQ(h.ClassName, longClass);
  EXPECT_EQ(h.Name, "X");
  // Text heads of every keyword.
  EXPECT_EQ(Head("inline Frame1: TFrame1\r\nend\r\n").ClassName, "TFrame1");
  EXPECT_EQ(Head("inherited Dlg: TDlg\nend\n").Name, "Dlg");
}

// A project of a text form and a binary one, open in a host that is the tool services.
class Browser : public ModuleFixture {
protected:
  void SetUp() override {
    ModuleFixture::SetUp();
    Write("App.bpr", "OBJFILES = App.obj\r\n");
    Write("App.cpp", "USEFORM(\"Main.cpp\", MainForm);\r\nUSEUNIT(\"Util.cpp\");\r\nUSEFORM(\"About.cpp\", AboutBox);\r\n");
    Write("Main.cpp", "");
    Write("Util.cpp", "");
    Write("About.cpp", "");
    Write("Main.dfm", "object MainForm: TMainForm\r\n"
                      "  Caption = 'Main'\r\n"
                      "  object Button1: TButton\r\n"
                      "    Hint = '" + hint_ + "'\r\n"
                      "    Anchors = [akRight, akLeft]\r\n"
                      "    Caption = ''\r\n"
                      "  end\r\n"
                      "  object ListBox1: TListBox\r\n"
                      "    Items.Strings = (\r\n      'a'\r\n      'b'\r\n      'c'\r\n      'd')\r\n"
                      "  end\r\n"
                      "  object Image1: TImage\r\n  end\r\n"
                      "  object OpenDialog1: TOpenDialog\r\n    Title = 'Pick one'\r\n  end\r\n"
                      "end\r\n");
    const vcl::TFormStream about = vcl::ReadTextForm(
        "object AboutBox: TAboutBox\r\n  Caption = 'About'\r\n  object OKButton: TButton\r\n    Caption = 'OK'\r\n"
        "  end\r\nend\r\n");
    Write("About.dfm", vcl::WriteBinaryForm(vcl::ToBinaryNotation(about)));
    host_.OpenProject(Path("App.bpr"));
  }

  void Write(const std::string& name, const std::string& data) { std::ofstream(Path(name), std::ios::binary) << data; }

  TComponentBrowser Open() {
    return TComponentBrowser(host_, [](const std::string& unit) -> std::optional<TFormFileHead> {
      const std::string dfm = host::CompanionFile(unit, ".dfm");
      if (dfm.empty() || host::ExtensionOf(unit) != ".cpp") return std::nullopt;
      const host::TFormHead head = host::ReadFormHead(dfm);
      return TFormFileHead{dfm, head.Name, head.ClassName, head.Binary};
    });
  }

  const std::string hint_ = std::string(150, 'h') + std::string(150, 'i');
  host::TDevelopmentHost host_;
};

TEST_F(Browser, ListsTextAndBinaryFormsAndLoadsOneAtATime) {
  TComponentBrowser browser = Open();
  ASSERT_EQ(browser.Forms().size(), 2u);
  EXPECT_EQ(browser.Forms()[0].NodeText(), "MainForm: TMainForm");
  EXPECT_EQ(browser.Forms()[0].UnitIndex, 2);
  EXPECT_EQ(browser.Forms()[1].NodeText(), "AboutBox: TAboutBox");
  EXPECT_TRUE(browser.Forms()[1].Head.Binary);
  EXPECT_EQ(browser.FindForm("aboutbox"), &browser.Forms()[1]);

  std::optional<TSelectedForm> about = browser.LoadForm(browser.Forms()[1]);
  ASSERT_TRUE(about);
  ASSERT_EQ(about->Components.size(), 1u);
  EXPECT_EQ(about->Components[0].ClassName, "TButton");
  EXPECT_FALSE(host_.IsFileOpen(Path("About.cpp"))) << "the browser closes what it opened";

  // Form pseudo-properties, and a leaf for every writable property only.
  std::optional<TSelectedForm> main = browser.LoadForm(browser.Forms()[0]);
  ASSERT_TRUE(main);
  const auto value = [](const std::vector<TSelectedProperty>& leaves, const std::string& path) {
    for (const TSelectedProperty& p : leaves)
      if (p.Path == path) return p.Value;
    return std::string("(none)");
  };
  EXPECT_EQ(value(main->Properties, "Caption"), "'Main'");
  EXPECT_EQ(value(main->Properties, "ShowLanguageSelectionInSystemMenu"), "True");
  EXPECT_EQ(value(main->Properties, "SystemMenuCloseCaption").substr(0, 7), "'&Close");
  EXPECT_EQ(value(main->Properties, "ComponentCount"), "(none)");

  // A set shows its members in ascending order; the hint is cut in the tree, whole attached.
  const TSelectedComponent& button = main->Components[0];
  EXPECT_EQ(value(button.Properties, "Anchors"), "[akLeft, akRight]");
  EXPECT_EQ(value(button.Properties, "Hint"), "'" + hint_.substr(0, 254));
  EXPECT_EQ(value(main->Components[1].Properties, "Items.Strings[3]"), "'d'");
}

TEST_F(Browser, AutoSelectsByTheIncludeListWithIndexesAsStars) {
  TComponentBrowser browser = Open();
  TSelection selection;
  TAutoResult r = browser.Auto({"Caption", "Hint", "Items.Strings[*]"}, {}, selection);
  EXPECT_EQ(r.Forms, 2u);
  // The empty caption of the button is passed over; every line of the list is taken.
  EXPECT_EQ(selection.FindProperty({"MainForm", "Button1", "Caption"}), nullptr);
  ASSERT_NE(selection.FindProperty({"MainForm", "ListBox1", "Items.Strings[3]"}), nullptr);
  EXPECT_EQ(selection.FindProperty({"MainForm", "ListBox1", "Items.Strings[3]"})->Value, "'d'");
  const TSelectedProperty* hint = selection.FindProperty({"MainForm", "Button1", "Hint"});
  ASSERT_NE(hint, nullptr);
  EXPECT_EQ(hint->Data, hint_);
  EXPECT_EQ(selection.FindForm("AboutBox")->ClassName, "TAboutBox");
  EXPECT_EQ(r.Included, selection.PropertyCount());

  TAutoOptions keep;
  keep.SkipEmpty = false;
  keep.OnlyForm = "MainForm";
  TSelection all;
  r = browser.Auto({"Caption"}, keep, all);
  EXPECT_EQ(r.Forms, 1u);
  ASSERT_NE(all.FindProperty({"MainForm", "Button1", "Caption"}), nullptr);
  EXPECT_EQ(all.FindProperty({"MainForm", "Button1", "Caption"})->Value, "''");
  EXPECT_EQ(all.FindForm("AboutBox"), nullptr);
}

// A control whose class publishes no BiDiMode gets one from the system: right to left on
// a system enabled for Middle-East languages.
TEST_F(Browser, BiDiModeOfControlsThatPublishNone) {
  TComponentBrowser browser = Open();
  const auto bidi = [&]() {
    std::optional<TSelectedForm> main = browser.LoadForm(browser.Forms()[0]);
    std::string image, button;
    for (const TSelectedComponent& c : main->Components)
      for (const TSelectedProperty& p : c.Properties)
        if (p.Path == "BiDiMode") (c.Name == "Image1" ? image : button) = p.Value;
    return image + " " + button;
  };
  EXPECT_EQ(bidi(), "bdLeftToRight bdLeftToRight");
  const char* saved = std::getenv("QUINTREL_ACP");
  const std::string before = saved ? saved : "";
  setenv("QUINTREL_ACP", "1256", 1);
  const std::string arabic = bidi();
  if (before.empty()) {
    unsetenv("QUINTREL_ACP");
  } else {
    setenv("QUINTREL_ACP", before.c_str(), 1);
  }
  // The button's own property keeps its value; the image takes the system's direction.
  EXPECT_EQ(arabic, "bdRightToLeft bdLeftToRight");
}

// A common dialog lists what its window shows, each line once.
TEST_F(Browser, DialogsListTheLinesTheirWindowsShowOnce) {
  TComponentBrowser browser = Open();
  std::optional<TSelectedForm> main = browser.LoadForm(browser.Forms()[0]);
  ASSERT_TRUE(main);
  const TSelectedComponent& dialog = main->Components.back();
  ASSERT_EQ(dialog.Name, "OpenDialog1");
  std::set<std::string> paths;
  for (const TSelectedProperty& p : dialog.Properties) EXPECT_TRUE(paths.insert(p.Path).second) << p.Path;
  EXPECT_TRUE(paths.count("Caption[1]"));
  EXPECT_TRUE(paths.count("Title"));
}

TEST_F(Browser, TreePathsNameFormsComponentsAndProperties) {
  const std::vector<std::string> comps = {"Button1", "Font"};
  const auto split = [&](const char* path) {
    TSelectionPath p = SplitTreePath(path, comps);
    return p.Form + "|" + p.Component + "|" + p.Property;
  };
  EXPECT_EQ(split("MainForm"), "MainForm||");
  EXPECT_EQ(split("MainForm.Caption"), "MainForm||Caption");
  EXPECT_EQ(split("MainForm.Button1"), "MainForm|Button1|");
  EXPECT_EQ(split("MainForm.Button1.Font.Name"), "MainForm|Button1|Font.Name");
  EXPECT_EQ(split("MainForm.Items.Strings[3]"), "MainForm||Items.Strings[3]");
  // A component named like a property is the component.
  EXPECT_EQ(split("MainForm.Font.Name"), "MainForm|Font|Name");
}

class SelectionFiles : public ModuleFixture {
protected:
  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(Path(name), std::ios::binary) << text;
    return Path(name);
  }
  std::string Refusal(const std::string& text) {
    const std::string file = Write("bad.json", text);
    std::string m = Message([&] { ReadSelectionFile(file); });
    EXPECT_EQ(m.rfind(file + ": ", 0), 0u) << m;
    EXPECT_EQ(m.find('\n'), std::string::npos) << m;
    return m;
  }
  static std::string Doc(const std::string& properties) {
    return R"({"format": "quintrel-selection", "version": 1, "forms": [{"name": "F", "class": "TF",
      "properties": )" + properties + "}]}";
  }
};

TEST_F(SelectionFiles, RoundTripKeepsEveryLevelAndEveryByte) {
  TSelection s;
  const std::string longText = std::string(150, 'a') + std::string(1, '\0') + std::string(150, 'b');
  s.Add("Form1", "TForm1", "", "", MakeSelectedProperty("Hint", "'" + longText + "'"));
  s.Add("Form1", "TForm1", "Image1", "TImage",
        MakeSelectedProperty("Picture.Data", "{TBitmap 00000004}", std::string("\0\1\2\3", 4)));
  s.Add("Form1", "TForm1", "Image1", "TImage", {"Tag", "", ""});
  s.Add("About", "TAboutBox", "Label1", "TLabel", MakeSelectedProperty("Font.Style", "[fsBold, fsUnderline]"));

  const std::string json = SelectionToJson(s);
  TSelection back = ReadSelectionFile(Write("sel.json", json));
  EXPECT_EQ(SelectionToJson(back), json);
  const TSelectedProperty* hint = back.FindProperty({"Form1", "", "Hint"});
  ASSERT_NE(hint, nullptr);
  EXPECT_EQ(hint->Data, longText);  // the zero byte does not cut it
  EXPECT_EQ(back.FindProperty({"Form1", "Image1", "Picture.Data"})->Data, std::string("\0\1\2\3", 4));
  EXPECT_FALSE(back.FindProperty({"Form1", "Image1", "Tag"})->HasValue());
  EXPECT_EQ(back.FindForm("About")->Components[0].ClassName, "TLabel");
}

TEST_F(SelectionFiles, HostileFilesAreRefusedWithOneLine) {
  // Attached counts are checked, not trusted.
  EXPECT_NE(Refusal(Doc(R"([{"path": "Picture.Data", "value": "{TBitmap 00000010}", "data": "AAEC"}])")).find("16 bytes but 3"),
            std::string::npos);
  EXPECT_NE(Refusal(Doc(R"([{"path": "Picture.Data", "value": "{TBitmap 000010}", "data": ""}])")).find("graphic"),
            std::string::npos);
  Refusal(Doc(R"([{"path": "Caption", "value": "'abc", "data": "eHl6"}])"));  // data not the text shown
  Refusal(Doc(R"([{"path": "Caption", "value": "taLeft", "data": "eHl6"}])"));
  Refusal(Doc(R"([{"path": "Caption", "value": "'a'", "data": "e*l6"}])"));
  Refusal(Doc(R"([{"path": "Caption", "value": 5}])"));
  Refusal(Doc(R"([{"path": "Cap tion"}])"));
  Refusal(Doc(R"([{"path": "Caption"}, {"path": "Caption"}])"));
  Refusal(Doc(R"([{"path": ")" + std::string(2000, 'p') + R"("}])"));
  Refusal(R"({"format": "something else", "version": 1, "forms": []})");
  Refusal(R"({"format": "quintrel-selection", "version": 2, "forms": []})");
  Refusal(R"({"format": "quintrel-selection", "version": 1, "forms": {}})");
  Refusal(R"({"format": "quintrel-selection", "version": 1, "forms": [)");
  Refusal("[1]");
  EXPECT_NE(Refusal(std::string(100000, '[') + std::string(100000, ']')).find("nested deeper"), std::string::npos);

  // Not a regular file: refused before anything is read.
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  EXPECT_EQ(Message([&] { ReadSelectionFile(Path("fifo")); }).rfind(Path("fifo") + ": ", 0), 0u);
}

}  // namespace
}  // namespace quintrel::tools
