#include "numbers/double_to_shortest.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

namespace broaden {
namespace {

// double_to_shortest with `digits` (0: the shortest, as shortest() writes it).
std::string written(double value, int digits) {
  char text[kShortestRoom];
  return std::string(text, double_to_shortest(value, digits, text));
}

std::string text_of(std::int64_t value, std::int64_t exponent10) {
  char text[kShortestRoom];
  return std::string(text, decimal_to_text(value, exponent10, text));
}

// The significant digits of a number's text, without sign, point, exponent
// or the zeros at either end: "-0.0120e+05" -> "12".
std::string significant_digits(const std::string& text) {
  std::string digits;
  for (const char c : text.substr(0, text.find('e')))
    if (c >= '0' && c <= '9') digits += c;
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return "";
  return digits.substr(first, digits.find_last_not_of('0') + 1 - first);
}

TEST(DoubleToShortest, ReadsBackAsTheSameDoubleAndNoShorterTextDoes) {
  std::mt19937_64 random(31);
  for (int trial = 0; trial < 100'000; ++trial) {
    const double value = std::bit_cast<double>(random());
    if (!std::isfinite(value)) continue;
    const std::string text = shortest(value);
    ASSERT_LE(text.size(), kShortestRoom);
    // The digits are std::to_chars's shortest, whatever the form.
    char scientific[kShortestRoom];
    ASSERT_EQ(significant_digits(text),
              significant_digits(
                  std::string(scientific, std::to_chars(scientific, scientific + kShortestRoom,
                                                        value, std::chars_format::scientific)
                                              .ptr)))
        << text;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(std::strtod(text.c_str(), nullptr)),
              std::bit_cast<std::uint64_t>(value))
        << text;
    // One significant digit fewer never reads back (17 digits always do).
    const std::string fewer = written(value, 16);
    if (fewer.size() < text.size()) {
      EXPECT_NE(std::strtod(fewer.c_str(), nullptr), value) << text << " vs " << fewer;
    }
  }
}

TEST(DoubleToShortest, WritesTheDigitsAskedForAndTheSpecialValues) {
  const struct {
    double value;
    int digits;
    const char* text;
  } cases[] = {
      {0.30000000000000004, 0, "0.30000000000000004"},
      {0.3, 0, "0.3"},
      {1e-05, 0, "1e-05"},
      {-0.0, 0, "-0"},
      {1234.5678, 3, "1.23e+03"},
      {1234.5678, 6, "1234.57"},
      {0.5, 17, "0.5"},  // trailing zeros dropped
      {std::numeric_limits<double>::infinity(), 0, "inf"},
      {-std::numeric_limits<double>::infinity(), 5, "-inf"},
      {std::numeric_limits<double>::quiet_NaN(), 0, "nan"},
      {-std::numeric_limits<double>::max(), 0, "-1.7976931348623157e+308"},
      // From 2^53 on the plain form has the shortest digits, not the exact integer.
      {36619573947943904.0, 0, "36619573947943900"},
      {-36619573947943904.0, 0, "-36619573947943900"},
      {0x1p53, 0, "9007199254740992"},
      {0x1p53 + 2, 0, "9007199254740994"},
      {1e16, 0, "1e+16"},
      {123456789012345678.0, 0, "123456789012345680"},
      {0x1p60, 0, "1152921504606847000"},
      {0x1p70, 0, "1180591620717411300000"},  // a tie: plain
      {1e21, 0, "1e+21"},
      {100000.0, 0, "1e+05"},
      {std::numeric_limits<double>::denorm_min(), 17, "4.9406564584124654e-324"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(written(c.value, c.digits), c.text) << c.text;
    if (c.digits == 0) {
      EXPECT_EQ(shortest(c.value), c.text);
    }
  }
}

// A decimal of at most 15 digits, written from its digits, is what
// std::to_chars writes for its nearest double: both forms, the switch
// between them, signs and exponents of one, two and three digits.
TEST(DecimalToText, WritesWhatToCharsWritesForTheNearestDouble) {
  std::mt19937_64 random(1512);
  for (int trial = 0; trial < 300'000; ++trial) {
    std::int64_t value = static_cast<std::int64_t>(random() % 1'000'000'000'000'000);
    value /= static_cast<std::int64_t>(std::pow(10.0, static_cast<double>(random() % 15)));
    if (random() % 2) value = -value;
    const auto exponent = trial % 4 == 0 ? static_cast<std::int64_t>(random() % 561) - 280
                                         : static_cast<std::int64_t>(random() % 51) - 35;
    if (exponent > 0 && std::abs(static_cast<double>(value)) * std::pow(10.0, exponent) >= 0x1p53)
      continue;  // outside its contract: to_chars may write the double's exact integer
    const std::string exact = std::to_string(value) + "e" + std::to_string(exponent);
    const std::string text = text_of(value, exponent);
    const double nearest = std::strtod(exact.c_str(), nullptr);
    // The same double, and the same digits as the shortest text; the plain
    // form from 1e-05 up.
    ASSERT_EQ(std::strtod(text.c_str(), nullptr), nearest) << exact << " -> " << text;
    const bool plain = value == 0 || std::abs(nearest) >= 1e-5;
    if (!plain) {
      ASSERT_EQ(text, shortest(nearest)) << exact;
    } else {
      ASSERT_EQ(text.find('e'), std::string::npos) << exact << " -> " << text;
      ASSERT_EQ(significant_digits(text), significant_digits(shortest(nearest))) << exact;
    }
  }
}

TEST(DecimalToText, EdgesOfItsRange) {
  EXPECT_EQ(text_of(3, -1), "0.3");
  EXPECT_EQ(text_of(15, 12), "15000000000000");
  EXPECT_EQ(text_of(1, 5), "100000");
  EXPECT_EQ(text_of(-2, 5), "-200000");
  EXPECT_EQ(text_of(1, -5), "0.00001");
  EXPECT_EQ(text_of(12, -6), "0.000012");
  EXPECT_EQ(text_of(1, -6), "1e-06");
  EXPECT_EQ(text_of(15, -8), "1.5e-07");
  EXPECT_EQ(text_of(-120, -7), "-0.000012");
  EXPECT_EQ(text_of(0, -280), "0");  // zero has no sign and no exponent
  // Zeros at the end, the longest values, the switch between the forms.
  const struct {
    std::int64_t value, exponent10;
  } cases[] = {{1000, -3},
               {123, 0},
               {999'999'999'999'999, -280},
               {1, 280 - 265},
               {-999'999'999'999'999, 0},
               {1, -4},
               {1, -5},
               {12345, -9},
               {12345, -10},
               {1, 15},
               {1, 16},
               {9'007'199'254, 6}};
  for (const auto& c : cases) {
    const std::string exact = std::to_string(c.value) + "e" + std::to_string(c.exponent10);
    const std::string text = text_of(c.value, c.exponent10);
    const double nearest = std::strtod(exact.c_str(), nullptr);
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), nearest) << exact;
    EXPECT_EQ(significant_digits(text), significant_digits(shortest(nearest))) << exact;
  }
}

}  // namespace
}  // namespace broaden
