// The cutoff of add_profiles: each line adds exactly the terms within its
// reach and nothing else, what it leaves out stays within the stated bounds,
// and the work scheduled by the lines' reach changes no bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>
#include <vector>

#include "line_shapes/line_profiles.h"
#include "line_shapes/profile_kernels.h"
#include "row_parameters.h"

namespace broaden {
namespace {

using Vector = std::vector<double>;

struct Lines {
  Vector position, intensity, width;
};

Lines random_lines(std::size_t count, unsigned seed, double from, double to, bool widths) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> where(from, to), strength(-5.0, 100.0), wide(0.5, 8.0);
  Lines lines;
  for (std::size_t k = 0; k < count; ++k) {
    lines.position.push_back(where(random));
    lines.intensity.push_back(strength(random));
    if (widths) lines.width.push_back(wide(random));
  }
  return lines;
}

Vector even_grid(double from, double step, std::size_t points) {
  Vector x(points);
  for (std::size_t j = 0; j < points; ++j) x[j] = from + step * static_cast<double>(j);
  return x;
}

Vector spectrum(const detail::KernelSet& kernels, const Lines& lines, const ProfileParameters& p,
                const Vector& x, unsigned threads = 0) {
  Vector y(x.size(), 0.0);
  detail::add_profiles_with(kernels, lines.position, lines.intensity, lines.width, p, x, y,
                            threads);
  return y;
}

// Each line's full width, as the cutoff measures it: its row's, with its own width.
double fwhm_of(ProfileParameters p, const Lines& lines, std::size_t k) {
  const LineShapeRow& row = *line_shape_row(p.shape);
  if (!lines.width.empty()) p.*row.line_width = lines.width[k];
  return row.fwhm(p);
}

// The cut spectrum the straightforward way: line after line in table order,
// each added (as its own spectrum, without a cutoff) only within its reach.
Vector cut_by_hand(const detail::KernelSet& kernels, const Lines& lines, ProfileParameters p,
                   const Vector& x) {
  const double cutoff = p.cutoff;
  p.cutoff = 0.0;
  Vector y(x.size(), 0.0);
  for (std::size_t k = 0; k < lines.position.size(); ++k) {
    Lines one{{lines.position[k]}, {lines.intensity[k]}, {}};
    if (!lines.width.empty()) one.width = {lines.width[k]};
    const Vector term = spectrum(kernels, one, p, x, 1);
    const double reach = cutoff * fwhm_of(p, lines, k);
    for (std::size_t i = 0; i < x.size(); ++i) {
      if (std::fabs(x[i] - lines.position[k]) <= reach) y[i] = term[i] + y[i];
    }
  }
  return y;
}

ProfileParameters shape(const LineShapeRow& row, double cutoff) {
  ProfileParameters p = test::row_parameters(row, Normalisation::area, 1.0);
  p.sigma = 1.3;
  p.gamma = 0.9;
  p.fwhm = 2.2;
  p.cutoff = cutoff;
  return p;
}

class Cutoff : public ::testing::TestWithParam<detail::KernelSet> {};
INSTANTIATE_TEST_SUITE_P(KernelSets, Cutoff, ::testing::ValuesIn(detail::kernel_sets()),
                         [](const auto& set) { return std::string(set.param.name); });

// Bit for bit the lines' terms within reach, in table order, on an even grid
// (runs and per-block lists), a grid out of order (point by point), per-line
// widths, on one thread or several, and for reaches from a point or two to
// past the grid.
TEST_P(Cutoff, AddsExactlyTheTermsWithinEachLinesReach) {
  const Vector even = even_grid(-20.0, 0.15, 4000);
  Vector shuffled = even;
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937_64(7));
  for (const LineShapeRow& row : kLineShapes) {
    for (const double cutoff : {1.0, 2.5, 40.0, 1e6}) {
      for (const bool widths : {false, true}) {
        if (widths && row.line_width == nullptr) continue;  // no per-line width taken
        // Voigt costs a libcerf call a term near its line: fewer lines.
        const Lines lines =
            random_lines(row.shape == LineShape::voigt ? 20 : 120, 11, -30.0, 600.0, widths);
        const ProfileParameters p = shape(row, cutoff);
        SCOPED_TRACE(testing::Message()
                     << row.name << " cutoff " << cutoff << (widths ? " per-line widths" : ""));
        for (const Vector* x : {&even, static_cast<const Vector*>(&shuffled)}) {
          const Vector expected = cut_by_hand(GetParam(), lines, p, *x);
          for (const unsigned threads : {1u, 3u}) {
            const Vector y = spectrum(GetParam(), lines, p, *x, threads);
            ASSERT_EQ(y.size(), expected.size());
            for (std::size_t i = 0; i < y.size(); ++i)
              ASSERT_EQ(y[i], expected[i]) << "point " << i << " x " << (*x)[i];
          }
        }
      }
    }
  }
}

// What the cutoff leaves out, against the whole profile, point by point: no more than each
// line's own value at its reach, |x - position| = N FWHM, a line falling off from its peak on
// either side (nothing, for a line that ends within its reach). That is the bound line_profiles.h
// states for the Lorentzian and Gaussian parts, and within the one it states for Voigt. The sums
// may differ besides by their rounding.
TEST(CutoffBound, WhatIsLeftOutStaysWithinTheStatedBound) {
  const Vector x = even_grid(-200.0, 0.1, 6001);
  const Lines lines = random_lines(25, 3, -150.0, 350.0, false);
  double total = 0.0;  // the sum of |intensity|
  for (const double i : lines.intensity) total += std::fabs(i);
  const detail::KernelSet& kernels = detail::kernel_sets().back();
  for (const double n : {1.0, 3.0, 10.0}) {
    for (const LineShapeRow& row : kLineShapes) {
      const ProfileParameters cut = shape(row, n);
      ProfileParameters whole = cut;
      whole.cutoff = 0.0;
      const Vector a = spectrum(kernels, lines, cut, x), b = spectrum(kernels, lines, whole, x);
      // The bound per unit intensity at any point, of a line's left-out terms.
      const double bound =
          spectrum(kernels, {{0.0}, {1.0}, {}}, whole, Vector{n * row.fwhm(whole)})[0];
      double worst = 0.0;
      for (std::size_t i = 0; i < x.size(); ++i) {
        if (a[i] == b[i]) continue;
        const double rounding = 64 * std::numeric_limits<double>::epsilon() * std::fabs(b[i]);
        worst = std::max(worst, std::fabs(a[i] - b[i]) / (total * bound + rounding));
      }
      EXPECT_LE(worst, 1.0 + 1e-9) << row.name << " N " << n;
      // Something was cut, unless the line is nothing at its reach.
      if (bound > 0.0) {
        EXPECT_NE(a, b) << row.name << " N " << n;
      }
    }
  }
}

// The Voigt width the cutoff uses is the profile's measured half width.
TEST(VoigtFwhm, IsTheProfilesFullWidthAtHalfMaximum) {
  for (const double g : {0.0, 0.1, 1.0, 3.0, 10.0}) {
    for (const double l : {0.0, 0.1, 1.0, 3.0, 10.0}) {
      if (g == 0.0 && l == 0.0) continue;
      const double w = voigt_fwhm(g, l);
      EXPECT_GE(w, std::max(g, l) * (1 - 1e-15));
      if (g == 0.0 || l == 0.0) {
        EXPECT_NEAR(w, std::max(g, l), 2e-4 * w);  // a pure shape: its own width
        continue;
      }
      // Half the peak at w / 2, bisected on the profile itself.
      const ProfileParameters p{.shape = LineShape::voigt,
                                .normalisation = Normalisation::height,
                                .sigma = g / kFwhmPerSigma,
                                .gamma = l / 2};
      auto height = [&](double d) {
        Vector y(1, 0.0);
        add_profiles(Vector{0.0}, Vector{1.0}, {}, p, Vector{d}, y);
        return y[0];
      };
      double low = 0.0, high = 2 * w;
      for (int step = 0; step < 80; ++step) {
        const double middle = (low + high) / 2;
        (height(middle) > 0.5 ? low : high) = middle;
      }
      EXPECT_NEAR(w, 2 * low, 2.5e-4 * w) << "g " << g << " l " << l;
    }
  }
}

TEST(CutoffContract, RefusesACutoffBelowOneAndCountsProgress) {
  const Vector x = even_grid(0.0, 1.0, 5000);
  Vector y(x.size(), 0.0);
  for (const double cutoff : {0.5, -1.0, std::nan("")}) {
    ProfileParameters p = shape(*line_shape_row(LineShape::lorentzian), cutoff);
    EXPECT_THROW(add_profiles(Vector{1.0}, Vector{1.0}, {}, p, x, y), std::invalid_argument);
  }
  EXPECT_TRUE(std::all_of(y.begin(), y.end(), [](double v) { return v == 0.0; }));
  for (const LineShapeRow& row : kLineShapes) {
    for (const double cutoff : {0.0, 5.0}) {
      ProfileProgress progress;
      add_profiles(Vector{10.0, 4000.0}, Vector{1.0, 2.0}, {}, shape(row, cutoff), x, y, 0,
                   &progress);
      EXPECT_EQ(progress.points_done.load(), x.size());
    }
  }
}

}  // namespace
}  // namespace broaden
