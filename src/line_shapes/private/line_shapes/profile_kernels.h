// The inner loops of add_profiles (line_profiles.h): one line's terms added
// over a run of abscissae. Internal to the line shapes; their tests and
// benchmarks use it to run add_profiles with each kernel set.
#pragma once

#include <cstddef>
#include <span>

#include "line_shapes/line_profiles.h"
#include "synthesis/gaussian_terms.h"

namespace broaden::detail {

/// numerator / ((x - position) * (x - position) + gamma_squared).
struct LorentzianTerm {
  double position;
  double numerator;
  double gamma_squared;
};

/// lorentzian + gaussian, both at the same position.
struct PseudoVoigtTerm {
  GaussianTerm gaussian;
  LorentzianTerm lorentzian;
};

// For i in [0, n): y[i] = term(x[i]) + y[i], each operation rounded as written.
using GaussianKernel = void (*)(const double* x, double* y, std::size_t n,
                                const GaussianTerm& term) noexcept;
using LorentzianKernel = void (*)(const double* x, double* y, std::size_t n,
                                  const LorentzianTerm& term) noexcept;
using PseudoVoigtKernel = void (*)(const double* x, double* y, std::size_t n,
                                   const PseudoVoigtTerm& term) noexcept;

/// The loops one processor runs. The Gaussian ones (and the Gaussian part of
/// pseudo_voigt) are for points with q <= 700, where a vector exponential
/// stays on its fast path and away from subnormal results.
struct KernelSet {
  const char* name;
  GaussianKernel gaussian;
  LorentzianKernel lorentzian;
  PseudoVoigtKernel pseudo_voigt;
};

/// The portable loops, with the scalar exp.
void add_lorentzian_scalar(const double* x, double* y, std::size_t n,
                           const LorentzianTerm& term) noexcept;
void add_pseudo_voigt_scalar(const double* x, double* y, std::size_t n,
                             const PseudoVoigtTerm& term) noexcept;

/// add_pseudo_voigt_scalar for any q, the rim of a line's reach included:
/// where q >= kRimQ and the Gaussian part provably cannot change the
/// Lorentzian part it is added to (rim_unchanged_from, gaussian_terms.h),
/// the exponential is not computed. Bit for bit the scalar loop otherwise.
/// (The Gaussian's own loops are add_gaussian_scalar and add_gaussian_rim.)
void add_pseudo_voigt_rim(const double* x, double* y, std::size_t n,
                          const PseudoVoigtTerm& term) noexcept;

/// The kernel sets this build runs on this processor, the fastest last:
/// "scalar" always; on x86-64 with glibc's vector math library also "sse2",
/// where the processor has AVX2 "avx2", and where it also has AVX-512F
/// "avx512"; "scalar" alone in a build configured with
/// BROADEN_PORTABLE_KERNELS. Defined by the build's platform file
/// (profile_kernels_x86.cpp or profile_kernels_portable.cpp).
std::span<const KernelSet> kernel_sets() noexcept;

/// add_profiles with the given kernel set.
void add_profiles_with(const KernelSet& kernels, std::span<const double> position,
                       std::span<const double> intensity, std::span<const double> line_width,
                       const ProfileParameters& parameters, std::span<const double> x,
                       std::span<double> y, unsigned threads, ProfileProgress* progress = nullptr);

}  // namespace broaden::detail
