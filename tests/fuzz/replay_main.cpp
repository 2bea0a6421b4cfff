// Where libFuzzer is not at hand (GCC, the Windows cross build), each fuzz
// target is linked with this driver instead: it feeds every file of the
// directories (or files) named on the command line to the target once, so
// the seed corpus and any saved finding stay regression tests everywhere.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

namespace {

void Replay(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  size_t inputs = 0;
  for (int i = 1; i < argc; ++i) {
    fs::path path(argv[i]);
    if (fs::is_directory(path)) {
      std::vector<fs::path> files;
      for (const auto& entry : fs::directory_iterator(path)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
      }
      for (const auto& file : files) Replay(file);
      inputs += files.size();
    } else {
      Replay(path);
      ++inputs;
    }
  }
  std::printf("replayed %zu inputs\n", inputs);
  // An empty corpus would make this test pass without testing anything.
  return inputs == 0 ? 1 : 0;
}
