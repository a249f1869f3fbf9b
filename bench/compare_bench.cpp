// The comparison's costs: the scores of 1000 and 20000 points, and a fit of
// scale and fwhm of 1000 Gaussian lines on 20000 points (each evaluation
// the lines drawn by add_profiles, as the run draws them; every point is
// compared here, so the run's saving of drawing only the compared part of
// its grid does not show).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "batch/compare.h"
#include "line_shapes/line_profiles.h"

namespace {

// A made-up signed curve of `points` values, the same every run.
std::vector<double> curve(std::size_t points, double phase) {
  std::vector<double> y(points);
  for (std::size_t i = 0; i < points; ++i)
    y[i] =
        std::sin(0.01 * static_cast<double>(i) + phase) * std::exp(-1e-4 * static_cast<double>(i));
  return y;
}

void BM_Scores(benchmark::State& state) {
  const auto points = static_cast<std::size_t>(state.range(0));
  const std::vector<double> f = curve(points, 0.0), g = curve(points, 0.3);
  for (auto _ : state) benchmark::DoNotOptimize(broaden::scores_of(f, g, true));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Scores)->Arg(1000)->Arg(20000);

void BM_FitScaleAndWidth(benchmark::State& state) {
  constexpr std::size_t kLines = 1000, kPoints = 20000;
  std::vector<double> position(kLines), intensity(kLines), x(kPoints);
  std::uint64_t seed = 7;
  for (std::size_t k = 0; k < kLines; ++k) {
    seed = seed * 6364136223846793005u + 1442695040888963407u;
    position[k] = 500.0 + 3000.0 * static_cast<double>(seed >> 11) / 9007199254740992.0;
    intensity[k] = 1.0 + static_cast<double>(k % 17);
  }
  for (std::size_t i = 0; i < kPoints; ++i) x[i] = 400.0 + 0.18 * static_cast<double>(i);
  const auto spectrum = [&](const broaden::FitValues& v) {
    std::vector<double> moved(kLines), y(kPoints, 0.0);
    for (std::size_t k = 0; k < kLines; ++k) moved[k] = position[k] * v.scale;
    broaden::ProfileParameters profile;
    profile.sigma = v.fwhm / broaden::kFwhmPerSigma;
    broaden::add_profiles(moved, intensity, {}, profile, x, y, 0);
    return y;
  };
  const broaden::MeasuredOnGrid measured =
      broaden::measured_on_grid(x, x, spectrum({0.962, 0.0, 12.0})).on_grid;
  const broaden::FitRequest request{
      {{broaden::FitParameter::scale, 0.9, 1.1}, {broaden::FitParameter::fwhm, 2.0, 60.0}},
      {1.0, 0.0, 20.0}};
  std::size_t evaluations = 0;
  for (auto _ : state) evaluations = broaden::fit(measured, spectrum, request).evaluations;
  state.counters["evaluations"] = static_cast<double>(evaluations);
}
BENCHMARK(BM_FitScaleAndWidth)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
