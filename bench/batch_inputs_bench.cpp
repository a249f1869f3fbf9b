// broaden-batch's inputs, in-process (run_batch, as the program runs): 1000
// conformer outputs (the Gaussian IR excerpt, each with its own free
// energy, written once into a temporary folder) summed with --boltzmann,
// named on the command line and through --inputs-from; the same files
// gzipped. Each pass reads every file, weighs and broadens the sum and
// writes the tsv to memory.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "io/posix_file_system.h"
#include "support/excerpts.h"
#include "support/temp_folder.h"

namespace {

using namespace broaden;

constexpr int kConformers = 1000;

std::string gzipped(const std::string& text) {
  uLongf size = compressBound(static_cast<uLong>(text.size())) + 32;
  std::string out(size, '\0');
  z_stream z{};
  deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// The folder of conformers: c0000.log ... with free energies 0.1 mhartree
// apart, their gzips, and the list of their names.
struct Conformers {
  testing::TempFolder folder;
  std::vector<std::string> names, gzipped_names;
  Conformers() {
    const std::string body = testing::excerpt("gaussian-ir.log");
    std::string list;
    for (int i = 0; i < kConformers; ++i) {
      char name[32], energy[96];
      std::snprintf(name, sizeof name, "c%04d.log", i);
      std::snprintf(energy, sizeof energy, " Sum of electronic and thermal Free Energies=  %.6f\n",
                    -382.0 + 1e-4 * i);
      folder.write(name, body + energy);
      folder.write(std::string(name) + ".gz", gzipped(body + energy));
      names.emplace_back(name);
      gzipped_names.push_back(std::string(name) + ".gz");
      list += std::string(name) + "\n";
    }
    folder.write("list", list);
  }
};

Conformers& conformers() {
  static Conformers made;
  return made;
}

void run(benchmark::State& state, const std::vector<std::string>& inputs) {
  Conformers& c = conformers();
  const int fd = ::open(c.folder.path().c_str(), O_RDONLY | O_DIRECTORY);
  PosixFileSystem files(fd);
  std::vector<std::string> arguments{"broaden-batch", "--fwhm", "10", "--boltzmann", "298.15"};
  arguments.insert(arguments.end(), inputs.begin(), inputs.end());
  std::vector<const char*> argv;
  for (const std::string& a : arguments) argv.push_back(a.c_str());
  for (auto _ : state) {
    std::ostringstream out, err;
    const int status = run_batch(static_cast<int>(argv.size()), argv.data(), -1, out, err, files);
    if (status != 0) state.SkipWithError(err.str().c_str());
    benchmark::DoNotOptimize(out);
  }
  state.counters["files"] = kConformers;
  ::close(fd);
}

void bench_named(benchmark::State& state) { run(state, conformers().names); }
void bench_inputs_from(benchmark::State& state) { run(state, {"--inputs-from", "list"}); }
void bench_gzipped(benchmark::State& state) { run(state, conformers().gzipped_names); }

BENCHMARK(bench_named)->Unit(benchmark::kMillisecond);
BENCHMARK(bench_inputs_from)->Unit(benchmark::kMillisecond);
BENCHMARK(bench_gzipped)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
