// Module maintenance: packing (the module rewritten into a fresh file, which drops free
// blocks, deleted records, stale index nodes, unused names and terms no object uses),
// re-indexing (every index rebuilt), and migrating the texts on the forms into a language.
//
// Packing never puts the module at risk:
//   1. the module P is copied to its backup B (P with the extension ".~lm"), replacing an
//      earlier backup (the result says so);
//   2. the backup is opened as the source through TOtherModule, by its full path, so no
//      match of module names can hand back another module, whatever the project's name;
//   3. the packed module is built in a new file beside P, which only this run made;
//   4. only when it is complete does it replace P (rename). A failure anywhere before that
//      removes the new file and leaves P as it was; B stays as the copy of P.
// What the packed module holds: every form of the catalogue (a name marked "*" loses its
// mark), every object of those forms with its identifiers unchanged, its terms in every
// language of the module and its comment, the component and property names the objects
// use, every module property except the catalogue texts (rebuilt) and the per-form object
// lists (rebuilt as the objects are written), "ZodVer" as the current version, and the
// dictionaries of the source (their indexes set up again).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "module/zod.h"
#include "tools/mergenames.h"
#include "tools/toolsession.h"

namespace quintrel::tools {

inline constexpr const char* kPackBackupExtension = ".~lm";

struct TPackResult {
  std::string Backup;           // the backup file
  bool BackupReplaced = false;  // an earlier backup was overwritten
  int Forms = 0;
  int Objects = 0;
  int Terms = 0;     // terms copied, comments not counted
  int Comments = 0;
  std::vector<module::TLanguageId> Languages;  // the languages copied
  std::vector<module::TLanguageId> Dictionaries;
};

// Packs the module file in place (see above). The progress texts are "Packing form NAME",
// "Packing property I of N" and "Updating ZOD Properties...". Raises EToolError naming the
// file when anything fails; the module is then unchanged.
TPackResult PackModule(const std::string& moduleFile, const TProgress& progress = {});

struct TReindexResult {
  int Tables = 0;
  std::string Backup;  // the module as it was
};

// Rebuilds every index of every table of the module file, on a copy that replaces the
// module only when it is sound and holds every record the module held (tools/repair.h);
// otherwise raises EToolError naming the module, which is unchanged. The progress texts
// are "Re-Indexing table T / N" once per table and "Field F / M" once per field.
TReindexResult ReindexModule(const std::string& moduleFile, const TProgress& progress = {});

struct TMigrateResult {
  int Forms = 0;          // forms read
  int Units = 0;          // resource-string units read
  int KeptSignedOff = 0;  // signed-off texts that kept their text
};

// Makes `language` the design language of the module (open at `module` in
// module::GlobalZOD()) and reads the texts now on the project's forms and in its
// resource-string units into it. A signed-off text of that language is a reviewer's
// decision: it is kept as it was and counted. The caller asks the user first
// (_SMigrateCaution). The progress text is "Migrating NAME" once per unit.
TMigrateResult MigrateForms(TToolSession& session, int module, module::TLanguageId language,
                            const TProgress& progress = {});

}  // namespace quintrel::tools
