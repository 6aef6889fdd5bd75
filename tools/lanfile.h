// Languages files (".lan"): the translations of an earlier run-time translator, one
// section per form, read for leverage. The layout is described in docs/formats/lan.md;
// in short, the file is a chain of sections, each opened by a short 1, the file position
// of the next section and the section's name. The section "Languages:" lists the file's
// languages; every other section is a form's, named after its class, with one entry per
// translated property and language.
//
// Reading is strict and bounded: the whole file is at most kMaxLanFile bytes; each
// section lies inside the file and the next one starts strictly after it (a pointer back
// or to itself would walk in circles); a long string's length is not negative and fits
// the rest of its section; a section's entries end before the next section starts. A file
// that does not start with a section is not a languages file. Every failure is one
// ELanFile naming the file, the byte offset and what is wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/sysutils.h"

namespace quintrel::tools {

constexpr size_t kMaxLanFile = 64u << 20;
inline constexpr std::string_view kLanLanguagesSection = "Languages:";
// The bytes that follow a language entry with a positive flag; their meaning is the old
// translator's and is not read.
constexpr size_t kLanLanguageExtra = 766;

class ELanFile : public rtl::Exception {
public:
  using rtl::Exception::Exception;
};

struct TLanLanguage {
  uint16_t Id = 0;
  std::string Name;  // ANSI bytes as stored
  int16_t Flag = 0;
};

struct TLanEntry {
  uint16_t Language = 0;
  std::string Text;       // in the code page of its language
  std::string Component;  // as stored
  std::string Property;
  int16_t Index = -1;     // item index, -1 for none
};

struct TLanSection {
  std::string Name;  // the form's class name as stored
  std::vector<TLanEntry> Entries;
};

struct TLanFile {
  std::vector<TLanLanguage> Languages;
  std::vector<TLanSection> Forms;
  size_t EntryCount() const;
};

// Parses the bytes of a languages file; `fileName` names it in errors.
TLanFile ParseLanFile(std::span<const uint8_t> bytes, const std::string& fileName);
// Reads and parses a regular file of at most kMaxLanFile bytes.
TLanFile ReadLanFile(const std::string& fileName);

// The form a section belongs to: the section's name without its first character, or,
// when the name holds "Quintrel", the characters from the second up to that word.
std::string LanFormName(std::string_view section);

}  // namespace quintrel::tools
