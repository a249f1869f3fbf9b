// The engine against the straightforward loop, and the whole program on a
// full table of 1001 peaks.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/reference_engine.h"
#include "synthesis/engine.h"

extern char** environ;

namespace {

constexpr std::size_t kFullTable = 1001;

struct Peaks {
  std::vector<double> frequency;
  std::vector<double> intensity;
};

Peaks random_peaks() {
  std::mt19937_64 random(2026);
  std::uniform_real_distribution<double> where(0.1, 2000.0), strength(0.0, 100.0);
  Peaks peaks;
  for (std::size_t k = 0; k < kFullTable; ++k) {
    peaks.frequency.push_back(where(random));
    peaks.intensity.push_back(strength(random));
  }
  return peaks;
}

void BM_StraightforwardLoop(benchmark::State& state) {
  const Peaks peaks = random_peaks();
  const double width = static_cast<double>(state.range(0));
  auto spectrum = std::make_unique<broaden::Spectrum>();
  auto scratch = std::make_unique<broaden::Spectrum>();
  for (auto _ : state) {
    broaden::build_grid(spectrum->w, spectrum->t);
    broaden::testing::add_peaks_reference(peaks.frequency, peaks.intensity, width, spectrum->w,
                                          spectrum->t, scratch->t);
    benchmark::DoNotOptimize(spectrum->t.data());
  }
}

void BM_Engine(benchmark::State& state) {
  const Peaks peaks = random_peaks();
  const double width = static_cast<double>(state.range(0));
  auto spectrum = std::make_unique<broaden::Spectrum>();
  for (auto _ : state) {
    broaden::build_grid(spectrum->w, spectrum->t);
    broaden::add_peaks(peaks.frequency, peaks.intensity, width, spectrum->w, spectrum->t);
    benchmark::DoNotOptimize(spectrum->t.data());
  }
}

// Runs the built program on a generated 1001-peak line list at width 5,
// answers on its standard input; reports the peak resident memory.
void BM_WholeProgram(benchmark::State& state) {
  const auto folder = std::filesystem::temp_directory_path() / "broaden-bench";
  std::filesystem::create_directories(folder);
  const Peaks peaks = random_peaks();
  {
    std::ofstream lines(folder / "lines.txt");
    char record[32];
    for (std::size_t k = 0; k < kFullTable; ++k) {
      std::snprintf(record, sizeof record, "%10.4f%10.4f\n", peaks.frequency[k],
                    peaks.intensity[k]);
      lines << record;
    }
    std::ofstream(folder / "answers.txt") << "lines.txt\n1001\nspectrum.txt\n5\n";
  }

  long peak_kib = 0;
  for (auto _ : state) {
    std::filesystem::remove(folder / "spectrum.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, (folder / "answers.txt").c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    char* argv[] = {const_cast<char*>(BROADEN_EXECUTABLE), nullptr};

    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, BROADEN_EXECUTABLE, &actions, nullptr, argv, environ) != 0) {
      state.SkipWithError("cannot start the program");
      break;
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("the program failed");
      break;
    }
    state.SetIterationTime(elapsed.count());
    peak_kib = std::max(peak_kib, usage.ru_maxrss);
  }
  state.counters["peak_MiB"] = static_cast<double>(peak_kib) / 1024.0;
  std::filesystem::remove_all(folder);
}

}  // namespace

BENCHMARK(BM_StraightforwardLoop)
    ->Arg(1)->Arg(5)->Arg(20)->Arg(100)->Arg(1000)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Engine)
    ->Arg(1)->Arg(5)->Arg(20)->Arg(100)->Arg(1000)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WholeProgram)->Unit(benchmark::kMillisecond)->UseManualTime();

BENCHMARK_MAIN();
