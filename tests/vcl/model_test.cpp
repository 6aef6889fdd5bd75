#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/vcl/charsets.h"
#include "platform/vcl/dbctrls.h"
#include "platform/vcl/extctrls.h"
#include "platform/vcl/forms.h"
#include "platform/vcl/menus.h"
#include "platform/vcl/streaming.h"
#include "tests/testdata.h"

using namespace quintrel::vcl;
namespace fs = std::filesystem;

namespace {

// A form of the corpus outside the repository (see tests/testdata.h).
fs::path CorpusFile(const char* name) { return quintrel::testdata::Extra(std::string("dfm/") + name); }

TComponent* FindDeep(TComponent* owner, std::string_view name) {
  for (int i = 0; i < owner->ComponentCount(); ++i) {
    TComponent* c = owner->Components(i);
    if (c->Name() == name) return c;
    if (TComponent* inner = FindDeep(c, name)) return inner;
  }
  return nullptr;
}

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}

}  // namespace

// --- code pages ----------------------------------------------------------------------------

TEST(Codecs, CodePagesAndUtf8) {
  const TTextCodec& western = Cp1252Codec();
  EXPECT_EQ(western.ToWide("\x80\xE9"), u"\u20AC\u00E9");
  EXPECT_EQ(western.ToNarrow(u"\u20AC\u00E9\u0416"), "\x80\xE9?");

  TTextCodec cyrillic = CodecForCodePage(1251);
  EXPECT_EQ(cyrillic.ToWide("\xC0\xFF"), u"\u0410\u044F");
  EXPECT_EQ(cyrillic.ToNarrow(u"\u0410\u044F"), "\xC0\xFF");

  TTextCodec korean = CodecForCodePage(949);
  std::string gulim = korean.ToNarrow(u"\uAD74\uB9BC\uCCB4");
  EXPECT_EQ(gulim.size(), 6u);
  EXPECT_EQ(korean.ToWide(gulim), u"\uAD74\uB9BC\uCCB4");

  TTextCodec utf8 = CodecForCodePage(kUtf8CodePage);
  EXPECT_EQ(utf8.ToNarrow(u"\u0641a"), "\xD9\x81" "a");
  EXPECT_EQ(CodecForCodePage(4242).CodePage, 1252);  // unknown: the western table
  EXPECT_EQ(CharsetToCodePage(204), 1251);
  EXPECT_EQ(CharsetToCodePage(1), 1252);

  // A provider takes precedence and can be removed again.
  TCodecProvider previous = SetCodecProvider([](int cp, TTextCodec& codec) {
    if (cp != 1252) return false;
    codec = TTextCodec{1252, [](std::string_view) { return std::u16string(u"!"); },
                       [](std::u16string_view) { return std::string("!"); }};
    return true;
  });
  EXPECT_EQ(CodecForCodePage(1252).ToWide("abc"), u"!");
  SetCodecProvider(previous);
  EXPECT_EQ(CodecForCodePage(1252).ToWide("abc"), u"abc");
}

// The UTF-8 code page and the UTF-8 strings of form streams write only well-formed UTF-8
// (a lone surrogate becomes U+FFFD) and read no encoded surrogate or overlong form as a
// character.
TEST(Codecs, Utf8IsWellFormedBothWays) {
  TTextCodec utf8 = CodecForCodePage(kUtf8CodePage);
  EXPECT_EQ(utf8.ToNarrow(u"a\xD800z"), "a\xEF\xBF\xBDz");
  EXPECT_EQ(utf8.ToWide("\xED\xA0\x80/\xC0\xAF"), u"\uFFFD\uFFFD\uFFFD/\uFFFD\uFFFD");
  EXPECT_EQ(TStreamValue::WideString(u"\xDC00\U0001F600", vaUTF8String).Bytes, "\xEF\xBF\xBD\xF0\x9F\x98\x80");
  TStreamValue read = TStreamValue::WideString(u"", vaUTF8String);
  read.Bytes = "\xED\xB0\x80";
  EXPECT_EQ(read.AsWide(), u"\uFFFD\uFFFD\uFFFD");
}

// --- text notation details -----------------------------------------------------------------

TEST(TextFiler, NotationVariants) {
  std::string text =
      "OBJECT F: TF\n"
      "  A = #$41'b'#67\n"
      "  B = $FF\n"
      "  C = {0A 0b\n    FF}\n"
      "  D = Null\n"
      "  E = Other.Component\n"
      "  F = 12.5c\n"
      "  G = 1.5S\n"
      "  H = 39057d\n"
      "  I = ()\n"
      "  J = <>\n"
      "  K = {}\n"
      "  L = -9223372036854775807\n"
      "End\n";
  TFormStream form = ReadTextForm(text);
  const auto& p = form.Root.Properties;
  ASSERT_EQ(p.size(), 12u);
  EXPECT_EQ(p[0].Value, TStreamValue::String("AbC"));
  EXPECT_EQ(p[1].Value.Int, 255);
  EXPECT_EQ(p[2].Value, TStreamValue::Binary("\x0A\x0B\xFF"));
  EXPECT_EQ(p[3].Value.Type, vaNull);
  EXPECT_EQ(p[4].Value, TStreamValue::Ident("Other.Component"));
  EXPECT_EQ(p[5].Value, TStreamValue::Currency(13));  // the scaled integer, rounded
  EXPECT_EQ(p[6].Value, TStreamValue::Single(1.5f));
  EXPECT_EQ(p[7].Value, TStreamValue::Float8(vaDate, 39057));
  EXPECT_EQ(p[8].Value.Type, vaList);
  EXPECT_EQ(p[9].Value.Type, vaCollection);
  EXPECT_EQ(p[10].Value, TStreamValue::Binary(""));
  EXPECT_EQ(p[11].Value.Type, vaInt64);
  // Values keep their spelling; the keywords are written in lower case.
  std::string lower = text;
  lower.replace(0, 6, "object");
  lower.replace(lower.size() - 4, 3, "end");
  EXPECT_EQ(WriteTextForm(form), lower);

  // Spelt by the writer alone.
  for (auto& prop : form.Root.Properties) prop.Value.ForgetSource();
  std::string canonical = WriteTextForm(form);
  EXPECT_NE(canonical.find("  A = 'AbC'\n"), std::string::npos);
  EXPECT_NE(canonical.find("  C = {0A0BFF}\n"), std::string::npos);
  EXPECT_NE(canonical.find("  F = 13c\n"), std::string::npos);
  EXPECT_NE(canonical.find("  G = 1.5s\n"), std::string::npos);
  EXPECT_NE(canonical.find("  H = 39057d\n"), std::string::npos);
  EXPECT_NE(canonical.find("  I = ()\n  J = <>\n  K = {}\n"), std::string::npos);

  // UTF-8 files (with a byte-order mark) carry wide text between their quotes.
  TFormStream utf8 = ReadTextForm("\xEF\xBB\xBFobject F: TF\r\n  Caption = '\xD0\x96'\r\nend\r\n", {vaUTF8String});
  EXPECT_TRUE(utf8.Utf8Text);
  EXPECT_EQ(utf8.Root.Properties[0].Value.Type, vaUTF8String);
  EXPECT_EQ(utf8.Root.Properties[0].Value.AsWide(), u"\u0416");
}

TEST(BinaryFiler, WideAndCollectionLayouts) {
  TStreamObject root;
  root.ClassName = "T";
  root.Properties.push_back({"W", TStreamValue::WideString(u"\u0416")});
  root.Properties.push_back({"U", TStreamValue::WideString(u"\u0416", vaUTF8String)});
  TStreamValue coll;
  coll.Type = vaCollection;
  coll.Items.push_back({TStreamValue::Integer(3), {{"X", TStreamValue::Boolean(true)}}});
  root.Properties.push_back({"C", coll});
  root.Properties.push_back({"S", TStreamValue::Set({"a"})});
  std::string expected = "TPF0" + Bytes({1, 'T', 0}) +                                  //
                         Bytes({1, 'W', 18, 1, 0, 0, 0, 0x16, 0x04}) +                   //
                         Bytes({1, 'U', 20, 2, 0, 0, 0, 0xD0, 0x96}) +                   //
                         Bytes({1, 'C', 14, 2, 3, 1, 1, 'X', 9, 0, 0}) +                 //
                         Bytes({1, 'S', 11, 1, 'a', 0}) + Bytes({0, 0});
  EXPECT_EQ(WriteBinaryObject(root), expected);
}

// --- graphics ------------------------------------------------------------------------------

TEST(Graphics, StreamDataKeepsItsLayout) {
  std::string bmp = "BM" + std::string(12, '\0') + Bytes({40, 0, 0, 0, 5, 0, 0, 0, 0xFD, 0xFF, 0xFF, 0xFF}) +
                    std::string(28, '\0');
  std::string prefixed = Bytes({static_cast<int>(bmp.size()), 0, 0, 0}) + bmp;
  TBitmap bitmap;
  bitmap.ReadData(prefixed);
  EXPECT_EQ(bitmap.Image(), bmp);
  EXPECT_EQ(bitmap.Width(), 5);
  EXPECT_EQ(bitmap.Height(), 3);  // a top-down bitmap has a negative height
  EXPECT_EQ(bitmap.WriteData(), prefixed);
  std::string damaged = bmp;
  damaged.replace(22, 4, Bytes({0, 0, 0, 0x80}));  // the most negative height is none
  bitmap.ReadData(Bytes({static_cast<int>(damaged.size()), 0, 0, 0}) + damaged);
  EXPECT_EQ(bitmap.Height(), 0);

  std::string ico = Bytes({0, 0, 1, 0, 1, 0, 0, 48}) + std::string(14, '\0');
  TIcon icon;
  icon.ReadData(ico);
  EXPECT_EQ(icon.WriteData(), ico);
  EXPECT_EQ(icon.Width(), 256);
  EXPECT_EQ(icon.Height(), 48);

  TPicture picture;
  TFilerContext ctx;
  ASSERT_TRUE(picture.ReadDefined("Data", TStreamValue::Binary("\x07TBitmap" + prefixed), ctx));
  ASSERT_NE(dynamic_cast<TBitmap*>(picture.Graphic()), nullptr);
  EXPECT_EQ(picture.WriteDefined("Data", nullptr, ctx)->Bytes, "\x07TBitmap" + prefixed);
  std::string jpeg = Bytes({0xFF, 0xD8, 0xFF, 0xC0, 0, 11, 8, 0, 20, 0, 30, 3});
  ASSERT_TRUE(picture.ReadDefined("Data", TStreamValue::Binary("\x0ATJPEGImage" + jpeg), ctx));
  EXPECT_EQ(picture.Graphic()->ClassName(), "TJPEGImage");
  EXPECT_TRUE(picture.Graphic()->InheritsFrom(&TGraphic::StaticClass()));
  EXPECT_EQ(picture.Width(), 30);
  EXPECT_EQ(picture.Height(), 20);
  EXPECT_FALSE(picture.ReadDefined("Data", TStreamValue::Binary("\x09TBit"), ctx));  // name cut off
  EXPECT_TRUE(picture.ReadDefined("Data", TStreamValue::Binary(std::string(1, '\0')), ctx));
  EXPECT_EQ(picture.Graphic(), nullptr);
}

// --- reading and writing live objects ----------------------------------------------------------

TEST(LiveObjects, RemovedComponentsLeaveTheStream) {
  std::string text =
      "object Form1: TForm1\r\n"
      "  Caption = 'F'\r\n"
      "  object Panel1: TPanel\r\n"
      "    Left = 0\r\n"
      "    object Label1: TLabel\r\n"
      "      Caption = 'gone'\r\n"
      "    end\r\n"
      "    object Label2: TLabel\r\n"
      "      Caption = 'kept'\r\n"
      "    end\r\n"
      "  end\r\n"
      "  object Timer1: TTimer\r\n"
      "    Left = 16\r\n"
      "    Top = 64\r\n"
      "  end\r\n"
      "end\r\n";
  TFormStream form = ReadTextForm(text);
  std::unique_ptr<TComponent> root = ReadComponent(form);
  EXPECT_EQ(root->FindComponent("Timer1")->DesignInfo(), (64 << 16) | 16);
  root->DestroyComponent(root->FindComponent("Label1"));
  std::string expected = text;
  expected.erase(expected.find("    object Label1"), std::string("    object Label1: TLabel\r\n      Caption = 'gone'\r\n    end\r\n").size());
  EXPECT_EQ(WriteTextForm(WriteComponent(*root, &form)), expected);
}

// A menu's items are written in the menu's live order; a component of a class unknown
// here among them is no item of the menu and keeps its place in the stream.
TEST(LiveObjects, AnUnknownComponentAmongMenuItemsKeepsItsPlace) {
  const auto form = [](const char* first, const char* second) {
    const auto item = [](const char* name) {
      return "      object " + std::string(name) + "1: TMenuItem\r\n        Caption = '" + name + "'\r\n      end\r\n";
    };
    return "object Form1: TForm\r\n  Menu = MainMenu1\r\n  object MainMenu1: TMainMenu\r\n"
           "    object File1: TMenuItem\r\n      Caption = 'File'\r\n" +
           item(first) + "      object Odd1: TAcmeMenuThing\r\n        Tag = 3\r\n      end\r\n" + item(second) +
           "    end\r\n  end\r\nend\r\n";
  };
  TFormStream stream = ReadTextForm(form("Open", "Exit"));
  std::unique_ptr<TComponent> root = ReadComponent(stream);
  EXPECT_EQ(WriteTextForm(WriteComponent(*root, &stream)), form("Open", "Exit"));
  auto* file = dynamic_cast<TMenuItem*>(root->FindComponent("File1"));
  auto* exit = dynamic_cast<TMenuItem*>(root->FindComponent("Exit1"));
  ASSERT_TRUE(file && exit);
  file->Remove(exit);
  file->Insert(0, exit);
  EXPECT_EQ(WriteTextForm(WriteComponent(*root, &stream)), form("Exit", "Open"));
}

// Classes the streams alone describe learn their properties from the values: what one
// form's unknown status bar made of its panels must not decide another's.
TEST(LiveObjects, GenericPartsOfDifferentClassesAreTypedApart) {
  const auto form = [](const std::string& barClass, const std::string& width, const std::string& font) {
    return "object F: TForm\r\n  object Bar: " + barClass + "\r\n    Panels = <\r\n      item\r\n        Width = " +
           width + "\r\n      end>\r\n    Extra.Size = " + font + "\r\n  end\r\nend\r\n";
  };
  TFormStream numbers = ReadTextForm(form("TAcmeStatusBar", "90", "8"));
  std::unique_ptr<TComponent> first = ReadComponent(numbers);
  TFormStream texts = ReadTextForm(form("TOtherStatusBar", "'90'", "'large'"));
  std::unique_ptr<TComponent> second = ReadComponent(texts);
  auto* panels = dynamic_cast<TCollection*>(GetObjectProp(second->FindComponent("Bar"), "Panels"));
  ASSERT_TRUE(panels && panels->Count() == 1);
  EXPECT_EQ(GetStrProp(panels->Items(0), "Width"), "90");
  EXPECT_EQ(WriteTextForm(WriteComponent(*second, &texts)), form("TOtherStatusBar", "'90'", "'large'"));
}

TEST(LiveObjects, ReadIntoAnExistingInstance) {
  TForm form;
  TFormStream stream = ReadTextForm("object Main: TForm\n  Caption = 'Hi'\n  ClientWidth = 300\nend\n");
  ReadComponentInto(form, stream);
  EXPECT_EQ(form.Name(), "Main");
  EXPECT_EQ(form.Caption(), "Hi");
  EXPECT_EQ(form.ClientWidth(), 300);
  EXPECT_FALSE(form.InState(csLoading));
}

TEST(CorpusExtraLiveObjects, ReferencesToOtherModules) {
  QUINTREL_REQUIRE_EXTRA_CORPUS();
  auto module = std::make_unique<TDataModule>();
  module->SetName("DataModule2");
  TComponent* source = module->Add<TComponent>("CitySourse");
  TFormStream form = LoadFormFile(CorpusFile("chrp19-delphi__city.dfm").string());
  std::unique_ptr<TComponent> city = ReadComponent(form);
  auto* grid = dynamic_cast<TDBGrid*>(city->FindComponent("DBGrid1"));
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(GetObjectProp(grid, "DataSource"), source);
  ASSERT_GT(grid->Columns()->Count(), 0);
  EXPECT_FALSE(GetStrProp(grid->Columns()->Items(0)->Title(), "Caption").empty());
  std::string written = WriteTextForm(WriteComponent(*city, &form));
  EXPECT_NE(written.find("DataSource = DataModule2.CitySourse"), std::string::npos);
}

TEST(LiveObjects, InlineFramesOwnTheirComponents) {
  std::unique_ptr<TComponent> main =
      LoadComponentFile(quintrel::testdata::Data("dfm/codesnip__fmmain.dfm").string());
  TComponent* frame = FindDeep(main.get(), "frmOverview");
  ASSERT_NE(frame, nullptr);
  EXPECT_TRUE(frame->InheritsFrom(&TFrame::StaticClass()));
  EXPECT_EQ(frame->ClassName(), "TOverviewFrame");
  // The frame's own components belong to the frame.
  EXPECT_NE(frame->FindComponent("pnlTitle"), nullptr);
  EXPECT_EQ(main->FindComponent("pnlTitle"), nullptr);
}

TEST(CorpusExtraLiveObjects, GenericCollectionsAreTyped) {
  QUINTREL_REQUIRE_EXTRA_CORPUS();
  TFormStream form = LoadFormFile(CorpusFile("soorani__fmmfrm.dfm").string());
  std::unique_ptr<TComponent> root = ReadComponent(form);
  TComponent* bar = root->FindComponent("RadStatusBar");
  ASSERT_NE(bar, nullptr);
  EXPECT_TRUE(bar->ClassType().IsGeneric());
  auto* panels = dynamic_cast<TCollection*>(GetObjectProp(bar, "Panels"));
  ASSERT_NE(panels, nullptr);
  ASSERT_GE(panels->Count(), 3);
  TCollectionItem* first = panels->Items(0);
  EXPECT_EQ(GetWideStrProp(first, GetPropInfo(first, "Text")), u"\u0641\u0627\u0631\u0633\u064A(Fa)");
  EXPECT_EQ(GetStrProp(first, "Width"), "90");
  EXPECT_EQ(dynamic_cast<TFont*>(GetObjectProp(first, "Font"))->Color(), clBlue);
  EXPECT_EQ(GetEnumName(GetPropInfo(first, "Style") ? GetPropInfo(first, "Style")->PropType : nullptr, 0), "psControl");

  // One changed value, and only that value, differs when written back.
  SetStrProp(panels->Items(2), "Width", "85");
  TFormStream out = WriteComponent(*root, &form);
  TFormStream again = ReadBinaryForm(WriteBinaryForm(out));
  const TStreamProperty* was = form.Root.Children[1].FindProperty("Panels");
  const TStreamProperty* now = again.Root.Children[1].FindProperty("Panels");
  ASSERT_TRUE(was && now);
  ASSERT_EQ(was->Value.Items.size(), now->Value.Items.size());
  for (size_t i = 0; i < was->Value.Items.size(); ++i) {
    if (i == 2) {
      EXPECT_EQ(now->Value.Items[i].Properties.back().Value, TStreamValue::String("85"));
      continue;
    }
    EXPECT_EQ(now->Value.Items[i], was->Value.Items[i]);
  }
}

TEST(LiveObjects, ApplyAndEncodeSinglePaths) {
  TFilerContext ctx;
  auto form = std::make_unique<TForm>();
  auto* memo = form->Add<TMemo>("Memo1");
  TStreamValue lines;
  lines.Type = vaList;
  lines.List = {TStreamValue::String("a"), TStreamValue::WideString(u"\u00E9")};
  EXPECT_TRUE(ApplyProperty(*memo, "Lines.Strings", lines, ctx));
  EXPECT_EQ(memo->Lines()->Text(), "a\r\n\xE9\r\n");
  EXPECT_TRUE(ApplyProperty(*memo, "Font.Style", TStreamValue::Set({"fsBold", "fsItalic"}), ctx));
  EXPECT_EQ(memo->Font()->Style(), (1u << fsBold) | (1u << fsItalic));
  EXPECT_TRUE(ApplyProperty(*memo, "Color", TStreamValue::Ident("clInfoBk"), ctx));
  EXPECT_EQ(memo->Color(), clInfoBk);
  // Values that do not fit leave the property alone.
  EXPECT_FALSE(ApplyProperty(*memo, "Font.Style", TStreamValue::Set({"fsBlinking"}), ctx));
  EXPECT_FALSE(ApplyProperty(*memo, "Align", TStreamValue::Ident("alSideways"), ctx));
  EXPECT_FALSE(ApplyProperty(*memo, "Nothing.Here", TStreamValue::Integer(1), ctx));
  EXPECT_EQ(memo->Align(), alNone);

  EXPECT_EQ(*EncodeProperty(*memo, "Color", nullptr, ctx), TStreamValue::Ident("clInfoBk"));
  EXPECT_EQ(*EncodeProperty(*memo, "Font.Style", nullptr, ctx), TStreamValue::Set({"fsBold", "fsItalic"}));
  // A hint keeps the kind of string a list line was read as.
  std::optional<TStreamValue> encoded = EncodeProperty(*memo, "Lines.Strings", &lines, ctx);
  ASSERT_TRUE(encoded);
  EXPECT_EQ(encoded->List[1], TStreamValue::WideString(u"\u00E9"));
  EXPECT_FALSE(EncodeProperty(*memo, "NoSuch", nullptr, ctx));
}

TEST(Strings, SortedListsAndDuplicates) {
  TStringList list;
  list.SetSorted(true);
  list.Add("b");
  list.Add("a");
  EXPECT_EQ(list.Add("B"), 1);  // ignored: already there, case-insensitively
  EXPECT_EQ(list.Count(), 2);
  list.SetDuplicates(dupError);
  EXPECT_THROW(list.Add("a"), EListError);
  list.SetDuplicates(dupAccept);
  list.Add("a");
  EXPECT_EQ(list.Count(), 3);
  int changes = 0;
  list.OnChange = [&](TStringList&) { ++changes; };
  list.BeginUpdate();
  list.Add("c");
  list.EndUpdate();
  list.Add("d");
  EXPECT_EQ(changes, 1);

  TStringList copy;
  copy.Assign(&list);
  EXPECT_TRUE(copy.Equals(list));
  TFont font;
  EXPECT_THROW(copy.Assign(&font), EConvertError);
}
