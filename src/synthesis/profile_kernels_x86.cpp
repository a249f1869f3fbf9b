// The x86-64 loops of add_profiles: two lanes (SSE2, any x86-64), four
// lanes (AVX2) and eight (AVX-512F), the wider chosen at run time, the
// exponentials from glibc's vector math library. Built only where the build finds both (see CMake).
#include <immintrin.h>

#include <array>
#include <cstdint>

#include "synthesis/profile_kernels.h"

// glibc's vector exponentials: the baseline two-lane, the AVX2 four-lane and the AVX-512
// eight-lane variant.
extern "C" __m128d _ZGVbN2v_exp(__m128d x);
extern "C" __attribute__((target("avx2"))) __m256d _ZGVdN4v_exp(__m256d x);
extern "C" __attribute__((target("avx512f"))) __m512d _ZGVeN8v_exp(__m512d x);

namespace broaden::detail {
namespace {

// The last lanes of a run, padded with the line's own position (a harmless
// term at d = 0) and never stored back: every point gets the vector exp,
// wherever a run happens to end.
template <std::size_t kLanes>
struct Tail {
  double x[kLanes];
  double y[kLanes];

  Tail(const double* x_in, const double* y_in, std::size_t n, double position) {
    for (std::size_t i = 0; i < kLanes; ++i) {
      x[i] = i < n ? x_in[i] : position;
      y[i] = i < n ? y_in[i] : 0.0;
    }
  }
  void store(double* y_out, std::size_t n) const {
    for (std::size_t i = 0; i < n; ++i) y_out[i] = y[i];
  }
};

// ---- two lanes ----

struct Gaussian2 {
  __m128d position, amplitude, spread;
  explicit Gaussian2(const GaussianTerm& t)
      : position(_mm_set1_pd(t.position)),
        amplitude(_mm_set1_pd(t.amplitude)),
        spread(_mm_set1_pd(t.spread)) {}
  // exp(-(dd / spread)) * amplitude
  __m128d term(__m128d dd) const {
    const __m128d q = _mm_div_pd(dd, spread);
    return _mm_mul_pd(_ZGVbN2v_exp(_mm_xor_pd(q, _mm_set1_pd(-0.0))), amplitude);
  }
};

struct Lorentzian2 {
  __m128d position, numerator, gamma_squared;
  explicit Lorentzian2(const LorentzianTerm& t)
      : position(_mm_set1_pd(t.position)),
        numerator(_mm_set1_pd(t.numerator)),
        gamma_squared(_mm_set1_pd(t.gamma_squared)) {}
  __m128d term(__m128d dd) const { return _mm_div_pd(numerator, _mm_add_pd(dd, gamma_squared)); }
};

inline __m128d squared_distance2(__m128d x, __m128d position) {
  const __m128d d = _mm_sub_pd(x, position);
  return _mm_mul_pd(d, d);
}

template <class Step>
inline void run2(const double* x, double* y, std::size_t n, double position, const Step& step) {
  std::size_t i = 0;
  for (; i + 2 <= n; i += 2) _mm_storeu_pd(y + i, step(_mm_loadu_pd(x + i), _mm_loadu_pd(y + i)));
  if (i < n) {
    Tail<2> tail(x + i, y + i, n - i, position);
    _mm_storeu_pd(tail.y, step(_mm_loadu_pd(tail.x), _mm_loadu_pd(tail.y)));
    tail.store(y + i, n - i);
  }
}

void add_gaussian_sse2(const double* x, double* y, std::size_t n,
                       const GaussianTerm& term) noexcept {
  const Gaussian2 g(term);
  run2(x, y, n, term.position, [&](__m128d xv, __m128d yv) {
    return _mm_add_pd(g.term(squared_distance2(xv, g.position)), yv);
  });
}

void add_lorentzian_sse2(const double* x, double* y, std::size_t n,
                         const LorentzianTerm& term) noexcept {
  const Lorentzian2 l(term);
  run2(x, y, n, term.position, [&](__m128d xv, __m128d yv) {
    return _mm_add_pd(l.term(squared_distance2(xv, l.position)), yv);
  });
}

void add_pseudo_voigt_sse2(const double* x, double* y, std::size_t n,
                           const PseudoVoigtTerm& term) noexcept {
  const Gaussian2 g(term.gaussian);
  const Lorentzian2 l(term.lorentzian);
  run2(x, y, n, term.gaussian.position, [&](__m128d xv, __m128d yv) {
    const __m128d dd = squared_distance2(xv, g.position);
    return _mm_add_pd(_mm_add_pd(l.term(dd), g.term(dd)), yv);
  });
}

// ---- four lanes ----
// Everything that touches a 256-bit register carries the avx2 target.

#define BROADEN_AVX2 __attribute__((target("avx2")))

struct Gaussian4 {
  __m256d position, amplitude, spread;
  BROADEN_AVX2 explicit Gaussian4(const GaussianTerm& t)
      : position(_mm256_set1_pd(t.position)),
        amplitude(_mm256_set1_pd(t.amplitude)),
        spread(_mm256_set1_pd(t.spread)) {}
  BROADEN_AVX2 __m256d term(__m256d dd) const {
    const __m256d q = _mm256_div_pd(dd, spread);
    return _mm256_mul_pd(_ZGVdN4v_exp(_mm256_xor_pd(q, _mm256_set1_pd(-0.0))), amplitude);
  }
};

struct Lorentzian4 {
  __m256d position, numerator, gamma_squared;
  BROADEN_AVX2 explicit Lorentzian4(const LorentzianTerm& t)
      : position(_mm256_set1_pd(t.position)),
        numerator(_mm256_set1_pd(t.numerator)),
        gamma_squared(_mm256_set1_pd(t.gamma_squared)) {}
  BROADEN_AVX2 __m256d term(__m256d dd) const {
    return _mm256_div_pd(numerator, _mm256_add_pd(dd, gamma_squared));
  }
};

BROADEN_AVX2 inline __m256d squared_distance4(__m256d x, __m256d position) {
  const __m256d d = _mm256_sub_pd(x, position);
  return _mm256_mul_pd(d, d);
}

template <class Step>
BROADEN_AVX2 inline void run4(const double* x, double* y, std::size_t n, double position,
                              const Step& step) {
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    _mm256_storeu_pd(y + i, step(_mm256_loadu_pd(x + i), _mm256_loadu_pd(y + i)));
  }
  if (i < n) {
    Tail<4> tail(x + i, y + i, n - i, position);
    _mm256_storeu_pd(tail.y, step(_mm256_loadu_pd(tail.x), _mm256_loadu_pd(tail.y)));
    tail.store(y + i, n - i);
  }
}

BROADEN_AVX2 void add_gaussian_avx2(const double* x, double* y, std::size_t n,
                                    const GaussianTerm& term) noexcept {
  const Gaussian4 g(term);
  run4(x, y, n, term.position, [&](__m256d xv, __m256d yv) BROADEN_AVX2 {
    return _mm256_add_pd(g.term(squared_distance4(xv, g.position)), yv);
  });
}

BROADEN_AVX2 void add_lorentzian_avx2(const double* x, double* y, std::size_t n,
                                      const LorentzianTerm& term) noexcept {
  const Lorentzian4 l(term);
  run4(x, y, n, term.position, [&](__m256d xv, __m256d yv) BROADEN_AVX2 {
    return _mm256_add_pd(l.term(squared_distance4(xv, l.position)), yv);
  });
}

BROADEN_AVX2 void add_pseudo_voigt_avx2(const double* x, double* y, std::size_t n,
                                        const PseudoVoigtTerm& term) noexcept {
  const Gaussian4 g(term.gaussian);
  const Lorentzian4 l(term.lorentzian);
  run4(x, y, n, term.gaussian.position, [&](__m256d xv, __m256d yv) BROADEN_AVX2 {
    const __m256d dd = squared_distance4(xv, g.position);
    return _mm256_add_pd(_mm256_add_pd(l.term(dd), g.term(dd)), yv);
  });
}

#undef BROADEN_AVX2

// ---- eight lanes ----
// Everything that touches a 512-bit register carries the avx512f target.

#define BROADEN_AVX512 __attribute__((target("avx512f")))

struct Gaussian8 {
  __m512d position, amplitude, spread;
  BROADEN_AVX512 explicit Gaussian8(const GaussianTerm& t)
      : position(_mm512_set1_pd(t.position)),
        amplitude(_mm512_set1_pd(t.amplitude)),
        spread(_mm512_set1_pd(t.spread)) {}
  BROADEN_AVX512 __m512d term(__m512d dd) const {
    const __m512d q = _mm512_div_pd(dd, spread);
    // -q by its sign bit (a floating-point xor would need AVX-512DQ).
    const __m512d minus_q =
        _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(q), _mm512_set1_epi64(INT64_MIN)));
    return _mm512_mul_pd(_ZGVeN8v_exp(minus_q), amplitude);
  }
};

struct Lorentzian8 {
  __m512d position, numerator, gamma_squared;
  BROADEN_AVX512 explicit Lorentzian8(const LorentzianTerm& t)
      : position(_mm512_set1_pd(t.position)),
        numerator(_mm512_set1_pd(t.numerator)),
        gamma_squared(_mm512_set1_pd(t.gamma_squared)) {}
  BROADEN_AVX512 __m512d term(__m512d dd) const {
    return _mm512_div_pd(numerator, _mm512_add_pd(dd, gamma_squared));
  }
};

BROADEN_AVX512 inline __m512d squared_distance8(__m512d x, __m512d position) {
  const __m512d d = _mm512_sub_pd(x, position);
  return _mm512_mul_pd(d, d);
}

template <class Step>
BROADEN_AVX512 inline void run8(const double* x, double* y, std::size_t n, double position,
                                const Step& step) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    _mm512_storeu_pd(y + i, step(_mm512_loadu_pd(x + i), _mm512_loadu_pd(y + i)));
  }
  if (i < n) {
    Tail<8> tail(x + i, y + i, n - i, position);
    _mm512_storeu_pd(tail.y, step(_mm512_loadu_pd(tail.x), _mm512_loadu_pd(tail.y)));
    tail.store(y + i, n - i);
  }
}

BROADEN_AVX512 void add_gaussian_avx512(const double* x, double* y, std::size_t n,
                                        const GaussianTerm& term) noexcept {
  const Gaussian8 g(term);
  run8(x, y, n, term.position, [&](__m512d xv, __m512d yv) BROADEN_AVX512 {
    return _mm512_add_pd(g.term(squared_distance8(xv, g.position)), yv);
  });
}

BROADEN_AVX512 void add_lorentzian_avx512(const double* x, double* y, std::size_t n,
                                          const LorentzianTerm& term) noexcept {
  const Lorentzian8 l(term);
  run8(x, y, n, term.position, [&](__m512d xv, __m512d yv) BROADEN_AVX512 {
    return _mm512_add_pd(l.term(squared_distance8(xv, l.position)), yv);
  });
}

BROADEN_AVX512 void add_pseudo_voigt_avx512(const double* x, double* y, std::size_t n,
                                            const PseudoVoigtTerm& term) noexcept {
  const Gaussian8 g(term.gaussian);
  const Lorentzian8 l(term.lorentzian);
  run8(x, y, n, term.gaussian.position, [&](__m512d xv, __m512d yv) BROADEN_AVX512 {
    const __m512d dd = squared_distance8(xv, g.position);
    return _mm512_add_pd(_mm512_add_pd(l.term(dd), g.term(dd)), yv);
  });
}

#undef BROADEN_AVX512

constexpr KernelSet kScalar{"scalar", add_gaussian_scalar, add_lorentzian_scalar,
                            add_pseudo_voigt_scalar};
constexpr KernelSet kSse2{"sse2", add_gaussian_sse2, add_lorentzian_sse2, add_pseudo_voigt_sse2};
constexpr KernelSet kAvx2{"avx2", add_gaussian_avx2, add_lorentzian_avx2, add_pseudo_voigt_avx2};
constexpr KernelSet kAvx512{"avx512", add_gaussian_avx512, add_lorentzian_avx512,
                            add_pseudo_voigt_avx512};
constexpr std::array<KernelSet, 4> kAll{kScalar, kSse2, kAvx2, kAvx512};

}  // namespace

std::span<const KernelSet> kernel_sets() noexcept {
  static const std::size_t count = __builtin_cpu_supports("avx2") == 0      ? 2
                                   : __builtin_cpu_supports("avx512f") == 0 ? 3
                                                                            : 4;
  return std::span<const KernelSet>(kAll).first(count);
}

}  // namespace broaden::detail
