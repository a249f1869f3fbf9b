// The x86-64 kernels, four lanes of AVX2 with fused multiply-adds, chosen
// at run time: an exponential of its own and the product recurrence.
// Compiled only in x86-64 builds whose compiler offers both.
#include <immintrin.h>

#include <cmath>
#include <limits>

#include "synthesis/window_kernels.h"

namespace broaden::detail {

bool fma_kernel_available() noexcept {
  return __builtin_cpu_supports("avx2") != 0 && __builtin_cpu_supports("fma") != 0;
}

namespace {

// Taylor coefficients 1/i! of exp, rounded to double, i = 0..12.
constexpr double kCoefficients[] = {
    1.0,        1.0,         0.5,          1.0 / 6,       1.0 / 24,       1.0 / 120,      1.0 / 720,
    1.0 / 5040, 1.0 / 40320, 1.0 / 362880, 1.0 / 3628800, 1.0 / 39916800, 1.0 / 479001600};

// exp(-q) for -700 <= q <= 700: 2^k exp(r) with k the integer nearest to
// -q / ln 2 and r = -q - k ln 2 (|r| <= 0.3467), exp(r) by the Taylor
// polynomial of degree 12 in Horner form, 2^k added to the exponent bits
// (exact while 2^k stays normal). Within 32 units of 2^-53 of exp(-q) for
// the q it is given, relative; see window_kernels.h.
__attribute__((target("avx2,fma"))) inline __m256d exp_of_negative(__m256d q) {
  const __m256d shifter = _mm256_set1_pd(0x1.8p52);
  const __m256d x = _mm256_xor_pd(q, _mm256_set1_pd(-0.0));
  // k in the low bits of kd: x / ln 2 rounded once to an integer.
  const __m256d kd = _mm256_fmadd_pd(x, _mm256_set1_pd(0x1.71547652b82fep0), shifter);
  const __m256d k = _mm256_sub_pd(kd, shifter);
  __m256d r = _mm256_fnmadd_pd(k, _mm256_set1_pd(0x1.62e42fefa39efp-1), x);
  r = _mm256_fnmadd_pd(k, _mm256_set1_pd(0x1.abc9e3b39803fp-56), r);
  __m256d p = _mm256_set1_pd(kCoefficients[12]);
  for (int i = 11; i >= 0; --i) p = _mm256_fmadd_pd(p, r, _mm256_set1_pd(kCoefficients[i]));
  // bits(kd) = bits(shifter) + k, whose low 12 bits are those of k: shifted
  // up by 52 they are k in the exponent field.
  const __m256i scale = _mm256_slli_epi64(_mm256_castpd_si256(kd), 52);
  return _mm256_castsi256_pd(_mm256_add_epi64(_mm256_castpd_si256(p), scale));
}

__attribute__((target("avx2,fma"))) inline __m256d terms(__m256d w, __m256d t, __m256d f,
                                                         __m256d inverse_spread,
                                                         __m256d amplitude) {
  const __m256d d = _mm256_sub_pd(w, f);
  const __m256d q = _mm256_mul_pd(_mm256_mul_pd(d, d), inverse_spread);
  return _mm256_add_pd(_mm256_mul_pd(exp_of_negative(q), amplitude), t);
}

}  // namespace

__attribute__((target("avx2,fma"))) void add_terms_fma(const double* w, double* t, std::size_t n,
                                                       const GaussianTerm& peak) noexcept {
  const __m256d f = _mm256_set1_pd(peak.position);
  const __m256d inverse_spread = _mm256_set1_pd(1.0 / peak.spread);
  const __m256d amplitude = _mm256_set1_pd(peak.amplitude);
  std::size_t i = 0;
  // Two runs of four at a time: their polynomials interleave.
  for (; i + 8 <= n; i += 8) {
    const __m256d first =
        terms(_mm256_loadu_pd(w + i), _mm256_loadu_pd(t + i), f, inverse_spread, amplitude);
    const __m256d second =
        terms(_mm256_loadu_pd(w + i + 4), _mm256_loadu_pd(t + i + 4), f, inverse_spread, amplitude);
    _mm256_storeu_pd(t + i, first);
    _mm256_storeu_pd(t + i + 4, second);
  }
  for (; i + 4 <= n; i += 4) {
    _mm256_storeu_pd(
        t + i, terms(_mm256_loadu_pd(w + i), _mm256_loadu_pd(t + i), f, inverse_spread, amplitude));
  }
  if (i < n) {
    // The last few points: lanes past the end hold the peak's own frequency
    // (a term of exp(0)) and are never stored.
    double w_tail[4], t_tail[4];
    for (std::size_t j = 0; j < 4; ++j) {
      w_tail[j] = i + j < n ? w[i + j] : peak.position;
      t_tail[j] = i + j < n ? t[i + j] : 0.0;
    }
    _mm256_storeu_pd(t_tail, terms(_mm256_loadu_pd(w_tail), _mm256_loadu_pd(t_tail), f,
                                   inverse_spread, amplitude));
    for (std::size_t j = 0; i + j < n; ++j) t[i + j] = t_tail[j];
  }
}

namespace {

// The lattice step: 0.1 cut to 40 significant bits, so that every multiple
// of four steps used below is exact.
constexpr double kStep = 0x1.999999999ap-4;

// Points per seed in each of the four lanes.
constexpr int kStepsPerSeed = 16;

}  // namespace

__attribute__((target("avx2,fma"))) void add_terms_recurrence(const double* w, double* t,
                                                              std::size_t n,
                                                              const GaussianTerm& peak) noexcept {
  const double inverse = 1.0 / peak.spread;
  const __m256d f = _mm256_set1_pd(peak.position);
  const __m256d inverse_spread = _mm256_set1_pd(inverse);
  const __m256d amplitude = _mm256_set1_pd(peak.amplitude);
  const __m256d four_steps = _mm256_set1_pd(4 * kStep);
  const __m256d sixteen_squares = _mm256_set1_pd(16 * kStep * kStep);
  const __m256d ratio_of_ratios = _mm256_set1_pd(std::exp(-((32 * (kStep * kStep)) * inverse)));
  const __m256d one = _mm256_set1_pd(1.0);
  std::size_t i = 0;
  for (; i + 4 * kStepsPerSeed <= n; i += 4 * kStepsPerSeed) {
    // Lane l starts its lattice X = B + 4 m kStep at B, the d of point i + l.
    const __m256d base = _mm256_sub_pd(_mm256_loadu_pd(w + i), f);
    __m256d g = _mm256_mul_pd(
        amplitude, exp_of_negative(_mm256_mul_pd(_mm256_mul_pd(base, base), inverse_spread)));
    __m256d ratio = exp_of_negative(_mm256_mul_pd(
        _mm256_add_pd(
            _mm256_mul_pd(_mm256_mul_pd(base, _mm256_set1_pd(8.0)), _mm256_set1_pd(kStep)),
            sixteen_squares),
        inverse_spread));
    __m256d offset = _mm256_setzero_pd();
    for (int m = 0; m < kStepsPerSeed; ++m) {
      double* at = t + i + 4 * static_cast<std::size_t>(m);
      const __m256d d = _mm256_sub_pd(_mm256_loadu_pd(w + i + 4 * static_cast<std::size_t>(m)), f);
      const __m256d x = _mm256_add_pd(base, offset);
      // exp(-d^2/s) = exp(-x^2/s) exp(-z), z = (d - x)(d + x)/s, small.
      const __m256d z =
          _mm256_mul_pd(_mm256_mul_pd(_mm256_sub_pd(d, x), _mm256_add_pd(d, x)), inverse_spread);
      __m256d c = _mm256_fmadd_pd(_mm256_set1_pd(1.0 / 24), z, _mm256_set1_pd(-1.0 / 6));
      c = _mm256_fmadd_pd(c, z, _mm256_set1_pd(0.5));
      c = _mm256_fmadd_pd(c, z, _mm256_set1_pd(-1.0));
      c = _mm256_fmadd_pd(c, z, one);
      _mm256_storeu_pd(at, _mm256_add_pd(_mm256_mul_pd(g, c), _mm256_loadu_pd(at)));
      g = _mm256_mul_pd(g, ratio);
      ratio = _mm256_mul_pd(ratio, ratio_of_ratios);
      offset = _mm256_add_pd(offset, four_steps);
    }
  }
  if (i < n) add_terms_fma(w + i, t + i, n - i, peak);
}

double recurrence_error(const GaussianTerm& peak, double q_max) noexcept {
  constexpr double kUnit = 0x1p-53;
  constexpr double kNever = std::numeric_limits<double>::infinity();
  const double s = peak.spread;
  const double a = std::fabs(peak.amplitude);
  const double reach = std::sqrt(q_max * s) * 1.0001;  // |d| within the window
  const double arg_ratio = (0.8 * reach + 0.17) / s;   // |8 B h + 16 h^2| / s
  const double arg_ratios = 0.33 / s;                  // 32 h^2 / s
  // Every g and ratio stays a normal double, far from overflow.
  if (!(a * std::exp(-q_max - 1.0) > 0x1p-1000) || !(a < 0x1p1000) ||
      !(arg_ratio + 16 * arg_ratios < 600.0))
    return kNever;
  // |d - x|: two grid points 1.5e-4 off their tenths, the 40-bit step, and
  // the rounding of two d.
  const double deviation = 3.01e-4 + 64 * 2.3e-14 + 4.5e-16 * reach;
  const double z_max = deviation * (2 * reach + deviation) / s;
  if (!(z_max < 0.01)) return kNever;
  const double taylor = std::pow(z_max, 5) / 120 * std::exp(2 * z_max) / kUnit + 6.0;
  const double z_error = 2.02 * q_max + 1e-3 * std::sqrt(q_max / s) + 5 * z_max + 1.0;
  const double seed = 32.0 + 3.02 * q_max + 1.0;
  const double ratio = 32.0 + 4.01 * arg_ratio;
  const double ratios = 2.0 + 3.01 * arg_ratios + 1.0;
  constexpr double kSteps = kStepsPerSeed - 1;
  const double growth = seed + kSteps * ratio + kSteps * (kSteps + 1) / 2 * (ratios + 1.0) + kSteps;
  const double target = 2.01 * q_max;
  return 1.01 * (growth + taylor + z_error + target);
}

}  // namespace broaden::detail
