#include "numbers/double_to_echo.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace broaden {
namespace {

constexpr int kSignificantDigits = 17;
constexpr int kFixedWidth = 20;

char* right_align(std::string_view text, int width, char* out) {
  const auto padding = static_cast<std::size_t>(width) - text.size();
  std::memset(out, ' ', padding);
  std::memcpy(out + padding, text.data(), text.size());
  return out + width;
}

}  // namespace

char* double_to_echo(double value, char* out) noexcept {
  if (std::isnan(value)) return right_align("NaN", kEchoFieldWidth, out);
  if (std::isinf(value))
    return right_align(value < 0 ? "-Infinity" : "Infinity", kEchoFieldWidth, out);

  // "-d.dddddddddddddddde-ddd": the 17 rounded digits and their exponent.
  char scientific[32];
  char* const end = std::to_chars(scientific, scientific + sizeof scientific - 1, value,
                                  std::chars_format::scientific, kSignificantDigits - 1)
                        .ptr;
  *end = '\0';
  const bool negative = std::signbit(value);
  const char* mantissa = scientific + (negative ? 1 : 0);
  const char* exponent_text = std::strchr(mantissa, 'e');
  const int exponent = std::atoi(exponent_text + 1);

  char digits[kSignificantDigits];
  digits[0] = mantissa[0];
  std::memcpy(digits + 1, mantissa + 2, kSignificantDigits - 1);

  char text[32];
  char* p = text;
  if (negative) *p++ = '-';
  if (value == 0.0 || (exponent >= -1 && exponent < kSignificantDigits)) {
    if (exponent < 0) {
      *p++ = '0';
      *p++ = '.';
      std::memcpy(p, digits, kSignificantDigits);
      p += kSignificantDigits;
    } else {
      const int integer_digits = exponent + 1;
      std::memcpy(p, digits, static_cast<std::size_t>(integer_digits));
      p += integer_digits;
      *p++ = '.';
      std::memcpy(p, digits + integer_digits,
                  static_cast<std::size_t>(kSignificantDigits - integer_digits));
      p += kSignificantDigits - integer_digits;
    }
    right_align(std::string_view(text, static_cast<std::size_t>(p - text)), kFixedWidth, out);
    std::memset(out + kFixedWidth, ' ', kEchoFieldWidth - kFixedWidth);
    return out + kEchoFieldWidth;
  }

  *p++ = digits[0];
  *p++ = '.';
  std::memcpy(p, digits + 1, kSignificantDigits - 1);
  p += kSignificantDigits - 1;
  *p++ = 'E';
  *p++ = exponent < 0 ? '-' : '+';
  const int magnitude = std::abs(exponent);
  *p++ = static_cast<char>('0' + magnitude / 100);
  *p++ = static_cast<char>('0' + magnitude / 10 % 10);
  *p++ = static_cast<char>('0' + magnitude % 10);
  return right_align(std::string_view(text, static_cast<std::size_t>(p - text)), kEchoFieldWidth,
                     out);
}

std::string double_to_echo(double value) {
  std::string field(kEchoFieldWidth, ' ');
  double_to_echo(value, field.data());
  return field;
}

std::string echo_text(double frequency, double intensity) {
  std::string text(2 * kEchoFieldWidth + 1, ' ');
  double_to_echo(frequency, text.data());
  double_to_echo(intensity, text.data() + kEchoFieldWidth + 1);
  return text;
}

}  // namespace broaden
