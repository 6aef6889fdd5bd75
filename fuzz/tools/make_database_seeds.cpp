// Writes the seed corpus of fuzz_database: small sound database files made with the
// engine, each followed by an operation script and the script's length byte (the input
// layout fuzz_database.cpp describes).
//
//   make_database_seeds OUT_DIR
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/rtl/classes.h"
#include "storage/vardbs.h"

using namespace quintrel;
using storage::TCustomVarDB;

namespace {

using TScript = std::vector<uint8_t>;

// Scripts in the harness's operation language (operation byte, then its arguments); a
// mix of appends with long values, deletes, index work, new tables and look-ups.
const TScript kAppendScript = {0, 0, 1, 0x85, 7, 1, 2, 0x10, 3,  // append, long value
                               10, 0, 40, 1, 9,                  // forty more
                               5, 0, 1, 0x02, 3, 1,              // seek
                               1, 0, 5, 1,                       // delete
                               4, 0, 6, 2, 0x90, 2};             // change to a long value
const TScript kIndexScript = {2, 0, 2, 5,                  // unique index on field 2
                              2, 0, 1, 8,                  // prefix index on field 1
                              11, 0, 20, 4,                // delete a run
                              6, 0, 1, 1,                  // rebuild
                              8, 10, 0, 30, 2, 7, 8,       // appends inside an update bracket
                              6, 0, 2, 2,                  // remove
                              5, 0, 1, 0x04, 9, 0};        // scan
const TScript kTableScript = {3, 2, 2, 4, 1,               // new table "Fz2 F0 C.. F1 L"
                              0, 1, 1, 0x20, 5, 0,         // append to it
                              3, 5, 1, 1,                  // "Fz5 F0 V F1 V"
                              10, 2, 60, 1, 3,             // sixty records
                              2, 2, 1, 4,                  // unique index
                              9, 0, 0,                     // drop the first table
                              7, 0, 0, 2};                 // insert
const TScript kTreeScript = {11, 0, 20, 4,          // delete a run: a leaf underflows
                             10, 0, 30, 2, 7,       // appends
                             5, 0, 1, 0, 9, 1,      // seek
                             1, 0, 7, 1};           // delete
// Runs of deletes from both ends: data blocks drain, lend and merge, index leaves
// underflow, borrow and merge until the root collapses.
const TScript kDeleteScript = {11, 0, 31, 0, 11, 0, 31, 1, 11, 0, 31, 4, 11, 0, 31, 3,
                               11, 0, 31, 0, 11, 0, 31, 1, 11, 0, 31, 0, 11, 0, 31, 1};
const TScript kEmptyScript = {};

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void Save(const std::filesystem::path& dir, const std::string& name, std::string bytes, const TScript& script) {
  bytes.append(script.begin(), script.end());
  bytes.push_back(static_cast<char>(script.size()));
  std::ofstream(dir / name, std::ios::binary) << bytes;
  std::cout << name << ": " << bytes.size() << " bytes\n";
}

std::vector<uint8_t> Wide(const std::string& text) {
  std::vector<uint8_t> bytes;
  for (unsigned char c : text) {
    bytes.push_back(c);
    bytes.push_back(0);
  }
  return bytes;
}

void SetInt(TCustomVarDB& db, int t, int f, int32_t v) { db.SetField(t, f, &v, 4); }
void SetBytes(TCustomVarDB& db, int t, int f, const std::vector<uint8_t>& v) {
  db.SetField(t, f, v.data(), static_cast<int32_t>(v.size()));
}

// A database built by `fill` in a fresh file, returned as bytes.
template <typename TFill>
std::string Build(const std::filesystem::path& dir, TFill fill) {
  std::filesystem::path path = dir / "seed.tmp";
  std::filesystem::remove(path);
  {
    TCustomVarDB db("");
    db.OpenFile(path.string(), rtl::fmCreate);
    fill(db);
    if (!db.Check().empty()) throw std::runtime_error("a seed fails its own check");
  }
  std::string bytes = ReadAll(path);
  std::filesystem::remove(path);
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_database_seeds OUT_DIR\n";
    return 2;
  }
  std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);

  std::string empty = Build(dir, [](TCustomVarDB&) {});
  Save(dir, "empty", empty, kEmptyScript);
  Save(dir, "empty-tables", empty, kTableScript);

  // Terms with a unique key index and a prefix index on the text.
  std::string terms = Build(dir, [](TCustomVarDB& db) {
    int t = db.AddTable("Terms Key N Text V Note B");
    db.IndexCreate(t, 1, 0, true, false);
    db.IndexCreate(t, 2, 0, false, true);
    for (int i = 0; i < 40; ++i) {
      db.AddRecord(t);
      SetInt(db, t, 1, 1000 - 7 * i);
      SetBytes(db, t, 2, Wide("term " + std::to_string(i % 13)));
      if (i % 5 == 0) SetBytes(db, t, 3, std::vector<uint8_t>(i + 1, static_cast<uint8_t>(i)));
    }
  });
  Save(dir, "terms", terms, kEmptyScript);
  Save(dir, "terms-append", terms, kAppendScript);
  Save(dir, "terms-index", terms, kIndexScript);

  // Long values in overflow chains, and a record too large to stay in its block.
  std::string longValues = Build(dir, [](TCustomVarDB& db) {
    int t = db.AddTable("Long Key N Body V Blob B");
    db.IndexCreate(t, 1, 0, true, false);
    for (int i = 0; i < 6; ++i) {
      db.AddRecord(t);
      SetInt(db, t, 1, i + 1);
      size_t body = i % 2 ? 4200 + 1500 * static_cast<size_t>(i) : 40;
      SetBytes(db, t, 2, std::vector<uint8_t>(body, static_cast<uint8_t>('a' + i)));
      if (i == 4) SetBytes(db, t, 3, std::vector<uint8_t>(3000, 0x5A));
    }
    db.AddRecord(t);
    SetInt(db, t, 1, 99);
    SetBytes(db, t, 2, std::vector<uint8_t>(2500, 'w'));
    SetBytes(db, t, 3, std::vector<uint8_t>(2500, 'x'));  // the whole record goes to a chain
  });
  Save(dir, "long", longValues, kAppendScript);

  // Every field type, indexes on several of them, and free blocks from a dropped table.
  std::string types = Build(dir, [](TCustomVarDB& db) {
    int t = db.AddTable("Types B B V V C C10 L L Y Y S S N N D D T T M M R R");
    int gone = db.AddTable("Gone Name V");
    db.IndexCreate(t, 6, 0, false, false);   // S
    db.IndexCreate(t, 10, 0, false, true);   // M, with key prefixes
    db.IndexCreate(t, 3, 0, true, true);     // C10, unique
    for (int i = 0; i < 20; ++i) {
      db.AddRecord(t);
      SetBytes(db, t, 1, std::vector<uint8_t>(static_cast<size_t>(i % 7), static_cast<uint8_t>(200 + i)));
      SetBytes(db, t, 2, Wide("v" + std::to_string(i)));
      SetBytes(db, t, 3, Wide(std::string(10, static_cast<char>('A' + i % 26))));
      uint8_t b = static_cast<uint8_t>(i & 1);
      db.SetField(t, 4, &b, 1);
      uint8_t y = static_cast<uint8_t>(i * 11);
      db.SetField(t, 5, &y, 1);
      int16_t s = static_cast<int16_t>(i * 300 - 3000);
      db.SetField(t, 6, &s, 2);
      SetInt(db, t, 7, -i);
      double d = 45000.5 + i, m = i * 1.005;
      db.SetField(t, 8, &d, 4);
      db.SetField(t, 9, &d, 4);
      db.SetField(t, 10, &m, 8);
      db.SetField(t, 11, &m, 8);
      db.AddRecord(gone);
      SetBytes(db, gone, 1, Wide("gone " + std::to_string(i)));
    }
    db.DeleteTable(gone);
    db.IndexCreate(t, 5, 0, false, false);  // Y, on the loaded table
  });
  Save(dir, "types", types, kIndexScript);

  // 600 keys: a root over two leaves.
  std::string deep = Build(dir, [](TCustomVarDB& db) {
    int t = db.AddTable("Deep Key N");
    db.IndexCreate(t, 1, 0, true, false);
    db.BeginTableUpdate();
    for (int i = 0; i < 600; ++i) {
      db.AddRecord(t);
      SetInt(db, t, 1, (i * 7919) % 600);
    }
    db.EndTableUpdate();
  });
  Save(dir, "deep", deep, kTreeScript);
  Save(dir, "deep-deletes", deep, kDeleteScript);

  // Several data blocks, records deleted from the middle.
  std::string rows = Build(dir, [](TCustomVarDB& db) {
    int t = db.AddTable("Rows Key N Text V");
    db.IndexCreate(t, 1, 0, true, false);
    db.BeginTableUpdate();
    for (int i = 0; i < 220; ++i) {
      db.AddRecord(t);
      SetInt(db, t, 1, i);
      SetBytes(db, t, 2, Wide(std::string(50 + i % 30, static_cast<char>('a' + i % 26))));
    }
    db.Top(t);
    db.Step(t, 60);
    for (int i = 0; i < 50; ++i) db.DeleteRecord(t, true);
    db.EndTableUpdate();
  });
  Save(dir, "rows", rows, kAppendScript);
  Save(dir, "rows-deletes", rows, kDeleteScript);

  // The older layout: a catalogue without indexes reads the same with the version patched,
  // the byte after each field then being the one the older layout skips.
  std::string older = Build(dir, [](TCustomVarDB& db) {
    int t = db.AddTable("ZodTermsEN Text V Title C20");
    for (int i = 0; i < 12; ++i) {
      db.AddRecord(t);
      SetBytes(db, t, 1, Wide("text " + std::to_string(i)));
    }
  });
  older[0] = 15;
  Save(dir, "version15", older, kTableScript);
  return 0;
}
