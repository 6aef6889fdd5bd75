// Runs a fuzz target's inputs once each without libFuzzer, so that the ordinary test build
// (with its sanitizers) replays every seed and every input that once found a fault:
//
//   replay_NAME FILE|FOLDER...
//
// A folder contributes its regular files (not its subfolders), in name order. A target
// that finds something aborts, as under libFuzzer; the input's name is printed first, so
// the failing one is the last line before the report.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

// Inputs are the fuzzer's, which never grow beyond a few megabytes.
constexpr std::uintmax_t kMaxInput = std::uintmax_t{64} << 20;

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE|FOLDER...\n", argv[0]);
    return 2;
  }
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const fs::path path = argv[i];
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
      std::vector<fs::path> files;
      for (const fs::directory_entry& entry : fs::directory_iterator(path, ec))
        if (entry.is_regular_file()) files.push_back(entry.path());
      std::sort(files.begin(), files.end());
      inputs.insert(inputs.end(), files.begin(), files.end());
    } else if (fs::is_regular_file(path, ec)) {
      inputs.push_back(path);
    } else {
      std::fprintf(stderr, "%s: not a file or folder\n", path.c_str());
      return 1;
    }
  }
  for (const fs::path& input : inputs) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(input, ec);
    if (ec || size > kMaxInput) {
      std::fprintf(stderr, "%s: cannot be read or larger than %ju bytes\n", input.c_str(), kMaxInput);
      return 1;
    }
    std::ifstream in(input, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::printf("%s\n", input.c_str());
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  std::printf("%zu inputs replayed\n", inputs.size());
  return 0;
}
