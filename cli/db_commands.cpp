#include "cli/db_commands.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/common.h"
#include "platform/rtl/classes.h"
#include "platform/rtl/dateutils.h"
#include "storage/vardbs.h"

namespace quintrel::cli {

namespace {

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

}  // namespace

void RegisterDbCommands(CLI::App& app) {
  CLI::App* db = app.add_subcommand("db", "Direct tools on record database files (.zod modules and others)");
  db->require_subcommand(1);

  struct TInfoOptions {
    std::string file;
    bool json = false;
  };
  auto info = std::make_shared<TInfoOptions>();
  CLI::App* infoCmd = db->add_subcommand(
      "info", "Show the file header and the catalogue: tables with their fields and index definitions");
  infoCmd->add_option("FILE", info->file, "Database file")->required();
  infoCmd->add_flag("--json", info->json, "Print one JSON object keyed by the stored field names");
  struct TCreateOptions {
    std::string file;
    std::vector<std::string> definitions;
    bool force = false;
  };
  auto create = std::make_shared<TCreateOptions>();
  CLI::App* createCmd = db->add_subcommand(
      "create", "Create a database file and define its tables (\"NAME FIELD TYPE[len] FIELD TYPE[len] ...\")");
  createCmd->add_option("FILE", create->file, "Database file to create")->required();
  createCmd->add_option("--define", create->definitions,
                        "A table definition, e.g. \"ROWS Str V Data N\"; types B V C L Y S N D T M R, "
                        "C with a length (Name C40); every table also gets field 0 _RECNO")
      ->take_all();
  createCmd->add_flag("--force", create->force, "Replace an existing file");
  createCmd->callback([create]() {
    if (!create->force && rtl::FileExists(create->file))
      throw ECommandFailed(create->file + ": file exists (use --force to replace it)");
    std::string failure;
    {
      TCustomVarDB db("");
      try {
        db.OpenFile(create->file, rtl::fmCreate);
        db.BeginTableUpdate();
        for (const std::string& definition : create->definitions) db.AddTable(definition);
        db.EndTableUpdate();
      } catch (const rtl::Exception& e) {
        failure = e.Message();
      }
    }
    if (!failure.empty()) {
      std::remove(create->file.c_str());  // a half-defined file is of no use to anyone
      throw ECommandFailed(WithFileName(create->file, failure));
    }
  });

  infoCmd->callback([info]() {
    auto db = OpenForReading(info->file);
    if (info->json) {
      std::cout << InfoJson(*db).dump(2) << "\n";
    } else {
      PrintInfo(*db, info->file);
    }
  });
}

}  // namespace quintrel::cli
