#include "records/classic_spectrum.h"

#include <memory>
#include <vector>

#include "records/spectrum_writer.h"
#include "synthesis/engine.h"

namespace broaden {

namespace {
// Four decimals: an interval wider than one unit of the last place never
// settles its field inside the range.
constexpr double kFieldResolution = 1e-4;
}  // namespace

std::size_t write_classic_spectrum(std::ostream& out, std::span<const double> frequency,
                                   std::span<const double> intensity, double width,
                                   unsigned threads) {
  const auto spectrum = std::make_unique<SpectrumBounds>();
  build_grid(spectrum->w);
  bracket_peaks(frequency, intensity, width, spectrum->w, spectrum->low, spectrum->high,
                {.threads = threads, .resolution = kFieldResolution});
  const std::vector<std::size_t> points = unsettled_points(spectrum->low, spectrum->high);
  std::vector<double> values(points.size());
  straightforward_points(frequency, intensity, width, spectrum->w, points, values, threads);
  for (std::size_t j = 0; j < points.size(); ++j) spectrum->low[points[j]] = values[j];
  write_spectrum(out, spectrum->w, spectrum->low);
  return points.size();
}

}  // namespace broaden
