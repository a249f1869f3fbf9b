// The inner loops of the classic engine's estimate: one peak's terms added
// over a run of grid points. Internal to the synthesis library.
#pragma once

#include <cstddef>

#include "synthesis/gaussian_terms.h"

namespace broaden::detail {

/// Adds one peak's terms to t[0, n) at the abscissae w[0, n). The exact
/// loops are add_gaussian_scalar and add_gaussian_rim (gaussian_terms.h).
using AddTerms = void (*)(const double* w, double* t, std::size_t n,
                          const GaussianTerm& peak) noexcept;

/// add_gaussian_scalar with the exponential moved up by 6 units of 2^-53 (a
/// kernel a few units in the last place off, for tests of the bound).
void add_terms_perturbed(const double* w, double* t, std::size_t n,
                         const GaussianTerm& peak) noexcept;

/// True when this build and processor run the kernels below (x86-64 with
/// AVX2 and FMA); false elsewhere.
bool fma_kernel_available() noexcept;

#ifdef BROADEN_HAVE_X86_KERNELS
/// The terms with an exponential of its own, four lanes of AVX2 with fused
/// multiply-adds (only where fma_kernel_available()):
///
///   q' = (d * d) * (1 / spread)   within 3.01 q units of 2^-53 of q
///   exp(-q') = 2^k exp(r), k = round(-q' / ln 2), r = -q' - k ln 2
///
/// with r from two fused steps (ln 2 split in two doubles; r is within 0.7
/// units of its exact value, |r| <= 0.3467) and exp(r) the Taylor polynomial
/// of degree 12 in fused Horner form: the left-out terms are below 3.1 units
/// relative, the rounded coefficients add at most 2.0 and the 12 roundings
/// at most 12 u e^|r| / e^-|r| = 24.0. So for q <= 700 (2^k stays normal)
/// the kernel's exp is within 32 + 3.02 q units of 2^-53 of exp(-q).
/// Every other operation is as in add_gaussian_scalar.
void add_terms_fma(const double* w, double* t, std::size_t n, const GaussianTerm& peak) noexcept;

/// The terms by a product recurrence, for a run of consecutive grid points
/// (where fma_kernel_available()). Lane l of four takes the points
/// i + l + 4m; from a seed at m = 0, B = w - f there, it follows the
/// lattice x = B + 4 m h (h is 0.1 cut to 40 bits, so x is one rounding
/// off): g = amplitude exp(-x^2/s) is multiplied each step by a ratio
/// exp(-(8 x h + 16 h^2)/s), itself multiplied by exp(-32 h^2/s); the grid's
/// departure from the lattice (under 3.01e-4 between two points) enters as
/// exp(-z), z = (d - x)(d + x)/s, by its Taylor polynomial of degree 4. The
/// seeds (g and the ratio, by the fma kernel's exp) come every 16 steps;
/// the points left over go to add_terms_fma. Each term is g exp(-z)
/// rounded, added to t.
void add_terms_recurrence(const double* w, double* t, std::size_t n,
                          const GaussianTerm& peak) noexcept;

/// The bound add_terms_recurrence is trusted with for a peak whose points
/// all have q <= q_max, relative to exp(-q), in units of 2^-53; infinity
/// where the recurrence must not be used (a g or ratio could leave the
/// normal range, or z reach 0.01). It adds, to first order: the seeds
/// (32 + 3.02 q_max + 1 for g, 32 + 4.01 |arg| for the ratio), 15 steps of
/// the ratio's error and 120 of the ratio of ratios' (2 + 3.01 |arg| + 1),
/// one rounding a step, the Taylor remainder and its evaluation, the
/// rounding of z (2.02 q_max + ...), and 2.01 q_max between the
/// straightforward q and d^2/s; times 1.01. It is never below the fma
/// kernel's bound at q_max, which covers the points left over.
double recurrence_error(const GaussianTerm& peak, double q_max) noexcept;
#endif

}  // namespace broaden::detail
