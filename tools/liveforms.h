// A project's forms made into live objects the way its application creates them, for the
// tools that show forms as the user sees them (the preview command, the editor's form
// pictures).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ide/project.h"
#include "platform/vcl/classes.h"
#include "platform/vcl/filer.h"
#include "platform/vcl/streaming.h"

namespace quintrel::tools {

// The code page a form's 8-bit texts are read in: the one asked for (> 0), else that of
// the form's first specific font charset (the charset it was designed in), else 1252. Form
// files carry no code page of their own; every tool that shows a form's texts decides
// the same way.
inline constexpr int kDefaultFormCodePage = 1252;
int FormCodePage(const vcl::TStreamObject& root, int requested = 0);

// A form file of the project; the class of its root names the frame when it is one.
struct TFormFile {
  std::string FileName;  // absolute
  vcl::TFormStream Stream;
};

// The project's form files in project order, read but not yet made into objects: a form
// that embeds a frame needs the frame's own form first. Raises EToolError naming the
// file that is missing or cannot be read.
std::vector<TFormFile> ReadFormFiles(const host::TProject& project);

// A form or data module of the project as the application creates it, with the stream
// it came from so that it can be written back in the same layout.
struct TLiveForm {
  std::string FileName;
  const vcl::TFormStream* Stream = nullptr;
  std::unique_ptr<vcl::TComponent> Root;
};

// The forms and data modules the application creates from those files (which must
// outlive them), texts read in FormCodePage(root, codePage). Frames are not created on
// their own: each shows inside the forms that embed it, built from its own form file and
// what the embedding form changes. Raises EToolError naming the file that fails.
std::vector<TLiveForm> CreateForms(const std::vector<TFormFile>& files, int codePage = 0);

}  // namespace quintrel::tools
