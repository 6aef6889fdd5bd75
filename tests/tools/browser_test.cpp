// The component browser's selections: the leaves it keeps from rendered values, the
// selection tree and its file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "tests/module/module_fixture.h"
#include "tools/selection.h"

namespace quintrel::tools {
namespace {

using module::test::ModuleFixture;

std::string Message(const std::function<void()>& f) {
  try {
    f();
  } catch (const rtl::Exception& e) {
    return e.Message();
  }
  return "(no error)";
}

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
