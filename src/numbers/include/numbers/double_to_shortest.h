// double -> the shortest decimal text that reads back as it, and a decimal
// held as digits and a power of ten -> that same text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace broaden {

/// The most characters double_to_shortest and decimal_to_text write.
inline constexpr std::size_t kShortestRoom = 32;

/// Writes `value` into `out` (room for kShortestRoom characters) and
/// returns the pointer past it: with `digits` 0 the shortest text that reads
/// back as the same double: its fewest significant digits (those of
/// std::to_chars), in the shorter of the plain and the scientific form,
/// plain on a tie (beyond 2^53 too, where the plain form has the shortest
/// digits followed by zeros, not the double's exact integer); else the value rounded to
/// `digits` significant digits (1 to 17) in the general form, trailing
/// zeros dropped. Infinities and NaN are written inf, -inf, nan.
///
///   double_to_shortest(0.30000000000000004, 0, out) -> "0.30000000000000004"
///   double_to_shortest(0.3, 0, out)                 -> "0.3"
///   double_to_shortest(1234.5678, 3, out)           -> "1.23e+03"
///   double_to_shortest(1e-05, 0, out)               -> "1e-05"
///   double_to_shortest(36619573947943903, 0, out)   -> "36619573947943900"
///     (not the double's exact 36619573947943904)
char* double_to_shortest(double value, int digits, char* out) noexcept;

/// double_to_shortest(value, 0) as a string: the shortest text that reads
/// back as the same double. Never fails (std::bad_alloc aside).
///
///   shortest(0.1)    -> "0.1"
///   shortest(1e-300) -> "1e-300"
///   shortest(-0.0)   -> "-0"
std::string shortest(double value);

/// The least scientific exponent decimal_to_text writes in plain notation:
/// 1e-05 as "0.00001", 1e-06 as "1e-06".
inline constexpr std::int64_t kPlainFrom = -5;

/// Writes the decimal value * 10^exponent10 into `out` (room for
/// kShortestRoom characters), with the digits double_to_shortest(v, 0)
/// writes for v, the double nearest to it, and returns the pointer past it,
/// without converting to binary and back. It is written as a grid's point
/// is written by hand: in plain notation ("100000", "0.00001") whenever
/// its scientific exponent is at least kPlainFrom, else in the form
/// double_to_shortest chooses ("1e-06", "1.5e-07"). Needs |value| < 10^15, exponent10 within
/// [-280, 280] and, with a positive exponent10, the decimal below 2^53 in
/// magnitude (beyond 2^53 std::to_chars may write the double's exact
/// integer, 94962991587184803840 for 949629915871848e5).
///
///   decimal_to_text(3, -1, out)     -> "0.3"
///   decimal_to_text(1, 5, out)      -> "100000"  (double_to_shortest: "1e+05")
///   decimal_to_text(15, 12, out)    -> "15000000000000"
///   decimal_to_text(-120, -7, out)  -> "-0.000012"
char* decimal_to_text(std::int64_t value, std::int64_t exponent10, char* out) noexcept;

}  // namespace broaden
