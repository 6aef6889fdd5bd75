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

#include "module/zod.h"

namespace quintrel::cli {

// One module file opened on its own (no permanently registered modules beside it).
class TModuleFile {
public:
  // Fails with a line naming the file when it is missing, not a database, or cannot be
  // opened for reading and writing.
  explicit TModuleFile(const std::string& fileName);
  module::TZod& Zod() { return zod_; }
  int Index() const { return index_; }
  const std::string& FileName() const { return fileName_; }
  // Prints a warning on stderr for each damaged packed property.
  void WarnDamage();

private:
  module::TZod zod_{module::TZod::TStart::Empty};
  int index_ = -1;
  std::string fileName_;
};

// "de", "##", or $HHHH / 0xHHHH for identifiers that are not two printable characters.
module::TLanguageId ParseLanguageId(const std::string& text);
std::string FormatLanguageId(module::TLanguageId id);
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
