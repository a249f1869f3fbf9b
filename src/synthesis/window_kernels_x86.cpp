// The vector kernels of x86-64 builds with the C library's vector math
// library; compiled only where the build found both.
#include <immintrin.h>

#include "synthesis/window_kernels.h"

// The vector exponentials of the C library's vector math library: the
// baseline two-lane variant and the AVX2 four-lane one.
extern "C" __m128d _ZGVbN2v_exp(__m128d x);
extern "C" __attribute__((target("avx2"))) __m256d _ZGVdN4v_exp(__m256d x);

namespace broaden::detail {

bool avx2_supported() noexcept { return __builtin_cpu_supports("avx2") != 0; }

namespace {

// Lanes past the run's end are padded with the peak's own frequency (a term
// of exp(0)) and never stored.
template <std::size_t kLanes>
struct Tail {
  double w[kLanes];
  double t[kLanes];

  Tail(const double* w_in, const double* t_in, std::size_t n, double frequency) {
    for (std::size_t i = 0; i < kLanes; ++i) {
      w[i] = i < n ? w_in[i] : frequency;
      t[i] = i < n ? t_in[i] : 0.0;
    }
  }
  void store(double* t_out, std::size_t n) const {
    for (std::size_t i = 0; i < n; ++i) t_out[i] = t[i];
  }
};

inline __m128d terms_two_lane(__m128d w, __m128d t, __m128d f, __m128d spread, __m128d amplitude) {
  const __m128d d = _mm_sub_pd(w, f);
  const __m128d q = _mm_div_pd(_mm_mul_pd(d, d), spread);
  const __m128d e = _ZGVbN2v_exp(_mm_xor_pd(q, _mm_set1_pd(-0.0)));
  return _mm_add_pd(_mm_mul_pd(e, amplitude), t);
}

__attribute__((target("avx2"))) inline __m256d terms_four_lane(__m256d w, __m256d t, __m256d f,
                                                               __m256d spread, __m256d amplitude) {
  const __m256d d = _mm256_sub_pd(w, f);
  const __m256d q = _mm256_div_pd(_mm256_mul_pd(d, d), spread);
  const __m256d e = _ZGVdN4v_exp(_mm256_xor_pd(q, _mm256_set1_pd(-0.0)));
  return _mm256_add_pd(_mm256_mul_pd(e, amplitude), t);
}

}  // namespace

void add_terms_two_lane(const double* w, double* t, std::size_t n, const PeakTerm& peak) noexcept {
  const __m128d f = _mm_set1_pd(peak.frequency);
  const __m128d spread = _mm_set1_pd(peak.spread);
  const __m128d amplitude = _mm_set1_pd(peak.amplitude);
  std::size_t i = 0;
  for (; i + 2 <= n; i += 2) {
    _mm_storeu_pd(t + i,
                  terms_two_lane(_mm_loadu_pd(w + i), _mm_loadu_pd(t + i), f, spread, amplitude));
  }
  if (i < n) {
    Tail<2> tail(w + i, t + i, n - i, peak.frequency);
    _mm_storeu_pd(tail.t,
                  terms_two_lane(_mm_loadu_pd(tail.w), _mm_loadu_pd(tail.t), f, spread, amplitude));
    tail.store(t + i, n - i);
  }
}

__attribute__((target("avx2"))) void add_terms_four_lane(const double* w, double* t, std::size_t n,
                                                         const PeakTerm& peak) noexcept {
  const __m256d f = _mm256_set1_pd(peak.frequency);
  const __m256d spread = _mm256_set1_pd(peak.spread);
  const __m256d amplitude = _mm256_set1_pd(peak.amplitude);
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    _mm256_storeu_pd(t + i, terms_four_lane(_mm256_loadu_pd(w + i), _mm256_loadu_pd(t + i), f,
                                            spread, amplitude));
  }
  if (i < n) {
    Tail<4> tail(w + i, t + i, n - i, peak.frequency);
    _mm256_storeu_pd(tail.t, terms_four_lane(_mm256_loadu_pd(tail.w), _mm256_loadu_pd(tail.t), f,
                                             spread, amplitude));
    tail.store(t + i, n - i);
  }
}

}  // namespace broaden::detail
