// The fixed grid and the Gaussian broadening engine.
#pragma once

#include <array>
#include <cstddef>
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

/// The grid `w` and the spectrum `t`, grid point i at index i - 1.
struct Spectrum {
  std::array<double, kGridSize> w{};
  std::array<double, kGridSize> t{};
};

/// Fills the grid and clears the spectrum: w[i-1] is float(i) * 0.1f
/// multiplied in single precision and widened to double; t[i-1] is +0.0.
///
///   w[0] -> 0.10000000149011612, w[2] -> 0.30000001192092896,
///   w[19999] -> 2000.0
void build_grid(std::span<double, kGridSize> w, std::span<double, kGridSize> t) noexcept;

/// Which exponential the engine evaluates its terms with.
enum class ExpKernel {
  automatic,  ///< the four-lane AVX2 one where the processor has AVX2, else two-lane
  two_lane,   ///< the baseline two-lane vector exponential (any x86-64)
  four_lane,  ///< the four-lane AVX2 one; only where avx2_available()
  scalar,     ///< the scalar exponential of the mathematical library
};

/// True when this processor runs the four-lane kernel.
bool avx2_available() noexcept;

/// How add_peaks spreads its work; the result never depends on it.
struct EngineOptions {
  ExpKernel kernel = ExpKernel::automatic;
  unsigned threads = 0;  ///< 0: as many as pay (at most the processor's cores)
};

/// Adds to `t` one normalised Gaussian per peak, peaks in table order, in
/// exactly this order of double operations at every grid point:
///
///   g = (intensity / kNormalisation) / width
///   d = w - frequency
///   q = (d * d) / ((width + width) * width)
///   g = exp(-q) * g
///   t = g + t
///
/// `frequency` and `intensity` have the same size (the count of peaks).
/// The exponential is a vector one, within a few units in the last place of
/// the scalar exp; every other operation is rounded exactly as written, with
/// no fused multiply-add. Terms that are exactly zero (exp(-q) underflowing,
/// about 38.6 widths from the peak) are skipped: they change nothing, as `t`
/// starts at +0 and never becomes -0. Peaks with a non-finite amplitude or
/// frequency, or a width whose square under- or overflows, take every grid
/// point with the scalar exp, so that their infinities and NaNs spread
/// exactly as in the straightforward loop: a width of zero makes every t
/// NaN, a negative width flips every sign. Nothing is checked or reported.
///
/// Work is split into contiguous blocks of the grid, each summing all peaks
/// in table order: the result does not depend on the number of threads.
///
///   one peak of 100 at 1000.0, width 5.0 -> t[9999] = 7.97884... (7.9788)
void add_peaks(std::span<const double> frequency, std::span<const double> intensity, double width,
               std::span<const double, kGridSize> w, std::span<double, kGridSize> t,
               EngineOptions options = {});

}  // namespace broaden
