// The inner loops of the engine: one peak's terms added over a run of grid
// points.
#pragma once

#include <cstddef>

namespace broaden::detail {

/// The quantities of one peak that every grid point shares.
struct PeakTerm {
  double frequency;  ///< the peak's frequency
  double amplitude;  ///< (intensity / normalisation) / width
  double spread;     ///< (width + width) * width
};

/// Adds one peak's terms to t[0, n) at the abscissae w[0, n).
using AddTerms = void (*)(const double* w, double* t, std::size_t n, const PeakTerm& peak) noexcept;

/// For i in [0, n): t[i] = exp(-((w[i] - f) * (w[i] - f)) / spread) * amplitude + t[i], each
/// operation rounded as written (no fused multiply-add), exp the scalar one.
void add_terms_scalar(const double* w, double* t, std::size_t n, const PeakTerm& peak) noexcept;

/// add_terms_scalar for the rim of a peak's reach, where most terms are
/// subnormal: a point where q >= 708 (so the term is below 3.4e-308 times
/// the amplitude) and |t| is so large that such a term cannot change it in
/// round-to-nearest is left alone without computing the exponential. The
/// result is bit for bit that of add_terms_scalar.
void add_terms_rim(const double* w, double* t, std::size_t n, const PeakTerm& peak) noexcept;

/// add_terms_scalar with the exponential moved up by 6 units of 2^-53 (a
/// kernel a few units in the last place off, for tests of the bound).
void add_terms_perturbed(const double* w, double* t, std::size_t n, const PeakTerm& peak) noexcept;

#ifdef BROADEN_HAVE_X86_KERNELS
/// add_terms_scalar with the C library's vector exponentials: two lanes on
/// any x86-64, four with AVX2 (only where avx2_supported()). Within 4 units
/// in the last place of exp(-q) where that is a normal double.
void add_terms_two_lane(const double* w, double* t, std::size_t n, const PeakTerm& peak) noexcept;
void add_terms_four_lane(const double* w, double* t, std::size_t n, const PeakTerm& peak) noexcept;
bool avx2_supported() noexcept;
#endif

}  // namespace broaden::detail
