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

}  // namespace

GaussianWindow gaussian_window(const GaussianTerm& term, std::span<const double> x,
                               bool ascending) noexcept {
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
  const std::size_t apex =
      partition_point(x, 0, x.size(), [&](double v) { return v < term.position; });
  window.first =
      partition_point(x, 0, apex, [&](double v) { return !(q_at(v, term) < kZeroTermQ); });
  window.last =
      partition_point(x, apex, x.size(), [&](double v) { return q_at(v, term) < kZeroTermQ; });
  window.core_first =
      partition_point(x, window.first, apex, [&](double v) { return !(q_at(v, term) <= kCoreQ); });
  window.core_last =
      partition_point(x, apex, window.last, [&](double v) { return q_at(v, term) <= kCoreQ; });
  return window;
}

std::pair<std::size_t, std::size_t> points_within(const GaussianTerm& term,
                                                  std::span<const double> x, double q_limit,
                                                  std::size_t from, std::size_t to) noexcept {
  const std::size_t apex =
      partition_point(x, from, to, [&](double v) { return v < term.position; });
  const std::size_t a =
      partition_point(x, from, apex, [&](double v) { return !(q_at(v, term) <= q_limit); });
  const std::size_t b =
      partition_point(x, apex, to, [&](double v) { return q_at(v, term) <= q_limit; });
  return {a, std::max(a, b)};
}

}  // namespace broaden::detail
