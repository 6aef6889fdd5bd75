// The system's locale definitions, read as the source files they are.
//
// A Windows program gets its regional settings (day and month names, date and time
// formats, separators, currency) from the system. Here the system's own data are the
// POSIX locale definition sources (Debian package `locales`: /usr/share/i18n/locales/de_DE
// and so on), read directly rather than through setlocale, so that every locale the
// system describes can be asked for, installed as a C library locale or not.
//
// The format. A file may begin by declaring its comment and escape characters
// (`comment_char %`, `escape_char /`; otherwise # and \). Categories run from a line
// `LC_TIME` to `END LC_TIME`; each of their lines is a keyword followed by values
// separated by `;`. A value is a string in "..." or a bare word (a number). Inside strings
// `<U20AC>` names a character by its code point and the escape character takes the next
// character literally (`//` is a slash, `/"` a quote). A comment character outside a
// string ends the line; an escape character at the end of a line continues it on the
// next. `copy "fr_FR"` as a category's line takes that category of another definition in
// the same folder; the keywords of the category itself are laid over it.
//
// Only the categories asked for are read; the others (character classes, collation) are
// passed over up to their END line without being interpreted. Definitions are outside
// data: every file must be a regular file within a size bound, every line, string, value
// list and chain of copies is bounded, a copy that leads back to a definition being read
// is refused, and every fault is one line naming the file and the line.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/sysutils.h"

namespace quintrel::win32 {

// Where the system keeps its locale definitions.
inline constexpr const char* kLocaleDirectory = "/usr/share/i18n/locales";

// Bounds on what a definition may hold.
inline constexpr size_t kMaxLocaleFileSize = 8 << 20;   // the largest system file is 4.5 MB
inline constexpr size_t kMaxLocaleLineLength = 4096;     // one physical line
inline constexpr size_t kMaxLocaleLogicalLine = 65536;   // a line with its continuations
inline constexpr size_t kMaxLocaleStringUnits = 1024;    // one string, in UTF-16 units
inline constexpr size_t kMaxLocaleValues = 256;          // values of one keyword
inline constexpr size_t kMaxLocaleKeywords = 1024;       // keywords of one category
inline constexpr int kMaxLocaleCopyDepth = 8;            // definitions one copy chain passes

// A definition that cannot be read; the message names the file and the line.
class ELocaleError : public rtl::Exception {
public:
  using rtl::Exception::Exception;
};

// One value of a keyword: a decoded string, or a bare word as written.
struct TLocaleValue {
  std::u16string Text;
  bool Quoted = false;
};

// The keywords of one category, with the values of copied definitions laid under them.
using TLocaleCategory = std::map<std::string, std::vector<TLocaleValue>, std::less<>>;

class TLocaleDefinition {
public:
  // The file the definition was read from.
  const std::string& FileName() const { return fileName_; }
  bool HasCategory(std::string_view category) const;
  // The values of a keyword; nullptr when the category or the keyword is not there.
  const std::vector<TLocaleValue>* Values(std::string_view category, std::string_view keyword) const;
  // The first value of a keyword, when there is one.
  std::optional<std::u16string> Text(std::string_view category, std::string_view keyword) const;
  // The first value as a whole number; nullopt when it is missing or not a number.
  std::optional<int> Number(std::string_view category, std::string_view keyword) const;

private:
  friend TLocaleDefinition ReadLocaleDefinition(const std::string&, const std::vector<std::string>&);
  std::string fileName_;
  std::map<std::string, TLocaleCategory, std::less<>> categories_;
};

// The categories the regional settings of a language come from.
const std::vector<std::string>& RegionalCategories();

// Reads the given categories of a definition file, following copy. A category the file
// does not define is simply absent. Raises ELocaleError.
TLocaleDefinition ReadLocaleDefinition(const std::string& fileName,
                                       const std::vector<std::string>& categories = RegionalCategories());

// The file of a locale: a name such as "de_DE", "de_DE.UTF-8" or "sr_RS@latin" (the code
// set is dropped, as the definitions are written for every code set) is looked up in
// `directory`; anything with a slash is taken as a path. Raises ELocaleError when the
// name is not a plain file name or there is no such definition.
std::string LocaleDefinitionPath(const std::string& nameOrPath, const std::string& directory = kLocaleDirectory);

}  // namespace quintrel::win32
