// The internationalization update: a selection of the project's form properties becomes
// the module's catalogue.
//
// What it does, in order:
//   1. Objects catalogued under a component with an empty name (what older tools wrote
//      for a property of the form itself) move to CompName 0, where the form's own
//      properties belong.
//   2. Capture: every live form given is read into the design language's terms, as the
//      designer does when a unit is saved (GetFormValues). A design text changed in the
//      form file since the last update is rewritten for review and its translations are
//      marked for review. Without this an edited form never reaches the module, and the
//      stale text would be written back over the new one whenever the application shows
//      the design language.
//   3. Every selected property becomes an object (form, component, property), found by
//      that triple when the module has it already and then taken whole (id, term, class,
//      lock, priority and comment stay). A new object gets an id, the class of its
//      component's class (TForm for the form's own properties) and, when the selection
//      carries a value, a term in the design language holding it (status for review).
//      An existing text is never overwritten by the selection's value; only the capture
//      changes it.
//   4. The selection is the wanted state of every form it holds: a catalogued property of
//      such a form that the selection lacks is removed with its term in every language.
//   5. Forms of the module the selection lacks: a form of the project (one whose form file
//      the browser lists) loses its objects; any other form (its form file missing or
//      unreadable, its unit no longer in the project) keeps them unless `Prune` is set,
//      which removes every form the browser does not list, selected or not.
//      Resource-string units are never touched.
//   6. The name tables keep exactly the names still in use.
// Each step of one property catches its own failure, records the message and goes on.
//
// The module is one of GlobalZOD's, because the shared name lists work on that instance.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/vcl/classes.h"
#include "tools/progress.h"
#include "tools/selection.h"

namespace quintrel::tools {

struct TIntlUpdateInput {
  const TSelection* Selection = nullptr;
  // The names of the forms the browser lists: the project's forms whose form files it can
  // read. Compared ignoring case.
  std::vector<std::string> ListedForms;
  // The project's live forms, captured before the update (step 2).
  std::vector<vcl::TComponent*> LiveForms;
  bool Prune = false;
  // The status text and the step (form number) of the status window.
  TProgress Progress;
};

struct TIntlUpdateResult {
  int PropertiesUpdated = 0;  // selected properties visited ("Total nr of properties updated")
  int ObjectsAdded = 0;
  int TermsAdded = 0;
  int TermsCaptured = 0;      // design texts the capture rewrote
  int ObjectsMoved = 0;       // from an empty-named component to the form itself
  int PropertiesRemoved = 0;  // selected forms' properties the selection lacks
  std::vector<std::string> RemovedProperties;  // Form.Component.Property
  std::vector<std::string> EmptiedForms;       // listed forms the selection lacks
  std::vector<std::string> PrunedForms;        // other forms removed by Prune
  std::vector<std::string> KeptForms;          // other forms kept
  std::vector<std::string> Errors;             // one message per failed step
  bool Changed() const;
};

TIntlUpdateResult UpdateObjects(int module, const TIntlUpdateInput& input);

// The term type of a selected value and its content as stored: UTF-16 little-endian text,
// or a graphic's stream bytes. A quoted text loses its quotes and a set its brackets,
// long ones (carried whole as attached data) as short ones.
struct TNodeValue {
  uint8_t Kind = 0;
  std::vector<uint8_t> Bytes;
};
TNodeValue NodeValue(const TSelectedProperty& property);

}  // namespace quintrel::tools
