#include "synthesis/engine.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "synthesis/window_kernels.h"

namespace broaden {
namespace {

using detail::PeakTerm;

// exp(-q) is exactly zero from q = 745.14 on; the reach of a peak is taken
// out to q = 750, a margin far beyond the rounding of d * d / spread.
constexpr double kZeroTermQ = 750.0;

// Grid point n lies within 1.5e-4 of n / 10: two points of margin on each
// side of a window cover that with room to spare.
constexpr double kPointMargin = 2.0;

// Inside q = 700 the vector exponentials stay on their fast path; beyond it
// (the rim of a peak's reach, where terms turn subnormal) the scalar one
// takes over, and most rim terms are too small to change the sum at all.
constexpr double kCoreQ = 700.0;

// Grid points per block of work handed to a thread.
constexpr std::size_t kBlockSize = 1000;

// Below this many terms in all, a second thread costs more than it saves.
constexpr std::size_t kTermsPerExtraThread = 200'000;

// The grid indices [first, last) where a peak's terms can be non-zero, and
// within them its core [core_first, core_last).
struct Window {
  std::uint32_t first = 0;
  std::uint32_t last = 0;
  std::uint32_t core_first = 0;
  std::uint32_t core_last = 0;
  bool whole_grid_scalar = false;  // non-finite quantities: every point, scalar exp

  std::size_t size() const { return whole_grid_scalar ? kGridSize : last - first; }
};

PeakTerm term_of(double frequency, double intensity, double width) {
  return PeakTerm{frequency, (intensity / kNormalisation) / width, (width + width) * width};
}

Window window_of(const PeakTerm& peak) {
  Window window;
  if (!std::isfinite(peak.frequency) || !std::isfinite(peak.amplitude) ||
      !std::isfinite(peak.spread) || !(peak.spread > 0.0)) {
    window.whole_grid_scalar = true;
    return window;
  }
  if (peak.amplitude == 0.0) return window;  // every term is a zero

  // Grid point n (index n - 1) from the reach on each side of the peak;
  // margins widen the window and narrow the core.
  auto index_range = [&](double q, double margin, std::uint32_t low, std::uint32_t high) {
    const double reach = std::sqrt(q * peak.spread);
    const double first_point = std::ceil((peak.frequency - reach) * 10.0) - margin;
    const double last_point = std::floor((peak.frequency + reach) * 10.0) + margin;
    const double first =
        std::clamp(first_point - 1.0, static_cast<double>(low), static_cast<double>(high));
    const double last = std::clamp(last_point, static_cast<double>(low), static_cast<double>(high));
    return first < last
               ? std::pair{static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(last)}
               : std::pair{low, low};
  };
  std::tie(window.first, window.last) = index_range(kZeroTermQ, kPointMargin, 0, kGridSize);
  std::tie(window.core_first, window.core_last) =
      index_range(kCoreQ, -kPointMargin, window.first, window.last);
  if (window.core_first == window.core_last) window.core_first = window.core_last = window.first;
  return window;
}

using Kernel = void (*)(const double*, double*, std::size_t, const PeakTerm&) noexcept;

Kernel kernel_for(ExpKernel choice) {
  switch (choice) {
    case ExpKernel::scalar:
      return detail::add_terms_scalar;
    case ExpKernel::two_lane:
      return detail::add_terms_two_lane;
    case ExpKernel::four_lane:
      return detail::add_terms_four_lane;
    case ExpKernel::automatic:
      break;
  }
  return avx2_available() ? detail::add_terms_four_lane : detail::add_terms_two_lane;
}

struct Job {
  std::span<const double> frequency;
  std::span<const double> intensity;
  double width;
  const std::vector<Window>& windows;
  Kernel kernel;
  const double* w;
  double* t;
};

// Adds every peak, in table order, to the grid points [begin, end).
void add_block(const Job& job, std::size_t begin, std::size_t end) {
  for (std::size_t k = 0; k < job.windows.size(); ++k) {
    const Window& window = job.windows[k];
    const PeakTerm peak = term_of(job.frequency[k], job.intensity[k], job.width);
    if (window.whole_grid_scalar) {
      detail::add_terms_scalar(job.w + begin, job.t + begin, end - begin, peak);
      continue;
    }
    // Left rim, core, right rim, each cut to the block.
    const std::size_t bounds[] = {window.first, window.core_first, window.core_last, window.last};
    for (int part = 0; part < 3; ++part) {
      const std::size_t first = std::max(begin, bounds[part]);
      const std::size_t last = std::min(end, bounds[part + 1]);
      if (first >= last) continue;
      const Kernel kernel = part == 1 ? job.kernel : detail::add_terms_rim;
      kernel(job.w + first, job.t + first, last - first, peak);
    }
  }
}

unsigned threads_for(std::size_t terms, unsigned asked) {
  if (asked != 0) return asked;
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const auto paying = static_cast<unsigned>(
      std::min<std::size_t>(1 + terms / kTermsPerExtraThread, kGridSize / kBlockSize));
  return std::min(cores, paying);
}

}  // namespace

bool avx2_available() noexcept { return __builtin_cpu_supports("avx2") != 0; }

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
               EngineOptions options) {
  const std::size_t count = std::min(frequency.size(), intensity.size());
  std::vector<Window> windows(count);
  std::size_t terms = 0;
  for (std::size_t k = 0; k < count; ++k) {
    windows[k] = window_of(term_of(frequency[k], intensity[k], width));
    terms += windows[k].size();
  }
  const Job job{frequency.first(count),
                intensity.first(count),
                width,
                windows,
                kernel_for(options.kernel),
                w.data(),
                t.data()};

  // Blocks are taken in turn by whichever thread is free; each block sums
  // its points over all peaks, so no point's sum depends on the threads.
  std::atomic<std::size_t> next_block{0};
  auto work = [&] {
    for (std::size_t block = next_block++; block * kBlockSize < kGridSize; block = next_block++)
      add_block(job, block * kBlockSize, std::min(kGridSize, (block + 1) * kBlockSize));
  };

  std::vector<std::thread> helpers;
  const unsigned threads = threads_for(terms, options.threads);
  try {
    for (unsigned i = 1; i < threads; ++i) helpers.emplace_back(work);
  } catch (const std::system_error&) {
    // No thread to be had: the ones running, this one included, do it all.
  }
  work();
  for (std::thread& helper : helpers) helper.join();
}

}  // namespace broaden
