#include "platform/ide/project.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <utility>

#include "platform/rtl/filebytes.h"
#include "platform/vcl/filer.h"
#include "strings/hostconsts.h"

namespace quintrel::host {

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string_view s) {
  std::string r(s);
  for (auto& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return r;
}

bool SameText(std::string_view a, std::string_view b) { return Lower(a) == Lower(b); }

std::string Slashes(std::string_view path) {
  std::string r(path);
  std::replace(r.begin(), r.end(), '\\', '/');
  return r;
}

std::string LineBreakOf(const std::string& text) { return text.find("\r\n") != std::string::npos ? "\r\n" : "\n"; }

bool IsRegularFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

// The path relative to the project folder, spelt with backslashes as project sources
// spell them.
std::string ProjectRelative(const std::string& folder, const std::string& fileName) {
  std::string rel = fs::path(fileName).lexically_relative(folder).string();
  if (rel.empty()) rel = fileName;
  std::replace(rel.begin(), rel.end(), '/', '\\');
  return rel;
}

// --- C++Builder project sources -------------------------------------------------------

// The text with comments blanked out (line breaks kept), so that offsets and lines stay
// those of the original and commented-out macro lines do not count.
std::string BlankComments(const std::string& text) {
  std::string r = text;
  size_t i = 0, n = r.size();
  while (i < n) {
    char c = r[i];
    if (c == '/' && i + 1 < n && r[i + 1] == '/') {
      while (i < n && r[i] != '\n') r[i++] = ' ';
    } else if (c == '/' && i + 1 < n && r[i + 1] == '*') {
      r[i++] = ' ';
      r[i++] = ' ';
      while (i < n && !(r[i] == '*' && i + 1 < n && r[i + 1] == '/')) {
        if (r[i] != '\n' && r[i] != '\r') r[i] = ' ';
        ++i;
      }
      for (int k = 0; k < 2 && i < n; ++k) r[i++] = ' ';
    } else if (c == '"' || c == '\'') {
      ++i;
      while (i < n && r[i] != c && r[i] != '\n') i += r[i] == '\\' && i + 1 < n ? 2 : 1;
      if (i < n) ++i;
    } else {
      ++i;
    }
  }
  return r;
}

struct TCppLine {
  TProjectEntry Entry;
  size_t LineStart = 0;
  size_t LineEnd = 0;  // offset just past the line's break
};

// A cursor over one line of the blanked project source. The macro lines are matched by
// hand, left to right without going back, so that a line of any length costs its length.
class TLineCursor {
public:
  explicit TLineCursor(std::string_view line) : line_(line) {}
  // Passes blanks; false when there were none.
  bool Blanks() {
    size_t start = pos_;
    while (pos_ < line_.size() && std::isspace(static_cast<unsigned char>(line_[pos_]))) ++pos_;
    return pos_ > start;
  }
  bool Take(char c) {
    if (pos_ >= line_.size() || line_[pos_] != c) return false;
    ++pos_;
    return true;
  }
  // Characters while `accept` holds; the first one must also satisfy `first`.
  template <class First, class Accept>
  std::string_view Run(First first, Accept accept) {
    size_t start = pos_;
    if (pos_ < line_.size() && first(line_[pos_]))
      while (pos_ < line_.size() && accept(line_[pos_])) ++pos_;
    return line_.substr(start, pos_ - start);
  }
  // The text up to the next `c`, which is passed; nullopt when there is none.
  std::optional<std::string_view> Until(char c) {
    size_t end = line_.find(c, pos_);
    if (end == std::string_view::npos) return std::nullopt;
    std::string_view r = line_.substr(pos_, end - pos_);
    pos_ = end + 1;
    return r;
  }

private:
  std::string_view line_;
  size_t pos_ = 0;
};

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }

// A macro line: blanks, USExxx, '(', a quoted path, optionally ',' and a form name, ')'.
std::optional<TProjectEntry> MacroLine(std::string_view line) {
  TLineCursor at(line);
  at.Blanks();
  std::string_view macro = at.Run([](char c) { return c == 'U'; }, IsUpper);
  if (macro.size() < 4 || macro.substr(0, 3) != "USE") return std::nullopt;
  at.Blanks();
  if (!at.Take('(')) return std::nullopt;
  at.Blanks();
  if (!at.Take('"')) return std::nullopt;
  std::optional<std::string_view> path = at.Until('"');
  if (!path) return std::nullopt;
  at.Blanks();
  std::string_view form;
  if (at.Take(',')) {
    at.Blanks();
    form = at.Run(IsIdentStart, IsIdentChar);
    if (form.empty()) return std::nullopt;
    at.Blanks();
  }
  if (!at.Take(')')) return std::nullopt;
  TProjectEntry entry;
  entry.Macro = macro;
  entry.Path = *path;
  entry.FormName = form;
  return entry;
}

std::vector<TCppLine> ScanCppSource(const std::string& text, const std::string& folder) {
  std::string blank = BlankComments(text);
  std::vector<TCppLine> lines;
  size_t pos = 0;
  while (pos < blank.size()) {
    size_t eol = blank.find('\n', pos);
    size_t next = eol == std::string::npos ? blank.size() : eol + 1;
    std::optional<TProjectEntry> entry = MacroLine(std::string_view(blank).substr(pos, next - pos));
    // Packages are libraries the project links, not files of the project.
    if (entry && entry->Macro != "USEPACKAGE") {
      TCppLine l;
      l.Entry = std::move(*entry);
      l.Entry.FileName = ResolvePath(folder, l.Entry.Path);
      l.LineStart = pos;
      l.LineEnd = next;
      lines.push_back(std::move(l));
    }
    pos = next;
  }
  return lines;
}

std::string MacroFor(const std::string& fileName, const std::string& formName) {
  if (!formName.empty()) return "USEFORM";
  std::string ext = ExtensionOf(fileName);
  if (ext == ".cpp" || ext == ".c" || ext == ".pas" || ext == ".asm") return "USEUNIT";
  if (ext == ".rc") return "USERC";
  if (ext == ".res") return "USERES";
  if (ext == ".obj") return "USEOBJ";
  if (ext == ".lib") return "USELIB";
  if (ext == ".def") return "USEDEF";
  return "USEFILE";
}

// The OBJFILES statement of a C++Builder project file (a make file whose statements
// continue over lines ending in a backslash): from its first line to the end of its last
// line's text (before trailing blanks and the line break); nullopt when it has none.
std::optional<std::pair<size_t, size_t>> ObjFilesStatement(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    size_t next = eol == std::string_view::npos ? text.size() : eol + 1;
    std::string_view line = text.substr(pos, next - pos);
    size_t first = line.find_first_not_of(" \t");
    if (first != std::string_view::npos && line.substr(first, 8) == "OBJFILES" &&
        line.find('=', first) != std::string_view::npos) {
      for (size_t last = pos;;) {
        size_t e = text.find('\n', last);
        size_t end = e == std::string_view::npos ? text.size() : e;
        std::string_view body = text.substr(last, end - last);
        while (!body.empty() && (body.back() == '\r' || body.back() == ' ' || body.back() == '\t'))
          body.remove_suffix(1);
        if (body.empty() || body.back() != '\\' || e == std::string_view::npos)
          return std::pair{pos, last + body.size()};
        last = e + 1;
      }
    }
    pos = next;
  }
  return std::nullopt;
}

// The project file's text with the unit's object file added to its OBJFILES statement;
// nullopt when it has none.
std::optional<std::string> WithObjectFile(std::string text, const std::string& objectName) {
  const auto statement = ObjFilesStatement(text);
  if (!statement) return std::nullopt;
  text.insert(statement->second, " " + objectName);
  return text;
}

// The project file's text without the object file in its OBJFILES statement; nullopt when
// the statement does not name it.
std::optional<std::string> WithoutObjectFile(std::string text, const std::string& objectName) {
  const auto statement = ObjFilesStatement(text);
  if (!statement) return std::nullopt;
  const auto [start, end] = *statement;
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\\' || c == '\r' || c == '\n' || c == '='; };
  for (size_t at = text.find(objectName, start); at != std::string::npos && at + objectName.size() <= end;
       at = text.find(objectName, at + 1)) {
    const size_t after = at + objectName.size();
    if (at == 0 || !blank(text[at - 1]) || (after < text.size() && !blank(text[after]))) continue;
    const size_t from = text[at - 1] == ' ' || text[at - 1] == '\t' ? at - 1 : at;
    text.erase(from, after - from);
    return text;
  }
  return std::nullopt;
}

// --- Delphi project sources -------------------------------------------------------------

enum class TTok { Ident, String, Comment, Symbol, End };

struct TToken {
  TTok Kind = TTok::End;
  std::string Text;  // identifier, string value, comment body or the symbol
  size_t Offset = 0;
  int Line = 1;
};

class TPascalScanner {
public:
  explicit TPascalScanner(const std::string& text) : text_(text) {}

  TToken Next() {
    for (;;) {
      while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) Advance();
      TToken t;
      t.Offset = pos_;
      t.Line = line_;
      if (pos_ >= text_.size()) return t;
      char c = text_[pos_];
      if (c == '/' && Peek(1) == '/') {
        while (pos_ < text_.size() && text_[pos_] != '\n') Advance();
        continue;
      }
      if (c == '{' || (c == '(' && Peek(1) == '*')) {
        bool brace = c == '{';
        Advance();
        if (!brace) Advance();
        size_t start = pos_;
        while (pos_ < text_.size() && !(brace ? text_[pos_] == '}' : (text_[pos_] == '*' && Peek(1) == ')')))
          Advance();
        t.Kind = TTok::Comment;
        t.Text = text_.substr(start, pos_ - start);
        if (pos_ < text_.size()) {
          Advance();
          if (!brace) Advance();
        }
        return t;
      }
      if (c == '\'') {
        t.Kind = TTok::String;
        Advance();
        for (;;) {
          if (pos_ >= text_.size() || text_[pos_] == '\n') return t;  // unterminated: what there is
          if (text_[pos_] == '\'') {
            Advance();
            if (pos_ < text_.size() && text_[pos_] == '\'') {
              t.Text += '\'';
              Advance();
              continue;
            }
            return t;
          }
          t.Text += text_[pos_];
          Advance();
        }
      }
      if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
        t.Kind = TTok::Ident;
        while (pos_ < text_.size() &&
               (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_' || text_[pos_] == '.'))
          t.Text += text_[pos_], Advance();
        return t;
      }
      t.Kind = TTok::Symbol;
      t.Text = std::string(1, c);
      Advance();
      return t;
    }
  }

private:
  char Peek(size_t ahead) const { return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0'; }
  void Advance() {
    if (text_[pos_] == '\n') ++line_;
    ++pos_;
  }
  const std::string& text_;
  size_t pos_ = 0;
  int line_ = 1;
};

// Where one unit of the clause stands: from its name to the ',' or ';' after it.
struct TUsesItem {
  size_t Start = 0;
  size_t End = 0;
  int Entry = -1;  // its index in Entries; -1 for a unit named without a path
};

struct TUsesClause {
  bool Present = false;
  size_t HeaderEnd = 0;  // past the ';' of "program X;", where a missing clause goes
  size_t Keyword = 0;    // offset of "uses"
  size_t End = 0;        // offset of the clause's closing ';'
  std::vector<TProjectEntry> Entries;
  std::vector<TUsesItem> Items;
};

std::string FormNameOfComment(const std::string& comment) {
  if (!comment.empty() && comment[0] == '$') return {};  // a compiler directive
  std::string name = comment.substr(0, comment.find(':'));
  name.erase(0, name.find_first_not_of(" \t"));
  name.erase(name.find_last_not_of(" \t") + 1);
  bool ident = !name.empty() && (std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_') &&
               std::all_of(name.begin(), name.end(),
                           [](char ch) { return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_'; });
  return ident ? name : std::string();
}

TUsesClause ScanDprSource(const std::string& text, const std::string& folder, const std::string& fileName) {
  TUsesClause clause;
  TPascalScanner scanner(text);
  TToken t = scanner.Next();
  // The heading: program (or library) Name; — the clause follows it.
  while (t.Kind == TTok::Comment) t = scanner.Next();
  if (t.Kind == TTok::Ident && (SameText(t.Text, "program") || SameText(t.Text, "library"))) {
    while (t.Kind != TTok::End && !(t.Kind == TTok::Symbol && t.Text == ";")) t = scanner.Next();
    clause.HeaderEnd = t.Kind == TTok::End ? text.size() : t.Offset + 1;
    t = scanner.Next();
  }
  while (t.Kind == TTok::Comment) t = scanner.Next();
  if (t.Kind != TTok::Ident || !SameText(t.Text, "uses")) return clause;
  clause.Present = true;
  clause.Keyword = t.Offset;
  auto fail = [&](const TToken& at) {
    throw EProjectError(rtl::Format(strings::_SBadUsesClause, fileName, at.Line,
                                    at.Kind == TTok::End ? std::string("end of file") : at.Text));
  };
  for (;;) {
    t = scanner.Next();
    while (t.Kind == TTok::Comment) t = scanner.Next();
    if (t.Kind != TTok::Ident) fail(t);
    TUsesItem item;
    item.Start = t.Offset;
    TProjectEntry entry;
    entry.Macro = "uses";
    t = scanner.Next();
    bool named = false;
    if (t.Kind == TTok::Ident && SameText(t.Text, "in")) {
      t = scanner.Next();
      if (t.Kind != TTok::String) fail(t);
      entry.Path = t.Text;
      entry.FileName = ResolvePath(folder, entry.Path);
      named = true;
      t = scanner.Next();
    }
    while (t.Kind == TTok::Comment) {
      if (named && entry.FormName.empty()) entry.FormName = FormNameOfComment(t.Text);
      t = scanner.Next();
    }
    if (named) {
      item.Entry = static_cast<int>(clause.Entries.size());
      clause.Entries.push_back(std::move(entry));
    }
    item.End = t.Offset;
    clause.Items.push_back(item);
    if (t.Kind == TTok::Symbol && t.Text == ",") continue;
    if (t.Kind == TTok::Symbol && t.Text == ";") {
      clause.End = t.Offset;
      return clause;
    }
    fail(t);
  }
}

std::string UnitNameOf(const std::string& fileName) { return fs::path(fileName).stem().string(); }

std::vector<fs::path> FolderFiles(const fs::path& folder, std::initializer_list<const char*> extensions) {
  std::vector<fs::path> found;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) {
    if (!e.is_regular_file(ec)) continue;
    std::string ext = ExtensionOf(e.path().filename().string());
    for (const char* x : extensions)
      if (ext == x) found.push_back(e.path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

// A C++Builder project source: a WinMain and at least one macro line naming a file.
bool LooksLikeCppProjectSource(const fs::path& file) {
  std::string text;
  try {
    text = ReadFileBytes(file.string());
  } catch (const EProjectError&) {
    return false;
  }
  return text.find("WinMain") != std::string::npos && !ScanCppSource(text, file.parent_path().string()).empty();
}

}  // namespace

// --- paths ---------------------------------------------------------------------------------

std::string FullPath(std::string_view path) {
  std::error_code ec;
  fs::path p = fs::absolute(fs::path(std::string(path)), ec).lexically_normal();
  std::string s = p.string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

std::string ExtensionOf(std::string_view fileName) {
  return Lower(fs::path(std::string(fileName)).extension().string());
}

std::string ResolvePath(const std::string& folder, std::string_view path) {
  fs::path p(Slashes(path));
  std::string full = FullPath(p.is_absolute() ? p.string() : (fs::path(folder) / p).string());
  std::error_code ec;
  // A path longer than the system opens names nothing, however its parts match.
  if (full.size() >= PATH_MAX || fs::exists(full, ec)) return full;
  // Walk down from the root, matching each missing part case-insensitively.
  fs::path walked = "/";
  for (const auto& part : fs::path(full).relative_path()) {
    fs::path exact = walked / part;
    if (fs::exists(exact, ec)) {
      walked = exact;
      continue;
    }
    bool matched = false;
    for (const auto& e : fs::directory_iterator(walked, ec)) {
      if (SameText(e.path().filename().string(), part.string())) {
        walked = e.path();
        matched = true;
        break;
      }
    }
    if (!matched) return full;
  }
  return walked.string();
}

std::string CompanionFile(const std::string& fileName, std::string_view extension) {
  fs::path p(fileName);
  p.replace_extension(std::string(extension));
  std::string resolved = ResolvePath(p.parent_path().string(), p.filename().string());
  return IsRegularFile(resolved) ? resolved : std::string();
}

std::string ReadFileBytes(const std::string& fileName) {
  rtl::TFileBytes file = rtl::ReadRegularFile(fileName, kMaxSourceFileSize);
  if (!file) throw EProjectError(rtl::Format(strings::_SCannotRead, fileName, file.Reason()));
  return std::move(file.Data);
}

void WriteFileAtomic(const std::string& fileName, std::string_view data) {
  std::string temp = fileName + ".~tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) throw EProjectError(rtl::Format(strings::_SCannotWrite, fileName, std::strerror(errno)));
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.flush();
    if (!out) {
      int err = errno;
      out.close();
      std::remove(temp.c_str());
      throw EProjectError(rtl::Format(strings::_SCannotWrite, fileName, std::strerror(err)));
    }
  }
  std::error_code ec;
  fs::rename(temp, fileName, ec);
  if (ec) {
    std::remove(temp.c_str());
    throw EProjectError(rtl::Format(strings::_SCannotWrite, fileName, ec.message()));
  }
}

// --- the project ------------------------------------------------------------------------------

std::string TProject::Locate(const std::string& path) {
  std::error_code ec;
  std::string full = FullPath(path);
  if (fs::is_directory(full, ec)) {
    std::vector<fs::path> found = FolderFiles(full, {".bpr", ".dpr"});
    if (found.empty()) found = FolderFiles(full, {".mak"});
    if (found.empty()) {
      for (const auto& cpp : FolderFiles(full, {".cpp"}))
        if (LooksLikeCppProjectSource(cpp)) found.push_back(cpp);
    }
    if (found.empty()) throw EProjectError(rtl::Format(strings::_SNoProjectInFolder, full));
    if (found.size() > 1) {
      std::string names;
      for (const auto& f : found) names += (names.empty() ? "" : ", ") + f.filename().string();
      throw EProjectError(rtl::Format(strings::_SSeveralProjects, full, names));
    }
    full = found[0].string();
  }
  if (!IsRegularFile(full)) throw EProjectError(rtl::Format(strings::_SProjectNotFound, path));
  std::string ext = ExtensionOf(full);
  if (ext == ".cpp") {
    // The project file beside its source stands for the project.
    for (const char* x : {".bpr", ".mak"})
      if (std::string file = CompanionFile(full, x); !file.empty()) return file;
    return full;
  }
  if (ext != ".bpr" && ext != ".mak" && ext != ".dpr") throw EProjectError(rtl::Format(strings::_SNotAProject, full));
  return full;
}

TProject TProject::Open(const std::string& path) {
  TProject project;
  project.projectFile_ = Locate(path);
  std::string ext = ExtensionOf(project.projectFile_);
  if (ext == ".dpr") {
    project.kind_ = TProjectKind::pkDelphi;
    project.projectSource_ = project.projectFile_;
  } else {
    project.kind_ = TProjectKind::pkCppBuilder;
    project.projectSource_ = ext == ".cpp" ? project.projectFile_ : CompanionFile(project.projectFile_, ".cpp");
    if (project.projectSource_.empty()) {
      fs::path expected(project.projectFile_);
      expected.replace_extension(".cpp");
      throw EProjectError(
          rtl::Format(strings::_SProjectSourceMissing, project.projectFile_, expected.filename().string()));
    }
  }
  project.Parse(ReadFileBytes(project.projectSource_));
  return project;
}

std::string TProject::Folder() const { return fs::path(projectFile_).parent_path().string(); }

void TProject::Parse(const std::string& sourceText) {
  entries_.clear();
  if (kind_ == TProjectKind::pkDelphi) {
    entries_ = ScanDprSource(sourceText, Folder(), projectSource_).Entries;
    return;
  }
  for (auto& line : ScanCppSource(sourceText, Folder())) entries_.push_back(std::move(line.Entry));
}

std::vector<std::string> TProject::UnitNames() const {
  std::vector<std::string> names{projectFile_};
  if (projectSource_ != projectFile_) names.push_back(projectSource_);
  for (const auto& e : entries_) names.push_back(e.FileName);
  return names;
}

std::vector<std::string> TProject::FormNames() const {
  std::vector<std::string> names;
  for (const auto& e : entries_)
    if (!e.FormName.empty()) names.push_back(e.FormName);
  return names;
}

const TProjectEntry* TProject::FindEntry(std::string_view fileName) const {
  for (const auto& e : entries_)
    if (e.FileName == fileName) return &e;
  return nullptr;
}

bool TProject::IsUnit(std::string_view fileName) const {
  return fileName == projectFile_ || fileName == projectSource_ || FindEntry(fileName);
}

TProjectEdit TProject::PlanAddUnit(const std::string& fileName, const std::string& formName,
                                   const std::string& sourceText, const std::string& projectFileText) const {
  std::string full = FullPath(fileName);
  if (IsUnit(full)) throw EProjectError(rtl::Format(strings::_SUnitInProject, projectSource_, full));
  std::string lb = LineBreakOf(sourceText);
  std::string rel = ProjectRelative(Folder(), full);
  TProjectEdit edit;
  std::string& text = edit.Source;
  text = sourceText;
  if (kind_ == TProjectKind::pkDelphi) {
    TUsesClause clause = ScanDprSource(text, Folder(), projectSource_);
    std::string entry = UnitNameOf(full) + " in '" + rel + "'" + (formName.empty() ? "" : " {" + formName + "}");
    if (clause.Present)
      text.insert(clause.End, "," + lb + "  " + entry);
    else if (clause.HeaderEnd > 0)
      text.insert(clause.HeaderEnd, lb + lb + "uses" + lb + "  " + entry + ";");
    else
      throw EProjectError(rtl::Format(strings::_SNoUsesClause, projectSource_));
  } else {
    std::vector<TCppLine> lines = ScanCppSource(text, Folder());
    std::string line = MacroFor(full, formName) + "(\"" + rel + "\"" + (formName.empty() ? "" : ", " + formName) + ");";
    // After the last macro line; without one, before the line that declares WinMain.
    size_t at = text.size();
    if (!lines.empty()) {
      at = lines.back().LineEnd;
    } else if (size_t win = text.find("WinMain"); win != std::string::npos) {
      size_t nl = text.rfind('\n', win);
      at = nl == std::string::npos ? 0 : nl + 1;
    }
    if (at == text.size() && !text.empty() && text.back() != '\n') {
      text += lb;
      at = text.size();
    }
    text.insert(at, line + lb);
  }
  if (kind_ == TProjectKind::pkCppBuilder && projectFile_ != projectSource_) {
    std::string ext = ExtensionOf(full);
    if (ext == ".cpp" || ext == ".c" || ext == ".pas" || ext == ".asm")
      edit.ProjectFile = WithObjectFile(projectFileText, rel.substr(0, rel.size() - ext.size()) + ".obj");
  }
  return edit;
}

std::optional<TProjectEdit> TProject::PlanRemoveUnit(const std::string& fileName, const std::string& sourceText,
                                                    const std::string& projectFileText) const {
  const std::string full = FullPath(fileName);
  const auto same = [&](const TProjectEntry& e) { return FullPath(e.FileName) == full; };
  TProjectEdit edit;
  std::string& text = edit.Source;
  text = sourceText;
  if (kind_ == TProjectKind::pkDelphi) {
    const TUsesClause clause = ScanDprSource(text, Folder(), projectSource_);
    const auto item = std::find_if(clause.Items.begin(), clause.Items.end(), [&](const TUsesItem& i) {
      return i.Entry >= 0 && same(clause.Entries[static_cast<size_t>(i.Entry)]);
    });
    if (item == clause.Items.end()) return std::nullopt;
    if (clause.Items.size() == 1) {
      // The clause goes with its only unit, and the blank lines that led to it.
      size_t from = clause.Keyword;
      while (from > clause.HeaderEnd && std::isspace(static_cast<unsigned char>(text[from - 1]))) --from;
      text.erase(from, clause.End + 1 - from);
    } else if (std::next(item) != clause.Items.end()) {
      // "Name in '...' {Form},<blanks>": comments before the next unit stay.
      size_t to = item->End + 1;
      while (to < text.size() && std::isspace(static_cast<unsigned char>(text[to]))) ++to;
      text.erase(item->Start, to - item->Start);
    } else {
      // ",<blanks>Name in '...'" before the ';', as adding a unit writes it.
      size_t from = item->Start;
      while (from > std::prev(item)->End + 1 && std::isspace(static_cast<unsigned char>(text[from - 1]))) --from;
      text.erase(from, item->End - from);
      text.erase(std::prev(item)->End, 1);
    }
  } else {
    const std::vector<TCppLine> lines = ScanCppSource(text, Folder());
    const auto line = std::find_if(lines.begin(), lines.end(), [&](const TCppLine& l) { return same(l.Entry); });
    if (line == lines.end()) return std::nullopt;
    text.erase(line->LineStart, line->LineEnd - line->LineStart);
  }
  if (kind_ == TProjectKind::pkCppBuilder && projectFile_ != projectSource_) {
    const std::string rel = ProjectRelative(Folder(), full);
    const std::string ext = ExtensionOf(full);
    if (ext == ".cpp" || ext == ".c" || ext == ".pas" || ext == ".asm")
      edit.ProjectFile = WithoutObjectFile(projectFileText, rel.substr(0, rel.size() - ext.size()) + ".obj");
  }
  return edit;
}

std::string TProject::AddUnit(const std::string& fileName, const std::string& formName,
                              const std::string& sourceText) {
  const bool separateFile = kind_ == TProjectKind::pkCppBuilder && projectFile_ != projectSource_;
  TProjectEdit edit = PlanAddUnit(fileName, formName, sourceText, separateFile ? ReadFileBytes(projectFile_) : "");
  WriteFileAtomic(projectSource_, edit.Source);
  if (edit.ProjectFile) WriteFileAtomic(projectFile_, *edit.ProjectFile);
  Parse(edit.Source);
  return edit.Source;
}

// --- form heads -------------------------------------------------------------------------------

TFormHead ReadFormHead(const std::string& fileName) {
  std::string data = ReadFileBytes(fileName);
  TFormHead head;
  auto fail = [&] { throw EProjectError(rtl::Format(strings::_SFormUnreadable, fileName, "no form head")); };
  if (vcl::LooksLikeBinaryForm(data)) {
    head.Binary = true;
    size_t pos = 0;
    auto need = [&](size_t n) {
      if (pos + n > data.size()) fail();
    };
    if (data.size() >= 3 && static_cast<uint8_t>(data[0]) == 0xFF && data[1] == 0x0A && data[2] == 0x00) {
      pos = 3;
      need(1);
      if (static_cast<uint8_t>(data[pos]) == 0xFF) {
        pos += 3;
      } else {
        size_t zero = data.find('\0', pos);
        if (zero == std::string::npos) fail();
        pos = zero + 1;
      }
      pos += 6;  // memory flags and data size
    }
    need(4);
    if (data.compare(pos, 4, "TPF0") != 0) fail();
    pos += 4;
    need(1);
    // The root's flag byte (inherited, child position, inline) is 0xF0-0xF7; any other
    // byte is already the length of the class name.
    uint8_t prefix = static_cast<uint8_t>(data[pos]);
    if ((prefix & 0xF8) == 0xF0) {
      ++pos;
      if (prefix & vcl::ffChildPos) {
        need(1);
        uint8_t type = static_cast<uint8_t>(data[pos++]);
        size_t width = type == vcl::vaInt8 ? 1 : type == vcl::vaInt16 ? 2 : type == vcl::vaInt32 ? 4 : 0;
        if (!width) fail();
        pos += width;
      }
    }
    auto shortString = [&] {
      need(1);
      size_t len = static_cast<uint8_t>(data[pos++]);
      need(len);
      std::string s = data.substr(pos, len);
      pos += len;
      return s;
    };
    head.ClassName = shortString();
    head.Name = shortString();
    if (head.ClassName.empty()) fail();
    return head;
  }
  // Text: [blanks] object|inherited|inline [Name :] ClassName on the first line.
  size_t pos = data.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  size_t eol = data.find('\n', pos);
  TLineCursor at(std::string_view(data).substr(pos, eol == std::string::npos ? std::string::npos : eol - pos));
  at.Blanks();
  std::string keyword = Lower(at.Run(IsIdentStart, IsIdentChar));
  if (keyword != "object" && keyword != "inherited" && keyword != "inline") fail();
  const auto isNameChar = [](char c) { return IsIdentChar(c) || c == '.'; };
  if (!at.Blanks()) fail();
  std::string_view first = at.Run(IsIdentStart, isNameChar);
  if (first.empty()) fail();
  at.Blanks();
  if (first.find('.') == std::string_view::npos && at.Take(':')) {
    at.Blanks();
    std::string_view cls = at.Run(IsIdentStart, isNameChar);
    if (cls.empty()) fail();
    head.Name = first;
    head.ClassName = cls;
  } else {
    head.ClassName = first;
  }
  return head;
}

}  // namespace quintrel::host
