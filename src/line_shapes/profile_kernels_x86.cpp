// The x86-64 loops of add_profiles: two lanes (SSE2, any x86-64), four
// lanes (AVX2) and eight (AVX-512F), the wider chosen at run time, the
// exponentials from glibc's vector math library. Built only where the build
// finds both (see CMake). The loops themselves are profile_kernels_lanes.inc,
// included once per instruction set below with that set's lane traits.
#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "line_shapes/profile_kernels.h"

// glibc's vector exponentials: the baseline two-lane, the AVX2 four-lane and the AVX-512
// eight-lane variant.
extern "C" __m128d _ZGVbN2v_exp(__m128d x);
extern "C" __attribute__((target("avx2"))) __m256d _ZGVdN4v_exp(__m256d x);
extern "C" __attribute__((target("avx512f"))) __m512d _ZGVeN8v_exp(__m512d x);

namespace broaden::detail {
namespace {

// ---- two lanes: the x86-64 baseline, no target needed ----
namespace sse2 {

struct Sse2Lanes {
  using Vec = __m128d;
  static constexpr std::size_t kWidth = 2;
  static Vec load(const double* p) { return _mm_loadu_pd(p); }
  static void store(double* p, Vec v) { _mm_storeu_pd(p, v); }
  static Vec set1(double v) { return _mm_set1_pd(v); }
  static Vec add(Vec a, Vec b) { return _mm_add_pd(a, b); }
  static Vec sub(Vec a, Vec b) { return _mm_sub_pd(a, b); }
  static Vec mul(Vec a, Vec b) { return _mm_mul_pd(a, b); }
  static Vec div(Vec a, Vec b) { return _mm_div_pd(a, b); }
  static Vec negate(Vec a) { return _mm_xor_pd(a, _mm_set1_pd(-0.0)); }
  static Vec exp(Vec a) { return _ZGVbN2v_exp(a); }
};

#include "profile_kernels_lanes.inc"

constexpr KernelSet kSet{"sse2", add_gaussian<Sse2Lanes>, add_lorentzian<Sse2Lanes>,
                         add_pseudo_voigt<Sse2Lanes>};

}  // namespace sse2

// ---- four lanes: everything that touches a 256-bit register carries the avx2 target ----
#pragma GCC push_options
#pragma GCC target("avx2")
namespace avx2 {

struct Avx2Lanes {
  using Vec = __m256d;
  static constexpr std::size_t kWidth = 4;
  static Vec load(const double* p) { return _mm256_loadu_pd(p); }
  static void store(double* p, Vec v) { _mm256_storeu_pd(p, v); }
  static Vec set1(double v) { return _mm256_set1_pd(v); }
  static Vec add(Vec a, Vec b) { return _mm256_add_pd(a, b); }
  static Vec sub(Vec a, Vec b) { return _mm256_sub_pd(a, b); }
  static Vec mul(Vec a, Vec b) { return _mm256_mul_pd(a, b); }
  static Vec div(Vec a, Vec b) { return _mm256_div_pd(a, b); }
  static Vec negate(Vec a) { return _mm256_xor_pd(a, _mm256_set1_pd(-0.0)); }
  static Vec exp(Vec a) { return _ZGVdN4v_exp(a); }
};

#include "profile_kernels_lanes.inc"

constexpr KernelSet kSet{"avx2", add_gaussian<Avx2Lanes>, add_lorentzian<Avx2Lanes>,
                         add_pseudo_voigt<Avx2Lanes>};

}  // namespace avx2
#pragma GCC pop_options

// ---- eight lanes: everything that touches a 512-bit register carries the avx512f target ----
#pragma GCC push_options
#pragma GCC target("avx512f")
namespace avx512 {

struct Avx512Lanes {
  using Vec = __m512d;
  static constexpr std::size_t kWidth = 8;
  static Vec load(const double* p) { return _mm512_loadu_pd(p); }
  static void store(double* p, Vec v) { _mm512_storeu_pd(p, v); }
  static Vec set1(double v) { return _mm512_set1_pd(v); }
  static Vec add(Vec a, Vec b) { return _mm512_add_pd(a, b); }
  static Vec sub(Vec a, Vec b) { return _mm512_sub_pd(a, b); }
  static Vec mul(Vec a, Vec b) { return _mm512_mul_pd(a, b); }
  static Vec div(Vec a, Vec b) { return _mm512_div_pd(a, b); }
  // The sign bit by an integer xor (a floating-point xor would need AVX-512DQ).
  static Vec negate(Vec a) {
    return _mm512_castsi512_pd(
        _mm512_xor_si512(_mm512_castpd_si512(a), _mm512_set1_epi64(INT64_MIN)));
  }
  static Vec exp(Vec a) { return _ZGVeN8v_exp(a); }
};

#include "profile_kernels_lanes.inc"

constexpr KernelSet kSet{"avx512", add_gaussian<Avx512Lanes>, add_lorentzian<Avx512Lanes>,
                         add_pseudo_voigt<Avx512Lanes>};

}  // namespace avx512
#pragma GCC pop_options

constexpr KernelSet kScalar{"scalar", add_gaussian_scalar, add_lorentzian_scalar,
                            add_pseudo_voigt_scalar};
constexpr std::array<KernelSet, 4> kAll{kScalar, sse2::kSet, avx2::kSet, avx512::kSet};

}  // namespace

std::span<const KernelSet> kernel_sets() noexcept {
  static const std::size_t count = __builtin_cpu_supports("avx2") == 0      ? 2
                                   : __builtin_cpu_supports("avx512f") == 0 ? 3
                                                                            : 4;
  return std::span<const KernelSet>(kAll).first(count);
}

}  // namespace broaden::detail
