#include "synthesis/gaussian_terms.h"

#include <algorithm>
#include <cmath>

namespace broaden::detail {

void add_gaussian_scalar(const double* x, double* y, std::size_t n,
                         const GaussianTerm& term) noexcept {
  for (std::size_t i = 0; i < n; ++i) {
    const double d = x[i] - term.position;
    const double q = (d * d) / term.spread;
    y[i] = std::exp(-q) * term.amplitude + y[i];
  }
}

void add_gaussian_rim(const double* x, double* y, std::size_t n,
                      const GaussianTerm& term) noexcept {
  const double unchanged = rim_unchanged_from(term.amplitude);
  for (std::size_t i = 0; i < n; ++i) {
    const double d = x[i] - term.position;
    const double q = (d * d) / term.spread;
    if (q >= kRimQ && !(std::fabs(y[i]) < unchanged)) continue;
    y[i] = std::exp(-q) * term.amplitude + y[i];
  }
}

namespace {

double q_at(double x, const GaussianTerm& term) {
  const double d = x - term.position;
  return (d * d) / term.spread;
}

// The first index in [from, to) where `predicate` is false.
template <class Predicate>
std::size_t partition_point(std::span<const double> x, std::size_t from, std::size_t to,
                            Predicate predicate) {
  const auto begin = x.begin();
  return static_cast<std::size_t>(std::partition_point(begin + static_cast<std::ptrdiff_t>(from),
                                                       begin + static_cast<std::ptrdiff_t>(to),
                                                       predicate) -
                                  begin);
}

// Where on an ascending grid a line's q crosses `q_limit`: the first index
// in [from, to) where `predicate` (true, then false there) is false. The
// search runs first between the points that stand about sqrt(q_limit *
// spread) from the line (`side` -1 left of it, +1 right), found by comparing
// abscissae alone, and is taken there only where the predicate is seen to
// change inside that bracket; else over [from, to). Either way the answer is
// the exact one; the bracket only saves the divisions of q.
template <class Predicate>
std::size_t crossing(std::span<const double> x, std::size_t from, std::size_t to,
                     const GaussianTerm& term, double q_limit, int side, const GridGuess* guess,
                     Predicate predicate) {
  if (from >= to) return from;
  const double reach = std::sqrt(q_limit * term.spread);
  const double near = term.position + side * reach * (1.0 - 1e-6);
  const double far = term.position + side * reach * (1.0 + 1e-6);
  const auto begin = x.begin() + static_cast<std::ptrdiff_t>(from);
  const auto end = x.begin() + static_cast<std::ptrdiff_t>(to);
  auto index_of = [&](double v, double margin) {
    if (guess == nullptr)
      return static_cast<std::size_t>(std::lower_bound(begin, end, v) - x.begin());
    const double i = std::floor(v * guess->points_per_unit + guess->index_offset + margin);
    return static_cast<std::size_t>(
        std::clamp(i, static_cast<double>(from), static_cast<double>(to)));
  };
  const double margin = guess == nullptr ? 0.0 : guess->margin;
  std::size_t a = index_of(side < 0 ? far : near, -margin);
  std::size_t c = index_of(side < 0 ? near : far, margin);
  a = a > from ? a - 1 : from;
  c = std::min(to, std::max(a, c) + 1);
  const bool holds = (a == from || predicate(x[a - 1])) && (c == to || !predicate(x[c]));
  return holds ? partition_point(x, a, c, predicate) : partition_point(x, from, to, predicate);
}

// The first index where x reaches `position`, by the guess where there is one.
std::size_t apex_of(std::span<const double> x, std::size_t from, std::size_t to, double position,
                    const GridGuess* guess) {
  const auto before = [&](double v) { return v < position; };
  if (guess == nullptr || !std::isfinite(position)) return partition_point(x, from, to, before);
  const double i = std::floor(position * guess->points_per_unit + guess->index_offset);
  const double low =
      std::clamp(i - guess->margin, static_cast<double>(from), static_cast<double>(to));
  const double high = std::clamp(i + guess->margin, low, static_cast<double>(to));
  const auto a = static_cast<std::size_t>(low), c = static_cast<std::size_t>(high);
  const bool holds = (a == from || before(x[a - 1])) && (c == to || !before(x[c]));
  return holds ? partition_point(x, a, c, before) : partition_point(x, from, to, before);
}

}  // namespace

GaussianWindow gaussian_window(const GaussianTerm& term, std::span<const double> x, bool ascending,
                               const GridGuess* guess) noexcept {
  GaussianWindow window;
  if (!std::isfinite(term.position) || !std::isfinite(term.amplitude) ||
      !std::isfinite(term.spread) || !(term.spread > 0.0)) {
    window.every_point = true;
    return window;
  }
  if (term.amplitude == 0.0) return window;  // every term is a zero
  if (!ascending) {
    window.last = x.size();  // all rim: any q, scalar exp
    return window;
  }
  const std::size_t apex = apex_of(x, 0, x.size(), term.position, guess);
  window.first = crossing(x, 0, apex, term, kZeroTermQ, -1, guess,
                          [&](double v) { return !(q_at(v, term) < kZeroTermQ); });
  window.last = crossing(x, apex, x.size(), term, kZeroTermQ, 1, guess,
                         [&](double v) { return q_at(v, term) < kZeroTermQ; });
  window.core_first = crossing(x, window.first, apex, term, kCoreQ, -1, guess,
                               [&](double v) { return !(q_at(v, term) <= kCoreQ); });
  window.core_last = crossing(x, apex, window.last, term, kCoreQ, 1, guess,
                              [&](double v) { return q_at(v, term) <= kCoreQ; });
  return window;
}

std::pair<std::size_t, std::size_t> points_within(const GaussianTerm& term,
                                                  std::span<const double> x, double q_limit,
                                                  std::size_t from, std::size_t to,
                                                  const GridGuess* guess) noexcept {
  const std::size_t apex = apex_of(x, from, to, term.position, guess);
  const std::size_t a = crossing(x, from, apex, term, q_limit, -1, guess,
                                 [&](double v) { return !(q_at(v, term) <= q_limit); });
  const std::size_t b = crossing(x, apex, to, term, q_limit, 1, guess,
                                 [&](double v) { return q_at(v, term) <= q_limit; });
  return {a, std::max(a, b)};
}

}  // namespace broaden::detail
