#include "synthesis/engine.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "synthesis/blocks.h"
#include "synthesis/engine_testing.h"
#include "synthesis/gaussian_terms.h"
#include "synthesis/window_kernels.h"

namespace broaden {
namespace {

using detail::AddTerms;
using detail::GaussianTerm;

using detail::kCoreQ;
using detail::kZeroTermQ;

// The estimate leaves out the terms below e^-40 times the larger of 1 and
// |amplitude| (farther than about 9 widths from the peak): each is under
// 4.25e-18, and the bound takes them in as that.
constexpr double kLeftOutQ = 40.0;
constexpr double kLeftOutTerm = 4.3e-18;

// The product recurrence is taken for a peak only where its bound stays
// below this many units of 2^-53.
constexpr double kRecurrenceLimit = 8192.0;

// Grid points per block of work handed to a thread.
constexpr std::size_t kBlockSize = 1000;

// Below this many terms in all, a second thread costs more than it saves.
constexpr double kTermsPerExtraThread = 200'000;

constexpr double kUnit = 0x1p-53;

// A block where more than one point in this many has an interval wider
// than the caller can use is computed the straightforward way as a whole.
constexpr std::size_t kWideShare = 8;

// A peak's window on the grid (gaussian_terms.h) and what the estimate
// takes of it: only [near_first, near_last) where that is `near_only`, all
// with the kernel, and q stays below q_max at the points it gives the kernel.
struct Window : detail::GaussianWindow {
  std::size_t near_first = 0;
  std::size_t near_last = 0;
  bool near_only = false;
  double q_max = 0.0;
  AddTerms near_add = nullptr;  // the estimate's kernel for the near part, when set

  std::size_t size() const { return GaussianWindow::size(kGridSize); }
  std::size_t estimate_size() const { return near_only ? near_last - near_first : size(); }
};

GaussianTerm term_of(double frequency, double intensity, double width) {
  return GaussianTerm{frequency, (intensity / kNormalisation) / width, (width + width) * width};
}

// Grid point n (index n - 1) lies within 1.5e-4 of n / 10.
constexpr detail::GridGuess kGridGuess{10.0, -1.0, 3.0};

Window window_of(const GaussianTerm& peak, std::span<const double, kGridSize> w) {
  Window window;
  static_cast<detail::GaussianWindow&>(window) =
      detail::gaussian_window(peak, w, true, &kGridGuess);
  if (window.every_point || window.first == window.last) return window;
  window.q_max = kCoreQ;
  // Outside [near_first, near_last) q exceeds near_q; the margin on q_max
  // covers the rounding of q against its exact value.
  const double near_q = kLeftOutQ + std::max(0.0, std::log(std::fabs(peak.amplitude)));
  const double q_max = near_q * 1.001;
  if (q_max < kCoreQ) {
    window.near_only = true;
    window.q_max = q_max;
    std::tie(window.near_first, window.near_last) =
        detail::points_within(peak, w, near_q, window.first, window.last, &kGridGuess);
  }
  return window;
}

// A kernel for the core of the windows and the bound it is trusted with:
// within error + error_per_q * q units of 2^-53 of exp(-q), relative, for
// q up to 700.
struct Kernel {
  AddTerms add = detail::add_gaussian_scalar;
  double error = 2.0;
  double error_per_q = 0.0;
};

Kernel kernel_for(ExpKernel choice) {
  switch (choice) {
    case ExpKernel::scalar:
      break;
    case ExpKernel::perturbed:
      return {detail::add_terms_perturbed, 16.0, 0.0};
    case ExpKernel::fma:
    case ExpKernel::automatic:
#ifdef BROADEN_HAVE_X86_KERNELS
      if (detail::fma_kernel_available()) return {detail::add_terms_fma, 32.0, 3.02};
#endif
      break;
  }
  return {detail::add_gaussian_scalar, 2.0, 0.0};
}

// The peak table as the engine sees it: quantities per peak and windows.
struct Table {
  std::vector<GaussianTerm> terms;
  std::vector<Window> windows;
  std::size_t work = 0;             // terms visited in all
  std::size_t estimate_work = 0;    // terms the estimate visits in all
  std::size_t whole_grid_work = 0;  // of those, terms of peaks taking every point
  double kernel_error = 0.0;        // the largest bound of the estimate's kernels
  bool any_positive = false;        // a finite amplitude above zero
  bool any_negative = false;        // a finite amplitude below zero
  double largest_amplitude = 0;     // the largest finite |amplitude| with a window
};

// `recurrence`: take the product recurrence where it applies.
Table table_of(std::span<const double> frequency, std::span<const double> intensity, double width,
               std::span<const double, kGridSize> w, const Kernel& kernel = {},
               bool recurrence = false) {
  const std::size_t count = std::min(frequency.size(), intensity.size());
  Table table;
  table.terms.resize(count);
  table.windows.resize(count);
  for (std::size_t k = 0; k < count; ++k) {
    const GaussianTerm peak = term_of(frequency[k], intensity[k], width);
    table.terms[k] = peak;
    table.windows[k] = window_of(peak, w);
    table.work += table.windows[k].size();
    table.estimate_work += table.windows[k].estimate_size();
    if (table.windows[k].every_point) table.whole_grid_work += kGridSize;
    if (std::isfinite(peak.amplitude)) {
      table.any_positive |= peak.amplitude > 0.0;
      table.any_negative |= peak.amplitude < 0.0;
      if (table.windows[k].size() != 0)
        table.largest_amplitude = std::max(table.largest_amplitude, std::fabs(peak.amplitude));
    }
    Window& window = table.windows[k];
    if (window.size() == 0 || window.every_point) continue;  // no kernel there
    double error = kernel.error + kernel.error_per_q * window.q_max;
#ifdef BROADEN_HAVE_X86_KERNELS
    // The product recurrence, where its bound is tight enough to pay.
    if (recurrence && window.near_only && window.near_last - window.near_first >= 64) {
      const double recurrence_bound = detail::recurrence_error(peak, window.q_max);
      if (recurrence_bound < kRecurrenceLimit) {
        window.near_add = detail::add_terms_recurrence;
        error = recurrence_bound;
      }
    }
#else
    static_cast<void>(recurrence);
#endif
    table.kernel_error = std::max(table.kernel_error, error);
  }
  return table;
}

// Adds every peak, in table order, to the grid points [begin, end), whose
// abscissae and sums start at w and t, with `core` inside the windows'
// cores and the exact scalar exp elsewhere. For the `estimate`, only the
// near part of a window where it has one, all with `core`. With
// `magnitudes`, each amplitude is taken by its absolute value.
void add_block(const Table& table, AddTerms core, bool estimate, bool magnitudes, const double* w,
               double* t, std::size_t begin, std::size_t end) {
  for (std::size_t k = 0; k < table.windows.size(); ++k) {
    const Window& window = table.windows[k];
    GaussianTerm peak = table.terms[k];
    if (magnitudes) peak.amplitude = std::fabs(peak.amplitude);
    if (window.every_point) {
      detail::add_gaussian_scalar(w, t, end - begin, peak);
      continue;
    }
    if (estimate && window.near_only) {
      const std::size_t first = std::max<std::size_t>(begin, window.near_first);
      const std::size_t last = std::min<std::size_t>(end, window.near_last);
      const AddTerms add = window.near_add != nullptr ? window.near_add : core;
      if (first < last) add(w + (first - begin), t + (first - begin), last - first, peak);
      continue;
    }
    // Left rim, core, right rim, each cut to the block.
    const std::size_t bounds[] = {window.first, window.core_first, window.core_last, window.last};
    for (int part = 0; part < 3; ++part) {
      const std::size_t first = std::max(begin, bounds[part]);
      const std::size_t last = std::min(end, bounds[part + 1]);
      if (first >= last) continue;
      const AddTerms add = part == 1 ? core : detail::add_gaussian_rim;
      add(w + (first - begin), t + (first - begin), last - first, peak);
    }
  }
}

// How many terms each point of [begin, end) is visited with.
void count_terms(const Table& table, std::size_t begin, std::size_t end, std::uint32_t* counts) {
  std::fill(counts, counts + (end - begin) + 1, 0u);
  std::uint32_t everywhere = 0;
  for (const Window& window : table.windows) {
    if (window.every_point) {
      ++everywhere;
      continue;
    }
    const std::size_t first = std::max<std::size_t>(begin, window.first);
    const std::size_t last = std::min<std::size_t>(end, window.last);
    if (first >= last) continue;
    ++counts[first - begin];
    --counts[last - begin];
  }
  std::uint32_t running = everywhere;
  for (std::size_t i = 0; i < end - begin; ++i) {
    running += counts[i];
    counts[i] = running;
  }
}

// One term of the straightforward loop added to t. A term whose exp(-q) is
// +0 is skipped when its amplitude is finite: it is then a zero.
double add_term(const GaussianTerm& peak, double abscissa, double t) {
  const double d = abscissa - peak.position;
  const double q = (d * d) / peak.spread;
  if (q > kZeroTermQ && std::isfinite(peak.amplitude)) return t;
  return std::exp(-q) * peak.amplitude + t;
}

// The straightforward value at grid index i: every peak whose terms can be
// non-zero there, in table order.
double straightforward_at(const Table& table, std::size_t i, double abscissa) {
  double t = 0.0;
  for (std::size_t k = 0; k < table.terms.size(); ++k) {
    const Window& window = table.windows[k];
    if (window.every_point || (window.first <= i && i < window.last))
      t = add_term(table.terms[k], abscissa, t);
  }
  return t;
}

// Turns the estimate at one point into its interval (see the header).
// The bound on |straightforward - estimate| at a point of `terms` terms
// whose magnitudes add to about `magnitude` (see the header).
double bound_of(const Table& table, double kernel_error, std::uint32_t terms, double magnitude) {
  const double n = static_cast<double>(terms);
  return 2.05 * (n + 2.0 + 0.5 * kernel_error) * kUnit * magnitude +
         n * (table.largest_amplitude * 0x1p-1020 + 0x1p-1070 + kLeftOutTerm);
}

void bracket(const Table& table, double kernel_error, std::uint32_t terms, double magnitude,
             std::size_t i, double abscissa, double& low, double& high) {
  const double estimate = low;
  if (terms == 0) {
    high = low;  // no term: exactly +0
    return;
  }
  const double bound = bound_of(table, kernel_error, terms, magnitude);
  if (!std::isfinite(estimate) || !(magnitude < 0x1p1000) || !std::isfinite(bound)) {
    low = high = straightforward_at(table, i, abscissa);
    return;
  }
  // Widened so that the rounded ends still hold the exact interval: each
  // subtraction or addition is off by at most 2^-53 of |estimate| + bound.
  const double widened = bound * (1.0 + 0x1p-50) + std::fabs(estimate) * 0x1p-50 + 0x1p-1074;
  low = estimate - widened;
  high = estimate + widened;
  if (!table.any_negative && !(low > 0.0)) low = 0.0;
  if (!table.any_positive && !(high < 0.0)) high = 0.0;
}

// Threads for `terms` terms in all, over the grid's blocks.
unsigned threads_for(std::size_t terms, unsigned asked) {
  return detail::threads_for(static_cast<double>(terms), kTermsPerExtraThread,
                             kGridSize / kBlockSize, asked);
}

// Runs block(begin, end) over the grid's blocks.
template <class Block>
void for_each_block(unsigned threads, const Block& block) {
  detail::for_each_block(kGridSize, kBlockSize, threads, block);
}

}  // namespace

bool fma_kernel_available() noexcept { return detail::fma_kernel_available(); }

void build_grid(std::span<double, kGridSize> w) noexcept {
  for (std::size_t i = 0; i < kGridSize; ++i) {
    // A single-precision product, rounded to float before it is widened.
    const float abscissa = static_cast<float>(i + 1) * kGridStep;
    w[i] = static_cast<double>(abscissa);
  }
}

void build_grid(std::span<double, kGridSize> w, std::span<double, kGridSize> t) noexcept {
  build_grid(w);
  std::fill(t.begin(), t.end(), 0.0);
}

void add_peaks(std::span<const double> frequency, std::span<const double> intensity, double width,
               std::span<const double, kGridSize> w, std::span<double, kGridSize> t,
               unsigned threads) {
  const Table table = table_of(frequency, intensity, width, w);
  for_each_block(threads_for(table.work, threads), [&](std::size_t begin, std::size_t end) {
    add_block(table, detail::add_gaussian_scalar, false, false, w.data() + begin, t.data() + begin,
              begin, end);
  });
}

void bracket_peaks(std::span<const double> frequency, std::span<const double> intensity,
                   double width, std::span<const double, kGridSize> w,
                   std::span<double, kGridSize> low, std::span<double, kGridSize> high,
                   EngineOptions options) {
  bracket_peaks_with(ExpKernel::automatic, frequency, intensity, width, w, low, high, options);
}

// Longer than the rule's 60 lines by a few: one block's steps (counts,
// magnitudes, the estimate, its bounds, the fallbacks) share its buffers on
// the stack, and cut apart they would pass them all each way; the classic
// engine's results are pinned bit for bit, so it is kept whole.
void bracket_peaks_with(ExpKernel choice, std::span<const double> frequency,
                        std::span<const double> intensity, double width,
                        std::span<const double, kGridSize> w, std::span<double, kGridSize> low,
                        std::span<double, kGridSize> high, EngineOptions options) {
  const Kernel kernel = kernel_for(choice);
  const Table table = table_of(frequency, intensity, width, w, kernel,
                               choice == ExpKernel::automatic && detail::fma_kernel_available());
  // Peaks that take every point do so with the scalar exp in the estimate
  // too: where they are most of the work, the estimate costs what the
  // straightforward sum does and settles little, so that sum is taken.
  if (2 * table.whole_grid_work >= table.estimate_work && table.whole_grid_work != 0) {
    for_each_block(threads_for(table.work, options.threads),
                   [&](std::size_t begin, std::size_t end) {
                     std::fill(low.data() + begin, low.data() + end, 0.0);
                     add_block(table, detail::add_gaussian_scalar, false, false, w.data() + begin,
                               low.data() + begin, begin, end);
                     std::copy(low.data() + begin, low.data() + end, high.data() + begin);
                   });
    return;
  }
  const bool mixed = table.any_positive && table.any_negative;
  const unsigned threads =
      threads_for(mixed ? 2 * table.estimate_work : table.estimate_work, options.threads);
  const double kernel_error = table.kernel_error;
  for_each_block(threads, [&](std::size_t begin, std::size_t end) {
    std::uint32_t counts[kBlockSize + 1];
    double magnitudes[kBlockSize];
    const std::size_t size = end - begin;
    const auto straightforward_block = [&] {
      std::fill(low.data() + begin, low.data() + end, 0.0);
      add_block(table, detail::add_gaussian_scalar, false, false, w.data() + begin,
                low.data() + begin, begin, end);
      std::copy(low.data() + begin, low.data() + end, high.data() + begin);
    };
    count_terms(table, begin, end, counts);
    if (mixed) {
      // Terms of both signs: the sum of their magnitudes, estimated alike,
      // and first, for where the bound is wider than of use (twice the
      // bound) at most of the block, the estimate is not worth taking.
      std::fill(magnitudes, magnitudes + size, 0.0);
      add_block(table, kernel.add, true, true, w.data() + begin, magnitudes, begin, end);
      std::size_t hopeless = 0;
      for (std::size_t i = begin; i < end; ++i)
        hopeless += 2.0 * bound_of(table, kernel_error, counts[i - begin], magnitudes[i - begin]) >
                            options.resolution
                        ? 1
                        : 0;
      if (hopeless > size / kWideShare) return straightforward_block();
    }
    std::fill(low.data() + begin, low.data() + end, 0.0);
    add_block(table, kernel.add, true, false, w.data() + begin, low.data() + begin, begin, end);
    std::size_t wide = 0;
    for (std::size_t i = begin; i < end; ++i) {
      const double magnitude = mixed ? magnitudes[i - begin] : std::fabs(low[i]);
      bracket(table, kernel_error, counts[i - begin], magnitude, i, w[i], low[i], high[i]);
      wide += high[i] - low[i] > options.resolution ? 1 : 0;
    }
    if (wide == 0) return;
    // Most of the block of no use to the caller: the whole block the
    // straightforward way, windows and rims as in add_peaks.
    if (wide > size / kWideShare) return straightforward_block();
    for (std::size_t i = begin; i < end; ++i)
      if (high[i] - low[i] > options.resolution)
        low[i] = high[i] = straightforward_at(table, i, w[i]);
  });
}

void straightforward_points(std::span<const double> frequency, std::span<const double> intensity,
                            double width, std::span<const double, kGridSize> w,
                            std::span<const std::size_t> points, std::span<double> values,
                            unsigned threads) {
  const std::size_t count = std::min(points.size(), values.size());
  if (count == 0) return;
  const Table table = table_of(frequency, intensity, width, w);
  // Blocks of the list of points, not of the grid.
  constexpr std::size_t kPointsPerBlock = 64;
  const std::size_t blocks = (count + kPointsPerBlock - 1) / kPointsPerBlock;
  const std::size_t per_point = std::max<std::size_t>(1, table.work / kGridSize);
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t b = next++; b < blocks; b = next++)
      for (std::size_t j = b * kPointsPerBlock; j < std::min(count, (b + 1) * kPointsPerBlock); ++j)
        values[j] = straightforward_at(table, points[j], w[points[j]]);
  };
  detail::run_on_threads(threads_for(count * per_point, threads), work);
}

double straightforward_point(std::span<const double> frequency, std::span<const double> intensity,
                             double width, double abscissa) noexcept {
  const std::size_t count = std::min(frequency.size(), intensity.size());
  double t = 0.0;
  for (std::size_t k = 0; k < count; ++k)
    t = add_term(term_of(frequency[k], intensity[k], width), abscissa, t);
  return t;
}

}  // namespace broaden
