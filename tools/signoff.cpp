#include "tools/signoff.h"

#include <string>

#include "platform/rtl/sysutils.h"
#include "strings/toolconsts.h"
#include "tools/termtext.h"

namespace quintrel::tools {

namespace {

std::string LeafName(const TObjectLeaf& leaf) {
  return leaf.Component.empty() ? leaf.Property : leaf.Component + "." + leaf.Property;
}

}  // namespace

std::vector<TLeafStatus> LeafStatuses(module::TZod& zod, int module, module::TLanguageId language,
                                      const std::vector<const TObjectLeaf*>& leaves) {
  std::vector<TLeafStatus> statuses;
  statuses.reserve(leaves.size());
  for (const TObjectLeaf* leaf : leaves) {
    TLeafStatus status{leaf};
    module::TZodTerm term;
    term.Language = language;
    term.Ident = leaf->Object.Localization;
    if (term.Ident != 0 && zod.GetTerm(module, term)) {
      status.HasTerm = true;
      status.Status = term.Status;
    }
    statuses.push_back(status);
  }
  return statuses;
}

std::optional<uint8_t> CommonStatus(const std::vector<TLeafStatus>& statuses) {
  if (statuses.empty()) return std::nullopt;
  for (const TLeafStatus& s : statuses)
    if (s.Status != statuses.front().Status) return std::nullopt;
  return statuses.front().Status;
}

std::size_t SignOff(module::TZod& zod, int module, module::TLanguageId language,
                    const std::vector<const TObjectLeaf*>& leaves) {
  const std::vector<TLeafStatus> statuses = LeafStatuses(zod, module, language, leaves);
  std::string missing;
  std::size_t untranslated = 0;
  for (const TLeafStatus& s : statuses) {
    if (s.HasTerm && s.Status != module::usUnTranslated) continue;
    if (++untranslated <= 3) missing += (missing.empty() ? "" : ", ") + LeafName(*s.Leaf);
  }
  if (untranslated > 0)
    throw rtl::Exception(rtl::Format(strings::_SSignOffUntranslated, static_cast<int>(untranslated), missing));
  std::size_t changed = 0;
  for (const TLeafStatus& s : statuses)
    if (s.Status != module::usSignedOff &&
        SetTermStatus(zod, module, language, s.Leaf->Object.Localization, module::usSignedOff))
      ++changed;
  return changed;
}

std::size_t Unlock(module::TZod& zod, int module, module::TLanguageId language,
                   const std::vector<const TObjectLeaf*>& leaves) {
  std::size_t changed = 0;
  for (const TLeafStatus& s : LeafStatuses(zod, module, language, leaves))
    if (s.Status == module::usSignedOff &&
        SetTermStatus(zod, module, language, s.Leaf->Object.Localization, module::usForReview))
      ++changed;
  return changed;
}

}  // namespace quintrel::tools
