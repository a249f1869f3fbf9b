// The engine against the straightforward loop in one process, and the whole
// program against the straightforward program (bench/straightforward_main.cpp)
// from start to exit, on 1001 or 20000 random peaks over 0..2000 with
// intensities 0..100.
//
//   engine_bench --benchmark_repetitions=7 --benchmark_enable_random_interleaving=true
//                --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "records/classic_spectrum.h"
#include "support/reference_engine.h"
#include "synthesis/engine_testing.h"

extern char** environ;

namespace {

struct Peaks {
  std::vector<double> frequency;
  std::vector<double> intensity;
};

Peaks random_peaks(std::size_t count) {
  std::mt19937_64 random(2026);
  std::uniform_real_distribution<double> where(0.0, 2000.0), strength(0.0, 100.0);
  Peaks peaks;
  for (std::size_t k = 0; k < count; ++k) {
    peaks.frequency.push_back(where(random));
    peaks.intensity.push_back(strength(random));
  }
  return peaks;
}

// In one process: the plain loop, then the engine with the spectrum records
// written to memory (the bounds settled as the program settles them).
void BM_StraightforwardLoop(benchmark::State& state) {
  const Peaks peaks = random_peaks(1001);
  const auto width = static_cast<double>(state.range(0));
  auto spectrum = std::make_unique<broaden::Spectrum>();
  auto scratch = std::make_unique<broaden::Spectrum>();
  for (auto _ : state) {
    broaden::build_grid(spectrum->w, spectrum->t);
    broaden::testing::add_peaks_reference(peaks.frequency, peaks.intensity, width, spectrum->w,
                                          spectrum->t, scratch->t);
    benchmark::DoNotOptimize(spectrum->t.data());
  }
}

void BM_EngineAndRecords(benchmark::State& state) {
  const Peaks peaks = random_peaks(1001);
  const auto width = static_cast<double>(state.range(0));
  std::size_t exact_points = 0;
  for (auto _ : state) {
    std::ostringstream out;
    exact_points += broaden::write_classic_spectrum(out, peaks.frequency, peaks.intensity, width);
    benchmark::DoNotOptimize(out.str().data());
  }
  state.counters["exact_points"] =
      benchmark::Counter(static_cast<double>(exact_points), benchmark::Counter::kAvgIterations);
}

// Writes a line list of fixed records and the answers that run it.
void write_line_list(const std::filesystem::path& folder, const Peaks& peaks, long width) {
  std::filesystem::create_directories(folder);
  std::ofstream lines(folder / "lines.txt");
  char record[32];
  for (std::size_t k = 0; k < peaks.frequency.size(); ++k) {
    // Four decimals where they fit the field, else an exponent.
    const char* format = std::fabs(peaks.intensity[k]) < 1e5 ? "%10.4f%10.4f\n" : "%10.4f%10.3E\n";
    std::snprintf(record, sizeof record, format, peaks.frequency[k], peaks.intensity[k]);
    lines << record;
  }
  std::ofstream(folder / "answers.txt") << "lines.txt\n"
                                        << peaks.frequency.size() << "\nspectrum.txt\n"
                                        << width << "\n";
}

// Runs the program `which` (0 the straightforward program, 1 broaden) on the
// line list of `folder`, answers on its standard input; reports peak
// resident memory and page faults.
void run_program(benchmark::State& state, const std::filesystem::path& folder, std::int64_t which) {
  const char* program = which == 0 ? STRAIGHTFORWARD_EXECUTABLE : BROADEN_EXECUTABLE;
  state.SetLabel(which == 0 ? "straightforward" : "broaden");
  long peak_kib = 0;
  double faults = 0;
  for (auto _ : state) {
    std::filesystem::remove(folder / "spectrum.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, (folder / "answers.txt").c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    char* argv[] = {const_cast<char*>(program), nullptr};

    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, program, &actions, nullptr, argv, environ) != 0) {
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
    faults += static_cast<double>(usage.ru_minflt + usage.ru_majflt);
  }
  state.counters["peak_MiB"] = static_cast<double>(peak_kib) / 1024.0;
  state.counters["page_faults"] = benchmark::Counter(faults, benchmark::Counter::kAvgIterations);
}

// The whole programs on random peaks (range 0: peaks, range 1: width, range
// 2: the program).
void BM_WholeProgram(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  const auto width = state.range(1);
  const auto folder = std::filesystem::temp_directory_path() /
                      ("broaden-bench-" + std::to_string(count) + "-" + std::to_string(width));
  if (!std::filesystem::exists(folder / "answers.txt"))
    write_line_list(folder, random_peaks(count), width);
  run_program(state, folder, state.range(2));
}

// The whole programs where the estimate's bound settles little (range 1: the
// program): 5000 pairs of lines of +-1e10 at the same places over 500..1500
// and 20 small peaks, width 1000, whose sums cancel to the small peaks'.
void BM_WholeProgramCancelling(benchmark::State& state) {
  const auto folder = std::filesystem::temp_directory_path() / "broaden-bench-cancelling";
  if (!std::filesystem::exists(folder / "answers.txt")) {
    std::mt19937_64 random(2026);
    std::uniform_real_distribution<double> where(500.0, 1500.0), anywhere(100.0, 1900.0),
        strength(1.0, 99.0);
    Peaks peaks;
    for (int k = 0; k < 5000; ++k) {
      const double position = std::round(where(random) * 10.0) / 10.0;
      peaks.frequency.insert(peaks.frequency.end(), {position, position});
      peaks.intensity.insert(peaks.intensity.end(), {1e10, -1e10});
    }
    for (int k = 0; k < 20; ++k) {
      peaks.frequency.push_back(anywhere(random));
      peaks.intensity.push_back(strength(random));
    }
    write_line_list(folder, peaks, 1000);
  }
  run_program(state, folder, state.range(0));
}

}  // namespace

BENCHMARK(BM_StraightforwardLoop)
    ->Arg(1)
    ->Arg(5)
    ->Arg(20)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_EngineAndRecords)
    ->Arg(1)
    ->Arg(5)
    ->Arg(20)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_WholeProgram)
    ->ArgsProduct({{1001, 20000}, {5, 100}, {0, 1}})
    ->ArgsProduct({{0}, {5}, {1}})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

BENCHMARK(BM_WholeProgramCancelling)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

BENCHMARK_MAIN();
