// libFuzzer target: arbitrary bytes opened as a record database, then walked, read,
// checked and changed.
//
// An input is the database file, then an operation script, then one byte giving the
// script's length (0-255, cut to what the input holds). The seeds are sound files that
// carry a script, so mutations reach both the file and the operations run on it. Saved
// inputs (fuzz/regressions) replay only while the script's grammar stays as it is: new
// operations go into existing ones without changing the bytes each one reads.
//
// An rtl::Exception is the engine reporting damage and ends that step quietly. A finding
// aborts the run with a line starting "==FINDING==": besides crashes, sanitizer reports,
// other exceptions and hangs (which libFuzzer reports itself), these are
//   - Check() raising instead of reporting;
//   - a block written past the end of the file, leaving a hole in it;
//   - for a file that Check() calls sound: an operation raising, Check() finding damage
//     after the operations, or the file failing to reopen clean in a fresh engine.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/memory_file.h"
#include "platform/rtl/classes.h"
#include "storage/vardbs.h"

using namespace quintrel;
using storage::TCustomVarDB;

namespace {

// Bounds of one run, so a long or looping chain cannot make a run slow.
constexpr int kMaxWalkSteps = 400;     // records visited by the walk, all tables together
constexpr int kMaxBackSteps = 16;      // records visited backwards from the end of a table
constexpr int kMaxFieldsRead = 64;     // fields read of each record
constexpr int kMaxTablesWalked = 32;
constexpr int kMaxOperations = 32;
constexpr size_t kMaxValueBytes = 256 * 1024;  // values the script may write in one run
constexpr size_t kMaxFixedValue = 64 * 1024;   // larger fixed fields are left to the engine's zeros
constexpr uint16_t kOpenShared = rtl::fmOpenReadWrite | rtl::fmShareDenyNone;

[[noreturn]] void Finding(const std::string& what) {
  std::fprintf(stderr, "\n==FINDING== %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

// The operation script: its bytes one by one, zeros once it is used up.
class TScript {
public:
  TScript(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Done() const { return at_ >= size_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint16_t Word() {
    uint16_t low = Byte();
    return static_cast<uint16_t>(low | (Byte() << 8));
  }

private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// A value of `length` bytes drawn from a base byte: equal bases give equal values, so the
// unique indexes meet duplicates.
std::vector<uint8_t> MakeValue(size_t length, uint8_t base) {
  std::vector<uint8_t> value(length);
  for (size_t i = 0; i < length; ++i) value[i] = static_cast<uint8_t>(base + 31 * (i / 2) + (i & 1));
  return value;
}

class TRun {
public:
  TRun(TCustomVarDB& db, TScript& script, bool sound) : db_(db), script_(script), sound_(sound) {}

  // Reads every table from both ends, with the catalogue look-ups on the way.
  void Walk() {
    int steps = 0;
    int tables = std::min(db_.TableCount(), kMaxTablesWalked);
    for (int t = 0; t < tables; ++t) {
      try {
        storage::TTableHeader header;
        db_.GetTableHeader(t, header);
        db_.GetTableNr(header.TableName);
        int fields = static_cast<int>(db_.Table(t).Fields.size());
        for (int f = 0; f < std::min(fields, kMaxFieldsRead); ++f) {
          storage::TFieldHeader field;
          if (db_.GetFieldHeader(t, f, field)) db_.GetFieldNr(t, field.FieldName);
        }
        if (db_.Top(t)) {
          do ReadRecord(t);
          while (++steps < kMaxWalkSteps && db_.Step(t, 1));
        }
        if (db_.Bottom(t)) {
          int back = 0;
          do ReadRecord(t);
          while (++back < kMaxBackSteps && db_.Step(t, -1));
        }
      } catch (const rtl::Exception&) {
        // Damage in this table; the others are still walked.
      }
    }
  }

  // Runs the script; false when an operation raised.
  bool Operate() {
    bool clean = true;
    for (int n = 0; n < kMaxOperations && !script_.Done(); ++n) {
      uint8_t op = script_.Byte();
      try {
        Operation(op);
      } catch (const rtl::Exception& e) {
        if (sound_) Finding("operation " + std::to_string(op % 12) + " on a sound file raised: " + e.Message());
        clean = false;
      }
    }
    if (inUpdate_) {
      inUpdate_ = false;
      try {
        db_.EndTableUpdate();
      } catch (const rtl::Exception& e) {
        if (sound_) Finding("EndTableUpdate on a sound file raised: " + e.Message());
        clean = false;
      }
    }
    return clean;
  }

private:
  void ReadRecord(int t) {
    std::vector<uint8_t> image = db_.GetRecord(t);
    int fields = std::min(static_cast<int>(db_.Table(t).Fields.size()), kMaxFieldsRead);
    std::vector<storage::TFindRec> lengths(static_cast<size_t>(fields));
    for (int f = 0; f < fields; ++f) {
      lengths[f].Field = f;
      (void)db_.GetField(t, f);
    }
    if (fields > 0) db_.GetFields(t, lengths.data(), fields);
  }

  int PickTable() {
    // One past the last table now and then: the engine must refuse it.
    return script_.Byte() % (db_.TableCount() + 1);
  }
  int FieldCount(int t) const {
    return t < db_.TableCount() ? static_cast<int>(db_.Table(t).Fields.size()) : 1;
  }
  // A field to change: never _RECNO on a sound file, whose record numbers must ascend.
  int PickField(int t) {
    int fields = FieldCount(t);
    int f = script_.Byte() % std::max(fields, 1);
    if (sound_ && f == 0 && fields > 1) f = 1;
    return f;
  }
  void MoveTo(int t) {
    int steps = script_.Byte() % 48;
    if (steps & 1) {
      if (db_.Bottom(t)) db_.Step(t, -(steps / 2));
    } else if (db_.Top(t)) {
      db_.Step(t, steps / 2);
    }
  }

  // A value for field f of table t: its fixed size, or a length from the script, long
  // enough for an overflow chain when the script's high bit says so.
  std::vector<uint8_t> PickValue(int t, int f) {
    uint8_t shape = script_.Byte();
    uint8_t base = script_.Byte();
    size_t length = shape & 0x7F;
    if (t < db_.TableCount() && f < FieldCount(t)) {
      const storage::TFieldHeader& field = db_.Table(t).Fields[f];
      if (!storage::IsVariable(field.FieldType))
        length = static_cast<size_t>(storage::GetUnitLength(field.FieldType)) *
                 static_cast<size_t>(std::max(field.FieldLength, 0));
      else if (shape & 0x80)
        length = static_cast<size_t>(storage::kMaxInlineValue) + 1 + 97 * static_cast<size_t>(shape & 0x7F);
    }
    if (length > kMaxFixedValue || written_ + length > kMaxValueBytes) return {};
    written_ += length;
    return MakeValue(length, base);
  }
  void SetField(int t, int f) {
    std::vector<uint8_t> value = PickValue(t, f);
    if (value.empty() && t < db_.TableCount() && f < FieldCount(t) &&
        !storage::IsVariable(db_.Table(t).Fields[f].FieldType))
      return;  // a fixed field the harness will not fill
    db_.SetField(t, f, value.empty() ? nullptr : value.data(), static_cast<int32_t>(value.size()));
  }

  void Operation(uint8_t op) {
    switch (op % 12) {
      case 0: {  // append a record and fill a field or two
        int t = PickTable();
        db_.AddRecord(t);
        SetField(t, PickField(t));
        if (script_.Byte() & 1) SetField(t, PickField(t));
        break;
      }
      case 1: {  // delete a record
        int t = PickTable();
        MoveTo(t);
        bool removeLong = sound_ || (script_.Byte() & 1);
        db_.DeleteRecord(t, removeLong);
        break;
      }
      case 2: {  // create an index
        int t = PickTable();
        int f = script_.Byte() % std::max(FieldCount(t), 1);
        uint8_t flags = script_.Byte();
        db_.IndexCreate(t, f, static_cast<uint16_t>(flags % 3), flags & 4, flags & 8);
        break;
      }
      case 3: {  // add a table of one to three fields
        static const char kTypes[] = "BVCLYSNDTMRV";
        uint8_t shape = script_.Byte();
        std::string definition = "Fz" + std::to_string(shape % 8);
        int fields = 1 + script_.Byte() % 3;
        for (int f = 0; f < fields; ++f) {
          char type = kTypes[script_.Byte() % (sizeof kTypes - 1)];
          definition += " F" + std::to_string(f) + " " + type;
          if (type == 'C') definition += std::to_string(1 + script_.Byte() % 40);
        }
        db_.AddTable(definition);
        break;
      }
      case 4: {  // change a field of some record
        int t = PickTable();
        MoveTo(t);
        SetField(t, PickField(t));
        break;
      }
      case 5: {  // find a value through the field's index, or by scanning
        int t = PickTable();
        int f = script_.Byte() % std::max(FieldCount(t), 1);
        std::vector<uint8_t> value = PickValue(t, f);
        storage::TFindRec find{f, value.empty() ? nullptr : value.data(), static_cast<int32_t>(value.size())};
        int32_t recNo = 0;
        bool found = (script_.Byte() & 1) ? db_.Seek(t, &find, 1, recNo) : db_.Lookup(t, &find, 1, recNo);
        if (found) (void)db_.GetRecord(t);
        break;
      }
      case 6: {  // remove or rebuild an index
        int t = PickTable();
        int f = script_.Byte() % std::max(FieldCount(t), 1);
        uint8_t how = script_.Byte();
        if (how & 1) db_.IndexPack(t, f);
        else db_.IndexRemove(t, f, static_cast<uint16_t>(how / 2 % 3));
        break;
      }
      case 7: {  // insert an empty record at the cursor
        int t = PickTable();
        MoveTo(t);
        // Empty records have _RECNO 0 and stay out of the indexes; on a sound file they
        // go only where the record numbers need not ascend.
        if (sound_ && t < db_.TableCount() && db_.Table(t).Header.RecordCount > 0) break;
        db_.InsertRecord(t, static_cast<int>(script_.Byte() % 4) - 1);
        break;
      }
      case 8:  // open or close an update bracket
        if (inUpdate_) db_.EndTableUpdate();
        else db_.BeginTableUpdate();
        inUpdate_ = !inUpdate_;
        break;
      case 9:  // drop a table, now and then
        if (script_.Byte() % 4 == 0) db_.DeleteTable(PickTable());
        break;
      case 10: {  // several records in one go, every other one with its value in the same call
        int t = PickTable();
        int n = 1 + script_.Byte() % 64;
        int f = PickField(t);
        uint8_t base = script_.Byte();
        for (int i = 0; i < n; ++i) {
          std::vector<uint8_t> value;
          if (t < db_.TableCount() && f < FieldCount(t)) {
            const storage::TFieldHeader& field = db_.Table(t).Fields[f];
            size_t fixed = static_cast<size_t>(storage::GetUnitLength(field.FieldType)) *
                           static_cast<size_t>(std::max(field.FieldLength, 0));
            if (storage::IsVariable(field.FieldType)) fixed = 2 + (base + i) % 24;
            if (fixed <= kMaxFixedValue) value = MakeValue(fixed, static_cast<uint8_t>(base + i));
          }
          if (i % 2 == 0 && !value.empty()) {
            storage::TFindRec given{f, value.data(), static_cast<int32_t>(value.size())};
            db_.AddRecord(t, &given, 1);
            continue;
          }
          db_.AddRecord(t);
          if (!value.empty()) db_.SetField(t, f, value.data(), static_cast<int32_t>(value.size()));
        }
        break;
      }
      default: {  // delete a run of records
        int t = PickTable();
        int n = 1 + script_.Byte() % 32;
        MoveTo(t);
        for (int i = 0; i < n; ++i)
          if (!db_.DeleteRecord(t, true)) break;
        break;
      }
    }
  }

  TCustomVarDB& db_;
  TScript& script_;
  bool sound_;
  bool inUpdate_ = false;
  size_t written_ = 0;
};

std::vector<storage::TCheckFinding> CheckOrFinding(TCustomVarDB& db, const char* when) {
  try {
    return db.Check();
  } catch (const rtl::Exception& e) {
    Finding(std::string("Check() ") + when + " raised: " + e.Message());
  }
}

std::string Describe(const std::vector<storage::TCheckFinding>& findings) {
  std::string text = std::to_string(findings.size()) + " problem(s), first: " + findings.front().Message;
  return text;
}

}  // namespace

// A smaller quarantine than the sanitizer's default: a run frees many 8 KB blocks, and
// fresh pages for all of them cost more than the run's own work.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::TMemoryFile file("Fuzz.zod");
  if (size == 0) return 0;
  size_t scriptSize = std::min<size_t>(data[size - 1], size - 1);
  size_t fileSize = size - 1 - scriptSize;
  file.Fill(data, fileSize);
  TScript script(data + fileSize, scriptSize);

  // Blocks the engine adds go after the last whole block; any gap past that was written
  // somewhere outside the file.
  int64_t grid = static_cast<int64_t>(storage::kFileHeaderSize);
  if (static_cast<int64_t>(fileSize) > grid)
    grid += (static_cast<int64_t>(fileSize) - grid + storage::kBlockSize - 1) / storage::kBlockSize *
            storage::kBlockSize;

  bool sound = false;
  bool clean = false;
  {
    auto db = std::make_unique<TCustomVarDB>("");
    try {
      if (!db->OpenFile(file.Path(), kOpenShared)) return 0;
    } catch (const rtl::Exception&) {
      return 0;
    }
    TRun run(*db, script, false);
    run.Walk();
    sound = CheckOrFinding(*db, "on the file as opened").empty();
    TRun operations(*db, script, sound);
    clean = operations.Operate();
    std::vector<storage::TCheckFinding> after = CheckOrFinding(*db, "after the operations");
    if (sound && clean && !after.empty()) Finding("operations on a sound file left damage: " + Describe(after));
    TRun again(*db, script, false);
    again.Walk();
  }
  int64_t hole = file.HoleFrom(grid);
  if (hole < file.Size())
    Finding("a block was written past the end of the file: gap at " + std::to_string(hole) + " of " +
            std::to_string(file.Size()) + " bytes (input file " + std::to_string(fileSize) + " bytes)");

  if (sound && clean) {
    TCustomVarDB reopened("");
    try {
      if (!reopened.OpenFile(file.Path(), kOpenShared)) Finding("the changed sound file no longer opens");
    } catch (const rtl::Exception& e) {
      Finding("the changed sound file no longer opens: " + e.Message());
    }
    std::vector<storage::TCheckFinding> findings = CheckOrFinding(reopened, "after reopening");
    if (!findings.empty()) Finding("the changed sound file reopens damaged: " + Describe(findings));
  }
  return 0;
}
