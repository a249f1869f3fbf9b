#include "batch/compare.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <utility>

#include "numbers/double_to_shortest.h"

namespace broaden {
namespace {

// The finite points of (x, y) ascending in x, those of equal x merged at the
// mean of their y.
void sorted_points(std::span<const double> x, std::span<const double> y, std::vector<double>& xs,
                   std::vector<double>& ys) {
  std::vector<std::pair<double, double>> points;
  for (std::size_t k = 0; k < std::min(x.size(), y.size()); ++k)
    if (std::isfinite(x[k]) && std::isfinite(y[k])) points.emplace_back(x[k], y[k]);
  std::stable_sort(points.begin(), points.end(),
                   [](const auto& p, const auto& q) { return p.first < q.first; });
  for (std::size_t k = 0; k < points.size();) {
    std::size_t end = k;
    double sum = 0.0;
    for (; end < points.size() && points[end].first == points[k].first; ++end)
      sum += points[end].second;
    xs.push_back(points[k].first);
    ys.push_back(sum / static_cast<double>(end - k));
    k = end;
  }
}

// The linear interpolation of (xs, ys) (ascending) at `at` within their ends.
double interpolated(const std::vector<double>& xs, const std::vector<double>& ys, double at) {
  const auto upper = std::upper_bound(xs.begin(), xs.end(), at);
  if (upper == xs.end()) return ys.back();  // at == xs.back()
  const auto k = static_cast<std::size_t>(upper - xs.begin());
  if (k == 0) return ys.front();
  const double t = (at - xs[k - 1]) / (xs[k] - xs[k - 1]);
  return ys[k - 1] + t * (ys[k] - ys[k - 1]);
}

// The largest magnitude of `values` (0 where empty).
double largest(std::span<const double> values) noexcept {
  double most = 0.0;
  for (double v : values) most = std::max(most, std::fabs(v));
  return most;
}

// The part of `values` of sign `sign` (+1 or -1), as magnitudes.
std::vector<double> part_of(std::span<const double> values, double sign) {
  std::vector<double> part(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) part[i] = std::max(sign * values[i], 0.0);
  return part;
}

// Whether every value of `values` is its first.
bool constant(std::span<const double> values) noexcept {
  return std::all_of(values.begin(), values.end(), [&](double v) { return v == values.front(); });
}

// The score a fit maximises; nothing as -infinity.
double objective(std::span<const double> f, std::span<const double> g, const FitRequest& request) {
  constexpr double kWorst = -std::numeric_limits<double>::infinity();
  if (request.signed_spectrum) {
    const Enantiomer e = enantiomer(f, g);
    return e.s_e ? std::max(*e.s_e, *e.s_mirror) : kWorst;
  }
  const std::optional<double> score = request.score == Score::cosine ? cosine(f, g) : pearson(f, g);
  return score.value_or(kWorst);
}

// The fit's state: the best values and score seen, and the count.
struct Search {
  const MeasuredOnGrid& measured;
  const SpectrumAt& spectrum;
  const FitRequest& request;
  FitValues best;
  std::vector<double> best_taken;  // the spectrum at `best` on the compared points
  double best_score = -std::numeric_limits<double>::infinity();
  std::size_t evaluations = 0;

  double score_at(const FitValues& values) {
    ++evaluations;
    std::vector<double> taken = taken_at(spectrum(values), measured.index);
    const double score = objective(taken, measured.value, request);
    if (score > best_score || evaluations == 1) {
      best_score = score;
      best = values;
      best_taken = std::move(taken);
    }
    return score;
  }
};

// The scan: every combination of `points[p]` values of range p, ends
// included, the first range varying slowest.
void scan(Search& search, const std::vector<int>& points) {
  const std::vector<FitRange>& ranges = search.request.ranges;
  std::vector<int> at(ranges.size(), 0);
  for (;;) {
    FitValues values = search.request.start;
    for (std::size_t p = 0; p < ranges.size(); ++p) {
      const FitRange& r = ranges[p];
      values[r.parameter] =
          points[p] == 1 ? r.low
                         : r.low + (r.high - r.low) * at[p] / static_cast<double>(points[p] - 1);
    }
    search.score_at(values);
    std::size_t p = ranges.size();
    while (p > 0 && ++at[p - 1] == points[p - 1]) at[--p] = 0;
    if (p == 0) return;
  }
}

// The refinement's simplex: vertices in units of each range's width from its
// low end (0..1; a range of no width keeps its value and takes no axis), with
// their scores, best first.
struct Simplex {
  std::vector<std::vector<double>> point;
  std::vector<double> score;
};

// The values at `u` (clamped to 0..1) and their score.
double score_at_unit(Search& search, const std::vector<std::size_t>& axes, std::vector<double>& u) {
  FitValues values = search.best;
  for (std::size_t a = 0; a < axes.size(); ++a) {
    const FitRange& r = search.request.ranges[axes[a]];
    u[a] = std::clamp(u[a], 0.0, 1.0);
    values[r.parameter] = r.low + (r.high - r.low) * u[a];
  }
  return search.score_at(values);
}

// The vertices by score, best first; of equal scores the older first.
void order(Simplex& s) {
  std::vector<std::size_t> rank(s.point.size());
  for (std::size_t k = 0; k < rank.size(); ++k) rank[k] = k;
  std::stable_sort(rank.begin(), rank.end(),
                   [&](std::size_t a, std::size_t b) { return s.score[a] > s.score[b]; });
  Simplex sorted;
  for (std::size_t k : rank) {
    sorted.point.push_back(s.point[k]);
    sorted.score.push_back(s.score[k]);
  }
  s = std::move(sorted);
}

// The largest distance of a vertex from the best, in any coordinate.
double extent(const Simplex& s) {
  double most = 0.0;
  for (const std::vector<double>& p : s.point)
    for (std::size_t a = 0; a < p.size(); ++a)
      most = std::max(most, std::fabs(p[a] - s.point[0][a]));
  return most;
}

// c + t (c - w), each coordinate.
std::vector<double> along(const std::vector<double>& c, const std::vector<double>& w, double t) {
  std::vector<double> p(c.size());
  for (std::size_t a = 0; a < c.size(); ++a) p[a] = c[a] + t * (c[a] - w[a]);
  return p;
}

// One Nelder-Mead step (reflection 1, expansion 2, contraction 1/2, shrink
// 1/2 towards the best); the simplex ordered again.
void nelder_mead_step(Search& search, const std::vector<std::size_t>& axes, Simplex& s) {
  const std::size_t n = axes.size();
  std::vector<double> centre(n, 0.0);
  for (std::size_t k = 0; k < n; ++k)
    for (std::size_t a = 0; a < n; ++a) centre[a] += s.point[k][a] / static_cast<double>(n);
  const auto tried = [&](std::vector<double> p, double& score) {
    score = score_at_unit(search, axes, p);
    return p;
  };
  double fr = 0.0, fe = 0.0, fc = 0.0;
  const std::vector<double> r = tried(along(centre, s.point[n], 1.0), fr);
  if (fr > s.score[0]) {
    const std::vector<double> e = tried(along(centre, s.point[n], 2.0), fe);
    s.point[n] = fe > fr ? e : r;
    s.score[n] = std::max(fe, fr);
  } else if (fr > s.score[n - 1]) {
    s.point[n] = r;
    s.score[n] = fr;
  } else {
    const bool outside = fr > s.score[n];
    const std::vector<double> c = tried(along(centre, s.point[n], outside ? 0.5 : -0.5), fc);
    if (fc > std::max(fr, s.score[n]) || (!outside && fc > s.score[n])) {
      s.point[n] = c;
      s.score[n] = fc;
    } else {
      for (std::size_t k = 1; k <= n; ++k) {
        s.point[k] = along(s.point[0], s.point[k], -0.5);
        s.score[k] = score_at_unit(search, axes, s.point[k]);
      }
    }
  }
  order(s);
}

// Nelder-Mead from the best values, its first vertices one `step` (in units
// of the ranges' widths) from it along each axis (back where that leaves the
// range), until the simplex lies within `tolerance` of its best vertex or
// `budget` evaluations are spent.
void refine(Search& search, const std::vector<std::size_t>& axes, double step, double tolerance,
            std::size_t budget) {
  const std::size_t n = axes.size(), until = search.evaluations + budget;
  Simplex s;
  std::vector<double> best(n);
  for (std::size_t a = 0; a < n; ++a) {
    const FitRange& r = search.request.ranges[axes[a]];
    best[a] = (search.best[r.parameter] - r.low) / (r.high - r.low);
  }
  s.point.push_back(best);
  s.score.push_back(search.best_score);
  for (std::size_t a = 0; a < n; ++a) {
    std::vector<double> p = best;
    p[a] += p[a] + step <= 1.0 ? step : -step;
    s.score.push_back(score_at_unit(search, axes, p));
    s.point.push_back(p);
  }
  order(s);
  while (extent(s) > tolerance && search.evaluations < until) nelder_mead_step(search, axes, s);
}

nlohmann::ordered_json number_or_null(const std::optional<double>& value) {
  return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json scores_json(const Scores& scores) {
  nlohmann::ordered_json json = nlohmann::ordered_json::object();
  json["cosine"] = number_or_null(scores.cosine);
  json["pearson"] = number_or_null(scores.pearson);
  if (scores.enantiomer) {
    json["esi"] = number_or_null(scores.enantiomer->esi);
    json["s_e"] = number_or_null(scores.enantiomer->s_e);
    json["s_mirror"] = number_or_null(scores.enantiomer->s_mirror);
  }
  return json;
}

std::string_view parameter_name(FitParameter parameter) noexcept {
  switch (parameter) {
    case FitParameter::scale:
      return "scale";
    case FitParameter::shift:
      return "shift";
    case FitParameter::fwhm:
      return "fwhm";
  }
  return "";
}

// Why the measurement cannot be compared: where it lies, where the grid
// lies, and the range asked for, so that a unit mistaken shows at once.
std::string too_few_points(const MeasuredOnGrid& on, std::span<const double> grid,
                           std::span<const double> xs, std::optional<AxisRange> range) {
  const auto [low, high] = std::minmax_element(grid.begin(), grid.end());
  std::string text = "the measurement";
  if (!xs.empty()) text += " (from " + shortest(xs.front()) + " to " + shortest(xs.back()) + ")";
  text += " spans " + std::to_string(on.points()) + (on.points() == 1 ? " point" : " points") +
          " of the grid";
  if (!grid.empty()) text += " (from " + shortest(*low) + " to " + shortest(*high) + ")";
  if (range)
    text += " within " + shortest(std::min(range->a, range->b)) + " to " +
            shortest(std::max(range->a, range->b));
  return text + ": at least 3 are needed";
}

}  // namespace

MeasuredOnGridResult measured_on_grid(std::span<const double> grid, std::span<const double> x,
                                      std::span<const double> y, std::optional<AxisRange> range) {
  std::vector<double> xs, ys;
  sorted_points(x, y, xs, ys);
  MeasuredOnGridResult result;
  if (!xs.empty()) {
    double low = xs.front(), high = xs.back();
    if (range) {
      low = std::max(low, std::min(range->a, range->b));
      high = std::min(high, std::max(range->a, range->b));
    }
    MeasuredOnGrid& on = result.on_grid;
    for (std::size_t i = 0; i < grid.size(); ++i) {
      if (!(grid[i] >= low && grid[i] <= high)) continue;
      on.first = on.index.empty() ? grid[i] : std::min(on.first, grid[i]);
      on.last = on.index.empty() ? grid[i] : std::max(on.last, grid[i]);
      on.index.push_back(i);
      on.value.push_back(interpolated(xs, ys, grid[i]));
    }
  }
  if (result.on_grid.points() < 3) result.error = too_few_points(result.on_grid, grid, xs, range);
  return result;
}

std::vector<double> taken_at(std::span<const double> y, std::span<const std::size_t> index) {
  std::vector<double> taken(index.size());
  for (std::size_t k = 0; k < index.size(); ++k) taken[k] = y[index[k]];
  return taken;
}

std::optional<double> cosine(std::span<const double> f, std::span<const double> g) noexcept {
  // Each divided by its largest magnitude first: the sums neither overflow
  // nor vanish, and the cosine is the same.
  const double mf = largest(f), mg = largest(g);
  if (!(mf > 0.0 && mg > 0.0 && std::isfinite(mf) && std::isfinite(mg))) return std::nullopt;
  double fg = 0.0, ff = 0.0, gg = 0.0;
  for (std::size_t i = 0; i < f.size(); ++i) {
    const double p = f[i] / mf, q = g[i] / mg;
    fg += p * q;
    ff += p * p;
    gg += q * q;
  }
  return std::clamp(fg / std::sqrt(ff * gg), -1.0, 1.0);
}

std::optional<double> pearson(std::span<const double> f, std::span<const double> g) {
  if (f.empty() || constant(f) || constant(g)) return std::nullopt;
  const auto centred = [](std::span<const double> values) {
    double mean = 0.0;
    for (double v : values) mean += v;
    mean /= static_cast<double>(values.size());
    std::vector<double> less(values.begin(), values.end());
    for (double& v : less) v -= mean;
    return less;
  };
  return cosine(centred(f), centred(g));
}

std::string_view verdict_text(Verdict verdict) noexcept {
  switch (verdict) {
    case Verdict::computed:
      return "computed configuration";
    case Verdict::mirror:
      return "mirror image";
    case Verdict::undecided:
      return "no decision";
  }
  return "";
}

Enantiomer enantiomer(std::span<const double> f, std::span<const double> g) {
  double positive = 0.0, negative = 0.0;
  bool measured = false;
  for (std::size_t i = 0; i < f.size(); ++i) {
    positive += std::max(f[i], 0.0);
    negative += std::max(-f[i], 0.0);
    measured = measured || g[i] != 0.0;
  }
  Enantiomer e;
  const double area = positive + negative;
  if (!(area > 0.0) || !std::isfinite(area) || !measured) return e;
  const std::vector<double> f_plus = part_of(f, 1), f_minus = part_of(f, -1);
  const std::vector<double> g_plus = part_of(g, 1), g_minus = part_of(g, -1);
  const auto s = [](const std::vector<double>& p, const std::vector<double>& q) {
    return cosine(p, q).value_or(0.0);
  };
  // Each weight at most 1: the areas are summed without overflow only where
  // they are finite, checked above.
  const double wp = positive / area, wn = negative / area;
  e.s_e = wp * s(f_plus, g_plus) + wn * s(f_minus, g_minus);
  e.s_mirror = wn * s(f_minus, g_plus) + wp * s(f_plus, g_minus);
  e.esi = *e.s_e - *e.s_mirror;
  e.verdict = *e.esi >= kEsiThreshold    ? Verdict::computed
              : *e.esi <= -kEsiThreshold ? Verdict::mirror
                                         : Verdict::undecided;
  return e;
}

Scores scores_of(std::span<const double> f, std::span<const double> g, bool signed_spectrum) {
  Scores scores{cosine(f, g), pearson(f, g), std::nullopt};
  if (signed_spectrum) scores.enantiomer = enantiomer(f, g);
  return scores;
}

double& FitValues::operator[](FitParameter parameter) noexcept {
  return parameter == FitParameter::scale ? scale : parameter == FitParameter::shift ? shift : fwhm;
}

double FitValues::operator[](FitParameter parameter) const noexcept {
  return const_cast<FitValues&>(*this)[parameter];
}

int scan_points(std::size_t parameters) noexcept { return parameters >= 3 ? 7 : 11; }

FitResult fit(const MeasuredOnGrid& measured, const SpectrumAt& spectrum,
              const FitRequest& request) {
  Search search{measured, spectrum, request, request.start, {}};
  FitResult result;
  search.score_at(request.start);
  result.before = scores_of(search.best_taken, measured.value, request.signed_spectrum);
  std::vector<int> points;
  for (const FitRange& r : request.ranges)
    points.push_back(r.scan > 0 ? r.scan : scan_points(request.ranges.size()));
  if (!request.ranges.empty()) scan(search, points);
  std::vector<std::size_t> axes;
  for (std::size_t p = 0; p < request.ranges.size(); ++p)
    if (request.ranges[p].high > request.ranges[p].low) axes.push_back(p);
  // Restarted from the best until a round moves it by no more than the
  // tolerance: a simplex may collapse short of a valley's end.
  double step =
      1.0 / (std::max(2, points.empty() ? 2 : *std::max_element(points.begin(), points.end())) - 1);
  for (int round = 0; round < kFitRounds && !axes.empty(); ++round) {
    const FitValues from = search.best;
    refine(search, axes, step, request.tolerance, kFitEvaluations * axes.size());
    bool moved = false;
    for (std::size_t p : axes) {
      const FitRange& r = request.ranges[p];
      moved = moved || std::fabs(search.best[r.parameter] - from[r.parameter]) >
                           request.tolerance * (r.high - r.low);
    }
    if (!moved) break;
    step = std::min(step, 10 * request.tolerance);
  }
  result.values = search.best;
  result.evaluations = search.evaluations;
  result.after = scores_of(search.best_taken, measured.value, request.signed_spectrum);
  return result;
}

std::string report_json(const CompareReport& report) {
  nlohmann::ordered_json json;
  json["experiment"] = report.experiment;
  json["range"] = {report.first, report.last};
  json["points"] = report.points;
  json["scores"] = scores_json(report.scores);
  if (report.fit) {
    nlohmann::ordered_json fitted;
    for (FitParameter parameter : report.fitted)
      fitted[std::string(parameter_name(parameter))] = report.fit->values[parameter];
    fitted["evaluations"] = report.fit->evaluations;
    json["fit"] = fitted;
    json["before"] = scores_json(report.fit->before);
  }
  if (report.signed_spectrum && report.scores.enantiomer)
    json["verdict"] = std::string(verdict_text(report.scores.enantiomer->verdict));
  return json.dump(2) + "\n";
}

}  // namespace broaden
