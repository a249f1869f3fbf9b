// double -> one field of the echo line (the free-form number layout).
#pragma once

#include <cstddef>
#include <span>
#include <string>

namespace broaden {

/// Characters in one echo field.
inline constexpr std::size_t kEchoFieldWidth = 25;

/// Writes `value` rounded to 17 significant digits (ties to even) as the
/// 25-character echo field `field`.
///
/// Zero, and values whose rounded magnitude is at least 0.1 and below 10^17,
/// take the fixed-point form: a minus sign when negative (negative zero
/// included), the integer digits (a single 0 below 1), the point and as many
/// decimals as make 17 significant digits (16 for zero), right-aligned in 20
/// characters and followed by 5 blanks. All other values take the exponent
/// form d.ddddddddddddddddE+ddd right-aligned in the 25 characters.
/// Infinities ("Infinity", "-Infinity") and NaN ("NaN") are right-aligned in
/// the 25 characters.
///
///   double_to_echo(1.0)    -> "  1.0000000000000000     "
///   double_to_echo(0.1)    -> " 0.10000000000000001     "
///   double_to_echo(1e-5)   -> "  1.0000000000000001E-005"
///   double_to_echo(1e17)   -> "  1.0000000000000000E+017"
void double_to_echo(double value, std::span<char, kEchoFieldWidth> field) noexcept;

/// The same field as a string.
std::string double_to_echo(double value);

/// The text of a peak's echo line (without the console line's leading blank
/// and line feed): the frequency field, one blank, the intensity field.
std::string echo_text(double frequency, double intensity);

}  // namespace broaden
