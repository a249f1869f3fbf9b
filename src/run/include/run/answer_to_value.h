// Free-form answer items -> a file name, a count, a width.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace broaden {

/// Characters in a name field: longer names are cut to this many.
inline constexpr std::size_t kNameFieldSize = 40;

/// The file name an answer item stands for: the item cut to its first 40
/// characters, less the blanks at its end.
///
///   answer_to_name("data.txt")     -> "data.txt"
///   answer_to_name("spaced name ") -> "spaced name"
///   answer_to_name(45 x "a")       -> 40 x "a"
std::string answer_to_name(std::string_view item);

enum class NumberError {
  none,
  not_a_number,  ///< the item is not written as the number asked for
  out_of_range,  ///< a whole number outside the signed 32-bit range
};

struct CountValue {
  std::int32_t value = 0;
  NumberError error = NumberError::none;

  friend bool operator==(const CountValue&, const CountValue&) = default;
};

/// A count answer: a decimal integer with an optional sign, in the signed
/// 32-bit range.
///
///   answer_to_count("+17")         -> {17}
///   answer_to_count("-2147483648") -> {-2147483648}
///   answer_to_count("2147483648")  -> {error: out_of_range}
///   answer_to_count("5.0")         -> {error: not_a_number}
CountValue answer_to_count(std::string_view item);

struct WidthValue {
  double value = 0.0;
  NumberError error = NumberError::none;

  friend bool operator==(const WidthValue&, const WidthValue&) = default;
};

/// A width answer: an optional sign, digits with an optional decimal point
/// (at least one digit, before or after it), and an optional exponent of E,
/// e, D or d, an optional sign and digits. The value is the nearest double
/// (ties to even); beyond the double range it is an infinity or a zero of
/// its sign. Textual infinities and NaN are not numbers here. This is
/// scan_decimal with the D exponent as its only option.
///
///   answer_to_width("5")       -> {5.0}
///   answer_to_width("-.5d1")   -> {-5.0}
///   answer_to_width("2.e-1")   -> {0.2}
///   answer_to_width("1e400")   -> {+infinity}
///   answer_to_width("five")    -> {error: not_a_number}
WidthValue answer_to_width(std::string_view item);

}  // namespace broaden
