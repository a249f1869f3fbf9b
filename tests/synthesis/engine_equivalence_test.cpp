// The engine against the straightforward loop: every term within a few
// units in the last place, every value the same to the spectrum file's
// four decimals.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/fixed_text.h"
#include "support/reference_engine.h"
#include "synthesis/engine.h"

namespace broaden {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Distance in units in the last place between two finite doubles.
std::uint64_t ulps_apart(double a, double b) {
  auto ordered = [](double x) {
    const auto bits = std::bit_cast<std::int64_t>(x);
    return bits < 0 ? std::numeric_limits<std::int64_t>::min() - bits : bits;
  };
  const std::int64_t x = ordered(a), y = ordered(b);
  return x > y ? static_cast<std::uint64_t>(x) - static_cast<std::uint64_t>(y)
               : static_cast<std::uint64_t>(y) - static_cast<std::uint64_t>(x);
}

struct Table {
  const char* title;
  std::vector<double> frequency;
  std::vector<double> intensity;
  double width;
};

std::vector<double> uniform(std::size_t n, double low, double high, unsigned seed) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> pick(low, high);
  std::vector<double> values(n);
  for (double& value : values) value = pick(random);
  return values;
}

std::vector<Table> tables() {
  std::vector<Table> all = {
      {"no peaks", {}, {}, 5.0},
      {"one peak", {1000.0}, {100.0}, 5.0},
      {"width zero", {500.0, 1500.0}, {1.0, 2.0}, 0.0},
      {"width 1e-320: amplitude overflows", {1000.0}, {1.0}, 1e-320},
      {"width 1e-160: spread underflows", {1000.0, 1000.1}, {1.0, 1.0}, 1e-160},
      {"width 1e300: spread overflows", {1000.0}, {1.0}, 1e300},
      {"far tails of a negative width", {1.0, 1999.0}, {1e-3, 1e-3}, -5.0},
      {"peaks off the grid", {-30.0, 2030.0, -1e6, 1e300}, {50.0, 50.0, 1.0, 1.0}, 8.0},
      {"infinite and NaN peaks", {1000.0, kInf, 500.0, kNaN}, {1.0, 1.0, kNaN, 1.0}, 3.0},
      {"infinite intensity", {1000.0}, {-kInf}, 3.0},
      {"zero intensities", {10.0, 20.0}, {0.0, -0.0}, 3.0},
      {"mixed signs", uniform(200, 0.0, 2000.0, 99), uniform(200, -10.0, 10.0, 98), 4.0},
  };
  unsigned seed = 1;
  auto add_random = [&](std::size_t count, double width) {
    all.push_back({"random", uniform(count, -50.0, 2050.0, seed),
                   uniform(count, 0.0, 100.0, seed + 1), width});
    seed += 2;
  };
  for (const double width : {0.05, 1.0, 5.0, -5.0, 100.0, 1000.0})
    for (const std::size_t count : {1u, 37u}) add_random(count, width);
  add_random(1001, 5.0);
  add_random(1001, 100.0);
  return all;
}

void expect_same_spectrum(const Table& table, EngineOptions options) {
  auto reference = std::make_unique<Spectrum>();
  auto fast = std::make_unique<Spectrum>();
  auto scratch = std::make_unique<Spectrum>();
  build_grid(reference->w, reference->t);
  build_grid(fast->w, fast->t);
  testing::add_peaks_reference(table.frequency, table.intensity, table.width, reference->w,
                               reference->t, scratch->t);
  add_peaks(table.frequency, table.intensity, table.width, fast->w, fast->t, options);

  // Where terms of both signs cancel, a few units in the last place of
  // each term is the bound, not of their sum.
  std::vector<double> magnitude(kGridSize, 0.0);
  const bool mixed = std::any_of(table.intensity.begin(), table.intensity.end(),
                                 [](double value) { return value < 0.0; });
  for (std::size_t k = 0; mixed && k < table.frequency.size(); ++k) {
    for (std::size_t i = 0; i < kGridSize; ++i) {
      const double d = reference->w[i] - table.frequency[k];
      const double a = (table.intensity[k] / kNormalisation) / table.width;
      magnitude[i] +=
          std::fabs(std::exp(-(d * d) / ((table.width + table.width) * table.width)) * a);
    }
  }

  int reported = 0;
  for (std::size_t i = 0; i < kGridSize && reported < 5; ++i) {
    const double expected = reference->t[i], actual = fast->t[i];
    const bool close =
        ulps_apart(expected, actual) <= 4 ||
        std::fabs(expected - actual) <= 4 * std::numeric_limits<double>::epsilon() * magnitude[i];
    const bool same = (std::isnan(expected) && std::isnan(actual)) ||
                      (std::isinf(expected) && expected == actual) ||
                      (std::isfinite(expected) && std::isfinite(actual) && close &&
                       (std::signbit(expected) == std::signbit(actual) || expected == 0.0));
    // The same text implies the same spectrum record; infinities and NaNs
    // (whose sign a record does not show) are judged above.
    const bool same_record = !std::isfinite(expected) ||
                             testing::fixed_text(expected, 4) == testing::fixed_text(actual, 4);
    if (!same || !same_record) {
      ADD_FAILURE() << table.title << " (" << table.frequency.size() << " peaks, width "
                    << table.width << "): point " << i + 1 << " reference " << expected
                    << " engine " << actual;
      ++reported;
    }
  }
}

TEST(Engine, MatchesTheStraightforwardLoopWithEveryKernel) {
  std::vector<ExpKernel> kernels = {ExpKernel::scalar, ExpKernel::two_lane};
  if (avx2_available()) kernels.push_back(ExpKernel::four_lane);
  for (const Table& table : tables())
    for (const ExpKernel kernel : kernels) expect_same_spectrum(table, {kernel, 1});
}

TEST(Engine, ResultDoesNotDependOnTheThreads) {
  const Table table{"random", uniform(1001, 0.0, 2000.0, 7), uniform(1001, 0.0, 1.0, 8), 20.0};
  std::vector<std::unique_ptr<Spectrum>> results;
  for (const unsigned threads : {1u, 2u, 3u, 7u}) {
    results.push_back(std::make_unique<Spectrum>());
    build_grid(results.back()->w, results.back()->t);
    add_peaks(table.frequency, table.intensity, table.width, results.back()->w, results.back()->t,
              {ExpKernel::automatic, threads});
  }
  for (const auto& result : results) EXPECT_EQ(result->t, results.front()->t);
}

TEST(Engine, KeepsTheSignOfSubnormalTails) {
  // Points reached only by negative subnormal terms hold a tiny negative sum.
  auto s = std::make_unique<Spectrum>();
  build_grid(s->w, s->t);
  add_peaks(std::vector<double>{1000.0}, std::vector<double>{1.0}, -5.0, s->w, s->t);
  std::size_t negative_tiny = 0;
  for (const double value : s->t) negative_tiny += value < 0.0 && value > -1e-300;
  EXPECT_GT(negative_tiny, 0u);
  EXPECT_EQ(testing::fixed_text(s->t[8120], 4), "-0.0000");
}

}  // namespace
}  // namespace broaden
