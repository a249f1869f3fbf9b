// A sampled spectrum -> the text of the tsv, csv and classic files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "batch/grid.h"
#include "batch/options.h"

namespace broaden {

/// Writes `value` into `out` (room for 32 characters) and returns the
/// pointer past it: with `digits` 0 the shortest text that reads back as
/// the same double (std::to_chars), else rounded to `digits` significant
/// digits (1 to 17) in the general form, trailing zeros dropped.
/// Infinities and NaN are written inf, -inf, nan.
///
///   format_number(0.30000000000000004, 0) -> "0.30000000000000004"
///   format_number(0.3, 0)                 -> "0.3"
///   format_number(1234.5678, 3)           -> "1.23e+03"
///   format_number(1e-05, 0)               -> "1e-05"
char* format_number(double value, int digits, char* out) noexcept;

/// Writes the decimal value * 10^exponent10 into `out` (room for 32
/// characters) exactly as format_number(v, 0) writes v, the double nearest
/// to it, and returns the pointer past it, without converting to binary and
/// back. Needs |value| < 10^15, exponent10 within [-280, 280] and, with a
/// positive exponent10, the decimal below 2^53 in magnitude (as grid_by_step's
/// DecimalAbscissae have them; beyond 2^53 std::to_chars may write the
/// double's exact integer, 94962991587184803840 for 949629915871848e5).
///
///   format_decimal(3, -1)     -> "0.3"
///   format_decimal(15, 12)    -> "1.5e+13"
///   format_decimal(-120, -7)  -> "-1.2e-05"
char* format_decimal(std::int64_t value, std::int64_t exponent10, char* out) noexcept;

/// The text before the first point: for tsv one comment line "# " and
/// `parameters`, for csv the header row "frequency,intensity", for classic
/// nothing. Each line ends with a line feed.
///
///   format_head(tsv, "shape=gaussian sigma=5") -> "# shape=gaussian sigma=5\n"
std::string format_head(OutputFormat format, std::string_view parameters);

/// The most characters format_points_into writes for one point.
inline constexpr std::size_t kPointRoom = 2 * 32 + 2;

/// Writes one line a point for points [0, size) of `x` and `y` (same size)
/// into `out`, which has room for kPointRoom characters a point, and returns
/// the pointer past the last; the lines are those format_points appends.
/// Pure and reentrant: blocks of a spectrum may be formatted in parallel and
/// joined in order. With `decimals` (the grid's, x[i] being its point
/// `first_index` + i) and `digits` 0, the abscissae are written by
/// format_decimal, the same text, faster.
///
///   format_points_into(csv, {0.3}, {2.5}, 0, out) writes "0.3,2.5\n"
char* format_points_into(OutputFormat format, std::span<const double> x, std::span<const double> y,
                         int digits, char* out, const DecimalAbscissae* decimals = nullptr,
                         std::size_t first_index = 0) noexcept;

/// Appends one line a point for points [0, size) of `x` and `y` (same
/// size): tsv "x<TAB>y", csv "x,y", each number by format_number; classic
/// the spectrum record (two fixed-point fields of 12 characters with 4
/// decimals joined by " , ").
///
///   format_points(tsv, {0.3}, {2.5}, 0, out)     appends "0.3\t2.5\n"
///   format_points(classic, {0.1}, {0}, 0, out)   appends "      0.1000 ,       0.0000\n"
void format_points(OutputFormat format, std::span<const double> x, std::span<const double> y,
                   int digits, std::string& out);

}  // namespace broaden
