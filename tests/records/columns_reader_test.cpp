#include "records/columns_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace broaden {
namespace {

TEST(ReadColumns, ReadsEverySeparatorCommentAndNumberForm) {
  const struct {
    std::string text;
    ColumnLayout layout;
    std::vector<double> frequency, intensity, width;
  } cases[] = {
      {"1000 2\n", {1, 2}, {1000}, {2}, {}},
      {"# f I\n\n  1000\t2.5  # strong\n1.5D3,1e-1\n2e3;-.5\n",
       {1, 2},
       {1000, 1500, 2000},
       {2.5, 0.1, -0.5},
       {}},
      {"1000 , 2\r\n3000 ; 4", {1, 2}, {1000, 3000}, {2, 4}, {}},
      {"\xEF\xBB\xBF"
       "5 6\n",
       {1, 2},
       {5},
       {6},
       {}},
      {"x 2 1000 7 nu2 a1\n", {3, 4, 2}, {1000}, {7}, {2}},  // fields past the layout: names
      {"1,,2,3\n", {1, 3}, {1}, {2}, {}},                    // CSV: an empty field counts
      {"   \n# only comments\n", {1, 2}, {}, {}, {}},
  };
  for (const auto& c : cases) {
    const ColumnsResult result = read_columns(c.text, c.layout);
    ASSERT_FALSE(result.error) << c.text << " -> " << result.error->expected;
    EXPECT_EQ(result.table.frequency, c.frequency) << c.text;
    EXPECT_EQ(result.table.intensity, c.intensity) << c.text;
    EXPECT_EQ(result.table.width, c.width) << c.text;
  }
}

TEST(ReadColumns, ScalesFrequenciesAndWidthsWithOneRoundingEach) {
  const ColumnsResult result = read_columns("3000.3 1 10\n", {1, 2, 3}, {0.96, 2.0});
  ASSERT_FALSE(result.error);
  EXPECT_EQ(result.table.frequency[0], 3000.3 * 0.96);
  EXPECT_EQ(result.table.width[0], 5.0);
}

TEST(ReadColumns, ReportsTheFirstBadLineWithItsLineAndColumn) {
  const struct {
    std::string text;
    ColumnLayout layout;
    ColumnsError error;
  } cases[] = {
      {"1000 x\n", {1, 2}, {1, 6, "a number for the intensity (field 2), not 'x'"}},
      {"# h\n1 2\n1000\n", {1, 2}, {3, 5, "2 fields (the intensity is field 2), not 1"}},
      {"1 2\n  1,,2\n", {1, 2}, {2, 5, "a number for the intensity (field 2), not an empty field"}},
      {"frequency,intensity\n",
       {1, 2},
       {1, 1, "a number for the frequency (field 1), not 'frequency'"}},
      {"1 2 0\n", {1, 2, 3}, {1, 5, "a positive width (field 3), not '0'"}},
      {"1 2 -3\n", {1, 2, 3}, {1, 5, "a positive width (field 3), not '-3'"}},
      {"1e999 2\n",
       {1, 2},
       {1, 1, "a frequency (field 1) within the range of doubles, not '1e999'"}},
      {"1 nan\n", {1, 2}, {1, 3, "a number for the intensity (field 2), not 'nan'"}},
      {"1 0x10\n", {1, 2}, {1, 3, "a number for the intensity (field 2), not '0x10'"}},
      {"\xEF\xBB\xBF"
       "1 a\n",
       {1, 2},
       {1, 6, "a number for the intensity (field 2), not 'a'"}},
      {"1 \x01\n", {1, 2}, {1, 3, "a number for the intensity (field 2), not '\\x01'"}},
  };
  for (const auto& c : cases) {
    const ColumnsResult result = read_columns(c.text, c.layout);
    ASSERT_TRUE(result.error) << c.text;
    EXPECT_EQ(*result.error, c.error) << c.text << " -> " << result.error->line << ":"
                                      << result.error->column << ": " << result.error->expected;
  }
  // Scaling that overflows is refused where the field stands.
  const ColumnsResult scaled = read_columns("1 2\n1e300 2\n", {1, 2}, {1e10, 1.0});
  ASSERT_TRUE(scaled.error);
  EXPECT_EQ(scaled.error->line, 2u);
  EXPECT_EQ(scaled.error->column, 1u);
}

}  // namespace
}  // namespace broaden
