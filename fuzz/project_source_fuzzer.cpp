// libFuzzer target: the project-source readers (a C++Builder project source's macro lines,
// a Delphi project's uses clause) and the form-head reader on arbitrary bytes. They may
// refuse with a line naming the file, never anything else, and every entry they report
// names a file.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/ide/project.h"

using namespace quintrel::host;

namespace {

std::unique_ptr<TProject> cppProject, delphiProject;
std::filesystem::path folder;
std::string formFile;

void Check(TProject& project, const std::string& text) {
  try {
    project.Parse(text);
  } catch (const EProjectError& e) {
    if (e.Message().rfind(project.ProjectSource() + ":", 0) != 0) std::abort();
    return;
  }
  for (const TProjectEntry& entry : project.Entries())
    if (entry.FileName.empty() || entry.FileName.front() != '/') std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("quintrel-project-fuzz-" + std::to_string(getpid()));
  fs::create_directories(dir);
  folder = dir;
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  });
  std::ofstream(dir / "App.bpr") << "OBJFILES = App.obj\r\n";
  std::ofstream(dir / "App.cpp") << "USEFORM(\"Main.cpp\", MainForm);\r\n";
  std::ofstream(dir / "Prog.dpr") << "program Prog;\r\nuses\r\n  Main in 'Main.pas' {MainForm};\r\nbegin\r\nend.\r\n";
  formFile = (dir / "Form.dfm").string();
  cppProject = std::make_unique<TProject>(TProject::Open((dir / "App.bpr").string()));
  delphiProject = std::make_unique<TProject>(TProject::Open((dir / "Prog.dpr").string()));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  Check(*cppProject, text);
  Check(*delphiProject, text);
  std::ofstream(formFile, std::ios::binary | std::ios::trunc) << text;
  try {
    const TFormHead head = ReadFormHead(formFile);
    if (head.ClassName.empty()) std::abort();
  } catch (const EProjectError& e) {
    if (e.Message().rfind(formFile + ":", 0) != 0) std::abort();
  }
  return 0;
}
