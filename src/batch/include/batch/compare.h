// A computed spectrum put against a measured one: the measurement taken on
// the computed grid, the scores of the two curves, the enantiomer's verdict
// for signed spectra, a fit of scale, shift and width, and the report as
// JSON. Pure functions over spans: the spectrum at given parameters comes
// from a callback, so that the run (batch.cpp) and the Python module drive
// them alike.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace broaden {

/// The measurement on the computed grid.
struct MeasuredOnGrid {
  std::vector<std::size_t> index;  ///< the grid's points used, ascending
  std::vector<double> value;       ///< the measurement at each, interpolated
  double first = 0.0, last = 0.0;  ///< the range used: the least and greatest x of them
  std::size_t points() const noexcept { return index.size(); }
};

/// MeasuredOnGrid, or the reason there is none (`error` not empty).
struct MeasuredOnGridResult {
  MeasuredOnGrid on_grid;
  std::string error;
};

/// An interval of the axis, its ends in either order.
struct AxisRange {
  double a = 0.0, b = 0.0;
};

/// The measurement (x, y) at each point of `grid` (any order) that lies
/// within both the measurement's x range and `range` (where given), by
/// linear interpolation between its neighbours in x. The measurement may run
/// in either direction and in any order; points of equal x count as one, at
/// the mean of their y; points with a non-finite x or y are left out.
/// Fails with fewer than 3 points of the grid inside:
///   grid 1..10 step 1, x {10, 0} y {5, 0}, range {8, 3} -> index 2..7
///   (x 3..8), value 1.5..4, first 3, last 8
///   the same with range {20, 30} -> error "the measurement (from 0 to 10)
///   spans 0 points of the grid (from 1 to 10) within 20 to 30: at least 3
///   are needed"
MeasuredOnGridResult measured_on_grid(std::span<const double> grid, std::span<const double> x,
                                      std::span<const double> y,
                                      std::optional<AxisRange> range = std::nullopt);

/// The values of `y` at `index` (MeasuredOnGrid::index).
std::vector<double> taken_at(std::span<const double> y, std::span<const std::size_t> index);

/// sum(f g) / sqrt(sum(f f) sum(g g)), in [-1, 1]; nothing where f or g is
/// zero everywhere or holds a value that is not finite. f and g of one size.
///   cosine({1, 2}, {2, 4}) -> 1;  cosine({1, 0}, {0, 1}) -> 0
std::optional<double> cosine(std::span<const double> f, std::span<const double> g) noexcept;

/// The correlation coefficient of f and g: the cosine of both less their
/// means; nothing where either is constant (every value its first) or
/// holds a value that is not finite.
///   pearson({1, 2, 3}, {10, 20, 30}) -> 1
std::optional<double> pearson(std::span<const double> f, std::span<const double> g);

/// The verdict of a signed spectrum (ECD, VCD) on the configuration.
enum class Verdict { computed, mirror, undecided };

/// "computed configuration", "mirror image", "no decision".
std::string_view verdict_text(Verdict verdict) noexcept;

/// |ESI| below this gives no decision. The ESI here is the difference of two
/// similarities in [0, 1], as in the literature (Debie et al., ChemPhysChem
/// 12 (2011) 1542; Bruhn et al., Chirality 25 (2013) 243); 0.45 is the
/// threshold Schroedinger's Jaguar states for its spectrum_align utility
/// (Jaguar command reference, "spectrum_align": an enantiomer is predicted
/// where |S_E - S_-E| exceeds 0.45), whose similarities have the same span
/// though not the same weighting of the two signs as these.
inline constexpr double kEsiThreshold = 0.45;

/// The enantiomeric similarity of computed f and measured g. With the
/// positive parts f+ = max(f, 0), g+ and the negative parts f- = max(-f, 0),
/// g-, the areas of the computed parts A+ = sum f+, A- = sum f- (sums over
/// the compared points), and S(p, q) = cosine(p, q) (0 where either part is
/// zero everywhere):
///   s_e      = (A+ S(f+, g+) + A- S(f-, g-)) / (A+ + A-)
///   s_mirror = (A- S(f-, g+) + A+ S(f+, g-)) / (A+ + A-)   (f's signs flipped)
///   esi      = s_e - s_mirror
/// Each of s_e, s_mirror in [0, 1]. All nothing where f or g is zero
/// everywhere or f's area is not finite (the verdict then no decision).
///   f = g = {1, -1} -> s_e 1, s_mirror 0, esi 1, computed configuration
struct Enantiomer {
  std::optional<double> s_e, s_mirror, esi;
  Verdict verdict = Verdict::undecided;
};
Enantiomer enantiomer(std::span<const double> f, std::span<const double> g);

/// Every score of f against g; `enantiomer` only for a signed spectrum.
struct Scores {
  std::optional<double> cosine, pearson;
  std::optional<Enantiomer> enantiomer;
};
Scores scores_of(std::span<const double> f, std::span<const double> g, bool signed_spectrum);

/// The score a fit maximises.
enum class Score { cosine, pearson };

/// The parameters a fit may change: `scale` multiplies vibrational positions
/// (a line list's positions), `shift` adds to excitation energies (in eV; a
/// line list's positions in its broadening unit), `fwhm` replaces the width
/// (in the unit the widths are given in).
enum class FitParameter { scale, shift, fwhm };

/// Their values; what is not fitted keeps its value.
struct FitValues {
  double scale = 1.0, shift = 0.0, fwhm = 0.0;
  double& operator[](FitParameter parameter) noexcept;
  double operator[](FitParameter parameter) const noexcept;
};

/// One parameter fitted within [low, high] (low <= high).
struct FitRange {
  FitParameter parameter = FitParameter::scale;
  double low = 0.0, high = 0.0;
  /// The values the scan takes of it (ends included); 0: scan_points's.
  int scan = 0;
};

/// The computed spectrum at the given values on the points that
/// MeasuredOnGrid::index counts: the whole grid, or a part of it holding
/// every point compared with the indices counted from the part's start.
using SpectrumAt = std::function<std::vector<double>(const FitValues&)>;

/// What a fit is asked. The fit is deterministic (all in double, one
/// evaluation after another, the same bits on every run and any number of
/// threads the callback uses): a scan of a grid of each range's `scan`
/// values, else `scan_points(ranges.size())` (ends included), then a
/// Nelder-Mead search over the parameters together (so that correlated ones,
/// such as a line list's scale and shift, follow their valley), in units of
/// each range's width from its low end: the first simplex the best point
/// seen and one step of the finest scan from it along each parameter (back where forward
/// leaves the range), coefficients 1 (reflection), 2 (expansion), 1/2
/// (contraction, and shrink towards the best), vertices ranked by score,
/// of equal scores the one in the simplex longer first; a trial value
/// outside its range is clamped onto the range's end. A search ends where
/// every vertex lies within `tolerance` times each range's width of the best
/// or once kFitEvaluations a parameter are spent (the step under way
/// finished); it is restarted from the best with a step of 10 `tolerance`
/// (where that is smaller than the scan's) until a search moves no parameter by more than
/// `tolerance` times its width (at most kFitRounds searches). A range of no
/// width keeps its value. The best value seen is kept (the first of equal
/// ones).
struct FitRequest {
  std::vector<FitRange> ranges;  ///< each parameter at most once
  FitValues start;               ///< the values before the fit
  Score score = Score::cosine;
  bool signed_spectrum = false;  ///< maximise max(s_e, s_mirror) instead
  double tolerance = 1e-4;
};
inline constexpr int kFitRounds = 8;
inline constexpr std::size_t kFitEvaluations = 60;

/// 11 values a parameter for one or two parameters, 7 for three.
int scan_points(std::size_t parameters) noexcept;

/// The fit's outcome: the values (those not fitted as started), the number
/// of spectra computed, and the scores at the start and at the values.
struct FitResult {
  FitValues values;
  std::size_t evaluations = 0;
  Scores before, after;
};

/// Fits `request.ranges` so that `spectrum` at the values, taken at
/// `measured.index`, scores best against `measured.value`. A score that is
/// nothing counts as worse than any.
///   ranges {scale 0.9..1.1}, the measurement made with scale 0.96 -> values.scale ~ 0.96
FitResult fit(const MeasuredOnGrid& measured, const SpectrumAt& spectrum,
              const FitRequest& request);

/// What the report tells.
struct CompareReport {
  std::string experiment;          ///< the measured file's name, as given
  double first = 0.0, last = 0.0;  ///< MeasuredOnGrid's range
  std::size_t points = 0;
  Scores scores;                     ///< at the values written
  std::optional<FitResult> fit;      ///< where a fit was made
  std::vector<FitParameter> fitted;  ///< the parameters it fitted
  bool signed_spectrum = false;
};

/// The report as one JSON object and a line end:
///   {"experiment": "exp.csv", "range": [400, 4000], "points": 3601,
///    "scores": {"cosine": 0.91, "pearson": 0.88},
///    "fit": {"scale": 0.9612, "evaluations": 40}, "before": {"cosine": 0.8, ...}}
/// "fit" and "before" only with a fit (only the parameters fitted); "esi",
/// "s_e", "s_mirror" and "verdict" only for a signed spectrum; a score that
/// is nothing is null. Numbers in the shortest text that reads back exactly.
std::string report_json(const CompareReport& report);

}  // namespace broaden
