// One fixed-width numeric field of a line-list record -> double.
#pragma once

#include <string_view>

#include "numbers/decimal_scan.h"

namespace broaden {

/// Why a numeric field was refused (see DecimalError). Any of these makes
/// the whole record bad.
using FieldError = DecimalError;

/// What a field read gives: the value when `error` is none.
struct FieldValue {
  double value = 0.0;
  FieldError error = FieldError::none;

  friend bool operator==(const FieldValue&, const FieldValue&) = default;
};

/// Converts the text of one fixed-width numeric field (the characters of the
/// field only, already cut from the record) with `implied_decimals` implied
/// decimals: scan_decimal with every option of DecimalGrammar on.
///
/// Blanks anywhere are ignored; a field of blanks only, or of a sign only, is
/// zero. Otherwise the field is an optional sign, a mantissa of digits with at
/// most one point, and optionally an exponent: E, e, D or d followed by an
/// optionally signed digit string, or a sign followed directly by digits.
/// Without a point the last `implied_decimals` digits of the mantissa are
/// decimals; an exponent applies on top. The result is the nearest double
/// (ties to even); beyond the double range it is an infinity or a zero of the
/// value's sign, never an error. Textual infinities and NaN are refused
/// (invalid_character), as are exponent letters other than E and D.
///
///   field_to_double("  1.5     ", 4) -> {1.5}
///   field_to_double("25", 4)         -> {0.0025}
///   field_to_double("25E2", 4)       -> {0.25}
///   field_to_double("1.0-3", 4)      -> {0.001}
///   field_to_double("1.0E400", 4)    -> {+infinity}
///   field_to_double("1.2.3", 4)      -> {error: second_point}
FieldValue field_to_double(std::string_view field, int implied_decimals) noexcept;

}  // namespace broaden
