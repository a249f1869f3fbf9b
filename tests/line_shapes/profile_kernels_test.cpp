// Each kernel set's Gaussian loop against exp computed in long double: the
// bound stated for the line shapes' exponential holds on dense arguments
// over the whole core (q from 0 to 700), for every kernel the processor runs.
#include "line_shapes/profile_kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace broaden::detail {
namespace {

// The bound of line_profiles.h, in units of 2^-53 relative to exp(-q) at
// the q the loop computes: the term's own rounding (one unit) included.
constexpr double kStatedUnits = 6.0;

TEST(ProfileKernels, GaussianTermsAreWithinTheStatedBoundOfExp) {
  // Points from the line out to q = 700 with spread 2: d up to about 37.4.
  const GaussianTerm term{0.0, 1.0, 2.0};
  std::vector<double> x;
  for (double d = 0.0; d * d / term.spread <= 700.0; d += 0.000731) x.push_back(d);
  for (const KernelSet& set : kernel_sets()) {
    std::vector<double> y(x.size(), 0.0);
    set.gaussian(x.data(), y.data(), x.size(), term);
    double worst = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
      const double q = (x[i] * x[i]) / term.spread;
      const long double exact = std::exp(-static_cast<long double>(q));
      const double units =
          static_cast<double>(std::fabs(static_cast<long double>(y[i]) - exact) / exact) * 0x1p53;
      worst = std::max(worst, units);
    }
    EXPECT_LE(worst, kStatedUnits) << set.name;
    RecordProperty(set.name, std::to_string(worst));
  }
}

}  // namespace
}  // namespace broaden::detail
