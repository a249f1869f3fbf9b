// The Voigt terms of add_profiles (line_profiles.h): libcerf's voigt near a
// line, and far from it a sum of Lorentzians that needs no Faddeeva call.
// Internal to the line-shape library; its tests and benchmarks use it to
// compare the regions and the evaluation paths.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "line_shapes/line_profiles.h"

namespace broaden::detail {

/// Relative error bound of a far term against the exact Voigt profile
/// (a term is voigt(d, sigma, gamma) * amplitude, as line_profiles.h writes it):
///   2.0e-14 = truncation (at most 2.8e-15, see below) + rounding (at most 64
///   units of 2^-53 = 7.2e-15, first order) with room to spare.
/// Against libcerf's voigt, far terms stay within 5e-14 relative: libcerf's own error
/// there, measured against 40-digit values, reaches 2.7e-14 just inside |x| = 8 for small y
/// (where it takes its own algorithm rather than its continued fraction), the far terms'
/// 3e-15. The tests hold far terms to 1e-13 of libcerf, the whole spectrum too.
inline constexpr double kVoigtFarRelativeError = 2.0e-14;

/// One Voigt shape, in the Faddeeva function's units: with
/// x = d / (sigma sqrt 2) and y = gamma / (sigma sqrt 2),
///   voigt(d, sigma, gamma) = Re w(x + i y) / (sigma sqrt(2 pi)).
///
/// Regions (per point, y is the same for every line):
///   near    |x| < far_from(): libcerf's voigt(d, sigma, gamma), as before.
///   far     far_from() <= |x| < outer_from(), y < 2^50: 12-point Gauss-Hermite
///           quadrature of Re w = (y / pi) * integral of exp(-t^2) / ((x - t)^2 + y^2) dt,
///             Re w ~ (y / sqrt(pi)) * sum over nodes t_j of v_j / ((x - t_j)^2 + y^2),
///           v_j = the normalised weights (sum 1): six symmetric pairs, each pair
///           v (A + B) / (A B) with A = (x - t)^2 + y^2, B = (x + t)^2 + y^2, the pairs
///           joined three by three into two fractions. Every quantity is positive: no
///           cancellation, so the bound is on the real part itself (which near the real
///           axis is only of order y / |z|^2, far below |w|).
///   outer   |z| >= 32 (|x| >= outer_from() = max(far_from(), sqrt(max(0, 1024 - y^2))),
///           and not remote): the same with the 6-point rule, three pairs in one fraction.
///           Its truncation, checked as the far one's, is at most 1.3e-16 at |z| = 32.
///   remote  |x| >= 2^50 or y >= 2^50 (finite): the one-node form
///           Re w = y / (sqrt(pi) (x^2 + y^2)), scaled so nothing overflows; its relative
///           error is below 1.5 / |z|^2 < 2e-30.
///   Non-finite x (a non-finite position or grid value) goes to libcerf.
///
/// far_from() = max(sqrt(max(0, 64 - y^2)), X_e(y)): |z| >= 8, and for y < 1 also
/// x^2 >= X_e^2 = 37 + ln(sqrt(pi) (X_e^2 + 1) / y), where exp(-x^2) (the part of Re w
/// on the real axis that no quadrature of this kind holds) is below 2.4e-16 of
/// y / (sqrt(pi) |z|^2) <= Re w. X_e is 8.33 at y = 1e-12 and 27.1 at y = 1e-300.
///
/// Truncation: the quadrature error of Re w is -(1/pi) Im[q_12(z) / p_12(z)] (p_12 the
/// monic Hermite polynomial, q_12 its function of the second kind), to leading order
/// proportional to y / |z|^26 like Re w itself to y / |z|^2: about 12! 25 / (2^12 |z|^24)
/// relative. Checked against a 40-digit evaluation of Re w over y from 1e-12 to 1e6 and
/// x from the boundary outwards (and x = 0 for y >= 8): at most 2.75e-15, reached at
/// |z| = 8 on the real axis; it falls as |z|^-24 outwards.
///
/// Rounding: each operation rounded once (no fused multiply-add), every quantity
/// positive; the nodes and weights are the doubles nearest their exact values.
///
/// Paths: the far terms have a scalar loop and, on x86-64 processors with AVX2, a
/// four-lane loop with the very same operations in the same order: both give the same
/// bits.
///
///   sigma 1, gamma 1, d = 20 (x = 14.1): far, 0.00079978368006100359
///   (libcerf: 0.00079978368006100337); d = 100 (x = 70.7): outer, 3.1837356726598781e-05
///   (libcerf: 3.1837356726598775e-05)
class VoigtShape {
 public:
  /// sigma and gamma finite and > 0 (add_profiles checks).
  VoigtShape(double sigma, double gamma);

  double sigma() const { return sigma_; }
  double gamma() const { return gamma_; }
  /// x = d * to_x(), to_x() = 1 / (sigma sqrt 2) rounded once more.
  double to_x() const { return to_x_; }
  double y() const { return y_; }
  /// The near region is |x| < far_from().
  double far_from() const { return far_from_; }

  /// The outer region is |x| >= outer_from() (and not remote).
  double outer_from() const { return outer_from_; }

  enum class Region { near, far, outer, remote };
  Region region_of(double x) const;

  /// voigt(d, sigma, gamma) by the region's method (near: libcerf).
  double operator()(double d) const;
  /// libcerf's voigt(d, sigma, gamma).
  double libcerf(double d) const;
  /// The far formula at any finite x with |x| >= 4 (also inside the near region, for tests).
  double far(double d) const;

  /// The far sum S(x) = sum over pairs v (A + B) / (A B): voigt = S * y / (sigma pi sqrt 2).
  double far_sum(double x) const;
  /// The outer sum, as far_sum with the three pairs of the 6-point rule.
  double outer_sum(double x) const;
  /// y / (sigma pi sqrt 2), the factor of far_sum and outer_sum.
  double far_factor() const { return far_factor_; }

  /// Nodes t and weights v of a rule's positive half (the sums' constants).
  struct Pairs {
    double t[6];
    double v[6];
  };
  double y_squared() const { return y_squared_; }

 private:
  double remote_re_w(double x) const;

  double sigma_, gamma_, to_x_, y_, y_squared_, far_from_, outer_from_, far_factor_, remote_factor_;
};

/// Which far loop runs: the scalar one, or the fastest this processor has.
enum class VoigtPath { scalar, fastest };

/// Whether this build and processor have the four-lane far loop.
bool voigt_vector_available() noexcept;

/// The terms of one add_profiles call with the Voigt shape:
///   term_k(x) = voigt(x - position[k], sigma, gamma) * amplitude_k,
///   amplitude_k = intensity[k] (area) or intensity[k] / voigt(0, sigma, gamma) (height,
///   the peak from libcerf),
/// each term from its region's method (VoigtShape), libcerf's exactly as before near a line.
/// On an ascending grid each line's regions are found once by binary search with the very
/// operations of the term; otherwise each point is classed on its own, with the same result.
/// A line of finite position and finite, non-zero intensity whose amplitude or far amplitude
/// overflows (huge intensities, or height over a low peak) takes instead
///   term_k(x) = voigt(d, sigma, gamma) * amplitude_k, the product in long double rounded once,
/// voigt by its region's method at each point: finite wherever the true term is below DBL_MAX.
class VoigtTerms {
 public:
  VoigtTerms(std::span<const double> position, std::span<const double> intensity,
             const ProfileParameters& parameters, std::span<const double> x,
             VoigtPath path = VoigtPath::fastest);

  /// For i in [begin, end), k in table order: y[i] = term_k(x[i]) + y[i].
  void add(std::span<const double> x, std::span<double> y, std::size_t begin,
           std::size_t end) const;
  /// The same for line k alone.
  void add_line(std::span<const double> x, std::span<double> y, std::size_t begin, std::size_t end,
                std::size_t k) const;

 private:
  // [0, far_first) and [far_last, n): classed point by point; [far_first, far_left_last) and
  // [far_right_first, far_last): outer; [far_left_last, near_first) and
  // [near_last, far_right_first): far; [near_first, near_last): near.
  struct Window {
    std::size_t far_first, far_left_last, near_first, near_last, far_right_first, far_last;
  };
  void add_classed(const double* x, double* y, std::size_t a, std::size_t b, std::size_t k) const;
  template <bool kOuter>
  void add_far(const double* x, double* y, std::size_t a, std::size_t b, std::size_t k) const;

  bool is_wide(std::size_t k) const { return !wide_amplitude_.empty() && wide_amplitude_[k] != 0; }

  VoigtShape shape_;
  std::span<const double> position_;
  std::vector<double> amplitude_;  // multiplies voigt(d, sigma, gamma)
  // Per line where some line's amplitude overflows (else empty): 0, or the line's amplitude in
  // long double, which then multiplies voigt(d, sigma, gamma) instead.
  std::vector<long double> wide_amplitude_;
  std::vector<double> far_amplitude_;  // multiplies far_sum: amplitude * far_factor
  std::vector<Window> windows_;
  bool vector_;
};

}  // namespace broaden::detail
