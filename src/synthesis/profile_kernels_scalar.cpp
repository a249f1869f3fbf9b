// The portable loops of add_profiles, with the scalar exponential.
#include <cmath>

#include "synthesis/profile_kernels.h"

namespace broaden::detail {
namespace {

// exp(-q) < 3.31e-308 from q = 708 on (exp(-708) = 3.3057e-308), and a
// product with an amplitude a rounds to at most 1.01 * 3.31e-308 * |a|,
// this bound: with a subnormal product the rounding adds at most 2^-1075,
// which is why the margin is 1% and not a unit in the last place (a bound
// that itself rounds to 0 means the product rounds to +-0). A term that
// small is below 2^-54 |s| for any |s| >= 2^54 * bound, that is below half
// a unit in the last place of s, so s + term rounds to s in round-to-nearest
// (infinities and NaN included).
constexpr double kSubnormalQ = 708.0;
constexpr double kTermBound = 3.31e-308 * 1.01;
constexpr double kTwoTo54 = 18014398509481984.0;

// The smallest |s| that a Gaussian term with q >= kSubnormalQ cannot change.
double unchanged_from(const GaussianTerm& term) {
  return kTwoTo54 * (kTermBound * std::fabs(term.amplitude));
}

}  // namespace

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
  const double unchanged = unchanged_from(term);
  for (std::size_t i = 0; i < n; ++i) {
    const double d = x[i] - term.position;
    const double q = (d * d) / term.spread;
    if (q >= kSubnormalQ && !(std::fabs(y[i]) < unchanged)) continue;
    y[i] = std::exp(-q) * term.amplitude + y[i];
  }
}

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
  const double unchanged = unchanged_from(g);
  for (std::size_t i = 0; i < n; ++i) {
    const double d = x[i] - g.position;
    const double dd = d * d;
    const double lorentzian = l.numerator / (dd + l.gamma_squared);
    const double q = dd / g.spread;
    // The Gaussian part is added to the Lorentzian one first.
    const double sum = q >= kSubnormalQ && !(std::fabs(lorentzian) < unchanged)
                           ? lorentzian
                           : lorentzian + std::exp(-q) * g.amplitude;
    y[i] = sum + y[i];
  }
}

}  // namespace broaden::detail
