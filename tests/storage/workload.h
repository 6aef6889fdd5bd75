// Test support: reproducible update brackets over a database - the same bracket number on
// the same state makes the same change - and a snapshot of everything a reader can see, so
// that a file left by a crashed writer can be compared with the state before and after the
// bracket that was running.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "storage/vardbs.h"

namespace quintrel::storage::test {

constexpr int kKey = 1, kText = 2, kBlob = 3;

// The tables the brackets work on: "T" (a key with an index, a text, bytes).
inline void CreateWorkloadTables(TCustomVarDB& db) {
  int t = db.AddTable("T Key N Text V Blob B");
  db.IndexCreate(t, kKey, 0, false, false);
}

// One update bracket of 1 to 6 changes: inserts and field updates with values long enough
// for overflow chains, deletes, an index made or dropped, a table added or deleted.
inline void RunBracket(TCustomVarDB& db, uint32_t number) {
  std::mt19937 random(number);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  auto text = [&]() {
    // Mostly short, sometimes past the 4087 bytes a record keeps inline.
    size_t units = static_cast<size_t>(pick(0, 9) == 0 ? pick(2100, 6000) : pick(0, 60));
    std::u16string s(units, u'a');
    for (auto& c : s) c = static_cast<char16_t>(u'a' + pick(0, 25));
    return s;
  };
  TUpdateBracket update(db);
  int t = db.GetTableNr("T");
  for (int n = pick(1, 6); n > 0; --n) {
    int count = db.Table(t).Header.RecordCount;
    int op = pick(0, 19);
    if (op < 9 || count == 0) {
      int32_t key = pick(0, 999);
      std::u16string s = text();
      std::string blob(static_cast<size_t>(pick(0, 3) == 0 ? pick(4000, 9000) : pick(0, 30)), 'b');
      TFindRec fields[3] = {{kKey, &key, 4},
                            {kText, s.data(), static_cast<int32_t>(2 * s.size())},
                            {kBlob, blob.data(), static_cast<int32_t>(blob.size())}};
      db.AddRecord(t, fields, 3);
    } else if (op < 14) {
      db.Top(t);
      db.Step(t, pick(0, count - 1));
      std::u16string s = text();
      int32_t key = pick(0, 999);
      TFindRec fields[2] = {{kText, s.data(), static_cast<int32_t>(2 * s.size())}, {kKey, &key, 4}};
      db.SetFields(t, fields, 2);
    } else if (op < 18) {
      db.Top(t);
      db.Step(t, pick(0, count - 1));
      db.DeleteRecord(t, true);
    } else if (op == 18) {
      if (db.IndexExists(t, kText)) db.IndexRemove(t, kText, 0);
      else db.IndexCreate(t, kText, 0, false, true);
    } else {
      int aux = db.GetTableNr("Aux");
      if (aux >= 0) db.DeleteTable(aux);
      else db.AddTable("Aux Name V Size N");
      t = db.GetTableNr("T");
    }
  }
  update.Commit();
}

// Every table with its fields and indexes, and every record's image, in table order.
inline std::string Snapshot(TCustomVarDB& db) {
  TReadBracket read(db);
  std::string out;
  for (int t = 0; t < db.TableCount(); ++t) {
    const TTable& table = db.Table(t);
    out += "table " + table.Header.TableName + " " + std::to_string(table.Header.RecordCount) + "\n";
    for (const TFieldHeader& f : table.Fields) {
      out += " field " + f.FieldName + " " + f.FieldType + " " + std::to_string(f.Indexes.size()) + "\n";
    }
    if (!db.Top(t)) continue;
    do {
      std::vector<uint8_t> image = db.GetRecord(t);
      out += " record " + std::string(image.begin(), image.end()) + "\n";
    } while (db.Step(t, 1));
  }
  return out;
}

}  // namespace quintrel::storage::test
