#include "synthesis/gaussian_terms.h"

#include <cmath>

namespace broaden::detail {

void add_gaussian_scalar(const double* x, double* y, std::size_t n,
                         const GaussianTerm& term) noexcept {
  for (std::size_t i = 0; i < n; ++i) {
    const double d = x[i] - term.position;
    const double q = (d * d) / term.spread;
    y[i] = std::exp(-q) * term.amplitude + y[i];
  }
}

void add_gaussian_rim(const double* x, double* y, std::size_t n,
                      const GaussianTerm& term) noexcept {
  const double unchanged = rim_unchanged_from(term.amplitude);
  for (std::size_t i = 0; i < n; ++i) {
    const double d = x[i] - term.position;
    const double q = (d * d) / term.spread;
    if (q >= kRimQ && !(std::fabs(y[i]) < unchanged)) continue;
    y[i] = std::exp(-q) * term.amplitude + y[i];
  }
}

}  // namespace broaden::detail
