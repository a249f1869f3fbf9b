// The engine against the straightforward loop: add_peaks bit for bit, and
// bracket_peaks with every kernel: each interval holds the straightforward
// value, and the text each point settles on (both ends' text where they
// agree, else the straightforward_point value's) is the loop's, on tables
// built to put values next to the rounding boundaries of the fixed-point
// field. Texts are compared as printed to four decimals: equal texts give
// equal fields, so the writer's records follow.
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
#include "synthesis/engine_testing.h"

namespace broaden {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Table {
  std::string title;
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
      {"tiny intensities", {10.0, 20.0}, {1e-300, 4e-320}, 0.5},
      {"huge sums", {1000.0, 1000.5}, {1e300, 1e300}, 2.0},
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

std::vector<ExpKernel> kernels() {
  std::vector<ExpKernel> all = {ExpKernel::automatic, ExpKernel::scalar, ExpKernel::perturbed};
  if (fma_kernel_available()) all.push_back(ExpKernel::fma);
  return all;
}

// The same double, any NaN matching any NaN (which of two NaNs an addition
// passes on is up to the compiler's operand order; every NaN writes "NaN").
bool same_bits(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) ||
         std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

std::unique_ptr<Spectrum> reference_of(const Table& table) {
  auto reference = std::make_unique<Spectrum>();
  auto scratch = std::make_unique<Spectrum>();
  build_grid(reference->w, reference->t);
  testing::add_peaks_reference(table.frequency, table.intensity, table.width, reference->w,
                               reference->t, scratch->t);
  return reference;
}

// A point's value as printed to four decimals; every NaN alike.
std::string text_of(double value) {
  return std::isnan(value) ? "NaN" : testing::fixed_text(value, 4);
}

// The printed values of the straightforward loop, one a point.
std::vector<std::string> texts_of(const Spectrum& spectrum) {
  std::vector<std::string> texts;
  for (const double value : spectrum.t) texts.push_back(text_of(value));
  return texts;
}

// The printed values bracket_peaks settles on, as the spectrum writer does:
// the ends' text where they agree, else that of the straightforward value.
// Counts the points that needed it.
std::vector<std::string> settled_texts_of(const Table& table, ExpKernel kernel,
                                          std::size_t* exact_points = nullptr) {
  auto bounds = std::make_unique<SpectrumBounds>();
  build_grid(bounds->w);
  bracket_peaks_with(kernel, table.frequency, table.intensity, table.width, bounds->w, bounds->low,
                     bounds->high);
  std::vector<std::string> texts;
  for (std::size_t i = 0; i < kGridSize; ++i) {
    std::string low = text_of(bounds->low[i]);
    if (low != text_of(bounds->high[i])) {
      low = text_of(
          straightforward_point(table.frequency, table.intensity, table.width, bounds->w[i]));
      if (exact_points != nullptr) ++*exact_points;
    }
    texts.push_back(low);
  }
  return texts;
}

// The first point where two lists of printed values differ, for the message.
std::string first_difference(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (a[i] != b[i]) return "point " + std::to_string(i + 1) + ": " + a[i] + " against " + b[i];
  return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
}

TEST(Engine, AddPeaksIsTheStraightforwardLoopBitForBit) {
  for (const Table& table : tables()) {
    const auto reference = reference_of(table);
    for (const unsigned threads : {1u, 2u}) {
      auto s = std::make_unique<Spectrum>();
      build_grid(s->w, s->t);
      add_peaks(table.frequency, table.intensity, table.width, s->w, s->t, threads);
      for (std::size_t i = 0; i < kGridSize; ++i)
        ASSERT_TRUE(same_bits(s->t[i], reference->t[i]))
            << table.title << ": point " << i + 1 << " " << s->t[i] << " " << reference->t[i];
    }
  }
}

TEST(Engine, BoundsHoldTheStraightforwardValueAndGiveItsRecords) {
  for (const Table& table : tables()) {
    const auto reference = reference_of(table);
    const auto expected = texts_of(*reference);
    for (const ExpKernel kernel : kernels()) {
      auto bounds = std::make_unique<SpectrumBounds>();
      build_grid(bounds->w);
      bracket_peaks_with(kernel, table.frequency, table.intensity, table.width, bounds->w,
                         bounds->low, bounds->high, {.threads = 1});
      for (std::size_t i = 0; i < kGridSize; ++i) {
        const double low = bounds->low[i], high = bounds->high[i], value = reference->t[i];
        const bool held = same_bits(low, high) ? same_bits(low, value)
                                               : std::isfinite(low) && std::isfinite(high) &&
                                                     low <= value && value <= high;
        ASSERT_TRUE(held) << table.title << " kernel " << static_cast<int>(kernel) << ": point "
                          << i + 1 << " " << value << " not in [" << low << ", " << high << "]";
      }
      const auto texts = settled_texts_of(table, kernel);
      EXPECT_TRUE(texts == expected) << table.title << ": " << first_difference(texts, expected);
    }
  }
}

// The straightforward value at one point for a table at some width.
double value_at(const Table& table, double width, std::size_t point) {
  return straightforward_point(table.frequency, table.intensity, width,
                               static_cast<double>(static_cast<float>(point) * kGridStep));
}

// Two neighbouring widths in [low, high] between which the straightforward
// value at `point` crosses `boundary`: found by scanning, then by bisection
// over the doubles. Returns {NaN, NaN} if the value never crosses it.
std::pair<double, double> widths_across(const Table& table, std::size_t point, double boundary,
                                        double low, double high) {
  const auto side = [&](double width) { return value_at(table, width, point) < boundary; };
  constexpr int kSteps = 256;
  for (int step = 0; step < kSteps; ++step) {
    double a = low + (high - low) * step / kSteps;
    double b = low + (high - low) * (step + 1) / kSteps;
    if (side(a) == side(b)) continue;
    const bool side_a = side(a);
    while (std::nextafter(a, b) != b) {
      const double middle = a + (b - a) / 2;
      (side(middle) == side_a ? a : b) = middle;
    }
    return {a, b};
  }
  return {kNaN, kNaN};
}

TEST(Engine, RecordsNextToRoundingBoundariesAreTheStraightforwardLoops) {
  const auto many = uniform(2000, 0.0, 2000.0, 5);
  const auto many_intensities = uniform(2000, 0.0, 100.0, 6);
  const struct {
    Table table;  // its width is unused: the search sets it
    std::size_t point;
    double boundary;
    double low_width, high_width;
  } cases[] = {
      {{"one peak", {1619.4577}, {92.4421}, 0}, 16174, 10.34475, 2.5, 2.7},
      {{"one peak, far tail", {1000.0}, {50.0}, 0}, 10060, 0.00015, 0.8, 1.5},
      {{"one peak, least field", {1000.0}, {1.0}, 0}, 10030, 0.00005, 0.5, 2.0},
      {{"several peaks", {1000.0, 1000.7, 1001.9, 999.1}, {20.0, 35.5, 7.25, 60.0}, 0},
       10005,
       21.03145,
       1.0,
       4.0},
      {{"mixed signs crossing zero", {1000.0, 1001.0}, {10.0, -20.0}, 0}, 10004, 0.0, 0.3, 3.0},
      {{"mixed signs at -0.00005", {1000.0, 1001.0}, {10.0, -20.0}, 0}, 10004, -0.00005, 0.3, 3.0},
      {{"negative width side", {1000.0}, {-30.0}, 0}, 10011, -5.12345, 0.9, 3.0},
      {{"sum of a million", {1000.0, 1000.3}, {2e7, 1.3e7}, 0}, 10002, 4381501.17135, 2.0, 4.0},
      {{"last field before asterisks", {1000.0}, {5e7}, 0}, 10000, 9999999.99995, 1.0, 3.0},
      {{"thousands of peaks", many, many_intensities, 0}, 7777, 0.0, 0.0, 0.0},
  };
  std::size_t exact_points = 0;
  for (const auto& c : cases) {
    Table table = c.table;
    double boundary = c.boundary, low = c.low_width, high = c.high_width;
    if (low == 0.0) {
      // Many peaks: a field boundary the value crosses between widths 19 and 21.
      low = 19.0, high = 21.0;
      const double top = std::max(value_at(table, low, c.point), value_at(table, high, c.point));
      boundary = (std::floor(top * 1e4 - 0.5) + 0.5) / 1e4;
    }
    const auto [below, above] = widths_across(table, c.point, boundary, low, high);
    ASSERT_TRUE(std::isfinite(below)) << table.title << ": never crosses " << boundary;
    for (const double width : {below, above}) {
      table.width = width;
      const auto expected = texts_of(*reference_of(table));
      for (const ExpKernel kernel : kernels()) {
        const auto texts = settled_texts_of(table, kernel, &exact_points);
        EXPECT_TRUE(texts == expected)
            << table.title << " width " << width << ": " << first_difference(texts, expected);
      }
    }
  }
  // The boundaries were close enough that the fallback had to decide.
  EXPECT_GT(exact_points, 0u);
}

TEST(Engine, ExamplesWhereTheVectorExpOnceChangedTheRecord) {
  const struct {
    Table table;
    std::size_t point;
    const char* text;
  } cases[] = {
      {{"", {1619.4577}, {92.4421}, 2.6171640779534178}, 16174, "10.3447"},
      {{"", {400.7}, {2.6499e9}, 232.590}, 5122, "4051782.0915"},
  };
  for (const auto& c : cases)
    for (const ExpKernel kernel : kernels())
      EXPECT_EQ(settled_texts_of(c.table, kernel)[c.point - 1], c.text);
}

TEST(Engine, ResultDoesNotDependOnTheThreads) {
  const Table table{"random", uniform(1001, 0.0, 2000.0, 7), uniform(1001, -1.0, 1.0, 8), 20.0};
  std::vector<std::unique_ptr<SpectrumBounds>> results;
  for (const unsigned threads : {1u, 2u, 3u, 7u}) {
    results.push_back(std::make_unique<SpectrumBounds>());
    build_grid(results.back()->w);
    bracket_peaks(table.frequency, table.intensity, table.width, results.back()->w,
                  results.back()->low, results.back()->high, {.threads = threads});
  }
  for (const auto& result : results) {
    EXPECT_EQ(result->low, results.front()->low);
    EXPECT_EQ(result->high, results.front()->high);
  }
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

// Tables whose sums cancel far past any field, or whose bound settles
// little: with a resolution, their points come out as values at once.
std::vector<Table> cancelling_tables() {
  std::vector<double> frequency = uniform(300, 500.0, 1500.0, 21), intensity;
  for (std::size_t k = 0; k < frequency.size(); ++k) intensity.push_back(k % 2 ? -1e10 : 1e10);
  for (std::size_t k = 1; k < frequency.size(); k += 2) frequency[k] = frequency[k - 1];
  return {
      {"cancelling 1e25", {1500.0, 1500.0, 1000.0}, {1e25, -1e25, 100.0}, 300.0},
      {"cancelling pairs, wide", frequency, intensity, 1000.0},
      {"cancelling 1e9, spread underflows", {1500.0, 1500.0, 1000.0}, {1e9, -1e9, 100.0}, 1e-160},
  };
}

TEST(Engine, WithAResolutionWiderPointsAreTheirStraightforwardValues) {
  std::vector<Table> all = tables();
  for (Table& table : cancelling_tables()) all.push_back(std::move(table));
  for (const Table& table : all) {
    const auto reference = reference_of(table);
    for (const unsigned threads : {1u, 2u}) {
      auto bounds = std::make_unique<SpectrumBounds>();
      build_grid(bounds->w);
      bracket_peaks(table.frequency, table.intensity, table.width, bounds->w, bounds->low,
                    bounds->high, {.threads = threads, .resolution = 1e-4});
      for (std::size_t i = 0; i < kGridSize; ++i) {
        const double low = bounds->low[i], high = bounds->high[i], value = reference->t[i];
        const bool held = same_bits(low, high)
                              ? same_bits(low, value)
                              : high - low <= 1e-4 && low <= value && value <= high;
        ASSERT_TRUE(held) << table.title << ": point " << i + 1 << " " << value << " and [" << low
                          << ", " << high << "]";
      }
    }
  }
}

TEST(Engine, StraightforwardPointsAreTheLoopsBitForBit) {
  std::vector<Table> all = tables();
  for (Table& table : cancelling_tables()) all.push_back(std::move(table));
  std::vector<std::size_t> points;  // every seventh point, and both ends
  for (std::size_t i = 0; i < kGridSize; i += 7) points.push_back(i);
  points.push_back(kGridSize - 1);
  std::vector<double> w(kGridSize);
  build_grid(std::span<double, kGridSize>(w));
  for (const Table& table : all) {
    const auto reference = reference_of(table);
    for (const unsigned threads : {1u, 3u}) {
      std::vector<double> values(points.size());
      straightforward_points(table.frequency, table.intensity, table.width,
                             std::span<const double, kGridSize>(w), points, values, threads);
      for (std::size_t j = 0; j < points.size(); ++j)
        ASSERT_TRUE(same_bits(values[j], reference->t[points[j]]))
            << table.title << ": point " << points[j] + 1;
    }
  }
}

}  // namespace
}  // namespace broaden
