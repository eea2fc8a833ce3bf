// Feeds saved fuzz inputs (files, or every file of a folder) to the fuzz entry point, so the
// corpus runs with any compiler in the normal test run.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/atomic_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    if (fs::is_directory(argv[i], ec)) {
      for (const auto& entry : fs::directory_iterator(argv[i], ec))
        if (entry.is_regular_file()) inputs.push_back(entry.path());
    } else {
      inputs.emplace_back(argv[i]);
    }
  }
  std::sort(inputs.begin(), inputs.end());
  int failed = 0;
  for (const auto& input : inputs) {
    std::string bytes, error;
    if (!ReadWholeFile(input.string(), bytes, error)) {
      std::fprintf(stderr, "%s: %s\n", input.c_str(), error.c_str());
      ++failed;
      continue;
    }
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  // An empty corpus would make this test pass while testing nothing.
  if (inputs.empty()) {
    std::fprintf(stderr, "no fuzz inputs found\n");
    return 1;
  }
  std::printf("replayed %zu inputs: %zu passed, %d failed\n", inputs.size(), inputs.size() - static_cast<std::size_t>(failed), failed);
  return failed == 0 ? 0 : 1;
}
