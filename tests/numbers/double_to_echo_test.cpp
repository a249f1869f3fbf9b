#include "numbers/double_to_echo.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace broaden {
namespace {

struct EchoCase {
  double value;
  const char* field;
};

constexpr double kInf = std::numeric_limits<double>::infinity();

// Each field is exactly 25 characters.
const EchoCase kEchoCases[] = {
    {1.0, "  1.0000000000000000     "},
    {2.0, "  2.0000000000000000     "},
    {0.0, "  0.0000000000000000     "},
    {-0.0, " -0.0000000000000000     "},
    {0.1, " 0.10000000000000001     "},
    {-0.25, "-0.25000000000000000     "},
    {1000.0, "  1000.0000000000000     "},
    {123.456, "  123.45600000000000     "},
    {1e16, "  10000000000000000.     "},
    {99999999999999984.0, "  99999999999999984.     "},
    {-99999999999999984.0, " -99999999999999984.     "},
    {1e17, "  1.0000000000000000E+017"},
    {0.09999999999999999, "  9.9999999999999992E-002"},
    {1e-5, "  1.0000000000000001E-005"},
    {-1.25e20, " -1.2500000000000000E+020"},
    {5e-324, "  4.9406564584124654E-324"},
    {std::numeric_limits<double>::max(), "  1.7976931348623157E+308"},
    {kInf, "                 Infinity"},
    {-kInf, "                -Infinity"},
    {std::numeric_limits<double>::quiet_NaN(), "                      NaN"},
};

TEST(DoubleToEcho, WritesTheFreeFormLayout) {
  for (const auto& c : kEchoCases) EXPECT_EQ(double_to_echo(c.value), c.field) << c.value;
}

TEST(DoubleToEcho, FieldReadsBackAsTheSameDouble) {
  const double values[] = {0.1,
                           1.0 / 3.0,
                           2.0 / 3.0 * 1e16,
                           1e-300,
                           6.02214076e23,
                           -1024.2,
                           4.9406564584124654e-324,
                           0.3,
                           12345.678901234567};
  for (const double value : values) {
    const std::string field = double_to_echo(value);
    const auto start = field.find_first_not_of(' ');
    const auto end = field.find_last_not_of(' ') + 1;
    std::string text = field.substr(start, end - start);
    for (char& c : text)
      if (c == 'E') c = 'e';
    double back = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), back);
    EXPECT_EQ(back, value) << field;
  }
}

TEST(EchoText, JoinsTwoFieldsWithOneBlank) {
  EXPECT_EQ(echo_text(1.0, 2.0), "  1.0000000000000000        2.0000000000000000     ");
}

}  // namespace
}  // namespace broaden
