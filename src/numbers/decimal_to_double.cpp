#include "numbers/decimal_to_double.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string>
#include <system_error>

namespace broaden {
namespace {

// Below 2^53 every whole number is an exact double, and so is every power
// of ten up to 10^22: one multiplication or division of the two, rounded
// once to nearest (ties to even), is the nearest double, as from_chars
// would give it.
constexpr std::uint64_t kExactWhole = std::uint64_t{1} << 53;
constexpr std::int64_t kExactPower = 22;

double exact_quotient(std::uint64_t significand, std::int64_t exponent10) {
  static constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const auto m = static_cast<double>(significand);
  return exponent10 >= 0 ? m * kExactPowers[exponent10] : m / kExactPowers[-exponent10];
}

}  // namespace

double decimal_to_double(bool negative, std::uint64_t significand,
                         std::int64_t exponent10) noexcept {
  if (significand <= kExactWhole && exponent10 >= -kExactPower && exponent10 <= kExactPower) {
    const double value = exact_quotient(significand, exponent10);
    return negative ? -value : value;
  }
  char digits[20];
  char* const end = digits + sizeof digits;
  char* first = end;
  do {
    *--first = static_cast<char>('0' + significand % 10);
    significand /= 10;
  } while (significand != 0);
  return decimal_to_double(negative, std::string_view(first, static_cast<std::size_t>(end - first)),
                           exponent10);
}

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

  // At most 15 digits are below 2^53.
  if (digits.size() <= 15 && exponent10 >= -kExactPower && exponent10 <= kExactPower) {
    std::uint64_t significand = 0;
    for (const char c : digits)
      significand = significand * 10 + static_cast<std::uint64_t>(c - '0');
    const double value = exact_quotient(significand, exponent10);
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
