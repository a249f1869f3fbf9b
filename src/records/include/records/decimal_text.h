// Decimal number text, as written in option values and line-list columns:
// its exact digits and power of ten, and the nearest double.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace broaden {

/// A decimal number held exactly: (-1 if `negative`) * digits * 10^exponent.
/// `digits` holds only '0'..'9' and is never empty.
struct Decimal {
  bool negative = false;
  std::string digits;
  std::int64_t exponent = 0;

  friend bool operator==(const Decimal&, const Decimal&) = default;
};

/// Reads `text` as a whole as a decimal number: an optional sign, digits
/// with at most one point (at least one digit, before or after it), and
/// optionally an exponent of E, e, D or d, an optional sign and digits.
/// Nothing else is allowed, no blank either. Exponents saturate far beyond
/// any that matters (append_exponent_digit). Returns nothing when the text
/// is not such a number ("", ".", "1e", "inf", "0x10", "1 ").
///
///   parse_decimal("-12.50")  -> {negative, "1250", -2}
///   parse_decimal("2.5D-3")  -> {"25", -4}
///   parse_decimal(".5")      -> {"5", -1}
std::optional<Decimal> parse_decimal(std::string_view text);

/// The double nearest to `number` (ties to even); beyond the double range an
/// infinity or a zero of its sign.
///
///   to_double({false, "3", -1}) -> 0.3 (0.299999999999999988898)
double to_double(const Decimal& number) noexcept;

}  // namespace broaden
