// Runs a fuzz target over saved inputs without libFuzzer, so that the seed
// corpus and every input that once failed run as ordinary tests (natively,
// under the sanitizers and under Wine).
//   replay FILE_OR_DIRECTORY...
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

int replayFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path.string().c_str());
    return 1;
  }
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int failures = 0;
  int inputs = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path(argv[i]);
    if (std::filesystem::is_directory(path)) {
      for (const auto& entry : std::filesystem::directory_iterator(path)) {
        if (entry.is_regular_file()) {
          failures += replayFile(entry.path());
          ++inputs;
        }
      }
    } else {
      failures += replayFile(path);
      ++inputs;
    }
  }
  std::printf("replayed %d inputs\n", inputs);
  if (inputs == 0) {
    std::fprintf(stderr, "no inputs given\n");
    return 1;
  }
  return failures == 0 ? 0 : 1;
}
