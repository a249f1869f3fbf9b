#include "records/field_to_double.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace broaden {
namespace {

using namespace std::string_view_literals;
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(FieldToDouble, ReadsFieldsWithImpliedDecimalsToTheNearestDouble) {
  const struct {
    std::string field;
    double expected;
  } cases[] = {
      {"", 0.0},
      {"          ", 0.0},
      {"+", 0.0},
      {"    -     ", 0.0},
      {"  1.5     ", 1.5},
      {"25", 0.0025},
      {"3", 3e-4},
      {"7", 7e-4},
      {"    100000", 10.0},
      {"1234567890", 123456.789},
      {"25E2", 0.25},
      {"25e2", 0.25},
      {"25D2", 0.25},
      {"25d2", 0.25},
      {"25E+2", 0.25},
      {"25.", 25.0},
      {".5", 0.5},
      {"-.5", -0.5},
      {"+0.1", 0.1},
      {"1 2 . 5", 12.5},
      {" - 1 . 5 ", -1.5},
      {"1.5E 2", 150.0},
      {"1.5 e - 2", 0.015},
      {"1.0-3", 0.001},
      {"1.0+3", 1000.0},
      {"1-3", 1e-7},
      {"-2.5D-1", -0.25},
      {"0.00001", 1e-5},
      {"9007199254740993.", 9007199254740992.0},
      {"1.0E400", kInf},
      {"-1.0E400", -kInf},
      {"1.0E-400", 0.0},
      {"-1E-400", -0.0},
      {"1E99999999999999999999999999", kInf},
      {"1E-99999999999999999999999", 0.0},
      {std::string("1").append(400, '0') + "E-400", 0.0001},
  };
  for (const auto& c : cases) {
    const FieldValue got = field_to_double(c.field, 4);
    EXPECT_EQ(got.error, FieldError::none) << '"' << c.field << '"';
    EXPECT_EQ(std::bit_cast<std::uint64_t>(got.value), std::bit_cast<std::uint64_t>(c.expected))
        << '"' << c.field << "\" gave " << got.value;
  }
}

TEST(FieldToDouble, RefusesMalformedFieldsAndSaysWhy) {
  constexpr auto kInvalid = FieldError::invalid_character;
  constexpr auto kPoint = FieldError::second_point;
  constexpr auto kMantissa = FieldError::no_mantissa_digits;
  constexpr auto kExponent = FieldError::no_exponent_digits;
  const struct {
    std::string_view field;
    FieldError expected;
  } cases[] = {
      {"\t", kInvalid},       {"1.0\t", kInvalid},   {"1\t2", kInvalid},  {"1.0x", kInvalid},
      {"x", kInvalid},        {"1.0F2", kInvalid},   {"1.0Q2", kInvalid}, {"1.0H2", kInvalid},
      {"Infinity", kInvalid}, {"-Inf", kInvalid},    {"inf", kInvalid},   {"NaN", kInvalid},
      {"nan", kInvalid},      {"1,5", kInvalid},     {"1\r", kInvalid},   {"\0"sv, kInvalid},
      {"1\0"sv, kInvalid},    {"1\0 2"sv, kInvalid}, {"0x10", kInvalid},  {"1.2.3", kPoint},
      {"..", kPoint},         {"1..", kPoint},       {".", kMantissa},    {" . ", kMantissa},
      {"-.", kMantissa},      {"E5", kMantissa},     {"+d5", kMantissa},  {".E5", kMantissa},
      {"1.0E", kExponent},    {"2.5-", kExponent},   {"1E+", kExponent},  {"1d-", kExponent},
      {"1.0E  ", kExponent},  {"1E+-3", kExponent},  {"1.5+", kExponent},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(field_to_double(c.field, 4).error, c.expected) << '"' << c.field << '"';
  }
}

TEST(FieldToDouble, RefusesAnythingAfterTheExponentDigits) {
  for (const std::string_view field : {"1E5E5", "1.0-3-3", "1E3.0", "1E3x", "1-3+", "1D2\t"}) {
    EXPECT_NE(field_to_double(field, 4).error, FieldError::none) << field;
  }
}

}  // namespace
}  // namespace broaden
