// Languages, language codes and countries as packed module properties.
#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

#include "module/zod.h"
#include "storage/coding.h"
#include "tests/module/module_fixture.h"

namespace quintrel::module {
namespace {

using test::Id;

// A record with every field set to something of its own, some texts empty or absent.
TZodLanguage FullRecord(TLanguageId id) {
  TZodLanguage l;
  l.Identifier = id;
  l.Reserved2 = 0xBEEF;
  l.Name = u"German";
  l.NativeName = u"";  // empty: stored as its terminator alone
  l.Charset = 238;
  l.Reserved13 = 0x13;
  l.PrimaryLanguage = Id("de");
  l.Country = Id("AT");
  l.Reserved18 = 0x1818;
  l.Win32Locale = 0x0C07;
  l.SortMethod = 5;
  l.Reserved25 = {0x25, 0x26, 0x27};
  const char16_t* days[] = {u"Montag", u"Dienstag", u"Mittwoch", u"Donnerstag", u"Freitag", u"Samstag", u"Sonntag"};
  for (int i = 0; i < 7; ++i) {
    l.LongDayNames[i] = days[i];
    l.ShortDayNames[i] = std::u16string(days[i]).substr(0, 2);
  }
  l.ShortDayNames[3] = std::nullopt;  // absent: count 0
  for (int i = 0; i < 12; ++i) {
    l.LongMonthNames[i] = u"M\u00E4rz" + std::u16string(1, static_cast<char16_t>(u'A' + i));
    l.ShortMonthNames[i] = i == 5 ? std::u16string() : std::u16string(1, static_cast<char16_t>(u'a' + i));
  }
  l.TwentyFourHour = true;
  l.MarkerBeforeTime = true;
  l.LeadingZeroInHours = true;
  l.Reserved183 = 0x83;
  l.AMString = u"vorm.";
  l.PMString = u"nachm.";
  l.TimeSeparator = u":";
  l.ShortDateFormat = u"dd.MM.yyyy";
  l.LongDateFormat = u"dddd, d. MMMM yyyy";
  l.DateSeparator = u".";
  l.CurrencyString = u"\u20AC";
  l.CurrencyFormat = 3;
  l.NegCurrFormat = 8;
  l.CurrencyDecimals = 2;
  l.Reserved259 = 0x59;
  l.ThousandSeparator = u".";
  l.DecimalSeparator = u",";
  l.InputMethod = "ime-de";
  l.KeyboardLayout = 0x0407;
  l.ApplyFlags = kApplyDayNames | kApplyCurrency;
  l.Reserved296 = {1, 2, 3, 4};
  return l;
}

// Every field of the record; the texts through the list that packing walks.
auto Fields(const TZodLanguage& l) {
  std::vector<TZodText> texts;
  for (const auto* text : l.Texts()) texts.push_back(*text);
  return std::make_tuple(l.Identifier, l.Reserved2, l.Charset, l.Reserved13, l.PrimaryLanguage, l.Country,
                         l.Reserved18, l.Win32Locale, l.SortMethod, l.Reserved25, texts, l.TwentyFourHour,
                         l.MarkerBeforeTime, l.LeadingZeroInHours, l.Reserved183, l.AMString, l.PMString,
                         l.TimeSeparator, l.DateSeparator, l.CurrencyString, l.CurrencyFormat, l.NegCurrFormat,
                         l.CurrencyDecimals, l.Reserved259, l.ThousandSeparator, l.DecimalSeparator, l.InputMethod,
                         l.KeyboardLayout, l.ApplyFlags, l.Reserved296);
}

class Languages : public test::ModuleFixture {
protected:
  void SetUp() override {
    ModuleFixture::SetUp();
    file_ = MakeModule("lang.zod");
    m_ = zod_.RegisterModule(file_, false);
  }
  TZodLanguage Named(const char* id, const char16_t* name) {
    TZodLanguage l;
    l.Identifier = Id(id);
    l.Name = name;
    return l;
  }
  std::vector<TLanguageId> List() {
    std::vector<TLanguageId> ids;
    zod_.GetLanguageList(m_, ids);
    return ids;
  }

  TZod zod_{TZod::TStart::Empty};
  std::string file_;
  int m_ = -1;
};

TEST_F(Languages, EveryFieldSurvivesAReopen) {
  TZodLanguage written = FullRecord(Id("de"));
  ASSERT_TRUE(zod_.SetLanguage(m_, written));
  zod_.UnRegisterModule(m_, false);
  TZod other(TZod::TStart::Empty);
  int m = other.RegisterModule(file_, false);
  TZodLanguage read;
  read.Identifier = Id("de");
  ASSERT_TRUE(other.GetLanguage(m, read));
  EXPECT_EQ(Fields(read), Fields(written));
  EXPECT_EQ(read.NativeName, std::u16string()) << "empty, not absent";
  EXPECT_FALSE(read.ShortDayNames[3].has_value());
}

TEST_F(Languages, StoredBytesFollowTheLayout) {
  ASSERT_TRUE(zod_.SetLanguage(m_, FullRecord(Id("de"))));
  std::vector<uint8_t> v = *zod_.GetProperty(m_, kPropLanguage);
  const uint8_t* h = v.data();
  EXPECT_EQ(storage::Get16(h), Id("de"));
  EXPECT_EQ(h[0], 'd');
  EXPECT_EQ(storage::Get16(h + 2), 0xBEEF);
  EXPECT_EQ(storage::Get32(h + 4), 14u) << "\"German\" and its terminator";
  EXPECT_EQ(storage::Get32(h + 8), 2u) << "an empty text is its terminator";
  EXPECT_EQ(h[12], 238);
  EXPECT_EQ(storage::Get16(h + 14), Id("de"));
  EXPECT_EQ(storage::Get16(h + 16), Id("AT"));
  EXPECT_EQ(storage::Get32(h + 20), 0x0C07u);
  EXPECT_EQ(h[24], 5);
  EXPECT_EQ(storage::Get32(h + 28), 14u) << "Montag";
  EXPECT_EQ(storage::Get32(h + 56 + 3 * 4), 0u) << "an absent text has count 0";
  EXPECT_EQ(h[180], 1);
  EXPECT_EQ(storage::Get16(h + 184), u'v');
  EXPECT_EQ(storage::Get16(h + 184 + 10), 0) << "AM string terminated";
  EXPECT_EQ(storage::Get16(h + 220), u':');
  EXPECT_EQ(storage::Get32(h + 228), 22u) << "dd.MM.yyyy";
  EXPECT_EQ(storage::Get16(h + 244), 0x20AC);
  EXPECT_EQ(h[256], 3);
  EXPECT_EQ(h[257], 8);
  EXPECT_EQ(h[258], 2);
  EXPECT_EQ(storage::Get16(h + 260), u'.');
  EXPECT_EQ(storage::Get16(h + 268), u',');
  EXPECT_EQ(h[276], 6);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(h + 277), 6), "ime-de");
  EXPECT_EQ(storage::Get16(h + 292), 0x0407);
  EXPECT_EQ(storage::Get16(h + 294), 17);
  // The texts follow the header in their stored order: name first, long date format last.
  EXPECT_EQ(storage::Get16(h + 300), u'G');
  EXPECT_EQ(storage::Get16(h + 300 + 14 + 2), u'M') << "Montag right after the empty native name";
  uint64_t total = 300;
  for (size_t offset = 4; offset < 300; offset += 4) {
    bool isCount = offset == 4 || offset == 8 || (offset >= 28 && offset < 180) || offset == 228 || offset == 232;
    if (isCount) total += storage::Get32(h + offset);
  }
  EXPECT_EQ(v.size(), total);
  EXPECT_EQ(v[v.size() - 2], 0);
  EXPECT_EQ(storage::Get16(v.data() + v.size() - 2 * 5), u'y') << "...yyyy and the terminator end the entry";
}

TEST_F(Languages, FixedTextsAreCutToTheirRoom) {
  TZodLanguage l = Named("fr", u"French");
  l.AMString = u"123456789ABC";
  l.TimeSeparator = u"::::::";
  l.CurrencyString = u"EURO!!!";
  l.InputMethod = std::string(40, 'i');
  ASSERT_TRUE(zod_.SetLanguage(m_, l));
  TZodLanguage read;
  read.Identifier = Id("fr");
  ASSERT_TRUE(zod_.GetLanguage(m_, read));
  EXPECT_EQ(read.AMString, u"12345678");
  EXPECT_EQ(read.TimeSeparator, u":::");
  EXPECT_EQ(read.CurrencyString, u"EURO!");
  EXPECT_EQ(read.InputMethod, std::string(15, 'i'));
  EXPECT_EQ(storage::Get16(zod_.GetProperty(m_, kPropLanguage)->data() + 184 + 16), 0) << "the terminator always fits";
}

TEST_F(Languages, SetMovesToTheFrontAndRemovalKeepsTheOrder) {
  EXPECT_TRUE(List().empty());
  EXPECT_EQ(zod_.GetFreeLanguageID(m_), Id("00"));
  ASSERT_TRUE(zod_.SetLanguage(m_, Named("aa", u"A")));
  ASSERT_TRUE(zod_.SetLanguage(m_, Named("bb", u"B")));
  ASSERT_TRUE(zod_.SetLanguage(m_, Named("aa", u"A2")));
  EXPECT_EQ(List(), (std::vector<TLanguageId>{Id("aa"), Id("bb")}));
  ASSERT_TRUE(zod_.SetLanguage(m_, Named("cc", u"C")));
  std::vector<TLanguageId> ids;
  std::vector<TZodText> names;
  EXPECT_EQ(zod_.GetLanguageList(m_, ids, &names), 3);
  EXPECT_EQ(names, (std::vector<TZodText>{u"C", u"A2", u"B"}));

  TZodLanguage removal;
  removal.Identifier = Id("aa");
  removal.PrimaryLanguage = kRemoveMarker;
  ASSERT_TRUE(zod_.SetLanguage(m_, removal));
  EXPECT_EQ(List(), (std::vector<TLanguageId>{Id("cc"), Id("bb")}));
  TZodLanguage gone;
  gone.Identifier = Id("aa");
  EXPECT_FALSE(zod_.GetLanguage(m_, gone));

  removal.Identifier = Id("cc");
  zod_.SetLanguage(m_, removal);
  removal.Identifier = Id("bb");
  zod_.SetLanguage(m_, removal);
  EXPECT_FALSE(zod_.GetProperty(m_, kPropLanguage).has_value()) << "the last removal removes the property";
}

TEST_F(Languages, FreeIdentifiersCharsetsAndTheStringList) {
  ASSERT_TRUE(zod_.SetLanguage(m_, Named("00", u"Zero")));
  ASSERT_TRUE(zod_.SetLanguage(m_, Named("02", u"Two")));
  EXPECT_EQ(zod_.GetFreeLanguageID(m_), Id("01"));
  TZodLanguage ru = Named("ru", u"\u0420\u0443\u0441\u0441\u043A\u0438\u0439");
  ru.Charset = 204;
  ASSERT_TRUE(zod_.SetLanguage(m_, ru));
  EXPECT_EQ(zod_.GetCharsetOfLanguage(m_, Id("ru")), 204);
  EXPECT_EQ(zod_.GetCharsetOfLanguage(m_, Id("xx")), 0);
  EXPECT_EQ(zod_.GetCharsetOfLanguage(5, Id("ru")), 0);

  TZodLanguage fr = Named("fr", u"Fran\u00E7ais");
  ASSERT_TRUE(zod_.SetLanguage(m_, fr));
  TLangStringList strings;
  strings.AddObject("stale", 1);
  zod_.GetLangList(m_, strings);
  ASSERT_EQ(strings.Items().size(), 4u);
  EXPECT_EQ(strings.Items()[0], (std::pair<std::string, uintptr_t>{"Fran\xE7" "ais", Id("fr")})) << "charset 0 bytes";
  EXPECT_EQ(strings.Items()[1].first, std::string(7, '\x7F')) << "no charset-0 byte for Cyrillic";
  EXPECT_EQ(strings.Items()[3].second, Id("00"));
  EXPECT_EQ(strings.UpdateCount(), 0);

  for (int n = 0; n < 256; ++n) {
    static const char digits[] = "0123456789ABCDEF";
    const char id[] = {digits[n >> 4], digits[n & 15], 0};
    zod_.SetLanguage(m_, Named(id, u"x"));
  }
  EXPECT_EQ(zod_.GetFreeLanguageID(m_), kNoLanguage) << "all 256 taken";
}

TEST_F(Languages, CurrentLanguage) {
  TZodLanguage de = Named("de", u"Deutsch");
  de.Win32Locale = 0x0407;
  TZodLanguage fr = Named("fr", u"Fran\u00E7ais");
  fr.Win32Locale = 0x040C;
  zod_.SetLanguage(m_, de);
  zod_.SetLanguage(m_, fr);
  zod_.SetDesignTimeLanguage(m_, Id("en"));
  EXPECT_EQ(zod_.GetCurrentLanguage(m_), Id("en")) << "no default among the languages: the design-time language";
  zod_.SetDefaultLanguage(m_, Id("de"));
  EXPECT_EQ(zod_.GetCurrentLanguage(m_), Id("de"));

  setenv("QUINTREL_LANGID", "0x040C", 1);
  EXPECT_EQ(zod_.GetCurrentLanguage(m_), Id("de")) << "the locale counts only when the module asks for it";
  zod_.SetWin32Locale(m_, true);
  EXPECT_EQ(zod_.GetCurrentLanguage(m_), Id("fr"));
  setenv("QUINTREL_LANGID", "0x0411", 1);
  EXPECT_EQ(zod_.GetCurrentLanguage(m_), Id("de"));
  unsetenv("QUINTREL_LANGID");

  zod_.SetCurrentLanguage(m_, Id("xx"));
  EXPECT_EQ(zod_.GetCurrentLanguage(m_), Id("xx"));
  zod_.SetCurrentLanguage(-1, Id("yy"));
  EXPECT_EQ(zod_.GetCurrentLanguage(m_), Id("de"));
}

TEST_F(Languages, DamagedValuesAreReadUpToTheDamageAndNeverRebuilt) {
  std::vector<uint8_t> good = PackLanguage(Named("de", u"Deutsch"));
  std::vector<uint8_t> second = PackLanguage(Named("fr", u"Fran\u00E7ais"));

  // Counts of the second entry promise more than there is.
  std::vector<uint8_t> value = good;
  value.insert(value.end(), second.begin(), second.end());
  storage::Put32(value.data() + good.size() + 4, 0xFFFFFFF0);
  for (size_t i = 1; i < 42; ++i) storage::Put32(value.data() + good.size() + 28 + 4 * (i % 38), 0xFFFFFFFF);
  zod_.SetProperty(kPropLanguage, value.data(), m_, static_cast<int32_t>(value.size()));
  EXPECT_EQ(List(), (std::vector<TLanguageId>{Id("de")}));
  TPackedList walk = zod_.GetPackedList(m_, kPropLanguage);
  EXPECT_TRUE(walk.Damaged);
  EXPECT_EQ(walk.DamageOffset, good.size());
  TZodLanguage fr;
  fr.Identifier = Id("fr");
  EXPECT_FALSE(zod_.GetLanguage(m_, fr));
  // A damaged value is not rebuilt.
  const std::string refusal = test::MessageOf<EZodDamaged>([&] { zod_.SetLanguage(m_, Named("it", u"Italiano")); });
  EXPECT_NE(refusal.find("ZodLanguage"), std::string::npos) << refusal;
  EXPECT_NE(refusal.find(std::to_string(good.size())), std::string::npos) << refusal;
  EXPECT_EQ(*zod_.GetProperty(m_, kPropLanguage), value) << "the stored value is left as it was";

  // A header cut off, and a value shorter than one header.
  value = good;
  value.insert(value.end(), second.begin(), second.begin() + 120);
  zod_.SetProperty(kPropLanguage, value.data(), m_, static_cast<int32_t>(value.size()));
  EXPECT_EQ(List().size(), 1u);
  zod_.SetProperty(kPropLanguage, good.data(), m_, 299);
  EXPECT_TRUE(List().empty());
  EXPECT_EQ(zod_.GetFreeLanguageID(m_), Id("00"));

  // The texts of an entry that lies within the value but whose counts are odd or lack a
  // terminator read as far as whole units go.
  value = PackLanguage(Named("xx", u"abc"));
  value.resize(300);
  storage::Put32(value.data() + 4, 5);
  value.insert(value.end(), {'a', 0, 'b', 0, 'c'});
  zod_.SetProperty(kPropLanguage, value.data(), m_, static_cast<int32_t>(value.size()));
  std::vector<TZodText> names;
  std::vector<TLanguageId> ids;
  ASSERT_EQ(zod_.GetLanguageList(m_, ids, &names), 1);
  EXPECT_EQ(names[0], u"ab");
}

// Random damage to valid values: every walk stops inside the value and every entry it
// hands out unpacks without reading past it (the sanitizers watch the reads).
TEST(PackedValues, RandomDamageStaysInsideTheValue) {
  std::vector<uint8_t> valid = PackLanguage(FullRecord(Id("de")));
  std::vector<uint8_t> more = PackLanguage(FullRecord(Id("fr")));
  valid.insert(valid.end(), more.begin(), more.end());
  uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return state >> 8;
  };
  for (int round = 0; round < 2000; ++round) {
    std::vector<uint8_t> value = valid;
    for (int n = next() % 6; n >= 0; --n) value[next() % value.size()] = static_cast<uint8_t>(next());
    if (round % 3 == 0) value.resize(next() % value.size());
    for (auto walk : {WalkLanguages, WalkLangCodes, WalkCountries}) {
      TPackedList list = walk(value);
      size_t end = 0;
      for (const TPackedEntry& e : list.Entries) {
        ASSERT_EQ(e.Offset, end);
        ASSERT_LE(e.Offset + e.Size, value.size());
        end = e.Offset + e.Size;
        std::span<const uint8_t> entry(value.data() + e.Offset, e.Size);
        if (walk == WalkLanguages) UnpackLanguage(entry);
        if (walk == WalkLangCodes) UnpackLangCode(entry);
        if (walk == WalkCountries) UnpackCountry(entry);
      }
      EXPECT_EQ(list.Damaged, end != value.size());
    }
  }
}

TEST_F(Languages, LanguageCodes) {
  TZodLangCode code;
  code.Code = Id("de");
  code.Text = u"German";
  ASSERT_TRUE(zod_.SetLangCode(m_, code));
  code.Code = Id("fr");
  code.Text = std::nullopt;
  ASSERT_TRUE(zod_.SetLangCode(m_, code));
  std::vector<uint8_t> v = *zod_.GetProperty(m_, kPropLangCode);
  ASSERT_EQ(v.size(), 8u + 2 + 8 + 14);
  EXPECT_EQ(storage::Get32(v.data() + 4), 2u) << "a code without text is stored with an empty one";
  EXPECT_EQ(storage::Get16(v.data() + 10), Id("de")) << "stride 8 + text count";

  TZodLangCode read;
  read.Code = Id("de");
  ASSERT_TRUE(zod_.GetLangCode(m_, read));
  EXPECT_EQ(read.Text, u"German");

  TZod& zod = zod_;
  int second = zod.NewModule(Path("second.zod"));
  code.Code = Id("de");
  code.Text = u"Deutsch";
  zod.SetLangCode(second, code);
  code.Code = Id("it");
  zod.SetLangCode(second, code);
  std::vector<uint16_t> codes;
  std::vector<TZodText> texts;
  EXPECT_EQ(zod.GetLangCodeList(-1, codes, &texts), 3);
  EXPECT_EQ(codes, (std::vector<uint16_t>{Id("fr"), Id("de"), Id("it")}));
  EXPECT_EQ(texts[1], u"German") << "the first module's entry wins";
  EXPECT_EQ(zod.GetLangCodeList(second, codes), 2);

  code.Code = Id("it");
  code.RemoveMarker = kRemoveMarker;
  zod.SetLangCode(second, code);
  EXPECT_EQ(zod.GetLangCodeList(second, codes), 1);
}

TEST_F(Languages, CountriesAcrossModules) {
  int second = zod_.NewModule(Path("second.zod"));
  TZodCountry at;
  at.CountryCode = Id("AT");
  at.Name = u"\u00D6sterreich";
  at.Data = {1, 2, 3, 4, 5};
  at.Reserved16 = {9, 9, 9, 9};
  ASSERT_TRUE(zod_.SetCountry(m_, at));
  TZodCountry ch;
  ch.CountryCode = Id("CH");
  ch.Name = u"Schweiz";
  ASSERT_TRUE(zod_.SetCountry(second, ch));

  std::vector<uint8_t> v = *zod_.GetProperty(m_, kPropCountry);
  ASSERT_EQ(v.size(), 20u + 22 + 5) << "stride 20 + name count + data size";
  EXPECT_EQ(storage::Get32(v.data() + 8), 5u);
  EXPECT_EQ(storage::Get32(v.data() + 12), 22u);
  EXPECT_EQ(v[20 + 22], 1) << "data after the name";

  TZodCountry read;
  read.CountryCode = Id("AT");
  ASSERT_TRUE(zod_.GetCountry(m_, read));
  EXPECT_EQ(read.Name, at.Name);
  EXPECT_EQ(read.Data, at.Data);
  EXPECT_EQ(read.Reserved16, at.Reserved16);

  read = TZodCountry{};
  read.CountryCode = Id("AT");
  EXPECT_FALSE(zod_.GetCountry(-1, read)) << "-1 searches every module but module 0";
  EXPECT_TRUE(zod_.GetCountry(-2, read)) << "-2 skips module 1";
  read.CountryCode = Id("CH");
  EXPECT_TRUE(zod_.GetCountry(-1, read));
  EXPECT_EQ(read.Name, u"Schweiz");
  EXPECT_FALSE(zod_.GetCountry(-2, read));

  std::vector<uint16_t> codes;
  EXPECT_EQ(zod_.GetCountryList(-1, codes), 2);
  EXPECT_EQ(codes, (std::vector<uint16_t>{Id("AT"), Id("CH")}));

  // A data size that runs past the value is damage.
  storage::Put32(v.data() + 8, 500);
  zod_.SetProperty(kPropCountry, v.data(), m_, static_cast<int32_t>(v.size()));
  read.CountryCode = Id("AT");
  EXPECT_FALSE(zod_.GetCountry(m_, read));
  EXPECT_EQ(zod_.GetCountryList(m_, codes), 0);
}

TEST_F(Languages, AnotherProcessAddsALanguageThisOneThenLists) {
  ASSERT_TRUE(zod_.SetLanguage(m_, Named("en", u"English")));
  EXPECT_EQ(List().size(), 1u);
  // Another process opens the same file on its own and adds two languages while this one
  // keeps its module open.
  ASSERT_TRUE(test::InChild([&] {
    TZod child(TZod::TStart::Empty);
    const int m = child.RegisterModule(file_, false);
    return m == 0 && child.SetLanguage(m, Named("sv", u"Svenska")) && test::AddLanguage(child, m, "pl", u"Polski", 238);
  }));
  EXPECT_EQ(List(), (std::vector<TLanguageId>{Id("pl"), Id("sv"), Id("en")}));
  EXPECT_EQ(zod_.GetCharsetOfLanguage(m_, Id("pl")), 238);
}

}  // namespace
}  // namespace quintrel::module
