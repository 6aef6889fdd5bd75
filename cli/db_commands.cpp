#include "cli/db_commands.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/common.h"
#include "cli/jsonl.h"
#include "cli/output_file.h"
#include "cli/target.h"
#include "cli/zod_common.h"
#include "platform/rtl/classes.h"
#include "platform/rtl/dateutils.h"
#include "storage/vardbs.h"
#include "strings/qconsts.h"
#include "strings/toolconsts.h"
#include "text/unicode.h"
#include "tools/repair.h"

namespace quintrel::cli {

namespace {

namespace qs = quintrel::strings;

using storage::TCustomVarDB;

// Every failure line names the file; messages of the engine name it already or not.
std::string WithFileName(const std::string& fileName, const std::string& message) {
  return message.find(fileName) != std::string::npos ? message : fileName + ": " + message;
}

// Opens an existing database for reading, or fails with a line naming the file and why.
std::unique_ptr<TCustomVarDB> OpenForReading(const std::string& fileName) {
  std::string problem = TCustomVarDB::DiagnoseFile(fileName);
  if (!problem.empty()) throw ECommandFailed(problem);
  auto db = std::make_unique<TCustomVarDB>("");
  try {
    if (!db->OpenFile(fileName, rtl::fmOpenRead | rtl::fmShareDenyNone)) {
      problem = TCustomVarDB::DiagnoseFile(fileName);
      throw ECommandFailed(problem.empty() ? fileName + ": cannot be opened as a database" : problem);
    }
  } catch (const rtl::Exception& e) {
    throw ECommandFailed(WithFileName(fileName, e.Message()));
  }
  return db;
}

nlohmann::json InfoJson(TCustomVarDB& db) {
  const storage::TFileHeader& h = db.Header();
  nlohmann::json tables = nlohmann::json::array();
  for (int t = 0; t < db.TableCount(); ++t) {
    const storage::TTable& table = db.Table(t);
    nlohmann::json fields = nlohmann::json::array();
    for (const storage::TFieldHeader& field : table.Fields) {
      nlohmann::json indexes = nlohmann::json::array();
      for (const storage::TIndexHeader& index : field.Indexes) {
        indexes.push_back({{"Root", index.Root},
                           {"Unique", index.Unique},
                           {"KeyPrefix", index.KeyPrefix},
                           {"IndexField", index.IndexField},
                           {"IndexTable", index.IndexTable},
                           {"CompareId", index.CompareId}});
      }
      fields.push_back({{"FieldName", field.FieldName},
                        {"FieldType", std::string(1, field.FieldType)},
                        {"FieldLength", field.FieldLength},
                        {"Indexes", indexes}});
    }
    tables.push_back({{"TableName", table.Header.TableName},
                      {"TableNr", table.Header.TableNr},
                      {"RecordCount", table.Header.RecordCount},
                      {"FieldCount", table.Header.FieldCount},
                      {"FirstBlock", table.Header.FirstBlock},
                      {"LastBlock", table.Header.LastBlock},
                      {"Fields", fields}});
  }
  return {{"Version", h.Version},       {"Created", h.Created},         {"AvailList", h.AvailList},
          {"TableBlock", h.TableBlock}, {"TableCount", h.TableCount},   {"DbName", h.DbName},
          {"ChangeCount", h.ChangeCount}, {"Tables", tables}};
}

void PrintInfo(TCustomVarDB& db, const std::string& fileName) {
  const storage::TFileHeader& h = db.Header();
  std::cout << "File:        " << fileName << "\n"
            << "Version:     " << h.Version << "\n"
            << "Created:     " << rtl::DateTimeToISO(h.Created) << "\n"
            << "Name:        " << h.DbName << "\n"
            << "AvailList:   " << h.AvailList << "\n"
            << "TableBlock:  " << h.TableBlock << "\n"
            << "TableCount:  " << h.TableCount << "\n"
            << "ChangeCount: " << h.ChangeCount << "\n"
            << "Size:        " << db.GetSize() << " bytes\n";
  for (int t = 0; t < db.TableCount(); ++t) {
    const storage::TTable& table = db.Table(t);
    const storage::TTableHeader& th = table.Header;
    std::cout << "\nTable " << t << ": " << th.TableName << "  (TableNr " << th.TableNr << ", RecordCount "
              << th.RecordCount << ", FieldCount " << th.FieldCount << ", FirstBlock " << th.FirstBlock
              << ", LastBlock " << th.LastBlock << ")\n";
    for (size_t f = 0; f < table.Fields.size(); ++f) {
      const storage::TFieldHeader& field = table.Fields[f];
      std::cout << "  Field " << f << ": " << field.FieldName << "  " << field.FieldType << "  "
                << field.FieldLength << "\n";
      for (const storage::TIndexHeader& index : field.Indexes) {
        std::cout << "    Index on field " << index.IndexField << " of table " << index.IndexTable << ": Root "
                  << index.Root << ", Unique " << (index.Unique ? "yes" : "no") << ", KeyPrefix "
                  << (index.KeyPrefix ? "yes" : "no") << ", CompareId " << index.CompareId << "\n";
      }
    }
  }
}

// Opens an existing database for writing.
std::unique_ptr<TCustomVarDB> OpenForWriting(const std::string& fileName) {
  std::string problem = TCustomVarDB::DiagnoseFile(fileName);
  if (!problem.empty()) throw ECommandFailed(problem);
  auto db = std::make_unique<TCustomVarDB>("");
  try {
    if (!db->OpenFile(fileName, rtl::fmOpenReadWrite | rtl::fmShareDenyNone))
      throw ECommandFailed(fileName + ": cannot be opened as a database");
  } catch (const rtl::Exception& e) {
    throw ECommandFailed(WithFileName(fileName, e.Message()));
  }
  return db;
}

// A table given by name or by number.
int ResolveTable(TCustomVarDB& db, const std::string& fileName, const std::string& table) {
  int number = db.GetTableNr(table);
  if (number >= 0) return number;
  int64_t n;
  if (rtl::TryStrToInt(table, n) && n >= 0 && n < db.TableCount()) return static_cast<int>(n);
  std::string tables;
  for (int t = 0; t < db.TableCount(); ++t) tables += (t ? ", " : "") + db.Table(t).Header.TableName;
  throw ECommandFailed(rtl::Format(qs::_SCliNoSuchTable, fileName, table, tables.empty() ? "none" : tables));
}

int ResolveField(TCustomVarDB& db, const std::string& fileName, int table, const std::string& field) {
  int number = db.GetFieldNr(table, field);
  if (number >= 0) return number;
  int64_t n;
  if (rtl::TryStrToInt(field, n) && n >= 0 && n < static_cast<int>(db.Table(table).Fields.size()))
    return static_cast<int>(n);
  std::string fields;
  for (const storage::TFieldHeader& f : db.Table(table).Fields) fields += (fields.empty() ? "" : ", ") + f.FieldName;
  throw ECommandFailed(rtl::Format(qs::_SCliNoSuchField, fileName, db.Table(table).Header.TableName, field, fields));
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

std::u16string Units(const std::vector<uint8_t>& bytes) {
  std::u16string s(bytes.size() / 2, u'\0');
  if (!s.empty()) std::memcpy(s.data(), bytes.data(), s.size() * 2);
  return s;
}

template <typename T>
T Scalar(const std::vector<uint8_t>& bytes) {
  T v{};
  // A field the record does not reach is empty, and its data() may be null.
  if (!bytes.empty()) std::memcpy(&v, bytes.data(), std::min(sizeof(T), bytes.size()));
  return v;
}

// One field value as JSON: numbers, booleans, texts, {"hex": ...} for bytes.
std::string JsonValue(const storage::TFieldHeader& field, const std::vector<uint8_t>& value) {
  switch (field.FieldType) {
    case 'N': return std::to_string(Scalar<int32_t>(value));
    case 'S': return std::to_string(Scalar<int16_t>(value));
    case 'Y': return std::to_string(Scalar<uint8_t>(value));
    case 'L': return Scalar<uint8_t>(value) ? "true" : "false";
    case 'R':
    case 'M': {
      double d = Scalar<double>(value);
      if (!std::isfinite(d)) return "null";
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.17g", d);
      return buf;
    }
    case 'V': return JsonString(Units(value));
    case 'C': {
      std::u16string s = Units(value);
      s.resize(std::min(s.size(), s.find(u'\0')));  // a fixed text is padded with zeros
      return JsonString(s);
    }
    default: return "{\"hex\": \"" + Hex(value) + "\"}";
  }
}

// One field value as text for the plain dump.
std::string TextValue(const storage::TFieldHeader& field, const std::vector<uint8_t>& value) {
  switch (field.FieldType) {
    case 'N': case 'S': case 'Y': case 'L': case 'R': case 'M': return JsonValue(field, value);
    case 'V': case 'C': {
      std::string quoted = JsonValue(field, value);
      return quoted;
    }
    default: return Hex(value);
  }
}

// A JSON value converted to a field's bytes, or a message saying why it does not fit.
std::string FieldBytes(const storage::TFieldHeader& field, const TJsonValue& value, std::vector<uint8_t>& bytes) {
  auto number = [&](double lo, double hi) -> std::string {
    if (!std::holds_alternative<double>(value)) return "expects a number";
    double d = std::get<double>(value);
    if (d != std::floor(d) || d < lo || d > hi) return "expects a whole number from " + std::to_string((long long)lo) +
                                                        " to " + std::to_string((long long)hi);
    return "";
  };
  std::string problem;
  switch (field.FieldType) {
    case 'N':
      if (!(problem = number(-2147483648.0, 2147483647.0)).empty()) return problem;
      bytes.resize(4);
      {
        int32_t v = static_cast<int32_t>(std::get<double>(value));
        std::memcpy(bytes.data(), &v, 4);
      }
      return "";
    case 'S':
      if (!(problem = number(-32768, 32767)).empty()) return problem;
      bytes.resize(2);
      {
        int16_t v = static_cast<int16_t>(std::get<double>(value));
        std::memcpy(bytes.data(), &v, 2);
      }
      return "";
    case 'Y':
      if (!(problem = number(0, 255)).empty()) return problem;
      bytes.assign(1, static_cast<uint8_t>(std::get<double>(value)));
      return "";
    case 'L':
      if (!std::holds_alternative<bool>(value)) return "expects true or false";
      bytes.assign(1, std::get<bool>(value) ? 1 : 0);
      return "";
    case 'R':
    case 'M': {
      if (!std::holds_alternative<double>(value)) return "expects a number";
      double d = std::get<double>(value);
      bytes.resize(8);
      std::memcpy(bytes.data(), &d, 8);
      return "";
    }
    case 'V':
    case 'C': {
      if (!std::holds_alternative<std::u16string>(value)) return "expects a string";
      const std::u16string& s = std::get<std::u16string>(value);
      if (field.FieldType == 'C' && s.size() > static_cast<size_t>(field.FieldLength))
        return "holds at most " + std::to_string(field.FieldLength) + " characters";
      size_t units = field.FieldType == 'C' ? static_cast<size_t>(field.FieldLength) : s.size();
      bytes.assign(units * 2, 0);
      if (!s.empty()) std::memcpy(bytes.data(), s.data(), s.size() * 2);
      return "";
    }
    default:
      if (!std::holds_alternative<TJsonHex>(value)) return "expects {\"hex\": \"...\"}";
      bytes = std::get<TJsonHex>(value).bytes;
      if (!storage::IsVariable(field.FieldType)) {
        size_t size = static_cast<size_t>(storage::GetUnitLength(field.FieldType)) * field.FieldLength;
        if (bytes.size() != size) return "expects " + std::to_string(size) + " bytes";
      }
      return "";
  }
}

void Dump(TCustomVarDB& db, int table, bool json) {
  const storage::TTable& t = db.Table(table);
  if (!json) {
    for (size_t f = 0; f < t.Fields.size(); ++f) std::cout << (f ? "\t" : "") << t.Fields[f].FieldName;
    std::cout << "\n";
  }
  if (!db.Top(table)) return;
  std::string line;
  do {
    line.clear();
    if (json) line += "{";
    for (size_t f = 0; f < t.Fields.size(); ++f) {
      std::vector<uint8_t> value = db.GetField(table, static_cast<int>(f));
      if (json) {
        line += (f ? ", " : "") + JsonString(std::string_view(t.Fields[f].FieldName)) + ": " +
                JsonValue(t.Fields[f], value);
      } else {
        line += (f ? "\t" : "") + TextValue(t.Fields[f], value);
      }
    }
    if (json) line += "}";
    std::cout << line << "\n";
  } while (db.Step(table, 1));
}

struct TIndexOption {
  std::string field;
  bool unique = false;
  bool prefix = false;
};

TIndexOption ParseIndexOption(const std::string& text) {
  TIndexOption option;
  size_t colon = text.find(':');
  option.field = text.substr(0, colon);
  while (colon != std::string::npos) {
    size_t next = text.find(':', colon + 1);
    std::string flag = text.substr(colon + 1, next == std::string::npos ? std::string::npos : next - colon - 1);
    if (flag == "unique") option.unique = true;
    else if (flag == "prefix") option.prefix = true;
    else throw ECommandFailed(rtl::Format(qs::_SCliBadIndexFlag, text, flag));
    colon = next;
  }
  if (option.field.empty()) throw ECommandFailed(rtl::Format(qs::_SCliIndexNoField, text));
  return option;
}

// One input line, checked against the table and turned into field bytes.
struct TPendingRecord {
  std::vector<int> fields;
  std::vector<std::vector<uint8_t>> values;
};

// Input is taken in batches of this many records (or bytes), each written under one lock.
constexpr size_t kLoadBatchRecords = 1024;
constexpr size_t kLoadBatchBytes = size_t{4} << 20;

// Writes a batch under the write lock; readers wait for a batch, never for the input.
void WriteBatch(TCustomVarDB& db, int table, std::vector<TPendingRecord>& batch, int64_t& written) {
  if (batch.empty()) return;
  storage::TUpdateBracket update(db);
  for (TPendingRecord& record : batch) {
    std::vector<storage::TFindRec> requests;
    for (size_t i = 0; i < record.fields.size(); ++i)
      requests.push_back({record.fields[i], record.values[i].data(), static_cast<int32_t>(record.values[i].size())});
    db.AddRecord(table);
    if (!requests.empty()) db.SetFields(table, requests.data(), static_cast<int>(requests.size()));
    ++written;
  }
  update.Commit();
  batch.clear();
}

// A line of input longer than this is refused rather than held: a blob of tens of
// megabytes in hexadecimal still fits.
constexpr size_t kMaxLoadLine = size_t{128} << 20;

// Reads one line without its end into `line`; false at the end of the input. A line longer
// than kMaxLoadLine sets `tooLong` and is read no further.
bool ReadLoadLine(std::istream& in, std::string& line, bool& tooLong) {
  line.clear();
  tooLong = false;
  std::streambuf* buffer = in.rdbuf();
  for (int c; (c = buffer->sbumpc()) != std::char_traits<char>::eof();) {
    if (c == '\n') return true;
    if (line.size() == kMaxLoadLine) {
      tooLong = true;
      return true;
    }
    line.push_back(static_cast<char>(c));
  }
  return !line.empty();
}

// Appends the records of a JSON-lines stream; returns the number written. A bad line
// stops the load with its line number; the records before it stay.
int64_t Load(TCustomVarDB& db, const std::string& fileName, int table, std::istream& in) {
  const storage::TTable& t = db.Table(table);
  std::string line;
  int64_t lineNumber = 0, written = 0;
  std::vector<TPendingRecord> batch;
  size_t batchBytes = 0;
  bool tooLong = false;
  while (ReadLoadLine(in, line, tooLong)) {
    ++lineNumber;
    auto bad = [&](const std::string& what) {
      WriteBatch(db, table, batch, written);
      return ECommandFailed(rtl::Format(qs::_SCliLoadLine, fileName, lineNumber, what, written));
    };
    if (tooLong) throw bad("longer than " + std::to_string(kMaxLoadLine >> 20) + " MiB");
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    TJsonRecord parsed;
    try {
      parsed = ParseJsonRecord(line);
    } catch (const std::exception& e) {
      throw bad(e.what());
    }
    TPendingRecord record;
    for (const auto& [name, value] : parsed) {
      int f = db.GetFieldNr(table, name);
      if (f < 0) throw bad("table " + t.Header.TableName + " has no field " + ShortMessage(name));
      if (f == 0) continue;  // record numbers are given by the table
      std::vector<uint8_t> bytes;
      std::string problem = FieldBytes(t.Fields[f], value, bytes);
      if (!problem.empty()) throw bad("field " + name + " " + problem);
      batchBytes += bytes.size();
      record.fields.push_back(f);
      record.values.push_back(std::move(bytes));
    }
    batch.push_back(std::move(record));
    if (batch.size() >= kLoadBatchRecords || batchBytes >= kLoadBatchBytes) {
      WriteBatch(db, table, batch, written);
      batchBytes = 0;
    }
  }
  WriteBatch(db, table, batch, written);
  return written;
}

}  // namespace

void RegisterDbCommands(CLI::App& app) {
  CLI::App* db = app.add_subcommand("db", "Direct tools on record database files (.zod modules and others)");
  db->require_subcommand(1);

  struct TInfoOptions {
    TTarget target;
    bool json = false;
  };
  auto info = std::make_shared<TInfoOptions>();
  CLI::App* infoCmd = db->add_subcommand(
      "info", "Show the file header and the catalogue: tables with their fields and index definitions");
  info->target.AddModule(infoCmd, true, "Database file");
  infoCmd->add_flag("--json", info->json, "Print one JSON object keyed by the stored field names");
  struct TCreateOptions {
    TTarget target;
    std::vector<std::string> definitions;
    bool force = false;
  };
  auto create = std::make_shared<TCreateOptions>();
  CLI::App* createCmd = db->add_subcommand(
      "create", "Create a database file and define its tables (\"NAME FIELD TYPE[len] FIELD TYPE[len] ...\")");
  create->target.AddModule(createCmd, true, "Database file to create");
  createCmd->add_option("--define", create->definitions,
                        "A table definition, e.g. \"ROWS Str V Data N\"; types B V C L Y S N D T M R, "
                        "C with a length (Name C40); every table also gets field 0 _RECNO")
      ->take_all();
  createCmd->add_flag("--force", create->force, "Replace an existing file");
  createCmd->callback([create]() {
    const std::string file = create->target.ModuleFileToCreate();
    // The definitions are tried on a staged file; the target is replaced only by a
    // complete one, and a failure removes nothing but the staged file.
    TReplacement replacement(file, create->force);
    try {
      TCustomVarDB db("");
      db.OpenFile(replacement.StagingPath(), rtl::fmCreate);
      storage::TUpdateBracket update(db);
      for (const std::string& definition : create->definitions) db.AddTable(definition);
      update.Commit();
    } catch (const rtl::Exception& e) {
      std::string message = e.Message();
      for (size_t at; (at = message.find(replacement.StagingPath())) != std::string::npos;)
        message.replace(at, replacement.StagingPath().size(), file);
      throw ECommandFailed(WithFileName(file, message));
    }
    replacement.Commit();
  });

  struct TDumpOptions {
    TModuleArguments args;
    bool json = false;
  };
  auto dump = std::make_shared<TDumpOptions>();
  CLI::App* dumpCmd = db->add_subcommand(
      "dump", "Print every record of a table in table order, one per line (a header line of field names, then "
              "tab-separated values; texts quoted, bytes in hex)");
  dump->args.Add(dumpCmd, "TABLE", {1}, "the table's name or number");
  dumpCmd->add_flag("--json", dump->json,
                    "One JSON object per record keyed by field name: integers and R/M as numbers, L as true/false, "
                    "V and C as strings (unpaired surrogates as \\uXXXX), B as {\"hex\": \"...\"}");
  dumpCmd->callback([dump]() {
    const std::string file = dump->args.ModuleFile();
    auto db = OpenForReading(file);
    int table = ResolveTable(*db, file, dump->args[0]);
    try {
      Dump(*db, table, dump->json);
    } catch (const rtl::Exception& e) {
      throw ECommandFailed(WithFileName(file, e.Message()));
    }
  });

  struct TLoadOptions {
    TTarget target;
    std::string definition;
    std::vector<std::string> indexes;
  };
  auto load = std::make_shared<TLoadOptions>();
  CLI::App* loadCmd = db->add_subcommand(
      "load", "Append records read from stdin, one JSON object per line (the form db dump --json writes); creates "
              "the file and the table when missing. _RECNO is given by the table. A bad line (or one longer than "
              "128 MiB) stops the load with its line number; the records before it stay.");
  load->target.AddModule(loadCmd, true, "Database file (created when missing)");
  loadCmd->add_option("--define", load->definition, "Table definition, e.g. \"ROWS Str V Data N\"")->required();
  loadCmd->add_option("--index", load->indexes,
                      "FIELD[:unique][:prefix]: index the field (repeatable); created before the records load");
  loadCmd->callback([load]() {
    std::vector<TIndexOption> options;
    for (const auto& text : load->indexes) options.push_back(ParseIndexOption(text));
    const std::string file = load->target.ModuleFileToCreate();
    std::unique_ptr<TCustomVarDB> db;
    if (rtl::FileExists(file)) {
      db = OpenForWriting(file);
      // Records added to a damaged file land on its damage (a block the free list and a
      // table both hold); such a file is refused before a byte is written.
      try {
        tools::RequireSoundDatabase(*db);
      } catch (const rtl::Exception& e) {
        throw ECommandFailed(e.Message());
      }
    } else {
      db = std::make_unique<TCustomVarDB>("");
      try {
        db->OpenFile(file, rtl::fmCreate);
      } catch (const rtl::Exception& e) {
        throw ECommandFailed(WithFileName(file, e.Message()));
      }
    }
    try {
      int table = db->AddTable(load->definition);
      for (const TIndexOption& option : options) {
        int field = ResolveField(*db, file, table, option.field);
        db->IndexCreate(table, field, 1, option.unique, option.prefix);
      }
      Load(*db, file, table, std::cin);
    } catch (const rtl::Exception& e) {
      throw ECommandFailed(WithFileName(file, e.Message()));
    }
  });

  struct TCheckOptions {
    TTarget target;
    bool json = false;
  };
  auto check = std::make_shared<TCheckOptions>();
  CLI::App* checkCmd = db->add_subcommand(
      "check", "Verify every invariant of the file, read-only: header, blocks, avail list, catalogue, data "
               "chains, records, overflow chains, index trees. Prints each finding; exit 1 when there is any");
  check->target.AddModule(checkCmd, true, "Database file");
  checkCmd->add_flag("--json", check->json, "Print {\"File\", \"Findings\": [{\"Table\", \"Field\", \"Block\", \"Message\"}]}");
  checkCmd->callback([check]() {
    const std::string file = check->target.ModuleFile();
    std::vector<storage::TCheckFinding> findings;
    std::string problem = TCustomVarDB::DiagnoseFile(file);
    TCustomVarDB db("");
    if (problem.empty()) {
      try {
        if (!db.OpenFile(file, rtl::fmOpenRead | rtl::fmShareDenyNone)) problem = "cannot be opened as a database";
      } catch (const rtl::Exception& e) {
        problem = e.Message();
      }
    }
    // A file that does not open was not checked: an error of the command, not a finding.
    if (!problem.empty()) throw ECommandFailed(WithFileName(file, problem));
    findings = tools::DatabaseProblems(db);
    if (check->json) {
      nlohmann::json list = nlohmann::json::array();
      for (const auto& f : findings)
        list.push_back({{"Table", f.Table}, {"Field", f.Field}, {"Block", f.Block}, {"Message", f.Message}});
      std::cout << nlohmann::json{{"File", file}, {"Findings", list}}.dump(2) << "\n";
    } else {
      for (const auto& f : findings) std::cout << tools::ProblemLine(file, f) << "\n";
    }
    if (!findings.empty()) throw TExitCode{kExitFailure};
  });

  auto reindex = std::make_shared<TModuleArguments>();
  CLI::App* reindexCmd =
      db->add_subcommand("reindex", "Rebuild indexes from the records: every index of the file, or of one field");
  reindex->Add(reindexCmd, "[TABLE FIELD]", {0, 2},
               "the table's name or number and the field's name or number (both or neither)");
  reindexCmd->callback([reindex]() {
    const std::string file = reindex->ModuleFile();
    // The table and field are resolved before anything is copied, so a wrong name costs
    // nothing; the indexes are then rebuilt on a copy that replaces the file only when
    // sound.
    int table = -1, field = -1;
    if (reindex->Count() == 2) {
      auto db = OpenForReading(file);
      table = ResolveTable(*db, file, (*reindex)[0]);
      field = ResolveField(*db, file, table, (*reindex)[1]);
    }
    std::string backup;
    try {
      backup = tools::RewriteVerified(file, true, [&](const std::string& copy) {
        TCustomVarDB db("");
        if (!db.OpenFile(copy, rtl::fmOpenReadWrite)) throw rtl::Exception(file + ": cannot be opened as a database");
        if (table >= 0) {
          db.IndexPack(table, field);
          return;
        }
        for (int t = 0; t < db.TableCount(); ++t)
          for (int f = 0; f < static_cast<int>(db.Table(t).Fields.size()); ++f)
            if (!db.Table(t).Fields[f].Indexes.empty()) db.IndexPack(t, f);
      });
    } catch (const rtl::Exception& e) {
      throw ECommandFailed(WithFileName(file, e.Message()));
    }
    std::cout << rtl::Format(strings::_SRewriteBackup, file, backup) << "\n";
  });

  infoCmd->callback([info]() {
    const std::string file = info->target.ModuleFile();
    auto db = OpenForReading(file);
    if (info->json) {
      std::cout << InfoJson(*db).dump(2) << "\n";
    } else {
      PrintInfo(*db, file);
    }
  });
}

}  // namespace quintrel::cli
