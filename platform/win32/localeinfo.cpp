#include "platform/win32/localeinfo.h"

#include <algorithm>

#include "platform/rtl/utf8.h"

namespace quintrel::win32 {

namespace {

constexpr const char* kTime = "LC_TIME";
constexpr const char* kNumeric = "LC_NUMERIC";
constexpr const char* kMonetary = "LC_MONETARY";

// One piece of a strftime format: a conversion (%-d: Flag '-', Conversion 'd'; %Ey:
// Modifier 'E') or a run of literal text.
struct TStrftimePiece {
  char Flag = 0;
  char Modifier = 0;
  char Conversion = 0;  // 0 for literal text
  std::u16string Literal;
};

// The pieces of a format; nullopt when a '%' is not followed by a conversion.
std::optional<std::vector<TStrftimePiece>> SplitStrftime(std::u16string_view format) {
  std::vector<TStrftimePiece> pieces;
  const auto literal = [&pieces](char16_t c) {
    if (pieces.empty() || pieces.back().Conversion) pieces.emplace_back();
    pieces.back().Literal += c;
  };
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != u'%') {
      literal(format[i]);
      continue;
    }
    TStrftimePiece piece;
    if (++i < format.size() && std::u16string_view(u"-_0^#").find(format[i]) != std::u16string_view::npos)
      piece.Flag = static_cast<char>(format[i++]);
    while (i < format.size() && format[i] >= u'0' && format[i] <= u'9') ++i;  // a field width
    if (i < format.size() && (format[i] == u'E' || format[i] == u'O')) piece.Modifier = static_cast<char>(format[i++]);
    if (i >= format.size() || format[i] > 0x7E || format[i] < 0x21) return std::nullopt;
    if (format[i] == u'%') {
      literal(u'%');
      continue;
    }
    piece.Conversion = static_cast<char>(format[i]);
    pieces.push_back(std::move(piece));
  }
  return pieces;
}

bool IsTimeConversion(char c) { return std::string_view("HIklMSpPrRTXZzsf").find(c) != std::string_view::npos; }

// A run of literal text in a picture: punctuation, digits and blanks stand as they are;
// the part from the first to the last letter (or character outside ASCII, or quote) is
// quoted, so that none of them is taken for a picture letter: " de " -> " 'de' ".
std::u16string PictureLiteral(std::u16string_view text) {
  const auto special = [](char16_t c) { return c >= 0x80 || c == u'\'' || ((c | 0x20) >= u'a' && (c | 0x20) <= u'z'); };
  const auto first = std::find_if(text.begin(), text.end(), special);
  if (first == text.end()) return std::u16string(text);
  const auto last = std::find_if(text.rbegin(), text.rend(), special).base();
  std::u16string quoted(text.begin(), first);
  quoted += u'\'';
  for (auto c = first; c != last; ++c) quoted += *c == u'\'' ? std::u16string(u"''") : std::u16string(1, *c);
  quoted += u'\'';
  return quoted.append(last, text.end());
}

std::u16string Trimmed(std::u16string_view s) {
  const auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == 0xA0; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return std::u16string(s);
}

// The narrow no-break space that newer definitions separate thousands with has no place
// in any Windows code page; the no-break space stands in for it, as on Windows.
std::u16string Separator(std::u16string s) {
  std::replace(s.begin(), s.end(), char16_t{0x202F}, char16_t{0xA0});
  return s;
}

// `count` names of a keyword (the first of them `first`), or nothing when the definition
// does not give exactly that many.
std::vector<std::u16string> Names(const TLocaleDefinition& d, const char* keyword, size_t count, size_t first = 0) {
  const std::vector<TLocaleValue>* values = d.Values(kTime, keyword);
  std::vector<std::u16string> names;
  if (!values || values->size() != count) return names;
  for (size_t i = 0; i < count; ++i) names.push_back(Trimmed((*values)[(i + first) % count].Text));
  return names;
}

// The separator of the fields of a format from pieces[first] on: the text that stands
// between every two of its fields (conversions of `fields`, after one another). nullopt
// when the texts differ or are empty: "%Y年%m月%d日" has units after its fields, not a
// separator, and the usual separator (':' and '/') stands in.
std::optional<std::u16string> UniformSeparator(const std::vector<TStrftimePiece>& pieces, size_t first,
                                               std::string_view fields) {
  const auto isField = [&](size_t i) {
    return i < pieces.size() && pieces[i].Conversion && fields.find(pieces[i].Conversion) != std::string_view::npos;
  };
  std::optional<std::u16string> separator;
  for (size_t i = first; isField(i) && i + 2 < pieces.size() && !pieces[i + 1].Conversion && isField(i + 2); i += 2) {
    std::u16string text = Trimmed(pieces[i + 1].Literal);
    if (text.empty() || (separator && *separator != text)) return std::nullopt;
    separator = std::move(text);
  }
  return separator;
}

// The hour, marker and separator of a strftime time format.
void ReadTimeFormat(const TLocaleDefinition& d, TLocaleInfo& info) {
  std::u16string format = d.Text(kTime, "t_fmt").value_or(u"");
  std::u16string ampm = d.Text(kTime, "t_fmt_ampm").value_or(u"");
  if (ampm.empty()) ampm = u"%I:%M:%S %p";
  // The composite conversions, spelled out (once: their expansions hold none of them).
  std::u16string expanded;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == u'%' && i + 1 < format.size()) {
      const char16_t c = format[i + 1];
      const char16_t* spelled = c == u'T' ? u"%H:%M:%S" : c == u'R' ? u"%H:%M" : nullptr;
      if (c == u'r') spelled = ampm.c_str();
      if (spelled) {
        expanded += spelled;
        ++i;
        continue;
      }
      expanded += format.substr(i, 2);
      ++i;
      continue;
    }
    expanded += format[i];
  }
  std::optional<std::vector<TStrftimePiece>> pieces = SplitStrftime(expanded);
  if (!pieces) return;
  int hour = -1, marker = -1;
  for (size_t i = 0; i < pieces->size(); ++i) {
    const TStrftimePiece& p = (*pieces)[i];
    if (hour < 0 && p.Conversion && std::string_view("HIkl").find(p.Conversion) != std::string_view::npos) {
      hour = static_cast<int>(i);
      info.TwentyFourHour = p.Conversion == 'H' || p.Conversion == 'k';
      info.LeadingZeroInHours = (p.Conversion == 'H' || p.Conversion == 'I') && p.Flag != '-' && p.Flag != '_';
    }
    if (marker < 0 && (p.Conversion == 'p' || p.Conversion == 'P')) marker = static_cast<int>(i);
  }
  if (hour < 0) return;
  info.HasTime = true;
  info.MarkerBeforeTime = !info.TwentyFourHour && marker >= 0 && marker < hour;
  info.TimeSeparator = UniformSeparator(*pieces, static_cast<size_t>(hour), "HIklMS").value_or(u":");
  if (const std::vector<TLocaleValue>* ampmNames = d.Values(kTime, "am_pm"); ampmNames && ampmNames->size() == 2) {
    info.AMString = Trimmed((*ampmNames)[0].Text);
    info.PMString = Trimmed((*ampmNames)[1].Text);
  }
}

void ReadDateFormats(const TLocaleDefinition& d, TLocaleInfo& info) {
  if (std::optional<std::u16string> shortFormat = d.Text(kTime, "d_fmt")) {
    info.ShortDateFormat = DatePictureOfStrftime(*shortFormat);
    if (!info.ShortDateFormat) {
      info.UnconvertedFormats.emplace_back("d_fmt", *shortFormat);
    } else if (std::optional<std::vector<TStrftimePiece>> pieces = SplitStrftime(*shortFormat)) {
      const auto first = std::find_if(pieces->begin(), pieces->end(), [](const TStrftimePiece& p) { return p.Conversion; });
      info.DateSeparator =
          UniformSeparator(*pieces, static_cast<size_t>(first - pieces->begin()), "demyYbBhaA").value_or(u"/");
    }
  }
  // A locale has no long date format of its own; its full date-and-time format (as the
  // date command prints it) without the time gives one.
  const char* longKeyword = d.Text(kTime, "date_fmt") ? "date_fmt" : "d_t_fmt";
  if (std::optional<std::u16string> longFormat = d.Text(kTime, longKeyword)) {
    info.LongDateFormat = DatePictureOfStrftime(*longFormat, true);
    if (!info.LongDateFormat) info.UnconvertedFormats.emplace_back(longKeyword, *longFormat);
  }
}

void ReadCurrency(const TLocaleDefinition& d, TLocaleInfo& info) {
  std::optional<std::u16string> symbol = d.Text(kMonetary, "currency_symbol");
  info.HasCurrency = symbol.has_value();
  info.CurrencyString = Trimmed(symbol.value_or(u""));
  info.IntlCurrencyString = Trimmed(d.Text(kMonetary, "int_curr_symbol").value_or(u""));
  const auto number = [&d](const char* keyword, int fallback) { return d.Number(kMonetary, keyword).value_or(fallback); };
  const int decimals = number("frac_digits", 2);
  info.CurrencyDecimals = static_cast<uint8_t>(decimals >= 0 && decimals <= 9 ? decimals : 2);
  info.CurrencyFormat = CurrencyFormatCode(number("p_cs_precedes", 1) == 1, number("p_sep_by_space", 0));
  info.NegCurrFormat =
      NegCurrFormatCode(number("n_cs_precedes", 1) == 1, number("n_sep_by_space", 0), number("n_sign_posn", 1));
  const auto separator = [&d](const char* numeric, const char* monetary) {
    std::optional<std::u16string> s = d.Text(kNumeric, numeric);
    if (!s || s->empty()) s = d.Text(kMonetary, monetary);
    return Separator(s.value_or(u""));
  };
  info.DecimalSeparator = separator("decimal_point", "mon_decimal_point");
  info.ThousandSeparator = separator("thousands_sep", "mon_thousands_sep");
}

}  // namespace

std::optional<std::u16string> DatePictureOfStrftime(std::u16string_view format, bool dateOnly) {
  std::optional<std::vector<TStrftimePiece>> pieces = SplitStrftime(format);
  if (!pieces) return std::nullopt;
  std::u16string picture;
  bool dropLiteral = false, anyDate = false;
  for (const TStrftimePiece& p : *pieces) {
    if (!p.Conversion) {
      if (!dropLiteral) picture += PictureLiteral(p.Literal);
      dropLiteral = false;
      continue;
    }
    dropLiteral = false;
    if (dateOnly && IsTimeConversion(p.Conversion)) {
      dropLiteral = true;  // "%H:" and "%Z " go together
      continue;
    }
    const bool unpadded = p.Flag == '-' || p.Flag == '_';
    const char16_t* field = nullptr;
    switch (p.Conversion) {
      case 'd': field = unpadded ? u"d" : u"dd"; break;
      case 'e': field = u"d"; break;
      case 'm': field = unpadded ? u"M" : u"MM"; break;
      case 'y': field = p.Modifier == 'E' ? u"y" : u"yy"; break;
      case 'Y': field = p.Modifier == 'E' ? u"gg y" : u"yyyy"; break;
      case 'C': field = p.Modifier == 'E' ? u"gg" : nullptr; break;
      case 'b': case 'h': field = dateOnly ? u"MMMM" : u"MMM"; break;
      case 'B': field = u"MMMM"; break;
      case 'a': field = dateOnly ? u"dddd" : u"ddd"; break;
      case 'A': field = u"dddd"; break;
      case 'D': field = u"MM/dd/yy"; break;
      case 'F': field = u"yyyy-MM-dd"; break;
      case 'n': case 't': picture += u' '; continue;
      default: return std::nullopt;
    }
    if (!field) return std::nullopt;
    picture += field;
    anyDate = true;
  }
  if (!anyDate) return std::nullopt;
  // What stood between the date and a time that is left out.
  while (!picture.empty() && (picture.back() == u' ' || picture.back() == u',')) picture.pop_back();
  while (!picture.empty() && picture.front() == u' ') picture.erase(0, 1);
  return picture;
}

uint8_t CurrencyFormatCode(bool symbolPrecedes, int sepBySpace) {
  const bool space = sepBySpace == 1;
  return symbolPrecedes ? (space ? 2 : 0) : (space ? 3 : 1);
}

uint8_t NegCurrFormatCode(bool symbolPrecedes, int sepBySpace, int signPosn) {
  // Rows: sign position 0 (parentheses) to 4 (right after the symbol); columns: without
  // and with a space between symbol and amount.
  static constexpr uint8_t kBefore[5][2] = {{0, 14}, {1, 9}, {3, 11}, {1, 9}, {2, 12}};
  static constexpr uint8_t kAfter[5][2] = {{4, 15}, {5, 8}, {7, 10}, {6, 13}, {7, 10}};
  if (signPosn < 0 || signPosn > 4) signPosn = 1;
  const int space = sepBySpace == 1 ? 1 : 0;
  return symbolPrecedes ? kBefore[signPosn][space] : kAfter[signPosn][space];
}

UINT AnsiCodePageOfLangId(LANGID id) {
  struct TEntry {
    WORD primary;
    UINT codePage;
  };
  static constexpr TEntry kTable[] = {
      {0x01, 1256}, {0x02, 1251}, {0x03, 1252}, {0x05, 1250}, {0x06, 1252}, {0x07, 1252}, {0x08, 1253},
      {0x09, 1252}, {0x0A, 1252}, {0x0B, 1252}, {0x0C, 1252}, {0x0D, 1255}, {0x0E, 1250}, {0x0F, 1252},
      {0x10, 1252}, {0x11, 932},  {0x12, 949},  {0x13, 1252}, {0x14, 1252}, {0x15, 1250}, {0x16, 1252},
      {0x18, 1250}, {0x19, 1251}, {0x1B, 1250}, {0x1C, 1250}, {0x1D, 1252}, {0x1E, 874},  {0x1F, 1254},
      {0x20, 1256}, {0x21, 1252}, {0x22, 1251}, {0x23, 1251}, {0x24, 1250}, {0x25, 1257}, {0x26, 1257},
      {0x27, 1257}, {0x29, 1256}, {0x2A, 1258}, {0x2D, 1252}, {0x2F, 1251}, {0x36, 1252}, {0x38, 1252},
      {0x3E, 1252}, {0x3F, 1251}, {0x41, 1252}, {0x56, 1252},
  };
  const WORD primary = PRIMARYLANGID(id), sub = SUBLANGID(id);
  // Chinese: Taiwan, Hong Kong and Macao write traditional characters, the others
  // simplified; Serbian in Cyrillic letters (sublanguage 3) has the Cyrillic code page.
  if (primary == 0x04) return sub == 1 || sub == 3 || sub == 5 ? 950 : 936;
  if (primary == 0x1A) return sub == 3 ? 1251 : 1250;
  for (const TEntry& entry : kTable)
    if (entry.primary == primary) return entry.codePage;
  return 0;
}

TLocaleInfo LocaleInfoFromDefinition(const TLocaleDefinition& d, std::string_view name) {
  TLocaleInfo info;
  info.Name = std::string(name);
  info.EnglishName = Trimmed(d.Text("LC_IDENTIFICATION", "language").value_or(u""));
  info.NativeName = Trimmed(d.Text("LC_ADDRESS", "lang_name").value_or(info.EnglishName));
  info.LanguageCode = rtl::WideToUtf8(Trimmed(d.Text("LC_ADDRESS", "lang_ab").value_or(u"")));
  info.CountryCode = rtl::WideToUtf8(Trimmed(d.Text("LC_ADDRESS", "country_ab2").value_or(u"")));
  // The definition's own codes name the locale best ("de_DE" for a file de_DE@euro or a
  // path); the name asked for stands in when they are missing.
  const std::string localeName =
      info.LanguageCode.empty() ? std::string(name.substr(name.rfind('/') + 1)) : info.LanguageCode + "_" + info.CountryCode;
  info.LangId = LangIdFromLocaleName(localeName);
  const UINT codePage = info.LangId ? AnsiCodePageOfLangId(info.LangId) : 0;
  info.Charset = codePage ? CodePageToCharset(codePage) : 0;

  // POSIX lists the days Sunday first; Windows Monday first.
  info.LongDayNames = Names(d, "day", 7, 1);
  info.ShortDayNames = Names(d, "abday", 7, 1);
  // Languages that inflect month names give the nominative (the form a name stands
  // alone in, as in a calendar's title) as alt_mon; that is what month lists show.
  info.LongMonthNames = Names(d, d.Values(kTime, "alt_mon") ? "alt_mon" : "mon", 12);
  info.ShortMonthNames = Names(d, d.Values(kTime, "ab_alt_mon") ? "ab_alt_mon" : "abmon", 12);

  ReadTimeFormat(d, info);
  ReadDateFormats(d, info);
  ReadCurrency(d, info);
  return info;
}

}  // namespace quintrel::win32
