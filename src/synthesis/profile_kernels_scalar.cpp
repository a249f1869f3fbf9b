// The portable loops of add_profiles, with the scalar exponential: the loops
// of profile_kernels_lanes.inc over one lane, and the rim loops.
#include <cmath>
#include <cstddef>

#include "synthesis/profile_kernels.h"

namespace broaden::detail {
namespace {

// From q = 708 on, exp(-q) <= exp(-708) = 3.3057e-308 < kTermBound, and
// the scalar exp (within a unit in the last place) returns at most that too.
// Rounding is monotonic, so the term |fl(exp(-q) * a)| is at most
// B = fl(kTermBound * |a|). For any s with |s| >= 2^54 * B (an exact
// scaling), B <= 2^-54 |s|, strictly below half a unit in the last place of
// s: s + term rounds back to s (infinities and NaN stay as they are). B = 0
// means the term is +-0.
constexpr double kSubnormalQ = 708.0;
constexpr double kTermBound = 3.31e-308;
constexpr double kTwoTo54 = 18014398509481984.0;

// The smallest |s| that a Gaussian term with q >= kSubnormalQ cannot change.
double unchanged_from(const GaussianTerm& term) {
  return kTwoTo54 * (kTermBound * std::fabs(term.amplitude));
}

// One lane: the plain scalar operations and the C library's exp.
namespace scalar {

struct ScalarLanes {
  using Vec = double;
  static constexpr std::size_t kWidth = 1;
  static Vec load(const double* p) { return *p; }
  static void store(double* p, Vec v) { *p = v; }
  static Vec set1(double v) { return v; }
  static Vec add(Vec a, Vec b) { return a + b; }
  static Vec sub(Vec a, Vec b) { return a - b; }
  static Vec mul(Vec a, Vec b) { return a * b; }
  static Vec div(Vec a, Vec b) { return a / b; }
  static Vec negate(Vec a) { return -a; }
  static Vec exp(Vec a) { return std::exp(a); }
};

#include "profile_kernels_lanes.inc"

}  // namespace scalar
}  // namespace

void add_gaussian_scalar(const double* x, double* y, std::size_t n,
                         const GaussianTerm& term) noexcept {
  scalar::add_gaussian<scalar::ScalarLanes>(x, y, n, term);
}

void add_lorentzian_scalar(const double* x, double* y, std::size_t n,
                           const LorentzianTerm& term) noexcept {
  scalar::add_lorentzian<scalar::ScalarLanes>(x, y, n, term);
}

void add_pseudo_voigt_scalar(const double* x, double* y, std::size_t n,
                             const PseudoVoigtTerm& term) noexcept {
  scalar::add_pseudo_voigt<scalar::ScalarLanes>(x, y, n, term);
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
