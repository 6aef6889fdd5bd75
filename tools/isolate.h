// Resource automation: hard-coded texts of a project's units moved into a resource-string
// unit that the module catalogues, so the translator switches them at run time.
//
// It runs in three steps over a plan, a JSON file a person reads and edits
// (docs/formats/isolate-plan.md):
//   plan     one row per finding of the source scanner: the unit, the span, the text, the
//            identifier proposed ("S" and the object id reserved for it, shared by rows
//            of equal text; a constant keeps its own name), the target unit and the
//            action: isolate, ignore, or mark (the line gets "//DO NOT LOCALIZE");
//   preview  the same work as apply on a dry-run session, shown as a diff;
//   apply    the units rewritten, the strings added to the target units through the
//            resource-string manager and catalogued with the reserved object ids.
//
// How apply keeps a user's source safe:
//   - A unit that changed since the plan (its size and hash differ) is not touched.
//   - Each unit is rewritten in memory from the original bytes, its rows applied from the
//     last offset to the first, so no row sees offsets another row shifted. Every span is
//     checked first: it must hold the literal or declaration the plan names; what to do
//     when it does not is the caller's choice (TOnUnquoted).
//   - A unit is all or nothing: when one of its rows cannot be rewritten (no interface
//     uses clause to name the resource unit in, a const section the removals would leave
//     empty, spans that overlap, an identifier that is not one), the unit keeps every
//     byte, none of its rows is catalogued, the error is reported ("Error while updating
//     %s") and the other units go on.
//   - The rewritten units are staged on the session, which writes each with its backup
//     (.~pa) once, before its first change, and all or none of them.
// A literal becomes its identifier (LoadStr(Ident) for a .rc target, whose identifiers
// are numbers); a constant's declaration goes (with its line when it stands alone on it);
// the resource unit joins the interface uses clause of a Pascal unit or the #include
// lines of a C++ unit ("Name.hpp") unless it is there. Literals of a routine's heading or
// of a case label cannot take a resource string: they are warned about and left.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "module/zod.h"
#include "tools/sourcescan.h"
#include "tools/toolsession.h"

namespace quintrel::tools {

enum class TIsolateAction : uint8_t { Isolate, Ignore, Mark };
// What apply does with a span that does not hold what the plan says.
enum class TOnUnquoted : uint8_t { Proceed, Skip, Cancel };

struct TPlanRow {
  int Id = 0;
  TFindingKind Kind = TFindingKind::Literal;
  std::string Unit;  // the unit's path relative to the project folder
  int Line = 0;
  size_t Start = 0;  // the bytes the row replaces: a literal, or a constant's declaration
  size_t End = 0;
  std::u16string Text;
  std::string Identifier;
  uint32_t Object = 0;  // reserved for the string; 0: none
  std::string Target;   // the resource-string unit's file name
  TIsolateAction Action = TIsolateAction::Isolate;
  TLiteralPlace Place = TLiteralPlace::Code;
};

struct TPlanUnit {
  std::string Unit;  // as in the rows
  uint64_t Size = 0;
  std::string Hash;  // UnitHash of its bytes when planned
};

struct TIsolatePlan {
  int Charset = 0;
  std::vector<TPlanUnit> Units;
  std::vector<TPlanRow> Rows;
};

// The limits of a plan file a person may have edited.
inline constexpr size_t kMaxPlanFileSize = size_t{64} << 20;
inline constexpr size_t kMaxPlanRows = 200000;
inline constexpr size_t kMaxPlanText = 64 * 1024;

// A 64-bit FNV-1a hash of the bytes as 16 lower-case hexadecimal digits.
std::string UnitHash(std::string_view bytes);

// The plan of the scan's findings, every row with the target unit; reserves an object id
// in the module for each row.
TIsolatePlan MakePlan(TToolSession& session, module::TZod& zod, int module, const TScanReport& scan,
                      const std::string& target, int charset);

std::string PlanJson(const TIsolatePlan& plan);
// Reads a plan file; raises EToolError with one line naming the file and what is wrong.
TIsolatePlan ReadPlanFile(const std::string& fileName);
TIsolatePlan ParsePlan(std::string_view text, const std::string& fileName);

// Gives the row the identifier; with `all`, every other row that had the same one too.
// Returns how many other rows share the old identifier (renamed only with `all`). Raises
// EToolError for an unknown row or an identifier that is not one.
size_t RenameIdentifier(TIsolatePlan& plan, int row, const std::string& identifier, bool all);

// Gives the rows, and every row of the units named, the action. Raises EToolError for a row
// or a unit the plan does not have; returns how many rows it set.
size_t SetAction(TIsolatePlan& plan, TIsolateAction action, const std::vector<int>& rows,
                 const std::vector<std::string>& units);
// "isolate", "ignore" or "mark"; nullopt for anything else.
std::optional<TIsolateAction> ParseAction(std::string_view name);

struct TApplyReport {
  std::vector<std::string> Units;     // one line per unit rewritten
  std::vector<std::string> Added;     // strings added: "Unit: Ident = text" (UTF-8)
  std::vector<std::string> Warnings;  // rows left, with why
  std::vector<std::string> Errors;    // units left as they were, with why
  std::vector<std::string> Files;     // every file staged: units, then resource units and project
};

// Applies the plan through the session (nothing is written until its commit). Raises
// EToolError when a span does not hold its text and `onUnquoted` is Cancel: then nothing
// at all is written.
TApplyReport ApplyPlan(TToolSession& session, module::TZod& zod, int module, const TIsolatePlan& plan,
                       TOnUnquoted onUnquoted);

}  // namespace quintrel::tools
