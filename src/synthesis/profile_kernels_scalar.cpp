// The portable loops of add_profiles, with the scalar exponential.
#include <cmath>

#include "synthesis/profile_kernels.h"

namespace broaden::detail {
void add_lorentzian_scalar(const double* x, double* y, std::size_t n,
                           const LorentzianTerm& term) noexcept {
  for (std::size_t i = 0; i < n; ++i) {
    const double d = x[i] - term.position;
    y[i] = term.numerator / (d * d + term.gamma_squared) + y[i];
  }
}

void add_pseudo_voigt_scalar(const double* x, double* y, std::size_t n,
                             const PseudoVoigtTerm& term) noexcept {
  const GaussianTerm& g = term.gaussian;
  const LorentzianTerm& l = term.lorentzian;
  for (std::size_t i = 0; i < n; ++i) {
    const double d = x[i] - g.position;
    const double dd = d * d;
    const double lorentzian = l.numerator / (dd + l.gamma_squared);
    y[i] = (lorentzian + std::exp(-(dd / g.spread)) * g.amplitude) + y[i];
  }
}

void add_pseudo_voigt_rim(const double* x, double* y, std::size_t n,
                          const PseudoVoigtTerm& term) noexcept {
  const GaussianTerm& g = term.gaussian;
  const LorentzianTerm& l = term.lorentzian;
  const double unchanged = rim_unchanged_from(g.amplitude);
  for (std::size_t i = 0; i < n; ++i) {
    const double d = x[i] - g.position;
    const double dd = d * d;
    const double lorentzian = l.numerator / (dd + l.gamma_squared);
    const double q = dd / g.spread;
    // The Gaussian part is added to the Lorentzian one first.
    const double sum = q >= kRimQ && !(std::fabs(lorentzian) < unchanged)
                           ? lorentzian
                           : lorentzian + std::exp(-q) * g.amplitude;
    y[i] = sum + y[i];
  }
}

}  // namespace broaden::detail
