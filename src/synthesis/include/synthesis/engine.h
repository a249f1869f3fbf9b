// The fixed grid and the Gaussian broadening engine.
//
// The spectrum is defined by the straightforward loop: every peak at every
// grid point, peaks in table order, in double with round-to-nearest and no
// fused multiply-add, exp the C library's scalar one:
//
//   g = (intensity / kNormalisation) / width
//   d = w - frequency
//   q = (d * d) / ((width + width) * width)
//   g = exp(-q) * g
//   t = g + t
//
// straightforward_points computes exactly that, bit for bit, at the points
// asked for. bracket_peaks is the fast way to the same spectrum file: a quick estimate of each t
// and a proven bound on its distance from the straightforward value. The spectrum writer formats
// both ends of that interval; rounding to four decimals is monotone inside the field's range, so
// equal fields there prove the record. Past the range every value prints the same asterisks: equal
// asterisk fields prove it only where both ends lie past the same limit (at least 10^7, or at most
// -10^6), never where the interval reaches into the range or across it.
// Every other point is recomputed the straightforward way
// (straightforward_points).
//
// When the bound cannot settle the points, the straightforward way is taken
// at once rather than after the estimate: where peaks that take every grid
// point with the scalar exp (non-finite quantities, a width whose square
// under- or overflows) make half the work or more, the whole spectrum; and,
// given the widest interval the caller can use (EngineOptions::resolution,
// 10^-4 for four decimals), a block of the grid where more than one point in
// eight has a wider interval, as a whole, the other wide points one by one.
// With peaks of both signs the sum of magnitudes is estimated first, and a
// block where twice the bound exceeds the resolution at more than one point
// in eight is taken the straightforward way before its estimate is made.
// So no input costs much more than the estimate plus the straightforward sum
// over the peaks' windows, on every core.
//
// Why the bound holds. At one grid point let n terms be visited (the peaks
// whose window holds the point), P the sum of |amplitude| * exp(-q) over them
// in exact arithmetic, q the straightforward argument, u = 2^-53. Both
// computations take the same amplitude, bit for bit. Assumed: the scalar exp is
// within 1 unit in the last place of exp(-q) (glibc's exp is designed to stay
// well inside that; window_kernels_test checks it against a long double exp on
// dense arguments). Each kernel of the estimate states its own bound rho
// relative to exp(-q), its own way to the argument included (window_kernels.h);
// inside the near part or core of a window exp(-q) >= e^-700 is a normal
// double, and a rim takes the scalar exp in both. Each product is then within
// (2u+u) resp. (rho+u) of its exact value, so the two terms differ by at most
// (4u+rho) times |amplitude| exp(-q), plus 2^-1074 where a product is
// subnormal. A sum of n terms taken in order from +0 is off the exact sum of
// its terms by at most u times the sum of its partial sums, at most n u (1+u)^n
// times the sum of the |terms|. Both sums' |terms| add to at most (1+rho+3u) P,
// so, for n below 2^26 and rho below 2^-20,
//
//   |straightforward - estimate| <= 1.01 (2n + 4 + rho/u) u P + tiny,
//
// where tiny covers subnormal products and the terms the estimate leaves
// out: rim terms (each under 3.4e-308 |amplitude|) that provably cannot
// change its sum, and the far terms of each peak, where q exceeds
// 40 + ln(max(1, |amplitude|)) (about 9 widths out), each under e^-40. With
// n counting every term that can be non-zero at the point, left out or not,
// and amax the largest |amplitude|, tiny is n (2^-1020 amax + 2^-1070 +
// 4.3e-18). P is at most 1.01 times the estimate's |sum| when all
// amplitudes share a sign, and otherwise at most 1.01 times an estimate of
// the sum of |terms| taken alongside. The engine uses
// 2.05 (n + 2 + rho/2u) u P + tiny, rho the largest of its kernels' bounds
// for the table, which also covers the rounding of the bound's evaluation,
// and widens the interval by 2^-50 of bound + |estimate| (and 2^-1074) for
// the rounding of its two ends. Where the estimate or the bound is not
// finite, or P is beyond 2^1000 (a partial sum could overflow), the point is
// recomputed the straightforward way at once.
//
// Signs. The straightforward sum starts at +0 and never becomes -0 (x + -0
// is x, and x + -x is +0 in round-to-nearest). When every amplitude is
// positive (or zero) it is +0 or positive, and the interval is cut at +0
// below; when every one is negative it is +0 or negative, and the interval
// is cut at +0 above. So -0.0000 is written only where proven, and a point
// that no window reaches is exactly +0.
#pragma once

#include <array>
#include <cstddef>
#include <limits>
#include <span>

namespace broaden {

/// Points on the grid: abscissae 0.1, 0.2, ... 2000.0.
inline constexpr std::size_t kGridSize = 20000;

/// The single-precision step of the grid, 0.10000000149011612 when widened.
inline constexpr float kGridStep = 0.1f;

/// The normalisation constant: the single-precision value of 2.506628,
/// 2.5066280364990234, used in double precision. It is not the double
/// square root of 2 pi (2.5066282746310002): the spectrum depends on it.
inline constexpr double kNormalisation = static_cast<double>(2.506628f);

/// The grid and, at every point, an interval holding the straightforward
/// spectrum value (bracket_peaks).
struct SpectrumBounds {
  std::array<double, kGridSize> w{};
  std::array<double, kGridSize> low{};
  std::array<double, kGridSize> high{};
};

/// Fills the grid: w[i-1] is float(i) * 0.1f multiplied in single precision
/// and widened to double.
///
///   w[0] -> 0.10000000149011612, w[2] -> 0.30000001192092896,
///   w[19999] -> 2000.0
void build_grid(std::span<double, kGridSize> w) noexcept;

/// How the work is spread; the result never depends on it.
struct EngineOptions {
  unsigned threads = 0;  ///< 0: as many as pay (at most usable_processors())
  /// The widest interval of use to the caller: a point whose interval would
  /// be wider is given its straightforward value at once (low == high).
  /// Infinity: every interval is kept as the bound gives it.
  double resolution = std::numeric_limits<double>::infinity();
};

/// Sets low[i] and high[i] so that the straightforward value at point i
/// (the loop at the top of this header, from t = +0) lies in [low[i], high[i]]; where the two are
/// the same double (bit for bit, NaN included) that is the value itself.
/// Both ends are finite unless they are equal; neither is -0.0 unless the
/// value is. The interval is narrow (about (2n + 10) 2^-53 of the sum of
/// the n terms' magnitudes), so both ends nearly always round to the same
/// fixed-point field. Each interval holds the same value whatever the
/// options; with a finite resolution, a point whose interval would be wider
/// gets low == high, its value.
///
///   one peak of 100 at 1000.0, width 5.0
///     -> low[9999] <= 7.978845608... <= high[9999], both 7.9788 to 4 places
void bracket_peaks(std::span<const double> frequency, std::span<const double> intensity,
                   double width, std::span<const double, kGridSize> w,
                   std::span<double, kGridSize> low, std::span<double, kGridSize> high,
                   EngineOptions options = {});

/// values[j] = the straightforward value at grid point points[j] (an index
/// from 0, below kGridSize), the loop's, bit for bit,
/// for j below the smaller of the two sizes; the points are shared among
/// `threads` threads (0: as many as pay), which change nothing.
///
///   peaks {1000.0: 100.0}, width 5, points {9999} -> values {7.978845608...}
void straightforward_points(std::span<const double> frequency, std::span<const double> intensity,
                            double width, std::span<const double, kGridSize> w,
                            std::span<const std::size_t> points, std::span<double> values,
                            unsigned threads = 0);

}  // namespace broaden
