// Replays inputs through a fuzz target without libFuzzer, so that any
// compiler builds the targets and CTest can run the seed corpus: every file
// named, and every file under every folder named, in name order.

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

// The input being replayed, named on standard error when it aborts.
char current[4096];

extern "C" void name_the_input(int) {
  const char prefix[] = "replay: failing input: ";
  (void)!::write(2, prefix, sizeof prefix - 1);
  (void)!::write(2, current, std::strlen(current));
  (void)!::write(2, "\n", 1);
  ::signal(SIGABRT, SIG_DFL);
  ::raise(SIGABRT);
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    if (fs::is_directory(argv[i])) {
      for (const auto& entry : fs::recursive_directory_iterator(argv[i]))
        if (entry.is_regular_file()) inputs.push_back(entry.path());
    } else {
      inputs.emplace_back(argv[i]);
    }
  }
  std::sort(inputs.begin(), inputs.end());
  ::signal(SIGABRT, name_the_input);

  for (const fs::path& input : inputs) {
    std::snprintf(current, sizeof current, "%s", input.c_str());
    std::ifstream file(input, std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "replay: cannot read %s\n", input.c_str());
      return 1;
    }
    const std::string bytes(std::istreambuf_iterator<char>(file), {});
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  std::printf("replayed %zu inputs\n", inputs.size());
  // No input at all means the corpus went missing: that is a failure too.
  return inputs.empty() ? 1 : 0;
}
