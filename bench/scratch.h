// A scratch folder of one benchmark run: created empty under the temporary folder, named
// after the program and the process, holding the run's registry too (so no benchmark
// touches the user's), and removed with everything in it when the run ends.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace quintrel::bench {

class TScratchFolder {
public:
  explicit TScratchFolder(const std::string& name)
      : path_(std::filesystem::temp_directory_path() / ("quintrel-bench-" + name + "-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    ::setenv("QUINTREL_CONFIG", (path_ / "registry.ini").c_str(), 1);
  }
  ~TScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }

private:
  std::filesystem::path path_;
};

}  // namespace quintrel::bench
