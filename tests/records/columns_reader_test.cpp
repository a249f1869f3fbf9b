#include "records/columns_reader.h"

#include <gtest/gtest.h>

#include <optional>
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
    const LineListRead result = read_columns(c.text, {.columns = c.layout});
    ASSERT_FALSE(result.error) << c.text << " -> " << result.error->expected;
    EXPECT_EQ(result.table.frequency, c.frequency) << c.text;
    EXPECT_EQ(result.table.intensity, c.intensity) << c.text;
    EXPECT_EQ(result.table.width, c.width) << c.text;
  }
}

// CR alone (older spreadsheets), LF and CR LF all end a line, mixed or not:
// every line is read, comments end at the line end, line numbers count
// each line end once.
TEST(ReadColumns, EveryKindOfLineEndEndsALine) {
  const std::vector<double> frequency{1000, 2000, 3000};
  for (const std::string text : {"1000 1\r2000 2\r3000 3\r", "# comment\r1000 1\r2000 2\r3000 3",
                                 "1000 1\r\n2000 2\n3000 3\r", "1000 1 # a\r\r\n2000 2\n\r3000 3\n",
                                 "\xEF\xBB\xBF"
                                 "1000 1\r2000 2\r\r3000 3"}) {
    const LineListRead result = read_columns(text, {});
    ASSERT_FALSE(result.error) << text << " -> " << result.error->expected;
    EXPECT_EQ(result.table.frequency, frequency) << text;
    EXPECT_EQ(result.table.intensity, (std::vector<double>{1, 2, 3})) << text;
  }
  const LineListRead bad = read_columns("1 2\r3 4\r\n5 x\r", {});
  ASSERT_TRUE(bad.error);
  EXPECT_EQ(bad.error->line, 3u);
  EXPECT_EQ(bad.error->column, 3u);
}

// A first row of names, not a comment, is skipped with a note; a row with
// any number in it is read (or refused) as a line.
TEST(ReadColumns, AFirstRowWithoutNumbersIsAHeaderSkippedWithANote) {
  const struct {
    std::string text;
    std::vector<LineListNote> notes;
  } cases[] = {
      {"freq,int\n1000 2\n", {{1, "skipped the header row 'freq,int'"}}},
      {"# made by hand\r\n\r\n  frequency ; intensity ; mode  # cm-1\r\n1000 2\r\n",
       {{3, "skipped the header row 'frequency ; intensity ; mode'"}}},
      {"\xEF\xBB\xBF"
       "f I\r1000 2\r",
       {{1, "skipped the header row 'f I'"}}},
      {"1000 2\n", {}},
  };
  for (const auto& c : cases) {
    const LineListRead result = read_columns(c.text, {});
    ASSERT_FALSE(result.error) << c.text << " -> " << result.error->expected;
    EXPECT_EQ(result.table.frequency, std::vector<double>{1000}) << c.text;
    EXPECT_EQ(result.notes, c.notes) << c.text;
  }
}

TEST(ReadColumns, ScalesFrequenciesAndWidthsWithOneRoundingEach) {
  const LineListRead result = read_columns(
      "3000.3 1 10\n", {.columns = {1, 2, 3}, .frequency_scale = 0.96, .width_divisor = 2.0});
  ASSERT_FALSE(result.error);
  EXPECT_EQ(result.table.frequency[0], 3000.3 * 0.96);
  EXPECT_EQ(result.table.width[0], 5.0);
}

// A width outside the range taken (as read, before the division) is refused where it stands, its
// ends taken; the default range takes every positive double.
TEST(ReadColumns, WidthsOutsideTheirRangeAreRefusedAtTheirField) {
  const LineListOptions sigma{.columns = {1, 2, 3}, .width_low = 1e-150, .width_high = 1e150};
  LineListOptions fwhm = sigma;
  fwhm.width_divisor = 2.3548200450309493;
  fwhm.width_low = 2.3548200450309493e-150;
  fwhm.width_high = 2.354820045030949e+150;
  const struct {
    std::string text;
    const LineListOptions& options;
    std::optional<LineListError> error;  // none: read, the widths divided
  } cases[] = {
      {"1 2 1e-323\n", sigma,
       LineListError{LineError::out_of_range, 1, 5,
                     "a width (field 3) from 1e-150 to 1e+150, not '1e-323'",
                     ReadFault::out_of_range}},
      {"1 2 3\n4 5  1e151 # too wide\n", sigma,
       LineListError{LineError::out_of_range, 2, 6,
                     "a width (field 3) from 1e-150 to 1e+150, not '1e151'",
                     ReadFault::out_of_range}},
      {"1 2 1e-150\n3 4 1e150\n", sigma, std::nullopt},
      {"1 2 2.354820045030949e-150\n", fwhm,
       LineListError{LineError::out_of_range, 1, 5,
                     "a width (field 3) from 2.3548200450309493e-150 to 2.354820045030949e+150, "
                     "not '2.354820045030949e-150'",
                     ReadFault::out_of_range}},
      {"1 2 2.3548200450309493e-150\n3 4 2.354820045030949e+150\n", fwhm, std::nullopt},
      {"1 2 0\n", sigma,
       LineListError{LineError::not_positive, 1, 5, "a positive width (field 3), not '0'",
                     ReadFault::not_positive}},
  };
  for (const auto& c : cases) {
    const LineListRead read = read_columns(c.text, c.options);
    EXPECT_EQ(read.error, c.error) << c.text;
    if (c.error) continue;
    for (const double w : read.table.width) {
      EXPECT_GE(w, 1e-150) << c.text;
      EXPECT_LE(w, 1e150) << c.text;
    }
  }
  const LineListRead any = read_columns("1 2 5e-324\n", {.columns = {1, 2, 3}});
  ASSERT_FALSE(any.error);
  EXPECT_EQ(any.table.width, std::vector<double>{5e-324});
}

TEST(ReadColumns, ReportsTheFirstBadLineWithItsLineAndColumn) {
  const struct {
    std::string text;
    ColumnLayout layout;
    LineListError error;
  } cases[] = {
      {"1000 x\n",
       {1, 2},
       {LineError::not_a_number, 1, 6, "a number for the intensity (field 2), not 'x'",
        ReadFault::not_a_number}},
      {"# h\n1 2\n1000\n",
       {1, 2},
       {LineError::missing_field, 3, 5, "2 fields (the intensity is field 2), not 1",
        ReadFault::missing_field}},
      // The line ends, whichever, are not part of the line: nor of its columns.
      {"1000\r\n",
       {1, 2},
       {LineError::missing_field, 1, 5, "2 fields (the intensity is field 2), not 1",
        ReadFault::missing_field}},
      {"1 2\r1000\r",
       {1, 2},
       {LineError::missing_field, 2, 5, "2 fields (the intensity is field 2), not 1",
        ReadFault::missing_field}},
      {"1 2\r\n\r\n1000 \r\n",
       {1, 2},
       {LineError::missing_field, 3, 6, "2 fields (the intensity is field 2), not 1",
        ReadFault::missing_field}},
      {"1 2e999\n",
       {1, 2},
       {LineError::out_of_range, 1, 3,
        "an intensity (field 2) within the range of doubles, not '2e999'",
        ReadFault::out_of_range}},
      {"1 2\n  1,,2\n",
       {1, 2},
       {LineError::not_a_number, 2, 5, "a number for the intensity (field 2), not an empty field",
        ReadFault::not_a_number}},
      // Only the first line holding fields may be a header row.
      {"1 2\nfrequency,intensity\n",
       {1, 2},
       {LineError::not_a_number, 2, 1, "a number for the frequency (field 1), not 'frequency'",
        ReadFault::not_a_number}},
      {"freq 2\n",  // a number in it: a bad line, not a header
       {1, 2},
       {LineError::not_a_number, 1, 1, "a number for the frequency (field 1), not 'freq'",
        ReadFault::not_a_number}},
      {"1 2 0\n",
       {1, 2, 3},
       {LineError::not_positive, 1, 5, "a positive width (field 3), not '0'",
        ReadFault::not_positive}},
      {"1 2 -3\n",
       {1, 2, 3},
       {LineError::not_positive, 1, 5, "a positive width (field 3), not '-3'",
        ReadFault::not_positive}},
      {"1e999 2\n",
       {1, 2},
       {LineError::out_of_range, 1, 1,
        "a frequency (field 1) within the range of doubles, not '1e999'", ReadFault::out_of_range}},
      {"1 nan\n",
       {1, 2},
       {LineError::not_a_number, 1, 3, "a number for the intensity (field 2), not 'nan'",
        ReadFault::not_a_number}},
      {"1 0x10\n",
       {1, 2},
       {LineError::not_a_number, 1, 3, "a number for the intensity (field 2), not '0x10'",
        ReadFault::not_a_number}},
      {"\xEF\xBB\xBF"
       "1 a\n",
       {1, 2},
       {LineError::not_a_number, 1, 6, "a number for the intensity (field 2), not 'a'",
        ReadFault::not_a_number}},
      {"1 \x01\n",
       {1, 2},
       {LineError::not_a_number, 1, 3, "a number for the intensity (field 2), not '\\x01'",
        ReadFault::not_a_number}},
  };
  for (const auto& c : cases) {
    const LineListRead result = read_columns(c.text, {.columns = c.layout});
    ASSERT_TRUE(result.error) << c.text;
    EXPECT_EQ(*result.error, c.error) << c.text << " -> " << result.error->line << ":"
                                      << result.error->column << ": " << result.error->expected;
  }
  // Scaling that overflows is refused where the field stands.
  const LineListRead scaled =
      read_columns("1 2\n1e300 2\n", {.columns = {}, .frequency_scale = 1e10});
  ASSERT_TRUE(scaled.error);
  EXPECT_EQ(*scaled.error,
            (LineListError{LineError::out_of_range, 2, 1,
                           "a frequency (field 1) that stays finite once scaled, not '1e300'",
                           ReadFault::out_of_range}));
  const LineListRead narrowed = read_columns(
      "1 2 1e-300\n", {.columns = {1, 2, 3}, .frequency_scale = 1, .width_divisor = 1e300});
  ASSERT_TRUE(narrowed.error);
  EXPECT_EQ(narrowed.error->what, LineError::not_positive);
}

// Each delimiter splits the same kinds of lines its own way; a decimal comma
// makes the comma a point.
TEST(ReadColumns, EachDelimiterAndTheDecimalComma) {
  using enum Delimiter;
  const struct {
    std::string text;
    Delimiter delimiter;
    bool decimal_comma;
    std::vector<double> frequency, intensity;
  } cases[] = {
      {"1000,5;10\n2000,25 ; 3\n", automatic, true, {1000.5, 2000.25}, {10, 3}},
      {"1000,5 10\n", automatic, true, {1000.5}, {10}},
      {"1000;10\n", automatic, false, {1000}, {10}},  // no comma in a number: as ever
      {"1000,5\t10\n", blank, true, {1000.5}, {10}},
      {"1000 \t 10\n", blank, false, {1000}, {10}},
      {" 1000 , 10 \n", comma, false, {1000}, {10}},
      {"1000;10,5\n", semicolon, true, {1000}, {10.5}},
      {"1000 ; 10\n", semicolon, false, {1000}, {10}},
      {"1000\t 10\n", tab, false, {1000}, {10}},
      {"1000,5\t10\n\t\t\n", tab, true, {1000.5}, {10}},  // a line of tabs alone is blank
  };
  for (const auto& c : cases) {
    const LineListRead result = read_columns(
        c.text, {.columns = {.delimiter = c.delimiter, .decimal_comma = c.decimal_comma}});
    ASSERT_FALSE(result.error) << c.text << " -> " << result.error->expected;
    EXPECT_EQ(result.table.frequency, c.frequency) << c.text;
    EXPECT_EQ(result.table.intensity, c.intensity) << c.text;
  }

  const struct {
    std::string text;
    Delimiter delimiter;
    bool decimal_comma;
    std::size_t line, column;
    std::string expected;
  } refusals[] = {
      // (A first line without a number would be a header row.)
      {"1 2\n1000,10\n", blank, false, 2, 1, "a number for the frequency (field 1), not '1000,10'"},
      {"1,2\n1000 10\n", comma, false, 2, 1, "a number for the frequency (field 1), not '1000 10'"},
      {"1000,,10\n", comma, false, 1, 6,
       "a number for the intensity (field 2), not an empty field"},
      {"\t1000\t10\n", tab, false, 1, 1,
       "a number for the frequency (field 1), not an empty field"},
      {"1000.5;10\n", automatic, true, 1, 1, "a number for the frequency (field 1), not '1000.5'"},
      {"1,2\n1000;10\n", comma, false, 2, 1, "a number for the frequency (field 1), not '1000;10'"},
  };
  for (const auto& c : refusals) {
    const LineListRead result = read_columns(
        c.text, {.columns = {.delimiter = c.delimiter, .decimal_comma = c.decimal_comma}});
    ASSERT_TRUE(result.error) << c.text;
    EXPECT_EQ(result.error->line, c.line) << c.text;
    EXPECT_EQ(result.error->column, c.column) << c.text;
    EXPECT_EQ(result.error->expected, c.expected) << c.text;
  }
}

// A list whose every line holds a semicolon, with commas between digits, was
// most likely written with decimal commas: read as three fields it would be
// wrong without a word, so it is refused at the first such comma, naming the
// options. Anything short of that is read as before.
TEST(ReadColumns, RefusesDecimalCommasItCannotTellFromSeparators) {
  for (const std::string text : {"1000,5;10\n2000,5;20\n", "# f;I\n1000;10\n2000,5;20\r",
                                 "freq;int\n1000,5;10\n", "1000,5;10\n2000;x\n"}) {
    const LineListRead result = read_columns(text, {});
    ASSERT_TRUE(result.error) << text;
    EXPECT_EQ(result.error->what, LineError::decimal_comma) << text;
    EXPECT_NE(result.error->expected.find("--decimal-comma"), std::string::npos);
    EXPECT_NE(result.error->expected.find("--delimiter"), std::string::npos);
  }
  const LineListRead at = read_columns("# x\n1000;10\n2000,5;20\n", {});
  ASSERT_TRUE(at.error);
  EXPECT_EQ(at.error->line, 3u);
  EXPECT_EQ(at.error->column, 5u);
  // A line without a semicolon: the commas separate, as ever.
  for (const std::string text : {"1000,5;10\n2000,5\n", "1000;10\n1,5\n", "1000,5\n"}) {
    const LineListRead result = read_columns(text, {});
    EXPECT_FALSE(result.error) << text << " -> " << result.error->expected;
  }
  // Told the form, it is read.
  const LineListRead told =
      read_columns("1000,5;10\n2000,5;20\n", {.columns{.decimal_comma = true}});
  ASSERT_FALSE(told.error);
  EXPECT_EQ(told.table.frequency, (std::vector<double>{1000.5, 2000.5}));
}

}  // namespace
}  // namespace broaden
