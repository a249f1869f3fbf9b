#include "synthesis/window_kernels.h"

#include <cmath>

namespace broaden::detail {
void add_terms_scalar(const double* w, double* t, std::size_t n, const PeakTerm& peak) noexcept {
  for (std::size_t i = 0; i < n; ++i) {
    const double d = w[i] - peak.frequency;
    const double q = (d * d) / peak.spread;
    t[i] = std::exp(-q) * peak.amplitude + t[i];
  }
}

void add_terms_rim(const double* w, double* t, std::size_t n, const PeakTerm& peak) noexcept {
  // exp(-q) < 3.31e-308 from q = 708 on, and the product with the amplitude
  // rounds to at most 1.01 times that bound. Such a term is below half a
  // unit in the last place of any |t| of 2^54 times it or more, so adding it
  // returns t unchanged (NaN and infinities included).
  constexpr double kSubnormalQ = 708.0;
  constexpr double kTermBound = 3.31e-308 * 1.01;
  constexpr double kTwoTo54 = 18014398509481984.0;
  const double unchanged_from = kTwoTo54 * (kTermBound * std::fabs(peak.amplitude));
  for (std::size_t i = 0; i < n; ++i) {
    const double d = w[i] - peak.frequency;
    const double q = (d * d) / peak.spread;
    if (q >= kSubnormalQ && !(std::fabs(t[i]) < unchanged_from)) continue;
    t[i] = std::exp(-q) * peak.amplitude + t[i];
  }
}

void add_terms_perturbed(const double* w, double* t, std::size_t n, const PeakTerm& peak) noexcept {
  // 1 + 6 * 2^-53: the product lands within 7 units of 2^-53 of exp(-q)'s
  // scalar value, so within 9 of exp(-q); it is trusted with 16.
  constexpr double kUp = 1.0 + 6.0 / 9007199254740992.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double d = w[i] - peak.frequency;
    const double q = (d * d) / peak.spread;
    t[i] = (std::exp(-q) * kUp) * peak.amplitude + t[i];
  }
}

}  // namespace broaden::detail
