// The abscissae a spectrum is sampled at, from the grid options.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "batch/header_fields.h"
#include "batch/options.h"
#include "numbers/decimal_scan.h"

namespace broaden {

/// The most points a grid may have.
inline constexpr std::size_t kMaxGridPoints = 100'000'000;

/// The points of a grid by step as exact decimals: point j is the double
/// nearest to (first + j * step) * 10^exponent10.
struct DecimalAbscissae {
  std::int64_t first = 0;
  std::int64_t step = 0;
  std::int64_t exponent10 = 0;
};

/// A grid, or why it was refused (`error` non-empty, `x` empty).
/// `out_of_memory` marks the one refusal that is no fault of the options:
/// the points did not fit in memory; `error` then says how much was needed,
/// "not enough memory for a grid of 100000000 points (762.9 MiB for its
/// abscissae)".
/// `decimals` is set by grid_by_step where every point's decimal has at most
/// 15 significant digits (first and last below 10^15 in magnitude), lies
/// well inside the normal doubles (exponent10 at least -280) and, with a
/// positive exponent10, below 2^53: then that decimal is the text
/// double_to_shortest writes for the point (see decimal_to_text).
struct GridResult {
  std::vector<double> x;
  std::string error;
  std::optional<DecimalAbscissae> decimals;
  bool out_of_memory = false;
};

/// A count of bytes as a message gives it: "512 bytes" below a mebibyte,
/// else mebibytes with one decimal, "762.9 MiB".
std::string memory_needed(std::size_t bytes);

/// The grid from `from` to `to` by `step`, all exact decimals (scans
/// without error, as scan_decimal gives them): point j is
/// the double nearest to the exact decimal from + j * step, for j = 0, 1,
/// ... up to the last point not above `to`. Each point is rounded once from
/// its exact value (never summed step by step), so it prints as written:
/// 0.1 to 1 by 0.1 gives 0.1, 0.2, 0.3 (the double nearest 0.3, not
/// 0.30000000000000004), ... 1.
///
/// Refused: from >= to, step <= 0, more than `max_points` points, decimals
/// too far apart in scale to be held in 36 digits at a common power of ten
/// (such as from 1e-30 to 1e30), and grids whose doubles do not increase
/// strictly (a step too small for the doubles near the points).
///
///   grid_by_step(0.1, 0.35, 0.1) -> {0.1, 0.2, 0.3}
///   grid_by_step(1, 1, 0.1)      -> error "--from must be below --to"
GridResult grid_by_step(const DecimalScan& from, const DecimalScan& to, const DecimalScan& step,
                        std::size_t max_points = kMaxGridPoints);

/// The grid of `points` points from `from` to `to`: point j is
/// from + ((to - from) * j) / (points - 1), each operation rounded in
/// double, and the last point is exactly `to`.
///
/// Refused: points < 2 or above `max_points`, from >= to, non-finite
/// bounds or span, and grids whose doubles do not increase strictly.
///
///   grid_by_points(0, 1, 3) -> {0, 0.5, 1}
GridResult grid_by_points(double from, double to, std::int64_t points,
                          std::size_t max_points = kMaxGridPoints);

/// The grid the checked options ask for (BatchOptions::grid, from, to,
/// step, points): grid_by_points with the doubles of from and to for
/// GridKind::points, else grid_by_step over the decimals; the classic
/// preset's own grid is not this one (options.classic is not looked at).
/// Refusals as those two give them.
///
///   options of "--from 0 --to 1 --points 3" -> {0, 0.5, 1}
///   options of no grid option               -> 0.1, 0.2, ... 2000 (20000 points)
GridResult grid_for(const BatchOptions& options);

/// The grid of a spectrum drawn from a program's output when --from and --to
/// are not given: from `low` to `high` (the lines' span with its margins,
/// found by the caller), the ends rounded outwards to whole steps. The step
/// is options.step where --step was given, else the largest 1, 2 or 5 times
/// a power of ten that is at most a tenth of `fwhm` (the lines' narrowest
/// full width on this axis); with --points, that many points from `low` to
/// `high` so rounded. `fields` are the grid as the tsv header tells it,
/// from=960 to=1140 step=1. Refusals as grid_by_step gives them, and a
/// span of more than kMaxGridPoints steps.
///
///   low 860, high 1240, fwhm 4 -> from 860 to 1240 step 0.2 (1901 points)
struct SpanningGrid {
  GridResult grid;
  HeaderFields fields;
};
SpanningGrid grid_spanning(double low, double high, double fwhm, const BatchOptions& options);

/// A range on the axis that a spectrum is drawn over by convention: infrared
/// and Raman spectra from 400 to 4000 cm-1.
struct ConventionalRange {
  double low = 0.0, high = 0.0;
};
inline constexpr ConventionalRange kVibrationalRange{400.0, 4000.0};

/// The grid that spans lines at `positions` (not empty) of full width `fwhm`,
/// both in the unit `broadening`, drawn on `axis`: grid_spanning from 10
/// full widths below the lowest (not below half its energy, where it is
/// above zero) to 10 above the highest, both on the axis, the narrowest full
/// width being that of the lowest or the highest line there.
/// With `convention`, where that span lies inside it, the grid spans the
/// convention's range instead (the step as for the lines).
///   positions {1000, 1100} cm-1, fwhm 10, axis cm-1 -> from 900 to 1200 step 1
///   the same with kVibrationalRange                  -> from 400 to 4000 step 1
SpanningGrid grid_spanning_lines(std::span<const double> positions, double fwhm,
                                 AxisUnit broadening, AxisUnit axis, const BatchOptions& options,
                                 std::optional<ConventionalRange> convention = std::nullopt);

}  // namespace broaden
