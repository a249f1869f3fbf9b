// double -> one fixed-point field of a spectrum record.
#pragma once

#include <span>
#include <string>

namespace broaden {

/// Writes `value` as a right-aligned fixed-point field with exactly
/// `decimals` decimals filling `field`, whose size is the field's width.
/// The width is 1 to 64, `decimals` 0 to 17: outside those limits the
/// field is all asterisks (none for an empty field), whatever the value.
///
/// The value is rounded to the nearest multiple of 10^-decimals; an exact
/// halfway value rounds to the even last digit. A negative value keeps its
/// minus sign even when it rounds to zero. The integer part is a single 0
/// when it is zero; the point is written even with no decimals ("2.").
/// Text that does not fit is replaced by `width` asterisks.
/// Infinities are written "Infinity" / "-Infinity" and NaN "NaN",
/// right-aligned (asterisks when even that does not fit).
///
///   double_to_fixed(0.1, 4, 12-character field)         -> "      0.1000"
///   double_to_fixed(-0.00001, 4, 12-character field)    -> "     -0.0000"
///   double_to_fixed(10000000.0, 4, 12-character field)  -> "************"
///   double_to_fixed(NaN, 4, 12-character field)         -> "         NaN"
///   double_to_fixed(1.0, 18, 12-character field)        -> "************"
void double_to_fixed(double value, int decimals, std::span<char> field) noexcept;

/// The same field, `width` characters, as a string, for tests and messages;
/// a width below 1 gives an empty string.
std::string double_to_fixed(double value, int width, int decimals);

}  // namespace broaden
