#include "numbers/decimal_scan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace broaden {
namespace {

constexpr DecimalGrammar kPlain{};
constexpr DecimalGrammar kImplied{.implied_decimals = 4};
constexpr DecimalGrammar kBlanks{.blanks_ignored = true};
constexpr DecimalGrammar kSignExponent{.sign_only_exponent = true};
constexpr DecimalGrammar kD{.d_exponent = true};
constexpr DecimalGrammar kField{4, true, true, true};

DecimalScan value(bool negative, std::string digits, std::int64_t exponent10) {
  return {DecimalError::none, false, negative, std::move(digits), exponent10};
}
DecimalScan empty(bool negative) { return {DecimalError::none, true, negative, "", 0}; }
DecimalScan fault(DecimalError error) { return {error, false, false, "", 0}; }

constexpr DecimalGrammar kComma{.point = ','};

TEST(ScanDecimal, GivesSignificantDigitsAndTheirPowerOfTenUnderEachOption) {
  constexpr auto kInvalid = DecimalError::invalid_character;
  const struct {
    const char* text;
    DecimalGrammar grammar;
    DecimalScan expected;
  } cases[] = {
      {"-12.50", kPlain, value(true, "125", -1)},
      {"007.5000", kPlain, value(false, "75", -1)},
      {"0.1", kPlain, value(false, "1", -1)},
      {"1200", kPlain, value(false, "12", 2)},
      {"+1E-3", kPlain, value(false, "1", -3)},
      {"0.000", kPlain, value(false, "", 0)},
      {"-0", kPlain, value(true, "", 0)},
      {"1E99999999999999", kPlain, value(false, "1", 1'000'000'000)},
      {"", kPlain, empty(false)},
      {"-", kPlain, empty(true)},
      // Implied decimals count only without a point; an exponent adds on.
      {"1200", kImplied, value(false, "12", -2)},
      {"25.", kImplied, value(false, "25", 0)},
      {"25E2", kImplied, value(false, "25", -2)},
      // Blanks.
      {"1 2 . 5", kBlanks, value(false, "125", -1)},
      {"  -  ", kBlanks, empty(true)},
      {"1 2", kPlain, fault(kInvalid)},
      {" ", kPlain, fault(kInvalid)},
      // A sign alone as the exponent.
      {"1.5-3", kSignExponent, value(false, "15", -4)},
      {"1.5-3", kPlain, fault(kInvalid)},
      // D exponents.
      {"2.5d0", kD, value(false, "25", -1)},
      {"2.5D+1", kD, value(false, "25", 0)},
      {"2.5d0", kPlain, fault(kInvalid)},
      {"D5", kD, fault(DecimalError::no_mantissa_digits)},
      {"D5", kPlain, fault(kInvalid)},
      // A decimal comma: the comma is the point, and a point is no longer one.
      {"1000,5", kComma, value(false, "10005", -1)},
      {"-,25E1", kComma, value(true, "25", -1)},
      {"1,2,3", kComma, fault(DecimalError::second_point)},
      {"1000.5", kComma, fault(kInvalid)},
      {"1E,", kComma, fault(DecimalError::no_exponent_digits)},
      {",", kComma, fault(DecimalError::no_mantissa_digits)},
      {"1000,5", kPlain, fault(kInvalid)},
      // Every option at once, as a line-list field reads.
      {" -1 5 d - 3", kField, value(true, "15", -7)},
      // Faults every grammar shares.
      {"1.2.3", kField, fault(DecimalError::second_point)},
      {".", kPlain, fault(DecimalError::no_mantissa_digits)},
      {"1E", kPlain, fault(DecimalError::no_exponent_digits)},
      {"1E+", kPlain, fault(DecimalError::no_exponent_digits)},
      {"1E5x", kPlain, fault(kInvalid)},
      {"inf", kField, fault(kInvalid)},
      {"0x10", kField, fault(kInvalid)},
  };
  for (const auto& c : cases) {
    const DecimalScan got = scan_decimal(c.text, c.grammar);
    EXPECT_EQ(got, c.expected) << '"' << c.text << "\" gave error " << static_cast<int>(got.error)
                               << " digits \"" << got.digits << "\" exponent " << got.exponent10;
  }
}

TEST(ScanToDouble, RoundsTheScannedValueToTheNearestDouble) {
  EXPECT_EQ(scan_to_double(scan_decimal("0.1", kPlain)), 0.1);
  EXPECT_EQ(scan_to_double(scan_decimal("25", kImplied)), 0.0025);
  EXPECT_TRUE(std::signbit(scan_to_double(scan_decimal("-0", kPlain))));
  EXPECT_EQ(scan_to_double(scan_decimal("1E400", kPlain)), HUGE_VAL);
}

}  // namespace
}  // namespace broaden
