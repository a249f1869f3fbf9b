#include "numbers/double_to_echo.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "numbers/right_align.h"

namespace broaden {
namespace {

constexpr int kSignificantDigits = 17;
constexpr std::size_t kFixedWidth = 20;

}  // namespace

void double_to_echo(double value, std::span<char, kEchoFieldWidth> field) noexcept {
  if (std::isnan(value)) return right_align("NaN", field);
  if (std::isinf(value)) return right_align(value < 0 ? "-Infinity" : "Infinity", field);

  // "-d.dddddddddddddddde-ddd": the 17 rounded digits and their exponent.
  char scientific[32];
  const char* const end = std::to_chars(scientific, scientific + sizeof scientific, value,
                                        std::chars_format::scientific, kSignificantDigits - 1)
                              .ptr;
  const bool negative = std::signbit(value);
  const std::string_view written(scientific, static_cast<std::size_t>(end - scientific));
  const std::string_view mantissa = written.substr(negative ? 1 : 0, kSignificantDigits + 1);
  // After the 'e' stands a sign, which from_chars takes only when it is '-'.
  const std::size_t exponent_sign = written.find('e') + 1;
  int exponent = 0;
  std::from_chars(written.data() + exponent_sign + (written[exponent_sign] == '+' ? 1 : 0), end,
                  exponent);

  char digits[kSignificantDigits];
  digits[0] = mantissa[0];
  mantissa.substr(2).copy(digits + 1, kSignificantDigits - 1);
  const std::string_view all_digits(digits, kSignificantDigits);

  char text[32];
  char* p = text;
  if (negative) *p++ = '-';
  if (value == 0.0 || (exponent >= -1 && exponent < kSignificantDigits)) {
    if (exponent < 0) {
      *p++ = '0';
      *p++ = '.';
      p = std::ranges::copy(all_digits, p).out;
    } else {
      const auto integer_digits = static_cast<std::size_t>(exponent + 1);
      p = std::ranges::copy(all_digits.substr(0, integer_digits), p).out;
      *p++ = '.';
      p = std::ranges::copy(all_digits.substr(integer_digits), p).out;
    }
    right_align(std::string_view(text, static_cast<std::size_t>(p - text)),
                field.first<kFixedWidth>());
    std::ranges::fill(field.subspan<kFixedWidth>(), ' ');
    return;
  }

  *p++ = digits[0];
  *p++ = '.';
  p = std::ranges::copy(all_digits.substr(1), p).out;
  *p++ = 'E';
  *p++ = exponent < 0 ? '-' : '+';
  const int magnitude = std::abs(exponent);
  *p++ = static_cast<char>('0' + magnitude / 100);
  *p++ = static_cast<char>('0' + magnitude / 10 % 10);
  *p++ = static_cast<char>('0' + magnitude % 10);
  right_align(std::string_view(text, static_cast<std::size_t>(p - text)), field);
}

std::string double_to_echo(double value) {
  std::string field(kEchoFieldWidth, ' ');
  double_to_echo(value, std::span<char, kEchoFieldWidth>(field.data(), kEchoFieldWidth));
  return field;
}

std::string echo_text(double frequency, double intensity) {
  std::string text(2 * kEchoFieldWidth + 1, ' ');
  double_to_echo(frequency, std::span<char, kEchoFieldWidth>(text.data(), kEchoFieldWidth));
  double_to_echo(intensity, std::span<char, kEchoFieldWidth>(text.data() + kEchoFieldWidth + 1,
                                                             kEchoFieldWidth));
  return text;
}

}  // namespace broaden
