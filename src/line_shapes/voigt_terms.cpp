#include "line_shapes/voigt_terms.h"

#include <cerf.h>

#include <algorithm>
#include <cmath>
#include <limits>

// The four-lane loop is written in GCC target regions; other compilers take
// the scalar loop, which gives the same bits.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#include <immintrin.h>
#define BROADEN_VOIGT_AVX2 1
#endif

namespace broaden::detail {
namespace {

// sqrt(pi), sqrt(2), sqrt(2 pi) and pi sqrt(2): the doubles nearest them.
constexpr double kSqrtPi = 1.7724538509055160;
constexpr double kSqrtTwo = 1.4142135623730951;
constexpr double kSqrtTwoPi = 2.5066282746310002;
constexpr double kPiSqrtTwo = 4.4428829381583662;

// Beyond 2^50 (in units of sigma sqrt 2) the one-node form is exact to 2e-30
// and the far sum's products could overflow: A B C <= 2^606 below it.
constexpr double kRemote = 1125899906842624.0;

// The positive nodes of the 12-point Gauss-Hermite rule (weight exp(-t^2)) and
// their weights divided by sqrt(pi), the doubles nearest the values computed to
// 50 digits (0.31424037625435911128, ... ; 0.32166436151282999193, ...).
constexpr VoigtShape::Pairs kPairs = {
    {0x1.41c83aac617e1p-2, 0x1.e544851fcf567p-1, 0x1.9901baab5e16fp+0, 0x1.23c6e354e051ap+1,
     0x1.82a43be9fd8fdp+1, 0x1.f1e2816564d1dp+1},
    {0x1.496261e3f1ff7p-2, 0x1.2cfd0f478e08fp-3, 0x1.dd0c3d967e08ep-6, 0x1.20cd2ffcb83b9p-9,
     0x1.95c5c157281b5p-15, 0x1.421b5e3a9a581p-23}};

// The same for the 6-point rule (0.43607741192761650868, ... ;
// 0.40882846955602922609, ...), for the outer region: its first three of each.
constexpr VoigtShape::Pairs kOuterPairs = {
    {0x1.be8b13bb03840p-2, 0x1.55fa347547dccp+0, 0x1.2ce09fafdf99fp+1, 0.0, 0.0, 0.0},
    {0x1.a2a3ee29aae1ep-2, 0x1.6af858329214cp-4, 0x1.4efde4d84c7adp-9, 0.0, 0.0, 0.0}};

// The outer region: |z| >= 32.
constexpr double kOuterRadius = 32.0;

// sum over the first 3 * kGroups pairs of v (A + B) / (A B), three pairs to a fraction.
template <int kGroups>
double pair_sum(const VoigtShape::Pairs& pairs, double x, double y_squared) {
  double num[6], den[6];
  for (int j = 0; j < 3 * kGroups; ++j) {
    const double a = x - pairs.t[j], b = x + pairs.t[j];
    const double aa = a * a + y_squared, bb = b * b + y_squared;
    num[j] = pairs.v[j] * (aa + bb);
    den[j] = aa * bb;
  }
  auto group = [&](int g) {
    const double m0 = den[g], m1 = den[g + 1], m2 = den[g + 2];
    const double top = (num[g] * (m1 * m2) + num[g + 1] * (m0 * m2)) + num[g + 2] * (m0 * m1);
    return top / ((m0 * m1) * m2);
  };
  if constexpr (kGroups == 1) {
    return group(0);
  } else {
    return group(0) + group(3);
  }
}

// The smallest |x| of the far region for this y (see the header).
double far_from_for(double y) {
  double from = y < 8.0 ? std::sqrt(64.0 - y * y) : 0.0;
  if (y < 1.0) {
    // s = 37 + ln(sqrt(pi) (s + 1) / y) by iteration from above: the map is
    // increasing with slope below 1/(s + 1), so the iterates fall towards the
    // fixed point and stay above it. From 4000 for every y down to the least
    // subnormal, whose logarithm is -744.4.
    double s = 4000.0;
    for (int i = 0; i < 40; ++i) s = 37.0 + std::log(kSqrtPi * (s + 1.0) / y);
    from = std::max(from, std::sqrt(s) * (1.0 + 1e-12));
  }
  return from;
}

#ifdef BROADEN_VOIGT_AVX2
#pragma GCC push_options
#pragma GCC target("avx2")
// pair_sum, four points at a time: its operations in its order.
template <int kGroups>
void add_pairs_avx2(const VoigtShape::Pairs& pairs, const double* x, double* y, std::size_t n,
                    double position, double to_x, double y_squared, double amplitude) {
  const __m256d p = _mm256_set1_pd(position), c = _mm256_set1_pd(to_x),
                ysq = _mm256_set1_pd(y_squared), amp = _mm256_set1_pd(amplitude);
  auto sum = [&](__m256d v) {
    __m256d num[6], den[6];
    for (int j = 0; j < 3 * kGroups; ++j) {
      const __m256d t = _mm256_set1_pd(pairs.t[j]);
      const __m256d a = _mm256_sub_pd(v, t), b = _mm256_add_pd(v, t);
      const __m256d aa = _mm256_add_pd(_mm256_mul_pd(a, a), ysq);
      const __m256d bb = _mm256_add_pd(_mm256_mul_pd(b, b), ysq);
      num[j] = _mm256_mul_pd(_mm256_set1_pd(pairs.v[j]), _mm256_add_pd(aa, bb));
      den[j] = _mm256_mul_pd(aa, bb);
    }
    auto group = [&](int g) {
      const __m256d m0 = den[g], m1 = den[g + 1], m2 = den[g + 2];
      const __m256d top =
          _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(num[g], _mm256_mul_pd(m1, m2)),
                                      _mm256_mul_pd(num[g + 1], _mm256_mul_pd(m0, m2))),
                        _mm256_mul_pd(num[g + 2], _mm256_mul_pd(m0, m1)));
      return _mm256_div_pd(top, _mm256_mul_pd(_mm256_mul_pd(m0, m1), m2));
    };
    if constexpr (kGroups == 1) {
      return group(0);
    } else {
      return _mm256_add_pd(group(0), group(3));
    }
  };
  auto step = [&](__m256d xv, __m256d yv) {
    const __m256d v = _mm256_mul_pd(_mm256_sub_pd(xv, p), c);
    return _mm256_add_pd(_mm256_mul_pd(sum(v), amp), yv);
  };
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    _mm256_storeu_pd(y + i, step(_mm256_loadu_pd(x + i), _mm256_loadu_pd(y + i)));
  }
  if (i < n) {
    // The last lanes padded with a far abscissa, never stored back.
    double xt[4], yt[4];
    for (std::size_t l = 0; l < 4; ++l) {
      xt[l] = i + l < n ? x[i + l] : position + 16.0 / to_x;
      yt[l] = i + l < n ? y[i + l] : 0.0;
    }
    _mm256_storeu_pd(yt, step(_mm256_loadu_pd(xt), _mm256_loadu_pd(yt)));
    for (std::size_t l = 0; i + l < n; ++l) y[i + l] = yt[l];
  }
}
#pragma GCC pop_options
#endif

}  // namespace

bool voigt_vector_available() noexcept {
#ifdef BROADEN_VOIGT_AVX2
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

VoigtShape::VoigtShape(double sigma, double gamma)
    : sigma_(sigma),
      gamma_(gamma),
      to_x_(1.0 / (sigma * kSqrtTwo)),
      y_(gamma / (sigma * kSqrtTwo)),
      y_squared_(y_ * y_),
      far_from_(far_from_for(y_)),
      outer_from_(std::max(far_from_, y_ < kOuterRadius
                                          ? std::sqrt(kOuterRadius * kOuterRadius - y_squared_)
                                          : 0.0)),
      far_factor_(y_ / (sigma * kPiSqrtTwo)),
      remote_factor_(1.0 / (sigma * kSqrtTwoPi)) {}

VoigtShape::Region VoigtShape::region_of(double x) const {
  const double ax = std::fabs(x);
  if (!(ax >= far_from_ && ax <= std::numeric_limits<double>::max())) return Region::near;
  if (!(ax < kRemote && y_ < kRemote)) return Region::remote;
  return ax >= outer_from_ ? Region::outer : Region::far;
}

double VoigtShape::far_sum(double x) const { return pair_sum<2>(kPairs, x, y_squared_); }

double VoigtShape::outer_sum(double x) const { return pair_sum<1>(kOuterPairs, x, y_squared_); }

double VoigtShape::remote_re_w(double x) const {
  const double ax = std::fabs(x);
  if (ax >= y_) {
    const double r = y_ / ax;
    return r / (kSqrtPi * (ax + r * y_));
  }
  const double r = ax / y_;
  return 1.0 / (kSqrtPi * (y_ + r * ax));
}

double VoigtShape::libcerf(double d) const { return voigt(d, sigma_, gamma_); }

double VoigtShape::far(double d) const { return far_sum(d * to_x_) * far_factor_; }

double VoigtShape::operator()(double d) const {
  const double x = d * to_x_;
  switch (region_of(x)) {
    case Region::far:
      return far_sum(x) * far_factor_;
    case Region::outer:
      return outer_sum(x) * far_factor_;
    case Region::remote:
      return remote_re_w(x) * remote_factor_;
    case Region::near:
      break;
  }
  return libcerf(d);
}

VoigtTerms::VoigtTerms(std::span<const double> position, std::span<const double> intensity,
                       const ProfileParameters& parameters, std::span<const double> x,
                       VoigtPath path)
    : shape_(parameters.sigma, parameters.gamma),
      position_(position),
      amplitude_(intensity.begin(), intensity.end()),
      far_amplitude_(intensity.size()),
      windows_(position.size()),
      vector_(path == VoigtPath::fastest && voigt_vector_available()) {
  const double peak = shape_.libcerf(0.0);
  if (parameters.normalisation == Normalisation::height) {
    for (double& a : amplitude_) a = a / peak;
  }
  bool ascending = true;
  for (std::size_t i = 1; i < x.size() && ascending; ++i) ascending = x[i - 1] <= x[i];
  const bool has_far = shape_.y() < kRemote;
  const double from = shape_.far_from(), outer = shape_.outer_from(), to_x = shape_.to_x();
  const auto begin = x.begin();
  auto index_of = [&](std::size_t a, std::size_t b, auto predicate) {
    return static_cast<std::size_t>(std::partition_point(begin + static_cast<std::ptrdiff_t>(a),
                                                         begin + static_cast<std::ptrdiff_t>(b),
                                                         predicate) -
                                    begin);
  };
  for (std::size_t k = 0; k < position.size(); ++k) {
    far_amplitude_[k] = amplitude_[k] * shape_.far_factor();
    const double p = position[k];
    const double i = intensity[k];
    // A finite line whose amplitude overflows: its terms voigt(d) times the amplitude in long
    // double, where voigt(d) <= peak keeps them as finite as the true ones.
    if (std::isfinite(p) && std::isfinite(i) && i != 0.0 &&
        (!std::isfinite(amplitude_[k]) || (has_far && !std::isfinite(far_amplitude_[k])))) {
      if (wide_amplitude_.empty()) wide_amplitude_.resize(position.size(), 0.0L);
      wide_amplitude_[k] = parameters.normalisation == Normalisation::height
                               ? static_cast<long double>(i) / peak
                               : static_cast<long double>(i);
    }
    if (!ascending || !has_far || !std::isfinite(p) || is_wide(k)) {
      windows_[k] = {0, 0, 0, 0, 0, 0};  // every point classed on its own
      continue;
    }
    // |(v - p) * to_x| falls up to the line and rises after it (each rounding
    // is monotonic), so each bound is a binary search.
    auto ax = [&](double v) { return std::fabs((v - p) * to_x); };
    const std::size_t apex = index_of(0, x.size(), [&](double v) { return v < p; });
    Window& w = windows_[k];
    w.far_first = index_of(0, apex, [&](double v) { return !(ax(v) < kRemote); });
    w.far_left_last = index_of(w.far_first, apex, [&](double v) { return !(ax(v) < outer); });
    w.near_first = index_of(w.far_left_last, apex, [&](double v) { return !(ax(v) < from); });
    w.near_last = index_of(apex, x.size(), [&](double v) { return ax(v) < from; });
    w.far_right_first = index_of(w.near_last, x.size(), [&](double v) { return ax(v) < outer; });
    w.far_last = index_of(w.far_right_first, x.size(), [&](double v) { return ax(v) < kRemote; });
  }
}

void VoigtTerms::add_classed(const double* x, double* y, std::size_t a, std::size_t b,
                             std::size_t k) const {
  const double p = position_[k], to_x = shape_.to_x();
  if (is_wide(k)) {
    for (std::size_t i = a; i < b; ++i) {
      const long double term = static_cast<long double>(shape_(x[i] - p)) * wide_amplitude_[k];
      y[i] = static_cast<double>(term) + y[i];
    }
    return;
  }
  for (std::size_t i = a; i < b; ++i) {
    const double d = x[i] - p;
    const double xs = d * to_x;
    switch (shape_.region_of(xs)) {
      case VoigtShape::Region::far:
        y[i] = shape_.far_sum(xs) * far_amplitude_[k] + y[i];
        break;
      case VoigtShape::Region::outer:
        y[i] = shape_.outer_sum(xs) * far_amplitude_[k] + y[i];
        break;
      case VoigtShape::Region::remote:
        y[i] = shape_(d) * amplitude_[k] + y[i];
        break;
      case VoigtShape::Region::near:
        y[i] = shape_.libcerf(d) * amplitude_[k] + y[i];
        break;
    }
  }
}

template <bool kOuter>
void VoigtTerms::add_far(const double* x, double* y, std::size_t a, std::size_t b,
                         std::size_t k) const {
  if (a >= b) return;
  const double p = position_[k], to_x = shape_.to_x(), ysq = shape_.y_squared();
#ifdef BROADEN_VOIGT_AVX2
  if (vector_) {
    if constexpr (kOuter) {
      add_pairs_avx2<1>(kOuterPairs, x + a, y + a, b - a, p, to_x, ysq, far_amplitude_[k]);
    } else {
      add_pairs_avx2<2>(kPairs, x + a, y + a, b - a, p, to_x, ysq, far_amplitude_[k]);
    }
    return;
  }
#endif
  for (std::size_t i = a; i < b; ++i) {
    const double xs = (x[i] - p) * to_x;
    const double sum = kOuter ? pair_sum<1>(kOuterPairs, xs, ysq) : pair_sum<2>(kPairs, xs, ysq);
    y[i] = sum * far_amplitude_[k] + y[i];
  }
}

void VoigtTerms::add(std::span<const double> x, std::span<double> y, std::size_t begin,
                     std::size_t end) const {
  for (std::size_t k = 0; k < position_.size(); ++k) add_line(x, y, begin, end, k);
}

void VoigtTerms::add_line(std::span<const double> x, std::span<double> y, std::size_t begin,
                          std::size_t end, std::size_t k) const {
  auto clip = [&](std::size_t v) { return std::clamp(v, begin, end); };
  {
    const Window& w = windows_[k];
    const double p = position_[k];
    add_classed(x.data(), y.data(), begin, clip(w.far_first), k);
    add_far<true>(x.data(), y.data(), clip(w.far_first), clip(w.far_left_last), k);
    add_far<false>(x.data(), y.data(), clip(w.far_left_last), clip(w.near_first), k);
    for (std::size_t i = clip(w.near_first); i < clip(w.near_last); ++i) {
      y[i] = shape_.libcerf(x[i] - p) * amplitude_[k] + y[i];
    }
    add_far<false>(x.data(), y.data(), clip(w.near_last), clip(w.far_right_first), k);
    add_far<true>(x.data(), y.data(), clip(w.far_right_first), clip(w.far_last), k);
    add_classed(x.data(), y.data(), clip(w.far_last), end, k);
  }
}

}  // namespace broaden::detail
