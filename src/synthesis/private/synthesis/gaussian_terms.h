// The Gaussian term both engines add: the classic engine on its fixed grid
// and the Gaussian (and pseudo-Voigt) line shapes on any grid. Internal to
// the synthesis library and the line shapes.
#pragma once

#include <cmath>
#include <cstddef>
#include <span>
#include <utility>

namespace broaden::detail {

/// One line's quantities that every grid point shares. The term at x is
///   d = x - position,  q = (d * d) / spread,  exp(-q) * amplitude,
/// each operation rounded in double as written (no fused multiply-add).
struct GaussianTerm {
  double position;   ///< the line's position (the classic peak's frequency)
  double amplitude;  ///< the term's value at d = 0
  double spread;     ///< twice the variance: (sigma + sigma) * sigma
};

/// For i in [0, n): y[i] = exp(-q) * amplitude + y[i] at x[i], exp the C
/// library's scalar one: the straightforward loop of both engines.
///
///   x {1000}, y {0}, term {1000, 2, 50} -> y {2}
void add_gaussian_scalar(const double* x, double* y, std::size_t n,
                         const GaussianTerm& term) noexcept;

/// From this q on a term is below kRimTermBound times |amplitude|: exp(-708)
/// = 3.3057e-308, and the scalar exp, within a unit in the last place,
/// returns at most 3.31e-308; the rounded product with the amplitude is at
/// most 1.01 times that.
inline constexpr double kRimQ = 708.0;
inline constexpr double kRimTermBound = 3.31e-308 * 1.01;

/// The smallest |s| that a term with q >= kRimQ cannot change in
/// round-to-nearest: 2^54 times the term's bound (an exact scaling), for the
/// bound is then at most 2^-54 |s|, below half a unit in the last place of
/// s. Infinities and NaN stay as they are. 0 where the amplitude is 0.
inline double rim_unchanged_from(double amplitude) noexcept {
  constexpr double kTwoTo54 = 18014398509481984.0;
  return kTwoTo54 * (kRimTermBound * std::fabs(amplitude));
}

/// add_gaussian_scalar for the rim of a line's reach, where most terms are
/// subnormal: a point where q >= kRimQ and |y[i]| >= rim_unchanged_from is
/// left alone without computing the exponential. Bit for bit the result of
/// add_gaussian_scalar.
void add_gaussian_rim(const double* x, double* y, std::size_t n, const GaussianTerm& term) noexcept;

/// exp(-q) is exactly zero from q = 745.14 on (below half the least
/// subnormal): a line's reach is taken out to kZeroTermQ. Inside kCoreQ the
/// fast kernels stay on their fast paths and terms are normal doubles;
/// between the two, the rim, the scalar exp takes over.
inline constexpr double kZeroTermQ = 750.0;
inline constexpr double kCoreQ = 700.0;

/// The indices of a grid where a line's terms can be non-zero, [first,
/// last), and within them its core [core_first, core_last).
struct GaussianWindow {
  std::size_t first = 0;
  std::size_t core_first = 0;
  std::size_t core_last = 0;
  std::size_t last = 0;
  bool every_point = false;  ///< non-finite quantities: every point, scalar exp
  std::size_t size(std::size_t points) const { return every_point ? points : last - first; }
};

/// Where a grid's points stand, for a faster window: the first index whose
/// abscissa reaches v is within `margin` of floor(v * points_per_unit +
/// index_offset). Only a guess: every window is checked at its ends and
/// found exactly whatever the guess says.
struct GridGuess {
  double points_per_unit;
  double index_offset;
  double margin;
};

/// The window of `term` on the grid `x`. A term with a non-finite position,
/// amplitude or spread, or a spread not above 0, takes every point
/// (every_point); an amplitude of 0, none. On an ascending grid q, computed
/// as the loops do, never increases up to the first point at or past the
/// line and never decreases from there on (rounding is monotonic in each
/// operation), so each bound is a binary search: the window holds exactly
/// the points with q < kZeroTermQ and the core those with q <= kCoreQ, each
/// search narrowed first to the points about the right distance away (by
/// `guess` where given, else by comparing abscissae) and widened again where
/// that narrowing does not hold the crossing. A grid not in ascending order
/// gets the whole grid as rim.
///
///   term {1000, 1, 50}, x = 0.1, 0.2, ... 2000 -> first 9806, last 10194
GaussianWindow gaussian_window(const GaussianTerm& term, std::span<const double> x, bool ascending,
                               const GridGuess* guess = nullptr) noexcept;

/// The indices [a, b) within [from, to) of an ascending grid where the
/// term's q (as the loops compute it) is at most q_limit; a == b where none.
std::pair<std::size_t, std::size_t> points_within(const GaussianTerm& term,
                                                  std::span<const double> x, double q_limit,
                                                  std::size_t from, std::size_t to,
                                                  const GridGuess* guess = nullptr) noexcept;

}  // namespace broaden::detail
