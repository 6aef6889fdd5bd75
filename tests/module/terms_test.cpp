// Terms: identifiers, reading and writing, packed lists, texts with fall-back, comments,
// dictionaries with translation over several modules, and removal of unused terms.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "module_fixture.h"
#include "storage/coding.h"
#include "storage/vardbs.h"

namespace quintrel::module::test {
namespace {

using storage::TCustomVarDB;
using storage::TFindRec;

// Adds an object of the class on the named form whose text is the term; the object
// identifiers come from the module.
void AddCatalogued(TZod& zod, int m, uint16_t form, uint32_t term, uint8_t zodClass) {
  TZodObject object =
      StoredObject(zod, m, zod.AddObject(m, "Form" + std::to_string(form), "Comp", "Caption", utString, zodClass));
  object.Localization = term;
  object.Comment = term;
  ASSERT_TRUE(zod.SetObject(m, object));
}

class TermsTest : public ModuleFixture {
protected:
  void SetUp() override {
    ModuleFixture::SetUp();
    path_ = MakeModule("terms.zod");
    m_ = zod_.RegisterModule(path_, false);
    ASSERT_EQ(m_, 0);
  }
  TZod zod_{TZod::TStart::Empty};
  std::string path_;
  int m_ = -1;
};

TEST_F(TermsTest, IdentifiersStartAtTheirFirstValueAndWrap) {
  EXPECT_EQ(zod_.GetNewTermID(m_), 458745u);
  EXPECT_EQ(zod_.GetNewTermID(m_), 458746u);
  uint8_t last[4];
  storage::Put32(last, kLastTermId - 1);
  zod_.SetProperty(kPropTermCount, last, m_, 4);
  EXPECT_EQ(zod_.GetNewTermID(m_), kLastTermId);
  EXPECT_EQ(zod_.GetNewTermID(m_), kFirstTermId);
  EXPECT_EQ(storage::Get32(zod_.GetProperty(m_, kPropTermCount)->data()), kFirstTermId);
}

TEST_F(TermsTest, WriteReadUpdateAndRemove) {
  TZodTerm probe;
  probe.Language = Id("de");
  probe.Ident = 7;
  EXPECT_FALSE(zod_.GetTerm(m_, probe));   // no table
  EXPECT_FALSE(zod_.GetTerm(5, probe));    // no module
  EXPECT_THROW(zod_.SetTerm(5, probe), EListError);
  EXPECT_THROW(zod_.RemoveTerm(5, probe), EListError);

  ASSERT_TRUE(PutTerm(zod_, m_, Id("de"), 7, u"Datei", usForReview, 9));
  ASSERT_TRUE(PutTerm(zod_, m_, Id("fr"), 7, u"Fichier"));
  EXPECT_FALSE(ReadText(zod_, m_, Id("de"), 8));
  auto got = ReadTerm(zod_, m_, Id("de"), 7);
  ASSERT_TRUE(got);
  EXPECT_EQ(got->Text, u"Datei");
  EXPECT_EQ(got->Status, usForReview);
  EXPECT_EQ(got->Style, 9);
  EXPECT_EQ(got->Data.size(), 10u);
  EXPECT_EQ(ReadText(zod_, m_, Id("fr"), 7), u"Fichier");

  // A buffer measured before the term grew gets only what fits, and learns the new size.
  TZodTerm measured;
  measured.Language = Id("fr");
  measured.Ident = 7;
  ASSERT_TRUE(zod_.GetTerm(m_, measured));
  ASSERT_TRUE(PutTerm(zod_, m_, Id("fr"), 7, u"Fichier et dossier"));
  std::vector<uint8_t> buffer(static_cast<size_t>(measured.Size) + 4, 0xEE);
  measured.Data = buffer.data();
  ASSERT_TRUE(zod_.GetTerm(m_, measured));
  EXPECT_EQ(measured.Size, 36);
  EXPECT_EQ(buffer[0], 'F');
  EXPECT_EQ(buffer[12], 'r');
  EXPECT_EQ(buffer[14], 0xEE);  // past the 14 bytes the buffer was measured for
  ASSERT_TRUE(PutTerm(zod_, m_, Id("fr"), 7, u"Fichier"));

  // A size of 0 changes status and style and keeps the text; a new term gets an empty one.
  TZodTerm update;
  update.Language = Id("de");
  update.Ident = 7;
  update.Status = usSignedOff;
  update.Style = 3;
  ASSERT_TRUE(zod_.SetTerm(m_, update));
  got = ReadTerm(zod_, m_, Id("de"), 7);
  EXPECT_EQ(got->Text, u"Datei");
  EXPECT_EQ(got->Status, usSignedOff);
  EXPECT_EQ(got->Style, 3);
  update.Ident = 11;
  ASSERT_TRUE(zod_.SetTerm(m_, update));
  EXPECT_EQ(ReadText(zod_, m_, Id("de"), 11), u"");

  ASSERT_TRUE(PutTerm(zod_, m_, Id("de"), 7, u"Ablage"));
  EXPECT_EQ(ReadText(zod_, m_, Id("de"), 7), u"Ablage");
  EXPECT_TRUE(zod_.RemoveTerm(m_, update));
  EXPECT_FALSE(zod_.RemoveTerm(m_, update));
  EXPECT_FALSE(ReadText(zod_, m_, Id("de"), 11));
  EXPECT_EQ(ReadText(zod_, m_, Id("fr"), 7), u"Fichier");  // other languages untouched

  zod_.RemoveTerms(m_, Id("de"));
  EXPECT_FALSE(ReadText(zod_, m_, Id("de"), 7));
  EXPECT_EQ(zod_.GetModuleInterface(m_).GetTableNr(TermTableName(Id("de"))), -1);
  EXPECT_TRUE(zod_.PackTerms(m_, Id("fr")));
  EXPECT_FALSE(zod_.PackTerms(m_, Id("de")));
  EXPECT_EQ(ReadText(zod_, m_, Id("fr"), 7), u"Fichier");
}

TEST_F(TermsTest, PackedTermsCountHeadersAndTexts) {
  EXPECT_EQ(zod_.GetTerms(m_, Id("de"), nullptr), 0);
  ASSERT_TRUE(PutTerm(zod_, m_, Id("de"), 1, u"abcde", usForReview, 4));  // 10 bytes
  ASSERT_TRUE(PutTerm(zod_, m_, Id("de"), 2, u""));                       // 0 bytes
  ASSERT_TRUE(PutTerm(zod_, m_, Id("de"), 3, u"xy", usUnTranslated));     // 4 bytes
  EXPECT_EQ(zod_.GetTerms(m_, Id("de"), nullptr), 74);
  std::vector<uint8_t> packed = zod_.GetTerms(m_, Id("de"));
  ASSERT_EQ(packed.size(), 74u);
  // Header of the third term: it starts after 20 + 10 + 20 + 0 bytes.
  EXPECT_EQ(packed[50], 'd');
  EXPECT_EQ(packed[51], 'e');
  EXPECT_EQ(storage::Get32(&packed[54]), 3u);
  EXPECT_EQ(storage::Get32(&packed[62]), 70u);
  EXPECT_EQ(storage::Get32(&packed[66]), 4u);
  auto terms = UnpackTerms(packed.data(), static_cast<int32_t>(packed.size()));
  ASSERT_EQ(terms.size(), 3u);
  EXPECT_EQ(terms[0].Ident, 1u);
  EXPECT_EQ(terms[0].Status, usForReview);
  EXPECT_EQ(terms[0].Style, 4);
  EXPECT_EQ(terms[0].Data, text::Utf16LeBytes(u"abcde"));
  EXPECT_TRUE(terms[1].Data.empty());
  EXPECT_EQ(terms[2].Data, text::Utf16LeBytes(u"xy"));
  // A cut buffer yields the whole terms before the cut only.
  EXPECT_EQ(UnpackTerms(packed.data(), 73).size(), 2u);
}

TEST_F(TermsTest, LongStringsFallBackToTheDesignTimeText) {
  ASSERT_TRUE(zod_.SetDesignTimeLanguage(m_, Id("en")));
  ASSERT_TRUE(PutTerm(zod_, m_, Id("en"), 5, u"Open", usUnTranslated));
  ASSERT_TRUE(PutTerm(zod_, m_, Id("de"), 5, u"Offnen", usUnTranslated));
  ASSERT_TRUE(PutTerm(zod_, m_, Id("de"), 6, u"Zu", usForReview));
  ASSERT_TRUE(zod_.SetUseOriginalIfUntranslated(m_, true));

  EXPECT_EQ(zod_.GetLongStringW(m_, 5, Id("de"), false), u"");
  EXPECT_EQ(zod_.GetLongStringW(m_, 5, Id("de"), true), u"Open");
  EXPECT_EQ(zod_.GetLongStringW(m_, 6, Id("de"), false), u"Zu");
  EXPECT_EQ(zod_.GetLongStringW(m_, 9, Id("de"), true), u"");
  std::u16string buffer(8, u'#');
  EXPECT_EQ(zod_.GetLongStringW(m_, 5, Id("de"), nullptr, true), 4);
  EXPECT_EQ(zod_.GetLongStringW(m_, 5, Id("de"), buffer.data(), true), 4);
  EXPECT_EQ(buffer, std::u16string(u"Open\0###", 8));
  ASSERT_TRUE(zod_.SetUseOriginalIfUntranslated(m_, false));
  EXPECT_EQ(zod_.GetLongStringW(m_, 5, Id("de"), buffer.data(), true), 0);
  EXPECT_EQ(buffer[0], u'\0');

  // The counting call keeps the text; the converting call uses it even when the term
  // changed in between, then releases it.
  ASSERT_TRUE(zod_.SetUseOriginalIfUntranslated(m_, true));
  EXPECT_EQ(zod_.GetLongString(m_, 5, Id("de"), 0, nullptr, true), 4);
  ASSERT_TRUE(PutTerm(zod_, m_, Id("en"), 5, u"Opened", usUnTranslated));
  std::string bytes(8, '#');
  EXPECT_EQ(zod_.GetLongString(m_, 5, Id("de"), 0, bytes.data(), true), 4);
  EXPECT_EQ(bytes, std::string("Open\0###", 8));
  EXPECT_EQ(zod_.GetLongString(m_, 5, Id("de"), 0, bytes.data(), true), 6);
  EXPECT_EQ(bytes, std::string("Opened\0#", 8));
}

TEST_F(TermsTest, CommentsLiveInTheirOwnLanguage) {
  EXPECT_EQ(zod_.GetCommentW(m_, 3, nullptr), 0);
  ASSERT_TRUE(zod_.SetCommentW(m_, 3, u"keep short"));
  ASSERT_TRUE(zod_.SetCommentW(m_, 3, u""));  // keeps the comment
  std::u16string buffer(11, u'#');
  EXPECT_EQ(zod_.GetCommentW(m_, 3, buffer.data()), 10);
  EXPECT_EQ(buffer, std::u16string(u"keep short\0", 11));
  EXPECT_EQ(ReadTerm(zod_, m_, kCommentLanguage, 3)->Text, u"keep short");
  EXPECT_EQ(ReadTerm(zod_, m_, kCommentLanguage, 3)->Status, 0);
  EXPECT_GE(zod_.GetModuleInterface(m_).GetTableNr(std::string("ZodTerms\xA7\xA7")), 0);
}

TEST_F(TermsTest, DictionaryTranslatesOnlyWhenSwitchedOnAndTheClassFits) {
  ASSERT_TRUE(PutTerm(zod_, m_, Id("en"), 100, u"Cancel"));
  ASSERT_TRUE(PutTerm(zod_, m_, Id("de"), 100, u"Abbrechen"));
  EXPECT_FALSE(zod_.SetDictionary(m_, Id("en"), true));  // no object table yet
  AddCatalogued(zod_, m_, 1, 100, 4);
  EXPECT_FALSE(zod_.IsLanguageDictionary(m_, Id("en")));
  EXPECT_EQ(zod_.TranslateW(u"Cancel", nullptr, Id("en"), Id("de"), 4, 0), -1);
  EXPECT_FALSE(zod_.SetDictionary(m_, Id("fr"), true));
  EXPECT_FALSE(zod_.SetDictionary(3, Id("en"), true));
  ASSERT_TRUE(zod_.SetDictionary(m_, Id("en"), true));
  EXPECT_TRUE(zod_.IsLanguageDictionary(m_, Id("en")));
  EXPECT_FALSE(zod_.IsLanguageDictionary(m_, Id("de")));

  std::u16string dest(12, u'#');
  EXPECT_EQ(zod_.TranslateW(u"Cancel", dest.data(), Id("en"), Id("de"), 4, 0), 9);
  EXPECT_EQ(dest, std::u16string(u"Abbrechen\0##", 12));
  EXPECT_EQ(zod_.TranslateW(u"Cancel", nullptr, Id("en"), Id("de"), 5, 0), -1);
  EXPECT_EQ(zod_.TranslateW(u"Cancel", Id("en"), Id("de"), 5, kTranslateAnyClass), u"Abbrechen");
  EXPECT_EQ(zod_.TranslateW(u"Cance", nullptr, Id("en"), Id("de"), 4, 0), -1);
  EXPECT_EQ(zod_.TranslateW(u"Cancel", nullptr, Id("en"), Id("fr"), 4, 0), -1);  // no target table

  // The dictionary stays in the file.
  ASSERT_TRUE(zod_.UnRegisterModule(m_, false));
  ASSERT_EQ(zod_.RegisterModule(path_, false), 0);
  EXPECT_TRUE(zod_.IsLanguageDictionary(0, Id("en")));
  EXPECT_EQ(zod_.TranslateW(u"Cancel", Id("en"), Id("de"), 4, 0), u"Abbrechen");
  ASSERT_TRUE(zod_.SetDictionary(0, Id("en"), false));
  EXPECT_FALSE(zod_.IsLanguageDictionary(0, Id("en")));
  EXPECT_EQ(zod_.TranslateW(u"Cancel", nullptr, Id("en"), Id("de"), 4, 0), -1);
  EXPECT_TRUE(zod_.GetModuleInterface(0).Check().empty());
}

TEST_F(TermsTest, TranslationAsksTheModulesInListOrderUntilOneAnswers) {
  std::string second = MakeModule("second.zod"), third = MakeModule("third.zod");
  ASSERT_EQ(zod_.RegisterModule(second, false), 1);
  ASSERT_EQ(zod_.RegisterModule(third, false), 2);
  // First: the text is there, but the source language is no dictionary.
  ASSERT_TRUE(PutTerm(zod_, 0, Id("en"), 200, u"Save"));
  ASSERT_TRUE(PutTerm(zod_, 0, Id("de"), 200, u"Sichern"));
  AddCatalogued(zod_, 0, 1, 200, 4);
  // Second: a dictionary, but the object with the text is of another class.
  ASSERT_TRUE(PutTerm(zod_, 1, Id("en"), 300, u"Save"));
  ASSERT_TRUE(PutTerm(zod_, 1, Id("de"), 300, u"Ablegen"));
  AddCatalogued(zod_, 1, 1, 300, 7);
  ASSERT_TRUE(zod_.SetDictionary(1, Id("en"), true));
  // Third: answers.
  ASSERT_TRUE(PutTerm(zod_, 2, Id("en"), 400, u"Other"));
  ASSERT_TRUE(PutTerm(zod_, 2, Id("en"), 401, u"Save"));
  ASSERT_TRUE(PutTerm(zod_, 2, Id("de"), 401, u"Speichern"));
  AddCatalogued(zod_, 2, 3, 401, 4);
  AddCatalogued(zod_, 2, 3, 400, 4);
  ASSERT_TRUE(zod_.SetDictionary(2, Id("en"), true));

  EXPECT_EQ(zod_.TranslateW(u"Save", Id("en"), Id("de"), 4, 0), u"Speichern");
  EXPECT_EQ(zod_.TranslateW(u"Save", Id("en"), Id("de"), 4, kTranslateAnyClass), u"Ablegen");
  ASSERT_TRUE(zod_.MoveModuleUp(2));
  EXPECT_EQ(zod_.TranslateW(u"Save", Id("en"), Id("de"), 7, kTranslateAnyClass), u"Speichern");
}

TEST_F(TermsTest, RemovingOldTermsKeepsReferencedTermsAndComments) {
  ASSERT_TRUE(AddLanguage(zod_, m_, "en"));
  ASSERT_TRUE(AddLanguage(zod_, m_, "de"));
  for (uint32_t ident = 10; ident < 20; ++ident) {
    ASSERT_TRUE(PutTerm(zod_, m_, Id("en"), ident, u"e" + std::u16string(1, static_cast<char16_t>('0' + ident - 10))));
    ASSERT_TRUE(PutTerm(zod_, m_, Id("de"), ident, u"d"));
    ASSERT_TRUE(zod_.SetCommentW(m_, ident, u"c"));
  }
  AddCatalogued(zod_, m_, 1, 11, 4);
  AddCatalogued(zod_, m_, 1, 14, 4);
  AddCatalogued(zod_, m_, 2, 19, 4);
  ASSERT_TRUE(PutTerm(zod_, m_, Id("fr"), 12, u"not a language of the module"));

  std::vector<std::pair<TLanguageId, int32_t>> removed;
  EXPECT_FALSE(zod_.RemoveOldTerms(m_, &removed));
  std::vector<std::pair<TLanguageId, int32_t>> expected{{Id("de"), 7}, {Id("en"), 7}};
  std::sort(removed.begin(), removed.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(removed, expected);
  for (TLanguageId lang : {Id("en"), Id("de")}) {
    std::vector<uint32_t> left;
    std::vector<uint8_t> packed = zod_.GetTerms(m_, lang);
    for (const auto& term : UnpackTerms(packed.data(), static_cast<int32_t>(packed.size()))) left.push_back(term.Ident);
    EXPECT_EQ(left, (std::vector<uint32_t>{11, 14, 19}));
  }
  EXPECT_EQ(ReadText(zod_, m_, Id("en"), 14), u"e4");
  for (uint32_t ident = 10; ident < 20; ++ident) EXPECT_EQ(zod_.GetCommentW(m_, ident, nullptr), 1) << ident;
  EXPECT_EQ(ReadText(zod_, m_, Id("fr"), 12), u"not a language of the module");
  EXPECT_TRUE(zod_.GetModuleInterface(m_).Check().empty());
}

TEST_F(TermsTest, RemovingOldTermsReadsPerFormTablesOfOlderModules) {
  ASSERT_TRUE(AddLanguage(zod_, m_, "en"));
  for (uint32_t ident = 1; ident <= 3; ++ident) ASSERT_TRUE(PutTerm(zod_, m_, Id("en"), ident, u"t"));
  TCustomVarDB& db = zod_.GetModuleInterface(m_);
  int table = db.AddTable(
      "ZodObj002A Ident N Kind N ZodClass N CompName N PropertyName N Localization N Comment N Locked L "
      "Priority Y FormID N");
  uint32_t object = 5, term = 2;
  TFindRec fields[2] = {{db.GetFieldNr(table, "Ident"), &object, 4}, {db.GetFieldNr(table, "Localization"), &term, 4}};
  db.AddRecord(table, fields, 2);
  std::string forms = "002A Old\r\n";
  zod_.SetProperty("ZodForms", forms.data(), m_, static_cast<int32_t>(forms.size()));
  zod_.RemoveOldTerms(m_);
  EXPECT_FALSE(ReadText(zod_, m_, Id("en"), 1));
  EXPECT_TRUE(ReadText(zod_, m_, Id("en"), 2));
  EXPECT_FALSE(ReadText(zod_, m_, Id("en"), 3));
}

// Random writes, updates with and without text and removals in several languages,
// checked against a map after every phase and after reopening the file.
TEST_F(TermsTest, RandomTermsAgreeWithAModel) {
  struct TModelTerm {
    uint8_t Status, Style;
    std::u16string Text;
  };
  std::map<std::pair<TLanguageId, uint32_t>, TModelTerm> model;
  const TLanguageId languages[] = {Id("en"), Id("de"), Id("ja"), kCommentLanguage};
  std::mt19937 rng(20261206);
  auto randomText = [&] {
    std::u16string text(rng() % 3 == 0 ? rng() % 3000 : rng() % 40, u'\0');
    for (auto& c : text) c = static_cast<char16_t>(rng() % 5 == 0 ? 0x3000 + rng() % 0x200 : 'a' + rng() % 26);
    return text;
  };
  auto verify = [&](TZod& zod) {
    for (TLanguageId lang : languages) {
      std::vector<uint8_t> packed = zod.GetTerms(0, lang);
      size_t count = 0;
      for (const auto& term : UnpackTerms(packed.data(), static_cast<int32_t>(packed.size()))) {
        auto it = model.find({lang, term.Ident});
        ASSERT_NE(it, model.end()) << term.Ident;
        EXPECT_EQ(term.Status, it->second.Status);
        EXPECT_EQ(term.Style, it->second.Style);
        EXPECT_EQ(term.Data, text::Utf16LeBytes(it->second.Text));
        ++count;
      }
      EXPECT_EQ(count, static_cast<size_t>(std::count_if(model.begin(), model.end(),
                                                         [&](const auto& e) { return e.first.first == lang; })));
    }
    for (const auto& [key, term] : model) EXPECT_EQ(ReadText(zod, 0, key.first, key.second), term.Text);
  };
  for (int step = 0; step < 1500; ++step) {
    TLanguageId lang = languages[rng() % 4];
    uint32_t ident = kFirstTermId + rng() % 200;
    int action = static_cast<int>(rng() % 10);
    if (action < 6) {
      TModelTerm term{static_cast<uint8_t>(rng() % 3), static_cast<uint8_t>(rng() % 256), randomText()};
      ASSERT_TRUE(PutTerm(zod_, m_, lang, ident, term.Text, term.Status, term.Style));
      // An empty text is written with size 0, which keeps the stored one.
      if (term.Text.empty() && model.contains({lang, ident})) term.Text = model[{lang, ident}].Text;
      model[{lang, ident}] = term;
    } else if (action < 8) {
      TZodTerm update;
      update.Language = lang;
      update.Ident = ident;
      update.Status = static_cast<uint8_t>(rng() % 3);
      update.Style = static_cast<uint8_t>(rng() % 256);
      ASSERT_TRUE(zod_.SetTerm(m_, update));
      auto& term = model[{lang, ident}];
      term.Status = update.Status;
      term.Style = update.Style;
    } else {
      TZodTerm key;
      key.Language = lang;
      key.Ident = ident;
      EXPECT_EQ(zod_.RemoveTerm(m_, key), model.erase({lang, ident}) == 1);
    }
    if (step % 500 == 499) verify(zod_);
  }
  ASSERT_TRUE(zod_.UnRegisterModule(m_, false));
  TZod reopened(TZod::TStart::Empty);
  ASSERT_EQ(reopened.RegisterModule(path_, false), 0);
  verify(reopened);
  for (TLanguageId lang : languages) reopened.PackTerms(0, lang);
  verify(reopened);
  auto findings = reopened.GetModuleInterface(0).Check();
  for (const auto& finding : findings) ADD_FAILURE() << finding.Message;
}

}  // namespace
}  // namespace quintrel::module::test
