// Replays inputs through the fuzz target without libFuzzer: every file in
// the folders named on the command line (notes *.md aside) is passed to
// LLVMFuzzerTestOneInput once. A fault ends the run through the sanitizers;
// otherwise the count of inputs is printed.
//   fuzz_replay FOLDER...
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  int count = 0;
  for (int a = 1; a < argc; ++a) {
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(argv[a], ec)) {
      if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
      std::ifstream in(entry.path(), std::ios::binary);
      const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++count;
    }
  }
  std::printf("%d inputs replayed\n", count);
  return count > 0 ? 0 : 1;
}
