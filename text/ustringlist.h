// TUStringList: a list of wide strings, each with an attached object pointer, kept in a
// private in-memory record database rather than in an array, so that long lists and long
// items cost blocks of a memory stream instead of one large allocation.
//
// Storage. The database "StrList" holds one table, "ROWS Str V Data N": one record per
// item, in list order. Field Str holds the item's UTF-16 units with the terminating 0,
// field Data a 4-byte object reference. Index i is the i-th record of the table. The list
// remembers the index its table cursor stands on and reaches another index by stepping
// the cursor from there, or from the first or last record when that is nearer, so a
// sequential walk costs one step per item. After a delete the engine's cursor stands
// either on the following record or on the one before, depending on where the deleted
// record sat in its block; when that is not certain the list forgets its position and
// the next access starts again from the nearer end.
//
// Objects. A 4-byte field cannot hold a pointer of this machine, so the list gives each
// distinct object pointer a number (from 1; 0 is none) the first time it is stored and
// keeps the numbers until the list is emptied. Data holds that number.
//
// Items. An item ends at its first 0 unit, as every wide string does: a std::u16string
// with an embedded 0 is stored up to it.
//
// Text form (Text, GetTextStr, SetTextStr, the stream and file forms). Each item followed
// by CR LF, with TAB, LF, CR and backslash written as \t, \n, \r and \\. Reading takes a
// line up to the next 0, CR or LF; CR LF, CR and LF each end a line; a backslash before
// any other unit stands for that unit, one at the end of a line for itself. The wide
// stream form is the text as UTF-16 little-endian units without a byte-order mark or
// terminator; the byte form (the A variants) is the text converted with the list's
// charset (text/codepages.h).
//
// Streamed property "Strings" (WriteData/ReadData, text/listfiler.h): list begin, then
// per item a 4-byte little-endian byte count (units x 2) and the units as UTF-16 LE, then
// list end.
//
// Updates. BeginUpdate/EndUpdate nest. The outermost pair fires OnChanging once at the
// start and OnChange once at the end, and holds the database's catalogue writes back
// until the end; the events of single changes are silent in between. Bulk operations
// (SetTextStr, the stream forms, ReadData, AddStrings, Assign, Move) run in one update.
//
// Errors. An index outside the list raises EListIndexError; errors of the database pass
// through unchanged.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/rtl/classes.h"
#include "platform/rtl/sysutils.h"
#include "storage/vardbs.h"
#include "text/listfiler.h"
#include "text/unicode.h"

namespace quintrel::text {

class EListIndexError : public rtl::Exception {
public:
  explicit EListIndexError(int32_t index);
  int32_t Index() const { return index_; }

private:
  int32_t index_;
};

// How Find treats equal items; stored, and read only by Find.
enum TDuplicates { dupIgnore, dupAccept, dupError };

class TUStringList;
using TNotifyEvent = std::function<void(TUStringList& sender)>;

class TUStringList {
public:
  TUStringList();
  ~TUStringList();
  TUStringList(const TUStringList&) = delete;
  TUStringList& operator=(const TUStringList&) = delete;

  // Called after each change, and before it; silent while an update is open.
  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

  int32_t GetCount() const;
  int32_t Count() const { return GetCount(); }

  // Appends s and returns its index. Never sorts, never checks for duplicates.
  int32_t Add(const char16_t* s);
  int32_t Add(std::u16string_view s);
  void Append(const char16_t* s) { Add(s); }
  // Appends the byte string converted with the list's charset.
  int32_t AddA(std::string_view bytes);
  int32_t AddObject(const char16_t* s, void* object);
  int32_t AddObject(std::u16string_view s, void* object);
  // Appends every item of list with its object, in one update.
  void AddStrings(const TUStringList& list);
  // Replaces the content by a copy of source's items and objects.
  void Assign(const TUStringList& source);

  // The item at index as a buffer the list owns (null for an empty item); valid until the
  // next Get or the list's end.
  const char16_t* Get(int32_t index) const;
  // The item at index as an owning value.
  std::u16string Strings(int32_t index) const;
  // The item at index converted with the list's charset.
  std::string GetA(int32_t index) const;
  void Put(int32_t index, const char16_t* s);
  void Put(int32_t index, std::u16string_view s);
  void PutA(int32_t index, std::string_view bytes);
  void* GetObject(int32_t index) const;
  void PutObject(int32_t index, void* object);

  // Inserts before index; index Count() appends.
  void Insert(int32_t index, const char16_t* s);
  void Insert(int32_t index, std::u16string_view s);
  void InsertObject(int32_t index, const char16_t* s, void* object);
  void InsertObject(int32_t index, std::u16string_view s, void* object);
  void Delete(int32_t index);
  void Exchange(int32_t index1, int32_t index2);
  // Moves the item at from (with its object) so that it ends at index to. Both must be
  // indexes of the list; when either is not, EListIndexError leaves the list unchanged.
  void Move(int32_t from, int32_t to);
  void Clear();

  // The index of the first item equal to s (an empty s finds an empty item), or -1.
  int32_t IndexOf(const char16_t* s) const;
  int32_t IndexOf(std::u16string_view s) const;
  // The index of the first item carrying object (null: the first without one), or -1.
  int32_t IndexOfObject(const void* object) const;
  // Binary search for s over a list whose items are in CompareW order. index receives
  // the position of s, or where it would be inserted. With duplicates other than
  // dupAccept a match stops the search at once. CompareW never finds an empty s.
  bool Find(const char16_t* s, int32_t& index) const;

  void BeginUpdate();
  // An EndUpdate without a BeginUpdate does nothing.
  void EndUpdate();
  int32_t UpdateCount() const { return updateCount_; }

  bool Sorted() const { return sorted_; }
  void SetSorted(bool value) { sorted_ = value; }
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates value) { duplicates_ = value; }
  // Charset of the byte-string operations; 0 at creation.
  uint8_t Charset() const { return charset_; }
  void SetCharset(uint8_t value) { charset_ = value; }

  // The whole list in its text form, as a buffer from StrAllocW the caller disposes (null
  // for an empty list).
  char16_t* GetTextStr() const;
  std::u16string Text() const;
  // Appends one item as Text() writes it: TAB, LF, CR and backslash escaped, then CR LF.
  // A list written a line at a time this way is Text() of the whole list.
  static void AppendTextLine(std::u16string& text, std::u16string_view item);
  // Replaces the content by the lines of text (null: empties the list).
  void SetTextStr(const char16_t* text);
  void SetText(std::u16string_view text);

  void SaveToStream(rtl::TStream& stream) const;
  // Reads from the stream's position to its end; an odd trailing byte is dropped.
  void LoadFromStream(rtl::TStream& stream);
  void SaveToStreamA(rtl::TStream& stream) const;
  void LoadFromStreamA(rtl::TStream& stream);
  void SaveToFile(const std::string& fileName) const;
  void LoadFromFile(const std::string& fileName);
  void SaveToFileA(const std::string& fileName) const;
  void LoadFromFileA(const std::string& fileName);

  // Offers the property "Strings", with data when the list has items.
  void DefineProperties(TPropertyFiler& filer);
  void WriteData(TListWriter& writer) const;
  void ReadData(TListReader& reader);

  // The private database, for inspection, and its structure check.
  const storage::TCustomVarDB& Database() const { return *db_; }
  std::vector<storage::TCheckFinding> CheckStorage() const;

private:
  class TUpdateScope;

  void SetUpdateState(bool updating);
  void Changed();
  void Changing();

  void CheckIndex(int32_t index, int32_t limit) const;
  void SeekTo(int32_t index) const;
  std::vector<uint8_t> ReadField(int32_t index, int field) const;
  std::u16string ReadItem(int32_t index) const;
  int32_t AddUnits(std::u16string_view s);
  void InsertUnits(int32_t index, std::u16string_view s);
  void PutUnits(int32_t index, std::u16string_view s);
  uint32_t ObjectNumber(void* object);
  void* ObjectOf(const std::vector<uint8_t>& field) const;
  void ForgetObjects();

  std::unique_ptr<storage::TCustomVarDB> db_;
  int table_ = 0;
  int32_t updateCount_ = 0;
  mutable TWideBuffer lastString_;
  uint8_t charset_ = 0;
  mutable int32_t cursor_ = 0;
  TDuplicates duplicates_ = dupIgnore;
  bool sorted_ = false;
  std::vector<void*> objects_;                    // number n is objects_[n - 1]
  std::unordered_map<const void*, uint32_t> numbers_;
};

}  // namespace quintrel::text
