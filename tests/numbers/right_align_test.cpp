#include "numbers/right_align.h"

#include <gtest/gtest.h>

#include <span>
#include <string>

namespace broaden {
namespace {

TEST(RightAlign, FillsTheFieldExactlyWithBlanksAndTextOrAsterisks) {
  const struct {
    std::string_view text;
    std::size_t width;
    std::string expected;
  } cases[] = {
      {"NaN", 5, "  NaN"}, {"12345", 5, "12345"}, {"123456", 5, "*****"},
      {"", 3, "   "},      {"", 0, ""},           {"1", 0, ""},
  };
  for (const auto& c : cases) {
    std::string buffer(c.width + 2, '?');  // the field between two guards
    buffer.front() = buffer.back() = '#';
    right_align(c.text, std::span<char>(buffer.data() + 1, c.width));
    EXPECT_EQ(buffer.substr(1, c.width), c.expected) << c.text << " in " << c.width;
    EXPECT_TRUE(buffer.front() == '#' && buffer.back() == '#') << c.text << " in " << c.width;
  }
}

}  // namespace
}  // namespace broaden
