// Test support for the record database: a scratch folder per test, and an independent
// writer of the file layout (header, catalogue chain with its placement rule, both
// versions) that shares no code with the engine, so the two check each other.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "storage/vardbs.h"

namespace quintrel::storage::test {

class DbFixture : public ::testing::Test {
protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("quintrel-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    // The engine's logic does not need its test files to survive a power cut: without the
    // syncs a commit costs no disk flush. The journal's own tests turn them back on.
    ::setenv("QUINTREL_SYNC", "off", 1);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  int64_t FileSize(const std::string& name) const {
    return static_cast<int64_t>(std::filesystem::file_size(dir_ / name));
  }
  std::string ReadFile(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void WriteFile(const std::string& name, const std::string& bytes) const {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  // A new file of one table, filled by `fill(db, table)` and closed.
  template <typename F>
  void Build(const std::string& name, const char* definition, F fill) {
    TCustomVarDB db("build");
    ASSERT_TRUE(db.OpenFile(Path(name), rtl::fmCreate));
    fill(db, db.AddTable(definition));
  }

  // A record holding `key` in field 1.
  static void AddKey(TCustomVarDB& db, int table, int32_t key) {
    db.AddRecord(table);
    db.SetField(table, 1, &key, 4);
  }
  static void SetBytes(TCustomVarDB& db, int table, int field, size_t n, uint8_t fill) {
    std::vector<uint8_t> v(n, fill);
    db.SetField(table, field, v.data(), static_cast<int32_t>(n));
  }
  static int32_t Int(const std::vector<uint8_t>& v) {
    int32_t x = 0;
    if (v.size() >= 4) std::memcpy(&x, v.data(), 4);
    return x;
  }
  static void ExpectSound(TCustomVarDB& db, const std::string& where = "check") {
    for (const auto& f : db.Check()) ADD_FAILURE() << where << ": " << f.Message;
  }

  // Runs `body` in a child process, whose exit code is body's result (3 when it throws).
  template <typename F>
  static pid_t Spawn(F body) {
    pid_t pid = ::fork();
    if (pid == 0) {
      int code = 1;
      try {
        code = body();
      } catch (...) {
        code = 3;
      }
      ::_exit(code);
    }
    return pid;
  }
  // The child's exit code, or -1 when a signal ended it.
  static int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::filesystem::path dir_;
};

// A pipe whose ends are closed at the end of the scope, or before by Close.
class TPipe {
public:
  TPipe() { EXPECT_EQ(::pipe(fd_), 0); }
  ~TPipe() {
    Close(0);
    Close(1);
  }
  TPipe(const TPipe&) = delete;
  TPipe& operator=(const TPipe&) = delete;
  int operator[](int end) const { return fd_[end]; }
  void Close(int end) {
    if (fd_[end] >= 0) ::close(std::exchange(fd_[end], -1));
  }

private:
  int fd_[2] = {-1, -1};
};

class TRawWriter {
public:
  struct Index {
    uint32_t root;
    bool unique, prefix;
    uint16_t field, table, compare;
  };
  struct Field {
    std::string name;
    char type;
    int32_t length;
    std::vector<Index> indexes;
    void AddIndex(uint32_t root, bool unique, bool prefix, int field, int table, int compare) {
      indexes.push_back({root, unique, prefix, static_cast<uint16_t>(field), static_cast<uint16_t>(table),
                         static_cast<uint16_t>(compare)});
    }
  };
  struct Table {
    std::string name;
    int32_t records;
    uint16_t number;
    std::vector<Field> fields;
    double extra = 0;  // older layout: the value after a "ZodTerms" table
    Field& AddField(const std::string& name, char type, int32_t length) {
      fields.push_back({name, type, length, {}});
      return fields.back();
    }
  };

  explicit TRawWriter(int version) : version_(version) {}

  Table& AddTable(const std::string& name, int32_t records, int /*unused*/) {
    tables_.push_back({name, records, static_cast<uint16_t>(tables_.size()), {}, 0});
    return tables_.back();
  }
  const Table& TableAt(size_t i) const { return tables_[i]; }

  std::string Bytes() {
    blocks_.clear();
    boundaryMarker_ = false;
    NewBlock();
    position_ = 1;
    for (const auto& t : tables_) {
      uint8_t th[56] = {};
      Double(th, 46000.25 + t.number);
      Name(th + 8, t.name);
      U16(th + 22, t.number);
      U32(th + 24, static_cast<uint32_t>(t.records));
      U32(th + 28, static_cast<uint32_t>(t.fields.size()));
      U16(th + 48, 1);
      Item(th, 56);
      for (const auto& f : t.fields) {
        uint8_t fh[24] = {};
        Name(fh, f.name);
        fh[13] = static_cast<uint8_t>(f.type);
        U32(fh + 16, static_cast<uint32_t>(f.length));
        Item(fh, 24);
        if (version_ == 15) {
          Unchecked(reinterpret_cast<const uint8_t*>("\x55"), 1);
          continue;
        }
        for (const auto& ix : f.indexes) {
          Marker(1);
          uint8_t ih[20] = {};
          U32(ih, ix.root);
          ih[4] = ix.unique;
          ih[5] = ix.prefix;
          U16(ih + 6, ix.field);
          U16(ih + 8, ix.table);
          U16(ih + 10, ix.compare);
          Item(ih, 20);
        }
        Marker(0);
      }
      if (version_ == 15 && t.name.rfind("ZodTerms", 0) == 0 && t.extra > 65535.0) {
        uint8_t skipped[56];
        std::memset(skipped, 0xAB, sizeof skipped);
        Double(skipped, t.extra);
        Unchecked(skipped, 56);
      }
    }
    std::string out(64, '\0');
    U32(reinterpret_cast<uint8_t*>(&out[0]), static_cast<uint32_t>(version_));
    Double(reinterpret_cast<uint8_t*>(&out[12]), 46000.5);
    U32(reinterpret_cast<uint8_t*>(&out[24]), 64);
    U32(reinterpret_cast<uint8_t*>(&out[28]), static_cast<uint32_t>(tables_.size()));
    Name(reinterpret_cast<uint8_t*>(&out[32]), "raw.zod");
    U32(reinterpret_cast<uint8_t*>(&out[48]), 7);
    for (size_t b = 0; b < blocks_.size(); ++b) {
      uint8_t* block = blocks_[b].data();
      U32(block + 0, b + 1 < blocks_.size() ? static_cast<uint32_t>(64 + 8192 * (b + 1)) : 0);
      U32(block + 4, b > 0 ? static_cast<uint32_t>(64 + 8192 * (b - 1)) : 0);
      out.append(reinterpret_cast<const char*>(block), 8192);
    }
    return out;
  }

  void Save(const std::string& path) { std::ofstream(path, std::ios::binary) << Bytes(); }
  int CatalogueBlocks() const { return static_cast<int>(blocks_.size()); }
  bool PlacedAtBoundary() const { return boundaryMarker_; }

  void ExpectSameCatalogue(TCustomVarDB& db) const {
    EXPECT_EQ(db.Header().Version, version_);
    EXPECT_EQ(db.Header().DbName, "raw.zod");
    EXPECT_EQ(db.Header().TableBlock, 64u);
    ASSERT_EQ(db.TableCount(), static_cast<int>(tables_.size()));
    for (size_t t = 0; t < tables_.size(); ++t) {
      const auto& want = tables_[t];
      const TTable& got = db.Table(static_cast<int>(t));
      EXPECT_EQ(got.Header.TableName, want.name.substr(0, 12));
      EXPECT_EQ(got.Header.TableNr, want.number);
      EXPECT_EQ(got.Header.RecordCount, want.records);
      EXPECT_DOUBLE_EQ(got.Header.Created, 46000.25 + want.number);
      ASSERT_EQ(got.Fields.size(), want.fields.size()) << "table " << t;
      for (size_t f = 0; f < want.fields.size(); ++f) {
        const auto& wf = want.fields[f];
        const TFieldHeader& gf = got.Fields[f];
        EXPECT_EQ(gf.FieldName, wf.name.substr(0, 12));
        EXPECT_EQ(gf.FieldType, wf.type);
        EXPECT_EQ(gf.FieldLength, wf.length);
        ASSERT_EQ(gf.Indexes.size(), version_ == 15 ? 0u : wf.indexes.size()) << "table " << t << " field " << f;
        for (size_t i = 0; i < gf.Indexes.size(); ++i) {
          EXPECT_EQ(gf.Indexes[i].Root, wf.indexes[i].root);
          EXPECT_EQ(gf.Indexes[i].Unique, wf.indexes[i].unique);
          EXPECT_EQ(gf.Indexes[i].KeyPrefix, wf.indexes[i].prefix);
          EXPECT_EQ(gf.Indexes[i].IndexField, wf.indexes[i].field);
          EXPECT_EQ(gf.Indexes[i].IndexTable, wf.indexes[i].table);
          EXPECT_EQ(gf.Indexes[i].CompareId, wf.indexes[i].compare);
        }
      }
    }
  }

private:
  static void U16(uint8_t* p, uint32_t v) {
    p[0] = v & 0xFF;
    p[1] = (v >> 8) & 0xFF;
  }
  static void U32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = (v >> (8 * i)) & 0xFF;
  }
  static void Double(uint8_t* p, double d) { std::memcpy(p, &d, 8); }
  static void Name(uint8_t* p, const std::string& s) {
    size_t n = s.size() < 12 ? s.size() : 12;
    p[0] = static_cast<uint8_t>(n);
    std::memcpy(p + 1, s.data(), n);
  }
  void NewBlock() {
    blocks_.emplace_back(8192, 0);
    position_ = 1;
  }
  void Put(const uint8_t* bytes, int n) {
    std::memcpy(blocks_.back().data() + 16 + position_, bytes, n);
    position_ += n;
  }
  void Item(const uint8_t* bytes, int n) {
    if (position_ + n > 8175) NewBlock();
    Put(bytes, n);
  }
  void Marker(uint8_t value) {
    if (position_ > 8175) NewBlock();
    if (position_ == 8175) boundaryMarker_ = true;
    Put(&value, 1);
  }
  void Unchecked(const uint8_t* bytes, int n) {
    if (16 + position_ + n > 8192) NewBlock();  // keep the test's own bytes inside its block
    Put(bytes, n);
  }

  int version_;
  std::vector<Table> tables_;
  std::vector<std::vector<uint8_t>> blocks_;
  int position_ = 1;
  bool boundaryMarker_ = false;
};

}  // namespace quintrel::storage::test
