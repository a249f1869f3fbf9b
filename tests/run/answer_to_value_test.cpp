#include "run/answer_to_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace broaden {
namespace {

TEST(AnswerToName, CutsToFortyAndDropsTrailingBlanks) {
  const struct {
    std::string item, name;
  } cases[] = {
      {"data.txt", "data.txt"},
      {"spaced name   ", "spaced name"},
      {"  lead", "  lead"},
      {"tab\t", "tab\t"},
      {"", ""},
      {"     ", ""},
      {std::string(45, 'a'), std::string(40, 'a')},
      {std::string(39, 'a') + "  b", std::string(39, 'a')},
  };
  for (const auto& c : cases) EXPECT_EQ(answer_to_name(c.item), c.name) << c.item;
}

TEST(AnswerToCount, ReadsSigned32BitIntegers) {
  constexpr auto kNaN = NumberError::not_a_number;
  constexpr auto kRange = NumberError::out_of_range;
  const struct {
    const char* item;
    CountValue count;
  } cases[] = {
      {"3", {3}},
      {"+17", {17}},
      {"-5", {-5}},
      {"0", {0}},
      {"007", {7}},
      {"2147483647", {2147483647}},
      {"-2147483648", {-2147483647 - 1}},
      {"2147483648", {0, kRange}},
      {"-2147483649", {0, kRange}},
      {"99999999999999999999999", {0, kRange}},
      {"", {0, kNaN}},
      {"+", {0, kNaN}},
      {"-", {0, kNaN}},
      {"5.0", {0, kNaN}},
      {"1e3", {0, kNaN}},
      {"+-5", {0, kNaN}},
      {"five", {0, kNaN}},
      {"12x", {0, kNaN}},
      {"99999999999999999999x", {0, kNaN}},
      {"-+5", {0, kNaN}},
      {" 5", {0, kNaN}},
  };
  for (const auto& c : cases) EXPECT_EQ(answer_to_count(c.item), c.count) << c.item;
}

TEST(AnswerToWidth, ReadsDecimalNumbersWithExponents) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const struct {
    const char* item;
    double value;
  } cases[] = {
      {"5", 5.0},      {"5.", 5.0},     {".5", 0.5},     {"-.5d1", -5.0},
      {"+2.5", 2.5},   {"1E2", 100.0},  {"1e-2", 0.01},  {"1D+2", 100.0},
      {"2.e-1", 0.2},  {"0.1", 0.1},    {"1e400", kInf}, {"-1e400", -kInf},
      {"1e-400", 0.0}, {"007.50", 7.5}, {"0", 0.0},      {"-0", -0.0},
  };
  for (const auto& c : cases) {
    const WidthValue width = answer_to_width(c.item);
    EXPECT_EQ(width.error, NumberError::none) << c.item;
    EXPECT_EQ(width.value, c.value) << c.item;
    EXPECT_EQ(std::signbit(width.value), std::signbit(c.value)) << c.item;
  }
}

TEST(AnswerToWidth, RefusesWhatIsNotANumber) {
  const char* items[] = {"",      ".",     "-",    "+.",  "e5",   "1e",  "1e+",
                         "1.2.3", "1q5",   "five", "inf", "NaN",  "1,5", "1 5",
                         "0x10",  "1e5.5", "--1",  "1-5", "1E5E5"};
  for (const char* item : items)
    EXPECT_EQ(answer_to_width(item).error, NumberError::not_a_number) << item;
}

}  // namespace
}  // namespace broaden
