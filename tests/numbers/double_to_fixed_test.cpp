#include "numbers/double_to_fixed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>
#include <random>
#include <span>
#include <string>

namespace broaden {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(DoubleToFixed, RoundsTheExactBinaryValueAndRightAlignsOrFillsWithAsterisks) {
  const struct {
    double value;
    int width, decimals;
    std::string expected;
  } cases[] = {
      {0.1, 12, 4, "      0.1000"},
      {0.0, 12, 4, "      0.0000"},
      {123.456, 12, 4, "    123.4560"},
      {2000.0, 12, 4, "   2000.0000"},
      {-0.00001, 12, 4, "     -0.0000"},
      {-0.0000499, 12, 4, "     -0.0000"},
      {-0.00005, 12, 4, "     -0.0001"},  // the double lies just beyond the halfway point
      {0.00015, 12, 4, "      0.0001"},   // the double lies just below the halfway point
      {1.03125, 12, 4, "      1.0312"},
      {1.09375, 12, 4, "      1.0938"},
      {-1.03125, 12, 4, "     -1.0312"},
      {0.15625, 12, 4, "      0.1562"},
      {2.5, 3, 0, " 2."},
      {3.5, 3, 0, " 4."},
      {9999999.9999, 12, 4, "9999999.9999"},
      {9999999.99995, 12, 4, "9999999.9999"},  // the double lies below the halfway point
      {std::nextafter(9999999.99995, kInf), 12, 4, "************"},
      {10000000.0, 12, 4, "************"},
      {1e8, 12, 4, "************"},
      {-999999.9999, 12, 4, "-999999.9999"},
      {-999999.99995, 12, 4, "-999999.9999"},
      {std::nextafter(-999999.99995, -kInf), 12, 4, "************"},
      {-1000000.0, 12, 4, "************"},
      {1e300, 12, 4, "************"},
      {-1e300, 64, 17, std::string(64, '*')},
      {1e62, 64, 0, "100000000000000003502199685943161173046080317798311825604870144."},
      {1e63, 64, 0, std::string(64, '*')},
      {1e63, 64, 1, std::string(64, '*')},
      {0.1, 30, 17, "           0.10000000000000001"},
      {kInf, 12, 4, "    Infinity"},
      {-kInf, 12, 4, "   -Infinity"},
      {kNaN, 12, 4, "         NaN"},
      {-kNaN, 12, 4, "         NaN"},
      {-kInf, 9, 0, "-Infinity"},
      {-kInf, 8, 0, "********"},
      {kInf, 5, 4, "*****"},
      {kNaN, 3, 0, "NaN"},
      {kNaN, 2, 0, "**"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(double_to_fixed(c.value, c.width, c.decimals), c.expected) << c.value;
    char buffer[80];
    std::fill(std::begin(buffer), std::end(buffer), '#');
    double_to_fixed(c.value, c.decimals,
                    std::span<char>(buffer + 1, static_cast<std::size_t>(c.width)));
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(buffer[1 + c.width], '#') << "wrote past the field for " << c.value;
  }
}

// The exact decimal conversion, right-aligned or asterisks.
std::string exact_fixed(double value, int width, int decimals) {
  char text[400];
  const auto end =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
  char* last = end;
  if (decimals == 0) *last++ = '.';  // a fixed-point field always has its point
  const auto size = static_cast<std::size_t>(last - text);
  if (size > static_cast<std::size_t>(width))
    return std::string(static_cast<std::size_t>(width), '*');
  return std::string(static_cast<std::size_t>(width) - size, ' ') + std::string(text, size);
}

TEST(DoubleToFixed, AgreesWithTheExactConversionEverywhere) {
  std::mt19937_64 random(42);
  for (int i = 0; i < 200000; ++i) {
    const int decimals = static_cast<int>(random() % 8);
    // Random magnitudes, and values on and next to halfway points.
    const double magnitude = std::pow(10.0, std::uniform_real_distribution<double>(-6, 12)(random));
    double value = std::uniform_real_distribution<double>(-magnitude, magnitude)(random);
    if (i % 3 == 0) {
      const double unit = std::pow(10.0, -decimals);
      value = (std::round(value / unit) + 0.5) * unit;
      if (i % 2 == 0) value = std::nextafter(value, (i % 4 == 0) ? 1e300 : -1e300);
    }
    ASSERT_EQ(double_to_fixed(value, 24, decimals), exact_fixed(value, 24, decimals))
        << std::hexfloat << value << " with " << decimals << " decimals";
  }
}

TEST(DoubleToFixed, OutsideItsLimitsGivesAsterisksNeverAnOverrun) {
  // Widths 1 and 64 and decimals 0 and 17 are inside; one step past, the field is asterisks.
  EXPECT_EQ(double_to_fixed(0.5, 64, 17), std::string(45, ' ') + "0.50000000000000000");
  EXPECT_EQ(double_to_fixed(0.5, 12, 18), "************");
  EXPECT_EQ(double_to_fixed(0.5, 12, -1), "************");
  EXPECT_EQ(double_to_fixed(0.5, 65, 4), std::string(65, '*'));
  EXPECT_EQ(double_to_fixed(kNaN, 6, 1000), "******");
  EXPECT_EQ(double_to_fixed(1.0, 1, 0), "*");  // "1." does not fit
  EXPECT_EQ(double_to_fixed(1.0, 0, 4), "");
  EXPECT_EQ(double_to_fixed(1.0, -3, 4), "");
}

}  // namespace
}  // namespace broaden
