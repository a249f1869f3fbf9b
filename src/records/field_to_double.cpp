#include "records/field_to_double.h"

#include <cstdint>
#include <string>

#include "numbers/decimal_to_double.h"

namespace broaden {
namespace {

// Walks a field, skipping the blanks that may stand anywhere inside it.
class BlankSkippingCursor {
 public:
  explicit BlankSkippingCursor(std::string_view text) : text_(text) {}

  // The next non-blank character, or -1 at the end of the field.
  int peek() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
    return pos_ < text_.size() ? static_cast<unsigned char>(text_[pos_]) : -1;
  }
  void advance() { ++pos_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

bool is_digit(int c) { return c >= '0' && c <= '9'; }
bool is_sign(int c) { return c == '+' || c == '-'; }
bool is_exponent_letter(int c) { return c == 'E' || c == 'e' || c == 'D' || c == 'd'; }

FieldValue failure(FieldError error) { return FieldValue{0.0, error}; }

}  // namespace

FieldValue field_to_double(std::string_view field, int implied_decimals) noexcept {
  BlankSkippingCursor cursor(field);

  bool negative = false;
  if (is_sign(cursor.peek())) {
    negative = cursor.peek() == '-';
    cursor.advance();
  }

  // A field is at most a record long: the digits fit the small-string buffer.
  std::string digits;
  bool has_point = false;
  std::int64_t decimals = 0;
  for (int c = cursor.peek();; c = cursor.peek()) {
    if (is_digit(c)) {
      digits += static_cast<char>(c);
      if (has_point) ++decimals;
    } else if (c == '.') {
      if (has_point) return failure(FieldError::second_point);
      has_point = true;
    } else {
      break;
    }
    cursor.advance();
  }

  if (digits.empty()) {
    if (!has_point && cursor.peek() == -1) return FieldValue{0.0, FieldError::none};
    if (has_point || is_exponent_letter(cursor.peek()) || is_sign(cursor.peek()))
      return failure(FieldError::no_mantissa_digits);
    return failure(FieldError::invalid_character);
  }

  std::int64_t exponent = 0;
  if (const int c = cursor.peek(); c != -1) {
    bool exponent_negative = false;
    if (is_exponent_letter(c)) {
      cursor.advance();
      if (is_sign(cursor.peek())) {
        exponent_negative = cursor.peek() == '-';
        cursor.advance();
      }
    } else if (is_sign(c)) {
      exponent_negative = c == '-';
      cursor.advance();
    } else {
      return failure(FieldError::invalid_character);
    }
    const int first = cursor.peek();
    if (!is_digit(first)) {
      return failure(first == -1 || is_sign(first) || first == '.' ? FieldError::no_exponent_digits
                                                                   : FieldError::invalid_character);
    }
    while (is_digit(cursor.peek())) {
      exponent = append_exponent_digit(exponent, static_cast<char>(cursor.peek()));
      cursor.advance();
    }
    if (cursor.peek() != -1) return failure(FieldError::invalid_character);
    if (exponent_negative) exponent = -exponent;
  }

  const std::int64_t scale = has_point ? decimals : implied_decimals;
  return FieldValue{decimal_to_double(negative, digits, exponent - scale), FieldError::none};
}

}  // namespace broaden
