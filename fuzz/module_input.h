// What the module-layer fuzz targets share: the input opened as a module of the process's
// module list, one run at a time.
//
// A module is a file: the input goes into one anonymous in-memory file for the session,
// refilled for every run, so nothing is left behind when a run crashes. A target that
// needs the module under a name of its own (the translator finds it beside the
// executable) gets a link of that name to the file in a folder of its own. The per-user
// registry points at a file that does not exist, so no module of the machine is opened
// beside it and nothing is ever written there (the targets register nothing permanently).
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <filesystem>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "module/zod.h"

namespace quintrel::fuzz {

class TModuleInput {
public:
  TModuleInput() {
    ::setenv("QUINTREL_CONFIG", "/nonexistent/quintrel-fuzz/registry.ini", 1);
    fd_ = ::memfd_create("quintrel-fuzz.zod", 0);
    if (fd_ < 0) {
      std::perror("memfd_create");
      std::abort();
    }
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  TModuleInput(const TModuleInput&) = delete;
  TModuleInput& operator=(const TModuleInput&) = delete;

  ~TModuleInput() {
    if (!folder_.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(folder_, ec);
    }
  }

  // Makes the file reachable as `name` in a fresh folder of the temporary folder and
  // returns that path; Open() registers that path from then on.
  const std::string& LinkAs(const std::string& name) {
    namespace fs = std::filesystem;
    folder_ = fs::temp_directory_path() / ("quintrel-fuzz-" + std::to_string(::getpid()));
    std::error_code ec;
    fs::remove_all(folder_, ec);
    fs::create_directories(folder_);
    const fs::path link = folder_ / name;
    fs::create_symlink("/proc/self/fd/" + std::to_string(fd_), link);
    path_ = link.string();
    return path_;
  }

  // Refills the file and resets the session's language.
  void Fill(const uint8_t* data, size_t size) {
    if (::ftruncate(fd_, 0) != 0) std::abort();
    for (size_t done = 0; done < size;) {
      ssize_t n = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
      if (n <= 0) std::abort();
      done += static_cast<size_t>(n);
    }
    module::GlobalZOD().SetCurrentLanguage(-1, 0);
  }

  // Fill(), then registers the file with GlobalZOD(): the module's index, kRefused when
  // the module layer refuses the file with an exception, or -1 when the file did not take
  // a place in the list at all, which the targets treat as a finding.
  static constexpr int kRefused = -2;
  int Open(const uint8_t* data, size_t size) {
    Fill(data, size);
    try {
      return module::GlobalZOD().RegisterModule(path_, false, "");
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
  int fd_ = -1;
  std::string path_;
  std::filesystem::path folder_;
};

[[noreturn]] inline void Finding(const std::string& what) {
  std::fprintf(stderr, "\n==FINDING== %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace quintrel::fuzz
