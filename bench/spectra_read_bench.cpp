// The quantum-chemistry readers: each real sample (where the folder of
// samples is present), and a Gaussian and an ORCA output of about 1 GiB
// (BROADEN_BENCH_BYTES to change it) made of filler lines with the
// sample's tables at the end, against memchr over the same bytes (the
// speed of finding its line ends, a bound for any line scanner). Each
// reports bytes a second and "extra_MiB", the growth of the process's peak
// resident memory while reading, beyond the text itself.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "records/line_list_formats.h"

#ifndef BROADEN_QC_SAMPLES
#define BROADEN_QC_SAMPLES ""
#endif

namespace {

using namespace broaden;

std::string sample(const std::string& name) {
  std::ifstream in(std::filesystem::path(BROADEN_QC_SAMPLES) / name, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

double peak_mib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

void read_text(benchmark::State& state, const std::string& format, const std::string& text) {
  if (text.empty()) {
    state.SkipWithError("no text (the folder of samples is absent)");
    return;
  }
  const LineListFormat* row = find_input_format(format);
  const double before = peak_mib();
  for (auto _ : state) {
    SpectraRead read = row->read_spectra(text);
    if (read.error) state.SkipWithError(read.error->expected.c_str());
    benchmark::DoNotOptimize(read);
  }
  state.counters["extra_MiB"] = peak_mib() - before;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}

std::size_t big_size() {
  const char* bytes = std::getenv("BROADEN_BENCH_BYTES");
  return bytes != nullptr ? std::strtoull(bytes, nullptr, 10) : std::size_t{1} << 30;
}

// Lines as a long optimisation prints them (SCF cycles, coordinates), then
// the sample itself, so that its tables come last.
std::string big_output(const std::string& tail, const char* filler) {
  std::string text;
  const std::size_t size = big_size();
  text.reserve(size + tail.size());
  const std::string line = filler;
  while (text.size() + line.size() < size) text += line;
  text += tail;
  return text;
}

const std::string& big_gaussian() {
  static const std::string text =
      big_output(sample("gaussian09-dvb-raman.out"),
                 " Cycle   7  Pass 1  IDiag  1:\n"
                 " E= -382.308265450137     Delta-E=       -0.000000000114 Rises=F Damp=F\n"
                 "    3   6    -1.4160186   -0.6921170    0.0000000    0.00000   0.00000\n");
  return text;
}

const std::string& big_orca() {
  static const std::string text =
      big_output(sample("orca5-dvb-raman.out"),
                 "  12   -381.91112705   -1.2e-07  4.1e-05  1.5e-06  0.0001234   0.0000 \n"
                 "   3 C    -1.416019   -0.692117    0.000000\n");
  return text;
}

void bench_sample(benchmark::State& state, const char* format, const char* file) {
  static std::string text;
  text = sample(file);
  read_text(state, format, text);
}

BENCHMARK_CAPTURE(bench_sample, gaussian09_ir, "gaussian", "gaussian09-dvb-ir.out");
BENCHMARK_CAPTURE(bench_sample, gaussian09_raman, "gaussian", "gaussian09-dvb-raman.out");
BENCHMARK_CAPTURE(bench_sample, gaussian09_td, "gaussian", "gaussian09-dvb-td.out");
BENCHMARK_CAPTURE(bench_sample, orca5_ir, "orca", "orca5-dvb-ir.out");
BENCHMARK_CAPTURE(bench_sample, orca5_raman, "orca", "orca5-dvb-raman.out");
BENCHMARK_CAPTURE(bench_sample, orca5_td, "orca", "orca5-dvb-td.out");
BENCHMARK_CAPTURE(bench_sample, cjson_qchem54, "cjson", "qchem54-dvb-ir.cjson");

void bench_big_gaussian(benchmark::State& state) { read_text(state, "gaussian", big_gaussian()); }
void bench_big_orca(benchmark::State& state) { read_text(state, "orca", big_orca()); }

// The bound: every line end found, nothing else done.
void bench_memchr_lines(benchmark::State& state) {
  const std::string& text = big_gaussian();
  for (auto _ : state) {
    std::size_t lines = 0;
    for (const char *p = text.data(), *end = p + text.size();
         (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))) !=
         nullptr;
         ++p)
      ++lines;
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}

BENCHMARK(bench_big_gaussian)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(bench_big_orca)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(bench_memchr_lines)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
