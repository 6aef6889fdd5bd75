// TRegIniFile: the per-user registry of the system, kept in one INI file.
//
// A TRegIniFile is opened on a key ("Software\Talvorine") and reads and writes named
// string values grouped in sections below that key. The file holds one INI section per
// key and section, named "key\section" (the key alone for an empty section):
//
//   [Software\Talvorine\ZOD]
//   0=/home/ann/proj/app.zod
//   1=
//
// Key, section and value names compare without regard to ASCII case, as registry names
// do; the spelling first written is kept. Where the file lives: $QUINTREL_CONFIG when set
// and not empty, else $XDG_CONFIG_HOME/quintrel/registry.ini (an absolute
// $XDG_CONFIG_HOME only), else ~/.config/quintrel/registry.ini.
//
// Every read reads the file afresh and every write rewrites it, so several processes see
// each other's values at once. A write takes an exclusive lock on "<file>.lock" for its
// read-modify-write, writes the whole file to a temporary file beside it and renames that
// over the old one: a reader sees the old file or the new one, never half of one, and two
// writers never lose each other's values. Missing folders are created on the first write.
//
// Text is written as it is unless it would not read back the same (line breaks or other
// control characters, blanks at either end, '=' in a name, a leading quote, '[' or ';' at
// the start of a name). Such a text is written in double quotes with \\ \" \n \r \t and
// \xHH escapes, so every string survives a round trip. Lines the reader cannot place
// (text before the first section, lines without '=') are ignored and dropped by the next
// write.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/rtl/sysutils.h"

namespace quintrel::rtl {

// A registry file that cannot be read or written; the message names the file and why.
class ERegistryException : public Exception {
public:
  using Exception::Exception;
};

// The INI file of the per-user registry (see above).
std::string RegistryFileName();

class TRegIniFile {
public:
  // The key in the per-user registry file.
  explicit TRegIniFile(std::string key);
  // The key in an explicitly named file.
  TRegIniFile(std::string key, std::string iniFileName);

  const std::string& Key() const { return key_; }
  const std::string& IniFileName() const { return fileName_; }

  std::string ReadString(std::string_view section, std::string_view ident, std::string_view defaultValue) const;
  void WriteString(std::string_view section, std::string_view ident, std::string_view value);
  // Writes value only while the stored value (empty when missing) equals expected, in one
  // locked step, so that two processes cannot both take the same free place. True when
  // the stored value is now value.
  bool ReplaceString(std::string_view section, std::string_view ident, std::string_view expected,
                     std::string_view value);
  // Integers are stored as decimal text; a value that is not a 32-bit number reads as the
  // default.
  int32_t ReadInteger(std::string_view section, std::string_view ident, int32_t defaultValue) const;
  void WriteInteger(std::string_view section, std::string_view ident, int32_t value);
  // Booleans are stored as "1" and "0"; any nonzero number reads as true.
  bool ReadBool(std::string_view section, std::string_view ident, bool defaultValue) const;
  void WriteBool(std::string_view section, std::string_view ident, bool value);

  bool ValueExists(std::string_view section, std::string_view ident) const;
  bool SectionExists(std::string_view section) const;
  // The value names of a section, in stored order.
  std::vector<std::string> ReadSection(std::string_view section) const;
  // The names and values of a section, in stored order.
  std::vector<std::pair<std::string, std::string>> ReadSectionValues(std::string_view section) const;
  // The sections below the key (each the first name after "key\").
  std::vector<std::string> ReadSections() const;
  // Removes a section with its values; nothing happens when it does not exist.
  void EraseSection(std::string_view section);
  // Removes one value; nothing happens when it does not exist.
  void DeleteKey(std::string_view section, std::string_view ident);

private:
  std::string SectionName(std::string_view section) const;

  std::string key_;
  std::string fileName_;
};

}  // namespace quintrel::rtl
