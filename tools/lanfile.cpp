#include "tools/lanfile.h"

#include "platform/rtl/filebytes.h"
#include "strings/toolconsts.h"

namespace quintrel::tools {

size_t TLanFile::EntryCount() const {
  size_t n = 0;
  for (const TLanSection& s : Forms) n += s.Entries.size();
  return n;
}

std::string LanFormName(std::string_view section) {
  const size_t word = section.find("Quintrel");
  if (word != std::string_view::npos) return std::string(section.substr(1, word > 0 ? word - 1 : 0));
  return std::string(section.empty() ? section : section.substr(1));
}

namespace {

// A cursor over the file's bytes that reads up to a limit (the end of the current
// section) and names the file and offset of whatever goes wrong.
class TLanReader {
public:
  TLanReader(std::span<const uint8_t> bytes, const std::string& fileName) : bytes_(bytes), fileName_(fileName) {}

  size_t Position() const { return pos_; }
  size_t Size() const { return bytes_.size(); }
  bool AtEnd() const { return pos_ >= limit_; }
  void Seek(size_t pos, size_t limit) {
    pos_ = pos;
    limit_ = limit;
  }

  [[noreturn]] void Fail(const std::string& what) const { Fail(pos_, what); }
  [[noreturn]] void Fail(size_t at, const std::string& what) const {
    throw ELanFile(rtl::Format(strings::_SLanBad, fileName_, static_cast<int64_t>(at), what));
  }

  int16_t Short(const char* what) {
    const uint8_t* p = Take(2, what);
    return static_cast<int16_t>(p[0] | (p[1] << 8));
  }
  int32_t Long(const char* what) {
    const uint8_t* p = Take(4, what);
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
  }
  std::string String(const char* what) {
    const size_t at = pos_;
    int64_t length = *Take(1, what);
    if (length == 255) {
      length = Long(what);
      if (length < 0 || pos_ > limit_ || static_cast<uint64_t>(length) > limit_ - pos_)
        Fail(at, rtl::Format(strings::_SLanBadLength, length));
    }
    const uint8_t* p = Take(static_cast<size_t>(length), what);
    return std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(length));
  }
  void Skip(size_t n, const char* what) { Take(n, what); }

private:
  const uint8_t* Take(size_t n, const char* what) {
    if (pos_ > limit_ || n > limit_ - pos_) {
      if (limit_ < bytes_.size()) Fail(rtl::Format(strings::_SLanPastSection, static_cast<int64_t>(limit_)));
      Fail(rtl::Format(strings::_SLanTruncated, std::string(what)));
    }
    const uint8_t* p = bytes_.data() + pos_;
    pos_ += n;
    return p;
  }

  std::span<const uint8_t> bytes_;
  const std::string& fileName_;
  size_t pos_ = 0;
  size_t limit_ = 0;
};

void ReadLanguages(TLanReader& r, TLanFile& file) {
  r.String("the number of languages");
  r.Short("the languages section");
  while (!r.AtEnd() && r.Short("a language entry") == 1) {
    TLanLanguage language;
    r.Short("a language entry");
    language.Id = static_cast<uint16_t>(r.Short("a language entry"));
    language.Name = r.String("a language's name");
    language.Flag = r.Short("a language entry");
    if (language.Flag > 0) r.Skip(kLanLanguageExtra, "a language entry");
    file.Languages.push_back(std::move(language));
  }
}

void ReadForm(TLanReader& r, TLanSection& section) {
  while (!r.AtEnd() && r.Short("an entry") == 1) {
    TLanEntry entry;
    r.Short("an entry");
    entry.Language = static_cast<uint16_t>(r.Short("an entry"));
    entry.Text = r.String("an entry's text");
    entry.Component = r.String("an entry's component");
    entry.Property = r.String("an entry's property");
    entry.Index = r.Short("an entry");
    section.Entries.push_back(std::move(entry));
  }
}

}  // namespace

TLanFile ParseLanFile(std::span<const uint8_t> bytes, const std::string& fileName) {
  TLanReader r(bytes, fileName);
  TLanFile file;
  const size_t size = bytes.size();
  r.Seek(0, size);
  if (size < 2 || r.Short("the first section") != 1) r.Fail(0, strings::_SLanNoSection);
  size_t start = 0;
  bool languages = false;
  for (;;) {
    // Positioned after the section's opening short.
    const int64_t next = r.Long("a section's head");
    // A section ends after its own head: a next position inside the head points backward
    // from where the reader stands.
    if (next <= static_cast<int64_t>(r.Position())) r.Fail(start, rtl::Format(strings::_SLanNextBackward, next));
    if (next > static_cast<int64_t>(size))
      r.Fail(start, rtl::Format(strings::_SLanNextOutside, next, static_cast<int64_t>(size)));
    r.Seek(r.Position(), static_cast<size_t>(next));
    std::string name = r.String("a section's name");
    if (name == kLanLanguagesSection) {
      if (languages) r.Fail(start, strings::_SLanTwoLanguageLists);
      languages = true;
      ReadLanguages(r, file);
    } else {
      TLanSection section;
      section.Name = std::move(name);
      ReadForm(r, section);
      file.Forms.push_back(std::move(section));
    }
    // The chain ends at the end of the file or at a short that opens no section.
    start = static_cast<size_t>(next);
    r.Seek(start, size);
    if (start == size || start + 2 > size || r.Short("a section") != 1) break;
  }
  return file;
}

TLanFile ReadLanFile(const std::string& fileName) {
  rtl::TFileBytes file = rtl::ReadRegularFile(fileName, kMaxLanFile);
  if (!file) throw ELanFile(rtl::Format(strings::_SLanCannotRead, fileName, file.Reason()));
  return ParseLanFile(std::span(reinterpret_cast<const uint8_t*>(file.Data.data()), file.Data.size()), fileName);
}

}  // namespace quintrel::tools
