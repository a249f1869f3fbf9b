#include "synthesis/line_profiles.h"

#include <cerf.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "synthesis/profile_kernels.h"
#include "synthesis/voigt_terms.h"

namespace broaden {
namespace detail {
namespace {

// The double nearest sqrt(2 pi) (2.50662827463100050...) and 2 sqrt(2 ln 2),
// the ratio of a Gaussian's full width at half maximum to its sigma.
constexpr double kSqrtTwoPi = 2.5066282746310002;
constexpr double kFwhmPerSigma = 2.3548200450309493;

// exp(-q) is exactly zero from q = 745.14 on (below half the least
// subnormal); a line's reach is taken out to q = 750. Inside q = 700 the
// vector exponentials stay on their fast path; between, the rim, the scalar
// exp takes over.
constexpr double kZeroTermQ = 750.0;
constexpr double kCoreQ = 700.0;

// Points per block of work; Voigt points cost far more, so its blocks are
// smaller, to share the work evenly.
constexpr std::size_t kBlockPoints = 1024;
constexpr std::size_t kVoigtBlockPoints = 256;

// Below this much work (in Gaussian terms), another thread costs more than it saves.
constexpr double kWorkPerExtraThread = 100'000.0;
constexpr double kVoigtTermWork = 20.0;

double width_of(std::span<const double> line_width, std::size_t k, double common) {
  return line_width.empty() ? common : line_width[k];
}

void require(bool condition, const char* what) {
  if (!condition) throw std::invalid_argument(std::string("add_profiles: ") + what);
}

bool is_width(double width) { return std::isfinite(width) && width > 0.0; }

GaussianTerm gaussian_term(double position, double intensity, double sigma,
                           Normalisation normalisation, double factor) {
  const double amplitude =
      normalisation == Normalisation::area ? intensity / (sigma * kSqrtTwoPi) : intensity;
  return GaussianTerm{position, factor * amplitude, (sigma + sigma) * sigma};
}

LorentzianTerm lorentzian_term(double position, double intensity, double gamma,
                               Normalisation normalisation, double factor) {
  const double gamma_squared = gamma * gamma;
  const double numerator = normalisation == Normalisation::area
                               ? (intensity * gamma) / std::numbers::pi
                               : intensity * gamma_squared;
  return LorentzianTerm{position, factor * numerator, gamma_squared};
}

double q_at(double x, const GaussianTerm& term) {
  const double d = x - term.position;
  return (d * d) / term.spread;
}

// The indices where a Gaussian line's terms can be non-zero, [first, last),
// and within them its core [core_first, core_last), where q <= kCoreQ.
struct Window {
  std::size_t first = 0;
  std::size_t core_first = 0;
  std::size_t core_last = 0;
  std::size_t last = 0;
  bool every_point = false;  // non-finite quantities: every point, scalar exp
};

bool ascending(std::span<const double> x) {
  for (std::size_t i = 1; i < x.size(); ++i) {
    if (!(x[i - 1] <= x[i])) return false;  // NaN too
  }
  return true;
}

// On an ascending grid q, computed as the kernels do, never increases up to
// the first point at or past the line and never decreases from there on
// (rounding is monotonic in each operation), so each bound is a binary
// search and the window holds exactly the points with q < kZeroTermQ.
Window window_of(const GaussianTerm& term, std::span<const double> x, bool is_ascending) {
  Window window;
  if (!std::isfinite(term.position) || !std::isfinite(term.amplitude) ||
      !std::isfinite(term.spread) || !(term.spread > 0.0)) {
    window.every_point = true;
    return window;
  }
  if (term.amplitude == 0.0) return window;  // every term is a zero
  if (!is_ascending) {
    window.last = x.size();  // all rim: any q, scalar exp
    return window;
  }
  const auto begin = x.begin();
  auto index_of = [&](std::size_t from, std::size_t to, auto predicate) {
    return static_cast<std::size_t>(std::partition_point(begin + static_cast<std::ptrdiff_t>(from),
                                                         begin + static_cast<std::ptrdiff_t>(to),
                                                         predicate) -
                                    begin);
  };
  const std::size_t apex = index_of(0, x.size(), [&](double v) { return v < term.position; });
  window.first = index_of(0, apex, [&](double v) { return !(q_at(v, term) < kZeroTermQ); });
  window.last = index_of(apex, x.size(), [&](double v) { return q_at(v, term) < kZeroTermQ; });
  window.core_first =
      index_of(window.first, apex, [&](double v) { return !(q_at(v, term) <= kCoreQ); });
  window.core_last = index_of(apex, window.last, [&](double v) { return q_at(v, term) <= kCoreQ; });
  return window;
}

unsigned threads_for(double work, std::size_t blocks, unsigned asked) {
  unsigned threads = asked;
  if (threads == 0) {
    const double paying = 1.0 + work / kWorkPerExtraThread;
    threads = std::max(1u, std::thread::hardware_concurrency());
    if (paying < threads) threads = static_cast<unsigned>(paying);
  }
  return static_cast<unsigned>(
      std::clamp<std::size_t>(threads, 1, std::max<std::size_t>(blocks, 1)));
}

// Hands out blocks of `points` points to `threads` threads; add_block(begin,
// end) adds every line, in table order, to the points [begin, end).
template <class AddBlock>
void run_blocks(std::size_t points, std::size_t block_points, double work, unsigned asked,
                const AddBlock& add_block) {
  const std::size_t blocks = (points + block_points - 1) / block_points;
  std::atomic<std::size_t> next_block{0};
  auto work_through = [&] {
    for (std::size_t block = next_block++; block < blocks; block = next_block++) {
      add_block(block * block_points, std::min(points, (block + 1) * block_points));
    }
  };
  std::vector<std::jthread> helpers;
  const unsigned threads = threads_for(work, blocks, asked);
  try {
    for (unsigned i = 1; i < threads; ++i) helpers.emplace_back(work_through);
  } catch (const std::exception&) {
    // No more threads (or room for them) to be had: those running, this one
    // included, do it all.
  }
  work_through();
}

// Calls kernel(x + a, y + a, b - a, term) for [a, b) cut to [begin, end).
struct Block {
  const double* x;
  double* y;
  std::size_t begin;
  std::size_t end;

  template <class Kernel, class Term>
  void add(std::size_t a, std::size_t b, Kernel kernel, const Term& term) const {
    a = std::max(a, begin);
    b = std::min(b, end);
    if (a < b) kernel(x + a, y + a, b - a, term);
  }
};

void add_gaussians(const KernelSet& kernels, std::span<const double> position,
                   std::span<const double> intensity, std::span<const double> line_width,
                   const ProfileParameters& parameters, bool widths_are_fwhm,
                   std::span<const double> x, std::span<double> y, unsigned threads) {
  const bool is_ascending = ascending(x);
  std::vector<GaussianTerm> terms(position.size());
  std::vector<Window> windows(position.size());
  double work = 0.0;
  for (std::size_t k = 0; k < terms.size(); ++k) {
    const double sigma = widths_are_fwhm ? width_of(line_width, k, parameters.fwhm) / kFwhmPerSigma
                                         : width_of(line_width, k, parameters.sigma);
    terms[k] = gaussian_term(position[k], intensity[k], sigma, parameters.normalisation, 1.0);
    windows[k] = window_of(terms[k], x, is_ascending);
    work +=
        static_cast<double>(windows[k].every_point ? x.size() : windows[k].last - windows[k].first);
  }
  run_blocks(x.size(), kBlockPoints, work, threads, [&](std::size_t begin, std::size_t end) {
    const Block block{x.data(), y.data(), begin, end};
    for (std::size_t k = 0; k < terms.size(); ++k) {
      const Window& w = windows[k];
      if (w.every_point) {
        block.add(0, x.size(), add_gaussian_scalar, terms[k]);
        continue;
      }
      block.add(w.first, w.core_first, add_gaussian_rim, terms[k]);
      block.add(w.core_first, w.core_last, kernels.gaussian, terms[k]);
      block.add(w.core_last, w.last, add_gaussian_rim, terms[k]);
    }
  });
}

void add_lorentzians(const KernelSet& kernels, std::span<const double> position,
                     std::span<const double> intensity, std::span<const double> line_width,
                     const ProfileParameters& parameters, bool widths_are_fwhm,
                     std::span<const double> x, std::span<double> y, unsigned threads) {
  std::vector<LorentzianTerm> terms(position.size());
  for (std::size_t k = 0; k < terms.size(); ++k) {
    const double gamma = widths_are_fwhm ? width_of(line_width, k, parameters.fwhm) * 0.5
                                         : width_of(line_width, k, parameters.gamma);
    terms[k] = lorentzian_term(position[k], intensity[k], gamma, parameters.normalisation, 1.0);
  }
  const double work = static_cast<double>(terms.size()) * static_cast<double>(x.size());
  run_blocks(x.size(), kBlockPoints, work, threads, [&](std::size_t begin, std::size_t end) {
    const Block block{x.data(), y.data(), begin, end};
    for (const LorentzianTerm& term : terms) block.add(begin, end, kernels.lorentzian, term);
  });
}

void add_pseudo_voigts(const KernelSet& kernels, std::span<const double> position,
                       std::span<const double> intensity, std::span<const double> line_width,
                       const ProfileParameters& parameters, std::span<const double> x,
                       std::span<double> y, unsigned threads) {
  const bool is_ascending = ascending(x);
  const double eta = parameters.eta;
  std::vector<PseudoVoigtTerm> terms(position.size());
  std::vector<Window> windows(position.size());
  double work = 0.0;
  for (std::size_t k = 0; k < terms.size(); ++k) {
    const double fwhm = width_of(line_width, k, parameters.fwhm);
    terms[k] = PseudoVoigtTerm{
        gaussian_term(position[k], intensity[k], fwhm / kFwhmPerSigma, parameters.normalisation,
                      1.0 - eta),
        lorentzian_term(position[k], intensity[k], fwhm * 0.5, parameters.normalisation, eta)};
    windows[k] = window_of(terms[k].gaussian, x, is_ascending);
    work +=
        static_cast<double>(x.size()) +
        static_cast<double>(windows[k].every_point ? x.size() : windows[k].last - windows[k].first);
  }
  run_blocks(x.size(), kBlockPoints, work, threads, [&](std::size_t begin, std::size_t end) {
    const Block block{x.data(), y.data(), begin, end};
    for (std::size_t k = 0; k < terms.size(); ++k) {
      const Window& w = windows[k];
      const PseudoVoigtTerm& term = terms[k];
      if (w.every_point) {
        block.add(0, x.size(), add_pseudo_voigt_scalar, term);
        continue;
      }
      // Where the Gaussian part is exactly zero, the term is the Lorentzian part alone.
      block.add(0, w.first, kernels.lorentzian, term.lorentzian);
      block.add(w.first, w.core_first, add_pseudo_voigt_rim, term);
      block.add(w.core_first, w.core_last, kernels.pseudo_voigt, term);
      block.add(w.core_last, w.last, add_pseudo_voigt_rim, term);
      block.add(w.last, x.size(), kernels.lorentzian, term.lorentzian);
    }
  });
}

void add_voigts(std::span<const double> position, std::span<const double> intensity,
                const ProfileParameters& parameters, std::span<const double> x, std::span<double> y,
                unsigned threads) {
  const VoigtTerms terms(position, intensity, parameters, x);
  const double work =
      kVoigtTermWork * static_cast<double>(position.size()) * static_cast<double>(x.size());
  run_blocks(x.size(), kVoigtBlockPoints, work, threads,
             [&](std::size_t begin, std::size_t end) { terms.add(x, y, begin, end); });
}

}  // namespace

void add_profiles_with(const KernelSet& kernels, std::span<const double> position,
                       std::span<const double> intensity, std::span<const double> line_width,
                       const ProfileParameters& parameters, std::span<const double> x,
                       std::span<double> y, unsigned threads) {
  const LineShape shape = parameters.shape;
  if (shape == LineShape::voigt) line_width = {};
  require(intensity.size() == position.size(), "intensities and positions differ in number");
  require(line_width.empty() || line_width.size() == position.size(),
          "line widths and positions differ in number");
  require(y.size() == x.size(), "the grid and the spectrum differ in size");

  auto require_widths = [&](double common, const char* what) {
    if (line_width.empty()) {
      require(is_width(common), what);
    } else {
      require(std::all_of(line_width.begin(), line_width.end(), is_width), what);
    }
  };
  switch (shape) {
    case LineShape::gaussian:
      require_widths(parameters.sigma, "sigma must be finite and positive");
      break;
    case LineShape::lorentzian:
      require_widths(parameters.gamma, "gamma must be finite and positive");
      break;
    case LineShape::pseudo_voigt:
      require_widths(parameters.fwhm, "the full width must be finite and positive");
      require(parameters.eta >= 0.0 && parameters.eta <= 1.0, "eta must lie within [0, 1]");
      break;
    case LineShape::voigt:
      require(is_width(parameters.sigma) && is_width(parameters.gamma),
              "sigma and gamma must be finite and positive");
      break;
    default:
      require(false, "unknown line shape");
  }
  if (position.empty() || x.empty()) return;

  switch (shape) {
    case LineShape::gaussian:
      add_gaussians(kernels, position, intensity, line_width, parameters, false, x, y, threads);
      break;
    case LineShape::lorentzian:
      add_lorentzians(kernels, position, intensity, line_width, parameters, false, x, y, threads);
      break;
    case LineShape::pseudo_voigt:
      // At the ends one part has a zero factor and adds exactly zero: the
      // other shape alone gives the same sums, and faster.
      if (parameters.eta == 0.0) {
        add_gaussians(kernels, position, intensity, line_width, parameters, true, x, y, threads);
      } else if (parameters.eta == 1.0) {
        add_lorentzians(kernels, position, intensity, line_width, parameters, true, x, y, threads);
      } else {
        add_pseudo_voigts(kernels, position, intensity, line_width, parameters, x, y, threads);
      }
      break;
    case LineShape::voigt:
      add_voigts(position, intensity, parameters, x, y, threads);
      break;
  }
}

}  // namespace detail

void add_profiles(std::span<const double> position, std::span<const double> intensity,
                  std::span<const double> line_width, const ProfileParameters& parameters,
                  std::span<const double> x, std::span<double> y, unsigned threads) {
  detail::add_profiles_with(detail::kernel_sets().back(), position, intensity, line_width,
                            parameters, x, y, threads);
}

}  // namespace broaden
