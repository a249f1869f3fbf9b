// Line shapes on an arbitrary grid: Gaussian, Lorentzian, pseudo-Voigt and
// Voigt profiles summed over a line list.
#pragma once

#include <span>

namespace broaden {

enum class LineShape { gaussian, lorentzian, pseudo_voigt, voigt };
enum class Normalisation { area, height };

/// Widths in each shape's own measure (the front end converts FWHM/HWHM/sigma options to these):
///   gaussian:      sigma  = the standard deviation
///   lorentzian:    gamma  = the half width at half maximum
///   pseudo_voigt:  fwhm   = the full width at half maximum shared by its Gaussian and Lorentzian
///                           parts, eta in [0,1] (the Lorentzian fraction)
///   voigt:         sigma (Gaussian part) and gamma (Lorentzian part), as libcerf's
///                  voigt(x, sigma, gamma)
struct ProfileParameters {
  LineShape shape = LineShape::gaussian;
  Normalisation normalisation = Normalisation::area;
  double sigma = 0.0;
  double gamma = 0.0;
  double fwhm = 0.0;
  double eta = 0.0;
};

/// y[i] += sum over lines k (in table order, starting from y[i]) of
///          intensity[k] * profile(x[i] - position[k]).
/// `line_width`, when not empty (same size as position), replaces per line the width of the
/// shape's own measure: sigma (gaussian), gamma (lorentzian) or fwhm (pseudo_voigt); never used
/// with voigt. Area normalisation: each line integrates to its intensity (Gaussian with the exact
/// sqrt(2 pi)); height: each line's maximum equals its intensity. Widths must be finite and > 0
/// (the front end refuses others). Result never depends on `threads` (0 = as many as pay).
///
/// The terms, with d = x[i] - position[k], I = intensity[k], each operation rounded in double
/// as written (no fused multiply-add), and y[i] = term + y[i] line after line:
///   gaussian      area:   exp(-(d * d) / ((sigma + sigma) * sigma)) * (I / (sigma * s2pi)),
///                         s2pi = 2.5066282746310002, the double nearest sqrt(2 pi)
///                 height: exp(-(d * d) / ((sigma + sigma) * sigma)) * I
///   lorentzian    area:   ((I * gamma) / pi) / (d * d + gamma * gamma)
///                 height: (I * (gamma * gamma)) / (d * d + gamma * gamma), exactly I at d = 0
///   pseudo_voigt  lorentzian part + gaussian part, both with the full width `fwhm`:
///                 gamma = fwhm * 0.5, sigma = fwhm / 2.3548200450309493 (2 sqrt(2 ln 2)),
///                 the lorentzian's constant multiplied by eta, the gaussian's by (1 - eta)
///   voigt         area:   voigt(d, sigma, gamma) * I, libcerf's voigt (its Faddeeva function)
///                 height: voigt(d, sigma, gamma) * (I / voigt(0, sigma, gamma))
///                 near a line libcerf's voigt itself; far from it (|d| >= about 8 sigma sqrt 2)
///                 a sum of Lorentzians within 2e-14 relative of the exact profile and 5e-14
///                 of libcerf's (regions and bound: voigt_terms.h)
///
/// Grid: `x` is taken as given, and may be any grid (uneven steps too). Ascending order (the front
/// end always passes an ascending grid) is what makes the Gaussian fast: each line then visits only
/// the points where exp(-(d * d) / spread) is not exactly zero (about 38.6 sigma either side),
/// found by binary search with the very operations of the term. Gaussian terms that are exactly
/// zero are skipped; a grid not in ascending order gets every term computed and is just slower.
/// Lorentzian, pseudo-Voigt (whose Lorentzian part never vanishes) and Voigt take every point.
///
/// Exponentials: inside about 37.4 sigma of a line the C library's vector exponential where the
/// build and processor have one (x86-64 with glibc: eight lanes with AVX-512F, four with AVX2,
/// else two), within a few units in the last place of the scalar exp; further out, where terms
/// turn subnormal, the scalar exp, and a term there is left out only where it provably cannot
/// change y[i] (it is below half a unit in the last place of y[i], or of the Lorentzian part it
/// is added to). The result is the straightforward sum up to those last-place differences of
/// exp, and except that a y[i] of -0.0 may stay -0.0 where adding an exactly zero term (+0.0)
/// would have made it +0.0.
///
/// Special values: positions and intensities may be infinite or NaN; they propagate as in the
/// straightforward sum (such a Gaussian line visits every point with the scalar exp). Widths far
/// out of any spectral use (beyond about 1e150, or below 1e-150) overflow or underflow the squares
/// of the terms and give what IEEE arithmetic gives. Voigt costs one libcerf call per point and
/// line near the line only; its far terms take no call (four at a time with AVX2, same bits).
///
/// Failures: throws std::invalid_argument, before changing y, when intensity and position differ in
/// size, a non-empty line_width has another size than position (with voigt line_width is ignored),
/// y and x differ in size, a width used is not finite and > 0, or eta is not within [0, 1].
///
/// Work: the grid is cut into blocks taken by up to `threads` threads (0: as many as the processor
/// has cores and the work pays for); each block sums all lines in table order, so no y[i] depends
/// on the threads.
///
///   gaussian, area, sigma 5: line (1000, 100), x = {1000} -> y = {7.978845608028655}
///   lorentzian, height, gamma 2: line (10, 3), x = {10, 12} -> y = {3, 1.5}
void add_profiles(std::span<const double> position, std::span<const double> intensity,
                  std::span<const double> line_width, const ProfileParameters& parameters,
                  std::span<const double> x, std::span<double> y, unsigned threads = 0);

}  // namespace broaden
