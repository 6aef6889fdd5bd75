// Sign-off: the translations of a form, a component or a property in one language are
// declared finished (status usSignedOff) and protected from the tools that fill or change
// translations in bulk (tools/termtext.h); unlocking sets them back to usForReview. Only
// the status changes; texts stay.
//
// A node (a path of tools/intlobjects.h) shows a status when every property below it has
// that status in the language, a property without a term counting as untranslated; none
// when they differ. Only translated properties (for review or signed off) can be signed
// off.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "module/zod.h"
#include "tools/intlobjects.h"

namespace quintrel::tools {

struct TLeafStatus {
  const TObjectLeaf* Leaf = nullptr;
  uint8_t Status = module::usUnTranslated;  // also for a property without a term
  bool HasTerm = false;
};

std::vector<TLeafStatus> LeafStatuses(module::TZod& zod, int module, module::TLanguageId language,
                                      const std::vector<const TObjectLeaf*>& leaves);
// The status every leaf shares; nullopt when they differ (or there are none).
std::optional<uint8_t> CommonStatus(const std::vector<TLeafStatus>& statuses);

// Sets every leaf to usSignedOff; raises rtl::Exception naming the leaves (the first few
// and how many) that have no translation yet, changing nothing. Returns how many changed.
std::size_t SignOff(module::TZod& zod, int module, module::TLanguageId language,
                    const std::vector<const TObjectLeaf*>& leaves);
// Sets every signed-off leaf back to usForReview; returns how many changed.
std::size_t Unlock(module::TZod& zod, int module, module::TLanguageId language,
                   const std::vector<const TObjectLeaf*>& leaves);

}  // namespace quintrel::tools
