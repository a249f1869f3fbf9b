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
