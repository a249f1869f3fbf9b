// The portable loops of add_profiles, with the scalar exponential: the loops
// of profile_kernels_lanes.inc over one lane, and the rim loops.
#include <cmath>
#include <cstddef>

#include "line_shapes/profile_kernels.h"

namespace broaden::detail {
namespace {

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

void add_lorentzian_scalar(const double* x, double* y, std::size_t n,
                           const LorentzianTerm& term) noexcept {
  scalar::add_lorentzian<scalar::ScalarLanes>(x, y, n, term);
}

void add_pseudo_voigt_scalar(const double* x, double* y, std::size_t n,
                             const PseudoVoigtTerm& term) noexcept {
  scalar::add_pseudo_voigt<scalar::ScalarLanes>(x, y, n, term);
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
