#include "tools/liveforms.h"

#include <filesystem>

#include "platform/rtl/sysutils.h"
#include "platform/vcl/charsets.h"
#include "platform/vcl/forms.h"
#include "platform/vcl/graphics.h"
#include "platform/vcl/textutil.h"
#include "platform/vcl/typinfo.h"
#include "strings/hostconsts.h"
#include "tools/toolsession.h"

namespace quintrel::tools {

namespace {

// The first specific font charset of the form (its own, else its components' in stream
// order); 0 when every font uses the default or ANSI charset. Form nesting is bounded by
// the reader, so the walk is too.
int SpecificCharset(const vcl::TStreamObject& object) {
  if (const vcl::TStreamProperty* charset = object.FindProperty("Font.Charset")) {
    int64_t value = -1;
    if (charset->Value.IsInteger()) value = charset->Value.Int;
    if (charset->Value.Type == vcl::vaIdent) vcl::IdentToInt(vcl::FontCharsetType(), charset->Value.Bytes, value);
    if (value > 1 && value <= 255) return static_cast<int>(value);
  }
  for (const auto& child : object.Children)
    if (int charset = SpecificCharset(child)) return charset;
  return 0;
}

std::string AbsolutePath(const std::string& path) {
  return std::filesystem::absolute(path).lexically_normal().string();
}

}  // namespace

int FormCodePage(const vcl::TStreamObject& root, int requested) {
  if (requested > 0) return requested;
  const int charset = SpecificCharset(root);
  return charset ? vcl::CharsetToCodePage(static_cast<uint8_t>(charset)) : kDefaultFormCodePage;
}

std::vector<TFormFile> ReadFormFiles(const host::TProject& project) {
  std::vector<TFormFile> files;
  for (const host::TProjectEntry& entry : project.Entries()) {
    if (entry.FormName.empty()) continue;
    const std::string dfm = host::CompanionFile(entry.FileName, ".dfm");
    if (dfm.empty()) throw EToolError(rtl::Format(strings::_SFormFileMissing, entry.FileName, entry.FormName));
    try {
      files.push_back({AbsolutePath(dfm), vcl::LoadFormFile(dfm)});
    } catch (const rtl::Exception& e) {
      throw EToolError(dfm + ": " + e.Message());
    }
  }
  return files;
}

std::vector<TLiveForm> CreateForms(const std::vector<TFormFile>& files, int codePage) {
  const vcl::TFrameFormFinder frames = [&files](std::string_view className) -> const vcl::TFormStream* {
    for (const TFormFile& file : files)
      if (vcl::SameText(file.Stream.Root.ClassName, className)) return &file.Stream;
    return nullptr;
  };
  std::vector<TLiveForm> forms;
  for (const TFormFile& file : files) {
    vcl::TReadOptions options;
    options.Context.Codec = vcl::CodecForCodePage(FormCodePage(file.Stream.Root, codePage));
    options.FrameForms = frames;
    TLiveForm live{file.FileName, &file.Stream, nullptr};
    try {
      live.Root = vcl::ReadComponent(file.Stream, options);
    } catch (const rtl::Exception& e) {
      throw EToolError(file.FileName + ": " + e.Message());
    }
    if (dynamic_cast<vcl::TCustomFrame*>(live.Root.get())) continue;
    forms.push_back(std::move(live));
  }
  return forms;
}

}  // namespace quintrel::tools
