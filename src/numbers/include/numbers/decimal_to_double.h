// Decimal digits and a power of ten -> the nearest double.
#pragma once

#include <cstdint>
#include <string_view>

namespace broaden {

/// Returns the double nearest to (-1 if `negative`) * digits * 10^exponent10,
/// rounding ties to even, as IEEE round-to-nearest does.
///
/// `digits` holds only the characters '0'..'9' (any count, leading and
/// trailing zeros allowed; an empty string means zero). Never fails:
/// magnitudes beyond the largest double give an infinity of the sign,
/// magnitudes below half the smallest subnormal give a zero of the sign.
///
///   decimal_to_double(false, "25", -4)   -> 0.0025
///   decimal_to_double(true, "1", 400)    -> -infinity
///   decimal_to_double(false, "10", -401) -> +0.0
double decimal_to_double(bool negative, std::string_view digits, std::int64_t exponent10) noexcept;

/// The same for the digits of a whole number: the double nearest to
/// (-1 if `negative`) * significand * 10^exponent10.
///
///   decimal_to_double(false, std::uint64_t{3}, -1) -> 0.3
double decimal_to_double(bool negative, std::uint64_t significand,
                         std::int64_t exponent10) noexcept;

/// Adds one decimal digit to an exponent being accumulated, saturating far
/// beyond any exponent that still matters: the result never exceeds 10^9.
///
///   append_exponent_digit(12, '3') -> 123
constexpr std::int64_t append_exponent_digit(std::int64_t exponent, char digit) noexcept {
  constexpr std::int64_t kSaturation = 1'000'000'000;
  const std::int64_t next = exponent * 10 + (digit - '0');
  return next > kSaturation ? kSaturation : next;
}

}  // namespace broaden
