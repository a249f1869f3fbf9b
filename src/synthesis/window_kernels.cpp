#include "synthesis/window_kernels.h"

#include <cmath>

namespace broaden::detail {

#ifndef BROADEN_HAVE_X86_KERNELS
bool fma_kernel_available() noexcept { return false; }
#endif

void add_terms_perturbed(const double* w, double* t, std::size_t n,
                         const GaussianTerm& peak) noexcept {
  // 1 + 6 * 2^-53: the product lands within 7 units of 2^-53 of exp(-q)'s
  // scalar value, so within 9 of exp(-q); it is trusted with 16.
  constexpr double kUp = 1.0 + 6.0 / 9007199254740992.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double d = w[i] - peak.position;
    const double q = (d * d) / peak.spread;
    t[i] = (std::exp(-q) * kUp) * peak.amplitude + t[i];
  }
}

}  // namespace broaden::detail
