#include "batch/compare.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <vector>

namespace broaden {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

std::vector<double> range_of(double first, double step, std::size_t count) {
  std::vector<double> x(count);
  for (std::size_t i = 0; i < count; ++i) x[i] = first + step * static_cast<double>(i);
  return x;
}

TEST(MeasuredOnGrid, TakesTheMeasurementAtTheGridPointsInsideBothRanges) {
  const std::vector<double> grid = range_of(1, 1, 10);
  struct Case {
    std::vector<double> x, y;
    std::optional<AxisRange> range;
    std::vector<std::size_t> index;
    std::vector<double> value;
  };
  const Case cases[] = {
      {{0, 10}, {0, 5}, AxisRange{8, 3}, {2, 3, 4, 5, 6, 7}, {1.5, 2, 2.5, 3, 3.5, 4}},
      {{10, 0}, {5, 0}, std::nullopt, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, range_of(0.5, 0.5, 10)},
      {{3, 5, 5, 7, 3}, {0, 2, 4, 4, 2}, std::nullopt, {2, 3, 4, 5, 6}, {1, 2, 3, 3.5, 4}},
      {{2, NAN, 4, 6}, {0, 1, INFINITY, 4}, std::nullopt, {1, 2, 3, 4, 5}, {0, 1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    const MeasuredOnGridResult read = measured_on_grid(grid, c.x, c.y, c.range);
    ASSERT_EQ(read.error, "");
    EXPECT_THAT(read.on_grid.index, ElementsAreArray(c.index));
    EXPECT_THAT(read.on_grid.value, ElementsAreArray(c.value));
    EXPECT_EQ(read.on_grid.first, grid[c.index.front()]);
    EXPECT_EQ(read.on_grid.last, grid[c.index.back()]);
  }
  // A grid running down gives its own indices, the range its least and greatest x.
  const std::vector<double> down{9, 7, 5, 3, 1};
  const MeasuredOnGrid on =
      measured_on_grid(down, std::vector<double>{0, 8}, std::vector<double>{0, 8}).on_grid;
  EXPECT_THAT(on.index, ElementsAre(1u, 2u, 3u, 4u));
  EXPECT_EQ(on.first, 1.0);
  EXPECT_EQ(on.last, 7.0);
  for (const auto& [range, spanned] :
       {std::pair{AxisRange{30, 20}, "0 points of the grid (from 1 to 10) within 20 to 30"},
        std::pair{AxisRange{4.5, 5.5}, "1 point of the grid (from 1 to 10) within 4.5 to 5.5"},
        std::pair{AxisRange{4.5, 6.5}, "2 points of the grid (from 1 to 10) within 4.5 to 6.5"}})
    EXPECT_EQ(
        measured_on_grid(grid, std::vector<double>{10, 0}, std::vector<double>{0, 1}, range).error,
        std::string("the measurement (from 0 to 10) spans ") + spanned + ": at least 3 are needed");
}

TEST(Scores, KeepTheirProperties) {
  const std::vector<double> f{0.1, 3, -2, 7.5, 0, 1e-3}, g{1, 2.5, -1, 6, 0.5, 0};
  for (double a : {1e-300, 0.25, 3.0, 1e300}) {
    std::vector<double> af = f, affine = g;
    for (double& v : af) v *= a;
    for (double& v : affine) v = a * v - 17 * a;
    EXPECT_NEAR(*cosine(f, af), 1.0, 1e-15) << a;
    EXPECT_NEAR(*pearson(g, affine), 1.0, 1e-15) << a;
    EXPECT_NEAR(*pearson(f, affine), *pearson(f, g), 1e-14) << a;
    for (double& v : af) v = -v;
    EXPECT_NEAR(*cosine(f, af), -1.0, 1e-15) << a;
  }
  EXPECT_EQ(*cosine(f, g), *cosine(g, f));
  EXPECT_EQ(*pearson(f, g), *pearson(g, f));
  const std::vector<double> zero(6, 0.0), flat(6, 0.1), huge{1, 2, 3, 4, 5, INFINITY};
  EXPECT_EQ(cosine(f, zero), std::nullopt);
  EXPECT_EQ(cosine(huge, f), std::nullopt);
  EXPECT_EQ(pearson(flat, f), std::nullopt);
  EXPECT_EQ(pearson(f, flat), std::nullopt);
  EXPECT_NEAR(*cosine(flat, std::vector<double>(6, 7.0)), 1.0, 1e-15);
  const Enantiomer none = enantiomer(zero, f);
  EXPECT_FALSE(none.esi || none.s_e || none.s_mirror);
  EXPECT_EQ(none.verdict, Verdict::undecided);
}

TEST(Enantiomer, FlippingTheComputedSignsFlipsTheIndexAndTheVerdict) {
  const std::vector<double> f{1, 3, 0, -2, -4, 0.5}, g{0.8, 2.5, 0.2, -1.5, -4.5, 0.4};
  const Enantiomer same = enantiomer(f, g);
  std::vector<double> mirrored = f;
  for (double& v : mirrored) v = -v;
  const Enantiomer flipped = enantiomer(mirrored, g);
  EXPECT_EQ(same.verdict, Verdict::computed);
  EXPECT_EQ(flipped.verdict, Verdict::mirror);
  EXPECT_EQ(*flipped.esi, -*same.esi);
  EXPECT_EQ(*flipped.s_e, *same.s_mirror);
  EXPECT_GT(*same.s_e, 0.95);
  const Enantiomer exact = enantiomer(std::vector<double>{1, -1}, std::vector<double>{1, -1});
  EXPECT_EQ(*exact.s_e, 1.0);
  EXPECT_EQ(*exact.esi, 1.0);
  // A measurement of one sign alone: half the area matches either way.
  const Enantiomer even = enantiomer(std::vector<double>{1, -1}, std::vector<double>{1, 1});
  EXPECT_EQ(*even.esi, 0.0);
  EXPECT_EQ(even.verdict, Verdict::undecided);
}

// Gaussian bands of full width `fwhm` at positions * scale + shift.
std::vector<double> bands(const std::vector<double>& x, const std::vector<double>& position,
                          const std::vector<double>& intensity, const FitValues& v) {
  std::vector<double> y(x.size(), 0.0);
  for (std::size_t k = 0; k < position.size(); ++k)
    for (std::size_t i = 0; i < x.size(); ++i) {
      const double d = (x[i] - (position[k] * v.scale + v.shift)) / v.fwhm;
      y[i] += intensity[k] * std::exp(-4 * std::log(2.0) * d * d);
    }
  return y;
}

TEST(Fit, GivesBackTheParametersOfAMadeUpExperiment) {
  const std::vector<double> x = range_of(400, 2, 1801);
  const std::vector<double> position{800, 1200, 1450, 1700, 2900, 3100};
  const std::vector<double> intensity{40, -25, 60, 100, -30, 20};
  struct Case {
    std::vector<FitRange> ranges;
    FitValues truth, start;
    bool signed_spectrum;
  };
  const Case cases[] = {
      {{{FitParameter::scale, 0.9, 1.1}}, {0.962, 0, 20}, {1, 0, 20}, false},
      {{{FitParameter::scale, 0.9, 1.1}, {FitParameter::fwhm, 4, 60}},
       {0.962, 0, 13.7},
       {1, 0, 30},
       false},
      {{{FitParameter::shift, -40, 40}, {FitParameter::fwhm, 4, 60}},
       {1, 12.5, 25},
       {1, 0, 10},
       true},
      // A line list takes both: scale and shift trade off along a valley (a search
      // along one parameter at a time stopped at 1.0129 and 6.98); to 2e-4 and 0.2.
      {{{FitParameter::scale, 0.9, 1.1}, {FitParameter::shift, -40, 40}},
       {1.01, 12.5, 20},
       {1, 0, 20},
       false},
  };
  for (const Case& c : cases) {
    std::vector<double> measured = bands(x, position, intensity, c.truth);
    std::uint64_t state = 12345;  // deterministic noise: 1 % of the largest band
    for (double& v : measured) {
      state = state * 6364136223846793005u + 1442695040888963407u;
      v += (static_cast<double>(state >> 11) / 9007199254740992.0 - 0.5) * 2.0;
    }
    const MeasuredOnGrid on = measured_on_grid(x, x, measured).on_grid;
    const SpectrumAt at = [&](const FitValues& v) { return bands(x, position, intensity, v); };
    const FitRequest request{c.ranges, c.start, Score::cosine, c.signed_spectrum};
    const FitResult result = fit(on, at, request);
    EXPECT_NEAR(result.values.scale, c.truth.scale, 2e-4);
    EXPECT_NEAR(result.values.shift, c.truth.shift, 0.2);
    EXPECT_NEAR(result.values.fwhm, c.truth.fwhm, 0.2);
    EXPECT_GT(*result.after.cosine, *result.before.cosine);
    EXPECT_GT(*result.after.cosine, 0.99);
    EXPECT_LT(result.evaluations, 400u);
    if (c.signed_spectrum) {
      EXPECT_EQ(result.after.enantiomer->verdict, Verdict::computed);
    }
    const FitResult again = fit(on, at, request);  // the same bits every run
    EXPECT_EQ(again.values.scale, result.values.scale);
    EXPECT_EQ(again.values.fwhm, result.values.fwhm);
    EXPECT_EQ(again.evaluations, result.evaluations);
  }
}

TEST(ReportJson, HoldsTheKeysThatApplyAndNumbersThatReadBackExactly) {
  const std::vector<double> f{0.1, 0.3, -0.2}, g{0.2, 0.7, -0.1};
  CompareReport report{"exp.csv", 400.5, 0.1 + 0.2, 3, scores_of(f, g, false), {}, {}, false};
  nlohmann::json json = nlohmann::json::parse(report_json(report));
  EXPECT_EQ(json["experiment"], "exp.csv");
  EXPECT_EQ(json["range"][1].get<double>(), 0.1 + 0.2);
  EXPECT_EQ(json["scores"]["cosine"].get<double>(), *report.scores.cosine);
  EXPECT_FALSE(json.contains("fit") || json.contains("before") || json.contains("verdict") ||
               json["scores"].contains("esi"));
  report.signed_spectrum = true;
  report.scores = scores_of(f, std::vector<double>(3, 0.0), true);
  report.fit = FitResult{{0.97, 0, 12.25}, 41, scores_of(f, g, true), report.scores};
  report.fitted = {FitParameter::scale, FitParameter::fwhm};
  json = nlohmann::json::parse(report_json(report));
  EXPECT_EQ(json["fit"],
            nlohmann::json::parse(R"({"scale": 0.97, "fwhm": 12.25, "evaluations": 41})"));
  EXPECT_TRUE(json["scores"]["esi"].is_null());
  EXPECT_TRUE(json["scores"]["cosine"].is_null());
  EXPECT_EQ(json["before"]["s_e"].get<double>(), *report.fit->before.enantiomer->s_e);
  EXPECT_EQ(json["verdict"], "no decision");
}

}  // namespace
}  // namespace broaden
