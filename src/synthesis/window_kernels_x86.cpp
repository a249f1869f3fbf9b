// The x86-64 kernel: four lanes of AVX2 with fused multiply-adds, chosen at
// run time. Compiled only in x86-64 builds whose compiler offers both.
#include <immintrin.h>

#include "synthesis/window_kernels.h"

namespace broaden::detail {

bool fma_kernel_supported() noexcept {
  return __builtin_cpu_supports("avx2") != 0 && __builtin_cpu_supports("fma") != 0;
}

namespace {

// Taylor coefficients 1/i! of exp, rounded to double, i = 0..12.
constexpr double kCoefficients[] = {
    1.0,        1.0,         0.5,          1.0 / 6,       1.0 / 24,       1.0 / 120,      1.0 / 720,
    1.0 / 5040, 1.0 / 40320, 1.0 / 362880, 1.0 / 3628800, 1.0 / 39916800, 1.0 / 479001600};

// exp(-q) for 0 <= q <= 745: 2^k exp(r) with k the integer nearest to
// -q / ln 2 and r = -q - k ln 2 (|r| <= 0.3467), exp(r) by the Taylor
// polynomial of degree 12 in Horner form, 2^k added to the exponent bits.
// Within 32 units of 2^-53 of exp(-q), relative, where the result is normal
// (q <= 700); see window_kernels.h.
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
                                                       const PeakTerm& peak) noexcept {
  const __m256d f = _mm256_set1_pd(peak.frequency);
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
      w_tail[j] = i + j < n ? w[i + j] : peak.frequency;
      t_tail[j] = i + j < n ? t[i + j] : 0.0;
    }
    _mm256_storeu_pd(t_tail, terms(_mm256_loadu_pd(w_tail), _mm256_loadu_pd(t_tail), f,
                                   inverse_spread, amplitude));
    for (std::size_t j = 0; i + j < n; ++j) t[i + j] = t_tail[j];
  }
}

}  // namespace broaden::detail
