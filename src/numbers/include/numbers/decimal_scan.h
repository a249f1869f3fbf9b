// Decimal number text -> its sign, significant digits and power of ten,
// under a grammar whose variations are named options.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace broaden {

/// How a decimal number may be written. Every grammar takes an optional sign,
/// a mantissa of digits with at most one point (at least one digit, before or
/// after it) and an optional exponent: E or e, an optional sign and digits.
/// The options widen this.
struct DecimalGrammar {
  /// Without a point, the last `implied_decimals` digits of the mantissa are
  /// decimals: with 4, "25" is 0.0025. An exponent applies on top.
  int implied_decimals = 0;
  /// Blanks anywhere are skipped as if absent: "1 2 . 5" is 12.5. Otherwise
  /// a blank is an invalid character.
  bool blanks_ignored = false;
  /// A sign alone may start the exponent: "1.5-3" is 1.5e-3.
  bool sign_only_exponent = false;
  /// D and d are exponent letters as well as E and e: "2.5d0" is 2.5.
  bool d_exponent = false;
  /// The decimal point: '.', or ',' as European locales write it ("2,5" is
  /// 2.5, and "2.5" then holds an invalid character).
  char point = '.';
};

/// Why a text is not a number of its grammar.
enum class DecimalError {
  none,
  invalid_character,   ///< a character the grammar has no place for: "1.0x", "1.0Q2", "inf"
  second_point,        ///< a second decimal point in the mantissa: "1.2.3"
  no_mantissa_digits,  ///< a point or an exponent with no digit before it: ".", "-.", "E5"
  no_exponent_digits,  ///< an exponent letter or sign with no digit after it: "1.0E", "2.5-"
};

/// What a scan finds. With `error` none and `empty` false the text stands for
/// the exact value (-1 if `negative`) * `digits` * 10^`exponent10`.
struct DecimalScan {
  DecimalError error = DecimalError::none;
  /// No number is written: the text holds only an optional sign (and
  /// blanks, where they are ignored). Whether that is zero or a fault is the
  /// caller's to say.
  bool empty = false;
  bool negative = false;  ///< a minus sign stood first ("-0" is negative too)
  /// The significant digits, without leading or trailing zeros; empty when
  /// the value is zero.
  std::string digits;
  /// The power of ten of the last digit; 0 when the value is zero. Exponent
  /// digits beyond 10^9 saturate there, far beyond the range of a double.
  std::int64_t exponent10 = 0;

  friend bool operator==(const DecimalScan&, const DecimalScan&) = default;
};

/// Scans the whole of `text` as one number of `grammar`. Textual infinities
/// and NaN are not numbers, nor are hexadecimal forms.
///
///   scan_decimal("-12.50", {})                    -> {negative, "125", -1}
///   scan_decimal("25", {.implied_decimals = 4})   -> {"25", -4}
///   scan_decimal("1 5-3", {.blanks_ignored = true, .sign_only_exponent = true})
///                                                 -> {"15", -3}
///   scan_decimal("0.000", {})                     -> {"", 0}
///   scan_decimal("  -  ", {.blanks_ignored = true}) -> {empty, negative}
///   scan_decimal("2.5d0", {})                     -> {error: invalid_character}
DecimalScan scan_decimal(std::string_view text, const DecimalGrammar& grammar);

/// The double nearest to a scanned value (ties to even); beyond the double
/// range an infinity or a zero of its sign. An empty scan gives a zero of its
/// sign, a faulty one +0.
///
///   scan_to_double(scan_decimal("0.1", {})) -> 0.1
double scan_to_double(const DecimalScan& scan) noexcept;

}  // namespace broaden
