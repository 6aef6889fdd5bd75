// What the module-layer fuzz targets share: the input opened as a module of the process's
// module list, one run at a time.
//
// A module is a file: the input goes into a memory file named as the target asks
// (fuzz/memory_file.h; the translator finds its module beside the executable by name).
// The per-user registry points at a file that does not exist, so no module of the machine
// is opened beside it and nothing is ever written there (the targets register nothing
// permanently).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/memory_file.h"
#include "module/zod.h"

namespace quintrel::fuzz {

class TModuleInput {
public:
  explicit TModuleInput(const std::string& name = "Fuzz.ZOD") : file_(name) {
    ::setenv("QUINTREL_CONFIG", "/nonexistent/quintrel-fuzz/registry.ini", 1);
  }
  TModuleInput(const TModuleInput&) = delete;
  TModuleInput& operator=(const TModuleInput&) = delete;

  // The path the module is registered under.
  const std::string& Path() const { return file_.Path(); }

  // Refills the file and resets the session's language.
  void Fill(const uint8_t* data, size_t size) {
    file_.Fill(data, size);
    module::GlobalZOD().SetCurrentLanguage(-1, 0);
  }

  // Fill(), then registers the file with GlobalZOD(): the module's index, kRefused when
  // the module layer refuses the file with an exception, or -1 when the file did not take
  // a place in the list at all, which the targets treat as a finding.
  static constexpr int kRefused = -2;
  int Open(const uint8_t* data, size_t size) {
    Fill(data, size);
    try {
      return module::GlobalZOD().RegisterModule(file_.Path(), false, "");
    } catch (const rtl::Exception&) {
      return kRefused;
    }
  }

  // Closes every module again, so that the next run starts from an empty list.
  static void CloseAll() {
    module::TZod& zod = module::GlobalZOD();
    while (zod.GetModuleCount() > 0) zod.UnRegisterModule(0, false);
    zod.SetCurrentLanguage(-1, 0);
  }

private:
  TMemoryFile file_;
};

[[noreturn]] inline void Finding(const std::string& what) {
  std::fprintf(stderr, "\n==FINDING== %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace quintrel::fuzz
