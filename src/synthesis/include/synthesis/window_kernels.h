// The inner loop of the engine: one peak's terms added over a run of grid
// points, with a vector exponential.
#pragma once

#include <cstddef>

namespace broaden::detail {

/// The quantities of one peak that every grid point shares.
struct PeakTerm {
  double frequency;  ///< the peak's frequency
  double amplitude;  ///< (intensity / normalisation) / width
  double spread;     ///< (width + width) * width
};

/// For i in [0, n): t[i] = exp(-((w[i] - f) * (w[i] - f)) / spread) * amplitude + t[i], each
/// operation rounded as written (no fused multiply-add), exp evaluated by
/// the kernel the name gives. four_lane needs a processor with AVX2.
void add_terms_scalar(const double* w, double* t, std::size_t n, const PeakTerm& peak) noexcept;

/// add_terms_scalar for the rim of a peak's reach, where most terms are
/// subnormal: a point where q >= 708 (so the term is below 3.4e-308 times
/// the amplitude) and |t| is so large that such a term cannot change it in
/// round-to-nearest is left alone without computing the exponential. The
/// result is bit for bit that of add_terms_scalar.
void add_terms_rim(const double* w, double* t, std::size_t n, const PeakTerm& peak) noexcept;
void add_terms_two_lane(const double* w, double* t, std::size_t n, const PeakTerm& peak) noexcept;
void add_terms_four_lane(const double* w, double* t, std::size_t n, const PeakTerm& peak) noexcept;

}  // namespace broaden::detail
