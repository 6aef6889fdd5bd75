// libFuzzer target: isolation plans, the JSON a person edits between planning and applying.
// The reader refuses with one line naming the file or gives a plan within the limits, with
// sane spans and row numbers once each; written out and read again, that plan gives the
// same file, and renaming its first row's identifier keeps it so.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "tools/isolate.h"

using namespace quintrel::tools;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TIsolatePlan plan;
  try {
    plan = ParsePlan(text, "plan.json");
  } catch (const EToolError& e) {
    Check(e.Message().rfind("plan.json: ", 0) == 0);
    return 0;
  }
  Check(plan.Rows.size() <= kMaxPlanRows);
  std::set<int> ids;
  for (const TPlanRow& row : plan.Rows) {
    Check(row.Start < row.End && row.Text.size() <= kMaxPlanText);
    Check(ids.insert(row.Id).second);
  }
  const std::string written = PlanJson(plan);
  Check(PlanJson(ParsePlan(written, "written.json")) == written);
  if (!plan.Rows.empty()) {
    (void)RenameIdentifier(plan, plan.Rows.front().Id, "SRenamed", true);
    const std::string renamed = PlanJson(plan);
    Check(PlanJson(ParsePlan(renamed, "renamed.json")) == renamed);
  }
  return 0;
}
