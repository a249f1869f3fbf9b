#include "synthesis/engine.h"

#include <algorithm>
#include <cmath>

namespace broaden {

void build_grid(std::span<double, kGridSize> w, std::span<double, kGridSize> t) noexcept {
  for (std::size_t i = 0; i < kGridSize; ++i) {
    // A single-precision product, rounded to float before it is widened.
    const float abscissa = static_cast<float>(i + 1) * kGridStep;
    w[i] = static_cast<double>(abscissa);
    t[i] = 0.0;
  }
}

void add_peaks(std::span<const double> frequency, std::span<const double> intensity, double width,
               std::span<const double, kGridSize> w, std::span<double, kGridSize> t,
               std::span<double, kGridSize> g) noexcept {
  const std::size_t count = std::min(frequency.size(), intensity.size());
  for (std::size_t k = 0; k < count; ++k) {
    for (std::size_t i = 0; i < kGridSize; ++i) {
      g[i] = (intensity[k] / kNormalisation) / width;
      const double d = w[i] - frequency[k];
      const double q = (d * d) / ((width + width) * width);
      g[i] = std::exp(-q) * g[i];
      t[i] = g[i] + t[i];
    }
  }
}

}  // namespace broaden
