#include "numbers/decimal_scan.h"

#include "numbers/decimal_to_double.h"

namespace broaden {
namespace {

// Walks a text, skipping blanks when the grammar ignores them.
class Cursor {
 public:
  Cursor(std::string_view text, bool skip_blanks) : text_(text), skip_blanks_(skip_blanks) {}

  // The next character, or -1 at the end of the text.
  int peek() {
    while (skip_blanks_ && pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
    return pos_ < text_.size() ? static_cast<unsigned char>(text_[pos_]) : -1;
  }
  void advance() { ++pos_; }

 private:
  std::string_view text_;
  bool skip_blanks_;
  std::size_t pos_ = 0;
};

bool is_digit(int c) { return c >= '0' && c <= '9'; }
bool is_sign(int c) { return c == '+' || c == '-'; }

DecimalScan failure(DecimalError error) {
  DecimalScan scan;
  scan.error = error;
  return scan;
}

bool is_exponent_letter(int c, const DecimalGrammar& grammar) {
  return c == 'E' || c == 'e' || (grammar.d_exponent && (c == 'D' || c == 'd'));
}

// The exponent from the cursor to the end of the text: a letter and an
// optional sign, or (where the grammar takes it) a sign alone, then digits.
DecimalError scan_exponent(Cursor& cursor, const DecimalGrammar& grammar, std::int64_t& exponent) {
  bool negative = false;
  if (const int c = cursor.peek(); is_exponent_letter(c, grammar)) {
    cursor.advance();
    if (is_sign(cursor.peek())) {
      negative = cursor.peek() == '-';
      cursor.advance();
    }
  } else if (grammar.sign_only_exponent && is_sign(c)) {
    negative = c == '-';
    cursor.advance();
  } else {
    return DecimalError::invalid_character;
  }
  const int first = cursor.peek();
  if (!is_digit(first)) {
    return first == -1 || is_sign(first) || first == grammar.point
               ? DecimalError::no_exponent_digits
               : DecimalError::invalid_character;
  }
  while (is_digit(cursor.peek())) {
    exponent = append_exponent_digit(exponent, static_cast<char>(cursor.peek()));
    cursor.advance();
  }
  if (cursor.peek() != -1) return DecimalError::invalid_character;
  if (negative) exponent = -exponent;
  return DecimalError::none;
}

}  // namespace

DecimalScan scan_decimal(std::string_view text, const DecimalGrammar& grammar) {
  Cursor cursor(text, grammar.blanks_ignored);
  DecimalScan scan;

  if (is_sign(cursor.peek())) {
    scan.negative = cursor.peek() == '-';
    cursor.advance();
  }

  bool has_point = false;
  std::int64_t decimals = 0;
  for (int c = cursor.peek();; c = cursor.peek()) {
    if (is_digit(c)) {
      scan.digits += static_cast<char>(c);
      if (has_point) ++decimals;
    } else if (c == grammar.point) {
      if (has_point) return failure(DecimalError::second_point);
      has_point = true;
    } else {
      break;
    }
    cursor.advance();
  }

  if (scan.digits.empty()) {
    if (!has_point && cursor.peek() == -1) {
      scan.empty = true;
      return scan;
    }
    if (has_point || is_exponent_letter(cursor.peek(), grammar) || is_sign(cursor.peek()))
      return failure(DecimalError::no_mantissa_digits);
    return failure(DecimalError::invalid_character);
  }

  std::int64_t exponent = 0;
  if (cursor.peek() != -1) {
    const DecimalError error = scan_exponent(cursor, grammar, exponent);
    if (error != DecimalError::none) return failure(error);
  }

  // Only the significant digits are kept; trailing zeros move to the exponent.
  const auto first = scan.digits.find_first_not_of('0');
  if (first == std::string::npos) {
    scan.digits.clear();
    return scan;
  }
  const auto last = scan.digits.find_last_not_of('0');
  scan.exponent10 = exponent - (has_point ? decimals : grammar.implied_decimals) +
                    static_cast<std::int64_t>(scan.digits.size() - 1 - last);
  scan.digits = scan.digits.substr(first, last + 1 - first);
  return scan;
}

double scan_to_double(const DecimalScan& scan) noexcept {
  if (scan.error != DecimalError::none) return scan.negative ? -0.0 : 0.0;
  return decimal_to_double(scan.negative, scan.digits, scan.exponent10);
}

}  // namespace broaden
