// Line shapes on an arbitrary grid: Gaussian, Lorentzian, pseudo-Voigt and
// Voigt profiles summed over a line list, and the table that names each shape,
// its widths, its parameters and its normalisations for the front end.
#pragma once

#include <atomic>
#include <cstddef>
#include <span>
#include <string_view>

namespace broaden {

enum class LineShape { gaussian, lorentzian, pseudo_voigt, voigt };
enum class Normalisation { area, height };

/// 2 sqrt(2 ln 2) rounded to the nearest double: a Gaussian's full width at half maximum over its
/// standard deviation (exp(-x^2 / (2 sigma^2)) = 1/2 at x = sigma sqrt(2 ln 2)). The one home of
/// this number: a full width of 10 is a sigma of 10 / kFwhmPerSigma = 4.2466090014400955.
inline constexpr double kFwhmPerSigma = 2.3548200450309493;

/// The widths add_profiles takes, in each shape's own measure (sigma, gamma, fwhm and the parts
/// derived from it): kMinWidth to kMaxWidth. Within them the squares of the widths, 2 sigma^2
/// and gamma^2, stay normal doubles (1e-300 to 2e300, the least normal double being 2.2e-308),
/// so that no term divides by a square that has lost its digits or overflowed.
inline constexpr double kMinWidth = 1e-150;
inline constexpr double kMaxWidth = 1e150;

/// Widths in each shape's own measure (the front end converts FWHM/HWHM/sigma options to these):
///   gaussian:      sigma  = the standard deviation
///   lorentzian:    gamma  = the half width at half maximum
///   pseudo_voigt:  fwhm   = the full width at half maximum shared by its Gaussian and Lorentzian
///                           parts, eta in [0,1] (the Lorentzian fraction)
///   voigt:         sigma (Gaussian part) and gamma (Lorentzian part), as libcerf's
///                  voigt(x, sigma, gamma)
///
/// `cutoff`, when not 0, cuts each line's wings: its terms are added only at points within
/// cutoff times its own FWHM of it (see add_profiles); 0 (the default) keeps every term.
struct ProfileParameters {
  LineShape shape = LineShape::gaussian;
  Normalisation normalisation = Normalisation::area;
  double sigma = 0.0;
  double gamma = 0.0;
  double fwhm = 0.0;
  double eta = 0.0;
  double cutoff = 0.0;
};

/// The Voigt profile's full width at half maximum from the FWHMs of its Gaussian and
/// Lorentzian parts, by the approximation of J. J. Olivero and R. L. Longbothum, J. Quant.
/// Spectrosc. Radiat. Transfer 17, 233 (1977), within 0.02 % of the exact width:
///   0.5346 fl + sqrt(0.2166 fl^2 + fg^2), never below the larger of the two.
///
///   voigt_fwhm(2, 0) -> 2;  voigt_fwhm(0, 2) -> 2 (1.0692 + 0.9308)
double voigt_fwhm(double gaussian_fwhm, double lorentzian_fwhm) noexcept;

/// The full width at half maximum of the profile's lines, from its common widths, as its shape's
/// row computes it (LineShapeRow::fwhm); 0 for a shape with no row.
///   {gaussian, sigma 1} -> 2.3548200450309493;  {lorentzian, gamma 2} -> 4
double profile_fwhm(const ProfileParameters& parameters) noexcept;

/// How far an add_profiles call has come, for a progress line: `points_done` grows (from
/// any thread) to the size of the grid as its blocks are finished.
struct ProfileProgress {
  std::atomic<std::size_t> points_done{0};
};

// The shape table. Names are as the command line writes them (an option is "--" and its name);
// texts are those the front end shows. Adding a shape is a row in kLineShapes (and, for a new
// width measure or parameter, a row in kShapeQuantities) beside its terms in add_profiles.

/// A width measure or parameter a shape may be given by: {"fwhm", "W", "Full width at half
/// maximum"} is the option "--fwhm W" with that line of help.
struct ShapeQuantity {
  std::string_view name;
  std::string_view symbol;  ///< its value in the usage text
  std::string_view help;
};

/// Every quantity of every shape, in the order the help lists them and refusals look at them.
inline constexpr ShapeQuantity kShapeQuantities[] = {
    {"fwhm", "W", "Full width at half maximum"},
    {"sigma", "S", "Gaussian standard deviation"},
    {"hwhm", "H", "Lorentzian half width at half maximum"},
    {"gaussian-fwhm", "G", "Voigt: FWHM of the Gaussian part"},
    {"lorentzian-fwhm", "L", "Voigt: FWHM of the Lorentzian part"},
    {"eta", "E", "Pseudo-Voigt: Lorentzian fraction, 0 to 1"},
};

/// One width a shape takes: the quantity `name` (of kShapeQuantities), given as v, sets
/// parameters.*field = v / divisor, the divisor taking v to the shape's own measure:
///   {"fwhm", &ProfileParameters::sigma, kFwhmPerSigma}: --fwhm 10 -> sigma 4.2466090014400955
struct ShapeWidth {
  std::string_view name;
  double ProfileParameters::*field;
  double divisor;
};

/// A parameter beyond the widths: `name` (of kShapeQuantities) sets parameters.*field, a value
/// within [low, high]; `role` names it in messages ("the Lorentzian fraction").
struct ShapeParameter {
  std::string_view name;
  double ProfileParameters::*field;
  double low, high;
  std::string_view role;
};

/// One line shape.
///   widths:     all of them at once when `all_widths`, else any one of them; the first is the
///               measure of per-line widths when no width option is given
///   line_width: the width a per-line width replaces (add_profiles), nullptr: none taken
///   normalisations: those it takes; add_profiles and the front end refuse the others
///   title:      the shape in prose, "pseudo-Voigt"
///   fwhm:       the full width at half maximum of a line from its widths, each operation rounded
///               as written (the cutoff and the front end measure a line by it)
struct LineShapeRow {
  LineShape shape;
  std::string_view name;
  std::string_view title;
  std::span<const ShapeWidth> widths;
  bool all_widths;
  std::span<const ShapeParameter> parameters;
  std::span<const Normalisation> normalisations;
  double ProfileParameters::*line_width;
  double (*fwhm)(const ProfileParameters&) noexcept;
};

/// The normalisations by name, the default first: "area" (each line's integral is its intensity),
/// "height" (each line's maximum is its intensity).
struct NormalisationRow {
  Normalisation normalisation;
  std::string_view name;
  std::string_view help;
};
inline constexpr NormalisationRow kNormalisations[] = {
    {Normalisation::area, "area", "each line's integral is its intensity"},
    {Normalisation::height, "height", "its maximum"},
};

namespace shape_rows {
using P = ProfileParameters;
inline constexpr Normalisation kEither[] = {Normalisation::area, Normalisation::height};
inline constexpr ShapeWidth kGaussian[] = {{"fwhm", &P::sigma, kFwhmPerSigma},
                                           {"sigma", &P::sigma, 1.0}};
inline constexpr ShapeWidth kLorentzian[] = {{"fwhm", &P::gamma, 2.0}, {"hwhm", &P::gamma, 1.0}};
inline constexpr ShapeWidth kPseudoVoigt[] = {{"fwhm", &P::fwhm, 1.0}};
inline constexpr ShapeParameter kEta[] = {{"eta", &P::eta, 0.0, 1.0, "the Lorentzian fraction"}};
inline constexpr ShapeWidth kVoigt[] = {{"gaussian-fwhm", &P::sigma, kFwhmPerSigma},
                                        {"lorentzian-fwhm", &P::gamma, 2.0}};

// The full widths: 2.35482 sigma; 2 gamma; fwhm; voigt_fwhm of the two parts.
inline double gaussian_fwhm(const P& p) noexcept { return p.sigma * kFwhmPerSigma; }
inline double lorentzian_fwhm(const P& p) noexcept { return p.gamma + p.gamma; }
inline double pseudo_voigt_fwhm(const P& p) noexcept { return p.fwhm; }
inline double voigt_fwhm_of(const P& p) noexcept {
  return voigt_fwhm(gaussian_fwhm(p), lorentzian_fwhm(p));
}

using enum LineShape;

/// Every shape, the default first, in the order the help and the refusals list them.
// clang-format off
inline constexpr LineShapeRow kLineShapes[] = {
//  shape          name            title           widths        all    parameters, normalisations,
//                                                                       line_width, fwhm
    {gaussian,     "gaussian",     "Gaussian",     kGaussian,    false, {},   kEither, &P::sigma,
                                                                                  gaussian_fwhm},
    {lorentzian,   "lorentzian",   "Lorentzian",   kLorentzian,  false, {},   kEither, &P::gamma,
                                                                                  lorentzian_fwhm},
    {pseudo_voigt, "pseudo-voigt", "pseudo-Voigt", kPseudoVoigt, false, kEta, kEither, &P::fwhm,
                                                                                  pseudo_voigt_fwhm},
    {voigt,        "voigt",        "Voigt",        kVoigt,       true,  {},   kEither, nullptr,
                                                                                  voigt_fwhm_of},
};
// clang-format on
}  // namespace shape_rows
using shape_rows::kLineShapes;

/// The values v of a width in a measure of its own (an option or a line's field) whose quotient
/// v / divisor, rounded once, lies from kMinWidth to kMaxWidth: a closed interval of doubles,
/// both ends found exactly (division is monotonic). divisor finite and > 0.
///   accepted_widths(1.0)           -> {1e-150, 1e150}
///   accepted_widths(kFwhmPerSigma) -> {2.3548200450309493e-150, 2.354820045030949e+150}
struct WidthRange {
  double low;
  double high;
};
WidthRange accepted_widths(double divisor) noexcept;

/// The row of `shape`, or nullptr for a value outside the enumeration.
///   line_shape_row(LineShape::voigt)->name -> "voigt"
const LineShapeRow* line_shape_row(LineShape shape) noexcept;

/// y[i] += sum over lines k (in table order, starting from y[i]) of
///          intensity[k] * profile(x[i] - position[k]).
/// `line_width`, when not empty (same size as position), replaces per line the width named by the
/// shape's row (LineShapeRow::line_width): sigma (gaussian), gamma (lorentzian) or fwhm
/// (pseudo_voigt); voigt takes none and ignores it. Area normalisation: each line integrates to its
/// intensity (Gaussian with the exact sqrt(2 pi)); height: each line's maximum equals its
/// intensity. Widths must lie from kMinWidth to kMaxWidth (1e-150 to 1e150; the front end refuses
/// others). Intensities may be any doubles. Result never depends on `threads` (0 = as many as pay).
///
/// The terms, with d = x[i] - position[k], I = intensity[k], each operation rounded in double
/// as written (no fused multiply-add), and y[i] = term + y[i] line after line:
///   gaussian      area:   exp(-(d * d) / ((sigma + sigma) * sigma)) * (I / (sigma * s2pi)),
///                         s2pi = 2.5066282746310002, the double nearest sqrt(2 pi)
///                 height: exp(-(d * d) / ((sigma + sigma) * sigma)) * I
///   lorentzian    area:   ((I * gamma) / pi) / (d * d + gamma * gamma)
///                 height: (I * (gamma * gamma)) / (d * d + gamma * gamma), exactly I at d = 0
///   pseudo_voigt  lorentzian part + gaussian part, both with the full width `fwhm`:
///                 gamma = fwhm * 0.5, sigma = fwhm / kFwhmPerSigma,
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
/// else two): each Gaussian term is then within 6 units of 2^-53 of its exact value at the computed
/// q, relative, its product with the amplitude included (3.33 seen on dense arguments, against
/// 1.0 for the scalar exp; tests/line_shapes/profile_kernels_test.cpp checks every kernel set
/// against a long double exp over q from 0 to 700); further out, where terms
/// turn subnormal, the scalar exp, and a term there is left out only where it provably cannot
/// change y[i] (it is below half a unit in the last place of y[i], or of the Lorentzian part it
/// is added to). The result is the straightforward sum up to those last-place differences of
/// exp, and except that a y[i] of -0.0 may stay -0.0 where adding an exactly zero term (+0.0)
/// would have made it +0.0.
///
/// Wide terms: a line of finite position and finite, non-zero intensity whose amplitude above
/// overflows (I / (sigma * s2pi), the pseudo-Voigt's parts with their factors, Voigt's
/// I / voigt(0) or its far amplitude; up to DBL_MAX / 2.5e-150, about 2^1521), or, for a
/// Lorentzian part, whose numerator is not a normal double or whose grid reaches 2^511 from it
/// (where d * d may overflow), has its terms computed another way; every other line keeps the
/// terms above bit for bit. Gaussian, Lorentzian and pseudo-Voigt: the term as written with the
/// exact constants, every operation in long double (64-bit or more significand, exponent to
/// 2^16383, so nothing overflows or underflows) and the sum rounded once to double: within 2^-50
/// relative of the exact term where that is a normal double (q <= 1762 there, whose rounding in
/// long double costs most of it), within the least subnormal where it is smaller; infinite only
/// where it exceeds DBL_MAX. Voigt: voigt(d, sigma, gamma) by its region's method as above, times
/// I (area) or I / voigt(0, sigma, gamma) (height) in long double, rounded once: within its
/// region's bound of the exact term wherever voigt(d, sigma, gamma) is a normal double. Such a
/// line takes every point of the grid, in long double: slower, and never a NaN.
///   gaussian, area, sigma 0.25: line (0, DBL_MAX), x = {10, 20} -> y = {1.0522043537521105e-39, 0}
///   (exp(-800) DBL_MAX / (0.25 sqrt(2 pi)); the straightforward amplitude is infinite, and
///   its terms would be inf * 0 = NaN at both points)
///
/// Special values: positions and intensities may be infinite or NaN; they propagate as in the
/// straightforward sum (such a Gaussian line visits every point with the scalar exp). No finite
/// inputs give a NaN. A line of finite amplitude A keeps the straightforward terms even where
/// exp(-q) is subnormal or 0 (q > 708): there its terms are within |A| 2^-1074 of the exact ones at
/// the computed q, tiny beside its own peak |A| but not always beside its neighbours'. Voigt costs
/// one libcerf call per point and line near the line only; its far terms take no call (four at a
/// time with AVX2, same bits).
///
/// Failures: throws std::invalid_argument, before changing y, when intensity and position differ in
/// size, a non-empty line_width has another size than position (with voigt line_width is ignored),
/// y and x differ in size, a width used is not from kMinWidth to kMaxWidth (NaN and infinities
/// included), a parameter (eta) is outside its row's [low, high], the cutoff is neither 0 nor at
/// least 1 (NaN), the row does not take the normalisation, or the shape has no row. With no lines
/// (or no grid) nothing is used and nothing is checked but the sizes.
///
/// Cutoff: with parameters.cutoff = N (at least 1), line k adds its term only at points with
/// |x[i] - position[k]| <= N * FWHM_k, the difference and the product rounded in double, FWHM_k
/// its own full width as its row's fwhm gives it (2 gamma; fwhm; sigma * kFwhmPerSigma; for voigt
/// voigt_fwhm of its two parts), with its own width. Every other term is left out. What is left out
/// of one line is at most:
///   lorentzian, and the Lorentzian part of pseudo_voigt: 1 / (4 N^2 + 1) of the part's peak at
///     any point; (2 / pi) atan(1 / (2 N)) < 1 / (pi N) of the part's area
///   gaussian, and the Gaussian part of pseudo_voigt: 2^(-4 N^2) of the part's peak at any
///     point; erfc(2 N sqrt(ln 2)) of its area
///   voigt: (1 / (N^2 + 1) + erfc(N sqrt(ln 2))) / (pi gamma) of its area (its intensity, with
///     area normalisation) at any point, gamma the Lorentzian half width: the profile is the
///     Gaussian's average of the Lorentzian, split where the Gaussian is within N FWHM / 2
/// (N = 10: 0.25 %, 3.9e-121, 0.99 %; N = 100: 2.5e-5, below 1e-300, 1.0e-4).
/// Each point then holds the sum of the terms kept, in table order, as without a cutoff.
/// With N = 0 (the default) no term is left out.
///
/// Work: the grid is cut into blocks taken by up to `threads` threads (0: as many as the work pays
/// for, at most the processors this process may use); each block sums its lines in table order,
/// so no y[i] depends on the threads. With a cutoff on an ascending grid each block visits only
/// the lines that reach it. `progress`, when given, counts the points of the blocks finished.
///
///   gaussian, area, sigma 5: line (1000, 100), x = {1000} -> y = {7.978845608028655}
///   lorentzian, height, gamma 2: line (10, 3), x = {10, 12} -> y = {3, 1.5}
void add_profiles(std::span<const double> position, std::span<const double> intensity,
                  std::span<const double> line_width, const ProfileParameters& parameters,
                  std::span<const double> x, std::span<double> y, unsigned threads = 0,
                  ProfileProgress* progress = nullptr);

/// Whether add_profiles, given a part of a grid (any of its points) instead of the whole grid
/// whose finite abscissae run from `low` to `high`, gives each of those points the same bits:
/// true unless a finite position lies 2^511 or more from `low` or `high` (a Lorentzian part then
/// takes its wide terms on the whole grid, perhaps not on a part). Every other term depends on
/// its own point alone, whatever the points beside it, the blocks or the lanes.
///   positions {1000, 1500}, grid 400..4000 -> true;  positions {1e160}, grid 0..1 -> false
bool same_on_any_part(std::span<const double> position, double low, double high) noexcept;

}  // namespace broaden
