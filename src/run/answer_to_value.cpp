#include "run/answer_to_value.h"

#include <limits>

#include "numbers/decimal_scan.h"

namespace broaden {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Takes an optional sign from the front of `text`; true when it was '-'.
bool take_sign(std::string_view& text) {
  if (text.empty() || (text.front() != '+' && text.front() != '-')) return false;
  const bool negative = text.front() == '-';
  text.remove_prefix(1);
  return negative;
}

}  // namespace

std::string answer_to_name(std::string_view item) {
  item = item.substr(0, kNameFieldSize);
  const auto last = item.find_last_not_of(' ');
  return std::string(item.substr(0, last == std::string_view::npos ? 0 : last + 1));
}

CountValue answer_to_count(std::string_view item) {
  const bool negative = take_sign(item);
  if (item.empty()) return {0, NumberError::not_a_number};

  // Accumulated as a negative number, whose range is the wider one.
  constexpr std::int64_t kLowest = std::numeric_limits<std::int32_t>::min();
  std::int64_t value = 0;
  bool too_large = false;
  for (const char c : item) {
    if (!is_digit(c)) return {0, NumberError::not_a_number};
    if (!too_large) value = value * 10 - (c - '0');
    too_large = too_large || value < kLowest;
  }
  if (!negative) value = -value;
  if (too_large || value > std::numeric_limits<std::int32_t>::max())
    return {0, NumberError::out_of_range};
  return {static_cast<std::int32_t>(value), NumberError::none};
}

WidthValue answer_to_width(std::string_view item) {
  const DecimalScan scan = scan_decimal(item, DecimalGrammar{.d_exponent = true});
  if (scan.error != DecimalError::none || scan.empty) return {0.0, NumberError::not_a_number};
  return {scan_to_double(scan), NumberError::none};
}

}  // namespace broaden
