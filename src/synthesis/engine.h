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

/// The grid `w`, the spectrum `t` and the scratch `g`, point i of the
/// description at index i - 1.
struct Spectrum {
  std::array<double, kGridSize> w{};
  std::array<double, kGridSize> t{};
  std::array<double, kGridSize> g{};
};

/// Fills the grid and clears the spectrum: w[i-1] is float(i) * 0.1f
/// multiplied in single precision and widened to double; t[i-1] is +0.0.
///
///   w[0] -> 0.10000000149011612, w[2] -> 0.30000001192092896,
///   w[19999] -> 2000.0
void build_grid(std::span<double, kGridSize> w, std::span<double, kGridSize> t) noexcept;

/// Adds to `t` one normalised Gaussian per peak, peaks in table order, every
/// grid point for every peak, in exactly this order of double operations:
///
///   g = (intensity / kNormalisation) / width
///   d = w - frequency
///   q = (d * d) / ((width + width) * width)
///   g = exp(-q) * g
///   t = g + t
///
/// `frequency` and `intensity` have the same size (the count of peaks); `g`
/// holds the last peak's contributions afterwards. Nothing is checked: a
/// width of zero makes every t NaN, a negative width flips every sign.
///
///   one peak of 100 at 1000.0, width 5.0 -> t[9999] = 7.97884... (7.9788)
void add_peaks(std::span<const double> frequency, std::span<const double> intensity, double width,
               std::span<const double, kGridSize> w, std::span<double, kGridSize> t,
               std::span<double, kGridSize> g) noexcept;

}  // namespace broaden
