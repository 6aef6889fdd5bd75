// The in-memory name lists of forms, components and properties, and the mark-and-sweep
// protocol that keeps them, and the module's catalogue texts, in step with a project.
//
// Each list is a THashList from a name to its catalogue identifier, loaded from one of
// the module's catalogue texts ("ZodForms", "ZodComps", "ZodObjectProperties"; lines
// "XXXX Name" separated by CR LF). A scan works in three steps:
//
//   1. Load with the mode that marks what the scan is about to rediscover (mode 0 marks
//      forms, mode 1 resource-string units, whose names start with "#"). A marked entry's
//      key carries a leading "*": known to the module, not yet seen by this scan.
//   2. Confirm every name met with FormAdd / CompAdd / PropAdd (or by identifier with
//      CompAddID / PropAddID): a marked entry loses its mark and keeps its identifier, a
//      new name gets a fresh identifier from the module.
//   3. Save: only confirmed entries are written back. For forms, the objects of every
//      entry still marked are removed from the module as well, so a form that left the
//      project takes its catalogue records with it.
//
// Lines are written in ascending identifier order, the order in which the module hands
// identifiers out, so a save leaves a table in the order AddObject built it.
//
// The lists are shared by every tool and by the translator, one operation at a time; they
// are not synchronised.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "text/hashlist.h"

namespace quintrel::module {

// The shared lists, created at their first use and released at the end of the process.
text::THashList& FormList();
text::THashList& CompList();
text::THashList& PropList();
// The list the tree helpers of the dialogs keep their objects in.
text::THashList& ObjList();

// Marking modes of the Load operations.
constexpr uint8_t kMarkForms = 0;         // names not starting with "#"
constexpr uint8_t kMarkResourceUnits = 1; // names starting with "#"
constexpr uint8_t kMarkAll = 2;
constexpr uint8_t kMarkNone = 3;          // and every other value

// The mark of an unconfirmed entry.
constexpr char kUnconfirmedMark = '*';

// Clear the list and fill it from the module's table (an empty list when the module or
// the table is missing). The identifier of a line is the hexadecimal number before its
// first blank, the name the text after that blank (at most 255 characters). Form lines
// with a name already in the list are ignored (the first identifier stays); component and
// property lines replace an equal name (the last identifier stays). A name too long to
// carry the mark is loaded confirmed, so that a save keeps it rather than dropping it.
void LoadFormList(text::THashList& list, uint8_t mode, int module);
void LoadCompList(text::THashList& list, uint8_t mode, int module);
void LoadPropList(text::THashList& list, uint8_t mode, int module);

// Confirm a name in FormList / CompList / PropList and return its identifier: a marked
// entry is confirmed and keeps its identifier, a known one is returned, a new one gets an
// identifier from the module (GetNewFormID, GetNewCompID, GetNewPropID) unless
// existingOnly, which gives 0 and adds nothing. An empty name, or one longer than a list
// key can be, gives 0 without taking an identifier.
uint32_t FormAdd(std::string_view name, int module, bool existingOnly);
uint32_t CompAdd(std::string_view name, int module, bool existingOnly);
uint32_t PropAdd(std::string_view name, int module, bool existingOnly);

// The name of the entry of CompList / PropList that has the identifier, confirming a
// marked entry on the way; empty when no entry has it.
std::string CompAddID(uint32_t id);
std::string PropAddID(uint32_t id);

// Write the confirmed entries of the list as the module's table. SaveFormList also
// removes the objects of every form still marked (RemoveObjects); SaveCompList leaves out
// empty names.
void SaveFormList(text::THashList& list, int module);
void SaveCompList(text::THashList& list, int module);
void SavePropList(text::THashList& list, int module);

// The identifier of name, marked or not (the first found in the list's order); -1 when the
// list has neither.
int64_t GetIdentFromList(text::THashList& list, std::string_view name);

}  // namespace quintrel::module
