#include "run/answer_to_value.h"

#include <charconv>
#include <system_error>

#include "numbers/decimal_scan.h"

namespace broaden {

std::string answer_to_name(std::string_view item) {
  item = item.substr(0, kNameFieldSize);
  const auto last = item.find_last_not_of(' ');
  return std::string(item.substr(0, last == std::string_view::npos ? 0 : last + 1));
}

CountValue answer_to_count(std::string_view item) {
  // from_chars takes a minus sign but no plus sign, and no blanks.
  if (item.starts_with('+')) {
    item.remove_prefix(1);
    if (item.starts_with('-')) return {0, NumberError::not_a_number};
  }
  const char* const end = item.data() + item.size();
  std::int32_t value = 0;
  const auto [stop, error] = std::from_chars(item.data(), end, value);
  if (error == std::errc::invalid_argument || stop != end) return {0, NumberError::not_a_number};
  if (error == std::errc::result_out_of_range) return {0, NumberError::out_of_range};
  return {value, NumberError::none};
}

WidthValue answer_to_width(std::string_view item) {
  const DecimalScan scan = scan_decimal(item, DecimalGrammar{.d_exponent = true});
  if (scan.error != DecimalError::none || scan.empty) return {0.0, NumberError::not_a_number};
  return {scan_to_double(scan), NumberError::none};
}

}  // namespace broaden
