// The external text file, statistics and dictionary translation over modules built here.
#include "tools/exchange.h"

#include <gtest/gtest.h>

#include "tests/testdata.h"
#include "tests/tools/tools_fixture.h"
#include "tools/po.h"
#include "tools/xliff.h"
#include "text/codepages.h"
#include "text/unicode.h"
#include "text/ustringlist.h"

namespace quintrel::tools {
namespace {

using module::test::Id;
using module::test::MessageOf;
using module::TZodObject;

class ExchangeTest : public test::ToolsFixture {
protected:
  void SetUp() override {
    test::ToolsFixture::SetUp();
    m_ = NewModule("App.ZOD");
    AddLanguage(m_, "en", u"English", 0);
    AddLanguage(m_, "de", u"German", 0);
    zod_.SetDesignTimeLanguage(m_, Id("en"));
  }
  void AddLanguage(int m, const char* id, const std::u16string& name, uint8_t charset) {
    ASSERT_TRUE(module::test::AddLanguage(zod_, m, id, name, charset));
  }
  // An object with its design text (and a translation when given).
  uint32_t Add(int m, const char* form, const char* comp, const char* prop, const std::u16string& en,
               const char* lang = nullptr, const std::u16string& translation = {},
               uint8_t status = module::usForReview) {
    TZodObject object =
        module::test::StoredObject(zod_, m, zod_.AddObject(m, form, comp, prop, module::utString, module::ucButton));
    StoreObjectText(zod_, m, object, Id("en"), en, module::usSignedOff);
    if (lang) StoreObjectText(zod_, m, object, Id(lang), translation, status);
    return object.Ident;
  }
  void Lock(uint32_t ident) {
    TZodObject object = module::test::StoredObject(zod_, m_, ident);
    object.Locked = true;
    ASSERT_TRUE(zod_.SetObject(m_, object));
  }
  std::optional<TTermText> Term(int m, uint32_t ident, const char* lang) {
    TZodObject object = module::test::StoredObject(zod_, m, ident);
    return ReadTermText(zod_, m, Id(lang), object.Localization);
  }
  TExportOptions Options(const char* target, bool unicode = false) {
    TExportOptions o;
    o.Base = Id("en");
    o.Target = Id(target);
    o.Unicode = unicode;
    o.ZodName = "/p/App.zod";
    return o;
  }
  // The file's text with each "#2 " line of the object replaced.
  static std::string Replace(std::string file, const std::string& from, const std::string& to) {
    const size_t at = file.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) file.replace(at, from.size(), to);
    return file;
  }
  TImportReport Import(int m, const std::string& bytes, TTextImportOptions options = {}) {
    return ImportTextFile(zod_, m, "in.txt", bytes, options);
  }

  module::TZod& zod_ = module::GlobalZOD();
  int m_ = -1;
};

// The file is written a piece at a time as the module is walked; the pieces join to the
// text form of the whole list of lines (escapes, a line cut at a 0 unit, CR LF), in UTF-16
// and in a double-byte code page alike, however many pieces a large module takes.
TEST_F(ExchangeTest, FileWrittenInPiecesIsTheTextOfItsLines) {
  AddLanguage(m_, "ja", u"Japanese", 128);
  for (int i = 0; i < 40; ++i) {
    const std::string n = std::to_string(i);
    // Long texts, so that the file takes several pieces.
    Add(m_, ("Form" + std::to_string(i / 10)).c_str(), ("Label" + n).c_str(), "Caption",
        u"Text\t" + std::u16string(n.begin(), n.end()) + u"\r\n\\" + std::u16string(2000, u'x'), "ja",
        i == 7 ? std::u16string(u"\u65E5\u672C\0rest", 7) : std::u16string(2000, u'\u8A9E') + std::u16string(n.begin(), n.end()),
        module::usUnTranslated);
  }
  for (const bool unicode : {true, false}) {
    const TExportOptions options = Options("ja", unicode);
    text::TUStringList list;
    for (const std::u16string& line : ExportLines(zod_, m_, options)) list.Add(std::u16string_view(line));
    const std::u16string all = list.Text();
    std::string expected;
    if (unicode) {
      const std::vector<uint8_t> bytes = text::Utf16LeBytes(all);
      expected.assign(bytes.begin(), bytes.end());
    } else {
      expected = text::UnicodeToByte(all, 128);
    }
    std::string written;
    int pieces = 0;
    ExportTextFile(zod_, m_, options, [&](std::string_view bytes) {
      written += bytes;
      ++pieces;
    });
    EXPECT_GT(pieces, 2) << unicode;
    EXPECT_EQ(written, expected) << unicode;
    EXPECT_NE(written.find(unicode ? std::string("\\\0t\0", 4) : std::string("Text\\t7\\r\\n\\\\x")), std::string::npos);
  }
}

TEST_F(ExchangeTest, HeaderAndObjectBlockAreWrittenByteForByte) {
  const uint32_t ok = Add(m_, "MainForm", "OkButton", "Caption", u"O&K\tnow\\", "de", u"", module::usUnTranslated);
  Add(m_, "MainForm", "", "Caption", u"Main", "de", u"Haupt");  // translated: left out
  // A form whose only object went still gets its line.
  const uint32_t x = zod_.AddObject(m_, "Empty", "X", "Caption", module::utString, module::ucLabel);
  zod_.RemoveObjIdent(m_, zod_.GetFormOfObjectID(m_, x), x);
  const std::string file = ExportTextFile(zod_, m_, Options("de"));
  char id[9];
  std::snprintf(id, sizeof id, "%08X", ok);
  const std::string expected =
      ";***************************************************************\r\n"
      ";EXTERNAL TEXTFILE FOR TALVORINE UNIVERSAL LANGUAGE MODULES\r\n"
      ";This is a plain textfile (no fancy text) in the codeset\r\n"
      ";indicated by the CHARSET variable below.\r\n"
      ";  #F Dialog/Form/Unit being translated\r\n"
      ";  #O Object being translated\r\n"
      ";  #I Object Identifier\r\n"
      ";  #T Object Type\r\n"
      ";  #1 Base Language\r\n"
      ";  #2 Target Language, to be translated\r\n"
      ";  #C A Comment\r\n"
      ";While translating, these are necessary control characters\r\n"
      ";  \\n New line (#10)\r\n"
      ";  \\r Return (#13)\r\n"
      ";  \\t Tab (#9)\r\n"
      ";  \\\\ Backslash (Ex. C:\\\\Windows\\\\System)\r\n"
      ";Please do not re-arrange the line order while translating.\r\n"
      ";ONLY #2 NEEDS TO BE TRANSLATED, OTHER FIELDS ARE INFORMATIONAL\r\n"
      ";***************************************************************\r\n"
      "\r\n"
      "BASEID=en\r\nBASENAME=English\r\nTARGETID=de\r\nTARGETNAME=German\r\nCHARSET=0\r\nZOD=/p/App.zod\r\n"
      "ONLY_UNTRANSLATED=YES\r\nONLY_PRIORITY=NO\r\n\r\n;TRANSLATIONS STARTS HERE\r\n\r\n"
      "#F MainForm *******************\r\n\r\n"
      "#O OkButton.Caption\r\n#I " +
      std::string(id) +
      "\r\n#T ucButton, utString\r\n#C \r\n#1 O&K\\tnow\\\\\r\n#2 \r\n\r\n"
      "#F Empty *******************\r\n\r\n";
  EXPECT_EQ(file, expected);
}

TEST_F(ExchangeTest, ControlCharactersAndBackslashesComeBackAsTheyWere) {
  const uint32_t a = Add(m_, "F", "A", "Caption", u"x");
  const std::string file = ExportTextFile(zod_, m_, Options("de", true));
  // Edit the UTF-16 file the way a translator's editor would: as text.
  std::u16string wide(file.size() / 2, u'\0');
  for (size_t i = 0; i < wide.size(); ++i) wide[i] = static_cast<char16_t>((uint8_t)file[2 * i] | ((uint8_t)file[2 * i + 1] << 8));
  const size_t at = wide.find(u"#2 \r\n");
  ASSERT_NE(at, std::u16string::npos);
  wide.replace(at, 5, u"#2 a\\tb\\nc\\rd\\\\e \\q\u00e9\r\n");
  const std::vector<uint8_t> bytes = text::Utf16LeBytes(wide);
  const TImportReport r = Import(m_, std::string(bytes.begin(), bytes.end()), {true, false, false});
  EXPECT_EQ(r.Count(TImportOutcome::Written), 1);
  const TTermText t = Term(m_, a, "de").value_or(TTermText{});
  EXPECT_EQ(t.Text, u"a\tb\nc\rd\\e q\u00e9");
  EXPECT_EQ(t.Status, module::usForReview);
}

// Greek, Cyrillic and Shift-JIS at 8 bits, each read back through its CHARSET= line.
TEST_F(ExchangeTest, EightBitFilesUseTheTargetsCharsetBothWays) {
  struct TCase {
    const char* id;
    uint8_t charset;
    std::u16string text;
    std::string bytes;
  } cases[] = {{"el", 161, u"\u03b1\u03b2", "\xe1\xe2"},
               {"ru", 204, u"\u044f\u0410", "\xff\xc0"},
               {"ja", 128, u"\u65e5\u672c", "\x93\xfa\x96\x7b"}};
  for (const TCase& c : cases) {
    AddLanguage(m_, c.id, u"L", c.charset);
    const uint32_t o = Add(m_, "F", c.id, "Caption", u"Text");
    std::string file = ExportTextFile(zod_, m_, Options(c.id));
    EXPECT_NE(file.find("CHARSET=" + std::to_string(c.charset) + "\r\n"), std::string::npos) << c.id;
    const size_t block = file.find("#O " + std::string(c.id) + ".Caption");
    const size_t two = file.find("#2 \r\n", block);
    ASSERT_NE(two, std::string::npos);
    file.replace(two, 5, "#2 " + c.bytes + "\r\n");
    // The module's language says nothing about the file: the file's CHARSET= does.
    module::TZodLanguage language;
    language.Identifier = Id(c.id);
    ASSERT_TRUE(zod_.GetLanguage(m_, language));
    language.Charset = 0;
    ASSERT_TRUE(zod_.SetLanguage(m_, language));
    const TImportReport r = Import(m_, file);
    EXPECT_EQ(r.Count(TImportOutcome::Written), 1) << c.id;
    EXPECT_EQ(Term(m_, o, c.id)->Text, c.text) << c.id;
  }
}

TEST_F(ExchangeTest, AFileOfAnotherModuleWritesIntoNothing) {
  // The other module hands out the same identifiers for objects of other names.
  const int other = NewModule("Other.ZOD");
  AddLanguage(other, "en", u"English", 0);
  AddLanguage(other, "de", u"German", 0);
  zod_.SetDesignTimeLanguage(other, Id("en"));
  const uint32_t mine1 = Add(m_, "MainForm", "Save", "Caption", u"Save");
  const uint32_t mine2 = Add(m_, "Other", "Load", "Caption", u"Load");
  const uint32_t theirs1 = Add(other, "MainForm", "Quit", "Caption", u"Quit");
  const uint32_t theirs2 = Add(other, "About", "Load", "Caption", u"Load");
  ASSERT_EQ(mine1, theirs1);
  ASSERT_EQ(mine2, theirs2);
  std::string file = ExportTextFile(zod_, other, Options("de"));
  file = Replace(file, "#1 Quit\r\n#2 ", "#1 Quit\r\n#2 Beenden");
  file = Replace(file, "#1 Load\r\n#2 ", "#1 Load\r\n#2 Laden");
  const TImportReport r = Import(m_, file);
  EXPECT_EQ(r.Count(TImportOutcome::NameMismatch), 1);  // same form, same id, another name
  EXPECT_EQ(r.Count(TImportOutcome::NotFound), 1);      // no form About here
  EXPECT_EQ(r.Count(TImportOutcome::Written), 0);
  EXPECT_FALSE(Term(m_, mine1, "de"));
  EXPECT_FALSE(Term(m_, mine2, "de"));
}

TEST_F(ExchangeTest, SignedOffTermsAndLockedObjectsAreSkippedAndCounted) {
  const uint32_t signedOff = Add(m_, "F", "A", "Caption", u"A", "de", u"Alt", module::usSignedOff);
  const uint32_t locked = Add(m_, "F", "B", "Caption", u"B");
  const uint32_t open = Add(m_, "F", "C", "Caption", u"C");
  Lock(locked);
  TExportOptions all = Options("de");
  all.OnlyUntranslated = false;
  std::string file = ExportTextFile(zod_, m_, all);
  file = Replace(file, "#2 Alt", "#2 Neu");
  file = Replace(file, "#1 B\r\n#2 ", "#1 B\r\n#2 Bee");
  file = Replace(file, "#1 C\r\n#2 ", "#1 C\r\n#2 Cee");
  const TImportReport r = Import(m_, file);
  EXPECT_EQ(r.Count(TImportOutcome::SignedOff), 1);
  EXPECT_EQ(r.Count(TImportOutcome::Locked), 1);
  EXPECT_EQ(r.Count(TImportOutcome::Written), 1);
  EXPECT_EQ(Term(m_, signedOff, "de")->Text, u"Alt");
  EXPECT_EQ(Term(m_, signedOff, "de")->Status, module::usSignedOff);
  EXPECT_FALSE(Term(m_, locked, "de"));
  EXPECT_EQ(Term(m_, open, "de")->Text, u"Cee");
}

TEST_F(ExchangeTest, TargetLanguageMustBeNamedAndKnown) {
  Add(m_, "F", "A", "Caption", u"A");
  const std::string file = ExportTextFile(zod_, m_, Options("de"));
  EXPECT_EQ(MessageOf<EToolError>([&] { Import(m_, Replace(file, "TARGETID=de\r\n", "")); }),
            "in.txt: names no target language (no line TARGETID=)");
  EXPECT_EQ(MessageOf<EToolError>([&] { Import(m_, Replace(file, "TARGETID=de", "TARGETID=fr")); }),
            "in.txt: the module has no language fr; it has: de, en");
  EXPECT_EQ(zod_.GetTerms(m_, Id("fr")).size(), 0u);
}

TEST_F(ExchangeTest, EmptyTextsCommentsAndNewTermIdentifiers) {
  // An object catalogued without any text yet: the import gives it a term and a comment.
  TZodObject bare;
  bare.Ident = zod_.AddObject(m_, "F", "Bare", "Caption", module::utString, module::ucLabel);
  const uint32_t gone = Add(m_, "F", "Gone", "Caption", u"G");
  const uint32_t empty = Add(m_, "F", "Empty", "Caption", u"E", "de", u"Leer", module::usUnTranslated);
  TExportOptions options = Options("de");
  options.OnlyUntranslated = false;
  std::string file = ExportTextFile(zod_, m_, options);
  const size_t bareBlock = file.find("#O Bare.Caption");
  file.replace(file.find("#C \r\n", bareBlock), 5, "#C note\r\n");
  file.replace(file.find("#2 \r\n", bareBlock), 5, "#2 Nackt\r\n");
  const size_t goneBlock = file.find("#O Gone.Caption");
  file.replace(file.find("#C \r\n", goneBlock), 5, "#C not mine\r\n");
  // The next block has no comment line of its own.
  file.erase(file.find("#C \r\n", file.find("#O Empty.Caption")), 5);
  // The object vanishes from the module: its comment must not reach the next object.
  zod_.RemoveObjIdent(m_, zod_.GetFormOfObjectID(m_, gone), gone);
  TImportReport r = Import(m_, file, {false, true, false});
  EXPECT_EQ(r.Count(TImportOutcome::NotFound), 1);
  EXPECT_EQ(r.Count(TImportOutcome::Written), 2);  // Bare; Empty's text now to review
  ASSERT_TRUE(zod_.GetObject(m_, bare));
  EXPECT_NE(bare.Localization, 0u);
  EXPECT_NE(bare.Comment, 0u);
  EXPECT_EQ(Term(m_, bare.Ident, "de")->Text, u"Nackt");
  TZodObject emptyObject = module::test::StoredObject(zod_, m_, empty);
  EXPECT_EQ(emptyObject.Comment, 0u);

  // "#2 " with nothing after it is a translation only when asked for.
  file = Replace(ExportTextFile(zod_, m_, options), "#2 Leer", "#2 ");
  r = Import(m_, file);
  EXPECT_EQ(r.Count(TImportOutcome::Written), 0);
  EXPECT_EQ(Term(m_, empty, "de")->Text, u"Leer");
  r = Import(m_, file, {false, false, true});
  EXPECT_EQ(r.Count(TImportOutcome::Written), 1);
  EXPECT_EQ(Term(m_, empty, "de")->Text, u"");
  EXPECT_EQ(Term(m_, empty, "de")->Status, module::usForReview);
}

TEST_F(ExchangeTest, StatisticsCountEveryObjectOnceAndRoundHalvesToEven) {
  Add(m_, "F", "A", "Caption", u"A", "de", u"a", module::usForReview);
  Add(m_, "F", "B", "Caption", u"B", "de", u"b", module::usSignedOff);
  Add(m_, "F", "C", "Caption", u"C");
  const uint32_t d = Add(m_, "G", "D", "Caption", u"D", "de", u"", module::usUnTranslated);
  Lock(d);
  const TStatistics s = GetAmounts(zod_, m_, Id("de"));
  EXPECT_EQ(s.Total, 4);
  EXPECT_EQ(s.Locked, 1);
  EXPECT_EQ(s.UnTranslated, 2);
  EXPECT_EQ(s.ForReview, 1);
  EXPECT_EQ(s.SignedOff, 1);
  EXPECT_EQ(Percentage(1, 8), 12);   // 12.5
  EXPECT_EQ(Percentage(3, 8), 38);   // 37.5
  EXPECT_EQ(Percentage(1, 3), 33);
  EXPECT_EQ(Percentage(2, 3), 67);
  EXPECT_EQ(Percentage(1, 200), 0);  // 0.5
  EXPECT_EQ(Percentage(0, 0), 0);
}

TEST_F(ExchangeTest, DictionaryTranslationFillsOnlyWhatItShould) {
  const int dictionary = NewModule("Dict.ZOD");
  AddLanguage(dictionary, "en", u"English", 0);
  AddLanguage(dictionary, "de", u"German", 0);
  Add(dictionary, "D", "A", "Caption", u"Open", "de", u"Öffnen");
  Add(dictionary, "D", "B", "Caption", u"Close", "de", u"Schließen");
  Add(dictionary, "D", "C", "Caption", u"Help", "de", u"Hilfe");
  Add(dictionary, "D", "E", "Caption", u"Quit", "de", u"Beenden");
  EXPECT_EQ(MessageOf<EToolError>([&] { AutoTranslate(zod_, m_, {Id("en"), Id("de"), true, false}); }),
            "There are no dictionary installed for language English");
  ASSERT_TRUE(zod_.SetDictionary(dictionary, Id("en"), true));
  ASSERT_TRUE(zod_.SetDictionary(dictionary, Id("de"), true));
  const uint32_t open = Add(m_, "F", "A", "Caption", u"Open");
  const uint32_t close = Add(m_, "F", "B", "Caption", u"Close", "de", u"Zumachen");
  const uint32_t help = Add(m_, "F", "C", "Caption", u"Help", "de", u"Hilfe!", module::usSignedOff);
  const uint32_t quit = Add(m_, "F", "E", "Caption", u"Quit");
  Lock(quit);

  TAutoTranslateResult r = AutoTranslate(zod_, m_, {Id("en"), Id("de"), true, false});
  EXPECT_EQ(r.Translated, 1);
  EXPECT_EQ(Term(m_, open, "de")->Text, u"Öffnen");
  EXPECT_EQ(Term(m_, open, "de")->Status, module::usForReview);
  EXPECT_EQ(Term(m_, close, "de")->Text, u"Zumachen");
  EXPECT_EQ(Term(m_, help, "de")->Text, u"Hilfe!");
  EXPECT_FALSE(Term(m_, quit, "de"));
  EXPECT_EQ(r.Locked, 1);
  EXPECT_EQ(r.SignedOff, 1);

  // The bar shows "translated / considered" and the text, over the module's objects.
  std::vector<std::string> shown;
  size_t lastTotal = 0;
  r = AutoTranslate(zod_, m_, {Id("en"), Id("de"), false, false}, [&](std::string_view text, size_t, size_t total) {
    shown.emplace_back(text);
    lastTotal = total;
  });
  EXPECT_EQ(shown, (std::vector<std::string>{"0 / 1 Open", "1 / 2 Close"}));
  EXPECT_EQ(lastTotal, 4u);
  EXPECT_EQ(Term(m_, close, "de")->Text, u"Schließen");
  EXPECT_EQ(Term(m_, help, "de")->Text, u"Hilfe!");
  EXPECT_FALSE(Term(m_, quit, "de"));
}

// An XLIFF document holds at least one <file>, also when nothing is left to translate.
TEST_F(ExchangeTest, AnXliffWithNothingToTranslateIsStillValid) {
  Add(m_, "F", "A", "Caption", u"Open", "de", u"\u00d6ffnen");
  std::ofstream(Path("none.xlf"), std::ios::binary) << ExportXliff(zod_, m_, Options("de"));
  EXPECT_EQ(testdata::XliffSchemaErrors(Path("none.xlf")), "");
  EXPECT_EQ(ImportXliff(zod_, m_, "none.xlf", testdata::Bytes(Path("none.xlf")), {}).Entries.size(), 0u);
}

// What another tool may write: alternatives, inline elements, entities; and what a reader
// must refuse with one line naming the file and line.
TEST_F(ExchangeTest, XliffAndPoReadersTakeOnlyTheUnitsOwnTargetAndRefuseDamage) {
  const uint32_t ok = Add(m_, "F", "Ok", "Caption", u"OK");
  const uint32_t no = Add(m_, "F", "No", "Caption", u"No");
  char okId[9], noId[9];
  std::snprintf(okId, sizeof okId, "%08X", ok);
  std::snprintf(noId, sizeof noId, "%08X", no);
  const std::string xliff =
      std::string("<?xml version=\"1.0\"?>\n<!-- made elsewhere -->\n<xliff version=\"1.2\" "
                  "xmlns=\"urn:oasis:names:tc:xliff:document:1.2\"><file original=\"F\" target-language=\"de\">"
                  "<body><trans-unit id=\"") + okId + "\" resname=\"Ok.Caption\"><source>OK</source>"
      "<target state=\"translated\">A&amp;<g id=\"1\">b</g>&#x263A;<![CDATA[<c>]]>&#13;</target>"
      "<alt-trans><target>wrong</target></alt-trans></trans-unit>"
      "<trans-unit id=\"" + noId + "\" resname=\"Ok.Caption\"><source>No</source><target>Nein</target></trans-unit>"
      "</body></file></xliff>";
  TImportReport r = ImportXliff(zod_, m_, "in.xlf", xliff, {});
  EXPECT_EQ(r.Count(TImportOutcome::Written), 1);
  EXPECT_EQ(r.Count(TImportOutcome::NameMismatch), 1);
  EXPECT_EQ(Term(m_, ok, "de")->Text, u"A&b\u263A<c>\r");
  EXPECT_FALSE(Term(m_, no, "de"));

  const auto xliffError = [&](const std::string& text) {
    return MessageOf<EToolError>([&] { ImportXliff(zod_, m_, "in.xlf", text, {}); });
  };
  EXPECT_EQ(xliffError("<?xml version=\"1.0\"?>\n<!DOCTYPE x [<!ENTITY a \"aa\">]><x/>"),
            "in.xlf:2: a document type or declaration is not accepted");
  std::string deep;
  for (int i = 0; i < 100; ++i) deep += "<a>";
  EXPECT_EQ(xliffError(deep), "in.xlf:1: elements nested deeper than 64");
  EXPECT_EQ(xliffError("<xliff><file>"), "in.xlf:1: <file> is not closed");
  EXPECT_EQ(xliffError("<xliff>&bogus;</xliff>"), "in.xlf:1: an unknown entity &bogus;");
  EXPECT_EQ(xliffError("<xliff><file target-language=\"fr\"/></xliff>"),
            "in.xlf: the module has no language fr; it has: de, en");

  const std::string po = "msgid \"\"\nmsgstr \"Language: de\\n\"\n\n#. a note\nmsgctxt \"F.No.Caption\"\n"
                         "msgid \"No\"\nmsgstr \"\"\n\"Ne\\t\"\n\"in\"\n\n#~ msgctxt \"F.Ok.Caption\"\n#~ msgid \"OK\"\n"
                         "#~ msgstr \"Alt\"\n";
  r = ImportPo(zod_, m_, "in.po", po, {true, false});
  EXPECT_EQ(r.Count(TImportOutcome::Written), 1);
  EXPECT_EQ(Term(m_, no, "de")->Text, u"Ne\tin");
  EXPECT_EQ(Term(m_, ok, "de")->Text, u"A&b\u263A<c>\r");
  const auto poError = [&](const std::string& text) {
    return MessageOf<EToolError>([&] { ImportPo(zod_, m_, "in.po", text, {}); });
  };
  EXPECT_EQ(poError("msgid \"\"\nmsgstr \"Language: de\\n\"\nmsgctxt \"F.No.Caption\"\nmsgid \"No\nmsgstr \"\"\n"),
            "in.po:4: a string must be quoted");
  EXPECT_EQ(poError("msgid \"\"\nmsgstr \"Language: de\\n\"\nmsgctxt \"F.No.Caption\"\nmsgid \"No\"\n"
                    "msgid_plural \"Nos\"\nmsgstr[0] \"a\"\n"),
            "in.po:3: plural forms are not taken");
  EXPECT_EQ(poError("msgid \"\"\nmsgstr \"\"\n"), "in.po: names no target language (no header Language:)");
}

}  // namespace
}  // namespace quintrel::tools
