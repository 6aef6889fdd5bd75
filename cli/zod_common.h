// What the module and language commands share: opening a module file, reading and
// printing language identifiers, settings and language records, and the JSON forms of
// them.
#pragma once

#include <CLI/CLI.hpp>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/target.h"
#include "module/zod.h"

namespace quintrel::cli {

// One module file opened on its own (no permanently registered modules beside it).
class TModuleFile {
public:
  // Commands that only read open the module for reading: they work on a file the user
  // cannot write, and cannot change it by accident.
  enum class TAccess { ReadOnly, ReadWrite };
  // Fails with a line naming the file when it is missing, not a database, or cannot be
  // opened as asked (a read-only file for a command that writes is named as such).
  explicit TModuleFile(const std::string& fileName, TAccess access = TAccess::ReadWrite);
  module::TZod& Zod() { return zod_; }
  int Index() const { return index_; }
  const std::string& FileName() const { return fileName_; }
  // Prints a warning on stderr for each damaged packed property.
  void WarnDamage();
  // Fails naming the module's languages when it has no language `id` (identifiers are
  // case-sensitive: "DE" is not "de").
  void RequireLanguage(module::TLanguageId id);
  // The language `text` names (ParseLanguageId), which the module must have.
  module::TLanguageId Language(const std::string& text);
  // The module's language identifiers, "de, en, fr" ("none" when it has none).
  std::string LanguageList();
  // Warns once per command when the module has no design language: every catalogued text
  // then previews and falls back as empty.
  void WarnNoDesignLanguage();

private:
  module::TZod zod_{module::TZod::TStart::Empty};
  int index_ = -1;
  std::string fileName_;
  bool warnedDesignLanguage_ = false;
};

// The positional arguments of a command that takes the module as an optional FILE before
// others ("lang show [FILE] ID"). Bound one by one, FILE would take the first value also
// when the user left it out ("lang show de"), and a value after --module would collide with
// FILE; so they come as one list and their number decides: a number the command takes after
// FILE means there is no FILE, one more means the first value is the module.
class TModuleArguments {
public:
  // names: how --help shows the values after FILE ("ID"); counts: how many of them the
  // command takes ({1}, or {0, 2} for an optional pair). Adds --module and --project too.
  void Add(CLI::App* command, const std::string& names, std::vector<size_t> counts, const std::string& help);
  // The i-th value after FILE; empty when not given.
  const std::string& operator[](size_t i) const;
  // How many values came after FILE.
  size_t Count() const;
  // The module: FILE when given (it must exist), else --module or the project's.
  std::string ModuleFile() const;
  // The module a command creates: FILE when given, else --module or the project's.
  std::string ModuleFileToCreate() const;
  const TTarget& Target() const { return target_; }

private:
  bool HasFile() const;
  TTarget target_;
  std::vector<std::string> values_;
  std::vector<size_t> counts_;
};

// The charsets that have a code page, "0 1 128 ...", and the check of a charset number
// against them (fails with the list).
std::string CharsetList();
void RequireCharsetWithCodePage(int64_t charset);

// "de", "##", or $HHHH / 0xHHHH for identifiers that are not two printable characters.
module::TLanguageId ParseLanguageId(const std::string& text);
std::string FormatLanguageId(module::TLanguageId id);
// The module's language identifiers in its order, and such a list as "de, en, fr" ("none"
// when empty).
std::vector<module::TLanguageId> LanguageIds(module::TZod& zod, int module);
std::string LanguageListText(const std::vector<module::TLanguageId>& ids);
bool ParseBool(const std::string& text);

// The module settings that `module set` changes and `module info` shows.
struct TSetting {
  const char* Name;
  const char* Help;
  nlohmann::json (*Get)(module::TZod& zod, int index);
  bool (*Set)(module::TZod& zod, int index, const std::string& value);
};
const std::vector<TSetting>& Settings();
std::string SettingNames();
// A setting's value as `module info` prints it.
std::string SettingText(const nlohmann::json& value);

// Language records.
nlohmann::json LanguageJson(const module::TZodLanguage& language);
nlohmann::json LanguageSummaryJson(const module::TZodLanguage& language);
void PrintLanguage(std::ostream& out, const module::TZodLanguage& language);
std::string LanguageSummaryLine(const module::TZodLanguage& language);

// The options of `lang add` and `lang set` that change fields of a record: one per field
// (a list of 7 or 12 values for the day and month names) and --from-json FILE.
class TLanguageOptions {
public:
  void Register(CLI::App& command);
  // Applies --from-json first, then each option given, to the record. Fails naming the
  // field when a value does not fit it.
  void Apply(module::TZodLanguage& language) const;

private:
  std::map<std::string, std::vector<std::string>> values_;
  std::string jsonFile_;
};

// UTF-8 output of wide texts.
std::string Utf8(const std::u16string& text);

}  // namespace quintrel::cli
