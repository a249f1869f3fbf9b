#include "line_shapes/line_profiles.h"

#include <cerf.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <numbers>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "line_shapes/profile_kernels.h"
#include "line_shapes/voigt_terms.h"
#include "synthesis/blocks.h"

namespace broaden {
namespace detail {
namespace {

// The double nearest sqrt(2 pi) (2.50662827463100050...).
constexpr double kSqrtTwoPi = 2.5066282746310002;

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

bool is_width(double width) { return width >= kMinWidth && width <= kMaxWidth; }

// The wide terms: lines whose amplitude in double leaves the doubles, computed in long double.
// Its exponent reaches 2^16383, so neither an amplitude beyond DBL_MAX (at most about 2^1521
// with the widths and intensities taken) nor the exp(-q) below the least double that multiplies
// it, nor the square of a distance across the whole range of doubles leaves it.
static_assert(std::numeric_limits<long double>::digits >= 64 &&
                  std::numeric_limits<long double>::max_exponent >= 16384,
              "the wide terms need a long double with the range of x87's or IEEE quad's");

// One line's wide term at x, d = x - position, all in long double:
//   l_numerator / (d * d + gamma_squared) + exp(-(d * d) / spread) * g_amplitude,
// a part left out where its factor is 0; the Gaussian part also where q >= zero_q, where it is
// below half the least subnormal double.
struct WideTerm {
  long double position = 0.0L;
  long double g_amplitude = 0.0L, spread = 1.0L, zero_q = 0.0L;
  long double l_numerator = 0.0L, gamma_squared = 1.0L;
};

constexpr long double kSqrtTwoPiLong = 2.506628274631000502415765284811045253L;  // sqrt(2 pi)

// The wide term of a Gaussian part (sigma > 0, factor 1 - eta) and a Lorentzian part (gamma > 0,
// factor eta); a part with width 0 is left out.
WideTerm wide_term(double position, double intensity, double sigma, double gamma,
                   Normalisation normalisation, double g_factor, double l_factor) {
  WideTerm t;
  t.position = position;
  const long double i = intensity;
  const bool area = normalisation == Normalisation::area;
  if (sigma > 0.0) {
    const long double s = sigma;
    t.spread = (s + s) * s;
    t.g_amplitude = (area ? i / (s * kSqrtTwoPiLong) : i) * g_factor;
    // exp(-q) |A| < 2^-1075 from q = ln |A| + 745.13 on.
    if (t.g_amplitude != 0.0L) t.zero_q = std::log(std::fabs(t.g_amplitude)) + 746.0L;
  }
  if (gamma > 0.0) {
    const long double g = gamma;
    t.gamma_squared = g * g;
    t.l_numerator =
        (area ? (i * g) / std::numbers::pi_v<long double> : i * t.gamma_squared) * l_factor;
  }
  return t;
}

// For i in [0, n): y[i] = term(x[i]) + y[i], the term rounded once to double.
void add_wide(const double* x, double* y, std::size_t n, const WideTerm& t) noexcept {
  for (std::size_t i = 0; i < n; ++i) {
    const long double d = static_cast<long double>(x[i]) - t.position;
    const long double dd = d * d;
    long double term = t.l_numerator == 0.0L ? 0.0L : t.l_numerator / (dd + t.gamma_squared);
    const long double q = dd / t.spread;
    if (!(q >= t.zero_q)) term += std::exp(-q) * t.g_amplitude;  // a NaN abscissa too
    y[i] = static_cast<double>(term) + y[i];
  }
}

// A line of finite position and finite, non-zero intensity: the only ones that may take the
// wide terms (infinities and NaN propagate as in the straightforward sum).
bool may_be_wide(double position, double intensity) {
  return std::isfinite(position) && std::isfinite(intensity) && intensity != 0.0;
}

// Beyond this distance from a line, d * d may overflow (from 2^512 on) and a Lorentzian term
// that the true quotient keeps above the least normal double would come out 0.
constexpr double kFarDistance = 0x1p511;

// The least and greatest finite abscissae of a grid (+inf and -inf where it has none).
struct GridSpan {
  double low = std::numeric_limits<double>::infinity();
  double high = -std::numeric_limits<double>::infinity();

  explicit GridSpan(std::span<const double> x) {
    for (const double v : x) {
      if (std::isfinite(v)) {
        low = std::min(low, v);
        high = std::max(high, v);
      }
    }
  }
  bool reaches_far(double position) const {
    return !(std::fabs(low - position) < kFarDistance && std::fabs(high - position) < kFarDistance);
  }
};

// A Lorentzian part takes the wide term where its numerator is not a normal double (the term's
// peak numerator / gamma^2 may be one even so) or the grid reaches far from the line.
bool lorentzian_is_wide(const LorentzianTerm& term, const GridSpan& span) {
  return !std::isnormal(term.numerator) || span.reaches_far(term.position);
}

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

using Window = GaussianWindow;

bool ascending(std::span<const double> x) {
  for (std::size_t i = 1; i < x.size(); ++i) {
    if (!(x[i - 1] <= x[i])) return false;  // NaN too
  }
  return true;
}

// Hands out blocks of `points` points to the threads that `work` pays for;
// add_block(begin, end) adds every line, in table order, to the points
// [begin, end). Each finished block is counted in `progress`, if any.
template <class AddBlock>
void run_blocks(std::size_t points, std::size_t block_points, double work, unsigned asked,
                ProfileProgress* progress, const AddBlock& add_block) {
  const std::size_t blocks = (points + block_points - 1) / block_points;
  for_each_block(points, block_points, threads_for(work, kWorkPerExtraThread, blocks, asked),
                 [&](std::size_t begin, std::size_t end) {
                   add_block(begin, end);
                   if (progress != nullptr)
                     progress->points_done.fetch_add(end - begin, std::memory_order_relaxed);
                 });
}

// The points each line reaches: all of them, or with a cutoff those within
// its distance, |x[i] - position| <= distance (the difference rounded). On an
// ascending grid these are one run [first, last) a line, and each block of
// the grid keeps the lines that reach it, in table order.
class Reach {
 public:
  // distance_of(k): line k's cutoff distance, taken only when `cutoff`.
  template <class DistanceOf>
  Reach(std::span<const double> position, std::span<const double> x, bool cutoff, bool is_ascending,
        std::size_t block_points, const DistanceOf& distance_of)
      : position_(position), cut_(cutoff), runs_(cutoff && is_ascending) {
    if (!cut_) return;
    distance_.resize(position.size());
    for (std::size_t k = 0; k < position.size(); ++k) distance_[k] = distance_of(k);
    if (!runs_) return;
    first_.resize(position.size());
    last_.resize(position.size());
    const auto begin = x.begin();
    std::size_t entries = 0;
    for (std::size_t k = 0; k < position.size(); ++k) {
      const double p = position[k], reach = distance_[k];
      // x - p rises with x (each rounding is monotonic): two binary searches.
      first_[k] = static_cast<std::size_t>(
          std::partition_point(begin, x.end(), [&](double v) { return !(v - p >= -reach); }) -
          begin);
      last_[k] = static_cast<std::size_t>(
          std::partition_point(begin + static_cast<std::ptrdiff_t>(first_[k]), x.end(),
                               [&](double v) { return v - p <= reach; }) -
          begin);
      if (first_[k] < last_[k])
        entries += (last_[k] - 1) / block_points - first_[k] / block_points + 1;
    }
    // Lists per block only where they hold much less than every line for every block.
    constexpr std::size_t kMostEntries = std::size_t{1} << 26;
    const std::size_t blocks = (x.size() + block_points - 1) / block_points;
    if (entries > kMostEntries ||
        static_cast<double>(entries) >
            0.5 * static_cast<double>(position.size()) * static_cast<double>(blocks))
      return;
    block_points_ = block_points;
    offsets_.assign(blocks + 1, 0);
    for (std::size_t k = 0; k < position.size(); ++k) {
      if (first_[k] >= last_[k]) continue;
      for (std::size_t b = first_[k] / block_points; b <= (last_[k] - 1) / block_points; ++b)
        ++offsets_[b + 1];
    }
    for (std::size_t b = 0; b < blocks; ++b) offsets_[b + 1] += offsets_[b];
    lines_.resize(entries);
    std::vector<std::size_t> fill(offsets_.begin(), offsets_.end() - 1);
    for (std::size_t k = 0; k < position.size(); ++k) {
      if (first_[k] >= last_[k]) continue;
      for (std::size_t b = first_[k] / block_points; b <= (last_[k] - 1) / block_points; ++b)
        lines_[fill[b]++] = k;
    }
  }

  // The points all lines together reach, for the work estimate; `every` a
  // line's when it reaches all.
  double work(std::size_t every) const {
    if (!runs_) return static_cast<double>(every) * static_cast<double>(position_.size());
    double points = 0.0;
    for (std::size_t k = 0; k < first_.size(); ++k)
      points += static_cast<double>(last_[k] - first_[k]);
    return points;
  }

  // Calls add(k, a, b) for each line k reaching a point of [begin, end), in
  // table order, with each run [a, b) of its points there.
  template <class Add>
  void visit(const std::span<const double> x, std::size_t begin, std::size_t end,
             const Add& add) const {
    if (!cut_) {
      for (std::size_t k = 0; k < position_.size(); ++k) add(k, begin, end);
    } else if (!runs_) {
      for (std::size_t k = 0; k < position_.size(); ++k) {
        const double p = position_[k], reach = distance_[k];
        for (std::size_t i = begin; i < end; ++i) {
          if (std::fabs(x[i] - p) <= reach) add(k, i, i + 1);
        }
      }
    } else if (block_points_ == 0) {
      for (std::size_t k = 0; k < position_.size(); ++k) add_run(k, begin, end, add);
    } else {
      const std::size_t b = begin / block_points_;
      for (std::size_t j = offsets_[b]; j < offsets_[b + 1]; ++j)
        add_run(lines_[j], begin, end, add);
    }
  }

 private:
  template <class Add>
  void add_run(std::size_t k, std::size_t begin, std::size_t end, const Add& add) const {
    const std::size_t a = std::max(begin, first_[k]), b = std::min(end, last_[k]);
    if (a < b) add(k, a, b);
  }

  std::span<const double> position_;
  bool cut_, runs_;
  std::vector<double> distance_;
  std::vector<std::size_t> first_, last_;
  std::size_t block_points_ = 0;  // 0: no lists, every line looked at in every block
  std::vector<std::size_t> offsets_, lines_;
};

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
                   std::span<const double> x, std::span<double> y, unsigned threads,
                   ProfileProgress* progress) {
  const bool is_ascending = ascending(x);
  std::vector<GaussianTerm> terms(position.size());
  std::vector<Window> windows(position.size());
  std::vector<double> fwhm(parameters.cutoff > 0.0 ? position.size() : 0);
  constexpr std::size_t kNotWide = std::size_t(-1);
  std::vector<std::size_t> wide_at(position.size(), kNotWide);  // of `wide`, or kNotWide
  std::vector<WideTerm> wide;
  double work = 0.0;
  for (std::size_t k = 0; k < terms.size(); ++k) {
    const double sigma = widths_are_fwhm ? width_of(line_width, k, parameters.fwhm) / kFwhmPerSigma
                                         : width_of(line_width, k, parameters.sigma);
    if (!fwhm.empty())
      fwhm[k] = widths_are_fwhm ? width_of(line_width, k, parameters.fwhm) : sigma * kFwhmPerSigma;
    terms[k] = gaussian_term(position[k], intensity[k], sigma, parameters.normalisation, 1.0);
    if (may_be_wide(position[k], intensity[k]) && !std::isfinite(terms[k].amplitude)) {
      wide_at[k] = wide.size();
      wide.push_back(
          wide_term(position[k], intensity[k], sigma, 0.0, parameters.normalisation, 1.0, 0.0));
      work += static_cast<double>(x.size());
      continue;
    }
    windows[k] = gaussian_window(terms[k], x, is_ascending);
    work +=
        static_cast<double>(windows[k].every_point ? x.size() : windows[k].last - windows[k].first);
  }
  const Reach reach(position, x, !fwhm.empty(), is_ascending, kBlockPoints,
                    [&](std::size_t k) { return parameters.cutoff * fwhm[k]; });
  if (!fwhm.empty()) work = std::min(work, reach.work(x.size()));
  run_blocks(x.size(), kBlockPoints, work, threads, progress,
             [&](std::size_t begin, std::size_t end) {
               reach.visit(x, begin, end, [&](std::size_t k, std::size_t a, std::size_t b) {
                 const Block block{x.data(), y.data(), a, b};
                 if (wide_at[k] != kNotWide) {
                   block.add(a, b, add_wide, wide[wide_at[k]]);
                   return;
                 }
                 const Window& w = windows[k];
                 if (w.every_point) {
                   block.add(0, x.size(), add_gaussian_scalar, terms[k]);
                   return;
                 }
                 block.add(w.first, w.core_first, add_gaussian_rim, terms[k]);
                 block.add(w.core_first, w.core_last, kernels.gaussian, terms[k]);
                 block.add(w.core_last, w.last, add_gaussian_rim, terms[k]);
               });
             });
}

void add_lorentzians(const KernelSet& kernels, std::span<const double> position,
                     std::span<const double> intensity, std::span<const double> line_width,
                     const ProfileParameters& parameters, bool widths_are_fwhm,
                     std::span<const double> x, std::span<double> y, unsigned threads,
                     ProfileProgress* progress) {
  const GridSpan span(x);
  std::vector<LorentzianTerm> terms(position.size());
  std::vector<double> gammas(position.size());
  constexpr std::size_t kNotWide = std::size_t(-1);
  std::vector<std::size_t> wide_at(position.size(), kNotWide);  // of `wide`, or kNotWide
  std::vector<WideTerm> wide;
  for (std::size_t k = 0; k < terms.size(); ++k) {
    gammas[k] = widths_are_fwhm ? width_of(line_width, k, parameters.fwhm) * 0.5
                                : width_of(line_width, k, parameters.gamma);
    terms[k] = lorentzian_term(position[k], intensity[k], gammas[k], parameters.normalisation, 1.0);
    if (may_be_wide(position[k], intensity[k]) && lorentzian_is_wide(terms[k], span)) {
      wide_at[k] = wide.size();
      wide.push_back(
          wide_term(position[k], intensity[k], 0.0, gammas[k], parameters.normalisation, 0.0, 1.0));
    }
  }
  const Reach reach(position, x, parameters.cutoff > 0.0, ascending(x), kBlockPoints,
                    [&](std::size_t k) { return parameters.cutoff * (gammas[k] + gammas[k]); });
  const double work = reach.work(x.size());
  run_blocks(x.size(), kBlockPoints, work, threads, progress,
             [&](std::size_t begin, std::size_t end) {
               reach.visit(x, begin, end, [&](std::size_t k, std::size_t a, std::size_t b) {
                 if (wide_at[k] != kNotWide) {
                   add_wide(x.data() + a, y.data() + a, b - a, wide[wide_at[k]]);
                 } else {
                   kernels.lorentzian(x.data() + a, y.data() + a, b - a, terms[k]);
                 }
               });
             });
}

void add_pseudo_voigts(const KernelSet& kernels, std::span<const double> position,
                       std::span<const double> intensity, std::span<const double> line_width,
                       const ProfileParameters& parameters, std::span<const double> x,
                       std::span<double> y, unsigned threads, ProfileProgress* progress) {
  const bool is_ascending = ascending(x);
  const GridSpan span(x);
  const double eta = parameters.eta;
  std::vector<PseudoVoigtTerm> terms(position.size());
  std::vector<Window> windows(position.size());
  constexpr std::size_t kNotWide = std::size_t(-1);
  std::vector<std::size_t> wide_at(position.size(), kNotWide);  // of `wide`, or kNotWide
  std::vector<WideTerm> wide;
  double wide_work = 0.0;
  for (std::size_t k = 0; k < terms.size(); ++k) {
    const double fwhm = width_of(line_width, k, parameters.fwhm);
    terms[k] = PseudoVoigtTerm{
        gaussian_term(position[k], intensity[k], fwhm / kFwhmPerSigma, parameters.normalisation,
                      1.0 - eta),
        lorentzian_term(position[k], intensity[k], fwhm * 0.5, parameters.normalisation, eta)};
    if (may_be_wide(position[k], intensity[k]) && (!std::isfinite(terms[k].gaussian.amplitude) ||
                                                   lorentzian_is_wide(terms[k].lorentzian, span))) {
      wide_at[k] = wide.size();
      wide.push_back(wide_term(position[k], intensity[k], fwhm / kFwhmPerSigma, fwhm * 0.5,
                               parameters.normalisation, 1.0 - eta, eta));
      wide_work += 2.0 * static_cast<double>(x.size());
      continue;
    }
    windows[k] = gaussian_window(terms[k].gaussian, x, is_ascending);
  }
  const Reach reach(
      position, x, parameters.cutoff > 0.0, is_ascending, kBlockPoints,
      [&](std::size_t k) { return parameters.cutoff * width_of(line_width, k, parameters.fwhm); });
  // The Lorentzian part everywhere it reaches, the Gaussian part within its window.
  double work = reach.work(x.size()) + wide_work;
  for (const Window& w : windows)
    work += static_cast<double>(w.every_point ? x.size() : w.last - w.first);
  run_blocks(x.size(), kBlockPoints, work, threads, progress,
             [&](std::size_t begin, std::size_t end) {
               reach.visit(x, begin, end, [&](std::size_t k, std::size_t a, std::size_t b) {
                 const Block block{x.data(), y.data(), a, b};
                 if (wide_at[k] != kNotWide) {
                   block.add(a, b, add_wide, wide[wide_at[k]]);
                   return;
                 }
                 const Window& w = windows[k];
                 const PseudoVoigtTerm& term = terms[k];
                 if (w.every_point) {
                   block.add(0, x.size(), add_pseudo_voigt_scalar, term);
                   return;
                 }
                 // Where the Gaussian part is exactly zero, the term is the Lorentzian part alone.
                 block.add(0, w.first, kernels.lorentzian, term.lorentzian);
                 block.add(w.first, w.core_first, add_pseudo_voigt_rim, term);
                 block.add(w.core_first, w.core_last, kernels.pseudo_voigt, term);
                 block.add(w.core_last, w.last, add_pseudo_voigt_rim, term);
                 block.add(w.last, x.size(), kernels.lorentzian, term.lorentzian);
               });
             });
}

void add_voigts(std::span<const double> position, std::span<const double> intensity,
                const ProfileParameters& parameters, std::span<const double> x, std::span<double> y,
                unsigned threads, ProfileProgress* progress) {
  const VoigtTerms terms(position, intensity, parameters, x);
  const double distance = parameters.cutoff * profile_fwhm(parameters);
  const Reach reach(position, x, parameters.cutoff > 0.0, ascending(x), kVoigtBlockPoints,
                    [&](std::size_t) { return distance; });
  const double work = kVoigtTermWork * reach.work(x.size());
  run_blocks(x.size(), kVoigtBlockPoints, work, threads, progress,
             [&](std::size_t begin, std::size_t end) {
               reach.visit(x, begin, end, [&](std::size_t k, std::size_t a, std::size_t b) {
                 terms.add_line(x, y, a, b, k);
               });
             });
}

// The widths and parameters of `row`, checked as its row states them.
void require_parameters(const LineShapeRow& row, const ProfileParameters& parameters,
                        std::span<const double> line_width) {
  auto require_of_shape = [&](bool condition, std::string_view what) {
    if (!condition) require(false, (std::string(row.name) + ": " + std::string(what)).c_str());
  };
  for (const ShapeWidth& width : row.widths) {
    if (width.field == row.line_width && !line_width.empty()) {
      require_of_shape(std::all_of(line_width.begin(), line_width.end(), is_width),
                       "the line widths must lie from 1e-150 to 1e150");
    } else {
      require_of_shape(is_width(parameters.*width.field),
                       "the widths must lie from 1e-150 to 1e150");
    }
  }
  for (const ShapeParameter& parameter : row.parameters) {
    const double value = parameters.*parameter.field;
    require_of_shape(value >= parameter.low && value <= parameter.high,
                     "a parameter lies outside its range");
  }
  require_of_shape(parameters.cutoff == 0.0 || parameters.cutoff >= 1.0,
                   "the cutoff must be 0 or at least 1");
  require_of_shape(std::find(row.normalisations.begin(), row.normalisations.end(),
                             parameters.normalisation) != row.normalisations.end(),
                   "a normalisation it does not take");
}

}  // namespace

void add_profiles_with(const KernelSet& kernels, std::span<const double> position,
                       std::span<const double> intensity, std::span<const double> line_width,
                       const ProfileParameters& parameters, std::span<const double> x,
                       std::span<double> y, unsigned threads, ProfileProgress* progress) {
  const LineShape shape = parameters.shape;
  const LineShapeRow* row = line_shape_row(shape);
  require(row != nullptr, "unknown line shape");
  if (row->line_width == nullptr) line_width = {};
  require(intensity.size() == position.size(), "intensities and positions differ in number");
  require(line_width.empty() || line_width.size() == position.size(),
          "line widths and positions differ in number");
  require(y.size() == x.size(), "the grid and the spectrum differ in size");

  // No line uses a width: with no lines an absent common width (the widths
  // given per line) is no fault.
  if (position.empty() || x.empty()) return;
  require_parameters(*row, parameters, line_width);

  switch (shape) {
    case LineShape::gaussian:
      add_gaussians(kernels, position, intensity, line_width, parameters, false, x, y, threads,
                    progress);
      break;
    case LineShape::lorentzian:
      add_lorentzians(kernels, position, intensity, line_width, parameters, false, x, y, threads,
                      progress);
      break;
    case LineShape::pseudo_voigt:
      // At the ends one part has a zero factor and adds exactly zero: the
      // other shape alone gives the same sums, and faster.
      if (parameters.eta == 0.0) {
        add_gaussians(kernels, position, intensity, line_width, parameters, true, x, y, threads,
                      progress);
      } else if (parameters.eta == 1.0) {
        add_lorentzians(kernels, position, intensity, line_width, parameters, true, x, y, threads,
                        progress);
      } else {
        add_pseudo_voigts(kernels, position, intensity, line_width, parameters, x, y, threads,
                          progress);
      }
      break;
    case LineShape::voigt:
      add_voigts(position, intensity, parameters, x, y, threads, progress);
      break;
  }
}

}  // namespace detail

double voigt_fwhm(double gaussian_fwhm, double lorentzian_fwhm) noexcept {
  const double g = gaussian_fwhm, l = lorentzian_fwhm;
  return 0.5346 * l + std::sqrt(0.2166 * (l * l) + g * g);
}

WidthRange accepted_widths(double divisor) noexcept {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  // The least v with v / divisor >= bound, from a guess within an ulp or two.
  auto least = [&](double guess, double bound) {
    double v = guess;
    while (v / divisor < bound) v = std::nextafter(v, kInf);
    while (std::nextafter(v, 0.0) / divisor >= bound) v = std::nextafter(v, 0.0);
    return v;
  };
  const double low = least(kMinWidth * divisor, kMinWidth);
  // The greatest v with v / divisor <= kMaxWidth: just below the least whose quotient exceeds it.
  const double above = least(kMaxWidth * divisor, std::nextafter(kMaxWidth, kInf));
  return {low, std::nextafter(above, 0.0)};
}

double profile_fwhm(const ProfileParameters& parameters) noexcept {
  const LineShapeRow* row = line_shape_row(parameters.shape);
  return row == nullptr ? 0.0 : row->fwhm(parameters);
}

const LineShapeRow* line_shape_row(LineShape shape) noexcept {
  for (const LineShapeRow& row : kLineShapes) {
    if (row.shape == shape) return &row;
  }
  return nullptr;
}

void add_profiles(std::span<const double> position, std::span<const double> intensity,
                  std::span<const double> line_width, const ProfileParameters& parameters,
                  std::span<const double> x, std::span<double> y, unsigned threads,
                  ProfileProgress* progress) {
  detail::add_profiles_with(detail::kernel_sets().back(), position, intensity, line_width,
                            parameters, x, y, threads, progress);
}

bool same_on_any_part(std::span<const double> position, double low, double high) noexcept {
  const detail::GridSpan span(std::array<double, 2>{low, high});
  return std::none_of(position.begin(), position.end(),
                      [&](double p) { return std::isfinite(p) && span.reaches_far(p); });
}

}  // namespace broaden
