// add_profiles per line shape: 1001 random lines over the classic range,
// 20000 points from 0.1 to 2000 by 0.1, with each kernel set and thread count.
// The Voigt also at scale, 20000 lines on 36001 points from 0 to 3600 by 0.1,
// against libcerf's voigt at every term (as add_profiles summed it before its
// far terms had a form of their own), each path on one thread. And the cutoff
// at scale: a million lines on a million points.
#include <benchmark/benchmark.h>

#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "line_shapes/line_profiles.h"
#include "line_shapes/profile_kernels.h"
#include "line_shapes/voigt_terms.h"

namespace {

using broaden::LineShapeRow;
using broaden::ProfileParameters;

constexpr std::size_t kLines = 1001;
constexpr std::size_t kPoints = 20000;
constexpr int kShapeCount = static_cast<int>(std::size(broaden::kLineShapes));

// Every shape from its row, at a full width at half maximum of 10: its first
// width (each width, where it takes them all) 10 in that width's measure,
// except that a shape taking --sigma has sigma 5 (the width of the classic
// benchmark's whole-program run); each parameter the middle of its range
// (pseudo-Voigt half Lorentzian).
ProfileParameters parameters_of(const LineShapeRow& shape) {
  ProfileParameters parameters;
  parameters.shape = shape.shape;
  for (const auto& width : shape.widths) {
    if (shape.all_widths || &width == &shape.widths.front())
      parameters.*width.field = 10.0 / width.divisor;
    if (width.name == "sigma") parameters.*width.field = 5.0 / width.divisor;
  }
  for (const auto& parameter : shape.parameters)
    parameters.*parameter.field = (parameter.low + parameter.high) / 2;
  return parameters;
}

struct Problem {
  std::vector<double> position, intensity, x;
  Problem(std::size_t lines, std::size_t points, double first, double last) {
    std::mt19937_64 random(2026);
    std::uniform_real_distribution<double> where(first, last), strength(0.0, 100.0);
    for (std::size_t k = 0; k < lines; ++k) {
      position.push_back(where(random));
      intensity.push_back(strength(random));
    }
    for (std::size_t j = 0; j < points; ++j) {
      x.push_back(first +
                  (last - first) * static_cast<double>(j) / static_cast<double>(points - 1));
    }
  }
};

const Problem& classic() {
  static const Problem problem(kLines, kPoints, 0.1, 2000.0);
  return problem;
}
const Problem& large() {
  static const Problem problem(20000, 36001, 0.0, 3600.0);
  return problem;
}

// Arguments: shape (row of kLineShapes), kernel set index (-1: the one add_profiles takes), threads
// (0: auto).
void BM_AddProfiles(benchmark::State& state) {
  const Problem& problem = classic();
  const auto shape = static_cast<std::size_t>(state.range(0));
  const auto sets = broaden::detail::kernel_sets();
  const auto set_index =
      state.range(1) < 0 ? sets.size() - 1 : static_cast<std::size_t>(state.range(1));
  if (set_index >= sets.size()) {
    state.SkipWithError("kernel set not available here");
    return;
  }
  const auto threads = static_cast<unsigned>(state.range(2));
  const LineShapeRow& row = broaden::kLineShapes[shape];
  state.SetLabel(std::string(row.name) + "/" + sets[set_index].name);
  const ProfileParameters parameters = parameters_of(row);
  std::vector<double> y(problem.x.size());
  for (auto _ : state) {
    std::fill(y.begin(), y.end(), 0.0);
    broaden::detail::add_profiles_with(sets[set_index], problem.position, problem.intensity, {},
                                       parameters, problem.x, y, threads);
    benchmark::DoNotOptimize(y.data());
  }
}

void Shapes(benchmark::internal::Benchmark* b) {
  b->ArgNames({"shape", "kernels", "threads"});
  for (int shape = 0; shape < kShapeCount; ++shape) {
    b->Args({shape, -1, 0});  // as add_profiles runs
    b->Args({shape, -1, 1});  // one thread
  }
  for (int shape = 0; shape < kShapeCount; ++shape) {
    for (int set = 0; set < 3; ++set) b->Args({shape, set, 1});  // each kernel set, one thread
  }
}

// Voigt, FWHM 10 of either part, one thread. Arguments: problem (0: 1001 lines on 20000
// points, 1: 20000 lines on 36001 points), path (0: libcerf at every term, 1: add_profiles
// with the scalar far loop, 2: add_profiles as it runs).
void BM_Voigt(benchmark::State& state) {
  const Problem& problem = state.range(0) == 0 ? classic() : large();
  const ProfileParameters p = parameters_of(*broaden::line_shape_row(broaden::LineShape::voigt));
  const auto path = state.range(1);
  state.SetLabel(std::to_string(problem.position.size()) + " lines, " +
                 std::to_string(problem.x.size()) + " points, " +
                 (path == 0   ? "libcerf every term"
                  : path == 1 ? "scalar far terms"
                              : "fastest far terms"));
  std::vector<double> y(problem.x.size());
  for (auto _ : state) {
    std::fill(y.begin(), y.end(), 0.0);
    if (path == 0) {
      const broaden::detail::VoigtShape shape(p.sigma, p.gamma);
      for (std::size_t k = 0; k < problem.position.size(); ++k) {
        for (std::size_t i = 0; i < y.size(); ++i) {
          y[i] = shape.libcerf(problem.x[i] - problem.position[k]) * problem.intensity[k] + y[i];
        }
      }
    } else {
      const broaden::detail::VoigtTerms terms(
          problem.position, problem.intensity, p, problem.x,
          path == 1 ? broaden::detail::VoigtPath::scalar : broaden::detail::VoigtPath::fastest);
      terms.add(problem.x, y, 0, y.size());
    }
    benchmark::DoNotOptimize(y.data());
  }
  state.counters["terms"] = static_cast<double>(problem.position.size() * problem.x.size());
}

// A million-line list cut at N full widths: lines with a full width of 10 spread over
// 10^6 points from 0 to 10^6 by 1, as add_profiles runs (threads 0) or on one thread.
// Arguments: shape (row of kLineShapes), lines, cutoff in full widths (0: none), threads.
void BM_Cutoff(benchmark::State& state) {
  const LineShapeRow& row = broaden::kLineShapes[static_cast<std::size_t>(state.range(0))];
  const auto lines = static_cast<std::size_t>(state.range(1));
  static std::unique_ptr<const Problem> problem;
  if (!problem || problem->position.size() != lines)
    problem = std::make_unique<const Problem>(lines, 1'000'001, 0.0, 1e6);
  ProfileParameters parameters = parameters_of(row);
  parameters.cutoff = static_cast<double>(state.range(2));
  const auto threads = static_cast<unsigned>(state.range(3));
  state.SetLabel(std::string(row.name) + ", " + std::to_string(lines) + " lines, cutoff " +
                 std::to_string(state.range(2)));
  std::vector<double> y(problem->x.size());
  for (auto _ : state) {
    std::fill(y.begin(), y.end(), 0.0);
    broaden::add_profiles(problem->position, problem->intensity, {}, parameters, problem->x, y,
                          threads);
    benchmark::DoNotOptimize(y.data());
  }
}

}  // namespace

BENCHMARK(BM_Cutoff)
    ->ArgNames({"shape", "lines", "cutoff", "threads"})
    ->Args({1, 1'000'000, 10, 0})
    ->Args({1, 1'000'000, 100, 0})
    ->Args({1, 1'000'000, 100, 1})
    ->Args({1, 10'000, 0, 0})  // without a cutoff: 100 times this for a million lines
    ->Args({2, 1'000'000, 10, 0})
    ->Args({3, 100'000, 10, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK(BM_AddProfiles)->Apply(Shapes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Voigt)
    ->ArgNames({"problem", "path"})
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(false);

BENCHMARK_MAIN();
