#include "records/double_to_fixed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
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
      {2.5, 3, 0, "  2"},
      {3.5, 3, 0, "  4"},
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
      {1e63, 64, 0, "1000000000000000057857959942726969827393378689175040438172647424"},
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
    EXPECT_EQ(double_to_fixed(c.value, c.width, c.decimals, buffer + 1), buffer + 1 + c.width);
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(buffer[1 + c.width], '#') << "wrote past the field for " << c.value;
  }
}

}  // namespace
}  // namespace broaden
