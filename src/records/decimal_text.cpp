#include "records/decimal_text.h"

#include "records/decimal_to_double.h"

namespace broaden {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool take_sign(std::string_view& text) {
  if (text.empty() || (text.front() != '+' && text.front() != '-')) return false;
  const bool negative = text.front() == '-';
  text.remove_prefix(1);
  return negative;
}

}  // namespace

std::optional<Decimal> parse_decimal(std::string_view text) {
  Decimal number;
  number.negative = take_sign(text);
  bool has_point = false;
  std::int64_t decimals = 0;
  while (!text.empty() && (is_digit(text.front()) || text.front() == '.')) {
    if (text.front() == '.') {
      if (has_point) return std::nullopt;
      has_point = true;
    } else {
      number.digits += text.front();
      if (has_point) ++decimals;
    }
    text.remove_prefix(1);
  }
  if (number.digits.empty()) return std::nullopt;

  std::int64_t exponent = 0;
  if (!text.empty()) {
    const char letter = text.front();
    if (letter != 'E' && letter != 'e' && letter != 'D' && letter != 'd') return std::nullopt;
    text.remove_prefix(1);
    const bool exponent_negative = take_sign(text);
    if (text.empty()) return std::nullopt;
    for (const char c : text) {
      if (!is_digit(c)) return std::nullopt;
      exponent = append_exponent_digit(exponent, c);
    }
    if (exponent_negative) exponent = -exponent;
  }
  number.exponent = exponent - decimals;
  return number;
}

double to_double(const Decimal& number) noexcept {
  return decimal_to_double(number.negative, number.digits, number.exponent);
}

}  // namespace broaden
