#include "tools/pseudo.h"

#include <algorithm>
#include <vector>

#include "platform/rtl/sysutils.h"
#include "strings/toolconsts.h"
#include "tools/termtext.h"

namespace quintrel::tools {

namespace {

// The forms of the choice: their ids and names as catalogued.
std::vector<std::pair<uint16_t, std::string>> ChosenForms(module::TZod& zod, int module, const std::string& form) {
  const module::TCatalogueList forms = zod.GetForms(module);
  std::vector<std::pair<uint16_t, std::string>> chosen;
  if (!form.empty()) {
    const auto id = static_cast<uint16_t>(module::GetFormIDIgnoringCase(forms, form));
    if (id == 0) throw rtl::Exception(rtl::Format(strings::_SPseudoNoForm, form));
    chosen.emplace_back(id, module::CatalogueName(forms[static_cast<size_t>(module::GetFormIndex(forms, id))]));
    return chosen;
  }
  for (const std::string& line : forms) {
    if (line.size() < 5) continue;
    try {
      const auto id = static_cast<uint16_t>(std::stoul(line.substr(0, 4), nullptr, 16));
      if (id != 0) chosen.emplace_back(id, module::CatalogueName(line));
    } catch (const std::exception&) {
      // A line without an identifier names no form.
    }
  }
  return chosen;
}

}  // namespace

std::size_t ExpandedLength(std::size_t length, int percent) {
  // length x (100 + percent) / 100 in integers, to the nearest, halves to the even one.
  const std::size_t numerator = length * static_cast<std::size_t>(100 + percent);
  std::size_t quotient = numerator / 100;
  const std::size_t twiceRemainder = 2 * (numerator % 100);
  if (twiceRemainder > 100 || (twiceRemainder == 100 && quotient % 2 == 1)) ++quotient;
  return quotient;
}

std::u16string FillerText(std::u16string_view replacement, std::size_t length) {
  std::u16string out;
  if (replacement.empty()) return out;
  out.reserve(length);
  while (out.size() < length) out.append(replacement.substr(0, length - out.size()));
  return out;
}

const std::vector<std::string>& PseudoCharsets() {
  static const std::vector<std::string> sets = {
      "00 ANSI_CHARSET",   "01 DEFAULT_CHARSET",  "02 SYMBOL_CHARSET",      "4D MAC_CHARSET",
      "80 SHIFTJIS_CHARSET", "81 HANGEUL_CHARSET", "82 JOHAB_CHARSET",       "86 GB2312_CHARSET",
      "88 CHINESEBIG5_CHARSET", "A1 GREEK_CHARSET", "A2 TURKISH_CHARSET",    "B1 HEBREW_CHARSET",
      "B2 ARABIC_CHARSET", "BA BALTIC_CHARSET",   "CC RUSSIAN_CHARSET",     "DE THAI_CHARSET",
      "EE EE_CHARSET",     "FF OEM_CHARSET"};
  return sets;
}

TPseudoResult PseudoTranslate(module::TZod& zod, int module, const TPseudoOptions& options,
                              const TProgress& progress) {
  if (options.Text.empty()) throw rtl::Exception(strings::_SPseudoEmptyText);
  if (options.Expansion != 0 && options.Expansion != 20 && options.Expansion != 50 && options.Expansion != 100)
    throw rtl::Exception(rtl::Format(strings::_SPseudoBadExpansion, options.Expansion));
  const auto forms = ChosenForms(zod, module, options.Form);
  Report(progress, strings::_SPseudoRemovingOldTerms, 0, 0);

  module::TZodLanguage language;
  language.Identifier = kPseudoLanguage;
  language.Name = std::u16string(u"Pseudo Test Language");
  language.Charset = options.Charset;
  if (!zod.SetLanguage(module, language)) throw rtl::Exception(strings::_SPseudoLanguageNotStored);

  const module::TLanguageId design = zod.GetDesignTimeLanguage(module);
  std::vector<std::vector<module::TZodObject>> objects;
  std::size_t total = 0;
  for (const auto& [id, name] : forms) {
    objects.push_back(zod.GetObjects(module, id));
    total += objects.back().size();
  }
  TPseudoResult result;
  for (const auto& entry : forms) ++(entry.second.starts_with('#') ? result.Units : result.Forms);
  std::size_t position = 0;
  for (const std::vector<module::TZodObject>& formObjects : objects)
    for (const module::TZodObject& object : formObjects) {
      Report(progress, strings::_SPseudoTranslatingTerms, ++position, total);
      if (object.Localization == 0 || object.Kind != module::utString) continue;
      const std::optional<TTermText> source = ReadTermText(zod, module, design, object.Localization);
      const std::size_t length = source ? ExpandedLength(source->Text.size(), options.Expansion) : 0;
      StoreTermText(zod, module, kPseudoLanguage, object.Localization, FillerText(options.Text, length),
                    module::usForReview, TSignedOff::Overwrite);
      ++result.Terms;
    }
  return result;
}

}  // namespace quintrel::tools
