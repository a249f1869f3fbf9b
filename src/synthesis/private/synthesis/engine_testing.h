// What only the engine's tests and benchmarks use: the whole spectrum the
// straightforward way, the choice of the estimate's exponential, and one
// point at a time. Under the synthesis library's private include root.
#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "synthesis/engine.h"

namespace broaden {

/// The grid `w` and the spectrum `t`, grid point i at index i - 1.
struct Spectrum {
  std::array<double, kGridSize> w{};
  std::array<double, kGridSize> t{};
};

/// Fills the grid as above and clears the spectrum: t[i-1] is +0.0.
void build_grid(std::span<double, kGridSize> w, std::span<double, kGridSize> t) noexcept;

/// Which exponential the estimate of bracket_peaks uses, and the bound it
/// is trusted with (relative to exp(-q), in units of 2^-53).
enum class ExpKernel {
  automatic,  ///< the fastest this processor and build offer: with fma, the product
              ///< recurrence of window_kernels.h for each peak where its own bound
              ///< (from the width and the reach, at most 8192 units) allows, the
              ///< fma kernel elsewhere; without, the scalar exp
  scalar,     ///< the scalar exp of the mathematical library; 2 units
  fma,        ///< four lanes of AVX2 with fused multiply-adds and an exp of
              ///< its own (x86-64 builds); 32 + 3.02 q units at argument q;
              ///< only where fma_kernel_available()
  perturbed,  ///< for tests: the scalar exp moved up by 6 units; trusted with 16
};

/// True when this build and processor run the fma kernel.
bool fma_kernel_available() noexcept;

/// bracket_peaks with the estimate's exponential chosen; the intervals
/// hold the same values whatever the choice.
void bracket_peaks_with(ExpKernel kernel, std::span<const double> frequency,
                        std::span<const double> intensity, double width,
                        std::span<const double, kGridSize> w, std::span<double, kGridSize> low,
                        std::span<double, kGridSize> high, EngineOptions options = {});

/// Adds to `t` one normalised Gaussian per peak exactly as the
/// straightforward loop does (see the top of this header): the result is
/// that loop's, bit for bit, computed with the scalar exp. `frequency` and
/// `intensity` have the same size (the count of peaks).
///
/// Terms that are exactly zero (exp(-q) underflowing, about 38.6 widths from
/// the peak) are skipped: they change nothing, as `t` starts at +0 and never
/// becomes -0. At the rim of that reach a term is skipped only where it is
/// provably too small to change the sum. Peaks with a non-finite amplitude
/// or frequency, or a width whose square under- or overflows, take every
/// grid point, so that infinities and NaNs spread as in the loop: a width
/// of zero makes every t NaN, a negative width flips every sign.
///
///   one peak of 100 at 1000.0, width 5.0, t all +0
///     -> t[9999] = (100 / 2.5066280364990234) / 5 = 7.97884... (7.9788)
void add_peaks(std::span<const double> frequency, std::span<const double> intensity, double width,
               std::span<const double, kGridSize> w, std::span<double, kGridSize> t,
               unsigned threads = 0);

/// The straightforward value at one abscissa: the peaks in table order with
/// the scalar exp, from +0, skipping only terms that are exactly zero. Equal
/// bit for bit to t[i] of add_peaks when `abscissa` is w[i].
///
///   straightforward_point({1000.0}, {100.0}, 5.0, 1000.0) -> 7.978845608...
double straightforward_point(std::span<const double> frequency, std::span<const double> intensity,
                             double width, double abscissa) noexcept;

}  // namespace broaden
