#include "numbers/decimal_to_double.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace broaden {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMinSub = std::numeric_limits<double>::denorm_min();
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

// The decimal digits of `start` * `factor`^`count`, exact at any length.
std::string product(std::uint64_t start, unsigned factor, int count) {
  std::string digits = std::to_string(start);
  for (int i = 0; i < count; ++i) {
    unsigned carry = 0;
    for (auto d = digits.rbegin(); d != digits.rend(); ++d) {
      const unsigned v = static_cast<unsigned>(*d - '0') * factor + carry;
      *d = static_cast<char>('0' + v % 10);
      carry = v / 10;
    }
    for (; carry > 0; carry /= 10)
      digits.insert(digits.begin(), static_cast<char>('0' + carry % 10));
  }
  return digits;
}

// The same digits less one unit in the last place (the last digit is never 0 here).
std::string less_one(std::string digits) {
  --digits.back();
  return digits;
}

struct Case {
  bool negative;
  std::string digits;
  std::int64_t exponent;
  double expected;
};

void expect_nearest(const std::vector<Case>& cases) {
  for (const auto& c : cases) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(decimal_to_double(c.negative, c.digits, c.exponent)),
              std::bit_cast<std::uint64_t>(c.expected))
        << (c.negative ? "-" : "+") << c.digits.substr(0, 40) << " (" << c.digits.size()
        << " digits) e" << c.exponent;
  }
}

static_assert(append_exponent_digit(12, '3') == 123);
static_assert(append_exponent_digit(999'999'999, '9') <= 1'000'000'000);
static_assert(append_exponent_digit(1'000'000'000, '9') <= 1'000'000'000);

TEST(DecimalToDouble, GivesTheNearestDoubleTiesToEvenAndSignedLimits) {
  const std::string half_min_sub = product(1, 5, 1075);                     // 2^-1075 exactly
  const std::string three_halves = product(3, 5, 1075);                     // 3 * 2^-1075
  const std::string below_min_normal = product((1ULL << 53) - 1, 5, 1075);  // * 2^-1075
  const std::string above_max = product((1ULL << 54) - 1, 2, 970);          // DBL_MAX + half an ulp
  expect_nearest({
      {false, "25", -4, 0.0025},
      {false, "3", -4, 3e-4},
      {false, "1", -1, 0.1},
      {false, "1", 23, 1e23},
      {false, "", 0, 0.0},
      {true, "", 0, -0.0},
      {true, "000", 5, -0.0},
      {false, "9007199254740993", 0, 9007199254740992.0},
      {false, "9007199254740995", 0, 9007199254740996.0},
      {false, "9007199254740993" + std::string(700, '0') + "1", -701, 9007199254740994.0},
      {false, std::string(1000, '0') + "25", -4, 0.0025},
      {true, "25" + std::string(1000, '0'), -1004, -0.0025},
      {false, "1" + std::string(5000, '0'), -4700, 1e300},
      {false, "1", 308, 1e308},
      {false, "17976931348623157", 292, DBL_MAX},
      {false, "17976931348623159", 292, kInf},
      {false, above_max, 0, kInf},
      {false, less_one(above_max), 0, DBL_MAX},
      {false, "1", 309, kInf},
      {true, "1", 400, -kInf},
      {false, "10", -401, 0.0},
      {true, "1", -400, -0.0},
      {false, "49406564584124654", -340, kMinSub},
      {false, "24703282292062327", -340, 0.0},
      {false, "24703282292062328", -340, kMinSub},
      {false, half_min_sub, -1075, 0.0},
      {true, half_min_sub + "1", -1076, -kMinSub},
      {false, three_halves, -1075, 2 * kMinSub},
      {false, less_one(three_halves), -1075, kMinSub},
      {false, below_min_normal, -1075, DBL_MIN},
      {false, less_one(below_min_normal), -1075, DBL_MIN - kMinSub},
      {false, "1", 1'000'000'000, kInf},
      {true, "1", -1'000'000'000, -0.0},
  });
}

// Short decimals with small exponents take a fast path (one exact operation);
// it must give from_chars's double, bit for bit, on and off its edges.
TEST(DecimalToDouble, ShortDecimalsGiveFromCharsDoubleBitForBit) {
  std::mt19937_64 random(2212);
  for (int trial = 0; trial < 200'000; ++trial) {
    const int length = 1 + static_cast<int>(random() % 17);
    std::string digits(static_cast<std::size_t>(length), '0');
    for (char& d : digits) d = static_cast<char>('0' + random() % 10);
    digits.front() = static_cast<char>('1' + random() % 9);
    const auto exponent = static_cast<std::int64_t>(random() % 51) - 25;
    const bool negative = random() % 2 == 1;
    const std::string text = (negative ? "-" : "") + digits + "e" + std::to_string(exponent);
    double expected = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), expected);
    ASSERT_EQ(std::bit_cast<std::uint64_t>(decimal_to_double(negative, digits, exponent)),
              std::bit_cast<std::uint64_t>(expected))
        << text;
  }
}

TEST(DecimalToDouble, SaturatesAtTheEndsOfTheExponentRange) {
  expect_nearest({
      {false, "1", kMax, kInf},
      {false, "10", kMax, kInf},
      {true, "1", kMax - 1, -kInf},
      {false, "123", kMax - 2, kInf},
      {false, "1", kMin, 0.0},
      {true, std::string(1001, '9'), kMin, -0.0},
      {false, "0", kMax, 0.0},
  });
}

// A whole-number significand gives what its digits give, on both sides of
// 2^53 and of the exact powers of ten.
TEST(DecimalToDouble, AWholeSignificandGivesWhatItsDigitsGive) {
  std::mt19937_64 random(53);
  for (int trial = 0; trial < 200'000; ++trial) {
    const std::uint64_t significand = random() >> (random() % 64);
    const auto exponent = static_cast<std::int64_t>(random() % 81) - 40;
    const bool negative = random() % 2 == 0;
    const double expected = decimal_to_double(negative, std::to_string(significand), exponent);
    ASSERT_EQ(std::bit_cast<std::uint64_t>(decimal_to_double(negative, significand, exponent)),
              std::bit_cast<std::uint64_t>(expected))
        << significand << "e" << exponent;
  }
  EXPECT_EQ(decimal_to_double(false, std::uint64_t{3}, -1), 0.3);
  EXPECT_EQ(decimal_to_double(false, std::uint64_t{1} << 53 | 1, 0), 0x1p53);  // ties to even
  EXPECT_TRUE(std::signbit(decimal_to_double(true, std::uint64_t{0}, 400)));
  EXPECT_EQ(decimal_to_double(false, UINT64_MAX, 300), kInf);
}

}  // namespace
}  // namespace broaden
