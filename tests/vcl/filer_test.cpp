#include <gtest/gtest.h>

#include <array>

#include <cmath>
#include <filesystem>
#include <functional>

#include "platform/vcl/charsets.h"
#include "platform/vcl/filer.h"
#include "platform/vcl/graphics.h"
#include "platform/vcl/floattext.h"
#include "tests/testdata.h"

using namespace quintrel::vcl;
namespace fs = std::filesystem;

namespace {

using quintrel::testdata::Bytes;
using quintrel::testdata::Data;
using quintrel::testdata::Extra;

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}

const TStreamObject* Find(const TStreamObject& obj, std::string_view name) {
  if (obj.Name == name) return &obj;
  for (const auto& c : obj.Children)
    if (const auto* f = Find(c, name)) return f;
  return nullptr;
}

// The root's Caption, raw 8-bit text in quotes kept as bytes.
std::string RawCaption(const TFormStream& form) {
  const TStreamProperty* caption = form.Root.FindProperty("Caption");
  if (!caption) return "<no caption>";
  EXPECT_EQ(caption->Value.Type, vaString);
  return caption->Value.Bytes;
}

// An inline frame of the form with its class, whose first child is inherited.
void ExpectInlineFrame(const TStreamObject& root, std::string_view name, std::string_view className) {
  const TStreamObject* frame = Find(root, name);
  ASSERT_NE(frame, nullptr) << name;
  EXPECT_EQ(frame->Flags, ffInline);
  EXPECT_EQ(frame->ClassName, className);
  ASSERT_FALSE(frame->Children.empty());
  EXPECT_EQ(frame->Children[0].Flags, ffInherited);
}

}  // namespace

// --- the real forms --------------------------------------------------------------------

namespace {

// Each binary form of the list through both notations; how many there were.
int BinaryFormsRoundTrip(const std::vector<fs::path>& files) {
  int binaries = 0;
  for (const auto& path : files) {
    std::string data = Bytes(path);
    if (!LooksLikeBinaryForm(data)) continue;
    SCOPED_TRACE(path.filename().string());
    ++binaries;
    TFormStream form = ReadBinaryForm(data);
    EXPECT_TRUE(form.Header.has_value()) << "form files carry a resource header";
    if (!form.Header) continue;
    EXPECT_EQ(WriteBinaryForm(form), data);
    // Through the text notation and back gives the same bytes.
    DetectStyle(form);
    std::string text = WriteTextForm(ToTextNotation(form));
    TFormStream back = ReadTextForm(text, {form.WideStringType});
    back.Header = form.Header;
    EXPECT_EQ(WriteBinaryForm(ToBinaryNotation(back)), data);
    EXPECT_EQ(back.Root, form.Root);
  }
  return binaries;
}

// Each text form of the list through both notations; how many there were.
int TextFormsRoundTrip(const std::vector<fs::path>& files) {
  int texts = 0;
  for (const auto& path : files) {
    std::string data = Bytes(path);
    if (LooksLikeBinaryForm(data)) continue;
    SCOPED_TRACE(path.filename().string());
    ++texts;
    TFormStream form = ReadTextForm(data);
    EXPECT_EQ(WriteTextForm(form), data);
    // The binary stream holds no layout: what comes back is spelt by the writer alone.
    std::string binary = WriteBinaryForm(ToBinaryNotation(form));
    TFormStream fromBinary = ReadBinaryForm(binary);
    EXPECT_EQ(fromBinary.Root, form.Root);
    fromBinary.FloatStyle = form.FloatStyle;
    fromBinary.LineBreak = form.LineBreak;
    EXPECT_EQ(WriteTextForm(ToTextNotation(fromBinary)), data);
  }
  return texts;
}

}  // namespace

TEST(FormCorpus, RealFormsRoundTripInBothNotations) {
  std::vector<fs::path> forms = quintrel::testdata::DataForms();
  EXPECT_GE(BinaryFormsRoundTrip(forms), 5);
  EXPECT_GE(TextFormsRoundTrip(forms), 10);
}

TEST(CorpusExtraForms, RoundTripInBothNotations) {
  QUINTREL_REQUIRE_EXTRA_CORPUS();
  std::vector<fs::path> forms = quintrel::testdata::ExtraForms();
  EXPECT_GT(BinaryFormsRoundTrip(forms) + TextFormsRoundTrip(forms), 0);
}

TEST(FormCorpus, ContentIsReadAsTheFormsMeanIt) {
  auto load = [](const std::string& name) { return ReadForm(Bytes(Data(name))); };

  // An inline frame in a text form, with inherited children.
  TFormStream main = load("dfm/codesnip__fmmain.dfm");
  EXPECT_EQ(main.Root.Flags, ffInherited);
  ExpectInlineFrame(main.Root, "frmOverview", "TOverviewFrame");

  // A binary form names its root in the resource header.
  TFormStream tiles = load("src/projects/delphiforfun__tilefit3/U_TileFit3.dfm");
  ASSERT_TRUE(tiles.Header.has_value());
  EXPECT_EQ(tiles.Header->Name, "TFORM1");
  EXPECT_EQ(tiles.Root.ClassName, "TForm1");

  // #169 is a character code above 127: the string is wide.
  TFormStream dates = load("dfm/delphiforfun__u_datecalc2.dfm");
  bool copyright = false;
  std::function<void(const TStreamObject&)> scan = [&](const TStreamObject& o) {
    for (const auto& p : o.Properties)
      if (p.Value.Type == vaWString && p.Value.Wide.find(u"Copyright \u00A9 2010") != std::u16string::npos)
        copyright = true;
    for (const auto& c : o.Children) scan(c);
  };
  scan(dates.Root);
  EXPECT_TRUE(copyright);

  // Raw 8-bit text in quotes (cp1252 French) stays bytes.
  EXPECT_EQ(RawCaption(load("src/projects/equas-calc__equations_calculette8/uTrace.dfm")), "R\xE9sultats");
}

TEST(CorpusExtraForms, ContentIsReadAsTheFormsMeanIt) {
  QUINTREL_REQUIRE_EXTRA_CORPUS();
  auto load = [](const std::string& name) { return ReadForm(Bytes(Extra("dfm/" + name))); };

  TFormStream pages = load("masteringdelphi7__pageform.dfm");
  ExpectInlineFrame(pages.Root, "Frame31", "TFrame3");

  TFormStream persian = load("soorani__fmmfrm.dfm");
  EXPECT_EQ(persian.Root.Flags, ffInherited);
  EXPECT_EQ(persian.Header->Name, "TMFRM");

  TFormStream cool = load("masteringdelphi7__coolform.dfm");
  bool unnamed = false;
  std::function<void(const TStreamObject&)> walk = [&](const TStreamObject& o) {
    unnamed |= o.Name.empty() && o.ClassName == "TLabel";
    for (const auto& c : o.Children) walk(c);
  };
  walk(cool.Root);
  EXPECT_TRUE(unnamed);

  // Raw 8-bit text in quotes stays bytes.
  EXPECT_NE(RawCaption(load("soorani__fmshowmg.dfm")).find('\xC7'), std::string::npos);
}

// --- binary notation -------------------------------------------------------------------

TEST(BinaryFiler, WritesTheDocumentedLayout) {
  TStreamObject root;
  root.ClassName = "TForm1";
  root.Name = "Form1";
  root.Properties.push_back({"Left", TStreamValue::Integer(10)});
  root.Properties.push_back({"Width", TStreamValue::Integer(300)});
  root.Properties.push_back({"Caption", TStreamValue::String("Hi")});
  TStreamObject child;
  child.Flags = ffInherited;
  child.Position = TStreamValue::Integer(2);
  child.ClassName = "TButton";
  child.Name = "B";
  root.Children.push_back(child);

  std::string expected = "TPF0" + Bytes({6}) + "TForm1" + Bytes({5}) + "Form1" +  //
                         Bytes({4}) + "Left" + Bytes({2, 10}) +                       //
                         Bytes({5}) + "Width" + Bytes({3, 0x2C, 0x01}) +              //
                         Bytes({7}) + "Caption" + Bytes({6, 2}) + "Hi" + Bytes({0}) +  //
                         Bytes({0xF3, 2, 2, 7}) + "TButton" + Bytes({1}) + "B" + Bytes({0, 0, 0});
  EXPECT_EQ(WriteBinaryObject(root), expected);
}

TEST(BinaryFiler, ObjectHeadersThatNeedAPrefixKeepIt) {
  // An empty class name and one of 240 bytes are ambiguous without the prefix byte.
  TStreamObject root;
  root.ClassName = "TForm1";
  for (std::string cls : {std::string(), std::string(240, 'T')}) {
    TStreamObject child;
    child.ClassName = cls;
    child.Name = "X";
    root.Children.push_back(child);
  }
  EXPECT_EQ(ReadBinaryForm(WriteBinaryObject(root)).Root, root);
}

TEST(BinaryFiler, ANullItemOfAListIsRefusedNotWrittenAsTheListsEnd) {
  const TFormStream form = ReadTextForm("object F: TF\r\n  P = (\r\n    'a'\r\n    Null\r\n    'b')\r\nend\r\n");
  EXPECT_THROW(WriteBinaryObject(form.Root), EWriteError);
}

// A binary form's infinity is written as text that reads back as it; a NaN, which no
// literal spells, is refused instead of written as text that cannot be read.
TEST(TextFiler, NonFiniteFloatsReadBackOrAreRefused) {
  TStreamObject root;
  root.ClassName = "TThing";
  root.Name = "Thing";
  root.Properties.push_back({"Big", TStreamValue::Extended(-HUGE_VALL)});
  root.Properties.push_back({"Small", TStreamValue::Single(HUGE_VALF)});
  const TFormStream fromBinary = ReadBinaryForm(WriteBinaryObject(root));
  const TFormStream text = ReadTextForm(WriteTextForm(ToTextNotation(fromBinary)));
  EXPECT_EQ(WriteBinaryObject(text.Root), WriteBinaryObject(root));
  root.Properties.push_back({"Odd", TStreamValue::Extended(NAN)});
  EXPECT_THROW(WriteTextForm(ToTextNotation(ReadBinaryForm(WriteBinaryObject(root)))), EWriteError);
}

// A binary stream may carry any bytes as a class, object or property name; what the text
// notation would not read back as that name is refused.
TEST(TextFiler, NamesThatAreNoIdentifiersAreRefused) {
  auto text = [](std::string cls, std::string name, std::string property) {
    TStreamObject root;
    root.ClassName = std::move(cls);
    root.Name = std::move(name);
    root.Properties.push_back({std::move(property), TStreamValue::Integer(1)});
    return WriteTextForm(ToTextNotation(ReadBinaryForm(WriteBinaryObject(root))));
  };
  EXPECT_EQ(ReadTextForm(text("TForm", "", "Font.Height")).Root.ClassName, "TForm");
  EXPECT_EQ(ReadTextForm(text("TForm1", "Form_1", "_X9.Y")).Root.Name, "Form_1");
  for (const auto& [cls, name, property] : std::vector<std::array<std::string, 3>>{
           {"", "", "P"}, {"T X", "A", "P"}, {"TX", "1A", "P"}, {"TX", "A", "Font."}, {"TX", "A", "End"}, {"Unit1.TX", "A", "P"}})
    EXPECT_THROW(text(cls, name, property), EWriteError) << cls << "|" << name << "|" << property;
  // Identifier values and set elements the same, and an identifier the reader would take
  // for another value.
  auto value = [](TStreamValue v) {
    TStreamObject root;
    root.ClassName = "TX";
    root.Properties.push_back({"P", std::move(v)});
    return WriteTextForm(ToTextNotation(ReadBinaryForm(WriteBinaryObject(root))));
  };
  EXPECT_NE(value(TStreamValue::Ident("clBtnFace")).find("P = clBtnFace"), std::string::npos);
  for (const char* bad : {"On\x01Close", "TRUE", "nil", "a b"}) EXPECT_THROW(value(TStreamValue::Ident(bad)), EWriteError) << bad;
}

TEST(BinaryFiler, EveryValueTypeSurvivesBothNotations) {
  TStreamObject root;
  root.ClassName = "TThing";
  root.Name = "Thing";
  auto add = [&](std::string name, TStreamValue v) { root.Properties.push_back({std::move(name), std::move(v)}); };
  add("I8", TStreamValue::Integer(-5));
  add("I16", TStreamValue::Integer(-3000));
  add("I32", TStreamValue::Integer(70000));
  add("I64", TStreamValue::Integer(int64_t{1} << 40));
  add("Ext", TStreamValue::Extended(0.75L));
  add("Sgl", TStreamValue::Single(1.5f));
  add("Cur", TStreamValue::Currency(123450));
  add("Dat", TStreamValue::Float8(vaDate, 39057.5));
  add("Str", TStreamValue::String("it's\r\n"));
  add("Long", TStreamValue::String(std::string(300, 'x')));
  add("Wide", TStreamValue::WideString(u"\u041F\u0440\u0438 'q'"));
  add("Utf8", TStreamValue::WideString(u"\u0641\u200C", vaUTF8String));
  add("Id", TStreamValue::Ident("clBtnFace"));
  add("F", TStreamValue::Boolean(false));
  add("T", TStreamValue::Boolean(true));
  add("Nil", TStreamValue::Simple(vaNil));
  add("Null", TStreamValue::Simple(vaNull));
  add("Bin", TStreamValue::Binary(std::string("\x00\xFF\x10", 3)));
  add("Set", TStreamValue::Set({"akLeft", "akTop"}));
  add("Empty", TStreamValue::Set({}));
  TStreamValue list;
  list.Type = vaList;
  list.List = {TStreamValue::String("a"), TStreamValue::Integer(1), TStreamValue::Boolean(true)};
  add("Lst", list);
  TStreamValue coll;
  coll.Type = vaCollection;
  coll.Items.push_back({std::nullopt, {{"Text", TStreamValue::String("one")}}});
  coll.Items.push_back({TStreamValue::Integer(7), {{"Width", TStreamValue::Integer(50)}}});
  add("Coll", coll);

  TFormStream form;
  form.Root = root;
  TFormStream fromBinary = ReadBinaryForm(WriteBinaryForm(form));
  EXPECT_EQ(fromBinary.Root, root);

  form.WideStringType = vaUTF8String;
  std::string text = WriteTextForm(form);
  TFormStream fromText = ReadTextForm(text);
  ASSERT_EQ(fromText.Root.Properties.size(), root.Properties.size());
  for (size_t i = 0; i < root.Properties.size(); ++i) {
    const auto& want = root.Properties[i].Value;
    const auto& got = fromText.Root.Properties[i].Value;
    SCOPED_TRACE(root.Properties[i].Name);
    if (want.Type == vaUTF8String) {  // the text notation does not say which wide kind
      EXPECT_EQ(got.AsWide(), want.AsWide());
    } else {
      EXPECT_EQ(got, want) << text;
    }
  }
}

TEST(BinaryFiler, ResourceHeaderIsKeptAsRead) {
  TStreamObject root;
  root.ClassName = "TForm1";
  root.Name = "Form1";
  std::string stream = WriteBinaryObject(root);
  std::string header = Bytes({0xFF, 0x0A, 0x00}) + "TFORM1" + Bytes({0, 0x30, 0x10}) +
                       Bytes({static_cast<int>(stream.size()), 0, 0, 0});
  TFormStream withHeader = ReadBinaryForm(header + stream);
  ASSERT_TRUE(withHeader.Header);
  EXPECT_EQ(withHeader.Header->Name, "TFORM1");
  EXPECT_EQ(WriteBinaryForm(withHeader), header + stream);

  TFormStream bare = ReadBinaryForm(stream);
  EXPECT_FALSE(bare.Header);
  EXPECT_EQ(WriteBinaryForm(bare), stream);

  // A header that promises more than the file holds.
  std::string lying = header;
  lying[lying.size() - 4] = static_cast<char>(stream.size() + 1);
  EXPECT_THROW(ReadBinaryForm(lying + stream), EReadError);
}

TEST(BinaryFiler, DamagedStreamsRaiseReadErrorsWithOffsets) {
  TFormStream form;
  form.Root.ClassName = "TForm1";
  form.Root.Name = "Form1";
  form.Root.Properties.push_back({"Caption", TStreamValue::String("Hello")});
  form.Root.Properties.push_back({"Data", TStreamValue::Binary("xyz")});
  std::string good = WriteBinaryForm(form);
  for (size_t n = 0; n < good.size(); ++n) EXPECT_THROW(ReadBinaryForm(good.substr(0, n)), EReadError) << n;

  std::string unknown = good;
  size_t at = unknown.find("Caption") + 7;
  unknown[at] = 42;
  try {
    ReadBinaryForm(unknown);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_NE(std::string(e.what()).find("offset " + std::to_string(at)), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("42"), std::string::npos);
  }

  std::string absurd = good;
  size_t len = absurd.find("Data") + 5;  // the 32-bit length after vaBinary
  absurd[len + 3] = 0x7F;
  EXPECT_THROW(ReadBinaryForm(absurd), EReadError);

  // Lists nested beyond any real form end in an error, not in a stack overflow.
  std::string deep = "TPF0" + Bytes({1, 'T', 0, 1, 'P'}) + std::string(100000, '\x01');
  EXPECT_THROW(ReadBinaryForm(deep), EReadError);
}

// --- text notation ---------------------------------------------------------------------

TEST(TextFiler, SpellsValuesAsTheDevelopmentEnvironmentDoes) {
  TFormStream form;
  form.Notation = TFormNotation::fnText;
  form.Trailer = "\r\n";
  form.Root.ClassName = "TForm1";
  form.Root.Name = "Form1";
  auto& props = form.Root.Properties;
  props.push_back({"Caption", TStreamValue::String("it's")});
  props.push_back({"Hint", TStreamValue::String(std::string(70, 'a'))});
  props.push_back({"Title", TStreamValue::WideString(u"\u00A9 A")});
  props.push_back({"Data", TStreamValue::Binary(std::string(33, '\x0F'))});
  TStreamValue lines;
  lines.Type = vaList;
  lines.List = {TStreamValue::String("x"), TStreamValue::String(std::string(65, 'b'))};
  props.push_back({"Lines.Strings", lines});
  TStreamValue panels;
  panels.Type = vaCollection;
  panels.Items.push_back({std::nullopt, {{"Width", TStreamValue::Integer(50)}}});
  props.push_back({"Panels", panels});
  props.push_back({"Weight", TStreamValue::Extended(0.75L)});
  props.push_back({"Anchors", TStreamValue::Set({"akLeft", "akTop"})});
  TStreamObject child;
  child.Flags = ffInline | ffChildPos;
  child.Position = TStreamValue::Integer(3);
  child.ClassName = "TFrame2";
  child.Name = "Frame21";
  form.Root.Children.push_back(child);

  std::string expected =
      "object Form1: TForm1\r\n"
      "  Caption = 'it'#39's'\r\n"
      "  Hint = \r\n"
      "    'aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa' +\r\n"
      "    'aaaaaa'\r\n"
      "  Title = #169' A'\r\n"
      "  Data = {\r\n"
      "    0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F\r\n"
      "    0F}\r\n"
      "  Lines.Strings = (\r\n"
      "    'x'\r\n"
      "    \r\n"
      "      'bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb' +\r\n"
      "      'b')\r\n"
      "  Panels = <\r\n"
      "    item\r\n"
      "      Width = 50\r\n"
      "    end>\r\n"
      "  Weight = 0.75\r\n"
      "  Anchors = [akLeft, akTop]\r\n"
      "  inline Frame21: TFrame2 [3]\r\n"
      "  end\r\n"
      "end\r\n";
  EXPECT_EQ(WriteTextForm(form), expected);
  TFormStream back = ReadTextForm(expected);
  EXPECT_EQ(back.Root, form.Root);
  EXPECT_EQ(WriteTextForm(back), expected);

  form.FloatStyle = TFloatStyle::fsFixed18;
  EXPECT_NE(WriteTextForm(form).find("Weight = 0.750000000000000000\r\n"), std::string::npos);
}

TEST(TextFiler, ChangedValuesLoseTheirOldSpelling) {
  std::string text = "object F: TF\n  Tag = $10\n  Caption = 'a'#66\nend\n";
  TFormStream form = ReadTextForm(text);
  EXPECT_EQ(form.LineBreak, "\n");
  EXPECT_EQ(form.Root.Properties[0].Value.Int, 16);
  EXPECT_EQ(WriteTextForm(form), text);
  form.Root.Properties[0].Value.Int = 17;
  form.Root.Properties[1].Value.Bytes = "ab";
  EXPECT_EQ(WriteTextForm(form), "object F: TF\n  Tag = 17\n  Caption = 'ab'\nend\n");
}

TEST(TextFiler, DamagedTextRaisesParserErrorsWithLines) {
  auto lineOf = [](const std::string& text) {
    try {
      ReadTextForm(text);
    } catch (const EParserError& e) {
      return e.Line();
    }
    return 0;
  };
  EXPECT_EQ(lineOf("object F: TF\n  Caption = 'open\nend\n"), 2);
  EXPECT_EQ(lineOf("object F: TF\n  Data = {0A0}\nend\n"), 2);
  EXPECT_EQ(lineOf("object F: TF\n  Items.Strings = (\n    'a'\n"), 4);
  EXPECT_EQ(lineOf("object F: TF\n  Panels = <\n    item\n      W = 1\n    end\n"), 6);
  EXPECT_EQ(lineOf("object F: TF\n  Anchors = [akLeft\nend\n"), 3);
  EXPECT_EQ(lineOf("object F: TF\n  Tag = 99999999999999999999\nend\n"), 2);
  EXPECT_EQ(lineOf("object F: TF\n  Caption = #70000\nend\n"), 2);
  EXPECT_EQ(lineOf("object F: TF\nend\nobject G: TG\nend\n"), 3);
  EXPECT_EQ(lineOf("thing F: TF\nend\n"), 1);
  EXPECT_EQ(lineOf("object F: TF\n  Tag = @\nend\n"), 2);
  EXPECT_EQ(lineOf("object F: TF\n  Tag = " + std::string(50000, '(') + "\nend\n"), 2);
  // A damaged value never passes silently.
  for (std::string bad : {"object F: TF\n  A = 'x' +\nend\n", "object F: TF\n  A = 1.2.3e\nend\n",
                          "object F: TF\n  A = <item end\nend\n", "object F\n  A = -\nend\n"})
    EXPECT_THROW(ReadTextForm(bad), EReadError) << bad;
}

// --- numbers ---------------------------------------------------------------------------

TEST(FloatText, BothSpellingsMatchTheRuntimeLibrary) {
  EXPECT_EQ(FloatToStrGeneral(0.75L), "0.75");
  EXPECT_EQ(FloatToStrGeneral(-2.5L), "-2.5");
  EXPECT_EQ(FloatToStrGeneral(0.00001L), "0.00001");
  EXPECT_EQ(FloatToStrGeneral(0.000001L), "1E-6");
  EXPECT_EQ(FloatToStrGeneral(1e20L), "1E20");
  EXPECT_EQ(FloatToStrGeneral(123456789012345678.0L), "1.23456789012346E17");
  EXPECT_EQ(FloatToStrGeneral(0.1L), "0.1");
  EXPECT_EQ(FloatToStrGeneral(0), "0");
  EXPECT_EQ(FloatToStrFixed(38762.22412037041L), "38762.224120370410000000");
  EXPECT_EQ(FloatToStrFixed(1), "1.000000000000000000");
  EXPECT_EQ(FloatToStrFixed(-0.5L), "-0.500000000000000000");

  // 1.0 as extended: mantissa with the explicit integer bit, exponent 0x3FFF.
  std::array<uint8_t, 10> one{0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F};
  EXPECT_EQ(LongDoubleToExtended(1.0L), one);
  EXPECT_EQ(ExtendedToLongDouble(one), 1.0L);
  for (long double v : {-0.75L, 39057.5L, 1e-300L, 1e300L, 3.14159265358979323846L})
    EXPECT_EQ(ExtendedToLongDouble(LongDoubleToExtended(v)), v);

  long double v = 0;
  EXPECT_TRUE(TextToFloat("-1.5e3", v));
  EXPECT_EQ(v, -1500.0L);
  EXPECT_TRUE(TextToFloat("1e-6000", v));
  EXPECT_EQ(v, 0.0L);
  EXPECT_TRUE(TextToFloat("-0.001e6000", v));
  EXPECT_TRUE(std::isinf(v) && v < 0);
  EXPECT_FALSE(TextToFloat("1.2.3", v));
  EXPECT_FALSE(TextToFloat("e5", v));
}

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
