#include "numbers/decimal_to_double.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string>
#include <system_error>

namespace broaden {

double decimal_to_double(bool negative, std::string_view digits, std::int64_t exponent10) noexcept {
  const double zero = negative ? -0.0 : 0.0;
  const double infinity =
      negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();

  const auto first = digits.find_first_not_of('0');
  if (first == std::string_view::npos) return zero;
  digits.remove_prefix(first);
  // Far beyond any exponent that matters, yet far from overflowing below.
  constexpr std::int64_t kExponentLimit = std::int64_t{1} << 60;
  exponent10 = std::clamp(exponent10, -kExponentLimit, kExponentLimit);
  const auto last = digits.find_last_not_of('0');
  exponent10 += static_cast<std::int64_t>(digits.size() - 1 - last);
  digits.remove_suffix(digits.size() - 1 - last);

  // At most 15 digits (below 2^53) and a power of ten up to 10^22 are both
  // exact doubles: one multiplication or division, rounded once to nearest
  // (ties to even), is the nearest double, as from_chars would give it.
  static constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (digits.size() <= 15 && exponent10 >= -22 && exponent10 <= 22) {
    std::int64_t mantissa = 0;
    for (const char c : digits) mantissa = mantissa * 10 + (c - '0');
    const auto m = static_cast<double>(mantissa);
    const double value =
        exponent10 >= 0 ? m * kExactPowers[exponent10] : m / kExactPowers[-exponent10];
    return negative ? -value : value;
  }

  // The value lies in [10^(magnitude-1), 10^magnitude): decide the far
  // cases here so that the text handed to from_chars stays small.
  const std::int64_t magnitude = static_cast<std::int64_t>(digits.size()) + exponent10;
  if (magnitude > 310) return infinity;
  if (magnitude < -330) return zero;

  std::string text;
  text.reserve(digits.size() + 24);
  if (negative) text += '-';
  text += digits;
  text += 'e';
  text += std::to_string(exponent10);

  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  (void)ptr;
  // from_chars leaves `value` untouched when the result is out of range.
  if (ec == std::errc::result_out_of_range) return magnitude > 0 ? infinity : zero;
  return value;
}

}  // namespace broaden
