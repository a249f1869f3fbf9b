// The straightforward synthesis loop: every peak at every grid point with
// the scalar exponential, in the order of operations the engine promises.
// The engine is checked against it, and the benchmark times it.
#pragma once

#include <cmath>
#include <cstddef>
#include <span>

#include "synthesis/engine_testing.h"

namespace broaden::testing {

inline void add_peaks_reference(std::span<const double> frequency,
                                std::span<const double> intensity, double width,
                                std::span<const double, kGridSize> w,
                                std::span<double, kGridSize> t, std::span<double, kGridSize> g) {
  for (std::size_t k = 0; k < frequency.size(); ++k) {
    for (std::size_t i = 0; i < kGridSize; ++i) {
      g[i] = (intensity[k] / kNormalisation) / width;
      const double d = w[i] - frequency[k];
      const double q = (d * d) / ((width + width) * width);
      g[i] = std::exp(-q) * g[i];
      t[i] = g[i] + t[i];
    }
  }
}

}  // namespace broaden::testing
