// Shared helpers of the design-time tools: languages between modules, property paths,
// font character sets, folders, file copy and trimming.
#include "tools/qutil.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "ide/toolintf.h"
#include "module/zod.h"
#include "platform/rtl/classes.h"
#include "platform/rtl/registry.h"
#include "platform/vcl/forms.h"
#include "platform/vcl/textutil.h"
#include "strings/toolconsts.h"

namespace quintrel::tools {

namespace fs = std::filesystem;

namespace {

std::string WithTrailingDelimiter(std::string path) {
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

// The entry of `folder` named `name`, spelled exactly or else differing only in ASCII
// case; empty when there is none.
fs::path FindEntry(const fs::path& folder, const std::string& name) {
  std::error_code ec;
  if (fs::exists(folder / name, ec)) return folder / name;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string entry = it->path().filename().string();
    if (vcl::SameText(entry, name)) return it->path();
  }
  return {};
}

// root followed by the parts, each found without regard to case; empty when one is
// missing.
std::string ResolvePath(const std::string& root, const std::vector<std::string>& parts) {
  fs::path path = root;
  for (const std::string& part : parts) {
    path = FindEntry(path, part);
    if (path.empty()) return {};
  }
  std::error_code ec;
  return fs::is_regular_file(path, ec) ? path.string() : std::string();
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

bool CopyLanguage(int source, int target, uint16_t id) {
  auto& zod = module::GlobalZOD();
  module::TZodLanguage language;
  language.Identifier = id;
  if (!zod.GetLanguage(source, language)) return false;
  return zod.SetLanguage(target, language);
}

void RemoveIndex(std::string& path) {
  size_t open = path.find('[');
  while (open != std::string::npos) {
    size_t close = path.find(']', open + 1);
    if (close == std::string::npos) return;
    path.replace(open + 1, close - open - 1, "*");
    open = path.find('[', open + 3);
  }
}

vcl::TFontCharset GetCharset(const vcl::TFont* font) { return font ? font->Charset() : vcl::DEFAULT_CHARSET; }

void SetCharset(vcl::TFont* font, vcl::TFontCharset charset) {
  if (font) font->SetCharset(charset);
}

std::string GetRootPath() {
  std::string root = rtl::TRegIniFile(kEnvironmentKey).ReadString("", kEnvironmentRootValue, "");
  if (root.empty()) root = rtl::TRegIniFile(kToolsKey).ReadString(kToolsSection, kToolsRootValue, "");
  return WithTrailingDelimiter(root);
}

std::string GetAppPath() {
  if (const ide::TIToolServices* services = ide::ToolServices()) {
    for (int i = 0; i < services->GetUnitCount(); ++i) {
      fs::path unit = services->GetUnitName(i);
      std::string ext = vcl::LowerCase(unit.extension().string());
      if (ext == ".dpr" || ext == ".bpr") return WithTrailingDelimiter(unit.parent_path().string());
    }
    return {};
  }
  return WithTrailingDelimiter(fs::path(vcl::Application().ExeName()).parent_path().string());
}

std::string GetSystemFile(std::string_view fileName) {
  std::string root = GetRootPath();
  if (root.empty() || fileName.empty()) return {};
  std::string name(fileName);
  for (const std::vector<std::string>& parts : {std::vector<std::string>{"SOURCE", "VCL", name},
                                                 std::vector<std::string>{"SOURCE", "RTL", "SYS", name},
                                                 std::vector<std::string>{"DOC", fs::path(name).replace_extension(".int").string()}}) {
    std::string found = ResolvePath(root, parts);
    if (!found.empty()) return found;
  }
  return {};
}

void CopyFile(const std::string& source, const std::string& target) {
  // Others may go on reading the source; nobody should change it half-way through a copy.
  std::unique_ptr<rtl::TFileStream> in;
  try {
    in = std::make_unique<rtl::TFileStream>(source, rtl::fmOpenRead | rtl::fmShareDenyWrite);
  } catch (const rtl::EStreamError&) {
    throw rtl::Exception(rtl::Format(strings::_SCopyCannotOpen, source));
  }
  // Creating the target empties it: a copy onto the source itself would lose the source.
  if (SameFile(source, target)) throw rtl::Exception(rtl::Format(strings::_SCopyOntoItself, source));
  std::unique_ptr<rtl::TFileStream> out;
  try {
    out = std::make_unique<rtl::TFileStream>(target, rtl::fmCreate);
  } catch (const rtl::EStreamError&) {
    throw rtl::Exception(rtl::Format(strings::_SCopyCannotCreate, target));
  }
  std::vector<char> block(kCopyBlockSize);
  for (;;) {
    size_t got = in->Read(block.data(), block.size());
    out->WriteBuffer(block.data(), got);
    if (got < block.size()) break;
  }
}

std::string Trim(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  size_t first = 0, last = text.size();
  while (first < last && blank(text[first])) ++first;
  while (last > first && blank(text[last - 1])) --last;
  return std::string(text.substr(first, last - first));
}

}  // namespace quintrel::tools
